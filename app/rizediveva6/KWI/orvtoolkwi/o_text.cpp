// o_text and o_note: see the header.
#include "KWI/orvtoolkwi/o_text.h"

#include "KWI/Wyn/checked.h"
#include "KWI/orvtoolkwi/object_handler.h"
#include "kwi/kwi.h"
#include "kwi/kwidomains.h"
#include "stream/stream.h"

namespace rizediveva6 {

using namespace QEL_KWI;
namespace K = Qel::RunTime::Kernel;
namespace kd = tav::kwidomains;

const tav::ClassInfo o_text::classInfo{L"qel6pack/ORVtoolKWI/o_text", TAV_CLASS_VERSION};
const tav::ClassInfo o_note::classInfo{L"qel6pack/ORVtoolKWI/o_note", TAV_CLASS_VERSION};

namespace {

// No clipping of siblings, system menu, caption, sizing border.
ilist_struct* SizingDialog() { return kd::Ints({70, 4, 9, 2}); }

}  // namespace

// --- o_text ---

o_text* o_text::new_() { return tav::NewObject<o_text>(); }

void o_text::show_text(LONG_PTR parent, const wchar_t* title, const wchar_t* text) {
  xtitle_ = tav::HeapCopy(title);
  xstr_ = tav::HeapCopy(text);
  windef_list_struct* def = kd::Windefs({
      kd::DlgFont(wt_modal, kd::Rect(50, 40, 347, 289), L"o_text", kd::kDialogUnits, L"MS Sans Serif", 10,
                  SizingDialog()),
      kd::Ctl(wt_text, kd::Rect(20, 8, 284, 238), L"TXT", kText, kd::Ints({31})),
  });
  win_CreateDynDialog(parent, def, ObjectHandler<o_text, &o_text::on_event>(this), 0);
}

LONG_PTR o_text::on_event(LONG_PTR w, event_struct* e) {
  if (e->kind == e_create) {
    thiswin_ = w;
    win_SetText(win_GetCtlHandle(w, kText), xstr_);
    win_SetText(w, xtitle_);
  } else if (e->kind == e_size) {
    const LONG_PTR text = win_GetCtlHandle(w, kText);
    rect_struct r{10, 10, checked::Sub(int32_t(e->w[0]), 10), checked::Sub(int32_t(e->w[1]), 10)};
    win_Move(text, &r);
    win_SetText(text, xstr_);
  }
  K::Fail();
}

// --- o_note ---

o_note* o_note::new_() { return tav::NewObject<o_note>(); }

const wchar_t* o_note::show_note(LONG_PTR parent, const wchar_t* heading, const wchar_t* text) {
  xstring_ = tav::HeapCopy(text);
  xhead_ = tav::HeapCopy(heading);
  windef_list_struct* def = kd::Windefs({
      kd::DlgFont(wt_modal, kd::Rect(50, 40, 282, 195), L"o_note", kd::kDialogUnits, L"Arial", 10, SizingDialog()),
      kd::Ctl(wt_edit, kd::Rect(8, 8, 224, 148), L"EDIT_NOTE", kNote, kd::Ints({31, 25, 26, 28, 38, 8, 49})),
  });
  win_CreateDynDialog(parent, def, ObjectHandler<o_note, &o_note::on_event>(this), 0);
  return xstring_;
}

void o_note::resize() {
  rect_struct r = *win_GetClientRect(thiswin_);
  win_Move(win_GetCtlHandle(thiswin_, kNote), &r);
}

LONG_PTR o_note::on_event(LONG_PTR w, event_struct* e) {
  if (e->kind == e_create) {
    thiswin_ = w;
    win_SetText(w, xhead_);
    resize();
    win_SetText(win_GetCtlHandle(w, kNote), xstring_);
  } else if (e->kind == e_size) {
    resize();
  } else if (e->kind == e_control && e->w[0] == kNote) {
    const auto* info = reinterpret_cast<const controlinfo*>(e->w[3]);
    if (info && info->alt == ci_modified) xstring_ = tav::HeapCopy(win_GetText(win_GetCtlHandle(w, kNote)));
    return 0;
  }
  K::Fail();
}

}  // namespace rizediveva6
