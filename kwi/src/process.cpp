// Child processes: started with an end event to a window, or run while the
// GUI keeps pumping; closing a started program and finding its window.
//
// Invariants: a process identifier is the address of a record {process
// handle, thread handle, process id} on the uncollectable heap and is valid
// exactly while it is in the live set.  Each tracked process has one hidden
// "ZevRunApp32" window under the window that asked for it; that window owns
// the record and, when it is destroyed (after the end event, or with its
// parent), closes the handles, takes the identifier out of the live set and
// frees the record.  The end is the process handle being signalled, so
// every exit code, 259 included, ends the process.
#include "kwi.h"

#include <cwchar>

namespace QEL_KWI {
namespace detail {

struct ProcessRecord {
  HANDLE process;
  HANDLE thread;
  uint32_t id;
};
static_assert(offsetof(ProcessRecord, id) == 16);

// The extra word of a process window points at this.
struct ProcessWindowState {
  ProcessRecord* record;
  UINT_PTR timer;
};

constexpr UINT_PTR ProcessTimer = 9009;
constexpr UINT ProcessPollMs = 100;

// The live identifiers.
static ProcessRecord** g_live;
static size_t g_liveCount, g_liveCapacity;

static bool ReserveLive() {
  if (g_liveCount < g_liveCapacity) return true;
  size_t capacity = g_liveCapacity ? 2 * g_liveCapacity : 16;
  HANDLE heap = GetProcessHeap();
  void* grown = g_live ? HeapReAlloc(heap, 0, g_live, capacity * sizeof *g_live)
                       : HeapAlloc(heap, 0, capacity * sizeof *g_live);
  if (!grown) return false;
  g_live = static_cast<ProcessRecord**>(grown);
  g_liveCapacity = capacity;
  return true;
}

static void RemoveLive(ProcessRecord* r) {
  for (size_t i = 0; i < g_liveCount; ++i)
    if (g_live[i] == r) {
      g_live[i] = g_live[--g_liveCount];
      return;
    }
}

static ProcessRecord* LiveRecord(LONG_PTR process) {
  for (size_t i = 0; i < g_liveCount; ++i)
    if (reinterpret_cast<LONG_PTR>(g_live[i]) == process) return g_live[i];
  return nullptr;
}

static void CloseHandles(ProcessRecord* r) {
  if (r->process) CloseHandle(r->process);
  if (r->thread) CloseHandle(r->thread);
  r->process = r->thread = nullptr;
}

// Starts `program` with the command line "program" arguments; false when it
// cannot be started.
static bool Start(const wchar_t* program, const wchar_t* arguments, WORD show, DWORD flags,
                  PROCESS_INFORMATION* pi) {
  if (!program) program = L"";
  if (!arguments) arguments = L"";
  const size_t lp = wcslen(program), la = wcslen(arguments);
  const size_t units = lp + la + 4;
  if (units > 0x10000) return false;  // longer than any command line
  uint8_t* mark = K::Memory::MarkGStack();
  auto* line = reinterpret_cast<wchar_t*>(K::Memory::AllocGStack(static_cast<uint32_t>(units * 2)));
  wchar_t* o = line;
  *o++ = L'"';
  wmemcpy(o, program, lp);
  o += lp;
  *o++ = L'"';
  if (la) {
    *o++ = L' ';
    wmemcpy(o, arguments, la);
    o += la;
  }
  *o = 0;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwXSize = 500;
  si.dwYSize = 300;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = show;
  BOOL started = CreateProcessW(nullptr, line, nullptr, nullptr, FALSE, flags, nullptr, nullptr, &si, pi);
  K::Memory::ReleaseGStack(mark);
  return started != 0;
}

static ProcessWindowState* StateOf(HWND w) {
  return reinterpret_cast<ProcessWindowState*>(GetWindowLongPtrW(w, 0));
}

static LRESULT ProcessProcBody(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  switch (m) {
    case WM_CREATE: {
      auto* record = static_cast<ProcessRecord*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
      UINT_PTR timer = SetTimer(w, ProcessTimer, ProcessPollMs, nullptr);
      if (!timer) return -1;  // the creator frees the record
      auto* s = static_cast<ProcessWindowState*>(K::Memory::AllocUncollectableHeap(sizeof(ProcessWindowState)));
      *s = {record, timer};
      SetWindowLongPtrW(w, 0, reinterpret_cast<LONG_PTR>(s));
      return 0;
    }
    case WM_TIMER: {
      ProcessWindowState* s = StateOf(w);
      if (wp != ProcessTimer || !s || !s->record || !s->record->process) break;
      ProcessRecord* r = s->record;
      if (WaitForSingleObject(r->process, 0) == WAIT_TIMEOUT) return 0;
      DWORD code = 0;
      GetExitCodeProcess(r->process, &code);
      KillTimer(w, ProcessTimer);
      CloseHandles(r);
      SendMessageW(GetParent(w), MsgEndApplication, code, reinterpret_cast<LPARAM>(r));
      if (IsWindow(w)) DestroyWindow(w);
      return 0;
    }
    case WM_DESTROY: {
      ProcessWindowState* s = StateOf(w);
      if (!s) break;
      SetWindowLongPtrW(w, 0, 0);
      KillTimer(w, ProcessTimer);
      if (ProcessRecord* r = s->record) {
        CloseHandles(r);
        RemoveLive(r);
        K::Memory::ReleaseHeap(r);
      }
      K::Memory::ReleaseHeap(s);
      break;
    }
    default:
      break;
  }
  return DefWindowProcW(w, m, wp, lp);
}

struct WindowSearch {
  DWORD process;
  HWND visible;
  HWND hidden;
};

// The first visible top-level window of the process, else its first hidden
// one that is not an input-method window of the system.
static BOOL CALLBACK FirstWindowOf(HWND w, LPARAM lp) {
  auto* search = reinterpret_cast<WindowSearch*>(lp);
  DWORD owner = 0;
  GetWindowThreadProcessId(w, &owner);
  if (owner != search->process) return TRUE;
  if (IsWindowVisible(w)) {
    search->visible = w;
    return FALSE;
  }
  wchar_t name[8];
  if (!search->hidden && !(GetClassNameW(w, name, 8) && wcscmp(name, L"IME") == 0)) search->hidden = w;
  return TRUE;
}

// The top-level window of process `id`, or null.
static HWND ProcessTopWindow(DWORD id) {
  WindowSearch search{id, nullptr, nullptr};
  EnumWindows(FirstWindowOf, reinterpret_cast<LPARAM>(&search));
  HWND w = search.visible ? search.visible : search.hidden;
  HWND desktop = GetDesktopWindow();
  for (HWND p; w && (p = GetParent(w)) && p != desktop;) w = p;
  return w;
}

}  // namespace detail

using namespace detail;

LRESULT CALLBACK detail::ProcessProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  return GuardedProc(ProcessProcBody, w, m, wp, lp);
}

