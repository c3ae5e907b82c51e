// The page "features-remotecontrl": who may push XML objects and send Action URI commands.
#pragma once

#include "frame/http.h"

struct TMPL_varlist;

class FeaturesRemoteContrlServlet : public HttpServlet {
public:
    void init() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override;
    void destory() override {}

    int loadConfig(HttpRequest* request, HttpResponse* response);
    int writeConfig(HttpRequest* request, HttpResponse* response);
    TMPL_varlist* showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request);
};

PHONEWEB_EXPORT HttpServlet* createFeaturesRemoteContrlServlet();
