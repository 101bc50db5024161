// qel6kernel: the language kernel's public interface.
//
// Each thread that runs logic code owns a thread record (TPrologThreadData)
// with its global stack, trail, backtrack chain and trap chain.  Failure pops
// the newest backtrack block; a run-time error turns the newest trap into the
// newest backtrack block and fails into it.  Neither runs C++ destructors, so
// C++ code follows three rules:
//   - it sets traps and backtrack points only through the wrappers at the end
//     of this header (RunTrapped, Succeeds), whose block lives in the
//     wrapper's own frame;
//   - nothing with a destructor lives in a frame that a fail or a raise may
//     jump over;
//   - locals changed after a setjmp-like entry and read after it resumes are
//     volatile.
//
// Words of blocks and records that hold addresses are 8 bytes on x86-64.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#ifdef QEL6KERNEL_BUILD
// The export list decides what the DLL exports (see exports.txt).
#define QEL_KERNEL_API
#else
#define QEL_KERNEL_API __declspec(dllimport)
#endif

namespace Qel::RunTime {
// A class descriptor of a unit (defined by the runtime library).
struct RScopeClassDescriptor;
}  // namespace Qel::RunTime

namespace Qel::RunTime::Kernel {

// A source position: packed line (bits 0-19) and column (bits 20-31), then the
// source file name.  A packed word of 0xFFFFF or less means "no position".
struct TFullCursor {
  uint32_t position;
  const wchar_t* fileName;
};
static_assert(sizeof(TFullCursor) == 16 && offsetof(TFullCursor, fileName) == 8);

constexpr uint32_t CursorPosition(uint32_t line, uint32_t column) {
  return (line & 0xFFFFFu) | (column << 20);
}

// A backtrack or trap block.  Words 0-6 are shared by every kind of block;
// blocks set by library code (StackTrap, StackBTrack, StackBTrack3) carry the
// caller's saved registers behind them and live in the caller's frame.
//   word 0  fact-cursor cell address or 0
//   word 1  saved global-stack top
//   word 2  link: BackTrackTop when the block was pushed
//   word 3  saved trail top (bytes)
//   word 4  retry address
//   word 5  saved TrapTop (the trap chain's link)
//   word 6  saved frame pointer, or the address of word 7
struct TBackTrackBlock {
  void* cursorCell;
  uint8_t* gstackTop;
  TBackTrackBlock* link;
  uintptr_t trailTop;
  const void* retry;
  TBackTrackBlock* trapTop;
  void* frame;
};
static_assert(sizeof(TBackTrackBlock) == 56);

// The block of the setjmp-like entries.  After word 6: RBX, RDI, RSI, RBP, the
// return address, R12-R15, the stack pointer after the return, MXCSR and the
// x87 control word, XMM6-XMM15.
struct alignas(16) TStackBlock {
  TBackTrackBlock head;
  uint64_t saved[10];       // rbx rdi rsi rbp ret r12 r13 r14 r15 rsp
  uint32_t mxcsr;
  uint16_t fpucw;
  uint16_t pad0;
  uint8_t xmm[10][16];
};
static_assert(sizeof(TStackBlock) == 304 && offsetof(TStackBlock, xmm) == 144);

// The application's exception predicate: a class predicate when object is
// null, else an object predicate called with the object first.
using TExceptionPredicateClass = void (*)(uint32_t code, const TFullCursor* position,
                                          const wchar_t* message);
using TExceptionPredicateObject = void (*)(void* object, uint32_t code,
                                           const TFullCursor* position, const wchar_t* message);
struct RPrologExceptionPredicateStruct {
  const void* code;
  void* object;
};

namespace Control {

// The per-thread record.  Its layout is the kernel's own; other modules use
// the functions below.
struct QEL_KERNEL_API TPrologThreadData {
  uint32_t signature;                 // 0x00445450, "PTD\0"
  TBackTrackBlock* backTrackTop;
  uint8_t* gstackBase;
  uint8_t* gstackTop;
  uint8_t* gstackEnd;
  uint8_t* gstackCommitTop;
  TBackTrackBlock* trapTop;
  void** trail;                       // cell addresses, 8 bytes each
  uint32_t trailTop;                  // bytes in use
  uint32_t trailCapacity;             // bytes
  uint8_t* baseESP;                   // highest address of the machine stack
  uint8_t currentUnifyCopy;
  uint8_t inExceptionFilter;
  uint8_t inExceptionPredicate;
  uint32_t exitCode;
  const TFullCursor* currentPosition;
  const void* exceptionPredicateCode;
  void* exceptionPredicateObject;
  uint32_t exceptionGStackNeed;
  uint8_t* overflowESP;
  wchar_t* messageBuffer;             // 4096 UTF-16 units
  uint32_t reserved;
  uintptr_t exceptionP0;
  uintptr_t exceptionP1;
  // Kernel bookkeeping, after the fixed fields.
  uint32_t flags;
  // The thread's open memory-profile contexts, {kind, value} each; valid
  // while profileGeneration is the open profile's.
  static constexpr uint32_t ProfileContextsMax = 100;
  uint32_t profileGeneration;
  uint32_t profileDepth;
  uint32_t profileContexts[ProfileContextsMax][2];

