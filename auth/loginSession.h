// What the login page and the request filter share: checking a login name
// and password, opening the logged-in session, and the tests that decide
// which client text may travel in a redirect.
#pragma once

#include <cstddef>
#include <ctime>
#include <string>

#include "containers/zrhashmap.h"

class HttpRequest;
class HttpResponse;
class HttpSession;

// A page name or field value carried in a redirect: 1 to 63 letters,
// digits, "-", "_" or ".". Anything else (separators, blanks, line breaks,
// "%") could change the redirect's meaning, so it is never copied in.
constexpr size_t kPlainNameMax = 63;
bool IsPlainName(const char* text);

// A query carried in a redirect after "/servlet?": printable characters
// without blanks, at most `max` of them.
bool IsRedirectableQuery(const std::string& query, size_t max);

// The pages whose redirects carry the account index "acc".
bool PageNeedsAccount(const char* page);

// Checks name and password against the password file. True when they are
// right and the identity may log in (the "var" identity only while
// "AdvancedVarEnabled" is not "0"); `identity` is then the name's identity
// ("admin", "var", "user", or "" for a name that maps to none).
bool CheckLogin(const char* name, const char* password, std::string& identity);

// Gives the client a new session holding the identity: a session the
// client brought along (perhaps one planted by someone else) is ended
// first, so its id is worth nothing after the login. Applies the idle
// time-out "ReLogOffTime" (minutes) and tells the debug facility. Null when
// the host has no session to give.
HttpSession* OpenLoginSession(HttpRequest* request, const std::string& identity);

// Consecutive failed logins per client address, shared by the login form and
// the URL credentials of remote-control requests, so that guessing through
// either counts and meets the same lock: three failures in a row shut the
// address out for 180 seconds.
class LoginLockout {
public:
    static constexpr int kFailuresToLock = 3;
    static constexpr time_t kLockSeconds = 180;

    // True while the address is shut out; after the lock the count starts
    // again from 0.
    bool locked(const std::string& address, time_t now);
    // Counts a failure; true when it shut the address out. One lock time for
    // every address: a new lock extends the others.
    bool fail(const std::string& address, time_t now);
    void succeed(const std::string& address);
    int failures(const std::string& address);
    void clear();

private:
    time_t lockTime_ = 0;
    ZRHashMap<std::string, int, STRING_HASH> failures_{100, 10};
};
LoginLockout& SharedLoginLockout();

// Seconds from a clock that setting the phone's time does not move.
time_t MonotonicSeconds();

// The text of the answer to a locked-out client.
extern const char kLoginLockedText[];
// Answers a locked-out client: the login page's look with the lock notice,
// status 403.
void AnswerLockedOut(HttpResponse* response);
