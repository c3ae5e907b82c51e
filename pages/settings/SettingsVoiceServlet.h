// Voice processing: echo cancellation, silence detection, comfort noise and
// the jitter buffer.
#pragma once

#include "frame/http.h"

class SettingsVoiceServlet : public HttpServlet {
public:
    void init() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override;
    void destory() override {}

    int loadConfig(HttpRequest* request, HttpResponse* response);
    int writeConfig(HttpRequest* request, HttpResponse* response);
};

PHONEWEB_EXPORT HttpServlet* createSettingsVoiceServlet();
