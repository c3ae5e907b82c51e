#include "platform/msgbus.h"

#include "platform/fileutil.h"
#include "platform/paths.h"
#include "platform/system.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <map>
#include <memory>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

struct _MSGTHREAD_ {
    std::string name;
    sockaddr_un address;
    socklen_t addressLength;
};

namespace {

const char kBusFolder[] = "/tmp/phonebus";
const char kSocketSuffix[] = ".sock";
constexpr uint32_t kMagic = 0x50424D31;  // "PBM1"
constexpr int kSendCapMs = 30000;
// A blocked queue at the peer must not hold the sender for ever.
constexpr int kSendBlockMs = 2000;

enum Kind : uint32_t { kPost = 1, kSend = 2, kBroadcast = 3, kReply = 4 };

// Every field is 32 bits wide, so the layout has no padding on any target;
// it is copied in and out with memcpy, never read in place.
struct WireHeader {
    uint32_t magic;
    uint32_t kind;
    uint32_t id;
    uint32_t wparam;
    int32_t lparam;
    uint32_t pid;
    uint32_t serial;
    uint32_t size;
};
static_assert(sizeof(WireHeader) == 32, "the wire header is eight 32-bit words");

using Clock = std::chrono::steady_clock;

std::atomic<uint32_t> gSerial{0};

// A socket this process sends from. It is autobound so that the peer of a
// "send" can answer to the address recvfrom gives it. Sends hold theirs
// while they wait for the reply, so posts and broadcasts have their own and
// never wait behind a send.
struct SenderSocket {
    std::mutex mutex;
    int fd = -1;
    pid_t owner = 0;
};
SenderSocket gSendSocket;
SenderSocket gPostSocket;

std::mutex gThreadsMutex;
std::map<std::string, std::unique_ptr<_MSGTHREAD_>> gThreads;

const char* kindName(uint32_t kind)
{
    switch (kind) {
    case kPost: return "post";
    case kSend: return "send";
    case kBroadcast: return "broadcast";
    default: return nullptr;
    }
}

bool threadAddress(const std::string& name, sockaddr_un& address, socklen_t& length)
{
    if (!isPlainFileName(name.c_str()))
        return false;
    std::string path = phonePath(kBusFolder) + "/" + name + kSocketSuffix;
    memset(&address, 0, sizeof address);
    if (path.size() >= sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    memcpy(address.sun_path, path.c_str(), path.size() + 1);
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
    return true;
}

void setSocketOption(int fd, int forced, int plain, int value)
{
    // The forced variant passes the system's maximum but needs privilege.
    if (setsockopt(fd, SOL_SOCKET, forced, &value, sizeof value) != 0)
        setsockopt(fd, SOL_SOCKET, plain, &value, sizeof value);
}

// Room for the largest message with its header and the kernel's overhead.
void raiseBuffers(int fd)
{
    const int size = kMsgMaxData + 64 * 1024;
    setSocketOption(fd, SO_SNDBUFFORCE, SO_SNDBUF, size);
    setSocketOption(fd, SO_RCVBUFFORCE, SO_RCVBUF, size);
}

int newSocket()
{
    return socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
}

// True when a process has the socket bound: connecting to a socket file left
// behind by a dead process is refused.
bool isLive(const sockaddr_un& address, socklen_t length)
{
    int fd = newSocket();
    if (fd < 0)
        return false;
    bool live = connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0;
    close(fd);
    return live;
}

// Called with sender.mutex held.
int senderSocket(SenderSocket& sender)
{
    if (sender.fd >= 0 && sender.owner == getpid())
        return sender.fd;
    if (sender.fd >= 0)
        close(sender.fd);  // inherited over fork: the parent keeps its own
    sender.fd = newSocket();
    sender.owner = getpid();
    if (sender.fd < 0)
        return -1;
    sockaddr_un autobind;
    memset(&autobind, 0, sizeof autobind);
    autobind.sun_family = AF_UNIX;
    if (bind(sender.fd, reinterpret_cast<sockaddr*>(&autobind), sizeof(sa_family_t)) != 0) {
        close(sender.fd);
        sender.fd = -1;
        return -1;
    }
    raiseBuffers(sender.fd);
    timeval block{kSendBlockMs / 1000, 0};
    setsockopt(sender.fd, SOL_SOCKET, SO_SNDTIMEO, &block, sizeof block);
    return sender.fd;
}

bool transmit(int fd, const sockaddr_un& address, socklen_t length, const WireHeader& header,
              const void* data, int flags)
{
    unsigned char head[sizeof(WireHeader)];
    memcpy(head, &header, sizeof head);
    iovec parts[2] = {{head, sizeof head}, {const_cast<void*>(data), header.size}};
    msghdr message;
    memset(&message, 0, sizeof message);
    message.msg_name = const_cast<sockaddr_un*>(&address);
    message.msg_namelen = length;
    message.msg_iov = parts;
    message.msg_iovlen = header.size > 0 ? 2 : 1;
    for (;;) {
        ssize_t sent = sendmsg(fd, &message, flags | MSG_NOSIGNAL);
        if (sent >= 0)
            return static_cast<size_t>(sent) == sizeof head + header.size;
        if (errno != EINTR)
            return false;
    }
}

bool acceptableData(int size, const void* data)
{
    if (size < 0 || size > kMsgMaxData || (size > 0 && !data)) {
        log_log(2, 4, "msgbus: refused a data block of %d bytes", size);
        return false;
    }
    return true;
}

WireHeader makeHeader(Kind kind, unsigned int id, unsigned int wparam, int lparam, int size,
                      uint32_t serial)
{
    WireHeader header;
    header.magic = kMagic;
    header.kind = kind;
    header.id = id;
    header.wparam = wparam;
    header.lparam = lparam;
    header.pid = static_cast<uint32_t>(getpid());
    header.serial = serial;
    header.size = static_cast<uint32_t>(size);
    return header;
}

int postMessage(HTHREAD thread, unsigned int id, unsigned int wparam, int lparam, int size,
                const void* data)
{
    if (!thread || !acceptableData(size, data))
        return 0;
    WireHeader header = makeHeader(kPost, id, wparam, lparam, size, ++gSerial);
    std::lock_guard<std::mutex> guard(gPostSocket.mutex);
    int fd = senderSocket(gPostSocket);
    if (fd < 0 || !transmit(fd, thread->address, thread->addressLength, header, data, 0)) {
        log_log(2, 3, "msgbus: post 0x%x to %s failed: %s", id, thread->name.c_str(), strerror(errno));
        return 0;
    }
    return 1;
}

int remainingMs(Clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

int sendAndWait(HTHREAD thread, unsigned int id, unsigned int wparam, int lparam, int size,
                const void* data, int timeoutMs)
{
    if (!thread || !acceptableData(size, data))
        return 0;
    bool capped = timeoutMs <= 0 || timeoutMs > kSendCapMs;
    if (capped)
        timeoutMs = kSendCapMs;
    uint32_t serial = ++gSerial;
    WireHeader header = makeHeader(kSend, id, wparam, lparam, size, serial);
    // One exchange at a time: the reply comes back on the shared socket.
    std::lock_guard<std::mutex> guard(gSendSocket.mutex);
    int fd = senderSocket(gSendSocket);
    if (fd < 0 || !transmit(fd, thread->address, thread->addressLength, header, data, 0)) {
        log_log(2, 3, "msgbus: send 0x%x to %s failed: %s", id, thread->name.c_str(), strerror(errno));
        return 0;
    }
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        pollfd ready{fd, POLLIN, 0};
        int polled = poll(&ready, 1, remainingMs(deadline));
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled <= 0)
            break;
        unsigned char buffer[sizeof(WireHeader)];
        ssize_t got = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got != static_cast<ssize_t>(sizeof buffer))
            continue;
        WireHeader reply;
        memcpy(&reply, buffer, sizeof reply);
        // Anything else is a late answer to an earlier, timed-out send.
        if (reply.magic == kMagic && reply.kind == kReply && reply.serial == serial)
            return reply.lparam;
    }
    log_log(2, capped ? 3 : 6, "msgbus: no reply to 0x%x from %s within %d ms", id,
            thread->name.c_str(), timeoutMs);
    return 0;
}

