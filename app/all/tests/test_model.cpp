// The document root, holidays, weekend slots, the rebuild request and the
// engine's stores, in process on real document files: header defaults and
// bad stored terms, opening that fails part-way, saving and the modified
// mark, the stores' notes and errors with no document open.
#include <string>
#include <vector>

#include "SYSTEM/stringDB/stringdb.h"
#include "SYSTEM/timepack/mytime.h"
#include "all_test.h"
#include "doc_test.h"
#include "roster_test.h"
#include "kalmoradb/groups.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/load_db.h"
#include "kalmoradb/locations.h"
#include "kalmoradb/lock_ass.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/sc_holidays.h"
#include "kalmoradb/sc_mod_date.h"
#include "kalmoradb/sc_stat_weekend.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/tasks.h"
#include "kalmoradb/ties.h"
#include "kalmoradb/typical_db.h"
#include "phase1/sc_phase1.h"
#include "rulesPack/sc_rules.h"

using namespace alltest;
using rizediveva6::mytime;
using rizediveva6::orvDB;
using rizediveva6::time_convert;
namespace rz = rizediveva6;

namespace {

// Every store's open mark, in the document's order.
std::vector<bool> OpenMarks() {
  return {staff_db::state.boo_init,   groups::state.boo_init,    tasks::state.boo_init,
          locations::state.boo_init,  typical_db::state.boo_init, sc_mod_date::state.boo_init,
          sc_phase1::state.boo_init,  sc_rules::state.boo_init,  sc_assign::state.boo_init,
          ties::state.boo_init,       load_db::state.boo_init,   sc_stat_weekend::state.boo_init,
          sc_holidays::state.boo_init, lock_ass::state.boo_init};
}

TEST_F(Roster, NewDocumentHeaderDefaults) {
  rz::document* d = New();
  Run([&] {
    const tv now = tav::gmtTime::getcurrentgmttimevalue();
    const tv start = kalmora_DB::get_start_date();
    EXPECT_EQ(start, time_convert::make_date_first_day_of_week(now));
    EXPECT_TRUE(d->is_modified());  // the default is stored on first reading
    EXPECT_EQ(kalmora_DB::get_start_date(), start);
    EXPECT_EQ(kalmora_DB::get_weeks_duration(), 10u);
    EXPECT_EQ(kalmora_DB::get_start_day(), 0u);
    EXPECT_EQ(Names(kalmora_DB::get_list_slots()), std::vector<std::wstring>{L"allday"});
    EXPECT_TRUE(kalmora_DB::list_slots()->Empty());
    EXPECT_EQ(kalmora_DB::number_of_slots_per_day(), 1u);
    EXPECT_STREQ(kalmora_DB::get_slot_name(1), L"allday");
    EXPECT_STREQ(kalmora_DB::get_desc(), L"No Desc");
    // The first description marks the document too (else a save would drop it).
    d->set_as_modified(false);
    kalmora_DB::set_desc(L"Dienstplan");
    EXPECT_TRUE(d->is_modified());
    EXPECT_STREQ(kalmora_DB::get_desc(), L"Dienstplan");
  });
  EXPECT_TRUE(rec().Texts(L"note").empty());
}

TEST_F(Roster, InitOnAClosedDatabaseRaisesAndLeavesNothingOpen) {
  rz::document* broken = nullptr;
  Run([&] {
    broken = orvDB::new_file_def(rz::make_memory(L"broken", rz::kBackupNone));
    broken->orv_get_chaindb()->db_close();
  });
  EXPECT_NE(Error([&] { kalmora_DB::init(broken); }), 0u);
  EXPECT_FALSE(kalmora_DB::is_init());
  EXPECT_EQ(OpenMarks(), std::vector<bool>(14, false));
  EXPECT_EQ(Error([] { kalmora_DB::db(); }), 329u);
  // A later init opens every store.
  New();
  EXPECT_TRUE(kalmora_DB::is_init());
  EXPECT_EQ(OpenMarks(), std::vector<bool>(14, true));
  kalmora_DB::uninit();
  EXPECT_EQ(OpenMarks(), std::vector<bool>(14, false));
}

TEST_F(Roster, SaveClearsTheMarkOnlyWhenSaved) {
  // A memory document cannot be saved: the edit stays marked.
  rz::document* memory = nullptr;
  Run([&] {
    memory = orvDB::new_file_def(rz::make_memory(L"mem", rz::kBackupNone));
    kalmora_DB::init(memory);
    kalmora_DB::put_weeks_duration(12);
    EXPECT_EQ(kalmora_DB::save_kalmora()->Kind(), rz::Saved::not_saved_error);
    EXPECT_TRUE(memory->is_modified());
    kalmora_DB::uninit();
    memory->set_as_modified(false);
    memory->orv_close(rz::MakeList<const wchar_t*>({}), false);
  });
  rz::document* d = New();
  Run([&] {
    kalmora_DB::put_weeks_duration(12);
    const std::wstring copy = Path(L"copy.km6");
    // Save as writes a copy and leaves the mark as the copy left it.
    EXPECT_EQ(kalmora_DB::save_kalmora(copy.c_str())->Kind(), rz::Saved::saved);
    EXPECT_TRUE(Exists(copy));
    EXPECT_TRUE(d->is_modified());
    EXPECT_EQ(kalmora_DB::save_kalmora()->Kind(), rz::Saved::saved);
    EXPECT_FALSE(d->is_modified());
    const wchar_t* file = nullptr;
    EXPECT_TRUE(kalmora_DB::get_file(&file));
    EXPECT_EQ(std::wstring(file), Path(L"r.km6"));
  });
  kalmora_DB::uninit();
  Run([&] { EXPECT_EQ(kalmora_DB::save_kalmora()->Kind(), rz::Saved::no_need_to_save); });
  const wchar_t* file = nullptr;
  EXPECT_FALSE(kalmora_DB::get_file(&file));
}

TEST_F(Roster, SlotNamesLookupsAndNotes) {
  rz::document* d = New();
  Run([&] {
    kalmora_DB::put_list_slots(rz::MakeList<const wchar_t*>({L"Fr\u00FCh", L"late", L"night"}));
    EXPECT_EQ(kalmora_DB::number_of_slots_per_day(), 3u);
    EXPECT_EQ(kalmora_DB::get_slot_dom(L"late"), 2u);
    EXPECT_STREQ(kalmora_DB::get_slot_name(1), L"Fr\u00FCh");
    EXPECT_EQ(kalmora_DB::get_slot_dom(L"LATE"), 10u);   // ordinal comparison
    EXPECT_STREQ(kalmora_DB::get_slot_name(4), L"unknown slot");
    std::vector<std::wstring> numbered;
    kalmora_DB::nd_slots([&](std::pair<uint32_t, const wchar_t*> s) {
      numbered.push_back(std::to_wstring(s.first) + s.second);
      tav::K::Fail();
    });
    EXPECT_EQ(numbered, (std::vector<std::wstring>{L"1Fr\u00FCh", L"2late", L"3night"}));
    kalmora_DB::move_up(L"late");
    EXPECT_EQ(Names(kalmora_DB::list_slots()), (std::vector<std::wstring>{L"late", L"Fr\u00FCh", L"night"}));
    // An eleventh name is refused: nothing changes, the document is not marked.
    d->set_as_modified(false);
    kalmora_DB::put_list_slots(rz::MakeList<const wchar_t*>(
        {L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8", L"9", L"10", L"11"}));
    EXPECT_EQ(kalmora_DB::number_of_slots_per_day(), 3u);
    EXPECT_FALSE(d->is_modified());
  });
  EXPECT_EQ(rec().Texts(L"note"), (std::vector<std::wstring>{
                                       L"Error 71 in kalmora_db - unknown slot",
                                       L"Error 72 in kalmora_db - unknown slotno",
                                       L"Error 73 in kalmora_db - more than 10 slots"}));
}

TEST_F(Roster, StoredHeaderTermsOutOfRange) {
  New();
  tav::chainDB* db = nullptr;
  Run([&] { db = kalmora_DB::db(); });
  auto store = [&](const wchar_t* chain, uint32_t v) {
    Run([&] {
      db->chain_delete(chain);
      int32_t ref;
      db->chain_inserta(tav::D(tav::domains::unsigned_), chain,
                        reinterpret_cast<T::term>(OnStack(v)), &ref);
    });
  };
  struct Row {
    const wchar_t* chain;
    uint32_t value;
    std::function<void()> read;
  };
  const Row rows[] = {
      {L"duration", 0, [] { kalmora_DB::get_weeks_duration(); }},
      {L"duration", 105, [] { kalmora_DB::get_weeks_duration(); }},
      {L"start_day", 2, [] { kalmora_DB::get_start_day(); }},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.value);
    store(r.chain, r.value);
    EXPECT_EQ(Error(r.read), 302u);
  }
  Run([&] {
    db->chain_delete(L"duration");
    db->chain_delete(L"start_day");
    for (int i = 1; i <= 11; ++i)
      rz::simple_string_db::add_namez(db, L"slots", std::to_wstring(i).c_str());
  });
  EXPECT_EQ(Error([] { kalmora_DB::number_of_slots_per_day(); }), 302u);
  EXPECT_EQ(Error([] { kalmora_DB::nd_sp(sp{1, 1, 1}, [](sp) {}); }), 302u);
  // A start date outside the years the calendar knows: the note, offset 0,
  // asked again on the next use.
  store(L"duration", 10);
  Run([&] {
    db->chain_delete(L"start_date");
    int32_t ref;
    db->chain_inserta(tav::D(tav::domains::unsigned64), L"start_date",
                      reinterpret_cast<T::term>(OnStack(uint64_t{864000000000})), &ref);  // 1601-01-02
    EXPECT_EQ(kalmora_DB::get_weeks_offset(), 0u);
    EXPECT_EQ(kalmora_DB::get_weeks_offset(), 0u);
  });
  EXPECT_EQ(rec().Texts(L"note"), (std::vector<std::wstring>{L"Error 76 in calenddef", L"Error 76 in calenddef"}));
  // A term of another domain: the image reader's error, no crash.
  Run([&] {
    int32_t ref;
    db->chain_inserta(tav::D(tav::domains::string), L"duration",
                      reinterpret_cast<T::term>(L"ten weeks of duty"), &ref);
  });
  EXPECT_NE(Error([] { kalmora_DB::get_weeks_duration(); }), 0u);
}

TEST_F(Roster, NoDocumentOpen) {
  struct Row {
    const char* what;
    std::function<void()> op;
    const wchar_t* note;  // null: none
  };
  const Row rows[] = {
      {"nd_holidays", [] { sc_holidays::nd_holidays([](dt) {}); }, L"holidays not initialised"},
      {"is_holiday", [] { sc_holidays::is_holiday(dt{2026, 12, 25}); }, L"holidays not initialised"},
      {"add_holiday", [] { sc_holidays::add_holiday(dt{2026, 12, 25}); }, L"holidays not initialised"},
      {"del_holiday", [] { sc_holidays::del_holiday(dt{2026, 12, 25}); }, L"holidays not initialised"},
      {"clear_hols", [] { sc_holidays::clear_hols(); }, nullptr},
      {"sp_is_weekend_or_hol", [] { sc_stat_weekend::sp_is_weekend_or_hol(sp{1, 1, 1}); },
       L"stat_weekend not initialised"},
      {"add_sd", [] { sc_stat_weekend::add_sd({1, 1}); }, nullptr},
      {"get_weeks_duration", [] { kalmora_DB::get_weeks_duration(); }, nullptr},
      {"set_as_mod", [] { kalmora_DB::set_as_mod(); }, nullptr},
      {"sp_dt", [] { kalmora_DB::sp_dt(sp{1, 1, 1}); }, nullptr},
      {"is_assigned", [] { chain_ref r; sc_assign::is_assigned(L"[101,11,11,1,1]", &r); }, nullptr},
      {"lock repair", [] { lock_ass::repair(); }, nullptr},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    rec().Clear();
    EXPECT_EQ(Error(r.op), 329u);
    EXPECT_EQ(rec().Texts(L"note"),
              r.note ? std::vector<std::wstring>{r.note} : std::vector<std::wstring>{});
  }
  Run([] { EXPECT_STREQ(kalmora_DB::get_desc(), L"No Desc"); });
}

TEST_F(Roster, Holidays) {
  rz::document* d = New();
  auto all = [] {
    std::vector<dt> v;
    sc_holidays::nd_holidays([&](dt x) {
      v.push_back(x);
      tav::K::Fail();
    });
    return v;
  };
  Run([&] {
    sc_holidays::add_holiday(dt{2025, 12, 25});
    d->set_as_modified(false);
    sc_holidays::add_holiday(dt{2025, 12, 25});  // present: no change, no mark
    EXPECT_FALSE(d->is_modified());
    EXPECT_EQ(all(), std::vector<dt>{(dt{2025, 12, 25})});
    EXPECT_EQ(sc_holidays::is_holiday(dt{2025, 12, 25}), 1u);
    EXPECT_EQ(sc_holidays::is_holiday(dt{2025, 12, 26}), 0u);
    // In the order added, not sorted.
    sc_holidays::add_holiday(dt{2025, 1, 1});
    EXPECT_EQ(all(), (std::vector<dt>{{2025, 12, 25}, {2025, 1, 1}}));
    d->set_as_modified(false);
    EXPECT_FALSE(sc_holidays::del_holiday(dt{2025, 5, 1}));
    EXPECT_FALSE(d->is_modified());
    EXPECT_TRUE(sc_holidays::del_holiday(dt{2025, 12, 25}));
    EXPECT_TRUE(sc_holidays::del_holiday(dt{2025, 1, 1}));
    EXPECT_TRUE(all().empty());
    EXPECT_EQ(sc_holidays::is_holiday(dt{2025, 1, 1}), 0u);
  });
  EXPECT_EQ(Error([] { sc_holidays::add_holiday(dt{2051, 1, 1}); }), 302u);
}

TEST_F(Roster, WeekendSets) {
  rz::document* d = New();
  auto entries = [] {
    std::vector<weekend_entry> v;
    sc_stat_weekend::nd_weekend_sd([&](weekend_entry e) {
      v.push_back(e);
      tav::K::Fail();
    });
    return v;
  };
  Run([&] {
    kalmora_DB::put_start_date(time_convert::date_tv(dt{2026, 10, 5}));
    // A new document: no weekend slot, but a holiday counts as weekend.
    sc_holidays::add_holiday(dt{2026, 12, 25});  // Friday of week 12
    EXPECT_EQ(sc_stat_weekend::sp_is_weekend(sp{5, 12, 1}), 0u);
    EXPECT_EQ(sc_stat_weekend::sp_is_holiday(sp{5, 12, 1}), 1u);
    EXPECT_EQ(sc_stat_weekend::sp_is_weekend_or_hol(sp{5, 12, 1}), 1u);
    EXPECT_EQ(sc_stat_weekend::sp_is_weekend_or_hol(sp{4, 12, 1}), 0u);
    // Newest first; slot 10 is a slot like any other; the week plays no part.
    sc_stat_weekend::add_sd({1, 6});
    sc_stat_weekend::add_sd({10, 7});
    EXPECT_EQ(entries(), (std::vector<weekend_entry>{{10, 7}, {1, 6}}));
    EXPECT_EQ(sc_stat_weekend::sp_is_weekend(sp{7, 1, 10}), 1u);
    EXPECT_EQ(sc_stat_weekend::sp_is_weekend(sp{7, 104, 10}), 1u);
    EXPECT_EQ(sc_stat_weekend::sp_is_weekend(sp{6, 3, 10}), 0u);
    EXPECT_EQ(sc_stat_weekend::sp_is_weekend_or_hol(sp{6, 50, 1}), 1u);
    d->set_as_modified(false);
    sc_stat_weekend::add_sd({1, 6});
    EXPECT_FALSE(d->is_modified());
    // A toggle twice restores the set and marks both times.
    for (int i = 0; i < 2; ++i) {
      d->set_as_modified(false);
      if (!sc_stat_weekend::del_sd({3, 2})) sc_stat_weekend::add_sd({3, 2});
      EXPECT_TRUE(d->is_modified());
    }
    EXPECT_EQ(entries(), (std::vector<weekend_entry>{{10, 7}, {1, 6}}));
    // The default set: days 1 and 7 of every slot, the last slot first.
    kalmora_DB::put_list_slots(rz::MakeList<const wchar_t*>({L"a", L"b", L"c"}));
    sc_stat_weekend::set_default_weekend();
    EXPECT_EQ(entries(), (std::vector<weekend_entry>{{3, 7}, {3, 1}, {2, 7}, {2, 1}, {1, 7}, {1, 1}}));
    d->set_as_modified(false);
    sc_stat_weekend::clear_sd();
    EXPECT_TRUE(d->is_modified());
    EXPECT_TRUE(entries().empty());
    sc_stat_weekend::clear_sd();  // no chain: nothing to delete
    kalmora_DB::db()->chain_delete(L"slots");
    sc_stat_weekend::set_default_weekend();
    EXPECT_EQ(entries(), (std::vector<weekend_entry>{{1, 7}, {1, 1}}));
  });
  EXPECT_EQ(Error([] { sc_stat_weekend::add_sd({11, 1}); }), 302u);
}

TEST_F(Roster, CalendarThroughTheHeader) {
  New();
  Run([&] {
    // A Wednesday stores the first day of its week at 00:00:01.
    kalmora_DB::put_start_date(time_convert::date_tv(dt{2026, 10, 7}));
    EXPECT_EQ(kalmora_DB::get_start_date(), time_convert::LocalValue(2026, 10, 5, 0, 0, 1.0));
    EXPECT_EQ(kalmora_DB::sp_dt(sp{1, 1, 1}), (dt{2026, 10, 5}));
    EXPECT_EQ(kalmora_DB::get_end_date(), time_convert::LocalValue(2026, 12, 14, 0, 0, 1.0));
    // A start a week later moves period 1 with it (the cached offset goes).
    kalmora_DB::put_start_date(time_convert::date_tv(dt{2026, 10, 12}));
    EXPECT_EQ(kalmora_DB::sp_dt(sp{1, 1, 1}), (dt{2026, 10, 12}));
    sp s{};
    EXPECT_FALSE(kalmora_DB::dt_sp(dt{2026, 10, 11}, &s));
    // A Sunday week start: the week of 2026-10-12 begins on the 11th.
    kalmora_DB::set_start_day(1);
    EXPECT_EQ(kalmora_DB::sp_dt(sp{2, 1, 1}), (dt{2026, 10, 12}));
    kalmora_DB::set_start_day(0);
    kalmora_DB::put_weeks_duration(2);
    kalmora_DB::put_list_slots(rz::MakeList<const wchar_t*>({L"am", L"pm", L"night"}));
    uint32_t n = 0;
    kalmora_DB::nd_sp(sp{1, 1, 1}, [&](sp) {
      ++n;
      tav::K::Fail();
    });
    EXPECT_EQ(n, 42u);
    sp next{};
    EXPECT_FALSE(kalmora_DB::next_day(sp{7, 2, 1}, &next));
    EXPECT_TRUE(kalmora_DB::next_day(sp{7, 1, 1}, &next));
    EXPECT_EQ(next, (sp{1, 2, 1}));
    kalmora_DB::put_list_slots(rz::MakeList<const wchar_t*>({L"am", L"pm"}));
    std::vector<std::wstring> texts = Names(kalmora_DB::list_day_slots_slist());
    ASSERT_EQ(texts.size(), 14u);
    EXPECT_EQ(texts[0], L"Monday pm");
    EXPECT_EQ(texts[1], L"Monday am");
    EXPECT_EQ(texts[13], L"Sunday am");
    const auto* first = kalmora_DB::list_day_slots()->head;
    EXPECT_EQ(first->Kind(), stat_kind::day_slot);
    EXPECT_EQ(first->a, 1u);
    EXPECT_EQ(first->b, 2u);
  });
}

TEST_F(Roster, RebuildRequests) {
  New();
  struct Row {
    const char* what;
    std::function<void()> op;
    bool raises;
  };
  const Row rows[] = {
      {"put_start_date", [] { kalmora_DB::put_start_date(time_convert::date_tv(dt{2026, 10, 7})); }, true},
      {"put_weeks_duration", [] { kalmora_DB::put_weeks_duration(3); }, true},
      {"put_list_slots", [] { kalmora_DB::put_list_slots(rz::MakeList<const wchar_t*>({L"x"})); }, true},
      {"set_start_day", [] { kalmora_DB::set_start_day(1); }, false},
      {"add_holiday", [] { sc_holidays::add_holiday(dt{2026, 12, 25}); }, false},
      {"add_sd", [] { sc_stat_weekend::add_sd({1, 7}); }, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    sc_phase1::boo_must_regenerate = false;
    Run(r.op);
    EXPECT_EQ(sc_phase1::boo_must_regenerate, r.raises);
  }
  // A request needs no open document.
  kalmora_DB::uninit();
  sc_phase1::boo_must_regenerate = false;
  sc_phase1::must_regenerate(L"typical db");
  sc_phase1::must_regenerate(L"modified date");
  EXPECT_TRUE(sc_phase1::boo_must_regenerate);
}

TEST_F(Roster, EngineStoresRepairs) {
  New();
  // 40 duties over several tree nodes, the doctors alternating, so that a
  // deletion during the walk would skip or repeat entries.
  std::vector<std::wstring> keys;
  for (int p = 101; p <= 120; ++p)
    for (int slot = 11; slot <= 12; ++slot)
      keys.push_back(L"[" + std::to_wstring(p) + L"," + std::to_wstring(slot) + L",11,1,1]");
  constexpr chain_ref kAnna = 0x101, kBen = 0x202;
  auto doctorOf = [&](size_t i) { return i % 2 ? kBen : kAnna; };
  Run([&] {
    rz::bt* assigned = sc_assign::tree();
    for (size_t i = 0; i < keys.size(); ++i) assigned->kee_insert(keys[i].c_str(), doctorOf(i));
    rz::bt* locks = lock_ass::tree();
    for (size_t i = 0; i < 8; ++i) locks->kee_insert(keys[i].c_str(), doctorOf(i));
    chain_ref who = 0;
    EXPECT_TRUE(sc_assign::is_assigned(keys[2].c_str(), &who));
    EXPECT_EQ(who, kAnna);
    sc_assign::repair_after_person_deleted(kAnna);  // locked entries go too
    for (size_t i = 0; i < keys.size(); ++i) {
      const bool kept = sc_assign::is_assigned(keys[i].c_str(), &who);
      EXPECT_EQ(kept, doctorOf(i) == kBen) << i;
      if (kept) EXPECT_EQ(who, kBen);
    }
    lock_ass::repair();  // the locks of the gone assignments go, Ben's stay
    for (size_t i = 0; i < 8; ++i) EXPECT_EQ(locks->kee_search(keys[i].c_str(), &who), doctorOf(i) == kBen) << i;
    sc_assign::must_be_repaired();
    EXPECT_TRUE(sc_assign::boo_repair);
  });
  // init twice opens the trees once; the trees are in the document.
  Run([&] {
    rz::bt* before = sc_assign::xdb_bt;
    sc_assign::init(kalmora_DB::db());
    EXPECT_EQ(sc_assign::xdb_bt, before);
    std::vector<std::wstring> trees;
    kalmora_DB::db()->db_btrees([&](const wchar_t* n) {
      trees.push_back(n);
      tav::K::Fail();
    });
    EXPECT_NE(std::find(trees.begin(), trees.end(), L"assign_bt"), trees.end());
    EXPECT_NE(std::find(trees.begin(), trees.end(), L"lock_bt"), trees.end());
  });
}

}  // namespace
