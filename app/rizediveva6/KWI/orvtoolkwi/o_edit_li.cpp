// The in-place cell editor: see the header.
#include "KWI/orvtoolkwi/o_edit_li.h"

#include <new>

#include "kwi/kwi.h"

namespace rizediveva6 {

using namespace QEL_KWI;
namespace K = Qel::RunTime::Kernel;

namespace {

constexpr int kEditKind = 13, kEnter = 13;

o_edit_li* Allocate() {
  static const Qel::RunTime::Objects::RClassDescriptorInfo info{sizeof(o_edit_li), 1};
  void* block = Qel::RunTime::Objects::AllocateObject(&info, [](void* b) {
    TrapAndForget([&] { static_cast<o_edit_li*>(b)->destroy_win(); });
  });
  memset(block, 0, sizeof(o_edit_li));
  return new (block) o_edit_li();
}

}  // namespace

o_edit_li* o_edit_li::new_(LONG_PTR parent, uint32_t row, uint32_t col, rect_struct r, const wchar_t* text) {
  uint8_t* font = win_GetFont(parent);
  o_edit_li* e = Allocate();
  e->xrow_ = row;
  e->xcol_ = col;
  ilist_struct end{ListNil, 0, nullptr};
  ilist_struct border{ListCons, 1, &end};
  const LONG_PTR control = win_CreateControl(kEditKind, &r, text, parent, &border, kControlId);
  win_SetFont(control, font);
  e->db_win_ = control;
  auto* handler = static_cast<PROLOG_EHANDLER_STRUCT*>(K::Memory::AllocHeap(sizeof(PROLOG_EHANDLER_STRUCT)));
  *handler = {reinterpret_cast<void*>(&o_edit_li::_e_eh), e};
  win_SetSubClassHandler(control, handler, 0);
  return e;
}

LONG_PTR o_edit_li::_e_eh(void*, LONG_PTR window, event_struct* e) {
  if (e->kind != e_char || e->w[0] != kEnter) K::Fail();
  win_SendEvent(win_GetParent(window), e);
  return 0;
}

const wchar_t* o_edit_li::get_edit(edit_sendback cb, uint32_t* row, uint32_t* col) {
  *row = xrow_;
  *col = xcol_;
  if (!db_win_) return L"empty";
  const LONG_PTR w = db_win_;
  db_win_ = 0;
  const wchar_t* text = tav::HeapCopy(win_GetText(w));
  win_Destroy(w);
  if (!K::Succeeds([&] { cb.code(cb.object, text, xrow_, xcol_); })) return L"empty";
  return text;
}

void o_edit_li::focus_on_it() {
  if (db_win_) win_SetFocus(db_win_);
}

void o_edit_li::destroy_win() {
  if (!db_win_) return;
  const LONG_PTR w = db_win_;
  db_win_ = 0;
  win_Destroy(w);
}

}  // namespace rizediveva6
