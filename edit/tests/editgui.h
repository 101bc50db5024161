// Editor tests on the X display: the GUI layer's test helpers (gui.h) and
// the editor's exports, a task window without a menu, editors made and shown,
// an editor's text, client-area pixels.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui.h"
#include "qel6edit.h"
#include "qel6kernel.h"

namespace edittest {

// A task window without a menu bar.
inline kwitest::TaskOptions NoMenu() {
  kwitest::TaskOptions o;
  o.menu = 0;
  return o;
}

// An editor window's whole text.
inline std::wstring Text(LONG_PTR w) {
  uint8_t* m = Qel::RunTime::Kernel::Memory::MarkGStack();
  std::wstring s = QEL_EDIT::edit_GetText_0(w);
  Qel::RunTime::Kernel::Memory::ReleaseGStack(m);
  return s;
}

// An editor of `text` on a child window of `task`, the caret at `pos`; a
// trap fails the test (and gives 0).
inline LONG_PTR NewEditor(kwitest::Terms& t, HWND task, const wchar_t* text, uint32_t pos = 1, int32_t indent = 0,
                          int32_t readOnly = 0, QEL_KWI::PROLOG_EHANDLER_STRUCT* user = nullptr) {
  QEL_KWI::rect_struct r{10, 10, 400, 300};
  QEL_KWI::PROLOG_EHANDLER_STRUCT none{nullptr, nullptr};
  LONG_PTR w = 0;
  EXPECT_EQ(Qel::RunTime::Kernel::RunTrapped([&] {
              w = QEL_EDIT::edit_Create(QEL_KWI::wt_child, &r, L"notes.txt", t.NoMenu(),
                                        reinterpret_cast<LONG_PTR>(task), t.Flags({}), nullptr, readOnly, indent,
                                        text, pos, user ? user : &none);
            }),
            0u);
  return w;
}

// A shown editor in the shown task window, and its row height.
inline LONG_PTR ShownEditor(kwitest::Terms& t, HWND task, const wchar_t* text, int* row,
                            QEL_KWI::PROLOG_EHANDLER_STRUCT* user = nullptr) {
  ShowWindow(task, SW_SHOW);
  LONG_PTR w = NewEditor(t, task, text, 1, 0, 0, user);
  ShowWindow(reinterpret_cast<HWND>(w), SW_SHOW);
  int leading, ascent, descent;
  QEL_KWI::win_GetFontMetrics(w, &leading, &ascent, &descent);
  *row = ascent + descent + 1;
  return w;
}

// The client area copied into a 32-bit memory bitmap.
struct ClientPixels {
  std::vector<uint32_t> px;
  int width = 0, height = 0;
  explicit ClientPixels(HWND w) {
    RECT rc;
    GetClientRect(w, &rc);
    width = rc.right;
    height = rc.bottom;
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC screen = GetDC(w);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    px.assign(static_cast<uint32_t*>(bits), static_cast<uint32_t*>(bits) + width * height);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(w, screen);
  }
  uint32_t At(int x, int y) const { return px[y * width + x] & 0xFFFFFF; }
  // Whether colour 0xRRGGBB lies in [x0, x1) x [y0, y1).
  bool Has(int x0, int y0, int x1, int y1, uint32_t rgb) const {
    for (int y = y0; y < y1 && y < height; ++y)
      for (int x = x0; x < x1 && x < width; ++x)
        if (At(x, y) == rgb) return true;
    return false;
  }
};

// A COLORREF as 0xRRGGBB.
inline uint32_t Rgb(LONG_PTR colorref) {
  uint32_t c = static_cast<uint32_t>(colorref);
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

}  // namespace edittest
