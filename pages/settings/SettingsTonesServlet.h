// Call-progress tones: a country's set or custom tones.
#pragma once

#include <string>
#include <vector>

#include "frame/http.h"

class SettingsTonesServlet : public HttpServlet {
public:
    void init() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override;
    void destory() override {}

    int loadConfig(HttpRequest* request, HttpResponse* response);
    int writeConfig(HttpRequest* request, HttpResponse* response);
};

PHONEWEB_EXPORT HttpServlet* createSettingsTonesServlet();

// The countries of the tone file "/config/tone/CptToneCountry.cfg", in
// file order.
std::vector<std::string> ToneCountries();
