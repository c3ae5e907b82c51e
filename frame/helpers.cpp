#include "frame/helpers.h"

#include <algorithm>
#include <crypt.h>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <unistd.h>

#include "frame/configbridge.h"
#include "platform/etl.h"
#include "platform/msgbus.h"
#include "platform/msgids.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/tmpl.h"

namespace {

constexpr int kStatusTimeoutMs = 3000;
constexpr char kContactMarkFile[] = "/tmp/contact_update_mark.ini";

constexpr const char* kStatusWords[] = {
    "Disabled", "Registering", "Registered", "Register Failed", "Unregistered", "Registered",
    "Inexistence",
};

constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char* kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

std::string Decimal(int value, bool twoDigits)
{
    char text[16];
    snprintf(text, sizeof text, twoDigits ? "%02d" : "%d", value);
    return text;
}

HTHREAD PhoneThread()
{
    return msgGetThreadByName("app_vpPhone");
}

}  // namespace

size_t CopyText(char* out, size_t size, const char* text)
{
    if (!out || size == 0)
        return 0;
    size_t length = text ? strnlen(text, size - 1) : 0;
    if (length)
        memcpy(out, text, length);
    out[length] = '\0';
    return length;
}

bool ParseDecimalInt(const char* text, int min, int max, int& out)
{
    if (!text)
        return false;
    const char* p = text;
    bool negative = false;
    if (*p == '-' && min < 0) {
        negative = true;
        ++p;
    }
    if (*p == '\0')
        return false;
    long long value = 0;
    for (; *p; ++p) {
        if (*p < '0' || *p > '9')
            return false;
        value = value * 10 + (*p - '0');
        if (value > 4294967296LL)  // beyond any int; stop before overflowing
            return false;
    }
    if (negative)
        value = -value;
    if (value < min || value > max)
        return false;
    out = static_cast<int>(value);
    return true;
}

// ---- Accounts --------------------------------------------------------------

TMPL_loop* GetAccountLoop(const char* selected, bool withAuto)
{
    std::string chosen = selected ? selected : "";
    TMPL_loop* loop = nullptr;
    if (withAuto) {
        loop = TMPL_add_varlist(loop, TMPL_add_var(nullptr, "index", "-1", "selected",
                                                   selected && chosen == "-1" ? "1" : "0",
                                                   "accountno", "Auto", 0));
    }
    int count = GetAccountMax();
    for (int i = 0; i < count; ++i) {
        std::string index = std::to_string(i);
        std::string name = "Account" + std::to_string(i + 1);
        loop = TMPL_add_varlist(loop, TMPL_add_var(nullptr, "index", index.c_str(), "selected",
                                                   selected && chosen == index ? "1" : "0",
                                                   "accountno", name.c_str(), 0));
    }
    return loop;
}

const char* AccountStatusWord(int status)
{
    if (status < 0 || status >= CountOf(kStatusWords))
        return "Unknown";
    return kStatusWords[status];
}

void MapAccountStatusToString(char* out, int status)
{
    CopyText(out, kStatusWordSize, AccountStatusWord(status));
}

int GetSipServerHost(std::string& host, std::string& port, int account)
{
    if (account < 0 || account >= GetAccountMax())
        return 0;
    std::string file = "/config/user/voip/sipAccount" + std::to_string(account) + ".cfg";
    static const char* const kServerSections[] = {"sipserver1", "sipserver2"};
    for (const char* section : kServerSections) {
        _HREGISTRY_* handle = registryOpen(file.c_str(), section);
        host = handle ? registryGetString(handle, "server", "") : "";
        if (!host.empty()) {
            port = registryGetString(handle, "port", "5060");
            return 1;
        }
    }
    _HREGISTRY_* handle = registryOpen(file.c_str(), "account");
    host = handle ? registryGetString(handle, "SIPServerHost", "0.0.0.0") : "0.0.0.0";
    port = handle ? registryGetString(handle, "SIPServerPort", "5060") : "5060";
    return 1;
}

int GetAccountID(const char* address)
{
    if (!address)
        return -1;
    HTHREAD phone = PhoneThread();
    if (!phone)
        return -1;
    int count = GetAccountMax();
    for (int i = 0; i < count; ++i) {
        int status = msgSendMsgToThreadTimeoutEx(phone, kMsgAccountStatus, static_cast<unsigned>(i),
                                                 0, 0, nullptr, kStatusTimeoutMs);
        if (status != 2)
            continue;
        std::string host, port;
        GetSipServerHost(host, port, i);
        if (GetConfigValue(FILETYPE_ACCOUNT, "AccountUserName", i) + "@" + host == address)
            return i;
    }
    return -1;
}

// ---- Device and system -----------------------------------------------------

TMPL_varlist* GetTR069Supported(TMPL_varlist* varlist)
{
    return TMPL_add_var(varlist, "supportTR069", "true", 0);
}

void sysReboot(int mode)
{
    unsigned int wparam = mode < 0 ? 2u : static_cast<unsigned int>(mode);
    msgPostMsgToThread(PhoneThread(), kMsgReboot, wparam, 0);
}

int sendMakeCallMsg(unsigned int wparam, int lparam, const char* number, bool wait)
{
    if (!number)
        return 0;
    int size = static_cast<int>(strlen(number) + 1);
    if (wait)
        return msgSendMsgToThreadEx(PhoneThread(), kMsgMakeCall, wparam, lparam, size, number) != 0;
    // A post that could not be queued is no call.
    return msgPostMsgToThreadEx(PhoneThread(), kMsgMakeCall, wparam, lparam, size, number) ? 1 : 0;
}

