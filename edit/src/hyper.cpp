// Hyper-field markup.  A MarkupLine keeps one code per raw character; every
// change rebuilds the codes, so they always describe `raw_`.
#include "hyper.h"

namespace QEL_EDIT::detail {

bool CheckMarkup(const wchar_t* text, size_t length) {
  wchar_t open = 0;  // the last open mark: 0, 11 or 14
  for (size_t i = 0; i < length; ++i) {
    switch (text[i]) {
      case FieldStart:
        if (open) return false;
        open = FieldStart;
        break;
      case FieldSeparator:
        if (open != FieldStart) return false;
        open = FieldSeparator;
        break;
      case FieldEnd:
        if (open != FieldSeparator) return false;
        open = 0;
        break;
      case L'\n':
        if (open) return false;
        break;
      default:
        break;
    }
  }
  return open == 0;
}

MarkupLine::MarkupLine(const wchar_t* raw, int32_t length) : raw_(raw, length) { Classify(); }

void MarkupLine::Classify() {
  codes_.assign(raw_.size(), mc_plain);
  visible_ = 0;
  fields_ = false;
  int32_t state = mc_plain;
  for (size_t i = 0; i < raw_.size(); ++i) {
    wchar_t c = raw_[i];
    int32_t code = state;
    if (c == FieldStart && state == mc_plain) {
      code = mc_start;
      state = mc_fieldText;
      fields_ = true;
    } else if (c == FieldSeparator && state == mc_fieldText) {
      code = mc_separator;
      state = mc_data;
    } else if (c == FieldEnd && state == mc_data) {
      code = mc_end;
      state = mc_plain;
    }
    codes_[i] = code;
  }
  if (state != mc_plain) {  // a field left open is no field: plain text
    size_t i = codes_.size();
    while (codes_[--i] != mc_start) {}
    for (; i < codes_.size(); ++i) codes_[i] = mc_plain;
    fields_ = false;
    for (int32_t c : codes_) fields_ = fields_ || c != mc_plain;
  }
  for (int32_t c : codes_)
    if (!IsHidden(static_cast<MarkupCode>(c))) ++visible_;
}

int32_t MarkupLine::RawIndexOf(int32_t column) const {
  int32_t seen = 0;
  for (size_t i = 0; i < codes_.size(); ++i) {
    if (IsHidden(static_cast<MarkupCode>(codes_[i]))) continue;
    if (++seen == column) return static_cast<int32_t>(i) + 1;
  }
  return RawLength() + 1;
}

int32_t MarkupLine::VisibleColumnOf(int32_t rawIndex) const {
  int32_t column = 1;
  for (int32_t i = 0; i < rawIndex - 1 && i < RawLength(); ++i)
    if (!IsHidden(static_cast<MarkupCode>(codes_[i]))) ++column;
  return column;
}

int32_t MarkupLine::FieldAtColumn(int32_t column, bool first) const {
  if (column < 1 || column > visible_) return 0;
  int32_t i = RawIndexOf(column) - 1;
  if (codes_[i] != mc_fieldText) return 0;
  return first && codes_[i - 1] == mc_start ? 2 : 1;
}

bool MarkupLine::RangeClearOfFields(int32_t from, int32_t to) const {
  if (from < 1 || to < 1 || from > visible_ || to > visible_) return false;
  if (from > to) std::swap(from, to);
  for (int32_t i = RawIndexOf(from) - 1; i < RawIndexOf(to); ++i)
    if (codes_[i] != mc_plain) return false;
  return true;
}

void MarkupLine::FieldBounds(int32_t i, int32_t* start, int32_t* end) const {
  int32_t s = i, e = i;
  while (s > 0 && codes_[s] != mc_start) --s;
  while (e < RawLength() - 1 && codes_[e] != mc_end) ++e;
  *start = s;
  *end = e;
}

bool MarkupLine::DeleteVisibleRange(int32_t from, int32_t to, std::wstring* deleted) {
  if (from < 1 || from > visible_) return true;  // nothing there to delete
  int32_t a = RawIndexOf(from) - 1;
  int32_t b = to >= 1 && to <= visible_ ? RawIndexOf(to) - 1 : RawLength() - 1;
  int32_t fs = 0, fe = 0;
  if (codes_[a] == mc_fieldText) {
    if (codes_[a - 1] != mc_start) return false;
    --a;
  }
  if (b < RawLength() && codes_[b] == mc_fieldText) {
    if (codes_[b + 1] != mc_separator) return false;
    FieldBounds(b, &fs, &fe);
    b = fe;
  }
  if (deleted) deleted->assign(raw_, a, b - a + 1);
  raw_.erase(a, b - a + 1);
  Classify();
  return true;
}

bool MarkupLine::CreateField(int32_t from, int32_t to, const wchar_t* data) {
  if (from > to) std::swap(from, to);
  if (from == to || from < 1 || to - 1 > visible_) return false;
  if (fields_ && !RangeClearOfFields(from, to - 1)) return false;
  int32_t a = RawIndexOf(from) - 1, b = RawIndexOf(to - 1);  // raw [a, b)
  std::wstring line = raw_.substr(0, a);
  line += FieldStart;
  line.append(raw_, a, b - a);
  line += FieldSeparator;
  line += data;
  line += FieldEnd;
  line.append(raw_, b, std::wstring::npos);
  raw_ = line;
  Classify();
  return true;
}

bool MarkupLine::FieldTexts(int32_t column, std::wstring* text, std::wstring* data) const {
  if (!FieldAtColumn(column, false)) return false;
  int32_t s = 0, e = 0;
  FieldBounds(RawIndexOf(column) - 1, &s, &e);
  int32_t sep = s + 1;
  while (codes_[sep] != mc_separator) ++sep;
  text->assign(raw_, s + 1, sep - s - 1);
  data->assign(raw_, sep + 1, e - sep - 1);
  return true;
}

bool MarkupLine::RemoveFieldMarkup(int32_t column) {
  if (!FieldAtColumn(column, false)) return false;
  int32_t s = 0, e = 0;
  FieldBounds(RawIndexOf(column) - 1, &s, &e);
  int32_t sep = s + 1;
  while (codes_[sep] != mc_separator) ++sep;
  raw_.erase(sep, e - sep + 1);
  raw_.erase(s, 1);
  Classify();
  return true;
}

bool MarkupLine::RawRangePlain(int32_t from, int32_t n) const {
  if (from < 1 || from - 1 + n > RawLength()) return false;
  for (int32_t i = from - 1; i < from - 1 + n; ++i)
    if (codes_[i] != mc_plain) return false;
  return true;
}

std::wstring MarkupLine::Stripped() const {
  std::wstring out;
  for (size_t i = 0; i < raw_.size(); ++i)
    if (!IsHidden(static_cast<MarkupCode>(codes_[i]))) out += raw_[i];
  return out;
}

}  // namespace QEL_EDIT::detail
