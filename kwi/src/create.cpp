// Window, control and dialog creation from arguments and window-definition
// lists; dialog units.
#include "kwi.h"

namespace QEL_KWI {
namespace detail {

void DialogUnitsToPixels(RECT* r) {
  LONG base = GetDialogBaseUnits();
  int bx = LOWORD(base), by = HIWORD(base);
  r->left = r->left * bx / 4;
  r->right = r->right * bx / 4;
  r->top = r->top * by / 8;
  r->bottom = r->bottom * by / 8;
}

void PixelsToDialogUnits(RECT* r) {
  LONG base = GetDialogBaseUnits();
  int bx = LOWORD(base), by = HIWORD(base);
  if (!bx || !by) return;
  r->left = 4 * r->left / bx;
  r->right = 4 * r->right / bx;
  r->top = 8 * r->top / by;
  r->bottom = 8 * r->bottom / by;
}

void AdjustToDialogFont(HWND parent, RECT* r) {
  int t = WindowType(parent);
  if (t != wt_modal && t != wt_modeless) return;
  if (!SendMessageW(parent, WM_GETFONT, 0, 0)) return;
  PixelsToDialogUnits(r);
  MapDialogRect(parent, r);
}

wchar_t* WidenLineFeeds(const wchar_t* s) {
  if (!s) s = L"";
  size_t n = 0, lf = 0;
  for (const wchar_t* p = s; *p; ++p, ++n)
    if (*p == L'\n') ++lf;
  size_t units = n + lf + 1;
  if (units > 0x7FFFFFFF / sizeof(wchar_t)) K::Errors::RunTimeError(206u);
  auto* out = reinterpret_cast<wchar_t*>(
      K::Memory::AllocGStack(static_cast<uint32_t>(units * sizeof(wchar_t))));
  wchar_t* o = out;
  for (const wchar_t* p = s; *p; ++p) {
    if (*p == L'\n') *o++ = L'\r';
    *o++ = *p;
  }
  *o = 0;
  return out;
}

static RECT ToRect(const rect_struct* r) {
  if (!r) return RECT{0, 0, 0, 0};
  return RECT{r->left, r->top, r->right, r->bottom};
}

static bool IsScreen(HWND w) { return !w || w == GetDesktopWindow(); }

static HWND CreateWin(int type, const rect_struct* rect, const wchar_t* title, int childId,
                      menu_struct* menu, HWND parent, wsflags_struct* flags,
                      PROLOG_EHANDLER_STRUCT* handler, LONG_PTR data, bool dlgUnits) {
  DWORD style, ex;
  WindowFlagsToStyles(flags, &style, &ex);
  if (!(style & WS_POPUP)) style |= WS_CHILD;
  else childId = 0;
  RECT rc = ToRect(rect);
  if (dlgUnits) DialogUnitsToPixels(&rc);
  RECT outer = rc;
  HWND task = TaskWindow();
  bool noMenu = true;
  HMENU hmenu = nullptr;
  int windowPos = -1;
  if (type == wt_toplevel && menu && menu->functor != 0)
    hmenu = LoadMenuFor(menu, &noMenu, &windowPos);
  CreationRecord cr{};
  cr.function = handler ? handler->function : nullptr;
  cr.object = handler ? handler->object : nullptr;
  cr.data = data;
  cr.type = type;
  cr.menu = hmenu;
  cr.noMenu = hmenu ? 0 : 1;
  HWND created = nullptr;
  if (g_state[sw_mdi] && parent == task && type == wt_toplevel && g_state[sw_mdiClient]) {
    AdjustWindowRect(&outer, style, FALSE);
    if (hmenu) {
      HMENU popup = FindWindowPopup(GetMenu(task));
      if (popup) {
        if (windowPos < 0) windowPos = GetMenuItemCount(hmenu);
        InsertMenuW(hmenu, windowPos, MF_BYPOSITION | MF_POPUP,
                    reinterpret_cast<UINT_PTR>(popup), g_menuTitle);
      }
    }
    cr.style = style;
    MDICREATESTRUCTW mc{};
    mc.szClass = L"ZevMDI32";
    mc.szTitle = title ? title : L"";
    mc.hOwner = g_app;
    mc.x = outer.left;
    mc.y = outer.top;
    mc.cx = outer.right - outer.left;
    mc.cy = outer.bottom - outer.top;
    mc.style = style & ~WS_CHILD;
    mc.lParam = reinterpret_cast<LPARAM>(&cr);
    created = reinterpret_cast<HWND>(SendMessageW(reinterpret_cast<HWND>(g_state[sw_mdiClient]),
                                                  WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&mc)));
    return created;
  }
  HWND realParent = parent;
  HMENU idOrMenu = nullptr;
  if (parent == task && type == wt_toplevel && !g_state[sw_mdi]) {
    idOrMenu = nullptr;
  } else if (parent == task && type == wt_child) {
    idOrMenu = reinterpret_cast<HMENU>(static_cast<INT_PTR>(g_state[sw_mdi] ? 0 : childId));
  } else if (IsScreen(parent) && type == wt_toplevel && !g_state[sw_mdi]) {
    style = (style & ~WS_CHILD) | WS_POPUP;
    realParent = nullptr;
    idOrMenu = hmenu;
  } else if (!IsScreen(parent) && parent != task && type == wt_child) {
    idOrMenu = reinterpret_cast<HMENU>(static_cast<INT_PTR>(childId));
  } else {
    if (hmenu) DestroyMenu(hmenu);
    return nullptr;
  }
  cr.style = style;
  AdjustWindowRectEx(&outer, style, FALSE, ex);
  created = CreateWindowExW(ex, L"ZevChild32", title ? title : L"", style, outer.left, outer.top,
                            outer.right - outer.left, outer.bottom - outer.top, realParent,
                            idOrMenu, g_app, &cr);
  if (!created && hmenu) DestroyMenu(hmenu);
  return created;
}

static bool CanHoldControls(HWND parent) {
  return !TypeAllows(parent, WindowType(parent), 4);
}

static const wdef* WdefOf(const windef* d) { return reinterpret_cast<const wdef*>(d->w[0]); }

static RECT WdefRect(const wdef* wd) {
  RECT rc = ToRect(wd->rect);
  if (wd->dlgUnits) DialogUnitsToPixels(&rc);
  return rc;
}

// A zeroed, locked global block that a dialog template is built or copied
// into; null when there is none.
static uint8_t* NewTemplateBlock(size_t size, HGLOBAL* block) {
  *block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_SHARE, size);
  auto* t = *block ? static_cast<uint8_t*>(GlobalLock(*block)) : nullptr;
  if (!t && *block) GlobalFree(*block);
  return t;
}

