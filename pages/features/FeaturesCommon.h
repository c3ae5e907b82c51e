// What the feature pages share: the menu group, the form rows a page shows
// (one table per page drives reading, the template's rows and the checks of
// a post), the groups of fields whose change the phone is told about, and
// the answer to a write.
#pragma once

#include <cstddef>
#include <string>

#include "frame/fieldrules.h"
#include "frame/http.h"
#include "frame/servlet.h"
#include "platform/system.h"

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
    const RowChoice* choices;
    int choiceCount;
};

extern const RowChoice kSwitchChoices[2];  // "0" Disabled, "1" Enabled

constexpr FeatureRow Card(const char* title)
{
    return {RowKind::Card, nullptr, title, nullptr, nullptr, nullptr, 0};
}
constexpr FeatureRow Switch(const char* field, const char* label, const char* level,
                            const char* help = nullptr)
{
    return {RowKind::Choice, field, label, level, help, kSwitchChoices, 2};
}
// Text and number rows take their limits from the field's rule
// (frame/fieldrules.cpp), which both the form and the server use.
constexpr FeatureRow Text(const char* field, const char* label, const char* level,
                          const char* help = nullptr)
{
    return {RowKind::Text, field, label, level, help, nullptr, 0};
}
constexpr FeatureRow Number(const char* field, const char* label, const char* level,
                            const char* help = nullptr)
{
    return {RowKind::Number, field, label, level, help, nullptr, 0};
}
template <size_t N>
constexpr FeatureRow Choice(const char* field, const char* label, const RowChoice (&choices)[N],
                            const char* level, const char* help = nullptr)
{
    return {RowKind::Choice, field, label, level, help, choices, static_cast<int>(N)};
}

// Adds every row's field as a variable (escaped, as the bridge reads it) and
// the loop "cards" (rows "title" and loop "rows") that the shared row
// include draws: "field", "label", "value", "level", "help", the kind flag
// ("isSwitch" with "on", "isChoice", "isText", "isNumber"), "limits" (the
// HTML constraints of the
// field's rule) and, for a choice, loop "options" ("value", "label",
// "selected"). A stored value that no choice names is shown as one more
// option rather than silently replaced by the first.
TMPL_varlist* AddFeatureRows(TMPL_varlist* varlist, const FeatureRow* rows, int count,
                             const char* loopName = "cards");

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

// Queues the posted fields of every group.
void AddFeatureGroups(PageWrite& write, const FeatureGroup* groups, int count);
// After a save: each group's message, in order, when a value of it changed.
// True when any did.
bool NotifyFeatureGroups(const PageWrite& write, const FeatureGroup* groups, int count);
// Sends one group's message.
void NotifyFeatureChange(Notify notify, unsigned int wparam);
// Whether the post asks for a reboot ("reboot" = "true").
bool WantsReboot(HttpRequest* request);
// The end of a saved write: with "reboot" = "true" the phone reboots
// (sysReboot(rebootMode)) and the repeating notice waits for it; otherwise
// back to the page's load, which says "Saved". Returns 1.
int FinishFeatureWrite(PageWrite& write, HttpRequest* request, HttpResponse* response,
                       const char* page, int rebootMode = -1);
// The answer when a store after the page's save failed (an INI file, a
// second setting): a full disk must not look like success. Returns 1.
int AnswerNotSaved(HttpResponse* response, const char* page);

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
// IsInTalking, the stores of the groups (refused values shown again with
// the form), their messages, the answer. Returns 1.
template <typename Page>
int WriteFeaturePage(const FeaturePage& page, Page* servlet, HttpRequest* request,
                     HttpResponse* response);
// The access levels of the page (menu group and items).
TMPL_varlist* FeaturePageShowLevel(const FeaturePage& page, TMPL_varlist* varlist,
                                   HttpRequest* request);

template <typename Page>
int WriteFeaturePage(const FeaturePage& page, Page* servlet, HttpRequest* request,
                     HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    PageWrite write(request, page.page);
    AddFeatureGroups(write, page.groups, page.groupCount);
    if (!write.save())
        return write.reshow(response, servlet, &Page::loadConfig);
    if (NotifyFeatureGroups(write, page.groups, page.groupCount))
        log_log(2, 6, "%s has been changed!", page.page);
    return FinishFeatureWrite(write, request, response, page.page);
}
