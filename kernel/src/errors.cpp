// Run-time errors: the message text, the road to the newest trap, the log
// file, the debugger line for API failures, the processor-exception filter,
// the minidump and the console control handler.
//
// Invariants:
//  - A message is built into the thread's 4096-unit message buffer, always
//    zero-terminated and never written past its end.
//  - Every raising function ends in CallPrologExceptionPredicate and never
//    returns.
//  - A processor exception is resumed into the error path only when the
//    faulting instruction lies in one of this system's modules (the folder of
//    qel6kernel.dll); a fault in foreign code shows its message and ends the
//    process.
//  - Console Ctrl events only set a flag; PollUserBreak raises them on the
//    main thread.
#include "ptd.h"

#include <gc.h>

#include <cstdio>
#include <cwchar>
#include <float.h>

namespace Qel::RunTime::Kernel {
namespace detail {

uint32_t g_logLevel = 0;
int32_t g_miniDumpType = -1;

static HANDLE g_mainThreadHandle = nullptr;
static DWORD g_mainThreadId = 0;
static LPTOP_LEVEL_EXCEPTION_FILTER g_previousFilter = nullptr;
static volatile LONG g_pendingCtrlEvent = -1;

// --- Settings and log -------------------------------------------------------

void ReadSettings() {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Tarnwick\\Corvane6\\qel6kernel.dll\\.Default",
                    0, KEY_READ, &key) != ERROR_SUCCESS)
    return;
  DWORD value, size = sizeof value, type;
  if (RegQueryValueExW(key, L"ExceptionLog", nullptr, &type, reinterpret_cast<BYTE*>(&value),
                       &size) == ERROR_SUCCESS && type == REG_DWORD)
    g_logLevel = value;
  size = sizeof value;
  if (RegQueryValueExW(key, L"MiniDump", nullptr, &type, reinterpret_cast<BYTE*>(&value),
                       &size) == ERROR_SUCCESS && type == REG_DWORD)
    g_miniDumpType = static_cast<int32_t>(value);
  RegCloseKey(key);
}

static void AppendLog(const char* format, va_list args) {
  FILE* f = fopen("qel6kernelExceptions.log", "a");
  if (!f) return;
  vfprintf(f, format, args);
  fclose(f);
}

void LogLine(const char* format, ...) {
  if (g_logLevel == 0) return;
  va_list args;
  va_start(args, format);
  AppendLog(format, args);
  va_end(args);
}

void LogAt(uint32_t level, const char* format, ...) {
  if (g_logLevel == 0 || level > g_logLevel) return;
  va_list args;
  va_start(args, format);
  AppendLog(format, args);
  va_end(args);
}

void ApiFailureLine(const char* apiName, DWORD rc) {
  char line[400];
  if (strlen(apiName) >= 275) {
    OutputDebugStringA("!!! API Error: ");
    OutputDebugStringA(apiName);
    return;
  }
  snprintf(line, sizeof line, "!!! API Error: %s. rc=%lu\n", apiName, static_cast<unsigned long>(rc));
  OutputDebugStringA(line);
}

// --- Message text -------------------------------------------------------------

// Appends to a bounded wide buffer; the text is cut at the end of the buffer.
class MessageWriter {
 public:
  MessageWriter(wchar_t* buffer, size_t units) : buf_(buffer), cap_(units) { buf_[0] = 0; }
  void Put(const wchar_t* s) {
    while (s && *s && len_ + 1 < cap_) buf_[len_++] = *s++;
    buf_[len_] = 0;
  }
  void Printf(const wchar_t* format, ...) {
    wchar_t tmp[64];
    va_list args;
    va_start(args, format);
    vsnwprintf(tmp, 64, format, args);
    va_end(args);
    tmp[63] = 0;
    Put(tmp);
  }

 private:
  wchar_t* buf_;
  size_t cap_;
  size_t len_ = 0;
};

