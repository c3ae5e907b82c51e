#include "pages/features/FeaturesActionurlServlet.h"

#include "frame/frame.h"
#include "pages/features/FeaturesCommon.h"

namespace {

constexpr unsigned int kChangedActionUrl = 38;
constexpr int kUrlMax = 511;

#define EVENT_URL(field, label, level) Text(field, label, level, nullptr)
const FeatureRow kRows[] = {
    Card("Phone"),
    EVENT_URL("AUSetupCompleted", "Setup Completed", "FeaturesSetupComplete"),
    EVENT_URL("AULogOn", "Log On", "FeaturesLogOn"),
    EVENT_URL("AULogOff", "Log Off", "FeaturesLogOff"),
    EVENT_URL("AURegisterFailed", "Register Failed", "FeaturesRegisterFail"),
    EVENT_URL("AUOffHook", "Off Hook", "FeaturesOffHook"),
    EVENT_URL("AUOnHook", "On Hook", "FeaturesOnHook"),
    EVENT_URL("AUIpChanged", "IP Changed", "FeaturesIPChange"),
    EVENT_URL("AUIdleToBusy", "Idle To Busy", "FeaturesIdletoBusy"),
    EVENT_URL("AUBusyToIdle", "Busy To Idle", "FeaturesBusytoIdle"),
    EVENT_URL("AUMissedCall", "Missed Call", "FeaturesMissedCall"),
    Card("Calls"),
    EVENT_URL("AUIncomingCall", "Incoming Call", "FeaturesIncomingCall"),
    EVENT_URL("AUCallOut", "Outgoing Call", "FeaturesOutgoingCall"),
    EVENT_URL("AUEstablished", "Call Established", "FeaturesCallEstablish"),
    EVENT_URL("AUTerminated", "Call Terminated", "FeaturesCallTerminated"),
    EVENT_URL("AUAnswerNewInCall", "Answer New-In Call", "FeaturesAnswerNewInCall"),
    EVENT_URL("AURejectIncomingCall", "Reject Incoming Call", "FeaturesRejectIncomingCall"),
    EVENT_URL("AUForwardIncomingCall", "Forward Incoming Call", "FeaturesForwardIncomingCall"),
    EVENT_URL("AUHold", "Hold", "FeaturesHold"),
    EVENT_URL("AUUnHold", "Unhold", "FeaturesUnhold"),
    EVENT_URL("AUMute", "Mute", "FeaturesMute"),
    EVENT_URL("AUUnMute", "Unmute", "FeaturesUnmute"),
    Card("Transfer"),
    EVENT_URL("AUTransferCall", "Transfer Call", "FeaturesTransferCall"),
    EVENT_URL("AUBlindTransfer", "Blind Transfer", "FeaturesBlindTransferCall"),
    EVENT_URL("AUAttendedTransfer", "Attended Transfer", "FeaturesAttendedTransferCall"),
    EVENT_URL("AUTransferFinished", "Transfer Finished", "FeaturesTransferFinished"),
    EVENT_URL("AUTransferFailed", "Transfer Failed", "FeaturesTransferFailed"),
    Card("DND and Forward"),
    EVENT_URL("AUOpenDnd", "DND On", "FeaturesDNDOn"),
    EVENT_URL("AUCloseDnd", "DND Off", "FeaturesDNDOff"),
    EVENT_URL("AUOpenAlwaysForward", "Always Forward On", "FeaturesForwardOnCode"),
    EVENT_URL("AUCloseAlwaysForward", "Always Forward Off", "FeaturesForwardOffCode"),
    EVENT_URL("AUOpenBusyForward", "Busy Forward On", "FeaturesBusyForwardOn"),
    EVENT_URL("AUCloseBusyForward", "Busy Forward Off", "FeaturesBusyForwardOff"),
    EVENT_URL("AUOpenNoAnswerForward", "No Answer Forward On", "FeaturesNoAnswerForwardOn"),
    EVENT_URL("AUCloseNoAnswerForward", "No Answer Forward Off", "FeaturesNoAnswerForwardOff"),
};
// The UC server's own two, stored only where it is in use ("ISQVA").
const FeatureRow kQvaRows[] = {
    Card("UC Server"),
    EVENT_URL("AUUCServer", "UC Server", nullptr),
    EVENT_URL("AURemoteIP", "Remote IP", nullptr),
};
#undef EVENT_URL
const char* const kItems[] = {
    "FeaturesSetupComplete",       "FeaturesLogOn",
    "FeaturesLogOff",              "FeaturesRegisterFail",
    "FeaturesOffHook",             "FeaturesOnHook",
    "FeaturesIncomingCall",        "FeaturesOutgoingCall",
    "FeaturesCallEstablish",       "FeaturesCallTerminated",
    "FeaturesDNDOn",               "FeaturesDNDOff",
    "FeaturesForwardOnCode",       "FeaturesForwardOffCode",
    "FeaturesBusyForwardOn",       "FeaturesBusyForwardOff",
    "FeaturesNoAnswerForwardOn",   "FeaturesNoAnswerForwardOff",
    "FeaturesTransferCall",        "FeaturesBlindTransferCall",
    "FeaturesAttendedTransferCall", "FeaturesHold",
    "FeaturesUnhold",              "FeaturesMute",
    "FeaturesUnmute",              "FeaturesMissedCall",
    "FeaturesIdletoBusy",          "FeaturesBusytoIdle",
    "FeaturesIPChange",            "FeaturesRejectIncomingCall",
    "FeaturesAnswerNewInCall",     "FeaturesTransferFailed",
    "FeaturesTransferFinished",    "FeaturesForwardIncomingCall",
};
const FeaturePage kPage = {"features-actionurl", "features-actionurl", kRows, CountOf(kRows),
                           nullptr, 0, kItems, CountOf(kItems)};

bool IsQva()
{
    return GetConfigValue(FILETYPE_GLOBAL, "ISQVA", 0) == "1";
}

// Queues the fields of the rows.
void AddRows(PageWrite& write, const FeatureRow* rows, int count)
{
    for (int i = 0; i < count; ++i) {
        if (rows[i].kind != RowKind::Card)
            write.add(FILETYPE_GLOBAL, rows[i].field);
    }
}

}  // namespace

int FeaturesActionurlServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<FeaturesActionurlServlet> kActions[] = {
        {"load", &FeaturesActionurlServlet::loadConfig},
        {"write", &FeaturesActionurlServlet::writeConfig},
    };
    return DispatchPageAction(this, request, response, kActions, UnknownAction::EmptyAnswer);
}

int FeaturesActionurlServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    TMPL_varlist* varlist = nullptr;
    if (IsQva()) {
        varlist = AddFeatureRows(varlist, kQvaRows, CountOf(kQvaRows), "qvaCards");
        varlist = TMPL_add_var(varlist, "qvaactive", "1", 0);
    }
    return LoadFeaturePage(kPage, request, response, varlist);
}

int FeaturesActionurlServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    PageWrite write(request, kPage.page);
    AddRows(write, kRows, CountOf(kRows));
    if (IsQva())
        AddRows(write, kQvaRows, CountOf(kQvaRows));
    if (WantsReboot(request))
        write.set(FILETYPE_GLOBAL, "UpdateStatus", "reboot");
    if (!write.save())
        return write.reshow(response, this, &FeaturesActionurlServlet::loadConfig);
    NotifyFeatureChange(Notify::Broadcast, kChangedActionUrl);
    return FinishFeatureWrite(write, request, response, kPage.page, 2);
}

TMPL_varlist* FeaturesActionurlServlet::showItemsByLevel(TMPL_varlist* varlist,
                                                         HttpRequest* request)
{
    return FeaturePageShowLevel(kPage, varlist, request);
}

HttpServlet* createFeaturesActionurlServlet()
{
    return new FeaturesActionurlServlet;
}
