// o_drag_stretch_rct: see the header.
#include "KWI/drag/o_drag_stretch_rct.h"

#include "KWI/drag/drag_support.h"
#include "stream/stream.h"

namespace rizediveva6 {

using namespace QEL_KWI;

const tav::ClassInfo o_drag_stretch_rct::classInfo{L"qel6pack/drag/o_drag_stretch_rct", TAV_CLASS_VERSION};

namespace {
constexpr int kXorMode = 6;  // the pen XOR the screen
}  // namespace

o_drag_stretch_rct* o_drag_stretch_rct::new_(LONG_PTR window, pnt_struct anchor) {
  o_drag_stretch_rct* d = tav::NewObject<o_drag_stretch_rct>();
  d->thiswin = window;
  d->xdb_pnt = anchor;
  return d;
}

void o_drag_stretch_rct::set_type(rct_type t) { xdb_type = t; }

void o_drag_stretch_rct::DrawShape(rect_struct r) {
  if (xdb_type.alt == rct_type::horz_fixed_ht) {
    rect_struct band{r.left, xdb_type.top, r.right, xdb_type.bottom};
    return draw_Rect(thiswin, &band);
  }
  const int mode = win_GetDrawMode(thiswin);
  pen_struct none{1, 5, 0};
  brush_struct grey{2, 0xC0C0C0};
  win_SetPen(thiswin, &none);
  win_SetBrush(thiswin, &grey);
  win_SetDrawMode(thiswin, kXorMode);
  draw_Rect(thiswin, &r);
  win_SetDrawMode(thiswin, mode);
}

void o_drag_stretch_rct::mousemove(pnt_struct p) {
  if (p.x < xdb_pnt.x) xdb_pnt.x = p.x;
  if (p.y < xdb_pnt.y) xdb_pnt.y = p.y;
  const rect_struct n{xdb_pnt.x, xdb_pnt.y, p.x, p.y};
  drag_support::Inverted(thiswin, [&] {
    DrawShape(xdb_old_rct);
    DrawShape(n);
  });
  xdb_old_rct = n;
}

rect_struct o_drag_stretch_rct::mouseup(pnt_struct p) {
  if (xdb_type.alt == rct_type::horz_fixed_ht) return {xdb_pnt.x, xdb_type.top, p.x, xdb_type.bottom};
  return {xdb_pnt.x, xdb_pnt.y, p.x, p.y};
}

}  // namespace rizediveva6
