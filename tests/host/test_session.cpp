#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "host/session.h"

namespace {

struct FakeClock {
    int64_t now = 1000;
    SessionStore::Clock clock()
    {
        return [this] { return now; };
    }
};

}  // namespace

TEST(SessionStore, IdsAreRandomHex)
{
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) {
        std::string id = SessionStore::newId();
        ASSERT_EQ(id.size(), 32u);
        EXPECT_EQ(id.find_first_not_of("0123456789abcdef"), std::string::npos);
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 200u);
}

TEST(SessionStore, IdleTimeout)
{
    FakeClock clock;
    SessionStore store(clock.clock(), 600);
    std::string id = store.create()->id();

    // Each use restarts the idle time.
    clock.now += 599;
    ASSERT_NE(store.find(id), nullptr);
    clock.now += 600;
    ASSERT_NE(store.find(id), nullptr);
    clock.now += 601;
    EXPECT_EQ(store.find(id), nullptr);
    EXPECT_EQ(store.size(), 0u);

    // Expired sessions are swept when a new one is made.
    for (int i = 0; i < 5; ++i)
        store.create();
    clock.now += 601;
    store.create();
    EXPECT_EQ(store.size(), 1u);
}

TEST(SessionStore, MaxInactiveInterval)
{
    const struct {
        int seconds;
        int effective;
    } cases[] = {{300, 300}, {5, 5}, {0, 600}, {-1, 600}};
    for (const auto& c : cases) {
        FakeClock clock;
        SessionStore store(clock.clock(), 600);
        HostSession* session = store.create();
        session->setMaxInactiveInterval(c.seconds);
        std::string id = session->id();
        clock.now += c.effective;
        EXPECT_NE(store.find(id), nullptr) << c.seconds;
        clock.now += c.effective + 1;
        EXPECT_EQ(store.find(id), nullptr) << c.seconds;
    }
}

TEST(SessionStore, InvalidateEndsTheSessionAtOnce)
{
    FakeClock clock;
    SessionStore store(clock.clock());
    HostSession* session = store.create();
    std::string id = session->id();
    session->setAttribute("user", strdup("admin"));
    session->invalidate();
    EXPECT_FALSE(session->valid());
    EXPECT_EQ(session->getAttribute("user"), nullptr);
    // Still an object until the request ends, but no longer found.
    EXPECT_EQ(store.find(id), nullptr);
    session->setAttribute("user", strdup("late"));  // freed, not kept
    EXPECT_EQ(session->getAttribute("user"), nullptr);
    store.endRequest();
    EXPECT_EQ(store.size(), 0u);
}

TEST(SessionStore, AttributesAreOwnedAndReplaced)
{
    FakeClock clock;
    SessionStore store(clock.clock());
    HostSession* session = store.create();
    session->setAttribute("user", strdup("user"));
    session->setAttribute("user", strdup("admin"));  // the old copy is freed
    EXPECT_STREQ(session->getAttribute("user"), "admin");
    session->setAttribute("user", nullptr);
    EXPECT_EQ(session->getAttribute("user"), nullptr);
    session->setAttribute(nullptr, strdup("x"));
    EXPECT_EQ(session->getAttribute(nullptr), nullptr);
    session->setAttribute("kept", strdup("until the store goes"));
}

TEST(SessionStore, FullStoreDropsTheLongestIdle)
{
    FakeClock clock;
    SessionStore store(clock.clock(), 600, 3);
    std::string a = store.create()->id();
    clock.now += 1;
    std::string b = store.create()->id();
    clock.now += 1;
    std::string c = store.create()->id();
    clock.now += 1;
    ASSERT_NE(store.find(a), nullptr);  // a is now the most recent
    store.create();
    EXPECT_EQ(store.size(), 3u);
    EXPECT_NE(store.find(a), nullptr);
    EXPECT_EQ(store.find(b), nullptr);
    EXPECT_NE(store.find(c), nullptr);
}

TEST(SessionStore, FullStoreKeepsLoggedInSessionsFirst)
{
    FakeClock clock;
    SessionStore store(clock.clock(), 600, 3);
    HostSession* admin = store.create();
    admin->setAttribute("user", strdup("admin"));
    std::string adminId = admin->id();
    // Many requests without a cookie, each making a session.
    for (int i = 0; i < 20; ++i) {
        clock.now += 1;
        store.create();
    }
    EXPECT_EQ(store.size(), 3u);
    EXPECT_NE(store.find(adminId), nullptr);
}
