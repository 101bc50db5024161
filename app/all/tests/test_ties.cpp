// The ties in process on real document files built from the small roster:
// adding and its refusals, other ends of weekly ties, bad end keys, the
// must-do walk, descriptions, the switch, deleting, repair, the start end
// of a new tie, and the store closed.
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "kalmoradb/sc_assign.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/ties.h"
#include "phase1/sc_phase1.h"
#include "roster_fixture.h"
#include "roster_test.h"

using namespace alltest;

namespace {

const DutySpec kStationA{L"Station", L"Haus A", L"Fr\u00FCh"}, kNotB{L"Notaufnahme", L"Haus B", L"late"},
    kVisiteC{L"Visite", L"Haus C", L"night"}, kStationB{L"Station", L"Haus B", L"night"};

std::vector<std::wstring> Ends(const std::wstring& key, const TieDomTerm* tie, uint32_t period) {
  std::vector<std::wstring> out;
  ties::nd_tie_other_end_key(key.c_str(), tie, period, [&](const wchar_t* k) {
    out.push_back(k);
    tav::K::Fail();
  });
  return out;
}

std::vector<const TieDomTerm*> Stored() {
  std::vector<const TieDomTerm*> out;
  for (auto* l = ties::all_ties(); !l->Empty(); l = l->tail) out.push_back(l->head);
  return out;
}

std::vector<std::wstring> Pairs(const std::vector<const TieDomTerm*>& v) {
  std::vector<std::wstring> out;
  for (const TieDomTerm* t : v) out.push_back(std::wstring(t->dat->first) + L"~" + t->dat->second);
  return out;
}

class Ties : public Roster {
 protected:
  void SetUp() override {
    Roster::SetUp();
    ties::xdb_active = true;
    doc_ = New();
    Run([] { WriteSpec(SmallSpec()); });
    rec().Clear();
  }
  void TearDown() override {
    ties::xdb_active = true;
    Roster::TearDown();
  }
  const TieDatTerm* Tie(which_kind who, const wchar_t* name, const std::wstring& a, const std::wstring& b,
                        tie_kind kind = tie_kind::must_do, repeat_kind repeat = repeat_kind::repeat_week,
                        spec_kind spec = spec_kind::tlsd_spec) {
    // Texts on the heap: the test keeps them across runs.
    return MakeTieDat(tie_value{who, name ? tav::HeapCopy(name) : nullptr, tav::HeapCopy(a.c_str()),
                                tav::HeapCopy(b.c_str()), kind, repeat, spec});
  }
  // Whether the body marked the document.
  template <class F>
  bool Marks(F body) {
    doc_->set_as_modified(false);
    Run(body);
    return doc_->is_modified();
  }
  rz::document* doc_ = nullptr;
};

std::wstring Key(uint32_t period, uint32_t day, const DutySpec& d) { return KeyOf(TieEndSpec{period, day, d}); }

TEST_F(Ties, TheFixturesTiesAreStoredUnderTheirOwnReferences) {
  Run([] {
    std::vector<chain_ref> refs;
    ties::nd_tie([&](stored_tie s) {
      EXPECT_EQ(s.tie->ref, s.ref);
      refs.push_back(s.ref);
      tav::K::Fail();
    });
    EXPECT_EQ(refs.size(), 4u);
    EXPECT_EQ(Pairs(Stored())[0], L"[102,11,11,1,1]~[103,12,12,2,2]");  // keys written by hand
    EXPECT_STREQ(Stored()[3]->dat->who->name, L"\u00C4rztin Bj\u00F6rk");
  });
}

TEST_F(Ties, AddingRefusesTheSameSlotPeriodAndDuplicatesInEitherOrder) {
  const std::wstring a = Key(2, 1, kStationA), b = Key(3, 2, kNotB);
  struct Row {
    const char* what;
    const TieDatTerm* tie;
    const wchar_t* note;  // null: stored
  };
  const Row rows[] = {
      {"two tasks in one slot", Tie(which_kind::global_tie, nullptr, Key(4, 1, kVisiteC), Key(4, 1, kStationB)),
       L"There is no need to tie duties in the same day and slot"},
      {"the same tie again", Tie(which_kind::global_tie, nullptr, a, b), L"This tie is already defined"},
      {"reversed, another kind, repetition and scope",
       Tie(which_kind::global_tie, nullptr, b, a, tie_kind::must_not_do, repeat_kind::no_repeat, spec_kind::just_day),
       L"This tie is already defined"},
      {"the same pair for a group", Tie(which_kind::group_tie, L"Innere", b, a), nullptr},
      {"the pair for another group", Tie(which_kind::group_tie, L"Chirurgie", a, b), nullptr},
      {"the group's pair again, reversed", Tie(which_kind::group_tie, L"Innere", a, b), L"This tie is already defined"},
      {"a doctor named like the group", Tie(which_kind::person_tie, L"Innere", a, b), nullptr},
  };
  size_t count = 4;
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    rec().Clear();
    EXPECT_EQ(Marks([&] { ties::add_tie2(r.tie); }), r.note == nullptr);
    if (r.note) EXPECT_EQ(rec().Texts(L"note"), std::vector<std::wstring>{r.note});
    else EXPECT_TRUE(rec().Texts(L"note").empty());
    count += r.note == nullptr;
    Run([&] { EXPECT_EQ(Stored().size(), count); });
  }
  Run([&] {
    const TieDomTerm* last = Stored().back();
    EXPECT_EQ(last->dat->who->functor, static_cast<uint64_t>(which_kind::person_tie));
    ties::nd_tie([&](stored_tie s) { EXPECT_EQ(s.tie->ref, s.ref); tav::K::Fail(); });
  });
}

