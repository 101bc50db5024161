// Drawing primitives, drawing tools, mapping and clipping.  A held context
// (paint, owner draw, picture, printing) already carries the window's tools,
// because every setter applies its tool to it at once; an acquired context
// gets them from the window record for one call and is released after it.
#include <climits>
#include <cwchar>

#include "gdi.h"

namespace QEL_KWI {
namespace detail {

rect_struct* NewRect(LONG left, LONG top, LONG right, LONG bottom) {
  auto* r = GNew<rect_struct>();
  *r = {left, top, right, bottom};
  return r;
}

pnt_struct* NewPoint(LONG x, LONG y) {
  auto* p = GNew<pnt_struct>();
  *p = {x, y};
  return p;
}

bool CheckValid(bool ok, int code) {
  if (ok || !Validating()) return true;
  RaiseMayReturn(code);
  return false;
}

bool CheckWindow(HWND w) { return CheckValid(IsWindow(w) != 0, 6000); }

bool IsItemWindow(HWND w) {
  return w && StateReady() && g_state[sw_itemWin] == reinterpret_cast<LONG_PTR>(w);
}

void DeliverState(HWND w, uintptr_t alt, LONG_PTR value) {
  uint8_t* mark = K::Memory::MarkGStack();
  auto* info = GNew<stateinfo>();
  *info = {alt, value};
  event_struct e{};
  e.kind = e_state;
  e.w[0] = reinterpret_cast<LONG_PTR>(info);
  DeliverEvent(w, &e, nullptr);
  K::Memory::ReleaseGStack(mark);
}

int TextLength(const wchar_t* text, int length) {
  if (!text) return 0;
  size_t n = length < 0 ? wcslen(text) : wcsnlen(text, static_cast<size_t>(length));
  return n > INT_MAX ? INT_MAX : static_cast<int>(n);
}

int MapModeToWindows(LONG_PTR mode) {
  static const int modes[] = {MM_ANISOTROPIC, MM_TEXT, MM_HIMETRIC, MM_LOMETRIC,
                              MM_HIENGLISH,   MM_LOENGLISH, MM_TWIPS};
  return mode >= 0 && mode <= 6 ? modes[mode] : MM_TEXT;
}

static int MapModeFromWindows(int mode) {
  switch (mode) {
    case MM_LOMETRIC: return 3;
    case MM_HIMETRIC: return 2;
    case MM_LOENGLISH: return 5;
    case MM_HIENGLISH: return 4;
    case MM_TWIPS: return 6;
    case MM_ANISOTROPIC: return 0;
    default: return 1;
  }
}

void ApplyMapping(HDC dc, const _win_data* r) {
  const LONG_PTR* s = r->w;
  if (s[rw_mapMode] != 1) SetMapMode(dc, MapModeToWindows(s[rw_mapMode]));
  auto i = [](LONG_PTR v) { return static_cast<int>(v); };
  if (s[rw_winOrgX] || s[rw_winOrgY]) SetWindowOrgEx(dc, i(s[rw_winOrgX]), i(s[rw_winOrgY]), nullptr);
  if (s[rw_winExtX] != 1 || s[rw_winExtY] != 1)
    SetWindowExtEx(dc, i(s[rw_winExtX]), i(s[rw_winExtY]), nullptr);
  if (s[rw_vpOrgX] || s[rw_vpOrgY]) SetViewportOrgEx(dc, i(s[rw_vpOrgX]), i(s[rw_vpOrgY]), nullptr);
  if (s[rw_vpExtX] != 1 || s[rw_vpExtY] != 1)
    SetViewportExtEx(dc, i(s[rw_vpExtX]), i(s[rw_vpExtY]), nullptr);
}

HRGN MakeClip(const _win_data* r) {
  auto* paint = reinterpret_cast<const RECT*>(r->w[rw_paintRect]);
  HRGN own = reinterpret_cast<HRGN>(r->w[rw_clipRgn]);
  if (!paint && !own) return nullptr;
  HRGN clip = paint ? CreateRectRgnIndirect(paint) : CreateRectRgn(0, 0, 0, 0);
  if (!clip) return nullptr;
  if (paint && own) CombineRgn(clip, clip, own, RGN_AND);
  else if (own) CombineRgn(clip, own, nullptr, RGN_COPY);
  return clip;
}

bool OpenContext(HWND w, unsigned tools, DrawScope* s) {
  *s = DrawScope{};
  s->window = w;
  bool release = false;
  s->dc = DrawingContext(w, &release);
  if (!s->dc) return false;
  s->acquired = release;
  if (!release) return true;  // a held context carries the tools already
  s->rec = XZEV_GetWinData(w);
  ApplyTools(s, tools);
  return true;
}

void ApplyTools(DrawScope* s, unsigned tools) {
  const LONG_PTR* r = s->rec->w;
  if (!r[rw_valid]) return;
  ApplyMapping(s->dc, s->rec);
  if ((s->clip = MakeClip(s->rec))) SelectClipRgn(s->dc, s->clip);
  auto select = [&](int word, HGDIOBJ* old) {
    if (r[word]) *old = SelectObject(s->dc, reinterpret_cast<HGDIOBJ>(r[word]));
  };
  if (tools & (dt_pen | dt_brush)) select(rw_pen, &s->oldPen);
  if (tools & dt_brush) select(rw_brush, &s->oldBrush);
  if (tools & dt_text) select(rw_font, &s->oldFont);
  if (tools & (dt_modes | dt_text)) {
    SetROP2(s->dc, static_cast<int>(r[rw_rop] + 1));
    SetBkMode(s->dc, r[rw_bkMode] == 1 ? TRANSPARENT : OPAQUE);
    SetBkColor(s->dc, static_cast<COLORREF>(r[rw_bkColor]));
  }
  if (tools & dt_text) SetTextColor(s->dc, static_cast<COLORREF>(r[rw_textColor]));
}

bool BeginDraw(HWND w, unsigned tools, DrawScope* s) {
  if (Validating()) {
    // The cached window exists: destroying it frees its record, which clears the cache.
    if (!IsCachedWindow(w) && !IsWindow(w)) {
      RaiseMayReturn(6000);
      return false;
    }
    if (StateReady() && g_state[sw_inErase] && !IsItemWindow(w)) {
      RaiseMayReturn(6231);
      return false;
    }
  }
  return OpenContext(w, tools, s);
}

void EndDraw(DrawScope* s) {
  if (!s->dc || !s->acquired) return;
  if (s->oldPen) SelectObject(s->dc, s->oldPen);
  if (s->oldBrush) SelectObject(s->dc, s->oldBrush);
  if (s->oldFont) SelectObject(s->dc, s->oldFont);
  if (s->clip) {
    SelectClipRgn(s->dc, nullptr);
    DeleteObject(s->clip);
  }
  if (s->window && s->window != GetDesktopWindow()) ReleaseDC(s->window, s->dc);
  else ReleaseDC(nullptr, s->dc);
  s->dc = nullptr;
}

static POINT* Points(const pntlist_struct* l, int* n) {
  *n = 0;
  for (auto* c = l; c && c->functor == ListCons; c = c->next) ++*n;
  if (*n == 0) return nullptr;
  auto* pts = reinterpret_cast<POINT*>(K::Memory::AllocGStack(static_cast<uint32_t>(*n) * sizeof(POINT)));
  int i = 0;
  for (auto* c = l; c && c->functor == ListCons; c = c->next, ++i) pts[i] = {c->value->x, c->value->y};
  return pts;
}

static HPEN MakePen(const pen_struct* p) {
  static const int styles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL};
  LOGPEN lp{};
  lp.lopnStyle = p->style >= 0 && p->style <= 5 ? styles[p->style] : PS_SOLID;
  lp.lopnWidth.x = p->width;
  lp.lopnColor = p->colour;
  return CreatePenIndirect(&lp);
}

static HBRUSH MakeBrush(const brush_struct* b) {
  LOGBRUSH lb{};
  lb.lbColor = b->colour;
  if (b->style == 1) {
    lb.lbStyle = BS_NULL;
  } else if (b->style >= 3 && b->style <= 8) {
    lb.lbStyle = BS_HATCHED;
    lb.lbHatch = static_cast<ULONG_PTR>(b->style - 3);
  } else {
    lb.lbStyle = BS_SOLID;
  }
  return CreateBrushIndirect(&lb);
}

// Tool setters and getters may act on drawable windows and on the owner-drawn
// item's window.
static bool ToolWindow(HWND w) { return CheckValid(IsItemWindow(w) || Drawable(w), 6001); }

// Puts a new pen or brush in place: selected at once into a held context
// (the owner-drawn item keeps the first object it displaced for the end of
// the item), kept by the record otherwise.
static void PlaceObject(HWND w, HGDIOBJ made, int recordWord, int itemWord, int itemOldWord) {
  if (!made) return;
  bool release = false;
  HDC dc = DrawingContext(w, &release);
  if (!dc) {
    DeleteObject(made);
    return;
  }
  if (release) {
    _win_data* r = XZEV_GetWinData(w);
    if (r->w[recordWord]) DeleteObject(reinterpret_cast<HGDIOBJ>(r->w[recordWord]));
    r->w[recordWord] = reinterpret_cast<LONG_PTR>(made);
    ReleaseDC(w == GetDesktopWindow() ? nullptr : w, dc);
    return;
  }
  HGDIOBJ displaced = SelectObject(dc, made);
  if (IsItemWindow(w)) {
    if (!g_state[itemOldWord]) g_state[itemOldWord] = reinterpret_cast<LONG_PTR>(displaced);
    else if (displaced) DeleteObject(displaced);
    g_state[itemWord] = reinterpret_cast<LONG_PTR>(made);
    return;
  }
  _win_data* r = XZEV_GetWinData(w);
  HGDIOBJ previous = reinterpret_cast<HGDIOBJ>(r->w[recordWord]);
  if (previous) DeleteObject(previous);
  if (displaced && displaced != previous) DeleteObject(displaced);
  r->w[recordWord] = reinterpret_cast<LONG_PTR>(made);
}

static HGDIOBJ CurrentObject(HWND w, int recordWord, int itemWord) {
  if (IsItemWindow(w) && g_state[itemWord]) return reinterpret_cast<HGDIOBJ>(g_state[itemWord]);
  return reinterpret_cast<HGDIOBJ>(XZEV_GetWinData(w)->w[recordWord]);
}

// Applies a mode or colour: at once to a held context, to the record unless
// the window is the owner-drawn item.
template <class Apply>
static void SetMode(HWND w, int recordWord, LONG_PTR value, Apply apply) {
  if (!ToolWindow(w)) return;
  bool release = false;
  HDC dc = DrawingContext(w, &release);
  if (dc && !release) apply(dc);
  if (dc && release) ReleaseDC(w, dc);
  if (!IsItemWindow(w)) XZEV_GetWinData(w)->w[recordWord] = value;
}

}  // namespace detail

