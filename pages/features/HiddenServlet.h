// The engineering page "hidden": settings that are not in the menu, the
// BroadSoft switch (applied by a reboot) and a test push of an XML object.
#pragma once

#include "frame/http.h"

struct TMPL_varlist;

class HiddenServlet : public HttpServlet {
public:
    void init() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override;
    void destory() override {}

    int loadConfig(HttpRequest* request, HttpResponse* response);
    int writeConfig(HttpRequest* request, HttpResponse* response);
    int pushXML(HttpRequest* request, HttpResponse* response);
    TMPL_varlist* showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request);
};

PHONEWEB_EXPORT HttpServlet* createHiddenServlet();
