// Helpers of the list views' tests: a list's rows, titles and colours read
// back, the clipboard's text, a data pane in the task window, clicks at a
// cell through the input queue.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "KWI/orvtoolkwi/libox.h"
#include "dialog_test.h"
#include "kwi/kwi.h"

namespace alltest {

using Cells = std::vector<std::wstring>;
using RowList = std::vector<Cells>;

inline RowList ListRows(rizediveva6::libox* l) {
  RowList rows;
  rizediveva6::line ln;
  for (uint32_t r = 1; l->nth_line(r, &ln); ++r) rows.push_back(Names(ln.cells));
  return rows;
}
// The row's colour and text colour, per row.
inline std::vector<std::pair<int32_t, int32_t>> ListColours(rizediveva6::libox* l) {
  std::vector<std::pair<int32_t, int32_t>> out;
  rizediveva6::line ln;
  for (uint32_t r = 1; l->nth_line(r, &ln); ++r) out.push_back({ln.colour, ln.second});
  return out;
}
inline Cells ListTitles(rizediveva6::libox* l) {
  Cells out;
  rizediveva6::col_info c;
  for (uint32_t n = 1; l->nth_col(n, &c); ++n) out.push_back(c.name);
  return out;
}

inline std::wstring ClipboardUnicode(HWND owner) {
  std::wstring text;
  if (!OpenClipboard(owner)) return L"<no clipboard>";
  if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
    text = static_cast<const wchar_t*>(GlobalLock(h));
    GlobalUnlock(h);
  }
  CloseClipboard();
  return text;
}

// A child window of the task as the command tree's data pane.
inline LONG_PTR DataPane(HWND task, int width = 900, int height = 500) {
  QEL_KWI::rect_struct r{0, 0, width, height};
  QEL_KWI::ilist_struct none{QEL_KWI::ListNil, 0, nullptr};
  QEL_KWI::menu_struct noMenu{3, 0};
  return QEL_KWI::win_Create(QEL_KWI::wt_child, &r, L"", &noMenu, reinterpret_cast<LONG_PTR>(task), &none,
                             tav::NoEventHandler(), 0);
}

inline void PumpFor(DWORD ms) { kwitest::PumpUntil([] { return false; }, ms); }

// The middle of a cell (row 0: the title band) in the pane's coordinates.
inline POINT CellPoint(rizediveva6::libox* l, uint32_t row, uint32_t col) {
  std::vector<uint32_t> b;
  for (auto* x = l->get_boundaries(l->get_wyndow()); !x->Empty(); x = x->tail) b.push_back(x->head);
  const int x = col < b.size() ? int(b[col - 1] + b[col]) / 2 : int(b.back()) + 20;
  return POINT{x, row == 0 ? 30 : int(l->get_nth_y(row))};
}

}  // namespace alltest
