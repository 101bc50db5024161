// The thread record, the global stack and the trail.
//
// Invariants:
//  - base <= top <= commit top <= end for a thread with a global stack; all
//    four are null for a thread without one.
//  - Only [base, commit top) is committed; commit grows in steps of at least
//    64 KB and never past end.
//  - The trail buffer has room for one more entry: trail top < capacity.  It
//    is uncollectable collector memory so that the cells it names stay
//    visible to the collector.
#include "ptd.h"

#include <gc.h>

#include <algorithm>

extern "C" {
uint64_t qel_ptd_tls_index = 0;
}

namespace Qel::RunTime::Kernel {
namespace detail {

void InstallPTD(TPrologThreadData* record) {
  TlsSetValue(static_cast<DWORD>(qel_ptd_tls_index), record);
}

bool IsValidPTD(const TPrologThreadData* record) {
  return record && !OSInterface::OSIsBadReadPtr(record, sizeof *record) &&
         record->signature == TPrologThreadData::Signature;
}

void InitThreadRecord(TPrologThreadData* record) {
  ZeroMemory(record, sizeof *record);
  record->signature = TPrologThreadData::Signature;
  record->exceptionPredicateCode = reinterpret_cast<const void*>(&DefaultExceptionPredicate);
  NT_TIB* tib = reinterpret_cast<NT_TIB*>(CurrentTeb());
  record->baseESP = static_cast<uint8_t*>(tib->StackBase);
  record->messageBuffer = static_cast<wchar_t*>(
      GlobalAllocZero(TPrologThreadData::MessageBufferUnits * sizeof(wchar_t)));
}

void CreateGStack(TPrologThreadData* record, uint64_t size) {
  if (size == 0) {
    record->gstackBase = record->gstackTop = record->gstackCommitTop = record->gstackEnd = nullptr;
    return;
  }
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  uint64_t granularity = info.dwAllocationGranularity;
  uint64_t rounded = (size + granularity - 1) / granularity * granularity;
  void* base = VirtualAlloc(nullptr, rounded, MEM_RESERVE, PAGE_READWRITE);
  if (!base) Errors::SystemAPIError("VirtualAlloc");
  record->gstackBase = record->gstackTop = record->gstackCommitTop = static_cast<uint8_t*>(base);
  record->gstackEnd = record->gstackBase + rounded;
  AddGStackRoot(record);
}

void FreeThreadRecord(TPrologThreadData* record) {
  SafeReleaseGStack(record);
  ReleaseTrail(record);
  if (record->messageBuffer) GlobalFree(record->messageBuffer);
  record->messageBuffer = nullptr;
  record->signature = 0;
  InstallPTD(nullptr);
}

void ReleaseGStack(TPrologThreadData* record) {
  if (!record->gstackBase) return;
  RemoveGStackRoot(record);
  if (!VirtualFree(record->gstackBase, 0, MEM_RELEASE)) Errors::SystemAPIError("VirtualFree");
  record->gstackBase = record->gstackTop = record->gstackCommitTop = record->gstackEnd = nullptr;
}

void SafeReleaseGStack(TPrologThreadData* record) {
  RemoveGStackRoot(record);
  if (record->gstackBase && !VirtualFree(record->gstackBase, 0, MEM_RELEASE))
    LogLine("\n!!! TPrologThreadData::SafeReleaseGStack API VirtualFree failed with code %u\n",
            static_cast<unsigned>(GetLastError()));
  record->gstackBase = record->gstackTop = record->gstackCommitTop = record->gstackEnd = nullptr;
}

void CreateTrail(TPrologThreadData* record) {
  record->trail = static_cast<void**>(GC_MALLOC_UNCOLLECTABLE(kInitialTrailBytes));
  if (!record->trail) Errors::RunTimeError(206, kInitialTrailBytes, kInitialTrailBytes);
  record->trailTop = 0;
  record->trailCapacity = kInitialTrailBytes;
}

void ReleaseTrail(TPrologThreadData* record) {
  if (record->trail) GC_FREE(record->trail);
  record->trail = nullptr;
  record->trailTop = record->trailCapacity = 0;
}

static uint8_t* PageDown(uint8_t* p, uint64_t page) {
  return reinterpret_cast<uint8_t*>(reinterpret_cast<uintptr_t>(p) / page * page);
}

static uint64_t PageSize() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwPageSize;
}

// Decommits the pages from `pagesAbove` pages above the top to the commit
// top; false (with the system's error code) when the system refuses.
static bool DecommitAbove(TPrologThreadData* record, uint64_t pagesAbove) {
  uint64_t page = PageSize();
  uint8_t* from = PageDown(record->gstackTop + pagesAbove * page, page);
  uint8_t* to = PageDown(record->gstackCommitTop, page);
  if (from < to) {
    if (!VirtualFree(from, to - from, MEM_DECOMMIT)) return false;
    record->gstackCommitTop = from;
  }
  return true;
}

void PrepareGStackForGC() {
  TPrologThreadData* record = CurrentPTD();
  if (!IsValidPTD(record) || !record->gstackTop) return;
  LogLine("PrepareGStackForGC. GT=%08llX, CT=%08llX\n",
          reinterpret_cast<unsigned long long>(record->gstackTop),
          reinterpret_cast<unsigned long long>(record->gstackCommitTop));
  // The collector holds its lock: a failed decommit is reported, not raised.
  if (!DecommitAbove(record, 5)) ApiFailureLine("VirtualFree", GetLastError());
  if (record->gstackCommitTop > record->gstackTop)
    ZeroMemory(record->gstackTop, record->gstackCommitTop - record->gstackTop);
}

}  // namespace detail

