#include "containers/zrhashmap.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Counters = ZRHashMap<std::string, int, STRING_HASH>;

TEST(ZRHashMap, StringHashByHand)
{
    struct Case {
        std::string text;
        uint32_t hash;
        int bucket;  // of 100
    };
    const Case cases[] = {
        {"", 0u, 0},
        {"a", 97u, 97},
        {"ab", 97u * 131u + 98u, 5},                    // 12805
        {"abc", (97u * 131u + 98u) * 131u + 99u, 54},   // 1677554
        {"\xff", 255u, 55},                             // bytes count unsigned
        {"192.168.1.100", 4147044201u, 53},             // wraps; top bit set and masked off
        {"zzzzzzzz", 1319751456u, 56},
    };
    Counters map(100, 10);
    for (const Case& c : cases) {
        EXPECT_EQ(STRING_HASH()(c.text), c.hash) << c.text;
        EXPECT_EQ(map.bucketOf(c.text), c.bucket) << c.text;
    }
}

TEST(ZRHashMap, AbsentKeyStartsAtZero)
{
    Counters map;
    EXPECT_EQ(map.find("10.0.0.1"), nullptr);
    EXPECT_EQ(map["10.0.0.1"], 0);
    ASSERT_NE(map.find("10.0.0.1"), nullptr);
    map["10.0.0.1"] += 1;
    map["10.0.0.1"] += 1;
    map.set("10.0.0.2", 7);
    EXPECT_EQ(*map.find("10.0.0.1"), 2);
    EXPECT_EQ(map["10.0.0.2"], 7);
    EXPECT_EQ(map.size(), 2);
}

TEST(ZRHashMap, ClearEmpties)
{
    Counters map(7, 3);
    for (int i = 0; i < 20; ++i)
        map.set("k" + std::to_string(i), i + 1);
    map.clear();
    EXPECT_EQ(map.size(), 0);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(map.find("k" + std::to_string(i)), nullptr);
    // Still usable after clearing.
    map["again"] = 5;
    EXPECT_EQ(*map.find("again"), 5);
    EXPECT_EQ(map.size(), 1);
}

TEST(ZRHashMap, ManyKeysAcrossBlocks)
{
    Counters map(100, 10);
    const int count = 257;  // many blocks of 10, the last one partly used
    for (int i = 0; i < count; ++i)
        map.set("192.168.0." + std::to_string(i), i * 3);
    EXPECT_EQ(map.size(), count);
    for (int i = 0; i < count; ++i) {
        int* value = map.find("192.168.0." + std::to_string(i));
        ASSERT_NE(value, nullptr) << i;
        EXPECT_EQ(*value, i * 3) << i;
    }
    // Updating an existing key adds no entry.
    map.set("192.168.0.5", -1);
    EXPECT_EQ(map.size(), count);
    EXPECT_EQ(map["192.168.0.5"], -1);
}

TEST(ZRHashMap, CollidingKeysKeptApart)
{
    // Same hash: equal weighted sums, and a leading zero byte adds nothing.
    const std::string sameHash[][2] = {
        {"B\x01", "A\x84"},
        {std::string("\0a", 2), "a"},
    };
    for (const auto& pair : sameHash) {
        ASSERT_EQ(STRING_HASH()(pair[0]), STRING_HASH()(pair[1]));
        Counters map;
        map.set(pair[0], 1);
        EXPECT_EQ(map.find(pair[1]), nullptr);
        map.set(pair[1], 2);
        EXPECT_EQ(map[pair[0]], 1);
        EXPECT_EQ(map[pair[1]], 2);
        EXPECT_EQ(map.size(), 2);
    }
    // One bucket: every key shares one chain.
    Counters chain(1, 4);
    for (int i = 0; i < 30; ++i)
        chain.set(std::to_string(i), i);
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(chain[std::to_string(i)], i);
    EXPECT_EQ(chain.size(), 30);
}

struct IntHash {
    uint32_t operator()(int key) const { return static_cast<uint32_t>(key); }
};

TEST(ZRHashMap, OtherKeyTypes)
{
    ZRHashMap<int, std::string, IntHash> map(10, 2);
    map.set(3, "three");
    map.set(13, "thirteen");  // same bucket as 3
    map.set(-1, "minus");     // negative keys still land in a bucket
    EXPECT_EQ(map.bucketOf(3), map.bucketOf(13));
    EXPECT_GE(map.bucketOf(-1), 0);
    EXPECT_EQ(map[3], "three");
    EXPECT_EQ(map[13], "thirteen");
    EXPECT_EQ(map[-1], "minus");
    EXPECT_EQ(map[4], "");
}

TEST(ZRHashMap, DegenerateSizesAreRaised)
{
    Counters map(0, 0);
    map.set("a", 1);
    map.set("b", 2);
    EXPECT_EQ(map.bucketOf("a"), 0);
    EXPECT_EQ(map["a"] + map["b"], 3);
}

}  // namespace
