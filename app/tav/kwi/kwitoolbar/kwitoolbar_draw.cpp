// kwiToolbar drawing: buttons (released, pressed, disabled), frames, text
// fields, separators, ornamentation and the context field's status text,
// all from the records and the three system colours read anew at each draw.
// A button's image is loaded for every draw and never cached; an image that
// cannot be loaded at paint leaves the button's face plain, so a removed
// bitmap file never turns a paint into an error.  A `bmp` picture is drawn
// as it is and never destroyed.
#include "kwi/kwidomains.h"
#include "kwi/kwitoolbar/kwitoolbar_internal.h"

namespace tav::tbar {

using namespace QEL_KWI;
namespace kd = kwidomains;

namespace {

constexpr uint32_t kLoad3DColors = 0x1000;  // LR_LOADMAP3DCOLORS
constexpr uint32_t kMonochrome = 1;         // LR_MONOCHROME
enum RasterOp { kDstInvert = 3, kNotSrcErase = 7, kSrcAnd = 11, kSrcCopy = 12, kSrcPaint = 15 };

pntlist_struct* Pts(std::initializer_list<pnt_struct> points) {
  auto* l = static_cast<pntlist_struct*>(GStackAlloc(sizeof(pntlist_struct)));
  l->functor = ListNil;
  for (auto it = points.end(); it != points.begin();) {
    --it;
    auto* c = static_cast<pntlist_struct*>(GStackAlloc(sizeof(pntlist_struct)));
    c->functor = ListCons;
    c->value = kd::Point(it->x, it->y);
    c->next = l;
    l = c;
  }
  return l;
}

void Pen(LONG_PTR win, uint32_t colour) {
  auto* p = static_cast<pen_struct*>(GStackAlloc(sizeof(pen_struct)));
  *p = {1, 0, colour};
  win_SetPen(win, p);
}

void Line(LONG_PTR win, uint32_t colour, pnt_struct from, pnt_struct to) {
  Pen(win, colour);
  draw_Line(win, kd::Point(from.x, from.y), kd::Point(to.x, to.y));
}

void Polyline(LONG_PTR win, uint32_t colour, std::initializer_list<pnt_struct> points) {
  Pen(win, colour);
  draw_Polyline(win, Pts(points));
}

rect_struct* R(const rect_struct& r) { return kd::Rect(r.left, r.top, r.right, r.bottom); }

void drawbuttonframe(LONG_PTR win, const rect_struct& r, uint32_t topLeft, uint32_t bottomRight) {
  const int32_t l = r.left, t = r.top, rr = SubChecked(r.right, 1), b = SubChecked(r.bottom, 1);
  Polyline(win, topLeft, {{rr, t}, {l, t}, {l, b}});
  Polyline(win, bottomRight, {{rr, t}, {rr, b}, {SubChecked(l, 1), b}});
}

void drawbuttonframe_raised(LONG_PTR win, const rect_struct& r) {
  uint32_t face, hi, sh;
  buttoncolors(&face, &hi, &sh);
  drawbuttonframe(win, r, hi, sh);
}
void drawbuttonframe_sunken(LONG_PTR win, const rect_struct& r) {
  uint32_t face, hi, sh;
  buttoncolors(&face, &hi, &sh);
  drawbuttonframe(win, r, sh, hi);
}
void drawbuttonframe_none(LONG_PTR win, const rect_struct& r) {
  uint32_t face, hi, sh;
  buttoncolors(&face, &hi, &sh);
  drawbuttonframe(win, r, face, face);
}

// Top-left corner of the picture centred in the rectangle, moved by shift.
pnt_struct* imageposition(const rect_struct& r, picture p, int32_t shift) {
  int w = 0, h = 0, size = 0;
  pict_GetSize(p, &w, &h, &size);
  const int32_t x = AddChecked(AddChecked(r.left, SubChecked(SubChecked(r.right, r.left), w) / 2), shift);
  const int32_t y = AddChecked(AddChecked(r.top, SubChecked(SubChecked(r.bottom, r.top), h) / 2), shift);
  return kd::Point(x, y);
}

// The button's picture loaded with the flags, or null when it cannot be
// loaded (the error is dropped).
picture LoadForDraw(const BitmapIdTerm& bitmap, uint32_t flags) {
  picture volatile p = nullptr;
  const uint32_t code = K::RunTrapped([&] { p = kwi::pictload(&bitmap, 0, 0, flags); });
  ClearCaught(code);
  return code ? nullptr : p;
}

void Release(const BitmapIdTerm& bitmap, picture p) {
  if (bitmap.functor != 3) pict_Destroy(p);
}

// Draws the image, or fills the face where it cannot be loaded.
void drawimage(LONG_PTR win, const BitmapIdTerm& bitmap, const rect_struct& r, int32_t shift) {
  picture p = LoadForDraw(bitmap, kLoad3DColors);
  if (!p) {
    uint32_t face, hi, sh;
    buttoncolors(&face, &hi, &sh);
    win_Clear_1(win, R(r), face);
    return;
  }
  pict_DrawEx_0(win, p, imageposition(r, p, shift), kSrcCopy, 0);
  Release(bitmap, p);
}

void drawimage_monocolor(LONG_PTR win, picture mono, const rect_struct& r, int32_t shift,
                         uint32_t colour) {
  int w = 0, h = 0, size = 0;
  pict_GetSize(mono, &w, &h, &size);
  const LONG_PTR canvas = pict_Open(kd::Rect(0, 0, w, h));
  win_Clear_0(canvas, colour);
  pict_DrawEx_0(canvas, mono, kd::Point(0, 0), kDstInvert, 0);
  pict_DrawEx_0(canvas, mono, kd::Point(0, 0), kNotSrcErase, 0);
  picture coloured = pict_Close(canvas);
  pnt_struct* at = imageposition(r, mono, shift);
  kwi::pictdraw(win, mono, at, kSrcAnd);
  kwi::pictdraw(win, coloured, at, kSrcPaint);
  pict_Destroy(coloured);
}

void drawimage_gray(LONG_PTR win, const BitmapIdTerm& bitmap, const rect_struct& r) {
  picture mono = LoadForDraw(bitmap, kMonochrome);
  if (!mono) return;
  uint32_t face, hi, sh;
  buttoncolors(&face, &hi, &sh);
  drawimage_monocolor(win, mono, r, 1, hi);
  drawimage_monocolor(win, mono, r, 0, sh);
  Release(bitmap, mono);
}

void drawtextcontrol(LONG_PTR win, int32_t l, int32_t t, int32_t r, int32_t b) {
  uint32_t face, hi, sh;
  buttoncolors(&face, &hi, &sh);
  win_Clear_1(win, kd::Rect(AddChecked(l, 3), AddChecked(t, 1), SubChecked(r, 3), SubChecked(b, 1)),
              face);
  const int32_t l2 = AddChecked(l, 2), r2 = SubChecked(r, 2), b1 = SubChecked(b, 1);
  Polyline(win, sh, {{r2, t}, {l2, t}, {l2, b1}});
  Polyline(win, hi, {{l2, b1}, {r2, b1}, {r2, t}});
}

bool istoptoolbarexists(LONG_PTR win) {
  const TbRec* tb = TbOf(win);
  if (!tb) return false;
  const LONG_PTR parent = tb->parent;
  return facts().tb.First([&](const TbRec& t) {
    return t.parent == parent && t.st.kind == StyleKind::tb_top;
  }) != nullptr;
}

// The first toolbar of the parent (else of the task window) with a context
// field; 0 when there is none.
LONG_PTR get_win_with_context(LONG_PTR parent) {
  auto withContext = [](LONG_PTR of) -> LONG_PTR {
    const TbRec* found = facts().tb.First([&](const TbRec& t) {
      return t.parent == of && facts().text.First([&](const TextRec& x) {
        return x.win == t.win && x.ts == TextStyle::tb_context;
      });
    });
    return found ? found->win : 0;
  };
  if (LONG_PTR w = withContext(parent)) return w;
  return withContext(kwi::wingetattrval(0, 301));
}

const TextRec* ContextField(LONG_PTR toolbar) {
  return facts().text.First(
      [&](const TextRec& x) { return x.win == toolbar && x.ts == TextStyle::tb_context; });
}

}  // namespace

void drawbutton(LONG_PTR win, const rect_struct& r, const BitmapIdTerm& bitmap, int32_t enabled,
                int32_t state) {
  if (enabled == 1 && state == 1) {
    drawimage(win, bitmap, r, 0);
    drawbuttonframe_none(win, r);
  } else if (enabled == 1 && state == 0) {
    drawimage(win, bitmap, r, 1);
    drawbuttonframe_sunken(win, r);
  } else {
    uint32_t face, hi, sh;
    buttoncolors(&face, &hi, &sh);
    win_Clear_1(win, R(r), face);
    drawimage_gray(win, bitmap, r);
  }
}

void show_text(LONG_PTR win, const rect_struct& r, int32_t fontStyle, int32_t fontFamily,
               int16_t fontSize, uint32_t textColor, const wchar_t* text) {
  uint8_t* font = createtoolbarfont(fontFamily, fontStyle, fontSize);
  drawtextcontrol(win, r.left, r.top, r.right, r.bottom);
  uint32_t face, hi, sh;
  buttoncolors(&face, &hi, &sh);
  auto* tools = static_cast<drawtools_struct*>(GStackAlloc(sizeof(drawtools_struct)));
  auto* pen = static_cast<pen_struct*>(GStackAlloc(sizeof(pen_struct)));
  auto* brush = static_cast<brush_struct*>(GStackAlloc(sizeof(brush_struct)));
  *pen = {1, 0, face};
  *brush = {2, face};
  *tools = {pen, brush, 12, font, textColor, face, 1};
  win_SetDrawTools(win, tools);
  draw_TextInRect(win, rect_Inflate(R(r), -4, -1), text, -1, kd::Ints({5, 12, 7}));
}

void show_toolbar_controls(LONG_PTR win) {
  Facts& f = facts();
  auto buttons = f.ctrl.Collect([&](const CtrlRec& c) { return c.win == win; });
  for (uint32_t i = 0; i < buttons.count; ++i) {
    const CtrlRec& c = *buttons.items[i];
    drawbutton(win, c.rect, c.bitmap, c.enabled, c.state);
  }
  if (TbOf(win)) {
    auto texts = f.text.Collect([&](const TextRec& t) { return t.win == win; });
    for (uint32_t i = 0; i < texts.count; ++i) {
      const TextRec& t = *texts.items[i];
      show_text(win, t.rect, t.fontStyle, t.fontFamily, t.fontSize, t.textColor, t.text);
    }
  }
  auto seps = f.separatorline.Collect([&](const SepRec& s) { return s.win == win; });
  if (!seps.count) return;
  uint32_t face, hi, sh;
  buttoncolors(&face, &hi, &sh);
  for (uint32_t i = 0; i < seps.count; ++i) {
    const SepRec& s = *seps.items[i];
    Line(win, hi, s.p3, s.p4);
    Line(win, sh, s.p1, s.p2);
  }
}

void drawornamentation(LONG_PTR win, const style& s, int32_t width, int32_t height) {
  if (s.kind == StyleKind::tb_moveable) return;
  uint32_t face, hi, sh;
  buttoncolors(&face, &hi, &sh);
  const int32_t end = AddChecked(width, 1);
  if (s.kind == StyleKind::tb_top) {
    Line(win, sh, {0, 0}, {end, 0});
    Line(win, hi, {0, 1}, {end, 1});
    Line(win, sh, {0, height}, {end, height});
    return;
  }
  if (istoptoolbarexists(win)) Line(win, hi, {0, 0}, {end, 0});
  const TbRec* tb = TbOf(win);
  if (!tb || tb->ornament == 0) return;
  Polyline(win, hi, {{1, height}, {1, 0}, {width, 0}});
  Polyline(win, sh, {{1, height}, {width, height}, {width, 0}});
}

void toolbar_if_draw_frame(LONG_PTR win, const rect_struct& r, int32_t enabled, int32_t state) {
  if (enabled != 0 && !facts().flagmousedown && state != 0) drawbuttonframe_raised(win, r);
}

void eraseframe(LONG_PTR win, const rect_struct& r, int32_t flag) {
  if (flag != 0) drawbuttonframe_none(win, r);
}

void show_status_text(LONG_PTR win, const wchar_t* text) {
  const TbRec* tb = TbOf(win);
  if (!tb) return;
  const LONG_PTR context = get_win_with_context(tb->parent);
  const TextRec* field = context ? ContextField(context) : nullptr;
  if (!field || !TbOf(context)) return;
  show_text(context, field->rect, field->fontStyle, field->fontFamily, field->fontSize,
            field->textColor, text);
}

void restore_initial_status_text(LONG_PTR win) {
  const TbRec* tb = TbOf(win);
  if (!tb) return;
  const LONG_PTR context = get_win_with_context(tb->parent);
  const TextRec* field = context ? ContextField(context) : nullptr;
  if (field) show_status_text(context, field->text);
}

bool tb_rect(LONG_PTR win, const style& s, int32_t bottom, int32_t right, rect_struct* out) {
  const TbRec* tb = TbOf(win);
  if (!tb || multiple_rows(s)) return false;
  const int32_t thickH =
      AddChecked(AddChecked(gettopoffset(s), tb->maxH), getbottomoffset(s));
  const int32_t thickW =
      AddChecked(AddChecked(getleftoffset(s), tb->maxW), getrightoffset(s));
  int32_t ml, topInset, mr, bottomInset;
  get_inits_for_twin(tb->parent, &ml, &topInset, &mr, &bottomInset);
  switch (s.kind) {
    case StyleKind::tb_top: *out = {0, 0, right, thickH}; break;
    case StyleKind::tb_bottom: *out = {0, SubChecked(bottom, thickH), right, bottom}; break;
    case StyleKind::tb_left: *out = {0, topInset, thickW, SubChecked(bottom, bottomInset)}; break;
    default: *out = {SubChecked(right, thickW), topInset, right, SubChecked(bottom, bottomInset)};
  }
  return true;
}

}  // namespace tav::tbar
