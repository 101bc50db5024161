// Bookmarks, the cursor-to-line mark, hyper fields and the whole-text
// utilities on an editor record without a window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hyper.h"
#include "lineops.h"
#include "records.h"

using namespace QEL_EDIT::detail;
namespace K = Qel::RunTime::Kernel;

namespace {

class LineOps : public edittest::Records {
 protected:
  static std::wstring Pretty(std::wstring s) {
    for (auto& c : s) c = c == FieldStart ? L'[' : c == FieldSeparator ? L'|' : c == FieldEnd ? L']' : c;
    return s;
  }
};

std::vector<std::pair<int32_t, uint16_t>> List(EditorRecord* ed, uint16_t mask) {
  std::vector<std::pair<int32_t, uint16_t>> out;
  ForEachBookmark(ed, mask, [&](int32_t line, uint16_t type) { out.emplace_back(line, type); });
  return out;
}

TEST_F(LineOps, BookmarksTravelWithTheirLines) {
  EditorRecord* ed = Make(L"a\nb\nc\nd");
  SetBookmarkType(ed, 2, 0x3);
  SetBookmarkType(ed, 4, 0x1);
  SetBookmarkType(ed, 9, 0x1);  // no such line: nothing
  EXPECT_EQ(BookmarkType(ed, 2), 0x3);
  EXPECT_EQ(BookmarkType(ed, 9), 0);
  using L = std::vector<std::pair<int32_t, uint16_t>>;
  EXPECT_EQ(List(ed, 0x1), (L{{2, 3}, {4, 1}}));
  EXPECT_EQ(List(ed, 0x3), (L{{2, 3}}));
  EXPECT_EQ(List(ed, 0).size(), 4u);  // mask 0: every line
  // A line inserted above moves them; an edited line keeps its mark.
  MoveCaretTo(ed, 1, 1);
  ASSERT_EQ(K::RunTrapped([&] { NewLine(ed, true, false, true); }), 0u);
  MoveCaretTo(ed, 3, 2);
  ASSERT_EQ(K::RunTrapped([&] { TypeChar(ed, L'x', true, true); }), 0u);
  EXPECT_EQ(List(ed, 0x1), (L{{3, 3}, {5, 1}}));
  // A deleted line takes its mark with it.
  MoveCaretTo(ed, 5, 1);
  ASSERT_EQ(K::RunTrapped([&] { DeleteLine(ed, true); }), 0u);
  EXPECT_EQ(List(ed, 0x1), (L{{3, 3}}));
  ClearBookmarks(ed);
  EXPECT_TRUE(List(ed, 0x1).empty());
}

TEST_F(LineOps, CursorLineColour) {
  EditorRecord* ed = Make(L"a");
  SetCursorLine(ed, 3, 0x12000000);  // no colour in the low 24 bits
  EXPECT_EQ(ed->cursorLine, 3);
  EXPECT_EQ(ed->cursorColor, 0x00FF00);
  SetCursorLine(ed, 1, 0x0000FF);
  EXPECT_EQ(ed->cursorColor, 0x0000FF);
}

TEST_F(LineOps, HyperFields) {
  EditorRecord* ed = Make(L"xabcx\nplain", true);
  ed->selection = {1, 2, 1, 5, 1};
  bool made = false;
  ASSERT_EQ(K::RunTrapped([&] { made = CreateHyperField(ed, L"d1"); }), 0u);
  ASSERT_TRUE(made);
  EXPECT_EQ(Pretty(Text(ed)), L"x[abc|d1]x\nplain");
  EXPECT_FALSE(ed->selection.active);
  // Over the field again: nothing; an empty or multi-line selection: nothing.
  ed->selection = {1, 1, 1, 3, 1};
  ASSERT_EQ(K::RunTrapped([&] { made = CreateHyperField(ed, L"d2"); }), 0u);
  EXPECT_FALSE(made);
  ed->selection = {1, 2, 1, 2, 1};
  ASSERT_EQ(K::RunTrapped([&] { made = CreateHyperField(ed, L"d2"); }), 0u);
  EXPECT_FALSE(made);
  ed->selection = {1, 2, 1, 2, 2};
  ASSERT_EQ(K::RunTrapped([&] { made = CreateHyperField(ed, L"d2"); }), 0u);
  EXPECT_FALSE(made);
  EXPECT_EQ(Pretty(Text(ed)), L"x[abc|d1]x\nplain");

  ed->selection.active = 0;
  MoveCaretTo(ed, 1, 3);
  const wchar_t* data = nullptr;
  EXPECT_TRUE(FieldDataAtCaret(ed, &data));
  EXPECT_STREQ(data, L"d1");
  bool removed = false;
  ASSERT_EQ(K::RunTrapped([&] { removed = RemoveFieldAtCaret(ed); }), 0u);
  EXPECT_TRUE(removed);
  EXPECT_EQ(Text(ed), L"xabcx\nplain");
  MoveCaretTo(ed, 1, 1);
  EXPECT_FALSE(FieldDataAtCaret(ed, &data));
  Undo(ed);
  EXPECT_EQ(Pretty(Text(ed)), L"x[abc|d1]x\nplain");
  Undo(ed);
  EXPECT_EQ(Text(ed), L"xabcx\nplain");
}

TEST_F(LineOps, ExpandTabsAndTrimAreOneStepEach) {
  settings.tabSize = 4;
  EditorRecord* ed = Make(L"\t\tx\n\t\nab\tc  \n   \t\nkeep");
  const std::wstring original = Text(ed);
  ASSERT_EQ(K::RunTrapped([&] { ExpandTabs(ed); }), 0u);
  EXPECT_EQ(Text(ed), L"        x\n\t\nab  c  \n    \nkeep");  // a lone tab stays
  MoveCaretTo(ed, 4, 5);
  ASSERT_EQ(K::RunTrapped([&] { TrimTrailingSpaces(ed); }), 0u);
  EXPECT_EQ(Text(ed), L"        x\n\nab  c\n\nkeep");
  EXPECT_EQ(ed->CurrentLine() * 100 + ed->caretCol, 401);  // behind the blanks: to column 1
  Undo(ed);
  EXPECT_EQ(Text(ed), L"        x\n\t\nab  c  \n    \nkeep");
  Undo(ed);
  EXPECT_EQ(Text(ed), original);
}

TEST_F(LineOps, TrimWithManyLinesUndoesAtOnce) {
  std::wstring text;
  for (int i = 0; i < 3000; ++i) text += L"line  \n";
  EditorRecord* ed = Make(text.c_str());
  ASSERT_EQ(K::RunTrapped([&] { TrimTrailingSpaces(ed); }), 0u);
  EXPECT_EQ(Text(ed).find(L"  "), std::wstring::npos);
  Undo(ed);
  EXPECT_TRUE(Text(ed) == text);
}

}  // namespace
