#include "frame/configbridge.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

#include "frame/fieldrules.h"
#include "frame/helpers.h"
#include "frame/http.h"
#include "platform/configparser.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/tmpl.h"

namespace {

constexpr size_t kShowValueMax = 15;
constexpr size_t kLongestEntity = 6;  // "&quot;"

std::string ConfigName(FILETYPE type, const char* name, int account)
{
    if (type == FILETYPE_ACCOUNT)
        return configParser_GetAccountConfigName(name, account);
    return name;
}

std::string CutValue(std::string value)
{
    if (value.size() > kConfigValueMax)
        value.resize(kConfigValueMax);
    return value;
}

std::string ReadEscaped(FILETYPE type, const char* name, int account)
{
    return EscapeHtml(CutValue(GetConfigValue(type, name, account)));
}

// Length of an escaped text cut to at most `max` characters without leaving
// half an entity at the end.
size_t EscapedCut(const std::string& text, size_t max)
{
    if (text.size() <= max)
        return text.size();
    size_t amp = text.rfind('&', max == 0 ? 0 : max - 1);
    if (amp != std::string::npos && max - amp < kLongestEntity) {
        size_t semi = text.find(';', amp);
        if (semi == std::string::npos || semi >= max)
            return amp;
    }
    return max;
}

// Copies `text`'s first `length` characters over `out` (room bytes).
void CopyBack(char* out, size_t room, const std::string& text, size_t length)
{
    if (room == 0)
        return;
    length = std::min(length, room - 1);
    memcpy(out, text.data(), length);
    out[length] = '\0';
}

// Replaces every occurrence of from (non-empty) by to; false when none.
bool ReplaceAll(std::string& text, const char* from, const char* to)
{
    size_t fromLength = strlen(from);
    size_t at = text.find(from);
    if (at == std::string::npos)
        return false;
    std::string result;
    size_t start = 0;
    for (; at != std::string::npos; at = text.find(from, start)) {
        result.append(text, start, at - start);
        result += to;
        start = at + fromLength;
    }
    result.append(text, start, std::string::npos);
    text.swap(result);
    return true;
}

}  // namespace

// A posted value: stored only when the identity may change the field and its
// rule accepts the value.
static int writeRequestValue(FILETYPE type, const char* name, const char* value,
                             HttpRequest* request, int account)
{
    if (!MayStoreField(request, name))
        return 0;
    if (const char* message = CheckFieldValue(name, value)) {
        log_log(2, 4, "writeConfigOperate() %s refused: %s", name, message);
        return -1;
    }
    return writeConfigOperate(type, name, value, account);
}

std::string GetConfigValue(FILETYPE type, const char* name, int account)
{
    if (!name)
        return std::string();
    std::string key = ConfigName(type, name, account);
    // A refused form shown again shows what was typed.
    if (const FormOverlay* overlay = CurrentFormOverlay()) {
        auto typed = overlay->values.find(key);
        if (typed != overlay->values.end())
            return typed->second;
    }
    return configParser_GetConfigString(key.c_str());
}

void readConfigOperate(FILETYPE type, const char* name, char* out, size_t size, int account)
{
    if (!out || size == 0)
        return;
    *out = '\0';
    if (!name) {
        log_log(2, 4, "readConfigOperate... para error");
        return;
    }
    std::string value = ReadEscaped(type, name, account);
    CopyBack(out, size, value, EscapedCut(value, size - 1));
}

TMPL_varlist* readConfigOperate(FILETYPE type, const char* name, TMPL_varlist* varlist,
                                int account)
{
    if (!name) {
        log_log(2, 4, "readConfigOperate... para error");
        return varlist;
    }
    varlist = TMPL_add_var(varlist, name, ReadEscaped(type, name, account).c_str(), 0);
    const FieldRule* rule = FindFieldRule(name);
    if (!rule)
        return varlist;
    varlist = TMPL_add_var(varlist, (std::string(name) + "_limits").c_str(),
                           FieldLimits(rule).c_str(), 0);
    // An on/off field: one row for the shared options include
    // ("include/switch.htm"), which marks "Enabled" when it is on.
    if (rule->kind == FieldKind::Choice && strcmp(rule->choices, "0|1") == 0) {
        bool on = GetConfigValue(type, name, account) == "1";
        TMPL_loop* row = TMPL_add_varlist(nullptr, TMPL_add_var(nullptr, "on", on ? "1" : "", 0));
        varlist = TMPL_add_loop(varlist, (std::string(name) + "_switch").c_str(), row);
    }
    return varlist;
}

TMPL_varlist* readConfigOperate(FILETYPE type, const char* name, TMPL_varlist* varlist,
                                char quote, int account)
{
    if (!name) {
        log_log(2, 4, "readConfigOperate... para error");
        return varlist;
    }
    std::string value;
    if (quote == '"') {
        value = ReadEscaped(type, name, account);
        ReplaceStrByStr(value, "\"", "\\\"");
    }
    return TMPL_add_var(varlist, name, value.c_str(), 0);
}

TMPL_varlist* readConfigOperate(FILETYPE type, const char* const* names, int count,
                                TMPL_varlist* varlist, int account)
{
    if (!names)
        return varlist;
    for (int i = 0; i < count; ++i) {
        if (names[i])
            varlist = readConfigOperate(type, names[i], varlist, account);
    }
    return varlist;
}

