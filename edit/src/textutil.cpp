// Text utilities on plain strings; the editor applies them line by line.
#include "textutil.h"

namespace QEL_EDIT::detail {

std::wstring ExpandTabsText(const wchar_t* text, size_t length, int32_t tabSize, bool* found) {
  std::wstring out;
  out.reserve(length);
  *found = false;
  size_t lineStart = 0;  // in out
  for (size_t i = 0; i < length; ++i) {
    wchar_t c = text[i];
    if (c == L'\t' && tabSize > 0) {
      *found = true;
      size_t column = out.size() - lineStart;
      out.append(tabSize - column % tabSize, L' ');
      continue;
    }
    out += c;
    if (c == L'\n') lineStart = out.size();
  }
  return out;
}

int32_t KeptLength(const wchar_t* line, int32_t length) {
  while (length > 0 && (line[length - 1] == L' ' || line[length - 1] == L'\t')) --length;
  return length;
}

}  // namespace QEL_EDIT::detail
