// The lexical helpers of the term text form.
#include "lexical.h"

namespace Qel::RunTime::Terms {

namespace {

// One table for reading and writing: each character that has an escape,
// and its letter.
struct Escape {
  wchar_t c, letter;
};
constexpr Escape kEscapes[] = {{L'\n', L'n'}, {L'\t', L't'}, {L'\r', L'r'}, {L'"', L'"'}, {L'\\', L'\\'}};

}  // namespace

int EscapeOf(wchar_t c) {
  for (const Escape& e : kEscapes)
    if (e.c == c) return e.letter;
  return 0;
}

int UnescapeOf(wchar_t letter) {
  for (const Escape& e : kEscapes)
    if (e.letter == letter) return e.c;
  return -1;
}

int HexDigit(int c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

}  // namespace Qel::RunTime::Terms

namespace Qel::RunTime::detail {

void IntegerExpected(int c) {
  wchar_t text[2] = {c < 0 ? L'\0' : static_cast<wchar_t>(c), 0};
  Raise(317, text);
}

static wchar_t Lower(wchar_t c) {
  if (c < 0x80) return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c | 0x20) : c;
  return Kernel::OSInterface::OSConvertCharToLowerCase(c);
}

bool SameNameIgnoringCase(const wchar_t* a, const wchar_t* b) {
  size_t j = 0;
  while (a[j] && b[j] && Lower(a[j]) == Lower(b[j])) ++j;
  return !a[j] && !b[j];
}

}  // namespace Qel::RunTime::detail
