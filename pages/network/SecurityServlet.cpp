#include "pages/network/SecurityServlet.h"

#include <algorithm>

#include "auth/filePassword.h"
#include "frame/frame.h"

namespace {

constexpr char kPage[] = "security";
constexpr char kTemplate[] = "security.htm";
const char* const kMenuNames[] = {"password", "trusted_cert", "server_cert"};

constexpr char kNoJurisdiction[] = "Error:You don't have enough jurisdiction!";
constexpr char kWrongPassword[] = "Error:The password is error!";
constexpr char kNoSuchUser[] = "Error:No such user!";
constexpr char kNotSaved[] = "Error:The password could not be saved!";
constexpr char kChanged[] = "You have changed the password!";
constexpr char kEmptyPassword[] = "Error:The new password must not be empty!";
constexpr char kUnusablePassword[] =
    "Error:A password may only hold ASCII letters, digits, blanks and punctuation!";

// Higher ranks manage lower ones; 0 is no identity.
int Rank(const std::string& identity)
{
    if (identity == "admin")
        return 3;
    if (identity == "var")
        return 2;
    if (identity == "user")
        return 1;
    return 0;
}

bool VarEnabled()
{
    return GetConfigValue(FILETYPE_GLOBAL, "AdvancedVarEnabled", 0) != "0";
}

}  // namespace

const char* SecurityPasswordProblem(const char* password)
{
    if (!password || !*password)
        return kEmptyPassword;
    // The password file's hash takes printable ASCII only: anything else
    // would store a password other than the one typed.
    for (const char* p = password; *p; ++p) {
        if (*p < 0x20 || *p > 0x7e)
            return kUnusablePassword;
    }
    return nullptr;
}

bool SecurityMayList(const std::string& viewer, const std::string& target, bool varEnabled)
{
    if (target == "var" && !varEnabled)
        return false;
    // Everybody sees the users of no identity; nobody sees those above.
    return Rank(target) <= std::max(Rank(viewer), 1);
}

PasswordChange SecurityChangeRule(const std::string& viewer, const std::string& mode)
{
    if (Rank(viewer) == 0 || Rank(mode) == 0)
        return PasswordChange::Refused;
    if (viewer == mode)
        return PasswordChange::NeedsOldPassword;
    return Rank(mode) < Rank(viewer) ? PasswordChange::Allowed : PasswordChange::Refused;
}

int SecurityServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<SecurityServlet> kActions[] = {
        {"load", &SecurityServlet::loadConfig},
        {"write", &SecurityServlet::writeConfig},
    };
    return DispatchPageAction(this, request, response, kActions);
}

int SecurityServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    HttpSession* session = request->getSession(1);
    if (!session) {
        response->sendRedirect("/servlet?p=security&q=load");
        return 0;
    }
    const char* viewer = session->getAttribute("user");
    if (!viewer) {
        response->print("Please login before the operator!");
        return 0;
    }
    filePassword file(kPasswordFile);
    if (!file.IsLoaded()) {
        log_log(2, 4, "no Fount Files\n");
        return 0;
    }
    bool varEnabled = VarEnabled();
    TMPL_loop* rows = nullptr;
    for (const filePassword::Entry& entry : file.entries()) {
        if (entry.first.empty())
            continue;
        char identity[kIdentitySize] = "";
        GetIdentityByName(entry.first.c_str(), identity, sizeof identity);
        if (!SecurityMayList(viewer, identity, varEnabled))
            continue;
        std::string name = EscapeHtml(entry.first);
        rows = TMPL_add_varlist(rows, TMPL_add_var(nullptr, "typeName", name.c_str(), "typeValue",
                                                   identity, "selected",
                                                   entry.first == viewer ? "selected" : "", 0));
    }
    TMPL_varlist* varlist = TMPL_add_loop(nullptr, "userTypeLoop", rows);
    varlist = AddShowLevel(varlist, request, kMenuNames, CountOf(kMenuNames), nullptr, 0);
    RenderPage(response, kTemplate, varlist);
    return 1;
}

int SecurityServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    HttpSession* session = request->getSession(1);
    const char* viewer = session ? session->getAttribute("user") : nullptr;
    const char* mode = request->getParameter("mode");
    const char* newPassword = request->getParameter("editNewPassword");
    // A missing new password must not quietly set an empty one.
    if (!viewer || !mode || !newPassword) {
        log_log(2, 4, "SecurityServlet::writeConfig para error\n");
        return 0;
    }
    PasswordChange rule = SecurityChangeRule(viewer, mode);
    if (rule == PasswordChange::Refused) {
        SetNoticePage(response, false, kPage, kNoJurisdiction);
        return 0;
    }
    if (const char* problem = SecurityPasswordProblem(newPassword)) {
        log_log(2, 4, "SecurityServlet::writeConfig new password refused\n");
        SetNoticePage(response, false, kPage, problem);
        response->sendError(400);
        return 0;
    }

    char name[kLoginNameSize] = "";
    GetNameByIdentity(name, mode, sizeof name);
    filePassword file(kPasswordFile);
    if (rule == PasswordChange::NeedsOldPassword &&
        file.IsRightUserPassword(name, request->getParameter("editOldPassword")) != 1) {
        log_log(2, 4, "%s password is error!\n", name);
        SetNoticePage(response, false, kPage, kWrongPassword);
        return 0;
    }
    if (file.SetUserPassword(name, newPassword) < 0) {
        log_log(2, 4, "SecurityServlet::writeConfig no usable user name for %s\n", mode);
        SetNoticePage(response, false, kPage, kNoSuchUser);
        return 0;
    }
    if (!file.SaveToFile(kPasswordFile)) {
        SetNoticePage(response, false, kPage, kNotSaved);
        return 0;
    }
    SetNoticePage(response, false, "Password", kChanged);
    log_log(2, 6, "%s Password has been changed!\n", name);
    return 1;
}

PHONEWEB_EXPORT HttpServlet* createSecurityServlet()
{
    return new SecurityServlet();
}
