// The list box's drawing: the pass on a screen or print target, one row cell
// by cell, the drawn rows and their queries, the hover highlight, button
// cells, the line grab, printing page by page and copying as text.
//
// Invariants:
//  - A screen pass reads only the lines it paints: it starts at line
//    sdb_offset + 1 and stops at the first row past the client bottom; the
//    line count is the store's.
//  - Drawn rows hold heap copies of their lines, so releasing the pass's
//    terms leaves them valid.
//  - Drawn-row rectangles and a last cell without right boundary reach the
//    larger of x 1000 and the target's client width.
//  - Printing draws every line from the first, page by page, and leaves the
//    screen pass's facts (rows, counters, xbott) as they were.
//  - A screen pass outside an update event clears and paints the whole list
//    area and the strip left of it, and validates both (the paint it would
//    cause draws the same), unless
//    the screen shows the previous such pass: same layout, boundaries and
//    button cells, no update pending, nothing painted over since; then it
//    repaints only the rows whose line, selection or grey differ.  A pass
//    inside an update event (clipped to the update region) leaves the screen
//    unknown, so the next direct pass paints everything.
#include <windows.h>

#include <cmath>
#include <cstring>
#include <cwchar>

#include "KWI/Wyn/checked.h"
#include "KWI/drag/drag_in_taskwin.h"
#include "KWI/orvtoolkwi/libox.h"
#include "SYSTEM/myKWI/myKWI.h"
#include "kwi/kwi.h"

