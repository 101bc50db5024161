// The string sink of the write-to-string operations, shared by the core and
// the format writers.  Internal: not exported from the DLL.
#pragma once

#include "runtime.h"
#include "streams.h"

namespace Qel::RunTime::detail {

// Collects written text in 8,192-byte chunks on the global stack and joins
// them into one heap string.
class StringSink final : public Terms::RBufferSource {
 public:
  static constexpr uint32_t kChunk = 8192;
  struct Chunk {
    Chunk* older;
    uint32_t used;
    uint8_t data[kChunk];
  };
  void NextBlock(uint8_t** base, uint32_t* length) override;
  uint32_t* PositionCell() override { return &used_; }
  // The bytes written so far, in a new heap string ending in a zero unit.
  wchar_t* Take();

 private:
  Chunk* newest_ = nullptr;
  uint32_t used_ = 0;
};

// The text `write` gives a cursor over a new string sink, in a new heap
// string; the sink's chunks leave the global stack again.
template <class Write>
wchar_t* WriteToString(Write write) {
  uint8_t* mark = Memory::MarkGStack();
  StringSink sink;
  Terms::RStreamCursor out(&sink);
  write(out);
  wchar_t* s = sink.Take();
  Memory::ReleaseGStack(mark);
  return s;
}

}  // namespace Qel::RunTime::detail
