// kwiCommonDialogs: the prompt, question and list dialogs built from window
// definitions, and the layer's standard boxes and choosers.  Outcomes live
// in class data (one set per process: the dialogs are modal): strings kept
// there are heap copies, since the handler's global stack is released when
// it returns.
#include "kwi/kwicommondialogs.h"

#include "kwi/kwi.h"

namespace tav {

using namespace QEL_KWI;
namespace kd = kwidomains;

const ClassInfo kwiCommonDialogs::classInfo{L"com/corvane/kwi/kwiCommonDialogs", TAV_CLASS_VERSION};

namespace {

constexpr int kOk = 1;
constexpr int kCancel = 2;
constexpr int kSecond = 10001;  // the edit field, the second button, the list
constexpr int kText = 10002;

// Class data.
const wchar_t* g_getstringResult = nullptr;
int32_t g_askResult = 0;
const slist_struct* g_initItems = nullptr;
int32_t g_initPreselection = 0;
struct ListResult {
  int32_t index;
  const wchar_t* text;
  int32_t status;
} g_listResult{-1, L"", 0};

bool IsControl(const event_struct* e, int id) { return e->kind == e_control && e->w[0] == id; }

PROLOG_EHANDLER_STRUCT* Closure(LONG_PTR (*f)(LONG_PTR, event_struct*)) {
  auto* h = static_cast<PROLOG_EHANDLER_STRUCT*>(GStackAlloc(sizeof(PROLOG_EHANDLER_STRUCT)));
  *h = {reinterpret_cast<void*>(f), nullptr};
  return h;
}

// --- getstring ---

LONG_PTR GetStringEvent(LONG_PTR dialog, event_struct* e) {
  if (e->kind == e_create) {
    LONG_PTR edit = win_GetCtlHandle(dialog, kSecond);
    win_SetFocus(edit);
    win_SelectText(edit, 0, 65535);
    return 0;
  }
  if (IsControl(e, kOk)) {
    g_getstringResult = HeapCopy(win_GetText(win_GetCtlHandle(dialog, kSecond)));
    win_Destroy(dialog);
    return 0;
  }
  if (IsControl(e, kCancel)) {
    win_Destroy(dialog);
    return 0;
  }
  K::Fail();
}

// --- ask ---

LONG_PTR AskEvent(LONG_PTR dialog, event_struct* e) {
  if (e->kind == e_control && (e->w[0] == kOk || e->w[0] == kSecond || e->w[0] == kCancel)) {
    g_askResult = e->w[0] == kOk ? 0 : e->w[0] == kSecond ? 1 : 2;
    win_Destroy(dialog);
    return 0;
  }
  K::Fail();
}

// --- listselect ---

void LayOutList(LONG_PTR dialog, int32_t w, int32_t h) {
  if (w < 200 || h < 200) return;
  const int32_t quarter = w / 4, threeQuarters = MulChecked(3, w) / 4;
  const int32_t top = SubChecked(h, 30), bottom = SubChecked(h, 5);
  win_Move(win_GetCtlHandle(dialog, kSecond), kd::Rect(5, 5, SubChecked(w, 5), SubChecked(h, 35)));
  win_Move(win_GetCtlHandle(dialog, kOk),
           kd::Rect(SubChecked(quarter, 40), top, AddChecked(quarter, 40), bottom));
  win_Move(win_GetCtlHandle(dialog, kCancel),
           kd::Rect(SubChecked(threeQuarters, 40), top, AddChecked(threeQuarters, 40), bottom));
}

void TakeSelection(LONG_PTR dialog) {
  slist_struct* strings = nullptr;
  ilist_struct* indexes = nullptr;
  lbox_GetSel(win_GetCtlHandle(dialog, kSecond), &strings, &indexes);
  if (!strings || strings->functor != ListCons || !indexes || indexes->functor != ListCons) return;
  win_Destroy(dialog);
  g_listResult = {static_cast<int32_t>(indexes->value), HeapCopy(strings->value), 1};
}

// A double click in the list: the layer reports the native list's commands
// as they come.
bool ListActivated(const event_struct* e) {
  if (IsControl(e, kSecond))
    return e->w[3] && reinterpret_cast<const controlinfo*>(e->w[3])->alt == ci_activated;
  return e->kind == e_native && e->w[0] == WM_COMMAND && LOWORD(e->w[1]) == kSecond &&
         HIWORD(e->w[1]) == CBN_DBLCLK;
}

LONG_PTR ListSelectEvent(LONG_PTR dialog, event_struct* e) {
  if (e->kind == e_create) {
    LONG_PTR list = win_GetCtlHandle(dialog, kSecond);
    win_SetFocus(list);
    lbox_Add_3(list, const_cast<slist_struct*>(g_initItems));
    if (g_initPreselection >= 0 &&
        static_cast<uint32_t>(g_initPreselection) < kd::Length(g_initItems))
      lbox_SetSel(list, g_initPreselection, 1);
    const rect_struct* c = win_GetClientRect(dialog);
    LayOutList(dialog, c->right, c->bottom);
    return 0;
  }
  if (e->kind == e_size) {
    LayOutList(dialog, static_cast<int32_t>(e->w[0]), static_cast<int32_t>(e->w[1]));
    return 0;
  }
  if (IsControl(e, kOk) || ListActivated(e)) {
    TakeSelection(dialog);
    return 0;
  }
  if (IsControl(e, kCancel)) {
    win_Destroy(dialog);
    return 0;
  }
  K::Fail();
}

}  // namespace

LONG_PTR kwiCommonDialogs::getparentwindow() {
  const LONG_PTR task = kwi_GetTaskWin();
  LONG_PTR w = reinterpret_cast<LONG_PTR>(GetFocus());
  for (int depth = 0; w && depth < 64; ++depth) {
    switch (win_GetType(w)) {
      case 0:
      case wt_screen: return task;
      case wt_modal:
      case wt_modeless:
      case wt_toplevel:
      case wt_task: return w;
      default: break;
    }
    const LONG_PTR parent = win_GetParent(w);
    if (parent == w) break;
    w = parent;
  }
  return task;
}

const wchar_t* kwiCommonDialogs::getstring(const wchar_t* title, const wchar_t* prompt,
                                           const wchar_t* initialText) {
  return getstring(getparentwindow(), title, prompt, initialText);
}

const wchar_t* kwiCommonDialogs::getstring(LONG_PTR parent, const wchar_t* title,
                                           const wchar_t* prompt, const wchar_t* initialText) {
  windef_list_struct* def = kd::Windefs({
      kd::DlgFont(wt_modal, kd::Rect(50, 40, 280, 178), title, kd::kDialogUnits, L"Arial", 8,
                  kd::Ints({4, 9})),
      kd::Ctl(wt_pushbutton, kd::Rect(180, 5, 220, 17), L"&OK", kOk, kd::Ints({23, 25, 26})),
      kd::Ctl(wt_pushbutton, kd::Rect(180, 20, 220, 32), L"&Cancel", kCancel, kd::Ints({25, 26})),
      kd::Ctl(wt_edit, kd::Rect(10, 120, 220, 130), initialText, kSecond, kd::Ints({31, 25, 26, 46})),
      kd::Ctl(wt_text, kd::Rect(5, 5, 175, 115), prompt, kText, kd::Ints({31})),
  });
  g_getstringResult = nullptr;
  win_CreateDynDialog(parent, def, Closure(&GetStringEvent), 0);
  const wchar_t* result = g_getstringResult;
  g_getstringResult = nullptr;
  return result;
}

bool kwiCommonDialogs::ask(const wchar_t* question, const slist_struct* buttons, int32_t* answer) {
  return ask(L"", question, buttons, answer);
}

bool kwiCommonDialogs::ask(const wchar_t* title, const wchar_t* question,
                           const slist_struct* buttons, int32_t* answer) {
  return ask(getparentwindow(), title, question, buttons, answer);
}

bool kwiCommonDialogs::ask(LONG_PTR parent, const wchar_t* title, const wchar_t* question,
                           const slist_struct* buttons, int32_t* answer) {
  const uint32_t n = kd::Length(buttons);
  if (n > 3) return false;
  const wchar_t* text[3] = {};
  uint32_t i = 0;
  for (const slist_struct* b = buttons; i < n; b = b->next) text[i++] = b->value;
  windef* items[5];
  uint32_t count = 0;
  items[count++] = kd::DlgFont(wt_modal, kd::Rect(50, 40, 265, 110), title, kd::kDialogUnits,
                               L"Arial", 8, kd::Ints({4, 9}));
  if (n >= 1)
    items[count++] = kd::Ctl(wt_pushbutton, kd::Rect(155, 5, 210, 17), text[0], kOk, kd::Ints({23, 25, 26}));
  if (n == 3)
    items[count++] = kd::Ctl(wt_pushbutton, kd::Rect(155, 25, 210, 37), text[1], kSecond, kd::Ints({25, 26}));
  if (n >= 2)
    items[count++] = kd::Ctl(wt_pushbutton, kd::Rect(155, 45, 210, 57), text[n - 1], kCancel, kd::Ints({25, 26}));
  items[count++] = kd::Ctl(wt_text, kd::Rect(2, 2, 152, 70), question, kText, kd::Ints({31}));
  // A close without a button answers the last button, the usual "cancel".
  g_askResult = n >= 2 ? 2 : 0;
  win_CreateDynDialog(parent, kd::Windefs(items, count), Closure(&AskEvent), 0);
  *answer = n == 2 && g_askResult == 2 ? 1 : g_askResult;
  return true;
}

int32_t kwiCommonDialogs::listselect(const wchar_t* title, const slist_struct* items,
                                     int32_t preselection, int32_t* index, const wchar_t** text) {
  return listselect(getparentwindow(), title, items, preselection, index, text, 0);
}

int32_t kwiCommonDialogs::listselect(LONG_PTR parent, const wchar_t* title,
                                     const slist_struct* items, int32_t preselection,
                                     int32_t* index, const wchar_t** text, int32_t sorted) {
  windef_list_struct* def = kd::Windefs({
      kd::DlgFont(wt_modal, kd::Rect(50, 40, 320, 256), title, kd::kDialogUnits, L"Arial", 8,
                  kd::Ints({4, 9, 2})),
      kd::Ctl(wt_pushbutton, kd::Rect(20, 95, 60, 107), L"&OK", kOk, kd::Ints({23, 25, 26})),
      kd::Ctl(wt_pushbutton, kd::Rect(110, 95, 150, 107), L"&Cancel", kCancel, kd::Ints({25, 26})),
      kd::CustomCtl(wt_custom, kd::Rect(5, 5, 165, 90), L"Combo", kd::kDialogUnits, L"COMBOBOX",
                    kSecond, kd::Ints({25, 26, 8, 0, sorted == 1 ? 321 : 65})),
  });
  g_initItems = items;
  g_initPreselection = preselection;
  g_listResult = {-1, L"", 0};
  win_CreateDynDialog(parent, def, Closure(&ListSelectEvent), 0);
  g_initItems = nullptr;
  *index = g_listResult.index;
  *text = g_listResult.text;
  return g_listResult.status;
}

int32_t kwiCommonDialogs::askbox(const wchar_t* title, const wchar_t* text, int32_t buttonsKind,
                                 int32_t defaultButton) {
  if (!title || !*title) title = L"Question";
  return dlg_MessageBox(title, text, 1, buttonsKind, defaultButton, 0);
}

void kwiCommonDialogs::note(const wchar_t* text) { dlg_Note(L"Note", text); }
void kwiCommonDialogs::error(const wchar_t* text) { dlg_Error(L"Error", text); }

const wchar_t* kwiCommonDialogs::getfilename(const wchar_t* initialName, slist_struct* fileTypes,
                                             const wchar_t* title, ilist_struct* flags,
                                             const wchar_t* startDirectory,
                                             slist_struct** selectedNames) {
  const wchar_t* volatile chosen = nullptr;
  slist_struct* volatile names = nullptr;
  K::Succeeds([&] {
    slist_struct* n = nullptr;
    int typeIndex = 0;
    chosen = dlg_GetFileName(initialName, fileTypes, title, flags, startDirectory, &n, &typeIndex);
    names = n;
  });
  *selectedNames = names;
  return chosen;
}

slist_struct* kwiCommonDialogs::getopenfilenamelist(const wchar_t* initialName,
                                                    slist_struct* fileTypes, const wchar_t* title) {
  return dlg_GetOpenFileNameList(initialName, fileTypes, title, 300000);
}

uint8_t* kwiCommonDialogs::getfont(uint8_t* font) {
  uint8_t* volatile chosen = nullptr;
  K::Succeeds([&] {
    u16* face = nullptr;
    int size = 0;
    chosen = dlg_ChooseFont(font, &face, &size);
  });
  return chosen;
}

bool kwiCommonDialogs::getcolor(LONG_PTR colour, LONG_PTR* chosen) {
  volatile LONG_PTR result = 0;
  const bool ok = K::Succeeds([&] { result = dlg_ChooseColor(getparentwindow(), colour); });
  if (ok) *chosen = result;
  return ok;
}

}  // namespace tav