namespace rizediveva6 {

using namespace QEL_KWI;
namespace K = Qel::RunTime::Kernel;

namespace {

constexpr int32_t kWhite = 0xFFFFFF, kBlack = 0, kGrey = 0x808080, kFace = 0xC0C0C0, kHover = 0xBBBBBB;
constexpr int kHighlightAttr = 113, kLightAttr = 129, kShadowAttr = 109, kScrollBarWidthAttr = 204;
constexpr int32_t kMinRight = 1000;
constexpr int32_t kNullRowHeight = 20;
constexpr int kBold = 1, kItalic = 2;

pen_struct Pen(uint32_t colour, int32_t style = 0) { return {1, style, colour}; }
brush_struct Solid(uint32_t colour) { return {2, colour}; }

bool DrawText(wyndow t, rect_struct r, const wchar_t* text) {
  ilist_struct leftTop{ListCons, 5, nullptr};
  ilist_struct end{ListNil, 0, nullptr};
  leftTop.next = &end;
  return wyn::wdrawtextinrect(t, r, text, -1, &leftTop);
}

void Line(wyndow t, int32_t x1, int32_t y1, int32_t x2, int32_t y2) { wyn::wdrawline(t, {x1, y1}, {x2, y2}); }

// The frame of two rings: black outside, 3-D light and shadow inside.
void draw_rct_perimiter(wyndow t, rect_struct r, bool on) {
  if (!on) return;
  const int32_t l = r.left, tp = r.top, rt = r.right, b = r.bottom;
  wyn::wsetpen(t, Pen(kBlack));
  Line(t, l, tp, rt, tp);
  Line(t, l, b, rt, b);
  Line(t, l, tp, l, b);
  Line(t, rt, tp, rt, b);
  wyn::wsetpen(t, Pen(static_cast<uint32_t>(kwi_GetAttrVal(kLightAttr))));
  Line(t, l + 1, tp + 1, rt - 1, tp + 1);
  Line(t, l + 1, tp + 1, l + 1, b - 1);
  wyn::wsetpen(t, Pen(static_cast<uint32_t>(kwi_GetAttrVal(kShadowAttr))));
  Line(t, l + 1, b - 1, rt - 1, b - 1);
  Line(t, rt - 1, tp + 1, rt - 1, b - 1);
}

void disabled_color(wyndow t, bool disabled) {
  if (disabled) wyn::wsetforecolor(t, kGrey);
}

// The right end of drawn rows and of a last cell without right boundary.
int32_t RowRight(wyndow t) {
  rect_struct c;
  wyn::wgetclientrect(t, &c);
  return c.right > kMinRight ? c.right : kMinRight;
}

}  // namespace

uint8_t* libox::heap_font(const uint8_t* font) {
  uint32_t size;
  std::memcpy(&size, font - 4, 4);
  auto* block = static_cast<uint8_t*>(K::Memory::AllocAtomicHeap(size));
  std::memcpy(block, font - 4, size);
  return block + 4;
}

struct libox::row_geometry {
  int64_t bandBottom;
  int64_t height;
  int64_t clientBottom;
  int32_t right;
  int32_t left = 0, areaRight = 0;  // the list area a screen pass clears
};

// --- rows ---

uint32_t libox::get_row_height(wyndow t) {
  if (t.alt == wyndow::screen && db_row_height_.present) return checked::I2U(db_row_height_.value);
  if (t.alt == wyndow::prnt && db_row_height_.present) return checked::I2U(checked::Mul(db_row_height_.value, 3));
  if (t.alt == wyndow::wnull) return kNullRowHeight;
  int32_t w = 0, h = 0;
  wyn::wgettextextent(t, L"Hello", -1, &w, &h);
  return checked::I2U(h);
}

void libox::set_row_height(uint32_t height) { db_row_height_ = {true, checked::U2I(height)}; }

void libox::reset_font(wyndow t) {
  if (t.alt == wyndow::screen) wyn::wsetfont(t, xdb_font_);
}

// The font held stays when the new one has the same bytes: the screen key
// holds the font's address, and a refresh that sets the same font again
// repaints only the rows that changed.
bool libox::same_font(const uint8_t* font) const {
  if (!xdb_font_) return false;
  uint32_t a, b;
  std::memcpy(&a, xdb_font_ - 4, 4);
  std::memcpy(&b, font - 4, 4);
  return a == b && std::memcmp(xdb_font_ - 4, font - 4, a) == 0;
}

void libox::lbox_setfont(uint8_t* font, bool redraw) {
  if (!same_font(font)) xdb_font_ = heap_font(font);
  if (redraw) lbox_draw();
}

uint32_t libox::get_far_right_mod() {
  const uint32_t right = get_far_right();
  if (!db_vscroll_) return right;
  return checked::I2U(checked::Sub(checked::U2I(right), static_cast<int32_t>(kwi_GetAttrVal(kScrollBarWidthAttr))));
}

rect_struct libox::size_scroll2() {
  return {checked::U2I(get_far_right_mod()), checked::U2I(xtopp_), checked::U2I(get_far_right()), checked::U2I(xbott_)};
}

void libox::remove_selected_if_disabled() {
  for (uint32_t i = selected_.entries().size(); i-- > 0;) {
    const uint32_t row = selected_.entries()[i];
    if (disabled_.has(row)) selected_.remove(row);
  }
}

bool libox::find_drawn(uint32_t row, const drawn_row** found) const {
  for (const drawn_row& d : ndb_line_rct_)
    if (d.row == row) return *found = &d, true;
  return false;
}

uint32_t libox::get_nth_y(uint32_t row) {
  const drawn_row* d;
  if (!find_drawn(row, &d)) return 100;
  return checked::R2U(d->r.top + (double(d->r.bottom) - d->r.top) * 0.5);
}

bool libox::pnt_row(pnt_struct p, uint32_t* row, rect_struct* r, line* l) {
  for (const drawn_row& d : ndb_line_rct_)
    if (d.r.left <= p.x && p.x <= d.r.right && d.r.top <= p.y && p.y <= d.r.bottom) {
      *row = d.row, *r = d.r, *l = d.l;
      return true;
    }
  return false;
}

bool libox::y_row(uint32_t y, uint32_t* row, rect_struct* r) {
  for (const drawn_row& d : ndb_line_rct_)
    if (uint32_t(d.r.top) <= y && y <= uint32_t(d.r.bottom)) {
      *row = d.row, *r = d.r;
      return true;
    }
  return false;
}

bool libox::nd_row_tb(tav::Each<row_tb> k) {
  for (uint32_t i = 0; i < ndb_line_rct_.size(); ++i) {
    const drawn_row& d = ndb_line_rct_[i];
    if (tav::TrySolution(k, row_tb{d.row, d.l, uint32_t(d.r.top), uint32_t(d.r.bottom)})) return true;
  }
  return false;
}

// --- painting one row ---

void libox::set_selected_attributes(wyndow t) {
  if (t.alt != wyndow::screen) return;
  const LONG_PTR w = t.window;
  bool colored = false, italic = false, bold = false;
  for (const List<selected_prop>* p = sdb_selected_props_ ? sdb_selected_props_ : Nil<selected_prop>(); !p->Empty();
       p = p->tail) {
    colored = colored || p->head.alt == selected_prop::selected_is_colored;
    italic = italic || p->head.alt == selected_prop::selected_is_italic;
    bold = bold || p->head.alt == selected_prop::selected_is_bold;
  }
  if (colored && !db_sendback_.present) win_SetBackColor(w, kwi_GetAttrVal(kHighlightAttr));
  auto restyle = [&](bool keep, int style) {
    ilist_struct* styles;
    int size;
    uint8_t* font = win_GetFont(w);
    font_GetAttrs(font, &styles, &size);
    ilist_struct end{ListNil, 0, nullptr};
    ilist_struct head{ListCons, style, keep ? styles : &end};
    win_SetFont(w, font_SetAttrs(font, &head, size));
  };
  if (italic) restyle(false, kItalic);
  if (bold) restyle(true, kBold);
}

bool libox::draw_slist(wyndow t, uint32_t top, uint32_t bottom, uint32_t row, const SList* cells,
                       const List<uint32_t>* bounds, bool perimeter, bool disabled) {
  const int32_t tp = checked::U2I(top), bt = checked::U2I(bottom);
  for (int32_t column = 1; !cells->Empty(); cells = cells->tail, bounds = bounds->tail, ++column) {
    if (bounds->Empty()) return false;
    const wchar_t* text = cells->head;
    const bool last = cells->tail->Empty();
    const int32_t x1 = checked::U2I(bounds->head);
    if (bounds->tail->Empty()) {
      if (!last) return false;
      const int32_t right = RowRight(t);
      disabled_color(t, disabled);
      DrawText(t, {checked::Add(x1, 2), tp, right, bt}, text);
      draw_rct_perimiter(t, {x1, tp, right, bt}, perimeter);
      continue;
    }
    const rect_struct cell{x1, tp, checked::U2I(bounds->tail->head), bt};
    but_callback cb;
    if (wcscmp(text, L"X") == 0) {
      disabled_color(t, disabled);
      wyn::draw_tickinrect(t, cell);
      draw_rct_perimiter(t, cell, perimeter);
    } else if (ndb_button(int32_t(row), column, &cb)) {
      wyn::wsetbrush(t, Solid(kFace));
      wyn::wdrawrect(t, cell);
      DrawText(t, {checked::Add(x1, last ? 1 : 2), tp, cell.right, bt}, text);
      draw_rct_perimiter(t, cell, true);
    } else {
      disabled_color(t, disabled);
      DrawText(t, {checked::Add(x1, 2), tp, cell.right, bt}, text);
      draw_rct_perimiter(t, cell, perimeter);
    }
  }
  return true;
}

// draw_normal / draw_selected after the attributes: background < 0 keeps
// the current one.  The colour box is painted on screen only.
bool libox::paint_row(wyndow t, const line& l, uint32_t top, uint32_t bottom, uint32_t row, int32_t background,
                      bool disabled) {
  if (l.alt != line::stored) return false;
  if (background >= 0) wyn::wsetbackcolor(t, background);
  const List<uint32_t>* bounds = get_boundaries(t);
  const bool perimeter = has_data_prop(data_prop::has_cell_boundaries);
  if (t.alt == wyndow::screen && has_data_prop(data_prop::has_color_box)) {
    const uint32_t back = win_GetDrawTools(t.window)->backColour;
    win_SetBackColor(t.window, l.colour);
    win_SetForeColor(t.window, l.second);
    rect_struct box{1, checked::U2I(top), 20, checked::U2I(bottom)};
    ilist_struct end{ListNil, 0, nullptr};
    ilist_struct leftTop{ListCons, 5, &end};
    draw_TextInRect(t.window, &box, L"                        ", -1, &leftTop);
    win_SetBackColor(t.window, back);
  } else {
    wyn::wsetforecolor(t, l.second);
  }
  return draw_slist(t, top, bottom, row, l.cells, bounds, perimeter, disabled);
}

bool libox::my_draw_text(wyndow t, const line& l, uint32_t top, uint32_t bottom, uint32_t row) {
  const line shown = modify_line_if_has_checkbox(row, l);
  if (selected_.has(row)) {
    set_selected_attributes(t);
    return paint_row(t, shown, top, bottom, row, -1, false);
  }
  return paint_row(t, shown, top, bottom, row, kWhite, disabled_.has(row));
}

// --- the pass ---

// Paints the lines from display index `base` on, the first one row below
// the band, until the first row past the client bottom; the index of the
// first line not reached.
uint32_t libox::paint_rows(wyndow t, uint32_t base, const row_geometry& g, bool record) {
  const HeapArray<int32_t>& order = *display();
  if (g.height <= 0) return order.size();
  uint32_t seen = 0;
  for (uint32_t i = base; i < order.size(); ++i) {
    const int64_t top = g.bandBottom + int64_t(i + 1 - base) * g.height, bottom = top + g.height;
    if (bottom > g.clientBottom) return i;
    const uint32_t top32 = checked::I2U(checked::Narrow(top)), bottom32 = checked::I2U(checked::Narrow(bottom));
    const line l = read(order[i]);
    if (record && bottom32 > xbott_) xbott_ = bottom32;
    const uint32_t row = i + 1;
    const bool selected = selected_.has(row), disabled = disabled_.has(row);
    if (const drawn_row* same = diffing_ ? shown_row(&seen, row, l, int32_t(top32), selected, disabled) : nullptr) {
      ndb_line_rct_.push_back(*same);
      continue;
    }
    if (diffing_) {
      rect_struct area{g.left, int32_t(top32), g.areaRight, int32_t(bottom32)};
      win_Clear_1(t.window, &area, kWhite);
    }
    reset_font(t);
    if (!my_draw_text(t, l, top32, bottom32, row) || !record) continue;
    drawn_row d{row, heap_line(l), {0, int32_t(top32), g.right, int32_t(bottom32)}};
    d.selected = selected, d.disabled = disabled;
    ndb_line_rct_.push_back(d);
  }
  return order.size();
}

// The previous pass's record of `row` when it shows the same line at the
// same place in the same state; `at` walks the previous rows in order.
const drawn_row* libox::shown_row(uint32_t* at, uint32_t row, const line& l, int32_t top, bool selected,
                                  bool disabled) const {
  while (*at < shown_rows_.size() && shown_rows_.begin()[*at].row < row) ++*at;
  if (*at >= shown_rows_.size()) return nullptr;
  const drawn_row& d = shown_rows_.begin()[*at];
  if (d.row != row || d.stale || d.r.top != top || d.selected != selected || d.disabled != disabled) return nullptr;
  // The reference does not show: a list filled again keeps its unchanged rows.
  if (d.l.alt != l.alt || d.l.colour != l.colour || d.l.second != l.second) return nullptr;
  const SList *a = d.l.cells, *b = l.cells;
  for (; !a->Empty() && !b->Empty(); a = a->tail, b = b->tail)
    if (wcscmp(a->head, b->head) != 0) return nullptr;
  return a->Empty() && b->Empty() ? &d : nullptr;
}

void libox::mark_stale(uint32_t row) {
  for (uint32_t i = 0; i < ndb_line_rct_.size(); ++i)
    if (ndb_line_rct_[i].row == row) ndb_line_rct_[i].stale = true;
}

// Everything besides the rows that a screen pass's pixels depend on.
void libox::screen_key(const rect_struct& client, const row_geometry& g, int64_t clearY, HeapArray<int32_t>* key) {
  key->clear();
  auto pointer = [&](const void* p) {
    const uint64_t v = reinterpret_cast<uintptr_t>(p);
    key->push_back(int32_t(v));
    key->push_back(int32_t(v >> 32));
  };
  for (int32_t v : {client.left, client.top, client.right, client.bottom, g.left, g.areaRight, g.right,
                    int32_t(g.bandBottom), int32_t(g.height), int32_t(clearY < client.bottom ? clearY : client.bottom)})
    key->push_back(v);
  pointer(xdb_font_);
  pointer(sdb_selected_props_);
  pointer(sdb_data_props_);
  key->push_back(db_sendback_.present);
  for (const List<uint32_t>* b = get_boundaries(thiswyn_); !b->Empty(); b = b->tail) key->push_back(int32_t(b->head));
  key->push_back(-1);
  for (const button_cell& b : ndb_button_) key->push_back(b.row), key->push_back(b.column);
}

void libox::lbox_drawit(wyndow t, bool direct) {
  const bool onScreen = t.alt == wyndow::screen;
  rect_struct client;
  wyn::wgetclientrect(t, &client);
  const int32_t left = checked::U2I(get_left()), areaRight = checked::U2I(get_far_right_mod());
  const int32_t areaBottom = client.bottom > kMinRight ? client.bottom : kMinRight;
  diffing_ = false;
  fix_lr();  // the boundaries as the titles will draw them
  if (onScreen) remove_selected_if_disabled();
  const title_tb band = get_good_title_tb(t);
  HeapArray<int32_t> key;
  if (onScreen && band.alt == title_tb::band) {
    const row_geometry g{band.bottom, get_row_height(t), client.bottom, RowRight(t), left, areaRight};
    int64_t y = g.bandBottom + (int64_t(display()->size()) + 1 - sdb_offset_) * g.height;
    screen_key(client, g, y, &key);
    const bool sameKey = key.size() == shown_key_.size() &&
                         std::memcmp(key.begin(), shown_key_.begin(), key.size() * sizeof(int32_t)) == 0;
    diffing_ = direct && screen_current_ && sameKey && !GetUpdateRect(reinterpret_cast<HWND>(t.window), nullptr, FALSE);
  }
  if (onScreen) {
    std::swap(shown_rows_, ndb_line_rct_);
    ndb_line_rct_ = HeapArray<drawn_row>();
    screen_current_ = false;
    if (!diffing_) {
      // A direct pass also clears left of the list, as the window's erase
      // would: else the paint owed there draws every row again.
      rect_struct all{direct ? client.left : left, 0, areaRight, areaBottom};
      win_Clear_1(t.window, &all, kWhite);
    }
    reset_font(t);
  }
  col_draw_titles(t);
  wyn::wsetpen(t, Pen(kBlack));
  wyn::wsetbrush(t, Solid(kWhite));
  if (band.alt == title_tb::band) {
    const row_geometry g{band.bottom, get_row_height(t), client.bottom, RowRight(t), left, areaRight};
    xbott_ = 0;
    reset_font(t);
    wyn::wsetbackmode(t, 2);
    wyn::wsetbackcolor(t, kWhite);
    sdb_count_ = sdb_number_of_lines_ = display()->size();
    paint_rows(t, sdb_offset_, g, true);
    // Clear below the last line, never above the first row.
    int64_t y = g.bandBottom + (int64_t(sdb_number_of_lines_) + 1 - sdb_offset_) * g.height;
    if (y < g.bandBottom + g.height) y = g.bandBottom + g.height;
    if (y < client.bottom && !diffing_) {
      wyn::wsetbackcolor(t, kWhite);
      wyn::wsetpen(t, Pen(kBlack, 5));
      wyn::wsetbrush(t, Solid(kWhite));
      wyn::wdrawrect(t, {client.left, int32_t(y), client.right, client.bottom});
    }
  }
  wyn::wsetpen(t, Pen(kBlack));
  if (onScreen) {
    shown_rows_ = HeapArray<drawn_row>();
    diffing_ = false;
    std::swap(shown_key_, key);
    if (direct) {
      // The whole list area now shows this pass: the paint it was owed
      // would draw the same.
      RECT area{client.left, 0, areaRight, areaBottom};
      ValidateRect(reinterpret_cast<HWND>(t.window), &area);
      screen_current_ = band.alt == title_tb::band;
    }
  }
}

void libox::lbox_draw() {
  build_index();
  uint8_t* mark = K::Memory::MarkGStack();
  uint32_t code = 0;
  if (thiswyn_.alt == wyndow::screen) {
    // Outside an update event the context is acquired here: the pass then
    // knows it draws directly.
    const wyn::held h = wyn::hold(thiswyn_.window);
    code = K::RunTrapped([&] { lbox_drawit(thiswyn_, h.acquired != 0); });
    wyn::release(h);
  } else {
    code = K::RunTrapped([&] { lbox_drawit(thiswyn_); });
  }
  K::Memory::ReleaseGStack(mark);
  if (code) K::Errors::Qel_ErrorExit(code);
  update_scroll();
}

void libox::try_lbox_draw() {
  if (!db_cb_sel_.present) lbox_draw();
}

// --- hover ---

void libox::allow_highlight(bool on) { boo_allow_highlight_ = on; }

// A row's rectangle in one colour, then the pass's pen and font.
void libox::fill_row(wyndow t, rect_struct r, uint32_t colour) {
  wyn::wsetbrush(t, Solid(colour));
  wyn::wsetpen(t, Pen(colour));
  wyn::wdrawrect(t, r);
  wyn::wsetpen(t, Pen(kBlack));
  reset_font(t);
}

void libox::redraw_last_already() {
  if (!already_.present) return;
  already_.present = false;
  const drawn_row* d;
  if (!find_drawn(already_.value, &d)) return;
  const wyndow t = thiswyn_;
  mark_stale(d->row);
  fill_row(t, d->r, kWhite);
  my_draw_text(t, d->l, d->r.top, d->r.bottom, d->row);
}

void libox::mousemove_to_highlight(uint32_t y) {
  if (!boo_allow_highlight_) return;
  const drawn_row* hit = nullptr;
  for (const drawn_row& d : ndb_line_rct_)
    if (uint32_t(d.r.top) <= y && y <= uint32_t(d.r.bottom) && !(already_.present && already_.value == d.row)) {
      hit = &d;
      break;
    }
  if (!hit) return;
  redraw_last_already();
  already_ = {true, hit->row};
  mark_stale(hit->row);
  const wyndow t = thiswyn_;
  fill_row(t, hit->r, kHover);
  if (selected_.has(hit->row)) set_selected_attributes(t);
  paint_row(t, modify_line_if_has_checkbox(hit->row, hit->l), hit->r.top, hit->r.bottom, hit->row, kHover,
            disabled_.has(hit->row));
}

// --- buttons, inversion, grab ---

void libox::make_button(int32_t row, int32_t column, but_callback cb) {
  for (uint32_t i = ndb_button_.size(); i-- > 0;)
    if (ndb_button_[i].row == row && ndb_button_[i].column == column) ndb_button_.erase(i);
  ndb_button_.push_back({row, column, cb});
}

void libox::remove_all_buttons() { ndb_button_.clear(); }

bool libox::ndb_button(int32_t row, int32_t column, but_callback* cb) const {
  for (const button_cell& b : ndb_button_)
    if (b.row == row && b.column == column) return *cb = b.cb, true;
  return false;
}

void libox::swap_selection() {
  HeapArray<uint32_t> old;
  for (uint32_t row : selected_.entries()) old.push_back(row);
  selected_.clear();
  build_selected(1, sdb_number_of_lines_, old);
  lbox_draw();
}

bool libox::grab_a_line(pnt_struct p) {
  uint32_t row;
  rect_struct r;
  line l;
  if (!pnt_row(p, &row, &r, &l)) return false;
  if (l.alt != line::stored || l.cells->Empty() || thiswyn_.alt != wyndow::screen) return false;
  drag_in_taskwin::set_dragging_item({thiswyn_.window, r, L"libox_class", l.cells->head});
  return true;
}

// --- printing and copying ---

void libox::print_pages(LONG_PTR printer, uint8_t* font) {
  const wyndow t = Prnt(printer);
  const uint32_t total = display()->size();
  uint32_t next = 0;
  do {
    print_StartPage(printer);
    // A page starts with the device's font; the chosen one at three times
    // its size, as the printed band and columns.
    wyn::wsetfont(t, font);
    col_draw_titles(t);
    wyn::wsetpen(t, Pen(kBlack));
    wyn::wsetbrush(t, Solid(kWhite));
    const title_tb band = get_good_title_tb(t);
    rect_struct client;
    wyn::wgetclientrect(t, &client);
    const row_geometry g{band.bottom, get_row_height(t), client.bottom, RowRight(t)};
    wyn::wsetbackmode(t, 2);
    wyn::wsetbackcolor(t, kWhite);
    const uint32_t reached = paint_rows(t, next, g, false);
    wyn::wsetpen(t, Pen(kBlack));
    print_EndPage(printer);
    if (reached == next) break;  // not one row fits on a page
    next = reached;
  } while (next < total);
}

bool libox::lbox_print(const wchar_t* title) {
  u16* face;
  int size;
  uint8_t* font = nullptr;
  if (!K::Succeeds([&] { font = heap_font(dlg_ChooseFont(font_Create(4, nullptr, 24), &face, &size)); })) return false;
  const LONG_PTR printer = print_StartJob(title);
  uint8_t* mark = K::Memory::MarkGStack();
  const uint32_t error = K::RunTrapped([&] { print_pages(printer, font); });
  K::Memory::ReleaseGStack(mark);
  print_EndJob(printer);
  if (error) K::Errors::Qel_ErrorExit(error);
  return true;
}

void libox::to_exel_cb() {
  put_sheet();
  myKWI::note(L"You may now paste to (eg) Excel");
}

}  // namespace rizediveva6
