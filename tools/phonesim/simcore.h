// phonesim: plays the phone's other processes on the message bus.
//
// Every message received is appended to "/tmp/phonesim/bus.log" as one JSON
// object a line, and every "send" is answered from "/tmp/phonesim/state.ini",
// which is read again for each request so that a test or a person changes
// the phone's state by editing the file.
#pragma once

#include <csignal>
#include <cstdint>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/msgbus.h"
#include "tools/phonesim/simreboot.h"

namespace phonesim {

// The thread names phonesim serves, in binding order.
std::vector<std::string> ServedThreads();

// The bus log line for one message, without the line feed. Broadcasts are
// logged with "to" = "*".
std::string BusLogLine(const BusMessage& message);

// JSON string body (without the quotes) of a byte text. Valid UTF-8 passes
// unchanged; control characters and bytes that are not UTF-8 are escaped,
// so every line stays well-formed JSON whatever a sender put in its data.
std::string JsonEscape(const std::string& text);

// Remembers the broadcasts already logged: one broadcast arrives once on
// every served thread, and is logged once.
class BroadcastFilter {
public:
    // True the first time (sender pid, serial) is seen.
    bool firstSight(uint32_t senderPid, uint32_t serial);

private:
    static constexpr size_t kRemembered = 256;
    std::deque<std::pair<uint32_t, uint32_t>> order_;
    std::set<std::pair<uint32_t, uint32_t>> seen_;
};

// The answer to a "send": either a number or no answer at all (the sender
// then runs into its time-out).
struct Reply {
    bool answer = true;
    int value = 0;
};

// The phone's state as "state.ini" describes it. Sections and keys:
//   [phone]   talking = 0|1
//   [account] status.<n> = <status>        (n counts from 0)
//   [exp]     count = <modules>, kind = <key layout kind>
//   [blflist] <set>.<key> = value|label|extension (simdsskey.h)
//   [reply]   <id> = <value> | none        (id in hex "0x..." or decimal;
//             "default" answers every other send)
// A missing or unreadable file means the defaults.
class SimState {
public:
    // Reads the file (a real path); returns false when it was missing or
    // unreadable, leaving the defaults.
    bool load(const std::string& realPath);
    Reply answer(const BusMessage& message) const;
    // Whether "[reply]" names an answer for this id (it wins over any play).
    bool overrides(unsigned int id) const;
    // A value of the file, "" when absent.
    std::string value(const char* section, const std::string& key) const;
    // The keys and values of one section, in file order.
    std::vector<std::pair<std::string, std::string>> section(const char* name) const;

private:
    Reply accountStatus(int account) const;
    int expansionLayout() const;

    std::vector<std::pair<std::string, std::string>> entries_;  // "section/key" -> value
};

// A commented state file with the defaults, written when none exists.
std::string DefaultStateText();

// The daemon: binds every served thread and answers until stop is requested.
class PhoneSim {
public:
    // Creates "/tmp/phonesim" and binds the threads; false (with a message
    // in error) when a thread name is already served by a live process.
    bool start(std::string& error);
    // Waits for messages until *stop becomes non-zero or wakeFd is readable
    // (wakeFd may be -1).
    void run(volatile sig_atomic_t* stop, int wakeFd);
    // Logs one received message and works out its answer (only a "send"
    // is answered).
    Reply handle(const BusMessage& message);
    const std::string& logPath() const { return logPath_; }
    const std::string& statePath() const { return statePath_; }
    // Whether a restart was asked for (run returns once it is due).
    const RebootPlay& reboot() const { return reboot_; }

private:
    void appendLog(const std::string& line);

    std::vector<std::unique_ptr<BusEndpoint>> endpoints_;
    BroadcastFilter broadcasts_;
    RebootPlay reboot_;
    std::string logPath_;
    std::string statePath_;
};

}  // namespace phonesim
