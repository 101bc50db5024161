// kwiDialog: dialogs described as data, field half.  A dialog has no object:
// its fields, held values and flags live in the class-wide store below,
// keyed by the dialog's window handle (0 while it is being created).  The
// description types are terms of the domains in `kwiDialogDomains`; every
// block starts with its functor word (alternatives numbered from 1 in the
// order the types list them), scalars sit inline, strings, lists and
// compound arguments are pointers.  The store keeps heap copies of the
// terms it is given; what it hands out is its own copy, never to be changed.
// Held values of the four edit kinds are `editstr`(text) while a dialog is
// open; typed values exist only on the way in and out.
#pragma once

#include "core/core.h"
#include "qel6kwi.h"
#include "string/string.h"

namespace tav {

namespace dlg {

// integer_list / controlid_list cell: the layout of the GUI layer's ilist_struct.
struct IntList {
  uint64_t functor;  // 1 a cell, 2 the empty list
  intptr_t head;
  const IntList* tail;
  bool Empty() const { return (functor & 0xFF) == 2; }
};
static_assert(sizeof(IntList) == sizeof(QEL_KWI::ilist_struct));

// A term's first word.
struct Tagged {
  uint64_t functor;
};

// --- Optional numbers: dint = void | i(integer); dlong = void | l(integer32);
// dreal = void | r(real).
constexpr uint64_t kVoid = 1;
struct OptInt {
  uint64_t functor;
  int32_t value;
};
struct OptReal {
  uint64_t functor;
  double value;
};

// --- Properties.  str_prop: mandatory 1, length 2, default 3, upper 4, lower 5.
// int_prop / long_prop / real_prop: mandatory 1, default 2, range 3, minimum 4,
// maximum 5, decimals 6 (real only).
enum StrProp : uint64_t { sp_mandatory = 1, sp_length, sp_default, sp_upper, sp_lower };
enum NumProp : uint64_t { np_mandatory = 1, np_default, np_range, np_minimum, np_maximum, np_decimals };
struct PropInt {  // length, default, minimum, maximum (integer, integer32), decimals (unsigned)
  uint64_t functor;
  int32_t a;
  int32_t b;  // range: the maximum
};
struct PropReal {
  uint64_t functor;
  double a;
  double b;
};
struct PropText {  // str_prop default
  uint64_t functor;
  const wchar_t* text;
};
struct PropList {
  uint64_t functor;  // 1 a cell, 2 the empty list
  const Tagged* head;
  const PropList* tail;
  bool Empty() const { return (functor & 0xFF) == 2; }
};

// --- errorprompt: own_prompt(string) 1, dlg_prompt(integer) 2, str_prompt(string) 3, nopr 4.
enum PromptKind : uint64_t { pr_own = 1, pr_dlg, pr_str, pr_nopr };
struct PromptText {
  uint64_t functor;
  const wchar_t* text;
};
struct PromptId {
  uint64_t functor;
  int32_t id;
};

// --- item (1..14) and item_val (1..15): the kinds share numbers.
enum Kind : uint64_t {
  k_checkbox = 1, k_radiobuttongroup, k_pushbutton, k_editstr, k_editint, k_editlong,
  k_editreal, k_statictext, k_listbox, k_listbutton, k_listedit, k_scrollbar, k_custom,
  k_datafield, k_alllist
};
// checkbox(integer); value radiobuttongroup(integer), scrollbar(integer).
struct KInt {
  uint64_t functor;
  int32_t value;
};
// pushbutton, statictext, datafield (string); value editstr, listedit (string).
struct KText {
  uint64_t functor;
  const wchar_t* text;
};
struct KRadios {  // item radiobuttongroup(controlid_list)
  uint64_t functor;
  const IntList* ids;
};
struct KEditStr {  // item editstr(string, str_props)
  uint64_t functor;
  const wchar_t* text;
  const PropList* props;
};
struct KEditNum {  // item editint/editlong/editreal(dint/dlong/dreal, props)
  uint64_t functor;
  const Tagged* value;
  const PropList* props;
};
struct KOpt {  // value editint/editlong/editreal(dint/dlong/dreal)
  uint64_t functor;
  const Tagged* value;
};
struct KListBox {  // item and value listbox(string_list, integer_list)
  uint64_t functor;
  const StringList* items;
  const IntList* indexes;
};
struct KListButton {  // item listbutton(string_list, integer)
  uint64_t functor;
  const StringList* items;
  int32_t index;
};
struct KListButtonVal {  // value listbutton(string, integer)
  uint64_t functor;
  const wchar_t* text;
  int32_t index;
};
struct KListEdit {  // item listedit(string_list, string)
  uint64_t functor;
  const StringList* items;
  const wchar_t* text;
};
struct KScroll {  // item scrollbar(line, page, minimum, maximum, position)
  uint64_t functor;
  int32_t line, page, minimum, maximum, position;
};
struct KCustom {  // item and value custom(string, integer32)
  uint64_t functor;
  const wchar_t* text;
  int32_t value;
};
struct KAllList {  // value alllist(string_list)
  uint64_t functor;
  const StringList* items;
};

// field = df(control id, item, errorprompt); val = dv(control id, item_val).
struct Field {
  uint64_t functor;  // 1
  int32_t id;
  const Tagged* item;
  const Tagged* prompt;
};
struct Val {
  uint64_t functor;  // 1
  int32_t id;
  const Tagged* value;
};
struct FieldList {
  uint64_t functor;
  const Field* head;
  const FieldList* tail;
  bool Empty() const { return (functor & 0xFF) == 2; }
};
struct ValList {
  uint64_t functor;
  const Val* head;
  const ValList* tail;
  bool Empty() const { return (functor & 0xFF) == 2; }
};
// enable(control id, flag) 1 | show(control id, flag) 2.
struct Enable {
  uint64_t functor;
  int32_t id;
  int32_t flag;
};
struct EnableList {
  uint64_t functor;
  const Enable* head;
  const EnableList* tail;
  bool Empty() const { return (functor & 0xFF) == 2; }
};

// The three list items keep their item list in the first argument.
static_assert(offsetof(KListBox, items) == offsetof(KListButton, items) &&
              offsetof(KListBox, items) == offsetof(KListEdit, items));

template <class S>
const S& As(const Tagged* t) {
  return *reinterpret_cast<const S*>(t);
}

}  // namespace dlg

namespace domains {
extern T::RIntegralDomain integer32;
extern T::RCompoundDomain integer_list, controlid_list, dint, dlong, dreal, str_prop, str_props,
    int_prop, int_props, long_prop, long_props, real_prop, real_props, errorprompt, item, field,
    field_list, item_val, val, val_list, enable, enable_list;
}  // namespace domains

// The class-wide store: ten ordered collections and the validation mark.
// Entries are added at the end (titles at the front), walks go in insertion
// order, a removal takes out the first equal entry (or every match where
// the name says so).  Removals during a walk are safe.
namespace dlgstore {

using Window = LONG_PTR;

// Heap copies of terms (deep), for the store and for callers that keep them.
const dlg::Field* KeepField(const dlg::Field* f);
const dlg::Val* KeepVal(const dlg::Val* v);
const dlg::FieldList* KeepFields(const dlg::FieldList* l);

// 1 modeless_info
void AddModeless(Window w, const dlg::FieldList* fields, int32_t kind);
bool Modeless(Window w, const dlg::FieldList** fields, int32_t* kind);
void RemoveModeless(Window w);
// 2 modal_info
void AddModal(Window w, const dlg::FieldList* fields);
bool Modal(Window w, const dlg::FieldList** fields);
void RemoveModal(Window w);
// 3 dialog_user_back_func
void AddUserHandler(Window w, const QEL_KWI::PROLOG_EHANDLER_STRUCT* h);
const QEL_KWI::PROLOG_EHANDLER_STRUCT* UserHandler(Window w);
bool RemoveUserHandler(Window w, const QEL_KWI::PROLOG_EHANDLER_STRUCT* h);
// 4 win_dlg_field
void AddField(Window w, const dlg::Field* f);
// Each field of the window in order; the callback returns false to stop.
template <class F>
void EachField(Window w, F&& f);
const dlg::Field* FirstField(Window w, int32_t id);
const dlg::Field* FirstFieldOfKind(Window w, int32_t id, dlg::Kind kind);
// Every field of the window as a new list on the global stack.
const dlg::FieldList* Fields(Window w);
bool RemoveField(Window w, const dlg::Field* f);
// 5 win_dlg_val
void AddVal(Window w, const dlg::Val* v);
void AddVal(Window w, int32_t id, const dlg::Tagged* value);
template <class F>
void EachVal(Window w, F&& f);
const dlg::Tagged* FirstVal(Window w, int32_t id);
const dlg::Tagged* FirstValOfKind(Window w, int32_t id, dlg::Kind kind);
const dlg::ValList* Vals(Window w);
bool RemoveVal(Window w, const dlg::Val* v);
// Every value of (w, id) with that alternative; the first one only.
void RemoveValsOfKind(Window w, int32_t id, dlg::Kind kind);
bool RemoveFirstValOfKind(Window w, int32_t id, dlg::Kind kind, const dlg::Tagged** removed);
// 6 dlg_result
void AddResult(Window w, int32_t result);
bool HasResult(Window w, int32_t result);
bool Result(Window w, int32_t* result);
// 7 first_item_text
void AddFirstItemMarker(Window w, int32_t value);
bool FirstItemMarker(Window w, int32_t* value);
bool RemoveFirstItemMarker(Window w, int32_t value);
// 8 disable_ok_button
void SetOkDecision(Window w, int32_t enable);  // replaces every entry of w
bool OkDecision(Window w, int32_t* enable);
// 9 ignore_event
void AddIgnoreEvent(Window w);
bool IgnoresEvents(Window w);
bool RemoveIgnoreEvent(Window w);
// 10 dlg_user_title (front insertion)
void AddTitle(const wchar_t* title);
const wchar_t* FirstTitle();
bool RemoveTitle(const wchar_t* title);
// Every entry of the window, in each per-window collection (clean-up).
void RemoveWindow(Window w);
// Per-window removals of the writers and of initialisation.
void RemoveVals(Window w, int32_t id);
void RemoveAllVals(Window w);
void RemoveFieldsOf(Window w, int32_t id);
void RemoveAllFields(Window w);
void RemoveFirstItemMarkers(Window w);
void RemoveUserHandlers(Window w);
// Each user handler of the window, oldest first (a snapshot: handlers may
// change the store).
const QEL_KWI::PROLOG_EHANDLER_STRUCT* const* UserHandlers(Window w, uint32_t* count);

// Hand-over entries of one creation request.  The Add functions give the
// cell they appended; Take moves the oldest hand-over entry of its kind to
// `w` and records `w` as its taker; Withdraw unlinks a cell that has not
// been taken or removed, so a request that ends without its creation event
// leaves nothing under 0.
struct Cell;
Cell* AddPendingUserHandler(const QEL_KWI::PROLOG_EHANDLER_STRUCT* h);
Cell* AddPendingModal(const dlg::FieldList* fields);
Cell* AddPendingModeless(const dlg::FieldList* fields, int32_t kind);
Cell* AddPendingTitle(const wchar_t* title);
const QEL_KWI::PROLOG_EHANDLER_STRUCT* TakeUserHandler(Window w);
bool TakeModal(Window w);
bool TakeModeless(Window w, const dlg::FieldList** fields, int32_t* kind);
void Withdraw(Cell* c);
Window TakerOf(const Cell* c);
// Entries of all kinds held for the window (0: the hand-over entries); the
// title collection counts under 0.
uint32_t CountEntries(Window w);
// validate_flag
void SetValidating();
bool Validating();
void ClearValidating();

// Generic walk support for the templates above.
struct Cell {
  Window window;
  const void* term;  // heap copy, or null for number facts
  int32_t number;
  bool removed;  // unlinked; a walk standing on it goes on through `next`
  Cell* next;
  Window taker;  // a hand-over entry: the window that took it
};
Cell* FieldCells();
Cell* ValCells();

}  // namespace dlgstore

class kwiDialog {
 public:
  static const ClassInfo classInfo;
  static const ExceptionDescriptor unregisteredidentifier;
  using Window = LONG_PTR;
  using Handler = QEL_KWI::PROLOG_EHANDLER_STRUCT;