using namespace detail;

void draw_Pixel(LONG_PTR window, pnt_struct* p, LONG_PTR colour) {
  DrawScope s;
  if (!BeginDraw(Hwnd(window), dt_none, &s)) return;
  if (s.acquired && s.rec->w[rw_valid]) SetROP2(s.dc, static_cast<int>(s.rec->w[rw_rop] + 1));
  if (GetDeviceCaps(s.dc, RASTERCAPS) & RC_BITBLT)
    SetPixel(s.dc, p->x, p->y, static_cast<COLORREF>(colour));
  EndDraw(&s);
}

void draw_Line(LONG_PTR window, pnt_struct* from, pnt_struct* to) {
  DrawScope s;
  if (!BeginDraw(Hwnd(window), dt_pen | dt_modes, &s)) return;
  MoveToEx(s.dc, from->x, from->y, nullptr);
  LineTo(s.dc, to->x, to->y);
  EndDraw(&s);
}

void draw_Arc(LONG_PTR window, rect_struct* r, int x1, int y1, int x2, int y2) {
  DrawScope s;
  if (!BeginDraw(Hwnd(window), dt_pen | dt_modes, &s)) return;
  Arc(s.dc, r->left, r->top, r->right, r->bottom, x1, y1, x2, y2);
  EndDraw(&s);
}

