// Whole-text helpers of the text utilities: tab expansion counted from the
// last line feed, and the kept length of a line without trailing blanks.
#pragma once

#include <cstdint>
#include <string>

namespace QEL_EDIT::detail {

// Every tab becomes spaces up to the next multiple of tabSize, counted in the
// expanded text from the last line feed (or the start).  *found tells whether
// a tab was met.
std::wstring ExpandTabsText(const wchar_t* text, size_t length, int32_t tabSize, bool* found);

// The length of the line without its trailing spaces and tabs.
int32_t KeptLength(const wchar_t* line, int32_t length);

}  // namespace QEL_EDIT::detail
