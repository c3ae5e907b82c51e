// The page "settings-upgrade": versions, reboot, factory reset and the
// firmware upgrade, whose image is streamed from the request body straight
// into the upgrade engine (the servlet is the engine's IUpgrader).
#pragma once

#include <string>
#include <vector>

#include "frame/http.h"
#include "platform/phoneproc.h"
#include "platform/upgrade.h"

class SettingsUpgradeServlet : public HttpServlet, public IUpgrader {
public:
    void init() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override;
    void destory() override {}

    int OpenStream() override;
    int ReadStream(void* buffer, int size) override;
    // Reads count items of size bytes from the image part of the body;
    // returns the whole items delivered (0 at the end of the part).
    virtual int ReadStream(void* buffer, int size, int count);
    void CloseStream() override {}
    ~SettingsUpgradeServlet() override {}

    int loadConfig(HttpRequest* request, HttpResponse* response);
    int resetToFactory(HttpRequest* request, HttpResponse* response);
    int rebootPhone(HttpRequest* request, HttpResponse* response);
    int upgrade(HttpRequest* request, HttpResponse* response);
    int upgradeProgress(HttpRequest* request, HttpResponse* response);
    int beforeUpgrade(HttpRequest* request, HttpResponse* response);
    int askStatus(HttpRequest* request, HttpResponse* response);
    int askUpgrade(HttpRequest* request, HttpResponse* response);
    int rebootBeforeUpgrade(HttpRequest* request, HttpResponse* response);
    int askRebootOK(HttpRequest* request, HttpResponse* response);
    TMPL_varlist* showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request);
    // Keeps the logs in "/config/data/log" and restarts the phone through
    // the watchdog after a failed upgrade.
    void backupUpgradeFail();

    // Every wait of the page goes through here (milliseconds).
    static void (*sleepMs)(int milliseconds);

private:
    // Refills the look-ahead buffer; false when nothing more can come.
    bool fillPart();

    HttpRequest* request = nullptr;
    bool prepared = false;
    // The image part ends where "\r\n--<boundary>" begins.
    std::string delimiter_;
    std::vector<char> ahead_;
    size_t begin_ = 0;
    size_t end_ = 0;
    size_t safeEnd_ = 0;  // bytes before this index are image bytes
    bool delimiterFound_ = false;
    bool bodyEnded_ = false;
    std::string failure_;
};

// Reads the body one byte at a time until pattern has been read; the bytes
// read are appended to collected (at most 1023 characters are kept). 1 when
// found, 0 when the body ended first or the pattern is null.
int matchStreamData(HttpRequest* request, const char* pattern, std::string* collected);

// Kills (signal 9) the phone processes named in names (keepListed 0), or all
// but those (keepListed 1); never this process, its parent, pid 1 or a
// process without a command line.
void update_kill(const char* const* names, int count, int keepListed);
// The pids update_kill signals in a process list.
std::vector<int> SelectKillTargets(const std::vector<PhoneProcess>& processes,
                                   const char* const* names, int count, int keepListed,
                                   int self, int parent);

PHONEWEB_EXPORT void Signal_active();
PHONEWEB_EXPORT HttpServlet* createSettingsUpgradeServlet();
