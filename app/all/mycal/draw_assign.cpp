// draw_assign: see the header.
#include "mycal/draw_assign.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "SYSTEM/myKWI/myKWI.h"
#include "SYSTEM/options/options_db.h"
#include "SYSTEM/orv_list/orv_list.h"
#include "commandtree/comtree.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/lock_ass.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/sc_include.h"
#include "kalmoradb/staff_db.h"
#include "kwi/kwi.h"
#include "mycal/layer_terms.h"
#include "phase1/sc_phase1.h"
#include "stream/stream.h"
#include "string/string.h"

namespace all {

using namespace QEL_KWI;
using rizediveva6::HeapArray;
using rizediveva6::KeyRef;
using rizediveva6::List;
using rizediveva6::SList;
using rizediveva6::wyn;
namespace K = Qel::RunTime::Kernel;

const tav::ClassInfo draw_assign::classInfo{L"qel6pack/all/mycal/draw_assign", TAV_CLASS_VERSION};

namespace {

constexpr uint32_t kDays = 104 * 7;
constexpr uint32_t kSlots = 10;
constexpr int32_t kControl = 2;
constexpr uint32_t kRemoveDepth = 5, kDelDepth = 45;

// The box of a column: its lower 60 %, inset a tenth of the width each side.
rect_struct BoxOf(rect_struct c) {
  const double w = c.right - c.left, h = c.bottom - c.top;
  return {c.left + RoundHalfAway(0.1 * w), c.top + RoundHalfAway(0.4 * h), c.left + RoundHalfAway(0.9 * w),
          c.bottom - 1};
}

// "&Yes" answered.
bool Confirmed(const wchar_t* question) {
  uint32_t answer = 1;
  const bool answered = rizediveva6::myKWI::ask(
      question, rizediveva6::AsStringList(rizediveva6::MakeList<const wchar_t*>({L"&Yes", L"&Cancel"})), &answer);
  return answered && answer == 0;
}

void ShowVerdict(const ReasonTerm* verdict) { comtree::update_cs_help(255, L"", verdict); }
void Show(const wchar_t* text) { comtree::update_cs_help(255, text); }

// The cursor a move shows; the same cursor again loads no resource anew.
void MoveCursor(LONG_PTR window, int32_t id) {
  if (cursor_Get(window) != id) tav::kwi::cursorset(window, id);
}

bool CanDo(const ReasonTerm* r) { return r->Kind() == reason_kind::can_do_it; }
bool RuleIs(const ReasonTerm* r, rule_reason_kind k) {
  return r->Kind() == reason_kind::cant_rule_reason && static_cast<rule_reason_kind>(r->rule->functor) == k;
}
bool Busy(const ReasonTerm* r) {
  return r->Kind() == reason_kind::cant_assign_reason &&
         static_cast<assign_reason_kind>(r->assign->functor) == assign_reason_kind::is_busy;
}

const ReasonTerm* RuleFor(const duty_dat& duty, chain_ref doctor) {
  const duty_term t(duty);
  const PgTerm who{static_cast<uint64_t>(pg_kind::p), {doctor}};
  return sc_rules::rule_allows_it(&t.dat, &who);
}

const ReasonTerm* BusyAt(chain_ref doctor, const wchar_t* to, const wchar_t* from) {
  return sc_assign::person_is_busy_dtbd_key(doctor, to, rizediveva6::MakeList<const wchar_t*>({from}));
}

const wchar_t* DutyText(const DutyDatTerm* dat) {
  const wchar_t *desc = L"", *where;
  kalmora_DB::duty_desc1(dat, &desc, &where);
  return desc;
}

bool Assigned(const wchar_t* key) {
  chain_ref d;
  return sc_assign::is_assigned(key, &d);
}

// Removes an assigned key with its ties; false when the gate refused it
// (locked).  A key nobody holds is no refusal.
bool Removed(const wchar_t* key) {
  if (!Assigned(key)) return true;
  return !sc_assign::p_remove_assignment(kRemoveDepth, key)->Empty();
}

// Whether two font records describe the same font (the face compared as text).
bool SameFont(const uint8_t* a, const uint8_t* b) {
  LOGFONTW x, y;
  memcpy(&x, a, sizeof x);
  memcpy(&y, b, sizeof y);
  return x.lfHeight == y.lfHeight && x.lfWidth == y.lfWidth && x.lfEscapement == y.lfEscapement &&
         x.lfOrientation == y.lfOrientation && x.lfWeight == y.lfWeight && x.lfItalic == y.lfItalic &&
         x.lfUnderline == y.lfUnderline && x.lfStrikeOut == y.lfStrikeOut && x.lfCharSet == y.lfCharSet &&
         x.lfOutPrecision == y.lfOutPrecision && x.lfClipPrecision == y.lfClipPrecision &&
         x.lfQuality == y.lfQuality && x.lfPitchAndFamily == y.lfPitchAndFamily &&
         wcsncmp(x.lfFaceName, y.lfFaceName, LF_FACESIZE) == 0;
}

// Whether the window's area to paint lies inside the boxes.
bool PaintInside(LONG_PTR window, const HeapArray<rect_struct>& boxes) {
  int acquired = 0;
  HDC dc = win_GetNativeGraphicContext(window, &acquired);
  if (!dc) return false;
  HRGN area = CreateRectRgn(0, 0, 0, 0);
  bool inside = false;
  if (GetRandomRgn(dc, area, SYSRGN) == 1) {
    POINT origin{0, 0};
    ClientToScreen(reinterpret_cast<HWND>(window), &origin);
    OffsetRgn(area, -origin.x, -origin.y);
    for (const rect_struct& b : boxes) {
      HRGN box = CreateRectRgn(b.left, b.top, b.right, b.bottom);
      CombineRgn(area, area, box, RGN_DIFF);
      DeleteObject(box);
    }
    RECT left;
    inside = GetRgnBox(area, &left) == NULLREGION;
  }
  DeleteObject(area);
  if (acquired) win_ReleaseNativeGraphicContext(window, dc, 1);
  return inside;
}

}  // namespace

draw_assign* draw_assign::new_assign(LONG_PTR window) {
  draw_assign* a = tav::NewObject<draw_assign>();
  a->dtbd.full_draw();
  a->dtbd.new_dtbd_init(window);
  a->bySp_.reserve(kSpCells);
  for (uint32_t i = 0; i < kSpCells; ++i) a->bySp_.push_back(0);
  a->isPending_.reserve(kDays);
  for (uint32_t i = 0; i < kDays; ++i) a->isPending_.push_back(0);
  a->isUnsynced_.reserve(kDays);
  for (uint32_t i = 0; i < kDays; ++i) a->isUnsynced_.push_back(0);
  return a;
}

PROLOG_EHANDLER_STRUCT* draw_assign::closure() {
  closure_ = {reinterpret_cast<void*>(&LayerEvents<draw_assign, &draw_assign::_assign_eh>), this};
  return &closure_;
}

void draw_assign::delete_pic2() { dtbd.full_draw(); }

void draw_assign::set_thiswyn_ass(wyndow t) {
  thiswyn_ = t;
  dtbd.set_thiswyn_dtbd(t);
}

const assigned_rec* draw_assign::assignment_at(pnt_struct p) const {
  for (const assigned_rec& r : ndb_duty_assigned_rct_)
    if (r.key && PointIn(r.cell, p)) return &r;
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
  clear_records();
  lookRefs_.clear();
  looks_.clear();
  fontKnown_ = false;
  held_context held(thiswyn_);
  K::RunTrapped([&] {
    use_font();
    wyn::wsetforecolor(thiswyn_, 0);
    tools_.forget();
    dtbd.ndd_dtbd([&](const dtbd_rec* r) {
      const duty_dat duty = r->duty;
      const rect_struct column = r->rect;
      K::RunTrapped([&] { drew_one_cell(duty, column, r->key); });
      K::Fail();
    });
  });
  held.release();
}

// A context held apart from the calendar's draw has the window's font: the
// calendar's font is set on it, as the grid's draw sets it.  The font last
// set is kept: while the window still has it, nothing is set (reading the
// option and setting a font cost more than a day's boxes).
void draw_assign::use_font() {
  if (thiswyn_.alt == wyndow::screen && fontKnown_ && SameFont(win_GetFont(thiswyn_.window), font_)) return;
  const uint8_t* font = rizediveva6::options_db::opt_font();
  wyn::wsetfont(thiswyn_, const_cast<uint8_t*>(font));
  fontKnown_ = thiswyn_.alt == wyndow::screen;
  memcpy(font_, font, sizeof font_);
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
  for (uint32_t i = 0; i < ndb_duty_assigned_rct_.size(); ++i)
    if (ndb_duty_assigned_rct_[i].key && wcscmp(ndb_duty_assigned_rct_[i].key, key) == 0) forget_record(i);
}

// A duty's key belongs to its slot-period alone: only that slot-period's
// chain is looked at.
void draw_assign::forget_duty(const duty_dat& duty, const wchar_t* key) {
  uint32_t s;
  if (!SpIndex(duty.at, &s)) return;
  for (int32_t at = bySp_[s]; at; at = nextSp_[static_cast<uint32_t>(at - 1)])
    if (wcscmp(ndb_duty_assigned_rct_[static_cast<uint32_t>(at - 1)].key, key) == 0) {
      forget_record(static_cast<uint32_t>(at - 1));
      return;
    }
}

// The record leaves its chain at once; its place in the array stays dead
// until the next compaction.
void draw_assign::forget_record(uint32_t index) {
  uint32_t s;
  if (SpIndex(ndb_duty_assigned_rct_[index].duty.at, &s)) {
    const int32_t self = static_cast<int32_t>(index + 1);
    int32_t* link = &bySp_[s];
    while (*link && *link != self) link = &nextSp_[static_cast<uint32_t>(*link - 1)];
    if (*link) *link = nextSp_[index];
  }
  ndb_duty_assigned_rct_[index].key = nullptr;
  ++dead_;
}

void draw_assign::keep_record(const assigned_rec& r) {
  uint32_t s;
  if (!SpIndex(r.duty.at, &s)) rizediveva6::RaiseRangeError();
  if (dead_ > 64 && dead_ > ndb_duty_assigned_rct_.size() / 2) compact();
  ndb_duty_assigned_rct_.push_back(r);
  nextSp_.push_back(bySp_[s]);
  bySp_[s] = static_cast<int32_t>(ndb_duty_assigned_rct_.size());
}

void draw_assign::clear_records() {
  for (const assigned_rec& r : ndb_duty_assigned_rct_) {
    uint32_t s;
    if (SpIndex(r.duty.at, &s)) bySp_[s] = 0;
  }
  ndb_duty_assigned_rct_.clear();
  nextSp_.clear();
  dead_ = 0;
}

// The live records keep their order; the chains are rebuilt.
void draw_assign::compact() const {
  if (!dead_) return;
  uint32_t out = 0;
  for (uint32_t j = 0; j < ndb_duty_assigned_rct_.size(); ++j) {
    uint32_t s;
    if (SpIndex(ndb_duty_assigned_rct_[j].duty.at, &s)) bySp_[s] = 0;
    if (ndb_duty_assigned_rct_[j].key) ndb_duty_assigned_rct_[out++] = ndb_duty_assigned_rct_[j];
  }
  while (ndb_duty_assigned_rct_.size() > out) ndb_duty_assigned_rct_.erase(ndb_duty_assigned_rct_.size() - 1);
  nextSp_.clear();
  for (uint32_t j = 0; j < out; ++j) nextSp_.push_back(0);
  for (uint32_t j = out; j > 0; --j) {
    uint32_t s = 0;
    SpIndex(ndb_duty_assigned_rct_[j - 1].duty.at, &s);
    nextSp_[j - 1] = bySp_[s];
    bySp_[s] = static_cast<int32_t>(j);
  }
  dead_ = 0;
}

const HeapArray<assigned_rec>& draw_assign::assignments() const {
  compact();
  return ndb_duty_assigned_rct_;
}

// The caller has forgotten the duty's record (a full draw: all of them).
bool draw_assign::keep_cell(const duty_dat& duty, rect_struct column, const wchar_t* key, doctor_look* look,
                            rect_struct* cell) {
  chain_ref doctor;
  if (!sc_assign::is_assigned(key, &doctor)) return false;
  if (!look_of(doctor, look) || !look->shown) return false;
  *cell = BoxOf(column);
  keep_record({*cell, duty, key, doctor, look->name});
  return true;
}

void draw_assign::drew_one_cell(const duty_dat& duty, rect_struct column, const wchar_t* key) {
  doctor_look look;
  rect_struct cell;
  if (!keep_cell(duty, column, key, &look, &cell)) return;
  const uint32_t colour = static_cast<uint32_t>(look.colour);
  tools_.brush(thiswyn_, {look.highlight ? 2 : 5, colour});
  tools_.pen(thiswyn_, {1, 0, colour});
  wyn::wdrawroundrect(thiswyn_, cell, 30, 30);
  if (lock_ass::is_locked_key(ndb_duty_assigned_rct_.back().key)) wyn::wdrawrect(thiswyn_, cell);
  tools_.backmode(thiswyn_, 1);
  wyn::wdrawtextinrect(thiswyn_, cell, look.name, -1, CentredWrap());
}

bool draw_assign::day_box(uint32_t period, uint32_t day, rect_struct* box) const {
  bool any = false;
  for (uint32_t s = 1; s <= kSlots; ++s) {
    const slot_rct* r = dtbd.cal.slot_of({day, period, s});
    if (!r) continue;
    *box = any ? rect_struct{std::min(box->left, r->rect.left), std::min(box->top, r->rect.top),
                             std::max(box->right, r->rect.right), std::max(box->bottom, r->rect.bottom)}
               : r->rect;
    any = true;
  }
  // Edges included, as drawn.
  if (any) ++box->right, ++box->bottom;
  return any;
}

// The duties of a shown day, slot by slot.
void draw_assign::day_duties(uint32_t period, uint32_t day, HeapArray<duty_dat>* out) const {
  for (uint32_t s = 1; s <= kSlots; ++s) {
    const sp at{day, period, s};
    if (dtbd.cal.slot_of(at)) dtbd.duties_in_sp(at, out);
  }
}

// The day's records made to follow the stores, nothing drawn.
void draw_assign::sync_day(uint32_t period, uint32_t day) {
  HeapArray<duty_dat> duties;
  day_duties(period, day, &duties);
  for (const duty_dat& one : duties) {
    const dtbd_rec* r = dtbd.record_of(one);
    if (!r) continue;
    forget_duty(one, r->key);
    doctor_look look;
    rect_struct cell;
    K::RunTrapped([&] { keep_cell(one, r->rect, r->key, &look, &cell); });
  }
}

// The records of the days marked since the last sync brought up to date
// (before an input event of a run: hit tests see the stores).
void draw_assign::sync_marked() {
  if (unsynced_.empty()) return;
  lookRefs_.clear();
  looks_.clear();
  for (uint32_t index : unsynced_) {
    if (!isUnsynced_[index]) continue;  // drawn (and read) since it was marked
    isUnsynced_[index] = 0;
    K::RunTrapped([&] { sync_day(index / 7 + 1, index % 7 + 1); });
  }
  unsynced_.clear();
}

// Marking (during a run) reads nothing: the day waits for the next paint,
// and its records for the next input event or paint.
void draw_assign::mark_day(uint32_t period, uint32_t day) {
  if (!day_shown(period, day)) return;
  const uint32_t index = (period - 1) * 7 + day - 1;
  if (!isUnsynced_[index]) {
    isUnsynced_[index] = 1;
    unsynced_.push_back(index);
  }
  if (isPending_[index]) return;
  isPending_[index] = 1;
  pending_.push_back(index);
}

bool draw_assign::day_shown(uint32_t period, uint32_t day) const {
  for (uint32_t s = 1; s <= kSlots; ++s)
    if (dtbd.cal.slot_of({day, period, s})) return true;
  return false;
}

// The duties' columns drawn again through the base layer, then their boxes.
void draw_assign::draw_duties(const HeapArray<duty_dat>& duties) {
  if (duties.empty()) return;
  held_context held(thiswyn_);
  K::RunTrapped([&] {
    use_font();
    dtbd.drew_few_dtbd(Showing(showing_kind::show_rules), duties.begin(), duties.size(), rule_added::rule_removed, true);
    wyn::wsetforecolor(thiswyn_, 0);
    tools_.forget();  // the duties' draw set its own
    for (const duty_dat& one : duties) {
      const dtbd_rec* r = dtbd.record_of(one);
      if (!r) continue;
      forget_duty(one, r->key);
      K::RunTrapped([&] { drew_one_cell(one, r->rect, r->key); });
    }
  });
  held.release();
}

void draw_assign::drew_days_assigns(const SList* keys) {
  K::RunTrapped([&] {
    // The doctors are read once per draw.
    lookRefs_.clear();
    looks_.clear();
    // A day named twice in one request is drawn once; the days drawn at
    // once are drawn together (the base layer reads its names once).
    const bool mark = running_ && thiswyn_.alt == wyndow::screen;
    HeapArray<uint32_t> done;
    HeapArray<duty_dat> duties;
    for (; !keys->Empty(); keys = keys->tail) {
      const DutyTerm* found;
      if (!sc_phase1::get_duty_by_key(keys->head, &found)) continue;
      const sp at = DutyDatOf(found->dat).at;
      if (at.period < 1 || at.period > 104 || at.day < 1 || at.day > 7) continue;
      const uint32_t index = (at.period - 1) * 7 + at.day - 1;
      bool seen = false;
      for (uint32_t d : done) seen = seen || d == index;
      if (seen) continue;
      done.push_back(index);
      if (mark) mark_day(at.period, at.day);
      else day_duties(at.period, at.day, &duties);
    }
    draw_duties(duties);
    if (running_) invalidate_pending(false);
  });
  comtree::update_stats_if_showing();
}

// The days waiting since the last flush invalidated, at most every
// kFlushMs during a run (now: at once): a paint draws what the run changed
// meanwhile, each day once.
void draw_assign::invalidate_pending(bool now) {
  const ULONGLONG tick = GetTickCount64();
  if (!now && tick - lastFlush_ < kFlushMs) return;
  lastFlush_ = tick;
  // One region for all: each invalidation is a round trip to the server.
  HRGN area = CreateRectRgn(0, 0, 0, 0);
  for (uint32_t i = flushed_; i < pending_.size(); ++i) {
    rect_struct box;
    if (!day_box(pending_[i] / 7 + 1, pending_[i] % 7 + 1, &box)) continue;
    HRGN one = CreateRectRgn(box.left, box.top, box.right, box.bottom);
    CombineRgn(area, area, one, RGN_OR);
    DeleteObject(one);
  }
  InvalidateRgn(reinterpret_cast<HWND>(thiswin_), area, FALSE);
  DeleteObject(area);
  flushed_ = pending_.size();
}

// The invalidated days drawn and forgotten; those not yet invalidated wait.
void draw_assign::draw_pending() {
  lookRefs_.clear();
  looks_.clear();
  // All the days in one draw: the base layer reads its names once.
  HeapArray<uint32_t> waiting;
  HeapArray<duty_dat> duties;
  for (uint32_t i = 0; i < pending_.size(); ++i) {
    const uint32_t index = pending_[i];
    if (i >= flushed_) {
      waiting.push_back(index);
      continue;
    }
    isPending_[index] = 0;
    isUnsynced_[index] = 0;
    const uint32_t before = duties.size();
    day_duties(index / 7 + 1, index % 7 + 1, &duties);
    if (duties.size() != before) ++daysPainted_;
  }
  draw_duties(duties);
  forget_pending();
  for (uint32_t index : waiting) {
    isPending_[index] = 1;
    pending_.push_back(index);
  }
}

void draw_assign::forget_pending() {
  for (uint32_t index : pending_) isPending_[index] = 0;
  pending_.clear();
  flushed_ = 0;
}

// A full draw read every day.
void draw_assign::forget_marked() {
  forget_pending();
  for (uint32_t index : unsynced_) isUnsynced_[index] = 0;
  unsynced_.clear();
}

void draw_assign::paint(LONG_PTR window, const event_struct* e) {
  (void)e;
  if (flushed_) {
    HeapArray<rect_struct> boxes;
    for (uint32_t i = 0; i < flushed_; ++i) {
      rect_struct box;
      if (day_box(pending_[i] / 7 + 1, pending_[i] % 7 + 1, &box)) boxes.push_back(box);
    }
    if (PaintInside(window, boxes)) {
      draw_pending();
      return;
    }
  }
  const bool run = running_;
  if (!run) forget_marked();
  drew_all_assign(rizediveva6::Nil<const wchar_t*>());
  // The full draw read every day: those waiting are drawn too.
  if (run) forget_marked();
}

void draw_assign::repaint_all() {
  dtbd.full_draw();
  drew_all_assign(rizediveva6::Nil<const wchar_t*>());
}

void draw_assign::print() {
  const wyndow kept = thiswyn_;
  volatile LONG_PTR job = 0;
  K::RunTrapped([&] { job = print_StartJob(L"kalmora6"); });
  if (!job) return;
  set_thiswyn_ass(rizediveva6::Prnt(job));
  K::RunTrapped([&] {
    if (print_StartPage(job) != 1) return;
    dtbd.clear_dtbd_rcts();
    dtbd.drew_dtbd(Showing(showing_kind::show_rules), rule_added::rule_added_failed);
    drew_assignments();
    print_EndPage(job);
  });
  K::RunTrapped([&] { print_EndJob(job); });
  set_thiswyn_ass(kept);
  repaint_all();
}

// The run's end draws the whole layer afresh: a day painted while the
// progress window covered it kept the cover's pixels.
void draw_assign::run_engine(engine_mode mode) {
  running_ = true;
  const uint32_t error = K::RunTrapped([&] { comtree::run_engine(mode); });
  running_ = false;
  forget_marked();
  repaint_all();
  if (thiswyn_.alt == wyndow::screen) ValidateRect(reinterpret_cast<HWND>(thiswin_), nullptr);
  if (error) K::Errors::Qel_ErrorExit(error);
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
    if (!Confirmed(tav::string::concat(what, name, L" ?"))) return true;
    sc_assign::clear_assignments(name, scope);
  } else {
    if (!Confirmed(tav::string::concat(what, L"everyone?"))) return false;
    sc_assign::clear_assignments(scope);
  }
  if (sc_assign::number_assigned() != before) kalmora_DB::set_as_mod();
  dtbd.drew_dtbd(Showing(showing_kind::show_rules), rule_added::rule_added_failed);
  return true;
}