static void DrawPoints(LONG_PTR window, pntlist_struct* points, unsigned tools, bool polygon) {
  if (!points || points->functor != ListCons) {
    if (Validating()) RaiseMayReturn(6003);
    return;
  }
  DrawScope s;
  uint8_t* mark = K::Memory::MarkGStack();
  if (BeginDraw(Hwnd(window), tools, &s)) {
    int n = 0;
    POINT* pts = Points(points, &n);
    if (polygon) Polygon(s.dc, pts, n);
    else Polyline(s.dc, pts, n);
    EndDraw(&s);
  }
  K::Memory::ReleaseGStack(mark);
}

void draw_Polyline(LONG_PTR window, pntlist_struct* points) {
  DrawPoints(window, points, dt_pen | dt_modes, false);
}

void draw_Polygon(LONG_PTR window, pntlist_struct* points) {
  DrawPoints(window, points, dt_pen | dt_brush | dt_modes, true);
}

void draw_Ellipse(LONG_PTR window, rect_struct* r) {
  DrawScope s;
  if (!BeginDraw(Hwnd(window), dt_brush | dt_modes, &s)) return;
  Ellipse(s.dc, r->left, r->top, r->right, r->bottom);
  EndDraw(&s);
}

void draw_Pie(LONG_PTR window, rect_struct* r, int x1, int y1, int x2, int y2) {
  DrawScope s;
  if (!BeginDraw(Hwnd(window), dt_brush | dt_modes, &s)) return;
  Pie(s.dc, r->left, r->top, r->right, r->bottom, x1, y1, x2, y2);
  EndDraw(&s);
}

