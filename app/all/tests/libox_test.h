// Helpers of the list views' tests: rows, titles and colours read back from
// a list, the clipboard's text, a data pane in the task window, and clicks
// and typing through the input queue.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "dialog_test.h"
#include "KWI/orvtoolkwi/libox.h"
#include "kwi/kwi.h"

namespace alltest {

using Rows = std::vector<std::vector<std::wstring>>;

inline Rows RowsOf(rizediveva6::libox* l) {
  Rows rows;
  if (!l) return rows;
  rizediveva6::line ln;
  for (uint32_t r = 1; l->nth_line(r, &ln); ++r) rows.push_back(Names(ln.cells));
  return rows;
}
inline std::vector<int32_t> ColoursOf(rizediveva6::libox* l) {
  std::vector<int32_t> out;
  rizediveva6::line ln;
  for (uint32_t r = 1; l->nth_line(r, &ln); ++r) out.push_back(ln.colour);
  return out;
}
inline std::vector<std::wstring> TitlesOf(rizediveva6::libox* l) {
  std::vector<std::wstring> out{L""};
  if (!l) return out;
  out.clear();
  rizediveva6::col_info c;
  for (uint32_t n = 1; l->nth_col(n, &c); ++n) out.push_back(c.name);
  return out;
}

// A menu as text: "id text" items, "-" separators, "text{...}" sub-menus.
inline std::wstring MenuText(const QEL_KWI::menu_item_list_struct* l) {
  std::wstring out;
  for (; l->functor == QEL_KWI::ListCons; l = l->next) {
    if (!out.empty()) out += L"|";
    const QEL_KWI::menu_item* it = l->value;
    if (it->functor == 3) {
      out += L"-";
      continue;
    }
    const auto* sub = reinterpret_cast<const QEL_KWI::menu_item_list_struct*>(it->w[5]);
    const wchar_t* text = reinterpret_cast<const wchar_t*>(it->w[1]);
    if (sub->functor == QEL_KWI::ListCons) out += std::wstring(text) + L"{" + MenuText(sub) + L"}";
    else out += std::to_wstring(it->w[0]) + L" " + text;
  }
  return out;
}

inline std::wstring ClipboardText(HWND owner) {
  std::wstring text;
  if (!OpenClipboard(owner)) return L"<no clipboard>";
  if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
    text = static_cast<const wchar_t*>(GlobalLock(h));
    GlobalUnlock(h);
  }
  CloseClipboard();
  return text;
}

// A roster open in process with list views made in a data pane of the
// task window; a new pane replaces the last one, so that no pane is left
// with the handler of a list that is gone.
class ListViews : public DialogRoster {
 protected:
  LONG_PTR Pane(HWND task) {
    LONG_PTR pane = 0;
    Run([&] {
      if (pane_ && IsWindow(reinterpret_cast<HWND>(pane_))) QEL_KWI::win_Destroy(pane_);
      QEL_KWI::rect_struct r{0, 0, 700, 400};
      QEL_KWI::ilist_struct none{QEL_KWI::ListNil, 0, nullptr};
      QEL_KWI::menu_struct noMenu{3, 0};
      pane = QEL_KWI::win_Create(QEL_KWI::wt_child, &r, L"", &noMenu, reinterpret_cast<LONG_PTR>(task), &none,
                                 tav::NoEventHandler(), 0);
    });
    pane_ = pane;
    return pane;
  }
  static void Pump(DWORD ms = 80) { kwitest::PumpUntil([] { return false; }, ms); }
  // A left press and release at the middle of a cell (task coordinates).
  void ClickCell(HWND task, rizediveva6::libox* l, uint32_t row, uint32_t col) {
    // Column n lies between boundaries n and n + 1.
    std::vector<uint32_t> b;
    Run([&] {
      for (auto* x = l->get_boundaries(l->get_wyndow()); !x->Empty(); x = x->tail) b.push_back(x->head);
    });
    ASSERT_LT(col, b.size());
    POINT p{int(b[col - 1] + b[col]) / 2, int(l->get_nth_y(row))};
    ClientToScreen(task, &p);
    SetCursorPos(p.x, p.y);
    Pump();
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    SendInput(1, &in, sizeof in);
    in.mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(1, &in, sizeof in);
    Pump(150);
  }
  // Opens the cell editor on a cell, replaces its text and presses Enter.
  void TypeInto(HWND task, rizediveva6::libox* l, uint32_t row, uint32_t col, const std::wstring& text) {
    ClickCell(task, l, row, col);
    kwitest::SendKey(VK_END, false), kwitest::SendKey(VK_END, true);
    for (int i = 0; i < 40; ++i) kwitest::SendKey(VK_BACK, false), kwitest::SendKey(VK_BACK, true);
    for (wchar_t ch : text) {
      INPUT in[2] = {};
      in[0].type = in[1].type = INPUT_KEYBOARD;
      in[0].ki.wScan = in[1].ki.wScan = ch;
      in[0].ki.dwFlags = KEYEVENTF_UNICODE;
      in[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
      SendInput(2, in, sizeof(INPUT));
    }
    Pump(100);
    kwitest::SendKey(VK_RETURN, false), kwitest::SendKey(VK_RETURN, true);
    Pump(200);
  }

 private:
  LONG_PTR pane_ = 0;
};

}  // namespace alltest
