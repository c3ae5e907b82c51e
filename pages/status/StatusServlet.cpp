#include "pages/status/StatusServlet.h"

#include <chrono>
#include <cstdio>
#include <string>

#include "frame/frame.h"
#include "platform/msgids.h"
#include "platform/netinfo.h"
#include "pages/status/ExpDevice.h"

namespace {

constexpr int kAccountStatusTimeoutMs = 3000;
constexpr char kExpDevicePath[] = "/dev/exp0";

const char* const kStatusItems[] = {"StatusVersion",      "StatusNetwork", "StatusAccountStatus",
                                    "StatusIPv4",         "StatusIPv6",    "StatusNetworkCommon",
                                    "StatusExttable"};

// A configured code and the word shown for it.
struct CodeWord {
    const char* code;
    const char* word;
};

const CodeWord kAddressModes[] = {{"0", "IPv4"}, {"1", "IPv6"}, {"2", "IPv4 & IPv6"}};
const CodeWord kWanTypes[] = {{"0", "DHCP"}, {"1", "PPPoE"}, {"2", "Static IP"}};
const CodeWord kIPv6WanTypes[] = {{"0", "DHCP"}, {"1", "Static IP"}};

// The word of a code; null for a code the table does not know.
template <size_t N>
const char* WordOf(const CodeWord (&table)[N], const std::string& code)
{
    for (const CodeWord& entry : table)
        if (code == entry.code)
            return entry.word;
    return nullptr;
}

// Adds the word of a configured code; nothing for an unknown code.
template <size_t N>
TMPL_varlist* AddCodeWord(TMPL_varlist* varlist, const char* variable, const char* field,
                          const CodeWord (&table)[N])
{
    const char* word = WordOf(table, GetConfigValue(FILETYPE_GLOBAL, field, 0));
    return word ? TMPL_add_var(varlist, variable, word, 0) : varlist;
}

// Platform texts reach the page escaped like configured values.
TMPL_varlist* AddText(TMPL_varlist* varlist, const char* variable, const std::string& text)
{
    return TMPL_add_var(varlist, variable, EscapeHtml(text).c_str(), 0);
}

// "address/prefix", or empty while the address is unknown.
std::string WithPrefix(const std::string& address, const std::string& prefix)
{
    return address.empty() ? address : address + "/" + prefix;
}

TMPL_varlist* AddIPv4Block(TMPL_varlist* varlist)
{
    varlist = AddCodeWord(varlist, "wanPortType", "NetworkWanType", kWanTypes);
    bool dhcp = GetConfigValue(FILETYPE_GLOBAL, "NetworkLanEnableDHCP", 0) == "1";
    varlist = TMPL_add_var(varlist, "DHCPstatus", dhcp ? "Running" : "Stoped", 0);
    varlist = AddText(varlist, "wanIPAddress", netGetLocalIPv4());
    varlist = AddText(varlist, "subnetMask", netGetWanNetmaskIPv4());
    varlist = AddText(varlist, "gateway", netGetWanGatewayIPv4());
    varlist = AddText(varlist, "primaryDNS", netGetWanPrimaryDNSIPv4());
    return AddText(varlist, "secondaryDNS", netGetWanSecondaryDNSIPv4());
}

TMPL_varlist* AddIPv6Block(TMPL_varlist* varlist)
{
    varlist = AddCodeWord(varlist, "NetworkIPv6WANType", "NetworkIPv6WANType", kIPv6WanTypes);
    std::string prefix = netGetWanPrefixIPv6();
    varlist = AddText(varlist, "NetworkIPv6WanIP", WithPrefix(netGetLocalIPv6(), prefix));
    varlist = AddText(varlist, "NetworkIPv6WanGateway", WithPrefix(netGetWanGatewayIPv6(), prefix));
    varlist = AddText(varlist, "NetworkIPv6WanPrimaryDNS", netGetWanPrimaryDNSIPv6());
    return AddText(varlist, "NetworkIPv6WanSecondaryDNS", netGetWanSecondaryDNSIPv6());
}

// The questions about the accounts share one time-out: the host serves one
// request at a time, so a phone that does not answer may hold the page (and
// every other client) for kAccountStatusTimeoutMs at most, not once per
// account. Once the time is up the remaining accounts show as unknown.
class AccountQuestions {
public:
    AccountQuestions()
        : phone_(msgGetThreadByName("app_vpPhone")), deadline_(Clock::now() + kBudget)
    {
    }

    // The phone's answer for one account; 0 ("Disabled") without a phone, -1
    // ("Unknown") when the time is up.
    int ask(int account)
    {
        if (!phone_)
            return 0;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now());
        if (left <= kSlack)
            return -1;
        int status = msgSendMsgToThreadTimeoutEx(phone_, kMsgAccountStatus,
                                                 static_cast<unsigned int>(account), 0, 0, nullptr,
                                                 static_cast<int>(left.count()));
        // No answer in time reads as 0: tell it from a real 0 by the clock
        // (the bus counts whole milliseconds, so it may give up a little early).
        return status == 0 && Clock::now() + kSlack >= deadline_ ? -1 : status;
    }

private:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kBudget{kAccountStatusTimeoutMs};
    static constexpr std::chrono::milliseconds kSlack{20};

    HTHREAD phone_;
    Clock::time_point deadline_;
};

