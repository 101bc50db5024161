// List helpers of the library's tests: lists from C++ values and back, and
// the solutions of a nondeterministic predicate.
#pragma once

#include <string>
#include <vector>

#include "SYSTEM/orv_list/orv_list.h"
#include "rz_test.h"

namespace rztest {

inline const SList* S(std::initializer_list<const wchar_t*> items) { return MakeList<const wchar_t*>(items); }
inline std::vector<std::wstring> V(const SList* l) {
  std::vector<std::wstring> v;
  for (; !l->Empty(); l = l->tail) v.push_back(l->head);
  return v;
}
template <class T>
std::vector<T> All(const List<T>* l) {
  std::vector<T> v;
  for (; !l->Empty(); l = l->tail) v.push_back(l->head);
  return v;
}
template <class T>
const List<T>* L(const std::vector<T>& items) {
  ListBuilder<T> b;
  for (const T& v : items) b.Add(v);
  return b.Finish();
}

// A fixture whose Run fails the test, with the error's text, when the body raises.
class Trapping : public Rz {
 protected:
  template <class F>
  void Run(F body) {
    const uint32_t code = RunTrapped(body);
    ASSERT_EQ(code, 0u) << Narrow(HandledErrorText(code));
  }
};

// Every solution of a nondeterministic predicate that takes a continuation.
template <class T, class F>
std::vector<T> Solutions(F nd) {
  std::vector<T> out;
  EXPECT_FALSE(nd([&](T v) {
    out.push_back(v);
    Qel::RunTime::Kernel::Fail();
  }));
  return out;
}

}  // namespace rztest
