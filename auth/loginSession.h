// What the login page and the request filter share: checking a login name
// and password, opening the logged-in session, and the tests that decide
// which client text may travel in a redirect.
#pragma once

#include <cstddef>
#include <string>

class HttpRequest;
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
