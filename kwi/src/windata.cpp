// Window records: own windows (extra word), the dialog list and the subclass
// chain; the record lookup, user data, subclassing and type checks.
#include "kwi.h"

#include <cwchar>

namespace QEL_KWI {
namespace detail {

static _win_data g_scratch;

static _win_data* Scratch() {
  memset(&g_scratch, 0, sizeof g_scratch);
  return &g_scratch;
}

_win_data* NewRecord() {
  auto* r = static_cast<_win_data*>(K::Memory::AllocUncollectableHeap(sizeof(_win_data)));
  memset(r, 0, sizeof *r);
  return r;
}

void FreeRecord(_win_data* r) {
  if (!r) return;
  r->w[rw_fn] = r->w[rw_obj] = r->w[rw_preFn] = r->w[rw_preObj] = 0;
  r->w[rw_font] = r->w[rw_brush] = r->w[rw_pen] = r->w[rw_gdi] = 0;
  K::Memory::ReleaseHeap(r);
}

void SetDefaultTools(_win_data* r) {
  r->w[rw_rop] = R2_COPYPEN - 1;
  r->w[rw_bkColor] = 0xFFFFFF;
  r->w[rw_textColor] = 0;
  r->w[rw_bkMode] = 1;
  r->w[rw_winExtX] = r->w[rw_winExtY] = r->w[rw_vpExtX] = r->w[rw_vpExtY] = 1;
}

bool IsOwnClass(const wchar_t* name) {
  static const wchar_t* const own[] = {L"ZevFrame32", L"ZevToplevel32", L"ZevChild32",
                                       L"ZevMDI32", L"ZevPrintWindow32"};
  for (auto* n : own)
    if (wcscmp(n, name) == 0) return true;
  return false;
}

_win_data* RecordOf(HWND w) {
  if (!w) return nullptr;
  return reinterpret_cast<_win_data*>(GetWindowLongPtrW(w, 0));
}

template <class T>
static T* ListHead(StateWord word) {
  if (!StateReady()) return nullptr;
  return reinterpret_cast<T*>(g_state[word]);
}

DialogRecord* FindDialog(HWND w) {
  DialogRecord* head = ListHead<DialogRecord>(sw_dialogs);
  for (DialogRecord* d = head ? head->next : nullptr; d; d = d->next)
    if (d->dialog == w) return d;
  return nullptr;
}

DialogRecord* MakeDialogRecord(HWND w) {
  if (DialogRecord* d = FindDialog(w)) return d;
  DialogRecord* head = ListHead<DialogRecord>(sw_dialogs);
  if (!head) return nullptr;
  auto* d = static_cast<DialogRecord*>(K::Memory::AllocUncollectableHeap(sizeof(DialogRecord)));
  memset(d, 0, sizeof *d);
  d->dialog = w;
  d->parent = g_pendingDialog.parent;
  LONG_PTR* r = d->rec.w;
  r[rw_fn] = reinterpret_cast<LONG_PTR>(g_pendingDialog.handler.function);
  r[rw_obj] = reinterpret_cast<LONG_PTR>(g_pendingDialog.handler.object);
  r[rw_data] = g_pendingDialog.data;
  r[rw_type] = g_pendingDialog.type;
  r[rw_valid] = 1;
  r[rw_mapMode] = 1;
  SetDefaultTools(&d->rec);
  r[rw_cursorId] = 0;
  if (HFONT f = reinterpret_cast<HFONT>(SendMessageW(w, WM_GETFONT, 0, 0))) {
    LOGFONTW lf;
    if (GetObjectW(f, sizeof lf, &lf)) r[rw_font] = reinterpret_cast<LONG_PTR>(CreateFontIndirectW(&lf));
  }
  DialogRecord* last = head;
  while (last->next) last = last->next;
  last->next = d;
  return d;
}

// Takes `item` out of the list at `word`, clears its closure and frees it.
template <class T>
static void RemoveRecord(StateWord word, T* item) {
  for (T* p = ListHead<T>(word); p && p->next; p = p->next)
    if (p->next == item) {
      p->next = item->next;
      item->rec.w[rw_fn] = item->rec.w[rw_obj] = 0;
      K::Memory::ReleaseHeap(item);
      ClearDrawingCache();
      return;
    }
}

void RemoveDialog(DialogRecord* d) { RemoveRecord(sw_dialogs, d); }

LONG_PTR DialogIndex(HWND w) {
  DialogRecord* head = ListHead<DialogRecord>(sw_dialogs);
  LONG_PTR i = 1;
  for (DialogRecord* d = head ? head->next : nullptr; d; d = d->next, ++i)
    if (d->dialog == w) return i;
  return 0;
}

DialogRecord* DialogAt(LONG_PTR index) {
  DialogRecord* head = ListHead<DialogRecord>(sw_dialogs);
  LONG_PTR i = 1;
  for (DialogRecord* d = head ? head->next : nullptr; d; d = d->next, ++i)
    if (i == index) return d;
  return nullptr;
}

SubclassRecord* FindSubclass(HWND w) {
  SubclassRecord* head = ListHead<SubclassRecord>(sw_subclasses);
  for (SubclassRecord* s = head ? head->next : nullptr; s; s = s->next)
    if (s->window == w) return s;
  return nullptr;
}

SubclassRecord* FindSubclassByReplaced(HWND w) {
  SubclassRecord* head = ListHead<SubclassRecord>(sw_subclasses);
  for (SubclassRecord* s = head ? head->next : nullptr; s; s = s->next)
    if (s->replaced == w) return s;
  return nullptr;
}

void RemoveSubclass(SubclassRecord* s) { RemoveRecord(sw_subclasses, s); }

static void FreeChain(StateWord word, size_t nextOffset) {
  uint8_t* p = reinterpret_cast<uint8_t*>(g_state[word]);
  while (p) {
    uint8_t* next = *reinterpret_cast<uint8_t**>(p + nextOffset);
    K::Memory::ReleaseHeap(p);
    p = next;
  }
  g_state[word] = 0;
}

void FreeLists() {
  for (DialogRecord* d = ListHead<DialogRecord>(sw_dialogs); d; d = d->next)
    d->rec.w[rw_fn] = d->rec.w[rw_obj] = 0;
  // Controls that outlive the state get their own procedure back.
  for (SubclassRecord* s = ListHead<SubclassRecord>(sw_subclasses); s; s = s->next) {
    if (s->replaced && s->previous && IsWindow(s->replaced))
      SetWindowLongPtrW(s->replaced, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s->previous));
    s->rec.w[rw_fn] = s->rec.w[rw_obj] = 0;
  }
  for (ClassRecord* c = ListHead<ClassRecord>(sw_classes); c; c = c->next)
    c->function = c->object = nullptr;
  FreeChain(sw_dialogs, offsetof(DialogRecord, next));
  FreeChain(sw_subclasses, offsetof(SubclassRecord, next));
  FreeChain(sw_classes, offsetof(ClassRecord, next));
}

int WindowType(HWND w) {
  if (!w) return 0;
  if (w == GetDesktopWindow()) return wt_screen;
  if (StateReady()) {
    const LONG_PTR lw = reinterpret_cast<LONG_PTR>(w);
    if (g_state[34] == lw) return wt_print;
    for (int i = 0; i < 4; ++i) {
      if (g_state[22 + i] == lw) return wt_picture;
      if (g_state[30 + i] == lw) return wt_metafile;
    }
  }
  wchar_t name[ClassNameUnits + 1];
  if (!GetClassNameW(w, name, ClassNameUnits)) return 0;
  if (IsOwnClass(name) || FindClass(name)) {
    if (GetWindowThreadProcessId(w, nullptr) != GetCurrentThreadId()) return 0;
    _win_data* r = RecordOf(w);
    if (r && r->w[rw_valid]) return static_cast<int>(r->w[rw_type]);
    return FindClass(name) ? wt_custom : 0;
  }
  if (DialogRecord* d = FindDialog(w)) return static_cast<int>(d->rec.w[rw_type]);
  return ControlTypeFromClass(name, static_cast<DWORD>(GetWindowLongPtrW(w, GWL_STYLE)));
}

bool TypeAllows(HWND w, int type, int category) {
  bool sub = FindSubclass(w) != nullptr;
  switch (category) {
    case 1: case 2:
      return sub || IsLayerWindow(type) || type == wt_print || type == wt_picture ||
             type == wt_metafile;
    case 3: return sub || type == 1 || type == 2 || type == 4 || type == 20;
    case 4: return type >= wt_pushbutton && type <= wt_icon;
    case 5: return sub || IsLayerWindow(type);
    case 6: return type == 1 || type == 2 || type == 4;
    default: return false;
  }
}

bool MenuItemText(HMENU m, int pos, wchar_t* buf, int n) {
  MENUITEMINFOW mi{};
  mi.cbSize = sizeof mi;
  mi.fMask = MIIM_STRING;
  mi.dwTypeData = buf;
  mi.cch = n;
  buf[0] = 0;
  return GetMenuItemInfoW(m, pos, TRUE, &mi) != 0;
}

HMENU FindWindowPopup(HMENU menu) {
  if (!menu || !g_menuTitle) return nullptr;
  for (int i = GetMenuItemCount(menu) - 1; i >= 0; --i) {
    wchar_t buf[251];
    if (MenuItemText(menu, i, buf, 250) && wcscmp(buf, g_menuTitle) == 0)
      if (HMENU popup = GetSubMenu(menu, i)) return popup;
  }
  return nullptr;
}

void CleanUpRecord(HWND w, _win_data* r) {
  if (!r || !r->w[rw_valid]) return;
  LONG_PTR* s = r->w;
  if (g_state[sw_mdi] && s[rw_type] == wt_toplevel && !(GetWindowLongPtrW(w, GWL_STYLE) & WS_POPUP) &&
      s[rw_menu] && StateReady() && g_state[sw_menuTitle]) {
    HMENU m = reinterpret_cast<HMENU>(s[rw_menu]);
    const wchar_t* title = reinterpret_cast<const wchar_t*>(g_state[sw_menuTitle]);
    for (int i = GetMenuItemCount(m) - 1; i >= 0; --i) {
      wchar_t buf[251];
      if (MenuItemText(m, i, buf, 250) && wcscmp(buf, title) == 0) {
        RemoveMenu(m, i, MF_BYPOSITION);
        break;
      }
    }
  }
  if (s[rw_font]) DeleteObject(reinterpret_cast<HGDIOBJ>(s[rw_font]));
  if (s[rw_brush]) DeleteObject(reinterpret_cast<HGDIOBJ>(s[rw_brush]));
  if (s[rw_pen]) DeleteObject(reinterpret_cast<HGDIOBJ>(s[rw_pen]));
  if (s[rw_gdi]) DeleteObject(reinterpret_cast<HGDIOBJ>(s[rw_gdi]));
  if (s[rw_cursorId] >= 12 && s[rw_cursor]) DestroyCursor(reinterpret_cast<HCURSOR>(s[rw_cursor]));
  if (s[rw_menu] && !s[rw_noMenu]) {
    if (GetMenu(w) == reinterpret_cast<HMENU>(s[rw_menu])) SetMenu(w, nullptr);
    DestroyMenu(reinterpret_cast<HMENU>(s[rw_menu]));
  }
  s[rw_font] = s[rw_brush] = s[rw_pen] = s[rw_gdi] = s[rw_cursor] = s[rw_menu] = 0;
}

// One-entry cache of the paint context (or of a context held outside a
// paint): the window being painted, its record and its context, until the
// paint ends or the held context is released, a record goes or another
// window is looked up; with it, once asked, whether that window may be drawn on (its
// type and subclass do not change while it paints).
static HWND g_cachedWindow;
static HDC g_cachedDC;
static _win_data* g_cachedRecord;
static DWORD g_cachedThread;
static int g_cachedDrawable = -1;  // -1: not asked yet

}  // namespace detail

