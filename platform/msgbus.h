// Message bus to the phone's other processes.
//
// Each thread is a Unix datagram socket "<root>/tmp/phonebus/<name>.sock"
// bound by the process that plays it. Posts queue a message and return at
// once; sends wait for the reply; broadcasts reach every bound thread.
#pragma once

#include <cstdint>
#include <string>

struct _MSGTHREAD_;
typedef _MSGTHREAD_* HTHREAD;

// Null when no process serves that thread name.
HTHREAD msgGetThreadByName(const char* name);

// 1 when queued, 0 on failure (null thread, peer gone, data too large).
int msgPostMsgToThread(HTHREAD thread, unsigned int id, unsigned int wparam, int lparam);
int msgPostMsgToThreadEx(HTHREAD thread, unsigned int id, unsigned int wparam, int lparam,
                         int size, const void* data);
// The peer's reply. Waits at most the send cap (30 s) and then logs and
// returns 0; a null thread gives 0.
int msgSendMsgToThread(HTHREAD thread, unsigned int id, unsigned int wparam, int lparam);
int msgSendMsgToThreadEx(HTHREAD thread, unsigned int id, unsigned int wparam, int lparam,
                         int size, const void* data);
// As above with a time-out in milliseconds: 0 when no reply comes in time.
int msgSendMsgToThreadTimeoutEx(HTHREAD thread, unsigned int id, unsigned int wparam,
                                int lparam, int size, const void* data, int timeoutMs);
// Queues to every bound thread; 1 when at least one received it.
int msgBroadpostThreadMsg(unsigned int id, unsigned int wparam, int lparam);
int msgBroadpostThreadMsgEx(unsigned int id, unsigned int wparam, int lparam, int size,
                            const void* data);

// The largest data block one message carries.
constexpr int kMsgMaxData = 1024 * 1024 + 4096;

// The serving side, used by the processes that play the phone's threads.
struct BusMessage {
    std::string thread;      // the thread name it was received on
    std::string kind;        // "post", "send" or "broadcast"
    unsigned int id = 0;
    unsigned int wparam = 0;
    int lparam = 0;
    std::string data;        // the data block, empty when none
    bool hasData = false;
    uint32_t senderPid = 0;  // with serial: identifies one broadcast
    uint32_t serial = 0;
    std::string replyAddress;  // internal: where a send's reply goes
};

class BusEndpoint {
public:
    BusEndpoint() = default;
    ~BusEndpoint();
    BusEndpoint(const BusEndpoint&) = delete;
    BusEndpoint& operator=(const BusEndpoint&) = delete;

    // Binds the thread name; false when it cannot (another live process has it).
    bool bind(const std::string& name);
    int fd() const { return fd_; }
    const std::string& name() const { return name_; }
    // Waits up to timeoutMs (-1 forever) for a message; false on time-out.
    bool receive(BusMessage& out, int timeoutMs);
    // Answers a "send"; ignored for other kinds.
    void reply(const BusMessage& message, int result);

private:
    int fd_ = -1;
    std::string name_;
    std::string path_;
    int ownerPid_ = 0;  // a forked child must not unlink its parent's socket
};
