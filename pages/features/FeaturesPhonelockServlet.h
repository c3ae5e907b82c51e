// The page "features-phonelock": the keypad lock, its unlock PIN and the
// numbers a locked phone still dials.
#pragma once

#include "frame/http.h"

struct TMPL_varlist;

class FeaturesPhonelockServlet : public HttpServlet {
public:
    void init() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override;
    void destory() override {}

    int loadConfig(HttpRequest* request, HttpResponse* response);
    int writeConfig(HttpRequest* request, HttpResponse* response);
    TMPL_varlist* showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request);
};

PHONEWEB_EXPORT HttpServlet* createFeaturesPhonelockServlet();