static const wchar_t* ProcessorExceptionName(DWORD code) {
  static const struct { DWORD code; const wchar_t* name; } names[] = {
      {0x80000001, L"Guard page"}, {0x80000002, L"Misalignment"},
      {0x80000003, L"User breakpoint"}, {0x80000004, L"Single step"},
      {0xC0000005, L"Access violation"}, {0xC0000006, L"Page error"},
      {0xC0000008, L"Invalid handle"}, {0xC000001D, L"Illegal instruction"},
      {0xC0000025, L"Noncontinuable exception"}, {0xC0000026, L"Invalid disposition"},
      {0xC000008C, L"Bound exceeded"}, {0xC000008D, L"Float denormalized operand"},
      {0xC000008E, L"Float divide by zero"}, {0xC000008F, L"Float inexact result"},
      {0xC0000090, L"Float invalid operation"}, {0xC0000091, L"Float overflow"},
      {0xC0000092, L"Float stack check"}, {0xC0000093, L"Float underflow"},
      {0xC0000094, L"Integral divide by zero"}, {0xC0000095, L"Integral overflow"},
      {0xC0000096, L"Privileged instruction"}, {0xC00000FD, L"Stack overflow"},
  };
  for (const auto& n : names)
    if (n.code == code) return n.name;
  return nullptr;
}

// The code-1 text "Exception %08X: <name>" of a processor exception.
static void ProcessorExceptionText(DWORD code, wchar_t* out, size_t units) {
  const wchar_t* name = ProcessorExceptionName(code);
  wchar_t system[256] = L"";
  if (!name) {
    HMODULE ntdll = GetModuleHandleW(L"NTDLL.DLL");
    if (ntdll && FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS, ntdll,
                                code, 0, system, 256, nullptr)) {
      for (wchar_t* p = system + wcslen(system); p > system && (p[-1] == L'\n' || p[-1] == L'\r');)
        *--p = 0;
      name = system;
    } else {
      name = L"Unknown exception";
    }
  }
  snwprintf(out, units, L"Exception %08X: %ls", static_cast<unsigned>(code), name);
  out[units - 1] = 0;
}

// The program's file name without its folder ("" when the system gives
// none), read once: it is part of every message.
static const wchar_t* ProgramName() {
  static wchar_t path[MAX_PATH];
  static const wchar_t* name = nullptr;
  static INIT_ONCE once = INIT_ONCE_STATIC_INIT;
  InitOnceExecuteOnce(
      &once,
      [](INIT_ONCE*, void*, void**) -> BOOL {
        DWORD lastError = GetLastError();
        if (!GetModuleFileNameW(nullptr, path, MAX_PATH)) path[0] = 0;
        path[MAX_PATH - 1] = 0;
        SetLastError(lastError);
        name = path;
        for (const wchar_t* p = path; *p; ++p)
          if (*p == L'\\' || *p == L'/') name = p + 1;
        return TRUE;
      },
      nullptr, nullptr);
  return name;
}

// Builds the message of `code` into the thread's buffer.  `text` is the
// format (null: no text), formatted with `args`.
static void BuildMessageInto(wchar_t* buffer, size_t units, uint32_t code,
                             const TFullCursor* position, const wchar_t* text, va_list* args) {
  MessageWriter w(buffer, units);
  if (const wchar_t* name = ProgramName(); name[0]) {
    w.Put(L"Exception in module: ");
    w.Put(name);
    w.Put(L"\r\n");
  }
  if (position && ReadableMemory(position, sizeof *position) && position->position > 0xFFFFF) {
    if (position->fileName && ReadableString(position->fileName, 1024))
      w.Put(position->fileName);
    w.Printf(L"(%u,%u) : ", position->position & 0xFFFFF, position->position >> 20);
  }
  w.Printf(L"error r%03u", code);
  if (text) {
    wchar_t formatted[1100];
    if (args)
      wvsprintfW(formatted, text, *args);
    else
      lstrcpynW(formatted, text, 1024);
    w.Put(L": ");
    w.Put(formatted);
  }
}

static void BuildMessage(TPrologThreadData* r, uint32_t code, const TFullCursor* position,
                         const wchar_t* text, va_list* args) {
  BuildMessageInto(r->messageBuffer, TPrologThreadData::MessageBufferUnits, code, position, text,
                   args);
}

// The text of `code` in `module`'s string table, or "Unknown Error".
static void ModuleText(HMODULE module, uint32_t code, wchar_t* out, int units) {
  if (!LoadStringW(module, code, out, units)) lstrcpynW(out, L"Unknown Error", units);
}

