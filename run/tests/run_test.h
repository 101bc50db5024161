// Helpers shared by the runtime's tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "qel6run.h"

namespace runtest {

using Qel::RunTime::Kernel::Control::TPrologThreadData;
using Qel::RunTime::Terms::IDomainDefinition;
using Qel::RunTime::Terms::RBufferSource;
using Qel::RunTime::Terms::RDomainRecord;

// The interface of an activated record: a domain record, or a record with one
// as its head.
inline const IDomainDefinition* D(RDomainRecord& r) { return Qel::RunTime::Terms::Domain(r); }
template <class R>
const IDomainDefinition* D(R& r) {
  return Qel::RunTime::Terms::Domain(r.head);
}

// The text of the last error after "error rNNN: ", or after "error rNNN".
inline std::wstring LastErrorText() {
  std::wstring m = TPrologThreadData::GetCurrentLastErrorMessage();
  size_t at = m.find(L"error r");
  if (at == std::wstring::npos) return m;
  size_t colon = m.find(L": ", at);
  return colon == std::wstring::npos ? L"" : m.substr(colon + 2);
}

inline std::string Narrow(const std::wstring& w) {
  std::string s;
  for (wchar_t c : w) s += c < 128 ? static_cast<char>(c) : '?';
  return s;
}

// The error code of body (0 when it completed).
template <class F>
uint32_t ErrorOf(F&& body) {
  return Qel::RunTime::Kernel::RunTrapped(body);
}

// Global-stack memory aligned to 8 bytes, as terms need.
inline void* Alloc(uint32_t n) {
  namespace Memory = Qel::RunTime::Kernel::Memory;
  if (reinterpret_cast<uintptr_t>(Memory::MarkGStack()) & 7) Memory::AllocGStack(4);
  return Memory::AllocGStack(n);
}

// A source over a UTF-16 text that lends blocks of `block` bytes.
class BlockSource final : public RBufferSource {
 public:
  BlockSource(const std::wstring& text, uint32_t block)
      : bytes_(reinterpret_cast<const uint8_t*>(text.data()),
               reinterpret_cast<const uint8_t*>(text.data()) + text.size() * 2),
        block_(block) {}
  void NextBlock(uint8_t** base, uint32_t* length) override {
    if (started_ && pos_ >= length_) {
      start_ += length_;
      pos_ = 0;
    }
    started_ = true;
    length_ = start_ >= bytes_.size() ? 0 : std::min<uint32_t>(block_, bytes_.size() - start_);
    *base = bytes_.data() + start_;
    *length = length_;
  }
  uint32_t* PositionCell() override { return &pos_; }

 private:
  std::vector<uint8_t> bytes_;
  uint32_t block_, start_ = 0, length_ = 0, pos_ = 0;
  bool started_ = false;
};

}  // namespace runtest
