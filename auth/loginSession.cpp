#include "auth/loginSession.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "auth/filePassword.h"
#include "frame/frame.h"

namespace {

const char* const kAccountPages[] = {"account-basic", "account-adv", "account-codec",
                                     "phone-features-line"};
constexpr char kAccountPagePrefix[] = "account-register";

// "ReLogOffTime" is minutes; the seconds must stay inside an int.
constexpr int kMaxIdleMinutes = INT_MAX / 60;

}  // namespace

const char kLoginLockedText[] =
    "Too many failed logins from this address. Please try again in 3 minutes.";

bool IsPlainName(const char* text)
{
    if (!text || !*text)
        return false;
    size_t length = 0;
    for (const char* p = text; *p; ++p, ++length) {
        char c = *p;
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                     c == '-' || c == '_' || c == '.';
        if (!plain || length >= kPlainNameMax)
            return false;
    }
    return true;
}

bool IsRedirectableQuery(const std::string& query, size_t max)
{
    if (query.size() > max)
        return false;
    for (unsigned char c : query)
        if (c <= ' ' || c >= 127)
            return false;
    return true;
}

bool PageNeedsAccount(const char* page)
{
    if (!page)
        return false;
    for (const char* name : kAccountPages)
        if (std::strcmp(page, name) == 0)
            return true;
    return std::strncmp(page, kAccountPagePrefix, sizeof kAccountPagePrefix - 1) == 0;
}

bool CheckLogin(const char* name, const char* password, std::string& identity)
{
    char found[kIdentitySize] = "";
    GetIdentityByName(name, found, sizeof found);
    identity = found;
    if (identity == "var" && GetConfigValue(FILETYPE_GLOBAL, "AdvancedVarEnabled", 0) == "0")
        return false;
    return filePassword(kPasswordFile).IsRightUserPassword(name, password) == 1;
}

HttpSession* OpenLoginSession(HttpRequest* request, const std::string& identity)
{
    if (HttpSession* old = request->getSession(0))
        old->invalidate();
    HttpSession* session = request->getSession(1);
    if (!session)
        return nullptr;
    session->setAttribute("user", strdup(identity.c_str()));
    WebDebug::getInstance()->setUser(identity.c_str());
    int minutes = 0;
    std::string idle = GetConfigValue(FILETYPE_GLOBAL, "ReLogOffTime", 0);
    if (!idle.empty() && ParseDecimalInt(idle.c_str(), 0, kMaxIdleMinutes, minutes))
        session->setMaxInactiveInterval(minutes * 60);
    return session;
}

bool LoginLockout::locked(const std::string& address, time_t now)
{
    int* count = failures_.find(address);
    if (!count || *count < kFailuresToLock)
        return false;
    if (now - lockTime_ < kLockSeconds)
        return true;
    *count = 0;
    return false;
}

bool LoginLockout::fail(const std::string& address, time_t now)
{
    int& count = failures_[address];
    if (++count < kFailuresToLock)
        return false;
    lockTime_ = now;
    return true;
}

void LoginLockout::succeed(const std::string& address)
{
    if (int* count = failures_.find(address))
        *count = 0;
}

int LoginLockout::failures(const std::string& address)
{
    int* count = failures_.find(address);
    return count ? *count : 0;
}

void LoginLockout::clear()
{
    failures_.clear();
    lockTime_ = 0;
}

LoginLockout& SharedLoginLockout()
{
    static LoginLockout lockout;
    return lockout;
}

time_t MonotonicSeconds()
{
    // Not the wall clock: setting the phone's time back must not stretch a
    // lock-out into years, nor setting it forward end one early.
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec;
}

void AnswerLockedOut(HttpResponse* response)
{
    response->setContentType("text/html");
    TMPL_varlist* varlist = TMPL_add_var(nullptr, "notice", kLoginLockedText, "locked", "1", 0);
    RenderPage(response, "loginForm.htm", AddDevType(varlist));
    response->sendError(403);
}
