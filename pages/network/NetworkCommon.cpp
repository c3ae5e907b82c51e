#include "pages/network/NetworkCommon.h"

#include <cstring>

#include "frame/frame.h"
#include "platform/msgids.h"

const char* const kNetworkMenuBasic[3] = {"network-basic", "network-advanced", "network-pcport"};
const char* const kNetworkMenuPCPort[3] = {"network-pcport", "network-basic", "network-advanced"};
const char* const kNetworkMenuAdv[3] = {"network-advanced", "network-basic", "network-pcport"};

namespace {
constexpr unsigned int kChangedNetwork = 9;
}

bool NetworkRebootAsked(HttpRequest* request)
{
    const char* reboot = request->getParameter("reboot");
    return reboot && std::strcmp(reboot, "true") == 0;
}

void NetworkRebootNotice(HttpResponse* response, const char* pageName)
{
    msgBroadpostThreadMsg(kMsgConfigChanged, kChangedNetwork, 0);
    SetNoticePage(response, true, pageName, "Rebooting , please wait ...");
}
