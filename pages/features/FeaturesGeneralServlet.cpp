#include "pages/features/FeaturesGeneralServlet.h"

#include <unistd.h>

#include <cstring>
#include <string>

#include "frame/frame.h"
#include "pages/features/FeaturesCommon.h"
#include "platform/msgids.h"

namespace {

constexpr char kPage[] = "features-general";
constexpr char kPicsDir[] = "/config/Pics/";
constexpr char kLogoFile[] = "/config/Pics/logo.dob";
constexpr char kUploadPattern[] = "/tmp/logofile_XXXXXX";
// The largest screen takes 236 x 82 pixels: 2 + 82 * 30 bytes. Anything much
// larger is refused before it is read.
constexpr long long kLogoFileMax = 64 * 1024;
// The slot of the per-account auto answer switch that stands for the phone.
constexpr int kAutoAnswerSlot = 6;
constexpr unsigned int kChangedLogo = 21;

const RowChoice kKeyAsSend[] = {{"0", "Disabled"}, {"1", "#"}, {"2", "*"}};
const RowChoice kBusyToneDelays[] = {{"0", "0"}, {"3", "3"}, {"5", "5"}};
const RowChoice kRefuseCodes[] = {{"404", "404 (Not Found)"},
                                  {"480", "480 (Temporarily Unavailable)"},
                                  {"486", "486 (Busy Here)"},
                                  {"603", "603 (Decline)"}};
const RowChoice kLogos[] = {{"0", "Disabled"}, {"1", "System Logo"}, {"2", "Custom Logo"}};
const RowChoice kBlfLedModes[] = {{"0", "Off when idle"}, {"1", "On when idle"}};

const FeatureRow kRows[] = {
    Card("Call Handling"),
    Switch("CallWaitingSwitch", "Call Waiting", "FeaturesCallWaiting",
           "A second incoming call is offered during a call."),
    Text("CallWaitingOnCode", "Call Waiting On Code", "FeaturesCallWaiting", nullptr),
    Text("CallWaitingOffCode", "Call Waiting Off Code", "FeaturesCallWaiting", nullptr),
    Switch("AutoRedialSwitch", "Auto Redial", "FeaturesAutoRedial",
           "Dial a busy number again by itself."),
    Number("AutoRedialInterval", "Auto Redial Interval (s)", "FeaturesAutoRedialInterval"),
    Number("AutoRedialTimes", "Auto Redial Times", "FeaturesAutoRedialTimes"),
    Number("AutoAnswerDelay", "Auto Answer Delay (s)", "FeaturesAutoAnswerDelay"),
    Choice("NormalRefuseCode", "Return Code When Refuse", kRefuseCodes,
           "FeaturesReturnCodeRefuse", "The SIP answer sent when a call is rejected."),
    Choice("DNDRefuseCode", "Return Code When DND", kRefuseCodes, "FeaturesReturnCodeDND",
           "The SIP answer sent while Do Not Disturb is on."),
    Choice("BusytoneDelay", "Busy Tone Delay (s)", kBusyToneDelays, "FeaturesBusytoneDelay",
           "How long the busy tone plays after the other side hangs up."),
    Switch("CallCompletionSwitch", "Call Completion", "FeaturesCallCompletion",
           "Offer to call a busy number back once it is free."),
    Switch("AllowMute", "Allow Mute", "FeaturesAllowMute"),
    Switch("ForwardInternationalEnable", "Forward International", "FeaturesFwdInternational",
           "Allow forwarding to international numbers."),
    Switch("DiversionEnable", "Diversion/History-Info", "FeaturesDiversionHistoryInfo",
           "Show who forwarded a call to this phone."),
    Switch("AllowTransExistCall", "Allow Transfer to Existing Call",
           "FeaturesAllowTransExistCall"),
    Switch("SaveCallLogSwitch", "Save Call Log", "FeaturesSaveCallHistory"),
    Switch("EnableVoiceMailTone", "Voice Mail Tone", "FeaturesVoiceMailTone",
           "A tone when a new voice message arrives."),
    Switch("HeadsetPriorSwitch", "Headset Prior", "FeaturesHeadsetPrior",
           "Incoming calls are answered on the headset when it is in use."),
    Switch("HeadsetTrainingSwitch", "Dual Headset", "FeaturesDualHeadset"),
    Card("Dialing"),
    Choice("KeyAsSendSwitch", "Key As Send", kKeyAsSend, "FeaturesKeyasSend",
           "The key that dials the number entered so far."),
    Text("HotlineNumber", "Hotline Number", "FeaturesHotlineNumber",
         "Lifting the handset dials this number after the hotline delay."),
    Number("HotlineDelay", "Hotline Delay (s)", "FeaturesHotlineDelay"),
    Number("DialNowDelay", "Time-Out for Dial Now Rule (s)", "FeaturesTimeOutforDialNow"),
    Switch("EnableDirectIPCall", "Direct IP Call", "FeaturesDirectIPCall"),
    Text("CallNumFilter", "Call Number Filter", "FeaturesCallNumFilter",
         "Characters removed from a number before it is dialed."),
    Switch("EnablePSWDial", "Password Dial", "FeaturesPswDial",
         "Digits after the prefix are shown as stars while dialing."),
    Text("PSWDialPrefix", "Password Dial Prefix", "FeaturesPswPrefix", nullptr),
    Number("PSWDialLength", "Password Length", "FeaturesPswLength"),
    Switch("SipReservePound", "Reserve # in User Name", "FeaturesReservePound"),
    Switch("EnableSendPoundKey", "Send Pound Key", "FeaturesSendPoundKey"),
    Card("DTMF and Tones"),
    Number("Dtmfrep", "DTMF Repetition", "FeaturesDTMFRepetition"),
    Switch("EnableHideDTMF", "Suppress DTMF Display", "FeaturesSuppressDTMFDisplay"),
    Switch("EnableDTMFDelay", "Suppress DTMF Display Delay", "FeaturesSuppressDTMFDisplayDelay"),
    Switch("LocalDtmfTone", "Play Local DTMF Tone", "FeaturesPlayLocalDTMFTone"),
    Switch("EnableDTMFReplaceTran", "DTMF Replace Transfer", "FeaturesDTMFReplaceTran",
           "Transfer by sending DTMF digits instead of a SIP REFER."),
    Text("TransferDTMF", "Transfer DTMF", "FeaturesTranSendDTMF", nullptr),
    Switch("PlayHoldToneSwitch", "Play Hold Tone", "FeaturesPlayHoldTone"),
    Number("PlayHoldToneDelay", "Play Hold Tone Delay (s)", "FeaturesPlayHoldToneDelay"),
    Number("PayloadType", "RTP Payload Type", "FeaturesMulticastCodec"),
    Card("SIP"),
    Switch("SipRFC2543Hold", "RFC 2543 Hold", "FeaturesRFC2543Hold",
           "Hold with the address 0.0.0.0 instead of a=sendonly."),
    Switch("SipUseOutBoundInDialog", "Use Outbound Proxy in Dialog",
           "FeaturesUseOutboundinDialog"),
    Switch("Deal180After183", "Deal 180 After 183", "FeaturesIsDeal180"),
    Switch("BroadsoftFeatureKeySync", "Feature Key Synchronisation", "FeatureKeySynchronisation",
           "Keep DND and forwarding in step with the server."),
    Card("Phone"),
    Number("ReLogOffTime", "Web Log Off Time (min)", "FeaturesReLogOffTime",
           "The web session ends after this long without a request."),
    Switch("LogonWizard", "Logon Wizard", "FeaturesLogonWizard"),
    Switch("ClosePowerLight", "Close Power Light", "FeaturesClosePowerLight"),
    Choice("BLFLedMode", "BLF LED Mode", kBlfLedModes, "FeaturesBLFLedMode"),
    Text("DhcpHostnameValue", "DHCP Hostname", "FeaturesDhcpHostname",
         "The name the phone gives the DHCP server."),
    Choice("LCDLogo", "Use Logo", kLogos, "FeaturesUseLogo"),
    Text("TextLogo", "Text Logo", "FeaturesUseLogo", "Shown on the idle screen."),
};

// Read for the template besides the rows.
const char* const kReadOnly[] = {
    "GPickupSwitch", "GPickupCode", "DPickupSwitch", "DPickupCode", "PickupAllowBlfRing",
    "IndicationBLFPickup", "CallParkSwitch", "GroupCallParkSwitch", "CallParkVisualNotifySwitch",
    "CallParkRingNotifyType", "SpecialAutoAnswerTone", "BSFTActive",
};

const char* const kQuiet[] = {
    "HotlineNumber", "HotlineDelay", "BusytoneDelay", "NormalRefuseCode", "DNDRefuseCode",
    "EnableHideDTMF", "EnableDTMFDelay", "PlayHoldToneSwitch", "PlayHoldToneDelay",
    "LocalDtmfTone", "AutoAnswerDelay", "HeadsetPriorSwitch", "EnableDTMFReplaceTran",
    "TransferDTMF", "ReLogOffTime", "PSWDialPrefix", "PSWDialLength", "EnablePSWDial",
    "EnableSendPoundKey", "AllowMute", "HeadsetTrainingSwitch", "KeyAsSendSwitch",
    "DialNowDelay", "GPickupSwitch", "GPickupCode", "DPickupSwitch", "DPickupCode",
    "PickupAllowBlfRing", "IndicationBLFPickup", "CallParkSwitch", "GroupCallParkSwitch",
    "CallParkVisualNotifySwitch", "AllowTransExistCall", "CallParkRingNotifyType",
    "DiversionEnable", "EnableDirectIPCall", "CallNumFilter", "EnableVoiceMailTone",
    "DhcpHostnameValue",
};
const char* const kForwardInternational[] = {"ForwardInternationalEnable"};
const char* const kCallWaiting[] = {"CallWaitingSwitch", "CallWaitingOnCode", "CallWaitingOffCode"};
const char* const kKeySync[] = {"BroadsoftFeatureKeySync"};
const char* const kLcdLogo[] = {"LCDLogo"};
const char* const kTextLogo[] = {"TextLogo"};
const char* const kCallCompletion[] = {"CallCompletionSwitch"};
const char* const kSaveCallLog[] = {"SaveCallLogSwitch"};
const char* const kPowerLight[] = {"ClosePowerLight"};
const char* const kSip[] = {"SipReservePound", "SipRFC2543Hold", "SipUseOutBoundInDialog",
                            "Deal180After183", "LogonWizard"};
const char* const kPayload[] = {"PayloadType"};
const char* const kAutoRedial[] = {"AutoRedialInterval", "AutoRedialTimes", "AutoRedialSwitch"};
const char* const kDtmfRepetition[] = {"Dtmfrep"};
const char* const kBlfLedMode[] = {"BLFLedMode"};

// Stored before the auto answer switch and the session time-out.
const FeatureGroup kFirstGroups[] = {Group(kQuiet, Notify::None)};
const FeatureGroup kForwardGroups[] = {Group(kForwardInternational, Notify::Broadcast, 1)};
const FeatureGroup kLaterGroups[] = {
    Group(kCallWaiting, Notify::Post, 11),    Group(kKeySync, Notify::Broadcast, 37),
    Group(kLcdLogo, Notify::Post, kChangedLogo), Group(kTextLogo, Notify::Post, kChangedLogo),
    Group(kCallCompletion, Notify::Post, 32), Group(kSaveCallLog, Notify::Post, 40),
    Group(kPowerLight, Notify::Post, 90),     Group(kSip, Notify::Broadcast, 28),
    Group(kPayload, Notify::Broadcast, 42),   Group(kAutoRedial, Notify::Post, 26),
    Group(kDtmfRepetition, Notify::Broadcast, 17), Group(kBlfLedMode, Notify::PostBLFLedMode),
};

const char* const kItems[] = {
    "FeaturesCallWaiting",       "FeaturesAutoRedial",          "FeaturesAutoRedialInterval",
    "FeaturesAutoRedialTimes",   "FeaturesKeyasSend",           "FeaturesReservePound",
    "FeaturesHotlineNumber",     "FeaturesHotlineDelay",        "FeaturesBusytoneDelay",
    "FeaturesReturnCodeRefuse",  "FeaturesReturnCodeDND",       "FeaturesCallCompletion",
    "FeaturesTimeOutforDialNow", "FeaturesRFC2543Hold",         "FeaturesUseOutboundinDialog",
    "FeaturesIsDeal180",         "FeaturesLogonWizard",         "FeaturesPswPrefix",
    "FeaturesPswLength",         "FeaturesPswDial",             "FeaturesSaveCallHistory",
    "FeaturesDTMFRepetition",    "FeaturesUseLogo",             "FeatureKeySynchronisation",
    "FeaturesClosePowerLight",   "FeaturesMulticastCodec",      "FeaturesPlayHoldTone",
    "FeaturesPlayHoldToneDelay", "FeaturesAutoAnswerDelay",     "FeaturesAllowMute",
    "FeaturesDTMFReplaceTran",   "FeaturesSendPoundKey",        "FeaturesHeadsetPrior",
    "FeaturesFwdInternational",  "FeaturesReLogOffTime",        "FeaturesSuppressDTMFDisplay",
    "FeaturesSuppressDTMFDisplayDelay", "FeaturesDualHeadset",  "FeaturesTranSendDTMF",
    "FeaturesDiversionHistoryInfo", "FeaturesPlayLocalDTMFTone", "FeaturesCallNumFilter",
    "FeaturesDirectIPCall",      "FeaturesAutoAnswer",          "FeaturesCalllogShowNum",
    "FeaturesVoiceMailTone",     "FeaturesDhcpHostname",        "FeaturesAllowTransExistCall",
    "FeaturesRebootInTalking",   "FeaturesBLFLedMode",
};
const FeaturePage kGeneral = {kPage, kPage, kRows, CountOf(kRows), nullptr, 0,
                              kItems, CountOf(kItems)};

struct LogoLimit {
    int phoneType;
    int width;
    int height;
};
constexpr LogoLimit kLogoLimits[] = {
    {28, 236, 82}, {19, 132, 64}, {21, 132, 64}, {22, 132, 64}, {26, 132, 64},
    {37, 192, 64}, {41, 192, 64}, {42, 192, 64},
};

const LogoLimit* FindLogoLimit(int phoneType)
{
    for (const LogoLimit& limit : kLogoLimits) {
        if (limit.phoneType == phoneType)
            return &limit;
    }
    return nullptr;
}

// Asks the phone without answering: the logo actions answer on their own page.
bool PhoneInCall()
{
    HTHREAD phone = msgGetThreadByName("app_vpPhone");
    return phone && msgSendMsgToThread(phone, kMsgAskTalking, 0, 1) == 0;
}

// "result" is the word the phone's own pages know ("success", "talking",
// "fail", "big"); a failure also carries the reason a person reads.
int RenderUploadResult(HttpRequest* request, HttpResponse* response, const char* result)
{
    static const struct {
        const char* result;
        const char* reason;
    } kReasons[] = {
        {"talking", "Talking, Please wait..."},
        {"fail", "The file is not valid. Nothing was changed."},
        {"big", "The file is too big for this phone. Nothing was changed."},
        {nullptr, "No file was chosen."},
    };
    TMPL_varlist* varlist = TMPL_add_var(nullptr, "returnPage", kPage, 0);
    if (result)
        varlist = TMPL_add_var(varlist, "result", result, 0);
    for (const auto& entry : kReasons) {
        if (result && entry.result ? strcmp(result, entry.result) == 0 : result == entry.result)
            varlist = TMPL_add_var(varlist, "reason", entry.reason, 0);
    }
    varlist = AddFeaturesShowLevel(varlist, request, kPage, kItems, CountOf(kItems));
    RenderPage(response, "upload-result.htm", varlist);
    return 1;
}

}  // namespace

