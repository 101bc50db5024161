// Reading controls into held values, scroll stepping, filling list controls,
// the initial focus and the text form of an edit value.  A writer of a value
// removes the control's earlier values of the same alternative before it
// appends the new one (the scroll step takes out only the first).  GUI-layer
// errors pass through, except in the text form, whose conversion errors are
// discarded; 32-bit step arithmetic raises "Integral overflow".
#include "exception/exception.h"
#include "kwi/kwi.h"
#include "kwi/kwiDialog/kwiDialog_terms.h"
#include "string/string.h"

namespace tav {

using namespace QEL_KWI;
using namespace dlgterms;
namespace st = dlgstore;

void kwiDialog::read_current1(Window dialog, const FieldList* fields) {
  for (const FieldList* l = fields; !l->Empty(); l = l->tail) {
    const controlinfo activated{ci_activated, 0, 0};
    read_current2(dialog, l->head->id, l->head->item, &activated);
  }
}

void kwiDialog::read_current2(Window dialog, int32_t id, const Tagged* item,
                              const controlinfo* info) {
  switch (item->functor) {
    case k_listbutton: read_list_control(dialog, id, L"listbutton"); break;
    case k_listedit: read_listedit(dialog, id, info); break;
    case k_listbox: read_list_control(dialog, id, L"listbox"); break;
    case k_editstr:
    case k_editint:
    case k_editlong:
    case k_editreal: read_edit_field(dialog, id); break;
    default: break;
  }
}

void kwiDialog::read_edit_field(Window dialog, int32_t id) {
  st::RemoveValsOfKind(dialog, id, k_editstr);
  const wchar_t* text = win_GetText(win_GetCtlHandle(dialog, id));
  st::AddVal(dialog, id, TextValue(k_editstr, text));
}

void kwiDialog::read_listedit(Window dialog, int32_t id, const controlinfo* info) {
  if (info->alt == ci_selchanged) {
    const LONG_PTR control = win_GetCtlHandle(dialog, id);
    volatile int index = -1;
    if (!K::Succeeds([&] { index = lbox_GetSelIndex(control); })) return;
    const wchar_t* text = lbox_GetItem(control, index);
    st::RemoveValsOfKind(dialog, id, k_listedit);
    st::AddVal(dialog, id, TextValue(k_listedit, text));
    return;
  }
  st::RemoveValsOfKind(dialog, id, k_listedit);
  const wchar_t* text = win_GetText(win_GetCtlHandle(dialog, id));
  st::AddVal(dialog, id, TextValue(k_listedit, text));
}

bool kwiDialog::read_list_control(Window dialog, int32_t id, const wchar_t* kind) {
  const LONG_PTR control = win_GetCtlHandle(dialog, id);
  if (!IsListKind(win_GetType(control))) return true;
  slist_struct* strings = nullptr;
  ilist_struct* indexes = nullptr;
  lbox_GetSel(control, &strings, &indexes);
  return save_list_control(kind, dialog, id, FromLayer(strings), FromLayer(indexes));
}

bool kwiDialog::save_list_control(const wchar_t* kind, Window dialog, int32_t id,
                                  const StringList* strings, const IntList* indexes) {
  if (wcscmp(kind, L"listbox") == 0) {
    st::RemoveValsOfKind(dialog, id, k_listbox);
    st::AddVal(dialog, id, Tag(New(KListBox{k_listbox, strings, indexes})));
    return true;
  }
  const bool one = !strings->Empty() && strings->tail->Empty() && !indexes->Empty() &&
                   indexes->tail->Empty();
  if (wcscmp(kind, L"listbutton") != 0 || !one) return false;
  st::RemoveValsOfKind(dialog, id, k_listbutton);
  st::AddVal(dialog, id,
             Tag(New(KListButtonVal{k_listbutton, strings->head,
                                    static_cast<int32_t>(indexes->head)})));
  return true;
}

bool kwiDialog::read_and_set_scrollbar(Window dialog, int32_t id, int32_t line, int32_t page,
                                       int32_t code, int32_t position) {
  switch (code) {
    case 0: return true;
    case 1: scroll_bar_inc(dialog, id, SubChecked(0, line)); return true;
    case 2: scroll_bar_inc(dialog, id, line); return true;
    case 3: scroll_bar_inc(dialog, id, SubChecked(0, page)); return true;
    case 4: scroll_bar_inc(dialog, id, page); return true;
    case 5:
      st::RemoveValsOfKind(dialog, id, k_scrollbar);
      win_SetScrollPos(win_GetCtlHandle(dialog, id), 2, position);
      st::AddVal(dialog, id, IntValue(k_scrollbar, position));
      return true;
    case 6:
      st::RemoveValsOfKind(dialog, id, k_scrollbar);
      st::AddVal(dialog, id, IntValue(k_scrollbar, position));
      return true;
    default: return false;
  }
}

void kwiDialog::scroll_bar_inc(Window dialog, int32_t id, int32_t step) {
  const Field* f = st::FirstFieldOfKind(dialog, id, k_scrollbar);
  if (!f) return;
  const Tagged* old = nullptr;
  if (!st::RemoveFirstValOfKind(dialog, id, k_scrollbar, &old)) return;
  const KScroll& bar = As<KScroll>(f->item);
  int32_t position = AddChecked(As<KInt>(old).value, step);
  position = dlg_min(dlg_max(position, bar.minimum), bar.maximum);
  win_SetScrollPos(win_GetCtlHandle(dialog, id), 2, position);
  st::AddVal(dialog, id, IntValue(k_scrollbar, position));
}

int32_t kwiDialog::dlg_max(int32_t value, int32_t limit) { return value > limit ? value : limit; }
int32_t kwiDialog::dlg_min(int32_t value, int32_t limit) { return value < limit ? value : limit; }

const IntList* kwiDialog::id_l_to_win_l(Window dialog, const IntList* ids) {
  if (ids->Empty()) return ids;
  const LONG_PTR control = win_GetCtlHandle(dialog, static_cast<int32_t>(ids->head));
  return New(IntList{1, control, id_l_to_win_l(dialog, ids->tail)});
}

const StringList* kwiDialog::init_list_control(Window dialog, Window control,
                                               const StringList* items, const IntList* indexes,
                                               int32_t rank) {
  if (!IsListKind(win_GetType(control))) return nullptr;
  lbox_Clear(control);
  lbox_Suspend(control);
  lbox_Add_1(control, -1, ToLayer(items));
  const StringList* selected = get_lbox_items(control, indexes);
  lbox_Resume(control);
  select_if_first(dialog, control, rank);
  return selected;
}

const StringList* kwiDialog::get_lbox_items(Window control, const IntList* indexes) {
  if (indexes->Empty()) return EmptyStringList();
  if (!IsListKind(win_GetType(control))) {
    TAV_AT();
    T::TEllipsisArgs<0> none;
    common_exception::raise_error(&classInfo, L"get_lbox_items", none);
  }
  const int index = static_cast<int>(indexes->head);
  lbox_SetSel(control, index, 1);
  const wchar_t* text = lbox_GetItem(control, index);
  return New(StringList{1, text, get_lbox_items(control, indexes->tail)});
}

void kwiDialog::unselect_lbox_items(Window dialog, int32_t id, Window control) {
  if (const Tagged* v = st::FirstValOfKind(dialog, id, k_listbox))
    unselect_lbox_item(control, As<KListBox>(v).indexes);
}

bool kwiDialog::unselect_lbox_item(Window control, const IntList* indexes) {
  if (!IsListKind(win_GetType(control))) return false;
  unselect_lbox_item1(control, indexes);
  return true;
}

void kwiDialog::unselect_lbox_item1(Window control, const IntList* indexes) {
  for (const IntList* l = indexes; !l->Empty(); l = l->tail)
    lbox_SetSel(control, static_cast<int>(l->head), 0);
}

void kwiDialog::select_if_first(Window dialog, Window control, int32_t rank) {
  int32_t marker = 0;
  if (!st::FirstItemMarker(dialog, &marker)) return;
  if (marker < rank) {
    st::RemoveFirstItemMarker(dialog, marker);
    safe_setfocus(control);
  } else if (rank == 0) {
    st::RemoveFirstItemMarker(dialog, marker);
    const int32_t length = shrt_max(control);
    safe_setfocus(control);
    win_SelectText(control, 0, length);
  }
}

namespace {

// ToString of a scalar under a trap; null after a discarded error.
template <class V>
const wchar_t* TextOf(const IDomainDefinition* d, V value) {
  const wchar_t* volatile text = nullptr;
  if (!Trapped([&] { text = T::ToString(d, reinterpret_cast<term>(&value)); })) return nullptr;
  return text;
}

// The first decimals(d) of a real_props list.
bool Decimals(const PropList* props, uint32_t* decimals) {
  for (const PropList* l = props; !l->Empty(); l = l->tail)
    if (l->head->functor == np_decimals) {
      *decimals = static_cast<uint32_t>(As<PropInt>(l->head).a);
      return true;
    }
  return false;
}

const wchar_t* FixedText(double x, uint32_t decimals) {
  T::TEllipsisArgs<1> d;
  d.SetValue(0, D(domains::unsigned_), decimals);
  const wchar_t* spec = string::format(L"%%4.%uf", d);
  T::TEllipsisArgs<1> v;
  v.SetValue(0, D(domains::real), x);
  return string::format(spec, v);
}

}  // namespace

const wchar_t* kwiDialog::get_text_rep(const Tagged* item, const Tagged* value) {
  switch (value->functor) {
    case k_editstr: return As<KText>(value).text;
    case k_editint:
    case k_editlong:
    case k_editreal: break;
    default: return nullptr;
  }
  const Tagged* v = As<KOpt>(value).value;
  if (v->functor == kVoid) return L"";
  if (value->functor == k_editint) return TextOf(D(domains::integer), As<OptInt>(v).value);
  if (value->functor == k_editlong) return TextOf(D(domains::integer32), As<OptInt>(v).value);
  const double x = As<OptReal>(v).value;
  uint32_t decimals = 0;
  if (item->functor == k_editreal && Decimals(As<KEditNum>(item).props, &decimals))
    return FixedText(x, decimals);
  return TextOf(D(domains::real), x);
}

}  // namespace tav
