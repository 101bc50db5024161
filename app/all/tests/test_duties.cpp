// The concrete duties and the duty index: keys, the derivation against a
// plain calendar of the test's own, and the stored index on real document
// files (rebuild, its errors, lookups, walks, saving).
#include <algorithm>
#include <cstdio>
#include <tuple>
#include <set>
#include <string>
#include <vector>

#include "SYSTEM/stringDB/stringdb.h"
#include "SYSTEM/timepack/mytime.h"
#include "all_test.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/lock_ass.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/sc_include.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/stats_pack/totals.h"
#include "roster_fixture.h"
#include "phase1/sc_phase1.h"
#include "roster_test.h"

using namespace alltest;
using rizediveva6::mytime;
using rizediveva6::time_convert;

namespace {

// --- a plain calendar: days since 1970-01-01 -----------------------------------------------

int64_t DaysOf(const dt& d) {
  const int64_t y = d.month <= 2 ? d.year - 1 : d.year;
  const int64_t era = y / 400;
  const int64_t yoe = y - era * 400;
  const int64_t mp = (d.month + 9) % 12;
  const int64_t doy = (153 * mp + 2) / 5 + d.day - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

dt DateOf(int64_t days) {
  days += 719468;
  const int64_t era = days / 146097;
  const int64_t doe = days - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const uint32_t day = static_cast<uint32_t>(doy - (153 * mp + 2) / 5 + 1);
  const uint32_t month = static_cast<uint32_t>(mp < 10 ? mp + 3 : mp - 9);
  return dt{static_cast<uint32_t>(yoe + era * 400 + (month <= 2)), month, day};
}

// 0 Sunday .. 6 Saturday (1970-01-01 was a Thursday).
int Weekday(int64_t days) { return static_cast<int>(((days % 7) + 11) % 7); }

// The first day of the week holding `start` under the week start day.
int64_t FirstDay(const dt& start, uint32_t startDay) {
  const int64_t d = DaysOf(start);
  const int back = startDay == 0 ? (Weekday(d) + 6) % 7 : Weekday(d);
  return d - back;
}

uint32_t KindOf(uint32_t day, uint32_t startDay) {
  const uint32_t weekday = startDay == 0 ? day - 1 : (day + 5) % 7;  // 0 Monday
  return weekday == 5 ? kSaturday : weekday == 6 ? kSunday : kWeekday;
}

// The expected duties of a roster by a direct reading of the rules.
std::vector<duty_dat> Expected(const dt& start, uint32_t startDay, uint32_t weeks, uint32_t slots,
                               const std::vector<typical_entry>& typical,
                               const std::vector<date_change>& changes) {
  const int64_t first = FirstDay(start, startDay);
  auto removed = [&](int64_t day, const tls& t) {
    for (const date_change& c : changes)
      if (DaysOf(c.date) == day && c.duty == t) return true;
    return false;
  };
  auto isTypical = [&](uint32_t kind, const tls& t) {
    for (const typical_entry& e : typical)
      if (e.kind == kind && e.duty == t) return true;
    return false;
  };
  std::vector<duty_dat> out;
  for (uint32_t p = 1; p <= weeks; ++p)
    for (uint32_t s = 1; s <= slots; ++s)
      for (uint32_t d = 1; d <= 7; ++d) {
        const int64_t day = first + (p - 1) * 7 + (d - 1);
        const uint32_t kind = KindOf(d, startDay);
        for (uint32_t kindChain : {kSaturday, kSunday, kWeekday})
          for (const typical_entry& e : typical)
            if (e.kind == kindChain && e.kind == kind && e.duty.slot == s && !removed(day, e.duty))
              out.push_back(duty_dat{sp{d, p, s}, e.duty.where, e.duty.task, false});
        for (const date_change& c : changes) {
          if (c.day != d || c.duty.slot != s || isTypical(kind, c.duty)) continue;
          const int64_t at = DaysOf(c.date) - first;
          if (at < 0 || at >= static_cast<int64_t>(weeks) * 7 || at / 7 + 1 != p) continue;
          out.push_back(duty_dat{sp{static_cast<uint32_t>(at % 7 + 1), p, s}, c.duty.where, c.duty.task, true});
        }
      }
  return out;
}

std::wstring KeyOf(const duty_dat& d) { return sc_phase1::get_dtbd_key(d).text; }

class Duties : public Roster {
 protected:
  void TearDown() override {
    sc_phase1::boo_must_regenerate = false;
    Roster::TearDown();
  }
  // A new document, or the stored one reopened; the model opened on it.
  rz::document* Open(const wchar_t* name, bool create) {
    if (create) return New(name);
    rz::document* d = nullptr;
    Run([&] {
      d = orvDB::new_file_def(rz::make_file_def(tav::HeapCopy(Path(name).c_str()), false, rz::kBackupNone));
      kalmora_DB::init(d);
    });
    open_.push_back(d);
    return d;
  }
};

// The small roster written straight into the chains: 2 weeks from Monday
// 2026-10-05, slots am and pm; weekdays hold tls(1,1,am) twice and
// tls(2,1,am), Saturdays tls(1,2,pm).  Changes: tls(2,1,am) removed on
// Tuesday of week 1, tls(3,2,pm) added on Wednesday of week 2, and changes
// before the start and three years out.
void WriteSmallRoster() {
  kalmora_DB::set_start_day(0);
  kalmora_DB::put_start_date(time_convert::date_tv(dt{2026, 10, 5}));
  kalmora_DB::put_weeks_duration(2);
  kalmora_DB::put_list_slots(rz::MakeList<const wchar_t*>({L"am", L"pm"}));
  tav::chainDB* db = kalmora_DB::db();
  chain_ref ref;
  for (tls t : {tls{1, 1, 1}, tls{2, 1, 1}, tls{1, 1, 1}})
    db->chain_insertz(tav::D(all::domains::tls), L"weekday_chain", reinterpret_cast<T::term>(MakeTls(t)), &ref);
  db->chain_insertz(tav::D(all::domains::tls), L"saturday_chain", reinterpret_cast<T::term>(MakeTls(tls{1, 2, 2})),
                    &ref);
  const date_change changes[] = {
      {dt{2026, 10, 6}, 2, tls{2, 1, 1}},  // removal
      {dt{2026, 10, 14}, 3, tls{3, 2, 2}},  // addition
      {dt{2026, 9, 30}, 3, tls{3, 3, 1}},   // before the start
      {dt{2029, 10, 10}, 3, tls{3, 3, 1}},  // three years out
  };
  for (const date_change& c : changes) {
    const DtDutyTerm t{1, MakeDt(c.date), c.day, MakeTls(c.duty)};
    db->chain_insertz(tav::D(all::domains::dt_duty), L"mod_chain", reinterpret_cast<T::term>(&t), &ref);
  }
}

std::vector<std::wstring> StoredKeys() {
  std::vector<std::wstring> keys;
  rz::bt* t = sc_phase1::key_tree();
  chain_ref ref;
  if (t->kee_first(&ref))
    t->nd_kee1([&](rz::KeyRef e) {
      keys.push_back(e.key);
      Qel::RunTime::Kernel::Fail();
    });
  return keys;
}

}  // namespace

TEST(DutyKeys, KeysAndDateKeys) {
  struct Row {
    sp at;
    uint32_t task, where;
    const wchar_t* key;
  };
  const Row rows[] = {
      {{3, 5, 2}, 4, 1, L"[105,12,13,4,1]"},
      {{7, 104, 10}, 10, 10, L"[204,20,17,10,10]"},
      {{1, 1, 1}, 1, 1, L"[101,11,11,1,1]"},
      {{7, 99, 9}, 10, 1, L"[199,19,17,10,1]"},
  };
  for (const Row& r : rows) {
    EXPECT_STREQ(sc_phase1::get_key_by_sp(r.at, r.where, r.task).text, r.key);
    EXPECT_EQ(wcslen(r.key), wcslen(sc_phase1::get_dtbd_key(duty_dat{r.at, r.where, r.task, true}).text));
  }
  EXPECT_STREQ(sc_phase1::get_date_key(dt{2027, 3, 7}).text, L"20271317");
  EXPECT_STREQ(sc_phase1::get_date_key(dt{2026, 12, 31}).text, L"20262241");
  EXPECT_STREQ(sc_phase1::get_date_key(dt{1950, 1, 1}).text, L"19501111");
  EXPECT_STREQ(sc_phase1::get_date_key(dt{2050, 12, 31}).text, L"20502241");
  // Text order of keys is period, slot, day order; of date keys date order.
  EXPECT_LT(wcscmp(L"[109,20,17,10,10]", L"[110,11,11,1,1]"), 0);
  EXPECT_LT(wcscmp(sc_phase1::get_date_key(dt{2026, 9, 30}).text, sc_phase1::get_date_key(dt{2026, 10, 1}).text), 0);
}

class Derivation : public Model, public ::testing::WithParamInterface<uint32_t> {};

// A 104-week roster of 3 slots: every task and location of 4 x 3 typical on
// weekdays, a third of them at weekends, 50 changes (removals, additions,
// wrong stored day numbers, dates before and after the roster).
TEST_P(Derivation, LargeRosterMatchesAPlainCalendar) {
  const uint32_t startDay = GetParam();
  mytime::set_start_day(startDay);
  const dt start{2027, 1, 6};
  std::vector<typical_entry> typical;
  uint32_t n = 0;
  for (uint32_t slot = 1; slot <= 3; ++slot)
    for (uint32_t task = 1; task <= 4; ++task)
      for (uint32_t where = 1; where <= 3; ++where) {
        typical.push_back({kWeekday, tls{task, where, slot}});
        if (n++ % 3 == 0) {
          typical.push_back({kSaturday, tls{task, where, slot}});
          typical.push_back({kSunday, tls{task, where, slot}});
        }
      }
  std::vector<date_change> changes;
  uint32_t seed = 12345;
  auto next = [&](uint32_t m) {
    seed = seed * 1103515245 + 12345;
    return (seed >> 16) % m;
  };
  const int64_t first = FirstDay(start, startDay);
  for (int i = 0; i < 50; ++i) {
    const int64_t day = first - 14 + static_cast<int64_t>(next(104 * 7 + 400));
    const uint32_t trueDay = static_cast<uint32_t>(((day - first) % 7 + 7) % 7 + 1);
    const uint32_t storedDay = i % 10 == 9 ? trueDay % 7 + 1 : trueDay;
    changes.push_back({DateOf(day), storedDay, tls{next(5) + 1, next(4) + 1, next(3) + 1}});
  }
  const std::vector<duty_dat> expected = Expected(start, startDay, 104, 3, typical, changes);

  EXPECT_EQ(CodeOf([&] {
    const derivation_input in{roster_frame{104, 3}, sp_calendar::weeks_offset(time_convert::date_tv(start)),
                              typical.data(), static_cast<uint32_t>(typical.size()), changes.data(),
                              static_cast<uint32_t>(changes.size())};
    const roster_duties r = actual_dtbd::derive(in);
    ASSERT_EQ(r.periodCount, 104u * 3 * 7);
    std::vector<duty_dat> got(r.duties, r.duties + r.dutyCount);
    EXPECT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected);
    for (size_t i = 0; i < std::min(got.size(), expected.size()); ++i)
      if (!(got[i] == expected[i])) {
        ADD_FAILURE() << "first difference at " << i << ": " << testing::PrintToString(KeyOf(got[i]))
                      << got[i].changed << " expected " << testing::PrintToString(KeyOf(expected[i]))
                      << expected[i].changed;
        break;
      }
    // Slot-periods in period, slot, day order, each holding its own duties.
    uint32_t total = 0;
    for (uint32_t i = 0; i < r.periodCount; ++i) {
      const sp at = r.periods[i].at;
      EXPECT_EQ(i, ((at.period - 1) * 3 + at.slot - 1) * 7 + at.day - 1);
      for (uint32_t j = 0; j < r.periods[i].count; ++j) {
        EXPECT_EQ(r.periods[i].first[j].at.period, at.period);
        EXPECT_EQ(r.periods[i].first[j].at.slot, at.slot);
      }
      total += r.periods[i].count;
    }
    EXPECT_EQ(total, r.dutyCount);
  }), 0u);
}

