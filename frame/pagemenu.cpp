// Which pages this library serves, known from the factories linked into it:
// a factory that is not there leaves a null weak reference, so the menu
// never offers a page that would answer 404.
#include <cstring>
#include <string>

#include "frame/servlet.h"
#include "platform/tmpl.h"

#define PAGE_FACTORY(name) \
    extern "C" __attribute__((weak, visibility("default"))) HttpServlet* name();
PAGE_FACTORY(createStatusServlet)
PAGE_FACTORY(createAccountRegisterServlet)
PAGE_FACTORY(createAccountBasicServlet)
PAGE_FACTORY(createAccountAdvServlet)
PAGE_FACTORY(createAccountCodecServlet)
PAGE_FACTORY(createNetworkServlet)
PAGE_FACTORY(createNetworkAdvServlet)
PAGE_FACTORY(createNetworkPCPortServlet)
PAGE_FACTORY(createDssKeyServlet)
PAGE_FACTORY(createFeaturesForwardServlet)
PAGE_FACTORY(createFeaturesGeneralServlet)
PAGE_FACTORY(createFeaturesAudioServlet)
PAGE_FACTORY(createFeaturesIntercomServlet)
PAGE_FACTORY(createFeaturesTransferServlet)
PAGE_FACTORY(createFeaturesCallpickupServlet)
PAGE_FACTORY(createFeaturesRemoteContrlServlet)
PAGE_FACTORY(createFeaturesPhonelockServlet)
PAGE_FACTORY(createFeaturesACDServlet)
PAGE_FACTORY(createFeaturesSMSServlet)
PAGE_FACTORY(createFeaturesPowerLEDServlet)
PAGE_FACTORY(createFeaturesActionurlServlet)
PAGE_FACTORY(createFeaturesBluetoothServlet)
PAGE_FACTORY(createSettingsPreferenceServlet)
PAGE_FACTORY(createSettingsDateTimeServlet)
PAGE_FACTORY(createSettingsUpgradeServlet)
PAGE_FACTORY(createSettingsAutoProvisionServlet)
PAGE_FACTORY(createSettingsConfigServlet)
PAGE_FACTORY(createSettingsDialplanServlet)
PAGE_FACTORY(createSettingsDialnowServlet)
PAGE_FACTORY(createSettingsVoiceServlet)
PAGE_FACTORY(createSettingsRingServlet)
PAGE_FACTORY(createSettingsTonesServlet)
PAGE_FACTORY(createSettingsSoftkeyServlet)
PAGE_FACTORY(createSettingTr069Servlet)
PAGE_FACTORY(createSettingsAreacodeServlet)
PAGE_FACTORY(createSettingsBlackoutServlet)
PAGE_FACTORY(createContactsBasicServlet)
PAGE_FACTORY(createContactsFavoriteServlet)
PAGE_FACTORY(createContactsCalllogServlet)
PAGE_FACTORY(createContactsCallInfoServlet)
PAGE_FACTORY(createContactsLDAPServlet)
PAGE_FACTORY(createContactsBroadsoftServlet)
PAGE_FACTORY(createContactsRemoteServlet)
PAGE_FACTORY(createContactsMulticastIPServlet)
PAGE_FACTORY(createSecurityServlet)
PAGE_FACTORY(createTrustedCertServlet)
PAGE_FACTORY(createServerCertServlet)
#undef PAGE_FACTORY

