#include "directory/ContactsLDAPServlet.h"

#include <cstring>

#include "directory/DirectoryMenu.h"
#include "frame/frame.h"

namespace {

constexpr char kPage[] = "contacts-LDAP";
constexpr char kMask[] = "********";
const char* const kFields[] = {
    "LDAPNameFilter", "LDAPNumberFilter", "LDAPhost", "LDAPport", "LDAPbase", "LDAPuser",
    "LDAPpswd", "LDAPMaxHits", "LDAPNameAttr", "LDAPNumbAttr", "LDAPDisplayName", "LDAPversion",
    "LDAPCallInLookup", "LDAPSort", "LDAPSwitch",
};
const char* const kItems[] = {
    "ContactsLDAPSwitch", "ContactsLDAPNameFilter", "ContactsLDAPNumberFilter",
    "LDAPServerAddress", "LDAPPort", "LDAPBase", "LDAPUserName", "LDAPPassword",
};

}  // namespace

int ContactsLDAPServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<ContactsLDAPServlet> kActions[] = {
        {"load", &ContactsLDAPServlet::loadConfig},
        {"write", &ContactsLDAPServlet::writeConfig},
    };
    return DispatchPageAction(this, request, response, kActions);
}

int ContactsLDAPServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    TMPL_varlist* varlist =
        readConfigOperate(FILETYPE_GLOBAL, kFields, CountOf(kFields), nullptr, 0);
    // The directory password never goes to the browser; the mask keeps it.
    bool hasPassword = !GetConfigValue(FILETYPE_GLOBAL, "LDAPpswd", 0).empty();
    varlist = TMPL_add_var(varlist, "LDAPpswd", hasPassword ? kMask : "", 0);
    varlist = readConfigOperate(FILETYPE_GLOBAL, "BSFTActive", varlist, 0);
    varlist = showItemsByLevel(varlist, request);
    varlist = TMPL_add_var(varlist, "bM7xType", "true", 0);
    RenderPage(response, "contacts-LDAP.htm", varlist);
    return 1;
}

int ContactsLDAPServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    log_log(2, 6, "Contacts LDAP writeConfig start...\n");
    PageWrite write(request, kPage);
    const char* password = request->getParameter("LDAPpswd");
    for (const char* name : kFields) {
        // The mask stands for the stored password.
        if (std::strcmp(name, "LDAPpswd") != 0 || !password || std::strcmp(password, kMask) != 0)
            write.add(FILETYPE_GLOBAL, name);
    }
    if (!write.save())
        return write.reshow(response, this, &ContactsLDAPServlet::loadConfig);
    write.done(response);
    PostDirectoryChange(35, 0);
    log_log(2, 6, "Contacts LDAP has been changed!\n");
    return 1;
}

TMPL_varlist* ContactsLDAPServlet::showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request)
{
    return AddDirectoryShowLevel(varlist, request, kPage, kItems, CountOf(kItems));
}

HttpServlet* createContactsLDAPServlet()
{
    return new ContactsLDAPServlet;
}
