// Costs of the key page in-process: the line-key page (key list, loops and
// rendering) and the type-change answer, on the factory key files.
// Run: build/bench/bench_dsskey (uses a temporary root); bench/dsskey.sh
// measures the same through the real stack.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>

#include "bench/benchutil.h"
#include "dsskey/DssKeyServlet.h"
#include "frame/frame.h"

namespace {

// Renders like the host: the template file with the varlist.
class Response : public HttpResponse {
public:
    std::string body;
    void setContentType(const char*) override {}
    void setHeader(const char*, const char*) override {}
    void addHeader(const char*, const char*) override {}
    void sendRedirect(const char*) override {}
    void sendError(int) override {}
    void print(const char* text) override { body = text; }
    size_t write(const void*, size_t, size_t count) override { return count; }
    void putChar(int) override {}
    void render(const char* path, TMPL_varlist* varlist) override
    {
        TMPL_render_file(phonePath(path), varlist, body);
        TMPL_free_varlist(varlist);
    }
    void setDeviceType(const char*) override {}
};

}  // namespace

int main()
{
    namespace fs = std::filesystem;
    bench::TempDir root;
    const fs::path source = PHONEWEB_SOURCE_DIR;
    fs::copy(source / "factory/seed", root.path(), fs::copy_options::recursive);
    fs::copy(source / "www", root.path() + "/phone/www", fs::copy_options::recursive);
    fs::copy(source / "factory/config.cfg", root.path() + "/phone/factory/config.cfg");

    DssKeyServlet page;
    page.init();
    bench::Request load("/servlet?p=dsskey");
    load.fields = {{"q", "load"}, {"model", "1"}};
    Response response;
    measure("line-key page 1 (load and render)", 300, [&](int) { page.onRequest(&load, &response); });
    printf("%zu bytes\n", response.body.size());
    bench::Request change("/servlet?p=dsskey");
    change.fields = {{"q", "typeChanged"}, {"model", "1"}, {"keyindex", "3"}, {"dktype", "16"}};
    measure("typeChanged of line key 3 to BLF", 2000, [&](int) { page.onRequest(&change, &response); });
    return 0;
}
