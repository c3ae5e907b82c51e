// Remote control over HTTP: Action URI commands, pushed XML and CSTA through
// the real request filter, with phonesim playing the phone.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/msgbus.h"
#include "tests/integration/harness.h"

namespace {

constexpr unsigned int kSentinel = 0x7FFF;
const char kPushFile[] = "/tmp/XmlBrowserFile.xml";

class Remote : public ::testing::Test {
protected:
    // Starts the stack with these settings in the user store.
    void start(const std::string& settings)
    {
        Stack::Options options;
        options.testPages = false;
        options.prepare = [settings](TestRoot& root) {
            root.write("/config/system/config.cfg", settings);
        };
        stack = std::make_unique<Stack>(options);
        if (Stack::phonesimBinary()[0] == '\0')
            GTEST_SKIP() << "phonesim is not built";
    }

    void TearDown() override
    {
        if (HasFailure() && stack)
            fprintf(stderr, "---- server log ----\n%s\n", stack->serverLog().c_str());
    }

    // The bus log lines to "app_vpPhone" of everything sent before now: a
    // sentinel posted now arrives after them.
    std::vector<std::string> phoneLines()
    {
        msgPostMsgToThread(msgGetThreadByName("app_vpPhone"), kSentinel, 0, 0);
        const std::string sentinel = "\"id\":" + std::to_string(kSentinel) + ",";
        for (int attempt = 0; attempt < 400; ++attempt) {
            std::vector<std::string> lines = stack->busLog();
            std::vector<std::string> phone;
            for (const std::string& line : lines) {
                if (line.find(sentinel) != std::string::npos)
                    return phone;
                if (line.find("\"to\":\"app_vpPhone\"") != std::string::npos)
                    phone.push_back(line);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        ADD_FAILURE() << "the sentinel never reached phonesim";
        return {};
    }

    static std::vector<std::string> withId(const std::vector<std::string>& lines, unsigned int id)
    {
        std::vector<std::string> out;
        const std::string field = "\"id\":" + std::to_string(id) + ",";
        for (const std::string& line : lines)
            if (line.find(field) != std::string::npos)
                out.push_back(line);
        return out;
    }

    std::unique_ptr<Stack> stack;
};

}  // namespace

TEST_F(Remote, TrustedNumberCommandCarriesTheClientAddress)
{
    start("AURILimitIP=10.1.2.3,127.0.0.*\n");
    HttpClient http = stack->client();
    HttpAnswer answer = http.get("/servlet?number=123&@admin:admin");
    EXPECT_NE(answer.status, 401) << answer.error;
    std::vector<std::string> lines = withId(phoneLines(), 0x30017);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("\"data\":\"number=123&RIP=127.0.0.1\""), std::string::npos) << lines[0];
}

TEST_F(Remote, PushFromListedServer)
{
    start("PushXMLServerIP=10.0.0.5, 127.0.0.1\n");
    HttpClient http = stack->client();
    http.postRaw("/servlet?push", "text/xml", "xml=<PhoneText><Text>hello</Text></PhoneText>");
    std::vector<std::string> lines = withId(phoneLines(), 0x3001A);
    EXPECT_EQ(lines.size(), 1u);
    EXPECT_EQ(stack->root().read(kPushFile), "<PhoneText><Text>hello</Text></PhoneText>");
}

TEST_F(Remote, CstaBodyReachesThePhoneWhole)
{
    start("EnableCSTA=1\nAURILimitIP=127.0.0.1\n");
    std::string body = "<MakeCall>" + std::string(3000 - 21, 'c') + "</MakeCall>";
    ASSERT_EQ(body.size(), 3000u);
    HttpClient http = stack->client();
    HttpAnswer answer = http.postRaw("/servlet?csta", "text/xml", body);
    EXPECT_EQ(answer.status, 200) << answer.error;
    std::vector<std::string> lines = withId(phoneLines(), 0x10014);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("\"data\":\"" + body + "\""), std::string::npos);
    // phonesim answers with a response named after the request.
    EXPECT_NE(answer.body.find("<MakeCallResponse"), std::string::npos) << answer.body;
    EXPECT_NE(answer.body.find("3000"), std::string::npos) << answer.body;
}

