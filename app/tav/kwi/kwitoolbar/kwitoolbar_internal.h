// The helpers the parts of kwiToolbar share: layout and record keeping,
// drawing, hover and tooltips, the window's event handler.  Every lookup
// goes through facts() in assertion order; a missing record is no error.
#pragma once

#include "kwi/kwitoolbar/kwitoolbar_facts.h"

namespace tav::tbar {

namespace kwi_ = QEL_KWI;

// Styles and margins inside a toolbar.
bool multiple_rows(const style& s);
int32_t getaddornamentationbystyle(const style& s);
int32_t getleftoffset(const style& s);
int32_t gettopoffset(const style& s);
int32_t getrightoffset(const style& s);
int32_t getbottomoffset(const style& s);

// Layout and records.
TbRec* TbOf(LONG_PTR toolbarWin);
void getmaxcontrolsize(LONG_PTR parent, control_list controls, int32_t* width, int32_t* height);
void build_control_database(LONG_PTR win, const style& s, control_list controls, int32_t* width,
                            int32_t* height);
void get_inits(LONG_PTR win, const style& s, int32_t parentBottom, int32_t parentRight,
               int32_t* top, int32_t* left);
void get_inits_for_twin(LONG_PTR parent, int32_t* left, int32_t* top, int32_t* right,
                        int32_t* bottom);
void set_ctrl_to_tb_win(LONG_PTR oldWin, LONG_PTR newWin);
void set_ctrl_to_tb_win1(LONG_PTR win);
void split_control_text(const wchar_t* text, const wchar_t** tooltip, const wchar_t** status);
void create_listcontrols(LONG_PTR win);
void toolbar_retract_controls(LONG_PTR win);
// Fills a list control with the items (none: keeps its own), selects the
// entry, and enables (1) or disables (0) it; any other value leaves it.
void ShowListValue(LONG_PTR ctl, const slist_struct* items, int32_t selection, int32_t enabled);
void remove_kwitbarattr(const style& s, LONG_PTR parent);
void tbar_invalidate(LONG_PTR win, const style& s, int32_t parentBottom, int32_t parentRight,
                     const rect_struct& oldRect);
uint8_t* createtoolbarfont(int32_t family, int32_t fontStyle, int16_t size);
void buttoncolors(uint32_t* face, uint32_t* highlight, uint32_t* shadow);
void tooltip_register(LONG_PTR win, const rect_struct& r, const wchar_t* text);
void RetractControls(LONG_PTR win);
// Forgets the exception a trap caught (the error is dropped).
void ClearCaught(uint32_t code);
// The id as a signed control id: the runtime's range error above 2147483647.
int32_t SignedId(uint32_t id);

// Drawing.
void show_toolbar_controls(LONG_PTR win);
void drawornamentation(LONG_PTR win, const style& s, int32_t width, int32_t height);
void drawbutton(LONG_PTR win, const rect_struct& r, const BitmapIdTerm& bitmap, int32_t enabled,
                int32_t state);
void show_text(LONG_PTR win, const rect_struct& r, int32_t fontStyle, int32_t fontFamily,
               int16_t fontSize, uint32_t textColor, const wchar_t* text);
void toolbar_if_draw_frame(LONG_PTR win, const rect_struct& r, int32_t enabled, int32_t state);
void eraseframe(LONG_PTR win, const rect_struct& r, int32_t flag);
void show_status_text(LONG_PTR win, const wchar_t* text);
void restore_initial_status_text(LONG_PTR win);
bool tb_rect(LONG_PTR win, const style& s, int32_t bottom, int32_t right, rect_struct* out);

// Hover and tooltips.
void tooltip_create(LONG_PTR parent);
void tooltip_clean_up(LONG_PTR win);
void tooltip_check_mousemove(LONG_PTR win, const pnt_struct& p);
void test_enter_ctrl(LONG_PTR win, const pnt_struct& p, int32_t mode);
void test_not_leave_ctrl(LONG_PTR win, uint32_t id, const pnt_struct& p);
void set_flagmousedown(LONG_PTR win, ControlStyle cs, int32_t group);
void set_button_released(LONG_PTR win);

// The group press of the values part.
void setpressedbutton(LONG_PTR parent, int32_t group, uint32_t id);

// The toolbar window's handler closure.
kwi_::PROLOG_EHANDLER_STRUCT* TbHandler();

}  // namespace tav::tbar