static void FreeTemplateBlock(HGLOBAL block) {
  GlobalUnlock(block);
  GlobalFree(block);
}

static LONG_PTR RunDialog(const DLGTEMPLATE* t, HWND parent,
                          PROLOG_EHANDLER_STRUCT* handler, LONG_PTR data, int type,
                          HINSTANCE module) {
  g_pendingDialog.handler = handler ? *handler : PROLOG_EHANDLER_STRUCT{nullptr, nullptr};
  g_pendingDialog.data = data;
  g_pendingDialog.parent = parent;
  g_pendingDialog.type = type;
  g_controlEvents = false;
  HWND owner = IsScreen(parent) ? nullptr : parent;
  LONG_PTR result = 0;
  if (type == wt_modal) {
    INT_PTR index = DialogBoxIndirectParamW(module, t, owner, DialogProc, 0);
    if (index > 0) {
      if (DialogRecord* d = DialogAt(index)) {
        result = reinterpret_cast<LONG_PTR>(d->dialog);
        RemoveDialog(d);
      }
    }
  } else {
    result = reinterpret_cast<LONG_PTR>(CreateDialogIndirectParamW(module, t, owner, DialogProc, 0));
  }
  g_controlEvents = true;
  return result;
}

}  // namespace detail

using namespace detail;

void XZEV_ConvertPixels2Dlg(rect_struct* rect) {
  RECT rc = ToRect(rect);
  PixelsToDialogUnits(&rc);
  *rect = {rc.left, rc.top, rc.right, rc.bottom};
}

