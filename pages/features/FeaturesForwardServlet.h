// The page "features-forward": call forwarding (always, busy, no answer) and
// Do Not Disturb, each either for the whole phone (phone mode) or per
// account (account mode, kept in sections of "/config/user/user.ini").
#pragma once

#include "frame/http.h"

struct TMPL_varlist;

class FeaturesForwardServlet : public HttpServlet {
public:
    void init() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override;
    void destory() override {}

    int loadConfig(HttpRequest* request, HttpResponse* response);
    int writeConfig(HttpRequest* request, HttpResponse* response);
    TMPL_varlist* showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request);
};

PHONEWEB_EXPORT HttpServlet* createFeaturesForwardServlet();
