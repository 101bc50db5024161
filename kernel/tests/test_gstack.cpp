// The thread record and the global stack.
#include <gtest/gtest.h>
#include <windows.h>

#include "qel6kernel.h"

using namespace Qel::RunTime::Kernel;
using PTD = Control::TPrologThreadData;

namespace {
// Restores the global stack top when a test ends.
struct GStackScope {
  uint8_t* mark = Memory::MarkGStack();
  ~GStackScope() { Memory::ReleaseGStack(mark); }
};
}  // namespace

TEST(ThreadRecord, MainThreadHasAValidRecordAndGlobalStack) {
  PTD* r = PTD::GetPTDwithBody();
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->signature, 0x00445450u);
  EXPECT_NE(r->messageBuffer, nullptr);
  EXPECT_EQ(r->gstackEnd - r->gstackBase, 100007936)  // 100,000,000 rounded to 64 KB
      << "reserved size";
  EXPECT_LE(r->gstackBase, r->gstackTop);
  EXPECT_LE(r->gstackTop, r->gstackCommitTop);
  EXPECT_LE(r->gstackCommitTop, r->gstackEnd);
  EXPECT_EQ(PTD::GetCurrentLastErrorMessage(), r->messageBuffer);
  EXPECT_GT(Memory::UsedStackSize(), 0u);
  EXPECT_GT(Memory::FreeStackSize(), 4096u);
}

TEST(ThreadRecord, UnifyCopyFlag) {
  PTD::SetCurrentUnifyCopy();
  EXPECT_EQ(PTD::TestCurrentUnifyCopy(), 1);
  PTD::ClearCurrentUnifyCopy();
  EXPECT_EQ(PTD::TestCurrentUnifyCopy(), 0);
}

// Blocks are 8-aligned so that the collector sees the pointers in them.
TEST(GStack, AllocationRoundsToEightAndZeroRequestKeepsTheTop) {
  GStackScope scope;
  struct Case { uint32_t size, advance; };
  for (Case c : {Case{0, 0}, Case{1, 8}, Case{4, 8}, Case{8, 8}, Case{12, 16}, Case{4097, 4104}}) {
    uint8_t* top = Memory::MarkGStack();
    EXPECT_EQ(Memory::AllocGStack(c.size), top);
    EXPECT_EQ(Memory::MarkGStack(), top + c.advance) << "size " << c.size;
  }
}

TEST(GStack, ReleaseToAMarkMakesTheNextAllocationReturnIt) {
  GStackScope scope;
  uint8_t* mark = Memory::MarkGStack();
  Memory::AllocGStack(1000);
  Memory::ReleaseGStack(mark);
  EXPECT_EQ(Memory::AllocGStack(8), mark);
  EXPECT_EQ(PTD::GetGStackTop(), mark + 8);
  PTD::SetGStackTop(mark);
  EXPECT_EQ(Memory::MarkGStack(), mark);
}

TEST(GStack, CommitGrowsByAtLeast64KBeyondTheShortfall) {
  GStackScope scope;
  PTD* r = PTD::GetPTDwithBody();
  Memory::SystemFreeGStack();
  uint8_t* commit = r->gstackCommitTop;
  uint32_t room = static_cast<uint32_t>(commit - r->gstackTop);
  // Small shortfall: one 64 KB step.
  Memory::AllocGStack(room + 100);
  EXPECT_EQ(r->gstackCommitTop, commit + 0x10000);
  // Large shortfall: shortfall + 64 KB.
  commit = r->gstackCommitTop;
  room = static_cast<uint32_t>(commit - r->gstackTop);
  Memory::AllocGStack(room + 0x30000);
  EXPECT_EQ(r->gstackCommitTop, commit + 0x30000 + 0x10000);
  // The new memory is writable.
  memset(Memory::AllocGStack(0x1000), 1, 0x1000);
}

TEST(GStack, ReachingTheEndExactlyRaises201AndCommitNeverPassesTheEnd) {
  GStackScope scope;
  PTD* r = PTD::GetPTDwithBody();
  uint32_t left = static_cast<uint32_t>(r->gstackEnd - r->gstackTop);
  uint8_t* top = r->gstackTop;
  EXPECT_EQ(RunTrapped([&] { Memory::AllocGStack(left); }), 201u);
  EXPECT_EQ(r->gstackTop, top);
  std::wstring msg = PTD::GetCurrentLastErrorMessage();
  EXPECT_NE(msg.find(L"error r201: GStack exhausted. Request=" + std::to_wstring(left)),
            std::wstring::npos);
  // One block (eight bytes) less fits; the commit stops at the end.
  EXPECT_EQ(RunTrapped([&] { Memory::AllocGStack(left - 8); }), 0u);
  EXPECT_EQ(r->gstackCommitTop, r->gstackEnd);
  Memory::ReleaseGStack(scope.mark);
  Memory::SystemFreeGStack();
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  uintptr_t expected = (reinterpret_cast<uintptr_t>(r->gstackTop) + 3 * info.dwPageSize) /
                       info.dwPageSize * info.dwPageSize;
  EXPECT_EQ(reinterpret_cast<uintptr_t>(r->gstackCommitTop), expected);
}

TEST(GStack, Strings) {
  GStackScope scope;
  wchar_t* empty = Memory::AllocGStackString(0);
  EXPECT_EQ(empty[0], 0);
  EXPECT_EQ(Memory::MarkGStack(), reinterpret_cast<uint8_t*>(empty) + 8);
  wchar_t* s = Memory::AllocGStackString(5);
  EXPECT_EQ(s[5], 0);
  for (uint32_t n : {0xFFFFFFFEu, 0xFFFFFFFFu, 0x80000000u})
    EXPECT_EQ(RunTrapped([n] { Memory::AllocGStackString(n); }), 201u) << n;
}

TEST(GStack, AdjustMakesTheNewestAllocationExactlyThatLong) {
  GStackScope scope;
  uint8_t* block = Memory::AllocGStack(100);
  Memory::AdjustGStackAlloc(block, 10);
  EXPECT_EQ(Memory::MarkGStack(), block + 16);
  Memory::AdjustGStackAlloc(block, 300);
  EXPECT_EQ(Memory::MarkGStack(), block + 304);
}

TEST(GStack, SizesAreBoundedByThePageFile) {
  MEMORYSTATUSEX ms{};
  ms.dwLength = sizeof ms;
  GlobalMemoryStatusEx(&ms);
  uint32_t free = Memory::FreeGStackSize();
  EXPECT_LE(free, ms.ullAvailPageFile - 4096);
  PTD* r = PTD::GetPTDwithBody();
  EXPECT_LE(free, static_cast<uint64_t>(r->gstackEnd - r->gstackTop));
  EXPECT_GE(Memory::TotalGStackSize(), free);
  EXPECT_EQ(Memory::TotalTrailSize(), r->trailCapacity);
  EXPECT_EQ(Memory::FreeTrailSize(), r->trailCapacity - r->trailTop);
}

TEST(GStack, NullFunctorTable) {
  for (uint32_t n : {0u, 4u, 8u, 1024u, 1027u})
    EXPECT_EQ(*static_cast<const uint64_t*>(Memory::MEM_alloc_nullfunctor(n)), n / 4);
  EXPECT_EQ(RunTrapped([] { Memory::MEM_alloc_nullfunctor(1028); }), 3u);
}
