#include "pages/settings/SettingsAreacodeServlet.h"

#include "frame/frame.h"
#include "pages/settings/SimplePage.h"

namespace {

const char* const kFields[] = {"AreaCode", "AreaCodeMinLen", "AreaCodeMaxLen", "AreaCodeAccount"};
const char* const kItems[] = {"PhoneAreacodeControl", "replace-rule", "dial-now", "area-code",
                              "block-out"};
const SimplePageSpec kSpec = {"settings-areacode", "settings-dialplan", kFields, CountOf(kFields),
                              nullptr, 0, kItems, CountOf(kItems), 18, false};

}  // namespace

int SettingsAreacodeServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<SettingsAreacodeServlet> kActions[] = {
        {"load", &SettingsAreacodeServlet::loadConfig},
        {"write", &SettingsAreacodeServlet::writeConfig},
    };
    return DispatchPageAction(this, request, response, kActions);
}

int SettingsAreacodeServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    return SimplePageLoad(kSpec, request, response);
}

int SettingsAreacodeServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    return SimplePageWrite(kSpec, this, &SettingsAreacodeServlet::loadConfig, request, response);
}

HttpServlet* createSettingsAreacodeServlet()
{
    return new SettingsAreacodeServlet;
}
