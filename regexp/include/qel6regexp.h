// qel6regexp: regular-expression search and replace over 16-bit text.
//
// Texts are UTF-16 units taken one by one as characters (no surrogate
// pairing), like the editor's columns; letters, digits and "_" of every
// script are word characters for \b and \w, and ignoring case folds every
// script.  "^" and "$" also match at line feeds.  Offsets and lengths count
// units from the text's start, 0-based.
//
// A compiled-pattern record (QEL_buffer_info) is created by the first compile
// into a null record pointer and reused by later compiles.  A search sees the
// whole text: \b, ^ and look-behinds see what precedes the start.  Searching
// is bounded: every search call has one budget (0.4 s, and 10 million
// backtracking steps at any one start); a call that exhausts it gives "not
// found", whatever the pattern and the length of the text.
// Replacement templates take \0 (the whole match) to \9 (group 9) and \\ for
// one backslash; any other backslash is kept as written.
//
// One record serves one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef QEL6REGEXP_BUILD
// The export list decides what the DLL exports (see exports.txt).
#define QEL_REGEXP_API
#else
#define QEL_REGEXP_API __declspec(dllimport)
#endif

extern "C" {

// The compiled-pattern record.  Callers read `matched` and `lookBehind`; the
// rest belongs to the library.
struct QEL_buffer_info {
  void* code;           // compiled pattern
  void* matchData;      // the last search's match
  void* matchContext;   // limits of a search
  void* jitStack;       // stack of the compiled matcher
  uint32_t matched;     // word 8: non-zero after a successful search
  uint32_t lookBehind;  // characters before a match start the pattern may look at
  uint32_t options;     // compile options of `code`
  uint32_t flags;       // library flags of `code`
  wchar_t* pattern;     // copy of the compiled pattern (reused when unchanged)
  size_t patternLength;
  wchar_t* result;      // the last replacement text, terminated
  size_t resultCapacity;
};
static_assert(offsetof(QEL_buffer_info, matched) == 32, "matched is the ninth 32-bit word");

// Compiles pattern into *record, creating the record when *record is null.
// 1: compiled; 0: the pattern does not compile (the record stays, without a
// pattern); -1: bad arguments.
QEL_REGEXP_API int QEL_re_compile_pattern_case(const wchar_t* pattern, QEL_buffer_info** record,
                                               int ignoreCase);

// Searches the terminated text for the record's pattern.  Tries the match
// starts start, start + 1, ... start + range when range >= 0, else start,
// start - 1, ... start + range (the range is cut at the text's ends).
// 1: found, with the match's start and length; 0: not found (also when the
// call's budget ran out); -1: bad arguments or no compiled pattern.
QEL_REGEXP_API int QEL_re_search_range_noCompile(QEL_buffer_info* record, const wchar_t* text,
                                                 int* matchStart, int* matchLength, int start,
                                                 int range);

// The same over text of the given length (which may hold any unit).
QEL_REGEXP_API int QEL_re_search_range_n(QEL_buffer_info* record, const wchar_t* text, int length,
                                         int* matchStart, int* matchLength, int start, int range);

// Compiles pattern into a record of the calling thread (kept for the next
// call with the same pattern), then searches as above.
QEL_REGEXP_API int QEL_re_search_range_compile(const wchar_t* pattern, const wchar_t* text,
                                               int* matchStart, int* matchLength, int start,
                                               int range, int ignoreCase);

// Fills the template from the record's last match over text, which must be
// the text that search ran on, or a shorter one whose matched registers are
// still inside it.  1: *resultText is the replacement, terminated, owned by
// the record and valid until its next replace or free; 0: no last match, a
// register outside the text, or bad arguments.
QEL_REGEXP_API int QEL_re_replace_compile(const wchar_t* text, const wchar_t* replacement,
                                          QEL_buffer_info* record, const wchar_t** resultText);

// The same over text of the given length.
QEL_REGEXP_API int QEL_re_replace_n(const wchar_t* text, int length, const wchar_t* replacement,
                                    QEL_buffer_info* record, const wchar_t** resultText);

// Frees a record and everything it holds; null does nothing.
QEL_REGEXP_API void QEL_re_free(QEL_buffer_info* record);

}  // extern "C"
