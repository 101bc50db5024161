// String operations over the platform's character classes, and the
// conversions between runtime strings and automation strings.
#include <windows.h>
#include <oleauto.h>

#include <cstring>
#include <cwchar>

#include "internal.h"
#include "qel6kernel.h"
#include "qel6run_lib.h"

namespace CorvaneLib::detail {

using namespace Qel::RunTime::Kernel;

constexpr uint32_t kInternalError = 321;

static WORD CharType(wchar_t c) {
  WORD type = 0;
  GetStringTypeW(CT_CTYPE1, &c, 1, &type);
  return type;
}
static bool IsWhite(wchar_t c) { return c && (CharType(c) & C1_SPACE); }
static bool IsBlank(wchar_t c) { return c && (CharType(c) & C1_BLANK); }
static bool IsLetter(wchar_t c) { return c && IsCharAlphaW(c); }
static bool IsDigit(wchar_t c) { return c && IsCharAlphaNumericW(c) && !IsCharAlphaW(c); }
static bool IsOctal(wchar_t c) { return IsDigit(c) && c != L'8' && c != L'9'; }
static bool IsHex(wchar_t c) {
  return IsDigit(c) || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

// A heap string of n characters without its terminator; n checked for size.
static wchar_t* NewString(uint64_t n) {
  if (n >= 0x7FFFFFFFu) Errors::RunTimeError(206, 0xFFFFFFFFu, 0xFFFFFFFFu);
  return Memory::AllocHeapString(static_cast<uint32_t>(n));
}

static wchar_t* CopyRange(const wchar_t* from, size_t n) {
  wchar_t* s = NewString(n);
  if (n) memcpy(s, from, n * sizeof(wchar_t));
  s[n] = 0;
  return s;
}

// The length of the number token at s (s[0] is a digit), cut to one
// character when an octal or hexadecimal number would not fit 64 bits.
static size_t NumberLength(const wchar_t* s) {
  if (s[0] == L'0' && (s[1] == L'x' || s[1] == L'X' || s[1] == L'o' || s[1] == L'O')) {
    bool hex = s[1] == L'x' || s[1] == L'X';
    if (hex ? IsHex(s[2]) : IsOctal(s[2])) {
      size_t end = 2;
      while (hex ? IsHex(s[end]) : IsOctal(s[end])) ++end;
      size_t significant = 2;
      while (significant < end && s[significant] == L'0') ++significant;
      size_t length = 2 + (end - significant);
      bool fits = hex ? length <= 18
                      : length <= 23 || (length == 24 && s[significant] == L'1');
      return fits ? end : 1;
    }
  }
  size_t i = 0;
  while (IsDigit(s[i])) ++i;
  bool fraction = false;
  for (;;) {
    if (!fraction && s[i] == L'.' && IsDigit(s[i + 1])) {
      fraction = true;
      i += 1;
      while (IsDigit(s[i])) ++i;
      continue;
    }
    if (s[i] == L'e' || s[i] == L'E') {
      size_t j = i + 1;
      if (s[j] == L'+' || s[j] == L'-') ++j;
      if (IsDigit(s[j])) {
        i = j;
        while (IsDigit(s[i])) ++i;
      }
    }
    return i;
  }
}

static wchar_t CaseLike(wchar_t replacement, wchar_t matched) {
  if (IsCharLowerW(matched))
    CharLowerBuffW(&replacement, 1);
  else if (IsCharUpperW(matched))
    CharUpperBuffW(&replacement, 1);
  return replacement;
}

}  // namespace CorvaneLib::detail

namespace CorvaneString {

using namespace CorvaneLib::detail;
using namespace Qel::RunTime::Kernel;

wchar_t* create(uint32_t n) {
  wchar_t* s = NewString(n);
  for (uint32_t i = 0; i < n; ++i) s[i] = L' ';
  return s;
}

wchar_t* create(uint32_t n, const wchar_t* pattern) {
  size_t m = wcslen(pattern);
  if (n && !m) Raise(kInternalError);
  wchar_t* s = NewString(n);
  for (uint32_t i = 0; i < n; ++i) s[i] = pattern[i % m];
  return s;
}

char* create8(uint32_t n) {
  if (n >= 0xFFFFFFF0u) Errors::RunTimeError(201, n);
  char* s = reinterpret_cast<char*>(Memory::AllocGStack(n + 1));
  memset(s, ' ', n);
  s[n] = 0;
  return s;
}

const wchar_t* trimFront(const wchar_t* s) {
  while (IsWhite(*s)) ++s;
  return s;
}

const wchar_t* trimLast(const wchar_t* s) {
  size_t n = wcslen(s), end = n;
  while (end && IsWhite(s[end - 1])) --end;
  return end == n ? s : CopyRange(s, end);
}

const wchar_t* trimInner(const wchar_t* s) {
  size_t n = wcslen(s), first = 0, last = n;
  while (first < n && IsWhite(s[first])) ++first;
  if (first == n) return s;
  while (IsWhite(s[last - 1])) --last;
  wchar_t* out = NewString(n);
  size_t o = 0;
  for (size_t i = 0; i < n;) {
    if (i >= first && i < last && IsBlank(s[i])) {
      while (i < last && IsBlank(s[i])) ++i;
      out[o++] = L' ';
    } else {
      out[o++] = s[i++];
    }
  }
  out[o] = 0;
  return out;
}

bool search(const wchar_t* s, const wchar_t* sub, uint32_t* position) {
  if (!*s) return false;
  const wchar_t* at = wcsstr(s, sub);
  if (!at) return false;
  *position = static_cast<uint32_t>(at - s);
  return true;
}

uint32_t searchForChar(const wchar_t* text, wchar_t c, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i)
    if (text[i] == c) return i;
  Fail();
}

uint32_t searchForChar8(const char* text, char c, uint32_t count) {
  const void* at = memchr(text, c, count);
  if (!at) Fail();
  return static_cast<uint32_t>(static_cast<const char*>(at) - text);
}

wchar_t* replace(const wchar_t* text, const wchar_t* old, const wchar_t* with, int32_t mode,
                 bool firstOnly) {
  size_t nText = wcslen(text), nOld = wcslen(old), nWith = wcslen(with);
  if (!nText || !nOld || nOld > nText) return nullptr;
  uint8_t* mark = Memory::MarkGStack();
  const wchar_t* hay = text;
  const wchar_t* needle = old;
  if (mode != 1) {
    // Upper-case copies keep the lengths, so positions carry over.
    wchar_t* h = Memory::AllocGStackString(static_cast<uint32_t>(nText));
    wchar_t* p = Memory::AllocGStackString(static_cast<uint32_t>(nOld));
    memcpy(h, text, nText * sizeof(wchar_t));
    memcpy(p, old, nOld * sizeof(wchar_t));
    CharUpperBuffW(h, static_cast<DWORD>(nText));
    CharUpperBuffW(p, static_cast<DWORD>(nOld));
    hay = h;
    needle = p;
  }
  uint64_t count = 0;
  for (const wchar_t* at = wcsstr(hay, needle); at; at = wcsstr(at + nOld, needle)) {
    ++count;
    if (firstOnly) break;
  }
  if (!count) {
    Memory::ReleaseGStack(mark);
    return nullptr;
  }
  int64_t length = static_cast<int64_t>(nText) +
                   static_cast<int64_t>(count) * (static_cast<int64_t>(nWith) - static_cast<int64_t>(nOld));
  wchar_t* out = NewString(static_cast<uint64_t>(length));
  size_t from = 0, o = 0, carry = nWith < nOld ? nWith : nOld;
  for (const wchar_t* at = wcsstr(hay, needle); at; at = wcsstr(at + nOld, needle)) {
    size_t pos = static_cast<size_t>(at - hay);
    memcpy(out + o, text + from, (pos - from) * sizeof(wchar_t));
    o += pos - from;
    for (size_t i = 0; i < nWith; ++i)
      out[o + i] = mode == -1 && i < carry ? CaseLike(with[i], text[pos + i]) : with[i];
    o += nWith;
    from = pos + nOld;
    if (firstOnly) break;
  }
  memcpy(out + o, text + from, (nText - from) * sizeof(wchar_t));
  o += nText - from;
  out[o] = 0;
  Memory::ReleaseGStack(mark);
  return out;
}

bool isAlpha(const wchar_t* s) {
  for (; *s; ++s)
    if (!IsCharAlphaW(*s)) return false;
  return true;
}

bool frontToken(const wchar_t* s, wchar_t** token, const wchar_t** rest) {
  s = trimFront(s);
  if (!*s) return false;
  size_t n = 1;
  if (IsDigit(s[0])) {
    n = NumberLength(s);
  } else if (IsLetter(s[0]) || s[0] == L'_') {
    while (IsLetter(s[n]) || IsDigit(s[n]) || s[n] == L'_') ++n;
  }
  *token = CopyRange(s, n);
  *rest = s + n;
  return true;
}

int32_t compareN(const wchar_t* a, const wchar_t* b, uint32_t n) {
  for (uint32_t i = 0; i < n; ++i) {
    uint16_t x = static_cast<uint16_t>(a[i]), y = static_cast<uint16_t>(b[i]);
    if (x != y) return x < y ? -1 : 1;
    if (!x) break;
  }
  return 0;
}

}  // namespace CorvaneString

