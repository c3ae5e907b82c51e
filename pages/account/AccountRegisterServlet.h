// Registration of one SIP account: servers, outbound proxy, transport, NAT,
// the password (never shown, kept when the mask comes back) and the live
// registration state.
#pragma once

#include "frame/http.h"

struct TMPL_varlist;

class AccountRegisterServlet : public HttpServlet {
public:
    void init() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override;
    void destory() override {}

    int loadConfig(HttpRequest* request, HttpResponse* response);
    int writeConfig(HttpRequest* request, HttpResponse* response);
    int askStatus(HttpRequest* request, HttpResponse* response);
    TMPL_varlist* showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request);
};

PHONEWEB_EXPORT HttpServlet* createAccountRegisterServlet();
