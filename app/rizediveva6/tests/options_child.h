// Runs a copy of this test program from a folder of the test's own as a
// child: the child runs one named scenario (OptionsChild.Run) and prints its
// findings as lines that start with "@ ", so that the files the program
// keeps beside itself land in that folder and every scenario starts in a
// fresh process.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "fs_test.h"

namespace rztest {

constexpr const wchar_t* kScenarioVariable = L"RZ_OPT_SCENARIO";
constexpr const wchar_t* kProgram = L"prog.exe";

struct ChildRun {
  std::vector<std::string> lines;  // the "@ " lines, without the mark
  DWORD exitCode = 0;
};

// The folder of the running test program (with its DLLs).
inline std::wstring BinFolder() {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path = self;
  return path.substr(0, path.rfind(L'\\'));
}

// Copies this program into `folder` as prog.exe (once).
inline void PlaceProgram(const std::wstring& folder) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  CopyFileW(self, (folder + L"\\" + kProgram).c_str(), TRUE);
}

// Starts prog.exe in `folder` on `scenario` with `directory` (or the folder)
// as its current directory; *out is the read end of its standard output.
inline HANDLE StartChild(const std::wstring& folder, const std::wstring& scenario,
                         const std::wstring& directory, HANDLE* out) {
  PlaceProgram(folder);
  SetEnvironmentVariableW(kScenarioVariable, scenario.c_str());
  wchar_t oldPath[32768];
  DWORD had = GetEnvironmentVariableW(L"PATH", oldPath, 32768);
  std::wstring path = BinFolder() + L";" + (had ? oldPath : L"");
  SetEnvironmentVariableW(L"PATH", path.c_str());
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE readEnd, writeEnd;
  CreatePipe(&readEnd, &writeEnd, &sa, 0);
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = writeEnd;
  si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION pi{};
  std::wstring line = L"prog.exe --gtest_filter=OptionsChild.Run --watchdog=90";
  std::wstring exe = folder + L"\\" + kProgram;
  BOOL ok = CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                           directory.empty() ? folder.c_str() : directory.c_str(), &si, &pi);
  CloseHandle(writeEnd);
  SetEnvironmentVariableW(L"PATH", had ? oldPath : nullptr);
  SetEnvironmentVariableW(kScenarioVariable, nullptr);
  if (!ok) {
    CloseHandle(readEnd);
    *out = nullptr;
    return nullptr;
  }
  CloseHandle(pi.hThread);
  *out = readEnd;
  return pi.hProcess;
}

inline ChildRun RunChild(const std::wstring& folder, const std::wstring& scenario,
                         const std::wstring& directory = L"") {
  ChildRun run;
  HANDLE out;
  HANDLE process = StartChild(folder, scenario, directory, &out);
  if (!process) {
    run.lines.push_back("<no child>");
    return run;
  }
  std::string text;
  char buf[4096];
  DWORD n;
  while (ReadFile(out, buf, sizeof buf, &n, nullptr) && n) text.append(buf, n);
  CloseHandle(out);
  WaitForSingleObject(process, 120000);
  GetExitCodeProcess(process, &run.exitCode);
  CloseHandle(process);
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("@ ", 0) == 0) run.lines.push_back(line.substr(2));
    at = end + 1;
  }
  return run;
}

}  // namespace rztest