TMPL_loop* GetAccountStatusLoop()
{
    TMPL_loop* loop = nullptr;
    AccountQuestions questions;
    int count = GetAccountMax();
    for (int account = 0; account < count; ++account) {
        char enabled[8];
        char number[64];
        readConfigOperate(FILETYPE_ACCOUNT, "AccountEnable", enabled, account);
        readConfigOperate(FILETYPE_ACCOUNT, "AccountUserName", number, account);
        std::string host;
        std::string port;
        GetSipServerHost(host, port, account);
        char row[16];
        snprintf(row, sizeof row, "%d", account + 1);
        TMPL_varlist* entry = TMPL_add_var(nullptr, "row", row, "enabled", enabled, "number", number,
                                           0);
        entry = AddText(entry, "host", host);
        entry = TMPL_add_var(entry, "status", AccountStatusWord(questions.ask(account)), 0);
        loop = TMPL_add_varlist(loop, entry);
    }
    return loop;
}

// The module's name by the kind of the first module; kind 2 is a headset
// adapter, which has no number.
const char* ModuleName(int kind, bool& numbered)
{
    numbered = kind != 2;
    switch (kind) {
    case 0:
        return "XK51";
    case 1:
        return "XK52";
    case 2:
        return "EHS";
    case 5:
        return "XK53";
    default:
        return "XK";
    }
}

// One text request; empty when the driver refuses it.
std::string ModuleText(ExpDevice& device, unsigned long request, uint32_t index)
{
    char text[kExpTextSize] = "";
    ExpIoctlArg arg;
    arg.index = index & 0xFFFF;
    arg.textFlags = kExpTextFlags;
    arg.text = text;
    if (device.request(request, arg) != 0)
        return std::string();
    return text;
}

// The kind of module index; -1 when the driver does not say.
int ModuleKind(ExpDevice& device, uint32_t index)
{
    ExpIoctlArg arg;
    arg.index = index & 0xFFFF;
    device.request(kExpPrepareA, arg);
    arg = ExpIoctlArg();
    arg.index = index & 0xFFFF;
    device.request(kExpPrepareB, arg);
    arg = ExpIoctlArg();
    arg.index = index & 0xFFFF;
    if (device.request(kExpGetKind, arg) != 0)
        return -1;
    return static_cast<int>(arg.number);
}

}  // namespace

int StatusServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<StatusServlet> kActions[] = {{"load", &StatusServlet::loadConfig}};
    return DispatchPageAction(this, request, response, kActions);
}

int StatusServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    response->setContentType("text/html");
    char firmware[32];
    readConfigOperate(FILETYPE_GLOBAL, "PhoneFirmware", firmware, 0);
    TMPL_varlist* varlist = TMPL_add_var(nullptr, "firmware", firmware, 0);
    varlist = AddText(varlist, "hardware", str_dev_get_hardware_version());

    std::string mode = GetConfigValue(FILETYPE_GLOBAL, "NetworkIPAddressMode", 0);
    varlist = AddCodeWord(varlist, "NetworkIPAddressMode", "NetworkIPAddressMode", kAddressModes);
    if (mode == "0" || mode == "2")
        varlist = AddIPv4Block(varlist);
    if (mode == "1" || mode == "2")
        varlist = AddIPv6Block(varlist);

    varlist = AddText(varlist, "MACAddress", netGetMACText(0, 0));
    varlist = TMPL_add_var(varlist, "linkStatus", netIsCableConnected() ? "Connected" : "UnConnected", 0);
    bool router = GetConfigValue(FILETYPE_GLOBAL, "NetworkLanType", 0) == "0";
    varlist = TMPL_add_var(varlist, "deviceType", router ? "Router" : "Bridge", 0);
    varlist = AddText(varlist, "lanIPAddress", netGetLanIP());

    if (TMPL_loop* accounts = GetAccountStatusLoop())
        varlist = TMPL_add_loop(varlist, "AccountLoop", accounts);
    if (TMPL_loop* modules = GetXKInfo(varlist))
        varlist = TMPL_add_loop(varlist, "extLoop", modules);

    varlist = showItemsByLevel(varlist, request);
    RenderPage(response, "status.htm", varlist);
    return 1;
}

TMPL_varlist* StatusServlet::showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request)
{
    return AddShowLevel(varlist, request, nullptr, 0, kStatusItems, CountOf(kStatusItems));
}

TMPL_loop* StatusServlet::GetXKInfo(TMPL_varlist* varlist)
{
    ExpDevice device;
    ExpIoctlArg countArg;
    if (!device.open(kExpDevicePath) || device.request(kExpGetCount, countArg) != 0) {
        if (varlist)
            TMPL_add_var(varlist, "extNum", "0", 0);
        return nullptr;
    }
    // A driver that claims more modules than a phone can chain is not
    // believed beyond that many.
    uint32_t count = countArg.number;
    char number[16];
    snprintf(number, sizeof number, "%u", static_cast<unsigned int>(count));
    if (varlist)
        TMPL_add_var(varlist, "extNum", number, 0);

    TMPL_loop* loop = nullptr;
    int firstKind = 0;
    const char* name = "XK";
    bool numbered = true;
    for (uint32_t index = 0; index < count && index < kExpMaxModules; ++index) {
        int kind = ModuleKind(device, index);
        if (index == 0) {
            firstKind = kind;
            name = ModuleName(kind, numbered);
        } else if (kind != firstKind) {
            break;
        }
        char position[16] = "";
        if (numbered)
            snprintf(position, sizeof position, "%u", static_cast<unsigned int>(index + 1));
        TMPL_varlist* row = TMPL_add_var(nullptr, "extName", name, "index", position, 0);
        row = AddText(row, "hardware", ModuleText(device, kExpGetHardware, index));
        row = AddText(row, "firmware", ModuleText(device, kExpGetFirmware, index));
        loop = TMPL_add_varlist(loop, row);
    }
    return loop;
}

HttpServlet* createStatusServlet()
{
    return new StatusServlet();
}
