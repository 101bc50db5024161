// List-box and combo-box operations on a control given by its handle.
//
// Every call first decides the control's kind from its class name; a window
// of another kind gets no list-box message at all (an error under
// validation, else nothing and the empty result).  Strings and lists handed
// back live on the caller's global stack.
#include "kwi.h"

namespace QEL_KWI {
namespace detail {

// The messages of one control kind.
struct ListMessages {
  UINT add, insert, reset, count, textLength, text, curSel, setCurSel, remove;
  bool combo;
};
static const ListMessages kListBox{LB_ADDSTRING, LB_INSERTSTRING, LB_RESETCONTENT,
                                   LB_GETCOUNT,  LB_GETTEXTLEN,   LB_GETTEXT,
                                   LB_GETCURSEL, LB_SETCURSEL,    LB_DELETESTRING, false};
static const ListMessages kComboBox{CB_ADDSTRING, CB_INSERTSTRING, CB_RESETCONTENT,
                                    CB_GETCOUNT,  CB_GETLBTEXTLEN, CB_GETLBTEXT,
                                    CB_GETCURSEL, CB_SETCURSEL,    CB_DELETESTRING, true};

// The kind of `window`, or null (after a raise under validation) when it is
// neither a list box nor a combo box.
static const ListMessages* KindOf(LONG_PTR window, HWND* w) {
  *w = reinterpret_cast<HWND>(window);
  wchar_t name[ClassNameUnits + 1];
  if (!GetClassNameW(*w, name, ClassNameUnits + 1)) {
    if (Validating()) RaiseMayReturn(6000);
    return nullptr;
  }
  if (CompareStringOrdinal(name, -1, L"LISTBOX", -1, TRUE) == CSTR_EQUAL) return &kListBox;
  if (CompareStringOrdinal(name, -1, L"COMBOBOX", -1, TRUE) == CSTR_EQUAL) return &kComboBox;
  if (Validating()) RaiseMayReturn(6001);
  return nullptr;
}

// True for a list box; a combo box raises 6001 (always).
static bool ListBoxOnly(LONG_PTR window, HWND* w) {
  const ListMessages* k = KindOf(window, w);
  if (k && k->combo) RaiseMayReturn(6001);
  return k && !k->combo;
}

static LRESULT Send(HWND w, UINT msg, WPARAM wp = 0, LPARAM lp = 0) {
  return SendMessageW(w, msg, wp, lp);
}

static LPARAM Text(const u16* s) { return reinterpret_cast<LPARAM>(s ? s : L""); }

static bool IsMultiSelection(HWND w) {
  return (GetWindowLongPtrW(w, GWL_STYLE) & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0;
}

// The text of item `index` on the global stack; null when its length query
// fails.
static u16* ItemText(HWND w, const ListMessages* k, WPARAM index) {
  LRESULT n = Send(w, k->textLength, index);
  if (n < 0) return nullptr;
  auto* s = reinterpret_cast<u16*>(
      K::Memory::AllocGStack(static_cast<uint32_t>((static_cast<size_t>(n) + 1) * sizeof(u16))));
  s[0] = 0;
  LRESULT got = Send(w, k->text, index, reinterpret_cast<LPARAM>(s));
  s[got >= 0 && got <= n ? got : 0] = 0;
  return s;
}

static void AppendAll(HWND w, const ListMessages* k, const slist_struct* strings) {
  for (auto* c = strings; c && c->functor == ListCons; c = c->next) Send(w, k->add, 0, Text(c->value));
}

// Two parallel lists on the global stack from `n` texts and indexes.
static void MakeSelection(u16** texts, const int* indexes, int n, slist_struct** strings,
                          ilist_struct** list) {
  *strings = EmptyList<slist_struct>();
  *list = EmptyList<ilist_struct>();
  for (int i = n - 1; i >= 0; --i) {
    *strings = Push(*strings, static_cast<const u16*>(texts[i]));
    *list = Push(*list, static_cast<intptr_t>(indexes[i]));
  }
}

}  // namespace detail

using namespace detail;

void lbox_Add_0(LONG_PTR window, int index, const u16* string) {
  HWND w;
  const ListMessages* k = KindOf(window, &w);
  if (!k) return;
  if (index == -1) {
    Send(w, k->add, 0, Text(string));
    return;
  }
  if (Send(w, k->insert, static_cast<WPARAM>(index), Text(string)) < 0) RaiseMayReturn(6260);
}

void lbox_Add_1(LONG_PTR window, int index, slist_struct* strings) {
  HWND w;
  const ListMessages* k = KindOf(window, &w);
  if (!k) return;
  if (index == -1) {
    AppendAll(w, k, strings);
    return;
  }
  for (auto* c = strings; c && c->functor == ListCons; c = c->next, ++index)
    Send(w, k->insert, static_cast<WPARAM>(index), Text(c->value));
}

void lbox_Add_2(LONG_PTR window, const u16* string) {
  HWND w;
  if (const ListMessages* k = KindOf(window, &w)) Send(w, k->add, 0, Text(string));
}

void lbox_Add_3(LONG_PTR window, slist_struct* strings) {
  HWND w;
  if (const ListMessages* k = KindOf(window, &w)) AppendAll(w, k, strings);
}

void lbox_Clear(LONG_PTR window) {
  HWND w;
  if (const ListMessages* k = KindOf(window, &w)) Send(w, k->reset);
}

void lbox_Delete(LONG_PTR window, int index) {
  HWND w;
  const ListMessages* k = KindOf(window, &w);
  if (!k) return;
  // The last item of a combo box goes with the edit text.
  if (Send(w, k->remove, static_cast<WPARAM>(index)) == 0 && k->combo) Send(w, k->reset);
}

int lbox_CountAll(LONG_PTR window) {
  HWND w;
  const ListMessages* k = KindOf(window, &w);
  if (!k) return 0;
  LRESULT n = Send(w, k->count);
  return n < 0 ? 0 : static_cast<int>(n);
}

slist_struct* lbox_GetAll(LONG_PTR window) {
  HWND w;
  const ListMessages* k = KindOf(window, &w);
  if (!k) return EmptyList<slist_struct>();
  LRESULT n = Send(w, k->count);
  if (n <= 0) return EmptyList<slist_struct>();
  // Cells are filled front to back: one block of n + 1 cells.
  auto* cells = reinterpret_cast<slist_struct*>(
      K::Memory::AllocGStack(static_cast<uint32_t>(sizeof(slist_struct) * (static_cast<size_t>(n) + 1))));
  int used = 0;
  for (LRESULT i = 0; i < n; ++i) {
    u16* s = ItemText(w, k, static_cast<WPARAM>(i));
    if (!s) continue;
    cells[used] = {ListCons, s, &cells[used + 1]};
    ++used;
  }
  cells[used].functor = ListNil;
  return cells;
}

u16* lbox_GetItem(LONG_PTR window, int index) {
  HWND w;
  const ListMessages* k = KindOf(window, &w);
  u16* s = k ? ItemText(w, k, static_cast<WPARAM>(index)) : nullptr;
  if (s) return s;
  s = reinterpret_cast<u16*>(K::Memory::AllocGStack(sizeof(u16)));
  s[0] = 0;
  return s;
}

void lbox_GetSel(LONG_PTR window, slist_struct** strings, ilist_struct** indexes) {
  HWND w;
  const ListMessages* k = KindOf(window, &w);
  if (!k || k->combo || !IsMultiSelection(w)) {
    LRESULT sel = k ? Send(w, k->curSel) : -1;
    u16* text = sel >= 0 ? ItemText(w, k, static_cast<WPARAM>(sel)) : nullptr;
    int index = static_cast<int>(sel);
    MakeSelection(&text, &index, text ? 1 : 0, strings, indexes);
    return;
  }
  LRESULT n = Send(w, LB_GETSELCOUNT);
  if (n < 0) n = 0;
  auto* picked = reinterpret_cast<int*>(
      K::Memory::AllocGStack(static_cast<uint32_t>(sizeof(int) * (static_cast<size_t>(n) + 1))));
  LRESULT got = n ? Send(w, LB_GETSELITEMS, static_cast<WPARAM>(n), reinterpret_cast<LPARAM>(picked)) : 0;
  if (got < 0) got = 0;
  auto** texts = reinterpret_cast<u16**>(
      K::Memory::AllocGStack(static_cast<uint32_t>(sizeof(u16*) * (static_cast<size_t>(got) + 1))));
  int kept = 0;
  for (LRESULT i = 0; i < got; ++i) {
    if (u16* s = ItemText(w, k, static_cast<WPARAM>(picked[i]))) {
      texts[kept] = s;
      picked[kept++] = picked[i];
    }
  }
  MakeSelection(texts, picked, kept, strings, indexes);
}

int lbox_GetSelIndex(LONG_PTR window) {
  HWND w;
  const ListMessages* k = KindOf(window, &w);
  LRESULT sel = k ? Send(w, k->curSel) : -1;
  if (sel < 0) K::Fail();
  return static_cast<int>(sel);
}

void lbox_IsSel(LONG_PTR window, int index) {
  HWND w;
  const ListMessages* k = KindOf(window, &w);
  if (!k) K::Fail();
  bool selected = k->combo ? Send(w, k->curSel) == index
                           : Send(w, LB_GETSEL, static_cast<WPARAM>(index)) > 0;
  if (!selected) K::Fail();
}

void lbox_SetSel(LONG_PTR window, int index, int select) {
  HWND w;
  const ListMessages* k = KindOf(window, &w);
  if (!k) return;
  if (!k->combo && IsMultiSelection(w)) {
    // The whole index: -1 selects or clears every item.
    Send(w, LB_SETSEL, select ? TRUE : FALSE, index);
    return;
  }
  Send(w, k->setCurSel, select ? static_cast<WPARAM>(index) : static_cast<WPARAM>(-1));
}

void lbox_Suspend(LONG_PTR window) {
  HWND w;
  if (KindOf(window, &w)) Send(w, WM_SETREDRAW, FALSE);
}

void lbox_Resume(LONG_PTR window) {
  HWND w;
  if (!KindOf(window, &w)) return;
  Send(w, WM_SETREDRAW, TRUE);
  InvalidateRect(w, nullptr, TRUE);
}

void lbox_SetColumnWidth(LONG_PTR window, int width) {
  HWND w;
  const ListMessages* k = KindOf(window, &w);
  if (k && !k->combo) Send(w, LB_SETCOLUMNWIDTH, static_cast<WPARAM>(width));
}

void lbox_SetTabStops(LONG_PTR window, ilist_struct* stops) {
  HWND w;
  if (!ListBoxOnly(window, &w)) return;
  size_t n = 0;
  for (auto* c = stops; c && c->functor == ListCons; c = c->next) ++n;
  if (n == 0) {
    RaiseMayReturn(6003);
    return;
  }
  auto* values = reinterpret_cast<int*>(K::Memory::AllocGStack(static_cast<uint32_t>(sizeof(int) * n)));
  size_t i = 0;
  for (auto* c = stops; i < n; c = c->next) values[i++] = static_cast<int>(c->value);
  Send(w, LB_SETTABSTOPS, n, reinterpret_cast<LPARAM>(values));
}

void lbox_SetTopIndex(LONG_PTR window, int index) {
  HWND w;
  if (ListBoxOnly(window, &w)) Send(w, LB_SETTOPINDEX, static_cast<WPARAM>(index));
}

}  // namespace QEL_KWI
