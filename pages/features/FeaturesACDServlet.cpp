#include "pages/features/FeaturesACDServlet.h"

#include "frame/frame.h"
#include "pages/features/FeaturesCommon.h"

namespace {

const FeatureRow kRows[] = {
    Switch("EnableACDAutoAvailable", "Auto Available", "FeaturesACDAutoAvailable",
           "After a call the agent becomes available again by itself."),
    Number("ACDAutoAvailableTime", "Auto Available Timer (s)", "FeaturesACDAutoAvailableTimer"),
};
const char* const kStore[] = {"EnableACDAutoAvailable", "ACDAutoAvailableTime"};
const FeatureGroup kGroups[] = {Group(kStore, Notify::Post, 39)};
const char* const kItems[] = {"FeaturesACDAutoAvailable", "FeaturesACDAutoAvailableTimer"};
const FeaturePage kPage = {"features-acd", "features-acd", kRows, CountOf(kRows),
                           kGroups, CountOf(kGroups), kItems, CountOf(kItems)};

}  // namespace

int FeaturesACDServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<FeaturesACDServlet> kActions[] = {
        {"load", &FeaturesACDServlet::loadConfig},
        {"write", &FeaturesACDServlet::writeConfig},
    };
    return DispatchPageAction(this, request, response, kActions, UnknownAction::EmptyAnswer);
}

int FeaturesACDServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    return LoadFeaturePage(kPage, request, response);
}

int FeaturesACDServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    return WriteFeaturePage(kPage, this, request, response);
}

TMPL_varlist* FeaturesACDServlet::showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request)
{
    return FeaturePageShowLevel(kPage, varlist, request);
}

HttpServlet* createFeaturesACDServlet()
{
    return new FeaturesACDServlet;
}
