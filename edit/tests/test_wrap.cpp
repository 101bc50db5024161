// The word-wrap layout without a window: where a line breaks, loading rows
// and flattening them back, and laying the text out again at a new width.
// Without a window every character is charWidth (8) pixels wide.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "records.h"
#include "wrap.h"

using namespace edittest;

namespace {

class Wrap : public edittest::Records {
 protected:
  // A wrapping editor whose rows are `chars` characters wide.
  EditorRecord* Make(const wchar_t* text, int32_t chars, bool hyper = false) {
    RecordParams p{};
    p.windowType = 2;
    p.wrap = 1;
    p.wrappable = 1;
    p.hyperMode = hyper;
    EditorRecord* ed = Keep(NewRecord(p));
    ed->visibleRows = 4;
    ed->lineHeight = 16;
    ed->clientWidth = 100000;
    ed->wrapWidth = chars * ed->charWidth + ed->leftMargin;
    EXPECT_TRUE(LoadRows(ed, text, RowWidth(ed)));
    return ed;
  }
  static std::vector<std::wstring> Rows(EditorRecord* ed) {
    std::vector<std::wstring> rows;
    for (int32_t n = 1; n <= ed->LineCount(); ++n) {
      uint8_t* m = K::Memory::MarkGStack();
      LineText t = ReadLineText(ed, n);
      rows.push_back(std::wstring(t.text, t.length) + (t.hardEnd ? L"|" : L"~"));
      K::Memory::ReleaseGStack(m);
    }
    return rows;
  }
};

TEST_F(Wrap, WhereALineBreaks) {
  const std::wstring x1500(1500, L'x'), aThenRun = L"a " + std::wstring(1000, L'y');
  struct Case {
    std::wstring text;
    int32_t chars;
    uint32_t row;
  } cases[] = {
      {L"", 5, 0},
      {L"aaa bbb", 20, 7},            // fits
      {L"aaa bbb ccc", 6, 4},         // blanks stay at the row's end
      {L"aaa   bbb", 4, 6},           // the whole blank run
      {L"aaa bbb ccc", 8, 8},         // two words fit, the third goes
      {L"abcdefghijkl mn", 5, 13},    // a word wider than the row stays whole
      {L"verylongword", 3, 12},       // and one with no blank is not split
      {L"aaa ", 2, 4},                // a blank run at the end is no break
      {L"aa\tbb cc", 5, 3},           // a TAB counts to its stop
      {x1500, 5000, 1000},            // 1,000-character runs break
      {aThenRun, 5000, 2},            // before such a run
  };
  EditorRecord* ed = Make(L"", 10);
  for (const Case& c : cases) {
    const int32_t w = c.chars * ed->charWidth;
    EXPECT_EQ(FindBreak(ed, c.text.c_str(), static_cast<uint32_t>(c.text.size()), w), c.row)
        << std::string(c.text.begin(), c.text.begin() + std::min<size_t>(c.text.size(), 20)) << " at " << c.chars;
  }
}

TEST_F(Wrap, AHyperFieldIsNeverSplit) {
  EditorRecord* ed = Make(L"", 4, true);
  const std::wstring t = L"ab \x0B" L"c d e\x0E" L"x y\x0F" L" fg";
  // The field's visible text "c d e" is wider than the row but stays whole.
  EXPECT_EQ(FindBreak(ed, t.c_str(), static_cast<uint32_t>(t.size()), 4 * ed->charWidth), 3u);
  EXPECT_EQ(FindBreak(ed, t.c_str() + 3, static_cast<uint32_t>(t.size() - 3), 4 * ed->charWidth), t.size() - 3 - 2);
}

TEST_F(Wrap, RowsLoadAndFlattenBack) {
  const wchar_t* text = L"aaa bbb ccc\n\nddd eee\r";
  EditorRecord* ed = Make(text, 6);
  EXPECT_EQ(Rows(ed), (std::vector<std::wstring>{L"aaa ~", L"bbb ~", L"ccc|", L"|", L"ddd ~", L"eee |"}));
  EXPECT_EQ(Text(ed), L"aaa bbb ccc\n\nddd eee ");  // CR stored as a space
  uint32_t n;
  wchar_t* flat = FlattenText(ed, &n);
  EXPECT_EQ(std::wstring(flat, n), Text(ed));
  K::Memory::ReleaseHeap(flat);
  // Soft ends count nothing in text positions: "ddd" starts at 14.
  int32_t line, col;
  ASSERT_TRUE(ed->store.LineColOf(14, &line, &col));
  EXPECT_EQ(line, 5);
  EXPECT_EQ(col, 1);
  EXPECT_EQ(ed->store.Check(), nullptr);
}

TEST_F(Wrap, EmptyTextAndWrapOffGiveOneRowALine) {
  EditorRecord* ed = Make(L"", 6);
  EXPECT_EQ(Rows(ed), std::vector<std::wstring>{L"|"});
  EditorRecord* off = Make(L"a\nb", 6);
  off->wrapWidth = 32000;
  ASSERT_TRUE(RelayoutText(off));
  EXPECT_EQ(Rows(off), (std::vector<std::wstring>{L"a|", L"b|"}));
}

TEST_F(Wrap, RelayoutKeepsTheTextModifiedAndTheCaret) {
  EditorRecord* ed = Make(L"one two three four five\nsix seven", 10);
  const std::wstring before = Text(ed);
  BringIntoView(ed, 3, 3, 1);  // "four five": the caret before the "u"
  const uint32_t pos = ed->store.PositionOf(ed->CurrentLine(), ed->caretCol);
  ed->modified = 1;
  for (int32_t chars : {4, 30, 7}) {
    ed->wrapWidth = chars * ed->charWidth + ed->leftMargin;
    ASSERT_TRUE(RelayoutText(ed));
    EXPECT_EQ(Text(ed), before) << chars;
    EXPECT_EQ(ed->modified, 1);
    EXPECT_EQ(ed->store.PositionOf(ed->CurrentLine(), ed->caretCol), pos) << chars;
    EXPECT_EQ(ed->undoRing.cleanIndex, NoClean);
  }
  // Wide enough for the whole line: one row per line.
  ed->wrapWidth = 30 * ed->charWidth + ed->leftMargin;
  ASSERT_TRUE(RelayoutText(ed));
  EXPECT_EQ(ed->LineCount(), 2);
  ed->modified = 0;
  ed->wrapWidth = 4 * ed->charWidth + ed->leftMargin;
  ASSERT_TRUE(RelayoutText(ed));
  EXPECT_EQ(ed->modified, 0);
  EXPECT_NE(ed->undoRing.cleanIndex, NoClean);
}

// Editing a soft row keeps the logical line whole: typing keeps the row's
// soft end, delete at a soft end and backspace after one remove a
// character (never the break), and each is undone to the loaded text.
TEST_F(Wrap, CommandsOnSoftRowsAddOrRemoveNoLineBreak) {
  const wchar_t* loaded = L"aaa bbb ccc";
  struct Case {
    const char* name;
    int32_t line, col;
    void (*command)(EditorRecord*);
    const wchar_t* after;
  } cases[] = {
      {"type", 1, 2, [](EditorRecord* ed) { TypeChar(ed, L'X', true, true); }, L"aXaa bbb ccc"},
      {"overwrite", 2, 4, [](EditorRecord* ed) { TypeChar(ed, L'X', false, true); }, L"aaa bbbXccc"},
      {"delete at soft end", 1, 5, [](EditorRecord* ed) { DeleteChar(ed, true); }, L"aaa bb ccc"},
      {"backspace after soft end", 2, 1, [](EditorRecord* ed) { BackspaceChar(ed, true); }, L"aaabbb ccc"},
      {"enter", 2, 2, [](EditorRecord* ed) { NewLine(ed, true, false, true); }, L"aaa b\nbb ccc"},
  };
  for (const Case& c : cases) {
    EditorRecord* ed = Make(loaded, 6);
    ASSERT_EQ(ed->LineCount(), 3);
    BringIntoView(ed, c.line, c.col, 1);
    ASSERT_EQ(K::RunTrapped([&] { c.command(ed); }), 0u) << c.name;
    EXPECT_EQ(Text(ed), c.after) << c.name;
    EXPECT_EQ(K::RunTrapped([&] { UndoStep(ed); }), 0u) << c.name;
    EXPECT_EQ(Text(ed), loaded) << c.name;
  }
}

// Selections over soft rows: copied without a line break at soft ends,
// deleted into one row keeping the last row's end, and undone.
TEST_F(Wrap, SelectionsAcrossSoftRows) {
  const wchar_t* loaded = L"aaa bbb ccc\nddd";
  EditorRecord* ed = Make(loaded, 6);  // "aaa ~", "bbb ~", "ccc|", "ddd|"
  ed->selection = {1, 3, 1, 2, 3};      // from "a|a" in row 1 to "c|cc" in row 3
  std::wstring copied;
  ASSERT_EQ(K::RunTrapped([&] { copied = TakeSelection(ed, false, false, false, false); }), 0u);
  EXPECT_EQ(copied, L"a bbb c");
  ed->selection = {1, 3, 1, 2, 4};  // on into the next logical line
  ASSERT_EQ(K::RunTrapped([&] { copied = TakeSelection(ed, false, false, false, false); }), 0u);
  EXPECT_EQ(copied, L"a bbb ccc\r\nd");
  ASSERT_EQ(K::RunTrapped([&] { TakeSelection(ed, true, true, false, true); }), 0u);
  EXPECT_EQ(Text(ed), L"aadd");
  EXPECT_EQ(K::RunTrapped([&] { UndoStep(ed); }), 0u);
  EXPECT_EQ(Text(ed), loaded);
  // Pasting a line break into a soft row: the row with the old tail stays soft.
  BringIntoView(ed, 1, 2, 1);
  ed->selection.active = 0;
  ASSERT_EQ(K::RunTrapped([&] { InsertText(ed, false, false, L"1\r\n2"); }), 0u);
  EXPECT_EQ(Text(ed), L"a1\n2aa bbb ccc\nddd");
}

// Typing that makes a row wider than the wrap width lays the text out again;
// the caret keeps its place in the text.
TEST_F(Wrap, TypingPastTheWidthBreaksTheRowAgain) {
  EditorRecord* ed = Make(L"ab cd", 6);
  ASSERT_EQ(ed->LineCount(), 1);
  BringIntoView(ed, 1, 6, 1);
  for (wchar_t c : std::wstring(L" efgh"))
    ASSERT_EQ(K::RunTrapped([&] { TypeChar(ed, c, true, true); }), 0u);
  EXPECT_EQ(Text(ed), L"ab cd efgh");
  EXPECT_EQ(Rows(ed), (std::vector<std::wstring>{L"ab cd ~", L"efgh|"}));
  EXPECT_EQ(ed->store.PositionOf(ed->CurrentLine(), ed->caretCol), 11u);
  EXPECT_EQ(ed->modified, 1);
}

}  // namespace
