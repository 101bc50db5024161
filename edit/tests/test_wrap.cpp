// The word-wrap layout without a window: where a line breaks, loading rows
// and flattening them back, and laying the text out again at a new width.
// Without a window every character is charWidth (8) pixels wide.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "hyper.h"
#include "records.h"
#include "wrap.h"

using namespace edittest;

namespace {

class Wrap : public edittest::Records {
 protected:
  // A wrapping editor whose rows are `chars` characters wide.
  EditorRecord* Make(const wchar_t* text, int32_t chars, bool hyper = false) {
    return Keep(NewWrappedRecord(text, chars, hyper));
  }
  static std::vector<std::wstring> Rows(EditorRecord* ed) { return RowTexts(ed); }
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

// Typing that makes a row wider than the wrap width breaks it again; the
// caret keeps its place in the text.
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

// Every edit of a wrapping editor lays out again only the logical line it
// changed, and leaves the rows as a fresh load of the new text at the same
// width would; the undo ring is kept: an earlier entry and the edit's own
// go back to the loaded text and forward again.
TEST_F(Wrap, EditsLayTheirLineOutAgainAndKeepTheRing) {
  const wchar_t* loaded = L"aaa bbb ccc ddd eee\n  ff gg hh\nlast line";
  using Command = void (*)(EditorRecord*);
  struct Case {
    const char* name;
    int32_t row, col;
    Command command;
  } cases[] = {
      {"type a word", 1, 5, [](EditorRecord* ed) { for (wchar_t c : std::wstring(L"xyzzy ")) TypeChar(ed, c, true, true); }},
      {"blank splits a word", 2, 2, [](EditorRecord* ed) { TypeChar(ed, L' ', true, true); }},
      {"overwrite at a soft end", 1, 5, [](EditorRecord* ed) { TypeChar(ed, L'Q', false, true); }},
      {"delete pulls a word up", 1, 3, [](EditorRecord* ed) { DeleteChar(ed, true); DeleteChar(ed, true); }},
      {"delete joins lines", 3, 6, [](EditorRecord* ed) { DeleteChar(ed, true); }},
      {"backspace joins lines", 4, 1, [](EditorRecord* ed) { BackspaceChar(ed, true); }},
      {"backspace over a soft end", 2, 1, [](EditorRecord* ed) { BackspaceChar(ed, true); }},
      {"enter mid row with indent", 5, 2, [](EditorRecord* ed) { NewLine(ed, true, true, true); }},
      {"enter mid soft row", 2, 2, [](EditorRecord* ed) { NewLine(ed, true, true, true); }},
      {"enter at a soft end", 1, 5, [](EditorRecord* ed) { NewLine(ed, true, false, true); }},
      {"delete first row", 1, 2, [](EditorRecord* ed) { DeleteLine(ed, true); }},
      {"delete middle row", 2, 2, [](EditorRecord* ed) { DeleteLine(ed, true); }},
      {"delete last row", 3, 2, [](EditorRecord* ed) { DeleteLine(ed, true); }},
      {"delete the first row of the last line", 6, 2, [](EditorRecord* ed) { DeleteLine(ed, true); }},
      {"delete to row end", 2, 2, [](EditorRecord* ed) { DeleteToLineEdge(ed, false); }},
      {"delete to row start", 2, 3, [](EditorRecord* ed) { DeleteToLineEdge(ed, true); }},
      {"delete word right", 2, 1, [](EditorRecord* ed) { DeleteWord(ed, true); }},
      {"delete word left", 2, 4, [](EditorRecord* ed) { DeleteWord(ed, false); }},
      {"paste lines", 2, 2, [](EditorRecord* ed) { InsertText(ed, true, false, L"one two three\r\n\r\nfour five six"); }},
      {"cut across rows", 1, 2, [](EditorRecord* ed) {
         ed->selection = {1, 2, 1, 3, 5};
         TakeSelection(ed, true, true, false, true);
       }},
  };
  for (const Case& c : cases) {
    EditorRecord* ed = Make(loaded, 8);
    const std::vector<std::wstring> loadedRows = Rows(ed);
    ASSERT_EQ(loadedRows.size(), 7u) << c.name;
    // An earlier entry in another logical line.
    BringIntoView(ed, 7, 5, 1);
    ASSERT_EQ(K::RunTrapped([&] { TypeChar(ed, L'!', true, true); }), 0u);
    const std::wstring first = Text(ed);
    BringIntoView(ed, c.row, c.col, 1);
    ed->selection.active = 0;
    ASSERT_EQ(K::RunTrapped([&] { c.command(ed); }), 0u) << c.name;
    const std::wstring after = Text(ed);
    EXPECT_NE(after, first) << c.name;
    EditorRecord* fresh = Make(after.c_str(), 8);
    EXPECT_EQ(Rows(ed), Rows(fresh)) << c.name;
    EXPECT_EQ(ed->store.Check(), nullptr) << c.name;
    EXPECT_GE(ed->undoRing.undoCount, 2) << c.name;
    // Back to the loaded text and rows, then forward again.
    while (ed->undoRing.undoCount > 0) ASSERT_EQ(K::RunTrapped([&] { UndoStep(ed); }), 0u) << c.name;
    EXPECT_EQ(Text(ed), loaded) << c.name;
    EXPECT_EQ(Rows(ed), loadedRows) << c.name;
    EXPECT_EQ(ed->modified, 0) << c.name;
    while (ed->undoRing.redoCount > 0) ASSERT_EQ(K::RunTrapped([&] { RedoStep(ed); }), 0u) << c.name;
    EXPECT_EQ(Text(ed), after) << c.name;
    EXPECT_EQ(Rows(ed), Rows(fresh)) << c.name;
  }
}

// Long word runs and long blank runs: a line is read only as far as its
// breaks need, yet breaks as a whole load does.
TEST_F(Wrap, LongRunsBreakAsAWholeLoadDoes) {
  const std::wstring text = L"ab " + std::wstring(2500, L'x') + L" cd" + std::wstring(3000, L' ') + L"ef gh ij";
  for (int32_t col : {1, 2, 4, 900}) {
    EditorRecord* ed = Make(text.c_str(), 6);
    BringIntoView(ed, 1, col, 1);
    for (wchar_t c : std::wstring(L"q r")) ASSERT_EQ(K::RunTrapped([&] { TypeChar(ed, c, true, true); }), 0u);
    EXPECT_EQ(Rows(ed), Rows(Make(Text(ed).c_str(), 6))) << col;
    BringIntoView(ed, 2, 1, 1);
    ASSERT_EQ(K::RunTrapped([&] { BackspaceChar(ed, true); }), 0u);
    EXPECT_EQ(Rows(ed), Rows(Make(Text(ed).c_str(), 6))) << col;
    while (ed->undoRing.undoCount > 0) Undo(ed);
    EXPECT_EQ(Text(ed), text) << col;
  }
}

// Delete line removes one row: a whole logical line goes with its break,
// a row of a longer line leaves the rest of the line laid out again.
TEST_F(Wrap, DeleteLineTakesOneRow) {
  struct Case {
    int32_t row;
    const wchar_t* after;
  } cases[] = {
      {1, L"bbb ccc\nx"},   // first row
      {2, L"aaa ccc\nx"},   // middle row
      {3, L"aaa bbb \nx"},  // last row: the row before ends the line
      {4, L"aaa bbb ccc"},   // a one-row line
  };
  for (const Case& c : cases) {
    EditorRecord* ed = Make(L"aaa bbb ccc\nx", 4);  // "aaa ~", "bbb ~", "ccc|", "x|"
    ASSERT_EQ(ed->LineCount(), 4);
    BringIntoView(ed, c.row, 1, 1);
    ASSERT_EQ(K::RunTrapped([&] { DeleteLine(ed, true); }), 0u);
    EXPECT_EQ(Text(ed), c.after) << c.row;
    EXPECT_EQ(Rows(ed), Rows(Make(c.after, 4))) << c.row;
    Undo(ed);
    EXPECT_EQ(Text(ed), L"aaa bbb ccc\nx") << c.row;
  }
}

// Dragging in a wrapping editor: the drop point is a text position, moved
// back by the selection's length when it lies behind it; undo and redo.
TEST_F(Wrap, DragMovesAndCopiesByTextPosition) {
  const wchar_t* loaded = L"aaa bbb ccc ddd\neee fff";
  struct Case {
    bool copy;
    int32_t dropRow, dropCol;
    const wchar_t* after;
  } cases[] = {
      {false, 4, 4, L"aaa ccc dddbbb \neee fff"},  // behind the selection
      {false, 6, 2, L"aaa ccc ddd\neee fbbb ff"},  // in the next logical line
      {false, 1, 1, L"bbb aaa ccc ddd\neee fff"},  // before it
      {true, 4, 4, L"aaa bbb ccc dddbbb \neee fff"},
  };
  for (const Case& c : cases) {
    EditorRecord* ed = Make(loaded, 4);  // "aaa ~", "bbb ~", "ccc ~", "ddd|", "eee ~", "fff|"
    ASSERT_EQ(ed->LineCount(), 6);
    const Selection dragged{1, 1, 2, 1, 3};  // "bbb "
    ASSERT_EQ(K::RunTrapped([&] {
      if (c.copy) CopyDrop(ed, dragged, c.dropRow, c.dropCol, true);
      else MoveDrop(ed, dragged, c.dropRow, c.dropCol, true);
    }), 0u);
    EXPECT_EQ(Text(ed), c.after) << c.dropRow;
    EXPECT_EQ(Rows(ed), Rows(Make(c.after, 4))) << c.dropRow;
    Undo(ed);
    EXPECT_EQ(Text(ed), loaded) << c.dropRow;
    Redo(ed);
    EXPECT_EQ(Text(ed), c.after) << c.dropRow;
  }
}

// A move whose drop point lies on the dragged text (its ends included,
// with a column behind the line taken as the line's end) is refused before
// anything is taken out: text, selection and undo ring stay as they were.
TEST_F(Wrap, MoveDropOntoItsOwnTextChangesNothing) {
  struct Case {
    const wchar_t* text;
    Selection dragged;
    int32_t dropCol;
  } cases[] = {
      {L" ", {1, 1, 1, 2, 1}, 6},       // behind the line: its end, the selection's end
      {L"ab cd", {1, 1, 1, 3, 1}, 3},   // at the selection's end
      {L"ab cd", {1, 3, 1, 1, 1}, 1},   // at its start, ends in either order
      {L"ab cd", {1, 1, 1, 4, 1}, 2},   // inside it
  };
  for (const Case& c : cases) {
    EditorRecord* ed = Make(c.text, 10);
    ed->selection = c.dragged;
    ASSERT_EQ(K::RunTrapped([&] { MoveDrop(ed, c.dragged, 1, c.dropCol, true); }), 0u);
    EXPECT_EQ(Text(ed), c.text) << c.dropCol;
    EXPECT_EQ(ed->undoRing.undoCount, 0) << c.dropCol;
    EXPECT_EQ(ed->selection.anchorCol * 10 + ed->selection.caretCol, c.dragged.anchorCol * 10 + c.dragged.caretCol);
    EXPECT_FALSE(ed->modified) << c.dropCol;
  }
}

}  // namespace

namespace {

// "ab cd ef" with "cd" a field holding "data": visible columns 4 and 5 are
// the field's text, raw characters 4 (its start mark) to 12.
const wchar_t* const HyperLine = L"ab \x0B" L"cd\x0E" L"data\x0F" L" ef";

class HyperWrap : public edittest::Records {
 protected:
  EditorRecord* Make(const wchar_t* text, int32_t chars) { return Keep(NewWrappedRecord(text, chars, true)); }
};

// An end on a field's first character takes the whole field, markup and
// all; an end further inside it takes nothing.
TEST_F(HyperWrap, SelectionEndsAroundFields) {
  const std::wstring field = L"\x0B" L"cd\x0E" L"data\x0F";
  struct Case {
    int32_t c1, c2;
    const wchar_t* taken;  // null: cancelled
    std::wstring left;
  } cases[] = {
      {1, 3, L"ab", L" " + field + L" ef"},
      {1, 4, L"ab ", field + L" ef"},                     // up to the field, not into it
      {4, 6, L"\x0B" L"cd\x0E" L"data\x0F", L"ab  ef"},   // the field whole
      {2, 9, L"b \x0B" L"cd\x0E" L"data\x0F" L" ef", L"a"},
      {7, 9, L"ef", L"ab " + field + L" "},               // behind the field's data
      {5, 7, nullptr, HyperLine},                         // from inside the field
      {1, 5, nullptr, HyperLine},                         // to inside it
  };
  for (const Case& c : cases) {
    EditorRecord* ed = Make(HyperLine, 40);
    ASSERT_EQ(ed->LineCount(), 1);
    ed->selection = {1, c.c2, 1, c.c1, 1};  // ends in either order
    wchar_t* copied = nullptr;
    ASSERT_EQ(K::RunTrapped([&] { copied = TakeSelection(ed, false, false, false, false); }), 0u);
    if (c.taken) {
      ASSERT_TRUE(copied) << c.c1 << "-" << c.c2;
      EXPECT_EQ(std::wstring(copied), c.taken) << c.c1 << "-" << c.c2;
    } else {
      EXPECT_FALSE(copied) << c.c1 << "-" << c.c2;
    }
    ed->selection = {1, c.c1, 1, c.c2, 1};
    ASSERT_EQ(K::RunTrapped([&] { TakeSelection(ed, true, true, false, true); }), 0u);
    EXPECT_EQ(Text(ed), c.left) << c.c1 << "-" << c.c2;
    EXPECT_EQ(ed->store.Check(), nullptr);
    if (c.taken) {
      Undo(ed);
      EXPECT_EQ(Text(ed), HyperLine) << c.c1 << "-" << c.c2;
    }
  }
}

// Across soft rows: the field sits on a row of its own.
TEST_F(HyperWrap, SelectionEndOnAFieldInALaterRow) {
  EditorRecord* ed = Make(HyperLine, 4);
  const std::vector<std::wstring> rows = RowTexts(ed);
  ASSERT_EQ(rows.size(), 3u);
  ASSERT_EQ(rows[1].substr(0, 1), L"\x0B");
  ed->selection = {1, 2, 1, 1, 2};  // from "a|b" to the field's first character
  wchar_t* copied = nullptr;
  ASSERT_EQ(K::RunTrapped([&] { copied = TakeSelection(ed, false, false, false, false); }), 0u);
  ASSERT_TRUE(copied);
  EXPECT_EQ(std::wstring(copied), L"b ");
  ed->selection = {1, 2, 2, 2, 1};  // into the field's text
  ASSERT_EQ(K::RunTrapped([&] { copied = TakeSelection(ed, true, true, false, false); }), 0u);
  EXPECT_FALSE(copied);
  EXPECT_EQ(Text(ed), HyperLine);
}

// A drop onto a field's text changes nothing; a dragged field lands whole.
TEST_F(HyperWrap, DropsAndFields) {
  const std::wstring field = L"\x0B" L"cd\x0E" L"data\x0F";
  struct Case {
    bool copy;
    Selection dragged;
    int32_t dropCol;
    std::wstring after;
  } cases[] = {
      {false, {1, 1, 1, 3, 1}, 4, HyperLine},  // onto the field's first character
      {false, {1, 1, 1, 3, 1}, 5, HyperLine},
      {true, {1, 1, 1, 3, 1}, 5, HyperLine},
      {false, {1, 1, 1, 3, 1}, 7, L" " + field + L" abef"},
      {false, {1, 4, 1, 6, 1}, 1, field + L"ab  ef"},  // the field moved whole
      {false, {1, 1, 1, 4, 1}, 8, field + L" eab f"},  // the selection ends at the field
      {true, {1, 4, 1, 6, 1}, 8, L"ab " + field + L" e" + field + L"f"},
  };
  for (const Case& c : cases) {
    EditorRecord* ed = Make(HyperLine, 40);
    ASSERT_EQ(K::RunTrapped([&] {
      if (c.copy) CopyDrop(ed, c.dragged, 1, c.dropCol, true);
      else MoveDrop(ed, c.dragged, 1, c.dropCol, true);
    }), 0u);
    EXPECT_EQ(Text(ed), c.after) << c.dropCol;
    EXPECT_EQ(ed->store.Check(), nullptr);
    if (c.after != HyperLine) {
      Undo(ed);
      EXPECT_EQ(Text(ed), HyperLine) << c.dropCol;
      Redo(ed);
      EXPECT_EQ(Text(ed), c.after) << c.dropCol;
    }
  }
}


// The single-key commands in a hyper editor: a caret inside a field's text
// does nothing, one on its first character types and breaks the line in
// front of it, and characters go only with their markup (a field whole) or
// not at all.  Each change is undone to the loaded text and redone.
TEST_F(HyperWrap, SingleKeyCommandsAroundFields) {
  const std::wstring field = L"\x0B" L"cd\x0E" L"data\x0F";
  const std::wstring one = L"a \x0B" L"c\x0E" L"d\x0F" L" b";  // a one-character field at column 3
  enum Key : int32_t { Enter = 13, Delete = 127, Backspace = 315 };
  struct Case {
    std::wstring text;
    int32_t col;
    int32_t code;      // a key of the key table
    bool insert;
    std::wstring after;    // empty: unchanged, nothing recorded
    int32_t caretCol;      // the caret's column on the last row changed
  } cases[] = {
      {HyperLine, 4, 'z', true, L"ab z\x0B" L"cd\x0E" L"data\x0F" L" ef", 5},  // in front of the field
      {HyperLine, 5, 'z', true, L"", 5},
      {HyperLine, 6, 'z', true, L"ab \x0B" L"cd\x0E" L"data\x0F" L"z ef", 7},  // behind it
      {HyperLine, 3, 'z', false, L"abz\x0B" L"cd\x0E" L"data\x0F" L" ef", 4},
      {HyperLine, 4, 'z', false, L"ab z\x0B" L"cd\x0E" L"data\x0F" L" ef", 5},  // replaces nothing
      {HyperLine, 5, 'z', false, L"", 5},
      {HyperLine, 6, 'z', false, L"ab \x0B" L"cd\x0E" L"data\x0F" L"zef", 7},
      {HyperLine, 4, 11, true, L"ab  \x0B" L"cd\x0E" L"data\x0F" L" ef", 5},  // a typed mark is a space
      {HyperLine, 4, Enter, true, L"ab \n\x0B" L"cd\x0E" L"data\x0F" L" ef", 1},
      {HyperLine, 5, Enter, true, L"", 5},
      {HyperLine, 6, Enter, true, L"ab \x0B" L"cd\x0E" L"data\x0F" L"\n ef", 1},
      {HyperLine, 3, Delete, true, L"ab\x0B" L"cd\x0E" L"data\x0F" L" ef", 3},
      {HyperLine, 4, Delete, true, L"", 4},  // a longer field is not cut
      {HyperLine, 5, Delete, true, L"", 5},
      {HyperLine, 6, Delete, true, L"ab \x0B" L"cd\x0E" L"data\x0F" L"ef", 6},
      {HyperLine, 4, Backspace, true, L"ab\x0B" L"cd\x0E" L"data\x0F" L" ef", 3},
      {HyperLine, 5, Backspace, true, L"", 5},
      {HyperLine, 6, Backspace, true, L"", 6},
      {HyperLine, 7, Backspace, true, L"ab \x0B" L"cd\x0E" L"data\x0F" L"ef", 6},
      {HyperLine, 9, Backspace, true, L"ab \x0B" L"cd\x0E" L"data\x0F" L" e", 8},
      {one, 3, Delete, true, L"a  b", 3},  // a one-character field goes whole
      {one, 4, Backspace, true, L"a  b", 3},
      {one, 3, Backspace, true, L"a\x0B" L"c\x0E" L"d\x0F" L" b", 2},
      {HyperLine, 4, 5, true, L"ab ", 4},  // control+E: the field with its markup
      {HyperLine, 5, 5, true, L"", 5},
      {HyperLine, 6, 19, true, L" ef", 1},  // control+S
      {HyperLine, 4, 19, true, field + L" ef", 1},
  };
  for (const Case& c : cases) {
    const std::string what = std::to_string(c.code) + (c.insert ? "" : " overwrite") + " at " + std::to_string(c.col);
    EditorRecord* ed = Make(c.text.c_str(), 40);
    ed->insertMode = c.insert;
    ASSERT_EQ(K::RunTrapped([&] { MoveCaretTo(ed, 1, c.col); }), 0u);
    const int32_t undos = ed->undoRing.undoCount;
    ASSERT_EQ(K::RunTrapped([&] { DispatchKey(ed, c.code, c.code == 5 || c.code == 19 ? 2 : 0); }), 0u) << what;
    const std::wstring after = Text(ed);
    EXPECT_EQ(ed->store.Check(), nullptr) << what;
    EXPECT_TRUE(CheckMarkup(after.c_str(), after.size())) << what;
    if (c.after.empty()) {
      EXPECT_EQ(after, c.text) << what;
      EXPECT_EQ(ed->undoRing.undoCount, undos) << what;
      EXPECT_EQ(ed->modified, 0) << what;
      continue;
    }
    EXPECT_EQ(after, c.after) << what;
    EXPECT_EQ(ed->caretCol, c.caretCol) << what;
    Undo(ed);
    EXPECT_EQ(Text(ed), c.text) << what;
    Redo(ed);
    EXPECT_EQ(Text(ed), c.after) << what;
  }
}

// Every single-key command at every caret column, in rows narrow enough
// that the field sits on a row of its own: the markup stays whole, and
// undo gives back the loaded text.
TEST_F(HyperWrap, NoKeyBreaksTheMarkup) {
  const std::wstring texts[] = {HyperLine, L"\x0B" L"ab\x0E" L"1\x0F" L"\x0B" L"c\x0E" L"2\x0F" L" x \x0B" L"de\x0E\x0F"};
  // Keys of the key table (code, flags) and the word deletions.
  struct Action {
    const char* name;
    std::function<void(EditorRecord*)> run;
  };
  const auto key = [](int32_t code, int32_t flags) { return [=](EditorRecord* ed) { DispatchKey(ed, code, flags); }; };
  const Action actions[] = {
      {"type", key('z', 0)},         {"enter", key(13, 0)},         {"delete", key(127, 0)},
      {"backspace", key(315, 0)},    {"control+E", key(5, 2)},      {"control+S", key(19, 2)},
      {"control+Y", key(25, 2)},     {"control+backspace", key(315, 2)},
      {"word right", [](EditorRecord* ed) { DeleteWord(ed, true); }},
      {"word left", [](EditorRecord* ed) { DeleteWord(ed, false); }},
  };
  for (const std::wstring& text : texts) {
    for (const int32_t width : {40, 4}) {
      for (const Action& action : actions) {
        for (const bool insert : {true, false}) {
          EditorRecord* probe = Make(text.c_str(), width);
          for (int32_t row = 1; row <= probe->LineCount(); ++row) {
            for (int32_t col = 1; col <= probe->store.VisibleLength(row) + 1; ++col) {
              const std::string what = action.name + std::string(insert ? "" : " overwrite") + " at " +
                                       std::to_string(row) + ":" + std::to_string(col) + " width " +
                                       std::to_string(width);
              EditorRecord* ed = NewWrappedRecord(text.c_str(), width, true);
              ed->insertMode = insert;
              ASSERT_EQ(K::RunTrapped([&] {
                MoveCaretTo(ed, row, col);
                action.run(ed);
              }), 0u) << what;
              const std::wstring after = Text(ed);
              EXPECT_TRUE(CheckMarkup(after.c_str(), after.size())) << what;
              EXPECT_EQ(ed->store.Check(), nullptr) << what;
              EditorRecord* fresh = NewWrappedRecord(after.c_str(), width, true);
              EXPECT_EQ(RowTexts(ed), RowTexts(fresh)) << what;
              DeleteRecord(fresh);
              if (ed->undoRing.undoCount > 0 && after != text) {
                Undo(ed);
                EXPECT_EQ(Text(ed), text) << what;
              }
              DeleteRecord(ed);
            }
          }
        }
      }
    }
  }
}

}  // namespace
