// sc_mouse: see the header.
#include "KWI/Wyn/sc_mouse.h"

#include "KWI/Wyn/checked.h"
#include "kwi/kwi.h"

namespace rizediveva6 {

using QEL_KWI::pnt_struct;
using QEL_KWI::rect_struct;
namespace C = checked;

const tav::ClassInfo sc_mouse::classInfo{L"qel6pack/Wyn/sc_mouse", TAV_CLASS_VERSION};

int32_t sc_mouse::xcursor = 1;
int32_t sc_mouse::xcursor_default = 1;
int32_t sc_mouse::xdb_ns = 1;
int32_t sc_mouse::xdb_we = 1;
std::vector<int32_t> sc_mouse::ndb_cursor_temp_default;

namespace {

bool Near(int32_t a, int32_t b, int32_t tolerance) {
  const int32_t d = C::Sub(a, b);
  return -tolerance < d && d < tolerance;
}

bool Between(int32_t low, int32_t v, int32_t high) { return low <= v && v <= high; }

bool Inside(rect_struct r, pnt_struct p) {
  return Between(r.left, p.x, r.right) && Between(r.top, p.y, r.bottom);
}

int32_t Abs(int32_t v) { return v < 0 ? C::Sub(0, v) : v; }

int32_t Area(int32_t w, int32_t h) { return Abs(C::Mul(w, h)); }

void SetCursor(LONG_PTR window, int32_t cursor) {
  if (cursor == sc_mouse::xcursor) return;
  tav::kwi::cursorset(window, cursor);
  sc_mouse::xcursor = cursor;
  tav::kwi::processevents();
}

// The cursor a hot spot asks for at p: true and *cursor (0 keeps the cursor)
// when it matches.
bool Match(const o_mouse_dom& s, pnt_struct p, int32_t t, int32_t* cursor) {
  switch (s.alt) {
    case o_mouse_dom::on_vert:
      return Near(s.at, p.x, t) && (*cursor = sc_mouse::xdb_we, true);
    case o_mouse_dom::on_vert_in_y:
      return Near(s.at, p.x, t) && Between(s.from, p.y, s.to) && (*cursor = sc_mouse::xdb_we, true);
    case o_mouse_dom::on_horz:
      return Near(s.at, p.y, t) && (*cursor = sc_mouse::xdb_ns, true);
    case o_mouse_dom::on_horz_in_x:
      return Near(s.at, p.y, t) && Between(s.from, p.x, s.to) && (*cursor = sc_mouse::xdb_ns, true);
    case o_mouse_dom::in_rct_stretch_horz:
      if (!Inside(s.rct, p)) return false;
      *cursor = Near(s.rct.left, p.x, t) || Near(s.rct.right, p.x, t) ? sc_mouse::xdb_we : 0;
      return true;
    case o_mouse_dom::on_line:
      return sc_mouse::is_on_line(s.a, s.b, p, t) && (*cursor = s.cursor, true);
    default:
      return false;
  }
}

}  // namespace

void sc_mouse::o_mouse_set_default(int32_t cursor) { xcursor_default = cursor; }
void sc_mouse::o_mouse_set_temp_default(int32_t cursor) { ndb_cursor_temp_default.push_back(cursor); }
void sc_mouse::o_mouse_remove_temp_default() {
  if (!ndb_cursor_temp_default.empty()) ndb_cursor_temp_default.pop_back();
}
void sc_mouse::o_mouse_remove_temp_default_all() { ndb_cursor_temp_default.clear(); }
void sc_mouse::o_mouse_set_ns(int32_t cursor) { xdb_ns = cursor; }
void sc_mouse::o_mouse_set_we(int32_t cursor) { xdb_we = cursor; }

bool sc_mouse::o_mouse_set(LONG_PTR window, pnt_struct p, const o_mouse_doms* spots, int32_t t) {
  for (; !spots->Empty(); spots = spots->tail) {
    int32_t cursor = 0;
    if (!Match(spots->head, p, t, &cursor)) continue;
    if (cursor) SetCursor(window, cursor);
    return true;
  }
  SetCursor(window, ndb_cursor_temp_default.empty() ? xcursor_default : ndb_cursor_temp_default.back());
  return false;
}

bool sc_mouse::is_on_line(pnt_struct a, pnt_struct b, pnt_struct p, int32_t t) {
  const bool rising = (b.x >= a.x && b.y <= a.y) || (b.x <= a.x && b.y >= a.y);
  const rect_struct r{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
  if (!Inside(r, p)) return false;
  if (C::Sub(r.right, r.left) < 10 || C::Sub(r.bottom, r.top) < 10) return true;
  const int32_t dxl = C::Sub(p.x, r.left), dxr = C::Sub(r.right, p.x);
  const int32_t a1 = rising ? Area(dxl, C::Sub(p.y, r.top)) : Area(dxl, C::Sub(p.y, r.bottom));
  const int32_t a2 = rising ? Area(dxr, C::Sub(r.bottom, p.y)) : Area(dxr, C::Sub(r.top, p.y));
  const int32_t d = C::Sub(a1, a2);
  return -t < d && d < t;
}

}  // namespace rizediveva6