  // --- Creation (the modal creators return the null window) ---
  static Window createModal(Window parent, uint32_t resourceId, const wchar_t* title,
                            const dlg::FieldList* fields, const Handler* handler, LONG_PTR data,
                            const dlg::ValList** values, int32_t* code);
  static Window createModeless(Window parent, uint32_t resourceId, const wchar_t* title,
                               const dlg::FieldList* fields, const Handler* handler, LONG_PTR data);
  static Window createAsWindow(Window parent, QEL_KWI::windef_list_struct* list,
                               const wchar_t* title, const dlg::FieldList* fields,
                               const Handler* handler, LONG_PTR data, Window* dialog);
  static Window create(Window parent, QEL_KWI::windef_list_struct* list,
                       const dlg::FieldList* fields, const Handler* handler, LONG_PTR data,
                       const dlg::ValList** values, int32_t* code);

  // --- Operations on an open dialog ---
  static void setFields(Window dialog, const dlg::FieldList* fields);
  static void setValues(Window dialog, const dlg::ValList* values);
  static void setState(Window dialog, const dlg::EnableList* states);
  static const dlg::ValList* getValues(Window dialog);
  static const dlg::Tagged* getValue(Window dialog, int32_t id);
  static void setControlTitle(Window dialog, int32_t id, const wchar_t* title);
  // False (fails) when a field does not pass.
  static bool checkEditProperties(Window dialog);
  static bool checkEditProperties(Window dialog, int32_t id);
  static void _classinfo(const wchar_t** name, const wchar_t** version);
  static void _unregisteredidentifier(const ClassInfo** info, const wchar_t** name,
                                      const wchar_t** description);
  static LONG_PTR _nohandler(Window window, QEL_KWI::event_struct* e);

