// The page "features-sms": sends a SIP text message from a registered
// account, records it in the phone's message list and shows the messages
// sent so far.
#pragma once

#include <string>

#include "frame/http.h"

struct TMPL_varlist;

// The longest block the SIP client takes: the text, "sip:", the target user,
// "@" and the target server, without the terminating zero.
constexpr size_t kTextMessageBlockMax = 1023;

// The target of a message: "user@server", or a bare user at the account's
// own server.
struct MessageTarget {
    std::string user;
    std::string server;
};
MessageTarget SplitMessageTarget(const std::string& target, const std::string& ownServer);
// The block for the SIP client: text + "sip:" + user + "@" + server. False
// (and no block) when it would exceed kTextMessageBlockMax.
bool BuildMessageBlock(const std::string& text, const MessageTarget& target, std::string& block);

class FeaturesSMSServlet : public HttpServlet {
public:
    void init() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override;
    void destory() override {}

    int send(HttpRequest* request, HttpResponse* response);
    int loadConfig(HttpRequest* request, HttpResponse* response);
    TMPL_varlist* showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request);
};

PHONEWEB_EXPORT HttpServlet* createFeaturesSMSServlet();
