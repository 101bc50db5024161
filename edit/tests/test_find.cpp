// Search and replace on an editor record without a window: the search
// examples as a table, replace steps with their undo, Change All in
// selection scope and as one undo step, the go-to operations.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "searchrecords.h"

using namespace QEL_EDIT::detail;
namespace K = Qel::RunTime::Kernel;

namespace {

class Find : public edittest::SearchRecords {
 protected:
  // The selection as "line:from-to", or "none".
  static std::string Sel(EditorRecord* ed) {
    const Selection& s = ed->selection;
    if (!s.active) return "none";
    return std::to_string(s.anchorLine) + ":" + std::to_string(s.anchorCol) + "-" +
           std::to_string(s.caretCol);
  }
};

struct SearchCase {
  const char* what;
  const wchar_t* text;
  const wchar_t* find;
  bool forward, caseSensitive, wholeWords, regex;
  int origin;  // 1 entire scope, 0 from the caret
  int32_t caretLine, caretCol;
  const char* selection;  // after the search; "none" when not found
};

TEST_F(Find, SearchTable) {
  const SearchCase cases[] = {
      {"entire scope finds the first", L"x ab\nab", L"ab", true, true, false, false, 1, 2, 3, "1:3-5"},
      {"from the caret", L"x ab\nab", L"ab", true, true, false, false, 0, 1, 4, "2:1-3"},
      {"backward from the caret", L"ab ab", L"ab", false, true, false, false, 0, 1, 3, "1:1-3"},
      {"backward holds the character left of the caret", L"ab", L"ab", false, true, false, false, 0, 1, 3, "1:1-3"},
      {"backward: not past the caret", L"ab", L"ab", false, true, false, false, 0, 1, 2, "none"},
      {"backward entire scope finds the last", L"ab\nab x", L"ab", false, true, false, false, 1, 1, 1, "2:1-3"},
      {"whole words skip cats and _cat", L"cats _cat cat.", L"cat", true, true, true, false, 1, 1, 1, "1:11-14"},
      {"whole word at the line end", L"cats\na cat", L"cat", true, true, true, false, 1, 1, 1, "2:3-6"},
      {"case ignored", L"x aBc", L"ABC", true, false, false, false, 1, 1, 1, "1:3-6"},
      {"case kept", L"x aBc", L"ABC", true, true, false, false, 1, 1, 1, "none"},
      {"regex: empty match passed over", L"bab", L"a*", true, true, false, true, 1, 1, 1, "1:2-3"},
      {"regex: only empty matches", L"bab", L"x*", true, true, false, true, 1, 1, 1, "none"},
      {"regex: never over a line feed", L"a\nb", L"a\\nb", true, true, false, true, 1, 1, 1, "none"},
      {"regex: blanks before a line end", L"ab  \ncd e", L"\\s+", true, true, false, true, 1, 1, 1, "2:3-4"},
      {"regex: whole words bind alternatives", L"hotdog dog", L"cat|dog", true, true, true, true, 1, 1, 1, "1:8-11"},
      {"regex: \\b sees what precedes the caret", L"concat cat", L"\\bcat", true, true, false, true, 0, 1, 4, "1:8-11"},
      {"regex: ^ after the line feed", L"ab\nbc", L"^b", true, true, false, true, 1, 1, 1, "2:1-2"},
      {"regex backward", L"a1 b2\nc3", L"[a-z]\\d", false, true, false, true, 0, 2, 1, "1:4-6"},
      {"regex ignoring case", L"x \u00c9t\u00e9", L"\u00e9T\u00c9", true, false, false, true, 1, 1, 1, "1:3-6"},
      {"regex bad pattern", L"((", L"(", true, true, false, true, 1, 1, 1, "none"},
  };
  for (const auto& c : cases) {
    EditorRecord* ed = Make(c.text);
    Options(c.forward, c.caseSensitive, c.wholeWords, c.regex, c.origin);
    MoveCaretTo(ed, c.caretLine, c.caretCol);
    int32_t found = Search(ed, c.find);
    EXPECT_EQ(Sel(ed), c.selection) << c.what;
    EXPECT_EQ(found, std::string(c.selection) != "none") << c.what;
    if (found) {
      EXPECT_EQ(ed->caretCol, c.forward ? ed->selection.caretCol : ed->selection.anchorCol) << c.what;
    }
  }
}

TEST_F(Find, EntireScopeFindsTheSameFirstMatchEveryTime) {
  EditorRecord* ed = Make(L"ab ab");
  Options(true, true, false, false, 1);
  Search(ed, L"ab");
  Search(ed, L"ab");
  EXPECT_EQ(Sel(ed), "1:1-3");
  searchState.options.origin = 0;
  Search(ed, L"ab");
  EXPECT_EQ(Sel(ed), "1:4-6");
  EXPECT_EQ(Search(ed, L"ab"), 0);
  EXPECT_EQ(Sel(ed), "1:4-6");  // not found: the selection stays
  int32_t r = -1;
  MoveCaretTo(ed, 1, 1);
  ASSERT_EQ(K::RunTrapped([&] { r = SearchAgain(ed, L"ab"); }), 0u);
  EXPECT_EQ(r, 1);
  EXPECT_EQ(Sel(ed), "1:1-3");
}

TEST_F(Find, SelectionScope) {
  EditorRecord* ed = Make(L"ab ab\nab ab");
  Options(true, true, false, false, 1);
  searchState.options.selectionScope = true;
  EXPECT_EQ(Search(ed, L"ab"), 0);  // no selection
  ed->selection = {1, 2, 1, 3, 2};  // from (1,2) to (2,3)
  EXPECT_EQ(Search(ed, L"ab"), 1);
  EXPECT_EQ(Sel(ed), "1:4-6");
  // A match counts when it starts inside the selection, also when it runs past its end.
  ed->selection = {1, 5, 1, 2, 2};
  EXPECT_EQ(Search(ed, L"ab"), 1);
  EXPECT_EQ(Sel(ed), "2:1-3");
  ed->selection = {1, 5, 1, 1, 2};
  EXPECT_EQ(Search(ed, L"ab"), 0);
}

TEST_F(Find, ReplaceStepsAndTheirUndo) {
  EditorRecord* ed = Make(L"one two\ntwo three");
  Options(true, true, false, false, 0);
  MoveCaretTo(ed, 1, 1);
  int32_t r = -1;
  ASSERT_EQ(K::RunTrapped([&] { r = ReplaceDriver(ed, L"two", L"2", false); }), 0u);
  EXPECT_EQ(r, 1);
  EXPECT_TRUE(searchState.matchPending);
  EXPECT_EQ(Sel(ed), "1:5-8");
  ASSERT_EQ(K::RunTrapped([&] { r = ReplaceDriver(ed, L"two", L"2", false); }), 0u);
  EXPECT_EQ(Text(ed), L"one 2\ntwo three");
  EXPECT_EQ(Sel(ed), "2:1-4");  // the next one found
  EXPECT_TRUE(searchState.matchPending);
  ASSERT_EQ(K::RunTrapped([&] { r = ReplaceDriver(ed, L"two", L"2", false); }), 0u);
  EXPECT_EQ(Text(ed), L"one 2\n2 three");
  EXPECT_FALSE(searchState.matchPending);
  // Each replacement is one step; the selections of the searches are steps too.
  const wchar_t* back[] = {L"one 2\ntwo three", L"one 2\ntwo three", L"one two\ntwo three"};
  for (const wchar_t* t : back) {
    Undo(ed);
    EXPECT_EQ(Text(ed), t);
  }
}

TEST_F(Find, RegexReplaceFillsGroupsAndChecksTheText) {
  EditorRecord* ed = Make(L"x key=value");
  Options(true, true, false, true, 1);
  int32_t r = -1;
  ASSERT_EQ(K::RunTrapped([&] { r = ReplaceDriver(ed, L"(\\w+)=(\\w+)", L"\\2:\\1", false); }), 0u);
  ASSERT_EQ(r, 1);
  searchState.options.origin = 0;
  ASSERT_EQ(K::RunTrapped([&] { r = ReplaceDriver(ed, L"(\\w+)=(\\w+)", L"\\2:\\1", false); }), 0u);
  EXPECT_EQ(Text(ed), L"x value:key");
  // A pending match whose registers no longer lie in the shortened text:
  // the step fails and the text stays.
  EditorRecord* ed2 = Make(L"abc def");
  searchState.options.origin = 1;
  ASSERT_EQ(K::RunTrapped([&] { r = ReplaceDriver(ed2, L"(d)(ef)", L"\\2", false); }), 0u);
  ed2->selection = {1, 1, 1, 4, 1};  // the text shrinks behind the search's back
  MoveCaretTo(ed2, 1, 4);
  ASSERT_EQ(K::RunTrapped([&] { TakeSelection(ed2, true, false, false, true); }), 0u);
  EXPECT_EQ(Text(ed2), L" def");
  ed2->selection = {1, 1, 1, 2, 1};
  bool ok = true;
  ASSERT_EQ(K::RunTrapped([&] { ok = K::Succeeds([&] { ReplaceDriver(ed2, L"(d)(ef)", L"\\2", false); }); }), 0u);
  EXPECT_FALSE(ok);
  EXPECT_EQ(Text(ed2), L" def");
}

TEST_F(Find, ChangeAllInSelectionScopeKeepsTheEnd) {
  for (bool regex : {false, true}) {
    EditorRecord* ed = Make(L"aaaa\naaaa\naaaa");
    Options(true, true, false, regex, 1);
    searchState.options.selectionScope = true;
    searchState.changeAll = true;
    ed->selection = {1, 2, 1, 3, 2};
    MoveCaretTo(ed, 2, 3);
    ASSERT_EQ(K::RunTrapped([&] { ReplaceDriver(ed, L"a", L"xyz", false); }), 0u);
    EXPECT_EQ(Text(ed), L"axyzxyzxyz\nxyzxyzaa\naaaa") << regex;
    EXPECT_EQ(searchState.replacementCount, 5);
    EXPECT_EQ(searchState.columnShift, 4);
    EXPECT_EQ(ed->CurrentLine(), 2);
    EXPECT_EQ(ed->caretCol, 7);
  }
}

TEST_F(Find, ChangeAllIsOneUndoStep) {
  std::wstring text;
  for (int i = 0; i < 20000; ++i)
    text += (i % 2 ? L"  // comment " : L"  key" + std::to_wstring(i) + L" = value") + std::wstring(L"\n");
  EditorRecord* ed = Make(text.c_str());
  Options(true, true, false, true, 1);
  searchState.changeAll = true;
  // A step before it, which the Change All must not take with it.
  MoveCaretTo(ed, 1, 1);
  ASSERT_EQ(K::RunTrapped([&] { DispatchKey(ed, L'#', 0); }), 0u);
  const std::wstring before = Text(ed);
  ASSERT_EQ(K::RunTrapped([&] { ReplaceDriver(ed, L"(\\w+) = (\\w+)", L"\\2 := \\1", false); }), 0u);
  EXPECT_EQ(searchState.replacementCount, 10000);
  const std::wstring after = Text(ed);
  EXPECT_NE(after.find(L"value := key2"), std::wstring::npos);
  Undo(ed);
  EXPECT_TRUE(Text(ed) == before);
  Redo(ed);
  EXPECT_TRUE(Text(ed) == after);
  Undo(ed);
  Undo(ed);  // the typed character
  EXPECT_TRUE(Text(ed) == text);
  // Two Change Alls are two steps.
  ASSERT_EQ(K::RunTrapped([&] { ReplaceDriver(ed, L"comment", L"c", false); }), 0u);
  ASSERT_EQ(K::RunTrapped([&] { ReplaceDriver(ed, L"value", L"v", false); }), 0u);
  Undo(ed);
  EXPECT_NE(Text(ed).find(L"= value"), std::wstring::npos);
  EXPECT_EQ(Text(ed).find(L"comment"), std::wstring::npos);
}

// In a hyper editor searches see the visible text; replacing leaves every
// match that touches a field.
TEST_F(Find, HyperEditorsSearchTheVisibleTextAndSpareFields) {
  auto pretty = [](std::wstring s) {
    for (auto& c : s) c = c == 11 ? L'[' : c == 14 ? L'|' : c == 15 ? L']' : c;
    return s;
  };
  for (bool regex : {false, true}) {
    EditorRecord* ed = Make(L"x\x0b" L"abc\x0e" L"d1\x0fy abc abc", true);
    Options(true, true, false, regex, 1);
    EXPECT_EQ(Search(ed, L"abc"), 1);
    EXPECT_EQ(Sel(ed), "1:2-5") << regex;  // the field's text, in visible columns
    searchState.options.origin = 0;
    EXPECT_EQ(Search(ed, L"abc"), 1);
    EXPECT_EQ(Sel(ed), "1:7-10") << regex;  // behind the field: "xabcy abc"
    // A pending match inside the field is not replaced; the next one is.
    EditorRecord* step = Make(L"x\x0b" L"abc\x0e" L"d1\x0fy abc", true);
    searchState.options.origin = 1;
    int32_t r = -1;
    ASSERT_EQ(K::RunTrapped([&] { r = ReplaceDriver(step, L"abc", L"Z", false); }), 0u);
    EXPECT_EQ(Sel(step), "1:2-5");
    ASSERT_EQ(K::RunTrapped([&] { r = ReplaceDriver(step, L"abc", L"Z", false); }), 0u);
    EXPECT_EQ(pretty(Text(step)), L"x[abc|d1]y abc") << regex;
    EXPECT_EQ(Sel(step), "1:7-10");
    ASSERT_EQ(K::RunTrapped([&] { r = ReplaceDriver(step, L"abc", L"Z", false); }), 0u);
    EXPECT_EQ(pretty(Text(step)), L"x[abc|d1]y Z") << regex;
    // Change All replaces the plain ones only, the field keeps its markup.
    searchState.options.origin = 1;
    searchState.changeAll = true;
    ASSERT_EQ(K::RunTrapped([&] { ReplaceDriver(ed, L"abc", L"Z", false); }), 0u);
    searchState.changeAll = false;
    EXPECT_EQ(pretty(Text(ed)), L"x[abc|d1]y Z Z") << regex;
    EXPECT_EQ(searchState.replacementCount, 2);
    EXPECT_EQ(ed->caretCol, 10);  // visible "xabcy Z Z": behind the last "Z"
  }
}

TEST_F(Find, GoTo) {
  EditorRecord* ed = Make(L"first\nsecond\nthird");
  EXPECT_EQ(GoToLine(ed, 0), 0);
  EXPECT_EQ(GoToLine(ed, 4), 0);
  EXPECT_EQ(GoToLine(ed, 3), 1);
  EXPECT_EQ(ed->CurrentLine() * 100 + ed->caretCol, 301);
  EXPECT_EQ(GoToLineColumn(ed, 2, 99, true), 1);
  EXPECT_EQ(ed->CurrentLine() * 100 + ed->caretCol, 207);
  EXPECT_EQ(GoToLineColumn(ed, 1, -5, true), 1);
  EXPECT_EQ(ed->caretCol, 1);
  EXPECT_EQ(GoToPosition(ed, 1000, true), 0);
  Undo(ed);
  EXPECT_EQ(ed->CurrentLine() * 100 + ed->caretCol, 207);
}

}  // namespace
