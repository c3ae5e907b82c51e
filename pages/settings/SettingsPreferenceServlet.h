// Display and handset preferences (backlight, contrast, web language, live
// dial pad, watchdog, default ring tone, wallpaper, unlock PIN) and the user
// media: ring tones under "/data/userdata/sound/", wallpapers under
// "/data/userdata/wallpaper/".
#pragma once

#include <string>

#include "frame/http.h"

struct TMPL_varlist;

class SettingsPreferenceServlet : public HttpServlet {
public:
    void init() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override;
    void destory() override {}

    int loadConfig(HttpRequest* request, HttpResponse* response);
    int writeConfig(HttpRequest* request, HttpResponse* response);
    int upload(HttpRequest* request, HttpResponse* response);
    int DeleteRing(HttpRequest* request, HttpResponse* response);
    int UploadWallpaper(HttpRequest* request, HttpResponse* response);
    int DeleteWallpaper(HttpRequest* request, HttpResponse* response);
    TMPL_varlist* showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request);
};

// The file name a media value ("Config:My ring.wav") names inside its
// folder; "" when it has no ":" or the name could leave the folder.
std::string MediaNameOf(const char* value, std::string* prefix = nullptr);

PHONEWEB_EXPORT HttpServlet* createSettingsPreferenceServlet();