using namespace detail;

_win_data* XZEV_GetWinData(HWND w) {
  if (!w) return Scratch();
  if (w == g_cachedWindow && GetCurrentThreadId() == g_cachedThread) return g_cachedRecord;
  wchar_t name[ClassNameUnits + 1];
  if (GetClassNameW(w, name, ClassNameUnits) && (IsOwnClass(name) || FindClass(name))) {
    if (GetWindowThreadProcessId(w, nullptr) != GetCurrentThreadId()) return Scratch();
    _win_data* r = RecordOf(w);
    return r ? r : Scratch();
  }
  if (DialogRecord* d = FindDialog(w)) return &d->rec;
  if (SubclassRecord* s = FindSubclass(w)) return &s->rec;
  return Scratch();
}

_win_data* XZEV_GetWinData(LONG_PTR window) {
  return XZEV_GetWinData(reinterpret_cast<HWND>(window));
}

static bool DataWindow(LONG_PTR window) {
  HWND w = reinterpret_cast<HWND>(window);
  if (IsLayerWindow(WindowType(w))) return true;
  if (Validating()) RaiseMayReturn(6001);
  return false;
}

void win_SetData(LONG_PTR window, LONG_PTR value) {
  if (DataWindow(window)) XZEV_GetWinData(reinterpret_cast<HWND>(window))->w[rw_data] = value;
}

