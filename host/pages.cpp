#include "host/pages.h"

#include <exception>

#include "platform/system.h"

const char kListenerFactory[] = "createLoginListener";
const char kMissingFactory[] = "createNotFoundServlet";

const PageEntry kPageTable[] = {
    {"status", "createStatusServlet"},
    {"account-register", "createAccountRegisterServlet"},
    {"account-register-lync", "createAccountRegisterLyncServlet"},
    {"account-basic", "createAccountBasicServlet"},
    {"account-adv", "createAccountAdvServlet"},
    {"account-codec", "createAccountCodecServlet"},
    {"contactsbasic", "createContactsBasicServlet"},
    {"contacts-preview", "createContactsFileOperatorServlet"},
    {"contacts-favorite", "createContactsFavoriteServlet"},
    {"contacts-calllog", "createContactsCalllogServlet"},
    {"contacts-callinfo", "createContactsCallInfoServlet"},
    {"contacts-LDAP", "createContactsLDAPServlet"},
    {"contacts-broadsoft", "createContactsBroadsoftServlet"},
    {"contacts-remote", "createContactsRemoteServlet"},
    {"contacts-multicastIP", "createContactsMulticastIPServlet"},
    {"dsskey", "createDssKeyServlet"},
    {"features-forward", "createFeaturesForwardServlet"},
    {"features-acd", "createFeaturesACDServlet"},
    {"features-actionurl", "createFeaturesActionurlServlet"},
    {"features-audio", "createFeaturesAudioServlet"},
    {"features-bluetooth", "createFeaturesBluetoothServlet"},
    {"features-callpickup", "createFeaturesCallpickupServlet"},
    {"features-general", "createFeaturesGeneralServlet"},
    {"features-intercom", "createFeaturesIntercomServlet"},
    {"features-phonelock", "createFeaturesPhonelockServlet"},
    {"features-powerled", "createFeaturesPowerLEDServlet"},
    {"features-remotecontrl", "createFeaturesRemoteContrlServlet"},
    {"features-transfer", "createFeaturesTransferServlet"},
    {"hidden", "createHiddenServlet"},
    {"features-sms", "createFeaturesSMSServlet"},
    {"login", "createLoginServlet"},
    {"network", "createNetworkServlet"},
    {"network-adv", "createNetworkAdvServlet"},
    {"network-pcport", "createNetworkPCPortServlet"},
    {"security", "createSecurityServlet"},
    {"server-cert", "createServerCertServlet"},
    {"trusted-cert", "createTrustedCertServlet"},
    {"settings-upgrade", "createSettingsUpgradeServlet"},
    {"settings-config", "createSettingsConfigServlet"},
    {"settings-autop", "createSettingsAutoProvisionServlet"},
    {"settings-tr069", "createSettingTr069Servlet"},
    {"settings-dialplan", "createSettingsDialplanServlet"},
    {"settings-dialnow", "createSettingsDialnowServlet"},
    {"settings-softkey", "createSettingsSoftkeyServlet"},
    {"settings-datetime", "createSettingsDateTimeServlet"},
    {"settings-preference", "createSettingsPreferenceServlet"},
    {"settings-ring", "createSettingsRingServlet"},
    {"settings-areacode", "createSettingsAreacodeServlet"},
    {"settings-blackout", "createSettingsBlackoutServlet"},
    {"settings-tones", "createSettingsTonesServlet"},
    {"settings-voice", "createSettingsVoiceServlet"},
};
const size_t kPageTableSize = sizeof kPageTable / sizeof kPageTable[0];

namespace {

template <typename Handler>
Handler* callFactory(const PageRegistry::Lookup& lookup, const char* factory)
{
    void* symbol = lookup(factory);
    if (!symbol)
        return nullptr;
    auto make = reinterpret_cast<Handler* (*)()>(symbol);
    return make();
}

}  // namespace

void PageRegistry::load(const Lookup& lookup, const ExtraPages& extra)
{
    std::map<std::string, std::string> table;
    for (const PageEntry& entry : kPageTable)
        table[entry.page] = entry.factory;
    for (const auto& entry : extra)
        table[entry.first] = entry.second;

    missing_ = callFactory<HttpServlet>(lookup, kMissingFactory);
    if (missing_)
        missing_->init();
    listener_ = callFactory<HttpListener>(lookup, kListenerFactory);
    if (listener_)
        listener_->init();
    else
        log_log(2, 4, "no request filter in the page library: every request passes");

    size_t missing = 0;
    for (const auto& entry : table) {
        auto made = handlers_.find(entry.second);
        HttpServlet* handler = nullptr;
        if (made != handlers_.end()) {
            handler = made->second;
        } else {
            handler = callFactory<HttpServlet>(lookup, entry.second.c_str());
            if (handler) {
                handler->init();
                handlers_[entry.second] = handler;
            }
        }
        if (handler)
            pages_[entry.first] = handler;
        else
            ++missing;
    }
    log_log(2, 6, "%zu pages served, %zu without a handler", pages_.size(), missing);
}

void PageRegistry::shutdown()
{
    if (shutDown_)
        return;
    shutDown_ = true;
    for (auto& entry : handlers_)
        entry.second->destory();
    // The handlers stay listed (not served): they belong to the library.
    if (listener_)
        listener_->destory();
    if (missing_)
        missing_->destory();
    missing_ = nullptr;
    pages_.clear();
    listener_ = nullptr;
}

HttpServlet* PageRegistry::find(const char* page) const
{
    if (!page)
        return nullptr;
    auto it = pages_.find(page);
    return it == pages_.end() ? nullptr : it->second;
}

void PageRegistry::serve(HttpRequest& request, HttpResponse& response) const
{
    if (listener_ && listener_->onRequest(&request, &response) == 0)
        return;
    HttpServlet* page = find(request.getParameter("p"));
    // A page the library lacks answers in the interface's look when the
    // library has a handler for that.
    if (!page)
        page = missing_;
    if (!page) {
        response.sendError(404);
        return;
    }
    page->onRequest(&request, &response);
}

void serveExchange(const PageRegistry& registry, SessionStore& sessions, RequestInfo info,
                   BodySource& body, OutputSink& out, const HostLimits& limits)
{
    HostResponse response(out);
    HostRequest request(std::move(info), body, sessions, response, limits);
    // Without a request filter nobody logs in (the host's own test pages).
    if (request.admit() && (!registry.listener() || request.admitUpgrade())) {
        try {
            registry.serve(request, response);
        } catch (const std::exception& error) {
            log_log(2, 3, "request failed: %s", error.what());
            response.fail(500);
        } catch (...) {
            log_log(2, 3, "request failed");
            response.fail(500);
        }
    }
    request.finish();
}
