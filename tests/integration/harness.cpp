#include "tests/integration/harness.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <curl/curl.h>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <stdexcept>
#include <strings.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/msgbus.h"
#include "platform/text.h"

namespace fs = std::filesystem;

const char* const kTestPages[][2] = {
    {"echo", "createTestEchoServlet"},     {"upload", "createTestUploadServlet"},
    {"raw", "createTestRawServlet"},       {"render", "createTestRenderServlet"},
    {"fixed", "createTestFixedServlet"},   {"session", "createTestSessionServlet"},
    {"answer", "createTestStatusServlet"},
};

// ------------------------------------------------------------------ answer

std::string HttpAnswer::header(const std::string& name) const
{
    std::vector<std::string> all = headerValues(name);
    return all.empty() ? std::string() : all.back();
}

std::vector<std::string> HttpAnswer::headerValues(const std::string& name) const
{
    std::vector<std::string> values;
    for (const auto& entry : headers) {
        if (strcasecmp(entry.first.c_str(), name.c_str()) == 0)
            values.push_back(entry.second);
    }
    return values;
}

// ------------------------------------------------------------------ client

namespace {

struct CurlInit {
    CurlInit() { curl_global_init(CURL_GLOBAL_DEFAULT); }
    ~CurlInit() { curl_global_cleanup(); }
};

size_t collectBody(char* data, size_t size, size_t count, void* user)
{
    static_cast<HttpAnswer*>(user)->body.append(data, size * count);
    return size * count;
}

size_t collectHeader(char* data, size_t size, size_t count, void* user)
{
    std::string line = trim(std::string(data, size * count), "\r\n");
    size_t colon = line.find(':');
    auto* answer = static_cast<HttpAnswer*>(user);
    if (line.rfind("HTTP/", 0) == 0)
        answer->headers.clear();  // a new answer (after 100 Continue)
    else if (colon != std::string::npos)
        answer->headers.emplace_back(line.substr(0, colon), trim(line.substr(colon + 1), " "));
    return size * count;
}

size_t streamBody(char* buffer, size_t size, size_t count, void* user)
{
    auto* read = static_cast<const std::function<size_t(char*, size_t)>*>(user);
    return (*read)(buffer, size * count);
}

}  // namespace

HttpClient::HttpClient(int port) : port_(port)
{
    static CurlInit init;
    curl_ = curl_easy_init();
    if (!curl_)
        throw std::runtime_error("curl_easy_init failed");
}

HttpClient::~HttpClient() { curl_easy_cleanup(static_cast<CURL*>(curl_)); }

HttpAnswer HttpClient::perform(const std::string& path, const std::function<void()>& setup)
{
    CURL* curl = static_cast<CURL*>(curl_);
    curl_easy_reset(curl);
    HttpAnswer answer;
    std::string url = "http://127.0.0.1:" + std::to_string(port_) + path;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collectBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, collectHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &answer);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 300L);
    struct curl_slist* headers = curl_slist_append(nullptr, "Expect:");
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    std::string cookies;
    for (const auto& cookie : cookies_)
        cookies += (cookies.empty() ? "" : "; ") + cookie.first + "=" + cookie.second;
    if (!cookies.empty())
        curl_easy_setopt(curl, CURLOPT_COOKIE, cookies.c_str());
    setup();
    CURLcode code = curl_easy_perform(curl);
    if (code == CURLE_OK)
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &answer.status);
    else
        answer.error = curl_easy_strerror(code);
    curl_slist_free_all(headers);
    // The jar: a cookie set with an empty value or Max-Age=0 is forgotten.
    for (const std::string& set : answer.headerValues("Set-Cookie")) {
        std::string pair = set.substr(0, set.find(';'));
        size_t eq = pair.find('=');
        if (eq == std::string::npos)
            continue;
        std::string name = pair.substr(0, eq);
        std::string value = pair.substr(eq + 1);
        if (value.empty() || set.find("Max-Age=0") != std::string::npos)
            cookies_.erase(name);
        else
            cookies_[name] = value;
    }
    return answer;
}

HttpAnswer HttpClient::get(const std::string& path)
{
    return perform(path, [] {});
}

HttpAnswer HttpClient::postForm(const std::string& path, const std::string& urlencoded)
{
    return perform(path, [&] {
        CURL* curl = static_cast<CURL*>(curl_);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(urlencoded.size()));
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, urlencoded.c_str());
    });
}

HttpAnswer HttpClient::postMultipart(const std::string& path, const std::vector<Part>& parts)
{
    CURL* curl = static_cast<CURL*>(curl_);
    curl_mime* mime = nullptr;
    HttpAnswer answer = perform(path, [&] {
        mime = curl_mime_init(curl);
        for (const Part& part : parts) {
            curl_mimepart* field = curl_mime_addpart(mime);
            curl_mime_name(field, part.name.c_str());
            curl_mime_data(field, part.value.data(), part.value.size());
            if (!part.fileName.empty())
                curl_mime_filename(field, part.fileName.c_str());
        }
        curl_easy_setopt(curl, CURLOPT_MIMEPOST, mime);
    });
    curl_mime_free(mime);
    return answer;
}

