// The result and document list views against plain peers, on an 800 x 600
// window:
//  - the assignments and unassigned duties tables of a generated 104-week
//    roster with about 30 % assigned: open (rows from the model, filled,
//    drawn), ordering by the "Task" column, copy; against the same rows from
//    the same model calls in vectors shown by an owner-drawn LISTBOX
//    (LB_ADDSTRING per row), a stable sort and refill, and the text built
//    for SetClipboardData in the lists' two formats, ANSI and Unicode
//    (goal 1.2x; copies: the best of five, each finding the clipboard given
//    away);
//  - the documents list of 50 recent documents (refresh) against the same
//    50 files read by the chain database's own calls into the LISTBOX
//    (goal 1.2x);
//  - a KM6 scan of 10,000 files in 1,000 folders (5 rounds, medians; 100 documents among
//    them), first and repeated, against a FindFirstFileW recursion with the
//    same filter in this process (goal 1.5x).
// Prints seconds per side and the ratio ours / peer.
#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "SYSTEM/myKWI/myKWI.h"
#include "SYSTEM/orv_list/remember_files.h"
#include "SYSTEM/timepack/mytime.h"
#include "bench_task.h"
#include "bench_util.h"
#include "fileSystem/file.h"
#include "kalmoradb/actual_dtbd.h"
#include "kwi/kwi.h"
#include "kalmoradb/locations.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/tasks.h"
#include "liboxes/duties_libox.h"
#include "liboxes/libox_51filesOnDisk.h"
#include "phase1/sc_phase1.h"
#include "roster_bench.h"
#include "roster_generator.h"

using namespace all;
using namespace QEL_KWI;
namespace K = Qel::RunTime::Kernel;
namespace rz = rizediveva6;

