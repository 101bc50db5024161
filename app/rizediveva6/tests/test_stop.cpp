// The Stop window on a real display: its controls, the button pressed with
// SendInput while a loop polls can_continue, two presses before a poll, the
// close box, and set_text before show.
#include <windows.h>

#include "KWI/stop_pack/stop.h"
#include "gui.h"
#include "rz_test.h"

namespace rztest {
namespace {

using rizediveva6::stop;

std::wstring TextOf(HWND w) {
  wchar_t buf[256] = {};
  GetWindowTextW(w, buf, 256);
  return buf;
}

// The Stop window shown over `task` by `s`: the top-level window whose
// caption is "stop".
HWND FindStop(HWND task) {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), [](HWND w, LPARAM p) -> BOOL {
    if (TextOf(w) == L"stop" && GetDlgItem(w, stop::kStopButton)) {
      *reinterpret_cast<HWND*>(p) = w;
      return FALSE;
    }
    return TRUE;
  }, reinterpret_cast<LPARAM>(&found));
  return found;
}

// A left click at the centre of the button, through the input queue.
void ClickButton(HWND dialog) {
  HWND b = GetDlgItem(dialog, stop::kStopButton);
  RECT r;
  GetWindowRect(b, &r);
  SetForegroundWindow(dialog);
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_MOUSE;
  in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, in, sizeof(INPUT));
}

class StopWindow : public Rz {
 protected:
  // Runs body inside the task window's message loop.
  void InTask(const std::function<void(HWND)>& body) {
    kwitest::TaskOptions o;
    o.menu = 0;
    kwitest::RunInTask(body, o);
  }
  // A new stop object shown over the task, and its window.
  static stop* Shown(HWND task, HWND* window) {
    stop* s = stop::new_();
    s->show(reinterpret_cast<LONG_PTR>(task));
    *window = FindStop(task);
    return s;
  }
};

TEST_F(StopWindow, ShowsItsControlsAndTakesANewDescription) {
  InTask([&](HWND task) {
    HWND w;
    stop* s = Shown(task, &w);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(IsWindowVisible(w));
    EXPECT_EQ(TextOf(GetDlgItem(w, stop::kStopButton)), L"Stop");
    EXPECT_EQ(TextOf(GetDlgItem(w, stop::kDescription)), L"Desc");
    // 245 x 67 dialog units: wider than high, the button inside.
    RECT client, button;
    GetClientRect(w, &client);
    GetWindowRect(GetDlgItem(w, stop::kStopButton), &button);
    EXPECT_GT(client.right, 3 * client.bottom);
    EXPECT_LT(button.right - button.left, client.right / 3);
    s->set_text(L"Assigned 3 out of 7");
    EXPECT_EQ(TextOf(GetDlgItem(w, stop::kDescription)), L"Assigned 3 out of 7");
    EXPECT_TRUE(s->can_continue());
    s->del_win();
    EXPECT_FALSE(IsWindow(w));
    s->set_text(L"after the end");  // nothing to do
  });
}

TEST_F(StopWindow, APressStopsTheLoopAtItsNextPoll) {
  InTask([&](HWND task) {
    HWND w;
    stop* s = Shown(task, &w);
    ASSERT_NE(w, nullptr);
    int polls = 0;
    bool clicked = false;
    DWORD start = GetTickCount();
    while (s->can_continue() && GetTickCount() - start < 10000) {
      ++polls;
      if (polls == 3) {
        ClickButton(w);
        clicked = true;
      }
      Sleep(10);
    }
    EXPECT_TRUE(clicked);
    EXPECT_LT(GetTickCount() - start, 10000u) << "the press never arrived";
    EXPECT_FALSE(IsWindow(w));
    EXPECT_FALSE(s->can_continue());
    s->del_win();
  });
}

TEST_F(StopWindow, TwoPressesBeforeAPollStopOnceAndTheWindowStaysUntilThen) {
  InTask([&](HWND task) {
    HWND w;
    stop* s = Shown(task, &w);
    ASSERT_NE(w, nullptr);
    ClickButton(w);
    ClickButton(w);
    // The presses wait in the queue; until the next poll the window stays.
    EXPECT_TRUE(IsWindow(w));
    DWORD start = GetTickCount();
    while (s->can_continue() && GetTickCount() - start < 10000) Sleep(10);
    EXPECT_FALSE(IsWindow(w));
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(s->can_continue());
    s->del_win();
  });
}

TEST_F(StopWindow, TheCloseBoxCountsAsStopAndDelWinDestroysNothing) {
  InTask([&](HWND task) {
    HWND w;
    stop* s = Shown(task, &w);
    ASSERT_NE(w, nullptr);
    SendMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0);
    kwitest::PumpUntil([&] { return !IsWindow(w); });
    EXPECT_FALSE(IsWindow(w));
    s->set_text(L"after the close");  // nothing to do
    s->del_win();
    s->del_win();
    EXPECT_FALSE(s->can_continue());
    EXPECT_TRUE(IsWindow(task));
  });
}

TEST_F(StopWindow, SetTextBeforeShowRaises329ForThiswin) {
  stop* s = stop::new_();
  uint32_t code = RunTrapped([&] { s->set_text(L"x"); });
  ASSERT_GE(code, 65536u);
  const TraceEntry* e = Entries().front();
  EXPECT_EQ(Unsigned(exception::trygetextrainfo(e, L"error code")), 329u);
  std::wstring text = Extra(e, L"ExtraInfo");
  EXPECT_NE(text.find(L"thiswin"), std::wstring::npos) << Narrow(text);
  EXPECT_NE(text.find(L"stop$db1"), std::wstring::npos) << Narrow(text);
  exception::clear(code);
}

}  // namespace
}  // namespace rztest