HttpAnswer HttpClient::postRaw(const std::string& path, const std::string& contentType,
                               const std::string& body)
{
    size_t at = 0;
    return postStream(path, contentType, body.size(), [&](char* buffer, size_t n) {
        size_t count = body.copy(buffer, n, at);
        at += count;
        return count;
    });
}

HttpAnswer HttpClient::postStream(const std::string& path, const std::string& contentType,
                                  uint64_t length,
                                  const std::function<size_t(char* buffer, size_t n)>& read)
{
    std::string type = "Content-Type: " + contentType;
    struct curl_slist* headers = nullptr;
    HttpAnswer answer = perform(path, [&] {
        CURL* curl = static_cast<CURL*>(curl_);
        headers = curl_slist_append(curl_slist_append(nullptr, "Expect:"), type.c_str());
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(length));
        curl_easy_setopt(curl, CURLOPT_READFUNCTION, streamBody);
        curl_easy_setopt(curl, CURLOPT_READDATA, &read);
    });
    curl_slist_free_all(headers);
    return answer;
}

std::string HttpClient::cookie(const std::string& name)
{
    auto it = cookies_.find(name);
    return it == cookies_.end() ? std::string() : it->second;
}

void HttpClient::clearCookies() { cookies_.clear(); }

// ------------------------------------------------------------------- stack

namespace {

int freePort()
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = 0;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    if (fd >= 0)
        close(fd);
    if (port == 0)
        throw std::runtime_error("no free port");
    return port;
}

bool portAnswers(int port)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0)
        close(fd);
    return ok;
}

bool alive(pid_t pid)
{
    int status;
    return pid > 0 && waitpid(pid, &status, WNOHANG) == 0;
}

// Starts a program with its output appended to a log file.
pid_t spawn(const std::vector<std::string>& argv, const std::string& log)
{
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (fd >= 0) {
            dup2(fd, 1);
            dup2(fd, 2);
            close(fd);
        }
        execvp(args[0], args.data());
        _exit(127);
    }
    if (pid < 0)
        throw std::runtime_error("fork failed");
    return pid;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

bool Stack::running(pid_t pid)
{
    std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
}