LONG_PTR win_Create(int type, rect_struct* rect, const u16* title, menu_struct* menu,
                    LONG_PTR parent, wsflags_struct* flags, PROLOG_EHANDLER_STRUCT* handler,
                    LONG_PTR data) {
  HWND p = reinterpret_cast<HWND>(parent);
  if (type != wt_toplevel && type != wt_child) {
    RaiseMayReturn(6001);
    return 0;
  }
  if (Validating() && type == wt_toplevel && !IsScreen(p) && p != TaskWindow()) {
    RaiseMayReturn(6001);
    return 0;
  }
  HWND w = CreateWin(type, rect, title, 0, menu, p, flags, handler, data, false);
  if (!w) RaiseMayReturn(6306);
  return reinterpret_cast<LONG_PTR>(w);
}

LONG_PTR win_CreateDyn(windef_list_struct* list, LONG_PTR parent, PROLOG_EHANDLER_STRUCT* handler,
                       LONG_PTR data) {
  HWND p = reinterpret_cast<HWND>(parent);
  if (!list || list->functor != ListCons) {
    if (Validating()) RaiseMayReturn(6003);
    return 0;
  }
  const windef* first = list->value;
  HWND w = nullptr;
  if (first->alt == wd_topwin) {
    if (Validating() && !IsScreen(p) && p != TaskWindow()) {
      RaiseMayReturn(6001);
      return 0;
    }
    const wdef* wd = WdefOf(first);
    w = CreateWin(wt_toplevel, wd->rect, wd->title, 0, reinterpret_cast<menu_struct*>(first->w[1]),
                  p, reinterpret_cast<wsflags_struct*>(first->w[2]), handler, data, wd->dlgUnits != 0);
  } else if (first->alt == wd_childwin) {
    const wdef* wd = WdefOf(first);
    w = CreateWin(wt_child, wd->rect, wd->title, static_cast<int>(first->w[1]), nullptr, p,
                  reinterpret_cast<wsflags_struct*>(first->w[2]), handler, data, wd->dlgUnits != 0);
  } else {
    RaiseMayReturn(6004);
    return 0;
  }
  if (!w) {
    RaiseMayReturn(6307);
    return 0;
  }
  if (list->next && list->next->functor == ListCons)
    win_CreateDynControl(list->next, reinterpret_cast<LONG_PTR>(w));
  return reinterpret_cast<LONG_PTR>(w);
}

LONG_PTR win_CreateControl(int type, rect_struct* rect, const u16* title, LONG_PTR parent,
                           wsflags_struct* flags, int id) {
  HWND p = reinterpret_cast<HWND>(parent);
  if (Validating() && !CanHoldControls(p)) {
    RaiseMayReturn(6001);
    return 0;
  }
  const wchar_t* cls = nullptr;
  switch (type) {
    case wt_pushbutton: case wt_radiobutton: case wt_checkbox: case wt_groupbox: cls = L"BUTTON"; break;
    case wt_hscroll: case wt_vscroll: cls = L"SCROLLBAR"; break;
    case wt_edit: cls = L"EDIT"; break;
    case wt_text: cls = L"STATIC"; break;
    case wt_listbox: cls = L"LISTBOX"; break;
    case wt_listbutton: case wt_listedit: cls = L"COMBOBOX"; break;
    default:
      RaiseMayReturn(6001);
      return 0;
  }
  ControlStyle cs = ControlFlagsToStyles(type, flags);
  RECT rc = ToRect(rect);
  AdjustToDialogFont(p, &rc);
  uint8_t* mark = K::Memory::MarkGStack();
  const wchar_t* text = WidenLineFeeds(title);
  DWORD ex = ((type == wt_edit || type == wt_listbox) && (cs.style & WS_BORDER)) ? WS_EX_CLIENTEDGE : 0;
  HWND w = CreateWindowExW(ex, cls, type == wt_listedit ? L"" : text, cs.style, rc.left, rc.top,
                           rc.right - rc.left, rc.bottom - rc.top, p,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_app, nullptr);
  if (w && type == wt_listedit) SetWindowTextW(w, text);
  K::Memory::ReleaseGStack(mark);
  if (!w) {
    RaiseMayReturn(6302);
    return 0;
  }
  SendMessageW(w, WM_SETFONT, SendMessageW(p, WM_GETFONT, 0, 0), TRUE);
  if (type == wt_listbox) InstallFontProc(w, ListBoxProc);
  if (cs.checked) SendMessageW(w, BM_SETCHECK, 1, 0);
  if (cs.readOnly) SendMessageW(w, EM_SETREADONLY, 1, 0);
  return reinterpret_cast<LONG_PTR>(w);
}

