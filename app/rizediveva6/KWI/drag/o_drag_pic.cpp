// o_drag_pic: see the header.
#include "KWI/drag/o_drag_pic.h"

#include "KWI/Wyn/checked.h"
#include "kwi/kwi.h"
#include "stream/stream.h"

namespace rizediveva6 {

using namespace QEL_KWI;
namespace C = checked;

const tav::ClassInfo o_drag_pic::classInfo{L"qel6pack/drag/o_drag_pic", TAV_CLASS_VERSION};

o_drag_pic* o_drag_pic::new_(LONG_PTR window, pnt_struct p, rect_struct box, direct direction) {
  o_drag_pic* d = tav::NewObject<o_drag_pic>();
  d->xwid = C::I2U(C::Add(C::Sub(box.right, box.left), 5));
  d->xht = C::I2U(C::Add(C::Sub(box.bottom, box.top), 5));
  d->xdirection = direction;
  rect_struct copy{box.left, box.top, C::Add(box.right, 1), C::Add(box.bottom, 1)};
  d->xorig = {pict_GetFromWin(window, &copy), box, {C::Sub(p.x, box.left), C::Sub(p.y, box.top)}};
  return d;
}

pnt_struct o_drag_pic::Corner(pnt_struct p, int32_t* rasterOp) const {
  const pnt_struct grip{C::Sub(p.x, xorig.offset.x), C::Sub(p.y, xorig.offset.y)};
  switch (xdirection.alt) {
    case direct::vert_only:
      *rasterOp = 12;
      return {xorig.box.left, grip.y};
    case direct::horz_only:
      *rasterOp = 11;
      return xdirection.grain.alt == grainy::by_dx ? grip : pnt_struct{grip.x, xorig.box.top};
    default:
      *rasterOp = 12;
      return grip;
  }
}

void o_drag_pic::pic_mousemove(LONG_PTR window, pnt_struct p) {
  db_background2.RestoreFirst(window);
  const int32_t w = C::U2I(xwid), h = C::U2I(xht);
  int32_t op = 12;
  pnt_struct at = Corner(p, &op);
  // Around the mouse, and wherever a constrained direction puts the picture.
  rect_struct around{C::Sub(p.x, w), C::Sub(p.y, h), C::Add(p.x, w), C::Add(p.y, h)};
  rect_struct drawn{at.x, at.y, C::Add(at.x, w), C::Add(at.y, h)};
  db_background2.Save(window, *rect_Union(&around, &drawn));
  tav::kwi::cursorset(window, 1);
  tav::kwi::pictdraw(window, xorig.pict, &at, op);
}

pnt_struct o_drag_pic::get_offset() { return xorig.offset; }

void o_drag_pic::delete_() {
  db_background2.DropFirst();
  pict_Destroy(xorig.pict);
}

}  // namespace rizediveva6
