// ZRHashMap: the in-house chained hash map. A fixed number of buckets, each
// a chain of entries; entries are allocated in blocks and never removed one
// by one, only all at once by clear().
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// h = h * 131 + byte over the text, in 32-bit unsigned arithmetic.
struct STRING_HASH {
    uint32_t operator()(const std::string& key) const
    {
        uint32_t h = 0;
        for (unsigned char byte : key)
            h = h * 131u + byte;
        return h;
    }
};

template <typename KEY, typename VALUE, typename FUN>
class ZRHashMap {
    struct Entry {
        KEY key{};
        VALUE value{};
        Entry* next = nullptr;
    };

public:
    explicit ZRHashMap(int buckets = 100, int blockSize = 10)
        : buckets_(buckets > 0 ? buckets : 1, nullptr), blockSize_(blockSize > 0 ? blockSize : 1)
    {
    }
    ~ZRHashMap() { freeBlocks(); }
    ZRHashMap(const ZRHashMap&) = delete;
    ZRHashMap& operator=(const ZRHashMap&) = delete;

    int bucketOf(const KEY& key) const
    {
        return static_cast<int>((FUN()(key) & 0x7FFFFFFFu) % buckets_.size());
    }
    // The stored value, or null when the key is absent.
    VALUE* find(const KEY& key)
    {
        for (Entry* e = buckets_[bucketOf(key)]; e; e = e->next)
            if (same(e->key, key))
                return &e->value;
        return nullptr;
    }
    // The value of the key; an absent key is created with a zero value.
    VALUE& operator[](const KEY& key)
    {
        if (VALUE* found = find(key))
            return *found;
        Entry* e = allocate();
        e->key = key;
        e->value = VALUE();
        int b = bucketOf(key);
        e->next = buckets_[b];
        buckets_[b] = e;
        ++count_;
        return e->value;
    }
    void set(const KEY& key, const VALUE& value) { (*this)[key] = value; }
    int size() const { return count_; }
    void clear()
    {
        freeBlocks();
        for (Entry*& head : buckets_)
            head = nullptr;
        count_ = 0;
    }

private:
    static bool same(const std::string& a, const std::string& b)
    {
        return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size()) == 0;
    }
    template <typename K>
    static bool same(const K& a, const K& b) { return a == b; }

    Entry* allocate()
    {
        if (blocks_.empty() || used_ == blockSize_) {
            blocks_.push_back(new Entry[blockSize_]);
            used_ = 0;
        }
        return &blocks_.back()[used_++];
    }
    void freeBlocks()
    {
        for (Entry* block : blocks_)
            delete[] block;
        blocks_.clear();
        used_ = 0;
    }

    std::vector<Entry*> buckets_;
    std::vector<Entry*> blocks_;
    int blockSize_;
    int used_ = 0;
    int count_ = 0;
};
