// Window timers of the program and the alarm sound.
//
// The timer table is a chain of blocks of 1,024 entries {id, window, system
// id}; an entry with id 0 is free.  The first block lives from start-up to
// shut-down (GUI state word 17); more blocks are linked in behind it when
// every entry is taken.  Ids are the layer's own: one more than the largest
// live id, at least 900, and compared whole.  A timer set without a window
// gets a system id of the system's choosing, kept in its entry.
#include "kwi.h"

#include <cstdlib>

namespace QEL_KWI {
namespace detail {

constexpr uint32_t FirstTimerId = 900;

void* NewTimerTable() { return calloc(1, sizeof(TimerBlock)); }

void FreeTimerTable(void* table) {
  for (auto* b = static_cast<TimerBlock*>(table); b;) {
    TimerBlock* next = b->next;
    free(b);
    b = next;
  }
}

static TimerBlock* Table() { return reinterpret_cast<TimerBlock*>(g_state[sw_timers]); }

static TimerEntry* FindTimer(uint32_t id) {
  for (TimerBlock* b = Table(); b; b = b->next)
    for (TimerEntry& e : b->entries)
      if (e.id == id) return &e;
  return nullptr;
}

}  // namespace detail

using namespace detail;

LONG_PTR timer_Set(LONG_PTR window, unsigned milliseconds) {
  HWND w = reinterpret_cast<HWND>(window);
  if (Validating() && !IsWindow(w)) {
    RaiseMayReturn(6000);
    return 0;
  }
  TimerBlock* first = Table();
  if (!first) {
    RaiseMayReturn(6009);
    return 0;
  }
  uint32_t largest = FirstTimerId - 1;
  TimerEntry* free = nullptr;
  for (TimerBlock* b = first; b; b = b->next)
    for (TimerEntry& e : b->entries) {
      if (e.id > largest) largest = e.id;
      if (!e.id && !free) free = &e;
    }
  if (largest == UINT32_MAX) {
    RaiseMayReturn(6121);
    return 0;
  }
  const uint32_t id = largest + 1;
  if (!free) {
    auto* block = static_cast<TimerBlock*>(NewTimerTable());
    if (!block) {
      RaiseMayReturn(6121);
      return 0;
    }
    block->next = first->next;
    first->next = block;
    free = &block->entries[0];
  }
  UINT_PTR system = SetTimer(w, id, milliseconds, nullptr);
  if (!system) {
    RaiseMayReturn(6121);
    return 0;
  }
  *free = {id, w, system};
  return id;
}

void timer_Kill(LONG_PTR id) {
  if (!Table()) {
    if (Validating() && StateReady()) RaiseMayReturn(6009);
    return;
  }
  TimerEntry* e = id > 0 && id <= LONG_PTR{UINT32_MAX} ? FindTimer(static_cast<uint32_t>(id)) : nullptr;
  if (!e) {
    RaiseMayReturn(6120);
    return;
  }
  const TimerEntry timer = *e;
  *e = {};
  // A timer without a window is known to the system by the id it gave; the
  // system stopped the timers of a destroyed window already.
  if (!timer.window) {
    if (!KillTimer(nullptr, timer.system)) RaiseMayReturn(6120);
  } else if (IsWindow(timer.window) && !KillTimer(timer.window, static_cast<UINT_PTR>(id))) {
    RaiseMayReturn(6120);
  }
}

void kwi_Alarm(int kind) {
  static const UINT sounds[] = {MB_ICONASTERISK, MB_ICONQUESTION, MB_ICONHAND, MB_ICONEXCLAMATION};
  if (kind >= 0 && kind < 4) {
    MessageBeep(sounds[kind]);
    return;
  }
  MessageBeep(0);
  if (Validating()) RaiseMayReturn(6010);
}

}  // namespace QEL_KWI
