#include "platform/msgbus.h"

#include "tests/support/forkchild.h"
#include "tests/support/testroot.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/socket.h>
#include <sys/un.h>

namespace {

const unsigned int kStop = 0xDEAD;

// Leaves a socket file behind whose process is gone, as a crash would.
void leaveStaleSocket(const TestRoot& root, const std::string& name)
{
    root.write("/tmp/phonebus/.keep", "");
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::string path = root.real("/tmp/phonebus/" + name + ".sock");
    strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(fd);
}

std::string describe(const BusMessage& m)
{
    std::ostringstream out;
    out << m.thread << " " << m.kind << " " << std::hex << m.id << std::dec << " " << m.wparam
        << " " << m.lparam << " " << m.data.size();
    return out.str();
}

}  // namespace

TEST(MsgBus, ThreadHandleOnlyForALiveProcess)
{
    TestRoot root;
    EXPECT_EQ(msgGetThreadByName("app_vpPhone"), nullptr);
    EXPECT_EQ(msgBroadpostThreadMsg(0x10007, 1, 0), 0);
    leaveStaleSocket(root, "app_vpPhone");
    EXPECT_EQ(msgGetThreadByName("app_vpPhone"), nullptr);
    EXPECT_EQ(msgBroadpostThreadMsg(0x10007, 1, 0), 0);
    for (const char* bad : {"", "../app_vpPhone", "a/b", ".hidden"})
        EXPECT_EQ(msgGetThreadByName(bad), nullptr) << bad;
    EXPECT_EQ(msgGetThreadByName(nullptr), nullptr);

    BusEndpoint endpoint;
    ASSERT_TRUE(endpoint.bind("app_vpPhone"));  // replaces the stale file
    HTHREAD thread = msgGetThreadByName("app_vpPhone");
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(msgGetThreadByName("app_vpPhone"), thread);
    {
        BusEndpoint gone;
        ASSERT_TRUE(gone.bind("smGui"));
    }
    EXPECT_FALSE(root.exists("/tmp/phonebus/smGui.sock"));  // the endpoint removes its socket
    EXPECT_EQ(msgGetThreadByName("smGui"), nullptr);
}

TEST(MsgBus, BindRefusesANameServedElsewhere)
{
    TestRoot root;
    BusEndpoint first;
    ASSERT_TRUE(first.bind("autoServer"));
    BusEndpoint second;
    EXPECT_FALSE(second.bind("autoServer"));
    EXPECT_FALSE(first.bind("smGui"));  // one name per endpoint

    SignalPipe result;
    pid_t child = forkChild([&] {
        BusEndpoint mine;
        result.send(mine.bind("autoServer") ? 'y' : 'n');
        return 0;
    });
    EXPECT_EQ(result.receive(), 'n');
    EXPECT_EQ(waitChild(child), 0);
    // The child's failed bind and exit did not take the parent's socket.
    EXPECT_TRUE(root.exists("/tmp/phonebus/autoServer.sock"));
}

TEST(MsgBus, RefusedArguments)
{
    TestRoot root;
    BusEndpoint endpoint;
    ASSERT_TRUE(endpoint.bind("app_vpPhone"));
    HTHREAD thread = msgGetThreadByName("app_vpPhone");
    ASSERT_NE(thread, nullptr);
    char byte = 0;
    EXPECT_EQ(msgPostMsgToThread(nullptr, 1, 0, 0), 0);
    EXPECT_EQ(msgSendMsgToThread(nullptr, 1, 0, 0), 0);
    EXPECT_EQ(msgSendMsgToThreadTimeoutEx(nullptr, 1, 0, 0, 0, nullptr, 100), 0);
    EXPECT_EQ(msgPostMsgToThreadEx(thread, 1, 0, 0, -1, &byte), 0);
    EXPECT_EQ(msgPostMsgToThreadEx(thread, 1, 0, 0, 4, nullptr), 0);
    EXPECT_EQ(msgPostMsgToThreadEx(thread, 1, 0, 0, kMsgMaxData + 1, &byte), 0);
    EXPECT_EQ(msgBroadpostThreadMsgEx(1, 0, 0, kMsgMaxData + 1, &byte), 0);
    BusMessage message;
    EXPECT_FALSE(endpoint.receive(message, 0));  // none of them went out
}

