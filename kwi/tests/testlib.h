// Helpers of the GUI layer's tests: term lists built in test memory, handler
// closures made from lambdas, and a recorder for raised GUI errors.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "qel6kernel.h"
#include "qel6kwi.h"

namespace kwitest {

using namespace QEL_KWI;

// A term list in `cells`: {ListCons, value, next} per value, ending in
// {ListNil}.
template <class Cell, class Value>
Cell* BuildList(std::deque<Cell>& cells, const std::vector<Value>& values) {
  cells.push_back({ListNil, {}, nullptr});
  Cell* l = &cells.back();
  for (auto it = values.rbegin(); it != values.rend(); ++it) {
    cells.push_back({ListCons, *it, l});
    l = &cells.back();
  }
  return l;
}

// Storage that outlives the lists built from it (one test at a time).
struct Terms {
  std::deque<ilist_struct> cells;
  std::deque<windef_list_struct> defCells;
  std::deque<windef> defs;
  std::deque<wdef> wdefs;
  std::deque<rect_struct> rects;
  std::deque<_accel_list> accelCells;
  std::deque<_accel> accels;
  std::deque<menu_struct> menus;

  wsflags_struct* Flags(std::initializer_list<int64_t> values) {
    return Flags(std::vector<int64_t>(values));
  }
  wsflags_struct* Flags(const std::vector<int64_t>& v) { return BuildList(cells, v); }
  wdef* Wdef(int type, rect_struct r, const wchar_t* title, int dlgUnits = 0) {
    rects.push_back(r);
    wdefs.push_back({type, &rects.back(), title, dlgUnits});
    return &wdefs.back();
  }
  windef* Def(uintptr_t alt, std::initializer_list<LONG_PTR> words) {
    windef d{alt, {0, 0, 0, 0}};
    int i = 0;
    for (LONG_PTR w : words) d.w[i++] = w;
    defs.push_back(d);
    return &defs.back();
  }
  windef_list_struct* List(const std::vector<windef*>& items) { return BuildList(defCells, items); }
  _accel_list* Accels(std::initializer_list<_accel> items) {
    std::vector<_accel*> kept;
    for (const _accel& a : items) {
      accels.push_back(a);
      kept.push_back(&accels.back());
    }
    return BuildList(accelCells, kept);
  }
  menu_struct* ResMenu(unsigned id) {
    menus.push_back({1, id});
    return &menus.back();
  }
  menu_struct* NoMenu() {
    menus.push_back({3, 0});
    return &menus.back();
  }
};

inline std::vector<int64_t> Values(const ilist_struct* l) {
  std::vector<int64_t> out;
  for (; l && l->functor == ListCons; l = l->next) out.push_back(l->value);
  return out;
}

// A handler closure over a lambda; the lambda may call Fail().
using Handler = std::function<LONG_PTR(HWND, event_struct*)>;
inline LONG_PTR Trampoline(void* object, LONG_PTR window, event_struct* e) {
  return (*static_cast<Handler*>(object))(reinterpret_cast<HWND>(window), e);
}
struct Closure {
  Handler fn;
  PROLOG_EHANDLER_STRUCT h{reinterpret_cast<void*>(&Trampoline), nullptr};
  explicit Closure(Handler f) : fn(std::move(f)) { h.object = &fn; }
  PROLOG_EHANDLER_STRUCT* operator&() { return &h; }
};

[[noreturn]] inline void Fail() { Qel::RunTime::Kernel::Fail(); }

// GUI errors raised while an exception handler is installed.
inline std::vector<int>& Raised() {
  static std::vector<int> codes;
  return codes;
}
inline void RecordRaise(int32_t code, const wchar_t*) { Raised().push_back(code); }

}  // namespace kwitest
