// Bookmarks, the cursor-to-line mark, hyper fields and the whole-text
// utilities on an editor record.  Line changes go through RewriteLines or a
// replace-line undo entry, so undo restores them.
#include "lineops.h"

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <string>

#include "core.h"
#include "qel6edit.h"
#include "find.h"
#include "hyper.h"
#include "qel6kernel.h"
#include "settings.h"
#include "textutil.h"
#include "view.h"

namespace QEL_EDIT::detail {

namespace {
namespace K = Qel::RunTime::Kernel;
}

uint32_t (*bookmarkHandler)(uint32_t type) = nullptr;

uint16_t BookmarkType(EditorRecord* ed, int32_t line) {
  if (line < 1 || line > ed->LineCount()) return 0;
  return ed->store.At(ed->store.FindLine(line))->unused;
}

void SetBookmarkType(EditorRecord* ed, int32_t line, uint16_t type) {
  if (line < 1 || line > ed->LineCount()) return;
  ed->store.At(ed->store.FindLine(line))->unused = type;
}

void ClearBookmarks(EditorRecord* ed) {
  for (ChunkRef r = ed->store.textHead; !r.IsEnd(); r = ed->store.NextLine(r))
    ed->store.At(r)->unused = 0;
}

void SetCursorLine(EditorRecord* ed, int32_t line, int32_t color) {
  ed->cursorLine = line;
  ed->cursorColor = (color & 0xFFFFFF) ? color : 0x00FF00;
}

namespace {

// A line's new raw text after `edit` on its markup, malloc'd (null when
// `edit` declines or memory is short).  Nothing in here raises, so the
// markup's strings never sit in a frame a raise crosses.
template <class F>
wchar_t* EditMarkup(const wchar_t* raw, uint32_t n, uint32_t* length, F&& edit) {
  MarkupLine m(raw, static_cast<int32_t>(n));
  if (!edit(m)) return nullptr;
  *length = static_cast<uint32_t>(m.Raw().size());
  auto* out = static_cast<wchar_t*>(malloc((*length + 1) * sizeof(wchar_t)));
  if (out) wmemcpy(out, m.Raw().c_str(), *length + 1);
  return out;
}

// Writes a line's new raw text as one replace-line step (selection
// cleared); false when the store has no room (nothing changed).
bool ReplaceLine(EditorRecord* ed, int32_t line, const LineText& old, const wchar_t* text,
                 uint32_t n, const Selection& before) {
  if (ChunksForLength(n) > ChunksForLength(old.length) && !ed->store.HasRoom(ChunksForLength(n)))
    return false;
  UndoEntry e{};
  e.kind = uk_replaceLine;
  e.lineNo = line;
  e.oldText = CopyUndoText(old.text, old.length);
  e.oldLen = static_cast<int32_t>(old.length);
  e.newText = CopyUndoText(text, n);
  e.newLen = static_cast<int32_t>(n);
  ed->store.WriteRowN(old.ref, text, n, old.hardEnd);
  ClearSelection(ed);
  e.selBefore = before;
  e.selAfter = ed->selection;
  RedrawLines(ed, line, line);
  RecordUndo(ed, e, ed->CurrentLine(), ed->caretCol, ed->CurrentLine(), ed->caretCol);
  return true;
}

// Applies `edit` to the markup of a line as one undo step; false when it declines.
template <class F>
bool EditLine(EditorRecord* ed, int32_t line, const Selection& before, F&& edit) {
  uint8_t* mark = K::Memory::MarkGStack();
  LineText old = ReadLineText(ed, line);
  uint32_t n = 0;
  wchar_t* text = EditMarkup(old.text, old.length, &n, edit);
  bool done = text && ReplaceLine(ed, line, old, text, n, before);
  bool full = text && !done;
  free(text);
  K::Memory::ReleaseGStack(mark);
  if (full) Raise(err_storeFull);
  return done;
}

}  // namespace

bool CreateHyperField(EditorRecord* ed, const wchar_t* data) {
  const Selection s = ed->selection;
  if (!s.active || s.anchorLine != s.caretLine || s.anchorCol == s.caretCol) return false;
  return EditLine(ed, s.caretLine, s, [&](MarkupLine& m) {
    return m.CreateField(s.anchorCol, s.caretCol, data ? data : L"");
  });
}

bool FieldDataAtCaret(EditorRecord* ed, const wchar_t** data) {
  LineText line = ReadLineText(ed, ed->CurrentLine());
  uint32_t n = 0;
  const int32_t col = ed->caretCol;
  wchar_t* d = EditMarkup(line.text, line.length, &n, [&](MarkupLine& m) {
    std::wstring text, fieldData;
    if (!m.FieldTexts(col, &text, &fieldData)) return false;
    m = MarkupLine(fieldData.data(), static_cast<int32_t>(fieldData.size()));
    return true;
  });
  if (!d) return false;
  *data = K::Memory::CopyStringToGStack(d);  // may raise: only the malloc'd copy is lost then
  free(d);
  return true;
}

bool RemoveFieldAtCaret(EditorRecord* ed) {
  const int32_t col = ed->caretCol;
  return EditLine(ed, ed->CurrentLine(), ed->selection,
                  [&](MarkupLine& m) { return m.RemoveFieldMarkup(col); });
}

void HyperActivate(LONG_PTR window, EditorRecord* ed) {
  LineText line = ReadLineText(ed, ed->CurrentLine());
  if (!MarkupLine(line.text, static_cast<int32_t>(line.length)).HasFields()) return;
  const wchar_t* data = L"";
  FieldDataAtCaret(ed, &data);
  auto* payload = reinterpret_cast<hyper_event_struct*>(K::Memory::AllocGStack(sizeof(hyper_event_struct)));
  *payload = {2, data};
  QEL_KWI::event_struct e{};
  e.kind = QEL_KWI::e_user;
  e.w[0] = 10003;
  e.w[1] = reinterpret_cast<LONG_PTR>(payload);
  QEL_KWI::win_SendEvent(window, &e);
}

void CheckMarkupOrRaise(const wchar_t* text) {
  if (!CheckMarkup(text, wcslen(text))) Raise(err_markup);
}

namespace {

// Rewrites without destructors: the expanded line is a malloc'd buffer.
struct Expand : LineRewrite {
  wchar_t* out = nullptr;
  bool Rewrite(int32_t, const wchar_t* old, int32_t n, const wchar_t** text, int32_t* m) override {
    if (n < 2) return false;  // a single tab stays
    bool found = false;
    std::wstring e = ExpandTabsText(old, static_cast<size_t>(n), settings.tabSize, &found);
    if (!found) return false;
    free(out);
    out = static_cast<wchar_t*>(malloc((e.size() + 1) * sizeof(wchar_t)));
    if (!out) return false;
    wmemcpy(out, e.c_str(), e.size() + 1);
    *text = out;
    *m = static_cast<int32_t>(e.size());
    return true;
  }
};

struct Trim : LineRewrite {
  int32_t current = 0, currentEnd = 0;
  bool Rewrite(int32_t line, const wchar_t* old, int32_t n, const wchar_t** text, int32_t* m) override {
    int32_t kept = KeptLength(old, n);
    if (kept == n) return false;
    if (line == current) currentEnd = kept + 1;
    *text = old;
    *m = kept;
    return true;
  }
};

}  // namespace

void ExpandTabs(EditorRecord* ed) {
  ClearSelection(ed);
  Expand rw;
  bool full = false;
  RewriteLines(ed, 1, ed->LineCount(), rw, &full);
  free(rw.out);
  MoveCaretTo(ed, ed->CurrentLine(), ed->caretCol);
  if (full) Raise(err_storeFull);
}

void TrimTrailingSpaces(EditorRecord* ed) {
  Trim rw;
  rw.current = ed->wrappable ? 0 : ed->CurrentLine();  // rows: RewriteLines keeps the caret's place
  bool full = false;
  RewriteLines(ed, 1, ed->LineCount(), rw, &full);
  if (rw.currentEnd && rw.currentEnd < ed->caretCol) {
    MoveCaretTo(ed, rw.current, rw.currentEnd);
    ed->wantedCol = ed->caretCol;
    InvalidateAll(ed);
  }
  if (full) Raise(err_storeFull);
}

}  // namespace QEL_EDIT::detail
