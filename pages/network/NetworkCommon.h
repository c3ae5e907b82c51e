// What the network pages share: the menu group, the end of a write (the
// reboot notice, or the page again) and the certificate pages' upload steps.
#pragma once

#include "frame/http.h"

struct TMPL_varlist;

// Uploads of this size or more are refused before anything is stored.
constexpr long long kCertUploadLimit = 0x500000;

extern const char* const kNetworkMenuBasic[3];
extern const char* const kNetworkMenuPCPort[3];
extern const char* const kNetworkMenuAdv[3];

// After a write: with the form field "reboot" = "true" broadcasts the network
// change and shows the reboot notice for `page`; otherwise renders the page
// again through `load` with "Saved" (or the refusal when nothing could be
// stored).
template <typename Page>
int FinishNetworkWrite(Page* page, HttpRequest* request, HttpResponse* response,
                       const char* pageName, bool stored,
                       int (Page::*load)(HttpRequest*, HttpResponse*, const char*));

// Stores a global value when there is one; false only when the store failed.
bool StoreIfGiven(const char* name, const char* value);

bool NetworkRebootAsked(HttpRequest* request);
void NetworkRebootNotice(HttpResponse* response, const char* pageName);

template <typename Page>
int FinishNetworkWrite(Page* page, HttpRequest* request, HttpResponse* response,
                       const char* pageName, bool stored,
                       int (Page::*load)(HttpRequest*, HttpResponse*, const char*))
{
    if (stored && NetworkRebootAsked(request)) {
        NetworkRebootNotice(response, pageName);
        return 1;
    }
    return (page->*load)(request, response, stored ? "Saved" : "NotSaved");
}
