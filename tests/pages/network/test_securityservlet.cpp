// The security page: who sees and changes whose web password.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "auth/filePassword.h"
#include "pages/network/SecurityServlet.h"
#include "platform/configparser.h"
#include "platform/tmpl.h"
#include "tests/support/buspeer.h"
#include "tests/support/fakes.h"
#include "tests/support/testroot.h"
#include "tests/support/webusers.h"

namespace {

constexpr char kNoJurisdiction[] = "setTimeout$security$Error:You don't have enough jurisdiction!";
constexpr char kWrongOld[] = "setTimeout$security$Error:The password is error!";
constexpr char kChanged[] = "setTimeout$Password$You have changed the password!";

// ---- The rules -------------------------------------------------------------------

TEST(SecurityRules, WhoIsListed)
{
    const struct {
        const char* viewer;
        const char* target;
        bool listedVarOn;
        bool listedVarOff;
    } cases[] = {
        {"admin", "admin", true, true}, {"admin", "var", true, false},
        {"admin", "user", true, true},  {"admin", "", true, true},
        {"var", "admin", false, false}, {"var", "var", true, false},
        {"var", "user", true, true},    {"var", "", true, true},
        {"user", "admin", false, false}, {"user", "var", false, false},
        {"user", "user", true, true},   {"user", "", true, true},
        // No identity of the three: no more than "user".
        {"", "admin", false, false},    {"", "var", false, false},
        {"", "user", true, true},       {"root", "admin", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SecurityMayList(c.viewer, c.target, true), c.listedVarOn)
            << c.viewer << " sees " << c.target;
        EXPECT_EQ(SecurityMayList(c.viewer, c.target, false), c.listedVarOff)
            << c.viewer << " sees " << c.target << " with var off";
    }
}

TEST(SecurityRules, WhoMayChangeWhom)
{
    using R = PasswordChange;
    const struct {
        const char* viewer;
        const char* mode;
        PasswordChange rule;
    } cases[] = {
        {"admin", "admin", R::NeedsOldPassword}, {"admin", "var", R::Allowed},
        {"admin", "user", R::Allowed},           {"var", "admin", R::Refused},
        {"var", "var", R::NeedsOldPassword},     {"var", "user", R::Allowed},
        {"user", "admin", R::Refused},           {"user", "var", R::Refused},
        {"user", "user", R::NeedsOldPassword},   {"", "user", R::Refused},
        {"", "", R::Refused},                    {"admin", "", R::Refused},
        {"admin", "root", R::Refused},           {"admin", "Admin", R::Refused},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SecurityChangeRule(c.viewer, c.mode), c.rule) << c.viewer << " -> " << c.mode;
}

// ---- The page --------------------------------------------------------------------

class Security : public ::testing::Test {
protected:
    void SetUp() override { SeedWebUsers(); }

    void load(const char* identity, FakeResponse& response)
    {
        FakeRequest request("/servlet?p=security&q=load");
        if (identity)
            request.login(identity);
        page.onRequest(&request, &response);
    }

    // Posts a change; returns the notice label ("" when none was shown).
    std::string write(const char* identity,
                      std::initializer_list<std::pair<std::string, std::string>> fields)
    {
        FakeRequest request("/servlet?p=security&q=write");
        request.login(identity).setPost(fields);
        FakeResponse response;
        page.onRequest(&request, &response);
        return response.var("noticeLabel");
    }

    bool passwordIs(const char* user, const char* password)
    {
        return filePassword(kPasswordFile).IsRightUserPassword(user, password) == 1;
    }

