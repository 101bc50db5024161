// The loadings in process on real document files: normalised fractions,
// the computed total share over a roster of 30 weekday and 10 weekend
// duties, its rounding and ranges, the per-document cache of the weekend
// counts, auto_load, repair, the clipboard copy and the store closed; the
// excess-duty enumeration over a consistent roster.
#include <windows.h>

#include <cmath>
#include <string>
#include <vector>

#include "kalmoradb/load_db.h"
#include "kalmoradb/sc_adjust.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/sc_stat_weekend.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/typical_db.h"
#include "phase1/sc_phase1.h"
#include "roster_fixture.h"
#include "roster_test.h"

using namespace alltest;

namespace {

const WhatStatTerm* Weekday() { return MakeWhatStat(stat_kind::weekend, 0); }
const WhatStatTerm* Weekend() { return MakeWhatStat(stat_kind::weekend, 1); }
const WhatStatTerm* Total() { return MakeWhatStat(stat_kind::total); }

// Five weeks of one slot: a duty on each weekday and on Saturday, two on
// Sunday; with Sunday as the only weekend slot, 30 weekday and 10 weekend
// duties.
RosterSpec Counted(std::vector<std::wstring> doctors) {
  RosterSpec s;
  s.start = dt{2027, 3, 1};
  s.weeks = 5;
  s.slots = {L"Tag"};
  s.tasks = {L"Station", L"Ambulanz"};
  s.locations = {L"Haus A"};
  for (const std::wstring& d : doctors) s.doctors.push_back({d, {}});
  s.typical = {{kWeekday, {L"Station", L"Haus A", L"Tag"}},
               {kSaturday, {L"Station", L"Haus A", L"Tag"}},
               {kSunday, {L"Station", L"Haus A", L"Tag"}},
               {kSunday, {L"Ambulanz", L"Haus A", L"Tag"}}};
  s.weekend = {{1, 7}};
  return s;
}

class Loadings : public Roster {
 protected:
  rz::document* Open(const RosterSpec& spec, const wchar_t* name = L"r.km6") {
    rz::document* d = New(name);
    Run([&] {
      WriteSpec(spec);
      sc_phase1::generate();
      for (const DoctorSpec& doc : spec.doctors)
        for (const WhatStatTerm* k : {Weekday(), Weekend()}) load_db::get_load(k, doc.name.c_str());
    });
    rec().Clear();
    return d;
  }
  chain_ref Ref(const wchar_t* name) {
    const PersonTerm* p = nullptr;
    Run([&] { EXPECT_TRUE(staff_db::get_person(name, &p)); });
    return p ? p->ref : 0;
  }
  void Put(const WhatStatTerm* kind, const wchar_t* name, uint32_t parts) {
    const chain_ref r = Ref(name);
    Run([&] { load_db::put_load(kind, r, parts); });
  }
  load_value Get(const WhatStatTerm* kind, const wchar_t* name) {
    load_value v{};
    Run([&] { v = load_db::get_load(kind, name); });
    return v;
  }
  template <class F>
  bool Marks(rz::document* d, F body) {
    d->set_as_modified(false);
    Run(body);
    return d->is_modified();
  }
  // Every stored loading: name, kind functor and parts.
  std::vector<std::wstring> Stored() {
    std::vector<std::wstring> out;
    Run([&] {
      kalmora_DB::db()->chain_terms(tav::D(all::domains::loading), L"loading_chain", [&](tav::RefTerm rt) {
        auto* l = reinterpret_cast<const LoadingTerm*>(rt.t);
        out.push_back(std::wstring(l->name) + L"/" + std::to_wstring(l->kind->a) + L"/" + std::to_wstring(l->parts));
        tav::K::Fail();
      });
    });
    return out;
  }
};

TEST_F(Loadings, PartsBecomeFractionsOfTheirKindsSum) {
  rz::document* d = Open(Counted({L"A", L"B"}));
  struct Row {
    const wchar_t* who;
    uint32_t parts;
    double a, b;
  };
  const Row rows[] = {{L"A", 3, 1.0, 0.0}, {L"B", 1, 0.75, 0.25}, {L"A", 0, 0.0, 1.0}, {L"B", 0, 0.0, 1.0}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.parts);
    EXPECT_TRUE(Marks(d, [&] { load_db::put_load(Weekday(), Ref(r.who), r.parts); }));
    EXPECT_DOUBLE_EQ(Get(Weekday(), L"A").fraction, r.a);
    EXPECT_DOUBLE_EQ(Get(Weekday(), L"B").fraction, r.b);
  }
  // The other kind is untouched; a doctor without a share of a kind gets none.
  EXPECT_EQ(Get(Weekend(), L"A").parts, 0u);
  Run([] {
    kalmora_DB::db()->chain_delete(L"loading_chain");
    load_db::stored_changed();
  });
  EXPECT_FALSE(Marks(d, [&] { load_db::put_load(Weekday(), Ref(L"A"), 4); }));
  EXPECT_TRUE(Stored().empty());
}

