// The undo ring: 512 entries, an undo and a redo count, the current index
// (newest entry that can be undone, -1 when new) and the clean index (the
// index that was current when the text was last marked unmodified).
//
// Invariants: undoCount <= 511; undoCount + redoCount <= 512; an entry owns
// its three texts (malloc'd) and only the kinds that use them hold them; the
// clean index is NoClean once its slot has been reused or dropped, since the
// clean text can then no longer be reached.
#pragma once

#include <cstdint>

namespace QEL_EDIT::detail {

constexpr int32_t RingSize = 512;
constexpr int32_t MaxUndo = 511;
constexpr int32_t NoClean = -2;

enum UndoKind : int32_t {
  uk_empty = 0,
  uk_selection = 1,
  uk_insertText = 2,
  uk_deleteSelection = 3,
  uk_moveDrag = 4,
  uk_copyDrop = 5,
  uk_copyDropInverse = 6,
  uk_overwriteChar = 7,
  uk_insertChar = 8,
  uk_deleteChar = 9,
  uk_replaceLine = 10,
  uk_recreateLine = 11,
  uk_deleteLine = 12,
  uk_replaceAllLine = 13,
  uk_reverseCase = 14,
  uk_lowerCase = 15,
  uk_upperCase = 16,
};

struct Selection {
  int32_t active;
  int32_t anchorCol;
  int32_t anchorLine;
  int32_t caretCol;
  int32_t caretLine;
  // Whether it holds any text (an active selection may be empty).
  bool HoldsText() const { return active && !(anchorLine == caretLine && anchorCol == caretCol); }
};

// logicalOffset of a kind-10 entry whose texts are a wrapping editor's
// whole logical line, found by its first row (logicalRow).
constexpr int32_t WholeLogicalLine = -1;

struct UndoEntry {
  int32_t lineBefore, colBefore;
  int32_t lineAfter, colAfter;
  int32_t logicalRow, logicalOffset;
  uint16_t oldChar, newChar;
  int32_t lineNo;
  wchar_t* oldText;
  int32_t oldLen;
  wchar_t* newText;
  int32_t newLen;
  wchar_t* savedText;
  int32_t savedLen;
  int32_t splitRow, indentCopied, joinedRows;
  Selection selBefore;
  Selection selAfter;
  int32_t dragFrom, dragTo;
  int32_t kind;
  // Kind 13 of one Change All: the texts are line blocks (LineBlock), the
  // whole pass is one step.
  int32_t lineBlock;
};

// A heap copy of `n` characters plus a terminator (malloc; nullptr for none).
wchar_t* CopyUndoText(const wchar_t* text, uint32_t n);
// Frees the texts of an entry and makes it an empty slot.
void ClearUndoEntry(UndoEntry* e);
// The inverse of an entry (texts shared, not copied).
UndoEntry InvertUndoEntry(const UndoEntry& e, bool wrappable);

class UndoRing {
 public:
  // Allocates the slots; false when out of memory.
  bool Setup();
  // Frees every entry's texts and the slots.
  void Destroy();
  // Empties the ring in place (entries and texts freed, counts and indexes
  // as new); the slots stay allocated.
  void Reset();
  // Adds an entry; the ring takes over its texts (those the kind does not
  // hold are freed).
  void Add(const UndoEntry& e);
  // The inverted copy of the newest undoable entry, moving the indexes;
  // false when there is nothing to undo.
  bool TakeUndo(UndoEntry* out, bool wrappable);
  // The next redoable entry (uninverted copy); false when there is none.
  bool TakeRedo(UndoEntry* out);
  // Whether the text is back at the clean state (only selection changes
  // between the clean index and the current one).
  bool AtCleanState() const;
  void MarkClean() { cleanIndex = current < 0 ? RingSize - 1 : current; }

  int32_t undoCount;
  int32_t redoCount;
  int32_t cleanIndex;
  int32_t current;
  UndoEntry* slots;

  static int32_t NextIndex(int32_t i) { return i == RingSize - 1 ? 0 : i + 1; }
  static int32_t PrevIndex(int32_t i) { return i <= 0 ? RingSize - 1 : i - 1; }

 private:
  void Empty(int32_t i);
};

}  // namespace QEL_EDIT::detail
