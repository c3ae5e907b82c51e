#include "pages/settings/SettingsSoftkeyServlet.h"

#include <list>
#include <strings.h>

#include "frame/fieldrules.h"
#include "frame/frame.h"
#include "pages/settings/SettingsCommon.h"
#include "platform/fileutil.h"

namespace {

constexpr char kPage[] = "settings-softkey";
constexpr char kFolder[] = "/config/softkey/";
constexpr char kDefaultState[] = "Dialing.xml";
constexpr size_t kReferenceMax = 63;
constexpr unsigned int kChangedSoftkeys = 36;
const char* const kItems[] = {"PhoneCustomSoftKey", "PhoneSoftKeyType"};
const char* const kBroadsoftOnly[] = {"Gpark", "PriHold", "Park",      "Emergcy",
                                      "Trace", "Disp Code", "Call Info", "Retrieve"};

// The file part must stay one plain ".xml" name of the softkey folder:
// "../data/htpasswd:x" names nothing.
bool IsSoftkeyFile(const std::string& file)
{
    return isPlainFileName(file.c_str()) && HasExtension(file, {".xml"});
}

void Redirect(HttpResponse* response, const std::string& reference)
{
    std::string url = "/servlet?p=settings-softkey&q=load&callStates=";
    AppendUrlEncoded(url, reference);
    response->sendRedirect(url.c_str());
}

void AppendKeys(pugi::xml_node parent, const ZRList<std::string>& types)
{
    for (const std::string& type : types) {
        if (!type.empty())
            parent.append_child("Key").append_attribute("Type").set_value(type.c_str());
    }
}

std::string Posted(HttpRequest* request, const char* name)
{
    const char* value = request->getParameter(name);
    return value ? value : "";
}

void RemoveChildren(pugi::xml_node node)
{
    while (pugi::xml_node child = node.first_child())
        node.remove_child(child);
}

// The "Type" of every "Key" child, in order.
std::list<std::string> KeyTypes(pugi::xml_node node)
{
    std::list<std::string> types;
    for (pugi::xml_node key = node.child("Key"); key; key = key.next_sibling("Key"))
        types.push_back(key.attribute("Type").value());
    return types;
}

}  // namespace

void getXmlFileNameAndRoot(const std::string& reference, std::string& file, std::string& element)
{
    size_t colon = reference.find(':');
    file = reference.substr(0, colon);
    element = colon == std::string::npos ? std::string() : reference.substr(colon + 1);
}

std::string GetDefaultCallStates(const char* posted)
{
    return CutText(posted && *posted ? posted : kDefaultState, kReferenceMax);
}

bool IsBroadsoftSoftkey(const std::string& type)
{
    for (const char* name : kBroadsoftOnly) {
        if (strcasecmp(name, type.c_str()) == 0)
            return true;
    }
    return false;
}

int SettingsSoftkeyServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<SettingsSoftkeyServlet> kActions[] = {
        {"load", &SettingsSoftkeyServlet::loadConfig},
        {"write", &SettingsSoftkeyServlet::writeConfig},
        {"reset", &SettingsSoftkeyServlet::resetDefault},
    };
    return DispatchPageAction(this, request, response, kActions);
}

bool SettingsSoftkeyServlet::getRootNodeByXml(pugi::xml_document& doc,
                                              const std::string& reference, pugi::xml_node& node)
{
    node = pugi::xml_node();
    std::string file, element;
    getXmlFileNameAndRoot(reference, file, element);
    if (file.empty()) {
        log_log(2, 4, "soft key size = 0\n");
        return false;
    }
    if (!IsSoftkeyFile(file)) {
        log_log(2, 4, "softkey: refused call state file %s\n", file.c_str());
        return false;
    }
    if (LoadXmlFile(doc, kFolder + file) != XmlFile::Loaded) {
        log_log(2, 4, "load %s error!\n", file.c_str());
        return false;
    }
    for (pugi::xml_node state = doc.first_child(); state; state = state.next_sibling()) {
        if (state.type() == pugi::node_element && (element.empty() || element == state.name())) {
            node = state;
            break;
        }
    }
    return true;
}

