#include "frame/servlet.h"

#include <string>

#include "frame/configbridge.h"
#include "frame/fieldrules.h"
#include "frame/helpers.h"
#include "platform/configparser.h"
#include "platform/msgbus.h"
#include "platform/msgids.h"
#include "platform/system.h"
#include "platform/tmpl.h"

namespace {

struct AccountCount {
    int phoneType;
    int withAccountNum;  // "AccountNum" = "1"
    int otherwise;
};

constexpr AccountCount kAccountCounts[] = {
    {28, 16, 6}, {26, 13, 3}, {22, 3, 3}, {20, 2, 2}, {21, 2, 2}, {46, 6, 6}, {48, 6, 6}, {19, 1, 1},
};
constexpr int kDefaultAccountCount = 3;

struct DevSeries {
    int phoneType;
    const char* series;
};

constexpr DevSeries kDevSeries[] = {
    {46, "CP_M7X_TYPE"}, {48, "CP_M7X_TYPE"}, {19, "63_series"},
    {21, "63_series"},   {41, "57_series"},   {42, "57_series"},
};

struct IdentityName {
    const char* identity;
    const char* field;
};

// Looked up in this order; the first match wins.
constexpr IdentityName kIdentityNames[] = {
    {"admin", "UserNameAdmin"},
    {"var", "UserNameVar"},
    {"user", "UserNameUser"},
};

constexpr char kSavedAttribute[] = "saved";

// URL credentials log in one request, never a session: a remote host's
// commands must not fill the session store and push browsers out.
struct {
    HttpRequest* request = nullptr;
    std::string identity;
} gRequestIdentity;

}  // namespace

std::string TemplatePath(const char* name)
{
    return std::string(kTemplateDir) + (name ? name : "");
}

int FindPageAction(HttpRequest* request, HttpResponse* response, const char* const* names,
                   int count, UnknownAction unknown)
{
    response->setContentType("text/html");
    const char* action = request->getParameter("q");
    if (action) {
        for (int i = 0; i < count; ++i) {
            if (names[i] && strcmp(names[i], action) == 0)
                return i;
        }
    }
    if (unknown == UnknownAction::NotFound)
        response->sendError(404);
    return -1;
}

void SendNotFound(HttpRequest* request, HttpResponse* response)
{
    RenderPage(response, "notfound.htm", AddShowLevel(nullptr, request, nullptr, 0, nullptr, 0));
    response->sendError(404);
}

namespace {

// Answers for the pages this library lacks: the host hands them here.
class NotFoundServlet : public HttpServlet {
public:
    void init() override {}
    int onRequest(HttpRequest* request, HttpResponse* response) override
    {
        response->setContentType("text/html");
        SendNotFound(request, response);
        return 0;
    }
    void destory() override {}
};

}  // namespace

PHONEWEB_EXPORT HttpServlet* createNotFoundServlet()
{
    return new NotFoundServlet;
}

int GetAccountMax()
{
    int type = GetPhoneType();
    bool accountNum = configParser_GetConfigString("AccountNum") == "1";
    for (const AccountCount& entry : kAccountCounts) {
        if (entry.phoneType == type)
            return accountNum ? entry.withAccountNum : entry.otherwise;
    }
    return kDefaultAccountCount;
}

bool ParseAccountIndex(const char* text, int& account)
{
    return ParseDecimalInt(text, 0, GetAccountMax() - 1, account);
}

AccountParam GetAccountParam(HttpRequest* request, const char* field, int& account)
{
    const char* text = request ? request->getParameter(field) : nullptr;
    if (!text)
        return AccountParam::Missing;
    return ParseAccountIndex(text, account) ? AccountParam::Valid : AccountParam::Invalid;
}

bool IsInTalking(HttpResponse* response)
{
    // Without the phone process there is no call to wait for; a missing
    // thread must not lock every page out of writing.
    HTHREAD phone = msgGetThreadByName("app_vpPhone");
    if (!phone)
        return false;
    if (msgSendMsgToThread(phone, kMsgAskTalking, 0, 1) != 0)
        return false;
    SetNoticePage(response, false, "notice", "Talking, Please wait...");
    return true;
}

void SetNoticePage(HttpResponse* response, bool repeat, const char* page, const char* text)
{
    std::string label = repeat ? "setInterval$" : "setTimeout$";
    label += page ? page : "";
    label += "$";
    label += text ? text : "";
    RenderPage(response, "notice.htm", TMPL_add_var(nullptr, "noticeLabel", label.c_str(), 0));
}

void RedirectToLoad(HttpResponse* response, const char* page, int account)
{
    std::string url = "/servlet?p=";
    url += page ? page : "";
    url += "&q=load";
    if (account >= 0)
        url += "&acc=" + std::to_string(account);
    response->sendRedirect(url.c_str());
}

