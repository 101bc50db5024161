// Hyper-field markup of one raw line: 11, the visible text, 14, the hidden
// data, 15.  Fields do not nest and do not cross a line end.  Columns are
// visible columns (hidden characters take none), 1-based; raw indexes are
// 1-based positions in the raw line.  Nothing here raises: callers raise
// 6901 for a text CheckMarkup refuses.
#pragma once

#include <cstdint>
#include <string>

namespace QEL_EDIT::detail {

constexpr wchar_t FieldStart = 11, FieldSeparator = 14, FieldEnd = 15;

// The role of each raw character, as the markup runs name them.
enum MarkupCode : int32_t {
  mc_plain = 0, mc_fieldText = 19, mc_data = 100, mc_start = 101, mc_separator = 102, mc_end = 103
};
inline bool IsHidden(MarkupCode c) { return c >= mc_data; }

// Malformed markup: 11 inside an open field, 14 not after an open 11, 15 not
// after an open 14, a line feed inside a field, a field still open at the end.
bool CheckMarkup(const wchar_t* text, size_t length);

// A raw line and the code of each of its characters.
class MarkupLine {
 public:
  MarkupLine(const wchar_t* raw, int32_t length);
  int32_t RawLength() const { return static_cast<int32_t>(raw_.size()); }
  int32_t VisibleLength() const { return visible_; }
  bool HasFields() const { return fields_; }
  const std::wstring& Raw() const { return raw_; }

  // Raw index of visible column k (the raw length + 1 behind the visible end).
  int32_t RawIndexOf(int32_t column) const;
  // Visible column of a raw index; inside hidden characters, the column
  // behind the visible text before them.
  int32_t VisibleColumnOf(int32_t rawIndex) const;
  // 0: column not in a field's visible text; 1: inside it; 2: on its first
  // character when `first` is asked for.
  int32_t FieldAtColumn(int32_t column, bool first) const;
  // Every character from column `from` to `to` plain, no markup between.
  bool RangeClearOfFields(int32_t from, int32_t to) const;
  // Deletes visible columns from..to (whole fields when exactly their text);
  // false (line unchanged) when the range cuts into a field.
  bool DeleteVisibleRange(int32_t from, int32_t to, std::wstring* deleted);
  // Wraps columns from..to-1 in a field with data; false when the range is
  // empty, outside the line or touches a field.
  bool CreateField(int32_t from, int32_t to, const wchar_t* data);
  // The visible text and data of the field at the column; false when none.
  bool FieldTexts(int32_t column, std::wstring* text, std::wstring* data) const;
  // Removes the markup of the field at the column, keeping its text.
  bool RemoveFieldMarkup(int32_t column);
  // Whether the raw characters from raw index `from` (1-based) on, n of them,
  // are all plain text.
  bool RawRangePlain(int32_t from, int32_t n) const;
  // The line without its hidden characters.
  std::wstring Stripped() const;

 private:
  void Classify();
  // Raw 0-based bounds of the field holding raw index i (0-based).
  void FieldBounds(int32_t i, int32_t* start, int32_t* end) const;
  std::wstring raw_;
  std::basic_string<int32_t> codes_;
  int32_t visible_ = 0;
  bool fields_ = false;
};

}  // namespace QEL_EDIT::detail
