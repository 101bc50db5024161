// The GUI records the toolkit hands to the GUI layer, built as terms on the
// caller's global stack: integer and string lists, rectangles, points,
// window definitions and their lists, menus.  Every builder allocates
// 8-aligned blocks there; a term lives until the caller's global-stack mark
// is released, so a dialog's definition lives for the modal call that uses it.
#pragma once

#include <initializer_list>

#include "core/core.h"
#include "qel6kwi.h"

namespace tav::kwidomains {

using QEL_KWI::ilist_struct;
using QEL_KWI::menu_struct;
using QEL_KWI::pnt_struct;
using QEL_KWI::rect_struct;
using QEL_KWI::slist_struct;
using QEL_KWI::windef;
using QEL_KWI::windef_list_struct;

// Units of a window definition's rectangle.
constexpr int32_t kPixels = 0;
constexpr int32_t kDialogUnits = 2;

ilist_struct* Ints(std::initializer_list<int64_t> values);
ilist_struct* Ints(const int64_t* values, uint32_t count);
slist_struct* Strings(std::initializer_list<const wchar_t*> values);
rect_struct* Rect(int32_t left, int32_t top, int32_t right, int32_t bottom);
pnt_struct* Point(int32_t x, int32_t y);
menu_struct* NoMenu();
menu_struct* ResMenu(uint32_t id);

// dlgfont(wdef(Type, Rect, Title, Unit), Face, Size, Flags)
windef* DlgFont(int32_t type, rect_struct* r, const wchar_t* title, int32_t unit,
                const wchar_t* face, int32_t size, ilist_struct* flags);
// ctl(wdef(Type, Rect, Title, dialog units), Id, Flags)
windef* Ctl(int32_t type, rect_struct* r, const wchar_t* title, int64_t id, ilist_struct* flags);
// icon(wdef(icon, Rect, "", dialog units), Id, IconId, Flags)
windef* Icon(rect_struct* r, int64_t id, int64_t iconId, ilist_struct* flags);
// customctl(wdef(Type, Rect, Title, Unit), Class, Id, Flags)
windef* CustomCtl(int32_t type, rect_struct* r, const wchar_t* title, int32_t unit,
                  const wchar_t* className, int64_t id, ilist_struct* flags);
windef_list_struct* Windefs(std::initializer_list<windef*> items);
windef_list_struct* Windefs(windef* const* items, uint32_t count);

// Elements of a list term, in order.
uint32_t Length(const slist_struct* l);
uint32_t Length(const ilist_struct* l);
bool Contains(const ilist_struct* l, int64_t value);

}  // namespace tav::kwidomains
