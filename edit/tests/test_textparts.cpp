// Dialog histories, go-to numbers, hyper-field markup and text utilities.
#include <gtest/gtest.h>

#include <string>

#include "history.h"
#include "hyper.h"
#include "textutil.h"

using namespace QEL_EDIT::detail;

namespace {

std::wstring Entries(const History& h) {
  std::wstring s;
  for (int32_t i = 0; i < h.Count(); ++i) s += std::wstring(i ? L"," : L"") + h.Entry(i);
  return s;
}

TEST(History, AddMovesCutsAndDrops) {
  History h(127);
  EXPECT_EQ(h.Current(), -1);
  EXPECT_EQ(h.CurrentEntry(), nullptr);
  h.Add(L"a");
  h.Add(L"b");
  h.Add(L"c");
  h.Add(L"a");  // the same text again: one entry, moved to the newest place
  EXPECT_EQ(Entries(h), L"b,c,a");
  EXPECT_EQ(h.Current(), 2);
  EXPECT_STREQ(h.CurrentEntry(), L"a");
  for (int i = 0; i < 13; ++i) h.Add(std::to_wstring(i).c_str());
  EXPECT_EQ(h.Count(), 15);
  EXPECT_STREQ(h.Entry(0), L"c");  // the sixteenth distinct text dropped "b"
  EXPECT_STREQ(h.CurrentEntry(), L"12");
  h.Add(L"c");
  EXPECT_EQ(h.Count(), 15);
  EXPECT_STREQ(h.Entry(0), L"a");
  EXPECT_STREQ(h.CurrentEntry(), L"c");

  std::wstring longText(200, L'x');
  h.Add(longText.c_str());
  EXPECT_EQ(std::wstring(h.CurrentEntry()), longText.substr(0, 127));
  h.Add((longText + L"y").c_str());  // equal once cut: moved, not added
  EXPECT_EQ(h.Count(), 15);
  EXPECT_STREQ(h.Entry(13), L"c");

  History go(31);
  go.Add(longText.c_str());
  EXPECT_EQ(wcslen(go.CurrentEntry()), 31u);
}

TEST(GoTo, ReadDigits) {
  struct {
    const wchar_t* text;
    bool ok;
    int32_t value;
  } cases[] = {{L"12", true, 12},         {L"0", true, 0},           {L"12a", false, 0},
               {L"", false, 0},           {L" 12", false, 0},        {L"-3", false, 0},
               {L"2147483647", true, 2147483647}, {L"2147483648", false, 0},
               {L"99999999999", false, 0}, {L"4294967308", false, 0}};
  for (const auto& c : cases) {
    int32_t v = -1;
    EXPECT_EQ(ReadDigits(c.text, &v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
}

std::wstring Raw(const wchar_t* pretty) {
  // "[" = 11, "|" = 14, "]" = 15 in the fixtures below.
  std::wstring s = pretty;
  for (auto& c : s) c = c == L'[' ? FieldStart : c == L'|' ? FieldSeparator : c == L']' ? FieldEnd : c;
  return s;
}
std::wstring Pretty(std::wstring s) {
  for (auto& c : s) c = c == FieldStart ? L'[' : c == FieldSeparator ? L'|' : c == FieldEnd ? L']' : c;
  return s;
}

TEST(Hyper, CheckMarkup) {
  const wchar_t* good[] = {L"", L"plain", L"x[ab|d1]y", L"[a|]\n[b|c]", L"[|]"};
  const wchar_t* bad[] = {L"[a[b|c]]", L"a|b]", L"[a]", L"[a|b", L"[a\n|b]", L"[a|b\n]",
                          L"]", L"[a|b|c]"};
  for (const wchar_t* t : good) {
    std::wstring r = Raw(t);
    EXPECT_TRUE(CheckMarkup(r.data(), r.size())) << Pretty(r);
  }
  for (const wchar_t* t : bad) {
    std::wstring r = Raw(t);
    EXPECT_FALSE(CheckMarkup(r.data(), r.size())) << Pretty(r);
  }
}

TEST(Hyper, ColumnsAndFields) {
  std::wstring r = Raw(L"x[abc|d1]y");
  MarkupLine m(r.data(), static_cast<int32_t>(r.size()));
  EXPECT_EQ(m.VisibleLength(), 5);
  EXPECT_EQ(m.Stripped(), L"xabcy");
  const int32_t rawOf[] = {0, 1, 3, 4, 5, 10, 11};  // columns 1..6
  for (int32_t col = 1; col <= 6; ++col) {
    EXPECT_EQ(m.RawIndexOf(col), rawOf[col]) << col;
    EXPECT_EQ(m.VisibleColumnOf(rawOf[col]), col) << col;
  }
  EXPECT_EQ(m.VisibleColumnOf(7), 5);  // inside the data: behind "abc"
  const int32_t field[] = {0, 0, 2, 1, 1, 0, 0};
  for (int32_t col = 1; col <= 6; ++col) EXPECT_EQ(m.FieldAtColumn(col, true), field[col]) << col;
  EXPECT_EQ(m.FieldAtColumn(2, false), 1);
  EXPECT_TRUE(m.RangeClearOfFields(1, 1));
  EXPECT_FALSE(m.RangeClearOfFields(1, 5));
  EXPECT_FALSE(m.RangeClearOfFields(5, 6));  // column 6 holds nothing
  std::wstring text, data;
  ASSERT_TRUE(m.FieldTexts(3, &text, &data));
  EXPECT_EQ(text, L"abc");
  EXPECT_EQ(data, L"d1");
  EXPECT_FALSE(m.FieldTexts(1, &text, &data));
}

TEST(Hyper, CreateField) {
  struct {
    const wchar_t* line;
    int32_t from, to;
    bool made;
    const wchar_t* after;
  } cases[] = {
      {L"xabcx", 2, 5, true, L"x[abc|d1]x"},
      {L"xabcx", 5, 2, true, L"x[abc|d1]x"},
      {L"abc", 1, 4, true, L"[abc|d1]"},
      {L"abc", 2, 2, false, L"abc"},
      {L"x[ab|d]y", 1, 3, false, L"x[ab|d]y"},     // overlaps the field
      {L"x[ab|d]yz", 4, 6, true, L"x[ab|d][yz|d1]"},
  };
  for (const auto& c : cases) {
    std::wstring r = Raw(c.line);
    MarkupLine m(r.data(), static_cast<int32_t>(r.size()));
    EXPECT_EQ(m.CreateField(c.from, c.to, L"d1"), c.made) << c.line;
    EXPECT_EQ(Pretty(m.Raw()), c.after) << c.line;
  }
}

TEST(Hyper, DeleteAndRemove) {
  struct {
    const wchar_t* line;
    int32_t from, to;
    bool done;
    const wchar_t *after, *deleted;
  } cases[] = {
      {L"x[abc|d]y", 3, 4, false, L"x[abc|d]y", L""},   // starts inside the field
      {L"x[abc|d]y", 2, 3, false, L"x[abc|d]y", L""},   // ends inside the field
      {L"x[abc|d]y", 2, 4, true, L"xy", L"[abc|d]"},     // exactly the field's text
      {L"x[abc|d]y", 1, 5, true, L"", L"x[abc|d]y"},
      {L"x[abc|d]y", 1, 1, true, L"[abc|d]y", L"x"},
      {L"x[abc|d]y", 5, 9, true, L"x[abc|d]", L"y"},     // the end past the line
      {L"xy", 7, 9, true, L"xy", L""},                   // nothing there
  };
  for (const auto& c : cases) {
    std::wstring r = Raw(c.line), deleted;
    MarkupLine m(r.data(), static_cast<int32_t>(r.size()));
    EXPECT_EQ(m.DeleteVisibleRange(c.from, c.to, &deleted), c.done) << c.line << c.from;
    EXPECT_EQ(Pretty(m.Raw()), c.after) << c.line << c.from;
    if (c.done) {
      EXPECT_EQ(Pretty(deleted), c.deleted) << c.line << c.from;
    }
  }
  std::wstring r = Raw(L"a[bc|data]d[e|f]");
  MarkupLine m(r.data(), static_cast<int32_t>(r.size()));
  EXPECT_FALSE(m.RemoveFieldMarkup(1));
  EXPECT_TRUE(m.RemoveFieldMarkup(3));
  EXPECT_EQ(Pretty(m.Raw()), L"abcd[e|f]");
  EXPECT_TRUE(m.RemoveFieldMarkup(5));
  EXPECT_EQ(m.Raw(), L"abcde");
  EXPECT_FALSE(m.HasFields());
}

TEST(Hyper, OpenFieldIsPlainText) {
  std::wstring r = Raw(L"a[bc");
  MarkupLine m(r.data(), static_cast<int32_t>(r.size()));
  EXPECT_FALSE(m.HasFields());
  EXPECT_EQ(m.VisibleLength(), 4);
  EXPECT_FALSE(m.RemoveFieldMarkup(3));
}

TEST(TextUtil, ExpandTabs) {
  struct {
    const wchar_t *in, *out;
    int32_t tab;
    bool found;
  } cases[] = {{L"\t\tx", L"        x", 4, true},
               {L"ab\tc", L"ab  c", 4, true},
               {L"abcd\t", L"abcd    ", 4, true},
               {L"a\n\tb", L"a\n    b", 4, true},       // counted from the line feed
               {L"x\ty\tz", L"x       y       z", 8, true},
               {L"plain", L"plain", 4, false},
               {L"", L"", 4, false}};
  for (const auto& c : cases) {
    bool found = !c.found;
    EXPECT_EQ(ExpandTabsText(c.in, wcslen(c.in), c.tab, &found), c.out) << c.in;
    EXPECT_EQ(found, c.found) << c.in;
  }
}

TEST(TextUtil, KeptLength) {
  EXPECT_EQ(KeptLength(L"ab \t ", 5), 2);
  EXPECT_EQ(KeptLength(L" \t ", 3), 0);
  EXPECT_EQ(KeptLength(L"a b", 3), 3);
  EXPECT_EQ(KeptLength(L"", 0), 0);
}

}  // namespace
