// tasklibox: creation in the data pane, the rows from tasks::nd_tasks and
// the cell edit that adds, renames or deletes a task.
#include "liboxes/tasklibox.h"

#include "SYSTEM/myKWI/myKWI.h"
#include "kalmoradb/tasks.h"
#include "liboxes/list_common.h"

namespace all {

namespace K = Qel::RunTime::Kernel;
using rizediveva6::List;
using rizediveva6::ListBuilder;
using rizediveva6::line;

const tav::ClassInfo tasklibox::classInfo{L"qel6pack/all/liboxes/tasklibox", TAV_CLASS_VERSION};

tasklibox* tasklibox::new_(LONG_PTR window) {
  tasklibox* t = lists::NewObject<tasklibox>();
  t->init_libox(L"taskt", rizediveva6::Screen(window));
  lists::SetLayout(t);
  QEL_KWI::win_SetHandler(window, t->event_handler());
  t->set_sendback({&tasklibox::_es_edit, t}, rizediveva6::MakeList<uint32_t>({3}));
  t->set_data_props(rizediveva6::MakeList<rizediveva6::data_prop>({rizediveva6::data_prop::selected_has_checkbox}));
  t->set_menu(lists::LoadMenu(kMenu));
  t->set_col_widths(false, rizediveva6::MakeList<uint32_t>({40, 10, 120, 90}));
  t->add_cols(rizediveva6::MakeList<const wchar_t*>({L"", L"", L"Tasks"}));
  t->update_libox();
  return t;
}

const List<line>* tasklibox::make_lines_x() {
  ListBuilder<line> rows(true);
  xcount_ = 0;
  tasks::nd_tasks([&](task_entry e) {
    ++xcount_;
    rows.Add(rizediveva6::LineNo(lists::HeapCells({lists::Decimal(xcount_), e.name}),
                                 e.brush.colour, 0));
    K::Fail();
  });
  rows.Add(lists::InputRow(1));
  return rows.Finish();
}

void tasklibox::update_libox() { lists::Refill(this, make_lines_x()); }

void tasklibox::destroy_scroll2() { destroy_scroll(); }

bool tasklibox::popup_callback(uint32_t id) {
  switch (id) {
    case 10102: lbox_print(L"Print Tasks"); return true;
    case 10101:
      to_exel_cb();
      rizediveva6::myKWI::note(L"On clipboard - you may paste the table to MS Excel now");
      return true;
    default: return false;
  }
}

void tasklibox::_es_edit(void* self, const wchar_t* text, uint32_t row, uint32_t column) {
  if (column != 3) K::Fail();
  tasks::add_task(static_cast<int32_t>(row), text);
  static_cast<tasklibox*>(self)->update_libox();
}

}  // namespace all
