// praclibox: creation in the data pane, the rows from groups::nd_groups,
// the cell edit, the colour box and the deletion of checked groups.
#include "liboxes/praclibox.h"

#include <cwchar>

#include "kalmoradb/groups.h"
#include "liboxes/list_common.h"

namespace all {

namespace K = Qel::RunTime::Kernel;
using rizediveva6::List;
using rizediveva6::ListBuilder;
using rizediveva6::line;

const tav::ClassInfo praclibox::classInfo{L"qel6pack/all/liboxes/praclibox", TAV_CLASS_VERSION};

praclibox* praclibox::new_(LONG_PTR window) {
  praclibox* t = lists::NewObject<praclibox>();
  t->init_libox(L"groupt", rizediveva6::Screen(window));
  lists::SetLayout(t);
  t->set_selected_props(rizediveva6::MakeList<rizediveva6::selected_prop>(
      {rizediveva6::selected_prop{rizediveva6::selected_prop::selection_allowed, 0, 3}}));
  t->set_allow_multiselect(true);
  QEL_KWI::win_SetHandler(window, t->event_handler());
  t->set_sendback({&praclibox::_es_edit, t}, rizediveva6::MakeList<uint32_t>({3}));
  t->set_data_props(rizediveva6::MakeList<rizediveva6::data_prop>(
      {rizediveva6::data_prop::selected_has_checkbox, rizediveva6::data_prop::has_color_box}));
  t->set_color_sel({&praclibox::_colour_cb, t});
  t->set_menu(lists::LoadMenu(kMenu));
  t->set_col_widths(false, rizediveva6::MakeList<uint32_t>({40, 10, 120, 90}));
  t->add_cols(rizediveva6::MakeList<const wchar_t*>({L"", L"", L"Practices"}));
  t->update_libox();
  return t;
}

const List<line>* praclibox::make_lines_x() {
  ListBuilder<line> rows(true);
  xcount_ = 0;
  groups::nd_groups([&](const rizediveva6::str_br* g) {
    ++xcount_;
    rows.Add(rizediveva6::LineNo(lists::HeapCells({lists::Decimal(xcount_), g->name}), g->brush_->colour, 0));
    K::Fail();
  });
  ++xcount_;
  rows.Add(lists::InputRow(1));
  return rows.Finish();
}

void praclibox::update_libox() { lists::Refill(this, make_lines_x()); }

void praclibox::destroy_scroll2() { destroy_scroll(); }

bool praclibox::popup_callback(uint32_t id) {
  switch (id) {
    case 10102: lbox_print(L"Print Practices"); return true;
    case 10101: to_exel_cb(); return true;
    default: return false;
  }
}

bool praclibox::row_group(uint32_t row, const wchar_t** name) {
  line l;
  if (!nth_line(row, &l) || l.cells->Empty() || l.cells->tail->Empty()) return false;
  // Only a row that still shows the group at its position names it.
  const rizediveva6::SList* names = groups::list_groups();
  for (uint32_t r = 1; !names->Empty(); names = names->tail, ++r)
    if (r == row) {
      if (wcscmp(names->head, l.cells->tail->head) != 0) return false;
      *name = names->head;
      return true;
    }
  return false;
}

void praclibox::del_selected() {
  // The names first: deleting renumbers the groups behind them.
  ListBuilder<const wchar_t*> names(true);
  nd_selected([&](rizediveva6::selected_line s) {
    const wchar_t* name;
    if (row_group(s.position + 1, &name)) names.Add(tav::HeapCopy(name));
    K::Fail();
  });
  for (const rizediveva6::SList* n = names.Finish(); !n->Empty(); n = n->tail) groups::del_group(n->head);
  update_libox();
}

void praclibox::_es_edit(void* self, const wchar_t* text, uint32_t row, uint32_t column) {
  if (column != 3) K::Fail();
  groups::add_group(static_cast<int32_t>(row), text);
  static_cast<praclibox*>(self)->update_libox();
}

void praclibox::_colour_cb(void* self, int32_t colour, uint32_t row) {
  auto* t = static_cast<praclibox*>(self);
  const wchar_t* name;
  if (!t->row_group(row, &name)) K::Fail();
  groups::set_color(name, colour);
  t->update_libox();
}

}  // namespace all
