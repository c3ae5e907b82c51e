// The provisioning pages: "settings-autop" (where and when the phone fetches
// its configuration, and a run now) and "settings-tr069" (the ACS link).
#pragma once

#include "frame/http.h"

class PageWrite;

class SettingsAutoProvisionServlet : public HttpServlet {
public:
    void init() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override;
    void destory() override {}

    int loadConfig(HttpRequest* request, HttpResponse* response);
    int writeConfig(HttpRequest* request, HttpResponse* response);
    // "autoprovision" while a run is going on, else "idle".
    int askResult(HttpRequest* request, HttpResponse* response);
    TMPL_varlist* showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request);
};

class SettingsTr069Servlet : public HttpServlet {
public:
    void init() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override;
    void destory() override {}

    int loadConfig(HttpRequest* request, HttpResponse* response);
    int writeConfig(HttpRequest* request, HttpResponse* response);
    TMPL_varlist* showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request);
};

// Queues each secret field the request carries unless it is the mask
// "********", which keeps the stored secret.
void AddSecretFields(PageWrite& write, HttpRequest* request, const char* const* names, int count);
