// Helpers of the class library's tests: a fixture that links the library's
// unit once, gives every test a fresh exception state and installs the
// run-time exception raiser for it; readers of trace entries.
#pragma once

#include <gtest/gtest.h>

#include <cwctype>
#include <string>
#include <vector>

#include "exception/exception.h"

namespace tavtest {

using namespace tav;
using Qel::RunTime::Kernel::RunTrapped;
using Qel::RunTime::Kernel::Succeeds;
using Qel::RunTime::Kernel::Control::TPrologThreadData;

class Library : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(InitializeUnit(), 0); }
  void SetUp() override {
    exception::setexceptionstate(exceptionState::New());
    TPrologThreadData::SetPrologExceptionPredicate(&runtime_exception::raiser, 4096, &previous_,
                                                   &previousNeed_);
    saved_ = *previous_;
  }
  void TearDown() override {
    TPrologThreadData::SetPrologExceptionPredicate(&saved_, previousNeed_, nullptr, nullptr);
  }

 private:
  Qel::RunTime::Kernel::RPrologExceptionPredicateStruct* previous_ = nullptr;
  Qel::RunTime::Kernel::RPrologExceptionPredicateStruct saved_{};
  uint32_t previousNeed_ = 0;
};

// Every entry of the current state, newest first.
inline std::vector<const TraceEntry*> Entries() {
  std::vector<const TraceEntry*> all;
  exception::getdescriptor_nd([&](const TraceEntry* e) {
    all.push_back(e);
    Qel::RunTime::Kernel::Fail();
  });
  return all;
}

inline std::wstring Text(const ValueTerm* v) {
  if (!v) return L"<none>";
  if (v->Kind() != ValueKind::string) return L"<not a string>";
  return v->As<const wchar_t*>();
}
inline uint32_t Unsigned(const ValueTerm* v) {
  return v && v->Kind() == ValueKind::unsigned_ ? v->As<uint32_t>() : 0xDEADBEEF;
}
inline std::wstring Extra(const TraceEntry* e, const wchar_t* name) {
  return Text(exception::trygetextrainfo(e, name));
}
// The names of an entry's extra information, in order.
inline std::vector<std::wstring> Names(const TraceEntry* e) {
  std::vector<std::wstring> names;
  for (const NamedValueList* l = e->extraInfo; !l->Empty(); l = l->tail) names.push_back(l->head->name);
  return names;
}

// Dates and times ("dddd/dd/dd dd:dd:dd") become "<when>".
inline std::wstring Masked(std::wstring s) {
  const wchar_t* shape = L"dddd/dd/dd dd:dd:dd";
  for (size_t i = 0; i + 19 <= s.size(); ++i) {
    bool match = true;
    for (size_t k = 0; k < 19 && match; ++k)
      match = shape[k] == L'd' ? iswdigit(s[i + k]) != 0 : s[i + k] == shape[k];
    if (match) s.replace(i, 19, L"<when>");
  }
  return s;
}

inline std::string Narrow(const std::wstring& w) {
  std::string s;
  for (wchar_t c : w) s += c < 128 ? static_cast<char>(c) : '?';
  return s;
}

}  // namespace tavtest
