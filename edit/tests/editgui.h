// Editor tests on the X display: the GUI layer's test helpers (gui.h) and
// the editor's exports, a task window without a menu, an editor's text,
// client-area pixels.
#pragma once

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
