// The list box drawn on an 800 x 600 window against an owner-drawn LISTBOX
// (texts in a vector, one LB_ADDSTRING per row, DrawText in WM_DRAWITEM) and a report-mode ListView,
// three-column rows: fill and first paint of 10,000 and 100,000 lines, a
// full repaint, a page down; to_exel_cb of 10,000 lines against building the
// same text and SetClipboardData of its ANSI and Unicode forms, each taking the clipboard from another
// owner (median of five).  Each timed step ends with a pixel read,
// so that work the display still queues is counted on every side.  Prints
// seconds and the ratio to the LISTBOX (goals: fill and paint 1.5x, repaint
// 1.5x, page 1.0x, copy 1.5x).
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "KWI/orvtoolkwi/libox.h"
#include "SYSTEM/myKWI/myKWI.h"
#include "bench_task.h"
#include "bench_util.h"
#include "libox_peer.h"
#include "unit.h"

using namespace QEL_KWI;
using namespace rizediveva6;
namespace K = Qel::RunTime::Kernel;

namespace {

constexpr int kW = 800, kH = 600, kRepeats = 20, kCopyLines = 10000, kCopyRuns = 5;

std::wstring Cell(int i, int c) { return L"line " + std::to_wstring(i) + L" cell " + std::to_wstring(c); }

struct Times {
  double fill = 0, repaint = 0, page = 0;
};

void Settle(HWND w) {
  HDC dc = GetDC(w);
  GetPixel(dc, 10, 10);
  ReleaseDC(w, dc);
}

// --- ours ---

void AddLines(libox* l, int n) {
  for (int i = 0; i < n; ++i) {
    uint8_t* mark = K::Memory::MarkGStack();
    ListBuilder<const wchar_t*> cells;
    std::wstring texts[3] = {Cell(i, 0), Cell(i, 1), Cell(i, 2)};
    for (const auto& s : texts) cells.Add(s.c_str());
    l->lbox_add(Cons<const SList*>(cells.Finish(), Nil<const SList*>()));
    K::Memory::ReleaseGStack(mark);
  }
}

Times Ours(HWND task, int n) {
  Times t;
  const uint32_t code = K::RunTrapped([&] {
    const double start = bench::Now();
    libox* l = libox::new_(L"bench-libox-draw", Screen(reinterpret_cast<LONG_PTR>(task)));
    l->set_title_tb(TitleTb(0, 20));
    l->add_cols(AsSList(tav::MakeStringList({L"a", L"b", L"c"})));
    l->set_col_widths(true, MakeList<uint32_t>({0, 250, 250, 250}));
    AddLines(l, n);
    l->lbox_draw();
    Settle(task);
    t.fill = bench::Now() - start;
    double s = bench::Now();
    for (int r = 0; r < kRepeats; ++r) l->lbox_draw();
    Settle(task);
    t.repaint = (bench::Now() - s) / kRepeats;
    s = bench::Now();
    for (int r = 0; r < kRepeats; ++r) {
      l->v_scroll(4, 0);
      l->lbox_draw();
    }
    Settle(task);
    t.page = (bench::Now() - s) / kRepeats;
    l->destroy_scroll();
  });
  if (code) fprintf(stderr, "bench_libox: error %u\n", code);
  return t;
}

// --- the owner-drawn LISTBOX ---

std::vector<std::wstring> g_texts[3];

LRESULT CALLBACK Parent(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_DRAWITEM) {
    auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
    if (d->itemID == UINT(-1)) return TRUE;
    FillRect(d->hDC, &d->rcItem, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    for (int c = 0; c < 3; ++c) {
      RECT r = d->rcItem;
      r.left = c * 250 + 2;
      r.right = (c + 1) * 250;
      DrawTextW(d->hDC, g_texts[c][d->itemID].c_str(), -1, &r, DT_LEFT | DT_TOP);
    }
    return TRUE;
  }
  if (m == WM_MEASUREITEM) {
    reinterpret_cast<MEASUREITEMSTRUCT*>(lp)->itemHeight = 16;
    return TRUE;
  }
  return DefWindowProcW(w, m, wp, lp);
}

HWND NewParent() {
  return bench::NewPeerParent(L"bench_libox_parent", Parent, kW, kH);
}

void Fill(int n) {
  for (auto& v : g_texts) v.clear();
  for (int i = 0; i < n; ++i)
    for (int c = 0; c < 3; ++c) g_texts[c].push_back(Cell(i, c));
}

// A native control's full repaint and page down, averaged.
void RepaintAndPage(HWND w, Times* t) {
  double s = bench::Now();
  for (int r = 0; r < kRepeats; ++r) {
    InvalidateRect(w, nullptr, TRUE);
    UpdateWindow(w);
  }
  Settle(w);
  t->repaint = (bench::Now() - s) / kRepeats;
  s = bench::Now();
  for (int r = 0; r < kRepeats; ++r) {
    SendMessageW(w, WM_VSCROLL, SB_PAGEDOWN, 0);
    UpdateWindow(w);
  }
  Settle(w);
  t->page = (bench::Now() - s) / kRepeats;
}

Times ListBox(int n) {
  Times t;
  HWND parent = NewParent();
  Fill(n);
  const double start = bench::Now();
  // Filled hidden (shown, it repaints at every add), then shown.
  HWND box = CreateWindowW(L"LISTBOX", L"", WS_CHILD | WS_VSCROLL | LBS_OWNERDRAWFIXED |
                                                LBS_NOINTEGRALHEIGHT,
                           0, 0, kW, kH, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(box, LB_INITSTORAGE, n, 0);
  for (int i = 0; i < n; ++i) SendMessageW(box, LB_ADDSTRING, 0, i);  // the item data: the row
  ShowWindow(box, SW_SHOW);
  UpdateWindow(box);
  Settle(box);
  t.fill = bench::Now() - start;
  RepaintAndPage(box, &t);
  DestroyWindow(parent);
  return t;
}

Times ListView(int n) {
  Times t;
  HWND parent = NewParent();
  Fill(n);
  const double start = bench::Now();
  // Filled hidden, as the LISTBOX, then shown.
  HWND view = CreateWindowW(WC_LISTVIEWW, L"", WS_CHILD | LVS_REPORT, 0, 0, kW, kH, parent, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
  SendMessageW(view, LVM_SETITEMCOUNT, n, 0);
  for (int c = 0; c < 3; ++c) {
    LVCOLUMNW col{};
    col.mask = LVCF_WIDTH;
    col.cx = 250;
    SendMessageW(view, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&col));
  }
  for (int i = 0; i < n; ++i) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = i;
    item.pszText = const_cast<wchar_t*>(g_texts[0][i].c_str());
    const int at = int(SendMessageW(view, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    for (int c = 1; c < 3; ++c) {
      LVITEMW sub{};
      sub.iSubItem = c;
      sub.pszText = const_cast<wchar_t*>(g_texts[c][i].c_str());
      SendMessageW(view, LVM_SETITEMTEXTW, at, reinterpret_cast<LPARAM>(&sub));
    }
  }
  ShowWindow(view, SW_SHOW);
  UpdateWindow(view);
  Settle(view);
  t.fill = bench::Now() - start;
  RepaintAndPage(view, &t);
  DestroyWindow(parent);
  return t;
}

// --- copying ---

double OursCopy() {
  double t = 0;
  Dialogs quiet = myKWI::dialogs();
  quiet.note = [](const wchar_t*) {};
  const Dialogs before = myKWI::set_dialogs(quiet);
  K::RunTrapped([&] {
    libox* l = libox::new_(L"bench-libox-copy", WNull());
    AddLines(l, kCopyLines);
    bench::TakeClipboard();
    const double s = bench::Now();
    l->to_exel_cb();
    t = bench::Now() - s;
    l->delete_db();
  });
  myKWI::set_dialogs(before);
  return t;
}

double PeerCopy(HWND task, size_t* chars) {
  Fill(kCopyLines);
  bench::TakeClipboard();
  const double s = bench::Now();
  std::wstring text;
  for (int i = 0; i < kCopyLines; ++i) {
    for (int c = 0; c < 3; ++c) text += g_texts[c][i] + L"\t";
    text += L"\n";
  }
  bench::PutClipboardText(task, text);
  *chars = text.size();
  return bench::Now() - s;
}

// The median of kCopyRuns copies, each side's in turn (copying is short and
// the display's traffic varies).
using bench::Median;

void Line(const char* what, double ours, double peer, double goal, const char* peerName = "LISTBOX") {
  printf("  %-22s list %9.4f s  %s %9.4f s  ratio %.2fx (goal <= %.1fx)%s\n", what, ours, peerName, peer, ours / peer, goal,
         ours / peer <= goal ? "" : "  above goal");
}

void Run(LONG_PTR taskWindow) {
  HWND task = reinterpret_cast<HWND>(taskWindow);
  RECT r{0, 0, kW, kH};
  AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
  MoveWindow(task, 0, 0, r.right - r.left, r.bottom - r.top, TRUE);
  printf("bench_libox: three-column rows in an %d x %d window\n", kW, kH);
  for (int n : {10000, 100000}) {
    const Times ours = Ours(task, n), box = ListBox(n), view = ListView(n);
    printf(" %d lines\n", n);
    Line("fill and first paint", ours.fill, box.fill, 1.5);
    Line("full repaint", ours.repaint, box.repaint, 1.5);
    Line("page down", ours.page, box.page, 1.0);
    printf("  ListView: fill and paint %.4f s, repaint %.4f s, page %.4f s\n", view.fill, view.repaint, view.page);
  }
  size_t chars = 0;
  std::vector<double> peers, ourRuns;
  for (int i = 0; i < kCopyRuns; ++i) {
    peers.push_back(PeerCopy(task, &chars));
    ourRuns.push_back(OursCopy());
  }
  const double peer = Median(peers), ours = Median(ourRuns);
  printf(" copy of %d lines (%zu characters)\n", kCopyLines, chars);
  Line("to_exel_cb", ours, peer, 1.5, "text+SetClipboardData");
}

}  // namespace

int main() {
  if (rizediveva6::InitializeUnit() != 0) return 1;
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&icc);
  ilist_struct flags[3] = {{ListCons, 9, nullptr}, {ListCons, 10, nullptr}, {ListNil, 0, nullptr}};
  flags[0].next = &flags[1];
  flags[1].next = &flags[2];
  menu_struct nomenu{3, 0};
  return bench::RunInTask(flags, &nomenu, L"bench_libox", Run) ? 0 : 1;
}
