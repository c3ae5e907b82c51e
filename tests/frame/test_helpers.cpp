#include "frame/helpers.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <gtest/gtest.h>

#include "platform/configparser.h"
#include "platform/registry.h"
#include "tests/support/fakes.h"
#include "tests/support/testroot.h"

namespace {

// ---- Small text helpers ----------------------------------------------------

TEST(CopyText, CutsAndTerminates)
{
    char out[4];
    EXPECT_EQ(CopyText(out, sizeof out, "abcdef"), 3u);
    EXPECT_STREQ(out, "abc");
    EXPECT_EQ(CopyText(out, sizeof out, nullptr), 0u);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(CopyText(out, 0, "x"), 0u);
}

TEST(ParseDecimalInt, Table)
{
    const struct {
        const char* text;
        int min, max;
        bool ok;
        int value;
    } kCases[] = {
        {"12", 0, 100, true, 12},   {"-3", -5, 5, true, -3},  {"-3", 0, 5, false, 0},
        {"-", -5, 5, false, 0},     {"101", 0, 100, false, 0}, {"1e2", 0, 1000, false, 0},
        {"2147483647", 0, 2147483647, true, 2147483647},
        {"2147483648", 0, 2147483647, false, 0},
        {"-2147483648", -2147483647 - 1, 0, true, -2147483647 - 1},
    };
    for (const auto& c : kCases) {
        int value = 0;
        EXPECT_EQ(ParseDecimalInt(c.text, c.min, c.max, value), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
}

// ---- Accounts --------------------------------------------------------------

TEST(AccountLoop, SelectionAndAutoRow)
{
    TestRoot root;
    root.write("/config/system/phonetype", "22");  // three accounts
    OwnedLoop plain(GetAccountLoop("2", false));
    EXPECT_EQ(LoopColumn(plain.get(), "index"), (Texts{"0", "1", "2"}));
    EXPECT_EQ(LoopColumn(plain.get(), "accountno"), (Texts{"Account1", "Account2", "Account3"}));
    EXPECT_EQ(LoopColumn(plain.get(), "selected"), (Texts{"0", "0", "1"}));

    OwnedLoop withAuto(GetAccountLoop("-1", true));
    EXPECT_EQ(LoopColumn(withAuto.get(), "index"), (Texts{"-1", "0", "1", "2"}));
    EXPECT_EQ(LoopColumn(withAuto.get(), "accountno"),
              (Texts{"Auto", "Account1", "Account2", "Account3"}));
    EXPECT_EQ(LoopColumn(withAuto.get(), "selected"), (Texts{"1", "0", "0", "0"}));

    OwnedLoop none(GetAccountLoop(nullptr, true));
    EXPECT_EQ(LoopColumn(none.get(), "selected"), (Texts{"0", "0", "0", "0"}));
}

TEST(AccountStatus, Words)
{
    const struct {
        int status;
        const char* word;
    } kCases[] = {{0, "Disabled"}, {5, "Registered"}, {6, "Inexistence"}, {7, "Unknown"}, {-1, "Unknown"}};
    for (const auto& c : kCases) {
        char word[kStatusWordSize];
        MapAccountStatusToString(word, c.status);
        EXPECT_STREQ(word, c.word) << c.status;
    }
}

TEST(SipServerHost, FallsBackFromServer1ToServer2ToAccount)
{
    TestRoot root;
    root.write("/config/system/phonetype", "46");
    root.write("/config/user/voip/sipAccount0.cfg",
               "[sipserver1]\nserver=one.example\nport=5070\n[sipserver2]\nserver=two.example\n");
    root.write("/config/user/voip/sipAccount1.cfg",
               "[sipserver1]\nserver=\n[sipserver2]\nserver=two.example\n");
    root.write("/config/user/voip/sipAccount2.cfg",
               "[account]\nSIPServerHost=own.example\nSIPServerPort=5080\n");

    const struct {
        int account;
        int result;
        const char* host;
        const char* port;
    } kCases[] = {
        {0, 1, "one.example", "5070"}, {1, 1, "two.example", "5060"},
        {2, 1, "own.example", "5080"}, {3, 1, "0.0.0.0", "5060"},
        {6, 0, "", ""},                {-1, 0, "", ""},
    };
    for (const auto& c : kCases) {
        std::string host, port;
        EXPECT_EQ(GetSipServerHost(host, port, c.account), c.result) << c.account;
        if (c.result) {
            EXPECT_EQ(host, c.host) << c.account;
            EXPECT_EQ(port, c.port) << c.account;
        }
    }
}

// ---- Directory change mark -------------------------------------------------

TEST(ContactMark, DefaultUpdateAndCheck)
{
    TestRoot root;
    int type = 9;
    EXPECT_FALSE(IsContactNeedUpdate(type));
    EXPECT_EQ(type, 9);

    root.write("/tmp/contact_update_mark.ini", "[update]\ntype=2\n");
    EXPECT_TRUE(IsContactNeedUpdate(type));
    EXPECT_EQ(type, 2);

    SetDefalutUpdate();
    EXPECT_FALSE(IsContactNeedUpdate(type));
    EXPECT_EQ(type, 0);
    EXPECT_EQ(etlGetProfileInt("/tmp/contact_update_mark.ini", "update", "type", 5), 0);
}

// ---- Shared text -------------------------------------------------------------

TEST(ShareText, WritesWithinTheSlot)
{
    TestRoot root;
    EXPECT_EQ(readShareText("romTranInfo"), "");
    writeShareText("romTranInfo", "Upgrading", 32);
    EXPECT_EQ(readShareText("romTranInfo"), "Upgrading");
    // A text longer than the slot keeps its end inside the slot.
    writeShareText("romTranStat", "0123456789", 4);
    EXPECT_EQ(readShareText("romTranStat"), "012");
}

// ---- Text ----------------------------------------------------------------------

TEST(String2List, Pieces)
{
    ZRList<std::string> list;
    list.push_back("kept");
    EXPECT_EQ(String2List(list, "", ','), 0);
    EXPECT_EQ(list.size(), 1);

    const struct {
        const char* text;
        Texts pieces;
    } kCases[] = {
        {"a,b,c", {"a", "b", "c"}}, {"a,,b", {"a", "", "b"}}, {",", {"", ""}},
        {"single", {"single"}},     {"a,", {"a", ""}},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(String2List(list, c.text, ','), 1);
        Texts pieces(list.begin(), list.end());
        EXPECT_EQ(pieces, c.pieces) << c.text;
    }
}

TEST(RemoveSpace, BothEnds)
{
    const struct {
        const char* in;
        const char* out;
    } kCases[] = {{"  a b \t", "a b"}, {"\t\t", ""}, {"", ""}, {"x", "x"}, {" \tx\t ", "x"}};
    for (const auto& c : kCases) {
        std::string text = c.in;
        removeSpace(text);
        EXPECT_EQ(text, c.out) << '"' << c.in << '"';
    }
}

TEST(Names, MonthsAndWeekdays)
{
    EXPECT_STREQ(GetMonth(1), "Jan");
    EXPECT_STREQ(GetMonth(12), "Dec");
    EXPECT_STREQ(GetMonth(0), "");
    EXPECT_STREQ(GetMonth(13), "");
    EXPECT_STREQ(GetWeeday(0), "Sun");
    EXPECT_STREQ(GetWeeday(6), "Sat");
    EXPECT_STREQ(GetWeeday(7), "");
    EXPECT_STREQ(GetWeeday(-1), "");
}

// ---- Date and time ---------------------------------------------------------

class LocalTime : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* old = getenv("TZ");
        hadTz_ = old != nullptr;
        if (old)
            oldTz_ = old;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override
    {
        if (hadTz_)
            setenv("TZ", oldTz_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

    bool hadTz_ = false;
    std::string oldTz_;
};

// Tuesday 2005-03-08 09:05:07 UTC: inside the 32-bit time range.
constexpr long kMorning = 1110272707L;

TEST_F(LocalTime, DateFormats)
{
    const struct {
        int format;
        const char *first, *second, *third, *separator;
    } kCases[] = {
        {0, "Tue", "Mar", "08", " "},  {1, "08", "Mar", "2005", "-"}, {2, "2005", "03", "08", "-"},
        {3, "08", "03", "2005", "/"},  {4, "03", "08", "5", "/"},     {5, "08", "Mar", "2005", " "},
        {6, "Tue", "08", "Mar", " "},  {7, "", "", "", ""},           {-1, "", "", "", ""},
    };
    for (const auto& c : kCases) {
        std::string first, second, third, separator, clock;
        EXPECT_EQ(LocalTime2StrTime(kMorning, first, second, third, separator, clock, c.format, 1), 1);
        EXPECT_EQ(first, c.first) << c.format;
        EXPECT_EQ(second, c.second) << c.format;
        EXPECT_EQ(third, c.third) << c.format;
        EXPECT_EQ(separator, c.separator) << c.format;
        EXPECT_EQ(clock, "09:05") << c.format;
    }
}

TEST_F(LocalTime, TwelveAndTwentyFourHourClocks)
{
    const long midnight = 1110240000L;  // 2005-03-08 00:00 UTC
    const struct {
        long offset;
        int format;
        const char* clock;
    } kCases[] = {
        {0, 0, "12:00AM"},          {5 * 60, 0, "12:05AM"},   {9 * 3600 + 300, 0, "09:05AM"},
        {12 * 3600 + 60, 0, "12:01PM"}, {13 * 3600, 0, "01:00PM"}, {23 * 3600 + 59 * 60, 0, "11:59PM"},
        {23 * 3600 + 59 * 60, 1, "23:59"}, {0, 1, "00:00"},    {0, 2, ""},
    };
    for (const auto& c : kCases) {
        std::string a, b, d, s, clock;
        LocalTime2StrTime(midnight + c.offset, a, b, d, s, clock, 2, c.format);
        EXPECT_EQ(clock, c.clock) << c.offset << " / " << c.format;
    }
}

TEST_F(LocalTime, ShortYearHasNoLeadingZeroAndLastThirtyTwoBitSecond)
{
    std::string first, second, third, separator, clock;
    // 2038-01-19 03:14:07 UTC, the last second a 32-bit time_t holds.
    EXPECT_EQ(LocalTime2StrTime(2147483647L, first, second, third, separator, clock, 2, 1), 1);
    EXPECT_EQ(first + separator + second + separator + third, "2038-01-19");
    EXPECT_EQ(clock, "03:14");
    LocalTime2StrTime(0L, first, second, third, separator, clock, 4, 1);
    EXPECT_EQ(third, "70");
}

// ---- crypt ---------------------------------------------------------------------

TEST(EncryptString, EightCharacterPieces)
{
    char out[64];
    ASSERT_EQ(EncryptString("password12", out, sizeof out, "ab"), 1);
    ASSERT_EQ(strlen(out), 26u);
    char piece[64];
    ASSERT_EQ(EncryptString("password", piece, sizeof piece, "ab"), 1);
    EXPECT_EQ(std::string(out, 13), piece);
    ASSERT_EQ(EncryptString("12", piece, sizeof piece, "ab"), 1);
    EXPECT_EQ(std::string(out + 13), piece);
    EXPECT_EQ(std::string(piece, 2), "ab");

    char small[20];
    EXPECT_EQ(EncryptString("password12", small, sizeof small, "ab"), 0);
    EXPECT_EQ(EncryptString(nullptr, out, sizeof out, "ab"), 0);
    EXPECT_EQ(EncryptString("", out, sizeof out, "ab"), 1);
    EXPECT_STREQ(out, "");
}

}  // namespace
