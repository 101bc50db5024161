// Window operations: identity and type, geometry and rectangles, text,
// focus, scroll bars, buttons, state flags, destruction, native contexts,
// MDI arrangement and attribute values.  Checks marked validated run only
// while argument validation is on; after a raise that an installed exception
// handler returns from, an operation returns 0 (or goes on where the
// operation names a fallback, as the scroll-bar selector does).
#include "gdi.h"

namespace QEL_KWI {
namespace detail {

static LONG_PTR g_attr408;

// The layer's print settings: the default printer is asked for once.
PRINTDLGW* DefaultPrinter() {
  auto* pd = reinterpret_cast<PRINTDLGW*>(StateReady() ? g_state[sw_print] : 0);
  if (!pd) return nullptr;
  if (pd->lStructSize == 0) {
    pd->lStructSize = sizeof *pd;
    pd->Flags = PD_RETURNDEFAULT;
    if (!QEL_BOUND_PROCEDURE(L"comdlg32.dll", PrintDlgW)(pd)) {
      pd->hDevMode = pd->hDevNames = nullptr;
    }
  }
  return pd->hDevNames ? pd : nullptr;
}

// An information context of the default printer, or null.
static HDC DefaultPrinterIC() {
  PRINTDLGW* pd = DefaultPrinter();
  if (!pd) return nullptr;
  auto* names = static_cast<DEVNAMES*>(GlobalLock(pd->hDevNames));
  if (!names) return nullptr;
  auto* mode = pd->hDevMode ? static_cast<DEVMODEW*>(GlobalLock(pd->hDevMode)) : nullptr;
  const wchar_t* base = reinterpret_cast<const wchar_t*>(names);
  HDC ic = CreateICW(base + names->wDriverOffset, base + names->wDeviceOffset, nullptr, mode);
  if (mode) GlobalUnlock(pd->hDevMode);
  GlobalUnlock(pd->hDevNames);
  return ic;
}

static int TypeOf(HWND w) { return StateReady() && IsWindow(w) ? WindowType(w) : 0; }
static bool IsDialogType(int t) { return t == wt_modal || t == wt_modeless; }
static bool Handled(HWND w) { return TypeAllows(w, WindowType(w), 5); }

static rect_struct* RectOf(const RECT& r) { return NewRect(r.left, r.top, r.right, r.bottom); }

// Copies a point list through `map`, in order.
template <class Map>
static pntlist_struct* MapList(pntlist_struct* list, Map map) {
  int n = 0;
  for (auto* c = list; c && c->functor == ListCons; c = c->next) ++n;
  auto* pts = reinterpret_cast<POINT*>(K::Memory::AllocGStack(static_cast<uint32_t>(n) * sizeof(POINT)));
  int i = 0;
  for (auto* c = list; c && c->functor == ListCons; c = c->next, ++i) pts[i] = {c->value->x, c->value->y};
  map(pts, n);
  pntlist_struct* out = EmptyList<pntlist_struct>();
  for (int k = n - 1; k >= 0; --k) out = Push(out, NewPoint(pts[k].x, pts[k].y));
  return out;
}

static bool NonEmpty(const void* list) {
  auto* l = static_cast<const ilist_struct*>(list);
  return l && l->functor == ListCons;
}

static int ScrollBar(int bar) {
  if (bar >= 0 && bar <= 2) return bar;
  if (Validating()) RaiseMayReturn(6010);
  return SB_HORZ;
}

// Counts the children (out null) or fills at most `cap` of them.
struct ChildCollector {
  HWND* out;
  int n;
  int cap;
};
static BOOL CALLBACK CollectChild(HWND w, LPARAM lp) {
  auto* c = reinterpret_cast<ChildCollector*>(lp);
  if (c->out) {
    if (c->n >= c->cap) return FALSE;
    c->out[c->n] = w;
  }
  ++c->n;
  return TRUE;
}

}  // namespace detail

using namespace detail;

int win_GetType(LONG_PTR window) {
  HWND w = Hwnd(window);
  if (!CheckWindow(w)) return 0;
  return TypeOf(w);
}

LONG_PTR kwi_GetTaskWin() { return reinterpret_cast<LONG_PTR>(TaskWindow()); }

LONG_PTR win_GetParent(LONG_PTR window) {
  HWND w = Hwnd(window);
  if (w == GetDesktopWindow()) return window;
  int t = TypeOf(w);
  if (IsDialogType(t))
    if (DialogRecord* d = FindDialog(w)) return reinterpret_cast<LONG_PTR>(d->parent);
  HWND parent = GetParent(w);
  if (t == wt_toplevel && g_state[sw_mdi] && parent && parent == reinterpret_cast<HWND>(g_state[sw_mdiClient]))
    parent = GetParent(parent);
  return reinterpret_cast<LONG_PTR>(parent);
}

winlist_struct* win_GetChildWindows(LONG_PTR window) {
  HWND w = Hwnd(window);
  winlist_struct* list = EmptyList<winlist_struct>();
  if (!CheckValid(TypeOf(w) != 0, 6001)) return list;
  ChildCollector count{nullptr, 0, 0};
  EnumChildWindows(w, CollectChild, reinterpret_cast<LPARAM>(&count));
  if (count.n == 0) return list;
  ChildCollector fill{reinterpret_cast<HWND*>(
                          K::Memory::AllocGStack(static_cast<uint32_t>(count.n) * sizeof(HWND))),
                      0, count.n};
  EnumChildWindows(w, CollectChild, reinterpret_cast<LPARAM>(&fill));
  for (int i = fill.n - 1; i >= 0; --i) list = Push(list, reinterpret_cast<LONG_PTR>(fill.out[i]));
  return list;
}

winlist_struct* win_GetListDialogs(LONG_PTR window) {
  HWND w = Hwnd(window);
  winlist_struct* list = EmptyList<winlist_struct>();
  if (!CheckValid(TypeOf(w) != 0, 6001)) return list;
  for (LONG_PTR i = 1; DialogRecord* d = DialogAt(i); ++i)
    if (d->parent == w) list = Push(list, reinterpret_cast<LONG_PTR>(d->dialog));
  return list;
}

LONG_PTR win_GetCtlHandle(LONG_PTR dialog, int id) {
  HWND d = Hwnd(dialog);
  if (!CheckWindow(d)) return 0;
  HWND c = GetDlgItem(d, id);
  if (!c) RaiseMayReturn(6316);
  return reinterpret_cast<LONG_PTR>(c);
}

int win_GetCtlId(LONG_PTR window) {
  HWND w = Hwnd(window);
  if (!CheckWindow(w)) return 0;
  int id = GetDlgCtrlID(w);
  if (id == 0) RaiseMayReturn(6310);
  return id;
}

void win_SetHandler(LONG_PTR window, PROLOG_EHANDLER_STRUCT* handler) {
  HWND w = Hwnd(window);
  if (!CheckValid(Handled(w), 6001)) return;
  LONG_PTR* r = XZEV_GetWinData(w)->w;
  r[rw_fn] = reinterpret_cast<LONG_PTR>(handler ? handler->function : nullptr);
  r[rw_obj] = reinterpret_cast<LONG_PTR>(handler ? handler->object : nullptr);
}

PROLOG_EHANDLER_STRUCT* win_GetHandler(LONG_PTR window) {
  HWND w = Hwnd(window);
  auto* h = GNew<PROLOG_EHANDLER_STRUCT>();
  *h = {nullptr, nullptr};
  if (!CheckValid(Handled(w), 6001)) return h;
  const LONG_PTR* r = XZEV_GetWinData(w)->w;
  *h = {reinterpret_cast<void*>(r[rw_fn]), reinterpret_cast<void*>(r[rw_obj])};
  return h;
}

void win_EnableHook(LONG_PTR window, int on) {
  HWND w = Hwnd(window);
  if (!CheckWindow(w)) return;
  if (!Handled(w)) return RaiseMayReturn(6001);
  XZEV_GetWinData(w)->w[rw_hook] = on;
}

rect_struct* win_GetClientRect(LONG_PTR window) {
  HWND w = Hwnd(window);
  RECT r{};
  if (CheckWindow(w)) GetClientRect(w, &r);
  return RectOf(r);
}

rect_struct* win_GetOuterRect(LONG_PTR window) {
  HWND w = Hwnd(window);
  RECT r{};
  int t = TypeOf(w);
  if (!CheckValid(t < wt_print, 6001)) return RectOf(r);
  GetWindowRect(w, &r);
  bool popup = (GetWindowLongPtrW(w, GWL_STYLE) & WS_POPUP) != 0;
  if (t == wt_task || (IsDialogType(t) && popup)) return RectOf(r);
  HWND parent = t == wt_toplevel ? GetParent(w) : Hwnd(win_GetParent(window));
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return RectOf(r);
}

void win_Move(LONG_PTR window, rect_struct* rect) {
  HWND w = Hwnd(window);
  int t = TypeOf(w);
  if (!CheckValid(t != wt_screen && t < wt_print && IsWindow(w), 6001)) return;
  RECT r{rect->left, rect->top, rect->right, rect->bottom};
  if (t < wt_pushbutton) {
    LONG_PTR style = GetWindowLongPtrW(w, GWL_STYLE);
    bool menu = !(style & WS_CHILD) && GetMenu(w);
    AdjustWindowRectEx(&r, static_cast<DWORD>(style), menu,
                       static_cast<DWORD>(GetWindowLongPtrW(w, GWL_EXSTYLE)));
  }
  if (t == wt_groupbox) ShowWindow(w, SW_HIDE);
  BOOL moved = MoveWindow(w, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
  if (t == wt_groupbox) ShowWindow(w, SW_SHOW);
  if (!moved) RaiseMayReturn(6315);
}

rect_struct* rect_GetClient(wsflags_struct* flags, int hasMenu, rect_struct* outer) {
  int frame = 0;
  bool title = false;
  for (auto* c = flags; c && c->functor == ListCons; c = c->next) {
    if (c->value >= 1 && c->value <= 3) frame = static_cast<int>(c->value);
    if (c->value == 9) title = true;
  }
  int fx = 1, fy = 1;
  if (frame == 1) fx = GetSystemMetrics(SM_CXBORDER), fy = GetSystemMetrics(SM_CYBORDER);
  if (frame == 2) fx = GetSystemMetrics(SM_CXFRAME), fy = GetSystemMetrics(SM_CYFRAME);
  if (frame == 3) fx = GetSystemMetrics(SM_CXDLGFRAME), fy = GetSystemMetrics(SM_CYDLGFRAME);
  if (!title && frame == 3) ++fx, ++fy;
  if (!title && frame == 2) --fx, --fy;
  int caption = title ? GetSystemMetrics(SM_CYCAPTION) - GetSystemMetrics(SM_CYBORDER) + 1 : 0;
  int menu = hasMenu ? GetSystemMetrics(SM_CYMENU) : 0;
  return NewRect(outer->left + fx, outer->top + fy + caption + menu, outer->right - fx,
                 outer->bottom - fy);
}

rect_struct* rect_Offset(rect_struct* r, int dx, int dy) {
  return NewRect(r->left + dx, r->top + dy, r->right + dx, r->bottom + dy);
}

rect_struct* rect_Inflate(rect_struct* r, int dx, int dy) {
  return NewRect(r->left - dx, r->top - dy, r->right + dx, r->bottom + dy);
}

rect_struct* rect_Union(rect_struct* a, rect_struct* b) {
  return NewRect(std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                 std::max(a->bottom, b->bottom));
}

rect_struct* rect_Intersect(rect_struct* a, rect_struct* b) {
  LONG l = std::max(a->left, b->left), t = std::max(a->top, b->top);
  LONG r = std::min(a->right, b->right), bt = std::min(a->bottom, b->bottom);
  if (l > r || t > bt) return NewRect(0, 0, 0, 0);
  return NewRect(l, t, r, bt);
}

void rect_IsEmpty(rect_struct* r) {
  if (!(r->left == r->right || r->top == r->bottom)) K::Fail();
}

void rect_PntInside(rect_struct* r, pnt_struct* p) {
  if (!(p->x >= r->left && p->x <= r->right && p->y >= r->top && p->y <= r->bottom)) K::Fail();
}

pntlist_struct* win_MapPoints(LONG_PTR from, LONG_PTR to, pntlist_struct* points) {
  HWND f = Hwnd(from), t = Hwnd(to);
  if (!CheckValid(IsWindow(f) && IsWindow(t), 6000)) return EmptyList<pntlist_struct>();
  if (!NonEmpty(points)) {
    RaiseMayReturn(6003);
    return EmptyList<pntlist_struct>();
  }
  bool task = t == TaskWindow();
  const LONG_PTR* s = StateReady() ? g_state : g_pending;
  return MapList(points, [&](POINT* p, int n) {
    for (int i = 0; i < n; ++i) {
      ClientToScreen(f, &p[i]);
      ScreenToClient(t, &p[i]);
      if (task) {
        p[i].x -= static_cast<LONG>(s[sw_insetLeft]);
        p[i].y -= static_cast<LONG>(s[sw_insetTop]);
      }
    }
  });
}

static pntlist_struct* ConvertPoints(LONG_PTR window, pntlist_struct* points, bool toLogical) {
  HWND w = Hwnd(window);
  if (!CheckWindow(w)) return EmptyList<pntlist_struct>();
  if (!NonEmpty(points)) {
    if (Validating()) RaiseMayReturn(6003);
    return EmptyList<pntlist_struct>();
  }
  DrawScope s;
  if (!OpenContext(w, dt_none, &s)) return EmptyList<pntlist_struct>();
  pntlist_struct* out = MapList(points, [&](POINT* p, int n) {
    if (toLogical) DPtoLP(s.dc, p, n);
    else LPtoDP(s.dc, p, n);
  });
  EndDraw(&s);
  return out;
}

pntlist_struct* win_DPtoLP(LONG_PTR window, pntlist_struct* points) {
  return ConvertPoints(window, points, true);
}

pntlist_struct* win_LPtoDP(LONG_PTR window, pntlist_struct* points) {
  return ConvertPoints(window, points, false);
}

u16* win_GetText(LONG_PTR window) {
  HWND w = Hwnd(window);
  if (!CheckWindow(w)) return K::Memory::CopyStringToGStack(L"");
  int n = GetWindowTextLengthW(w);
  if (n <= 0) n = 1000;
  wchar_t* buf = K::Memory::AllocGStackString(static_cast<uint32_t>(n) + 1);
  buf[0] = 0;
  GetWindowTextW(w, buf, n + 1);
  return NarrowLineFeeds(buf);
}

void win_SetText(LONG_PTR window, const u16* text) {
  HWND w = Hwnd(window);
  if (!CheckWindow(w)) return;
  uint8_t* mark = K::Memory::MarkGStack();
  SetWindowTextW(w, WidenLineFeeds(text));
  DeliverState(w, si_text, reinterpret_cast<LONG_PTR>(K::Memory::CopyStringToGStack(text ? text : L"")));
  K::Memory::ReleaseGStack(mark);
}

void win_GetTextSelection(LONG_PTR window, int* first, int* last) {
  HWND w = Hwnd(window);
  *first = *last = 0;
  if (!CheckWindow(w)) return;
  int t = TypeOf(w);
  DWORD a = 0, b = 0;
  if (t == wt_edit) SendMessageW(w, EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
  else if (t == wt_listedit)
    SendMessageW(w, CB_GETEDITSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
  else return RaiseMayReturn(6001);
  *first = static_cast<int>(a);
  *last = static_cast<int>(b);
}

void win_SelectText(LONG_PTR window, int first, int last) {
  HWND w = Hwnd(window);
  if (!CheckValid(first <= last, 6314)) return;
  int t = TypeOf(w);
  if (t == wt_edit) SendMessageW(w, EM_SETSEL, first, last);
  else if (t == wt_listedit) SendMessageW(w, CB_SETEDITSEL, 0, MAKELPARAM(first, last));
  else RaiseMayReturn(6001);
}

void win_SetEditCtlReadOnly(LONG_PTR window, int on) {
  HWND w = Hwnd(window);
  if (!CheckValid(TypeOf(w) == wt_edit, 6001)) return;
  SendMessageW(w, EM_SETREADONLY, on != 0, 0);
}

LONG_PTR win_GetFocus() {
  HWND f = GetFocus();
  if (!f) K::Fail();
  return reinterpret_cast<LONG_PTR>(f);
}

void win_SetFocus(LONG_PTR window) {
  HWND w = Hwnd(window);
  if (!CheckWindow(w)) return;
  HWND had = GetFocus();
  if (!SetFocus(w) && had && GetFocus() != w) return RaiseMayReturn(6313);
  SendMessageW(w, WM_NCACTIVATE, TRUE, 0);
  if (IsDialogType(TypeOf(w))) g_state[sw_modeless] = window;
}

void win_SetActiveWindow(LONG_PTR window) {
  HWND w = Hwnd(window);
  if (CheckWindow(w)) SetForegroundWindow(w);
}

LONG_PTR win_GetActiveWindow() {
  HWND w = GetForegroundWindow();
  if (!IsWindow(w)) {
    RaiseMayReturn(6317);
    return 0;
  }
  if (w == TaskWindow() && g_state[sw_mdi] && g_state[sw_mdiClient])
    if (HWND a = reinterpret_cast<HWND>(
            SendMessageW(reinterpret_cast<HWND>(g_state[sw_mdiClient]), WM_MDIGETACTIVE, 0, 0)))
      w = a;
  return reinterpret_cast<LONG_PTR>(w);
}

void win_BringToTop(LONG_PTR window) {
  HWND w = Hwnd(window);
  if (!CheckWindow(w)) return;
  BringWindowToTop(w);
  if (IsDialogType(TypeOf(w))) g_state[sw_modeless] = window;
}

void win_Invalidate_0(LONG_PTR window) {
  HWND w = Hwnd(window);
  if (CheckWindow(w)) InvalidateRect(w, nullptr, TRUE);
}

void win_Invalidate_1(LONG_PTR window, rect_struct* rect) {
  HWND w = Hwnd(window);
  RECT r{rect->left, rect->top, rect->right, rect->bottom};
  if (CheckWindow(w)) InvalidateRect(w, &r, TRUE);
}

void win_ValidateRect(LONG_PTR window, rect_struct* rect) {
  HWND w = Hwnd(window);
  RECT r{rect->left, rect->top, rect->right, rect->bottom};
  if (CheckWindow(w)) ValidateRect(w, &r);
}

void win_Update(LONG_PTR window) {
  HWND w = Hwnd(window);
  if (CheckWindow(w)) UpdateWindow(w);
}

void win_CaptureMouse(LONG_PTR window) {
  HWND w = Hwnd(window);
  if (CheckWindow(w)) SetCapture(w);
}

void win_ReleaseMouse() { ReleaseCapture(); }

rect_struct* win_GetInvalidRect(LONG_PTR window) {
  HWND w = Hwnd(window);
  RECT r{};
  if (CheckWindow(w) && !GetUpdateRect(w, &r, FALSE)) r = RECT{};
  return RectOf(r);
}

void win_NeedsUpdate(LONG_PTR window, rect_struct* rect) {
  HWND w = Hwnd(window);
  if (!CheckValid(Drawable(w), 6001)) K::Fail();
  auto* paint = reinterpret_cast<const RECT*>(XZEV_GetWinData(w)->w[rw_paintRect]);
  RECT r{rect->left, rect->top, rect->right, rect->bottom}, both;
  if (!paint || !IntersectRect(&both, paint, &r)) K::Fail();
}

void win_Scroll(LONG_PTR window, rect_struct* rect, int dx, int dy) {
  HWND w = Hwnd(window);
  if (!CheckWindow(w) || (dx == 0 && dy == 0)) return;
  RECT r{rect->left, rect->top, rect->right, rect->bottom}, uncovered{};
  ScrollWindowEx(w, dx, dy, &r, &r, nullptr, &uncovered, SW_INVALIDATE | SW_ERASE);
  InvalidateRect(w, &uncovered, FALSE);
}

void win_SetScrollPos(LONG_PTR window, int bar, int pos) {
  HWND w = Hwnd(window);
  if (CheckWindow(w)) SetScrollPos(w, ScrollBar(bar), pos, TRUE);
}

void win_SetScrollRange(LONG_PTR window, int bar, int min, int max) {
  HWND w = Hwnd(window);
  if (CheckWindow(w)) SetScrollRange(w, ScrollBar(bar), min, max, TRUE);
}

int win_GetScrollPos(LONG_PTR window, int bar) {
  HWND w = Hwnd(window);
  return CheckWindow(w) ? GetScrollPos(w, ScrollBar(bar)) : 0;
}

void win_GetScrollRange(LONG_PTR window, int bar, int* min, int* max) {
  HWND w = Hwnd(window);
  *min = *max = 0;
  if (CheckWindow(w)) GetScrollRange(w, ScrollBar(bar), min, max);
}

void win_SetScrollProportion(LONG_PTR window, int bar, int page) {
  HWND w = Hwnd(window);
  if (!CheckWindow(w)) return;
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_PAGE;
  si.nPage = static_cast<UINT>(page);
  SetScrollInfo(w, ScrollBar(bar), &si, TRUE);
}

int win_GetScrollProportion(LONG_PTR window, int bar) {
  HWND w = Hwnd(window);
  if (!CheckWindow(w)) return 0;
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_PAGE;
  return GetScrollInfo(w, ScrollBar(bar), &si) ? static_cast<int>(si.nPage) : 0;
}

int win_IsChecked(LONG_PTR window) {
  HWND w = Hwnd(window);
  return static_cast<int>(IsDlgButtonChecked(GetParent(w), GetDlgCtrlID(w)));
}

void win_Check(LONG_PTR window, int state) {
  HWND w = Hwnd(window);
  if (!CheckWindow(w)) return;
  if (state < 0 || state > 2) return RaiseMayReturn(6010);
  if (int id = GetDlgCtrlID(w)) CheckDlgButton(GetParent(w), id, static_cast<UINT>(state));
}

void win_CheckRadioButton(LONG_PTR window, winlist_struct* group) {
  HWND w = Hwnd(window);
  if (!CheckValid(NonEmpty(group), 6003) || !CheckWindow(w)) return;
  SendMessageW(w, BM_SETCHECK, 1, 0);
  for (auto* c = group; c && c->functor == ListCons; c = c->next)
    if (Hwnd(c->value) != w) SendMessageW(Hwnd(c->value), BM_SETCHECK, 0, 0);
}

wsflags_struct* win_GetState(LONG_PTR window) {
  HWND w = Hwnd(window);
  const LONG_PTR style = GetWindowLongPtrW(w, GWL_STYLE);
  const int t = TypeOf(w);
  wsflags_struct* l = EmptyList();
  l = Push(l, IsWindowEnabled(w) ? 13 : 12);
  l = Push(l, (style & WS_VISIBLE) ? 10 : 11);
  l = Push(l, IsIconic(w) ? 15 : IsZoomed(w) ? 14 : 16);
  if (t == wt_edit && (style & ES_MULTILINE)) l = Push(l, 28);
  if (t == wt_checkbox && ((style & 0xF) == BS_3STATE || (style & 0xF) == BS_AUTO3STATE)) l = Push(l, 50);
  if (!Handled(w)) return l;
  const bool dialog = IsDialogType(t);
  const LONG_PTR s = dialog ? style : XZEV_GetWinData(w)->w[rw_style];
  if (s & WS_HSCROLL) l = Push(l, 7);
  if (s & WS_VSCROLL) l = Push(l, 8);
  if (s & WS_SYSMENU) l = Push(l, 4);
  if (s & WS_MAXIMIZEBOX) l = Push(l, 5);
  if (s & WS_MINIMIZEBOX) l = Push(l, 6);
  if ((s & WS_CAPTION) == WS_CAPTION) l = Push(l, 9);
  if (s & WS_THICKFRAME) l = Push(l, 2);
  else if (dialog || (s & WS_DLGFRAME)) l = Push(l, 3);
  else if (s & WS_BORDER) l = Push(l, 1);
  return l;
}

// Code 23: the push button becomes the default one of its parent; the one
// that was default before becomes a plain push button.
static void MakeDefaultButton(HWND w) {
  HWND parent = GetParent(w);
  for (HWND c = GetWindow(w, GW_HWNDFIRST); c; c = GetWindow(c, GW_HWNDNEXT)) {
    wchar_t name[16];
    if (c != w && GetClassNameW(c, name, 16) && _wcsicmp(name, L"BUTTON") == 0 &&
        (GetWindowLongPtrW(c, GWL_STYLE) & 0xF) == BS_DEFPUSHBUTTON)
      SendMessageW(c, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
  }
  SendMessageW(parent, DM_SETDEFID, GetDlgCtrlID(w), 0);
  SendMessageW(w, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
}

void win_SetState(LONG_PTR window, wsflags_struct* states) {
  HWND w = Hwnd(window);
  if (!CheckValid(NonEmpty(states), 6003)) return;
  for (auto* c = states; c && c->functor == ListCons; c = c->next) {
    LONG_PTR* style = &XZEV_GetWinData(w)->w[rw_style];
    const bool focused = GetFocus() == w;
    switch (c->value) {
      case 10: *style |= WS_VISIBLE; ShowWindow(w, SW_SHOW); break;
      case 11:
        *style &= ~static_cast<LONG_PTR>(WS_VISIBLE);
        ShowWindow(w, SW_HIDE);
        if (focused && GetParent(w)) SetFocus(GetParent(w));
        break;
      case 12:
        *style |= WS_DISABLED;
        EnableWindow(w, FALSE);
        if (focused && GetParent(w)) SetFocus(GetParent(w));
        break;
      case 13: *style &= ~static_cast<LONG_PTR>(WS_DISABLED); EnableWindow(w, TRUE); break;
      case 14: ShowWindow(w, SW_SHOWMAXIMIZED); break;
      case 15: ShowWindow(w, SW_SHOWMINIMIZED); break;
      case 16: ShowWindow(w, SW_SHOWNORMAL); break;
      case 23:
        if (TypeOf(w) != wt_pushbutton) return RaiseMayReturn(6001);
        MakeDefaultButton(w);
        break;
      default:
        if (Validating()) return RaiseMayReturn(6010);
        continue;
    }
    static const uintptr_t infos[] = {si_visible, si_invisible, si_disabled, si_enabled};
    if (c->value >= 10 && c->value <= 13) {
      if ((c->value == 10 || c->value == 11) && TypeOf(w) == wt_toplevel && g_state[sw_mdiClient])
        SendMessageW(reinterpret_cast<HWND>(g_state[sw_mdiClient]), WM_MDIREFRESHMENU, 0, 0);
      DeliverState(w, infos[c->value - 10], 0);
    }
  }
}

void win_Clear_0(LONG_PTR window, LONG_PTR colour) {
  HWND w = Hwnd(window);
  if (!CheckWindow(w)) return;
  rect_struct r{0, 0, 28672, 28672};
  if (TypeOf(w) != wt_print) {
    RECT rc{};
    GetClientRect(w, &rc);
    DrawScope s;
    if (OpenContext(w, dt_none, &s)) {
      DPtoLP(s.dc, reinterpret_cast<POINT*>(&rc), 2);
      EndDraw(&s);
    }
    r = {rc.left, rc.top, rc.right, rc.bottom};
  }
  win_Clear_1(window, &r, colour);
}

void win_Clear_1(LONG_PTR window, rect_struct* rect, LONG_PTR colour) {
  HWND w = Hwnd(window);
  if (!CheckValid(IsItemWindow(w) || Drawable(w), 6001)) return;
  uint8_t* mark = K::Memory::MarkGStack();
  pen_struct* oldPen = win_GetPen(window);
  brush_struct* oldBrush = win_GetBrush(window);
  brush_struct b{2, static_cast<uint32_t>(colour)};
  pen_struct p{1, 0, static_cast<uint32_t>(colour)};
  win_SetBrush(window, &b);
  win_SetPen(window, &p);
  draw_Rect(window, rect);
  win_SetPen(window, oldPen);
  win_SetBrush(window, oldBrush);
  K::Memory::ReleaseGStack(mark);
}

void win_Destroy(LONG_PTR window) {
  HWND w = Hwnd(window);
  int t = TypeOf(w);
  if (!CheckValid(t != wt_screen && t < wt_print, 6001)) return;
  HWND dying = StateReady() ? reinterpret_cast<HWND>(g_state[sw_destroying]) : nullptr;
  if (!CheckValid(!dying || !(w == dying || IsChild(w, dying)), 6230)) return;
  if (t == wt_modal) {
    EndDialog(w, DialogIndex(w));
  } else if (t == wt_modeless) {
    EndDialog(w, DialogIndex(w));
    DestroyWindow(w);
  } else if (t == wt_toplevel && g_state[sw_mdi] && g_state[sw_mdiClient] &&
             GetParent(w) == reinterpret_cast<HWND>(g_state[sw_mdiClient])) {
    DefMDIChildProcW(w, WM_CLOSE, 0, 0);
  } else {
    DestroyWindow(w);
  }
}

HDC win_GetNativeGraphicContext(LONG_PTR window, int* acquired) {
  HWND w = Hwnd(window);
  *acquired = 0;
  if (!CheckWindow(w)) return nullptr;
  bool release = false;
  HDC dc = DrawingContext(w, &release);
  _win_data* rec = XZEV_GetWinData(w);
  LONG_PTR* r = rec->w;
  if (dc && release) {
    // The held context starts with the window's tools, as every acquired one.
    DrawScope s{w, rec, dc, true, nullptr, nullptr, nullptr, nullptr};
    ApplyTools(&s, dt_pen | dt_brush | dt_text | dt_modes);
    if (s.clip) DeleteObject(s.clip);  // the context holds its own copy
    r[rw_keptDC] = reinterpret_cast<LONG_PTR>(dc);
    r[rw_keptDC + 1] = 1;
  }
  *acquired = release;
  return dc;
}

void win_ReleaseNativeGraphicContext(LONG_PTR window, HDC dc, int flag) {
  HWND w = Hwnd(window);
  if (!CheckWindow(w)) return;
  LONG_PTR* r = XZEV_GetWinData(w)->w;
  HDC kept = reinterpret_cast<HDC>(r[rw_keptDC]);
  if (kept && r[rw_keptDC + 1]) {
    // The window's tools stay the record's: the context gives them back.
    SelectObject(kept, GetStockObject(BLACK_PEN));
    SelectObject(kept, GetStockObject(WHITE_BRUSH));
    SelectObject(kept, GetStockObject(SYSTEM_FONT));
    SelectClipRgn(kept, nullptr);
    ReleaseDC(w, kept);
  }
  r[rw_keptDC] = r[rw_keptDC + 1] = 0;
  ClearDrawingCache();
  if (flag && dc && dc != kept) ReleaseDC(w, dc);
}

static void ArrangeMdi(UINT msg, ilist_struct* flags) {
  WPARAM how = 0;
  for (auto* c = flags; c && c->functor == ListCons; c = c->next) {
    if (c->value == 0) how |= MDITILE_HORIZONTAL;
    if (c->value == 2) how |= MDITILE_SKIPDISABLED;
  }
  if (StateReady() && g_state[sw_mdi] && g_state[sw_mdiClient])
    SendMessageW(reinterpret_cast<HWND>(g_state[sw_mdiClient]), msg, how, 0);
}

void kwi_MoveMDIWindowsTile(ilist_struct* flags) { ArrangeMdi(WM_MDITILE, flags); }
void kwi_MoveMDIWindowsCascade(ilist_struct* flags) { ArrangeMdi(WM_MDICASCADE, flags); }
void kwi_ArrangeMDIIcons() { ArrangeMdi(WM_MDIICONARRANGE, nullptr); }

LONG_PTR kwi_GetAttrVal(int attr) {
  static const int colours[] = {
      COLOR_ACTIVEBORDER, COLOR_ACTIVECAPTION, COLOR_APPWORKSPACE, COLOR_BACKGROUND,
      COLOR_BTNFACE, COLOR_BTNSHADOW, COLOR_BTNTEXT, COLOR_CAPTIONTEXT, COLOR_GRAYTEXT,
      COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT, COLOR_INACTIVEBORDER, COLOR_INACTIVECAPTION,
      COLOR_INACTIVECAPTIONTEXT, COLOR_MENU, COLOR_MENUTEXT, COLOR_SCROLLBAR, COLOR_WINDOW,
      COLOR_WINDOWFRAME, COLOR_WINDOWTEXT, COLOR_INFOTEXT, COLOR_INFOBK, COLOR_BTNTEXT,
      COLOR_3DHILIGHT, COLOR_3DDKSHADOW, COLOR_3DLIGHT};
  static const int metrics[] = {SM_CXFRAME, SM_CYFRAME, SM_CXBORDER, SM_CYBORDER,
                                SM_CXDLGFRAME, SM_CYDLGFRAME, SM_CYMENU, SM_CYCAPTION};
  static const int caps[] = {VERTRES, HORZRES, LOGPIXELSX, LOGPIXELSY};
  const LONG_PTR* s = StateReady() ? g_state : g_pending;
  if (attr >= 104 && attr <= 129) return static_cast<LONG_PTR>(GetSysColor(colours[attr - 104]));
  if (attr >= 200 && attr <= 202) return 24;
  if (attr >= 500 && attr <= 507) return GetSystemMetrics(metrics[attr - 500]);
  if (attr >= 400 && attr <= 407) {
    HDC dc = attr < 404 ? GetDC(nullptr) : DefaultPrinterIC();
    if (!dc) return 0;
    LONG_PTR v = GetDeviceCaps(dc, caps[(attr - 400) % 4]);
    if (attr < 404) ReleaseDC(nullptr, dc);
    else DeleteDC(dc);
    return v;
  }
  switch (attr) {
    case 101: {
      HDC dc = GetDC(nullptr);
      int n = GetDeviceCaps(dc, NUMCOLORS);
      ReleaseDC(nullptr, dc);
      return n > 2 ? 1 : 0;
    }
    case 102: return GetSystemMetrics(SM_MOUSEPRESENT);
    case 103: return 10000;
    case 203: return GetSystemMetrics(SM_CYHSCROLL);
    case 204: return GetSystemMetrics(SM_CXVSCROLL);
    case 205: case 206: return 18;
    case 207: return GetSystemMetrics(SM_CXICON);
    case 208: return GetSystemMetrics(SM_CYICON);
    case 300: return reinterpret_cast<LONG_PTR>(GetDesktopWindow());
    case 301: return reinterpret_cast<LONG_PTR>(TaskWindow());
    case 408: return g_attr408;
    case 10001: return reinterpret_cast<LONG_PTR>(g_app);
    case 10002: return g_mdi;
    case 10003: return StateReady() ? g_state[sw_mdiClient] : 0;
    case 10004: return s[sw_insetTop];
    case 10005: return s[sw_insetBottom];
    case 10010: return s[sw_insetLeft];
    case 10011: return s[sw_insetRight];
    case 10007: return s[sw_noModified];
    case 10008: return s[sw_erase];
    case 10009: return s[sw_attr10009];
    default:
      if (Validating()) RaiseMayReturn(6010);
      return 0;
  }
}

namespace detail {
void SetAttr408(LONG_PTR value) { g_attr408 = value; }
}  // namespace detail

}  // namespace QEL_KWI
