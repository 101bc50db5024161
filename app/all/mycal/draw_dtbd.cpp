// draw_dtbd: see the header.
#include "mycal/draw_dtbd.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

#include "SYSTEM/options/options_db.h"
#include "SYSTEM/timepack/mytime.h"
#include "commandtree/comtree.h"
#include "kalmoradb/actual_dtbd.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/locations.h"
#include "kalmoradb/sc_include.h"
#include "kalmoradb/sc_mod_date.h"
#include "kalmoradb/sc_stat_weekend.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/tasks.h"
#include "kwi/kwi.h"
#include "mycal/dyn_menu.h"
#include "mycal/layer_terms.h"
#include "phase1/sc_phase1.h"
#include "stream/stream.h"

namespace all {

using namespace QEL_KWI;
using rizediveva6::HeapArray;
using rizediveva6::mytime;
using rizediveva6::options_db;
using rizediveva6::time_convert;
using rizediveva6::wyn;
namespace K = Qel::RunTime::Kernel;

const tav::ClassInfo draw_dtbd::classInfo{L"qel6pack/all/mycal/draw_dtbd", TAV_CLASS_VERSION};

namespace {

constexpr uint32_t kRemoveDuty = 8114, kRemoveAll = 8115;

// nd_sp order: period, slot, day.
bool SpBefore(const sp& a, const sp& b) {
  if (a.period != b.period) return a.period < b.period;
  if (a.slot != b.slot) return a.slot < b.slot;
  return a.day < b.day;
}

const wchar_t* Join(std::initializer_list<const wchar_t*> parts) {
  size_t n = 1;
  for (const wchar_t* p : parts) n += wcslen(p);
  wchar_t* out = K::Memory::AllocHeapString(static_cast<uint32_t>(n));
  out[0] = 0;
  for (const wchar_t* p : parts) wcscat(out, p);
  return out;
}

// The circle of a column: radius the smaller quarter, centre at half.
rect_struct Circle(rect_struct r) {
  const int32_t a = RoundHalfAway((r.right - r.left) * 0.25), b = RoundHalfAway((r.bottom - r.top) * 0.25);
  const int32_t radius = std::min(a, b);
  const int32_t cx = r.left + 2 * a, cy = r.top + 2 * b;
  return {cx - radius, cy - radius, cx + radius, cy + radius};
}

void SetCursor(wyndow t, int32_t cursor) {
  if (t.alt != wyndow::screen) return;
  K::RunTrapped([&] { tav::kwi::cursorset(t.window, cursor); });
}

}  // namespace

draw_dtbd* draw_dtbd::new_dtbd(LONG_PTR window) {
  draw_dtbd* d = tav::NewObject<draw_dtbd>();
  d->new_dtbd_init(window);
  return d;
}

void draw_dtbd::new_dtbd_init(LONG_PTR window) {
  bySp_.reserve(kSpCells);
  for (uint32_t i = 0; i < kSpCells; ++i) bySp_.push_back(0);
  cal.new_calendarwin_init(window);
}

PROLOG_EHANDLER_STRUCT* draw_dtbd::closure() {
  closure_ = {reinterpret_cast<void*>(&LayerEvents<draw_dtbd, &draw_dtbd::_dtbd_eh>), this};
  return &closure_;
}

wyndow draw_dtbd::get_wyn() const { return cal.get_cal_wyn(); }

// --- Records --------------------------------------------------------------------------

bool draw_dtbd::ndd_dtbd(tav::Each<const dtbd_rec*> k) const {
  for (const dtbd_rec& r : ndb_dtbd_)
    if (r.live && tav::TrySolution(k, &r)) return true;
  return false;
}

void draw_dtbd::clear_dtbd_rcts() {
  for (const dtbd_rec& r : ndb_dtbd_) {
    uint32_t i;
    if (SpIndex(r.duty.at, &i)) bySp_[i] = 0;
  }
  ndb_dtbd_.clear();
  dead_ = 0;
}

const dtbd_rec* draw_dtbd::duty_at(pnt_struct p) const {
  for (const dtbd_rec& r : ndb_dtbd_)
    if (r.live && PointIn(r.rect, p)) return &r;
  return nullptr;
}

const dtbd_rec* draw_dtbd::record_of(const duty_dat& d) const {
  uint32_t i;
  if (!SpIndex(d.at, &i)) return nullptr;
  for (int32_t at = bySp_[i]; at; at = ndb_dtbd_[static_cast<uint32_t>(at - 1)].next) {
    const dtbd_rec& r = ndb_dtbd_[static_cast<uint32_t>(at - 1)];
    if (r.live && r.duty == d) return &r;
  }
  return nullptr;
}

void draw_dtbd::duties_in_sp(const sp& at, HeapArray<duty_dat>* out) const {
  uint32_t i;
  if (!SpIndex(at, &i)) return;
  // A chain's order depends on compaction: the record index is the
  // insertion order.
  uint32_t live[128], n = 0;
  for (int32_t r = bySp_[i]; r && n < 128; r = ndb_dtbd_[static_cast<uint32_t>(r - 1)].next)
    if (ndb_dtbd_[static_cast<uint32_t>(r - 1)].live) live[n++] = static_cast<uint32_t>(r - 1);
  std::sort(live, live + n);
  for (uint32_t k = 0; k < n; ++k) out->push_back(ndb_dtbd_[live[k]].duty);
}

// The record leaves its chain at once; its place in the array stays dead
// until the next compaction.
void draw_dtbd::drop_record(int32_t index) {
  dtbd_rec& r = ndb_dtbd_[static_cast<uint32_t>(index)];
  uint32_t s;
  if (SpIndex(r.duty.at, &s)) {
    int32_t* link = &bySp_[s];
    while (*link && *link != index + 1) link = &ndb_dtbd_[static_cast<uint32_t>(*link - 1)].next;
    if (*link) *link = r.next;
  }
  r.live = false;
  ++dead_;
}

void draw_dtbd::keep(const duty_dat& d, const wchar_t* label, rect_struct r, bool flag) {
  uint32_t i;
  if (!SpIndex(d.at, &i)) rizediveva6::RaiseRangeError();
  // A duty drawn again keeps its key text (the key depends on the duty alone).
  const wchar_t* keyText = nullptr;
  if (const dtbd_rec* old = record_of(d)) {
    keyText = old->key;
    drop_record(static_cast<int32_t>(old - ndb_dtbd_.begin()));
  }
  if (dead_ > 64 && dead_ > ndb_dtbd_.size() / 2) {
    // Compact: the live records keep their order; chains are rebuilt.
    uint32_t out = 0;
    for (uint32_t j = 0; j < ndb_dtbd_.size(); ++j)
      if (ndb_dtbd_[j].live) ndb_dtbd_[out++] = ndb_dtbd_[j];
    while (ndb_dtbd_.size() > out) ndb_dtbd_.erase(ndb_dtbd_.size() - 1);
    for (uint32_t j = 0; j < kSpCells; ++j) bySp_[j] = 0;
    for (uint32_t j = out; j > 0; --j) {
      dtbd_rec& rec = ndb_dtbd_[j - 1];
      uint32_t s = 0;
      SpIndex(rec.duty.at, &s);
      rec.next = bySp_[s];
      bySp_[s] = static_cast<int32_t>(j);
    }
    dead_ = 0;
  }
  if (!keyText) keyText = K::Memory::CopyStringToHeap(sc_phase1::get_dtbd_key(d).text);
  ndb_dtbd_.push_back({keyText, d, label, r, d.changed, flag, true, bySp_[i]});
  bySp_[i] = static_cast<int32_t>(ndb_dtbd_.size());
}

void draw_dtbd::full_draw() {
  boo_just_draw_rects_ = false;
  clear_dtbd_rcts();
}

bool draw_dtbd::pnt_period(pnt_struct p, uint32_t* period) const {
  const dtbd_rec* r = duty_at(p);
  if (!r) return false;
  *period = r->duty.at.period;
  return true;
}

void draw_dtbd::move_start_time_to_zero() { cal.move_start_time(0); }

void draw_dtbd::set_thiswyn_dtbd(wyndow t) {
  cal.set_thiswyn(t);
  cal.cal_full_draw();
}

// --- Drawing --------------------------------------------------------------------------

showing_extras draw_dtbd::make_showing(showing_extras requested) const {
  if (requested.kind != showing_kind::show_rules) return requested;
  const wchar_t* name;
  if (sc_include::person_showing(&name)) {
    const PersonTerm* person;
    if (staff_db::get_person(name, &person)) return {showing_kind::show_pg_rules, pg_kind::p, person->ref, nullptr};
    return requested;
  }
  if (sc_include::group_showing(&name)) return {showing_kind::show_pg_rules, pg_kind::g, 0, name};
  return requested;
}

const wchar_t* draw_dtbd::task_name(uint32_t task) {
  while (taskNames_.size() <= task) taskNames_.push_back(nullptr);
  if (!taskNames_[task]) taskNames_[task] = tasks::get_task_name(task);
  return taskNames_[task];
}

const wchar_t* draw_dtbd::where_name(uint32_t where) {
  while (whereNames_.size() <= where) whereNames_.push_back(nullptr);
  if (!whereNames_[where]) whereNames_[where] = locations::get_where_name(where);
  return whereNames_[where];
}

void draw_dtbd::drew_dtbd(showing_extras showing, rule_added mode) {
  held_context held(get_wyn());
  if (mode != rule_added::rule_added) cal.drew_cal();
  K::RunTrapped([&] { draw_duties(showing, mode); });
  held.release();
}

void draw_dtbd::draw_duties(showing_extras showing, rule_added mode) {
  const wyndow t = get_wyn();
  SetCursor(t, kDrawingCursor);
  if (boo_just_draw_rects_ && t.alt == wyndow::screen) {
    xshowing_extras_ = make_showing(showing);
    K::RunTrapped([&] { redraw_records(mode); });
  } else {
    K::RunTrapped([&] {
      clear_dtbd_rcts();
      xshowing_extras_ = make_showing(showing);
      // Only the slot-periods shown have a cell: the others would draw nothing.
      HeapArray<duty_dat> all;
      actual_dtbd::nd_dats_to_be_done([&](sp_duties s) {
        if (cal.slot_of(s.at))
          for (uint32_t i = 0; i < s.count; ++i) all.push_back(s.first[i]);
        K::Fail();
      });
      if (!all.empty()) drew_few_dtbd(showing, all.begin(), all.size(), mode, false);
    });
  }
  boo_just_draw_rects_ = true;
  SetCursor(t, 1);
}

void draw_dtbd::redraw_records(rule_added mode) {
  const wyndow t = get_wyn();
  simple_ = [] {
    int32_t v;
    return options_db::various_i(L"simple", &v) && v == 1;
  }();
  tools_.forget();
  for (const dtbd_rec& r : ndb_dtbd_) {
    if (!r.live) continue;
    tools_.fore(t, 0);
    background(mode, r.rect);
    wyn::wdrawtextinrect(t, r.rect, r.label, -1, CentredWrap());
    // Nothing draws with it before the next brush: the corner and the
    // extras set their own, the next background too.
    tools_.brush_later({2, 0xFFFFFF});
    if (r.modified) corner_mark(r.rect);
    duty_dat further;
    draw_extras(r.duty, r.rect, &further);
  }
  tools_.flush(t);
}

void draw_dtbd::drew_few_dtbd(showing_extras showing, const duty_dat* duties, uint32_t count, rule_added mode,
                              bool flag) {
  if (!count) return;
  xshowing_extras_ = make_showing(showing);
  taskNames_.clear();
  whereNames_.clear();
  dateOf_ = nullptr;
  tools_.forget();
  simple_ = [] {
    int32_t v;
    return options_db::various_i(L"simple", &v) && v == 1;
  }();
  // Group by slot-period in nd_sp order, each group in list order.
  HeapArray<uint32_t> order;
  order.reserve(count);
  for (uint32_t i = 0; i < count; ++i) order.push_back(i);
  uint32_t* first = &order[0];
  std::stable_sort(first, first + count,
                   [&](uint32_t a, uint32_t b) { return SpBefore(duties[a].at, duties[b].at); });
  HeapArray<duty_dat> group;
  for (uint32_t i = 0; i < count;) {
    group.clear();
    const sp at = duties[order[i]].at;
    while (i < count && duties[order[i]].at == at) group.push_back(duties[order[i++]]);
    draw_cell(group.begin(), group.size(), mode, flag);
  }
}

void draw_dtbd::draw_cell(const duty_dat* duties, uint32_t count, rule_added mode, bool flag) {
  const slot_rct* cell = nullptr;
  duty_dat further{};
  bool pending = false;
  uint32_t k = 1;
  for (uint32_t i = 0; i < count || pending; ++k) {
    // A tied duty named by the extras is drawn next; its own extras name no further one.
    const bool isFurther = pending;
    const duty_dat d = pending ? further : duties[i++];
    pending = false;
    const slot_rct* slot = cal.slot_of(d.at);
    if (!slot) continue;
    if (!cell) cell = slot;
    if (!sc_include::allow_task(d.task) || !sc_include::allow_where(d.where)) continue;
    duty_dat next{};
    draw_column(d, *slot, k, count, mode, flag, &next);
    if (!isFurther && next.at.period) {
      further = next;
      pending = true;
    }
  }
}

void draw_dtbd::draw_column(const duty_dat& d, const slot_rct& slot, uint32_t k, uint32_t count, rule_added mode,
                            bool flag, duty_dat* further) {
  const wyndow t = get_wyn();
  tools_.backmode(t, 1);
  if (dateOf_ != &slot) {
    dateOf_ = &slot;
    dateText_ = mytime::dt_str1(slot.date);
  }
  const wchar_t* label = Join({dateText_, L" ", task_name(d.task), L" ", where_name(d.where)});
  const uint32_t w = static_cast<uint32_t>(
      std::lround(double(slot.rect.right - slot.rect.left) / count));
  const int32_t left = slot.rect.left + static_cast<int32_t>((k - 1) * w);
  const rect_struct col{left, slot.rect.top, slot.rect.left + static_cast<int32_t>(k * w) - 1, slot.rect.bottom};
  background(mode, col);
  tools_.fore(t, 0);
  wyn::wdrawtextinrect(t, col, label, -1, CentredWrap());
  if (d.changed) corner_mark(col);
  draw_extras(d, col, further);
  keep(d, label, col, flag);
}

// The red triangle in the top left corner of a one-off duty's column.
void draw_dtbd::corner_mark(rect_struct r) {
  const wyndow t = get_wyn();
  tools_.brush(t, {2, 0x0000FF});
  tools_.pen(t, {1, 0, 0x0000FF});
  pnt_struct corner[3] = {{r.left + 1, r.top + 1}, {r.left + 6, r.top + 1}, {r.left + 1, r.top + 6}};
  pntlist_struct cells[4] = {{ListCons, &corner[0], &cells[1]}, {ListCons, &corner[1], &cells[2]},
                             {ListCons, &corner[2], &cells[3]}, {ListNil, nullptr, nullptr}};
  wyn::wdrawpolygon(t, cells);
}

void draw_dtbd::background(rule_added mode, rect_struct r) {
  if (mode == rule_added::rule_added) return;
  const wyndow t = get_wyn();
  if (simple_) {
    tools_.brush(t, {2, 0xFFFFFF});
    tools_.pen(t, {1, 0, 0x000000});
    wyn::wdrawrect(t, r);
    return;
  }
  wyn::o_fade_rect(t, r, true, rizediveva6::rgb{170, 170, 170}, rizediveva6::rgb{255, 255, 255});
  tools_.forget_pen();  // the fade's pens
  tools_.brush(t, {1, 0xFFFFFF});
  tools_.pen(t, {1, 0, 0x000000});
  wyn::wdrawrect(t, r);
}

bool draw_dtbd::draw_extras(const duty_dat& d, rect_struct r, duty_dat* further) {
  const wyndow t = get_wyn();
  switch (xshowing_extras_.kind) {
    case showing_kind::show_pg_rules: {
      const duty_term term(d);
      PgTerm who{static_cast<uint64_t>(xshowing_extras_.who), {}};
      if (xshowing_extras_.who == pg_kind::p) who.doctor = xshowing_extras_.doctor;
      else who.group = xshowing_extras_.group;
      const ReasonTerm* reason = sc_rules::rule_allows_it(&term.dat, &who);
      if (reason->Kind() != reason_kind::cant_rule_reason) return false;
      const bool tie = static_cast<rule_reason_kind>(reason->rule->functor) == rule_reason_kind::tie_prevents_rule;
      const uint32_t colour = tie ? 0x00A5FFu : reason->rule->colour;
      tools_.pen(t, {2, 0, colour});
      wyn::wdrawline(t, {r.left + 2, r.top + 2}, {r.right - 2, r.bottom - 2});
      wyn::wdrawline(t, {r.right - 2, r.top + 2}, {r.left + 2, r.bottom - 2});
      tools_.fore(t, static_cast<int32_t>(colour));
      const wchar_t* text = tie ? L"Tie + Can't do combination prevents this" : reason->rule->text;
      wyn::wdrawtextinrect(t, {r.left + 2, r.top + 8, r.right - 2, r.bottom}, text, -1, CentredWrap());
      tools_.fore(t, 0);
      if (tie) *further = DutyDatOf(reason->rule->duty);
      return true;
    }
    case showing_kind::show_holidays:
    case showing_kind::show_weekends: {
      const bool hol = xshowing_extras_.kind == showing_kind::show_holidays;
      if ((hol ? sc_stat_weekend::sp_is_holiday(d.at) : sc_stat_weekend::sp_is_weekend(d.at)) != 1) return false;
      const uint32_t colour = hol ? 0xFFFF00u : 0x00FFFFu;
      tools_.pen(t, {1, 0, colour});
      tools_.brush(t, {2, colour});
      wyn::wdrawellipse(t, Circle(r));
      return true;
    }
    default: return false;
  }
}

// --- Events ---------------------------------------------------------------------------

void draw_dtbd::invalidate() { win_Invalidate_0(cal.window()); }

bool draw_dtbd::change_at_point(uint32_t task, uint32_t where) {
  const slot_rct* slot = cal.slot_at(xpnt_);
  if (!slot) return false;
  uint32_t dayNo;
  const wchar_t* dayName;
  time_convert::date_weekno_dayno(slot->date, &dayNo, &dayName);
  sc_mod_date::add_or_remove(dt_duty{slot->date, dayNo, tls{task, where, slot->at.slot}});
  full_draw();
  invalidate();
  return true;
}

bool draw_dtbd::del_dtbd() {
  const dtbd_rec* r = duty_at(xpnt_);
  if (!r) return false;
  const duty_dat d = r->duty;
  uint32_t dayNo;
  const wchar_t* dayName;
  const dt date = kalmora_DB::sp_dt(d.at);
  time_convert::date_weekno_dayno(date, &dayNo, &dayName);
  sc_mod_date::add_or_remove(dt_duty{date, dayNo, tls{d.task, d.where, d.at.slot}});
  sc_phase1::must_regenerate(L"regen - draw_cal");
  full_draw();
  invalidate();
  return true;
}

void draw_dtbd::popup_menu(LONG_PTR window, pnt_struct p) {
  using namespace dyn_menu;
  HeapArray<menu_item*> locs, taskItems;
  tasks::nd_tasks([&](task_entry task) {
    locs.clear();
    locations::nd_locs([&](where_entry where) {
      locs.push_back(Item(where.number * 100 + task.number, where.name, nullptr));
      K::Fail();
    });
    taskItems.push_back(Item(0, task.name, ListOf(locs)));
    K::Fail();
  });
  HeapArray<menu_item*> top;
  top.push_back(Item(0, L"make duty here", ListOf(taskItems)));
  top.push_back(Separator());
  top.push_back(Item(kRemoveDuty, L"Remove duty [DEL]", nullptr));
  top.push_back(Item(kRemoveAll, L"Remove all modifications", nullptr));
  menu_PopUp(window, Menu(top), &p, 0);
}

bool draw_dtbd::_dtbd_eh(LONG_PTR window, const event_struct* e) {
  volatile bool handled = false;
  K::RunTrapped([&] {
    switch (e->kind) {
      case e_menu: {
        const LONG_PTR id = e->w[0];
        if (id >= 101 && id <= 1999) {
          const uint32_t where = static_cast<uint32_t>(id / 100), task = static_cast<uint32_t>(id - 100 * (id / 100));
          handled = change_at_point(task, where);
        } else if (id == kRemoveDuty) {
          handled = del_dtbd();
        } else if (id == kRemoveAll) {
          sc_mod_date::clear();
          full_draw();
          invalidate();
          handled = true;
        }
        break;
      }
      case e_char:
        if (e->w[0] == 27) {
          cal.move_start_time(0);
          full_draw();
          invalidate();
          handled = true;
        } else if (e->w[0] == 127) {
          handled = del_dtbd();
        }
        break;
      case e_mousemove: {
        xpnt_ = EventPoint(e);
        const dtbd_rec* r = duty_at(xpnt_);
        const wchar_t* text = L"";
        if (r) {
          const duty_term t(r->duty);
          const wchar_t* where;
          kalmora_DB::duty_desc1(&t.dat, &text, &where);
        }
        comtree::update_cs_help(0, text);
        handled = true;
        break;
      }
      case e_mousedown:
        if (e->w[2] == 1) {
          xpnt_ = EventPoint(e);
          popup_menu(window, xpnt_);
          handled = true;
        }
        break;
      case e_size:
        cal.cal_full_draw();
        full_draw();
        break;
      case e_update:
        drew_dtbd(xshowing_extras_, rule_added::rule_added_failed);
        handled = true;
        break;
      case e_control:
        if (e->w[0] == 981 || e->w[0] == 982) full_draw();
        break;
      case e_vscroll:
      case e_hscroll: full_draw(); break;
      default: break;
    }
  });
  if (handled) return true;
  cal._cal_eh(window, e);
  if (e->kind == e_vscroll || e->kind == e_hscroll) {
    full_draw();
    K::RunTrapped([&] { invalidate(); });
    return true;
  }
  return false;
}

}  // namespace all
