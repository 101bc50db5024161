// The exported search functions without a window: options and the search of
// a caller's string with its lists of positions and lines.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "history.h"
#include "qel6edit.h"
#include "qel6kernel.h"

using namespace QEL_EDIT;

namespace {

struct Found {
  std::vector<int> positions;
  std::vector<std::wstring> lines;
};

Found SearchSubStr(const wchar_t* pattern, const wchar_t* text, bool caseSensitive,
                   bool wholeWords, bool regex) {
  uint8_t* mark = Qel::RunTime::Kernel::Memory::MarkGStack();
  QEL_KWI::slist_struct* lines = nullptr;
  QEL_KWI::ilist_struct* p =
      edit_SearchSubStrRE(pattern, text, &lines, caseSensitive, wholeWords, regex);
  Found f;
  for (; p->functor == QEL_KWI::ListCons; p = p->next) f.positions.push_back(static_cast<int>(p->value));
  for (; lines->functor == QEL_KWI::ListCons; lines = lines->next) f.lines.push_back(lines->value);
  EXPECT_EQ(p->functor, QEL_KWI::ListNil);
  EXPECT_EQ(lines->functor, QEL_KWI::ListNil);
  Qel::RunTime::Kernel::Memory::ReleaseGStack(mark);
  return f;
}

TEST(SearchOptions, StoredAsZeroOrOne) {
  edit_SetSearchOptions4(5, 0, -1, 7);
  int32_t w = 9, c = 9, f = 9, r = 9;
  edit_GetSearchOptions4(&w, &c, &f, &r);
  EXPECT_EQ(w * 1000 + c * 100 + f * 10 + r, 1011);
  edit_SetSearchOptions(0, 2, 0);
  edit_GetSearchOptions(&w, &c, &f);
  edit_GetSearchOptions4(&w, &c, &f, &r);
  EXPECT_EQ(w * 1000 + c * 100 + f * 10 + r, 101);  // the three-option form keeps the fourth
  edit_SetSearchOptions4(0, 0, 1, 0);
}

TEST(SearchSubStr, Table) {
  struct {
    const wchar_t *pattern, *text;
    bool caseSensitive, wholeWords, regex;
    std::vector<int> positions;
    std::vector<std::wstring> lines;
  } cases[] = {
      {L"x", L"ax\nbx", true, false, false, {2, 5}, {L"ax", L"bx"}},
      {L"X", L"ax\nbx", false, false, false, {2, 5}, {L"ax", L"bx"}},
      {L"X", L"ax\nbx", true, false, false, {}, {}},
      {L"cat", L"cat cats\n_cat cat.", true, true, false, {1, 15}, {L"cat cats", L"_cat cat."}},
      {L"aa", L"aaaa", true, false, false, {1, 3}, {L"aaaa", L"aaaa"}},
      {L"a*", L"bab", true, false, true, {2}, {L"bab"}},
      {L"x*", L"bab", true, false, true, {}, {}},
      {L"cat|dog", L"hotdog dog\ncat", true, true, true, {8, 12}, {L"hotdog dog", L"cat"}},
      {L"\\d+", L"a12\n\n345", true, false, true, {2, 6}, {L"a12", L"345"}},
      {L"(", L"((", true, false, true, {}, {}},
      {L"", L"abc", true, false, false, {}, {}},
  };
  for (const auto& c : cases) {
    Found f = SearchSubStr(c.pattern, c.text, c.caseSensitive, c.wholeWords, c.regex);
    EXPECT_EQ(f.positions, c.positions) << c.pattern;
    EXPECT_EQ(f.lines, c.lines) << c.pattern;
  }
}

// 20,000 matches on one line of 400,000 characters: each search is passed
// the text's length and the matches share their line's copy, so this stays
// linear.
TEST(SearchSubStr, ManyMatchesOnALongLine) {
  std::wstring text;
  for (int i = 0; i < 20000; ++i) text += std::wstring(19, L'a') + L"b";
  for (int32_t regex : {0, 1}) {
    DWORD t0 = GetTickCount();
    uint8_t* mark = Qel::RunTime::Kernel::Memory::MarkGStack();
    QEL_KWI::slist_struct* lines = nullptr;
    QEL_KWI::ilist_struct* p = nullptr;
    ASSERT_EQ(Qel::RunTime::Kernel::RunTrapped([&] {
      p = edit_SearchSubStrRE(L"b", text.c_str(), &lines, 1, 0, regex);
    }), 0u);
    size_t count = 0, sharedLine = 0;
    intptr_t last = 0;
    for (; p->functor == QEL_KWI::ListCons; p = p->next, lines = lines->next, ++count) {
      last = p->value;
      sharedLine += lines->value == lines->next->value || lines->next->functor != QEL_KWI::ListCons;
    }
    Qel::RunTime::Kernel::Memory::ReleaseGStack(mark);
    EXPECT_EQ(count, 20000u);
    EXPECT_EQ(sharedLine, 20000u);
    EXPECT_EQ(last, 400000);
    EXPECT_LT(GetTickCount() - t0, 5000u);
  }
}

TEST(SearchSubStr, PatternJoinsTheFindHistory) {
  QEL_KWI::slist_struct* lines = nullptr;
  edit_SearchSubStr(L"history probe", L"text", &lines, 1, 0);
  EXPECT_STREQ(detail::histories.find.CurrentEntry(), L"history probe");
}

}  // namespace
