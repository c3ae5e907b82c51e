#include "filter/LoginListener.h"

#include <cstdlib>
#include <cstring>

#include "auth/loginSession.h"
#include "frame/frame.h"
#include "remote/actionuri.h"
#include "remote/pushxml.h"

namespace {

// The host hands the URL from "/servlet?" on.
constexpr size_t kServletPrefixLength = 9;
constexpr char kCredentialsMarker[] = "&@";
constexpr char kLoginForm[] = "/servlet?p=login&q=loginForm&jumpto=";
constexpr char kLanguageFolder[] = "/phone/www/htdocs/language";

// A command word begins the query as a whole word: "push", "push&..." or
// "push=...", never "pushX".
bool BeginsWithWord(const std::string& query, const char* word)
{
    size_t length = std::strlen(word);
    return query.compare(0, length, word) == 0 &&
           (query.size() == length || query[length] == '&' || query[length] == '=');
}

bool Equals(const char* text, const char* word)
{
    return text && std::strcmp(text, word) == 0;
}

void Challenge(HttpResponse* response)
{
    response->addHeader("WWW-Authenticate", "Basic realm=\"VOIP PHONE\"");
    response->sendError(401);
}

void PrepareResponse(HttpRequest* request, HttpResponse* response)
{
    int level = WebDebugLevelFor(GetConfigValue(FILETYPE_GLOBAL, "ServerLogLevel", 0));
    if (level >= 0)
        WebDebug::getInstance()->setDebugLevel(level);
    response->setDeviceType(std::to_string(GetPhoneType()).c_str());
    std::list<std::string> names;
    ReadFiles::FindFiles(&names, kLanguageFolder, ".js", false, false);
    request->setLanguage(
        ChooseWebLanguage(names, GetConfigValue(FILETYPE_GLOBAL, "LanguageWebLang", 0)).c_str());
}

// Checks the URL's credentials for this request alone (no session: a remote
// host's commands must not push browsers out of the session store). Failures
// count towards the same lock-out as the login form. False after answering.
bool LoginByUrl(HttpRequest* request, HttpResponse* response, const FilterQuery& split,
                std::string& identity)
{
    if (!split.hasCredentials) {
        Challenge(response);
        return false;
    }
    std::string address = request->getRemoteAddr() ? request->getRemoteAddr() : "";
    LoginLockout& lockout = SharedLoginLockout();
    if (lockout.locked(address, MonotonicSeconds())) {
        AnswerLockedOut(response);
        return false;
    }
    if (!CheckLogin(split.name.c_str(), split.password.c_str(), identity)) {
        log_log(2, 4, "ip:%s URL login of [%s] refused\n", address.c_str(), split.name.c_str());
        if (lockout.fail(address, MonotonicSeconds()))
            AnswerLockedOut(response);
        else
            Challenge(response);
        return false;
    }
    lockout.succeed(address);
    SetRequestIdentity(request, identity);
    WebDebug::getInstance()->setUser(identity.c_str());
    return true;
}

// Action URI and download requests: 1 lets the host go on to the page, 0
// when answered. A command is answered by its own handler; the page named
// beside it runs only for a request that is logged in.
int RunRemoteRequest(HttpRequest* request, HttpResponse* response, const FilterQuery& split,
                     const char* page, const char* user, const std::string& type)
{
    if (split.query.size() > kFilterQueryMax) {
        log_log(2, 4, "query of %u characters refused\n", static_cast<unsigned>(split.query.size()));
        response->sendError(400);
        return 0;
    }
    bool exempt = (type == "command" && Equals(request->getParameter("command"), "screenshot")) ||
                  type == "csta";
    std::string identity = user ? user : "";
    bool loggedIn = user != nullptr;
    if (!loggedIn && (split.hasCredentials || !exempt)) {
        if (!LoginByUrl(request, response, split, identity))
            return 0;
        loggedIn = true;
    }
    if (type.empty())
        return 1;  // a download: the page serves it
    // The export carries every SIP password and the provisioning server
    // decides the phone's whole configuration: both are the admin's.
    if ((type == "phonecfg" || type == "Server") && identity != "admin") {
        log_log(2, 4, "Action URI %s refused to [%s]\n", type.c_str(), identity.c_str());
        response->sendError(403);
        return 0;
    }
    bool cstaEnabled = GetConfigValue(FILETYPE_GLOBAL, "EnableCSTA", 0) == "1";
    if (proccessActionURI(request, response, type.c_str(), split.query.c_str()) != 0) {
        if (type == "command")
            return 0;
        if (type == "csta" && cstaEnabled) {
            doProcessCSTA(request, response);
            return 0;
        }
    }
    return loggedIn && page ? 1 : 0;
}

}  // namespace

