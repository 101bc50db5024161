// The list box's line store against a report-mode ListView, same process:
// 100,000 three-cell lines added (lbox_add) and ordered by the first column
// (build_index(1)), against LVM_INSERTITEM and LVM_SETITEMTEXT for every cell
// and LVM_SORTITEMSEX over the first 16 characters with lstrcmpW.  Prints
// seconds on each side, the ratio ListView / list (goal 1.0x or better) and
// the time of a second build_index with nothing changed (goal under 1 ms).
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "KWI/orvtoolkwi/libox.h"
#include "bench_util.h"
#include "exception/exception.h"
#include "unit.h"

using namespace rizediveva6;
namespace Kn = Qel::RunTime::Kernel;

namespace {

constexpr int kLines = 100000;

std::wstring Cell(int i, int column) {
  return std::to_wstring(i * 7919 % 100003) + L" cell " + std::to_wstring(column);
}

struct Texts {
  std::vector<std::wstring> cells[3];
  Texts() {
    for (auto& c : cells) c.reserve(kLines);
    for (int i = 0; i < kLines; ++i)
      for (int c = 0; c < 3; ++c) cells[c].push_back(Cell(i, c));
  }
};

struct ListViewRun {
  HWND view = nullptr;
  // Items by index: the first 16 characters of each first cell.
  static void Key(HWND view, LPARAM index, wchar_t* out) {
    LVITEMW item{};
    item.pszText = out;
    item.cchTextMax = 17;
    SendMessageW(view, LVM_GETITEMTEXTW, index, reinterpret_cast<LPARAM>(&item));
  }
  static int CALLBACK Compare(LPARAM a, LPARAM b, LPARAM self) {
    const auto* r = reinterpret_cast<ListViewRun*>(self);
    wchar_t x[17], y[17];
    Key(r->view, a, x);
    Key(r->view, b, y);
    return lstrcmpW(x, y);
  }
  double Fill(const Texts& t) {
    view = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_OVERLAPPEDWINDOW | LVS_REPORT, 0, 0, 600, 400, nullptr,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!view) return -1;
    for (int c = 0; c < 3; ++c) {
      LVCOLUMNW col{};
      col.mask = LVCF_WIDTH;
      col.cx = 100;
      SendMessageW(view, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&col));
    }
    const double start = bench::Now();
    for (int i = 0; i < kLines; ++i) {
      LVITEMW item{};
      item.mask = LVIF_TEXT | LVIF_PARAM;
      item.iItem = i;
      item.lParam = i;
      item.pszText = const_cast<wchar_t*>(t.cells[0][i].c_str());
      const int at = static_cast<int>(SendMessageW(view, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
      for (int c = 1; c < 3; ++c) {
        LVITEMW sub{};
        sub.iSubItem = c;
        sub.pszText = const_cast<wchar_t*>(t.cells[c][i].c_str());
        SendMessageW(view, LVM_SETITEMTEXTW, at, reinterpret_cast<LPARAM>(&sub));
      }
    }
    return bench::Now() - start;
  }
  double Sort() {
    const double start = bench::Now();
    SendMessageW(view, LVM_SORTITEMSEX, reinterpret_cast<WPARAM>(this), reinterpret_cast<LPARAM>(&Compare));
    return bench::Now() - start;
  }
};

}  // namespace

int main() {
  if (InitializeUnit() != 0) return 1;
  Kn::Control::TPrologThreadData::SetPrologExceptionPredicate(&tav::runtime_exception::raiser, 4096, nullptr, nullptr);
  tav::exception::setexceptionstate(tav::exceptionState::New());
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&icc);
  const Texts texts;
  double add = 0, build = 0, again = 0;
  const uint32_t code = Kn::RunTrapped([&] {
    libox* l = libox::new_(L"bench-libox", WNull());
    l->allow_order(MakeList<uint32_t>({1}));
    const double start = bench::Now();
    for (int i = 0; i < kLines; ++i) {
      uint8_t* mark = Kn::Memory::MarkGStack();
      ListBuilder<const wchar_t*> cells;
      for (const auto& column : texts.cells) cells.Add(column[i].c_str());
      l->lbox_add(Cons<const SList*>(cells.Finish(), Nil<const SList*>()));
      Kn::Memory::ReleaseGStack(mark);
    }
    add = bench::Now() - start;
    const double b = bench::Now();
    l->build_index(1);
    build = bench::Now() - b;
    const double a = bench::Now();
    l->build_index(1);
    again = bench::Now() - a;
    l->delete_db();
  });
  if (code) {
    fprintf(stderr, "bench_libox_store: error %u\n", code);
    return 1;
  }
  ListViewRun lv;
  const double fill = lv.Fill(texts);
  if (fill < 0) {
    fprintf(stderr, "bench_libox_store: no ListView window\n");
    return 1;
  }
  const double sort = lv.Sort();
  const double ours = add + build, theirs = fill + sort;
  printf("bench_libox_store: %d three-cell lines\n", kLines);
  printf("  list  add %.3f s + build_index(1) %.3f s = %.3f s\n", add, build, ours);
  printf("  ListView insert+set text %.3f s + sort %.3f s = %.3f s\n", fill, sort, theirs);
  printf("  ratio ListView / list %.2fx (goal >= 1.0)%s\n", theirs / ours, theirs / ours >= 1.0 ? "" : "  below goal");
  printf("  second build_index with nothing changed %.3f ms (goal < 1 ms)%s\n", again * 1e3,
         again < 1e-3 ? "" : "  above goal");
  DestroyWindow(lv.view);
  return 0;
}