    TestRoot root;
    SecurityServlet page;
};

TEST_F(Security, ListsTheUsersEachIdentityManages)
{
    const struct {
        const char* viewer;
        bool varOn;
        Texts names;
        Texts identities;
        Texts selected;
    } cases[] = {
        {"admin", false, {"admin", "user", "guest"}, {"admin", "user", ""}, {"selected", "", ""}},
        {"admin", true, {"admin", "var", "user", "guest"}, {"admin", "var", "user", ""},
         {"selected", "", "", ""}},
        {"var", true, {"var", "user", "guest"}, {"var", "user", ""}, {"selected", "", ""}},
        {"user", true, {"user", "guest"}, {"user", ""}, {"selected", ""}},
    };
    for (const auto& c : cases) {
        configParser_SetConfigString("AdvancedVarEnabled", c.varOn ? "1" : "0");
        FakeResponse response;
        load(c.viewer, response);
        EXPECT_EQ(response.rendered, "/phone/www/WEB-INFO/template/security.htm") << c.viewer;
        EXPECT_EQ(response.loopColumn("userTypeLoop", "typeName"), c.names) << c.viewer;
        EXPECT_EQ(response.loopColumn("userTypeLoop", "typeValue"), c.identities) << c.viewer;
        EXPECT_EQ(response.loopColumn("userTypeLoop", "selected"), c.selected) << c.viewer;
        EXPECT_EQ(response.var("Identity"), c.viewer);
        EXPECT_EQ(response.var("ShowLevel").back(), '$') << response.var("ShowLevel");
    }
}

TEST_F(Security, NamesAreEscapedAndBrokenLinesSkipped)
{
    root.write(kPasswordFile, "<b>:Xy6BRO1hsVwb.\n:Xy6BRO1hsVwb.\nno colon\nuser:Xy6BRO1hsVwb.\n");
    FakeResponse response;
    load("admin", response);
    EXPECT_EQ(response.loopColumn("userTypeLoop", "typeName"), (Texts{"&lt;b&gt;", "user"}));
}

TEST_F(Security, ShippedTemplateOffersTheListedUsers)
{
    FakeResponse response;
    load("admin", response);
    std::string page;
    ASSERT_TRUE(TMPL_render_file(std::string(PHONEWEB_SOURCE_DIR) +
                                     "/www/WEB-INFO/template/security.htm",
                                 response.varlist(), page))
        << page;
    for (const char* part : {"<option value=\"admin\" selected>admin</option>",
                             "<option value=\"user\">user</option>", "<option value=\"\">guest</option>",
                             "name=\"mode\"", "name=\"editOldPassword\"", "name=\"editNewPassword\"",
                             "autocomplete=\"new-password\"", "action=\"/servlet?p=security&amp;q=write\""})
        EXPECT_NE(page.find(part), std::string::npos) << part;
    EXPECT_EQ(page.find(">var</option>"), std::string::npos);
}

TEST_F(Security, LoadWithoutLoginOrFile)
{
    FakeResponse anonymous;
    load(nullptr, anonymous);
    EXPECT_EQ(anonymous.body, "Please login before the operator!");
    EXPECT_EQ(anonymous.renderCount, 0);

    root.write("/config/data/htpasswd.keep", "");
    std::remove(root.real(kPasswordFile).c_str());
    FakeResponse missing;
    load("admin", missing);
    EXPECT_EQ(missing.renderCount, 0);
}

TEST_F(Security, ChangesFollowTheRules)
{
    const std::string kEmpty = "setTimeout$security$Error:The new password must not be empty!";
    const std::string kUnusable =
        "setTimeout$security$Error:A password may only hold ASCII letters, digits, blanks and punctuation!";
    const struct {
        const char* viewer;
        const char* mode;
        const char* oldPassword;  // null: not posted
        const char* newPassword;
        std::string notice;
        const char* user;  // whose password is checked afterwards
        bool changed;
    } cases[] = {
        {"admin", "user", nullptr, "N3w-pass", kChanged, "user", true},
        {"admin", "admin", nullptr, "N3w-pass", kWrongOld, "admin", false},
        {"admin", "admin", "wrong", "N3w-pass", kWrongOld, "admin", false},
        {"admin", "admin", "admin", "N3w-pass", kChanged, "admin", true},
        {"admin", "var", nullptr, "N3w-pass", kChanged, "var", true},
        {"var", "user", nullptr, "N3w-pass", kChanged, "user", true},
        {"var", "admin", "admin", "N3w-pass", kNoJurisdiction, "admin", false},
        {"user", "admin", "admin", "N3w-pass", kNoJurisdiction, "admin", false},
        {"user", "var", "var", "N3w-pass", kNoJurisdiction, "var", false},
        {"user", "user", "user", "N3w-pass", kChanged, "user", true},
        {"user", "user", "", "N3w-pass", kWrongOld, "user", false},
        {"", "user", "user", "N3w-pass", kNoJurisdiction, "user", false},
        {"admin", "guest", nullptr, "N3w-pass", kNoJurisdiction, "guest", false},
        // Stored as typed or not at all.
        {"admin", "user", nullptr, "", kEmpty, "user", false},
        {"admin", "user", nullptr, "N3w-p\xc3\xa4ss", kUnusable, "user", false},
        {"admin", "user", nullptr, "N3w\tpass", kUnusable, "user", false},
        {"admin", "user", nullptr, "N3w pass with blanks", kChanged, "user", true},
    };
    for (const auto& c : cases) {
        SeedWebUsers();
        FakeRequest request("/servlet?p=security&q=write");
        request.login(c.viewer).setPost({{"mode", c.mode}, {"editNewPassword", c.newPassword}});
        if (c.oldPassword)
            request.setPost({{"editOldPassword", c.oldPassword}});
        FakeResponse response;
        page.onRequest(&request, &response);
        std::string what = std::string(c.viewer) + " sets " + c.mode + " to " + c.newPassword;
        EXPECT_EQ(response.var("noticeLabel"), c.notice) << what;
        EXPECT_EQ(passwordIs(c.user, c.newPassword), c.changed) << what;
        EXPECT_EQ(passwordIs(c.user, c.user), !c.changed) << what;
        // The cut-off form of a refused password is no password either.
        EXPECT_FALSE(passwordIs(c.user, "N3w-p")) << what;
    }
}

TEST_F(Security, MissingFieldsChangeNothing)
{
    const std::string before = root.read(kPasswordFile);
    EXPECT_EQ(write("admin", {{"mode", "user"}}), "");  // no new password
    EXPECT_EQ(write("admin", {{"editNewPassword", "x"}}), "");
    FakeRequest anonymous("/servlet?p=security&q=write");
    anonymous.setPost({{"mode", "user"}, {"editNewPassword", "x"}});
    FakeResponse response;
    page.onRequest(&anonymous, &response);
    EXPECT_FALSE(response.answered());
    EXPECT_EQ(root.read(kPasswordFile), before);
}

TEST_F(Security, SamePasswordAgainLeavesTheFileAlone)
{
    const std::string before = root.read(kPasswordFile);
    EXPECT_EQ(write("admin", {{"mode", "user"}, {"editNewPassword", "user"}}), kChanged);
    EXPECT_EQ(root.read(kPasswordFile), before);
}

TEST_F(Security, EmptyConfiguredNameIsRefused)
{
    configParser_SetConfigString("UserNameUser", "");
    const std::string before = root.read(kPasswordFile);
    EXPECT_EQ(write("admin", {{"mode", "user"}, {"editNewPassword", "x"}}),
              "setTimeout$security$Error:No such user!");
    EXPECT_EQ(root.read(kPasswordFile), before);
}

TEST_F(Security, FailedSaveIsReported)
{
    // The password file's place is taken by a folder.
    std::remove(root.real(kPasswordFile).c_str());
    root.write(std::string(kPasswordFile) + "/keep", "");
    EXPECT_EQ(write("admin", {{"mode", "user"}, {"editNewPassword", "x"}}),
              "setTimeout$security$Error:The password could not be saved!");
}

TEST_F(Security, NothingChangesDuringACall)
{
    BusPeer phone({"app_vpPhone"});
    ASSERT_TRUE(phone.bound());
    phone.reply(0x30007, 0);  // 0: a call is in progress
    const std::string before = root.read(kPasswordFile);
    EXPECT_EQ(write("admin", {{"mode", "user"}, {"editNewPassword", "x"}}),
              "setTimeout$notice$Talking, Please wait...");
    EXPECT_EQ(root.read(kPasswordFile), before);
}

TEST_F(Security, NoPasswordInTheLog)
{
    LogCapture log;
    write("admin", {{"mode", "admin"}, {"editOldPassword", "0ldSecret"}, {"editNewPassword", "N3wSecret"}});
    write("admin", {{"mode", "user"}, {"editNewPassword", "N3wSecret"}});
    ASSERT_FALSE(log.lines.empty());
    for (const auto& line : log.lines) {
        EXPECT_EQ(line.text.find("0ldSecret"), std::string::npos) << line.text;
        EXPECT_EQ(line.text.find("N3wSecret"), std::string::npos) << line.text;
    }
}

TEST_F(Security, UnknownActionIs404)
{
    FakeRequest request("/servlet?p=security&q=Load");
    request.login("admin");
    FakeResponse response;
    page.onRequest(&request, &response);
    EXPECT_EQ(response.status, 404);
}

}  // namespace
