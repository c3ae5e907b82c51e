#include "maintenance/SettingsUpgradeServlet.h"

#include "frame/configbridge.h"
#include "frame/helpers.h"
#include "platform/fwimage.h"
#include "platform/msgids.h"
#include "platform/system.h"
#include "tests/support/buspeer.h"
#include "tests/support/fakes.h"
#include "tests/support/testroot.h"

#include <gtest/gtest.h>
#include <openssl/sha.h>

#include <csignal>
#include <set>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void NoSleep(int) {}

// readBody never hands out bytes across one of the cut positions.
class CutRequest : public FakeRequest {
public:
    using FakeRequest::FakeRequest;
    std::set<size_t> cuts;
    size_t at = 0;
    int readBody(char* buffer, int n) override
    {
        auto next = cuts.upper_bound(at);
        if (next != cuts.end() && at + static_cast<size_t>(n) > *next)
            n = static_cast<int>(*next - at);
        int got = FakeRequest::readBody(buffer, n);
        at += static_cast<size_t>(got > 0 ? got : 0);
        return got;
    }
};

std::string Image(const std::string& payload)
{
    unsigned char digest[32];
    SHA256(reinterpret_cast<const unsigned char*>(payload.data()), payload.size(), digest);
    return BuildFirmwareHeader("3.1.4", payload.size(), digest) + payload;
}

std::string Multipart(const std::string& image)
{
    return "--BnD\r\nContent-Disposition: form-data; name=\"firmware\"; filename=\"a.rom\"\r\n"
           "Content-Type: application/octet-stream\r\n\r\n" + image + "\r\n--BnD--\r\n";
}

// A child process named `name`, registered as a phone process when asked.
pid_t Spawn(const char* name, bool phone)
{
    int ready[2];
    EXPECT_EQ(pipe(ready), 0);
    pid_t child = fork();
    if (child == 0) {
        prctl(PR_SET_NAME, name);
        ssize_t ignored = write(ready[1], "x", 1);
        (void)ignored;
        for (;;)
            pause();
    }
    char byte;
    EXPECT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    close(ready[1]);
    if (phone) {
        EXPECT_TRUE(registerPhoneProcess(child));
    }
    return child;
}

bool KilledBy9(pid_t pid)
{
    int status = 0;
    for (int i = 0; i < 200 && waitpid(pid, &status, WNOHANG) == 0; ++i)
        usleep(10000);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

class Upgrade : public ::testing::Test {
protected:
    void SetUp() override { SettingsUpgradeServlet::sleepMs = NoSleep; }
    int run(FakeRequest& request, FakeResponse& response) { return page.onRequest(&request, &response); }
    TestRoot root;
    SettingsUpgradeServlet page;
};

}  // namespace

TEST(MatchStreamData, FindsTheFirstOccurrence)
{
    struct Case {
        const char* body;
        const char* pattern;
        int found;
        size_t consumed;
    } cases[] = {
        {"\r\r\n\r\n\r\n", "\r\n\r\n", 1, 5}, {"aaab", "aab", 1, 4},     {"ababac", "abac", 1, 6},
        {"abcabd", "abd", 1, 6},              {"xx--b\r\n", "--b\r\n", 1, 7}, {"abc", "abd", 0, 3},
        {"", "x", 0, 0},
    };
    for (const Case& c : cases) {
        FakeRequest request;
        request.setBody(c.body);
        std::string collected;
        EXPECT_EQ(matchStreamData(&request, c.pattern, &collected), c.found) << c.body;
        EXPECT_EQ(collected.size(), c.consumed) << c.body;
    }
    FakeRequest longer;
    longer.setBody(std::string(2000, 'a') + "\r\n");
    std::string collected;
    EXPECT_EQ(matchStreamData(&longer, "\r\n", &collected), 1);
    EXPECT_EQ(collected.size(), 1023u);
    EXPECT_EQ(matchStreamData(&longer, nullptr, nullptr), 0);
}

TEST_F(Upgrade, TheImageArrivesWholeHoweverTheBodyIsSplit)
{
    // The payload holds a prefix of the closing delimiter.
    const std::string image = Image("ab\r\n--Bn\r\n-" + std::string(20, 'z') + "\r\n--B");
    const std::string body = Multipart(image);
    // The part's headers are read a byte at a time anyway: cut from the image on.
    const size_t first = body.size() - image.size() - 12;
    for (size_t cut = first - 1; cut <= body.size(); ++cut) {
        CutRequest request("/servlet?p=settings-upgrade&q=upgrade");
        request.setContentTypeHeader("multipart/form-data; boundary=BnD").setBody(body);
        request.cuts = {cut};
        for (size_t one = first; cut == first - 1 && one < body.size(); ++one)
            request.cuts.insert(one);
        FakeResponse response;
        EXPECT_EQ(run(request, response), 1) << cut;
        ASSERT_EQ(root.read(kFirmwareImage), image) << cut;
        root.write(kFirmwareImage, "");
    }
}