int broadcastMessage(unsigned int id, unsigned int wparam, int lparam, int size, const void* data)
{
    if (!acceptableData(size, data))
        return 0;
    std::string folder = phonePath(kBusFolder);
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return 0;
    std::vector<std::string> names;
    const size_t suffixLength = strlen(kSocketSuffix);
    while (dirent* entry = readdir(dir)) {
        std::string file = entry->d_name;
        if (file.size() > suffixLength &&
            file.compare(file.size() - suffixLength, suffixLength, kSocketSuffix) == 0)
            names.push_back(file.substr(0, file.size() - suffixLength));
    }
    closedir(dir);
    // One (pid, serial) for every copy lets a peer that serves several
    // threads handle the broadcast once.
    WireHeader header = makeHeader(kBroadcast, id, wparam, lparam, size, ++gSerial);
    int delivered = 0;
    std::lock_guard<std::mutex> guard(gPostSocket.mutex);
    int fd = senderSocket(gPostSocket);
    for (const std::string& name : names) {
        sockaddr_un address;
        socklen_t length;
        if (fd >= 0 && threadAddress(name, address, length) &&
            transmit(fd, address, length, header, data, 0))
            ++delivered;
    }
    return delivered > 0 ? 1 : 0;
}

}  // namespace

HTHREAD msgGetThreadByName(const char* name)
{
    sockaddr_un address;
    socklen_t length;
    if (!name || !threadAddress(name, address, length) || !isLive(address, length))
        return nullptr;
    std::lock_guard<std::mutex> guard(gThreadsMutex);
    std::unique_ptr<_MSGTHREAD_>& slot = gThreads[address.sun_path];
    if (!slot)
        slot.reset(new _MSGTHREAD_{name, address, length});
    return slot.get();
}

