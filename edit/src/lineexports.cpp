// Exported search, bookmark, mark, hyper-field and text-utility functions:
// each reaches the record through the window (6900 otherwise), checks
// read-only where it changes the text (6910), and calls the record-level
// operation.  Lists are built on the caller's global stack.
#include "core.h"
#include "dialogrun.h"
#include "find.h"
#include "lineops.h"
#include "qel6edit.h"
#include "qel6kernel.h"
#include "search.h"
#include "settings.h"
#include "view.h"

namespace QEL_EDIT {

using namespace detail;
namespace K = Qel::RunTime::Kernel;

namespace {

EditorRecord* Writable(LONG_PTR window) {
  EditorRecord* ed = EditorData(window);
  if (ed->readOnly) Raise(err_readOnly);
  return ed;
}

}  // namespace

int32_t edit_SearchStr(LONG_PTR window, const wchar_t* text) {
  EditorRecord* ed = EditorData(window);
  int32_t found = SearchStr(ed, text);
  RefreshStatusPos(ed);
  return found;
}

void edit_SearchDlg(LONG_PTR window) { DialogCommand(window, EditorData(window), cmd_find); }
void edit_SearchAgain(LONG_PTR window) { DialogCommand(window, EditorData(window), cmd_findNext); }
void edit_ReplaceDlg(LONG_PTR window) { DialogCommand(window, Writable(window), cmd_replace); }
void edit_GotoLineDlg(LONG_PTR window) { DialogCommand(window, EditorData(window), cmd_goToLine); }
void edit_GotoPosDlg(LONG_PTR window) {
  DialogCommand(window, EditorData(window), cmd_goToPosition);
}

void edit_SetFontDlg(LONG_PTR window) {
  EditorData(window);
  u16* face = nullptr;
  int size = 0;
  uint8_t* font = QEL_KWI::dlg_ChooseFont(QEL_KWI::win_GetFont(window), &face, &size);
  QEL_KWI::win_SetFont(window, font);
}

wchar_t* edit_GetTextOpt(LONG_PTR window, int32_t expandTabs, int32_t trim) {
  EditorRecord* ed = (expandTabs || trim) ? Writable(window) : EditorData(window);
  if (trim) TrimTrailingSpaces(ed);
  if (expandTabs) ExpandTabs(ed);
  return TextGet(ed);
}

void edit_ExpandTabs(LONG_PTR window) { ExpandTabs(EditorData(window)); }

void edit_TrimTrailingSpaces(LONG_PTR window) { TrimTrailingSpaces(EditorData(window)); }

void edit_BookmarkSetTypeForLine(LONG_PTR window, int32_t line, uint16_t type) {
  EditorRecord* ed = EditorData(window);
  SetBookmarkType(ed, line, type);
  InvalidateAll(ed);
}

uint16_t edit_BookmarkGetTypeForLine(LONG_PTR window, int32_t line) {
  return BookmarkType(EditorData(window), line);
}

bmlist_struct* edit_BookmarkGetList(LONG_PTR window, uint16_t mask) {
  EditorRecord* ed = EditorData(window);
  bmlist_struct* head = nullptr;
  bmlist_struct** tail = &head;
  auto cell = [] {
    return reinterpret_cast<bmlist_struct*>(K::Memory::AllocGStack(sizeof(bmlist_struct)));
  };
  ForEachBookmark(ed, mask, [&](int32_t line, uint16_t type) {
    auto* b = reinterpret_cast<bookmark_struct*>(K::Memory::AllocGStack(sizeof(bookmark_struct)));
    *b = {line, type};
    bmlist_struct* c = cell();
    *c = {QEL_KWI::ListCons, b, nullptr};
    *tail = c;
    tail = &c->next;
  });
  bmlist_struct* nil = cell();
  *nil = {QEL_KWI::ListNil, nullptr, nullptr};
  *tail = nil;
  return head;
}

void edit_BookmarkClearAll(LONG_PTR window) {
  EditorRecord* ed = EditorData(window);
  ClearBookmarks(ed);
  InvalidateAll(ed);
}

void edit_BookmarkSetHandler(BookmarkHandler handler) { bookmarkHandler = handler; }

void edit_SetCursorToLine(LONG_PTR window, int32_t line, int32_t color) {
  EditorRecord* ed = EditorData(window);
  SetCursorLine(ed, line, color);
  InvalidateAll(ed);
}

void edit_SetCursorNone(LONG_PTR window) { edit_SetCursorToLine(window, 0, 0); }

void edit_CreateHyperField_1(LONG_PTR window, const wchar_t* data) {
  EditorRecord* ed = Writable(window);
  if (ed->hyperMode) CreateHyperField(ed, data);
}

void edit_CreateHyperField_0(LONG_PTR window) { edit_CreateHyperField_1(window, L""); }

void edit_DeleteHyperField(LONG_PTR window) {
  EditorRecord* ed = Writable(window);
  if (!ed->hyperMode) return;
  const wchar_t* data = L"";
  bool onField = FieldDataAtCaret(ed, &data);
  auto* payload = reinterpret_cast<hyper_event_struct*>(K::Memory::AllocGStack(sizeof(hyper_event_struct)));
  *payload = {1, data};
  QEL_KWI::event_struct e{};
  e.kind = QEL_KWI::e_user;
  e.w[0] = 10002;
  e.w[1] = reinterpret_cast<LONG_PTR>(payload);
  LONG_PTR answer = QEL_KWI::win_SendEvent(window, &e);
  if (answer == 0 && onField) RemoveFieldAtCaret(ed);
  InvalidateAll(ed);
}

}  // namespace QEL_EDIT