LogoCheck CheckLogo(const std::string& data, int phoneType, long long freeBytes)
{
    if (data.size() < 2)
        return LogoCheck::Broken;
    int width = static_cast<unsigned char>(data[0]);
    int height = static_cast<unsigned char>(data[1]);
    size_t expected = 2 + static_cast<size_t>(height) * static_cast<size_t>((width + 7) / 8);
    if (width == 0 || height == 0 || data.size() != expected)
        return LogoCheck::Broken;
    const LogoLimit* limit = FindLogoLimit(phoneType);
    if (limit && (width > limit->width || height > limit->height))
        return LogoCheck::TooBig;
    if (static_cast<long long>(data.size()) >= freeBytes)
        return LogoCheck::TooBig;
    return LogoCheck::Accepted;
}

int FeaturesGeneralServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<FeaturesGeneralServlet> kActions[] = {
        {"load", &FeaturesGeneralServlet::loadConfig},
        {"write", &FeaturesGeneralServlet::writeConfig},
        {"uploadLogo", &FeaturesGeneralServlet::uploadLogo},
        {"delete", &FeaturesGeneralServlet::deleteLogo},
    };
    return DispatchPageAction(this, request, response, kActions, UnknownAction::EmptyAnswer);
}

int FeaturesGeneralServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    TMPL_varlist* varlist = nullptr;
    if (FindLogoLimit(GetPhoneType())) {
        // The template tests "showLogo"; "false" would read as true there.
        varlist = TMPL_add_var(varlist, "userLogoHide", "false", "showLogo", "1", 0);
        if (access(phonePath(kLogoFile).c_str(), F_OK) == 0)
            varlist = TMPL_add_var(varlist, "existLogo", "true", 0);
    } else {
        varlist = TMPL_add_var(varlist, "userLogoHide", "true", 0);
    }
    varlist = TMPL_add_var(varlist, "ColorfulScreen", "true", "REBOOT_IN_TALKING", "false",
                           "hideLogoSwitch", "false", 0);
    varlist = readConfigOperate(FILETYPE_GLOBAL, kReadOnly, CountOf(kReadOnly), varlist, 0);
    varlist = readConfigOperate(FILETYPE_ACCOUNT, "AccountAutoAnswerSwitch", varlist,
                                kAutoAnswerSlot);
    return LoadFeaturePage(kGeneral, request, response, varlist);
}

int FeaturesGeneralServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    PageWrite write(request, kPage);
    AddFeatureGroups(write, kFirstGroups, CountOf(kFirstGroups));
    AddFeatureGroups(write, kForwardGroups, CountOf(kForwardGroups));
    AddFeatureGroups(write, kLaterGroups, CountOf(kLaterGroups));
    // The phone's own auto answer lives in an account slot of its own.
    const char* autoAnswer = write.take("AccountAutoAnswerSwitch");
    if (!write.save())
        return write.reshow(response, this, &FeaturesGeneralServlet::loadConfig);
    if (autoAnswer && writeConfigOperate(FILETYPE_ACCOUNT, "AccountAutoAnswerSwitch", autoAnswer,
                                         kAutoAnswerSlot) < 0)
        return AnswerNotSaved(response, kPage);
    bool changed = NotifyFeatureGroups(write, kForwardGroups, CountOf(kForwardGroups));
    int minutes = 0;
    if (ParseDecimalInt(write.posted("ReLogOffTime"), 1, 1000, minutes))
        request->getSession(1)->setMaxInactiveInterval(minutes * 60);
    changed = NotifyFeatureGroups(write, kLaterGroups, CountOf(kLaterGroups)) || changed;
    if (changed)
        log_log(2, 6, "Features general has been changed!");
    return FinishFeatureWrite(write, request, response, kPage);
}

