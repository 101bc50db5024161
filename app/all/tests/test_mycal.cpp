// The calendar window and its duty, weekend and holiday layers on real
// windows (Xvfb): grid geometry per view, the saved view, the week
// controls, pixels on a memory picture and on the window, and the
// planner's clicks, keys and menu by SendInput, every change read back
// from the saved document by a fresh process.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <thread>

#include "SYSTEM/options/options_db.h"
#include "SYSTEM/timepack/mytime.h"
#include "answer.h"
#include "checks.h"
#include "commandtree/comtree.h"
#include "comtree_recorder.h"
#include "dlgs/Tie_definition.h"
#include "gui.h"
#include "kalmoradb/sc_holidays.h"
#include "kalmoradb/sc_include.h"
#include "kalmoradb/sc_mod_date.h"
#include "SYSTEM/myKWI/myKWI.h"
#include "kalmoradb/lock_ass.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/staff_db.h"
#include "kwi/kwi.h"
#include "liboxes/stats_tab.h"
#include "mycal/draw_assign.h"
#include "mycal/draw_cant_dos.h"
#include "mycal/draw_hols.h"
#include "mycal/draw_ties.h"
#include "mycal/draw_weekends.h"
#include "phase1/sc_phase1.h"
#include "pixels.h"
#include "print_checks.h"
#include "roster_fixture.h"
#include "roster_test.h"
#include "wyn_test.h"
#include "mycal/layer_terms.h"
#include "roster_validator.h"
#include "roster_generator.h"
#include "KWI/stop_pack/stop.h"
#include <atomic>

namespace alltest {
namespace {

using namespace QEL_KWI;
using all::calendarWIN;
using all::draw_cant_dos;
using all::draw_dtbd;
using all::draw_hols;
using all::draw_ties;
using all::draw_weekends;
using all::rule_added;
using all::showing_kind;
using all::slot_rct;
using kwitest::Pixels;
using rizediveva6::options_db;
using rizediveva6::time_convert;
namespace K = Qel::RunTime::Kernel;

LONG_PTR L(HWND w) { return reinterpret_cast<LONG_PTR>(w); }

// The handler of the data pane: every event goes to the layer's handler.
std::function<bool(LONG_PTR, event_struct*)> g_layer;
LONG_PTR PaneEvents(HWND w, event_struct* e) {
  if (!g_layer || !g_layer(L(w), e)) kwitest::Fail();
  return 0;
}

// A child window of the task as the data pane, w x h pixels at (0, 0); the
// task covers the screen, so that the pane is visible.
LONG_PTR MakePane(HWND task, int w, int h) {
  static kwitest::Closure closure(PaneEvents);
  static kwitest::Terms terms;
  MoveWindow(task, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), TRUE);
  rect_struct r{0, 0, w, h};
  return win_Create(wt_child, &r, L"", terms.NoMenu(), L(task), terms.Flags({}), &closure, 0);
}

// A hidden child window of the task (a statistics table's or the command
// tree's title pane in tests of the layers).
LONG_PTR MakeHiddenWindow(HWND task) {
  static kwitest::Terms terms;
  rect_struct r{0, 0, 300, 200};
  const LONG_PTR w = win_Create(wt_child, &r, L"", terms.NoMenu(), L(task), terms.Flags({}), tav::NoEventHandler(), 0);
  ShowWindow(reinterpret_cast<HWND>(w), SW_HIDE);
  return w;
}

// The lines a list holds.
uint32_t LineCount(rizediveva6::libox* l) {
  uint32_t n = 0;
  rizediveva6::line ln;
  while (l->nth_line(n + 1, &ln)) ++n;
  return n;
}

// A 24-week roster (enough rows for a 20-row view) with one date change
// (a one-off duty on Tuesday of week 1) and the small roster's lists.
RosterSpec CalendarSpec(uint32_t slots = 3) {
  RosterSpec s = SmallSpec();
  s.weeks = 24;
  s.ties.clear();
  s.loads.clear();
  if (slots == 10) {
    s.slots.clear();
    for (uint32_t k = 1; k <= 10; ++k) s.slots.push_back(L"S" + std::to_wstring(k));
    s.typical.clear();
    s.weekend.clear();
    for (uint32_t kind : {all::kWeekday, all::kSaturday, all::kSunday})
      for (const std::wstring& slot : s.slots) s.typical.push_back({kind, {L"Station", L"Haus A", slot}});
  }
  s.changes = {{{2026, 10, 6}, 2, {L"Visite", L"Haus B", s.slots[0]}}};
  return s;
}

class Calendar : public Roster {
 protected:
  void SetUp() override {
    Roster::SetUp();
    ComtreeCalls().clear();
    all::comtree::db3.db_stats_tab.clear();
    all::sc_include::sdb_include = {all::include_kind::all, 0, nullptr};
    options_db::various_i(L"simple", 1);
    View(1, 2, 0);
  }
  void TearDown() override {
    g_layer = nullptr;
    Roster::TearDown();
  }
  void Open(const RosterSpec& spec) {
    DeleteFileW(Path(L"r.km6").c_str());  // a folder left by an ended run may hold one
    New();
    Run([&] { WriteSpec(spec); });
  }
  // The saved view; start 0: the roster's start.
  void View(int across, int down, uint64_t start) {
    options_db::various_i(L"weeksacross", across);
    options_db::various_i(L"weeksdown", down);
    options_db::various_u64(L"weekstart", start ? start : 1);
  }
  // Saves the open document and closes the model; the fresh process's
  // view of a part of it ("dump", "lists").
  std::wstring SavedThenRead(const std::wstring& part) {
    Run([] {
      kalmora_DB::save_kalmora();
      kalmora_DB::uninit();
    });
    for (rizediveva6::document* d : open_) RunTrapped([&] { d->orv_close(rizediveva6::MakeList<const wchar_t*>({}), false); });
    open_.clear();
    auto [code, text] = RosterChild(part + L" \"" + Path(L"r.km6") + L"\"");
    EXPECT_EQ(code, 0u) << Narrow(text);
    return text;
  }
  // The saved document opened again in process.
  void Reopen() {
    rizediveva6::document* d = nullptr;
    Run([&] {
      d = rizediveva6::orvDB::new_file_def(
          rizediveva6::make_file_def(tav::HeapCopy(Path(L"r.km6").c_str()), false, rizediveva6::kBackupNone));
      kalmora_DB::init(d);
    });
    open_.push_back(d);
  }
  // The layer made on the pane, given the pane's events, painted once.
  template <class L>
  L* Show(LONG_PTR pane, L* (*make)(LONG_PTR), bool (L::*handler)(LONG_PTR, const event_struct*)) {
    L* layer = nullptr;
    Run([&] { layer = make(pane); });
    g_layer = [=](LONG_PTR w, event_struct* e) { return (layer->*handler)(w, e); };
    win_Invalidate_0(pane);
    kwitest::PumpUntil([] { return false; }, 300);
    return layer;
  }
  static void SetBars(calendarWIN& c, int across, int down) {
    const controlinfo a{ci_scroll, 5, across}, d{ci_scroll, 5, down};
    c.across_bar()->scroll_it(&a);
    c.down_bar()->scroll_it(&d);
    c.cal_full_draw();
  }
  // A calendar on the pane set to 3 x 4 weeks from the roster's second
  // week and drawn (which saves that view); its start.
  uint64_t ShowThreeByFourAWeekOn(LONG_PTR pane) {
    uint64_t shown = 0;
    Run([&] {
      calendarWIN* cal = calendarWIN::new_calendarwin(pane);
      SetBars(*cal, 3, 4);
      cal->move_start_time(1);
      cal->drew_cal();
      shown = cal->start_display();
    });
    return shown;
  }
};

std::vector<const slot_rct*> Kept(const calendarWIN& c) {
  std::vector<const slot_rct*> out;
  for (const slot_rct& r : c.slot_rcts()) out.push_back(&r);
  return out;
}

std::set<int> RowTops(const calendarWIN& c) {
  std::set<int> tops;
  for (const slot_rct& r : c.slot_rcts())
    if (r.at.slot == 1) tops.insert(r.rect.top);
  return tops;
}

// Colours equal within the gradient's rounding (3 per channel).
bool Near(uint32_t a, uint32_t b) {
  for (int shift : {0, 8, 16})
    if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 3) return false;
  return true;
}

pnt_struct Centre(rect_struct r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

// Mouse input at a point of the window: the pointer moved there, then the
// flags' button events, messages pumped after each.
void Mouse(LONG_PTR w, pnt_struct p, std::initializer_list<DWORD> flags) {
  POINT s{p.x, p.y};
  ClientToScreen(reinterpret_cast<HWND>(w), &s);
  SetCursorPos(s.x, s.y);
  kwitest::PumpUntil([] { return false; }, 80);
  for (DWORD f : flags) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = f;
    SendInput(1, &in, sizeof in);
    kwitest::PumpUntil([] { return false; }, 80);
  }
}

// A real click (button 0 left, 1 right) at a point of the window.
void Click(LONG_PTR w, pnt_struct p, int button) {
  if (button) Mouse(w, p, {MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP});
  else Mouse(w, p, {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP});
}

void Move(LONG_PTR w, pnt_struct p) { Mouse(w, p, {}); }

void Key(WORD vk) {
  kwitest::SendKey(vk, false);
  kwitest::SendKey(vk, true);
}

void Pump(DWORD ms = 300) { kwitest::PumpUntil([] { return false; }, ms); }

// A right press at p opens the layer's pop-up menu, whose own loop a helper
// thread answers with the keys; the button is released after the choice
// (Wine closes a menu on a release over none of its items).
void ChooseFromMenu(LONG_PTR w, pnt_struct p, std::vector<WORD> keys) {
  std::thread answer([keys] {
    Sleep(500);
    for (WORD vk : keys) {
      Key(vk);
      Sleep(120);
    }
    INPUT up{};
    up.type = INPUT_MOUSE;
    up.mi.dwFlags = MOUSEEVENTF_RIGHTUP;
    SendInput(1, &up, sizeof up);
  });
  Mouse(w, p, {MOUSEEVENTF_RIGHTDOWN});
  Pump(1500);
  answer.join();
  Pump();
}

// --- Grid ---------------------------------------------------------------------------

// Every view draws exactly its rows: Down rows of Across weeks while the
// roster lasts and a row starts inside the window; a slot rectangle for
// every slot of every roster day drawn.
TEST_F(Calendar, GridDrawsTheRowsOfTheViewAndKeepsTheirSlots) {
  struct Case {
    int across, down, height;
    size_t rows;
  } cases[] = {{1, 2, 600, 2}, {2, 4, 600, 4}, {5, 20, 600, 5}, {1, 20, 1200, 20}, {2, 4, 1200, 4},
               {1, 20, 200, 0 /* as many as start inside */}};
  Open(CalendarSpec());
  rztest::InTask([&](HWND task) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::to_string(c.across) + "x" + std::to_string(c.down) + " in " + std::to_string(c.height));
      const LONG_PTR pane = MakePane(task, 900, c.height);
      calendarWIN* cal = nullptr;
      Run([&] {
        cal = calendarWIN::new_calendarwin(pane);
        SetBars(*cal, c.across, c.down);
        cal->drew_cal();
      });
      ASSERT_TRUE(cal->just_drawn());
      RECT client;
      GetClientRect(reinterpret_cast<HWND>(pane), &client);
      const std::set<int> tops = RowTops(*cal);
      const int lineH = tops.empty() ? 0 : *tops.begin();
      const int rowH = all::RoundHalfAway((0.99 * client.bottom - lineH) / c.down);
      size_t rows = c.rows;
      if (c.height == 200) rows = (client.bottom - lineH + rowH + 1) / (rowH + 2);
      ASSERT_EQ(tops.size(), rows);
      int r = 0;
      for (int top : tops) {
        EXPECT_EQ(top, all::RoundHalfAway(r * 2.0 + r * rowH + lineH)) << "row " << r;
        EXPECT_LT(top, client.bottom);
        ++r;
      }
      // Each roster day of the drawn rows has all its slots once.
      std::map<std::tuple<uint32_t, uint32_t>, std::set<uint32_t>> days;
      for (const slot_rct* s : Kept(*cal)) days[{s->at.period, s->at.day}].insert(s->at.slot);
      const size_t weeks = rows * c.across;  // also days after the roster's end, inside its 104 weeks
      EXPECT_EQ(days.size(), weeks * 7);
      for (const auto& [day, slots] : days) EXPECT_EQ(slots.size(), 3u);
      // Labels: the date and day name in slot 1 only.
      for (const slot_rct* s : Kept(*cal)) {
        const std::wstring text = s->text;
        if (s->at.slot != 1) EXPECT_EQ(text, L"");
        else EXPECT_NE(text.find(rizediveva6::mytime::dt_dayname(s->date)), std::wstring::npos) << Narrow(text);
      }
      win_Destroy(pane);
    }
  });
}

// The date picture: the longest that fits the column, chosen again at every
// full draw, so narrowing falls back and widening brings it back.
TEST_F(Calendar, DatePictureFollowsTheColumnWidth) {
  Open(CalendarSpec());
  rztest::InTask([&](HWND task) {
    const LONG_PTR pane = MakePane(task, 1200, 500);
    calendarWIN* cal = nullptr;
    Run([&] { cal = calendarWIN::new_calendarwin(pane); });
    struct Case {
      int width, across;
      const wchar_t* picture;  // null: none fits ("d")
    } cases[] = {{1200, 1, L"dd MMM yyyy"}, {200, 5, nullptr}, {1200, 1, L"dd MMM yyyy"}};
    for (const Case& c : cases) {
      SCOPED_TRACE(c.width);
      MoveWindow(reinterpret_cast<HWND>(pane), 0, 0, c.width, 500, FALSE);
      Run([&] {
        SetBars(*cal, c.across, 2);
        cal->drew_cal();
      });
      EXPECT_EQ(calendarWIN::db_date_format ? std::wstring(calendarWIN::db_date_format) : L"",
                c.picture ? std::wstring(c.picture) : L"");
      const slot_rct& first = cal->slot_rcts()[0];
      const std::wstring date = rizediveva6::mytime::tv_format(time_convert::date_tv(first.date),
                                                               c.picture ? c.picture : L"d");
      EXPECT_EQ(std::wstring(first.text).substr(0, date.size() + 1), date + L" ");
    }
  });
}

