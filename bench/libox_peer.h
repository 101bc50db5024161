// The list benchmarks' peer window: a visible top-level window of a class
// of its own whose client area is w x h, its procedure handling the peer
// control's notifications.
#pragma once

#include <windows.h>

namespace bench {

inline HWND NewPeerParent(const wchar_t* className, WNDPROC proc, int w, int h) {
  WNDCLASSW c{};
  if (!GetClassInfoW(GetModuleHandleW(nullptr), className, &c)) {
    c.lpfnWndProc = proc;
    c.hInstance = GetModuleHandleW(nullptr);
    c.lpszClassName = className;
    c.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    RegisterClassW(&c);
  }
  RECT r{0, 0, w, h};
  AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
  return CreateWindowW(className, L"peer", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, r.right - r.left, r.bottom - r.top,
                       nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

}  // namespace bench
