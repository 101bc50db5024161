// HeapArray: a growable array of plain values on the collected heap, for
// object state that must stay reachable by the collector.
//
// Invariants:
//  - The block is allocated with AllocHeap, so pointers held in elements are
//    seen by the collector; elements are trivially copyable.
//  - Indexes are 0-based; callers check them (no bounds checks here).
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "qel6kernel.h"
#include "unit.h"

namespace rizediveva6 {

template <class T>
class HeapArray {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  uint32_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T& operator[](uint32_t i) { return data_[i]; }
  const T& operator[](uint32_t i) const { return data_[i]; }
  T& back() { return data_[size_ - 1]; }
  void clear() { size_ = 0; }
  void push_back(const T& v) { insert(size_, v); }
  void insert(uint32_t at, const T& v) {
    reserve(size_ + 1);
    std::memmove(data_ + at + 1, data_ + at, sizeof(T) * (size_ - at));
    data_[at] = v;
    ++size_;
  }
  void erase(uint32_t at) {
    std::memmove(data_ + at, data_ + at + 1, sizeof(T) * (size_ - at - 1));
    --size_;
  }
  void reserve(uint32_t n) {
    if (n <= capacity_) return;
    uint64_t grown = capacity_ ? uint64_t(capacity_) * 2 : 8;
    if (grown < n) grown = n;
    const uint64_t bytes = grown * sizeof(T);
    if (bytes > UINT32_MAX) RaiseRangeError();
    auto* block = static_cast<T*>(Qel::RunTime::Kernel::Memory::AllocHeap(static_cast<uint32_t>(bytes)));
    if (size_) std::memcpy(block, data_, sizeof(T) * size_);
    data_ = block;
    capacity_ = static_cast<uint32_t>(grown);
  }
  const T* begin() const { return data_; }
  const T* end() const { return data_ + size_; }

 private:
  T* data_ = nullptr;
  uint32_t size_ = 0;
  uint32_t capacity_ = 0;
};

}  // namespace rizediveva6
