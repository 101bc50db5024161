// Creation and clean-up of kwiDialog's dialogs, and the internal top-level
// window of a dialog shown "as window".  A request appends its hand-over
// entries under the null window; the creation event takes the oldest of
// each kind.  Every request withdraws the entries it appended (and its
// title) that no creation event took, on every way out; a modal request
// also cleans up the window that took them, so a reused handle inherits
// nothing.  Geometry sums and differences are 32-bit and raise "Integral
// overflow" instead of wrapping.
#include "exception/exception.h"
#include "kwi/kwi.h"
#include "kwi/kwiDialog/kwiDialog_terms.h"
#include "kwi/kwicommondialogs.h"

namespace tav {

using namespace QEL_KWI;
using namespace dlgterms;
namespace st = dlgstore;

namespace {

const windef* Head(const windef_list_struct* l) { return l && l->functor == 1 ? l->value : nullptr; }
bool Single(const windef_list_struct* l) { return Head(l) && Head(l->next) == nullptr; }

const windef* FirstOf(const windef_list_struct* l, uintptr_t alt) {
  for (; Head(l); l = l->next)
    if (l->value->alt == alt) return l->value;
  return nullptr;
}

const wdef* WdefOf(const windef* d) { return reinterpret_cast<const wdef*>(d->w[0]); }

bool IsDialogOfType(const windef_list_struct* list, int32_t type) {
  if (Single(list) && Head(list)->alt == wd_resdlg) return Head(list)->w[1] == type;
  for (uintptr_t alt : {wd_dlg, wd_dlgfont})
    if (const windef* d = FirstOf(list, alt); d && WdefOf(d)->type == type) return true;
  return false;
}

[[noreturn]] void UnexpectedStyle(const wchar_t* predicate) {
  TAV_AT();
  T::TEllipsisArgs<1> args;
  args.SetTerm(0, D(domains::string), L"unexpected dialog style");
  common_exception::raise_error(&kwiDialog::classInfo, predicate, args);
}

// The head of a list handled "as window": dlg or dlgfont, else the error.
const windef* DialogHead(const windef_list_struct* list, const wchar_t* predicate) {
  const windef* h = Head(list);
  if (!h || (h->alt != wd_dlg && h->alt != wd_dlgfont)) UnexpectedStyle(predicate);
  return h;
}

// The hand-over entries of one request.
struct Request {
  st::Cell* handler;
  st::Cell* info;
};

void Withdraw(const Request& r) {
  st::Withdraw(r.handler);
  st::Withdraw(r.info);
}

}  // namespace

// --- Kinds of dialog and the three ways of creation ----------------------------------

bool kwiDialog::is_modal_dlg(const windef_list_struct* list) {
  return IsDialogOfType(list, wt_modal);
}
bool kwiDialog::is_modeless_dlg(const windef_list_struct* list) {
  return IsDialogOfType(list, wt_modeless);
}

LONG_PTR kwiDialog::dialog_create1(Window parent, windef_list_struct* list, LONG_PTR data) {
  if (Single(list) && Head(list)->alt == wd_resdlg)
    return kwi::wincreateresdialog(parent, static_cast<int32_t>(Head(list)->w[1]),
                                   static_cast<uint32_t>(Head(list)->w[0]), dialogHandler(), data);
  return win_CreateDynDialog(parent, list, dialogHandler(), data);
}

LONG_PTR kwiDialog::create(Window parent, windef_list_struct* list, const FieldList* fields,
                           const PROLOG_EHANDLER_STRUCT* handler, LONG_PTR data,
                           const ValList** values, int32_t* code) {
  *values = New(ValList{2, nullptr, nullptr});
  *code = 0;
  volatile Window window = 0;
  if (FirstOf(list, wd_topwin)) {
    const Request r{st::AddPendingUserHandler(handler), st::AddPendingModeless(fields, 0)};
    Finally(
        [&] {
          window = win_CreateDyn(list, parent, dialogHandler(), data);
          run_safe_create(window, data);
        },
        [&] { Withdraw(r); });
    return window;
  }
  if (is_modeless_dlg(list)) {
    const Request r{st::AddPendingUserHandler(handler), st::AddPendingModeless(fields, 1)};
    Finally([&] { window = dialog_create1(parent, list, data); },
            [&] {
              Withdraw(r);
              const Window taker = st::TakerOf(r.handler);
              if (taker && !IsWindow(reinterpret_cast<HWND>(taker))) clean_up(taker);
            });
    return window;
  }
  if (is_modal_dlg(list)) {
    const Request r{st::AddPendingUserHandler(handler), st::AddPendingModal(fields)};
    volatile bool ran = false;
    Finally(
        [&] {
          const Window ended = dialog_create1(parent, list, data);
          const FieldList* given = nullptr;
          if (!ended || !st::Modal(ended, &given)) return;
          st::RemoveModal(ended);
          ran = true;
          get_modal_results(ended, values, code);
        },
        [&] {
          Withdraw(r);
          if (const Window taker = st::TakerOf(r.handler)) clean_up(taker);
        });
    if (ran) return 0;
  }
  kwiCommonDialogs::error(L"Error <dialog_Create>");
  *values = New(ValList{2, nullptr, nullptr});
  *code = 0;
  return 0;
}

bool kwiDialog::run_create(Window window, LONG_PTR data) {
  const FieldList* fields = nullptr;
  int32_t kind = 0;
  if (!st::TakeModeless(window, &fields, &kind)) return false;
  Shielded(window, [&] {
    st::RemoveFirstItemMarkers(window);
    st::AddFirstItemMarker(window, 0);
    init_fields(window, fields);
  });
  const PROLOG_EHANDLER_STRUCT* user = st::UserHandler(window);
  if (!user) return false;
  event_struct e{e_create, {data}};
  LONG_PTR ignored = 0;
  CallHandler(user, window, &e, &ignored);
  return true;
}

void kwiDialog::run_safe_create(Window window, LONG_PTR data) { run_create(window, data); }

void kwiDialog::get_modal_results(Window window, const ValList** values, int32_t* code) {
  int32_t result = 0;
  if (!st::Result(window, &result)) {
    *code = 2;
    *values = New(ValList{2, nullptr, nullptr});
    return;
  }
  *code = result;
  *values = get_modal_results1(result, window);
}

void kwiDialog::clean_up(Window window) { st::RemoveWindow(window); }

// --- Window definitions and geometry -----------------------------------------------

windef_list_struct* kwiDialog::getdlgwindef(windef_list_struct* list) {
  if (Single(list) && Head(list)->alt == wd_resdlg)
    return kwi::wingetresdialog(static_cast<uint32_t>(Head(list)->w[0]));
  return list;
}

ilist_struct* kwiDialog::getWindowStyleFlags(const windef_list_struct* list) {
  const windef* h = DialogHead(list, L"getWindowStyleFlags");
  return reinterpret_cast<ilist_struct*>(h->w[h->alt == wd_dlg ? 1 : 3]);
}

rect_struct* kwiDialog::gettoplevelrect(const windef_list_struct* list) {
  const rect_struct* r = WdefOf(DialogHead(list, L"kwiDialog::gettoplevelrect"))->rect;
  return New(rect_struct{r->left, r->top, AddChecked(r->left, 10), AddChecked(r->top, 10)});
}

wdef* kwiDialog::setmodeless(const wdef* d) {
  const rect_struct* r = d->rect;
  auto* rect = New(rect_struct{0, 0, SubChecked(r->right, r->left), SubChecked(r->bottom, r->top)});
  return New(wdef{wt_modeless, rect, d->title, d->dlgUnits});
}

windef_list_struct* kwiDialog::getChildDlgWinDefList(const windef_list_struct* list) {
  const windef* h = DialogHead(list, L"getChildDlgWinDefList");
  windef* head = New(*h);
  head->w[0] = reinterpret_cast<LONG_PTR>(setmodeless(WdefOf(h)));
  head->w[h->alt == wd_dlg ? 1 : 3] = reinterpret_cast<LONG_PTR>(kwidomains::Ints({10, 69}));
  return New(windef_list_struct{1, head, list->next});
}

void kwiDialog::resizetoplevelwindow(Window top, Window dialog, ilist_struct*) {
  const rect_struct* d = win_GetClientRect(dialog);
  const int32_t width = d->right;
  const int32_t height = d->bottom;
  win_Move(dialog, kwidomains::Rect(-1, -1, width, height));
  // Where the frame's client area lies now, from its outer rectangle and
  // its own frame (the style flags do not tell every border the system adds).
  const rect_struct* o = win_GetOuterRect(top);
  RECT outer;
  POINT client{0, 0};
  GetWindowRect(reinterpret_cast<HWND>(top), &outer);
  ClientToScreen(reinterpret_cast<HWND>(top), &client);
  const int32_t left = AddChecked(o->left, client.x - outer.left);
  const int32_t upper = AddChecked(o->top, client.y - outer.top);
  win_Move(top, kwidomains::Rect(left, upper, AddChecked(left, width), AddChecked(upper, height)));
}

PROLOG_EHANDLER_STRUCT* kwiDialog::windowHandler() {
  static PROLOG_EHANDLER_STRUCT h{reinterpret_cast<void*>(&_windlg_eh), nullptr};
  return &h;
}

LONG_PTR kwiDialog::_windlg_eh(Window window, event_struct* e) {
  if (e->kind == e_create) K::Fail();
  const Window dialog = win_GetData(window);
  const PROLOG_EHANDLER_STRUCT* user = dialog ? st::UserHandler(dialog) : nullptr;
  LONG_PTR r = 0;
  if (!user || !CallHandler(user, window, e, &r)) K::Fail();
  return r;
}

void kwiDialog::destroyinternaltoplevel(Window dialog) {
  const Window parent = win_GetParent(dialog);
  const PROLOG_EHANDLER_STRUCT* volatile h = nullptr;
  if (!Trapped([&] { h = win_GetHandler(parent); })) return;
  if (!h || h->function != windowHandler()->function || h->object) return;
  event_struct close{e_closerequest, {}};
  win_PostEvent(parent, &close);
}

void kwiDialog::set_dialog_title(Window window) {
  const wchar_t* title = st::FirstTitle();
  if (!title) return;
  st::RemoveTitle(title);
  if (*title) win_SetText(window, title);
}

// --- Public creators ---------------------------------------------------------------

LONG_PTR kwiDialog::createModal(Window parent, uint32_t resourceId, const wchar_t* title,
                                const FieldList* fields, const PROLOG_EHANDLER_STRUCT* handler,
                                LONG_PTR data, const ValList** values, int32_t* code) {
  return createFromResource(parent, resourceId, wt_modal, title, fields, handler, data, values,
                            code);
}

LONG_PTR kwiDialog::createModeless(Window parent, uint32_t resourceId, const wchar_t* title,
                                   const FieldList* fields, const PROLOG_EHANDLER_STRUCT* handler,
                                   LONG_PTR data) {
  const ValList* values = nullptr;
  int32_t code = 0;
  return createFromResource(parent, resourceId, wt_modeless, title, fields, handler, data,
                            &values, &code);
}

LONG_PTR kwiDialog::createFromResource(Window parent, uint32_t resourceId, int32_t type,
                                       const wchar_t* title, const FieldList* fields,
                                       const PROLOG_EHANDLER_STRUCT* handler, LONG_PTR data,
                                       const ValList** values, int32_t* code) {
  st::Cell* pending = st::AddPendingTitle(title);
  windef* resdlg = New(windef{wd_resdlg, {static_cast<LONG_PTR>(resourceId), type}});
  windef_list_struct* list = kwidomains::Windefs({resdlg});
  volatile Window window = 0;
  Finally([&] { window = create(parent, list, fields, handler, data, values, code); },
          [&] { st::Withdraw(pending); });
  return window;
}

LONG_PTR kwiDialog::createAsWindow(Window parent, windef_list_struct* list, const wchar_t* title,
                                   const FieldList* fields, const PROLOG_EHANDLER_STRUCT* handler,
                                   LONG_PTR data, Window* dialog) {
  windef_list_struct* definition = getdlgwindef(list);
  ilist_struct* flags = getWindowStyleFlags(definition);
  rect_struct* rect = gettoplevelrect(definition);
  const Window top =
      win_Create(wt_toplevel, rect, title, kwidomains::NoMenu(), parent, flags, windowHandler(), 0);
  const ValList* values = nullptr;
  int32_t code = 0;
  *dialog = create(top, getChildDlgWinDefList(definition), fields, handler, data, &values, &code);
  win_SetData(top, *dialog);
  resizetoplevelwindow(top, *dialog, flags);
  return top;
}

}  // namespace tav