[[noreturn]] static void Raise(HMODULE module, uint32_t code, const TFullCursor* position,
                               va_list* args) {
  TPrologThreadData* r = CurrentPTD();
  if (position) r->currentPosition = position;
  wchar_t text[201];
  if (code == 1) {
    // A processor exception: the arguments are its code and parameters.
    DWORD exceptionCode = args ? va_arg(*args, unsigned) : 0;
    ProcessorExceptionText(exceptionCode, text, 201);
    BuildMessage(r, code, position, text, nullptr);
  } else {
    ModuleText(module, code, text, 201);
    BuildMessage(r, code, position, text, args);
  }
  CallPrologExceptionPredicate(code);
}

void ShowMessage(const wchar_t* text) {
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  if (IsConsoleProgram() && err && err != INVALID_HANDLE_VALUE) {
    auto write = [err](const wchar_t* s) {
      DWORD n = static_cast<DWORD>(wcslen(s)), done;
      if (!WriteConsoleW(err, s, n, &done, nullptr))
        WriteFile(err, s, n * sizeof(wchar_t), &done, nullptr);
    };
    CONSOLE_SCREEN_BUFFER_INFO info;
    bool colour = GetConsoleScreenBufferInfo(err, &info);
    write(L"\r\n");
    if (colour) SetConsoleTextAttribute(err, 12);
    write(text);
    if (colour) SetConsoleTextAttribute(err, info.wAttributes);
    write(L"\r\n");
    return;
  }
  HWND owner = GetActiveWindow();
  if (owner) owner = GetLastActivePopup(owner);
  MessageBoxW(owner, text, L"Prolog fatal error message",
              MB_ICONERROR | MB_SYSTEMMODAL | MB_SETFOREGROUND);
}

static DWORD WINAPI ShowOnOwnThread(void* text) {
  ShowMessage(static_cast<const wchar_t*>(text));
  return 0;
}

void FatalErrorExit(uint32_t code, ...) {
  static wchar_t message[2048];
  wchar_t text[201];
  ModuleText(KernelModule(), code, text, 201);
  TPrologThreadData* r = CurrentPTD();
  va_list args;
  va_start(args, code);
  BuildMessageInto(message, 2048, code, IsValidPTD(r) ? r->currentPosition : nullptr, text, &args);
  va_end(args);
  static char narrow[4096];
  if (WideCharToMultiByte(CP_ACP, 0, message, -1, narrow, sizeof narrow, nullptr, nullptr) > 0)
    LogLine("\n!!! %s\n", narrow);
  // A message box pumps messages, and window procedures of this thread may
  // call back into the collector: show it from a thread of its own, except
  // while the loader lock keeps new threads from starting.
  HANDLE shower = nullptr;
  if (!g_inLoadStep && !IsConsoleProgram())
    shower = CreateThread(nullptr, 0, ShowOnOwnThread, message, 0, nullptr);
  if (shower) {
    WaitForSingleObject(shower, INFINITE);
    CloseHandle(shower);
  } else {
    ShowMessage(message);
  }
  TerminateProcess(GetCurrentProcess(), code);
  ExitProcess(code);
}

void DisplayPendingMessage() {
  RunTrapped([] { Errors::DisplayErrorMessage(); });
}

// --- Processor exceptions -------------------------------------------------------

// The thread continues here after a processor exception in our code.
[[noreturn]] static void ResumeAfterException() {
  TPrologThreadData* r = CurrentPTD();
  LogLine("\nrun_ErrorFromException starts, threadId=%08lX\n", GetCurrentThreadId());
  LogLine("\tESP=%08llX\n", reinterpret_cast<unsigned long long>(__builtin_frame_address(0)));
  _clearfp();
  _fpreset();
  uint32_t code = r->exitCode;
  LogLine("\trun_ErrorFromException code=%u (%08x) ptd=%08llX p0=%08llx p1=%08llx\n", code, code,
          reinterpret_cast<unsigned long long>(r), static_cast<unsigned long long>(r->exceptionP0),
          static_cast<unsigned long long>(r->exceptionP1));
  if (r->overflowESP) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    uint8_t* page = r->overflowESP - 1;
    DWORD old;
    VirtualProtect(page, 1, IsNTFamily() ? (PAGE_READWRITE | PAGE_GUARD) : PAGE_NOACCESS, &old);
    LogLine("run_ErrorFromException ESP=%08llX\n", reinterpret_cast<unsigned long long>(r->overflowESP));
    r->overflowESP = nullptr;
  }
  Errors::RunTimeError(1, code, r->exceptionP0, r->exceptionP1);
}

