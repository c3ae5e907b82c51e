// The page "settings-config": configuration export and import, the custom
// factory configuration, system-log settings and export, and the packet
// capture.
#pragma once

#include <string>

#include "frame/http.h"

class SettingsConfigServlet : public HttpServlet {
public:
    void init() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override;
    void destory() override {}

    int loadConfig(HttpRequest* request, HttpResponse* response);
    int exportConfigAction(HttpRequest* request, HttpResponse* response);
    int importConfig(HttpRequest* request, HttpResponse* response);
    int exportSyslogAction(HttpRequest* request, HttpResponse* response);
    int writeConfig(HttpRequest* request, HttpResponse* response);
    int importFactory(HttpRequest* request, HttpResponse* response);
    int deleteFactory(HttpRequest* request, HttpResponse* response);
    int startCapture(HttpRequest* request, HttpResponse* response);
    int stopCapture(HttpRequest* request, HttpResponse* response);
    int exportCapture(HttpRequest* request, HttpResponse* response);
    TMPL_varlist* showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request);

    // Converts the stored passwords of accounts from .. to - 1 into (encrypt)
    // or out of the form kept while the phone lock is on. Always 1.
    static int EncrpptPassword(int from, int to, bool encrypt);
    // The account count the hardware allows ("HwVer", "IsAccountNum16").
    static int GetMaxAccountNum();
};

// The downloads "config.bin" and "syslog.tar": 1 when sent, 0 when the
// archive could not be made (the headers are sent, the body stays empty).
int exportConfig(HttpRequest* request, HttpResponse* response);
int exportSyslog(HttpRequest* request, HttpResponse* response);

// The phone path of capture clip number `index` for the configured prefix
// ("name" or "/tmp/name"), or "" when the prefix is not a plain name inside
// "/tmp".
std::string CaptureClipPath(const std::string& prefix, int index);
// The name the log of this phone goes by: the MAC text of "/tmp/mac.tmp"
// (its first 63 bytes, blanks at the ends cut) when that is a plain file
// name, else "000000000000".
std::string SyslogMacName(const std::string& macText);
