// The document root: store order, header chains, saving, and the calendar
// over the header.
#include "kalmoradb/kalmora_DB.h"

#include <cwchar>

#include "SYSTEM/myKWI/myKWI.h"
#include "SYSTEM/stringDB/stringdb.h"
#include "SYSTEM/timepack/mytime.h"
#include "kalmoradb/groups.h"
#include "kalmoradb/load_db.h"
#include "kalmoradb/lock_ass.h"
#include "kalmoradb/renumber.h"
#include "kalmoradb/locations.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/sc_holidays.h"
#include "kalmoradb/sc_mod_date.h"
#include "kalmoradb/sc_stat_weekend.h"
#include "kalmoradb/stats_pack/totals.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/tasks.h"
#include "kalmoradb/ties.h"
#include "kalmoradb/typical_db.h"
#include "phase1/sc_phase1.h"
#include "rulesPack/sc_rules.h"
#include "fileSystem/fileName.h"
#include "fileSystem/fileStream.h"
#include "unit.h"

namespace all {

using rizediveva6::CheckRange;
using rizediveva6::List;
using rizediveva6::ListBuilder;
using rizediveva6::myKWI;
using rizediveva6::mytime;
using rizediveva6::simple_string_db;
using rizediveva6::TrapAndForget;
namespace rz = rizediveva6::domains;
namespace K = Qel::RunTime::Kernel;

const tav::ClassInfo kalmora_DB::classInfo{L"qel6pack/all/kalmoradb/kalmora_DB", TAV_CLASS_VERSION};

namespace {

// Class facts.
document* xorvdb = nullptr;
tav::chainDB* xdb = nullptr;
bool boo_init = false;
bool has_weeks_offset = false;
uint32_t db_weeks_offset = 0;

// The stores, in the order they are opened and closed.
struct Store {
  void (*init)(tav::chainDB*);
  void (*uninit)();
};
const Store kStores[] = {
    {staff_db::init, staff_db::uninit},     {groups::init, groups::uninit},
    {tasks::init, tasks::uninit},           {locations::init, locations::uninit},
    {typical_db::init, typical_db::uninit}, {sc_mod_date::init, sc_mod_date::uninit},
    {sc_phase1::init, sc_phase1::uninit},   {sc_rules::init, sc_rules::uninit},
    {sc_assign::init, sc_assign::uninit},   {ties::init, ties::uninit},
    {load_db::init, load_db::uninit},       {sc_stat_weekend::init, sc_stat_weekend::uninit},
    {sc_holidays::init, sc_holidays::uninit}, {lock_ass::init, lock_ass::uninit},
};

constexpr const wchar_t* kSlots = L"slots";
constexpr uint32_t kMaxSlots = 10;

const IDomainDefinition* U32() { return tav::D(tav::domains::unsigned_); }
const IDomainDefinition* U64() { return tav::D(tav::domains::unsigned64); }
const IDomainDefinition* Str() { return tav::D(tav::domains::string); }

// The first term of a chain; false when the chain holds none.
bool FirstTerm(const wchar_t* chain, const IDomainDefinition* d, T::term* out, int32_t* ref = nullptr) {
  return kalmora_DB::db()->chain_terms(d, chain, [&](tav::RefTerm rt) {
    *out = rt.t;
    if (ref) *ref = rt.ref;
  });
}
template <class V>
bool FirstValue(const wchar_t* chain, const IDomainDefinition* d, V* out) {
  T::term t;
  if (!FirstTerm(chain, d, &t)) return false;
  memcpy(out, t, sizeof(V));
  return true;
}

// A one-term header chain replaced: the old chain deleted (a missing chain
// is fine), the new term inserted at the front.
void ReplaceTerm(const wchar_t* chain, const IDomainDefinition* d, T::term t) {
  tav::chainDB* db = kalmora_DB::db();
  TrapAndForget([&] { db->chain_delete(chain); });
  int32_t ref;
  db->chain_inserta(d, chain, t, &ref);
}
template <class V>
void ReplaceValue(const wchar_t* chain, const IDomainDefinition* d, V v) {
  ReplaceTerm(chain, d, reinterpret_cast<T::term>(OnStack(v)));
}

const SList* Allday() { return rizediveva6::MakeList<const wchar_t*>({L"allday"}); }

}  // namespace

// --- opening, closing, saving ---

void kalmora_DB::init(document* doc) {
  if (boo_init) return;
  const uint32_t code = K::RunTrapped([&] {
    xorvdb = doc;
    xdb = doc->orv_get_chaindb();
    boo_init = true;
    for (const Store& s : kStores) s.init(xdb);
    mytime::set_start_day(get_start_day());
  });
  if (!code) return;
  uninit();  // nothing stays half-open
  K::Errors::Qel_ErrorExit(code);
}

void kalmora_DB::uninit() {
  xorvdb = nullptr;
  xdb = nullptr;
  boo_init = false;
  has_weeks_offset = false;
  for (const Store& s : kStores) s.uninit();
}

bool kalmora_DB::is_init() { return boo_init; }

tav::chainDB* kalmora_DB::db() {
  if (!xdb) K::Errors::RunTimeError(329, L"xdb", L"kalmora_DB");
  return xdb;
}

const saved_result* kalmora_DB::save_kalmora() {
  if (!boo_init) return rizediveva6::make_saved(rizediveva6::Saved::no_need_to_save);
  sc_phase1::generate();
  save_stats();
  const saved_result* r =
      xorvdb->orv_save(rizediveva6::MakeList<const wchar_t*>({L"Kalmora6 file", L"*.km6"}));
  if (r->Kind() == rizediveva6::Saved::saved) set_as_not_mod();
  return r;
}

const saved_result* kalmora_DB::save_kalmora(const wchar_t* fileName) {
  if (!boo_init) return rizediveva6::make_saved(rizediveva6::Saved::no_need_to_save);
  sc_phase1::generate();
  return xorvdb->orv_quiet_save_as(false, fileName);
}

namespace {

// ndb_p_stat_dom(p_stat_dom(Ref, stat_dom(...))) of every doctor whose total
// row is one record, on the heap.
const List<const wchar_t*>* StatLines() {
  totals* t = totals::new_();
  t->calculate_total_to_be_done(kToBeDone, stat_type::pc_of_required, do_what_stat::do_totals);
  ListBuilder<const wchar_t*> lines(true);
  staff_db::nd_person([&](const PersonTerm* p) {
    const List<stat_row>* rows = t->get_data(do_what_stat::do_totals, p->ref);
    if (rows->Empty() || !rows->tail->Empty()) K::Fail();
    const stat_row& r = rows->head;
    const StatDomTerm row{1, MakeWhatStat(r.kind.kind, r.kind.a, r.kind.b), r.first, r.second};
    wchar_t ref[16];
    swprintf(ref, 16, L"%d", p->ref);
    const wchar_t* text = T::ToString(tav::D(domains::stat_dom), reinterpret_cast<T::term>(&row));
    lines.Add(tav::HeapCopy(tav::string::concat(tav::string::concat(L"ndb_p_stat_dom(p_stat_dom(", ref, L","),
                                                text, L"))\n")));
    K::Fail();
  });
  return lines.Finish();
}

void WriteStats(const wchar_t* document) {
  const wchar_t* name =
      tav::string::concat(tav::fileName::getpath(document), tav::fileName::getname(document), L".stat");
  const List<const wchar_t*>* lines = StatLines();
  tav::outputStream_file* out = tav::outputStream_file::create8(name);
  for (const List<const wchar_t*>* l = lines; !l->Empty(); l = l->tail) {
    T::TEllipsisArgs<1> a;
    a.SetTerm(0, tav::D(tav::domains::string), l->head);
    out->write(a);
  }
  out->flush();
  out->close();
}

}  // namespace

void kalmora_DB::save_stats() {
  const wchar_t* document;
  if (!boo_init || !get_file(&document)) return;
  const uint32_t code = K::RunTrapped([&] { WriteStats(document); });
  if (code) myKWI::note(rizediveva6::HandledErrorText(code));
}

bool kalmora_DB::get_file(const wchar_t** fileName) {
  if (!boo_init) return false;
  const rizediveva6::file_def* fd = xorvdb->get_file_name();
  if (fd->Kind() != rizediveva6::FileKind::file_def && fd->Kind() != rizediveva6::FileKind::memory)
    return false;
  *fileName = fd->Name();
  return true;
}

namespace {
uint64_t x_marks = 0;  // set_as_mod calls in this run
}  // namespace

void kalmora_DB::set_as_mod() {
  if (!xorvdb) K::Errors::RunTimeError(329, L"xorvdb", L"kalmora_DB");
  ++x_marks;
  xorvdb->set_as_modified(true);
}

uint64_t kalmora_DB::marks() { return x_marks; }

void kalmora_DB::set_as_not_mod() {
  if (!xorvdb) K::Errors::RunTimeError(329, L"xorvdb", L"kalmora_DB");
  xorvdb->set_as_modified(false);
}

// --- header ---

tv kalmora_DB::get_start_date() {
  uint64_t v;
  if (FirstValue(L"start_date", U64(), &v)) return v;
  const tv now = tav::gmtTime::getcurrentgmttimevalue();
  volatile tv stored = now;
  TrapAndForget([&] {
    put_start_date(now);
    uint64_t s;
    if (FirstValue(L"start_date", U64(), &s)) stored = s;
  });
  return stored;
}

void kalmora_DB::put_start_date(tv t) {
  set_as_mod();
  sc_phase1::must_regenerate(L"new start date");
  ReplaceValue(L"start_date", U64(), rizediveva6::time_convert::make_date_first_day_of_week(t));
  has_weeks_offset = false;
}

tv kalmora_DB::get_end_date() { return sp_calendar::end_date(get_start_date(), get_weeks_duration()); }

uint32_t kalmora_DB::get_weeks_duration() {
  uint32_t weeks;
  if (!FirstValue(L"duration", U32(), &weeks)) return 10;
  CheckRange(domains::period_no, weeks);
  return weeks;
}

void kalmora_DB::put_weeks_duration(uint32_t weeks) {
  CheckRange(domains::period_no, weeks);
  set_as_mod();
  sc_phase1::must_regenerate(L"new duration");
  ReplaceValue(L"duration", U32(), weeks);
}

const SList* kalmora_DB::get_list_slots() {
  const SList* names = list_slots();
  return names->Empty() ? Allday() : names;
}

void kalmora_DB::put_list_slots(const SList* names) {
  uint32_t n = 0;
  for (const SList* l = names; !l->Empty(); l = l->tail) ++n;
  if (n > kMaxSlots) {
    myKWI::note(L"Error 73 in kalmora_db - more than 10 slots");
    return;
  }
  set_as_mod();
  sc_phase1::must_regenerate(L"new slots");
  const SList* before = get_list_slots();
  simple_string_db::clear_chain(db(), kSlots);
  simple_string_db::add_namelist(db(), kSlots, names);
  renumber::apply(list_kind::slot, number_map::lists(before, get_list_slots()));
}

void kalmora_DB::move_up(const wchar_t* name) {
  set_as_mod();
  const SList* before = get_list_slots();
  simple_string_db::move_up(db(), kSlots, name);
  renumber::apply(list_kind::slot, number_map::lists(before, get_list_slots()));
}

void kalmora_DB::move_down(const wchar_t* name) {
  set_as_mod();
  const SList* before = get_list_slots();
  simple_string_db::move_down(db(), kSlots, name);
  renumber::apply(list_kind::slot, number_map::lists(before, get_list_slots()));
}

const SList* kalmora_DB::list_slots() { return simple_string_db::list_names(db(), kSlots); }

bool kalmora_DB::nd_slots(tav::Each<std::pair<uint32_t, const wchar_t*>> k) {
  const SList* names = get_list_slots();
  uint32_t n = 0;
  for (const SList* l = names; !l->Empty(); l = l->tail) {
    CheckRange(domains::slot_dom, ++n);
    if (tav::TrySolution(k, std::pair<uint32_t, const wchar_t*>{n, l->head})) return true;
  }
  return false;
}

uint32_t kalmora_DB::number_of_slots_per_day() {
  const int32_t n = simple_string_db::count(db(), kSlots);
  if (n == 0) return 1;
  CheckRange(domains::slot_dom, n);
  return static_cast<uint32_t>(n);
}

uint32_t kalmora_DB::get_slot_dom(const wchar_t* name) {
  uint32_t n = 0;
  for (const SList* l = get_list_slots(); !l->Empty(); l = l->tail) {
    ++n;
    if (wcscmp(l->head, name) == 0) {
      CheckRange(domains::slot_dom, n);
      return n;
    }
  }
  myKWI::note(L"Error 71 in kalmora_db - unknown slot");
  return 10;
}

const wchar_t* kalmora_DB::get_slot_name(uint32_t slot) {
  uint32_t n = 0;
  for (const SList* l = get_list_slots(); !l->Empty(); l = l->tail)
    if (++n == slot) return l->head;
  myKWI::note(L"Error 72 in kalmora_db - unknown slotno");
  return L"unknown slot";
}

uint32_t kalmora_DB::get_start_day() {
  uint32_t day;
  if (!FirstValue(L"start_day", U32(), &day)) return 0;
  CheckRange(rz::start_day_dom, day);
  return day;
}

void kalmora_DB::set_start_day(uint32_t startDay) {
  CheckRange(rz::start_day_dom, startDay);
  set_as_mod();
  mytime::set_start_day(startDay);
  ReplaceValue(L"start_day", U32(), startDay);
  has_weeks_offset = false;  // week numbers count from the new week start
}

const wchar_t* kalmora_DB::get_desc() {
  T::term t;
  if (boo_init && FirstTerm(L"Desc", Str(), &t)) return reinterpret_cast<const wchar_t*>(t);
  return L"No Desc";
}

void kalmora_DB::set_desc(const wchar_t* text) {
  tav::chainDB* d = db();
  set_as_mod();
  T::term old;
  int32_t ref;
  if (FirstTerm(L"Desc", Str(), &old, &ref)) {
    d->term_replace(Str(), ref, reinterpret_cast<T::term>(text));
  } else {
    d->chain_inserta(Str(), L"Desc", reinterpret_cast<T::term>(text), &ref);
  }
}

// --- slot-period arithmetic ---

uint32_t kalmora_DB::get_weeks_offset() {
  if (has_weeks_offset) return db_weeks_offset;
  db();  // no document open: 329, not an offset
  volatile uint32_t offset = 0;
  if (TrapAndForget([&] { offset = sp_calendar::weeks_offset(get_start_date()); })) {
    myKWI::note(L"Error 76 in calenddef");
    return 0;
  }
  db_weeks_offset = offset;
  has_weeks_offset = true;
  return offset;
}

uint32_t kalmora_DB::period_week_no(uint32_t period) {
  return sp_calendar::period_week_no(get_weeks_offset(), period);
}

bool kalmora_DB::week_no_period(uint32_t week, uint32_t* period) {
  return sp_calendar::week_no_period(get_weeks_offset(), week, period);
}

void kalmora_DB::duty_desc1(const DutyDatTerm* duty, const wchar_t** description, const wchar_t** location) {
  const wchar_t* volatile text = L"no desc?";
  const wchar_t* volatile where = L"No desc??";
  K::RunTrapped([&] {
    const wchar_t* place = locations::get_where_name(duty->where);
    const wchar_t* parts[] = {mytime::dt_str(sp_dt(SpOf(duty->at))), get_slot_name(duty->at->slot), place,
                              tasks::get_task_name(duty->task)};
    size_t n = 0;
    for (const wchar_t* p : parts) n += wcslen(p) + 1;
    wchar_t* out = K::Memory::AllocHeapString(static_cast<uint32_t>(n));
    out[0] = 0;
    for (size_t i = 0; i < 4; ++i) {
      if (i) wcscat(out, L" ");
      wcscat(out, parts[i]);
    }
    text = out;
    where = K::Memory::CopyStringToHeap(place);
  });
  *description = text;
  *location = where;
}

dt kalmora_DB::sp_dt(const sp& s) { return sp_calendar::sp_dt(get_weeks_offset(), s); }

bool kalmora_DB::dt_sp(const dt& d, sp* out) { return sp_calendar::dt_sp(get_weeks_offset(), d, out); }

bool kalmora_DB::next_day(const sp& s, sp* out) {
  return sp_calendar::next_day(get_weeks_duration(), s, out);
}

bool kalmora_DB::prev_day(const sp& s, sp* out) { return sp_calendar::prev_day(s, out); }

bool kalmora_DB::nd_sp(const sp& from, tav::Each<sp> k) {
  return sp_calendar::nd_sp(roster_frame{get_weeks_duration(), number_of_slots_per_day()}, from, k);
}

bool kalmora_DB::nd_sp_week(const sp& from, tav::Each<sp> k) {
  return sp_calendar::nd_sp_week(roster_frame{get_weeks_duration(), number_of_slots_per_day()}, from, k);
}

const List<const WhatStatTerm*>* kalmora_DB::list_day_slots() {
  ListBuilder<const WhatStatTerm*> b(true);  // heap cells outlive each solution
  sp_calendar::nd_day_slots(number_of_slots_per_day(), [&](sd s) {
    auto* t = static_cast<WhatStatTerm*>(K::Memory::AllocAtomicHeap(sizeof(WhatStatTerm)));
    *t = WhatStatTerm{static_cast<uint64_t>(stat_kind::day_slot), s.day, s.slot};
    b.Add(t);
    K::Fail();
  });
  return b.Finish();
}

const SList* kalmora_DB::list_day_slots_slist() {
  ListBuilder<const wchar_t*> b;
  for (const List<const WhatStatTerm*>* l = list_day_slots(); !l->Empty(); l = l->tail) {
    const wchar_t* day = nullptr;
    if (!mytime::dayno_dayname(l->head->a, &day)) day = L"??";
    b.Add(tav::string::concat(day, L" ", get_slot_name(l->head->b)));
  }
  return b.Finish();
}

}  // namespace all
