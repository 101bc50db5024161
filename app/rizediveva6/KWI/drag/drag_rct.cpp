// drag_rct: see the header.
#include "KWI/drag/drag_rct.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

#include "KWI/Wyn/checked.h"
#include "KWI/Wyn/wyn.h"
#include "kwi/kwi.h"

namespace rizediveva6 {

using namespace QEL_KWI;
namespace C = checked;

const tav::ClassInfo drag_rct::classInfo{L"qel6pack/drag/drag_rct_class", TAV_CLASS_VERSION};

namespace {

bool Near(int32_t a, int32_t b) {
  const int32_t d = C::Sub(a, b);
  return -5 < d && d < 5;
}

drag_obj_dom Edge(uint32_t alt) { return {alt, {}, {}}; }

// The kind of drag for a grab at p of r.
drag_obj_dom Choose(rect_struct r, pnt_struct p, direct d, allow_stetch allow, bool* bad) {
  const bool edges = allow != allow_stetch::whole_rct_only;
  if (edges && d.alt != direct::vert_only) {
    if (Near(p.x, r.left)) return Edge(drag_obj_dom::left);
    if (Near(p.x, r.right)) return Edge(drag_obj_dom::right);
  }
  if (edges && d.alt != direct::horz_only) {
    if (Near(p.y, r.top)) return Edge(drag_obj_dom::top);
    if (Near(p.y, r.bottom)) return Edge(drag_obj_dom::bottom);
  }
  *bad = allow == allow_stetch::stretch_only;
  return {drag_obj_dom::move, {C::Sub(p.x, r.left), C::Sub(p.y, r.top)}, d};
}

// A box of the start's size with its top-left corner at (x, y).
rect_struct BoxAt(rect_struct s, int32_t x, int32_t y) {
  return {x, y, C::Add(x, C::Sub(s.right, s.left)), C::Add(y, C::Sub(s.bottom, s.top))};
}

rect_struct VerticalMove(const drag_obj_dom& k, pnt_struct p, rect_struct s) {
  const rect_struct smooth = BoxAt(s, s.left, C::Sub(p.y, k.offset.y));
  if (k.direction.grain.alt != grainy::by_box_size) return smooth;  // by_dx moves as smooth
  const int32_t h = C::Sub(s.bottom, s.top);
  if (p.y > s.top && p.y < s.bottom) return s;
  if (p.y < s.top) return {s.left, C::Sub(s.top, h), s.right, s.top};
  if (p.y > s.bottom) return {s.left, s.bottom, s.right, C::Add(s.bottom, h)};
  return smooth;
}

// The pixels a rectangle drawn with a pen of width w may touch: r grown by w
// on every side, kept inside the 32-bit range.
rect_struct Inked(rect_struct r, int32_t w) {
  const int64_t m = w > 1 ? w : 1;
  auto clamp = [](int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
  return {clamp(r.left - m), clamp(r.top - m), clamp(r.right + m), clamp(r.bottom + m)};
}

}  // namespace

drag_rct* drag_rct::new_drag_rct(LONG_PTR window, rect_struct r, pnt_struct p, direct direction,
                                 allow_stetch allow) {
  // The saved screen holds a memory context and bitmap: the finaliser frees
  // them when a drag is abandoned without drop_it.
  static const Qel::RunTime::Objects::RClassDescriptorInfo info{sizeof(drag_rct), 1};
  void* block =
      Qel::RunTime::Objects::AllocateObject(&info, [](void* b) { static_cast<drag_rct*>(b)->saved_.Release(); });
  memset(block, 0, sizeof(drag_rct));
  drag_rct* d = new (block) drag_rct();
  d->xallow_stretch_ = allow;
  d->thiswin_ = window;
  d->xrct_ = r;
  bool bad = false;
  d->xdrag_ = Choose(r, p, direction, allow, &bad);
  d->state_ = bad ? state_dom::bad : state_dom::good;
  d->dragging_ = true;
  d->start_ = r;
  return d;
}

rect_struct drag_rct::position(const drag_obj_dom& k, pnt_struct p, rect_struct s) {
  switch (k.alt) {
    case drag_obj_dom::move:
      switch (k.direction.alt) {
        case direct::vert_only: return VerticalMove(k, p, s);
        case direct::horz_only: return BoxAt(s, C::Sub(p.x, k.offset.x), s.top);
        default: return BoxAt(s, C::Sub(p.x, k.offset.x), C::Sub(p.y, k.offset.y));
      }
    case drag_obj_dom::right:
      return p.x > s.left ? rect_struct{s.left, s.top, p.x, s.bottom} : rect_struct{p.x, s.top, p.x, s.bottom};
    case drag_obj_dom::left:
      return p.x < s.right ? rect_struct{p.x, s.top, s.right, s.bottom} : rect_struct{p.x, s.top, p.x, s.bottom};
    case drag_obj_dom::top:
      return p.y < s.bottom ? rect_struct{s.left, p.y, s.right, s.bottom} : rect_struct{s.left, p.y, s.right, p.y};
    default:  // bottom
      return p.y > s.top ? rect_struct{s.left, s.top, s.right, p.y} : rect_struct{s.left, p.y, s.right, p.y};
  }
}

rect_struct drag_rct::get_draw_rct() { return xrct_; }

void drag_rct::take_background_picture() {
  background_ = nullptr;
  background_ = pict_GetFromWin(thiswin_, win_GetClientRect(thiswin_));
}

// Saves the screen inside r; a bitmap that cannot be made is the GUI
// layer's allocation error.
void drag_rct::save(HDC dc, rect_struct r) {
  if (!saved_.Save(dc, r)) tav::kwi::_kwiexceptionraiser(6002, L"");
}

bool drag_rct::drag_it(pnt_struct p, drag_obj_dom* kind) {
  if (!dragging_) return false;
  volatile bool moved = false;
  wyn::with_held_context(Screen(thiswin_), [&] {
    int acquired = 0;
    HDC dc = win_GetNativeGraphicContext(thiswin_, &acquired);
    if (!saved_.saved()) save(dc, start_);
    if (state_ == state_dom::bad) return;
    rect_struct n = position(xdrag_, p, start_);
    // Only what the feedback covers is saved: a move far from the start
    // would otherwise copy everything between them twice.
    saved_.Restore(dc);
    save(dc, Inked(n, win_GetPen(thiswin_)->width));
    win_SetDrawMode(thiswin_, 12);
    draw_Rect(thiswin_, &n);
    moved = true;
  });
  if (moved) *kind = xdrag_;
  return moved;
}

bool drag_rct::drop_it(pnt_struct p, rect_struct* final, drag_obj_dom* kind, rect_struct* start) {
  saved_.Release();
  if (!dragging_) return false;
  dragging_ = false;
  *final = position(xdrag_, p, start_);
  *kind = xdrag_;
  *start = start_;
  return true;
}

state_dom drag_rct::get_state() { return state_; }

}  // namespace rizediveva6
