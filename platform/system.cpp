#include "platform/system.h"

#include "platform/fileutil.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <syslog.h>
#include <unistd.h>

namespace {

const char kUserenvFile[] = "/config/system/userenv";
const char kUserenvLock[] = "/config/system/userenv.lock";
const char kPhoneTypeFile[] = "/config/system/phonetype";
const char kHardwareFile[] = "/config/system/hardware";
constexpr int kDefaultPhoneType = 46;

std::atomic<LogSink> gSink{nullptr};
std::once_flag gSyslogOpened;

// The value of `name` in a text of name=value lines; false when unset.
bool findUserenv(const std::string& text, const std::string& name, std::string& value)
{
    for (const std::string& line : splitLines(text)) {
        if (line.size() > name.size() && line.compare(0, name.size(), name) == 0 && line[name.size()] == '=') {
            value = line.substr(name.size() + 1);
            return true;
        }
    }
    return false;
}

bool hasAny(const char* text, const char* characters)
{
    return strpbrk(text, characters) != nullptr;
}

}  // namespace

int userenv_get(const char* name, char* buffer, int size)
{
    if (!buffer || size <= 0)
        return -1;
    buffer[0] = '\0';
    std::string text;
    std::string value;
    if (!name || !readWholeFile(phonePath(kUserenvFile), text) || !findUserenv(text, name, value))
        return -1;
    size_t room = static_cast<size_t>(size) - 1;
    size_t length = value.size() < room ? value.size() : room;
    memcpy(buffer, value.data(), length);
    buffer[length] = '\0';
    return 0;
}

int userenv_set(const char* name, const char* value)
{
    if (!name || !*name || !value || hasAny(name, "=\n\r") || hasAny(value, "\n\r"))
        return -1;
    FileLock lock;
    if (!lock.lock(phonePath(kUserenvLock)))
        return -1;
    std::string path = phonePath(kUserenvFile);
    std::string text;
    if (!readWholeFile(path, text) && access(path.c_str(), F_OK) == 0)
        return -1;  // unreadable: rewriting it would lose the other names
    std::string out;
    std::string prefix = std::string(name) + "=";
    bool replaced = false;
    for (std::string line : splitLines(text)) {
        if (line.compare(0, prefix.size(), prefix) == 0) {
            if (replaced)
                continue;
            line = prefix + value;
            replaced = true;
        }
        out += line + "\n";
    }
    if (!replaced)
        out += prefix + value + "\n";
    return writeFileAtomic(path, out) ? 0 : -1;
}

int GetPhoneType()
{
    std::string text;
    if (!readWholeFile(phonePath(kPhoneTypeFile), text))
        return kDefaultPhoneType;
    std::string number = trim(text.substr(0, text.find('\n')), " \t\r");
    char* end = nullptr;
    errno = 0;
    long value = strtol(number.c_str(), &end, 10);
    if (number.empty() || *end != '\0' || errno != 0 || value <= 0 || value > INT_MAX)
        return kDefaultPhoneType;
    return static_cast<int>(value);
}

void log_set_sink(LogSink sink)
{
    gSink = sink;
}

void log_log(int module, int level, const char* format, ...)
{
    char line[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format ? format : "", args);
    va_end(args);
    int priority = level < LOG_EMERG ? LOG_EMERG : level > LOG_DEBUG ? LOG_DEBUG : level;
    std::call_once(gSyslogOpened, [] { openlog("phoneweb", LOG_PID, LOG_USER); });
    syslog(priority, "%s", line);
    const char* toStderr = getenv("PHONEWEB_LOG_STDERR");
    if (toStderr && *toStderr && strcmp(toStderr, "0") != 0)
        fprintf(stderr, "phoneweb[%d] <%d> %s\n", static_cast<int>(getpid()), level, line);
    if (LogSink sink = gSink.load())
        sink(module, level, line);
}

WebDebug* WebDebug::getInstance()
{
    static WebDebug instance;
    return &instance;
}

void WebDebug::setDebugLevel(int level)
{
    level_ = level < 0 ? 0 : level > 2 ? 2 : level;
}

void WebDebug::setUser(const char* name)
{
    user_ = name ? name : "";
}

void WebDebug::info(const char* format, ...)
{
    if (level_ < 1 || !format)
        return;
    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    log_log(2, 6, "web[%d] %s: %s", level_, user_.empty() ? "-" : user_.c_str(), text);
}

int CommandShell(const char* command)
{
    if (!command)
        return 0;
    int status = RunCommand({"/bin/sh", "-c", command});
    if (status != 0)
        log_log(2, 3, "CommandShell: the command ended with status %d", status);
    return 1;
}

int RunCommand(const std::vector<std::string>& argv)
{
    if (argv.empty() || argv[0].empty())
        return -1;
    // Everything the child needs is prepared before fork: between fork and
    // exec only async-signal-safe calls are allowed.
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    long openMax = sysconf(_SC_OPEN_MAX);
    int fdLimit = openMax > 0 && openMax < 65536 ? static_cast<int>(openMax) : 65536;
    // Reports a failed exec to the parent; closed by a successful one.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        return -1;
    pid_t child = fork();
    if (child < 0) {
        close(report[0]);
        close(report[1]);
        return -1;
    }
    if (child == 0) {
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        signal(SIGPIPE, SIG_DFL);
        signal(SIGCHLD, SIG_DFL);
        // The host's standard input is its listening socket.
        int null = open("/dev/null", O_RDONLY);
        if (null >= 0 && null != 0) {
            dup2(null, 0);
            close(null);
        }
        // Descriptors the process opened without close-on-exec stay behind.
        if (close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
            for (int fd = 3; fd < fdLimit; ++fd)
                fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
        execvp(args[0], args.data());
        int error = errno;
        ssize_t ignored = write(report[1], &error, sizeof error);
        (void)ignored;
        _exit(127);
    }
    close(report[1]);
    int execError = 0;
    ssize_t got;
    do {
        got = read(report[0], &execError, sizeof execError);
    } while (got < 0 && errno == EINTR);
    close(report[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    if (got == static_cast<ssize_t>(sizeof execError)) {
        log_log(2, 3, "RunCommand: cannot run %s: %s", argv[0].c_str(), strerror(execError));
        return -1;
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

std::string str_dev_get_hardware_version()
{
    std::string text;
    if (readWholeFile(phonePath(kHardwareFile), text)) {
        std::string line = trim(text.substr(0, text.find('\n')), " \t\r");
        if (!line.empty())
            return line;
    }
    utsname machine;
    if (uname(&machine) != 0)
        return "unknown";
    return std::string(machine.machine) + " " + machine.release;
}