LONG_PTR win_GetData(LONG_PTR window) {
  if (!DataWindow(window)) return 0;
  return XZEV_GetWinData(reinterpret_cast<HWND>(window))->w[rw_data];
}

void win_SetSubClassHandler(LONG_PTR window, PROLOG_EHANDLER_STRUCT* handler, int useTools) {
  HWND w = reinterpret_cast<HWND>(window);
  if (!StateReady()) {
    RaiseMayReturn(6009);
    return;
  }
  int type = WindowType(w);
  if (Validating() && !((type >= wt_pushbutton && type <= wt_icon) || type == wt_custom || type == 0)) {
    RaiseMayReturn(6001);
    return;
  }
  void* fn = handler ? handler->function : nullptr;
  void* obj = handler ? handler->object : nullptr;
  if (type == wt_custom) {
    if (_win_data* r = RecordOf(w)) {
      r->w[rw_preFn] = reinterpret_cast<LONG_PTR>(fn);
      r->w[rw_preObj] = reinterpret_cast<LONG_PTR>(obj);
    }
    return;
  }
  if (SubclassRecord* s = FindSubclass(w)) {
    s->rec.w[rw_fn] = reinterpret_cast<LONG_PTR>(fn);
    s->rec.w[rw_obj] = reinterpret_cast<LONG_PTR>(obj);
    s->useTools = useTools;
    return;
  }
  auto* s = static_cast<SubclassRecord*>(K::Memory::AllocUncollectableHeap(sizeof(SubclassRecord)));
  memset(s, 0, sizeof *s);
  s->window = w;
  s->replaced = w;
  if (type == wt_listedit)
    if (HWND edit = GetDlgItem(w, 1001)) s->replaced = edit;
  LONG_PTR* r = s->rec.w;
  r[rw_fn] = reinterpret_cast<LONG_PTR>(fn);
  r[rw_obj] = reinterpret_cast<LONG_PTR>(obj);
  r[rw_noMenu] = 1;
  r[rw_cursorId] = 1;
  r[rw_winExtX] = r[rw_winExtY] = r[rw_vpExtX] = r[rw_vpExtY] = 1;
  r[rw_valid] = 1;
  s->useTools = useTools;
  SubclassRecord* last = reinterpret_cast<SubclassRecord*>(g_state[sw_subclasses]);
  while (last->next) last = last->next;
  last->next = s;
  ClearDrawingCache();
  s->previous = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(s->replaced, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ControlProc)));
  if (useTools) SetDefaultTools(&s->rec);
}

}  // namespace QEL_KWI

