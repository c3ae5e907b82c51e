// phonesim --root DIR: serves the phone's threads on the message bus until
// SIGTERM or SIGINT. Without --root the root comes from PHONEWEB_ROOT.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "tools/phonesim/simcore.h"

namespace {

volatile sig_atomic_t g_stop = 0;
int g_wake[2] = {-1, -1};

void onSignal(int)
{
    g_stop = 1;
    int saved = errno;
    if (g_wake[1] >= 0) {
        ssize_t ignored = write(g_wake[1], "x", 1);
        (void)ignored;
    }
    errno = saved;
}

int usage()
{
    fprintf(stderr, "usage: phonesim [--root DIR]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--root") == 0 && i + 1 < argc)
            setenv("PHONEWEB_ROOT", argv[++i], 1);
        else
            return usage();
    }
    if (pipe2(g_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        perror("phonesim: pipe");
        return 1;
    }
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);

    phonesim::PhoneSim sim;
    std::string error;
    if (!sim.start(error)) {
        fprintf(stderr, "phonesim: %s\n", error.c_str());
        return 1;
    }
    // Only the one phonesim that serves the threads boots the phone.
    std::vector<int> standIns;
    phonesim::BootPhone(standIns);
    std::string pidFile = phonePath("/tmp/phonesim/phonesim.pid");
    if (!writeFileAtomic(pidFile, std::to_string(getpid()) + "\n"))
        fprintf(stderr, "phonesim: cannot write %s\n", pidFile.c_str());
    fprintf(stderr, "phonesim: serving under %s, log %s\n", phoneRoot().c_str(),
            sim.logPath().c_str());

    sim.run(&g_stop, g_wake[0]);

    phonesim::StopStandIns(standIns);
    unlink(pidFile.c_str());
    if (sim.reboot().requested() && !g_stop) {
        if (sim.reboot().factoryReset() && !phonesim::RestoreFactoryConfig(error))
            fprintf(stderr, "phonesim: factory reset incomplete: %s\n", error.c_str());
        fprintf(stderr, "phonesim: the phone restarts%s\n",
                sim.reboot().factoryReset() ? " with its factory configuration" : "");
        return phonesim::kRebootExitStatus;
    }
    fprintf(stderr, "phonesim: stopped\n");
    return 0;
}