  // --- Typed accessors: vlget over a value list, get over the held value,
  // set through setValues.  Optional numbers are dint/dlong/dreal terms.
  static int32_t vlgetcheck(int32_t id, const dlg::ValList* values);
  static int32_t vlgetradiobutton(int32_t id, const dlg::ValList* values);
  static const wchar_t* vlgetstr(int32_t id, const dlg::ValList* values);
  static const dlg::Tagged* vlgetint(int32_t id, const dlg::ValList* values);
  static const dlg::Tagged* vlgetlong(int32_t id, const dlg::ValList* values);
  static const dlg::Tagged* vlgetreal(int32_t id, const dlg::ValList* values);
  static void vlgetlistbox(int32_t id, const dlg::ValList* values, const StringList** items,
                           const dlg::IntList** selection);
  static void vlgetlistbutton(int32_t id, const dlg::ValList* values, const wchar_t** text,
                              int32_t* index);
  static const wchar_t* vlgetlistedit(int32_t id, const dlg::ValList* values);
  static int32_t vlgetscrollbar(int32_t id, const dlg::ValList* values);
  static void vlgetcustom(int32_t id, const dlg::ValList* values, const wchar_t** text,
                          int32_t* value);
  static const wchar_t* vlgetdatafield(int32_t id, const dlg::ValList* values);
  static const StringList* vlgetalllist(int32_t id, const dlg::ValList* values);
  static int32_t getcheck(Window dialog, int32_t id);
  static int32_t getradiobutton(Window dialog, int32_t id);
  static const wchar_t* getstr(Window dialog, int32_t id);
  static const dlg::Tagged* getint(Window dialog, int32_t id);
  static const dlg::Tagged* getlong(Window dialog, int32_t id);
  static const dlg::Tagged* getreal(Window dialog, int32_t id);
  static void getlistbox(Window dialog, int32_t id, const StringList** items,
                         const dlg::IntList** selection);
  static void getlistbutton(Window dialog, int32_t id, const wchar_t** text, int32_t* index);
  static const wchar_t* getlistedit(Window dialog, int32_t id);
  static int32_t getscrollbar(Window dialog, int32_t id);
  static void getcustom(Window dialog, int32_t id, const wchar_t** text, int32_t* value);
  static const wchar_t* getdatafield(Window dialog, int32_t id);
  static void setcheck(Window dialog, int32_t id, int32_t state);
  static void setradiobutton(Window dialog, int32_t id, int32_t chosen);
  static void setstr(Window dialog, int32_t id, const wchar_t* text);
  static void setint(Window dialog, int32_t id, const dlg::Tagged* value);
  static void setlong(Window dialog, int32_t id, const dlg::Tagged* value);
  static void setreal(Window dialog, int32_t id, const dlg::Tagged* value);
  static void setlistbox(Window dialog, int32_t id, const dlg::IntList* selection);
  static void setlistbutton(Window dialog, int32_t id, int32_t index);
  static void setlistedit(Window dialog, int32_t id, const wchar_t* text);
  static void setscrollbar(Window dialog, int32_t id, int32_t position);
  static void setcustom(Window dialog, int32_t id, const wchar_t* text, int32_t value);
  static void setdatafield(Window dialog, int32_t id, const wchar_t* text);

