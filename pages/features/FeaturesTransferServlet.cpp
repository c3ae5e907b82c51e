#include "pages/features/FeaturesTransferServlet.h"

#include "frame/frame.h"
#include "pages/features/FeaturesCommon.h"

namespace {

const RowChoice kDsskeyModes[] = {{"0", "Blind Transfer"}, {"1", "Attended Transfer"},
                                  {"2", "New Call"}};
const FeatureRow kRows[] = {
    Switch("SemiAttendedTranSwitch", "Semi-Attended Transfer", "FeaturesSemiAttendTransfer",
           "Transfer while the target is still ringing."),
    Switch("OnhookBlindTranSwitch", "Blind Transfer on Hook", "FeaturesBlindTranOnhook",
           "Hanging up during a blind transfer completes it."),
    Switch("OnhookAttendTranSwitch", "Attended Transfer on Hook", "FeaturesSemiAttendTransOnHook",
           "Hanging up during an attended transfer completes it."),
    Switch("TranAfterConfExitSwitch", "Transfer on Conference Hang up",
           "FeaturesTransferonConferenceHangup",
           "When the host leaves a three-way conference, the other two stay connected."),
    Choice("TransferModeViaDsskey", "Transfer Mode via DSS Key", kDsskeyModes,
           "FeaturesTransferModeViaDsskey",
           "What a transfer key does with the call on the line."),
};
// Only the last group is announced; the phone reads the first on its next transfer.
const char* const kQuiet[] = {"OnhookAttendTranSwitch", "TransferModeViaDsskey"};
const char* const kAnnounced[] = {"OnhookBlindTranSwitch", "SemiAttendedTranSwitch",
                                  "TranAfterConfExitSwitch"};
const FeatureGroup kGroups[] = {Group(kQuiet, Notify::None),
                                Group(kAnnounced, Notify::Broadcast, 28)};
const char* const kItems[] = {"FeaturesSemiAttendTransfer", "FeaturesSemiAttendTransOnHook",
                              "FeaturesBlindTranOnhook", "FeaturesTransferonConferenceHangup",
                              "FeaturesDsskeyBlindTran", "FeaturesTransferModeViaDsskey"};
const FeaturePage kPage = {"features-transfer", "features-transfer", kRows, CountOf(kRows),
                           kGroups, CountOf(kGroups), kItems, CountOf(kItems)};

}  // namespace

int FeaturesTransferServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<FeaturesTransferServlet> kActions[] = {
        {"load", &FeaturesTransferServlet::loadConfig},
        {"write", &FeaturesTransferServlet::writeConfig},
    };
    return DispatchPageAction(this, request, response, kActions, UnknownAction::EmptyAnswer);
}

int FeaturesTransferServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    return LoadFeaturePage(kPage, request, response);
}

int FeaturesTransferServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    return WriteFeaturePage(kPage, this, request, response);
}

TMPL_varlist* FeaturesTransferServlet::showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request)
{
    return FeaturePageShowLevel(kPage, varlist, request);
}

HttpServlet* createFeaturesTransferServlet()
{
    return new FeaturesTransferServlet;
}
