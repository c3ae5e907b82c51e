// The status page: versions, network state, account states and the attached
// expansion modules. Read-only; its one action is "load".
#pragma once

#include "frame/http.h"

struct TMPL_varlist;
struct TMPL_loop;

class StatusServlet : public HttpServlet {
public:
    void init() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override;
    void destory() override {}

    int loadConfig(HttpRequest* request, HttpResponse* response);
    TMPL_varlist* showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request);
    // Adds "extNum" (the module count, "0" when the device cannot be read) to
    // a non-null varlist and returns the rows of the modules listed, null
    // when there are none.
    TMPL_loop* GetXKInfo(TMPL_varlist* varlist);
};

PHONEWEB_EXPORT HttpServlet* createStatusServlet();
