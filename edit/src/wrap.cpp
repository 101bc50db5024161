// Word-wrap layout.  A logical line is a run of rows of which all but the
// last end soft; a row break falls only after a blank run (spaces, TABs)
// or after a 1,000-character run, never inside a hyper field (11 .. 15),
// so the joined rows always give back the line.
#include "wrap.h"

#include "core.h"
#include "qel6kernel.h"
#include "settings.h"
#include "view.h"
#include "window.h"

namespace QEL_EDIT::detail {

namespace K = Qel::RunTime::Kernel;

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// End of the word run starting at i (a field counts as one word), at most
// MaxWordRun characters long.
uint32_t WordEnd(const wchar_t* text, uint32_t i, uint32_t n, bool hyper) {
  const uint32_t start = i;
  bool inField = false;
  while (i < n && i - start < MaxWordRun) {
    const wchar_t c = text[i];
    if (!inField && IsBlank(c)) break;
    if (hyper && c == HiddenChar) inField = true;
    if (hyper && c == HiddenClose) inField = false;
    ++i;
  }
  return i;
}

// Display columns after `count` characters from column col (tabs to stops,
// hidden markup none).
int32_t AdvanceColumns(EditorRecord* ed, const wchar_t* text, uint32_t count, int32_t col) {
  bool inRun = false;
  for (uint32_t i = 0; i < count; ++i) {
    if (ed->hyperMode && HiddenStep(text[i], &inRun)) continue;
    col = text[i] == L'\t' ? (col / settings.tabSize + 1) * settings.tabSize : col + 1;
  }
  return col;
}

}  // namespace

uint32_t FindBreak(EditorRecord* ed, const wchar_t* text, uint32_t n, int32_t w) {
  if (n == 0) return 0;
  if (!IsBlank(text[0]) && WordEnd(text, 0, n, ed->hyperMode) == MaxWordRun && n > MaxWordRun) return MaxWordRun;
  uint32_t i = 0, candidate = 0;
  int32_t x = 0, col = 0;
  while (i < n) {
    uint32_t j = i;
    if (IsBlank(text[i])) {
      while (j < n && IsBlank(text[j])) ++j;
      if (j < n) {
        candidate = j;
        if (WordEnd(text, j, n, ed->hyperMode) - j == MaxWordRun) return j;
      }
    } else {
      j = WordEnd(text, i, n, ed->hyperMode);
    }
    x += PieceWidth(ed, text + i, static_cast<int32_t>(j - i), col);
    col = AdvanceColumns(ed, text + i, j - i, col);
    i = j;
    if (x >= w && candidate) return candidate;
  }
  return n;
}

int32_t RowWidth(const EditorRecord* ed) { return ed->wrapWidth - ed->leftMargin; }

int32_t WindowWrapWidth(EditorRecord* ed) {
  if (!ed->wrapMode) return 32000;
  if (!ed->window) return ed->wrapWidth;
  return QEL_KWI::win_GetClientRect(ed->window)->right - static_cast<int32_t>(QEL_KWI::kwi_GetAttrVal(204));
}

namespace {

// Stores one logical line as rows at width w, the first at r; false when
// the store is full.  *last is the line's last row.
bool StoreRows(EditorRecord* ed, ChunkRef r, const wchar_t* text, uint32_t n, int32_t w, ChunkRef* last) {
  uint8_t* mark = K::Memory::MarkGStack();
  auto* buf = reinterpret_cast<wchar_t*>(K::Memory::AllocGStack((n + 1) * static_cast<uint32_t>(sizeof(wchar_t))));
  for (uint32_t i = 0; i < n; ++i) buf[i] = StoreChar(text[i], ed->hyperMode);
  buf[n] = 0;
  bool ok = true;
  uint32_t off = 0;
  for (;;) {
    const uint32_t len = FindBreak(ed, buf + off, n - off, w);
    const bool hard = off + len == n;
    if (!ed->store.WriteRowN(r, buf + off, len, hard)) {
      ok = false;
      break;
    }
    off += len;
    if (hard) break;
    r = ed->store.InsertLineAfter(r);
    if (r.IsFailed()) {
      ok = false;
      break;
    }
  }
  *last = r;
  K::Memory::ReleaseGStack(mark);
  return ok;
}

}  // namespace

