// A program run by the process tests: each argument names one scenario whose
// outcome is an exit code, standard error, or files in the current folder.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include <gc.h>

#include <cstdlib>

#include "qel6kernel.h"

using namespace Qel::RunTime::Kernel;
using PTD = Control::TPrologThreadData;

// --- The unit sequence of a program -------------------------------------------

void* volatile g_kept;  // read by nobody: volatile keeps the store

static void PrintFinalized(void* block) {
  printf("finalized %d\n", *static_cast<int*>(block));
  fflush(stdout);
}

__attribute__((noinline)) static void* Finalizable(int tag) {
  auto* block = static_cast<int*>(Memory::AllocHeapWithFinalization(16, PrintFinalized));
  *block = tag;
  return block;
}

// Overwrites the stack below the caller, so that no stale copy of a pointer
// there keeps an unreachable block alive for the conservative collector.
__attribute__((noinline)) static void ScrubStack() {
  volatile char area[16384];
  for (int i = 0; i < 16384; ++i) area[i] = 0;
  (void)area[0];
}

static const char* g_goal;

static void Goal() {
  printf("goal ran\n");
  fflush(stdout);
  g_kept = Finalizable(1);  // reachable until the end: finalised at termination
  Finalizable(2);           // unreachable: finalised by the collection
  ScrubStack();
  for (int i = 0; i < 3; ++i) Memory::GarbageCollector();
  printf("collected\n");
  fflush(stdout);
  if (!strcmp(g_goal, "raise")) Errors::RunTimeError(201, 9u);
  if (!strcmp(g_goal, "fail")) Fail();
}

// units GOAL [VERSION]: initialisation, the goal, termination.
[[noreturn]] static void Units(const char* goal, const char* version) {
  g_goal = goal;
  uintptr_t table[] = {version ? strtoull(version, nullptr, 16) : 8, static_cast<uintptr_t>(-2)};
  auto* units = reinterpret_cast<const Qel::RunTime::RScopeClassDescriptor* const*>(table);
  int rc = KernelUnitInitialization(nullptr, units);
  if (rc) ExitProcess(rc);
  rc = KernelUnitInitialization(nullptr, units);  // a second unit
  if (rc) ExitProcess(rc);
  rc = ExeInitialization();
  if (rc) ExitProcess(rc);
  rc = RunGoal(Goal);
  printf("goal result %d\n", rc);
  fflush(stdout);
  KernelUnitTermination();
  ExeTermination(rc);
}

__attribute__((noinline)) static int ReadThrough(volatile int* p) { return *p; }

// --- A finaliser that fails ------------------------------------------------------

static void FailingFinalizer(void*) {
  printf("finaliser fails\n");
  fflush(stdout);
  Fail();
}

__attribute__((noinline)) static void DropFailingBlock() {
  Memory::AllocHeapWithFinalization(16, FailingFinalizer);
}

// Collects a block whose finaliser fails: once inside a backtrack point that
// the failure must not reach, once with no point at all.
static void FailingFinalizers() {
  bool ok = Succeeds([] {
    DropFailingBlock();
    ScrubStack();
    for (int i = 0; i < 3; ++i) Memory::GarbageCollector();
  });
  printf("%s\n", ok ? "succeeded" : "failed");
  DropFailingBlock();
  ScrubStack();
  for (int i = 0; i < 3; ++i) Memory::GarbageCollector();
  printf("returned\n");
  fflush(stdout);
}

// --- Trail entries whose cells die with the global stack ------------------------

// Trails and binds a cell the way compiled code does.
static void Bind(uint64_t* cell) {
  asm volatile("mov %0, %%rdi\n\tcall *%1"
               :
               : "r"(cell), "r"(&PTD::Trail_EDI)
               : "rdi", "memory");
  cell[0] = 1;
}

