// The list box's cell editor and click selection, driven through the input
// queue (SendInput) on an 800 x 600 window: the edit round trip (six
// characters in the open editor, Enter, the send-back, the next row's editor
// open; the first editor opened by a press) against a report-mode ListView's
// label edit (LVM_EDITLABEL, the same keys, Enter, LVN_ENDLABELEDIT): one
// editor made and closed per edit on either side; row selections by click
// with a selection call-back that redraws the list against clicks in an
// owner-drawn LISTBOX answered with LBN_SELCHANGE.  Each step waits until
// its last effect is seen.  The sides take turns over several rounds, each
// round with fresh windows and the other side first, so that load that comes
// in bursts falls on both; the median of every step of a side is printed
// with the ratio to the peer (goals: edit 1.0x, selection 1.2x) and the
// spread of the rounds' ratios.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "KWI/orvtoolkwi/libox.h"
#include "KWI/orvtoolkwi/o_edit_li.h"
#include "bench_task.h"
#include "bench_util.h"
#include "libox_peer.h"
#include "kwi/kwi.h"
#include "unit.h"

using namespace QEL_KWI;
using namespace rizediveva6;
namespace K = Qel::RunTime::Kernel;

namespace {

// kEdits and kClicks are per round.
constexpr int kW = 800, kH = 600, kLines = 200, kRounds = 6, kEdits = 10, kClicks = 200, kRowH = 16, kBand = 20;
constexpr int kColumnB = 176;  // the middle of the second column, x 126..226

// --- input ---

void Mouse(DWORD flags) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = flags;
  SendInput(1, &in, sizeof in);
}

void ClickAt(HWND w, int x, int y) {
  POINT p{x, y};
  ClientToScreen(w, &p);
  SetCursorPos(p.x, p.y);
  Mouse(MOUSEEVENTF_LEFTDOWN);
  Mouse(MOUSEEVENTF_LEFTUP);
}

