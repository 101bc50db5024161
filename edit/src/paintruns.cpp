// Token queries and paint runs.
//
// Token queries cut the line into visible tokens on the global stack and
// release them before returning; columns are visible columns (hyper marks
// and hidden data not counted).  Paint runs are rewritten in place: the
// write index never passes the read index, and the selection overlay works
// from a copy of the merged runs.
#include "paintruns.h"

#include <algorithm>
#include <cstring>

#include "colors.h"
#include "qel6kernel.h"
#include "record.h"

namespace QEL_EDIT::detail {

namespace K = Qel::RunTime::Kernel;

namespace {

// A line's visible tokens with their first columns.
struct Tokens {
  ColourRun* runs;
  int32_t count = 0;
  int32_t total = 0;

  explicit Tokens(const wchar_t* text) {
    const size_t len = wcslen(text);
    runs = reinterpret_cast<ColourRun*>(K::Memory::AllocGStack(static_cast<uint32_t>((len + 2) * sizeof(ColourRun))));
    VisibleTokens(text, runs);
    while (runs[count].length) total += runs[count++].length;
  }
  // The index of the run holding `col` and its first column; -1 outside.
  int32_t At(int32_t col, int32_t* first) const {
    if (col < 1 || col > total) return -1;
    int32_t c = 1;
    for (int32_t i = 0; i < count; ++i) {
      if (col < c + runs[i].length) {
        *first = c;
        return i;
      }
      c += runs[i].length;
    }
    return -1;
  }
  int32_t FirstOf(int32_t index) const {
    int32_t c = 1;
    for (int32_t i = 0; i < index; ++i) c += runs[i].length;
    return c;
  }
  uint16_t Code(int32_t i) const { return runs[i].code; }
};

int32_t Backward(const Tokens& t, int32_t col, bool anyToken, bool crossed, int32_t* result) {
  *result = col;
  if (col <= 1) return anyToken && crossed ? 0 : 1;
  int32_t first = 0;
  int32_t idx = t.At(col - 1, &first);
  uint16_t code = cc_blank;
  if (idx < 0) {  // behind the text: a blank up to the column
    idx = t.count;
    first = t.total + 1;
  } else {
    code = t.Code(idx);
  }
  if (anyToken && code == cc_other && col - 1 != first) {
    *result = col - 1;
    return 0;
  }
  *result = first;
  if (!anyToken && code == cc_identifier) return 0;
  const int32_t behindFirst = idx < t.count ? first + t.runs[idx].length : col;
  bool onlyBlanks = code == cc_blank, atWord = false;
  for (int32_t k = idx - 1; k >= 0 && *result > 1; --k) {
    const int32_t start = *result - t.runs[k].length;
    if (t.Code(k) == cc_blank) {
      *result = start;
      continue;
    }
    onlyBlanks = false;
    if (anyToken) break;
    *result = start;
    if (t.Code(k) == cc_identifier) {
      atWord = true;
      break;
    }
  }
  if (anyToken) return onlyBlanks && !crossed ? 1 : 0;
  if (crossed && !onlyBlanks) {
    *result = behindFirst;
    return 0;
  }
  return atWord ? 0 : 1;
}

int32_t Forward(const Tokens& t, int32_t col, bool anyToken, bool crossed, int32_t* result) {
  int32_t first = 0;
  const int32_t idx = t.At(col, &first);
  if (idx < 0) {
    *result = col;
    return anyToken && crossed ? 0 : 1;
  }
  const uint16_t code = t.Code(idx);
  *result = first + t.runs[idx].length;
  if (crossed && (code == cc_identifier || (anyToken && code != cc_blank))) {
    *result = first;
    return 0;
  }
  if (anyToken && code == cc_other && col + 1 < *result) {
    *result = col + 1;
    return 0;
  }
  bool allBlanks = code == cc_blank;
  for (int32_t k = idx + 1; k < t.count; ++k) {
    const uint16_t c = t.Code(k);
    if (anyToken ? c != cc_blank : c == cc_identifier) return 0;
    if (c != cc_blank) allBlanks = false;
    *result += t.runs[k].length;
  }
  return allBlanks ? 1 : 0;
}

}  // namespace

bool TokenBounds(const wchar_t* text, int32_t col, int32_t* start, int32_t* end) {
  uint8_t* mark = K::Memory::MarkGStack();
  Tokens t(text);
  int32_t first = 0;
  const int32_t idx = t.At(col, &first);
  bool found = idx >= 0;
  if (found) {
    const uint16_t code = t.Code(idx);
    if (code == cc_other || code == cc_blank) {
      *start = col;
      *end = col + 1;
    } else {
      *start = first;
      *end = first + t.runs[idx].length;
    }
  }
  K::Memory::ReleaseGStack(mark);
  return found;
}

int32_t TokenWordBoundary(const wchar_t* text, int32_t col, bool forward, bool anyToken, bool lineCrossed,
                          int32_t* result) {
  uint8_t* mark = K::Memory::MarkGStack();
  Tokens t(text);
  const int32_t r = forward ? Forward(t, col, anyToken, lineCrossed, result)
                            : Backward(t, col, anyToken, lineCrossed, result);
  K::Memory::ReleaseGStack(mark);
  return r;
}

ColourRun* PaintRuns(ColourRun* runs, int32_t scheme, int32_t cells, int32_t selStart, int32_t selEnd) {
  // Merge runs of equal look; markup codes (100 and up) drop out.
  const SystemColours system = CurrentSystemColours();
  int32_t n = 0, total = 0;
  Look last{};
  for (int32_t i = 0; runs[i].length; ++i) {
    const ColourRun r = runs[i];
    if (r.code >= 100) continue;
    const Look look = LookOf(scheme, r.code, system);
    if (n > 0 && look == last && r.code != cc_hyperText && runs[n - 1].code != cc_hyperText) {
      runs[n - 1].length += r.length;
    } else {
      runs[n++] = r;
      last = look;
    }
    total += r.length;
  }
  // Cut to the cells the painter covers.
  for (int32_t excess = 1 + total - cells; excess > 0 && n > 0;) {
    const int32_t cut = std::min(excess, runs[n - 1].length);
    runs[n - 1].length -= cut;
    total -= cut;
    excess -= cut;
    if (runs[n - 1].length == 0) --n;
  }
  int32_t leftOver = 0;
  if (selStart > 0 && selEnd > selStart) {
    leftOver = std::max(0, selEnd - std::max(selStart, total + 1));
    if (selStart <= total + 1 && n > 0) {
      uint8_t* mark = K::Memory::MarkGStack();
      auto* copy = reinterpret_cast<ColourRun*>(K::Memory::AllocGStack(static_cast<uint32_t>(n * sizeof(ColourRun))));
      std::memcpy(copy, runs, n * sizeof(ColourRun));
      const int32_t count = n;
      n = 0;
      int32_t col = 1;
      auto put = [&](int32_t length, uint16_t code) {
        if (length <= 0) return;
        if (code == cc_selection && n > 0 && runs[n - 1].code == cc_selection)
          runs[n - 1].length += length;
        else
          runs[n++] = {length, code, 0};
      };
      for (int32_t i = 0; i < count; ++i) {
        const int32_t end = col + copy[i].length;
        put(std::min(end, selStart) - col, copy[i].code);
        put(std::min(end, selEnd) - std::max(col, selStart), cc_selection);
        put(end - std::max(col, selEnd), copy[i].code);
        col = end;
      }
      K::Memory::ReleaseGStack(mark);
    }
  }
  int32_t uncovered = cells - 1 - total;
  if (selStart > 0 && leftOver > 0 && uncovered > 0) {
    if (selStart > total + 2) {
      runs[n++] = {selStart - total - 2, cc_fill, 0};
      uncovered = cells - selStart + 1;
    }
    runs[n++] = {1, cc_selectedFill, 0};
    uncovered -= leftOver;
  }
  if (uncovered > 0) runs[n++] = {1, cc_fill, 0};
  runs[n] = {0, 0, 0};
  return runs;
}

ColourRun* LinePaintRuns(EditorRecord* ed, const wchar_t* text, int32_t cells, int32_t selStart, int32_t selEnd,
                         uint32_t* state) {
  auto* runs = static_cast<ColourRun*>(ed->colorBuffer);
  if (!ed->wrappable) {
    ColourLine(ed, text, runs, state, true);
    return PaintRuns(runs, ed->colorScheme, cells, selStart, selEnd);
  }
  if (ed->hyperMode) {
    MarkupTokens(text, runs);
  } else {
    const int32_t length = static_cast<int32_t>(wcslen(text));
    runs[0] = {length, cc_other, 0};
    runs[length ? 1 : 0] = {0, 0, 0};
  }
  return PaintRuns(runs, 4, cells, selStart, selEnd);
}

}  // namespace QEL_EDIT::detail
