// Internals of the GUI layer: the state record, window-record words, the
// three record lists and the helpers shared by the sources.
#pragma once

#include <windows.h>

#include "qel6kernel.h"
#include "qel6kwi.h"

namespace QEL_KWI::detail {

namespace K = Qel::RunTime::Kernel;

// GUI state record words.
enum StateWord {
  sw_init = 0, sw_mdi = 1, sw_erase = 2, sw_attr10009 = 3, sw_noModified = 4,
  sw_insetTop = 5, sw_insetBottom = 6, sw_insetRight = 7, sw_insetLeft = 8,
  sw_destroying = 9, sw_inErase = 10, sw_inHook = 11, sw_errFn = 12, sw_errObj = 13,
  sw_classes = 14, sw_subclasses = 15, sw_dialogs = 16, sw_timers = 17,
  sw_itemDC = 37, sw_itemWin = 38, sw_itemPen = 39, sw_itemPenOld = 40, sw_itemBrush = 41,
  sw_itemBrushOld = 42, sw_itemFont = 43, sw_itemFontOld = 44, sw_itemClip = 45,
  sw_mdiClient = 46, sw_menuTitle = 47, sw_print = 48, sw_modeless = 49, sw_count = 50
};

// Window-record words.
enum RecordWord {
  rw_font = 0, rw_menu = 1, rw_gdi = 2, rw_cursor = 3, rw_brush = 4, rw_pen = 5,
  rw_paintRect = 6, rw_type = 7, rw_fn = 8, rw_obj = 9, rw_preFn = 10, rw_preObj = 11,
  rw_data = 12, rw_noMenu = 13, rw_hook = 14, rw_tools = 15, rw_style = 16,
  rw_bkColor = 23, rw_textColor = 24, rw_rop = 25, rw_cursorId = 26, rw_caretW = 27,
  rw_caretH = 28, rw_caretX = 29, rw_caretY = 30, rw_mapMode = 31, rw_bkMode = 32,
  rw_winOrgX = 33, rw_winOrgY = 34, rw_winExtX = 35, rw_winExtY = 36, rw_vpOrgX = 37,
  rw_vpOrgY = 38, rw_vpExtX = 39, rw_vpExtY = 40, rw_keptDC = 41, rw_paintDC = 43,
  rw_paintWin = 44, rw_palette = 45, rw_state = 46, rw_valid = 47
};

struct DialogRecord {
  HWND dialog;
  HWND parent;
  _win_data rec;
  DialogRecord* next;
};
struct SubclassRecord {
  HWND window;
  HWND replaced;
  WNDPROC previous;
  _win_data rec;
  LONG_PTR useTools;
  SubclassRecord* next;
};
constexpr int ClassNameUnits = 60;
struct ClassRecord {
  wchar_t name[ClassNameUnits];
  void* function;
  void* object;
  ClassRecord* next;
};

// Creation record handed to the window procedures through lpCreateParams.
struct CreationRecord {
  LONG_PTR first;
  void* function;
  void* object;
  LONG_PTR data;
  LONG_PTR type;
  HMENU menu;
  LONG_PTR noMenu;
  LONG_PTR style;
};

// Process variables.
extern HINSTANCE g_app;
extern HWND g_task;
extern bool g_mdi;
extern bool g_validation;
extern LONG_PTR g_state[sw_count];
extern LONG_PTR g_pending[sw_count];  // settings made before the state exists
extern bool g_controlEvents;
extern HACCEL g_accel;
extern bool g_accelBuilt;
extern wchar_t* g_menuTitle;
extern HMENU g_windowMenu;
extern HPALETTE g_palette;
extern HWND g_activeInner;
extern bool g_appActive;

struct PendingDialog {
  PROLOG_EHANDLER_STRUCT handler;
  LONG_PTR data;
  HWND parent;
  int type;
};
extern PendingDialog g_pendingDialog;

constexpr UINT MsgUser = 0xC00F;
constexpr UINT MsgEndApplication = 0xC000;
constexpr UINT MsgControlCreated = 0xC00D;

// Term lists on the global stack: the end {ListNil} and a cell
// {ListCons, value, next} put in front of `list`.
template <class List = wsflags_struct>
List* EmptyList() {
  auto* l = reinterpret_cast<List*>(K::Memory::AllocGStack(sizeof(uintptr_t)));
  l->functor = ListNil;
  return l;
}
template <class List>
List* Push(List* list, decltype(List::value) value) {
  auto* c = reinterpret_cast<List*>(K::Memory::AllocGStack(sizeof(List)));
  c->functor = ListCons;
  c->value = value;
  c->next = list;
  return c;
}

// Errors.
// Raises `code`; returns when an exception-handler function is registered
// (it received the code), so every caller returns or fails right after.
void RaiseMayReturn(int code);
inline bool Validating() { return g_validation; }
void ReportError(uint32_t code);
void ShowErrorBox();
// Appends the bytes and CR LF to "_kwi_.log" in the current directory (made
// when missing); false when the file cannot be opened or written.
bool AppendKwiLog(const void* bytes, size_t n);

// State.
LONG_PTR* State();
inline bool StateReady() { return g_state[sw_init] != 0; }
HWND TaskWindow();
bool IsOwnClass(const wchar_t* name);

// Window records.
_win_data* RecordOf(HWND w);         // own-class extra word (no lookup)
_win_data* NewRecord();
void FreeRecord(_win_data* r);
void CleanUpRecord(HWND w, _win_data* r);
DialogRecord* FindDialog(HWND w);
DialogRecord* MakeDialogRecord(HWND w);
void RemoveDialog(DialogRecord* d);
DialogRecord* DialogAt(LONG_PTR index);
LONG_PTR DialogIndex(HWND w);
SubclassRecord* FindSubclass(HWND w);
SubclassRecord* FindSubclassByReplaced(HWND w);
void RemoveSubclass(SubclassRecord* s);
bool TypeAllows(HWND w, int type, int category);
int WindowType(HWND w);
// Window types with a record of the layer: windows, dialogs, user-class windows.
inline bool IsLayerWindow(int type) {
  return type == wt_toplevel || type == wt_child || type == wt_task || type == wt_modal ||
         type == wt_modeless || type == wt_custom;
}
void SetDefaultTools(_win_data* r);
void FreeLists();
// The context that drawing on `w` goes to; *release when the caller must
// release it.
HDC DrawingContext(HWND w, bool* release);
void ClearDrawingCache();
// True for the window whose context the paint-context cache holds (this thread).
bool IsCachedWindow(HWND w);
// The window that owns boxes: the dialog or top-level window holding the
// focus, else the task window.
HWND FocusWindowForBoxes();
wchar_t* NarrowLineFeeds(wchar_t* s);  // CR LF to LF, in place
// Binaries: a u32 size word counting itself, then the data.
uint8_t* BinaryData(void* binary);
uint32_t BinaryLength(const void* binary);
void* NewBinary(uint32_t n);

// Styles.
struct ControlStyle {
  DWORD style;
  DWORD exStyle;
  bool checked;
  bool readOnly;
};
void WindowFlagsToStyles(const wsflags_struct* flags, DWORD* style, DWORD* exStyle);
ControlStyle ControlFlagsToStyles(int type, const wsflags_struct* flags);
wsflags_struct* StylesToFlags(int ordinal, DWORD style, DWORD exStyle);
int ControlTypeFromClass(const wchar_t* className, DWORD style);
const wchar_t* ClassNameFromOrdinal(int ordinal);

// Events.
int KeyCode(WPARAM vk, bool control);
// Message dispatcher: mode 0 delivers *event as filled, 1 translates a window
// message, 2 a control notification.  *failed (optional) tells whether the
// handler failed or raised, *delivered whether anything was delivered.
LONG_PTR Dispatch(HWND w, UINT msg, WPARAM wp, LPARAM lp, event_struct* event, int mode,
                  bool* failed = nullptr, bool* delivered = nullptr);
LONG_PTR DeliverEvent(HWND w, event_struct* event, bool* failed);
// Common message handling; returns true when it answered, with *answer.
bool CommonMessage(HWND w, UINT msg, WPARAM wp, LPARAM lp, bool cleanUp, bool askAnswer,
                   LRESULT* answer);
bool NativeHook(HWND w, _win_data* r, UINT msg, WPARAM wp, LPARAM lp, LRESULT* answer);
HCURSOR RecordCursor(_win_data* r);
bool SetCursorFor(HWND w, WPARAM wp, LPARAM lp, LRESULT* answer);
void PaintWindow(HWND w, _win_data* r);

// Window procedures.
LRESULT CALLBACK CommonProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK TaskProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK FrameProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK MdiDocProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK IconProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK UserClassProc(HWND, UINT, WPARAM, LPARAM);
INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ControlProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ListBoxProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ControlFontProc(HWND, UINT, WPARAM, LPARAM);
// Runs a window procedure's body at the kernel's callback boundary, as the
// procedures above do.
LRESULT GuardedProc(LRESULT (*body)(HWND, UINT, WPARAM, LPARAM), HWND w, UINT m, WPARAM wp,
                    LPARAM lp);
void InstallFontProc(HWND w, WNDPROC proc);
// Moves the MDI client into the frame's client area less the insets.
void PlaceClient(HWND frame);
// The description every class of the layer is registered with.
WNDCLASSEXW LayerClassInfo(const wchar_t* name, WNDPROC proc, bool global, LPCWSTR menuName);
void RegisterLayerClass(const wchar_t* name, WNDPROC proc, bool global, LPCWSTR menuName);
// The text of a menu item by position; false when there is none.
bool MenuItemText(HMENU m, int pos, wchar_t* buf, int n);
// The pop-up of `menu` titled like the window pop-up, or null.
HMENU FindWindowPopup(HMENU menu);

// Creation: the menu of a new window from its menu term (menus.cpp).
HMENU LoadMenuFor(menu_struct* menu, bool* noMenu, int* windowMenuPos);
// The top-level position of the first item flagged 0x4000 in a standard menu
// template of `size` bytes (the flag then cleared); -1 when none is, -2 for
// an extended or malformed template.
int TakeTemplateMark(uint8_t* t, size_t size);
void DialogUnitsToPixels(RECT* r);
void PixelsToDialogUnits(RECT* r);
void AdjustToDialogFont(HWND parent, RECT* r);

// Dialog templates.
constexpr size_t TemplateBlock = 65536;
int BuildTemplate(uint8_t* block, size_t capacity, size_t* size, windef_list_struct* list,
                  bool checkClasses);
windef_list_struct* ParseTemplate(const uint8_t* t, size_t size);

// User classes.
ClassRecord* FindClass(const wchar_t* name);

// Strings.
wchar_t* WidenLineFeeds(const wchar_t* s);  // global stack

// Window operations, drawing and cursors.
void SetAttr408(LONG_PTR value);
void ApplyMapping(HDC dc, const _win_data* r);  // the record's map mode and scale
void UndoCursorHide();
// Timers: a chain of blocks of entries {id, window, system id}, id 0 free;
// the first block is made at start-up (state word 17).
struct TimerEntry {
  uint32_t id;
  HWND window;
  UINT_PTR system;
};
static_assert(sizeof(TimerEntry) == 24 && offsetof(TimerEntry, window) == 8);
constexpr int TimersPerBlock = 1024;
struct TimerBlock {
  TimerEntry entries[TimersPerBlock];
  TimerBlock* next;
};
void* NewTimerTable();
void FreeTimerTable(void* table);

// Child processes: the procedure of the "ZevRunApp32" windows.
LRESULT CALLBACK ProcessProc(HWND, UINT, WPARAM, LPARAM);

}  // namespace QEL_KWI::detail