TEST_F(Remote, OversizedCstaBodyIsRefusedUnread)
{
    start("EnableCSTA=1\nAURILimitIP=127.0.0.1\n");
    HttpClient http = stack->client();
    const uint64_t length = 4 * 1024 * 1024;
    HttpAnswer answer = http.postStream("/servlet?csta", "text/xml", length,
                                        [](char* buffer, size_t n) {
                                            memset(buffer, 'x', n);
                                            return n;
                                        });
    EXPECT_EQ(answer.status, 400) << answer.error;
    EXPECT_TRUE(withId(phoneLines(), 0x10014).empty());
    // Refused by the size check, not by the server in front.
    EXPECT_NE(stack->serverLog().find("doProcessCSTA: body over"), std::string::npos);
}

TEST_F(Remote, OversizedPushIsRefused)
{
    start("PushXMLServerIP=127.0.0.1\n");
    HttpClient http = stack->client();
    HttpAnswer answer = http.postStream("/servlet?push", "text/xml", 2 * 1024 * 1024,
                                        [](char* buffer, size_t n) {
                                            memset(buffer, 'x', n);
                                            return n;
                                        });
    EXPECT_EQ(answer.status, 400) << answer.error;
    EXPECT_TRUE(phoneLines().empty());
    EXPECT_FALSE(stack->root().exists(kPushFile));
}

TEST_F(Remote, ScreenshotIsAJpeg)
{
    start("AURILimitIP=127.0.0.1\n");
    HttpClient http = stack->client();
    HttpAnswer answer = http.get("/servlet?command=screenshot&type=download");
    EXPECT_EQ(answer.status, 200) << answer.error;
    EXPECT_EQ(answer.header("Content-Type").find("image/jpeg"), 0u);
    EXPECT_EQ(answer.header("Content-disposition"), "attachment; filename=screen.jpg");
    ASSERT_GT(answer.body.size(), 4u);
    EXPECT_EQ(answer.body.compare(0, 2, "\xFF\xD8"), 0);
    EXPECT_EQ(answer.body.compare(answer.body.size() - 2, 2, "\xFF\xD9"), 0);
}

TEST_F(Remote, PhonecfgDownload)
{
    start("AURILimitIP=127.0.0.1\n");
    HttpClient http = stack->client();
    HttpAnswer answer = http.get("/servlet?phonecfg=get&@admin:admin");
    EXPECT_EQ(answer.status, 200) << answer.error;
    EXPECT_EQ(answer.header("Content-disposition"), "attachment; filename=phonecfg.ini");
    EXPECT_NE(answer.body.find("AURILimitIP"), std::string::npos) << answer.body;
    EXPECT_FALSE(stack->root().exists("/tmp/phonecfg.ini"));
    std::vector<std::string> lines = withId(phoneLines(), 0x3001F);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("\"data\":\"phonecfg=get&RIP=127.0.0.1\""), std::string::npos);
}

// The front door: every remote-control kind and page writes, anonymous, as
// "user" and as "admin" (by session or by URL credentials), each checked for
// its answer and for what it left on disk.
struct DoorCase {
    const char* who;  // "", "user" or "admin": the session's identity
    std::string path;
    const char* form;  // posted fields, null: a GET
    long status;
    bool changes;  // the configuration or the password file changed
};

