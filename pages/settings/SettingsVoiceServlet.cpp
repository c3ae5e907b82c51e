#include "pages/settings/SettingsVoiceServlet.h"

#include "frame/frame.h"
#include "pages/settings/SimplePage.h"

namespace {

const char* const kFields[] = {"VPMECHO",   "VPMVAD",    "VPMCNG",        "JitterAdaptive",
                               "JitterMin", "JitterMax", "JitterNominal"};
const char* const kWritten[] = {"VPMECHO",   "VPMVAD",    "VPMCNG",
                                "JitterMin", "JitterMax", "JitterNominal"};
const char* const kItems[] = {"PhoneEchoCancellation", "PhoneJitterBuffer"};
const SimplePageSpec kSpec = {"settings-voice", "settings-voice", kFields,
                              CountOf(kFields), kWritten, CountOf(kWritten),
                              kItems, CountOf(kItems), 17, true};

}  // namespace

int SettingsVoiceServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<SettingsVoiceServlet> kActions[] = {
        {"load", &SettingsVoiceServlet::loadConfig},
        {"write", &SettingsVoiceServlet::writeConfig},
    };
    return DispatchPageAction(this, request, response, kActions, UnknownAction::EmptyAnswer);
}

int SettingsVoiceServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    return SimplePageLoad(kSpec, request, response);
}

int SettingsVoiceServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    // The form names the adaptive switch "JitterType".
    if (!request->getParameter("JitterType"))
        log_log(2, 4, "writeConfig... para error\n");
    return SimplePageWrite(kSpec, this, &SettingsVoiceServlet::loadConfig, request, response,
                           "JitterAdaptive", "JitterType");
}

HttpServlet* createSettingsVoiceServlet()
{
    return new SettingsVoiceServlet;
}
