// draw_cant_dos: see the header.
#include "mycal/draw_cant_dos.h"

#include <cwchar>

#include "SYSTEM/timepack/mytime.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/locations.h"
#include "kalmoradb/sc_include.h"
#include "kalmoradb/tasks.h"
#include "mycal/dyn_menu.h"
#include "phase1/sc_phase1.h"
#include "stream/stream.h"
#include "string/string.h"

namespace all {

using namespace QEL_KWI;
namespace K = Qel::RunTime::Kernel;

const tav::ClassInfo draw_cant_dos::classInfo{L"qel6pack/all/mycal/draw_cant_dos", TAV_CLASS_VERSION};

namespace {

// The doctor (person_rule) or group (group_rule) in view; false: neither.
bool Owner(who_kind* who, const wchar_t** name) {
  if (sc_include::person_showing(name)) {
    *who = who_kind::person_rule;
    return true;
  }
  if (sc_include::group_showing(name)) {
    *who = who_kind::group_rule;
    return true;
  }
  return false;
}

// The duty's key when the index resolves it.
bool ResolvedKey(const duty_dat& duty, const wchar_t** key) {
  const duty_key k = sc_phase1::get_dtbd_key(duty);
  const DutyTerm* found;
  if (!sc_phase1::get_duty_by_key(k.text, &found)) return false;
  *key = K::Memory::CopyStringToHeap(k.text);
  return true;
}

// The rule "who can't do <id's type of the duty>"; false: none can be built.
bool BuildRule(who_kind who, const wchar_t* name, uint32_t id, const duty_dat& duty, const WhichRuleTerm** rule) {
  rule_value v{who, name, true, rule_kind::r_dtbd, 0, nullptr, can_do_kind::i_cant_do};
  switch (id) {
    case draw_cant_dos::kThisDuty:
      if (!ResolvedKey(duty, &v.key)) return false;
      break;
    case draw_cant_dos::kAnySlot: v.kind = rule_kind::r_slot, v.number = duty.at.slot; break;
    case draw_cant_dos::kAnyDay: v.kind = rule_kind::r_day, v.number = duty.at.day; break;
    case draw_cant_dos::kThisWeek: v.kind = rule_kind::r_period, v.number = duty.at.period; break;
    case draw_cant_dos::kAnyTask: v.kind = rule_kind::r_what, v.number = duty.task; break;
    case draw_cant_dos::kAnyWhere: v.kind = rule_kind::r_where, v.number = duty.where; break;
    default: return false;
  }
  *rule = MakeWhichRule(v);
  return true;
}

}  // namespace

draw_cant_dos* draw_cant_dos::new_cant_dos(LONG_PTR window) {
  draw_cant_dos* c = tav::NewObject<draw_cant_dos>();
  c->dtbd.full_draw();
  sc_phase1::generate();
  c->dtbd.new_dtbd_init(window);
  return c;
}

PROLOG_EHANDLER_STRUCT* draw_cant_dos::closure() {
  closure_ = {reinterpret_cast<void*>(&LayerEvents<draw_cant_dos, &draw_cant_dos::_cant_do_eh>), this};
  return &closure_;
}

void draw_cant_dos::delete_pic2() { dtbd.full_draw(); }

void draw_cant_dos::drew_cant_dos(rule_added outcome) { dtbd.drew_dtbd(Showing(showing_kind::show_rules), outcome); }

void draw_cant_dos::drew_one_cant_dos(rule_added outcome, const duty_dat& duty) {
  who_kind who;
  const wchar_t* name;
  if (!Owner(&who, &name)) return;
  dtbd.drew_recorded(Showing(showing_kind::show_rules), outcome, true, [&](const duty_dat& d) {
    return d.at.day == duty.at.day && d.at.period == duty.at.period;
  });
}

rule_added draw_cant_dos::add_or_remove_cant_do(uint32_t id, const duty_dat& duty) {
  who_kind who;
  const wchar_t* name;
  const WhichRuleTerm* rule;
  if (!Owner(&who, &name) || !BuildRule(who, name, id, duty, &rule)) return rule_added::rule_added_failed;
  return sc_rules::remove_or_add_rule(rule);
}

void draw_cant_dos::remove_cant_do(const duty_dat& duty) {
  const wchar_t* name;
  if (!sc_include::person_showing(&name)) return;
  const WhichRuleTerm* rule;
  for (uint32_t id : {kThisDuty, kAnyTask})
    if (BuildRule(who_kind::person_rule, name, id, duty, &rule)) sc_rules::remove_rule(rule);
}

const wchar_t* draw_cant_dos::item_text(uint32_t id, const duty_dat& duty) {
  who_kind who;
  const wchar_t* name;
  const WhichRuleTerm* rule;
  const bool stored = Owner(&who, &name) && BuildRule(who, name, id, duty, &rule) && sc_rules::rule_exists(rule);
  const wchar_t* prefix = stored ? L"CAN" : L"Can't";
  switch (id) {
    case kThisDuty: return tav::string::concat(prefix, L" do this duty");
    case kAnySlot: return tav::string::concat(prefix, L" do any ", kalmora_DB::get_slot_name(duty.at.slot));
    case kAnyDay: {
      const wchar_t* day = L"";
      rizediveva6::mytime::dayno_dayname(duty.at.day, &day);
      return tav::string::concat(prefix, L" do any ", day);
    }
    case kThisWeek: return tav::string::concat(prefix, L" do this week");
    case kAnyTask: return tav::string::concat(prefix, L" do any ", tasks::get_task_name(duty.task));
    default: return tav::string::concat(prefix, L" do any ", locations::get_where_name(duty.where));
  }
}

bool draw_cant_dos::popup_cantdo_menu(LONG_PTR window, pnt_struct p) {
  const dtbd_rec* r = dtbd.duty_at(xpnt_);
  if (!r) return false;
  rizediveva6::HeapArray<menu_item*> items;
  for (uint32_t id = kThisDuty; id <= kAnyWhere; ++id) items.push_back(dyn_menu::Item(id, item_text(id, r->duty), nullptr));
  menu_PopUp(window, dyn_menu::Menu(items), &p, 0);
  return true;
}

bool draw_cant_dos::_cant_do_eh(LONG_PTR window, const event_struct* e) {
  return dtbd.handle_rows(window, e, [&] {
    int result = -1;
    switch (e->kind) {
      case e_update: drew_cant_dos(rule_added::rule_added_failed); result = 1; break;
      case e_mousemove: xpnt_ = EventPoint(e); break;
      case e_char:
        if (e->w[0] == 27) {
          dtbd.move_start_time_to_zero();
          dtbd.full_draw();
          win_Invalidate_0(window);
          result = 1;
        } else if (e->w[0] == 127) {
          const dtbd_rec* r = dtbd.duty_at(xpnt_);
          result = 0;
          if (!r) break;
          const duty_dat duty = r->duty;
          remove_cant_do(duty);
          drew_one_cant_dos(rule_added::rule_removed, duty);
          result = 1;
        }
        break;
      case e_mousedown: {
        xpnt_ = EventPoint(e);
        if (e->w[2] != 0 && e->w[2] != 1) break;
        result = 0;
        const dtbd_rec* r = dtbd.duty_at(xpnt_);
        if (!r) break;
        if (e->w[2] == 0) {
          const duty_dat duty = r->duty;
          drew_one_cant_dos(add_or_remove_cant_do(kThisDuty, duty), duty);
          result = 1;
        } else {
          result = popup_cantdo_menu(window, xpnt_) ? 1 : 0;
        }
        break;
      }
      case e_menu:
        if (e->w[0] >= kThisDuty && e->w[0] <= kAnyWhere) {
          const dtbd_rec* r = dtbd.duty_at(xpnt_);
          if (!r) break;
          drew_cant_dos(add_or_remove_cant_do(static_cast<uint32_t>(e->w[0]), r->duty));
          result = 1;
        }
        break;
      case e_control:
        if (e->w[0] == 981 || e->w[0] == 982) delete_pic2();
        break;
      default: break;
    }
    return result;
  });
}

}  // namespace all