TEST_F(Remote, FrontDoor)
{
    start("AURILimitIP=any\nPushXMLServerIP=10.9.9.9\naccount-adv=3\n");
    const char* kWrite = "&p=account-basic&q=write&var_accountID=0&AccountProxyRequire=X";
    const std::string push = std::string("/servlet?push") + kWrite;
    const std::string csta = std::string("/servlet?csta") + kWrite;
    const std::string shot = std::string("/servlet?command=screenshot") + kWrite;
    const std::string cstaX = std::string("/servlet?cstaX&number=1") + kWrite;
    const std::string key = std::string("/servlet?key=OK") + kWrite;
    const DoorCase kCases[] = {
        {"", "/servlet?p=account-basic&q=write", "var_accountID=0&AccountProxyRequire=X", 302, false},
        {"user", "/servlet?p=account-basic&q=write", "var_accountID=0&AccountProxyRequire=U", 302, true},
        {"user", "/servlet?p=account-adv&q=write", "var_accountID=0&AccountExpire=60", 403, false},
        {"admin", "/servlet?p=account-adv&q=write", "var_accountID=0&AccountExpire=60", 302, true},
        {"admin", "/servlet?p=account-adv&q=write", "var_accountID=0&AccountExpire=6%0A0", 400, false},
        {"admin", "/servlet?p=security&q=write", "mode=user&editNewPassword=", 400, false},
        {"", push, "xml=<x/>", 400, false},
        {"", csta, nullptr, 400, false},  // CSTA without a body
        {"", shot, nullptr, 200, false},
        {"", cstaX, nullptr, 302, false},
        {"", key, nullptr, 401, false},
        {"", key + "&@user:wrong", nullptr, 401, false},
        {"", key + "&@user:user", nullptr, 302, true},
        {"", "/servlet?phonecfg=get&@user:user", nullptr, 403, false},
        {"user", "/servlet?phonecfg=get", nullptr, 403, false},
        {"", "/servlet?phonecfg=get&@admin:admin", nullptr, 200, false},
        {"", "/servlet?Server=http://evil.test&@user:user", nullptr, 403, false},
        {"admin", "/servlet?Server=http://prov.test", nullptr, 200, true},
    };
    TestRoot& root = stack->root();
    for (const DoorCase& c : kCases) {
        HttpClient http = stack->client();
        if (*c.who) {
            ASSERT_EQ(http.postForm("/servlet?p=login&q=login",
                                    std::string("username=") + c.who + "&pwd=" + c.who).status,
                      302);
        }
        std::string before = root.read("/config/system/config.cfg") + root.read("/config/data/htpasswd");
        HttpAnswer answer = c.form ? http.postForm(c.path, c.form) : http.get(c.path);
        std::string after = root.read("/config/system/config.cfg") + root.read("/config/data/htpasswd");
        EXPECT_EQ(answer.status, c.status) << c.who << " " << c.path << " " << answer.error;
        EXPECT_EQ(after != before, c.changes) << c.who << " " << c.path;
        EXPECT_FALSE(root.exists(kPushFile)) << c.path;
        EXPECT_FALSE(root.exists("/tmp/phonecfg.ini")) << c.path;
    }
    // URL credentials opened no session: the same client is not logged in.
    HttpClient remote = stack->client();
    remote.get(key + "&@admin:admin");
    EXPECT_EQ(remote.get("/servlet?p=status&q=load").status, 302);
}

// An upgrade body that is not an admin's is answered before it is read: a
// client that never sends it holds nobody else.
TEST_F(Remote, StalledUpgradeBodyHoldsNobody)
{
    start("");
    std::thread stalled([&] {
        HttpClient slow = stack->client();
        slow.get("/servlet?p=status&q=load");  // a session cookie, nobody logged in
        int calls = 0;
        slow.postStream("/servlet?p=settings-upgrade&q=upgrade", "multipart/form-data; boundary=b", 1 << 20,
                        [&](char* buffer, size_t n) -> size_t {
                            if (++calls > 1) {
                                std::this_thread::sleep_for(std::chrono::seconds(6));
                                return 0x10000000;  // CURL_READFUNC_ABORT
                            }
                            memset(buffer, 'x', n < 10 ? n : 10);
                            return n < 10 ? n : 10;
                        });
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    HttpClient other = stack->client();
    auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(other.get("/servlet?p=login&q=loginForm").status, 200);
    // Served while the upgrade body is still missing (it never comes).
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(3));
    stalled.join();
}
