#include "frame/configbridge.h"
#include "frame/servlet.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

#include "platform/configparser.h"
#include "platform/registry.h"
#include "platform/tmpl.h"
#include "tests/support/fakes.h"
#include "tests/support/testroot.h"

namespace {

std::string ReadVar(FILETYPE type, const char* name, int account = 0)
{
    OwnedVarlist list(readConfigOperate(type, name, static_cast<TMPL_varlist*>(nullptr), account));
    return VarOf(list.get(), name);
}

// ---- Escaping --------------------------------------------------------------

TEST(ConfigRead, ValueReachesTheTemplateEscaped)
{
    const struct {
        const char* stored;
        const char* shown;
    } kCases[] = {{"plain", "plain"}, {"a<b&c", "a&lt;b&amp;c"}, {"<&", "&lt;&amp;"},
                  {"&lt;", "&amp;lt;"}, {"\"x\" > y", "&quot;x&quot; &gt; y"}, {"", ""}};
    TestRoot root;
    for (const auto& c : kCases) {
        ASSERT_GE(configParser_SetConfigString("DisplayName", c.stored), 0);
        EXPECT_EQ(ReadVar(FILETYPE_GLOBAL, "DisplayName"), c.shown) << c.stored;
        char buffer[EscapedRoom(64)];
        readConfigOperate(FILETYPE_GLOBAL, "DisplayName", buffer, 0);
        EXPECT_STREQ(buffer, c.shown) << c.stored;
    }
}

TEST(ConfigRead, LongValueIsCutTo1023CharactersBeforeEscaping)
{
    TestRoot root;
    configParser_SetConfigString("Long", std::string(2000, 'x').c_str());
    EXPECT_EQ(ReadVar(FILETYPE_GLOBAL, "Long"), std::string(1023, 'x'));

    // The cut happens before escaping: 1023 ampersands become 1023 entities.
    configParser_SetConfigString("Long", std::string(2000, '&').c_str());
    std::string shown = ReadVar(FILETYPE_GLOBAL, "Long");
    EXPECT_EQ(shown.size(), 1023u * 5);
    EXPECT_EQ(shown.substr(0, 10), "&amp;&amp;");
}

TEST(ConfigRead, AccountFieldUsesTheAccountNameButKeepsTheFieldName)
{
    TestRoot root;
    std::string accountName = configParser_GetAccountConfigName("AccountLabel", 2);
    ASSERT_NE(accountName, "AccountLabel");
    configParser_SetConfigString(accountName.c_str(), "third");
    configParser_SetConfigString("AccountLabel", "global");

    EXPECT_EQ(ReadVar(FILETYPE_ACCOUNT, "AccountLabel", 2), "third");
    EXPECT_EQ(ReadVar(FILETYPE_GLOBAL, "AccountLabel", 2), "global");
    // Any type other than 1 is global.
    EXPECT_EQ(ReadVar(7, "AccountLabel", 2), "global");
}

TEST(ConfigRead, BufferFormsNeverOverrun)
{
    TestRoot root;
    configParser_SetConfigString("Flag", "12345678901&");

    char small[8];
    memset(small, '#', sizeof small);
    readConfigOperate(FILETYPE_GLOBAL, "Flag", small, 0);
    EXPECT_STREQ(small, "1234567");

    // A cut that would end inside an entity drops the partial entity.
    char room[15];
    readConfigOperate(FILETYPE_GLOBAL, "Flag", room, sizeof room, 0);
    EXPECT_STREQ(room, "12345678901");

    char whole[EscapedRoom(12)];
    readConfigOperate(FILETYPE_GLOBAL, "Flag", whole, 0);
    EXPECT_STREQ(whole, "12345678901&amp;");
}

TEST(ConfigRead, NullNameLogsAndGivesNothing)
{
    TestRoot root;
    LogCapture log;
    char buffer[16] = "old";
    readConfigOperate(FILETYPE_GLOBAL, nullptr, buffer, 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(readConfigOperate(FILETYPE_GLOBAL, static_cast<const char*>(nullptr),
                                static_cast<TMPL_varlist*>(nullptr), 0),
              nullptr);
    EXPECT_TRUE(log.contains("readConfigOperate... para error"));
}

TEST(ConfigRead, QuoteFormOnlyAcceptsTheDoubleQuote)
{
    TestRoot root;
    configParser_SetConfigString("AutoProvisionUser", "a\"b");
    OwnedVarlist good(readConfigOperate(FILETYPE_GLOBAL, "AutoProvisionUser", nullptr, '"', 0));
    EXPECT_EQ(VarOf(good.get(), "AutoProvisionUser"), "a&quot;b");
    OwnedVarlist other(readConfigOperate(FILETYPE_GLOBAL, "AutoProvisionUser", nullptr, '\'', 0));
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(VarOf(other.get(), "AutoProvisionUser"), "");
}

TEST(ConfigRead, ListSkipsNullEntries)
{
    TestRoot root;
    configParser_SetConfigString("A", "1");
    configParser_SetConfigString("B", "<2>");
    static const char* const kNames[] = {"A", nullptr, "B"};
    OwnedVarlist list(readConfigOperate(FILETYPE_GLOBAL, kNames, CountOf(kNames), nullptr, 0));
    EXPECT_EQ(VarOf(list.get(), "A"), "1");
    EXPECT_EQ(VarOf(list.get(), "B"), "&lt;2&gt;");
    EXPECT_EQ(readConfigOperate(FILETYPE_GLOBAL, kNames, 0, nullptr, 0), nullptr);
}

// ---- Writing ---------------------------------------------------------------

TEST(ConfigWrite, SingleFieldFromTheRequest)
{
    TestRoot root;
    LogCapture log;
    FakeRequest request;
    request.setPost({{"AccountLabel", "<3600>"}});

    EXPECT_EQ(writeConfigOperate(FILETYPE_ACCOUNT, "AccountLabel", &request, 1), 1);
    // Stored as posted, escaped only on the way out.
    EXPECT_EQ(configParser_GetConfigString(
                  configParser_GetAccountConfigName("AccountLabel", 1).c_str()),
              "<3600>");
    EXPECT_EQ(writeConfigOperate(FILETYPE_ACCOUNT, "AccountLabel", &request, 1), 0);

    EXPECT_EQ(writeConfigOperate(FILETYPE_GLOBAL, "Missing", &request, 0), -1);
    EXPECT_TRUE(log.contains("writeConfigOperate() get Missing =NULL."));
}

TEST(ConfigWrite, SingleValueRefusesNulls)
{
    TestRoot root;
    LogCapture log;
    EXPECT_EQ(writeConfigOperate(FILETYPE_GLOBAL, "X", static_cast<const char*>(nullptr), 0), -1);
    EXPECT_EQ(writeConfigOperate(FILETYPE_GLOBAL, nullptr, "v", 0), -1);
    EXPECT_TRUE(log.contains("Parameter is null"));
    EXPECT_EQ(writeConfigOperate(FILETYPE_GLOBAL, "X", "v", 0), 1);
    EXPECT_EQ(configParser_GetConfigString("X"), "v");
}

TEST(ConfigWrite, ListSkipsAbsentFieldsAndReportsChange)
{
    TestRoot root;
    configParser_SetConfigString("Kept", "old");
    static const char* const kNames[] = {"First", nullptr, "Kept", "Second"};

    FakeRequest request;
    request.setPost({{"First", "1"}, {"Second", "2"}});
    EXPECT_EQ(writeConfigOperate(FILETYPE_GLOBAL, kNames, CountOf(kNames), &request, 0), 1);
    EXPECT_EQ(configParser_GetConfigString("First"), "1");
    EXPECT_EQ(configParser_GetConfigString("Second"), "2");
    EXPECT_EQ(configParser_GetConfigString("Kept"), "old");

    // The same values again change nothing.
    EXPECT_EQ(writeConfigOperate(FILETYPE_GLOBAL, kNames, CountOf(kNames), &request, 0), 0);

    FakeRequest empty;
    EXPECT_EQ(writeConfigOperate(FILETYPE_GLOBAL, kNames, CountOf(kNames), &empty, 0), 0);
    EXPECT_EQ(writeConfigOperate(FILETYPE_GLOBAL, kNames, 0, &request, 0), 0);
    EXPECT_EQ(writeConfigOperate(FILETYPE_GLOBAL, nullptr, 2, &request, 0), -1);
    EXPECT_EQ(writeConfigOperate(FILETYPE_GLOBAL, kNames, CountOf(kNames), nullptr, 0), -1);
}

TEST(ConfigWrite, ListReportsAFailedStore)
{
    TestRoot root;
    LogCapture log;
    static const char* const kNames[] = {"First", "Second"};
    FakeRequest request;
    request.setPost({{"First", "1"}, {"Second", "2"}});

    // Nothing stored and nothing changed is a failure, not "unchanged".
    configParser_FailNextWrites(-1);
    EXPECT_EQ(writeConfigOperate(FILETYPE_GLOBAL, kNames, CountOf(kNames), &request, 0), -1);
    EXPECT_TRUE(log.contains("writeConfigOperate() store First failed"));
    configParser_FailNextWrites(0);
    EXPECT_EQ(configParser_GetConfigString("First"), "");

    // What did change is still reported as a change.
    configParser_FailNextWrites(1);
    EXPECT_EQ(writeConfigOperate(FILETYPE_GLOBAL, kNames, CountOf(kNames), &request, 0), 1);
    EXPECT_EQ(configParser_GetConfigString("Second"), "2");
}

// ---- showString --------------------------------------------------------------

TEST(ShowString, MenuThenItemLayoutWithValuesCutTo15Characters)
{
    TestRoot root;
    configParser_SetConfigString("account-adv", "2");
    configParser_SetConfigString("account-basic", "1");
    configParser_SetConfigString("ItemA", "0");
    configParser_SetConfigString("ItemB", "3");
    configParser_SetConfigString("Long", "0123456789abcdefghij");  // cut to 15 characters
    configParser_SetConfigString("Unset", "");
    static const char* const kMenu[] = {"account-adv", "account-basic"};
    static const char* const kItems[] = {"ItemA", "ItemB", "Long", "Unset"};

    char level[kShowLevelSize] = {};
    showString(SHOWTYPE_MENU, kMenu, CountOf(kMenu), level);
    showString(SHOWTYPE_ITEM, kItems, CountOf(kItems), level);
    EXPECT_STREQ(level, "account-adv=2&account-basic=1$ItemA=0&ItemB=3&Long=0123456789abcde&Unset=");
}

TEST(ShowString, WholeTextStaysWithinItsRoom)
{
    TestRoot root;
    // 200 names of 10 characters give far more than 1023 characters.
    std::vector<std::string> names;
    for (int i = 0; i < 200; ++i)
        names.push_back("item" + std::to_string(100000 + i));
    std::vector<const char*> pointers;
    for (const std::string& name : names)
        pointers.push_back(name.c_str());

    char level[kShowLevelSize + 8];
    memset(level, 0, sizeof level);
    memset(level + kShowLevelSize, '#', 8);
    showString(SHOWTYPE_ITEM, pointers.data(), static_cast<int>(pointers.size()), level,
               kShowLevelSize);
    EXPECT_EQ(strlen(level), kShowLevelSize - 1);
    EXPECT_EQ(std::string(level + kShowLevelSize, 8), std::string(8, '#'));
}

TEST(ShowString, NullArgumentsLog)
{
    TestRoot root;
    LogCapture log;
    char level[16] = {};
    showString(SHOWTYPE_ITEM, nullptr, 1, level);
    EXPECT_TRUE(log.contains("readConfigOperate() para error"));
    EXPECT_STREQ(level, "");
}

// ---- ReplaceStr and friends --------------------------------------------------

TEST(ReplaceStr, ResultLongerThanAnyWorkAreaIsWhole)
{
    // 1023 ampersands escape to 5115 characters.
    std::string text(1023, '&');
    std::vector<char> buffer(EscapedRoom(text.size()));
    memcpy(buffer.data(), text.c_str(), text.size() + 1);
    ReplaceSpecailStrs(buffer.data());
    std::string escaped(buffer.data());
    EXPECT_EQ(escaped.size(), 5115u);
    EXPECT_EQ(escaped.find_first_not_of("&amp;"), std::string::npos);
}

TEST(ReplaceStr, ReturnsAndReplaces)
{
    char text[64] = "a-b-c";
    EXPECT_EQ(ReplaceStr(text, "-", "--"), 0);
    EXPECT_STREQ(text, "a--b--c");
    EXPECT_EQ(ReplaceStr(text, "x", "y"), -1);
    EXPECT_STREQ(text, "a--b--c");
    EXPECT_EQ(ReplaceStr(text, "", "y"), -1);
    EXPECT_EQ(ReplaceStr(nullptr, "a", "b"), -1);
    EXPECT_EQ(ReplaceStr(text, nullptr, "b"), -1);
    // The search goes on after each occurrence, never into the replacement.
    char grow[64] = "aa";
    EXPECT_EQ(ReplaceStr(grow, "a", "aa"), 0);
    EXPECT_STREQ(grow, "aaaa");
}

TEST(ReplaceStr, SizedFormsCutWithinTheRoom)
{
    char text[8 + 4];
    memset(text, '#', sizeof text);
    strcpy(text, "abcabc");
    EXPECT_EQ(ReplaceStr(text, 8, "b", "xyz"), 0);
    EXPECT_STREQ(text, "axyzcax");
    EXPECT_EQ(text[9], '#');

    char escaped[10 + 4];
    memset(escaped, '#', sizeof escaped);
    strcpy(escaped, "ab<<");
    ReplaceSpecailStrs(escaped, 10);
    // "ab&lt;&lt;" needs 11 bytes: the second entity is dropped whole.
    EXPECT_STREQ(escaped, "ab&lt;");
    EXPECT_EQ(escaped[10], '#');
}

TEST(ReplaceStr, StdStringForm)
{
    std::string text = "one two two";
    EXPECT_EQ(ReplaceStrByStr(text, "two", "three"), 1);
    EXPECT_EQ(text, "one three three");
    EXPECT_EQ(ReplaceStrByStr(text, "", "x"), 1);
    EXPECT_EQ(text, "one three three");
    EXPECT_EQ(EscapeHtml("<a href=\"x\">&</a>"), "&lt;a href=&quot;x&quot;&gt;&amp;&lt;/a&gt;");
}

// ---- Registry values ---------------------------------------------------------

TEST(RegistryValues, SetStringLogsTheChangeButNoSecret)
{
    TestRoot root;
    LogCapture log;
    root.write("/config/system/test.ini", "");
    _HREGISTRY_* handle = registryOpen("/config/system/test.ini", "net");
    ASSERT_NE(handle, nullptr);

    EXPECT_TRUE(RegSetString(handle, "Mode", "dhcp", true));
    EXPECT_TRUE(log.contains("[net:Mode] value is changed to [dhcp]!"));
    EXPECT_TRUE(RegSetString(handle, "VpnPassword", "hunter2", true));
    EXPECT_FALSE(log.contains("hunter2"));
    EXPECT_TRUE(RegSetString(handle, "Quiet", "q", false));
    EXPECT_FALSE(log.contains("Quiet"));
    EXPECT_FALSE(RegSetString(nullptr, "Mode", "x", true));
    EXPECT_EQ(registryGetString(handle, "Mode", ""), "dhcp");
}

TEST(RegistryValues, GetStringEscapesAndFallsBack)
{
    TestRoot root;
    root.write("/config/system/test.ini", "");
    _HREGISTRY_* handle = registryOpen("/config/system/test.ini", "net");
    ASSERT_NE(handle, nullptr);
    registrySetString(handle, "Name", "a&b", 0);
    registrySetString(handle, "Empty", "", 0);
    EXPECT_EQ(GetStringAndReplaceChar(handle, "Name", "d"), "a&amp;b");
    EXPECT_EQ(GetStringAndReplaceChar(handle, "Empty", "<d>"), "&lt;d&gt;");
    EXPECT_EQ(GetStringAndReplaceChar(handle, "Absent", ""), "");
    registrySetString(handle, "Long", std::string(1500, 'z').c_str(), 0);
    EXPECT_EQ(GetStringAndReplaceChar(handle, "Long", "").size(), 1023u);
}

TEST(SecretNames, Table)
{
    const struct {
        const char* name;
        bool secret;
    } kCases[] = {
        {"AccountPassword", true}, {"PhoneLockPIN", true},   {"AutoProvisionAesKey", true},
        {"WebPwd", true},          {"AccountLabel", false},  {"ServerLogLevel", false},
        {nullptr, false},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(IsSecretName(c.name), c.secret) << (c.name ? c.name : "(null)");
}

}  // namespace