  // --- Lifecycle ---
  static bool is_modal_dlg(const QEL_KWI::windef_list_struct* list);
  static bool is_modeless_dlg(const QEL_KWI::windef_list_struct* list);
  static Window dialog_create1(Window parent, QEL_KWI::windef_list_struct* list, LONG_PTR data);
  // False (fails) when no hand-over entry or no user handler is there.
  static bool run_create(Window dialog, LONG_PTR data);
  static void run_safe_create(Window dialog, LONG_PTR data);
  static void init_fields(Window dialog, const dlg::FieldList* fields);
  static void init_field(Window dialog, int32_t id, const dlg::Tagged* item);
  static void get_modal_results(Window dialog, const dlg::ValList** values, int32_t* code);
  static void clean_up(Window dialog);

  // --- Window definitions and geometry ---
  static QEL_KWI::windef_list_struct* getdlgwindef(QEL_KWI::windef_list_struct* list);
  static QEL_KWI::ilist_struct* getWindowStyleFlags(const QEL_KWI::windef_list_struct* list);
  static QEL_KWI::rect_struct* gettoplevelrect(const QEL_KWI::windef_list_struct* list);
  static QEL_KWI::wdef* setmodeless(const QEL_KWI::wdef* d);
  static QEL_KWI::windef_list_struct* getChildDlgWinDefList(
      const QEL_KWI::windef_list_struct* list);
  static void resizetoplevelwindow(Window top, Window dialog, QEL_KWI::ilist_struct* flags);
  static void destroyinternaltoplevel(Window dialog);
  static void set_dialog_title(Window dialog);

