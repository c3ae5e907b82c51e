#include "tools/phonesim/simcore.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <thread>

#include "platform/msgbus.h"
#include "tests/support/testroot.h"

namespace {

using phonesim::BusLogLine;
using phonesim::JsonEscape;
using phonesim::Reply;
using phonesim::SimState;

BusMessage Message(const char* kind, unsigned int id, unsigned int wparam = 0, int lparam = 0)
{
    BusMessage message;
    message.thread = "app_vpPhone";
    message.kind = kind;
    message.id = id;
    message.wparam = wparam;
    message.lparam = lparam;
    return message;
}

TEST(PhonesimJson, EscapesWhatWouldBreakALine)
{
    struct Case {
        std::string in;
        std::string out;
    } cases[] = {
        {"plain text", "plain text"},
        {"say \"hi\"", "say \\\"hi\\\""},
        {"C:\\dir", "C:\\\\dir"},
        {"a\nb\tc\r", "a\\nb\\tc\\r"},
        {std::string("\x01\x1f\x7f", 3), "\\u0001\\u001f\\u007f"},
        {"gr\xc3\xbc\xc3\x9f", "gr\xc3\xbc\xc3\x9f"},           // valid UTF-8 kept
        {"\xe2\x82\xac", "\xe2\x82\xac"},                       // three-byte sequence
        {"\xff", "\\u00ff"},                                    // never valid in UTF-8
        {"\xc0\xaf", "\\u00c0\\u00af"},                         // overlong form of '/'
        {"\xe2\x82", "\\u00e2\\u0082"},                         // cut sequence
        {"\xed\xa0\x80", "\\u00ed\\u00a0\\u0080"},              // surrogate
        {"\xc3", "\\u00c3"},                                    // lead byte at the end
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.out, JsonEscape(c.in)) << c.in;
}

TEST(PhonesimJson, LogLineShapes)
{
    BusMessage post = Message("post", 0x10007, 4, -1);
    EXPECT_EQ("{\"to\":\"app_vpPhone\",\"id\":65543,\"wparam\":4,\"lparam\":-1,\"kind\":\"post\"}",
              BusLogLine(post));

    BusMessage broadcast = Message("broadcast", 0x10007, 4294967295u, 2);
    broadcast.thread = "smGui";
    EXPECT_EQ("{\"to\":\"*\",\"id\":65543,\"wparam\":4294967295,\"lparam\":2,\"kind\":\"broadcast\"}",
              BusLogLine(broadcast));

    // The data block is text up to its first zero byte.
    BusMessage send = Message("send", 0x10014);
    send.hasData = true;
    send.data = std::string("<req a=\"1\">\0tail", 16);
    EXPECT_EQ("{\"to\":\"app_vpPhone\",\"id\":65556,\"wparam\":0,\"lparam\":0,\"kind\":\"send\","
              "\"data\":\"<req a=\\\"1\\\">\"}",
              BusLogLine(send));

    // An empty data block is still a data block.
    BusMessage empty = Message("post", 1);
    empty.hasData = true;
    EXPECT_NE(std::string::npos, BusLogLine(empty).find("\"data\":\"\""));
}

TEST(PhonesimBroadcast, LoggedOncePerSenderAndSerial)
{
    phonesim::BroadcastFilter filter;
    EXPECT_TRUE(filter.firstSight(100, 1));
    EXPECT_FALSE(filter.firstSight(100, 1));
    EXPECT_TRUE(filter.firstSight(100, 2));
    EXPECT_TRUE(filter.firstSight(101, 1));
    // Old entries are forgotten, so memory stays bounded.
    for (uint32_t serial = 10; serial < 1000; ++serial)
        filter.firstSight(100, serial);
    EXPECT_TRUE(filter.firstSight(100, 1));
}

struct StateCase {
    const char* name;
    const char* state;
    BusMessage message;
    bool answer;
    int value;
};

class PhonesimState : public ::testing::Test {
protected:
    Reply answer(const std::string& stateText, const BusMessage& message)
    {
        root.write("/tmp/phonesim/state.ini", stateText);
        SimState state;
        EXPECT_TRUE(state.load(root.real("/tmp/phonesim/state.ini")));
        return state.answer(message);
    }
    TestRoot root;
};

TEST_F(PhonesimState, AnswersFromTheStateFile)
{
    root.write("/phone/factory/config.cfg", "AccountEnable.*=0\nAccountEnable.0=1\n");
    root.write("/config/system/config.cfg", "AccountEnable.2=1\n");
    const StateCase cases[] = {
        {"idle phone", "[phone]\ntalking=0\n", Message("send", 0x30007, 0, 1), true, 1},
        {"in a call", "[phone]\ntalking=1\n", Message("send", 0x30007, 0, 1), true, 0},
        {"empty state", "", Message("send", 0x30007, 0, 1), true, 1},
        {"enabled by factory", "", Message("send", 0x30006, 0), true, 2},
        {"disabled by factory", "", Message("send", 0x30006, 1), true, 0},
        {"enabled by user", "", Message("send", 0x30006, 2), true, 2},
        {"status override", "[account]\nstatus.1=5\n", Message("send", 0x30006, 1), true, 5},
        {"override of another account", "[account]\nstatus.1=5\n", Message("send", 0x30006, 0), true, 2},
        {"silent account", "[account]\nstatus.0=none\n", Message("send", 0x30006, 0), false, 0},
        {"bad override ignored", "[account]\nstatus.0=abc\n", Message("send", 0x30006, 0), true, 2},
        {"layout override", "[exp]\ncount=2\nkind=2\n", Message("send", 0x3000E), true, 0x22},
        {"no modules", "", Message("send", 0x3000E), true, 0x10},
        {"generic hex reply", "[reply]\n0x10014=7\n", Message("send", 0x10014), true, 7},
        {"generic decimal reply", "[reply]\n65556=3\n", Message("send", 0x10014), true, 3},
        {"reply wins over built-in", "[phone]\ntalking=1\n[reply]\n0x30007=1\n",
         Message("send", 0x30007), true, 1},
        {"reply none", "[reply]\n0x1000F=none\n", Message("send", 0x1000F), false, 0},
        {"default reply", "[reply]\ndefault=9\n", Message("send", 0x50004), true, 9},
        {"unknown send", "", Message("send", 0x50004), true, 1},
    };
    for (const StateCase& c : cases) {
        Reply reply = answer(c.state, c.message);
        EXPECT_EQ(c.answer, reply.answer) << c.name;
        if (c.answer) {
            EXPECT_EQ(c.value, reply.value) << c.name;
        }
    }
}

// The layout counts the module stand-in; a missing state file means defaults.
TEST_F(PhonesimState, ModuleStandInAndMissingFile)
{
    root.write("/dev/exp0", "# kind hardware firmware\n0 1.0 2.0\n0 1.0 2.0\n0 1.1 2.1\n");
    EXPECT_EQ(0x13, answer("", Message("send", 0x3000E)).value);
    SimState state;
    EXPECT_FALSE(state.load(root.real("/tmp/phonesim/none.ini")));
    EXPECT_EQ(1, state.answer(Message("send", 0x30007)).value);
}

TEST(PhonesimDaemon, LogsEveryMessageAndEachBroadcastOnce)
{
    TestRoot root;
    phonesim::PhoneSim sim;
    std::string error;
    ASSERT_TRUE(sim.start(error)) << error;
    EXPECT_FALSE(root.read("/tmp/phonesim/state.ini").empty());

    BusMessage broadcast = Message("broadcast", 0x10103);
    broadcast.senderPid = 42;
    broadcast.serial = 7;
    sim.handle(broadcast);
    broadcast.thread = "smGui";
    EXPECT_FALSE(sim.handle(broadcast).answer);
    EXPECT_FALSE(sim.handle(Message("post", 0x30011)).answer);
    Reply reply = sim.handle(Message("send", 0x30007, 0, 1));
    EXPECT_TRUE(reply.answer);
    EXPECT_EQ(1, reply.value);

    EXPECT_EQ("{\"to\":\"*\",\"id\":65795,\"wparam\":0,\"lparam\":0,\"kind\":\"broadcast\"}\n"
              "{\"to\":\"app_vpPhone\",\"id\":196625,\"wparam\":0,\"lparam\":0,\"kind\":\"post\"}\n"
              "{\"to\":\"app_vpPhone\",\"id\":196615,\"wparam\":0,\"lparam\":1,\"kind\":\"send\"}\n",
              root.read("/tmp/phonesim/bus.log"));
}

TEST(PhonesimDaemon, SecondInstanceIsRefused)
{
    TestRoot root;
    phonesim::PhoneSim first;
    phonesim::PhoneSim second;
    std::string error;
    ASSERT_TRUE(first.start(error)) << error;
    EXPECT_FALSE(second.start(error));
    EXPECT_NE(std::string::npos, error.find("app_vpPhone"));
}

// The real bus, end to end: sends are answered from state.ini as it is at
// the moment of the request.
TEST(PhonesimDaemon, ServesTheBus)
{
    TestRoot root;
    phonesim::PhoneSim sim;
    std::string error;
    ASSERT_TRUE(sim.start(error)) << error;
    int wake[2];
    ASSERT_EQ(0, pipe(wake));
    volatile sig_atomic_t stop = 0;
    std::thread server([&] { sim.run(&stop, wake[0]); });

    HTHREAD phone = msgGetThreadByName("app_vpPhone");
    ASSERT_NE(nullptr, phone);
    EXPECT_NE(nullptr, msgGetThreadByName("app_sipClient15"));
    EXPECT_EQ(1, msgSendMsgToThread(phone, 0x30007, 0, 1));
    root.write("/tmp/phonesim/state.ini", "[phone]\ntalking=1\n[account]\nstatus.3=none\n");
    EXPECT_EQ(0, msgSendMsgToThread(phone, 0x30007, 0, 1));
    EXPECT_EQ(0, msgSendMsgToThreadTimeoutEx(phone, 0x30006, 3, 0, 0, nullptr, 200));
    EXPECT_EQ(1, msgPostMsgToThreadEx(phone, 0x30017, 0, 0, 6, "hello"));
    EXPECT_EQ(1, msgBroadpostThreadMsg(0x10007, 9, 0));
    EXPECT_EQ(1, msgSendMsgToThread(phone, 0x50004, 0, 0));  // after the post: it is logged

    stop = 1;
    ASSERT_EQ(1, write(wake[1], "x", 1));
    server.join();
    close(wake[0]);
    close(wake[1]);

    std::string log = root.read("/tmp/phonesim/bus.log");
    EXPECT_NE(std::string::npos, log.find("\"id\":196631,\"wparam\":0,\"lparam\":0,\"kind\":\"post\",\"data\":\"hello\"}\n"));
    size_t first = log.find("\"to\":\"*\"");
    ASSERT_NE(std::string::npos, first);
    EXPECT_EQ(std::string::npos, log.find("\"to\":\"*\"", first + 1));
    EXPECT_NE(std::string::npos, log.find("\"id\":196614,\"wparam\":3"));
}

}  // namespace
