#include "pages/features/FeaturesPowerLEDServlet.h"

#include "frame/frame.h"
#include "pages/features/FeaturesCommon.h"

namespace {

const FeatureRow kRows[] = {
    Switch("CommonPowerLightOn", "Common Power Light On", "FeaturesCommonPowerLightOn",
           "Keep the power light on while the phone is idle."),
    Switch("RingPowerLightFlash", "Ringing Power Light Flash", "FeaturesRingPowerLightFlash"),
    Switch("MailPowerLightFlash", "Voice/Text Mail Power Light Flash",
           "FeaturesMailPowerLightFlash"),
    Switch("MutePowerLightFlash", "Mute Power Light Flash", "FeaturesMutePowerLightFlash"),
    Switch("HoldPowerLightFlash", "Hold/Held Power Light Flash", "FeaturesHoldPowerLightFlash"),
    Switch("TalkPowerLightFlash", "Talk/Dial Power Light Flash", "FeaturesTalkPowerLightFlash"),
};
const char* const kStore[] = {"CommonPowerLightOn", "RingPowerLightFlash", "MailPowerLightFlash",
                              "MutePowerLightFlash", "HoldPowerLightFlash", "TalkPowerLightFlash"};
const FeatureGroup kGroups[] = {Group(kStore, Notify::Post, 90)};
const char* const kItems[] = {"FeaturesCommonPowerLightOn", "FeaturesRingPowerLightFlash",
                              "FeaturesMailPowerLightFlash", "FeaturesMutePowerLightFlash",
                              "FeaturesHoldPowerLightFlash", "FeaturesTalkPowerLightFlash"};
const FeaturePage kPage = {"features-powerled", "features-powerled", kRows, CountOf(kRows),
                           kGroups, CountOf(kGroups), kItems, CountOf(kItems)};

}  // namespace

int FeaturesPowerLEDServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<FeaturesPowerLEDServlet> kActions[] = {
        {"load", &FeaturesPowerLEDServlet::loadConfig},
        {"write", &FeaturesPowerLEDServlet::writeConfig},
    };
    return DispatchPageAction(this, request, response, kActions, UnknownAction::EmptyAnswer);
}

int FeaturesPowerLEDServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    return LoadFeaturePage(kPage, request, response);
}

int FeaturesPowerLEDServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    return WriteFeaturePage(kPage, this, request, response);
}

TMPL_varlist* FeaturesPowerLEDServlet::showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request)
{
    return FeaturePageShowLevel(kPage, varlist, request);
}

HttpServlet* createFeaturesPowerLEDServlet()
{
    return new FeaturesPowerLEDServlet;
}
