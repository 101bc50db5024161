// Event routing of kwiDialog's dialogs and the control callbacks.  The
// class handler runs under the GUI layer's trap and backtrack point: it
// returns a result or fails (not handled), nothing else crosses back.  The
// user handler has the first say over close requests, OK and Cancel; other
// events go to the field handling first.  While `ignore_event` holds only
// close request, OK, Cancel, creation and destruction pass; the shield is
// lifted on every way out of the step that set it.
#include "exception/exception.h"
#include "kwi/kwi.h"
#include "kwi/kwiDialog/kwiDialog_terms.h"

namespace tav {

using namespace QEL_KWI;
using namespace dlgterms;
namespace st = dlgstore;

namespace dlgterms {

bool CallHandler(const PROLOG_EHANDLER_STRUCT* h, LONG_PTR window, event_struct* e,
                 LONG_PTR* result) {
  volatile LONG_PTR r = 0;
  if (!K::Succeeds([&] {
        r = kwi_CallEventHandler(window, e, const_cast<PROLOG_EHANDLER_STRUCT*>(h));
      }))
    return false;
  *result = r;
  return true;
}

}  // namespace dlgterms

namespace {

// Calls the handler and returns its result; fails the caller when it fails.
LONG_PTR ResultOrFail(const PROLOG_EHANDLER_STRUCT* h, LONG_PTR window, event_struct* e) {
  LONG_PTR r = 0;
  if (!h || !CallHandler(h, window, e, &r)) K::Fail();
  return r;
}

int32_t ControlId(const event_struct* e) { return static_cast<int32_t>(e->w[0]); }
const controlinfo* InfoOf(const event_struct* e) {
  return reinterpret_cast<const controlinfo*>(e->w[3]);
}

// Presses OK (1) or Cancel (2) of a modeless dialog by its event; nothing
// when the dialog has no such control.
void Press(LONG_PTR dialog, int32_t id) {
  volatile LONG_PTR button = 0;
  if (!Trapped([&] { button = win_GetCtlHandle(dialog, id); })) return;
  auto* info = New(controlinfo{ci_activated, 0, 0});
  event_struct e{e_control, {id, wt_pushbutton, button, reinterpret_cast<LONG_PTR>(info)}};
  win_SendEvent(dialog, &e);
}

}  // namespace

PROLOG_EHANDLER_STRUCT* kwiDialog::dialogHandler() {
  static PROLOG_EHANDLER_STRUCT h{reinterpret_cast<void*>(&_dialog_event_handler), nullptr};
  return &h;
}

LONG_PTR kwiDialog::_dialog_event_handler(Window window, event_struct* e) {
  if (e->kind == e_create && st::TakeUserHandler(window)) {
    set_dialog_title(window);
    return _int_dialog_event(window, e);
  }
  if (!st::UserHandler(window))
    if (const PROLOG_EHANDLER_STRUCT* pending = st::UserHandler(0))
      return ResultOrFail(pending, window, e);
  return _int_dialog_event(window, e);
}

LONG_PTR kwiDialog::_int_dialog_event(Window window, event_struct* e) {
  const PROLOG_EHANDLER_STRUCT* user = st::UserHandler(window);
  switch (e->kind) {
    case e_closerequest: return ResultOrFail(user, window, e);
    case e_control: {
      if (ControlId(e) != 1 && ControlId(e) != 2) break;
      LONG_PTR r = 0;
      if (user && CallHandler(user, window, e, &r)) return r;
      if (!dialog_callback2(window, e)) K::Fail();
      return 0;
    }
    case e_destroy: {
      uint32_t count = 0;
      const PROLOG_EHANDLER_STRUCT* const* all = st::UserHandlers(window, &count);
      for (uint32_t i = 0; i < count; ++i) {
        LONG_PTR ignored = 0;
        CallHandler(all[i], window, e, &ignored);
      }
      st::RemoveUserHandlers(window);
      if (!dialog_callback2(window, e)) K::Fail();
      return 0;
    }
    case e_create: {
      const FieldList* fields = nullptr;
      int32_t kind = 0;
      if (st::Modal(0, &fields)) return modal_create_event(window, e);
      if (st::Modeless(0, &fields, &kind) && kind == 1) {
        run_safe_create(window, e->w[0]);
        return 0;
      }
      break;
    }
    default: break;
  }
  if (st::IgnoresEvents(window) || !dialog_callback2(window, e)) K::Fail();
  return ResultOrFail(st::UserHandler(window), window, e);
}

LONG_PTR kwiDialog::modal_create_event(Window window, event_struct* e) {
  st::TakeModal(window);
  Shielded(window, [&] { modal_dialog_event(window, e); });
  const PROLOG_EHANDLER_STRUCT* user = st::UserHandler(window);
  if (!user) K::Fail();
  LONG_PTR ignored = 0;
  CallHandler(user, window, e, &ignored);
  return 0;
}

bool kwiDialog::dialog_callback2(Window window, event_struct* e) {
  const FieldList* fields = nullptr;
  int32_t kind = 0;
  if (st::Modal(window, &fields)) {
    modal_dialog_event(window, e);
    return true;
  }
  if (st::Modeless(window, &fields, &kind)) {
    modeless_dialog_event(window, e);
    return true;
  }
  return false;
}

void kwiDialog::modal_dialog_event(Window window, event_struct* e) {
  const FieldList* fields = nullptr;
  if (e->kind == e_create && st::Modal(window, &fields)) {
    st::RemoveFirstItemMarkers(window);
    st::AddFirstItemMarker(window, 0);
    init_fields(window, fields);
    return;
  }
  if (e->kind != e_control) return;
  int32_t result = 1;
  if (modal_dialog_callback(window, ControlId(e), static_cast<int32_t>(e->w[1]), InfoOf(e),
                            &result) &&
      result == 0)
    win_Destroy(window);
}

void kwiDialog::modeless_dialog_event(Window window, event_struct* e) {
  const FieldList* fields = nullptr;
  int32_t kind = 0;
  switch (e->kind) {
    case e_create:
      if (st::Modeless(window, &fields, &kind)) init_fields(window, fields);
      return;
    case e_destroy:
      destroyinternaltoplevel(window);
      clean_up(window);
      return;
    case e_control: {
      int32_t result = 1;
      if (modeless_dialog_callback(window, ControlId(e), static_cast<int32_t>(e->w[1]), InfoOf(e),
                                   &result) &&
          result == 0)
        win_Destroy(window);
      return;
    }
    case e_char:
      if (e->w[0] == 27) Press(window, 2);
      if (e->w[0] == 13) Press(window, 1);
      return;
    default: return;
  }
}

// --- Callbacks ---------------------------------------------------------------------

bool kwiDialog::modal_dialog_callback(Window window, int32_t id, int32_t type,
                                      const controlinfo* info, int32_t* result) {
  if (st::IgnoresEvents(window)) return false;
  const FieldList* fields = nullptr;
  if (id == 2) {
    st::AddResult(window, 2);
    *result = 0;
  } else if (id == 1) {
    *result = modal_dlg_ok(window);
  } else {
    *result = 1;
    if (st::Modal(window, &fields)) user_dialog_control(window, id, type, info);
  }
  return true;
}

int32_t kwiDialog::modal_dlg_ok(Window window) {
  read_current_values(window);
  const FieldList* fields = nullptr;
  if (!simple_validation(window) || !st::Modal(window, &fields)) return 1;
  st::AddResult(window, 1);
  return 0;
}

bool kwiDialog::modeless_dialog_callback(Window window, int32_t id, int32_t type,
                                         const controlinfo* info, int32_t* result) {
  if (st::IgnoresEvents(window)) return false;
  const FieldList* fields = nullptr;
  int32_t kind = 0;
  if (id == 2) {
    *result = 0;
  } else if (id == 1) {
    *result = modeless_dlg_ok(window) ? 0 : 1;
  } else {
    *result = 1;
    if (st::Modeless(window, &fields, &kind)) user_dialog_control(window, id, type, info);
  }
  return true;
}

bool kwiDialog::modeless_dlg_ok(Window window) {
  uint8_t* mark = K::Control::TPrologThreadData::GetGStackTop();
  read_current_values(window);
  K::Control::TPrologThreadData::SetGStackTop(mark);
  return simple_validation(window);
}

void kwiDialog::user_dialog_control(Window window, int32_t id, int32_t type,
                                    const controlinfo* info) {
  const bool edit = type == wt_edit;
  if (edit && info->alt == ci_losefocus) {
    show_default(window, id);
  } else if (edit && info->alt == ci_modified) {
    if (const Field* f = st::FirstFieldOfKind(window, id, k_editstr)) {
      const LONG_PTR control = win_GetCtlHandle(window, id);
      if (lock_large_length(As<KEditStr>(f->item).props, win_GetText(control), control)) return;
    }
  }
  if (const Tagged* item = get_item(window, id, type)) call_field(window, id, item, info);
  if (edit && info->alt == ci_modified) enable_ok_button(window);
}

void kwiDialog::show_default(Window window, int32_t id) {
  const LONG_PTR control = win_GetCtlHandle(window, id);
  const Field* f = st::FirstField(window, id);
  if (*win_GetText(control) || !f) return;
  const Tagged* value = format_item1(f->item, TextValue(k_editstr, L""));
  const wchar_t* text = get_text_rep(f->item, value);
  if (text && *text) win_SetText(control, text);
}

const Tagged* kwiDialog::get_item(Window window, int32_t id, int32_t type) {
  if (const Field* f = st::FirstField(window, id)) return f->item;
  const Tagged* group = nullptr;
  st::EachField(window, [&](const Field* f) {
    if (f->item->functor != k_radiobuttongroup) return true;
    for (const IntList* l = As<KRadios>(f->item).ids; !l->Empty(); l = l->tail)
      if (l->head == id) group = f->item;
    return group == nullptr;
  });
  if (group || type != wt_checkbox) return group;
  const Tagged* unchecked = IntValue(k_checkbox, 0);
  st::AddField(window, New(Field{1, id, unchecked, Tag(New(Tagged{pr_nopr}))}));
  st::AddVal(window, id, unchecked);
  return unchecked;
}

bool kwiDialog::call_field(Window window, int32_t id, const Tagged* item, const controlinfo* info) {
  const Tagged* held = st::FirstVal(window, id);
  if (item->functor == k_checkbox && held && held->functor == k_checkbox) {
    click_chk_box(window, id, As<KInt>(held).value);
    return true;
  }
  if (item->functor == k_radiobuttongroup) {
    click_radio_button(window, id, As<KRadios>(item).ids);
    return true;
  }
  if (item->functor == k_scrollbar) {
    if (info->alt != ci_scroll) return false;
    const KScroll& s = As<KScroll>(item);
    return read_and_set_scrollbar(window, id, s.line, s.page, static_cast<int32_t>(info->code),
                                  static_cast<int32_t>(info->position));
  }
  if (info->alt == ci_modified || info->alt == ci_selchanged || info->alt == ci_activated)
    K::Succeeds([&] { read_current2(window, id, item, info); });
  return true;
}

}  // namespace tav