// The view is saved at every full draw and read at creation; any damaged
// value gives all three defaults.
TEST_F(Calendar, SavedViewIsRestoredAndDamagedValuesGiveDefaults) {
  Open(CalendarSpec());
  const uint64_t rosterStart = kalmora_DB::get_start_date();
  rztest::InTask([&](HWND task) {
    const LONG_PTR pane = MakePane(task, 800, 500);
    const uint64_t shown = ShowThreeByFourAWeekOn(pane);
    int32_t across = 0, down = 0;
    uint64_t start = 0;
    ASSERT_TRUE(options_db::various_i(L"weeksacross", &across) && options_db::various_i(L"weeksdown", &down) &&
                options_db::various_u64(L"weekstart", &start));
    EXPECT_EQ(across, 3);
    EXPECT_EQ(down, 4);
    EXPECT_EQ(start, shown);
    EXPECT_EQ(time_convert::tv_week_no(start), time_convert::tv_week_no(rosterStart) + 1);
    calendarWIN* again = nullptr;
    Run([&] { again = calendarWIN::new_calendarwin(pane); });
    EXPECT_EQ(again->weeks_across(), 3u);
    EXPECT_EQ(again->weeks_down(), 4u);
    EXPECT_EQ(again->start_display(), shown);

    struct Damaged {
      const char* what;
      int across, down;
      uint64_t start;
    } damaged[] = {{"across 0", 0, 4, shown},  {"across 6", 6, 4, shown},
                   {"down 0", 3, 0, shown},    {"down 21", 3, 21, shown},
                   {"start past every date", 3, 4, ~uint64_t{0}}};
    for (const Damaged& d : damaged) {
      SCOPED_TRACE(d.what);
      View(d.across, d.down, d.start);
      calendarWIN* c = nullptr;
      ASSERT_EQ(Error([&] {
                  c = calendarWIN::new_calendarwin(pane);
                  c->drew_cal();
                }),
                0u);
      EXPECT_EQ(c->weeks_across(), 1u);
      EXPECT_EQ(c->weeks_down(), 2u);
      EXPECT_EQ(c->start_display(), rosterStart);
      EXPECT_FALSE(c->slot_rcts().empty());
    }
  });
}

// The size of a file; -1 when it cannot be read.
int64_t FileSize(const wchar_t* path) {
  WIN32_FILE_ATTRIBUTE_DATA a;
  if (!GetFileAttributesExW(path, GetFileExInfoStandard, &a)) return -1;
  return int64_t{a.nFileSizeHigh} << 32 | a.nFileSizeLow;
}

// Draws with an unchanged view leave the options file alone (here emptied
// by the test behind the program's back); a moved view is written at its
// next draw.
TEST_F(Calendar, TheOptionsFileIsWrittenOnlyWhenTheViewChanged) {
  Open(CalendarSpec());
  rztest::InTask([&](HWND task) {
    const LONG_PTR pane = MakePane(task, 800, 500);
    ShowThreeByFourAWeekOn(pane);
    const wchar_t* file = rizediveva6::OptionsFileName();
    ASSERT_GT(FileSize(file), 0);
    CloseHandle(CreateFileW(file, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, 0, nullptr));
    ASSERT_EQ(FileSize(file), 0);
    calendarWIN* c = nullptr;
    Run([&] {
      c = calendarWIN::new_calendarwin(pane);
      c->drew_cal();
      c->cal_full_draw();
      c->drew_cal();
    });
    EXPECT_EQ(FileSize(file), 0);
    Run([&] {
      c->move_start_time(1);
      c->drew_cal();
    });
    EXPECT_GT(FileSize(file), 0);
    uint64_t start = 0;
    EXPECT_TRUE(options_db::various_u64(L"weekstart", &start));
    EXPECT_EQ(start, c->start_display());
  });
}

// Started by the test below as a fresh process (this program again): a
// calendar made on the document named by the environment, its view printed
// as "view <across> <down> <start>".  The saved view is left as it is.
class FreshView : public Roster {};

TEST_F(FreshView, DISABLED_PrintsTheViewOfANewCalendar) {
  wchar_t file[MAX_PATH];
  ASSERT_GT(GetEnvironmentVariableW(L"MYCAL_VIEW_DOC", file, MAX_PATH), 0u);
  rizediveva6::document* d = nullptr;
  Run([&] {
    options_db::read_opt();  // as the program does at its start
    d = rizediveva6::orvDB::new_file_def(rizediveva6::make_file_def(tav::HeapCopy(file), false, rizediveva6::kBackupNone));
    all::kalmora_DB::init(d);
  });
  open_.push_back(d);
  rztest::InTask([&](HWND task) {
    const LONG_PTR pane = MakePane(task, 800, 500);
    Run([&] {
      calendarWIN* c = calendarWIN::new_calendarwin(pane);
      printf("view %u %u %llu\n", c->weeks_across(), c->weeks_down(),
             static_cast<unsigned long long>(c->start_display()));
      fflush(stdout);
    });
  });
}

TEST_F(Calendar, AFreshProcessOpensTheSavedViewOrTheDefaults) {
  Open(CalendarSpec());
  const uint64_t rosterStart = kalmora_DB::get_start_date();
  uint64_t shown = 0;
  rztest::InTask([&](HWND task) {
    shown = ShowThreeByFourAWeekOn(MakePane(task, 800, 500));
  });
  Run([] {
    kalmora_DB::save_kalmora();
    kalmora_DB::uninit();
  });
  for (rizediveva6::document* d : open_) RunTrapped([&] { d->orv_close(rizediveva6::MakeList<const wchar_t*>({}), false); });
  open_.clear();
  SetEnvironmentVariableW(L"MYCAL_VIEW_DOC", Path(L"r.km6").c_str());
  auto viewOfAFreshProcess = [] {
    auto [code, text] = RunBeside(L"mycal_tests.exe", L"--gtest_also_run_disabled_tests "
                                                      L"--gtest_filter=FreshView.DISABLED_PrintsTheViewOfANewCalendar");
    EXPECT_EQ(code, 0u) << Narrow(text);
    for (std::wstring l : LinesOf(text))
      if (l.rfind(L"view ", 0) == 0) return l.substr(0, l.find_last_not_of(L"\r") + 1);
    return L"no view in: " + text;
  };
  EXPECT_EQ(viewOfAFreshProcess(), L"view 3 4 " + std::to_wstring(shown));
  EXPECT_NE(shown, rosterStart);
  View(6, 4, shown);  // damaged: all three defaults
  EXPECT_EQ(viewOfAFreshProcess(), L"view 1 2 " + std::to_wstring(rosterStart));
  SetEnvironmentVariableW(L"MYCAL_VIEW_DOC", nullptr);
}

