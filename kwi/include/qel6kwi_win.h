// qel6kwi: window operations and geometry, drawing and drawing tools,
// pictures, cursors and carets, fonts.  Included by qel6kwi.h.
//
// Results that are records or lists are new blocks on the caller's global
// stack.  Tests (rect_IsEmpty, rect_PntInside, win_NeedsUpdate) fail instead
// of returning false.  A picture handle is the address of a u32 size word
// followed by a packed DIB on the collected heap; a binary (font, picture
// binary) is the address of its first data byte, its u32 size word (counting
// itself) just before it.
#pragma once

namespace QEL_KWI {

struct pntlist_struct {
  uintptr_t functor;
  pnt_struct* value;
  pntlist_struct* next;
};
struct winlist_struct {
  uintptr_t functor;
  LONG_PTR value;
  winlist_struct* next;
};
static_assert(sizeof(pntlist_struct) == 24 && sizeof(winlist_struct) == 24);

// pen(Width, Style, Colour), brush(Style, Colour).
struct pen_struct {
  int32_t width;
  int32_t style;
  uint32_t colour;
};
struct brush_struct {
  int32_t style;
  uint32_t colour;
};
// drawtools(Pen, Brush, DrawMode, Font, ForeColour, BackColour, BackMode).
struct drawtools_struct {
  pen_struct* pen;
  brush_struct* brush;
  int32_t drawMode;
  uint8_t* font;
  uint32_t foreColour;
  uint32_t backColour;
  int32_t backMode;
};
static_assert(offsetof(drawtools_struct, drawMode) == 16 && offsetof(drawtools_struct, font) == 24 &&
              offsetof(drawtools_struct, foreColour) == 32 &&
              offsetof(drawtools_struct, backMode) == 40 && sizeof(drawtools_struct) == 48);

using picture = uint8_t*;  // the size word of the picture block

// Window identity, geometry, text, focus, state.
QEL_KWI_API int win_GetType(LONG_PTR window);
QEL_KWI_API LONG_PTR kwi_GetTaskWin();
QEL_KWI_API LONG_PTR win_GetParent(LONG_PTR window);
QEL_KWI_API winlist_struct* win_GetChildWindows(LONG_PTR window);
QEL_KWI_API winlist_struct* win_GetListDialogs(LONG_PTR window);
QEL_KWI_API LONG_PTR win_GetCtlHandle(LONG_PTR dialog, int id);
QEL_KWI_API int win_GetCtlId(LONG_PTR window);
QEL_KWI_API void win_SetHandler(LONG_PTR window, PROLOG_EHANDLER_STRUCT* handler);
QEL_KWI_API PROLOG_EHANDLER_STRUCT* win_GetHandler(LONG_PTR window);
QEL_KWI_API void win_EnableHook(LONG_PTR window, int on);
QEL_KWI_API rect_struct* win_GetClientRect(LONG_PTR window);
QEL_KWI_API rect_struct* win_GetOuterRect(LONG_PTR window);
QEL_KWI_API void win_Move(LONG_PTR window, rect_struct* rect);
QEL_KWI_API rect_struct* rect_GetClient(wsflags_struct* flags, int hasMenu, rect_struct* outer);
QEL_KWI_API rect_struct* rect_Offset(rect_struct* r, int dx, int dy);
QEL_KWI_API rect_struct* rect_Inflate(rect_struct* r, int dx, int dy);
QEL_KWI_API rect_struct* rect_Union(rect_struct* a, rect_struct* b);
QEL_KWI_API rect_struct* rect_Intersect(rect_struct* a, rect_struct* b);
QEL_KWI_API void rect_IsEmpty(rect_struct* r);
QEL_KWI_API void rect_PntInside(rect_struct* r, pnt_struct* p);
QEL_KWI_API pntlist_struct* win_MapPoints(LONG_PTR from, LONG_PTR to, pntlist_struct* points);
QEL_KWI_API pntlist_struct* win_DPtoLP(LONG_PTR window, pntlist_struct* points);
QEL_KWI_API pntlist_struct* win_LPtoDP(LONG_PTR window, pntlist_struct* points);
QEL_KWI_API u16* win_GetText(LONG_PTR window);
QEL_KWI_API void win_SetText(LONG_PTR window, const u16* text);
QEL_KWI_API void win_GetTextSelection(LONG_PTR window, int* first, int* last);
QEL_KWI_API void win_SelectText(LONG_PTR window, int first, int last);
QEL_KWI_API void win_GetTextExtent(LONG_PTR window, const u16* text, int length, int* width,
                                   int* height);
QEL_KWI_API void win_SetEditCtlReadOnly(LONG_PTR window, int on);
QEL_KWI_API LONG_PTR win_GetFocus();
QEL_KWI_API void win_SetFocus(LONG_PTR window);
QEL_KWI_API void win_SetActiveWindow(LONG_PTR window);
QEL_KWI_API LONG_PTR win_GetActiveWindow();
QEL_KWI_API void win_BringToTop(LONG_PTR window);
QEL_KWI_API void win_Invalidate_0(LONG_PTR window);
QEL_KWI_API void win_Invalidate_1(LONG_PTR window, rect_struct* rect);
QEL_KWI_API void win_ValidateRect(LONG_PTR window, rect_struct* rect);
QEL_KWI_API void win_Update(LONG_PTR window);
QEL_KWI_API void win_CaptureMouse(LONG_PTR window);
QEL_KWI_API void win_ReleaseMouse();
QEL_KWI_API rect_struct* win_GetInvalidRect(LONG_PTR window);
QEL_KWI_API void win_NeedsUpdate(LONG_PTR window, rect_struct* rect);
QEL_KWI_API void win_Scroll(LONG_PTR window, rect_struct* rect, int dx, int dy);
QEL_KWI_API void win_SetScrollPos(LONG_PTR window, int bar, int pos);
QEL_KWI_API void win_SetScrollRange(LONG_PTR window, int bar, int min, int max);
QEL_KWI_API int win_GetScrollPos(LONG_PTR window, int bar);
QEL_KWI_API void win_GetScrollRange(LONG_PTR window, int bar, int* min, int* max);
QEL_KWI_API void win_SetScrollProportion(LONG_PTR window, int bar, int page);
QEL_KWI_API int win_GetScrollProportion(LONG_PTR window, int bar);
QEL_KWI_API int win_IsChecked(LONG_PTR window);
QEL_KWI_API void win_Check(LONG_PTR window, int state);
QEL_KWI_API void win_CheckRadioButton(LONG_PTR window, winlist_struct* group);
QEL_KWI_API wsflags_struct* win_GetState(LONG_PTR window);
QEL_KWI_API void win_SetState(LONG_PTR window, wsflags_struct* states);
QEL_KWI_API void win_Clear_0(LONG_PTR window, LONG_PTR colour);
QEL_KWI_API void win_Clear_1(LONG_PTR window, rect_struct* rect, LONG_PTR colour);
QEL_KWI_API void win_Destroy(LONG_PTR window);
QEL_KWI_API HDC win_GetNativeGraphicContext(LONG_PTR window, int* acquired);
QEL_KWI_API void win_ReleaseNativeGraphicContext(LONG_PTR window, HDC dc, int flag);
QEL_KWI_API void kwi_MoveMDIWindowsTile(ilist_struct* flags);
QEL_KWI_API void kwi_MoveMDIWindowsCascade(ilist_struct* flags);
QEL_KWI_API void kwi_ArrangeMDIIcons();
QEL_KWI_API LONG_PTR kwi_GetAttrVal(int attr);

// Drawing.
QEL_KWI_API void draw_Pixel(LONG_PTR window, pnt_struct* p, LONG_PTR colour);
QEL_KWI_API void draw_Line(LONG_PTR window, pnt_struct* from, pnt_struct* to);
QEL_KWI_API void draw_Arc(LONG_PTR window, rect_struct* r, int x1, int y1, int x2, int y2);
QEL_KWI_API void draw_Polyline(LONG_PTR window, pntlist_struct* points);
QEL_KWI_API void draw_Ellipse(LONG_PTR window, rect_struct* r);
QEL_KWI_API void draw_Pie(LONG_PTR window, rect_struct* r, int x1, int y1, int x2, int y2);
QEL_KWI_API void draw_Rect(LONG_PTR window, rect_struct* r);
QEL_KWI_API void draw_RoundRect(LONG_PTR window, rect_struct* r, int cornerWidth, int cornerHeight);
QEL_KWI_API void draw_Polygon(LONG_PTR window, pntlist_struct* points);
QEL_KWI_API void draw_FloodFill(LONG_PTR window, pnt_struct* p, LONG_PTR boundary);
QEL_KWI_API void draw_Icon(LONG_PTR window, int x, int y, unsigned iconId);
QEL_KWI_API void draw_Text(LONG_PTR window, int x, int y, const u16* text, int length);
QEL_KWI_API void draw_TextInRect(LONG_PTR window, rect_struct* r, const u16* text, int length,
                                 ilist_struct* flags);
QEL_KWI_API void win_SetPen(LONG_PTR window, pen_struct* pen);
QEL_KWI_API void win_SetBrush(LONG_PTR window, brush_struct* brush);
QEL_KWI_API pen_struct* win_GetPen(LONG_PTR window);
QEL_KWI_API brush_struct* win_GetBrush(LONG_PTR window);
QEL_KWI_API void win_SetDrawMode(LONG_PTR window, int mode);
QEL_KWI_API int win_GetDrawMode(LONG_PTR window);
QEL_KWI_API void win_SetForeColor(LONG_PTR window, LONG_PTR colour);
QEL_KWI_API void win_SetBackColor(LONG_PTR window, LONG_PTR colour);
QEL_KWI_API void win_SetBackMode(LONG_PTR window, int mode);
QEL_KWI_API void win_SetDrawTools(LONG_PTR window, drawtools_struct* tools);
QEL_KWI_API drawtools_struct* win_GetDrawTools(LONG_PTR window);
QEL_KWI_API drawtools_struct* win_GetDefaultDrawTools();
QEL_KWI_API void win_SetMapMode(LONG_PTR window, int mode);
QEL_KWI_API int win_GetMapMode(LONG_PTR window);
QEL_KWI_API void win_SetMapScale(LONG_PTR window, pnt_struct* windowOrigin, pnt_struct* windowExtent,
                                 pnt_struct* viewportOrigin, pnt_struct* viewportExtent);
QEL_KWI_API void win_GetMapScale(LONG_PTR window, pnt_struct** windowOrigin,
                                 pnt_struct** windowExtent, pnt_struct** viewportOrigin,
                                 pnt_struct** viewportExtent);
QEL_KWI_API void win_SetClip(LONG_PTR window, rect_struct* r);
QEL_KWI_API rect_struct* win_GetClip(LONG_PTR window);
QEL_KWI_API LONG_PTR win_GetPixel(LONG_PTR window, pnt_struct* p);

// Pictures.
QEL_KWI_API LONG_PTR pict_Open(rect_struct* r);
QEL_KWI_API picture pict_Close(LONG_PTR window);
QEL_KWI_API void pict_Destroy(picture p);
QEL_KWI_API uint8_t* pict_ToBin(picture p);
QEL_KWI_API picture pict_FromBin(uint8_t* binary);
QEL_KWI_API void pict_GetSize(picture p, int* width, int* height, int* size);
QEL_KWI_API picture pict_Load(const u16* fileName);
QEL_KWI_API picture pict_Load(const u16* fileName, int width, int height, unsigned flags);
QEL_KWI_API void pict_Save(picture p, const u16* fileName);
QEL_KWI_API picture pict_GetFromRes(unsigned id);
QEL_KWI_API picture pict_GetFromRes(HINSTANCE module, unsigned id);
QEL_KWI_API picture pict_GetFromRes(unsigned id, int width, int height, unsigned flags);
QEL_KWI_API picture pict_GetFromRes(HINSTANCE module, unsigned id, int width, int height,
                                    unsigned flags);
QEL_KWI_API picture pict_GetFromWin(LONG_PTR window, rect_struct* r);
QEL_KWI_API HBITMAP pict_ToBmpHandle(picture p);
QEL_KWI_API void pict_DrawEx_0(LONG_PTR window, picture p, pnt_struct* at, int mode, int usePalette);
QEL_KWI_API void pict_DrawEx_1(LONG_PTR window, picture p, rect_struct* dest, rect_struct* src,
                               int mode, int usePalette);
QEL_KWI_API picture pict_Rotate(picture p, int quarterTurns);

// Cursors, carets, icons, dialog ratio.
QEL_KWI_API void cursor_Set(LONG_PTR window, int id, int setNow);
QEL_KWI_API void cursorSet(LONG_PTR window, HINSTANCE module, int id, int setNow);
QEL_KWI_API int cursor_Get(LONG_PTR window);
QEL_KWI_API void cursor_SetWait();
QEL_KWI_API void cursor_Hide();
QEL_KWI_API pnt_struct* cursor_GetPos(LONG_PTR window);
QEL_KWI_API void caret_Set(LONG_PTR window, int x, int y, int width, int height);
QEL_KWI_API void caret_Size(LONG_PTR window, int width, int height);
QEL_KWI_API void caret_Off(LONG_PTR window);
QEL_KWI_API void win_SetIcon(LONG_PTR window, unsigned iconId);
QEL_KWI_API void win_DialogRatio(LONG_PTR window, pnt_struct** ratio);

// Fonts: a binary of 92 data bytes holding a LOGFONTW.
QEL_KWI_API uint8_t* font_Create(int family, ilist_struct* styles, int size);
QEL_KWI_API uint8_t* font_SetAttrs(uint8_t* font, ilist_struct* styles, int size);
QEL_KWI_API u16* font_GetAttrs(uint8_t* font, ilist_struct** styles, int* size);
QEL_KWI_API uint8_t* win_GetFont(LONG_PTR window);
QEL_KWI_API void win_SetFont(LONG_PTR window, uint8_t* font);
QEL_KWI_API void win_GetFontMetrics(LONG_PTR window, int* leading, int* ascent, int* descent);
QEL_KWI_API uint8_t* dlg_ChooseFont(uint8_t* font, u16** face, int* size);

}  // namespace QEL_KWI