INSTANTIATE_TEST_SUITE_P(WeekStarts, Derivation, ::testing::Values(0u, 1u));

TEST_F(Model, DerivationRejectsStoredNumbersOutOfRange) {
  const typical_entry typical[] = {{kWeekday, tls{11, 1, 1}}};
  const date_change changes[] = {{dt{2027, 1, 6}, 3, tls{1, 1, 11}}};
  EXPECT_EQ(CodeOf([&] {
    const uint32_t offset = sp_calendar::weeks_offset(time_convert::date_tv(dt{2027, 1, 4}));
    EXPECT_TRUE(IsRangeError(RunTrapped(
        [&] { actual_dtbd::derive(derivation_input{roster_frame{2, 1}, offset, typical, 1, nullptr, 0}); })));
    EXPECT_TRUE(IsRangeError(RunTrapped(
        [&] { actual_dtbd::derive(derivation_input{roster_frame{2, 1}, offset, nullptr, 0, changes, 1}); })));
  }), 0u);
}

TEST_F(Duties, RebuildOfTheSmallRoster) {
  rz::document* doc = Open(L"small.km6", true);
  Run([&] {
    WriteSmallRoster();
    // Chains that read as integers but hold no duties are cleared too.
    chain_ref ref;
    for (const wchar_t* junk : {L"0", L"105", L"-3", L"7"})
      kalmora_DB::db()->chain_insertz(tav::D(tav::domains::string), junk, reinterpret_cast<T::term>(L"x"), &ref);
    kalmora_DB::db()->chain_insertz(tav::D(tav::domains::string), L"12a", reinterpret_cast<T::term>(L"x"), &ref);
  });
  // Before the rebuild a lookup reads past the junk chains.
  EXPECT_EQ(Error([] {
    const DutyTerm* d;
    sc_phase1::must_regenerate(L"junk");
    sc_phase1::get_duty_by_key(L"[101,11,11,1,1]", &d);
  }), 0u);
  Run([&] { sc_phase1::generate(); });
  EXPECT_FALSE(sc_phase1::boo_must_regenerate);
  EXPECT_TRUE(doc->is_modified());
  Run([&] {
    // 2 x 5 weekdays x 2 typical duties less one removal, 2 Saturdays, one addition.
    EXPECT_EQ(sc_phase1::how_many(), 22u);
    EXPECT_EQ(actual_dtbd::total_number(), 32u);  // the repeated typical duty counts on every weekday there
    struct Row {
      const wchar_t* key;
      bool stored, changed;
      dt date;
    };
    const Row rows[] = {
        {L"[101,11,11,1,1]", true, false, {2026, 10, 5}},
        {L"[101,11,11,2,1]", true, false, {2026, 10, 5}},
        {L"[101,11,12,2,1]", false, false, {}},  // removed on 2026-10-06
        {L"[102,11,12,2,1]", true, false, {2026, 10, 13}},
        {L"[101,12,16,1,2]", true, false, {2026, 10, 10}},
        {L"[102,12,16,1,2]", true, false, {2026, 10, 17}},
        {L"[102,12,13,3,2]", true, true, {2026, 10, 14}},
        {L"[101,12,13,3,2]", false, false, {}},
        {L"[101,11,16,1,1]", false, false, {}},  // no weekday duty on Saturday
        {L"[101,11,13,3,3]", false, false, {}},  // the changes outside the roster
    };
    for (const Row& r : rows) {
      SCOPED_TRACE(testing::PrintToString(std::wstring(r.key)));
      const DutyTerm* d = nullptr;
      ASSERT_EQ(sc_phase1::get_duty_by_key(r.key, &d), r.stored);
      if (!r.stored) continue;
      EXPECT_EQ(d->dat->changed->functor == 2, r.changed);
      EXPECT_EQ(KeyOf(DutyDatOf(d->dat)), r.key);
      EXPECT_EQ(sc_phase1::get_duty_by_ref(d->ref)->ref, d->ref);  // the term holds its own reference
      dt date;
      ASSERT_TRUE(sc_phase1::dtbd_key_dt(r.key, &date));
      EXPECT_EQ(date, r.date);
      EXPECT_EQ(sc_phase1::dtbd_dt(d), r.date);
    }
    // The date walk: every duty once, date keys ascending, each the key of its duty's date.
    std::set<chain_ref> refs;
    std::wstring last;
    sc_phase1::nd_duty_ref([&](dated_duty e) {
      EXPECT_GE(std::wstring(e.dateKey), last);
      last = e.dateKey;
      EXPECT_STREQ(e.dateKey, sc_phase1::get_date_key(sc_phase1::dtbd_dt(e.duty)).text);
      EXPECT_EQ(e.duty->ref, e.ref);
      refs.insert(e.ref);
      Qel::RunTime::Kernel::Fail();
    });
    EXPECT_EQ(refs.size(), 22u);
    EXPECT_EQ(StoredKeys().size(), 22u);
    // Period chains: "1" and "2" only; other chains stay.
    std::vector<std::wstring> chains;
    kalmora_DB::db()->db_chains([&](const wchar_t* c) {
      chains.push_back(c);
      Qel::RunTime::Kernel::Fail();
    });
    for (const wchar_t* gone : {L"0", L"105", L"-3", L"7"})
      EXPECT_EQ(std::count(chains.begin(), chains.end(), gone), 0) << gone;
    EXPECT_EQ(std::count(chains.begin(), chains.end(), L"12a"), 1);
  });
}