int writeConfigOperate(FILETYPE type, const char* name, HttpRequest* request, int account)
{
    if (!name || !request) {
        log_log(2, 4, "Parameter is null");
        return -1;
    }
    const char* value = request->getParameter(name);
    if (!value) {
        log_log(2, 4, "writeConfigOperate() get %s =NULL.", name);
        return -1;
    }
    return writeRequestValue(type, name, value, request, account);
}

int writeConfigOperate(FILETYPE type, const char* name, const char* value, int account)
{
    if (!name || !value) {
        log_log(2, 4, "Parameter is null");
        return -1;
    }
    // No store keeps a line break or a value longer than a read returns.
    if (const char* message = CheckFieldValue(static_cast<const FieldRule*>(nullptr), value)) {
        log_log(2, 4, "writeConfigOperate() %s refused: %s", name, message);
        return -1;
    }
    int result = configParser_SetConfigString(ConfigName(type, name, account).c_str(), value);
    if (result < 0)
        log_log(2, 3, "writeConfigOperate() store %s failed", name);
    return result;
}

int writeConfigOperate(FILETYPE type, const char* const* names, int count,
                       HttpRequest* request, int account)
{
    if (!names || !request) {
        log_log(2, 4, "Parameter is null");
        return -1;
    }
    bool changed = false;
    bool failed = false;
    for (int i = 0; i < count; ++i) {
        const char* value = names[i] ? request->getParameter(names[i]) : nullptr;
        if (!value)
            continue;
        int result = writeRequestValue(type, names[i], value, request, account);
        changed = changed || result > 0;
        failed = failed || result < 0;
    }
    // What changed is announced even when another field failed; a failure
    // alone is not a quiet "nothing changed".
    if (changed)
        return 1;
    return failed ? -1 : 0;
}

void showString(SHOWTYPE type, const char* const* names, int count, char* out, size_t size)
{
    if (!names || !out || size == 0) {
        log_log(2, 4, "readConfigOperate() para error");
        return;
    }
    std::string text;
    for (int i = 0; i < count; ++i) {
        if (!names[i])
            continue;
        std::string value = ReadEscaped(FILETYPE_GLOBAL, names[i], 0);
        value.resize(EscapedCut(value, kShowValueMax));
        text += names[i];
        text += '=';
        text += value;
        if (i != count - 1)
            text += '&';
        else if (type == SHOWTYPE_MENU)
            text += '$';
    }
    size_t used = strnlen(out, size - 1);
    CopyBack(out + used, size - used, text, text.size());
}

std::string EscapeHtml(const std::string& text)
{
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': result += "&amp;"; break;
        case '<': result += "&lt;"; break;
        case '>': result += "&gt;"; break;
        case '"': result += "&quot;"; break;
        default: result += c; break;
        }
    }
    return result;
}

void ReplaceSpecailStrs(char* text)
{
    ReplaceSpecailStrs(text, SIZE_MAX);
}

void ReplaceSpecailStrs(char* text, size_t room)
{
    if (!text || room == 0)
        return;
    std::string original(text, strnlen(text, room - 1));
    std::string escaped = EscapeHtml(original);
    if (escaped != original)
        CopyBack(text, room, escaped, EscapedCut(escaped, room - 1));
}

int ReplaceStr(char* text, const char* from, const char* to)
{
    return ReplaceStr(text, SIZE_MAX, from, to);
}

int ReplaceStr(char* text, size_t room, const char* from, const char* to)
{
    if (!text || !from || !to || !*from || room == 0)
        return -1;
    std::string work(text, strnlen(text, room - 1));
    if (!ReplaceAll(work, from, to))
        return -1;
    CopyBack(text, room, work, work.size());
    return 0;
}

int ReplaceStrByStr(std::string& text, const std::string& from, const std::string& to)
{
    if (!from.empty())
        ReplaceAll(text, from.c_str(), to.c_str());
    return 1;
}

bool RegSetString(_HREGISTRY_* handle, const char* key, const char* value, bool log)
{
    if (!handle || !key || !value)
        return false;
    if (CheckFieldValue(static_cast<const FieldRule*>(nullptr), value)) {
        log_log(2, 4, "[%s] refused: control characters or too long", key);
        return false;
    }
    if (registrySetString(handle, key, value, log) == 0)
        return false;
    if (log) {
        const char* section = regHANDLE2Section(handle);
        log_log(2, 6, "[%s:%s] value is changed to [%s]!", section ? section : "", key,
                IsSecretName(key) ? "******" : value);
    }
    return true;
}

std::string GetStringAndReplaceChar(_HREGISTRY_* handle, const char* key, const char* defaultValue)
{
    const char* fallback = defaultValue ? defaultValue : "";
    std::string value = handle && key ? registryGetString(handle, key, fallback) : fallback;
    if (value.empty())
        value = fallback;
    return EscapeHtml(CutValue(value));
}

bool IsSecretName(const char* name)
{
    static const char* const kSecretWords[] = {"password", "passwd", "pwd", "pin", "secret", "key"};
    if (!name)
        return false;
    for (const char* word : kSecretWords) {
        if (strcasestr(name, word))
            return true;
    }
    return false;
}
