// Constant tables of the four dialogs and the builder of their definition
// lists.  Rectangles are in dialog units (the definitions' last integer, 2).
#include "dialogs.h"

#include "qel6kernel.h"

namespace QEL_EDIT::detail {

namespace {

using QEL_KWI::rect_struct;
namespace Mem = Qel::RunTime::Kernel::Memory;

constexpr int64_t fNone[] = {0};
constexpr int64_t fTab[] = {25, 26, 0};          // push buttons, check boxes, group-start radios
constexpr int64_t fDefault[] = {23, 25, 26, 0};  // the default push button
constexpr int64_t fRadio[] = {26, 0};            // other radio buttons
constexpr int64_t fCombo[] = {46, 8, 25, 26, 0};
constexpr int64_t fDialog[] = {9, 4, 0};

using namespace QEL_KWI;

// Both go-to dialogs; the label's text comes with the dialog.
constexpr ControlSpec goTo[] = {
    {ctl_label, wt_text, nullptr, {5, 10, 83, 19}, fNone},
    {ctl_findText, wt_listedit, L"", {85, 9, 139, 68}, fCombo},
    {ctl_ok, wt_pushbutton, L"&Go to", {5, 36, 41, 48}, fDefault},
    {ctl_close, wt_pushbutton, L"&Close", {54, 36, 90, 48}, fTab},
    {ctl_help, wt_pushbutton, L"&Help", {104, 36, 140, 48}, fTab},
};

constexpr ControlSpec find[] = {
    {ctl_label, wt_text, L"&Text To Find", {3, 8, 61, 17}, fNone},
    {ctl_findText, wt_listedit, L"", {64, 7, 214, 66}, fCombo},
    {ctl_fromCursor, wt_radiobutton, L"Fro&m Cursor", {4, 44, 73, 53}, fTab},
    {ctl_selectedText, wt_radiobutton, L"Se&lected Text", {4, 55, 73, 64}, fRadio},
    {ctl_entireScope, wt_radiobutton, L"&Entire Scope", {4, 33, 73, 42}, fRadio},
    {ctl_forward, wt_radiobutton, L"F&orward", {85, 33, 154, 42}, fTab},
    {ctl_backward, wt_radiobutton, L"&Backward", {85, 44, 154, 53}, fRadio},
    {ctl_caseSensitive, wt_checkbox, L"Ca&se Sensitive", {4, 79, 73, 88}, fTab},
    {ctl_wholeWords, wt_checkbox, L"&Whole Words Only", {80, 79, 154, 88}, fTab},
    {ctl_regex, wt_checkbox, L"&Use Regular Expressions", {4, 89, 154, 98}, fTab},
    {ctl_ok, wt_pushbutton, L"&Find", {184, 26, 214, 38}, fDefault},
    {ctl_close, wt_pushbutton, L"&Close", {184, 47, 214, 59}, fTab},
    {ctl_help, wt_pushbutton, L"&Help", {184, 67, 214, 79}, fTab},
    {ctl_options, wt_groupbox, L"Options", {2, 70, 159, 100}, fNone},
    {ctl_direction, wt_groupbox, L"Direction", {82, 22, 159, 66}, fNone},
    {ctl_origin, wt_groupbox, L"Origin", {2, 22, 75, 66}, fNone},
};

constexpr ControlSpec replace[] = {
    {ctl_label, wt_text, L"&Text To Find", {3, 5, 61, 14}, fNone},
    {ctl_findText, wt_listedit, L"", {64, 4, 204, 53}, fCombo},
    {ctl_newTextLabel, wt_text, L"New Te&xt", {3, 22, 61, 31}, fNone},
    {ctl_replaceText, wt_listedit, L"", {64, 21, 204, 70}, fCombo},
    {ctl_entireScope, wt_radiobutton, L"&Entire Scope", {5, 44, 74, 53}, fTab},
    {ctl_fromCursor, wt_radiobutton, L"Fro&m Cursor", {5, 55, 74, 64}, fRadio},
    {ctl_selectedText, wt_radiobutton, L"Se&lected Text", {5, 66, 74, 75}, fRadio},
    {ctl_forward, wt_radiobutton, L"F&orward", {91, 44, 160, 53}, fTab},
    {ctl_backward, wt_radiobutton, L"&Backward", {91, 55, 160, 64}, fRadio},
    {ctl_caseSensitive, wt_checkbox, L"Ca&se Sensitive", {5, 100, 74, 109}, fTab},
    {ctl_wholeWords, wt_checkbox, L"&Whole Words Only", {86, 100, 160, 109}, fTab},
    {ctl_regex, wt_checkbox, L"&Use Regular Expressions", {5, 110, 160, 119}, fTab},
    {ctl_ok, wt_pushbutton, L"&Replace", {166, 38, 208, 50}, fDefault},
    {ctl_findNext, wt_pushbutton, L"Find &Next", {166, 56, 208, 68}, fTab},
    {ctl_changeAll, wt_pushbutton, L"Change &All", {166, 74, 208, 86}, fTab},
    {ctl_close, wt_pushbutton, L"&Close", {166, 93, 208, 105}, fTab},
    {ctl_help, wt_pushbutton, L"&Help", {166, 112, 208, 124}, fTab},
    {ctl_options, wt_groupbox, L"Options", {2, 87, 162, 125}, fNone},
    {ctl_origin, wt_groupbox, L"Origin", {2, 34, 77, 80}, fNone},
    {ctl_direction, wt_groupbox, L"Direction", {85, 34, 162, 80}, fNone},
};

template <size_t N>
constexpr int32_t Count(const ControlSpec (&)[N]) {
  return static_cast<int32_t>(N);
}

constexpr DialogSpec dialogs[] = {
    {dlg_find, wt_modal, L"Find Text", {63, 43, 286, 148}, find, Count(find), nullptr},
    {dlg_replace, wt_modeless, L"Replace Text", {55, 22, 270, 154}, replace, Count(replace),
     nullptr},
    {dlg_goToPosition, wt_modal, L"Go To Position", {56, 22, 214, 74}, goTo, Count(goTo),
     L"&Enter Position Number"},
    {dlg_goToLine, wt_modal, L"Go To Line Number", {56, 22, 214, 74}, goTo, Count(goTo),
     L"&Enter New Line Number"},
};

template <class T>
T* New() {
  return reinterpret_cast<T*>(Mem::AllocGStack(sizeof(T)));
}

wsflags_struct* Flags(const int64_t* f) {
  if (!*f) {
    auto* nil = New<wsflags_struct>();
    *nil = {ListNil, 0, nullptr};
    return nil;
  }
  auto* cell = New<wsflags_struct>();
  *cell = {ListCons, static_cast<intptr_t>(*f), Flags(f + 1)};
  return cell;
}

wdef* Definition(int32_t type, const rect_struct& r, const wchar_t* text) {
  auto* rect = New<rect_struct>();
  *rect = r;
  auto* d = New<wdef>();
  *d = {type, rect, text, 2};
  return d;
}

windef* Control(const DialogSpec& d, const ControlSpec& c) {
  auto* w = New<windef>();
  *w = {wd_ctl,
        {reinterpret_cast<LONG_PTR>(Definition(c.type, c.rect, ControlText(d, c))), c.id,
         reinterpret_cast<LONG_PTR>(Flags(c.flags)), 0}};
  return w;
}

}  // namespace

const wchar_t* ControlText(const DialogSpec& d, const ControlSpec& c) {
  return c.text ? c.text : d.label;
}

const DialogSpec* FindDialogSpec(int32_t id) {
  for (const DialogSpec& d : dialogs)
    if (d.id == id) return &d;
  return nullptr;
}

windef_list_struct* BuildDialogList(const DialogSpec& spec) {
  auto* list = New<windef_list_struct>();
  *list = {ListNil, nullptr, nullptr};
  for (int32_t i = spec.count - 1; i >= 0; --i) {
    auto* cell = New<windef_list_struct>();
    *cell = {ListCons, Control(spec, spec.controls[i]), list};
    list = cell;
  }
  auto* dialog = New<windef>();
  *dialog = {wd_dlgfont,
             {reinterpret_cast<LONG_PTR>(Definition(spec.type, spec.rect, spec.title)),
              reinterpret_cast<LONG_PTR>(L"MS Sans Serif"), 8,
              reinterpret_cast<LONG_PTR>(Flags(fDialog))}};
  auto* head = New<windef_list_struct>();
  *head = {ListCons, dialog, list};
  return head;
}

}  // namespace QEL_EDIT::detail
