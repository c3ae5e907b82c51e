// One test's phone: a root with the given user settings and a scripted
// "app_vpPhone" on the bus.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/msgbus.h"
#include "tests/support/buspeer.h"
#include "tests/support/testroot.h"

struct Phone {
    explicit Phone(const std::string& settings = "AURILimitIP=any\n")
    {
        root.write("/config/system/config.cfg", settings);
        root.write("/tmp/.keep", "");
        peer = std::make_unique<BusPeer>(std::vector<std::string>{"app_vpPhone"});
    }

    // Every message the phone got before a sentinel posted now (the bus
    // keeps one sender's order); the list is then cleared.
    std::vector<BusMessage> received()
    {
        constexpr unsigned int kSentinel = 0x7FFF;
        msgPostMsgToThread(msgGetThreadByName("app_vpPhone"), kSentinel, 0, 0);
        for (size_t expected = 1; expected <= 16; ++expected) {
            EXPECT_TRUE(peer->waitForCount(expected));
            std::vector<BusMessage> all = peer->messages();
            if (all.size() >= expected && all[expected - 1].id == kSentinel) {
                all.resize(expected - 1);
                peer->clear();
                return all;
            }
        }
        return peer->messages();
    }

    TestRoot root;
    std::unique_ptr<BusPeer> peer;
};
