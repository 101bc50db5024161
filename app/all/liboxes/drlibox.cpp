// drlibox: creation in the data pane, the rows from staff_db::nd_person
// and the groups, the "new->" edit, the group toggle, the colour box and
// the deletion of checked doctors; every change goes through staff_db.
#include "liboxes/drlibox.h"

#include <cwchar>

#include "kalmoradb/groups.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/staff_db.h"
#include "liboxes/list_common.h"

namespace all {

namespace K = Qel::RunTime::Kernel;
using rizediveva6::List;
using rizediveva6::ListBuilder;
using rizediveva6::line;
using rizediveva6::SList;

const tav::ClassInfo drlibox::classInfo{L"qel6pack/all/liboxes/drlibox", TAV_CLASS_VERSION};

namespace {

constexpr uint32_t kNameColumn = 4, kFirstGroupColumn = 5;

bool Shown(const PersonTerm* p) { return p->dat->deleted->functor == kExists; }

}  // namespace

drlibox* drlibox::new_(LONG_PTR window) {
  drlibox* t = lists::NewObject<drlibox>();
  t->init_libox(L"drlibox", rizediveva6::Screen(window));
  lists::SetLayout(t);
  t->set_sendback({&drlibox::_es_edit, t}, rizediveva6::MakeList<uint32_t>({kNameColumn}));
  QEL_KWI::win_SetHandler(window, t->event_handler());
  t->set_selected_props(rizediveva6::MakeList<rizediveva6::selected_prop>(
      {rizediveva6::selected_prop{rizediveva6::selected_prop::selection_allowed, 0, 3}}));
  t->set_allow_multiselect(true);
  t->set_data_props(rizediveva6::MakeList<rizediveva6::data_prop>({rizediveva6::data_prop::selected_has_checkbox,
                                                                   rizediveva6::data_prop::has_color_box,
                                                                   rizediveva6::data_prop::has_cell_boundaries}));
  t->set_menu(lists::LoadMenu(kMenu));
  t->set_callback_sel({&drlibox::_lbox_cb, t});
  t->set_col_widths(false, rizediveva6::MakeList<uint32_t>({20, 20, 40, 40, 190, 190, 190, 190}));
  t->add_cols(rizediveva6::Cons<const wchar_t*>(
      L"", rizediveva6::Cons<const wchar_t*>(L"", rizediveva6::Cons<const wchar_t*>(
                                                  L"char", rizediveva6::Cons<const wchar_t*>(L"Doctors", groups::list_groups())))));
  t->set_color_sel({&drlibox::_colour_cb, t});
  t->update_libox();
  return t;
}

const List<line>* drlibox::make_lines_x() {
  // The names stay on the heap: the walk below backtracks.
  ListBuilder<const wchar_t*> names(true);
  for (const SList* g = groups::list_groups(); !g->Empty(); g = g->tail) names.Add(tav::HeapCopy(g->head));
  const SList* groupNames = names.Finish();
  ListBuilder<line> rows(true);
  xcount_ = 0;
  staff_db::nd_person([&](const PersonTerm* p) {
    if (!Shown(p)) K::Fail();
    ++xcount_;
    const wchar_t letter[2] = {p->dat->letter, 0};
    ListBuilder<const wchar_t*> cells(true);
    cells.Add(lists::Decimal(xcount_));
    cells.Add(tav::HeapCopy(letter));
    cells.Add(tav::HeapCopy(p->dat->name));
    const SList* mine = rizediveva6::AsSList(p->dat->groups);
    for (const SList* g = groupNames; !g->Empty(); g = g->tail) cells.Add(groups::member(g->head, mine) ? L"X" : L"");
    rows.Add(rizediveva6::LineNo(cells.Finish(), p->dat->colour, 0));
    K::Fail();
  });
  input_line_ = ++xcount_;
  rows.Add(lists::InputRow(2));
  return rows.Finish();
}

bool drlibox::row_person(uint32_t row, const PersonTerm** person) {
  line l;
  if (row == 0 || row >= input_line_ || !nth_line(row, &l)) return false;
  const SList* c = l.cells;
  if (c->Empty() || c->tail->Empty() || c->tail->tail->Empty()) return false;
  const wchar_t* name = c->tail->tail->head;
  chain_ref found = 0;
  uint32_t n = 0;
  bool hit = false;
  staff_db::nd_person([&](const PersonTerm* p) {
    if (!Shown(p) || ++n != row) K::Fail();
    hit = wcscmp(p->dat->name, name) == 0;
    found = p->ref;
  });
  if (!hit) return false;
  *person = staff_db::get_personref(found);
  return true;
}

void drlibox::update_libox() { lists::Refill(this, make_lines_x()); }

void drlibox::destroy_scroll2() { destroy_scroll(); }

bool drlibox::popup_callback(uint32_t id) {
  switch (id) {
    case 10102: lbox_print(L"Print list of doctors"); return true;
    case 10101: to_exel_cb(); return true;
    default: return false;
  }
}

void drlibox::del_selected() {
  // The records first: each deletion renumbers the rows behind it.
  ListBuilder<chain_ref> refs(true);
  nd_selected([&](rizediveva6::selected_line s) {
    const PersonTerm* p;
    if (row_person(s.position + 1, &p)) refs.Add(p->ref);
    K::Fail();
  });
  for (const List<chain_ref>* r = refs.Finish(); !r->Empty(); r = r->tail) staff_db::del_person(r->head);
  update_libox();
}

void drlibox::_es_edit(void* self, const wchar_t* text, uint32_t row, uint32_t column) {
  auto* t = static_cast<drlibox*>(self);
  if (column != kNameColumn || row != t->input_line_) K::Fail();
  staff_db::add_name(text);
  t->update_libox();
}

void drlibox::_lbox_cb(void* self, uint32_t column, uint32_t row, const line&) {
  auto* t = static_cast<drlibox*>(self);
  rizediveva6::col_info c;
  const PersonTerm* p;
  if (column < kFirstGroupColumn || !t->nth_col(column, &c) || !t->row_person(row, &p)) K::Fail();
  const wchar_t* group = tav::HeapCopy(c.name);
  const SList* mine = rizediveva6::AsSList(p->dat->groups);
  const SList* now = groups::member(group, mine) ? groups::remove(group, mine) : rizediveva6::Cons<const wchar_t*>(group, mine);
  staff_db::replace_person(MakePerson(p->ref, p->dat->name, now, p->dat->colour, p->dat->letter, p->dat->deleted->functor));
  sc_assign::remove_those_that_break_rules(p->ref);
  t->update_libox();
}

void drlibox::_colour_cb(void* self, int32_t colour, uint32_t row) {
  auto* t = static_cast<drlibox*>(self);
  const PersonTerm* p;
  if (!t->row_person(row, &p)) K::Fail();
  staff_db::replace_person(
      MakePerson(p->ref, p->dat->name, rizediveva6::AsSList(p->dat->groups), colour, p->dat->letter, p->dat->deleted->functor));
  t->update_libox();
}

}  // namespace all
