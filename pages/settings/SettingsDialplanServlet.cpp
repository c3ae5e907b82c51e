#include "pages/settings/SettingsDialplanServlet.h"

#include "frame/frame.h"
#include "pages/settings/RulePage.h"

namespace {

const char* const kItems[] = {"PhoneReplaceRuleControl", "replace-rule", "dial-now", "area-code",
                              "block-out"};

const RulePageSpec kSpec = {
    "settings-dialplan",
    "settings-dialplan.htm",
    "/config/data/DialPlan.xml",
    kItems,
    CountOf(kItems),
    {{"Prefix", "textPrefix", "editPrefix"},
     {"Replace", "textReplace", "editReplace"},
     {"LineID", "textAccount", "editAccount"}},
    "textAccount",
    nullptr,
    4,
    "loadConfig... error to get root element\n",
    "Add... too many dialPlan Rules\n",
};

}  // namespace

void SettingsDialplanServlet::init() { phoneType_ = GetPhoneType(); }

int SettingsDialplanServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<SettingsDialplanServlet> kActions[] = {
        {"load", &SettingsDialplanServlet::loadConfig},
        {"add", &SettingsDialplanServlet::Add},
        {"edit", &SettingsDialplanServlet::Edit},
        {"del", &SettingsDialplanServlet::Del},
    };
    return DispatchPageAction(this, request, response, kActions);
}

int SettingsDialplanServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    return RulePageLoad(kSpec, phoneType_, request, response);
}

int SettingsDialplanServlet::Add(HttpRequest* request, HttpResponse* response)
{
    return IsInTalking(response) ? 1 : RulePageAdd(kSpec, phoneType_, request, response);
}

int SettingsDialplanServlet::Edit(HttpRequest* request, HttpResponse* response)
{
    return IsInTalking(response) ? 1 : RulePageEdit(kSpec, phoneType_, request, response);
}

int SettingsDialplanServlet::Del(HttpRequest* request, HttpResponse* response)
{
    return IsInTalking(response) ? 1 : RulePageDel(kSpec, phoneType_, request, response);
}

HttpServlet* createSettingsDialplanServlet()
{
    return new SettingsDialplanServlet;
}
