#include "pages/settings/SettingsRingServlet.h"

#include "frame/fieldrules.h"
#include "frame/frame.h"
#include "pages/settings/SettingsCommon.h"

namespace {

constexpr char kPage[] = "settings-ring";
constexpr int kRules = 10;
constexpr unsigned int kChangedRing = 57;
const char* const kItems[] = {"PhonePersonalRing"};

std::string RuleField(int rule, const char* part)
{
    char name[32];
    snprintf(name, sizeof name, "%s%d%s", "AlertInfo", rule, part);
    return name;
}

void AppendFolder(std::list<std::string>& list, const char* folder, const char* prefix)
{
    std::list<std::string> names;
    ReadFiles::FindFiles(&names, folder, ".wav", false, true);
    sortStringListByName(&names, true);
    for (const std::string& name : names)
        list.push_back(std::string(prefix) + name);
}

}  // namespace

std::list<std::string> GetRingList()
{
    std::list<std::string> list = {"default-ring.wav"};
    AppendFolder(list, "/phone/resource/sysdata/sound/", "Resource:");
    AppendFolder(list, "/data/userdata/sound/", "Config:");
    return list;
}

int SettingsRingServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<SettingsRingServlet> kActions[] = {
        {"load", &SettingsRingServlet::loadConfig},
        {"write", &SettingsRingServlet::writeConfig},
    };
    return DispatchPageAction(this, request, response, kActions, UnknownAction::EmptyAnswer);
}

int SettingsRingServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    TMPL_loop* rules = nullptr;
    for (int i = 0; i < kRules; ++i) {
        std::string row = std::to_string(i + 1);
        TMPL_varlist* vars = TMPL_add_var(nullptr, "row", row.c_str(), 0);
        std::string text = RuleField(i, "Text");
        char value[kConfigValueRoom];
        readConfigOperate(FILETYPE_GLOBAL, text.c_str(), value, 0);
        vars = TMPL_add_var(vars, "Text", value, 0);
        std::string ringer = GetConfigValue(FILETYPE_GLOBAL, RuleField(i, "Ringer").c_str(), 0);
        vars = TMPL_add_var(vars, "isDefault", ringer.empty() || ringer == "0" ? "1" : "", 0);
        vars = TMPL_add_loop(vars, "ringTypeLoop", GetRingToneLoop(ringer.c_str(), RING_PAGE, true));
        rules = TMPL_add_varlist(rules, vars);
    }
    TMPL_varlist* varlist = TMPL_add_loop(nullptr, "TRLoop", rules);
    varlist = AddSettingsLevel(varlist, request, kPage, kItems, CountOf(kItems));
    RenderPage(response, "settings-ring.htm", varlist);
    return 1;
}

int SettingsRingServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    const char** texts = request->getParameterValues("Text");
    const char** ringers = request->getParameterValues("Ringer");
    std::list<std::string> ringList = GetRingList();
    PageWrite write(request, kPage);
    // Rules the form did not post keep their values.
    for (int i = 0; i < kRules && texts && texts[i]; ++i)
        write.set(FILETYPE_GLOBAL, RuleField(i, "Text").c_str(), CutText(texts[i]).c_str(), "Text");
    for (int i = 0; i < kRules && ringers && ringers[i]; ++i) {
        int position = 0, at = 0;
        for (const std::string& ring : ringList) {
            if (ring == ringers[i]) {
                position = at;
                break;
            }
            ++at;
        }
        write.set(FILETYPE_GLOBAL, RuleField(i, "Ringer").c_str(), std::to_string(position).c_str(),
                  "Ringer");
    }
    if (!write.save())
        return write.reshow(response, this, &SettingsRingServlet::loadConfig);
    BroadcastChange(kChangedRing, 0);
    write.done(response);
    return 1;
}

HttpServlet* createSettingsRingServlet()
{
    return new SettingsRingServlet;
}
