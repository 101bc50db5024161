// Plain line matching and regular-expression search over the joined text.
// A plain match compares each text character with the two case variants of
// the pattern position; the text itself is never converted.
#include <windows.h>

#include <cstdlib>
#include <cwchar>

#include "search.h"

namespace QEL_EDIT::detail {

SearchState searchState;

bool IsWordChar(wchar_t c) { return c == L'_' || IsCharAlphaNumericW(c); }

void BuildCaseVariants(const wchar_t* pattern, int32_t length, bool caseSensitive, wchar_t* upper,
                       wchar_t* lower) {
  for (int32_t j = 0; j < length; ++j) {
    wchar_t c = pattern[j];
    upper[j] = lower[j] = c;
    if (caseSensitive) continue;
    if (IsCharUpperW(c))
      lower[j] = static_cast<wchar_t>(reinterpret_cast<uintptr_t>(
          CharLowerW(reinterpret_cast<wchar_t*>(static_cast<uintptr_t>(c)))));
    else if (IsCharLowerW(c))
      upper[j] = static_cast<wchar_t>(reinterpret_cast<uintptr_t>(
          CharUpperW(reinterpret_cast<wchar_t*>(static_cast<uintptr_t>(c)))));
  }
}

namespace {

bool MatchesAt(const wchar_t* line, int32_t lineLength, int32_t at, const CaseVariants& p,
               bool wholeWords) {
  for (int32_t j = 0; j < p.length; ++j) {
    wchar_t c = line[at + j];
    if (c != p.upper[j] && c != p.lower[j]) return false;
  }
  if (!wholeWords) return true;
  if (at > 0 && IsWordChar(line[at - 1])) return false;
  int32_t behind = at + p.length;
  return behind >= lineLength || !IsWordChar(line[behind]);
}

}  // namespace

int32_t MatchForward(const wchar_t* line, int32_t lineLength, const CaseVariants& p,
                     bool wholeWords, int32_t* searchCol) {
  if (p.length <= 0) return 0;
  const wchar_t u = p.upper[0], l = p.lower[0];
  const int32_t lastStart = lineLength - p.length;
  for (int32_t at = *searchCol < 1 ? 0 : *searchCol - 1; at <= lastStart; ++at) {
    wchar_t c = line[at];
    if (c != u && c != l) continue;  // the first character decides most candidates
    if (MatchesAt(line, lineLength, at, p, wholeWords)) {
      *searchCol = at + p.length + 1;
      return at + 1;
    }
  }
  return 0;
}

int32_t MatchBackward(const wchar_t* line, int32_t lineLength, const CaseVariants& p,
                      bool wholeWords, int32_t* searchCol) {
  if (p.length <= 0 || *searchCol < p.length) return 0;
  int32_t at = *searchCol - p.length;  // 0-based index of column searchCol - length + 1
  if (at + p.length > lineLength) at = lineLength - p.length;
  for (; at >= 0; --at) {
    if (MatchesAt(line, lineLength, at, p, wholeWords)) {
      *searchCol = at + p.length + 1;
      return at + 1;
    }
  }
  return 0;
}

void WholeWordPattern(const wchar_t* pattern, int32_t length, wchar_t* out) {
  wmemcpy(out, L"\\b(?:", 5);
  wmemcpy(out + 5, pattern, length);
  wmemcpy(out + 5 + length, L")\\b", 4);  // with the terminator
}

void JoinedText::LineColumnOf(int32_t offset, int32_t* line, int32_t* column) const {
  int32_t lo = 0, hi = lineCount - 1;
  while (lo < hi) {
    int32_t mid = lo + (hi - lo + 1) / 2;
    if (lineStart[mid] <= offset)
      lo = mid;
    else
      hi = mid - 1;
  }
  *line = lo + 1;
  *column = offset - lineStart[lo] + 1;
}

namespace {

// The kept buffer and line-start table of the last released copy.
struct KeptCopy {
  wchar_t* buffer = nullptr;
  size_t capacity = 0;
  int32_t* starts = nullptr;
  size_t startsCapacity = 0;
} kept;
constexpr size_t KeptUnitsLimit = 32u << 20;

template <class T>
T* Take(T** keptBlock, size_t* keptCapacity, size_t need, size_t* capacity) {
  T* p = nullptr;
  if (*keptBlock && *keptCapacity >= need) {
    p = *keptBlock;
    *capacity = *keptCapacity;
    *keptBlock = nullptr;
    *keptCapacity = 0;
  } else {
    p = static_cast<T*>(malloc(sizeof(T) * need));
    *capacity = p ? need : 0;
  }
  return p;
}

template <class T>
void Keep(T** keptBlock, size_t* keptCapacity, T* block, size_t capacity, size_t limit) {
  if (!block) return;
  if (capacity <= limit && capacity >= *keptCapacity) {
    free(*keptBlock);
    *keptBlock = block;
    *keptCapacity = capacity;
  } else {
    free(block);
  }
}

}  // namespace

bool JoinedCopy::Build(LineSource& lines, int32_t padUnits) {
  // One pass when the source bounds the length, else lengths first; then
  // one buffer, never grown.
  int32_t count = lines.LineCount();
  starts = Take(&kept.starts, &kept.startsCapacity, static_cast<size_t>(count > 0 ? count : 1), &startsCapacity);
  if (!starts) return false;
  int64_t total = lines.JoinedBound();
  if (total < 0) {
    total = 0;
    for (int32_t i = 1; i <= count; ++i) total += lines.LineLength(i) + (i < count ? 1 : 0);
  }
  if (total > 0x7FFFFFF0) return false;
  pad = padUnits;
  buffer = Take(&kept.buffer, &kept.capacity, static_cast<size_t>(pad + total + 1), &capacity);
  if (!buffer) return false;
  wchar_t* const text0 = buffer + pad;
  wchar_t* out = text0;
  for (int32_t i = 1; i <= count; ++i) {
    int32_t n = 0;
    const wchar_t* l = lines.Line(i, &n);
    if (out - text0 + n + (i < count ? 1 : 0) > total) return false;  // the bound was wrong
    starts[i - 1] = static_cast<int32_t>(out - text0);
    wmemcpy(out, l, n);
    out += n;
    if (i < count) *out++ = L'\n';
  }
  *out = 0;
  text = {text0, static_cast<int32_t>(out - text0), starts, count};
  return true;
}

void JoinedCopy::Free() {
  Keep(&kept.buffer, &kept.capacity, buffer, capacity, KeptUnitsLimit);
  Keep(&kept.starts, &kept.startsCapacity, starts, startsCapacity, KeptUnitsLimit / 8);
  buffer = nullptr;
  starts = nullptr;
  capacity = startsCapacity = 0;
  text = {};
}

bool RegexFind(QEL_buffer_info* record, const wchar_t* text, int32_t length, bool forward,
               int32_t start, int32_t range, int32_t* matchStart, int32_t* matchLength) {
  if (forward ? range < 0 : range > 0) return false;
  const int64_t limit = static_cast<int64_t>(start) + range;  // last start (and, forward, end)
  int32_t from = start;
  for (;;) {
    int32_t left = static_cast<int32_t>(limit - from);  // a range of 0 tries `from` alone
    int32_t s = 0, n = 0;
    if (QEL_re_search_range_n(record, text, length, &s, &n, from, left) <= 0) return false;
    bool skip = n == 0 || wmemchr(text + s, L'\n', n) || (!forward && s + n > start + 1);
    if (!skip) {
      if (forward && s + n > limit) return false;
      *matchStart = s;
      *matchLength = n;
      return true;
    }
    from = forward ? s + 1 : s - 1;
    if (forward ? from > limit : from < limit) return false;
  }
}

}  // namespace QEL_EDIT::detail
