// The process-wide colour table (5 schemes x 22 colour codes) and the
// table of file-extension associations.
//
// Both are filled once with their defaults by `InitColourTables` and then
// changed only by the exported setters; a failing setter changes nothing.
// A colour of `kSystemColour` stands for the system colour, resolved when
// the colour is read for painting.
#pragma once

#include <cstdint>

namespace QEL_EDIT::detail {

constexpr uint32_t kSystemColour = 0x1000000;
constexpr int32_t kSchemes = 5;
constexpr int32_t kColourCodes = 22;
constexpr int32_t kMaxAssociations = 127;
constexpr int32_t kMaxExtension = 127;

struct ColourEntry {
  uint32_t fore;
  uint32_t back;
  uint8_t style;
};

// How a colour code paints: system colours resolved (window text and window
// for the fore and back colour; highlight text and highlight for the
// selection, code 20).  Fill codes 200 and 201 look like codes 0 and 20;
// other codes outside 0..21 like code 0.
struct Look {
  uint32_t fore;
  uint32_t back;
  uint8_t style;
  bool operator==(const Look& o) const { return fore == o.fore && back == o.back && style == o.style; }
};
Look LookOf(int32_t scheme, int32_t code);
// The four system colours, read once for a whole line.
struct SystemColours {
  uint32_t text, window, highlightText, highlight;
};
SystemColours CurrentSystemColours();
Look LookOf(int32_t scheme, int32_t code, const SystemColours& system);

// Fills both tables with their defaults the first time it is called.
void InitColourTables();
// The scheme of a title's extension (4 when none matches).
int32_t SchemeOfTitle(const wchar_t* title);
// The stored entry (no resolution); scheme and code must be in range.
ColourEntry StoredColour(int32_t scheme, int32_t code);

}  // namespace QEL_EDIT::detail
