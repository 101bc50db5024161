// duties_libox: creation in the data pane and the rows: the assignments
// from sc_assign::nd_assignments with their duties from the duty index, or
// the derived duties of every slot-period that sc_assign does not hold.
// Names of tasks, locations, slots and days are read once per production.
#include "liboxes/duties_libox.h"

#include "SYSTEM/options/options_db.h"
#include "SYSTEM/timepack/mytime.h"
#include "kalmoradb/actual_dtbd.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/locations.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/tasks.h"
#include "liboxes/list_common.h"
#include "phase1/sc_phase1.h"

namespace all {

namespace K = Qel::RunTime::Kernel;
using rizediveva6::List;
using rizediveva6::ListBuilder;
using rizediveva6::line;
using rizediveva6::mytime;

const tav::ClassInfo duties_libox::classInfo{L"qel6pack/all/liboxes/duties_libox", TAV_CLASS_VERSION};

namespace {

// Names by number (1..10), each read at its first use in one production;
// a number outside that range is read every time.
struct names {
  const wchar_t* task[11] = {};
  const wchar_t* where[11] = {};
  const wchar_t* slot[11] = {};
  const wchar_t* day[8] = {};

  template <class Read>
  static const wchar_t* Of(const wchar_t** cache, uint32_t size, uint32_t n, Read read) {
    if (n >= size) return read(n);
    if (!cache[n]) cache[n] = tav::HeapCopy(read(n));
    return cache[n];
  }
  const wchar_t* Task(uint32_t n) { return Of(task, 11, n, tasks::get_task_name); }
  const wchar_t* Where(uint32_t n) { return Of(where, 11, n, locations::get_where_name); }
  const wchar_t* Slot(uint32_t n) { return Of(slot, 11, n, kalmora_DB::get_slot_name); }
  const wchar_t* Day(uint32_t n) {
    return Of(day, 8, n, [](uint32_t d) {
      const wchar_t* name = L"";
      mytime::dayno_dayname(d, &name);
      return name;
    });
  }
};

// The eight cells of a duty's row.
const rizediveva6::SList* Cells(names& n, uint32_t row, const wchar_t* who, const sp& at, uint32_t task,
                                uint32_t where) {
  return lists::HeapCells({lists::Decimal(row), who, n.Task(task), n.Where(where), mytime::dt_str2(kalmora_DB::sp_dt(at)),
                           lists::Decimal(at.day), n.Day(at.day), n.Slot(at.slot)});
}

// The name of the doctor at `ref`; false when the record cannot be read.
bool DoctorName(chain_ref ref, const wchar_t** name) {
  const wchar_t* volatile found = nullptr;
  if (K::RunTrapped([&] { found = staff_db::get_personref(ref)->dat->name; }) != 0 || !found) return false;
  *name = found;
  return true;
}

}  // namespace

duties_libox* duties_libox::new_duties_libox(do_ass which, LONG_PTR window) {
  duties_libox* t = lists::NewObject<duties_libox>();
  t->xdo_ass_ = which;
  t->init_libox(L"dutieslibox", rizediveva6::Screen(window));
  lists::SetLayout(t);
  QEL_KWI::win_SetHandler(window, t->event_handler());
  t->set_col_widths(false, rizediveva6::MakeList<uint32_t>({40, 40, 40, 40, 190, 190, 190, 190, 190, 190}));
  t->add_cols(rizediveva6::MakeList<const wchar_t*>({L"", L"Name", L"Task", L"Location", L"date", L"day No", L"day", L"slot"}));
  t->lbox_add_lines(t->make_lines_x());
  t->allow_order(rizediveva6::MakeList<uint32_t>({2, 3, 4, 5, 6, 7, 8, 9, 10}));
  t->lbox_setfont(rizediveva6::libox::heap_font(rizediveva6::options_db::opt_font()), false);
  t->lbox_draw();
  return t;
}

const List<line>* duties_libox::make_lines_x() {
  ListBuilder<line> rows(true);
  names n;
  xcount_ = 0;
  if (xdo_ass_ == do_ass::assigned) {
    sc_assign::nd_assignments([&](rizediveva6::KeyRef a) {
      const DutyTerm* duty;
      const wchar_t* who;
      if (!sc_phase1::get_duty_by_key(a.key, &duty) || !DoctorName(a.ref, &who)) K::Fail();
      const SpTerm* at = duty->dat->at;
      rows.Add(rizediveva6::LineNo(Cells(n, ++xcount_, who, sp{at->day, at->period, at->slot}, duty->dat->task,
                                         duty->dat->where)));
      K::Fail();
    });
  } else {
    actual_dtbd::nd_dats_to_be_done([&](sp_duties s) {
      for (uint32_t i = 0; i < s.count; ++i) {
        const duty_dat& d = s.first[i];
        chain_ref doctor;
        if (sc_assign::is_assigned(sc_phase1::get_dtbd_key(d).text, &doctor)) continue;
        rows.Add(rizediveva6::LineNo(Cells(n, ++xcount_, L"-", d.at, d.task, d.where)));
      }
      K::Fail();
    });
  }
  return rows.Finish();
}

void duties_libox::update_libox() { lists::Refill(this, make_lines_x()); }

void duties_libox::destroy_scroll2() { destroy_scroll(); }

bool duties_libox::popup_callback(uint32_t id) {
  switch (id) {
    case 10102: lbox_print(L"Print assignments"); return true;
    case 10101: to_exel_cb(); return true;
    default: return false;
  }
}

}  // namespace all