void draw_Rect(LONG_PTR window, rect_struct* r) {
  DrawScope s;
  if (!BeginDraw(Hwnd(window), dt_brush | dt_modes, &s)) return;
  Rectangle(s.dc, r->left, r->top, r->right, r->bottom);
  EndDraw(&s);
}

void draw_RoundRect(LONG_PTR window, rect_struct* r, int cornerWidth, int cornerHeight) {
  DrawScope s;
  if (!BeginDraw(Hwnd(window), dt_brush | dt_modes, &s)) return;
  RoundRect(s.dc, r->left, r->top, r->right, r->bottom, cornerWidth, cornerHeight);
  EndDraw(&s);
}

void draw_FloodFill(LONG_PTR window, pnt_struct* p, LONG_PTR boundary) {
  DrawScope s;
  if (!BeginDraw(Hwnd(window), dt_brush | dt_modes, &s)) return;
  FloodFill(s.dc, p->x, p->y, static_cast<COLORREF>(boundary));
  EndDraw(&s);
}

void draw_Icon(LONG_PTR window, int x, int y, unsigned iconId) {
  HWND w = Hwnd(window);
  if (Validating()) {
    if (!IsWindow(w)) return RaiseMayReturn(6000);
    if (StateReady() && g_state[sw_inErase] && !IsItemWindow(w)) return RaiseMayReturn(6231);
  }
  HICON icon = LoadIconW(g_app, MAKEINTRESOURCEW(iconId));
  if (!icon) return RaiseMayReturn(6052);
  DrawScope s;
  if (OpenContext(w, dt_none, &s)) {
    DrawIcon(s.dc, x, y, icon);
    EndDraw(&s);
  }
  DestroyIcon(icon);
}

void draw_Text(LONG_PTR window, int x, int y, const u16* text, int length) {
  DrawScope s;
  if (!BeginDraw(Hwnd(window), dt_text, &s)) return;
  SetTextAlign(s.dc, TA_BASELINE);
  TextOutW(s.dc, x, y, text ? text : L"", TextLength(text, length));
  SetTextAlign(s.dc, 0);
  EndDraw(&s);
}

void draw_TextInRect(LONG_PTR window, rect_struct* r, const u16* text, int length,
                     ilist_struct* flags) {
  static const UINT formats[] = {DT_BOTTOM, 0, DT_CENTER, DT_EXPANDTABS, DT_EXTERNALLEADING,
                                 DT_LEFT, DT_NOCLIP, DT_NOPREFIX, DT_RIGHT, DT_SINGLELINE,
                                 DT_TABSTOP, DT_TOP, DT_VCENTER, DT_WORDBREAK};
  UINT format = 0;
  for (auto* c = flags; c && c->functor == ListCons; c = c->next) {
    int code = static_cast<int>(c->value & 0xFF);
    if (code == 1 || code > 13) return RaiseMayReturn(6010);
    format |= formats[code];
    if (code == 10) format |= static_cast<UINT>(c->value & 0xFF00);
  }
  DrawScope s;
  if (!BeginDraw(Hwnd(window), dt_text, &s)) return;
  RECT rc{r->left, r->top, r->right, r->bottom};
  DrawTextW(s.dc, text ? text : L"", TextLength(text, length), &rc, format);
  EndDraw(&s);
}

void win_SetPen(LONG_PTR window, pen_struct* pen) {
  HWND w = Hwnd(window);
  if (ToolWindow(w)) PlaceObject(w, MakePen(pen), rw_pen, sw_itemPen, sw_itemPenOld);
}

