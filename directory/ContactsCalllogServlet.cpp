#include "directory/ContactsCalllogServlet.h"

#include <pugixml.hpp>

#include <climits>
#include <cstring>
#include <sstream>
#include <string>

#include "directory/DirectoryMenu.h"
#include "frame/frame.h"

namespace {

constexpr char kPage[] = "contacts-calllog";
constexpr char kAccountFile[] = "/config/data/broadsoft_calllog_list.xml";
constexpr char kMask[] = "********";
constexpr char kItemWrong[] = "Error:Item is wrong!";

// Form field -> attribute of the entry.
const struct {
    const char* field;
    const char* attribute;
} kFields[] = {
    {"DisplayName", "name"}, {"Server", "server"}, {"Port", "port"}, {"UserName", "user_name"},
};

// The child at position z, counting only children with a name.
pugi::xml_node EntryAt(pugi::xml_node root, int z)
{
    int position = 0;
    for (pugi::xml_node child : root.children()) {
        if (!*child.name())
            continue;
        if (position++ == z)
            return child;
    }
    return pugi::xml_node();
}

bool LoadAccounts(pugi::xml_document& document)
{
    document.load_file(phonePath(kAccountFile).c_str());
    if (document.first_child())
        return true;
    log_log(2, 3, "load broadsoft_calllog_list.xml error!\n");
    return false;
}

}  // namespace

int ContactsCalllogServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<ContactsCalllogServlet> kActions[] = {
        {"load", &ContactsCalllogServlet::loadConfig},
        {"write", &ContactsCalllogServlet::writeConfig},
    };
    return DispatchPageAction(this, request, response, kActions);
}

int ContactsCalllogServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    int z = 0;
    const char* text = request->getParameter("z");
    // Absent, negative or not a number: the first entry.
    if (!text || !ParseDecimalInt(text, 0, INT_MAX, z))
        z = 0;
    pugi::xml_document document;
    if (!LoadAccounts(document))
        return 0;
    TMPL_varlist* varlist = nullptr;
    pugi::xml_node entry = EntryAt(document.first_child(), z);
    if (entry && std::strcmp(entry.name(), "item") == 0) {
        for (const auto& field : kFields)
            varlist = TMPL_add_var(varlist, field.field,
                                   EscapeHtml(entry.attribute(field.attribute).value()).c_str(), 0);
        if (*entry.attribute("password").value())
            varlist = TMPL_add_var(varlist, "PassWord", kMask, 0);
    }
    std::string index = std::to_string(z);
    varlist = TMPL_add_var(varlist, "var_calllogAccount", index.c_str(), 0);
    varlist = showItemsByLevel(varlist, request);
    RenderPage(response, "contacts-calllog.htm", varlist);
    return 1;
}

int ContactsCalllogServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response) || !MayChangePage(request, response))
        return 1;
    int z = 0;
    const char* text = request->getParameter("z");
    if (!text || !ParseDecimalInt(text, 0, INT_MAX, z)) {
        SetNoticePage(response, false, kPage, kItemWrong);
        return 0;
    }
    pugi::xml_document document;
    if (!LoadAccounts(document))
        return 0;
    pugi::xml_node entry = EntryAt(document.first_child(), z);
    const char* password = request->getParameter("PassWord");
    bool complete = entry && std::strcmp(entry.name(), "item") == 0 && password;
    for (const auto& field : kFields)
        complete = complete && request->getParameter(field.field);
    if (!complete) {
        SetNoticePage(response, false, kPage, kItemWrong);
        return 0;
    }
    for (const auto& field : kFields) {
        pugi::xml_attribute attribute = entry.attribute(field.attribute);
        if (attribute)
            attribute.set_value(request->getParameter(field.field));
    }
    pugi::xml_attribute stored = entry.attribute("password");
    if (stored && std::strcmp(password, kMask) != 0)
        stored.set_value(password);
    std::ostringstream out;
    document.save(out, "\t");
    if (!writeFileAtomic(phonePath(kAccountFile), out.str())) {
        SetNoticePage(response, false, kPage, "Error:The settings could not be saved!");
        return 0;
    }
    PostDirectoryChange(48, 0);
    MarkSaved(request);
    response->sendRedirect(("/servlet?p=contacts-calllog&q=load&z=" + std::to_string(z)).c_str());
    return 1;
}

TMPL_varlist* ContactsCalllogServlet::showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request)
{
    return AddDirectoryShowLevel(varlist, request, kPage, nullptr, 0);
}

HttpServlet* createContactsCalllogServlet()
{
    return new ContactsCalllogServlet;
}
