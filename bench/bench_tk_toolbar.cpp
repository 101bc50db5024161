// The toolbar class against a comctl32 toolbar, in the same run, on one task
// window: create, first paint and remove of a tb_top of 30 buttons and 6
// separators (goal: as fast, ratio >= 1.0), and a full repaint of each
// (goal: ratio >= 0.67, i.e. at most 1.5 times the peer's time; the toolbar
// loads every image anew at each paint).  Each line prints ours, the peer's
// and peer/ours.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench_task.h"
#include "bench_util.h"
#include "kwi/kwi.h"
#include "kwi/kwitoolbar/kwitoolbar.h"

using namespace tav;
namespace Kn = Qel::RunTime::Kernel;

namespace {

constexpr int kButtons = 30, kSeparators = 6;
constexpr uint32_t kImage = 401;

std::vector<tbar::control> Controls() {
  std::vector<tbar::control> c;
  for (int i = 0; i < kButtons; ++i) {
    if (i % 5 == 0 && i) c.push_back(tbar::separator());
    c.push_back(tbar::tb_ctrl(1000 + i, tbar::ControlStyle::pushb, tbar::resid(kImage), L"Tip;Status", 1, 1));
  }
  c.push_back(tbar::separator());
  return c;
}

void Paint(HWND w) { RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW); }

HWND PeerCreate(HWND parent) {
  HWND tb = CreateWindowExW(0, TOOLBARCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT, 0, 0, 0, 0,
                            parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(tb, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  TBADDBITMAP bitmap{GetModuleHandleW(nullptr), kImage};
  SendMessageW(tb, TB_ADDBITMAP, 1, reinterpret_cast<LPARAM>(&bitmap));
  std::vector<TBBUTTON> buttons;
  for (int i = 0; i < kButtons; ++i) {
    if (i % 5 == 0 && i) buttons.push_back({0, 0, 0, BTNS_SEP, {}, 0, 0});
    buttons.push_back({0, 1000 + i, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0});
  }
  buttons.push_back({0, 0, 0, BTNS_SEP, {}, 0, 0});
  SendMessageW(tb, TB_ADDBUTTONS, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
  SendMessageW(tb, TB_AUTOSIZE, 0, 0);
  return tb;
}

template <class F>
double Best(int rounds, F&& body) {
  double best = 1e30;
  for (int run = 0; run < 3; ++run) {
    uint8_t* mark = Kn::Memory::MarkGStack();
    const double start = bench::Now();
    for (int i = 0; i < rounds; ++i) body();
    best = std::min(best, (bench::Now() - start) / rounds);
    Kn::Memory::ReleaseGStack(mark);
    QEL_KWI::kwi_ProcessEvents(1, 0);
  }
  return best;
}

void Line(const char* what, double ours, double theirs, double goal) {
  const double ratio = theirs / ours;
  std::printf("  %-36s %9.2f ms  %9.2f ms  %5.2f %s\n", what, ours * 1e3, theirs * 1e3, ratio,
              ratio >= goal ? "" : "(below goal)");
}

void Run(LONG_PTR task) {
  HWND parent = reinterpret_cast<HWND>(task);
  SetWindowPos(parent, HWND_TOP, 0, 0, 1100, 200, SWP_SHOWWINDOW);
  const std::vector<tbar::control> list = Controls();
  const tbar::control_list controls{list.data(), static_cast<uint32_t>(list.size())};
  const double ours = Best(20, [&] {
    LONG_PTR w = kwiToolbar::create(tbar::tb_top(), task, controls);
    Paint(reinterpret_cast<HWND>(w));
    kwiToolbar::remove(w);
  });
  const double peer = Best(20, [&] {
    HWND tb = PeerCreate(parent);
    Paint(tb);
    DestroyWindow(tb);
  });
  std::printf("  %-36s %12s  %12s  peer/ours\n", "", "toolbar", "comctl32");
  Line("create, first paint, remove", ours, peer, 1.0);
  LONG_PTR w = kwiToolbar::create(tbar::tb_top(), task, controls);
  HWND tb = PeerCreate(parent);
  SetWindowPos(tb, nullptr, 0, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  QEL_KWI::kwi_ProcessEvents(1, 0);
  const double oursPaint = Best(20, [&] { Paint(reinterpret_cast<HWND>(w)); });
  const double peerPaint = Best(20, [&] { Paint(tb); });
  Line("full repaint", oursPaint, peerPaint, 1.0 / 1.5);
  DestroyWindow(tb);
  kwiToolbar::remove(w);
  QEL_KWI::kwi_SetAttrVal(10004, 0);
}

}  // namespace

int main() {
  if (InitializeUnit() != 0) return 1;
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  std::printf("bench_tk_toolbar: a tb_top of %d buttons and %d separators\n", kButtons, kSeparators);
  if (!bench::RunInTask(kwidomains::Ints({9, 4, 5, 6, 2}), kwidomains::NoMenu(), L"bench_tk_toolbar", &Run))
    return 1;
  return 0;
}
