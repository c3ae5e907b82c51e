#include "directory/DirectoryMenu.h"

#include <cstring>

#include "frame/frame.h"
#include "platform/msgids.h"

namespace {

const char* const kDirectoryPages[] = {
    "contacts-basic", "contacts-remote", "contacts-callinfo", "contacts-LDAP",
    "contacts-multicastIP", "contacts-broadsoft", "contacts-favorite",
};
constexpr int kPageCount = sizeof kDirectoryPages / sizeof kDirectoryPages[0];

}  // namespace

TMPL_varlist* AddDirectoryShowLevel(TMPL_varlist* varlist, HttpRequest* request, const char* own,
                                    const char* const* items, int count)
{
    const char* menu[kPageCount + 1];
    int n = 0;
    menu[n++] = own;
    for (const char* page : kDirectoryPages)
        if (std::strcmp(page, own) != 0)
            menu[n++] = page;
    return AddShowLevel(varlist, request, menu, n, items, count);
}

void PostDirectoryChange(unsigned int wparam, int lparam)
{
    msgPostMsgToThread(msgGetThreadByName("app_vpPhone"), kMsgConfigChanged, wparam, lparam);
}