static void LogException(EXCEPTION_POINTERS* info, TPrologThreadData* r) {
  if (g_logLevel == 0) return;
  EXCEPTION_RECORD* e = info->ExceptionRecord;
  CONTEXT* c = info->ContextRecord;
  bool inProgress = r && r->inExceptionFilter;
  LogLine("\nException: code = %X, parm=%X (flags=%X), address=%08llX, threadId=%08lX%s\n",
          static_cast<unsigned>(e->ExceptionCode), static_cast<unsigned>(e->NumberParameters),
          static_cast<unsigned>(e->ExceptionFlags),
          reinterpret_cast<unsigned long long>(e->ExceptionAddress), GetCurrentThreadId(),
          inProgress ? " (Exception In Progress)" : "");
  LogLine("ExcRec=%08llX, parm=%X, rec=%llX, ExcPtr=%08llX, context=%08llX\n",
          reinterpret_cast<unsigned long long>(e), static_cast<unsigned>(e->NumberParameters),
          reinterpret_cast<unsigned long long>(e->ExceptionRecord),
          reinterpret_cast<unsigned long long>(info), reinterpret_cast<unsigned long long>(c));
  if (e->ExceptionCode == EXCEPTION_ACCESS_VIOLATION && e->NumberParameters == 2) {
    LogLine(e->ExceptionInformation[0] ? " write" : " read");
    LogLine(" attempted (%d), virtual address= %08llX\n", static_cast<int>(e->ExceptionInformation[0]),
            static_cast<unsigned long long>(e->ExceptionInformation[1]));
  } else {
    for (DWORD i = 0; i < e->NumberParameters && i < EXCEPTION_MAXIMUM_PARAMETERS; ++i)
      LogLine(" parm[%d] = %llX\n", static_cast<int>(i),
              static_cast<unsigned long long>(e->ExceptionInformation[i]));
  }
  LogLine("\tEFlags %8X\n", static_cast<unsigned>(c->EFlags));
  LogLine("\t   RAX %8llX\t\tRBX %8llX\n", c->Rax, c->Rbx);
  LogLine("\t   RCX %8llX\t\tRDX %8llX\n", c->Rcx, c->Rdx);
  LogLine("\t   RSI %8llX\t\tRDI %8llX\n", c->Rsi, c->Rdi);
  LogLine("\t   RBP %8llX\t\tRIP %8llX\n", c->Rbp, c->Rip);
  LogLine("\t   RSP %8llX\tcurrent esp %8llX\n", c->Rsp,
          reinterpret_cast<unsigned long long>(__builtin_frame_address(0)));
  LogLine("\t   ECS %8X\n", static_cast<unsigned>(c->SegCs));
  LogLine("\t   PTD %8llX\t%s\n", reinterpret_cast<unsigned long long>(r),
          IsValidPTD(r) ? "" : "INVALID SIGNATURE");
}

