// What the server accepts from a form, in one place: access levels, field
// rules and the page write that applies both.
//
// How a page uses them:
//
//   * Access levels need no code. Every write through the bridge's request
//     forms (writeConfigOperate with an HttpRequest) and through PageWrite
//     ignores, and logs, a field that the identity may not change: the page
//     itself is above its level (the page name's "ShowLevel" value), or the
//     item that shows the field is (the `level` of its rule below). Level
//     values: "" everybody, "0" nobody, "1" user, "2" var, "3" admin only;
//     "N:M" shows the item from level N and lets it be changed from M.
//   * Field rules: add one row per checked field to kFieldRules in
//     fieldrules.cpp (in your page's block), for instance
//         RulePort("AccountSIPListenPort", "AdvLocalSIPPort"),
//         RuleNumber("AccountExpire", 30, 2147483647, "AdvRegisterExpire"),
//     and put <TMPL_VAR NAME="AccountSIPListenPort_limits"> into the input
//     tag: readConfigOperate adds the HTML constraints of the same rule
//     ("type", "min", "max", "maxlength", "pattern"). An on/off field
//     (RuleSwitch) also gets a one-row loop for the shared options:
//         <select id="X" name="X"><TMPL_LOOP NAME="X_switch"><TMPL_INCLUDE
//         NAME="include/switch.htm"></TMPL_LOOP></select>
//     Every other value is at most kConfigValueMax characters without
//     control characters.
//   * A write:
//         if (IsInTalking(response)) return 1;
//         PageWrite write(request, kPage, account);   // account -1: global page
//         write.add(FILETYPE_ACCOUNT, kFields, CountOf(kFields));
//         write.set(FILETYPE_ACCOUNT, "AccountRing", ring);  // a value the page made
//         if (!write.save())                          // one save for the whole page
//             return write.reshow(response, this, &XServlet::loadConfig);
//         if (write.changed("AccountAutoAnswerSwitch")) ...;  // the page's messages
//         write.done(response);                       // back to load, which says "Saved"
//     addAs stores a form field under another setting name, addOffered
//     only a value of the option loop the page offers (ring tones,
//     pictures, files), take checks a field the page keeps elsewhere (INI).
//     reshow renders the page again through its load with what the user
//     typed and each refusal next to its field ("fieldErrors" loop, status
//     400); page checks of their own add refusals with write.refuse().
//   * After done(), the reloaded page gets "saved" = "1" (AddShowLevel) and
//     the header include says "Saved". Every page rendered through
//     RenderPage is sent with "Cache-Control: no-store".
//   * Menus: AddShowLevel adds "menu_<area>" and "have_<page>" for the pages
//     this library has (servlet.h, AddMenu); wrap sub-tabs in
//     <TMPL_IF NAME="have_<page>">.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "frame/configbridge.h"
#include "frame/http.h"

struct TMPL_loop;

enum class FieldKind {
    Text,     // at most `max` characters (kConfigValueMax when 0)
    Number,   // a decimal whole number in min .. max
    Port,     // 1 .. 65535 (min .. max when given)
    Address,  // an IPv4 or IPv6 address; empty allowed
    Host,     // a host name or an IP address; empty allowed
    Choice,   // one of the "|"-separated words of `choices`
};

struct FieldRule {
    const char* name;  // the web field name
    FieldKind kind;
    long long min;
    long long max;
    const char* level;    // the ShowLevel item that shows the field, or null
    const char* choices;  // Choice: "0|1"
    const char* atMost;   // a field whose value this one may not exceed
    bool emptyOk;
};

constexpr FieldRule RuleText(const char* name, long long max, const char* level = nullptr)
{
    return {name, FieldKind::Text, 0, max, level, nullptr, nullptr, true};
}
// Only guarded by its item's level; the value is any text.
constexpr FieldRule RuleLevel(const char* name, const char* level)
{
    return RuleText(name, 0, level);
}
constexpr FieldRule RuleNumber(const char* name, long long min, long long max,
                               const char* level = nullptr)
{
    return {name, FieldKind::Number, min, max, level, nullptr, nullptr, false};
}
constexpr FieldRule RulePort(const char* name, const char* level = nullptr,
                             const char* atMost = nullptr)
{
    return {name, FieldKind::Port, 1, 65535, level, nullptr, atMost, false};
}
// A port that may be left empty (the phone then uses its default).
constexpr FieldRule RuleOptionalPort(const char* name, const char* level = nullptr)
{
    return {name, FieldKind::Port, 1, 65535, level, nullptr, nullptr, true};
}
constexpr FieldRule RuleAddress(const char* name, const char* level = nullptr)
{
    return {name, FieldKind::Address, 0, 0, level, nullptr, nullptr, true};
}
constexpr FieldRule RuleHost(const char* name, const char* level = nullptr)
{
    return {name, FieldKind::Host, 0, 0, level, nullptr, nullptr, true};
}
constexpr FieldRule RuleChoice(const char* name, const char* choices, const char* level = nullptr)
{
    return {name, FieldKind::Choice, 0, 0, level, choices, nullptr, false};
}
constexpr FieldRule RuleSwitch(const char* name, const char* level = nullptr)
{
    return RuleChoice(name, "0|1", level);
}

// The rule of a web field name; null for fields without one.
const FieldRule* FindFieldRule(const char* name);

