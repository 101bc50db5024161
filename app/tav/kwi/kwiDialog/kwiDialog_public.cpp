// kwiDialog's public operations on an open dialog and its typed accessors.
// Writes run shielded (their own control events reach neither the class
// nor the program); reads of one value take the held value, never the
// control.  Each accessor family is one search with the kind as argument;
// a value that is missing or of another kind raises
// `unregisteredidentifier` with the control id's digits.
#include "exception/exception.h"
#include "kwi/kwi.h"
#include "kwi/kwiDialog/kwiDialog_terms.h"

namespace tav {

using namespace QEL_KWI;
using namespace dlgterms;
namespace st = dlgstore;

const ClassInfo kwiDialog::classInfo{L"com/corvane/kwi/dialog/kwiDialog", TAV_CLASS_VERSION};
const ExceptionDescriptor kwiDialog::unregisteredidentifier{
    &kwiDialog::classInfo, L"unregisteredidentifier",
    L"Control identifier is not registered for dialog package."};

namespace {

template <class R>
[[noreturn]] void RaiseUnregistered(R& domain, const void* t) {
  const wchar_t* text = T::ToString(D(domain), static_cast<term>(t));
  TAV_AT();
  exception::raise(&kwiDialog::classInfo, &kwiDialog::unregisteredidentifier,
                   Values({{L"parameter", value::string(text)}}));
}

[[noreturn]] void RaiseUnregistered(int32_t id) { RaiseUnregistered(domains::integer, &id); }

const ValList* One(int32_t id, const Tagged* value) {
  return New(ValList{1, New(Val{1, id, value}), New(ValList{2, nullptr, nullptr})});
}

}  // namespace

void kwiDialog::_classinfo(const wchar_t** name, const wchar_t** version) {
  *name = classInfo.name;
  *version = classInfo.version;
}

void kwiDialog::_unregisteredidentifier(const ClassInfo** info, const wchar_t** name,
                                        const wchar_t** description) {
  *info = &classInfo;
  *name = unregisteredidentifier.name;
  *description = unregisteredidentifier.description;
}

LONG_PTR kwiDialog::_nohandler(Window, event_struct*) { K::Fail(); }

void kwiDialog::setFields(Window window, const FieldList* fields) {
  Shielded(window, [&] { set_field_values(window, fields); });
}

void kwiDialog::setValues(Window window, const ValList* values) {
  Shielded(window, [&] { set_field_vals(window, values); });
}

void kwiDialog::setState(Window window, const EnableList* states) {
  for (const EnableList* l = states; !l->Empty(); l = l->tail) {
    const Enable& entry = *l->head;
    const bool applied = K::Succeeds([&] {
      const LONG_PTR control = win_GetCtlHandle(window, entry.id);
      const int32_t flag = entry.functor == 1 ? get_enable_flag(entry.flag) : get_show_flag(entry.flag);
      win_SetState(control, kwidomains::Ints({flag}));
      change_state_edit(window, control);
    });
    if (!applied) RaiseUnregistered(domains::enable_list, l);
  }
}

const ValList* kwiDialog::getValues(Window window) {
  read_current_values(window);
  return get_dlg_values(window);
}

const Tagged* kwiDialog::getValue(Window window, int32_t id) {
  const Tagged* held = st::FirstVal(window, id);
  if (!held) RaiseUnregistered(id);
  return format_item(window, New(Val{1, id, held}))->value;
}

void kwiDialog::setControlTitle(Window window, int32_t id, const wchar_t* title) {
  const LONG_PTR control = win_GetCtlHandle(window, id);
  const int type = win_GetType(control);
  if (kwidomains::Contains(reinterpret_cast<const ilist_struct*>(get_check_types()), type))
    win_SetText(control, title);
  else if (type == wt_pushbutton)
    setValues(window, One(id, TextValue(k_pushbutton, title)));
  else if (type == wt_text || type == wt_groupbox)
    setValues(window, One(id, TextValue(k_statictext, title)));
}

bool kwiDialog::checkEditProperties(Window window) { return simple_validation(window); }
bool kwiDialog::checkEditProperties(Window window, int32_t id) {
  return simple_validation(window, id);
}

// --- Typed accessors ---------------------------------------------------------------

const Tagged* kwiDialog::vlget(int32_t id, const ValList* values, Kind kind, uint64_t also) {
  for (const ValList* l = values; !l->Empty(); l = l->tail) {
    const uint64_t k = l->head->value->functor;
    if (l->head->id == id && (k == kind || k == also)) return l->head->value;
  }
  RaiseUnregistered(id);
}

const Tagged* kwiDialog::get(Window window, int32_t id, Kind kind) {
  const Tagged* v = getValue(window, id);
  if (v->functor != kind) RaiseUnregistered(id);
  return v;
}

void kwiDialog::set(Window window, int32_t id, const Tagged* value) {
  setValues(window, One(id, value));
}

int32_t kwiDialog::vlgetcheck(int32_t id, const ValList* v) {
  return As<KInt>(vlget(id, v, k_checkbox)).value;
}
int32_t kwiDialog::vlgetradiobutton(int32_t id, const ValList* v) {
  return As<KInt>(vlget(id, v, k_radiobuttongroup)).value;
}
const wchar_t* kwiDialog::vlgetstr(int32_t id, const ValList* v) {
  return As<KText>(vlget(id, v, k_editstr, k_statictext)).text;
}
const Tagged* kwiDialog::vlgetint(int32_t id, const ValList* v) {
  return As<KOpt>(vlget(id, v, k_editint)).value;
}
const Tagged* kwiDialog::vlgetlong(int32_t id, const ValList* v) {
  return As<KOpt>(vlget(id, v, k_editlong)).value;
}
const Tagged* kwiDialog::vlgetreal(int32_t id, const ValList* v) {
  return As<KOpt>(vlget(id, v, k_editreal)).value;
}
void kwiDialog::vlgetlistbox(int32_t id, const ValList* v, const StringList** items,
                             const IntList** selection) {
  const KListBox& b = As<KListBox>(vlget(id, v, k_listbox));
  *items = b.items;
  *selection = b.indexes;
}
void kwiDialog::vlgetlistbutton(int32_t id, const ValList* v, const wchar_t** text,
                                int32_t* index) {
  const KListButtonVal& b = As<KListButtonVal>(vlget(id, v, k_listbutton));
  *text = b.text;
  *index = b.index;
}
const wchar_t* kwiDialog::vlgetlistedit(int32_t id, const ValList* v) {
  return As<KText>(vlget(id, v, k_listedit)).text;
}
int32_t kwiDialog::vlgetscrollbar(int32_t id, const ValList* v) {
  return As<KInt>(vlget(id, v, k_scrollbar)).value;
}
void kwiDialog::vlgetcustom(int32_t id, const ValList* v, const wchar_t** text, int32_t* value) {
  const KCustom& c = As<KCustom>(vlget(id, v, k_custom));
  *text = c.text;
  *value = c.value;
}
const wchar_t* kwiDialog::vlgetdatafield(int32_t id, const ValList* v) {
  return As<KText>(vlget(id, v, k_datafield)).text;
}
const StringList* kwiDialog::vlgetalllist(int32_t id, const ValList* v) {
  return As<KAllList>(vlget(id, v, k_alllist)).items;
}

int32_t kwiDialog::getcheck(Window w, int32_t id) {
  const Tagged* v = st::FirstValOfKind(w, id, k_checkbox);
  return v ? As<KInt>(v).value : 0;
}
int32_t kwiDialog::getradiobutton(Window w, int32_t id) {
  return As<KInt>(get(w, id, k_radiobuttongroup)).value;
}
const wchar_t* kwiDialog::getstr(Window w, int32_t id) { return As<KText>(get(w, id, k_editstr)).text; }
const Tagged* kwiDialog::getint(Window w, int32_t id) { return As<KOpt>(get(w, id, k_editint)).value; }
const Tagged* kwiDialog::getlong(Window w, int32_t id) {
  return As<KOpt>(get(w, id, k_editlong)).value;
}
const Tagged* kwiDialog::getreal(Window w, int32_t id) {
  return As<KOpt>(get(w, id, k_editreal)).value;
}
void kwiDialog::getlistbox(Window w, int32_t id, const StringList** items,
                           const IntList** selection) {
  const KListBox& b = As<KListBox>(get(w, id, k_listbox));
  *items = b.items;
  *selection = b.indexes;
}
void kwiDialog::getlistbutton(Window w, int32_t id, const wchar_t** text, int32_t* index) {
  const KListButtonVal& b = As<KListButtonVal>(get(w, id, k_listbutton));
  *text = b.text;
  *index = b.index;
}
const wchar_t* kwiDialog::getlistedit(Window w, int32_t id) {
  return As<KText>(get(w, id, k_listedit)).text;
}
int32_t kwiDialog::getscrollbar(Window w, int32_t id) {
  return As<KInt>(get(w, id, k_scrollbar)).value;
}
void kwiDialog::getcustom(Window w, int32_t id, const wchar_t** text, int32_t* value) {
  const KCustom& c = As<KCustom>(get(w, id, k_custom));
  *text = c.text;
  *value = c.value;
}
const wchar_t* kwiDialog::getdatafield(Window w, int32_t id) {
  return As<KText>(get(w, id, k_datafield)).text;
}

void kwiDialog::setcheck(Window w, int32_t id, int32_t state) { set(w, id, IntValue(k_checkbox, state)); }
void kwiDialog::setradiobutton(Window w, int32_t id, int32_t chosen) {
  set(w, id, IntValue(k_radiobuttongroup, chosen));
}
void kwiDialog::setstr(Window w, int32_t id, const wchar_t* text) {
  if (win_GetType(win_GetCtlHandle(w, id)) == wt_edit) return set(w, id, TextValue(k_editstr, text));
  setControlTitle(w, id, text);
}
void kwiDialog::setint(Window w, int32_t id, const Tagged* value) {
  set(w, id, Tag(New(KOpt{k_editint, value})));
}
void kwiDialog::setlong(Window w, int32_t id, const Tagged* value) {
  set(w, id, Tag(New(KOpt{k_editlong, value})));
}
void kwiDialog::setreal(Window w, int32_t id, const Tagged* value) {
  set(w, id, Tag(New(KOpt{k_editreal, value})));
}
void kwiDialog::setlistbox(Window w, int32_t id, const IntList* selection) {
  set(w, id, Tag(New(KListBox{k_listbox, EmptyStringList(), selection})));
}
void kwiDialog::setlistbutton(Window w, int32_t id, int32_t index) {
  set(w, id, Tag(New(KListButtonVal{k_listbutton, L"", index})));
}
void kwiDialog::setlistedit(Window w, int32_t id, const wchar_t* text) {
  set(w, id, TextValue(k_listedit, text));
}
void kwiDialog::setscrollbar(Window w, int32_t id, int32_t position) {
  set(w, id, IntValue(k_scrollbar, position));
}
void kwiDialog::setcustom(Window w, int32_t id, const wchar_t* text, int32_t value) {
  set(w, id, Tag(New(KCustom{k_custom, text, value})));
}
void kwiDialog::setdatafield(Window w, int32_t id, const wchar_t* text) {
  set(w, id, TextValue(k_datafield, text));
}

}  // namespace tav
