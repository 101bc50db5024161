// Window procedures of the layer's classes, dialogs and subclassed controls.
#include "kwi.h"

namespace QEL_KWI {
namespace detail {

HWND g_activeInner;
bool g_appActive;
PendingDialog g_pendingDialog;
static bool g_buttonHandled;
static int g_mdiActivation;
static bool g_frameCreated;
static bool g_closePending;

static LRESULT DeliverSimple(HWND w, uint32_t kind, LONG_PTR a, bool* failed) {
  event_struct e{};
  e.kind = kind;
  e.w[0] = a;
  return DeliverEvent(w, &e, failed);
}

static _win_data* CreateRecord(HWND w, const CreationRecord* cr) {
  _win_data* r = NewRecord();
  SetWindowLongPtrW(w, 0, reinterpret_cast<LONG_PTR>(r));
  if (cr) {
    r->w[rw_fn] = reinterpret_cast<LONG_PTR>(cr->function);
    r->w[rw_obj] = reinterpret_cast<LONG_PTR>(cr->object);
    r->w[rw_data] = cr->data;
    r->w[rw_type] = cr->type;
    r->w[rw_menu] = reinterpret_cast<LONG_PTR>(cr->menu);
    r->w[rw_noMenu] = cr->noMenu;
    r->w[rw_style] = cr->style;
  }
  r->w[rw_cursorId] = 1;
  r->w[rw_valid] = 1;
  if (r->w[rw_type] == wt_task) {
    r->w[rw_state] = reinterpret_cast<LONG_PTR>(g_state);
    g_task = w;
  }
  return r;
}

static void DeliverCreate(HWND w, LONG_PTR data) {
  event_struct e{};
  e.kind = e_create;
  e.w[0] = data;
  Dispatch(w, WM_CREATE, 0, 0, &e, 3);
}

static void DestroyRecord(HWND w) {
  _win_data* r = RecordOf(w);
  if (!r) return;
  CleanUpRecord(w, r);
  SetWindowLongPtrW(w, 0, 0);
  FreeRecord(r);
  ClearDrawingCache();
}

static void DeliverDestroy(HWND w) {
  if (!StateReady()) return;
  g_state[sw_destroying] = reinterpret_cast<LONG_PTR>(w);
  DeliverSimple(w, e_destroy, 0, nullptr);
  g_state[sw_destroying] = 0;
}

static HMENU OwnMenu(HWND w) {
  _win_data* r = XZEV_GetWinData(w);
  return r->w[rw_noMenu] ? nullptr : reinterpret_cast<HMENU>(r->w[rw_menu]);
}

// Puts `m` in the task window's menu bar.  Setting and drawing the bar
// changes the frame (the whole non-client area is computed and painted
// again), so it is done only when the bar holds another menu; a change to
// the items of the menu shown redraws the bar where it is made.
static void ShowTaskMenu(HMENU m) {
  if (GetMenu(g_task) == m) return;
  SetMenu(g_task, m);
  DrawMenuBar(g_task);
}

// True when `child` is already the active inner window, in front of its
// siblings and holding the focus: activating it again changes nothing.
static bool AlreadyActive(HWND child) {
  return child == g_activeInner && GetFocus() == child && GetTopWindow(GetParent(child)) == child;
}

// Makes `child` the task window's active inner window.  A press on the
// active one comes here for every click: it costs a z-order change, a frame
// repaint and a focus query at the server, so it is left alone.
static void ActivateInner(HWND child) {
  if (AlreadyActive(child)) return;
  if (g_activeInner && g_activeInner != child && IsWindow(g_activeInner))
    SendMessageW(g_activeInner, WM_NCACTIVATE, FALSE, 0);
  HMENU m = OwnMenu(child);
  ShowTaskMenu(m ? m : OwnMenu(g_task));
  g_activeInner = child;
  SendMessageW(child, WM_NCACTIVATE, TRUE, 0);
  SetFocus(child);
  BringWindowToTop(child);
  UpdateWindow(child);
}

static BOOL CALLBACK CleanChild(HWND w, LPARAM) {
  wchar_t name[ClassNameUnits + 1];
  if (GetClassNameW(w, name, ClassNameUnits) && IsOwnClass(name)) DestroyRecord(w);
  return TRUE;
}

static BOOL CALLBACK CleanPopup(HWND w, LPARAM task) {
  if (w == reinterpret_cast<HWND>(task)) return TRUE;
  wchar_t name[ClassNameUnits + 1];
  if (!(GetWindowLongPtrW(w, GWL_STYLE) & WS_POPUP)) return TRUE;
  if (!GetClassNameW(w, name, ClassNameUnits) || wcsncmp(name, L"Zev", 3) != 0) return TRUE;
  EnumChildWindows(w, CleanChild, 0);
  if (IsOwnClass(name)) DestroyRecord(w);
  return TRUE;
}

// The start of every procedure of the layer's windows: the native hook, then
// the cursor over the client area.  True when the message is answered.
static bool AnsweredFirst(HWND w, _win_data* r, UINT m, WPARAM wp, LPARAM lp, LRESULT* ans) {
  if (NativeHook(w, r, m, wp, lp, ans)) return true;
  if (m != WM_SETCURSOR) return false;
  g_mdiActivation = 0;
  return SetCursorFor(w, wp, lp, ans);
}

static LRESULT CommonProcBody(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  _win_data* r = RecordOf(w);
  LRESULT ans = 0;
  if (AnsweredFirst(w, r, m, wp, lp, &ans)) return ans;
  bool failed = true;
  switch (m) {
    case WM_CREATE: {
      auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
      r = CreateRecord(w, static_cast<CreationRecord*>(cs->lpCreateParams));
      DeliverCreate(w, r->w[rw_data]);
      return 0;
    }
    case WM_DESTROY: {
      DeliverDestroy(w);
      if (r && r->w[rw_type] == wt_task) {
        EnumThreadWindows(GetCurrentThreadId(), CleanPopup, reinterpret_cast<LPARAM>(w));
        PostQuitMessage(0);
      }
      if (g_activeInner == w) g_activeInner = nullptr;
      DestroyRecord(w);
      return 0;
    }
    case WM_ACTIVATE:
      if (w == g_task) g_appActive = wp != 0;
      break;
    case WM_CLOSE:
      DeliverSimple(w, e_closerequest, 0, &failed);
      if (failed) DestroyWindow(w);
      return 0;
    case WM_QUERYENDSESSION:
      DeliverSimple(w, e_endsession, 1, &failed);
      return failed ? 1 : 0;
    case WM_ENDSESSION:
      if (wp) DeliverSimple(w, e_destroy, 0, nullptr);
      break;
    case WM_ACTIVATEAPP: {
      LRESULT res = DefWindowProcW(w, m, wp, lp);
      DeliverSimple(w, wp ? e_activate : e_deactivate, 0, nullptr);
      return res;
    }
    case WM_GETDLGCODE:
      return DLGC_WANTALLKEYS;
    case WM_COMMAND:
      if (lp == 0) {
        HWND target = w;
        if (r && r->w[rw_type] != wt_child && g_activeInner && IsWindow(g_activeInner) &&
            OwnMenu(g_activeInner))
          target = g_activeInner;
        Dispatch(target, m, wp, 0, nullptr, 1);
      } else {
        Dispatch(w, m, wp, lp, nullptr, 2);
      }
      return 0;
    case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: case WM_MBUTTONDOWN:
      SetFocus(w);
      Dispatch(w, m, wp, lp, nullptr, 1);
      return 0;
    case WM_PARENTNOTIFY: {
      WORD ev = LOWORD(wp);
      if (w == g_task && (ev == WM_CREATE || ev == WM_DESTROY)) {
        HWND child = reinterpret_cast<HWND>(lp);
        int t = WindowType(child);
        if (t == wt_toplevel || t == wt_child) {
          if (ev == WM_CREATE) {
            ActivateInner(child);
          } else {
            ShowTaskMenu(OwnMenu(w));
            SetFocus(w);
            g_activeInner = nullptr;
          }
        }
        return 0;
      }
      if (ev == WM_LBUTTONDOWN || ev == WM_RBUTTONDOWN) {
        if (g_buttonHandled) {
          g_buttonHandled = false;
          return 0;
        }
        POINT p{static_cast<int16_t>(LOWORD(lp)), static_cast<int16_t>(HIWORD(lp))};
        int type = r ? static_cast<int>(r->w[rw_type]) : 0;
        if (!(type == wt_child && (GetWindowLongPtrW(w, GWL_EXSTYLE) & WS_EX_CONTROLPARENT))) {
          HWND child = ChildWindowFromPoint(w, p);
          if (child && child != w) {
            if (w == g_task) {
              int t = WindowType(child);
              if (t == wt_toplevel || t == wt_child) ActivateInner(child);
            } else {
              SetFocus(child);
              g_buttonHandled = true;
            }
          }
        }
        if (ev == WM_RBUTTONDOWN) CommonMessage(w, m, wp, lp, true, false, &ans);
        return 0;
      }
      return 0;
    }
    default:
      break;
  }
  if (CommonMessage(w, m, wp, lp, true, false, &ans)) return ans;
  return DefWindowProcW(w, m, wp, lp);
}

static HWND MdiClient() { return reinterpret_cast<HWND>(g_state[sw_mdiClient]); }

static HWND ActiveDocument() {
  HWND client = MdiClient();
  return client ? reinterpret_cast<HWND>(SendMessageW(client, WM_MDIGETACTIVE, 0, 0)) : nullptr;
}

static LRESULT DefFrame(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (!MdiClient()) return DefWindowProcW(w, m, wp, lp);
  return DefFrameProcW(w, MdiClient(), m, wp, lp);
}

void PlaceClient(HWND frame) {
  RECT rc;
  GetClientRect(frame, &rc);
  int left = static_cast<int>(g_state[sw_insetLeft]), top = static_cast<int>(g_state[sw_insetTop]);
  MoveWindow(MdiClient(), left, top,
             rc.right - left - static_cast<int>(g_state[sw_insetRight]),
             rc.bottom - top - static_cast<int>(g_state[sw_insetBottom]), TRUE);
}

static LRESULT FrameProcBody(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  _win_data* r = RecordOf(w);
  LRESULT ans = 0;
  if (AnsweredFirst(w, r, m, wp, lp, &ans)) return ans;
  bool failed = true;
  switch (m) {
    case WM_QUERYENDSESSION:
      DeliverSimple(w, e_endsession, 1, &failed);
      return failed ? 1 : 0;
    case WM_CREATE: {
      auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
      auto* cr = static_cast<CreationRecord*>(cs->lpCreateParams);
      r = CreateRecord(w, cr);
      g_state[sw_menuTitle] = reinterpret_cast<LONG_PTR>(g_menuTitle);
      CLIENTCREATESTRUCT ccs{FindWindowPopup(cr ? cr->menu : nullptr), 9300};
      HWND client = CreateWindowExW(
          0, L"MDICLIENT", nullptr,
          WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_VSCROLL | WS_HSCROLL |
              MDIS_ALLCHILDSTYLES,
          0, 0, 0, 0, w, reinterpret_cast<HMENU>(1), g_app, &ccs);
      g_state[sw_mdiClient] = reinterpret_cast<LONG_PTR>(client);
      PlaceClient(w);
      DeliverCreate(w, r->w[rw_data]);
      g_frameCreated = true;
      if (g_closePending) {
        g_closePending = false;
        DestroyWindow(w);
      }
      return 0;
    }
    case WM_DESTROY:
      DeliverDestroy(w);
      DestroyRecord(w);
      g_state[sw_mdiClient] = 0;
      g_frameCreated = false;
      PostQuitMessage(0);
      return 0;
    case WM_SIZE:
      if (MdiClient()) {
        PlaceClient(w);
        SendMessageW(MdiClient(), WM_MDIICONARRANGE, 0, 0);
      }
      Dispatch(w, m, wp, lp, nullptr, 1);
      return 0;
    case WM_ACTIVATE:
      g_appActive = wp != 0;
      break;
    case WM_CLOSE: {
      if (!g_frameCreated) {
        g_closePending = true;
        return 0;
      }
      DeliverSimple(w, e_closerequest, 0, &failed);
      if (!failed) return 0;
      HWND client = MdiClient();
      bool remains = false;
      HWND doc = client ? GetWindow(client, GW_CHILD) : nullptr;
      while (doc) {
        HWND next = GetWindow(doc, GW_HWNDNEXT);
        if (!GetWindow(doc, GW_OWNER)) {
          SendMessageW(client, WM_MDIRESTORE, reinterpret_cast<WPARAM>(doc), 0);
          SendMessageW(doc, WM_CLOSE, 0, 0);
          if (IsWindow(doc)) remains = true;
        }
        doc = next;
      }
      if (remains) return 0;
      break;
    }
    case WM_ERASEBKGND:
      break;
    case WM_ENDSESSION:
      if (wp) DeliverSimple(w, e_destroy, 0, nullptr);
      break;
    case WM_ACTIVATEAPP: {
      LRESULT res = DefFrame(w, m, wp, lp);
      DeliverSimple(w, wp ? e_activate : e_deactivate, 0, nullptr);
      return res;
    }
    case WM_COMMAND: {
      HWND client = MdiClient();
      HWND active = ActiveDocument();
      switch (LOWORD(wp)) {
        case 9201: SendMessageW(client, WM_MDITILE, 0, 0); break;
        case 9202: SendMessageW(client, WM_MDICASCADE, 0, 0); break;
        case 9203: SendMessageW(client, WM_MDIICONARRANGE, 0, 0); break;
        case 9204: SendMessageW(client, WM_MDINEXT, 0, 0); break;
        case 9205: if (active) SendMessageW(active, WM_CLOSE, 0, 0); break;
        default:
          if (lp) Dispatch(w, m, wp, lp, nullptr, 2);
          else if (active && OwnMenu(active)) SendMessageW(active, m, wp, lp);
          else Dispatch(w, m, wp, 0, nullptr, 1);
          break;
      }
      return DefFrame(w, m, wp, lp);
    }
    case WM_INITMENU: {
      HWND active = ActiveDocument();
      if (active && OwnMenu(active)) SendMessageW(active, m, wp, lp);
      else Dispatch(w, m, wp, lp, nullptr, 1);
      return 0;
    }
    default:
      if (CommonMessage(w, m, wp, lp, true, false, &ans)) return ans;
      break;
  }
  return DefFrame(w, m, wp, lp);
}

static LRESULT MdiDocProcBody(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  _win_data* r = RecordOf(w);
  LRESULT ans = 0;
  if (AnsweredFirst(w, r, m, wp, lp, &ans)) return ans;
  bool failed = true;
  switch (m) {
    case WM_MOUSEACTIVATE:
      if (g_mdiActivation == 1) {
        g_mdiActivation = 2;
        return MA_ACTIVATE;
      }
      if (g_mdiActivation == 2) return MA_ACTIVATEANDEAT;
      g_mdiActivation = 0;
      break;
    case WM_CREATE: {
      auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
      auto* mc = static_cast<MDICREATESTRUCTW*>(cs->lpCreateParams);
      r = CreateRecord(w, mc ? reinterpret_cast<CreationRecord*>(mc->lParam) : nullptr);
      r->w[rw_winExtX] = r->w[rw_winExtY] = r->w[rw_vpExtX] = r->w[rw_vpExtY] = 1;
      DeliverCreate(w, r->w[rw_data]);
      SetFocus(w);
      return 0;
    }
    case WM_DESTROY:
      DeliverDestroy(w);
      DestroyRecord(w);
      break;
    case WM_CLOSE:
      DeliverSimple(w, e_closerequest, 0, &failed);
      if (!failed) return 0;
      break;
    case WM_NCLBUTTONUP: case WM_NCRBUTTONUP:
      g_mdiActivation = 0;
      break;
    case WM_MDIACTIVATE: {
      g_mdiActivation = 1;
      HWND activated = reinterpret_cast<HWND>(lp);
      if (activated == w || !activated) {
        if (activated && !IsIconic(activated) &&
            !(GetWindowLongPtrW(activated, GWL_STYLE) & WS_MAXIMIZEBOX))
          ShowWindow(activated, SW_SHOW);
        HMENU menu = activated ? OwnMenu(activated) : nullptr;
        if (!menu) menu = OwnMenu(g_task);
        if (menu && MdiClient()) {
          SendMessageW(MdiClient(), WM_MDISETMENU, reinterpret_cast<WPARAM>(menu),
                       reinterpret_cast<LPARAM>(FindWindowPopup(menu)));
          DrawMenuBar(g_task);
        }
      }
      return 0;
    }
    default:
      if (CommonMessage(w, m, wp, lp, true, false, &ans)) return ans;
      break;
  }
  return DefMDIChildProcW(w, m, wp, lp);
}

LRESULT CALLBACK IconProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_PAINT) {
    HDC dc = GetDC(w);
    if (HICON icon = LoadIconW(g_app, MAKEINTRESOURCEW(GetWindowLongPtrW(w, 0))))
      DrawIcon(dc, 0, 0, icon);
    ReleaseDC(w, dc);
  }
  return DefWindowProcW(w, m, wp, lp);
}

