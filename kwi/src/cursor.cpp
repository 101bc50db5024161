// Cursors, carets, window icons and the dialog ratio.  A window's cursor is
// its record's id (below 12 a system cursor, from 12 a resource cursor whose
// handle the record owns); the window procedures show it over the client
// area.  The process-wide hidden flag is -1 while the cursor shows.
#include "gdi.h"

namespace QEL_KWI {
namespace detail {

static int g_cursorHidden = -1;

static HCURSOR SystemCursor(int id) {
  static const LPCWSTR ids[] = {IDC_ARROW, IDC_CROSS,  IDC_IBEAM,    IDC_ICON,    IDC_SIZE,
                                IDC_SIZENESW, IDC_SIZENS, IDC_SIZENWSE, IDC_SIZEWE, IDC_UPARROW,
                                IDC_WAIT};
  return LoadCursorW(nullptr, id >= 1 && id <= 11 ? ids[id - 1] : IDC_ARROW);
}

// Own windows: types 1, 2, 4, 20 and subclassed controls.
static bool OwnWindow(HWND w) { return TypeAllows(w, WindowType(w), 3); }

void UndoCursorHide() {
  if (g_cursorHidden == -1) return;
  g_cursorHidden = -1;
  ShowCursor(TRUE);
  ReleaseCapture();
}

}  // namespace detail

using namespace detail;

void cursorSet(LONG_PTR window, HINSTANCE module, int id, int setNow) {
  HWND w = Hwnd(window);
  if (!CheckValid(OwnWindow(w) || w == GetDesktopWindow(), 6001)) return;
  LONG_PTR* r = XZEV_GetWinData(w)->w;
  if (r[rw_cursorId] >= 12 && r[rw_cursor]) DestroyCursor(reinterpret_cast<HCURSOR>(r[rw_cursor]));
  r[rw_cursor] = 0;
  r[rw_cursorId] = id;
  if (id >= 12) {
    HCURSOR c = LoadCursorW(module, MAKEINTRESOURCEW(id));
    if (!c) return RaiseMayReturn(6051);
    if (setNow) SetCursor(c);
    r[rw_cursor] = reinterpret_cast<LONG_PTR>(c);
    return;
  }
  if (setNow) SetCursor(SystemCursor(id));
}

void cursor_Set(LONG_PTR window, int id, int setNow) { cursorSet(window, g_app, id, setNow); }

int cursor_Get(LONG_PTR window) {
  HWND w = Hwnd(window);
  if (!CheckValid(OwnWindow(w), 6001)) return 1;
  const LONG_PTR* r = XZEV_GetWinData(w)->w;
  return r[rw_valid] ? static_cast<int>(r[rw_cursorId]) : 1;
}

void cursor_SetWait() { SetCursor(LoadCursorW(nullptr, IDC_WAIT)); }

void cursor_Hide() {
  if (g_cursorHidden != -1) return;
  g_cursorHidden = 1;
  SetCapture(GetActiveWindow());
  ShowCursor(FALSE);
}

pnt_struct* cursor_GetPos(LONG_PTR window) {
  HWND w = Hwnd(window);
  POINT p{};
  if (CheckWindow(w) && CheckValid(WindowType(w) < wt_print, 6001)) {
    GetCursorPos(&p);
    ScreenToClient(w, &p);
  }
  return NewPoint(p.x, p.y);
}

void caret_Off(LONG_PTR window) {
  HWND w = Hwnd(window);
  if (!CheckValid(OwnWindow(w) || WindowType(w) == wt_edit, 6001)) return;
  DestroyCaret();
}

void caret_Set(LONG_PTR window, int x, int y, int width, int height) {
  HWND w = Hwnd(window);
  DestroyCaret();
  if (OwnWindow(w)) {
    LONG_PTR* r = XZEV_GetWinData(w)->w;
    r[rw_caretX] = x;
    r[rw_caretY] = y;
  }
  CreateCaret(w, nullptr, width, height);
  SetCaretPos(x, y - height);
  ShowCaret(w);
}

void caret_Size(LONG_PTR window, int width, int height) {
  HWND w = Hwnd(window);
  if (OwnWindow(w)) {
    LONG_PTR* r = XZEV_GetWinData(w)->w;
    r[rw_caretW] = width;
    r[rw_caretH] = height;
  }
  POINT p;
  if (GetFocus() == w && GetCaretPos(&p)) {
    DestroyCaret();
    CreateCaret(w, nullptr, width, height);
    SetCaretPos(p.x, p.y);
    ShowCaret(w);
  }
}

void win_SetIcon(LONG_PTR window, unsigned iconId) {
  HWND w = Hwnd(window);
  if (!CheckWindow(w)) return;
  HICON icon = LoadIconW(g_app, MAKEINTRESOURCEW(iconId));
  if (!icon) return RaiseMayReturn(6052);
  SendMessageW(w, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
}

void win_DialogRatio(LONG_PTR window, pnt_struct** ratio) {
  HWND w = Hwnd(window);
  *ratio = NewPoint(100, 100);
  int t = WindowType(w);
  if (t != wt_modal && t != wt_modeless) return RaiseMayReturn(6001);
  LONG base = GetDialogBaseUnits();
  int bx = LOWORD(base), by = HIWORD(base);
  if (!bx || !by) return;
  RECT r{400 / bx, 800 / by, 440 / bx, 880 / by};
  if (MapDialogRect(w, &r)) **ratio = {r.left, r.top};
}

}  // namespace QEL_KWI