void win_SetBrush(LONG_PTR window, brush_struct* brush) {
  HWND w = Hwnd(window);
  if (ToolWindow(w)) PlaceObject(w, MakeBrush(brush), rw_brush, sw_itemBrush, sw_itemBrushOld);
}

pen_struct* win_GetPen(LONG_PTR window) {
  HWND w = Hwnd(window);
  auto* p = GNew<pen_struct>();
  *p = {1, 0, 0};
  if (!CheckWindow(w) || !ToolWindow(w)) return p;
  LOGPEN lp;
  HGDIOBJ pen = CurrentObject(w, rw_pen, sw_itemPen);
  if (pen && GetObjectW(pen, sizeof lp, &lp)) {
    static const UINT styles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL};
    p->style = 0;
    for (int i = 0; i < 6; ++i)
      if (lp.lopnStyle == styles[i]) p->style = i;
    p->width = lp.lopnWidth.x;
    p->colour = lp.lopnColor;
  }
  return p;
}

brush_struct* win_GetBrush(LONG_PTR window) {
  HWND w = Hwnd(window);
  auto* b = GNew<brush_struct>();
  *b = {2, 0xFFFFFF};
  if (!ToolWindow(w)) return b;
  LOGBRUSH lb;
  HGDIOBJ brush = CurrentObject(w, rw_brush, sw_itemBrush);
  if (brush && GetObjectW(brush, sizeof lb, &lb)) {
    b->colour = lb.lbColor;
    if (lb.lbStyle == BS_NULL) b->style = 1;
    else if (lb.lbStyle == BS_HATCHED) b->style = lb.lbHatch <= 5 ? 3 + static_cast<int>(lb.lbHatch) : 7;
    else b->style = 2;
  }
  return b;
}

void win_SetDrawMode(LONG_PTR window, int mode) {
  SetMode(Hwnd(window), rw_rop, mode, [&](HDC dc) { SetROP2(dc, mode + 1); });
}

int win_GetDrawMode(LONG_PTR window) {
  HWND w = Hwnd(window);
  if (!ToolWindow(w)) return 0;
  bool release = false;
  HDC dc = DrawingContext(w, &release);
  if (!dc) return 0;
  if (release) {
    ReleaseDC(w, dc);
    return static_cast<int>(XZEV_GetWinData(w)->w[rw_rop]);
  }
  return GetROP2(dc) - 1;
}

void win_SetForeColor(LONG_PTR window, LONG_PTR colour) {
  SetMode(Hwnd(window), rw_textColor, colour,
          [&](HDC dc) { SetTextColor(dc, static_cast<COLORREF>(colour)); });
}

void win_SetBackColor(LONG_PTR window, LONG_PTR colour) {
  SetMode(Hwnd(window), rw_bkColor, colour,
          [&](HDC dc) { SetBkColor(dc, static_cast<COLORREF>(colour)); });
}

void win_SetBackMode(LONG_PTR window, int mode) {
  SetMode(Hwnd(window), rw_bkMode, mode,
          [&](HDC dc) { SetBkMode(dc, mode == 1 ? TRANSPARENT : OPAQUE); });
}

void win_SetDrawTools(LONG_PTR window, drawtools_struct* t) {
  if (!ToolWindow(Hwnd(window))) return;
  win_SetPen(window, t->pen);
  win_SetBrush(window, t->brush);
  win_SetDrawMode(window, t->drawMode);
  win_SetFont(window, t->font);
  win_SetBackColor(window, t->backColour);
  win_SetForeColor(window, t->foreColour);
  win_SetBackMode(window, t->backMode);
}

drawtools_struct* win_GetDrawTools(LONG_PTR window) {
  HWND w = Hwnd(window);
  auto* t = GNew<drawtools_struct>();
  t->pen = win_GetPen(window);
  t->brush = win_GetBrush(window);
  t->drawMode = win_GetDrawMode(window);
  t->font = win_GetFont(window);
  if (IsItemWindow(w)) {
    HDC dc = reinterpret_cast<HDC>(g_state[sw_itemDC]);
    t->foreColour = GetTextColor(dc);
    t->backColour = GetBkColor(dc);
    t->backMode = GetBkMode(dc) == TRANSPARENT ? 1 : 2;
  } else {
    const LONG_PTR* r = XZEV_GetWinData(w)->w;
    t->foreColour = static_cast<uint32_t>(r[rw_textColor]);
    t->backColour = static_cast<uint32_t>(r[rw_bkColor]);
    t->backMode = static_cast<int32_t>(r[rw_bkMode]);
  }
  return t;
}

