// Helpers shared by the benchmark programs.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace bench {

// Seconds from the performance counter.
inline double Now() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER c;
  QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) / frequency;
}

// The median of timed runs (0 for none): the display's traffic and the
// machine's load come in bursts that a mean would carry.
inline double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// Puts text on the clipboard as the GUI layer's cb_PutString does: the ANSI
// text (format 1) and the Unicode text (format 13), so that a peer copy
// pays for the same two blocks as a list's copy.
inline void PutClipboardText(HWND owner, const std::wstring& text) {
  const int units = int(text.size()) + 1;
  const int bytes = WideCharToMultiByte(CP_ACP, 0, text.c_str(), units, nullptr, 0, nullptr, nullptr);
  HGLOBAL ansi = GlobalAlloc(GMEM_MOVEABLE, size_t(bytes > 0 ? bytes : 1));
  WideCharToMultiByte(CP_ACP, 0, text.c_str(), units, static_cast<char*>(GlobalLock(ansi)), bytes, nullptr, nullptr);
  GlobalUnlock(ansi);
  HGLOBAL wide = GlobalAlloc(GMEM_MOVEABLE, size_t(units) * sizeof(wchar_t));
  memcpy(GlobalLock(wide), text.c_str(), size_t(units) * sizeof(wchar_t));
  GlobalUnlock(wide);
  if (!OpenClipboard(owner)) {
    GlobalFree(ansi);
    GlobalFree(wide);
    return;
  }
  EmptyClipboard();
  SetClipboardData(CF_TEXT, ansi);
  SetClipboardData(CF_UNICODETEXT, wide);
  CloseClipboard();
}

// Gives the clipboard to a window that is gone at once: a timed copy after
// it finds no owner to tell, whichever side copied last (the GUI layer's
// owner lives on a thread of its own, and emptying the clipboard it holds
// waits for that thread; a peer emptying its own window's clipboard does
// not).
inline void TakeClipboard() {
  HWND other = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  OpenClipboard(other);
  EmptyClipboard();
  HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, sizeof(wchar_t));
  *static_cast<wchar_t*>(GlobalLock(g)) = 0;
  GlobalUnlock(g);
  SetClipboardData(CF_UNICODETEXT, g);
  CloseClipboard();
  DestroyWindow(other);
}

// Runs a Unix program through Wine and returns the text of the file `result`
// (a Windows path, such as Z:\tmp\x.out) that the program writes when it is
// done, or "" when it could not start or wrote nothing within `seconds`.  The
// handle of a Unix program does not tell when it ends, hence the file; it is
// removed before the start and after reading, so a stale one is never read.
inline std::string RunUnixProgram(const wchar_t* program, const std::wstring& commandLine,
                                  const wchar_t* result, int seconds) {
  DeleteFileW(result);
  std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
  line.push_back(0);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  if (!CreateProcessW(program, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return "";
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  for (int waited = 0; GetFileAttributesW(result) == INVALID_FILE_ATTRIBUTES; ++waited) {
    if (waited >= seconds * 10) return "";
    Sleep(100);
  }
  std::string text;
  HANDLE h = CreateFileW(result, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    char buf[4096];
    DWORD n;
    while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n) text.append(buf, n);
    CloseHandle(h);
  }
  DeleteFileW(result);
  return text;
}

}  // namespace bench