TEST_F(Duties, NeighbouringKeysAndMisses) {
  Open(L"n.km6", true);
  Run([&] {
    WriteSmallRoster();
    sc_phase1::generate();
    const std::vector<std::wstring> keys = StoredKeys();
    ASSERT_EQ(keys.size(), 22u);
    const wchar_t* out;
    for (size_t i = 0; i < keys.size(); ++i) {
      ASSERT_EQ(sc_phase1::next_key(keys[i].c_str(), &out), i + 1 < keys.size());
      if (i + 1 < keys.size()) EXPECT_EQ(std::wstring(out), keys[i + 1]);
      ASSERT_EQ(sc_phase1::prev_key(keys[i].c_str(), &out), i > 0);
      if (i > 0) EXPECT_EQ(std::wstring(out), keys[i - 1]);
    }
    // Keys not in the index: a removed duty, one between two stored keys, text that is no key.
    for (const wchar_t* miss : {L"[101,11,12,2,1]", L"[101,11,11,1,2]", L"", L"[999]"}) {
      const DutyTerm* d;
      sp s;
      dt date;
      EXPECT_FALSE(sc_phase1::next_key(miss, &out)) << miss;
      EXPECT_FALSE(sc_phase1::prev_key(miss, &out)) << miss;
      EXPECT_FALSE(sc_phase1::get_duty_by_key(miss, &d)) << miss;
      EXPECT_FALSE(sc_phase1::dtbd_key_sp(miss, &s)) << miss;
      EXPECT_FALSE(sc_phase1::dtbd_key_dt(miss, &date)) << miss;
    }
  });
  // A reference that is no stored duty.
  EXPECT_EQ(Error([] { sc_phase1::get_duty_by_ref(0x7FFFFF0); }), 1319u);
}