namespace {

constexpr int kW = 800, kH = 600;
std::wstring g_dir;

// A child window of the task as the list's pane.
LONG_PTR Pane(HWND task) {
  rect_struct r{0, 0, kW, kH};
  ilist_struct end{ListNil, 0, nullptr};
  menu_struct nomenu{3, 0};
  return win_Create(wt_child, &r, L"", &nomenu, reinterpret_cast<LONG_PTR>(task), &end, tav::NoEventHandler(), 0);
}

void Settle(HWND w) {
  HDC dc = GetDC(w);
  GetPixel(dc, 10, 10);
  ReleaseDC(w, dc);
}

// --- the LISTBOX peer: rows of texts, owner-drawn ---

std::vector<std::vector<std::wstring>> g_rows;
std::vector<size_t> g_order;

LRESULT CALLBACK PeerParent(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_DRAWITEM) {
    auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
    if (d->itemID == UINT(-1)) return TRUE;
    FillRect(d->hDC, &d->rcItem, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    const auto& row = g_rows[g_order[d->itemData]];
    for (size_t c = 0; c < row.size(); ++c) {
      RECT r = d->rcItem;
      r.left = LONG(c * 90 + 2);
      r.right = LONG((c + 1) * 90);
      DrawTextW(d->hDC, row[c].c_str(), -1, &r, DT_LEFT | DT_TOP | DT_SINGLELINE);
    }
    return TRUE;
  }
  if (m == WM_MEASUREITEM) {
    reinterpret_cast<MEASUREITEMSTRUCT*>(lp)->itemHeight = 16;
    return TRUE;
  }
  return DefWindowProcW(w, m, wp, lp);
}

HWND PeerBox() {
  static bool registered = false;
  if (!registered) {
    WNDCLASSW c{};
    c.lpfnWndProc = PeerParent;
    c.hInstance = GetModuleHandleW(nullptr);
    c.lpszClassName = L"bench_result_lists_peer";
    RegisterClassW(&c);
    registered = true;
  }
  HWND p = CreateWindowW(L"bench_result_lists_peer", L"peer", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, kW, kH, nullptr,
                         nullptr, GetModuleHandleW(nullptr), nullptr);
  return CreateWindowW(L"LISTBOX", L"", WS_CHILD | WS_VSCROLL | LBS_OWNERDRAWFIXED | LBS_NOINTEGRALHEIGHT, 0, 0, kW,
                       kH, p, nullptr, GetModuleHandleW(nullptr), nullptr);
}

// The rows in g_order into the box, shown and painted.
void PeerFill(HWND box) {
  ShowWindow(box, SW_HIDE);
  SendMessageW(box, LB_RESETCONTENT, 0, 0);
  SendMessageW(box, LB_INITSTORAGE, g_order.size(), 0);
  for (size_t i = 0; i < g_order.size(); ++i) SendMessageW(box, LB_ADDSTRING, 0, LPARAM(i));
  ShowWindow(box, SW_SHOW);
  UpdateWindow(box);
  Settle(box);
}

void PeerCopy(HWND owner) {
  std::wstring text;
  for (size_t i : g_order) {
    for (const std::wstring& c : g_rows[i]) text += c + L"\t";
    text += L"\n";
  }
  bench::PutClipboardText(owner, text);
}

void Line(const char* what, double ours, double peer, double goal, const char* peerName = "LISTBOX") {
  printf("  %-34s list %9.4f s  %s %9.4f s  ratio %.2fx (goal <= %.1fx)%s\n", what, ours, peerName, peer, ours / peer,
         goal, ours / peer <= goal ? "" : "  above goal");
}

// --- the duties tables ---

// The rows of a table from the same model calls as the list's.
void PeerDutyRows(do_ass which) {
  g_rows.clear();
  const wchar_t* taskNames[11] = {};
  const wchar_t* whereNames[11] = {};
  const wchar_t* slotNames[11] = {};
  for (uint32_t n = 1; n <= 10; ++n) {
    taskNames[n] = tav::HeapCopy(tasks::get_task_name(n));
    whereNames[n] = tav::HeapCopy(locations::get_where_name(n));
    slotNames[n] = tav::HeapCopy(kalmora_DB::get_slot_name(n));
  }
  auto row = [&](const wchar_t* who, const sp& at, uint32_t task, uint32_t where) {
    const wchar_t* day = L"";
    rz::mytime::dayno_dayname(at.day, &day);
    g_rows.push_back({std::to_wstring(g_rows.size() + 1), who, taskNames[task], whereNames[where],
                      rz::mytime::dt_str2(kalmora_DB::sp_dt(at)), std::to_wstring(at.day), day, slotNames[at.slot]});
  };
  if (which == do_ass::assigned) {
    for (const rz::List<rz::KeyRef>* e = [] {
           rz::ListBuilder<rz::KeyRef> all(true);
           sc_assign::nd_assignments([&](rz::KeyRef k) {
             all.Add(rz::KeyRef{tav::HeapCopy(k.key), k.ref});
             K::Fail();
           });
           return all.Finish();
         }();
         !e->Empty(); e = e->tail) {
      const DutyTerm* d;
      if (!sc_phase1::get_duty_by_key(e->head.key, &d)) continue;
      const SpTerm* at = d->dat->at;
      row(staff_db::get_personref(e->head.ref)->dat->name, sp{at->day, at->period, at->slot}, d->dat->task,
          d->dat->where);
    }
  } else {
    actual_dtbd::nd_dats_to_be_done([&](sp_duties s) {
      for (uint32_t i = 0; i < s.count; ++i) {
        chain_ref doctor;
        if (!sc_assign::is_assigned(sc_phase1::get_dtbd_key(s.first[i]).text, &doctor))
          row(L"-", s.first[i].at, s.first[i].task, s.first[i].where);
      }
      K::Fail();
    });
  }
}

void DutyTables(HWND task) {
  // One untimed opening first: fonts and classes are made on either side's first use.
  {
    const LONG_PTR pane = Pane(task);
    K::RunTrapped([&] { duties_libox::new_duties_libox(do_ass::assigned, pane)->destroy_scroll2(); });
    DestroyWindow(reinterpret_cast<HWND>(pane));
    HWND box = PeerBox();
    DestroyWindow(GetParent(box));
  }
  for (do_ass which : {do_ass::assigned, do_ass::unassigned}) {
    double open = 0, order = 0, copy = 0;
    size_t rows = 0;
    const LONG_PTR pane = Pane(task);
    K::RunTrapped([&] {
      double s = bench::Now();
      duties_libox* t = duties_libox::new_duties_libox(which, pane);
      Settle(task);
      open = bench::Now() - s;
      rows = t->display_order().size();
      s = bench::Now();
      t->build_index(3);
      t->lbox_draw();
      Settle(task);
      order = bench::Now() - s;
      copy = 1e9;  // the best of five
      for (int i = 0; i < 5; ++i) {
        bench::TakeClipboard();
        s = bench::Now();
        t->to_exel_cb();
        copy = std::min(copy, bench::Now() - s);
      }
      t->destroy_scroll2();
    });
    DestroyWindow(reinterpret_cast<HWND>(pane));

    double peerOpen = 0, peerOrder = 0, peerCopy = 0;
    HWND box = PeerBox();
    K::RunTrapped([&] {
      double s = bench::Now();
      PeerDutyRows(which);
      g_order.resize(g_rows.size());
      for (size_t i = 0; i < g_order.size(); ++i) g_order[i] = i;
      PeerFill(box);
      peerOpen = bench::Now() - s;
      s = bench::Now();
      std::stable_sort(g_order.begin(), g_order.end(), [](size_t a, size_t b) { return g_rows[a][2] < g_rows[b][2]; });
      PeerFill(box);
      peerOrder = bench::Now() - s;
      peerCopy = 1e9;
      for (int i = 0; i < 5; ++i) {
        bench::TakeClipboard();
        s = bench::Now();
        PeerCopy(task);
        peerCopy = std::min(peerCopy, bench::Now() - s);
      }
    });
    DestroyWindow(GetParent(box));
    printf(" %s table, %zu rows (peer %zu)\n", which == do_ass::assigned ? "assigned" : "unassigned", rows,
           g_rows.size());
    Line("open (rows, fill, draw)", open, peerOpen, 1.2);
    Line("order by a column", order, peerOrder, 1.2);
    Line("copy", copy, peerCopy, 1.2);
  }
}

// --- the documents list ---

void DocumentsList(HWND task) {
  const uint64_t start = 133000000000000000ull;
  std::vector<std::wstring> files;
  K::RunTrapped([&] {
    for (int i = 0; i < 50; ++i) {
      files.push_back(g_dir + L"bench-doc-" + std::to_wstring(i) + L".km6");
      tav::chainDB* db = tav::chainDB::db_create(files.back().c_str(), tav::place::in_file);
      int32_t ref;
      const std::wstring desc = L"Roster " + std::to_wstring(i);
      db->chain_insertz(tav::D(tav::domains::string), L"Desc", reinterpret_cast<const uint8_t*>(const_cast<wchar_t*>(desc.c_str())), &ref);
      db->chain_insertz(tav::D(tav::domains::unsigned64), L"start_date", reinterpret_cast<const uint8_t*>(const_cast<uint64_t*>(&start)), &ref);
      db->db_close();
      rz::remember_files::add_file(tav::HeapCopy(files.back().c_str()));
    }
  });
  constexpr int kRounds = 10;
  double ours = 0;
  const LONG_PTR pane = Pane(task);
  size_t rows = 0;
  K::RunTrapped([&] {
    libox_51filesOnDisk* l = libox_51filesOnDisk::new_libox_51filesondisk(pane);
    const double s = bench::Now();
    for (int i = 0; i < kRounds; ++i) l->update_libox();
    Settle(task);
    ours = (bench::Now() - s) / kRounds;
    rows = l->display_order().size();
    l->destroy_scroll2();
  });
  DestroyWindow(reinterpret_cast<HWND>(pane));

  HWND box = PeerBox();
  double peer = 0;
  K::RunTrapped([&] {
    const double s = bench::Now();
    for (int round = 0; round < kRounds; ++round) {
      g_rows.clear();
      for (const std::wstring& f : files) {
        if (!tav::file::existfile(f.c_str())) continue;
        const rz::tv changed = tav::file::getfileproperties(f.c_str()).lastChange;
        tav::chainDB* db = tav::chainDB::db_openread(f.c_str(), tav::place::in_file);
        const wchar_t* desc = L"no desc";
        uint64_t when = 0;
        db->chain_terms(tav::D(tav::domains::string), L"Desc", [&](tav::RefTerm t) { desc = tav::HeapCopy(reinterpret_cast<const wchar_t*>(t.t)); });
        db->chain_terms(tav::D(tav::domains::unsigned64), L"start_date", [&](tav::RefTerm t) { memcpy(&when, t.t, 8); });
        db->db_close();
        g_rows.push_back({std::to_wstring(g_rows.size() + 1), f, rz::mytime::tv_tadstr(changed),
                          rz::mytime::tv_date_order(changed), desc, rz::mytime::tv_format(when, L"dd MMM yy")});
      }
      g_order.resize(g_rows.size());
      for (size_t i = 0; i < g_order.size(); ++i) g_order[i] = i;
      PeerFill(box);
    }
    peer = (bench::Now() - s) / kRounds;
  });
  DestroyWindow(GetParent(box));
  printf(" documents list of %zu recent documents (%zu rows)\n", files.size(), rows);
  Line("refresh", ours, peer, 1.2);
  for (const std::wstring& f : files) DeleteFileW(f.c_str());
}

// --- the scan ---

void MakeTree(const std::wstring& root) {
  CreateDirectoryW(root.c_str(), nullptr);
  for (int d = 0; d < 1000; ++d) {
    // Ten top folders of ten folders of ten: 1,000 folders below the root.
    const std::wstring folder = root + L"\\t" + std::to_wstring(d / 100) + L"\\m" + std::to_wstring(d / 10 % 10) +
                                L"\\f" + std::to_wstring(d % 10);
    CreateDirectoryW((root + L"\\t" + std::to_wstring(d / 100)).c_str(), nullptr);
    CreateDirectoryW((root + L"\\t" + std::to_wstring(d / 100) + L"\\m" + std::to_wstring(d / 10 % 10)).c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
    for (int f = 0; f < 10; ++f) {
      const bool document = f == 0 && d % 10 == 0;
      const std::wstring name = folder + L"\\file" + std::to_wstring(f) + (document ? L".km6" : L".dat");
      HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      CloseHandle(h);
    }
  }
}

void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW data;
  HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring p = folder + L"\\" + data.cFileName;
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW(p.c_str());
      else if (wcscmp(data.cFileName, L".") && wcscmp(data.cFileName, L"..")) RemoveTree(p);
    } while (FindNextFileW(h, &data));
    FindClose(h);
  }
  RemoveDirectoryW(folder.c_str());
}

