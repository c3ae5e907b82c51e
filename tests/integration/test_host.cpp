// The FastCGI host over HTTP, with the test pages.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <dlfcn.h>
#include <filesystem>
#include <map>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "frame/http.h"
#include "platform/text.h"
#include "tests/integration/harness.h"

namespace fs = std::filesystem;

namespace {

// "name=value" lines of a test page's answer.
std::map<std::string, std::string> lines(const std::string& body)
{
    std::map<std::string, std::string> out;
    for (const std::string& line : splitLines(body)) {
        size_t eq = line.find('=');
        if (eq != std::string::npos)
            out[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return out;
}

size_t entries(const std::string& realFolder)
{
    size_t count = 0;
    std::error_code ignored;
    for (auto it = fs::directory_iterator(realFolder, ignored); it != fs::directory_iterator(); ++it)
        ++count;
    return count;
}

class Host : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(stack.root().real("/tmp/up"));
    }
    void TearDown() override
    {
        if (HasFailure())
            std::fprintf(stderr, "---- server log ----\n%s\n", stack.serverLog().c_str());
    }

    Stack stack;
    HttpClient http = stack.client();
};

}  // namespace

TEST_F(Host, StaticFilesComeFromTheDocumentRoot)
{
    stack.root().write("/phone/www/htdocs/hello.txt", "static text\n");
    HttpAnswer answer = http.get("/hello.txt");
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body, "static text\n");
}

// What lighttpd hands the host (query, body, address) reaches the page.
TEST_F(Host, ParametersFromQueryFormAndMultipart)
{
    auto got = lines(http.get("/servlet?p=echo&show=a,none&a=1&a=x%20y").body);
    EXPECT_EQ(got["a"], "1|x y");
    EXPECT_EQ(got["none"], "(null)");
    EXPECT_EQ(got["url"], "/servlet?p=echo&show=a,none&a=1&a=x%20y");
    EXPECT_EQ(got["remote"], "127.0.0.1");
    EXPECT_EQ(lines(http.postForm("/servlet?p=echo&show=a&a=q", "a=f1&a=f2").body)["a"], "q|f1|f2");
    got = lines(http.postMultipart("/servlet?p=echo&show=t", {{"t", "one", ""}, {"t", "two", ""}}).body);
    EXPECT_EQ(got["t"], "one|two");
}

TEST_F(Host, UploadReachesTheDiskWholeAndVanishesUnclaimed)
{
    std::string content(200000, 'u');
    HttpAnswer answer = http.postMultipart("/servlet?p=upload&pattern=/tmp/up/f_XXXXXX",
                                           {{"file", content, "C:\\fakepath\\photo.jpg"}});
    ASSERT_EQ(answer.status, 200) << answer.error;
    auto got = lines(answer.body);
    EXPECT_EQ(got["path"].rfind("/tmp/up/f_", 0), 0u) << answer.body;
    EXPECT_EQ(got["name"], "photo.jpg");
    EXPECT_EQ(got["size"], "200000");
    EXPECT_EQ(entries(stack.root().real("/tmp/up")), 0u);

    HttpAnswer claimed = http.postMultipart("/servlet?p=upload&pattern=/tmp/up/f_XXXXXX&claim=/tmp/up/kept",
                                            {{"file", content, "a.bin"}});
    EXPECT_EQ(lines(claimed.body)["claimed"], "yes");
    EXPECT_EQ(stack.root().read("/tmp/up/kept"), content);
    EXPECT_EQ(entries(stack.root().real("/tmp/up")), 1u);
}

TEST_F(Host, TruncatedMultipartLeavesNoFile)
{
    std::string body =
        "--B\r\nContent-Disposition: form-data; name=\"file\"; filename=\"a.bin\"\r\n\r\n" +
        std::string(100000, 'd');  // no closing boundary
    HttpAnswer answer =
        http.postRaw("/servlet?p=upload&pattern=/tmp/up/f_XXXXXX", "multipart/form-data; boundary=B", body);
    EXPECT_EQ(answer.status, 400) << answer.body;
    EXPECT_EQ(entries(stack.root().real("/tmp/up")), 0u);
}

// The body streams through: the host's memory stays flat while 100 MiB pass.
TEST_F(Host, HundredMebibyteRawBodyReachesReadBody)
{
    ASSERT_EQ(http.postRaw("/servlet?p=raw&q=upgrade", "application/octet-stream", "warm-up").status, 200);
    pid_t host = stack.hostPid();
    ASSERT_GT(host, 0);
    long before = Stack::memoryKiB(host);
    long peak = before;

    const uint64_t total = 100ull << 20;
    uint64_t sent = 0;
    uint64_t hash = 1469598103934665603ull;
    uint64_t nextSample = 0;
    auto produce = [&](char* buffer, size_t n) -> size_t {
        if (sent >= nextSample) {
            peak = std::max(peak, Stack::memoryKiB(host));
            nextSample += 4 << 20;
        }
        size_t count = static_cast<size_t>(std::min<uint64_t>(n, total - sent));
        for (size_t i = 0; i < count; ++i) {
            uint64_t at = sent + i;
            unsigned char byte = static_cast<unsigned char>((at * 2654435761u) >> 13);
            buffer[i] = static_cast<char>(byte);
            hash = (hash ^ byte) * 1099511628211ull;
        }
        sent += count;
        return count;
    };
    HttpAnswer answer = http.postStream("/servlet?p=raw&q=upgrade", "application/octet-stream", total, produce);
    ASSERT_EQ(answer.status, 200) << answer.error;
    auto got = lines(answer.body);
    char expected[17];
    std::snprintf(expected, sizeof expected, "%016llx", static_cast<unsigned long long>(hash));
    EXPECT_EQ(got["length"], std::to_string(total));
    EXPECT_EQ(got["fnv"], expected);
    peak = std::max(peak, Stack::memoryKiB(host));
    std::fprintf(stderr, "host VmRSS before %ld KiB, peak while streaming %ld KiB\n", before, peak);
    EXPECT_LT(peak - before, 16 * 1024) << "the host held the body in memory";
}

