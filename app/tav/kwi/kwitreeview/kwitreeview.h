// kwiTreeView: the common controls' tree view inside a "treeView" window of
// the GUI layer, addressed by item identifiers that the caller chooses.
// Within one window an identifier names at most one item; identifier 0 is the
// root.  Per window the class keeps the identifier <-> item handle maps, the
// parent of every non-top-level item, the native control, callbacks, the
// subclass handler, the image list and the bitmap -> image index cache; all
// of it is forgotten when the window is destroyed.  Native records are the
// SDK's (TVITEMW, TVINSERTSTRUCTW, NMTREEVIEWW ...), handles pointer-sized.
#pragma once

#include <windows.h>
// windows.h first: commctrl.h needs its types.
#include <commctrl.h>

#include "core/core.h"
#include "kwi/kwi.h"

namespace tav {

// itemstate: a list of itemstateflag (cells {1, flag, next}, end {2}).
enum class ItemStateFlag : uint64_t { selected = 1, cut, drophilited, bold, expanded };
struct ItemStateList {
  uint64_t functor;
  ItemStateFlag flag;
  const ItemStateList* next;
};

struct TreeTerm;
// tree_list: cells {1, tree, next}, end {2}.
struct TreeList {
  uint64_t functor;
  const TreeTerm* head;
  const TreeList* next;
};
// tree(ItemId, State, Bitmap, SelectedBitmap, Text, Children)
struct TreeTerm {
  uint64_t functor;
  uint32_t id;
  const ItemStateList* state;
  const BitmapIdTerm* bitmap;
  const BitmapIdTerm* selectedBitmap;
  const wchar_t* text;
  const TreeList* children;
};

// insertplace = first | last | sorted | after(ItemId)
struct InsertPlace {
  uint64_t functor;  // 1 first, 2 last, 3 sorted, 4 after
  uint32_t after;
};

enum class TreePosition : uint32_t {
  nowhere = 1, onitemicon, onitemlabel, onitemindent, onitembutton, onitemright,
  onitemstateicon, above, below, toright, toleft
};

// message: the control's notifications as handed to the callback.
enum class TreeMessageKind : uint64_t {
  outofmemory = 1, setfocus, losefocus, return_, click, dblclick, rclick, rdblclick, keydown,
  selecting, selected, expanding, expanded, edit, endedit, endeditcanceled, none
};
struct TreeMessage {
  TreeMessageKind kind;
  LONG_PTR a;  // return/edit/endedit/endeditcanceled: id; click kinds: pnt_struct*;
               // keydown: key; selecting/selected: old id; expanding/expanded: id
  LONG_PTR b;  // selecting/selected: new id; expanding/expanded: 1 or 0; endedit: text
};

// callback: function(window, message) or function(object, window, message);
// it may fail (not handled).
struct TreeCallback {
  void* function;
  void* object;
};
using TreeCallbackFunction = void (*)(LONG_PTR window, const TreeMessage* message);
using TreeCallbackMethod = void (*)(void* object, LONG_PTR window, const TreeMessage* message);

class kwiTreeView {
 public:
  static const ClassInfo classInfo;
  static const ExceptionDescriptor _badidentifierexception;

  // Registration and binding.
  static void register_();
  static void init(LONG_PTR window, const QEL_KWI::ilist_struct* styleFlags,
                   const BitmapIdTerm* imageBitmap, const TreeCallback* callback);

  // Insertion, deletion, sorting.
  static void insert_tree_list(LONG_PTR window, uint32_t parentId, const InsertPlace* place,
                               const TreeList* trees);
  static void insert_tree(LONG_PTR window, uint32_t parentId, const InsertPlace* place,
                          const TreeTerm* tree);
  static void insert_item(LONG_PTR window, uint32_t itemId, uint32_t parentId,
                          const InsertPlace* place, const wchar_t* text,
                          const ItemStateList* state, const BitmapIdTerm* bitmap,
                          const BitmapIdTerm* selectedBitmap);
  static void delete_item(LONG_PTR window, uint32_t itemId);
  static void sort_children(LONG_PTR window, uint32_t itemId);

  // Reading.
  static void get_item(LONG_PTR window, uint32_t itemId, const wchar_t** text,
                       const ItemStateList** state, const BitmapIdTerm** bitmap,
                       const BitmapIdTerm** selectedBitmap);
  static const TreeList* get_all(LONG_PTR window);
  static const TreeList* get_part(LONG_PTR window, uint32_t itemId);
  static uint32_t get_count(LONG_PTR window);
  static bool itemidexist(LONG_PTR window, uint32_t itemId);
  static void get_position(LONG_PTR window, int32_t x, int32_t y, uint32_t* itemId,
                           TreePosition* position);

  // Navigation: 0 when there is no such item.
  static uint32_t get_selected(LONG_PTR window);
  static uint32_t get_child(LONG_PTR window, uint32_t itemId);
  static uint32_t get_next(LONG_PTR window, uint32_t itemId);
  static uint32_t get_previous(LONG_PTR window, uint32_t itemId);
  static uint32_t get_parent(LONG_PTR window, uint32_t itemId);

  // Changing and showing items.
  static void expand(LONG_PTR window, uint32_t itemId);
  static void select(LONG_PTR window, uint32_t itemId);
  static void unselect(LONG_PTR window);
  static void firstvisible(LONG_PTR window, uint32_t itemId);
  static void ensure_visible(LONG_PTR window, uint32_t itemId);
  static void edit_begin(LONG_PTR window, uint32_t itemId);
  static void edit_end(LONG_PTR window);
  static uint32_t get_indent(LONG_PTR window);
  static void set_indent(LONG_PTR window, uint32_t indent);
  static void set_item(LONG_PTR window, uint32_t itemId, const wchar_t* text,
                       const ItemStateList* state, const BitmapIdTerm* bitmap,
                       const BitmapIdTerm* selectedBitmap);

  // Subclass handler and raw messages.
  static void set_subclasshandler(LONG_PTR window, const QEL_KWI::PROLOG_EHANDLER_STRUCT* handler);
  // Null (fails) when the window has none.
  static const QEL_KWI::PROLOG_EHANDLER_STRUCT* trygetsubclasshandler(LONG_PTR window);
  static LRESULT send_native(LONG_PTR window, UINT message, WPARAM wParam, LPARAM lParam);

  // The native side, also used by the class's own event handler.
  static uint32_t itemstate_tonative(const ItemStateList* state);
  static const ItemStateList* itemstate_fromnative(uint32_t native);
  static TreePosition getposition_fromnative(uint32_t native);
  // Null (fails) when the window has no native control.
  static HWND trygetnativewindow(LONG_PTR window);
  static HWND getnativewindow(LONG_PTR window);
  static LONG_PTR _handleevent(LONG_PTR window, QEL_KWI::event_struct* event);
};

}  // namespace tav
