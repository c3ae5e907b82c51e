// The account templates render what the pages hand them and post back the
// fields the pages read.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "pages/account/AccountAdvServlet.h"
#include "pages/account/AccountBasicServlet.h"
#include "pages/account/AccountCodecServlet.h"
#include "pages/account/AccountRegisterServlet.h"
#include "platform/configparser.h"
#include "platform/tmpl.h"
#include "tests/support/fakes.h"
#include "tests/support/testroot.h"

namespace {

const std::string kTemplates = std::string(PHONEWEB_SOURCE_DIR) + "/www/WEB-INFO/template/";

// Loads the page for account 1 and renders its real template.
std::string RenderedPage(HttpServlet& servlet, const char* page, FakeResponse& response)
{
    FakeRequest request(std::string("/servlet?p=") + page + "&q=load&acc=1");
    request.login("admin");
    EXPECT_EQ(servlet.onRequest(&request, &response), 1) << page;
    std::string out;
    EXPECT_TRUE(TMPL_render_file(kTemplates + page + ".htm", response.varlist(), out)) << out;
    EXPECT_NE(out.find("</html>"), std::string::npos) << page;
    return out;
}

// The names of the form fields of the page's write form.
std::set<std::string> PostedNames(const std::string& page, const std::string& formId)
{
    size_t start = page.find("id=\"" + formId + "\"");
    size_t end = page.find("</form>", start);
    std::string form = page.substr(start, end - start);
    std::set<std::string> names;
    std::regex field("name=\"([^\"]+)\"");
    for (std::sregex_iterator it(form.begin(), form.end(), field), last; it != last; ++it)
        names.insert((*it)[1]);
    return names;
}

TEST(AccountTemplates, RegisterPostsEveryFieldTheWriteReads)
{
    TestRoot root;
    configParser_SetConfigString("AccountLabel.1", "Front \"Desk\"");
    AccountRegisterServlet servlet;
    FakeResponse response;
    std::string page = RenderedPage(servlet, "account-register", response);
    std::set<std::string> names = PostedNames(page, "registerForm");
    for (const char* field :
         {"var_accountID", "AccountEnable", "AccountLabel", "AccountDisplayName",
          "AccountRegisterName", "AccountUserName", "AccountPassword", "AccountOutboundSwitch",
          "AccountTransport", "AccountStunSwitch", "AccountStunServerHost", "AccountSTUNPort",
          "AccountOutboundProxy", "AccountOutboundPort", "server1", "port1", "expires1",
          "RetryCounts1", "server2", "port2", "expires2", "RetryCounts2"})
        EXPECT_EQ(names.count(field), 1u) << field;
    EXPECT_NE(page.find("value=\"Front &quot;Desk&quot;\""), std::string::npos);
    // The password never reaches the browser; the mask stands in for it.
    EXPECT_NE(page.find("name=\"AccountPassword\" maxlength=\"99\" value=\"********\""),
              std::string::npos);
    EXPECT_NE(page.find("data-account=\"1\""), std::string::npos);
    // The server's rules reach the form as constraints.
    EXPECT_NE(page.find("name=\"port1\" value=\"5060\" type=\"number\" step=\"1\" min=\"1\" max=\"65535\""),
              std::string::npos);
}

TEST(AccountTemplates, AdvancedFieldsAreTheOnesThePageReads)
{
    TestRoot root;
    AccountAdvServlet servlet;
    FakeResponse response;
    std::string page = RenderedPage(servlet, "account-adv", response);
    std::set<std::string> names = PostedNames(page, "advForm");
    int accountFields = 0;
    for (const std::string& name : names) {
        if (name.rfind("Account", 0) != 0)
            continue;
        ++accountFields;
        EXPECT_TRUE(response.hasVar(name)) << name;
    }
    EXPECT_EQ(accountFields, 49);
    EXPECT_EQ(names.count("MessageVoiceNumber1"), 1u);
}

TEST(AccountTemplates, BasicOffersTheRingTonesAndSwitches)
{
    TestRoot root;
    AccountBasicServlet servlet;
    FakeResponse response;
    std::string page = RenderedPage(servlet, "account-basic", response);
    std::set<std::string> names = PostedNames(page, "basicForm");
    for (const char* field : {"AccountProxyRequire", "AccountSendAnonymous", "AccountRing",
                              "AccountAutoAnswerSwitch", "AccountAnonymousCallOnCode",
                              "AccountRejectAnonymousRejectOffCode", "AccountMissCallLog"})
        EXPECT_EQ(names.count(field), 1u) << field;
    EXPECT_NE(page.find("<option value=\"Common\""), std::string::npos);
    // The shared on/off options mark the stored state.
    configParser_SetConfigString("AccountMissCallLog.1", "1");
    FakeResponse again;
    page = RenderedPage(servlet, "account-basic", again);
    size_t select = page.find("name=\"AccountMissCallLog\"");
    EXPECT_LT(page.find("<option value=\"1\" class=\"t\" selected>Enabled", select),
              page.find("</select>", select));
}

TEST(AccountTemplates, CodecFormPostsTheListsAsShown)
{
    TestRoot root;
    const char* kSlots[][3] = {{"PCMU", "1", "2"}, {"PCMA", "1", "1"}, {"G722", "0", "3"},
                               {"G729", "0", "4"}};
    for (int slot = 0; slot < 4; ++slot) {
        const char* what[] = {"Type", "Switch", "Priority"};
        for (int k = 0; k < 3; ++k) {
            std::string field = "AccountAudio" + std::to_string(slot) + what[k] + ".1";
            configParser_SetConfigString(field.c_str(), kSlots[slot][k]);
        }
    }
    AccountCodecServlet servlet;
    FakeResponse response;
    std::string page = RenderedPage(servlet, "account-codec", response);
    // Without the page's script the form posts the lists unchanged.
    EXPECT_NE(page.find("name=\"enabled\" value=\"PCMA:1,PCMU:0\""), std::string::npos) << page;
    EXPECT_NE(page.find("name=\"disabled\" value=\"G722:2,G729:3\""), std::string::npos);
    EXPECT_LT(page.find("<option value=\"PCMA:1\">PCMA"), page.find("<option value=\"PCMU:0\">PCMU"));
}

}  // namespace
