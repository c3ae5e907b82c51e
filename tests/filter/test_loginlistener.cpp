// The request filter: routing, the login redirects, URL credentials and the
// preparation of every response.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "auth/loginSession.h"
#include "filter/LoginListener.h"
#include "frame/servlet.h"
#include "platform/configparser.h"
#include "platform/system.h"
#include "tests/support/buspeer.h"
#include "tests/support/fakes.h"
#include "tests/support/testroot.h"
#include "tests/support/webusers.h"

namespace {

constexpr unsigned int kMsgActionText = 0x30017;
constexpr char kChallenge[] = "Basic realm=\"VOIP PHONE\"";

class Filter : public ::testing::Test {
protected:
    void SetUp() override
    {
        SeedWebUsers();
        SharedLoginLockout().clear();  // shared with the login page
    }

    int run(FakeRequest& request, FakeResponse& response)
    {
        return listener.onRequest(&request, &response);
    }

    TestRoot root;
    LoginListener listener;
};

// ---- Page requests -----------------------------------------------------------

TEST_F(Filter, PageRequestsWithoutLoginGoToTheForm)
{
    const std::string form = "/servlet?p=login&q=loginForm&jumpto=";
    const std::string longModel(64, 'm');
    const std::string longQuery(100, 'x');
    const struct {
        std::string url;
        std::string redirect;  // empty: passed on (1)
    } cases[] = {
        {"/servlet?p=status&q=load", form + "status"},
        {"/servlet?p=network&q=load", form + "network"},
        {"/servlet?p=account-basic&q=load&acc=2", form + "account-basic&acc=2"},
        {"/servlet?p=account-adv&q=load", form + "account-adv&acc="},
        {"/servlet?p=account-codec&acc=1", form + "account-codec&acc=1"},
        {"/servlet?p=phone-features-line&acc=0", form + "phone-features-line&acc=0"},
        {"/servlet?p=account-register-lync&acc=3", form + "account-register-lync&acc=3"},
        {"/servlet?p=contacts-preview&q=load", form + "contactsbasic"},
        {"/servlet?p=dsskey&q=load&model=2", form + "dsskey&model=2"},
        {"/servlet?p=dsskey&q=load", form + "dsskey&model="},
        {"/servlet?q=load&x=1", form + "URI&q=load&x=1"},
        {"/servlet?q=load&x=1&@admin:nope", form + "URI&q=load&x=1"},
        // Client text that would change the redirect's meaning stays out.
        {"/servlet?p=status%26q%3Dwrite&q=load", form + "status"},
        {"/servlet?p=status%0d%0aSet-Cookie:x", form + "status"},
        {"/servlet?p=account-adv&acc=1%26q%3Dwrite", form + "account-adv&acc="},
        {"/servlet?q=a%20b", form + "URI&q=a%20b"},
        // Values too long for a redirect are left out, or the status page
        // is asked for instead.
        {"/servlet?p=dsskey&model=" + longModel, form + "dsskey&model="},
        {"/servlet?q=" + longQuery, form + "status"},
        // Let through without a login.
        {"/servlet?p=login&q=loginForm", ""},
        {"/servlet?p=login&q=login", ""},
        {"/servlet?p=command", ""},
    };
    for (const auto& c : cases) {
        FakeRequest request(c.url);
        FakeResponse response;
        int result = run(request, response);
        EXPECT_EQ(result, c.redirect.empty() ? 1 : 0) << c.url;
        EXPECT_EQ(response.redirect, c.redirect) << c.url;
        EXPECT_LE(response.redirect.size(), kLoginFormTargetMax) << c.url;
    }
}

TEST_F(Filter, LoggedInRequestsPass)
{
    for (const char* identity : {"admin", "var", "user", ""}) {
        FakeRequest request("/servlet?p=status&q=load");
        request.login(identity);
        FakeResponse response;
        EXPECT_EQ(run(request, response), 1) << identity;
        EXPECT_FALSE(response.answered()) << identity;
    }
}

TEST_F(Filter, SafeModeOpensOnlyTheUpgradePage)
{
    ASSERT_EQ(userenv_set("BOOTMODE", "safemode"), 0);
    const struct { const char* url; const char* redirect; } cases[] = {  // "": passed on (1)
        {"/servlet?p=settings-upgrade&q=load", ""},
        {"/servlet?p=security&q=load", "/servlet?p=login&q=loginForm&jumpto=security"},
        {"/servlet?q=load", "/servlet?p=login&q=loginForm&jumpto=URI&q=load"},
    };
    for (const auto& c : cases) {
        FakeRequest request(c.url);
        FakeResponse response;
        EXPECT_EQ(run(request, response), *c.redirect ? 0 : 1) << c.url;
        EXPECT_EQ(response.redirect, c.redirect) << c.url;
    }
}

TEST_F(Filter, PreparesEveryResponse)
{
    root.write("/config/system/phonetype", "28\n");
    root.write("/phone/www/htdocs/language/English.js", "");
    root.write("/phone/www/htdocs/language/1.Deutsch.JS", "");
    root.write("/phone/www/htdocs/language/readme.txt", "");
    configParser_SetConfigString("LanguageWebLang", "Deutsch");
    configParser_SetConfigString("ServerLogLevel", "6");
    FakeRequest request("/servlet?p=login&q=loginForm");
    FakeResponse response;
    run(request, response);
    EXPECT_EQ(response.deviceType, "28");
    EXPECT_EQ(request.language, "1.Deutsch");
    EXPECT_EQ(WebDebug::getInstance()->getDebugLevel(), 0);

    configParser_SetConfigString("ServerLogLevel", "9");  // leaves the level
    run(request, response);
    EXPECT_EQ(WebDebug::getInstance()->getDebugLevel(), 0);
}

// ---- Remote control and downloads ---------------------------------------------

class RemoteFilter : public Filter {
protected:
    void SetUp() override
    {
        Filter::SetUp();
        configParser_SetConfigString("AURILimitIP", "any");
        ASSERT_TRUE(phone.bound());
    }

