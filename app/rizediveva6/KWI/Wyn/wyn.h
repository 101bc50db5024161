// wyn: one set of drawing operations over a drawing target (`wyndow`): a
// window, a print job's window or nothing.  Compositions (thick line, raised
// button, striped and fading rectangles, tick mark), colour parts, random
// colours, a list counter, a radio group and the shell's "open".
//
// Invariants:
//  - A dispatching operation returns false exactly when the target is none of
//    the three alternatives; on `wnull` drawing and setting do nothing and
//    return true, the readers (wgetpen, wgetbrush, wgettextextent) return
//    false and wgetclientrect gives (0, 0, 0, 0).
//  - `screen` and `prnt` differ only in wsetfont: the printer gets the font at
//    three times its point size.
//  - Coordinate sums that leave 32 bits raise "Integral overflow"; reals
//    become integers through the runtime's conversions (range error 302).
//  - with_held_context releases what it acquired, also when its body raises.
//  - xpen/xbrush hold the tools wdrawbutton saved last; xcount the last count.
#pragma once

#include "core/core.h"
#include "qel6kwi.h"
#include "SYSTEM/orv_list/orv_list.h"

namespace rizediveva6 {

using QEL_KWI::brush_struct;
using QEL_KWI::ilist_struct;
using QEL_KWI::pen_struct;
using QEL_KWI::picture;
using QEL_KWI::pnt_struct;
using QEL_KWI::pntlist_struct;
using QEL_KWI::rect_struct;

// The drawing target {alternative, window}.
struct wyndow {
  enum Kind : uint32_t { screen = 1, prnt = 2, wnull = 3 };
  uint32_t alt;
  LONG_PTR window;
};
inline wyndow Screen(LONG_PTR w) { return {wyndow::screen, w}; }
inline wyndow Prnt(LONG_PTR w) { return {wyndow::prnt, w}; }
inline wyndow WNull() { return {wyndow::wnull, 0}; }

struct rgb {
  uint32_t red, green, blue;
};

class wyn {
 public:
  static const tav::ClassInfo classInfo;

  // Primitives: the GUI layer's call on screen/prnt, nothing on wnull.
  static bool wdrawline(wyndow t, pnt_struct from, pnt_struct to);
  static bool wdrawline(wyndow t, int32_t colour, pnt_struct from, pnt_struct to);
  static bool wdrawthickline(wyndow t, pnt_struct from, pnt_struct to);
  static bool wdrawrect(wyndow t, rect_struct r);
  static bool wdrawroundrect(wyndow t, rect_struct r, int32_t cornerW, int32_t cornerH);
  static bool wdrawellipse(wyndow t, rect_struct r);
  static bool wdrawpolygon(wyndow t, pntlist_struct* points);
  static bool wdrawtextinrect(wyndow t, rect_struct r, const wchar_t* text, int32_t length,
                              ilist_struct* flags);
  static bool wdrawtext(wyndow t, uint32_t x, uint32_t y, const wchar_t* text);
  static bool wpict_draw(wyndow t, picture p, pnt_struct at, uint32_t rasterOp);
  static bool wsetbrush(wyndow t, brush_struct b);
  static bool wgetbrush(wyndow t, brush_struct* b);
  static bool wsetpen(wyndow t, pen_struct p);
  static bool wgetpen(wyndow t, pen_struct* p);
  static bool wsetfont(wyndow t, uint8_t* font);
  static bool wgetclientrect(wyndow t, rect_struct* r);
  static bool wsetbackmode(wyndow t, int32_t mode);
  static bool wsetforecolor(wyndow t, int32_t colour);
  static bool wsetbackcolor(wyndow t, int32_t colour);
  static bool wgettextextent(wyndow t, const wchar_t* text, int32_t length, int32_t* width,
                             int32_t* height);

  // Compositions.
  static bool wdrawbutton(wyndow t, brush_struct b, rect_struct r);
  static bool draw_striped_rect(wyndow t, int32_t fill, int32_t stripe, rect_struct r);
  static bool o_fade_rect(wyndow t, rect_struct r, bool fade, rgb from, rgb to);
  static bool draw_tickinrect(wyndow t, rect_struct r);

  // Without a target.
  static rgb decompose(int32_t colour);
  static int32_t random_color();
  static int32_t random_grey_color();
  template <class T>
  static uint32_t count(const List<T>* list) {
    xcount = 0;
    for (; !list->Empty(); list = list->tail) ++xcount;
    return xcount;
  }
  static void check_nth_radio(LONG_PTR dialog, uint32_t id, const List<int32_t>* ids);
  // The shell's "open" verb on the file: no parameters, no working folder,
  // shown normally; always succeeds.
  static void open_a_file(const wchar_t* fileName);

  // Runs body with a screen target's context held, so that its drawing
  // calls share one context instead of acquiring one each (inside an update
  // event the paint context is used as it is); released on every way out,
  // an error then going on.
  template <class F>
  static void with_held_context(wyndow t, F body) {
    if (t.alt != wyndow::screen) return body();
    const held h = hold(t.window);
    const uint32_t code = Qel::RunTime::Kernel::RunTrapped(body);
    release(h);
    if (code) Qel::RunTime::Kernel::Errors::Qel_ErrorExit(code);
  }

  struct held {
    LONG_PTR window;
    void* dc;
    int acquired;
  };
  static held hold(LONG_PTR window);
  static void release(held h);

  static pen_struct xpen;
  static brush_struct xbrush;
  static uint32_t xcount;
};

}  // namespace rizediveva6
