// Records fixture for the search tests: the global search state is reset
// before and after each test.
#pragma once

#include "find.h"
#include "records.h"
#include "search.h"

namespace edittest {

class SearchRecords : public Records {
 protected:
  void SetUp() override {
    Records::SetUp();
    ResetSearch();
  }
  void TearDown() override {
    ResetSearch();
    Records::TearDown();
  }
  static void ResetSearch() {
    searchState.options = SearchOptions{};
    searchState.changeAll = searchState.matchPending = false;
  }
  // The search options; origin 1 entire scope, 0 from the caret.
  static void Options(bool forward, bool caseSensitive, bool wholeWords, bool regex, int origin) {
    SearchOptions& o = searchState.options;
    o.forward = forward;
    o.caseSensitive = caseSensitive;
    o.wholeWords = wholeWords;
    o.regex = regex;
    o.origin = origin;
  }
  // SearchStr's result; a trap fails the test.
  static int32_t Search(EditorRecord* ed, const wchar_t* text) {
    int32_t r = -1;
    EXPECT_EQ(K::RunTrapped([&] { r = SearchStr(ed, text); }), 0u);
    return r;
  }
};

}  // namespace edittest
