#include "pages/network/NetworkServlet.h"

#include <cstring>

#include "frame/frame.h"
#include "pages/network/NetworkCommon.h"

namespace {

constexpr char kPage[] = "network";
constexpr char kMask[] = "********";

const char* const kLoadFields[] = {
    "NetworkWanType", "NetworkWanStaticIp", "NetworkWanStaticMask", "NetworkWanStaticGateWay",
    "NetworkWanStaticPriDns", "NetworkWanStaticSecDns", "NetworkIPAddressMode",
    "NetworkIPv6WANType", "NetworkIPv6WanIP", "NetworkIPv6Prefix", "NetworkIPv6WanGateway",
    "NetworkIPv6WanPrimaryDNS", "NetworkIPv6WanSecondaryDNS",
};
const char* const kDnsSwitches[] = {"NetworkWanStaticDNSEnable", "NetworkIPv6WanStaticDNSEnable"};
const char* const kWriteFields[] = {
    "NetworkWanStaticIp", "NetworkWanStaticMask", "NetworkWanStaticGateWay",
    "NetworkWanStaticPriDns", "NetworkWanStaticSecDns", "NetworkPppoeUser",
    "NetworkIPAddressMode", "NetworkIPv6WanIP", "NetworkIPv6Prefix", "NetworkIPv6WanGateway",
    "NetworkIPv6WanPrimaryDNS", "NetworkIPv6WanSecondaryDNS", "NetworkWanStaticDNSEnable",
    "NetworkIPv6WanStaticDNSEnable",
};
// PPPoE carries no VLAN tags.
const char* const kVlanSwitches[] = {"VlanWanSwitch", "VlanPcSwitch", "VlanDhcpSwitch"};
const char* const kItems[] = {"BasicIpaddressMode", "BasicIpv4config", "BasicWanppoe",
                              "BasicIpv6config"};

}  // namespace

int NetworkServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<NetworkServlet> kActions[] = {
        {"load", &NetworkServlet::loadConfig},
        {"write", &NetworkServlet::writeConfig},
    };
    return DispatchPageAction(this, request, response, kActions);
}

int NetworkServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    TMPL_varlist* varlist =
        readConfigOperate(FILETYPE_GLOBAL, kLoadFields, CountOf(kLoadFields), nullptr, 0);
    varlist = readConfigOperate(FILETYPE_GLOBAL, "NetworkPppoeUser", varlist, '"', 0);
    varlist = readConfigOperate(FILETYPE_GLOBAL, kDnsSwitches, CountOf(kDnsSwitches), varlist, 0);
    // The PIN never reaches the browser; the mask stands for the stored one.
    if (!GetConfigValue(FILETYPE_GLOBAL, "NetworkPppoePin", 0).empty())
        varlist = TMPL_add_var(varlist, "NetworkPppoePin", kMask, 0);
    varlist = showItemsByLevel(varlist, request);
    RenderPage(response, "network.htm", varlist);
    return 1;
}

int NetworkServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    log_log(2, 6, "Network base writeConfig start...\n");
    PageWrite write(request, kPage);
    write.add(FILETYPE_GLOBAL, kWriteFields, CountOf(kWriteFields));
    write.addAs(FILETYPE_GLOBAL, "NetworkWanType", "ipv4type");
    write.addAs(FILETYPE_GLOBAL, "NetworkIPv6WANType", "ipv6type");
    const char* ipv4type = request->getParameter("ipv4type");
    if (ipv4type && std::strcmp(ipv4type, "1") == 0) {
        for (const char* name : kVlanSwitches)
            write.set(FILETYPE_GLOBAL, name, "0", "ipv4type");
        const char* pin = request->getParameter("NetworkPppoePin");
        if (pin && std::strcmp(pin, kMask) != 0)
            write.add(FILETYPE_GLOBAL, "NetworkPppoePin");
    }
    if (!write.save())
        return write.reshow(response, this, &NetworkServlet::loadConfig);
    log_log(2, 6, "Network base has been changed!\n");
    if (NetworkRebootAsked(request))
        NetworkRebootNotice(response, kPage);
    else
        write.done(response);
    return 1;
}

TMPL_varlist* NetworkServlet::showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request)
{
    return AddShowLevel(varlist, request, kNetworkMenuBasic, CountOf(kNetworkMenuBasic), kItems,
                        CountOf(kItems));
}

HttpServlet* createNetworkServlet()
{
    return new NetworkServlet;
}
