#include "pages/network/NetworkPCPortServlet.h"

#include "frame/frame.h"
#include "pages/network/NetworkCommon.h"

namespace {

constexpr char kPage[] = "network-pcport";

const char* const kLoadFields[] = {
    "NetworkLanType", "NetworkLanRouterIP", "NetworkLanSubnetMask", "NetworkLanEnableDHCP",
    "NetworkLanDHCPStartIP", "NetworkLanDHCPEndIP", "NetworkWanType", "NetworkPCPortSwitch",
};
const char* const kWriteFields[] = {
    "NetworkLanRouterIP", "NetworkLanSubnetMask", "NetworkLanEnableDHCP",
    "NetworkLanDHCPStartIP", "NetworkLanDHCPEndIP",
};
const char* const kItems[] = {"PCPortActive", "PCPortConfig"};

}  // namespace

int NetworkPCPortServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<NetworkPCPortServlet> kActions[] = {
        {"load", &NetworkPCPortServlet::loadConfig},
        {"write", &NetworkPCPortServlet::writeConfig},
    };
    return DispatchPageAction(this, request, response, kActions);
}

int NetworkPCPortServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    return renderPage(request, response, nullptr);
}

int NetworkPCPortServlet::renderPage(HttpRequest* request, HttpResponse* response,
                                     const char* outcome)
{
    TMPL_varlist* varlist =
        readConfigOperate(FILETYPE_GLOBAL, kLoadFields, CountOf(kLoadFields), nullptr, 0);
    if (outcome)
        varlist = TMPL_add_var(varlist, outcome, "1", 0);
    varlist = showItemsByLevel(varlist, request);
    RenderPage(response, "network-pcport.htm", varlist);
    return 1;
}

int NetworkPCPortServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    bool stored =
        writeConfigOperate(FILETYPE_GLOBAL, kWriteFields, CountOf(kWriteFields), request, 0) >= 0;
    stored = StoreIfGiven("NetworkLanType", request->getParameter("type")) && stored;
    stored = StoreIfGiven("NetworkPCPortSwitch", request->getParameter("NetworkPCPortSwitch")) &&
             stored;
    return FinishNetworkWrite(this, request, response, kPage, stored,
                              &NetworkPCPortServlet::renderPage);
}

TMPL_varlist* NetworkPCPortServlet::showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request)
{
    return AddShowLevel(varlist, request, kNetworkMenuPCPort, CountOf(kNetworkMenuPCPort), kItems,
                        CountOf(kItems));
}

HttpServlet* createNetworkPCPortServlet()
{
    return new NetworkPCPortServlet;
}
