// The lexical helpers of the term text form.
#include "lexical.h"

namespace Qel::RunTime::Terms {

int EscapeOf(wchar_t c) {
  switch (c) {
    case L'\n': return L'n';
    case L'\t': return L't';
    case L'\r': return L'r';
    case L'"': return L'"';
    case L'\\': return L'\\';
    default: return 0;
  }
}

int UnescapeOf(wchar_t letter) {
  switch (letter) {
    case L'n': return L'\n';
    case L't': return L'\t';
    case L'r': return L'\r';
    case L'"': return L'"';
    case L'\\': return L'\\';
    default: return -1;
  }
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