static HWND NextTabSibling(HWND from, bool backwards) {
  HWND parent = GetParent(from);
  if (!parent) return nullptr;
  HWND first = GetWindow(from, GW_HWNDFIRST);
  HWND cur = from;
  for (;;) {
    cur = GetWindow(cur, backwards ? GW_HWNDPREV : GW_HWNDNEXT);
    if (!cur) cur = GetWindow(first, backwards ? GW_HWNDLAST : GW_HWNDFIRST);
    if (!cur || cur == from) return nullptr;
    LONG_PTR s = GetWindowLongPtrW(cur, GWL_STYLE);
    if ((s & WS_TABSTOP) && (s & WS_VISIBLE) && !(s & WS_DISABLED)) return cur;
  }
}

static HWND DefaultButton(HWND from) {
  for (HWND c = GetWindow(from, GW_HWNDFIRST); c; c = GetWindow(c, GW_HWNDNEXT)) {
    wchar_t name[16];
    LONG_PTR s = GetWindowLongPtrW(c, GWL_STYLE);
    if (c != from && GetClassNameW(c, name, 16) && _wcsicmp(name, L"BUTTON") == 0 &&
        (s & 0xF) == BS_DEFPUSHBUTTON && (s & WS_VISIBLE) && !(s & WS_DISABLED))
      return c;
  }
  return nullptr;
}

