// The page "features-intercom": whether intercom calls are answered, muted,
// announced and may barge in.
#pragma once

#include "frame/http.h"

struct TMPL_varlist;

class FeaturesIntercomServlet : public HttpServlet {
public:
    void init() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override;
    void destory() override {}

    int loadConfig(HttpRequest* request, HttpResponse* response);
    int writeConfig(HttpRequest* request, HttpResponse* response);
    TMPL_varlist* showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request);
};

PHONEWEB_EXPORT HttpServlet* createFeaturesIntercomServlet();
