// The colouring lexer on lines without a window: tokens of every colour
// code, keywords of the built-in lists, comments across lines, the
// visible-token and markup modes and the run limit of a huge line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "colourtest.h"
#include "dictionary.h"
#include "lexer.h"
#include "qel6kernel.h"
#include "paintruns.h"
#include "record.h"

using namespace QEL_EDIT::detail;
using colourtest::RunsText;
namespace K = Qel::RunTime::Kernel;

namespace {

std::vector<ColourRun> buffer(kRunCapacity);

// A dictionary of a scheme's built-in list, as an editor builds it.
Dictionary* Keywords(int32_t scheme) {
  static Dictionary* dicts[5] = {};
  if (!dicts[scheme]) {
    dicts[scheme] = DictCreate(2);
    int32_t n = 0;
    const KeywordEntry* list = SchemeKeywords(scheme, &n);
    for (int32_t i = 0; i < n; ++i)
      DictInsert(dicts[scheme], list[i].word, static_cast<int32_t>(wcslen(list[i].word)), &list[i].code,
                 list[i].exact);
  }
  return dicts[scheme];
}

std::string Colour(const wchar_t* text, int32_t scheme = 0, uint32_t* state = nullptr, bool keywords = true) {
  uint32_t s = state ? *state : 0;
  LexColour(text, scheme, keywords ? Keywords(scheme) : nullptr, buffer.data(), &s);
  if (state) *state = s;
  return RunsText(buffer.data());
}

struct Case {
  const wchar_t* text;
  int32_t scheme;
  const char* runs;
};

TEST(Lexer, TokensOfEveryCode) {
  const Case cases[] = {
      {L"abc_1 Name _x _", 0, "5:1 1:15 4:2 1:15 2:21 1:15 1:1"},
      {L"Name _x", 1, "4:1 1:15 2:1"},  // upper-case and '_' names only in scheme 0
      {L"\"a\\\"b\" x", 0, "6:3 1:15 1:1"},
      {L"\"abc", 0, "4:4"},
      {L"\"ab\\", 0, "4:4"},
      {L"'a' '\\n' '' '\\u12aB' '\\'' 'ab", 0, "3:5 1:15 4:5 1:15 2:5 1:15 8:5 1:15 4:5 1:15 2:5 1:1"},
      {L"'", 0, "1:4"},
      {L"'\\q'", 0, "2:5 1:1 1:4"},
      {L"@\"a\\b\" @\"ab", 0, "6:3 1:15 4:4"},
      {L"@x+", 0, "2:0 1:0"},
      {L"0x1F 0X 0x 0o17 0o 08 0 12", 0, "4:6 1:15 2:6 1:15 2:6 1:15 4:9 1:15 2:9 1:15 1:7 1:7 1:15 1:7 1:15 2:7"},
      {L"1.25 0.5 .5 1e5 1E+10 2.5e-3", 0, "4:8 1:15 3:8 1:15 2:8 1:15 3:8 1:15 5:8 1:15 6:8"},
      {L"1.5e+ 3e", 0, "5:4 1:15 2:4"},
      {L"123.x", 0, "3:7 1:0 1:1"},
      {L"( ) [ ] ;", 0, "1:16 1:15 1:16 1:15 1:17 1:15 1:17 1:15 1:18"},
      {L"\t  x", 0, "3:15 1:1"},
      {L"a:-b", 0, "1:1 2:0 1:1"},
      {L"a/b", 0, "1:1 1:0 1:1"},
      {L"% to the end", 0, "12:14"},
      {L"%a", 1, "1:0 1:1"},
      {L"x /* c */ y", 0, "1:1 1:15 7:14 1:15 1:1"},
      {L"/* c *% d", 0, "7:14 1:15 1:1"},  // in scheme 0 '%' closes like '/'
      {L"a\x0Bvis\x0Ehid\x0F b", 0, "1:1 3:19 1:15 1:1"},
  };
  for (const Case& c : cases) EXPECT_EQ(Colour(c.text, c.scheme), c.runs) << std::string(c.text, c.text + wcslen(c.text));
}

TEST(Lexer, Keywords) {
  const Case cases[] = {
      {L"class Class", 0, "5:10 1:15 5:2"},  // scheme 0 keywords are exact
      {L"class CLASS Class", 1, "5:10 1:15 5:10 1:15 5:10"},
      {L"#include", 0, "8:11"},
      {L"#foo", 0, "1:0 3:1"},
      {L"#Foo #class", 0, "1:0 3:2 1:15 1:0 5:10"},
      {L"x@short", 0, "1:1 6:13"},
      {L"or to procedure", 0, "2:12 1:15 2:12 1:15 9:12"},
      {L"\"class\" % class", 0, "7:3 1:15 7:14"},
      {L"STUB heapsize", 2, "4:10 1:15 8:10"},
      {L"class", 4, "5:1"},
  };
  for (const Case& c : cases) EXPECT_EQ(Colour(c.text, c.scheme), c.runs) << std::string(c.text, c.text + wcslen(c.text));
  EXPECT_EQ(Colour(L"#include class", 0, nullptr, false), "1:0 7:1 1:15 5:1");
}

TEST(Lexer, BlockCommentAcrossLines) {
  uint32_t state = 0;
  EXPECT_EQ(Colour(L"a /* open", 0, &state), "1:1 1:15 7:14");
  EXPECT_EQ(state, 1u | kCommentOpens);
  EXPECT_EQ(Colour(L"still */ x", 0, &state), "8:14 1:15 1:1");
  EXPECT_EQ(state, kCommentCloses);
  EXPECT_EQ(Colour(L"y", 0, &state), "1:1");
  EXPECT_EQ(state, 0u);
  // An unterminated string does not carry over.
  EXPECT_EQ(Colour(L"\"abc", 0, &state), "4:4");
  EXPECT_EQ(Colour(L"abc", 0, &state), "3:1");
  // Inside a comment '/*' marks an opening again without nesting.
  state = 1;
  EXPECT_EQ(Colour(L"a /* b */ c", 0, &state), "9:14 1:15 1:1");
  EXPECT_EQ(state, kCommentOpens | kCommentCloses);
  // A whole comment line stays inside.
  state = 1;
  EXPECT_EQ(Colour(L"", 0, &state), "");
  EXPECT_EQ(state, 1u);
  // '*/' outside a comment marks a close and is other text.
  state = 0;
  EXPECT_EQ(Colour(L"a*/b", 0, &state), "1:1 2:0 1:1");
  EXPECT_EQ(state, kCommentCloses);
  // In scheme 0 '%' closes a comment; in scheme 1 it does not.
  state = 1;
  EXPECT_EQ(Colour(L"x *% y", 0, &state), "4:14 1:15 1:1");
  state = 1;
  EXPECT_EQ(Colour(L"x *% y", 1, &state), "6:14");
  EXPECT_EQ(state & kInComment, 1u);
}

TEST(Lexer, VisibleAndMarkupTokens) {
  const wchar_t* line = L"a_1 \x0Bvis\x0Ehid\x0F $ff $ +-";
  VisibleTokens(line, buffer.data());
  EXPECT_EQ(RunsText(buffer.data()), "3:1 1:15 3:19 1:15 3:1 1:15 1:0 1:15 2:0");
  EXPECT_TRUE(MarkupTokens(line, buffer.data()));
  EXPECT_EQ(RunsText(buffer.data()), "3:0 1:15 1:101 3:19 1:102 3:100 1:103 1:15 3:0 1:15 1:0 1:15 2:0");
  EXPECT_FALSE(MarkupTokens(L"plain text", buffer.data()));
  EXPECT_EQ(RunsText(buffer.data()), "5:0 1:15 4:0");
  // An empty field text writes no run.
  VisibleTokens(L"x\x0B\x0E" L"d\x0Fy", buffer.data());
  EXPECT_EQ(RunsText(buffer.data()), "1:1 1:1");
}

TEST(Lexer, HugeLineStopsAtTheRunLimit) {
  std::wstring line;
  for (int i = 0; i < 500000; ++i) line += L"a ";  // 1 MB
  uint32_t state = 0;
  LexColour(line.c_str(), 0, Keywords(0), buffer.data(), &state);
  int n = 0, total = 0;
  while (buffer[n].length) total += buffer[n++].length;
  EXPECT_EQ(n, kMaxLexRuns + 1);
  EXPECT_EQ(total, n);
  // Stopping early inside ordinary text leaves the next line outside a comment.
  EXPECT_EQ(state, 0u);
  // The rest of the line is painted as fill.
  PaintRuns(buffer.data(), 0, static_cast<int32_t>(line.size()) + 1, 0, 0);
  n = 0;
  while (buffer[n].length) ++n;
  ASSERT_GT(n, 1);
  EXPECT_EQ(buffer[n - 1].code, cc_fill);
}

TEST(Lexer, ColourLineUsesTheEditorsSchemeAndKeywords) {
  uint8_t* mark = K::Memory::MarkGStack();
  RecordParams p{};
  p.windowType = 2;
  p.title = L"main.pro";
  EditorRecord* ed = NewRecord(p);
  ASSERT_EQ(ed->colorScheme, 0);
  ASSERT_NE(ed->colorBuffer, nullptr);
  auto* runs = static_cast<ColourRun*>(ed->colorBuffer);
  uint32_t state = 0;
  EXPECT_EQ(ColourLine(ed, L"class Foo", runs, &state, true), 1);
  EXPECT_EQ(RunsText(runs), "5:10 1:15 3:2");
  EXPECT_EQ(ColourLine(ed, L"class Foo", runs, &state, false), 1);
  EXPECT_EQ(RunsText(runs), "5:1 1:15 3:2");
  ed->colorScheme = 1;
  BuildKeywordTable(ed);
  ColourLine(ed, L"Dialog Foo", runs, &state, true);
  EXPECT_EQ(RunsText(runs), "6:10 1:15 3:1");
  // Paint runs of a line: coloured in the plain layout, not when wrapping.
  state = 0;
  EXPECT_EQ(RunsText(LinePaintRuns(ed, L"Dialog 12", 10, 8, 10, &state)), "6:10 1:15 2:20");
  ed->wrappable = 1;
  EXPECT_EQ(RunsText(LinePaintRuns(ed, L"Dialog 12", 10, 8, 10, &state)), "7:0 2:20");
  ed->hyperMode = 1;
  EXPECT_EQ(RunsText(LinePaintRuns(ed, L"a \x0B" L"b\x0E" L"c\x0F", 7, 0, 0, &state)), "2:0 1:19 1:200");
  ed->wrappable = 0;
  ed->hyperMode = 0;
  DeleteRecord(ed);
  K::Memory::ReleaseGStack(mark);
}

TEST(Lexer, UserKeywords) {
  uint8_t* mark = K::Memory::MarkGStack();
  const wchar_t* words[] = {L"alpha", L"abcdefghijklmnopqrst", L"Beta"};
  QEL_KWI::slist_struct cells[4] = {};
  for (int i = 0; i < 3; ++i) cells[i] = {QEL_KWI::ListCons, words[i], &cells[i + 1]};
  cells[3].functor = QEL_KWI::ListNil;
  SetUserKeywords(cells, true);
  int32_t n = 0;
  const KeywordEntry* list = SchemeKeywords(3, &n);
  EXPECT_EQ(n, 3);
  EXPECT_EQ(std::wstring(list[1].word), L"abcdefghijklmn");
  RecordParams p{};
  p.windowType = 2;
  EditorRecord* ed = NewRecord(p);
  ed->colorScheme = 3;
  BuildKeywordTable(ed);
  auto* runs = static_cast<ColourRun*>(ed->colorBuffer);
  uint32_t state = 0;
  ColourLine(ed, L"alpha ALPHA Beta abcdefghijklmn", runs, &state, true);
  EXPECT_EQ(RunsText(runs), "5:10 1:15 5:1 1:15 4:10 1:15 14:10");
  SetUserKeywords(nullptr, false);
  SchemeKeywords(3, &n);
  EXPECT_EQ(n, 0);
  DeleteRecord(ed);
  K::Memory::ReleaseGStack(mark);
}

}  // namespace