static LRESULT UserClassProcBody(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  _win_data* r = RecordOf(w);
  LRESULT ans = 0;
  if (AnsweredFirst(w, r, m, wp, lp, &ans)) return ans;
  bool failed = true;
  switch (m) {
    case WM_CREATE: {
      CreationRecord cr{};
      wchar_t name[ClassNameUnits + 1] = {};
      GetClassNameW(w, name, ClassNameUnits);
      if (ClassRecord* c = FindClass(name)) {
        cr.function = c->function;
        cr.object = c->object;
      }
      cr.type = wt_custom;
      cr.noMenu = 1;
      r = CreateRecord(w, &cr);
      r->w[rw_winExtX] = r->w[rw_winExtY] = r->w[rw_vpExtX] = r->w[rw_vpExtY] = 1;
      if (HWND parent = GetParent(w)) SendMessageW(parent, MsgControlCreated, reinterpret_cast<WPARAM>(w), 0);
      DeliverCreate(w, 0);
      return 0;
    }
    case WM_DESTROY:
      DeliverDestroy(w);
      DestroyRecord(w);
      return 0;
    case WM_CLOSE:
      DeliverSimple(w, e_closerequest, 0, &failed);
      if (!failed) return 0;
      break;
    case WM_GETDLGCODE:
      return DLGC_WANTALLKEYS;
    case WM_CHAR:
      if (wp == VK_TAB || wp == VK_RETURN) {
        event_struct e{};
        e.kind = e_char;
        e.w[0] = static_cast<LONG_PTR>(wp);
        e.w[1] = kwi_GetPressedKey();
        DeliverEvent(w, &e, &failed);
        if (failed) {
          if (wp == VK_RETURN) {
            if (HWND b = DefaultButton(w))
              PostMessageW(GetParent(w), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(b), BN_CLICKED),
                           reinterpret_cast<LPARAM>(b));
          } else if (HWND next = NextTabSibling(w, (kwi_GetPressedKey() & 1) != 0)) {
            SetFocus(next);
          }
        }
        return DefWindowProcW(w, m, wp, lp);
      }
      break;
    default:
      break;
  }
  if (CommonMessage(w, m, wp, lp, true, false, &ans)) return ans;
  return DefWindowProcW(w, m, wp, lp);
}

