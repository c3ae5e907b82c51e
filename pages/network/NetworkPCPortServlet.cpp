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
    "NetworkLanDHCPStartIP", "NetworkLanDHCPEndIP", "NetworkPCPortSwitch",
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
    TMPL_varlist* varlist =
        readConfigOperate(FILETYPE_GLOBAL, kLoadFields, CountOf(kLoadFields), nullptr, 0);
    varlist = showItemsByLevel(varlist, request);
    RenderPage(response, "network-pcport.htm", varlist);
    return 1;
}

int NetworkPCPortServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    PageWrite write(request, kPage);
    write.add(FILETYPE_GLOBAL, kWriteFields, CountOf(kWriteFields));
    write.addAs(FILETYPE_GLOBAL, "NetworkLanType", "type");
    if (!write.save())
        return write.reshow(response, this, &NetworkPCPortServlet::loadConfig);
    if (NetworkRebootAsked(request))
        NetworkRebootNotice(response, kPage);
    else
        write.done(response);
    return 1;
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
