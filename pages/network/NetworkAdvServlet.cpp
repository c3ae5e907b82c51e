#include "pages/network/NetworkAdvServlet.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <list>
#include <string>

#include "frame/frame.h"
#include "pages/network/NetworkCommon.h"
#include "platform/archive.h"
#include "platform/certstore.h"

namespace {

constexpr char kPage[] = "network-adv";
constexpr char kMask[] = "********";
constexpr char kResultTemplate[] = "upload-result.htm";
constexpr char kDot1xFolder[] = "/config/dot1x/";
constexpr char kVpnFolder[] = "/config/openvpn";
constexpr char kVpnStage[] = "/config/openvpn.new";
// What an OpenVPN configuration may unpack to.
constexpr long long kVpnMaxBytes = 4LL << 20;

const char* const kLoadFields[] = {
    "VlanWanSwitch", "VlanWanVid", "VlanWanPriority", "VlanPcSwitch", "VlanPcVid",
    "VlanPcPriority", "VpnSwitch", "EthernetWANPortLink", "EthernetPCPortLink", "LLDPSwitch",
    "LLDPPacketInterval", "NetworkSIGNALTOS", "NetworkRTPTOS", "NetworkMaxRTPPort",
    "NetworkMinRTPPort", "NetworksnmpSwitch", "NetworksnmpPort", "NetworksnmpTrustedAddress",
    "NetworkhttpPort", "NetworkhttpsPort", "Network802_1XMode", "Network802_1XIdentity",
    "NetworkRegSurgePrevention", "NetworkLanSpanToPCPort", "VlanDhcpSwitch", "VlanDhcpOption",
    "NetworkIPv6AutoIPConf", "NetworkWanType", "HttpServerSwitch", "HttpsServerSwitch",
};
const char* const kWriteFields[] = {
    "VlanWanSwitch", "VlanWanVid", "VlanWanPriority", "VlanPcSwitch", "VlanPcVid",
    "VlanPcPriority", "EthernetWANPortLink", "EthernetPCPortLink", "LLDPSwitch",
    "LLDPPacketInterval", "NetworkSIGNALTOS", "NetworkRTPTOS", "NetworkMaxRTPPort",
    "NetworkMinRTPPort", "NetworksnmpSwitch", "NetworksnmpPort", "NetworksnmpTrustedAddress",
    "NetworkhttpPort", "NetworkhttpsPort", "Network802_1XIdentity", "VpnSwitch",
    "Network802_1XMode", "NetworkRegSurgePrevention", "NetworkLanSpanToPCPort", "VlanDhcpSwitch",
    "VlanDhcpOption", "NetworkIPv6AutoIPConf", "HttpServerSwitch", "HttpsServerSwitch",
};
const char* const kItems[] = {
    "AdvLLDPItems", "AdvVLANItems", "AdvVoiceQoS", "AdvLocalRTPPort", "AdvWebServer", "Adv8021x",
    "AdvSNMPItems", "AdvOpenVPN", "AdvPortLink", "AdvSpanToPcport", "AdvRegSurgePrev",
    "AdvICMPv6Status",
};

bool PhoneFileExists(const char* path)
{
    return access(phonePath(path).c_str(), F_OK) == 0;
}

bool VpnConfigured()
{
    std::list<std::string> names;
    ReadFiles::FindFiles(&names, kVpnFolder, ".cnf", false, true);
    return !names.empty();
}

// The answer to both uploads: the result page, with "result" = "success"
// only when the new file is in place, else the reason.
int RenderUploadResult(HttpResponse* response, bool success, const char* reason)
{
    TMPL_varlist* varlist = TMPL_add_var(nullptr, "returnPage", kPage, 0);
    if (success)
        varlist = TMPL_add_var(varlist, "result", "success", 0);
    else if (reason)
        varlist = TMPL_add_var(varlist, "reason", reason, 0);
    RenderPage(response, kResultTemplate, varlist);
    return 1;
}

void RemoveUpload(const char* phone)
{
    if (phone)
        unlink(phonePath(phone).c_str());
}

}  // namespace

int NetworkAdvServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<NetworkAdvServlet> kActions[] = {
        {"load", &NetworkAdvServlet::loadConfig},
        {"write", &NetworkAdvServlet::writeConfig},
        {"upload", &NetworkAdvServlet::upload},
        {"uploadCaFile", &NetworkAdvServlet::uploadCaFile},
    };
    return DispatchPageAction(this, request, response, kActions);
}

int NetworkAdvServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    TMPL_varlist* varlist =
        readConfigOperate(FILETYPE_GLOBAL, kLoadFields, CountOf(kLoadFields), nullptr, 0);
    varlist = TMPL_add_var(varlist, "VPNEnable", VpnConfigured() ? "true" : "false", 0);
    if (PhoneFileExists("/config/dot1x/ca.pem"))
        varlist = readConfigOperate(FILETYPE_GLOBAL, "Network802_1CA_FileName", varlist, 0);
    if (PhoneFileExists("/config/dot1x/client.pem"))
        varlist = readConfigOperate(FILETYPE_GLOBAL, "Network802_1Device_FileName", varlist, 0);
    if (PhoneFileExists("/config/openvpn/vpn.cnf"))
        varlist = TMPL_add_var(varlist, "VPNFileShowName", "vpn.cnf", 0);
    if (!GetConfigValue(FILETYPE_GLOBAL, "Network802_1XMD5Passwd", 0).empty())
        varlist = TMPL_add_var(varlist, "Network802_1XMD5Passwd", kMask, 0);
    varlist = showItemsByLevel(varlist, request);
    RenderPage(response, "network-adv.htm", varlist);
    return 1;
}

int NetworkAdvServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    log_log(2, 6, "Network advance writeConfig start...\n");
    PageWrite write(request, kPage);
    write.add(FILETYPE_GLOBAL, kWriteFields, CountOf(kWriteFields));
    const char* password = request->getParameter("Network802_1XMD5Passwd");
    if (password && std::strcmp(password, kMask) != 0)
        write.add(FILETYPE_GLOBAL, "Network802_1XMD5Passwd");
    if (!write.save())
        return write.reshow(response, this, &NetworkAdvServlet::loadConfig);
    log_log(2, 6, "Network advance has been changed!\n");
    if (NetworkRebootAsked(request))
        NetworkRebootNotice(response, kPage);
    else
        write.done(response);
    return 1;
}

int NetworkAdvServlet::upload(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response) || !MayChangePage(request, response))
        return 1;
    if (request->getContentLength() >= kCertUploadLimit)
        return RenderUploadResult(response, false, "The file is too large!");
    request->setUploadFileTemplate("/tmp/vpnupload_XXXXXX");
    const char** values = request->getParameterValues("pemFile");
    if (!values || !values[0])
        return RenderUploadResult(response, false, nullptr);
    // The old configuration stays until the new one is unpacked whole.
    std::string stage = phonePath(kVpnStage);
    std::string error;
    removeTree(stage);
    bool ok = unpackArchiveChecked(phonePath(values[0]), stage, kVpnMaxBytes, error) &&
              replaceFolder(stage, phonePath(kVpnFolder));
    RemoveUpload(values[0]);
    if (!ok) {
        removeTree(stage);
        log_log(2, 4, "Upload VPN file refused: %s\n", error.c_str());
        return RenderUploadResult(response, false, "Error:Import VPN file error!");
    }
    log_log(2, 6, "Upload VPN file success!\n");
    return RenderUploadResult(response, true, nullptr);
}

int NetworkAdvServlet::uploadCaFile(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response) || !MayChangePage(request, response))
        return 1;
    if (request->getContentLength() >= kCertUploadLimit)
        return RenderUploadResult(response, false, "The file is too large!");
    makeDirs(phonePath(kDot1xFolder));
    request->setUploadFileTemplate("/config/dot1x/fileupload_XXXXXX");
    const char** values = request->getParameterValues("pemFile");
    const char* type = request->getParameter("type");
    if (!values || !values[0])
        return RenderUploadResult(response, false, nullptr);
    char name[kFileNameSize] = "";
    GetSimpleUpdateFileName(values[1], name, sizeof name);
    const char* target = nullptr;
    const char* nameField = nullptr;
    if (type && std::strcmp(type, "ca") == 0) {
        target = "/config/dot1x/ca.pem";
        nameField = "Network802_1CA_FileName";
    } else if (type && std::strcmp(type, "client") == 0) {
        target = "/config/dot1x/client.pem";
        nameField = "Network802_1Device_FileName";
    }
    // Only a certificate the phone can read replaces the installed one.
    if (!target || !certFileReadable(values[0]) || !RenameUploadFile(values[0], target)) {
        RemoveUpload(values[0]);
        log_log(2, 6, "Upload EAP file[%s] failed!\n", name);
        return RenderUploadResult(response, false, target ? "Error:Not a certificate!" : nullptr);
    }
    writeConfigOperate(FILETYPE_GLOBAL, nameField, name, 0);
    log_log(2, 6, "Upload EAP file[%s] success!\n", name);
    return RenderUploadResult(response, true, nullptr);
}

TMPL_varlist* NetworkAdvServlet::showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request)
{
    return AddShowLevel(varlist, request, kNetworkMenuAdv, CountOf(kNetworkMenuAdv), kItems,
                        CountOf(kItems));
}

HttpServlet* createNetworkAdvServlet()
{
    return new NetworkAdvServlet;
}
