#include "pages/account/AccountBasicServlet.h"

#include <string>

#include "frame/frame.h"
#include "pages/account/AccountCommon.h"
#include "platform/msgids.h"

namespace {

constexpr char kPage[] = "account-basic";
constexpr unsigned int kChangedAutoAnswer = 13;

const char* const kReadFields[] = {
    "AccountProxyRequire",
    "AccountAnonymousCallSwitch",
    "AccountAnonymousCallOnCode",
    "AccountAnonymousCallOffCode",
    "AccountRejectAnonymousCallSwitch",
    "AccountRejectAnonymousRejectOnCode",
    "AccountRejectAnonymousRejectOffCode",
    "AccountMissCallLog",
    "AccountAutoAnswerSwitch",
    "AccountRing",
};

const char* const kWriteSwitches[] = {
    "AccountProxyRequire",
    "AccountAnonymousCallSwitch",
    "AccountRejectAnonymousCallSwitch",
    "AccountMissCallLog",
};

// While the central call-feature service is active it owns these codes.
const char* const kWriteCodes[] = {
    "AccountAnonymousCallOnCode",
    "AccountAnonymousCallOffCode",
    "AccountRejectAnonymousRejectOnCode",
    "AccountRejectAnonymousRejectOffCode",
};

const char* const kItems[] = {
    "SwitchAccount",
    "AccountBasicProxyRequire",
    "AccountSendAnonymous",
    "AccountBasicAnonymousCallEnabled",
    "AccountBasicAnonymousCallOnCode",
    "AccountBasicAnonymousCallOffCode",
    "AccountBasicAnonymousRejectionEnabled",
    "AccountBasicAnonymousRejectionOnCode",
    "AccountBasicAnonymousRejectionOffCode",
    "AccountBasicMissCalllog",
    "AccountBasicAutoAnswer",
    "AccountBasicRingType",
};

}  // namespace

int AccountBasicServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<AccountBasicServlet> kActions[] = {
        {"load", &AccountBasicServlet::loadConfig},
        {"write", &AccountBasicServlet::writeConfig},
    };
    return DispatchPageAction(this, request, response, kActions);
}

int AccountBasicServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    int account = 0;
    if (!GetLoadAccount(request, response, account))
        return 0;
    TMPL_varlist* varlist = readConfigOperate(FILETYPE_ACCOUNT, kReadFields, CountOf(kReadFields),
                                              nullptr, account);
    std::string index = std::to_string(account);
    varlist = TMPL_add_var(varlist, "var_accountID", index.c_str(), 0);
    varlist = readConfigOperate(FILETYPE_ACCOUNT, "AccountSendAnonymous", varlist, account);
    std::string ring = GetConfigValue(FILETYPE_ACCOUNT, "AccountRing", account);
    varlist = TMPL_add_loop(varlist, "ringTypeloop", GetRingToneLoop(ring.c_str(), RING_ACCOUNT, true));
    varlist = TMPL_add_loop(varlist, "accountLoop", GetAccountLoop(index.c_str(), false));
    RenderPage(response, "account-basic.htm", showItemsByLevel(varlist, request));
    return 1;
}

int AccountBasicServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    int account = 0;
    if (!GetWriteAccount(request, response, account, "get accountID is NULL",
                         "get accountID is invail", false))
        return 0;
    PageWrite write(request, kPage, account);
    write.add(FILETYPE_ACCOUNT, kWriteSwitches, CountOf(kWriteSwitches));
    std::string ring = GetConfigValue(FILETYPE_ACCOUNT, "AccountRing", account);
    write.addOffered(FILETYPE_ACCOUNT, "AccountRing", GetRingToneLoop(ring.c_str(), RING_ACCOUNT, true));
    if (GetConfigValue(FILETYPE_GLOBAL, "BSFTActive", 0) == "0")
        write.add(FILETYPE_ACCOUNT, kWriteCodes, CountOf(kWriteCodes));
    write.add(FILETYPE_ACCOUNT, "AccountSendAnonymous");
    write.add(FILETYPE_ACCOUNT, "AccountAutoAnswerSwitch");
    if (!write.save())
        return write.reshow(response, this, &AccountBasicServlet::loadConfig);
    if (write.changed("AccountAutoAnswerSwitch"))
        msgPostMsgToThread(msgGetThreadByName("app_vpPhone"), kMsgConfigChanged, kChangedAutoAnswer, 0);
    BroadcastAccountChanged(account);
    write.done(response);
    log_log(2, 6, "Account %d basic has changed!", account + 1);
    return 1;
}

TMPL_varlist* AccountBasicServlet::showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request)
{
    return AddShowLevel(varlist, request, kAccountMenuBasic, CountOf(kAccountMenuBasic), kItems,
                        CountOf(kItems));
}

HttpServlet* createAccountBasicServlet()
{
    return new AccountBasicServlet;
}
