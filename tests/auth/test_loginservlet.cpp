// The login page: lock-out, login, logout, the form and the redirect table.
#include <gtest/gtest.h>

#include <string>

#include "auth/LoginServlet.h"
#include "auth/filePassword.h"
#include "auth/loginSession.h"
#include "platform/configparser.h"
#include "platform/system.h"
#include "platform/tmpl.h"
#include "tests/support/fakes.h"
#include "tests/support/testroot.h"
#include "tests/support/webusers.h"

namespace {

constexpr char kForm[] = "/phone/www/WEB-INFO/template/loginForm.htm";

class Login : public ::testing::Test {
protected:
    void SetUp() override
    {
        SeedWebUsers();
        servlet.init();  // the lock-out is shared with the filter
    }

    // What one request got back.
    struct Answer {
        int status = 0;
        std::string redirect, notice, username, password;
    };

    Answer send(FakeRequest& request)
    {
        FakeResponse response;
        servlet.onRequest(&request, &response);
        Answer answer;
        answer.status = response.status;
        answer.redirect = response.redirect;
        answer.notice = response.var("notice");
        answer.username = response.var("username");
        answer.password = response.var("password");
        return answer;
    }

    Answer attempt(const std::string& user, const std::string& password,
                   const std::string& address = "10.0.0.1")
    {
        FakeRequest request("/servlet?p=login&q=login");
        request.setPost({{"username", user}, {"pwd", password}}).setRemoteAddr(address);
        return send(request);
    }

    Answer form(const std::string& address = "10.0.0.1")
    {
        FakeRequest request("/servlet?p=login&q=loginForm&jumpto=status");
        request.setRemoteAddr(address);
        return send(request);
    }

