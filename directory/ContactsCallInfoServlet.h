// The phone's local call history (dialed, received, missed, forwarded) with
// names from the local directory; call back and hang up from the browser.
#pragma once

#include <string>

#include "frame/http.h"

struct TMPL_varlist;

class ContactsCallInfoServlet : public HttpServlet {
public:
    void init() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override;
    void destory() override {}

    int loadConfig(HttpRequest* request, HttpResponse* response);
    int call(HttpRequest* request, HttpResponse* response);
    int hangup(HttpRequest* request, HttpResponse* response);
    TMPL_varlist* showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request);
};

// The name a call shows: the local directory's contact of that number, else
// the display name the call carried, else the number.
std::string CallerName(const std::string& directoryName, const std::string& displayName,
                       const std::string& number);
// Text cut to at most 127 bytes without splitting a UTF-8 character.
std::string CutTo127(const std::string& text);

PHONEWEB_EXPORT HttpServlet* createContactsCallInfoServlet();