namespace {

// Sends SIGTERM and waits; a process that ignores it for long is killed.
void terminate(pid_t pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

}  // namespace

const char* Stack::hostBinary() { return PHONEWEB_HOST_BINARY; }
const char* Stack::pageLibrary() { return PHONEWEB_LIBRARY; }
const char* Stack::testPageLibrary() { return PHONEWEB_TESTPAGES; }
const char* Stack::phonesimBinary() { return PHONEWEB_PHONESIM; }

void Stack::installRoot(TestRoot& root)
{
    const std::string script = std::string(PHONEWEB_SOURCE_DIR) + "/tools/install-root.sh";
    const std::string log = root.path() + "/harness/install-root.log";
    fs::create_directories(root.path() + "/harness");
    pid_t pid = spawn({script, root.path(), PHONEWEB_UTRAC}, log);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("install-root.sh failed: " + readFile(log));
}

Stack::Stack() : Stack(Options()) {}

Stack::Stack(Options options) : options_(std::move(options))
{
    harnessDir_ = root_.path() + "/harness";
    fs::create_directories(harnessDir_);
    installRoot(root_);
    if (options_.prepare)
        options_.prepare(root_);
    try {
        start();
    } catch (...) {
        stop();
        throw;
    }
}

Stack::~Stack() { stop(); }

void Stack::start()
{
    // Logs of the programs we start go to the harness folder; the host
    // writes its log lines to standard error there too.
    setenv("PHONEWEB_LOG_STDERR", "1", 1);
    const std::string log = harnessDir_ + "/server.log";

    const std::string sim = phonesimBinary();
    if (options_.phonesim && !sim.empty() && access(sim.c_str(), X_OK) == 0) {
        phonesim_ = spawn({sim, "--root", root_.path()}, log);
        // phonesim writes its pid file once its bus threads are bound.
        const std::string pidFile = root_.real("/tmp/phonesim/phonesim.pid");
        for (int i = 0; i < 200 && alive(phonesim_) && !fs::exists(pidFile); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }

    std::vector<std::string> args = {PHONEWEB_LIGHTTPD_CONF, root_.path(), "", hostBinary(),
                                     options_.testPages ? testPageLibrary() : pageLibrary()};
    if (options_.testPages) {
        for (const auto& page : kTestPages)
        {
            args.push_back("--page");
            args.push_back(std::string(page[0]) + "=" + page[1]);
        }
    }
    for (const std::string& arg : options_.hostArgs)
        args.push_back(arg);

    for (int attempt = 0; attempt < 3; ++attempt) {
        port_ = fixedPort_ ? fixedPort_ : freePort();
        args[2] = std::to_string(port_);
        httpsPort_ = options_.https ? (fixedPort_ && httpsPort_ ? httpsPort_ : freePort()) : 0;
        std::string conf = harnessDir_ + "/lighttpd.conf";
        pid_t writer = fork();
        if (writer == 0) {
            int fd = open(conf.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd < 0)
                _exit(126);
            dup2(fd, 1);
            if (httpsPort_)
                setenv("PHONEWEB_HTTPS_PORT", std::to_string(httpsPort_).c_str(), 1);
            std::vector<char*> argv;
            for (std::string& arg : args)
                argv.push_back(&arg[0]);
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        int status = 0;
        waitpid(writer, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            throw std::runtime_error("lighttpd-conf.sh failed");

        lighttpd_ = spawn({"lighttpd", "-D", "-f", conf}, log);
        for (int i = 0; i < 400 && alive(lighttpd_); ++i) {
            if (portAnswers(port_))
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        terminate(lighttpd_);
        lighttpd_ = -1;  // perhaps the port was taken meanwhile: try another
    }
    throw std::runtime_error("lighttpd did not start:\n" + serverLog());
}

void Stack::restart()
{
    stop();
    start();
}

void Stack::stop()
{
    pid_t host = hostPid();
    terminate(lighttpd_);
    lighttpd_ = -1;
    // lighttpd stops the host it started; make sure nothing is left behind.
    for (int i = 0; host > 0 && i < 200 && running(host); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    if (host > 0 && running(host))
        kill(host, SIGKILL);
    terminate(phonesim_);
    phonesim_ = -1;
}

bool Stack::waitForRestart(int timeoutMs)
{
    int status = 0;
    bool ended = false;
    for (int waited = 0; phonesim_ > 0 && !ended && waited < timeoutMs; waited += 25) {
        ended = waitpid(phonesim_, &status, WNOHANG) == phonesim_;
        if (!ended)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    if (!ended || !WIFEXITED(status) || WEXITSTATUS(status) != 3)
        return false;
    phonesim_ = -1;
    stop();
    fixedPort_ = port_;
    start();
    return true;
}

std::string Stack::url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

pid_t Stack::hostPid() const
{
    if (host_ > 0 && running(host_))
        return host_;
    host_ = -1;
    if (lighttpd_ <= 0)
        return -1;
    DIR* proc = opendir("/proc");
    if (!proc)
        return -1;
    while (dirent* entry = readdir(proc)) {
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9')
            continue;
        std::string stat = readFile(std::string("/proc/") + entry->d_name + "/stat");
        // "pid (name) state ppid ...": the name may hold blanks, so read after ')'.
        size_t close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        char state = 0;
        int parent = 0;
        if (sscanf(stat.c_str() + close + 1, " %c %d", &state, &parent) == 2 && parent == lighttpd_ &&
            state != 'Z') {
            host_ = atoi(entry->d_name);
            break;
        }
    }
    closedir(proc);
    return host_;
}

long Stack::memoryKiB(pid_t pid, const char* field)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    std::string prefix = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0)
            return atol(line.c_str() + prefix.size());
    }
    return -1;
}

std::vector<std::string> Stack::busLog()
{
    std::vector<std::string> lines;
    std::ifstream in(root_.real("/tmp/phonesim/bus.log"));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty())
            lines.push_back(line);
    }
    return lines;
}

std::string Stack::serverLog() const { return readFile(harnessDir_ + "/server.log"); }

// ----------------------------------------------------------------- fixture

Stack::Options PhoneStackTest::realPages(std::function<void(TestRoot&)> prepare)
{
    Stack::Options options;
    options.testPages = false;
    options.prepare = std::move(prepare);
    return options;
}

void PhoneStackTest::TearDown()
{
    if (HasFailure())
        fprintf(stderr, "---- server log ----\n%s\n", stack.serverLog().c_str());
}

HttpAnswer PhoneStackTest::login(const std::string& user, const std::string& password,
                                 const std::string& extra)
{
    return http.postForm("/servlet?p=login&q=login", "username=" + user + "&pwd=" + password + extra);
}

std::vector<std::string> PhoneStackTest::phoneLines()
{
    constexpr unsigned int kSentinel = 0x7FFF;
    msgPostMsgToThread(msgGetThreadByName("app_vpPhone"), kSentinel, 0, 0);
    const std::string sentinel = "\"id\":" + std::to_string(kSentinel) + ",";
    for (int attempt = 0; attempt < 400; ++attempt) {
        std::vector<std::string> phone;
        for (const std::string& line : stack.busLog()) {
            if (line.find(sentinel) != std::string::npos)
                return phone;
            if (line.find("\"to\":\"app_vpPhone\"") != std::string::npos)
                phone.push_back(line);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    ADD_FAILURE() << "the sentinel never reached phonesim";
    return {};
}