namespace QEL_KWI::detail {

void ClearDrawingCache() {
  g_cachedWindow = nullptr;
  g_cachedDC = nullptr;
  g_cachedRecord = nullptr;
  g_cachedDrawable = -1;
}

bool IsCachedWindow(HWND w) {
  return w && w == g_cachedWindow && GetCurrentThreadId() == g_cachedThread;
}

bool Drawable(HWND w) {
  if (!w || w != g_cachedWindow) return TypeAllows(w, WindowType(w), 2);
  if (g_cachedDrawable < 0) g_cachedDrawable = TypeAllows(w, WindowType(w), 2) ? 1 : 0;
  return g_cachedDrawable == 1;
}

// Caches a paint's or a held context of one of the program's windows.
static HDC Cache(HWND w, HDC dc, _win_data* r) {
  if (reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(w, GWLP_HINSTANCE)) == g_app) {
    g_cachedWindow = w;
    g_cachedDC = dc;
    g_cachedRecord = r;
    g_cachedThread = GetCurrentThreadId();
  }
  return dc;
}

HDC DrawingContext(HWND w, bool* release) {
  *release = false;
  if (w && w == g_cachedWindow) return g_cachedDC;
  ClearDrawingCache();
  // The owner-drawn item's context first: the item window is never the
  // window a paint holds a context for, and it needs no record lookup.
  if (w && StateReady() && g_state[sw_itemWin] == reinterpret_cast<LONG_PTR>(w))
    return reinterpret_cast<HDC>(g_state[sw_itemDC]);
  _win_data* r = XZEV_GetWinData(w);
  if (w && r->w[rw_paintWin] == reinterpret_cast<LONG_PTR>(w) && r->w[rw_paintDC])
    return Cache(w, reinterpret_cast<HDC>(r->w[rw_paintDC]), r);
  if (StateReady()) {
    const LONG_PTR lw = reinterpret_cast<LONG_PTR>(w);
    if (w && g_state[34] == lw) return reinterpret_cast<HDC>(g_state[35]);
    for (int i = 0; i < 4; ++i) {
      if (w && g_state[30 + i] == lw) return reinterpret_cast<HDC>(g_state[26 + i]);
      if (w && g_state[22 + i] == lw) return reinterpret_cast<HDC>(g_state[18 + i]);
    }
  }
  if (!w || w == GetDesktopWindow()) {
    *release = true;
    return GetDC(nullptr);
  }
  // A held context is cached like a paint's until it is released.
  if (r->w[rw_keptDC]) return Cache(w, reinterpret_cast<HDC>(r->w[rw_keptDC]), r);
  if (TypeAllows(w, WindowType(w), 2)) {
    *release = true;
    return GetDC(w);
  }
  if (Validating()) RaiseMayReturn(6001);
  return nullptr;
}

