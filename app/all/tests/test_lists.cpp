// The roster's named lists in process on real document files: tasks and
// locations (row edits, look-ups, the ten-entry limit, documents holding
// eleven), the typical week, the date changes, the practices and groups,
// the doctors and their name index, and the display filter's path table.
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "KWI/Wyn/wyn.h"
#include "SYSTEM/stringDB/stringdb.h"
#include "kalmoradb/groups.h"
#include "kalmoradb/locations.h"
#include "kalmoradb/lock_ass.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/sc_include.h"
#include "kalmoradb/sc_mod_date.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/tasks.h"
#include "kalmoradb/typical_db.h"
#include "phase1/sc_phase1.h"
#include "qel6run_lib.h"
#include "roster_fixture.h"
#include "roster_test.h"

using namespace alltest;

namespace {

using TlsV = std::vector<tls>;

const tls_list* TlsList(const TlsV& v) {
  rz::ListBuilder<tls> b;
  for (const tls& t : v) b.Add(t);
  return b.Finish();
}

TlsV Typical(uint32_t dayKind) {
  TlsV v;
  typical_db::nd_tls([&](day_tls d) {
    if (d.day_kind == dayKind) v.push_back(d.duty);
    tav::K::Fail();
  });
  return v;
}

bool ColourOk(int32_t c) {
  return c >= 0 && (c & 0xFF) <= 254 && (c >> 8 & 0xFF) <= 254 && (c >> 16) <= 254;
}

class Lists : public Roster {
 protected:
  void SetUp() override {
    Roster::SetUp();
    sc_include::sdb_include = include_dom{include_kind::all, 0, nullptr};
  }
  // A mark cleared, then the body; whether the body marked the document.
  template <class F>
  bool Marks(rz::document* d, F body) {
    d->set_as_modified(false);
    sc_phase1::boo_must_regenerate = false;
    Run(body);
    return d->is_modified();
  }
};

// --- tasks and locations ---

TEST_F(Lists, RandomColoursAreThreeDrawsRedGreenBlue) {
  for (uint32_t seed : {1u, 7u, 12345u}) {
    QelMath::RandomInit(seed);
    const int32_t red = QelMath::Random_1(255), green = QelMath::Random_1(255), blue = QelMath::Random_1(255);
    QelMath::RandomInit(seed);
    EXPECT_EQ(rz::wyn::random_color(), red | green << 8 | blue << 16);
  }
  for (int i = 0; i < 2000; ++i) EXPECT_TRUE(ColourOk(rz::wyn::random_color()));
}

TEST_F(Lists, LocationRowEdits) {
  rz::document* d = New();
  Run([] {
    for (const wchar_t* n : {L"A", L"B", L"C", L"D"}) locations::add_loc(n);
  });
  struct Row {
    const char* what;
    int32_t row;
    const wchar_t* text;
    std::vector<std::wstring> after;
    bool marks;
  };
  const Row rows[] = {
      {"present name elsewhere", 1, L"C", {L"A", L"B", L"C", L"D"}, false},
      {"own name", 2, L"B", {L"A", L"B", L"C", L"D"}, false},
      {"rename", 2, L"B\u00E4r", {L"A", L"B\u00E4r", L"C", L"D"}, true},
      {"empty past the end", 5, L"", {L"A", L"B\u00E4r", L"C", L"D"}, true},
      {"row 0 empty", 0, L"", {L"A", L"B\u00E4r", L"C", L"D"}, true},
      {"row 0 new name appends", 0, L"E", {L"A", L"B\u00E4r", L"C", L"D", L"E"}, true},
      {"single space deletes", 5, L" ", {L"A", L"B\u00E4r", L"C", L"D"}, true},
      {"empty deletes", 2, L"", {L"A", L"C", L"D"}, true},
      {"past the end appends", 9, L"F", {L"A", L"C", L"D", L"F"}, true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    EXPECT_EQ(Marks(d, [&] { locations::add_loc(r.row, r.text); }), r.marks);
    EXPECT_EQ(sc_phase1::boo_must_regenerate, r.marks);
    Run([&] { EXPECT_EQ(Names(locations::list_locs()), r.after); });
  }
  // After deleting row 2 of four, the former 3 and 4 are 2 and 3.
  rec().Clear();
  Run([] {
    EXPECT_STREQ(locations::get_where_name(2), L"C");
    EXPECT_EQ(locations::get_where_dom(L"D"), 3u);
    EXPECT_STREQ(locations::get_where_name(5), L"unknown location");
    EXPECT_EQ(locations::get_where_dom(L"B"), 10u);
    EXPECT_EQ(locations::get_where_dom(L"a"), 10u);  // exact comparison
  });
  EXPECT_EQ(rec().Texts(L"note"), (std::vector<std::wstring>{L"Error 156 in locations", L"Error 157 in locations",
                                                               L"Error 157 in locations"}));
}

TEST_F(Lists, TaskRowEditsKeepColoursAndMark) {
  rz::document* d = New();
  std::vector<task_entry> before;
  auto entries = [] {
    std::vector<task_entry> v;
    tasks::nd_tasks([&](task_entry e) {
      e.name = tav::HeapCopy(e.name);
      v.push_back(e);
      tav::K::Fail();
    });
    return v;
  };
  Run([&] {
    tasks::add_task(L"Station");
    tasks::add_task(L"Notaufnahme");
    before = entries();
  });
  ASSERT_EQ(before.size(), 2u);
  for (const task_entry& e : before) {
    EXPECT_EQ(e.brush.style, 2);
    EXPECT_TRUE(ColourOk(e.brush.colour));
  }
  EXPECT_TRUE(Marks(d, [] { tasks::add_task(1, L"Stationsdienst"); }));
  Run([&] {
    const std::vector<task_entry> after = entries();
    EXPECT_STREQ(after[0].name, L"Stationsdienst");
    EXPECT_EQ(after[0].brush.colour, before[0].brush.colour);
    EXPECT_EQ(after[0].number, 1u);
  });
  // An empty edit of the new row marks the document too (else a save drops
  // nothing, but the rebuild request would be the only trace).
  EXPECT_TRUE(Marks(d, [] { tasks::add_task(3, L""); }));
  EXPECT_TRUE(sc_phase1::boo_must_regenerate);
  EXPECT_FALSE(Marks(d, [] { tasks::add_task(2, L"Stationsdienst"); }));
  rec().Clear();
  Run([] {
    EXPECT_EQ(tasks::get_task_dom(L"Notaufnahme"), 2u);
    EXPECT_EQ(tasks::get_task_dom(L"Visite"), 10u);
    EXPECT_STREQ(tasks::get_task_name(3), L"unknown task");
    EXPECT_STREQ(tasks::get_task_name(0), L"unknown task");
  });
  EXPECT_EQ(rec().Texts(L"note"),
            (std::vector<std::wstring>{L"Error 57 in tasks", L"Error 56 in tasks", L"Error 56 in tasks"}));
}

// Names that a careless text routine would mangle: kept and found exactly.
TEST_F(Lists, ListNamesAreKeptVerbatim) {
  New();
  const std::wstring names[] = {L"100% \"Notfall\" %d %s", std::wstring(1000, L'x'), L"Geb\u00E4ude \U0001F3E5",
                                L"a\u00ADb", L"ab", L"'single'"};
  Run([&] {
    for (const std::wstring& n : names) {
      tasks::add_task(n.c_str());
      locations::add_loc(n.c_str());
      groups::add_group(n.c_str());
    }
    uint32_t i = 0;
    for (const std::wstring& n : names) {
      ++i;
      EXPECT_EQ(tasks::get_task_dom(n.c_str()), i);
      EXPECT_EQ(locations::get_where_dom(n.c_str()), i);
      EXPECT_EQ(std::wstring(tasks::get_task_name(i)), n);
      EXPECT_EQ(std::wstring(locations::get_where_name(i)), n);
    }
    EXPECT_EQ(Names(groups::list_groups()), std::vector<std::wstring>(std::begin(names), std::end(names)));
  });
  EXPECT_TRUE(rec().Texts(L"note").empty());
}

TEST_F(Lists, AnEleventhTaskOrLocationIsRefused) {
  rz::document* d = New();
  Run([] {
    for (int i = 1; i <= 10; ++i) {
      tasks::add_task(std::to_wstring(i).c_str());
      locations::add_loc(std::to_wstring(i).c_str());
    }
  });
  rec().Clear();
  EXPECT_FALSE(Marks(d, [] {
    tasks::add_task(L"11");
    tasks::add_task(11, L"11");
    locations::add_loc(L"11");
    locations::add_loc(0, L"11");
  }));
  Run([] {
    EXPECT_EQ(Names(tasks::list_tasks()).size(), 10u);
    EXPECT_EQ(Names(locations::list_locs()).size(), 10u);
  });
  EXPECT_EQ(rec().Texts(L"note"), (std::vector<std::wstring>{
                                       L"Error 58 in tasks - more than 10 tasks",
                                       L"Error 58 in tasks - more than 10 tasks",
                                       L"Error 158 in locations - more than 10 locations",
                                       L"Error 158 in locations - more than 10 locations"}));
}

// A document written by another program with eleven of each.
TEST_F(Lists, ElevenStoredEntriesReachTheRangeError) {
  New();
  Run([] {
    tav::chainDB* db = kalmora_DB::db();
    for (int i = 1; i <= 11; ++i) {
      const std::wstring n = L"n" + std::to_wstring(i);
      rz::string_brush_db::add_namez(db, L"tasks", rz::make_str_br(tav::HeapCopy(n.c_str()), rz::brush{2, 0}));
      rz::simple_string_db::add_namez(db, L"locs", tav::HeapCopy(n.c_str()));
    }
  });
  uint32_t tasksSeen = 0, locsSeen = 0;
  Run([&] {
    tasks::nd_tasks([&](task_entry) {
      ++tasksSeen;
      tav::K::Fail();
    });
    EXPECT_EQ(tasks::get_task_dom(L"n10"), 10u);
  });
  EXPECT_EQ(tasksSeen, 11u);
  EXPECT_EQ(Error([] { tasks::get_task_dom(L"n11"); }), 302u);
  EXPECT_EQ(Error([&] {
              locations::nd_locs([&](where_entry) {
                ++locsSeen;
                tav::K::Fail();
              });
            }),
            302u);
  EXPECT_EQ(locsSeen, 10u);
  EXPECT_EQ(Error([] { locations::get_where_dom(L"n11"); }), 302u);
}

TEST_F(Lists, StoresClosed) {
  struct Row {
    const char* what;
    std::function<void()> op;
    const wchar_t* note;
  };
  const Row rows[] = {
      {"tasks clear", [] { tasks::clear(); }, L"tasks not initialised"},
      {"nd_tasks", [] { tasks::nd_tasks([](task_entry) {}); }, L"tasks not initialised"},
      {"nd_locs", [] { locations::nd_locs([](where_entry) {}); }, L"locations not initialised"},
      {"groups clear", [] { groups::clear(); }, L"groups not initialised"},
      {"nd_person", [] { staff_db::nd_person([](const PersonTerm*) {}); }, L"Staff_db not initialised"},
      {"full_slist", [] { typical_db::full_slist(); }, L"typical_db not initialised"},
      {"nd_dt_duties", [] { sc_mod_date::nd_dt_duties([](dt_duty_ref) {}); }, L"sc_mod_date not initialised"},
      {"add_or_remove", [] { sc_mod_date::add_or_remove(dt_duty{{2026, 10, 7}, 3, {1, 1, 1}}); }, nullptr},
      {"get_person", [] { const PersonTerm* p; staff_db::get_person(L"x", &p); }, nullptr},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    rec().Clear();
    EXPECT_EQ(Error(r.op), 329u);
    EXPECT_EQ(rec().Texts(L"note"), r.note ? std::vector<std::wstring>{r.note} : std::vector<std::wstring>{});
  }
  // Clearing the date changes traps the closed store and still asks for a rebuild.
  rec().Clear();
  sc_phase1::boo_must_regenerate = false;
  EXPECT_EQ(Error([] { sc_mod_date::clear(); }), 0u);
  EXPECT_TRUE(sc_phase1::boo_must_regenerate);
  EXPECT_EQ(rec().Texts(L"note"), std::vector<std::wstring>{L"sc_mod_date not initialised"});
}

// --- typical week ---

TEST_F(Lists, TypicalWeek) {
  rz::document* d = New();
  Run([] {
    EXPECT_FALSE(typical_db::is_in_db(kWeekday, tls{1, 1, 1}));
    EXPECT_FALSE(typical_db::one_exists());
  });
  const tls a{1, 1, 1}, b{2, 1, 2}, c{1, 2, 1};
  // Repeated duties stored once, the first occurrence, the order kept.
  EXPECT_TRUE(Marks(d, [&] { typical_db::add_tls(kWeekday, TlsList({b, a, b, c, a})); }));
  EXPECT_TRUE(sc_phase1::boo_must_regenerate);
  Run([&] {
    EXPECT_EQ(Typical(kWeekday), (TlsV{b, a, c}));
    EXPECT_TRUE(typical_db::is_in_db(kWeekday, a));
    EXPECT_TRUE(typical_db::in_typ(kWeekday, c));
    EXPECT_FALSE(typical_db::is_in_db(kSunday, a));
    EXPECT_FALSE(typical_db::is_in_db(999, a));
    EXPECT_TRUE(typical_db::one_exists());
    EXPECT_EQ(typical_db::how_may_in_slot(kWeekday, 1), 2u);
    EXPECT_EQ(typical_db::how_may_in_slot(kWeekday, 3), 0u);
    EXPECT_EQ(typical_db::how_may_in_slot(kSunday, 1), 0u);
    // The second list replaces the first.
    typical_db::add_tls(kWeekday, TlsList({c}));
    EXPECT_EQ(Typical(kWeekday), (TlsV{c}));
    // Saturday, then Sunday, then weekdays, whatever the order of writing.
    typical_db::add_tls(kSunday, TlsList({b}));
    typical_db::add_tls(kSaturday, TlsList({a}));
    std::vector<uint32_t> kinds;
    typical_db::nd_tls([&](day_tls t) {
      kinds.push_back(t.day_kind);
      tav::K::Fail();
    });
    EXPECT_EQ(kinds, (std::vector<uint32_t>{kSaturday, kSunday, kWeekday}));
  });
  // An unknown day kind changes no chain but marks and asks for a rebuild.
  EXPECT_TRUE(Marks(d, [&] { typical_db::add_tls(1004, TlsList({a, b})); }));
  EXPECT_TRUE(sc_phase1::boo_must_regenerate);
  EXPECT_TRUE(Marks(d, [&] { typical_db::add_tls(kSunday, TlsList({})); }));
  Run([&] {
    EXPECT_EQ(Typical(kSunday), TlsV{});
    EXPECT_EQ(Typical(kSaturday), TlsV{a});
    EXPECT_EQ(Typical(kWeekday), TlsV{c});
  });
  // A list holding a number out of range is refused before anything is
  // written: the old list stays.
  EXPECT_EQ(Error([&] { typical_db::add_tls(kSaturday, TlsList({b, tls{11, 1, 1}})); }), 302u);
  Run([&] { EXPECT_EQ(Typical(kSaturday), TlsV{a}); });
}

TEST_F(Lists, DayNamesAndChains) {
  struct Row {
    const wchar_t* name;
    uint32_t kind;
    const wchar_t* chain;
  };
  const Row rows[] = {{L"Sunday", kSunday, L"sunday_chain"},
                      {L"Saturday", kSaturday, L"saturday_chain"},
                      {L"sunday", kWeekday, L"weekday_chain"},
                      {L"Monday", kWeekday, L"weekday_chain"},
                      {L"", kWeekday, L"weekday_chain"}};
  for (const Row& r : rows) {
    const wchar_t* chain = nullptr;
    EXPECT_EQ(typical_db::dayname_chain(r.name, &chain), r.kind);
    EXPECT_STREQ(chain, r.chain);
  }
  std::vector<uint32_t> order;
  typical_db::nd_idc_lbox_chain([&](std::pair<uint32_t, const wchar_t*> row) {
    order.push_back(row.first);
    tav::K::Fail();
  });
  EXPECT_EQ(order, (std::vector<uint32_t>{kSaturday, kSunday, kWeekday}));
  const wchar_t* chain;
  EXPECT_FALSE(typical_db::idc_lbox_chain(1000, &chain));
}

TEST_F(Lists, FullListAndNameRows) {
  New();
  Run([] {
    EXPECT_EQ(typical_db::full_list()->Empty(), true);  // no tasks, no locations
    tasks::add_task(L"A");
    tasks::add_task(L"B \"quoted\" 100%");
    locations::add_loc(L"L");
    kalmora_DB::put_list_slots(rz::MakeList<const wchar_t*>({L"S1", L"S2"}));
    std::vector<tls> all;
    for (const tls_list* l = typical_db::full_list(); !l->Empty(); l = l->tail) all.push_back(l->head);
    EXPECT_EQ(all, (TlsV{{1, 1, 1}, {2, 1, 1}, {1, 1, 2}, {2, 1, 2}}));
    // Each text row reads back to its duty through the runtime's reading.
    uint32_t i = 0;
    typical_db::nd_full_list([&](const wchar_t* text) {
      auto* row = reinterpret_cast<const tav::StringList*>(T::FromString(tav::D(tav::domains::string_list), text));
      EXPECT_EQ(typical_db::slist_tls(rz::AsSList(row)), all[i]) << Narrow(text);
      ++i;
      tav::K::Fail();
    });
    EXPECT_EQ(i, 4u);
    EXPECT_EQ(Names(typical_db::tls_slist(tls{2, 1, 2})),
              (std::vector<std::wstring>{L"B \"quoted\" 100%", L"L", L"S2"}));
  });
  rec().Clear();
  Run([] {
    EXPECT_EQ(typical_db::slist_tls(rz::MakeList<const wchar_t*>({L"A", L"L"})), (tls{1, 1, 1}));
    EXPECT_EQ(typical_db::slist_tls(rz::MakeList<const wchar_t*>({L"A", L"L", L"S2", L"x"})), (tls{1, 1, 1}));
    EXPECT_EQ(typical_db::slist_tls(rz::MakeList<const wchar_t*>({L"Z", L"L", L"S2"})), (tls{10, 1, 2}));
  });
  EXPECT_EQ(rec().Texts(L"note"), std::vector<std::wstring>{L"Error 57 in tasks"});
}

// --- date changes ---

TEST_F(Lists, DateChangesToggle) {
  rz::document* d = New();
  const tls typical{1, 1, 1}, other{2, 1, 1};
  const dt wed{2026, 10, 7};
  Run([&] { typical_db::add_tls(kWeekday, TlsList({typical})); });
  auto entries = [] {
    std::vector<std::pair<dt, tls>> v;
    sc_mod_date::nd_dt_duties([&](dt_duty_ref e) {
      v.push_back({e.entry.date, e.entry.duty});
      tav::K::Fail();
    });
    return v;
  };
  Run([&] {
    EXPECT_FALSE(sc_mod_date::one_exists());
    duty_state s = sc_mod_date::duty_is_done(dt_duty{wed, 3, typical});
    EXPECT_TRUE(s.done);
    EXPECT_FALSE(s.changed);
    s = sc_mod_date::duty_is_done(dt_duty{wed, 3, other});
    EXPECT_FALSE(s.done);
    EXPECT_FALSE(s.changed);
  });
  // Each toggle marks and asks for a rebuild, whether it adds or removes.
  for (int round = 0; round < 2; ++round) {
    EXPECT_TRUE(Marks(d, [&] { sc_mod_date::add_or_remove(dt_duty{wed, 3, typical}); }));
    EXPECT_TRUE(sc_phase1::boo_must_regenerate);
  }
  Run([&] {
    EXPECT_TRUE(entries().empty());
    sc_mod_date::add_or_remove(dt_duty{wed, 3, typical});
    sc_mod_date::add_or_remove(dt_duty{wed, 3, other});
    duty_state s = sc_mod_date::duty_is_done(dt_duty{wed, 3, typical});
    EXPECT_FALSE(s.done);  // removed on that date
    EXPECT_TRUE(s.changed);
    s = sc_mod_date::duty_is_done(dt_duty{wed, 3, other});
    EXPECT_TRUE(s.done);  // added on that date
    EXPECT_TRUE(s.changed);
    s = sc_mod_date::duty_is_done(dt_duty{wed, 9, other});
    EXPECT_FALSE(s.done);  // a day number that names no day
    EXPECT_FALSE(s.changed);
    // Another day number is the same change: the toggle removes it, and a
    // change added again comes last.
    sc_mod_date::add_or_remove(dt_duty{wed, 5, typical});
    EXPECT_EQ(entries(), (std::vector<std::pair<dt, tls>>{{wed, other}}));
    sc_mod_date::add_or_remove(dt_duty{wed, 3, typical});
    EXPECT_EQ(entries(), (std::vector<std::pair<dt, tls>>{{wed, other}, {wed, typical}}));
    rz::ListBuilder<dt_duty> both;
    both.Add(dt_duty{dt{2026, 10, 8}, 4, other});
    both.Add(dt_duty{wed, 3, other});
    sc_mod_date::add_or_removes(both.Finish());
    EXPECT_EQ(entries(), (std::vector<std::pair<dt, tls>>{{wed, typical}, {dt{2026, 10, 8}, other}}));
  });
  EXPECT_TRUE(Marks(d, [] { sc_mod_date::clear(); }));
  EXPECT_TRUE(sc_phase1::boo_must_regenerate);
  Run([&] {
    EXPECT_TRUE(entries().empty());
    sc_mod_date::clear();  // nothing to clear: no error
  });
  EXPECT_TRUE(rec().Texts(L"note").empty());
}

// --- practices and groups ---

TEST_F(Lists, GroupRowEdits) {
  rz::document* d = New();
  Run([] {
    for (const wchar_t* n : {L"G1", L"G2", L"G3", L"G4", L"G5"}) groups::add_group(n);
  });
  const std::vector<std::wstring> five{L"G1", L"G2", L"G3", L"G4", L"G5"};
  struct Row {
    const char* what;
    std::function<void()> op;
    std::vector<std::wstring> after;
    bool marks;
  };
  const Row rows[] = {
      {"rename to another row's name", [] { groups::add_group(2, L"G5"); }, five, false},
      {"rename to its own name", [] { groups::add_group(2, L"G2"); }, five, false},
      {"append a present name", [] { groups::add_group(L"G3"); }, five, false},
      {"empty new row", [] { groups::add_group(6, L""); }, five, true},
      {"unknown colour target", [] { groups::set_color(L"G9", 0x10203); }, five, true},
      {"delete unknown", [] { groups::del_group(L"G9"); }, five, true},
      {"rename", [] { groups::add_group(2, L"Innere"); }, {L"G1", L"Innere", L"G3", L"G4", L"G5"}, true},
      {"delete by row", [] { groups::add_group(1, L" "); }, {L"Innere", L"G3", L"G4", L"G5"}, true},
      {"new row", [] { groups::add_group(9, L"G6"); }, {L"Innere", L"G3", L"G4", L"G5", L"G6"}, true},
      {"delete by name", [] { groups::del_group(L"G4"); }, {L"Innere", L"G3", L"G5", L"G6"}, true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    EXPECT_EQ(Marks(d, r.op), r.marks);
    Run([&] { EXPECT_EQ(Names(groups::list_groups()), r.after); });
  }
  Run([] {
    groups::set_color(L"G3", 0x123456);
    std::vector<rz::brush> brushes;
    groups::nd_groups([&](const rz::str_br* g) {
      brushes.push_back(*g->brush_);
      tav::K::Fail();
    });
    ASSERT_EQ(brushes.size(), 4u);
    EXPECT_EQ(brushes[1].style, 2);
    EXPECT_EQ(brushes[1].colour, 0x123456);
    for (const rz::brush& b : brushes) EXPECT_TRUE(ColourOk(b.colour));
  });
  const SList* twice = rz::MakeList<const wchar_t*>({L"a", L"b", L"a"});
  EXPECT_EQ(Names(groups::remove(L"a", twice)), (std::vector<std::wstring>{L"b", L"a"}));
  EXPECT_EQ(Names(groups::remove(L"c", twice)), (std::vector<std::wstring>{L"a", L"b", L"a"}));
  EXPECT_TRUE(groups::member(L"b", twice));
  EXPECT_FALSE(groups::member(L"B", twice));
  EXPECT_FALSE(groups::member(L"a ", twice));
  EXPECT_TRUE(Marks(d, [] { groups::clear(); }));
  Run([] { EXPECT_TRUE(groups::list_groups()->Empty()); });
}

// --- doctors ---

const PersonTerm* Person(const wchar_t* name) {
  const PersonTerm* p = nullptr;
  return staff_db::get_person(name, &p) ? p : nullptr;
}

TEST_F(Lists, EveryDoctorOfTheSmallRosterIsFoundByItsExactName) {
  New();
  const RosterSpec spec = SmallSpec();
  Run([&] { WriteSpec(spec); });
  std::vector<std::wstring> all;
  for (const DoctorSpec& doc : spec.doctors) all.push_back(doc.name);
  Run([&] {
    EXPECT_EQ(Names(staff_db::list_staff()), all);
    EXPECT_EQ(staff_db::number_of_staff(), all.size());
    for (const DoctorSpec& doc : spec.doctors) {
      const PersonTerm* p = Person(doc.name.c_str());
      ASSERT_NE(p, nullptr) << Narrow(doc.name);
      EXPECT_EQ(std::wstring(p->dat->name), doc.name);
      EXPECT_EQ(std::wstring(staff_db::ref_name(p->ref)), doc.name);
      EXPECT_EQ(Names(rz::AsSList(p->dat->groups)), doc.groups);
      // Names near this one find no doctor.
      for (const std::wstring& variant : {doc.name.substr(0, 12), doc.name + L" ", doc.name.substr(0, doc.name.size() - 1),
                                       L"\u00AD" + doc.name, doc.name.substr(0, 3) + L"\u00AD" + doc.name.substr(3)})
        if (std::find(all.begin(), all.end(), variant) == all.end()) {
          EXPECT_EQ(Person(variant.c_str()), nullptr) << Narrow(variant);
        }
    }
  });
}

TEST_F(Lists, AddingDoctors) {
  rz::document* d = New();
  rec().Clear();
  // Names apart only after the 12th, the 255th character, or by a
  // character without sort weight: all added, each found as itself.
  const std::wstring longA = std::wstring(900, L'x') + L"A", longB = std::wstring(900, L'x') + L"B";
  const std::wstring names[] = {L"Dr. Muster-Lang", L"Dr. Muster-Langenfeld", L"ab", L"a\u00ADb", longA, longB,
                                L"100% \"Doc\"", L"\U0001D4D0lma"};
  ASSERT_EQ(lstrcmpW(L"ab", L"a\u00ADb"), 0);  // one key for the tree
  for (const std::wstring& n : names) EXPECT_TRUE(Marks(d, [&] { staff_db::add_name(n.c_str()); }));
  EXPECT_TRUE(rec().Texts(L"note").empty());
  Run([&] {
    for (const std::wstring& n : names) {
      const PersonTerm* p = Person(n.c_str());
      ASSERT_NE(p, nullptr);
      EXPECT_EQ(std::wstring(p->dat->name), n);
      EXPECT_EQ(p->dat->letter, n[0]);
      EXPECT_TRUE(rz::AsSList(p->dat->groups)->Empty());
      EXPECT_TRUE(ColourOk(p->dat->colour));
      EXPECT_EQ(p->dat->deleted->functor, kExists);
      EXPECT_EQ(staff_db::get_personref(p->ref)->ref, p->ref);  // the pointer is its own reference
    }
  });
  // An equal name, an empty name: notes; the empty one marks the document.
  EXPECT_FALSE(Marks(d, [] { staff_db::add_name(L"ab"); }));
  EXPECT_TRUE(Marks(d, [] { staff_db::add_name(L""); }));
  EXPECT_EQ(rec().Texts(L"note"), (std::vector<std::wstring>{L"Person already exists", L"failed to add doctor"}));
  Run([&] { EXPECT_EQ(staff_db::number_of_staff(), std::size(names)); });
  // By letter: the first added; each indexed doctor once at random.
  Run([&] {
    const PersonTerm* p;
    ASSERT_TRUE(staff_db::get_person_char(L'D', &p));
    EXPECT_STREQ(p->dat->name, L"Dr. Muster-Lang");
    EXPECT_FALSE(staff_db::get_person_char(L'Q', &p));
    std::multiset<std::wstring> drawn;
    staff_db::nd_random_person([&](const PersonTerm* q) {
      drawn.insert(q->dat->name);
      tav::K::Fail();
    });
    EXPECT_EQ(drawn, std::multiset<std::wstring>(std::begin(names), std::end(names)));
  });
}

// Records written directly: equal names, names sharing 12 characters, a
// deleted record.  The document opens; equal names are both indexed and
// the first in chain order is found; the deleted one is enumerated only.
TEST_F(Lists, DoctorsWrittenByAnotherProgram) {
  rz::document* d = New();
  struct Raw {
    const wchar_t* name;
    uint64_t mark;
  };
  const Raw raw[] = {{L"Dr. Gleich", kExists}, {L"Dr. Zwoelf-Zeichen A", kExists}, {L"Dr. Gleich", kExists},
                     {L"Dr. Zwoelf-Zeichen B", kExists}, {L"Dr. Geloescht", kDeleted}};
  std::vector<chain_ref> refs;
  Run([&] {
    tav::chainDB* db = kalmora_DB::db();
    staff_db::stored_changed();
    for (const Raw& r : raw) {
      int32_t ref;
      db->chain_insertz(tav::D(all::domains::person_dat), L"people",
                        reinterpret_cast<T::term>(MakePerson(0, r.name, rz::Nil<const wchar_t*>(), 0, r.name[0], r.mark)->dat),
                        &ref);
      db->term_replace(tav::D(all::domains::person), ref,
                       reinterpret_cast<T::term>(MakePerson(ref, r.name, rz::Nil<const wchar_t*>(), 0, r.name[0], r.mark)));
      refs.push_back(ref);
    }
    kalmora_DB::uninit();
    kalmora_DB::init(d);
  });
  Run([&] {
    EXPECT_EQ(Person(L"Dr. Gleich")->ref, refs[0]);
    EXPECT_EQ(Person(L"Dr. Zwoelf-Zeichen A")->ref, refs[1]);
    EXPECT_EQ(Person(L"Dr. Zwoelf-Zeichen B")->ref, refs[3]);
    EXPECT_EQ(Person(L"Dr. Geloescht"), nullptr);
    EXPECT_EQ(staff_db::number_of_staff(), 5u);
    uint32_t drawn = 0;
    staff_db::nd_random_person([&](const PersonTerm*) {
      ++drawn;
      tav::K::Fail();
    });
    EXPECT_EQ(drawn, 4u);
    const PersonTerm* p;
    EXPECT_FALSE(staff_db::get_person_char(L'D', &p) && p->ref == refs[4]);
    // Deleting one of the equal names leaves the other.
    EXPECT_TRUE(staff_db::del_person(L"Dr. Gleich"));
    EXPECT_EQ(Person(L"Dr. Gleich")->ref, refs[2]);
  });
}

TEST_F(Lists, DeletingDoctorsTakesTheirDutiesAlong) {
  rz::document* d = New();
  const wchar_t* keys[] = {L"[101,11,11,1,1]", L"[101,11,12,1,1]", L"[102,11,11,1,1]"};
  chain_ref anna = 0, ben = 0;
  Run([&] {
    staff_db::add_name(L"Anna");
    staff_db::add_name(L"Ben");
    anna = Person(L"Anna")->ref;
    ben = Person(L"Ben")->ref;
    sc_assign::tree()->kee_insert(keys[0], anna);
    sc_assign::tree()->kee_insert(keys[1], anna);
    sc_assign::tree()->kee_insert(keys[2], ben);
    lock_ass::tree()->kee_insert(keys[0], anna);
    lock_ass::tree()->kee_insert(keys[2], ben);
  });
  EXPECT_TRUE(Marks(d, [] { EXPECT_TRUE(staff_db::del_person(L"Anna")); }));
  EXPECT_FALSE(Marks(d, [] { EXPECT_FALSE(staff_db::del_person(L"Anna")); }));
  Run([&] {
    EXPECT_EQ(Person(L"Anna"), nullptr);
    EXPECT_EQ(Names(staff_db::list_staff()), std::vector<std::wstring>{L"Ben"});
    // The newcomer may get Anna's reference back: it inherits nothing.
    staff_db::add_name(L"Clara");
    const chain_ref clara = Person(L"Clara")->ref;
    chain_ref who;
    for (const wchar_t* k : keys) {
      const bool assigned = sc_assign::is_assigned(k, &who);
      EXPECT_EQ(assigned, k == keys[2]) << Narrow(k);
      if (assigned) {
        EXPECT_EQ(who, ben);
      }
      if (lock_ass::tree()->kee_search(k, &who)) {
        EXPECT_NE(who, clara) << Narrow(k);
      }
    }
    EXPECT_FALSE(lock_ass::tree()->kee_search(keys[0], &who));
    EXPECT_TRUE(lock_ass::tree()->kee_search(keys[2], &who));
  });
  // Clearing takes every doctor's duties and locks.
  EXPECT_TRUE(Marks(d, [] { staff_db::clear(); }));
  Run([&] {
    EXPECT_EQ(staff_db::number_of_staff(), 0u);
    EXPECT_EQ(Person(L"Ben"), nullptr);
    chain_ref who;
    EXPECT_FALSE(sc_assign::is_assigned(keys[2], &who));
    EXPECT_FALSE(lock_ass::tree()->kee_search(keys[2], &who));
    staff_db::add_name(L"Dora");
    EXPECT_FALSE(sc_assign::is_assigned(keys[2], &who));
  });
}

TEST_F(Lists, RewritingDoctors) {
  rz::document* d = New();
  Run([] {
    groups::add_group(L"Innere");
    groups::add_group(L"Chirurgie");
    staff_db::add_name(L"Anna");
    staff_db::add_name(L"Ben");
    const PersonTerm* p = Person(L"Anna");
    staff_db::replace_person(MakePerson(p->ref, p->dat->name,
                                        rz::MakeList<const wchar_t*>({L"Chirurgie", L"Gone", L"Innere", L"Chirurgie"}),
                                        p->dat->colour, p->dat->letter));
    EXPECT_EQ(Names(rz::AsSList(Person(L"Anna")->dat->groups)),
              (std::vector<std::wstring>{L"Chirurgie", L"Innere", L"Chirurgie"}));
    // A deleted group leaves the doctor at once; the repair keeps the rest.
    groups::del_group(L"Chirurgie");
    EXPECT_EQ(Names(rz::AsSList(Person(L"Anna")->dat->groups)), std::vector<std::wstring>{L"Innere"});
    staff_db::repair_after_group_change();
    EXPECT_EQ(Names(rz::AsSList(Person(L"Anna")->dat->groups)), std::vector<std::wstring>{L"Innere"});
    // A new name is indexed, the old one forgotten.
    p = Person(L"Ben");
    staff_db::replace_person(MakePerson(p->ref, L"Benedikt", rz::Nil<const wchar_t*>(), 7, L'B'));
    EXPECT_EQ(Person(L"Ben"), nullptr);
    ASSERT_NE(Person(L"Benedikt"), nullptr);
    EXPECT_EQ(Person(L"Benedikt")->ref, p->ref);
    EXPECT_EQ(Person(L"Benedikt")->dat->colour, 7);
    // init again keeps the store's database and index.
    rz::bt* index = staff_db::xbt;
    staff_db::init(nullptr);
    EXPECT_EQ(staff_db::xbt, index);
  });
  std::vector<int32_t> before;
  Run([&] {
    staff_db::nd_person([&](const PersonTerm* p) {
      before.push_back(p->dat->colour);
      tav::K::Fail();
    });
  });
  EXPECT_TRUE(Marks(d, [] { staff_db::randomize_colors(); }));
  Run([&] {
    std::vector<int32_t> after;
    staff_db::nd_person([&](const PersonTerm* p) {
      EXPECT_TRUE(ColourOk(p->dat->colour));
      EXPECT_EQ(staff_db::get_personref(p->ref)->ref, p->ref);
      after.push_back(p->dat->colour);
      tav::K::Fail();
    });
    EXPECT_NE(after, before);
    EXPECT_EQ(Names(rz::AsSList(Person(L"Anna")->dat->groups)), std::vector<std::wstring>{L"Innere"});
  });
}

// --- display filter ---

TEST_F(Lists, DisplayFilterPaths) {
  New();
  Run([] {
    tasks::add_task(L"Station");
    tasks::add_task(L"Visite");
    locations::add_loc(L"Haus A");
    locations::add_loc(L"Haus B");
    staff_db::add_name(L"Anna");
  });
  struct Row {
    std::vector<const wchar_t*> path;
    include_kind kind;
    uint32_t number;
    const wchar_t* name;
  };
  const Row rows[] = {
      {{}, include_kind::all, 0, nullptr},
      {{L"Tasks"}, include_kind::all, 0, nullptr},
      {{L"Tasks", L"Visite", L"more"}, include_kind::task, 2, nullptr},
      {{L"Tasks", L"Unbekannt"}, include_kind::task, 10, nullptr},
      {{L"Locations", L"Haus B"}, include_kind::where, 2, nullptr},
      {{L"Doctors", L"Anna"}, include_kind::person, 0, L"Anna"},
      {{L"Doctor ties", L"Anna"}, include_kind::person, 0, L"Anna"},
      {{L"Doctors", L"Nobody"}, include_kind::all, 0, nullptr},
      {{L"Practices and groups", L"Innere"}, include_kind::group, 0, L"Innere"},
      {{L"Practice and group ties", L"Any 100%"}, include_kind::group, 0, L"Any 100%"},
      {{L"Holidays", L"x"}, include_kind::all, 0, nullptr},
  };
  rec().Clear();
  for (const Row& r : rows) {
    SCOPED_TRACE(r.path.empty() ? std::string("empty") : Narrow(r.path[0]));
    rz::ListBuilder<const wchar_t*> path;
    for (const wchar_t* p : r.path) path.Add(p);
    Run([&] { sc_include::set_include_str(path.Finish()); });
    const include_dom& f = sc_include::sdb_include;
    EXPECT_EQ(f.kind, r.kind);
    if (r.number) {
      EXPECT_EQ(f.number, r.number);
    }
    if (r.name) {
      EXPECT_STREQ(f.name, r.name);
    }
  }
  EXPECT_EQ(rec().Texts(L"note"), std::vector<std::wstring>{L"Error 57 in tasks"});
  // The checks of each kind.
  const SList* inner = rz::MakeList<const wchar_t*>({L"Chirurgie", L"Innere"});
  const SList* other = rz::MakeList<const wchar_t*>({L"Chirurgie"});
  const wchar_t* shown;
  Run([&] {
    sc_include::set_include_str(rz::MakeList<const wchar_t*>({L"Practices and groups", L"Innere"}));
    EXPECT_TRUE(sc_include::allow_person(L"Anna"));
    EXPECT_TRUE(sc_include::allow_group(inner));
    EXPECT_FALSE(sc_include::allow_group(other));
    EXPECT_TRUE(sc_include::allow_task(1));
    EXPECT_TRUE(sc_include::group_showing(&shown));
    EXPECT_STREQ(shown, L"Innere");
    EXPECT_FALSE(sc_include::person_showing(&shown));
    sc_include::set_include_str(rz::MakeList<const wchar_t*>({L"Locations", L"Haus B"}));
    EXPECT_FALSE(sc_include::allow_where(3));
    EXPECT_TRUE(sc_include::allow_where(2));
    EXPECT_TRUE(sc_include::allow_task(7));
    EXPECT_TRUE(sc_include::allow_group(other));
    sc_include::set_include_str(rz::MakeList<const wchar_t*>({L"Doctors", L"Anna"}));
    EXPECT_TRUE(sc_include::allow_person(L"Anna"));
    EXPECT_FALSE(sc_include::allow_person(L"anna"));
    EXPECT_TRUE(sc_include::allow_where(3));
    EXPECT_TRUE(sc_include::person_showing(&shown));
    sc_include::set_include_str(rz::Nil<const wchar_t*>());
    EXPECT_TRUE(sc_include::allow_task(3) && sc_include::allow_where(3) && sc_include::allow_person(L"x") &&
                sc_include::allow_group(other));
    EXPECT_FALSE(sc_include::person_showing(&shown) || sc_include::group_showing(&shown));
  });
  // The filter is the process's: closing the document keeps it.
  Run([] { sc_include::set_include_str(rz::MakeList<const wchar_t*>({L"Practices and groups", L"X"})); });
  kalmora_DB::uninit();
  EXPECT_EQ(sc_include::sdb_include.kind, include_kind::group);
}

}  // namespace
