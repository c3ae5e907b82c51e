#include "platform/phoneproc.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <unistd.h>

#include "platform/msgbus.h"
#include "platform/msgids.h"
#include "platform/paths.h"

namespace {

std::string statText(const std::string& realFolder, int pid, const char* file)
{
    std::string text;
    readWholeFile(realFolder + "/" + std::to_string(pid) + "/" + file, text);
    return text;
}

bool onPhoneItself() { return phoneRoot().empty(); }

}  // namespace

bool parseProcStat(const std::string& stat, std::string& name, unsigned long long& startTime)
{
    size_t open = stat.find('(');
    size_t close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open)
        return false;
    name = stat.substr(open + 1, close - open - 1);
    // After the name: state is field 3, the start time field 22.
    const char* cursor = stat.c_str() + close + 1;
    for (int field = 3; field < 22; ++field) {
        cursor += strspn(cursor, " ");
        cursor += strcspn(cursor, " ");
    }
    char* end = nullptr;
    errno = 0;
    startTime = strtoull(cursor, &end, 10);
    return end != cursor && errno == 0;
}

std::vector<PhoneProcess> phoneProcessList()
{
    std::vector<PhoneProcess> list;
    std::string folder = phonePath("/proc");
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return list;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9')
            continue;
        PhoneProcess process;
        process.pid = atoi(entry->d_name);
        std::string stat = statText(folder, process.pid, "stat");
        unsigned long long startTime = 0;
        if (process.pid <= 0 || !parseProcStat(stat, process.name, startTime))
            continue;
        process.hasCommandLine = !statText(folder, process.pid, "cmdline").empty();
        list.push_back(process);
    }
    closedir(dir);
    return list;
}

int phoneKillProcess(int pid, int signal)
{
    if (pid <= 1)
        return -1;
    if (!onPhoneItself()) {
        std::string registeredName, realName;
        unsigned long long registeredStart = 0, realStart = 0;
        if (!parseProcStat(statText(phonePath("/proc"), pid, "stat"), registeredName, registeredStart) ||
            !parseProcStat(statText("/proc", pid, "stat"), realName, realStart) ||
            registeredName != realName || registeredStart != realStart)
            return -1;
    }
    return kill(pid, signal) == 0 ? 0 : -1;
}

bool registerPhoneProcess(int pid)
{
    if (onPhoneItself() || pid <= 1)
        return false;
    std::string stat = statText("/proc", pid, "stat");
    std::string cmdline = statText("/proc", pid, "cmdline");
    std::string folder = phonePath("/proc/" + std::to_string(pid));
    return !stat.empty() && makeDirs(folder) && writeFileAtomic(folder + "/stat", stat) &&
           writeFileAtomic(folder + "/cmdline", cmdline.empty() ? std::string("-", 1) : cmdline);
}

void unregisterPhoneProcess(int pid)
{
    if (onPhoneItself() || pid <= 1)
        return;
    std::string folder = phonePath("/proc/" + std::to_string(pid));
    unlink((folder + "/stat").c_str());
    unlink((folder + "/cmdline").c_str());
    rmdir(folder.c_str());
}

void phoneSystemReboot()
{
    msgPostMsgToThread(msgGetThreadByName("app_vpPhone"), kMsgReboot, 2, 0);
}
