// The pixels of a picture handle (a packed DIB of 1, 4, 8, 24 or 32 bits),
// for the tests that draw into pictures and windows, and a window's client
// area read the same way.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "qel6kwi.h"

namespace kwitest {

// Pixels of a picture, top row first, as 0xRRGGBB.
struct Pixels {
  int w = 0, h = 0, bits = 0;
  std::vector<uint32_t> rgb;
  uint32_t at(int x, int y) const { return rgb[static_cast<size_t>(y) * w + x]; }
  bool operator==(const Pixels&) const = default;
};

inline Pixels Decode(QEL_KWI::picture p) {
  Pixels out;
  const uint8_t* dib = p + 4;
  BITMAPINFOHEADER h;
  memcpy(&h, dib, sizeof h);
  out.w = h.biWidth;
  out.h = std::abs(h.biHeight);
  out.bits = h.biBitCount;
  uint32_t colours = h.biClrUsed ? h.biClrUsed : h.biBitCount <= 8 ? 1u << h.biBitCount : 0;
  const uint8_t* table = dib + h.biSize;
  const uint8_t* bits = table + colours * 4;
  size_t stride = ((out.w * h.biBitCount + 31) / 32) * 4;
  for (int y = 0; y < out.h; ++y) {
    const uint8_t* row = bits + stride * (h.biHeight > 0 ? out.h - 1 - y : y);
    for (int x = 0; x < out.w; ++x) {
      const uint8_t* px;
      if (h.biBitCount == 8) px = table + row[x] * 4;
      else if (h.biBitCount == 4) px = table + ((row[x / 2] >> ((x & 1) ? 0 : 4)) & 15) * 4;
      else if (h.biBitCount == 1) px = table + ((row[x / 8] >> (7 - x % 8)) & 1) * 4;
      else px = row + x * (h.biBitCount / 8);
      out.rgb.push_back(px[2] << 16 | px[1] << 8 | px[0]);
    }
  }
  return out;
}

// A window's client area copied into a 32-bit memory DIB.
inline Pixels ClientPixels(HWND window) {
  RECT r{};
  GetClientRect(window, &r);
  Pixels out;
  out.w = r.right;
  out.h = r.bottom;
  out.bits = 32;
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), out.w, -out.h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HDC dc = GetDC(window);
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP dib = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, dib);
  BitBlt(mem, 0, 0, out.w, out.h, dc, 0, 0, SRCCOPY);
  GdiFlush();
  const auto* px = static_cast<const uint32_t*>(bits);
  for (size_t i = 0; i < static_cast<size_t>(out.w) * out.h; ++i) out.rgb.push_back(px[i] & 0xFFFFFF);
  SelectObject(mem, old);
  DeleteObject(dib);
  DeleteDC(mem);
  ReleaseDC(window, dc);
  return out;
}

}  // namespace kwitest
