#include "directory/ContactsRemoteServlet.h"

#include <pugixml.hpp>

#include <cstring>
#include <sstream>
#include <string>

#include "directory/DirectoryMenu.h"
#include "frame/frame.h"

namespace {

constexpr char kPage[] = "contacts-remote";
constexpr char kBookFile[] = "/config/data/remote_phonebook_list.xml";
constexpr int kBooks = 5;
const char* const kFields[] = {"SearchNameFromRemoteSwitch", "SRemoteNameFlashTime"};
const char* const kItems[] = {"RemotePhonebookList", "CoantactsSRemoteNameEnable",
                              "CoantactsSRemoteNameFlashTime"};

std::string BookField(int i, const char* what)
{
    return "RemotePhoneBook" + std::to_string(i) + what;
}

}  // namespace

int ContactsRemoteServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<ContactsRemoteServlet> kActions[] = {
        {"load", &ContactsRemoteServlet::loadConfig},
        {"write", &ContactsRemoteServlet::writeConfig},
    };
    return DispatchPageAction(this, request, response, kActions);
}

int ContactsRemoteServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    pugi::xml_document document;
    document.load_file(phonePath(kBookFile).c_str());
    pugi::xml_node root = document.first_child();
    if (!root) {
        log_log(2, 3, "load remote_phonebook_list.xml error!\n");
        return 0;
    }
    TMPL_varlist* varlist = nullptr;
    int i = 0;
    for (pugi::xml_node item = root.child("item"); item && i < kBooks;
         item = item.next_sibling("item"), ++i) {
        varlist = TMPL_add_var(varlist, BookField(i, "URL").c_str(),
                               EscapeHtml(item.attribute("url").value()).c_str(),
                               BookField(i, "Name").c_str(),
                               EscapeHtml(item.attribute("name").value()).c_str(), 0);
    }
    for (; i < kBooks; ++i)
        varlist = TMPL_add_var(varlist, BookField(i, "URL").c_str(), "", BookField(i, "Name").c_str(),
                               "", 0);
    varlist = readConfigOperate(FILETYPE_GLOBAL, kFields, CountOf(kFields), varlist, 0);
    varlist = readConfigOperate(FILETYPE_GLOBAL, "BSFTActive", varlist, 0);
    varlist = showItemsByLevel(varlist, request);
    RenderPage(response, "contacts-remote.htm", varlist);
    return 1;
}

int ContactsRemoteServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response) || !MayChangePage(request, response))
        return 1;
    pugi::xml_document document;
    document.load_file(phonePath(kBookFile).c_str());
    pugi::xml_node root = document.first_child();
    if (!root) {
        SetNoticePage(response, false, kPage, "Error:Write remote_phonebook_list.xml error!");
        return 0;
    }
    bool changed = false;
    int i = 0;
    for (pugi::xml_node child = root.first_child(); child && i < kBooks;
         child = child.next_sibling(), ++i) {
        if (std::strcmp(child.name(), "item") != 0)
            continue;
        const char* name = request->getParameter(BookField(i, "Name").c_str());
        const char* url = request->getParameter(BookField(i, "URL").c_str());
        if (!name || !url)
            continue;
        if (std::strcmp(child.attribute("name").value(), name) != 0) {
            log_log(2, 6, "Remote phonebook item[%d] name change to %s\n", i, name);
            (child.attribute("name") ? child.attribute("name") : child.append_attribute("name")).set_value(name);
            changed = true;
        }
        if (std::strcmp(child.attribute("url").value(), url) != 0) {
            log_log(2, 6, "Remote phonebook item[%d] url change to %s\n", i, url);
            (child.attribute("url") ? child.attribute("url") : child.append_attribute("url")).set_value(url);
            changed = true;
        }
    }
    if (changed) {
        std::ostringstream out;
        document.save(out, "\t");
        if (!writeFileAtomic(phonePath(kBookFile), out.str())) {
            SetNoticePage(response, false, kPage, "Error:Write remote_phonebook_list.xml error!");
            return 0;
        }
        PostDirectoryChange(47, 0);
    }
    PageWrite write(request, kPage);
    write.add(FILETYPE_GLOBAL, kFields, CountOf(kFields));
    if (!write.save())
        return write.reshow(response, this, &ContactsRemoteServlet::loadConfig);
    if (write.changed("SRemoteNameFlashTime"))
        PostDirectoryChange(47, 1);
    write.done(response);
    return 1;
}

TMPL_varlist* ContactsRemoteServlet::showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request)
{
    return AddDirectoryShowLevel(varlist, request, kPage, kItems, CountOf(kItems));
}

HttpServlet* createContactsRemoteServlet()
{
    return new ContactsRemoteServlet;
}