namespace {

std::vector<uint32_t> States(EditorRecord* ed) {
  std::vector<uint32_t> v;
  for (int32_t n = 1; n <= ed->LineCount(); ++n) v.push_back(ed->store.GetLineState(ed->store.FindLine(n)));
  return v;
}

TEST(LineStates, StoredAtLoadAndUpdatedUntilTheySettle) {
  uint8_t* mark = K::Memory::MarkGStack();
  RecordParams p{};
  p.windowType = 2;
  p.title = L"t.pro";
  EditorRecord* ed = NewRecord(p);
  ed->visibleRows = 10;
  ed->lineHeight = 16;
  ASSERT_EQ(K::RunTrapped([&] { LoadPlainText(ed, L"a /* x\nb\nc */ d\ne"); }), 0u);
  EXPECT_EQ(States(ed), (std::vector<uint32_t>{5, 1, 8, 0}));
  EXPECT_EQ(StateBefore(ed, 1), 0u);
  EXPECT_EQ(StateBefore(ed, 3), 1u);
  // Stale states are redone from the first line until one comes out as stored.
  for (int32_t n = 1; n <= 3; ++n) ed->store.SetLineState(ed->store.FindLine(n), 0);
  ed->store.SetLineState(ed->store.FindLine(4), 0);
  UpdateLineStates(ed, 1);
  EXPECT_EQ(States(ed), (std::vector<uint32_t>{5, 1, 8, 0}));
  for (int32_t n = 1; n <= 4; ++n) ed->store.SetLineState(ed->store.FindLine(n), 0);
  StoreAllLineStates(ed);
  EXPECT_EQ(States(ed), (std::vector<uint32_t>{5, 1, 8, 0}));
  // A line whose state is unchanged ends the update: the line below it is not redone.
  ed->store.SetLineState(ed->store.FindLine(4), 7);
  UpdateLineStates(ed, 2);
  EXPECT_EQ(States(ed), (std::vector<uint32_t>{5, 1, 8, 7}));
  DeleteRecord(ed);
  K::Memory::ReleaseGStack(mark);
}

}  // namespace
