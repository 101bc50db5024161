// draw_hols: see the header.
#include "mycal/draw_hols.h"

#include "commandtree/comtree.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/sc_holidays.h"
#include "phase1/sc_phase1.h"
#include "stream/stream.h"

namespace all {

using namespace QEL_KWI;
namespace K = Qel::RunTime::Kernel;

const tav::ClassInfo draw_hols::classInfo{L"qel6pack/all/mycal/draw_hols", TAV_CLASS_VERSION};

namespace {

LONG_PTR OnEvent(void* self, LONG_PTR window, event_struct* e) {
  if (!static_cast<draw_hols*>(self)->_hols_eh(window, e)) K::Fail();
  return 0;
}

}  // namespace

draw_hols* draw_hols::new_hols(LONG_PTR window) {
  draw_hols* h = tav::NewObject<draw_hols>();
  h->dtbd.full_draw();
  h->dtbd.new_dtbd_init(window);
  sc_phase1::generate();
  return h;
}

PROLOG_EHANDLER_STRUCT* draw_hols::closure() {
  closure_ = {reinterpret_cast<void*>(&OnEvent), this};
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
  volatile int result = -1;  // -1: on to the base rows, 0: not handled, 1: handled
  K::RunTrapped([&] {
    switch (e->kind) {
      case e_update: drew_hols(); result = 1; break;
      case e_char:
        if (e->w[0] == 27) {
          dtbd.move_start_time_to_zero();
          dtbd.full_draw();
          drew_hols();
          result = 1;
        } else if (e->w[0] == 127) {
          result = toggle(true) ? 1 : 0;
        }
        break;
      case e_mousemove: xpnt_ = EventPoint(e); break;
      case e_mousedown:
        if (e->w[2] == 1) result = 1;
        else if (e->w[2] == 0) result = toggle(false) ? 1 : 0;
        break;
      case e_control:
        if (e->w[0] == 981 || e->w[0] == 982) delete_pic2();
        break;
      default: break;
    }
  });
  if (result >= 0) return result == 1;
  return dtbd._dtbd_eh(window, e);
}

}  // namespace all
