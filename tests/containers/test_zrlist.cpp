#include "containers/zrlist.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

template <typename T>
std::vector<T> forward(const ZRList<T>& list)
{
    return std::vector<T>(list.begin(), list.end());
}

template <typename T>
std::vector<T> backward(const ZRList<T>& list)
{
    std::vector<T> out;
    for (auto it = list.end(); it != list.begin();)
        out.push_back(*--it);
    return out;
}

ZRList<int> listOf(const std::vector<int>& values)
{
    ZRList<int> list;
    for (int v : values)
        list.push_back(v);
    return list;
}

ZRList<int>::iterator at(ZRList<int>& list, int index)
{
    auto it = list.begin();
    while (index-- > 0)
        ++it;
    return it;
}

// Counts live objects, so that a lost or doubly destroyed element shows.
struct Tracked {
    static int live;
    int value = 0;
    Tracked() { ++live; }
    explicit Tracked(int v) : value(v) { ++live; }
    Tracked(const Tracked& o) : value(o.value) { ++live; }
    Tracked& operator=(const Tracked&) = default;
    ~Tracked() { --live; }
};
int Tracked::live = 0;

TEST(ZRList, PushKeepsOrderBothWays)
{
    ZRList<std::string> list;
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.begin(), list.end());
    for (const char* s : {"one", "two", "three"})
        list.push_back(s);
    list.push_front("zero");
    EXPECT_EQ(forward(list), (std::vector<std::string>{"zero", "one", "two", "three"}));
    EXPECT_EQ(backward(list), (std::vector<std::string>{"three", "two", "one", "zero"}));
    EXPECT_EQ(list.GetCount(), 4);
    EXPECT_EQ(list.front(), "zero");
    EXPECT_EQ(list.back(), "three");
    // Elements are copies: changing the source afterwards does not reach them.
    std::string source = "four";
    list.push_back(source);
    source[0] = 'X';
    EXPECT_EQ(list.back(), "four");
}

TEST(ZRList, CopiesAreDeep)
{
    ZRList<int> a = listOf({1, 2, 3});
    ZRList<int> b(a);
    ZRList<int> c = listOf({9, 9, 9, 9, 9});
    c = a;
    a.front() = 100;
    a.push_back(4);
    EXPECT_EQ(forward(b), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(forward(c), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(c.size(), 3);
    EXPECT_EQ(backward(c), (std::vector<int>{3, 2, 1}));
    // Self-assignment keeps the content.
    ZRList<int>& same = c;
    c = same;
    EXPECT_EQ(forward(c), (std::vector<int>{1, 2, 3}));
    c = ZRList<int>();
    EXPECT_TRUE(c.empty());
    EXPECT_EQ(c.begin(), c.end());
}

TEST(ZRList, InsertAndErase)
{
    ZRList<int> list = listOf({1, 3});
    auto it = list.insert(at(list, 1), 2);
    EXPECT_EQ(*it, 2);
    list.insert(list.begin(), 0);
    list.insert(list.end(), 4);
    EXPECT_EQ(forward(list), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(list.size(), 5);

    it = list.erase(at(list, 2));
    EXPECT_EQ(*it, 3);
    it = list.erase(at(list, 3));
    EXPECT_EQ(it, list.end());
    it = list.erase(list.begin());
    EXPECT_EQ(*it, 1);
    EXPECT_EQ(forward(list), (std::vector<int>{1, 3}));
    EXPECT_EQ(backward(list), (std::vector<int>{3, 1}));
    EXPECT_EQ(list.size(), 2);
    list.erase(list.begin());
    list.erase(list.begin());
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(backward(list), std::vector<int>{});
}

TEST(ZRList, MoveBefore)
{
    struct Case {
        int what;
        int pos;  // 5 is end()
        std::vector<int> expected;
    };
    const Case cases[] = {
        {4, 0, {4, 0, 1, 2, 3}},  // last to the front
        {0, 5, {1, 2, 3, 4, 0}},  // first to the end
        {1, 4, {0, 2, 3, 1, 4}},
        {3, 1, {0, 3, 1, 2, 4}},
        {2, 2, {0, 1, 2, 3, 4}},  // before itself
        {2, 3, {0, 1, 2, 3, 4}},  // before its successor
        {4, 5, {0, 1, 2, 3, 4}},
    };
    for (const Case& c : cases) {
        ZRList<int> list = listOf({0, 1, 2, 3, 4});
        list.move_before(at(list, c.what), at(list, c.pos));
        EXPECT_EQ(forward(list), c.expected) << c.what << " before " << c.pos;
        std::vector<int> reversed(c.expected.rbegin(), c.expected.rend());
        EXPECT_EQ(backward(list), reversed) << c.what << " before " << c.pos;
        EXPECT_EQ(list.size(), 5);
    }
}

TEST(ZRList, ClearAndDestructionFreeEveryElement)
{
    ASSERT_EQ(Tracked::live, 0);
    {
        ZRList<Tracked> list;
        int boundaries = Tracked::live;  // the two boundary nodes
        for (int i = 0; i < 50; ++i)
            list.push_back(Tracked(i));
        EXPECT_EQ(Tracked::live, boundaries + 50);
        ZRList<Tracked> copy(list);
        copy = list;
        EXPECT_EQ(Tracked::live, 2 * boundaries + 100);
        copy.clear();
        EXPECT_EQ(Tracked::live, 2 * boundaries + 50);
        list.erase(list.begin());
        EXPECT_EQ(Tracked::live, 2 * boundaries + 49);
        int sum = 0;
        for (const Tracked& t : list)
            sum += t.value;
        EXPECT_EQ(sum, 49 * 50 / 2);
    }
    EXPECT_EQ(Tracked::live, 0);
}

}  // namespace
