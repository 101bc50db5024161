// Helpers of the reader's tests: listings as (code, name) pairs, and reader
// calls run under a trap and a backtrack point.
#pragma once

#include <gtest/gtest.h>

#include "fixtures.h"
#include "qel6kernel.h"

namespace restest {

using Listed = std::vector<std::pair<int64_t, std::wstring>>;

inline Listed Types(const std::wstring& file) {
  ilist_struct* codes = nullptr;
  slist_struct* names = nullptr;
  int result = -1;
  QelResource::res_get_types(file.c_str(), &codes, &names, &result);
  EXPECT_EQ(result, 0);
  Listed out;
  for (; codes->functor == ListCons && names->functor == ListCons; codes = codes->next, names = names->next)
    out.push_back({codes->value, names->value});
  EXPECT_EQ(codes->functor, ListNil);
  EXPECT_EQ(names->functor, ListNil);
  return out;
}

// Runs a reader call; false when it failed.
template <class Body>
bool Reads(Body&& body) {
  namespace Kernel = Qel::RunTime::Kernel;
  volatile bool ok = false;
  EXPECT_EQ(Kernel::RunTrapped([&] { ok = Kernel::Succeeds(body); }), 0u);
  return ok;
}

}  // namespace restest
