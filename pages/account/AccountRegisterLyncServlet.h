// The registration page's status-only form: it answers "askstatus"; its
// load and write do nothing.
#pragma once

#include "frame/http.h"

class AccountRegisterLyncServlet : public HttpServlet {
public:
    void init() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override;
    void destory() override {}

    int loadConfig(HttpRequest* request, HttpResponse* response);
    int writeConfig(HttpRequest* request, HttpResponse* response);
    int askStatus(HttpRequest* request, HttpResponse* response);
};

PHONEWEB_EXPORT HttpServlet* createAccountRegisterLyncServlet();
