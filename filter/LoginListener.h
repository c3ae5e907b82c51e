// The front door: every request passes LoginListener::onRequest before any
// page. It prepares the response (debug level, phone type, web language),
// lets the login page through, routes pushed XML, Action URI and CSTA
// requests, authenticates Action URI and download requests that carry
// credentials in the URL ("&@name:password"), and sends every other request
// without a login to the login form.
#pragma once

#include <list>
#include <string>

#include "frame/http.h"

// The query area: the text after "/servlet?" that Action URI, download and
// push requests are classified and run by. A longer query of such a request
// is refused (400), never cut: a cut command would do something else.
constexpr size_t kFilterQueryMax = 255;
// The longest redirect to the login form; a longer one asks for the status
// page instead.
constexpr size_t kLoginFormTargetMax = 127;

// The request URL split at the first "&@": the query before it, and after it
// the user name up to the first ":" and the password (empty without ":").
struct FilterQuery {
    std::string query;
    bool hasCredentials = false;
    std::string name;
    std::string password;
};
FilterQuery SplitFilterQuery(const char* url);

// The WebDebug level for "ServerLogLevel" (read as a decimal number): below
// 4 gives 2, 4 and 5 give 1, 6 gives 0; -1 (leave the level) above 6.
int WebDebugLevelFor(const std::string& serverLogLevel);

// The language file (without ".js") for "LanguageWebLang": the first name
// whose text after its first "." (the whole name without one) equals the
// setting, else the first name, else "".
std::string ChooseWebLanguage(const std::list<std::string>& names, const std::string& configured);

// Where a request without a login is sent: the login form with "jumpto"
// naming the page (and "acc" or "model" where the page needs one), or for a
// request without a page "URI" and its query. Client text unfit for a
// redirect is left out.
std::string LoginFormTarget(const char* page, const char* acc, const char* model,
                            const std::string& query);

class LoginListener : public HttpListener {
public:
    void init() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override;
    void destory() override {}
};

PHONEWEB_EXPORT HttpListener* createLoginListener();
