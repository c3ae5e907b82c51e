#include "pages/features/FeaturesRemoteContrlServlet.h"

#include "frame/frame.h"
#include "pages/features/FeaturesCommon.h"

namespace {

const FeatureRow kRows[] = {
    Card("Push XML"),
    // The push check reads the list into 256 bytes.
    Text("PushXMLServerIP", "Push XML Server IP Address", "FeaturesPushxmlServerAddr",
         "Servers that may push XML objects, as IP addresses separated by commas."),
    Switch("EnableSIPNotifyPushXML", "SIP NOTIFY", "FeaturesXMLSIPNotify",
           "Accept XML objects sent in SIP NOTIFY messages."),
    Switch("PushXMLBlockInCalling", "Block XML in Calling", "FeaturesXMLBlockInCalling",
           "Hold pushed XML objects back during a call."),
    Card("Action URI"),
    Text("AURILimitIP", "Action URI Allow IP List", "FeaturesActionURILimitIP",
         "\"any\", or the addresses allowed to send commands, separated by commas (* matches a "
         "part, as in 192.168.*.*)."),
};
const char* const kPushFields[] = {"PushXMLServerIP", "EnableSIPNotifyPushXML",
                                   "PushXMLBlockInCalling"};
const char* const kItems[] = {"FeaturesPushxmlServerAddr", "FeaturesXMLSIPNotify",
                              "FeaturesXMLBlockInCalling", "FeaturesActionURILimitIP"};
const FeaturePage kPage = {"features-remotecontrl", "features-remote", kRows, CountOf(kRows),
                           nullptr, 0, kItems, CountOf(kItems)};

}  // namespace

int FeaturesRemoteContrlServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<FeaturesRemoteContrlServlet> kActions[] = {
        {"load", &FeaturesRemoteContrlServlet::loadConfig},
        {"write", &FeaturesRemoteContrlServlet::writeConfig},
    };
    return DispatchPageAction(this, request, response, kActions, UnknownAction::EmptyAnswer);
}

int FeaturesRemoteContrlServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    return LoadFeaturePage(kPage, request, response);
}

int FeaturesRemoteContrlServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    PageWrite write(request, kPage.page);
    write.add(FILETYPE_GLOBAL, kPushFields, CountOf(kPushFields));
    write.add(FILETYPE_GLOBAL, "AURILimitIP");
    if (!write.save())
        return write.reshow(response, this, &FeaturesRemoteContrlServlet::loadConfig);
    // A newly trusted list means new clients: the phone shows a box the first
    // time each sends a command.
    if (write.changed("AURILimitIP") &&
        writeConfigOperate(FILETYPE_GLOBAL, "AURIShowMsgBoxEnable", "1", 0) < 0)
        return AnswerNotSaved(response, kPage.page);
    return FinishFeatureWrite(write, request, response, kPage.page);
}

TMPL_varlist* FeaturesRemoteContrlServlet::showItemsByLevel(TMPL_varlist* varlist,
                                                            HttpRequest* request)
{
    return FeaturePageShowLevel(kPage, varlist, request);
}

HttpServlet* createFeaturesRemoteContrlServlet()
{
    return new FeaturesRemoteContrlServlet;
}
