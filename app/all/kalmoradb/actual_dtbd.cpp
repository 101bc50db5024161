// Derivation of the concrete duties: one read of the inputs, then lookups
// in small tables (the typical duties of each day kind and slot, the dates
// of the roster's days, the changes by slot-period) instead of a scan of
// both stores per slot-period.
#include "kalmoradb/actual_dtbd.h"

#include <cstring>
#include <type_traits>

#include "SYSTEM/timepack/mytime.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/sc_mod_date.h"
#include "kalmoradb/typical_db.h"
#include "unit.h"

namespace all {

using rizediveva6::CheckRange;
using rizediveva6::mytime;
namespace K = Qel::RunTime::Kernel;
namespace rz = rizediveva6::domains;

const tav::ClassInfo actual_dtbd::classInfo{L"qel6pack/all/kalmoradb/actual_dtbd", TAV_CLASS_VERSION};
uint32_t actual_dtbd::xcount = 0;

namespace {

constexpr uint32_t kMaxPeriods = 104, kDays = 7, kMax = 10;

// A zeroed array of n elements on the collected heap, scanned by the
// collector when its elements hold pointers; the byte size is checked
// before use.
template <class V>
V* HeapArray(uint64_t n) {
  const uint64_t bytes = (n ? n : 1) * sizeof(V);
  if (bytes > 0x7FFFFFFF) rizediveva6::RaiseRangeError();
  void* p = std::is_pointer_v<V> || !std::is_arithmetic_v<V>
                ? K::Memory::AllocHeap(static_cast<uint32_t>(bytes))
                : K::Memory::AllocAtomicHeap(static_cast<uint32_t>(bytes));
  memset(p, 0, static_cast<size_t>(bytes));
  return static_cast<V*>(p);
}

// A growing heap array of plain values.
template <class V>
struct HeapList {
  V* data = nullptr;
  uint32_t count = 0, capacity = 0;
  void Add(const V& v) {
    if (count == capacity) {
      capacity = capacity ? capacity * 2 : 64;
      V* bigger = HeapArray<V>(capacity);
      if (count) memcpy(bigger, data, count * sizeof(V));
      data = bigger;
    }
    data[count++] = v;
  }
};

void CheckTls(const tls& t) {
  CheckRange(domains::task_dom, t.task);
  CheckRange(domains::where_dom, t.where);
  CheckRange(domains::slot_dom, t.slot);
}

// The day kind of a day number by its day name.
uint32_t KindOfDay(uint32_t day) {
  const wchar_t* name = nullptr;
  if (!mytime::dayno_dayname(day, &name)) return kWeekday;
  if (wcscmp(name, L"Sunday") == 0) return kSunday;
  if (wcscmp(name, L"Saturday") == 0) return kSaturday;
  return kWeekday;
}

uint32_t DateNumber(const dt& d) { return d.year * 10000 + d.month * 100 + d.day; }

// One bit per (period, day, slot, task, location) of a roster.
struct DutyBits {
  uint8_t* bits;
  static uint32_t Index(uint32_t period, uint32_t day, uint32_t slot, uint32_t task, uint32_t where) {
    return ((((period - 1) * kDays + day - 1) * kMax + slot - 1) * kMax + task - 1) * kMax + where - 1;
  }
  bool Test(uint32_t i) const { return bits[i >> 3] & (1u << (i & 7)); }
  void Set(uint32_t i) { bits[i >> 3] |= static_cast<uint8_t>(1u << (i & 7)); }
};
DutyBits NewDutyBits() { return DutyBits{HeapArray<uint8_t>(kMaxPeriods * kDays * kMax * kMax * kMax / 8 + 1)}; }

// The tables one derivation works on.
struct Tables {
  uint32_t dayKind[kDays + 1];
  uint32_t dates[kMaxPeriods * kDays];  // DateNumber of (period, day), ascending
  // Typical duties by (kind, slot): positions into `typical`, chain order kept.
  uint32_t typStart[3 * kMax + 1];
  uint32_t* typOrder;
  bool typical[3][kMax][kMax][kMax];  // [kind][slot][task][where]
  DutyBits changed;                   // (period, day of its date, tls) has a change
  // Added duties by slot-period (period, stored day, slot): chained change positions.
  int32_t* addHead;
  int32_t* addNext;
  uint32_t* addDay;  // the day of the change's date
};

uint32_t KindSlot(uint32_t kind, uint32_t slot) { return (kind - kSunday) * kMax + slot - 1; }
uint32_t SpIndex(uint32_t period, uint32_t day, uint32_t slot) {
  return ((period - 1) * kDays + day - 1) * kMax + slot - 1;
}

// The roster day (period, day) of a date; false outside the roster's weeks.
bool RosterDay(const Tables& t, uint32_t periods, const dt& d, uint32_t* period, uint32_t* day) {
  const uint32_t key = DateNumber(d);
  uint32_t lo = 0, hi = periods * kDays;
  while (lo < hi) {
    const uint32_t mid = (lo + hi) / 2;
    if (t.dates[mid] < key) lo = mid + 1;
    else hi = mid;
  }
  if (lo == periods * kDays || t.dates[lo] != key) return false;
  *period = lo / kDays + 1;
  *day = lo % kDays + 1;
  return true;
}

Tables* BuildTables(const derivation_input& in) {
  Tables* t = HeapArray<Tables>(1);
  const uint32_t periods = in.frame.duration;
  for (uint32_t d = 1; d <= kDays; ++d) t->dayKind[d] = KindOfDay(d);
  for (uint32_t p = 1; p <= periods; ++p)
    for (uint32_t d = 1; d <= kDays; ++d)
      t->dates[(p - 1) * kDays + d - 1] = DateNumber(sp_calendar::sp_dt(in.offset, sp{d, p, 1}));

  // Typical duties grouped by (kind, slot) with a counting sort.
  for (uint32_t i = 0; i < in.typicalCount; ++i) {
    const typical_entry& e = in.typical[i];
    CheckRange(domains::which_day_dom, e.kind);
    CheckTls(e.duty);
    ++t->typStart[KindSlot(e.kind, e.duty.slot) + 1];
    t->typical[e.kind - kSunday][e.duty.slot - 1][e.duty.task - 1][e.duty.where - 1] = true;
  }
  for (uint32_t i = 1; i <= 3 * kMax; ++i) t->typStart[i] += t->typStart[i - 1];
  t->typOrder = HeapArray<uint32_t>(in.typicalCount);
  uint32_t fill[3 * kMax];
  memcpy(fill, t->typStart, sizeof fill);
  for (uint32_t i = 0; i < in.typicalCount; ++i)
    t->typOrder[fill[KindSlot(in.typical[i].kind, in.typical[i].duty.slot)]++] = i;

  // Changes: removal bits and, for non-typical ones, added duties.
  t->changed = NewDutyBits();
  t->addHead = HeapArray<int32_t>(kMaxPeriods * kDays * kMax);
  memset(t->addHead, 0xFF, kMaxPeriods * kDays * kMax * sizeof(int32_t));
  t->addNext = HeapArray<int32_t>(in.changeCount);
  t->addDay = HeapArray<uint32_t>(in.changeCount);
  int32_t* tail = HeapArray<int32_t>(kMaxPeriods * kDays * kMax);
  for (uint32_t i = 0; i < in.changeCount; ++i) {
    const date_change& c = in.changes[i];
    CheckTls(c.duty);
    uint32_t period, day;
    if (!RosterDay(*t, periods, c.date, &period, &day)) continue;
    t->changed.Set(DutyBits::Index(period, day, c.duty.slot, c.duty.task, c.duty.where));
    if (c.day < 1 || c.day > kDays) continue;  // judged in no slot-period
    if (t->typical[t->dayKind[c.day] - kSunday][c.duty.slot - 1][c.duty.task - 1][c.duty.where - 1]) continue;
    const uint32_t at = SpIndex(period, c.day, c.duty.slot);
    t->addNext[i] = -1;
    t->addDay[i] = day;
    if (t->addHead[at] < 0) t->addHead[at] = static_cast<int32_t>(i);
    else t->addNext[tail[at]] = static_cast<int32_t>(i);
    tail[at] = static_cast<int32_t>(i);
  }
  return t;
}

// Appends the duties of one slot-period.
void DutiesOf(const derivation_input& in, const Tables& t, const sp& s, HeapList<duty_dat>* out) {
  const uint32_t ks = KindSlot(t.dayKind[s.day], s.slot);
  for (uint32_t i = t.typStart[ks]; i < t.typStart[ks + 1]; ++i) {
    const tls& d = in.typical[t.typOrder[i]].duty;
    if (!t.changed.Test(DutyBits::Index(s.period, s.day, s.slot, d.task, d.where)))
      out->Add(duty_dat{s, d.where, d.task, false});
  }
  for (int32_t i = t.addHead[SpIndex(s.period, s.day, s.slot)]; i >= 0; i = t.addNext[i]) {
    const tls& d = in.changes[i].duty;
    out->Add(duty_dat{sp{t.addDay[i], s.period, s.slot}, d.where, d.task, true});
  }
}

}  // namespace

derivation_input actual_dtbd::read_input() {
  derivation_input in{};
  in.frame = roster_frame{kalmora_DB::get_weeks_duration(), kalmora_DB::number_of_slots_per_day()};
  in.offset = kalmora_DB::get_weeks_offset();
  HeapList<typical_entry> typical;
  typical_db::nd_tls([&](day_tls e) {
    typical.Add(typical_entry{e.day_kind, e.duty});
    K::Fail();
  });
  HeapList<date_change> changes;
  sc_mod_date::nd_dt_duties([&](dt_duty_ref e) {
    changes.Add(date_change{e.entry.date, e.entry.day, e.entry.duty});
    K::Fail();
  });
  in.typical = typical.data;
  in.typicalCount = typical.count;
  in.changes = changes.data;
  in.changeCount = changes.count;
  return in;
}

namespace {

roster_duties Derive(const derivation_input& in, const sp* only) {
  CheckRange(domains::period_no, in.frame.duration);
  CheckRange(domains::slot_dom, in.frame.slots);
  const Tables* t = BuildTables(in);
  const uint32_t spCount = in.frame.duration * in.frame.slots * kDays;
  sp_duties* periods = HeapArray<sp_duties>(spCount);
  HeapList<duty_dat> duties;
  uint32_t n = 0;
  for (uint32_t p = 1; p <= in.frame.duration; ++p)
    for (uint32_t s = 1; s <= in.frame.slots; ++s)
      for (uint32_t d = 1; d <= kDays; ++d) {
        const sp at{d, p, s};
        const uint32_t from = duties.count;
        if (!only || *only == at) DutiesOf(in, *t, at, &duties);
        periods[n++] = sp_duties{at, nullptr, duties.count - from};
      }
  // Pointers into the final array once it stops growing.
  uint32_t next = 0;
  for (uint32_t i = 0; i < spCount; ++i) {
    periods[i].first = duties.data ? duties.data + next : nullptr;
    next += periods[i].count;
  }
  return roster_duties{periods, spCount, duties.data, duties.count};
}

}  // namespace

roster_duties actual_dtbd::derive(const derivation_input& in) { return Derive(in, nullptr); }

bool actual_dtbd::nd_dats_to_be_done(tav::Each<sp_duties> k) {
  const roster_duties r = derive(read_input());
  for (uint32_t i = 0; i < r.periodCount; ++i)
    if (tav::TrySolution(k, r.periods[i])) return true;
  return false;
}

bool actual_dtbd::nd_dats_to_be_done_week(tav::Each<sp_duties> k) {
  const derivation_input in = read_input();
  const roster_duties r = derive(in);
  const uint32_t slots = in.frame.slots, periods = in.frame.duration;
  for (uint32_t s = 0; s < slots; ++s)
    for (uint32_t d = 0; d < kDays; ++d)
      for (uint32_t p = 0; p < periods; ++p)
        if (tav::TrySolution(k, r.periods[(p * slots + s) * kDays + d])) return true;
  return false;
}

uint32_t actual_dtbd::total_number() {
  xcount = derive(read_input()).dutyCount;
  return xcount;
}

bool actual_dtbd::nd_member(const sp_duties& list, tav::Each<duty_dat> k) {
  for (uint32_t i = 0; i < list.count; ++i)
    if (tav::TrySolution(k, list.first[i])) return true;
  return false;
}

bool actual_dtbd::nd_dats_in_sp(const sp& s, tav::Each<duty_dat> k) {
  CheckSp(s);
  const derivation_input in = read_input();
  if (s.period > in.frame.duration || s.slot > in.frame.slots) return false;
  const roster_duties r = Derive(in, &s);
  return nd_member(r.periods[((s.period - 1) * in.frame.slots + s.slot - 1) * kDays + s.day - 1], k);
}

}  // namespace all
