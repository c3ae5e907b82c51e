// Distinctive ring: ten rules, each mapping an Alert-Info text to a ring
// tone (stored as the tone's position in the ring list).
#pragma once

#include <list>
#include <string>

#include "frame/http.h"

class SettingsRingServlet : public HttpServlet {
public:
    void init() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override;
    void destory() override {}

    int loadConfig(HttpRequest* request, HttpResponse* response);
    int writeConfig(HttpRequest* request, HttpResponse* response);
};

// Position 0 "default-ring.wav", then the built-in tones ("Resource:"), then
// the user's tones ("Config:"), each group sorted by name.
std::list<std::string> GetRingList();

PHONEWEB_EXPORT HttpServlet* createSettingsRingServlet();
