// The list box's event handler and its cell editor operations.
//
// Invariants:
//  - The rules are tried in order; a rule that reached its final step
//    decides: the event is then handled or not by that rule alone.
//  - Every left or right press commits an open editor before anything else.
//  - A call-back or send-back that fails is ignored; a missing one leaves
//    the event unhandled (state changed before stays changed).
//  - At most one editor is open; Enter on a row past the drawn ones scrolls
//    that row into view before the next editor opens.
#include "KWI/Wyn/checked.h"
#include "KWI/orvtoolkwi/libox.h"
#include "KWI/orvtoolkwi/o_edit_li.h"
#include "kwi/kwi.h"

namespace rizediveva6 {

using namespace QEL_KWI;
namespace K = Qel::RunTime::Kernel;

namespace {

constexpr int32_t kListBar = 99, kVScrollKind = 12;
constexpr uint32_t kLeft = 0, kRight = 1, kNoKeys = 0;
constexpr LONG_PTR kEnter = 13, kUp = 301, kDown = 302;
constexpr int32_t kArrowCursor = 1, kSizeWECursor = 9;
constexpr uint32_t kDropped = 9001;
constexpr uint32_t kWidthStep = 3, kMinWidth = 5;

pnt_struct PointOf(const event_struct* e) { return *reinterpret_cast<const pnt_struct*>(e->w[0]); }

// Runs a call-back; its failure is ignored.
template <class F>
void Call(F body) {
  K::Succeeds(body);
}

LONG_PTR Trampoline(void* object, LONG_PTR w, event_struct* e) { return static_cast<libox*>(object)->_lbox_eh(w, e); }

}  // namespace

PROLOG_EHANDLER_STRUCT* libox::event_handler() {
  auto* h = static_cast<PROLOG_EHANDLER_STRUCT*>(K::Memory::AllocHeap(sizeof(PROLOG_EHANDLER_STRUCT)));
  *h = {reinterpret_cast<void*>(&Trampoline), this};
  return h;
}

// --- the cell editor ---

bool libox::make_o_edit(pnt_struct p) {
  if (!db_sendback_.present || thiswyn_.alt != wyndow::screen || db_edit_) return false;
  uint32_t row, col;
  rect_struct r;
  line l;
  col_info info;
  if (!pnt_row(p, &row, &r, &l) || !pnt_col(p, &col) || !nth_col(col, &info)) return false;
  bool editable = false;
  for (const List<uint32_t>* c = editable_; !c->Empty(); c = c->tail) editable = editable || c->head == col;
  const wchar_t* text;
  if (!editable || !row_col_str(row, col, &text)) return false;
  const rect_struct box{checked::Sub(info.titleRect.left, 1), checked::Sub(r.top, 2),
                        checked::Add(info.titleRect.right, 1), checked::Add(r.bottom, 2)};
  db_edit_ = o_edit_li::new_(thiswyn_.window, row, col, box, text);
  db_edit_->focus_on_it();
  return true;
}

uint32_t libox::try_save_editor() {
  if (!db_sendback_.present || !db_edit_) return 0;
  o_edit_li* e = db_edit_;
  db_edit_ = nullptr;
  uint32_t row, col;
  e->get_edit(db_sendback_.value, &row, &col);
  return e->row();
}

bool libox::kdown(int32_t delta) {
  const int64_t n = sdb_number_of_lines_;
  if (!db_sendback_.present) {
    if (selected_.entries().empty()) return false;
    const uint32_t from = selected_.entries()[0];
    const int64_t to = int64_t(from) + delta;
    if (to < 1 || to > n) return false;
    selected_.remove(from);
    selected_.add(uint32_t(to));
    lbox_draw();
    return true;
  }
  const uint32_t from = try_save_editor();
  if (from == 0) return false;
  const int64_t to = int64_t(from) + delta;
  if (to < 1 || to > n) return false;
  lbox_draw();
  const drawn_row* d;
  if (!find_drawn(uint32_t(to), &d) && !ndb_line_rct_.empty()) {
    // Bring the row into view: scroll by the rows it lies outside.
    const uint32_t first = ndb_line_rct_[0].row, last = ndb_line_rct_.back().row;
    if (to > last) sdb_offset_ += uint32_t(to - last);
    else if (to < first) sdb_offset_ -= sdb_offset_ < first - to ? sdb_offset_ : uint32_t(first - to);
    lbox_draw();
  }
  if (!find_drawn(uint32_t(to), &d)) return false;
  return make_o_edit({xpnt_.x, checked::U2I(get_nth_y(uint32_t(to)))});
}

// --- the rules ---

bool libox::on_mouseup(pnt_struct p) {
  uint32_t ref, col;
  if (!is_dragging_col(&ref)) return false;
  drop_col(p);
  if (!pnt_col(p, &col)) return false;
  build_index(col);
  Call([&] { use_dbl_callback_for_postevent(); });
  lbox_draw();
  return true;
}

// Rule 6: editor, button cell, title drag, line grab; false when none applies.
bool libox::on_left_press(pnt_struct p) {
  try_save_editor();
  if (make_o_edit(p)) return true;
  uint32_t row, col, ref;
  rect_struct r;
  line l;
  but_callback cb;
  if (pnt_row(p, &row, &r, &l) && pnt_col(p, &col) && ndb_button(int32_t(row), int32_t(col), &cb)) {
    Call([&] { cb.code(cb.object, row, col); });
    return true;
  }
  if (is_dragging_col(&ref)) return false;
  if (try_drag_col(p)) return true;
  bool lineDrag = false;
  for (const List<selected_prop>* s = sdb_selected_props_ ? sdb_selected_props_ : Nil<selected_prop>(); !s->Empty();
       s = s->tail)
    lineDrag = lineDrag || s->head.alt == selected_prop::drag_line_is_allowed;
  return lineDrag && grab_a_line(p);
}

// Rule 7 once it applies (the press lies left of the first boundary of a
// list with a colour box): the press is handled when the call-back ran.
bool libox::on_colour_box(pnt_struct p, uint32_t) {
  uint32_t row;
  rect_struct r;
  line l;
  if (!pnt_row(p, &row, &r, &l) || l.alt != line::stored) return false;
  LONG_PTR chosen = 0;
  if (!K::Succeeds([&] { chosen = dlg_ChooseColor(kwi_GetTaskWin(), l.colour); })) return false;
  l.colour = int32_t(chosen);
  replace_line(l);
  try_lbox_draw();
  if (!db_color_sel_.present) return false;
  Call([&] { db_color_sel_.value.code(db_color_sel_.value.object, int32_t(chosen), row); });
  return true;
}

bool libox::call_sel(pnt_struct p) {
  uint32_t row, col;
  rect_struct r;
  line l;
  if (!pnt_row(p, &row, &r, &l) || !pnt_col(p, &col) || !db_cb_sel_.present) return false;
  Call([&] { db_cb_sel_.value.code(db_cb_sel_.value.object, col, row, l); });
  return true;
}

bool libox::on_mousemove(LONG_PTR w, pnt_struct p) {
  xpnt_ = p;
  if (p.y >= 0) mousemove_to_highlight(uint32_t(p.y));
  uint32_t ref, boundary;
  if (is_dragging_col(&ref)) return try_drag_col(p);
  my_cursor_set(w, mouse_on_col(p, &boundary) ? kSizeWECursor : kArrowCursor);
  return true;
}

bool libox::on_char(LONG_PTR w, event_struct* e) {
  const LONG_PTR code = e->w[0];
  if (code == kEnter || code == kDown) return kdown(1);
  if (code == kUp) return kdown(-1);
  if (code == L'+' || code == L'-') {
    const title_tb band = get_title_tb();
    if (band.alt != title_tb::band || xpnt_.y <= int64_t(band.top) || xpnt_.y >= int64_t(band.bottom)) return false;
    if (code == L'+') xcol_width_ = checked::I2U(checked::Add(checked::U2I(xcol_width_), kWidthStep));
    else xcol_width_ = xcol_width_ > kMinWidth + kWidthStep ? xcol_width_ - kWidthStep : kMinWidth;
    widen_cols();
    return true;
  }
  win_SendEvent(win_GetParent(w), e);
  return true;
}

// Rule 12: applied and reported, never handled.
bool libox::on_scroll(const event_struct* e) {
  const auto* info = reinterpret_cast<const controlinfo*>(e->w[3]);
  if (e->w[0] != kListBar || e->w[1] != kVScrollKind || !info || info->alt != ci_scroll) return false;
  const uint32_t pos = uint32_t(info->position);
  if (!v_scroll(uint32_t(info->code), pos)) return false;
  lbox_draw();
  if (db_cb_scroll_.present) Call([&] { db_cb_scroll_.value.code(db_cb_scroll_.value.object, pos); });
  return false;
}

bool libox::on_select(pnt_struct p, uint32_t button, uint32_t mods) {
  if (!allow_select_by_column(p) || !do_select(p, button, mods)) return call_sel(p);
  try_lbox_draw();
  return call_sel(p);
}

LONG_PTR libox::_lbox_eh(LONG_PTR w, event_struct* e) {
  bool handled = false;
  switch (e->kind) {
    case e_update:
      lbox_draw();
      handled = true;
      break;
    case e_mouseup:
      handled = on_mouseup(PointOf(e));
      break;
    case e_menu:
      return win_SendEvent(win_GetParent(w), e);
    case e_mousedbl: {
      uint32_t row, col;
      rect_struct r;
      line l;
      const pnt_struct p = PointOf(e);
      if (uint32_t(e->w[2]) != kLeft || !pnt_row(p, &row, &r, &l) || !pnt_col(p, &col) || !db_cb_dbl_.present) break;
      Call([&] { db_cb_dbl_.value.code(db_cb_dbl_.value.object, col, row, l); });
      handled = true;
      break;
    }
    case e_mousedown: {
      const pnt_struct p = PointOf(e);
      const uint32_t mods = uint32_t(e->w[1]), button = uint32_t(e->w[2]);
      if (button == kRight) {
        try_save_editor();
        if (db_menu_) {
          pnt_struct at = p;
          menu_PopUp(w, db_menu_, &at, 0);
          handled = true;
          break;
        }
      } else if (button == kLeft && on_left_press(p)) {
        handled = true;
        break;
      }
      if (mods == kNoKeys && has_data_prop(data_prop::has_color_box)) {
        const List<uint32_t>* bounds = get_boundaries(Screen(w));
        if (!bounds->Empty() && int64_t(bounds->head) > p.x) {
          handled = on_colour_box(p, mods);
          break;
        }
      }
      handled = on_select(p, button, mods);
      break;
    }
    case e_mousemove:
      handled = on_mousemove(w, PointOf(e));
      break;
    case e_char:
      handled = on_char(w, e);
      break;
    case e_control:
      handled = on_scroll(e);
      break;
    default:
      break;
  }
  if (!handled) K::Fail();
  return 0;
}

}  // namespace rizediveva6
