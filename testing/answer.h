// Modal boxes of a test answered from a helper thread, so that none is left
// waiting.  A box is a top-level dialog window (class #32770) of this process;
// each one acted on is recorded with its title and its text (the message-box
// text, else the first static control's), in the order seen.  Answerers join
// their thread when they go: a box that never shows costs the wait, no hang.
#pragma once

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace testbox {

struct Seen {
  std::wstring title;
  std::wstring text;
};

inline std::wstring WindowText(HWND w) {
  int n = GetWindowTextLengthW(w);
  std::wstring s(static_cast<size_t>(n) + 1, L'\0');
  s.resize(static_cast<size_t>(GetWindowTextW(w, s.data(), n + 1)));
  return s;
}

// The text a box shows: the message-box text control (id 0xFFFF), else the
// first static control's text.
inline std::wstring BoxText(HWND box) {
  if (HWND t = GetDlgItem(box, 0xFFFF)) return WindowText(t);
  for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    wchar_t cls[16] = {};
    GetClassNameW(c, cls, 16);
    if (lstrcmpiW(cls, L"Static") == 0) return WindowText(c);
  }
  return L"";
}

// The visible dialogs of this process, in the system's order.
inline std::vector<HWND> VisibleBoxes() {
  std::vector<HWND> boxes;
  EnumWindows(
      [](HWND w, LPARAM p) -> BOOL {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        wchar_t cls[16] = {};
        GetClassNameW(w, cls, 16);
        if (pid == GetCurrentProcessId() && wcscmp(cls, L"#32770") == 0 && IsWindowVisible(w))
          reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&boxes));
  return boxes;
}

// A visible dialog of this process titled `title` (any title when null).
inline HWND FindBox(const wchar_t* title) {
  for (HWND w : VisibleBoxes())
    if (!title || WindowText(w) == title) return w;
  return nullptr;
}

// Clicks button `id` of dialog `d`.
inline void Press(HWND d, int id) { PostMessageW(d, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

// A left click at the centre of button `id` of dialog `d`, through the
// input queue.
inline void ClickButton(HWND d, int id) {
  RECT r;
  GetWindowRect(GetDlgItem(d, id), &r);
  SetForegroundWindow(d);
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_MOUSE;
  in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, in, sizeof(INPUT));
}

// Closes a box the way its close box does.
inline void CloseBox(HWND d) { PostMessageW(d, WM_CLOSE, 0, 0); }

// One step of a script: the box's title (null: any box) and what to do to it.
struct Step {
  const wchar_t* title;
  std::function<void(HWND)> act;
};

// Answers the boxes of `steps` in order, each once it shows (after
// `settleMs`), waiting up to `waitMs` for each; records what it saw.
class Script {
 public:
  explicit Script(std::vector<Step> steps, DWORD settleMs = 50, DWORD waitMs = 10000)
      : steps_(std::move(steps)) {
    t_ = std::thread([this, settleMs, waitMs] {
      for (const Step& s : steps_) {
        HWND d = nullptr;
        for (DWORD waited = 0; !stop_ && waited < waitMs; waited += 10, Sleep(10))
          if ((d = FindBox(s.title))) break;
        if (!d) return;
        Sleep(settleMs);
        {
          std::lock_guard<std::mutex> g(m_);
          seen_.push_back({WindowText(d), BoxText(d)});
        }
        const std::vector<HWND> before = VisibleBoxes();
        s.act(d);
        // The next step waits for this box to go or for a new box to show,
        // so that a closing box is not answered twice.
        auto newBox = [&] {
          for (HWND w : VisibleBoxes())
            if (std::find(before.begin(), before.end(), w) == before.end()) return true;
          return false;
        };
        for (int i = 0; !stop_ && i < 500; ++i, Sleep(10))
          if (!IsWindow(d) || !IsWindowVisible(d) || newBox()) break;
      }
    });
  }
  ~Script() {
    stop_ = true;
    if (t_.joinable()) t_.join();
  }
  Script(const Script&) = delete;
  Script& operator=(const Script&) = delete;

  // The boxes acted on so far.
  std::vector<Seen> Boxes() {
    std::lock_guard<std::mutex> g(m_);
    return seen_;
  }
  // Waits for the helper to finish its script (or give up).
  void Finish() {
    if (t_.joinable()) t_.join();
  }

 private:
  std::vector<Step> steps_;
  std::atomic<bool> stop_{false};
  std::mutex m_;
  std::vector<Seen> seen_;
  std::thread t_;
};

// Acts on the first dialog titled `title` once it shows (after `settleMs`),
// from another thread; waits for that thread when it goes.
struct Answer : Script {
  Answer(const wchar_t* title, std::function<void(HWND)> act, DWORD settleMs = 50)
      : Script({{title, std::move(act)}}, settleMs) {}
};

}  // namespace testbox
