// The command tree's whole-tree rebuild (rebuild_and_draw_tree: the old
// items deleted, the tree built from the document and inserted) of a
// 60-doctor, 8-practice, 3-task, 2-location document, against raw
// TVM_DELETEITEM/TVM_INSERTITEMW of the same items (texts, states, the same
// image indexes of the same image list) in the same tree view, in the same
// run.  Prints ms per rebuild per side and the ratio (goal 1.3x or better).
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_task.h"
#include "commandtree/comtree.h"
#include "roster_bench.h"
#include "roster_fixture.h"

using namespace QEL_KWI;
namespace K = Qel::RunTime::Kernel;

namespace {

constexpr int kRounds = 200;

// One item as the raw side inserts it.
struct RawItem {
  std::wstring text;
  UINT state;
  int image, selectedImage;
  int parent;  // index into the list, -1: top level
};

void Flatten(HWND native, HTREEITEM h, int parent, std::vector<RawItem>* out) {
  for (; h; h = TreeView_GetNextSibling(native, h)) {
    wchar_t text[1024] = {};
    TVITEMW item{};
    item.mask = TVIF_TEXT | TVIF_STATE | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    item.hItem = h;
    item.pszText = text;
    item.cchTextMax = 1024;
    item.stateMask = TVIS_BOLD | TVIS_EXPANDED;
    TreeView_GetItem(native, &item);
    out->push_back({text, item.state & (TVIS_BOLD | TVIS_EXPANDED), item.iImage, item.iSelectedImage, parent});
    Flatten(native, TreeView_GetChild(native, h), static_cast<int>(out->size()) - 1, out);
  }
}

void RawRebuild(HWND native, const std::vector<RawItem>& items) {
  TreeView_DeleteAllItems(native);
  std::vector<HTREEITEM> handles(items.size());
  for (size_t i = 0; i < items.size(); ++i) {
    const RawItem& r = items[i];
    TVINSERTSTRUCTW ins{};
    ins.hParent = r.parent < 0 ? TVI_ROOT : handles[static_cast<size_t>(r.parent)];
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT | TVIF_STATE | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    ins.item.pszText = const_cast<wchar_t*>(r.text.c_str());
    ins.item.state = r.state;
    ins.item.stateMask = TVIS_BOLD | TVIS_EXPANDED;
    ins.item.iImage = r.image;
    ins.item.iSelectedImage = r.selectedImage;
    ins.item.lParam = static_cast<LPARAM>(i + 102);
    handles[i] = reinterpret_cast<HTREEITEM>(SendMessageW(native, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins)));
  }
}

double Ms(LARGE_INTEGER a, LARGE_INTEGER b) {
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  return (b.QuadPart - a.QuadPart) * 1000.0 / f.QuadPart;
}

void Run(LONG_PTR task) {
  SetWindowPos(reinterpret_cast<HWND>(task), nullptr, 0, 0, 1000, 700, SWP_NOMOVE | SWP_NOZORDER);
  all::comtree::db5.boo_showing_title = true;
  const uint32_t error = K::RunTrapped([] {
    all::comtree::make_treeandwindows();
    all::comtree::rebuild_and_draw_tree();
  });
  if (error) {
    printf("could not make the command tree: error %u\n", error);
    return;
  }
  HWND native = tav::kwiTreeView::getnativewindow(all::comtree::db6.xtreeviewwin.get());
  std::vector<RawItem> items;
  Flatten(native, TreeView_GetRoot(native), -1, &items);

  LARGE_INTEGER a, b;
  QueryPerformanceCounter(&a);
  for (int i = 0; i < kRounds; ++i) K::RunTrapped([] { all::comtree::rebuild_and_draw_tree(); });
  QueryPerformanceCounter(&b);
  const double ours = Ms(a, b) / kRounds;
  QueryPerformanceCounter(&a);
  for (int i = 0; i < kRounds; ++i) RawRebuild(native, items);
  QueryPerformanceCounter(&b);
  const double raw = Ms(a, b) / kRounds;
  printf("command tree rebuild, %zu items, %d rounds\n", items.size(), kRounds);
  printf("  rebuild_and_draw_tree  %8.3f ms per rebuild\n", ours);
  printf("  raw TVM_INSERTITEMW    %8.3f ms per rebuild\n", raw);
  printf("  ratio %.2fx (goal 1.3x or better)\n", ours / raw);
}

}  // namespace

int main() {
  return rosterbench::Main([](const std::wstring& dir) {
    const std::wstring path = dir + L"bench_comtree.km6";
    rizediveva6::document* doc = rosterbench::NewDocument(path);
    alltest::RosterSpec spec = alltest::TwoWeekSpec();
    spec.tasks = {L"A", L"B", L"C"};
    spec.locations = {L"L", L"M"};
    spec.groups.clear();
    spec.doctors.clear();
    spec.typical.clear();
    spec.changes.clear();
    spec.ties.clear();
    spec.loads.clear();
    spec.rules.clear();
    spec.assignments.clear();
    for (int g = 1; g <= 8; ++g) spec.groups.push_back(L"P" + std::to_wstring(g));
    for (int d = 0; d < 60; ++d) spec.doctors.push_back({L"Doctor " + std::to_wstring(d), {spec.groups[d % 8]}});
    alltest::WriteSpec(spec);
    ilist_struct flags[3] = {{ListCons, 9, nullptr}, {ListCons, 14, nullptr}, {ListNil, 0, nullptr}};
    flags[0].next = &flags[1];
    flags[1].next = &flags[2];
    menu_struct nomenu{3, 0};
    const bool ran = bench::RunInTask(flags, &nomenu, L"bench_comtree", Run);
    rosterbench::DropDocument(doc, path);
    if (!ran) ExitProcess(1);
  });
}
