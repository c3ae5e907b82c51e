#include "pages/settings/SettingsDialnowServlet.h"

#include "frame/frame.h"
#include "pages/settings/RulePage.h"

namespace {

const char* const kItems[] = {"PhoneDialnowControl", "replace-rule", "dial-now", "area-code",
                              "block-out"};

const RulePageSpec kSpec = {
    "settings-dialnow",
    "settings-dialnow.htm",
    "/config/data/DialNow.xml",
    kItems,
    CountOf(kItems),
    {{"DialNowRule", "textRule", "editRule"},
     {"LineID", "textAccount", "editAccount"}},
    nullptr,
    "textAccount",
    6,
    "loadConfig... End error to get root element\n",
    "Add... too many dialNow Rules\n",
};

}  // namespace

void SettingsDialnowServlet::init() { phoneType_ = GetPhoneType(); }

int SettingsDialnowServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<SettingsDialnowServlet> kActions[] = {
        {"load", &SettingsDialnowServlet::loadConfig},
        {"add", &SettingsDialnowServlet::Add},
        {"edit", &SettingsDialnowServlet::Edit},
        {"del", &SettingsDialnowServlet::Del},
    };
    return DispatchPageAction(this, request, response, kActions);
}

int SettingsDialnowServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    return RulePageLoad(kSpec, phoneType_, request, response);
}

int SettingsDialnowServlet::Add(HttpRequest* request, HttpResponse* response)
{
    return IsInTalking(response) ? 1 : RulePageAdd(kSpec, phoneType_, request, response);
}

int SettingsDialnowServlet::Edit(HttpRequest* request, HttpResponse* response)
{
    return IsInTalking(response) ? 1 : RulePageEdit(kSpec, phoneType_, request, response);
}

int SettingsDialnowServlet::Del(HttpRequest* request, HttpResponse* response)
{
    return IsInTalking(response) ? 1 : RulePageDel(kSpec, phoneType_, request, response);
}

HttpServlet* createSettingsDialnowServlet()
{
    return new SettingsDialnowServlet;
}
