#include "pages/account/AccountCommon.h"

#include <cstdio>

#include "frame/frame.h"
#include "platform/msgids.h"

namespace {

constexpr unsigned int kChangedAccount = 3;
constexpr int kStatusTimeoutMs = 3000;

}  // namespace

const char* const kAccountMenuRegister[4] = {"account-register", "account-basic",
                                             "account-codec", "account-adv"};
const char* const kAccountMenuBasic[4] = {"account-basic", "account-register", "account-codec",
                                          "account-adv"};
const char* const kAccountMenuAdv[4] = {"account-adv", "account-codec", "account-basic",
                                        "account-register"};
const char* const kAccountMenuCodec[4] = {"account-codec", "account-register", "account-basic",
                                          "account-adv"};

std::string AccountIniFile(int account)
{
    return std::string(kAccountIniDir) + "sipAccount" + std::to_string(account) + ".cfg";
}

bool GetLoadAccount(HttpRequest* request, HttpResponse* response, int& account)
{
    switch (GetAccountParam(request, "acc", account)) {
    case AccountParam::Valid:
        return true;
    case AccountParam::Missing:
        log_log(2, 4, "get accountID is null");
        return false;
    case AccountParam::Invalid:
        break;
    }
    response->print("no such account!");
    log_log(2, 4, "get accountID is illegal");
    return false;
}

bool GetWriteAccount(HttpRequest* request, HttpResponse* response, int& account,
                     const char* missingLog, const char* invalidLog, bool printRefusal)
{
    switch (GetAccountParam(request, "var_accountID", account)) {
    case AccountParam::Valid:
        return true;
    case AccountParam::Missing:
        log_log(2, 4, "%s", missingLog);
        return false;
    case AccountParam::Invalid:
        break;
    }
    if (printRefusal)
        response->print("no such account!");
    log_log(2, 4, "%s", invalidLog);
    return false;
}

int AskAccountState(int account)
{
    HTHREAD phone = msgGetThreadByName("app_vpPhone");
    if (!phone)
        return 0;
    return msgSendMsgToThreadTimeoutEx(phone, kMsgAccountStatus, static_cast<unsigned int>(account),
                                       0, 0, nullptr, kStatusTimeoutMs);
}

int AnswerAccountStatus(HttpRequest* request, HttpResponse* response, const char* paramLog)
{
    int account = 0;
    if (GetAccountParam(request, "acc", account) != AccountParam::Valid) {
        log_log(2, 4, "%s", paramLog);
        return 1;
    }
    int state = 0;
    if (GetConfigValue(FILETYPE_ACCOUNT, "AccountEnable", account) == "1")
        state = AskAccountState(account);
    // The answer is read as one or two digits by the page's script.
    char text[3];
    snprintf(text, sizeof text, "%d", state);
    response->print(text);
    return 1;
}

void BroadcastAccountChanged(int account)
{
    msgBroadpostThreadMsg(kMsgConfigChanged, kChangedAccount, account);
}
