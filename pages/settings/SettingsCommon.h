// What the Settings pages share: their menu group, the XML data files they
// load and save whole, posted texts and the names of user media files.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>

#include "frame/http.h"

struct TMPL_varlist;
namespace pugi {
class xml_document;
}

// ---- Menu group ------------------------------------------------------------

// The eleven pages of the Settings group, each page listing itself first
// and the others in the group's order.
constexpr int kSettingsMenuCount = 11;
struct SettingsMenu {
    const char* names[kSettingsMenuCount];
};
SettingsMenu MakeSettingsMenu(const char* self);

// "ShowLevel" (the group with `self` first, then the page's items),
// "Identity", the device variables and "supportTR069".
TMPL_varlist* AddSettingsLevel(TMPL_varlist* varlist, HttpRequest* request, const char* self,
                               const char* const* items, int itemCount);

// ---- XML data files --------------------------------------------------------

enum class XmlFile {
    Loaded,   // parsed, with at least one element
    Missing,  // no such file
    Broken,   // there, but not a document with an element
};

// Loads a phone path with pugixml's default options.
XmlFile LoadXmlFile(pugi::xml_document& doc, const std::string& path);
// Saves tab-indented with the default format, atomically: a failed save
// leaves the old file. False when it could not be written.
bool SaveXmlFile(const pugi::xml_document& doc, const std::string& path);

// The answer when a data file cannot be read or written: nothing was
// changed, and the notice says so.
constexpr char kFileUnreadable[] = "Error:The settings file cannot be read, nothing was changed!";
constexpr char kFileNotSaved[] = "Error:The settings file could not be saved!";

// ---- Posted texts ----------------------------------------------------------

// The phone keeps texts in blocks of 1023 characters and its end.
constexpr size_t kTextMax = 1023;
// Cuts a text to at most `max` bytes, never inside a UTF-8 character.
std::string CutText(const std::string& text, size_t max = kTextMax);
// The posted field cut to kTextMax bytes; "" when absent.
std::string PostedText(HttpRequest* request, const char* name);

// Appends text to a URL query, percent-encoded.
void AppendUrlEncoded(std::string& url, const std::string& text);

// ---- User media ------------------------------------------------------------

// A name that can only mean one file inside its folder: not empty, at most
// 255 bytes, no "/", "\" or control characters, not starting with "." (so
// neither "." nor ".."). Spaces and brackets are fine ("pictures (01).png").
bool IsMediaFileName(const std::string& name);
// Whether a name ends in one of the extensions (any letter case).
bool HasExtension(const std::string& name, std::initializer_list<const char*> extensions);

// ---- After a write ---------------------------------------------------------


// 0x10007 with the area in wparam: posted to "app_vpPhone", or broadcast.
void PostPhoneChange(unsigned int wparam, int lparam);
void BroadcastChange(unsigned int wparam, int lparam);
