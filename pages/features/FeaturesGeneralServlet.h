// The page "features-general": call handling, dialing, DTMF, the idle
// time-out of the web session and the phone's logo (upload and delete).
#pragma once

#include <string>

#include "frame/http.h"

struct TMPL_varlist;

// Whether a logo file fits this phone: "/config/Pics/logo.dob" holds the
// width and the height in pixels in its first two bytes, then the picture
// row by row, one bit a pixel, each row padded to whole bytes.
enum class LogoCheck {
    Accepted,
    Broken,  // too short, a zero size, or a length the header does not give
    TooBig,  // larger than the screen takes, or than the free space
};
LogoCheck CheckLogo(const std::string& data, int phoneType, long long freeBytes);

class FeaturesGeneralServlet : public HttpServlet {
public:
    void init() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override;
    void destory() override {}

    int loadConfig(HttpRequest* request, HttpResponse* response);
    int writeConfig(HttpRequest* request, HttpResponse* response);
    int uploadLogo(HttpRequest* request, HttpResponse* response);
    int deleteLogo(HttpRequest* request, HttpResponse* response);
    TMPL_varlist* showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request);
};

PHONEWEB_EXPORT HttpServlet* createFeaturesGeneralServlet();
