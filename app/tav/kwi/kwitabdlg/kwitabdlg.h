// kwiTabDlg: turns a custom control of window class "ZEVTAB" in a dialog
// into a row of self-drawn tabs with one sheet of controls per tab.  The
// class has no objects: its tables are class-wide, keyed by the tab
// control's window, and a window's destruction removes its entries.  All
// sheets' controls are siblings of the tab control, created at once;
// switching hides and shows them with their remembered state.  Every way
// out of an operation that swaps the dialog's handler puts it back.
// Windows and closures are pointer-sized.
#pragma once

#include <vector>

#include "core/core.h"
#include "qel6kwi.h"

namespace tav {

class kwiTabDlg {
 public:
  static const ClassInfo classInfo;

  // Where the tabs stand.
  enum class style : uint32_t { top = 1, bottom, left, right };

  // title = text(string) | icon(integer) | bmp(integer)
  struct title {
    uint64_t functor;  // 1 text, 2 icon, 3 bmp
    LONG_PTR payload;  // the string, or the resource id
  };
  // sheet = dyn(windef_list) | res(integer)
  struct sheet {
    uint64_t functor;  // 1 dyn, 2 res
    LONG_PTR payload;  // the definition list, or the dialog resource id
  };
  // A field list of the data-entry dialog class: cells {1, field, next}, end {2}.
  struct field_list {
    uint64_t functor;
    const void* value;
    const field_list* next;
  };
  // tabdlg(SheetId, Title, Sheet, Fields)
  struct information {
    uint64_t functor;
    int64_t sheetId;
    const title* t;
    const sheet* s;
    const field_list* fields;
  };
  struct information_list {
    uint64_t functor;
    const information* value;
    const information_list* next;
  };
  // enable(ControlId, Value) | show(ControlId, Value)
  struct enable_item {
    uint64_t functor;  // 1 enable, 2 show
    int64_t controlId;
    int64_t value;
  };
  struct enable_list {
    uint64_t functor;
    const enable_item* value;
    const enable_list* next;
  };

  // --- Public class operations --------------------------------------------------------
  static void register_();
  static void unregister();
  static void create(LONG_PTR dialog, int32_t controlId, uint8_t* font, style s, LONG_PTR unread,
                     const information_list* sheets, int32_t initialSheet);
  static void create(LONG_PTR dialog, int32_t controlId, uint8_t* font, int32_t radio, style s,
                     LONG_PTR unread, const information_list* sheets, int32_t initialSheet);
  static void select(LONG_PTR dialog, int32_t controlId, int32_t sheetId);
  static int32_t select(LONG_PTR dialog, int32_t controlId);
  static int32_t getsheetid(LONG_PTR dialog, int32_t controlId);
  static bool getsheetcontrols(LONG_PTR dialog, int32_t sheetId, Each<int32_t> k);
  static void setstate(LONG_PTR dialog, const enable_list* items);

  // The class handler of "ZEVTAB" windows and the handler that handles nothing.
  static LONG_PTR _tabdlg_eh(LONG_PTR window, QEL_KWI::event_struct* e);
  static LONG_PTR _dummy_eh(LONG_PTR window, QEL_KWI::event_struct* e);

  // --- Layout ----------------------------------------------------------------------
  struct Layout {
    QEL_KWI::rect_struct row, area, first;
  };
  static Layout tab_adjust(style s, uint32_t width, uint32_t height,
                           const QEL_KWI::rect_struct& client);
  // The largest tab over the titles, starting from the given size.
  static void tab_maxsize_sheettitle(LONG_PTR tab, const information_list* sheets,
                                     int32_t startWidth, int32_t startHeight, int32_t* width,
                                     int32_t* height);
  // A control's definition flags split into the flags it is created with
  // and the state remembered for its sheet.
  static void get_invisible_disable_and_visible_state(const QEL_KWI::ilist_struct* flags,
                                                      std::vector<int64_t>* created,
                                                      std::vector<int64_t>* remembered);
  // The remembered state of a control; false when it has none.
  static bool rememberedstate(LONG_PTR tab, int32_t sheetId, int32_t controlId,
                              std::vector<int64_t>* flags);
  // The stored tab rectangle of a sheet; false when there is none.
  static bool tabrect(LONG_PTR tab, int32_t sheetId, QEL_KWI::rect_struct* r);
  // Whether any table holds an entry of this tab control.
  static bool hasentries(LONG_PTR tab);
};

}  // namespace tav