TEST_F(Loadings, TheTotalShareWeighsTheWeekendSharesByTheirDutyCounts) {
  Open(Counted({L"A", L"B", L"C"}));
  uint32_t w0 = 0, w1 = 0;
  Run([&] { load_db::weekend_totals(&w0, &w1); });
  EXPECT_EQ(w0, 30u);
  EXPECT_EQ(w1, 10u);
  // Weekday parts 1, 1, 0 (0.5, 0.5, 0); weekend parts 1, 4, 5 (0.1, 0.4, 0.5).
  Put(Weekday(), L"A", 1);
  Put(Weekday(), L"B", 1);
  Put(Weekend(), L"A", 1);
  Put(Weekend(), L"B", 4);
  Put(Weekend(), L"C", 5);
  struct Row {
    const wchar_t* who;
    double fraction;
    uint32_t parts;
  };
  // 0.125 and 0.475 are halves of a part: they round up.
  const Row rows[] = {{L"A", 0.4, 40}, {L"C", 0.125, 13}, {L"B", 0.475, 48}};
  for (const Row& r : rows) {
    SCOPED_TRACE(Narrow(r.who));
    const load_value v = Get(Total(), r.who);
    EXPECT_NEAR(v.fraction, r.fraction, 1e-12);
    EXPECT_EQ(v.parts, r.parts);
  }
  // nd_load: the stored shares, then one total per doctor.
  std::vector<std::wstring> totals;
  size_t stored = 0;
  Run([&] {
    load_db::nd_load([&](const LoadingTerm* l) {
      if (l->kind->Kind() == stat_kind::total) totals.push_back(std::wstring(l->name) + L"=" + std::to_wstring(l->parts));
      else ++stored;
      tav::K::Fail();
    });
  });
  EXPECT_EQ(stored, 6u);
  EXPECT_EQ(totals, (std::vector<std::wstring>{L"A=40", L"B=48", L"C=13"}));
  Run([] { EXPECT_EQ(load_db::get_load_total(Weekend()), 10u); });
}

TEST_F(Loadings, NoWeekendDutiesGiveAZeroTotal) {
  RosterSpec s = Counted({L"A"});
  s.typical.clear();
  Open(s);
  Put(Weekday(), L"A", 1);
  const load_value v = Get(Total(), L"A");
  EXPECT_EQ(v.fraction, 0.0);
  EXPECT_EQ(v.parts, 0u);
}

TEST_F(Loadings, TheWeekendCountsBelongToTheOpenDocument) {
  auto total = [&] { return Get(Total(), L"A").parts; };
  auto prepare = [&] {
    Put(Weekday(), L"A", 1);
    Put(Weekday(), L"B", 1);
    Put(Weekend(), L"A", 1);
    Put(Weekend(), L"B", 9);
  };
  Open(Counted({L"A", L"B"}), L"a.km6");
  prepare();
  EXPECT_EQ(total(), 40u);  // (30 × 0.5 + 10 × 0.1) / 40
  kalmora_DB::uninit();
  RosterSpec b = Counted({L"A", L"B"});
  b.weekend = {{1, 6}, {1, 7}};  // Saturday too: 25 and 15
  Open(b, L"b.km6");
  prepare();
  EXPECT_EQ(total(), 35u);  // (25 × 0.5 + 15 × 0.1) / 40
  Run([] { sc_stat_weekend::del_sd({1, 6}); });
  EXPECT_EQ(total(), 40u);
  Run([] { sc_stat_weekend::add_sd({1, 3}); });  // Wednesday: 25 and 15
  EXPECT_EQ(total(), 35u);
  // A rebuild of the index with fewer duties: Sundays lose one.
  Run([] {
    typical_db::add_tls(kSunday, rz::MakeList<tls>({DutyOf({L"Station", L"Haus A", L"Tag"})}));
    sc_phase1::generate();
  });
  EXPECT_EQ(total(), 39u);  // 25 weekday, 10 weekend: (12.5 + 1) / 35 = 0.3857
}