LONG WINAPI ExceptionFilter(EXCEPTION_POINTERS* info) {
  TPrologThreadData* r = CurrentPTD();
  LogException(info, r);
  EXCEPTION_RECORD* e = info->ExceptionRecord;
  CONTEXT* c = info->ContextRecord;
  if (!IsValidPTD(r)) {
    // A thread without a record: nothing to resume into.
    LogLine("\nUnable to continue execution");
    return g_previousFilter ? g_previousFilter(info) : EXCEPTION_CONTINUE_SEARCH;
  }
  if (r->inExceptionFilter) {
    ShowMessage(L"Fatal break in the exceptions handling");
    ExitProcess(9);
  }
  r->inExceptionFilter = 1;
  r->exceptionP0 = 777;
  r->exceptionP1 = reinterpret_cast<uintptr_t>(e->ExceptionAddress);
  bool overflow = e->ExceptionCode == EXCEPTION_STACK_OVERFLOW;
  if ((e->ExceptionCode == EXCEPTION_ACCESS_VIOLATION || overflow) && e->NumberParameters == 2) {
    r->exceptionP0 = e->ExceptionInformation[0];
    r->exceptionP1 = e->ExceptionInformation[1];
  }
  WriteMiniDump(info);

  LONG result;
  bool continuable = !(e->ExceptionFlags & EXCEPTION_NONCONTINUABLE) &&
                     (c->ContextFlags & CONTEXT_CONTROL) == CONTEXT_CONTROL;
  if (continuable && IsProjectCode(e->ExceptionAddress)) {
    r->exitCode = e->ExceptionCode;
    LogLine("\nTry to continue execution,               EIP=%08llX, ESP=%08llX, TrapTop=%08llX",
            c->Rip, c->Rsp, reinterpret_cast<unsigned long long>(r->trapTop));
    uint64_t sp = c->Rsp;
    if (overflow && (e->NumberParameters != 2 || e->ExceptionInformation[1] + 4096 >= c->Rsp)) {
      LogLine("\nReducing stack");
      r->overflowESP = reinterpret_cast<uint8_t*>(c->Rsp);
      while (r->trapTop && r->trapTop->trapTop &&
             reinterpret_cast<uint64_t>(r->trapTop) < c->Rsp + 8 + 90001)
        r->trapTop = r->trapTop->trapTop;
      sp += 8192;
    }
    // Enter the resume routine as if called: aligned, with shadow space.
    sp = ((sp - 256) & ~uint64_t{15}) - 8;
    c->Rsp = sp;
    c->Rip = reinterpret_cast<DWORD64>(&ResumeAfterException);
    c->EFlags &= ~0xC00u;
    LogLine("\nTry to continue execution after reduced, EIP=%08llX, ESP=%08llX, TrapTop=%08llX",
            c->Rip, c->Rsp, reinterpret_cast<unsigned long long>(r->trapTop));
    result = EXCEPTION_CONTINUE_EXECUTION;
  } else {
    // Not ours to resume: say what happened and end the process.
    LogLine("\nUnable to continue execution");
    wchar_t text[201];
    ProcessorExceptionText(e->ExceptionCode, text, 201);
    BuildMessage(r, 1, r->currentPosition, text, nullptr);
    Errors::DisplayErrorMessage();
    LogLine("\nReturn value = %d '%s'", EXCEPTION_EXECUTE_HANDLER, "EXCEPTION_EXECUTE_HANDLER");
    TerminateProcess(GetCurrentProcess(), 1);
    result = EXCEPTION_EXECUTE_HANDLER;
  }
  r->inExceptionFilter = 0;
  LogLine("\nReturn value = %d '%s'", static_cast<int>(result),
          result == EXCEPTION_CONTINUE_EXECUTION ? "EXCEPTION_CONTINUE_EXECUTION"
          : result == EXCEPTION_CONTINUE_SEARCH  ? "EXCEPTION_CONTINUE_SEARCH"
                                                 : "EXCEPTION_EXECUTE_HANDLER");
  return result;
}

// The dump is written by a thread of its own: the writer may fault (Wine's
// dbghelp does on some processes), and a fault there must cost the dump, not
// the process.  A vectored handler sends such a fault to ExitThread.
struct DumpJob {
  EXCEPTION_POINTERS* info;
  DWORD faultingThread;
  DWORD writerThread;
};
static DumpJob* volatile g_dumpJob = nullptr;

[[noreturn]] static void AbandonDump() {
  ApiFailureLine("MiniDumpWriteDump", ERROR_NOACCESS);
  ExitThread(1);
}

static LONG WINAPI DumpFaultHandler(EXCEPTION_POINTERS* info) {
  DumpJob* job = g_dumpJob;
  if (!job || GetCurrentThreadId() != job->writerThread) return EXCEPTION_CONTINUE_SEARCH;
  info->ContextRecord->Rsp = ((info->ContextRecord->Rsp - 256) & ~DWORD64{15}) - 8;
  info->ContextRecord->Rip = reinterpret_cast<DWORD64>(&AbandonDump);
  return EXCEPTION_CONTINUE_EXECUTION;
}

static DWORD WINAPI DumpWriter(void* arg) {
  auto* job = static_cast<DumpJob*>(arg);
  HMODULE dbghelp = LoadLibraryW(L"DBGHELP.DLL");
  if (!dbghelp) return 0;
  struct ExceptionInfo {
    DWORD threadId;
    EXCEPTION_POINTERS* pointers;
    BOOL clientPointers;
  };
  using WriteDump = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, int, ExceptionInfo*, void*, void*);
  auto write = reinterpret_cast<WriteDump>(
      reinterpret_cast<void*>(GetProcAddress(dbghelp, "MiniDumpWriteDump")));
  if (!write) {
    FreeLibrary(dbghelp);
    return 0;
  }
  HANDLE file = CreateFileW(L"qel6kernelMiniDump.dmp", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    ExceptionInfo ei{job->faultingThread, job->info, FALSE};
    if (!write(GetCurrentProcess(), GetCurrentProcessId(), file, g_miniDumpType,
               job->info ? &ei : nullptr, nullptr, nullptr))
      ApiFailureLine("MiniDumpWriteDump", GetLastError());
    if (!CloseHandle(file)) ApiFailureLine("CloseHandle MiniDumpWriteDump", GetLastError());
  }
  if (!FreeLibrary(dbghelp)) ApiFailureLine("FreeLibrary( DBGHLP.DLL )", GetLastError());
  return 0;
}

