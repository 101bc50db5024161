// draw_hols: see the header.
#include "mycal/draw_hols.h"

#include "commandtree/comtree.h"
#include "mycal/toggle_rows.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/sc_holidays.h"
#include "phase1/sc_phase1.h"
#include "stream/stream.h"

namespace all {

using namespace QEL_KWI;
namespace K = Qel::RunTime::Kernel;

const tav::ClassInfo draw_hols::classInfo{L"qel6pack/all/mycal/draw_hols", TAV_CLASS_VERSION};

draw_hols* draw_hols::new_hols(LONG_PTR window) {
  draw_hols* h = tav::NewObject<draw_hols>();
  h->dtbd.full_draw();
  h->dtbd.new_dtbd_init(window);
  sc_phase1::generate();
  return h;
}

PROLOG_EHANDLER_STRUCT* draw_hols::closure() {
  closure_ = {reinterpret_cast<void*>(&LayerEvents<draw_hols, &draw_hols::_hols_eh>), this};
  return &closure_;
}

void draw_hols::drew_hols() {
  K::RunTrapped([&] { dtbd.drew_dtbd(Showing(showing_kind::show_holidays), rule_added::rule_removed); });
}

void draw_hols::delete_pic2() { dtbd.full_draw(); }

void draw_hols::drew_one_hol(const duty_dat& duty) {
  dtbd.drew_recorded(Showing(showing_kind::show_holidays), rule_added::rule_removed, false, [&](const duty_dat& d) {
    return d.at.day == duty.at.day && d.at.period == duty.at.period;
  });
  comtree::update_stats_if_showing();
}

// The holiday of the date of the duty under the point: removed, or (unless
// removeOnly) added when the date was not one.  False: nothing changed.
bool draw_hols::toggle(bool removeOnly) {
  const dtbd_rec* r = dtbd.duty_at(xpnt_);
  if (!r) return false;
  const duty_dat duty = r->duty;
  const dt date = kalmora_DB::sp_dt(duty.at);
  if (!sc_holidays::del_holiday(date)) {
    if (removeOnly) return false;
    sc_holidays::add_holiday(date);
  }
  drew_one_hol(duty);
  return true;
}

bool draw_hols::_hols_eh(LONG_PTR window, const event_struct* e) {
  return dtbd.handle_rows(window, e, [&] {
    return ToggleRows(
        e, &xpnt_, [&] { drew_hols(); },
        [&] {
          dtbd.move_start_time_to_zero();
          dtbd.full_draw();
          drew_hols();
        },
        [&](bool removeOnly) { return toggle(removeOnly); }, [&] { delete_pic2(); });
  });
}

}  // namespace all
