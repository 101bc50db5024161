// The tab dialog class against comctl32's tab control in the same run: a
// dialog of 8 sheets of 12 controls created, then 1,000 switches.  The peer
// switches with TCM_SETCURSEL and shows, hides and enables the same controls
// with ShowWindow/EnableWindow, sets the focus and updates the tab control.
// Goals: 1.3 times the peer's time for the switches, 1.2 for the creation.
// The tab dialog is created before any event reaches its tab control.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>

#include "bench_task.h"
#include "bench_util.h"
#include "exception/exception.h"
#include "kwi/kwi.h"
#include "kwi/kwidomains.h"
#include "kwi/kwitabdlg/kwitabdlg.h"

using namespace tav;
using namespace QEL_KWI;
namespace kd = tav::kwidomains;

namespace {

constexpr int kSheets = 8, kControls = 12, kSwitches = 1000, kTab = 100;
constexpr double kSwitchGoal = 1.3, kCreateGoal = 1.2;

QEL_KWI::ilist_struct g_nil{QEL_KWI::ListNil, 0, nullptr};
QEL_KWI::menu_struct g_nomenu{3, 0};

template <class C>
C* G(const C& c) {
  auto* p = static_cast<C*>(GStackAlloc(sizeof(C)));
  *p = c;
  return p;
}

// The sheet (from 0) of switch i: each switch goes to the next sheet, round.
int Next(int i) { return (i + 1) % kSheets; }

// Control j of sheet i: a button, in dialog units inside the sheet area.
int ControlId(int sheet, int j) { return 1000 + sheet * 100 + j; }
RECT ControlRect(int j) { return {10 + (j % 3) * 60, 8 + (j / 3) * 18, 65 + (j % 3) * 60, 22 + (j / 3) * 18}; }

const kwiTabDlg::information_list* Sheets() {
  const kwiTabDlg::information_list* l = G(kwiTabDlg::information_list{2, nullptr, nullptr});
  for (int i = kSheets - 1; i >= 0; --i) {
    windef* defs[kControls];
    for (int j = 0; j < kControls; ++j) {
      const RECT r = ControlRect(j);
      defs[j] = kd::Ctl(wt_pushbutton, kd::Rect(r.left, r.top, r.right, r.bottom), L"Button", ControlId(i, j),
                        kd::Ints({}));
    }
    wchar_t* title = static_cast<wchar_t*>(GStackAlloc(32 * sizeof(wchar_t)));
    swprintf(title, 32, L"Sheet %d", i + 1);
    const auto* t = G(kwiTabDlg::title{1, reinterpret_cast<LONG_PTR>(title)});
    const auto* s = G(kwiTabDlg::sheet{1, reinterpret_cast<LONG_PTR>(kd::Windefs(defs, kControls))});
    const auto* f = G(kwiTabDlg::field_list{2, nullptr, nullptr});
    l = G(kwiTabDlg::information_list{1, G(kwiTabDlg::information{1, i + 1, t, s, f}), l});
  }
  return l;
}

LONG_PTR Dialog(LONG_PTR task, const wchar_t* customClass) {
  return win_CreateDynDialog(
      task,
      kd::Windefs({kd::DlgFont(wt_modeless, kd::Rect(10, 10, 260, 190), L"Tabs", 2, L"Arial", 8, kd::Ints({4, 9})),
                   kd::CustomCtl(wt_custom, kd::Rect(5, 5, 245, 170), L"", 2, customClass, kTab, kd::Ints({}))}),
      NoEventHandler(), 0);
}

void Ours(LONG_PTR task, double* create, double* switches) {
  kwiTabDlg::register_();
  // No events between the dialog and `create`: a tab control painted before
  // it has its tables raises, and the error box would wait for ever.
  const LONG_PTR d = Dialog(task, L"ZEVTAB");
  const kwiTabDlg::information_list* sheets = Sheets();
  uint8_t* font = kwi::fontcreatebyname(L"Arial", 8);
  double t0 = bench::Now();
  kwiTabDlg::create(d, kTab, font, kwiTabDlg::style::top, 0, sheets, 1);
  kwi_ProcessEvents(1, 0);
  *create = bench::Now() - t0;
  t0 = bench::Now();
  for (int i = 0; i < kSwitches; ++i) {
    uint8_t* mark = K::Memory::MarkGStack();
    kwiTabDlg::select(d, kTab, Next(i) + 1);
    K::Memory::ReleaseGStack(mark);
  }
  *switches = bench::Now() - t0;
  win_Destroy(d);
  kwi_ProcessEvents(1, 0);
  kwiTabDlg::unregister();
}

void Peer(LONG_PTR task, double* create, double* switches) {
  // A dialog of the same size with a static placeholder where the tab control goes.
  const HWND d = reinterpret_cast<HWND>(Dialog(task, L"STATIC"));
  DestroyWindow(GetDlgItem(d, kTab));
  kwi_ProcessEvents(1, 0);
  RECT area{5, 5, 245, 170};
  MapDialogRect(d, &area);
  double t0 = bench::Now();
  HWND tab = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, area.left,
                             area.top, area.right - area.left, area.bottom - area.top, d,
                             reinterpret_cast<HMENU>(kTab), GetModuleHandleW(nullptr), nullptr);
  SendMessageW(tab, WM_SETFONT, SendMessageW(d, WM_GETFONT, 0, 0), 0);
  for (int i = 0; i < kSheets; ++i) {
    wchar_t title[32];
    swprintf(title, 32, L"Sheet %d", i + 1);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = title;
    SendMessageW(tab, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
  }
  RECT display = area;
  SendMessageW(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
  HWND controls[kSheets][kControls];
  for (int i = 0; i < kSheets; ++i)
    for (int j = 0; j < kControls; ++j) {
      RECT r = ControlRect(j);
      MapDialogRect(d, &r);
      controls[i][j] = CreateWindowExW(0, L"BUTTON", L"Button", WS_CHILD | WS_TABSTOP | (i == 0 ? WS_VISIBLE : 0),
                                       display.left + r.left, display.top + r.top, r.right - r.left,
                                       r.bottom - r.top, d, reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(i, j))),
                                       GetModuleHandleW(nullptr), nullptr);
      SendMessageW(controls[i][j], WM_SETFONT, SendMessageW(d, WM_GETFONT, 0, 0), 0);
    }
  kwi_ProcessEvents(1, 0);
  *create = bench::Now() - t0;
  int current = 0;
  t0 = bench::Now();
  for (int i = 0; i < kSwitches; ++i) {
    const int next = Next(i);
    SendMessageW(tab, TCM_SETCURSEL, next, 0);
    for (HWND c : controls[current]) {
      ShowWindow(c, SW_HIDE);
      EnableWindow(c, FALSE);
    }
    for (HWND c : controls[next]) {
      EnableWindow(c, TRUE);
      ShowWindow(c, SW_SHOW);
    }
    SetFocus(controls[next][0]);
    UpdateWindow(tab);
    current = next;
  }
  *switches = bench::Now() - t0;
  DestroyWindow(d);
  kwi_ProcessEvents(1, 0);
}

void Print(const char* name, double ours, double peer, double goal) {
  std::printf("  %-34s %8.1f ms  peer %8.1f ms  ratio %5.2f  goal %.1fx %s\n", name, ours * 1000,
              peer * 1000, ours / peer, goal, ours / peer <= goal ? "met" : "MISSED");
}

void Run(LONG_PTR task) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TAB_CLASSES};
  InitCommonControlsEx(&icc);
  double ourCreate = 0, ourSwitch = 0, peerCreate = 0, peerSwitch = 0;
  Peer(task, &peerCreate, &peerSwitch);
  Ours(task, &ourCreate, &ourSwitch);
  std::printf("\ntab dialog, %d sheets x %d controls; peer: comctl32 tab control\n", kSheets, kControls);
  Print("creation", ourCreate, peerCreate, kCreateGoal);
  Print("1,000 switches", ourSwitch, peerSwitch, kSwitchGoal);
}

}  // namespace

int main() {
  InitializeUnit();
  exception::setexceptionstate(exceptionState::New());
  QEL_KWI::ilist_struct visible{QEL_KWI::ListCons, 9, &g_nil};
  return bench::RunInTask(&visible, &g_nomenu, L"bench_tk_tabdlg", Run) ? 0 : 1;
}
