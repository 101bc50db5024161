// Helpers of the list views' tests: rows, titles and colours read back from
// a list, the clipboard's text on both sides, a data pane in the task
// window, and clicks and typing through the input queue.
//
// Invariants:
//  - Every reader takes the list as it stands and changes nothing.
//  - A ListViews fixture keeps at most one data pane: a new one replaces
//    the last, so that no pane keeps the handler of a list that is gone.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include <thread>

#include "KWI/orvtoolkwi/libox.h"
#include "checks.h"
#include "comtree_standin.h"
#include "dialog_test.h"
#include "kwi/kwi.h"

namespace alltest {

using Cells = std::vector<std::wstring>;
using Rows = std::vector<Cells>;

inline Rows RowsOf(rizediveva6::libox* l) {
  Rows rows;
  if (!l) return rows;
  rizediveva6::line ln;
  for (uint32_t r = 1; l->nth_line(r, &ln); ++r) rows.push_back(Names(ln.cells));
  return rows;
}
// Per row: its colour and the colour of its text.
using Colours = std::vector<std::pair<int32_t, int32_t>>;
inline Colours ColoursOf(rizediveva6::libox* l) {
  Colours out;
  rizediveva6::line ln;
  for (uint32_t r = 1; l->nth_line(r, &ln); ++r) out.push_back({ln.colour, ln.second});
  return out;
}
inline Cells TitlesOf(rizediveva6::libox* l) {
  Cells out;
  if (!l) return out;
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

// The clipboard text the base makes of rows: each cell and a TAB, a line feed per row.
inline std::wstring TabText(const Rows& rows) {
  std::wstring out;
  for (const Cells& r : rows) {
    for (const std::wstring& c : r) out += c + L"\t";
    out += L"\n";
  }
  return out;
}

// The X side of the clipboard as UTF-8, read by xclip.
inline std::string XClipboard() {
  return kwitest::ShellOutput("xclip -o -selection clipboard -t UTF8_STRING",
                              kwitest::TempDir(L"liboxes_tests") + L"clip.txt");
}

// The X side of the clipboard read by Python's csv reader (TAB delimited):
// each field and ";", "|" after each record, one line.
inline std::string SpreadsheetRecords() {
  return kwitest::ShellOutput("xclip -o -selection clipboard -t UTF8_STRING | python3 -c 'import csv,sys; "
                              "print(str().join(chr(59).join(r) + chr(124) "
                              "for r in csv.reader(sys.stdin, delimiter=chr(9))))'",
                              kwitest::TempDir(L"liboxes_tests") + L"csv.txt");
}
// What SpreadsheetRecords gives for rows copied by the base: each row's
// cells, then the empty field after its last TAB.
inline std::string SpreadsheetRecordsOf(const Rows& rows) {
  std::string out;
  for (const Cells& r : rows) {
    for (const std::wstring& c : r) out += kwitest::Narrow(c) + ";";
    out += "|";
  }
  return out + "\n";
}

// A child window of the task as the command tree's data pane.
inline LONG_PTR DataPane(HWND task, int width = 900, int height = 500) {
  QEL_KWI::rect_struct r{0, 0, width, height};
  QEL_KWI::ilist_struct none{QEL_KWI::ListNil, 0, nullptr};
  QEL_KWI::menu_struct noMenu{3, 0};
  return QEL_KWI::win_Create(QEL_KWI::wt_child, &r, L"", &noMenu, reinterpret_cast<LONG_PTR>(task), &none,
                             tav::NoEventHandler(), 0);
}

inline void Pump(DWORD ms = 80) { kwitest::PumpUntil([] { return false; }, ms); }

// The middle of a cell (row 0: the title band) in the pane's coordinates;
// column n lies between boundaries n and n + 1.
inline POINT CellPoint(rizediveva6::libox* l, uint32_t row, uint32_t col) {
  std::vector<uint32_t> b;
  for (auto* x = l->get_boundaries(l->get_wyndow()); !x->Empty(); x = x->tail) b.push_back(x->head);
  const int x = col < b.size() ? int(b[col - 1] + b[col]) / 2 : int(b.back()) + 20;
  return POINT{x, row == 0 ? 30 : int(l->get_nth_y(row))};
}

// Types the text through the input queue, a character at a time.
inline void TypeText(const std::wstring& text) {
  for (wchar_t ch : text) {
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wScan = in[1].ki.wScan = ch;
    in[0].ki.dwFlags = KEYEVENTF_UNICODE;
    in[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
    SendInput(2, in, sizeof(INPUT));
  }
}

// A roster open in process with list views made in a data pane of the
// task window.
class ListViews : public DialogRoster {
 protected:
  // The body in a task window whose handler runs the first level of the
  // pop-up commands, with the command tree stand-in's data pane as its
  // child; the open list is removed at the end.
  void InRoadTask(const std::function<void(HWND)>& body) {
    kwitest::TaskOptions o;
    o.menu = 0;
    o.events = [](HWND w, QEL_KWI::event_struct* e) -> LONG_PTR {
      if (TaskMenuCommand(w, e)) return 0;
      Qel::RunTime::Kernel::Fail();
    };
    rec().Clear();
    IssuedCommands().clear();
    kwitest::RunInTask(
        [&](HWND task) {
          SetForegroundWindow(task);
          StandinPane() = {Pane(task), tav::NoEventHandler()};
          body(task);
          Run([] { all::comtree::delete_liboxes(); });
          StandinPane() = {};
        },
        o);
    EXPECT_TRUE(kwitest::Reported().empty());
    kwitest::Reported().clear();
  }
  // The command tree item of a "/"-joined path below the root.
  void IssuePath(const std::wstring& joined) {
    Run([&] { all::comtree::issue_command(PathList(joined)); });
  }
  // A right press on a row opens the list's pop-up menu, whose own loop a
  // helper thread answers with the keys; the button is released after.
  void ChooseFromMenu(HWND task, rizediveva6::libox* l, uint32_t row, std::vector<WORD> keys) {
    POINT p{};
    Run([&] { p = CellPoint(l, row, 2); });
    ClientToScreen(task, &p);
    SetCursorPos(p.x, p.y);
    Pump();
    std::thread answer([keys] {
      Sleep(400);
      for (WORD vk : keys) {
        kwitest::SendKey(vk, false), kwitest::SendKey(vk, true);
        Sleep(100);
      }
      INPUT up{};
      up.type = INPUT_MOUSE;
      up.mi.dwFlags = MOUSEEVENTF_RIGHTUP;
      SendInput(1, &up, sizeof up);
    });
    INPUT down{};
    down.type = INPUT_MOUSE;
    down.mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
    SendInput(1, &down, sizeof down);
    Pump(1200);
    answer.join();
    Pump(200);
  }
  // Menu keys: `downs` times Down, then `more`, then Return.
  static std::vector<WORD> Keys(int downs, std::vector<WORD> more = {}) {
    std::vector<WORD> k(size_t(downs), VK_DOWN);
    k.insert(k.end(), more.begin(), more.end());
    k.push_back(VK_RETURN);
    return k;
  }
  LONG_PTR Pane(HWND task) {
    LONG_PTR pane = 0;
    Run([&] {
      if (pane_ && IsWindow(reinterpret_cast<HWND>(pane_))) QEL_KWI::win_Destroy(pane_);
      pane = DataPane(task, 700, 400);
    });
    pane_ = pane;
    return pane;
  }
  // A left press and release at the middle of a cell (task coordinates).
  void ClickCell(HWND task, rizediveva6::libox* l, uint32_t row, uint32_t col) {
    POINT p{};
    Run([&] { p = CellPoint(l, row, col); });
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
    TypeText(text);
    Pump(100);
    kwitest::SendKey(VK_RETURN, false), kwitest::SendKey(VK_RETURN, true);
    Pump(200);
  }

 private:
  LONG_PTR pane_ = 0;
};

}  // namespace alltest
