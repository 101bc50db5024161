// dlg_tools: one block of records per built list, allocated once and kept
// for the life of the process (the GUI layer reads the list at every
// creation).
#include "dlgs/dlg_tools.h"

#include "qel6kwi_win.h"

#include <vector>

namespace all {

using namespace QEL_KWI;

namespace {

// The records of one list; never destroyed.
struct windef_block {
  std::vector<rect_struct> rects;
  std::vector<wdef> wdefs;
  std::vector<windef> defs;
  std::vector<ilist_struct> flags;
  std::vector<windef_list_struct> cells;
};

// Appends the 0-terminated flags as one list; its head.
template <size_t N>
ilist_struct* FlagList(const std::array<int32_t, N>& flags, std::vector<ilist_struct>* out) {
  size_t n = 0;
  while (n < N && flags[n] != 0) ++n;
  const size_t first = out->size();
  for (size_t i = 0; i < n; ++i) out->push_back(ilist_struct{ListCons, flags[i], nullptr});
  out->push_back(ilist_struct{ListNil, 0, nullptr});
  for (size_t i = 0; i < n; ++i) (*out)[first + i].next = &(*out)[first + i + 1];
  return &(*out)[first];
}

constexpr size_t kMaxGroup = 8;

LONG_PTR Word(const void* p) { return reinterpret_cast<LONG_PTR>(p); }

}  // namespace

windef_list_struct* BuildWindef(const dlg_form& form, const dlg_ctl* ctls, size_t count) {
  auto* b = new windef_block;
  // Every vector gets its final size first: the records point at each other.
  b->rects.reserve(count + 1);
  b->wdefs.reserve(count + 1);
  b->defs.reserve(count + 1);
  b->flags.reserve(form.flags.size() + 1 + count * 7);
  b->cells.reserve(count + 2);

  b->rects.push_back(form.rect);
  b->wdefs.push_back(wdef{form.type, &b->rects.back(), form.title, 2});
  ilist_struct* formFlags = FlagList(form.flags, &b->flags);
  b->defs.push_back(windef{wd_dlgfont, {Word(&b->wdefs.back()), Word(form.font), form.size, Word(formFlags)}});
  for (size_t i = 0; i < count; ++i) {
    const dlg_ctl& c = ctls[i];
    b->rects.push_back(c.rect);
    b->wdefs.push_back(wdef{c.type, &b->rects.back(), c.text, 2});
    ilist_struct* flags = FlagList(c.flags, &b->flags);
    b->defs.push_back(windef{wd_ctl, {Word(&b->wdefs.back()), c.id, Word(flags), 0}});
  }
  for (size_t i = 0; i <= count; ++i) b->cells.push_back(windef_list_struct{ListCons, &b->defs[i], nullptr});
  b->cells.push_back(windef_list_struct{ListNil, nullptr, nullptr});
  for (size_t i = 0; i <= count; ++i) b->cells[i].next = &b->cells[i + 1];
  return &b->cells.front();
}

void CheckRadio(LONG_PTR dialog, int32_t id, std::initializer_list<int32_t> group) {
  // A plain array: the GUI layer may raise through this frame.
  winlist_struct cells[kMaxGroup + 1];
  size_t n = 0;
  for (int32_t member : group)
    if (n < kMaxGroup) cells[n++] = winlist_struct{ListCons, win_GetCtlHandle(dialog, member), nullptr};
  cells[n] = winlist_struct{ListNil, 0, nullptr};
  for (size_t i = 0; i < n; ++i) cells[i].next = &cells[i + 1];
  win_CheckRadioButton(win_GetCtlHandle(dialog, id), cells);
}

void EnableCtl(LONG_PTR dialog, int32_t id, bool on) {
  ilist_struct end{ListNil, 0, nullptr};
  ilist_struct state{ListCons, on ? 13 : 12, &end};
  win_SetState(win_GetCtlHandle(dialog, id), &state);
}

void SetCtlText(LONG_PTR dialog, int32_t id, const wchar_t* text) { win_SetText(win_GetCtlHandle(dialog, id), text); }

}  // namespace all
