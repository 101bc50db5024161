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
#include <cstdlib>

#include "search.h"

namespace QEL_EDIT::detail {

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

// The changed lines of one Change All as one block, for a single undo entry:
// per line its number in two units (low, high), its text and a terminator.
// The buffer is malloc'd and handed over with Take (an undo entry frees it);
// the block has no destructor, so it may live in a frame a raise crosses
// only if Release runs on every path that keeps it.
struct LineBlock {
  wchar_t* units = nullptr;
  size_t length = 0, capacity = 0;

  bool Append(int32_t line, const wchar_t* text, int32_t n);
  wchar_t* Take() {
    wchar_t* u = units;
    units = nullptr;
    length = capacity = 0;
    return u;
  }
  void Release() { free(Take()); }
};

// Calls f(line, text, length) for every line of a block of `length` units.
template <class F>
void ForEachBlockLine(const wchar_t* units, size_t length, F&& f) {
  for (size_t i = 0; i + 3 <= length;) {
    int32_t line = static_cast<int32_t>(static_cast<uint32_t>(units[i]) |
                                        static_cast<uint32_t>(units[i + 1]) << 16);
    const wchar_t* text = units + i + 2;
    size_t n = 0;
    while (i + 2 + n < length && text[n]) ++n;
    f(line, text, static_cast<int32_t>(n));
    i += n + 3;
  }
}

}  // namespace QEL_EDIT::detail
