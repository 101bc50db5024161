// Change All below the window: every match from a start position to the end
// of the scope is replaced, each line's new text handed to a sink once.
// Matches are found in the text as it was (positions never move while the
// pass runs), which also keeps the scope's end where it was; a forward
// regular-expression pass searches the unchanged rest of one joined copy of
// the text in place, with the characters the pattern looks back at rewritten
// just before the search start from the changed text, so neither the text
// nor the line table is copied or walked per match.
#pragma once

#include <cstdint>

#include "search.h"

namespace QEL_EDIT::detail {

// The lines as they are; the pointer stays valid until the next call.
struct LineSource {
  virtual int32_t LineCount() = 0;
  virtual const wchar_t* Line(int32_t n, int32_t* length) = 0;
};

// Receives each changed line once, in the pass's order; false stops the pass.
struct ChangeSink {
  virtual bool ChangedLine(int32_t n, const wchar_t* text, int32_t length) = 0;
};

struct ChangeAllSpec {
  const wchar_t* find;         // plain text or pattern (whole words not yet applied)
  const wchar_t* replacement;  // text, or a template with regular expressions
  bool regex, caseSensitive, wholeWords, forward;
  // Search position (1-based column): forward the first column a match may
  // start at, backward the last column a match may hold.
  int32_t line, column;
  // Far end of a selection scope (forward: the column behind it; backward:
  // its first column), line 0 for the whole text.
  int32_t endLine, endColumn;
};

enum class ChangeAllStatus { Done, BadPattern, NoMemory, Stopped };

struct ChangeAllResult {
  ChangeAllStatus status;
  int32_t count;                // replacements made
  int32_t lastLine, lastColumn;  // behind the last replacement (forward) or at it (backward)
  int32_t columnShift;          // growth of the scope's last line (selection scope, forward)
};

// Runs the pass.  `record` is the process-wide compiled-pattern record
// (created when null) for regular expressions.
ChangeAllResult ChangeAll(LineSource& lines, const ChangeAllSpec& spec, QEL_buffer_info** record,
                          ChangeSink& sink);

}  // namespace QEL_EDIT::detail