void SetDefalutUpdate()
{
    _HREGISTRY_* handle = registryOpen(kContactMarkFile, "update");
    if (!handle) {
        log_log(2, 3, "open %s failed", kContactMarkFile);
        return;
    }
    registrySetInt(handle, "type", 0);
    registryFlush(handle);
}

bool IsContactNeedUpdate(int& type)
{
    if (access(phonePath(kContactMarkFile).c_str(), R_OK) != 0)
        return false;
    type = etlGetProfileInt(kContactMarkFile, "update", "type", 0);
    return type > 0;
}

void writeShareText(const char* name, const char* text, int size)
{
    if (!name || !text || size < 1)
        return;
    ETL_MsgQueueHelper::chNamedObjectManager::LockGlobal();
    char* slot = static_cast<char*>(ETL_MsgQueueHelper::chNamedObjectManager::GetNamedObject(name, size));
    // The slot holds size bytes, its end included.
    if (slot)
        CopyText(slot, static_cast<size_t>(size), text);
    ETL_MsgQueueHelper::chNamedObjectManager::UnlockGlobal();
}

std::string readShareText(const char* name)
{
    if (!name)
        return std::string();
    std::string text;
    ETL_MsgQueueHelper::chNamedObjectManager::LockGlobal();
    int size = 0;
    const char* slot =
        static_cast<const char*>(ETL_MsgQueueHelper::chNamedObjectManager::FindNamedObject(name, &size));
    if (slot && size > 0)
        text.assign(slot, strnlen(slot, static_cast<size_t>(size)));
    ETL_MsgQueueHelper::chNamedObjectManager::UnlockGlobal();
    return text;
}

// ---- Text and time ---------------------------------------------------------

int String2List(ZRList<std::string>& out, const std::string& text, char separator)
{
    if (text.empty())
        return 0;
    out.clear();
    size_t start = 0;
    for (size_t at = text.find(separator); at != std::string::npos; at = text.find(separator, start)) {
        out.push_back(text.substr(start, at - start));
        start = at + 1;
    }
    out.push_back(text.substr(start));
    return 1;
}

void removeSpace(std::string& text)
{
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        text.clear();
        return;
    }
    text.erase(text.find_last_not_of(" \t") + 1);
    text.erase(0, first);
}

const char* GetMonth(int month)
{
    return month >= 1 && month <= 12 ? kMonths[month - 1] : "";
}

const char* GetWeeday(int day)
{
    return day >= 0 && day <= 6 ? kWeekdays[day] : "";
}

int LocalTime2StrTime(long time, std::string& first, std::string& second, std::string& third,
                      std::string& separator, std::string& timeText, int dateFormat,
                      int timeFormat)
{
    time_t when = static_cast<time_t>(time);
    struct tm parts;
    if (!localtime_r(&when, &parts))
        return 0;
    std::string weekday = GetWeeday(parts.tm_wday);
    std::string monthName = GetMonth(parts.tm_mon + 1);
    std::string day = Decimal(parts.tm_mday, true);
    std::string month = Decimal(parts.tm_mon + 1, true);
    std::string year = Decimal(parts.tm_year + 1900, false);

    struct DateLayout {
        const std::string* first;
        const std::string* second;
        const std::string* third;
        const char* separator;
    };
    std::string shortYear = Decimal((parts.tm_year + 1900) % 100, false);
    const DateLayout layouts[] = {
        {&weekday, &monthName, &day, " "}, {&day, &monthName, &year, "-"},
        {&year, &month, &day, "-"},        {&day, &month, &year, "/"},
        {&month, &day, &shortYear, "/"},   {&day, &monthName, &year, " "},
        {&weekday, &day, &monthName, " "},
    };
    if (dateFormat >= 0 && dateFormat < CountOf(layouts)) {
        const DateLayout& layout = layouts[dateFormat];
        first = *layout.first;
        second = *layout.second;
        third = *layout.third;
        separator = layout.separator;
    }

    char clock[16] = "";
    int hour = parts.tm_hour;
    if (timeFormat == 1) {
        snprintf(clock, sizeof clock, "%02d:%02d", hour, parts.tm_min);
    } else if (timeFormat == 0) {
        int shown = hour % 12 == 0 ? 12 : hour % 12;
        snprintf(clock, sizeof clock, "%02d:%02d%s", shown, parts.tm_min, hour < 12 ? "AM" : "PM");
    }
    timeText = clock;
    return 1;
}

int EncryptString(const char* plain, char* out, size_t size, const char* salt)
{
    if (!plain || !out || !salt || size == 0)
        return 0;
    *out = '\0';
    std::unique_ptr<crypt_data> work(new crypt_data());
    std::string result;
    size_t length = strlen(plain);
    for (size_t at = 0; at < length; at += 8) {
        std::string piece(plain + at, std::min<size_t>(8, length - at));
        const char* hashed = crypt_r(piece.c_str(), salt, work.get());
        // libcrypt reports a refused salt with a text starting with '*'.
        if (!hashed || hashed[0] == '*')
            return 0;
        result += hashed;
    }
    if (result.size() >= size)
        return 0;
    CopyText(out, size, result.c_str());
    return 1;
}