TEST_F(Upgrade, AFailedUpgradeKeepsTheLogsAndRestarts)
{
    BusPeer phone({"app_vpPhone"});
    root.write("/tmp/log/sys.log", "trace");
    root.write("/tmp/Messages.1", "m");
    root.write("/config/data/log/stale", "old");
    root.write(kFirmwareImage, "old");
    FakeRequest request("/servlet?p=settings-upgrade&q=upgrade");
    request.setContentTypeHeader("multipart/form-data; boundary=BnD").setBody(Multipart("not an image"));
    FakeResponse response;
    EXPECT_EQ(run(request, response), 0);
    EXPECT_EQ(response.body.rfind("Error:Firmware upgrade failed!", 0), 0u) << response.body;
    EXPECT_EQ(root.read(kFirmwareImage), "old");
    EXPECT_EQ(root.read("/config/data/log/sys.log"), "trace");
    EXPECT_EQ(root.read("/config/data/log/Messages.1"), "m");
    EXPECT_FALSE(root.exists("/config/data/log/stale"));
    char sync[8];
    userenv_get("NeedSync", sync, sizeof sync);
    EXPECT_STREQ(sync, "0");
    ASSERT_TRUE(phone.waitForCount(1));
    EXPECT_EQ(phone.messages()[0].id, kMsgReboot);
}

TEST(UpdateKill, SelectsFromTheProcessList)
{
    const char* const launchers[] = {"SipApp.sh", "phoneapp.sh"};
    const char* const survivors[] = {"lighttpd", "sh"};
    const std::vector<PhoneProcess> list = {
        {1, "SipApp.sh", true},  {10, "SipApp.sh", true}, {11, "SipApp.sh", true}, {100, "SipApp.sh", true},
        {101, "kworker", false}, {102, "lighttpd", true}, {103, "phoneapp.sh", true}, {104, "dsskeyd", true}};
    EXPECT_EQ(SelectKillTargets(list, launchers, 2, 0, 10, 11), (std::vector<int>{100, 103}));
    EXPECT_EQ(SelectKillTargets(list, survivors, 2, 1, 10, 11), (std::vector<int>{100, 103, 104}));
}

TEST_F(Upgrade, BeforeUpgradeKillsOnlyThePhonesProcesses)
{
    pid_t launcher = Spawn("SipApp.sh", true);
    pid_t other = Spawn("SipApp.sh", false);
    pid_t stale = Spawn("phoneapp.sh", false);
    // An entry whose pid now belongs to another process is no target.
    root.write("/proc/" + std::to_string(stale) + "/stat",
               std::to_string(stale) + " (phoneapp.sh) S 1 1 1 0 -1 0 0 0 0 0 0 0 0 0 20 0 1 0 7 0");
    root.write("/proc/" + std::to_string(stale) + "/cmdline", "x");
    FakeRequest ask("/servlet?p=settings-upgrade&q=askUpgrade");
    FakeResponse askResponse;
    run(ask, askResponse);
    EXPECT_EQ(askResponse.body, "false");
    FakeRequest request("/servlet?p=settings-upgrade&q=beforeupgrade");
    FakeResponse response;
    EXPECT_EQ(run(request, response), 1);
    EXPECT_TRUE(KilledBy9(launcher));
    EXPECT_EQ(kill(other, 0), 0);
    EXPECT_EQ(kill(stale, 0), 0);
    EXPECT_EQ(readShareText("romTranStat"), "preparing");
    FakeResponse again;
    run(ask, again);
    EXPECT_EQ(again.status, 404);
    for (pid_t pid : {other, stale}) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

TEST_F(Upgrade, AnswersOfThePhone)
{
    BusPeer phone({"app_vpPhone", "smGui"});
    auto answer = [this](const char* action) {
        FakeRequest request(std::string("/servlet?p=settings-upgrade&q=") + action);
        request.login("admin");
        FakeResponse response;
        run(request, response);
        return response.body + response.var("noticeLabel");
    };
    FakeRequest anonymous("/servlet?p=settings-upgrade&q=reset");
    FakeResponse refused;
    EXPECT_EQ(run(anonymous, refused), 0) << "safe mode opens the page, not the reset";
    root.write("/config/system/config.cfg", "PhoneResetToFactory=3\n");
    FakeRequest user("/servlet?p=settings-upgrade&q=reset");
    user.login("user");
    FakeResponse userResponse;
    run(user, userResponse);
    EXPECT_EQ(userResponse.var("noticeLabel"), "setTimeout$settings-upgrade$Error:You don't have enough jurisdiction!");
    EXPECT_EQ(phone.count(), 0u);
    phone.reply(kMsgAskTalking, 0);
    EXPECT_EQ(answer("ask"), "false");
    phone.reply(kMsgAskTalking, 1);
    EXPECT_EQ(answer("ask"), "true");
    phone.reply(kMsgProvisionStart, 1);
    phone.clear();
    answer("beforeupgrade");
    for (const BusMessage& message : phone.messages())
        EXPECT_NE(message.id, kMsgBeforeUpgradeBroadcast) << "an upgrade already runs";
    phone.clear();
    EXPECT_EQ(answer("reset"), "setInterval$settings-upgrade$Resetting , please wait ...");
    ASSERT_TRUE(phone.waitForCount(1));
    EXPECT_EQ(phone.messages()[0].id, kMsgFactoryReset);
    EXPECT_EQ(GetConfigValue(FILETYPE_GLOBAL, "UpdateStatus", 0), "RESETFACTORY");
}
