// Menus: the one builder from menu terms (window menus, pop-up menus and the
// menus of new windows), the reader back into terms, the tag search, the
// resource loader and the operations on a window's menu.
//
// Invariants: a replacing menu is built completely before the window's old
// one is destroyed, and a failed build destroys what it made; in MDI mode
// the shared window-list pop-up is taken out of a menu before that menu is
// destroyed, so it is never destroyed with it.  Terms read back live on the
// caller's global stack.
#include "kwi.h"

#include <cwchar>

namespace QEL_KWI {
namespace detail {

constexpr int MenuTextUnits = 249;  // longest item text built
constexpr int MenuReadUnits = 250;  // longest item text read back
constexpr WORD TemplateHelpFlag = 0x4000;

enum MenuFunctor : uintptr_t { mf_resmenu = 1, mf_dynmenu = 2, mf_nomenu = 3 };
enum ItemFunctor : uintptr_t { it_txt = 1, it_ownerdraw = 2, it_separator = 3, it_menubreak = 4 };
enum TxtWord { txt_id, txt_text, txt_accel, txt_enabled, txt_flags, txt_sub };
enum OwnerDrawWord { od_id, od_data, od_enabled, od_checked, od_sub };
constexpr uintptr_t AccelKey = 2;

static bool IsCons(const menu_item_list_struct* l) { return l && l->functor == ListCons; }

static const menu_item_list_struct* SubItems(const menu_item* it, int word) {
  return reinterpret_cast<const menu_item_list_struct*>(it->w[word]);
}

// The text an item is built with: at most 249 units, one blank for none; a
// leading "|" becomes a column break.
struct ItemText {
  wchar_t text[MenuTextUnits + 1];
  UINT flags;
};

static void PrepareText(const wchar_t* s, ItemText* out, bool columns = true) {
  out->flags = 0;
  if (columns && s && s[0] == L'|') {
    out->flags = MF_MENUBARBREAK;
    ++s;
  }
  if (!s || !s[0]) s = L" ";
  wcsncpy(out->text, s, MenuTextUnits);
  out->text[MenuTextUnits] = 0;
}

// --- Builder -------------------------------------------------------------------

struct Building {
  int windowPos = -1;   // marked top-level position
  bool stopped = false; // an append failed: the menu built so far is used
};

// Appends `list` to `m`; 0, or the error that ends the building.
static int AppendItems(HMENU m, const menu_item_list_struct* list, bool top, Building* b) {
  int pos = 0;
  UINT columnBreak = 0;  // a menubreak starts a new column with the next item
  for (auto* c = list; IsCons(c) && !b->stopped; c = c->next) {
    const menu_item* it = c->value;
    if (!it) return 6004;
    BOOL appended = TRUE;
    switch (it->functor) {
      case it_txt: {
        ItemText t;
        PrepareText(reinterpret_cast<const wchar_t*>(it->w[txt_text]), &t);
        UINT flags = MF_STRING | t.flags | columnBreak;
        if (!it->w[txt_enabled]) flags |= MF_GRAYED;
        if (it->w[txt_flags] & 1) flags |= MF_CHECKED;
        if (top && (it->w[txt_flags] & 2)) b->windowPos = pos;
        const menu_item_list_struct* sub = SubItems(it, txt_sub);
        if (!IsCons(sub)) {
          appended = AppendMenuW(m, flags, static_cast<UINT_PTR>(it->w[txt_id]), t.text);
          break;
        }
        HMENU popup = CreatePopupMenu();
        appended = popup && AppendMenuW(m, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(popup), t.text);
        if (!appended) {
          if (popup) DestroyMenu(popup);
          break;
        }
        if (int code = AppendItems(popup, sub, false, b)) return code;
        break;
      }
      case it_ownerdraw: {
        if (IsCons(SubItems(it, od_sub))) return 6404;
        UINT flags = MF_OWNERDRAW | columnBreak;
        if (!it->w[od_enabled]) flags |= MF_GRAYED;
        if (it->w[od_checked]) flags |= MF_CHECKED;
        appended = AppendMenuW(m, flags, static_cast<UINT_PTR>(it->w[od_id]), nullptr);
        break;
      }
      case it_separator:
        appended = AppendMenuW(m, MF_SEPARATOR | columnBreak, 0, nullptr);
        break;
      case it_menubreak:
        columnBreak = MF_MENUBREAK;
        continue;
      default:
        return 6004;
    }
    if (!appended) {
      b->stopped = true;
      break;
    }
    columnBreak = 0;
    ++pos;
  }
  return 0;
}

// Builds `list` into a new menu bar or pop-up menu; null after raising the
// error of a failed build.  *windowPos: the marked top-level position, else
// the item count.
static HMENU BuildMenu(const menu_item_list_struct* list, bool popup, int* windowPos) {
  HMENU m = popup ? CreatePopupMenu() : CreateMenu();
  if (!m) {
    RaiseMayReturn(6004);
    return nullptr;
  }
  Building b;
  if (int code = AppendItems(m, list, true, &b)) {
    DestroyMenu(m);
    RaiseMayReturn(code);
    return nullptr;
  }
  if (windowPos) *windowPos = b.windowPos >= 0 ? b.windowPos : GetMenuItemCount(m);
  return m;
}

// --- Resource loader -------------------------------------------------------------

// Walks one level of a standard menu template from *off; false when the walk
// would leave the template or nests absurdly deep.  The first top-level item
// flagged 0x4000 loses the flag and gives *marked.
static bool WalkTemplateLevel(uint8_t* t, size_t size, size_t* off, int depth, int* topIndex,
                              int* marked) {
  if (depth > 64) return false;
  for (;;) {
    if (size - *off < 2) return false;
    const size_t flagsAt = *off;
    WORD flags;
    memcpy(&flags, t + flagsAt, 2);
    *off += 2;
    if (!(flags & MF_POPUP)) {
      if (size - *off < 2) return false;
      *off += 2;  // command id
    }
    for (WORD ch = 1; ch;) {
      if (size - *off < 2) return false;
      memcpy(&ch, t + *off, 2);
      *off += 2;
    }
    if (depth == 0) {
      if ((flags & TemplateHelpFlag) && *marked < 0) {
        WORD cleared = flags & ~TemplateHelpFlag;
        memcpy(t + flagsAt, &cleared, 2);
        *marked = *topIndex;
      }
      ++*topIndex;
    }
    if ((flags & MF_POPUP) && !WalkTemplateLevel(t, size, off, depth + 1, topIndex, marked))
      return false;
    if (flags & MF_END) return true;
  }
}

int TakeTemplateMark(uint8_t* t, size_t size) {
  if (size < 4) return -2;
  WORD version, offset;
  memcpy(&version, t, 2);
  memcpy(&offset, t + 2, 2);
  size_t off = 4 + size_t{offset};
  int top = 0, marked = -1;
  if (version != 0 || off > size || !WalkTemplateLevel(t, size, &off, 0, &top, &marked)) return -2;
  return marked;
}

// Loads menu resource `id`: a standard template whose top-level pop-up is
// flagged 0x4000 gives that position as *windowPos (the flag cleared), any
// other template is loaded unchanged; *marked tells which.  Null when the
// resource is missing (6053, validated) or cannot be made into a menu.
static HMENU LoadMenuResource(HINSTANCE module, unsigned id, int* windowPos, bool* marked) {
  *marked = false;
  HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(id), RT_MENU);
  const void* src = res ? LockResource(LoadResource(module, res)) : nullptr;
  if (!src) {
    if (Validating()) RaiseMayReturn(6053);
    return nullptr;
  }
  const size_t size = SizeofResource(module, res);
  HMENU m = nullptr;
  int mark = -1;
  if (size <= 0x7FFFFFFF) {
    uint8_t* gmark = K::Memory::MarkGStack();
    uint8_t* copy = K::Memory::AllocGStack(static_cast<uint32_t>(size));
    memcpy(copy, src, size);
    mark = TakeTemplateMark(copy, size);
    if (mark >= 0) m = LoadMenuIndirectW(copy);
    K::Memory::ReleaseGStack(gmark);
  }
  if (!m) {
    mark = -1;
    m = LoadMenuW(module, MAKEINTRESOURCEW(id));
  }
  if (!m) {
    if (Validating()) RaiseMayReturn(6053);
    return nullptr;
  }
  *marked = mark >= 0;
  *windowPos = *marked ? mark : GetMenuItemCount(m);
  return m;
}

// The menu a menu term describes; null for nomenu and after a raise.
static HMENU MenuFromTerm(const menu_struct* menu, int* windowPos) {
  bool marked;
  switch (menu->functor) {
    case mf_resmenu:
      return LoadMenuResource(g_app, static_cast<unsigned>(menu->value), windowPos, &marked);
    case mf_dynmenu:
      return BuildMenu(reinterpret_cast<const menu_item_list_struct*>(menu->value), false,
                       windowPos);
    default:
      RaiseMayReturn(6004);
      return nullptr;
  }
}

// --- Reader ----------------------------------------------------------------------

static const uintptr_t kNoAccelerator[1] = {1};

template <class T>
static T* GStack(size_t bytes) {
  return reinterpret_cast<T*>(K::Memory::AllocGStack(static_cast<uint32_t>(bytes)));
}

static menu_item* NewItem(uintptr_t functor, int words) {
  auto* it = GStack<menu_item>(sizeof(uintptr_t) * (1 + words));
  it->functor = functor;
  return it;
}

// The text read back: a leading "|" for a column break, an item of one blank
// reads empty.
static const wchar_t* ReadText(const wchar_t* text, UINT type) {
  const bool column = (type & (MFT_MENUBREAK | MFT_MENUBARBREAK)) != 0;
  if (wcscmp(text, L" ") == 0) text = L"";
  size_t n = wcslen(text);
  auto* s = GStack<wchar_t>((n + 2) * sizeof(wchar_t));
  wchar_t* o = s;
  if (column) *o++ = L'|';
  wmemcpy(o, text, n + 1);
  return s;
}

static menu_item_list_struct* ReadMenu(HMENU m, int level, int* skipped) {
  const int count = GetMenuItemCount(m);
  const int n = count > 0 ? count : 0;
  auto* cells = GStack<menu_item_list_struct>(sizeof(menu_item_list_struct) * (n + 1));
  int used = 0;
  for (int pos = 0; pos < n; ++pos) {
    wchar_t text[MenuReadUnits + 1];
    MENUITEMINFOW mi{};
    mi.cbSize = sizeof mi;
    mi.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
    mi.dwTypeData = text;
    mi.cch = MenuReadUnits + 1;
    text[0] = 0;
    if (!GetMenuItemInfoW(m, pos, TRUE, &mi)) break;
    const bool separator = (mi.fType & MFT_SEPARATOR) != 0;
    const bool ownerDrawn = (mi.fType & MFT_OWNERDRAW) != 0;
    if (!separator && !ownerDrawn && !text[0]) {
      if (skipped) ++*skipped;
      continue;
    }
    const LONG_PTR enabled = (mi.fState & (MFS_GRAYED | MFS_DISABLED)) ? 0 : 1;
    menu_item_list_struct* sub = nullptr;
    if (mi.hSubMenu) sub = ReadMenu(mi.hSubMenu, level + 1, nullptr);
    menu_item* it;
    if (separator) {
      it = NewItem(it_separator, 0);
    } else if (ownerDrawn && level >= 1) {
      it = NewItem(it_ownerdraw, 5);
      it->w[od_id] = mi.hSubMenu ? 1 : mi.wID;
      it->w[od_data] = 0;
      it->w[od_enabled] = enabled;
      it->w[od_checked] = (mi.fState & MFS_CHECKED) ? 1 : 0;
      it->w[od_sub] = reinterpret_cast<LONG_PTR>(sub ? sub : EmptyList<menu_item_list_struct>());
    } else {
      it = NewItem(it_txt, 6);
      it->w[txt_text] = reinterpret_cast<LONG_PTR>(ReadText(text, mi.fType));
      it->w[txt_accel] = reinterpret_cast<LONG_PTR>(kNoAccelerator);
      it->w[txt_enabled] = enabled;
      it->w[txt_id] = mi.hSubMenu ? 1 : mi.wID;
      it->w[txt_flags] = (!mi.hSubMenu && (mi.fState & MFS_CHECKED)) ? 1 : 0;
      it->w[txt_sub] = reinterpret_cast<LONG_PTR>(sub ? sub : EmptyList<menu_item_list_struct>());
    }
    cells[used] = {ListCons, it, &cells[used + 1]};
    ++used;
  }
  cells[used].functor = ListNil;
  return cells;
}

// --- Tag search --------------------------------------------------------------------

// True when `text` without "&", "|" and "\a" equals `tag`, case ignored.
static bool TagMatches(const wchar_t* text, const wchar_t* tag) {
  wchar_t copy[MenuReadUnits + 1];
  int n = 0;
  for (const wchar_t* p = text; *p; ++p) {
    if (*p == L'&' || *p == L'|') continue;
    if (p[0] == L'\\' && p[1] == L'a') {
      ++p;
      continue;
    }
    copy[n++] = *p;
  }
  return CompareStringOrdinal(copy, n, tag, -1, TRUE) == CSTR_EQUAL;
}

struct MenuPlace {
  HMENU parent;
  int pos;
};

// Depth first, position by position: the first text item matching `tag`.
static bool FindTag(HMENU m, const wchar_t* tag, MenuPlace* found, int depth = 0) {
  if (depth > 64) return false;
  const int n = GetMenuItemCount(m);
  for (int pos = 0; pos < n; ++pos) {
    wchar_t text[MenuReadUnits + 1];
    MENUITEMINFOW mi{};
    mi.cbSize = sizeof mi;
    mi.fMask = MIIM_FTYPE | MIIM_SUBMENU | MIIM_STRING;
    mi.dwTypeData = text;
    mi.cch = MenuReadUnits + 1;
    text[0] = 0;
    if (!GetMenuItemInfoW(m, pos, TRUE, &mi)) continue;
    const bool textItem = !(mi.fType & (MFT_SEPARATOR | MFT_OWNERDRAW));
    if (textItem && text[0] && wcscmp(text, L" ") != 0 && TagMatches(text, tag)) {
      *found = {m, pos};
      return true;
    }
    if (mi.hSubMenu && FindTag(mi.hSubMenu, tag, found, depth + 1)) return true;
  }
  return false;
}

// --- Window menus ------------------------------------------------------------------

static bool IsDialogType(int type) { return type == wt_modal || type == wt_modeless; }

// The checks of the window-menu operations.  False after a raise that
// returned; else *menu is the window's menu (0 allowed when !needMenu).
static bool WindowMenu(HWND w, bool needMenu, HMENU* menu, _win_data** record = nullptr) {
  const int type = WindowType(w);
  if (Validating() && type != wt_toplevel && type != wt_task && !IsDialogType(type)) {
    RaiseMayReturn(6001);
    return false;
  }
  _win_data* r = XZEV_GetWinData(w);
  if (Validating() && r->w[rw_noMenu]) {
    RaiseMayReturn(6402);
    return false;
  }
  HMENU m = reinterpret_cast<HMENU>(r->w[rw_menu]);
  if (!m && IsDialogType(type)) m = GetMenu(w);
  if (!m && needMenu) {
    RaiseMayReturn(6402);
    return false;
  }
  *menu = m;
  if (record) *record = r;
  return true;
}

static HMENU OwnMenuOf(HWND w) {
  if (!w || !IsWindow(w)) return nullptr;
  _win_data* r = XZEV_GetWinData(w);
  return r->w[rw_noMenu] ? nullptr : reinterpret_cast<HMENU>(r->w[rw_menu]);
}

static const wchar_t* WindowListTitle() {
  return StateReady() ? reinterpret_cast<const wchar_t*>(g_state[sw_menuTitle]) : nullptr;
}

// The top-level position of the window-list pop-up (by title, from the last
// item), or -1.
static int WindowListPos(HMENU m) {
  const wchar_t* title = WindowListTitle();
  if (!m || !title) return -1;
  for (int i = GetMenuItemCount(m) - 1; i >= 0; --i) {
    wchar_t buf[MenuReadUnits + 1];
    if (MenuItemText(m, i, buf, MenuReadUnits + 1) && wcscmp(buf, title) == 0 && GetSubMenu(m, i))
      return i;
  }
  return -1;
}

static HMENU TakeWindowList(HMENU m, int* pos) {
  *pos = WindowListPos(m);
  if (*pos < 0) return nullptr;
  HMENU popup = GetSubMenu(m, *pos);
  RemoveMenu(m, *pos, MF_BYPOSITION);
  return popup;
}

static void PutWindowList(HMENU m, int pos, HMENU popup) {
  if (popup)
    InsertMenuW(m, pos, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(popup),
                WindowListTitle());
}

// The accelerators of the `key` items of `list`, depth first.
static int CountKeys(const menu_item_list_struct* list, int depth = 0) {
  int n = 0;
  for (auto* c = list; IsCons(c) && depth <= 64; c = c->next) {
    const menu_item* it = c->value;
    if (!it || it->functor != it_txt) continue;
    auto* a = reinterpret_cast<const menu_accelerator*>(it->w[txt_accel]);
    if (a && a->functor == AccelKey) ++n;
    n += CountKeys(SubItems(it, txt_sub), depth + 1);
  }
  return n;
}

static void CollectKeys(const menu_item_list_struct* list, _accel* out, int* n, int depth = 0) {
  for (auto* c = list; IsCons(c) && depth <= 64; c = c->next) {
    const menu_item* it = c->value;
    if (!it || it->functor != it_txt) continue;
    auto* a = reinterpret_cast<const menu_accelerator*>(it->w[txt_accel]);
    if (a && a->functor == AccelKey)
      out[(*n)++] = {static_cast<int32_t>(a->key), static_cast<int32_t>(a->modifier),
                     static_cast<uint32_t>(it->w[txt_id])};
    CollectKeys(SubItems(it, txt_sub), out, n, depth + 1);
  }
}

// The items' accelerators go in front of the installed ones; an installed
// entry for the same key and modifiers is dropped (the new one shadows it).
static void InstallAccelerators(const menu_item_list_struct* list) {
  const int n = CountKeys(list);
  if (n == 0) return;
  auto* keys = GStack<_accel>(sizeof(_accel) * n);
  int filled = 0;
  CollectKeys(list, keys, &filled);
  _accel_list* old = getAccelerators();
  int kept = 0;
  for (auto* c = old; c && c->functor == ListCons; c = c->next) ++kept;
  auto** rest = GStack<_accel*>(sizeof(_accel*) * (kept + 1));
  kept = 0;
  for (auto* c = old; c && c->functor == ListCons; c = c->next) {
    bool shadowed = false;
    for (int i = 0; i < n && !shadowed; ++i)
      shadowed = keys[i].key == c->value->key && keys[i].modifiers == c->value->modifiers;
    if (!shadowed) rest[kept++] = c->value;
  }
  _accel_list* all = EmptyList<_accel_list>();
  for (int i = kept - 1; i >= 0; --i) all = Push(all, rest[i]);
  for (int i = n - 1; i >= 0; --i) all = Push(all, &keys[i]);
  setAccelerators(all);
}

// Attaches `m` outside MDI mode (or to a dialog); false when it could not be.
static bool AttachPlain(HWND w, int type, HMENU m) {
  HWND task = TaskWindow();
  if (type == wt_toplevel && task && GetParent(w) == task) {
    // An inner top-level window shows its menu in the task window while active.
    return g_activeInner != w || SetMenu(task, m);
  }
  if (type == wt_task && g_activeInner && OwnMenuOf(g_activeInner)) return true;
  return SetMenu(w, m) != 0;
}

static void AttachMdi(_win_data* r, HMENU old, HMENU m, int windowPos) {
  int oldPos;
  HMENU popup = TakeWindowList(old, &oldPos);
  PutWindowList(m, windowPos, popup);
  r->w[rw_menu] = reinterpret_cast<LONG_PTR>(m);
  HWND client = reinterpret_cast<HWND>(g_state[sw_mdiClient]);
  HWND frame = TaskWindow();
  if (client) {
    SendMessageW(client, WM_MDISETMENU, reinterpret_cast<WPARAM>(m), reinterpret_cast<LPARAM>(popup));
    DrawMenuBar(frame);
    // The bar shows the active document's own menu, else the frame's.
    HWND active = reinterpret_cast<HWND>(SendMessageW(client, WM_MDIGETACTIVE, 0, 0));
    HMENU shown = OwnMenuOf(active);
    if (!shown) shown = OwnMenuOf(frame);
    if (shown && shown != m) {
      SendMessageW(client, WM_MDISETMENU, reinterpret_cast<WPARAM>(shown),
                   reinterpret_cast<LPARAM>(FindWindowPopup(shown)));
      DrawMenuBar(frame);
    }
  }
  if (old && old != m) DestroyMenu(old);
}

static void SetItemText(HMENU parent, UINT item, bool byPosition, const wchar_t* text) {
  ItemText t;
  PrepareText(text, &t, false);
  MENUITEMINFOW mi{};
  mi.cbSize = sizeof mi;
  mi.fMask = MIIM_STRING;
  mi.dwTypeData = t.text;
  SetMenuItemInfoW(parent, item, byPosition, &mi);
}

// The item `tag` names in the window's menu; false after a raise.
static bool FindWindowItem(HWND w, const wchar_t* tag, MenuPlace* place) {
  HMENU m;
  if (!WindowMenu(w, true, &m)) return false;
  if (!tag || !FindTag(m, tag, place)) {
    RaiseMayReturn(6403);
    return false;
  }
  return true;
}

}  // namespace detail