void TypeSix() {
  for (wchar_t c : std::wstring(L"Z\u00fcrich")) {
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wScan = in[1].ki.wScan = c;
    in[0].ki.dwFlags = KEYEVENTF_UNICODE;
    in[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
    SendInput(2, in, sizeof(INPUT));
  }
}

void Enter() {
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_KEYBOARD;
  in[0].ki.wVk = in[1].ki.wVk = VK_RETURN;
  in[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, in, sizeof(INPUT));
}

// Runs the thread's messages until done() (false after 5 s).
bool PumpUntil(const std::function<bool()>& done) {
  const double start = bench::Now();
  while (!done()) {
    if (bench::Now() - start > 5) return false;
    MSG m;
    if (!PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
      continue;
    }
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  return true;
}

void Settle() {
  PumpUntil([] {
    MSG m;
    return !PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE);
  });
}

using bench::Median;

// --- ours ---

int g_sent = 0, g_selected = 0;
libox* g_list = nullptr;

void SendBack(void*, const wchar_t*, uint32_t, uint32_t) { ++g_sent; }
void Selected(void*, uint32_t, uint32_t, const line&) {
  ++g_selected;
  g_list->lbox_draw();
}

libox* NewList(LONG_PTR task, HWND* pane) {
  SetForegroundWindow(reinterpret_cast<HWND>(task));  // a peer's window may have been in front
  rect_struct r{0, 0, kW, kH};
  ilist_struct none{ListNil, 0, nullptr};
  menu_struct noMenu{3, 0};
  const LONG_PTR p = win_Create(wt_child, &r, L"", &noMenu, task, &none, tav::NoEventHandler(), 0);
  *pane = reinterpret_cast<HWND>(p);
  libox* l = libox::new_(L"bench-libox-edit", Screen(p));
  win_SetHandler(p, l->event_handler());
  l->set_title_tb(TitleTb(0, kBand));
  l->add_cols(AsSList(tav::MakeStringList({L"a", L"b", L"c"})));
  l->set_col_widths(true, MakeList<uint32_t>({25, 100, 100, 100}));
  l->set_row_height(kRowH);
  for (int i = 0; i < kLines; ++i) {
    uint8_t* mark = K::Memory::MarkGStack();
    const std::wstring a = L"line " + std::to_wstring(i);
    l->lbox_add(Cons<const SList*>(AsSList(tav::MakeStringList({a.c_str(), L"Bern", L"c"})), Nil<const SList*>()));
    K::Memory::ReleaseGStack(mark);
  }
  l->lbox_draw();
  return l;
}

int RowY(int row) { return kBand + row * kRowH + kRowH / 2; }

void OursEdit(LONG_PTR task, std::vector<double>& rounds) {
  K::RunTrapped([&] {
    HWND pane;
    libox* l = NewList(task, &pane);
    l->set_sendback({&SendBack, nullptr}, MakeList<uint32_t>({2}));
    Settle();
    // The first editor opens by a press; from then on each Enter sends the
    // text back and opens the next row's editor: one editor per edit, as
    // the peer's label edit.
    ClickAt(pane, kColumnB, RowY(1));
    PumpUntil([&] { return l->editor() && l->editor()->window(); });
    Settle();
    for (int i = 0; i < kEdits; ++i) {
      const uint32_t row = uint32_t(1 + i);
      const int sent = g_sent;
      const double s = bench::Now();
      TypeSix();
      Enter();
      PumpUntil([&] { return g_sent > sent && l->editor() && l->editor()->row() == row + 1 && l->editor()->window(); });
      rounds.push_back(bench::Now() - s);
      Settle();
    }
    l->destroy_scroll();
    DestroyWindow(pane);
  });
}

void OursSelect(LONG_PTR task, std::vector<double>& clicks) {
  K::RunTrapped([&] {
    HWND pane;
    libox* l = NewList(task, &pane);
    g_list = l;
    l->set_callback_sel({&Selected, nullptr});
    Settle();
    for (int i = 0; i < kClicks; ++i) {
      const int seen = g_selected;
      const double s = bench::Now();
      ClickAt(pane, 60, RowY(1 + (i * 7) % 30));
      PumpUntil([&] { return g_selected > seen; });
      clicks.push_back(bench::Now() - s);
      Settle();
    }
    l->destroy_scroll();
    DestroyWindow(pane);
  });
}

// --- the peers ---

int g_ended = 0, g_changed = 0;

LRESULT CALLBACK PeerParent(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_NOTIFY && reinterpret_cast<NMHDR*>(lp)->code == LVN_ENDLABELEDITW) {
    ++g_ended;
    return TRUE;
  }
  if (m == WM_COMMAND && HIWORD(wp) == LBN_SELCHANGE) {
    ++g_changed;
    return 0;
  }
  if (m == WM_DRAWITEM) {
    auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
    if (d->itemID == UINT(-1)) return TRUE;
    const bool selected = d->itemState & ODS_SELECTED;
    FillRect(d->hDC, &d->rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    const std::wstring cells[3] = {L"line " + std::to_wstring(d->itemID), L"Bern", L"c"};
    for (int c = 0; c < 3; ++c) {
      RECT r = d->rcItem;
      r.left = 25 + c * 100 + 2;
      r.right = 25 + (c + 1) * 100;
      DrawTextW(d->hDC, cells[c].c_str(), -1, &r, DT_LEFT | DT_TOP);
    }
    return TRUE;
  }
  if (m == WM_MEASUREITEM) {
    reinterpret_cast<MEASUREITEMSTRUCT*>(lp)->itemHeight = kRowH;
    return TRUE;
  }
  return DefWindowProcW(w, m, wp, lp);
}

HWND NewParent() {
  HWND p = bench::NewPeerParent(L"bench_libox_edit_parent", PeerParent, kW, kH);
  SetForegroundWindow(p);
  return p;
}

void PeerEdit(std::vector<double>& rounds) {
  HWND parent = NewParent();
  HWND view = CreateWindowW(WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_EDITLABELS, 0, 0, kW, kH,
                            parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  for (int c = 0; c < 3; ++c) {
    LVCOLUMNW col{};
    col.mask = LVCF_WIDTH;
    col.cx = 100;
    SendMessageW(view, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&col));
  }
  for (int i = 0; i < kLines; ++i) {
    const std::wstring a = L"line " + std::to_wstring(i);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = i;
    item.pszText = const_cast<wchar_t*>(a.c_str());
    SendMessageW(view, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  }
  SetFocus(view);
  Settle();
  for (int i = 0; i < kEdits; ++i) {
    const int ended = g_ended;
    const double s = bench::Now();
    HWND edit = reinterpret_cast<HWND>(SendMessageW(view, LVM_EDITLABELW, i % 20, 0));
    if (!edit) break;
    TypeSix();
    Enter();
    PumpUntil([&] { return g_ended > ended; });
    rounds.push_back(bench::Now() - s);
    Settle();
  }
  DestroyWindow(parent);
}

void PeerSelect(std::vector<double>& clicks) {
  HWND parent = NewParent();
  HWND box = CreateWindowW(L"LISTBOX", L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_OWNERDRAWFIXED | LBS_NOTIFY |
                                               LBS_NOINTEGRALHEIGHT,
                           0, 0, kW, kH, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  for (int i = 0; i < kLines; ++i) SendMessageW(box, LB_ADDSTRING, 0, i);
  Settle();
  for (int i = 0; i < kClicks; ++i) {
    const int seen = g_changed;
    const double s = bench::Now();
    ClickAt(box, 60, (1 + (i * 7) % 30) * kRowH - kRowH / 2);
    PumpUntil([&] { return g_changed > seen; });
    clicks.push_back(bench::Now() - s);
    Settle();
  }
  DestroyWindow(parent);
}

// Every step's time of each side, and each round's ratio of medians.
struct Steps {
  std::vector<double> ours, peer, ratios;
  template <class Ours, class Peer>
  void round(bool oursFirst, Ours runOurs, Peer runPeer) {
    std::vector<double> o, p;
    if (oursFirst) runOurs(o), runPeer(p);
    else runPeer(p), runOurs(o);
    ours.insert(ours.end(), o.begin(), o.end());
    peer.insert(peer.end(), p.begin(), p.end());
    if (!o.empty() && !p.empty()) ratios.push_back(Median(o) / Median(p));
  }
};

void Line(const char* what, const Steps& s, double goal, const char* peerName) {
  const double ours = Median(s.ours), peer = Median(s.peer);
  const auto [low, high] = std::minmax_element(s.ratios.begin(), s.ratios.end());
  printf("  %-26s list %9.5f s  %s %9.5f s  ratio %.2fx (goal <= %.1fx; rounds %.2f-%.2fx)%s\n", what, ours, peerName,
         peer, ours / peer, goal, s.ratios.empty() ? 0 : *low, s.ratios.empty() ? 0 : *high,
         ours / peer <= goal ? "" : "  above goal");
}

void Run(LONG_PTR taskWindow) {
  HWND task = reinterpret_cast<HWND>(taskWindow);
  RECT r{0, 0, kW, kH};
  AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
  MoveWindow(task, 0, 0, r.right - r.left, r.bottom - r.top, TRUE);
  SetForegroundWindow(task);
  printf("bench_libox_edit: %d lines, driven through SendInput, %d rounds\n", kLines, kRounds);
  Steps edit, select;
  for (int n = 0; n < kRounds; ++n) {
    edit.round(n % 2 == 0, [&](std::vector<double>& v) { OursEdit(taskWindow, v); }, PeerEdit);
    select.round(n % 2 == 0, [&](std::vector<double>& v) { OursSelect(taskWindow, v); }, PeerSelect);
  }
  Line("cell edit round trip", edit, 1.0, "ListView label edit");
  Line("selection by click", select, 1.2, "LISTBOX LBN_SELCHANGE");
  printf("  (%d send-backs, %d selection call-backs, %d label edits, %d LBN_SELCHANGE)\n", g_sent, g_selected, g_ended,
         g_changed);
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
  return bench::RunInTask(flags, &nomenu, L"bench_libox_edit", Run) ? 0 : 1;
}
