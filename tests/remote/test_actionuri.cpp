#include "remote/actionuri.h"

#include "tests/support/testroot.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const char kUserStore[] = "/config/system/config.cfg";

std::string TypeOf(const char* query)
{
    char type[kURITypeSize];
    memset(type, 'x', sizeof type);
    return getURIType(query, type);
}

}  // namespace

TEST(ActionUriType, FirstMatchingPrefixCaseSensitive)
{
    struct Case {
        const char* query;
        const char* type;
    } cases[] = {
        {"key=OK", "key"},
        {"keyboard", ""},
        {"cstaX&number=1", ""},
        {"key&x", "key"},
        {"number=123", "number"},
        {"phonecfg=get", "phonecfg"},
        {"redirectcall=1&number=2", "redirectcall"},
        {"forward=1", "forward"},
        {"Server=http://x", "Server"},
        {"server=http://x", ""},
        {"command=screenshot", "command"},
        {"csta", "csta"},
        {"KEY=OK", ""},
        {"p=status&q=load", ""},
        {"ke", ""},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TypeOf(c.query), c.type) << c.query;
    EXPECT_EQ(TypeOf(nullptr), "");
}

TEST(ActionUriTrust, PatternsMatchWholeAddressesOnly)
{
    struct Case {
        const char* pattern;
        const char* address;
        bool trusted;
    } cases[] = {
        {"192.168.*.*", "192.168.0.1", true},
        {"192.168.*.*", "192.168.0.1000", false},
        {"192.168.*.*", "10.192.168.1", false},
        {"192.168.*.*", "192.168.0.1.5", false},
        {"192.168.*.*", "192x168.0.1", false},   // "." is no wildcard
        {"192.168.*.*", "192.168..1", false},    // "*" needs a digit
        {"10.0.0.1", "10.0.0.1", true},
        {"10.0.0.1", "10.0.0.10", false},
        {"*", "1", true},
        // Anything beyond digits, dots and stars matches nothing.
        {".*", "10.0.0.1", false},
        {"1|.*", "10.0.0.1", false},
        {"[0-9.]+", "10.0.0.1", false},
        {" 10.0.0.1", "10.0.0.1", false},
        {"10.0.0.1 ", "10.0.0.1", false},
        // Malformed entries neither crash nor match.
        {"(", "10.0.0.1", false},
        {"[", "10.0.0.1", false},
        {"\\", "10.0.0.1", false},
        {"**..**", "10.0.0.1", false},
        {"", "", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MatchTrustPattern(c.pattern, c.address), c.trusted ? 1 : 0)
            << c.pattern << " vs " << c.address;
    EXPECT_EQ(MatchTrustPattern(nullptr, "1.2.3.4"), 0);
    EXPECT_EQ(MatchTrustPattern("1.2.3.4", nullptr), 0);
    EXPECT_EQ(MatchTrustPattern(std::string(600, '*').c_str(), "1"), 0);
    std::string longest(511, '*');
    EXPECT_EQ(MatchTrustPattern(longest.c_str(), "1"), 0);
}

TEST(ActionUriTrust, ConfiguredList)
{
    struct Case {
        const char* setting;
        const char* address;
        int trusted;
    } cases[] = {
        {"any", "8.8.8.8", 1},
        {"ANY", "8.8.8.8", 1},
        {"", "127.0.0.1", 0},
        {"10.0.0.2,192.168.1.*", "192.168.1.77", 1},
        {"10.0.0.2,,192.168.1.*", "10.0.0.2", 1},
        // Entries are not trimmed: the blank makes the second one dead.
        {"192.168.1.*, 10.0.0.1", "10.0.0.1", 0},
        {"192.168.1.*, 10.0.0.1", "192.168.1.3", 1},
        {"10.0.0.*|.*", "8.8.8.8", 0},
        {"(,127.0.0.1", "127.0.0.1", 1},
        {",", "127.0.0.1", 0},
    };
    for (const Case& c : cases) {
        TestRoot root;
        root.write(kUserStore, std::string("AURILimitIP=") + c.setting + "\n");
        EXPECT_EQ(IsTrustIP(c.address), c.trusted) << c.setting << " vs " << c.address;
    }
    TestRoot root;
    root.write(kUserStore, "AURILimitIP=any\n");
    EXPECT_EQ(IsTrustIP(nullptr), 0);
}

TEST(ActionUriRebuild, ItemLimitsAndShapes)
{
    struct Case {
        const char* query;
        int limit;
        const char* text;
    } cases[] = {
        {"redirectcall=1&number=2", 10, "redirectcall=1&number=2"},
        {"phonecfg=get&a=1&b=2&c=3&d=4&e=5&f=6&g=7&h=8&i=9&j=10&k=11", 9,
         "phonecfg=get&a=1&b=2&c=3&d=4&e=5&f=6&g=7&h=8"},
        {"redirectcall=1&a=1&b=2&c=3&d=4&e=5&f=6&g=7&h=8&i=9&j=10&k=11", 10,
         "redirectcall=1&a=1&b=2&c=3&d=4&e=5&f=6&g=7&h=8&i=9"},
        // Items without "=" are skipped but still counted.
        {"forward&a=1&junk&b=2", 10, "&a=1&b=2"},
        {"forward&a=1&junk&b=2", 3, "&a=1"},
        {"forward=x&&b=2", 10, "forward=x&b=2"},
        {"forward=a=b", 10, "forward=a=b"},
        {"forward", 10, ""},
        {"", 10, ""},
    };
    for (const Case& c : cases) {
        std::string text = "stale";
        EXPECT_TRUE(RebuildActionItems(c.query, c.limit, text)) << c.query;
        EXPECT_EQ(text, c.text) << c.query;
    }
}

TEST(ActionUriRebuild, OverlongItemRefusesTheCommand)
{
    std::string text;
    std::string longest = "forward=" + std::string(kActionItemMax - 8, '1');
    ASSERT_EQ(longest.size(), kActionItemMax);
    EXPECT_TRUE(RebuildActionItems(longest.c_str(), 10, text));
    EXPECT_EQ(text, longest);

    std::string tooLong = longest + "1";
    EXPECT_FALSE(RebuildActionItems(tooLong.c_str(), 10, text));
    EXPECT_EQ(text, "");
    // An overlong item past the limit, or one without "=", is never used.
    std::string unused = "forward=1&" + std::string(500, 'x') + "&a=" + std::string(500, '2');
    EXPECT_TRUE(RebuildActionItems(unused.c_str(), 2, text));
    EXPECT_EQ(text, "forward=1");
}

TEST(ActionUriAddress, AppendsWithinRoomOnly)
{
    char text[32] = "key=OK";
    EXPECT_EQ(AddIPtoURI(text, sizeof text, "10.0.0.9"), 1);
    EXPECT_STREQ(text, "key=OK&RIP=10.0.0.9");
    // A second address is appended as well: the last one is the client.
    EXPECT_EQ(AddIPtoURI(text, sizeof text, "1.2"), 1);
    EXPECT_STREQ(text, "key=OK&RIP=10.0.0.9&RIP=1.2");

    char exact[16] = "a";  // "a&RIP=123456789" is 15 characters
    EXPECT_EQ(AddIPtoURI(exact, sizeof exact, "123456789"), 1);
    EXPECT_STREQ(exact, "a&RIP=123456789");
    char full[16] = "a";
    EXPECT_EQ(AddIPtoURI(full, sizeof full, "1234567890"), 0);
    EXPECT_STREQ(full, "a");

    EXPECT_EQ(AddIPtoURI(nullptr, 8, "1.2.3.4"), 0);
    EXPECT_EQ(AddIPtoURI(text, sizeof text, nullptr), 0);
}

TEST(ActionUriSyslog, OnlyAboveLevelTwoAndCut)
{
    struct Case {
        const char* level;
        bool logged;
    } cases[] = {{"", false}, {"0", false}, {"2", false}, {"3", true}, {"6", true}};
    for (const Case& c : cases) {
        TestRoot root;
        root.write(kUserStore, std::string("ServerLogLevel=") + c.level + "\n");
        EXPECT_EQ(ActionURISyslogLine("key=OK", "10.0.0.9"),
                  c.logged ? "Action URI: IP(10.0.0.9) Action(key=OK)" : "")
            << c.level;
    }
    TestRoot root;
    root.write(kUserStore, "ServerLogLevel=6\n");
    std::string line = ActionURISyslogLine(std::string(2000, 'n').c_str(), "10.0.0.9");
    EXPECT_EQ(line.size(), kActionSyslogMax);
    EXPECT_EQ(line.compare(0, 24, "Action URI: IP(10.0.0.9)"), 0);
}