TEST(MsgBus, PostToAThreadThatWentAway)
{
    TestRoot root;
    HTHREAD thread = nullptr;
    {
        BusEndpoint endpoint;
        ASSERT_TRUE(endpoint.bind("app_vpScreen"));
        thread = msgGetThreadByName("app_vpScreen");
        ASSERT_NE(thread, nullptr);
    }
    EXPECT_EQ(msgPostMsgToThread(thread, 0x90004, 1, 0), 0);
    EXPECT_EQ(msgSendMsgToThreadTimeoutEx(thread, 0x90004, 1, 0, 0, nullptr, 100), 0);
    // The handle stays valid and works again once the thread is back.
    BusEndpoint again;
    ASSERT_TRUE(again.bind("app_vpScreen"));
    EXPECT_EQ(msgPostMsgToThread(thread, 0x90004, 1, 0), 1);
}

TEST(MsgBus, ForeignDatagramsAreIgnored)
{
    TestRoot root;
    BusEndpoint endpoint;
    ASSERT_TRUE(endpoint.bind("app_vpPhone"));
    int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::string path = root.real("/tmp/phonebus/app_vpPhone.sock");
    strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const char junk[64] = "not a bus message, but long enough to hold a header";
    for (size_t size : {size_t{0}, size_t{5}, sizeof junk})
        sendto(fd, junk, size, 0, reinterpret_cast<sockaddr*>(&address), sizeof address);
    close(fd);
    ASSERT_EQ(msgPostMsgToThread(msgGetThreadByName("app_vpPhone"), 0x1000B, 7, -8), 1);
    BusMessage message;
    ASSERT_TRUE(endpoint.receive(message, 5000));
    EXPECT_EQ(describe(message), "app_vpPhone post 1000b 7 -8 0");
    EXPECT_FALSE(endpoint.receive(message, 0));
}

