// The roster's lists (doctors, practices, tasks, locations, weekday
// loadings, can't-do rules, ties, holidays) on a generated 104-week,
// 60-doctor, 8-practice roster, and the typical week of a roster of 10
// tasks, locations and slots (1,000 rows), in a pane of the same size as
// their peer: an owner-drawn LISTBOX (DrawText per cell) filled with the
// same row texts, and SetClipboardData of the same copy text in the lists'
// two formats (ANSI and Unicode).
// The peer shows what a list shows: a title band of the lists' height with
// the column titles, rows of the list's row height, and its scroll bar at
// all times (the list always has one).
// Cases: open (new to first paint; closing is not timed on either side),
// refresh (update_libox to paint), a round trip of two store changes, each
// refreshed and painted, copy (the sides in turn, each finding the
// clipboard given away).
// Round trips, both sides making the same store changes inside the timing:
//  - doctors (a group toggled twice), loadings (row 1's parts changed and
//    back): ours refreshes the list and paints after each change; the peer
//    changes a cell of its first row and paints that row.
//  - can't-do, ties, holidays: ours checks row 1 and deletes it through
//    del_selected (which refreshes), paints, stores the record again,
//    refreshes and paints; the peer deletes the same record straight from
//    the store, takes its first row out and paints, stores the record
//    again, puts the row back and paints.
// Prints a line per list and case: rows, ms, peer ms, ratio, goal.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bench_task.h"
#include "bench_util.h"
#include "kalmoradb/groups.h"
#include "kalmoradb/load_db.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/sc_holidays.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/ties.h"
#include "kwi/kwi.h"
#include "liboxes/cannot_libox.h"
#include "liboxes/drlibox.h"
#include "liboxes/hol_libox.h"
#include "liboxes/loadlibox.h"
#include "liboxes/loclibox.h"
#include "liboxes/praclibox.h"
#include "liboxes/tasklibox.h"
#include "liboxes/ties_libox.h"
#include "liboxes/typicalWeeklyDuties.h"
#include "rulesPack/sc_rules.h"
#include "unit.h"
#include "roster_bench.h"
#include "roster_fixture.h"
#include "roster_generator.h"

using namespace QEL_KWI;
namespace K = Qel::RunTime::Kernel;
namespace rz = rizediveva6;