    TestRoot root;
    time_t now = 5000;
    LoginServlet servlet{[this] { return now; }};
};

// ---- Lock-out ----------------------------------------------------------------

enum class Outcome { Refused401, Locked, Form, LoggedIn, LoggedOut };

struct Step {
    time_t at;
    const char* address;
    const char* action;  // "bad", "good", "form" or "logout"
    Outcome expected;
    int failuresAfter;  // of the step's address
};

// The lock-out: counts per address, one lock time for all (a later lock
// extends the others), logout never locked, the lock answered with 403 in
// the login page's look.
TEST_F(Login, LockOutSteps)
{
    const Step kSteps[] = {
        {5000, "10.0.0.1", "bad", Outcome::Refused401, 1},
        {5001, "10.0.0.1", "bad", Outcome::Refused401, 2},
        {5002, "10.0.0.1", "bad", Outcome::Locked, 3},
        {5010, "10.0.0.1", "form", Outcome::Locked, 3},
        {5011, "10.0.0.1", "logout", Outcome::LoggedOut, 3},
        {5012, "10.0.0.2", "good", Outcome::LoggedIn, 0},   // others log in
        {5100, "10.0.0.3", "bad", Outcome::Refused401, 1},
        {5101, "10.0.0.3", "bad", Outcome::Refused401, 2},
        {5102, "10.0.0.3", "bad", Outcome::Locked, 3},      // moves the lock time
        {5200, "10.0.0.1", "good", Outcome::Locked, 3},     // 198 s after its own lock
        {5282, "10.0.0.1", "form", Outcome::Form, 0},       // 180 s after the last lock
        {5283, "10.0.0.1", "bad", Outcome::Refused401, 1},
        {5284, "10.0.0.1", "bad", Outcome::Refused401, 2},
        {5285, "10.0.0.1", "good", Outcome::LoggedIn, 0},   // resets the count
        {5286, "10.0.0.1", "bad", Outcome::Refused401, 1},
    };
    for (const Step& step : kSteps) {
        now = step.at;
        std::string action = step.action;
        FakeRequest request(action == "form"     ? "/servlet?p=login&q=loginForm"
                            : action == "logout" ? "/servlet?p=login&q=logout"
                                                 : "/servlet?p=login&q=login");
        request.setRemoteAddr(step.address);
        if (action == "bad" || action == "good")
            request.setPost({{"username", "admin"}, {"pwd", action == "good" ? "admin" : "wrong"}});
        FakeResponse response;
        servlet.onRequest(&request, &response);
        Outcome got = response.status == 403 && response.var("notice") == kLoginLockedText
                          ? Outcome::Locked
                      : response.status == 401 && response.rendered == kForm ? Outcome::Refused401
                      : response.redirect == "/servlet?p=login&q=loginForm&jumpto=status"
                          ? Outcome::LoggedOut
                      : !response.redirect.empty() ? Outcome::LoggedIn
                                                   : Outcome::Form;
        EXPECT_EQ(got, step.expected) << "at " << step.at << " " << action;
        EXPECT_EQ(servlet.failures(step.address), step.failuresAfter) << "at " << step.at;
    }
    servlet.init();
    EXPECT_EQ(servlet.failures("10.0.0.1"), 0);
}

// ---- Login -------------------------------------------------------------------

TEST_F(Login, WhoMayLogIn)
{
    const struct {
        const char* advancedVar;
        const char* user;
        const char* password;
        bool loggedIn;
        const char* identity;
    } cases[] = {
        {"0", "admin", "admin", true, "admin"},
        {"0", "user", "user", true, "user"},
        {"0", "var", "var", false, ""},  // right password, but "var" is off
        {"1", "var", "var", true, "var"},
        {"0", "guest", "guest", true, ""},  // in the file, no identity
        {"0", "admin", "Admin", false, ""},
        {"0", "nobody", "nobody", false, ""},
        {"0", "admin", "", false, ""},
    };
    for (const auto& c : cases) {
        configParser_SetConfigString("AdvancedVarEnabled", c.advancedVar);
        servlet.init();
        FakeRequest request("/servlet?p=login&q=login");
        request.setPost({{"username", c.user}, {"pwd", c.password}});
        FakeResponse response;
        servlet.onRequest(&request, &response);
        EXPECT_EQ(!response.redirect.empty(), c.loggedIn) << c.user << "/" << c.password;
        EXPECT_EQ(request.session().getAttribute("user") != nullptr, c.loggedIn) << c.user;
        if (c.loggedIn) {
            EXPECT_EQ(request.session().attributes["user"], c.identity);
        } else {
            EXPECT_EQ(servlet.failures("127.0.0.1"), 1) << c.user;
        }
    }
}

TEST_F(Login, LoginStartsAFreshSession)
{
    FakeRequest request("/servlet?p=login&q=login");
    request.setPost({{"username", "admin"}, {"pwd", "admin"}});
    // Whatever the client brought along must not survive the login.
    request.session().attributes["planted"] = "yes";
    FakeResponse response;
    servlet.onRequest(&request, &response);
    EXPECT_TRUE(request.session().invalidated);
    EXPECT_EQ(request.session().getAttribute("planted"), nullptr);
    EXPECT_STREQ(request.session().getAttribute("user"), "admin");
    EXPECT_EQ(WebDebug::getInstance()->getUser(), "admin");
    EXPECT_EQ(response.redirect, "/servlet?p=status&q=load");
}

TEST_F(Login, IdleTimeOutFromReLogOffTime)
{
    const struct {
        const char* value;
        int seconds;
    } cases[] = {{"5", 300}, {"", -1}, {"0", 0}, {"abc", -1}, {"99999999999", -1}};
    for (const auto& c : cases) {
        configParser_SetConfigString("ReLogOffTime", c.value);
        FakeRequest request("/servlet?p=login&q=login");
        request.setPost({{"username", "admin"}, {"pwd", "admin"}});
        FakeResponse response;
        servlet.onRequest(&request, &response);
        EXPECT_EQ(request.session().maxInactiveInterval, c.seconds) << c.value;
    }
}

TEST_F(Login, MissingFieldShowsTheFormUncounted)
{
    FakeRequest request("/servlet?p=login&q=login");
    request.setPost({{"username", "admin"}});
    FakeResponse response;
    servlet.onRequest(&request, &response);
    EXPECT_EQ(response.rendered, kForm);
    EXPECT_EQ(response.status, 0);
    EXPECT_EQ(servlet.failures("127.0.0.1"), 0);
}

TEST_F(Login, FailureNoticeBelongsToTheFailingRequestOnly)
{
    Answer answer = attempt("<b>admin", "pw\"x");
    EXPECT_EQ(answer.notice, "The username or password is error!");
    EXPECT_EQ(answer.username, "&lt;b&gt;admin");
    EXPECT_EQ(answer.password, "pw&quot;x");
    // Not on any later form, of that address or another.
    EXPECT_EQ(form("10.0.0.1").notice, "");
    EXPECT_EQ(form("10.0.0.9").notice, "");
}

TEST_F(Login, NoPasswordInAnyLog)
{
    LogCapture log;
    attempt("admin", "Wr0ngPass");
    attempt("admin", "admin");
    attempt("user", "user");
    ASSERT_TRUE(log.contains("The password is error!"));
    ASSERT_TRUE(log.contains("Login in success!"));
    std::string stored = filePassword(kPasswordFile).entries()[0].second;
    for (const auto& line : log.lines) {
        for (const std::string& secret : {std::string("Wr0ngPass"), stored,
                                          filePassword::GetEncryptedText("Wr0ngPass", stored.c_str())})
            EXPECT_EQ(line.text.find(secret), std::string::npos) << line.text;
        // "admin" is also a password here: only the user name of the
        // password check may carry it.
        if (line.text.find("admin") != std::string::npos) {
            EXPECT_NE(line.text.find("user [admin]"), std::string::npos) << line.text;
        }
    }
}

TEST_F(Login, LogoutEndsTheSession)
{
    FakeRequest request("/servlet?p=login&q=logout");
    request.login("admin");
    WebDebug::getInstance()->setUser("admin");
    FakeResponse response;
    servlet.onRequest(&request, &response);
    EXPECT_TRUE(request.session().invalidated);
    EXPECT_EQ(request.session().getAttribute("user"), nullptr);
    EXPECT_EQ(response.redirect, "/servlet?p=login&q=loginForm&jumpto=status");
    EXPECT_EQ(WebDebug::getInstance()->getUser(), "");
}

TEST_F(Login, UnknownActionIs404)
{
    for (const char* url : {"/servlet?p=login&q=Login", "/servlet?p=login"}) {
        FakeRequest request(url);
        EXPECT_EQ(send(request).status, 404) << url;
    }
}

// ---- The form ----------------------------------------------------------------

TEST_F(Login, FormVariablesByJumpto)
{
    const struct {
        const char* url;
        const char* jumpto;
        const char* acc;  // null: no "acc" variable
    } cases[] = {
        {"/servlet?p=login&q=loginForm", "status", nullptr},
        {"/servlet?p=login&q=loginForm&jumpto=", "status", nullptr},
        {"/servlet?p=login&q=loginForm&jumpto=network", "network", nullptr},
        {"/servlet?p=login&q=loginForm&jumpto=account-adv&acc=2", "account-adv", "2"},
        {"/servlet?p=login&q=loginForm&jumpto=account-register-lync&acc=1", "account-register-lync", "1"},
        {"/servlet?p=login&q=loginForm&jumpto=phone-features-line", "phone-features-line", ""},
        {"/servlet?p=login&q=loginForm&jumpto=dsskey&model=3&acc=9", "dsskey", "3"},
        {"/servlet?p=login&q=loginForm&jumpto=%22%3E%3Cscript%3E", "&quot;&gt;&lt;script&gt;", nullptr},
    };
    for (const auto& c : cases) {
        FakeRequest request(c.url);
        FakeResponse response;
        servlet.onRequest(&request, &response);
        EXPECT_EQ(response.rendered, kForm) << c.url;
        EXPECT_EQ(response.var("jumpto"), c.jumpto) << c.url;
        EXPECT_EQ(response.hasVar("acc"), c.acc != nullptr) << c.url;
        if (c.acc) {
            EXPECT_EQ(response.var("acc"), c.acc) << c.url;
        }
        EXPECT_TRUE(response.hasVar("devseries")) << c.url;
        EXPECT_FALSE(response.hasVar("notice")) << c.url;
    }
}

TEST_F(Login, SavedActionUriIsKeptOnceAndOnlyForItsClient)
{
    auto showForm = [&](const std::string& query, const std::string& address) {
        FakeRequest request("/servlet?p=login&q=loginForm&jumpto=URI&" + query);
        request.setRemoteAddr(address);
        send(request);
    };
    auto loginTo = [&](const std::string& address) {
        FakeRequest request("/servlet?p=login&q=login");
        request.setPost({{"username", "admin"}, {"pwd", "admin"}, {"jumpto", "URI"}})
            .setRemoteAddr(address);
        return send(request).redirect;
    };
    showForm("key=OK", "10.0.0.1");
    showForm("key=F1", "10.0.0.1");  // one is saved: not replaced
    EXPECT_EQ(loginTo("10.0.0.1"), "/servlet?key=OK");
    // Consumed: the next login has nothing saved and nothing in its URL.
    EXPECT_EQ(loginTo("10.0.0.1"), "/servlet?p=status&q=load");

    // Saved by one client, never followed by another's login.
    showForm("key=F2", "10.0.0.1");
    EXPECT_EQ(loginTo("10.0.0.2"), "/servlet?p=status&q=load");
    EXPECT_EQ(loginTo("10.0.0.1"), "/servlet?p=status&q=load");

    // Credentials after "&@" are not saved with the query.
    showForm("key=OK&@admin:admin", "10.0.0.1");
    EXPECT_EQ(loginTo("10.0.0.1"), "/servlet?key=OK");
}

TEST_F(Login, ShippedFormSuitsPasswordManagersAndEchoesNoPassword)
{
    FakeRequest request("/servlet?p=login&q=login&jumpto=%22%3E%3Cscript%3Ex");
    request.setPost({{"username", "admin"}, {"pwd", "Wr0ngPass"}});
    FakeResponse response;
    servlet.onRequest(&request, &response);
    std::string page;
    ASSERT_TRUE(TMPL_render_file(std::string(PHONEWEB_SOURCE_DIR) +
                                     "/www/WEB-INFO/template/loginForm.htm",
                                 response.varlist(), page))
        << page;
    for (const char* part : {"name=\"username\"", "autocomplete=\"username\"", "name=\"pwd\"",
                             "type=\"password\"", "autocomplete=\"current-password\"",
                             "action=\"/servlet?p=login&amp;q=login\"", "method=\"post\"",
                             "The username or password is error!", "value=\"admin\""})
        EXPECT_NE(page.find(part), std::string::npos) << part;
    EXPECT_EQ(page.find("Wr0ngPass"), std::string::npos);
    EXPECT_EQ(page.find("<script>x"), std::string::npos);
    EXPECT_NE(page.find("value=\"&quot;&gt;&lt;script&gt;x\""), std::string::npos);
}

// ---- Redirect table ----------------------------------------------------------

TEST(LoginRedirect, TargetByJumpto)
{
    const std::string status = "/servlet?p=status&q=load";
    const std::string longName(60, 'x');
    const struct {
        const char* jumpto;
        const char* acc;
        std::string uri;
        std::string expected;
    } cases[] = {
        {nullptr, nullptr, "", status},
        {"", "3", "", status},
        {"status", nullptr, "", status},
        {"network", nullptr, "", "/servlet?p=network&q=load"},
        {"account-basic", "2", "", "/servlet?p=account-basic&q=load&acc=2"},
        {"account-adv", nullptr, "", "/servlet?p=account-adv&q=load&acc=0"},
        {"account-codec", "", "", "/servlet?p=account-codec&q=load&acc=0"},
        {"phone-features-line", "1", "", "/servlet?p=phone-features-line&q=load&acc=1"},
        {"account-register", nullptr, "", "/servlet?p=account-register&q=load&acc=0"},
        {"account-register-lync", "4", "", "/servlet?p=account-register-lync&q=load&acc=4"},
        {"contactsbasic", "1", "", "/servlet?p=contactsbasic&q=load&num=1&group="},
        {"dsskey", "2", "", "/servlet?p=dsskey&q=load&model=2"},
        {"dsskey", nullptr, "", "/servlet?p=dsskey&q=load&model="},
        {"URI", nullptr, "key=OK", "/servlet?key=OK"},
        {"URI", nullptr, "", status},
        // Client text that would change the redirect's meaning.
        {"security&q=write&mode=user", nullptr, "", status},
        {"status\r\nSet-Cookie: x", nullptr, "", status},
        {"account-adv", "1&q=write", "", "/servlet?p=account-adv&q=load&acc=0"},
        {"URI", nullptr, "key=OK\r\nX: y", status},
        {"URI", nullptr, "a b", status},
        // Targets beyond 63 characters are refused, never cut.
        {longName.c_str(), nullptr, "", status},
        {"URI", nullptr, "number=" + std::string(50, '1'), status},
        {"URI", nullptr, "number=" + std::string(47, '1'), "/servlet?number=" + std::string(47, '1')},
    };
    for (const auto& c : cases) {
        std::string target = LoginSuccessTarget(c.jumpto, c.acc, c.uri);
        EXPECT_EQ(target, c.expected) << (c.jumpto ? c.jumpto : "(null)") << " " << c.uri;
        EXPECT_LE(target.size(), kLoginTargetMax);
    }
}

}  // namespace