// The grid and the duties drawn on a job of the CUPS PDF queue: every row of
// a 2 x 4 view on the page (a page is far taller than the window), with its
// slot labels, and the day names; the screen's rectangles come back after.
TEST_F(Calendar, PrintedGridHoldsEveryRowOfTheView) {
  ASSERT_TRUE(kwitest::HasPdfQueue()) << "the CUPS queue KwiPDF";
  Open(CalendarSpec());
  const std::wstring title = L"CalendarJob" + std::to_wstring(GetTickCount());
  std::set<int> printedRows;
  std::vector<rect_struct> printedDuties;
  size_t onScreen = 0, afterPrint = 0;
  rztest::InTask([&](HWND task) {
    const LONG_PTR pane = MakePane(task, 800, 500);
    draw_dtbd* layer = Show(pane, &draw_dtbd::new_dtbd, &draw_dtbd::_dtbd_eh);
    Run([&] {
      SetBars(layer->cal, 2, 4);
      layer->drew_dtbd(all::Showing(showing_kind::show_no_extras), rule_added::rule_added_failed);
    });
    onScreen = layer->cal.slot_rcts().size();
    const LONG_PTR job = print_StartJob(title.c_str());
    ASSERT_NE(job, 0);
    ASSERT_EQ(print_StartPage(job), 1);
    Run([&] {
      layer->set_thiswyn_dtbd(rizediveva6::Prnt(job));
      layer->drew_dtbd(all::Showing(showing_kind::show_no_extras), rule_added::rule_added_failed);
      printedRows = RowTops(layer->cal);
      layer->ndd_dtbd([&](const all::dtbd_rec* r) {
        printedDuties.push_back(r->rect);
        K::Fail();
      });
    });
    print_EndPage(job);
    print_EndJob(job);
    Run([&] {
      layer->set_thiswyn_dtbd(rizediveva6::Screen(pane));
      layer->drew_dtbd(all::Showing(showing_kind::show_no_extras), rule_added::rule_added_failed);
      afterPrint = layer->cal.slot_rcts().size();
    });
  });
  EXPECT_EQ(printedRows.size(), 4u);
  EXPECT_GT(onScreen, 0u);
  EXPECT_EQ(afterPrint, onScreen);
  const std::wstring pdf = kwitest::WaitForPdf(title);
  ASSERT_FALSE(pdf.empty());
  const std::string text =
      kwitest::ShellOutput("pdftotext '" + kwitest::UnixName(pdf) + "' -", kwitest::TempDir(L"mycal_tests") + L"job.txt");
  for (const char* day : {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"})
    EXPECT_NE(text.find(day), std::string::npos) << day;
  // Each row of the view labels its slots.
  for (const char* slot : {"Fr\xC3\xBCh", "late", "night"}) {
    size_t rows = 0;
    for (size_t at = text.find(slot); at != std::string::npos; at = text.find(slot, at + 1)) ++rows;
    EXPECT_GE(rows, 4u) << slot << "\n" << text;
  }
  // On paper a duty's cell is white with black text (black with white on screen).
  ASSERT_FALSE(printedDuties.empty());
  HDC printer = CreateDCW(nullptr, L"KwiPDF", nullptr, nullptr);
  ASSERT_TRUE(printer);
  const int dpi = GetDeviceCaps(printer, LOGPIXELSY), ox = GetDeviceCaps(printer, PHYSICALOFFSETX),
            oy = GetDeviceCaps(printer, PHYSICALOFFSETY);
  DeleteDC(printer);
  kwitest::Ppm page(kwitest::ShellOutput("pdftoppm -r " + std::to_string(dpi) + " -singlefile '" +
                                         kwitest::UnixName(pdf) + "'", kwitest::TempDir(L"mycal_tests") + L"page.ppm"));
  ASSERT_GT(page.width, 0);
  const rect_struct cell = printedDuties.front();
  size_t white = 0, dark = 0, all = 0;
  for (int y = cell.top + 2; y < cell.bottom - 2; ++y)
    for (int x = cell.left + 2; x < cell.right - 2; ++x, ++all) {
      const uint32_t c = page.At(ox + x, oy + y);
      const int r = c >> 16 & 0xFF, g = c >> 8 & 0xFF, b = c & 0xFF;
      if (r > 240 && g > 240 && b > 240) ++white;
      if (r < 80 && g < 80 && b < 80) ++dark;
    }
  ASSERT_GT(all, 0u);
  EXPECT_GT(white * 2, all) << white << " of " << all;
  EXPECT_GT(dark, 0u);
}

// The week controls, Escape, scrolling and resizing forget the kept
// rectangles; the controls move the start by a week, Escape back to the
// roster's first day; a start moved far outside the roster draws nothing.
TEST_F(Calendar, WeekControlsEscapeScrollAndSizeForgetTheRectangles) {
  Open(CalendarSpec());
  const uint64_t rosterStart = kalmora_DB::get_start_date();
  rztest::InTask([&](HWND task) {
    const LONG_PTR pane = MakePane(task, 800, 500);
    draw_dtbd* layer = nullptr;
    Run([&] { layer = draw_dtbd::new_dtbd(pane); });
    g_layer = [=](LONG_PTR w, event_struct* e) { return layer->_dtbd_eh(w, e); };
    auto send = [&](event_struct e) {
      layer->_dtbd_eh(pane, &e);
      return layer->cal.slot_rcts().size();
    };
    auto draw = [&] {
      Run([&] { layer->drew_dtbd(all::Showing(showing_kind::show_no_extras), rule_added::rule_added_failed); });
      return layer->cal.slot_rcts().size();
    };
    ASSERT_GT(draw(), 0u);
    const uint32_t week0 = time_convert::tv_week_no(layer->cal.start_display());
    const struct Step {
      const char* what;
      event_struct event;
      int weekMove;  // the start's week after the event, from the roster's first
    } steps[] = {{"981", {e_control, {981}}, 1},
                 {"982", {e_control, {982}}, 0},
                 {"982 before the roster", {e_control, {982}}, -1},
                 {"Escape", {e_char, {27, 0}}, 0},
                 {"vertical scroll", {e_vscroll, {5, 3}}, 0},
                 {"horizontal scroll", {e_hscroll, {5, 2}}, 0},
                 {"size", {e_size, {800, 500}}, 0}};
    for (const Step& s : steps) {
      SCOPED_TRACE(s.what);
      ASSERT_GT(draw(), 0u);
      EXPECT_EQ(send(s.event), 0u);
      EXPECT_FALSE(layer->cal.just_drawn());
      EXPECT_EQ(int(time_convert::tv_week_no(layer->cal.start_display())) - int(week0), s.weekMove);
    }
    draw();
    EXPECT_EQ(layer->cal.weeks_down(), 3u);
    EXPECT_EQ(layer->cal.weeks_across(), 2u);
    // Far after and far before the roster: drawn, nothing kept, no error.
    for (int move : {30, -60}) {
      Run([&] {
        for (int i = 0; i < std::abs(move); ++i) layer->cal.move_start_time(move > 0 ? 1 : -1);
      });
      EXPECT_EQ(draw(), 0u);
    }
    Run([&] { layer->move_start_time_to_zero(); });
    EXPECT_EQ(layer->cal.start_display(), time_convert::date_tv(kalmora_DB::sp_dt(all::sp{1, 1, 1})));
    EXPECT_EQ(time_convert::tv_week_no(layer->cal.start_display()), time_convert::tv_week_no(rosterStart));
  });
}

// --- Duties -------------------------------------------------------------------------

// One column per duty of a slot cell, widths rounded, the filter leaving
// hidden duties' columns empty; a record per drawn duty, reused by repaints.
TEST_F(Calendar, DutyColumnsAndRecords) {
  RosterSpec spec = CalendarSpec();
  for (const wchar_t* where : {L"Haus B", L"Haus C"})
    spec.typical.push_back({all::kWeekday, {L"Station", where, L"Fr\u00FCh"}});
  Open(spec);
  rztest::InTask([&](HWND task) {
    const LONG_PTR pane = MakePane(task, 1000, 600);
    draw_dtbd* layer = nullptr;
    Run([&] {
      layer = draw_dtbd::new_dtbd(pane);
      layer->drew_dtbd(all::Showing(showing_kind::show_no_extras), rule_added::rule_added_failed);
    });
    // Monday of week 1, slot "Früh": Station at Haus A, B and C.
    const slot_rct* cell = layer->cal.slot_of({1, 1, 1});
    ASSERT_NE(cell, nullptr);
    std::vector<const all::dtbd_rec*> inCell;
    layer->ndd_dtbd([&](const all::dtbd_rec* r) {
      if (r->duty.at == all::sp{1, 1, 1}) inCell.push_back(r);
      K::Fail();
    });
    ASSERT_EQ(inCell.size(), 3u);
    const int w = all::RoundHalfAway((cell->rect.right - cell->rect.left) / 3.0);
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(inCell[k]->rect.left, cell->rect.left + k * w);
      EXPECT_EQ(inCell[k]->rect.right, cell->rect.left + (k + 1) * w - 1);
      EXPECT_EQ(inCell[k]->duty.where, uint32_t(k + 1));
      EXPECT_EQ(std::wstring(inCell[k]->key), std::wstring(all::sc_phase1::get_dtbd_key(inCell[k]->duty).text));
    }
    // The one-off duty carries its flag; hit tests find each column.
    const all::dtbd_rec* oneOff = nullptr;
    layer->ndd_dtbd([&](const all::dtbd_rec* r) {
      if (r->modified) oneOff = r;
      K::Fail();
    });
    ASSERT_NE(oneOff, nullptr);
    EXPECT_EQ(oneOff->duty.at, (all::sp{2, 1, 1}));
    for (const all::dtbd_rec* r : inCell) EXPECT_EQ(layer->duty_at(Centre(r->rect)), r);
    uint32_t period = 0;
    EXPECT_TRUE(layer->pnt_period(Centre(oneOff->rect), &period));
    EXPECT_EQ(period, 1u);
    EXPECT_FALSE(layer->pnt_period({1, 1}, &period));

    // A location filter hides Haus B: its column stays empty, the others keep
    // their places.
    all::sc_include::sdb_include = {all::include_kind::where, 2, nullptr};
    Run([&] {
      layer->full_draw();
      layer->drew_dtbd(all::Showing(showing_kind::show_no_extras), rule_added::rule_added_failed);
    });
    std::vector<int> lefts;
    layer->ndd_dtbd([&](const all::dtbd_rec* r) {
      if (r->duty.at == all::sp{1, 1, 1}) lefts.push_back(r->rect.left);
      K::Fail();
    });
    EXPECT_EQ(lefts, (std::vector<int>{cell->rect.left + w}));
    all::sc_include::sdb_include = {all::include_kind::all, 0, nullptr};
  });
}

// Pixels: the same drawing on a memory picture and on the window; header,
// slot cells, duty columns plain and faded, the one-off marker, holiday
// and weekend circles at their centres.
TEST_F(Calendar, PixelsOfTheGridAndTheDuties) {
  Open(CalendarSpec());
  rztest::InTask([&](HWND task) {
    const LONG_PTR pane = MakePane(task, 900, 500);
    Run([&] { draw_dtbd::new_dtbd(pane); });  // the scroll bars take their room
    RECT client;
    GetClientRect(reinterpret_cast<HWND>(pane), &client);
    const int W = client.right, H = client.bottom;
    rect_struct all{0, 0, W, H};
    for (int simple : {1, 0}) {
      SCOPED_TRACE(simple);
      options_db::various_i(L"simple", simple);
      for (showing_kind showing : {showing_kind::show_no_extras, showing_kind::show_holidays,
                                   showing_kind::show_weekends}) {
        draw_dtbd* layer = nullptr;
        Run([&] {
          layer = draw_dtbd::new_dtbd(pane);
          layer->drew_dtbd(all::Showing(showing), rule_added::rule_added_failed);
        });
        const Pixels window = rztest::WindowPixels(pane, all);
        Pixels picture;
        picture = rztest::DrawOnPicture(W, H, [&](LONG_PTR p) {
          Run([&] {
            layer->set_thiswyn_dtbd(rizediveva6::Screen(p));
            layer->full_draw();
            layer->drew_dtbd(all::Showing(showing), rule_added::rule_added_failed);
          });
        });
        size_t differ = 0, firstAt = 0;
        for (size_t i = 0; i < window.rgb.size() && i < picture.rgb.size(); ++i)
          if (window.rgb[i] != picture.rgb[i] && !differ++) firstAt = i;
        EXPECT_EQ(differ, 0u) << "first at " << firstAt % W << "," << firstAt / W << " window " << std::hex
                              << window.rgb[firstAt] << " picture " << picture.rgb[firstAt];
        // Header: Saturday's and Sunday's cells yellow at their left edge
        // when faded, Monday's grey; white when plain.
        const slot_rct* mon = layer->cal.slot_of({1, 1, 1});
        const slot_rct* sat = layer->cal.slot_of({6, 1, 1});
        ASSERT_TRUE(mon && sat);
        const int y = mon->rect.top / 2;
        EXPECT_PRED2(Near, picture.at(sat->rect.left + 1, y), simple ? 0xFFFFFFu : 0xFFFF00u);
        EXPECT_PRED2(Near, picture.at(mon->rect.left + 1, y), simple ? 0xFFFFFFu : 0xC0C0C0u);
        // Duty columns: white inside when plain, grey 170 at the left when faded.
        const all::dtbd_rec* first = layer->record_of({{1, 1, 1}, 1, 1, false});
        ASSERT_NE(first, nullptr);
        EXPECT_PRED2(Near, picture.at(first->rect.left + 1, first->rect.bottom - 2), simple ? 0xFFFFFFu : 0xAAAAAAu);
        // The one-off duty's red corner.
        const all::dtbd_rec* oneOff = layer->record_of({{2, 1, 1}, 2, 3, true});
        ASSERT_NE(oneOff, nullptr);
        EXPECT_EQ(picture.at(oneOff->rect.left + 2, oneOff->rect.top + 2), 0xFF0000u);
        // The circles: cyan on holidays, yellow on weekend slots, nothing else.
        layer->ndd_dtbd([&](const all::dtbd_rec* r) {
          const rect_struct c = r->rect;
          const int a = all::RoundHalfAway((c.right - c.left) * 0.25), b = all::RoundHalfAway((c.bottom - c.top) * 0.25);
          const uint32_t centre = picture.at(c.left + 2 * a, c.top + 2 * b);
          const bool hol = all::sc_stat_weekend::sp_is_holiday(r->duty.at) == 1;
          const bool we = all::sc_stat_weekend::sp_is_weekend(r->duty.at) == 1;
          if (showing == showing_kind::show_holidays && hol) EXPECT_EQ(centre, 0x00FFFFu);
          else if (showing == showing_kind::show_weekends && we) EXPECT_EQ(centre, 0xFFFF00u);
          else EXPECT_TRUE(centre != 0x00FFFFu && centre != 0xFFFF00u);
          K::Fail();
        });
      }
    }
    // Slot cells without duties: black, with the date in white in slot 1.
    options_db::various_i(L"simple", 1);
    calendarWIN* grid = nullptr;
    Run([&] {
      grid = calendarWIN::new_calendarwin(pane);
      grid->drew_cal();
    });
    const Pixels px = rztest::WindowPixels(pane, all);
    const slot_rct* late = grid->slot_of({1, 1, 2});
    const slot_rct* early = grid->slot_of({1, 1, 1});
    ASSERT_TRUE(late && early);
    EXPECT_EQ(px.at(Centre(late->rect).x, Centre(late->rect).y), 0x000000u);
    EXPECT_EQ(px.at(late->rect.left, late->rect.top + 1), 0x808080u);
    bool white = false;
    for (int x = early->rect.left + 1; x < early->rect.right; ++x)
      for (int yy = early->rect.top + 1; yy < early->rect.bottom; ++yy) white = white || px.at(x, yy) == 0xFFFFFFu;
    EXPECT_TRUE(white);
  });
}

// With a doctor's filter the rules layer crosses the duties a rule of the
// doctor forbids, in the rule's colour.
TEST_F(Calendar, RuleCrossInTheRulesColour) {
  RosterSpec spec = CalendarSpec();
  const std::wstring doctor = spec.doctors[0].name;
  RuleSpec rule{all::who_kind::person_rule, doctor, all::rule_kind::r_slot, 2, {}};
  spec.rules = {rule};
  Open(spec);
  all::sc_include::sdb_include = {all::include_kind::person, 0, doctor.c_str()};
  rztest::InTask([&](HWND) {
    const int W = 900, H = 500;
    draw_dtbd* layer = nullptr;
    const Pixels px = rztest::DrawOnPicture(W, H, [&](LONG_PTR p) {
      Run([&] {
        layer = draw_dtbd::new_dtbd(p);
        layer->drew_dtbd(all::Showing(showing_kind::show_rules), rule_added::rule_added_failed);
      });
    });
    ASSERT_EQ(layer->showing().kind, showing_kind::show_pg_rules);
    int crossed = 0, plain = 0;
    layer->ndd_dtbd([&](const all::dtbd_rec* r) {
      const rect_struct c = r->rect;
      const uint32_t at = px.at(c.left + 3, c.top + 3);  // on the diagonal
      if (r->modified) {
        // the one-off marker's corner
      } else if (r->duty.at.slot == 2) {
        EXPECT_EQ(at, 0xFF0000u) << "own rule's colour, red";
        ++crossed;
      } else {
        EXPECT_NE(at, 0xFF0000u);
        ++plain;
      }
      K::Fail();
    });
    EXPECT_GT(crossed, 0);
    EXPECT_GT(plain, 0);
  });
  all::sc_include::sdb_include = {all::include_kind::all, 0, nullptr};
}

// --- Input --------------------------------------------------------------------------

// A one-off duty made from the pop-up menu (right click, keys through the
// menu), removed by DEL under the mouse; "Remove all modifications";
// hover texts on the help line.  The saved document holds exactly the
// expected date changes.
TEST_F(Calendar, OneOffDutyFromTheMenuAndDel) {
  Open(CalendarSpec());
  std::wstring lists;
  rztest::InTask([&](HWND task) {
    SetForegroundWindow(task);
    const LONG_PTR pane = MakePane(task, 1000, 600);
    draw_dtbd* layer = Show(pane, &draw_dtbd::new_dtbd, &draw_dtbd::_dtbd_eh);
    ASSERT_TRUE(layer->cal.just_drawn());
    // Wednesday of week 2, slot "late": a cell without a one-off duty.
    const slot_rct* cell = layer->cal.slot_of({3, 2, 2});
    ASSERT_NE(cell, nullptr);
    const all::dt date = cell->date;
    win_SetFocus(pane);
    // make duty here > Station > Haus A (id 101).
    ChooseFromMenu(pane, Centre(cell->rect), {VK_DOWN, VK_RIGHT, VK_RIGHT, VK_RETURN});
    const all::dtbd_rec* made = layer->record_of({{3, 2, 2}, 1, 1, true});
    ASSERT_NE(made, nullptr) << "the one-off duty is drawn";
    EXPECT_TRUE(all::sc_mod_date::is_modified(date, all::tls{1, 1, 2}));
    // Hover over the fixture's one-off duty shows its description; DEL
    // removes it.
    const all::dtbd_rec* fixture = layer->record_of({{2, 1, 1}, 2, 3, true});
    ASSERT_NE(fixture, nullptr);
    all::comtree::db3.xcs_help.set({1, L"", 0});
    Move(pane, Centre(fixture->rect));
    Pump();
    const std::wstring hover = all::comtree::db3.xcs_help.get().text;
    EXPECT_NE(hover.find(L"Visite"), std::wstring::npos) << Narrow(hover);
    win_SetFocus(pane);
    Key(VK_DELETE);
    Pump();
    EXPECT_EQ(layer->record_of({{2, 1, 1}, 2, 3, true}), nullptr);
    // Keys and menu ids with no duty or slot under the point change nothing.
    event_struct move{e_mousemove, {}};
    pnt_struct nowhere{1, 1};
    move.w[0] = reinterpret_cast<LONG_PTR>(&nowhere);
    layer->_dtbd_eh(pane, &move);
    for (event_struct e : {event_struct{e_char, {127, 0}}, event_struct{e_menu, {8114, 0}},
                           event_struct{e_menu, {101, 0}}, event_struct{e_menu, {100, 0}},
                           event_struct{e_menu, {2000, 0}}, event_struct{e_menu, {5000, 0}},
                           event_struct{e_menu, {5007, 0}}})
      EXPECT_FALSE(layer->_dtbd_eh(pane, &e)) << e.kind << " " << e.w[0];
    lists = SavedThenRead(L"lists");
  });
  const std::vector<std::wstring> lines = LinesOf(lists);
  EXPECT_NE(std::find(lines.begin(), lines.end(), L"changes 2026-10-14/112"), lines.end()) << Narrow(lists);

  // "Remove all modifications" drops every change.
  Reopen();
  rztest::InTask([&](HWND task) {
    const LONG_PTR pane = MakePane(task, 1000, 600);
    draw_dtbd* layer = nullptr;
    Run([&] {
      layer = draw_dtbd::new_dtbd(pane);
      layer->drew_dtbd(all::Showing(showing_kind::show_no_extras), rule_added::rule_added_failed);
    });
    event_struct clear{e_menu, {8115, 0}};
    EXPECT_TRUE(layer->_dtbd_eh(pane, &clear));
    EXPECT_FALSE(layer->cal.just_drawn() && layer->record_of({{3, 2, 2}, 1, 1, true}));
    lists = SavedThenRead(L"lists");
  });
  const std::vector<std::wstring> cleared = LinesOf(lists);
  EXPECT_NE(std::find(cleared.begin(), cleared.end(), L"changes"), cleared.end()) << Narrow(lists);
}

// Weekend toggles: a left click on a slot-10 duty adds its weekday and
// slot, shown in every week; DEL removes it again.  Holiday toggles add
// and remove a date and repaint only that date.
TEST_F(Calendar, WeekendAndHolidayTogglesByClicks) {
  Open(CalendarSpec(10));
  std::wstring dump;
  rztest::InTask([&](HWND task) {
    SetForegroundWindow(task);
    const LONG_PTR pane = MakePane(task, 1000, 900);
    draw_weekends* we = Show(pane, &draw_weekends::new_weekend, &draw_weekends::_we_eh);
    const all::dtbd_rec* r = we->dtbd.record_of({{3, 2, 10}, 1, 1, false});
    ASSERT_NE(r, nullptr);
    Click(pane, Centre(r->rect), 0);
    Pump();
    EXPECT_EQ(all::sc_stat_weekend::sp_is_weekend({3, 1, 10}), 1u);
    // Shown in both weeks of the view.
    const Pixels px = rztest::WindowPixels(pane, {0, 0, 1000, 900});
    for (uint32_t period : {1u, 2u}) {
      const all::dtbd_rec* d = we->dtbd.record_of({{3, period, 10}, 1, 1, false});
      ASSERT_NE(d, nullptr);
      const rect_struct c = d->rect;
      const int a = all::RoundHalfAway((c.right - c.left) * 0.25), b = all::RoundHalfAway((c.bottom - c.top) * 0.25);
      EXPECT_EQ(px.at(c.left + 2 * a, c.top + 2 * b), 0xFFFF00u) << "week " << period;
    }
    // DEL over the duty removes the day-slot; DEL again fails (not a weekend
    // one); a right click is swallowed; a second left click adds it again.
    win_SetFocus(pane);
    Key(VK_DELETE);
    Pump();
    EXPECT_EQ(all::sc_stat_weekend::sp_is_weekend({3, 1, 10}), 0u);
    event_struct del{e_char, {127, 0}};
    EXPECT_FALSE(we->_we_eh(pane, &del));
    event_struct right{e_mousedown, {0, 0, 1}};
    pnt_struct p = Centre(r->rect);
    right.w[0] = reinterpret_cast<LONG_PTR>(&p);
    EXPECT_TRUE(we->_we_eh(pane, &right));
    EXPECT_EQ(all::sc_stat_weekend::sp_is_weekend({3, 1, 10}), 0u);
    Click(pane, Centre(r->rect), 0);
    Pump();
    EXPECT_EQ(all::sc_stat_weekend::sp_is_weekend({3, 1, 10}), 1u);

    // Holidays: a click on Wednesday of week 1 makes it one; a second click
    // removes it.
    draw_hols* hols = Show(pane, &draw_hols::new_hols, &draw_hols::_hols_eh);
    const all::dtbd_rec* h = hols->dtbd.record_of({{3, 1, 1}, 1, 1, false});
    ASSERT_NE(h, nullptr);
    // A statistics table on show, its rows emptied: the click has it
    // recalculated.
    all::stats_tab* table = nullptr;
    Run([&] {
      const LONG_PTR tableWindow = MakeHiddenWindow(task);
      table = all::stats_tab::new_stats_tab(rizediveva6::Nil<const wchar_t*>(), tableWindow);
      all::comtree::db3.db_stats_tab.push_back({table, tableWindow});
      table->lbox_clear();
    });
    ASSERT_EQ(LineCount(table), 0u);
    Click(pane, Centre(h->rect), 0);
    Pump();
    EXPECT_EQ(all::sc_stat_weekend::sp_is_holiday({3, 1, 1}), 1u);
    EXPECT_GT(LineCount(table), 0u);
    all::comtree::db3.db_stats_tab.clear();
    dump = SavedThenRead(L"dump");
  });
  const std::vector<std::wstring> lines = LinesOf(dump);
  EXPECT_NE(std::find(lines.begin(), lines.end(), L"holidays 2026-12-25 2026-12-26 2027-1-1 2026-10-7"), lines.end())
      << Narrow(dump);
  EXPECT_NE(std::find(lines.begin(), lines.end(), L"weekend 10,3"), lines.end()) << Narrow(dump);
}

// Can't-do rules of the doctor in view: a left click toggles "can't do this
// duty" (crossed in the rule's colour), the pop-up menu's items say CAN or
// Can't and toggle their rule, DEL removes the doctor's duty and task
// rules; a group's rule from the menu; nobody in view stores nothing.
TEST_F(Calendar, CantDoRulesByClicksMenuAndDel) {
  Open(CalendarSpec());
  const std::wstring doctor = L"Dr. Sophie Bauer";
  std::wstring gate;
  auto exists = [&](const wchar_t* who, all::who_kind kind, all::rule_kind type, uint32_t number,
                    const wchar_t* key = nullptr) {
    return all::sc_rules::rule_exists(
        all::MakeWhichRule({kind, who, true, type, number, key, all::can_do_kind::i_cant_do}));
  };
  rztest::InTask([&](HWND task) {
    SetForegroundWindow(task);
    const LONG_PTR pane = MakePane(task, 1000, 600);
    all::sc_include::sdb_include = {all::include_kind::person, 0, doctor.c_str()};
    draw_cant_dos* layer = Show(pane, &draw_cant_dos::new_cant_dos, &draw_cant_dos::_cant_do_eh);
    const all::duty_dat duty{{1, 1, 1}, 1, 1, false};  // Monday, week 1: Station at Haus A
    const all::dtbd_rec* r = layer->dtbd.record_of(duty);
    ASSERT_NE(r, nullptr);
    const rect_struct cell = r->rect;
    const std::wstring key = all::sc_phase1::get_dtbd_key(duty).text;
    const all::who_kind person = all::who_kind::person_rule;
    Click(pane, Centre(cell), 0);
    EXPECT_TRUE(exists(doctor.c_str(), person, all::rule_kind::r_dtbd, 0, key.c_str()));
    const Pixels crossed = rztest::WindowPixels(pane, cell);
    EXPECT_EQ(crossed.at(4, 4), 0xFF0000u) << "the diagonal in the doctor's rule colour";
    Pump(GetDoubleClickTime() + 100);  // a second click, not a double click
    Click(pane, Centre(cell), 0);
    EXPECT_FALSE(exists(doctor.c_str(), person, all::rule_kind::r_dtbd, 0, key.c_str()));

    // The menu: the fifth item (any Station) chosen by keys from a helper thread.
    EXPECT_EQ(std::wstring(draw_cant_dos::item_text(draw_cant_dos::kAnyTask, duty)), L"Can't do any Station");
    ChooseFromMenu(pane, Centre(cell), {VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN});
    EXPECT_TRUE(exists(doctor.c_str(), person, all::rule_kind::r_what, 1));
    struct Text {
      uint32_t id;
      const wchar_t* text;
    } texts[] = {{draw_cant_dos::kThisDuty, L"Can't do this duty"}, {draw_cant_dos::kAnySlot, L"Can't do any Fr\u00FCh"},
                 {draw_cant_dos::kAnyDay, L"Can't do any Monday"},  {draw_cant_dos::kThisWeek, L"Can't do this week"},
                 {draw_cant_dos::kAnyTask, L"CAN do any Station"},  {draw_cant_dos::kAnyWhere, L"Can't do any Haus A"}};
    for (const Text& t : texts) EXPECT_EQ(std::wstring(draw_cant_dos::item_text(t.id, duty)), t.text) << t.id;

    // DEL removes the duty rule and the task rule; the week rule stays.
    Pump(GetDoubleClickTime() + 100);
    Click(pane, Centre(cell), 0);
    Move(pane, Centre(cell));
    event_struct week{e_menu, {draw_cant_dos::kThisWeek, 0}};
    EXPECT_TRUE(layer->_cant_do_eh(pane, &week));
    win_SetFocus(pane);
    Key(VK_DELETE);
    Pump();
    EXPECT_FALSE(exists(doctor.c_str(), person, all::rule_kind::r_dtbd, 0, key.c_str()));
    EXPECT_FALSE(exists(doctor.c_str(), person, all::rule_kind::r_what, 1));
    EXPECT_TRUE(exists(doctor.c_str(), person, all::rule_kind::r_period, 1));

    // A group in view: its rule from the menu; DEL removes nothing.
    all::sc_include::sdb_include = {all::include_kind::group, 0, L"Innere"};
    event_struct slot{e_menu, {draw_cant_dos::kAnySlot, 0}};
    EXPECT_TRUE(layer->_cant_do_eh(pane, &slot));
    event_struct del{e_char, {127, 0}};
    EXPECT_TRUE(layer->_cant_do_eh(pane, &del));
    EXPECT_TRUE(exists(L"Innere", all::who_kind::group_rule, all::rule_kind::r_slot, 1));
    // Nobody in view: nothing stored, every item "Can't"; no duty under the
    // point: not handled.
    all::sc_include::sdb_include = {all::include_kind::all, 0, nullptr};
    event_struct any{e_menu, {draw_cant_dos::kAnyWhere, 0}};
    EXPECT_TRUE(layer->_cant_do_eh(pane, &any));
    EXPECT_EQ(std::wstring(draw_cant_dos::item_text(draw_cant_dos::kThisWeek, duty)), L"Can't do this week");
    Move(pane, {1, 1});
    for (event_struct e : {event_struct{e_char, {127, 0}}, event_struct{e_menu, {draw_cant_dos::kThisDuty, 0}}})
      EXPECT_FALSE(layer->_cant_do_eh(pane, &e)) << e.kind;
    gate = SavedThenRead(L"gate");
  });
  std::vector<std::wstring> rules;
  for (const std::wstring& l : LinesOf(gate))
    if (l.rfind(L"rule ", 0) == 0) rules.push_back(l);
  EXPECT_EQ(rules, (std::vector<std::wstring>{L"rule who1(Innere) force2 type1(1) can1",
                                               L"rule who2(Dr. Sophie Bauer) force2 type3(1) can1"}))
      << Narrow(gate);
}

// Ties: a line dragged from duty A to duty B proposes B first, A second,
// must_do, every week, these duties, global; the dialog's OK stores it and
// it is drawn with "S" at A; a stored tie with ends outside its duties is
// drawn inside them; "Delete all ties" from the pop-up menu deletes the
// global ties.
TEST_F(Calendar, TieDrawnFromDutyToDutyAndDeletedFromTheMenu) {
  Open(CalendarSpec());
  const all::duty_dat a{{1, 1, 1}, 1, 1, false}, b{{3, 1, 2}, 2, 2, false};  // Station A early, Notaufnahme B late
  const std::wstring keyA = all::sc_phase1::get_dtbd_key(a).text, keyB = all::sc_phase1::get_dtbd_key(b).text;
  const all::duty_dat c{{2, 1, 3}, 3, 3, false};  // Visite C night
  const std::wstring keyC = all::sc_phase1::get_dtbd_key(c).text;
  Run([&] {
    // Stored ends past the duty (x 5, y -3) and not finite.
    auto* t = static_cast<all::TieDatTerm*>(K::Memory::AllocHeap(sizeof(all::TieDatTerm)));
    *t = *all::MakeTieDat({all::which_kind::global_tie, nullptr, tav::HeapCopy(keyC.c_str()),
                           tav::HeapCopy(keyA.c_str()), all::tie_kind::must_not_do, all::repeat_kind::no_repeat,
                           all::spec_kind::tlsd_spec});
    static const all::RpntTerm from{1, 5.0, -3.0}, to{1, std::nan(""), 0.5};
    static const all::Rpnt2Term ends{1, &from, &to};
    t->drawn = &ends;
    all::ties::add_tie2(t);
  });
  std::wstring dump;
  rztest::InTask([&](HWND task) {
    SetForegroundWindow(task);
    const LONG_PTR pane = MakePane(task, 1000, 600);
    draw_ties* layer = Show(pane, &draw_ties::new_ties, &draw_ties::_ties_eh);
    EXPECT_TRUE(layer->ties().empty()) << "nothing before a selection";
    Run([&] { layer->drew_ties(L"Doctor ties", rizediveva6::Nil<const wchar_t*>()); });
    EXPECT_TRUE(layer->ties().empty());
    Run([&] { layer->drew_ties(L"Global ties", rizediveva6::Nil<const wchar_t*>()); });
    ASSERT_EQ(layer->ties().size(), 1u);
    const all::dtbd_rec* ra = layer->dtbd.record_of(a);
    const all::dtbd_rec* rb = layer->dtbd.record_of(b);
    const all::dtbd_rec* rc = layer->dtbd.record_of(c);
    ASSERT_TRUE(ra && rb && rc);
    // The clamped end: the right edge of C's duty; the label at A's left edge.
    EXPECT_EQ(layer->ties()[0].label.left, ra->rect.left);
    EXPECT_EQ(layer->ties()[0].label.bottom, all::RoundHalfAway(ra->rect.top + (ra->rect.bottom - ra->rect.top) * 0.5));

    // The drag: press on A, moves, release on B; the dialog answered OK.
    testbox::Script answer({{nullptr, [](HWND d) { testbox::ClickButton(d, all::tie_definition::kOk); }}});
    const pnt_struct from = Centre(ra->rect), to = Centre(rb->rect);
    Mouse(pane, from, {MOUSEEVENTF_LEFTDOWN});
    EXPECT_TRUE(layer->dragging());
    for (int i = 1; i <= 4; ++i)
      Move(pane, {from.x + (to.x - from.x) * i / 4, from.y + (to.y - from.y) * i / 4});
    Mouse(pane, to, {MOUSEEVENTF_LEFTUP});
    answer.Finish();
    Pump();
    EXPECT_FALSE(layer->dragging());
    ASSERT_EQ(answer.Boxes().size(), 1u);
    std::vector<all::tie_value> stored;
    for (const auto* l = all::ties::all_ties(); !l->Empty(); l = l->tail) stored.push_back(all::TieValueOf(l->head->dat));
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(std::wstring(stored[1].first), keyB);
    EXPECT_EQ(std::wstring(stored[1].second), keyA);
    EXPECT_EQ(stored[1].who, all::which_kind::global_tie);
    EXPECT_EQ(stored[1].tieDo, all::tie_kind::must_do);
    EXPECT_EQ(stored[1].repeat, all::repeat_kind::repeat_week);
    EXPECT_EQ(stored[1].spec, all::spec_kind::tlsd_spec);
    ASSERT_EQ(layer->ties().size(), 2u) << "drawn after the invalidation";
    // "S" in blue at A, where the new tie's second end lies.
    const rect_struct label = layer->ties()[1].label;
    const Pixels px = rztest::WindowPixels(pane, label);
    EXPECT_NE(std::find(px.rgb.begin(), px.rgb.end(), 0x0000FFu), px.rgb.end());
    // A release without a press is not handled; a move over a label is kept.
    event_struct up{e_mouseup, {}};
    pnt_struct p = Centre(rb->rect);
    up.w[0] = reinterpret_cast<LONG_PTR>(&p);
    EXPECT_FALSE(layer->_ties_eh(pane, &up));
    dump = SavedThenRead(L"ties");
  });
  std::vector<std::wstring> ties;
  for (const std::wstring& l : LinesOf(dump))
    if (l.rfind(L"tie ", 0) == 0) ties.push_back(l);
  EXPECT_EQ(ties, (std::vector<std::wstring>{L"tie " + keyC + L" " + keyA + L" who1 do2 repeat3 spec1",
                                              L"tie " + keyB + L" " + keyA + L" who1 do1 repeat1 spec1"}))
      << Narrow(dump);

  // "Delete all ties" from the layer's pop-up menu (resource 10109).
  Reopen();
  rztest::InTask([&](HWND task) {
    SetForegroundWindow(task);
    const LONG_PTR pane = MakePane(task, 1000, 600);
    draw_ties* layer = Show(pane, &draw_ties::new_ties, &draw_ties::_ties_eh);
    Run([&] { layer->drew_ties(L"Global ties", rizediveva6::Nil<const wchar_t*>()); });
    const all::dtbd_rec* rb = layer->dtbd.record_of(b);
    ASSERT_NE(rb, nullptr);
    ChooseFromMenu(pane, Centre(rb->rect), {VK_DOWN, VK_RETURN});
    EXPECT_TRUE(all::ties::all_ties()->Empty());
    EXPECT_TRUE(layer->ties().empty());
    dump = SavedThenRead(L"ties");
  });
  EXPECT_EQ(dump.find(L"tie "), std::wstring::npos) << Narrow(dump);
}

// --- Assignments ----------------------------------------------------------------------

namespace assigns {

using all::draw_assign;

// A character typed as itself (upper and lower case differ).
void Type(wchar_t c) {
  INPUT in[2]{};
  for (int i = 0; i < 2; ++i) {
    in[i].type = INPUT_KEYBOARD;
    in[i].ki.wScan = c;
    in[i].ki.dwFlags = KEYEVENTF_UNICODE | (i ? KEYEVENTF_KEYUP : 0);
  }
  SendInput(2, in, sizeof in[0]);
  Pump(200);
}

// Shift held around a left click.
void ShiftClick(LONG_PTR w, pnt_struct p) {
  Pump(600);  // no double click with an earlier one
  kwitest::SendKey(VK_SHIFT, false);
  Click(w, p, 0);
  kwitest::SendKey(VK_SHIFT, true);
  win_SetFocus(w);
  Pump(100);
}

// A stored colour (0x00BBGGRR) as a pixel (0xRRGGBB).
uint32_t PixelOf(int32_t colour) {
  const uint32_t c = static_cast<uint32_t>(colour);
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

// Doctor i of the fixture given the letter and colour; read back.
const PersonTerm* Lettered(const RosterSpec& spec, size_t i, wchar_t letter, int32_t colour) {
  const PersonTerm* p = nullptr;
  EXPECT_TRUE(all::staff_db::get_person(spec.doctors[i].name.c_str(), &p));
  all::staff_db::replace_person(all::MakePerson(p->ref, p->dat->name, rizediveva6::AsSList(p->dat->groups), colour, letter));
  EXPECT_TRUE(all::staff_db::get_person(spec.doctors[i].name.c_str(), &p));
  return p;
}

// Questions answered from a script, in order; each one asked is recorded.
struct Answers {
  static std::vector<uint32_t>& script() {
    static std::vector<uint32_t> s;
    return s;
  }
  static std::vector<std::wstring>& asked() {
    static std::vector<std::wstring> a;
    return a;
  }
  explicit Answers(std::vector<uint32_t> s) {
    script() = std::move(s);
    asked().clear();
    rizediveva6::Dialogs d = rizediveva6::myKWI::dialogs();
    d.ask = [](const wchar_t* q, const tav::StringList* buttons, uint32_t* answer) {
      asked().push_back(q);
      std::wstring b;
      for (auto* l = rizediveva6::AsSList(buttons); !l->Empty(); l = l->tail) b += std::wstring(l->head) + L"|";
      EXPECT_EQ(b, L"&Yes|&Cancel|");
      if (script().empty()) return false;
      *answer = script().front();
      script().erase(script().begin());
      return true;
    };
    old_ = rizediveva6::myKWI::set_dialogs(d);
  }
  ~Answers() { rizediveva6::myKWI::set_dialogs(old_); }
  rizediveva6::Dialogs old_;
};

class Assign : public Calendar {
 protected:
  void TearDown() override {
    AssignLayer() = {};
    all::comtree::db6.boo_init = false;
    all::comtree::db6.xtitle_win.retract();
    all::comtree::db3.xcs_help.set({1, L"", 0});
    Calendar::TearDown();
  }
  // The layer on the pane; the command tree's help line drawn on a hidden
  // window of the task.
  draw_assign* ShowAssign(LONG_PTR pane) {
    all::comtree::db6.xtitle_win.set(MakeHiddenWindow(GetParent(reinterpret_cast<HWND>(pane))));
    all::comtree::db6.boo_init = true;
    draw_assign* layer = Show(pane, &draw_assign::new_assign, &draw_assign::_assign_eh);
    AssignLayer().days = [layer](const rizediveva6::SList* keys) { layer->drew_days_assigns(keys); };
    AssignLayer().whole = [layer] {
      layer->delete_pic2();
      layer->drew_all_assign(rizediveva6::Nil<const wchar_t*>());
    };
    return layer;
  }
  // A 1000 x 600 pane of the task in front, the layer shown and focused.
  draw_assign* ShowFocused(HWND task, LONG_PTR* pane) {
    SetForegroundWindow(task);
    *pane = MakePane(task, 1000, 600);
    draw_assign* layer = ShowAssign(*pane);
    win_SetFocus(*pane);
    return layer;
  }
  static const all::dtbd_rec* Duty(draw_assign* layer, all::duty_dat d) {
    const all::dtbd_rec* r = layer->dtbd.record_of(d);
    EXPECT_NE(r, nullptr);
    return r;
  }
  void Menu(draw_assign* layer, LONG_PTR pane, uint32_t id) {
    event_struct e{e_menu, {static_cast<LONG_PTR>(id)}};
    Run([&] { layer->_assign_eh(pane, &e); });
  }
  static std::wstring Help() { return all::comtree::db3.xcs_help.get().text; }
};

// The box of a column as drawn: lower 60 %, inset a tenth each side.
rect_struct BoxOf(rect_struct c) {
  const double w = c.right - c.left, h = c.bottom - c.top;
  return {c.left + all::RoundHalfAway(0.1 * w), c.top + all::RoundHalfAway(0.4 * h),
          c.left + all::RoundHalfAway(0.9 * w), c.bottom - 1};
}

// Hot keys: the box at once in the doctor's colour (window and picture),
// "already assigned" over an assigned duty, letters nobody has and another
// case change nothing; Shift-click locks (square corner) and unlocks; DEL
// refuses a locked assignment and keeps its box live, removes an unlocked
// one.  A fresh process reads exactly the expected assignments and locks.
TEST_F(Assign, HotKeysLockToggleAndDel) {
  RosterSpec spec = CalendarSpec();
  Open(spec);
  const PersonTerm *first = nullptr, *second = nullptr;
  Run([&] {
    first = Lettered(spec, 0, L'K', 0x3080E0);
    second = Lettered(spec, 1, L'M', 0x20A040);
  });
  const wchar_t letter = first->dat->letter, other = second->dat->letter;
  const uint32_t colour = PixelOf(first->dat->colour);
  std::wstring key;
  rztest::InTask([&](HWND task) {
    SetForegroundWindow(task);
    const LONG_PTR pane = MakePane(task, 1000, 600);
    draw_assign* layer = ShowAssign(pane);
    win_SetFocus(pane);
    const all::dtbd_rec* duty = Duty(layer, {{1, 1, 1}, 1, 1, false});
    ASSERT_NE(duty, nullptr);
    key = duty->key;
    const rect_struct column = duty->rect, box = BoxOf(column);
    const pnt_struct inside{(box.left + box.right) / 2, box.bottom - 2};
    Move(pane, Centre(column));
    // Nobody's letters and the other case: nothing.
    for (wchar_t c : {L'~', static_cast<wchar_t>(letter - L'A' + L'a')}) {
      Type(c);
      EXPECT_TRUE(layer->assignments().empty()) << char(c);
    }
    Type(letter);
    ASSERT_EQ(layer->assignments().size(), 1u);
    EXPECT_EQ(std::wstring(layer->assignments()[0].key), key);
    EXPECT_EQ(layer->assignments()[0].cell.top, box.top);
    EXPECT_EQ(Help(), L"Can do it ");
    rect_struct all{0, 0, 1000, 600};
    Pixels px = rztest::WindowPixels(pane, all);
    EXPECT_EQ(px.at(inside.x, inside.y), colour);
    EXPECT_NE(px.at(box.left, box.top), colour) << "rounded corner";
    // The same on a picture.
    const Pixels picture = rztest::DrawOnPicture(1000, 600, [&](LONG_PTR p) {
      Run([&] {
        draw_assign* onPicture = draw_assign::new_assign(p);
        onPicture->drew_all_assign(rizediveva6::Nil<const wchar_t*>());
      });
    });
    EXPECT_EQ(picture.at(inside.x, inside.y), colour);
    // Another doctor's letter over the assigned duty: refused, shown.
    Type(other);
    EXPECT_EQ(Help(), L"Already assigned ");
    chain_ref holder = 0;
    EXPECT_TRUE(all::sc_assign::is_assigned(key.c_str(), &holder));
    EXPECT_EQ(holder, first->ref);
    // Shift-click locks: square corner in the doctor's colour.
    ShiftClick(pane, inside);
    EXPECT_TRUE(all::lock_ass::is_locked_key(key.c_str()));
    px = rztest::WindowPixels(pane, all);
    EXPECT_EQ(px.at(box.left, box.top), colour);
    // DEL on the locked assignment: refused, the box still answers.
    Move(pane, inside);
    Key(VK_DELETE);
    Pump();
    EXPECT_TRUE(all::sc_assign::is_assigned(key.c_str(), &holder));
    EXPECT_EQ(Help(), L"Cannot delete a locked assignment");
    EXPECT_NE(layer->assignment_at(inside), nullptr);
    // Unlock, then DEL removes it and its box.
    ShiftClick(pane, inside);
    EXPECT_FALSE(all::lock_ass::is_locked_key(key.c_str()));
    Move(pane, inside);
    Key(VK_DELETE);
    Pump();
    EXPECT_FALSE(all::sc_assign::is_assigned(key.c_str(), &holder));
    EXPECT_EQ(layer->assignment_at(inside), nullptr);
    px = rztest::WindowPixels(pane, all);
    EXPECT_NE(px.at(inside.x, inside.y), colour);
    // Assigned again and locked for the saved document.
    Move(pane, Centre(column));
    Type(letter);
    ShiftClick(pane, inside);
  });
  const std::wstring name = all::staff_db::ref_name(first->ref);
  EXPECT_EQ(SavedThenRead(L"gate"), L"ass " + key + L" " + name + L"\nlock " + key + L" " + name + L"\n");
}

// The menu's clears and bulk locks, pointer on and off a duty, "&Yes" and
// "&Cancel", for everyone and for the one doctor shown: the week is found
// before anything is asked, the bulk codes for everything need no week,
// locks survive clears, and a clear that removed something marks the
// document.
TEST_F(Assign, ClearsAndBulkLocksFromTheMenu) {
  RosterSpec spec = CalendarSpec();
  Open(spec);
  const PersonTerm *first = nullptr, *second = nullptr;
  std::vector<std::wstring> keys;  // Monday..Friday "Früh" of weeks 1 and 2, doctors in turn
  Run([&] {
    first = Lettered(spec, 0, L'K', 0x3080E0);
    second = Lettered(spec, 1, L'M', 0x20A040);
    for (uint32_t week : {1u, 2u})
      for (uint32_t day = 1; day <= 5; ++day) {
        const std::wstring key = all::sc_phase1::get_dtbd_key({{day, week, 1}, 1, 1, false}).text;
        all::sc_assign::assign_person(all::test_ass::make_ass_only, key.c_str(), day % 2 ? first->ref : second->ref);
        keys.push_back(key);
      }
  });
  // Assigned and locked keys as "a" / "L" per key.
  auto state = [&] {
    std::wstring s;
    for (const std::wstring& k : keys) {
      chain_ref d;
      s += all::lock_ass::is_locked_key(k.c_str()) ? L'L' : all::sc_assign::is_assigned(k.c_str(), &d) ? L'a' : L'-';
    }
    return s;
  };
  ASSERT_EQ(state(), L"aaaaaaaaaa");
  rztest::InTask([&](HWND task) {
    SetForegroundWindow(task);
    const LONG_PTR pane = MakePane(task, 1000, 600);
    draw_assign* layer = ShowAssign(pane);
    const pnt_struct off{2, 2};
    const pnt_struct week1 = Centre(Duty(layer, {{1, 1, 1}, 1, 1, false})->rect);
    const pnt_struct week2Tue = Centre(Duty(layer, {{2, 2, 1}, 1, 1, false})->rect);
    struct Step {
      const char* what;
      pnt_struct at;
      uint32_t id;
      std::vector<uint32_t> answers;
      const wchar_t* person;  // the filter's doctor (null: everyone)
      size_t asked;
      const wchar_t* after;
      bool marks;
    } steps[] = {
        {"lock all, off a duty", off, draw_assign::kLockAll, {}, nullptr, 0, L"LLLLLLLLLL", true},
        {"unlock all, off a duty", off, draw_assign::kUnlockAll, {}, nullptr, 0, L"aaaaaaaaaa", true},
        {"lock week 2 under the pointer", week2Tue, draw_assign::kLockWeek, {}, nullptr, 0, L"aaaaaLLLLL", true},
        {"clear this week off a duty: nothing asked", off, draw_assign::kClearWeek, {0}, nullptr, 0, L"aaaaaLLLLL", false},
        {"clear this week, cancelled", week1, draw_assign::kClearWeek, {1}, nullptr, 1, L"aaaaaLLLLL", false},
        {"clear this week for the one doctor", week1, draw_assign::kClearWeek, {0}, spec.doctors[0].name.c_str(), 1,
         L"-a-a-LLLLL", true},
        {"clear all for the one doctor, cancelled: one question", off, draw_assign::kClearAll, {1, 0},
         spec.doctors[1].name.c_str(), 1, L"-a-a-LLLLL", false},
        {"unlock week 2", week2Tue, draw_assign::kUnlockWeek, {}, nullptr, 0, L"-a-a-aaaaa", true},
        {"lock this assignment", week2Tue, draw_assign::kLockThis, {}, nullptr, 0, L"-a-a-aLaaa", true},
        {"clear all, cancelled", off, draw_assign::kClearAll, {1}, nullptr, 1, L"-a-a-aLaaa", false},
        {"clear all, yes: the lock stays", off, draw_assign::kClearAll, {0}, nullptr, 1, L"------L---", true},
    };
    for (const Step& s : steps) {
      SCOPED_TRACE(s.what);
      all::sc_include::sdb_include = s.person ? all::include_dom{all::include_kind::person, 0, s.person}
                                              : all::include_dom{all::include_kind::all, 0, nullptr};
      Run([] { kalmora_DB::save_kalmora(); });
      ASSERT_FALSE(open_.back()->is_modified());
      Move(pane, s.at);
      Answers answers(s.answers);
      Menu(layer, pane, s.id);
      EXPECT_EQ(Answers::asked().size(), s.asked);
      if (s.asked && s.person) {
        EXPECT_NE(Answers::asked()[0].find(s.person), std::wstring::npos);
      }
      EXPECT_EQ(state(), s.after);
      EXPECT_EQ(open_.back()->is_modified(), s.marks);
      // The boxes equal the stores.
      size_t boxes = 0;
      for (const std::wstring& k : keys) {
        chain_ref d;
        const bool assigned = all::sc_assign::is_assigned(k.c_str(), &d);
        bool drawn = false;
        for (const all::assigned_rec& r : layer->assignments()) drawn = drawn || k == r.key;
        if (!s.person) {
  EXPECT_EQ(drawn, assigned) << Narrow(k);
}
        boxes += drawn;
      }
    }
    all::sc_include::sdb_include = {all::include_kind::all, 0, nullptr};
  });
  EXPECT_NE(SavedThenRead(L"gate").find(L"lock " + keys[6]), std::wstring::npos);
}

// Filters: one doctor's boxes solid and the others hatched in their own
// colours, a group's doctors only; an assignment whose doctor is gone is
// not drawn and "Consistency check" removes it; "Run engine" from the real
// pop-up menu repaints the days it fills, and at its end the layer's boxes
// equal a fresh full draw's.
TEST_F(Assign, FiltersConsistencyCheckAndEngineRun) {
  RosterSpec spec = CalendarSpec();
  Open(spec);
  const PersonTerm *first = nullptr, *second = nullptr;
  std::wstring mon, tue, wed;
  Run([&] {
    first = Lettered(spec, 0, L'K', 0x3080E0);   // Innere
    second = Lettered(spec, 1, L'M', 0x20A040);  // Chirurgie
    mon = all::sc_phase1::get_dtbd_key({{1, 1, 1}, 1, 1, false}).text;
    tue = all::sc_phase1::get_dtbd_key({{2, 1, 1}, 1, 1, false}).text;
    wed = all::sc_phase1::get_dtbd_key({{3, 1, 1}, 1, 1, false}).text;
    all::sc_assign::assign_person(all::test_ass::make_ass_only, mon.c_str(), first->ref);
    all::sc_assign::assign_person(all::test_ass::make_ass_only, tue.c_str(), second->ref);
    all::sc_assign::tree()->kee_insert(wed.c_str(), 987654);  // a doctor that does not exist
  });
  rztest::InTask([&](HWND task) {
    SetForegroundWindow(task);
    const LONG_PTR pane = MakePane(task, 1000, 600);
    rect_struct all{0, 0, 1000, 600};
    draw_assign* layer = ShowAssign(pane);
    const rect_struct monBox = BoxOf(Duty(layer, {{1, 1, 1}, 1, 1, false})->rect);
    const rect_struct tueBox = BoxOf(Duty(layer, {{2, 1, 1}, 1, 1, false})->rect);
    const rect_struct wedBox = BoxOf(Duty(layer, {{3, 1, 1}, 1, 1, false})->rect);
    EXPECT_EQ(layer->assignment_at(Centre(wedBox)), nullptr) << "the gone doctor's box";
    // Colours among the lower band of a box (below the name).
    auto colours = [](const Pixels& px, rect_struct b) {
      std::set<uint32_t> c;
      for (int x = b.left + 16; x < b.right - 16; ++x)
        for (int y = b.bottom - 6; y < b.bottom - 1; ++y) c.insert(px.at(x, y));
      return c;
    };
    struct Filter {
      const char* what;
      all::include_dom include;
      bool monSolid, tueDrawn, tueSolid;
    } filters[] = {{"everyone", {all::include_kind::all, 0, nullptr}, true, true, true},
                   {"the first doctor", {all::include_kind::person, 0, spec.doctors[0].name.c_str()}, true, true, false},
                   {"group Innere", {all::include_kind::group, 0, L"Innere"}, true, false, false}};
    for (const Filter& f : filters) {
      SCOPED_TRACE(f.what);
      all::sc_include::sdb_include = f.include;
      Run([&] { layer->delete_pic2(); layer->drew_all_assign(rizediveva6::Nil<const wchar_t*>()); });
      const Pixels px = rztest::WindowPixels(pane, all);
      const std::set<uint32_t> m = colours(px, monBox), t = colours(px, tueBox);
      EXPECT_EQ(m, (std::set<uint32_t>{PixelOf(first->dat->colour)}));
      EXPECT_EQ(layer->assignment_at(Centre(tueBox)) != nullptr, f.tueDrawn);
      if (f.tueDrawn && f.tueSolid) {
  EXPECT_EQ(t, (std::set<uint32_t>{PixelOf(second->dat->colour)}));
}
      if (f.tueDrawn && !f.tueSolid) {
        EXPECT_TRUE(t.count(PixelOf(second->dat->colour))) << "hatch lines";
        EXPECT_GT(t.size(), 1u) << "background between them";
      }
      if (!f.tueDrawn) {
  EXPECT_FALSE(t.count(PixelOf(second->dat->colour)));
}
    }
    all::sc_include::sdb_include = {all::include_kind::all, 0, nullptr};
    // Consistency check: the stray assignment goes, the layer is repainted.
    ComtreeCalls().clear();
    Menu(layer, pane, draw_assign::kConsistency);
    chain_ref d;
    EXPECT_FALSE(all::sc_assign::is_assigned(wed.c_str(), &d));
    EXPECT_TRUE(all::sc_assign::is_assigned(mon.c_str(), &d));
    ASSERT_FALSE(ComtreeCalls().empty());
    EXPECT_EQ(ComtreeCalls().back().op, L"update_any_liboxes");
    // "Run engine" from the real menu.
    win_SetFocus(pane);
    ComtreeCalls().clear();
    ChooseFromMenu(pane, Centre(wedBox), {VK_DOWN, VK_RETURN});
    Pump(500);
    size_t runs = 0, days = 0;
    for (const ComtreeCall& c : ComtreeCalls()) {
      runs += c.op == L"run_engine" && c.text == L"run";
      days += c.op == L"drew_few_assigns";
    }
    EXPECT_EQ(runs, 1u);
    EXPECT_GT(days, 0u);
    EXPECT_GT(all::sc_assign::number_assigned(), 2u);
    // The records equal a fresh layer's.
    draw_assign* again = nullptr;
    Run([&] {
      again = draw_assign::new_assign(pane);
      again->drew_all_assign(rizediveva6::Nil<const wchar_t*>());
    });
    std::set<std::wstring> drawn, fresh;
    for (const all::assigned_rec& r : layer->assignments())
      drawn.insert(std::wstring(r.key) + L"@" + std::to_wstring(r.cell.left) + L"," + std::to_wstring(r.cell.top));
    for (const all::assigned_rec& r : again->assignments())
      fresh.insert(std::wstring(r.key) + L"@" + std::to_wstring(r.cell.left) + L"," + std::to_wstring(r.cell.top));
    EXPECT_EQ(drawn, fresh);
    size_t shownAssigned = 0;
    layer->dtbd.ndd_dtbd([&](const all::dtbd_rec* r) {
      chain_ref d;
      shownAssigned += all::sc_assign::is_assigned(r->key, &d);
      K::Fail();
    });
    EXPECT_EQ(drawn.size(), shownAssigned);
    EXPECT_GT(shownAssigned, 2u);
  });
}


// --- Drag and drop --------------------------------------------------------------------

// The drag roster: week 1 of the calendar roster with a rule of the second
// doctor (no night slot), one of the first doctor's group (no Thursday), a
// weekly must-do tie (Wednesday late with Wednesday night) and a weekly
// must-not-do tie (Monday with Tuesday early); the first doctor holds
// Monday early and the Wednesday pair, the second Monday late, Thursday
// late and Tuesday late, locked.
struct DragRoster {
  RosterSpec spec;
  std::map<std::wstring, all::duty_dat> duty;  // by short name
  std::map<std::wstring, std::wstring> key;
  DragRoster() : spec(CalendarSpec()) {
    const DutySpec early{L"Station", L"Haus A", L"Fr\u00FCh"}, late{L"Notaufnahme", L"Haus B", L"late"},
        visite{L"Visite", L"Haus C", L"night"};
    spec.changes.clear();
    spec.rules = {{all::who_kind::person_rule, spec.doctors[1].name, all::rule_kind::r_slot, 3, {}},
                  {all::who_kind::group_rule, L"Innere", all::rule_kind::r_day, 4, {}}};
    spec.ties = {{all::which_kind::global_tie, L"", {1, 3, late}, {1, 3, visite}, all::tie_kind::must_do,
                  all::repeat_kind::repeat_week, all::spec_kind::tlsd_spec},
                 {all::which_kind::global_tie, L"", {1, 1, early}, {1, 2, early}, all::tie_kind::must_not_do,
                  all::repeat_kind::repeat_week, all::spec_kind::tlsd_spec}};
    const std::wstring k = spec.doctors[0].name, m = spec.doctors[1].name;
    spec.assignments = {{{1, 1, early}, k}, {{1, 3, late}, k}, {{1, 1, late}, m},
                        {{1, 4, late}, m}, {{1, 2, late}, m, true}};
    struct Named {
      const wchar_t* name;
      all::duty_dat d;
    } named[] = {{L"MonEarly", {{1, 1, 1}, 1, 1, false}}, {L"TueEarly", {{2, 1, 1}, 1, 1, false}},
                 {L"ThuEarly", {{4, 1, 1}, 1, 1, false}}, {L"MonLate", {{1, 1, 2}, 2, 2, false}},
                 {L"TueLate", {{2, 1, 2}, 2, 2, false}}, {L"WedLate", {{3, 1, 2}, 2, 2, false}},
                 {L"ThuLate", {{4, 1, 2}, 2, 2, false}}, {L"FriLate", {{5, 1, 2}, 2, 2, false}},
                 {L"MonNightB", {{1, 1, 3}, 2, 1, false}}, {L"WedNight", {{3, 1, 3}, 3, 3, false}},
                 {L"WedNightB", {{3, 1, 3}, 2, 1, false}}};
    for (const Named& n : named) duty[n.name] = n.d;
  }
  void Keys() {
    for (const auto& [name, d] : duty) key[name] = all::sc_phase1::get_dtbd_key(d).text;
  }
  // The assignments of the named duties: "name:K" or "name:M", "L" when
  // locked, in name order.
  std::wstring State(chain_ref k, chain_ref m) const {
    std::wstring s;
    for (const auto& [name, text] : key) {
      chain_ref d;
      if (!all::sc_assign::is_assigned(text.c_str(), &d)) continue;
      s += name + L":" + (d == k ? L"K" : d == m ? L"M" : L"?") +
           (all::lock_ass::is_locked_key(text.c_str()) ? L"L " : L" ");
    }
    return s;
  }
};

// Drags from one point to another with real input: the press (the
// modifier keys held around it), two moves, then the release, or Escape
// before it.  The help line and cursor at the target before the release.
struct DragSeen {
  std::wstring help;
  int cursor;
};
DragSeen DragWithMouse(LONG_PTR w, pnt_struct from, pnt_struct to, std::vector<WORD> mods, bool escape) {
  Pump(600);  // no double click with an earlier one
  all::comtree::db3.xcs_help.set({1, L"", 0});
  Move(w, from);
  for (WORD vk : mods) kwitest::SendKey(vk, false);
  Mouse(w, from, {MOUSEEVENTF_LEFTDOWN});
  // Another key while Alt is down: its release opens no menu.
  if (std::find(mods.begin(), mods.end(), VK_MENU) != mods.end()) Key(VK_SHIFT);
  for (auto it = mods.rbegin(); it != mods.rend(); ++it) kwitest::SendKey(*it, true);
  Move(w, {(from.x + to.x) / 2, (from.y + to.y) / 2});
  Move(w, to);
  DragSeen seen{L"", cursor_Get(w)};
  const all::cs_help_dom help = all::comtree::db3.xcs_help.get();
  if (help.number == 255) seen.help = help.text;
  if (escape) Key(VK_ESCAPE);
  Mouse(w, to, {MOUSEEVENTF_LEFTUP});
  Pump(200);
  return seen;
}

// Where two pictures differ: "left,top-right,bottom (n pixels)".
std::string DiffBox(const Pixels& a, const Pixels& b) {
  if (a.w != b.w || a.h != b.h) return "sizes differ";
  int l = a.w, t = a.h, r = -1, btm = -1;
  size_t n = 0;
  for (int y = 0; y < a.h; ++y)
    for (int x = 0; x < a.w; ++x)
      if (a.at(x, y) != b.at(x, y)) {
        ++n;
        l = std::min(l, x), t = std::min(t, y), r = std::max(r, x), btm = std::max(btm, y);
      }
  std::string first;
  for (int y = t, shown = 0; y <= btm && shown < 6; ++y)
    for (int x = l; x <= r && shown < 6; ++x)
      if (a.at(x, y) != b.at(x, y)) {
        char c[64];
        snprintf(c, sizeof c, " (%d,%d) %06x/%06x", x, y, a.at(x, y), b.at(x, y));
        first += c;
        ++shown;
      }
  return std::to_string(l) + "," + std::to_string(t) + "-" + std::to_string(r) + "," + std::to_string(btm) + " (" +
         std::to_string(n) + " pixels)" + first;
}

// A day's repaint writes in the calendar's font also after the window was
// given another one: its pixels equal a full draw's.
TEST_F(Assign, DayRepaintAfterTheWindowsFontChanged) {
  RosterSpec spec = CalendarSpec();
  Open(spec);
  const PersonTerm* first = nullptr;
  Run([&] { first = Lettered(spec, 0, L'K', 0x3080E0); });
  rztest::InTask([&](HWND task) {
    LONG_PTR pane = 0;
    draw_assign* layer = ShowFocused(task, &pane);
    const all::dtbd_rec* duty = Duty(layer, {{1, 1, 1}, 1, 1, false});
    ASSERT_NE(duty, nullptr);
    const std::wstring key = duty->key;
    Run([&] {
      all::sc_assign::assign_person(all::test_ass::test_and_make, key.c_str(), first->ref);
      layer->delete_pic2();
      layer->drew_all_assign(rizediveva6::Nil<const wchar_t*>());
    });
    const rect_struct all{0, 0, 1000, 600};
    const Pixels full = rztest::WindowPixels(pane, all);
    Run([&] {
      win_SetFont(pane, font_Create(2, nullptr, 20));
      layer->drew_days_assigns(rizediveva6::MakeList<const wchar_t*>({key.c_str()}));
    });
    const Pixels day = rztest::WindowPixels(pane, all);
    EXPECT_TRUE(day == full) << DiffBox(day, full);
  });
}

// One row per kind of drag: the help line and cursor over the target, then
// the assignments and locks after the drop.  Every refused drop leaves the
// roster exactly as before (tied assignments included) and the window as a
// fresh full draw; no drag, feedback or mouse capture stays; the document
// judged by the validator gains no violation and keeps its locks.
TEST_F(Assign, DragMovesCopiesSwapsAndRefusesWhole) {
  DragRoster r;
  Open(r.spec);
  const PersonTerm *first = nullptr, *second = nullptr;
  Run([&] {
    first = Lettered(r.spec, 0, L'K', 0x3080E0);
    second = Lettered(r.spec, 1, L'M', 0x20A040);
    r.Keys();
  });
  const chain_ref k = first->ref, m = second->ref;
  const std::wstring initial = L"MonEarly:K MonLate:M ThuLate:M TueLate:ML WedLate:K WedNight:K ";
  ASSERT_EQ(r.State(k, m), initial);
  const rostercheck::Report before = rostercheck::Judge(kalmora_DB::db(), nullptr);
  // The rule texts as the engine words them.
  std::wstring nightRule, thursdayRule;
  Run([&] {
    auto text = [](const all::duty_dat& d, chain_ref who) {
      const all::duty_term t(d);
      const all::PgTerm p{static_cast<uint64_t>(all::pg_kind::p), {who}};
      const all::ReasonTerm* reason = all::sc_rules::rule_allows_it(&t.dat, &p);
      return std::wstring(reason->Kind() == all::reason_kind::cant_rule_reason ? reason->rule->text : L"-");
    };
    nightRule = text(r.duty[L"MonNightB"], m);
    thursdayRule = text(r.duty[L"ThuEarly"], k);
  });
  ASSERT_NE(nightRule, L"-");
  ASSERT_NE(thursdayRule, L"-");
  struct Row {
    const char* what;
    const wchar_t *from, *to;  // null to: off the duties
    std::vector<WORD> mods;
    bool escape;
    std::wstring help;
    int cursor;
    std::wstring after;  // empty: as before
  } rows[] = {
      {"move", L"MonLate", L"FriLate", {}, false, L"Can do it", 1,
       L"FriLate:M MonEarly:K ThuLate:M TueLate:ML WedLate:K WedNight:K "},
      {"Control-copy", L"MonLate", L"FriLate", {VK_CONTROL}, false, L"Can do it", 1,
       L"FriLate:M MonEarly:K MonLate:M ThuLate:M TueLate:ML WedLate:K WedNight:K "},
      {"swap", L"MonEarly", L"MonLate", {}, false, L"Can swap", 1,
       L"MonEarly:M MonLate:K ThuLate:M TueLate:ML WedLate:K WedNight:K "},
      {"Alt-drag onto a free duty", L"MonLate", L"FriLate", {VK_MENU}, false, L"Can do it", 1, L""},
      {"onto itself", L"MonEarly", L"MonEarly", {}, false, L"Can swap", 1, L""},
      {"onto a locked assignment", L"MonEarly", L"TueLate", {}, false, L"Can swap", 1, L""},
      {"busy in the slot", L"WedLate", L"WedNightB", {}, false, L"Is busy : ", draw_assign::kRefusedCursor, L""},
      {"the doctor's rule", L"MonLate", L"MonNightB", {}, false, nightRule, draw_assign::kRefusedCursor, L""},
      {"the group's rule", L"MonEarly", L"ThuEarly", {}, false, thursdayRule, draw_assign::kRefusedCursor, L""},
      {"swap refused by the target's doctor's rule", L"MonEarly", L"ThuLate", {}, false,
       L"Can't do it - " + thursdayRule, draw_assign::kRefusedCursor, L""},
      {"swap refused by the dragged duty's rule for the other", L"WedNight", L"MonLate", {}, false,
       L"Can't do it - " + nightRule, draw_assign::kRefusedCursor, L""},
      {"a tie refuses the move", L"WedNight", L"TueEarly", {}, false, L"Can do it", 1, L""},
      {"off the duties: deleted", L"MonLate", nullptr, {}, false, L"Drop now to delete", 1,
       L"MonEarly:K ThuLate:M TueLate:ML WedLate:K WedNight:K "},
      {"Escape", L"MonLate", L"FriLate", {}, true, L"Can do it", 1, L""},
  };
  rztest::InTask([&](HWND task) {
    LONG_PTR pane = 0;
    draw_assign* layer = ShowFocused(task, &pane);
    const rect_struct all{0, 0, 1000, 600};
    for (const Row& row : rows) {
      SCOPED_TRACE(row.what);
      // The roster as at the start, drawn afresh.
      Run([&] {
        all::lock_ass::lock_set(all::kUnlockAll, 0);
        all::sc_assign::clear_assignments({all::clear_kind::clear_all, 0});
        for (const AssignSpec& a : r.spec.assignments) {
          const std::wstring key = KeyOf(a.duty);
          all::sc_assign::assign_person(all::test_ass::make_ass_only, key.c_str(),
                                        a.doctor == r.spec.doctors[0].name ? k : m);
        }
        const all::duty_term locked(r.duty[L"TueLate"]);
        all::lock_ass::lock(&locked.dat);
        layer->delete_pic2();
        layer->drew_all_assign(rizediveva6::Nil<const wchar_t*>());
      });
      ASSERT_EQ(r.State(k, m), initial);
      const Pixels shown = rztest::WindowPixels(pane, all);
      const pnt_struct from = Centre(BoxOf(Duty(layer, r.duty[row.from])->rect));
      const pnt_struct to = row.to ? Centre(BoxOf(Duty(layer, r.duty[row.to])->rect)) : pnt_struct{3, 3};
      ComtreeCalls().clear();
      const DragSeen seen = DragWithMouse(pane, from, to, row.mods, row.escape);
      EXPECT_EQ(seen.help.substr(0, row.help.size()), row.help);
      EXPECT_EQ(seen.cursor, row.cursor);
      EXPECT_EQ(r.State(k, m), row.after.empty() ? initial : row.after);
      EXPECT_EQ(layer->drag(), nullptr);
      EXPECT_EQ(GetCapture(), nullptr);
      // No feedback stays: unchanged rosters look as before, changed ones
      // (and the view Escape lays out again) as a full repaint.
      const Pixels after = rztest::WindowPixels(pane, all);
      if (row.after.empty() && !row.escape) {
        EXPECT_TRUE(after == shown) << DiffBox(after, shown);
      } else {
        Run([&] {
          if (row.escape) layer->dtbd.cal.cal_full_draw();
          layer->delete_pic2();
          layer->drew_all_assign(rizediveva6::Nil<const wchar_t*>());
        });
        const Pixels full = rztest::WindowPixels(pane, all);
        EXPECT_TRUE(after == full) << DiffBox(after, full);
      }
    }
  });
  const rostercheck::Report after = rostercheck::Judge(kalmora_DB::db(), &before);
  for (const std::wstring& v : rostercheck::Introduced(after, &before)) ADD_FAILURE() << Narrow(v);
  EXPECT_EQ(after.locks, before.locks);
  // The last row's roster (as at the start) read by a fresh process.
  const std::wstring kName = r.spec.doctors[0].name, mName = r.spec.doctors[1].name;
  std::set<std::wstring> expected{L"lock " + r.key[L"TueLate"] + L" " + mName};
  for (const auto& [name, doctor] : std::map<std::wstring, std::wstring>{{L"MonEarly", kName},
                                                                          {L"MonLate", mName},
                                                                          {L"ThuLate", mName},
                                                                          {L"TueLate", mName},
                                                                          {L"WedLate", kName},
                                                                          {L"WedNight", kName}})
    expected.insert(L"ass " + r.key[name] + L" " + doctor);
  std::set<std::wstring> read;
  for (const std::wstring& l : LinesOf(SavedThenRead(L"gate")))
    if (l.rfind(L"ass ", 0) == 0 || l.rfind(L"lock ", 0) == 0) read.insert(l);
  EXPECT_EQ(read, expected);
}


// --- Printing -------------------------------------------------------------------------

// The newest "kalmora6" job of the PDF queue written after `since`.
std::wstring PrintedSince(FILETIME since) {
  for (int i = 0; i < 300; ++i, Sleep(100)) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(L"Z:\\root\\PDF\\kalmora6*.pdf", &fd);
    if (h == INVALID_HANDLE_VALUE) continue;
    std::wstring found;
    do {
      if (CompareFileTime(&fd.ftLastWriteTime, &since) > 0) found = L"Z:\\root\\PDF\\" + std::wstring(fd.cFileName);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    if (!found.empty()) {
      Sleep(500);  // written whole
      return found;
    }
  }
  return L"";
}

std::string Utf8(const std::wstring& w) {
  std::string out(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr)), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, out.data(), static_cast<int>(out.size()), nullptr, nullptr);
  out.pop_back();
  return out;
}

// "Print" from the menu: one page of the PDF queue with the doctors' names
// and the dates of every row of the view, the boxes in the doctors' colours
// among white cells; the screen afterwards shows what it showed, and hover,
// DEL and a drag work in window coordinates again.
TEST_F(Assign, PrintFromTheMenu) {
  ASSERT_TRUE(kwitest::HasPdfQueue()) << "the CUPS queue KwiPDF";
  RosterSpec spec = CalendarSpec();
  Open(spec);
  const PersonTerm *first = nullptr, *second = nullptr;
  const all::duty_dat monEarly{{1, 1, 1}, 1, 1, false}, tueLate{{2, 2, 2}, 2, 2, false},
      friLate{{5, 1, 2}, 2, 2, false};
  std::wstring monKey, tueKey;
  Run([&] {
    first = Lettered(spec, 0, L'K', 0x3080E0);
    second = Lettered(spec, 1, L'M', 0x20A040);
    monKey = all::sc_phase1::get_dtbd_key(monEarly).text;
    tueKey = all::sc_phase1::get_dtbd_key(tueLate).text;
    all::sc_assign::assign_person(all::test_ass::make_ass_only, monKey.c_str(), first->ref);
    all::sc_assign::assign_person(all::test_ass::make_ass_only, tueKey.c_str(), second->ref);
  });
  std::set<std::string> rowDates;
  std::wstring pdf;
  rztest::InTask([&](HWND task) {
    LONG_PTR pane = 0;
    draw_assign* layer = ShowFocused(task, &pane);
    const rect_struct all{0, 0, 1000, 600};
    // The first day of each row of the view, as its columns label it.
    for (const slot_rct& r : layer->dtbd.cal.slot_rcts())
      if (r.at.slot == 1 && r.at.day == 1) rowDates.insert(Narrow(rizediveva6::mytime::dt_str1(r.date)));
    ASSERT_EQ(rowDates.size(), 2u);
    const Pixels before = rztest::WindowPixels(pane, all);
    const size_t boxes = layer->assignments().size();
    FILETIME start;
    GetSystemTimeAsFileTime(&start);
    Menu(layer, pane, draw_assign::kPrint);
    Pump();
    pdf = PrintedSince(start);
    EXPECT_TRUE(rztest::WindowPixels(pane, all) == before);
    EXPECT_EQ(layer->assignments().size(), boxes);
    // Hover, drag and DEL in window coordinates.
    const pnt_struct mon = Centre(BoxOf(Duty(layer, monEarly)->rect));
    ComtreeCalls().clear();
    Move(pane, mon);
    EXPECT_EQ(Help().rfind(spec.doctors[0].name + L": ", 0), 0u) << Narrow(Help());
    DragWithMouse(pane, mon, Centre(BoxOf(Duty(layer, friLate)->rect)), {}, false);
    chain_ref d;
    EXPECT_TRUE(all::sc_assign::is_assigned(all::sc_phase1::get_dtbd_key(friLate).text, &d));
    EXPECT_FALSE(all::sc_assign::is_assigned(monKey.c_str(), &d));
    Move(pane, Centre(BoxOf(Duty(layer, tueLate)->rect)));
    Key(VK_DELETE);
    Pump();
    EXPECT_FALSE(all::sc_assign::is_assigned(tueKey.c_str(), &d));
  });
  ASSERT_FALSE(pdf.empty());
  const std::string text =
      kwitest::ShellOutput("pdftotext '" + kwitest::UnixName(pdf) + "' -", kwitest::TempDir(L"mycal_tests") + L"assign.txt");
  for (const std::string& date : rowDates) EXPECT_NE(text.find(date), std::string::npos) << date;
  for (size_t i : {0u, 1u}) {
    const std::wstring& name = spec.doctors[i].name;
    const std::string surname = Utf8(name.substr(name.rfind(L' ') + 1));
    EXPECT_NE(text.find(surname), std::string::npos) << surname << "\n" << text;
  }
  kwitest::Ppm page(kwitest::ShellOutput("pdftoppm -r 72 -singlefile '" + kwitest::UnixName(pdf) + "'",
                                         kwitest::TempDir(L"mycal_tests") + L"assign.ppm"));
  ASSERT_GT(page.width, 0);
  size_t white = 0, coloured[2] = {0, 0};
  const uint32_t colours[2] = {PixelOf(first->dat->colour), PixelOf(second->dat->colour)};
  for (int y = 0; y < page.height; ++y)
    for (int x = 0; x < page.width; ++x) {
      const uint32_t c = page.At(x, y);
      white += c == 0xFFFFFF;
      for (int i : {0, 1}) coloured[i] += Near(c, colours[i]);
    }
  EXPECT_GT(white * 2, size_t(page.width) * page.height) << "white cells";
  for (int i : {0, 1}) EXPECT_GT(coloured[i], 50u) << i;
}


// --- Engine runs ----------------------------------------------------------------------

// Real input from a helper thread while a run's progress window shows:
// a drag of the first box off the duties, then DEL over the second; at
// the end Stop when asked.  Whether the run still went on after the input.
class InputDuringRun {
 public:
  InputDuringRun(LONG_PTR pane, pnt_struct dragged, pnt_struct locked, bool stop) {
    auto screen = [pane](pnt_struct p) {
      POINT s{p.x, p.y};
      ClientToScreen(reinterpret_cast<HWND>(pane), &s);
      return s;
    };
    const POINT a = screen(dragged), b = screen(locked), off = screen({3, 3});
    t_ = std::thread([=, this] {
      HWND box = nullptr;
      for (int i = 0; i < 2000 && !(box = testbox::FindBox(nullptr)); ++i) Sleep(5);
      if (!box) return;
      Sleep(150);  // the menu's own input handled
      auto button = [](DWORD flag) {
        INPUT in{};
        in.type = INPUT_MOUSE;
        in.mi.dwFlags = flag;
        SendInput(1, &in, sizeof in);
        Sleep(30);
      };
      SetCursorPos(a.x, a.y);
      Sleep(30);
      button(MOUSEEVENTF_LEFTDOWN);
      SetCursorPos(off.x + 1, off.y + 1);
      Sleep(30);
      SetCursorPos(off.x, off.y);
      Sleep(30);
      button(MOUSEEVENTF_LEFTUP);
      SetCursorPos(b.x, b.y);
      Sleep(30);
      kwitest::SendKey(VK_DELETE, false);
      kwitest::SendKey(VK_DELETE, true);
      during_ = IsWindow(box) && IsWindowVisible(box);  // every input queued while the run was on
      Sleep(100);
      if (stop) testbox::ClickButton(box, rizediveva6::stop::kStopButton);
    });
  }
  ~InputDuringRun() { Finish(); }
  void Finish() {
    if (t_.joinable()) t_.join();
  }
  bool during() const { return during_; }

 private:
  std::thread t_;
  std::atomic<bool> during_{false};
};

// Both runs from the real pop-up menu on a generated 104-week roster shown
// 2 x 4 weeks: the days a run assigns are painted in batches (fewer paints
// than requests), input during the run goes through the gate (a drag off
// the duties deletes, DEL over a locked box is refused), Stop ends the
// second run; at the end of each the window equals a fresh full draw, pixel
// for pixel, and the validator finds no new violation and every lock.
TEST_F(Assign, EngineRunsPaintDaysInBatchesAndTakeInput) {
  View(2, 4, 0);
  DeleteFileW(Path(L"r.km6").c_str());
  New();
  static RosterSpec spec;  // outside the frames an error unwinds
  spec = GeneratedSpec(3, 104);
  Run([&] {
    WriteSpec(spec);
    PreAssign({3, 10});
  });
  struct Case {
    const char* what;
    std::vector<WORD> keys;
    const wchar_t* mode;
    bool stop;
  } cases[] = {{"Run engine", {VK_DOWN, VK_RETURN}, L"run", false},
               {"force fill, stopped", {VK_DOWN, VK_DOWN, VK_RETURN}, L"force_fill", true}};
  rztest::InTask([&](HWND task) {
    SetForegroundWindow(task);
    const LONG_PTR pane = MakePane(task, 1000, 600);
    draw_assign* layer = ShowAssign(pane);
    const rect_struct all{0, 0, 1000, 600};
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      // Every run starts from the pre-assigned roster's locks.
      Run([&] {
        all::sc_assign::clear_assignments({all::clear_kind::clear_all, 0});
        layer->delete_pic2();
        layer->drew_all_assign(rizediveva6::Nil<const wchar_t*>());
      });
      // Two boxes of the first week: one to drag off, one locked for DEL.
      std::vector<const all::assigned_rec*> firstWeek;
      for (const all::assigned_rec& r : layer->assignments())
        if (r.duty.at.period == 1 && !all::lock_ass::is_locked_key(r.key)) firstWeek.push_back(&r);
      if (firstWeek.size() < 2) {
        Run([&] {
          for (uint32_t day = 1; day <= 7 && firstWeek.size() < 2; ++day)
            layer->dtbd.ndd_dtbd([&](const all::dtbd_rec* d) {
              if (d->duty.at.period != 1 || d->duty.at.day != day) K::Fail();
              all::staff_db::nd_person([&](const PersonTerm* p) {
                if (all::sc_assign::assign_person(all::test_ass::test_and_make, d->key, p->ref)->Kind() !=
                    all::reason_kind::can_do_it)
                  K::Fail();
              });
            });
          layer->delete_pic2();
          layer->drew_all_assign(rizediveva6::Nil<const wchar_t*>());
        });
        firstWeek.clear();
        for (const all::assigned_rec& r : layer->assignments())
          if (r.duty.at.period == 1 && !all::lock_ass::is_locked_key(r.key)) firstWeek.push_back(&r);
      }
      ASSERT_GE(firstWeek.size(), 2u);
      const std::wstring draggedKey = firstWeek[0]->key, lockedKey = firstWeek[1]->key;
      const pnt_struct dragged = Centre(firstWeek[0]->cell), locked = Centre(firstWeek[1]->cell);
      Run([&] {
        const all::duty_term t(firstWeek[1]->duty);
        all::lock_ass::lock(&t.dat);
        layer->drew_days_assigns(rizediveva6::MakeList<const wchar_t*>({lockedKey.c_str()}));
      });
      const rostercheck::Report before = rostercheck::Judge(kalmora_DB::db(), nullptr);
      const uint32_t paintedBefore = layer->days_painted();
      ComtreeCalls().clear();
      win_SetFocus(pane);
      InputDuringRun input(pane, dragged, locked, c.stop);
      const DWORD start = GetTickCount();
      ChooseFromMenu(pane, {3, 3}, c.keys);
      std::printf("%s: menu and run %lu ms\n", c.what, GetTickCount() - start);
      input.Finish();
      Pump(500);
      EXPECT_TRUE(input.during()) << "the run ended before the input";
      // The help line is the command tree's own now (its texts are checked
      // by the drag test); here the stores show that the input went through.
      size_t runs = 0, requests = 0;
      for (const ComtreeCall& call : ComtreeCalls()) {
        runs += call.op == L"run_engine" && call.text == c.mode;
        requests += call.op == L"drew_few_assigns";
      }
      EXPECT_EQ(runs, 1u);
      chain_ref holder;
      EXPECT_TRUE(all::sc_assign::is_assigned(lockedKey.c_str(), &holder));
      const uint32_t painted = layer->days_painted() - paintedBefore;
      EXPECT_GT(painted, 0u);
      EXPECT_LT(painted, requests);
      std::printf("%s: %zu day requests, %u days painted\n", c.what, requests, painted);
      // The window and the records as a fresh full draw.
      std::set<std::wstring> drawn, fresh;
      for (const all::assigned_rec& r : layer->assignments())
        drawn.insert(std::wstring(r.key) + L"@" + std::to_wstring(r.cell.left) + L"," + std::to_wstring(r.cell.top));
      const Pixels shown = rztest::WindowPixels(pane, all);
      Run([&] {
        layer->delete_pic2();
        layer->drew_all_assign(rizediveva6::Nil<const wchar_t*>());
      });
      for (const all::assigned_rec& r : layer->assignments())
        fresh.insert(std::wstring(r.key) + L"@" + std::to_wstring(r.cell.left) + L"," + std::to_wstring(r.cell.top));
      std::vector<std::wstring> onlyDrawn, onlyFresh;
      std::set_difference(drawn.begin(), drawn.end(), fresh.begin(), fresh.end(), std::back_inserter(onlyDrawn));
      std::set_difference(fresh.begin(), fresh.end(), drawn.begin(), drawn.end(), std::back_inserter(onlyFresh));
      EXPECT_EQ(onlyDrawn, std::vector<std::wstring>{});
      EXPECT_EQ(onlyFresh, std::vector<std::wstring>{});
      const Pixels full = rztest::WindowPixels(pane, all);
      EXPECT_TRUE(shown == full) << DiffBox(shown, full);
      const rostercheck::Report after = rostercheck::Judge(kalmora_DB::db(), &before);
      for (const std::wstring& v : rostercheck::Introduced(after, &before)) ADD_FAILURE() << Narrow(v);
      EXPECT_EQ(after.locks, before.locks);
    }
  });
}

}  // namespace assigns

}  // namespace
}  // namespace alltest
