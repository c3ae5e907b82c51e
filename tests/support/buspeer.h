// A scripted peer on the message bus for unit tests of pages.
//
// It binds one or more thread names under the current phone root (create a
// TestRoot first) and serves them from a background thread of the test
// process. Every message is recorded; sends are answered from a table of
// id -> result (unknown ids are answered 0), or by a handler.
//
//   TestRoot root;
//   BusPeer phone({"app_vpPhone"});
//   ASSERT_TRUE(phone.bound());
//   phone.reply(0x30006, 2);      // sends of 0x30006 get 2
//   phone.silence(0x30007);       // sends of 0x30007 get no answer (time-out)
//   ... drive the page ...
//   ASSERT_TRUE(phone.waitForCount(1));
//   EXPECT_EQ(phone.messages()[0].id, 0x10007u);
//
// Messages keep their order per thread name, not across names. A broadcast
// reaches every bound name; the peer records it once (under the first name it
// arrived on), as a phone process serving several names would.
#pragma once

#include "platform/msgbus.h"

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

class BusPeer {
public:
    // Decides the answer to a send: a result, or nullopt for no answer.
    using Handler = std::function<std::optional<int>(const BusMessage&)>;

    explicit BusPeer(const std::vector<std::string>& threads);
    ~BusPeer();
    BusPeer(const BusPeer&) = delete;
    BusPeer& operator=(const BusPeer&) = delete;

    // True when every thread name was bound.
    bool bound() const { return bound_; }

    void reply(unsigned int id, int result);
    void silence(unsigned int id);
    // Replaces the table for every send; called on the peer's thread.
    void setHandler(Handler handler);

    // Every message received so far, in order (thread, kind, id, wparam,
    // lparam, data).
    std::vector<BusMessage> messages() const;
    size_t count() const;
    // Waits until at least `count` messages were recorded; false when they
    // did not come within timeoutMs.
    bool waitForCount(size_t count, int timeoutMs = 5000) const;
    void clear();

private:
    void serve();
    std::optional<int> answerFor(const BusMessage& message);

    std::vector<std::unique_ptr<BusEndpoint>> endpoints_;
    bool bound_ = false;
    int wake_[2] = {-1, -1};
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::map<unsigned int, std::optional<int>> table_;
    Handler handler_;
    std::vector<BusMessage> messages_;
    std::set<std::pair<uint32_t, uint32_t>> broadcastsSeen_;
    std::thread thread_;
};