  static constexpr uint32_t Signature = 0x00445450;
  static constexpr uint32_t MessageBufferUnits = 4096;

  static TPrologThreadData* GetPTDwithBody();
  static TBackTrackBlock* GetBackTrackTop();
  static void SetBackTrackTop(TBackTrackBlock* block);
  static TBackTrackBlock* GetTrapTop();
  static void SetTrapTop(TBackTrackBlock* block);
  static uint32_t GetExitCode();
  static const TFullCursor* GetCurrentPosition();
  static void SetCurrentPosition(const TFullCursor* position);
  static const TFullCursor* GetPosition(TPrologThreadData* record);
  static void SetPosition(TPrologThreadData* record, const TFullCursor* position);
  static wchar_t* GetLastErrorMessage(TPrologThreadData* record);
  static wchar_t* GetCurrentLastErrorMessage();
  static TBackTrackBlock* GetBackTrackTopForDebugger(TPrologThreadData* record);
  static TBackTrackBlock* GetTrapTopForDebugger(TPrologThreadData* record);
  static uint8_t TestCurrentUnifyCopy();
  static void SetCurrentUnifyCopy();
  static void ClearCurrentUnifyCopy();
  static uint8_t* GetGStackTop();
  static void SetGStackTop(uint8_t* mark);

  // Library-code entries.  The block lives in the caller's frame; the entry
  // returns false now and true when the block is resumed (an error unwound
  // to the trap, or the point was backtracked into).  Resuming pops the
  // block.
  __attribute__((returns_twice)) static bool StackTrap(TStackBlock* block);
  __attribute__((returns_twice)) static bool StackBTrack(TStackBlock* block);
  __attribute__((returns_twice)) static bool StackBTrack3(TStackBlock* block, void* cursorCell);
  // Removes the trap `block` and every newer trap; BackTrackTop becomes what
  // it was when `block` was set.  A block no longer on the chain is ignored.
  static void RemoveTrap(TStackBlock* block);
  // A mark for CutBackTrack: the current BackTrackTop.
  static TBackTrackBlock* GetBackTrack();
  // Drops every backtrack block pushed after `mark` and compacts the trail.
  static void CutBackTrack(TBackTrackBlock* mark);
  static uint32_t GetBackTrackPoints();
  static void CheckRetract(void* fact, void* linkCell);
  static void SetPrologExceptionPredicate(const RPrologExceptionPredicateStruct* predicate,
                                          uint32_t need,
                                          RPrologExceptionPredicateStruct** oldPredicate,
                                          uint32_t* oldNeed);

