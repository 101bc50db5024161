// The editing core on a record without a window: insertion and selection,
// the commands of the key table, undo of every kind back to the loaded text
// and redo forward again, a full store, the live-record check.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "records.h"

using namespace QEL_EDIT::detail;
namespace K = Qel::RunTime::Kernel;

namespace {

class Core : public edittest::Records {
 protected:
  EditorRecord* Make(const wchar_t* text, int32_t indent = 0) { return Records::Make(text, false, indent); }
  static void Caret(EditorRecord* ed, int32_t line, int32_t col) { MoveCaretTo(ed, line, col); }
  static uint32_t Key(EditorRecord* ed, int32_t code, int32_t flags = 0) {
    return K::RunTrapped([&] { DispatchKey(ed, code, flags); });
  }
  static void Type(EditorRecord* ed, const wchar_t* s) {
    for (; *s; ++s) Key(ed, *s);
  }
  static void Insert(EditorRecord* ed, const wchar_t* text, bool undo = true) {
    std::vector<wchar_t> store(StoreTextLength(text));
    ToStoreText(text, store.data(), ed->hyperMode);
    EXPECT_EQ(K::RunTrapped([&] { InsertText(ed, undo, false, store.data()); }), 0u);
  }
  static void Select(EditorRecord* ed, int32_t l1, int32_t c1, int32_t l2, int32_t c2) {
    ed->selection = {1, c1, l1, c2, l2};
    MoveCaretTo(ed, l2, c2);
  }
};

TEST_F(Core, LoadConvertsControlCodesAndSplitsAtLineFeeds) {
  EditorRecord* ed = Make(L"ab\r\ncd\x01\x0b\te\n\nlast");
  EXPECT_EQ(ed->LineCount(), 4);
  EXPECT_EQ(Text(ed), L"ab \ncd  \te\n\nlast");
  EXPECT_EQ(ed->store.Check(), nullptr);
  EditorRecord* empty = Make(L"");
  EXPECT_EQ(empty->LineCount(), 1);
  EXPECT_EQ(Text(empty), L"");
}

TEST_F(Core, InsertSplitsAtLineBreaksAndSelectsTheInsertedText) {
  EditorRecord* ed = Make(L"xyz");
  Caret(ed, 1, 3);
  Insert(ed, L"a\nb");
  EXPECT_EQ(Text(ed), L"xya\nbz");
  EXPECT_EQ(ed->LineCount(), 2);
  const Selection& s = ed->selection;
  EXPECT_EQ(s.active, 1);
  EXPECT_EQ(s.anchorLine, 1);
  EXPECT_EQ(s.anchorCol, 3);
  EXPECT_EQ(s.caretLine, 2);
  EXPECT_EQ(s.caretCol, 2);
  // A text ending with a line break leaves the tail on a line of its own.
  EditorRecord* e2 = Make(L"ab");
  Caret(e2, 1, 2);
  Insert(e2, L"X\n");
  EXPECT_EQ(Text(e2), L"aX\nb");
}

TEST_F(Core, InsertOverSelectionRecordsDeleteThenInsert) {
  EditorRecord* ed = Make(L"hello world");
  Select(ed, 1, 1, 1, 6);
  Insert(ed, L"HEY");
  EXPECT_EQ(Text(ed), L"HEY world");
  EXPECT_EQ(ed->undoRing.undoCount, 2);
  EXPECT_EQ(ed->undoRing.slots[ed->undoRing.current].kind, uk_insertText);
  EXPECT_EQ(ed->undoRing.slots[UndoRing::PrevIndex(ed->undoRing.current)].kind, uk_deleteSelection);
}

// Undoing a cut puts its text back selected; undoing the typing before it
// then removes the typed character only, not that selection.
TEST_F(Core, UndoBehindAnUndoneCutKeepsItsText) {
  EditorRecord* ed = Make(L"hello world\nnext");
  MoveCaretTo(ed, 2, 5);
  ASSERT_EQ(K::RunTrapped([&] { TypeChar(ed, L'!', true, true); }), 0u);
  Select(ed, 1, 2, 1, 8);
  ASSERT_EQ(K::RunTrapped([&] { TakeSelection(ed, true, true, false, true); }), 0u);
  EXPECT_EQ(Text(ed), L"horld\nnext!");
  for (int i = 0; i < 2; ++i) ASSERT_EQ(K::RunTrapped([&] { UndoStep(ed); }), 0u);
  EXPECT_EQ(Text(ed), L"hello world\nnext");
}

TEST_F(Core, TakeSelectionCopiesAndDeletesAcrossLines) {
  EditorRecord* ed = Make(L"abc\nde\nf");
  Select(ed, 1, 2, 3, 1);
  wchar_t* copy = nullptr;
  ASSERT_EQ(K::RunTrapped([&] { copy = TakeSelection(ed, false, false, false, false); }), 0u);
  EXPECT_STREQ(copy, L"bc\r\nde\r\n");
  ASSERT_EQ(K::RunTrapped([&] { TakeSelection(ed, true, true, false, true); }), 0u);
  EXPECT_EQ(Text(ed), L"af");
  EXPECT_EQ(ed->LineCount(), 1);
  EXPECT_EQ(ed->store.Check(), nullptr);
  // An empty selection gives nothing and changes nothing.
  Select(ed, 1, 2, 1, 2);
  ASSERT_EQ(K::RunTrapped([&] { copy = TakeSelection(ed, true, true, false, false); }), 0u);
  EXPECT_EQ(copy, nullptr);
  EXPECT_EQ(Text(ed), L"af");
}

TEST_F(Core, CaseChangesAndTheirUndo) {
  EditorRecord* ed = Make(L"abc\nDeF\nghi");
  Select(ed, 1, 2, 3, 2);
  Key(ed, 21, 2);  // control+U
  EXPECT_EQ(Text(ed), L"aBC\nDEF\nGhi");
  EXPECT_EQ(ed->undoRing.slots[ed->undoRing.current].kind, uk_upperCase);
  Key(ed, 16, 2);  // control+P reverses
  EXPECT_EQ(Text(ed), L"abc\ndef\nghi");
  ASSERT_EQ(K::RunTrapped([&] { UndoStep(ed); }), 0u);
  EXPECT_EQ(Text(ed), L"aBC\nDEF\nGhi");
  ASSERT_EQ(K::RunTrapped([&] { UndoStep(ed); }), 0u);
  EXPECT_EQ(Text(ed), L"abc\nDeF\nghi");
  EXPECT_EQ(ed->modified, 0);
}

struct KeyCase {
  const char* what;
  const wchar_t* text;
  int32_t line, col, indent, insertMode;
  std::vector<std::pair<int32_t, int32_t>> keys;  // code, flags
  const wchar_t* result;
  int32_t caretLine, caretCol;
  int32_t undoEntries;
};

TEST_F(Core, KeyCommands) {
  const KeyCase cases[] = {
      {"delete at the end of the last line", L"ab", 1, 3, 0, 1, {{127, 0}}, L"ab", 1, 3, 0},
      {"delete joins the next line", L"ab\ncd", 1, 3, 0, 1, {{127, 0}}, L"abcd", 1, 3, 1},
      {"backspace at the start of the text", L"ab", 1, 1, 0, 1, {{315, 0}}, L"ab", 1, 1, 0},
      {"backspace at column 1 joins", L"ab\ncd", 2, 1, 0, 1, {{315, 0}}, L"abcd", 1, 3, 1},
      {"enter in overwrite mode moves only", L"abcd\nef", 1, 3, 0, 0, {{13, 0}}, L"abcd\nef", 2, 1, 1},
      {"enter in overwrite mode at the end appends", L"ab\ncd", 2, 3, 0, 0, {{13, 0}}, L"ab\ncd\n", 3, 1, 1},
      {"enter copies the indent", L"  x", 1, 4, 1, 1, {{13, 0}}, L"  x\n  ", 2, 3, 1},
      {"enter splits with the indent", L"  xy", 1, 4, 1, 1, {{13, 0}}, L"  x\n  y", 2, 3, 1},
      {"control Y on the only line empties it", L"only", 1, 2, 0, 1, {{25, 2}}, L"", 1, 1, 1},
      {"control Y deletes a line", L"a\nb\nc", 2, 1, 0, 1, {{25, 2}}, L"a\nc", 2, 1, 1},
      {"control Y on the last line", L"a\nbb", 2, 3, 0, 1, {{25, 2}}, L"a", 1, 2, 1},
      {"control E deletes to the end", L"abcdef", 1, 3, 0, 1, {{5, 2}}, L"ab", 1, 3, 1},
      {"control S deletes to the start", L"abcdef", 1, 3, 0, 1, {{19, 2}}, L"cdef", 1, 1, 1},
      {"overwrite the last character", L"abc", 1, 3, 0, 0, {{'X', 0}}, L"abX", 1, 4, 1},
      {"overwrite after the end extends", L"abc", 1, 4, 0, 0, {{'X', 0}}, L"abcX", 1, 5, 1},
      {"insert typing", L"abc", 1, 2, 0, 1, {{'X', 0}, {'Y', 0}}, L"aXYbc", 1, 4, 2},
      {"control with a code below 32 is ignored", L"abc", 1, 2, 0, 1, {{17, 2}}, L"abc", 1, 2, 0},
      {"shift right then delete cuts nothing but deletes", L"abcd", 1, 1, 0, 1, {{303, 1}, {303, 1}, {127, 0}}, L"cd", 1, 1, 3},
      {"control backspace deletes a word", L"foo bar", 1, 8, 0, 1, {{315, 2}}, L"foo ", 1, 5, 2},
  };
  for (const KeyCase& c : cases) {
    EditorRecord* ed = Make(c.text, c.indent);
    ed->insertMode = c.insertMode;
    Caret(ed, c.line, c.col);
    for (auto [code, flags] : c.keys) EXPECT_EQ(Key(ed, code, flags), 0u) << c.what;
    EXPECT_EQ(Text(ed), c.result) << c.what;
    EXPECT_EQ(ed->CurrentLine(), c.caretLine) << c.what;
    EXPECT_EQ(ed->caretCol, c.caretCol) << c.what;
    EXPECT_EQ(ed->undoRing.undoCount, c.undoEntries) << c.what;
    EXPECT_EQ(ed->store.Check(), nullptr) << c.what;
  }
}

// TAB and shift-TAB with indent size 4: spaces to the next stop behind the
// text, the whole line re-indented from its leading blanks or from inside a
// word, the caret moved back by shift-TAB; in tab mode TAB characters.
TEST_F(Core, TabIndentsTheLineOrInsertsBlanks) {
  struct TabCase {
    const char* what;
    int32_t tabMode, tabSize;
    const wchar_t* text;
    int32_t col, flags;
    const wchar_t* result;
    int32_t caretCol;
  };
  const TabCase cases[] = {
      {"at display column 6 three spaces", 0, 4, L"abcde f", 6, 0, L"abcde    f", 9},
      {"at the end of the line to the next stop", 0, 4, L"ab", 3, 0, L"ab  ", 5},
      {"inside a word the line moves", 0, 4, L"ab", 2, 0, L"    ab", 6},
      {"in the leading blanks to the next stop", 0, 4, L"  x", 2, 0, L"    x", 4},
      {"before the first non-blank", 0, 4, L"    x", 5, 0, L"        x", 9},
      {"leading TABs count as their columns", 0, 4, L"\tx", 1, 0, L"        x", 8},
      {"an empty line gets one stop", 0, 4, L"", 1, 0, L"    ", 5},
      {"shift in the leading blanks back a stop", 0, 4, L"      x", 3, 1, L"    x", 1},
      {"shift inside a word back a stop", 0, 4, L"    abc", 6, 1, L"abc", 2},
      {"shift on an unindented line: nothing", 0, 4, L"abc", 2, 1, L"abc", 2},
      {"shift behind a word moves the caret back to the stop", 0, 4, L"  abc def", 6, 1, L"  abc def", 5},
      {"shift stops in front of a TAB", 0, 4, L"  ab\t", 6, 1, L"  ab\t", 6},
      {"tab mode, tab size 8: one TAB", 1, 8, L"ab", 2, 0, L"a\tb", 3},
      {"tab mode, tab size 2: two TABs", 1, 2, L"ab", 2, 0, L"a\t\tb", 4},
  };
  for (const TabCase& c : cases) {
    settings.tabMode = c.tabMode;
    settings.tabSize = c.tabSize;
    EditorRecord* ed = Make(c.text);
    Caret(ed, 1, c.col);
    EXPECT_EQ(Key(ed, 9, c.flags), 0u) << c.what;
    EXPECT_EQ(Text(ed), c.result) << c.what;
    EXPECT_EQ(ed->caretCol, c.caretCol) << c.what;
    EXPECT_EQ(ed->insertMode, 1) << c.what;
    EXPECT_EQ(ed->store.Check(), nullptr) << c.what;
    // Undone, the line is back as it was.
    while (ed->undoRing.undoCount > 0) ASSERT_EQ(K::RunTrapped([&] { UndoStep(ed); }), 0u) << c.what;
    EXPECT_EQ(Text(ed), c.text) << c.what;
  }
}

// TAB over a selection indents every selected line but a last one the
// selection only touches at column 1; the selection stays on its ends.
// Overwrite mode does not eat the text that a re-indent moves.
TEST_F(Core, TabOverASelectionIndentsItsLines) {
  EditorRecord* ed = Make(L"a\n  b\nc\nd");
  ed->insertMode = 0;
  Select(ed, 1, 1, 3, 1);
  EXPECT_EQ(Key(ed, 9), 0u);
  EXPECT_EQ(Text(ed), L"    a\n    b\nc\nd");
  EXPECT_EQ(ed->insertMode, 0);
  EXPECT_EQ(ed->selection.active, 1);
  EXPECT_EQ(ed->selection.anchorLine, 1);
  EXPECT_EQ(ed->selection.caretLine, 3);
  Select(ed, 1, 3, 2, 6);
  EXPECT_EQ(Key(ed, 9, 1), 0u);
  EXPECT_EQ(Text(ed), L"a\nb\nc\nd");
  EXPECT_EQ(ed->store.Check(), nullptr);
}

TEST_F(Core, TypedControlCodesAreStoredAsSpaces) {
  EditorRecord* ed = Make(L"abc");
  Caret(ed, 1, 2);
  for (int32_t code : {0, 1, 11, 14, 15, 31}) {
    ASSERT_EQ(K::RunTrapped([&] { TypeChar(ed, static_cast<wchar_t>(code), true, true); }), 0u);
  }
  EXPECT_EQ(Text(ed), L"a      bc");
  EXPECT_EQ(ed->store.VisibleLength(1), 9);
}

// Every kind of change is undone back to the loaded text, byte for byte at
// each step, then redone forward to the end.
TEST_F(Core, EveryUndoKindBackToTheLoadedTextAndForward) {
  const wchar_t* loaded = L"first line\n  indented\nthird\n\nfifth";
  EditorRecord* ed = Make(loaded, 1);
  std::vector<std::wstring> states{Text(ed)};
  auto step = [&](auto&& f) {
    int before = ed->undoRing.undoCount;
    ASSERT_EQ(K::RunTrapped(f), 0u);
    if (ed->undoRing.undoCount != before) states.push_back(Text(ed));
  };
  step([&] { Caret(ed, 1, 6); });
  step([&] { DispatchKey(ed, 'X', 0); });                // kind 8
  step([&] { ed->insertMode = 0; DispatchKey(ed, 'Y', 0); ed->insertMode = 1; });  // kind 7
  step([&] { DispatchKey(ed, 303, 1); });                // kind 1
  step([&] { DispatchKey(ed, 127, 0); });                // kind 3 (selection)
  step([&] { Caret(ed, 2, 5); DispatchKey(ed, 13, 0); });  // kind 8 line break with indent
  step([&] { Caret(ed, 3, 1); DispatchKey(ed, 315, 0); });  // kind 9 join
  step([&] { Caret(ed, 1, 3); DispatchKey(ed, 127, 0); });  // kind 9 character
  step([&] { Caret(ed, 1, 12); DispatchKey(ed, 127, 0); });  // kind 9 join at line end
  step([&] { Caret(ed, 2, 2); DispatchKey(ed, 25, 2); });   // kind 12
  step([&] { Caret(ed, 1, 3); DispatchKey(ed, 5, 2); });    // kind 10
  step([&] { Caret(ed, 2, 1); Insert(ed, L"new\ntext "); ed->selection.active = 0; });  // kind 2
  step([&] { Select(ed, 1, 1, 3, 2); DispatchKey(ed, 21, 2); });  // kind 16
  step([&] { DispatchKey(ed, 12, 2); });                 // kind 15
  step([&] { DispatchKey(ed, 16, 2); });                 // kind 14
  step([&] { ed->selection.active = 0; Caret(ed, 1, 1); DispatchKey(ed, 25, 2); });  // kind 12 first line
  step([&] { Caret(ed, 1, 2); DispatchKey(ed, 'a', 0); });
  step([&] { DispatchKey(ed, 9, 0); });                  // TAB spaces (kind 2)
  const size_t n = states.size();
  ASSERT_GT(n, 15u);
  for (size_t i = n - 1; i > 0; --i) {
    ASSERT_EQ(K::RunTrapped([&] { UndoStep(ed); }), 0u) << i;
    ASSERT_EQ(Text(ed), states[i - 1]) << "undo to state " << i - 1;
    ASSERT_EQ(ed->store.Check(), nullptr);
  }
  EXPECT_EQ(Text(ed), loaded);
  EXPECT_EQ(ed->modified, 0);
  EXPECT_EQ(K::RunTrapped([&] { UndoStep(ed); }), 6904u);
  for (size_t i = 1; i < n; ++i) {
    ASSERT_EQ(K::RunTrapped([&] { RedoStep(ed); }), 0u) << i;
    ASSERT_EQ(Text(ed), states[i]) << "redo to state " << i;
  }
  EXPECT_EQ(K::RunTrapped([&] { RedoStep(ed); }), 6905u);
  EXPECT_EQ(ed->modified, 1);
}

TEST_F(Core, SixHundredChangesAllow511Undos) {
  EditorRecord* ed = Make(L"");
  for (int i = 0; i < 600; ++i) Key(ed, 'a' + i % 26);
  int undone = 0;
  while (K::RunTrapped([&] { UndoStep(ed); }) == 0) ++undone;
  EXPECT_EQ(undone, 511);
  EXPECT_EQ(Text(ed).size(), 89u);
  EXPECT_EQ(ed->modified, 1);
}

TEST_F(Core, EmptiedRingKeepsTheModifiedText) {
  EditorRecord* ed = Make(L"abc");
  Key(ed, 'x');
  EmptyUndoRing(ed);
  EXPECT_EQ(ed->modified, 1);
  Key(ed, 'y');
  ASSERT_EQ(K::RunTrapped([&] { UndoStep(ed); }), 0u);
  EXPECT_EQ(Text(ed), L"xabc");
  EXPECT_EQ(ed->modified, 1);
}

// A store with no chunk left: every command that needs one raises 6902 and
// leaves the text as it was.
TEST_F(Core, FullStoreRefusesCommandsTextUnchanged) {
  std::wstring text(MaxPages * ChunksPerPage - 1, L'\n');
  EditorRecord* ed = Make(text.c_str());
  ASSERT_EQ(ed->LineCount(), MaxPages * ChunksPerPage);
  ASSERT_FALSE(ed->store.HasRoom(1));
  ASSERT_TRUE(ed->store.WriteLine(ed->store.textHead, std::wstring(116, L'a').c_str()));
  Caret(ed, 1, 117);
  EXPECT_EQ(Key(ed, 'b'), 6902u);
  EXPECT_EQ(Key(ed, 13), 6902u);
  Caret(ed, 1, 1);
  EXPECT_EQ(Key(ed, 13), 6902u);
  EXPECT_EQ(K::RunTrapped([&] { InsertText(ed, true, false, L"x\r\ny"); }), 6902u);
  EXPECT_EQ(ed->LineCount(), MaxPages * ChunksPerPage);
  EXPECT_EQ(ed->store.StoredLength(ed->store.textHead), 116u);
  EXPECT_EQ(ed->undoRing.undoCount, 0);
  // Deleting still works and frees room.
  EXPECT_EQ(Key(ed, 127), 0u);
  EXPECT_EQ(ed->store.Check(), nullptr);
}

TEST_F(Core, TextBeyondTheStoreIsRefused) {
  std::wstring text(MaxPages * ChunksPerPage, L'\n');
  RecordParams p{};
  EditorRecord* ed = Keep(NewRecord(p));
  EXPECT_EQ(K::RunTrapped([&] { LoadPlainText(ed, text.c_str()); }), 6902u);
  EXPECT_EQ(ed->active, 0);
  EXPECT_EQ(ed->store.pageTable[0], nullptr);
}

TEST_F(Core, OnlyLiveEditorWindowsHaveRecords) {
  HWND plain = CreateWindowW(L"STATIC", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(K::RunTrapped([&] { EditorData(reinterpret_cast<LONG_PTR>(plain)); }), 6900u);
  EXPECT_EQ(K::RunTrapped([&] { EditorData(0x12345); }), 6900u);
  DestroyWindow(plain);
  EditorRecord* ed = Make(L"x");
  EXPECT_TRUE(IsLiveRecord(ed));
}

}  // namespace

namespace {

struct DropCase {
  const wchar_t* text;
  int32_t l1, c1, l2, c2;  // dragged selection
  int32_t line, col;       // drop point in the text before the drop
  bool copy;
  const wchar_t* after;
};

// A moved multi-line selection dropped behind its end on its own last line
// keeps the drop point on the same characters.
const DropCase DropCases[] = {
    {L"abcdXYZ\nmid\n12345", 1, 5, 3, 3, 3, 5, false, L"abcd34XYZ\nmid\n125"},
    {L"abcdef", 1, 2, 1, 4, 1, 6, false, L"adebcf"},
    {L"abcdef", 1, 4, 1, 6, 1, 1, false, L"deabcf"},
    {L"one\ntwo\nthree", 1, 1, 2, 1, 3, 3, false, L"two\nthone\nree"},
    {L"one\ntwo\nthree", 2, 2, 3, 2, 1, 2, false, L"owo\ntne\nthree"},
    {L"abcdef", 1, 2, 1, 4, 1, 6, true, L"abcdebcf"},
    {L"ab\ncd", 1, 1, 2, 2, 2, 3, true, L"ab\ncdab\nc"},
};

}  // namespace

TEST_F(Core, DropsMoveOrCopyAndUndoRedoRestoresBothTexts) {
  for (const DropCase& c : DropCases) {
    SCOPED_TRACE(testing::Message() << "text " << std::string(c.text, c.text + std::wcslen(c.text))
                                    << " drop " << c.line << "," << c.col << " copy " << c.copy);
    EditorRecord* ed = Make(c.text);
    const Selection dragged{1, c.c1, c.l1, c.c2, c.l2};
    ASSERT_FALSE(DropInsideSelection(dragged, c.line, c.col));
    ASSERT_EQ(K::RunTrapped([&] {
                if (c.copy) CopyDrop(ed, dragged, c.line, c.col, true);
                else MoveDrop(ed, dragged, c.line, c.col, true);
              }),
              0u);
    EXPECT_EQ(Text(ed), c.after);
    EXPECT_TRUE(ed->modified);
    // The dropped text ends selected.
    ed->selection.active = 1;
    uint8_t* m = K::Memory::MarkGStack();
    std::wstring moved = TakeSelection(ed, false, false, true, false);
    Selection source = dragged;
    MoveCaretTo(ed, 1, 1);
    ASSERT_EQ(K::RunTrapped([&] { UndoStep(ed); }), 0u);
    EXPECT_EQ(Text(ed), c.text);
    EXPECT_FALSE(ed->modified);
    ed->selection = source;
    EXPECT_EQ(std::wstring(TakeSelection(ed, false, false, true, false)), moved);
    K::Memory::ReleaseGStack(m);
    ASSERT_EQ(K::RunTrapped([&] { RedoStep(ed); }), 0u);
    EXPECT_EQ(Text(ed), c.after);
    ASSERT_EQ(K::RunTrapped([&] { UndoStep(ed); }), 0u);
    EXPECT_EQ(Text(ed), c.text);
    EXPECT_EQ(ed->store.Check(), nullptr);
  }
}

TEST_F(Core, DropPointsInsideTheSelectionIncludeItsEnds) {
  const Selection s{1, 3, 2, 2, 1};  // anchor after the caret end
  struct { int32_t line, col; bool inside; } cases[] = {
      {1, 2, true}, {2, 3, true}, {1, 9, true}, {1, 1, false}, {2, 4, false}, {3, 1, false}};
  for (auto& c : cases) EXPECT_EQ(DropInsideSelection(s, c.line, c.col), c.inside) << c.line << "," << c.col;
}

// A move dropped onto its own text, called without the mouse's check,
// changes nothing and records nothing.
TEST_F(Core, MoveDropOntoItsOwnTextChangesNothing) {
  const Selection dragged{1, 2, 1, 4, 1};  // "bc" of "abcdef"
  for (int32_t col : {2, 3, 4}) {
    EditorRecord* ed = Make(L"abcdef");
    ASSERT_EQ(K::RunTrapped([&] { MoveDrop(ed, dragged, 1, col, true); }), 0u);
    EXPECT_EQ(Text(ed), L"abcdef") << col;
    EXPECT_EQ(ed->undoRing.undoCount, 0) << col;
  }
}