// Starts a multipart upload by hand (a streamed one, q=upgrade) and sends
// its first mebibyte; returns the socket, still open, once the host has
// begun the file.
int beginUpload(Stack& stack)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    EXPECT_GE(fd, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(stack.port()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    std::string head =
        "POST /servlet?p=upload&q=upgrade&pattern=/tmp/up/f_XXXXXX HTTP/1.1\r\n"
        "Host: 127.0.0.1\r\nContent-Type: multipart/form-data; boundary=B\r\n"
        "Content-Length: 50000000\r\n\r\n"
        "--B\r\nContent-Disposition: form-data; name=\"file\"; filename=\"big.bin\"\r\n\r\n";
    std::string data(1 << 20, 'a');
    EXPECT_EQ(send(fd, head.data(), head.size(), MSG_NOSIGNAL), static_cast<ssize_t>(head.size()));
    EXPECT_EQ(send(fd, data.data(), data.size(), MSG_NOSIGNAL), static_cast<ssize_t>(data.size()));
    std::string folder = stack.root().real("/tmp/up");
    for (int i = 0; i < 400 && entries(folder) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    EXPECT_EQ(entries(folder), 1u) << "the upload never started";
    return fd;
}

TEST_F(Host, AbortedUploadLeavesNoFileAndTheNextRequestIsServed)
{
    int fd = beginUpload(stack);
    close(fd);  // gone mid-body
    // One request at a time: this one is served after the aborted one ended.
    HttpAnswer next = http.get("/servlet?p=echo&show=a&a=1");
    EXPECT_EQ(next.status, 200) << next.error;
    EXPECT_EQ(entries(stack.root().real("/tmp/up")), 0u);
}

TEST(HostStack, StalledUploadEndsAndTheNextRequestIsServed)
{
    Stack::Options options;
    options.hostArgs = {"--body-timeout", "1"};
    options.prepare = [](TestRoot& root) { fs::create_directories(root.real("/tmp/up")); };
    Stack stack(options);
    int fd = beginUpload(stack);
    // The client stays connected but sends nothing more: the host gives up
    // on the body and moves on to the next request.
    HttpClient http = stack.client();
    HttpAnswer next = http.get("/servlet?p=echo&show=a&a=1");
    EXPECT_EQ(next.status, 200) << next.error;
    EXPECT_EQ(entries(stack.root().real("/tmp/up")), 0u);
    close(fd);
}

// The session cookie as it travels: its flags, a new id at renewal, and
// the browser told to forget it at the end.
TEST_F(Host, SessionCookieOnTheWire)
{
    HttpAnswer answer = http.get("/servlet?p=session&q=set&user=user");
    std::string cookie = answer.header("Set-Cookie");
    EXPECT_EQ(cookie.rfind("sessionid=", 0), 0u) << cookie;
    for (const char* flag : {"; Path=/", "; HttpOnly", "; SameSite=Strict"})
        EXPECT_NE(cookie.find(flag), std::string::npos) << flag;
    std::string first = http.cookie("sessionid");
    EXPECT_EQ(first.size(), 32u);
    EXPECT_EQ(lines(http.get("/servlet?p=session&q=renew&user=admin").body)["user"], "admin");
    EXPECT_NE(http.cookie("sessionid"), first);
    EXPECT_EQ(lines(http.get("/servlet?p=session&q=get").body)["user"], "admin");
    EXPECT_EQ(lines(stack.client().get("/servlet?p=session&q=get").body)["user"], "(null)");

    HttpAnswer ended = http.get("/servlet?p=session&q=invalidate");
    EXPECT_NE(ended.header("Set-Cookie").find("Max-Age=0"), std::string::npos);
    EXPECT_EQ(lines(http.get("/servlet?p=session&q=get").body)["user"], "(null)");
}

// The host finds pages by their factory names only; everything else stays
// inside the library.
TEST(PageLibrary, ExportsTheFactoriesOnly)
{
    void* library = dlopen(Stack::pageLibrary(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    for (const char* absent : {"createContactsEnterpriseServlet", "createFeaturesUCServlet",
                               "createNetworkDNSCacheServlet"}) {
        auto factory = reinterpret_cast<HttpServlet* (*)()>(dlsym(library, absent));
        ASSERT_NE(factory, nullptr) << absent;
        EXPECT_EQ(factory(), nullptr) << absent;
    }
    EXPECT_NE(dlsym(library, "createLoginListener"), nullptr);
    EXPECT_NE(dlsym(library, "createStatusServlet"), nullptr);
    EXPECT_EQ(dlsym(library, "_Z17AccountStatusWordi"), nullptr);
    dlclose(library);
}
