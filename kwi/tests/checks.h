// Helpers of the drawing and exchange tests (and the editor's clipboard
// test): raised codes, the language's success test, files in a temporary
// folder of the test program, shell commands; dialogs are answered by the
// shared answerer (testing/answer.h).
#pragma once

#include <atomic>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "answer.h"
#include "testlib.h"

namespace kwitest {

inline LONG_PTR L(HWND w) { return reinterpret_cast<LONG_PTR>(w); }

// Records the codes raised while it lives (an exception handler returns).
struct RaiseLog {
  RaiseLog() {
    Raised().clear();
    registerExceptionHandler(RecordRaise);
  }
  ~RaiseLog() { registerExceptionHandler(nullptr); }
  std::vector<int> Take() {
    std::vector<int> r = Raised();
    Raised().clear();
    return r;
  }
};

inline bool Succeeds(const std::function<void()>& f) {
  return Qel::RunTime::Kernel::Succeeds([&] { f(); });
}

// A folder of the test program below the temporary folder, with a backslash.
inline std::wstring TempDir(const wchar_t* name) {
  wchar_t buf[MAX_PATH];
  GetTempPathW(MAX_PATH, buf);
  std::wstring d = std::wstring(buf) + name + L"\\";
  CreateDirectoryW(d.c_str(), nullptr);
  return d;
}

inline std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }

inline std::vector<uint8_t> ReadBytes(const std::wstring& path) {
  std::ifstream f(Narrow(path), std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

inline void WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes) {
  std::ofstream f(Narrow(path), std::ios::binary);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Runs a shell command line as a Unix program (Wine starts it natively) and
// waits, pumping the thread's messages, for `last` (a Windows path) to appear.
inline bool Shell(const std::string& command, const std::wstring& last, int seconds = 60) {
  DeleteFileW(last.c_str());
  std::string line = "/bin/sh -c \"" + command + "\"";
  std::wstring w(line.begin(), line.end());
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, w.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  for (int i = 0; i < seconds * 50; ++i, Sleep(20)) {
    if (GetFileAttributesW(last.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
  }
  return false;
}

inline std::string UnixName(const std::wstring& windowsPath) {
  using Fn = char* (*)(const wchar_t*);
  auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
  char* u = fn ? fn(windowsPath.c_str()) : nullptr;
  std::string s = u ? u : "";
  if (u) HeapFree(GetProcessHeap(), 0, u);
  return s;
}

// Runs a shell command line (no double quotes in it) and returns its output,
// kept in `out` (written aside, then moved, so that it appears whole).
inline std::string ShellOutput(const std::string& command, const std::wstring& out, int seconds = 60) {
  std::string u = UnixName(out);
  if (!Shell("(" + command + ") > '" + u + ".part'; mv '" + u + ".part' '" + u + "'", out, seconds)) return "";
  std::vector<uint8_t> b = ReadBytes(out);
  return std::string(b.begin(), b.end());
}

using testbox::Answer;
using testbox::Press;

}  // namespace kwitest
