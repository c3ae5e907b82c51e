#include "pages/features/FeaturesBluetoothServlet.h"

#include "frame/frame.h"
#include "pages/features/FeaturesCommon.h"
#include "platform/msgids.h"

namespace {

const FeatureRow kRows[] = {
    Switch("BluetoothSwitch", "Bluetooth", "FeaturesBluetooth",
           "Switches the phone's Bluetooth radio on or off."),
};
const char* const kStore[] = {"BluetoothSwitch"};
const char* const kItems[] = {"FeaturesBluetooth"};
const FeaturePage kPage = {"features-bluetooth", "features-bluetooth", kRows, CountOf(kRows),
                           nullptr, 0, kItems, CountOf(kItems)};

}  // namespace

int FeaturesBluetoothServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<FeaturesBluetoothServlet> kActions[] = {
        {"load", &FeaturesBluetoothServlet::loadConfig},
        {"write", &FeaturesBluetoothServlet::writeConfig},
    };
    return DispatchPageAction(this, request, response, kActions, UnknownAction::EmptyAnswer);
}

int FeaturesBluetoothServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    return LoadFeaturePage(kPage, request, response);
}

int FeaturesBluetoothServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response)) {
        WebDebug::getInstance()->info("Talking,please wait...");
        return 1;
    }
    std::string reason;
    if (!CheckFeatureRows(kRows, CountOf(kRows), request, reason))
        return RefuseFeatureWrite(response, kPage.page, reason);
    StoreResult result = StoreFields(kStore, CountOf(kStore), request);
    if (result.changed) {
        // The checks above leave only "0" or "1" (or the value already stored).
        int on = 0;
        ParseDecimalInt(request->getParameter("BluetoothSwitch"), 0, 1, on);
        msgPostMsgToThread(msgGetThreadByName("bluetooththread"), kMsgBluetoothSwitch,
                           static_cast<unsigned int>(on), 0);
    }
    return AnswerFeatureWrite(request, response, kPage.page, result.failed);
}

TMPL_varlist* FeaturesBluetoothServlet::showItemsByLevel(TMPL_varlist* varlist,
                                                         HttpRequest* request)
{
    return FeaturePageShowLevel(kPage, varlist, request);
}

HttpServlet* createFeaturesBluetoothServlet()
{
    return new FeaturesBluetoothServlet;
}
