// The lexical helpers of the term text form, shared by the stream readers
// and the domain classes: escape letters, digits, white space and name
// characters, and the escape of a character literal.
#pragma once

#include "runtime.h"

namespace Qel::RunTime::Terms {

// The platform's character tests, with the printable ASCII range answered
// here (it holds no white space; letters and digits are known).
inline bool IsWhite(int c) {
  if (c > 0x20 && c < 0x7F) return false;
  return Kernel::OSInterface::IsCharWhiteSpace(static_cast<wchar_t>(c));
}
inline bool IsAlphaNumeric(int c) {
  if (c < 0x7F) return (c >= L'0' && c <= L'9') || ((c | 0x20) >= L'a' && (c | 0x20) <= L'z');
  return Kernel::OSInterface::IsCharAlphaNumerical(static_cast<wchar_t>(c));
}

// Escape letters shared by characters and strings.
int EscapeOf(wchar_t c);      // the letter for a character, or 0
int UnescapeOf(wchar_t letter);  // the character for a letter, or -1
int HexDigit(int c);          // 0-15, or -1

}  // namespace Qel::RunTime::Terms

namespace Qel::RunTime::detail {

// 317: a digit was expected where c stands (c < 0: the end).
[[noreturn]] void IntegerExpected(int c);
// Whether two names are equal ignoring case.
bool SameNameIgnoringCase(const wchar_t* a, const wchar_t* b);

// The unit a character literal's escape stands for, `letter` being the unit
// after the backslash and next() giving the units after it: \uXXXX as two
// hex pairs, the first the low byte; \0; an escape letter; any other letter
// as itself.
template <class Next>
wchar_t CharEscape(wchar_t letter, Next&& next) {
  if (letter == L'u') {
    int v[4];
    for (int& d : v) {
      int x = next();
      d = Terms::HexDigit(x);
      if (d < 0) IntegerExpected(x);
    }
    return static_cast<wchar_t>((v[0] << 4 | v[1]) | (v[2] << 4 | v[3]) << 8);
  }
  if (letter == L'0') return 0;
  int u = Terms::UnescapeOf(letter);
  return u >= 0 ? static_cast<wchar_t>(u) : letter;
}

}  // namespace Qel::RunTime::detail
