// The colouring lexer: one state table for three modes.
//
// A state is the index of its first row; the rows of a state are tried in
// order and its last row matches every character.  A row's actions run in
// the order back, emit, take, advance, stop; otherwise the machine goes to
// the row's next state.  Each character is classified once when the
// machine reaches it (a back step re-reads one); runs go straight into the
// caller's buffer, so nothing is allocated per token.
#include "lexer.h"

#include <windows.h>

#include "dictionary.h"
#include "qel6kernel.h"
#include "record.h"

namespace QEL_EDIT::detail {

namespace {

// Groups.
constexpr uint16_t G_DIGIT = 1, G_LETTER = 2, G_BLANK = 4, G_QUOTE = 8, G_OP = 0x10, G_HYPER = 0x20,
                   G_HASH = 0x40, G_BRACKET = 0x80, G_ANY = 0xFFFF;
// Details.
constexpr uint16_t D_ANY = 0xFFFF;
constexpr uint16_t D_ZERO = 1, D_OCTAL = 2, D_DIGIT = 4;                                // digits
constexpr uint16_t D_UPPER = 1, D_LOWER = 2, D_E = 4, D_X = 8, D_HEX = 0x10, D_ESC = 0x20,  // letters
    D_UNDERSCORE = 0x40, D_U = 0x80, D_O = 0x100;
constexpr uint16_t D_END = 1, D_SPACE = 2, D_TAB = 4, D_UNLISTED = 0x10;  // blank or end
constexpr uint16_t D_APOS = 1, D_DQUOTE = 2;                                // quotes
constexpr uint16_t D_SLASH = 1, D_STAR = 2, D_PLUS = 4, D_MINUS = 8, D_BACKSLASH = 0x10, D_PERCENT = 0x20,
                   D_DOT = 0x40, D_DOLLAR = 0x80, D_COMMENT_PERCENT = 0x200, D_AT = 0x400;  // operators
constexpr uint16_t D_HSTART = 1, D_HSEP = 2, D_HEND = 4;                                     // hyper marks
constexpr uint16_t D_PAREN = 1, D_SQUARE = 2, D_SEMI = 4;                                    // brackets
constexpr uint16_t D_BLANK = D_SPACE | D_TAB;

// Actions.
constexpr uint8_t STOP = 1, ADV = 2, TAKE = 4, EMIT = 8, BACK = 0x10, TA = TAKE | ADV;

// '#' with the word behind it, resolved when emitted.
constexpr uint16_t cc_hashWord = 250;

enum State : uint8_t {
  // Colouring.
  S_TOP,
  S_IDENT_L,
  S_IDENT_U,
  S_UNDERSCORE,
  S_UNDERSCORE_NAME,
  S_STRING,
  S_STRING_ESC,
  S_STRING_DONE,
  S_CHAR,
  S_CHAR_ESC,
  S_CHAR_U1,
  S_CHAR_U2,
  S_CHAR_U3,
  S_CHAR_U4,
  S_CHAR_CLOSE,
  S_CHAR_DONE,
  S_AT,
  S_AT_WORD,
  S_VERBATIM,
  S_SLASH,
  S_LINE_COMMENT,
  S_BLANKS,
  S_PAREN,
  S_SQUARE,
  S_SEMI,
  S_INT,
  S_INT_DOT,
  S_FRACTION,
  S_EXP,
  S_EXP_SIGN,
  S_EXP_DIGITS,
  S_ZERO,
  S_HEX,
  S_OCT,
  S_DOT,
  S_HASH,
  S_HASH_WORD,
  S_OTHER,
  S_OTHER_STAR,
  S_OTHER_CLOSE,
  S_HYPER_TEXT,
  S_HYPER_HIDDEN,
  S_COMMENT,
  S_COMMENT_STAR,
  S_COMMENT_SLASH,
  S_COMMENT_OPEN,
  S_COMMENT_REOPEN,
  S_COMMENT_CLOSE,
  // Visible tokens.
  V_TOP,
  V_WORD,
  V_BLANK,
  V_DOLLAR,
  V_DOLLAR_HEX,
  V_OTHER,
  V_HYPER_TEXT,
  V_HYPER_HIDDEN,
  // Markup.
  M_TOP,
  M_BLANK,
  M_OTHER,
  M_START,
  M_TEXT,
  M_SEPARATOR,
  M_HIDDEN,
  M_END,
  kStateCount
};

struct RowDef {
  State state;
  uint16_t group, detail;
  uint8_t actions;
  uint16_t code;
  State next;
};

// clang-format off
const RowDef kRows[] = {
  // Between tokens.  Must stay first: its index is 0, the "not in a comment" state.
  {S_TOP, G_BLANK, D_END, STOP, 0, S_TOP},
  {S_TOP, G_LETTER, D_LOWER, TA, 0, S_IDENT_L},
  {S_TOP, G_LETTER, D_UPPER, TA, 0, S_IDENT_U},
  {S_TOP, G_LETTER, D_UNDERSCORE, TA, 0, S_UNDERSCORE},
  {S_TOP, G_DIGIT, D_ZERO, TA, 0, S_ZERO},
  {S_TOP, G_DIGIT, D_ANY, TA, 0, S_INT},
  {S_TOP, G_QUOTE, D_DQUOTE, TA, 0, S_STRING},
  {S_TOP, G_QUOTE, D_APOS, TA, 0, S_CHAR},
  {S_TOP, G_OP, D_SLASH, TA, 0, S_SLASH},
  {S_TOP, G_OP, D_COMMENT_PERCENT, TA, 0, S_LINE_COMMENT},
  {S_TOP, G_OP, D_STAR, TA, 0, S_OTHER_STAR},
  {S_TOP, G_OP, D_AT, TA, 0, S_AT},
  {S_TOP, G_OP, D_DOT, TA, 0, S_DOT},
  {S_TOP, G_BLANK, D_BLANK, TA, 0, S_BLANKS},
  {S_TOP, G_BRACKET, D_PAREN, TA, 0, S_PAREN},
  {S_TOP, G_BRACKET, D_SQUARE, TA, 0, S_SQUARE},
  {S_TOP, G_BRACKET, D_SEMI, TA, 0, S_SEMI},
  {S_TOP, G_HASH, D_ANY, TA, 0, S_HASH},
  {S_TOP, G_HYPER, D_HSTART, ADV, 0, S_HYPER_TEXT},
  {S_TOP, G_HYPER, D_ANY, ADV, 0, S_TOP},
  {S_TOP, G_ANY, D_ANY, TA, 0, S_OTHER},

  {S_IDENT_L, G_LETTER | G_DIGIT, D_ANY, TA, 0, S_IDENT_L},
  {S_IDENT_L, G_ANY, D_ANY, EMIT, cc_identifier, S_TOP},
  {S_IDENT_U, G_LETTER | G_DIGIT, D_ANY, TA, 0, S_IDENT_U},
  {S_IDENT_U, G_ANY, D_ANY, EMIT, cc_upperName, S_TOP},
  {S_UNDERSCORE, G_LETTER | G_DIGIT, D_ANY, TA, 0, S_UNDERSCORE_NAME},
  {S_UNDERSCORE, G_ANY, D_ANY, EMIT, cc_identifier, S_TOP},
  {S_UNDERSCORE_NAME, G_LETTER | G_DIGIT, D_ANY, TA, 0, S_UNDERSCORE_NAME},
  {S_UNDERSCORE_NAME, G_ANY, D_ANY, EMIT, cc_underscoreName, S_TOP},

  {S_STRING, G_BLANK, D_END, EMIT, cc_error, S_TOP},
  {S_STRING, G_OP, D_BACKSLASH, TA, 0, S_STRING_ESC},
  {S_STRING, G_QUOTE, D_DQUOTE, TA, 0, S_STRING_DONE},
  {S_STRING, G_ANY, D_ANY, TA, 0, S_STRING},
  {S_STRING_ESC, G_BLANK, D_END, EMIT, cc_error, S_TOP},
  {S_STRING_ESC, G_ANY, D_ANY, TA, 0, S_STRING},
  {S_STRING_DONE, G_ANY, D_ANY, EMIT, cc_string, S_TOP},

  {S_CHAR, G_BLANK, D_END, EMIT, cc_error, S_TOP},
  {S_CHAR, G_QUOTE, D_APOS, TA, 0, S_CHAR_DONE},
  {S_CHAR, G_OP, D_BACKSLASH, TA, 0, S_CHAR_ESC},
  {S_CHAR, G_ANY, D_ANY, TA, 0, S_CHAR_CLOSE},
  {S_CHAR_ESC, G_LETTER, D_ESC, TA, 0, S_CHAR_CLOSE},
  {S_CHAR_ESC, G_LETTER, D_U, TA, 0, S_CHAR_U1},
  {S_CHAR_ESC, G_QUOTE, D_ANY, TA, 0, S_CHAR_CLOSE},
  {S_CHAR_ESC, G_OP, D_BACKSLASH, TA, 0, S_CHAR_CLOSE},
  {S_CHAR_ESC, G_ANY, D_ANY, EMIT, cc_char, S_TOP},
  {S_CHAR_U1, G_DIGIT, D_ANY, TA, 0, S_CHAR_U2},
  {S_CHAR_U1, G_LETTER, D_HEX, TA, 0, S_CHAR_U2},
  {S_CHAR_U1, G_ANY, D_ANY, EMIT, cc_char, S_TOP},
  {S_CHAR_U2, G_DIGIT, D_ANY, TA, 0, S_CHAR_U3},
  {S_CHAR_U2, G_LETTER, D_HEX, TA, 0, S_CHAR_U3},
  {S_CHAR_U2, G_ANY, D_ANY, 0, 0, S_CHAR_CLOSE},
  {S_CHAR_U3, G_DIGIT, D_ANY, TA, 0, S_CHAR_U4},
  {S_CHAR_U3, G_LETTER, D_HEX, TA, 0, S_CHAR_U4},
  {S_CHAR_U3, G_ANY, D_ANY, 0, 0, S_CHAR_CLOSE},
  {S_CHAR_U4, G_DIGIT, D_ANY, TA, 0, S_CHAR_CLOSE},
  {S_CHAR_U4, G_LETTER, D_HEX, TA, 0, S_CHAR_CLOSE},
  {S_CHAR_U4, G_ANY, D_ANY, 0, 0, S_CHAR_CLOSE},
  {S_CHAR_CLOSE, G_QUOTE, D_APOS, TA, 0, S_CHAR_DONE},
  {S_CHAR_CLOSE, G_ANY, D_ANY, EMIT, cc_char, S_TOP},
  {S_CHAR_DONE, G_ANY, D_ANY, EMIT, cc_char, S_TOP},

  {S_AT, G_QUOTE, D_DQUOTE, TA, 0, S_VERBATIM},
  {S_AT, G_LETTER, D_ANY, TA, 0, S_AT_WORD},
  {S_AT, G_ANY, D_ANY, 0, 0, S_OTHER},
  // '@' with a word is other text, one token, so that "@short" can be a keyword.
  {S_AT_WORD, G_LETTER | G_DIGIT, D_ANY, TA, 0, S_AT_WORD},
  {S_AT_WORD, G_ANY, D_ANY, EMIT, cc_other, S_TOP},
  {S_VERBATIM, G_BLANK, D_END, EMIT, cc_error, S_TOP},
  {S_VERBATIM, G_QUOTE, D_DQUOTE, TA, 0, S_STRING_DONE},
  {S_VERBATIM, G_ANY, D_ANY, TA, 0, S_VERBATIM},

  {S_SLASH, G_OP, D_STAR, TA, 0, S_COMMENT_OPEN},
  {S_SLASH, G_ANY, D_ANY, 0, 0, S_OTHER},
  {S_LINE_COMMENT, G_BLANK, D_END, EMIT, cc_comment, S_TOP},
  {S_LINE_COMMENT, G_ANY, D_ANY, TA, 0, S_LINE_COMMENT},

  {S_BLANKS, G_BLANK, D_BLANK, TA, 0, S_BLANKS},
  {S_BLANKS, G_ANY, D_ANY, EMIT, cc_blank, S_TOP},
  {S_PAREN, G_ANY, D_ANY, EMIT, cc_paren, S_TOP},
  {S_SQUARE, G_ANY, D_ANY, EMIT, cc_square, S_TOP},
  {S_SEMI, G_ANY, D_ANY, EMIT, cc_semicolon, S_TOP},

  {S_INT, G_DIGIT, D_ANY, TA, 0, S_INT},
  {S_INT, G_OP, D_DOT, TA, 0, S_INT_DOT},
  {S_INT, G_LETTER, D_E, TA, 0, S_EXP},
  {S_INT, G_ANY, D_ANY, EMIT, cc_integer, S_TOP},
  {S_INT_DOT, G_DIGIT, D_ANY, TA, 0, S_FRACTION},
  {S_INT_DOT, G_ANY, D_ANY, BACK | EMIT, cc_integer, S_TOP},
  {S_FRACTION, G_DIGIT, D_ANY, TA, 0, S_FRACTION},
  {S_FRACTION, G_LETTER, D_E, TA, 0, S_EXP},
  {S_FRACTION, G_ANY, D_ANY, EMIT, cc_real, S_TOP},
  {S_EXP, G_OP, D_PLUS | D_MINUS, TA, 0, S_EXP_SIGN},
  {S_EXP, G_DIGIT, D_ANY, TA, 0, S_EXP_DIGITS},
  {S_EXP, G_ANY, D_ANY, EMIT, cc_error, S_TOP},
  {S_EXP_SIGN, G_DIGIT, D_ANY, TA, 0, S_EXP_DIGITS},
  {S_EXP_SIGN, G_ANY, D_ANY, EMIT, cc_error, S_TOP},
  {S_EXP_DIGITS, G_DIGIT, D_ANY, TA, 0, S_EXP_DIGITS},
  {S_EXP_DIGITS, G_ANY, D_ANY, EMIT, cc_real, S_TOP},
  {S_ZERO, G_LETTER, D_X, TA, 0, S_HEX},
  {S_ZERO, G_LETTER, D_O, TA, 0, S_OCT},
  {S_ZERO, G_OP, D_DOT, TA, 0, S_INT_DOT},
  {S_ZERO, G_LETTER, D_E, TA, 0, S_EXP},
  {S_ZERO, G_ANY, D_ANY, EMIT, cc_integer, S_TOP},
  {S_HEX, G_DIGIT, D_ANY, TA, 0, S_HEX},
  {S_HEX, G_LETTER, D_HEX, TA, 0, S_HEX},
  {S_HEX, G_ANY, D_ANY, EMIT, cc_hex, S_TOP},
  {S_OCT, G_DIGIT, D_OCTAL, TA, 0, S_OCT},
  {S_OCT, G_ANY, D_ANY, EMIT, cc_octal, S_TOP},
  {S_DOT, G_DIGIT, D_ANY, TA, 0, S_FRACTION},
  {S_DOT, G_ANY, D_ANY, 0, 0, S_OTHER},

  {S_HASH, G_LETTER, D_ANY, TA, 0, S_HASH_WORD},
  {S_HASH, G_ANY, D_ANY, 0, 0, S_OTHER},
  {S_HASH_WORD, G_LETTER | G_DIGIT, D_ANY, TA, 0, S_HASH_WORD},
  {S_HASH_WORD, G_ANY, D_ANY, EMIT, cc_hashWord, S_TOP},

  // Other text gathers until a character that may start a token.
  {S_OTHER, G_OP, D_STAR, TA, 0, S_OTHER_STAR},
  {S_OTHER, G_OP, D_PLUS | D_MINUS | D_BACKSLASH | D_PERCENT | D_DOLLAR, TA, 0, S_OTHER},
  {S_OTHER, G_HASH, D_ANY, TA, 0, S_OTHER},
  {S_OTHER, G_BLANK, D_UNLISTED, TA, 0, S_OTHER},
  {S_OTHER, G_ANY, D_ANY, EMIT, cc_other, S_TOP},
  {S_OTHER_STAR, G_OP, D_SLASH | D_COMMENT_PERCENT, TA, 0, S_OTHER_CLOSE},
  {S_OTHER_STAR, G_ANY, D_ANY, 0, 0, S_OTHER},
  {S_OTHER_CLOSE, G_ANY, D_ANY, 0, 0, S_OTHER},

  {S_HYPER_TEXT, G_BLANK, D_END, EMIT, cc_hyperText, S_TOP},
  {S_HYPER_TEXT, G_HYPER, D_HSEP, EMIT | ADV, cc_hyperText, S_HYPER_HIDDEN},
  {S_HYPER_TEXT, G_ANY, D_ANY, TA, 0, S_HYPER_TEXT},
  {S_HYPER_HIDDEN, G_BLANK, D_END, 0, 0, S_TOP},
  {S_HYPER_HIDDEN, G_HYPER, D_HEND, ADV, 0, S_TOP},
  {S_HYPER_HIDDEN, G_ANY, D_ANY, ADV, 0, S_HYPER_HIDDEN},

  // Inside a block comment; lines continuing one start here.
  {S_COMMENT, G_BLANK, D_END, EMIT | STOP, cc_comment, S_COMMENT},
  {S_COMMENT, G_OP, D_STAR, TA, 0, S_COMMENT_STAR},
  {S_COMMENT, G_OP, D_SLASH | D_COMMENT_PERCENT, TA, 0, S_COMMENT_SLASH},
  {S_COMMENT, G_ANY, D_ANY, TA, 0, S_COMMENT},
  {S_COMMENT_STAR, G_OP, D_SLASH | D_COMMENT_PERCENT, TA, 0, S_COMMENT_CLOSE},
  {S_COMMENT_STAR, G_OP, D_STAR, TA, 0, S_COMMENT_STAR},
  {S_COMMENT_STAR, G_ANY, D_ANY, 0, 0, S_COMMENT},
  {S_COMMENT_SLASH, G_OP, D_STAR, TA, 0, S_COMMENT_REOPEN},
  {S_COMMENT_SLASH, G_ANY, D_ANY, 0, 0, S_COMMENT},
  {S_COMMENT_OPEN, G_ANY, D_ANY, 0, 0, S_COMMENT},
  {S_COMMENT_REOPEN, G_ANY, D_ANY, 0, 0, S_COMMENT},
  {S_COMMENT_CLOSE, G_ANY, D_ANY, EMIT, cc_comment, S_TOP},

  // Visible tokens.
  {V_TOP, G_BLANK, D_END, STOP, 0, V_TOP},
  {V_TOP, G_LETTER | G_DIGIT, D_ANY, TA, 0, V_WORD},
  {V_TOP, G_BLANK, D_BLANK, TA, 0, V_BLANK},
  {V_TOP, G_OP, D_DOLLAR, TA, 0, V_DOLLAR},
  {V_TOP, G_HYPER, D_HSTART, ADV, 0, V_HYPER_TEXT},
  {V_TOP, G_HYPER, D_ANY, ADV, 0, V_TOP},
  {V_TOP, G_ANY, D_ANY, TA, 0, V_OTHER},
  {V_WORD, G_LETTER | G_DIGIT, D_ANY, TA, 0, V_WORD},
  {V_WORD, G_ANY, D_ANY, EMIT, cc_identifier, V_TOP},
  {V_BLANK, G_BLANK, D_BLANK, TA, 0, V_BLANK},
  {V_BLANK, G_ANY, D_ANY, EMIT, cc_blank, V_TOP},
  {V_DOLLAR, G_DIGIT, D_ANY, TA, 0, V_DOLLAR_HEX},
  {V_DOLLAR, G_LETTER, D_HEX, TA, 0, V_DOLLAR_HEX},
  {V_DOLLAR, G_ANY, D_ANY, 0, 0, V_OTHER},
  {V_DOLLAR_HEX, G_DIGIT, D_ANY, TA, 0, V_DOLLAR_HEX},
  {V_DOLLAR_HEX, G_LETTER, D_HEX, TA, 0, V_DOLLAR_HEX},
  {V_DOLLAR_HEX, G_ANY, D_ANY, EMIT, cc_identifier, V_TOP},
  {V_OTHER, G_LETTER | G_DIGIT | G_HYPER, D_ANY, EMIT, cc_other, V_TOP},
  {V_OTHER, G_BLANK, D_END | D_BLANK, EMIT, cc_other, V_TOP},
  {V_OTHER, G_OP, D_DOLLAR, EMIT, cc_other, V_TOP},
  {V_OTHER, G_ANY, D_ANY, TA, 0, V_OTHER},
  {V_HYPER_TEXT, G_BLANK, D_END, EMIT, cc_hyperText, V_TOP},
  {V_HYPER_TEXT, G_HYPER, D_HSEP, EMIT | ADV, cc_hyperText, V_HYPER_HIDDEN},
  {V_HYPER_TEXT, G_ANY, D_ANY, TA, 0, V_HYPER_TEXT},
  {V_HYPER_HIDDEN, G_BLANK, D_END, 0, 0, V_TOP},
  {V_HYPER_HIDDEN, G_HYPER, D_HEND, ADV, 0, V_TOP},
  {V_HYPER_HIDDEN, G_ANY, D_ANY, ADV, 0, V_HYPER_HIDDEN},

  // Markup: every character counted.
  {M_TOP, G_BLANK, D_END, STOP, 0, M_TOP},
  {M_TOP, G_BLANK, D_BLANK, TA, 0, M_BLANK},
  {M_TOP, G_HYPER, D_HSTART, TA, 0, M_START},
  {M_TOP, G_ANY, D_ANY, TA, 0, M_OTHER},
  {M_BLANK, G_BLANK, D_BLANK, TA, 0, M_BLANK},
  {M_BLANK, G_ANY, D_ANY, EMIT, cc_blank, M_TOP},
  {M_OTHER, G_BLANK, D_END | D_BLANK, EMIT, cc_other, M_TOP},
  {M_OTHER, G_HYPER, D_HSTART, EMIT, cc_other, M_TOP},
  {M_OTHER, G_ANY, D_ANY, TA, 0, M_OTHER},
  {M_START, G_ANY, D_ANY, EMIT, cc_hyperStart, M_TEXT},
  {M_TEXT, G_BLANK, D_END, EMIT, cc_hyperText, M_TOP},
  {M_TEXT, G_HYPER, D_HSEP, EMIT | TA, cc_hyperText, M_SEPARATOR},
  {M_TEXT, G_ANY, D_ANY, TA, 0, M_TEXT},
  {M_SEPARATOR, G_ANY, D_ANY, EMIT, cc_hyperSeparator, M_HIDDEN},
  {M_HIDDEN, G_BLANK, D_END, EMIT, cc_hiddenData, M_TOP},
  {M_HIDDEN, G_HYPER, D_HEND, EMIT | TA, cc_hiddenData, M_END},
  {M_HIDDEN, G_ANY, D_ANY, TA, 0, M_HIDDEN},
  {M_END, G_ANY, D_ANY, EMIT, cc_hyperEnd, M_TOP},
};
// clang-format on

constexpr int kRowCount = sizeof kRows / sizeof kRows[0];

struct Row {
  uint16_t group, detail;
  uint8_t actions;
  uint16_t code;
  uint16_t next;  // row index of the next state
};

struct Table {
  Row rows[kRowCount];
  uint16_t first[kStateCount];
  uint8_t bits[kRowCount];         // line-state bits set on reaching the state at this row
  bool inComment[kRowCount];       // the state at this row lies inside a block comment
  CharClass ascii[2][128];         // [scheme is 0][character]
};

CharClass Classify(wchar_t c, int32_t scheme) {
  if ((c >= L'a' && c <= L'z') || (c >= 0x80 && IsCharLowerW(c))) {
    uint16_t d = D_LOWER;
    if (c >= L'a' && c <= L'f') d |= D_HEX;
    if (c == L'e') d |= D_E;
    if (c == L'x') d |= D_X;
    if (c == L'u') d |= D_U;
    if (c == L'o') d |= D_O;
    if (c == L'a' || c == L'b' || c == L'f' || c == L'r' || c == L'n' || c == L't' || c == L'v') d |= D_ESC;
    return {G_LETTER, d};
  }
  if ((c >= L'A' && c <= L'Z') || (c >= 0x80 && IsCharUpperW(c))) {
    uint16_t d = D_UPPER;
    if (c >= L'A' && c <= L'F') d |= D_HEX;
    if (c == L'E') d |= D_E;
    if (c == L'X') d |= D_X;
    return {G_LETTER, d};
  }
  if (c == L'_') return {G_LETTER, D_UNDERSCORE};
  if (c >= L'0' && c <= L'9') {
    uint16_t d = D_DIGIT;
    if (c == L'0') d |= D_ZERO;
    if (c <= L'7') d |= D_OCTAL;
    return {G_DIGIT, d};
  }
  switch (c) {
    case L' ': return {G_BLANK, D_SPACE};
    case L'\t': return {G_BLANK, D_TAB};
    case 0: return {G_BLANK, D_END};
    case L'\'': return {G_QUOTE, D_APOS};
    case L'"': return {G_QUOTE, D_DQUOTE};
    case L'/': return {G_OP, D_SLASH};
    case L'*': return {G_OP, D_STAR};
    case L'+': return {G_OP, D_PLUS};
    case L'-': return {G_OP, D_MINUS};
    case L'\\': return {G_OP, D_BACKSLASH};
    case L'%': return {G_OP, scheme == 0 ? D_COMMENT_PERCENT : D_PERCENT};
    case L'.': return {G_OP, D_DOT};
    case L'$': return {G_OP, D_DOLLAR};
    case L'@': return {G_OP, D_AT};
    case 11: return {G_HYPER, D_HSTART};
    case 14: return {G_HYPER, D_HSEP};
    case 15: return {G_HYPER, D_HEND};
    case L'#': return {G_HASH, 1};
    case L'(': case L')': return {G_BRACKET, D_PAREN};
    case L'[': case L']': return {G_BRACKET, D_SQUARE};
    case L';': return {G_BRACKET, D_SEMI};
    default: return {G_BLANK, D_UNLISTED};
  }
}

const Table& BuildTable() {
  static Table t;
  for (int s = 0; s < kStateCount; ++s) t.first[s] = 0xFFFF;
  for (int i = kRowCount - 1; i >= 0; --i) t.first[kRows[i].state] = static_cast<uint16_t>(i);
  for (int i = 0; i < kRowCount; ++i) {
    const RowDef& d = kRows[i];
    t.rows[i] = {d.group, d.detail, d.actions, d.code, t.first[d.next]};
    const State s = d.state;
    t.bits[i] = s == S_COMMENT_OPEN || s == S_COMMENT_REOPEN ? kCommentOpens
                : s == S_COMMENT_CLOSE || s == S_OTHER_CLOSE ? kCommentCloses
                                                             : 0;
    t.inComment[i] = s == S_COMMENT || s == S_COMMENT_STAR || s == S_COMMENT_SLASH || s == S_COMMENT_OPEN ||
                     s == S_COMMENT_REOPEN;
  }
  for (int z = 0; z < 2; ++z)
    for (wchar_t c = 0; c < 128; ++c) t.ascii[z][c] = Classify(c, z ? 0 : 1);
  return t;
}

const Table& table = BuildTable();

// One run of the machine over one line.
class Lexer {
 public:
  Lexer(const wchar_t* text, ColourRun* runs, int32_t scheme, Dictionary* dict)
      : text_(text), runs_(runs), scheme_(scheme), dict_(dict),
        ascii_(table.ascii[scheme == 0 ? 1 : 0]) {}

