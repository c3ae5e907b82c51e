#include "pages/features/FeaturesCommon.h"

#include <cstring>
#include <string>

#include "frame/frame.h"
#include "platform/msgids.h"
#include "platform/registry.h"

namespace {

const char* const kFeaturesMenu[] = {
    "features-forward", "features-general", "features-audio",  "features-intercom",
    "features-transfer", "features-callpickup", "features-remote", "features-phonelock",
    "features-acd",     "features-sms",     "features-powerled", "features-actionurl",
    "features-bluetooth",
};
constexpr int kFeaturesMenuCount = CountOf(kFeaturesMenu);

bool IsChoice(const FeatureRow& row, const char* value)
{
    for (int i = 0; i < row.choiceCount; ++i) {
        if (strcmp(row.choices[i].value, value) == 0)
            return true;
    }
    return false;
}

TMPL_loop* OptionLoop(const FeatureRow& row, const std::string& stored)
{
    TMPL_loop* options = nullptr;
    for (int i = 0; i < row.choiceCount; ++i) {
        const RowChoice& choice = row.choices[i];
        options = TMPL_add_varlist(
            options, TMPL_add_var(nullptr, "value", choice.value, "label", choice.label, "selected",
                                  stored == choice.value ? "1" : "0", 0));
    }
    if (!IsChoice(row, stored.c_str()) && !stored.empty()) {
        std::string text = EscapeHtml(stored);
        options = TMPL_add_varlist(options, TMPL_add_var(nullptr, "value", text.c_str(), "label",
                                                         text.c_str(), "selected", "1", 0));
    }
    return options;
}

TMPL_varlist* RowVars(const FeatureRow& row)
{
    std::string stored = GetConfigValue(FILETYPE_GLOBAL, row.field, 0);
    char value[EscapedRoom(kConfigValueMax)];
    readConfigOperate(FILETYPE_GLOBAL, row.field, value, 0);
    std::string limits = FieldLimits(FindFieldRule(row.field));
    TMPL_varlist* vars = TMPL_add_var(nullptr, "field", row.field, "label", row.label, "value",
                                      value, "level", row.level, "help", row.help, "limits",
                                      limits.c_str(), 0);
    switch (row.kind) {
    case RowKind::Choice:
        // On/off rows use the interface's one options include.
        if (row.choices == kSwitchChoices)
            return TMPL_add_var(vars, "isSwitch", "1", "on", stored == "1" ? "1" : "", 0);
        vars = TMPL_add_var(vars, "isChoice", "1", 0);
        return TMPL_add_loop(vars, "options", OptionLoop(row, stored));
    case RowKind::Text:
        return TMPL_add_var(vars, "isText", "1", 0);
    case RowKind::Number:
        return TMPL_add_var(vars, "isNumber", "1", 0);
    case RowKind::Card:
        break;
    }
    return vars;
}

}  // namespace

const RowChoice kSwitchChoices[2] = {{"0", "Disabled"}, {"1", "Enabled"}};

TMPL_varlist* AddFeaturesShowLevel(TMPL_varlist* varlist, HttpRequest* request,
                                   const char* menuName, const char* const* items, int itemCount)
{
    const char* menu[kFeaturesMenuCount];
    int count = 0;
    if (menuName) {
        menu[count++] = menuName;
        for (const char* name : kFeaturesMenu) {
            if (strcmp(name, menuName) != 0 && count < kFeaturesMenuCount)
                menu[count++] = name;
        }
    }
    return AddShowLevel(varlist, request, menu, count, items, itemCount);
}

TMPL_varlist* AddFeatureRows(TMPL_varlist* varlist, const FeatureRow* rows, int count,
                             const char* loopName)
{
    TMPL_loop* cards = nullptr;
    TMPL_varlist* card = nullptr;
    TMPL_loop* cardRows = nullptr;
    auto closeCard = [&]() {
        if (card)
            cards = TMPL_add_varlist(cards, TMPL_add_loop(card, "rows", cardRows));
        card = nullptr;
        cardRows = nullptr;
    };
    for (int i = 0; i < count; ++i) {
        const FeatureRow& row = rows[i];
        if (row.kind == RowKind::Card) {
            closeCard();
            card = TMPL_add_var(nullptr, "title", row.label, 0);
            continue;
        }
        if (!card)
            card = TMPL_add_var(nullptr, "title", "", 0);
        varlist = readConfigOperate(FILETYPE_GLOBAL, row.field, varlist, 0);
        cardRows = TMPL_add_varlist(cardRows, RowVars(row));
    }
    closeCard();
    return TMPL_add_loop(varlist, loopName, cards);
}

void AddFeatureGroups(PageWrite& write, const FeatureGroup* groups, int count)
{
    for (int i = 0; i < count; ++i)
        write.add(FILETYPE_GLOBAL, groups[i].fields, groups[i].count);
}

bool NotifyFeatureGroups(const PageWrite& write, const FeatureGroup* groups, int count)
{
    bool any = false;
    for (int i = 0; i < count; ++i) {
        bool changed = false;
        for (int f = 0; f < groups[i].count; ++f)
            changed = changed || write.changed(groups[i].fields[f]);
        if (changed)
            NotifyFeatureChange(groups[i].notify, groups[i].wparam);
        any = any || changed;
    }
    return any;
}

void NotifyFeatureChange(Notify notify, unsigned int wparam)
{
    switch (notify) {
    case Notify::None:
        break;
    case Notify::Broadcast:
        msgBroadpostThreadMsg(kMsgConfigChanged, wparam, 0);
        break;
    case Notify::Post:
        msgPostMsgToThread(msgGetThreadByName("app_vpPhone"), kMsgConfigChanged, wparam, 0);
        break;
    case Notify::PostBLFLedMode:
        msgPostMsgToThread(msgGetThreadByName("app_vpPhone"), kMsgFeatureGeneral, 0, 0);
        break;
    }
}

bool WantsReboot(HttpRequest* request)
{
    const char* reboot = request->getParameter("reboot");
    return reboot && strcmp(reboot, "true") == 0;
}

int AnswerNotSaved(HttpResponse* response, const char* page)
{
    log_log(2, 3, "%s: settings not stored", page);
    SetNoticePage(response, false, page, "Error:The settings could not be saved!");
    return 1;
}

int FinishFeatureWrite(PageWrite& write, HttpRequest* request, HttpResponse* response,
                       const char* page, int rebootMode)
{
    if (WantsReboot(request)) {
        sysReboot(rebootMode);
        SetNoticePage(response, true, page, "Rebooting , please wait ...");
        return 1;
    }
    write.done(response);
    return 1;
}

TMPL_varlist* FeaturePageShowLevel(const FeaturePage& page, TMPL_varlist* varlist,
                                   HttpRequest* request)
{
    return AddFeaturesShowLevel(varlist, request, page.menuName, page.items, page.itemCount);
}

int LoadFeaturePage(const FeaturePage& page, HttpRequest* request, HttpResponse* response,
                    TMPL_varlist* varlist)
{
    varlist = AddFeatureRows(varlist, page.rows, page.rowCount);
    varlist = FeaturePageShowLevel(page, varlist, request);
    RenderPage(response, (std::string(page.page) + ".htm").c_str(), varlist);
    return 1;
}

_HREGISTRY_* OpenUserIni(const std::string& section, bool forWriting)
{
    if (forWriting)
        makeDirs(phonePath("/config/user"));
    return registryOpen("/config/user/user.ini", section.c_str());
}
