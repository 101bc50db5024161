// The explicit stack of the walks over nested terms: the first levels in
// place, more on the collected heap (atomic: the levels only point at terms
// their callers hold), left to the collector when a raise ends the walk.
// Growing moves the levels: hold indices, not pointers, across a Push.
#pragma once

#include "runtime.h"

namespace Qel::RunTime::detail {

template <class Level>
class LevelStack {
 public:
  bool Empty() const { return size_ == 0; }
  uint32_t Size() const { return size_; }
  Level& Top() { return at_[size_ - 1]; }
  Level& At(uint32_t i) { return at_[i]; }
  void Pop(uint32_t n = 1) { size_ -= n; }
  Level& Push() {
    uint32_t i = PushN(1);  // may move the levels: index after it
    return at_[i];
  }
  // n more levels; the index of the first.
  uint32_t PushN(uint32_t n) {
    while (capacity_ - size_ < n) Grow();
    size_ += n;
    return size_ - n;
  }

 private:
  void Grow() {
    uint32_t capacity = CheckedSize(uint64_t{capacity_} * 2 * sizeof(Level)) / sizeof(Level);
    auto* more = static_cast<Level*>(Kernel::Memory::AllocAtomicHeap(capacity * sizeof(Level)));
    memcpy(static_cast<void*>(more), at_, size_ * sizeof(Level));
    at_ = more;
    capacity_ = capacity;
  }
  Level local_[32];
  Level* at_ = local_;
  uint32_t size_ = 0, capacity_ = 32;
};

}  // namespace Qel::RunTime::detail