using namespace detail;

// --- Thread record accessors ------------------------------------------------

namespace Control {

TPrologThreadData* TPrologThreadData::GetPTDwithBody() { return CurrentPTD(); }
TBackTrackBlock* TPrologThreadData::GetBackTrackTop() { return CurrentPTD()->backTrackTop; }
void TPrologThreadData::SetBackTrackTop(TBackTrackBlock* b) { CurrentPTD()->backTrackTop = b; }
TBackTrackBlock* TPrologThreadData::GetTrapTop() { return CurrentPTD()->trapTop; }
void TPrologThreadData::SetTrapTop(TBackTrackBlock* b) { CurrentPTD()->trapTop = b; }
uint32_t TPrologThreadData::GetExitCode() { return CurrentPTD()->exitCode; }
const TFullCursor* TPrologThreadData::GetCurrentPosition() { return CurrentPTD()->currentPosition; }
void TPrologThreadData::SetCurrentPosition(const TFullCursor* p) { CurrentPTD()->currentPosition = p; }
const TFullCursor* TPrologThreadData::GetPosition(TPrologThreadData* r) { return r->currentPosition; }
void TPrologThreadData::SetPosition(TPrologThreadData* r, const TFullCursor* p) {
  r->currentPosition = p;
}
wchar_t* TPrologThreadData::GetLastErrorMessage(TPrologThreadData* r) { return r->messageBuffer; }
wchar_t* TPrologThreadData::GetCurrentLastErrorMessage() { return CurrentPTD()->messageBuffer; }
TBackTrackBlock* TPrologThreadData::GetBackTrackTopForDebugger(TPrologThreadData* r) {
  return r->backTrackTop;
}
TBackTrackBlock* TPrologThreadData::GetTrapTopForDebugger(TPrologThreadData* r) {
  return r->trapTop;
}
uint8_t TPrologThreadData::TestCurrentUnifyCopy() { return CurrentPTD()->currentUnifyCopy; }
void TPrologThreadData::SetCurrentUnifyCopy() { CurrentPTD()->currentUnifyCopy = 1; }
void TPrologThreadData::ClearCurrentUnifyCopy() { CurrentPTD()->currentUnifyCopy = 0; }
uint8_t* TPrologThreadData::GetGStackTop() { return CurrentPTD()->gstackTop; }
void TPrologThreadData::SetGStackTop(uint8_t* mark) { CurrentPTD()->gstackTop = mark; }

}  // namespace Control

