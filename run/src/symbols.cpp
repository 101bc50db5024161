// The runtime's symbol table: one instance of each text, so that equal
// symbols share one pointer.  An open-addressing hash set under a critical
// section; its slots live in uncollectable heap memory, which the collector
// scans, so the heap copies it holds stay alive.
#include "runtime.h"

#include <cwchar>

namespace Qel::RunTime::detail {

namespace {

CRITICAL_SECTION g_lock;
const wchar_t** g_slots = nullptr;
uint32_t g_capacity = 0;  // a power of two
uint32_t g_count = 0;

struct LockInit {
  LockInit() { InitializeCriticalSection(&g_lock); }
} g_lockInit;

uint32_t Hash(const wchar_t* s) {
  uint32_t h = 2166136261u;
  for (; *s; ++s) h = (h ^ static_cast<uint16_t>(*s)) * 16777619u;
  return h;
}

void Grow() {
  uint32_t capacity = g_capacity ? g_capacity * 2 : 1024;
  auto** slots = static_cast<const wchar_t**>(
      Memory::AllocUncollectableHeap(capacity * static_cast<uint32_t>(sizeof(void*))));
  memset(slots, 0, capacity * sizeof(void*));
  for (uint32_t i = 0; i < g_capacity; ++i) {
    if (!g_slots[i]) continue;
    uint32_t j = Hash(g_slots[i]) & (capacity - 1);
    while (slots[j]) j = (j + 1) & (capacity - 1);
    slots[j] = g_slots[i];
  }
  if (g_slots) Memory::ReleaseHeap(g_slots);
  g_slots = slots;
  g_capacity = capacity;
}

}  // namespace

const wchar_t* InternSymbol(const wchar_t* text, bool copy) {
  if (!text) text = L"";
  EnterCriticalSection(&g_lock);
  // Growing may raise 206: the lock is left before the error goes on.
  const wchar_t* result = nullptr;
  uint32_t code = RunTrapped([&] {
    if ((g_count + 1) * 3 >= g_capacity * 2) Grow();
    uint32_t j = Hash(text) & (g_capacity - 1);
    while (g_slots[j] && wcscmp(g_slots[j], text) != 0) j = (j + 1) & (g_capacity - 1);
    if (!g_slots[j]) {
      g_slots[j] = copy ? Memory::CopyStringToHeap(text) : text;
      ++g_count;
    }
    result = g_slots[j];
  });
  LeaveCriticalSection(&g_lock);
  if (code) Errors::RunTimeError(code, 0u, 0u);
  return result;
}

}  // namespace Qel::RunTime::detail

namespace Qel::RunTime {

const wchar_t* Insert2SymbolTable(const wchar_t* text) { return detail::InternSymbol(text, true); }

}  // namespace Qel::RunTime
