// The roster's input lists (doctors, practices, tasks, locations) on a
// generated 104-week, 60-doctor, 8-practice roster, in a pane of the same
// size as their peer: an owner-drawn LISTBOX (DrawText per cell) filled
// with the same row texts, and SetClipboardData of the same copy text in
// the same two formats as the lists' copy (ANSI and Unicode).
// Cases: open (new to first paint), refresh (update_libox to paint), a
// group toggle round trip (doctors: the store's two replacements, each
// refreshed and painted; the peer: the same two store replacements, its
// cell changed with each and painted),
// copy.  Prints a line per list and case: rows, ms, peer ms, ratio, goal.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bench_task.h"
#include "bench_util.h"
#include "kalmoradb/groups.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/staff_db.h"
#include "kwi/kwi.h"
#include "liboxes/drlibox.h"
#include "liboxes/loclibox.h"
#include "liboxes/praclibox.h"
#include "liboxes/tasklibox.h"
#include "roster_bench.h"
#include "roster_fixture.h"
#include "roster_generator.h"

using namespace QEL_KWI;
namespace K = Qel::RunTime::Kernel;
namespace rz = rizediveva6;

namespace {

constexpr int kWidth = 900, kHeight = 700, kRowHeight = 20;

double BestMs(int runs, const std::function<void()>& body) { return rosterbench::Best(runs, body) * 1000.0; }

// --- the peer: an owner-drawn list box of the same rows ---

std::vector<std::vector<std::wstring>> g_rows;
std::vector<int> g_edges;  // the cell edges of the list

LRESULT CALLBACK PeerProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_MEASUREITEM) {
    reinterpret_cast<MEASUREITEMSTRUCT*>(lp)->itemHeight = kRowHeight;
    return TRUE;
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
    box = CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_OWNERDRAWFIXED | LBS_NOINTEGRALHEIGHT,
                          0, 0, kWidth, kHeight, frame, nullptr, GetModuleHandleW(nullptr), nullptr);
    Fill();
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

// A kind of list: made in the pane, its list box, refreshed, closed.
struct Kind {
  const char* name;
  std::function<void*(LONG_PTR)> make;
  std::function<rz::libox*(void*)> box;
  std::function<void(void*)> refresh, close;
};

template <class T>
Kind KindOf(const char* name) {
  return {name, [](LONG_PTR pane) -> void* { return T::new_(pane); },
          [](void* v) { return static_cast<T*>(v)->list_box(); }, [](void* v) { static_cast<T*>(v)->update_libox(); },
          [](void* v) { static_cast<T*>(v)->destroy_scroll2(); }};
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
    HWND paneWindow = reinterpret_cast<HWND>(pane);
    const Kind kinds[] = {KindOf<all::drlibox>("doctors"), KindOf<all::praclibox>("practices"),
                          KindOf<all::tasklibox>("tasks"), KindOf<all::loclibox>("locations")};
    static size_t doctors, practices;
    all::staff_db::nd_person([&](const all::PersonTerm*) {
      ++doctors;
      K::Fail();
    });
    for (const rz::SList* g = all::groups::list_groups(); !g->Empty(); g = g->tail) ++practices;
    printf("104 weeks, %zu doctors, %zu practices; pane %d x %d\n", doctors, practices, kWidth, kHeight);
    for (const Kind& k : kinds) {
      static void* view;
      view = k.make(pane);
      TakeRows(k.box(view));
      const size_t rows = g_rows.size();
      k.close(view);
      win_SetHandler(pane, tav::NoEventHandler());

      const double open = BestMs(5, [&] {
        view = k.make(pane);
        UpdateWindow(paneWindow);
        k.close(view);
        win_SetHandler(pane, tav::NoEventHandler());
      });
      Peer peer;
      const double peerOpen = BestMs(5, [&] {
        peer.Open(paneWindow);
        peer.Close();
      });
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

      if (std::string(k.name) == "doctors") {
        static all::chain_ref first;
        all::staff_db::nd_person([&](const all::PersonTerm* p) { first = p->ref; });
        static const wchar_t* group;
        group = tav::HeapCopy(all::groups::list_groups()->head);
        ShowWindow(peer.frame, SW_HIDE);
        const double toggle = BestMs(5, [&] {
          for (int i = 0; i < 2; ++i) {
            Toggle(group, first);
            k.refresh(view);
            UpdateWindow(paneWindow);
          }
        });
        ShowWindow(peer.frame, SW_SHOW);
        const size_t column = 5;
        const double peerToggle = BestMs(5, [&] {
          for (int i = 0; i < 2; ++i) {
            Toggle(group, first);  // the same store change on both sides
            std::wstring& cell = g_rows[0][std::min(column, g_rows[0].size() - 1)];
            cell = cell.empty() ? L"X" : L"";
            RECT item;
            SendMessageW(peer.box, LB_GETITEMRECT, 0, LPARAM(&item));
            InvalidateRect(peer.box, &item, TRUE);
            UpdateWindow(peer.box);
          }
        });
        Line(k.name, "toggle", rows, toggle, peerToggle, 1.5);
      }

      const double copy = BestMs(5, [&] { k.box(view)->to_exel_cb(); });
      const double peerCopy = BestMs(5, [&] { PeerCopy(paneWindow); });
      Line(k.name, "copy", rows, copy, peerCopy, 1.5);
      peer.Close();
      k.close(view);
      win_SetHandler(pane, tav::NoEventHandler());
    }
  });
  if (code) printf("error %u\n", code);
}

}  // namespace

int main() {
  return rosterbench::Main([](const std::wstring& dir) {
    const std::wstring path = dir + L"bench-lists.km6";
    rz::document* doc = rosterbench::NewDocument(path);
    alltest::WriteSpec(alltest::GeneratedSpec(7, 104));
    menu_struct nomenu{3, 0};
    ilist_struct flags[2] = {{ListCons, 9, nullptr}, {ListNil, 0, nullptr}};
    flags[0].next = &flags[1];
    const bool ran = bench::RunInTask(flags, &nomenu, L"bench_lists", Run);
    rosterbench::DropDocument(doc, path);
    if (!ran) ExitProcess(1);
  });
}