using namespace detail;

HMENU detail::LoadMenuFor(menu_struct* menu, bool* noMenu, int* windowPos) {
  *noMenu = false;
  if (windowPos) *windowPos = -1;
  if (!menu || menu->functor == mf_nomenu || menu->functor == 0) {
    *noMenu = true;
    return nullptr;
  }
  int pos = -1;
  HMENU m = MenuFromTerm(menu, &pos);
  if (windowPos) *windowPos = pos;
  return m;
}

menu_item_list_struct* xZEV_Create_MENU_list(HMENU menu, int level, int* skipped) {
  if (skipped) *skipped = 0;
  if (!menu) return EmptyList<menu_item_list_struct>();
  return ReadMenu(menu, level, skipped);
}

void menu_Check_0(LONG_PTR window, unsigned id, int check) {
  HMENU m;
  if (WindowMenu(reinterpret_cast<HWND>(window), true, &m))
    CheckMenuItem(m, id, MF_BYCOMMAND | (check ? MF_CHECKED : MF_UNCHECKED));
}

void menu_Check_1(LONG_PTR window, const u16* tag, int check) {
  MenuPlace p;
  if (FindWindowItem(reinterpret_cast<HWND>(window), tag, &p))
    CheckMenuItem(p.parent, p.pos, MF_BYPOSITION | (check ? MF_CHECKED : MF_UNCHECKED));
}

