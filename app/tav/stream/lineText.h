// The text of a line that a reader gathers from several blocks: a local
// array, then collected heap blocks that double.  It lives in the reader's
// frame and has no destructor (a raise may cross that frame).
#pragma once

#include <cstdint>
#include <cstring>

#include "core/core.h"
#include "memory/memory.h"
#include "string/string.h"

namespace tav {

class LineText {
 public:
  // Room for `count` more units: write them there, then count them with Added.
  wchar_t* Room(uint32_t count) {
    if (count > capacity_ - n_) Grow(uint64_t{n_} + count);
    return text_ + n_;
  }
  void Added(uint32_t count) { n_ += count; }
  void Add(const uint8_t* units, uint32_t count) {
    memcpy(Room(count), units, count * sizeof(wchar_t));
    n_ += count;
  }
  uint32_t Size() const { return n_; }
  const wchar_t* Text() const { return text_; }
  // The text as a string of its own.
  wchar_t* NewString() const {
    wchar_t* line = string::NewString(n_);
    memcpy(line, text_, n_ * sizeof(wchar_t));
    return line;
  }

 private:
  void Grow(uint64_t need) {
    uint64_t capacity = capacity_;
    while (capacity < need) capacity *= 2;
    uint32_t bytes = memory::checksize(capacity * sizeof(wchar_t));
    auto* bigger = static_cast<wchar_t*>(K::Memory::AllocAtomicHeap(bytes));
    memcpy(bigger, text_, n_ * sizeof(wchar_t));
    text_ = bigger;
    capacity_ = static_cast<uint32_t>(capacity);
  }
  wchar_t local_[128];
  wchar_t* text_ = local_;
  uint32_t capacity_ = 128;
  uint32_t n_ = 0;
};

}  // namespace tav
