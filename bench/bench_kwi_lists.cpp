// List boxes and menus through the GUI layer against the raw messages and
// menu calls, in the same run: lbox_Add of 100,000 strings against an
// LB_ADDSTRING loop (redraw off both), lbox_GetAll of them against an
// LB_GETTEXTLEN + LB_GETTEXT loop, and menu_Set + menu_Get of 500 items
// against AppendMenuW + SetMenu + GetMenuStringW.
#include <windows.h>

#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "bench_task.h"
#include "bench_util.h"
#include "qel6kernel.h"
#include "qel6kwi.h"

using namespace QEL_KWI;
namespace K = Qel::RunTime::Kernel;

static volatile size_t g_sink;

template <class Body>
static double Best(Body&& body) {
  double best = 1e30;
  for (int round = 0; round < 3; ++round) {
    double t = bench::Now();
    body();
    double s = bench::Now() - t;
    if (s < best) best = s;
  }
  return best;
}

static void Row(const char* what, double layer, double raw, double goal) {
  printf("  %-44s %9.3f s %9.3f s %7.2fx (goal %.1fx)\n", what, layer, raw, layer / raw, goal);
}

static void Lists(HWND task) {
  HWND box = CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD, 0, 0, 200, 200, task, nullptr, nullptr, nullptr);
  const LONG_PTR lb = reinterpret_cast<LONG_PTR>(box);
  const int n = 100000;
  std::vector<std::wstring> texts;
  for (int i = 0; i < n; ++i) texts.push_back(L"item number " + std::to_wstring(i));
  std::deque<slist_struct> cells;
  cells.push_back({ListNil, nullptr, nullptr});
  slist_struct* list = &cells.back();
  for (int i = n - 1; i >= 0; --i) {
    cells.push_back({ListCons, texts[i].c_str(), list});
    list = &cells.back();
  }
  SendMessageW(box, WM_SETREDRAW, FALSE, 0);
  auto fresh = [&] { SendMessageW(box, LB_RESETCONTENT, 0, 0); };
  double raw = Best([&] {
    fresh();
    for (auto& s : texts) SendMessageW(box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str()));
  });
  double one = Best([&] {
    fresh();
    for (auto& s : texts) lbox_Add_2(lb, s.c_str());
  });
  double all = Best([&] {
    fresh();
    lbox_Add_3(lb, list);
  });
  printf("List box, %d strings, redraw off             layer        raw   ratio\n", n);
  Row("lbox_Add (win, string) per string", one, raw, 1.1);
  Row("lbox_Add (win, slist)", all, raw, 1.1);
  double rawGet = Best([&] {
    wchar_t buf[64];
    size_t total = 0;
    LRESULT count = SendMessageW(box, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      LRESULT len = SendMessageW(box, LB_GETTEXTLEN, i, 0);
      if (len < 0 || len >= 64) continue;
      total += SendMessageW(box, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buf));
    }
    g_sink = total;
  });
  double get = Best([&] {
    uint8_t* mark = K::Memory::MarkGStack();
    size_t items = 0;
    for (slist_struct* c = lbox_GetAll(lb); c->functor == ListCons; c = c->next) ++items;
    g_sink = items;
    K::Memory::ReleaseGStack(mark);
  });
  Row("lbox_GetAll", get, rawGet, 1.3);
  DestroyWindow(box);
}

static void Menus(HWND task) {
  const int n = 500;
  std::vector<std::wstring> texts;
  for (int i = 0; i < n; ++i) texts.push_back(L"Command " + std::to_wstring(i));
  std::deque<menu_item> items;
  std::deque<menu_item_list_struct> cells;
  menu_accelerator none{1, 0, 0};
  menu_item_list_struct nil{ListNil, nullptr, nullptr};
  cells.push_back(nil);
  menu_item_list_struct* sub = &cells.back();
  for (int i = n - 1; i >= 0; --i) {
    items.push_back({1, {1000 + i, reinterpret_cast<LONG_PTR>(texts[i].c_str()),
                         reinterpret_cast<LONG_PTR>(&none), 1, 0, reinterpret_cast<LONG_PTR>(&nil)}});
    cells.push_back({ListCons, &items.back(), sub});
    sub = &cells.back();
  }
  items.push_back({1, {0, reinterpret_cast<LONG_PTR>(L"&Commands"), reinterpret_cast<LONG_PTR>(&none), 1, 0,
                       reinterpret_cast<LONG_PTR>(sub)}});
  menu_item_list_struct top{ListCons, &items.back(), &nil};
  menu_struct dyn{2, reinterpret_cast<uintptr_t>(&top)};
  const int rounds = 20;
  HWND plain = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
  double raw = Best([&] {
    wchar_t buf[64];
    size_t total = 0;
    for (int r = 0; r < rounds; ++r) {
      HMENU bar = CreateMenu(), popup = CreatePopupMenu();
      for (int i = 0; i < n; ++i) AppendMenuW(popup, MF_STRING, 1000 + i, texts[i].c_str());
      AppendMenuW(bar, MF_STRING | MF_POPUP, reinterpret_cast<UINT_PTR>(popup), L"&Commands");
      HMENU old = GetMenu(plain);
      SetMenu(plain, bar);
      if (old) DestroyMenu(old);
      HMENU shown = GetSubMenu(GetMenu(plain), 0);
      for (int i = 0; i < n; ++i) total += GetMenuStringW(shown, i, buf, 64, MF_BYPOSITION);
    }
    g_sink = total;
  });
  double layer = Best([&] {
    size_t total = 0;
    for (int r = 0; r < rounds; ++r) {
      uint8_t* mark = K::Memory::MarkGStack();
      menu_Set(reinterpret_cast<LONG_PTR>(task), &dyn);
      menu_struct* back = menu_Get(reinterpret_cast<LONG_PTR>(task));
      auto* l = reinterpret_cast<menu_item_list_struct*>(back->value);
      for (auto* c = reinterpret_cast<menu_item_list_struct*>(l->value->w[5]); c->functor == ListCons; c = c->next)
        ++total;
      K::Memory::ReleaseGStack(mark);
    }
    g_sink = total;
  });
  DestroyWindow(plain);
  printf("Menus, %d items in a pop-up, %d rounds\n", n, rounds);
  Row("menu_Set + menu_Get", layer, raw, 1.5);
}

// The figures, from inside the task's message loop.
static void Run(LONG_PTR task) {
  Lists(reinterpret_cast<HWND>(task));
  Menus(reinterpret_cast<HWND>(task));
}

int main() {
  ilist_struct flags[3] = {{ListCons, 9, &flags[1]}, {ListCons, 11, &flags[2]}, {ListNil, 0, nullptr}};
  menu_accelerator none{1, 0, 0};
  menu_item_list_struct nil{ListNil, nullptr, nullptr};
  menu_item first{1, {1, reinterpret_cast<LONG_PTR>(L"&First"), reinterpret_cast<LONG_PTR>(&none), 1, 0,
                      reinterpret_cast<LONG_PTR>(&nil)}};
  menu_item_list_struct items{ListCons, &first, &nil};
  menu_struct menu{2, reinterpret_cast<uintptr_t>(&items)};
  return bench::RunInTask(flags, &menu, L"bench", Run) ? 0 : 1;
}
