// drag_line: see the header.
#include "KWI/drag/drag_line.h"

#include "KWI/drag/drag_support.h"
#include "stream/stream.h"

namespace rizediveva6 {

using QEL_KWI::pnt_struct;

const tav::ClassInfo drag_line::classInfo{L"qel6pack/drag/drag_line", TAV_CLASS_VERSION};

namespace {

const pntlist* HeapCopy(const pntlist* points) {
  ListBuilder<pnt_struct> copy(true);
  for (; !points->Empty(); points = points->tail) copy.Add(points->head);
  return copy.Finish();
}

}  // namespace

drag_line* drag_line::new_(LONG_PTR window, pnt_struct p) { return new_(window, p, MakeList({p})); }

drag_line* drag_line::new_(LONG_PTR window, pnt_struct p, const pntlist* points) {
  drag_line* d = tav::NewObject<drag_line>();
  d->thiswin = window;
  d->xpnt = d->xpnt_old = p;
  d->xpnt_list = HeapCopy(points);
  return d;
}

void drag_line::DrawLines(pnt_struct from) {
  for (const pntlist* l = xpnt_list; !l->Empty(); l = l->tail) drag_support::Line(thiswin, from, l->head);
}

void drag_line::line_drag_mousemove(pnt_struct p) {
  drag_support::Inverted(thiswin, [&] {
    if (drawn_) DrawLines(xpnt_old);
    xpnt_old = p;
    DrawLines(p);
  });
  drawn_ = true;
}

void drag_line::line_drag_reset_pnts(const pntlist* points) {
  if (!drawn_) {
    xpnt_list = HeapCopy(points);
    return;
  }
  drag_support::Inverted(thiswin, [&] {
    DrawLines(xpnt_old);
    xpnt_list = HeapCopy(points);
    DrawLines(xpnt_old);
  });
}

void drag_line::line_drag_mouseup(pnt_struct* start, const pntlist** points) {
  *start = xpnt;
  *points = xpnt_list;
}

}  // namespace rizediveva6
