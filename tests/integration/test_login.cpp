// The front door over HTTP: the redirect to the login form, the login and
// its return to the page first asked for, the lock-out, URL credentials,
// logout and the security page.
#include <gtest/gtest.h>

#include <curl/curl.h>

#include <cstdio>
#include <string>

#include "auth/LoginServlet.h"
#include "auth/filePassword.h"
#include "tests/integration/harness.h"

namespace {

constexpr char kNotice[] = "The username or password is error!";

// A GET carrying exactly the given session cookie, outside any client's jar:
// the status code, 0 when the request failed.
long StatusWithCookie(int port, const std::string& path, const std::string& sessionId)
{
    CURL* curl = curl_easy_init();
    if (!curl)
        return 0;
    std::string url = "http://127.0.0.1:" + std::to_string(port) + path;
    std::string cookie = "sessionid=" + sessionId;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_COOKIE, cookie.c_str());
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
    long status = 0;
    if (curl_easy_perform(curl) == CURLE_OK)
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(curl);
    return status;
}

class LoginOverHttp : public ::testing::Test {
protected:
    static Stack::Options RealPages()
    {
        Stack::Options options;
        options.testPages = false;
        options.prepare = [](TestRoot& root) {
            // The factory file knows "admin" and "user"; "var" joins them.
            std::string file = root.read(kPasswordFile);
            file += "var:" + filePassword::GetEncryptedText("var", "va") + "\n";
            root.write(kPasswordFile, file);
            root.write("/config/system/config.cfg", "AURILimitIP=any\n");
        };
        return options;
    }

    void TearDown() override
    {
        if (HasFailure())
            std::fprintf(stderr, "---- server log ----\n%s\n", stack.serverLog().c_str());
    }

    HttpAnswer login(const std::string& user, const std::string& password,
                     const std::string& extra = "&jumpto=status")
    {
        return http.postForm("/servlet?p=login&q=login",
                             "username=" + user + "&pwd=" + password + extra);
    }

    Stack stack{RealPages()};
    HttpClient http = stack.client();
};

TEST_F(LoginOverHttp, LoginReturnsToThePageFirstAskedFor)
{
    const struct {
        const char* asked;
        const char* form;
        const char* fields;
        const char* landing;
    } cases[] = {
        {"/servlet?p=status&q=load", "/servlet?p=login&q=loginForm&jumpto=status", "&jumpto=status",
         "/servlet?p=status&q=load"},
        {"/servlet?p=account-basic&q=load&acc=1",
         "/servlet?p=login&q=loginForm&jumpto=account-basic&acc=1", "&jumpto=account-basic&acc=1",
         "/servlet?p=account-basic&q=load&acc=1"},
        {"/servlet?p=security&q=load", "/servlet?p=login&q=loginForm&jumpto=security",
         "&jumpto=security", "/servlet?p=security&q=load"},
    };
    for (const auto& c : cases) {
        http.clearCookies();
        HttpAnswer asked = http.get(c.asked);
        EXPECT_EQ(asked.status, 302) << c.asked << " " << asked.error;
        EXPECT_EQ(asked.header("Location"), c.form) << c.asked;

        HttpAnswer form = http.get(asked.header("Location"));
        EXPECT_EQ(form.status, 200) << c.asked;
        EXPECT_NE(form.body.find("autocomplete=\"current-password\""), std::string::npos);

        HttpAnswer loggedIn = login("admin", "admin", c.fields);
        EXPECT_EQ(loggedIn.status, 302) << c.asked;
        EXPECT_EQ(loggedIn.header("Location"), c.landing) << c.asked;
    }
    EXPECT_EQ(http.get("/servlet?p=status&q=load").status, 200);
}

TEST_F(LoginOverHttp, LoginIssuesAFreshSessionId)
{
    http.get("/servlet?p=status&q=load");  // the filter opens a session
    std::string before = http.cookie("sessionid");
    ASSERT_FALSE(before.empty());
    ASSERT_EQ(login("admin", "admin").status, 302);
    std::string after = http.cookie("sessionid");
    EXPECT_FALSE(after.empty());
    EXPECT_NE(after, before);
    // The id known before the login opens nothing; the new one does.
    EXPECT_EQ(StatusWithCookie(stack.port(), "/servlet?p=status&q=load", before), 302);
    EXPECT_EQ(StatusWithCookie(stack.port(), "/servlet?p=status&q=load", after), 200);
}