// Each way of dropping the inner point in `drop` leaves a trail entry for a
// cell high in a block that is released below it; the collector then
// decommits the pages above the top, and failing into the outer point must
// not write into them.
template <class Drop>
static void DyingCell(Drop&& drop) {
  bool ok = Succeeds([&] {
    uint8_t* mark = Memory::MarkGStack();
    constexpr uint32_t kBlock = 256 * 1024;
    uint8_t* block = Memory::AllocGStack(kBlock);
    auto* cell = reinterpret_cast<uint64_t*>(block + kBlock - 16);
    cell[0] = cell[1] = 0;
    drop(cell);
    Memory::ReleaseGStack(mark);
    Memory::GarbageCollector();
    Memory::SystemFreeGStack();
    Fail();
  });
  printf("%s\n", ok ? "succeeded" : "failed");
  fflush(stdout);
}

static void DyingCells() {
  // A nested Succeeds that binds the cell and is cut.
  DyingCell([](uint64_t* cell) { Succeeds([=] { Bind(cell); }); });
  // A trapped body that leaves a point behind: RemoveTrap drops it.
  DyingCell([](uint64_t* cell) {
    RunTrapped([=] {
      TStackBlock point;
      if (PTD::StackBTrack(&point)) ExitProcess(98);  // never resumed
      Bind(cell);
    });
  });
  // A point dropped without any compaction: the undo itself skips the cell.
  DyingCell([](uint64_t* cell) {
    TBackTrackBlock* outer = PTD::GetBackTrackTop();
    TStackBlock point;
    if (PTD::StackBTrack(&point)) ExitProcess(98);
    Bind(cell);
    PTD::SetBackTrackTop(outer);
  });
}

int main(int argc, char** argv) {
  const char* scenario = argc > 1 ? argv[1] : "";
  if (!strcmp(scenario, "units")) {
    Units(argc > 2 ? argv[2] : "ok", argc > 3 ? argv[3] : nullptr);
  } else if (!strcmp(scenario, "gcabort")) {
    // The collector aborts while it holds its lock.
    GC_unregister_my_thread();
    GC_stack_base none{};
    GC_register_my_thread(&none);
    printf("returned\n");
    return 0;
  } else if (!strcmp(scenario, "gcoom")) {
    GC_abort_on_oom();
    printf("returned\n");
    return 0;
  } else if (!strcmp(scenario, "fail")) {
    PTD::Run_Fail();
  } else if (!strcmp(scenario, "error")) {
    static const TFullCursor where{0x04000069, L"roster.pro"};
    Errors::RunTimeErrorWithCursor(201, &where, 12u);
  } else if (!strcmp(scenario, "foreign")) {
    // A fault inside a system library is not resumed into the trap.
    using Move = void(WINAPI*)(void*, const void*, SIZE_T);
    auto move = reinterpret_cast<Move>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlMoveMemory")));
    char buffer[16];
    uint32_t code = RunTrapped([&] { move(buffer, nullptr, 16); });
    printf("trapped %u\n", code);
    return 0;
  } else if (!strcmp(scenario, "log")) {
    Errors::qelLogPrintf(5, "printf-5\n");
    Errors::qelLogPrintf(4, "printf-4\n");
    Errors::QelLog(5, "log-5");
    Errors::QelLog(6, "log-6");
    Errors::QelLogW(1, L"wide-1");
    RunTrapped([] { Errors::RunTimeError(203); });
    return 0;
  } else if (!strcmp(scenario, "dump")) {
    uint32_t code = RunTrapped([] { ReadThrough(nullptr); });
    printf("trapped %u\n", code);
    return 0;
  } else if (!strcmp(scenario, "failing-finalizer")) {
    FailingFinalizers();
    return 0;
  } else if (!strcmp(scenario, "dying-cells")) {
    DyingCells();
    return 0;
  } else if (!strcmp(scenario, "trail")) {
    // A fresh record: the trail starts with room for four entries and grows
    // by 4096 bytes when the fourth is added.
    static uint64_t cells[6][2];
    bool ok = Succeeds([] {
      for (auto& c : cells) {
        printf("%u ", Memory::TotalTrailSize());
        uint64_t* cell = c;
        asm volatile("mov %0, %%rdi\n\tcall *%1"
                     :
                     : "r"(cell), "r"(&PTD::Trail_EDI)
                     : "rdi", "memory");
        c[0] = 1;
      }
      printf("%u\n", Memory::TotalTrailSize());
      Fail();
    });
    printf("%s %llu\n", ok ? "succeeded" : "failed", static_cast<unsigned long long>(cells[5][0]));
    return 0;
  }
  return 99;
}
