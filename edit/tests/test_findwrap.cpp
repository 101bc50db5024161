// Search and replace in a word-wrap editor without a window (every
// character 8 pixels wide): matches over soft breaks selected on their rows,
// replace steps and Change All breaking the changed logical lines into rows
// again, each one undo step, and the text utilities on logical lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lineops.h"
#include "searchrecords.h"
#include "wrap.h"

using namespace QEL_EDIT::detail;
namespace K = Qel::RunTime::Kernel;

namespace {

class FindWrap : public edittest::SearchRecords {
 protected:
  // A wrapping editor whose rows are `chars` characters wide.
  EditorRecord* Wrapped(const wchar_t* text, int32_t chars = 11, bool hyper = false) {
    return Keep(edittest::NewWrappedRecord(text, chars, hyper));
  }
  // Rows, "~" after a soft end and "|" after a hard one.
  static std::vector<std::wstring> Rows(EditorRecord* ed) { return edittest::RowTexts(ed); }
  // The rows a fresh load of the editor's text gives.
  std::vector<std::wstring> FreshRows(EditorRecord* ed) {
    const std::wstring text = Text(ed);
    return Rows(Wrapped(text.c_str()));
  }
  // Case-sensitive, not whole words.
  static void Options(bool forward, bool regex, int origin) {
    SearchRecords::Options(forward, true, false, regex, origin);
  }
  // The selection as "row:col-row:col" (anchor, caret end), or "none".
  static std::string Sel(EditorRecord* ed) {
    const Selection& s = ed->selection;
    if (!s.active) return "none";
    return std::to_string(s.anchorLine) + ":" + std::to_string(s.anchorCol) + "-" +
           std::to_string(s.caretLine) + ":" + std::to_string(s.caretCol);
  }
  static int32_t Replace(EditorRecord* ed, const wchar_t* find, const wchar_t* by) {
    int32_t r = -1;
    EXPECT_EQ(K::RunTrapped([&] { r = ReplaceDriver(ed, find, by, false); }), 0u);
    return r;
  }
};

// "alpha beta gamma delta" at 11 characters: "alpha beta ~", "gamma ~",
// "delta|"; then "zeta|".
constexpr const wchar_t* Prose = L"alpha beta gamma delta\nzeta";

TEST_F(FindWrap, MatchesOverSoftBreaksAreSelectedOnTheirRows) {
  struct Case {
    const char* what;
    const wchar_t* find;
    bool forward, regex;
    int origin;
    int32_t caretRow, caretCol;
    const char* selection;
  } cases[] = {
      {"plain over a soft break", L"beta gamma", true, false, 1, 1, 1, "1:7-2:6"},
      {"regex over a soft break", L"a\\s+g", true, true, 1, 1, 1, "1:10-2:2"},
      {"regex never over a hard end", L"delta\\s+zeta", true, true, 1, 1, 1, "none"},
      {"plain: a hard end is no blank", L"delta zeta", true, false, 1, 1, 1, "none"},
      {"from the caret on a continuation row", L"a", true, false, 0, 2, 3, "2:5-2:6"},
      {"backward from the caret", L"a", false, false, 0, 2, 3, "2:2-2:3"},
      {"backward entire scope: the last logical line", L"ta", false, false, 1, 1, 1, "4:3-4:5"},
      {"a match ending on a soft break", L"beta ", true, false, 1, 1, 1, "1:7-1:12"},
      {"a match starting behind a soft break", L"gamma", true, false, 1, 1, 1, "1:12-2:6"},
  };
  for (const Case& c : cases) {
    EditorRecord* ed = Wrapped(Prose);
    ASSERT_EQ(Rows(ed), (std::vector<std::wstring>{L"alpha beta ~", L"gamma ~", L"delta|", L"zeta|"}));
    Options(c.forward, c.regex, c.origin);
    MoveCaretTo(ed, c.caretRow, c.caretCol);
    const int32_t found = Search(ed, c.find);
    EXPECT_EQ(Sel(ed), c.selection) << c.what;
    EXPECT_EQ(found, std::string(c.selection) != "none") << c.what;
  }
}

TEST_F(FindWrap, ReplaceStepBreaksTheLineAgainAsOneUndoStep) {
  EditorRecord* ed = Wrapped(Prose);
  const std::vector<std::wstring> rows = Rows(ed);
  Options(true, false, 1);
  EXPECT_EQ(Replace(ed, L"beta gamma", L"B"), 1);  // found and selected
  EXPECT_EQ(Sel(ed), "1:7-2:6");
  EXPECT_EQ(Replace(ed, L"beta gamma", L"B"), 1);  // replaced; nothing further
  EXPECT_EQ(Text(ed), L"alpha B delta\nzeta");
  EXPECT_EQ(Rows(ed), FreshRows(ed));
  EXPECT_EQ(ed->CurrentLine(), 1);
  EXPECT_EQ(ed->caretCol, 8);  // behind "B"
  EXPECT_EQ(ed->store.Check(), nullptr);
  Undo(ed);
  EXPECT_EQ(Rows(ed), rows);
  Redo(ed);
  EXPECT_EQ(Text(ed), L"alpha B delta\nzeta");
  EXPECT_EQ(Rows(ed), FreshRows(ed));
  // A longer replacement makes more rows.
  Options(true, true, 1);
  EXPECT_EQ(Replace(ed, L"z\\w+", L"zeta theta iota kappa"), 1);
  EXPECT_EQ(Replace(ed, L"z\\w+", L"zeta theta iota kappa"), 1);
  EXPECT_EQ(Text(ed), L"alpha B delta\nzeta theta iota kappa");
  EXPECT_EQ(Rows(ed), FreshRows(ed));
  EXPECT_EQ(ed->store.Check(), nullptr);
}

TEST_F(FindWrap, ChangeAllRelaysTheChangedLinesAndUndoesAtOnce) {
  std::wstring text;
  for (int i = 0; i < 300; ++i) text += L"one two three four five six " + std::to_wstring(i) + L"\n";
  text += L"end";
  for (bool regex : {false, true}) {
    EditorRecord* ed = Wrapped(text.c_str());
    const std::vector<std::wstring> rows = Rows(ed);
    Options(true, regex, 1);
    searchState.changeAll = true;
    EXPECT_EQ(Replace(ed, L"two", L"two-and-twenty"), 0);
    EXPECT_EQ(searchState.replacementCount, 300);
    std::wstring expected = text;
    for (size_t at = 0; (at = expected.find(L"two ", at)) != std::wstring::npos; at += 15)
      expected.replace(at, 3, L"two-and-twenty");
    EXPECT_TRUE(Text(ed) == expected) << regex;
    EXPECT_GT(ed->LineCount(), static_cast<int32_t>(rows.size()));
    EXPECT_TRUE(Rows(ed) == FreshRows(ed)) << regex;
    EXPECT_EQ(ed->store.Check(), nullptr);
    // The caret stands behind the last replacement.
    const uint32_t last = static_cast<uint32_t>(expected.rfind(L"two-and-twenty") + 15);
    EXPECT_EQ(ed->store.PositionOf(ed->CurrentLine(), ed->caretCol), last) << regex;
    Undo(ed);
    EXPECT_TRUE(Text(ed) == text);
    EXPECT_TRUE(Rows(ed) == rows);
    Redo(ed);
    EXPECT_TRUE(Text(ed) == expected);
    EXPECT_TRUE(Rows(ed) == FreshRows(ed));
    // Shrinking lines give rows back.
    EXPECT_EQ(Replace(ed, L"two-and-twenty three four five", L"2"), 0);
    EXPECT_TRUE(Rows(ed) == FreshRows(ed));
    EXPECT_LT(ed->LineCount(), static_cast<int32_t>(rows.size()));
    EXPECT_EQ(ed->store.Check(), nullptr);
    searchState.changeAll = false;
  }
}

// Selection scope over rows: the scope's ends are turned into logical
// places, so a selection ending on a continuation row ends there.
TEST_F(FindWrap, ChangeAllInASelectionOverRows) {
  EditorRecord* ed = Wrapped(L"aa aa aa aa aa aa\naa");
  ASSERT_EQ(Rows(ed), (std::vector<std::wstring>{L"aa aa aa ~", L"aa aa aa|", L"aa|"}));
  Options(true, false, 1);
  searchState.options.selectionScope = true;
  searchState.changeAll = true;
  ed->selection = {1, 4, 1, 6, 2};  // (1,4) .. (2,6): "aa aa aa aa"
  MoveCaretTo(ed, 2, 6);
  EXPECT_EQ(Replace(ed, L"aa", L"b"), 0);
  EXPECT_EQ(searchState.replacementCount, 4);
  EXPECT_EQ(Text(ed), L"aa b b b b aa\naa");
  EXPECT_EQ(Rows(ed), FreshRows(ed));
}

// Trimming and tab expansion work on logical lines: the blanks that end a
// soft row stay, the caret keeps its place in the text.
TEST_F(FindWrap, TextUtilitiesKeepSoftBreaks) {
  EditorRecord* ed = Wrapped(L"alpha beta gamma delta   \nz\tq  ");
  MoveCaretTo(ed, 2, 3);
  const uint32_t caret = ed->store.PositionOf(ed->CurrentLine(), ed->caretCol);
  ASSERT_EQ(K::RunTrapped([&] { TrimTrailingSpaces(ed); }), 0u);
  EXPECT_EQ(Text(ed), L"alpha beta gamma delta\nz\tq");
  EXPECT_EQ(Rows(ed), FreshRows(ed));
  EXPECT_EQ(ed->store.PositionOf(ed->CurrentLine(), ed->caretCol), caret);
  ASSERT_EQ(K::RunTrapped([&] { ExpandTabs(ed); }), 0u);
  EXPECT_EQ(Text(ed), L"alpha beta gamma delta\nz   q");
  EXPECT_EQ(Rows(ed), FreshRows(ed));
  Undo(ed);
  Undo(ed);
  EXPECT_EQ(Text(ed), L"alpha beta gamma delta   \nz\tq  ");
  EXPECT_EQ(ed->store.Check(), nullptr);
}

}  // namespace