// A handled message's answer, kept where the dialog manager returns it from.
// No control reads the answer to an owner-drawn item's draw: TRUE alone
// reports it drawn and spares a store into the window for every item.
static INT_PTR DialogAnswer(HWND w, UINT m, LRESULT answer) {
  if (m != WM_DRAWITEM) SetWindowLongPtrW(w, DWLP_MSGRESULT, answer);
  return TRUE;
}

static INT_PTR DialogProcBody(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_NCDESTROY) return 0;
  DialogRecord* d = FindDialog(w);
  LRESULT ans = 0;
  if (d && d->rec.w[rw_hook]) {
    if (NativeHook(w, &d->rec, m, wp, lp, &ans)) return ans > 0 ? 1 : 0;
  }
  bool failed = true;
  switch (m) {
    case WM_ACTIVATE:
      g_state[sw_modeless] = LOWORD(wp) ? reinterpret_cast<LONG_PTR>(w) : 0;
      if (d && d->rec.w[rw_type] == wt_modeless) g_appActive = wp != 0;
      return 0;
    case WM_SETFOCUS:
      g_state[sw_modeless] = reinterpret_cast<LONG_PTR>(w);
      break;
    case MsgControlCreated:
      g_state[sw_modeless] = reinterpret_cast<LONG_PTR>(w);
      MakeDialogRecord(w);
      return 0;
    case WM_HELP: {
      event_struct e{};
      uint8_t* mark = K::Memory::MarkGStack();
      auto* info = reinterpret_cast<controlinfo*>(K::Memory::AllocGStack(sizeof(controlinfo)));
      *info = {ci_activated, 0, 0};
      e.kind = e_control;
      e.w[0] = 3;
      e.w[1] = wt_pushbutton;
      e.w[2] = reinterpret_cast<LONG_PTR>(GetDlgItem(w, 3));
      e.w[3] = reinterpret_cast<LONG_PTR>(info);
      DeliverEvent(w, &e, nullptr);
      K::Memory::ReleaseGStack(mark);
      return 0;
    }
    case WM_INITDIALOG:
      d = MakeDialogRecord(w);
      if (IsWindowEnabled(w)) {
        SetFocus(reinterpret_cast<HWND>(wp));
        g_state[sw_modeless] = reinterpret_cast<LONG_PTR>(w);
      }
      g_controlEvents = true;
      DeliverSimple(w, e_create, d ? d->rec.w[rw_data] : g_pendingDialog.data, nullptr);
      return 0;
    case WM_DESTROY: {
      if (g_state[sw_modeless] == reinterpret_cast<LONG_PTR>(w)) {
        HWND parent = d ? d->parent : GetParent(w);
        int t = WindowType(parent);
        g_state[sw_modeless] = (t == wt_modal || t == wt_modeless) ? reinterpret_cast<LONG_PTR>(parent) : 0;
      }
      g_controlEvents = true;
      DeliverDestroy(w);
      if (d) {
        CleanUpRecord(w, &d->rec);
        if (d->rec.w[rw_type] == wt_modeless) RemoveDialog(d);
      }
      return 1;
    }
    case WM_CLOSE:
      DeliverSimple(w, e_closerequest, 0, &failed);
      if (!failed) return 1;
      if (d && d->rec.w[rw_type] == wt_modeless) {
        DestroyWindow(w);
      } else {
        EndDialog(w, DialogIndex(w));
      }
      return 1;
    case WM_ERASEBKGND: {
      LONG_PTR saved = g_state[sw_inErase];
      g_state[sw_inErase] = 1;
      DeliverSimple(w, e_erasebackground, 0, &failed);
      g_state[sw_inErase] = saved;
      return failed ? 0 : DialogAnswer(w, m, 1);
    }
    case WM_COMMAND:
      Dispatch(w, m, wp, lp, nullptr, lp ? 2 : 1);
      return 1;
    default:
      break;
  }
  if (CommonMessage(w, m, wp, lp, false, false, &ans)) return DialogAnswer(w, m, ans);
  return 0;
}