int FeaturesGeneralServlet::uploadLogo(HttpRequest* request, HttpResponse* response)
{
    if (PhoneInCall())
        return RenderUploadResult(request, response, "talking");
    makeDirs(phonePath(kPicsDir));
    request->setUploadFileTemplate(kUploadPattern);
    const char** values = request->getParameterValues("logoFile");
    if (!values || !values[0])
        return RenderUploadResult(request, response, nullptr);
    std::string upload = phonePath(values[0]);
    long long size = GetFileSize(values[0]);
    std::string data;
    if (size > kLogoFileMax) {
        unlink(upload.c_str());
        log_log(2, 4, "Upload logo error: too big!");
        return RenderUploadResult(request, response, "big");
    }
    if (size < 0 || !readWholeFile(upload, data)) {
        unlink(upload.c_str());
        log_log(2, 3, "Upload logo error!");
        return RenderUploadResult(request, response, "fail");
    }
    unlink(upload.c_str());
    long long freeBytes = GetPartionFreeSize(kPicsDir);
    log_log(2, 6, "lPartionFreeSize = %lld, lFileSize = %lld", freeBytes, size);
    switch (CheckLogo(data, GetPhoneType(), freeBytes)) {
    case LogoCheck::Broken:
        log_log(2, 4, "Upload logo error: not a logo of the size its header gives!");
        return RenderUploadResult(request, response, "fail");
    case LogoCheck::TooBig:
        log_log(2, 4, "Upload logo error: too big!");
        return RenderUploadResult(request, response, "big");
    case LogoCheck::Accepted:
        break;
    }
    // Replaced in one step: a failed write keeps the installed logo.
    if (!writeFileAtomic(phonePath(kLogoFile), data)) {
        log_log(2, 3, "Upload logo error!");
        return RenderUploadResult(request, response, "fail");
    }
    writeConfigOperate(FILETYPE_GLOBAL, "LCDLogo", "2", 0);
    NotifyFeatureChange(Notify::Post, kChangedLogo);
    log_log(2, 6, "Upload Logo: %s success!", values[1] ? values[1] : "logo.dob");
    return RenderUploadResult(request, response, "success");
}

int FeaturesGeneralServlet::deleteLogo(HttpRequest* /*request*/, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    // Only the logo: the folder is the phone's, and may hold other pictures.
    unlink(phonePath(kLogoFile).c_str());
    NotifyFeatureChange(Notify::Post, kChangedLogo);
    log_log(2, 6, "Delete logo!");
    RedirectToLoad(response, kPage);
    return 1;
}

TMPL_varlist* FeaturesGeneralServlet::showItemsByLevel(TMPL_varlist* varlist,
                                                       HttpRequest* request)
{
    return FeaturePageShowLevel(kGeneral, varlist, request);
}

HttpServlet* createFeaturesGeneralServlet()
{
    return new FeaturesGeneralServlet;
}
