// The editor window: its creation through the GUI layer and the one event
// handler of every editor.
//
// The handler gives the user's handler its chance first, then reacts; it
// fails (default processing) where the editor does not take the event.  A
// record is unlisted and freed at e_destroy, and the data word cleared, so
// no later call reaches a freed record.
#include "window.h"

#include <algorithm>
#include <cwchar>

#include "core.h"
#include "dialogrun.h"
#include "qel6kernel.h"
#include "settings.h"
#include "mouse.h"
#include "status.h"
#include "view.h"
#include "wrap.h"

namespace QEL_EDIT::detail {

namespace K = Qel::RunTime::Kernel;
using namespace QEL_KWI;

namespace {

bool creating = false;

bool HasUserHandler(EditorRecord* ed) { return ed->userHandler.function != nullptr; }

// Calls the user's handler; true when it succeeded.
bool CallUser(EditorRecord* ed, LONG_PTR window, event_struct* e, LONG_PTR* result) {
  int failed = 1;
  PROLOG_EHANDLER_STRUCT h = ed->userHandler;
  *result = XZEV_DirectCallHandler(window, e, &h, &failed);
  return !failed;
}

bool HasHScrollFlag(LONG_PTR window) {
  for (wsflags_struct* f = win_GetState(window); f && f->functor == ListCons; f = f->next)
    if (f->value == 7) return true;
  return false;
}

// First load: drawing defaults, font measures, rows, scroll bars, cursor.
void PrepareWindow(EditorRecord* ed) {
  const LONG_PTR w = ed->window;
  win_SetBackMode(w, 2);
  pen_struct pen{1, 5, 0};
  win_SetPen(w, &pen);
  MeasureFont(ed);
  ComputeRows(ed);
  ed->visibleRows = std::max<uint16_t>(ed->visibleRows, 1);
  ed->hasHScroll = HasHScrollFlag(w);
  if (ed->hasHScroll) {
    win_SetScrollRange(w, 0, 0, 4096);
    win_SetScrollPos(w, 0, 0);
  }
  MakeStatusLine(ed);
  ed->shownVMax = ed->shownVPos = ed->shownHPos = -1;
  UpdateVScrollRange(ed);
  SetVScrollPos(ed, 0);
  cursor_Set(w, 3, 0);
}

void OnCreate(EditorRecord* ed, LONG_PTR window) {
  creating = true;
  const wchar_t* text = L"";
  uint32_t position = 1;
  uint8_t* font = nullptr;
  if (CreateArgs* a = ed->createArgs) {
    if (a->text) text = a->text;
    position = a->position;
    font = reinterpret_cast<uint8_t*>(a->font);
    ed->createArgs = nullptr;
  }
  ed->window = window;
  ed->hasFocus = GetFocus() == reinterpret_cast<HWND>(window);
  ed->loadError = K::RunTrapped([&] {
    if (font) {
      ed->ignoreFontState = 1;
      win_SetFont(window, font);
      ed->ignoreFontState = 0;
    }
    PrepareWindow(ed);
    LoadEditorText(ed, text);
    GotoPosition(ed, position, false);
  });
  creating = false;
}

}  // namespace

// Horizontal scroll by code (1 left, 2 right, 3 page left, 4 page right,
// 5 thumb), in steps of 8 pixels.
void HorizontalScroll(EditorRecord* ed, int32_t code, int32_t position) {
  constexpr int32_t max = 4096;
  int32_t pos = ed->scrollX / 8;
  switch (code) {
    case 1: pos = std::max(0, pos - 1); break;
    case 2: pos = std::min(max, pos + 1); break;
    case 3: pos = pos < 9 ? 0 : pos - 8; break;
    case 4: pos = pos < max - 8 ? pos + 8 : max; break;
    case 5: pos = std::clamp(position, 0, max); break;
    default: return;
  }
  if (pos * 8 != ed->scrollX) {
    ed->scrollX = pos * 8;
    SetHScrollPos(ed, pos);
    InvalidateAll(ed);
  }
  RefreshStatusPos(ed);
}

bool GotoPosition(EditorRecord* ed, uint32_t position, bool recordUndo) {
  int32_t line, col;
  if (position == 0 || !ed->store.LineColOf(position, &line, &col)) return false;
  const Selection before = ed->selection;
  const int32_t lb = ed->CurrentLine(), cb = ed->caretCol;
  const int32_t top = ed->topLine;
  BringIntoView(ed, line, col, ed->caretRow);
  if (ed->topLine != top) InvalidateAll(ed);
  if (recordUndo) RecordSelectionChange(ed, before, lb, cb);
  return true;
}

LONG_PTR EditorHandler(LONG_PTR window, event_struct* e) {
  LONG_PTR data = win_GetData(window);
  auto* ed = reinterpret_cast<EditorRecord*>(data);
  if (!ed || !IsLiveRecord(ed)) return 0;
  if (!ed->active && e->kind != e_destroy) return 0;
  if (e->kind == e_erasebackground) return 0;
  if (e->kind == e_state && creating) K::Fail();
  // The state record's first word is its kind; 1 is a font change.
  const bool fontChange = e->kind == e_state && e->w[0] && reinterpret_cast<const uintptr_t*>(e->w[0])[0] == 1;
  if (fontChange && ed->ignoreFontState) K::Fail();
  if (e->kind == e_closerequest && !HasUserHandler(ed)) K::Fail();
  LONG_PTR result = 0;
  if (HasUserHandler(ed) && e->kind != e_create) {
    switch (e->kind) {
      case e_closerequest:
        if (CallUser(ed, window, e, &result)) return 1;
        break;
      case e_user:
        CallUser(ed, window, e, &result);
        return result;
      case e_destroy:
      case e_size:
      case e_state:
        CallUser(ed, window, e, &result);
        break;
      case e_mouseup:
        if (e->w[2] == 0) CallUser(ed, window, e, &result);
        else if (CallUser(ed, window, e, &result)) return 0;
        break;
      case e_menu:
        if (e->w[0] >= 9100 && e->w[0] <= 9200) break;
        [[fallthrough]];
      default:
        if (CallUser(ed, window, e, &result)) return 0;
    }
  }
  if (e->kind != e_create && ed->window != window) K::Fail();
  switch (e->kind) {
    case e_create:
      OnCreate(ed, window);
      if (HasUserHandler(ed)) CallUser(ed, window, e, &result);
      break;
    case e_destroy:
      if (ReplaceDialogWindow() && win_GetData(ReplaceDialogWindow()) == window) CloseReplaceDialog();
      ForgetMouse(ed);
      win_SetData(window, 0);
      DeleteRecord(ed);
      break;
    case e_mousedown:
      if (e->w[2] == 0 && e->w[0]) {
        HideCaret(ed);
        MouseDown(ed, *reinterpret_cast<pnt_struct*>(e->w[0]), (e->w[1] & 1) != 0);
        PlaceCaret(ed);
      }
      break;
    case e_mousedbl:
      if (e->w[2] == 0 && !(e->w[1] & 1) && e->w[0]) {
        HideCaret(ed);
        CancelMouse(ed);
        const pnt_struct& p = *reinterpret_cast<pnt_struct*>(e->w[0]);
        const int32_t line = ed->topLine + RowAt(ed, p.y) - 1;
        SelectWordAt(ed, line, ColumnAt(ed, line, p.x));
        PlaceCaret(ed);
      }
      break;
    case e_mousemove:
      if (e->w[0]) {
        MouseMove(ed, *reinterpret_cast<pnt_struct*>(e->w[0]));
        PlaceCaret(ed);
      }
      break;
    case e_mouseup:
      if (e->w[2] == 0 && e->w[0]) {
        HideCaret(ed);
        MouseUp(ed, *reinterpret_cast<pnt_struct*>(e->w[0]), (e->w[1] & 2) != 0);
        PlaceCaret(ed);
      } else if (e->w[2] == 1 && e->w[0]) {
        PopupMenu(ed, *reinterpret_cast<pnt_struct*>(e->w[0]));
      }
      break;
    case e_char:
      if (ed->active) {
        HideCaret(ed);
        DispatchKey(ed, static_cast<int32_t>(e->w[0]), static_cast<int32_t>(e->w[1]));
        PlaceCaret(ed);
      }
      return 0;
    case e_timer:
      HideCaret(ed);
      MouseTimer(ed, e->w[0]);
      PlaceCaret(ed);
      break;
    case e_getfocus:
      ed->hasFocus = 1;
      PlaceCaret(ed);
      break;
    case e_losefocus:
      ed->hasFocus = 0;
      DropCaret(ed);
      break;
    case e_size:
      HideCaret(ed);
      if (ComputeRows(ed)) InvalidateAll(ed);
      RewrapIfNeeded(ed, false);
      PlaceCaret(ed);
      break;
    case e_update:
      if (!ed->suspended && e->w[0]) PaintRows(ed, *reinterpret_cast<rect_struct*>(e->w[0]));
      break;
    case e_state:
      if (fontChange) {
        HideCaret(ed);
        MeasureFont(ed);
        ComputeRows(ed);
        RewrapIfNeeded(ed, true);
        BringIntoView(ed, ed->CurrentLine(), ed->caretCol, 1);
        InvalidateAll(ed);
        PlaceCaret(ed);
      }
      break;
    case e_vscroll:
      HideCaret(ed);
      VerticalScroll(ed, static_cast<int32_t>(e->w[0]), static_cast<int32_t>(e->w[1]));
      PlaceCaret(ed);
      break;
    case e_hscroll:
      HideCaret(ed);
      HorizontalScroll(ed, static_cast<int32_t>(e->w[0]), static_cast<int32_t>(e->w[1]));
      PlaceCaret(ed);
      break;
    case e_menu:
      switch (e->w[0]) {
        case 9060: HideCaret(ed); UndoStep(ed); PlaceCaret(ed); break;
        case 9061: HideCaret(ed); RedoStep(ed); PlaceCaret(ed); break;
        case 9063: HideCaret(ed); if (!ed->readOnly) CutToClipboard(ed); PlaceCaret(ed); break;
        case 9064: HideCaret(ed); CopyToClipboard(ed); PlaceCaret(ed); break;
        case 9065:
          HideCaret(ed);
          if (!ed->readOnly) PasteFromClipboard(ed);
          PlaceCaret(ed);
          break;
        case 9066:
          HideCaret(ed);
          if (!ed->readOnly) TakeSelection(ed, true, true, false, true);
          PlaceCaret(ed);
          break;
        case cmd_find:
        case cmd_replace:
        case cmd_findNext:
        case cmd_goToLine:
        case cmd_goToPosition:
          HideCaret(ed);
          DialogCommand(window, ed, static_cast<int32_t>(e->w[0]));
          PlaceCaret(ed);
          break;
        default: break;
      }
      return 0;
    default:
      break;
  }
  K::Fail();
}

LONG_PTR CreateEditor(const RecordParams& p, rect_struct* rect, menu_struct* menu, LONG_PTR parent,
                      wsflags_struct* flags, uint8_t* font, const wchar_t* text, uint32_t position) {
  const size_t length = text ? std::wcslen(text) : 0;
  if (position == 0 || position > length + 1) Raise(err_position);
  EditorRecord* ed = NewRecord(p);
  CreateArgs args{reinterpret_cast<LONG_PTR>(font), const_cast<wchar_t*>(text), position};
  ed->createArgs = &args;
  PROLOG_EHANDLER_STRUCT own{reinterpret_cast<void*>(&EditorHandler), nullptr};
  volatile LONG_PTR window = 0;
  uint32_t code = K::RunTrapped([&] {
    window = win_Create(p.windowType, rect, p.title, menu, parent, flags, &own,
                        reinterpret_cast<LONG_PTR>(ed));
  });
  if (code) {
    if (IsLiveRecord(ed)) DeleteRecord(ed);
    Raise(static_cast<ErrorCode>(code));
  }
  if (IsLiveRecord(ed)) {
    ed->createArgs = nullptr;
    if (ed->loadError) Raise(static_cast<ErrorCode>(ed->loadError));
  }
  return window;
}

void SubclassEditor(LONG_PTR window, RecordParams p, uint8_t* font, const wchar_t* text, uint32_t position) {
  const int type = win_GetType(window);
  if (type != 1 && type != 2 && type != 4 && type != 20) Raise(err_windowType);
  const size_t length = text ? std::wcslen(text) : 0;
  if (position == 0 || position > length + 1) Raise(err_position);
  p.windowType = type;
  p.rightEdge = win_GetClientRect(window)->right;
  EditorRecord* ed = NewRecord(p);
  ed->window = window;
  ed->hasFocus = GetFocus() == reinterpret_cast<HWND>(window);
  win_SetData(window, reinterpret_cast<LONG_PTR>(ed));
  const uint32_t code = K::RunTrapped([&] {
    if (font) {
      ed->ignoreFontState = 1;
      win_SetFont(window, font);
      ed->ignoreFontState = 0;
    }
    PrepareWindow(ed);
    LoadEditorText(ed, text ? text : L"");
    GotoPosition(ed, position, false);
    ComputeRows(ed);
  });
  PROLOG_EHANDLER_STRUCT own{reinterpret_cast<void*>(&EditorHandler), nullptr};
  win_SetHandler(window, &own);
  if (code) Raise(static_cast<ErrorCode>(code));
  PlaceCaret(ed);
}

}  // namespace QEL_EDIT::detail