TEST_F(Ties, OtherEndsOfAWeeklyTieStayInsideTheRosterPeriods) {
  // The fixture's first tie: week 2 Monday to week 3 Tuesday.
  Run([&] {
    const TieDomTerm* weekly = Stored()[0];
    const TieDomTerm* once = Stored()[2];
    struct Row {
      const char* what;
      const TieDomTerm* tie;
      std::wstring key;
      uint32_t period;
      std::vector<std::wstring> ends;
    };
    const Row rows[] = {
        {"first end in week 5", weekly, Key(5, 1, kStationA), 5, {Key(6, 2, kNotB)}},
        {"second end in week 5", weekly, Key(5, 2, kNotB), 5, {Key(4, 1, kStationA)}},
        {"second end in week 1: week 0", weekly, Key(1, 2, kNotB), 1, {}},
        {"beyond the duration", weekly, Key(20, 1, kStationA), 20, {Key(21, 2, kNotB)}},
        {"first end in week 104: week 105", weekly, Key(104, 1, kStationA), 104, {}},
        {"second end in week 104", weekly, Key(104, 2, kNotB), 104, {Key(103, 1, kStationA)}},
        {"a key of neither end", weekly, Key(5, 3, kStationA), 5, {}},
        {"the key of another period", weekly, Key(5, 1, kStationA), 6, {}},
        {"a tie of this pair only", once, std::wstring(once->dat->first), 5, {}},
    };
    for (const Row& r : rows) {
      SCOPED_TRACE(r.what);
      EXPECT_EQ(Ends(r.key, r.tie, r.period), r.ends);
    }
  });
  // Both ends the same duty a week apart: both rules give a result.
  Run([&] {
    ties::add_tie2(Tie(which_kind::global_tie, nullptr, Key(2, 3, kVisiteC), Key(3, 3, kVisiteC)));
    const TieDomTerm* self = Stored().back();
    EXPECT_EQ(Ends(Key(6, 3, kVisiteC), self, 6),
              (std::vector<std::wstring>{Key(7, 3, kVisiteC), Key(5, 3, kVisiteC)}));
  });
}

