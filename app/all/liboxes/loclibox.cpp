// loclibox: creation of the contained list box in the data pane, the rows
// from locations::nd_locs and the cell edit that adds, renames or deletes
// a location.
#include "liboxes/loclibox.h"

#include "kalmoradb/locations.h"
#include "liboxes/list_common.h"

namespace all {

namespace K = Qel::RunTime::Kernel;
using rizediveva6::List;
using rizediveva6::ListBuilder;
using rizediveva6::line;

const tav::ClassInfo loclibox::classInfo{L"qel6pack/all/liboxes/loclibox", TAV_CLASS_VERSION};

loclibox* loclibox::new_(LONG_PTR window) {
  loclibox* o = lists::NewObject<loclibox>();
  rizediveva6::libox* l = rizediveva6::libox::new_(L"locat", rizediveva6::Screen(window));
  o->xlibox_ = l;
  lists::SetLayout(l);
  QEL_KWI::win_SetHandler(window, l->event_handler());
  l->set_sendback({&loclibox::_es_edit, o}, rizediveva6::MakeList<uint32_t>({3}));
  l->set_data_props(rizediveva6::MakeList<rizediveva6::data_prop>({rizediveva6::data_prop::selected_has_checkbox}));
  l->set_menu(lists::LoadMenu(kMenu));
  l->set_col_widths(false, rizediveva6::MakeList<uint32_t>({40, 10, 120, 90}));
  l->add_cols(rizediveva6::MakeList<const wchar_t*>({L"", L"", L"Locations"}));
  o->update_libox();
  return o;
}

const List<line>* loclibox::make_lines_x() {
  ListBuilder<line> rows(true);
  xcount_ = 0;
  locations::nd_locs([&](where_entry e) {
    ++xcount_;
    rows.Add(rizediveva6::LineNo(lists::HeapCells({lists::Decimal(xcount_), e.name}), 0xFFFFFF, 0));
    K::Fail();
  });
  rows.Add(lists::InputRow(1));
  return rows.Finish();
}

void loclibox::update_libox() { lists::Refill(xlibox_, make_lines_x()); }

void loclibox::destroy_scroll2() { xlibox_->destroy_scroll(); }

bool loclibox::popup_callback(uint32_t id) {
  switch (id) {
    case 10102: xlibox_->lbox_print(L"Print locations"); return true;
    case 10101: xlibox_->to_exel_cb(); return true;
    default: return false;
  }
}

void loclibox::_es_edit(void* self, const wchar_t* text, uint32_t row, uint32_t column) {
  if (column != 3) K::Fail();
  locations::add_loc(static_cast<int32_t>(row), text);
  static_cast<loclibox*>(self)->update_libox();
}

}  // namespace all
