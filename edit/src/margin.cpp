// The left margin: the bookmark strip (16 pixels at the window's left edge,
// shown with `bookmarksShown`), each row's bookmark mark and the arrow of
// the cursor-to-line mark, and the margin exports.
//
// The strip is drawn after the rows' text, so it always covers what a
// scrolled row left there.
#include "lineops.h"
#include "margin.h"
#include "qel6edit.h"
#include "qel6kernel.h"
#include "view.h"

namespace QEL_EDIT {
namespace detail {

namespace K = Qel::RunTime::Kernel;
using namespace QEL_KWI;

namespace {

constexpr int32_t StripWidth = 16;
constexpr uint32_t DefaultMarkColour = 0xFF0000;

void SetTools(EditorRecord* ed, uint32_t colour) {
  brush_struct b{2, colour};
  pen_struct p{1, 0, colour};
  win_SetBrush(ed->window, &b);
  win_SetPen(ed->window, &p);
}

// A bitmap resource of the application stretched into r; false when there
// is none of that id or it cannot be drawn.
bool DrawBitmapMark(EditorRecord* ed, HINSTANCE app, uint32_t id, rect_struct r) {
  if (!FindResourceW(app, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(2))) return false;
  return K::Succeeds([&] {
    picture p = pict_GetFromRes(app, id);
    if (!p) K::Fail();
    int w = 0, h = 0, size = 0;
    pict_GetSize(p, &w, &h, &size);
    rect_struct src{0, 0, w, h};
    pict_DrawEx_1(ed->window, p, &r, &src, 12, 0);  // SRCCOPY
    pict_Destroy(p);
  });
}

void DrawBookmark(EditorRecord* ed, uint16_t type, rect_struct r) {
  const uint32_t id = bookmarkHandler ? bookmarkHandler(type) : 0;
  if (id && id <= 0xFFFF) {
    auto* app = reinterpret_cast<HINSTANCE>(kwi_GetAttrVal(10001));
    if (DrawBitmapMark(ed, app, id, r)) return;
    if (FindResourceW(app, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(14)) &&
        K::Succeeds([&] { draw_Icon(ed->window, r.left, r.top, id); }))
      return;
  }
  SetTools(ed, DefaultMarkColour);
  draw_Ellipse(ed->window, &r);
}

void DrawArrow(EditorRecord* ed, const rect_struct& r) {
  const int32_t cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
  const int32_t q = (r.bottom - r.top) / 4;
  pnt_struct pts[7] = {{r.left, cy - q}, {cx, cy - q}, {cx, r.top}, {r.right, cy},
                       {cx, r.bottom}, {cx, cy + q}, {r.left, cy + q}};
  pntlist_struct cells[8];
  cells[7] = {ListNil, nullptr, nullptr};
  for (int i = 6; i >= 0; --i) cells[i] = {ListCons, &pts[i], &cells[i + 1]};
  SetTools(ed, static_cast<uint32_t>(ed->cursorColor));
  draw_Polygon(ed->window, &cells[0]);
}

}  // namespace

void PaintMargin(EditorRecord* ed, int32_t firstRow, int32_t lastRow) {
  if (!ed->bookmarksShown || firstRow > lastRow) return;
  const int32_t h = ed->lineHeight;
  const int32_t top = ed->topMargin + (firstRow - 1) * h;
  SetTools(ed, static_cast<uint32_t>(kwi_GetAttrVal(127)));
  rect_struct strip{0, top, StripWidth, ed->topMargin + lastRow * h};
  draw_Rect(ed->window, &strip);
  for (int32_t row = firstRow; row <= lastRow; ++row) {
    const int32_t line = ed->topLine + row - 1;
    if (line > ed->LineCount()) break;
    const int32_t y = ed->topMargin + (row - 1) * h;
    const rect_struct mark{2, y + 2, StripWidth - 2, y + h - 2};
    if (const uint16_t type = BookmarkType(ed, line)) DrawBookmark(ed, type, mark);
    if (line == ed->cursorLine) DrawArrow(ed, mark);
  }
}

}  // namespace detail

using namespace detail;

void edit_SetLeftMargin(LONG_PTR window, uint32_t margin) {
  EditorRecord* ed = EditorData(window);
  ed->leftMargin = static_cast<int32_t>(margin) + 4;
  InvalidateAll(ed);
}

void edit_EnableSetLineColor(LONG_PTR window, int32_t on) {
  EditorRecord* ed = EditorData(window);
  ed->lineColorEnabled = on != 0;
  InvalidateAll(ed);
}

void edit_UpdateLeftMargin(LONG_PTR window) {
  EditorRecord* ed = EditorData(window);
  if (!ed->bookmarksShown) return;
  rect_struct r{-1, 0, StripWidth, ed->clientHeight + 1};
  win_Invalidate_1(window, &r);
  win_Update(window);
}

void edit_BookmarkShow(LONG_PTR window) {
  edit_SetLeftMargin(window, StripWidth);
  EditorData(window)->bookmarksShown = 1;
}

void edit_BookmarkHide(LONG_PTR window) {
  edit_SetLeftMargin(window, 0);
  EditorData(window)->bookmarksShown = 0;
}

}  // namespace QEL_EDIT
