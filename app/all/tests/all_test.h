// Helpers of the roster model's tests: the maker's library fixture with the
// model's unit linked too.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

#include "all_unit.h"
#include "rz_test.h"

namespace alltest {

using namespace rztest;
using namespace all;

class Model : public Rz {
 protected:
  static void SetUpTestSuite() {
    Rz::SetUpTestSuite();
    ASSERT_EQ(all::InitializeUnit(), 0);
  }
};

// The error code of a body run under a trap (0: it returned).
template <class F>
uint32_t CodeOf(F body) {
  return Qel::RunTime::Kernel::RunTrapped(body);
}

// Runs a program beside the tests with the arguments; its exit code and
// its output (UTF-8) as a wide text.
inline std::pair<DWORD, std::wstring> RunBeside(const wchar_t* program, const std::wstring& args) {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE read, write;
  CreatePipe(&read, &write, &sa, 0);
  SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = write;
  si.hStdError = write;
  PROCESS_INFORMATION pi{};
  std::wstring cmd = program + (L" " + args);
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
    CloseHandle(read);
    CloseHandle(write);
    return {999, L"not started"};
  }
  CloseHandle(write);
  std::string bytes;
  char buf[4096];
  DWORD n;
  while (ReadFile(read, buf, sizeof buf, &n, nullptr) && n) bytes.append(buf, n);
  CloseHandle(read);
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD exitCode = 0;
  GetExitCodeProcess(pi.hProcess, &exitCode);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  std::wstring text(bytes.size(), L'\0');
  text.resize(MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                                  static_cast<int>(text.size())));
  return {exitCode, text};
}

// Runs all_roster_child.exe with the arguments.
inline std::pair<DWORD, std::wstring> RosterChild(const std::wstring& args) {
  return RunBeside(L"all_roster_child.exe", args);
}

}  // namespace alltest