  // Register-convention entries for generated and assembler code; C++ code
  // does not call them (except Run_Fail, which takes nothing).
  static void Stkb1();
  static void Stkb2();
  static void Stkb3();
  static void StkTrap();
  [[noreturn]] static void Run_Fail();
  static void Run_Succeed();
  static void Cut_Prolog();
  static void Trail_EDI();
  static void SetCurrentPositionNew();
  static void GetCurrentPositionFromProlog();
};

// The caller's stack pointer as it is after this call returns.
QEL_KERNEL_API void* GetSP();
// Register-convention entries of the Control namespace.
QEL_KERNEL_API void Trail_ESI();
QEL_KERNEL_API void Trail_EAX();
QEL_KERNEL_API void Trail_EBX();
QEL_KERNEL_API void Trail_ECX();
QEL_KERNEL_API void Trail_EDX();
QEL_KERNEL_API void JmpReturn1();
QEL_KERNEL_API void BackEntry();
QEL_KERNEL_API void Qel_EllipsisTransfer(const void* block);

// Console Ctrl events are recorded and raised as errors 4-8 by this poll on
// the main thread; long operations and the message loop call it.
QEL_KERNEL_API void PollUserBreak();

}  // namespace Control

namespace Memory {

// Blocks on the global stack are 8-aligned (sizes round up to 8), so that
// the collector sees the pointers stored in them; the used part of every
// thread's global stack is a root of the collector.
QEL_KERNEL_API uint8_t* AllocGStack(uint32_t size);
QEL_KERNEL_API void AdjustGStackAlloc(void* block, uint32_t size);
QEL_KERNEL_API uint8_t* MarkGStack();
QEL_KERNEL_API void ReleaseGStack(uint8_t* mark);
QEL_KERNEL_API wchar_t* AllocGStackString(uint32_t n);
QEL_KERNEL_API uint32_t FreeGStackSize();
QEL_KERNEL_API uint32_t TotalGStackSize();
QEL_KERNEL_API void SystemFreeGStack();
QEL_KERNEL_API uint32_t FreeStackSize();
QEL_KERNEL_API uint32_t UsedStackSize();
QEL_KERNEL_API uint32_t TotalTrailSize();
QEL_KERNEL_API uint32_t FreeTrailSize();
QEL_KERNEL_API const void* MEM_alloc_nullfunctor(uint32_t n);

// The collected heap.  A null result is never returned: exhaustion raises 206.
// Blocks referenced from a global stack's used part, from the machine stacks
// and registers of the threads, from static data of the modules or from other
// reachable blocks stay alive; memory from malloc/new is not scanned.
using TFinalizer = void (*)(void* block);
// 100-ns units, and a plain 64-bit count.
using PROLOG_TimeIntervalValue = int64_t;
using PROLOG_Unsigned64 = uint64_t;
QEL_KERNEL_API void* AllocHeap(uint32_t size);
QEL_KERNEL_API void* AllocAtomicHeap(uint32_t size);
QEL_KERNEL_API void* AllocUncollectableHeap(uint32_t size);
QEL_KERNEL_API void* AllocHeapWithFinalization(uint32_t size, TFinalizer finalizer);
QEL_KERNEL_API void* ReAllocHeap(void* block, uint32_t size);
// Frees a block at once; its finaliser, if any, is dropped without running.
// A pointer that is not the start of a heap block is ignored.
QEL_KERNEL_API void ReleaseHeap(void* block);
QEL_KERNEL_API wchar_t* AllocHeapString(uint32_t n);
QEL_KERNEL_API wchar_t* CopyStringToHeap(const wchar_t* s);
QEL_KERNEL_API wchar_t* CopyStringToGStack(const wchar_t* s);
// The kernel's finalisation routine: reports the release to the memory
// profile, then calls `finalizer` (when executable) with the block at a
// callback boundary: its failure or error ends there.
QEL_KERNEL_API void NullFinalisationProc(void* block, void* finalizer);
// Runs the finalisers of every block that has one, reachable or not; each
// finaliser runs once.
QEL_KERNEL_API void FinalizeAll();
// A full collection.
QEL_KERNEL_API void GarbageCollector();
// A counter: collection is suppressed while it is above zero; enabling at
// zero leaves it at zero.
QEL_KERNEL_API void GarbageCollectorEnable();
QEL_KERNEL_API void GarbageCollectorDisable();
QEL_KERNEL_API uint32_t FreeHeapSize();
QEL_KERNEL_API uint32_t UsedHeapSize();
// A counter with the same rules: while it is above zero, every collector call
// made through this interface is timed.
QEL_KERNEL_API void GarbageCollectorStatisticsEnable();
QEL_KERNEL_API void GarbageCollectorStatisticsDisable();
// The three timers (since the kernel was loaded, inside the collector, in
// finalisers), each newly allocated on the caller's global stack.
QEL_KERNEL_API void GetGarbageCollectorTimes(PROLOG_TimeIntervalValue** elapsed,
                                             PROLOG_TimeIntervalValue** inCollector,
                                             PROLOG_TimeIntervalValue** inFinalizers);
QEL_KERNEL_API void GetGarbageCollectorCounters(PROLOG_Unsigned64** elapsed,
                                                PROLOG_Unsigned64** inCollector,
                                                PROLOG_Unsigned64** inFinalizers);
// Register-convention allocators (generated and assembler code only).
QEL_KERNEL_API void MEM_alloc_ax();
QEL_KERNEL_API void MEM_alloc_bx();
QEL_KERNEL_API void MEM_alloc_cx();
QEL_KERNEL_API void MEM_alloc_dx();
QEL_KERNEL_API void MEM_alloc_si();
QEL_KERNEL_API void MEM_alloc_di();
QEL_KERNEL_API void AllocRef_EAX();
QEL_KERNEL_API void AllocRef_EBX();
QEL_KERNEL_API void AllocRef_ECX();
QEL_KERNEL_API void AllocRef_EDX();
QEL_KERNEL_API void AllocRef_ESI();
QEL_KERNEL_API void AllocRef_EDI();
QEL_KERNEL_API void AllocRefTerm_EAX();
QEL_KERNEL_API void AllocRefTerm_EBX();
QEL_KERNEL_API void AllocRefTerm_ECX();
QEL_KERNEL_API void AllocRefTerm_EDX();
QEL_KERNEL_API void AllocRefTerm_ESI();
QEL_KERNEL_API void AllocRefTerm_EDI();

// An interned-symbol table: equal texts share one canonical pointer, so that
// symbols compare by address.  Texts are told apart ordinally (code unit by
// code unit).  Insertions from several threads are serialised by the table's
// own critical section.  The nodes live on the collected heap; a table that
// is not itself on the heap must live in memory the collector scans (static
// data of a module).
class QEL_KERNEL_API RBinTree {
 public:
  RBinTree();
  RBinTree(const RBinTree&) = delete;
  RBinTree& operator=(const RBinTree&) = delete;
  // The canonical pointer for `text`.  A new text becomes canonical as given
  // (copy false) or as a heap copy (copy true).
  const wchar_t* Insert(const wchar_t* text, bool copy);

