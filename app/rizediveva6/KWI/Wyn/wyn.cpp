// wyn: see the header.  Every dispatching operation goes through Dispatch,
// which tells the three alternatives apart once.
#include "KWI/Wyn/wyn.h"

#include <windows.h>
#include <shellapi.h>

#include "KWI/Wyn/checked.h"
#include "kwi/kwi.h"
#include "qel6run_lib.h"
#include "SYSTEM/orv_math/orv_math.h"
#include "unit.h"

namespace rizediveva6 {

using namespace QEL_KWI;
namespace C = checked;

const tav::ClassInfo wyn::classInfo{L"qel6pack/chainDB/wyn", TAV_CLASS_VERSION};

namespace {

constexpr pen_struct kBlackPen{1, 0, 0x000000};
constexpr pen_struct kWhitePen{1, 0, 0xFFFFFF};
constexpr pen_struct kGreyPen{1, 0, 0x808080};
constexpr pen_struct kGreenPen{1, 0, 0x00FF00};
constexpr brush_struct kRedHatchedBrush{5, 0x0000FF};
constexpr brush_struct kBlackBrush{2, 0x000000};

// Runs draw(window) on screen and prnt; true on wnull; false for anything
// else.
template <class F>
bool Dispatch(wyndow t, F draw) {
  switch (t.alt) {
    case wyndow::screen:
    case wyndow::prnt:
      draw(t.window);
      return true;
    case wyndow::wnull:
      return true;
    default:
      return false;
  }
}

bool IsWindowTarget(wyndow t) { return t.alt == wyndow::screen || t.alt == wyndow::prnt; }

void Line(LONG_PTR w, pnt_struct a, pnt_struct b) { draw_Line(w, &a, &b); }

void SetPen(LONG_PTR w, pen_struct p) { win_SetPen(w, &p); }
void SetBrush(LONG_PTR w, brush_struct b) { win_SetBrush(w, &b); }

uint32_t Compose(uint32_t r, uint32_t g, uint32_t b) {
  return static_cast<uint32_t>(kwi_ComposeRGB(C::U2I(r), C::U2I(g), C::U2I(b)));
}

// The four-corner stripes along the top of (L, T, R, Bo): one every 2S
// pixels from L + 1 while below R - 1.  No stripes without a height
// (S = 0) or without a positive limit (R <= 0).
void DrawStripes(LONG_PTR w, rect_struct r) {
  const int32_t h = C::Sub(r.bottom, r.top);
  if (h <= 0) return;
  const int32_t s = C::U2I(C::R2U(0.3 * h));
  if (s == 0 || r.right <= 0) return;
  const int32_t limit = r.right - 1;
  const int32_t y = C::Add(r.top, 1), ys = C::Add(y, s);
  for (int32_t x = C::Add(r.left, 1); x < limit;) {
    const int32_t xs = C::Add(x, s), x2s = C::Add(xs, s);
    pnt_struct corners[4] = {{x, y}, {xs, y}, {x2s, ys}, {xs, ys}};
    pntlist_struct cells[5];
    cells[4] = {ListNil, nullptr, nullptr};
    for (int i = 3; i >= 0; --i) cells[i] = {ListCons, &corners[i], &cells[i + 1]};
    draw_Polygon(w, &cells[0]);
    x = x2s;
  }
}

// One channel of the fade after k + 1 steps.
uint32_t FadeChannel(uint32_t from, double step, int32_t k) {
  const int32_t v = C::R2I(from + step * (static_cast<double>(k) + 1));
  return v < 0 ? from : static_cast<uint32_t>(v);
}

double FadeStep(uint32_t from, uint32_t to, int32_t width) {
  return static_cast<double>(C::Narrow(static_cast<int64_t>(to) - static_cast<int64_t>(from))) / width;
}

void DrawFade(LONG_PTR w, rect_struct r, rgb from, rgb to, int32_t width) {
  SetPen(w, kBlackPen);
  const double sr = FadeStep(from.red, to.red, width);
  const double sg = FadeStep(from.green, to.green, width);
  const double sb = FadeStep(from.blue, to.blue, width);
  for (int32_t k = 0; k <= width; ++k) {
    const int32_t x = r.left + k;  // never past r.right
    Line(w, {x, r.top}, {x, r.bottom});
    SetPen(w, {1, 0,
               Compose(FadeChannel(from.red, sr, k), FadeChannel(from.green, sg, k),
                       FadeChannel(from.blue, sb, k))});
  }
}

}  // namespace

pen_struct wyn::xpen = kBlackPen;
brush_struct wyn::xbrush = kBlackBrush;
uint32_t wyn::xcount = 0;

bool wyn::wdrawline(wyndow t, pnt_struct from, pnt_struct to) {
  return Dispatch(t, [&](LONG_PTR w) { Line(w, from, to); });
}

bool wyn::wdrawline(wyndow t, int32_t colour, pnt_struct from, pnt_struct to) {
  return Dispatch(t, [&](LONG_PTR w) {
    SetPen(w, {1, 0, static_cast<uint32_t>(colour)});
    Line(w, from, to);
  });
}

bool wyn::wdrawthickline(wyndow t, pnt_struct f, pnt_struct to) {
  return Dispatch(t, [&](LONG_PTR w) {
    Line(w, f, to);
    Line(w, {C::Add(f.x, 1), C::Add(f.y, 1)}, to);
    Line(w, f, {C::Add(to.x, 1), C::Add(to.y, 1)});
  });
}

bool wyn::wdrawrect(wyndow t, rect_struct r) {
  return Dispatch(t, [&](LONG_PTR w) { draw_Rect(w, &r); });
}

bool wyn::wdrawroundrect(wyndow t, rect_struct r, int32_t cw, int32_t ch) {
  return Dispatch(t, [&](LONG_PTR w) { draw_RoundRect(w, &r, cw, ch); });
}

bool wyn::wdrawellipse(wyndow t, rect_struct r) {
  return Dispatch(t, [&](LONG_PTR w) { draw_Ellipse(w, &r); });
}

bool wyn::wdrawpolygon(wyndow t, pntlist_struct* points) {
  return Dispatch(t, [&](LONG_PTR w) { draw_Polygon(w, points); });
}

bool wyn::wdrawtextinrect(wyndow t, rect_struct r, const wchar_t* text, int32_t length,
                          ilist_struct* flags) {
  return Dispatch(t, [&](LONG_PTR w) { draw_TextInRect(w, &r, text, length, flags); });
}

wyn::held wyn::hold(LONG_PTR window) {
  held h{window, nullptr, 0};
  h.dc = win_GetNativeGraphicContext(window, &h.acquired);
  return h;
}

void wyn::release(held h) {
  if (h.acquired) win_ReleaseNativeGraphicContext(h.window, static_cast<HDC>(h.dc), 1);
}

bool wyn::wdrawtext(wyndow t, uint32_t x, uint32_t y, const wchar_t* text) {
  return Dispatch(t, [&](LONG_PTR w) { tav::kwi::drawtext(w, C::U2I(x), C::U2I(y), text); });
}

bool wyn::wpict_draw(wyndow t, picture p, pnt_struct at, uint32_t rasterOp) {
  return Dispatch(t, [&](LONG_PTR w) { tav::kwi::pictdraw(w, p, &at, C::U2I(rasterOp)); });
}

bool wyn::wsetbrush(wyndow t, brush_struct b) {
  return Dispatch(t, [&](LONG_PTR w) { SetBrush(w, b); });
}

bool wyn::wgetbrush(wyndow t, brush_struct* b) {
  if (!IsWindowTarget(t)) return false;
  *b = *win_GetBrush(t.window);
  return true;
}

bool wyn::wsetpen(wyndow t, pen_struct p) {
  return Dispatch(t, [&](LONG_PTR w) { SetPen(w, p); });
}

bool wyn::wgetpen(wyndow t, pen_struct* p) {
  if (!IsWindowTarget(t)) return false;
  *p = *win_GetPen(t.window);
  return true;
}

bool wyn::wsetfont(wyndow t, uint8_t* font) {
  return Dispatch(t, [&](LONG_PTR w) {
    if (t.alt == wyndow::prnt) {
      ilist_struct* styles = nullptr;
      int size = 0;
      font_GetAttrs(font, &styles, &size);
      font = font_SetAttrs(font, styles, C::Mul(size, 3));
    }
    win_SetFont(w, font);
  });
}

bool wyn::wgetclientrect(wyndow t, rect_struct* r) {
  if (t.alt == wyndow::wnull) return *r = {0, 0, 0, 0}, true;
  if (!IsWindowTarget(t)) return false;
  *r = *win_GetClientRect(t.window);
  return true;
}

bool wyn::wsetbackmode(wyndow t, int32_t mode) {
  return Dispatch(t, [&](LONG_PTR w) { win_SetBackMode(w, mode); });
}

bool wyn::wsetforecolor(wyndow t, int32_t colour) {
  return Dispatch(t, [&](LONG_PTR w) { win_SetForeColor(w, colour); });
}

bool wyn::wsetbackcolor(wyndow t, int32_t colour) {
  return Dispatch(t, [&](LONG_PTR w) { win_SetBackColor(w, colour); });
}

bool wyn::wgettextextent(wyndow t, const wchar_t* text, int32_t length, int32_t* width,
                         int32_t* height) {
  if (!IsWindowTarget(t)) return false;
  int cx = 0, cy = 0;
  win_GetTextExtent(t.window, text, length, &cx, &cy);
  *width = cx;
  *height = cy;
  return true;
}

bool wyn::wdrawbutton(wyndow t, brush_struct b, rect_struct r) {
  if (t.alt == wyndow::wnull) return true;
  return Dispatch(t, [&](LONG_PTR w) {
    xpen = *win_GetPen(w);
    xbrush = *win_GetBrush(w);
    SetBrush(w, b);
    draw_Rect(w, &r);
    const int32_t l1 = C::Add(r.left, 1), t1 = C::Add(r.top, 1);
    const int32_t r1 = C::Sub(r.right, 1), b1 = C::Sub(r.bottom, 1);
    SetPen(w, kBlackPen);
    Line(w, {r.left, r.top}, {r.right, r.top});
    Line(w, {r.left, r.top}, {r.left, r.bottom});
    Line(w, {r.left, r.bottom}, {r.right, r.bottom});
    Line(w, {r.right, r.top}, {r.right, r.bottom});
    SetPen(w, kWhitePen);
    Line(w, {l1, t1}, {r1, t1});
    Line(w, {l1, t1}, {l1, b1});
    SetPen(w, kGreyPen);
    Line(w, {l1, b1}, {r1, b1});
    Line(w, {r1, t1}, {r1, b1});
    SetBrush(w, xbrush);
    SetPen(w, xpen);
  });
}

bool wyn::draw_striped_rect(wyndow t, int32_t fill, int32_t stripe, rect_struct r) {
  return Dispatch(t, [&](LONG_PTR w) {
    SetBrush(w, {2, static_cast<uint32_t>(fill)});
    draw_Rect(w, &r);
    SetBrush(w, {2, static_cast<uint32_t>(stripe)});
    SetPen(w, {1, 0, static_cast<uint32_t>(stripe)});
    DrawStripes(w, r);
  });
}

bool wyn::o_fade_rect(wyndow t, rect_struct r, bool fade, rgb from, rgb to) {
  return Dispatch(t, [&](LONG_PTR w) {
    if (!fade) {
      SetPen(w, kBlackPen);
      SetBrush(w, {2, Compose(from.red, from.green, from.blue)});
      draw_Rect(w, &r);
      return;
    }
    const int32_t width = C::Sub(r.right, r.left);
    if (width > 0) return DrawFade(w, r, from, to, width);
    SetPen(w, kGreenPen);
    SetBrush(w, kRedHatchedBrush);
    rect_struct patch{r.left, r.top, C::Add(r.left, 100), r.bottom};
    draw_Rect(w, &patch);
  });
}

bool wyn::draw_tickinrect(wyndow t, rect_struct r) {
  return Dispatch(t, [&](LONG_PTR w) {
    const int32_t width = C::Sub(r.right, r.left), height = C::Sub(r.bottom, r.top);
    const double s = orvmath::imin(MakeList<int32_t>({width, height}));
    const double x0 = C::R2I(r.left + 0.5 * width - 0.5 * s);
    const double top = r.top;
    pnt_struct p[4] = {{C::R2I(x0 + 0.2 * s), C::R2I(top + 0.7 * s)},
                       {C::R2I(x0 + 0.4 * s), C::R2I(top + 0.9 * s)},
                       {C::R2I(x0 + 0.9 * s), C::R2I(top + 0.2 * s)},
                       {0, C::R2I(top + 0.8 * s)}};
    p[3].x = p[1].x;
    pntlist_struct cells[5];
    cells[4] = {ListNil, nullptr, nullptr};
    for (int i = 3; i >= 0; --i) cells[i] = {ListCons, &p[i], &cells[i + 1]};
    SetPen(w, kBlackPen);
    SetBrush(w, kBlackBrush);
    draw_Polygon(w, &cells[0]);
  });
}

rgb wyn::decompose(int32_t colour) {
  const uint32_t c = C::I2U(colour);
  return {c % 256, (c / 256) % 256, c / 65536};
}

int32_t wyn::random_color() {
  const int32_t r = QelMath::Random_1(255), g = QelMath::Random_1(255), b = QelMath::Random_1(255);
  return static_cast<int32_t>(kwi_ComposeRGB(r, g, b));
}

int32_t wyn::random_grey_color() {
  const int32_t v = QelMath::Random_1(255);
  return static_cast<int32_t>(kwi_ComposeRGB(v, v, v));
}

void wyn::check_nth_radio(LONG_PTR dialog, uint32_t id, const List<int32_t>* ids) {
  TrapAndForget([&] {
    winlist_struct* group = nullptr;
    winlist_struct** tail = &group;
    for (; !ids->Empty(); ids = ids->tail) {
      auto* cell = static_cast<winlist_struct*>(tav::GStackAlloc(sizeof(winlist_struct)));
      *cell = {ListCons, win_GetCtlHandle(dialog, ids->head), nullptr};
      *tail = cell;
      tail = &cell->next;
    }
    auto* nil = static_cast<winlist_struct*>(tav::GStackAlloc(sizeof(winlist_struct)));
    *nil = {ListNil, 0, nullptr};
    *tail = nil;
    win_CheckRadioButton(win_GetCtlHandle(dialog, C::U2I(id)), group);
  });
}

void wyn::open_a_file(const wchar_t* fileName) {
  QEL_BOUND_PROCEDURE(L"shell32.dll", ShellExecuteW)(nullptr, L"open", fileName, L"", L"",
                                                     SW_SHOWNORMAL);
}

}  // namespace rizediveva6