TEST_F(Loadings, TheHeldSharesFollowEveryWriteAndTheOpenDocument) {
  Open(Counted({L"A", L"B"}), L"a.km6");
  Put(Weekday(), L"A", 3);
  EXPECT_EQ(Get(Weekday(), L"A").parts, 3u);
  kalmora_DB::uninit();
  Open(Counted({L"A", L"B"}), L"b.km6");
  EXPECT_EQ(Get(Weekday(), L"A").parts, 0u);
  Put(Weekday(), L"B", 2);
  EXPECT_DOUBLE_EQ(Get(Weekday(), L"B").fraction, 1.0);
  // Cleared: a share read again is stored once and then found.
  Run([] { load_db::clear_load(); });
  EXPECT_TRUE(Stored().empty());
  EXPECT_EQ(Get(Weekday(), L"B").parts, 0u);
  EXPECT_EQ(Get(Weekday(), L"B").parts, 0u);
  EXPECT_EQ(Stored().size(), 1u);
  // Written past the store and told: found, no zero share added.
  Run([] { PutShare(1, Weekday(), L"C", 0.5); });
  EXPECT_DOUBLE_EQ(Get(Weekday(), L"C").fraction, 0.5);
  EXPECT_EQ(Stored().size(), 2u);
}

TEST_F(Loadings, RecountingWritesOnlyTheFractionsThatChange) {
  Open(Counted({L"A", L"B"}));
  Put(Weekday(), L"A", 1);
  Put(Weekday(), L"B", 3);
  const uint64_t before = tav::chainDB::writes();
  Run([] { load_db::repair(); });
  EXPECT_EQ(tav::chainDB::writes(), before);
  Put(Weekday(), L"B", 1);
  EXPECT_DOUBLE_EQ(Get(Weekday(), L"A").fraction, 0.5);
  EXPECT_DOUBLE_EQ(Get(Weekday(), L"B").fraction, 0.5);
}

TEST_F(Loadings, AutoLoadGivesEveryDoctorTenPartsOnlyWhenAllAreZero) {
  RosterSpec s = SmallSpec();
  s.loads.clear();
  rz::document* d = Open(s);
  Run([] { EXPECT_TRUE(load_db::all_loadings_are_zero()); });
  EXPECT_TRUE(Marks(d, [] { load_db::auto_load(10); }));
  for (const DoctorSpec& doc : s.doctors)
    for (const WhatStatTerm* k : {Weekday(), Weekend()}) {
      const load_value v = Get(k, doc.name.c_str());
      EXPECT_EQ(v.parts, 10u);
      EXPECT_DOUBLE_EQ(v.fraction, 0.1);
    }
  Put(Weekday(), s.doctors[0].name.c_str(), 20);
  EXPECT_FALSE(Marks(d, [] { load_db::auto_load(5); }));
  EXPECT_EQ(Get(Weekday(), s.doctors[1].name.c_str()).parts, 10u);
}

TEST_F(Loadings, ReadingAShareStoresAZeroShareWithoutMarking) {
  rz::document* d = Open(Counted({L"A"}));
  EXPECT_FALSE(Marks(d, [] {
    const load_value v = load_db::get_load(MakeWhatStat(stat_kind::day, 3), L"A");
    EXPECT_EQ(v.parts, 0u);
    EXPECT_EQ(v.fraction, 0.0);
  }));
  EXPECT_EQ(Stored().size(), 3u);
  Run([] { EXPECT_TRUE(load_db::all_loadings_are_zero()); });
  EXPECT_FALSE(Marks(d, [] { load_db::get_load(MakeWhatStat(stat_kind::day, 3), L"A"); }));
  EXPECT_EQ(Stored().size(), 3u);  // found the second time
  Run([] {
    const load_value v = load_db::get_load_task();
    EXPECT_EQ(v.fraction, 2.0);
    EXPECT_EQ(v.parts, 1u);
  });
}

TEST_F(Loadings, RepairDropsSharesOfGoneNamesAndTellsTheUser) {
  RosterSpec s = SmallSpec();
  s.loads.clear();
  rz::document* d = Open(s);
  Put(Weekday(), L"Dr. Muster-Lang", 1);
  Put(Weekday(), L"Dr. Muster-Langenfeld", 3);
  Run([] { load_db::repair(); });
  EXPECT_TRUE(rec().Texts(L"note").empty());
  // A deleted doctor whose name shares 12 characters with a live one.
  Run([] { EXPECT_TRUE(staff_db::del_person(L"Dr. Muster-Lang")); });
  Run([] { load_db::repair(); });
  EXPECT_EQ(rec().Texts(L"note"),
            std::vector<std::wstring>{L"You need to check the loadings table because of a name change or deletion"});
  for (const std::wstring& l : Stored()) EXPECT_NE(l.rfind(L"Dr. Muster-Lang/", 0), 0u) << Narrow(l);
  EXPECT_DOUBLE_EQ(Get(Weekday(), L"Dr. Muster-Langenfeld").fraction, 1.0);
  // A renamed doctor: the old name's shares go, the new name starts at 0.
  rec().Clear();
  Run([] {
    const PersonTerm* p;
    ASSERT_TRUE(staff_db::get_person(L"Dr. Muster-Langenfeld", &p));
    staff_db::replace_person(MakePerson(p->ref, L"Dr. Langenfeld", rz::AsSList(p->dat->groups), p->dat->colour,
                                        p->dat->letter));
    load_db::repair();
  });
  EXPECT_EQ(rec().Texts(L"note").size(), 1u);
  EXPECT_EQ(Get(Weekday(), L"Dr. Langenfeld").parts, 0u);
}

