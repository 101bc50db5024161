// drag_string and drag_vlittle: see the header.
#include "KWI/drag/drag_string.h"

#include "KWI/Wyn/checked.h"
#include "kwi/kwi.h"
#include "stream/stream.h"

namespace rizediveva6 {

using namespace QEL_KWI;
namespace C = checked;

const tav::ClassInfo drag_string::classInfo{L"qel6pack/drag/drag_string", TAV_CLASS_VERSION};
const tav::ClassInfo drag_vlittle::classInfo{L"qel6pack/drag/drag_vlittle", TAV_CLASS_VERSION};

drag_string* drag_string::new_(LONG_PTR window, const wchar_t* text, int32_t background) {
  drag_string* d = tav::NewObject<drag_string>();
  d->thiswin = window;
  int w = 0, h = 0;
  win_GetTextExtent(window, text, -1, &w, &h);
  d->xrct = {0, 0, w, h};
  const LONG_PTR target = pict_Open(&d->xrct);
  brush_struct fill{2, static_cast<uint32_t>(background)};
  win_SetBrush(target, &fill);
  win_SetBackColor(target, background);
  draw_Rect(target, &d->xrct);
  tav::kwi::drawtext(target, 0, h, text);
  d->xpic = pict_Close(target);
  return d;
}

void drag_string::mousemove(pnt_struct p) {
  db_background2.RestoreFirst(thiswin);
  const int32_t w = xrct.right, h = xrct.bottom;
  db_background2.Save(thiswin, {C::Sub(p.x, w), C::Sub(p.y, h), C::Add(p.x, w), C::Add(p.y, h)});
  tav::kwi::cursorset(thiswin, 1);
  tav::kwi::pictdraw(thiswin, xpic, &p, 12);
}

drag_vlittle* drag_vlittle::new_(LONG_PTR window) {
  drag_vlittle* d = tav::NewObject<drag_vlittle>();
  d->thiswin = window;
  return d;
}

void drag_vlittle::mousemove(pnt_struct p1, pnt_struct p2) {
  drag_support::Inverted(thiswin, [&] {
    drag_support::Line(thiswin, xpnt1, xpnt2);
    xpnt1 = p1;
    xpnt2 = p2;
    drag_support::Line(thiswin, p1, p2);
  });
}

}  // namespace rizediveva6
