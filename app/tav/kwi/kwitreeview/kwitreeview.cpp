// kwiTreeView.  Invariants: every live item of a bound window has exactly one
// entry in its window's id map (handle, parent, sibling links) and the
// reverse map, and is in its parent's child chain unless it is top level;
// the bitmap cache keeps assertion order, so a lookup by key or by image
// index takes the first entry; window records and cache cells live in
// uncollectable heap blocks (they hold callbacks, pictures and file names
// the collector must see), the id maps only numbers.
#include "kwi/kwitreeview/kwitreeview.h"

#include <cwchar>
#include <unordered_map>

#include "exception/exception.h"

namespace tav {

using namespace QEL_KWI;
using K::RunTrapped;
using K::Succeeds;

const ClassInfo kwiTreeView::classInfo{L"com/corvane/kwi/kwiTreeView/kwiTreeView",
                                       TAV_CLASS_VERSION};
const ExceptionDescriptor kwiTreeView::_badidentifierexception{
    &kwiTreeView::classInfo, L"badidentifierexception", L"bad Identifier"};

namespace {

constexpr uint32_t kTextUnits = 1000;

// An item's handle and its place among its parent's children, as ids (0:
// none).  Top-level items have parent 0 and are in no sibling chain.
struct ItemLinks {
  HTREEITEM handle;
  uint32_t parent, firstChild, prev, next;
};

struct ItemMaps {
  std::unordered_map<uint32_t, ItemLinks> byId;
  std::unordered_map<HTREEITEM, uint32_t> idOf;
};

struct CallbackCell {
  TreeCallback callback;
  CallbackCell* next;
};

struct BitmapCell {
  BitmapIdTerm key;  // a filename's text is a heap copy
  int32_t index;
  BitmapCell* next;
};

struct WindowFacts {
  LONG_PTR window;
  HWND native;
  bool hasNative;
  CallbackCell* callbacks;
  PROLOG_EHANDLER_STRUCT subclass;
  bool hasSubclass;
  bool hasImages;
  uint32_t width, height;
  HIMAGELIST images;
  BitmapCell* bitmaps;
  ItemMaps* items;
  WindowFacts* next;
};

WindowFacts* g_windows = nullptr;
bool g_registered = false;

WindowFacts* Find(LONG_PTR window) {
  for (WindowFacts* f = g_windows; f; f = f->next)
    if (f->window == window) return f;
  return nullptr;
}

WindowFacts* FindOrAdd(LONG_PTR window) {
  if (WindowFacts* f = Find(window)) return f;
  auto* f = static_cast<WindowFacts*>(K::Memory::AllocUncollectableHeap(sizeof(WindowFacts)));
  memset(f, 0, sizeof *f);
  f->window = window;
  f->items = new ItemMaps;
  f->next = g_windows;
  g_windows = f;
  return f;
}

void Forget(LONG_PTR window) {
  for (WindowFacts** p = &g_windows; *p; p = &(*p)->next) {
    if ((*p)->window != window) continue;
    WindowFacts* f = *p;
    *p = f->next;
    delete f->items;
    for (CallbackCell* c = f->callbacks; c;) {
      CallbackCell* n = c->next;
      K::Memory::ReleaseHeap(c);
      c = n;
    }
    for (BitmapCell* c = f->bitmaps; c;) {
      BitmapCell* n = c->next;
      K::Memory::ReleaseHeap(c);
      c = n;
    }
    K::Memory::ReleaseHeap(f);
    return;
  }
}

// --- Errors --------------------------------------------------------------------------

[[noreturn]] void Internal(const wchar_t* predicate, const wchar_t* message) {
  T::TEllipsisArgs<1> args;
  args.SetTerm(0, D(domains::string), message);
  common_exception::raise_error(&kwiTreeView::classInfo, predicate, args);
}

[[noreturn]] void BadIdentifier() {
  TAV_AT();
  exception::raise(&kwiTreeView::classInfo, &kwiTreeView::_badidentifierexception);
}

// The runtime's range error unless 0 <= v <= 2147483647.
void CheckSignedRange(int64_t v) {
  if (v < 0 || v > INT32_MAX)
    T::Check_IU_Range(reinterpret_cast<const T::TIntegralDomainDefinition*>(&domains::integer),
                      0x80000000u);
}

// --- Identifiers and handles ---------------------------------------------------------

ItemMaps& Items(LONG_PTR window) { return *FindOrAdd(window)->items; }

HTREEITEM HandleOf(LONG_PTR window, uint32_t id) {
  if (id == 0) return TVI_ROOT;
  WindowFacts* f = Find(window);
  if (f) {
    auto it = f->items->byId.find(id);
    if (it != f->items->byId.end()) return it->second.handle;
  }
  BadIdentifier();
}

uint32_t IdOf(LONG_PTR window, HTREEITEM h) {
  WindowFacts* f = Find(window);
  if (!f || !h) return 0;
  auto it = f->items->idOf.find(h);
  return it == f->items->idOf.end() ? 0 : it->second;
}

HTREEITEM InsertAfter(LONG_PTR window, const InsertPlace* place) {
  switch (place->functor) {
    case 1: return TVI_FIRST;
    case 3: return TVI_SORT;
    case 4: return HandleOf(window, place->after);
    default: return TVI_LAST;
  }
}

void Remember(LONG_PTR window, uint32_t id, uint32_t parentId, HTREEITEM h) {
  ItemMaps& m = Items(window);
  ItemLinks links{h, 0, 0, 0, 0};
  auto parent = parentId != 0 ? m.byId.find(parentId) : m.byId.end();
  if (parent != m.byId.end()) {
    links.parent = parentId;
    links.next = parent->second.firstChild;
    if (links.next != 0) m.byId.find(links.next)->second.prev = id;
    parent->second.firstChild = id;
  }
  m.byId.emplace(id, links);
  m.idOf.emplace(h, id);
}

// Forgets an item and, depth first, its descendants; the item's own sibling
// chain is left to the caller.
void ForgetSubtree(ItemMaps& m, uint32_t id) {
  auto it = m.byId.find(id);
  if (it == m.byId.end()) return;
  const ItemLinks links = it->second;
  m.idOf.erase(links.handle);
  m.byId.erase(it);
  for (uint32_t c = links.firstChild; c != 0;) {
    auto child = m.byId.find(c);
    if (child == m.byId.end()) break;
    const uint32_t next = child->second.next;
    ForgetSubtree(m, c);
    c = next;
  }
}

// Forgets an item and its descendants and takes it out of its parent's chain.
void ClearItem(ItemMaps& m, uint32_t id) {
  auto it = m.byId.find(id);
  if (it == m.byId.end()) return;
  const ItemLinks links = it->second;
  if (links.prev != 0) m.byId.find(links.prev)->second.next = links.next;
  if (links.next != 0) m.byId.find(links.next)->second.prev = links.prev;
  if (links.parent != 0) {
    auto parent = m.byId.find(links.parent);
    if (parent != m.byId.end() && parent->second.firstChild == id)
      parent->second.firstChild = links.next;
  }
  ForgetSubtree(m, id);
}

void ClearAllItems(ItemMaps& m) { m = ItemMaps(); }

// --- States and positions ------------------------------------------------------------

constexpr uint32_t kStateBits[] = {0x02, 0x04, 0x08, 0x10, 0x20};

struct PositionRow {
  uint32_t native;
  TreePosition position;
};
constexpr PositionRow kPositions[] = {
    {0x001, TreePosition::nowhere},      {0x002, TreePosition::onitemicon},
    {0x004, TreePosition::onitemlabel},  {0x008, TreePosition::onitemindent},
    {0x010, TreePosition::onitembutton}, {0x020, TreePosition::onitemright},
    {0x040, TreePosition::onitemstateicon}, {0x100, TreePosition::above},
    {0x200, TreePosition::below},        {0x400, TreePosition::toright},
    {0x800, TreePosition::toleft}};

// --- Images --------------------------------------------------------------------------

HINSTANCE Instance() { return reinterpret_cast<HINSTANCE>(kwi_GetAttrVal(10001)); }

picture PictGet(const BitmapIdTerm* b) {
  switch (b->functor) {
    case 1: return kwi::pictgetfromres(static_cast<uint32_t>(b->payload));
    case 2: return pict_Load(reinterpret_cast<const wchar_t*>(b->payload));
    default: return reinterpret_cast<picture>(b->payload);
  }
}

bool SameBitmap(const BitmapIdTerm* a, const BitmapIdTerm* b) {
  if (a->functor != b->functor) return false;
  switch (a->functor) {
    case 1: return static_cast<uint32_t>(a->payload) == static_cast<uint32_t>(b->payload);
    case 2:
      return wcscmp(reinterpret_cast<const wchar_t*>(a->payload),
                    reinterpret_cast<const wchar_t*>(b->payload)) == 0;
    default: return a->payload == b->payload;
  }
}

HBITMAP LoadBitmapOf(const BitmapIdTerm* b, uint32_t width, uint32_t height) {
  switch (b->functor) {
    case 1:
      return static_cast<HBITMAP>(LoadImageW(Instance(),
                                             MAKEINTRESOURCEW(static_cast<uint32_t>(b->payload)),
                                             IMAGE_BITMAP, static_cast<int>(width),
                                             static_cast<int>(height), LR_LOADTRANSPARENT));
    case 2:
      return static_cast<HBITMAP>(LoadImageW(Instance(), reinterpret_cast<const wchar_t*>(b->payload),
                                             IMAGE_BITMAP, static_cast<int>(width),
                                             static_cast<int>(height),
                                             LR_LOADTRANSPARENT | LR_LOADFROMFILE));
    default: return pict_ToBmpHandle(reinterpret_cast<picture>(b->payload));
  }
}

int32_t BitmapIndex(LONG_PTR window, const BitmapIdTerm* b) {
  WindowFacts* f = Find(window);
  BitmapCell** end = nullptr;
  if (f) {
    end = &f->bitmaps;
    for (BitmapCell* c = f->bitmaps; c; c = c->next) {
      if (SameBitmap(&c->key, b)) return c->index;
      end = &c->next;
    }
  }
  if (!f || !f->hasImages) {
    TAV_AT();
    Internal(L"kwiTreeView::get_bitmap_index", L"ImageList does not exist");
  }
  CheckSignedRange(f->width);
  CheckSignedRange(f->height);
  HBITMAP bmp = LoadBitmapOf(b, f->width, f->height);
  const int32_t index = ImageList_Add(f->images, bmp, nullptr);
  auto* cell = static_cast<BitmapCell*>(K::Memory::AllocUncollectableHeap(sizeof(BitmapCell)));
  cell->key = *b;
  if (b->functor == 2)
    cell->key.payload = reinterpret_cast<uint64_t>(HeapCopy(reinterpret_cast<const wchar_t*>(b->payload)));
  cell->index = index;
  cell->next = nullptr;
  *end = cell;
  if (bmp) DeleteObject(bmp);
  return index;
}

// The first cached bitmap at an image index, copied to the global stack.
const BitmapIdTerm* BitmapAt(LONG_PTR window, int32_t index) {
  if (WindowFacts* f = Find(window))
    for (BitmapCell* c = f->bitmaps; c; c = c->next)
      if (c->index == index) {
        auto* t = static_cast<BitmapIdTerm*>(GStackAlloc(sizeof(BitmapIdTerm)));
        *t = c->key;
        return t;
      }
  TAV_AT();
  Internal(L"kwiTreeView::get_item", L"bitmap_index_db did not have an entry");
}

void CreateImageList(LONG_PTR window, const BitmapIdTerm* b) {
  picture p = PictGet(b);
  int width = 0, height = 0, size = 0;
  pict_GetSize(p, &width, &height, &size);
  // A picture the caller handed in stays the caller's.
  if (b->functor != 3) pict_Destroy(p);
  HIMAGELIST list = ImageList_Create(width, height, 0, 5, 10);
  kwiTreeView::send_native(window, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(list));
  T::Check_UI_Range(reinterpret_cast<const T::TIntegralDomainDefinition*>(&domains::unsigned_), width);
  T::Check_UI_Range(reinterpret_cast<const T::TIntegralDomainDefinition*>(&domains::unsigned_), height);
  WindowFacts* f = FindOrAdd(window);
  if (f->hasImages) return;  // the first image list stays in use
  f->hasImages = true;
  f->width = static_cast<uint32_t>(width);
  f->height = static_cast<uint32_t>(height);
  f->images = list;
}

// --- Native items --------------------------------------------------------------------

LRESULT SendIndex(LONG_PTR window, UINT message, WPARAM wParam, HTREEITEM h) {
  return kwiTreeView::send_native(window, message, wParam, reinterpret_cast<LPARAM>(h));
}

void SetBitmaps(LONG_PTR window, uint32_t id, const BitmapIdTerm* bitmap,
                const BitmapIdTerm* selected) {
  const int32_t image = BitmapIndex(window, bitmap);
  const int32_t selectedImage = BitmapIndex(window, selected);
  TVITEMW item{};
  item.mask = TVIF_IMAGE | TVIF_HANDLE | TVIF_SELECTEDIMAGE;
  item.hItem = HandleOf(window, id);
  item.pszText = const_cast<wchar_t*>(L"");
  item.iImage = image;
  item.iSelectedImage = selectedImage;
  kwiTreeView::send_native(window, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

int TextLength(const wchar_t* text) {
  const size_t n = text ? wcslen(text) : 0;
  return n > INT32_MAX ? INT32_MAX : static_cast<int>(n);
}

HTREEITEM AddItem(LONG_PTR window, uint32_t parentId, HTREEITEM parent, HTREEITEM after,
                  const TreeTerm* tree);

void AddItemList(LONG_PTR window, uint32_t parentId, HTREEITEM parent, HTREEITEM after,
                 const TreeList* trees) {
  for (const TreeList* l = trees; l && l->functor == 1; l = l->next) {
    HTREEITEM h = AddItem(window, parentId, parent, after, l->head);
    // Each tree goes after the one before it.  When that one went last,
    // TVI_LAST places the same and spares the control a linear search for
    // the handle.
    if (after != TVI_SORT && after != TVI_LAST) after = h;
  }
}

HTREEITEM AddItem(LONG_PTR window, uint32_t parentId, HTREEITEM parent, HTREEITEM after,
                  const TreeTerm* tree) {
  if (kwiTreeView::itemidexist(window, tree->id)) {
    TAV_AT();
    Internal(L"kwiTreeView::checkitem_notexist", L"Item already exist");
  }
  TVINSERTSTRUCTW ins{};
  ins.hParent = parent;
  ins.hInsertAfter = after;
  ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_PARAM | TVIF_STATE | TVIF_SELECTEDIMAGE;
  ins.item.state = kwiTreeView::itemstate_tonative(tree->state);
  ins.item.stateMask = 0xFFFF;
  ins.item.iImage = BitmapIndex(window, tree->bitmap);
  ins.item.iSelectedImage = BitmapIndex(window, tree->selectedBitmap);
  ins.item.pszText = const_cast<wchar_t*>(tree->text ? tree->text : L"");
  ins.item.cchTextMax = TextLength(tree->text);
  auto h = reinterpret_cast<HTREEITEM>(
      kwiTreeView::send_native(window, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins)));
  Remember(window, tree->id, parentId, h);
  AddItemList(window, tree->id, h, after == TVI_SORT ? TVI_SORT : TVI_LAST, tree->children);
  return h;
}

uint32_t NextItem(LONG_PTR window, WPARAM code, HTREEITEM h) {
  return IdOf(window, reinterpret_cast<HTREEITEM>(SendIndex(window, TVM_GETNEXTITEM, code, h)));
}

const TreeList* Nil() {
  auto* l = static_cast<TreeList*>(GStackAlloc(sizeof(TreeList)));
  *l = {2, nullptr, nullptr};
  return l;
}

const TreeList* TreeListFrom(LONG_PTR window, uint32_t id);

const TreeTerm* TreeOf(LONG_PTR window, uint32_t id) {
  const uint32_t first = kwiTreeView::get_child(window, id);
  const TreeList* children = first ? TreeListFrom(window, first) : Nil();
  auto* t = static_cast<TreeTerm*>(GStackAlloc(sizeof(TreeTerm)));
  t->functor = 1;
  t->id = id;
  t->children = children;
  kwiTreeView::get_item(window, id, &t->text, &t->state, &t->bitmap, &t->selectedBitmap);
  return t;
}

// The trees of an item and its following siblings, in display order.
const TreeList* TreeListFrom(LONG_PTR window, uint32_t id) {
  const TreeList* head = nullptr;
  TreeList** tail = const_cast<TreeList**>(&head);
  for (uint32_t i = id; i != 0; i = kwiTreeView::get_next(window, i)) {
    auto* cell = static_cast<TreeList*>(GStackAlloc(sizeof(TreeList)));
    cell->functor = 1;
    cell->head = TreeOf(window, i);
    cell->next = nullptr;
    *tail = cell;
    tail = const_cast<TreeList**>(&cell->next);
  }
  *tail = const_cast<TreeList*>(Nil());
  return head;
}

// --- Events --------------------------------------------------------------------------

const T::REllipsisArg* NoArgs() {
  static const T::TEllipsisArgs<0> none;
  return none;
}

// Runs a closure call under a trap; an error is continued naming `predicate`.
template <class Call>
bool CallTrapped(const wchar_t* predicate, Call&& call) {
  volatile bool handled = false;
  const uint32_t code = RunTrapped([&] { handled = Succeeds(call); });
  if (code != 0) {
    TAV_AT();
    common_exception::continue_unknown(code, &kwiTreeView::classInfo, predicate, NoArgs());
  }
  return handled;
}

bool InvokeCallback(LONG_PTR window, const TreeMessage* message) {
  WindowFacts* f = Find(window);
  if (!f || !f->callbacks) return false;
  const TreeCallback cb = f->callbacks->callback;
  return CallTrapped(L"kwiTreeView::invokecallback", [&] {
    if (cb.object)
      reinterpret_cast<TreeCallbackMethod>(cb.function)(cb.object, window, message);
    else
      reinterpret_cast<TreeCallbackFunction>(cb.function)(window, message);
  });
}

bool InvokeSubclassHandler(LONG_PTR window, event_struct* event, LONG_PTR* result) {
  WindowFacts* f = Find(window);
  if (!f || !f->hasSubclass) return false;
  const PROLOG_EHANDLER_STRUCT h = f->subclass;
  volatile LONG_PTR r = 0;
  const bool handled = CallTrapped(L"kwiTreeView::invokesubclasshandler", [&] {
    r = h.object ? reinterpret_cast<EventMethod>(h.function)(h.object, window, event)
                 : reinterpret_cast<EventFunction>(h.function)(window, event);
  });
  *result = static_cast<uint32_t>(r);
  return handled;
}

pnt_struct* MousePos(LONG_PTR window) {
  HWND native = kwiTreeView::getnativewindow(window);
  POINT p{};
  GetCursorPos(&p);
  ScreenToClient(native, &p);
  auto* pt = static_cast<pnt_struct*>(GStackAlloc(sizeof(pnt_struct)));
  *pt = {p.x, p.y};
  return pt;
}

// Notification codes as the signed numbers the header carries.
constexpr int Signed(UINT code) { return static_cast<int>(code); }

// The message of a notification; false for codes not handled.
bool MessageOf(LONG_PTR window, const NMHDR* header, TreeMessage* m) {
  using MK = TreeMessageKind;
  const auto* tv = reinterpret_cast<const NMTREEVIEWW*>(header);
  const auto* disp = reinterpret_cast<const NMTVDISPINFOW*>(header);
  auto point = [&](MK kind) { *m = {kind, reinterpret_cast<LONG_PTR>(MousePos(window)), 0}; };
  auto change = [&](MK kind) {
    *m = {kind, IdOf(window, tv->itemOld.hItem), IdOf(window, tv->itemNew.hItem)};
  };
  auto expansion = [&](MK kind) {
    *m = {kind, IdOf(window, tv->itemNew.hItem), (tv->itemNew.state & TVIS_EXPANDED) ? 1 : 0};
  };
  switch (static_cast<int>(header->code)) {
    case Signed(NM_OUTOFMEMORY): *m = {MK::outofmemory, 0, 0}; return true;
    case Signed(NM_CLICK): point(MK::click); return true;
    case Signed(NM_DBLCLK): point(MK::dblclick); return true;
    case Signed(NM_RETURN): *m = {MK::return_, kwiTreeView::get_selected(window), 0}; return true;
    case Signed(NM_RCLICK): point(MK::rclick); return true;
    case Signed(NM_RDBLCLK): point(MK::rdblclick); return true;
    case Signed(NM_SETFOCUS): *m = {MK::setfocus, 0, 0}; return true;
    case Signed(NM_KILLFOCUS): *m = {MK::losefocus, 0, 0}; return true;
    case Signed(TVN_SELCHANGINGW):
    case Signed(TVN_SELCHANGINGA): change(MK::selecting); return true;
    case Signed(TVN_SELCHANGEDW):
    case Signed(TVN_SELCHANGEDA): change(MK::selected); return true;
    case Signed(TVN_ITEMEXPANDINGW): expansion(MK::expanding); return true;
    case Signed(TVN_ITEMEXPANDEDW):
    case Signed(TVN_ITEMEXPANDEDA): expansion(MK::expanded); return true;
    case Signed(TVN_BEGINLABELEDITW): *m = {MK::edit, IdOf(window, disp->item.hItem), 0}; return true;
    case Signed(TVN_ENDLABELEDITW): {
      const LONG_PTR id = IdOf(window, disp->item.hItem);
      // The control's edit buffer dies with the notification: the callback
      // gets a heap copy that it may keep.
      if (disp->item.pszText)
        *m = {MK::endedit, id,
              reinterpret_cast<LONG_PTR>(K::Memory::CopyStringToHeap(disp->item.pszText))};
      else
        *m = {MK::endeditcanceled, id, 0};
      return true;
    }
    case Signed(TVN_KEYDOWN):
      *m = {MK::keydown,
            static_cast<int16_t>(reinterpret_cast<const NMTVKEYDOWN*>(header)->wVKey), 0};
      return true;
    default: return false;
  }
}

// The answer to the control, or false (the default answer 0).
bool OnNotify(LONG_PTR window, LPARAM lParam, LONG_PTR* result) {
  TreeMessage m{};
  if (!MessageOf(window, reinterpret_cast<const NMHDR*>(lParam), &m)) return false;
  const bool endedit = m.kind == TreeMessageKind::endedit;
  if (InvokeCallback(window, &m)) {
    win_ReleaseMouse();
    kwi::cursorset(window, 1);
    *result = endedit ? 0 : 1;
    return true;
  }
  *result = 1;
  return endedit;
}

bool OnState(HWND native, const LONG_PTR* info) {
  enum : uintptr_t { font = 1, text, disabled, enabled, invisible, visible };
  switch (static_cast<uintptr_t>(info[0])) {
    case font: win_SetFont(reinterpret_cast<LONG_PTR>(native), reinterpret_cast<uint8_t*>(info[1])); return true;
    case visible: ShowWindow(native, SW_SHOW); return true;
    case invisible: ShowWindow(native, SW_HIDE); return true;
    case disabled: EnableWindow(native, FALSE); return true;
    case enabled: EnableWindow(native, TRUE); return true;
    default: return false;
  }
}

void OnDestroy(LONG_PTR window) {
  if (WindowFacts* f = Find(window))
    if (f->hasImages) ImageList_Destroy(f->images);
  Forget(window);
}

}  // namespace

// --- Registration and binding ----------------------------------------------------------

void kwiTreeView::register_() {
  if (g_registered) return;
  InitCommonControls();
  static PROLOG_EHANDLER_STRUCT handler{reinterpret_cast<void*>(&kwiTreeView::_handleevent), nullptr};
  class_Create(L"treeView", &handler);
  g_registered = true;
}

void kwiTreeView::init(LONG_PTR window, const ilist_struct* styleFlags,
                       const BitmapIdTerm* imageBitmap, const TreeCallback* callback) {
  if (!g_registered) {
    TAV_AT();
    Internal(L"kwiTreeView::check_register", L"Tree window class has not been registred");
  }
  win_EnableHook(window, 1);
  WindowFacts* f = FindOrAdd(window);
  auto* cell = static_cast<CallbackCell*>(K::Memory::AllocUncollectableHeap(sizeof(CallbackCell)));
  *cell = {*callback, nullptr};
  CallbackCell** end = &f->callbacks;
  while (*end) end = &(*end)->next;
  *end = cell;

  // The native control over the window's client area.
  uint64_t style = WS_VISIBLE | WS_CHILD;
  for (const ilist_struct* l = styleFlags; l && l->functor == ListCons; l = l->next) {
    CheckSignedRange(l->value);
    style |= static_cast<uint64_t>(l->value);
  }
  CheckSignedRange(static_cast<int64_t>(style));
  const rect_struct* r = win_GetClientRect(window);
  HWND native = CreateWindowExW(0, WC_TREEVIEWW, L"TreeWiev", static_cast<DWORD>(style), r->left,
                                r->top, r->right - r->left, r->bottom - r->top,
                                reinterpret_cast<HWND>(window), nullptr, Instance(), nullptr);
  if (f->hasNative) {
    if (native) DestroyWindow(native);
    TAV_AT();
    Internal(L"kwiTreeView::setnativewindow", L"Native window already exists");
  }
  f->native = native;
  f->hasNative = true;
  CreateImageList(window, imageBitmap);

  // The parent's font, passed on to the control; an error here is dropped.
  const uint32_t code = RunTrapped([&] { win_SetFont(window, win_GetFont(win_GetParent(window))); });
  if (code != 0) RunTrapped([&] { exception::clear(code); });
}

// --- Insertion, deletion, sorting -------------------------------------------------------

void kwiTreeView::insert_tree_list(LONG_PTR window, uint32_t parentId, const InsertPlace* place,
                                   const TreeList* trees) {
  HTREEITEM parent = HandleOf(window, parentId);
  HTREEITEM after = InsertAfter(window, place);
  getnativewindow(window);
  AddItemList(window, parentId, parent, after, trees);
  if (parentId == 0) return;
  const wchar_t* text;
  const ItemStateList* state;
  const BitmapIdTerm *bitmap, *selected;
  get_item(window, parentId, &text, &state, &bitmap, &selected);
  set_item(window, parentId, text, state, bitmap, selected);
}

void kwiTreeView::insert_tree(LONG_PTR window, uint32_t parentId, const InsertPlace* place,
                              const TreeTerm* tree) {
  auto* nil = Nil();
  auto* one = static_cast<TreeList*>(GStackAlloc(sizeof(TreeList)));
  *one = {1, tree, nil};
  insert_tree_list(window, parentId, place, one);
}

void kwiTreeView::insert_item(LONG_PTR window, uint32_t itemId, uint32_t parentId,
                              const InsertPlace* place, const wchar_t* text,
                              const ItemStateList* state, const BitmapIdTerm* bitmap,
                              const BitmapIdTerm* selectedBitmap) {
  auto* t = static_cast<TreeTerm*>(GStackAlloc(sizeof(TreeTerm)));
  *t = {1, itemId, state, bitmap, selectedBitmap, text, Nil()};
  insert_tree(window, parentId, place, t);
}

void kwiTreeView::delete_item(LONG_PTR window, uint32_t itemId) {
  HTREEITEM h = HandleOf(window, itemId);
  SendIndex(window, TVM_DELETEITEM, 0, h);
  ItemMaps& m = Items(window);
  if (itemId == 0)
    ClearAllItems(m);  // the root: the control is empty now
  else
    ClearItem(m, itemId);
}

void kwiTreeView::sort_children(LONG_PTR window, uint32_t itemId) {
  SendIndex(window, TVM_SORTCHILDREN, 0, HandleOf(window, itemId));
}

// --- Reading -----------------------------------------------------------------------------

void kwiTreeView::get_item(LONG_PTR window, uint32_t itemId, const wchar_t** text,
                           const ItemStateList** state, const BitmapIdTerm** bitmap,
                           const BitmapIdTerm** selectedBitmap) {
  TVITEMW item{};
  item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_STATE | TVIF_SELECTEDIMAGE;
  item.hItem = HandleOf(window, itemId);
  item.stateMask = 0xFFFF;
  wchar_t* buffer = K::Memory::AllocGStackString(kTextUnits);
  wmemset(buffer, L' ', kTextUnits);
  buffer[kTextUnits] = 0;
  item.pszText = buffer;
  item.cchTextMax = kTextUnits;
  send_native(window, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  *text = item.pszText;
  *state = itemstate_fromnative(item.state);
  *bitmap = BitmapAt(window, item.iImage);
  *selectedBitmap = BitmapAt(window, item.iSelectedImage);
}

const TreeList* kwiTreeView::get_all(LONG_PTR window) {
  const uint32_t first = get_child(window, 0);
  return first ? TreeListFrom(window, first) : Nil();
}

const TreeList* kwiTreeView::get_part(LONG_PTR window, uint32_t itemId) {
  if (itemId == 0) BadIdentifier();
  HandleOf(window, itemId);
  auto* one = static_cast<TreeList*>(GStackAlloc(sizeof(TreeList)));
  const TreeTerm* t = TreeOf(window, itemId);
  *one = {1, t, Nil()};
  return one;
}

uint32_t kwiTreeView::get_count(LONG_PTR window) {
  return static_cast<uint32_t>(send_native(window, TVM_GETCOUNT, 0, 0));
}

bool kwiTreeView::itemidexist(LONG_PTR window, uint32_t itemId) {
  WindowFacts* f = Find(window);
  return f && f->items->byId.count(itemId) != 0;
}

void kwiTreeView::get_position(LONG_PTR window, int32_t x, int32_t y, uint32_t* itemId,
                               TreePosition* position) {
  TVHITTESTINFO hit{};
  hit.pt = {x, y};
  send_native(window, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
  *itemId = IdOf(window, hit.hItem);
  *position = getposition_fromnative(hit.flags);
}

// --- Navigation ---------------------------------------------------------------------------

uint32_t kwiTreeView::get_selected(LONG_PTR window) { return NextItem(window, TVGN_CARET, nullptr); }
uint32_t kwiTreeView::get_child(LONG_PTR window, uint32_t itemId) {
  return NextItem(window, TVGN_CHILD, HandleOf(window, itemId));
}
uint32_t kwiTreeView::get_next(LONG_PTR window, uint32_t itemId) {
  return NextItem(window, TVGN_NEXT, HandleOf(window, itemId));
}
uint32_t kwiTreeView::get_previous(LONG_PTR window, uint32_t itemId) {
  return NextItem(window, TVGN_PREVIOUS, HandleOf(window, itemId));
}
uint32_t kwiTreeView::get_parent(LONG_PTR window, uint32_t itemId) {
  if (itemId == 0) BadIdentifier();
  return NextItem(window, TVGN_PARENT, HandleOf(window, itemId));
}

// --- Changing and showing items -----------------------------------------------------------

void kwiTreeView::expand(LONG_PTR window, uint32_t itemId) {
  SendIndex(window, TVM_EXPAND, TVE_TOGGLE, HandleOf(window, itemId));
}
void kwiTreeView::select(LONG_PTR window, uint32_t itemId) {
  SendIndex(window, TVM_SELECTITEM, TVGN_CARET, HandleOf(window, itemId));
}
void kwiTreeView::unselect(LONG_PTR window) { send_native(window, TVM_SELECTITEM, TVGN_CARET, 0); }
void kwiTreeView::firstvisible(LONG_PTR window, uint32_t itemId) {
  SendIndex(window, TVM_SELECTITEM, TVGN_FIRSTVISIBLE, HandleOf(window, itemId));
}
void kwiTreeView::ensure_visible(LONG_PTR window, uint32_t itemId) {
  SendIndex(window, TVM_ENSUREVISIBLE, 0, HandleOf(window, itemId));
}
void kwiTreeView::edit_begin(LONG_PTR window, uint32_t itemId) {
  SendIndex(window, TVM_EDITLABELW, 0, HandleOf(window, itemId));
}
void kwiTreeView::edit_end(LONG_PTR window) { send_native(window, TVM_ENDEDITLABELNOW, 0, 0); }
uint32_t kwiTreeView::get_indent(LONG_PTR window) {
  return static_cast<uint32_t>(send_native(window, TVM_GETINDENT, 0, 0));
}
void kwiTreeView::set_indent(LONG_PTR window, uint32_t indent) {
  send_native(window, TVM_SETINDENT, indent, 0);
}

void kwiTreeView::set_item(LONG_PTR window, uint32_t itemId, const wchar_t* text,
                           const ItemStateList* state, const BitmapIdTerm* bitmap,
                           const BitmapIdTerm* selectedBitmap) {
  HTREEITEM h = HandleOf(window, itemId);
  SetBitmaps(window, itemId, bitmap, selectedBitmap);
  TVITEMW item{};
  item.mask = TVIF_TEXT | TVIF_STATE;
  item.hItem = h;
  item.state = itemstate_tonative(state);
  item.stateMask = 0xFFFF;
  item.pszText = const_cast<wchar_t*>(text ? text : L"");
  item.cchTextMax = TextLength(text);
  send_native(window, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

// --- Subclass handler and raw messages ------------------------------------------------------

void kwiTreeView::set_subclasshandler(LONG_PTR window, const PROLOG_EHANDLER_STRUCT* handler) {
  getnativewindow(window);
  WindowFacts* f = FindOrAdd(window);
  f->subclass = *handler;
  f->hasSubclass = true;
}

const PROLOG_EHANDLER_STRUCT* kwiTreeView::trygetsubclasshandler(LONG_PTR window) {
  getnativewindow(window);
  WindowFacts* f = Find(window);
  return f && f->hasSubclass ? &f->subclass : nullptr;
}

LRESULT kwiTreeView::send_native(LONG_PTR window, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND native = getnativewindow(window);
  event_struct e{};
  e.kind = e_native;
  e.w[0] = message;
  e.w[1] = static_cast<LONG_PTR>(wParam);
  e.w[2] = lParam;
  return win_SendEvent(reinterpret_cast<LONG_PTR>(native), &e);
}

// --- Native side --------------------------------------------------------------------------

uint32_t kwiTreeView::itemstate_tonative(const ItemStateList* state) {
  uint32_t bits = 0;
  for (const ItemStateList* l = state; l && l->functor == 1; l = l->next) {
    const auto i = static_cast<uint64_t>(l->flag) - 1;
    if (i < 5) bits |= kStateBits[i];
  }
  return bits;
}

const ItemStateList* kwiTreeView::itemstate_fromnative(uint32_t native) {
  auto* end = static_cast<ItemStateList*>(GStackAlloc(sizeof(ItemStateList)));
  *end = {2, ItemStateFlag{}, nullptr};
  const ItemStateList* list = end;
  for (int i = 4; i >= 0; --i) {
    if (!(native & kStateBits[i])) continue;
    auto* cell = static_cast<ItemStateList*>(GStackAlloc(sizeof(ItemStateList)));
    *cell = {1, static_cast<ItemStateFlag>(i + 1), list};
    list = cell;
  }
  return list;
}

TreePosition kwiTreeView::getposition_fromnative(uint32_t native) {
  for (const PositionRow& row : kPositions)
    if (row.native == native) return row.position;
  T::TEllipsisArgs<2> args;
  args.SetTerm(0, D(domains::string), L"Unknown Native position:");
  args.SetValue(1, D(domains::unsigned_), native);
  TAV_AT();
  common_exception::raise_error(&classInfo, L"kwiTreeView::getposition_fromnative", args);
}

HWND kwiTreeView::trygetnativewindow(LONG_PTR window) {
  WindowFacts* f = Find(window);
  return f && f->hasNative ? f->native : nullptr;
}

HWND kwiTreeView::getnativewindow(LONG_PTR window) {
  WindowFacts* f = Find(window);
  if (!f || !f->hasNative) {
    TAV_AT();
    Internal(L"kwiTreeView::getnativewindow", L"Bad Window");
  }
  return f->native;
}

LONG_PTR kwiTreeView::_handleevent(LONG_PTR window, event_struct* event) {
  LONG_PTR result = 0;
  if (InvokeSubclassHandler(window, event, &result)) return result;
  HWND native = trygetnativewindow(window);
  switch (event->kind) {
    case e_native:
      if (event->w[0] == WM_NOTIFY && OnNotify(window, event->w[2], &result)) return result;
      break;
    case e_size:
      if (!native) break;
      MoveWindow(native, 0, 0, static_cast<int>(event->w[0]), static_cast<int>(event->w[1]), TRUE);
      return 0;
    case e_state:
      if (native && OnState(native, reinterpret_cast<const LONG_PTR*>(event->w[0]))) return 0;
      break;
    case e_getfocus:
      if (!native) break;
      SetFocus(native);
      return 0;
    case e_destroy: OnDestroy(window); break;
    default: break;
  }
  K::Fail();
}

}  // namespace tav