  // Runs from `state`; returns the line-state bits (0..15).
  uint32_t Run(State start) {
    uint32_t bits = 0;
    int32_t pos = 0, tokStart = 0, tokLen = 0;
    CharClass cc = Class(text_[0]);
    uint16_t at = table.first[start];
    for (;;) {
      const Row* r = &table.rows[at];
      while (!((r->group & cc.group) && (r->detail & cc.detail))) ++r;
      const uint8_t a = r->actions;
      if (a & BACK) {
        --tokLen;
        cc = Class(text_[--pos]);
      }
      if ((a & EMIT) && tokLen > 0) {
        Emit(r->code, tokStart, tokLen);
        tokLen = 0;
        if (count_ > kMaxLexRuns) return Finish(bits, r->next);
      }
      if ((a & TAKE) && text_[pos]) {
        if (tokLen == 0) tokStart = pos;
        ++tokLen;
      }
      if ((a & ADV) && text_[pos]) cc = Class(text_[++pos]);
      if (a & STOP) return Finish(bits, r->next);
      at = r->next;
      bits |= table.bits[at];
    }
  }

  bool hyper() const { return hyper_; }

 private:
  CharClass Class(wchar_t c) const { return c < 128 ? ascii_[c] : Classify(c, scheme_); }

  uint32_t Finish(uint32_t bits, uint16_t next) {
    runs_[count_] = {0, 0, 0};
    return bits | (table.inComment[next] ? 1u : 0u);
  }

