// The list box's scroll bar and closing, and selection by click.
//
// Invariants:
//  - The bar is set only when its range or position differs from the list's
//    (one SetScrollInfo for both) and invalidated only when its thumb or
//    arrow state changed with it.
//  - A thumb drag takes the bar's 32-bit track position when its low word
//    matches the notification's 16-bit position.
//  - destroy_scroll runs its four steps whatever the others give and then
//    passes on the first error.
#include <windows.h>

#include <cstring>

#include "KWI/Wyn/checked.h"
#include "KWI/orvtoolkwi/libox.h"
#include "KWI/orvtoolkwi/o_edit_li.h"
#include "kwi/kwi.h"

namespace rizediveva6 {

using namespace QEL_KWI;

namespace {

constexpr int kScrollBarWidthAttr = 204;
constexpr uint32_t kLineUp = 1, kLineDown = 2, kPageUp = 3, kPageDown = 4, kThumbTrack = 6;

HWND Bar(LONG_PTR bar) { return reinterpret_cast<HWND>(bar); }

SCROLLINFO Info(UINT mask) {
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = mask;
  return si;
}

rect_struct size_scroll(LONG_PTR w) {
  rect_struct r = *win_GetClientRect(w);
  r.left = checked::Sub(r.right, static_cast<int32_t>(kwi_GetAttrVal(kScrollBarWidthAttr)));
  r.top = 0;
  return r;
}

}  // namespace

void libox::update_scroll() {
  if (!db_vscroll_) return;
  const int32_t range = checked::U2I(sdb_number_of_lines_), pos = checked::U2I(sdb_offset_);
  SCROLLINFO now = Info(SIF_RANGE | SIF_POS);
  GetScrollInfo(Bar(db_vscroll_), SB_CTL, &now);
  SCROLLINFO set = Info(0);
  if (now.nMin != 0 || now.nMax != range) set.fMask |= SIF_RANGE, set.nMin = 0, set.nMax = range;
  // Past the end the bar shows its thumb at the end.
  if (now.nPos != (pos < range ? pos : range)) set.fMask |= SIF_POS, set.nPos = pos;
  if (!set.fMask) return;
  SCROLLBARINFO before{}, after{};
  before.cbSize = after.cbSize = sizeof before;
  const bool had = GetScrollBarInfo(Bar(db_vscroll_), OBJID_CLIENT, &before);
  SetScrollInfo(Bar(db_vscroll_), SB_CTL, &set, FALSE);
  if (had && GetScrollBarInfo(Bar(db_vscroll_), OBJID_CLIENT, &after) && before.xyThumbTop == after.xyThumbTop &&
      before.xyThumbBottom == after.xyThumbBottom && std::memcmp(before.rgstate, after.rgstate, sizeof before.rgstate) == 0)
    return;
  win_Invalidate_0(db_vscroll_);
}

bool libox::v_scroll(uint32_t code, uint32_t pos) {
  switch (code) {
    case kLineUp:
      if (sdb_offset_ > 0) --sdb_offset_;
      return true;
    case kLineDown:
      sdb_offset_ = checked::I2U(checked::Add(checked::U2I(sdb_offset_), 1));
      return true;
    case kPageUp:
      sdb_offset_ = sdb_offset_ > 3 ? sdb_offset_ - 3 : 0;
      return true;
    case kPageDown:
      sdb_offset_ = checked::I2U(checked::Add(checked::U2I(sdb_offset_), 5));
      return true;
    case kThumbTrack: {
      SCROLLINFO si = Info(SIF_TRACKPOS);
      if (db_vscroll_ && GetScrollInfo(Bar(db_vscroll_), SB_CTL, &si) && si.nTrackPos >= 0 &&
          (uint32_t(si.nTrackPos) & 0xFFFF) == (pos & 0xFFFF))
        pos = uint32_t(si.nTrackPos);
      sdb_offset_ = pos;
      return true;
    }
    default:
      return false;
  }
}

void libox::move_scroll_on_resize() {
  if (thiswyn_.alt != wyndow::screen || !db_vscroll_) return;
  rect_struct r = size_scroll(thiswyn_.window);
  win_Move(db_vscroll_, &r);
  win_Invalidate_0(thiswyn_.window);
}

void libox::move_scroll_on_resize_bound() {
  if (!db_vscroll_) return;
  rect_struct r = size_scroll2();
  win_Move(db_vscroll_, &r);
  if (thiswyn_.alt == wyndow::screen) win_Invalidate_0(thiswyn_.window);
}

void libox::my_cursor_set(LONG_PTR w, int32_t cursor) {
  if (sdb_cursor_ == cursor) return;
  sdb_cursor_ = cursor;
  tav::kwi::cursorset(w, cursor);
}

void libox::destroy_scroll() {
  uint32_t first = 0;
  auto step = [&](auto body) {
    const uint32_t code = Qel::RunTime::Kernel::RunTrapped(body);
    if (!first) first = code;
  };
  step([&] { save_col_widths(); });
  if (db_vscroll_) {
    const LONG_PTR bar = db_vscroll_;
    db_vscroll_ = 0;
    step([&] { win_Destroy(bar); });
  }
  if (o_edit_li* e = db_edit_) {
    db_edit_ = nullptr;
    step([&] { e->destroy_win(); });
  }
  step([&] { delete_db(); });
  if (first) Qel::RunTime::Kernel::Errors::Qel_ErrorExit(first);
}

void libox::set_menu(menu_struct* menu) { db_menu_ = menu; }

// --- selection by click ---

void libox::do_select_nth(uint32_t row) {
  if (!selected_.remove(row)) selected_.add(row);
}

bool libox::do_select(pnt_struct p, uint32_t button, uint32_t shiftCtlAlt) {
  constexpr uint32_t kLeft = 0, kNone = 0, kCtrl = 2;
  if (button != kLeft) return false;
  if (shiftCtlAlt != kNone && !(shiftCtlAlt == kCtrl && sdb_allow_multiselect_)) return false;
  uint32_t row;
  rect_struct r;
  line l;
  if (!pnt_row(p, &row, &r, &l)) return false;
  if (shiftCtlAlt == kNone) clear_selection();
  do_select_nth(row);
  return true;
}

void libox::build_selected(uint32_t from, uint32_t to, const HeapArray<uint32_t>& old) {
  for (uint32_t n = from; n <= to && n != 0; ++n) {
    bool was = false;
    for (uint32_t o : old) was = was || o == n;
    if (!was) selected_.add(n);
    if (n == UINT32_MAX) break;
  }
}

}  // namespace rizediveva6
