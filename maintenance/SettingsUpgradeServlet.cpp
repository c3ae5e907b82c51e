#include "maintenance/SettingsUpgradeServlet.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <thread>
#include <unistd.h>

#include "frame/fieldrules.h"
#include "frame/frame.h"
#include "platform/msgids.h"
#include "platform/registry.h"

namespace fs = std::filesystem;

namespace {

const char* const kMenuNames[] = {"settings-upgrade",  "settings-preference", "settings-datetime",
                                  "settings-autop",    "settings-config",     "settings-dialplan",
                                  "settings-voice",    "settings-ring",       "settings-tones",
                                  "settings-softkey",  "settings-tr069"};
const char* const kItemNames[] = {"PhoneVersionInfo", "PhoneResetToFactory", "PhoneRebootDevice",
                                  "PhoneUpgradeFirmware", "PhonePcapTrace"};

// Killed before an upgrade: the phone application's launchers ...
const char* const kLaunchers[] = {"SipApp.sh", "ScreenApp.sh", "VpmApp.sh", "phoneapp.sh",
                                  "sipapp.sh"};
// ... then everything but what the upload itself needs.
const char* const kSurvivors[] = {"sh",      "-sh",     "lighttpd",  "fcgiServer.exx", "syslogd",
                                  "openvpn", "dot1x.exe", "flasher", "telnetd",        "busybox"};

constexpr char kNoJurisdiction[] = "Error:You don't have enough jurisdiction!";
constexpr size_t kCollectMax = 1023;
constexpr size_t kAheadSize = 256 * 1024;
// A boundary has at most 70 characters; a longer one is no multipart body.
constexpr size_t kBoundaryMax = 70;
// A configured unregistration wait must not hold the single web thread for long.
constexpr int kUnregisterWaitMax = 60;

bool IsUpgradeRoad(const char* action)
{
    for (const char* name : {"load", "upgrade", "progress", "beforeupgrade", "ask", "askUpgrade", "askRebootOK"})
        if (strcmp(action, name) == 0)
            return true;
    return false;
}

// The item whose level an identity needs for an action that changes the phone.
struct GuardedAction {
    const char* action;
    const char* item;
};
const GuardedAction kGuardedActions[] = {
    {"reset", "PhoneResetToFactory"},      {"reboot", "PhoneRebootDevice"},
    {"upgrade", "PhoneUpgradeFirmware"},   {"beforeupgrade", "PhoneUpgradeFirmware"},
    {"rebootbeforeupgrade", "PhoneUpgradeFirmware"},
};

// Whether the logged-in identity may run the action: the page's level and
// the action's item both let it change things.
bool MayRun(HttpRequest* request, const char* action)
{
    int rank = IdentityRank(GetSessionIdentity(request));
    for (const GuardedAction& guarded : kGuardedActions) {
        if (strcmp(action, guarded.action) == 0)
            return GetPageAccess(request) == FieldAccess::Change &&
                   LevelAccess(GetConfigValue(FILETYPE_GLOBAL, guarded.item, 0), rank) == FieldAccess::Change;
    }
    return true;
}

void RealSleep(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// The boundary parameter of a multipart Content-Type: the text after the
// first "=", without quotes or a following parameter.
std::string BoundaryOf(const char* contentType)
{
    const char* equals = contentType ? strchr(contentType, '=') : nullptr;
    if (!equals)
        return std::string();
    std::string boundary(equals + 1);
    boundary = boundary.substr(0, boundary.find(';'));
    if (boundary.size() >= 2 && boundary.front() == '"' && boundary.back() == '"')
        boundary = boundary.substr(1, boundary.size() - 2);
    return boundary.size() > kBoundaryMax ? std::string() : boundary;
}

void CopyTree(const fs::path& from, const fs::path& to)
{
    std::error_code error;
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing, error);
    if (error)
        log_log(2, 3, "cannot copy %s: %s", from.c_str(), error.message().c_str());
}

}  // namespace

void (*SettingsUpgradeServlet::sleepMs)(int) = RealSleep;

int matchStreamData(HttpRequest* request, const char* pattern, std::string* collected)
{
    if (!request || !pattern)
        return 0;
    size_t length = strlen(pattern);
    // Knuth-Morris-Pratt: after a mismatch the match goes on with the longest
    // matched prefix that is also a suffix, so no occurrence is skipped.
    std::vector<size_t> fallback(length + 1, 0);
    for (size_t i = 1, k = 0; i < length; ++i) {
        while (k > 0 && pattern[i] != pattern[k])
            k = fallback[k];
        if (pattern[i] == pattern[k])
            ++k;
        fallback[i + 1] = k;
    }
    size_t matched = 0;
    while (matched < length) {
        char byte;
        if (request->readBody(&byte, 1) < 1)
            return 0;
        while (matched > 0 && byte != pattern[matched])
            matched = fallback[matched];
        if (byte == pattern[matched])
            ++matched;
        if (collected && collected->size() < kCollectMax)
            collected->push_back(byte);
    }
    return 1;
}

