// Column model and header row: see the header.
#include "KWI/orvtoolkwi/column.h"

#include <cwchar>

#include "SYSTEM/myKWI/myKWI.h"
#include "SYSTEM/options/options_db.h"
#include "stream/stream.h"

namespace rizediveva6 {

using namespace QEL_KWI;

const tav::ClassInfo column::classInfo{L"qel6pack/OrvTool/column_class", TAV_CLASS_VERSION};

namespace {

constexpr int64_t kMinWidth = 20;
constexpr int64_t kAddedWidth = 100;
constexpr int kScrollBarWidthAttr = 204;

bool Same(const wchar_t* a, const wchar_t* b) { return a && b && wcscmp(a, b) == 0; }

// Borders included, as the GUI layer's rect_PntInside.
bool Inside(const rect_struct& r, pnt_struct p) {
  return r.left <= p.x && p.x <= r.right && r.top <= p.y && p.y <= r.bottom;
}

uint32_t Checked(int64_t v) {
  if (v < 0 || v > UINT32_MAX) RaiseRangeError();
  return static_cast<uint32_t>(v);
}

int32_t Times3(int32_t v) {
  const int64_t r = int64_t(v) * 3;
  if (r < INT32_MIN || r > INT32_MAX) tav::RaiseIntegerOverflow();
  return static_cast<int32_t>(r);
}

}  // namespace

column* column::new_column(wyndow target, const wchar_t* name) {
  column* c = tav::NewObject<column>();
  c->init_column(target, name);
  return c;
}

void column::init_column(wyndow target, const wchar_t* name) {
  xname_ = tav::HeapCopy(name);
  xwyn_ = target;
  xdb_boundaries_.push_back(0);
  xdb_boundaries_.push_back(200);
  load_saved();
}

// The saved boundaries under the list's name; an empty list, or one with a
// negative value, would break every later edge computation and is ignored.
bool column::load_saved() {
  const IntList* saved;
  if (!options_db::various_ilist(xname_, &saved) || saved->Empty()) return false;
  for (const IntList* l = saved; !l->Empty(); l = l->tail)
    if (l->head < 0) return false;
  xdb_boundaries_.clear();
  for (const IntList* l = saved; !l->Empty(); l = l->tail) xdb_boundaries_.push_back(uint32_t(l->head));
  return true;
}

void column::set_boundaries(const HeapArray<int64_t>& values) {
  for (int64_t v : values) Checked(v);
  xdb_boundaries_.clear();
  for (int64_t v : values) xdb_boundaries_.push_back(uint32_t(v));
}

// The options file is written only when the boundaries differ from the
// saved ones: closing a list whose edges did not move writes nothing.
bool column::saved_equal() {
  const IntList* saved;
  if (!options_db::various_ilist(xname_, &saved)) return false;
  for (uint32_t v : xdb_boundaries_) {
    if (saved->Empty() || saved->head != static_cast<int32_t>(v)) return false;
    saved = saved->tail;
  }
  return saved->Empty();
}

void column::save_col_widths() {
  if (saved_equal()) return;
  ListBuilder<int32_t> b;
  for (uint32_t v : xdb_boundaries_) b.Add(static_cast<int32_t>(v));
  options_db::various_ilist(xname_, reinterpret_cast<const IntList*>(b.Finish()));
}

// --- title band and texts ---

void column::set_title_tb(title_tb band) { x_title_tb_ = band; }
title_tb column::get_title_tb() { return x_title_tb_; }

title_tb column::get_good_title_tb(wyndow w) {
  if (x_title_tb_.alt != title_tb::band || w.alt == wyndow::wnull) return TitleTb(0, 0);
  if (w.alt == wyndow::screen) return x_title_tb_;
  return TitleTb(Checked(int64_t(x_title_tb_.top) * 3), Checked(int64_t(x_title_tb_.bottom) * 3));
}

void column::set_title(uint32_t ref, const wchar_t* title) {
  for (uint32_t i = ndb_title_.size(); i-- > 0;)
    if (ndb_title_[i].ref == ref) ndb_title_.erase(i);
  ndb_title_.push_back({ref, tav::HeapCopy(title)});
}

bool column::title_text(uint32_t ref, const wchar_t** text) const {
  for (const title_entry& t : ndb_title_)
    if (t.ref == ref) return *text = t.title, true;
  return false;
}

const wchar_t* column::get_title(uint32_t ref) {
  const wchar_t* text;
  return title_text(ref, &text) ? text : L"unknown";
}

void column::show_title_or_not(bool show) { boo_show_title_ = show; }
void column::prevent_col_reorder(bool prevent) { boo_prevent_reorder_ = prevent; }

bool column::set_title_color(const wchar_t* name, int32_t colour) {
  for (uint32_t i = 0; i < ndb_col_.size(); ++i) {
    if (!Same(ndb_col_[i].name, name)) continue;
    col_entry e = ndb_col_[i];
    e.colour = colour;
    ndb_col_.erase(i);
    ndb_col_.push_back(e);
    return true;
  }
  return false;
}

// --- boundaries ---

void column::repair_size() {
  for (uint32_t i = 1; i < xdb_boundaries_.size(); ++i) {
    const int64_t least = int64_t(xdb_boundaries_[i - 1]) + kMinWidth;
    if (xdb_boundaries_[i] <= least) xdb_boundaries_[i] = Checked(least);
  }
}

void column::set_left(uint32_t x) {
  if (xdb_boundaries_.empty()) {
    xdb_boundaries_.push_back(x);
    xdb_num_cols_ = 0;
  } else {
    xdb_boundaries_[0] = x;
  }
  repair_size();
}

void column::set_right(bool lessScrollBar, int64_t x) {
  const int64_t r = x - (lessScrollBar ? int64_t(kwi_GetAttrVal(kScrollBarWidthAttr)) : 0);
  const uint32_t right = Checked(r);
  if (xdb_boundaries_.empty()) return xdb_boundaries_.push_back(right);
  for (uint32_t i = 0; i + 1 < xdb_boundaries_.size(); ++i)
    if (xdb_boundaries_[i] >= right) xdb_boundaries_[i] = right;
  xdb_boundaries_.back() = right;
}

uint32_t column::get_left() { return xdb_boundaries_.empty() ? 0 : xdb_boundaries_[0]; }
uint32_t column::get_far_right() { return xdb_boundaries_.empty() ? 10 : xdb_boundaries_.back(); }

const List<uint32_t>* column::make_xs(const List<uint32_t>* widths) {
  ListBuilder<uint32_t> b;
  int64_t x = 1;
  for (; !widths->Empty(); widths = widths->tail) {
    x += widths->head;
    b.Add(Checked(x));
  }
  b.Add(uint32_t(x));
  return b.Finish();
}

void column::set_col_widths(bool useGiven, const List<uint32_t>* widths) {
  if (useGiven || !load_saved()) {
    const List<uint32_t>* xs = make_xs(widths);
    xdb_boundaries_.clear();
    for (; !xs->Empty(); xs = xs->tail) xdb_boundaries_.push_back(xs->head);
  }
  if (xwyn_.alt == wyndow::screen) win_Invalidate_0(xwyn_.window);
}

const List<uint32_t>* column::get_boundaries(wyndow w) {
  ListBuilder<uint32_t> b;
  for (uint32_t v : xdb_boundaries_) b.Add(w.alt == wyndow::screen ? v : Checked(int64_t(v) * 3));
  return b.Finish();
}

void column::fix_lr() {
  for (;;) {
    const uint32_t nb = xdb_boundaries_.size();
    if (nb == xdb_num_cols_ + 1) break;
    if (nb > xdb_num_cols_ + 1) {
      xdb_boundaries_.erase(nb - 1);
      continue;
    }
    const int64_t next = nb ? int64_t(xdb_boundaries_.back()) + kAddedWidth : kAddedWidth;
    if (next > UINT32_MAX) {
      myKWI::note(L"Error 544 in column");
      break;
    }
    xdb_boundaries_.push_back(uint32_t(next));
  }
  repair_size();
}

void column::reset_border(uint32_t k, int64_t x) {
  if (k < 1 || k > xdb_boundaries_.size()) return;
  const int64_t shift = x - int64_t(xdb_boundaries_[k - 1]);
  HeapArray<int64_t> moved;
  for (uint32_t i = 0; i < xdb_boundaries_.size(); ++i)
    moved.push_back(int64_t(xdb_boundaries_[i]) + (i + 1 >= k ? shift : 0));
  set_boundaries(moved);
}

// --- columns ---

uint32_t column::add_col(const wchar_t* name) {
  ++xdb_num_cols_;
  const uint32_t ref = ++xdb_ref_;
  ndb_col_.push_back({tav::HeapCopy(name), ref, 0});
  xdb_col_xrefs_.push_back(ref);
  return ref;
}

const List<uint32_t>* column::add_cols(const SList* names) {
  ListBuilder<uint32_t> refs;
  for (; !names->Empty(); names = names->tail) refs.Add(add_col(names->head));
  return refs.Finish();
}

void column::remove_from_order(uint32_t ref) {
  for (uint32_t i = 0; i < xdb_col_xrefs_.size(); ++i)
    if (xdb_col_xrefs_[i] == ref) return xdb_col_xrefs_.erase(i);
  myKWI::note(L"Error 76 in column");
}

bool column::remove_col(const wchar_t* name) {
  for (uint32_t i = 0; i < ndb_col_.size(); ++i) {
    if (!Same(ndb_col_[i].name, name)) continue;
    const uint32_t ref = ndb_col_[i].ref;
    ndb_col_.erase(i);
    --xdb_num_cols_;
    remove_from_order(ref);
    return true;
  }
  return false;
}

void column::remove_all_cols() {
  HeapArray<const wchar_t*> names;
  for (const col_entry& e : ndb_col_) names.push_back(e.name);
  for (const wchar_t* n : names) remove_col(n);
}

const column::col_entry* column::entry_of(uint32_t ref) const {
  for (const col_entry& e : ndb_col_)
    if (e.ref == ref) return &e;
  return nullptr;
}

bool column::span(uint32_t position, int64_t* left, int64_t* right) const {
  const uint32_t n = xdb_boundaries_.size();
  if (n == 0) return *left = 100, *right = 200, true;
  const uint32_t i = position - 1 < n - 1 ? position - 1 : n - 1;
  *left = xdb_boundaries_[i];
  *right = i + 1 < n ? int64_t(xdb_boundaries_[i + 1]) : *left + kAddedWidth;
  return true;
}

bool column::nd_cols(tav::Each<col_at> k) {
  const bool band = x_title_tb_.alt == title_tb::band;
  const int32_t top = band ? int32_t(x_title_tb_.top) : 0;
  const int32_t bottom = band ? int32_t(x_title_tb_.bottom) : 0;
  for (uint32_t i = 0; i < xdb_col_xrefs_.size(); ++i) {
    const uint32_t position = i + 1;
    const col_entry* e = entry_of(xdb_col_xrefs_[i]);
    if (!e) continue;
    int64_t l, r;
    span(position, &l, &r);
    const col_at at{{e->name, e->ref, {int32_t(l), top, int32_t(r), bottom}, e->colour}, position};
    if (tav::TrySolution(k, at)) return true;
  }
  return false;
}

bool column::nth_col(uint32_t n, col_info* hit) {
  return nd_cols([&](col_at at) {
    if (at.position != n) Qel::RunTime::Kernel::Fail();
    *hit = at.info;
  });
}

bool column::position_of(uint32_t ref, uint32_t* position) {
  return nd_cols([&](col_at at) {
    if (at.info.ref != ref) Qel::RunTime::Kernel::Fail();
    *position = at.position;
  });
}

// --- hit tests ---

bool column::pnt_col(bool titleOnly, pnt_struct p, col_at* hit) {
  return nd_cols([&](col_at at) {
    rect_struct area = at.info.titleRect;
    if (!titleOnly) area.bottom = area.top + 1000;
    if (!Inside(area, p)) Qel::RunTime::Kernel::Fail();
    *hit = at;
  });
}

bool column::pnt_command(pnt_struct p, col_info* hit) {
  col_at at;
  if (!pnt_col(true, p, &at)) return false;
  const rect_struct& r = at.info.titleRect;
  if (!Inside({r.right - 10, r.bottom - 10, r.right, r.bottom}, p)) return false;
  *hit = at.info;
  return true;
}

bool column::pnt_col(pnt_struct p, uint32_t* position) {
  const uint32_t n = xdb_boundaries_.size();
  if (n == 0) return false;
  if (p.x < int64_t(xdb_boundaries_[0])) return *position = 0, true;
  for (uint32_t k = 1; k < n; ++k)
    if (p.x < int64_t(xdb_boundaries_[k])) return *position = k, true;
  return false;
}

bool column::mouse_on_col(pnt_struct p, uint32_t* boundary) {
  if (x_title_tb_.alt != title_tb::band) return false;
  if (p.y < int64_t(x_title_tb_.top) || p.y > int64_t(x_title_tb_.bottom)) return false;
  for (uint32_t i = 0; i < xdb_boundaries_.size(); ++i) {
    const int64_t d = int64_t(xdb_boundaries_[i]) - p.x;
    if (d > -7 && d < 7) return *boundary = i + 1, true;
  }
  return false;
}

// --- drawing ---

void column::col_draw_titles(wyndow w) {
  wyn::wsetbackmode(w, 1);
  fix_lr();
  const bool print = w.alt == wyndow::prnt;
  nd_cols([&](col_at at) {
    rect_struct r = at.info.titleRect;
    if (print) r = {Times3(r.left), Times3(r.top), Times3(r.right), Times3(r.bottom)};
    const wchar_t* text = at.info.name;
    if (boo_show_title_ && !title_text(at.info.ref, &text)) Qel::RunTime::Kernel::Fail();
    wyn::wdrawbutton(w, brush_struct{2, 0xC0C0C0}, r);
    wyn::wsetforecolor(w, at.info.titleColour);
    ilist_struct centre{1, 2, nullptr};
    ilist_struct end{2, 0, nullptr};
    centre.next = &end;
    wyn::wdrawtextinrect(w, r, text, -1, &centre);
    Qel::RunTime::Kernel::Fail();  // on to the next column
  });
}

// --- moving columns and edges ---

void column::reorder(uint32_t moved, uint32_t target) {
  if (moved == target) return;
  bool present = false;
  for (uint32_t r : xdb_col_xrefs_) present = present || r == target;
  if (!present) return;
  remove_from_order(moved);
  for (uint32_t i = 0; i < xdb_col_xrefs_.size(); ++i)
    if (xdb_col_xrefs_[i] == target) return xdb_col_xrefs_.insert(i, moved);
}

void column::reorder_cols(const drag_obj_dom& kind, uint32_t ref, pnt_struct p) {
  switch (kind.alt) {
    case drag_obj_dom::move: {
      col_at on;
      if (!boo_prevent_reorder_ && pnt_col(true, p, &on)) reorder(ref, on.info.ref);
      return;
    }
    case drag_obj_dom::right: {
      uint32_t position;
      if (position_of(ref, &position)) reset_border(position + 1, p.x);
      return;
    }
    case drag_obj_dom::left: {
      uint32_t position;
      if (position_of(ref, &position) && position == 1) set_left(Checked(p.x));
      return;
    }
    default:
      return;
  }
}

// Each step of an edge drag starts from the edges at the press, so that the
// repair of one step's drawing does not add to the next step's shift.
void column::restore_drag_start() {
  xdb_boundaries_.clear();
  for (uint32_t v : dragStart_) xdb_boundaries_.push_back(v);
}

bool column::is_dragging_col(uint32_t* ref) {
  if (!drag_) return false;
  *ref = dragRef_;
  return true;
}

bool column::try_drag_col(pnt_struct p) {
  if (drag_) {
    drag_obj_dom kind;
    if (!drag_->drag_it(p, &kind) || kind.alt == drag_obj_dom::move) return false;
    restore_drag_start();
    reorder_cols(kind, dragRef_, p);
    col_draw_titles(xwyn_);
    return true;
  }
  col_at on;
  if (!pnt_col(true, p, &on) || xwyn_.alt != wyndow::screen) return false;
  const direct horizontal{direct::horz_only, {grainy::smooth, 0}};
  drag_ = drag_rct::new_drag_rct(xwyn_.window, on.info.titleRect, p, horizontal, allow_stetch::stretch_only);
  dragRef_ = on.info.ref;
  dragStart_.clear();
  for (uint32_t v : xdb_boundaries_) dragStart_.push_back(v);
  return true;
}

bool column::drop_col(pnt_struct p) {
  drag_rct* d = drag_;
  if (!d) return false;
  drag_ = nullptr;
  if (xwyn_.alt != wyndow::screen) return false;
  rect_struct final, start;
  drag_obj_dom kind;
  if (!d->drop_it(p, &final, &kind, &start)) return false;
  if (kind.alt != drag_obj_dom::move) restore_drag_start();
  reorder_cols(kind, dragRef_, p);
  win_Invalidate_0(xwyn_.window);
  return true;
}

}  // namespace rizediveva6