TEST_F(Duties, GenerateWithoutARequestChangesNothing) {
  rz::document* doc = Open(L"g.km6", true);
  Run([&] { WriteSmallRoster(); });
  sc_phase1::boo_must_regenerate = false;
  doc->set_as_modified(false);
  Run([] { sc_phase1::generate(); });
  EXPECT_FALSE(doc->is_modified());
  Run([] { EXPECT_EQ(sc_phase1::how_many(), 0u); });
  // An empty roster: no period chains, both trees empty.
  Run([] {
    kalmora_DB::db()->chain_delete(L"weekday_chain");
    kalmora_DB::db()->chain_delete(L"saturday_chain");
    kalmora_DB::db()->chain_delete(L"mod_chain");
    sc_phase1::must_regenerate(L"test");
    sc_phase1::generate();
    EXPECT_EQ(sc_phase1::how_many(), 0u);
    EXPECT_TRUE(StoredKeys().empty());
    EXPECT_FALSE(sc_phase1::nd_duty_ref([](dated_duty) {}));
  });
}

TEST_F(Duties, RebuildKeepsKeysAndRepairsAssignmentsOnlyWhenComplete) {
  rz::document* doc = Open(L"r.km6", true);
  std::vector<std::wstring> before;
  Run([&] {
    WriteSmallRoster();
    sc_phase1::generate();
    before = StoredKeys();
    // Assignments and locks: one on a duty that stays, one on a duty that goes.
    sc_assign::tree()->kee_insert(L"[101,11,11,1,1]", 0x101);
    lock_ass::tree()->kee_insert(L"[101,11,11,1,1]", 0x101);
    lock_ass::tree()->kee_insert(L"[102,12,13,3,2]", 0x101);  // no doctor: a repair drops it
    sc_assign::boo_repair = false;
    EXPECT_EQ(kalmora_DB::save_kalmora()->Kind(), rz::Saved::saved);
  });
  // A rebuild on a database closed under it raises, keeps the request and
  // touches neither assignments nor locks.
  Run([&] { sc_phase1::must_regenerate(L"test"); });
  tav::chainDB* db = kalmora_DB::db();
  Run([&] { db->db_close(); });
  EXPECT_NE(Error([] { sc_phase1::generate(); }), 0u);
  EXPECT_TRUE(sc_phase1::boo_must_regenerate);
  EXPECT_FALSE(sc_assign::boo_repair);
  // Reopened, the rebuild completes; keys of the duties that still exist stay.
  kalmora_DB::uninit();
  RunTrapped([&] {
    doc->set_as_modified(false);
    doc->orv_close(rz::MakeList<const wchar_t*>({}), false);
  });
  open_.clear();
  doc = Open(L"r.km6", false);
  Run([&] {
    sc_phase1::must_regenerate(L"test");
    const DtDutyTerm t{1, MakeDt(dt{2026, 10, 5}), 1, MakeTls(tls{2, 1, 1})};  // remove one more duty
    chain_ref ref;
    kalmora_DB::db()->chain_insertz(tav::D(all::domains::dt_duty), L"mod_chain", reinterpret_cast<T::term>(&t), &ref);
    sc_phase1::generate();
    std::vector<std::wstring> after = StoredKeys();
    std::vector<std::wstring> expected = before;
    expected.erase(std::find(expected.begin(), expected.end(), L"[101,11,11,2,1]"));
    EXPECT_EQ(after, expected);
    EXPECT_TRUE(sc_assign::boo_repair);
    chain_ref who;
    EXPECT_TRUE(lock_ass::tree()->kee_search(L"[101,11,11,1,1]", &who));
    EXPECT_FALSE(lock_ass::tree()->kee_search(L"[102,12,13,3,2]", &who));
  });
  EXPECT_FALSE(sc_phase1::boo_must_regenerate);
}

