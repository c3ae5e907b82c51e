// ZRList: the in-house ordered list. A doubly linked list with a boundary
// node at each end; the boundary nodes hold a default-constructed T and are
// never visited by iteration. The list owns copies of its elements.
#pragma once

#include <cstddef>
#include <iterator>
#include <utility>

template <typename T>
class ZRList {
    struct Node {
        Node* prev = nullptr;
        Node* next = nullptr;
        T value{};
        Node() = default;
        explicit Node(const T& v) : value(v) {}
    };

public:
    template <typename NodePtr, typename Ref, typename Ptr>
    class basic_iterator {
    public:
        using iterator_category = std::bidirectional_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using reference = Ref;
        using pointer = Ptr;

        basic_iterator() = default;
        explicit basic_iterator(NodePtr node) : node_(node) {}
        template <typename N2, typename R2, typename P2>
        basic_iterator(const basic_iterator<N2, R2, P2>& other) : node_(other.node()) {}

        Ref operator*() const { return node_->value; }
        Ptr operator->() const { return &node_->value; }
        basic_iterator& operator++() { node_ = node_->next; return *this; }
        basic_iterator operator++(int) { basic_iterator old = *this; node_ = node_->next; return old; }
        basic_iterator& operator--() { node_ = node_->prev; return *this; }
        basic_iterator operator--(int) { basic_iterator old = *this; node_ = node_->prev; return old; }
        bool operator==(const basic_iterator& other) const { return node_ == other.node_; }
        bool operator!=(const basic_iterator& other) const { return node_ != other.node_; }
        NodePtr node() const { return node_; }

    private:
        NodePtr node_ = nullptr;
    };
    using iterator = basic_iterator<Node*, T&, T*>;
    using const_iterator = basic_iterator<const Node*, const T&, const T*>;

    ZRList() { first_.next = &last_; last_.prev = &first_; }
    ZRList(const ZRList& other) : ZRList() { append(other); }
    ZRList& operator=(const ZRList& other)
    {
        if (this != &other) {
            clear();
            append(other);
        }
        return *this;
    }
    ~ZRList() { clear(); }

    void push_back(const T& value) { insert(end(), value); }
    void push_front(const T& value) { insert(begin(), value); }
    // Inserts a copy before pos; returns an iterator to it.
    iterator insert(iterator pos, const T& value)
    {
        Node* at = pos.node();
        Node* node = new Node(value);
        node->prev = at->prev;
        node->next = at;
        at->prev->next = node;
        at->prev = node;
        ++count_;
        return iterator(node);
    }
    // Removes the element at pos; returns the iterator after it.
    iterator erase(iterator pos)
    {
        Node* node = pos.node();
        Node* next = node->next;
        unlink(node);
        delete node;
        --count_;
        return iterator(next);
    }
    // Moves the element at `what` in front of `pos` without copying it.
    void move_before(iterator what, iterator pos)
    {
        Node* node = what.node();
        Node* at = pos.node();
        if (node == at || node->next == at)
            return;
        unlink(node);
        node->prev = at->prev;
        node->next = at;
        at->prev->next = node;
        at->prev = node;
    }
    void clear()
    {
        Node* node = first_.next;
        while (node != &last_) {
            Node* next = node->next;
            delete node;
            node = next;
        }
        first_.next = &last_;
        last_.prev = &first_;
        count_ = 0;
    }

    int size() const { return count_; }
    int GetCount() const { return count_; }
    bool empty() const { return count_ == 0; }
    T& front() { return first_.next->value; }
    T& back() { return last_.prev->value; }
    const T& front() const { return first_.next->value; }
    const T& back() const { return last_.prev->value; }

    iterator begin() { return iterator(first_.next); }
    iterator end() { return iterator(&last_); }
    const_iterator begin() const { return const_iterator(first_.next); }
    const_iterator end() const { return const_iterator(&last_); }

private:
    void append(const ZRList& other)
    {
        for (const T& value : other)
            push_back(value);
    }
    static void unlink(Node* node)
    {
        node->prev->next = node->next;
        node->next->prev = node->prev;
    }

    Node first_;
    Node last_;
    int count_ = 0;
};