static LRESULT ControlProcBody(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  SubclassRecord* s = FindSubclassByReplaced(w);
  if (!s) return DefWindowProcW(w, m, wp, lp);
  HWND target = s->window;
  WNDPROC previous = s->previous;
  LRESULT ans = 0;
  if (NativeHook(target, &s->rec, m, wp, lp, &ans)) return ans;
  if (m == WM_SETCURSOR && LOWORD(lp) == HTCLIENT) {
    POINT p;
    GetCursorPos(&p);
    ScreenToClient(w, &p);
    if (ChildWindowFromPoint(w, p) == w) {
      SetCursor(RecordCursor(&s->rec));
      return 1;
    }
  }
  if (m == WM_DESTROY) {
    SetWindowLongPtrW(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    if (StateReady()) {
      g_state[sw_destroying] = reinterpret_cast<LONG_PTR>(target);
      Dispatch(target, m, wp, lp, nullptr, 1);
      g_state[sw_destroying] = 0;
    }
    CleanUpRecord(target, &s->rec);
    RemoveSubclass(s);
    return CallWindowProcW(previous, w, m, wp, lp);
  }
  bool common = (m != WM_PAINT && m != WM_ERASEBKGND) || s->useTools;
  if (common && CommonMessage(target, m, wp, lp, false, true, &ans) && m != WM_MOUSEMOVE)
    return ans;
  return CallWindowProcW(previous, w, m, wp, lp);
}

// Every procedure runs at the kernel's callback boundary: a failure or an
// error raised outside the dispatcher (the heap running out, say) ends here,
// the error is reported, and neither crosses the Windows frames that called
// the procedure.  The answer is then 0.
template <class Result>
static Result Guarded(Result (*body)(HWND, UINT, WPARAM, LPARAM), HWND w, UINT m, WPARAM wp,
                      LPARAM lp) {
  volatile Result result = 0;
  K::BoundaryOutcome end = K::RunAtCallbackBoundary([&] { result = body(w, m, wp, lp); });
  if (end.error) K::RunAtCallbackBoundary([&] { ReportError(end.error); });
  return end.failed ? 0 : result;
}

LRESULT GuardedProc(LRESULT (*body)(HWND, UINT, WPARAM, LPARAM), HWND w, UINT m, WPARAM wp,
                    LPARAM lp) {
  return Guarded(body, w, m, wp, lp);
}

LRESULT CALLBACK CommonProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  return Guarded(CommonProcBody, w, m, wp, lp);
}
LRESULT CALLBACK FrameProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  return Guarded(FrameProcBody, w, m, wp, lp);
}
LRESULT CALLBACK MdiDocProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  return Guarded(MdiDocProcBody, w, m, wp, lp);
}
LRESULT CALLBACK UserClassProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  return Guarded(UserClassProcBody, w, m, wp, lp);
}
INT_PTR CALLBACK DialogProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  return Guarded(DialogProcBody, w, m, wp, lp);
}
LRESULT CALLBACK ControlProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  return Guarded(ControlProcBody, w, m, wp, lp);
}