void menu_Enable_0(LONG_PTR window, unsigned id, int enable) {
  HMENU m;
  if (WindowMenu(reinterpret_cast<HWND>(window), true, &m))
    EnableMenuItem(m, id, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
}

void menu_Enable_1(LONG_PTR window, const u16* tag, int enable) {
  MenuPlace p;
  if (FindWindowItem(reinterpret_cast<HWND>(window), tag, &p))
    EnableMenuItem(p.parent, p.pos, MF_BYPOSITION | (enable ? MF_ENABLED : MF_GRAYED));
}

// Only the text changes: the item keeps its id or sub-menu and its state.
void menu_SetText_0(LONG_PTR window, unsigned id, const u16* text) {
  HMENU m;
  if (WindowMenu(reinterpret_cast<HWND>(window), true, &m)) SetItemText(m, id, false, text);
}

void menu_SetText_1(LONG_PTR window, const u16* tag, const u16* text) {
  MenuPlace p;
  if (FindWindowItem(reinterpret_cast<HWND>(window), tag, &p))
    SetItemText(p.parent, p.pos, true, text);
}

void menu_Update(LONG_PTR window) {
  HWND w = reinterpret_cast<HWND>(window);
  HMENU m;
  if (!WindowMenu(w, false, &m)) return;
  // A child window's menu shows in the task window's bar.
  const bool child = (GetWindowLongPtrW(w, GWL_STYLE) & WS_CHILD) != 0;
  DrawMenuBar(child && TaskWindow() ? TaskWindow() : w);
}

static menu_struct* DynMenu(menu_item_list_struct* list) {
  auto* result = GStack<menu_struct>(sizeof(menu_struct));
  result->functor = mf_dynmenu;
  result->value = reinterpret_cast<uintptr_t>(list);
  return result;
}

menu_struct* menu_Get(LONG_PTR window) {
  HMENU m;
  if (!WindowMenu(reinterpret_cast<HWND>(window), true, &m))
    return DynMenu(EmptyList<menu_item_list_struct>());
  int pos = -1;
  HMENU popup = g_state[sw_mdi] ? TakeWindowList(m, &pos) : nullptr;
  menu_item_list_struct* list = ReadMenu(m, 1, nullptr);
  PutWindowList(m, pos, popup);
  if (!IsCons(list)) RaiseMayReturn(6401);
  return DynMenu(list);
}

menu_struct* menu_GetRes(HINSTANCE module, unsigned id) {
  int pos;
  bool marked;
  HMENU m = LoadMenuResource(module, id, &pos, &marked);
  if (!m) return DynMenu(EmptyList<menu_item_list_struct>());
  menu_item_list_struct* list = ReadMenu(m, 1, nullptr);
  DestroyMenu(m);
  if (!IsCons(list)) {
    RaiseMayReturn(6401);
    return DynMenu(list);
  }
  if (marked) {
    auto* c = list;
    for (int i = 0; i < pos && IsCons(c); ++i) c = c->next;
    if (IsCons(c) && c->value->functor == it_txt) c->value->w[txt_flags] = 2;
  }
  return DynMenu(list);
}

menu_struct* menu_GetRes(unsigned id) { return menu_GetRes(g_app, id); }

void menu_Set(LONG_PTR window, menu_struct* menu) {
  HWND w = reinterpret_cast<HWND>(window);
  const int type = WindowType(w);
  const bool dialog = IsDialogType(type);
  // While the application is inactive only dialogs and windows without a
  // parent take a new menu.
  if (!g_appActive && !dialog && GetParent(w)) return;
  HMENU old;
  _win_data* r;
  if (!WindowMenu(w, true, &old, &r)) return;
  if (!menu || (menu->functor != mf_resmenu && menu->functor != mf_dynmenu)) {
    if (Validating()) RaiseMayReturn(6004);
    return;
  }
  uint8_t* mark = K::Memory::MarkGStack();
  int windowPos = -1;
  HMENU m = MenuFromTerm(menu, &windowPos);
  if (!m) {
    K::Memory::ReleaseGStack(mark);
    return;
  }
  if (menu->functor == mf_dynmenu)
    InstallAccelerators(reinterpret_cast<const menu_item_list_struct*>(menu->value));
  K::Memory::ReleaseGStack(mark);
  if (g_state[sw_mdi] && !dialog) {
    AttachMdi(r, old, m, windowPos);
    return;
  }
  if (!AttachPlain(w, type, m)) {
    DestroyMenu(m);
    return;
  }
  r->w[rw_menu] = reinterpret_cast<LONG_PTR>(m);
  if (old && old != m) DestroyMenu(old);
}

void menu_PopUp(LONG_PTR window, menu_struct* menu, pnt_struct* point, int alignment) {
  HWND w = reinterpret_cast<HWND>(window);
  if (!IsWindow(w)) {
    RaiseMayReturn(6000);
    return;
  }
  if (!menu || (menu->functor != mf_resmenu && menu->functor != mf_dynmenu)) {
    RaiseMayReturn(6004);
    return;
  }
  uint8_t* mark = K::Memory::MarkGStack();
  const menu_struct* items = menu;
  if (menu->functor == mf_resmenu) items = menu_GetRes(static_cast<unsigned>(menu->value));
  auto* list = reinterpret_cast<const menu_item_list_struct*>(items->value);
  if (!IsCons(list)) {
    K::Memory::ReleaseGStack(mark);
    if (menu->functor == mf_dynmenu) RaiseMayReturn(6003);  // a resource menu raised its own error
    return;
  }
  HMENU m = BuildMenu(list, true, nullptr);
  K::Memory::ReleaseGStack(mark);
  if (!m) return;
  POINT p{point ? point->x : 0, point ? point->y : 0};
  ClientToScreen(w, &p);
  UINT align = alignment == 0 ? TPM_LEFTALIGN : alignment == 1 ? TPM_CENTERALIGN : TPM_RIGHTALIGN;
  TrackPopupMenu(m, align | TPM_RIGHTBUTTON, p.x, p.y, 0, w, nullptr);
  DestroyMenu(m);
}

}  // namespace QEL_KWI