  void Put(int32_t length, uint16_t code) { runs_[count_++] = {length, code, 0}; }

  void Emit(uint16_t code, int32_t start, int32_t length) {
    if (code == cc_hashWord) {
      uint16_t kw = 0;
      if (dict_ && DictLookup(dict_, text_ + start, length, &kw)) return Put(length, kw);
      Put(1, cc_other);
      const CharClass c = Class(text_[start + 1]);
      code = c.detail & D_UPPER ? cc_upperName
             : c.detail & D_UNDERSCORE && length > 2 ? cc_underscoreName
                                                     : cc_identifier;
      ++start;
      --length;
    }
    if (scheme_ != 0 && (code == cc_upperName || code == cc_underscoreName)) code = cc_identifier;
    if (code == cc_hyperText) hyper_ = true;
    if (dict_ && code != cc_comment) {
      uint16_t kw = 0;
      if (DictLookup(dict_, text_ + start, length, &kw)) code = kw;
    }
    Put(length, code);
  }

  const wchar_t* text_;
  ColourRun* runs_;
  int32_t scheme_;
  Dictionary* dict_;
  const CharClass* ascii_;
  int32_t count_ = 0;
  bool hyper_ = false;
};

}  // namespace

CharClass ClassifyChar(wchar_t c, int32_t scheme) { return Classify(c, scheme); }

void LexColour(const wchar_t* text, int32_t scheme, Dictionary* keywords, ColourRun* runs, uint32_t* state) {
  Lexer lx(text, runs, scheme, keywords);
  *state = lx.Run(*state & kInComment ? S_COMMENT : S_TOP);
}

int32_t ColourLine(EditorRecord* ed, const wchar_t* text, ColourRun* runs, uint32_t* state, bool keywords) {
  LexColour(text, ed->colorScheme,
            keywords && !ed->wrappable ? static_cast<Dictionary*>(ed->keywordTable) : nullptr, runs, state);
  return 1;
}

namespace {

// Lexes lines from `from` on; stops after `to`, or with `settle` at the first
// line whose state was already stored.
void StoreStates(EditorRecord* ed, int32_t from, int32_t to, bool settle) {
  namespace K = Qel::RunTime::Kernel;
  if (!ed->colorBuffer || from < 1) return;
  auto* runs = static_cast<ColourRun*>(ed->colorBuffer);
  uint32_t state = StateBefore(ed, from);
  for (int32_t n = from; n <= to; ++n) {
    uint8_t* mark = K::Memory::MarkGStack();
    const LineText t = ReadLineText(ed, n);
    t.text[t.length] = 0;
    LexColour(t.text, ed->colorScheme, nullptr, runs, &state);
    const uint32_t old = ed->store.GetLineState(t.ref);
    ed->store.SetLineState(t.ref, state);
    K::Memory::ReleaseGStack(mark);
    if (settle && old == state) break;
  }
}

}  // namespace

uint32_t StateBefore(EditorRecord* ed, int32_t line) {
  return line <= 1 ? 0 : ed->store.GetLineState(ed->store.FindLine(line - 1));
}

void StoreAllLineStates(EditorRecord* ed) { StoreStates(ed, 1, ed->LineCount(), false); }

void UpdateLineStates(EditorRecord* ed, int32_t from) { StoreStates(ed, from, ed->LineCount(), true); }

void VisibleTokens(const wchar_t* text, ColourRun* runs) {
  Lexer lx(text, runs, 4, nullptr);
  lx.Run(V_TOP);
}

bool MarkupTokens(const wchar_t* text, ColourRun* runs) {
  Lexer lx(text, runs, 4, nullptr);
  lx.Run(M_TOP);
  return lx.hyper();
}

}  // namespace QEL_EDIT::detail