bool Km6(const wchar_t* name) {
  const wchar_t* dot = wcsrchr(name, L'.');
  return dot && (CompareStringOrdinal(dot + 1, -1, L"KM6", -1, TRUE) == CSTR_EQUAL ||
                 CompareStringOrdinal(dot + 1, -1, L"KM6 BACK", -1, TRUE) == CSTR_EQUAL);
}

void RawScan(const std::wstring& folder, std::vector<std::wstring>* found) {
  WIN32_FIND_DATAW data;
  HANDLE h = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                              FIND_FIRST_EX_LARGE_FETCH);
  if (h == INVALID_HANDLE_VALUE) return;
  std::vector<std::wstring> subfolders;
  do {
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (wcscmp(data.cFileName, L".") && wcscmp(data.cFileName, L"..")) subfolders.push_back(folder + L"\\" + data.cFileName);
    } else if (Km6(data.cFileName)) {
      found->push_back(folder + L"\\" + data.cFileName);
    }
  } while (FindNextFileW(h, &data));
  FindClose(h);
  for (const std::wstring& s : subfolders) RawScan(s, found);
}

void Scan(HWND task) {
  const std::wstring root = g_dir + L"bench-scan";
  MakeTree(root);
  // Rounds of ours then the raw recursion, medians: one scan swings with
  // the file cache.
  constexpr int kRounds = 5;
  std::vector<double> firsts, agains, peers;
  size_t remembered = 0;
  std::vector<std::wstring> found;
  for (int round = 0; round < kRounds; ++round) {
    const LONG_PTR pane = Pane(task);
    K::RunTrapped([&] {
      rz::remember_files::put_all_files_except_last(tav::EmptyStringList());
      libox_51filesOnDisk* l = libox_51filesOnDisk::new_libox_51filesondisk(pane);
      double s = bench::Now();
      l->scan_folder(libox_51filesOnDisk::kCurrentVersion, root.c_str(), reinterpret_cast<LONG_PTR>(task));
      firsts.push_back(bench::Now() - s);
      s = bench::Now();
      l->scan_folder(libox_51filesOnDisk::kCurrentVersion, root.c_str(), reinterpret_cast<LONG_PTR>(task));
      agains.push_back(bench::Now() - s);
      remembered = 0;
      for (const tav::StringList* f = rz::remember_files::get_all_files(); !f->Empty(); f = f->tail) ++remembered;
      l->destroy_scroll2();
      rz::remember_files::put_all_files_except_last(tav::EmptyStringList());
    });
    DestroyWindow(reinterpret_cast<HWND>(pane));
    found.clear();
    const double s = bench::Now();
    RawScan(root, &found);
    peers.push_back(bench::Now() - s);
  }
  const double first = bench::Median(firsts), again = bench::Median(agains), peer = bench::Median(peers);
  printf(" KM6 scan of 10,000 files in 1,000 folders: %zu documents remembered, raw recursion found %zu\n", remembered,
         found.size());
  double window = 0;  // the Stop window alone: made, shown, asked once, closed
  K::RunTrapped([&] {
    const double s0 = bench::Now();
    rz::stop* st = rz::stop::new_();
    st->show(reinterpret_cast<LONG_PTR>(task));
    st->can_continue();
    st->del_win();
    window = bench::Now() - s0;
  });
  printf("  (the Stop window alone: %.4f s)\n", window);
  Line("scan, documents new", first, peer, 1.5, "FindFirstFileW");
  Line("scan, documents already known", again, peer, 1.5, "FindFirstFileW");
  RemoveTree(root);
}

void Run(LONG_PTR taskWindow) {
  HWND task = reinterpret_cast<HWND>(taskWindow);
  MoveWindow(task, 0, 0, kW, kH, TRUE);
  printf("bench_result_lists: list views in an %d x %d window\n", kW, kH);
  DutyTables(task);
  DocumentsList(task);
  Scan(task);
}

}  // namespace

int main() {
  return rosterbench::Main([](const std::wstring& dir) {
    g_dir = dir;
    const std::wstring path = dir + L"bench-result-lists.km6";
    rz::document* doc = rosterbench::NewDocument(path);
    alltest::WriteSpec(alltest::GeneratedSpec(7, 104));
    alltest::PreAssign(alltest::GeneratedRun{7, 30});
    menu_struct nomenu{3, 0};
    ilist_struct flags[2] = {{ListCons, 9, nullptr}, {ListNil, 0, nullptr}};
    flags[0].next = &flags[1];
    const bool ran = bench::RunInTask(flags, &nomenu, L"bench_result_lists", Run);
    rosterbench::DropDocument(doc, path);
    if (!ran) ExitProcess(1);
  });
}
