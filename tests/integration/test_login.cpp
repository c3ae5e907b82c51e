// The front door over HTTP: the redirect to the login form, the login and
// its return to the page first asked for, the lock-out, URL credentials,
// logout and the security page.
#include <gtest/gtest.h>

#include <curl/curl.h>

#include <cstdio>
#include <string>

#include "auth/loginSession.h"
#include "auth/filePassword.h"
#include "tests/integration/harness.h"

namespace {


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

TEST_F(LoginOverHttp, LockedClientCanStillLogOut)
{
    ASSERT_EQ(login("admin", "admin").status, 302);
    HttpClient guesser = stack.client();
    for (int attempt = 1; attempt <= 3; ++attempt)
        guesser.postForm("/servlet?p=login&q=login", "username=admin&pwd=wrong");
    HttpAnswer locked = guesser.get("/servlet?p=login&q=loginForm");
    EXPECT_EQ(locked.status, 403);
    EXPECT_NE(locked.body.find(kLoginLockedText), std::string::npos);
    EXPECT_NE(locked.body.find("/css/phoneweb.css"), std::string::npos);
    // The same address, logged in before: its logout still works.
    EXPECT_EQ(http.get("/servlet?p=login&q=logout").status, 302);
    EXPECT_EQ(http.get("/servlet?p=status&q=load").status, 302);
}

TEST_F(LoginOverHttp, LogoutEndsTheSession)
{
    // "/" leads into the interface.
    HttpAnswer root = http.get("/");
    EXPECT_EQ(root.status, 301);
    EXPECT_EQ(root.header("Location"), "/servlet?p=status&q=load");
    ASSERT_EQ(login("admin", "admin").status, 302);
    HttpAnswer status = http.get("/servlet?p=status&q=load");
    ASSERT_EQ(status.status, 200);
    // Nothing a browser keeps to show again after the logout.
    EXPECT_EQ(status.header("Cache-Control"), "no-store");
    HttpAnswer missing = http.get("/servlet?p=no-such-page&q=load");
    EXPECT_EQ(missing.status, 404);
    EXPECT_NE(missing.body.find("class=\"menu\""), std::string::npos);
    HttpAnswer out = http.get("/servlet?p=login&q=logout");
    EXPECT_EQ(out.status, 302);
    EXPECT_EQ(out.header("Location"), "/servlet?p=login&q=loginForm&jumpto=status");
    EXPECT_EQ(http.get("/servlet?p=status&q=load").status, 302);
}

}  // namespace
