// What the feature pages share: the menu group, the form rows a page shows
// (one table per page drives reading, the template's rows and the checks of
// a post), the groups of fields whose change the phone is told about, and
// the answer to a write.
#pragma once

#include <cstddef>
#include <string>

#include "frame/http.h"

struct TMPL_varlist;
struct _HREGISTRY_;

// A section of "/config/user/user.ini", where the per-account forward and DND
// settings and the unlock PIN live. For writing, its folder is made when
// missing so that the first write can succeed. Null when it cannot be opened.
_HREGISTRY_* OpenUserIni(const std::string& section, bool forWriting);

// ---- Menu group --------------------------------------------------------------

// The access-level string of a feature page: the thirteen feature pages with
// `menuName` first (null for a page outside the group), then the items.
TMPL_varlist* AddFeaturesShowLevel(TMPL_varlist* varlist, HttpRequest* request,
                                   const char* menuName, const char* const* items, int itemCount);

// ---- Form rows ---------------------------------------------------------------

struct RowChoice {
    const char* value;
    const char* label;  // English; the language file translates it
};

enum class RowKind { Card, Choice, Text, Number };

// One row of a page's form (or, for Card, the title of the next card).
struct FeatureRow {
    RowKind kind;
    const char* field;
    const char* label;
    const char* level;  // the access-level item that shows or hides it
    const char* help;   // one sentence where the setting is not obvious
    int min;            // Number: the range; Text: max is the longest text
    int max;
    const RowChoice* choices;
    int choiceCount;
};

// The longest text a text row takes unless it says otherwise.
constexpr int kRowTextMax = 511;

extern const RowChoice kSwitchChoices[2];  // "0" Disabled, "1" Enabled

constexpr FeatureRow Card(const char* title)
{
    return {RowKind::Card, nullptr, title, nullptr, nullptr, 0, 0, nullptr, 0};
}
constexpr FeatureRow Switch(const char* field, const char* label, const char* level,
                            const char* help = nullptr)
{
    return {RowKind::Choice, field, label, level, help, 0, 0, kSwitchChoices, 2};
}
constexpr FeatureRow Text(const char* field, const char* label, const char* level,
                          const char* help = nullptr, int maxLength = kRowTextMax)
{
    return {RowKind::Text, field, label, level, help, 0, maxLength, nullptr, 0};
}
constexpr FeatureRow Number(const char* field, const char* label, int min, int max,
                            const char* level, const char* help = nullptr)
{
    return {RowKind::Number, field, label, level, help, min, max, nullptr, 0};
}
template <size_t N>
constexpr FeatureRow Choice(const char* field, const char* label, const RowChoice (&choices)[N],
                            const char* level, const char* help = nullptr)
{
    return {RowKind::Choice, field, label, level, help, 0, 0, choices, static_cast<int>(N)};
}

// Adds every row's field as a variable (escaped, as the bridge reads it) and
// the loop "cards" (rows "title" and loop "rows") that the shared row
// include draws: "field", "label", "value", "level", "help", the kind flag
// ("isChoice", "isText", "isNumber"), "min", "max" and, for a choice, loop
// "options" ("value", "label", "selected"). A stored value that no choice
// names is offered as one more option, so saving never changes it unseen.
TMPL_varlist* AddFeatureRows(TMPL_varlist* varlist, const FeatureRow* rows, int count,
                             const char* loopName = "cards");

// Checks the posted values of the rows: a number in its range, one of the
// choices (or the value already stored), a text no longer than its row
// allows. Absent fields pass. False with a readable reason for the first
// refused field.
bool CheckFeatureRows(const FeatureRow* rows, int count, HttpRequest* request,
                      std::string& reason);

// ---- Stores and messages -----------------------------------------------------

// How the phone hears that a group of fields changed.
enum class Notify {
    None,
    Broadcast,      // 0x10007 to every thread, wparam
    Post,           // 0x10007 to "app_vpPhone", wparam
    PostBLFLedMode, // 0x3002A to "app_vpPhone"
};

struct FeatureGroup {
    const char* const* fields;
    int count;
    Notify notify;
    unsigned int wparam;
};

template <size_t N>
constexpr FeatureGroup Group(const char* const (&fields)[N], Notify notify, unsigned int wparam = 0)
{
    return {fields, static_cast<int>(N), notify, wparam};
}

// The result of storing posted fields.
struct StoreResult {
    bool changed = false;  // a store changed a value
    bool failed = false;   // a store could not be written
};

// Stores the posted global fields (absent ones are skipped).
StoreResult StoreFields(const char* const* fields, int count, HttpRequest* request);
// Stores each group in order and sends its message when a value of the group
// changed. `failed` collects every group's failure.
StoreResult StoreFeatureGroups(const FeatureGroup* groups, int count, HttpRequest* request);
// Sends one group's message.
void NotifyFeatureChange(Notify notify, unsigned int wparam);

// The answer to a write: a notice when something could not be stored; with
// the field "reboot" = "true" the phone reboots (sysReboot(rebootMode)) and
// the repeating notice waits for it; otherwise back to the page's load.
// Returns 1.
int AnswerFeatureWrite(HttpRequest* request, HttpResponse* response, const char* page,
                       bool failed, int rebootMode = -1);
// Whether the post asks for a reboot ("reboot" = "true").
bool WantsReboot(HttpRequest* request);
// Answers a refused post with a notice naming the reason. Returns 1.
int RefuseFeatureWrite(HttpResponse* response, const char* page, const std::string& reason);

// ---- A whole simple page -----------------------------------------------------

// A settings form: its rows, the groups its write stores (in order, each
// with its message) and its access-level items. The template is the page
// name + ".htm".
struct FeaturePage {
    const char* page;
    const char* menuName;  // its name in the menu group; null outside it
    const FeatureRow* rows;
    int rowCount;
    const FeatureGroup* groups;
    int groupCount;
    const char* const* items;
    int itemCount;
};

// Reads the rows into `varlist` (which may already hold the page's own
// variables), adds the access levels and renders. Returns 1.
int LoadFeaturePage(const FeaturePage& page, HttpRequest* request, HttpResponse* response,
                    TMPL_varlist* varlist = nullptr);
// IsInTalking, the row checks, the stores with their messages, the answer.
// Returns 1 (the answer is always complete).
int WriteFeaturePage(const FeaturePage& page, HttpRequest* request, HttpResponse* response);
// The access levels of the page (menu group and items).
TMPL_varlist* FeaturePageShowLevel(const FeaturePage& page, TMPL_varlist* varlist,
                                   HttpRequest* request);