bool SettingsSoftkeyServlet::getDataByNode(pugi::xml_node node, ZRList<std::string>& list)
{
    if (!node)
        return false;
    bool broadsoft = GetConfigValue(FILETYPE_GLOBAL, "BSFTActive", 0) != "0";
    for (const std::string& type : KeyTypes(node)) {
        if (!broadsoft && IsBroadsoftSoftkey(type))
            hidden_.push_back(type);
        else
            list.push_back(type);
    }
    return true;
}

TMPL_loop* SettingsSoftkeyServlet::getCallStatesLoop(const std::string& current)
{
    std::string selected = current == kDefaultState ? "Dialing.xml:Dialing" : current;
    std::list<std::string> files;
    ReadFiles::FindFiles(&files, kFolder, ".xml", false, false);
    sortStringListByName(&files, true);
    TMPL_loop* loop = nullptr;
    for (const std::string& base : files) {
        pugi::xml_document doc;
        if (!IsSoftkeyFile(base + ".xml") ||
            LoadXmlFile(doc, kFolder + base + ".xml") != XmlFile::Loaded)
            continue;
        for (pugi::xml_node state = doc.first_child(); state; state = state.next_sibling()) {
            if (state.type() != pugi::node_element)
                continue;
            std::string value = EscapeHtml(base + ".xml:" + state.name());
            std::string name = EscapeHtml(state.name());
            bool chosen = base + ".xml:" + state.name() == selected;
            loop = TMPL_add_varlist(loop, TMPL_add_var(nullptr, "selValue", value.c_str(),
                                                       "selName", name.c_str(), "selected",
                                                       chosen ? "1" : "0", 0));
        }
    }
    return loop;
}

TMPL_loop* SettingsSoftkeyServlet::XMLData2TMPLData(TMPL_loop* loop, ZRList<std::string>& list)
{
    for (const std::string& type : list) {
        std::string key = EscapeHtml(type);
        std::string shown = type == "Line" ? "Line Selection" : key;
        loop = TMPL_add_varlist(loop, TMPL_add_var(nullptr, "key", key.c_str(), "displaykey",
                                                   shown.c_str(), 0));
    }
    return loop;
}

int SettingsSoftkeyServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    std::string reference = GetDefaultCallStates(request->getParameter("callStates"));
    TMPL_varlist* varlist = readConfigOperate(FILETYPE_GLOBAL, "BSFTActive", nullptr, 0);
    if (const char* custom = request->getParameter("CustomSoftkeySwitch")) {
        std::string text = EscapeHtml(CutText(custom));
        varlist = TMPL_add_var(varlist, "CustomSoftkeySwitchTmp", text.c_str(), 0);
    }
    varlist = readConfigOperate(FILETYPE_GLOBAL, "CustomSoftkeySwitch", varlist, 0);

    pugi::xml_document doc;
    pugi::xml_node state;
    TMPL_loop* states = nullptr;
    TMPL_loop* disabled = nullptr;
    TMPL_loop* enabled = nullptr;
    if (getRootNodeByXml(doc, reference, state)) {
        hidden_.clear();
        ZRList<std::string> off, on;
        getDataByNode(state.child("Disable"), off);
        getDataByNode(state.child("Enable"), on);
        disabled = XMLData2TMPLData(nullptr, off);
        enabled = XMLData2TMPLData(nullptr, on);
        states = getCallStatesLoop(reference);
    } else {
        varlist = TMPL_add_var(varlist, "fileError", "1", 0);
    }
    if (!states)
        log_log(2, 4, "statesLoop is NULL!!\n");
    if (state) {
        std::string name = EscapeHtml(state.name());
        varlist = TMPL_add_var(varlist, "stateName", name.c_str(), 0);
    }
    std::string current = EscapeHtml(reference);
    varlist = TMPL_add_var(varlist, "callStates", current.c_str(), 0);
    varlist = TMPL_add_loop(varlist, "statesLoop", states);
    varlist = TMPL_add_loop(varlist, "disabledLoop", disabled);
    varlist = TMPL_add_loop(varlist, "enabledLoop", enabled);
    varlist = AddSettingsLevel(varlist, request, kPage, kItems, CountOf(kItems));
    RenderPage(response, "settings-softkey.htm", varlist);
    return 1;
}

int SettingsSoftkeyServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    if (!MayChangePage(request, response))
        return 0;
    std::string reference = GetDefaultCallStates(request->getParameter("callStates"));
    pugi::xml_document doc;
    pugi::xml_node state;
    if (getRootNodeByXml(doc, reference, state) && state) {
        ZRList<std::string> on, off, shown;
        String2List(off, Posted(request, "unSelectSoftKeys"), ',');
        String2List(on, Posted(request, "selectSoftKeys"), ',');
        pugi::xml_node disable = state.child("Disable");
        pugi::xml_node enable = state.child("Enable");
        // The softkeys hidden from this state's lists stay disabled. They are
        // taken from the state being written: those of the state loaded last
        // may belong to another state (or another browser's load).
        hidden_.clear();
        getDataByNode(disable, shown);
        getDataByNode(enable, shown);
        RemoveChildren(disable);
        RemoveChildren(enable);
        AppendKeys(disable, off);
        AppendKeys(disable, hidden_);
        AppendKeys(enable, on);
        if (!SaveXmlFile(doc, kFolder + reference.substr(0, reference.find(':')))) {
            SetNoticePage(response, false, kPage, kFileNotSaved);
            return 0;
        }
    } else if (request->getParameter("selectSoftKeys")) {
        // A layout for a file that cannot be read is not written over it.
        SetNoticePage(response, false, kPage, kFileUnreadable);
        return 0;
    }
    if (writeConfigOperate(FILETYPE_GLOBAL, "CustomSoftkeySwitch", request, 0) == 1)
        BroadcastChange(kChangedSoftkeys, 0);
    MarkSaved(request);
    Redirect(response, reference);
    log_log(2, 6, "Change softkey config success!\n");
    return 1;
}

int SettingsSoftkeyServlet::resetDefault(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    if (!MayChangePage(request, response))
        return 0;
    std::string reference = GetDefaultCallStates(request->getParameter("callStates"));
    pugi::xml_document doc;
    pugi::xml_node state;
    if (getRootNodeByXml(doc, reference, state) && state) {
        std::list<std::string> defaults = KeyTypes(state.child("Default"));
        std::list<std::string> others;
        for (const char* part : {"Enable", "Disable"}) {
            for (const std::string& type : KeyTypes(state.child(part))) {
                bool isDefault = false;
                for (const std::string& d : defaults)
                    isDefault = isDefault || d == type;
                if (!isDefault && type != "Empty")
                    others.push_back(type);
            }
        }
        pugi::xml_node disable = state.child("Disable");
        pugi::xml_node enable = state.child("Enable");
        RemoveChildren(disable);
        RemoveChildren(enable);
        ZRList<std::string> off, on;
        off.push_back("Empty");
        for (const std::string& type : others)
            off.push_back(type);
        for (const std::string& type : defaults)
            on.push_back(type);
        AppendKeys(disable, off);
        AppendKeys(enable, on);
        if (!SaveXmlFile(doc, kFolder + reference.substr(0, reference.find(':')))) {
            SetNoticePage(response, false, kPage, kFileNotSaved);
            return 0;
        }
    }
    MarkSaved(request);
    Redirect(response, reference);
    log_log(2, 6, "Reset softkey to default success!\n");
    return 1;
}

HttpServlet* createSettingsSoftkeyServlet()
{
    return new SettingsSoftkeyServlet;
}
