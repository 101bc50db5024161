// mod_dates: creation in the data pane and the rows from
// sc_mod_date::nd_dt_duties; a change is "duty removed" when its duty is in
// the typical week of its day's kind, else "duty added".
#include "liboxes/mod_dates.h"

#include "SYSTEM/myKWI/myKWI.h"
#include "SYSTEM/timepack/mytime.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/locations.h"
#include "kalmoradb/sc_mod_date.h"
#include "kalmoradb/tasks.h"
#include "kalmoradb/typical_db.h"
#include "liboxes/list_common.h"

namespace all {

namespace K = Qel::RunTime::Kernel;
using rizediveva6::List;
using rizediveva6::ListBuilder;
using rizediveva6::line;
using rizediveva6::mytime;

const tav::ClassInfo mod_dates::classInfo{L"qel6pack/all/liboxes/mod_dates", TAV_CLASS_VERSION};

namespace {

const wchar_t* Replacement(const wchar_t* dayName, const tls& duty) {
  const wchar_t* chain;
  const uint32_t kind = typical_db::dayname_chain(dayName, &chain);
  return typical_db::in_typ(kind, duty) ? L"duty removed" : L"duty added";
}

}  // namespace

mod_dates* mod_dates::new_mod_dates(LONG_PTR window) {
  mod_dates* t = lists::NewObject<mod_dates>();
  t->set_up(window, {L"modates", kMenu, false, 2, {10, 10, 10, 240},
                     {L"", L"", L"Dates", L"Task", L"Location", L"Day", L"Slot", L"Replacement?"}});
  t->update_libox();
  return t;
}

const List<line>* mod_dates::make_lines_x() {
  ListBuilder<line> rows(true);
  xcount_ = 0;
  sc_mod_date::nd_dt_duties([&](dt_duty_ref r) {
    const dt_duty& e = r.entry;
    const wchar_t* day = L"";
    mytime::dayno_dayname(e.day, &day);
    ++xcount_;
    rows.Add(rizediveva6::LineNo(
        lists::HeapCells({lists::Decimal(xcount_), mytime::dt_str(e.date), tasks::get_task_name(e.duty.task),
                          locations::get_where_name(e.duty.where), day, kalmora_DB::get_slot_name(e.duty.slot),
                          Replacement(day, e.duty)}),
        0xFFFFFF, 0));
    K::Fail();
  });
  return rows.Finish();
}

void mod_dates::del_selected() {
  rizediveva6::myKWI::note(L"del not implemented");
  update_libox();
}

}  // namespace all