TEST_F(Ties, EndKeysThatAreNoDutyKeysGiveNothingAndNeverCrash) {
  const std::wstring good = Key(2, 1, kStationA);
  const std::wstring bad[] = {L"", L"[1,2]", L"[102,11,11,1,1]xxxxxxxxxx", L"[102,11,11,1,1\u00E4]",
                              L"\u00C4rztin", Key(17, 1, kStationA)};
  for (const std::wstring& b : bad) {
    SCOPED_TRACE(Narrow(b));
    Run([&] {
      const TieDatTerm* t = Tie(which_kind::global_tie, nullptr, good, b);
      EXPECT_EQ(Names(ties::tie_desc(t)), std::vector<std::wstring>(7, L"?"));
      EXPECT_EQ(Names(ties::must_do_walk(b.c_str())), std::vector<std::wstring>{b});
      ties::add_tie2(t);  // stored until repair
      const TieDomTerm* stored = Stored().back();
      EXPECT_EQ(std::wstring(stored->dat->second), b);
      EXPECT_TRUE(Ends(good, stored, 2).empty());
      EXPECT_TRUE(Ends(b, stored, 2).empty());
    });
  }
  Run([] {
    ties::repair();
    EXPECT_EQ(Stored().size(), 4u);
  });
}

TEST_F(Ties, MustDoWalkFollowsWeeklyMustDoTiesForTenSteps) {
  Run([&] {
    // The fixture: week 2 Monday -> week 3 Tuesday -> week 3 Thursday.
    EXPECT_EQ(Names(ties::must_do_walk(L"[102,11,11,1,1]")),
              (std::vector<std::wstring>{L"[103,13,14,3,3]", L"[103,12,12,2,2]", L"[102,11,11,1,1]"}));
    EXPECT_EQ(Names(ties::xwalk), Names(ties::must_do_walk(L"[102,11,11,1,1]")));
    // Wednesday's night ward to the same duty a week later: each pass one
    // week more; ten passes from week 1 reach week 11.
    ties::add_tie2(Tie(which_kind::global_tie, nullptr, L"[101,13,13,1,2]", L"[102,13,13,1,2]"));
    std::vector<std::wstring> want;
    for (uint32_t p = 11; p >= 1; --p) want.push_back(L"[" + std::to_wstring(100 + p) + L",13,13,1,2]");
    EXPECT_EQ(Names(ties::must_do_walk(L"[101,13,13,1,2]")), want);
    // From week 10 it runs both ways, one week each pass: back to week 1
    // (week 0 gives nothing), forward to week 17, which has no duty and is
    // not followed further.
    auto weeks = [](std::vector<uint32_t> periods) {
      std::vector<std::wstring> keys;
      for (uint32_t p : periods) keys.push_back(L"[" + std::to_wstring(100 + p) + L",13,13,1,2]");
      return keys;
    };
    EXPECT_EQ(Names(ties::must_do_walk(L"[110,13,13,1,2]")),
              weeks({1, 2, 3, 17, 16, 4, 5, 15, 14, 6, 7, 13, 12, 8, 9, 11, 10}));
    // A must-not-do weekly tie is not followed; the fixture's first tie is,
    // from its second end back a week.
    ties::add_tie2(Tie(which_kind::global_tie, nullptr, L"[101,12,12,2,2]", L"[102,12,12,2,2]",
                       tie_kind::must_not_do));
    EXPECT_EQ(Names(ties::must_do_walk(L"[105,12,12,2,2]")),
              (std::vector<std::wstring>{L"[105,13,14,3,3]", L"[104,11,11,1,1]", L"[105,12,12,2,2]"}));
  });
}

