// The string sink and the exports that write or format into a new string.
#include "fmtinternal.h"

namespace Qel::RunTime::Terms::Format {

using namespace detail;

void StringSink::NextBlock(uint8_t** base, uint32_t* length) {
  if (!newest_ || used_ >= kChunk) {
    auto* c = reinterpret_cast<Chunk*>(Memory::AllocGStack(sizeof(Chunk)));
    if (newest_) newest_->used = used_;
    c->older = newest_;
    c->used = 0;
    newest_ = c;
    used_ = 0;
  }
  *base = newest_->data;
  *length = kChunk;
}

wchar_t* StringSink::Take() {
  if (!newest_) return Memory::AllocHeapString(0);
  newest_->used = used_;
  uint64_t total = 0;
  for (Chunk* c = newest_; c; c = c->older) total += c->used;
  // An odd byte count (binary images) still ends in a whole zero unit.
  uint64_t even = (total + 1) & ~uint64_t{1};
  if (even > 0x7FFFFFF0) Errors::RunTimeError(206, 0xFFFFFFFFu, 0xFFFFFFFFu);
  auto* s = static_cast<uint8_t*>(Memory::AllocAtomicHeap(static_cast<uint32_t>(even + 2)));
  uint64_t at = total;
  for (Chunk* c = newest_; c; c = c->older) {
    at -= c->used;
    memcpy(s + at, c->data, c->used);
  }
  memset(s + total, 0, static_cast<size_t>(even + 2 - total));
  return reinterpret_cast<wchar_t*>(s);
}

}  // namespace Qel::RunTime::Terms::Format

namespace CorvaneString {

using namespace Qel::RunTime::Kernel;
using Qel::RunTime::Terms::RStreamCursor;
using Qel::RunTime::Terms::Format::StringSink;

wchar_t* Write2StringProlog(uint32_t quoted, uint32_t text, const REllipsisArg* args) {
  uint8_t* mark = Memory::MarkGStack();
  StringSink sink;
  RStreamCursor out(&sink);
  Qel::RunTime::Terms::Format::WriteArguments(out, args, text != 0, quoted != 0);
  wchar_t* s = sink.Take();
  Memory::ReleaseGStack(mark);
  return s;
}

wchar_t* Format2StringProlog(const wchar_t* format, const REllipsisArg* args) {
  uint8_t* mark = Memory::MarkGStack();
  StringSink sink;
  RStreamCursor out(&sink);
  Qel::RunTime::Terms::Format::Interpret(out, format, args);
  wchar_t* s = sink.Take();
  Memory::ReleaseGStack(mark);
  return s;
}

wchar_t* Format2StringProlog5x(const wchar_t* format, const REllipsisArg* args) {
  return Format2StringProlog(format, args);
}

wchar_t* StreamToString(const IDomainDefinition* d, const uint8_t* t) {
  if (!d) Errors::InternalError(L"StreamToString: no domain");
  uint8_t* mark = Memory::MarkGStack();
  StringSink sink;
  RStreamCursor out(&sink);
  d->WriteForConsultToStream(&out, t);
  wchar_t* s = sink.Take();
  Memory::ReleaseGStack(mark);
  return s;
}

}  // namespace CorvaneString
