// Token queries and paint runs: the token at a column, word boundaries in
// both directions with both flags and across lines, and paint runs merged,
// cut, split by the selection and closed with fill cells.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "colors.h"
#include "colourtest.h"
#include "paintruns.h"

using namespace QEL_EDIT::detail;
using colourtest::RunsText;

namespace {

TEST(TokenBounds, TokenAtAColumn) {
  const struct {
    const wchar_t* text;
    int32_t col;
    bool found;
    int32_t start, end;
  } cases[] = {
      {L"foo  bar", 2, true, 1, 4},   // a word gives the whole word
      {L"foo  bar", 4, true, 4, 5},   // a blank gives one character
      {L"foo:=bar", 5, true, 5, 6},   // so does other text
      {L"foo  bar", 8, true, 6, 9},
      {L"foo  bar", 9, false, 0, 0},  // behind the last token
      {L"x $1f", 4, true, 3, 6},
      {L"a\x0Bxy\x0Ehidden\x0Fz", 3, true, 2, 4},  // visible columns
      {L"a\x0Bxy\x0Ehidden\x0Fz", 4, true, 4, 5},
      {L"", 1, false, 0, 0},
  };
  for (const auto& c : cases) {
    int32_t s = 0, e = 0;
    EXPECT_EQ(TokenBounds(c.text, c.col, &s, &e), c.found) << c.col;
    if (c.found) {
      EXPECT_EQ(s, c.start) << c.col;
      EXPECT_EQ(e, c.end) << c.col;
    }
  }
}

TEST(WordBoundary, BothDirectionsAndFlags) {
  const struct {
    const wchar_t* text;
    int32_t col;
    bool forward, anyToken, crossed;
    int32_t answer, result;
  } cases[] = {
      // Forward.
      {L"abc def", 2, true, false, false, 0, 5},
      {L"abc := def", 1, true, false, false, 0, 8},   // other text is passed without the flag
      {L"abc := def", 1, true, true, false, 0, 5},    // and stops the search with it
      {L"a:=b", 2, true, true, false, 0, 3},          // inside other text: one column
      {L"abc", 4, true, false, false, 1, 4},          // end of the line: continue
      {L"abc", 4, true, true, true, 0, 4},
      {L"abc   ", 1, true, false, false, 0, 7},
      {L"   ", 1, true, false, false, 1, 4},          // only blanks: continue
      {L"abc def", 1, true, false, true, 0, 1},       // a crossed line's leading word
      {L"  def", 1, true, false, true, 0, 3},
      {L":= x", 1, true, true, true, 0, 1},
      // Backward.
      {L"abc def", 6, false, false, false, 0, 5},
      {L"abc def", 5, false, false, false, 0, 1},
      {L"abc def", 1, false, false, false, 1, 1},     // start of the line: continue
      {L"abc def", 1, false, true, true, 0, 1},
      {L"a:=", 4, false, true, false, 0, 3},          // ':=' one column at a time
      {L"a:=", 3, false, true, false, 0, 2},
      {L"a:=", 2, false, true, false, 0, 1},
      {L"abc  ", 6, false, false, false, 0, 1},       // behind the text counts as blank
      {L"   ", 4, false, true, false, 1, 1},          // only blanks: continue
      {L"   ", 4, false, true, true, 0, 1},
      {L"foo ;", 6, false, false, true, 0, 6},        // crossed onto other text
      {L"foo bar", 8, false, false, true, 0, 5},
  };
  for (const auto& c : cases) {
    int32_t result = -1;
    const int32_t answer = TokenWordBoundary(c.text, c.col, c.forward, c.anyToken, c.crossed, &result);
    const std::string what = std::string(c.text, c.text + wcslen(c.text)) + " @" + std::to_string(c.col) +
                             (c.forward ? " fwd" : " back") + (c.anyToken ? " any" : "") +
                             (c.crossed ? " crossed" : "");
    EXPECT_EQ(answer != 0, c.answer != 0) << what;
    if (c.answer == 0) {
      EXPECT_EQ(result, c.result) << what;
    }
  }
}

class Paint : public ::testing::Test {
 protected:
  void SetUp() override { InitColourTables(); }
  std::string Runs(std::initializer_list<std::pair<int32_t, uint16_t>> in, int32_t scheme, int32_t cells,
                   int32_t selStart = 0, int32_t selEnd = 0) {
    runs_.assign(in.size() + 8, ColourRun{0, 0, 0});
    int i = 0;
    for (const auto& r : in) runs_[i++] = {r.first, r.second, 0};
    return RunsText(PaintRuns(runs_.data(), scheme, cells, selStart, selEnd));
  }
  std::vector<ColourRun> runs_;
};

TEST_F(Paint, EqualLooksMerge) {
  // Codes 0, 1 and 15 look alike in scheme 4; 2 and 21 do not in scheme 0.
  EXPECT_EQ(Runs({{3, 1}, {1, 15}, {2, 0}}, 4, 7), "6:1");
  EXPECT_EQ(Runs({{3, 1}, {2, 2}, {2, 21}}, 0, 8), "3:1 2:2 2:21");
  // Hyper text never merges, not even with itself.
  EXPECT_EQ(Runs({{2, 19}, {2, 19}, {1, 0}}, 4, 6), "2:19 2:19 1:0");
  // Leading markup is skipped, later markup dropped.
  EXPECT_EQ(Runs({{1, 101}, {3, 19}, {1, 102}, {4, 100}, {1, 103}, {2, 0}}, 4, 6), "3:19 2:0");
}

TEST_F(Paint, CutAndFill) {
  EXPECT_EQ(Runs({{4, 1}, {6, 7}}, 0, 6), "4:1 1:7");
  EXPECT_EQ(Runs({{4, 1}, {1, 7}}, 0, 4), "3:1");  // the last run cut away entirely
  EXPECT_EQ(Runs({{5, 1}}, 0, 9), "5:1 1:200");    // fewer runs than cells: one fill cell
  EXPECT_EQ(Runs({}, 0, 1), "");
}

TEST_F(Paint, SelectionSplits) {
  EXPECT_EQ(Runs({{10, 0}}, 0, 11, 3, 5), "2:0 2:20 6:0");
  EXPECT_EQ(Runs({{3, 1}, {1, 15}, {3, 7}}, 0, 8, 2, 6), "1:1 4:20 2:7");
  EXPECT_EQ(Runs({{10, 0}}, 0, 11, 1, 11), "10:20");
  EXPECT_EQ(Runs({{10, 0}}, 0, 11, 4, 4), "10:0");
  // Selected cells behind fewer runs than cells: one selected fill cell, then fill.
  EXPECT_EQ(Runs({{5, 0}}, 0, 12, 3, 10), "2:0 3:20 1:201 1:200");
  // A selection starting well behind the runs: a fill gap first.
  EXPECT_EQ(Runs({{5, 0}}, 0, 20, 10, 12), "5:0 3:200 1:201 1:200");
}

TEST_F(Paint, LexedLineEndToEnd) {
  std::vector<ColourRun> buf(kRunCapacity);
  uint32_t state = 0;
  LexColour(L"x:=12;%c", 0, nullptr, buf.data(), &state);
  EXPECT_EQ(RunsText(buf.data()), "1:1 2:0 2:7 1:18 2:14");
  // Identifier and other text look alike (system colours) and merge.
  EXPECT_EQ(RunsText(PaintRuns(buf.data(), 0, 9, 2, 5)), "1:1 3:20 1:7 1:18 2:14");
}

}  // namespace