TEST_F(Ties, DescriptionsNameTheEndsByScope) {
  Run([] {
    const std::vector<const TieDomTerm*> t = Stored();
    using V = std::vector<std::wstring>;
    EXPECT_EQ(Names(ties::tie_desc(t[0]->dat)),
              (V{L"Repeating weekly", L"Station Haus A Monday Fr\u00FCh", L"Notaufnahme Haus B Tuesday late",
                 L"same doctor", L"Global"}));
    EXPECT_EQ(Names(ties::tie_desc(t[1]->dat)),
              (V{L"Repeating weekly", L"Tuesday late", L"Thursday night", L"same doctor", L"Global"}));
    // This pair only: the dated text whatever the scope.
    EXPECT_EQ(Names(ties::tie_desc(t[2]->dat)),
              (V{L"This pair only", L"7/11/2026 Notaufnahme Haus A Saturday Fr\u00FCh",
                 L"8/11/2026 Station Haus C Sunday late", L"different doctor", L"Group Innere"}));
    EXPECT_EQ(Names(ties::tie_desc(t[3]->dat)),
              (V{L"Repeating weekly", L"1", L"2", L"same doctor", L"Doctor \u00C4rztin Bj\u00F6rk"}));
    tie_value daily = TieValueOf(t[0]->dat);
    daily.repeat = repeat_kind::repeat_day;
    daily.spec = spec_kind::just_day;
    EXPECT_EQ(Names(ties::tie_desc(MakeTieDat(daily))),
              (V{L"Repeating daily", L"Monday", L"Tuesday", L"same doctor", L"Global"}));
  });
}

TEST_F(Ties, TheSwitchHidesTiesFromAllButDrawingAndTheDuplicateTest) {
  Run([] { ties::toggle_activate(); });
  EXPECT_FALSE(ties::ties_active());
  Run([&] {
    EXPECT_TRUE(Stored().empty());
    size_t drawn = 0;
    ties::nd_tie_for_drawing([&](const TieDomTerm*) { ++drawn; tav::K::Fail(); });
    EXPECT_EQ(drawn, 4u);
    EXPECT_EQ(Names(ties::must_do_walk(L"[102,11,11,1,1]")), std::vector<std::wstring>{L"[102,11,11,1,1]"});
    ties::add_tie2(Tie(which_kind::global_tie, nullptr, L"[103,12,12,2,2]", L"[102,11,11,1,1]"));
    ties::del_all(Tie(which_kind::group_tie, L"Innere", L"", L"")->who);
    kalmora_DB::put_weeks_duration(2);
    sc_phase1::generate();
    ties::repair();
  });
  EXPECT_EQ(rec().Texts(L"note"), std::vector<std::wstring>{L"This tie is already defined"});
  // The switch outlives the document.
  kalmora_DB::uninit();
  Run([&] { kalmora_DB::init(doc_); });
  EXPECT_FALSE(ties::ties_active());
  Run([] { ties::toggle_activate(); });
  Run([] { EXPECT_EQ(Stored().size(), 4u); });
}

TEST_F(Ties, DeletingOneAllOrThoseOfOneWhichTie) {
  Run([&] {
    ties::add_tie2(Tie(which_kind::group_tie, L"Innere", L"[104,11,11,1,1]", L"[104,12,12,2,2]"));
    ties::add_tie2(Tie(which_kind::group_tie, L"innere", L"[104,11,12,1,1]", L"[104,12,12,2,2]"));
  });
  EXPECT_TRUE(Marks([&] { ties::del_all(Tie(which_kind::group_tie, L"Innere", L"", L"")->who); }));
  Run([] {
    EXPECT_EQ(Stored().size(), 4u);
    EXPECT_STREQ(Stored().back()->dat->who->name, L"innere");
  });
  chain_ref first = 0;
  Run([&] { first = Stored()[0]->ref; });
  EXPECT_TRUE(Marks([&] { ties::del_tie(first); }));
  Run([] { EXPECT_EQ(Stored().size(), 3u); });
  EXPECT_EQ(Error([&] { ties::del_tie(first); }), 1319u);
  EXPECT_TRUE(Marks([] { ties::del_all(); }));
  Run([] { EXPECT_TRUE(Stored().empty()); });
  EXPECT_TRUE(Marks([] { ties::del_all(); }));  // nothing left: still succeeds
}

