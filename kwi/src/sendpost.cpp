// Events that the program sends to a window's handler or posts as messages.
#include "kwi.h"

namespace QEL_KWI {

using namespace detail;

LONG_PTR win_SendEvent(LONG_PTR window, event_struct* event) {
  HWND win = reinterpret_cast<HWND>(window);
  if (event->kind == e_native)
    return SendMessageW(win, static_cast<UINT>(event->w[0]), static_cast<WPARAM>(event->w[1]),
                        event->w[2]);
  bool own = false;
  for (HWND w = win; w;) {
    int t = WindowType(w);
    if (t == wt_screen) break;
    if (IsLayerWindow(t)) {
      own = true;
      break;
    }
    w = GetParent(w);
  }
  if (!own) {
    RaiseMayReturn(6311);
    return 0;
  }
  return Dispatch(win, 0, 0, 0, event, 0);
}

void win_PostEvent(LONG_PTR window, event_struct* event) {
  HWND win = reinterpret_cast<HWND>(window);
  if (Validating()) {
    if (!IsWindow(win)) {
      RaiseMayReturn(6000);
      return;
    }
    int t = WindowType(win);
    if (t == wt_print || t == wt_picture || t == wt_metafile) {
      RaiseMayReturn(6001);
      return;
    }
  }
  if (WindowType(win) == wt_listedit && FindSubclass(win))
    if (HWND edit = GetDlgItem(win, 1001)) win = edit;
  UINT msg = 0;
  WPARAM wp = 0;
  LPARAM lp = 0;
  auto point = [&](LONG_PTR p) {
    auto* pt = reinterpret_cast<const pnt_struct*>(p);
    return pt ? MAKELPARAM(pt->x, pt->y) : 0;
  };
  // Mouse buttons: 0 left, 1 right, 2 middle; the key-state word carries the
  // button pressed and Shift/Control from the modifiers.
  auto button = [&](UINT left, UINT right, UINT middle, bool down) {
    LONG_PTR b = event->w[2], mods = event->w[1];
    msg = b == 1 ? right : b == 2 ? middle : left;
    wp = (mods & 1 ? MK_SHIFT : 0) | (mods & 2 ? MK_CONTROL : 0);
    if (down) wp |= b == 1 ? MK_RBUTTON : b == 2 ? MK_MBUTTON : MK_LBUTTON;
    lp = point(event->w[0]);
  };
  switch (event->kind) {
    case e_native: msg = static_cast<UINT>(event->w[0]); wp = event->w[1]; lp = event->w[2]; break;
    case e_user: msg = MsgUser; wp = event->w[0]; lp = event->w[1]; break;
    case e_menu: msg = WM_COMMAND; wp = event->w[0] & 0xFFFF; break;
    case e_destroy: msg = WM_DESTROY; break;
    case e_getfocus: msg = WM_SETFOCUS; break;
    case e_losefocus: msg = WM_KILLFOCUS; break;
    case e_move: msg = WM_MOVE; lp = MAKELPARAM(event->w[0], event->w[1]); break;
    case e_update: msg = WM_PAINT; break;
    case e_closerequest: msg = WM_CLOSE; break;
    case e_mousedown: button(WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN, true); break;
    case e_mouseup: button(WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONUP, false); break;
    case e_mousedbl: button(WM_LBUTTONDBLCLK, WM_RBUTTONDBLCLK, WM_MBUTTONDBLCLK, true); break;
    case e_mousemove:
      msg = WM_MOUSEMOVE;
      wp = (event->w[1] & 1 ? MK_SHIFT : 0) | (event->w[1] & 2 ? MK_CONTROL : 0);
      lp = point(event->w[0]);
      break;
    case e_endsession: msg = WM_QUERYENDSESSION; break;
    case e_char: msg = WM_CHAR; wp = event->w[0]; lp = 1; break;
    default:
      RaiseMayReturn(6312);
      return;
  }
  PostMessageW(win, msg, wp, lp);
}

}  // namespace QEL_KWI
