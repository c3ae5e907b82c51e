// The block-out list: ten numbers (patterns) the phone refuses to dial, each
// optionally only on chosen accounts.
#pragma once

#include "frame/http.h"

class SettingsBlackoutServlet : public HttpServlet {
public:
    void init() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override;
    void destory() override {}

    int loadConfig(HttpRequest* request, HttpResponse* response);
    int writeConfig(HttpRequest* request, HttpResponse* response);
};

PHONEWEB_EXPORT HttpServlet* createSettingsBlackoutServlet();