LONG_PTR win_CreateDynControl(windef_list_struct* list, LONG_PTR parent) {
  HWND p = reinterpret_cast<HWND>(parent);
  if (!list || list->functor != ListCons) {
    if (Validating()) RaiseMayReturn(6003);
    return 0;
  }
  if (Validating()) {
    int pt = WindowType(p);
    bool ok = list->value->alt == wd_customctl ? pt <= 24 && CanHoldControls(p) : CanHoldControls(p);
    if (!ok) {
      RaiseMayReturn(6001);
      return 0;
    }
  }
  LONG_PTR firstCreated = 0;
  for (auto* c = list; c && c->functor == ListCons; c = c->next) {
    const windef* d = c->value;
    const wdef* wd = WdefOf(d);
    HWND w = nullptr;
    switch (d->alt) {
      case wd_icon: {
        if (wd->type != wt_icon) {
          RaiseMayReturn(6001);
          return firstCreated;
        }
        ControlStyle cs = ControlFlagsToStyles(wt_icon, reinterpret_cast<wsflags_struct*>(d->w[3]));
        RECT rc = WdefRect(wd);
        AdjustToDialogFont(p, &rc);
        w = CreateWindowExW(0, L"ZevDynIcon32", wd->title ? wd->title : L"", cs.style, rc.left,
                            rc.top, rc.right - rc.left, rc.bottom - rc.top, p,
                            reinterpret_cast<HMENU>(d->w[1]), g_app, nullptr);
        if (w) SetWindowLongPtrW(w, 0, d->w[2]);
        break;
      }
      case wd_customctl: {
        const wchar_t* cls = reinterpret_cast<const wchar_t*>(d->w[1]);
        if (wd->type != wt_custom) {
          RaiseMayReturn(6001);
          return firstCreated;
        }
        WNDCLASSEXW info{};
        info.cbSize = sizeof info;
        if (!cls || !GetClassInfoExW(g_app, cls, &info)) {
          RaiseMayReturn(6309);
          return firstCreated;
        }
        ControlStyle cs = ControlFlagsToStyles(wt_custom, reinterpret_cast<wsflags_struct*>(d->w[3]));
        RECT rc = WdefRect(wd);
        AdjustToDialogFont(p, &rc);
        if (cs.style & WS_BORDER) cs.exStyle |= WS_EX_CLIENTEDGE;
        w = CreateWindowExW(cs.exStyle, cls, wd->title ? wd->title : L"", cs.style, rc.left, rc.top,
                            rc.right - rc.left, rc.bottom - rc.top, p,
                            reinterpret_cast<HMENU>(d->w[2]), g_app, nullptr);
        if (!w) {
          RaiseMayReturn(6002);
          return firstCreated;
        }
        break;
      }
      case wd_ctl: {
        if (wd->type < wt_pushbutton || wd->type > wt_groupbox) {
          RaiseMayReturn(6001);
          return firstCreated;
        }
        RECT rc = WdefRect(wd);
        rect_struct r{rc.left, rc.top, rc.right, rc.bottom};
        w = reinterpret_cast<HWND>(win_CreateControl(wd->type, &r, wd->title, parent,
                                                     reinterpret_cast<wsflags_struct*>(d->w[2]),
                                                     static_cast<int>(d->w[1])));
        break;
      }
      default:
        RaiseMayReturn(6004);
        return firstCreated;
    }
    if (!firstCreated) firstCreated = reinterpret_cast<LONG_PTR>(w);
  }
  return firstCreated;
}

