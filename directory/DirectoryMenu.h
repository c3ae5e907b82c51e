// The directory pages form one menu group: each lists its own page name
// first, then the others in one fixed order.
#pragma once

#include "frame/http.h"

struct TMPL_varlist;

// ShowLevel of a directory page (`own` first), its items, "Identity" and the
// device variables.
TMPL_varlist* AddDirectoryShowLevel(TMPL_varlist* varlist, HttpRequest* request, const char* own,
                                    const char* const* items, int count);

// Posts 0x10007 with wparam/lparam to "app_vpPhone".
void PostDirectoryChange(unsigned int wparam, int lparam);