FilterQuery SplitFilterQuery(const char* url)
{
    FilterQuery split;
    if (!url || std::strlen(url) <= kServletPrefixLength)
        return split;
    split.query = url + kServletPrefixLength;
    size_t marker = split.query.find(kCredentialsMarker);
    if (marker == std::string::npos)
        return split;
    std::string credentials = split.query.substr(marker + sizeof kCredentialsMarker - 1);
    split.query.erase(marker);
    split.hasCredentials = true;
    size_t colon = credentials.find(':');
    split.name = credentials.substr(0, colon);
    if (colon != std::string::npos)
        split.password = credentials.substr(colon + 1);
    return split;
}

int WebDebugLevelFor(const std::string& serverLogLevel)
{
    long level = std::strtol(serverLogLevel.c_str(), nullptr, 10);
    if (level < 4)
        return 2;
    if (level <= 5)
        return 1;
    if (level == 6)
        return 0;
    return -1;
}

std::string ChooseWebLanguage(const std::list<std::string>& names, const std::string& configured)
{
    for (const std::string& name : names) {
        size_t dot = name.find('.');
        if ((dot == std::string::npos ? name : name.substr(dot + 1)) == configured)
            return name;
    }
    return names.empty() ? std::string() : names.front();
}

std::string LoginFormTarget(const char* page, const char* acc, const char* model,
                            const std::string& query)
{
    const std::string fallback = std::string(kLoginForm) + "status";
    std::string target = kLoginForm;
    if (!page)
        target += IsRedirectableQuery(query, kFilterQueryMax) ? "URI&" + query : "status";
    else if (!IsPlainName(page))
        target += "status";
    else if (PageNeedsAccount(page))
        target += std::string(page) + "&acc=" + (IsPlainName(acc) ? acc : "");
    else if (Equals(page, "contacts-preview"))
        target += "contactsbasic";
    else if (Equals(page, "dsskey"))
        target += std::string("dsskey&model=") + (IsPlainName(model) ? model : "");
    else
        target += page;
    return target.size() > kLoginFormTargetMax ? fallback : target;
}

int LoginListener::onRequest(HttpRequest* request, HttpResponse* response)
{
    // The URL identity of an earlier request must never reach this one.
    SetRequestIdentity(request, "");
    FilterQuery split = SplitFilterQuery(request->getRequestURL());
    const char* page = request->getParameter("p");
    PrepareResponse(request, response);

    char bootMode[32] = "";
    userenv_get("BOOTMODE", bootMode, sizeof bootMode);
    // Safe mode only keeps the road to a new firmware open; every other page
    // still needs a login.
    if (page && (Equals(page, "login") || Equals(page, "command") ||
                 (Equals(bootMode, "safemode") && Equals(page, "settings-upgrade"))))
        return 1;

    HttpSession* session = request->getSession(1);
    const char* user = session ? session->getAttribute("user") : nullptr;
    if (BeginsWithWord(split.query, "push")) {
        // A refused push must not look like a stored one.
        if (ProcessPushXml(request, false, response) != 1)
            response->sendError(400);
        return user && page ? 1 : 0;
    }

    char type[kURITypeSize] = "";
    getURIType(split.query.c_str(), type);

    if (BeginsWithWord(split.query, "download") || type[0] != '\0')
        return RunRemoteRequest(request, response, split, page, user, type);

    if (!user) {
        response->sendRedirect(LoginFormTarget(page, request->getParameter("acc"),
                                               request->getParameter("model"), split.query)
                                   .c_str());
        return 0;
    }
    return 1;
}

PHONEWEB_EXPORT HttpListener* createLoginListener()
{
    return new LoginListener();
}