TEST_F(Ties, RepairAfterTheRosterWasShortened) {
  Run([] {
    kalmora_DB::put_weeks_duration(2);
    sc_phase1::generate();
  });
  EXPECT_TRUE(Marks([] { ties::repair(); }));
  // Only the doctor's tie of weeks 1 and 2 is left.
  Run([] { EXPECT_EQ(Pairs(Stored()), std::vector<std::wstring>{L"[101,13,11,3,3]~[102,13,11,1,2]"}); });
  EXPECT_FALSE(Marks([] { ties::repair(); }));
  Run([] { EXPECT_EQ(Stored().size(), 1u); });
}

TEST_F(Ties, ANewTieStartsFromItsFirstAssignedEnd) {
  Run([&] {
    const PersonTerm *a, *b;
    ASSERT_TRUE(staff_db::get_person(L"Dr. Sophie Bauer", &a));
    ASSERT_TRUE(staff_db::get_person(L"Dr. Stefan Braun", &b));
    const TieDomTerm* t = Stored()[0];
    const wchar_t* key;
    chain_ref who;
    EXPECT_FALSE(sc_assign::tie_start(t, &key, &who));
    // Stored without checks and, ties switched off, without propagation.
    auto store = [](const wchar_t* key, chain_ref doctor) {
      ties::toggle_activate();
      sc_assign::assign_person(test_ass::make_ass_only, key, doctor);
      ties::toggle_activate();
    };
    store(t->dat->second, b->ref);
    ASSERT_TRUE(sc_assign::tie_start(t, &key, &who));
    EXPECT_STREQ(key, t->dat->second);
    EXPECT_EQ(who, b->ref);
    store(t->dat->first, a->ref);
    ASSERT_TRUE(sc_assign::tie_start(t, &key, &who));
    EXPECT_STREQ(key, t->dat->first);
    EXPECT_EQ(who, a->ref);
    // A tie added over an assigned first end propagates from it; this doctor's
    // walk stops at her group's must-not-do tie, before it reaches the new one.
    ties::add_tie2(Tie(which_kind::global_tie, nullptr, t->dat->first, L"[104,12,12,2,2]"));
    chain_ref now;
    EXPECT_TRUE(sc_assign::is_assigned(t->dat->first, &now));
    EXPECT_EQ(now, a->ref);
    EXPECT_FALSE(sc_assign::is_assigned(L"[104,12,12,2,2]", &now));
  });
}

TEST_F(Ties, AClosedStoreNotesThenRaises329) {
  kalmora_DB::uninit();
  EXPECT_EQ(Error([&] { ties::add_tie2(Tie(which_kind::global_tie, nullptr, L"[102,11,11,1,1]", L"[1,2]")); }), 329u);
  EXPECT_EQ(rec().Texts(L"note"), std::vector<std::wstring>{L"ties not initialised"});
  rec().Clear();
  const bool was = ties::ties_active();
  Run([] { ties::toggle_activate(); });
  EXPECT_EQ(ties::ties_active(), !was);
  EXPECT_EQ(rec().Texts(L"note"), std::vector<std::wstring>{L"ties not initialised"});
  EXPECT_EQ(Error([] { ties::all_ties(); }), 0u);  // switched off: reads nothing
  Run([] { ties::toggle_activate(); });
  EXPECT_EQ(Error([] { ties::all_ties(); }), 329u);
  EXPECT_EQ(Error([] { ties::del_all(); }), 329u);
}

// --- writing operations in a child, read back by a fresh one ---

class TieDocuments : public ChildDocuments {
 protected:
  std::vector<std::wstring> Dump(const std::wstring& name) { return LinesOf(Child(L"ties " + Quoted(name))); }
};

using Lines = std::vector<std::wstring>;

// The lines with each matching line rewritten by f, or dropped.
Lines Edit(Lines lines, std::function<bool(const std::wstring&)> match, std::function<std::wstring(std::wstring)> f) {
  for (std::wstring& l : lines)
    if (match(l)) l = f(l);
  return lines;
}
Lines Drop(Lines lines, std::function<bool(const std::wstring&)> match) {
  lines.erase(std::remove_if(lines.begin(), lines.end(), match), lines.end());
  return lines;
}
bool IsLoad(const std::wstring& l) { return l.rfind(L"load ", 0) == 0; }
// A load line with its parts and fraction replaced.
std::wstring Parts(const std::wstring& l, const std::wstring& partsAndFraction) {
  const size_t cut = l.rfind(L' ', l.rfind(L' ') - 1);
  return l.substr(0, cut + 1) + partsAndFraction;
}

