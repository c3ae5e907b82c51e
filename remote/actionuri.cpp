#include "remote/actionuri.h"

#include <regex.h>
#include <strings.h>
#include <syslog.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "frame/http.h"
#include "platform/configparser.h"
#include "platform/msgbus.h"
#include "platform/msgids.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "remote/filereply.h"

namespace {

constexpr char kPhoneThread[] = "app_vpPhone";
constexpr int kPhonecfgTimeoutMs = 3000;

// The longest list entry looked at; no address comes near it.
constexpr size_t kTrustPatternMax = 511;

constexpr char kPhonecfgFile[] = "/tmp/phonecfg.ini";
constexpr char kScreenFile[] = "/tmp/screen.jpg";
constexpr char kScreenTool[] = "/boot/bin/utrac";
constexpr char kPasswordMask[] = "********";

// How each command type becomes the message to the phone. itemLimit 0 passes
// the query itself (with the "key=IP:" rewrite), anything else rebuilds it
// from that many items.
struct ActionType {
    const char* word;
    unsigned int message;
    int itemLimit;
};

// Tried in this order; the first word the query begins with wins.
const ActionType kActionTypes[] = {
    {"key", kMsgActionText, 0},
    {"number", kMsgActionText, 0},
    {"phonecfg", kMsgExportPhonecfg, kPhonecfgItemLimit},
    {"redirectcall", kMsgRedirectCall, kRebuildItemLimit},
    {"forward", kMsgForward, kRebuildItemLimit},
    {"Server", kMsgProvisionServer, 0},
    {"command", 0, 0},
    {"csta", kMsgActionText, 0},
};
const ActionType kOtherType = {"", kMsgActionText, 0};

const ActionType& FindActionType(const char* type)
{
    for (const ActionType& entry : kActionTypes)
        if (strcmp(entry.word, type) == 0)
            return entry;
    return kOtherType;
}

// Answers a refusal of the phone side or of the command's size.
int Refuse(HttpResponse* response, int status, int level, const char* reason)
{
    log_log(2, level, "%s", reason);
    response->sendError(status);
    return 0;
}

// The query without the URL credentials (from "&@" on).
std::string CommandQuery(const char* query)
{
    std::string text = query ? query : "";
    size_t at = text.find("&@");
    if (at != std::string::npos)
        text.erase(at);
    return text;
}

// "key=IP:<client address><the query from its last ':' on>" when "ISQVA"
// asks for it; the query itself otherwise.
std::string RewriteKeyAddress(const std::string& query, const char* address)
{
    static const char kKeyIp[] = "key=IP:";
    if (query.compare(0, sizeof kKeyIp - 1, kKeyIp) != 0 ||
        configParser_GetConfigString("ISQVA") != "1")
        return query;
    return kKeyIp + std::string(address) + query.substr(query.rfind(':'));
}

// Logs the command, appends the client address and hands the text (with its
// end) to the phone process. False after refusing a command too long;
// otherwise answer is the bus result: for a post 1 when queued, for a send
// the phone's reply (0 on time-out).
bool HandOn(const ActionType& type, const std::string& command, const char* address,
            HttpResponse* response, int& answer)
{
    char text[kActionCommandMax + 1];
    bool fits = command.size() <= kActionCommandMax;
    if (fits) {
        memcpy(text, command.c_str(), command.size() + 1);
        fits = AddIPtoURI(text, sizeof text, address) == 1;
    }
    if (!fits) {
        Refuse(response, 400, 4, "proccessActionURI: command too long, refused\n");
        return false;
    }
    ActionURISyslog(command.c_str(), address);

    HTHREAD phone = msgGetThreadByName(kPhoneThread);
    int length = static_cast<int>(strlen(text)) + 1;
    if (type.message == kMsgExportPhonecfg)
        answer = msgSendMsgToThreadTimeoutEx(phone, type.message, 0, 0, length, text,
                                             kPhonecfgTimeoutMs);
    else
        answer = msgPostMsgToThreadEx(phone, type.message, 0, 0, length, text);
    return true;
}

int ExportPhonecfg(const ActionType& type, const std::string& command, const char* address,
                   HttpResponse* response)
{
    int answer = 0;
    if (!HandOn(type, command, address, response, answer))
        return 0;
    if (answer != 1)
        return Refuse(response, 500, 3, "export phonecfg.ini failed: no answer from the phone\n");
    FILE* file = OpenPhoneFile(kPhonecfgFile);
    if (!file)
        return Refuse(response, 500, 4, "export phonecfg.ini End. failed to open file\n");
    SetFileReplyHeaders(response, "text/xml", "attachment", "phonecfg.ini");
    SendFileInPieces(file, response);
    unlink(phonePath(kPhonecfgFile).c_str());
    return 1;
}

int SetProvisionServer(HttpRequest* request, HttpResponse* response)
{
    const char* server = request->getParameter("Server");
    if (!server)
        return 0;
    bool stored = configParser_SetConfigString("AutoProvisionServerURL", server) >= 0;
    const char* user = request->getParameter("UserName");
    if (user) {
        stored = configParser_SetConfigString("AutoProvisionUser", user) >= 0 && stored;
        const char* password = request->getParameter("Password");
        if (password && strcmp(password, kPasswordMask) != 0)
            stored = configParser_SetConfigString("AutoProvisionPassword", password) >= 0 && stored;
    }
    if (!stored)
        return Refuse(response, 500, 3, "proccessActionURI: provisioning server not stored\n");
    if (!msgPostMsgToThread(msgGetThreadByName(kPhoneThread), kMsgProvisionServer, 0, 0))
        log_log(2, 3, "proccessActionURI: provisioning change not announced\n");
    return 1;
}

int SendScreenshot(HttpRequest* request, HttpResponse* response)
{
    const char* command = request->getParameter("command");
    if (!command || strcmp(command, "screenshot") != 0)
        return 1;
    std::string screen = phonePath(kScreenFile);
    unlink(screen.c_str());
    RunCommand({phonePath(kScreenTool), "-s", screen});

    FILE* file = OpenPhoneFile(kScreenFile);
    if (!file)
        return Refuse(response, 500, 4, " failed to open screenshot file\n");
    const char* type = request->getParameter("type");
    bool download = type && strcmp(type, "download") == 0;
    SetFileReplyHeaders(response, "image/jpeg", download ? "attachment" : "inline", "screen.jpg");
    SendFileInPieces(file, response);
    log_log(2, 6, "show screenshot Success!\n");
    return 1;
}

}  // namespace

