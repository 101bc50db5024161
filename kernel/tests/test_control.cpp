// Backtracking, traps, cut and trail: through the C++ wrappers and through the
// assembler harnesses that behave like compiled predicates.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "harness.h"
#include "qel6kernel.h"

using namespace Qel::RunTime::Kernel;
using Control::TPrologThreadData;
using PTD = TPrologThreadData;

namespace {

// A reference cell as the kernel sees it: a tag word (0 unbound) and a value.
struct Cell {
  uint64_t tag;
  uint64_t value;
};

Cell* NewCell() {
  auto* c = reinterpret_cast<Cell*>(Memory::AllocGStack(sizeof(Cell)));
  c->tag = c->value = 0;
  return c;
}

// Binds a cell the way compiled code does: trail, then write.
void Bind(Cell* c, uint64_t value) {
  uint64_t regs[kRegs] = {};
  regs[RDI] = reinterpret_cast<uint64_t>(c);
  harness_call_regs(regs, reinterpret_cast<const void*>(&PTD::Trail_EDI));
  c->tag = 1;
  c->value = value;
}

// A list on the global stack: {1, head, tail} cells ending in {2}.
void* MakeList(const std::vector<uint64_t>& items) {
  auto* nil = reinterpret_cast<uint64_t*>(Memory::AllocGStack(8));
  *nil = 2;
  void* list = nil;
  for (auto it = items.rbegin(); it != items.rend(); ++it) {
    auto* cons = reinterpret_cast<uint64_t*>(Memory::AllocGStack(24));
    cons[0] = 1;
    cons[1] = *it;
    cons[2] = reinterpret_cast<uint64_t>(list);
    list = cons;
  }
  return list;
}

struct Collected {
  std::vector<uint64_t> values;
};

void Collect(void* ctx, void* cell) {
  auto* c = static_cast<Cell*>(cell);
  static_cast<Collected*>(ctx)->values.push_back(c->tag == 1 ? c->value : ~0ull);
}

}  // namespace

TEST(Trap, ErrorUnwindsToTheTrapAndRestoresState) {
  uint8_t* mark = Memory::MarkGStack();
  TBackTrackBlock* trapBefore = PTD::GetTrapTop();
  TBackTrackBlock* btBefore = PTD::GetBackTrackTop();
  uint32_t code = RunTrapped([] {
    Memory::AllocGStack(100);
    Errors::RunTimeError(203);
  });
  EXPECT_EQ(code, 203u);
  EXPECT_EQ(PTD::GetExitCode(), 203u);
  EXPECT_EQ(Memory::MarkGStack(), mark);
  EXPECT_EQ(PTD::GetTrapTop(), trapBefore);
  EXPECT_EQ(PTD::GetBackTrackTop(), btBefore);
}

TEST(Trap, CompletedBodyLeavesNoTrap) {
  TBackTrackBlock* trapBefore = PTD::GetTrapTop();
  int ran = 0;
  EXPECT_EQ(RunTrapped([&] { ++ran; }), 0u);
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(PTD::GetTrapTop(), trapBefore);
}

TEST(Trap, NestedTrapsCatchInnermostFirst) {
  volatile uint32_t inner = 0;
  uint32_t outer = RunTrapped([&] {
    inner = RunTrapped([] { Errors::RunTimeError(201, 5u); });
    Errors::RunTimeError(203);
  });
  EXPECT_EQ(inner, 201u);
  EXPECT_EQ(outer, 203u);
}

TEST(Trap, RemovingTheOuterTrapRemovesNestedOnesAndRestoresBacktrackTop) {
  TBackTrackBlock* trapBefore = PTD::GetTrapTop();
  TBackTrackBlock* btBefore = PTD::GetBackTrackTop();
  TStackBlock outer, point, inner;
  if (PTD::StackTrap(&outer)) FAIL() << "outer trap fired";
  if (PTD::StackBTrack(&point)) FAIL() << "point resumed";
  if (PTD::StackTrap(&inner)) FAIL() << "inner trap fired";
  EXPECT_EQ(PTD::GetTrapTop(), &inner.head);
  EXPECT_EQ(PTD::GetBackTrackTop(), &point.head);
  PTD::RemoveTrap(&outer);
  EXPECT_EQ(PTD::GetTrapTop(), trapBefore);
  EXPECT_EQ(PTD::GetBackTrackTop(), btBefore);
  // A block no longer on the chain is ignored.
  PTD::RemoveTrap(&inner);
  EXPECT_EQ(PTD::GetTrapTop(), trapBefore);
}

