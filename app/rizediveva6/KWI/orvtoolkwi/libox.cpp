// The list box's line store, order, selection and properties: see the header.
#include "KWI/orvtoolkwi/libox.h"

#include <windows.h>

#include <cstring>
#include <cwchar>
#include <new>

#include "KWI/Wyn/checked.h"
#include "SYSTEM/myKWI/myKWI.h"
#include "kwi/kwi.h"
#include "unit.h"

namespace rizediveva6 {

using namespace QEL_KWI;
using tav::chainDB;
using tav::place;
namespace K = Qel::RunTime::Kernel;
using tav::IDomainDefinition;
using tav::term;

const tav::ClassInfo libox::classInfo{L"qel6pack/OrvTool/libox_class", L"0"};
const wchar_t* const libox::kChain = L"lbox_cust";
const wchar_t* const libox::kIndex = L"btlibox";

namespace {

constexpr int kScrollBarId = 99;
constexpr int kVScrollKind = 12;
constexpr int kScrollBarWidthAttr = 204;
constexpr int kArial = 4;
const wchar_t kNoText[] = L"zzzz";

const IDomainDefinition* LineDomain() { return tav::D(domains::line); }

line FromTerm(term t) {
  const auto* s = reinterpret_cast<const line_image*>(t);
  if ((s->functor & 0xFF) == line::stored) return {line::stored, s->ref, AsSList(s->cells), s->colour, s->second};
  const auto* n = reinterpret_cast<const line_no_image*>(t);
  return {line::line_no, 0, AsSList(n->cells), n->colour, n->second};
}

term StoredTerm(const line& l, int32_t ref) {
  auto* s = static_cast<line_image*>(tav::GStackAlloc(sizeof(line_image)));
  *s = {line::stored, ref, AsStringList(l.cells), l.colour, l.second};
  return reinterpret_cast<term>(s);
}

bool Same(const wchar_t* a, const wchar_t* b) { return wcscmp(a, b) == 0; }

// The libox object with its finaliser: the database goes first, its errors
// dropped.
libox* Allocate() {
  static const Qel::RunTime::Objects::RClassDescriptorInfo info{sizeof(libox), 1};
  void* block = Qel::RunTime::Objects::AllocateObject(&info, [](void* b) {
    TrapAndForget([&] { static_cast<libox*>(b)->delete_db(); });
  });
  memset(block, 0, sizeof(libox));
  return new (block) libox();
}

}  // namespace

// --- RowSet ---

void RowSet::add(uint32_t row) {
  if (has(row)) return;
  if (row < kDense) {
    if (row >= flags_.size()) {
      flags_.reserve(row + 1);
      while (flags_.size() <= row) flags_.push_back(0);
    }
    flags_[row] = 1;
  }
  entries_.push_back(row);
}

bool RowSet::remove(uint32_t row) {
  if (!has(row)) return false;
  if (row < kDense) flags_[row] = 0;
  for (uint32_t i = 0; i < entries_.size(); ++i)
    if (entries_[i] == row) {
      entries_.erase(i);
      break;
    }
  return true;
}

void RowSet::clear() {
  for (uint32_t row : entries_)
    if (row < kDense) flags_[row] = 0;
  entries_.clear();
}

// --- creation and the database ---

libox* libox::new_(const wchar_t* name, wyndow target) {
  libox* l = Allocate();
  l->init_libox(name, target);
  return l;
}

void libox::init_libox(const wchar_t* name, wyndow target) {
  init_column(target, name);
  xchaindb_ = chainDB::db_create(name, place::in_memory);
  xdbname_ = tav::HeapCopy(name);
  thiswyn_ = target;
  xdb_font_ = heap_font(font_Create(kArial, nullptr, 9));
  if (target.alt == wyndow::screen) {
    rect_struct r = *win_GetClientRect(target.window);
    r.left = checked::Sub(r.right, static_cast<int32_t>(kwi_GetAttrVal(kScrollBarWidthAttr)));
    r.top = 0;
    ilist_struct none{ListNil, 0, nullptr};
    db_vscroll_ = win_CreateControl(kVScrollKind, &r, L"", target.window, &none, kScrollBarId);
    // The bar paints its own strip: the window need not paint under it, a
    // paint the events below would otherwise run for the strip alone.
    const RECT strip{r.left, r.top, r.right, r.bottom};
    ValidateRect(reinterpret_cast<HWND>(target.window), &strip);
  }
  tav::kwi::processevents();
}

chainDB* libox::db() const {
  if (!xchaindb_) K::Errors::RunTimeError(329, L"xchaindb", L"libox");
  return xchaindb_;
}

void libox::delete_db() {
  if (!xdbname_ || !*xdbname_) return;
  const wchar_t* name = xdbname_;
  xdbname_ = L"";
  chainDB* d = xchaindb_;
  xchaindb_ = nullptr;
  db_bt_class_ = nullptr;
  chain_.clear();
  sorted_.clear();
  lines_ = HeapArray<line>();
  cached_count_ = 0;
  d->db_close();
  TrapAndForget([&] { chainDB::db_delete(name, place::in_memory); });
}

LONG_PTR libox::get_vscroll() const { return db_vscroll_; }

// --- lines ---

line libox::heap_line(const line& l) {
  ListBuilder<const wchar_t*> cells(true);
  for (const SList* c = l.cells; !c->Empty(); c = c->tail) cells.Add(tav::HeapCopy(c->head));
  line out = l;
  out.cells = cells.Finish();
  return out;
}

namespace {

// The home slot of a reference in a table of `size` (a power of two) slots:
// the top bits of the product.  References are offsets of records in the
// store, multiples of their records' size; the low bits of the product
// depend only on the low bits of the reference, so they would put every
// line on a few homes and a read would probe a long run.
uint32_t Slot(int32_t ref, uint32_t size) {
  return size > 1 ? (uint32_t(ref) * 2654435761u) >> (32 - __builtin_ctz(size)) : 0;
}

}  // namespace

const line* libox::cached(int32_t ref) const {
  const uint32_t n = lines_.size();
  if (n == 0) return nullptr;
  for (uint32_t i = Slot(ref, n);; i = (i + 1) & (n - 1)) {
    const line& l = lines_[i];
    if (!l.cells) return nullptr;
    if (l.ref == ref) return &l;
  }
}

// The decoded copy of a line just written; the table doubles before it is
// half full.
void libox::cache_line(int32_t ref, const line& l) {
  if (line* same = const_cast<line*>(cached(ref))) {
    *same = heap_line({line::stored, ref, l.cells, l.colour, l.second});
    return;
  }
  if (uint64_t(cached_count_ + 1) * 2 > lines_.size()) {
    HeapArray<line> old = lines_;
    lines_ = HeapArray<line>();
    const uint32_t size = old.size() ? old.size() * 2 : 64;
    lines_.reserve(size);
    for (uint32_t i = 0; i < size; ++i) lines_.push_back(line{0, 0, nullptr, 0, 0});
    for (const line& e : old)
      if (e.cells) {
        uint32_t i = Slot(e.ref, size);
        while (lines_[i].cells) i = (i + 1) & (size - 1);
        lines_[i] = e;
      }
  }
  const uint32_t size = lines_.size();
  uint32_t i = Slot(ref, size);
  while (lines_[i].cells) i = (i + 1) & (size - 1);
  lines_[i] = heap_line({line::stored, ref, l.cells, l.colour, l.second});
  ++cached_count_;
}

line libox::read(int32_t ref) const {
  db();
  if (const line* l = cached(ref)) return *l;
  return FromTerm(db()->ref_term(LineDomain(), ref));
}

void libox::add_line(const line& l) {
  if (l.alt != line::line_no) return;
  auto* n = static_cast<line_no_image*>(tav::GStackAlloc(sizeof(line_no_image)));
  *n = {line::line_no, AsStringList(l.cells), l.colour, l.second};
  int32_t ref;
  db()->chain_insertz(LineDomain(), kChain, reinterpret_cast<term>(n), &ref);
  db()->term_replace(LineDomain(), ref, StoredTerm(l, ref));
  cache_line(ref, l);
  chain_.push_back(ref);
  changed_ = true;
}

void libox::replace_line(const line& l) {
  if (l.alt != line::stored) return myKWI::note(L"Error 866 in libox");
  db()->term_replace(LineDomain(), l.ref, StoredTerm(l, l.ref));
  cache_line(l.ref, l);
  changed_ = true;
}

void libox::lbox_add(const List<const SList*>* rows) {
  for (; !rows->Empty(); rows = rows->tail) add_line(LineNo(rows->head));
}

void libox::lbox_add_slist(const SList* cells) {
  for (; !cells->Empty(); cells = cells->tail) add_line(LineNo(Cons<const wchar_t*>(cells->head, Nil<const wchar_t*>())));
}

void libox::lbox_add_lines(const List<line>* lines) {
  lbox_clear();
  for (; !lines->Empty(); lines = lines->tail) add_line(lines->head);
}

void libox::lbox_clear() {
  db()->chain_delete(kChain);
  del_index();
  chain_.clear();
  lines_ = HeapArray<line>();
  cached_count_ = 0;
  sorted_.clear();
  changed_ = true;
}

bool libox::nd_line_ordered(tav::Each<const line*> k) {
  const HeapArray<int32_t>& order = *display();
  for (uint32_t i = 0; i < order.size(); ++i) {
    const line l = read(order[i]);
    if (tav::TrySolution(k, &l)) return true;
  }
  return false;
}

bool libox::nth_line(uint32_t row, line* out) {
  const HeapArray<int32_t>& order = *display();
  if (row < 1 || row > order.size()) return false;
  *out = read(order[row - 1]);
  return true;
}

const List<const SList*>* libox::lbox_getall() {
  ListBuilder<const SList*> out;
  for (int32_t ref : *display()) out.Add(read(ref).cells);
  return out.Finish();
}

uint32_t libox::lbox_num_rows() { return sdb_number_of_lines_ > 0 ? sdb_number_of_lines_ : 1; }

// --- the sort index ---

bool libox::has_data_prop(data_prop p) const {
  if (!sdb_data_props_) return false;
  for (const List<data_prop>* l = sdb_data_props_; !l->Empty(); l = l->tail)
    if (l->head == p) return true;
  return false;
}

// Header column `col` shows cell col - (colour box) - (check box); the
// check-box column itself and a missing cell have no text, as an empty cell.
const wchar_t* libox::get_key(uint32_t col, const SList* cells) const {
  const int64_t cell = int64_t(col) - has_data_prop(data_prop::has_color_box) -
                       has_data_prop(data_prop::selected_has_checkbox);
  if (cell < 1) return kNoText;
  for (int64_t c = cell; !cells->Empty(); cells = cells->tail, --c) {
    if (!*cells->head) return kNoText;
    if (c == 1) return cells->head;
  }
  return kNoText;
}

void libox::del_index() {
  if (db_bt_class_) {
    bt* tree = db_bt_class_;
    db_bt_class_ = nullptr;
    tree->beet_delete();
  }
  if (xchaindb_) TrapAndForget([&] { bt::delete_a_closed_bt(xchaindb_, kIndex); });
}

void libox::build_index(uint32_t col) {
  if (!changed_ && col == x_colno_for_index_) return;
  x_colno_for_index_ = col;
  del_index();
  sorted_.clear();
  changed_ = false;
  bool allowed = false;
  for (uint32_t c : boo_allow_order_) allowed = allowed || c == col;
  if (!allowed) return;
  bt* tree = bt::new_(db(), kIndex, 16, 4, 1);
  db_bt_class_ = tree;
  for (int32_t ref : chain_) {
    uint8_t* mark = K::Memory::MarkGStack();
    tree->kee_insert(get_key(col, read(ref).cells), ref);
    K::Memory::ReleaseGStack(mark);
  }
  sorted_.reserve(chain_.size());
  int32_t ref;
  if (!tree->kee_first(&ref)) return;
  tree->nd_kee1([&](KeyRef e) {
    sorted_.push_back(e.ref);
    K::Fail();
  });
}

void libox::build_index() { build_index(x_colno_for_index_); }

void libox::allow_order(const List<uint32_t>* cols) {
  for (; !cols->Empty(); cols = cols->tail) {
    bool known = false;
    for (uint32_t c : boo_allow_order_) known = known || c == cols->head;
    if (!known) boo_allow_order_.insert(0, cols->head);
  }
  changed_ = true;
}

// --- cell texts ---

bool libox::col_str(uint32_t col, const SList* cells, const wchar_t** text) {
  const bool check = has_data_prop(data_prop::selected_has_checkbox);
  if (check && col == 1) return false;  // the check-box cell has no text
  for (uint32_t c = check ? col - 1 : col; !cells->Empty(); cells = cells->tail, --c)
    if (c == 1) return *text = cells->head, true;
  return false;
}

bool libox::row_col_str(uint32_t row, uint32_t col, const wchar_t** text) {
  line l;
  return nth_line(row, &l) && col_str(col, l.cells, text);
}

line libox::modify_line_if_has_checkbox(uint32_t row, const line& l) {
  if (!has_data_prop(data_prop::selected_has_checkbox)) return l;
  line out = l;
  out.cells = Cons<const wchar_t*>(selected_.has(row) ? L"X" : L" ", l.cells);
  return out;
}

namespace {

// Tab-separated text grown in one pass in plain memory (it holds no
// pointers, and large texts then cost the collector nothing): every cell
// followed by TAB, every row by LF, a TAB, CR or LF inside a cell written as
// a space.  The owner releases the memory on every way out.
class Sheet {
 public:
  void add_row(const SList* cells) {
    for (; !cells->Empty(); cells = cells->tail) add_cell(cells->head);
    reserve(1);
    text_[size_++] = L'\n';
  }
  // Room for `rows` rows of about the length written so far, a quarter
  // more: a long list is then written into one block rather than grown
  // through copies.
  void expect(uint64_t rows) {
    const uint64_t want = size_ * rows + size_ * rows / 4;
    if (want < kMaxUnits) reserve(want - size_);
  }
  const wchar_t* text() {
    reserve(1);
    text_[size_] = 0;
    return text_;
  }
  void release() {
    if (text_) HeapFree(GetProcessHeap(), 0, text_);
    text_ = nullptr;
    size_ = capacity_ = 0;
  }

