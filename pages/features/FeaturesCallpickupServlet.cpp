#include "pages/features/FeaturesCallpickupServlet.h"

#include "frame/frame.h"
#include "pages/features/FeaturesCommon.h"

namespace {

const FeatureRow kRows[] = {
    Card("Call Pickup"),
    Switch("GPickupSwitch", "Group Call Pickup", "FeaturesCallPickup"),
    Text("GPickupCode", "Group Call Pickup Code", "FeaturesCallPickup",
         "The feature code the server expects for a group pickup, such as *8."),
    Switch("DPickupSwitch", "Directed Call Pickup", "FeaturesCallPickup"),
    Text("DPickupCode", "Directed Call Pickup Code", "FeaturesCallPickup",
         "The feature code put before the number of the ringing phone, such as *97."),
    Switch("PickupAllowBlfRing", "Visual Alert for BLF Pickup", "FeaturesCallPickup"),
    Switch("IndicationBLFPickup", "Audio Alert for BLF Pickup", "FeaturesCallPickup"),
    Card("Call Park"),
    Switch("CallParkSwitch", "Call Park", "FeaturesCallPark"),
    Switch("GroupCallParkSwitch", "Group Call Park", "FeaturesCallPark"),
    Switch("CallParkVisualNotifySwitch", "Call Park Visual Notification", "FeaturesCallPark"),
    Switch("CallParkRingNotifyType", "Call Park Ring Notification", "FeaturesCallPark"),
};
const char* const kStore[] = {
    "GPickupSwitch", "GPickupCode", "DPickupSwitch", "DPickupCode",
    "PickupAllowBlfRing", "IndicationBLFPickup", "CallParkSwitch", "GroupCallParkSwitch",
    "CallParkVisualNotifySwitch", "CallParkRingNotifyType",
};
const FeatureGroup kGroups[] = {Group(kStore, Notify::None)};
const char* const kItems[] = {"FeaturesCallPickup", "FeaturesCallPark"};
const FeaturePage kPage = {"features-callpickup", "features-callpickup", kRows, CountOf(kRows),
                           kGroups, CountOf(kGroups), kItems, CountOf(kItems)};

}  // namespace

int FeaturesCallpickupServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<FeaturesCallpickupServlet> kActions[] = {
        {"load", &FeaturesCallpickupServlet::loadConfig},
        {"write", &FeaturesCallpickupServlet::writeConfig},
    };
    return DispatchPageAction(this, request, response, kActions, UnknownAction::EmptyAnswer);
}

int FeaturesCallpickupServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    return LoadFeaturePage(kPage, request, response);
}

int FeaturesCallpickupServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    return WriteFeaturePage(kPage, this, request, response);
}

TMPL_varlist* FeaturesCallpickupServlet::showItemsByLevel(TMPL_varlist* varlist,
                                                          HttpRequest* request)
{
    return FeaturePageShowLevel(kPage, varlist, request);
}

HttpServlet* createFeaturesCallpickupServlet()
{
    return new FeaturesCallpickupServlet;
}