std::vector<int> SelectKillTargets(const std::vector<PhoneProcess>& processes,
                                   const char* const* names, int count, int keepListed, int self,
                                   int parent)
{
    std::vector<int> targets;
    for (const PhoneProcess& process : processes) {
        if (process.pid == self || process.pid == parent || process.pid <= 1 ||
            !process.hasCommandLine)
            continue;
        bool listed = false;
        for (int i = 0; i < count && !listed; ++i)
            listed = names[i] && process.name == names[i];
        if (keepListed ? !listed : listed)
            targets.push_back(process.pid);
    }
    return targets;
}

void update_kill(const char* const* names, int count, int keepListed)
{
    for (int pid : SelectKillTargets(phoneProcessList(), names, count, keepListed, getpid(), getppid()))
        phoneKillProcess(pid, SIGKILL);
}

// ---- Page actions ----------------------------------------------------------

int SettingsUpgradeServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<SettingsUpgradeServlet> kActions[] = {
        {"load", &SettingsUpgradeServlet::loadConfig},
        {"reset", &SettingsUpgradeServlet::resetToFactory},
        {"reboot", &SettingsUpgradeServlet::rebootPhone},
        {"upgrade", &SettingsUpgradeServlet::upgrade},
        {"progress", &SettingsUpgradeServlet::upgradeProgress},
        {"beforeupgrade", &SettingsUpgradeServlet::beforeUpgrade},
        {"ask", &SettingsUpgradeServlet::askStatus},
        {"askUpgrade", &SettingsUpgradeServlet::askUpgrade},
        {"rebootbeforeupgrade", &SettingsUpgradeServlet::rebootBeforeUpgrade},
        {"askRebootOK", &SettingsUpgradeServlet::askRebootOK},
    };
    // In safe mode the filter lets this page through without a login: only
    // the road to a new firmware is open then, not reset or reboot.
    const char* action = request->getParameter("q");
    if (GetSessionIdentity(request)[0] == '\0' && action && !IsUpgradeRoad(action)) {
        response->sendRedirect("/servlet?p=login&q=loginForm&jumpto=settings-upgrade");
        return 0;
    }
    if (action && GetSessionIdentity(request)[0] != '\0' && !MayRun(request, action)) {
        log_log(2, 4, "settings-upgrade: %s refused for %s", action, GetSessionIdentity(request));
        response->setContentType("text/html");
        // The upgrade's own requests come from the page script, the others from forms.
        if (strcmp(action, "upgrade") == 0 || strcmp(action, "beforeupgrade") == 0)
            response->print(kNoJurisdiction);
        else {
            SetNoticePage(response, false, "settings-upgrade", kNoJurisdiction);
            response->sendError(403);
        }
        return 1;
    }
    int result = DispatchPageAction(this, request, response, kActions);
    if (result == 0 && action && strcmp(action, "upgrade") == 0) {
        // The browser learns the outcome before the phone goes away.
        std::string text = "Error:Firmware upgrade failed!";
        if (!failure_.empty())
            text += " (" + failure_ + ")";
        response->print(text.c_str());
        backupUpgradeFail();
    }
    return result;
}

TMPL_varlist* SettingsUpgradeServlet::showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request)
{
    return AddShowLevel(varlist, request, kMenuNames, CountOf(kMenuNames), kItemNames,
                        CountOf(kItemNames));
}

int SettingsUpgradeServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    char firmware[32];
    readConfigOperate(FILETYPE_GLOBAL, "PhoneFirmware", firmware, 0);
    TMPL_varlist* varlist = TMPL_add_var(nullptr, "firmware", firmware, 0);
    varlist = TMPL_add_var(varlist, "hardware", EscapeHtml(str_dev_get_hardware_version()).c_str(), 0);
    char bootMode[32] = "";
    userenv_get("BOOTMODE", bootMode, sizeof bootMode);
    if (strcmp(bootMode, "safemode") == 0)
        varlist = TMPL_add_var(varlist, "safemode", "true", 0);
    varlist = GetTR069Supported(varlist);
    varlist = showItemsByLevel(varlist, request);
    RenderPage(response, "settings-upgrade.htm", varlist);
    return 1;
}

int SettingsUpgradeServlet::rebootPhone(HttpRequest*, HttpResponse* response)
{
    writeConfigOperate(FILETYPE_GLOBAL, "UpdateStatus", "reboot", 0);
    sysReboot(2);
    SetNoticePage(response, true, "settings-upgrade", "Rebooting , please wait ...");
    log_log(2, 6, "Rebooting...\n");
    return 1;
}

