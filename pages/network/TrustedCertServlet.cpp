#include "pages/network/TrustedCertServlet.h"

#include <unistd.h>

#include <cstring>
#include <string>

#include "frame/frame.h"
#include "pages/network/CertCommon.h"
#include "platform/certstore.h"
#include "platform/fileutil.h"

namespace {

constexpr char kPage[] = "trusted-cert";
constexpr char kStage[] = "/tmp/certxxxx.cer";
constexpr char kCertRoot[] = "/config/certs/";
const char* const kFields[] = {"HTTPSTrustCertificates", "HttpsCNValidation", "HttpsCaCert"};
const char* const kItems[] = {"TrustCertsRecords", "TrustCertsbtndeleteCerts",
                              "TrustCertsOnlyAcceptTrustedCerts", "TrustCertsUploadTrustCerts"};

const char* InstallError(int code)
{
    switch (code) {
    case -1: return "The cert file has prefabricated!";
    case -2: return "The cert file has existed!";
    case -3: return "Install certs failed!";
    case -10: return "Upload cert file error!";
    default: return "Other error!";
    }
}

// The last "/"-separated part of a path.
const char* LastPart(const char* path)
{
    const char* slash = strrchr(path, '/');
    return slash ? slash + 1 : path;
}

}  // namespace

void TrustedCertServlet::init()
{
    dl_set_option(1, kCertRoot);
    ApplyTrustedCertOptions();
}

int TrustedCertServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<TrustedCertServlet> kActions[] = {
        {"load", &TrustedCertServlet::loadConfig},
        {"write", &TrustedCertServlet::writeConfig},
        {"delete", &TrustedCertServlet::deleteCert},
        {"upload", &TrustedCertServlet::upload},
    };
    return DispatchPageAction(this, request, response, kActions);
}

int TrustedCertServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    CertInfoList list;
    if (dl_get_trust_ca_info(&list) != 0)
        list.count = 0;
    TMPL_loop* rows = nullptr;
    for (int i = 0; i < kMaxTrustedCerts; ++i) {
        std::string number = std::to_string(i + 1);
        TMPL_varlist* row = TMPL_add_var(nullptr, "row", number.c_str(), "setColor",
                                         (i + 1) % 2 ? "1" : "0", 0);
        if (i < list.count) {
            const CertInfo& info = list.certs[i];
            row = TMPL_add_var(row, "IssuedTo", EscapeHtml(info.IssuedTo).c_str(), "IssuedBy",
                               EscapeHtml(info.IssuedBy).c_str(), "Expiration",
                               EscapeHtml(info.Expiration).c_str(), "FilePath",
                               EscapeHtml(LastPart(info.path)).c_str(), 0);
        } else {
            row = TMPL_add_var(row, "IssuedTo", "", "IssuedBy", "", "Expiration", "", 0);
        }
        rows = TMPL_add_varlist(rows, row);
    }
    TMPL_varlist* varlist = TMPL_add_loop(nullptr, "TRLoop", rows);
    if (list.count == 0)
        varlist = TMPL_add_var(varlist, "noCerts", "1", 0);
    varlist = readConfigOperate(FILETYPE_GLOBAL, kFields, CountOf(kFields), varlist, 0);
    varlist = showItemsByLevel(varlist, request);
    RenderPage(response, "trusted-cert.htm", varlist);
    return 1;
}

int TrustedCertServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    PageWrite write(request, kPage);
    write.add(FILETYPE_GLOBAL, kFields, CountOf(kFields));
    if (!write.save())
        return write.reshow(response, this, &TrustedCertServlet::loadConfig);
    ApplyTrustedCertOptions();
    return FinishCertWrite(request, response, kPage);
}

int TrustedCertServlet::deleteCert(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response) || !MayChangePage(request, response))
        return 1;
    const char* names = request->getParameter("z");
    std::string list = names ? names : "";
    int deleted = 0, failed = 0;
    // Each name is followed by ","; text after the last one is no name.
    for (size_t start = 0, end; (end = list.find(',', start)) != std::string::npos; start = end + 1) {
        std::string name = list.substr(start, end - start);
        // Only the plain name of an installed certificate leads to a file.
        if (!isPlainFileName(name.c_str())) {
            ++failed;
            continue;
        }
        unlink(phonePath(std::string(kCertRoot) + "ca/" + name + ".MD5").c_str());
        if (dl_del_ca((kCertRoot + name).c_str()) == 0)
            ++deleted;
        else
            ++failed;
    }
    if (deleted)
        log_log(2, 4, "Delete %d trusted certificates success!\n", deleted);
    if (failed)
        log_log(2, 4, "Delete %d trusted certificates failed!\n", failed);
    RedirectToLoad(response, kPage);
    return 1;
}

int TrustedCertServlet::upload(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response) || !MayChangePage(request, response))
        return 1;
    bool moved = false;
    if (!StageCertUpload(request, response, kPage, kStage, moved)) {
        log_log(2, 4, "Import trusted cert error: The file is too large!\n");
        return 0;
    }
    int code = moved ? dl_install_ca(kStage) : -10;
    if (moved)
        unlink(phonePath(kStage).c_str());
    if (code == 0) {
        log_log(2, 6, "upload trusted cert: %s. success!\n", kStage);
        RedirectToLoad(response, kPage);
        return 1;
    }
    if (!moved)
        log_log(2, 4, "Import trusted cert error: filename = %s\n", kStage);
    log_log(2, 4, "Import trusted cert error: %d\n", code);
    SetNoticePage(response, false, kPage, InstallError(code));
    return 0;
}

TMPL_varlist* TrustedCertServlet::showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request)
{
    return AddShowLevel(varlist, request, kTrustedCertMenu, CountOf(kTrustedCertMenu), kItems,
                        CountOf(kItems));
}

HttpServlet* createTrustedCertServlet()
{
    return new TrustedCertServlet;
}
