// The OK button's state and the length limits of edit fields, with the small
// steps other parts share (text length, focus without failing, discarding a
// trapped error).  The OK rule reads held values, never control texts, and
// writes the button's state only when it differs from the decision.
#include "exception/exception.h"
#include "fileSystem/fileSystem_api.h"
#include "kwi/kwi.h"
#include "kwi/kwiDialog/kwiDialog_terms.h"
#include "string/string.h"

namespace tav {

using namespace QEL_KWI;
using namespace dlgterms;
namespace st = dlgstore;

namespace dlgterms {
bool HasState(LONG_PTR window, int64_t flag) {
  return kwidomains::Contains(win_GetState(window), flag);
}
}  // namespace dlgterms

namespace {

constexpr int64_t kDisabled = 12;
constexpr int64_t kEnabled = 13;

// The dialog's control `id` through a trap; 0 when the dialog lacks it.
LONG_PTR ControlOrNone(LONG_PTR dialog, int32_t id) {
  volatile LONG_PTR control = 0;
  if (!Trapped([&] { control = win_GetCtlHandle(dialog, id); })) return 0;
  return control;
}

void ApplyOkDecision(LONG_PTR dialog, int32_t decision) {
  const LONG_PTR button = ControlOrNone(dialog, 1);
  if (!button) return;
  const int64_t from = decision ? kDisabled : kEnabled;
  const int64_t to = decision ? kEnabled : kDisabled;
  if (HasState(button, from)) win_SetState(button, kwidomains::Ints({to}));
}

}  // namespace

void kwiDialog::enable_ok_button(Window dialog) {
  st::SetOkDecision(dialog, 1);
  st::EachVal(dialog, [&](const Val* v) {
    if (v->value->functor != k_editstr || *As<KText>(v->value).text) return true;
    st::EachField(dialog, [&](const Field* f) {
      if (f->id != v->id) return true;
      const LONG_PTR control = ControlOrNone(dialog, f->id);
      if (control && HasState(control, kEnabled)) enable_ok_button1(dialog, f->item);
      return true;
    });
    return true;
  });
  int32_t decision = 1;
  st::OkDecision(dialog, &decision);
  ApplyOkDecision(dialog, decision);
}

bool kwiDialog::enable_ok_button1(Window dialog, const Tagged* item) {
  const PropList* props = PropsOf(item);
  if (!props || !is_exist_mandatory(props)) return false;
  st::SetOkDecision(dialog, 0);
  return true;
}

bool kwiDialog::is_exist_mandatory(const PropList* props) {
  for (const PropList* l = props; !l->Empty(); l = l->tail)
    if (l->head->functor == sp_mandatory) return true;  // 1 in every property domain
  return false;
}

bool kwiDialog::lock_large_length(const PropList* props, const wchar_t* text, Window control) {
  const uint32_t length = Length(text);
  for (const PropList* l = props; !l->Empty(); l = l->tail) {
    if (l->head->functor != sp_length) continue;
    const auto limit = static_cast<uint32_t>(As<PropInt>(l->head).a);
    if (length <= limit) continue;
    const wchar_t* first = nullptr;
    const wchar_t* rest = nullptr;
    string::front(text, limit, &first, &rest);
    win_SetText(control, first);
    safe_setfocus(control);
    uint32_t bytes = 0;
    fileSystem_api::lf_crlf(reinterpret_cast<const uint8_t*>(first), -1, &bytes);
    const int caret = static_cast<int>(bytes / 2 - 1);  // without the terminator
    win_SelectText(control, caret, caret);
    return true;
  }
  return false;
}

int32_t kwiDialog::shrt_max(Window window) {
  return static_cast<int32_t>(Length(win_GetText(window)));
}

void kwiDialog::safe_setfocus(Window window) {
  if (HasState(window, kDisabled)) return;
  Trapped([&] { win_SetFocus(window); });
}

void kwiDialog::clear_and_fail(uint32_t code) {
  K::RunTrapped([&] { exception::clear(code); });
}

}  // namespace tav
