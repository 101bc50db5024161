// Messages to events: translation, the dispatcher (global-stack mark, trap,
// backtrack point) and the message handling shared by the window procedures.
#include "kwi.h"

namespace QEL_KWI {
namespace detail {

int KeyCode(WPARAM vk, bool control) {
  if (vk >= 0x70 && vk <= 0x87) return 65536 + static_cast<int>(vk);
  switch (vk) {
    case VK_BACK: return 315;
    case VK_CLEAR: return 317;
    case VK_PRIOR: return 305;
    case VK_NEXT: return 306;
    case VK_END: return control ? 310 : 308;
    case VK_HOME: return control ? 309 : 307;
    case VK_LEFT: return control ? 313 : 304;
    case VK_UP: return 301;
    case VK_RIGHT: return control ? 314 : 303;
    case VK_DOWN: return 302;
    case VK_INSERT: return 312;
    case VK_DELETE: return 127;
    case VK_HELP: return 316;
    default: return static_cast<int>(vk);
  }
}

static bool MapsToLayerCode(WPARAM vk) {
  return KeyCode(vk, false) != static_cast<int>(vk) || vk == VK_DELETE;
}

template <class T>
static T* GAlloc() {
  return reinterpret_cast<T*>(K::Memory::AllocGStack(sizeof(T)));
}

static LONG_PTR Point(LPARAM lp) {
  auto* p = GAlloc<pnt_struct>();
  p->x = static_cast<int16_t>(LOWORD(lp));
  p->y = static_cast<int16_t>(HIWORD(lp));
  return reinterpret_cast<LONG_PTR>(p);
}

static ilist_struct* IntList(const int* values, int n) {
  ilist_struct* l = EmptyList();
  for (int i = n - 1; i >= 0; --i) l = Push(l, values[i]);
  return l;
}

static int ScrollCode(WORD code, bool control) {
  if (code <= SB_THUMBTRACK) {
    switch (code) {
      case SB_LINEUP: return 1;
      case SB_LINEDOWN: return 2;
      case SB_PAGEUP: return 3;
      case SB_PAGEDOWN: return 4;
      case SB_THUMBPOSITION: return 5;
      case SB_THUMBTRACK: return 6;
    }
  }
  if (control) return 0;
  if (code == SB_TOP) return 7;
  if (code == SB_BOTTOM) return 8;
  return 0;
}

static controlinfo* Info(uintptr_t alt, LONG_PTR a = 0, LONG_PTR b = 0) {
  auto* c = GAlloc<controlinfo>();
  c->alt = alt;
  c->code = a;
  c->position = b;
  return c;
}

static void Set(event_struct* e, uint32_t kind, LONG_PTR a = 0, LONG_PTR b = 0, LONG_PTR c = 0,
                LONG_PTR d = 0) {
  e->kind = kind;
  e->w[0] = a;
  e->w[1] = b;
  e->w[2] = c;
  e->w[3] = d;
}

// Owner-drawn item kind: 0 button, 1 combo box, 2 list box, 3 menu or other.
static int OwnerDrawnKind(UINT ctlType) {
  return ctlType == ODT_BUTTON ? 0 : ctlType == ODT_COMBOBOX ? 1 : ctlType == ODT_LISTBOX ? 2 : 3;
}

// Window message to event; false when there is nothing to deliver.
// Modifiers of the last key message translated (the e_char that follows a
// special key carries the same state).
static LONG_PTR g_keyMods;

static bool TranslateMessage_(HWND w, UINT msg, WPARAM wp, LPARAM lp, event_struct* e) {
  // The asynchronous key state is a costly query: read it only for the
  // events that carry it.
  LONG_PTR mods = 0;
  if ((msg >= WM_KEYFIRST && msg <= WM_KEYLAST) || (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) ||
      msg == WM_COMMAND)
    mods = kwi_GetPressedKey();
  switch (msg) {
    case WM_SIZE: Set(e, e_size, LOWORD(lp), HIWORD(lp)); return true;
    case WM_MOVE: Set(e, e_move, LOWORD(lp), HIWORD(lp)); return true;
    case WM_SETFOCUS: Set(e, e_getfocus); return true;
    case WM_KILLFOCUS: Set(e, e_losefocus); return true;
    case WM_ERASEBKGND: Set(e, e_erasebackground); return true;
    case WM_CLOSE: Set(e, e_closerequest); return true;
    case WM_DESTROY: case WM_ENDSESSION: Set(e, e_destroy); return true;
    case WM_QUERYENDSESSION: Set(e, e_endsession, 1); return true;
    case WM_LBUTTONDOWN: Set(e, e_mousedown, Point(lp), mods, 0); return true;
    case WM_RBUTTONDOWN: Set(e, e_mousedown, Point(lp), mods, 1); return true;
    case WM_MBUTTONDOWN: Set(e, e_mousedown, Point(lp), mods, 2); return true;
    case WM_LBUTTONUP: Set(e, e_mouseup, Point(lp), mods, 0); return true;
    case WM_RBUTTONUP: Set(e, e_mouseup, Point(lp), mods, 1); return true;
    case WM_MBUTTONUP: Set(e, e_mouseup, Point(lp), mods, 2); return true;
    case WM_LBUTTONDBLCLK: Set(e, e_mousedbl, Point(lp), mods, 0); return true;
    case WM_RBUTTONDBLCLK: Set(e, e_mousedbl, Point(lp), mods, 1); return true;
    case WM_MBUTTONDBLCLK: Set(e, e_mousedbl, Point(lp), mods, 2); return true;
    case WM_MOUSEMOVE: {
      int b[3], n = 0;
      if (wp & MK_LBUTTON) b[n++] = 0;
      if (wp & MK_RBUTTON) b[n++] = 1;
      if (wp & MK_MBUTTON) b[n++] = 2;
      Set(e, e_mousemove, Point(lp), mods, reinterpret_cast<LONG_PTR>(IntList(b, n)));
      return true;
    }
    case WM_CHAR: Set(e, e_char, static_cast<LONG_PTR>(wp), mods); return true;
    case WM_KEYDOWN: case WM_SYSKEYDOWN:
      g_keyMods = mods;
      Set(e, e_keydown, KeyCode(wp, (mods & 2) != 0), mods);
      return true;
    case WM_KEYUP: case WM_SYSKEYUP:
      Set(e, e_keyup, KeyCode(wp, (mods & 2) != 0), mods);
      return true;
    case WM_VSCROLL: case WM_HSCROLL:
      Set(e, msg == WM_VSCROLL ? uint32_t{e_vscroll} : uint32_t{e_hscroll}, ScrollCode(LOWORD(wp), false),
          static_cast<int16_t>(HIWORD(wp)));
      return true;
    case WM_COMMAND: Set(e, e_menu, LOWORD(wp), mods); return true;
    case WM_INITMENU: Set(e, e_initmenu); return true;
    case WM_TIMER: Set(e, e_timer, static_cast<LONG_PTR>(wp)); return true;
    case WM_ACTIVATEAPP: Set(e, wp ? e_activate : e_deactivate); return true;
    case WM_MEASUREITEM: {
      auto* m = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
      int kind = OwnerDrawnKind(m->CtlType);
      bool menu = m->CtlType == ODT_MENU;
      Set(e, e_ownermeasureitem, kind, menu ? 0 : m->CtlID, m->itemID,
          menu ? 0 : static_cast<LONG_PTR>(m->itemData));
      return true;
    }
    case WM_DRAWITEM: {
      auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
      int kind = OwnerDrawnKind(d->CtlType);
      bool menu = d->CtlType == ODT_MENU;
      int action = (d->itemAction & ODA_DRAWENTIRE) ? 1 : (d->itemAction & ODA_SELECT) ? 3 : 2;
      int states[5], n = 0;
      if (d->itemState & ODS_CHECKED) states[n++] = 4;
      if (d->itemState & ODS_DISABLED) states[n++] = 3;
      if (d->itemState & ODS_FOCUS) states[n++] = 5;
      if (d->itemState & ODS_GRAYED) states[n++] = 2;
      if (d->itemState & ODS_SELECTED) states[n++] = 1;
      auto* r = GAlloc<rect_struct>();
      *r = {d->rcItem.left, d->rcItem.top, d->rcItem.right, d->rcItem.bottom};
      e->kind = e_ownerdraw;
      e->w[0] = kind;
      e->w[1] = menu ? 0 : d->CtlID;
      e->w[2] = d->itemID;
      e->w[3] = reinterpret_cast<LONG_PTR>(IntList(&action, 1));
      e->w[4] = reinterpret_cast<LONG_PTR>(IntList(states, n));
      e->w[5] = menu ? 0 : reinterpret_cast<LONG_PTR>(d->hwndItem);
      e->w[6] = reinterpret_cast<LONG_PTR>(r);
      e->w[7] = menu ? 0 : static_cast<LONG_PTR>(d->itemData);
      return true;
    }
    case MsgUser: Set(e, e_user, static_cast<LONG_PTR>(wp), lp); return true;
    case MsgEndApplication: Set(e, e_endapplication, lp); return true;
    default:
      if (msg > MsgUser) {
        Set(e, e_native, msg, static_cast<LONG_PTR>(wp), lp);
        return true;
      }
      return false;
  }
}

// Control notification to event; false when there is nothing to deliver.
static bool TranslateControl(HWND w, UINT msg, WPARAM wp, LPARAM lp, event_struct* e) {
  HWND ctl = reinterpret_cast<HWND>(lp);
  if (msg == WM_HSCROLL || msg == WM_VSCROLL) {
    Set(e, e_control, GetDlgCtrlID(ctl), msg == WM_HSCROLL ? int{wt_hscroll} : int{wt_vscroll},
        lp, reinterpret_cast<LONG_PTR>(Info(ci_scroll, ScrollCode(LOWORD(wp), true),
                                            static_cast<int16_t>(HIWORD(wp)))));
    return true;
  }
  if (!g_controlEvents) return false;
  int type = WindowType(ctl);
  WORD code = HIWORD(wp);
  bool noModified = StateReady() && g_state[sw_noModified];
  uintptr_t info = 0;
  switch (type) {
    case wt_edit:
      info = code == EN_SETFOCUS ? ci_getfocus : code == EN_KILLFOCUS ? ci_losefocus
           : (code == EN_CHANGE && !noModified) ? ci_modified : uintptr_t{0};
      break;
    case wt_listbox:
      info = code == LBN_DBLCLK ? ci_activated : code == LBN_SETFOCUS ? ci_getfocus
           : code == LBN_KILLFOCUS ? ci_losefocus : ci_selchanged;
      break;
    case wt_listbutton: case wt_listedit:
      switch (code) {
        case CBN_SELCHANGE: info = ci_selchanged; break;
        case CBN_DBLCLK: info = ci_activated; break;
        case CBN_SETFOCUS: info = ci_getfocus; break;
        case CBN_KILLFOCUS: info = ci_losefocus; break;
        case CBN_EDITCHANGE: info = noModified ? uintptr_t{0} : ci_modified; break;
        case CBN_DROPDOWN: info = ci_dropdown; break;
        case CBN_CLOSEUP: info = ci_closeup; break;
        default: break;
      }
      break;
    case wt_custom:
      Set(e, e_native, msg, static_cast<LONG_PTR>(wp), lp);
      return true;
    default: info = ci_activated; break;
  }
  if (!info) return false;
  Set(e, e_control, LOWORD(wp), type, lp, reinterpret_cast<LONG_PTR>(Info(info)));
  return true;
}

static LONG_PTR CallClosure(HWND w, event_struct* e, LONG_PTR fn, LONG_PTR obj) {
  PROLOG_EHANDLER_STRUCT h{reinterpret_cast<void*>(fn), reinterpret_cast<void*>(obj)};
  return kwi_CallEventHandler(reinterpret_cast<LONG_PTR>(w), e, &h);
}

static LONG_PTR CallWindowHandler(HWND w, event_struct* e) {
  if (SubclassRecord* s = FindSubclass(w))
    return s->rec.w[rw_fn] ? CallClosure(w, e, s->rec.w[rw_fn], s->rec.w[rw_obj]) : 0;
  _win_data* r = XZEV_GetWinData(w);
  int type = r->w[rw_valid] ? static_cast<int>(r->w[rw_type]) : 0;
  if (type == 0) {
    wchar_t name[16];
    if (GetClassNameW(w, name, 16) && wcscmp(name, L"#32770") == 0) type = wt_modal;
  }
  switch (type) {
    case wt_toplevel: case wt_child: case wt_task: case wt_custom: {
      if (r->w[rw_preFn]) {
        PROLOG_EHANDLER_STRUCT pre{reinterpret_cast<void*>(r->w[rw_preFn]),
                                   reinterpret_cast<void*>(r->w[rw_preObj])};
        int failed = 0;
        XZEV_DirectCallHandler(reinterpret_cast<LONG_PTR>(w), e, &pre, &failed);
        if (!failed) return 0;
      }
      return r->w[rw_fn] ? CallClosure(w, e, r->w[rw_fn], r->w[rw_obj]) : 0;
    }
    case wt_modal: case wt_modeless:
      if (r->w[rw_valid])
        return r->w[rw_fn] ? CallClosure(w, e, r->w[rw_fn], r->w[rw_obj]) : 0;
      return g_pendingDialog.handler.function
                 ? CallClosure(w, e, reinterpret_cast<LONG_PTR>(g_pendingDialog.handler.function),
                               reinterpret_cast<LONG_PTR>(g_pendingDialog.handler.object))
                 : 0;
    default: return 0;
  }
}

static bool BooleanAnswer(UINT msg) {
  return msg == WM_CLOSE || msg == WM_QUERYENDSESSION || msg == WM_ERASEBKGND ||
         msg == WM_KEYDOWN || msg == WM_KEYUP || msg == WM_CHAR ||
         (msg >= WM_LBUTTONDOWN && msg <= WM_MBUTTONDBLCLK);
}

// Runs body at the kernel's callback boundary; an error is reported.  False
// when body failed or raised.
template <class Body>
static bool RunHandler(Body&& body) {
  K::BoundaryOutcome end = K::RunAtCallbackBoundary(body);
  if (end.error) K::RunAtCallbackBoundary([&] { ReportError(end.error); });
  return !end.failed;
}

LONG_PTR Dispatch(HWND w, UINT msg, WPARAM wp, LPARAM lp, event_struct* event, int mode,
                  bool* failed, bool* delivered) {
  volatile LONG_PTR result = 0;
  volatile bool any = false;
  bool ok = RunHandler([&] {
    event_struct local;
    event_struct* e = event ? event : &local;
    bool deliver = true;
    if (mode == 3) {
      if (_win_data* r = RecordOf(w)) {
        SetDefaultTools(r);
        r->w[rw_tools] = 1;
        r->w[rw_mapMode] = 1;
      }
    } else if (msg == WM_PAINT && mode == 1) {
      g_state[sw_inErase] = 0;
      auto* src = reinterpret_cast<const RECT*>(lp);
      deliver = src && (src->left || src->top || src->right || src->bottom);
      if (deliver) {
        auto* r = GAlloc<rect_struct>();
        *r = {src->left, src->top, src->right, src->bottom};
        Set(e, e_update, reinterpret_cast<LONG_PTR>(r));
      }
    } else if (mode == 1 && msg != 0) {
      deliver = TranslateMessage_(w, msg, wp, lp, e);
    } else if (mode == 2) {
      deliver = TranslateControl(w, msg, wp, lp, e);
    }
    if (!deliver) return;
    any = true;
    result = CallWindowHandler(w, e);
  });
  bool handled = ok && any;
  if (failed) *failed = !handled;
  if (delivered) *delivered = any;
  if (!handled) return 0;
  if (BooleanAnswer(msg)) return 1;
  return result;
}

LONG_PTR DeliverEvent(HWND w, event_struct* event, bool* failed) {
  return Dispatch(w, 0, 0, 0, event, 0, failed);
}

bool NativeHook(HWND w, _win_data* r, UINT msg, WPARAM wp, LPARAM lp, LRESULT* answer) {
  if (!r || !r->w[rw_hook]) return false;
  event_struct e{};
  Set(&e, e_native, msg, static_cast<LONG_PTR>(wp), lp);
  LONG_PTR saved = g_state[sw_inHook];
  g_state[sw_inHook] = 1;
  bool failed = true;
  LONG_PTR res = DeliverEvent(w, &e, &failed);
  g_state[sw_inHook] = saved;
  if (failed) return false;
  *answer = res;
  return true;
}

static HCURSOR StandardCursor(LONG_PTR id) {
  static const LPCWSTR ids[12] = {IDC_ARROW, IDC_ARROW, IDC_CROSS, IDC_IBEAM,
                                  IDC_ICON,  IDC_SIZE,  IDC_SIZENESW, IDC_SIZENS,
                                  IDC_SIZENWSE, IDC_SIZEWE, IDC_UPARROW, IDC_WAIT};
  return LoadCursorW(nullptr, id >= 0 && id < 12 ? ids[id] : IDC_ARROW);
}

HCURSOR RecordCursor(_win_data* r) {
  LONG_PTR id = r->w[rw_cursorId];
  if (id >= 12 && r->w[rw_cursor]) return reinterpret_cast<HCURSOR>(r->w[rw_cursor]);
  return StandardCursor(id);
}

bool SetCursorFor(HWND w, WPARAM wp, LPARAM lp, LRESULT* answer) {
  if (LOWORD(lp) != HTCLIENT) return false;
  POINT p;
  GetCursorPos(&p);
  ScreenToClient(w, &p);
  HWND under = ChildWindowFromPoint(w, p);
  if (under == w) {
    SetCursor(RecordCursor(XZEV_GetWinData(w)));
    *answer = 1;
  } else {
    *answer = 0;
  }
  return true;
}

void PaintWindow(HWND w, _win_data* r) {
  PAINTSTRUCT ps;
  if (r->w[rw_paintWin]) {
    HDC dc = BeginPaint(w, &ps);
    (void)dc;
    RECT again = ps.rcPaint;
    EndPaint(w, &ps);
    InvalidateRect(w, &again, FALSE);
    return;
  }
  HDC dc = BeginPaint(w, &ps);
  r->w[rw_paintDC] = reinterpret_cast<LONG_PTR>(dc);
  r->w[rw_paintWin] = reinterpret_cast<LONG_PTR>(w);
  ClearDrawingCache();  // a held context cached for the window gives way to the paint's
  ApplyMapping(dc, r);
  SetROP2(dc, static_cast<int>(r->w[rw_rop] + 1));
  SetBkMode(dc, r->w[rw_bkMode] == 1 ? TRANSPARENT : OPAQUE);
  HGDIOBJ oldFont = r->w[rw_font] ? SelectObject(dc, reinterpret_cast<HGDIOBJ>(r->w[rw_font])) : nullptr;
  SetBkColor(dc, static_cast<COLORREF>(r->w[rw_bkColor]));
  SetTextColor(dc, static_cast<COLORREF>(r->w[rw_textColor]));
  HGDIOBJ oldPen = r->w[rw_pen] ? SelectObject(dc, reinterpret_cast<HGDIOBJ>(r->w[rw_pen])) : nullptr;
  HGDIOBJ oldBrush = r->w[rw_brush] ? SelectObject(dc, reinterpret_cast<HGDIOBJ>(r->w[rw_brush])) : nullptr;
  HPALETTE oldPal = nullptr;
  if (g_palette) {
    oldPal = SelectPalette(dc, g_palette, FALSE);
    RealizePalette(dc);
  }
  RECT rc = ps.rcPaint;
  r->w[rw_paintRect] = reinterpret_cast<LONG_PTR>(&rc);
  Dispatch(w, WM_PAINT, 0, reinterpret_cast<LPARAM>(&rc), nullptr, 1);
  if (oldFont) SelectObject(dc, oldFont);
  if (oldPen) SelectObject(dc, oldPen);
  if (oldBrush) SelectObject(dc, oldBrush);
  if (oldPal) SelectPalette(dc, oldPal, FALSE);
  if (r->w[rw_palette]) DeleteObject(reinterpret_cast<HGDIOBJ>(r->w[rw_palette]));
  r->w[rw_paintRect] = 0;
  EndPaint(w, &ps);
  r->w[rw_paintDC] = r->w[rw_paintWin] = r->w[rw_palette] = 0;
  ClearDrawingCache();
}

static void RestoreItemTools() {
  HDC dc = reinterpret_cast<HDC>(g_state[sw_itemDC]);
  auto back = [&](int made, int old) {
    if (g_state[old]) SelectObject(dc, reinterpret_cast<HGDIOBJ>(g_state[old]));
    if (g_state[made]) DeleteObject(reinterpret_cast<HGDIOBJ>(g_state[made]));
  };
  back(sw_itemPen, sw_itemPenOld);
  back(sw_itemBrush, sw_itemBrushOld);
  back(sw_itemFont, sw_itemFontOld);
  if (g_state[sw_itemClip]) {
    SelectClipRgn(dc, nullptr);
    DeleteObject(reinterpret_cast<HGDIOBJ>(g_state[sw_itemClip]));
  }
  for (int i = sw_itemDC; i <= sw_itemClip; ++i) g_state[i] = 0;
}

static LONG_PTR DeliverWheel(HWND w, WPARAM wp) {
  UINT lines = 0;
  if (!SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0)) lines = 1;
  short delta = static_cast<short>(HIWORD(wp));
  event_struct e{};
  if (lines == WHEEL_PAGESCROLL) {
    // One screen per notch: a single page scroll.
    Set(&e, e_vscroll, delta < 1 ? 4 : 3, 0);
    DeliverEvent(w, &e, nullptr);
    return 0;
  }
  for (UINT i = 0; i < lines; ++i) {
    Set(&e, e_vscroll, delta < 1 ? 2 : 1, 0);
    DeliverEvent(w, &e, nullptr);
  }
  return 0;
}

bool CommonMessage(HWND w, UINT msg, WPARAM wp, LPARAM lp, bool cleanUp, bool askAnswer,
                   LRESULT* answer) {
  switch (msg) {
    case WM_ERASEBKGND: {
      if (!g_state[sw_erase]) {
        *answer = 0;
        return true;
      }
      LONG_PTR saved = g_state[sw_inErase];
      g_state[sw_inErase] = 1;
      bool failed = true;
      Dispatch(w, msg, wp, lp, nullptr, 1, &failed);
      g_state[sw_inErase] = saved;
      if (failed) return false;
      *answer = 0;
      return true;
    }
    case WM_DESTROY:
      if (!StateReady()) return false;
      g_state[sw_destroying] = reinterpret_cast<LONG_PTR>(w);
      Dispatch(w, msg, wp, lp, nullptr, 1);
      g_state[sw_destroying] = 0;
      if (cleanUp) CleanUpRecord(w, XZEV_GetWinData(w));
      return false;
    case WM_KILLFOCUS:
      DestroyCaret();
      [[fallthrough]];
    case WM_MOVE: case WM_SIZE: case WM_SETFOCUS: case WM_TIMER: case WM_INITMENU:
      Dispatch(w, msg, wp, lp, nullptr, 1);
      return false;
    case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: case WM_MBUTTONDOWN:
      SetFocus(w);
      [[fallthrough]];
    case WM_CHAR: case WM_KEYUP: case WM_SYSKEYUP:
    case WM_LBUTTONUP: case WM_RBUTTONUP: case WM_MBUTTONUP:
    case WM_LBUTTONDBLCLK: case WM_RBUTTONDBLCLK: case WM_MBUTTONDBLCLK: {
      LONG_PTR res = Dispatch(w, msg, wp, lp, nullptr, 1);
      if (askAnswer && res) {
        *answer = res;
        return true;
      }
      return false;
    }
    case WM_KEYDOWN: case WM_SYSKEYDOWN: {
      LONG_PTR res = Dispatch(w, msg, wp, lp, nullptr, 1);
      if (MapsToLayerCode(wp)) {
        event_struct e{};
        Set(&e, e_char, KeyCode(wp, (g_keyMods & 2) != 0), g_keyMods);
        DeliverEvent(w, &e, nullptr);
      }
      if (askAnswer && res) {
        *answer = res;
        return true;
      }
      return false;
    }
    case WM_PAINT: {
      _win_data* r = XZEV_GetWinData(w);
      if (!r->w[rw_valid]) return false;
      PaintWindow(w, r);
      *answer = 0;
      return true;
    }
    case WM_MOUSEWHEEL:
      DeliverWheel(w, wp);
      return false;
    case WM_PARENTNOTIFY:
      if (LOWORD(wp) == WM_RBUTTONDOWN) {
        event_struct e{};
        uint8_t* mark = K::Memory::MarkGStack();
        auto* pt = GAlloc<pnt_struct>();
        pt->x = LOWORD(lp);
        pt->y = HIWORD(lp);
        Set(&e, e_mousedown, reinterpret_cast<LONG_PTR>(pt), kwi_GetPressedKey(), 1);
        DeliverEvent(w, &e, nullptr);
        K::Memory::ReleaseGStack(mark);
      }
      return false;
    case WM_COMMAND:
      Dispatch(w, msg, wp, lp, nullptr, lp ? 2 : 1);
      return false;
    case WM_HSCROLL: case WM_VSCROLL:
      Dispatch(w, msg, wp, lp, nullptr, lp ? 2 : 1);
      return false;
    case WM_DRAWITEM: {
      if (g_state[sw_itemDC]) {
        *answer = 1;
        return true;
      }
      auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
      g_state[sw_itemDC] = reinterpret_cast<LONG_PTR>(d->hDC);
      // A menu item has no window of its own (hwndItem is the menu): drawing
      // on the owner that gets the event reaches the item.
      g_state[sw_itemWin] = d->CtlType == ODT_MENU ? reinterpret_cast<LONG_PTR>(w)
                                                   : reinterpret_cast<LONG_PTR>(d->hwndItem);
      Dispatch(w, msg, wp, lp, nullptr, 1);
      RestoreItemTools();
      *answer = 1;
      return true;
    }
    case WM_MEASUREITEM: {
      LONG_PTR res = Dispatch(w, msg, wp, lp, nullptr, 1);
      auto* m = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
      UINT width = LOWORD(res), height = HIWORD(res);
      m->itemWidth = width ? width : 10;
      m->itemHeight = height ? height : 10;
      *answer = 1;
      return true;
    }
    case WM_QUERYNEWPALETTE: case WM_PALETTECHANGED: {
      if (msg == WM_PALETTECHANGED && reinterpret_cast<HWND>(wp) == w) return false;
      if (!g_palette) {
        *answer = 0;
        return true;
      }
      HDC dc = GetDC(w);
      HPALETTE old = SelectPalette(dc, g_palette, msg == WM_PALETTECHANGED);
      UINT n = RealizePalette(dc);
      SelectPalette(dc, old, TRUE);
      ReleaseDC(w, dc);
      if (n) InvalidateRect(w, nullptr, TRUE);
      *answer = n;
      return true;
    }
    case WM_MOUSEMOVE:
      UndoCursorHide();
      Dispatch(w, msg, wp, lp, nullptr, 1);
      *answer = 0;
      return true;
    case MsgUser: case MsgEndApplication:
      *answer = Dispatch(w, msg, wp, lp, nullptr, 1);
      return true;
    default:
      if (msg > MsgUser) {
        _win_data* r = XZEV_GetWinData(w);
        if (!r->w[rw_hook]) {
          *answer = Dispatch(w, msg, wp, lp, nullptr, 1);
          return true;
        }
      }
      return false;
  }
}

}  // namespace detail

using namespace detail;

LONG_PTR kwi_CallEventHandler(LONG_PTR window, event_struct* event,
                              PROLOG_EHANDLER_STRUCT* handler) {
  if (handler->object)
    return reinterpret_cast<EventMethod>(handler->function)(handler->object, window, event);
  return reinterpret_cast<EventFunction>(handler->function)(window, event);
}

LONG_PTR XZEV_DirectCallHandler(LONG_PTR window, event_struct* event,
                                PROLOG_EHANDLER_STRUCT* handler, int* failed) {
  volatile LONG_PTR result = 0;
  bool ok = RunHandler([&] { result = kwi_CallEventHandler(window, event, handler); });
  if (failed) *failed = ok ? 0 : 1;
  return ok ? result : 0;
}

}  // namespace QEL_KWI