TEST_F(Duties, SaveRebuildsARequestedIndexAndCloseDropsIt) {
  Open(L"s.km6", true);
  Run([&] {
    WriteSmallRoster();
    sc_phase1::generate();
    // Edit the typical week without a rebuild, then save.
    chain_ref ref;
    kalmora_DB::db()->chain_insertz(tav::D(all::domains::tls), L"weekday_chain",
                                    reinterpret_cast<T::term>(MakeTls(tls{4, 4, 2})), &ref);
    sc_phase1::must_regenerate(L"typical db");
    EXPECT_EQ(kalmora_DB::save_kalmora()->Kind(), rz::Saved::saved);
  });
  EXPECT_FALSE(sc_phase1::boo_must_regenerate);
  kalmora_DB::uninit();
  open_.clear();
  Open(L"s.km6", false);
  Run([&] {
    EXPECT_EQ(sc_phase1::how_many(), 22u + 10u);
    const DutyTerm* d;
    EXPECT_TRUE(sc_phase1::get_duty_by_key(L"[102,12,15,4,4]", &d));
  });
  // A request left at closing does not carry over to the next document.
  sc_phase1::must_regenerate(L"typical db");
  kalmora_DB::uninit();
  EXPECT_FALSE(sc_phase1::boo_must_regenerate);
}

// --- the small fixture roster: slot-periods, listings, totals, statistics ---

namespace {

// The small fixture (16 weeks from Monday 2026-10-05) with its index built
// and two assignments.
class FixtureRoster : public Duties {
 protected:
  void SetUp() override {
    Duties::SetUp();
    doc_ = Open(L"small.km6", true);
    Run([&] {
      WriteSpec(SmallSpec());
      sc_phase1::generate();
      const PersonTerm* p;
      ASSERT_TRUE(staff_db::get_person(L"\u00C4rztin Bj\u00F6rk", &p));
      bjork_ = p->ref;
      ASSERT_TRUE(staff_db::get_person(L"Dr. Chen \u9648", &p));
      chen_ = p->ref;
      sc_assign::tree()->kee_insert(L"[101,11,11,1,1]", bjork_);  // Monday 2026-10-05 Früh
      sc_assign::tree()->kee_insert(L"[101,12,16,3,2]", chen_);   // Saturday 2026-10-10 late
      sc_assign::tree()->kee_insert(L"[104,11,11,1,1]", chen_);   // Monday 2026-10-26 Früh
      sc_assign::tree()->kee_insert(L"[199,11,11,1,1]", chen_);   // no such duty
    });
  }
  void TearDown() override {
    sc_include::sdb_include = include_dom{include_kind::all, 0, nullptr};
    Duties::TearDown();
  }
  rz::document* doc_ = nullptr;
  chain_ref bjork_ = 0, chen_ = 0;
};

}  // namespace