    // Sends a command that is sure to be carried out and returns every
    // command text the phone received up to and including it: a refused
    // request before it shows up as missing.
    std::vector<std::string> commandsUpTo(const std::string& marker)
    {
        FakeRequest request("/servlet?" + marker);
        request.login("admin");
        FakeResponse response;
        run(request, response);
        std::vector<std::string> texts;
        for (size_t wanted = 1; phone.waitForCount(wanted); ++wanted) {
            texts.clear();
            for (const BusMessage& message : phone.messages())
                if (message.id == kMsgActionText)
                    texts.push_back(message.data.c_str());
            if (!texts.empty() && texts.back().compare(0, marker.size(), marker) == 0)
                break;
        }
        return texts;
    }

    BusPeer phone{{"app_vpPhone"}};
};

struct RemoteCase {
    const char* url;
    const char* session;  // the session's identity, null: nobody logged in
    int result;           // 1: the named page runs
    int status;
    const char* identity;  // what the page would see
    const char* sent;      // the command the phone got, "" none
};

// Each remote-control kind, anonymous, with URL credentials and logged in:
// its own handler answers it, and a page named beside it runs only for a
// request that is logged in.
TEST_F(RemoteFilter, EachKindAnsweredByItsOwnHandler)
{
    const RemoteCase kCases[] = {
        {"/servlet?key=OK", nullptr, 0, 401, "", ""},
        {"/servlet?key=OK&@admin:admin", nullptr, 0, 0, "admin", "key=OK"},
        {"/servlet?key=OK&@admin:wrong", nullptr, 0, 401, "", ""},
        {"/servlet?key=OK&@admin", nullptr, 0, 401, "", ""},
        {"/servlet?key=OK&@var:var", nullptr, 0, 401, "", ""},  // "var" is off
        {"/servlet?number=123&@user:user", nullptr, 0, 0, "user", "number=123"},
        {"/servlet?key=OK&p=account-basic&q=write&@user:user", nullptr, 1, 0, "user", "key=OK&p=account-basic&q=write"},
        {"/servlet?key=OK&p=account-basic&q=write", "user", 1, 0, "user", "key=OK&p=account-basic&q=write"},
        {"/servlet?push&p=account-basic&q=write", nullptr, 0, 400, "", ""},
        {"/servlet?push&p=account-basic&q=write", "admin", 1, 400, "admin", ""},
        {"/servlet?csta&p=account-basic&q=write", nullptr, 0, 0, "", "csta&p=account-basic&q=write"},
        {"/servlet?command=screenshot&p=account-basic&q=write", nullptr, 0, 500, "", ""},  // no tool
        {"/servlet?cstaX&number=1&p=account-basic&q=write", nullptr, 0, 0, "", ""},  // to the form
        {"/servlet?phonecfg=get&@user:user", nullptr, 0, 403, "user", ""},
        {"/servlet?Server=http://x&@user:user", nullptr, 0, 403, "user", ""},
        {"/servlet?Server=http://x", "user", 0, 403, "user", ""},
        {"/servlet?download=config.bin&p=settings-config", nullptr, 0, 401, "", ""},
        {"/servlet?download=config.bin&p=settings-config&@admin:admin", nullptr, 1, 0, "admin", ""},
        {"/servlet?download=config.bin&p=settings-config", "user", 1, 0, "user", ""},
    };
    for (const RemoteCase& c : kCases) {
        phone.clear();
        SharedLoginLockout().clear();  // each row on its own
        FakeRequest request(c.url);
        if (c.session)
            request.login(c.session);
        FakeResponse response;
        EXPECT_EQ(run(request, response), c.result) << c.url;
        EXPECT_EQ(response.status, c.status) << c.url;
        EXPECT_EQ(GetSessionIdentity(&request), std::string(c.identity)) << c.url;
        if (response.status == 401) {
            EXPECT_EQ(response.header("WWW-Authenticate"), kChallenge) << c.url;
        }
        // URL credentials log in this request, never a session.
        if (!c.session) {
            EXPECT_EQ(request.session().getAttribute("user"), nullptr) << c.url;
            EXPECT_FALSE(request.session().invalidated) << c.url;
        }
        std::vector<std::string> seen = commandsUpTo("key=MARK");
        std::string expected = *c.sent ? std::string(c.sent) + "&RIP=127.0.0.1" : "";
        EXPECT_EQ(seen.size() == 2 ? seen[0] : "", expected) << c.url;
    }
}

TEST_F(RemoteFilter, UrlCredentialsMeetTheLoginLockOut)
{
    for (int i = 1; i <= 3; ++i) {
        FakeRequest request("/servlet?key=OK&@admin:wrong" + std::to_string(i));
        FakeResponse response;
        run(request, response);
        EXPECT_EQ(response.status, i < 3 ? 401 : 403) << i;
    }
    FakeRequest right("/servlet?key=OK&@admin:admin");
    FakeResponse rightResponse;
    EXPECT_EQ(run(right, rightResponse), 0);
    EXPECT_EQ(rightResponse.status, 403);
    EXPECT_EQ(commandsUpTo("key=MARK").size(), 1u);
    EXPECT_TRUE(SharedLoginLockout().locked("127.0.0.1", MonotonicSeconds()));
    SharedLoginLockout().clear();
}

TEST_F(RemoteFilter, ScreenshotAndCstaNeedNoCredentials)
{
    // Untrusted, so the Action URI code itself refuses them (401 without a
    // challenge): that they got there is what counts.
    configParser_SetConfigString("AURILimitIP", "");
    for (const char* url : {"/servlet?command=screenshot", "/servlet?csta"}) {
        FakeRequest request(url);
        FakeResponse response;
        run(request, response);
        EXPECT_EQ(response.status, 401) << url;
        EXPECT_EQ(response.header("WWW-Authenticate"), "") << url;
    }
}

TEST_F(RemoteFilter, OverlongRemoteQueriesAreRefusedNotCut)
{
    FakeRequest request("/servlet?number=" + std::string(kFilterQueryMax, '1'));
    request.login("admin");
    FakeResponse response;
    EXPECT_EQ(run(request, response), 0);
    EXPECT_EQ(response.status, 400);
    EXPECT_EQ(commandsUpTo("key=F1").size(), 1u);

    // A long page request is no command: it passes.
    FakeRequest page("/servlet?p=status&q=load&x=" + std::string(400, 'x'));
    page.login("admin");
    FakeResponse pageResponse;
    EXPECT_EQ(run(page, pageResponse), 1);
}

// ---- Pure pieces ---------------------------------------------------------------

TEST(FilterQuery, SplitsCredentials)
{
    const struct {
        const char* url;
        const char* query;
        bool credentials;
        const char* name;
        const char* password;
    } cases[] = {
        {"/servlet?key=OK", "key=OK", false, "", ""},
        {"/servlet?key=OK&@admin:pw", "key=OK", true, "admin", "pw"},
        {"/servlet?key=OK&@admin:p:w&@x", "key=OK", true, "admin", "p:w&@x"},
        {"/servlet?key=OK&@admin", "key=OK", true, "admin", ""},
        {"/servlet?&@:", "", true, "", ""},
        {"/servlet?", "", false, "", ""},
        {"/serv", "", false, "", ""},
        {nullptr, "", false, "", ""},
    };
    for (const auto& c : cases) {
        FilterQuery split = SplitFilterQuery(c.url);
        const char* url = c.url ? c.url : "(null)";
        EXPECT_EQ(split.query, c.query) << url;
        EXPECT_EQ(split.hasCredentials, c.credentials) << url;
        EXPECT_EQ(split.name, c.name) << url;
        EXPECT_EQ(split.password, c.password) << url;
    }
}

TEST(FilterPrepare, DebugLevelFromServerLogLevel)
{
    const struct {
        const char* setting;
        int level;
    } cases[] = {{"0", 2}, {"3", 2}, {"", 2},  {"-5", 2}, {"4", 1},
                 {"5", 1}, {"6", 0}, {"7", -1}, {"99", -1}};
    for (const auto& c : cases)
        EXPECT_EQ(WebDebugLevelFor(c.setting), c.level) << c.setting;
}

TEST(FilterPrepare, LanguageChoice)
{
    const std::list<std::string> names = {"English", "1.Deutsch", "2.Francais.old", "Deutsch"};
    const struct {
        const char* setting;
        const char* chosen;
    } cases[] = {{"English", "English"},           {"Deutsch", "1.Deutsch"},
                 {"Francais.old", "2.Francais.old"}, {"Klingon", "English"},
                 {"", "English"},                   {"1.Deutsch", "English"}};
    for (const auto& c : cases)
        EXPECT_EQ(ChooseWebLanguage(names, c.setting), c.chosen) << c.setting;
    EXPECT_EQ(ChooseWebLanguage({}, "English"), "");
}

}  // namespace