namespace {

struct MenuPage {
    const char* area;  // the main menu entry
    const char* page;
    const char* query;  // what the page's load needs besides "p" and "q"
    HttpServlet* (*factory)();
};

// Each area's pages in menu order; the area links to its first existing one.
const MenuPage kMenuPages[] = {
    {"status", "status", "", createStatusServlet},
    {"account", "account-register", "&acc=0", createAccountRegisterServlet},
    {"account", "account-basic", "&acc=0", createAccountBasicServlet},
    {"account", "account-codec", "&acc=0", createAccountCodecServlet},
    {"account", "account-adv", "&acc=0", createAccountAdvServlet},
    {"network", "network", "", createNetworkServlet},
    {"network", "network-pcport", "", createNetworkPCPortServlet},
    {"network", "network-adv", "", createNetworkAdvServlet},
    {"dsskey", "dsskey", "&model=1", createDssKeyServlet},
    {"features", "features-forward", "", createFeaturesForwardServlet},
    {"features", "features-general", "", createFeaturesGeneralServlet},
    {"features", "features-audio", "", createFeaturesAudioServlet},
    {"features", "features-intercom", "", createFeaturesIntercomServlet},
    {"features", "features-transfer", "", createFeaturesTransferServlet},
    {"features", "features-callpickup", "", createFeaturesCallpickupServlet},
    {"features", "features-remotecontrl", "", createFeaturesRemoteContrlServlet},
    {"features", "features-phonelock", "", createFeaturesPhonelockServlet},
    {"features", "features-acd", "", createFeaturesACDServlet},
    {"features", "features-sms", "", createFeaturesSMSServlet},
    {"features", "features-powerled", "", createFeaturesPowerLEDServlet},
    {"features", "features-actionurl", "", createFeaturesActionurlServlet},
    {"features", "features-bluetooth", "", createFeaturesBluetoothServlet},
    {"settings", "settings-preference", "", createSettingsPreferenceServlet},
    {"settings", "settings-datetime", "", createSettingsDateTimeServlet},
    {"settings", "settings-upgrade", "", createSettingsUpgradeServlet},
    {"settings", "settings-autop", "", createSettingsAutoProvisionServlet},
    {"settings", "settings-config", "", createSettingsConfigServlet},
    {"settings", "settings-dialplan", "", createSettingsDialplanServlet},
    {"settings", "settings-dialnow", "", createSettingsDialnowServlet},
    {"settings", "settings-voice", "", createSettingsVoiceServlet},
    {"settings", "settings-ring", "", createSettingsRingServlet},
    {"settings", "settings-tones", "", createSettingsTonesServlet},
    {"settings", "settings-softkey", "", createSettingsSoftkeyServlet},
    {"settings", "settings-tr069", "", createSettingTr069Servlet},
    {"settings", "settings-areacode", "", createSettingsAreacodeServlet},
    {"settings", "settings-blackout", "", createSettingsBlackoutServlet},
    {"contacts", "contactsbasic", "&num=1&group=", createContactsBasicServlet},
    {"contacts", "contacts-favorite", "", createContactsFavoriteServlet},
    {"contacts", "contacts-calllog", "", createContactsCalllogServlet},
    {"contacts", "contacts-callinfo", "", createContactsCallInfoServlet},
    {"contacts", "contacts-LDAP", "", createContactsLDAPServlet},
    {"contacts", "contacts-broadsoft", "", createContactsBroadsoftServlet},
    {"contacts", "contacts-remote", "", createContactsRemoteServlet},
    {"contacts", "contacts-multicastIP", "", createContactsMulticastIPServlet},
    {"security", "security", "", createSecurityServlet},
    {"security", "trusted-cert", "", createTrustedCertServlet},
    {"security", "server-cert", "", createServerCertServlet},
};

}  // namespace

bool PageExists(const char* page)
{
    if (!page)
        return false;
    if (strcmp(page, "login") == 0)
        return true;
    for (const MenuPage& entry : kMenuPages) {
        if (strcmp(entry.page, page) == 0)
            return entry.factory != nullptr;
    }
    return false;
}

TMPL_varlist* AddMenu(TMPL_varlist* varlist)
{
    std::string area;
    for (const MenuPage& entry : kMenuPages) {
        if (!entry.factory)
            continue;
        varlist = TMPL_add_var(varlist, (std::string("have_") + entry.page).c_str(), "1", 0);
        if (area == entry.area)
            continue;
        area = entry.area;
        std::string url = std::string("/servlet?p=") + entry.page + "&amp;q=load";
        for (const char* p = entry.query; *p; ++p)
            url += *p == '&' ? std::string("&amp;") : std::string(1, *p);
        std::string name = "menu_" + area;
        if (!TMPL_get_var(varlist, name.c_str()))
            varlist = TMPL_add_var(varlist, name.c_str(), url.c_str(), 0);
    }
    return varlist;
}
