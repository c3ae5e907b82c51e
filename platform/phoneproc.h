// The phone's processes as the platform sees them, and the system restart.
//
// On the phone the process list is "/proc". Everywhere else the list is the
// mapped "/proc" under the phone root, which holds only the stand-in
// processes the phone simulation registered there; a process is signalled
// only while the real process with that pid is the very one registered
// (same name and start time), so nothing else on the machine is touched.
#pragma once

#include <string>
#include <vector>

struct PhoneProcess {
    int pid = 0;
    std::string name;          // the name between "(" and ")" of its "stat"
    bool hasCommandLine = false;  // kernel threads have none
};

// The processes in directory order (entries whose name begins with a digit).
std::vector<PhoneProcess> phoneProcessList();
// Sends the signal; 0 on success, -1 when refused or the process is gone.
int phoneKillProcess(int pid, int signal);
// The name and start time fields of a "stat" text; false when malformed.
bool parseProcStat(const std::string& stat, std::string& name, unsigned long long& startTime);
// Registers a child of the calling process in the mapped "/proc" (a copy of
// its real "stat" and "cmdline"); false on the phone itself or on failure.
bool registerPhoneProcess(int pid);
void unregisterPhoneProcess(int pid);

// The system's "reboot": the phone restarts. Here it is asked of the phone
// simulation, which plays the restart; nothing on this machine restarts.
void phoneSystemReboot();
