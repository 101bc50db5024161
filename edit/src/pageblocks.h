// Memory for the text store's pages: blocks of system memory that double in
// size (1, 2, 4 ... 64 pages), each made resident as a whole when it is
// taken, and all released together.  Touching fresh memory 4 KiB at a time
// costs a fault per 4 KiB, which under Wine on the test machines took about
// 2.5 us: a million short lines (a page per 256 of them) spent most of their
// load there.
//
// All-zero is the empty state, so a block set can live in a zeroed record.
#pragma once

#include <cstddef>
#include <cstdint>

namespace QEL_EDIT::detail {

class PageBlocks {
 public:
  // `bytes` of fresh memory (a page), null when the system has none.
  void* Take(size_t bytes);
  // Every block back to the system; empty again.
  void ReleaseAll();

 private:
  static constexpr int32_t MaxBlockPages = 64;
  static constexpr int32_t MaxBlocks = 80;  // 1 + 2 + ... + 32, then 4,096 pages by 64, and spares
  char* next_;
  int32_t left_;      // pages left in the newest block
  int32_t lastSize_;  // pages in the newest block
  int32_t count_;
  void* blocks_[MaxBlocks];
};

}  // namespace QEL_EDIT::detail
