// The status line: a child window across the top strip of the editor
// showing the caret's line and column, insert or overwrite, indent, wrap
// (word-wrap editors) and read-only or modified; and the exports that set
// its captions, offsets, colours, font and visibility.
//
// The status window draws from its parent's record, so it shows nothing
// once the parent is no editor; captions are heap copies owned by the
// record's status line.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "core.h"
#include "qel6edit.h"
#include "qel6kernel.h"
#include "settings.h"
#include "status.h"
#include "view.h"

namespace QEL_EDIT {
namespace detail {

namespace K = Qel::RunTime::Kernel;
using namespace QEL_KWI;

namespace {

const wchar_t* const DefaultCaptions[8] = {L"Insert", L"Overwrite", L"Indent", L"NoIndent",
                                           L"Wrap",   L"UnWrap",    L"Modified", L"ReadOnly"};

EditorRecord* ParentRecord(LONG_PTR status) {
  LONG_PTR parent = 0;
  K::RunTrapped([&] { parent = win_GetParent(status); });
  LONG_PTR data = 0;
  if (parent) K::RunTrapped([&] { data = win_GetData(parent); });
  auto* ed = reinterpret_cast<EditorRecord*>(data);
  return ed && IsLiveRecord(ed) && ed->window == parent ? ed : nullptr;
}

int BaseUnit() {
  int x = 0, y = 0;
  kwi_GetBaseUnits(&x, &y);
  return x;
}

void Tools(LONG_PTR status, EditorRecord* ed) {
  brush_struct b{2, static_cast<uint32_t>(ed->statusBackColor)};
  pen_struct p{1, 0, static_cast<uint32_t>(ed->statusBackColor)};
  win_SetBrush(status, &b);
  win_SetPen(status, &p);
}

void DrawText(LONG_PTR status, int x, int y, const wchar_t* text) {
  if (text && *text) draw_Text(status, x, y, text, static_cast<int>(std::wcslen(text)));
}

LONG_PTR StatusHandler(LONG_PTR status, event_struct* e) {
  EditorRecord* ed = ParentRecord(status);
  switch (e->kind) {
    case e_create: {
      if (ed) Tools(status, ed);
      win_SetBackMode(status, 1);
      ilist_struct nil{ListNil, 0, nullptr};
      ilist_struct bold{ListCons, 1, &nil};
      win_SetFont(status, font_Create(4, &bold, 9));
      K::Fail();
    }
    case e_erasebackground:
      return 1;
    case e_update: {
      if (!ed) {
        K::Fail();
      }
      auto* r = reinterpret_cast<rect_struct*>(e->w[0]);
      Tools(status, ed);
      rect_struct fill = *r;
      ++fill.right;
      ++fill.bottom;
      draw_Rect(status, &fill);
      win_SetForeColor(status, static_cast<uint32_t>(ed->statusForeColor));
      if (!ed->topMargin) return 0;
      const int y = ed->topMargin - 6;
      const int bu = BaseUnit();
      const int32_t line = ed->CurrentLine();
      const int32_t col = ed->store.ColumnOfChar(line, ed->caretCol, settings.tabSize);
      wchar_t pos[32];
      std::swprintf(pos, 32, L"%u:%u", static_cast<unsigned>(line), static_cast<unsigned>(col));
      int w = 0, h = 0;
      win_GetTextExtent(status, pos, -1, &w, &h);
      DrawText(status, ed->leftMargin + (15 * bu - w) / 2, y, pos);
      auto caption = [&](int i) { return ed->statusCaptions[i] ? ed->statusCaptions[i] : DefaultCaptions[i]; };
      DrawText(status, ed->statusOffsets[0], y, caption(ed->insertMode ? 0 : 1));
      DrawText(status, ed->statusOffsets[1], y, caption(ed->indentMode ? 2 : 3));
      if (ed->wrappable) DrawText(status, ed->statusOffsets[2], y, caption(ed->wrapMode ? 4 : 5));
      if (ed->readOnly) DrawText(status, ed->statusOffsets[3], y, caption(7));
      else if (ed->modified) DrawText(status, ed->statusOffsets[3], y, caption(6));
      return 0;
    }
    default:
      K::Fail();
  }
}

}  // namespace

void MakeStatusLine(EditorRecord* ed) {
  ed->statusForeColor = 0;
  ed->statusBackColor = static_cast<int32_t>(kwi_GetAttrVal(108));
  const int bu = BaseUnit();
  for (int i = 0; i < 4; ++i) ed->statusOffsets[i] = ed->leftMargin + 15 * bu * (i + 1);
  static ilist_struct nil{ListNil, 0, nullptr};
  static ilist_struct flags{ListCons, 12, &nil};
  static menu_struct nomenu{3, 0};
  rect_struct r{0, 0, 2600, std::max(0, ed->topMargin - 1)};
  PROLOG_EHANDLER_STRUCT h{reinterpret_cast<void*>(&StatusHandler), nullptr};
  ed->statusWindow = win_Create(wt_child, &r, L"", &nomenu, ed->window, &flags, &h, 0);
}

void FreeStatusCaptions(EditorRecord* ed) {
  for (const wchar_t*& c : ed->statusCaptions) {
    std::free(const_cast<wchar_t*>(c));
    c = nullptr;
  }
}

}  // namespace detail

using namespace detail;

void edit_StatusLineShow(LONG_PTR window, int32_t show) {
  EditorRecord* ed = EditorData(window);
  if ((ed->topMargin != 0) != (show != 0)) {
    ed->topMargin = show ? 20 : 0;
    if (ed->statusWindow) {
      rect_struct r{0, 0, 2000, ed->topMargin};
      win_Move(ed->statusWindow, &r);
    }
    HideCaret(ed);
    ComputeRows(ed);
    PlaceCaret(ed);
  }
  InvalidateAll(ed);
}

void edit_SetStatusLineCaptions(LONG_PTR window, const u16* insert, const u16* overwrite, const u16* indent,
                                const u16* noIndent, const u16* wrap, const u16* unWrap, const u16* modified,
                                const u16* readOnly) {
  EditorRecord* ed = EditorData(window);
  const u16* texts[8] = {insert, overwrite, indent, noIndent, wrap, unWrap, modified, readOnly};
  FreeStatusCaptions(ed);
  for (int i = 0; i < 8; ++i)
    ed->statusCaptions[i] = CopyUndoText(texts[i] ? texts[i] : L"", texts[i] ? static_cast<uint32_t>(std::wcslen(texts[i])) : 0);
  InvalidateStatus(ed);
}

void edit_SetStatusLineCaptionsOffsets(LONG_PTR window, uint32_t insertX, uint32_t indentX, uint32_t wrapX,
                                       uint32_t stateX) {
  EditorRecord* ed = EditorData(window);
  ed->statusOffsets[0] = static_cast<int32_t>(insertX);
  ed->statusOffsets[1] = static_cast<int32_t>(indentX);
  ed->statusOffsets[2] = static_cast<int32_t>(wrapX);
  ed->statusOffsets[3] = static_cast<int32_t>(stateX);
  InvalidateStatus(ed);
}

void edit_SetStatusLineColor(LONG_PTR window, int32_t fore, int32_t back) {
  EditorRecord* ed = EditorData(window);
  ed->statusForeColor = fore;
  ed->statusBackColor = back;
  InvalidateStatus(ed);
}

void edit_SetStatusLineFont(LONG_PTR window, uint8_t* font) {
  EditorRecord* ed = EditorData(window);
  if (!ed->statusWindow) return;
  win_SetFont(ed->statusWindow, font);
  InvalidateStatus(ed);
}

}  // namespace QEL_EDIT
