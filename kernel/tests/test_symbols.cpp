// The symbol table: canonical pointers, ordinal distinctions, a degenerate
// tree, and insertions from several threads while the collector runs.
#include <gtest/gtest.h>
#include <windows.h>

#include <gc.h>

#include <string>
#include <thread>
#include <vector>

#include "qel6kernel.h"

using namespace Qel::RunTime::Kernel;
using Memory::RBinTree;

TEST(Symbols, EqualTextsShareTheFirstCallersPointer) {
  RBinTree* table = Memory::CreateSymbolsTable();
  ASSERT_NE(table, nullptr);
  static const wchar_t abc[] = L"abc";
  wchar_t other[] = L"abc";
  const wchar_t* first = table->Insert(abc, false);
  EXPECT_EQ(first, abc);
  EXPECT_EQ(table->Insert(other, false), abc);
  EXPECT_EQ(table->Insert(other, true), abc);

  // With copy, the canonical text is a heap copy, not the caller's buffer.
  wchar_t buffer[] = L"xyz";
  const wchar_t* copied = table->Insert(buffer, true);
  EXPECT_NE(copied, buffer);
  EXPECT_STREQ(copied, L"xyz");
  buffer[0] = L'q';
  EXPECT_EQ(table->Insert(L"xyz", false), copied);
}

TEST(Symbols, TextsThatDifferInAnyCodeUnitAreDistinct) {
  RBinTree* table = Memory::CreateSymbolsTable();
  // Pairs a linguistic comparison may take as equal: case, characters
  // without sort weight (soft hyphen, zero-width space), width variants.
  const std::pair<const wchar_t*, const wchar_t*> pairs[] = {
      {L"abc", L"ABC"},
      {L"ab", L"a\u00ADb"},
      {L"ab", L"a\u200Bb"},
      {L"coop", L"co-op"},
      {L"A", L"\uFF21"},
      {L"", L"\u200B"},
  };
  for (const auto& [a, b] : pairs) {
    const wchar_t* ca = table->Insert(a, true);
    const wchar_t* cb = table->Insert(b, true);
    EXPECT_NE(ca, cb) << "merged: " << testing::PrintToString(std::wstring(b));
    EXPECT_STREQ(ca, a);
    EXPECT_STREQ(cb, b);
    EXPECT_EQ(table->Insert(a, true), ca);
    EXPECT_EQ(table->Insert(b, true), cb);
  }
}

TEST(Symbols, SortedInsertionsStillAnswer) {
  RBinTree* table = Memory::CreateSymbolsTable();
  std::vector<const wchar_t*> canonical;
  wchar_t text[16];
  for (int i = 0; i < 2000; ++i) {
    swprintf(text, 16, L"s%05d", i);
    canonical.push_back(table->Insert(text, true));
  }
  for (int i = 1999; i >= 0; --i) {
    swprintf(text, 16, L"s%05d", i);
    EXPECT_EQ(table->Insert(text, true), canonical[i]);
  }
}

// A table in static data: its nodes stay reachable across collections.
static RBinTree g_table;

TEST(Symbols, SeveralThreadsGetOneCanonicalPointerPerText) {
  constexpr int kThreads = 6, kTexts = 600;
  std::vector<std::vector<const wchar_t*>> seen(kThreads, std::vector<const wchar_t*>(kTexts));
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &seen] {
      wchar_t text[32];
      for (int k = 0; k < kTexts; ++k) {
        int i = (k * 7 + t * 101) % kTexts;  // each thread in its own order
        swprintf(text, 32, L"symbol-%d", i);
        seen[t][i] = g_table.Insert(text, true);
        if (k % 50 == 0) {
          // Garbage, and now and then a collection, while others insert.
          for (int g = 0; g < 200; ++g) Memory::AllocHeap(64);
          if (k % 200 == 0) GC_gcollect();
        }
      }
    });
  }
  for (auto& th : threads) th.join();
  GC_gcollect();
  for (int i = 0; i < kTexts; ++i) {
    wchar_t text[32];
    swprintf(text, 32, L"symbol-%d", i);
    const wchar_t* c = g_table.Insert(text, false);
    EXPECT_STREQ(c, text);
    for (int t = 0; t < kThreads; ++t) ASSERT_EQ(seen[t][i], c) << "thread " << t << " text " << i;
  }
}