drawtools_struct* win_GetDefaultDrawTools() {
  auto* t = GNew<drawtools_struct>();
  t->pen = GNew<pen_struct>();
  *t->pen = {1, 0, 0};
  t->brush = GNew<brush_struct>();
  *t->brush = {2, 0xFFFFFF};
  t->drawMode = R2_COPYPEN - 1;
  t->font = DefaultFont();
  t->foreColour = 0;
  t->backColour = 0xFFFFFF;
  t->backMode = 1;
  return t;
}

void win_SetMapMode(LONG_PTR window, int mode) {
  HWND w = Hwnd(window);
  if (!CheckWindow(w)) return;
  if (!CheckValid(w != GetDesktopWindow(), 6001)) return;
  if (mode < 0 || mode > 6) return RaiseMayReturn(6010);
  bool release = false;
  HDC dc = DrawingContext(w, &release);
  if (dc && !release) SetMapMode(dc, MapModeToWindows(mode));
  if (dc && release) ReleaseDC(w, dc);
  if (!IsItemWindow(w)) XZEV_GetWinData(w)->w[rw_mapMode] = mode;
}

int win_GetMapMode(LONG_PTR window) {
  HWND w = Hwnd(window);
  if (!CheckWindow(w)) return 1;
  bool release = false;
  HDC dc = DrawingContext(w, &release);
  if (!dc) return 1;
  if (release) {
    ReleaseDC(w, dc);
    return static_cast<int>(XZEV_GetWinData(w)->w[rw_mapMode]);
  }
  return MapModeFromWindows(GetMapMode(dc));
}

void win_SetMapScale(LONG_PTR window, pnt_struct* wo, pnt_struct* we, pnt_struct* vo,
                     pnt_struct* ve) {
  HWND w = Hwnd(window);
  if (!CheckWindow(w)) return;
  if (!CheckValid(w != GetDesktopWindow() && WindowType(w) != wt_metafile, 6001)) return;
  if (!IsItemWindow(w)) {
    LONG_PTR* r = XZEV_GetWinData(w)->w;
    r[rw_winOrgX] = wo->x, r[rw_winOrgY] = wo->y, r[rw_winExtX] = we->x, r[rw_winExtY] = we->y;
    r[rw_vpOrgX] = vo->x, r[rw_vpOrgY] = vo->y, r[rw_vpExtX] = ve->x, r[rw_vpExtY] = ve->y;
  }
  bool release = false;
  HDC dc = DrawingContext(w, &release);
  if (dc && !release) {
    (void)(SetWindowOrgEx(dc, wo->x, wo->y, nullptr) && SetWindowExtEx(dc, we->x, we->y, nullptr) &&
           SetViewportOrgEx(dc, vo->x, vo->y, nullptr) && SetViewportExtEx(dc, ve->x, ve->y, nullptr));
  }
  if (dc && release) ReleaseDC(w, dc);
}

void win_GetMapScale(LONG_PTR window, pnt_struct** wo, pnt_struct** we, pnt_struct** vo,
                     pnt_struct** ve) {
  HWND w = Hwnd(window);
  *wo = NewPoint(0, 0), *we = NewPoint(0, 0), *vo = NewPoint(0, 0), *ve = NewPoint(0, 0);
  if (!CheckWindow(w)) return;
  bool release = false;
  HDC dc = DrawingContext(w, &release);
  if (!dc) return;
  if (release) {
    ReleaseDC(w, dc);
    const LONG_PTR* r = XZEV_GetWinData(w)->w;
    auto i = [](LONG_PTR v) { return static_cast<LONG>(v); };
    **wo = {i(r[rw_winOrgX]), i(r[rw_winOrgY])};
    **we = {i(r[rw_winExtX]), i(r[rw_winExtY])};
    **vo = {i(r[rw_vpOrgX]), i(r[rw_vpOrgY])};
    **ve = {i(r[rw_vpExtX]), i(r[rw_vpExtY])};
    return;
  }
  POINT p;
  SIZE z;
  if (!GetWindowOrgEx(dc, &p)) return;
  **wo = {p.x, p.y};
  if (!GetWindowExtEx(dc, &z)) return;
  **we = {z.cx, z.cy};
  if (!GetViewportOrgEx(dc, &p)) return;
  **vo = {p.x, p.y};
  if (!GetViewportExtEx(dc, &z)) return;
  **ve = {z.cx, z.cy};
}

