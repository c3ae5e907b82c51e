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

class Session : public HttpSession {
public:
    void setAttribute(const char*, char* value) override { free(value); }
    const char* getAttribute(const char*) override { return "admin"; }
    void invalidate() override {}
    void setMaxInactiveInterval(int) override {}
};

class Request : public HttpRequest {
public:
    std::map<std::string, std::string> fields;
    const char* getParameter(const char* name) override
    {
        auto it = fields.find(name);
        return it == fields.end() ? nullptr : it->second.c_str();
    }
    const char** getParameterValues(const char*) override { return nullptr; }
    const char* getRequestURL() override { return "/servlet?p=dsskey"; }
    const char* getRemoteAddr() override { return "127.0.0.1"; }
    const char* getContentType() override { return ""; }
    long getContentLength() override { return 0; }
    void setLanguage(const char*) override {}
    HttpSession* getSession(int) override { return &session_; }
    void setUploadFileTemplate(const char*) override {}
    int readBody(char*, int) override { return 0; }

private:
    Session session_;
};

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
    Request load;
    load.fields = {{"q", "load"}, {"model", "1"}};
    Response response;
    measure("line-key page 1 (load and render)", 300, [&](int) { page.onRequest(&load, &response); });
    printf("%zu bytes\n", response.body.size());
    Request change;
    change.fields = {{"q", "typeChanged"}, {"model", "1"}, {"keyindex", "3"}, {"dktype", "16"}};
    measure("typeChanged of line key 3 to BLF", 2000, [&](int) { page.onRequest(&change, &response); });
    return 0;
}