HWND FocusWindowForBoxes() {
  HWND task = TaskWindow();
  HWND screen = GetDesktopWindow();
  for (HWND w = GetFocus(); w; w = GetParent(w)) {
    if (w == task || w == screen) return task;
    int t = WindowType(w);
    if (t == wt_modal || t == wt_modeless || t == wt_toplevel) return w;
  }
  return task;
}

wchar_t* NarrowLineFeeds(wchar_t* s) {
  if (!s) return s;
  wchar_t* out = s;
  for (const wchar_t* p = s; *p; ++p)
    if (!(p[0] == L'\r' && p[1] == L'\n')) *out++ = *p;
  *out = 0;
  return s;
}

uint8_t* BinaryData(void* binary) { return static_cast<uint8_t*>(binary) + 4; }

uint32_t BinaryLength(const void* binary) {
  uint32_t size;
  memcpy(&size, binary, 4);
  return size >= 4 ? size - 4 : 0;
}

void* NewBinary(uint32_t n) {
  if (n > 0xFFFFFFFFu - 4) K::Errors::RunTimeError(206u);
  auto* b = static_cast<uint8_t*>(K::Memory::AllocAtomicHeap(n + 4));
  memset(b, 0, n + 4);
  uint32_t size = n + 4;
  memcpy(b, &size, 4);
  return b;
}

}  // namespace QEL_KWI::detail