 private:
  void add_cell(const wchar_t* cell) {
    const size_t n = wcslen(cell);
    reserve(n + 1);
    wchar_t* out = text_ + size_;
    for (size_t i = 0; i < n; ++i) {
      const wchar_t ch = cell[i];
      out[i] = ch == L'\t' || ch == L'\r' || ch == L'\n' ? L' ' : ch;
    }
    out[n] = L'\t';
    size_ += n + 1;
  }
  // Small lists stay in a small block: a large one is mapped and faulted in
  // page by page at every copy.
  void reserve(uint64_t more) {
    if (size_ + more <= capacity_) return;
    uint64_t grown = capacity_ ? capacity_ * 2 : 4096;
    if (grown < size_ + more) grown = size_ + more;
    if (grown >= kMaxUnits) RaiseRangeError();
    const size_t bytes = size_t(grown * sizeof(wchar_t));
    void* block = text_ ? HeapReAlloc(GetProcessHeap(), 0, text_, bytes) : HeapAlloc(GetProcessHeap(), 0, bytes);
    if (!block) RaiseRangeError();
    text_ = static_cast<wchar_t*>(block);
    capacity_ = grown;
  }

  static constexpr uint64_t kMaxUnits = UINT32_MAX / sizeof(wchar_t);
  wchar_t* text_ = nullptr;
  uint64_t size_ = 0, capacity_ = 0;
};

// Fills a sheet and hands its text to use; the sheet's memory is released
// also when either raises, and the error goes on.
template <class Fill, class Use>
void WithSheet(Fill fill, Use use) {
  Sheet sheet;
  uint32_t code = K::RunTrapped([&] { fill(sheet); });
  if (!code) code = K::RunTrapped([&] { use(sheet.text()); });
  sheet.release();
  if (code) K::Errors::Qel_ErrorExit(code);
}

}  // namespace

const wchar_t* libox::combine_slists(const List<const SList*>* rows) {
  const wchar_t* volatile out = nullptr;
  WithSheet([&](Sheet& sheet) {
    for (const List<const SList*>* r = rows; !r->Empty(); r = r->tail) sheet.add_row(r->head);
  }, [&](const wchar_t* text) { out = tav::HeapCopy(text); });
  return out;
}

void libox::put_sheet() {
  WithSheet([&](Sheet& sheet) {
    const HeapArray<int32_t>& order = *display();
    for (uint32_t i = 0; i < order.size(); ++i) {
      uint8_t* mark = K::Memory::MarkGStack();
      sheet.add_row(read(order[i]).cells);
      K::Memory::ReleaseGStack(mark);
      if (i == 0) sheet.expect(order.size());
    }
  }, [](const wchar_t* text) { cb_PutString(text); });
}

// --- selection ---

void libox::lbox_setsel(uint32_t row, bool on) {
  clear_selection();
  if (on) selected_.add(row);
}

void libox::set_selected(uint32_t row) {
  clear_selection();
  selected_.add(row);
}

void libox::set_selecteds(const List<uint32_t>* rows) {
  clear_selection();
  for (; !rows->Empty(); rows = rows->tail) selected_.add(rows->head);
}

void libox::lbox_setsels(const List<bool>* rows) {
  clear_selection();
  for (uint32_t row = 1; !rows->Empty(); rows = rows->tail, ++row)
    if (rows->head) selected_.add(row);
}

bool libox::lbox_setsel2(const wchar_t* text, bool on) {
  uint32_t count = 0;
  for (int32_t ref : *display()) {
    const line l = read(ref);
    if (l.cells->Empty()) continue;
    ++count;
    if (Same(l.cells->head, text)) return lbox_setsel(count, on), true;
  }
  return false;
}

void libox::lbox_enable(const List<int32_t>* marks) {
  disabled_.clear();
  for (uint32_t row = 1; !marks->Empty(); marks = marks->tail, ++row)
    if (marks->head != 1) disabled_.add(row);
}

bool libox::nd_selected(tav::Each<selected_line> k) {
  const HeapArray<int32_t>& order = *display();
  for (uint32_t i = 0; i < order.size(); ++i) {
    if (!selected_.has(i + 1)) continue;
    const line l = read(order[i]);
    if (tav::TrySolution(k, selected_line{0, l.cells, i, l.colour})) return true;
  }
  return false;
}

selection libox::lbox_getsel() {
  // The walk backtracks between lines: results are collected on the heap.
  ListBuilder<const SList*> cells(true);
  ListBuilder<uint32_t> positions(true);
  nd_selected([&](selected_line s) {
    cells.Add(s.cells);
    positions.Add(s.position);
    K::Fail();
  });
  return {cells.Finish(), positions.Finish()};
}

const List<int32_t>* libox::lbox_getsel_color() {
  ListBuilder<int32_t> colours(true);
  nd_selected([&](selected_line s) {
    colours.Add(s.colour);
    K::Fail();
  });
  return colours.Finish();
}

bool libox::allow_select_by_column(pnt_struct p) {
  if (!sdb_selected_props_) return false;
  for (const List<selected_prop>* l = sdb_selected_props_; !l->Empty(); l = l->tail) {
    if (l->head.alt != selected_prop::selection_allowed) continue;
    uint32_t col;
    if (!pnt_col(p, &col)) return false;
    return l->head.lo <= int64_t(col) && int64_t(col) <= l->head.hi;
  }
  return false;
}

// --- colours ---

bool libox::lbox_setcolorline(uint32_t row, int32_t colour) {
  line l;
  if (!nth_line(row, &l)) return false;
  l.colour = colour;
  replace_line(l);
  return true;
}

const List<int32_t>* libox::lbox_getall_colors() {
  ListBuilder<int32_t> colours;
  for (int32_t ref : *display()) colours.Add(read(ref).colour);
  return colours.Finish();
}

void libox::lbox_setall_colors(const List<int32_t>* colours) {
  for (uint32_t row = 1; !colours->Empty(); colours = colours->tail, ++row)
    if (!lbox_setcolorline(row, colours->head)) return;
}

// --- properties ---

void libox::set_selected_props(const List<selected_prop>* props) {
  ListBuilder<selected_prop> copy(true);
  for (; !props->Empty(); props = props->tail) copy.Add(props->head);
  sdb_selected_props_ = copy.Finish();
}

void libox::set_data_props(const List<data_prop>* props) {
  ListBuilder<data_prop> copy(true);
  for (; !props->Empty(); props = props->tail) copy.Add(props->head);
  sdb_data_props_ = copy.Finish();
  changed_ = true;
}

void libox::set_allow_multiselect(bool on) { sdb_allow_multiselect_ = on; }

void libox::set_color_sel(color_callback cb) { db_color_sel_ = {true, cb}; }
void libox::set_callback_sel(lbox_callback cb) { db_cb_sel_ = {true, cb}; }
void libox::set_callback_dbl(lbox_callback cb) { db_cb_dbl_ = {true, cb}; }
void libox::set_callback_scroll(lbox_scroll_callback cb) { db_cb_scroll_ = {true, cb}; }

void libox::set_sendback(edit_sendback cb, const List<uint32_t>* editable) {
  ListBuilder<uint32_t> copy(true);
  for (; !editable->Empty(); editable = editable->tail) copy.Add(editable->head);
  editable_ = copy.Finish();
  db_sendback_ = {true, cb};
}

void libox::use_dbl_callback_for_postevent() {
  if (!db_cb_dbl_.present) return;
  db_cb_dbl_.value.code(db_cb_dbl_.value.object, 9001, 9001, LineNo(Nil<const wchar_t*>()));
}

void libox::widen_cols() {
  constexpr int kWidths = 48;
  const List<uint32_t>* widths = Nil<uint32_t>();
  for (int i = 0; i < kWidths; ++i) widths = Cons<uint32_t>(xcol_width_, widths);
  set_col_widths(true, widths);
}

void libox::set_top(uint32_t y) { xtopp_ = y; }
uint32_t libox::get_top() { return xtopp_; }
uint32_t libox::get_bot() { return xbott_; }
wyndow libox::get_wyndow() { return thiswyn_; }

}  // namespace rizediveva6
