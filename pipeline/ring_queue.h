// A first-in first-out queue in one circular buffer. Once it has room for n items, pushing
// and popping with at most n held never touches the heap; a std::deque takes and frees a
// block every few dozen items, which the streaming thread must not do per frame.
#pragma once
#include <algorithm>
#include <cstddef>
#include <vector>

template <typename T>
class RingQueue {
public:
    bool empty() const { return count_ == 0; }
    size_t size() const { return count_; }
    size_t capacity() const { return items_.size(); }
    // The i-th item from the front.
    T& operator[](size_t i) { return items_[(head_ + i) % items_.size()]; }
    const T& operator[](size_t i) const { return items_[(head_ + i) % items_.size()]; }
    T& front() { return (*this)[0]; }
    const T& front() const { return (*this)[0]; }

    // Makes room for `n` items (may throw std::bad_alloc, as growing by a push may).
    void reserve(size_t n) {
        if (n > items_.size()) Regrow(n);
    }
    void push_back(const T& item) {
        if (count_ == items_.size()) Regrow(std::max<size_t>(8, items_.size() * 2));
        items_[(head_ + count_) % items_.size()] = item;
        ++count_;
    }
    void pop_front() {
        head_ = (head_ + 1) % items_.size();
        --count_;
    }
    void clear() { head_ = count_ = 0; }

private:
    void Regrow(size_t n) {
        std::vector<T> grown(n);
        for (size_t i = 0; i < count_; ++i) grown[i] = (*this)[i];
        items_.swap(grown);
        head_ = 0;
    }

    std::vector<T> items_;
    size_t head_ = 0;
    size_t count_ = 0;
};