void WriteMiniDump(EXCEPTION_POINTERS* info) {
  LogLine("Errors::miniDump started. logStatus: %d miniDumpType: %d\n", static_cast<int>(g_logLevel),
          static_cast<int>(g_miniDumpType));
  if (g_miniDumpType == -1) return;
  DumpJob job{info, GetCurrentThreadId(), 0};
  void* handler = AddVectoredExceptionHandler(1, DumpFaultHandler);
  HANDLE thread = CreateThread(nullptr, 0, DumpWriter, &job, CREATE_SUSPENDED, &job.writerThread);
  if (thread) {
    g_dumpJob = &job;
    ResumeThread(thread);
    WaitForSingleObject(thread, 60000);
    CloseHandle(thread);
    g_dumpJob = nullptr;
  }
  if (handler) RemoveVectoredExceptionHandler(handler);
}

// --- Console control events -------------------------------------------------

BOOL WINAPI ConsoleControlHandler(DWORD type) {
  LogLine("\ncall _CtrlBreak_Handler, type = %X, mainThreadHandle = %08llX",
          static_cast<unsigned>(type), reinterpret_cast<unsigned long long>(g_mainThreadHandle));
  if (!g_mainThreadHandle) return FALSE;
  InterlockedExchange(&g_pendingCtrlEvent, static_cast<LONG>(type));
  // A message loop waiting for input wakes up and polls.
  PostThreadMessageW(g_mainThreadId, WM_NULL, 0, 0);
  return TRUE;
}

// --- Error management start and end -------------------------------------------

void ErrorManagementReInitialization() {
  LogAt(5, "ErrorManagementReInitialization()");
  if (TPrologThreadData* r = CurrentPTD()) r->inExceptionFilter = 0;
  LPTOP_LEVEL_EXCEPTION_FILTER previous = SetUnhandledExceptionFilter(ExceptionFilter);
  if (previous != ExceptionFilter) g_previousFilter = previous;
}

void ErrorManagementInitialization() {
  LogAt(5, "ErrorManagementInitialization()");
  if (!DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(),
                       &g_mainThreadHandle,
                       THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_SET_CONTEXT, FALSE, 0))
    Errors::SystemAPIError("DuplicateHandle");
  g_mainThreadId = GetCurrentThreadId();
  ErrorManagementReInitialization();
}

void ErrorManagementTermination() {
  LogAt(5, "Errors::ErrorManagementTermination()\n");
  SetUnhandledExceptionFilter(g_previousFilter);
  if (g_mainThreadHandle && !CloseHandle(g_mainThreadHandle)) {
    DWORD rc = GetLastError();
    LogLine("\n!!! CloseHandle( mainThreadHandle ) failed with code %u\n", static_cast<unsigned>(rc));
    ApiFailureLine("CloseHandle( mainThreadHandle )", rc);
  }
  g_mainThreadHandle = nullptr;
}

}  // namespace detail

using namespace detail;

namespace Control {

void PollUserBreak() {
  if (g_pendingCtrlEvent < 0 || GetCurrentThreadId() != g_mainThreadId) return;
  LONG type = InterlockedExchange(&g_pendingCtrlEvent, -1);
  if (type < 0) return;
  LogLine("\ncall mainThread_CtrlBreak_Handler, type = %X", static_cast<unsigned>(type));
  ErrorManagementReInitialization();
  switch (type) {
    case CTRL_BREAK_EVENT: Errors::RunTimeError(5);
    case CTRL_CLOSE_EVENT: Errors::RunTimeError(6);
    case CTRL_LOGOFF_EVENT: Errors::RunTimeError(7);
    case CTRL_SHUTDOWN_EVENT: Errors::RunTimeError(8);
    default: Errors::RunTimeError(4);
  }
}

}  // namespace Control