namespace Corvane_BasicString {

using namespace CorvaneLib::detail;
using namespace Qel::RunTime::Kernel;

// oleaut32 is loaded at the first string of this kind, not at start.
static uint32_t BstrLength(const wchar_t* bstr) {
  return bstr ? QEL_BOUND_PROCEDURE(L"oleaut32.dll", SysStringLen)(const_cast<BSTR>(bstr)) : 0;
}

uint32_t getPrologStringLength(const wchar_t* bstr) {
  if (!bstr) return 0;
  uint32_t n = BstrLength(bstr), extra = 0;
  for (uint32_t i = 0; i < n; ++i)
    if (bstr[i] == 0 || bstr[i] == 0xFFFF) ++extra;
  return n + extra;
}

void toString(const wchar_t* bstr, wchar_t* target) {
  uint32_t n = BstrLength(bstr), o = 0;
  for (uint32_t i = 0; i < n; ++i) {
    wchar_t c = bstr[i];
    if (c == 0 || c == 0xFFFF) {
      target[o++] = 0xFFFF;
      target[o++] = c == 0 ? 0xFFFF : 0xFFFE;
    } else {
      target[o++] = c;
    }
  }
  target[o] = 0;
}

wchar_t* toBstr(const wchar_t* s) {
  size_t n = wcslen(s);
  if (n >= 0x7FFFFFFFu) Errors::RunTimeError(206, 0xFFFFFFFFu, 0xFFFFFFFFu);
  // Pairs FFFF FFFF and FFFF FFFE stand for NUL and FFFF.
  auto pair = [s, n](size_t i) {
    return n >= 2 && i + 1 < n && s[i] == 0xFFFF && (s[i + 1] == 0xFFFF || s[i + 1] == 0xFFFE);
  };
  size_t m = 0;
  for (size_t i = 0; i < n; ++i, ++m)
    if (pair(i)) ++i;
  BSTR out = QEL_BOUND_PROCEDURE(L"oleaut32.dll", SysAllocStringLen)(nullptr, static_cast<UINT>(m));
  if (!out) Errors::RunTimeError(206, static_cast<uint32_t>(m * 2), static_cast<uint32_t>(m * 2));
  size_t o = 0;
  for (size_t i = 0; i < n; ++i) {
    if (pair(i)) {
      out[o++] = s[i + 1] == 0xFFFF ? 0 : 0xFFFF;
      ++i;
    } else {
      out[o++] = s[i];
    }
  }
  return out;
}

}  // namespace Corvane_BasicString
