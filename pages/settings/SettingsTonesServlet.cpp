#include "pages/settings/SettingsTonesServlet.h"

#include <fstream>

#include "frame/frame.h"
#include "pages/settings/SettingsCommon.h"
#include "pages/settings/SimplePage.h"

namespace {

constexpr char kCountryFile[] = "/config/tone/CptToneCountry.cfg";
const char* const kFields[] = {"ToneDial",        "ToneRing",      "ToneBusy",   "ToneCongestion",
                               "ToneCallwaiting", "ToneDialrecall", "ToneRecord", "ToneInfo",
                               "ToneStutter",     "ToneMessage",   "ToneAutoanswer", "ToneCountry"};
const char* const kItems[] = {"PhoneToneItems"};
const SimplePageSpec kSpec = {"settings-tones", "settings-tones", kFields, CountOf(kFields),
                              nullptr, 0, kItems, CountOf(kItems), 12, true};

void AddCountry(TMPL_loop*& loop, const std::string& name, const std::string& selected)
{
    std::string text = EscapeHtml(name);
    loop = TMPL_add_varlist(loop, TMPL_add_var(nullptr, "selValue", text.c_str(), "selName",
                                               text.c_str(), "selected",
                                               name == selected ? "true" : "false", 0));
}

}  // namespace

// The sections of the country file, in file order.
std::vector<std::string> ToneCountries()
{
    std::vector<std::string> names;
    std::ifstream file(phonePath(kCountryFile));
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        size_t close = line.find(']');
        if (line.size() > 2 && line[0] == '[' && close != std::string::npos && close > 1)
            names.push_back(CutText(line.substr(1, close - 1)));
    }
    return names;
}

int SettingsTonesServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<SettingsTonesServlet> kActions[] = {
        {"load", &SettingsTonesServlet::loadConfig},
        {"write", &SettingsTonesServlet::writeConfig},
    };
    return DispatchPageAction(this, request, response, kActions);
}

int SettingsTonesServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    std::string selected = GetConfigValue(FILETYPE_GLOBAL, "ToneCountry", 0);
    TMPL_loop* countries = nullptr;
    AddCountry(countries, "Custom", selected);
    for (const std::string& name : ToneCountries())
        AddCountry(countries, name, selected);
    return SimplePageLoad(kSpec, request, response,
                          TMPL_add_loop(nullptr, "countryLoop", countries));
}

int SettingsTonesServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    return SimplePageWrite(kSpec, this, &SettingsTonesServlet::loadConfig, request, response);
}

HttpServlet* createSettingsTonesServlet()
{
    return new SettingsTonesServlet;
}