LONG_PTR win_CreateDynDialog(LONG_PTR parent, windef_list_struct* list,
                             PROLOG_EHANDLER_STRUCT* handler, LONG_PTR data) {
  HWND p = reinterpret_cast<HWND>(parent);
  if (Validating()) {
    if (!CanHoldControls(p)) {
      RaiseMayReturn(6001);
      return 0;
    }
    if (!list || list->functor != ListCons) {
      RaiseMayReturn(6003);
      return 0;
    }
  }
  if (!list || list->functor != ListCons) return 0;
  const windef* first = list->value;
  if (first->alt == wd_resdlg)
    return win_CreateResDialog(parent, static_cast<int>(first->w[1]),
                               static_cast<unsigned>(first->w[0]), handler, data);
  HGLOBAL block;
  uint8_t* t = NewTemplateBlock(TemplateBlock, &block);
  if (!t) {
    RaiseMayReturn(6002);
    return 0;
  }
  size_t size = 0;
  int code = BuildTemplate(t, TemplateBlock, &size, list, true);
  int type = (first->alt == wd_dlg || first->alt == wd_dlgfont) ? WdefOf(first)->type : 0;
  if (!code && type != wt_modal && type != wt_modeless) code = 6001;
  if (code) {
    FreeTemplateBlock(block);
    RaiseMayReturn(code);
    return 0;
  }
  LONG_PTR result = RunDialog(reinterpret_cast<DLGTEMPLATE*>(t), p, handler, data, type, g_app);
  FreeTemplateBlock(block);
  if (!result) RaiseMayReturn(6305);
  return result;
}

LONG_PTR win_CreateResDialog(HINSTANCE module, LONG_PTR parent, int type, unsigned id,
                             PROLOG_EHANDLER_STRUCT* handler, LONG_PTR data) {
  HWND p = reinterpret_cast<HWND>(parent);
  if (Validating()) {
    if (!IsScreen(p) && !IsWindow(p)) {
      RaiseMayReturn(6000);
      return 0;
    }
    if (!CanHoldControls(p) || (type != wt_modal && type != wt_modeless)) {
      RaiseMayReturn(6001);
      return 0;
    }
  }
  if (type != wt_modal && type != wt_modeless) return 0;
  HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5));
  if (!res) {
    RaiseMayReturn(6050);
    return 0;
  }
  DWORD size = SizeofResource(module, res);
  const void* src = LockResource(LoadResource(module, res));
  HGLOBAL block = nullptr;
  uint8_t* t = size >= 18 && src ? NewTemplateBlock(size, &block) : nullptr;
  if (!t) {
    RaiseMayReturn(6002);
    return 0;
  }
  memcpy(t, src, size);
  // Classic templates keep the style at offset 0, extended ones at 12.
  bool extended = reinterpret_cast<uint16_t*>(t)[0] == 1 && reinterpret_cast<uint16_t*>(t)[1] == 0xFFFF;
  auto* style = reinterpret_cast<DWORD*>(t + (extended ? 12 : 0));
  if (type == wt_modal) {
    *style |= DS_MODALFRAME;
    if (*style & WS_CHILD) *style = (*style & ~WS_CHILD) | WS_POPUP;
  } else {
    *style = (*style & ~DS_MODALFRAME) | WS_BORDER;
  }
  LONG_PTR result = RunDialog(reinterpret_cast<DLGTEMPLATE*>(t), p, handler, data, type, module);
  FreeTemplateBlock(block);
  if (!result) RaiseMayReturn(6304);
  return result;
}

LONG_PTR win_CreateResDialog(LONG_PTR parent, int type, unsigned id, PROLOG_EHANDLER_STRUCT* handler,
                             LONG_PTR data) {
  return win_CreateResDialog(g_app, parent, type, id, handler, data);
}

windef_list_struct* win_GetResDialog(HINSTANCE module, unsigned id) {
  HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5));
  if (!res) {
    if (Validating()) RaiseMayReturn(6050);
    return EmptyList<windef_list_struct>();
  }
  DWORD size = SizeofResource(module, res);
  const void* t = LockResource(LoadResource(module, res));
  return ParseTemplate(static_cast<const uint8_t*>(t), t ? size : 0);
}

windef_list_struct* win_GetResDialog(unsigned id) { return win_GetResDialog(g_app, id); }

}  // namespace QEL_KWI