  // --- Event handling: the class's handler closures ---
  static Handler* dialogHandler();  // {_dialog_event_handler, no object}
  static Handler* windowHandler();  // {_windlg_eh, no object}
  static LONG_PTR _dialog_event_handler(Window window, QEL_KWI::event_struct* e);
  static LONG_PTR _int_dialog_event(Window window, QEL_KWI::event_struct* e);
  static LONG_PTR _windlg_eh(Window window, QEL_KWI::event_struct* e);
  // False (fails) when the window has neither modal nor modeless information.
  static bool dialog_callback2(Window window, QEL_KWI::event_struct* e);
  static void modal_dialog_event(Window window, QEL_KWI::event_struct* e);
  static void modeless_dialog_event(Window window, QEL_KWI::event_struct* e);
  // The callbacks answer 0 (close) or 1 (stay open); false while events are ignored.
  static bool modal_dialog_callback(Window window, int32_t id, int32_t type,
                                    const QEL_KWI::controlinfo* info, int32_t* result);
  static bool modeless_dialog_callback(Window window, int32_t id, int32_t type,
                                       const QEL_KWI::controlinfo* info, int32_t* result);
  static int32_t modal_dlg_ok(Window window);
  static bool modeless_dlg_ok(Window window);  // false: validation failed
  static void user_dialog_control(Window window, int32_t id, int32_t type,
                                  const QEL_KWI::controlinfo* info);
  // Null (fails) when the control has no item.
  static const dlg::Tagged* get_item(Window window, int32_t id, int32_t type);
  static bool call_field(Window window, int32_t id, const dlg::Tagged* item,
                         const QEL_KWI::controlinfo* info);

