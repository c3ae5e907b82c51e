// What the network pages share: the menu group, the upload limit and the
// reboot that applies a change.
#pragma once

#include "frame/http.h"

struct TMPL_varlist;

// Uploads of this size or more are refused before anything is stored.
constexpr long long kCertUploadLimit = 0x500000;

extern const char* const kNetworkMenuBasic[3];
extern const char* const kNetworkMenuPCPort[3];
extern const char* const kNetworkMenuAdv[3];

// Whether the form asks for the reboot ("reboot" = "true"); the notice then
// follows the broadcast of the network change.
bool NetworkRebootAsked(HttpRequest* request);
void NetworkRebootNotice(HttpResponse* response, const char* pageName);