// A phone process in a child: serves two threads, answers sends with
// wparam + lparam + data size, and logs every message (a broadcast once per
// sender and serial) until it gets kStop.
TEST(MsgBus, PostSendAndBroadcastBetweenProcesses)
{
    TestRoot root;
    std::string logPath = root.real("/peer.log");
    SignalPipe ready;
    pid_t child = forkChild([&] {
        BusEndpoint phone, screen;
        if (!phone.bind("app_vpPhone") || !screen.bind("app_vpScreen"))
            return 1;
        ready.send('r');
        std::ofstream log(logPath);
        std::set<std::pair<uint32_t, uint32_t>> broadcasts;
        int broadcastCopies = 0;
        bool stopping = false;
        for (;;) {
            BusMessage m;
            BusEndpoint* from = nullptr;
            // After the stop, whatever is still queued is read without waiting.
            for (BusEndpoint* e : {&phone, &screen}) {
                if (!from && e->receive(m, stopping ? 0 : 20))
                    from = e;
            }
            if (!from && stopping)
                break;
            if (!from)
                continue;
            if (m.id == kStop) {
                stopping = true;
                continue;
            }
            if (m.kind == "broadcast") {
                ++broadcastCopies;
                if (!broadcasts.insert({m.senderPid, m.serial}).second)
                    continue;
            }
            log << describe(m) << (m.data.size() < 64 ? " " + m.data : std::string()) << "\n";
            from->reply(m, static_cast<int>(m.wparam) + m.lparam + static_cast<int>(m.data.size()));
        }
        log << "copies " << broadcastCopies << "\n";
        return 0;
    });
    ASSERT_EQ(ready.receive(), 'r');
    HTHREAD phone = msgGetThreadByName("app_vpPhone");
    HTHREAD screen = msgGetThreadByName("app_vpScreen");
    ASSERT_NE(phone, nullptr);
    ASSERT_NE(screen, nullptr);

    EXPECT_EQ(msgPostMsgToThread(phone, 0x10007, 4, 0), 1);
    EXPECT_EQ(msgPostMsgToThreadEx(screen, 0x90004, 1, 2, 5, "hello"), 1);
    EXPECT_EQ(msgSendMsgToThread(phone, 0x30006, 1, 0), 1);
    EXPECT_EQ(msgSendMsgToThreadTimeoutEx(phone, 0x30006, 2, 10, 0, nullptr, 3000), 12);
    std::string block(1024 * 1024, 'x');
    EXPECT_EQ(msgSendMsgToThreadEx(phone, 0x10014, 0, 0, static_cast<int>(block.size()), block.data()),
              1024 * 1024);
    std::string largest(kMsgMaxData, 'y');
    EXPECT_EQ(msgPostMsgToThreadEx(phone, 0x30017, 0, 0, kMsgMaxData, largest.data()), 1);
    EXPECT_EQ(msgBroadpostThreadMsgEx(0x10007, 25, 0, 3, "key"), 1);
    EXPECT_EQ(msgPostMsgToThread(phone, kStop, 0, 0), 1);
    ASSERT_EQ(waitChild(child), 0);

    // Order holds per thread; the two threads' queues are read in turn.
    std::ifstream in(logPath);
    std::vector<std::string> phoneLines, screenLines, otherLines;
    for (std::string line; std::getline(in, line);) {
        if (line.find(" broadcast ") != std::string::npos || line.rfind("copies", 0) == 0)
            otherLines.push_back(line);
        else
            (line.rfind("app_vpPhone ", 0) == 0 ? phoneLines : screenLines).push_back(line);
    }
    const std::vector<std::string> expectedPhone = {
        "app_vpPhone post 10007 4 0 0 ",
        "app_vpPhone send 30006 1 0 0 ",
        "app_vpPhone send 30006 2 10 0 ",
        "app_vpPhone send 10014 0 0 1048576",
        "app_vpPhone post 30017 0 0 " + std::to_string(kMsgMaxData),
    };
    EXPECT_EQ(phoneLines, expectedPhone);
    EXPECT_EQ(screenLines, std::vector<std::string>{"app_vpScreen post 90004 1 2 5 hello"});
    // One broadcast, logged once, delivered to both names.
    ASSERT_EQ(otherLines.size(), 2u);
    EXPECT_NE(otherLines[0].find(" broadcast 10007 25 0 3 key"), std::string::npos) << otherLines[0];
    EXPECT_EQ(otherLines[1], "copies 2");
}

// The peer holds back the answer to the first send until after the caller
// gave up on it; the late answer must not be taken for the second one's.
TEST(MsgBus, SendTimeOutAndStaleReply)
{
    TestRoot root;
    SignalPipe ready;
    pid_t child = forkChild([&] {
        BusEndpoint phone;
        if (!phone.bind("app_vpPhone"))
            return 1;
        ready.send('r');
        BusMessage first, second;
        if (!phone.receive(first, 10000) || !phone.receive(second, 10000))
            return 2;
        phone.reply(first, 99);
        phone.reply(second, 7);
        return 0;
    });
    ASSERT_EQ(ready.receive(), 'r');
    HTHREAD phone = msgGetThreadByName("app_vpPhone");
    EXPECT_EQ(msgSendMsgToThreadTimeoutEx(phone, 0x30007, 0, 1, 0, nullptr, 200), 0);
    EXPECT_EQ(msgSendMsgToThreadTimeoutEx(phone, 0x30007, 0, 1, 0, nullptr, 10000), 7);
    EXPECT_EQ(waitChild(child), 0);
}
