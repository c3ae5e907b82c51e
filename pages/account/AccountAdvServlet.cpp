#include "pages/account/AccountAdvServlet.h"

#include <string>

#include "frame/frame.h"
#include "pages/account/AccountCommon.h"
#include "platform/msgids.h"

namespace {

constexpr char kPage[] = "account-adv";
constexpr unsigned int kChangedAdvanced = 2;
// The voice-mail number is posted as this name followed by the account.
constexpr char kVoiceMailField[] = "MessageVoiceNumber";

const char* const kFields[] = {
    "AccountExpire",              "AccountPrecondition",         "AccountSubsribeRegister",
    "AccountSubsribeMWI",         "AccountSubscribeMWIExpire",   "AccountCIDSource",
    "AccountEnableSessionTimer",  "AccountSessionExpires",       "AccountSessionRefresher",
    "AccountEnableUserEqualPhone", "AccountSrtpEncryption",      "AccountPtime",
    "AccountBLFListBargeInCode",  "AccountBLAType",              "AccountDialogPickup",
    "AccountBLANumber",           "AccountBLASubscribePeriod",   "AccountRegisterMAC",
    "AccountRegisterLine",        "AccountRegFailRetryInterval", "AccountSignalEncode",
    "AccountConfType",            "AccountConfURI",              "AccountSubscribeACDExpire",
    "Accountearlymedia",          "AccountSIPServerType",        "AccountMusicServerUri",
    "AccountDefaultT1",           "AccountDefaultT2",            "AccountDefaultT4",
    "AccountSubscribePeriod",     "AccountDTMFType",             "AccountDTMFInfoType",
    "AccountDTMFPayload",         "AccountNATEnableUDPUpdate",   "AccountNATUDPUpdateTime",
    "AccountMinRTPPort",          "AccountMaxRTPPort",           "AccountBLFListURL",
    "AccountSIPListenPort",       "AccountNATRport",             "AccountEnable100Rel",
    "AccountSubscribeMWIToVM",    "AccountBLFListCode",          "AccountDPickupCode",
    "AccountGPickupCode",         "AccountDisableAlertInfoURL",  "AccountUnRegisterOnReboot",
    "AccountEnableOutDialogBLF",
};

const char* const kItems[] = {
    "SwitchAccount",          "AdvUDPKeepAlive",         "AdvLocalSIPPort",
    "AdvRport",               "AdvSipSessionTimer",      "AdvSubscribePeriod",
    "AdvDTMFItems",           "AdvReliableRetransmission", "AdvMWIItems",
    "AdvCallerIDHeader",      "AdvUseSessionTimer",      "AdvSessionTimer",
    "AdvSessionRefresher",    "AdvUserEqualPhone",       "AdvVoiceEncryption",
    "AdvPtimeItem",           "AdvBLFListURI",           "AdvBlfListCode",
    "AdvDialogInfoCallPickup", "AdvBLASubscriptionPeriod", "AdvShareLine",
    "AdvBLANumber",           "AdvSIPSendMAC",           "AdvSIPSendLine",
    "AdvSIPRegRetryTimer",    "AdvConferenceType",       "AdvConferenceUri",
    "AdvACDSubscripPeriod",   "AdvSIPServerType",        "AdvEarlymedia",
    "AdvMusicServerURI",      "AdvBLFListBargeInCode",   "AdvDirectCallPickupCode",
    "AdvGroupCallPickupCode", "AdvDistinctiveRingTones", "AdvUnregisterOnReboot",
    "AdvOutDialogBLF",        "AdvVoiceMail",
};

}  // namespace

int AccountAdvServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<AccountAdvServlet> kActions[] = {
        {"load", &AccountAdvServlet::loadConfig},
        {"write", &AccountAdvServlet::writeConfig},
    };
    return DispatchPageAction(this, request, response, kActions);
}

int AccountAdvServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    int account = 0;
    if (!GetLoadAccount(request, response, account))
        return 0;
    TMPL_varlist* varlist = readConfigOperate(FILETYPE_ACCOUNT, kFields, CountOf(kFields), nullptr,
                                              account);
    varlist = readConfigOperate(FILETYPE_GLOBAL, "SipVoiceEncryptType", varlist, 0);
    char voiceMail[kConfigValueRoom];
    readConfigOperate(FILETYPE_ACCOUNT, "AccountVoiceMailNumber", voiceMail, account);
    std::string index = std::to_string(account);
    varlist = TMPL_add_var(varlist, "var_accountID", index.c_str(), kVoiceMailField, voiceMail, 0);
    varlist = TMPL_add_loop(varlist, "accountLoop", GetAccountLoop(index.c_str(), false));
    varlist = readConfigOperate(FILETYPE_GLOBAL, "BSFTActive", varlist, 0);
    RenderPage(response, "account-adv.htm", showItemsByLevel(varlist, request));
    return 1;
}

int AccountAdvServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    int account = 0;
    if (!GetWriteAccount(request, response, account, "get accountID is NULL",
                         "get accountID is illegal", true))
        return 0;
    log_log(2, 6, "Account %d advance writeConfig start...", account + 1);
    PageWrite write(request, kPage, account);
    std::string voiceMailField = kVoiceMailField + std::to_string(account);
    if (MayStoreField(request, kVoiceMailField))
        write.addAs(FILETYPE_ACCOUNT, "AccountVoiceMailNumber", voiceMailField.c_str());
    write.add(FILETYPE_ACCOUNT, kFields, CountOf(kFields));
    if (!write.save())
        return write.reshow(response, this, &AccountAdvServlet::loadConfig);
    msgBroadpostThreadMsg(kMsgConfigChanged, kChangedAdvanced, 0);
    BroadcastAccountChanged(account);
    write.done(response);
    log_log(2, 6, "Account %d advance has changed!", account + 1);
    return 1;
}

TMPL_varlist* AccountAdvServlet::showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request)
{
    return AddShowLevel(varlist, request, kAccountMenuAdv, CountOf(kAccountMenuAdv), kItems,
                        CountOf(kItems));
}

HttpServlet* createAccountAdvServlet()
{
    return new AccountAdvServlet;
}