TEST_F(FixtureRoster, CountsAgree) {
  Run([&] {
    // 16 weeks x (5 x 4 weekday + 2 Saturday + 1 Sunday) duties, two
    // removed and two added by the date changes.
    EXPECT_EQ(sc_phase1::how_many(), 368u);
    EXPECT_EQ(actual_dtbd::total_number(), 368u);
    uint32_t walked = 0;
    sc_phase1::nd_duty_ref([&](dated_duty) {
      ++walked;
      Qel::RunTime::Kernel::Fail();
    });
    EXPECT_EQ(walked, 368u);
    const DutyTerm* d;
    EXPECT_FALSE(sc_phase1::get_duty_by_key(L"[101,11,13,1,1]", &d));  // removed on 2026-10-07
    ASSERT_TRUE(sc_phase1::get_duty_by_key(L"[101,13,16,3,3]", &d));   // added on 2026-10-10
    EXPECT_EQ(d->dat->changed->functor, 2u);
    ASSERT_TRUE(sc_phase1::get_duty_by_key(L"[112,11,14,3,1]", &d));   // added on 2026-12-24
    EXPECT_FALSE(sc_phase1::get_duty_by_key(L"[105,12,11,2,2]", &d));  // removed on 2026-11-02
    // The week order: slot outermost, then day, then period; each list the
    // slot-period's own duties, as one slot-period alone derives them.
    std::vector<sp> order;
    uint32_t total = 0;
    actual_dtbd::nd_dats_to_be_done_week([&](sp_duties l) {
      order.push_back(l.at);
      total += l.count;
      Qel::RunTime::Kernel::Fail();
    });
    ASSERT_EQ(order.size(), 16u * 3 * 7);
    EXPECT_EQ(total, 368u);
    EXPECT_TRUE((order[0] == sp{1, 1, 1} && order[1] == sp{1, 2, 1} && order[16] == sp{2, 1, 1} &&
                 order[16 * 7] == sp{1, 1, 2}));
    std::vector<std::wstring> alone;
    actual_dtbd::nd_dats_in_sp(sp{6, 1, 3}, [&](duty_dat x) {
      alone.push_back(KeyOf(x));
      Qel::RunTime::Kernel::Fail();
    });
    EXPECT_EQ(alone, std::vector<std::wstring>{L"[101,13,16,3,3]"});
  });
}

TEST_F(FixtureRoster, SlotPeriodUnderEachFilter) {
  // Monday of week 1, night: Station at Haus B and Visite at Haus C.
  struct Row {
    include_dom filter;
    std::vector<std::wstring> keys;
  };
  const Row rows[] = {
      {{include_kind::all, 0, nullptr}, {L"[101,13,11,1,2]", L"[101,13,11,3,3]"}},
      {{include_kind::task, 3, nullptr}, {L"[101,13,11,3,3]"}},
      {{include_kind::task, 2, nullptr}, {}},
      {{include_kind::where, 2, nullptr}, {L"[101,13,11,1,2]"}},
      {{include_kind::person, 0, L"Dr. Chen \u9648"}, {L"[101,13,11,1,2]", L"[101,13,11,3,3]"}},
      {{include_kind::group, 0, L"Innere"}, {L"[101,13,11,1,2]", L"[101,13,11,3,3]"}},
  };
  for (const Row& r : rows) {
    sc_include::sdb_include = r.filter;
    Run([&] {
      std::vector<std::wstring> keys;
      for (const duty_terms* l = sc_phase1::duties_to_be_done_on_sp(sp{1, 1, 3}); !l->Empty(); l = l->tail)
        keys.push_back(KeyOf(DutyDatOf(l->head->dat)));
      EXPECT_EQ(keys, r.keys) << static_cast<int>(r.filter.kind);
      const duty_terms* byDate;
      ASSERT_TRUE(sc_phase1::duties_to_be_done_on_dt(dt{2026, 10, 5}, 3, &byDate));
      size_t n = 0;
      for (; !byDate->Empty(); byDate = byDate->tail) ++n;
      EXPECT_EQ(n, keys.size());
    });
  }
  sc_include::sdb_include = include_dom{include_kind::all, 0, nullptr};
  Run([&] {
    EXPECT_TRUE(sc_phase1::duties_to_be_done_on_sp(sp{7, 2, 1})->Empty());  // a Sunday Früh
    const duty_terms* byDate;
    EXPECT_FALSE(sc_phase1::duties_to_be_done_on_dt(dt{2026, 10, 4}, 1, &byDate));  // before the start
  });
}

TEST_F(FixtureRoster, StoredTaskListOfElevenIsARangeError) {
  Run([] {
    for (int i = 4; i <= 11; ++i) {
      const std::wstring name = L"task " + std::to_wstring(i);
      rz::string_brush_db::add_namez(kalmora_DB::db(), L"tasks", rz::make_str_br(name.c_str(), rz::brush{1, 0}));
    }
  });
  EXPECT_TRUE(IsRangeError(RunTrapped([] { sc_phase1::duties_to_be_done_on_sp(sp{1, 1, 1}); })));
}

