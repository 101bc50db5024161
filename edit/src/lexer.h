// The colouring lexer: cuts one zero-terminated line into colour runs.
//
// Runs are {length, code} at an 8-byte stride, written into a caller's
// buffer of `kRunCapacity` runs and closed by a run of length 0.  Three
// modes share one state table: colouring (keywords from a dictionary, a
// 4-bit line state carried between lines), visible tokens (hyper marks and
// hidden data skipped, so lengths are visible columns) and markup (every
// character counted, hyper-field parts as codes 100..103).
#pragma once

#include <cstdint>

namespace QEL_EDIT::detail {

struct Dictionary;
struct EditorRecord;

struct ColourRun {
  int32_t length;
  uint16_t code;
  uint16_t pad;
};
static_assert(sizeof(ColourRun) == 8);

// Room in an editor's `colorBuffer` (160,000 bytes) and where lexing stops.
constexpr int32_t kRunCapacity = 20000;
constexpr uint32_t kColorBufferBytes = kRunCapacity * sizeof(ColourRun);
constexpr int32_t kMaxLexRuns = 19990;

enum ColourCode : uint16_t {
  cc_other = 0,
  cc_identifier = 1,
  cc_upperName = 2,
  cc_string = 3,
  cc_error = 4,
  cc_char = 5,
  cc_hex = 6,
  cc_integer = 7,
  cc_real = 8,
  cc_octal = 9,
  cc_keyword = 10,
  cc_comment = 14,
  cc_blank = 15,
  cc_paren = 16,
  cc_square = 17,
  cc_semicolon = 18,
  cc_hyperText = 19,
  cc_selection = 20,
  cc_underscoreName = 21,
  cc_hiddenData = 100,
  cc_hyperStart = 101,
  cc_hyperSeparator = 102,
  cc_hyperEnd = 103,
  cc_fill = 200,
  cc_selectedFill = 201,
};

// Line-state bits.
constexpr uint32_t kInComment = 3;      // the line ends inside a block comment
constexpr uint32_t kCommentOpens = 4;   // a block comment opens on the line
constexpr uint32_t kCommentCloses = 8;  // a block comment closes on the line

// Colours a line for `scheme`.  `state` is the previous line's state on
// entry and this line's on return.  With a dictionary, tokens found in it
// take the keyword's colour code.
void LexColour(const wchar_t* text, int32_t scheme, Dictionary* keywords, ColourRun* runs,
               uint32_t* state);
// The same for an editor: its scheme, and its dictionary when `keywords`.
int32_t ColourLine(EditorRecord* ed, const wchar_t* text, ColourRun* runs, uint32_t* state,
                   bool keywords);
// Line states kept in the store, lexed without keywords: every line's at
// load; after a change from line `from` on until a line's state comes out
// as it was stored (the lines below cannot change then).  The state a
// line starts from is the stored state of the line above (0 for line 1).
void StoreAllLineStates(EditorRecord* ed);
void UpdateLineStates(EditorRecord* ed, int32_t from);
uint32_t StateBefore(EditorRecord* ed, int32_t line);

// Visible tokens: words (letters, digits, '_', '$' with hex digits) code 1,
// blanks 15, hyper-field text 19, anything else 0.
void VisibleTokens(const wchar_t* text, ColourRun* runs);
// Markup pieces; true when the line holds a hyper field.
bool MarkupTokens(const wchar_t* text, ColourRun* runs);

// Character classes: a group bit and a detail set.
struct CharClass {
  uint16_t group;
  uint16_t detail;
};
CharClass ClassifyChar(wchar_t c, int32_t scheme);

}  // namespace QEL_EDIT::detail
