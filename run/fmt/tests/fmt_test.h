// Domains, terms and argument lists shared by the format tests.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "qel6run.h"
#include "qel6run_fmt.h"
#include "run_test.h"

namespace fmttest {

using namespace Qel::RunTime;
using namespace Qel::RunTime::Terms;
using namespace Qel::RunTime::Kernel;

extern RIntegralDomain intd, int8d, natd, refintd;
extern RIntegral64Domain longd, ulongd;
extern RRealDomain reald;
extern RDomainRecord chard, strd, symd, str8d, bind, ptrd, plike, anyd, refstrd, refchard;
extern RRealDomain refreald;
extern RCompoundDomain ints, strs;

// Activates the records (once).
void Activate();

using runtest::D;

// One argument: its domain and its word.
struct Arg {
  const IDomainDefinition* d;
  uint64_t word;
};
template <class V>
Arg Value(const IDomainDefinition* d, V v) {
  Arg a{d, 0};
  memcpy(&a.word, &v, sizeof v);
  return a;
}
inline Arg Term(const IDomainDefinition* d, const void* t) {
  return Arg{d, reinterpret_cast<uintptr_t>(t)};
}
inline Arg I(int32_t v) { return Value(D(intd), v); }
inline Arg U(uint32_t v) { return Value(D(natd), v); }
inline Arg R(double v) { return Value(D(reald), v); }
inline Arg C(wchar_t v) { return Value(D(chard), v); }
inline Arg S(const wchar_t* s) { return Term(D(strd), s); }

// An argument block as compiled code lays it out.
struct Args {
  std::vector<uint64_t> words;
  Args(std::initializer_list<Arg> list) {
    words.push_back(2 + 2 * list.size());
    words.push_back(list.size());
    for (const Arg& a : list) words.push_back(reinterpret_cast<uintptr_t>(a.d));
    for (const Arg& a : list) words.push_back(a.word);
  }
  operator const REllipsisArg*() const {
    return reinterpret_cast<const REllipsisArg*>(words.data());
  }
};

// A list term of int32 elements, built in `cells` (kept by the caller).
struct IntCons {
  uint64_t functor;
  int32_t head;
  const void* tail;
};
struct StrCons {
  uint64_t functor;
  const wchar_t* head;
  const void* tail;
};
extern const uint64_t kNil;
const uint8_t* IntList(std::vector<IntCons>& cells, std::initializer_list<int32_t> values);

// A sink that lends blocks of `block` bytes and keeps what was written.
class SmallSink final : public RBufferSource {
 public:
  explicit SmallSink(uint32_t block) : block_(block), data_(block) {}
  void NextBlock(uint8_t** base, uint32_t* length) override {
    if (given_ && pos_ >= block_) Flush();
    given_ = true;
    *base = data_.data();
    *length = block_;
  }
  uint32_t* PositionCell() override { return &pos_; }
  std::wstring Text() {
    Flush();
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes_.data()), bytes_.size() / 2);
  }
  std::vector<uint8_t> Bytes() {
    Flush();
    return bytes_;
  }
  uint32_t blocks = 0;

 private:
  void Flush() {
    if (pos_) ++blocks;
    bytes_.insert(bytes_.end(), data_.begin(), data_.begin() + pos_);
    pos_ = 0;
  }
  uint32_t block_;
  std::vector<uint8_t> data_;
  std::vector<uint8_t> bytes_;
  uint32_t pos_ = 0;
  bool given_ = false;
};

using runtest::ErrorOf;
using runtest::LastErrorText;
using runtest::Narrow;

}  // namespace fmttest
