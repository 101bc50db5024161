// Text readers on deep input: nesting past the machine stack gives the
// parser's error, nested comments cost no stack, consult keeps one fact's
// term on the global stack at a time, and a raise leaves nothing behind.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "db_unit.h"

using namespace dbunit;
using runtest::BlockSource;
using runtest::ErrorOf;
using Qel::RunTime::Kernel::Memory::MarkGStack;
using Qel::RunTime::Terms::Streams::DataBaseInternal_consult;
using Qel::RunTime::Terms::Streams::FactDB;
using Qel::RunTime::Terms::Streams::ParseToTerm;

namespace {

// pair(pair(... leaf(1,'a') ..., nil), nil), `depth` pairs deep.
std::wstring Nested(int depth) {
  std::wstring s;
  s.reserve(depth * 15 + 16);
  for (int i = 0; i < depth; ++i) s += L"pair(";
  s += L"leaf(1,'a')";
  for (int i = 0; i < depth; ++i) s += L",nil)";
  return s;
}

int DepthOf(const uint8_t* t) {
  int n = 0;
  for (; reinterpret_cast<const Pair*>(t)->functor == 2; ++n) t = Term(reinterpret_cast<const Pair*>(t)->a);
  return n;
}

uint32_t Consult(const std::wstring& text) {
  BlockSource source(text, 4096);
  FactDB db{D(treeFacts), nullptr};
  return ErrorOf([&] { DataBaseInternal_consult(&db, &source, 0); });
}

int TreeCount() {
  int n = 0;
  for (RStructFact* f = treeHeads[0].first; f; f = f->next) ++n;
  return n;
}

class Depth : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(LinkDbUnit(), 0);
    InitializeClassFacts(D(treeFacts));
    InitializeClassFacts(D(plainFacts));
  }
};

TEST_F(Depth, ModerateNestingReadsBackInEveryReader) {
  const int depth = 1000;
  std::wstring text = Nested(depth);
  const uint8_t* t = nullptr;
  ASSERT_EQ(ErrorOf([&] { t = FromString(D(node), text.c_str()); }), 0u);
  EXPECT_EQ(DepthOf(t), depth);
  ASSERT_EQ(ErrorOf([&] { t = ParseToTerm(D(node), text.c_str()); }), 0u);
  EXPECT_EQ(DepthOf(t), depth);
  ASSERT_EQ(Consult(L"tree(" + text + L").\n"), 0u);
  ASSERT_EQ(TreeCount(), 1);
  EXPECT_EQ(DepthOf(Term(reinterpret_cast<const Tree*>(treeHeads[0].first->term)->node)), depth);
}

TEST_F(Depth, NestingPastTheStackGivesTheParsersError) {
  // Deep enough to overflow any thread stack without the bound.
  std::wstring text = Nested(200000);
  EXPECT_EQ(ErrorOf([&] { FromString(D(node), text.c_str()); }), 303u);
  EXPECT_EQ(ErrorOf([&] { ParseToTerm(D(node), text.c_str()); }), 322u);
  EXPECT_EQ(Consult(L"tree(leaf(1,'a')).\ntree(" + text + L").\n"), 322u);
  EXPECT_EQ(TreeCount(), 1);  // the fact before it stays
  // The same thread reads normally afterwards.
  EXPECT_EQ(ErrorOf([&] { FromString(D(node), Nested(10).c_str()); }), 0u);
}

TEST_F(Depth, HundredThousandNestedCommentsAreSkipped) {
  const int n = 100000;
  std::wstring open, close;
  for (int i = 0; i < n; ++i) open += L"/*";
  for (int i = 0; i < n; ++i) close += L" */";
  const uint8_t* t = nullptr;
  ASSERT_EQ(ErrorOf([&] { t = ParseToTerm(D(integer), (open + L" x " + close + L" 42").c_str()); }), 0u);
  EXPECT_EQ(*reinterpret_cast<const int32_t*>(t), 42);
  // One close short: the comment is still open at the end.
  EXPECT_EQ(ErrorOf([&] { ParseToTerm(D(integer), (open + close.substr(3) + L" 42").c_str()); }), 323u);
  EXPECT_EQ(Consult(open + close + L"\ntree(nil).\n" + open + close), 0u);
  EXPECT_EQ(TreeCount(), 1);
}

TEST_F(Depth, ConsultKeepsOneFactOnTheGlobalStack) {
  std::wstring text = L"clauses\n";
  for (int i = 0; i < 5000; ++i) text += L"person(\"p" + std::to_wstring(i) + L"\", " + std::to_wstring(i) + L").\n";
  BlockSource source(text, 512);
  FactDB db{D(plainFacts), nullptr};
  uint8_t* before = MarkGStack();
  ASSERT_EQ(ErrorOf([&] { DataBaseInternal_consult(&db, &source, 0); }), 0u);
  EXPECT_EQ(MarkGStack(), before);
  int n = 0;
  for (RStructFact* f = plainHeads[0].first; f; f = f->next) ++n;
  EXPECT_EQ(n, 5000);
}

// Bytes in use in the process's heaps (the C++ run time allocates there; the
// collector does not).
uint64_t HeapBytesInUse() {
  HANDLE heaps[64];
  DWORD count = GetProcessHeaps(64, heaps);
  uint64_t total = 0;
  for (DWORD i = 0; i < count && i < 64; ++i) {
    PROCESS_HEAP_ENTRY e{};
    if (!HeapLock(heaps[i])) continue;
    while (HeapWalk(heaps[i], &e))
      if (e.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += e.cbData;
    HeapUnlock(heaps[i]);
  }
  return total;
}

TEST_F(Depth, UnknownFunctorErrorsLeaveNothingBehind) {
  // A long unknown name, so that a lost copy of it would show.
  std::wstring text(8000, L'q');
  text += L"(1)";
  ASSERT_EQ(ErrorOf([&] { FromString(D(node), text.c_str()); }), 309u);
  uint64_t before = HeapBytesInUse();
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(ErrorOf([&] { FromString(D(node), text.c_str()); }), 309u);
  EXPECT_LT(HeapBytesInUse(), before + 4 * 1024 * 1024);
}

}  // namespace
