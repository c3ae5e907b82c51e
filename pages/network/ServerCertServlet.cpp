#include "pages/network/ServerCertServlet.h"

#include <unistd.h>

#include "frame/frame.h"
#include "pages/network/CertCommon.h"
#include "platform/certstore.h"

namespace {

constexpr char kPage[] = "server-cert";
constexpr char kStage[] = "/tmp/WebServer.pem";
const char* const kItems[] = {"ServerCertsRecords", "ServerCertsUpload"};

const char* InstallError(int code)
{
    if (code == -8)
        return "The cert file has prefabricated!";
    if (code == -7)
        return "The cert file has existed!";
    return "Install server certs error!";
}

}  // namespace

void ServerCertServlet::init()
{
    dl_set_option(2, "/config/certs/server/WebServer.pem");
    ApplyServerCertOption();
}

int ServerCertServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<ServerCertServlet> kActions[] = {
        {"load", &ServerCertServlet::loadConfig},
        {"write", &ServerCertServlet::writeConfig},
        {"delete", &ServerCertServlet::deleteCert},
        {"upload", &ServerCertServlet::upload},
    };
    return DispatchPageAction(this, request, response, kActions);
}

int ServerCertServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    CertInfo info;
    TMPL_loop* rows = nullptr;
    TMPL_varlist* varlist = nullptr;
    if (dl_get_ser_ca_info(&info) == 0)
        rows = AddCertRow(rows, &info, nullptr, nullptr);
    else
        varlist = TMPL_add_var(varlist, "count", "0", 0);
    varlist = TMPL_add_loop(varlist, "TRLoop", rows);
    varlist = readConfigOperate(FILETYPE_GLOBAL, "HttpsDevCert", varlist, 0);
    varlist = showItemsByLevel(varlist, request);
    RenderPage(response, "server-cert.htm", varlist);
    return 1;
}

int ServerCertServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    PageWrite write(request, kPage);
    write.add(FILETYPE_GLOBAL, "HttpsDevCert");
    if (!write.save())
        return write.reshow(response, this, &ServerCertServlet::loadConfig);
    ApplyServerCertOption();
    return FinishCertWrite(request, response, kPage);
}

int ServerCertServlet::deleteCert(HttpRequest* request, HttpResponse* response)
{
    (void)request;
    if (IsInTalking(response) || !MayChangePage(request, response))
        return 1;
    int result = dl_del_ser_ca();
    unlink(phonePath("/config/certs/server/WebServer.pem.MD5").c_str());
    if (result == -1) {
        log_log(2, 4, "Delete server certs error!");
        SetNoticePage(response, false, kPage, "Delete server certs error!");
        return 1;
    }
    log_log(2, 6, "Delete server certificate success!\n");
    RedirectToLoad(response, kPage);
    return 1;
}

int ServerCertServlet::upload(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response) || !MayChangePage(request, response))
        return 1;
    bool moved = false;
    if (!StageCertUpload(request, response, kPage, kStage, moved))
        return 0;
    int code = moved ? dl_install_ser_ca(kStage) : -1;
    if (moved)
        unlink(phonePath(kStage).c_str());
    if (code == 0) {
        log_log(2, 6, "upload server cert success!\n");
        RedirectToLoad(response, kPage);
        return 1;
    }
    if (!moved)
        log_log(2, 4, "Import server cert error!\n");
    log_log(2, 4, "Import server cert error: %d\n", code);
    SetNoticePage(response, false, kPage, InstallError(code));
    return 0;
}

TMPL_varlist* ServerCertServlet::showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request)
{
    return AddShowLevel(varlist, request, kServerCertMenu, CountOf(kServerCertMenu), kItems,
                        CountOf(kItems));
}

HttpServlet* createServerCertServlet()
{
    return new ServerCertServlet;
}
