// Unix programs started from a test under Wine (Python helpers that make or
// check files).  The exit code of a Unix program is not visible from the
// Windows side, so a run ends when the file the program writes last appears.
#pragma once

#include <windows.h>

#include <string>

namespace testing_unix {

// The Unix path of a Windows path (the path as given where Wine has no
// mapping for it).
inline std::string UnixPath(const std::wstring& path) {
  using Fn = char* (*)(const wchar_t*);
  auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
  std::string s;
  if (!fn) {
    for (wchar_t c : path) s += c < 128 ? static_cast<char>(c) : '?';
    return s;
  }
  char* u = fn(path.c_str());
  s = u ? u : "";
  HeapFree(GetProcessHeap(), 0, u);
  return s;
}

// Starts the Unix command line and waits at most `seconds` for `last` to
// appear (it is deleted first); false when it does not come.
inline bool RunUnixProgram(const std::string& commandLine, const std::wstring& last, int seconds = 30) {
  DeleteFileW(last.c_str());
  std::wstring line(commandLine.begin(), commandLine.end());
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return false;
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  for (int i = 0; i < seconds * 20; ++i, Sleep(50))
    if (GetFileAttributesW(last.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  return false;
}

}  // namespace testing_unix
