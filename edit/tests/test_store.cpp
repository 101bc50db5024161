// The chunk store: chunk use per line length, freeing, page growth, a full
// store, a random edit run against a model, tab columns, hyper markup, soft
// rows and text positions.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "store.h"

using namespace QEL_EDIT::detail;

namespace {

struct StoreDeleter {
  void operator()(TextStore* s) const {
    s->FreeAll();
    delete s;
  }
};
using StorePtr = std::unique_ptr<TextStore, StoreDeleter>;

StorePtr NewStore(bool hyper = false) {
  StorePtr s(new TextStore());  // zeroed: an empty store
  EXPECT_TRUE(s->Init(hyper));
  return s;
}

uint64_t UsedChunks(TextStore& s) {
  return static_cast<uint64_t>(s.lastPage + 1) * ChunksPerPage - s.FreeChunks();
}

std::wstring Line(TextStore& s, int32_t n, bool expand = false, int tab = 4) {
  ChunkRef r = s.FindLine(n);
  std::vector<wchar_t> buf(s.LineBufferLength(r, expand, tab));
  s.ReadLine(r, buf.data(), expand, tab);
  return buf.data();
}

// Rows given as {text, hard end}.
void LoadRows(TextStore& s, const std::vector<std::pair<std::wstring, bool>>& rows) {
  ChunkRef r = s.textHead;
  for (size_t i = 0; i < rows.size(); ++i) {
    if (i) r = s.InsertLineAfter(r);
    ASSERT_FALSE(r.IsFailed());
    ASSERT_TRUE(s.WriteRow(r, rows[i].first.c_str(), rows[i].second));
  }
}
void Load(TextStore& s, const std::vector<std::wstring>& lines) {
  std::vector<std::pair<std::wstring, bool>> rows;
  for (const auto& l : lines) rows.push_back({l, true});
  LoadRows(s, rows);
}

TEST(Store, NewStoreHoldsOneEmptyLine) {
  auto s = NewStore();
  EXPECT_EQ(s->lineCount, 1);
  EXPECT_EQ(Line(*s, 1), L"");
  EXPECT_EQ(s->PositionOf(1, 1), 1u);
  EXPECT_TRUE(s->FindLine(2).IsEnd());
  EXPECT_TRUE(s->FindLine(0).IsEnd());
  EXPECT_EQ(UsedChunks(*s), 1u);
  EXPECT_EQ(s->Check(), nullptr);
}

TEST(Store, ChunksPerLineLengthAndShrinking) {
  struct Case { size_t length; uint64_t chunks; };
  const Case cases[] = {{0, 1}, {116, 1}, {117, 2}, {233, 2}, {234, 3}, {1000, 9}};
  for (const Case& c : cases) {
    auto s = NewStore();
    std::wstring text(c.length, L'x');
    ASSERT_TRUE(s->WriteLine(s->textHead, text.c_str()));
    EXPECT_EQ(UsedChunks(*s), c.chunks) << c.length;
    EXPECT_EQ(Line(*s, 1), text) << c.length;
    EXPECT_EQ(s->Check(), nullptr) << c.length;
  }
  // Shrinking a three-chunk line to 10 characters frees its continuations,
  // also when a line follows it.
  auto s = NewStore();
  Load(*s, {std::wstring(234, L'a'), L"next"});
  EXPECT_EQ(UsedChunks(*s), 4u);
  ASSERT_TRUE(s->WriteLine(s->FindLine(1), L"0123456789"));
  EXPECT_EQ(UsedChunks(*s), 2u);
  EXPECT_EQ(Line(*s, 1), L"0123456789");
  EXPECT_EQ(Line(*s, 2), L"next");
  EXPECT_EQ(s->Check(), nullptr);
}

TEST(Store, PageOneIsMadeAfter256Chunks) {
  auto s = NewStore();
  ChunkRef r = s->textHead;
  for (int i = 1; i < ChunksPerPage; ++i) r = s->InsertLineAfter(r);
  EXPECT_EQ(s->lastPage, 0);
  EXPECT_TRUE(s->freeHead.IsEnd());
  ChunkRef next = s->InsertLineAfter(r);
  EXPECT_EQ(s->lastPage, 1);
  EXPECT_EQ(next.page, 1);
  EXPECT_EQ(next.chunk, 0);
  EXPECT_EQ(s->lineCount, 257);
  EXPECT_EQ(s->Check(), nullptr);
}

TEST(Store, FullStoreRefusesAndChangesNothing) {
  auto s = NewStore();
  ChunkRef r = s->textHead;
  ASSERT_TRUE(s->WriteLine(r, L"first"));
  int32_t lines = 1;
  for (;;) {
    ChunkRef n = s->InsertLineAfter(r);
    if (n.IsFailed()) break;
    r = n;
    ++lines;
  }
  EXPECT_EQ(lines, MaxPages * ChunksPerPage);
  EXPECT_EQ(s->lineCount, lines);
  EXPECT_EQ(s->lastPage, MaxPages - 1);
  EXPECT_FALSE(s->HasRoom(1));
  // A write that needs a further chunk is refused whole.
  std::wstring longText(300, L'y');
  EXPECT_FALSE(s->WriteLine(s->textHead, longText.c_str()));
  EXPECT_EQ(Line(*s, 1), L"first");
  // Freeing a line makes room for exactly one chunk.
  s->FreeLine(s->FindLine(2));
  EXPECT_TRUE(s->HasRoom(1));
  EXPECT_FALSE(s->HasRoom(2));
  EXPECT_FALSE(s->WriteLine(s->textHead, longText.c_str()));
  EXPECT_TRUE(s->WriteLine(s->textHead, std::wstring(200, L'z').c_str()));
  EXPECT_EQ(s->Check(), nullptr);
  EXPECT_EQ(s->lineCount, lines - 1);
}

// Random inserts, frees and writes against a vector of lines; every step is
// checked for the store's invariants, and the text compared regularly.
TEST(Store, RandomEditsMatchModel) {
  std::mt19937 rng(12345);
  auto s = NewStore();
  std::vector<std::wstring> model{L""};
  const size_t lengths[] = {0, 1, 116, 117, 118, 233, 234, 235, 500};
  auto text = [&](size_t len) {
    std::wstring t;
    for (size_t i = 0; i < len; ++i) t += static_cast<wchar_t>(L'a' + rng() % 26);
    return t;
  };
  for (int step = 0; step < 6000; ++step) {
    int32_t n = 1 + static_cast<int32_t>(rng() % model.size());
    switch (rng() % 4) {
      case 0:
      case 1: {
        std::wstring t = text(lengths[rng() % 9]);
        ChunkRef r = s->InsertLineAfter(s->FindLine(n));
        ASSERT_FALSE(r.IsFailed());
        ASSERT_TRUE(s->WriteLine(r, t.c_str()));
        model.insert(model.begin() + n, t);
        break;
      }
      case 2:
        if (model.size() > 1) {
          s->FreeLine(s->FindLine(n));
          model.erase(model.begin() + (n - 1));
        }
        break;
      default: {
        std::wstring t = text(lengths[rng() % 9]);
        ASSERT_TRUE(s->WriteLine(s->FindLine(n), t.c_str()));
        model[n - 1] = t;
      }
    }
    ASSERT_EQ(s->lineCount, static_cast<int32_t>(model.size()));
    if (step % 50 == 0) {
      ASSERT_EQ(s->Check(), nullptr) << "step " << step;
      for (size_t i = 0; i < model.size(); ++i)
        ASSERT_EQ(Line(*s, static_cast<int32_t>(i + 1)), model[i]) << "step " << step;
    }
  }
  EXPECT_EQ(s->Check(), nullptr);
}

TEST(Store, TabStopsAndExpansion) {
  struct Case { const wchar_t* line; int tab; int32_t k; int32_t column; };
  const Case cases[] = {
      {L"\tx", 4, 2, 5},     // TAB at column 0 takes 4
      {L"abc\tx", 4, 5, 5},  // at column 3 takes 1
      {L"abcd\tx", 4, 6, 9}, // at column 4 takes 4
      {L"a\t\tb", 3, 4, 7},
      {L"ab", 4, 3, 3},      // one past the end
  };
  for (const Case& c : cases) {
    auto s = NewStore();
    ASSERT_TRUE(s->WriteLine(s->textHead, c.line));
    EXPECT_EQ(s->ColumnOfChar(1, c.k, c.tab), c.column) << testing::PrintToString(std::wstring(c.line));
  }
  auto s = NewStore();
  Load(*s, {L"\tx", L"abc\ty", L"abcd\tz"});
  EXPECT_EQ(Line(*s, 1, true), L"    x");
  EXPECT_EQ(Line(*s, 2, true), L"abc y");
  EXPECT_EQ(Line(*s, 3, true), L"abcd    z");
  EXPECT_EQ(s->LineBufferLength(3, true), 10u);
  EXPECT_EQ(s->LineBufferLength(3, false), 7u);
}

TEST(Store, HyperMarkupIsHiddenFromVisibleCounts) {
  const std::wstring line{L'a', 14, L'x', L'y', L'z', 15, L'b'};
  auto h = NewStore(true);
  ASSERT_TRUE(h->WriteLine(h->textHead, line.c_str()));
  EXPECT_EQ(h->VisibleLength(1), 2);
  EXPECT_EQ(h->ColumnOfChar(1, 2, 4), 2);
  EXPECT_EQ(h->PositionOf(1, 2), 7u);
  int32_t n, k;
  EXPECT_TRUE(h->LineColOf(7, &n, &k));
  EXPECT_EQ(k, 2);
  EXPECT_EQ(h->RawIndexOfVisible(line.c_str(), 2), 6u);
  EXPECT_EQ(h->VisibleIndexOfRaw(line.c_str(), 6), 2);
  // Hidden characters take no column and do not move tab stops.
  const std::wstring tabbed{L'a', 11, 14, L'q', 15, L'\t', L'b'};
  ASSERT_TRUE(h->WriteLine(h->textHead, tabbed.c_str()));
  EXPECT_EQ(h->ColumnOfChar(1, 3, 4), 5);
  EXPECT_EQ(Line(*h, 1, true), std::wstring({L'a', 11, 14, L'q', 15, L' ', L' ', L' ', L'b'}));
  // Without hyper mode the same codes are ordinary characters.
  auto p = NewStore(false);
  ASSERT_TRUE(p->WriteLine(p->textHead, line.c_str()));
  EXPECT_EQ(p->VisibleLength(1), 7);
  EXPECT_EQ(p->PositionOf(1, 2), 2u);
}

TEST(Store, SoftRowsCountNoLineBreak) {
  auto s = NewStore();
  LoadRows(*s, {{L"abc", false}, {L"de", true}, {L"f", true}});
  EXPECT_EQ(s->PositionOf(3, 1), 7u);
  EXPECT_EQ(s->PositionOf(2, 1), 4u);
  uint32_t len = 0;
  EXPECT_TRUE(s->RowContinues(2, &len));
  EXPECT_EQ(len, 3u);
  EXPECT_FALSE(s->RowContinues(3, &len));
  EXPECT_FALSE(s->RowContinues(1, &len));
  // A position on the soft break is the start of the next row.
  int32_t n, k;
  EXPECT_TRUE(s->LineColOf(4, &n, &k));
  EXPECT_EQ(n, 2);
  EXPECT_EQ(k, 1);
  bool hard = true;
  std::vector<wchar_t> buf(8);
  s->ReadRow(s->textHead, buf.data(), false, 4, &hard);
  EXPECT_FALSE(hard);
  EXPECT_STREQ(buf.data(), L"abc");
  // An empty soft row holds just its end mark.
  ASSERT_TRUE(s->WriteRow(s->textHead, L"", false));
  s->ReadRow(s->textHead, buf.data(), false, 4, &hard);
  EXPECT_FALSE(hard);
  EXPECT_EQ(s->At(s->textHead)->text[0], SoftEnd);
}

// Every position of a text maps to (line, column) and back.
TEST(Store, PositionsRoundTrip) {
  auto s = NewStore();
  std::vector<std::wstring> lines{L"abc", L"", std::wstring(117, L'q'), L"xy", L""};
  Load(*s, lines);
  uint32_t total = 0;
  for (const auto& l : lines) total += static_cast<uint32_t>(l.size()) + 1;
  uint32_t expected = 1;
  for (int32_t n = 1; n <= 5; ++n) {
    for (int32_t k = 1; k <= static_cast<int32_t>(lines[n - 1].size()) + 1; ++k) {
      uint32_t p = s->PositionOf(n, k);
      ASSERT_EQ(p, expected) << n << "," << k;
      int32_t n2, k2;
      ASSERT_TRUE(s->LineColOf(p, &n2, &k2));
      ASSERT_EQ(n2, n);
      ASSERT_EQ(k2, k);
      ++expected;
    }
  }
  EXPECT_EQ(expected, total + 1);
  int32_t n, k;
  EXPECT_FALSE(s->LineColOf(total + 1, &n, &k));
  EXPECT_EQ(n, 5);
  EXPECT_FALSE(s->LineColOf(0, &n, &k));
}

TEST(Store, LineStateLeavesKindAndText) {
  auto s = NewStore();
  Load(*s, {std::wstring(200, L'a'), L"b"});
  ChunkRef r = s->FindLine(1);
  for (uint32_t state : {0u, 5u, 15u, 9u}) {
    s->SetLineState(r, state);
    EXPECT_EQ(s->GetLineState(r), state);
  }
  EXPECT_EQ(s->Check(), nullptr);
  EXPECT_EQ(Line(*s, 2), L"b");
}

TEST(Store, FreeingTheHeadMovesIt) {
  auto s = NewStore();
  Load(*s, {std::wstring(150, L'1'), L"2", L"3"});
  s->FindLine(3);
  s->FreeLine(s->textHead);
  EXPECT_EQ(s->lineCount, 2);
  EXPECT_EQ(Line(*s, 1), L"2");
  EXPECT_EQ(Line(*s, 2), L"3");
  EXPECT_EQ(s->Check(), nullptr);
  // The only line is never freed.
  s->FreeLine(s->textHead);
  s->FreeLine(s->textHead);
  EXPECT_EQ(s->lineCount, 1);
  EXPECT_EQ(s->Check(), nullptr);
}

TEST(Store, StoreConversion) {
  struct Case { std::wstring in; bool markup; std::wstring out; };
  const Case cases[] = {
      {L"a\nb", false, L"a\r\nb"},
      {L"a\r\nb", false, L"a \r\nb"},
      {std::wstring{L'x', 1, 9, 11, 14, 15, 31}, false, std::wstring{L'x', L' ', 9, L' ', L' ', L' ', L' '}},
      {std::wstring{L'x', 11, 14, 15, 12}, true, std::wstring{L'x', 11, 14, 15, L' '}},
      {L"", false, L""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StoreTextLength(c.in.c_str()), c.out.size() + 1);
    std::vector<wchar_t> out(c.out.size() + 1);
    ToStoreText(c.in.c_str(), out.data(), c.markup);
    EXPECT_EQ(std::wstring(out.data()), c.out);
  }
}

}  // namespace
