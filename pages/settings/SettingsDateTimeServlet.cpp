#include "pages/settings/SettingsDateTimeServlet.h"

#include <cstdio>
#include <pugixml.hpp>
#include <vector>

#include "frame/fieldrules.h"
#include "frame/frame.h"
#include "pages/settings/SettingsCommon.h"
#include "platform/netinfo.h"

namespace {

constexpr char kPage[] = "settings-datetime";
constexpr char kZoneFile[] = "/config/data/AutoDST.xml";
constexpr char kFactoryZoneFile[] = "/phone/factory/data/AutoDST.xml";
constexpr int kMaxZones = 300;
constexpr int kOffsetLimit = 300;
constexpr size_t kZoneTimeMax = 15;
constexpr size_t kZoneNameMax = 63;
constexpr unsigned int kChangedNtp = 22;
constexpr unsigned int kChangedTime = 27;

const char* const kFields[] = {
    "LocalTimeDhcpTimeSwitch", "NTPPriority",      "LocalTimeType",    "LocalTimeTimeFormatType",
    "LocalTimeDateFormatType", "LocalTimeServer1", "LocalTimeServer2", "TimeInterval",
    "EmergencyNumberList",     "LocalTimeDaylightSaving",
};
const char* const kWrittenFirst[] = {
    "DSTTimeType", "NTPPriority", "LocalTimeDhcpTimeSwitch", "LocalTimeDaylightSaving",
    "LocalTimeType", "LocalTimeTimeFormatType", "LocalTimeDateFormatType",
};
const char* const kNtpFields[] = {"LocalTimeServer1", "LocalTimeServer2", "TimeInterval"};
const char* const kItems[] = {
    "SettingsTimeZone",       "SettingsDHCPTime",       "SettingsNTPPriority",
    "SettingsPrimServer",     "SettingsSecServer",      "SettingsUpdateInterval",
    "SettingsDaylightTime",   "SettingsManualTime",     "SettingsTimeFormatSetting",
    "SettingsDateFormatSetting", "rowTimeType",         "daylight-week",
    "daylight-day",           "offset",
};
const char* const kDateFieldsStart[] = {"sDateSMonth", "sDateSDay", "sDateSHour"};
const char* const kDateFieldsEnd[] = {"sDateEMonth", "sDateEDay", "sDateEHour"};
const char* const kWeekFieldsStart[] = {"sWeekSMonth", "sWeekSWeek", "sWeekSDay", "sWeekSHour"};
const char* const kWeekFieldsEnd[] = {"sWeekEMonth", "sWeekEWeek", "sWeekEDay", "sWeekEHour"};
const char* const kDateParts[] = {"sSMonth", "sSDay", "sSHour", "sEMonth", "sEDay", "sEHour"};
const char* const kWeekParts[] = {"sSMonth", "sSWeek", "sSDay", "sSHour",
                                  "sEMonth", "sEWeek", "sEDay", "sEHour"};

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at - start));
        if (at == std::string::npos)
            return parts;
        start = at + 1;
    }
}

// The first `count` "/"-separated parts; missing ones are "".
std::vector<std::string> RuleParts(const std::string& rule, size_t count)
{
    std::vector<std::string> parts = Split(rule, '/');
    parts.resize(count);
    return parts;
}

// A zone's rule parts reach a script answer: only digits (and a sign) pass.
std::string Numeric(const std::string& text)
{
    for (char c : text) {
        if (!isdigit(static_cast<unsigned char>(c)) && c != '-')
            return std::string();
    }
    return CutText(text, 8);
}

// The offset text when within -300 .. 300 minutes, else "".
std::string OffsetText(const std::string& text)
{
    int minutes = 0;
    if (!ParseDecimalInt(text.c_str(), -kOffsetLimit, kOffsetLimit, minutes))
        return std::string();
    return std::to_string(minutes);
}

pugi::xml_node FindZone(pugi::xml_node root, const std::string& zone)
{
    for (pugi::xml_node node = root.first_child(); node; node = node.next_sibling()) {
        if (zone == node.attribute("szZone").value())
            return node;
    }
    return pugi::xml_node();
}

std::string Field(HttpRequest* request, const char* name)
{
    return PostedText(request, name);
}

}  // namespace

