#include "platform/configparser.h"

#include "tests/support/forkchild.h"
#include "tests/support/testroot.h"

#include <gtest/gtest.h>

#include <spawn.h>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

// Runs the tool with its output caught in files of the test root.
Outcome phonecfg(const TestRoot& root, std::vector<std::string> args)
{
    args.insert(args.begin(), PHONECFG_BINARY);
#ifdef PHONECFG_EMULATOR
    args.insert(args.begin(), PHONECFG_EMULATOR);
#endif
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::string out = root.real("/tool.out");
    std::string err = root.real("/tool.err");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return {-1, "", "cannot start"};
    int status = waitChild(pid);
    return {status, root.read("/tool.out"), root.read("/tool.err")};
}

}  // namespace

TEST(Phonecfg, SetThenGet)
{
    TestRoot root;
    Outcome set = phonecfg(root, {"--root", root.path(), "set", "AccountExpire", "600"});
    EXPECT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(set.err, "");
    Outcome get = phonecfg(root, {"--root", root.path(), "get", "AccountExpire"});
    EXPECT_EQ(get.status, 0);
    EXPECT_EQ(get.out, "600\n");
    Outcome again = phonecfg(root, {"--root", root.path(), "set", "AccountExpire", "600"});
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.err, "unchanged\n");
}

TEST(Phonecfg, AccountFields)
{
    TestRoot root;
    root.write("/phone/factory/config.cfg", "AccountEnable.*=0\n");
    Outcome set = phonecfg(root, {"set", "AccountEnable", "1", "--account", "2", "--root", root.path()});
    ASSERT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(configParser_GetConfigString("AccountEnable.2"), "1");
    EXPECT_EQ(phonecfg(root, {"--root", root.path(), "get", "AccountEnable", "--account", "1"}).out, "0\n");
}

// The host process caches the store; the tool's write must still be seen.
TEST(Phonecfg, RunningProcessSeesTheToolsWrite)
{
    TestRoot root;
    ASSERT_EQ(configParser_SetConfigString("NetworkLanType", "0"), 1);
    EXPECT_EQ(configParser_GetConfigString("NetworkLanType"), "0");
    ASSERT_EQ(phonecfg(root, {"--root", root.path(), "set", "NetworkLanType", "1"}).status, 0);
    EXPECT_EQ(configParser_GetConfigString("NetworkLanType"), "1");
}

TEST(Phonecfg, ErrorsExitWithTwo)
{
    TestRoot root;
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"get"},
        {"set", "A"},
        {"frobnicate", "A"},
        {"get", "A", "extra"},
        {"get", "A", "--account"},
        {"get", "A", "--account", "x"},
        {"get", "A", "--account", "-1"},
        {"get", "A", "--account", "99999999999"},
        {"get", ""},
        {"get", "NoSuchField"},
        {"set", "A=B", "1"},
        {"--root"},
    };
    for (const auto& args : cases) {
        std::vector<std::string> withRoot = args;
        if (args.empty() || args[0] != "--root")
            withRoot.insert(withRoot.begin(), {"--root", root.path()});
        Outcome outcome = phonecfg(root, withRoot);
        std::string shown;
        for (const std::string& arg : args)
            shown += arg + " ";
        EXPECT_EQ(outcome.status, 2) << shown;
        EXPECT_FALSE(outcome.err.empty()) << shown;
    }
    EXPECT_FALSE(root.exists("/config/system/config.cfg"));
}

TEST(Phonecfg, StoreThatCannotBeWritten)
{
    TestRoot root;
    root.write("/config/system/config.cfg/keep", "x");
    Outcome outcome = phonecfg(root, {"--root", root.path(), "set", "A", "1"});
    EXPECT_EQ(outcome.status, 2);
    EXPECT_NE(outcome.err.find("cannot store A"), std::string::npos) << outcome.err;
}

TEST(Phonecfg, RootOptionWinsOverTheEnvironment)
{
    TestRoot target;
    TestRoot current;  // PHONEWEB_ROOT names this one now
    ASSERT_EQ(phonecfg(current, {"--root", target.path(), "set", "A", "1"}).status, 0);
    EXPECT_TRUE(target.exists("/config/system/config.cfg"));
    EXPECT_FALSE(current.exists("/config/system/config.cfg"));
}
