// Fonts as binaries: a u32 size word of 96, then a LOGFONTW of 92 bytes (the
// same bytes as the 32-bit layout).  Points and pixel heights convert with
// MulDiv rounding in both directions at the screen's vertical resolution.
#include <cwchar>

#include "gdi.h"

namespace QEL_KWI {
namespace detail {

static_assert(sizeof(LOGFONTW) == 92 && offsetof(LOGFONTW, lfFaceName) == 28);

static int ScreenDpiY() {
  HDC dc = GetDC(nullptr);
  int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  return dpi > 0 ? dpi : 96;
}

static LONG HeightOfPoints(int size) { return -MulDiv(size < 0 ? -size : size, ScreenDpiY(), 72); }

bool ReadFont(const uint8_t* font, LOGFONTW* lf) {
  uint32_t size = 0;
  if (font) memcpy(&size, font - 4, 4);
  if (!font || size < FontBinarySize) {
    RaiseMayReturn(6150);
    return false;
  }
  memcpy(lf, font, sizeof *lf);
  if (wcsnlen(lf->lfFaceName, LF_FACESIZE) == LF_FACESIZE) {
    RaiseMayReturn(6150);
    return false;
  }
  return true;
}

uint8_t* NewFontBinary(const LOGFONTW& lf) {
  uint8_t* b = K::Memory::AllocGStack(FontBinarySize);
  memcpy(b, &FontBinarySize, 4);
  memcpy(b + 4, &lf, sizeof lf);
  return b + 4;
}

static void ApplyStyles(LOGFONTW* lf, const ilist_struct* styles) {
  lf->lfWeight = FW_NORMAL;
  lf->lfItalic = lf->lfUnderline = 0;
  for (auto* c = styles; c && c->functor == ListCons; c = c->next) {
    if (c->value == 1) lf->lfWeight = FW_BOLD;
    if (c->value == 2) lf->lfItalic = 1;
    if (c->value == 4) lf->lfUnderline = 1;
  }
}

uint8_t* DefaultFont() { return font_Create(1, nullptr, 10); }

// The font the window draws with now, or null.
static HFONT CurrentFont(HWND w) {
  if (IsItemWindow(w) && g_state[sw_itemFont]) return reinterpret_cast<HFONT>(g_state[sw_itemFont]);
  if (HFONT f = reinterpret_cast<HFONT>(XZEV_GetWinData(w)->w[rw_font])) return f;
  return reinterpret_cast<HFONT>(SendMessageW(w, WM_GETFONT, 0, 0));
}

static bool IsControlType(int type) { return type >= wt_pushbutton && type <= wt_groupbox; }

// A control gets the font by WM_SETFONT and keeps it until it is destroyed.
static void SetControlFont(HWND w, HFONT font) {
  HFONT previous = reinterpret_cast<HFONT>(SendMessageW(w, WM_GETFONT, 0, 0));
  wchar_t name[ClassNameUnits + 1] = {};
  GetClassNameW(w, name, ClassNameUnits);
  static const wchar_t* const known[] = {L"STATIC", L"BUTTON", L"SCROLLBAR", L"EDIT", L"COMBOBOX"};
  if (_wcsicmp(name, L"LISTBOX") == 0) {
    InstallFontProc(w, ListBoxProc);
  } else {
    for (auto* k : known)
      if (_wcsicmp(name, k) == 0) InstallFontProc(w, ControlFontProc);
  }
  SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  HWND parent = GetParent(w);
  HFONT shared = parent ? reinterpret_cast<HFONT>(SendMessageW(parent, WM_GETFONT, 0, 0)) : nullptr;
  if (previous && previous != shared && previous != font) DeleteObject(previous);
}

// A drawing window selects the font into a held context and keeps it in its
// record; the owner-drawn item keeps the first font it displaced.
static void SetDrawingFont(HWND w, HFONT font) {
  _win_data* rec = XZEV_GetWinData(w);
  LONG_PTR* r = rec->w;
  bool release = false;
  HDC dc = DrawingContext(w, &release);
  if (IsItemWindow(w)) {
    HGDIOBJ displaced = SelectObject(dc, font);
    if (!g_state[sw_itemFontOld]) g_state[sw_itemFontOld] = reinterpret_cast<LONG_PTR>(displaced);
    else if (displaced) DeleteObject(displaced);
    g_state[sw_itemFont] = reinterpret_cast<LONG_PTR>(font);
    return;
  }
  if (dc && !release) {
    SelectObject(dc, font);
    SetTextColor(dc, static_cast<COLORREF>(r[rw_textColor]));
    SetBkColor(dc, static_cast<COLORREF>(r[rw_bkColor]));
    SetBkMode(dc, r[rw_bkMode] == 1 ? TRANSPARENT : OPAQUE);
  }
  if (dc && release) ReleaseDC(w, dc);
  if (r[rw_font]) DeleteObject(reinterpret_cast<HGDIOBJ>(r[rw_font]));
  r[rw_font] = reinterpret_cast<LONG_PTR>(font);
}

}  // namespace detail

using namespace detail;

uint8_t* font_Create(int family, ilist_struct* styles, int size) {
  LOGFONTW lf{};
  static const wchar_t* const faces[] = {L"System", L"Courier New", L"Times New Roman", L"Arial"};
  static const BYTE pitches[] = {VARIABLE_PITCH, FIXED_PITCH, VARIABLE_PITCH | FF_ROMAN,
                                 VARIABLE_PITCH | FF_SWISS};
  int i = family >= 2 && family <= 4 ? family - 1 : 0;
  wcscpy(lf.lfFaceName, faces[i]);
  lf.lfPitchAndFamily = pitches[i];
  lf.lfHeight = HeightOfPoints(size);
  ApplyStyles(&lf, styles);
  lf.lfOutPrecision = OUT_STROKE_PRECIS;
  lf.lfClipPrecision = CLIP_STROKE_PRECIS;
  lf.lfQuality = DRAFT_QUALITY;
  return NewFontBinary(lf);
}

uint8_t* font_SetAttrs(uint8_t* font, ilist_struct* styles, int size) {
  LOGFONTW lf;
  if (!ReadFont(font, &lf)) return nullptr;
  if (size != 0) lf.lfHeight = HeightOfPoints(size);
  ApplyStyles(&lf, styles);
  return NewFontBinary(lf);
}

u16* font_GetAttrs(uint8_t* font, ilist_struct** styles, int* size) {
  *styles = EmptyList<ilist_struct>();
  *size = 0;
  LOGFONTW lf;
  if (!ReadFont(font, &lf)) return K::Memory::CopyStringToGStack(L"");
  if (lf.lfUnderline) *styles = Push(*styles, 4);
  if (lf.lfItalic) *styles = Push(*styles, 2);
  if (lf.lfWeight == FW_BOLD) *styles = Push(*styles, 1);
  int s = MulDiv(72, lf.lfHeight, ScreenDpiY());
  *size = s < 0 ? -s : s;
  return K::Memory::CopyStringToGStack(lf.lfFaceName);
}

uint8_t* win_GetFont(LONG_PTR window) {
  HWND w = Hwnd(window);
  LOGFONTW lf;
  HFONT f = IsWindow(w) ? CurrentFont(w) : nullptr;
  if (f && GetObjectW(f, sizeof lf, &lf) == sizeof lf) return NewFontBinary(lf);
  return DefaultFont();
}

void win_SetFont(LONG_PTR window, uint8_t* font) {
  HWND w = Hwnd(window);
  if (!CheckWindow(w)) return;
  int type = WindowType(w);
  if (!CheckValid(type != wt_screen && type != wt_icon, 6001)) return;
  LOGFONTW lf;
  if (!ReadFont(font, &lf)) return;
  HFONT f = CreateFontIndirectW(&lf);
  if (!f) return RaiseMayReturn(6150);
  if (IsControlType(type) || type == 0) {
    SetControlFont(w, f);
    return;
  }
  SetDrawingFont(w, f);
  if (XZEV_GetWinData(w)->w[rw_tools]) {
    uint8_t* mark = K::Memory::MarkGStack();
    DeliverState(w, si_font, reinterpret_cast<LONG_PTR>(NewFontBinary(lf)));
    K::Memory::ReleaseGStack(mark);
  }
}

void win_GetFontMetrics(LONG_PTR window, int* leading, int* ascent, int* descent) {
  *leading = *ascent = *descent = 0;
  DrawScope s;
  if (!OpenContext(Hwnd(window), dt_text, &s)) return;
  TEXTMETRICW tm;
  if (GetTextMetricsW(s.dc, &tm)) {
    *leading = tm.tmInternalLeading + tm.tmExternalLeading;
    *ascent = tm.tmAscent;
    *descent = tm.tmDescent;
  }
  EndDraw(&s);
}

void win_GetTextExtent(LONG_PTR window, const u16* text, int length, int* width, int* height) {
  *width = *height = 0;
  HWND w = Hwnd(window);
  int type = WindowType(w);
  if (!CheckValid((IsItemWindow(w) || Drawable(w)) && type != wt_metafile, 6001)) return;
  DrawScope s;
  if (!OpenContext(w, dt_text, &s)) return;
  SIZE z;
  if (GetTextExtentPoint32W(s.dc, text ? text : L"", TextLength(text, length), &z)) {
    *width = z.cx;
    *height = z.cy;
  }
  EndDraw(&s);
}

uint8_t* dlg_ChooseFont(uint8_t* font, u16** face, int* size) {
  LOGFONTW lf;
  if (!ReadFont(font, &lf)) return nullptr;
  CHOOSEFONTW cf{};
  cf.lStructSize = sizeof cf;
  cf.hwndOwner = TaskWindow();
  cf.lpLogFont = &lf;
  cf.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT;
  if (!QEL_BOUND_PROCEDURE(L"comdlg32.dll", ChooseFontW)(&cf)) K::Fail();
  *face = K::Memory::CopyStringToGStack(lf.lfFaceName);
  *size = cf.iPointSize / 10;
  return NewFontBinary(lf);
}

}  // namespace QEL_KWI