bool CheckDSTTime(const char* type, const char* text)
{
    if (!type || !text || (strcmp(type, "0") != 0 && strcmp(type, "1") != 0))
        return false;
    int a = 0, b = 0, c = 0, d = 0;
    char end = 0;
    if (strcmp(type, "1") == 0) {
        if (sscanf(text, "%d/%d/%d/%d%c", &a, &b, &c, &d, &end) != 4)
            return false;
        return a >= 1 && a <= 12 && b >= 1 && b <= 5 && c >= 1 && c <= 7 && d >= 0 && d <= 23;
    }
    if (sscanf(text, "%d/%d/%d/%d", &a, &b, &c, &d) == 4 ||
        sscanf(text, "%d/%d/%d%c", &a, &b, &c, &end) != 3)
        return false;
    int month = a, day = b, hour = c;
    if (month < 1 || month > 12 || hour < 0 || hour > 23 || day < 1 || day > 31)
        return false;
    if ((month == 4 || month == 6 || month == 9 || month == 11) && day == 31)
        return false;
    return month != 2 || day < 30;
}

int SettingsDateTimeServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<SettingsDateTimeServlet> kActions[] = {
        {"load", &SettingsDateTimeServlet::loadConfig},
        {"write", &SettingsDateTimeServlet::writeConfig},
        {"TimeZoneChanged", &SettingsDateTimeServlet::onTimeZoneChanged},
    };
    return DispatchPageAction(this, request, response, kActions);
}

TMPL_loop* SettingsDateTimeServlet::getTimeZoneAndName(const std::string& time,
                                                       const std::string& zone, bool& readable)
{
    pugi::xml_document doc;
    readable = true;
    if (LoadXmlFile(doc, kZoneFile) != XmlFile::Loaded) {
        log_log(2, 4, "Can't load timezone from config [%s] !\n", kZoneFile);
        if (LoadXmlFile(doc, kFactoryZoneFile) != XmlFile::Loaded) {
            log_log(2, 4, "Can't load timezone from factory config [%s] !\n", kFactoryZoneFile);
            log_log(2, 4, "SettingsDateTimeServlet::getTimeZoneAndName End error to get root element\n");
            readable = false;
            return nullptr;
        }
    }
    pugi::xml_node root = doc.first_child();
    // Is the stored zone listed under the stored offset? If not, the first
    // zone of that offset stands for it.
    bool exact = false;
    pugi::xml_node node = root.first_child();
    while (node && time != node.attribute("szTime").value())
        node = node.next_sibling();
    for (; node && time == node.attribute("szTime").value(); node = node.next_sibling())
        exact = exact || zone == node.attribute("szZone").value();

    TMPL_loop* loop = nullptr;
    bool chosen = false;
    int rows = 0;
    for (node = root.first_child(); node && rows < kMaxZones; node = node.next_sibling()) {
        std::string offset = node.attribute("szTime").value();
        std::string name = node.attribute("szZone").value();
        if (offset.empty() || name.empty())
            continue;
        bool match = exact ? offset == time && name == zone : offset == time;
        bool selected = match && !chosen;
        chosen = chosen || selected;
        std::string text = EscapeHtml(CutText(offset + " " + name, 255));
        loop = TMPL_add_varlist(loop, TMPL_add_var(nullptr, "selValue", text.c_str(), "selName",
                                                   text.c_str(), "selected",
                                                   selected ? "selected" : "", 0));
        ++rows;
    }
    return loop;
}

TMPL_varlist* SettingsDateTimeServlet::GetDaylightTimeByZone(TMPL_varlist* varlist,
                                                             const std::string& zone)
{
    std::string offset = GetConfigValue(FILETYPE_GLOBAL, "DSTOffSetTime", 0);
    std::string start = GetConfigValue(FILETYPE_GLOBAL, "DSTStartTime", 0);
    std::string end = GetConfigValue(FILETYPE_GLOBAL, "DSTEndTime", 0);
    std::string type = GetConfigValue(FILETYPE_GLOBAL, "DSTTimeType", 0);
    if (GetConfigValue(FILETYPE_GLOBAL, "LocalTimeDaylightSaving", 0) == "2") {
        pugi::xml_document doc;
        if (LoadXmlFile(doc, kZoneFile) != XmlFile::Loaded)
            return varlist;
        pugi::xml_node node = FindZone(doc.first_child(), zone);
        std::string kind = node.attribute("iType").value();
        if (node && (kind == "0" || kind == "1")) {
            offset = node.attribute("szOffset").value();
            start = node.attribute("szStart").value();
            end = node.attribute("szEnd").value();
            type = kind;
        } else {
            type = "0";
            offset.clear();
            start = end = "//";
        }
    }
    const char* invalid = type == "0" ? "//" : "0/0/0/";
    if (!CheckDSTTime(type.c_str(), start.c_str()))
        start = invalid;
    if (!CheckDSTTime(type.c_str(), end.c_str()))
        end = invalid;
    if (type == "0" || type == "1") {
        bool byDate = type == "0";
        size_t count = byDate ? 3 : 4;
        std::vector<std::string> parts = RuleParts(start, count);
        std::vector<std::string> ends = RuleParts(end, count);
        parts.insert(parts.end(), ends.begin(), ends.end());
        const char* const* names = byDate ? kDateParts : kWeekParts;
        for (size_t i = 0; i < parts.size(); ++i) {
            std::string value = Numeric(parts[i]);
            varlist = TMPL_add_var(varlist, names[i], value.c_str(), 0);
        }
        varlist = TMPL_add_var(varlist, "DSTTimeType", byDate ? "byDate" : "byWeek",
                               byDate ? "byDate" : "byWeek", "1", 0);
    }
    return TMPL_add_var(varlist, "DSTOffSetTime", OffsetText(offset).c_str(), 0);
}

int SettingsDateTimeServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    TMPL_varlist* varlist = readConfigOperate(FILETYPE_GLOBAL, kFields, CountOf(kFields),
                                              nullptr, 0);
    int now[6] = {};
    if (netGetLocalTime(now[0], now[1], now[2], now[3], now[4], now[5])) {
        const char* names[] = {"ManualYear", "ManualMonth", "ManualDay",
                               "ManualHour", "ManualMinute", "ManualSecond"};
        for (int i = 0; i < 6; ++i)
            varlist = TMPL_add_var(varlist, names[i], std::to_string(now[i]).c_str(), 0);
        char shown[48];
        snprintf(shown, sizeof shown, "%04d-%02d-%02d %02d:%02d:%02d", now[0], now[1], now[2],
                 now[3], now[4], now[5]);
        varlist = TMPL_add_var(varlist, "PhoneTime", shown, 0);
    }
    std::string time = CutText(GetConfigValue(FILETYPE_GLOBAL, "CurrentTimeZoneTime", 0), 31);
    std::string zone = CutText(GetConfigValue(FILETYPE_GLOBAL, "CurrentTimeZoneZone", 0), 127);
    bool readable = true;
    varlist = TMPL_add_loop(varlist, "timezoneLoop", getTimeZoneAndName(time, zone, readable));
    if (!readable)
        varlist = TMPL_add_var(varlist, "zoneListError", "1", 0);
    varlist = GetDaylightTimeByZone(varlist, zone);
    varlist = AddSettingsLevel(varlist, request, kPage, kItems, CountOf(kItems));
    RenderPage(response, "settings-datetime.htm", varlist);
    return 1;
}

int SettingsDateTimeServlet::onTimeZoneChanged(HttpRequest* request, HttpResponse* response)
{
    std::string value = PostedText(request, "z");
    size_t blank = value.find(' ');
    std::string zone = blank == std::string::npos ? std::string() : value.substr(blank + 1);
    pugi::xml_document doc;
    if (LoadXmlFile(doc, kZoneFile) != XmlFile::Loaded)
        return 1;
    pugi::xml_node node = FindZone(doc.first_child(), zone);
    if (!node)
        return 1;
    std::string offset = OffsetText(std::to_string(node.attribute("szOffset").as_int(0)));
    std::string type = node.attribute("iType").value();
    std::string answer;
    if (type.empty()) {
        answer = "{Type:3}";
    } else if (type == "0" || type == "1") {
        bool byDate = type == "0";
        size_t count = byDate ? 3 : 4;
        std::vector<std::string> s = RuleParts(node.attribute("szStart").value(), count);
        std::vector<std::string> e = RuleParts(node.attribute("szEnd").value(), count);
        for (std::string& part : s)
            part = Numeric(part);
        for (std::string& part : e)
            part = Numeric(part);
        if (byDate)
            answer = "{Type:'0',sMonth:'" + s[0] + "',sDay:'" + s[1] + "',sHour:'" + s[2] +
                     "',eMonth:'" + e[0] + "',eDay:'" + e[1] + "',eHour:'" + e[2] +
                     "',offset:'" + offset + "'}";
        else
            answer = "{Type:'1',sMonth:'" + s[0] + "',sWeek:'" + s[1] + "',sDay:'" + s[2] +
                     "',sHour:'" + s[3] + "',eMonth:'" + e[0] + "',eWeek:'" + e[1] +
                     "',eDay:'" + e[2] + "',eHour:'" + e[3] + "',offset:'" + offset + "'}";
    }
    if (!answer.empty())
        response->print(answer.c_str());
    return 1;
}

int SettingsDateTimeServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    std::string timeFormat = GetConfigValue(FILETYPE_GLOBAL, "LocalTimeTimeFormatType", 0);
    std::string dateFormat = GetConfigValue(FILETYPE_GLOBAL, "LocalTimeDateFormatType", 0);
    PageWrite write(request, kPage);
    write.add(FILETYPE_GLOBAL, kWrittenFirst, CountOf(kWrittenFirst));

    const char* type = request->getParameter("LocalTimeType");
    bool ntp = type && strcmp(type, "1") == 0;
    bool manual = type && strcmp(type, "0") == 0;
    int t[6] = {};
    if (ntp) {
        write.add(FILETYPE_GLOBAL, kNtpFields, CountOf(kNtpFields));
        if (const char* value = write.take("TimeZoneAndName")) {
            std::string text = value;
            size_t blank = text.find(' ');
            std::string offset, zone;
            if (blank != std::string::npos) {
                offset = CutText(text.substr(0, blank), kZoneTimeMax);
                zone = CutText(text.substr(blank + 1), kZoneNameMax);
            }
            write.set(FILETYPE_GLOBAL, "CurrentTimeZoneTime", offset.c_str(), "TimeZoneAndName");
            write.set(FILETYPE_GLOBAL, "CurrentTimeZoneZone", zone.c_str(), "TimeZoneAndName");
        }
        const char* dst = request->getParameter("LocalTimeDaylightSaving");
        const char* dstType = request->getParameter("DSTTimeType");
        if (dst && strcmp(dst, "1") == 0 && dstType) {
            bool byDate = strcmp(dstType, "0") == 0;
            const char* const* start = byDate ? kDateFieldsStart : kWeekFieldsStart;
            const char* const* end = byDate ? kDateFieldsEnd : kWeekFieldsEnd;
            int parts = byDate ? 3 : 4;
            std::string startRule, endRule;
            for (int i = 0; i < parts; ++i) {
                startRule += (i ? "/" : "") + Field(request, start[i]);
                endRule += (i ? "/" : "") + Field(request, end[i]);
            }
            // The rule the page shows again must be one the phone can use.
            if (!CheckDSTTime(dstType, startRule.c_str()))
                write.refuse(start[0], "This date does not exist.");
            else if (!CheckDSTTime(dstType, endRule.c_str()))
                write.refuse(end[0], "This date does not exist.");
            write.set(FILETYPE_GLOBAL, "DSTStartTime", startRule.c_str(), start[0]);
            write.set(FILETYPE_GLOBAL, "DSTEndTime", endRule.c_str(), end[0]);
            write.add(FILETYPE_GLOBAL, "DSTOffSetTime");
        }
    } else if (manual && !write.forbidden()) {
        // The six fields become one date; the platform refuses a date that
        // does not exist (31 April) instead of rolling it over.
        std::string joined = Field(request, "ManualYear") + "," + Field(request, "ManualMonth") +
                             "," + Field(request, "ManualDay") + "," +
                             Field(request, "ManualHour") + "," + Field(request, "ManualMinute") +
                             "," + Field(request, "ManualSecond");
        if (sscanf(joined.c_str(), "%d,%d,%d,%d,%d,%d", &t[0], &t[1], &t[2], &t[3], &t[4],
                   &t[5]) != 6)
            write.refuse("ManualYear", "This date does not exist.");
    }
    if (!write.save())
        return write.reshow(response, this, &SettingsDateTimeServlet::loadConfig);
    if (manual && !netSetLocalTime(t[0], t[1], t[2], t[3], t[4], t[5])) {
        SetNoticePage(response, false, kPage, "Error:This date or time does not exist!");
        return 0;
    }
    if (ntp)
        BroadcastChange(kChangedNtp, 0);
    const char* postedTime = request->getParameter("LocalTimeTimeFormatType");
    const char* postedDate = request->getParameter("LocalTimeDateFormatType");
    if (postedTime && postedDate && (timeFormat != postedTime || dateFormat != postedDate))
        BroadcastChange(kChangedTime, 2);
    BroadcastChange(kChangedTime, manual ? 0 : 1);
    write.done(response);
    return 1;
}

HttpServlet* createSettingsDateTimeServlet()
{
    return new SettingsDateTimeServlet;
}
