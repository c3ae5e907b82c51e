// Helpers for tests that need a second process: fork a child that runs a
// function and leaves with _exit (no test-framework teardown in the child),
// and a pipe to pass one-byte signals between the two.
#pragma once

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

template <typename Body>
pid_t forkChild(Body body)
{
    pid_t pid = fork();
    if (pid == 0)
        _exit(body());
    return pid;
}

// The child's exit status; -1 when it was killed or could not be waited for.
inline int waitChild(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// One-byte messages across fork; a read gives up after timeoutMs so that a
// broken peer fails the test instead of hanging it.
class SignalPipe {
public:
    SignalPipe() { ok_ = pipe2(fds_, O_CLOEXEC) == 0; }
    ~SignalPipe()
    {
        for (int fd : fds_) {
            if (fd >= 0)
                close(fd);
        }
    }
    SignalPipe(const SignalPipe&) = delete;
    SignalPipe& operator=(const SignalPipe&) = delete;

    bool ok() const { return ok_; }
    bool send(char c) { return write(fds_[1], &c, 1) == 1; }
    // The next byte, or 0 after timeoutMs.
    char receive(int timeoutMs = 10000)
    {
        pollfd ready{fds_[0], POLLIN, 0};
        char c = 0;
        if (poll(&ready, 1, timeoutMs) == 1 && read(fds_[0], &c, 1) == 1)
            return c;
        return 0;
    }

private:
    int fds_[2] = {-1, -1};
    bool ok_ = false;
};
