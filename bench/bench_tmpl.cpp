// Costs of the template library on this machine: building a page's varlist,
// parsing a status-page-sized template, and rendering it from the parse cache.
// Run: build/bench/bench_tmpl (uses a temporary folder).
#include "bench/benchutil.h"
#include "platform/paths.h"
#include "platform/tmpl.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const int kFields = 300;
const int kAccounts = 16;

// 300 fields, 16 account rows and a header and footer include: about the
// shape of the status page with its menu.
std::string pageTemplate()
{
    std::string page = "<TMPL_INCLUDE head.htm>\n<table>\n";
    for (int i = 0; i < kFields; ++i) {
        std::string name = "StatusField" + std::to_string(i);
        page += "<tr><td>" + name + "</td><td><TMPL_IF " + name + "><TMPL_VAR " + name +
                " ESCAPE=HTML><TMPL_ELSE>-</TMPL_IF></td></tr>\n";
    }
    page += "</table>\n<TMPL_LOOP accounts><tr class=\"<TMPL_IF __odd__>odd<TMPL_ELSE>even</TMPL_IF>\">"
            "<td><TMPL_VAR __counter__></td><td><TMPL_VAR label></td><td><TMPL_VAR state></td></tr>\n"
            "</TMPL_LOOP>\n<TMPL_INCLUDE foot.htm>\n";
    return page;
}

TMPL_varlist* pageVars()
{
    TMPL_varlist* vars = nullptr;
    for (int i = 0; i < kFields; ++i)
        vars = TMPL_add_var(vars, ("StatusField" + std::to_string(i)).c_str(), "some value & more", 0);
    TMPL_loop* accounts = nullptr;
    for (int a = 0; a < kAccounts; ++a)
        accounts = TMPL_add_varlist(accounts, TMPL_add_var(nullptr, "label", "Account", "state", "Registered", 0));
    return TMPL_add_loop(vars, "accounts", accounts);
}

}  // namespace

int main()
{
    bench::TempDir temp(false);
    const std::string& dir = temp.path();
    std::string page = pageTemplate();
    writeFileAtomic(dir + "/status.htm", page);
    writeFileAtomic(dir + "/head.htm", "<html><head><title><TMPL_VAR StatusField1></title></head><body>\n");
    writeFileAtomic(dir + "/foot.htm", "</body></html>\n");

    measure("build varlist (300 vars, 16 rows) and free", 2000, [](int) { TMPL_free_varlist(pageVars()); });
    TMPL_varlist* vars = pageVars();
    std::string out;
    measure("render from text (parses every time)", 2000,
            [&](int) { TMPL_render_string(page, dir, vars, out); });
    measure("render file, cache cleared (parse + stats)", 2000, [&](int) {
        TMPL_clear_cache();
        TMPL_render_file(dir + "/status.htm", vars, out);
    });
    measure("render file from the parse cache", 20000,
            [&](int) { TMPL_render_file(dir + "/status.htm", vars, out); });
    printf("template %zu bytes, page %zu bytes\n", page.size(), out.size());
    TMPL_free_varlist(vars);
    return 0;
}
