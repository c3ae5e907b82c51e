#include "pages/features/FeaturesSMSServlet.h"

#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <sstream>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "frame/frame.h"
#include "pages/features/FeaturesCommon.h"
#include "platform/msgids.h"

namespace {

constexpr char kPage[] = "features-sms";
constexpr char kMessageList[] = "/config/data/text_message_list.xml";
constexpr unsigned int kChangedMessages = 24;
constexpr size_t kNameMax = 127;
// The page lists this many of the latest messages.
constexpr int kShownMessages = 20;
constexpr int kStatusTimeoutMs = 3000;

bool IsRegistered(int status)
{
    return status == 2 || status == 5;
}

std::string AccountText(const char* field, int account)
{
    std::string value = GetConfigValue(FILETYPE_ACCOUNT, field, account);
    return value.substr(0, kNameMax);
}

std::string AccountServer(int account)
{
    std::string host;
    std::string port;
    GetSipServerHost(host, port, account);
    return host;
}

std::string TimeText(const char* seconds)
{
    time_t when = static_cast<time_t>(strtoll(seconds, nullptr, 10));
    struct tm local;
    char text[32] = "";
    if (localtime_r(&when, &local))
        strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

// The latest messages first.
TMPL_loop* SentMessages()
{
    pugi::xml_document doc;
    if (!doc.load_file(phonePath(kMessageList).c_str()))
        return nullptr;
    std::vector<pugi::xml_node> items;
    for (pugi::xml_node item : doc.document_element().children("item"))
        items.push_back(item);
    TMPL_loop* rows = nullptr;
    int shown = 0;
    for (auto it = items.rbegin(); it != items.rend() && shown < kShownMessages; ++it, ++shown) {
        std::string to = EscapeHtml(std::string(it->attribute("to_user_name").value()) + "@" +
                                    it->attribute("to_server").value());
        std::string from = EscapeHtml(it->attribute("from_user_name").value());
        std::string text = EscapeHtml(it->attribute("text").value());
        std::string when = TimeText(it->attribute("time").value());
        rows = TMPL_add_varlist(rows, TMPL_add_var(nullptr, "msgTo", to.c_str(), "msgFrom",
                                                   from.c_str(), "msgText", text.c_str(),
                                                   "msgTime", when.c_str(), 0));
    }
    return rows;
}

int Refuse(HttpResponse* response, const char* text)
{
    SetNoticePage(response, false, kPage, text);
    return 0;
}

}  // namespace

MessageTarget SplitMessageTarget(const std::string& target, const std::string& ownServer)
{
    size_t at = target.find('@');
    if (at != std::string::npos && target.find('@', at + 1) == std::string::npos)
        return {target.substr(0, at), target.substr(at + 1)};
    return {target.substr(0, at), ownServer};
}

bool BuildMessageBlock(const std::string& text, const MessageTarget& target, std::string& block)
{
    std::string built = text + "sip:" + target.user + "@" + target.server;
    if (built.size() > kTextMessageBlockMax)
        return false;
    block = built;
    return true;
}

int FeaturesSMSServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<FeaturesSMSServlet> kActions[] = {
        {"send", &FeaturesSMSServlet::send},
        {"load", &FeaturesSMSServlet::loadConfig},
    };
    return DispatchPageAction(this, request, response, kActions, UnknownAction::EmptyAnswer);
}

int FeaturesSMSServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    HTHREAD phone = msgGetThreadByName("app_vpPhone");
    TMPL_loop* accounts = nullptr;
    for (int n = 0; n < GetAccountMax(); ++n) {
        if (GetConfigValue(FILETYPE_ACCOUNT, "AccountEnable", n) != "1" || !phone)
            continue;
        // A phone that does not answer must not hold the page for long.
        if (!IsRegistered(msgSendMsgToThreadTimeoutEx(phone, kMsgAccountStatus,
                                                      static_cast<unsigned>(n), 0, 0, nullptr,
                                                      kStatusTimeoutMs)))
            continue;
        std::string index = std::to_string(n);
        std::string name = EscapeHtml(AccountText("AccountUserName", n) + "@" + AccountServer(n));
        accounts = TMPL_add_varlist(accounts, TMPL_add_var(nullptr, "selValue", index.c_str(),
                                                           "selName", name.c_str(), 0));
    }
    TMPL_varlist* varlist = TMPL_add_loop(nullptr, "selectAccount", accounts);
    varlist = TMPL_add_loop(varlist, "sentMessages", SentMessages());
    std::string room = std::to_string(kTextMessageBlockMax);
    varlist = TMPL_add_var(varlist, "blockMax", room.c_str(), 0);
    RenderPage(response, "features-sms.htm", showItemsByLevel(varlist, request));
    return 1;
}

int FeaturesSMSServlet::send(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    const char* accountText = request->getParameter("acc");
    int account = 0;
    if (!accountText || !*accountText) {
        log_log(2, 4, "send.. no account.");
        return Refuse(response, "Error:Please choose a registered account!");
    }
    if (!ParseAccountIndex(accountText, account))
        return Refuse(response, "Error:Please choose a registered account!");
    const char* textField = request->getParameter("editMsgTxt");
    const char* targetField = request->getParameter("editMsgTarget");
    std::string text = textField ? textField : "";
    std::string server = AccountServer(account);
    MessageTarget target = SplitMessageTarget(targetField ? targetField : "", server);
    if (text.empty() || target.user.empty() || target.server.empty())
        return Refuse(response, "Error:Please enter a message and its recipient!");
    std::string block;
    if (!BuildMessageBlock(text, target, block)) {
        log_log(2, 4, "send.. message of %zu characters refused", text.size());
        return Refuse(response, "Error:The message is too long!");
    }

    msgBroadpostThreadMsg(kMsgConfigChanged, kChangedMessages, 0);
    sleep(1);

    std::string listFile = phonePath(kMessageList);
    pugi::xml_document doc;
    doc.load_file(listFile.c_str());
    pugi::xml_node root = doc.document_element();
    if (!root) {
        log_log(2, 3, "send.. error to get root element");
        return Refuse(response, "Error:The message list cannot be read!");
    }
    pugi::xml_node item = root.append_child("item");
    item.append_attribute("from_name") = AccountText("AccountDisplayName", account).c_str();
    item.append_attribute("from_user_name") = AccountText("AccountUserName", account).c_str();
    item.append_attribute("from_server") = server.c_str();
    item.append_attribute("text") = text.c_str();
    item.append_attribute("to_name") = target.user.c_str();
    item.append_attribute("to_user_name") = target.user.c_str();
    item.append_attribute("to_server") = target.server.c_str();
    item.append_attribute("status_type") = "2";
    item.append_attribute("group_type") = "3";
    item.append_attribute("time") = std::to_string(static_cast<long long>(time(nullptr))).c_str();
    std::ostringstream saved;
    doc.save(saved, "\t");
    if (!writeFileAtomic(listFile, saved.str())) {
        log_log(2, 3, "send.. cannot save the message list");
        return Refuse(response, "Error:The message list cannot be saved!");
    }

    std::string thread = "app_sipClient" + std::to_string(account);
    size_t address = block.size() - text.size();  // "sip:user@server"
    if (!msgPostMsgToThreadEx(msgGetThreadByName(thread.c_str()), kMsgTextMessage,
                              static_cast<unsigned int>(text.size()), static_cast<int>(address),
                              static_cast<int>(block.size() + 1), block.c_str())) {
        log_log(2, 3, "Send_Message_Failed");
        return Refuse(response, "Error:The message could not be sent!");
    }
    msgBroadpostThreadMsg(kMsgConfigChanged, kChangedMessages, 1);
    RedirectToLoad(response, kPage);
    return 1;
}

TMPL_varlist* FeaturesSMSServlet::showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request)
{
    return AddFeaturesShowLevel(varlist, request, kPage, nullptr, 0);
}

HttpServlet* createFeaturesSMSServlet()
{
    return new FeaturesSMSServlet;
}
