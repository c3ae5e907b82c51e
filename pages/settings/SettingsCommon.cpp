#include "pages/settings/SettingsCommon.h"

#include <cctype>
#include <cstring>
#include <pugixml.hpp>
#include <sstream>
#include <strings.h>
#include <sys/stat.h>

#include "frame/fieldrules.h"
#include "frame/frame.h"
#include "platform/msgids.h"

namespace {

// The group's order; a page moves itself to the front.
constexpr const char* kSettingsPages[kSettingsMenuCount] = {
    "settings-preference", "settings-datetime", "settings-upgrade", "settings-autop",
    "settings-config",     "settings-dialplan", "settings-voice",   "settings-ring",
    "settings-tones",      "settings-softkey",  "settings-tr069",
};

}  // namespace

SettingsMenu MakeSettingsMenu(const char* self)
{
    SettingsMenu menu = {};
    int at = 0;
    menu.names[at++] = self;
    for (const char* page : kSettingsPages) {
        if (at < kSettingsMenuCount && strcmp(page, self) != 0)
            menu.names[at++] = page;
    }
    return menu;
}

TMPL_varlist* AddSettingsLevel(TMPL_varlist* varlist, HttpRequest* request, const char* self,
                               const char* const* items, int itemCount)
{
    SettingsMenu menu = MakeSettingsMenu(self);
    varlist = AddShowLevel(varlist, request, menu.names, kSettingsMenuCount, items, itemCount);
    return GetTR069Supported(varlist);
}

XmlFile LoadXmlFile(pugi::xml_document& doc, const std::string& path)
{
    std::string real = phonePath(path);
    struct stat st;
    if (stat(real.c_str(), &st) != 0)
        return XmlFile::Missing;
    pugi::xml_parse_result parsed = doc.load_file(real.c_str());
    if (!parsed || !doc.first_child() || doc.find_child([](pugi::xml_node node) {
                                              return node.type() == pugi::node_element;
                                          }).empty())
        return XmlFile::Broken;
    return XmlFile::Loaded;
}

bool SaveXmlFile(const pugi::xml_document& doc, const std::string& path)
{
    std::ostringstream text;
    doc.save(text, "\t", pugi::format_default, pugi::encoding_auto);
    return writeFileAtomic(phonePath(path), text.str());
}

std::string CutText(const std::string& text, size_t max)
{
    if (text.size() <= max)
        return text;
    size_t end = max;
    // Back off continuation bytes (10xxxxxx) to the start of the character.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

std::string PostedText(HttpRequest* request, const char* name)
{
    const char* value = request ? request->getParameter(name) : nullptr;
    return value ? CutText(value) : std::string();
}

void AppendUrlEncoded(std::string& url, const std::string& text)
{
    static const char kHex[] = "0123456789ABCDEF";
    for (unsigned char c : text) {
        if (isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += kHex[c >> 4];
            url += kHex[c & 15];
        }
    }
}

bool IsMediaFileName(const std::string& name)
{
    if (name.empty() || name.size() > 255 || name[0] == '.')
        return false;
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F || c == '/' || c == '\\')
            return false;
    }
    return true;
}

bool HasExtension(const std::string& name, std::initializer_list<const char*> extensions)
{
    for (const char* extension : extensions) {
        size_t length = strlen(extension);
        if (name.size() > length &&
            strcasecmp(name.c_str() + name.size() - length, extension) == 0)
            return true;
    }
    return false;
}

void PostPhoneChange(unsigned int wparam, int lparam)
{
    if (HTHREAD phone = msgGetThreadByName("app_vpPhone"))
        msgPostMsgToThread(phone, kMsgConfigChanged, wparam, lparam);
}

void BroadcastChange(unsigned int wparam, int lparam)
{
    msgBroadpostThreadMsg(kMsgConfigChanged, wparam, lparam);
}
