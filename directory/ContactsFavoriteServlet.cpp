#include "directory/ContactsFavoriteServlet.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstring>
#include <sstream>

#include "directory/DirectoryMenu.h"
#include "frame/frame.h"
#include "platform/msgids.h"

namespace {

constexpr char kPage[] = "contacts-favorite";
constexpr char kFavoriteFile[] = "/config/data/favorite_setting.xml";
constexpr char kSearchFile[] = "/config/data/super_search.xml";
const char* const kItems[] = {"SettingFavoriteTable", "SettingSearchTable"};

const char* const kHiddenFavorites[] = {"broadsoftcalllog", "broadsoftdirectory",
                                        "networkdirectory", "networkcalllog"};
const char* const kHiddenSearch[] = {"BroadSoft_directory_search", "Network_directory_search"};

const struct {
    const char* id;
    const char* name;
} kDefaultNames[] = {
    {"history", "History"},
    {"networkcalllog", "Network Calllog"},
    {"broadsoftcalllog", "Network Calllog"},
    {"localdirectory", "Local Contacts"},
    {"remotedirectory", "Remote Phone Book"},
    {"ldap", "LDAP"},
    {"broadsoftdirectory", "Network Directories"},
    {"networkdirectory", "Network Directories"},
    {"BroadSoft_directory_search", "Network Directories"},
    {"Network_directory_search", "Network Directories"},
    {"local_directory_search", "Local Contacts"},
    {"calllog_search", "History"},
    {"remote_directory_search", "Remote Phonebook"},
    {"ldap_search", "LDAP"},
};

bool IsFavoriteFile(const char* path)
{
    return std::strcmp(path, kFavoriteFile) == 0;
}

bool IsHidden(const std::string& id, const char* path)
{
    if (IsFavoriteFile(path))
        return std::find(std::begin(kHiddenFavorites), std::end(kHiddenFavorites), id) !=
               std::end(kHiddenFavorites);
    return std::find(std::begin(kHiddenSearch), std::end(kHiddenSearch), id) !=
           std::end(kHiddenSearch);
}

bool BsftActive()
{
    return configParser_GetConfigInt("BSFTActive") != 0;
}

TMPL_loop* AddRow(TMPL_loop* loop, const _contactGroup& entry)
{
    // Names come from a file other programs write too.
    return TMPL_add_varlist(loop, TMPL_add_var(nullptr, "selValue", EscapeHtml(entry.idName).c_str(),
                                               "selName", EscapeHtml(entry.displayName).c_str(), 0));
}

void AppendItem(pugi::xml_node root, const _contactGroup& entry)
{
    pugi::xml_node item = root.append_child("item");
    item.append_attribute("id_name") = entry.idName.c_str();
    item.append_attribute("display_name") = entry.displayName.c_str();
    item.append_attribute("priority") = entry.priority.c_str();
    item.append_attribute("enable") = entry.enabled ? "1" : "0";
}

}  // namespace

std::string GetDisplayNameByID(std::string idName)
{
    for (const auto& entry : kDefaultNames)
        if (idName == entry.id)
            return entry.name;
    return idName;
}

void getLoops(const ContactGroupList& list, TMPL_loop*& enabled, TMPL_loop*& disabled)
{
    ContactGroupList ordered;
    for (const _contactGroup& entry : list) {
        if (entry.enabled)
            ordered.push_back(entry);
        else
            disabled = AddRow(disabled, entry);
    }
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const _contactGroup& a, const _contactGroup& b) { return a.priority < b.priority; });
    for (const _contactGroup& entry : ordered)
        enabled = AddRow(enabled, entry);
}

void getListFromPage(ContactGroupList& out, const char** disabled, const char** enabled,
                     const ContactGroupList& current)
{
    auto add = [&](const char* id, bool on, const std::string& priority) {
        _contactGroup entry;
        entry.idName = id;
        entry.enabled = on;
        entry.priority = priority;
        for (const _contactGroup& known : current)
            if (known.idName == entry.idName)
                entry.displayName = known.displayName.empty() ? GetDisplayNameByID(id) : known.displayName;
        out.push_back(entry);
    };
    for (int i = 0; disabled && disabled[i]; ++i)
        add(disabled[i], false, "");
    for (int i = 0; enabled && enabled[i]; ++i)
        add(enabled[i], true, std::to_string(i + 1));
}

ContactGroupList& ContactsFavoriteServlet::hiddenOf(const char* path)
{
    return IsFavoriteFile(path) ? hiddenFavorites_ : hiddenSearch_;
}

