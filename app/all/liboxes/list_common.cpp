// list_common: the shared steps of the list views; menus are copied item
// by item, recursing into sub-menus, so no part stays on the global stack.
#include "liboxes/list_common.h"

#include <cwchar>

#include "SYSTEM/options/options_db.h"
#include "kalmoradb/roster_types.h"
#include "kwi/kwi.h"

namespace all::lists {

namespace K = Qel::RunTime::Kernel;
using namespace QEL_KWI;
using rizediveva6::line;
using rizediveva6::SList;

namespace {

enum : uintptr_t { kTxt = 1, kOwnerDraw = 2, kDynMenu = 2 };
enum : int { kTxtText = 1, kTxtSub = 5, kOwnerDrawSub = 4 };

template <class T>
T* HeapBlock() {
  return static_cast<T*>(K::Memory::AllocHeap(sizeof(T)));
}

}  // namespace

menu_item_list_struct* HeapItems(const menu_item_list_struct* l) {
  auto* first = HeapBlock<menu_item_list_struct>();
  menu_item_list_struct* cell = first;
  for (; l && l->functor == ListCons; l = l->next) {
    auto* item = HeapBlock<menu_item>();
    *item = *l->value;
    if (item->functor == kTxt) {
      item->w[kTxtText] = reinterpret_cast<LONG_PTR>(tav::HeapCopy(reinterpret_cast<const wchar_t*>(item->w[kTxtText])));
      item->w[kTxtSub] = reinterpret_cast<LONG_PTR>(HeapItems(reinterpret_cast<const menu_item_list_struct*>(item->w[kTxtSub])));
    } else if (item->functor == kOwnerDraw) {
      item->w[kOwnerDrawSub] =
          reinterpret_cast<LONG_PTR>(HeapItems(reinterpret_cast<const menu_item_list_struct*>(item->w[kOwnerDrawSub])));
    }
    cell->functor = ListCons;
    cell->value = item;
    cell->next = HeapBlock<menu_item_list_struct>();
    cell = cell->next;
  }
  cell->functor = ListNil;
  cell->value = nullptr;
  cell->next = nullptr;
  return first;
}

void SetLayout(rizediveva6::libox* l) {
  l->set_title_tb(rizediveva6::TitleTb(21, 40));
  l->set_top(41);
  l->set_left(10);
}

menu_struct* LoadMenu(uint32_t id) {
  const menu_struct* m = tav::kwi::menugetres(id);
  auto* out = HeapBlock<menu_struct>();
  *out = menu_struct{kDynMenu, reinterpret_cast<uintptr_t>(HeapItems(reinterpret_cast<const menu_item_list_struct*>(m->value)))};
  return out;
}

const wchar_t* Decimal(uint32_t n) {
  wchar_t buf[16];
  swprintf(buf, 16, L"%u", n);
  return tav::HeapCopy(buf);
}

void Fill(rizediveva6::libox* l, const rizediveva6::List<line>* rows) {
  l->lbox_setfont(rizediveva6::libox::heap_font(rizediveva6::options_db::opt_font()), false);
  l->lbox_clear();
  l->lbox_add_lines(rows);
}

void Refill(rizediveva6::libox* l, const rizediveva6::List<line>* rows) {
  Fill(l, rows);
  l->lbox_draw();
}

const SList* HeapCells(std::initializer_list<const wchar_t*> texts) {
  rizediveva6::ListBuilder<const wchar_t*> b(true);
  for (const wchar_t* t : texts) b.Add(tav::HeapCopy(t));
  return b.Finish();
}

line InputRow(uint32_t emptyCells) {
  rizediveva6::ListBuilder<const wchar_t*> b(true);
  b.Add(L"new->");
  for (uint32_t i = 0; i < emptyCells; ++i) b.Add(L"");
  return rizediveva6::LineNo(b.Finish(), 0, 0);
}

const wchar_t* RefText(int32_t ref) {
  return tav::HeapCopy(T::ToString(tav::D(domains::chain_ref), reinterpret_cast<T::term>(&ref)));
}

bool ReadRef(const wchar_t* text, int32_t* ref) {
  int32_t v = 0;
  if (rizediveva6::TrapAndForget([&] { std::memcpy(&v, T::FromString(tav::D(domains::chain_ref), text), sizeof v); }))
    return false;
  *ref = v;
  return true;
}

bool NthCell(const SList* cells, uint32_t n, const wchar_t** text) {
  for (uint32_t i = 1; !cells->Empty(); cells = cells->tail, ++i)
    if (i == n) {
      *text = cells->head;
      return true;
    }
  return false;
}

const rizediveva6::List<int32_t>* CheckedRefs(rizediveva6::libox* l, uint32_t cell,
                                              const rizediveva6::List<int32_t>* stored) {
  rizediveva6::ListBuilder<int32_t> out(true);
  const rizediveva6::List<int32_t>* taken = rizediveva6::Nil<int32_t>();
  auto has = [](const rizediveva6::List<int32_t>* refs, int32_t ref) {
    for (; !refs->Empty(); refs = refs->tail)
      if (refs->head == ref) return true;
    return false;
  };
  const rizediveva6::selection s = l->lbox_getsel();
  for (const rizediveva6::List<const SList*>* c = s.cells; !c->Empty(); c = c->tail) {
    const wchar_t* text;
    int32_t ref;
    if (!NthCell(c->head, cell, &text) || !ReadRef(text, &ref) || !has(stored, ref) || has(taken, ref)) continue;
    taken = rizediveva6::Cons(ref, taken);
    out.Add(ref);
  }
  return out.Finish();
}

void DrawnSelection(void* list, uint32_t column, uint32_t, const line&) {
  if (column <= 2) K::Fail();
  static_cast<rizediveva6::libox*>(list)->lbox_draw();
}

void row_list::set_up(LONG_PTR window, const look& l) {
  using rizediveva6::selected_prop;
  init_libox(l.name, rizediveva6::Screen(window));
  SetLayout(this);
  if (l.bold) set_selected_props(rizediveva6::MakeList<selected_prop>({{selected_prop::selected_is_bold, 0, 0}}));
  if (l.checks_to > 0) {
    const int32_t last = static_cast<int32_t>(l.checks_to);
    set_selected_props(rizediveva6::MakeList<selected_prop>({{selected_prop::selection_allowed, 0, last}}));
    set_allow_multiselect(true);
    set_data_props(rizediveva6::MakeList<rizediveva6::data_prop>({rizediveva6::data_prop::selected_has_checkbox}));
    if (l.checks_to > 2) set_callback_sel({&DrawnSelection, static_cast<rizediveva6::libox*>(this)});
  }
  QEL_KWI::win_SetHandler(window, event_handler());
  set_menu(LoadMenu(l.menu));
  set_col_widths(false, rizediveva6::MakeList<uint32_t>(l.widths));
  add_cols(rizediveva6::MakeList<const wchar_t*>(l.titles));
}

bool row_list::print_or_copy(uint32_t id, const wchar_t* title) {
  switch (id) {
    case 10102: lbox_print(title); return true;
    case 10101: to_exel_cb(); return true;
    default: return false;
  }
}

}  // namespace all::lists
