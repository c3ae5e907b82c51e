#include "pages/features/FeaturesForwardServlet.h"

#include <cstring>
#include <string>
#include <vector>

#include "frame/frame.h"
#include "pages/features/FeaturesCommon.h"
#include "platform/registry.h"

namespace {

constexpr char kPage[] = "features-forward";
constexpr unsigned int kChangedForward = 1;
constexpr unsigned int kChangedDnd = 30;
constexpr int kDelaySteps = 21;    // index 0 .. 20
constexpr int kDelayStepSeconds = 6;
constexpr size_t kUserNameMax = 127;

// A field of the page and its key in an account's INI section.
struct IniField {
    const char* field;
    const char* key;
    const char* fallback;
};

const IniField kForwardMain[] = {
    {"AlwaysForwardSwitch", "AF_Enable", "0"},   {"AlwaysForwardTarget", "AF_Target", ""},
    {"BusyForwardSwitch", "BF_Enable", "0"},     {"BusyForwardTarget", "BF_Target", ""},
    {"NoAnswerForwardSwitch", "TF_Enable", "0"}, {"NoAnswerForwardTarget", "TF_Target", ""},
    {"NoAnswerForwardDelayTime", "Timeout", "2"},
};
const IniField kForwardCodes[] = {
    {"AlwaysForwardOnCode", "AF_On_Code", ""},   {"AlwaysForwardOffCode", "AF_Off_Code", ""},
    {"BusyForwardOnCode", "BF_On_Code", ""},     {"BusyForwardOffCode", "BF_Off_Code", ""},
    {"NoAnswerForwardOnCode", "TF_On_Code", ""}, {"NoAnswerForwardOffCode", "TF_Off_Code", ""},
};
const IniField kDndMain[] = {{"DndStatus", "DND", "0"}};
const IniField kDndCodes[] = {{"DndOnCode", "DND_On_Code", ""}, {"DndOffCode", "DND_Off_Code", ""}};

// Phone mode: the same fields, global.
const char* const kForwardRead[] = {
    "AlwaysForwardSwitch",   "AlwaysForwardTarget",   "AlwaysForwardOnCode",
    "AlwaysForwardOffCode",  "BusyForwardSwitch",     "BusyForwardTarget",
    "BusyForwardOnCode",     "BusyForwardOffCode",    "NoAnswerForwardSwitch",
    "NoAnswerForwardTarget", "NoAnswerForwardOnCode", "NoAnswerForwardOffCode",
    "NoAnswerForwardDelayTime",
};
const char* const kDndRead[] = {"DndStatus", "DndOnCode", "DndOffCode"};
const char* const kEmergency[] = {"DNDEmergencySwitch", "DNDEmergencyNumberList"};

const char* const kItems[] = {
    "FeaturesHeadForward",            "FeaturesForwardMode",
    "FeaturesForwardAccount",         "FeaturesAlwaysForward",
    "FeaturesAlwaysForwardEnabled",   "FeaturesAlwaysForwardTarget",
    "FeaturesAlwaysForwardOnCode",    "FeaturesAlwaysForwardOffCode",
    "FeaturesBusyForward",            "FeaturesBusyForwardEnabled",
    "FeaturesBusyForwardTarget",      "FeaturesBusyForwardOnCode",
    "FeaturesBusyForwardOffCode",     "FeaturesNoAnswerForward",
    "FeaturesNoAnswerForwardEnabled", "FeaturesNoAnswerForwardRingtimes",
    "FeaturesNoAnswerForwardTarget",  "FeaturesNoAnswerForwardOnCode",
    "FeaturesNoAnswerForwardOffCode", "FeaturesDND",
    "FeaturesDNDEmergency",           "FeaturesDNDAuthorizedNumbers",
    "FeaturesDNDMode",                "FeaturesDNDAccount",
    "FeaturesDNDStatus",              "FeaturesDNDOnCode",
    "FeaturesDNDOffCode",
};

bool IsMode(const char* text)
{
    return text && (strcmp(text, "0") == 0 || strcmp(text, "1") == 0);
}

// The mode the page shows: a valid posted one (the page reloads itself with
// it when the user switches), else the configured one.
bool AccountMode(HttpRequest* request, const char* field)
{
    const char* posted = request->getParameter(field);
    if (IsMode(posted))
        return strcmp(posted, "1") == 0;
    return GetConfigValue(FILETYPE_GLOBAL, field, 0) == "1";
}

std::vector<int> EnabledAccounts()
{
    std::vector<int> accounts;
    for (int n = 0; n < GetAccountMax(); ++n) {
        if (GetConfigValue(FILETYPE_ACCOUNT, "AccountEnable", n) == "1")
            accounts.push_back(n);
    }
    return accounts;
}

// The account a request names ("fwd", "dnd") when it is an enabled one,
// else the first enabled account, else -1.
int ChosenAccount(HttpRequest* request, const char* field, const std::vector<int>& enabled)
{
    int account = -1;
    if (ParseAccountIndex(request->getParameter(field), account)) {
        for (int n : enabled) {
            if (n == account)
                return n;
        }
    }
    return enabled.empty() ? -1 : enabled.front();
}

std::string Section(const char* prefix, int account)
{
    return prefix + std::to_string(account);
}

template <size_t N>
TMPL_varlist* AddIniFields(TMPL_varlist* varlist, _HREGISTRY_* section, const IniField (&fields)[N])
{
    for (const IniField& f : fields) {
        // A refused write shows what was typed.
        const char* typed = TypedFormValue(f.field);
        std::string value =
            typed ? EscapeHtml(typed) : GetStringAndReplaceChar(section, f.key, f.fallback);
        varlist = TMPL_add_var(varlist, f.field, value.c_str(), 0);
    }
    return varlist;
}

TMPL_loop* AccountLoop(const std::vector<int>& enabled, int forward, int dnd)
{
    TMPL_loop* rows = nullptr;
    for (int n : enabled) {
        char name[EscapedRoom(kUserNameMax)];
        readConfigOperate(FILETYPE_ACCOUNT, "AccountUserName", name, n);
        std::string index = std::to_string(n);
        std::string label = std::string(name).empty() ? "Account " + std::to_string(n + 1)
                                                      : std::string(name);
        rows = TMPL_add_varlist(
            rows, TMPL_add_var(nullptr, "selValue", index.c_str(), "selName", label.c_str(),
                               "fwdSelected", n == forward ? "1" : "0", "dndSelected",
                               n == dnd ? "1" : "0", 0));
    }
    return rows;
}

TMPL_loop* DelayLoop(const std::string& current)
{
    TMPL_loop* rows = nullptr;
    for (int i = 0; i < kDelaySteps; ++i) {
        std::string value = std::to_string(i);
        std::string seconds = std::to_string(i * kDelayStepSeconds);
        rows = TMPL_add_varlist(rows, TMPL_add_var(nullptr, "selValue", value.c_str(), "selName",
                                                   seconds.c_str(), "selected",
                                                   value == current ? "1" : "0", 0));
    }
    return rows;
}

// What a write does with one feature (forward or DND) in account mode: the
// account's section and the checked values for its keys.
struct SectionWrite {
    int account = -1;
    std::vector<std::pair<const char*, std::string>> values;  // key, value
};

bool AccountModePosted(PageWrite& write, const char* modeField)
{
    const char* posted = write.posted(modeField);
    if (IsMode(posted))
        return strcmp(posted, "1") == 0;
    return GetConfigValue(FILETYPE_GLOBAL, modeField, 0) == "1";
}

// Queues a feature's global fields (phone mode), or takes its INI values
// (account mode with an account field). With BroadSoft the server owns the
// feature codes, which are then never taken from the page.
SectionWrite PlanFeature(PageWrite& write, const char* modeField, const char* accountField,
                         const IniField* main, int mainCount, const IniField* codes,
                         int codeCount, bool takeCodes)
{
    SectionWrite plan;
    if (!AccountModePosted(write, modeField)) {
        for (int i = 0; i < mainCount; ++i)
            write.add(FILETYPE_GLOBAL, main[i].field);
        for (int i = 0; takeCodes && i < codeCount; ++i)
            write.add(FILETYPE_GLOBAL, codes[i].field);
        return plan;
    }
    const char* account = write.posted(accountField);
    if (!*account)
        return plan;
    if (!ParseAccountIndex(account, plan.account)) {
        write.refuse(accountField, "Choose one of the offered values.");
        return plan;
    }
    for (int i = 0; i < mainCount + (takeCodes ? codeCount : 0); ++i) {
        const IniField& f = i < mainCount ? main[i] : codes[i - mainCount];
        if (const char* value = write.take(f.field))
            plan.values.emplace_back(f.key, value);
    }
    return plan;
}

// Writes the planned values into "<prefix><account>". False when the file
// could not be written.
bool WriteSection(const SectionWrite& plan, const char* prefix)
{
    if (plan.account < 0 || plan.values.empty())
        return true;
    _HREGISTRY_* section = OpenUserIni(Section(prefix, plan.account), true);
    if (!section)
        return false;
    for (const auto& value : plan.values) {
        if (!registrySetString(section, value.first, value.second.c_str(), 0))
            return false;
    }
    return registryFlush(section) != 0;
}

template <size_t N>
bool AnyChanged(const PageWrite& write, const IniField (&fields)[N])
{
    for (const IniField& f : fields) {
        if (write.changed(f.field))
            return true;
    }
    return false;
}

struct ForwardKind {
    const char* kind;  // the fields' prefix
    const char* title;
};
constexpr ForwardKind kForwardKinds[] = {
    {"Always", "Always Forward"}, {"Busy", "Busy Forward"}, {"NoAnswer", "No Answer Forward"}};

// The three forwards as rows of one loop, from the values already read.
TMPL_loop* ForwardLoop(const TMPL_varlist* values)
{
    TMPL_loop* rows = nullptr;
    for (const ForwardKind& k : kForwardKinds) {
        std::string prefix = std::string(k.kind) + "Forward";
        auto value = [&](const char* suffix) {
            const char* text = TMPL_get_var(values, (prefix + suffix).c_str());
            return text ? text : "";
        };
        rows = TMPL_add_varlist(
            rows, TMPL_add_var(nullptr, "kind", k.kind, "title", k.title, "on", value("Switch"),
                               "target", value("Target"), "onCode", value("OnCode"), "offCode",
                               value("OffCode"), "isNoAnswer",
                               strcmp(k.kind, "NoAnswer") == 0 ? "1" : "0", 0));
    }
    return rows;
}

}  // namespace

int FeaturesForwardServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<FeaturesForwardServlet> kActions[] = {
        {"load", &FeaturesForwardServlet::loadConfig},
        {"write", &FeaturesForwardServlet::writeConfig},
    };
    return DispatchPageAction(this, request, response, kActions, UnknownAction::EmptyAnswer);
}

int FeaturesForwardServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    bool forwardByAccount = AccountMode(request, "ForwardMode");
    bool dndByAccount = AccountMode(request, "DndMode");
    std::vector<int> enabled = EnabledAccounts();
    int forward = ChosenAccount(request, "fwd", enabled);
    int dnd = ChosenAccount(request, "dnd", enabled);

    TMPL_varlist* varlist =
        TMPL_add_loop(nullptr, "AccountLoop", AccountLoop(enabled, forward, dnd));
    std::string delay = "2";
    if (!forwardByAccount) {
        delay = GetConfigValue(FILETYPE_GLOBAL, "NoAnswerForwardDelayTime", 0);
        varlist =
            readConfigOperate(FILETYPE_GLOBAL, kForwardRead, CountOf(kForwardRead), varlist, 0);
    } else if (forward < 0) {
        varlist = TMPL_add_var(varlist, "FWDNoAccount", "true", 0);
    } else {
        _HREGISTRY_* section = OpenUserIni(Section("Account", forward), false);
        delay = section ? registryGetString(section, "Timeout", "2") : "2";
        varlist = AddIniFields(varlist, section, kForwardMain);
        varlist = AddIniFields(varlist, section, kForwardCodes);
        varlist = TMPL_add_var(varlist, "FWDIndex", std::to_string(forward).c_str(), 0);
    }
    varlist = TMPL_add_loop(varlist, "delayTimeLoop", DelayLoop(delay));
    varlist = TMPL_add_loop(varlist, "forwards", ForwardLoop(varlist));

    if (!dndByAccount) {
        varlist = readConfigOperate(FILETYPE_GLOBAL, kDndRead, CountOf(kDndRead), varlist, 0);
    } else if (dnd < 0) {
        varlist = TMPL_add_var(varlist, "DNDNoAccount", "true", 0);
    } else {
        _HREGISTRY_* section = OpenUserIni(Section("DNDAccount", dnd), false);
        varlist = AddIniFields(varlist, section, kDndMain);
        varlist = AddIniFields(varlist, section, kDndCodes);
        varlist = TMPL_add_var(varlist, "DNDIndex", std::to_string(dnd).c_str(), 0);
    }
    varlist = TMPL_add_var(varlist, "ForwardMode", forwardByAccount ? "1" : "0", "DndMode",
                           dndByAccount ? "1" : "0", 0);
    varlist = readConfigOperate(FILETYPE_GLOBAL, kEmergency, CountOf(kEmergency), varlist, 0);
    RenderPage(response, "features-forward.htm", showItemsByLevel(varlist, request));
    return 1;
}

int FeaturesForwardServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    PageWrite write(request, kPage);
    write.add(FILETYPE_GLOBAL, kEmergency, CountOf(kEmergency));
    write.add(FILETYPE_GLOBAL, "ForwardMode");
    write.add(FILETYPE_GLOBAL, "DndMode");
    bool takeCodes = GetConfigValue(FILETYPE_GLOBAL, "BSFTActive", 0) == "0";
    SectionWrite forward = PlanFeature(write, "ForwardMode", "ForwardAccount", kForwardMain,
                                       CountOf(kForwardMain), kForwardCodes, CountOf(kForwardCodes),
                                       takeCodes);
    SectionWrite dnd = PlanFeature(write, "DndMode", "DNDAccount", kDndMain, CountOf(kDndMain),
                                   kDndCodes, CountOf(kDndCodes), takeCodes);
    if (!write.save())
        return write.reshow(response, this, &FeaturesForwardServlet::loadConfig);
    if (!WriteSection(forward, "Account") || !WriteSection(dnd, "DNDAccount"))
        return AnswerNotSaved(response, kPage);

    // A written section counts as a change, as does switching the mode alone.
    if (write.changed("ForwardMode") || AnyChanged(write, kForwardMain) ||
        AnyChanged(write, kForwardCodes) || !forward.values.empty())
        NotifyFeatureChange(Notify::Broadcast, kChangedForward);
    if (write.changed("DndMode") || AnyChanged(write, kDndMain) || AnyChanged(write, kDndCodes) ||
        !dnd.values.empty())
        NotifyFeatureChange(Notify::Broadcast, kChangedDnd);
    std::string url = "/servlet?p=features-forward&q=load";
    if (forward.account >= 0)
        url += "&fwd=" + std::to_string(forward.account);
    if (dnd.account >= 0)
        url += "&dnd=" + std::to_string(dnd.account);
    MarkSaved(request);
    response->sendRedirect(url.c_str());
    return 1;
}

TMPL_varlist* FeaturesForwardServlet::showItemsByLevel(TMPL_varlist* varlist,
                                                       HttpRequest* request)
{
    return AddFeaturesShowLevel(varlist, request, kPage, kItems, CountOf(kItems));
}

HttpServlet* createFeaturesForwardServlet()
{
    return new FeaturesForwardServlet;
}
