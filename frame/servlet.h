// The shape every page shares: action dispatch, the account index of a
// request, the notice page, the access-level string and the device variables
// each template receives, and the login-name/identity mapping.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>

#include "frame/http.h"

struct TMPL_varlist;

// Templates are phone paths; the host maps them under the root.
constexpr char kTemplateDir[] = "/phone/www/WEB-INFO/template/";
// kTemplateDir + name ("account-adv.htm").
std::string TemplatePath(const char* name);

// Number of entries of a constant array, as the int count the bridge takes.
template <typename T, size_t N>
constexpr int CountOf(T (&)[N])
{
    return static_cast<int>(N);
}

// ---- Dispatch --------------------------------------------------------------

template <typename Page>
struct PageAction {
    const char* name;  // the value of "q", compared case-sensitively
    int (Page::*handler)(HttpRequest*, HttpResponse*);
};

// What a page answers when "q" is missing or names no action.
enum class UnknownAction {
    NotFound,     // sendError(404)
    EmptyAnswer,  // nothing: an empty text/html response
};

// Sets "text/html", then looks "q" up in the table (first match wins).
// Returns the index of the matching entry, or -1 after answering the
// request as `unknown` says.
int FindPageAction(HttpRequest* request, HttpResponse* response, const char* const* names,
                   int count, UnknownAction unknown);

// onRequest of a page is one table:
//   static const PageAction<XServlet> kActions[] = {{"load", &XServlet::loadConfig}, ...};
//   return DispatchPageAction(this, request, response, kActions);
// Returns the action's result, or 0 when nothing matched.
template <typename Page, size_t N>
int DispatchPageAction(Page* page, HttpRequest* request, HttpResponse* response,
                       const PageAction<Page> (&actions)[N],
                       UnknownAction unknown = UnknownAction::NotFound)
{
    const char* names[N];
    for (size_t i = 0; i < N; ++i)
        names[i] = actions[i].name;
    int index = FindPageAction(request, response, names, static_cast<int>(N), unknown);
    if (index < 0)
        return 0;
    return (page->*actions[index].handler)(request, response);
}

// ---- Accounts --------------------------------------------------------------

// Number of accounts of this phone type (and "AccountNum").
int GetAccountMax();

enum class AccountParam {
    Valid,
    Missing,  // the field is absent
    Invalid,  // not a plain decimal, or outside 0 .. GetAccountMax() - 1
};

// Parses an account index strictly: decimal digits only (no sign, blanks or
// trailing text, so "../x", "1abc", " 1" and "-1" are refused), in range
// 0 .. GetAccountMax() - 1. `account` is set only when the text is valid.
bool ParseAccountIndex(const char* text, int& account);
// The same for a request field ("acc" on load, "var_accountID" on write).
AccountParam GetAccountParam(HttpRequest* request, const char* field, int& account);

// ---- Answers ---------------------------------------------------------------

// Asks the phone whether a call is in progress. If so, renders the notice
// "Talking, Please wait..." and returns true; otherwise answers nothing.
bool IsInTalking(HttpResponse* response);

// Renders "notice.htm" with "noticeLabel" = "setInterval$" (repeat) or
// "setTimeout$", then page, "$", text. `page` is the page to return to, or
// "notice".
void SetNoticePage(HttpResponse* response, bool repeat, const char* page, const char* text);

// A 404 in the interface's look ("notfound.htm", with the menu).
void SendNotFound(HttpRequest* request, HttpResponse* response);
// The handler the host uses for pages this library has none for.
PHONEWEB_EXPORT HttpServlet* createNotFoundServlet();

// Redirects to "/servlet?p=<page>&q=load", with "&acc=<account>" appended
// when account is 0 or more.
void RedirectToLoad(HttpResponse* response, const char* page, int account = -1);

// render(TemplatePath(templateName), varlist), sent with "Cache-Control:
// no-store": pages show settings, which must not come back from the
// browser's cache (Back after a logout).
void RenderPage(HttpResponse* response, const char* templateName, TMPL_varlist* varlist);

// Notes in the session that a save succeeded: the next AddShowLevel of the
// session adds "saved" = "1" (once).
void MarkSaved(HttpRequest* request);

// True when this library has a handler for the page.
bool PageExists(const char* page);
// Adds "menu_<area>" (the load URL of the area's first existing page) for
// the main menu's areas (status, account, network, dsskey, features,
// settings, contacts, security) and "have_<page>" = "1" for every existing
// page, so that menus only offer pages that exist.
TMPL_varlist* AddMenu(TMPL_varlist* varlist);

// ---- Template variables ----------------------------------------------------

// Adds "ShowLevel" (showString of the menu names, SHOWTYPE 1, then of the
// item names, SHOWTYPE 0; a list with count 0 is left out), "Identity" (the
// session's "user", empty when nobody is logged in), the device variables,
// the menu (AddMenu), "saved" after a save and, while a refused write is
// shown again, "refused" = "1" and the loop "fieldErrors" ("field",
// "message"). Every page's showItemsByLevel is this call with its two name
// lists.
TMPL_varlist* AddShowLevel(TMPL_varlist* varlist, HttpRequest* request,
                           const char* const* menuNames, int menuCount,
                           const char* const* itemNames, int itemCount);

// The identity of the request: the session attribute "user" ("admin",
// "var", "user"), or the identity the request filter accepted from URL
// credentials for this request alone; "" when nobody is logged in.
const char* GetSessionIdentity(HttpRequest* request);
// The filter's URL-credential identity for the request being served; an
// empty identity clears it (the filter does so for every request).
void SetRequestIdentity(HttpRequest* request, const std::string& identity);

// "devseries", "devtypeInfo", then FunctionSwitch. Both return the varlist.
TMPL_varlist* AddDevType(TMPL_varlist* varlist);
TMPL_varlist* FunctionSwitch(TMPL_varlist* varlist);

// "CP_M7X_TYPE", "63_series", "57_series" or "" for the phone type.
constexpr size_t kDevSeriesSize = 12;
void GetDevSeries(int phoneType, char* out, size_t size = kDevSeriesSize);

// ---- Identity --------------------------------------------------------------

// Room for an identity word ("admin", "var", "user") and its end.
constexpr size_t kIdentitySize = 8;
// Room for a configured login name.
constexpr size_t kLoginNameSize = 64;

// Maps a login name to its identity by "UserNameAdmin", "UserNameVar",
// "UserNameUser" (first match wins); empty when none matches.
void GetIdentityByName(const char* loginName, char* identity, size_t size = kIdentitySize);
// The configured login name of an identity; empty for an unknown identity.
// The name is cut to size - 1 characters.
void GetNameByIdentity(char* loginName, const char* identity, size_t size = kLoginNameSize);
