#include "platform/configparser.h"

#include "tests/support/forkchild.h"
#include "tests/support/testroot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <string>

namespace {

const char kUser[] = "/config/system/config.cfg";
const char kFactory[] = "/phone/factory/config.cfg";

std::string get(const std::string& name)
{
    return configParser_GetConfigString(name.c_str());
}

int set(const std::string& name, const std::string& value)
{
    return configParser_SetConfigString(name.c_str(), value.c_str());
}

}  // namespace

TEST(ConfigParser, UserStoreWinsOverFactoryDefaults)
{
    TestRoot root;
    root.write(kFactory, "# factory\nAccountExpire=3600\nPhoneFirmware=1.0\n");
    root.write(kUser, "AccountExpire=60\n");
    EXPECT_EQ(get("AccountExpire"), "60");
    EXPECT_EQ(get("PhoneFirmware"), "1.0");
    EXPECT_EQ(get("Missing"), "");
    EXPECT_EQ(configParser_GetConfigString(nullptr), "");
}

TEST(ConfigParser, PerAccountWildcardDefault)
{
    TestRoot root;
    root.write(kFactory, "AccountEnable.*=0\nAccountEnable.2=1\nName.*=x\n");
    root.write(kUser, "AccountEnable.0=1\n");
    struct Case {
        const char* name;
        const char* expected;
    } cases[] = {
        {"AccountEnable.0", "1"},    // user store
        {"AccountEnable.1", "0"},    // wildcard
        {"AccountEnable.2", "1"},    // own factory default beats the wildcard
        {"AccountEnable.15", "0"},
        {"AccountEnable", ""},       // not an account name
        {"AccountEnable.x", ""},     // suffix is not an account number
        {"AccountEnable.", ""},
        {"Name.3", "x"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(get(c.name), c.expected) << c.name;
}

TEST(ConfigParser, AccountConfigName)
{
    EXPECT_EQ(configParser_GetAccountConfigName("AccountEnable", 0), "AccountEnable.0");
    EXPECT_EQ(configParser_GetAccountConfigName("AccountUserName", 15), "AccountUserName.15");
    EXPECT_EQ(configParser_GetAccountConfigName(nullptr, 1), "");
}

TEST(ConfigParser, SetReportsWhetherTheEffectiveValueChanged)
{
    TestRoot root;
    root.write(kFactory, "Expire=3600\nAccountEnable.*=0\n");
    struct Step {
        const char* name;
        const char* value;
        int result;
    } steps[] = {
        {"Expire", "3600", 0},          // equals the factory default: nothing stored
        {"Empty", "", 0},               // unset already reads as empty
        {"AccountEnable.1", "0", 0},    // equals the wildcard default
        {"Expire", "60", 1},
        {"Expire", "60", 0},
        {"Expire", "3600", 1},          // back to the default is a change
        {"AccountEnable.1", "1", 1},
        {"Other", "", 0},
    };
    for (const Step& s : steps)
        EXPECT_EQ(set(s.name, s.value), s.result) << s.name << "=" << s.value;
    EXPECT_EQ(root.read(kUser), "Expire=3600\nAccountEnable.1=1\n");
}

TEST(ConfigParser, RefusedOrUnchangedSetsWriteNothing)
{
    TestRoot root;
    root.write(kFactory, "A=1\n");
    EXPECT_EQ(set("A", "1"), 0);
    for (const char* name : {"", "a=b", "a\nb", "a\rb", "#comment", " lead", "trail "})
        EXPECT_EQ(set(name, "v"), -1) << name;
    EXPECT_EQ(configParser_SetConfigString(nullptr, "v"), -1);
    EXPECT_EQ(configParser_SetConfigString("A", nullptr), -1);
    EXPECT_FALSE(root.exists(kUser));
}

TEST(ConfigParser, EscapesRoundTrip)
{
    TestRoot root;
    const std::string values[] = {"line1\nline2", "back\\slash", "cr\rlf\r\n", "\\n literal",
                                  "a=b=c", "  spaced  ", "trailing\\", "#not a comment"};
    for (size_t i = 0; i < sizeof values / sizeof values[0]; ++i)
        ASSERT_EQ(set("V" + std::to_string(i), values[i]), 1);
    std::string file = root.read(kUser);
    EXPECT_NE(file.find("V0=line1\\nline2\n"), std::string::npos);
    EXPECT_NE(file.find("V1=back\\\\slash\n"), std::string::npos);
    EXPECT_NE(file.find("V2=cr\\rlf\\r\\n\n"), std::string::npos);
    // Every value sits on its own line.
    EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 8);
    // A fresh copy of the same text (another inode) is read back exactly.
    root.write(kUser, file);
    for (size_t i = 0; i < sizeof values / sizeof values[0]; ++i)
        EXPECT_EQ(get("V" + std::to_string(i)), values[i]) << i;
}

TEST(ConfigParser, KeepsCommentsAndOrderOnSave)
{
    TestRoot root;
    root.write(kUser, "# written by hand\nB=2\n\nA=1\nno equals sign\n");
    EXPECT_EQ(set("B", "3"), 1);
    EXPECT_EQ(set("C", "4"), 1);
    EXPECT_EQ(root.read(kUser), "# written by hand\nB=3\n\nA=1\nno equals sign\nC=4\n");
}

TEST(ConfigParser, ReadsFilesWithCarriageReturnsAndRepeats)
{
    TestRoot root;
    root.write(kUser, "A=1\r\nB = 2\r\nA=3\n");
    EXPECT_EQ(get("A"), "3");  // the later line wins
    EXPECT_EQ(get("B"), " 2");  // names are trimmed, values kept as written
    root.write(kUser, "A=22\n");  // same inode, new size and time
    EXPECT_EQ(get("A"), "22");
}

TEST(ConfigParser, SeesAnotherProcessWrite)
{
    TestRoot root;
    ASSERT_EQ(set("Shared", "parent"), 1);
    EXPECT_EQ(get("Shared"), "parent");  // cached now
    pid_t child = forkChild([] { return set("Shared", "child") == 1 ? 0 : 1; });
    ASSERT_EQ(waitChild(child), 0);
    EXPECT_EQ(get("Shared"), "child");
    // And the other way: the child sees the parent's cached store change.
    ASSERT_EQ(set("Shared", "again"), 1);
    child = forkChild([] { return get("Shared") == "again" ? 0 : 1; });
    EXPECT_EQ(waitChild(child), 0);
}

TEST(ConfigParser, FailedSaveLeavesTheOldFile)
{
    TestRoot root;
    ASSERT_EQ(set("A", "1"), 1);
    std::string before = root.read(kUser);
    configParser_FailNextWrites(1);
    EXPECT_EQ(set("A", "2"), -1);
    EXPECT_EQ(root.read(kUser), before);
    EXPECT_EQ(get("A"), "1");
    EXPECT_EQ(set("A", "2"), 1);  // only the next write failed
    configParser_FailNextWrites(-1);
    EXPECT_EQ(set("A", "3"), -1);
    EXPECT_EQ(set("B", "3"), -1);
    configParser_FailNextWrites(0);
    EXPECT_EQ(get("A"), "2");
    EXPECT_EQ(get("B"), "");
}

TEST(ConfigParser, UnreadableStoreIsNotOverwritten)
{
    TestRoot root;
    root.write("/config/system/config.cfg/keep", "x");  // the store path is a folder
    EXPECT_EQ(set("A", "1"), -1);
    EXPECT_EQ(root.read("/config/system/config.cfg/keep"), "x");
}

TEST(ConfigParser, GetConfigInt)
{
    TestRoot root;
    root.write(kUser, "a=42\nb=-7\nc= 12 \nd=abc\ne=12abc\nf=\ng=99999999999\nh=0x10\n");
    struct Case {
        const char* name;
        int expected;
    } cases[] = {{"a", 42}, {"b", -7}, {"c", 12}, {"d", 0}, {"e", 0},
                 {"f", 0},  {"g", 0},  {"h", 0},  {"unset", 0}};
    for (const Case& c : cases)
        EXPECT_EQ(configParser_GetConfigInt(c.name), c.expected) << c.name;
}

// A child saves two alternating versions of a large store as fast as it can
// and is killed mid-way: every read, and the file left behind, must be one
// whole version.
TEST(ConfigParser, SaveIsAtomicUnderKill)
{
    TestRoot root;
    const size_t kSize = 256 * 1024;
    auto whole = [&](const std::string& text) {
        if (text.size() != kSize + 7)  // "Blob=" + value + "\n" + ... (see below)
            return false;
        char c = text[5];
        return text.compare(0, 5, "Blob=") == 0 && (c == 'a' || c == 'b') &&
               text.find_first_not_of(c, 5) == kSize + 5 && text.compare(kSize + 5, 2, "\n\n") == 0;
    };
    // A blank line at the end stays in place across saves.
    root.write(kUser, "Blob=" + std::string(kSize, 'a') + "\n\n");
    SignalPipe started;
    pid_t child = forkChild([&] {
        for (unsigned long i = 0;; ++i) {
            if (set("Blob", std::string(kSize, i % 2 ? 'a' : 'b')) != 1)
                return 1;
            if (i == 3)
                started.send('s');
        }
    });
    ASSERT_EQ(started.receive(), 's');
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(whole(root.read(kUser))) << "read " << i;
    kill(child, SIGKILL);
    EXPECT_EQ(waitChild(child), -1);
    EXPECT_TRUE(whole(root.read(kUser)));
    std::string value = get("Blob");
    EXPECT_EQ(value.size(), kSize);
}

// A server that marks its requests checks the files once per request; the
// scenario runs in a child so the mode does not outlive this test.
TEST(ConfigParser, ChecksForOutsideChangesOncePerRequest)
{
    TestRoot root;
    root.write(kUser, "A=1\nB=1\n");
    pid_t child = forkChild([&root] {
        configParser_BeginRequest();
        if (get("A") != "1")
            return 1;
        root.write(kUser, "A=22\nB=2\n");  // another process saves mid-request
        if (get("A") != "1")
            return 2;  // this request keeps its first view
        configParser_BeginRequest();
        if (get("A") != "22")
            return 3;  // the next request sees the change
        root.write(kUser, "A=22\nB=333\n");
        // A write looks at the file under its lock: B=333 must survive it.
        if (set("A", "4") != 1)
            return 4;
        return root.read(kUser) == "A=4\nB=333\n" ? 0 : 5;
    });
    EXPECT_EQ(waitChild(child), 0);
}
