// What the two certificate pages share: the menu group, the trust options
// taken from the configuration, and the steps of an upload.
#pragma once

#include "frame/http.h"

struct CertInfo;
struct TMPL_loop;

extern const char* const kServerCertMenu[3];
extern const char* const kTrustedCertMenu[3];

// The store's server certificate in use, from "HttpsDevCert".
void ApplyServerCertOption();
// The trusted CA set from "HttpsCaCert" and CN validation from
// "HttpsCNValidation".
void ApplyTrustedCertOptions();

// A certificate as one row: "IssuedTo", "IssuedBy", "Expiration".
TMPL_loop* AddCertRow(TMPL_loop* loop, const CertInfo* info, const char* extraName,
                      const char* extraValue);

// Stages the upload field "certificatefile" at stagePath. Returns false
// (after the notice) when the body is too large or nothing was uploaded.
// `moved` tells whether the staging file was made.
bool StageCertUpload(HttpRequest* request, HttpResponse* response, const char* page,
                     const char* stagePath, bool& moved);

// After the optional reboot: sysReboot and the notice, else back to load.
int FinishCertWrite(HttpRequest* request, HttpResponse* response, const char* page);