TEST_F(FixtureRoster, DescriptionsAndListings) {
  Run([&] {
    const std::wstring monday = mytime::dt_str(dt{2026, 10, 5});
    const std::wstring saturday = mytime::dt_str(dt{2026, 10, 10});
    const std::wstring monday4 = mytime::dt_str(dt{2026, 10, 26});
    EXPECT_EQ(std::wstring(sc_phase1::key_desc(L"[101,11,11,1,1]")),
              L"Station Haus A Monday Fr\u00FCh " + monday);
    EXPECT_STREQ(sc_phase1::key_desc(L"[101,11,13,1,1]"), L"Unknown??");
    const DutyTerm* d;
    ASSERT_TRUE(sc_phase1::get_duty_by_key(L"[101,11,11,1,1]", &d));
    const wchar_t *text, *where;
    kalmora_DB::duty_desc1(d->dat, &text, &where);
    EXPECT_EQ(std::wstring(text), monday + L" Fr\u00FCh Haus A Station");
    EXPECT_STREQ(where, L"Haus A");
    // A slot-period the calendar cannot place (period 105) gives the fallbacks.
    SpTerm beyond{1, 1, 105, 1};
    DutyDatTerm outside = *d->dat;
    outside.at = &beyond;
    kalmora_DB::duty_desc1(&outside, &text, &where);
    EXPECT_STREQ(text, L"no desc?");
    EXPECT_STREQ(where, L"No desc??");

    auto rows = [&](std::initializer_list<const wchar_t*> query) {
      std::vector<std::vector<std::wstring>> out;
      for (auto* l = sc_phase1::the_duties_to_be_done(rz::MakeList<const wchar_t*>(query)); !l->Empty(); l = l->tail)
        out.push_back(Names(l->head));
      return out;
    };
    using Rows = std::vector<std::vector<std::wstring>>;
    EXPECT_EQ(rows({L"assigned"}),
              (Rows{{monday, L"Monday", L"Fr\u00FCh", L"Haus A", L"Station", L" \u00C4rztin Bj\u00F6rk"},
                    {saturday, L"Saturday", L"late", L"Haus B", L"Visite", L" Dr. Chen \u9648"},
                    {monday4, L"Monday", L"Fr\u00FCh", L"Haus A", L"Station", L" Dr. Chen \u9648"}}));
    EXPECT_EQ(rows({L"assigned", L"Dr. Chen \u9648"}),
              (Rows{{saturday, L"Saturday", L"late", L"Haus B", L"Visite", L" Dr. Chen \u9648"},
                    {monday4, L"Monday", L"Fr\u00FCh", L"Haus A", L"Station", L" Dr. Chen \u9648"}}));
    EXPECT_TRUE(rows({L"assigned", L"Dr. Chen"}).empty());  // names compare whole
    const Rows open = rows({L"unassigned"});
    EXPECT_EQ(open.size(), 365u);
    for (const auto& r : open) EXPECT_EQ(r[5], L"unassigned");
    for (auto query : {std::initializer_list<const wchar_t*>{}, {L"Assigned"}, {L"assigned", L"a", L"b"},
                       {L"unassigned", L"x"}})
      EXPECT_EQ(rows(query), (Rows{{L"Error 855"}}));
    // The one-line text of a row.
    std::vector<std::wstring> lines;
    sc_phase1::nd_duty_desc(kEveryDuty, [&](duty_row r) {
      lines.push_back(r.line);
      Qel::RunTime::Kernel::Fail();
    });
    ASSERT_EQ(lines.size(), 368u);
    EXPECT_EQ(lines[0], monday + L" Monday Fr\u00FCh Haus A Station  \u00C4rztin Bj\u00F6rk");
  });
}