bool draw_assign::del_ass() {
  const assigned_rec* r = assignment_at(xpnt_);
  if (!r) return false;
  remove_drawn(r->key);
  return true;
}

// The DEL removal of a drawn assignment: marks the document and forgets
// the records of the keys the gate removed; true when it removed any.
bool draw_assign::remove_drawn(const wchar_t* key) {
  const SList* removed = sc_assign::p_remove_assignment(kDelDepth, key);
  if (removed->Empty()) return false;  // locked: refused in the help line, the box stays
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

// --- Drag and drop --------------------------------------------------------------------

// A left press on a drawn assignment: 1 a drag started, 0 refused (locked,
// or the feedback object is bad), -1 no assignment here.
int draw_assign::start_drag(LONG_PTR window, pnt_struct p, int32_t mods) {
  const assigned_rec* r = assignment_at(p);
  if (!r) return -1;
  if (lock_ass::is_locked_key(r->key)) {
    Show(L"Can't drag a locked assignment");
    return 0;
  }
  const rizediveva6::direct any{rizediveva6::direct::any_direc, {rizediveva6::grainy::smooth, 0}};
  rizediveva6::drag_rct* d =
      rizediveva6::drag_rct::new_drag_rct(window, r->cell, p, any, rizediveva6::allow_stetch::whole_rct_only);
  const DutyTerm* duty;
  if (!sc_phase1::get_duty_by_key(r->key, &duty)) return 0;
  if (d->get_state() != rizediveva6::state_dom::good) return 0;
  if (dragging_) end_drag(xpnt_);
  db_drag_rct_ = {d, r->key, r->duty, duty->ref, r->doctor, mods, p};
  dragging_ = true;
  thiswin_ = window;
  win_CaptureMouse(window);
  return 1;
}

// The feedback at the position for p, an outline (black pen, hollow brush).
void draw_assign::feedback_at(pnt_struct p) {
  pen_struct pen{1, 0, 0};
  brush_struct hollow{1, 0xFFFFFF};
  win_SetPen(thiswin_, &pen);
  win_SetBrush(thiswin_, &hollow);
  rizediveva6::drag_obj_dom kind;
  db_drag_rct_.drag->drag_it(p, &kind);
}

// Ends the drag object with its feedback back over the dragged box (which
// the caller repaints), and forgets the drag.
void draw_assign::end_drag(pnt_struct p) {
  if (!dragging_) return;
  win_ReleaseMouse();
  K::RunTrapped([&] {
    feedback_at(db_drag_rct_.press);
    rizediveva6::drag_obj_dom kind;
    rect_struct final, start;
    db_drag_rct_.drag->drop_it(p, &final, &kind, &start);
  });
  dragging_ = false;
  db_drag_rct_ = {};
}

bool draw_assign::mousemove_with_drag(pnt_struct p) {
  win_SetBackMode(thiswin_, 2);
  if (const assigned_rec* target = assignment_at(p)) return swap_verdict(*target);
  if (const dtbd_rec* target = dtbd.duty_at(p)) return drop_verdict(target->duty);
  Show(L"Drop now to delete");
  MoveCursor(thiswin_, 1);
  return true;
}

bool draw_assign::swap_verdict(const assigned_rec& target) {
  const ReasonTerm* there = RuleFor(target.duty, db_drag_rct_.doctor);
  const ReasonTerm* here = RuleFor(db_drag_rct_.duty, target.doctor);
  if (CanDo(there) && CanDo(here)) {
    Show(L"Can swap");
    MoveCursor(thiswin_, 1);
    return true;
  }
  const ReasonTerm* refusal = CanDo(there) ? here : there;
  if (RuleIs(refusal, rule_reason_kind::cant_do_it)) Show(tav::string::concat(L"Can't do it - ", refusal->rule->text));
  else if (RuleIs(refusal, rule_reason_kind::tie_prevents_rule)) Show(L"Tie prevents it");
  else return false;
  MoveCursor(thiswin_, kRefusedCursor);
  return true;
}

bool draw_assign::drop_verdict(const duty_dat& target) {
  const duty_key to = sc_phase1::get_dtbd_key(target);
  const ReasonTerm* busy = BusyAt(db_drag_rct_.doctor, to.text, db_drag_rct_.key);
  const ReasonTerm* rule = RuleFor(target, db_drag_rct_.doctor);
  int32_t cursor = kRefusedCursor;
  if (Busy(busy)) Show(tav::string::concat(L"Is busy : ", DutyText(sc_phase1::get_duty_by_ref(busy->assign->ref)->dat)));
  else if (CanDo(busy) && CanDo(rule)) Show(L"Can do it"), cursor = 1;
  else if (RuleIs(rule, rule_reason_kind::cant_do_it)) Show(rule->rule->text);
  else if (RuleIs(busy, rule_reason_kind::cant_do_it)) Show(busy->rule->text);
  else return false;
  MoveCursor(thiswin_, cursor);
  return true;
}

// A release: the drop onto the duty under the pointer, the deletion of the
// dragged assignment off the duties, or only the drag's end.
int draw_assign::release(pnt_struct p) {
  if (!dragging_) {
    tav::kwi::cursorset(thiswin_, 1);
    return 1;
  }
  const drag_rec dragged = db_drag_rct_;
  const dtbd_rec* target = dtbd.duty_at(xpnt_);
  const duty_dat onto = target ? target->duty : duty_dat{};
  end_drag(p);
  if (!target) {
    if (!assignment_at(xpnt_)) remove_drawn(dragged.key);
    tav::kwi::cursorset(thiswin_, 1);
    return 1;
  }
  const wchar_t* to = K::Memory::CopyStringToHeap(sc_phase1::get_dtbd_key(onto).text);
  const ReasonTerm* busy = BusyAt(dragged.doctor, to, dragged.key);
  const ReasonTerm* rule = RuleFor(onto, dragged.doctor);
  const bool done = try_swap_then_move(dragged, to, busy, rule);
  drew_days_assigns(rizediveva6::MakeList<const wchar_t*>(
      {dragged.key, to}));  // also clears the feedback put back over the dragged box
  if (!done) return 0;
  comtree::update_stats_if_showing();
  tav::kwi::cursorset(thiswin_, 1);
  return 1;
}

// The change of a drop; false for a modifier state that neither moves nor
// copies onto a free duty.  Whole or nothing: the gate's journal records
// each step, and when the gate refuses one the steps are taken back and the
// refusal is shown.
bool draw_assign::try_swap_then_move(const drag_rec& d, const wchar_t* to, const ReasonTerm* busy,
                                     const ReasonTerm* rule) {
  if (Busy(busy) || RuleIs(rule, rule_reason_kind::cant_do_it)) return true;
  chain_ref holder;
  const bool swap = sc_assign::is_assigned(to, &holder);
  if (!swap && d.mods != 0 && d.mods != kControl) return false;
  if (!swap && d.mods == kControl) {
    ShowVerdict(sc_assign::assign_person(test_ass::test_and_make, to, d.doctor));
    return true;
  }
  const ReasonTerm* volatile verdict = nullptr;  // null: a removal was refused
  sc_assign::open_journal();
  const uint32_t error = K::RunTrapped([&] {
    if (swap) {
      if (Removed(to) && Removed(d.key)) {
        verdict = sc_assign::assign_person(test_ass::test_and_make, d.key, holder);
        if (CanDo(verdict)) verdict = sc_assign::assign_person(test_ass::test_and_make, to, d.doctor);
      }
    } else if (Removed(d.key)) {
      verdict = sc_assign::assign_person(test_ass::test_and_make, to, d.doctor);
    }
  });
  if (error || !verdict || !CanDo(verdict)) sc_assign::undo_journal();
  else sc_assign::close_journal();
  if (error) K::Errors::Qel_ErrorExit(error);
  if (verdict) ShowVerdict(verdict);
  else Show(L"Cannot delete a locked assignment");
  return true;
}

// --- Events ---------------------------------------------------------------------------

bool draw_assign::_assign_eh(LONG_PTR window, const event_struct* e) {
  return dtbd.handle_rows(window, e, [&] {
    if (e->kind == e_menu || e->kind == e_char || e->kind == e_mousemove || e->kind == e_mouseup ||
        e->kind == e_mousedown)
      sync_marked();
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
          run_engine(id == kRunEngine ? engine_mode::run : engine_mode::force_fill);
          return 1;
        }
        if (id == kPrint) {
          print();
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
          end_drag(xpnt_);
          dtbd.move_start_time_to_zero();
          repaint_all();
          return 1;
        }
        if (c <= 0 || c > 0xFFFF) return 0;
        return hot_key(static_cast<wchar_t>(c)) ? 1 : 0;
      }
      case e_mousemove: {
        xpnt_ = EventPoint(e);
        if (dragging_) {
          feedback_at(xpnt_);
          if (mousemove_with_drag(xpnt_)) return 1;
        }
        const assigned_rec* r = assignment_at(xpnt_);
        if (!r) return -1;
        const duty_term t(r->duty);
        comtree::update_cs_help(0, tav::string::concat(r->name, L": ", DutyText(&t.dat)));
        return 1;
      }
      case e_mouseup: return release(EventPoint(e));
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
        if (button == 0) {
          xpnt_ = p;
          const int started = start_drag(window, p, static_cast<int32_t>(mods));
          if (started >= 0) return started;
        }
        return 1;
      }
      case e_update: paint(window, e); return 1;
      case e_control:
        if (e->w[0] == 981 || e->w[0] == 982) delete_pic2();
        return -1;
      default: return -1;
    }
  });
}

}  // namespace all
