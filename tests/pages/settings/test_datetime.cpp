// Date and time: rule texts, the zone list, the rule of a zone, manual time,
// and the zone table made from the machine's time-zone database.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <pugixml.hpp>

#include "frame/configbridge.h"
#include "pages/settings/SettingsDateTimeServlet.h"
#include "platform/configparser.h"
#include "platform/netinfo.h"
#include "tests/pages/settings/settings_fixture.h"

namespace {

constexpr char kZones[] = "/config/data/AutoDST.xml";
const char kTable[] =
    "<DSTData>"
    "<DST szTime=\"+1\" szZone=\"Germany(Berlin)\" iType=\"1\" szStart=\"3/5/7/2\" szEnd=\"10/5/7/3\" szOffset=\"60\"/>"
    "<DST szTime=\"+1\" szZone=\"Norway(Oslo)\" iType=\"0\" szStart=\"3/30/2\" szEnd=\"10/26/3\" szOffset=\"600\"/>"
    "<DST szTime=\"+5:30\" szZone=\"India(Kolkata)\" iType=\"\" szStart=\"\" szEnd=\"\" szOffset=\"\"/>"
    "<DST szTime=\"+2\" szZone=\"Odd(Place)\" iType=\"0\" szStart=\"2/30/2\" szEnd=\"x'y\" szOffset=\"30\"/>"
    "</DSTData>";

TEST(DstRuleText, Validity)
{
    struct { const char* type; const char* text; bool valid; } cases[] = {
        {"0", "2/29/2", true},  {"0", "2/30/2", false}, {"0", "11/31/0", false},
        {"0", "12/31/23", true}, {"0", "3/5/7/2", false}, {"0", "13/1/1", false},
        {"1", "3/5/7/2", true}, {"1", "3/6/7/2", false}, {"1", "3/5/0/2", false},
        {"1", "3/1/1/24", false}, {"1", "3/1/1", false}, {"2", "3/5/7/2", false},
        {"0", "3/1/2x", false}, {nullptr, "1/1/1", false}, {"0", nullptr, false},
    };
    for (auto c : cases)
        EXPECT_EQ(c.valid, CheckDSTTime(c.type, c.text)) << (c.type ? c.type : "null") << " " << (c.text ? c.text : "null");
}

class DateTime : public SettingsPage, public ::testing::Test {
protected:
    DateTime() { root.write(kZones, kTable); }
    void store(const char* name, const char* value) { configParser_SetConfigString(name, value); }
    SettingsDateTimeServlet servlet;
};

TEST_F(DateTime, TheStoredZoneOrTheFirstOfItsOffsetIsSelected)
{
    struct { const char* time; const char* zone; int selected; } cases[] = {
        {"+1", "Norway(Oslo)", 1}, {"+1", "Atlantis(Nowhere)", 0}, {"+5:30", "India(Kolkata)", 2},
        {"+9", "Japan(Tokyo)", -1},
    };
    for (auto c : cases) {
        store("CurrentTimeZoneTime", c.time);
        store("CurrentTimeZoneZone", c.zone);
        Texts marks = run(servlet, "settings-datetime", "load").loopColumn("timezoneLoop", "selected");
        ASSERT_EQ(4u, marks.size());
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(i == c.selected ? "selected" : "", marks[i]) << c.zone << " row " << i;
    }
}

TEST_F(DateTime, TheRuleShownFollowsTheMode)
{
    store("CurrentTimeZoneZone", "Norway(Oslo)");
    store("LocalTimeDaylightSaving", "2");
    FakeResponse& automatic = run(servlet, "settings-datetime", "load");
    EXPECT_EQ("byDate", automatic.var("DSTTimeType"));
    EXPECT_EQ("30", automatic.var("sSDay"));
    EXPECT_EQ("", automatic.var("DSTOffSetTime"));  // 600 minutes is no offset
    store("CurrentTimeZoneZone", "Odd(Place)");
    FakeResponse& invalid = run(servlet, "settings-datetime", "load");
    EXPECT_EQ("", invalid.var("sSMonth"));
    EXPECT_EQ("30", invalid.var("DSTOffSetTime"));
    store("LocalTimeDaylightSaving", "1");
    store("DSTTimeType", "1");
    store("DSTStartTime", "3/6/7/2");
    store("DSTEndTime", "10/5/7/3");
    FakeResponse& manual = run(servlet, "settings-datetime", "load");
    EXPECT_EQ("byWeek", manual.var("DSTTimeType"));
    EXPECT_EQ("0", manual.var("sSMonth"));
    EXPECT_EQ("5", manual.var("sEWeek"));
}

TEST_F(DateTime, ZoneChangedAnswersTheZonesRule)
{
    struct { const char* z; const char* answer; } cases[] = {
        {"+1 Germany(Berlin)", "{Type:'1',sMonth:'3',sWeek:'5',sDay:'7',sHour:'2',eMonth:'10',eWeek:'5',eDay:'7',eHour:'3',offset:'60'}"},
        {"+1 Norway(Oslo)", "{Type:'0',sMonth:'3',sDay:'30',sHour:'2',eMonth:'10',eDay:'26',eHour:'3',offset:''}"},
        {"+5:30 India(Kolkata)", "{Type:3}"},
        {"+2 Odd(Place)", "{Type:'0',sMonth:'2',sDay:'30',sHour:'2',eMonth:'',eDay:'',eHour:'',offset:'30'}"},
        {"Germany(Berlin)", ""},
        {"+1 Nowhere", ""},
    };
    for (auto c : cases)
        EXPECT_EQ(c.answer, run(servlet, "settings-datetime", "TimeZoneChanged", {{"z", c.z}}).body) << c.z;
}

TEST_F(DateTime, NtpWriteStoresZoneAndRuleAndTellsThePhone)
{
    store("LocalTimeTimeFormatType", "1");
    store("LocalTimeDateFormatType", "2");
    FakeResponse& answer = run(servlet, "settings-datetime", "write",
        {{"LocalTimeType", "1"}, {"TimeZoneAndName", "+5:30 India(Kolkata) and more"},
         {"LocalTimeDaylightSaving", "1"}, {"DSTTimeType", "0"}, {"sDateSMonth", "4"},
         {"sDateSDay", "1"}, {"sDateSHour", "2"}, {"sDateEMonth", "9"}, {"sDateEDay", "30"},
         {"sDateEHour", "3"}, {"DSTOffSetTime", "30"}, {"LocalTimeTimeFormatType", "0"},
         {"LocalTimeDateFormatType", "2"}});
    EXPECT_EQ("/servlet?p=settings-datetime&q=load", answer.redirect);
    EXPECT_EQ("+5:30", GetConfigValue(FILETYPE_GLOBAL, "CurrentTimeZoneTime", 0));
    EXPECT_EQ("India(Kolkata) and more", GetConfigValue(FILETYPE_GLOBAL, "CurrentTimeZoneZone", 0));
    EXPECT_EQ("4/1/2", GetConfigValue(FILETYPE_GLOBAL, "DSTStartTime", 0));
    EXPECT_EQ("9/30/3", GetConfigValue(FILETYPE_GLOBAL, "DSTEndTime", 0));
    typedef std::pair<unsigned, int> Change;
    EXPECT_EQ((std::vector<Change>{{22, 0}, {27, 2}, {27, 1}}), changes(4));
}

// The phone's clock is an offset kept under the root: setting it leaves
// this machine's clock alone, and the page shows the time it was set to.
TEST_F(DateTime, ManualTimeMovesThePhonesClockOnly)
{
    time_t before = time(nullptr);
    FakeResponse& set = run(servlet, "settings-datetime", "write",
        {{"LocalTimeType", "0"}, {"ManualYear", "2031"}, {"ManualMonth", "2"}, {"ManualDay", "3"},
         {"ManualHour", "4"}, {"ManualMinute", "5"}, {"ManualSecond", "6"}});
    EXPECT_EQ("/servlet?p=settings-datetime&q=load", set.redirect);
    EXPECT_LT(std::labs(static_cast<long>(time(nullptr) - before)), 5L);
    FakeResponse& shown = run(servlet, "settings-datetime", "load");
    EXPECT_EQ("2031", shown.var("ManualYear"));
    EXPECT_EQ("2031-02-03 04:05", shown.var("PhoneTime").substr(0, 16));
    FakeResponse& refused = run(servlet, "settings-datetime", "write",
        {{"LocalTimeType", "0"}, {"ManualYear", "2031"}, {"ManualMonth", "4"}, {"ManualDay", "31"},
         {"ManualHour", "0"}, {"ManualMinute", "0"}, {"ManualSecond", "0"}});
    EXPECT_NE(std::string::npos, refused.var("noticeLabel").find("does not exist"));
    EXPECT_EQ(400, run(servlet, "settings-datetime", "write", {{"LocalTimeType", "0"}, {"ManualYear", "x"}}).status);
    EXPECT_EQ("2031", run(servlet, "settings-datetime", "load").var("ManualYear"));
}

// The zone table made by the project's script from this machine's
// time-zone database agrees with the system's own conversion: one second
// before a rule's start no daylight saving, at it daylight saving.
TEST(AutoDstTable, RulesAgreeWithTheSystemsConversion)
{
    TestRoot root;
    std::string out = root.real("/AutoDST.xml");
    std::string command = std::string(PHONEWEB_SOURCE_DIR) + "/factory/settings/mkautodst.sh > '" + out + "'";
    if (system(command.c_str()) != 0)
        GTEST_SKIP() << "no time-zone database here";
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(out.c_str()));
    size_t zones = 0;
    for (pugi::xml_node zone : doc.first_child().children())
        zones += zone.attribute("szZone").value()[0] != 0;
    EXPECT_GE(zones, 200u);
    EXPECT_LE(zones, 300u);