void RenderPage(HttpResponse* response, const char* templateName, TMPL_varlist* varlist)
{
    response->setHeader("Cache-Control", "no-store");
    response->render(TemplatePath(templateName).c_str(), varlist);
}

TMPL_varlist* AddShowLevel(TMPL_varlist* varlist, HttpRequest* request,
                           const char* const* menuNames, int menuCount,
                           const char* const* itemNames, int itemCount)
{
    char level[kShowLevelSize] = {};
    if (menuNames && menuCount > 0)
        showString(SHOWTYPE_MENU, menuNames, menuCount, level, sizeof level);
    if (itemNames && itemCount > 0)
        showString(SHOWTYPE_ITEM, itemNames, itemCount, level, sizeof level);
    varlist = TMPL_add_var(varlist, "ShowLevel", level, 0);
    varlist = TMPL_add_var(varlist, "Identity", GetSessionIdentity(request), 0);
    HttpSession* session = request ? request->getSession(1) : nullptr;
    const char* saved = session ? session->getAttribute(kSavedAttribute) : nullptr;
    if (saved && *saved) {
        varlist = TMPL_add_var(varlist, "saved", "1", 0);
        session->setAttribute(kSavedAttribute, strdup(""));
    }
    if (const FormOverlay* overlay = CurrentFormOverlay()) {
        TMPL_loop* errors = nullptr;
        for (const auto& error : overlay->errors)
            errors = TMPL_add_varlist(errors, TMPL_add_var(nullptr, "field", EscapeHtml(error.first).c_str(),
                                                           "message", error.second.c_str(), 0));
        varlist = TMPL_add_var(varlist, "refused", "1", 0);
        varlist = TMPL_add_loop(varlist, "fieldErrors", errors);
    }
    return AddMenu(AddDevType(varlist));
}

void MarkSaved(HttpRequest* request)
{
    HttpSession* session = request ? request->getSession(1) : nullptr;
    if (session)
        session->setAttribute(kSavedAttribute, strdup("1"));
}

void SetRequestIdentity(HttpRequest* request, const std::string& identity)
{
    gRequestIdentity.request = identity.empty() ? nullptr : request;
    gRequestIdentity.identity = identity;
}

const char* GetSessionIdentity(HttpRequest* request)
{
    if (request && gRequestIdentity.request == request)
        return gRequestIdentity.identity.c_str();
    HttpSession* session = request ? request->getSession(1) : nullptr;
    const char* user = session ? session->getAttribute("user") : nullptr;
    return user ? user : "";
}

TMPL_varlist* AddDevType(TMPL_varlist* varlist)
{
    char series[kDevSeriesSize];
    GetDevSeries(GetPhoneType(), series, sizeof series);
    char note[128];
    readConfigOperate(FILETYPE_GLOBAL, "DevtypeLoginNote", note, 0);
    varlist = TMPL_add_var(varlist, "devseries", series, "devtypeInfo", note, 0);
    return FunctionSwitch(varlist);
}

TMPL_varlist* FunctionSwitch(TMPL_varlist* varlist)
{
    std::string accounts = std::to_string(GetAccountMax());
    varlist = TMPL_add_var(varlist, "F_Static_DNS", "1", "IF_CLOSE_SNMP", "1", "IF_M7", "true",
                           "HAVE_BACKLIGHT_TIME", "true", "MAX_LEN_OF_VALUE", "true",
                           "maxaccount", accounts.c_str(), 0);
    return readConfigOperate(FILETYPE_GLOBAL, "BSFTActive", varlist, 0);
}

void GetDevSeries(int phoneType, char* out, size_t size)
{
    const char* series = "";
    for (const DevSeries& entry : kDevSeries) {
        if (entry.phoneType == phoneType)
            series = entry.series;
    }
    CopyText(out, size, series);
}

void GetIdentityByName(const char* loginName, char* identity, size_t size)
{
    if (!loginName || !identity) {
        log_log(2, 4, "GetIdentityByName para error");
        return;
    }
    const char* found = "";
    // An empty name is nobody's, even where a login name is left unset.
    if (*loginName) {
        for (const IdentityName& entry : kIdentityNames) {
            if (configParser_GetConfigString(entry.field) == loginName) {
                found = entry.identity;
                break;
            }
        }
    }
    CopyText(identity, size, found);
}

void GetNameByIdentity(char* loginName, const char* identity, size_t size)
{
    if (!loginName || !identity) {
        log_log(2, 4, "GetIdentityByName para error");
        return;
    }
    std::string name;
    for (const IdentityName& entry : kIdentityNames) {
        if (strcmp(entry.identity, identity) == 0) {
            name = configParser_GetConfigString(entry.field);
            break;
        }
    }
    CopyText(loginName, size, name.c_str());
}
