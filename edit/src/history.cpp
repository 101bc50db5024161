// History lists: fixed slots, so adding never allocates; the newest entry is
// always the last, which is also the current one.
#include <cwchar>

#include "history.h"

namespace QEL_EDIT::detail {

Histories histories;

void History::Add(const wchar_t* text) {
  wchar_t cut[MaxUnits + 1];
  size_t n = wcsnlen(text, units_);
  wmemcpy(cut, text, n);
  cut[n] = 0;
  int32_t found = -1;
  for (int32_t i = count_ - 1; i >= 0 && found < 0; --i)
    if (wcscmp(entries_[i], cut) == 0) found = i;
  if (found < 0 && count_ < MaxEntries) {
    ++count_;
  } else {  // close the gap of the moved entry, or of the dropped oldest one
    for (int32_t i = found < 0 ? 0 : found; i < count_ - 1; ++i)
      wmemcpy(entries_[i], entries_[i + 1], MaxUnits + 1);
  }
  wmemcpy(entries_[count_ - 1], cut, n + 1);
}

bool ReadDigits(const wchar_t* text, int32_t* value) {
  if (!text || !*text) return false;
  int64_t v = 0;
  for (const wchar_t* p = text; *p; ++p) {
    if (*p < L'0' || *p > L'9') return false;
    v = v * 10 + (*p - L'0');
    if (v > INT32_MAX) return false;
  }
  *value = static_cast<int32_t>(v);
  return true;
}

}  // namespace QEL_EDIT::detail
