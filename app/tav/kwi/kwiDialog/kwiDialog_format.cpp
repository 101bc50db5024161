// Held values turned into the typed values a program gets back: defaults and
// case properties applied, edit texts converted to numbers (a text that does
// not convert stays `editstr`), the item lists of list fields added in front
// as `alllist` entries.  Conversion errors are discarded; a walk handed
// something that is not a list raises the class library's internal error.
#include "exception/exception.h"
#include "kwi/kwiDialog/kwiDialog_terms.h"
#include "string/string.h"

namespace tav {

using namespace dlgterms;
namespace st = dlgstore;

namespace {

// Raises the internal error naming `predicate` unless `list` is a list cell
// or the empty list.
template <class L>
void CheckList(const L* list, const wchar_t* predicate) {
  const uint64_t functor = list ? (list->functor & 0xFF) : 0;
  if (functor == 1 || functor == 2) return;
  TAV_AT();
  T::TEllipsisArgs<0> none;
  common_exception::raise_error(&kwiDialog::classInfo, predicate, none);
}

template <class F>
bool Convert(const IDomainDefinition* d, const wchar_t* text, F* out) {
  F value{};
  if (!Trapped([&] { memcpy(&value, T::FromString(d, text), sizeof value); })) return false;
  *out = value;
  return true;
}

const Tagged* Opt(Kind kind, const Tagged* number) { return Tag(New(KOpt{kind, number})); }
const Tagged* Void() { return Tag(New(Tagged{kVoid})); }
const Tagged* Some(int32_t v) { return Tag(New(OptInt{2, v})); }
const Tagged* Some(double v) { return Tag(New(OptReal{2, v})); }

// An integer, integer32 or real edit field's held text as its typed value.
template <class N>
const Tagged* FormatNumber(Kind kind, const IDomainDefinition* d, const PropList* props,
                           const Tagged* held) {
  const wchar_t* text = As<KText>(held).text;
  const Tagged* def = nullptr;
  if (*text == 0) {
    if (!kwiDialog::get_default(kind, props, &def)) return Opt(kind, Void());
    if constexpr (std::is_same_v<N, double>) return Opt(kind, Some(As<PropReal>(def).a));
    else return Opt(kind, Some(As<PropInt>(def).a));
  }
  N n{};
  if (!Convert(d, text, &n)) return held;
  return Opt(kind, Some(n));
}

}  // namespace

const Tagged* kwiDialog::format_item1(const Tagged* item, const Tagged* value) {
  if (value->functor != k_editstr) return value;
  switch (item->functor) {
    case k_editstr: {
      const PropList* props = As<KEditStr>(item).props;
      const wchar_t* text = As<KText>(value).text;
      const Tagged* def = nullptr;
      if (*text == 0 && get_default(k_editstr, props, &def)) text = As<PropText>(def).text;
      return TextValue(k_editstr, format_str(props, text));
    }
    case k_editint:
      return FormatNumber<int32_t>(k_editint, D(domains::integer), PropsOf(item), value);
    case k_editlong:
      return FormatNumber<int32_t>(k_editlong, D(domains::integer32), PropsOf(item), value);
    case k_editreal:
      return FormatNumber<double>(k_editreal, D(domains::real), PropsOf(item), value);
    default: return value;
  }
}

const wchar_t* kwiDialog::format_str(const PropList* props, const wchar_t* text) {
  CheckList(props, L"format_str");
  for (const PropList* l = props; !l->Empty(); l = l->tail) text = format_str1(l->head, text);
  return text;
}

const wchar_t* kwiDialog::format_str1(const Tagged* prop, const wchar_t* text) {
  if (prop->functor == sp_upper) return string::touppercase(text);
  if (prop->functor == sp_lower) return string::tolowercase(text);
  return text;
}

const ValList* kwiDialog::format_items(Window dialog, const ValList* values) {
  CheckList(values, L"format_items");
  if (values->Empty()) return values;
  const Val* v = values->head;
  if (const Field* f = st::FirstField(dialog, v->id))
    v = New(Val{1, v->id, format_item1(f->item, v->value)});
  return New(ValList{1, v, format_items(dialog, values->tail)});
}

const ValList* kwiDialog::format_fields(const FieldList* fields, const ValList* tail) {
  CheckList(fields, L"format_fields");
  if (fields->Empty()) return tail;
  const Field* f = fields->head;
  const ValList* rest = format_fields(fields->tail, tail);
  const uint64_t kind = f->item->functor;
  if (kind != k_listbox && kind != k_listbutton && kind != k_listedit) return rest;
  // The three list items keep their item list in the first argument.
  const StringList* items = As<KListBox>(f->item).items;
  const Val* all = New(Val{1, f->id, Tag(New(KAllList{k_alllist, items}))});
  return New(ValList{1, all, rest});
}

const ValList* kwiDialog::get_results(Window dialog) {
  const ValList* values = format_items(dialog, st::Vals(dialog));
  return format_fields(st::Fields(dialog), values);
}

const ValList* kwiDialog::get_modal_results1(int32_t result, Window dialog) {
  if (result == 1) return get_results(dialog);
  return New(ValList{2, nullptr, nullptr});
}

}  // namespace tav
