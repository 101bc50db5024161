// Writing fields and values into a dialog's controls and keeping the held
// values in step: installing fields, the first value of each field, one
// value by its kind's rule (else the edit rule, else an "Illegal Value!"
// box that stores nothing), enable and show flags, clicks on check boxes
// and radio buttons, and the entry points that read values back.  A writer
// removes the control's held values before it appends the new one (only
// those of its own kind for radio groups, data fields and clicks); the list
// kinds change the control first.  A control the dialog lacks raises the
// GUI layer's 6316; only custom and data-field values look up no control.
#include "exception/exception.h"
#include "kwi/kwi.h"
#include "kwi/kwiDialog/kwiDialog_terms.h"
#include "kwi/kwicommondialogs.h"
#include "string/string.h"

namespace tav {

using namespace QEL_KWI;
using namespace dlgterms;
namespace st = dlgstore;

namespace {

[[noreturn]] void Internal(const wchar_t* predicate) {
  TAV_AT();
  T::TEllipsisArgs<0> none;
  common_exception::raise_error(&kwiDialog::classInfo, predicate, none);
}

// "<sentence> <term text>" in an "Error" box; the sentence alone when the
// text form cannot be made.
template <class R>
void ReportTerm(const wchar_t* sentence, R& domain, const void* t) {
  const wchar_t* volatile message = nullptr;
  Trapped([&] {
    T::TEllipsisArgs<2> args;
    args.SetTerm(0, D(domains::string), sentence);
    args.SetTerm(1, D(domains::string), T::ToString(D(domain), static_cast<term>(t)));
    message = string::format(L"% %", args);
  });
  kwiCommonDialogs::error(message ? message : sentence);
}

bool TypeIs(LONG_PTR control, std::initializer_list<int> types) {
  const int type = win_GetType(control);
  for (int t : types)
    if (t == type) return true;
  return false;
}

void Store(LONG_PTR dialog, int32_t id, const Tagged* value) {
  st::RemoveVals(dialog, id);
  st::AddVal(dialog, id, value);
}

// A radio-group field of the dialog whose first control id is `id`.
const KRadios* GroupHeadedBy(LONG_PTR dialog, int32_t id) {
  const KRadios* found = nullptr;
  st::EachField(dialog, [&](const Field* f) {
    if (f->item->functor != k_radiobuttongroup) return true;
    const KRadios& g = As<KRadios>(f->item);
    if (g.ids->Empty() || g.ids->head != id) return true;
    found = &g;
    return false;
  });
  return found;
}

// The kind rules of init_val; false when V's rule does not apply.
bool WriteByKind(LONG_PTR dialog, int32_t id, const Tagged* v) {
  switch (v->functor) {
    case k_statictext:
    case k_pushbutton: {
      const LONG_PTR control = win_GetCtlHandle(dialog, id);
      const bool fits = v->functor == k_pushbutton ? TypeIs(control, {wt_pushbutton})
                                                   : TypeIs(control, {wt_text, wt_groupbox});
      if (!fits) return false;
      Store(dialog, id, v);
      win_SetText(control, As<KText>(v).text);
      return true;
    }
    case k_checkbox: {
      const LONG_PTR control = win_GetCtlHandle(dialog, id);
      if (!TypeIs(control, {wt_checkbox})) return false;
      Store(dialog, id, v);
      win_Check(control, As<KInt>(v).value);
      return true;
    }
    case k_scrollbar: {
      const LONG_PTR control = win_GetCtlHandle(dialog, id);
      if (!TypeIs(control, {wt_hscroll, wt_vscroll})) return false;
      Store(dialog, id, v);
      win_SetScrollPos(control, 2, As<KInt>(v).value);
      return true;
    }
    case k_radiobuttongroup: {
      const LONG_PTR control = win_GetCtlHandle(dialog, As<KInt>(v).value);
      const KRadios* group = TypeIs(control, {wt_radiobutton}) ? GroupHeadedBy(dialog, id) : nullptr;
      if (!group) return false;
      st::RemoveValsOfKind(dialog, id, k_radiobuttongroup);
      st::AddVal(dialog, id, v);
      const IntList* controls = kwiDialog::id_l_to_win_l(dialog, group->ids);
      win_CheckRadioButton(control, const_cast<winlist_struct*>(
                                        reinterpret_cast<const winlist_struct*>(controls)));
      kwiDialog::select_if_first(dialog, control, 1);
      return true;
    }
    case k_alllist: {
      const LONG_PTR control = win_GetCtlHandle(dialog, id);
      return kwiDialog::init_list_control(dialog, control, As<KAllList>(v).items,
                                          FromLayer(kwidomains::Ints({})), -1) != nullptr;
    }
    case k_listbox: {
      const LONG_PTR control = win_GetCtlHandle(dialog, id);
      if (!TypeIs(control, {wt_listbox})) return false;
      kwiDialog::unselect_lbox_items(dialog, id, control);
      const IntList* selection = As<KListBox>(v).indexes;
      const StringList* texts = kwiDialog::get_lbox_items(control, selection);
      Store(dialog, id, Tag(New(KListBox{k_listbox, texts, selection})));
      return true;
    }
    case k_listbutton: {
      const LONG_PTR control = win_GetCtlHandle(dialog, id);
      if (!TypeIs(control, {wt_listbutton})) return false;
      const int32_t index = As<KListButtonVal>(v).index;
      lbox_SetSel(control, index, 1);
      const wchar_t* text = lbox_GetItem(control, index);
      Store(dialog, id, Tag(New(KListButtonVal{k_listbutton, text, index})));
      return true;
    }
    case k_listedit: {
      const LONG_PTR control = win_GetCtlHandle(dialog, id);
      if (!TypeIs(control, {wt_listedit})) return false;
      win_SetText(control, As<KText>(v).text);
      Store(dialog, id, v);
      return true;
    }
    case k_custom: Store(dialog, id, v); return true;
    case k_datafield:
      st::RemoveValsOfKind(dialog, id, k_datafield);
      st::AddVal(dialog, id, v);
      return true;
    default: return false;
  }
}

// The edit rule: the text the first fitting field prescribes, held as editstr.
bool WriteEdit(LONG_PTR dialog, int32_t id, const Tagged* v) {
  const LONG_PTR control = win_GetCtlHandle(dialog, id);
  if (!TypeIs(control, {wt_edit})) return false;
  const wchar_t* text = nullptr;
  st::EachField(dialog, [&](const Field* f) {
    if (f->id == id) text = kwiDialog::get_text_rep(f->item, v);
    return text == nullptr;
  });
  if (!text) return false;
  Store(dialog, id, TextValue(k_editstr, text));
  kwiDialog::enable_ok_button(dialog);
  win_SetText(control, text);
  kwiDialog::select_if_first(dialog, control, 0);
  return true;
}

const Tagged* Optional(Kind kind, const Tagged* number) { return Tag(New(KOpt{kind, number})); }

void IllegalField(const Tagged* item) { ReportTerm(L"Illegal FIELD variant.", domains::item, item); }

// A list field's control filled; null (an illegal field) when it is no list.
const StringList* FillList(LONG_PTR dialog, int32_t id, const StringList* items,
                           const IntList* selection, int32_t rank) {
  return kwiDialog::init_list_control(dialog, win_GetCtlHandle(dialog, id), items, selection, rank);
}

}  // namespace

void kwiDialog::init_fields(Window dialog, const FieldList* fields) {
  st::RemoveAllVals(dialog);
  st::RemoveAllFields(dialog);
  set_field_values(dialog, fields);
}

void kwiDialog::set_field_values(Window dialog, const FieldList* fields) {
  for (const FieldList* l = fields; !l->Empty(); l = l->tail) {
    st::RemoveFieldsOf(dialog, l->head->id);
    st::AddField(dialog, l->head);
    init_field(dialog, l->head->id, l->head->item);
  }
}

void kwiDialog::init_field(Window dialog, int32_t id, const Tagged* item) {
  auto record = [&](const Tagged* v) { init_val(dialog, New(Val{1, id, v})); };
  switch (item->functor) {
    case k_checkbox: record(IntValue(k_checkbox, As<KInt>(item).value)); return;
    case k_radiobuttongroup: {
      const IntList* ids = As<KRadios>(item).ids;
      if (ids->Empty()) return IllegalField(item);
      init_val(dialog, New(Val{1, static_cast<int32_t>(ids->head), IntValue(k_radiobuttongroup, id)}));
      return;
    }
    case k_pushbutton:
    case k_statictext:
    case k_datafield: record(TextValue(static_cast<Kind>(item->functor), As<KText>(item).text)); return;
    case k_editstr: record(TextValue(k_editstr, As<KEditStr>(item).text)); return;
    case k_editint:
    case k_editlong:
    case k_editreal:
      record(Optional(static_cast<Kind>(item->functor), As<KEditNum>(item).value));
      return;
    case k_custom: record(item); return;
    case k_scrollbar: {
      const KScroll& s = As<KScroll>(item);
      win_SetScrollRange(win_GetCtlHandle(dialog, id), 2, s.minimum, s.maximum);
      record(IntValue(k_scrollbar, s.position));
      return;
    }
    case k_listbox: {
      const KListBox& b = As<KListBox>(item);
      const StringList* texts = FillList(dialog, id, b.items, b.indexes, 3);
      if (!texts) return IllegalField(item);
      Store(dialog, id, Tag(New(KListBox{k_listbox, texts, b.indexes})));
      return;
    }
    case k_listbutton: {
      const KListButton& b = As<KListButton>(item);
      const StringList* texts =
          FillList(dialog, id, b.items, FromLayer(kwidomains::Ints({b.index})), 2);
      if (!texts) return IllegalField(item);
      Store(dialog, id, Tag(New(KListButtonVal{k_listbutton, texts->Empty() ? L"" : texts->head,
                                               b.index})));
      return;
    }
    case k_listedit: {
      const KListEdit& e = As<KListEdit>(item);
      if (!FillList(dialog, id, e.items, FromLayer(kwidomains::Ints({})), 4))
        return IllegalField(item);
      win_SetText(win_GetCtlHandle(dialog, id), e.text);
      Store(dialog, id, TextValue(k_listedit, e.text));
      return;
    }
    default: IllegalField(item);
  }
}

void kwiDialog::init_val(Window dialog, const Val* v) {
  if (WriteByKind(dialog, v->id, v->value) || WriteEdit(dialog, v->id, v->value)) return;
  ReportTerm(L"Illegal Value!", domains::item_val, v->value);
}

void kwiDialog::set_field_vals(Window dialog, const ValList* values) {
  for (const ValList* l = values; !l->Empty(); l = l->tail) init_val(dialog, l->head);
}

const dlg::IntList* kwiDialog::get_check_types() {
  return FromLayer(kwidomains::Ints({wt_checkbox, wt_radiobutton}));
}
int32_t kwiDialog::get_enable_flag(int32_t flag) { return flag == 1 ? 13 : 12; }
int32_t kwiDialog::get_show_flag(int32_t flag) { return flag == 1 ? 10 : 11; }

void kwiDialog::change_state_edit(Window dialog, Window control) {
  if (win_GetType(control) == wt_edit) enable_ok_button(dialog);
}

int32_t kwiDialog::toggle_state(Window control, int32_t current) {
  if (HasState(control, 50)) return current == 2 ? 0 : current + 1;
  return 1 - current;
}

void kwiDialog::click_chk_box(Window dialog, int32_t id, int32_t current) {
  const LONG_PTR control = win_GetCtlHandle(dialog, id);
  const int32_t state = toggle_state(control, current);
  st::RemoveValsOfKind(dialog, id, k_checkbox);
  st::AddVal(dialog, id, IntValue(k_checkbox, state));
  win_Check(control, state);
}

void kwiDialog::click_radio_button(Window dialog, int32_t clicked, const IntList* group) {
  if (group->Empty()) Internal(L"click_radio_button");
  const auto first = static_cast<int32_t>(group->head);
  st::RemoveValsOfKind(dialog, first, k_radiobuttongroup);
  st::AddVal(dialog, first, IntValue(k_radiobuttongroup, clicked));
  const IntList* controls = id_l_to_win_l(dialog, group);
  win_CheckRadioButton(win_GetCtlHandle(dialog, clicked),
                       const_cast<winlist_struct*>(reinterpret_cast<const winlist_struct*>(controls)));
}

void kwiDialog::read_current_values(Window dialog) {
  K::Succeeds([&] { read_current1(dialog, st::Fields(dialog)); });
}

const ValList* kwiDialog::get_dlg_values(Window dialog) { return get_results(dialog); }

const Val* kwiDialog::format_item(Window dialog, const Val* v) {
  const Field* f = st::FirstField(dialog, v->id);
  if (!f) return v;
  return New(Val{1, v->id, format_item1(f->item, v->value)});
}

}  // namespace tav
