// kwiTreeView against raw tree-view messages in the same window and run:
// 10,000 items (100 top-level, 99 children each, one resource bitmap)
// inserted, read back whole and deleted.  The peer, a control of the same
// size, font and image list in the same window, sends TVM_INSERTITEMW,
// walks with TVM_GETNEXTITEM / TVM_GETITEMW into a 1000-unit buffer and
// deletes each top-level item with TVM_DELETEITEM.  Goals: insert 1.05x,
// read 1.3x, delete 1.1x of the peer's time.
#include <windows.h>
// windows.h first: commctrl.h needs its types.
#include <commctrl.h>

#include <cstdio>
#include <string>

#include "bench_task.h"
#include "bench_util.h"
#include "exception/exception.h"
#include "kwi/kwidomains.h"
#include "kwi/kwitreeview/kwitreeview.h"

using namespace tav;
namespace kd = tav::kwidomains;

namespace {

constexpr int kTop = 100;
constexpr int kChildren = 99;
constexpr int kRuns = 5;

QEL_KWI::ilist_struct g_nil{QEL_KWI::ListNil, 0, nullptr};
QEL_KWI::menu_struct g_nomenu{3, 0};

struct Figures {
  double insert = 1e9, read = 1e9, remove = 1e9;
  void Keep(double i, double r, double d) {
    insert = i < insert ? i : insert;
    read = r < read ? r : read;
    remove = d < remove ? d : remove;
  }
};

const TreeList* Trees() {
  static const BitmapIdTerm bitmap{1, 7};
  static const ItemStateList none{2, ItemStateFlag{}, nullptr};
  auto* nil = static_cast<TreeList*>(GStackAlloc(sizeof(TreeList)));
  *nil = {2, nullptr, nullptr};
  const TreeList* top = nil;
  for (int t = kTop - 1; t >= 0; --t) {
    const TreeList* kids = nil;
    for (int c = kChildren - 1; c >= 0; --c) {
      auto* child = static_cast<TreeTerm*>(GStackAlloc(sizeof(TreeTerm)));
      const std::wstring text = L"child " + std::to_wstring(c);
      *child = {1, static_cast<uint32_t>(1000 + t * 100 + c), &none, &bitmap, &bitmap,
                K::Memory::CopyStringToGStack(text.c_str()), nil};
      auto* cell = static_cast<TreeList*>(GStackAlloc(sizeof(TreeList)));
      *cell = {1, child, kids};
      kids = cell;
    }
    auto* tree = static_cast<TreeTerm*>(GStackAlloc(sizeof(TreeTerm)));
    const std::wstring text = L"top " + std::to_wstring(t);
    *tree = {1, static_cast<uint32_t>(t + 1), &none, &bitmap, &bitmap,
             K::Memory::CopyStringToGStack(text.c_str()), kids};
    auto* cell = static_cast<TreeList*>(GStackAlloc(sizeof(TreeList)));
    *cell = {1, tree, top};
    top = cell;
  }
  return top;
}

size_t Count(const TreeList* l) {
  size_t n = 0;
  for (; l->functor == 1; l = l->next) n += 1 + Count(l->head->children);
  return n;
}

void Ours(LONG_PTR tree, Figures* f, size_t* read) {
  uint8_t* mark = K::Memory::MarkGStack();
  const TreeList* trees = Trees();
  double t0 = bench::Now();
  static const InsertPlace last{2, 0};
  kwiTreeView::insert_tree_list(tree, 0, &last, trees);
  const double insert = bench::Now() - t0;
  t0 = bench::Now();
  *read = Count(kwiTreeView::get_all(tree));
  const double readTime = bench::Now() - t0;
  t0 = bench::Now();
  for (int t = 1; t <= kTop; ++t) kwiTreeView::delete_item(tree, static_cast<uint32_t>(t));
  f->Keep(insert, readTime, bench::Now() - t0);
  K::Memory::ReleaseGStack(mark);
}

size_t Walk(HWND w, HTREEITEM first, wchar_t* buffer) {
  size_t n = 0;
  for (HTREEITEM h = first; h;
       h = reinterpret_cast<HTREEITEM>(SendMessageW(w, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(h)))) {
    HTREEITEM child = reinterpret_cast<HTREEITEM>(
        SendMessageW(w, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(h)));
    n += Walk(w, child, buffer);
    TVITEMW it{};
    it.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_STATE | TVIF_SELECTEDIMAGE;
    it.hItem = h;
    it.stateMask = 0xFFFF;
    it.pszText = buffer;
    it.cchTextMax = 1000;
    SendMessageW(w, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it));
    ++n;
  }
  return n;
}

