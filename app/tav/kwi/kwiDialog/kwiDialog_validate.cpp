// Validation of the enabled edit fields against their properties.  A pass
// stops at the first failing field, shows one "Error" box naming it, puts
// the focus and a whole-text selection on its control, and fails.  The
// class-wide mark is present only while a pass runs: a pass requested
// inside another removes it and fails quietly, and a pass left by an error
// removes it before passing the error on.  Number conversion errors are
// discarded and count as "not a number".
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

constexpr const wchar_t* kMandatory = L"%s is mandatory%s";
constexpr const wchar_t* kNamedDetail = L"%s %s";

// One number family: the conversion domain, the not-a-number template and
// the property argument type.
struct IntFamily {
  using Number = int32_t;
  using Prop = PropInt;
  static const IDomainDefinition* Domain() { return D(domains::integer); }
  static constexpr const wchar_t* notANumber = L"%s must be an integer%s";
};
struct LongFamily : IntFamily {
  static const IDomainDefinition* Domain() { return D(domains::integer32); }
  static constexpr const wchar_t* notANumber = L"%s must be a long%s";
};
struct RealFamily {
  using Number = double;
  using Prop = PropReal;
  static const IDomainDefinition* Domain() { return D(domains::real); }
  static constexpr const wchar_t* notANumber = L"%s must be an real%s";
};

// FromString under a trap; false after a discarded error.
template <class F>
bool Convert(const wchar_t* text, typename F::Number* out) {
  volatile bool read = false;
  typename F::Number value{};
  if (!Trapped([&] {
        memcpy(&value, T::FromString(F::Domain(), text), sizeof value);
        read = true;
      }))
    return false;
  *out = value;
  return read;
}

// A template filled with numbers of one domain.
template <class V, class... More>
const wchar_t* Format(const wchar_t* templ, const IDomainDefinition* d, V first, More... more) {
  T::TEllipsisArgs<1 + sizeof...(More)> args;
  size_t i = 0;
  for (V v : {first, more...}) args.SetValue(i++, d, v);
  return string::format(templ, args);
}

const wchar_t* FormatTexts(const wchar_t* templ, const wchar_t* a, const wchar_t* b) {
  T::TEllipsisArgs<2> args;
  args.SetTerm(0, D(domains::string), a);
  args.SetTerm(1, D(domains::string), b);
  return string::format(templ, args);
}

// Fails the field: reports it and answers false.
bool Report(LONG_PTR dialog, int32_t id, const wchar_t* templ, const Tagged* prompt,
            const wchar_t* detail) {
  kwiDialog::show_formatted_error(dialog, id, templ, prompt, detail);
  return false;
}

template <class F>
bool ValidateNumber(LONG_PTR dialog, int32_t id, const wchar_t* text, const PropList* props,
                    const Tagged* prompt) {
  using N = typename F::Number;
  const IDomainDefinition* d = F::Domain();
  const bool empty = *text == 0;
  N v{};
  for (const PropList* l = props; !l->Empty(); l = l->tail) {
    const uint64_t kind = l->head->functor;
    if (kind == np_mandatory && empty) return Report(dialog, id, kMandatory, prompt, L"");
    if (empty) continue;
    if (!Convert<F>(text, &v)) return Report(dialog, id, F::notANumber, prompt, L"");
    const auto& p = As<typename F::Prop>(l->head);
    const wchar_t* detail = nullptr;
    if (kind == np_range && (v < p.a || v > p.b))
      detail = Format(L"must be between % and %. Current value %", d, N(p.a), N(p.b), v);
    else if (kind == np_minimum && v < p.a)
      detail = Format(L"must be greater or equal than %", d, N(p.a));
    else if (kind == np_maximum && v > p.a)
      detail = Format(L"must be less or equal than %", d, N(p.a));
    if (detail) return Report(dialog, id, kNamedDetail, prompt, detail);
  }
  if (empty || Convert<F>(text, &v)) return true;
  return Report(dialog, id, F::notANumber, prompt, L"");
}

// The pass over the window's fields (all of them, or those of one control).
bool Pass(LONG_PTR dialog, bool oneControl, int32_t id) {
  const FieldList* fields = st::Fields(dialog);
  if (st::Validating()) {
    st::ClearValidating();
    return false;
  }
  st::SetValidating();
  volatile bool passed = false;
  const uint32_t code = K::RunTrapped([&] {
    int32_t control = id;
    passed = kwiDialog::simple_validate_fields(dialog, fields, oneControl, &control);
  });
  st::ClearValidating();
  if (code) K::Errors::Qel_ErrorExit(code);
  return passed;
}

}  // namespace

