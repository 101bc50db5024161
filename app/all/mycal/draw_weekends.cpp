// draw_weekends: see the header.
#include "mycal/draw_weekends.h"

#include "commandtree/comtree.h"
#include "mycal/toggle_rows.h"
#include "kalmoradb/sc_stat_weekend.h"
#include "phase1/sc_phase1.h"
#include "stream/stream.h"

namespace all {

using namespace QEL_KWI;

const tav::ClassInfo draw_weekends::classInfo{L"qel6pack/all/mycal/draw_weekends", TAV_CLASS_VERSION};

draw_weekends* draw_weekends::new_weekend(LONG_PTR window) {
  draw_weekends* w = tav::NewObject<draw_weekends>();
  w->dtbd.full_draw();
  w->dtbd.new_dtbd_init(window);
  sc_phase1::generate();
  return w;
}

PROLOG_EHANDLER_STRUCT* draw_weekends::closure() {
  closure_ = {reinterpret_cast<void*>(&LayerEvents<draw_weekends, &draw_weekends::_we_eh>), this};
  return &closure_;
}

void draw_weekends::drew_all_weekends() {
  dtbd.drew_dtbd(Showing(showing_kind::show_weekends), rule_added::rule_added_failed);
  comtree::update_stats_if_showing();
}

void draw_weekends::delete_pic2() { dtbd.full_draw(); }

void draw_weekends::drew_one_weekend(const duty_dat& duty) {
  dtbd.drew_recorded(Showing(showing_kind::show_weekends), rule_added::rule_removed, false, [&](const duty_dat& d) {
    return d.where == duty.where && d.task == duty.task && d.at.day == duty.at.day && d.at.slot == duty.at.slot;
  });
}

// The weekend day-slot of the duty under the point: removed, or (unless
// removeOnly) added when it was not a weekend one.  False: nothing changed.
bool draw_weekends::toggle(bool removeOnly) {
  const dtbd_rec* r = dtbd.duty_at(xpnt_);
  if (!r) return false;
  const weekend_entry e{r->duty.at.slot, r->duty.at.day};
  if (!sc_stat_weekend::del_sd(e)) {
    if (removeOnly) return false;
    sc_stat_weekend::add_sd(e);
  }
  drew_all_weekends();
  return true;
}

bool draw_weekends::_we_eh(LONG_PTR window, const event_struct* e) {
  return dtbd.handle_rows(window, e, [&] {
    return ToggleRows(
        e, &xpnt_, [&] { drew_all_weekends(); },
        [&] {
          dtbd.full_draw();
          dtbd.move_start_time_to_zero();
          drew_all_weekends();
        },
        [&](bool removeOnly) { return toggle(removeOnly); }, [&] { delete_pic2(); });
  });
}

}  // namespace all
