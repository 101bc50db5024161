// Selecting a command-tree item, from the selection in the control to the
// view drawn in the top data pane: "Doctors" (the doctors list) and
// "Display & edit" > "All duties" (the assignment calendar) on a generated
// 52-week roster.  Its peer constructs and draws the same view directly in
// the same pane in the same run (and closes it as a selection does).
// Prints the median ms per selection per side and the ratio (goal 1.1x or
// better).
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_task.h"
#include "commandtree/comtree.h"
#include "kalmoradb/sc_include.h"
#include "kalmoradb/staff_db.h"
#include "liboxes/drlibox.h"
#include "mycal/draw_assign.h"
#include "roster_bench.h"
#include "roster_fixture.h"
#include "roster_generator.h"
#include "tree_items.h"

using namespace QEL_KWI;
namespace K = Qel::RunTime::Kernel;
using all::comtree;

// The task window's operations the command tree calls (the program's own
// task window is not part of this benchmark).
void all::taskWindow::set_title() {}
bool all::taskWindow::is_active() { return true; }
bool all::taskWindow::close_kalmora_file() { return false; }

namespace {

constexpr int kRounds = 40;

double Ms(LARGE_INTEGER a, LARGE_INTEGER b) {
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  return (b.QuadPart - a.QuadPart) * 1000.0 / f.QuadPart;
}

HWND Native() { return tav::kwiTreeView::getnativewindow(comtree::db6.xtreeviewwin.get()); }
HWND Top() { return reinterpret_cast<HWND>(comtree::db6.xdata_wintop.get()); }

// The control's item at a text path below the root.
HTREEITEM Item(std::vector<std::wstring> path) {
  path.insert(path.begin(), L"C-tree");
  return alltest::TreeItem(Native(), path);
}

// The pane and the windows in it drawn now.
void Drawn() { RedrawWindow(Top(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN); }

// Selected in the control; the pane drawn.
void Select(HTREEITEM h) {
  SendMessageW(Native(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(h));
  Drawn();
}

// The peer: the view made, held where the pane's handler finds it and drawn
// directly; the next reset closes it as it closes a selected view.
all::drlibox* g_list = nullptr;
all::draw_assign* g_layer = nullptr;
void DoctorsDirect() {
  K::RunTrapped([] {
    g_list = all::drlibox::new_(comtree::db6.xdata_wintop.get());
    comtree::db3.db_drlibox.put(g_list);
  });
  Drawn();
}
void AllDutiesDirect() {
  K::RunTrapped([] {
    static const rizediveva6::List<const wchar_t*> all{1, L"All duties", rizediveva6::Nil<const wchar_t*>()};
    g_layer = all::draw_assign::new_assign(comtree::db6.xdata_wintop.get());
    comtree::db3.db_cal_assign.put_closing(g_layer, [](all::draw_assign*) {});
    all::sc_include::set_include_str(&all);
    g_layer->drew_all_assign(&all);
  });
  Drawn();
}

void Run(LONG_PTR task) {
  SetWindowPos(reinterpret_cast<HWND>(task), nullptr, 0, 0, 1200, 800, SWP_NOMOVE | SWP_NOZORDER);
  const uint32_t error = K::RunTrapped([] {
    comtree::make_treeandwindows();
    comtree::rebuild_com_tree(true);
  });
  if (error) {
    printf("could not make the command tree: error %u\n", error);
    return;
  }
  HTREEITEM doctors = Item({L"Input Data", L"Doctors"});
  HTREEITEM allDuties = Item({L"Roster", L"Display & edit", L"All duties"});
  HTREEITEM help = Item({L"Help"});
  if (!doctors || !allDuties || !help) {
    printf("the items were not found\n");
    return;
  }
  uint32_t people = 0;
  K::RunTrapped([&] {
    for (auto* l = all::staff_db::list_staff(); !l->Empty(); l = l->tail) ++people;
  });
  // One round: the selection alone timed (the reset before it is not),
  // then the peer; the two sides alternate so that both see the same state.
  struct Side {
    double ours = 0, peer = 0;  // medians
  };
  auto median = [](std::vector<double> v) {
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
  };
  // Back to an empty pane, as before a selection.
  auto reset = [&] {
    Select(help);
    K::RunTrapped([] {
      comtree::delete_liboxes();
      comtree::delete_cal(1);
    });
    Drawn();
  };
  auto measure = [&](HTREEITEM h, void (*body)()) {
    std::vector<double> ours, peer;
    LARGE_INTEGER a, b;
    for (int i = 0; i < kRounds; ++i) {
      reset();
      QueryPerformanceCounter(&a);
      Select(h);
      QueryPerformanceCounter(&b);
      ours.push_back(Ms(a, b));
      reset();
      QueryPerformanceCounter(&a);
      body();
      QueryPerformanceCounter(&b);
      peer.push_back(Ms(a, b));
    }
    return Side{median(ours), median(peer)};
  };
  const Side doctorsSide = measure(doctors, &DoctorsDirect);
  const Side dutiesSide = measure(allDuties, &AllDutiesDirect);
  const double oursDoctors = doctorsSide.ours, peerDoctors = doctorsSide.peer;
  const double oursDuties = dutiesSide.ours, peerDuties = dutiesSide.peer;
  reset();
  printf("command tree selection to view drawn, %u doctors, 52 weeks, median of %d rounds\n", people, kRounds);
  printf("  \"Doctors\"     selected %8.3f ms   direct %8.3f ms   ratio %.2fx\n", oursDoctors, peerDoctors,
         oursDoctors / peerDoctors);
  printf("  \"All duties\"  selected %8.3f ms   direct %8.3f ms   ratio %.2fx\n", oursDuties, peerDuties,
         oursDuties / peerDuties);
  printf("  (goal 1.1x or better)\n");
}

}  // namespace

int main() {
  return rosterbench::Main([](const std::wstring& dir) {
    const std::wstring path = dir + L"bench_comtree_select.km6";
    rizediveva6::document* doc = rosterbench::NewDocument(path);
    alltest::RosterSpec spec = alltest::GeneratedSpec(3, 52);
    alltest::WriteSpec(spec);
    ilist_struct flags[3] = {{ListCons, 9, nullptr}, {ListCons, 14, nullptr}, {ListNil, 0, nullptr}};
    flags[0].next = &flags[1];
    flags[1].next = &flags[2];
    menu_struct nomenu{3, 0};
    const bool ran = bench::RunInTask(flags, &nomenu, L"bench_comtree_select", Run);
    rosterbench::DropDocument(doc, path);
    if (!ran) ExitProcess(1);
  });
}