// Logical to device units of the record's mapping, in 64-bit arithmetic.
static LONG ToDevice(LONG v, LONG_PTR org, LONG_PTR ext, LONG_PTR vpExt, LONG_PTR vpOrg) {
  int64_t d = (static_cast<int64_t>(v) - org) * vpExt / ext + vpOrg;
  return static_cast<LONG>(d < LONG_MIN ? LONG_MIN : d > LONG_MAX ? LONG_MAX : d);
}

void win_SetClip(LONG_PTR window, rect_struct* rect) {
  HWND w = Hwnd(window);
  if (!ToolWindow(w)) return;
  _win_data* rec = XZEV_GetWinData(w);
  LONG_PTR* r = rec->w;
  r[rw_clipLeft] = rect->left, r[rw_clipLeft + 1] = rect->top;
  r[rw_clipLeft + 2] = rect->right, r[rw_clipLeft + 3] = rect->bottom;
  RECT rc{rect->left, rect->top, rect->right, rect->bottom};
  if (WindowType(w) == wt_print && r[rw_winExtX] && r[rw_winExtY]) {
    rc.left = ToDevice(rc.left, r[rw_winOrgX], r[rw_winExtX], r[rw_vpExtX], r[rw_vpOrgX]);
    rc.right = ToDevice(rc.right, r[rw_winOrgX], r[rw_winExtX], r[rw_vpExtX], r[rw_vpOrgX]);
    rc.top = ToDevice(rc.top, r[rw_winOrgY], r[rw_winExtY], r[rw_vpExtY], r[rw_vpOrgY]);
    rc.bottom = ToDevice(rc.bottom, r[rw_winOrgY], r[rw_winExtY], r[rw_vpExtY], r[rw_vpOrgY]);
  }
  HRGN region = CreateRectRgnIndirect(&rc);
  if (!region) return RaiseMayReturn(6002);
  auto replace = [&](LONG_PTR* word) {
    if (*word) DeleteObject(reinterpret_cast<HGDIOBJ>(*word));
    *word = reinterpret_cast<LONG_PTR>(region);
  };
  if (IsItemWindow(w)) {
    SelectClipRgn(reinterpret_cast<HDC>(g_state[sw_itemDC]), region);
    replace(&g_state[sw_itemClip]);
    return;
  }
  bool release = false;
  HDC dc = DrawingContext(w, &release);
  replace(&r[rw_clipRgn]);
  if (!dc || release) {
    if (dc) ReleaseDC(w, dc);
    return;
  }
  // A held context: inside a paint the clip stays within the paint rectangle.
  if (HRGN combined = MakeClip(rec)) {
    SelectClipRgn(dc, combined);
    DeleteObject(combined);
  } else {
    SelectClipRgn(dc, region);
  }
}

rect_struct* win_GetClip(LONG_PTR window) {
  HWND w = Hwnd(window);
  rect_struct* out = NewRect(-32000, -32000, 32000, 32000);
  if (!CheckWindow(w) || !ToolWindow(w)) return out;
  const LONG_PTR* r = XZEV_GetWinData(w)->w;
  if (r[rw_clipLeft] || r[rw_clipLeft + 1] || r[rw_clipLeft + 2] || r[rw_clipLeft + 3])
    *out = {static_cast<LONG>(r[rw_clipLeft]), static_cast<LONG>(r[rw_clipLeft + 1]),
            static_cast<LONG>(r[rw_clipLeft + 2]), static_cast<LONG>(r[rw_clipLeft + 3])};
  return out;
}

LONG_PTR win_GetPixel(LONG_PTR window, pnt_struct* p) {
  HWND w = Hwnd(window);
  if (!ToolWindow(w)) return 0;
  bool release = false;
  HDC dc = DrawingContext(w, &release);
  if (!dc) return 0;
  COLORREF c = GetPixel(dc, p->x, p->y);
  if (release) ReleaseDC(w == GetDesktopWindow() ? nullptr : w, dc);
  return static_cast<LONG_PTR>(c);
}

}  // namespace QEL_KWI
