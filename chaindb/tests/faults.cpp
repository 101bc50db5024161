#include "faults.h"

#include <windows.h>

#include <initializer_list>

#include "os.h"

namespace cdbtest {

namespace os = chainDB::detail;

namespace {

FaultPlan g_plan;
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
bool Hit(std::initializer_list<Fault> kinds, Fault* which) {
  if (g_plan.held) return false;
  ++g_plan.calls;
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
  if (Hit({Fault::FailWrite, Fault::ShortWrite}, &f)) {
    if (f == Fault::ShortWrite) return os::RealOs().writeFile(h, b, n / 2, done, o);
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
  }
  Log(h, b, n);
  return os::RealOs().writeFile(h, b, n, done, o);
}

BOOL WINAPI Read(HANDLE h, LPVOID b, DWORD n, LPDWORD done, LPOVERLAPPED o) {
  Fault f;
  if (Hit({Fault::ShortRead}, &f)) return os::RealOs().readFile(h, b, n / 2, done, o);
  return os::RealOs().readFile(h, b, n, done, o);
}

BOOL WINAPI Flush(HANDLE h) {
  Fault f;
  if (Hit({Fault::FailFlush}, &f)) {
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
  }
  BOOL ok = os::RealOs().flushFileBuffers(h);
  if (ok && g_logging) ++g_barriers;
  return ok;
}

BOOL WINAPI Rename(LPCWSTR a, LPCWSTR b, DWORD f) {
  Fault k;
  if (Hit({Fault::FailRename}, &k)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return os::RealOs().moveFileExW(a, b, f);
}

}  // namespace

void SetFaults(Fault kind, uint64_t at) {
  os::Os().writeFile = Write;
  os::Os().readFile = Read;
  os::Os().flushFileBuffers = Flush;
  os::Os().moveFileExW = Rename;
  g_plan = FaultPlan{kind, at, 0, false};
}

FaultPlan& Faults() { return g_plan; }

void ClearFaults() { g_plan = FaultPlan{}; }

void HoldFaults() { g_plan.held = true; }

void ArmFaults() {
  g_plan.held = false;
  g_plan.calls = 0;
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
