// The editor's search engine below the window: the process-wide options,
// plain matching of one line with precomputed case variants, and
// regular-expression search over the whole text joined by line feeds with a
// table of line starts.  Columns are 1-based; offsets into the joined text
// 0-based.  Nothing here raises or fails.
#pragma once

#include <cstdint>

#include "qel6regexp.h"

namespace QEL_EDIT::detail {

struct SearchOptions {
  bool wholeWords = false;
  bool caseSensitive = false;
  bool forward = true;
  bool regex = false;
  int32_t origin = 1;            // 1 entire scope, 0 from the cursor
  int32_t rememberedOrigin = 1;  // the origin Find Text starts with
  bool selectionScope = false;
};

// The process-wide search state shared by every editor, the dialogs and the
// exported search functions.
struct SearchState {
  SearchOptions options;
  int32_t line = 1, column = 1;        // search position
  QEL_buffer_info* record = nullptr;   // the last compiled pattern
  bool replacing = false, changeAll = false, matchPending = false;
  int32_t columnShift = 0, replacementCount = 0;
  wchar_t* lastMatched = nullptr;  // text of the last regular-expression match (malloc'd)
  size_t lastMatchedCapacity = 0;
};
extern SearchState searchState;

// A character the system calls alphanumeric, or "_".
bool IsWordChar(wchar_t c);

// The pattern twice: each position holds the character and its other case
// (case sensitive: the character twice).
struct CaseVariants {
  wchar_t* upper;
  wchar_t* lower;
  int32_t length;
};
// Fills upper and lower (length units each) from the pattern.
void BuildCaseVariants(const wchar_t* pattern, int32_t length, bool caseSensitive, wchar_t* upper,
                       wchar_t* lower);

// Forward: candidates from *searchCol rightward; backward: from
// *searchCol - length + 1 leftward.  A match sets *searchCol to the column
// behind it and returns its first column; none returns 0.
int32_t MatchForward(const wchar_t* line, int32_t lineLength, const CaseVariants& p,
                     bool wholeWords, int32_t* searchCol);
int32_t MatchBackward(const wchar_t* line, int32_t lineLength, const CaseVariants& p,
                      bool wholeWords, int32_t* searchCol);

// The pattern bound to word boundaries as a whole: \b(?:pattern)\b, written
// to out (room for length + 9 units, terminated).
void WholeWordPattern(const wchar_t* pattern, int32_t length, wchar_t* out);

// The text as one string, lines joined by line feeds, and where each line
// starts.  `text` may sit behind a pad of units the caller uses.
struct JoinedText {
  const wchar_t* text;
  int32_t length;
  const int32_t* lineStart;  // lineStart[n - 1]: offset of line n
  int32_t lineCount;

  // Offset of (line, column); column 0 is the line feed before the line.
  int32_t OffsetOf(int32_t line, int32_t column) const { return lineStart[line - 1] + column - 1; }
  // The line holding the offset and the 1-based column in it.
  void LineColumnOf(int32_t offset, int32_t* line, int32_t* column) const;
};

// The lines as they are; the pointer stays valid until the next call.
struct LineSource {
  virtual int32_t LineCount() = 0;
  virtual const wchar_t* Line(int32_t n, int32_t* length) = 0;
  virtual int32_t LineLength(int32_t n) {
    int32_t length = 0;
    Line(n, &length);
    return length;
  }
  // At least the joined text's length, when known cheaply; -1 otherwise.
  virtual int64_t JoinedBound() { return -1; }
  // Whether a match (1-based column) may be replaced; skipped ones are
  // passed over and the search goes on.
  virtual bool MatchAllowed(int32_t line, int32_t column, int32_t length) { return true; }
};

// A joined copy of the lines on the heap (a text of 50 M characters does not
// fit the global stack), behind `pad` spare units, with its line starts.  No
// destructor: Free releases it.  One released buffer (up to 64 MB) is kept
// for the next copy: under Wine a fresh 10 MB block costs far more in first
// touches of its pages than the copy itself.
struct JoinedCopy {
  wchar_t* buffer = nullptr;  // pad units, then the text
  int32_t* starts = nullptr;
  size_t capacity = 0, startsCapacity = 0;  // units, entries
  int32_t pad = 0;
  JoinedText text{};

  // False when memory is short or the text is longer than 2^31 - 16 units.
  bool Build(LineSource& lines, int32_t padUnits);
  void Free();
};

// One regular-expression search of the compiled record over the joined text:
// tries the starts from `start` to start + range (range >= 0 forward, <= 0
// backward).  Forward,
// `start` is the first character a match may hold and a match ending behind
// start + range is none; backward, `start` is the last character a match may
// hold.  Empty matches and matches over a line feed are passed over: the
// search goes on from the next start.  True with the match's offset and
// length.
bool RegexFind(QEL_buffer_info* record, const wchar_t* text, int32_t length, bool forward,
               int32_t start, int32_t range, int32_t* matchStart, int32_t* matchLength);

}  // namespace QEL_EDIT::detail
