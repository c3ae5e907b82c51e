#include "pages/account/AccountRegisterServlet.h"

#include <cstring>
#include <string>
#include <vector>

#include "frame/frame.h"
#include "pages/account/AccountCommon.h"
#include "platform/registry.h"

namespace {

constexpr char kPage[] = "account-register";
constexpr char kPasswordMask[] = "********";

const char* const kReadFields[] = {
    "AccountEnable",         "AccountLabel",     "AccountDisplayName", "AccountRegisterName",
    "AccountUserName",       "AccountOutboundSwitch", "AccountTransport", "AccountStunSwitch",
    "AccountStunServerHost", "AccountSTUNPort",
};

const char* const kWriteFields[] = {
    "AccountEnable",         "AccountLabel",     "AccountDisplayName", "AccountRegisterName",
    "AccountUserName",       "AccountOutboundSwitch", "AccountTransport", "AccountStunSwitch",
    "AccountStunServerHost", "AccountSTUNPort",  "AccountOutboundProxy", "AccountOutboundPort",
};

const char* const kItems[] = {
    "SwitchAccount",       "RegisterLineActive",
    "RegisterAccountLabel", "RegisterDisplayName",
    "RegisterName",        "RegisterUserName",
    "RegisterSipServer",   "RegisterAccountPassword",
    "RegisterEnabledOutboundProxyServer", "RegisterOutboundProxyServer",
    "RegisterTransportItem", "RegisterBackupOutboundProxyServer",
    "RegisterNATTraversal", "RegisterSTUNServer",
    "RegisterAccountStatus",
};

// One key of a server section: its INI key, the form and template name
// ("<key><server>") and the default on read.
struct ServerKey {
    const char* key;
    const char* defaultValue;
};

const ServerKey kServerKeys[] = {
    {"server", ""}, {"port", "5060"}, {"expires", "3600"}, {"RetryCounts", "3"},
};

// With no server in the account file, server 1 is the account's configured
// host: these configured fields stand in for its INI keys.
struct FallbackField {
    const char* variable;
    const char* field;
};

const FallbackField kServer1Fallback[] = {
    {"server1", "AccountSIPServerHost"},
    {"port1", "AccountSIPServerPort"},
    {"AccountTransport", "AccountTransport"},
    {"expires1", "AccountExpire"},
};

std::string ServerSection(int server)
{
    return "sipserver" + std::to_string(server);
}

std::string ServerField(const char* key, int server)
{
    return key + std::to_string(server);
}

_HREGISTRY_* OpenSection(int account, const std::string& section)
{
    return registryOpen(AccountIniFile(account).c_str(), section.c_str());
}

std::string IniValue(_HREGISTRY_* handle, const char* key, const char* defaultValue)
{
    if (!handle)
        return EscapeHtml(defaultValue);
    return GetStringAndReplaceChar(handle, key, defaultValue);
}

TMPL_varlist* AddServers(TMPL_varlist* varlist, int account)
{
    _HREGISTRY_* sections[2] = {OpenSection(account, ServerSection(1)),
                                OpenSection(account, ServerSection(2))};
    bool noServer = IniValue(sections[0], "server", "").empty() &&
                    IniValue(sections[1], "server", "").empty();
    bool fallback = noServer && !GetConfigValue(FILETYPE_ACCOUNT, "AccountSIPServerHost", account).empty();
    for (int server = 1; server <= 2; ++server) {
        _HREGISTRY_* handle = sections[server - 1];
        if (server == 1 && fallback) {
            for (const FallbackField& entry : kServer1Fallback) {
                std::string value = EscapeHtml(GetConfigValue(FILETYPE_ACCOUNT, entry.field, account)
                                                   .substr(0, kConfigValueMax));
                varlist = TMPL_add_var(varlist, entry.variable, value.c_str(), 0);
            }
        } else {
            for (const ServerKey& entry : kServerKeys) {
                std::string name = ServerField(entry.key, server);
                varlist = TMPL_add_var(varlist, name.c_str(),
                                       IniValue(handle, entry.key, entry.defaultValue).c_str(), 0);
            }
            if (server == 1)
                varlist = TMPL_add_var(varlist, "AccountTransport",
                                       IniValue(handle, "transport", "0").c_str(), 0);
        }
        // The retry count lives only in the account file.
        std::string retry = ServerField("RetryCounts", server);
        varlist = TMPL_add_var(varlist, retry.c_str(), IniValue(handle, "RetryCounts", "3").c_str(), 0);
    }
    return varlist;
}

TMPL_varlist* AddOutboundProxy(TMPL_varlist* varlist, int account)
{
    _HREGISTRY_* handle = OpenSection(account, "outboundProxy1");
    if (IniValue(handle, "server", "").empty()) {
        varlist = readConfigOperate(FILETYPE_ACCOUNT, "AccountOutboundProxy", varlist, account);
        return readConfigOperate(FILETYPE_ACCOUNT, "AccountOutboundPort", varlist, account);
    }
    varlist = TMPL_add_var(varlist, "AccountOutboundProxy", IniValue(handle, "server", "").c_str(), 0);
    return TMPL_add_var(varlist, "AccountOutboundPort", IniValue(handle, "port", "5060").c_str(), 0);
}

bool Flush(_HREGISTRY_* handle)
{
    return handle && registryFlush(handle);
}

// The posted fields kept in the account file, checked before anything is
// stored: field and key of each section.
struct IniField {
    int section;  // 0 the outbound proxy, 1 and 2 the servers
    const char* key;
    std::string field;
};

std::vector<IniField> IniFields()
{
    std::vector<IniField> fields = {{0, "server", "AccountOutboundProxy"},
                                    {0, "port", "AccountOutboundPort"}};
    for (int server = 1; server <= 2; ++server) {
        for (const ServerKey& entry : kServerKeys)
            fields.push_back({server, entry.key, ServerField(entry.key, server)});
    }
    fields.push_back({1, "transport", "AccountTransport"});
    return fields;
}

// False when the account file could not be written.
bool StoreIniSettings(const std::vector<std::pair<const IniField*, std::string>>& values,
                      int account)
{
    // A new phone may not have the accounts' folder yet.
    makeDirs(phonePath(kAccountIniDir));
    bool stored = true;
    for (int section = 0; section <= 2; ++section) {
        _HREGISTRY_* handle =
            OpenSection(account, section == 0 ? "outboundProxy1" : ServerSection(section));
        for (const auto& value : values) {
            if (value.first->section == section && handle)
                stored = RegSetString(handle, value.first->key, value.second.c_str(), false) && stored;
        }
        stored = Flush(handle) && stored;
    }
    return stored;
}

}  // namespace

int AccountRegisterServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<AccountRegisterServlet> kActions[] = {
        {"load", &AccountRegisterServlet::loadConfig},
        {"write", &AccountRegisterServlet::writeConfig},
        {"askstatus", &AccountRegisterServlet::askStatus},
    };
    return DispatchPageAction(this, request, response, kActions);
}

int AccountRegisterServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    int account = 0;
    if (!GetLoadAccount(request, response, account))
        return 0;
    TMPL_varlist* varlist = readConfigOperate(FILETYPE_ACCOUNT, kReadFields, CountOf(kReadFields),
                                              nullptr, account);
    varlist = TMPL_add_var(varlist, "AccountStatus",
                           AccountStatusWord(AskAccountState(account)), 0);
    varlist = AddServers(varlist, account);
    varlist = AddOutboundProxy(varlist, account);
    // The account file's fields carry their rules' limits too, and a
    // refused write shows them as they were typed.
    for (const IniField& field : IniFields()) {
        const char* name = field.field.c_str();
        varlist = TMPL_add_var(varlist, (field.field + "_limits").c_str(),
                               FieldLimits(FindFieldRule(name)).c_str(), 0);
        if (const char* typed = TypedFormValue(name))
            varlist = TMPL_add_var(varlist, name, EscapeHtml(typed).c_str(), 0);
    }
    std::string index = std::to_string(account);
    varlist = TMPL_add_var(varlist, "var_accountID", index.c_str(), 0);
    varlist = TMPL_add_loop(varlist, "accountLoop", GetAccountLoop(index.c_str(), false));
    RenderPage(response, "account-register.htm", showItemsByLevel(varlist, request));
    return 1;
}

int AccountRegisterServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    int account = 0;
    if (!GetWriteAccount(request, response, account, " get accountID is NULL",
                         " get accountID is invail", false))
        return 0;
    log_log(2, 6, "Account %d register writeConfig start...", account + 1);
    PageWrite write(request, kPage, account);
    write.add(FILETYPE_ACCOUNT, kWriteFields, CountOf(kWriteFields));
    write.addAs(FILETYPE_ACCOUNT, "AccountSIPServerHost", "server1");
    write.addAs(FILETYPE_ACCOUNT, "AccountSIPServerPort", "port1");
    // The page shows the mask, never the password: the mask coming back
    // means "unchanged".
    const char* password = request->getParameter("AccountPassword");
    if (password && strcmp(password, kPasswordMask) != 0)
        write.add(FILETYPE_ACCOUNT, "AccountPassword");
    static const std::vector<IniField> kIniFields = IniFields();
    std::vector<std::pair<const IniField*, std::string>> iniValues;
    for (const IniField& field : kIniFields) {
        if (const char* value = write.take(field.field.c_str()))
            iniValues.emplace_back(&field, value);
    }
    if (!write.save())
        return write.reshow(response, this, &AccountRegisterServlet::loadConfig);
    if (!StoreIniSettings(iniValues, account)) {
        log_log(2, 3, "Account %d: account file not stored", account + 1);
        SetNoticePage(response, false, kPage, "Error:The settings could not be saved!");
        return 1;
    }
    BroadcastAccountChanged(account);
    write.done(response);
    log_log(2, 6, "Account %d register has changed!", account + 1);
    return 1;
}

int AccountRegisterServlet::askStatus(HttpRequest* request, HttpResponse* response)
{
    return AnswerAccountStatus(request, response, "askStatus para error");
}

TMPL_varlist* AccountRegisterServlet::showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request)
{
    return AddShowLevel(varlist, request, kAccountMenuRegister, CountOf(kAccountMenuRegister),
                        kItems, CountOf(kItems));
}

HttpServlet* createAccountRegisterServlet()
{
    return new AccountRegisterServlet;
}
