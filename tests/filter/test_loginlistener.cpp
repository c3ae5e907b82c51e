// The request filter: routing, the login redirects, URL credentials and the
// preparation of every response.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "filter/LoginListener.h"
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
    void SetUp() override { SeedWebUsers(); }

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
    FakeRequest upgrade("/servlet?p=settings-upgrade&q=load");
    FakeResponse upgradeResponse;
    EXPECT_EQ(run(upgrade, upgradeResponse), 1);
    FakeRequest other("/servlet?p=security&q=load");
    FakeResponse otherResponse;
    EXPECT_EQ(run(other, otherResponse), 0);
    EXPECT_EQ(otherResponse.redirect, "/servlet?p=login&q=loginForm&jumpto=security");

    FakeRequest unnamed("/servlet?q=load");
    FakeResponse unnamedResponse;
    EXPECT_EQ(run(unnamed, unnamedResponse), 0);
    EXPECT_EQ(unnamedResponse.redirect, "/servlet?p=login&q=loginForm&jumpto=URI&q=load");
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

TEST_F(RemoteFilter, ActionUriWithoutLoginGetsTheChallenge)
{
    FakeRequest request("/servlet?key=OK");
    FakeResponse response;
    EXPECT_EQ(run(request, response), 0);
    EXPECT_EQ(response.status, 401);
    EXPECT_EQ(response.header("WWW-Authenticate"), kChallenge);
    EXPECT_EQ(request.session().getAttribute("user"), nullptr);
    EXPECT_EQ(commandsUpTo("key=F1"), (std::vector<std::string>{"key=F1&RIP=127.0.0.1"}));
}

TEST_F(RemoteFilter, UrlCredentialsAreCheckedBeforeAnythingRuns)
{
    const struct {
        const char* url;
        bool runs;
    } cases[] = {
        {"/servlet?key=OK&@admin:admin", true},
        {"/servlet?key=OK&@admin:wrong", false},
        {"/servlet?key=OK&@admin", false},  // no colon: an empty password
        {"/servlet?key=OK&@var:var", false},  // "var" is off
        {"/servlet?key=OK&@nobody:nobody", false},
        {"/servlet?number=123&@user:user", true},
    };
    for (const auto& c : cases) {
        phone.clear();
        FakeRequest request(c.url);
        FakeResponse response;
        run(request, response);
        std::string query = c.url + 9;
        std::string command = query.substr(0, query.find("&@")) + "&RIP=127.0.0.1";
        std::vector<std::string> seen = commandsUpTo("key=MARK");
        if (c.runs) {
            ASSERT_EQ(seen.size(), 2u) << c.url;
            EXPECT_EQ(seen[0], command) << c.url;
            EXPECT_NE(request.session().getAttribute("user"), nullptr) << c.url;
            EXPECT_TRUE(request.session().invalidated) << "a fresh session for " << c.url;
        } else {
            EXPECT_EQ(seen.size(), 1u) << c.url;
            EXPECT_EQ(response.status, 401) << c.url;
            EXPECT_EQ(response.header("WWW-Authenticate"), kChallenge) << c.url;
            EXPECT_EQ(request.session().getAttribute("user"), nullptr) << c.url;
        }
    }
}

TEST_F(RemoteFilter, UrlLoginSetsIdentityAndIdleTime)
{
    configParser_SetConfigString("ReLogOffTime", "5");
    FakeRequest request("/servlet?key=OK&@admin:admin");
    FakeResponse response;
    EXPECT_EQ(run(request, response), 0);  // no page named: the answer is complete
    EXPECT_EQ(response.status, 0);
    EXPECT_EQ(request.session().attributes["user"], "admin");
    EXPECT_EQ(request.session().maxInactiveInterval, 300);
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
    FakeRequest other("/servlet?command=reboot");
    FakeResponse otherResponse;
    run(other, otherResponse);
    EXPECT_EQ(otherResponse.header("WWW-Authenticate"), kChallenge);
}

TEST_F(RemoteFilter, DownloadsNeedALogin)
{
    FakeRequest anonymous("/servlet?download=config.bin&p=settings-config");
    FakeResponse anonymousResponse;
    EXPECT_EQ(run(anonymous, anonymousResponse), 0);
    EXPECT_EQ(anonymousResponse.header("WWW-Authenticate"), kChallenge);

    FakeRequest withCredentials("/servlet?download=config.bin&p=settings-config&@admin:admin");
    FakeResponse response;
    EXPECT_EQ(run(withCredentials, response), 1);
    EXPECT_EQ(withCredentials.session().attributes["user"], "admin");

    FakeRequest loggedIn("/servlet?download=config.bin&p=settings-config");
    loggedIn.login("user");
    FakeResponse loggedInResponse;
    EXPECT_EQ(run(loggedIn, loggedInResponse), 1);
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

TEST_F(RemoteFilter, PushIsHandedOnWithoutLogin)
{
    // Nobody may push on this phone: refused, and said so, but never sent
    // to the login form.
    FakeRequest request("/servlet?push");
    request.setBody("xml=<x/>");
    FakeResponse response;
    EXPECT_EQ(run(request, response), 0);
    EXPECT_EQ(response.status, 400);
    EXPECT_EQ(response.redirect, "");
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
