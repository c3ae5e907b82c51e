#include "pages/features/FeaturesBluetoothServlet.h"

#include <cstring>

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
    PageWrite write(request, kPage.page);
    write.add(FILETYPE_GLOBAL, kStore, CountOf(kStore));
    if (!write.save())
        return write.reshow(response, this, &FeaturesBluetoothServlet::loadConfig);
    if (write.changed("BluetoothSwitch")) {
        // The rule lets only "0" or "1" through.
        unsigned int on = strcmp(write.posted("BluetoothSwitch"), "1") == 0 ? 1 : 0;
        msgPostMsgToThread(msgGetThreadByName("bluetooththread"), kMsgBluetoothSwitch, on, 0);
    }
    return FinishFeatureWrite(write, request, response, kPage.page);
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