  // --- Writing values and control state ---
  static void set_field_values(Window dialog, const dlg::FieldList* fields);
  static void init_val(Window dialog, const dlg::Val* v);
  static void set_field_vals(Window dialog, const dlg::ValList* values);
  static const dlg::IntList* get_check_types();
  static int32_t get_enable_flag(int32_t flag);
  static int32_t get_show_flag(int32_t flag);
  static void change_state_edit(Window dialog, Window control);
  static int32_t toggle_state(Window control, int32_t current);
  static void click_chk_box(Window dialog, int32_t id, int32_t current);
  static void click_radio_button(Window dialog, int32_t clicked, const dlg::IntList* group);
  static void read_current_values(Window dialog);
  static const dlg::ValList* get_dlg_values(Window dialog);
  static const dlg::Val* format_item(Window dialog, const dlg::Val* v);

  // --- Reading controls into held values ---
  static void read_current1(Window dialog, const dlg::FieldList* fields);
  static void read_current2(Window dialog, int32_t id, const dlg::Tagged* item,
                            const QEL_KWI::controlinfo* info);
  static void read_edit_field(Window dialog, int32_t id);
  static void read_listedit(Window dialog, int32_t id, const QEL_KWI::controlinfo* info);
  static bool read_list_control(Window dialog, int32_t id, const wchar_t* kind);
  static bool save_list_control(const wchar_t* kind, Window dialog, int32_t id,
                                const StringList* strings, const dlg::IntList* indexes);
  static bool read_and_set_scrollbar(Window dialog, int32_t id, int32_t line, int32_t page,
                                     int32_t code, int32_t position);
  static void scroll_bar_inc(Window dialog, int32_t id, int32_t step);
  static int32_t dlg_max(int32_t value, int32_t limit);
  static int32_t dlg_min(int32_t value, int32_t limit);
  static const dlg::IntList* id_l_to_win_l(Window dialog, const dlg::IntList* ids);
  // Null (fails) when the control is not a list kind.
  static const StringList* init_list_control(Window dialog, Window control,
                                             const StringList* items, const dlg::IntList* indexes,
                                             int32_t rank);
  static const StringList* get_lbox_items(Window control, const dlg::IntList* indexes);
  static void unselect_lbox_items(Window dialog, int32_t id, Window control);
  static bool unselect_lbox_item(Window control, const dlg::IntList* indexes);
  static void unselect_lbox_item1(Window control, const dlg::IntList* indexes);
  static void select_if_first(Window dialog, Window control, int32_t rank);
  // Null (fails) for a value that is not an edit value or a conversion error.
  static const wchar_t* get_text_rep(const dlg::Tagged* item, const dlg::Tagged* value);

