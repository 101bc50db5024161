// The editor record: one per editor window, reachable only through the
// window's data word; the set of live records; loading a text.
//
// Invariants: a record is an uncollectable heap block (it holds the user's
// handler object), listed in the live set from creation to destruction; its
// `window` is the window it serves once that exists; the caret lies inside
// the text (current line 1..lineCount, caretCol 1..line length + 1);
// `lineHeight` and `visibleRows` are at least 1.
#pragma once

#include <windows.h>

#include <cstdint>

#include "qel6kwi.h"
#include "store.h"
#include "undo.h"

namespace QEL_EDIT::detail {

struct CreateArgs {
  LONG_PTR font;
  wchar_t* text;
  uint32_t position;
};

struct EditorRecord {
  LONG_PTR window;
  LONG_PTR statusWindow;
  const wchar_t* statusCaptions[8];
  int32_t statusForeColor;
  int32_t statusBackColor;
  int32_t statusOffsets[4];
  int32_t active;
  int32_t wrapMode;
  int32_t wrappable;
  int32_t hyperMode;
  int32_t colorScheme;
  TextStore store;  // pages, lineCount, textHead, freeHead, currentLineRef, lastPage
  int32_t caretRow;
  int32_t caretCol;
  int32_t topLine;
  int32_t scrollX;
  int32_t wantedCol;
  int32_t caretX;
  uint16_t visibleRows;
  int32_t lineHeight;
  int32_t topMargin;
  Selection selection;
  void* keywordTable;
  UndoRing undoRing;
  void* colorBuffer;
  void* hyperList;
  int32_t readOnly;
  int32_t wrapWidth;
  int32_t layoutDone;
  QEL_KWI::PROLOG_EHANDLER_STRUCT userHandler;
  int32_t suspended;
  int32_t ignoreFontState;
  int32_t proportional;
  int32_t fontDescent;
  int32_t charWidth;
  int32_t caretVisible;
  int32_t insertMode;
  int32_t indentMode;
  int32_t lineColorEnabled;
  int32_t leftMargin;
  int32_t modified;
  CreateArgs* createArgs;
  int32_t bookmarksShown;
  int32_t cursorLine;
  int32_t cursorColor;
  // The view as last set: client size and the scroll bars' ranges and
  // positions (set only when they change).
  int32_t clientWidth;
  int32_t clientHeight;
  int32_t vScrollMax;
  int32_t vScrollPos;
  int32_t hScrollPos;
  // What the window's bars show.  Inside a batch (`batchDepth` > 0) bar
  // changes stay in the record and invalidations are gathered into one.
  int32_t shownVMax;
  int32_t shownVPos;
  int32_t shownHPos;
  int32_t batchDepth;
  int32_t batchInvalid;
  // Pixel widths of the characters in the window's font (proportional
  // fonts), 65,536 entries; nullptr when not measured.
  uint16_t* charWidths;
  // The editor window has the keyboard focus (from e_getfocus / e_losefocus).
  int32_t hasFocus;
  // The caret as last set on the window (shown, x, y, width, height).
  int32_t caretShown, caretSetX, caretSetY, caretSetW, caretSetH;
  int32_t hasHScroll;
  // Error code of the text load at window creation (0 when it loaded).
  uint32_t loadError;

  int32_t LineCount() const { return store.lineCount; }
  int32_t CurrentLine() const { return topLine + caretRow - 1; }
};

// Creation parameters that the record takes from its creating call.
struct RecordParams {
  int32_t windowType;
  int32_t readOnly;
  int32_t indent;
  int32_t wrap;
  int32_t wrappable;
  int32_t hyperMode;
  int32_t rightEdge;  // of the rectangle or client area, for the wrap width
  const wchar_t* title;
  const QEL_KWI::PROLOG_EHANDLER_STRUCT* handler;
};

// Builds a record (not yet loaded) and adds it to the live set.
EditorRecord* NewRecord(const RecordParams& p);
// Frees the store, the ring and the record, and takes it off the live set.
void DeleteRecord(EditorRecord* ed);
bool IsLiveRecord(const EditorRecord* ed);
// The record of an editor window; 6900 for any other window.
EditorRecord* EditorData(LONG_PTR window);

// Loads a text into the plain layout (first load or reload): control codes
// become spaces while storing, lines split at LF.  Raises 6902 when the
// store cannot hold it (pages freed, `active` cleared).
void LoadPlainText(EditorRecord* ed, const wchar_t* text);
// Resets caret, selection and ring for a freshly loaded text.
void ResetForText(EditorRecord* ed);

// A line of the store read into a global-stack buffer.
struct LineText {
  wchar_t* text;
  uint32_t length;
  ChunkRef ref;
  bool hardEnd;
};
// Reads line n raw (room for `extra` more characters is left behind it).
LineText ReadLineText(EditorRecord* ed, int32_t n, uint32_t extra = 0);
// Hyper editors: drops a read line's hidden markup in place, leaving the
// visible text that word searches see; other editors keep it whole.
void MaskMarkup(const EditorRecord* ed, LineText* t);

}  // namespace QEL_EDIT::detail
