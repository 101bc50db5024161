// The regular-expression layer through its DLL: searches as tables of
// (pattern, text, start, range) -> (result, start, length), the backward
// search against start-by-start tries, replacement templates, bad patterns
// and the budget of a call.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "qel6regexp.h"

namespace {

struct Record {
  QEL_buffer_info* r = nullptr;
  ~Record() { QEL_re_free(r); }
  int Compile(const std::wstring& p, bool ignoreCase = false) {
    return QEL_re_compile_pattern_case(p.c_str(), &r, ignoreCase);
  }
};

struct SearchCase {
  const char* what;
  const wchar_t* pattern;
  const wchar_t* text;
  int start, range;
  bool ignoreCase;
  int result, matchStart, matchLength;
};

TEST(Search, Table) {
  const SearchCase cases[] = {
      {"\\b sees the character before start", L"\\bcat", L"concat cat", 3, 7, false, 1, 7, 3},
      {"\\b at start after a space", L"\\bcat", L"x cat", 2, 3, false, 1, 2, 3},
      {"^ sees the character before start", L"^b", L"ab", 1, 1, false, 0, 0, 0},
      {"^ after a line feed", L"^b", L"a\nb", 2, 1, false, 1, 2, 1},
      {"$ before a line feed", L"a$", L"a\nb", 0, 3, false, 1, 0, 1},
      {"look-behind before start", L"(?<=x)y", L"xy", 1, 1, false, 1, 1, 1},
      {"forward range excludes later starts", L"x", L"abx", 0, 1, false, 0, 0, 0},
      {"forward range end is a start", L"x", L"abx", 0, 2, false, 1, 2, 1},
      {"match may run past the range", L"bx", L"abx", 0, 1, false, 1, 1, 2},
      {"forward range cut at text end", L"x", L"abx", 1, 100, false, 1, 2, 1},
      {"range 0 tries only start", L"b", L"ab", 1, 0, false, 1, 1, 1},
      {"backward finds the last start", L"ab", L"ab ab", 4, -4, false, 1, 3, 2},
      {"backward is anchored at each start", L"a+", L"aaa", 2, -2, false, 1, 2, 1},
      {"backward from a match start", L"ab", L"ab ab", 3, -3, false, 1, 3, 2},
      {"backward range limit", L"a", L"a b", 2, -1, false, 0, 0, 0},
      {"backward range reaches 0", L"a", L"a b", 2, -2, false, 1, 0, 1},
      {"backward range cut at 0", L"a", L"a b", 2, -50, false, 1, 0, 1},
      {"empty match at start", L"a*", L"bab", 0, 3, false, 1, 0, 0},
      {"empty match at text end", L"x*", L"ab", 2, 0, false, 1, 2, 0},
      {"\u00e9 is a word character", L"\\b\u00e9\\b", L"x\u00e9 \u00e9", 0, 4, false, 1, 3, 1},
      {"\\w takes accented letters", L"\\w+", L"\u00e9t\u00e9!", 0, 4, false, 1, 0, 3},
      {"ignoring case folds accents", L"\u00c9T\u00c9", L"x\u00e9t\u00e9", 0, 4, true, 1, 1, 3},
      {"ignoring case folds Greek", L"\u03a9", L"a\u03c9", 0, 2, true, 1, 1, 1},
      {"case kept when asked", L"ABC", L"aBc ABC", 0, 7, false, 1, 4, 3},
      {"case ignored", L"ABC", L"aBc", 0, 3, true, 1, 0, 3},
      {"a lone surrogate is a character", L"x.y", L"x\xd800y", 0, 3, false, 1, 0, 3},
      {"dot stops at a line feed", L"a.b", L"a\nb", 0, 3, false, 0, 0, 0},
      {"\\s crosses a line feed", L"a\\s+b", L"a\nb", 0, 3, false, 1, 0, 3},
      {"start past the text", L"a", L"a", 2, 0, false, -1, 0, 0},
      {"negative start", L"a", L"a", -1, 1, false, -1, 0, 0},
  };
  for (const auto& c : cases) {
    Record rec;
    ASSERT_EQ(rec.Compile(c.pattern, c.ignoreCase), 1) << c.what;
    int s = 0, n = 0;
    int rc = QEL_re_search_range_noCompile(rec.r, c.text, &s, &n, c.start, c.range);
    EXPECT_EQ(rc, c.result) << c.what;
    EXPECT_EQ(rec.r->matched != 0, rc > 0) << c.what;
    if (rc > 0) {
      EXPECT_EQ(s, c.matchStart) << c.what;
      EXPECT_EQ(n, c.matchLength) << c.what;
    }
    int s2 = 0, n2 = 0;
    EXPECT_EQ(QEL_re_search_range_compile(c.pattern, c.text, &s2, &n2, c.start, c.range,
                                          c.ignoreCase) > 0, rc > 0)
        << c.what;
    if (rc > 0) {
      EXPECT_EQ(s2 * 1000 + n2, s * 1000 + n) << c.what;
    }
  }
}

// The windowed backward search gives what trying each start alone gives.
TEST(Search, BackwardMatchesStartByStart) {
  const wchar_t* patterns[] = {L"a+b", L"\\bab", L"^a", L"b$", L"(?<=a)b", L"a*", L"\\Gab",
                               L"ab(*COMMIT)x|b", L"a a a a", L"\\nb\\nb"};
  std::wstring text;
  unsigned x = 12345;
  for (int i = 0; i < 3000; ++i) {
    x = x * 1103515245 + 12345;
    text += L"ab \n"[(x >> 16) % 4];
  }
  const int len = static_cast<int>(text.size());
  for (const wchar_t* p : patterns) {
    Record rec;
    ASSERT_EQ(rec.Compile(p), 1);
    for (int start : {0, 1, 7, 300, 1500, len - 1, len}) {
      for (int range : {-1, -5, -200, -len}) {
        int expect = -1, s = 0, n = 0;
        for (int q = start; q >= 0 && q >= start + range && expect < 0; --q)
          if (QEL_re_search_range_n(rec.r, text.data(), len, &s, &n, q, 0) > 0) expect = q;
        int rc = QEL_re_search_range_n(rec.r, text.data(), len, &s, &n, start, range);
        ASSERT_EQ(rc > 0 ? s : -1, expect) << p << " start " << start << " range " << range;
        // The record holds the match returned: \0 gives its text.
        if (rc > 0) {
          const wchar_t* out = nullptr;
          ASSERT_EQ(QEL_re_replace_n(text.data(), len, L"\\0", rec.r, &out), 1);
          EXPECT_EQ(std::wstring(out), text.substr(s, n)) << p;
        }
      }
    }
  }
}

TEST(Search, LongTextBothWays) {
  std::wstring text(2'000'000, L'x');
  text.replace(10, 6, L"needle");
  text.replace(1'999'000, 6, L"needle");
  Record rec;
  ASSERT_EQ(rec.Compile(L"NEEDLE", true), 1);
  int s = 0, n = 0, len = static_cast<int>(text.size());
  EXPECT_EQ(QEL_re_search_range_n(rec.r, text.data(), len, &s, &n, 11, len - 11), 1);
  EXPECT_EQ(s, 1'999'000);
  EXPECT_EQ(QEL_re_search_range_n(rec.r, text.data(), len, &s, &n, 1'998'999, -1'998'999), 1);
  EXPECT_EQ(s, 10);
  EXPECT_EQ(QEL_re_search_range_n(rec.r, text.data(), len, &s, &n, 9, -9), 0);
}

TEST(Compile, RecordReuseAndLookBehind) {
  Record rec;
  ASSERT_EQ(rec.Compile(L"(?<=abc)d"), 1);
  QEL_buffer_info* first = rec.r;
  EXPECT_EQ(rec.r->lookBehind, 3u);
  void* code = rec.r->code;
  ASSERT_EQ(rec.Compile(L"(?<=abc)d"), 1);
  EXPECT_EQ(rec.r->code, code);  // unchanged pattern: kept
  ASSERT_EQ(rec.Compile(L"x"), 1);
  EXPECT_EQ(rec.r, first);
  EXPECT_EQ(rec.r->lookBehind, 1u);
  EXPECT_EQ(QEL_re_compile_pattern_case(nullptr, &rec.r, 0), -1);
  EXPECT_EQ(QEL_re_compile_pattern_case(L"x", nullptr, 0), -1);
}

TEST(Compile, BadPatternsFindNothing) {
  const std::wstring bad[] = {L"(", L"a{2,1}", L"[a", L"*", L"a\\", L"(?<=a+)b",
                              std::wstring(10'000, L'('), L"(?<n>a)(?<n>b)"};
  for (const auto& p : bad) {
    Record rec;
    ASSERT_EQ(rec.Compile(L"a"), 1);
    EXPECT_EQ(rec.Compile(p), 0) << p.substr(0, 20);
    int s = 0, n = 0;
    EXPECT_LE(QEL_re_search_range_noCompile(rec.r, L"aaa", &s, &n, 0, 3), 0);
    EXPECT_LE(QEL_re_search_range_compile(p.c_str(), L"aaa", &s, &n, 0, 3, 0), 0);
    const wchar_t* out = nullptr;
    EXPECT_EQ(QEL_re_replace_compile(L"aaa", L"x", rec.r, &out), 0);
  }
  // A long pattern that compiles is searched like any other.
  std::wstring longPattern(10'000, L'a'), text = L"b" + longPattern;
  Record rec;
  ASSERT_EQ(rec.Compile(longPattern), 1);
  int s = 0, n = 0;
  EXPECT_EQ(QEL_re_search_range_noCompile(rec.r, text.c_str(), &s, &n, 0, 10), 1);
  EXPECT_EQ(s, 1);
  EXPECT_EQ(n, 10'000);
}

TEST(Search, BacktrackingIsBounded) {
  std::wstring as(100'000, L'a');
  struct {
    const wchar_t* pattern;
    std::wstring text;
  } cases[] = {{L"(a+)+b", as}, {L"(a+)+c", as + L"bc"}, {L"(a|aa)+c", as + L"bc"},
               {L"(?:a*)*$x", as}};
  for (const auto& c : cases) {
    ULONGLONG t0 = GetTickCount64();
    int s = 0, n = 0;
    int len = static_cast<int>(c.text.size());
    Record rec;
    ASSERT_EQ(rec.Compile(c.pattern), 1);
    EXPECT_EQ(QEL_re_search_range_n(rec.r, c.text.data(), len, &s, &n, 0, len), 0) << c.pattern;
    EXPECT_EQ(QEL_re_search_range_n(rec.r, c.text.data(), len, &s, &n, len, -len), 0) << c.pattern;
    EXPECT_LT(GetTickCount64() - t0, 10'000u) << c.pattern;
  }
}

// One budget for a whole call: a pattern that backtracks a lot at every
// start of a long text ends as "not found" within the second, both ways;
// also one with a verb, whose forward search is one scan.
TEST(Search, OneBudgetForTheWholeCall) {
  std::wstring text;
  while (text.size() < (1u << 20)) text += std::wstring(20, L'a') + L' ';
  const int len = static_cast<int>(text.size());
  for (const wchar_t* pattern : {L"(a|a)*b", L"(a|a)*b(*COMMIT)"}) {
    Record rec;
    ASSERT_EQ(rec.Compile(pattern), 1);
    for (int backward : {0, 1}) {
      int s = 0, n = 0;
      ULONGLONG t0 = GetTickCount64();
      int rc = backward ? QEL_re_search_range_n(rec.r, text.data(), len, &s, &n, len, -len)
                        : QEL_re_search_range_n(rec.r, text.data(), len, &s, &n, 0, len);
      EXPECT_EQ(rc, 0) << pattern << " " << backward;
      EXPECT_EQ(rec.r->matched, 0u);
      EXPECT_LT(GetTickCount64() - t0, 1000u) << pattern << " " << backward;
    }
  }
}

// Starts that need more steps than a run begins with are tried again with
// more: the first match behind them is found, forward and backward.
TEST(Search, CostlyStartsBeforeAMatch) {
  std::wstring text;
  for (int i = 0; i < 300; ++i) text += L"aaaaaaaaaa ";
  text += L"xb";
  const int len = static_cast<int>(text.size());
  Record rec;
  ASSERT_EQ(rec.Compile(L"(a|a)*b"), 1);
  int s = 0, n = 0;
  ASSERT_EQ(QEL_re_search_range_n(rec.r, text.data(), len, &s, &n, 0, len), 1);
  EXPECT_EQ(s, len - 1);
  EXPECT_EQ(n, 1);
  EXPECT_EQ(QEL_re_search_range_n(rec.r, text.data(), len, &s, &n, len - 2, -(len - 2)), 0);
  ASSERT_EQ(QEL_re_search_range_n(rec.r, text.data(), len, &s, &n, len, -len), 1);
  EXPECT_EQ(s, len - 1);
}

// \G holds only where the search began, however long the range: "ab"
// stands at every multiple of 1024 behind the start.
TEST(Search, StartAnchorHoldsOnlyAtTheStart) {
  std::wstring text;
  for (int i = 0; i < 256; ++i) text += L"ab" + std::wstring(1022, L'x');
  const int len = static_cast<int>(text.size());
  Record rec;
  ASSERT_EQ(rec.Compile(L"\\Gab"), 1);
  int s = 0, n = 0;
  EXPECT_EQ(QEL_re_search_range_n(rec.r, text.data(), len, &s, &n, 1, len - 1), 0);
  ASSERT_EQ(QEL_re_search_range_n(rec.r, text.data(), len, &s, &n, 4096, len - 4096), 1);
  EXPECT_EQ(s, 4096);
}

struct ReplaceCase {
  const char* what;
  const wchar_t* pattern;
  const wchar_t* text;
  const wchar_t* tmpl;
  const wchar_t* expect;  // null: failure
};

TEST(Replace, Table) {
  const ReplaceCase cases[] = {
      {"groups swapped", L"(\\w+) (\\w+)", L"hello world", L"\\2-\\1", L"world-hello"},
      {"whole match", L"l+", L"hello", L"<\\0>", L"<ll>"},
      {"escaped backslash", L"b", L"abc", L"\\\\\\0", L"\\b"},
      {"other backslashes kept", L"b", L"abc", L"C:\\temp\\n", L"C:\\temp\\n"},
      {"trailing backslash kept", L"b", L"abc", L"x\\", L"x\\"},
      {"group the pattern lacks is empty", L"b", L"abc", L"[\\5]", L"[]"},
      {"group that did not take part is empty", L"(a)|(b)", L"b", L"[\\1|\\2]", L"[|b]"},
      {"empty template", L"b", L"abc", L"", L""},
      {"lone surrogate copied", L".", L"\xdc00", L"\\0\\0", L"\xdc00\xdc00"},
  };
  for (const auto& c : cases) {
    Record rec;
    ASSERT_EQ(rec.Compile(c.pattern), 1) << c.what;
    int s = 0, n = 0;
    ASSERT_EQ(QEL_re_search_range_noCompile(rec.r, c.text, &s, &n, 0, lstrlenW(c.text)), 1)
        << c.what;
    const wchar_t* out = nullptr;
    int rc = QEL_re_replace_compile(c.text, c.tmpl, rec.r, &out);
    ASSERT_EQ(rc, c.expect ? 1 : 0) << c.what;
    if (c.expect) {
      EXPECT_EQ(std::wstring(out), c.expect) << c.what;
    }
  }
}

TEST(Replace, RegistersAreCheckedAgainstTheTextGiven) {
  Record rec;
  const wchar_t* out = nullptr;
  EXPECT_EQ(QEL_re_replace_compile(L"abc", L"x", rec.r, &out), 0);  // no record
  ASSERT_EQ(rec.Compile(L"(d)(ef)"), 1);
  EXPECT_EQ(QEL_re_replace_compile(L"abc", L"x", rec.r, &out), 0);  // no search yet
  int s = 0, n = 0;
  ASSERT_EQ(QEL_re_search_range_noCompile(rec.r, L"abc def", &s, &n, 0, 7), 1);
  EXPECT_EQ(QEL_re_replace_compile(L"abc def", L"\\2\\1", rec.r, &out), 1);
  EXPECT_STREQ(out, L"efd");
  EXPECT_EQ(QEL_re_replace_compile(L"abc de", L"\\1", rec.r, &out), 1);  // \1 still inside
  EXPECT_STREQ(out, L"d");
  EXPECT_EQ(QEL_re_replace_compile(L"abc de", L"\\2", rec.r, &out), 0);
  EXPECT_EQ(QEL_re_replace_compile(L"abc", L"\\0", rec.r, &out), 0);
  EXPECT_EQ(QEL_re_replace_compile(L"abc", L"plain", rec.r, &out), 1);
  EXPECT_STREQ(out, L"plain");
  // A failed search leaves no last match.
  EXPECT_EQ(QEL_re_search_range_noCompile(rec.r, L"xyz", &s, &n, 0, 3), 0);
  EXPECT_EQ(rec.r->matched, 0u);
  EXPECT_EQ(QEL_re_replace_compile(L"xyz", L"plain", rec.r, &out), 0);
}

TEST(Replace, LongResultGrowsTheBuffer) {
  Record rec;
  std::wstring text(50'000, L'q');
  ASSERT_EQ(rec.Compile(L"q+"), 1);
  int s = 0, n = 0;
  ASSERT_EQ(QEL_re_search_range_noCompile(rec.r, text.c_str(), &s, &n, 0, 1), 1);
  const wchar_t* out = nullptr;
  ASSERT_EQ(QEL_re_replace_compile(text.c_str(), L"\\0-\\0", rec.r, &out), 1);
  EXPECT_EQ(std::wstring(out), text + L"-" + text);
}

}  // namespace
