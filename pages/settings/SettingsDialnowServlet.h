// The dial-now rules: a number that matches a pattern is dialled at once.
#pragma once

#include "frame/http.h"

class SettingsDialnowServlet : public HttpServlet {
public:
    void init() override;
    int onRequest(HttpRequest* request, HttpResponse* response) override;
    void destory() override {}

    int loadConfig(HttpRequest* request, HttpResponse* response);
    int Add(HttpRequest* request, HttpResponse* response);
    int Edit(HttpRequest* request, HttpResponse* response);
    int Del(HttpRequest* request, HttpResponse* response);

private:
    int phoneType_ = 0;
};

PHONEWEB_EXPORT HttpServlet* createSettingsDialnowServlet();