// --- Global stack -------------------------------------------------------------

namespace Memory {

static bool IsOutOfMemory(DWORD rc) {
  return rc == ERROR_NOT_ENOUGH_MEMORY || rc == ERROR_OUTOFMEMORY || rc == ERROR_COMMITMENT_LIMIT;
}

uint8_t* AllocGStack(uint32_t size) {
  TPrologThreadData* r = CurrentPTD();
  uint8_t* top = r->gstackTop;
  // Blocks stay 8-aligned: the collector finds pointers only in aligned words.
  uint64_t rounded = (static_cast<uint64_t>(size) + 7) & ~uint64_t{7};
  if (!top) Errors::RunTimeError(203);
  if (rounded >= static_cast<uint64_t>(r->gstackEnd - top)) {
    LogLine("\n!!! ERR_RUNTIME_GStackOverflow 2. ESP=%08llX\nSize=%08X, CommitTop=%08llX, "
            "GT=%08llX, MaxGStackTop=%08llX\n",
            reinterpret_cast<unsigned long long>(__builtin_frame_address(0)), size,
            reinterpret_cast<unsigned long long>(r->gstackCommitTop),
            reinterpret_cast<unsigned long long>(top),
            reinterpret_cast<unsigned long long>(r->gstackEnd));
    ShiftTrapPointForUserExceptionRaiser();
    Errors::RunTimeError(201, size);
  }
  uint8_t* newTop = top + rounded;
  if (newTop >= r->gstackCommitTop) {
    uint64_t shortfall = newTop - r->gstackCommitTop;
    uint64_t n = shortfall <= 0x10000 ? 0x10000 : shortfall + 0x10000;
    n = std::min<uint64_t>(n, r->gstackEnd - r->gstackCommitTop);
    if (!VirtualAlloc(r->gstackCommitTop, n, MEM_COMMIT, PAGE_READWRITE)) {
      DWORD rc = GetLastError();
      LogLine("\n!!! ERR_RUNTIME_GStackOverflow 1\nSize=%08X, CommitTop=%08llX, GetLasError=%08X\n",
              size, reinterpret_cast<unsigned long long>(r->gstackCommitTop),
              static_cast<unsigned>(rc));
      if (IsOutOfMemory(rc)) {
        ShiftTrapPointForUserExceptionRaiser();
        Errors::RunTimeError(201, size);
      }
      SetLastError(rc);
      Errors::SystemAPIError("AllocGStack::VirtualAlloc");
    }
    r->gstackCommitTop += n;
  }
  r->gstackTop = newTop;
  return top;
}

void AdjustGStackAlloc(void* block, uint32_t size) {
  TPrologThreadData* r = CurrentPTD();
  uint8_t* end = static_cast<uint8_t*>(block) + ((static_cast<uint64_t>(size) + 7) & ~uint64_t{7});
  if (end > r->gstackTop)
    AllocGStack(static_cast<uint32_t>(end - r->gstackTop));
  else
    r->gstackTop = end;
}

uint8_t* MarkGStack() { return CurrentPTD()->gstackTop; }
void ReleaseGStack(uint8_t* mark) { CurrentPTD()->gstackTop = mark; }

wchar_t* AllocGStackString(uint32_t n) {
  if (n >= 0xFFFFFFFEu) Errors::RunTimeError(201, n);
  uint64_t bytes = (static_cast<uint64_t>(n) + 1) * 2;  // 64-bit: never wraps
  if (bytes > 0xFFFFFFFFull) Errors::RunTimeError(201, n);
  wchar_t* s = reinterpret_cast<wchar_t*>(AllocGStack(static_cast<uint32_t>(bytes)));
  s[n] = 0;
  return s;
}

uint32_t FreeGStackSize() {
  TPrologThreadData* r = CurrentPTD();
  uint64_t free = r->gstackEnd - r->gstackTop;
  MEMORYSTATUSEX ms{};
  ms.dwLength = sizeof ms;
  if (GlobalMemoryStatusEx(&ms)) {
    uint64_t page = ms.ullAvailPageFile > 4096 ? ms.ullAvailPageFile - 4096 : 0;
    free = std::min(free, page);
  }
  return static_cast<uint32_t>(std::min<uint64_t>(free, 0xFFFFFFFFu));
}

uint32_t TotalGStackSize() {
  TPrologThreadData* r = CurrentPTD();
  uint64_t total = FreeGStackSize() + static_cast<uint64_t>(r->gstackTop - r->gstackBase);
  return static_cast<uint32_t>(std::min<uint64_t>(total, 0xFFFFFFFFu));
}

void SystemFreeGStack() {
  TPrologThreadData* r = CurrentPTD();
  if (r->gstackTop && !DecommitAbove(r, 3)) Errors::SystemAPIError("VirtualFree");
}

uint32_t FreeStackSize() {
  uint8_t* sp = static_cast<uint8_t*>(__builtin_frame_address(0));
  uint64_t page = PageSize();
  uint8_t* a = PageDown(sp, page);
  MEMORY_BASIC_INFORMATION mbi;
  if (!VirtualQuery(a, &mbi, sizeof mbi)) return 0;
  while (mbi.State != MEM_FREE && !(mbi.AllocationProtect & (PAGE_GUARD | PAGE_NOACCESS)) &&
         !(mbi.Protect & (PAGE_GUARD | PAGE_NOACCESS))) {
    a = static_cast<uint8_t*>(mbi.BaseAddress) - page;
    if (!VirtualQuery(a, &mbi, sizeof mbi) || mbi.State == MEM_FREE) break;
    if (mbi.State == MEM_RESERVE) break;
  }
  if (a >= sp) return 0;
  return static_cast<uint32_t>(std::min<uint64_t>(sp - a, 0xFFFFFFFFu));
}

uint32_t UsedStackSize() {
  uint8_t* sp = static_cast<uint8_t*>(__builtin_frame_address(0));
  return static_cast<uint32_t>(CurrentPTD()->baseESP - sp);
}

uint32_t TotalTrailSize() { return CurrentPTD()->trailCapacity; }
uint32_t FreeTrailSize() {
  TPrologThreadData* r = CurrentPTD();
  return r->trailCapacity - r->trailTop;
}

// Static one-word terms 0..256, read-only.
static const uint64_t kNullFunctors[257] = {
#define W4(n) n, n + 1, n + 2, n + 3
#define W16(n) W4(n), W4(n + 4), W4(n + 8), W4(n + 12)
#define W64(n) W16(n), W16(n + 16), W16(n + 32), W16(n + 48)
    W64(0), W64(64), W64(128), W64(192), 256
#undef W64
#undef W16
#undef W4
};

const void* MEM_alloc_nullfunctor(uint32_t n) {
  if (n >= 1028) Errors::InternalError(L"MEM_alloc_nullfunctor(%u): functor out of range", n);
  return &kNullFunctors[n / 4];
}

}  // namespace Memory
}  // namespace Qel::RunTime::Kernel

using namespace Qel::RunTime::Kernel;

// The trail is full: grow it by one step, keeping its entries in order.
extern "C" void qel_trail_grow(Control::TPrologThreadData* r) {
  uint64_t capacity = static_cast<uint64_t>(r->trailTop) + TRAIL_STEP;
  if (capacity > 0xFFFFFFFFull) Errors::RunTimeError(206, 0xFFFFFFFFu, 0xFFFFFFFFu);
  void** grown = static_cast<void**>(GC_MALLOC_UNCOLLECTABLE(capacity));
  if (!grown) Errors::RunTimeError(206, static_cast<uint32_t>(capacity), static_cast<uint32_t>(capacity));
  CopyMemory(grown, r->trail, r->trailCapacity);
  GC_FREE(r->trail);
  r->trail = grown;
  r->trailCapacity = static_cast<uint32_t>(capacity);
}

extern "C" const void* qel_readable_position(const void* position) {
  if (!position || OSInterface::OSIsBadReadPtr(position, sizeof(TFullCursor))) return nullptr;
  return position;
}
