// Helpers of the roster model's tests: the maker's library fixture with the
// model's unit linked too.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

#include "all_unit.h"
#include "child_process.h"
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

// Runs a program beside the tests with the arguments; its exit code (999
// when it could not start) and its output and errors (UTF-8) as a wide text.
inline std::pair<DWORD, std::wstring> RunBeside(const wchar_t* program, const std::wstring& args) {
  testchild::Child c = testchild::Start(testchild::Beside(program), program + (L" " + args), true);
  if (!c.Started()) return {999, L"not started"};
  testchild::Wait(c, 600000);
  std::wstring text(c.text.size(), L'\0');
  text.resize(MultiByteToWideChar(CP_UTF8, 0, c.text.data(), static_cast<int>(c.text.size()), text.data(),
                                  static_cast<int>(text.size())));
  return {c.exitCode, text};
}

// Runs all_roster_child.exe with the arguments.
inline std::pair<DWORD, std::wstring> RosterChild(const std::wstring& args) {
  return RunBeside(L"all_roster_child.exe", args);
}

}  // namespace alltest