TEST_F(TieDocuments, EveryWritingOperationMarksAndSurvivesTheSave) {
  ASSERT_EQ(Child(L"build small " + Quoted(L"base.km6")), L"saved\n");
  const Lines base = Dump(L"base.km6");
  const std::wstring bjoerk = L"\u00C4rztin Bj\u00F6rk", chen = L"Dr. Chen \u9648";
  const Lines ties = {
      L"tie [102,11,11,1,1] [103,12,12,2,2] who1 do1 repeat1 spec1",
      L"tie [103,12,12,2,2] [103,13,14,3,3] who1 do1 repeat1 spec2",
      L"tie [105,11,16,2,1] [105,12,17,1,3] who2(Innere) do2 repeat3 spec3",
      L"tie [101,13,11,3,3] [102,13,11,1,2] who3(" + bjoerk + L") do1 repeat1 spec4",
  };
  ASSERT_EQ(base.size(), 4u + 20u);  // two weekend shares of each of 10 doctors
  EXPECT_EQ(Lines(base.begin(), base.begin() + 4), ties);
  EXPECT_EQ(base[4], L"load " + bjoerk + L" weekend0 3 0.7500");
  EXPECT_EQ(base[5], L"load " + bjoerk + L" weekend1 1 0.5000");
  EXPECT_EQ(base[23], L"load " + chen + L" weekend1 0 0.0000");
  const std::wstring added = L"tie [104,13,13,3,3] [104,13,15,1,2] who1 do2 repeat3 spec1";
  Lines withAdded = base;
  withAdded.insert(withAdded.begin() + 4, added);
  auto line = [&](size_t n) { return [&, n](const std::wstring& l) { return l == base[n]; }; };
  auto weekend1 = [](const std::wstring& who) {
    return [who](const std::wstring& l) { return l.rfind(L"load " + who + L" weekend1 ", 0) == 0; };
  };
  struct Row {
    const wchar_t* op;
    Lines after;
    const wchar_t* note = nullptr;
  };
  const Row rows[] = {
      {L"add_tie2", withAdded},
      {L"add_tie2_again", withAdded, L"This tie is already defined"},
      {L"del_tie", Drop(base, line(0))},
      {L"del_all_ties", Drop(base, [&](const std::wstring& l) { return !IsLoad(l); })},
      {L"del_all_group", Drop(base, line(2))},
      {L"repair_ties", Drop(base, [&](const std::wstring& l) { return !IsLoad(l) && l != ties[3]; })},
      {L"put_load", Edit(Edit(Edit(base, weekend1(chen), [](std::wstring l) { return Parts(l, L"6 0.7500"); }),
                              weekend1(bjoerk), [](std::wstring l) { return Parts(l, L"1 0.1250"); }),
                         weekend1(L"Dr. \u0141ukasz Wi\u015Bniewski"), [](std::wstring l) { return Parts(l, L"1 0.1250"); })},
      {L"auto_load", Edit(base, IsLoad, [](std::wstring l) { return Parts(l, L"10 0.1000"); })},
      {L"clear_load", Drop(base, IsLoad)},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(Narrow(r.op));
    const std::wstring name = std::wstring(r.op) + L".km6";
    ASSERT_TRUE(CopyFileW(Path(L"base.km6").c_str(), Path(name.c_str()).c_str(), FALSE));
    std::wstring want = L"mark 1\nsaved\n";
    if (r.note) want += std::wstring(L"note: ") + r.note + L"\n";
    EXPECT_EQ(Child(std::wstring(L"op ") + r.op + L" " + Quoted(name)), want);
    EXPECT_EQ(Dump(name), r.after);
  }
}

}  // namespace
