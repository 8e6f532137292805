// GS::Array: a growable array whose storage always comes from the host's libraries, whichever side
// of the add-on seam instantiates it, so that a block is never freed by another allocator.
#pragma once

#include <new>
#include <utility>

#include "Definitions.hpp"

namespace GS {

namespace Detail {
void* ArrayAllocate(std::size_t bytes);
void ArrayFree(void* block);
}  // namespace Detail

template <class T>
class Array {
public:
    Array() = default;
    Array(const Array&) = delete;
    Array& operator=(const Array&) = delete;
    ~Array() {
        Clear();
        Detail::ArrayFree(data_);
    }

    USize GetSize() const { return size_; }
    bool IsEmpty() const { return size_ == 0; }
    T& operator[](UIndex i) { return data_[i]; }
    const T& operator[](UIndex i) const { return data_[i]; }
    T* begin() { return data_; }
    T* end() { return data_ + size_; }
    const T* begin() const { return data_; }
    const T* end() const { return data_ + size_; }

    void Push(const T& item) { Emplace(item); }
    void Push(T&& item) { Emplace(std::move(item)); }

    void Clear() {
        for (USize i = 0; i < size_; ++i) data_[i].~T();
        size_ = 0;
    }

private:
    template <class U>
    void Emplace(U&& item) {
        if (size_ == capacity_)
            Grow();
        new (data_ + size_) T(std::forward<U>(item));
        ++size_;
    }

    void Grow() {
        const USize newCapacity = capacity_ == 0 ? 4 : capacity_ * 2;
        T* grown = static_cast<T*>(Detail::ArrayAllocate(sizeof(T) * newCapacity));
        for (USize i = 0; i < size_; ++i) {
            new (grown + i) T(std::move(data_[i]));
            data_[i].~T();
        }
        Detail::ArrayFree(data_);
        data_ = grown;
        capacity_ = newCapacity;
    }

    T* data_ = nullptr;
    USize size_ = 0;
    USize capacity_ = 0;
};

}  // namespace GS
