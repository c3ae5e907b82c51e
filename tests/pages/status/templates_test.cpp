// The shipped templates parse and show what the pages hand them.
#include <gtest/gtest.h>

#include <string>

#include "platform/tmpl.h"

namespace {

const std::string kTemplates = std::string(PHONEWEB_SOURCE_DIR) + "/www/WEB-INFO/template/";

std::string Render(const char* name, const TMPL_varlist* vars)
{
    std::string out;
    EXPECT_TRUE(TMPL_render_file(kTemplates + name, vars, out)) << out;
    return out;
}

TEST(Templates, StatusShowsBlocksAndRows)
{
    TMPL_varlist* row = TMPL_add_var(nullptr, "row", "1", "enabled", "1", "number", "1001", "host", "pbx.test",
                                     "status", "Registered", 0);
    TMPL_varlist* module = TMPL_add_var(nullptr, "extName", "XK51", "index", "1", "hardware", "h1",
                                        "firmware", "f1", 0);
    TMPL_varlist* vars = TMPL_add_var(nullptr, "firmware", "1.2.3.4", "NetworkIPAddressMode", "IPv4",
                                      "wanPortType", "DHCP", "wanIPAddress", "10.0.0.5",
                                      "linkStatus", "Connected", "extNum", "1", "Identity", "admin",
                                      "ShowLevel", "StatusVersion=1", "LANGUAGE", "Deutsch", 0);
    vars = TMPL_add_loop(vars, "AccountLoop", TMPL_add_varlist(nullptr, row));
    vars = TMPL_add_loop(vars, "extLoop", TMPL_add_varlist(nullptr, module));
    std::string page = Render("status.htm", vars);
    EXPECT_NE(std::string::npos, page.find("<td id=\"firmware\">1.2.3.4</td>"));
    EXPECT_NE(std::string::npos, page.find("10.0.0.5"));
    EXPECT_EQ(std::string::npos, page.find("id=\"ipv6WanIP\""));  // no IPv6 block
    EXPECT_NE(std::string::npos, page.find("<td>1001</td>"));
    EXPECT_NE(std::string::npos, page.find("state-Registered"));
    EXPECT_NE(std::string::npos, page.find("XK51 1"));
    EXPECT_NE(std::string::npos, page.find("/language/Deutsch.js"));
    EXPECT_NE(std::string::npos, page.find("data-showlevel=\"StatusVersion=1\""));
    EXPECT_NE(std::string::npos, page.find("</html>"));
    TMPL_free_varlist(vars);
}

TEST(Templates, StatusWithoutModulesOrLanguage)
{
    TMPL_varlist* vars = TMPL_add_var(nullptr, "extNum", "0", 0);
    std::string page = Render("status.htm", vars);
    EXPECT_NE(std::string::npos, page.find("No expansion module attached."));
    EXPECT_NE(std::string::npos, page.find("/language/English.js"));
    EXPECT_EQ(std::string::npos, page.find("Log out"));  // nobody logged in
    TMPL_free_varlist(vars);
}

TEST(Templates, NoticeCarriesItsLabel)
{
    TMPL_varlist* vars =
        TMPL_add_var(nullptr, "noticeLabel", "setTimeout$notice$Talking, Please wait...", 0);
    std::string page = Render("notice.htm", vars);
    EXPECT_NE(std::string::npos, page.find("data-label=\"setTimeout$notice$Talking, Please wait...\""));
    TMPL_free_varlist(vars);
}

}  // namespace
