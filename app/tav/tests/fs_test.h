// Helpers of the file-system tests: a per-test folder under the temporary
// directory (removed with everything in it), whole files read and written
// with plain system calls, the run-time error number of a trace, and the
// output of the child program running a file scenario.
#pragma once

#include <windows.h>

#include <string>

#include "child_process.h"
#include "tav_test.h"

namespace tavtest {

inline std::string Bytes(const std::wstring& path) {
  std::string out;
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "<missing>";
  char block[65536];
  DWORD n;
  while (ReadFile(h, block, sizeof block, &n, nullptr) && n) out.append(block, n);
  CloseHandle(h);
  return out;
}

inline void Put(const std::wstring& path, const std::string& bytes) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD n;
  WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
  CloseHandle(h);
}

// The run-time error number of a trace, 0 when it is not one.
inline uint32_t RunTimeCode(uint32_t traceId) {
  for (const TraceEntry* e : Entries())
    if (e->traceId == traceId) {
      const ValueTerm* v = exception::trygetextrainfo(e, L"error code");
      return v ? Unsigned(v) : 0;
    }
  return 0;
}

// The standard output of tav_child (beside the test program) running the
// file scenario `scenario` with the given environment variables.
inline std::string RunChild(const char* scenario,
                            std::initializer_list<std::pair<const wchar_t*, std::wstring>> vars) {
  SetEnvironmentVariableA("TAV_CHILD", scenario);
  for (auto& v : vars) SetEnvironmentVariableW(v.first, v.second.c_str());
  testchild::Child c = testchild::Start(testchild::Beside(L"tav_child.exe"), L"tav_child.exe");
  testchild::Wait(c, 60000);
  for (auto& v : vars) SetEnvironmentVariableW(v.first, nullptr);
  SetEnvironmentVariableA("TAV_CHILD", nullptr);
  return c.Started() ? c.text : "<no child>";
}

inline std::string Utf8(const std::wstring& w) {
  if (w.empty()) return "";
  std::string out(4 * w.size(), 0);
  out.resize(WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), out.data(),
                                 static_cast<int>(out.size()), nullptr, nullptr));
  return out;
}

inline void RemoveTree(const std::wstring& dir) {
  WIN32_FIND_DATAW d;
  HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &d);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::wstring n = d.cFileName;
      if (n == L"." || n == L"..") continue;
      std::wstring full = dir + L"\\" + n;
      SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(full);
      else
        DeleteFileW(full.c_str());
    } while (FindNextFileW(h, &d));
    FindClose(h);
  }
  RemoveDirectoryW(dir.c_str());
}

class TempFolder : public Library {
 protected:
  void SetUp() override {
    Library::SetUp();
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    folder_ = std::wstring(temp) + L"tav_fs_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
              std::wstring(test.begin(), test.end());
    CreateDirectoryW(folder_.c_str(), nullptr);
  }
  void TearDown() override {
    RemoveTree(folder_);
    Library::TearDown();
  }
  std::wstring F(const wchar_t* name) { return folder_ + L"\\" + name; }
  std::wstring folder_;
};

}  // namespace tavtest
