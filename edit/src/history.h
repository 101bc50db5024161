// The dialogs' process-wide history lists and the reading of go-to numbers.
// A list keeps at most 15 entries, oldest first, each cut to its entry size;
// `current` is the entry last added or moved, -1 while the list is empty.
#pragma once

#include <cstdint>

namespace QEL_EDIT::detail {

class History {
 public:
  static constexpr int32_t MaxEntries = 15;
  static constexpr int32_t MaxUnits = 127;

  // entryUnits: 127 for search and replace texts, 31 for go-to numbers.
  explicit constexpr History(int32_t entryUnits) : units_(entryUnits) {}

  // Moves an equal entry (after cutting) to the newest place, or appends the
  // text, dropping the oldest entry of a full list.
  void Add(const wchar_t* text);
  int32_t Count() const { return count_; }
  int32_t Current() const { return count_ ? count_ - 1 : -1; }
  // Entry i, 0 the oldest; terminated.
  const wchar_t* Entry(int32_t i) const { return entries_[i]; }
  const wchar_t* CurrentEntry() const { return count_ ? entries_[count_ - 1] : nullptr; }
  int32_t EntryUnits() const { return units_; }
  void Clear() { count_ = 0; }

 private:
  int32_t units_;
  int32_t count_ = 0;
  wchar_t entries_[MaxEntries][MaxUnits + 1] = {};
};

// The four lists of the library.
struct Histories {
  History find{127}, replace{127}, goToLine{31}, goToPosition{31};
};
extern Histories histories;

// A non-empty text of decimal digits that fits a positive 32-bit integer.
bool ReadDigits(const wchar_t* text, int32_t* value);

}  // namespace QEL_EDIT::detail
