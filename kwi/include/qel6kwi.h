// qel6kwi: the GUI layer's public interface.
//
// Windows of the layer turn their messages into event records and hand them
// to handler closures under a global-stack mark, a kernel trap and a
// backtrack point.  A handler that fails leaves the message to the default
// processing; an error that ends a handler is reported and never crosses the
// window procedure.
//
// Records that the program builds are logic terms: a list cell is
// {functor 1, head, tail}, the empty list {functor 2}; words are 8 bytes.
// Window handles, user data and creation data are pointer-sized (LONG_PTR).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#ifdef QEL6KWI_BUILD
// The export list decides what the DLL exports (see exports.txt).
#define QEL_KWI_API
#else
#define QEL_KWI_API __declspec(dllimport)
#endif

namespace QEL_KWI {

using u16 = wchar_t;

constexpr uintptr_t ListCons = 1;
constexpr uintptr_t ListNil = 2;

// A list of integers (style flags, button lists): cells {1, value, next}, end {2}.
struct ilist_struct {
  uintptr_t functor;
  intptr_t value;
  ilist_struct* next;
};
static_assert(sizeof(ilist_struct) == 24 && offsetof(ilist_struct, next) == 16);
using wsflags_struct = ilist_struct;

struct slist_struct {
  uintptr_t functor;
  const u16* value;
  slist_struct* next;
};

struct pnt_struct {
  int32_t x, y;
};
struct rect_struct {
  int32_t left, top, right, bottom;
};
static_assert(sizeof(rect_struct) == 16);

// Handler closure: function(window, event) when object is null, else
// function(object, window, event).
struct PROLOG_EHANDLER_STRUCT {
  void* function;
  void* object;
};
static_assert(sizeof(PROLOG_EHANDLER_STRUCT) == 16);
// Error-handler closure: function(taskWindow, code) or function(object, taskWindow, code).
struct PROLOG_ERRHANDLER_STRUCT {
  void* function;
  void* object;
};

// Event record: the kind, then up to eight pointer-sized payload words.
struct event_struct {
  uint32_t kind;
  LONG_PTR w[8];
};
static_assert(offsetof(event_struct, w) == 8 && sizeof(event_struct) == 72);

using EventFunction = LONG_PTR (*)(LONG_PTR window, event_struct* event);
using EventMethod = LONG_PTR (*)(void* object, LONG_PTR window, event_struct* event);
using ErrorFunction = void (*)(LONG_PTR taskWindow, LONG_PTR code);
using ErrorMethod = void (*)(void* object, LONG_PTR taskWindow, LONG_PTR code);
using ExceptionHandlerFunction = void (*)(int32_t code, const u16* text);

enum EventKind : uint32_t {
  e_create = 1, e_destroy, e_getfocus, e_losefocus, e_size, e_move, e_update,
  e_erasebackground, e_closerequest, e_mousedown, e_mouseup, e_mousedbl, e_mousemove,
  e_char, e_keydown, e_keyup, e_vscroll, e_hscroll, e_menu, e_initmenu, e_control,
  e_timer, e_ownermeasureitem, e_ownerdraw, e_dde, e_endsession, e_native, e_user,
  e_endapplication, e_state, e_activate, e_deactivate
};

// controlinfo: {alternative, payload}; scroll(code, position) carries two words.
struct controlinfo {
  uintptr_t alt;
  LONG_PTR code;
  LONG_PTR position;
};
enum ControlInfoKind : uintptr_t {
  ci_scroll = 1, ci_getfocus, ci_losefocus, ci_modified, ci_selchanged, ci_activated,
  ci_closeup, ci_dropdown
};

// menu_struct: resmenu(id) 1, dynmenu(items) 2, nomenu 3.
struct menu_struct {
  uintptr_t functor;
  uintptr_t value;
};
// Menu item: txt 1 {id, text, accelerator, enabled, flags, subitems},
// ownerdraw 2 {id, data, enabled, checked, subitems}, separator 3, menubreak 4.
struct menu_item {
  uintptr_t functor;
  LONG_PTR w[6];
};
struct menu_item_list_struct {
  uintptr_t functor;
  menu_item* value;
  menu_item_list_struct* next;
};
// Accelerator of a txt item: noaccelerator 1 {functor}, key(Key, Modifier) 2.
struct menu_accelerator {
  uintptr_t functor;
  LONG_PTR key;
  LONG_PTR modifier;
};

struct _accel {
  int32_t key;
  int32_t modifiers;
  uint32_t command;
};
struct _accel_list {
  uintptr_t functor;
  _accel* value;
  _accel_list* next;
};

// Window definitions.
struct wdef {
  int32_t type;
  rect_struct* rect;
  const u16* title;
  int32_t dlgUnits;
};
static_assert(offsetof(wdef, rect) == 8 && offsetof(wdef, dlgUnits) == 24);

// windef: {alternative, payload words}:
//   1 resdlg(id, type)       2 dlg(wdef, flags)        3 dlgfont(wdef, face, size, flags)
//   4 topwin(wdef, menu, flags)   5 childwin(wdef, id, flags)
//   6 icon(wdef, id, iconId, flags)   7 ctl(wdef, id, flags)
//   8 customctl(wdef, class, id, flags)
struct windef {
  uintptr_t alt;
  LONG_PTR w[4];
};
static_assert(offsetof(windef, w) == 8);
enum WindefKind : uintptr_t {
  wd_resdlg = 1, wd_dlg, wd_dlgfont, wd_topwin, wd_childwin, wd_icon, wd_ctl, wd_customctl
};
struct windef_list_struct {
  uintptr_t functor;
  windef* value;
  windef_list_struct* next;
};

// The window record.  Every word is pointer-sized; word numbers as named.
struct _win_data {
  LONG_PTR w[48];
};

// Window types.
enum WinType : int {
  wt_toplevel = 1, wt_child = 2, wt_screen = 3, wt_task = 4, wt_modal = 6, wt_modeless = 7,
  wt_pushbutton = 8, wt_radiobutton = 9, wt_checkbox = 10, wt_hscroll = 11, wt_vscroll = 12,
  wt_edit = 13, wt_text = 14, wt_listbox = 15, wt_listbutton = 16, wt_listedit = 17,
  wt_groupbox = 18, wt_icon = 19, wt_custom = 20, wt_print = 25, wt_picture = 26,
  wt_metafile = 27
};

// Initialisation and message loop.
QEL_KWI_API void kwi_Init(wsflags_struct* flags, PROLOG_EHANDLER_STRUCT* handler, menu_struct* menu,
                          const u16* text, const u16* title);
QEL_KWI_API int kwi_ProcessEvents(int all, int wait);
QEL_KWI_API void kwi_BeforeMessage();
QEL_KWI_API void kwi_AfterMessage();
QEL_KWI_API void setAccelerators(_accel_list* list);
QEL_KWI_API _accel_list* getAccelerators();
QEL_KWI_API int kwi_GetPressedKey();
QEL_KWI_API void win_IsOwn(LONG_PTR window);
QEL_KWI_API void* tryGetWindowObject(LONG_PTR window);
QEL_KWI_API void kwi_SetAttrVal(int attr, LONG_PTR value);
QEL_KWI_API void kwi_SetErrorHandler(PROLOG_ERRHANDLER_STRUCT* handler);
QEL_KWI_API void kwi_ArgValidation(int on);

// Events and handler calls.
QEL_KWI_API LONG_PTR kwi_CallEventHandler(LONG_PTR window, event_struct* event,
                                          PROLOG_EHANDLER_STRUCT* handler);
QEL_KWI_API LONG_PTR XZEV_DirectCallHandler(LONG_PTR window, event_struct* event,
                                            PROLOG_EHANDLER_STRUCT* handler, int* failed);

// Window definitions and creation.
QEL_KWI_API LONG_PTR win_Create(int type, rect_struct* rect, const u16* title, menu_struct* menu,
                                LONG_PTR parent, wsflags_struct* flags,
                                PROLOG_EHANDLER_STRUCT* handler, LONG_PTR data);
QEL_KWI_API LONG_PTR win_CreateDyn(windef_list_struct* list, LONG_PTR parent,
                                   PROLOG_EHANDLER_STRUCT* handler, LONG_PTR data);
QEL_KWI_API LONG_PTR win_CreateDynDialog(LONG_PTR parent, windef_list_struct* list,
                                         PROLOG_EHANDLER_STRUCT* handler, LONG_PTR data);
QEL_KWI_API LONG_PTR win_CreateResDialog(LONG_PTR parent, int type, unsigned id,
                                         PROLOG_EHANDLER_STRUCT* handler, LONG_PTR data);
QEL_KWI_API LONG_PTR win_CreateResDialog(HINSTANCE module, LONG_PTR parent, int type, unsigned id,
                                         PROLOG_EHANDLER_STRUCT* handler, LONG_PTR data);
QEL_KWI_API windef_list_struct* win_GetResDialog(unsigned id);
QEL_KWI_API windef_list_struct* win_GetResDialog(HINSTANCE module, unsigned id);
QEL_KWI_API LONG_PTR win_CreateControl(int type, rect_struct* rect, const u16* title,
                                       LONG_PTR parent, wsflags_struct* flags, int id);
QEL_KWI_API LONG_PTR win_CreateDynControl(windef_list_struct* list, LONG_PTR parent);
QEL_KWI_API void XZEV_ConvertPixels2Dlg(rect_struct* rect);

// Window records.
QEL_KWI_API _win_data* XZEV_GetWinData(HWND window);
QEL_KWI_API _win_data* XZEV_GetWinData(LONG_PTR window);
QEL_KWI_API void win_SetData(LONG_PTR window, LONG_PTR value);
QEL_KWI_API LONG_PTR win_GetData(LONG_PTR window);
QEL_KWI_API void win_SetSubClassHandler(LONG_PTR window, PROLOG_EHANDLER_STRUCT* handler,
                                        int useDrawingTools);

// Dialog templates.
QEL_KWI_API windef_list_struct* XZEV_GetWindefFromTemplate(char* dialogTemplate);
// Bounded form: the template is `size` bytes long; a malformed template
// raises 6004.
QEL_KWI_API windef_list_struct* XZEV_GetWindefFromTemplate(const char* dialogTemplate,
                                                           size_t size);

// User classes and resources.
QEL_KWI_API void class_Create(const u16* name, PROLOG_EHANDLER_STRUCT* handler);
QEL_KWI_API void class_Destroy(const u16* name);
QEL_KWI_API u16* win_GetClassName(LONG_PTR window);
QEL_KWI_API int kwi_CheckExistDialog(unsigned id);
QEL_KWI_API int kwi_CheckExistDialog(HINSTANCE module, unsigned id);
QEL_KWI_API int kwi_CheckExistString(unsigned id);
QEL_KWI_API int kwi_CheckExistString(HINSTANCE module, unsigned id);
QEL_KWI_API u16* kwi_GetResStr(unsigned id);
QEL_KWI_API u16* kwi_GetResStr(HINSTANCE module, unsigned id);
QEL_KWI_API LONG_PTR kwi_ComposeRGB(int red, int green, int blue);
QEL_KWI_API void kwi_GetBaseUnits(int* x, int* y);

// Errors.
QEL_KWI_API void registerExceptionHandler(ExceptionHandlerFunction function);

// Events sent and posted.
QEL_KWI_API LONG_PTR win_SendEvent(LONG_PTR window, event_struct* event);
QEL_KWI_API void win_PostEvent(LONG_PTR window, event_struct* event);

// Menus.  Menu terms are read back on the caller's global stack.
QEL_KWI_API void menu_Check_0(LONG_PTR window, unsigned id, int check);
QEL_KWI_API void menu_Check_1(LONG_PTR window, const u16* tag, int check);
QEL_KWI_API void menu_Enable_0(LONG_PTR window, unsigned id, int enable);
QEL_KWI_API void menu_Enable_1(LONG_PTR window, const u16* tag, int enable);
QEL_KWI_API void menu_SetText_0(LONG_PTR window, unsigned id, const u16* text);
QEL_KWI_API void menu_SetText_1(LONG_PTR window, const u16* tag, const u16* text);
QEL_KWI_API void menu_Update(LONG_PTR window);
QEL_KWI_API menu_struct* menu_Get(LONG_PTR window);
QEL_KWI_API menu_struct* menu_GetRes(unsigned id);
QEL_KWI_API menu_struct* menu_GetRes(HINSTANCE module, unsigned id);
QEL_KWI_API menu_item_list_struct* xZEV_Create_MENU_list(HMENU menu, int level, int* skipped);
QEL_KWI_API void menu_Set(LONG_PTR window, menu_struct* menu);
// Alignment 0 left, 1 centre, other right of the client point.
QEL_KWI_API void menu_PopUp(LONG_PTR window, menu_struct* menu, pnt_struct* point, int alignment);

// List and combo boxes.
QEL_KWI_API void lbox_Add_0(LONG_PTR window, int index, const u16* string);
QEL_KWI_API void lbox_Add_1(LONG_PTR window, int index, slist_struct* strings);
QEL_KWI_API void lbox_Add_2(LONG_PTR window, const u16* string);
QEL_KWI_API void lbox_Add_3(LONG_PTR window, slist_struct* strings);
QEL_KWI_API void lbox_Clear(LONG_PTR window);
QEL_KWI_API void lbox_Delete(LONG_PTR window, int index);
QEL_KWI_API int lbox_CountAll(LONG_PTR window);
QEL_KWI_API slist_struct* lbox_GetAll(LONG_PTR window);
QEL_KWI_API u16* lbox_GetItem(LONG_PTR window, int index);
QEL_KWI_API void lbox_GetSel(LONG_PTR window, slist_struct** strings, ilist_struct** indexes);
QEL_KWI_API int lbox_GetSelIndex(LONG_PTR window);  // fails when nothing is selected
QEL_KWI_API void lbox_IsSel(LONG_PTR window, int index);  // fails when not selected
QEL_KWI_API void lbox_SetSel(LONG_PTR window, int index, int select);
QEL_KWI_API void lbox_Suspend(LONG_PTR window);
QEL_KWI_API void lbox_Resume(LONG_PTR window);
QEL_KWI_API void lbox_SetColumnWidth(LONG_PTR window, int width);
QEL_KWI_API void lbox_SetTabStops(LONG_PTR window, ilist_struct* stops);
QEL_KWI_API void lbox_SetTopIndex(LONG_PTR window, int index);

// Timers (e_timer carries the id) and the alarm sound.
QEL_KWI_API LONG_PTR timer_Set(LONG_PTR window, unsigned milliseconds);
QEL_KWI_API void timer_Kill(LONG_PTR id);
QEL_KWI_API void kwi_Alarm(int kind);

// Child processes.  A process identifier travels in e_endapplication.
QEL_KWI_API LONG_PTR kwi_CreateProcess(LONG_PTR window, const u16* program, const u16* arguments,
                                       int showMode);
QEL_KWI_API int kwi_RunProcess(const u16* program, const u16* arguments);
QEL_KWI_API void kwi_CloseProcess(LONG_PTR process);
QEL_KWI_API LONG_PTR kwi_GetProcessWindow(LONG_PTR process);

}  // namespace QEL_KWI

#include "qel6kwi_win.h"
#include "qel6kwi_exchange.h"
