// The CA certificates the phone trusts as a TLS client: list, upload, delete and the trust options.
#pragma once

#include "frame/http.h"

struct TMPL_varlist;

class TrustedCertServlet : public HttpServlet {
public:
    void init() override;
    int onRequest(HttpRequest* request, HttpResponse* response) override;
    void destory() override {}

    int loadConfig(HttpRequest* request, HttpResponse* response);
    int writeConfig(HttpRequest* request, HttpResponse* response);
    int deleteCert(HttpRequest* request, HttpResponse* response);
    int upload(HttpRequest* request, HttpResponse* response);
    TMPL_varlist* showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request);
};

PHONEWEB_EXPORT HttpServlet* createTrustedCertServlet();
