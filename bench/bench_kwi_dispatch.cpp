// Events per second through the GUI layer's dispatcher (global-stack mark,
// trap, backtrack point, handler call, release) against a bare window
// procedure handling the same messages, both reached by SendMessageW in the
// same run.
#include <windows.h>

#include <cstdio>

#include "bench_task.h"
#include "qel6kernel.h"
#include "qel6kwi.h"

using namespace QEL_KWI;

static volatile LONG_PTR g_sink;

static LONG_PTR Succeeding(LONG_PTR, event_struct* e) {
  g_sink = g_sink + e->kind;
  return 1;
}

static LONG_PTR Failing(LONG_PTR, event_struct* e) {
  g_sink = g_sink + e->kind;
  Qel::RunTime::Kernel::Fail();
}

static LRESULT CALLBACK Bare(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == 0xC00F || m == WM_MOUSEMOVE || m == WM_KEYDOWN) {
    g_sink = g_sink + m;
    return 1;
  }
  return DefWindowProcW(w, m, wp, lp);
}

static double Now() {
  static LARGE_INTEGER f = [] { LARGE_INTEGER x; QueryPerformanceFrequency(&x); return x; }();
  LARGE_INTEGER c;
  QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) / f.QuadPart;
}

static double EventsPerSecond(HWND w, UINT msg, WPARAM wp, LPARAM lp, int n) {
  double best = 0;
  for (int round = 0; round < 3; ++round) {
    double t = Now();
    for (int i = 0; i < n; ++i) SendMessageW(w, msg, wp, lp);
    double rate = n / (Now() - t);
    if (rate > best) best = rate;
  }
  return best;
}

static void Run(HWND task) {
  WNDCLASSW c{};
  c.lpfnWndProc = Bare;
  c.hInstance = GetModuleHandleW(nullptr);
  c.lpszClassName = L"KwiBenchBare";
  RegisterClassW(&c);
  HWND bare = CreateWindowW(L"KwiBenchBare", L"", WS_CHILD, 0, 0, 10, 10, task, nullptr, c.hInstance, nullptr);
  ilist_struct nil{ListNil, 0, nullptr};
  menu_struct nomenu{3, 0};
  rect_struct r{0, 0, 10, 10};
  PROLOG_EHANDLER_STRUCT ok{reinterpret_cast<void*>(&Succeeding), nullptr};
  PROLOG_EHANDLER_STRUCT fail{reinterpret_cast<void*>(&Failing), nullptr};
  HWND good = reinterpret_cast<HWND>(win_Create(2, &r, L"", &nomenu, reinterpret_cast<LONG_PTR>(task), &nil, &ok, 0));
  HWND bad = reinterpret_cast<HWND>(win_Create(2, &r, L"", &nomenu, reinterpret_cast<LONG_PTR>(task), &nil, &fail, 0));
  const int n = 200000;
  struct {
    const char* what;
    UINT msg;
    WPARAM wp;
    LPARAM lp;
  } cases[] = {{"e_user (0xC00F)", 0xC00F, 1, 2},
               {"e_mousemove (point, button list)", WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5, 6)},
               {"e_keydown + e_char (F5)", WM_KEYDOWN, VK_F5, 0}};
  printf("GUI layer dispatcher against a bare window procedure (best of 3, %d messages)\n", n);
  printf("  %-34s %14s %14s %14s %8s\n", "message", "bare ev/s", "handler ok", "handler fails",
         "ns/ev");
  for (auto& k : cases) {
    double b = EventsPerSecond(bare, k.msg, k.wp, k.lp, n);
    double g = EventsPerSecond(good, k.msg, k.wp, k.lp, n);
    double f = EventsPerSecond(bad, k.msg, k.wp, k.lp, n);
    printf("  %-34s %14.0f %14.0f %14.0f %8.1f\n", k.what, b, g, f, 1e9 / g - 1e9 / b);
  }
  printf("  (ns/ev: added cost per message of the dispatcher with a succeeding handler)\n");
  DestroyWindow(good);
  DestroyWindow(bad);
  DestroyWindow(bare);
}

int main() {
  ilist_struct flags[2] = {{ListCons, 11, &flags[1]}, {ListNil, 0, nullptr}};  // invisible
  menu_struct nomenu{3, 0};
  const bool ran = bench::RunInTask(flags, &nomenu, L"bench", [](LONG_PTR task) { Run(reinterpret_cast<HWND>(task)); });
  return ran ? 0 : 1;
}