static const wchar_t kPreviousProc[] = L"QelKwiPrevProc";

static void DeleteOwnFont(HWND w) {
  HFONT own = reinterpret_cast<HFONT>(SendMessageW(w, WM_GETFONT, 0, 0));
  HWND parent = GetParent(w);
  HFONT shared = parent ? reinterpret_cast<HFONT>(SendMessageW(parent, WM_GETFONT, 0, 0)) : nullptr;
  if (own && own != shared) DeleteObject(own);
}

static LRESULT PassOn(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  auto previous = reinterpret_cast<WNDPROC>(GetPropW(w, kPreviousProc));
  if (m == WM_NCDESTROY) RemovePropW(w, kPreviousProc);
  return previous ? CallWindowProcW(previous, w, m, wp, lp) : DefWindowProcW(w, m, wp, lp);
}

LRESULT CALLBACK ListBoxProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_KEYDOWN && wp == VK_RETURN)
    SendMessageW(GetParent(w), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(w), LBN_DBLCLK),
                 reinterpret_cast<LPARAM>(w));
  if (m == WM_DESTROY) DeleteOwnFont(w);
  return PassOn(w, m, wp, lp);
}

LRESULT CALLBACK ControlFontProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_DESTROY) DeleteOwnFont(w);
  return PassOn(w, m, wp, lp);
}

void InstallFontProc(HWND w, WNDPROC proc) {
  if (GetPropW(w, kPreviousProc)) return;  // installed before
  // A subclassed control keeps the layer's procedure first.
  WNDPROC previous;
  if (SubclassRecord* s = FindSubclassByReplaced(w)) {
    previous = s->previous;
    s->previous = proc;
  } else {
    previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc)));
  }
  SetPropW(w, kPreviousProc, reinterpret_cast<HANDLE>(previous));
}

}  // namespace detail
}  // namespace QEL_KWI
