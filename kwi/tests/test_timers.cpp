// Window timers through the message loop, the timer table and its blocks,
// whole ids, and the alarm.
#include <gtest/gtest.h>

#include <map>

#include "kwi.h"
#include "widgets.h"

using namespace QEL_KWI;
using namespace kwitest;
namespace D = QEL_KWI::detail;

namespace {

// A child window that counts its timer events by id.
struct TimerWindow {
  Terms t;
  std::map<LONG_PTR, int> ticks;
  std::function<void()> onTick;
  Closure closure{[this](HWND, event_struct* e) -> LONG_PTR {
    if (e->kind != e_timer) Fail();
    ++ticks[e->w[0]];
    if (onTick) onTick();
    return 0;
  }};
  HWND Create(HWND parent) {
    rect_struct r{0, 0, 50, 50};
    return reinterpret_cast<HWND>(
        win_Create(wt_child, &r, L"", t.NoMenu(), L(parent), t.Flags({}), &closure, 0));
  }
};

TEST(Timers, IdsAreTheLayersOwnAndEventsComeThroughTheLoop) {
  Terms t;
  TimerWindow c;
  std::vector<LONG_PTR> ids;
  HWND task = nullptr;
  c.onTick = [&] {
    if (c.ticks[901] >= 2 && c.ticks[902] >= 2 && task) DestroyWindow(task);
  };
  Closure handler([&](HWND w, event_struct* e) -> LONG_PTR {
    if (e->kind == e_create) {
      task = w;
      PostMessageW(w, 0xC00F, 1, 0);
      return 0;
    }
    if (e->kind == e_user) {
      HWND child = c.Create(w);
      ids.push_back(timer_Set(L(child), 10));
      ids.push_back(timer_Set(L(child), 10));
      timer_Kill(ids[0]);
      ids.push_back(timer_Set(L(child), 10));
      SetTimer(w, 1, 5000, nullptr);  // the end of a run that sees no ticks
      return 0;
    }
    if (e->kind == e_timer) DestroyWindow(w);
    Fail();
  });
  kwi_Init(t.Flags({9}), &handler, t.NoMenu(), nullptr, L"timers");
  EXPECT_EQ(ids, (std::vector<LONG_PTR>{900, 901, 902}));
  EXPECT_EQ(c.ticks.count(900), 0u);
  EXPECT_GE(c.ticks[901], 2);
  EXPECT_GE(c.ticks[902], 2);
}

TEST(Timers, TheTableGrowsByABlockAndIdsStayWhole) {
  TimerWindow c;
  std::vector<LONG_PTR> firstIds;
  LONG_PTR last = 0, afterBig = 0, nextBig = 0;
  int lastTicks = 0;
  uint32_t secondBlockFirst = 0;
  bool secondBlock = false, bigStopped = false;
  std::vector<int> killErrors, againErrors;
  RunInTask([&](HWND task) {
    HWND w = c.Create(task);
    for (int i = 0; i < D::TimersPerBlock; ++i) firstIds.push_back(timer_Set(L(w), 100000));
    last = timer_Set(L(w), 10);
    auto* first = reinterpret_cast<D::TimerBlock*>(D::g_state[D::sw_timers]);
    secondBlock = first->next != nullptr;
    if (secondBlock) secondBlockFirst = first->next->entries[0].id;
    PumpUntil([&] { return c.ticks[last] >= 2; }, 3000);
    lastTicks = c.ticks[last];
    for (LONG_PTR id : firstIds) timer_Kill(id);
    timer_Kill(last);
    // A live timer with id 65535 (put into the table as a fixture): new ids
    // go past 65535 and each id finds its own entry.
    ASSERT_TRUE(SetTimer(w, 65535, 100000, nullptr));
    first->entries[5] = {65535, w, 65535};
    afterBig = timer_Set(L(w), 10);
    nextBig = timer_Set(L(w), 100000);
    RecordingRaises r;
    killErrors = r.Of([&] { timer_Kill(afterBig); });
    c.ticks.clear();
    PumpUntil([&] { return false; }, 100);
    bigStopped = c.ticks.count(afterBig) == 0;
    againErrors = r.Of([&] {
      timer_Kill(afterBig);
      timer_Kill(nextBig);
      timer_Kill(65535);
    });
    DestroyWindow(w);
  });
  ASSERT_EQ(firstIds.size(), 1024u);
  EXPECT_EQ(firstIds.front(), 900);
  EXPECT_EQ(firstIds.back(), 1923);
  EXPECT_EQ(last, 1924);
  EXPECT_TRUE(secondBlock);
  EXPECT_EQ(secondBlockFirst, 1924u);
  EXPECT_GE(lastTicks, 2);
  EXPECT_EQ(afterBig, 65536);
  EXPECT_EQ(nextBig, 65537);
  EXPECT_EQ(killErrors, Codes({}));
  EXPECT_TRUE(bigStopped);
  EXPECT_EQ(againErrors, Codes({6120}));
}

// A timer without a window (argument checks off) has a system id that is not
// its own: killing it stops its WM_TIMER messages to the thread.
TEST(Timers, ATimerWithoutAWindowIsKilledByItsSystemId) {
  LONG_PTR id = 0;
  UINT_PTR system = 0;
  int before = 0, after = 0;
  std::vector<int> errors;
  RunInTask([&](HWND) {
    auto ticks = [&](DWORD ms) {
      int n = 0;
      for (DWORD end = GetTickCount() + ms; GetTickCount() < end; Sleep(5)) {
        MSG m;
        while (PeekMessageW(&m, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE))
          if (!m.hwnd && m.wParam == system) ++n;
      }
      return n;
    };
    kwi_ArgValidation(0);
    id = timer_Set(0, 10);
    kwi_ArgValidation(1);
    if (D::TimerEntry* e = &reinterpret_cast<D::TimerBlock*>(D::g_state[D::sw_timers])->entries[0]; e->id == id)
      system = e->system;
    before = ticks(200);
    RecordingRaises r;
    errors = r.Of([&] { timer_Kill(id); });
    ticks(50);  // a tick already queued
    after = ticks(200);
  });
  EXPECT_EQ(id, 900);
  EXPECT_NE(system, 0u);
  EXPECT_GE(before, 2);
  EXPECT_EQ(errors, Codes({}));
  EXPECT_EQ(after, 0);
}

TEST(Timers, ErrorsAndTheAlarm) {
  RecordingRaises r;
  HWND raw = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  std::vector<int> beforeInit = r.Of([&] {
    timer_Set(L(raw), 10);
    timer_Kill(900);
  });
  DestroyWindow(raw);
  std::vector<int> inside, alarms, quietAlarm, destroyedWindow;
  RunInTask([&](HWND task) {
    TimerWindow c;
    HWND w = c.Create(task);
    LONG_PTR id = timer_Set(L(w), 1000);
    DestroyWindow(w);
    destroyedWindow = r.Of([&] { timer_Kill(id); });  // the system stopped it
    inside = r.Of([&] {
      timer_Set(L(w), 10);
      timer_Kill(id);
      timer_Kill(4711);
      timer_Kill(0);
    });
    alarms = r.Of([] {
      for (int kind : {0, 1, 2, 3, 4, -1}) kwi_Alarm(kind);
    });
    kwi_ArgValidation(0);
    quietAlarm = r.Of([] { kwi_Alarm(7); });
    kwi_ArgValidation(1);
  });
  EXPECT_EQ(beforeInit, Codes({6009}));
  EXPECT_EQ(destroyedWindow, Codes({}));
  EXPECT_EQ(inside, Codes({6000, 6120, 6120, 6120}));
  EXPECT_EQ(alarms, Codes({6010, 6010}));
  EXPECT_EQ(quietAlarm, Codes({}));
}

}  // namespace
