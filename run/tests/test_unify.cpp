// Unification of reference cells through RUN_Unify, as generated code calls
// it, with trailing and the unify-copy mode; dereferencing.
#include <gtest/gtest.h>

#include "example_unit.h"
#include "run_test.h"

using namespace example;
using namespace runtest;
using namespace Qel::RunTime::Kernel;
using Qel::RunTime::Terms::term;
using PTD = Control::TPrologThreadData;

extern "C" {
uint64_t run_harness_unify(RRefCell* x, RRefCell* y, const RDomainRecord* domain);
void* run_harness_coerse(const RRefCell* cell);
}

namespace {

RRefCell* HeapCell(uint64_t tag, uint64_t value) {
  auto* c = static_cast<RRefCell*>(Memory::AllocHeap(16));
  c->tag = tag;
  c->value = value;
  return c;
}
std::wstring Text(const RRefCell* c) {
  return ToString(Domain(refCoord.head), reinterpret_cast<term>(c));
}
uint64_t Unify(RRefCell* x, RRefCell* y) { return run_harness_unify(x, y, &refCoord.head); }

class Unify_ : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(LinkExampleUnit(), 0); }
};

}  // namespace

TEST_F(Unify_, BindingIsTrailedAndUndoneOnBacktracking) {
  // Cells outside the global stack: the heap.
  for (bool xFree : {true, false}) {
    RRefCell* x = xFree ? HeapCell(0, 0) : HeapCell(1, 5);
    RRefCell* y = xFree ? HeapCell(1, 5) : HeapCell(0, 0);
    RRefCell* var = xFree ? x : y;
    std::wstring inside;
    EXPECT_FALSE(Succeeds([&] {
      uint64_t path = Unify(x, y);
      inside = Text(var) + L" " + std::to_wstring(path);
      Fail();
    }));
    EXPECT_EQ(inside, L"5 1");
    EXPECT_EQ(var->value, 0u);
    EXPECT_EQ(Text(var), L"_");
  }
}

TEST_F(Unify_, TwoFreeVariablesLinkYToX) {
  RRefCell* x = HeapCell(0, 0);
  RRefCell* y = HeapCell(0, 0);
  EXPECT_EQ(Unify(x, y), 1u);
  EXPECT_EQ(y->value, reinterpret_cast<uint64_t>(x));
  // Binding the chain's end shows through the link.
  RRefCell* five = HeapCell(1, 5);
  EXPECT_EQ(Unify(y, five), 1u);
  EXPECT_EQ(Text(y), L"5");
  EXPECT_EQ(run_harness_coerse(y), five);
}

TEST_F(Unify_, SameVariableSucceedsWithoutTrailEntry) {
  RRefCell* x = HeapCell(0, 0);
  RRefCell* link = HeapCell(0, reinterpret_cast<uint64_t>(x));
  uint32_t freeTrail = 0;
  EXPECT_TRUE(Succeeds([&] {
    TBackTrackBlock* mark = PTD::GetBackTrack();
    (void)mark;
    freeTrail = Memory::FreeTrailSize();
    EXPECT_EQ(Unify(x, x), 1u);
    EXPECT_EQ(Unify(link, x), 1u);
    EXPECT_EQ(Memory::FreeTrailSize(), freeTrail);
  }));
  EXPECT_EQ(x->value, 0u);
}

TEST_F(Unify_, BoundCellsAreComparedByTheRoutine) {
  EXPECT_EQ(Unify(HeapCell(1, 7), HeapCell(1, 7)), 2u);
  EXPECT_FALSE(Succeeds([&] { Unify(HeapCell(1, 7), HeapCell(1, 8)); }));
  // Through links as well.
  RRefCell* seven = HeapCell(1, 7);
  EXPECT_EQ(Unify(HeapCell(0, reinterpret_cast<uint64_t>(seven)), HeapCell(1, 7)), 2u);
}

TEST_F(Unify_, UnifyCopyModeLinksToAGlobalStackCopy) {
  RRefCell* x = HeapCell(0, 0);
  RRefCell* y = HeapCell(1, 9);
  uint8_t* mark = Memory::MarkGStack();
  PTD::SetCurrentUnifyCopy();
  Unify(x, y);
  PTD::ClearCurrentUnifyCopy();
  auto* target = reinterpret_cast<const RRefCell*>(x->value);
  EXPECT_NE(target, y);
  auto* r = PTD::GetPTDwithBody();
  EXPECT_TRUE(reinterpret_cast<const uint8_t*>(target) >= r->gstackBase &&
              reinterpret_cast<const uint8_t*>(target) < r->gstackEnd);
  EXPECT_EQ(Text(x), L"9");
  Memory::ReleaseGStack(mark);
}
