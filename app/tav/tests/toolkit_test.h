// Helpers of the window-toolkit tests: a task window started by kwi::init
// that runs a test body inside its message loop, an error handler that
// records what reaches it (no "Program Error" box unless a test installs
// that one), pumping, window texts and the clipboard's text.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "answer.h"
#include "kwi/kwi.h"
#include "tav_test.h"
#include "testlib.h"

namespace tktest {

using namespace tavtest;
using kwitest::Closure;
using kwitest::Fail;
using testbox::Press;
using testbox::Script;
using testbox::Step;

// Traces reported to the recording error handler.
inline std::vector<LONG_PTR>& Reported() {
  static std::vector<LONG_PTR> ids;
  return ids;
}
inline void RecordError(LONG_PTR, LONG_PTR traceId) { Reported().push_back(traceId); }
inline QEL_KWI::PROLOG_ERRHANDLER_STRUCT* RecordingErrorHandler() {
  static QEL_KWI::PROLOG_ERRHANDLER_STRUCT h{reinterpret_cast<void*>(&RecordError), nullptr};
  return &h;
}

constexpr LONG_PTR kRunBody = 0x4B58;

// Starts the GUI layer through kwi::init with a task window whose handler
// runs body(task) from inside the loop (as a user event), then closes it.
// `events` sees the task window's other events (default: fail).
inline void RunInTask(const std::function<void(LONG_PTR)>& body,
                      kwitest::Handler events = nullptr) {
  QEL_KWI::kwi_SetAttrVal(10002, 0);
  QEL_KWI::kwi_SetErrorHandler(RecordingErrorHandler());
  Reported().clear();
  Closure handler([&](HWND w, QEL_KWI::event_struct* e) -> LONG_PTR {
    if (e->kind == QEL_KWI::e_create) {
      PostMessageW(w, 0xC00F, kRunBody, 0);
      return 0;
    }
    if (e->kind == QEL_KWI::e_user && e->w[0] == kRunBody) {
      body(reinterpret_cast<LONG_PTR>(w));
      if (IsWindow(w)) DestroyWindow(w);
      return 0;
    }
    if (events) return events(w, e);
    Fail();
  });
  tav::kwi::init(tav::kwidomains::Ints({9, 4, 5, 6, 2}), &handler, tav::kwidomains::NoMenu(), L"",
                 L"Toolkit task");
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
  }
}

// Pumps events through the layer until done() or the time is up.
inline bool PumpUntil(const std::function<bool()>& done, DWORD ms = 2000) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > ms) return false;
    QEL_KWI::kwi_ProcessEvents(1, 0);
    Sleep(5);
  }
  return true;
}
inline void Pump(DWORD ms) { PumpUntil([] { return false; }, ms); }

// Makes the task window's client area width by height pixels.
inline void SetClientSize(LONG_PTR task, int width, int height) {
  HWND w = reinterpret_cast<HWND>(task);
  RECT r{0, 0, width, height};
  AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrW(w, GWL_STYLE)), GetMenu(w) != nullptr,
                     static_cast<DWORD>(GetWindowLongPtrW(w, GWL_EXSTYLE)));
  SetWindowPos(w, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
  Pump(50);
}

// A window's client rectangle in its parent's client coordinates.
inline RECT ClientInParent(HWND w) {
  RECT r;
  GetClientRect(w, &r);
  MapWindowPoints(w, GetParent(w), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// Clicks control `id` of a dialog of the layer (the command carries the
// control, as a real click's does).
inline void Click(HWND d, int id) {
  PostMessageW(d, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(d, id)));
}

inline std::wstring Text(HWND w) { return testbox::WindowText(w); }
inline std::wstring CtlText(HWND dialog, int id) { return Text(GetDlgItem(dialog, id)); }

// CR LF as LF.
inline std::wstring Lf(std::wstring s) {
  for (size_t i; (i = s.find(L"\r\n")) != std::wstring::npos;) s.erase(i, 1);
  return s;
}

inline std::wstring ClipboardText() {
  std::wstring s;
  if (!OpenClipboard(nullptr)) return L"(clipboard busy)";
  if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
    if (auto* p = static_cast<const wchar_t*>(GlobalLock(h))) {
      s = p;
      GlobalUnlock(h);
    }
  }
  CloseClipboard();
  return s;
}

}  // namespace tktest
