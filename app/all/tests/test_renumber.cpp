// Renumbering when a list shrinks or reorders, checked by the independent
// reference checker in a fresh process after each save; every writing
// operation of the lists' stores with its modified mark and its change
// read back; the display filter following a renumbering.
#include <string>
#include <vector>

#include "all_test.h"
#include "doc_test.h"
#include "kalmoradb/locations.h"
#include "kalmoradb/sc_include.h"
#include "kalmoradb/tasks.h"
#include "reference_check.h"
#include "roster_test.h"

using namespace alltest;

namespace {

class ListDocuments : public ChildDocuments {
 protected:
  // The small roster with assignments and locks, saved as `name`.
  void BuildAssigned(const std::wstring& name) {
    EXPECT_EQ(Child(L"build small " + Quoted(name)), L"saved\n");
    EXPECT_EQ(Child(L"op assign " + Quoted(name)), L"mark 1\nsaved\n");
  }
  std::vector<std::wstring> Refs(const std::wstring& name) { return LinesOf(Child(L"refs " + Quoted(name))); }
  // A copy of base.km6 named after the operation, the operation run on it
  // and saved; the copy's name.
  std::wstring RunOnCopy(const wchar_t* op) {
    const std::wstring name = std::wstring(op) + L".km6";
    EXPECT_TRUE(CopyFileW(Path(L"base.km6").c_str(), Path(name.c_str()).c_str(), FALSE));
    EXPECT_EQ(Child(std::wstring(L"op ") + op + L" " + Quoted(name)), L"mark 1\nsaved\n");
    return name;
  }
};

TEST_F(ListDocuments, StoredNumbersKeepNamingWhatTheyNamed) {
  BuildAssigned(L"base.km6");  // the copies start from it
  const std::vector<std::wstring> before = Refs(L"base.km6");
  // The fixture puts something under each name that an edit removes.
  for (const wchar_t* part : {L"L=Haus A|", L"T=Notaufnahme|", L"S=late|", L"weekend S=Fr\u00FCh|", L"assign_bt",
                              L"lock_bt", L"change ", L"tie "})
    EXPECT_NE(Without(before, part).size(), before.size()) << Narrow(part);
  for (const std::wstring& l : before) EXPECT_EQ(l.find(L"?"), std::wstring::npos) << Narrow(l);
  struct Row {
    const wchar_t* op;
    const wchar_t* gone;  // the records of this name go; null: nothing goes
  };
  const Row rows[] = {
      {L"del_loc_1", L"L=Haus A|"},
      {L"del_task_2", L"T=Notaufnahme|"},
      {L"slot_in_front", nullptr},
      {L"del_middle_slot", L"S=late|"},
      {L"move_night_up", nullptr},
      {L"clear_tasks", L"T="},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(Narrow(r.op));
    EXPECT_EQ(Refs(RunOnCopy(r.op)), r.gone ? Without(before, r.gone) : before);
  }
}

TEST_F(ListDocuments, TheSmallRostersListsReopenAsWritten) {
  EXPECT_EQ(Child(L"build small " + Quoted(L"s.km6")), L"saved\n");
  EXPECT_EQ(Child(L"lists " + Quoted(L"s.km6")),
            L"tasks Station Notaufnahme Visite\n"
            L"locations Haus A Haus B Haus C\n"
            L"groups Innere Chirurgie\n"
            L"doctors \u00C4rztin Bj\u00F6rk(Innere;) Dr. \u0141ukasz Wi\u015Bniewski(Chirurgie;) "
            L"Dr. Zo\u00EB \U0001D4D0lt(Innere;Chirurgie;) Dr. Muster-Lang(Innere;) "
            L"Dr. Muster-Langenfeld(Chirurgie;) Dr. Sophie Bauer(Innere;) Dr. Stefan Braun(Chirurgie;) "
            L"Dr. \u00C9milie Faure(Innere;) Dr. Jos\u00E9 N\u00FA\u00F1ez(Chirurgie;) Dr. Chen \u9648(Innere;)\n"
            L"changes 2026-10-7/111 2026-10-10/333 2026-11-2/222 2026-12-24/311\n");
  const std::vector<std::wstring> refs = Refs(L"s.km6");
  EXPECT_EQ(refs.size(), 7u + 4u + 3u + 4u);  // typical duties, changes, weekend entries, ties
}

TEST_F(ListDocuments, EveryWritingOperationMarksAndSurvivesTheSave) {
  struct Line {
    const wchar_t* key;  // the first word of the lists' line that changes
    std::wstring after;  // its text after the save
  };
  struct Row {
    const wchar_t* op;
    std::vector<Line> lines;
  };
  const std::wstring doctors = L"doctors \u00C4rztin Bj\u00F6rk(Innere;) Dr. \u0141ukasz Wi\u015Bniewski(Chirurgie;) "
                               L"Dr. Zo\u00EB \U0001D4D0lt(Innere;Chirurgie;) Dr. Muster-Lang(Innere;) "
                               L"Dr. Muster-Langenfeld(Chirurgie;) Dr. Sophie Bauer(Innere;) Dr. Stefan Braun(Chirurgie;) "
                               L"Dr. \u00C9milie Faure(Innere;) Dr. Jos\u00E9 N\u00FA\u00F1ez(Chirurgie;) Dr. Chen \u9648(Innere;)";
  auto without = [&](const std::wstring& text, const std::wstring& part) {
    std::wstring s = text;
    s.erase(s.find(part), part.size());
    return s;
  };
  auto replaced = [](std::wstring text, const std::wstring& from, const std::wstring& to) {
    for (size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size()))
      text.replace(at, from.size(), to);
    return text;
  };
  const std::wstring withoutInnere =
      L"doctors \u00C4rztin Bj\u00F6rk() Dr. \u0141ukasz Wi\u015Bniewski(Chirurgie;) Dr. Zo\u00EB \U0001D4D0lt(Chirurgie;) "
      L"Dr. Muster-Lang() Dr. Muster-Langenfeld(Chirurgie;) Dr. Sophie Bauer() Dr. Stefan Braun(Chirurgie;) "
      L"Dr. \u00C9milie Faure() Dr. Jos\u00E9 N\u00FA\u00F1ez(Chirurgie;) Dr. Chen \u9648()";
  const Row rows[] = {
      {L"add_task", {{L"tasks", L"tasks Station Notaufnahme Visite Dienst"}}},
      {L"rename_task", {{L"tasks", L"tasks Stationsdienst Notaufnahme Visite"}}},
      {L"del_task_2",
       {{L"tasks", L"tasks Station Visite"}, {L"changes", L"changes 2026-10-7/111 2026-10-10/233 2026-12-24/211"}}},
      {L"clear_tasks", {{L"tasks", L"tasks"}, {L"changes", L"changes"}}},
      {L"add_loc", {{L"locations", L"locations Haus A Haus B Haus C Haus D"}}},
      {L"rename_loc", {{L"locations", L"locations Haus A Haus B Haus Z"}}},
      {L"del_loc_1",
       {{L"locations", L"locations Haus B Haus C"}, {L"changes", L"changes 2026-10-10/323 2026-11-2/212"}}},
      {L"clear_locs", {{L"locations", L"locations"}, {L"changes", L"changes"}}},
      {L"add_group", {{L"groups", L"groups Innere Chirurgie P\u00E4diatrie"}}},
      {L"rename_group",
       {{L"groups", L"groups Innere Chirurgie II"}, {L"doctors", replaced(doctors, L"Chirurgie;", L"Chirurgie II;")}}},
      {L"del_group", {{L"groups", L"groups Chirurgie"}, {L"doctors", withoutInnere}}},
      {L"set_color", {{L"groups", L"groups Innere Chirurgie"}}},
      {L"clear_groups", {{L"groups", L"groups"}}},
      {L"add_name", {{L"doctors", doctors + L" Dr. Neu()"}}},
      {L"del_person", {{L"doctors", without(doctors, L" Dr. Sophie Bauer(Innere;)")}}},
      {L"clear_staff", {{L"doctors", L"doctors"}}},
      {L"randomize_colors", {{L"doctors", doctors}}},
      {L"repair_after_group_change",
       {{L"groups", L"groups Chirurgie"},
        {L"doctors", withoutInnere}}},
      {L"add_or_remove", {{L"changes", L"changes 2026-10-10/333 2026-11-2/222 2026-12-24/311"}}},
      {L"clear_mod", {{L"changes", L"changes"}}},
  };
  EXPECT_EQ(Child(L"build small " + Quoted(L"base.km6")), L"saved\n");
  const std::vector<std::wstring> base = LinesOf(Child(L"lists " + Quoted(L"base.km6")));
  for (const Row& r : rows) {
    SCOPED_TRACE(Narrow(r.op));
    const std::wstring name = RunOnCopy(r.op);
    std::vector<std::wstring> want = base;
    for (std::wstring& l : want)
      for (const Line& change : r.lines)
        if (l == change.key || l.rfind(std::wstring(change.key) + L" ", 0) == 0) l = change.after;
    EXPECT_EQ(LinesOf(Child(L"lists " + Quoted(name))), want);
  }
  // The typical week's writer: its chain is gone after the save.
  EXPECT_EQ(Refs(RunOnCopy(L"add_tls")), Without(Refs(L"base.km6"), L"sunday_chain"));
}

class FilterFollows : public Roster {};

TEST_F(FilterFollows, ARenumberingMovesTheFilter) {
  New();
  Run([] {
    for (const wchar_t* n : {L"A", L"B", L"C"}) {
      tasks::add_task(n);
      locations::add_loc(n);
    }
    sc_include::set_include_str(rz::MakeList<const wchar_t*>({L"Locations", L"C"}));
    locations::add_loc(1, L"");
    EXPECT_EQ(sc_include::sdb_include.kind, include_kind::where);
    EXPECT_EQ(sc_include::sdb_include.number, 2u);
    tasks::add_task(1, L"");  // another kind: the location filter stays
    EXPECT_EQ(sc_include::sdb_include.number, 2u);
    locations::add_loc(2, L"");
    EXPECT_EQ(sc_include::sdb_include.kind, include_kind::all);
    sc_include::set_include_str(rz::MakeList<const wchar_t*>({L"Tasks", L"C"}));
    EXPECT_EQ(sc_include::sdb_include.number, 2u);
    tasks::clear();
    EXPECT_EQ(sc_include::sdb_include.kind, include_kind::all);
  });
}

}  // namespace
