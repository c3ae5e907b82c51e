#include "tools/phonesim/simreboot.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/fwimage.h"
#include "platform/msgids.h"
#include "platform/paths.h"
#include "platform/phoneproc.h"
#include "platform/system.h"

namespace fs = std::filesystem;

namespace phonesim {

namespace {

constexpr char kFactoryConfig[] = "/phone/factory/config.cfg";

void copyOver(const fs::path& from, const fs::path& to, std::string& error)
{
    std::error_code code;
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing, code);
    if (code && error.empty())
        error = from.string() + ": " + code.message();
}

// Sets name=value in a "name=value" file, keeping every other line.
bool setFileValue(const std::string& realPath, const std::string& name, const std::string& value)
{
    std::string text, out;
    readWholeFile(realPath, text);
    bool replaced = false;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        std::string line = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        pos = end == std::string::npos ? text.size() : end + 1;
        if (line.compare(0, name.size() + 1, name + "=") == 0) {
            if (replaced)
                continue;
            line = name + "=" + value;
            replaced = true;
        }
        out += line + "\n";
    }
    if (!replaced)
        out += name + "=" + value + "\n";
    return writeFileAtomic(realPath, out);
}

std::string userenv(const char* name)
{
    char value[64] = "";
    userenv_get(name, value, sizeof value);
    return value;
}

// A stand-in lives until it is killed, or until phonesim ends.
int startStandIn(const std::string& name)
{
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0)
        return -1;
    pid_t child = fork();
    if (child == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        prctl(PR_SET_NAME, name.c_str());
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        signal(SIGTERM, SIG_DFL);
        signal(SIGINT, SIG_DFL);
        ssize_t ignored = write(ready[1], "x", 1);
        (void)ignored;
        close_range(0, ~0U, 0);
        for (;;)
            pause();
    }
    close(ready[1]);
    char byte;
    ssize_t got;
    do {
        got = read(ready[0], &byte, 1);
    } while (got < 0 && errno == EINTR);
    close(ready[0]);
    if (child > 0 && (got != 1 || !registerPhoneProcess(child))) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        return -1;
    }
    return child;
}

}  // namespace

void RebootPlay::note(const BusMessage& message)
{
    if (message.id == kMsgBeforeUpgradeBroadcast)
        upgrading_ = true;
    bool reboot = message.id == kMsgReboot && message.thread == "app_vpPhone";
    if (message.id == kMsgFactoryReset)
        factoryReset_ = reboot = true;
    if (reboot && !requested_) {
        requested_ = true;
        due_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(kShutdownGraceMs);
    }
}

std::optional<int> RebootPlay::answer(const BusMessage& message) const
{
    if (message.id == kMsgProvisionStart && message.thread == "smGui")
        return upgrading_ ? 1 : 0;
    return std::nullopt;
}

int RebootPlay::msUntilDue() const
{
    if (!requested_)
        return -1;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(due_ - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

std::vector<std::string> StandInNames()
{
    return {"phoneapp.sh", "SipApp.sh", "ScreenApp.sh", "VpmApp.sh", "vpPhone", "syslogd"};
}

bool InstallFirmware(std::string& version, std::string& error)
{
    FirmwareHeader header;
    if (!VerifyFirmwareFile(phonePath(kFirmwareImage), header, error))
        return false;
    version = header.version;
    if (!setFileValue(phonePath(kFactoryConfig), "PhoneFirmware", version)) {
        error = "cannot write the firmware version";
        return false;
    }
    return true;
}

bool RestoreFactoryConfig(std::string& error)
{
    std::error_code code;
    fs::remove(phonePath("/config/system/config.cfg"), code);
    const fs::path data = phonePath("/config/data");
    fs::remove_all(data, code);
    fs::create_directories(data, code);
    copyOver(phonePath("/phone/factory/htpasswd"), data / "htpasswd", error);
    const fs::path config = phonePath("/config");
    for (const char* source : {"/phone/factory", "/data/customfactory"}) {
        const fs::path folder = phonePath(source);
        for (fs::directory_iterator it(folder, code), end; !code && it != end; it.increment(code)) {
            if (it->is_directory())
                copyOver(it->path(), config / it->path().filename(), error);
        }
        code.clear();
    }
    return error.empty();
}

void BootPhone(std::vector<int>& standIns)
{
    // Entries left by a phonesim that did not stop cleanly name nothing now.
    const fs::path proc = phonePath("/proc");
    std::error_code code;
    for (fs::directory_iterator it(proc, code), end; !code && it != end; it.increment(code)) {
        std::string name = it->path().filename().string();
        if (!name.empty() && name.find_first_not_of("0123456789") == std::string::npos)
            unregisterPhoneProcess(atoi(name.c_str()));
    }
    // What the last upgrade left in the phone's memory is gone after a start.
    for (const char* file : {"/tmp/upgade", "/tmp/phoneshm/romTranStat", "/tmp/phoneshm/romTranInfo",
                             "/tmp/phoneshm/romRecvSize"})
        unlink(phonePath(file).c_str());
    if (userenv("NeedSync") == "1") {
        std::string version, error;
        if (InstallFirmware(version, error))
            fprintf(stderr, "phonesim: boot: firmware %s installed\n", version.c_str());
        else
            fprintf(stderr, "phonesim: boot: the waiting firmware is not installed: %s\n", error.c_str());
        userenv_set("NeedSync", "0");
    }
    // Safe mode lasts one boot: the one asked for by the upgrade page.
    if (userenv("BOOTMODE") == "safemode") {
        if (userenv("bWebUpgrade") == "1")
            userenv_set("bWebUpgrade", "0");
        else
            userenv_set("BOOTMODE", "");
    }
    for (const std::string& name : StandInNames()) {
        int pid = startStandIn(name);
        if (pid > 0)
            standIns.push_back(pid);
    }
}

void StopStandIns(std::vector<int>& standIns)
{
    for (int pid : standIns) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        unregisterPhoneProcess(pid);
    }
    standIns.clear();
}

}  // namespace phonesim
