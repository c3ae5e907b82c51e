// Date and time: NTP or manual time, the time zone, daylight saving (off,
// manual by date or by week, or automatic from the zone table
// "AutoDST.xml") and the display formats.
#pragma once

#include <string>

#include "frame/http.h"

struct TMPL_varlist;
struct TMPL_loop;

class SettingsDateTimeServlet : public HttpServlet {
public:
    void init() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override;
    void destory() override {}

    int loadConfig(HttpRequest* request, HttpResponse* response);
    int writeConfig(HttpRequest* request, HttpResponse* response);
    // Prints the daylight-saving rule of the zone "z" ("<offset> <zone>").
    int onTimeZoneChanged(HttpRequest* request, HttpResponse* response);

    // The zone rows of AutoDST.xml with the stored zone selected; null when
    // neither the user's nor the factory table can be read.
    TMPL_loop* getTimeZoneAndName(const std::string& time, const std::string& zone, bool& readable);
    TMPL_varlist* GetDaylightTimeByZone(TMPL_varlist* varlist, const std::string& zone);
};

// Whether a daylight-saving rule text is valid: type "0" month/day/hour,
// type "1" month/week/weekday/hour.
bool CheckDSTTime(const char* type, const char* text);

PHONEWEB_EXPORT HttpServlet* createSettingsDateTimeServlet();