// The refusal message for a value, or null when the rule (or, without one,
// the general limit: kConfigValueMax characters, no control characters)
// accepts it. Messages are the texts the language files translate.
const char* CheckFieldValue(const char* name, const char* value);
const char* CheckFieldValue(const FieldRule* rule, const char* value);

// The HTML attributes that carry the rule to the browser
// ('type="number" min="1" max="65535"'); "" without a rule.
std::string FieldLimits(const FieldRule* rule);

// ---- Access levels -----------------------------------------------------------

// The identity's rank: "admin" 3, "var" 2, "user" (and nobody) 1.
int IdentityRank(const char* identity);

enum class FieldAccess { Change, ReadOnly, Hidden };
// What a level value ("", "0", "N", "N:M") allows an identity of that rank.
FieldAccess LevelAccess(const std::string& level, int rank);
// What the request's identity may do with a posted field: the page named by
// "p" and the field's rule item must both allow a change.
FieldAccess GetFieldAccess(HttpRequest* request, const char* field);
// The same for a whole page: its own level only.
FieldAccess GetPageAccess(HttpRequest* request);
// True when the field may be stored; otherwise logs that it was ignored.
bool MayStoreField(HttpRequest* request, const char* field);
// For actions that change files rather than settings (uploads, deletes,
// lists kept in XML files): true when the identity may change the page;
// otherwise answers 403 with the jurisdiction notice and logs.
bool MayChangePage(HttpRequest* request, HttpResponse* response);

// ---- The write of one page -------------------------------------------------------

class PageWrite {
public:
    // account: the account of a per-account page, -1 for a global page.
    PageWrite(HttpRequest* request, const char* page, int account = -1);
    ~PageWrite();
    PageWrite(const PageWrite&) = delete;
    PageWrite& operator=(const PageWrite&) = delete;

    // Queues the posted fields (absent ones are skipped, fields the identity
    // may not change are ignored and logged, refused values noted).
    void add(FILETYPE type, const char* const* names, int count);
    void add(FILETYPE type, const char* name);
    // Queues the posted field `field` under the setting `name` (a form
    // field named otherwise than its setting).
    void addAs(FILETYPE type, const char* name, const char* field);
    // Queues the posted field only when it is one of the values the page
    // offered: the column of the loop's rows ("selValue" of a ring tone,
    // picture or file list). Takes the loop and frees it.
    void addOffered(FILETYPE type, const char* name, TMPL_loop* offered,
                    const char* column = "selValue");
    // A posted field the page stores elsewhere (an INI file): checked like
    // add, not queued. The value, or null when absent, not the identity's
    // to change, or refused.
    const char* take(const char* field);
    // Queues a value the page made, checked by the rule of `name`; `field`
    // is the form field a refusal is shown at (default: name).
    void set(FILETYPE type, const char* name, const char* value, const char* field = nullptr);
    // A refusal of the page's own (a value it does not offer).
    void refuse(const char* field, const char* message);

    bool refused() const { return !errors_.empty(); }
    // The identity may not change this page at all.
    bool forbidden() const { return forbidden_; }
    // Stores every queued value with one save, unless something was refused.
    // False when nothing was stored (refusal or a failed save).
    bool save();
    bool failed() const { return failed_; }
    // After save: whether that field's stored value changed.
    bool changed(const char* name) const;
    bool anyChanged() const;

    // Back to the page's load, which then says "Saved".
    void done(HttpResponse* response);
    // The form again, through the page's own load, with what was typed and
    // each refusal (status 400); a failed save answers with a notice.
    template <typename Page>
    int reshow(HttpResponse* response, Page* page, int (Page::*load)(HttpRequest*, HttpResponse*));

    // The posted text of a field ("" when absent).
    const char* posted(const char* field) const;

private:
    struct Item {
        std::string name;   // the field name
        std::string key;    // the configuration name
        std::string value;
        FILETYPE type = FILETYPE_GLOBAL;
        bool changed = false;
    };
    void queue(FILETYPE type, const char* name, const char* value, const char* field);
    int beginReshow(HttpResponse* response, HttpRequest*& wrapped);
    void endReshow(HttpResponse* response);

    HttpRequest* request_;
    std::string page_;
    int account_;
    std::vector<Item> items_;
    std::vector<std::pair<std::string, std::string>> errors_;  // field, message
    std::map<std::string, std::string> typed_;                 // by configuration name
    bool failed_ = false;
    bool forbidden_ = false;
    HttpRequest* wrapped_ = nullptr;
};

template <typename Page>
int PageWrite::reshow(HttpResponse* response, Page* page,
                      int (Page::*load)(HttpRequest*, HttpResponse*))
{
    HttpRequest* wrapped = nullptr;
    if (beginReshow(response, wrapped) == 0)
        return 1;
    (page->*load)(wrapped, response);
    endReshow(response);
    return 1;
}

// While a refused write is shown again: the values typed, by configuration
// name (GetConfigValue answers these first), and the refusals.
struct FormOverlay {
    std::map<std::string, std::string> values;
    std::vector<std::pair<std::string, std::string>> errors;
};
const FormOverlay* CurrentFormOverlay();
// What was typed into a form field that PageWrite::take checked (fields
// kept outside the configuration); null when none is being shown again.
const char* TypedFormValue(const char* field);

// True when a row of the loop has `value` in `column`.
bool LoopOffers(const TMPL_loop* loop, const char* column, const char* value);
