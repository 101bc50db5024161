#include "faults.h"

#include <windows.h>

#include <initializer_list>

#include "os.h"

namespace cdbtest {

namespace os = chainDB::detail;

namespace {

FaultPlan g_plan;
std::vector<char> g_kinds;
bool g_logging = false;
std::vector<LoggedWrite> g_log;
int g_barriers = 0;
size_t g_armedLog = 0;

void Log(HANDLE h, LPCVOID b, DWORD n) {
  if (!g_logging) return;
  LONG high = 0;
  DWORD low = SetFilePointer(h, 0, &high, FILE_CURRENT);
  uint64_t at = (uint64_t{static_cast<uint32_t>(high)} << 32) | low;
  auto* p = static_cast<const uint8_t*>(b);
  g_log.push_back({at, std::vector<uint8_t>(p, p + n), g_barriers});
}

// The fault planned for this call, when it is one of `kinds`.
bool Hit(char call, std::initializer_list<Fault> kinds, Fault* which) {
  if (g_plan.held) return false;
  ++g_plan.calls;
  if (g_plan.kind == Fault::None) g_kinds.push_back(call);
  if (g_plan.kind == Fault::None || g_plan.calls != g_plan.at) return false;
  if (g_plan.kind == Fault::Kill) TerminateProcess(GetCurrentProcess(), 99);
  for (Fault k : kinds)
    if (k == g_plan.kind) {
      g_plan.fired = true;
      *which = k;
      return true;
    }
  return false;
}

BOOL WINAPI Write(HANDLE h, LPCVOID b, DWORD n, LPDWORD done, LPOVERLAPPED o) {
  Fault f;
  if (Hit('w', {Fault::FailWrite, Fault::ShortWrite}, &f)) {
    if (f == Fault::ShortWrite) return os::RealOs().writeFile(h, b, n / 2, done, o);
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
  }
  Log(h, b, n);
  return os::RealOs().writeFile(h, b, n, done, o);
}

BOOL WINAPI Read(HANDLE h, LPVOID b, DWORD n, LPDWORD done, LPOVERLAPPED o) {
  Fault f;
  if (Hit('r', {Fault::ShortRead}, &f)) return os::RealOs().readFile(h, b, n / 2, done, o);
  return os::RealOs().readFile(h, b, n, done, o);
}

BOOL WINAPI Flush(HANDLE h) {
  Fault f;
  if (Hit('f', {Fault::FailFlush}, &f)) {
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
  }
  BOOL ok = os::RealOs().flushFileBuffers(h);
  if (ok && g_logging) ++g_barriers;
  return ok;
}

// The real calls of both variants, by their name type.
BOOL RealMove(LPCWSTR a, LPCWSTR b, DWORD f) { return os::RealOs().moveFileExW(a, b, f); }
BOOL RealMove(LPCSTR a, LPCSTR b, DWORD f) { return os::RealOs().moveFileExA(a, b, f); }
HANDLE RealOpen(LPCWSTR n, DWORD a, DWORD s, LPSECURITY_ATTRIBUTES sa, DWORD c, DWORD f, HANDLE t) {
  return os::RealOs().createFileW(n, a, s, sa, c, f, t);
}
HANDLE RealOpen(LPCSTR n, DWORD a, DWORD s, LPSECURITY_ATTRIBUTES sa, DWORD c, DWORD f, HANDLE t) {
  return os::RealOs().createFileA(n, a, s, sa, c, f, t);
}
BOOL RealDelete(LPCWSTR n) { return os::RealOs().deleteFileW(n); }
BOOL RealDelete(LPCSTR n) { return os::RealOs().deleteFileA(n); }

template <class C>
BOOL WINAPI Rename(const C* a, const C* b, DWORD f) {
  Fault k;
  if (Hit('m', {Fault::FailRename}, &k)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return RealMove(a, b, f);
}

// Opens, closes and deletes are kill points only.
void Counted(char call) {
  Fault f;
  Hit(call, {}, &f);
}

template <class C>
HANDLE WINAPI Open(const C* n, DWORD a, DWORD s, LPSECURITY_ATTRIBUTES sa, DWORD c, DWORD f, HANDLE t) {
  Counted('o');
  return RealOpen(n, a, s, sa, c, f, t);
}

BOOL WINAPI Close(HANDLE h) {
  Counted('c');
  return os::RealOs().closeHandle(h);
}

template <class C>
BOOL WINAPI Delete(const C* n) {
  Counted('d');
  return RealDelete(n);
}

}  // namespace

void SetFaults(Fault kind, uint64_t at) {
  os::Os().writeFile = Write;
  os::Os().readFile = Read;
  os::Os().flushFileBuffers = Flush;
  os::Os().moveFileExW = Rename<wchar_t>;
  os::Os().moveFileExA = Rename<char>;
  os::Os().createFileW = Open<wchar_t>;
  os::Os().createFileA = Open<char>;
  os::Os().closeHandle = Close;
  os::Os().deleteFileW = Delete<wchar_t>;
  os::Os().deleteFileA = Delete<char>;
  g_plan = FaultPlan{kind, at, 0, false};
  g_kinds.clear();
}

const std::vector<char>& CallKinds() { return g_kinds; }

FaultPlan& Faults() { return g_plan; }

void ClearFaults() { g_plan = FaultPlan{}; }

void HoldFaults() { g_plan.held = true; }

void ArmFaults() {
  g_plan.held = false;
  g_plan.calls = 0;
  g_kinds.clear();
  g_armedLog = g_log.size();
}

void StartWriteLog() {
  SetFaults(Fault::None, 0);
  g_log.clear();
  g_barriers = 0;
  g_armedLog = 0;
  g_logging = true;
}
std::vector<LoggedWrite>& WriteLog() { return g_log; }
int Barriers() { return g_barriers; }
size_t ArmedLogIndex() { return g_armedLog; }
void StopWriteLog() { g_logging = false; }

}  // namespace cdbtest
