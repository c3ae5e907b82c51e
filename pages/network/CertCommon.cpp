#include "pages/network/CertCommon.h"

#include <unistd.h>

#include <cstring>

#include "frame/frame.h"
#include "pages/network/NetworkCommon.h"
#include "platform/certstore.h"

const char* const kServerCertMenu[3] = {"server_cert", "trusted_cert", "password"};
const char* const kTrustedCertMenu[3] = {"trusted_cert", "password", "server_cert"};

void ApplyServerCertOption()
{
    std::string choice = GetConfigValue(FILETYPE_GLOBAL, "HttpsDevCert", 0);
    if (choice == "1")
        dl_set_option(12, "/config/certs/server/WebServer.pem");
    else if (choice == "0")
        dl_set_option(12, "/config/certs/phonedev/WebServer.pem");
}

void ApplyTrustedCertOptions()
{
    std::string set = GetConfigValue(FILETYPE_GLOBAL, "HttpsCaCert", 0);
    if (set == "1")
        dl_set_option(11, "/config/certs/");
    else if (set == "0")
        dl_set_option(11, "/config/certs/phoneca");
    else if (set == "2")
        dl_set_option(11, "/config/certs/ca");
    int validation = configParser_GetConfigInt("HttpsCNValidation");
    dl_set_option(10, &validation);
}

TMPL_loop* AddCertRow(TMPL_loop* loop, const CertInfo* info, const char* extraName,
                      const char* extraValue)
{
    // The names come from the certificate, which anybody can make.
    TMPL_varlist* row = TMPL_add_var(nullptr, "IssuedTo", EscapeHtml(info->IssuedTo).c_str(),
                                     "IssuedBy", EscapeHtml(info->IssuedBy).c_str(), "Expiration",
                                     EscapeHtml(info->Expiration).c_str(), 0);
    if (extraName)
        row = TMPL_add_var(row, extraName, EscapeHtml(extraValue).c_str(), 0);
    return TMPL_add_varlist(loop, row);
}

bool StageCertUpload(HttpRequest* request, HttpResponse* response, const char* page,
                     const char* stagePath, bool& moved)
{
    moved = false;
    if (request->getContentLength() >= kCertUploadLimit) {
        SetNoticePage(response, false, page, "The file is too large!");
        return false;
    }
    request->setUploadFileTemplate("/tmp/cert_XXXXXX");
    const char** values = request->getParameterValues("certificatefile");
    if (!values || !values[0]) {
        SetNoticePage(response, false, page, "Error:Please choose a certificate file!");
        return false;
    }
    moved = RenameUploadFile(values[0], stagePath) == 1;
    if (!moved)
        unlink(phonePath(values[0]).c_str());
    return true;
}

int FinishCertWrite(HttpRequest* request, HttpResponse* response, const char* page)
{
    if (NetworkRebootAsked(request)) {
        sysReboot(5);
        SetNoticePage(response, true, "trusted-cert", "Rebooting , please wait ...");
        return 1;
    }
    MarkSaved(request);
    RedirectToLoad(response, page);
    return 1;
}