bool LoadRows(EditorRecord* ed, const wchar_t* text, int32_t w) {
  ed->store.FreeAll();
  bool ok = ed->store.Init(ed->hyperMode);
  if (ok) ResetForText(ed);
  ChunkRef r = ed->store.textHead;
  const wchar_t* p = text;
  while (ok) {
    const wchar_t* e = p;
    while (*e && *e != L'\n') ++e;
    ok = StoreRows(ed, r, p, static_cast<uint32_t>(e - p), w, &r);
    if (!ok || !*e) break;
    p = e + 1;
    r = ed->store.InsertLineAfter(r);
    ok = !r.IsFailed();
  }
  if (!ok) {
    ed->store.FreeAll();
    ed->active = 0;
    return false;
  }
  UpdateVScrollRange(ed);
  SetVScrollPos(ed, 0);
  return true;
}

wchar_t* FlattenText(EditorRecord* ed, uint32_t* length) {
  uint64_t n = 0;
  for (ChunkRef r = ed->store.textHead; !r.IsEnd(); r = ed->store.NextLine(r)) {
    bool hard;
    n += ed->store.StoredLength(r, &hard) + (hard ? 1 : 0);
  }
  auto* out = static_cast<wchar_t*>(K::Memory::AllocAtomicHeap((n + 1) * sizeof(wchar_t)));
  wchar_t* p = out;
  ChunkRef r = ed->store.textHead;
  while (!r.IsEnd()) {
    bool hard;
    const uint32_t len = ed->store.StoredLength(r, &hard);
    ChunkRef next = ed->store.ReadRow(r, p, false, settings.tabSize, nullptr);
    p += len;
    if (hard && !next.IsEnd()) *p++ = L'\n';
    r = next;
  }
  *p = 0;
  *length = static_cast<uint32_t>(p - out);
  return out;
}

bool RelayoutText(EditorRecord* ed) {
  const uint32_t pos = ed->store.PositionOf(ed->CurrentLine(), ed->caretCol);
  const int32_t modified = ed->modified;
  uint32_t length;
  wchar_t* text = FlattenText(ed, &length);
  const bool ok = LoadRows(ed, text, RowWidth(ed));
  K::Memory::ReleaseHeap(text);
  if (!ok) {
    InvalidateAll(ed);
    return false;
  }
  // The emptied ring cannot lead back to the clean text of a modified one.
  ed->modified = modified;
  if (modified) ed->undoRing.cleanIndex = NoClean;
  int32_t line, col;
  if (pos && ed->store.LineColOf(pos, &line, &col)) BringIntoView(ed, line, col, 1);
  ed->wantedCol = ed->caretCol;
  InvalidateAll(ed);
  return true;
}

void RewrapIfNeeded(EditorRecord* ed, bool force) {
  // Nothing before the first load (no store yet) or in an inactive editor.
  if (!ed->wrappable || !ed->wrapMode || !ed->window || !ed->active || !ed->store.pageTable[0]) return;
  // No room for a row: nothing changes.
  if (ed->clientHeight - ed->topMargin < ed->lineHeight) return;
  const int32_t w = WindowWrapWidth(ed);
  if (w == ed->wrapWidth && !force) return;
  ed->wrapWidth = w;
  RelayoutText(ed);
}

void RewrapIfTooWide(EditorRecord* ed, int32_t from, int32_t to) {
  if (!ed->wrappable || !ed->wrapMode) return;
  const int32_t w = RowWidth(ed);
  for (int32_t n = from; n <= to; ++n) {
    uint8_t* mark = K::Memory::MarkGStack();
    LineText t = ReadLineText(ed, n);
    // A row that is one word may stay wider than the row.
    const bool tooWide = TextWidth(ed, t.text, static_cast<int32_t>(t.length)) >= w &&
                         FindBreak(ed, t.text, t.length, w) < t.length;
    K::Memory::ReleaseGStack(mark);
    if (tooWide) {
      RelayoutText(ed);
      return;
    }
  }
}

void LoadEditorText(EditorRecord* ed, const wchar_t* text) {
  if (!ed->wrappable) {
    LoadPlainText(ed, text);
    return;
  }
  ed->wrapWidth = WindowWrapWidth(ed);
  if (!LoadRows(ed, text, RowWidth(ed))) Raise(err_storeFull);
}

}  // namespace QEL_EDIT::detail
