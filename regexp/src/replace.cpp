// Filling a replacement template from the record's last match.  Every
// register the template uses is checked against the text given, so a text
// that shrank since the search gives failure, never a read past its end.  The
// result lives in the record's buffer, terminated.
#include <cstdlib>
#include <cwchar>

#include "record.h"

using namespace qel_regexp;

namespace {

// One step of the template at i: a register (group >= 0) or one literal unit.
struct Piece {
  int group;     // -1: literal
  wchar_t unit;
  size_t width;  // template units consumed
};

Piece PieceAt(const wchar_t* t, size_t i) {
  if (t[i] == L'\\' && t[i + 1] >= L'0' && t[i + 1] <= L'9') return {t[i + 1] - L'0', 0, 2};
  if (t[i] == L'\\' && t[i + 1] == L'\\') return {-1, L'\\', 2};
  return {-1, t[i], 1};
}

// The register's span; false when it lies outside the text.  A group the
// pattern lacks or that did not take part is empty.
bool Span(const QEL_buffer_info* r, int group, size_t length, size_t& from, size_t& n) {
  from = n = 0;
  if (static_cast<uint32_t>(group) >= pcre2_get_ovector_count(MatchData(r))) return true;
  const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(MatchData(r));
  if (ov[2 * group] == PCRE2_UNSET) return true;
  if (ov[2 * group + 1] > length || ov[2 * group] > ov[2 * group + 1]) return false;
  from = ov[2 * group];
  n = ov[2 * group + 1] - from;
  return true;
}

bool Reserve(QEL_buffer_info* r, size_t units) {
  if (units <= r->resultCapacity) return true;
  auto* p = static_cast<wchar_t*>(realloc(r->result, units * sizeof(wchar_t)));
  if (!p) return false;
  r->result = p;
  r->resultCapacity = units;
  return true;
}

}  // namespace

extern "C" int QEL_re_replace_n(const wchar_t* text, int length, const wchar_t* tmpl,
                                QEL_buffer_info* r, const wchar_t** resultText) {
  if (!text || length < 0 || !tmpl || !r || !resultText || !r->matched || !r->matchData) return 0;
  size_t need = 1, from, n;
  for (size_t i = 0; tmpl[i];) {
    Piece p = PieceAt(tmpl, i);
    if (p.group < 0) {
      need++;
    } else {
      if (!Span(r, p.group, length, from, n)) return 0;
      need += n;
    }
    i += p.width;
  }
  if (!Reserve(r, need)) return 0;
  wchar_t* out = r->result;
  for (size_t i = 0; tmpl[i];) {
    Piece p = PieceAt(tmpl, i);
    if (p.group < 0) {
      *out++ = p.unit;
    } else {
      Span(r, p.group, length, from, n);
      wmemcpy(out, text + from, n);
      out += n;
    }
    i += p.width;
  }
  *out = 0;
  *resultText = r->result;
  return 1;
}

extern "C" int QEL_re_replace_compile(const wchar_t* text, const wchar_t* tmpl,
                                      QEL_buffer_info* r, const wchar_t** resultText) {
  if (!text) return 0;
  size_t n = wcslen(text);
  if (n > 0x7FFFFFFF) return 0;
  return QEL_re_replace_n(text, static_cast<int>(n), tmpl, r, resultText);
}
