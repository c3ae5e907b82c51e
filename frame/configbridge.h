// Configuration bridge: pages read and write settings by their web field
// name; the configuration parser knows where each lives. Every value read is
// cut to kConfigValueMax characters and HTML-escaped.
#pragma once

#include <cstddef>
#include <string>
#include <type_traits>

struct TMPL_varlist;
struct _HREGISTRY_;
class HttpRequest;

// 0: a global field, the name goes to the parser unchanged. 1: a per-account
// field, turned into the account's own name first. Anything else acts as 0.
typedef int FILETYPE;
constexpr FILETYPE FILETYPE_GLOBAL = 0;
constexpr FILETYPE FILETYPE_ACCOUNT = 1;

// 0: item list, 1: menu list (see showString).
typedef int SHOWTYPE;
constexpr SHOWTYPE SHOWTYPE_ITEM = 0;
constexpr SHOWTYPE SHOWTYPE_MENU = 1;

// A read value keeps at most this many characters before escaping.
constexpr size_t kConfigValueMax = 1023;
// Escaping turns one character into at most six ("&quot;"), so a buffer that
// is to hold an escaped text of n characters needs 6 * n + 1 bytes.
constexpr size_t EscapedRoom(size_t length) { return 6 * length + 1; }
// The room assumed by readConfigOperate into a bare char pointer: the largest
// buffer pages use for one value. Smaller buffers are passed as arrays or
// with their size.
constexpr size_t kConfigValueRoom = 1024;
// The room of the ShowLevel text (1023 characters and the end).
constexpr size_t kShowLevelSize = 1024;

// ---- Reading ---------------------------------------------------------------

// Copies the escaped value into out, cut to size - 1 characters (never in the
// middle of an entity) and always terminated. A null name logs and leaves out
// empty.
void readConfigOperate(FILETYPE type, const char* name, char* out, size_t size, int account);

// The array form knows its room exactly.
template <size_t N>
inline void readConfigOperate(FILETYPE type, const char* name, char (&out)[N], int account)
{
    readConfigOperate(type, name, out, N, account);
}

// A bare char pointer is taken to have kConfigValueRoom bytes.
template <typename Ptr, typename std::enable_if<std::is_same<Ptr, char*>::value, int>::type = 0>
inline void readConfigOperate(FILETYPE type, const char* name, Ptr out, int account)
{
    readConfigOperate(type, name, out, kConfigValueRoom, account);
}

// Adds variable `name` = the escaped value; returns the (possibly new)
// varlist. The variable always carries the web field name.
TMPL_varlist* readConfigOperate(FILETYPE type, const char* name, TMPL_varlist* varlist,
                                int account);
// As above, then every double quote left in the escaped value is written as
// backslash + quote. `quote` must be '"'; any other value adds an empty text.
TMPL_varlist* readConfigOperate(FILETYPE type, const char* name, TMPL_varlist* varlist,
                                char quote, int account);
// One variable per non-null name; a count below 1 returns the varlist as is.
TMPL_varlist* readConfigOperate(FILETYPE type, const char* const* names, int count,
                                TMPL_varlist* varlist, int account);

// The raw (unescaped) value, for code that computes with it.
std::string GetConfigValue(FILETYPE type, const char* name, int account);

// ---- Writing ---------------------------------------------------------------

// Stores the posted field as posted (no escaping). Returns the parser's
// answer (1 changed, 0 unchanged, -1 not stored) or -1 when the field is
// absent, which leaves the setting as it was.
int writeConfigOperate(FILETYPE type, const char* name, HttpRequest* request, int account);
// Stores the value; -1 for a null name or value.
int writeConfigOperate(FILETYPE type, const char* name, const char* value, int account);
// Stores every non-null field that the request carries; absent ones are
// skipped. 1 when any store answered non-zero, 0 when none did (or count is
// below 1), -1 for a null array or request.
int writeConfigOperate(FILETYPE type, const char* const* names, int count,
                       HttpRequest* request, int account);

// ---- ShowLevel -------------------------------------------------------------

// Appends "name=value&" for each non-null name (values cut to 15 characters);
// the last entry of the array closes with "" (SHOWTYPE 0) or "$" (SHOWTYPE
// 1). `out` holds size bytes and is already terminated; the whole text stays
// within size - 1 characters (what does not fit is cut).
void showString(SHOWTYPE type, const char* const* names, int count, char* out,
                size_t size = kShowLevelSize);

// ---- Escaping --------------------------------------------------------------

// HTML-escapes in place: "&" then "<", ">" and the double quote. The caller
// provides room for the escaped text (EscapedRoom(strlen(text))).
void ReplaceSpecailStrs(char* text);
// The same within `room` bytes: a longer result is cut (never inside an
// entity) to room - 1 characters.
void ReplaceSpecailStrs(char* text, size_t room);
// The escaped copy of a string.
std::string EscapeHtml(const std::string& text);

// Replaces every occurrence of `from` by `to` in place, searching on after
// each occurrence. 0 after replacing, -1 when nothing was found or an
// argument is null (or `from` is empty). The caller provides room for the
// whole result; the sized form cuts it to room - 1 characters instead.
int ReplaceStr(char* text, const char* from, const char* to);
int ReplaceStr(char* text, size_t room, const char* from, const char* to);
// Replaces every occurrence, searching again after the inserted text.
// Returns 1 (an empty `from` changes nothing).
int ReplaceStrByStr(std::string& text, const std::string& from, const std::string& to);

// ---- INI values ------------------------------------------------------------

// registrySetString; when stored and `log` is set, logs the change (the value
// masked for password, PIN and key fields).
bool RegSetString(_HREGISTRY_* handle, const char* key, const char* value, bool log);
// The registry value (or the default when it is empty), cut to 1023
// characters and escaped.
std::string GetStringAndReplaceChar(_HREGISTRY_* handle, const char* key, const char* defaultValue);

// True for names that hold secrets (passwords, PINs, keys): their values are
// never logged.
bool IsSecretName(const char* name);
