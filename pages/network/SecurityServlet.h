// The page "security": the users of the password file that the logged-in
// identity may manage, and setting a web password.
#pragma once

#include <string>

#include "frame/http.h"

// Whether `viewer` (the logged-in identity) sees the user whose identity is
// `target` in the list. An identity other than the three sees only users
// that have none of them, like "user". `varEnabled`: "AdvancedVarEnabled"
// is not "0".
bool SecurityMayList(const std::string& viewer, const std::string& target, bool varEnabled);

enum class PasswordChange {
    Refused,
    NeedsOldPassword,  // one's own identity
    Allowed,           // without the old password
};
// Whether `viewer` may set the password of identity `mode`: only its own
// (with the old password) or that of an identity below it.
PasswordChange SecurityChangeRule(const std::string& viewer, const std::string& mode);

// Why a new password cannot be stored as typed (empty, or a character the
// password file's hash cannot hold); null when it can.
const char* SecurityPasswordProblem(const char* password);

class SecurityServlet : public HttpServlet {
public:
    void init() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override;
    void destory() override {}

    int loadConfig(HttpRequest* request, HttpResponse* response);
    int writeConfig(HttpRequest* request, HttpResponse* response);
};

PHONEWEB_EXPORT HttpServlet* createSecurityServlet();