int SettingsUpgradeServlet::resetToFactory(HttpRequest*, HttpResponse* response)
{
    writeConfigOperate(FILETYPE_GLOBAL, "UpdateStatus", "RESETFACTORY", 0);
    msgBroadpostThreadMsg(kMsgFactoryReset, 0, 0);
    SetNoticePage(response, true, "settings-upgrade", "Resetting , please wait ...");
    log_log(2, 6, "Reset to factory...\n");
    return 1;
}

int SettingsUpgradeServlet::upgradeProgress(HttpRequest*, HttpResponse* response)
{
    response->print("<p>done</p>");
    return 1;
}

int SettingsUpgradeServlet::askStatus(HttpRequest*, HttpResponse* response)
{
    // The phone answers 0 while a call is in progress; without a phone
    // application (safe mode) there is no call to cut off.
    HTHREAD phone = msgGetThreadByName("app_vpPhone");
    bool idle = !phone || msgSendMsgToThread(phone, kMsgAskTalking, 0, 1) != 0;
    response->print(idle ? "true" : "false");
    return 1;
}

int SettingsUpgradeServlet::askUpgrade(HttpRequest*, HttpResponse* response)
{
    if (prepared) {
        response->sendError(404);
        return 1;
    }
    response->print("false");
    return 1;
}

int SettingsUpgradeServlet::askRebootOK(HttpRequest*, HttpResponse* response)
{
    response->print("false");
    return 1;
}

int SettingsUpgradeServlet::rebootBeforeUpgrade(HttpRequest*, HttpResponse*)
{
    userenv_set("bWebUpgrade", "1");
    userenv_set("BOOTMODE", "safemode");
    etlRegFlushAllFile();
    sysReboot(2);
    return 1;
}

int SettingsUpgradeServlet::beforeUpgrade(HttpRequest*, HttpResponse*)
{
    prepared = true;
    msgSendMsgToThread(msgGetThreadByName("app_vpPhone"), kMsgBeforeUpgradeAsk, 0, 0);
    int unregister = 0;
    if (ParseDecimalInt(GetConfigValue(FILETYPE_GLOBAL, "SipUnregisterOnReboot", 0).c_str(), 0,
                        INT_MAX, unregister) &&
        unregister > 0) {
        msgBroadpostThreadMsg(kMsgBeforeUpgrade, 0, 0);
        sleepMs(std::min(unregister, kUnregisterWaitMax) * 1000);
    }
    sleepMs(5000);
    if (msgSendMsgToThread(msgGetThreadByName("smGui"), kMsgProvisionStart, 0, 0) == 1) {
        log_log(2, 3, "Firmware Upgrading, can't launch once more !\n");
        return 0;
    }
    log_log(2, 6, "write ShareText.start...\n");
    writeShareText("romTranStat", "preparing", kRomTranStatSize);
    writeShareText("romTranInfo", "", kRomTranInfoSize);
    writeShareText("romRecvSize", "0", kRomRecvSizeSize);
    msgBroadpostThreadMsg(kMsgBeforeUpgradeBroadcast, 0, 0);
    log_log(2, 6, "update_kill proccess.start...\n");
    update_kill(kLaunchers, CountOf(kLaunchers), 0);
    update_kill(kSurvivors, CountOf(kSurvivors), 1);
    update_kill(kSurvivors, CountOf(kSurvivors), 1);
    return 1;
}

int SettingsUpgradeServlet::upgrade(HttpRequest* request, HttpResponse* response)
{
    response->setContentType("text/html");
    failure_.clear();
    std::string boundary = BoundaryOf(request->getContentType());
    if (boundary.empty()) {
        log_log(2, 4, "lpszBoundText is null\n");
        failure_ = "not a form upload";
        return 0;
    }
    if (!matchStreamData(request, ("--" + boundary + "\r\n").c_str(), nullptr)) {
        failure_ = "no file in the upload";
        return 0;
    }
    log_log(2, 6, "Post head matched!!!!\n");
    // The part's header lines end with an empty line.
    std::string line;
    if (!matchStreamData(request, "\r\n", &line)) {
        log_log(2, 6, "szFormHeader is error\n");
        failure_ = "no file in the upload";
        return 0;
    }
    do {
        line.clear();
        if (!matchStreamData(request, "\r\n", &line)) {
            log_log(2, 4, "\r\n\r\n is error\n");
            failure_ = "no file in the upload";
            return 0;
        }
    } while (line != "\r\n");

    writeFileAtomic(phonePath("/tmp/upgade"), "2\n");
    log_log(2, 6, "Set userenv [NeedSync] to [1] ... \n");
    if (userenv_set("NeedSync", "1") != 0) {
        log_log(2, 3, "Fail to set user env 'NeedSync' to value '1' !\n");
        failure_ = "the boot environment cannot be written";
        return 0;
    }
    this->request = request;
    delimiter_ = "\r\n--" + boundary;
    ahead_.assign(kAheadSize, '\0');
    begin_ = end_ = safeEnd_ = 0;
    delimiterFound_ = bodyEnded_ = false;
    int result = upui_Upgrade(this, 1);
    this->request = nullptr;
    ahead_.clear();
    ahead_.shrink_to_fit();
    if (result == 0) {
        log_log(2, 6, "upui_Upgrade result = %d\n", result);
        log_log(2, 6, "Upgrade...\n");
        return 1;
    }
    log_log(2, 3, "Fail to upgrade!\n");
    failure_ = readShareText("romTranInfo");
    if (userenv_set("NeedSync", "0") != 0)
        log_log(2, 3, "Fail to set user env 'NeedSync' to value '0' !\n");
    return 0;
}