    struct { const char* name; const char* tz; } cases[] = {
        {"Germany(Berlin)", "Europe/Berlin"}, {"United States(New York)", "America/New_York"},
        {"Australia(Sydney)", "Australia/Sydney"}, {"Ireland(Dublin)", "Europe/Dublin"},
        {"India(Kolkata)", "Asia/Kolkata"}, {"Chile(Santiago)", "America/Santiago"},
    };
    const char* oldTz = getenv("TZ");
    std::string saved = oldTz ? oldTz : "";
    for (auto c : cases) {
        pugi::xml_node zone = doc.first_child().find_child_by_attribute("szZone", c.name);
        setenv("TZ", c.tz, 1);
        tzset();
        if (!zone) {
            // Left out only when its rule cannot be written down exactly.
            EXPECT_STREQ("Chile(Santiago)", c.name);
            continue;
        }
        std::string type = zone.attribute("iType").value();
        int offset = zone.attribute("szOffset").as_int();
        int standard = 0;  // minutes east of UTC
        int h = 0, m = 0;
        if (sscanf(zone.attribute("szTime").value(), "%d:%d", &h, &m) >= 1)
            standard = h * 60 + (h < 0 ? -m : m);
        if (type.empty()) {
            time_t now = time(nullptr);
            tm local;
            localtime_r(&now, &local);
            EXPECT_EQ(standard * 60L, local.tm_gmtoff) << c.name;
            continue;
        }
        ASSERT_EQ("1", type) << c.name;
        for (int year = 2027; year <= 2029; ++year) {
            for (int edge = 0; edge < 2; ++edge) {
                int month, week, day, hour;
                sscanf(zone.attribute(edge ? "szEnd" : "szStart").value(), "%d/%d/%d/%d", &month,
                       &week, &day, &hour);
                // The rule's date: the week-th day of that week's day (1
                // Monday .. 7 Sunday) in the month, week 5 the last one.
                int chosen = 0, count = 0;
                for (int d = 1; d <= 31; ++d) {
                    tm probe = {};
                    probe.tm_year = year - 1900, probe.tm_mon = month - 1, probe.tm_mday = d;
                    probe.tm_hour = 12;
                    timegm(&probe);
                    if (probe.tm_mon == month - 1 && (probe.tm_wday == 0 ? 7 : probe.tm_wday) == day &&
                        (++count == week || week == 5))
                        chosen = d;
                    if (count == week && week != 5)
                        break;
                }
                tm when = {};
                when.tm_year = year - 1900, when.tm_mon = month - 1, when.tm_mday = chosen;
                when.tm_hour = hour;
                // The start counts in standard time, the end in daylight time.
                time_t utc = timegm(&when) - (standard + (edge ? offset : 0)) * 60L;
                tm before, at;
                time_t earlier = utc - 1;
                localtime_r(&earlier, &before);
                localtime_r(&utc, &at);
                EXPECT_EQ((standard + (edge ? offset : 0)) * 60L, before.tm_gmtoff)
                    << c.name << " " << year << (edge ? " end" : " start");
                EXPECT_EQ((standard + (edge ? 0 : offset)) * 60L, at.tm_gmtoff)
                    << c.name << " " << year << (edge ? " end" : " start");
            }
        }
    }
    if (oldTz)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

}  // namespace