  // --- Validation ---
  static bool simple_validation(Window dialog);
  static bool simple_validation(Window dialog, int32_t id);  // the one-control pass
  static bool simple_validate_fields(Window dialog, const dlg::FieldList* fields, bool oneControl,
                                     int32_t* id);
  static bool simple_validate_field(Window dialog, int32_t id, const dlg::Tagged* item,
                                    const dlg::Tagged* prompt);
  static bool simple_validate_field1(Window dialog, int32_t id, const wchar_t* text,
                                     const dlg::Tagged* item, const dlg::Tagged* prompt);
  static bool simple_validate_str(Window dialog, int32_t id, const wchar_t* text,
                                  const dlg::PropList* props, const dlg::Tagged* prompt);
  static bool simple_validate_int(Window dialog, int32_t id, const wchar_t* text,
                                  const dlg::PropList* props, const dlg::Tagged* prompt);
  static bool simple_validate_long(Window dialog, int32_t id, const wchar_t* text,
                                   const dlg::PropList* props, const dlg::Tagged* prompt);
  static bool simple_validate_real(Window dialog, int32_t id, const wchar_t* text,
                                   const dlg::PropList* props, const dlg::Tagged* prompt);
  // The first `default` of the property list of an edit item of `kind`;
  // false (fails) when there is none.
  static bool get_default(dlg::Kind kind, const dlg::PropList* props, const dlg::Tagged** property);
  static void show_formatted_error(Window dialog, int32_t id, const wchar_t* templ,
                                   const dlg::Tagged* prompt, const wchar_t* detail);
  static const wchar_t* get_prompt_text(Window dialog, const dlg::Tagged* prompt,
                                        const wchar_t* templ, const wchar_t* detail);

  // --- OK button and limits ---
  static void enable_ok_button(Window dialog);
  static bool enable_ok_button1(Window dialog, const dlg::Tagged* item);
  static bool is_exist_mandatory(const dlg::PropList* props);
  static bool lock_large_length(const dlg::PropList* props, const wchar_t* text, Window control);
  static int32_t shrt_max(Window window);
  static void safe_setfocus(Window window);
  // Discards the trapped error `code`; the caller then fails.
  static void clear_and_fail(uint32_t code);

  // --- Formatting ---
  static const dlg::Tagged* format_item1(const dlg::Tagged* item, const dlg::Tagged* value);
  static const wchar_t* format_str(const dlg::PropList* props, const wchar_t* text);
  static const wchar_t* format_str1(const dlg::Tagged* prop, const wchar_t* text);
  static const dlg::ValList* format_items(Window dialog, const dlg::ValList* values);
  static const dlg::ValList* format_fields(const dlg::FieldList* fields, const dlg::ValList* tail);
  static const dlg::ValList* get_modal_results1(int32_t result, Window dialog);
  // The held values of the window formatted, after the `alllist` entries.
  static const dlg::ValList* get_results(Window dialog);

 private:
  static Window createFromResource(Window parent, uint32_t resourceId, int32_t type,
                                   const wchar_t* title, const dlg::FieldList* fields,
                                   const Handler* handler, LONG_PTR data,
                                   const dlg::ValList** values, int32_t* code);
  static LONG_PTR modal_create_event(Window window, QEL_KWI::event_struct* e);
  static void show_default(Window window, int32_t id);
  static const dlg::Tagged* vlget(int32_t id, const dlg::ValList* values, dlg::Kind kind,
                                  uint64_t also = 0);
  static const dlg::Tagged* get(Window dialog, int32_t id, dlg::Kind kind);
  static void set(Window dialog, int32_t id, const dlg::Tagged* value);
};

// --- Template bodies ---

namespace dlgstore {
template <class F>
void EachField(Window w, F&& f) {
  for (Cell* c = FieldCells(); c; c = c->next)
    if (!c->removed && c->window == w && !f(static_cast<const dlg::Field*>(c->term))) return;
}
template <class F>
void EachVal(Window w, F&& f) {
  for (Cell* c = ValCells(); c; c = c->next)
    if (!c->removed && c->window == w && !f(static_cast<const dlg::Val*>(c->term))) return;
}
}  // namespace dlgstore

}  // namespace tav