 private:
  struct Node;
  alignas(8) unsigned char lock_[40];  // the critical section
  Node* root_;
};
// A new empty table on the collected heap (null when the heap gives none).
QEL_KERNEL_API RBinTree* CreateSymbolsTable();

}  // namespace Memory

namespace Errors {

[[noreturn]] QEL_KERNEL_API void RunTimeError(uint32_t code, ...);
[[noreturn]] QEL_KERNEL_API void RunTimeErrorFromModule(void* module, uint32_t code, ...);
[[noreturn]] QEL_KERNEL_API void RunTimeErrorWithCursor(uint32_t code, const TFullCursor* position,
                                                        ...);
[[noreturn]] QEL_KERNEL_API void RunTimeErrorWithCursorFromModule(void* module, uint32_t code,
                                                                  const TFullCursor* position, ...);
[[noreturn]] QEL_KERNEL_API void InternalError(const wchar_t* format, ...);
[[noreturn]] QEL_KERNEL_API void SystemAPIError(const char* apiName);
[[noreturn]] QEL_KERNEL_API void Qel_ErrorExit(uint32_t code);
QEL_KERNEL_API void DisplayErrorMessage();
QEL_KERNEL_API wchar_t* PrepareBinaryForErrorMessage(const uint8_t* bytes, uint32_t length);
// A binary: the bytes behind a u32 size word that counts itself.
QEL_KERNEL_API wchar_t* PrepareBinaryForErrorMessage(const uint8_t* binary);
[[noreturn]] QEL_KERNEL_API void RUN_ErrorFromExceptionForDebugger(uint32_t code);
QEL_KERNEL_API void Restore();
QEL_KERNEL_API void qelLogPrintf(uint32_t level, const char* format, ...);
QEL_KERNEL_API void QelLog(uint32_t level, const char* text);
QEL_KERNEL_API void QelLogW(uint32_t level, const wchar_t* text);

}  // namespace Errors

namespace OSInterface {

QEL_KERNEL_API void OSCopyMemory(void* dst, const void* src, uint32_t n);
QEL_KERNEL_API void OSMoveMemory(void* dst, const void* src, uint32_t n);
QEL_KERNEL_API void OSFillMemory(void* dst, uint32_t n, uint8_t value);
QEL_KERNEL_API void OSZeroMemory(void* dst, uint32_t n);
QEL_KERNEL_API int OSlstrlen(const wchar_t* s);
QEL_KERNEL_API int OSlstrlenA(const char* s);
QEL_KERNEL_API wchar_t* OSlstrcpy(wchar_t* dst, const wchar_t* src);
QEL_KERNEL_API wchar_t* OSlstrcat(wchar_t* dst, const wchar_t* src);
QEL_KERNEL_API wchar_t* OSlstrcpyn(wchar_t* dst, const wchar_t* src, int n);
QEL_KERNEL_API bool OSIsBadReadPtr(const void* p, uint32_t n);
QEL_KERNEL_API bool OSIsBadCodePtr(const void* p);
QEL_KERNEL_API bool OSIsBadStringPtr(const wchar_t* s, uint32_t max);
QEL_KERNEL_API bool OSIsBadStringAPtr(const char* s, uint32_t max);
QEL_KERNEL_API int OSConvertUnicodeToANSI(const wchar_t* src, char* dst, int dstSize,
                                          uint32_t codePage);
QEL_KERNEL_API int OSConvertAnsiToUnicode(const char* src, wchar_t* dst, int dstSize,
                                          uint32_t codePage);
QEL_KERNEL_API int OSCharConvertUnicodeToANSI(wchar_t c, char* out, uint32_t codePage);
QEL_KERNEL_API int OSCompareStrings(const wchar_t* a, const wchar_t* b);
QEL_KERNEL_API int OSCompareStringsA(const char* a, const char* b);
QEL_KERNEL_API int OSCompareStringsIgnoreCase(const wchar_t* a, const wchar_t* b);
QEL_KERNEL_API wchar_t OSConvertCharToLowerCase(wchar_t c);
QEL_KERNEL_API uint32_t OSProtectWrite(void* p, uint32_t n);
QEL_KERNEL_API void OSProtectRestore(void* p, uint32_t n, uint32_t oldProtection);
QEL_KERNEL_API bool IsCharWhiteSpace(wchar_t c);
QEL_KERNEL_API bool IsCharLowerCase(wchar_t c);
QEL_KERNEL_API bool IsValid1stFunctorName(wchar_t c);
QEL_KERNEL_API bool IsCharAlphaNumerical(wchar_t c);

}  // namespace OSInterface

// --- Units: start-up and termination ------------------------------------------
//
// The program's entry calls KernelUnitInitialization, the runtime's
// RunUnitInitialization, ExeInitialization, RunGoal, the runtime's
// RunUnitTermination, KernelUnitTermination and ExeTermination with the goal's
// result; a non-zero result of any of the first three ends the process with
// it.  Each entry that runs code does so under a trap and returns the code of
// an error that unwound to it (after showing the message).

// The unit table: slot 0 holds the interface version in its low 32 bits
// (accepted when the low 16 bits are 8 and bit 31 is clear), then class
// descriptors (null entries allowed), ended by the value -2.
constexpr uint32_t KernelInterfaceVersion = 8;
using TGoal = void (*)();

QEL_KERNEL_API int KernelUnitInitialization(void* module,
                                            const RScopeClassDescriptor* const* unitTable);
QEL_KERNEL_API int ExeInitialization();
// 0 when the goal succeeds or fails, else the error's code.
QEL_KERNEL_API int RunGoal(TGoal goal);
QEL_KERNEL_API void KernelUnitTermination();
// Runs the finalisers and ends the process with `exitCode`.
[[noreturn]] QEL_KERNEL_API void ExeTermination(int exitCode);
// The address of `procedure` in `module` (loaded when it is not), also stored
// in *out.  Errors 15 (module) and 16 (procedure).
QEL_KERNEL_API void* LoadProcAddress(const wchar_t* module, const char* procedure, void** out);
// A system procedure bound at its first call, through `slot` (null until
// then): its DLL is loaded only when something calls into it, not at start.
template <typename F>
F* BoundProcedure(F* volatile* slot, const wchar_t* module, const char* procedure) {
  F* f = *slot;
  if (!f) *slot = f = reinterpret_cast<F*>(LoadProcAddress(module, procedure, nullptr));
  return f;
}
// A thread that enters the kernel without a record gets a temporary one (no
// global stack); true when this call made one.  DeleteTemporaryPTD removes
// it and clears the thread's slot; records not made that way are left alone.
QEL_KERNEL_API bool CreateTemporaryPTDifNeed();
QEL_KERNEL_API void DeleteTemporaryPTD();
QEL_KERNEL_API void* SetValidTLSArray();
QEL_KERNEL_API void RestoreTLSArray(void* array);
QEL_KERNEL_API void* GetHinstanceFromWinMain();

// --- Threads and the core critical section ----------------------------------------

namespace Multithreading {

// A predicate to run on a thread: a class predicate code() when object is
// null, else an object predicate code(object).
struct RPrologRunnablePredicateStruct {
  const void* code;
  void* object;
};

QEL_KERNEL_API void EnterQelCoreCriticalSection();
QEL_KERNEL_API void LeaveQelCoreCriticalSection();
// Runs the predicate on a new thread with its own record, global stack of
// `gstackSize` bytes (0: none) and trail.  The thread's exit code is 0 when
// the predicate succeeds or fails, else the code of the error that ended it.
// Returns the thread's handle; error 11 when the thread cannot be made.
QEL_KERNEL_API void* CreatePrologThread(const RPrologRunnablePredicateStruct* predicate,
                                        uint32_t gstackSize, uint32_t machineStackSize,
                                        uint32_t creationFlags);
QEL_KERNEL_API void RegistrationPTDForDebugger(Control::TPrologThreadData* record,
                                               uint32_t threadId);

}  // namespace Multithreading

// --- Debugger memory provider ------------------------------------------------------
//
// Typed reads and writes of another process's memory, with software
// breakpoints (the byte 0xCC) hidden from reads.  Addresses are 64-bit.  Every
// operation records its outcome in the state: 0 complete, 1 partial, 2 failed
// (the platform's error code is then kept as the last error).  Slots 0-25 are
// in the documented order; slot 26 releases the provider.

namespace Debugger {

using RAnotherWorldAddress = uint64_t;

class IMemoryProvider {
 public:
  using Address = RAnotherWorldAddress;
  virtual void SetStringLimit(uint32_t bytes) = 0;                           // 0
  virtual uint32_t GetStringLimit() const = 0;                               // 1
  virtual uint32_t GetState() const = 0;                                     // 2
  virtual void SetState(uint32_t state) = 0;                                 // 3
  virtual uint32_t Read(Address at, void* out, uint32_t n) = 0;              // 4
  virtual uint8_t ReadByte(Address at) = 0;                                  // 5
  virtual uint16_t ReadWord16(Address at) = 0;                               // 6
  virtual uint32_t ReadWord32(Address at) = 0;                               // 7
  virtual double ReadDouble(Address at) = 0;                                 // 8
  // Size word + data on the caller's global stack; the data address, or null.
  virtual uint8_t* ReadBinary(Address data, int32_t maxBytes) = 0;           // 9
  virtual wchar_t* ReadString(Address at, int32_t bytes) = 0;                // 10
  virtual char* ReadString8(Address at, int32_t bytes) = 0;                  // 11
  virtual wchar_t* ReadZString(Address at) = 0;                              // 12
  virtual uint32_t Write(Address at, const void* data, uint32_t n) = 0;      // 13
  virtual bool WriteWord32(Address at, uint32_t value) = 0;                  // 14
  virtual uint32_t ReadWord32OrZero(Address at) = 0;                         // 15
  virtual bool SetBreakpoint(Address at) = 0;                                // 16
  virtual void RemoveBreakpoint(Address at) = 0;                             // 17
  virtual void Reserved18() = 0;                                             // 18
  virtual bool IsBreakpointByte(Address at) = 0;                             // 19
  virtual bool IsBreakpointRemembered(Address at) const = 0;                 // 20
  virtual uint32_t RawRead(Address at, void* out, uint32_t n) = 0;           // 21
  virtual uint32_t ReadableLength(Address at, uint32_t n) = 0;               // 22
  virtual uint32_t GetLastError() const = 0;                                 // 23
  virtual void RememberLastError() = 0;                                      // 24
  virtual void Reserved25() = 0;                                             // 25
  virtual void Release() = 0;                                                // 26