TEST_F(LoginOverHttp, ThreeFailuresLockTheClientOut)
{
    for (int attempt = 1; attempt <= 2; ++attempt) {
        HttpAnswer failed = login("admin", "wrong");
        EXPECT_EQ(failed.status, 401) << attempt;
        EXPECT_NE(failed.body.find(kNotice), std::string::npos) << attempt;
        EXPECT_NE(failed.body.find("name=\"pwd\""), std::string::npos) << attempt;
    }
    EXPECT_EQ(login("admin", "wrong").body, kLoginLockedText);
    // Inside 180 seconds even the right password and the bare form are refused.
    EXPECT_EQ(http.get("/servlet?p=login&q=loginForm").body, kLoginLockedText);
    EXPECT_EQ(login("admin", "admin").body, kLoginLockedText);
    EXPECT_EQ(http.get("/servlet?p=status&q=load").status, 302);
}

TEST_F(LoginOverHttp, VarNeedsAdvancedVarEnabled)
{
    HttpAnswer refused = login("var", "var");
    EXPECT_NE(refused.body.find(kNotice), std::string::npos);
    EXPECT_EQ(http.get("/servlet?p=status&q=load").status, 302);

    stack.root().write("/config/system/config.cfg", "AURILimitIP=any\nAdvancedVarEnabled=1\n");
    EXPECT_EQ(login("var", "var").status, 302);
    EXPECT_EQ(http.get("/servlet?p=status&q=load").status, 200);
}

TEST_F(LoginOverHttp, LogoutEndsTheSession)
{
    ASSERT_EQ(login("admin", "admin").status, 302);
    ASSERT_EQ(http.get("/servlet?p=status&q=load").status, 200);
    HttpAnswer out = http.get("/servlet?p=login&q=logout");
    EXPECT_EQ(out.status, 302);
    EXPECT_EQ(out.header("Location"), "/servlet?p=login&q=loginForm&jumpto=status");
    EXPECT_EQ(http.get("/servlet?p=status&q=load").status, 302);
}

TEST_F(LoginOverHttp, ActionUriTakesCredentialsFromTheUrl)
{
    HttpAnswer anonymous = http.get("/servlet?key=OK");
    EXPECT_EQ(anonymous.status, 401);
    EXPECT_EQ(anonymous.header("WWW-Authenticate"), "Basic realm=\"VOIP PHONE\"");

    EXPECT_EQ(http.get("/servlet?key=F1&@admin:wrong").status, 401);
    HttpAnswer run = http.get("/servlet?key=F2&@admin:admin");
    EXPECT_EQ(run.status, 200) << run.body;
    // Logged in by the URL: the pages open too.
    EXPECT_EQ(http.get("/servlet?p=status&q=load").status, 200);

    bool sawF1 = false, sawF2 = false;
    for (const std::string& line : stack.busLog()) {
        sawF1 = sawF1 || line.find("key=F1") != std::string::npos;
        sawF2 = sawF2 || line.find("key=F2") != std::string::npos;
    }
    EXPECT_FALSE(sawF1);
    EXPECT_TRUE(sawF2 || Stack::phonesimBinary()[0] == '\0');
}

TEST_F(LoginOverHttp, SecurityPageChangesAPassword)
{
    ASSERT_EQ(login("admin", "admin").status, 302);
    HttpAnswer page = http.get("/servlet?p=security&q=load");
    ASSERT_EQ(page.status, 200);
    EXPECT_NE(page.body.find("autocomplete=\"new-password\""), std::string::npos);
    EXPECT_NE(page.body.find(">user</option>"), std::string::npos) << page.body;

    HttpAnswer changed = http.postForm("/servlet?p=security&q=write",
                                       "mode=user&editNewPassword=N3w-pass&editOldPassword=");
    EXPECT_NE(changed.body.find("You have changed the password!"), std::string::npos);

    http.get("/servlet?p=login&q=logout");
    EXPECT_NE(login("user", "user").body.find(kNotice), std::string::npos);
    EXPECT_EQ(login("user", "N3w-pass").status, 302);
    // "user" may not touch the admin's password.
    HttpAnswer refused = http.postForm("/servlet?p=security&q=write",
                                       "mode=admin&editNewPassword=x&editOldPassword=admin");
    EXPECT_NE(refused.body.find("enough jurisdiction"), std::string::npos);
}

}  // namespace
