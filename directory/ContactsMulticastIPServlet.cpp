#include "directory/ContactsMulticastIPServlet.h"

#include <string>

#include "directory/DirectoryMenu.h"
#include "frame/frame.h"
#include "platform/msgids.h"

namespace {

constexpr char kPage[] = "contacts-multicastIP";
constexpr int kAddresses = 10;
const char* const kReceiveFields[] = {"ReceiveActive", "ReceivePriority"};
const char* const kItems[] = {"MulticastIPReceivePriority", "MulticastIPConfig",
                              "MulticastIPPagePriorityActive"};

std::string AddressField(int i, const char* what)
{
    return "ListenAddress" + std::to_string(i) + what;
}

}  // namespace

int ContactsMulticastIPServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<ContactsMulticastIPServlet> kActions[] = {
        {"load", &ContactsMulticastIPServlet::loadConfig},
        {"write", &ContactsMulticastIPServlet::writeConfig},
    };
    return DispatchPageAction(this, request, response, kActions);
}

int ContactsMulticastIPServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    TMPL_varlist* varlist =
        readConfigOperate(FILETYPE_GLOBAL, kReceiveFields, CountOf(kReceiveFields), nullptr, 0);
    TMPL_loop* rows = nullptr;
    for (int i = 1; i <= kAddresses; ++i) {
        char address[kConfigValueRoom], label[kConfigValueRoom];
        readConfigOperate(FILETYPE_GLOBAL, AddressField(i, "IPAddress").c_str(), address, 0);
        readConfigOperate(FILETYPE_GLOBAL, AddressField(i, "Label").c_str(), label, 0);
        std::string index = std::to_string(i);
        std::string section = "ListenAddress" + index;
        rows = TMPL_add_varlist(rows, TMPL_add_var(nullptr, "index", index.c_str(), "section",
                                                   section.c_str(), "IPAddress", address, "Label",
                                                   label, "classStyle", i % 2 ? "0" : "1", 0));
    }
    varlist = TMPL_add_loop(varlist, "multicastIPloop", rows);
    varlist = readConfigOperate(FILETYPE_GLOBAL, "BSFTActive", varlist, 0);
    varlist = showItemsByLevel(varlist, request);
    RenderPage(response, "contacts-multicastIP.htm", varlist);
    return 1;
}

int ContactsMulticastIPServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    PageWrite write(request, kPage);
    write.add(FILETYPE_GLOBAL, kReceiveFields, CountOf(kReceiveFields));
    for (int i = 1; i <= kAddresses; ++i)
        for (const char* what : {"IPAddress", "Label"})
            write.add(FILETYPE_GLOBAL, AddressField(i, what).c_str());
    if (!write.save())
        return write.reshow(response, this, &ContactsMulticastIPServlet::loadConfig);
    if (write.anyChanged())
        msgBroadpostThreadMsg(kMsgConfigChanged, 42, 0);
    write.done(response);
    return 1;
}

TMPL_varlist* ContactsMulticastIPServlet::showItemsByLevel(TMPL_varlist* varlist,
                                                           HttpRequest* request)
{
    return AddDirectoryShowLevel(varlist, request, kPage, kItems, CountOf(kItems));
}

HttpServlet* createContactsMulticastIPServlet()
{
    return new ContactsMulticastIPServlet;
}