int msgPostMsgToThread(HTHREAD thread, unsigned int id, unsigned int wparam, int lparam)
{
    return postMessage(thread, id, wparam, lparam, 0, nullptr);
}

int msgPostMsgToThreadEx(HTHREAD thread, unsigned int id, unsigned int wparam, int lparam,
                         int size, const void* data)
{
    return postMessage(thread, id, wparam, lparam, size, data);
}

int msgSendMsgToThread(HTHREAD thread, unsigned int id, unsigned int wparam, int lparam)
{
    return sendAndWait(thread, id, wparam, lparam, 0, nullptr, -1);
}

int msgSendMsgToThreadEx(HTHREAD thread, unsigned int id, unsigned int wparam, int lparam,
                         int size, const void* data)
{
    return sendAndWait(thread, id, wparam, lparam, size, data, -1);
}

int msgSendMsgToThreadTimeoutEx(HTHREAD thread, unsigned int id, unsigned int wparam,
                                int lparam, int size, const void* data, int timeoutMs)
{
    return sendAndWait(thread, id, wparam, lparam, size, data, timeoutMs);
}

int msgBroadpostThreadMsg(unsigned int id, unsigned int wparam, int lparam)
{
    return broadcastMessage(id, wparam, lparam, 0, nullptr);
}

int msgBroadpostThreadMsgEx(unsigned int id, unsigned int wparam, int lparam, int size,
                            const void* data)
{
    return broadcastMessage(id, wparam, lparam, size, data);
}

BusEndpoint::~BusEndpoint()
{
    if (fd_ >= 0)
        close(fd_);
    if (!path_.empty() && ownerPid_ == getpid())
        unlink(path_.c_str());
}

bool BusEndpoint::bind(const std::string& name)
{
    sockaddr_un address;
    socklen_t length;
    if (fd_ >= 0 || !threadAddress(name, address, length) || !makeDirs(phonePath(kBusFolder)))
        return false;
    if (isLive(address, length)) {
        log_log(2, 3, "msgbus: thread %s is already served", name.c_str());
        return false;
    }
    unlink(address.sun_path);  // a socket file left by a dead process
    int fd = newSocket();
    if (fd < 0)
        return false;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0) {
        close(fd);
        return false;
    }
    raiseBuffers(fd);
    fd_ = fd;
    name_ = name;
    path_ = address.sun_path;
    ownerPid_ = static_cast<int>(getpid());
    return true;
}

bool BusEndpoint::receive(BusMessage& out, int timeoutMs)
{
    if (fd_ < 0)
        return false;
    auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    for (;;) {
        pollfd ready{fd_, POLLIN, 0};
        int polled = poll(&ready, 1, timeoutMs < 0 ? -1 : remainingMs(deadline));
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled <= 0)
            return false;
        // The real length first, so that a 1 MiB block needs no fixed buffer.
        ssize_t length = recv(fd_, nullptr, 0, MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT);
        if (length < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return false;
        }
        std::vector<char> buffer(static_cast<size_t>(length) + 1);
        sockaddr_un from;
        memset(&from, 0, sizeof from);
        socklen_t fromLength = sizeof from;
        ssize_t got = recvfrom(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT,
                               reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (got < static_cast<ssize_t>(sizeof(WireHeader)))
            continue;
        WireHeader header;
        memcpy(&header, buffer.data(), sizeof header);
        size_t dataSize = static_cast<size_t>(got) - sizeof header;
        const char* kind = kindName(header.kind);
        if (header.magic != kMagic || !kind || header.size != dataSize)
            continue;  // not one of ours: drop it and keep waiting
        out = BusMessage();
        out.thread = name_;
        out.kind = kind;
        out.id = header.id;
        out.wparam = header.wparam;
        out.lparam = header.lparam;
        out.data.assign(buffer.data() + sizeof header, dataSize);
        out.hasData = dataSize > 0;
        out.senderPid = header.pid;
        out.serial = header.serial;
        // An unbound sender has no address to answer to.
        if (header.kind == kSend && fromLength > sizeof(sa_family_t) && fromLength <= sizeof from)
            out.replyAddress.assign(reinterpret_cast<const char*>(&from), fromLength);
        return true;
    }
}

void BusEndpoint::reply(const BusMessage& message, int result)
{
    if (fd_ < 0 || message.kind != "send" || message.replyAddress.empty() ||
        message.replyAddress.size() > sizeof(sockaddr_un))
        return;
    sockaddr_un to;
    memset(&to, 0, sizeof to);
    memcpy(&to, message.replyAddress.data(), message.replyAddress.size());
    WireHeader header = makeHeader(kReply, message.id, message.wparam, result, 0, message.serial);
    // Never block the serving side on a sender that went away.
    transmit(fd_, to, static_cast<socklen_t>(message.replyAddress.size()), header, nullptr,
             MSG_DONTWAIT);
}