namespace Errors {

void RunTimeError(uint32_t code, ...) {
  LogLine("call RunTimeError( %u )\n", code);
  va_list args;
  va_start(args, code);
  Raise(KernelModule(), code, CurrentPTD()->currentPosition, &args);
}

void RunTimeErrorFromModule(void* module, uint32_t code, ...) {
  va_list args;
  va_start(args, code);
  Raise(static_cast<HMODULE>(module), code, CurrentPTD()->currentPosition, &args);
}

void RunTimeErrorWithCursor(uint32_t code, const TFullCursor* position, ...) {
  va_list args;
  va_start(args, position);
  Raise(KernelModule(), code, position, &args);
}

void RunTimeErrorWithCursorFromModule(void* module, uint32_t code, const TFullCursor* position,
                                      ...) {
  va_list args;
  va_start(args, position);
  Raise(static_cast<HMODULE>(module), code, position, &args);
}

void InternalError(const wchar_t* format, ...) {
  TPrologThreadData* r = CurrentPTD();
  va_list args;
  va_start(args, format);
  BuildMessage(r, 3, r->currentPosition, format, &args);
  va_end(args);
  CallPrologExceptionPredicate(3);
}

void SystemAPIError(const char* apiName) {
  DWORD rc = GetLastError();
  ApiFailureLine(apiName, rc);
  RunTimeError(13, apiName, rc, rc);
}

void Qel_ErrorExit(uint32_t code) {
  TPrologThreadData* r = CurrentPTD();
  BuildMessage(r, code, r->currentPosition, nullptr, nullptr);
  ErrorExit(code);
}

void DisplayErrorMessage() {
  TPrologThreadData* r = CurrentPTD();
  if (!r || !r->messageBuffer || !r->messageBuffer[0]) return;
  ShowMessage(r->messageBuffer);
  r->messageBuffer[0] = 0;
}

wchar_t* PrepareBinaryForErrorMessage(const uint8_t* bytes, uint32_t length) {
  uint32_t n = length < 10 ? length : 10;
  // "$[" + 10 × "XX," + " ... ]" fits in 48 units.
  auto* out = static_cast<wchar_t*>(GC_MALLOC_ATOMIC(64 * sizeof(wchar_t)));
  if (!out) RunTimeError(206, 128u, 128u);
  out[0] = 0;
  if (n && OSInterface::OSIsBadReadPtr(bytes, n)) {
    ModuleText(KernelModule(), 300, out, 64);
    return out;
  }
  MessageWriter w(out, 64);
  w.Put(L"$[");
  for (uint32_t i = 0; i < n; ++i) w.Printf(i ? L",%02X" : L"%02X", bytes[i]);
  if (length > 10) w.Put(L" ... ");
  w.Put(L"]");
  return out;
}

wchar_t* PrepareBinaryForErrorMessage(const uint8_t* binary) {
  uint32_t size = 0;
  if (binary && !OSInterface::OSIsBadReadPtr(binary - 4, 4)) CopyMemory(&size, binary - 4, 4);
  return PrepareBinaryForErrorMessage(binary, size >= 4 ? size - 4 : 0);
}

void RUN_ErrorFromExceptionForDebugger(uint32_t code) {
  LogLine("\nRUN_Error_From_Exception_ForDebugger starts\n");
  CurrentPTD()->exitCode = code;
  ResumeAfterException();
}

void Restore() {
  LogAt(5, "Errors::Restore()\n");
  if (TPrologThreadData* r = CurrentPTD()) r->inExceptionFilter = 0;
  SetUnhandledExceptionFilter(ExceptionFilter);
}

void qelLogPrintf(uint32_t level, const char* format, ...) {
  if (level >= g_logLevel) return;
  va_list args;
  va_start(args, format);
  AppendLog(format, args);
  va_end(args);
}

void QelLog(uint32_t level, const char* text) {
  if (g_logLevel == 0 || level > g_logLevel) return;
  LogLine("%s\n", text);
}

void QelLogW(uint32_t level, const wchar_t* text) {
  if (g_logLevel == 0 || level > g_logLevel) return;
  int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return;
  char* narrow = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, n));
  if (!narrow) return;
  WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, n, nullptr, nullptr);
  LogLine("%s\n", narrow);
  HeapFree(GetProcessHeap(), 0, narrow);
}

}  // namespace Errors
}  // namespace Qel::RunTime::Kernel