bool ContactsFavoriteServlet::getContactGroupLists(ContactGroupList& list, const char* path,
                                                   bool bsftActive)
{
    list.clear();
    pugi::xml_document document;
    if (!document.load_file(phonePath(path).c_str())) {
        log_log(2, 3, "load favoriteXML file failed!!!\n");
        return false;
    }
    pugi::xml_node root = document.first_child();
    if (!root) {
        log_log(2, 3, "load favorite_setting.xml error!\n");
        return false;
    }
    ContactGroupList& hidden = hiddenOf(path);
    hidden.clear();
    for (pugi::xml_node item : root.children("item")) {
        _contactGroup entry;
        entry.idName = item.attribute("id_name").value();
        entry.displayName = item.attribute("display_name").value();
        if (entry.displayName.empty())
            entry.displayName = GetDisplayNameByID(entry.idName);
        entry.priority = item.attribute("priority").value();
        entry.enabled = std::strcmp(item.attribute("enable").value(), "1") == 0;
        (!bsftActive && IsHidden(entry.idName, path) ? hidden : list).push_back(entry);
    }
    return true;
}

bool ContactsFavoriteServlet::setContactGroupLists(const ContactGroupList& list, const char* path,
                                                   bool bsftActive)
{
    if (list.empty()) {
        log_log(2, 4, "list is empty\n");
        return false;
    }
    pugi::xml_document document;
    pugi::xml_node root =
        document.append_child(IsFavoriteFile(path) ? "root_favorite_set" : "root_super_search");
    for (const _contactGroup& entry : list)
        AppendItem(root, entry);
    if (!bsftActive)
        for (const _contactGroup& entry : hiddenOf(path))
            AppendItem(root, entry);
    std::ostringstream text;
    document.save(text, "\t");
    return writeFileAtomic(phonePath(path), text.str());
}

int ContactsFavoriteServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<ContactsFavoriteServlet> kActions[] = {
        {"load", &ContactsFavoriteServlet::loadConfig},
        {"write", &ContactsFavoriteServlet::writeConfig},
    };
    return DispatchPageAction(this, request, response, kActions);
}

int ContactsFavoriteServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    bool bsft = BsftActive();
    ContactGroupList favorites, search;
    if (!getContactGroupLists(favorites, kFavoriteFile, bsft) ||
        !getContactGroupLists(search, kSearchFile, bsft))
        return 0;
    TMPL_loop *enabled = nullptr, *disabled = nullptr, *searchEnabled = nullptr,
              *searchDisabled = nullptr;
    getLoops(favorites, enabled, disabled);
    getLoops(search, searchEnabled, searchDisabled);
    TMPL_varlist* varlist =
        readConfigOperate(FILETYPE_GLOBAL, "FeaturesRecentCallEnable", nullptr, 0);
    varlist = TMPL_add_loop(varlist, "enabledLoop", enabled);
    varlist = TMPL_add_loop(varlist, "disabledLoop", disabled);
    varlist = TMPL_add_loop(varlist, "enabledSearchLoop", searchEnabled);
    varlist = TMPL_add_loop(varlist, "disabledSearchLoop", searchDisabled);
    varlist = readConfigOperate(FILETYPE_GLOBAL, "BSFTActive", varlist, 0);
    varlist = showItemsByLevel(varlist, request);
    RenderPage(response, "contacts-favorite.htm", varlist);
    return 1;
}

int ContactsFavoriteServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response) || !MayChangePage(request, response))
        return 1;
    bool bsft = BsftActive();
    const struct {
        const char* path;
        const char* disabled;
        const char* enabled;
    } kFiles[] = {{kFavoriteFile, "disabled", "enabled"},
                  {kSearchFile, "searchdisabled", "searchenabled"}};
    for (const auto& file : kFiles) {
        ContactGroupList current, posted;
        getContactGroupLists(current, file.path, bsft);
        getListFromPage(posted, request->getParameterValues(file.disabled),
                        request->getParameterValues(file.enabled), current);
        setContactGroupLists(posted, file.path, bsft);
    }
    writeConfigOperate(FILETYPE_GLOBAL, "FeaturesRecentCallEnable", request, 0);
    msgBroadpostThreadMsg(kMsgConfigChanged, 56, 0);
    msgBroadpostThreadMsg(kMsgConfigChanged, 52, 0);
    MarkSaved(request);
    RedirectToLoad(response, kPage);
    log_log(2, 6, "Write contact favorite success!\n");
    return 1;
}

TMPL_varlist* ContactsFavoriteServlet::showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request)
{
    return AddDirectoryShowLevel(varlist, request, kPage, kItems, CountOf(kItems));
}

HttpServlet* createContactsFavoriteServlet()
{
    return new ContactsFavoriteServlet;
}
