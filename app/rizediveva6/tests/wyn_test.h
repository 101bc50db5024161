// Helpers of the drawing-package tests: a task window to draw in (Xvfb),
// pixels of a picture, picture targets, and the run-time error number of a
// trapped error.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <functional>
#include <vector>

#include "gui.h"
#include "rz_test.h"

namespace rztest {

using namespace QEL_KWI;

// Pixels of a picture, top row first, as 0xRRGGBB.
struct Pixels {
  int w = 0, h = 0;
  std::vector<uint32_t> rgb;
  uint32_t at(int x, int y) const { return rgb[static_cast<size_t>(y) * w + x]; }
  bool operator==(const Pixels&) const = default;
};

inline Pixels Decode(picture p) {
  Pixels out;
  const uint8_t* dib = p + 4;
  BITMAPINFOHEADER h;
  memcpy(&h, dib, sizeof h);
  out.w = h.biWidth;
  out.h = std::abs(h.biHeight);
  const uint32_t colours = h.biClrUsed ? h.biClrUsed : h.biBitCount <= 8 ? 1u << h.biBitCount : 0;
  const uint8_t* table = dib + h.biSize;
  const uint8_t* bits = table + colours * 4;
  const size_t stride = ((out.w * h.biBitCount + 31) / 32) * 4;
  for (int y = 0; y < out.h; ++y) {
    const uint8_t* row = bits + stride * (h.biHeight > 0 ? out.h - 1 - y : y);
    for (int x = 0; x < out.w; ++x) {
      const uint8_t* px = h.biBitCount == 8 ? table + row[x] * 4 : row + x * (h.biBitCount / 8);
      out.rgb.push_back(px[2] << 16 | px[1] << 8 | px[0]);
    }
  }
  return out;
}

// A picture target of w x h cleared to white, handed to draw; its pixels.
inline Pixels DrawOnPicture(int w, int h, const std::function<void(LONG_PTR)>& draw) {
  rect_struct r{0, 0, w, h};
  LONG_PTR target = pict_Open(&r);
  win_Clear_0(target, 0xFFFFFF);
  draw(target);
  return Decode(pict_Close(target));
}

// The error code of draw on a fresh picture target (0 when it returned);
// the target is closed either way.
inline uint32_t TrappedOnPicture(int w, int h, const std::function<void(LONG_PTR)>& draw) {
  rect_struct r{0, 0, w, h};
  const LONG_PTR target = pict_Open(&r);
  const uint32_t code = RunTrapped([&] { draw(target); });
  pict_Close(target);
  return code;
}

// The client pixels of a window inside r.
inline Pixels WindowPixels(LONG_PTR w, rect_struct r) { return Decode(pict_GetFromWin(w, &r)); }

// The body inside the message loop of a fresh task window without menu.
inline void InTask(const std::function<void(HWND)>& body, kwitest::Handler events = nullptr) {
  kwitest::TaskOptions options;
  options.menu = 0;
  options.events = std::move(events);
  kwitest::RunInTask(body, options);
}

// The run-time error number of a trace (its "error code"); 0 when none.
inline uint32_t ErrorNumber(uint32_t code) {
  uint32_t n = 0;
  if (code < 65536) return code;
  exception::getdescriptor_nd(code, [&](const TraceEntry* e) {
    const ValueTerm* v = exception::trygetextrainfo(e, L"error code");
    if (v && v->Kind() == ValueKind::unsigned_) n = v->As<uint32_t>();
  });
  return n;
}

// A term list of points in `cells` (kept by the caller).
inline pntlist_struct* PointList(std::vector<pnt_struct>& pts, std::vector<pntlist_struct>& cells) {
  cells.assign(pts.size() + 1, {ListNil, nullptr, nullptr});
  for (size_t i = 0; i < pts.size(); ++i) cells[i] = {ListCons, &pts[i], &cells[i + 1]};
  return cells.data();
}

}  // namespace rztest