 protected:
  ~IMemoryProvider() = default;
};

class RMemoryAnotherProcess {
 public:
  // A provider over the process (a handle with read, write and query
  // rights); null when it cannot be allocated.
  QEL_KERNEL_API static IMemoryProvider* Create(void* process);
};

}  // namespace Debugger

// --- Memory profile file --------------------------------------------------------------

namespace Memory::Statistics {

// Lists built on the global stack: a cell {1, value, next}, the end {2}.
struct slist_struct {
  uintptr_t functor;
  const wchar_t* value;
  slist_struct* next;
};
struct contextMap_struct {
  uint32_t key;
  slist_struct* values;  // the entry's column values, in column order
};
struct contextMapList_struct {
  uintptr_t functor;
  contextMap_struct* entry;
  contextMapList_struct* next;
};

// Handed to the contexts builder when a profile opens: each call adds one
// entry (its key and five columns: module name, the position's file name,
// the position as "line:column", then the two names) to one of the three
// predefined contexts.
class QEL_KERNEL_API RContextsBuilder {
 public:
  // Context 1: database name, fact name.
  void AddClassFacts(uint32_t key, const wchar_t* moduleName, const TFullCursor* position,
                     const wchar_t* databaseName, const wchar_t* factName);
  // Context 2: database name, fact name.
  void AddObjectFacts(uint32_t key, const wchar_t* moduleName, const TFullCursor* position,
                      const wchar_t* databaseName, const wchar_t* factName);
  // Context 4: interface name, class name.
  void AddClass(uint32_t key, const wchar_t* moduleName, const TFullCursor* position,
                const wchar_t* interfaceName, const wchar_t* className);

