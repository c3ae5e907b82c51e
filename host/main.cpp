// phoneweb-host: the FastCGI program lighttpd starts for "/servlet".
//
// One process, one request at a time, as on the phone: while a long upload
// streams in, other requests wait in the socket's queue.
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcgiapp.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include "host/pages.h"
#include "platform/configparser.h"
#include "platform/system.h"

namespace {

// A client whose body stops arriving for this long loses its request.
int stallSeconds = 30;

volatile sig_atomic_t stopRequested = 0;

// Kept until the process ends, like the library and the handlers it made.
PageRegistry* registry = nullptr;

void onStopSignal(int)
{
    stopRequested = 1;
    FCGX_ShutdownPending();
}

class FcgiBody final : public BodySource {
public:
    explicit FcgiBody(FCGX_Stream* in) : in_(in) {}
    long read(char* buffer, size_t n) override
    {
        int want = n > INT_MAX ? INT_MAX : static_cast<int>(n);
        int got = FCGX_GetStr(buffer, want, in_);
        if (got > 0)
            return got;
        // A reset, an abort from the server and a stall (the receive
        // time-out) all show up as a stream error.
        return FCGX_GetError(in_) != 0 ? -1 : 0;
    }

private:
    FCGX_Stream* in_;
};

class FcgiOutput final : public OutputSink {
public:
    explicit FcgiOutput(FCGX_Stream* out) : out_(out) {}
    bool write(const char* data, size_t size) override
    {
        while (size > 0) {
            int piece = size > (1u << 20) ? (1 << 20) : static_cast<int>(size);
            if (FCGX_PutStr(data, piece, out_) != piece)
                return false;
            data += piece;
            size -= static_cast<size_t>(piece);
        }
        return true;
    }

private:
    FCGX_Stream* out_;
};

std::string param(FCGX_Request& request, const char* name)
{
    const char* value = FCGX_GetParam(name, request.envp);
    return value ? value : "";
}

void setStallTimeout(int fd)
{
    timeval limit{};
    limit.tv_sec = stallSeconds;
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

bool isFile(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Without an option, the library is looked for beside the program: in the
// build tree (build/host/phoneweb-host, build/libphoneweb.so) or installed
// (bin/, lib/).
std::string defaultLibrary()
{
    char exe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0)
        return "libphoneweb.so";
    exe[n] = '\0';
    std::string dir(exe);
    dir.erase(dir.find_last_of('/'));
    for (const char* candidate : {"/../libphoneweb.so", "/libphoneweb.so", "/../lib/libphoneweb.so"}) {
        if (isFile(dir + candidate))
            return dir + candidate;
    }
    return "libphoneweb.so";
}

void usage()
{
    fprintf(stderr,
            "usage: phoneweb-host [--library PATH] [--page NAME=FACTORY]...\n"
            "  --library PATH       the page library (default: PHONEWEB_LIBRARY, or\n"
            "                       libphoneweb.so beside the program)\n"
            "  --page NAME=FACTORY  serve page NAME with the handler made by FACTORY\n"
            "  --body-timeout SECS  end a request whose body stalls this long (30)\n"
            "Runs as a FastCGI application on the socket given as standard input.\n");
}

}  // namespace

int main(int argc, char** argv)
{
    std::string library;
    if (const char* env = getenv("PHONEWEB_LIBRARY"))
        library = env;
    PageRegistry::ExtraPages extra;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--library" && i + 1 < argc) {
            library = argv[++i];
        } else if (arg == "--body-timeout" && i + 1 < argc) {
            stallSeconds = atoi(argv[++i]);
            if (stallSeconds < 1) {
                usage();
                return 2;
            }
        } else if (arg == "--page" && i + 1 < argc) {
            std::string entry = argv[++i];
            size_t eq = entry.find('=');
            if (eq == std::string::npos || eq == 0 || eq + 1 == entry.size()) {
                usage();
                return 2;
            }
            extra.emplace_back(entry.substr(0, eq), entry.substr(eq + 1));
        } else {
            usage();
            return arg == "--help" ? 0 : 2;
        }
    }
    if (library.empty())
        library = defaultLibrary();

    signal(SIGPIPE, SIG_IGN);
    struct sigaction stop {};
    stop.sa_handler = onStopSignal;
    sigemptyset(&stop.sa_mask);
    stop.sa_flags = 0;  // no restart: a blocked accept must return
    sigaction(SIGTERM, &stop, nullptr);
    sigaction(SIGINT, &stop, nullptr);

    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        fprintf(stderr, "phoneweb-host: cannot load %s: %s\n", library.c_str(), dlerror());
        log_log(2, 3, "cannot load the page library %s", library.c_str());
        return 1;
    }
    registry = new PageRegistry;
    registry->load([handle](const char* symbol) { return dlsym(handle, symbol); }, extra);
    log_log(2, 6, "phoneweb-host serving with %s", library.c_str());

    if (FCGX_Init() != 0) {
        fprintf(stderr, "phoneweb-host: FastCGI set-up failed\n");
        return 1;
    }
    FCGX_Request request;
    FCGX_InitRequest(&request, 0, FCGI_FAIL_ACCEPT_ON_INTR);
    SessionStore sessions;
    const HostLimits limits;
    while (!stopRequested && FCGX_Accept_r(&request) >= 0) {
        setStallTimeout(request.ipcFd);
        configParser_BeginRequest();
        RequestInfo info;
        info.query = param(request, "QUERY_STRING");
        info.remoteAddr = param(request, "REMOTE_ADDR");
        info.contentType = param(request, "CONTENT_TYPE");
        info.contentLength = param(request, "CONTENT_LENGTH");
        info.cookie = param(request, "HTTP_COOKIE");
        FcgiBody body(request.in);
        FcgiOutput out(request.out);
        serveExchange(*registry, sessions, std::move(info), body, out, limits);
        FCGX_Finish_r(&request);
    }
    registry->shutdown();
    log_log(2, 6, "phoneweb-host stopped");
    return 0;
}
