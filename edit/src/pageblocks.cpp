// See pageblocks.h.  A block that the system cannot make resident at once
// (VirtualLock refused: the working-set quota on Windows) is used as it is.
#include "pageblocks.h"

#include <windows.h>

#include <algorithm>

namespace QEL_EDIT::detail {

namespace {

// A committed block of `bytes`, its pages made resident where the system
// lets them be locked for a moment.
void* ResidentBlock(size_t bytes) {
  void* p = VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (p && VirtualLock(p, bytes)) VirtualUnlock(p, bytes);
  return p;
}

}  // namespace

void* PageBlocks::Take(size_t bytes) {
  if (left_ == 0) {
    if (count_ == MaxBlocks) return nullptr;
    int32_t pages = std::min(lastSize_ ? lastSize_ * 2 : 1, MaxBlockPages);
    void* block = ResidentBlock(pages * bytes);
    if (!block && pages > 1) block = ResidentBlock(bytes * (pages = 1));
    if (!block) return nullptr;
    blocks_[count_++] = block;
    next_ = static_cast<char*>(block);
    left_ = lastSize_ = pages;
  }
  void* page = next_;
  next_ += bytes;
  --left_;
  return page;
}

void PageBlocks::ReleaseAll() {
  for (int32_t i = 0; i < count_; ++i) VirtualFree(blocks_[i], 0, MEM_RELEASE);
  next_ = nullptr;
  left_ = lastSize_ = count_ = 0;
}

}  // namespace QEL_EDIT::detail
