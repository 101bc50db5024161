// draw_assign: see the header.
#include "mycal/draw_assign.h"

#include <cwchar>

#include "SYSTEM/myKWI/myKWI.h"
#include "SYSTEM/orv_list/orv_list.h"
#include "commandtree/comtree.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/lock_ass.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/sc_include.h"
#include "kalmoradb/staff_db.h"
#include "kwi/kwi.h"
#include "phase1/sc_phase1.h"
#include "stream/stream.h"

namespace all {

using namespace QEL_KWI;
using rizediveva6::HeapArray;
using rizediveva6::SList;
using rizediveva6::wyn;
namespace K = Qel::RunTime::Kernel;

const tav::ClassInfo draw_assign::classInfo{L"qel6pack/all/mycal/draw_assign", TAV_CLASS_VERSION};

namespace {

const tav::BooleanTerm kFalseTerm{1}, kTrueTerm{2};
ilist_struct kEnd{ListNil, 0, nullptr};
ilist_struct kWrap{ListCons, 13, &kEnd};
ilist_struct kCentredWrap{ListCons, 2, &kWrap};

// The duty as a term, living as long as the holder.
struct duty_term {
  explicit duty_term(const duty_dat& d)
      : at{1, d.at.day, d.at.period, d.at.slot}, dat{1, &at, d.where, d.task, d.changed ? &kTrueTerm : &kFalseTerm} {}
  SpTerm at;
  DutyDatTerm dat;
};

// The box of a column: its lower 60 %, inset a tenth of the width each side.
rect_struct BoxOf(rect_struct c) {
  const double w = c.right - c.left, h = c.bottom - c.top;
  return {c.left + RoundHalfAway(0.1 * w), c.top + RoundHalfAway(0.4 * h), c.left + RoundHalfAway(0.9 * w),
          c.bottom - 1};
}

const wchar_t* Concat(const wchar_t* a, const wchar_t* b, const wchar_t* c) {
  const size_t n = wcslen(a) + wcslen(b) + wcslen(c) + 1;
  wchar_t* out = K::Memory::AllocHeapString(static_cast<uint32_t>(n));
  swprintf(out, n, L"%ls%ls%ls", a, b, c);
  return out;
}

// "&Yes" answered.
bool Confirmed(const wchar_t* question) {
  uint32_t answer = 1;
  const bool answered = rizediveva6::myKWI::ask(
      question, rizediveva6::AsStringList(rizediveva6::MakeList<const wchar_t*>({L"&Yes", L"&Cancel"})), &answer);
  return answered && answer == 0;
}

void ShowVerdict(const ReasonTerm* verdict) { comtree::update_cs_help(255, L"", verdict); }

}  // namespace

draw_assign* draw_assign::new_assign(LONG_PTR window) {
  draw_assign* a = tav::NewObject<draw_assign>();
  a->dtbd.full_draw();
  a->dtbd.new_dtbd_init(window);
  return a;
}

PROLOG_EHANDLER_STRUCT* draw_assign::closure() {
  closure_ = {reinterpret_cast<void*>(&LayerEvents<draw_assign, &draw_assign::_assign_eh>), this};
  return &closure_;
}

void draw_assign::delete_pic2() { dtbd.full_draw(); }

const assigned_rec* draw_assign::assignment_at(pnt_struct p) const {
  for (const assigned_rec& r : ndb_duty_assigned_rct_)
    if (PointIn(r.cell, p)) return &r;
  return nullptr;
}

// --- Drawing --------------------------------------------------------------------------

void draw_assign::drew_all_assign(const SList* path) {
  K::RunTrapped([&] {
    if (!path->Empty() && (wcscmp(path->head, L"Tasks") == 0 || wcscmp(path->head, L"Locations") == 0))
      dtbd.full_draw();
    dtbd.drew_dtbd(Showing(showing_kind::show_rules), rule_added::rule_added_failed);
    thiswyn_ = dtbd.get_wyn();
    if (thiswyn_.alt != wyndow::screen) return;
    thiswin_ = thiswyn_.window;
    drew_assignments();
  });
}

void draw_assign::drew_assignments() {
  ndb_duty_assigned_rct_.clear();
  lookRefs_.clear();
  looks_.clear();
  held_context held(thiswyn_);
  K::RunTrapped([&] {
    wyn::wsetforecolor(thiswyn_, 0);
    dtbd.ndd_dtbd([&](const dtbd_rec* r) {
      const duty_dat duty = r->duty;
      const rect_struct column = r->rect;
      K::RunTrapped([&] { drew_one_cell(duty, column); });
      K::Fail();
    });
  });
  held.release();
}

bool draw_assign::look_of(chain_ref doctor, doctor_look* look) {
  for (uint32_t i = 0; i < lookRefs_.size(); ++i)
    if (lookRefs_[i] == doctor) {
      *look = looks_[i];
      return look->name != nullptr;
    }
  doctor_look l{nullptr, 0, false, false};
  K::RunTrapped([&] {
    const PersonTerm* p = staff_db::get_personref(doctor);
    if (!p || !p->dat || !p->dat->deleted || p->dat->deleted->functor != kExists) return;
    l = {p->dat->name, p->dat->colour, sc_include::allow_group(rizediveva6::AsSList(p->dat->groups)),
         sc_include::allow_person(p->dat->name)};
  });
  lookRefs_.push_back(doctor);
  looks_.push_back(l);
  *look = l;
  return l.name != nullptr;
}

void draw_assign::forget_key(const wchar_t* key) {
  for (uint32_t i = ndb_duty_assigned_rct_.size(); i > 0; --i)
    if (wcscmp(ndb_duty_assigned_rct_[i - 1].key, key) == 0) ndb_duty_assigned_rct_.erase(i - 1);
}

void draw_assign::drew_one_cell(const duty_dat& duty, rect_struct column) {
  const duty_key key = sc_phase1::get_dtbd_key(duty);
  chain_ref doctor;
  if (!sc_assign::is_assigned(key.text, &doctor)) return;
  doctor_look look;
  if (!look_of(doctor, &look) || !look.shown) return;
  const rect_struct cell = BoxOf(column);
  forget_key(key.text);
  ndb_duty_assigned_rct_.push_back({cell, duty, K::Memory::CopyStringToHeap(key.text), doctor, look.name});
  const uint32_t colour = static_cast<uint32_t>(look.colour);
  wyn::wsetbrush(thiswyn_, {look.highlight ? 2u : 5u, colour});
  wyn::wsetpen(thiswyn_, {1, 0, colour});
  wyn::wdrawroundrect(thiswyn_, cell, 30, 30);
  if (lock_ass::is_locked_key(key.text)) wyn::wdrawrect(thiswyn_, cell);
  wyn::wsetbackmode(thiswyn_, 1);
  wyn::wdrawtextinrect(thiswyn_, cell, look.name, -1, &kCentredWrap);
}

void draw_assign::drew_days_assigns(const SList* keys) {
  K::RunTrapped([&] {
    for (; !keys->Empty(); keys = keys->tail) {
      const DutyTerm* found;
      if (!sc_phase1::get_duty_by_key(keys->head, &found)) continue;
      const duty_dat d = DutyDatOf(found->dat);
      HeapArray<duty_dat> day;
      dtbd.ndd_dtbd([&](const dtbd_rec* r) {
        if (r->duty.at.day == d.at.day && r->duty.at.period == d.at.period) day.push_back(r->duty);
        K::Fail();
      });
      if (day.empty()) continue;
      held_context held(thiswyn_);
      K::RunTrapped([&] {
        dtbd.drew_few_dtbd(Showing(showing_kind::show_rules), day.begin(), day.size(), rule_added::rule_removed, true);
        lookRefs_.clear();
        looks_.clear();
        wyn::wsetforecolor(thiswyn_, 0);
        for (const duty_dat& one : day) {
          forget_key(sc_phase1::get_dtbd_key(one).text);
          if (const dtbd_rec* r = dtbd.record_of(one)) K::RunTrapped([&] { drew_one_cell(one, r->rect); });
        }
      });
      held.release();
    }
  });
  comtree::update_stats_if_showing();
}

void draw_assign::repaint_all() {
  dtbd.full_draw();
  drew_all_assign(rizediveva6::Nil<const wchar_t*>());
}

// --- Commands -------------------------------------------------------------------------

bool draw_assign::assign_at(chain_ref doctor, pnt_struct p) {
  const dtbd_rec* r = dtbd.duty_at(p);
  if (!r) return false;
  const wchar_t* key = r->key;
  ShowVerdict(sc_assign::assign_person(test_ass::test_and_make, key, doctor));
  drew_days_assigns(rizediveva6::MakeList<const wchar_t*>({key}));
  return true;
}

bool draw_assign::hot_key(wchar_t letter) {
  const PersonTerm* person;
  if (!staff_db::get_person_char(letter, &person)) return false;
  return assign_at(person->ref, xpnt_);
}

bool draw_assign::lock_toggle(pnt_struct p) {
  const dtbd_rec* r = dtbd.duty_at(p);
  if (!r) return false;
  const wchar_t* key = r->key;
  const duty_term t(r->duty);
  if (!lock_ass::lock(&t.dat) && lock_ass::unlock(&t.dat)) {
    chain_ref doctor;
    if (sc_assign::is_assigned(key, &doctor)) sc_assign::remove_those_that_break_rules(doctor);
  }
  drew_days_assigns(rizediveva6::MakeList<const wchar_t*>({key}));
  return true;
}

bool draw_assign::lock_this() {
  const dtbd_rec* r = dtbd.duty_at(xpnt_);
  if (!r) return false;
  const wchar_t* key = r->key;
  const duty_term t(r->duty);
  if (!lock_ass::lock(&t.dat)) K::Fail();
  drew_days_assigns(rizediveva6::MakeList<const wchar_t*>({key}));
  return true;
}

bool draw_assign::lock_some(uint32_t id) {
  if (id < kLockWeek || id > kUnlockAll) return false;
  const int32_t code = all::kLockWeek + static_cast<int32_t>(id - kLockWeek);
  uint32_t period = 0;
  // The bulk codes for everything need no week.
  const bool week = id == kLockWeek || id == kUnlockWeek;
  if (week && !dtbd.pnt_period(xpnt_, &period)) return false;
  const wchar_t* name;
  if (sc_include::person_showing(&name)) lock_ass::lock_set(name, code, period);
  else lock_ass::lock_set(code, period);
  return true;
}

bool draw_assign::clear_some(uint32_t id) {
  if (id != kClearAll && id != kClearWeek) return false;
  clear_dom scope{clear_kind::clear_all, 0};
  if (id == kClearWeek) {
    // No week under the pointer: nothing to ask.
    if (!dtbd.pnt_period(xpnt_, &scope.period)) return false;
    scope.kind = clear_kind::clear_week;
  }
  const wchar_t* what = id == kClearAll ? L"Delete all assignments (except locked ones) for "
                                        : L"Delete all assignments this week for ";
  const uint32_t before = sc_assign::number_assigned();
  const wchar_t* name;
  if (sc_include::person_showing(&name)) {
    if (!Confirmed(Concat(what, name, L" ?"))) return true;
    sc_assign::clear_assignments(name, scope);
  } else {
    if (!Confirmed(Concat(what, L"everyone?", L""))) return false;
    sc_assign::clear_assignments(scope);
  }
  if (sc_assign::number_assigned() != before) kalmora_DB::set_as_mod();
  dtbd.drew_dtbd(Showing(showing_kind::show_rules), rule_added::rule_added_failed);
  return true;
}

bool draw_assign::del_ass() {
  const assigned_rec* r = assignment_at(xpnt_);
  if (!r) return false;
  const wchar_t* key = r->key;
  const SList* removed = sc_assign::p_remove_assignment(45, key);
  if (removed->Empty()) return true;  // locked: refused in the help line, the box stays
  kalmora_DB::set_as_mod();
  for (const SList* k = removed; !k->Empty(); k = k->tail) forget_key(k->head);
  dtbd.drew_dtbd(Showing(showing_kind::show_rules), rule_added::rule_added_failed);
  drew_assignments();
  comtree::update_stats_if_showing();
  return true;
}

void draw_assign::consistency_check() {
  sc_assign::must_be_repaired();
  sc_assign::repair_ass();
  comtree::update_any_liboxes(update_scope::calendar_only, {do_delete_selected::kind::dont_del, 0});
}

// --- Events ---------------------------------------------------------------------------

bool draw_assign::_assign_eh(LONG_PTR window, const event_struct* e) {
  return dtbd.handle_rows(window, e, [&] {
    switch (e->kind) {
      case e_menu: {
        const uint32_t id = static_cast<uint32_t>(e->w[0]);
        if (clear_some(id)) {
          drew_assignments();
          return 1;
        }
        if (id == kLockThis) return lock_this() ? 1 : -1;
        if (lock_some(id)) {
          repaint_all();
          return 1;
        }
        if (id == kRunEngine || id == kForceFill) {
          comtree::run_engine(id == kRunEngine ? engine_mode::run : engine_mode::force_fill);
          return 1;
        }
        if (id == kConsistency) {
          consistency_check();
          return 1;
        }
        return -1;
      }
      case e_char: {
        const LONG_PTR c = e->w[0];
        if (c == 127 && del_ass()) return 1;
        if (c == 27) {
          dtbd.move_start_time_to_zero();
          repaint_all();
          return 1;
        }
        if (c <= 0 || c > 0xFFFF) return 0;
        return hot_key(static_cast<wchar_t>(c)) ? 1 : 0;
      }
      case e_mousemove: {
        xpnt_ = EventPoint(e);
        const assigned_rec* r = assignment_at(xpnt_);
        if (!r) return -1;
        const duty_term t(r->duty);
        const wchar_t *desc = L"", *where;
        kalmora_DB::duty_desc1(&t.dat, &desc, &where);
        comtree::update_cs_help(0, Concat(r->name, L": ", desc));
        return 1;
      }
      case e_mouseup: return 1;
      case e_mousedown: {
        const pnt_struct p = EventPoint(e);
        const LONG_PTR button = e->w[2], mods = e->w[1];
        if (button == 1) {
          pnt_struct at = p;
          menu_PopUp(window, tav::kwi::menugetres(kMenu), &at, 0);
          return 1;
        }
        if (button == 0 && mods == 1) return lock_toggle(p) ? 1 : 0;
        const wchar_t* name;
        const PersonTerm* person;
        if (button == 0 && mods == 0 && sc_include::person_showing(&name) && staff_db::get_person(name, &person) &&
            assign_at(person->ref, p))
          return 1;
        return 1;
      }
      case e_update: drew_all_assign(rizediveva6::Nil<const wchar_t*>()); return 1;
      case e_control:
        if (e->w[0] == 981 || e->w[0] == 982) delete_pic2();
        return -1;
      default: return -1;
    }
  });
}

}  // namespace all