  contextMapList_struct* lists[3];  // contexts 1, 2 and 4
};
using TContextsBuilder = void (*)(RContextsBuilder* builder);

QEL_KERNEL_API void memProf_Open(const wchar_t* fileName);
QEL_KERNEL_API void memProf_Close();
QEL_KERNEL_API void memProf_SetContextsBuilder(TContextsBuilder builder);
QEL_KERNEL_API uint32_t memProf_ContextOpen(uint32_t kind, uint32_t value);
QEL_KERNEL_API void memProf_ContextClose(uint32_t depth);
QEL_KERNEL_API void memProf_WriteAlloc(const void* address, uint32_t size);
QEL_KERNEL_API void memProf_WriteDeAlloc(const void* address);
QEL_KERNEL_API void memProf_WriteBookMark(const wchar_t* text);
QEL_KERNEL_API void memProf_WriteContextDefine(uint32_t id, const wchar_t* name,
                                               slist_struct* columns,
                                               contextMapList_struct* entries);

}  // namespace Memory::Statistics

// ---------------------------------------------------------------------------
// The wrappers through which C++ code uses traps and backtrack points.

// Runs body() under a trap.  Returns 0 when it completed, else the code of the
// error that unwound to the trap (global stack, trail and backtrack chain are
// then as they were before the call).
template <class Body>
uint32_t RunTrapped(Body&& body) {
  TStackBlock block;
  if (Control::TPrologThreadData::StackTrap(&block))
    return Control::TPrologThreadData::GetExitCode();
  body();
  Control::TPrologThreadData::RemoveTrap(&block);
  return 0;
}

// Runs body(), which may fail (Run_Fail).  Returns false when it failed (the
// global stack and the bindings are then as before), true when it succeeded;
// backtrack points it left are cut.
template <class Body>
bool Succeeds(Body&& body) {
  TBackTrackBlock* mark = Control::TPrologThreadData::GetBackTrack();
  TStackBlock block;
  if (Control::TPrologThreadData::StackBTrack(&block))
    return false;
  body();
  Control::TPrologThreadData::CutBackTrack(mark);
  return true;
}

// Fails: backtracks into the newest backtrack point.
[[noreturn]] inline void Fail() { Control::TPrologThreadData::Run_Fail(); }

// How a body run at a callback boundary ended: `failed` when it failed or
// raised, `error` the code of the error that unwound to the boundary.
struct BoundaryOutcome {
  uint32_t error;
  bool failed;
};

// The entry of every callback into C++ code (window and dialog procedures,
// the GUI dispatcher, finalisers and other collector callbacks): runs body()
// under a global-stack mark, a trap and a backtrack point, so that neither a
// fail nor a raise crosses the frames of whoever called back.  Always
// returns; the global-stack top is back at the mark on every way out.
template <class Body>
BoundaryOutcome RunAtCallbackBoundary(Body&& body) {
  uint8_t* mark = Memory::MarkGStack();
  volatile bool succeeded = false;
  uint32_t error = RunTrapped([&] { succeeded = Succeeds(body); });
  Memory::ReleaseGStack(mark);
  return {error, !succeeded};
}

}  // namespace Qel::RunTime::Kernel

// The system procedure `name` of `module`, bound at its first call (see
// BoundProcedure): QEL_BOUND_PROCEDURE(L"comdlg32.dll", ChooseColorW)(&cc).
#define QEL_BOUND_PROCEDURE(module, name)                              \
  ([] {                                                                \
    static decltype(&name) volatile slot;                              \
    return Qel::RunTime::Kernel::BoundProcedure(&slot, module, #name); \
  }())