char* getURIType(const char* query, char* typeOut)
{
    if (!typeOut)
        return typeOut;
    typeOut[0] = '\0';
    if (!query)
        return typeOut;
    for (const ActionType& entry : kActionTypes) {
        // The whole word: "cstaX&number=1" is no CSTA request.
        size_t length = strlen(entry.word);
        char next = strncmp(query, entry.word, length) == 0 ? query[length] : 'x';
        if (next == '\0' || next == '=' || next == '&') {
            snprintf(typeOut, kURITypeSize, "%s", entry.word);
            break;
        }
    }
    return typeOut;
}

int MatchTrustPattern(const char* pattern, const char* address)
{
    if (!pattern || !address || pattern[0] == '\0')
        return 0;
    size_t length = strlen(pattern);
    // Anything but digits, dots and stars could widen the expression (".*",
    // "|", "[") to trust every client, so such entries match nothing.
    if (length > kTrustPatternMax || strspn(pattern, "0123456789.*") != length)
        return 0;
    std::string expression = "^";
    for (const char* p = pattern; *p; ++p) {
        if (*p == '*')
            expression += "[0-9]{1,3}";
        else if (*p == '.')
            expression += "\\.";
        else
            expression += *p;
    }
    expression += '$';

    regex_t regex;
    if (regcomp(&regex, expression.c_str(), REG_EXTENDED | REG_NOSUB) != 0)
        return -1;
    int result = regexec(&regex, address, 0, nullptr, 0);
    regfree(&regex);
    if (result == 0)
        return 1;
    return result == REG_NOMATCH ? 0 : -1;
}

