// Editor records: construction, the live set that editorData checks,
// destruction, and the plain-layout loader.
//
// A record is listed in the live set exactly while it may be used; a data
// word that is not a listed record serving that window is refused (6900).
// Loading converts control codes line by line while storing, so no copy of
// the whole text is made.
#include "record.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "colors.h"
#include "dictionary.h"
#include "lexer.h"
#include "qel6kernel.h"
#include "settings.h"
#include "status.h"
#include "view.h"

namespace QEL_EDIT::detail {

namespace K = Qel::RunTime::Kernel;

namespace {

// The live records; a vector of plain pointers (the records themselves are
// uncollectable, so the collector never frees one behind the set's back).
std::vector<EditorRecord*>& LiveSet() {
  static std::vector<EditorRecord*>* set = new std::vector<EditorRecord*>;
  return *set;
}

}  // namespace

EditorRecord* NewRecord(const RecordParams& p) {
  auto* ed = static_cast<EditorRecord*>(K::Memory::AllocUncollectableHeap(sizeof(EditorRecord)));
  std::memset(ed, 0, sizeof *ed);
  ed->readOnly = p.readOnly != 0;
  ed->wrapMode = p.wrap != 0;
  ed->wrappable = p.wrappable != 0;
  ed->hyperMode = p.hyperMode != 0;
  ed->indentMode = p.indent != 0;
  if (p.handler) ed->userHandler = *p.handler;
  ed->caretVisible = 1;
  ed->insertMode = 1;
  ed->leftMargin = 4;
  ed->active = 1;
  ed->cursorColor = 0xFF0000;
  ed->topMargin = p.windowType == 1 || p.windowType == 4 ? 20 : 0;
  ed->wrapWidth = ed->wrapMode ? p.rightEdge : 32000;
  ed->colorScheme = SchemeOfTitle(p.title);
  BuildKeywordTable(ed);
  ed->colorBuffer = K::Memory::AllocAtomicHeap(kColorBufferBytes);
  ed->caretRow = ed->caretCol = ed->topLine = 1;
  ed->visibleRows = 1;
  ed->lineHeight = 1;
  ed->charWidth = 8;
  LiveSet().push_back(ed);
  return ed;
}

bool IsLiveRecord(const EditorRecord* ed) {
  for (EditorRecord* r : LiveSet())
    if (r == ed) return true;
  return false;
}

void DeleteRecord(EditorRecord* ed) {
  auto& set = LiveSet();
  for (size_t i = 0; i < set.size(); ++i)
    if (set[i] == ed) {
      set.erase(set.begin() + i);
      break;
    }
  FreeKeywordTable(ed);
  if (ed->colorBuffer) K::Memory::ReleaseHeap(ed->colorBuffer);
  ed->active = 0;
  ed->store.FreeAll();
  ed->undoRing.Destroy();
  std::free(ed->charWidths);
  FreeStatusCaptions(ed);
  K::Memory::ReleaseHeap(ed);
}

EditorRecord* EditorData(LONG_PTR window) {
  LONG_PTR data = 0;
  if (window) K::RunTrapped([&] { data = QEL_KWI::win_GetData(window); });
  auto* ed = reinterpret_cast<EditorRecord*>(data);
  if (!ed || !IsLiveRecord(ed) || ed->window != window) Raise(err_notEditor);
  return ed;
}

void ResetForText(EditorRecord* ed) {
  ed->caretRow = ed->caretCol = ed->topLine = 1;
  ed->scrollX = 0;
  ed->caretX = 0;
  ed->wantedCol = 0;
  ed->active = 1;
  ed->selection = {};
  ed->suspended = 0;
  ed->ignoreFontState = 0;
  ed->undoRing.Reset();
  ed->modified = 0;
}

namespace {

// Stores one line of the caller's text; `plain` when it holds no code that
// the store converts (a control code but TAB, kept markup aside), else it
// is converted on the way.  Colouring states are stored once the whole
// text is in.
bool StoreLine(EditorRecord* ed, ChunkRef r, const wchar_t* text, uint32_t n, bool plain) {
  if (plain) return ed->store.WriteRowN(r, text, n, true);
  uint8_t* mark = K::Memory::MarkGStack();
  auto* buf = reinterpret_cast<wchar_t*>(K::Memory::AllocGStack((n + 1) * static_cast<uint32_t>(sizeof(wchar_t))));
  for (uint32_t i = 0; i < n; ++i) buf[i] = StoreChar(text[i], ed->hyperMode);
  buf[n] = 0;
  const bool ok = ed->store.WriteRowN(r, buf, n, true);
  K::Memory::ReleaseGStack(mark);
  return ok;
}

[[noreturn]] void StoreFull(EditorRecord* ed) {
  ed->store.FreeAll();
  ed->active = 0;
  Raise(err_storeFull);
}

}  // namespace

void LoadPlainText(EditorRecord* ed, const wchar_t* text) {
  ed->store.FreeAll();
  if (!ed->store.Init(ed->hyperMode)) StoreFull(ed);
  ResetForText(ed);
  ChunkRef r = ed->store.textHead;
  const wchar_t* p = text;
  for (;;) {
    const wchar_t* e = p;
    bool plain = true;
    for (; *e != L'\n' && *e; ++e)
      if (*e < 32) plain = plain && StoreChar(*e, ed->hyperMode) == *e;
    if (!StoreLine(ed, r, p, static_cast<uint32_t>(e - p), plain)) StoreFull(ed);
    if (!*e) break;
    p = e + 1;
    r = ed->store.InsertLineAfter(r);
    if (r.IsFailed()) StoreFull(ed);
  }
  UpdateVScrollRange(ed);
  SetVScrollPos(ed, 0);
  // Plain text (scheme 4) paints every code alike: its states wait for a scheme.
  if (!ed->wrappable && ed->colorScheme != 4) StoreAllLineStates(ed);
}

LineText ReadLineText(EditorRecord* ed, int32_t n, uint32_t extra) {
  LineText t;
  t.ref = ed->store.FindLine(n);
  t.length = ed->store.StoredLength(t.ref);
  t.text = reinterpret_cast<wchar_t*>(
      K::Memory::AllocGStack((t.length + extra + 1) * static_cast<uint32_t>(sizeof(wchar_t))));
  ed->store.ReadRow(t.ref, t.text, false, settings.tabSize, &t.hardEnd);
  return t;
}

void MaskMarkup(const EditorRecord* ed, LineText* t) {
  if (!ed->hyperMode) return;
  bool inRun = false;
  uint32_t n = 0;
  for (uint32_t i = 0; i < t->length; ++i)
    if (!HiddenStep(t->text[i], &inRun)) t->text[n++] = t->text[i];
  t->text[n] = 0;
  t->length = n;
}

}  // namespace QEL_EDIT::detail