bool kwiDialog::simple_validation(Window dialog) { return Pass(dialog, false, 0); }
bool kwiDialog::simple_validation(Window dialog, int32_t id) { return Pass(dialog, true, id); }

bool kwiDialog::simple_validate_fields(Window dialog, const FieldList* fields, bool oneControl,
                                       int32_t* id) {
  for (const FieldList* l = fields; !l->Empty(); l = l->tail) {
    const Field* f = l->head;
    if (oneControl && f->id != *id) continue;
    if (!simple_validate_field(dialog, f->id, f->item, f->prompt)) return false;
  }
  if (!oneControl) *id = 0;
  return true;
}

bool kwiDialog::simple_validate_field(Window dialog, int32_t id, const Tagged* item,
                                      const Tagged* prompt) {
  const Tagged* held = st::FirstVal(dialog, id);
  if (!held || held->functor != k_editstr) return true;
  const LONG_PTR control = win_GetCtlHandle(dialog, id);
  if (!HasState(control, 13)) return true;
  return simple_validate_field1(dialog, id, win_GetText(control), item, prompt);
}

bool kwiDialog::simple_validate_field1(Window dialog, int32_t id, const wchar_t* text,
                                       const Tagged* item, const Tagged* prompt) {
  const PropList* props = PropsOf(item);
  if (!props) return true;
  const Tagged* ignored = nullptr;
  if (*text == 0 && get_default(static_cast<Kind>(item->functor), props, &ignored)) return true;
  switch (item->functor) {
    case k_editstr: return simple_validate_str(dialog, id, text, props, prompt);
    case k_editint: return simple_validate_int(dialog, id, text, props, prompt);
    case k_editlong: return simple_validate_long(dialog, id, text, props, prompt);
    default: return simple_validate_real(dialog, id, text, props, prompt);
  }
}

bool kwiDialog::simple_validate_str(Window dialog, int32_t id, const wchar_t* text,
                                    const PropList* props, const Tagged* prompt) {
  for (const PropList* l = props; !l->Empty(); l = l->tail) {
    if (l->head->functor == sp_mandatory && *text == 0)
      return Report(dialog, id, kMandatory, prompt, L"");
    if (l->head->functor != sp_length) continue;
    const int32_t limit = As<PropInt>(l->head).a;
    if (Length(text) <= static_cast<uint32_t>(limit)) continue;
    const wchar_t* detail =
        Format(L"contains more than % characters", D(domains::integer), limit);
    return Report(dialog, id, kNamedDetail, prompt, detail);
  }
  return true;
}

bool kwiDialog::simple_validate_int(Window dialog, int32_t id, const wchar_t* text,
                                    const PropList* props, const Tagged* prompt) {
  return ValidateNumber<IntFamily>(dialog, id, text, props, prompt);
}
bool kwiDialog::simple_validate_long(Window dialog, int32_t id, const wchar_t* text,
                                     const PropList* props, const Tagged* prompt) {
  return ValidateNumber<LongFamily>(dialog, id, text, props, prompt);
}
bool kwiDialog::simple_validate_real(Window dialog, int32_t id, const wchar_t* text,
                                     const PropList* props, const Tagged* prompt) {
  return ValidateNumber<RealFamily>(dialog, id, text, props, prompt);
}

bool kwiDialog::get_default(Kind kind, const PropList* props, const Tagged** property) {
  const uint64_t functor = kind == k_editstr ? uint64_t{sp_default} : uint64_t{np_default};
  for (const PropList* l = props; !l->Empty(); l = l->tail)
    if (l->head->functor == functor) {
      *property = l->head;
      return true;
    }
  return false;
}

void kwiDialog::show_formatted_error(Window dialog, int32_t id, const wchar_t* templ,
                                     const Tagged* prompt, const wchar_t* detail) {
  const LONG_PTR control = win_GetCtlHandle(dialog, id);
  kwiCommonDialogs::error(get_prompt_text(dialog, prompt, templ, detail));
  const int32_t length = shrt_max(control);
  safe_setfocus(control);
  win_SelectText(control, 0, length);
}

const wchar_t* kwiDialog::get_prompt_text(Window dialog, const Tagged* prompt,
                                          const wchar_t* templ, const wchar_t* detail) {
  switch (prompt->functor) {
    case pr_own: return As<PromptText>(prompt).text;
    case pr_dlg:
      return FormatTexts(templ, win_GetText(win_GetCtlHandle(dialog, As<PromptId>(prompt).id)),
                         detail);
    case pr_str: return FormatTexts(templ, As<PromptText>(prompt).text, detail);
    default: return FormatTexts(templ, L"???", detail);
  }
}

}  // namespace tav
