// User window classes, resource queries and small utilities.
#include "kwi.h"

namespace QEL_KWI {
namespace detail {

ClassRecord* FindClass(const wchar_t* name) {
  if (!StateReady() || !name) return nullptr;
  auto* head = reinterpret_cast<ClassRecord*>(g_state[sw_classes]);
  for (ClassRecord* c = head ? head->next : nullptr; c; c = c->next)
    if (wcscmp(c->name, name) == 0) return c;
  return nullptr;
}

}  // namespace detail

using namespace detail;

void class_Create(const u16* name, PROLOG_EHANDLER_STRUCT* handler) {
  // The class record keeps 59 units and the terminator; a longer name could
  // not be found again, so it is refused.
  if (!name || !name[0] || wcslen(name) >= ClassNameUnits) {
    RaiseMayReturn(6220);
    return;
  }
  WNDCLASSEXW c = LayerClassInfo(name, UserClassProc, !TaskWindow(), nullptr);
  if (!RegisterClassExW(&c)) {
    RaiseMayReturn(6220);
    return;
  }
  if (!StateReady()) return;
  auto* r = static_cast<ClassRecord*>(K::Memory::AllocUncollectableHeap(sizeof(ClassRecord)));
  memset(r, 0, sizeof *r);
  wcscpy(r->name, name);
  r->function = handler ? handler->function : nullptr;
  r->object = handler ? handler->object : nullptr;
  auto* last = reinterpret_cast<ClassRecord*>(g_state[sw_classes]);
  while (last->next) last = last->next;
  last->next = r;
}

void class_Destroy(const u16* name) {
  UnregisterClassW(name, g_app);
  if (!StateReady() || !name) return;
  for (auto* p = reinterpret_cast<ClassRecord*>(g_state[sw_classes]); p && p->next; p = p->next)
    if (wcscmp(p->next->name, name) == 0) {
      ClassRecord* gone = p->next;
      p->next = gone->next;
      gone->function = gone->object = nullptr;
      K::Memory::ReleaseHeap(gone);
      return;
    }
}

u16* win_GetClassName(LONG_PTR window) {
  HWND w = reinterpret_cast<HWND>(window);
  wchar_t name[ClassNameUnits + 1] = {};
  if (Validating() && !IsWindow(w)) {
    RaiseMayReturn(6000);
  } else if (!GetClassNameW(w, name, ClassNameUnits)) {
    RaiseMayReturn(6000);
  }
  return K::Memory::CopyStringToGStack(name);
}

int kwi_CheckExistDialog(HINSTANCE module, unsigned id) {
  return FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5)) ? 1 : 0;
}
int kwi_CheckExistDialog(unsigned id) { return kwi_CheckExistDialog(g_app, id); }

int kwi_CheckExistString(HINSTANCE module, unsigned id) {
  return FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(6)) ? 1 : 0;
}
int kwi_CheckExistString(unsigned id) { return kwi_CheckExistString(g_app, id); }

u16* kwi_GetResStr(HINSTANCE module, unsigned id) {
  wchar_t* buf = K::Memory::AllocGStackString(257);
  buf[0] = 0;
  if (LoadStringW(module, id, buf, 257) == 0) {
    buf[0] = 0;
    if (Validating()) RaiseMayReturn(6055);
  }
  return buf;
}
u16* kwi_GetResStr(unsigned id) { return kwi_GetResStr(g_app, id); }

LONG_PTR kwi_ComposeRGB(int red, int green, int blue) {
  return (red & 0xFF) | (static_cast<LONG_PTR>(green) << 8) | ((blue & 0xFF) << 16);
}

void kwi_GetBaseUnits(int* x, int* y) {
  LONG base = GetDialogBaseUnits();
  *x = LOWORD(base);
  *y = HIWORD(base);
}

}  // namespace QEL_KWI
