#include "pages/features/FeaturesIntercomServlet.h"

#include "frame/frame.h"
#include "pages/features/FeaturesCommon.h"

namespace {

const FeatureRow kRows[] = {
    Switch("IntercomAllowance", "Intercom Allow", "FeaturesAllowIntercom",
           "Whether the phone accepts intercom calls at all."),
    Switch("IntercomMuteSwitch", "Intercom Mute", "FeaturesIntercomMute",
           "Answer intercom calls with the microphone muted."),
    Switch("IntercomToneSwitch", "Intercom Tone", "FeaturesIntercomTone",
           "Play a warning tone before an intercom call is answered."),
    Switch("IntercomBargeSwitch", "Intercom Barge", "FeaturesIntercomBarge",
           "Let an intercom call in even during another call."),
};
const char* const kStore[] = {"IntercomAllowance", "IntercomMuteSwitch", "IntercomToneSwitch",
                              "IntercomBargeSwitch"};
const FeatureGroup kGroups[] = {Group(kStore, Notify::Post, 29)};
const char* const kItems[] = {"FeaturesAllowIntercom", "FeaturesIntercomMute",
                              "FeaturesIntercomTone", "FeaturesIntercomBarge"};
const FeaturePage kPage = {"features-intercom", "features-intercom", kRows, CountOf(kRows),
                           kGroups, CountOf(kGroups), kItems, CountOf(kItems)};

}  // namespace

int FeaturesIntercomServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<FeaturesIntercomServlet> kActions[] = {
        {"load", &FeaturesIntercomServlet::loadConfig},
        {"write", &FeaturesIntercomServlet::writeConfig},
    };
    return DispatchPageAction(this, request, response, kActions, UnknownAction::EmptyAnswer);
}

int FeaturesIntercomServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    return LoadFeaturePage(kPage, request, response);
}

int FeaturesIntercomServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    return WriteFeaturePage(kPage, this, request, response);
}

TMPL_varlist* FeaturesIntercomServlet::showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request)
{
    return FeaturePageShowLevel(kPage, varlist, request);
}

HttpServlet* createFeaturesIntercomServlet()
{
    return new FeaturesIntercomServlet;
}
