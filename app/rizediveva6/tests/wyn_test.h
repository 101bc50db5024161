// Helpers of the drawing-package tests: a task window to draw in (Xvfb),
// pixels of a picture and picture targets.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <functional>
#include <vector>

#include "gui.h"
#include "pixels.h"
#include "rz_test.h"

namespace rztest {

using namespace QEL_KWI;

using kwitest::Decode;
using kwitest::Pixels;

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

// A term list of points in `cells` (kept by the caller).
inline pntlist_struct* PointList(std::vector<pnt_struct>& pts, std::vector<pntlist_struct>& cells) {
  cells.assign(pts.size() + 1, {ListNil, nullptr, nullptr});
  for (size_t i = 0; i < pts.size(); ++i) cells[i] = {ListCons, &pts[i], &cells[i + 1]};
  return cells.data();
}

}  // namespace rztest
