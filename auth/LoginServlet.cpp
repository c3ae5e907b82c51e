#include "auth/LoginServlet.h"

#include <cstring>

#include "auth/loginSession.h"
#include "frame/frame.h"

namespace {

constexpr char kLoginTemplate[] = "loginForm.htm";
constexpr char kStatusTarget[] = "/servlet?p=status&q=load";
constexpr char kLogoutTarget[] = "/servlet?p=login&q=loginForm&jumpto=status";
constexpr char kUriMarker[] = "URI&";
constexpr char kCredentialsMarker[] = "&@";
constexpr char kLoginNotice[] = "The username or password is error!";

// A saved Action URI query longer than the filter's query area is never
// kept.
constexpr size_t kSavedUriMax = 255;

std::string RemoteAddress(HttpRequest* request)
{
    const char* address = request->getRemoteAddr();
    return address ? address : "";
}

std::string Field(HttpRequest* request, const char* name)
{
    const char* value = request->getParameter(name);
    return value ? value : "";
}

// What follows "URI&" in the request URL, without any credentials after "&@".
std::string UriQueryOf(HttpRequest* request)
{
    const char* url = request->getRequestURL();
    const char* start = url ? std::strstr(url, kUriMarker) : nullptr;
    if (!start)
        return std::string();
    std::string query = start + sizeof kUriMarker - 1;
    return query.substr(0, query.find(kCredentialsMarker));
}

TMPL_varlist* AddEscaped(TMPL_varlist* varlist, const char* name, const std::string& value)
{
    return TMPL_add_var(varlist, name, EscapeHtml(value).c_str(), 0);
}

}  // namespace

std::string LoginSuccessTarget(const char* jumpto, const char* acc, const std::string& uriQuery)
{
    std::string page = jumpto && *jumpto ? jumpto : "status";
    std::string account = IsPlainName(acc) ? acc : "";
    std::string target;
    if (page == "status")
        target = kStatusTarget;
    else if (page == "URI")
        target = !uriQuery.empty() && IsRedirectableQuery(uriQuery, kLoginTargetMax)
                     ? "/servlet?" + uriQuery
                     : "";
    else if (!IsPlainName(jumpto))
        target = "";
    else if (PageNeedsAccount(jumpto))
        target = "/servlet?p=" + page + "&q=load&acc=" + (account.empty() ? "0" : account);
    else if (page == "contactsbasic")
        target = "/servlet?p=contactsbasic&q=load&num=1&group=";
    else if (page == "dsskey")
        target = "/servlet?p=dsskey&q=load&model=" + account;
    else
        target = "/servlet?p=" + page + "&q=load";
    return target.empty() || target.size() > kLoginTargetMax ? kStatusTarget : target;
}

LoginServlet::LoginServlet() : LoginServlet(MonotonicSeconds) {}

LoginServlet::LoginServlet(Clock clock) : clock_(std::move(clock)) {}

void LoginServlet::init()
{
    SharedLoginLockout().clear();
    showFailure_ = false;
    savedUri_.clear();
    savedUriAddress_.clear();
}

int LoginServlet::failures(const std::string& address)
{
    return SharedLoginLockout().failures(address);
}

int LoginServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    response->setContentType("text/html");
    // Logging out is never locked: a lock on the address must not keep a
    // logged-in user from ending the session.
    const char* action = request->getParameter("q");
    bool logout = action && std::strcmp(action, "logout") == 0;
    if (!logout && SharedLoginLockout().locked(RemoteAddress(request), clock_())) {
        AnswerLockedOut(response);
        return 0;
    }
    static const PageAction<LoginServlet> kActions[] = {
        {"loginForm", &LoginServlet::loginForm},
        {"login", &LoginServlet::login},
        {"logout", &LoginServlet::logout},
    };
    return DispatchPageAction(this, request, response, kActions);
}

int LoginServlet::loginForm(HttpRequest* request, HttpResponse* response)
{
    std::string jumpto = Field(request, "jumpto");
    if (jumpto.empty())
        jumpto = "status";
    TMPL_varlist* varlist = AddEscaped(nullptr, "jumpto", jumpto);
    if (PageNeedsAccount(jumpto.c_str()))
        varlist = AddEscaped(varlist, "acc", Field(request, "acc"));
    else if (jumpto == "dsskey")
        varlist = AddEscaped(varlist, "acc", Field(request, "model"));

    if (jumpto == "URI" && savedUri_.empty()) {
        std::string query = UriQueryOf(request);
        if (query.size() <= kSavedUriMax) {
            savedUri_ = query;
            savedUriAddress_ = RemoteAddress(request);
        }
    }
    if (showFailure_) {
        varlist = TMPL_add_var(varlist, "notice", kLoginNotice, 0);
        varlist = AddEscaped(varlist, "username", Field(request, "username"));
        varlist = AddEscaped(varlist, "password", Field(request, "pwd"));
    }
    RenderPage(response, kLoginTemplate, AddDevType(varlist));
    return 1;
}

std::string LoginServlet::takeUriQuery(HttpRequest* request, const std::string& address)
{
    std::string saved;
    saved.swap(savedUri_);
    bool mine = savedUriAddress_ == address;
    savedUriAddress_.clear();
    return !saved.empty() && mine ? saved : UriQueryOf(request);
}

int LoginServlet::login(HttpRequest* request, HttpResponse* response)
{
    const char* name = request->getParameter("username");
    const char* password = request->getParameter("pwd");
    std::string address = RemoteAddress(request);
    if (!name || !password) {
        log_log(2, 4, "user or password is null!\n");
        return loginForm(request, response);
    }

    std::string identity;
    if (!CheckLogin(name, password, identity)) {
        log_log(2, 4, "ip:%s The password is error!\n", address.c_str());
        if (SharedLoginLockout().fail(address, clock_())) {
            AnswerLockedOut(response);
            log_log(2, 6, "Web system has locked.\n");
            return 0;
        }
        showFailure_ = true;
        loginForm(request, response);
        showFailure_ = false;
        response->sendError(401);
        return 0;
    }

    SharedLoginLockout().succeed(address);
    if (!OpenLoginSession(request, identity)) {
        log_log(2, 3, "ip:%s no session for the login\n", address.c_str());
        response->sendError(500);
        return 0;
    }
    const char* jumpto = request->getParameter("jumpto");
    std::string uriQuery;
    if (jumpto && std::strcmp(jumpto, "URI") == 0)
        uriQuery = takeUriQuery(request, address);
    response->sendRedirect(LoginSuccessTarget(jumpto, request->getParameter("acc"), uriQuery).c_str());
    log_log(2, 6, "ip:%s Login in success!\n", address.c_str());
    return 1;
}

int LoginServlet::logout(HttpRequest* request, HttpResponse* response)
{
    HttpSession* session = request->getSession(0);
    log_log(2, 6, "ip:%s Login out!\n", RemoteAddress(request).c_str());
    if (session)
        session->invalidate();
    response->sendRedirect(kLogoutTarget);
    WebDebug::getInstance()->setUser(nullptr);
    return 1;
}

PHONEWEB_EXPORT HttpServlet* createLoginServlet()
{
    return new LoginServlet();
}
