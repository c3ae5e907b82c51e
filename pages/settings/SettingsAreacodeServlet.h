// The area code the phone puts before numbers of a given length.
#pragma once

#include "frame/http.h"

class SettingsAreacodeServlet : public HttpServlet {
public:
    void init() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override;
    void destory() override {}

    int loadConfig(HttpRequest* request, HttpResponse* response);
    int writeConfig(HttpRequest* request, HttpResponse* response);
};

PHONEWEB_EXPORT HttpServlet* createSettingsAreacodeServlet();
