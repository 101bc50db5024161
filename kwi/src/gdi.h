// Internals shared by the window operations, drawing, pictures, cursors and
// fonts: record and state words they use, the drawing scope that finds and
// prepares a window's context, and small global-stack builders.
#pragma once

#include "kwi.h"

#include <commdlg.h>

#include <algorithm>
#include <initializer_list>

namespace QEL_KWI::detail {

// Window-record words of the drawing state.
enum GdiRecordWord {
  rw_clipRgn = rw_gdi,                  // clip region (deleted with the window)
  rw_clipLeft = 17,                      // clip rectangle: 17-20, all 0 when none
  rw_pictBitmap = 21, rw_pictOldBitmap = 22  // picture windows
};

// State words of the off-screen contexts.
enum GdiStateWord {
  sw_pictDC = 18, sw_pictWin = 22, sw_mfDC = 26, sw_mfWin = 30,
  sw_printWin = 34, sw_printDC = 35, sw_printDialog = 36
};
constexpr int PictureSlots = 4;

// stateinfo alternatives of e_state.
enum StateInfo : uintptr_t {
  si_font = 1, si_text, si_disabled, si_enabled, si_invisible, si_visible
};
struct stateinfo {
  uintptr_t alt;
  LONG_PTR value;
};

inline HWND Hwnd(LONG_PTR w) { return reinterpret_cast<HWND>(w); }
// Little-endian words of files and foreign blocks, read at any alignment.
inline uint32_t ReadU32(const uint8_t* p) {
  uint32_t v;
  memcpy(&v, p, 4);
  return v;
}
inline uint16_t ReadU16(const uint8_t* p) {
  uint16_t v;
  memcpy(&v, p, 2);
  return v;
}
template <class T>
T* GNew() {
  return reinterpret_cast<T*>(K::Memory::AllocGStack(sizeof(T)));
}
rect_struct* NewRect(LONG left, LONG top, LONG right, LONG bottom);
pnt_struct* NewPoint(LONG x, LONG y);

// Validated check that `w` is a window (6000); false when the raise returned.
bool CheckWindow(HWND w);
// Validated check of `ok` (else `code`); false when the raise returned.
bool CheckValid(bool ok, int code);
// The owner-drawn item's window while WM_DRAWITEM is delivered.
bool IsItemWindow(HWND w);
bool Drawable(HWND w);  // category 2: windows, dialogs, pictures, subclassed
// Delivers e_state(alt, value) to `w`.
void DeliverState(HWND w, uintptr_t alt, LONG_PTR value);
// Characters of `text` to draw: `length` (-1 all), never past its end.
int TextLength(const wchar_t* text, int length);

// The context a primitive draws on.  An acquired context gets the record's
// mapping and clip and the tools asked for; EndDraw puts back what it
// selected and releases it.  Plain data: nothing here needs a destructor.
enum DrawTools : unsigned { dt_pen = 1, dt_brush = 2, dt_text = 4, dt_modes = 8, dt_none = 0 };
struct DrawScope {
  HWND window;
  _win_data* rec;  // the record, for an acquired context only
  HDC dc;
  bool acquired;
  HGDIOBJ oldPen, oldBrush, oldFont;
  HRGN clip;
};
// Runs the primitives' preamble (6000, 6231) and opens the scope; false when
// there is nothing to draw on.
bool BeginDraw(HWND w, unsigned tools, DrawScope* s);
// Opens the scope without the preamble (tool setters, text extents).
bool OpenContext(HWND w, unsigned tools, DrawScope* s);
// Puts the record's mapping, clip and tools into the scope's acquired
// context (the displaced objects and the clip kept in the scope).
void ApplyTools(DrawScope* s, unsigned tools);
void EndDraw(DrawScope* s);
// The clip an acquired context gets: the paint rectangle and the record's
// clip region combined; null when there is none.
HRGN MakeClip(const _win_data* r);
int MapModeToWindows(LONG_PTR mode);

// Fonts.
constexpr uint32_t FontBinarySize = 96;
// Reads a font binary; 6150 when it is short or its face is unterminated.
bool ReadFont(const uint8_t* font, LOGFONTW* lf);
uint8_t* NewFontBinary(const LOGFONTW& lf);  // global stack
uint8_t* DefaultFont();

// Pictures.
bool IsPictureWindow(HWND w);

// The layer's print settings with the default printer (asked for once), or
// null when there is none.
PRINTDLGW* DefaultPrinter();

}  // namespace QEL_KWI::detail
