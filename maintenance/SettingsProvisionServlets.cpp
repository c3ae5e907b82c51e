#include "maintenance/SettingsProvisionServlets.h"

#include <cstring>
#include <string>

#include "frame/fieldrules.h"
#include "frame/frame.h"
#include "platform/msgids.h"
#include "platform/netinfo.h"

namespace {

constexpr char kMask[] = "********";
constexpr unsigned int kChangedTr069 = 23;
constexpr int kAutoServerWaitMs = 1000;
constexpr char kTr069Placeholder[] = "$ManufactureOUI-$ProductClass-$MAC";

const char* const kAutopLoad[] = {
    "AutoProvisionEnablePNP",       "AutoProvisionEnableDHCPOption", "AutoProvisionOptionType",
    "DhcpOptionValue",              "AutoProvisionRepeatMinutes",    "AutoProvisionWeeklyBeginTime",
    "AutoProvisionWeeklyEndTime",   "AutoProvisionWeeklyMask",       "ForbidZeroSwitch",
    "ZeroWaitTime",                 "AutoProvisionEnableWeekly",     "AutoProvisionPowerOn",
    "AutoProvisionRepeat",          "AutoProvisionTPGOptionPNP"};
const char* const kAutopQuoted[] = {"AutoProvisionServerURL", "AutoProvisionUser"};
const char* const kAutopWrite[] = {
    "AutoProvisionEnablePNP",       "AutoProvisionEnableDHCPOption", "AutoProvisionOptionType",
    "DhcpOptionValue",              "AutoProvisionServerURL",        "AutoProvisionUser",
    "AutoProvisionRepeatMinutes",   "AutoProvisionWeeklyBeginTime",  "AutoProvisionWeeklyEndTime",
    "AutoProvisionWeeklyMask",      "ForbidZeroSwitch",              "ZeroWaitTime",
    "AutoProvisionEnableWeekly",    "AutoProvisionPowerOn",          "AutoProvisionRepeat"};
const char* const kAutopSecrets[] = {"AutoProvisionPassword", "AutoProvisionAESKey16",
                                     "AutoProvisionAESKey16MAC"};
const char* const kAutopMenu[] = {
    "settings-autop",   "settings-preference", "settings-datetime", "settings-upgrade",
    "settings-config",  "settings-dialplan",   "settings-voice",    "settings-ring",
    "settings-tones",   "settings-softkey",    "settings-tr069"};
const char* const kAutopItems[] = {
    "PhonedhcpActive",    "PhoneCustomOption",  "PhoneServerURL",          "PhoneCommonAESkey",
    "PhoneMACOrientedAESkey", "PhonePNPActive", "PhonePoweronActive",      "PhoneRepeatlyActive",
    "PhoneRepeatInterval", "PhoneWeeklyActive", "PhoneAutopTime",          "PhoneDayofWeek",
    "PhonebtnAutopNow",   "PhoneAutoProvisionAccount", "PhoneAutoProvisionPassword",
    "PhoneDHCPOptionValue", "PhoneZeroSwitch",  "PhoneWaitTime"};

const char* const kTr069Fields[] = {
    "TR069ServerUsername",       "TR069ServerURL",                 "TR069PeriodicInformSwitch",
    "TR069PeriodicInformInterval", "TR069ConnectionRequestUsername", "TR069ServerTR069Switch"};
const char* const kTr069Secrets[] = {"TR069ServerPassword", "TR069ConnectionRequestPassword"};
const char* const kTr069Menu[] = {
    "settings-tr069",   "settings-voice",   "settings-preference", "settings-datetime",
    "settings-upgrade", "settings-autop",   "settings-config",     "settings-dialplan",
    "settings-ring",    "settings-tones",   "settings-softkey"};
const char* const kTr069Items[] = {
    "PhoneTR069Header", "PhoneEnableTR069", "PhoneACSUsername", "PhoneACSPassword", "PhoneACSURL",
    "PhoneEnablePeriodicInform", "PhonePeriodicInformInterval", "PhoneRequestUsername",
    "PhoneRequestPassword"};

// A stored secret shows as the mask, an unset one as nothing.
TMPL_varlist* AddSecretMasks(TMPL_varlist* varlist, const char* const* names, int count)
{
    for (int i = 0; i < count; ++i) {
        bool set = !GetConfigValue(FILETYPE_GLOBAL, names[i], 0).empty();
        varlist = TMPL_add_var(varlist, names[i], set ? kMask : "", 0);
    }
    return varlist;
}

}  // namespace

void AddSecretFields(PageWrite& write, HttpRequest* request, const char* const* names, int count)
{
    for (int i = 0; i < count; ++i) {
        const char* value = request->getParameter(names[i]);
        if (value && strcmp(value, kMask) != 0)
            write.add(FILETYPE_GLOBAL, names[i]);
    }
}

int SettingsAutoProvisionServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<SettingsAutoProvisionServlet> kActions[] = {
        {"load", &SettingsAutoProvisionServlet::loadConfig},
        {"write", &SettingsAutoProvisionServlet::writeConfig},
        {"result", &SettingsAutoProvisionServlet::askResult},
    };
    return DispatchPageAction(this, request, response, kActions);
}

int SettingsAutoProvisionServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    TMPL_varlist* varlist =
        readConfigOperate(FILETYPE_GLOBAL, kAutopLoad, CountOf(kAutopLoad), nullptr, 0);
    for (const char* name : kAutopQuoted)
        varlist = readConfigOperate(FILETYPE_GLOBAL, name, varlist, '"', 0);
    varlist = AddSecretMasks(varlist, kAutopSecrets, CountOf(kAutopSecrets));
    varlist = GetTR069Supported(varlist);
    RenderPage(response, "settings-autop.htm", showItemsByLevel(varlist, request));
    return 1;
}

int SettingsAutoProvisionServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    log_log(2, 6, "Setting autoProvision writeConfig start...\n");
    if (IsInTalking(response))
        return 1;
    const char* now = request->getParameter("now");
    if (!now) {
        log_log(2, 4, "SettingsAutoProvisionServlet::writeConfig() para error\n");
        response->sendError(400);
        return 0;
    }
    PageWrite write(request, "settings-autop");
    write.add(FILETYPE_GLOBAL, kAutopWrite, CountOf(kAutopWrite));
    AddSecretFields(write, request, kAutopSecrets, CountOf(kAutopSecrets));
    if (!write.save())
        return write.reshow(response, this, &SettingsAutoProvisionServlet::loadConfig);
    if (!strcmp(now, "true")) {
        msgPostMsgToThread(msgGetThreadByName("autoServer"), kMsgProvisionStart, 0, 0);
        SetNoticePage(response, true, "settings-autop", "Configuration updating ...");
        log_log(2, 6, "autop now...\n");
    } else {
        write.done(response);
    }
    log_log(2, 6, "Setting autoProvision has been changed!\n");
    return 1;
}

int SettingsAutoProvisionServlet::askResult(HttpRequest*, HttpResponse* response)
{
    int running = msgSendMsgToThreadTimeoutEx(msgGetThreadByName("autoServer"), kMsgProvisionState,
                                              0, 0, 0, nullptr, kAutoServerWaitMs);
    response->print(running ? "autoprovision" : "idle");
    return 1;
}

TMPL_varlist* SettingsAutoProvisionServlet::showItemsByLevel(TMPL_varlist* varlist,
                                                             HttpRequest* request)
{
    return AddShowLevel(varlist, request, kAutopMenu, CountOf(kAutopMenu), kAutopItems,
                        CountOf(kAutopItems));
}

int SettingsTr069Servlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<SettingsTr069Servlet> kActions[] = {
        {"load", &SettingsTr069Servlet::loadConfig},
        {"write", &SettingsTr069Servlet::writeConfig},
    };
    return DispatchPageAction(this, request, response, kActions);
}

int SettingsTr069Servlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    TMPL_varlist* varlist =
        readConfigOperate(FILETYPE_GLOBAL, kTr069Fields, CountOf(kTr069Fields), nullptr, 0);
    std::string user = GetConfigValue(FILETYPE_GLOBAL, "TR069ServerUsername", 0).substr(0, 127);
    if (user == kTr069Placeholder) {
        std::string shown = GetConfigValue(FILETYPE_GLOBAL, "TR069DeviceManufacturerOUI", 0) + "-" +
                            GetConfigValue(FILETYPE_GLOBAL, "TR069DeviceProductClass", 0) + "-" +
                            netGetMACText(0, 0);
        varlist = TMPL_add_var(varlist, "TR069ServerUsername", EscapeHtml(shown).c_str(), 0);
    }
    varlist = AddSecretMasks(varlist, kTr069Secrets, CountOf(kTr069Secrets));
    varlist = GetTR069Supported(varlist);
    RenderPage(response, "settings-tr069.htm", showItemsByLevel(varlist, request));
    return 1;
}

int SettingsTr069Servlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    log_log(2, 6, "Setting Tr069 writeConfig start...\n");
    if (IsInTalking(response))
        return 1;
    PageWrite write(request, "settings-tr069");
    AddSecretFields(write, request, kTr069Secrets, CountOf(kTr069Secrets));
    write.add(FILETYPE_GLOBAL, kTr069Fields, CountOf(kTr069Fields));
    if (!write.save())
        return write.reshow(response, this, &SettingsTr069Servlet::loadConfig);
    if (write.anyChanged())
        msgBroadpostThreadMsg(kMsgConfigChanged, kChangedTr069, 0);
    write.done(response);
    log_log(2, 6, "Setting Tr069 has been changed!\n");
    return 1;
}

TMPL_varlist* SettingsTr069Servlet::showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request)
{
    return AddShowLevel(varlist, request, kTr069Menu, CountOf(kTr069Menu), kTr069Items,
                        CountOf(kTr069Items));
}

PHONEWEB_EXPORT HttpServlet* createSettingsAutoProvisionServlet()
{
    return new SettingsAutoProvisionServlet;
}

PHONEWEB_EXPORT HttpServlet* createSettingTr069Servlet()
{
    return new SettingsTr069Servlet;
}
