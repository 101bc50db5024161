// The changed dates list and the assignments and unassigned duties tables
// on real windows: rows against the stores, the duty index's listings and
// roster_check, ordering by a title dragged with real input, the copy.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "checks.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/sc_mod_date.h"
#include "liboxes/duties_libox.h"
#include "liboxes/mod_dates.h"
#include "libox_test.h"
#include "phase1/sc_phase1.h"
#include "roster_generator.h"

using namespace alltest;

namespace {

namespace K = Qel::RunTime::Kernel;

class ResultLists : public DialogRoster {};

// Saturday's typical week holds the day duty, the weekday week only the night.
RosterSpec ChangedSpec() {
  RosterSpec s = TwoWeekSpec();
  s.typical = {{kWeekday, {L"ward", L"north", L"night"}},
               {kSaturday, {L"ward", L"north", L"day"}},
               {kSunday, {L"ward", L"north", L"day"}}};
  s.changes = {{{2026, 10, 10}, 6, {L"ward", L"north", L"day"}},
               {{2026, 10, 6}, 2, {L"ward", L"north", L"day"}},
               {{2026, 10, 13}, 2, {L"ward", L"north", L"night"}}};
  return s;
}

TEST_F(ResultLists, ChangedDatesShowAddedAndRemovedDutiesAndTheirMenuChangesNothing) {
  Open(ChangedSpec());
  InTask([&](HWND task) {
    all::mod_dates* t = nullptr;
    Run([&] { t = all::mod_dates::new_mod_dates(DataPane(task)); });
    ASSERT_TRUE(t);
    EXPECT_EQ(TitlesOf(t), (Cells{L"", L"", L"Dates", L"Task", L"Location", L"Day", L"Slot", L"Replacement?"}));
    const Rows want{
        {L"1", L"10/10/2026", L"ward", L"north", L"Saturday", L"day", L"duty removed"},
        {L"2", L"6/10/2026", L"ward", L"north", L"Tuesday", L"day", L"duty added"},
        {L"3", L"13/10/2026", L"ward", L"north", L"Tuesday", L"night", L"duty removed"},
    };
    EXPECT_EQ(RowsOf(t), want);
    for (const auto& c : ColoursOf(t)) EXPECT_EQ(c, (std::pair<int32_t, int32_t>{0xFFFFFF, 0}));

    // The menu's items and del_selected change no store; copy and print are the list's.
    Run([&] {
      t->set_selecteds(rizediveva6::MakeList<uint32_t>({1, 2}));
      EXPECT_FALSE(t->popup_callback(10105));
      EXPECT_FALSE(t->popup_callback(10111));
      t->del_selected();
    });
    EXPECT_EQ(rec().Texts(L"note"), std::vector<std::wstring>{L"del not implemented"});
    EXPECT_EQ(RowsOf(t), want);
    EXPECT_FALSE(doc_->is_modified());
    uint32_t stored = 0;
    Run([&] {
      all::sc_mod_date::nd_dt_duties([&](all::dt_duty_ref) {
        ++stored;
        K::Fail();
      });
    });
    EXPECT_EQ(stored, 3u);
    Run([&] { EXPECT_TRUE(t->popup_callback(10101)); });
    const std::wstring copied = ClipboardText(task);
    EXPECT_EQ(copied.rfind(L"1\t10/10/2026\tward\tnorth\tSaturday\tday\tduty removed\t\n2\t", 0), 0u) << Narrow(copied);
    Run([&] { t->destroy_scroll2(); });
  });
}

TEST_F(ResultLists, ChangedDatesWithoutChangesShowTheTitlesOnly) {
  Open(TwoWeekSpec());
  InTask([&](HWND task) {
    all::mod_dates* t = nullptr;
    Run([&] { t = all::mod_dates::new_mod_dates(DataPane(task)); });
    ASSERT_TRUE(t);
    EXPECT_EQ(RowsOf(t), Rows{});
    EXPECT_EQ(TitlesOf(t).size(), 8u);
    Run([&] { t->destroy_scroll2(); });
  });
}

// A table row's duty without its number and name: task, location, date,
// day number, day name, slot.
Cells DutyOfRow(const Cells& row) { return Cells(row.begin() + 2, row.end()); }

std::string Utf8(const std::wstring& w) {
  std::string out(w.size() * 4 + 1, '\0');
  out.resize(size_t(WideCharToMultiByte(CP_UTF8, 0, w.c_str(), int(w.size()), out.data(), int(out.size()), nullptr, nullptr)));
  return out;
}

// "d/m/yyyy" as the tables write dates: "mm dd".
std::wstring TableDate(const std::wstring& date) {
  unsigned d = 0, m = 0, y = 0;
  swscanf(date.c_str(), L"%u/%u/%u", &d, &m, &y);
  wchar_t b[8];
  swprintf(b, 8, L"%02u %02u", m, d);
  return b;
}

// The duty index's listing of a mode as table rows without numbers: name
// ("-" for none), task, location, date, day name, slot.
Rows IndexListing(uint32_t mode) {
  Rows out;
  all::sc_phase1::nd_duty_desc(mode, [&](all::duty_row r) {
    const Cells p = Names(r.row);  // date, day name, slot, location, task, person
    const std::wstring who = p[5] == L"unassigned" ? L"-" : p[5].substr(1);
    out.push_back({who, p[4], p[3], TableDate(p[0]), p[1], p[2]});
    K::Fail();
  });
  std::sort(out.begin(), out.end());
  return out;
}
// The same of a table's rows (the day number left out).
Rows AsListing(const Rows& rows) {
  Rows out;
  for (const Cells& r : rows) out.push_back({r[1], r[2], r[3], r[4], r[6], r[7]});
  std::sort(out.begin(), out.end());
  return out;
}

struct TableCase {
  uint32_t weeks, percent;
};

TEST_F(ResultLists, AssignedAndUnassignedTablesHoldEveryDutyOnceAndAgreeWithTheChecker) {
  for (const TableCase c : {TableCase{52, 0}, TableCase{52, 30}, TableCase{104, 0}, TableCase{104, 30}}) {
    SCOPED_TRACE(std::to_string(c.weeks) + " weeks " + std::to_string(c.percent) + " %");
    Roster::TearDown();
    Roster::SetUp();
    Open(GeneratedSpec(7, c.weeks));
    uint32_t taken = 0;
    Run([&] {
      PreAssign(GeneratedRun{7, c.percent});
      taken = all::sc_assign::number_assigned();  // ties bring in more than were offered
    });
    EXPECT_EQ(taken > 0, c.percent > 0);
    Run([&] { doc_->orv_save(rizediveva6::MakeList<const wchar_t*>({})); });
    Rows assigned, unassigned, listedAssigned, listedUnassigned;
    uint32_t duties = 0;
    InTask([&](HWND task) {
      for (all::do_ass which : {all::do_ass::assigned, all::do_ass::unassigned}) {
        const LONG_PTR pane = DataPane(task);
        all::duties_libox* t = nullptr;
        Run([&] { t = all::duties_libox::new_duties_libox(which, pane); });
        ASSERT_TRUE(t);
        (which == all::do_ass::assigned ? assigned : unassigned) = RowsOf(t);
        Run([&] { t->destroy_scroll2(); });
        DestroyWindow(reinterpret_cast<HWND>(pane));
      }
    });
    Run([&] {
      listedAssigned = IndexListing(all::kAssignedDuty);
      listedUnassigned = IndexListing(all::kUnassignedDuty);
      duties = all::sc_phase1::how_many();
    });
    EXPECT_EQ(assigned.size(), taken);
    EXPECT_EQ(assigned.size() + unassigned.size(), duties);
    EXPECT_EQ(AsListing(assigned), listedAssigned);
    EXPECT_EQ(AsListing(unassigned), listedUnassigned);
    // Numbers run 1.. in each table; the day number is the day name's.
    for (const Rows* rows : {&assigned, &unassigned})
      for (size_t i = 0; i < rows->size(); ++i) {
        ASSERT_EQ((*rows)[i].size(), 8u);
        ASSERT_EQ((*rows)[i][0], std::to_wstring(i + 1));
      }
    for (const Cells& r : unassigned) ASSERT_EQ(r[1], L"-");

    // roster_check reads the saved document: the duties of both categories
    // and each doctor's assigned duties.
    all::kalmora_DB::uninit();
    Run([&] { doc_->orv_close(rizediveva6::MakeList<const wchar_t*>({}), false); });
    open_.pop_back();
    auto [code, text] = RunBeside(L"roster_check.exe", L"--figures \"" + Path(L"r.km6") + L"\"");
    EXPECT_EQ(code, 0u) << Narrow(text);
    std::map<std::wstring, uint32_t> checked, listed;
    uint32_t checkedDuties = 0;
    for (const std::wstring& l : LinesOf(text)) {
      uint32_t category, n;
      const size_t at = l.rfind(L" weekend");
      if (l.rfind(L"doctor ", 0) == 0 && at != std::wstring::npos &&
          swscanf(l.c_str() + at, L" weekend%u assigned %u", &category, &n) == 2)
        checked[l.substr(7, at - 7)] += n;
      if (swscanf(l.c_str(), L"weekend%u duties %u", &category, &n) == 2) checkedDuties += n;
    }
    for (const Cells& r : assigned) ++listed[r[1]];
    for (auto it = checked.begin(); it != checked.end();) it = it->second ? std::next(it) : checked.erase(it);
    EXPECT_EQ(listed, checked);
    EXPECT_EQ(checkedDuties, assigned.size() + unassigned.size());
  }
}

TEST_F(ResultLists, AssignmentsWithoutADutyOrAReadableDoctorGiveNoRow) {
  Open(GateFullSpec());
  Run([&] {
    // Entries the gate would refuse, written straight into the tree.
    all::sc_assign::tree()->kee_insert(L"no such duty", 1);
    const wchar_t* key = nullptr;
    all::sc_phase1::nd_duty_ref([&](all::dated_duty d) {
      chain_ref doctor;
      const wchar_t* k = all::sc_phase1::get_dtbd_key(all::DutyDatOf(d.duty->dat)).text;
      if (all::sc_assign::is_assigned(k, &doctor)) K::Fail();
      key = tav::HeapCopy(k);
    });
    ASSERT_TRUE(key);
    all::sc_assign::tree()->kee_insert(key, 0x7FFFFF00);
    all::sc_assign::must_be_repaired();
  });
  InTask([&](HWND task) {
    all::duties_libox* t = nullptr;
    Run([&] { t = all::duties_libox::new_duties_libox(all::do_ass::assigned, DataPane(task)); });
    ASSERT_TRUE(t);
    const Rows rows = RowsOf(t);
    EXPECT_EQ(rows.size(), 3u);
    for (const Cells& r : rows) EXPECT_NE(r[1], L"-");
    EXPECT_TRUE(kwitest::Reported().empty());
    Run([&] { t->destroy_scroll2(); });
  });
}

TEST_F(ResultLists, EmptyRosterListsEveryDutyAsUnassignedAndNoAssignment) {
  Open(TwoWeekSpec());
  InTask([&](HWND task) {
    Rows rows[2];
    int i = 0;
    for (all::do_ass which : {all::do_ass::assigned, all::do_ass::unassigned}) {
      const LONG_PTR pane = DataPane(task);
      all::duties_libox* t = nullptr;
      Run([&] { t = all::duties_libox::new_duties_libox(which, pane); });
      ASSERT_TRUE(t);
      EXPECT_EQ(TitlesOf(t), (Cells{L"", L"Name", L"Task", L"Location", L"date", L"day No", L"day", L"slot"}));
      rows[i++] = RowsOf(t);
      Run([&] { t->destroy_scroll2(); });
      DestroyWindow(reinterpret_cast<HWND>(pane));
    }
    EXPECT_TRUE(rows[0].empty());
    // Two weeks: ten weekdays of two duties, two Saturdays and two Sundays of one.
    EXPECT_EQ(rows[1].size(), 24u);
    EXPECT_EQ(rows[1][0], (Cells{L"1", L"-", L"ward", L"north", L"10 05", L"1", L"Monday", L"day"}));
  });
}

// The 104-week table ordered by a title dragged onto another through the
// input queue, then copied: the clipboard parsed as tab-separated text
// equals the rows.
TEST_F(ResultLists, DraggedTitleOrdersTheRowsAndTheCopyEqualsThem) {
  Open(GeneratedSpec(7, 104));
  Run([&] { PreAssign(GeneratedRun{7, 30}); });
  const std::wstring dir = kwitest::TempDir(L"liboxes_result_lists");
  InTask([&](HWND task) {
    MoveWindow(task, 0, 0, 1000, 700, TRUE);
    SetForegroundWindow(task);
    const LONG_PTR pane = DataPane(task);
    all::duties_libox* t = nullptr;
    Run([&] { t = all::duties_libox::new_duties_libox(all::do_ass::assigned, pane); });
    ASSERT_TRUE(t);
    const Rows before = RowsOf(t);
    ASSERT_GT(before.size(), 1000u);
    POINT from{}, to{};
    Run([&] {
      from = CellPoint(t, 0, 6);  // "day No"
      to = CellPoint(t, 0, 3);    // "Task"
    });
    kwitest::DragMouse(reinterpret_cast<HWND>(pane), from, to);
    Pump(200);
    const Rows after = RowsOf(t);
    ASSERT_EQ(after.size(), before.size());
    // The same rows, each whole with its number, now in the order of a column.
    EXPECT_EQ(AsListing(after), AsListing(before));
    std::map<std::wstring, Cells> byNumber;
    for (const Cells& r : before) byNumber[r[0]] = r;
    for (const Cells& r : after) ASSERT_EQ(byNumber[r[0]], r);
    EXPECT_NE(after, before);
    // Ordered by the task, the column dropped on.
    for (size_t i = 1; i < after.size(); ++i) ASSERT_LE(lstrcmpW(after[i - 1][2].c_str(), after[i][2].c_str()), 0) << i;

    Run([&] { EXPECT_TRUE(t->popup_callback(10101)); });
    const std::string parsed = kwitest::ShellOutput(
        "xclip -o -selection clipboard | python3 -c 'import csv,sys; r=list(csv.reader(sys.stdin, delimiter=chr(9),"
        " quoting=csv.QUOTE_NONE)); print(len(r)); [print(chr(9).join(x[:-1])) for x in r]'",
        dir + L"csv.txt", 120);
    std::string want = std::to_string(after.size()) + "\n";
    for (const Cells& r : after) {
      std::wstring line;
      for (size_t i = 0; i < r.size(); ++i) line += (i ? L"\t" : L"") + r[i];
      want += Utf8(line) + "\n";
    }
    EXPECT_TRUE(parsed == want) << parsed.substr(0, 400);
    Run([&] { t->destroy_scroll2(); });
  });
}

}  // namespace
