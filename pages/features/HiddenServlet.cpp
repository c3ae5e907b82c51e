#include "pages/features/HiddenServlet.h"

#include "frame/frame.h"
#include "pages/features/FeaturesCommon.h"
#include "remote/pushxml.h"

namespace {

constexpr unsigned int kChangedHidden = 28;

const RowChoice kPortLinks[] = {
    {"0", "Auto Negotiation"}, {"1", "10M Half"}, {"2", "10M Full"},
    {"3", "100M Half"},        {"4", "100M Full"},
};
const FeatureRow kRows[] = {
    Card("Ports"),
    Choice("EthernetWANPortLink", "Internet Port Link", kPortLinks, nullptr),
    Choice("EthernetPCPortLink", "PC Port Link", kPortLinks, nullptr),
    Card("Audio"),
    Switch("VolumeButtonSoundOn", "Key Tone", nullptr),
    Switch("VolumeSendKeySoundOn", "Send Tone", nullptr),
    Number("HeadsetSend", "Headset Send Volume", nullptr,
           "Gain of the headset microphone in dB."),
    Card("Calls"),
    Switch("OnhookBlindTranSwitch", "Blind Transfer on Hook", nullptr),
    Switch("SemiAttendedTranSwitch", "Semi-Attended Transfer", nullptr),
    Switch("TranAfterConfExitSwitch", "Transfer on Conference Hang up", nullptr),
    Switch("Deal180After183", "Deal 180 After 183", nullptr,
           "Ring locally on a 180 that follows a 183 with early media."),
    Switch("DndForbidden", "DND Forbidden", "HiddenDNDActive",
           "Users of the phone cannot switch Do Not Disturb on."),
    Switch("ForwardForbidden", "Forward Forbidden", "HiddenForwardActive",
           "Users of the phone cannot set up call forwarding."),
    Switch("RedirectEnable", "Redirect", "Redirect-Active"),
    Card("SIP"),
    Switch("SipReservePound", "Reserve # in User Name", nullptr),
    Switch("SipRFC2543Hold", "RFC 2543 Hold", nullptr,
           "Hold with the address 0.0.0.0 instead of a=sendonly."),
    Switch("SipUseOutBoundInDialog", "Use Outbound Proxy in Dialog", nullptr),
    Switch("EnableReplaceAll", "Replace All", nullptr),
    Card("Provisioning"),
    Switch("FactoryConfigCustomEnabled", "Custom Factory Configuration",
           "HiddenCustomFactoryConfig"),
    Switch("LogonWizard", "Logon Wizard", nullptr),
};
const char* const kFields[] = {
    "EthernetWANPortLink",    "EthernetPCPortLink",     "VolumeButtonSoundOn",
    "VolumeSendKeySoundOn",   "HeadsetSend",            "OnhookBlindTranSwitch",
    "SemiAttendedTranSwitch", "TranAfterConfExitSwitch", "SipReservePound",
    "SipRFC2543Hold",         "SipUseOutBoundInDialog", "EnableReplaceAll",
    "FactoryConfigCustomEnabled", "DndForbidden",       "ForwardForbidden",
    "Deal180After183",        "LogonWizard",            "RedirectEnable",
};
// BroadSoft is switched only together with the reboot that applies it.
const FeatureRow kBroadsoftRow[] = {
    Switch("BSFTActive", "BroadSoft", "Broadsoft-Active",
           "Switching BroadSoft on or off restarts the phone."),
};
const char* const kBroadsoft[] = {"BSFTActive"};
const char* const kItems[] = {"HiddenCustomFactoryConfig", "HiddenForwardActive",
                              "HiddenDNDActive",           "Broadsoft-Active",
                              "Redirect-Active",           "UC-Active",
                              "HiddenPushxml"};
const FeaturePage kPage = {"hidden", nullptr, kRows, CountOf(kRows), nullptr, 0,
                           kItems, CountOf(kItems)};

}  // namespace

int HiddenServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<HiddenServlet> kActions[] = {
        {"load", &HiddenServlet::loadConfig},
        {"write", &HiddenServlet::writeConfig},
        {"pushXML", &HiddenServlet::pushXML},
    };
    return DispatchPageAction(this, request, response, kActions);
}

int HiddenServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    TMPL_varlist* varlist = AddFeatureRows(nullptr, kBroadsoftRow, CountOf(kBroadsoftRow),
                                           "broadsoft");
    return LoadFeaturePage(kPage, request, response, varlist);
}

int HiddenServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    PageWrite write(request, kPage.page);
    write.add(FILETYPE_GLOBAL, kFields, CountOf(kFields));
    bool reboot = WantsReboot(request);
    if (reboot)
        write.add(FILETYPE_GLOBAL, kBroadsoft, CountOf(kBroadsoft));
    if (!write.save())
        return write.reshow(response, this, &HiddenServlet::loadConfig);
    if (!reboot)
        NotifyFeatureChange(Notify::Broadcast, kChangedHidden);
    return FinishFeatureWrite(write, request, response, kPage.page);
}

int HiddenServlet::pushXML(HttpRequest* request, HttpResponse* response)
{
    // The push changes what the phone shows: only for those who may change
    // this page.
    if (GetPageAccess(request) != FieldAccess::Change) {
        log_log(2, 4, "pushXML() refused: the page is above the identity's level");
        response->print("failed");
        return 1;
    }
    if (IsInTalking(response))
        return 1;
    response->print(ProcessPushXml(request, true, response) ? "success" : "failed");
    return 1;
}

TMPL_varlist* HiddenServlet::showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request)
{
    return FeaturePageShowLevel(kPage, varlist, request);
}

HttpServlet* createHiddenServlet()
{
    return new HiddenServlet;
}