LONG_PTR kwi_CreateProcess(LONG_PTR window, const u16* program, const u16* arguments, int showMode) {
  HWND parent = reinterpret_cast<HWND>(window);
  WORD show;
  switch (showMode) {
    case 11: show = SW_HIDE; break;
    case 14: show = SW_MAXIMIZE; break;
    case 15: show = SW_SHOWMINIMIZED; break;
    case 16: show = SW_SHOWNORMAL; break;
    default:
      show = SW_SHOWNORMAL;
      if (Validating()) {
        RaiseMayReturn(6010);
        return -1;
      }
  }
  if (parent && Validating() && !IsWindow(parent)) {
    RaiseMayReturn(6000);
    return -1;
  }
  if (parent && !ReserveLive()) {
    RaiseMayReturn(6171);
    return -1;
  }
  PROCESS_INFORMATION pi;
  if (!Start(program, arguments, show, CREATE_DEFAULT_ERROR_MODE | CREATE_SEPARATE_WOW_VDM, &pi)) {
    RaiseMayReturn(6171);
    return -1;
  }
  auto* r = static_cast<ProcessRecord*>(K::Memory::AllocUncollectableHeap(sizeof(ProcessRecord)));
  *r = {pi.hProcess, pi.hThread, pi.dwProcessId};
  HWND tracker = parent ? CreateWindowExW(0, L"ZevRunApp32", L"", WS_CHILD, CW_USEDEFAULT,
                                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, parent,
                                          nullptr, g_app, r)
                        : nullptr;
  if (!tracker) {
    CloseHandles(r);
    K::Memory::ReleaseHeap(r);
    if (parent) RaiseMayReturn(6171);
    return -1;
  }
  g_live[g_liveCount++] = r;
  return reinterpret_cast<LONG_PTR>(r);
}

int kwi_RunProcess(const u16* program, const u16* arguments) {
  PROCESS_INFORMATION pi;
  if (!Start(program, arguments, SW_HIDE,
             CREATE_DEFAULT_ERROR_MODE | CREATE_SEPARATE_WOW_VDM | CREATE_NEW_CONSOLE, &pi)) {
    RaiseMayReturn(6171);
    return -1;
  }
  // Pump until the process ends, sleeping while neither it nor the queue
  // has anything new.
  for (;;) {
    kwi_ProcessEvents(1, 0);
    DWORD woken = MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, INFINITE, QS_ALLINPUT);
    if (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED) break;
  }
  DWORD code = 0;
  if (!GetExitCodeProcess(pi.hProcess, &code)) code = static_cast<DWORD>(-1);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return static_cast<int>(code);
}

void kwi_CloseProcess(LONG_PTR process) {
  ProcessRecord* r = LiveRecord(process);
  if (!r || !r->id) {
    RaiseMayReturn(6172);
    return;
  }
  if (HWND w = ProcessTopWindow(r->id)) PostMessageW(w, WM_CLOSE, 0, 0);
}

LONG_PTR kwi_GetProcessWindow(LONG_PTR process) {
  ProcessRecord* r = LiveRecord(process);
  HWND w = r && r->id ? ProcessTopWindow(r->id) : nullptr;
  if (!w) RaiseMayReturn(6173);
  return reinterpret_cast<LONG_PTR>(w);
}

}  // namespace QEL_KWI
