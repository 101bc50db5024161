// Child processes of the tests: a program started with a pipe as its
// standard output (standard error and input shared with the test), and the
// reading of that pipe while it runs.
//
// Invariants:
//  - The test never blocks on the pipe: output is read as it arrives and
//    the child's end is told by its process handle, so a process the child
//    started in turn (and that inherited the pipe) cannot hold the test.
//  - Close reads what is left, takes the exit code and closes every
//    handle; a child that could not start holds none.
#pragma once

#include <windows.h>

#include <string>

namespace testchild {

struct Child {
  PROCESS_INFORMATION pi{};
  HANDLE out = nullptr;  // the read end of the child's standard output
  DWORD error = 0;       // why CreateProcess failed, 0 once started
  std::string text;      // the output read so far
  DWORD exitCode = 0;
  bool hung = false;     // ended by Wait for running past its time
  bool Started() const { return error == 0; }
};

// This test program.
inline std::wstring ThisProgram() {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  return self;
}

// A program in this test program's folder.
inline std::wstring Beside(const wchar_t* name) {
  std::wstring self = ThisProgram();
  return self.substr(0, self.rfind(L'\\') + 1) + name;
}

// Starts `exe` with the command line `line`; the child inherits the
// environment.  With `withErrors` its standard error goes into the same
// pipe as its output.
inline Child Start(const std::wstring& exe, const std::wstring& line, bool withErrors = false) {
  Child c;
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&c.out, &writeEnd, &sa, 0)) {
    c.error = GetLastError();
    c.out = nullptr;
    return c;
  }
  SetHandleInformation(c.out, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = writeEnd;
  si.hStdError = withErrors ? writeEnd : GetStdHandle(STD_ERROR_HANDLE);
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  std::wstring cmd = line;
  if (!CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &c.pi)) {
    c.error = GetLastError();
    CloseHandle(c.out);
    c.out = nullptr;
    c.pi = {};
  }
  CloseHandle(writeEnd);
  return c;
}

// Takes the output that has arrived, without waiting; true while the child
// runs.
inline bool Poll(Child& c) {
  if (!c.Started()) return false;
  bool running = WaitForSingleObject(c.pi.hProcess, 0) == WAIT_TIMEOUT;
  char buffer[4096];
  DWORD avail = 0, n = 0;
  while (PeekNamedPipe(c.out, nullptr, 0, nullptr, &avail, nullptr) && avail &&
         ReadFile(c.out, buffer, sizeof buffer, &n, nullptr) && n)
    c.text.append(buffer, n);
  return running;
}

// Reads the rest of the output, takes the exit code and closes the handles.
inline void Close(Child& c) {
  if (!c.Started() || !c.out) return;
  WaitForSingleObject(c.pi.hProcess, INFINITE);
  Poll(c);
  GetExitCodeProcess(c.pi.hProcess, &c.exitCode);
  CloseHandle(c.out);
  CloseHandle(c.pi.hProcess);
  CloseHandle(c.pi.hThread);
  c.out = nullptr;
}

// Reads the output until the child ends, then closes it.  With
// `killAfterMs` the child is ended (exit code 9) that long after this call;
// one still running after `timeoutMs` is ended with 124 and marked hung.
inline void Wait(Child& c, DWORD timeoutMs, DWORD killAfterMs = 0) {
  ULONGLONG start = GetTickCount64();
  while (Poll(c)) {
    ULONGLONG now = GetTickCount64();
    if (killAfterMs && now >= start + killAfterMs) {
      TerminateProcess(c.pi.hProcess, 9);
      killAfterMs = 0;
    }
    if (now > start + timeoutMs) {
      TerminateProcess(c.pi.hProcess, 124);
      c.hung = true;
      break;
    }
    Sleep(2);
  }
  Close(c);
}

}  // namespace testchild