TEST_F(Loadings, BadInputGetsItsError) {
  Open(Counted({L"A", L"B"}));
  // No doctor at that reference.
  EXPECT_EQ(Error([] { load_db::put_load(Weekday(), 999999, 1); }), 1319u);
  // Parts summing beyond the signed 32-bit range.
  Put(Weekday(), L"A", 0x7FFFFFFF);
  const chain_ref b = Ref(L"B");
  EXPECT_EQ(Error([&] { load_db::put_load(Weekday(), b, 1); }), 1u);
  EXPECT_EQ(Error([] { load_db::get_load_total(Weekday()); }), 1u);
  // A stored fraction that makes the total share's parts leave the
  // unsigned range: the range error.
  Run([] {
    int32_t ref;
    kalmora_DB::db()->chain_insertz(tav::D(all::domains::loading), L"loading_chain",
                                    reinterpret_cast<T::term>(OnStack(LoadingTerm{1, Weekday(), L"X", 1e9, 1})), &ref);
    load_db::stored_changed();
  });
  EXPECT_EQ(Error([] { load_db::get_load(Total(), L"X"); }), 302u);
}

TEST_F(Loadings, AClosedStoreNotesThenRaises329) {
  Open(Counted({L"A"}));
  kalmora_DB::uninit();
  EXPECT_EQ(Error([] { load_db::put_load(Weekday(), 1, 1); }), 329u);
  EXPECT_EQ(Error([] { load_db::get_load_total(Weekday()); }), 329u);
  EXPECT_EQ(rec().Texts(L"note"), (std::vector<std::wstring>{L"loadings not initialised", L"loadings not initialised",
                                                               L"Staff_db not initialised"}));
}

TEST_F(Loadings, AConsistentRosterHasNoDoctorAboveItsCounts) {
  Open(Counted({L"A", L"B"}));
  const chain_ref a = Ref(L"A");
  // A holds every duty of the first two weeks, weekend ones included.
  Run([&] {
    sc_phase1::nd_duty_ref([&](dated_duty d) {
      if (d.duty->dat->at->period <= 2) sc_assign::tree()->kee_insert(sc_phase1::get_dtbd_key(DutyDatOf(d.duty->dat)).text, a);
      tav::K::Fail();
    });
  });
  for (const what_stat& kind : {what_stat{stat_kind::weekend, 0}, what_stat{stat_kind::weekend, 1}, what_stat{stat_kind::total}}) {
    size_t yielded = 0;
    Run([&] {
      EXPECT_FALSE(sc_adjust::nd_adjust_duties(kind, [&](adjust_pair) { ++yielded; tav::K::Fail(); }));
    });
    EXPECT_EQ(yielded, 0u);
    EXPECT_TRUE(sc_adjust::ndb_adjust.empty());
  }
  // The enumeration's own totals object counted A's weekend duties.
  ASSERT_NE(sc_adjust::xtotals, nullptr);
  EXPECT_EQ(sc_adjust::xtotals->get_stat_dom(a, what_stat{stat_kind::weekend, 1}).second, 4u);
  EXPECT_EQ(sc_adjust::xtotals->get_stat_dom(a, what_stat{stat_kind::weekend, 1}).first, 10u);
}

std::wstring Clipboard() {
  std::wstring text = L"<none>";
  for (int i = 0; i < 50 && !OpenClipboard(nullptr); ++i) Sleep(20);
  if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
    text = static_cast<const wchar_t*>(GlobalLock(h));
    GlobalUnlock(h);
  }
  CloseClipboard();
  return text;
}

void SetClipboard(const std::wstring& text) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
  memcpy(GlobalLock(h), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  GlobalUnlock(h);
  SetClipboardData(CF_UNICODETEXT, h);
  CloseClipboard();
}

TEST_F(Loadings, CopyPutsNameTabPartsLinesOnTheClipboard) {
  Open(Counted({L"A", L"B"}));
  Put(Weekday(), L"A", 2);
  Put(Weekday(), L"B", 5);
  SetClipboard(L"before");
  Run([] { load_db::copy_load(Weekday()); });
  EXPECT_EQ(Clipboard(), L"A\t2\nB\t5");
  // A kind without shares leaves the clipboard alone.
  SetClipboard(L"before");
  Run([] { load_db::copy_load(MakeWhatStat(stat_kind::slot, 2)); });
  EXPECT_EQ(Clipboard(), L"before");
}

}  // namespace