TEST(CallbackBoundary, EveryWayOutEndsAtTheBoundaryWithTheGlobalStackBack) {
  struct Case {
    const char* name;
    void (*body)();
    uint32_t error;
    bool failed;
  };
  const Case cases[] = {
      {"returns", [] { Memory::AllocGStack(64); }, 0, false},
      {"fails", [] { Memory::AllocGStack(64); Fail(); }, 0, true},
      {"raises", [] { Memory::AllocGStack(64); Errors::RunTimeError(203); }, 203, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    uint8_t* top = Memory::MarkGStack();
    TBackTrackBlock* bt = PTD::GetBackTrackTop();
    TBackTrackBlock* trap = PTD::GetTrapTop();
    // An outer point that a failure escaping the boundary would resume.
    bool outer = Succeeds([&] {
      BoundaryOutcome end = RunAtCallbackBoundary(c.body);
      EXPECT_EQ(end.error, c.error);
      EXPECT_EQ(end.failed, c.failed);
      EXPECT_EQ(Memory::MarkGStack(), top);
    });
    EXPECT_TRUE(outer);
    EXPECT_EQ(PTD::GetBackTrackTop(), bt);
    EXPECT_EQ(PTD::GetTrapTop(), trap);
  }
}

TEST(Backtrack, FailureRestoresGlobalStackAndBindings) {
  Cell* older = NewCell();
  static Cell heapCell;  // outside the global stack
  heapCell = {};
  uint8_t* mark = Memory::MarkGStack();
  uint32_t points = PTD::GetBackTrackPoints();
  bool ok = Succeeds([&] {
    Memory::AllocGStack(64);
    Bind(older, 7);
    Bind(&heapCell, 8);
    Fail();
  });
  EXPECT_FALSE(ok);
  EXPECT_EQ(Memory::MarkGStack(), mark);
  EXPECT_EQ(older->tag, 0u);
  EXPECT_EQ(heapCell.tag, 0u) << "a cell outside the global stack keeps its binding";
  EXPECT_EQ(PTD::GetBackTrackPoints(), points);
}

TEST(Backtrack, SuccessKeepsBindingsAndCutsItsPoints) {
  // An outer point older than `older` but newer than `between`: after the
  // cut only `older` can still be undone by it.
  bool outerOk = Succeeds([] {
    Cell* between = NewCell();
    TBackTrackBlock* before = PTD::GetBackTrack();
    TStackBlock outer;
    if (PTD::StackBTrack(&outer)) return;
    Cell* older = NewCell();
    (void)older;
    Cell* kept = between;
    uint32_t points = PTD::GetBackTrackPoints();
    uint32_t trailBefore = PTD::GetPTDwithBody()->trailTop;
    bool ok = Succeeds([&] {
      Cell* newer = NewCell();
      Bind(kept, 3);
      Bind(older, 5);  // newer than the surviving point: its entry goes
      Bind(newer, 4);  // newer than the inner point: not trailed
    });
    EXPECT_TRUE(ok);
    EXPECT_EQ(kept->tag, 1u);
    EXPECT_EQ(kept->value, 3u);
    EXPECT_EQ(older->value, 5u);
    EXPECT_EQ(PTD::GetBackTrackPoints(), points);
    PTD* r = PTD::GetPTDwithBody();
    ASSERT_EQ(r->trailTop, trailBefore + 8u);
    EXPECT_EQ(r->trail[trailBefore / 8], kept);
    PTD::CutBackTrack(before);
    Fail();
  });
  EXPECT_FALSE(outerOk);
}

TEST(Backtrack, CutCompactsTheTrailAgainstTheSurvivingPoint) {
  // An outer point so that bindings of cells older than it are trailed.
  bool ok = Succeeds([] {
    std::vector<Cell*> older;
    for (int i = 0; i < 3; ++i) older.push_back(NewCell());
    TStackBlock survivor;
    if (PTD::StackBTrack(&survivor)) Fail();
    TBackTrackBlock* mark = PTD::GetBackTrack();
    Cell* young = NewCell();  // newer than the survivor, older than a
    TStackBlock a;
    if (PTD::StackBTrack(&a)) return;
    Cell* mid = NewCell();
    Bind(older[0], 1);
    Bind(young, 9);
    TStackBlock b;
    if (PTD::StackBTrack(&b)) return;
    Bind(mid, 2);
    Bind(older[1], 3);
    TStackBlock c;
    if (PTD::StackBTrack(&c)) return;
    Bind(older[2], 4);
    PTD* r = PTD::GetPTDwithBody();
    uint32_t markTop = a.head.trailTop;
    ASSERT_EQ(r->trailTop - markTop, 5u * 8);
    PTD::CutBackTrack(mark);
    EXPECT_EQ(PTD::GetBackTrackTop(), mark);
    // young and mid lie above the survivor's saved top: dropped.
    ASSERT_EQ(r->trailTop - markTop, 3u * 8);
    EXPECT_EQ(r->trail[markTop / 8 + 0], older[0]);
    EXPECT_EQ(r->trail[markTop / 8 + 1], older[1]);
    EXPECT_EQ(r->trail[markTop / 8 + 2], older[2]);
    Fail();  // into the survivor, which undoes the older cells and fails on
  });
  EXPECT_FALSE(ok);
}

TEST(Backtrack, RemovingATrapCompactsThePointsItDrops) {
  bool ok = Succeeds([] {
    Cell* older = NewCell();
    TStackBlock survivor;
    if (PTD::StackBTrack(&survivor)) Fail();
    Cell* young = NewCell();
    PTD* r = PTD::GetPTDwithBody();
    uint32_t before = r->trailTop;
    TStackBlock trap, left;
    if (PTD::StackTrap(&trap)) Fail();
    if (PTD::StackBTrack(&left)) Fail();  // a point the body leaves behind
    Bind(young, 1);
    Bind(older, 2);
    ASSERT_EQ(r->trailTop, before + 16u);
    PTD::RemoveTrap(&trap);
    EXPECT_EQ(PTD::GetBackTrackTop(), &survivor.head);
    ASSERT_EQ(r->trailTop, before + 8u);
    EXPECT_EQ(r->trail[before / 8], older);
    Fail();
  });
  EXPECT_FALSE(ok);
}

TEST(Backtrack, TrailGrowsAndUndoesEveryEntryInOrder) {
  constexpr int n = 5000;
  Cell* cells = reinterpret_cast<Cell*>(Memory::AllocGStack(n * sizeof(Cell)));
  memset(cells, 0, n * sizeof(Cell));
  PTD* r = PTD::GetPTDwithBody();
  bool ok = Succeeds([&] {
    uint32_t start = r->trailTop;
    for (int i = 0; i < n; ++i) Bind(&cells[i], i);
    EXPECT_GE(r->trailCapacity, start + n * 8u);
    EXPECT_LT(r->trailTop, r->trailCapacity);
    for (int i = 0; i < n; ++i)
      if (r->trail[start / 8 + i] != &cells[i]) ADD_FAILURE() << "entry " << i << " out of order";
    Fail();
  });
  EXPECT_FALSE(ok);
  for (int i = 0; i < n; ++i)
    if (cells[i].tag != 0) ADD_FAILURE() << "cell " << i << " still bound";
}

TEST(Backtrack, CheckRetractRepointsCursors) {
  // Facts are {word 0, link word}; cursors hold a fact or a fact's link word.
  void* fact[2] = {nullptr, reinterpret_cast<void*>(0x5000)};
  void* otherFact[2] = {};
  void* cursorOnFact = fact;
  void* cursorOnLink = &fact[1];
  void* cursorElsewhere = otherFact;
  void* newLinkCell = reinterpret_cast<void*>(0x6000);
  bool ok = Succeeds([&] {
    TStackBlock a, b, c;
    if (PTD::StackBTrack3(&a, &cursorOnFact)) return;
    if (PTD::StackBTrack3(&b, &cursorOnLink)) return;
    if (PTD::StackBTrack3(&c, &cursorElsewhere)) return;
    PTD::CheckRetract(fact, newLinkCell);
  });
  EXPECT_TRUE(ok);
  EXPECT_EQ(cursorOnFact, reinterpret_cast<void*>(0x5000));
  EXPECT_EQ(cursorOnLink, newLinkCell);
  EXPECT_EQ(cursorElsewhere, static_cast<void*>(otherFact));
}

namespace {
struct SeenError {
  uint32_t code = 0;
  const TFullCursor* position = nullptr;
  std::wstring message;
  void* object = nullptr;
  int calls = 0;
};
SeenError g_seen;

void ClassPredicate(uint32_t code, const TFullCursor* position, const wchar_t* message) {
  ++g_seen.calls;
  g_seen.code = code;
  g_seen.position = position;
  g_seen.message = message;
}

void ObjectPredicate(void* object, uint32_t code, const TFullCursor*, const wchar_t*) {
  ++g_seen.calls;
  g_seen.object = object;
  g_seen.code = code;
}

void RaisingPredicate(uint32_t code, const TFullCursor*, const wchar_t*) {
  ++g_seen.calls;
  Errors::RunTimeError(203);  // goes straight to the default path
}

// Installs a predicate for the duration of a test.
struct PredicateScope {
  RPrologExceptionPredicateStruct* old = nullptr;
  uint32_t oldNeed = 0;
  explicit PredicateScope(const void* code, void* object = nullptr) {
    RPrologExceptionPredicateStruct p{code, object};
    PTD::SetPrologExceptionPredicate(&p, 0, &old, &oldNeed);
    g_seen = {};
  }
  ~PredicateScope() { PTD::SetPrologExceptionPredicate(old, oldNeed, nullptr, nullptr); }
};
}  // namespace

TEST(ExceptionPredicate, ClassAndObjectPredicatesSeeTheError) {
  static const TFullCursor where{CursorPosition(12, 3), L"x.pro"};
  {
    PredicateScope scope(reinterpret_cast<const void*>(&ClassPredicate));
    EXPECT_EQ(RunTrapped([] { Errors::RunTimeErrorWithCursor(203, &where); }), 203u);
    EXPECT_EQ(g_seen.calls, 1);
    EXPECT_EQ(g_seen.code, 203u);
    EXPECT_EQ(g_seen.position, &where);
    EXPECT_NE(g_seen.message.find(L"x.pro(12,3) : error r203: No GStack"), std::wstring::npos)
        << std::string(g_seen.message.begin(), g_seen.message.end());
  }
  int object = 0;
  {
    PredicateScope scope(reinterpret_cast<const void*>(&ObjectPredicate), &object);
    EXPECT_EQ(RunTrapped([] { Errors::RunTimeError(4); }), 4u);
    EXPECT_EQ(g_seen.object, &object);
    EXPECT_EQ(g_seen.code, 4u);
  }
}

TEST(ExceptionPredicate, ErrorInsideThePredicateTakesTheDefaultPath) {
  PredicateScope scope(reinterpret_cast<const void*>(&RaisingPredicate));
  EXPECT_EQ(RunTrapped([] { Errors::RunTimeError(201, 1u); }), 203u);
  EXPECT_EQ(g_seen.calls, 1);
  // The flag is cleared again: the next error calls the predicate once more.
  EXPECT_EQ(RunTrapped([] { Errors::RunTimeError(201, 1u); }), 203u);
  EXPECT_EQ(g_seen.calls, 2);
}

TEST(ExceptionPredicate, BadAddressIsSkipped) {
  PredicateScope scope(reinterpret_cast<const void*>(0x10));
  EXPECT_EQ(RunTrapped([] { Errors::RunTimeError(203); }), 203u);
}

TEST(ExceptionPredicate, OldPredicateComesBackOnTheGlobalStack) {
  RPrologExceptionPredicateStruct mine{reinterpret_cast<const void*>(&ClassPredicate), nullptr};
  RPrologExceptionPredicateStruct* old = nullptr;
  uint32_t oldNeed = 99;
  PTD::SetPrologExceptionPredicate(&mine, 4096, &old, &oldNeed);
  PTD* r = PTD::GetPTDwithBody();
  EXPECT_GE(reinterpret_cast<uint8_t*>(old), r->gstackBase);
  EXPECT_LT(reinterpret_cast<uint8_t*>(old), r->gstackTop);
  EXPECT_EQ(oldNeed, 0u);
  RPrologExceptionPredicateStruct* back = nullptr;
  uint32_t backNeed = 0;
  PTD::SetPrologExceptionPredicate(old, oldNeed, &back, &backNeed);
  EXPECT_EQ(back->code, mine.code);
  EXPECT_EQ(backNeed, 4096u);
}

// --- Compiled-predicate harnesses ---------------------------------------------

TEST(Compiled, MemberEnumeratesEveryElementAndUndoesTheBinding) {
  struct Case {
    std::vector<uint64_t> items;
    bool cut;
    std::vector<uint64_t> expected;
  };
  const Case cases[] = {
      {{10, 20, 30}, false, {10, 20, 30}},
      {{10, 20, 30}, true, {10}},
      {{}, false, {}},
      {{7}, false, {7}},
  };
  for (const Case& c : cases) {
    uint8_t* mark = Memory::MarkGStack();
    Cell* cell = NewCell();
    void* list = MakeList(c.items);
    Collected got;
    MemberRun run{cell, list, &Collect, &got, c.cut, 0};
    TBackTrackBlock* bt = PTD::GetBackTrackTop();
    uint32_t trail = PTD::GetPTDwithBody()->trailTop;
    uint64_t solutions = harness_member(&run);
    EXPECT_EQ(got.values, c.expected);
    EXPECT_EQ(solutions, c.expected.size());
    EXPECT_EQ(cell->tag, 0u) << "binding survived the final fail";
    EXPECT_EQ(PTD::GetBackTrackTop(), bt);
    EXPECT_EQ(PTD::GetPTDwithBody()->trailTop, trail);
    Memory::ReleaseGStack(mark);
  }
}

TEST(Compiled, CutDropsEntriesOfCellsNewerThanTheSurvivingPoint) {
  // The cell is made after the caller's point and bound under member's
  // points; once they are cut it dies with the caller's point, so its entry
  // must go (its page may be decommitted before anyone fails into it).
  struct Seen {
    uint32_t trailAtStart;
    int64_t grown = -1;
  } seen{PTD::GetPTDwithBody()->trailTop};
  uint8_t* mark = Memory::MarkGStack();
  MemberRun run{nullptr, MakeList({5, 6}), [](void* ctx, void*) {
                  auto* s = static_cast<Seen*>(ctx);
                  s->grown = int64_t{PTD::GetPTDwithBody()->trailTop} - s->trailAtStart;
                }, &seen, 1, 0};
  EXPECT_EQ(harness_member(&run), 1u);
  EXPECT_EQ(seen.grown, 0);
  Memory::ReleaseGStack(mark);
}

TEST(Compiled, RoutinesThatMoveTheStackCarryUnwindInformation) {
  // Unwinds each routine's frame from just behind its prologue, as Windows
  // does to dispatch a fault there: the return address and the caller's
  // stack pointer must come back.
  struct Case {
    const char* name;
    const void* entry;
    int slots;  // words the prologue put on the stack
  };
  const Case cases[] = {
      {"Trail_EDI", reinterpret_cast<const void*>(&PTD::Trail_EDI), 3},
      {"Trail_EAX", reinterpret_cast<const void*>(&Control::Trail_EAX), 3},
      {"Stkb1", reinterpret_cast<const void*>(&PTD::Stkb1), 7},
      {"Stkb2", reinterpret_cast<const void*>(&PTD::Stkb2), 7},
      {"StkTrap", reinterpret_cast<const void*>(&PTD::StkTrap), 7},
      {"SetCurrentPositionNew", reinterpret_cast<const void*>(&PTD::SetCurrentPositionNew), 2},
      {"GetCurrentPositionFromProlog",
       reinterpret_cast<const void*>(&PTD::GetCurrentPositionFromProlog), 1},
      {"MEM_alloc_ax", reinterpret_cast<const void*>(&Memory::MEM_alloc_ax), 2},
      {"MEM_alloc_di", reinterpret_cast<const void*>(&Memory::MEM_alloc_di), 1},
      {"AllocRef_EAX", reinterpret_cast<const void*>(&Memory::AllocRef_EAX), 1},
      {"AllocRef_EDX", reinterpret_cast<const void*>(&Memory::AllocRef_EDX), 1},
      {"AllocRefTerm_EAX", reinterpret_cast<const void*>(&Memory::AllocRefTerm_EAX), 5},
      {"AllocRefTerm_ECX", reinterpret_cast<const void*>(&Memory::AllocRefTerm_ECX), 5},
      {"Qel_EllipsisTransfer", reinterpret_cast<const void*>(&Control::Qel_EllipsisTransfer), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DWORD64 base = 0;
    auto pc = reinterpret_cast<DWORD64>(c.entry);
    // The address may be the program's import thunk: jmp [rip + disp].
    const auto* code = reinterpret_cast<const uint8_t*>(pc);
    if (code[0] == 0xFF && code[1] == 0x25) {
      int32_t disp;
      memcpy(&disp, code + 2, 4);
      pc = *reinterpret_cast<const DWORD64*>(pc + 6 + disp);
    }
    PRUNTIME_FUNCTION fn = RtlLookupFunctionEntry(pc, &base, nullptr);
    ASSERT_NE(fn, nullptr) << "no unwind information";
    const auto* info = reinterpret_cast<const uint8_t*>(base + fn->UnwindData);
    uint64_t stack[16] = {};
    for (int i = 0; i < c.slots; ++i) stack[i] = 0x5000 + i;
    stack[c.slots] = 0x123456;  // the return address
    CONTEXT context{};
    context.Rip = pc + info[1];  // behind the prologue
    context.Rsp = reinterpret_cast<DWORD64>(stack);
    void* handlerData = nullptr;
    DWORD64 frame = 0;
    RtlVirtualUnwind(UNW_FLAG_NHANDLER, base, context.Rip, fn, &context, &handlerData, &frame,
                     nullptr);
    EXPECT_EQ(context.Rip, 0x123456u);
    EXPECT_EQ(context.Rsp, reinterpret_cast<DWORD64>(&stack[c.slots + 1]));
  }
}

TEST(Compiled, MemberOverAHeapCellUndoesItToo) {
  static Cell outside;
  outside = {};
  uint8_t* mark = Memory::MarkGStack();
  Collected got;
  MemberRun run{&outside, MakeList({1, 2}), &Collect, &got, 0, 0};
  harness_member(&run);
  EXPECT_EQ(got.values, (std::vector<uint64_t>{1, 2}));
  EXPECT_EQ(outside.tag, 0u);
  Memory::ReleaseGStack(mark);
}

TEST(Compiled, Stkb1RetryRestoresStackTopTrapTopAndFrame) {
  Cell* cell = NewCell();
  Stkb1Run run{};
  run.cell = cell;
  harness_stkb1(&run);
  EXPECT_EQ(run.gtopAtRetry, run.gtopAtPush);
  EXPECT_EQ(run.trapAtRetry, run.trapAtPush);
  EXPECT_EQ(run.rbpAtRetry, run.rbpAtPush);
  EXPECT_EQ(run.rspAtRetry, run.rbpAtPush);
  EXPECT_EQ(run.cellTagAtRetry, 0u);
}

namespace {
const void* Entry(void (*fn)()) { return reinterpret_cast<const void*>(fn); }

void FillRegs(uint64_t* regs) {
  for (int i = 0; i < kRegs; ++i) regs[i] = 0x1111000000000000ull * (i + 1) + i;
}
}  // namespace

TEST(Compiled, RegisterAllocatorsReturnTaggedBlocksAndKeepOtherRegisters) {
  struct Case {
    void (*entry)();
    Reg reg;
  };
  const Case cases[] = {
      {&Memory::MEM_alloc_ax, RAX}, {&Memory::MEM_alloc_bx, RBX}, {&Memory::MEM_alloc_cx, RCX},
      {&Memory::MEM_alloc_dx, RDX}, {&Memory::MEM_alloc_si, RSI}, {&Memory::MEM_alloc_di, RDI},
  };
  for (const Case& c : cases) {
    uint64_t regs[kRegs], before[kRegs];
    FillRegs(regs);
    regs[c.reg] = 0xABCD0000000007A0ull;  // size 0xA0, tag 7
    memcpy(before, regs, sizeof regs);
    uint8_t* top = Memory::MarkGStack();
    harness_call_regs(regs, Entry(c.entry));
    EXPECT_EQ(regs[c.reg], reinterpret_cast<uint64_t>(top)) << "reg " << c.reg;
    EXPECT_EQ(Memory::MarkGStack(), top + 0xA0);
    EXPECT_EQ(*reinterpret_cast<uint32_t*>(top), 7u);
    for (int i = 0; i < kRegs; ++i)
      if (i != c.reg) {
        EXPECT_EQ(regs[i], before[i]) << "reg " << i;
      }
  }
}

TEST(Compiled, AllocRefGivesZeroedCellsInTheNamedRegister) {
  const std::pair<void (*)(), Reg> cases[] = {
      {&Memory::AllocRef_EAX, RAX}, {&Memory::AllocRef_EBX, RBX}, {&Memory::AllocRef_ECX, RCX},
      {&Memory::AllocRef_EDX, RDX}, {&Memory::AllocRef_ESI, RSI}, {&Memory::AllocRef_EDI, RDI},
  };
  for (auto [entry, reg] : cases) {
    uint8_t* top = Memory::MarkGStack();
    memset(Memory::AllocGStack(16), 0xFF, 16);
    Memory::ReleaseGStack(top);
    uint64_t regs[kRegs], before[kRegs];
    FillRegs(regs);
    memcpy(before, regs, sizeof regs);
    harness_call_regs(regs, Entry(entry));
    auto* cell = reinterpret_cast<Cell*>(regs[reg]);
    EXPECT_EQ(reinterpret_cast<uint8_t*>(cell), top);
    EXPECT_EQ(cell->tag, 0u);
    EXPECT_EQ(cell->value, 0u);
    for (int i = 0; i < kRegs; ++i)
      if (i != reg) {
        EXPECT_EQ(regs[i], before[i]) << "reg " << i;
      }
  }
}

TEST(Compiled, AllocRefTermPlacesCellAddressesInTheSlots) {
  uint64_t regs[kRegs];
  FillRegs(regs);
  regs[RCX] = 0x0320;  // a 32-byte term, tag 3
  regs[RAX] = 3;       // three reference arguments
  uint64_t rbx = regs[RBX];
  harness_call_regs(regs, Entry(&Memory::AllocRefTerm_ECX));
  auto* term = reinterpret_cast<uint64_t*>(regs[RCX]);
  EXPECT_EQ(term[0] & 0xFFFFFFFF, 3u);
  auto* cells = reinterpret_cast<Cell*>(term[1]);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(term[1 + i], reinterpret_cast<uint64_t>(&cells[i])) << "slot " << i;
    EXPECT_EQ(cells[i].tag, 0u);
  }
  EXPECT_EQ(regs[RBX], rbx);
  // The EAX member: size and tag in ax, n in bits 16-23.
  FillRegs(regs);
  regs[RAX] = (2u << 16) | 0x0418;
  harness_call_regs(regs, Entry(&Memory::AllocRefTerm_EAX));
  term = reinterpret_cast<uint64_t*>(regs[RAX]);
  EXPECT_EQ(term[0] & 0xFFFFFFFF, 4u);
  EXPECT_EQ(term[2], term[1] + 16);
}

TEST(Compiled, TrailEntriesKeepEveryRegister) {
  const std::pair<void (*)(), Reg> cases[] = {
      {&PTD::Trail_EDI, RDI}, {&Control::Trail_ESI, RSI}, {&Control::Trail_EAX, RAX},
      {&Control::Trail_EBX, RBX}, {&Control::Trail_ECX, RCX}, {&Control::Trail_EDX, RDX},
  };
  for (auto [entry, reg] : cases) {
    static Cell cell;
    cell = {1, 5};
    bool ok = Succeeds([&] {
      uint64_t regs[kRegs], before[kRegs];
      FillRegs(regs);
      regs[reg] = reinterpret_cast<uint64_t>(&cell);
      memcpy(before, regs, sizeof regs);
      harness_call_regs(regs, Entry(entry));
      for (int i = 0; i < kRegs; ++i) EXPECT_EQ(regs[i], before[i]) << "reg " << i;
      Fail();
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(cell.tag, 0u) << "reg " << reg << " did not trail";
  }
}

TEST(Compiled, SetCurrentPositionNewRecordsTheInlineCursor) {
  const void* inlineCursor = harness_setpos();
  const TFullCursor* pos = PTD::GetCurrentPosition();
  EXPECT_EQ(static_cast<const void*>(pos), inlineCursor);
  EXPECT_EQ(pos->position, 0x04000069u);
  EXPECT_STREQ(pos->fileName, L"member.pro");
  PTD::SetCurrentPosition(nullptr);
}

TEST(Compiled, EllipsisTransferCopiesTheBlockBelowTheCallersStack) {
  for (uint64_t length : {1, 2, 3, 4, 7}) {
    std::vector<uint64_t> block(length);
    block[0] = length;
    for (uint64_t i = 1; i < length; ++i) block[i] = 0xA0 + i;
    uint64_t out[3 + 8] = {};
    harness_ellipsis(block.data(), out);
    uint64_t s = out[0], pad = (length & 1) * 8;
    EXPECT_EQ(out[1], s - 8 * length);
    EXPECT_EQ(out[2], s - 8 * length - pad - 48);
    EXPECT_EQ(out[2] % 16, 0u);
    for (uint64_t i = 0; i < length; ++i) EXPECT_EQ(out[3 + i], block[i]);
  }
}