namespace {

constexpr int kWidth = 900, kHeight = 700, kBandTop = 21, kBandBottom = 40;

// The best of `runs` timings of body() in ms; after() runs after each, untimed.
double BestMs(int runs, const std::function<void()>& body, const std::function<void()>& after = [] {}) {
  return rosterbench::Best(runs, body, after) * 1000.0;
}

// --- the peer: an owner-drawn list box of the same rows ---

std::vector<std::vector<std::wstring>> g_rows;
std::vector<int> g_edges;            // the cell edges of the list
std::vector<std::wstring> g_titles;  // its column titles, check column first
int g_rowHeight = 20;                // its row height

// The frame paints the title band as the list's titles: a button face per
// column with its title centred.
void PaintBand(HWND w) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(w, &ps);
  SetBkMode(dc, TRANSPARENT);
  for (size_t c = 0; c + 1 < g_edges.size() && c < g_titles.size(); ++c) {
    RECT cell{g_edges[c], kBandTop, g_edges[c + 1], kBandBottom};
    DrawFrameControl(dc, &cell, DFC_BUTTON, DFCS_BUTTONPUSH);
    DrawTextW(dc, g_titles[c].c_str(), -1, &cell, DT_CENTER | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  }
  EndPaint(w, &ps);
}

LRESULT CALLBACK PeerProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_MEASUREITEM) {
    reinterpret_cast<MEASUREITEMSTRUCT*>(lp)->itemHeight = UINT(g_rowHeight);
    return TRUE;
  }
  if (msg == WM_PAINT) {
    PaintBand(w);
    return 0;
  }
  if (msg == WM_DRAWITEM) {
    auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
    if (d->itemID >= g_rows.size()) return TRUE;
    FillRect(d->hDC, &d->rcItem, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    const std::vector<std::wstring>& row = g_rows[d->itemID];
    for (size_t c = 0; c < row.size(); ++c) {
      RECT cell = d->rcItem;
      cell.left = c < g_edges.size() ? g_edges[c] : cell.right;
      cell.right = c + 1 < g_edges.size() ? g_edges[c + 1] : d->rcItem.right;
      DrawTextW(d->hDC, row[c].c_str(), -1, &cell, DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
    return TRUE;
  }
  return DefWindowProcW(w, msg, wp, lp);
}

struct Peer {
  HWND frame = nullptr, box = nullptr;
  void Open(HWND parent) {
    frame = CreateWindowExW(0, L"BenchListsPeer", L"", WS_CHILD | WS_VISIBLE, 0, 0, kWidth, kHeight, parent, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    box = CreateWindowExW(0, L"LISTBOX", L"",
                          WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_OWNERDRAWFIXED | LBS_NOINTEGRALHEIGHT | LBS_DISABLENOSCROLL,
                          0, kBandBottom + 1, kWidth, kHeight - kBandBottom - 1, frame, nullptr,
                          GetModuleHandleW(nullptr), nullptr);
    Fill();
    UpdateWindow(frame);  // the title band
  }
  void Fill() {
    SendMessageW(box, WM_SETREDRAW, FALSE, 0);
    SendMessageW(box, LB_RESETCONTENT, 0, 0);
    for (size_t i = 0; i < g_rows.size(); ++i) SendMessageW(box, LB_ADDSTRING, 0, LPARAM(i));
    SendMessageW(box, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(box, nullptr, TRUE);
    UpdateWindow(box);
  }
  void Close() { DestroyWindow(frame); }
};

std::wstring CopyText() {
  std::wstring text;
  for (const auto& r : g_rows) {
    for (const std::wstring& c : r) text += c + L"\t";
    text += L"\n";
  }
  return text;
}

void PeerCopy(HWND owner) { bench::PutClipboardText(owner, CopyText()); }

// --- our lists ---

// How the peer's round trip changes its rows: a cell twice, or its first
// row deleted and inserted again.
enum class peer_trip { none, cell_twice, row_out_and_in };

// A kind of list: made in the pane, its list box, refreshed, closed; its
// round trip (two store changes, each refreshed and painted) and the
// peer's.
struct Kind {
  const char* name;
  std::function<void*(LONG_PTR)> make;
  std::function<rz::libox*(void*)> box;
  std::function<void(void*)> refresh, close;
  const char* trip = nullptr;
  std::function<void(void*, HWND)> ours;
  peer_trip peer = peer_trip::none;
  // The trip's store change of step 0 or 1, made on both sides (for a
  // deletion: row 1's record deleted, then stored again).
  std::function<void(int)> store;
};

template <class T>
Kind KindOf(const char* name, std::function<void*(LONG_PTR)> make = [](LONG_PTR pane) -> void* { return T::new_(pane); }) {
  return {name, make, [](void* v) { return static_cast<T*>(v)->list_box(); },
          [](void* v) { static_cast<T*>(v)->update_libox(); }, [](void* v) { static_cast<T*>(v)->destroy_scroll2(); },
          nullptr, {}, peer_trip::none, {}};
}

// The rows of a list as texts, and its boundaries as the peer's edges.
void TakeRows(rz::libox* l) {
  g_rows.clear();
  rz::line ln;
  for (uint32_t r = 1; l->nth_line(r, &ln); ++r) {
    std::vector<std::wstring> row{L""};  // the check column
    for (const rz::SList* c = ln.cells; !c->Empty(); c = c->tail) row.push_back(c->head);
    g_rows.push_back(row);
  }
  g_edges.clear();
  for (const rz::List<uint32_t>* b = l->get_boundaries(l->get_wyndow()); !b->Empty(); b = b->tail)
    g_edges.push_back(int(b->head));
  g_titles.clear();
  rz::col_info info;
  for (uint32_t c = 1; l->nth_col(c, &info); ++c) g_titles.push_back(info.name);
  g_rowHeight = int(l->get_row_height(l->get_wyndow()));
}

void Line(const char* list, const char* what, size_t rows, double ours, double peer, double goal) {
  const double ratio = ours / peer;
  printf("  %-10s %-8s rows %5zu   %8.3f ms   peer %8.3f ms   %6.2fx (goal <= %.1fx)%s\n", list, what, rows, ours, peer,
         ratio, goal, ratio <= goal ? "" : "  above goal");
}

// The doctor whose group the toggle round trip puts in and takes out.
void Toggle(const wchar_t* group, all::chain_ref ref) {
  const all::PersonTerm* p = all::staff_db::get_personref(ref);
  const rz::SList* mine = rz::AsSList(p->dat->groups);
  const rz::SList* now = all::groups::member(group, mine) ? all::groups::remove(group, mine) : rz::Cons<const wchar_t*>(group, mine);
  all::staff_db::replace_person(all::MakePerson(p->ref, p->dat->name, now, p->dat->colour, p->dat->letter, p->dat->deleted->functor));
  all::sc_assign::remove_those_that_break_rules(p->ref);
}

// Row 1 checked and deleted, refreshed and painted by del_selected; then
// `restore` stores the record again and the list is refreshed and painted.
// A trip whose deletion or restore missed its row is named.
template <class T>
void DeleteAndRestore(void* v, HWND pane, void (*take)(), void (*restore)()) {
  auto* l = static_cast<T*>(v);
  const uint32_t rows = l->number_of_lines();
  take();
  l->set_selecteds(rz::MakeList<uint32_t>({1}));
  l->del_selected();
  UpdateWindow(pane);
  const uint32_t deleted = l->number_of_lines();
  restore();
  l->update_libox();
  UpdateWindow(pane);
  if (deleted + 1 != rows || l->number_of_lines() != rows)
    printf("  round trip: %u rows, %u after the deletion, %u after the restore\n", rows, deleted, l->number_of_lines());
}

// The round trips of the roster's lists.
// Doctors: the first doctor's first practice toggled.
void DoctorsStore(int) {
  static all::chain_ref first;
  static const wchar_t* group;
  if (!group) {
    all::staff_db::nd_person([&](const all::PersonTerm* p) { first = p->ref; });
    group = tav::HeapCopy(all::groups::list_groups()->head);
  }
  Toggle(group, first);
}

void DoctorsTrip(void* v, HWND pane) {
  for (int i = 0; i < 2; ++i) {
    DoctorsStore(i);
    static_cast<all::drlibox*>(v)->update_libox();
    UpdateWindow(pane);
  }
}

// Loadings: the first doctor's weekday parts one more, then back.
void LoadingsStore(int step) {
  static all::chain_ref first;
  static const all::WhatStatTerm* weekday;
  static uint32_t parts;
  if (!weekday) {
    all::staff_db::nd_person([&](const all::PersonTerm* p) { first = p->ref; });
    weekday = all::MakeWhatStat(all::stat_kind::weekend, 0);
    parts = all::load_db::get_load(weekday, all::staff_db::get_personref(first)->dat->name).parts;
  }
  all::load_db::put_load(weekday, first, step == 0 ? parts + 1 : parts);
}

void LoadingsTrip(void* v, HWND pane) {
  for (int i = 0; i < 2; ++i) {
    LoadingsStore(i);
    static_cast<all::loadlibox*>(v)->update_libox();
    UpdateWindow(pane);
  }
}

// Each deleting list's row 1 record: taken from the store in the list's
// order, deleted straight from the store (the peer's side), stored again.
// Statics: the collector scans them.
// Can't-do: the first doctor's (in the doctors' order) first rule, else
// the first group's.
all::stored_rule g_rule;

void TakeRule() {
  rz::ListBuilder<all::stored_rule> out(true);
  all::sc_rules::nd_which_rule([&](all::stored_rule r) {
    out.Add({reinterpret_cast<const all::WhichRuleTerm*>(Qel::RunTime::Terms::CopyTermFromGStack(
                 tav::D(all::domains::which_rule), reinterpret_cast<Qel::RunTime::Terms::term>(r.rule))),
             r.ref});
    K::Fail();
  });
  const rz::List<all::stored_rule>* rules = out.Finish();
  auto firstOf = [&](all::who_kind who, const wchar_t* name) {
    for (const rz::List<all::stored_rule>* r = rules; !r->Empty(); r = r->tail)
      if (r->head.rule->Kind() == who && wcscmp(r->head.rule->name, name) == 0) {
        g_rule = r->head;
        return true;
      }
    return false;
  };
  if (all::staff_db::nd_person([&](const all::PersonTerm* p) {
        if (!firstOf(all::who_kind::person_rule, p->dat->name)) K::Fail();
      }))
    return;
  for (const rz::SList* g = all::groups::list_groups(); !g->Empty(); g = g->tail)
    if (firstOf(all::who_kind::group_rule, g->head)) return;
}
void RestoreRule() { all::sc_rules::remove_or_add_rule(g_rule.rule); }

// Ties and holidays: the first stored.
all::stored_tie g_tie;
void TakeTie() { all::ties::nd_tie([&](all::stored_tie t) { g_tie = t; }); }
void RestoreTie() { all::ties::add_tie2(g_tie.tie->dat); }

all::dt g_holiday;
void TakeHoliday() { all::sc_holidays::nd_holidays([&](all::dt d) { g_holiday = d; }); }
void RestoreHoliday() { all::sc_holidays::add_holiday(g_holiday); }

void RulesStore(int step) {
  if (step == 1) return RestoreRule();
  TakeRule();
  all::sc_rules::del_rule_ref(g_rule.ref);
}
void TiesStore(int step) {
  if (step == 1) return RestoreTie();
  TakeTie();
  all::ties::del_tie(g_tie.ref);
}
void HolidaysStore(int step) {
  if (step == 1) return RestoreHoliday();
  TakeHoliday();
  all::sc_holidays::del_holiday(g_holiday);
}

void RulesTrip(void* v, HWND pane) { DeleteAndRestore<all::cannot_libox>(v, pane, &TakeRule, &RestoreRule); }
void TiesTrip(void* v, HWND pane) { DeleteAndRestore<all::ties_libox>(v, pane, &TakeTie, &RestoreTie); }
void HolidaysTrip(void* v, HWND pane) {
  DeleteAndRestore<all::hol_libox>(v, pane, &TakeHoliday, &RestoreHoliday);
}

// One list's cases against the peer, each a line.
void Measure(const Kind& k, LONG_PTR pane) {
  HWND paneWindow = reinterpret_cast<HWND>(pane);
  static void* view;
  view = k.make(pane);
  TakeRows(k.box(view));
  const size_t rows = g_rows.size();
  k.close(view);
  win_SetHandler(pane, tav::NoEventHandler());

  const double open = BestMs(5, [&] {
    view = k.make(pane);
    UpdateWindow(paneWindow);
  }, [&] {
    k.close(view);
    win_SetHandler(pane, tav::NoEventHandler());
  });
  Peer peer;
  const double peerOpen = BestMs(5, [&] { peer.Open(paneWindow); }, [&] { peer.Close(); });
  Line(k.name, "open", rows, open, peerOpen, 1.2);

  view = k.make(pane);
  peer.Open(paneWindow);
  ShowWindow(peer.frame, SW_HIDE);
  const double refresh = BestMs(5, [&] {
    k.refresh(view);
    UpdateWindow(paneWindow);
  });
  ShowWindow(peer.frame, SW_SHOW);
  const double peerRefresh = BestMs(5, [&] { peer.Fill(); });
  Line(k.name, "refresh", rows, refresh, peerRefresh, 1.2);

  if (k.ours) {
    ShowWindow(peer.frame, SW_HIDE);
    const double trip = BestMs(5, [&] { k.ours(view, paneWindow); });
    ShowWindow(peer.frame, SW_SHOW);
    const double peerTrip = BestMs(5, [&] {
      if (k.peer == peer_trip::cell_twice) {
        for (int i = 0; i < 2; ++i) {
          if (k.store) k.store(i);  // the same store change on both sides
          std::wstring& cell = g_rows[0][std::min<size_t>(5, g_rows[0].size() - 1)];
          cell = cell.empty() ? L"X" : L"";
          RECT item;
          SendMessageW(peer.box, LB_GETITEMRECT, 0, LPARAM(&item));
          InvalidateRect(peer.box, &item, TRUE);
          UpdateWindow(peer.box);
        }
      } else {
        k.store(0);  // row 1's record deleted from the store
        const std::vector<std::wstring> first = g_rows[0];
        g_rows.erase(g_rows.begin());
        SendMessageW(peer.box, LB_DELETESTRING, 0, 0);
        UpdateWindow(peer.box);
        k.store(1);  // and stored again
        g_rows.insert(g_rows.begin(), first);
        SendMessageW(peer.box, LB_INSERTSTRING, 0, 0);
        UpdateWindow(peer.box);
      }
    });
    Line(k.name, k.trip, rows, trip, peerTrip, 1.5);
  }

  // The sides copy in turn, each finding the clipboard given away (untimed).
  double copy = 1e30, peerCopy = 1e30;
  for (int i = 0; i < 5; ++i) {
    bench::TakeClipboard();
    copy = std::min(copy, BestMs(1, [&] { k.box(view)->to_exel_cb(); }));
    bench::TakeClipboard();
    peerCopy = std::min(peerCopy, BestMs(1, [&] { PeerCopy(paneWindow); }));
  }
  Line(k.name, "copy", rows, copy, peerCopy, 1.5);
  peer.Close();
  k.close(view);
  win_SetHandler(pane, tav::NoEventHandler());
}

rz::document* g_doc;           // the generated roster
std::wstring g_folder;         // where the typical week's roster is made

// The typical week of 10 tasks, 10 locations and 10 slots, in a document
// of its own; the generated roster open again after.
void MeasureTypical(LONG_PTR pane) {
  all::kalmora_DB::uninit();
  const std::wstring path = g_folder + L"bench-lists-typical.km6";
  rz::document* doc = rosterbench::NewDocument(path);
  alltest::RosterSpec s = alltest::GeneratedSpec(7, 4);
  s.tasks.clear(), s.locations.clear(), s.slots.clear();
  s.typical.clear(), s.changes.clear(), s.ties.clear(), s.rules.clear(), s.assignments.clear();
  for (int i = 1; i <= 10; ++i) {
    s.tasks.push_back(L"t" + std::to_wstring(i));
    s.locations.push_back(L"l" + std::to_wstring(i));
    s.slots.push_back(L"s" + std::to_wstring(i));
  }
  s.weekend.clear();
  s.typical = {{all::kWeekday, {L"t1", L"l1", L"s1"}}, {all::kWeekday, {L"t10", L"l10", L"s10"}}};
  alltest::WriteSpec(s);
  printf("typical week: 10 tasks, 10 locations, 10 slots\n");
  Measure(KindOf<all::typicalWeeklyDuties>(
              "typical", [](LONG_PTR p) -> void* { return all::typicalWeeklyDuties::new_(p, all::kWeekday); }),
          pane);
  rosterbench::DropDocument(doc, path);
  all::kalmora_DB::init(g_doc);
}

void Run(LONG_PTR task) {
  const uint32_t code = K::RunTrapped([&] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = PeerProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"BenchListsPeer";
    RegisterClassW(&wc);
    rect_struct r{0, 0, kWidth, kHeight};
    ilist_struct end{ListNil, 0, nullptr};
    menu_struct nomenu{3, 0};
    const LONG_PTR pane = win_Create(wt_child, &r, L"", &nomenu, task, &end, tav::NoEventHandler(), 0);
    Kind doctorsList = KindOf<all::drlibox>("doctors");
    doctorsList.trip = "toggle", doctorsList.ours = &DoctorsTrip, doctorsList.peer = peer_trip::cell_twice;
    doctorsList.store = &DoctorsStore;
    Kind loadings = KindOf<all::loadlibox>(
        "loadings", [](LONG_PTR p) -> void* { return all::loadlibox::new_(p, all::MakeWhatStat(all::stat_kind::weekend, 0)); });
    loadings.trip = "parts", loadings.ours = &LoadingsTrip, loadings.peer = peer_trip::cell_twice;
    loadings.store = &LoadingsStore;
    Kind rules = KindOf<all::cannot_libox>(
        "can't-do", [](LONG_PTR p) -> void* { return all::cannot_libox::new_cannot_libox(p); });
    rules.trip = "delete", rules.ours = &RulesTrip, rules.peer = peer_trip::row_out_and_in;
    rules.store = &RulesStore;
    Kind ties = KindOf<all::ties_libox>("ties", [](LONG_PTR p) -> void* { return all::ties_libox::new_ties_libox(p); });
    ties.trip = "delete", ties.ours = &TiesTrip, ties.peer = peer_trip::row_out_and_in;
    ties.store = &TiesStore;
    Kind holidays =
        KindOf<all::hol_libox>("holidays", [](LONG_PTR p) -> void* { return all::hol_libox::new_hol_libox(p); });
    holidays.trip = "delete", holidays.ours = &HolidaysTrip, holidays.peer = peer_trip::row_out_and_in;
    holidays.store = &HolidaysStore;
    const Kind kinds[] = {doctorsList, KindOf<all::praclibox>("practices"), KindOf<all::tasklibox>("tasks"),
                          KindOf<all::loclibox>("locations"), loadings, rules, ties, holidays};
    static size_t doctors, practices;
    all::staff_db::nd_person([&](const all::PersonTerm*) {
      ++doctors;
      K::Fail();
    });
    for (const rz::SList* g = all::groups::list_groups(); !g->Empty(); g = g->tail) ++practices;
    printf("104 weeks, %zu doctors, %zu practices; pane %d x %d\n", doctors, practices, kWidth, kHeight);
    for (const Kind& k : kinds) Measure(k, pane);
    MeasureTypical(pane);
  });
  if (code) printf("error %u\n", code);
}

}  // namespace

int main() {
  return rosterbench::Main([](const std::wstring& dir) {
    const std::wstring path = dir + L"bench-lists.km6";
    rz::document* doc = rosterbench::NewDocument(path);
    g_doc = doc;
    g_folder = dir;
    alltest::WriteSpec(alltest::GeneratedSpec(7, 104));
    menu_struct nomenu{3, 0};
    ilist_struct flags[2] = {{ListCons, 9, nullptr}, {ListNil, 0, nullptr}};
    flags[0].next = &flags[1];
    const bool ran = bench::RunInTask(flags, &nomenu, L"bench_lists", Run);
    rosterbench::DropDocument(doc, path);
    if (!ran) ExitProcess(1);
  });
}