void Peer(HWND w, int image, Figures* f, size_t* read) {
  HTREEITEM tops[kTop];
  double t0 = bench::Now();
  for (int t = 0; t < kTop; ++t) {
    std::wstring text = L"top " + std::to_wstring(t);
    TVINSERTSTRUCTW ins{};
    ins.hParent = TVI_ROOT;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_PARAM | TVIF_STATE | TVIF_SELECTEDIMAGE;
    ins.item.stateMask = 0xFFFF;
    ins.item.pszText = text.data();
    ins.item.cchTextMax = static_cast<int>(text.size());
    ins.item.iImage = ins.item.iSelectedImage = image;
    tops[t] = reinterpret_cast<HTREEITEM>(SendMessageW(w, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins)));
    for (int c = 0; c < kChildren; ++c) {
      std::wstring child = L"child " + std::to_wstring(c);
      ins.hParent = tops[t];
      ins.item.pszText = child.data();
      ins.item.cchTextMax = static_cast<int>(child.size());
      SendMessageW(w, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins));
    }
  }
  const double insert = bench::Now() - t0;
  static wchar_t buffer[1001];
  t0 = bench::Now();
  *read = Walk(w, reinterpret_cast<HTREEITEM>(SendMessageW(w, TVM_GETNEXTITEM, TVGN_ROOT, 0)), buffer);
  const double readTime = bench::Now() - t0;
  t0 = bench::Now();
  for (HTREEITEM h : tops) SendMessageW(w, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(h));
  f->Keep(insert, readTime, bench::Now() - t0);
}

void Print(const char* name, double ours, double peer, double goal) {
  std::printf("  %-10s %9.2f ms  peer %9.2f ms  ratio %5.2f  goal %.2fx %s\n", name, ours * 1000,
              peer * 1000, ours / peer, goal, ours / peer <= goal ? "met" : "MISSED");
}

void Run(LONG_PTR task) {
  HWND t = reinterpret_cast<HWND>(task);
  SetWindowPos(t, nullptr, 0, 0, 800, 600, SWP_NOMOVE | SWP_NOZORDER);
  kwiTreeView::register_();
  QEL_KWI::win_CreateDynControl(
      kd::Windefs({kd::CustomCtl(QEL_KWI::wt_custom, kd::Rect(0, 0, 380, 500), L"", kd::kPixels,
                                 L"treeView", 500, kd::Ints({1}))}),
      task);
  const LONG_PTR tree = reinterpret_cast<LONG_PTR>(GetDlgItem(t, 500));
  static const BitmapIdTerm bitmap{1, 7};
  static TreeCallback none{nullptr, nullptr};
  kwiTreeView::init(tree, kd::Ints({0x20, 1, 4, 2}), &bitmap, &none);

  // The peer: a tree-view control beside it with the same size, font and
  // image list (the font sets the row height and the cost of measuring text).
  HWND ourControl = kwiTreeView::trygetnativewindow(tree);
  RECT size{};
  GetClientRect(ourControl, &size);
  HWND peer = CreateWindowExW(0, WC_TREEVIEWW, L"peer", WS_CHILD | WS_VISIBLE | 0x27, 400, 0,
                              size.right, size.bottom, t, nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(peer, WM_SETFONT, SendMessageW(ourControl, WM_GETFONT, 0, 0), FALSE);
  HIMAGELIST images = ImageList_Create(16, 16, 0, 5, 10);
  HBITMAP bmp = static_cast<HBITMAP>(
      LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(7), IMAGE_BITMAP, 16, 16, LR_LOADTRANSPARENT));
  const int image = ImageList_Add(images, bmp, nullptr);
  DeleteObject(bmp);
  SendMessageW(peer, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images));

  Figures ours, theirs;
  size_t oursRead = 0, peerRead = 0;
  for (int r = 0; r < kRuns; ++r) {
    Ours(tree, &ours, &oursRead);
    Peer(peer, image, &theirs, &peerRead);
  }
  std::printf("\ntree view, %d items (%d top-level, %d children each), best of %d; read %zu / %zu\n",
              kTop * (kChildren + 1), kTop, kChildren, kRuns, oursRead, peerRead);
  Print("insert", ours.insert, theirs.insert, 1.05);
  Print("get_all", ours.read, theirs.read, 1.3);
  Print("delete", ours.remove, theirs.remove, 1.1);
}

}  // namespace

int main() {
  InitializeUnit();
  exception::setexceptionstate(exceptionState::New());
  QEL_KWI::ilist_struct visible{QEL_KWI::ListCons, 9, &g_nil};
  return bench::RunInTask(&visible, &g_nomenu, L"bench_tk_tree", Run) ? 0 : 1;
}
