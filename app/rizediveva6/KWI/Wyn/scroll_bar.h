// The scroll bar that a scroll object drives: the window, the GUI layer's
// bar kind (0 horizontal, 1 vertical bar of the window, 2 a scroll-bar
// control) and whether the object owns it (window_type 2, a control) or not
// (1, a window's own bar; 0 before a constructor ran).  Scroll objects live
// on the collected heap with a finaliser that destroys an owned control that
// still exists, under a trap; a main bar is left to its window.
#pragma once

#include <new>

#include "core/core.h"
#include "qel6kwi.h"

namespace rizediveva6 {

struct scroll_bar {
  LONG_PTR xdb_ctl_win = 0;
  int32_t xscrolltype = 0;
  uint32_t window_type = 0;

  void SetRange(int32_t min, int32_t max) const;
  void SetPos(int32_t pos) const;
  // What the finaliser does: destroys an owned control still alive.
  void Release() const;
};

// The three ways to make a scroll object: main horizontal bar, main vertical
// bar, an owned control.
enum class BarKind { main_h, main_v, control };
scroll_bar MakeBar(LONG_PTR window, BarKind kind);

// A new object of C on the collected heap whose finaliser releases its bar.
template <class C, class... A>
C* NewScrollObject(A&&... args) {
  static const Qel::RunTime::Objects::RClassDescriptorInfo info{sizeof(C), 1};
  void* block = Qel::RunTime::Objects::AllocateObject(
      &info, [](void* b) { static_cast<C*>(b)->bar.Release(); });
  memset(block, 0, sizeof(C));
  return new (block) C(static_cast<A&&>(args)...);
}

// Entries (code, increment) that replace a scroll code's built-in step, at
// most one per code, in collected cells.
template <class Inc>
struct scode_list {
  struct Cell {
    int32_t code;
    Inc increment;
    Cell* next;
  };
  Cell* first = nullptr;

  void Define(int32_t code, Inc increment) {
    Cell** at = &first;
    while (*at) {
      if ((*at)->code == code) *at = (*at)->next;  // the older entry goes
      else at = &(*at)->next;
    }
    auto* cell = static_cast<Cell*>(Qel::RunTime::Kernel::Memory::AllocHeap(sizeof(Cell)));
    *cell = {code, increment, nullptr};
    *at = cell;
  }
  bool Find(int32_t code, Inc* increment) const {
    for (const Cell* c = first; c; c = c->next)
      if (c->code == code) return *increment = c->increment, true;
    return false;
  }
};

}  // namespace rizediveva6
