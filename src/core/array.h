#pragma once
// The engine array: items, count, capacity and a growth increment. A full
// array grows by the increment; with an increment of 0 it stays full and an
// append is ignored. Items are value types; an array of Ref<T> holds counted
// references.

#include <cstdint>
#include <new>
#include <utility>

#include "core/result.h"

namespace klx {

template <class T>
class Array {
 public:
  explicit Array(int32_t capacity = 1, int32_t increment = 1)
      : capacity_(capacity > 0 ? capacity : 0), increment_(increment > 0 ? increment : 0) {
    if (capacity_ > 0) {
      items_ = new (std::nothrow) T[static_cast<std::size_t>(capacity_)];
      if (items_ == nullptr) capacity_ = 0;
    }
  }
  ~Array() { delete[] items_; }

  Array(const Array&) = delete;
  Array& operator=(const Array&) = delete;
  Array(Array&& other) noexcept { Swap(other); }
  Array& operator=(Array&& other) noexcept {
    Swap(other);
    return *this;
  }

  int32_t Count() const { return count_; }
  int32_t Capacity() const { return capacity_; }
  int32_t Increment() const { return increment_; }
  void SetIncrement(int32_t increment) { increment_ = increment > 0 ? increment : 0; }

  T& operator[](int32_t index) { return items_[index]; }
  const T& operator[](int32_t index) const { return items_[index]; }
  T* begin() { return items_; }
  T* end() { return items_ + count_; }
  const T* begin() const { return items_; }
  const T* end() const { return items_ + count_; }

  // kOk, kFailed when full with increment 0 (the item is dropped), or
  // kOutOfMemory when growing fails.
  int Append(T item) {
    if (count_ == capacity_) {
      if (increment_ == 0) return kFailed;
      const int result = Grow(capacity_ + increment_);
      if (result != kOk) return result;
    }
    items_[count_++] = std::move(item);
    return kOk;
  }

  // Inserts the item before `index` (0..Count()), shifting later items up;
  // the same growth rules as Append.
  int InsertAt(int32_t index, T item) {
    if (index < 0 || index > count_) return kInvalidArg;
    if (count_ == capacity_) {
      if (increment_ == 0) return kFailed;
      const int result = Grow(capacity_ + increment_);
      if (result != kOk) return result;
    }
    for (int32_t i = count_; i > index; --i) items_[i] = std::move(items_[i - 1]);
    items_[index] = std::move(item);
    ++count_;
    return kOk;
  }

  // Removes the item at index, shifting later items down. kInvalidArg when
  // the index is out of range.
  int RemoveAt(int32_t index) {
    if (index < 0 || index >= count_) return kInvalidArg;
    for (int32_t i = index; i + 1 < count_; ++i) items_[i] = std::move(items_[i + 1]);
    items_[--count_] = T();
    return kOk;
  }

  // Index of the first item equal to `item`, or -1.
  int32_t Find(const T& item) const {
    for (int32_t i = 0; i < count_; ++i) {
      if (items_[i] == item) return i;
    }
    return -1;
  }

  // Drops every item; the capacity stays.
  void Clear() {
    for (int32_t i = 0; i < count_; ++i) items_[i] = T();
    count_ = 0;
  }

  // Reallocates to exactly `capacity` items. With `keep` the first
  // min(count, capacity) items stay, else the count becomes 0; capacity 0
  // frees the storage.
  int Resize(int32_t capacity, bool keep) {
    if (capacity < 0) capacity = 0;
    T* items = nullptr;
    if (capacity > 0) {
      items = new (std::nothrow) T[static_cast<std::size_t>(capacity)];
      if (items == nullptr) return kOutOfMemory;
    }
    const int32_t kept = keep ? (count_ < capacity ? count_ : capacity) : 0;
    for (int32_t i = 0; i < kept; ++i) items[i] = std::move(items_[i]);
    delete[] items_;
    items_ = items;
    capacity_ = capacity;
    count_ = kept;
    return kOk;
  }

  // Makes room for at least `capacity` items without changing the count.
  int Reserve(int32_t capacity) { return capacity > capacity_ ? Grow(capacity) : kOk; }

 private:
  int Grow(int32_t capacity) {
    T* items = new (std::nothrow) T[static_cast<std::size_t>(capacity)];
    if (items == nullptr) return kOutOfMemory;
    for (int32_t i = 0; i < count_; ++i) items[i] = std::move(items_[i]);
    delete[] items_;
    items_ = items;
    capacity_ = capacity;
    return kOk;
  }

  void Swap(Array& other) noexcept {
    std::swap(items_, other.items_);
    std::swap(count_, other.count_);
    std::swap(capacity_, other.capacity_);
    std::swap(increment_, other.increment_);
  }

  T* items_ = nullptr;
  int32_t count_ = 0;
  int32_t capacity_ = 0;
  int32_t increment_ = 0;
};

}  // namespace klx
