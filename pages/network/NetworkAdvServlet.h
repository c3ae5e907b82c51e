// Advanced network settings: VLAN, LLDP, QoS, RTP ports, SNMP, the web
// server, 802.1X with its certificates and OpenVPN with its configuration.
#pragma once

#include "frame/http.h"

struct TMPL_varlist;

class NetworkAdvServlet : public HttpServlet {
public:
    void init() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override;
    void destory() override {}

    int loadConfig(HttpRequest* request, HttpResponse* response);
    int writeConfig(HttpRequest* request, HttpResponse* response);
    // The OpenVPN archive ("pemFile").
    int upload(HttpRequest* request, HttpResponse* response);
    // An 802.1X certificate ("pemFile", "type" = "ca" or "client").
    int uploadCaFile(HttpRequest* request, HttpResponse* response);
    TMPL_varlist* showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request);
};

PHONEWEB_EXPORT HttpServlet* createNetworkAdvServlet();
