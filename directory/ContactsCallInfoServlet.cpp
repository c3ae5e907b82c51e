#include "directory/ContactsCallInfoServlet.h"

#include <pugixml.hpp>

#include <chrono>
#include <cstring>

#include "directory/CallerDirectory.h"
#include "directory/DirectoryMenu.h"
#include "frame/frame.h"
#include "platform/msgids.h"
#include "remote/actionuri.h"

namespace {

constexpr char kPage[] = "contacts-callinfo";
constexpr char kHistoryFile[] = "/config/data/call_data.xml";
constexpr size_t kTextRoom = 128;
constexpr int kStatusBudgetMs = 3000;
// The phone tells calls placed from this page by this offset on the account.
constexpr unsigned int kCallInfoAccountOffset = 1100;
const char* const kItems[] = {
    "PhoneCallControl", "CallDialedListTitle", "CallDialedListContent", "CallMissedListTitle",
    "CallMissedListContent", "CallReceivedListTitle", "CallReceivedListContent",
    "CallForwardedListTitle", "CallForwardedListContent",
};
// The loops by call type "1" .. "4".
const char* const kLoops[] = {"callloop", "receiveloop", "missloop", "forwardloop"};

// Registered accounts, for the call form. The questions share one budget, so
// a phone that does not answer holds the page 3 s, not 3 s per account.
TMPL_loop* AccountLoop(HTHREAD phone)
{
    TMPL_loop* loop = nullptr;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStatusBudgetMs);
    for (int account = 0; phone && account < GetAccountMax(); ++account) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0)
            break;
        int state = msgSendMsgToThreadTimeoutEx(phone, kMsgAccountStatus, account, 0, 0, nullptr,
                                                static_cast<int>(left));
        if (state != 2 && state != 5)
            continue;
        std::string host, port;
        GetSipServerHost(host, port, account);
        std::string value =
            CutTo127(GetConfigValue(FILETYPE_ACCOUNT, "AccountUserName", account) + "@" + host);
        std::string index = std::to_string(account);
        loop = TMPL_add_varlist(loop, TMPL_add_var(nullptr, "index", index.c_str(), "value",
                                                   EscapeHtml(value).c_str(), 0));
    }
    return loop;
}

}  // namespace

std::string CallerName(const std::string& directoryName, const std::string& displayName,
                       const std::string& number)
{
    if (!directoryName.empty())
        return directoryName;
    return displayName.empty() ? number : displayName;
}

std::string CutTo127(const std::string& text)
{
    size_t n = text.size() < kTextRoom ? text.size() : kTextRoom - 1;
    while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    return text.substr(0, n);
}

int ContactsCallInfoServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<ContactsCallInfoServlet> kActions[] = {
        {"load", &ContactsCallInfoServlet::loadConfig},
        {"call", &ContactsCallInfoServlet::call},
        {"hangup", &ContactsCallInfoServlet::hangup},
    };
    return DispatchPageAction(this, request, response, kActions);
}

int ContactsCallInfoServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    HTHREAD phone = msgGetThreadByName("app_vpPhone");
    // The phone writes its history out before it answers; the answer itself says nothing.
    msgSendMsgToThreadTimeoutEx(phone, kMsgCallHistory, 0, 0, 0, nullptr, 3000);
    TMPL_loop* accounts = AccountLoop(phone);
    pugi::xml_document document;
    document.load_file(phonePath(kHistoryFile).c_str());
    pugi::xml_node root = document.first_child();
    if (!root) {
        TMPL_free_loop(accounts);
        log_log(2, 3, "init error to get root element\n");
        return 0;
    }
    int dateFormat = configParser_GetConfigInt("LocalTimeDateFormatType");
    int timeFormat = configParser_GetConfigInt("LocalTimeTimeFormatType");
    TMPL_loop* loops[4] = {nullptr, nullptr, nullptr, nullptr};
    int counts[4] = {0, 0, 0, 0};
    CallerDirectory directory;
    for (pugi::xml_node item : root.children("item")) {
        int type = item.attribute("type").value()[0] - '1';
        if (type < 0 || type > 3)
            continue;
        std::string number = item.attribute("remote_sip_name").value();
        std::string server = item.attribute("remote_sip_server").value();
        std::string name =
            CallerName(directory.nameOf(number), item.attribute("remote_display_name").value(), number);
        std::string local = CutTo127(std::string(item.attribute("local_sip_name").value()) + "@" +
                                     item.attribute("local_sip_server").value());
        std::string shown = CutTo127(server.empty() ? number : number + "@" + server);
        std::string first, second, third, separator, timeText;
        LocalTime2StrTime(item.attribute("born_tick").as_llong(0), first, second, third, separator,
                          timeText, dateFormat, timeFormat);
        std::string index = std::to_string(++counts[type]);
        // Names and numbers are chosen by whoever calls: escape all of it.
        TMPL_varlist* row = TMPL_add_var(
            nullptr, "index", index.c_str(), "First", EscapeHtml(first).c_str(), "Second",
            EscapeHtml(second).c_str(), "Third", EscapeHtml(third).c_str(), "Sep",
            EscapeHtml(separator).c_str(), "Time", EscapeHtml(timeText).c_str(), "LocalIdentity",
            EscapeHtml(local).c_str(), "Name", EscapeHtml(CutTo127(name)).c_str(), "Number",
            EscapeHtml(shown).c_str(), 0);
        loops[type] = TMPL_add_varlist(loops[type], row);
    }
    TMPL_varlist* varlist = TMPL_add_loop(nullptr, "accountloop", accounts);
    for (int i = 0; i < 4; ++i)
        varlist = TMPL_add_loop(varlist, kLoops[i], loops[i]);
    varlist = readConfigOperate(FILETYPE_GLOBAL, "BSFTActive", varlist, 0);
    varlist = showItemsByLevel(varlist, request);
    RenderPage(response, "contacts-callinfo.htm", varlist);
    return 1;
}

int ContactsCallInfoServlet::call(HttpRequest* request, HttpResponse* response)
{
    if (IsTrustIP(request->getRemoteAddr()) != 1) {
        response->print("call failed");
        return 0;
    }
    const char* number = request->getParameter("num");
    const char* accountText = request->getParameter("acc");
    int account = 0;
    if (!number || !accountText) {
        log_log(2, 4, "number or account is null\n");
        response->print("call failed");
        return 0;
    }
    // A number the phone could not dial, or an account it does not have,
    // never reaches it.
    if (!*number || std::strlen(number) > kTextRoom - 1 || !ParseAccountIndex(accountText, account)) {
        log_log(2, 4, "number or account is invalid\n");
        response->print("call failed");
        return 0;
    }
    bool placed = sendMakeCallMsg(account + kCallInfoAccountOffset, 0, number, true) != 0;
    response->print(placed ? "call success" : "call failed");
    return placed ? 1 : 0;
}

int ContactsCallInfoServlet::hangup(HttpRequest* request, HttpResponse* response)
{
    (void)request;
    msgPostMsgToThread(msgGetThreadByName("app_vpPhone"), kMsgHangUp, 0, 0);
    response->print("hangup success");
    return 1;
}

TMPL_varlist* ContactsCallInfoServlet::showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request)
{
    return AddDirectoryShowLevel(varlist, request, kPage, kItems, CountOf(kItems));
}

HttpServlet* createContactsCallInfoServlet()
{
    return new ContactsCallInfoServlet;
}