TEST_F(FixtureRoster, Totals) {
  Run([&] {
    totals* t = totals::new_();
    t->calculate_total_to_be_done(kToBeDone, stat_type::pc_of_required, do_what_stat::do_totals);
    EXPECT_EQ(t->get_tot_to_be_done(kToBeDone, what_stat{stat_kind::total}), 368u);
    // Weekend day-slots: Saturday and Sunday Früh, Sunday night (16 Saturday duties).
    t->calculate_total_to_be_done(kToBeDone, stat_type::pc_of_required, do_what_stat::do_weekend);
    EXPECT_EQ(t->get_tot_to_be_done(kToBeDone, what_stat{stat_kind::weekend, 1}), 16u);
    EXPECT_EQ(t->get_tot_to_be_done(kToBeDone, what_stat{stat_kind::weekend, 0}), 352u);
    // Holidays: Friday 25 Dec, Saturday 26 Dec, Friday 1 Jan.
    t->calculate_total_to_be_done(kToBeDone, stat_type::pc_of_required, do_what_stat::do_holidays);
    EXPECT_EQ(t->get_tot_to_be_done(kToBeDone, what_stat{stat_kind::holiday, 1}), 10u);
    // A doctor's assigned duties; the assignment without a duty is skipped.
    t->calculate_total_to_be_done(are_assigned(chen_), stat_type::pc_of_required, do_what_stat::do_totals);
    const stat_row chen = t->get_stat_dom(chen_, what_stat{stat_kind::total});
    EXPECT_EQ(chen.first, 368u);
    EXPECT_EQ(chen.second, 2u);
    EXPECT_EQ(t->get_stat_dom(bjork_, what_stat{stat_kind::total}).second, 0u);  // never counted
    // The rows of each family, in order.
    t->calculate_total_to_be_done(are_assigned(chen_), stat_type::pc_of_required, do_what_stat::do_days);
    t->calculate_total_to_be_done(kToBeDone, stat_type::pc_of_required, do_what_stat::do_days);
    std::vector<std::pair<uint32_t, uint32_t>> days;
    for (auto* l = t->get_data(do_what_stat::do_days, chen_); !l->Empty(); l = l->tail)
      days.push_back({l->head.first, l->head.second});
    // Weekdays 16 x 4, one removed on a Monday and a Wednesday, one added on a Thursday.
    EXPECT_EQ(days, (std::vector<std::pair<uint32_t, uint32_t>>{
                        {63, 1}, {64, 0}, {63, 0}, {65, 0}, {64, 0}, {33, 1}, {16, 0}}));
    struct Family {
      do_what_stat family;
      std::vector<what_stat> kinds;
    };
    const Family families[] = {
        {do_what_stat::do_totals, {{stat_kind::total}}},
        {do_what_stat::do_weekend, {{stat_kind::weekend, 1}, {stat_kind::weekend, 0}}},
        {do_what_stat::do_holidays, {{stat_kind::holiday, 1}, {stat_kind::holiday, 0}}},
        {do_what_stat::do_slots, {{stat_kind::slot, 1}, {stat_kind::slot, 2}, {stat_kind::slot, 3}}},
        {do_what_stat::do_tasks, {{stat_kind::task, 1}, {stat_kind::task, 2}, {stat_kind::task, 3}}},
        {do_what_stat::do_wheres, {{stat_kind::where, 1}, {stat_kind::where, 2}, {stat_kind::where, 3}}},
    };
    for (const Family& f : families) {
      std::vector<what_stat> kinds;
      for (auto* l = t->get_data(f.family, bjork_); !l->Empty(); l = l->tail) kinds.push_back(l->head.kind);
      EXPECT_TRUE(kinds == f.kinds) << static_cast<int>(f.family);
    }
    std::vector<what_stat> daySlots;
    for (auto* l = t->get_data(do_what_stat::do_day_slots, bjork_); !l->Empty(); l = l->tail)
      daySlots.push_back(l->head.kind);
    ASSERT_EQ(daySlots.size(), 21u);
    EXPECT_TRUE((daySlots[0] == what_stat{stat_kind::day_slot, 1, 3}));
    EXPECT_TRUE((daySlots[20] == what_stat{stat_kind::day_slot, 7, 1}));
  });
}

TEST_F(FixtureRoster, StatisticsFileOnSave) {
  Run([&] { EXPECT_EQ(kalmora_DB::save_kalmora()->Kind(), rz::Saved::saved); });
  std::vector<std::string> lines;
  {
    FILE* f = _wfopen(Path(L"small.stat").c_str(), L"rb");
    ASSERT_NE(f, nullptr);
    char buf[512];
    while (fgets(buf, sizeof buf, f)) lines.push_back(buf);
    fclose(f);
  }
  ASSERT_EQ(lines.size(), 10u);
  const std::string chen = "ndb_p_stat_dom(p_stat_dom(" + std::to_string(chen_) + ",stat_dom(total";
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(chen, 0) == 0; }),
            1)
      << lines[0];
  for (const std::string& l : lines) EXPECT_NE(l.find(",368,"), std::string::npos) << l;
  // Saving under another name writes no statistics.
  Run([&] { EXPECT_EQ(kalmora_DB::save_kalmora(Path(L"other.km6").c_str())->Kind(), rz::Saved::saved); });
  EXPECT_EQ(GetFileAttributesW(Path(L"other.stat").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Duties, StatisticsFileThatCannotBeWrittenLeavesTheSaveAlone) {
  rz::document* doc = Open(L"blocked.km6", true);
  ASSERT_TRUE(CreateDirectoryW(Path(L"blocked.stat").c_str(), nullptr));
  Run([&] {
    WriteSmallRoster();
    EXPECT_EQ(kalmora_DB::save_kalmora()->Kind(), rz::Saved::saved);
  });
  EXPECT_EQ(rec().Texts(L"note").size(), 1u);
  EXPECT_FALSE(doc->is_modified());
  RemoveDirectoryW(Path(L"blocked.stat").c_str());
  // The saved document holds the rebuilt index.
  kalmora_DB::uninit();
  RunTrapped([&] { doc->orv_close(rz::MakeList<const wchar_t*>({}), false); });
  open_.clear();
  Open(L"blocked.km6", false);
  Run([] { EXPECT_EQ(sc_phase1::how_many(), 22u); });
}

TEST_F(Duties, TypicalWeekEditedAndSavedReachesAFreshProcess) {
  const std::wstring file = L"\"" + Path(L"fresh.km6") + L"\"";
  ASSERT_EQ(RosterChild(L"build small " + file).first, 0u);
  auto [code, out] = RosterChild(L"op sunday_duty " + file);
  ASSERT_EQ(code, 0u) << out;
  std::tie(code, out) = RosterChild(L"index " + file);
  ASSERT_EQ(code, 0u) << out;
  EXPECT_NE(out.find(L"duties 368\n"), std::wstring::npos) << out;
  EXPECT_NE(out.find(L"key [101,11,17,2,1]\n"), std::wstring::npos);   // the new Sunday duty
  EXPECT_EQ(out.find(L"key [101,12,17,1,3]\n"), std::wstring::npos);   // the old one
}
