// The page "login": the login form, the login itself, the logout, and the
// guard against password guessing (three failures in a row from one client
// address shut the page to it for 180 seconds).
#pragma once

#include <ctime>
#include <functional>
#include <string>

#include "frame/http.h"

// Where a good login sends the browser, by the form's "jumpto": the page
// asked for (with its "acc", or the key model the form carries in "acc"),
// or for "URI" the Action URI query waiting for the login. A target that
// would be longer than kLoginTargetMax, or that carries client text unfit
// for a redirect, gives the status page instead.
constexpr size_t kLoginTargetMax = 63;
std::string LoginSuccessTarget(const char* jumpto, const char* acc, const std::string& uriQuery);

class LoginServlet : public HttpServlet {
public:
    // Seconds from any fixed point; the lock-out only measures spans.
    typedef std::function<time_t()> Clock;

    LoginServlet();
    explicit LoginServlet(Clock clock);

    void init() override;
    int onRequest(HttpRequest* request, HttpResponse* response) override;
    void destory() override {}

    int loginForm(HttpRequest* request, HttpResponse* response);
    int login(HttpRequest* request, HttpResponse* response);
    int logout(HttpRequest* request, HttpResponse* response);

    // Consecutive failures of an address (0 when it has none).
    int failures(const std::string& address);

private:
    // The Action URI query a "URI" login goes on to; consumes the saved one.
    std::string takeUriQuery(HttpRequest* request, const std::string& address);

    Clock clock_;
    // Set only while the failing login's own form is rendered: the notice
    // belongs to that request, never to the next visitor.
    bool showFailure_ = false;
    // The query of an Action URI request waiting for a login, and the
    // address that asked: only that client's login goes on to it.
    std::string savedUri_;
    std::string savedUriAddress_;
};

PHONEWEB_EXPORT HttpServlet* createLoginServlet();
