// The search engine and Change All below the window: plain line matching,
// regular-expression search over the joined text, and Change All over a
// table of lines checked against replacing one match at a time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "changeall.h"
#include "search.h"

using namespace QEL_EDIT::detail;

namespace {

struct Lines : LineSource, ChangeSink {
  std::vector<std::wstring> lines;
  std::vector<int32_t> written;
  int32_t refuseAfter = -1;
  explicit Lines(std::vector<std::wstring> l) : lines(std::move(l)) {}
  int32_t LineCount() override { return static_cast<int32_t>(lines.size()); }
  const wchar_t* Line(int32_t n, int32_t* length) override {
    *length = static_cast<int32_t>(lines[n - 1].size());
    return lines[n - 1].c_str();
  }
  bool ChangedLine(int32_t n, const wchar_t* text, int32_t length) override {
    if (refuseAfter >= 0 && static_cast<int32_t>(written.size()) >= refuseAfter) return false;
    lines[n - 1].assign(text, length);
    written.push_back(n);
    return true;
  }
  std::wstring Joined() const {
    std::wstring s;
    for (size_t i = 0; i < lines.size(); ++i) s += (i ? L"\n" : L"") + lines[i];
    return s;
  }
};

std::vector<std::wstring> Split(const std::wstring& s) {
  std::vector<std::wstring> out(1);
  for (wchar_t c : s) {
    if (c == L'\n')
      out.emplace_back();
    else
      out.back() += c;
  }
  return out;
}

struct PlainCase {
  const char* what;
  const wchar_t* pattern;
  const wchar_t* line;
  bool forward, caseSensitive, wholeWords;
  int32_t searchCol;
  int32_t found, colAfter;
};

TEST(PlainMatch, Table) {
  const PlainCase cases[] = {
      {"backward from column 2", L"ab", L"ab", false, true, false, 2, 1, 3},
      {"backward from column 1", L"ab", L"ab", false, true, false, 1, 0, 1},
      {"backward takes the rightmost", L"ab", L"ab ab", false, true, false, 5, 4, 6},
      {"backward past the line end", L"b", L"ab", false, true, false, 9, 2, 3},
      {"whole word not in cats", L"cat", L"cats", true, true, true, 1, 0, 1},
      {"whole word not in _cat", L"cat", L"_cat", true, true, true, 1, 0, 1},
      {"whole word before a dot", L"cat", L"cat.", true, true, true, 1, 1, 4},
      {"whole word at the line end", L"cat", L"a cat", true, true, true, 1, 3, 6},
      {"whole word skips a part", L"cat", L"cats cat", true, true, true, 1, 6, 9},
      {"\u00e9 is a word character", L"t", L"\u00e9t t", true, true, true, 1, 4, 5},
      {"case ignored", L"ABC", L"aBc", true, false, false, 1, 1, 4},
      {"case kept", L"ABC", L"aBc", true, true, false, 1, 0, 1},
      {"accents ignore case", L"\u00c9T\u00c9", L"x\u00e9t\u00e9", true, false, false, 1, 2, 5},
      {"from the search column", L"a", L"aba", true, true, false, 2, 3, 4},
      {"pattern longer than the line", L"abc", L"ab", true, true, false, 1, 0, 1},
  };
  for (const auto& c : cases) {
    int32_t n = static_cast<int32_t>(wcslen(c.pattern));
    std::wstring up(n, 0), low(n, 0);
    BuildCaseVariants(c.pattern, n, c.caseSensitive, up.data(), low.data());
    CaseVariants v{up.data(), low.data(), n};
    int32_t col = c.searchCol, len = static_cast<int32_t>(wcslen(c.line));
    int32_t at = c.forward ? MatchForward(c.line, len, v, c.wholeWords, &col)
                           : MatchBackward(c.line, len, v, c.wholeWords, &col);
    EXPECT_EQ(at, c.found) << c.what;
    EXPECT_EQ(col, c.colAfter) << c.what;
  }
}

struct RegexCase {
  const char* what;
  const wchar_t* pattern;
  bool wholeWords;
  const wchar_t* text;
  bool forward;
  int32_t start, range;
  int32_t found, length;  // found -1: none
};

TEST(RegexSearch, Table) {
  const RegexCase cases[] = {
      {"whole words bind the alternatives", L"cat|dog", true, L"hotdog dog", true, 0, 10, 7, 3},
      {"empty match passed over", L"a*", false, L"bab", true, 0, 3, 1, 1},
      {"only empty matches: none", L"x*", false, L"bab", true, 0, 3, -1, 0},
      {"a match over a line feed is none", L"a\\nb", false, L"a\nb", true, 0, 3, -1, 0},
      {"blanks before a line feed are passed", L"\\s+", false, L"ab  \ncd", true, 0, 7, -1, 0},
      {"blanks inside a line found", L"\\s+", false, L"ab  \nc d", true, 0, 8, 6, 1},
      {"forward match ending past the range", L"abc", false, L"xabc", true, 0, 3, -1, 0},
      {"forward match ending at the range", L"abc", false, L"xabc", true, 0, 4, 1, 3},
      {"backward: last character may be held", L"ab", false, L"ab ab", false, 4, -4, 3, 2},
      {"backward: ending behind start passed", L"ab", false, L"ab ab", false, 3, -3, 0, 2},
      {"backward at offset 0", L"a", false, L"ab", false, 0, 0, 0, 1},
      {"backward range limit", L"a", false, L"a bb", false, 3, -2, -1, 0},
  };
  for (const auto& c : cases) {
    QEL_buffer_info* rec = nullptr;
    std::wstring p = c.pattern;
    if (c.wholeWords) {
      std::wstring w(p.size() + 9, 0);
      WholeWordPattern(p.c_str(), static_cast<int32_t>(p.size()), w.data());
      p = w.c_str();
    }
    ASSERT_EQ(QEL_re_compile_pattern_case(p.c_str(), &rec, 0), 1) << c.what;
    int32_t s = -1, n = 0;
    bool ok = RegexFind(rec, c.text, static_cast<int32_t>(wcslen(c.text)), c.forward, c.start,
                        c.range, &s, &n);
    EXPECT_EQ(ok ? s : -1, c.found) << c.what;
    if (ok) {
      EXPECT_EQ(n, c.length) << c.what;
    }
    QEL_re_free(rec);
  }
}

TEST(RegexSearch, LineColumnOfOffsets) {
  const int32_t starts[] = {0, 3, 4, 10};
  JoinedText t{L"", 12, starts, 4};
  const int32_t table[][3] = {{0, 1, 1}, {2, 1, 3}, {3, 2, 1}, {4, 3, 1}, {9, 3, 6}, {11, 4, 2}};
  for (const auto& r : table) {
    int32_t line = 0, col = 0;
    t.LineColumnOf(r[0], &line, &col);
    EXPECT_EQ(line, r[1]) << r[0];
    EXPECT_EQ(col, r[2]) << r[0];
    EXPECT_EQ(t.OffsetOf(line, col), r[0]);
  }
}

ChangeAllSpec Spec(const wchar_t* find, const wchar_t* repl, bool regex, bool forward = true) {
  ChangeAllSpec s{};
  s.find = find;
  s.replacement = repl;
  s.regex = regex;
  s.caseSensitive = true;
  s.forward = forward;
  if (forward) {
    s.line = 1;
    s.column = 1;
  }
  return s;
}

// Replacing one match at a time over the whole current text, as the search
// position moves: the reference for the forward pass.
std::wstring OneByOne(std::wstring text, const wchar_t* pattern, const wchar_t* tmpl,
                      int* count) {
  QEL_buffer_info* rec = nullptr;
  EXPECT_EQ(QEL_re_compile_pattern_case(pattern, &rec, 0), 1);
  int32_t pos = 0, s = 0, n = 0;
  *count = 0;
  while (pos <= static_cast<int32_t>(text.size()) &&
         RegexFind(rec, text.c_str(), static_cast<int32_t>(text.size()), true, pos,
                   static_cast<int32_t>(text.size()) - pos, &s, &n)) {
    const wchar_t* r = nullptr;
    EXPECT_EQ(QEL_re_replace_compile(text.c_str(), tmpl, rec, &r), 1);
    std::wstring rs = r;
    text.replace(s, n, rs);
    pos = s + static_cast<int32_t>(rs.size());
    ++*count;
  }
  QEL_re_free(rec);
  return text;
}

TEST(ChangeAll, ForwardRegexEqualsOneByOne) {
  std::wstring text;
  unsigned x = 99;
  for (int i = 0; i < 4000; ++i) {
    x = x * 1103515245 + 12345;
    text += L"ab -\n"[(x >> 16) % 5];
  }
  const wchar_t* patterns[] = {L"\\ba", L"(?<=a)b", L"^b", L"a+", L"\\w+\\b", L"b$",
                               L"(?<=ab)a", L"(?<=\\n)a|b(?=\\n)"};
  const wchar_t* templates[] = {L"x", L"", L"\\0\\0", L"-", L"aa"};
  for (const wchar_t* p : patterns) {
    for (const wchar_t* t : templates) {
      int expectCount = 0;
      std::wstring expect = OneByOne(text, p, t, &expectCount);
      Lines lines(Split(text));
      QEL_buffer_info* rec = nullptr;
      ChangeAllResult r = ChangeAll(lines, Spec(p, t, true), &rec, lines);
      QEL_re_free(rec);
      EXPECT_EQ(r.status, ChangeAllStatus::Done);
      EXPECT_EQ(r.count, expectCount) << p << " / " << t;
      ASSERT_EQ(lines.Joined(), expect) << p << " / " << t;
    }
  }
}

TEST(ChangeAll, SequentialSemanticsOnSmallTexts) {
  struct {
    const wchar_t *find, *repl, *text, *expect;
    bool regex;
    int count;
  } cases[] = {
      {L"\\ba", L"-", L"aa", L"--", true, 2},          // \b sees the replaced "-"
      {L"(?<=x)a", L"x", L"xaaa", L"xxxx", true, 3},   // the look-behind sees each "x"
      {L"^a", L"", L"aa\naa", L"\n", true, 4},         // ^ at the text's new start
      {L"(\\w+)@(\\w+)", L"\\2 at \\1", L"me@home, you@work", L"home at me, work at you", true, 2},
      {L"a\\nb", L"x", L"a\nb", L"a\nb", true, 0},     // never over a line feed
      {L"x*", L"y", L"abc", L"abc", true, 0},          // empty matches passed over
      {L"cat", L"dog", L"a cat\ncat cat\nbird", L"a dog\ndog dog\nbird", false, 3},
      {L"aa", L"a", L"aaaa", L"aa", false, 2},
  };
  for (const auto& c : cases) {
    Lines lines(Split(c.text));
    QEL_buffer_info* rec = nullptr;
    ChangeAllResult r = ChangeAll(lines, Spec(c.find, c.repl, c.regex), &rec, lines);
    QEL_re_free(rec);
    EXPECT_EQ(lines.Joined(), c.expect) << c.find;
    EXPECT_EQ(r.count, c.count) << c.find;
  }
}

TEST(ChangeAll, SelectionScopeKeepsItsEnd) {
  for (bool regex : {false, true}) {
    Lines lines({L"aaaa", L"aaaa", L"aaaa"});
    ChangeAllSpec s = Spec(L"a", L"xyz", regex);
    s.line = 1;
    s.column = 2;
    s.endLine = 2;
    s.endColumn = 3;  // the selection ends behind the second "a" of line 2
    QEL_buffer_info* rec = nullptr;
    ChangeAllResult r = ChangeAll(lines, s, &rec, lines);
    QEL_re_free(rec);
    EXPECT_EQ(lines.lines[0], L"axyzxyzxyz") << regex;
    EXPECT_EQ(lines.lines[1], L"xyzxyzaa") << regex;
    EXPECT_EQ(lines.lines[2], L"aaaa") << regex;
    EXPECT_EQ(r.count, 5);
    EXPECT_EQ(r.columnShift, 4);
    EXPECT_EQ(r.lastLine, 2);
    EXPECT_EQ(r.lastColumn, 7);
  }
}

TEST(ChangeAll, Backward) {
  for (bool regex : {false, true}) {
    Lines lines({L"a1 b2", L"c3 d4"});
    ChangeAllSpec s = Spec(regex ? L"\\d" : L"2", L"##", regex, false);
    s.line = 2;
    s.column = 4;  // the last character that may be held: "d"
    QEL_buffer_info* rec = nullptr;
    ChangeAllResult r = ChangeAll(lines, s, &rec, lines);
    QEL_re_free(rec);
    if (regex) {
      EXPECT_EQ(lines.Joined(), L"a## b##\nc## d4");
      EXPECT_EQ(r.count, 3);
    } else {
      EXPECT_EQ(lines.Joined(), L"a1 b##\nc3 d4");
      EXPECT_EQ(r.count, 1);
    }
    EXPECT_EQ(r.lastLine, 1);
    EXPECT_EQ(r.lastColumn, regex ? 2 : 5);
    EXPECT_EQ(lines.written, regex ? std::vector<int32_t>({2, 1}) : std::vector<int32_t>({1}));
  }
}

TEST(ChangeAll, BadPatternAndRefusingSink) {
  Lines lines({L"ab", L"ab"});
  QEL_buffer_info* rec = nullptr;
  EXPECT_EQ(ChangeAll(lines, Spec(L"(", L"x", true), &rec, lines).status,
            ChangeAllStatus::BadPattern);
  EXPECT_TRUE(lines.written.empty());
  lines.refuseAfter = 1;
  ChangeAllResult r = ChangeAll(lines, Spec(L"b", L"x", true), &rec, lines);
  QEL_re_free(rec);
  EXPECT_EQ(r.status, ChangeAllStatus::Stopped);
  EXPECT_EQ(lines.Joined(), L"ax\nab");
}

}  // namespace

namespace {

TEST(ChangeAll, LineBlockRoundTrip) {
  LineBlock b;
  const std::pair<int32_t, std::wstring> lines[] = {
      {1, L"first"}, {65536 + 7, L""}, {70000, std::wstring(300, L'z')}, {2, L"\x00e9\xd800"}};
  for (const auto& l : lines)
    ASSERT_TRUE(b.Append(l.first, l.second.data(), static_cast<int32_t>(l.second.size())));
  std::vector<std::pair<int32_t, std::wstring>> back;
  size_t length = b.length;
  wchar_t* units = b.Take();
  EXPECT_EQ(b.units, nullptr);
  ForEachBlockLine(units, length, [&](int32_t line, const wchar_t* text, int32_t n) {
    back.emplace_back(line, std::wstring(text, n));
  });
  free(units);
  ASSERT_EQ(back.size(), 4u);
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(back[i], lines[i]) << i;
}

}  // namespace
