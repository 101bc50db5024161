// The concrete duties and the duty index: keys, the derivation against a
// plain calendar of the test's own, and the stored index on real document
// files (rebuild, its errors, lookups, walks, saving).
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "SYSTEM/timepack/mytime.h"
#include "all_test.h"
#include "doc_test.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/lock_ass.h"
#include "kalmoradb/sc_assign.h"
#include "phase1/sc_phase1.h"

using namespace alltest;
using rizediveva6::mytime;
using rizediveva6::orvDB;
using rizediveva6::time_convert;
namespace rz = rizediveva6;

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

class Duties : public rztest::Documents {
 protected:
  static void SetUpTestSuite() {
    Documents::SetUpTestSuite();
    ASSERT_EQ(all::InitializeUnit(), 0);
  }
  void TearDown() override {
    kalmora_DB::uninit();
    sc_phase1::boo_must_regenerate = false;
    mytime::set_start_day(0);
    for (rz::document* d : open_)
      RunTrapped([&] {
        d->set_as_modified(false);
        d->orv_close(rz::MakeList<const wchar_t*>({}), false);
      });
    Documents::TearDown();
  }
  rz::document* Open(const wchar_t* name, bool create) {
    rz::document* d = nullptr;
    Run([&] {
      const wchar_t* path = tav::HeapCopy(Path(name).c_str());
      d = orvDB::new_file_def(rz::make_file_def(path, create, rz::kBackupNone));
      kalmora_DB::init(d);
    });
    open_.push_back(d);
    return d;
  }
  uint32_t Error(std::function<void()> body) { return ErrorNumber(RunTrapped([&] { body(); })); }

  std::vector<rz::document*> open_;
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
    sc_phase1::generate();
  });
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
