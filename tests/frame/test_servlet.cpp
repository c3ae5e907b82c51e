#include "frame/servlet.h"

#include <cstring>
#include <gtest/gtest.h>

#include "frame/configbridge.h"
#include "platform/configparser.h"
#include "tests/support/fakes.h"
#include "tests/support/testroot.h"

namespace {

void SetPhoneType(const TestRoot& root, int type)
{
    root.write("/config/system/phonetype", std::to_string(type) + "\n");
}

// ---- Account count -----------------------------------------------------------

TEST(AccountCount, ByPhoneTypeAndAccountNum)
{
    const struct {
        int phoneType;
        const char* accountNum;
        int expected;
    } kCases[] = {{28, "1", 16}, {28, "0", 6}, {26, "1", 13}, {26, "", 3}, {22, "1", 3},
                  {20, "1", 2},  {21, "0", 2}, {46, "1", 6},  {48, "0", 6}, {19, "1", 1},
                  {41, "1", 3},  {99, "0", 3}};
    TestRoot root;
    for (const auto& c : kCases) {
        SetPhoneType(root, c.phoneType);
        configParser_SetConfigString("AccountNum", c.accountNum);
        EXPECT_EQ(GetAccountMax(), c.expected) << "type " << c.phoneType << " AccountNum '"
                                               << c.accountNum << "'";
    }
}

// ---- Account index -------------------------------------------------------------

TEST(AccountIndex, StrictDecimalInRange)
{
    TestRoot root;
    SetPhoneType(root, 46);  // six accounts
    const struct {
        const char* text;
        bool valid;
        int account;
    } kCases[] = {
        {"0", true, 0},     {"5", true, 5},    {"05", true, 5},    {"6", false, 0},
        {"-1", false, 0},   {"", false, 0},    {"1abc", false, 0}, {"../x", false, 0},
        {" 1", false, 0},   {"1 ", false, 0},  {"+1", false, 0},   {"0x1", false, 0},
        {"99999999999999999999", false, 0},    {nullptr, false, 0},
    };
    for (const auto& c : kCases) {
        int account = -7;
        EXPECT_EQ(ParseAccountIndex(c.text, account), c.valid) << (c.text ? c.text : "(null)");
        EXPECT_EQ(account, c.valid ? c.account : -7) << (c.text ? c.text : "(null)");
    }
}

TEST(AccountIndex, FromTheRequest)
{
    TestRoot root;
    SetPhoneType(root, 46);
    int account = -1;
    FakeRequest load("/servlet?p=account-adv&q=load&acc=2");
    EXPECT_EQ(GetAccountParam(&load, "acc", account), AccountParam::Valid);
    EXPECT_EQ(account, 2);

    FakeRequest write("/servlet?p=account-adv&q=write");
    EXPECT_EQ(GetAccountParam(&write, "var_accountID", account), AccountParam::Missing);
    write.setPost({{"var_accountID", "6"}});
    EXPECT_EQ(GetAccountParam(&write, "var_accountID", account), AccountParam::Invalid);
    EXPECT_EQ(account, 2);
}

// ---- Dispatch --------------------------------------------------------------------

class ProbePage {
public:
    int load(HttpRequest*, HttpResponse*) { calls += "load;"; return 1; }
    int write(HttpRequest*, HttpResponse*) { calls += "write;"; return 7; }
    std::string calls;
};

const PageAction<ProbePage> kProbeActions[] = {
    {"load", &ProbePage::load},
    {"write", &ProbePage::write},
};

TEST(Dispatch, CallsTheMatchingAction)
{
    ProbePage page;
    FakeRequest request("/servlet?p=probe&q=write");
    FakeResponse response;
    EXPECT_EQ(DispatchPageAction(&page, &request, &response, kProbeActions), 7);
    EXPECT_EQ(page.calls, "write;");
    EXPECT_EQ(response.contentType, "text/html");
    EXPECT_EQ(response.status, 0);
}

TEST(Dispatch, UnknownActionAnswers404OrNothing)
{
    const char* kUrls[] = {"/servlet?p=probe&q=Load", "/servlet?p=probe&q=LOAD",
                           "/servlet?p=probe&q=load2", "/servlet?p=probe"};
    for (const char* url : kUrls) {
        ProbePage page;
        FakeRequest request(url);
        FakeResponse notFound;
        EXPECT_EQ(DispatchPageAction(&page, &request, &notFound, kProbeActions), 0) << url;
        EXPECT_EQ(notFound.status, 404) << url;

        FakeResponse empty;
        EXPECT_EQ(DispatchPageAction(&page, &request, &empty, kProbeActions,
                                     UnknownAction::EmptyAnswer),
                  0)
            << url;
        EXPECT_EQ(empty.status, 0) << url;
        EXPECT_TRUE(empty.body.empty()) << url;
        EXPECT_EQ(empty.renderCount, 0) << url;
        EXPECT_EQ(page.calls, "") << url;
    }
}

// ---- Answers ---------------------------------------------------------------------

TEST(NoticePage, LabelLayout)
{
    FakeResponse once;
    SetNoticePage(&once, false, "notice", "Talking, Please wait...");
    EXPECT_EQ(once.rendered, "/phone/www/WEB-INFO/template/notice.htm");
    EXPECT_EQ(once.var("noticeLabel"), "setTimeout$notice$Talking, Please wait...");

    FakeResponse repeat;
    SetNoticePage(&repeat, true, "settings-config", "Rebooting , please wait ...");
    EXPECT_EQ(repeat.var("noticeLabel"), "setInterval$settings-config$Rebooting , please wait ...");
}

TEST(Redirect, LoadUrlWithAndWithoutAccount)
{
    FakeResponse plain;
    RedirectToLoad(&plain, "features-general");
    EXPECT_EQ(plain.redirect, "/servlet?p=features-general&q=load");
    FakeResponse account;
    RedirectToLoad(&account, "account-adv", 0);
    EXPECT_EQ(account.redirect, "/servlet?p=account-adv&q=load&acc=0");
}

// ---- Template variables ------------------------------------------------------------

TEST(ShowLevel, PageVariables)
{
    TestRoot root;
    SetPhoneType(root, 28);
    configParser_SetConfigString("AccountNum", "1");
    configParser_SetConfigString("status", "1");
    configParser_SetConfigString("ItemA", "2");
    configParser_SetConfigString("BSFTActive", "0");
    configParser_SetConfigString("DevtypeLoginNote", std::string(200, '<').c_str());
    static const char* const kMenu[] = {"status"};
    static const char* const kItems[] = {"ItemA"};

    FakeRequest request;
    request.login("admin");
    OwnedVarlist list(
        AddShowLevel(nullptr, &request, kMenu, CountOf(kMenu), kItems, CountOf(kItems)));
    EXPECT_EQ(VarOf(list.get(), "ShowLevel"), "status=1$ItemA=2");
    EXPECT_EQ(VarOf(list.get(), "Identity"), "admin");
    EXPECT_EQ(VarOf(list.get(), "devseries"), "");
    EXPECT_EQ(VarOf(list.get(), "maxaccount"), "16");
    EXPECT_EQ(VarOf(list.get(), "BSFTActive"), "0");
    EXPECT_EQ(VarOf(list.get(), "IF_M7"), "true");
    EXPECT_EQ(VarOf(list.get(), "F_Static_DNS"), "1");
    // Escaped and within 127 characters, never half an entity.
    std::string note = VarOf(list.get(), "devtypeInfo");
    EXPECT_LE(note.size(), 127u);
    EXPECT_EQ(note.size() % 4, 0u);
    EXPECT_EQ(note.substr(0, 4), "&lt;");
}

TEST(ShowLevel, ItemsOnlyAndNobodyLoggedIn)
{
    TestRoot root;
    configParser_SetConfigString("ItemA", "3");
    static const char* const kItems[] = {"ItemA"};
    FakeRequest request;
    OwnedVarlist list(AddShowLevel(nullptr, &request, nullptr, 0, kItems, CountOf(kItems)));
    EXPECT_EQ(VarOf(list.get(), "ShowLevel"), "ItemA=3");
    EXPECT_EQ(VarOf(list.get(), "Identity"), "");
}

TEST(DevSeries, Table)
{
    const struct {
        int type;
        const char* series;
    } kCases[] = {{48, "CP_M7X_TYPE"}, {21, "63_series"}, {42, "57_series"}, {28, ""}, {0, ""}};
    for (const auto& c : kCases) {
        char series[kDevSeriesSize] = "junk";
        GetDevSeries(c.type, series);
        EXPECT_STREQ(series, c.series) << c.type;
    }
}

// ---- Identity --------------------------------------------------------------------

TEST(Identity, NameToIdentityAndBack)
{
    TestRoot root;
    configParser_SetConfigString("UserNameAdmin", "admin");
    configParser_SetConfigString("UserNameVar", "var");
    configParser_SetConfigString("UserNameUser", "admin");  // a clash: the first wins

    const struct {
        const char* name;
        const char* identity;
    } kCases[] = {{"admin", "admin"}, {"var", "var"}, {"nobody", ""}, {"", ""}};
    for (const auto& c : kCases) {
        char identity[kIdentitySize] = "junk";
        GetIdentityByName(c.name, identity);
        EXPECT_STREQ(identity, c.identity) << c.name;
    }

    char name[kLoginNameSize] = "junk";
    GetNameByIdentity(name, "var");
    EXPECT_STREQ(name, "var");
    GetNameByIdentity(name, "root");
    EXPECT_STREQ(name, "");
}

TEST(Identity, LongNamesAreCutAndNullsLogged)
{
    TestRoot root;
    LogCapture log;
    configParser_SetConfigString("UserNameUser", std::string(100, 'u').c_str());
    char name[kLoginNameSize + 4];
    memset(name, '#', sizeof name);
    GetNameByIdentity(name, "user", kLoginNameSize);
    EXPECT_EQ(std::string(name), std::string(kLoginNameSize - 1, 'u'));
    EXPECT_EQ(name[kLoginNameSize], '#');

    GetIdentityByName(nullptr, name);
    EXPECT_TRUE(log.contains("GetIdentityByName para error"));
}

}  // namespace
