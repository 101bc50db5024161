// kwiOwndraw: owner-drawn push buttons, check boxes, radio buttons in groups,
// list boxes and pop-up menus.  The class keeps what it must remember about
// a control in process-wide facts keyed by parent window and control id
// (rectangles for measuring, radio groups and their checked button, checked
// check boxes); the owner's handler forwards the layer's owner-draw and
// measure events here.  It draws backgrounds, bevels and focus frames; the
// content of an item is drawn by the callback given with every draw call.
#pragma once

#include "core/core.h"
#include "kwi/kwi.h"

namespace tav {

// ownerdraw_item_def(Tag, Width, Height, SubMenu); odmenu is a list of them.
struct OdMenu;
struct OdItem {
  uint64_t functor;
  uint32_t tag;
  int32_t width;
  int32_t height;
  const OdMenu* submenu;
};
struct OdMenu {
  uint64_t functor;  // 1 a cell, 2 the end
  const OdItem* head;
  const OdMenu* next;
};

// Callbacks: {function, object}; the object, when present, comes first.
struct OdCallback {
  void* function;
  void* object;
};
using ButFunc = void (*)(LONG_PTR window, int32_t dx, int32_t dy, QEL_KWI::rect_struct* r);
using CheckFunc = void (*)(LONG_PTR window, QEL_KWI::rect_struct* item, QEL_KWI::rect_struct* box,
                           int32_t checked);
using RadioFunc = void (*)(uint32_t id, LONG_PTR window, QEL_KWI::rect_struct* item,
                           QEL_KWI::rect_struct* circle, int32_t checked);
using LboxFunc = void (*)(LONG_PTR window, QEL_KWI::rect_struct* item, int32_t state,
                          const wchar_t* text, int32_t index);
using MenuFunc = void (*)(LONG_PTR window, uint32_t tag, QEL_KWI::rect_struct* item,
                          int32_t selected);

class kwiOwndraw {
 public:
  static const ClassInfo classInfo;
  static const ExceptionDescriptor wrongwindowtype;

  static LONG_PTR createcontrol(int32_t kind, uint32_t id, QEL_KWI::rect_struct* r,
                                const wchar_t* title, LONG_PTR parent);
  static LONG_PTR createcontrol(int32_t kind, uint32_t id, QEL_KWI::rect_struct* r, int32_t unit,
                                const wchar_t* title, LONG_PTR parent);
  static void creategroupbox(QEL_KWI::rect_struct* r, LONG_PTR parent);
  static void groupcontrols(int32_t group, const QEL_KWI::ilist_struct* ids, LONG_PTR parent);
  static LONG_PTR createlistbox(uint32_t id, QEL_KWI::rect_struct* r, const wchar_t* title,
                                LONG_PTR parent, QEL_KWI::slist_struct* items, int32_t selected,
                                int32_t rows);
  static LONG_PTR createlistbox(uint32_t id, QEL_KWI::rect_struct* r, int32_t unit,
                                const wchar_t* title, LONG_PTR parent,
                                QEL_KWI::slist_struct* items, int32_t selected, int32_t rows);
  static QEL_KWI::menu_struct* createmenu(const OdMenu* menu);
  static int32_t measurecontrol(uint32_t id);

  static void drawbutton(const QEL_KWI::ilist_struct* action, const QEL_KWI::ilist_struct* state,
                         QEL_KWI::rect_struct* r, LONG_PTR window, const OdCallback* f);
  static void drawcheck(const QEL_KWI::ilist_struct* action, const QEL_KWI::ilist_struct* state,
                        QEL_KWI::rect_struct* item, QEL_KWI::rect_struct* box, LONG_PTR unused,
                        LONG_PTR control, const OdCallback* f);
  static void drawradio(const QEL_KWI::ilist_struct* action, const QEL_KWI::ilist_struct* state,
                        QEL_KWI::rect_struct* item, QEL_KWI::rect_struct* circle, LONG_PTR parent,
                        LONG_PTR control, uint32_t id, const OdCallback* f);
  static void drawlistbox(const QEL_KWI::ilist_struct* action, const QEL_KWI::ilist_struct* state,
                          QEL_KWI::rect_struct* item, LONG_PTR unused, LONG_PTR control,
                          uint32_t index, const OdCallback* f, int32_t threeD);
  static void drawmenu(const QEL_KWI::ilist_struct* action, const QEL_KWI::ilist_struct* state,
                       LONG_PTR window, uint32_t tag, const OdCallback* f);

  static void destroy(LONG_PTR parent);
  static void destroy(LONG_PTR parent, uint32_t id);
};

}  // namespace tav
