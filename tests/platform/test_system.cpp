#include "platform/system.h"

#include "tests/support/fakes.h"
#include "tests/support/testroot.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// A captured line as "level text".
std::string shown(const LogCapture::Line& line)
{
    return std::to_string(line.level) + " " + line.text;
}

std::string userenv(const char* name, int size = 64)
{
    std::vector<char> buffer(static_cast<size_t>(size), 'z');
    if (userenv_get(name, buffer.data(), size) != 0)
        return buffer[0] == '\0' ? "<unset>" : "<unset, buffer not cleared>";
    return buffer.data();
}

}  // namespace

TEST(Userenv, RoundTripKeepsOtherNames)
{
    TestRoot root;
    EXPECT_EQ(userenv("BOOTMODE"), "<unset>");
    EXPECT_EQ(userenv_set("BOOTMODE", "safemode"), 0);
    EXPECT_EQ(userenv_set("bWebUpgrade", "1"), 0);
    EXPECT_EQ(userenv_set("NeedSync", ""), 0);
    EXPECT_EQ(userenv("BOOTMODE"), "safemode");
    EXPECT_EQ(userenv_set("BOOTMODE", "normal"), 0);
    EXPECT_EQ(userenv("BOOTMODE"), "normal");
    EXPECT_EQ(userenv("bWebUpgrade"), "1");
    EXPECT_EQ(userenv("NeedSync"), "");
    EXPECT_EQ(userenv("BOOT"), "<unset>");  // a prefix of a name is not that name
    EXPECT_EQ(root.read("/config/system/userenv"), "BOOTMODE=normal\nbWebUpgrade=1\nNeedSync=\n");
}

TEST(Userenv, CutsToTheBuffer)
{
    TestRoot root;
    ASSERT_EQ(userenv_set("BOOTMODE", "safemode"), 0);
    EXPECT_EQ(userenv("BOOTMODE", 5), "safe");
    EXPECT_EQ(userenv("BOOTMODE", 1), "");
    EXPECT_EQ(userenv_get("BOOTMODE", nullptr, 10), -1);
    char one = 'x';
    EXPECT_EQ(userenv_get("BOOTMODE", &one, 0), -1);
    EXPECT_EQ(one, 'x');  // no room, nothing written
}

TEST(Userenv, RefusesTextThatWouldBreakTheFile)
{
    TestRoot root;
    struct Case {
        const char* name;
        const char* value;
    } cases[] = {{"A=B", "1"}, {"", "1"}, {"A\nB", "1"}, {"A", "1\nB=2"}, {"A", "1\r"},
                 {nullptr, "1"}, {"A", nullptr}};
    for (const Case& c : cases)
        EXPECT_EQ(userenv_set(c.name, c.value), -1) << (c.name ? c.name : "null");
    EXPECT_FALSE(root.exists("/config/system/userenv"));
}

TEST(PhoneType, FromFileWithDefault)
{
    TestRoot root;
    EXPECT_EQ(GetPhoneType(), 46);
    struct Case {
        const char* text;
        int expected;
    } cases[] = {{"28\n", 28}, {" 19 ", 19}, {"abc", 46}, {"", 46}, {"-5", 46}, {"12x", 46}};
    for (const Case& c : cases) {
        root.write("/config/system/phonetype", c.text);
        EXPECT_EQ(GetPhoneType(), c.expected) << c.text;
    }
}

TEST(Logging, SinkGetsFormattedLines)
{
    LogCapture capture;
    log_log(2, 3, "Account %d advance has changed!", 2);
    log_log(2, 6, "%s", std::string(3000, 'x').c_str());  // cut, not overrun
    ASSERT_EQ(capture.lines.size(), 2u);
    EXPECT_EQ(shown(capture.lines[0]), "3 Account 2 advance has changed!");
    EXPECT_EQ(capture.lines[1].text.size(), 1023u);
}

TEST(Logging, WebDebugCarriesLevelAndUser)
{
    LogCapture capture;
    WebDebug* debug = WebDebug::getInstance();
    EXPECT_EQ(WebDebug::getInstance(), debug);
    debug->setUser("admin");
    debug->setDebugLevel(0);
    debug->info("quiet %d", 1);
    EXPECT_TRUE(capture.lines.empty());
    debug->setDebugLevel(2);
    debug->info("page %s", "status");
    debug->setDebugLevel(9);
    EXPECT_EQ(debug->getDebugLevel(), 2);
    debug->setUser(nullptr);
    debug->setDebugLevel(1);
    debug->info("no user");
    ASSERT_EQ(capture.lines.size(), 2u);
    EXPECT_EQ(shown(capture.lines[0]), "6 web[2] admin: page status");
    EXPECT_EQ(shown(capture.lines[1]), "6 web[1] -: no user");
}

TEST(RunCommand, ExitStatusesAndFailures)
{
    LogCapture capture;
    EXPECT_EQ(RunCommand({"true"}), 0);
    EXPECT_EQ(RunCommand({"sh", "-c", "exit 3"}), 3);
    EXPECT_EQ(RunCommand({"sh", "-c", "kill -9 $$"}), 128 + 9);
    EXPECT_EQ(RunCommand({"/no/such/program"}), -1);
    EXPECT_EQ(RunCommand({}), -1);
    EXPECT_EQ(RunCommand({""}), -1);
}

TEST(RunCommand, ArgumentsNeverReachAShell)
{
    TestRoot root;
    const std::string name = "x; touch pwned `id` $(id) '\" | && >out";
    ASSERT_EQ(RunCommand({"touch", root.real("/" + name)}), 0);
    EXPECT_TRUE(root.exists("/" + name));  // one file, named exactly so
    EXPECT_FALSE(root.exists("/out"));
    EXPECT_EQ(RunCommand({"sh", "-c", "[ \"$1\" = \"$2\" ]", "sh", name, name}), 0);
}

TEST(RunCommand, ChildGetsNoStrayDescriptors)
{
    int leaked = open("/dev/null", O_RDONLY);  // deliberately without O_CLOEXEC
    ASSERT_GE(leaked, 3);
    std::string probe = "[ ! -e /proc/$$/fd/" + std::to_string(leaked) + " ]";
    EXPECT_EQ(RunCommand({"sh", "-c", probe}), 0);
    EXPECT_EQ(RunCommand({"sh", "-c", "[ \"$(readlink /proc/$$/fd/0)\" = /dev/null ]"}), 0);
    close(leaked);
}

TEST(CommandShell, RunsFixedTexts)
{
    TestRoot root;
    LogCapture capture;
    EXPECT_EQ(CommandShell(nullptr), 0);
    std::string marker = root.real("/ran");
    EXPECT_EQ(CommandShell(("touch '" + marker + "'").c_str()), 1);
    EXPECT_TRUE(root.exists("/ran"));
    EXPECT_EQ(CommandShell("exit 4"), 1);
    ASSERT_EQ(capture.lines.size(), 1u);
    EXPECT_EQ(shown(capture.lines[0]), "3 CommandShell: the command ended with status 4");
}

TEST(Hardware, OverrideFileElseTheMachine)
{
    TestRoot root;
    EXPECT_FALSE(str_dev_get_hardware_version().empty());
    root.write("/config/system/hardware", "46.0.0.128.0.0.0\nignored\n");
    EXPECT_EQ(str_dev_get_hardware_version(), "46.0.0.128.0.0.0");
}
