// Helpers of the program's tests: the task window's show on the test
// thread with test bodies run inside its message loop, roster files made by
// the roster fixture, and the modal boxes of a command answered from the
// answerer's thread.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "TaskWindow/taskWindow.h"
#include "TaskWindow/taskwindow_ids.h"
#include "answer.h"
#include "comtree_recorder.h"
#include "comtree_session.h"
#include "gui.h"
#include "roster_fixture.h"
#include "roster_test.h"
#include "tree_items.h"

namespace programtest {

using testbox::Script;
using testbox::Seen;
using testbox::Step;

// Runs body(task) inside the message loop of the program's task window (its
// show on this thread); returns when show returns.  A task window the body
// leaves is destroyed.
void RunProgram(const std::function<void(HWND task)>& body);

// A menu command as the menu sends it, on the task window's thread.
inline void Command(HWND task, int id) { SendMessageW(task, WM_COMMAND, MAKEWPARAM(id, 0), 0); }
inline std::wstring Caption(HWND task) { return testbox::WindowText(task); }
inline void Pump(DWORD ms = 100) { kwitest::PumpUntil([] { return false; }, ms); }

// The command tree's control (null before the tree is made), its root item,
// the texts of the items under the root and its number of items.
HWND TreeControl();
HTREEITEM TreeRoot();
std::vector<std::wstring> TreeRoots();
void SetItemText(HWND tree, HTREEITEM item, const wchar_t* text);
int TreeCount();
// The command tree's top pane.
HWND TopPane();

// A click on a button of a box, sent as the button reports it (the GUI layer's
// dialogs take a command without a control window for a menu command).
inline void Click(HWND d, int button) { SendMessageW(GetDlgItem(d, button), BM_CLICK, 0, 0); }
// Repeats `act` on a box until the box has gone (a busy machine may show a
// box before it takes input).
inline void UntilGone(HWND d, const std::function<void()>& act) {
  for (int i = 0; i < 20 && IsWindow(d) && IsWindowVisible(d); ++i) {
    act();
    for (int w = 0; w < 25 && IsWindow(d) && IsWindowVisible(d); ++w) Sleep(20);
  }
}
// Answers for the answerer: press a button that ends the box titled `title`
// (null: any box); type a file name into a file dialog and press OK.
inline Step PressIn(const wchar_t* title, int button) {
  return {title, [button](HWND d) { UntilGone(d, [&] { Click(d, button); }); }};
}
inline Step ChooseFile(const wchar_t* title, std::wstring name) {
  return {title, [name](HWND d) {
            UntilGone(d, [&] {
              SetDlgItemTextW(d, 0x47C, name.c_str());
              testbox::Press(d, IDOK);
            });
          }};
}
// The ask dialog's buttons: first, second of three, last.
constexpr int kFirst = IDOK, kMiddle = 10001, kLast = IDCANCEL;

// A program session's fixture: a temporary folder, the model's units, real
// boxes (the toolkit's, no recorder) and the command tree's calls.
class ProgramTest : public alltest::Roster {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A roster file of the fixture's spec in the temporary folder, written
  // and closed in process.
  std::wstring MakeRoster(const wchar_t* name, const alltest::RosterSpec& spec);
  // The Open command with the file dialog answered with `path`.
  void OpenThrough(HWND task, const std::wstring& path);
  // Marks the open document changed: a doctor added.
  void Change();
  // Runs `command` with the boxes of `steps` answered, each awaited up to
  // `waitMs`; the boxes seen.
  std::vector<Seen> Answered(std::vector<Step> steps, const std::function<void()>& command, DWORD waitMs = 3000);
  // Runs a command that should show no box; the boxes it showed, closed.
  std::vector<Seen> Unasked(const std::function<void()>& command);
  std::wstring LastFile();
  static std::vector<std::wstring> Calls();
};

}  // namespace programtest
