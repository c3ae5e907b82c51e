// Integration-test harness: the real stack (lighttpd, the FastCGI host, the
// page library, phonesim when built) on a temporary phone root and a free
// port of 127.0.0.1, and an HTTP client with a cookie jar.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

#include "tests/support/testroot.h"

struct HttpAnswer {
    long status = 0;  // 0 when the request failed at the transport level
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;  // in order received
    std::string error;                                         // transport error text

    // The last value of a header (name compared without case); empty when absent.
    std::string header(const std::string& name) const;
    // Every value of a header.
    std::vector<std::string> headerValues(const std::string& name) const;
};

class HttpClient {
public:
    explicit HttpClient(int port);
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    struct Part {
        std::string name;
        std::string value;     // text value or file content
        std::string fileName;  // set for a file part
    };

    HttpAnswer get(const std::string& path);
    HttpAnswer postForm(const std::string& path, const std::string& urlencoded);
    HttpAnswer postMultipart(const std::string& path, const std::vector<Part>& parts);
    // A body given whole, with its own Content-Type (for hand-made bodies).
    HttpAnswer postRaw(const std::string& path, const std::string& contentType,
                       const std::string& body);
    // A body produced piece by piece, never held in memory: read fills up to
    // n bytes and returns the count.
    HttpAnswer postStream(const std::string& path, const std::string& contentType, uint64_t length,
                          const std::function<size_t(char* buffer, size_t n)>& read);

    // A cookie held in the jar (the client's own: names and values only,
    // sent back to every path); empty when none.
    std::string cookie(const std::string& name);
    void clearCookies();

private:
    HttpAnswer perform(const std::string& path, const std::function<void()>& setup);

    int port_;
    void* curl_;
    std::map<std::string, std::string> cookies_;
};

class Stack {
public:
    struct Options {
        // Serve the test pages instead of the real page library.
        bool testPages = true;
        // Start phonesim when it is built.
        bool phonesim = true;
        // Extra host arguments (added after the test pages).
        std::vector<std::string> hostArgs;
        // Runs after the root is installed and before anything starts.
        std::function<void(TestRoot&)> prepare;
        // Also serve HTTPS (on httpsPort()) with the root's server certificate.
        bool https = false;
    };

    // Builds the root, starts everything and waits until the port answers.
    // Throws std::runtime_error with the server log when it cannot.
    Stack();
    explicit Stack(Options options);
    // Stops everything it started and waits for each process to end.
    ~Stack();
    Stack(const Stack&) = delete;
    Stack& operator=(const Stack&) = delete;

    int port() const { return port_; }
    int httpsPort() const { return httpsPort_; }
    // Stops and starts everything again on the same root, as a phone that
    // restarts (new ports; clients made before talk to the old ones).
    void restart();
    TestRoot& root() { return root_; }
    std::string url(const std::string& path) const;
    HttpClient client() const { return HttpClient(port_); }

    // Waits until phonesim plays a restart (it ends with status 3), then
    // starts the phone again on the same port, as the demo does; false when
    // no restart came within the time.
    bool waitForRestart(int timeoutMs);

    // The FastCGI host's process (started by lighttpd); -1 when not running.
    pid_t hostPid() const;
    // True while the process runs (a zombie has ended).
    static bool running(pid_t pid);
    // The host's resident memory in KiB (VmRSS), or VmHWM for the peak.
    static long memoryKiB(pid_t pid, const char* field = "VmRSS");
    // phonesim's message log ("<root>/tmp/phonesim/bus.log"), one JSON object a line.
    std::vector<std::string> busLog();
    // lighttpd's and the host's standard error so far.
    std::string serverLog() const;

    // Lays out the root with tools/install-root.sh, as the demo and the
    // benchmarks do, with the screen capture stand-in when it is built.
    static void installRoot(TestRoot& root);

    // Paths of the built programs, fixed at build time.
    static const char* hostBinary();
    static const char* pageLibrary();
    static const char* testPageLibrary();
    static const char* phonesimBinary();  // empty when phonesim is not built

private:
    void start();
    void stop();

    Options options_;
    TestRoot root_;
    std::string harnessDir_;
    int port_ = 0;
    int fixedPort_ = 0;  // after a restart the phone keeps its port
    int httpsPort_ = 0;
    pid_t lighttpd_ = -1;
    pid_t phonesim_ = -1;
    mutable pid_t host_ = -1;
};

// The factories of the test page library, as the host's --page options use them.
extern const char* const kTestPages[][2];

// A test on the real page library with phonesim: the server log is printed
// when the test fails.
class PhoneStackTest : public ::testing::Test {
protected:
    // The real pages; prepare (when given) runs on the installed root.
    static Stack::Options realPages(std::function<void(TestRoot&)> prepare = nullptr);

    PhoneStackTest() : PhoneStackTest(realPages()) {}
    explicit PhoneStackTest(Stack::Options options) : stack(std::move(options)) {}
    void TearDown() override;

    // Posts the login form.
    HttpAnswer login(const std::string& user = "admin", const std::string& password = "admin",
                     const std::string& extra = "&jumpto=status");
    // The bus log lines to "app_vpPhone" of everything sent before now (a
    // sentinel posted now arrives after them).
    std::vector<std::string> phoneLines();

    Stack stack;
    HttpClient http = stack.client();
};