void SettingsUpgradeServlet::backupUpgradeFail()
{
    const fs::path logs = phonePath("/config/data/log");
    std::error_code error;
    fs::remove_all(logs, error);
    const fs::path volatileLogs = phonePath("/tmp/log");
    if (fs::exists(volatileLogs, error))
        CopyTree(volatileLogs, logs);
    fs::create_directories(logs, error);
    const fs::path tmp = phonePath("/tmp");
    for (fs::directory_iterator it(tmp, error), end; !error && it != end; it.increment(error)) {
        std::string name = it->path().filename().string();
        if (name.compare(0, 8, "Messages") == 0)
            CopyTree(it->path(), logs / name);
    }
    sleepMs(3000);
    // Only where the board has a watchdog: the mapped path exists on the phone.
    std::string watchdog = phonePath("/proc/keypad/watchdog");
    if (access(watchdog.c_str(), W_OK) == 0)
        writeFileAtomic(watchdog, "1\n");
    sleepMs(10000);
    phoneSystemReboot();
}

// ---- The image stream --------------------------------------------------------

int SettingsUpgradeServlet::OpenStream()
{
    log_log(2, 6, "cgiServer not need open stream !\n");
    return 1;
}

int SettingsUpgradeServlet::ReadStream(void* buffer, int size)
{
    return ReadStream(buffer, 1, size);
}

int SettingsUpgradeServlet::ReadStream(void* buffer, int size, int count)
{
    if (!request || !buffer || size < 1 || count < 1)
        return 0;
    long long want = static_cast<long long>(size) * count;
    if (want > INT_MAX)
        want = INT_MAX / size * size;
    char* out = static_cast<char*>(buffer);
    long long delivered = 0;
    while (delivered < want) {
        if (begin_ == safeEnd_) {
            // Hand over what is here rather than wait for more of the body.
            if (delivered > 0 && delivered % size == 0)
                break;
            if (!fillPart())
                break;
        }
        size_t piece = std::min(static_cast<size_t>(want - delivered), safeEnd_ - begin_);
        memcpy(out + delivered, ahead_.data() + begin_, piece);
        begin_ += piece;
        delivered += static_cast<long long>(piece);
    }
    return static_cast<int>(delivered / size);
}

bool SettingsUpgradeServlet::fillPart()
{
    if (delimiterFound_)
        return false;
    if (bodyEnded_) {
        safeEnd_ = end_;
        return begin_ < safeEnd_;
    }
    // Keep the undelivered tail (a possible start of the delimiter) in front.
    memmove(ahead_.data(), ahead_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = safeEnd_ = 0;
    while (safeEnd_ == 0 && !delimiterFound_) {
        int got = end_ < ahead_.size()
                      ? request->readBody(ahead_.data() + end_, static_cast<int>(ahead_.size() - end_))
                      : 0;
        if (got < 1) {
            // A body without its closing delimiter: the rest is the image.
            bodyEnded_ = true;
            safeEnd_ = end_;
            break;
        }
        end_ += static_cast<size_t>(got);
        const char* found = static_cast<const char*>(
            memmem(ahead_.data(), end_, delimiter_.data(), delimiter_.size()));
        if (found) {
            safeEnd_ = static_cast<size_t>(found - ahead_.data());
            delimiterFound_ = true;
        } else if (end_ >= delimiter_.size()) {
            safeEnd_ = end_ - (delimiter_.size() - 1);
        }
    }
    return begin_ < safeEnd_;
}

// ---- Signals ---------------------------------------------------------------

namespace {

void Signal_process(int sig)
{
    log_log(2, 6, "Signal_process handle [%d]!\n", sig);
}

}  // namespace

void Signal_active()
{
    for (int sig : {9, 11, 15, 10, 12, 1, 19, 7, 6, 3})
        signal(sig, Signal_process);
}

HttpServlet* createSettingsUpgradeServlet()
{
    return new SettingsUpgradeServlet();
}