int IsTrustIP(const char* address)
{
    if (!address) {
        log_log(2, 4, "remote ip is null.\n");
        return 0;
    }
    std::string list = configParser_GetConfigString("AURILimitIP");
    if (strcasecmp(list.c_str(), "any") == 0)
        return 1;
    if (list.empty()) {
        log_log(2, 4, "Proccess action URI: Error, URI Limit All IP!\n");
        log_log(2, 4, "ip is not trust.\n");
        return 0;
    }
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(',', start);
        if (end == std::string::npos)
            end = list.size();
        std::string entry = list.substr(start, end - start);
        if (!entry.empty()) {
            int match = MatchTrustPattern(entry.c_str(), address);
            if (match > 0)
                return 1;
            log_log(2, 4, match == 0 ? "ip no match.\n" : "regexec error\n");
        }
        start = end + 1;
    }
    log_log(2, 4, "ip is not trust.\n");
    return 0;
}

bool RebuildActionItems(const char* query, int limit, std::string& text)
{
    text.clear();
    if (!query)
        return true;
    std::string rest = query;
    size_t start = 0;
    for (int index = 0; index < limit && start <= rest.size(); ++index) {
        size_t end = rest.find('&', start);
        if (end == std::string::npos)
            end = rest.size();
        std::string item = rest.substr(start, end - start);
        start = end + 1;
        if (item.find('=') == std::string::npos)
            continue;
        if (item.size() > kActionItemMax) {
            text.clear();
            return false;
        }
        if (index > 0)
            text += '&';
        text += item;
    }
    return true;
}

int AddIPtoURI(char* text, size_t size, const char* address)
{
    if (!text || !address) {
        log_log(2, 4, "AddIPtoURI para error.\n");
        return 0;
    }
    static const char kTag[] = "&RIP=";
    size_t used = strlen(text);
    size_t added = sizeof kTag - 1 + strlen(address);
    if (used >= size || size - used <= added)
        return 0;
    memcpy(text + used, kTag, sizeof kTag - 1);
    memcpy(text + used + sizeof kTag - 1, address, strlen(address) + 1);
    return 1;
}

std::string ActionURISyslogLine(const char* action, const char* address)
{
    if (configParser_GetConfigInt("ServerLogLevel") <= 2)
        return "";
    std::string line = std::string("Action URI: IP(") + (address ? address : "") +
                       ") Action(" + (action ? action : "") + ")";
    if (line.size() > kActionSyslogMax)
        line.resize(kActionSyslogMax);
    return line;
}

void ActionURISyslog(const char* action, const char* address)
{
    std::string line = ActionURISyslogLine(action, address);
    if (!line.empty())
        syslog(LOG_INFO, "%s", line.c_str());
}

int proccessActionURI(HttpRequest* request, HttpResponse* response, const char* type,
                      const char* query)
{
    if (!request || !response)
        return 0;
    if (!type || type[0] == '\0') {
        log_log(2, 4, "proccessActionURI para error.\n");
        response->sendError(404);
        return 0;
    }
    const char* remote = request->getRemoteAddr();
    const char* address = remote ? remote : "";
    if (!IsTrustIP(remote)) {
        log_log(2, 4, "proccessActionURI() limitip action not send\n");
        ActionURISyslog("Permission Denied !", address);
        response->sendError(401);
        return 0;
    }

    if (strcmp(type, "Server") == 0)
        return SetProvisionServer(request, response);
    if (strcmp(type, "command") == 0)
        return SendScreenshot(request, response);

    const ActionType& action = FindActionType(type);
    std::string commandQuery = CommandQuery(query);
    std::string command;
    if (action.itemLimit == 0)
        command = RewriteKeyAddress(commandQuery, address);
    else if (!RebuildActionItems(commandQuery.c_str(), action.itemLimit, command))
        return Refuse(response, 400, 4, "proccessActionURI: command item too long, refused\n");

    if (action.message == kMsgExportPhonecfg)
        return ExportPhonecfg(action, command, address, response);
    int answer = 0;
    if (!HandOn(action, command, address, response, answer))
        return 0;
    if (answer != 1)
        return Refuse(response, 500, 3, "proccessActionURI: the phone process did not take the command\n");
    return 1;
}
