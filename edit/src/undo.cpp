// The undo ring's bookkeeping: adding, taking for undo and redo, the clean
// state.  Applying an entry to the text is the editor's business.
//
// Keeps the invariants of undo.h; in particular a slot that is reused or
// emptied while it is the clean index takes the clean state with it.
#include "undo.h"

#include <cstdlib>
#include <cstring>
#include <utility>

namespace QEL_EDIT::detail {

wchar_t* CopyUndoText(const wchar_t* text, uint32_t n) {
  wchar_t* t = static_cast<wchar_t*>(std::malloc((static_cast<size_t>(n) + 1) * sizeof(wchar_t)));
  if (!t) return nullptr;
  if (n) std::memcpy(t, text, n * sizeof(wchar_t));
  t[n] = 0;
  return t;
}

void ClearUndoEntry(UndoEntry* e) {
  std::free(e->oldText);
  std::free(e->newText);
  std::free(e->savedText);
  std::memset(e, 0, sizeof *e);
}

UndoEntry InvertUndoEntry(const UndoEntry& e, bool wrappable) {
  UndoEntry r = e;
  std::swap(r.lineBefore, r.lineAfter);
  std::swap(r.colBefore, r.colAfter);
  std::swap(r.selBefore, r.selAfter);
  switch (e.kind) {
    case uk_insertText: r.kind = uk_deleteSelection; break;
    case uk_deleteSelection: r.kind = uk_insertText; break;
    case uk_moveDrag:
      if (wrappable) std::swap(r.dragFrom, r.dragTo);
      break;
    case uk_copyDrop: r.kind = uk_copyDropInverse; break;
    case uk_copyDropInverse: r.kind = uk_copyDrop; break;
    case uk_overwriteChar: std::swap(r.oldChar, r.newChar); break;
    // The character inserted is the one deleted, and the other way round.
    case uk_insertChar:
      r.kind = uk_deleteChar;
      std::swap(r.oldChar, r.newChar);
      break;
    case uk_deleteChar:
      r.kind = uk_insertChar;
      std::swap(r.oldChar, r.newChar);
      break;
    case uk_recreateLine: r.kind = uk_deleteLine; break;
    case uk_deleteLine: r.kind = uk_recreateLine; break;
    case uk_replaceLine:
    case uk_replaceAllLine:
      std::swap(r.oldText, r.newText);
      std::swap(r.oldLen, r.newLen);
      break;
    default: break;
  }
  return r;
}

bool UndoRing::Setup() {
  slots = static_cast<UndoEntry*>(std::calloc(RingSize, sizeof(UndoEntry)));
  undoCount = 0;
  redoCount = 0;
  current = -1;
  cleanIndex = RingSize - 1;
  return slots != nullptr;
}

void UndoRing::Destroy() {
  if (!slots) return;
  for (int32_t i = 0; i < RingSize; ++i) ClearUndoEntry(&slots[i]);
  std::free(slots);
  slots = nullptr;
}

void UndoRing::Reset() {
  if (!slots) {
    Setup();
    return;
  }
  // Only slots that were ever filled can hold anything: at most the ones
  // the counts cover, but a wrapped ring may have touched them all.
  if (current >= 0 || undoCount || redoCount)
    for (int32_t i = 0; i < RingSize; ++i)
      if (slots[i].kind != uk_empty || slots[i].oldText || slots[i].newText || slots[i].savedText)
        ClearUndoEntry(&slots[i]);
  undoCount = 0;
  redoCount = 0;
  current = -1;
  cleanIndex = RingSize - 1;
}

void UndoRing::Empty(int32_t i) {
  if (i == cleanIndex) cleanIndex = NoClean;
  ClearUndoEntry(&slots[i]);
}

void UndoRing::Add(const UndoEntry& e) {
  current = current < 0 ? 0 : NextIndex(current);
  Empty(current);
  UndoEntry& s = slots[current];
  s = e;
  bool keepsSaved = e.kind == uk_insertText || e.kind == uk_deleteSelection ||
                    e.kind == uk_lowerCase || e.kind == uk_upperCase;
  bool keepsLines = e.kind == uk_replaceLine || e.kind == uk_deleteLine ||
                    e.kind == uk_replaceAllLine;
  if (!keepsSaved) {
    std::free(s.savedText);
    s.savedText = nullptr;
    s.savedLen = 0;
  }
  if (!keepsLines) {
    std::free(s.oldText);
    std::free(s.newText);
    s.oldText = s.newText = nullptr;
    s.oldLen = s.newLen = 0;
  }
  if (undoCount < MaxUndo) ++undoCount;
  for (int32_t i = NextIndex(current), n = 1; n < redoCount; ++n, i = NextIndex(i)) Empty(i);
  redoCount = 0;
}

bool UndoRing::TakeUndo(UndoEntry* out, bool wrappable) {
  if (undoCount == 0) return false;
  *out = InvertUndoEntry(slots[current], wrappable);
  ++redoCount;
  --undoCount;
  current = PrevIndex(current);
  return true;
}

bool UndoRing::TakeRedo(UndoEntry* out) {
  if (redoCount == 0) return false;
  current = NextIndex(current);
  *out = slots[current];
  ++undoCount;
  --redoCount;
  return true;
}

bool UndoRing::AtCleanState() const {
  if (cleanIndex == NoClean) return false;
  // A new ring's current index -1 is the slot before 0.
  const int32_t cur = current < 0 ? RingSize - 1 : current;
  if (cur == cleanIndex) return true;
  // Clean state ahead: every entry after the current one up to the clean
  // one must be a selection change.
  int32_t i = cur;
  for (int32_t n = 0; n < redoCount; ++n) {
    i = NextIndex(i);
    if (slots[i].kind != uk_selection) break;
    if (i == cleanIndex) return true;
  }
  // Clean state behind: every entry from the current one back to the one
  // after the clean index must be a selection change.
  i = cur;
  for (int32_t n = 0; n < undoCount; ++n) {
    if (slots[i].kind != uk_selection) return false;
    i = PrevIndex(i);
    if (i == cleanIndex) return true;
  }
  return false;
}

}  // namespace QEL_EDIT::detail
