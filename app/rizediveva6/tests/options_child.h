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

#include "child_process.h"
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
  std::wstring self = testchild::ThisProgram();
  return self.substr(0, self.rfind(L'\\'));
}

// Copies this program into `folder` as prog.exe (once).
inline void PlaceProgram(const std::wstring& folder) {
  CopyFileW(testchild::ThisProgram().c_str(), (folder + L"\\" + kProgram).c_str(), TRUE);
}

// Starts prog.exe in `folder` on `scenario` with `directory` (or the folder)
// as its current directory; the DLLs come from this program's folder.
inline testchild::Child StartChild(const std::wstring& folder, const std::wstring& scenario,
                                   const std::wstring& directory, const wchar_t* child = L"OptionsChild.Run") {
  PlaceProgram(folder);
  SetEnvironmentVariableW(kScenarioVariable, scenario.c_str());
  std::vector<wchar_t> oldPath(32768);
  DWORD had = GetEnvironmentVariableW(L"PATH", oldPath.data(), 32768);
  SetEnvironmentVariableW(L"PATH", (BinFolder() + L";" + (had ? oldPath.data() : L"")).c_str());
  wchar_t cwd[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, cwd);
  SetCurrentDirectoryW(directory.empty() ? folder.c_str() : directory.c_str());
  testchild::Child c = testchild::Start(folder + L"\\" + kProgram,
                                        std::wstring(L"prog.exe --gtest_filter=") + child + L" --watchdog=90");
  SetCurrentDirectoryW(cwd);
  SetEnvironmentVariableW(L"PATH", had ? oldPath.data() : nullptr);
  SetEnvironmentVariableW(kScenarioVariable, nullptr);
  return c;
}

inline ChildRun RunChild(const std::wstring& folder, const std::wstring& scenario,
                         const std::wstring& directory = L"", const wchar_t* child = L"OptionsChild.Run") {
  ChildRun run;
  testchild::Child c = StartChild(folder, scenario, directory, child);
  if (!c.Started()) {
    run.lines.push_back("<no child>");
    return run;
  }
  testchild::Wait(c, 120000);
  run.exitCode = c.exitCode;
  size_t at = 0;
  while (at < c.text.size()) {
    size_t end = c.text.find('\n', at);
    if (end == std::string::npos) end = c.text.size();
    std::string line = c.text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("@ ", 0) == 0) run.lines.push_back(line.substr(2));
    at = end + 1;
  }
  return run;
}

}  // namespace rztest
