// kwiMessage: the message window's class data (at most one of each fact, all
// forgotten when the window goes), its creation and placement with checked
// coordinate arithmetic, the string road with its flush timer, and the
// window's event handler with its pop-up menu.
#include "kwi/kwimessage/kwimessage.h"

#include <cwchar>

#include "exception/exception.h"
#include "kwi/kwi.h"
#include "memory/memory.h"
#include "kwi/kwimessage/outputstream_message.h"
#include "qel6edit.h"

namespace tav {

using namespace QEL_KWI;
namespace kd = kwidomains;

const ClassInfo kwiMessage::classInfo{L"com/corvane/kwi/message/kwiMessage", TAV_CLASS_VERSION};

namespace {

// The facts of mess_db; strings are heap copies.
struct MessDb {
  bool hasMaxLines = false;
  int32_t maxLines = 0;
  LONG_PTR window = 0;
  const wchar_t* buffer = nullptr;
  bool hasTimer = false;
  LONG_PTR timer = 0;
  bool hasNewRect = false;
  rect_struct newRect{};
  bool debug = false;
  bool hasSubclass = false;
  PROLOG_EHANDLER_STRUCT subclass{};
};
MessDb g_mess;

struct InitialSize {
  bool set = false;
  int32_t width = 0, height = 0, readOnly = 0;
} g_initial;

outputStream_message* g_stream = nullptr;

PROLOG_EHANDLER_STRUCT g_handler{reinterpret_cast<void*>(&kwiMessage::_mess_win_handler), nullptr};

int32_t Attr(int32_t attribute) { return static_cast<int32_t>(kwi_GetAttrVal(attribute)); }

bool MinimisedOrMaximised(LONG_PTR w) {
  const ilist_struct* state = win_GetState(w);
  return kd::Contains(state, 15) || kd::Contains(state, 14);
}

// `a` followed by `b` on the heap.
const wchar_t* HeapConcat(const wchar_t* a, const wchar_t* b) {
  const uint64_t na = wcslen(a), nb = wcslen(b);
  auto* s = static_cast<wchar_t*>(K::Memory::AllocAtomicHeap(memory::checksize((na + nb + 1) * 2)));
  wmemcpy(s, a, na);
  wmemcpy(s + na, b, nb + 1);
  return s;
}

// The immediate append of the string road.
void AppendNow(const wchar_t* text) {
  if (g_mess.hasMaxLines) QEL_EDIT::edit_AppendStr_1(g_mess.window, text, g_mess.maxLines);
  if (g_mess.debug) kwi::processevents();
}

void KillTimer() {
  if (!g_mess.hasTimer) return;
  g_mess.hasTimer = false;
  timer_Kill(g_mess.timer);
}

const wchar_t* TakeBuffer() {
  const wchar_t* b = g_mess.buffer;
  g_mess.buffer = nullptr;
  return b;
}

menu_item* TxtItem(int32_t id, const wchar_t* text, bool enabled) {
  static const menu_accelerator noAccelerator{1, 0, 0};
  auto* item = static_cast<menu_item*>(GStackAlloc(sizeof(menu_item)));
  auto* noItems = static_cast<menu_item_list_struct*>(GStackAlloc(sizeof(menu_item_list_struct)));
  *noItems = {ListNil, nullptr, nullptr};
  *item = {1, {id, reinterpret_cast<LONG_PTR>(text), reinterpret_cast<LONG_PTR>(&noAccelerator),
               enabled ? 1 : 0, 0, reinterpret_cast<LONG_PTR>(noItems)}};
  return item;
}

void PopUpMenu(LONG_PTR w, pnt_struct* at) {
  uint32_t from = 0, to = 0;
  QEL_EDIT::edit_GetSelection(w, &from, &to);
  menu_item* items[] = {
      TxtItem(kwiMessage::kCopy, L"&Copy", from != 0 || to != 0),
      TxtItem(kwiMessage::kSearch, L"&Search...", true),
      TxtItem(kwiMessage::kSearchAgain, L"Search &again", true),
      TxtItem(kwiMessage::kFont, L"&Font", true),
      TxtItem(kwiMessage::kClear, L"C&lear", true),
  };
  auto* cells = static_cast<menu_item_list_struct*>(GStackAlloc(6 * sizeof(menu_item_list_struct)));
  cells[5] = {ListNil, nullptr, nullptr};
  for (int i = 4; i >= 0; --i) cells[i] = {ListCons, items[i], &cells[i + 1]};
  auto* menu = static_cast<menu_struct*>(GStackAlloc(sizeof(menu_struct)));
  *menu = {2, reinterpret_cast<uintptr_t>(cells)};
  menu_PopUp(w, menu, at, 0);
}

// The pending rectangle applied; false when the command is not handled.
bool ApplyPendingRect(LONG_PTR w) {
  kwi::processevents(1);
  if (MinimisedOrMaximised(w) || !g_mess.hasNewRect) return false;
  rect_struct* r = kd::Rect(g_mess.newRect.left, g_mess.newRect.top, g_mess.newRect.right,
                            g_mess.newRect.bottom);
  g_mess.hasNewRect = false;
  win_Move(w, r);
  return true;
}

LONG_PTR Command(LONG_PTR w, event_struct* e) {
  const LONG_PTR id = e->w[0];
  switch (id) {
    case kwiMessage::kApplyRect:
      if (!ApplyPendingRect(w)) K::Fail();
      return 1;
    case kwiMessage::kCopy: QEL_EDIT::edit_Copy(w); return 1;
    case kwiMessage::kSearch: QEL_EDIT::edit_SearchDlg(w); return 1;
    case kwiMessage::kSearchAgain: QEL_EDIT::edit_SearchAgain(w); return 1;
    case kwiMessage::kFont: K::Succeeds([&] { QEL_EDIT::edit_SetFontDlg(w); }); return 1;
    case kwiMessage::kClear: kwiMessage::clear(); return 1;
    case 9064:
    case 9077:
    case 9079: K::Fail();
    default:
      // The parent's commands keep working while the message window has the focus.
      win_SendEvent(win_GetParent(w), e);
      return 1;
  }
}

LONG_PTR Tick(event_struct* e) {
  if (const wchar_t* b = TakeBuffer()) AppendNow(b);
  if (g_mess.hasTimer && g_mess.timer == e->w[0]) {
    KillTimer();
    return 1;
  }
  K::Fail();
}

}  // namespace

LONG_PTR kwiMessage::create(int32_t maxLines) { return create(maxLines, L"Messages"); }

LONG_PTR kwiMessage::create(int32_t maxLines, const wchar_t* title) {
  if (g_mess.window) return g_mess.window;
  g_mess = MessDb{};
  g_mess.hasMaxLines = true;
  g_mess.maxLines = maxLines;
  const LONG_PTR task = kwi_GetTaskWin();
  const rect_struct client = *win_GetClientRect(task);
  const int32_t bottom =
      SubChecked(SubChecked(SubChecked(client.bottom, 10), Attr(10004)), Attr(10005));
  const int32_t width = g_initial.set ? g_initial.width : SubChecked(client.right, 20);
  const int32_t height = g_initial.set ? g_initial.height : 100;
  const int32_t readOnly = g_initial.set ? g_initial.readOnly : 0;
  rect_struct* r = kd::Rect(10, SubChecked(bottom, height), AddChecked(10, width), bottom);
  uint8_t* font = kwi::fontcreatebyname(L"MS Sans Serif", 8);
  const LONG_PTR w = QEL_EDIT::edit_CreateWrap(wt_toplevel, r, title, kd::NoMenu(), task,
                                               kd::Ints({2, 4, 6, 5, 17, 18, 9, 7, 8}), font,
                                               readOnly, 1, 0, L"", 1, &g_handler);
  g_mess.window = w;
  QEL_EDIT::edit_StatusLineShow(w, 0);
  outputStream* s = getoutputstream();
  stdIO::setoutputstream(s);
  stdIO::seterrorstream(s);
  return w;
}

void kwiMessage::close() {
  if (g_mess.window) win_Destroy(g_mess.window);
}

LONG_PTR kwiMessage::trygetwin() { return g_mess.window; }

void kwiMessage::appendstr(const wchar_t* text) {
  if (!g_mess.window) return;
  if (wcschr(text, L'\n')) {
    KillTimer();
    if (const wchar_t* b = TakeBuffer()) text = HeapConcat(b, text);
    AppendNow(text);
    return;
  }
  g_mess.buffer = HeapConcat(g_mess.buffer ? g_mess.buffer : L"", text);
  if (!g_mess.hasTimer) {
    g_mess.timer = timer_Set(g_mess.window, 200);
    g_mess.hasTimer = true;
  }
}

void kwiMessage::write(const T::REllipsisArg* args) { getoutputstream()->write(args); }

void kwiMessage::writef(const wchar_t* format, const T::REllipsisArg* args) {
  getoutputstream()->writef(format, args);
}

outputStream* kwiMessage::getoutputstream() {
  if (!g_stream) g_stream = outputStream_message::New();
  return g_stream;
}

void kwiMessage::setlines(int32_t maxLines) {
  g_mess.hasMaxLines = true;
  g_mess.maxLines = maxLines;
  if (g_mess.window && QEL_EDIT::edit_GetNumberOfLines(g_mess.window) >= maxLines) clear();
}

void kwiMessage::clear() {
  if (!g_mess.window) return;
  QEL_EDIT::edit_PasteStr_1(g_mess.window, L"");
  QEL_EDIT::edit_GotoPos(g_mess.window, 1);
}

void kwiMessage::resize(LONG_PTR parent) {
  if (kd::Contains(win_GetState(parent), 15)) return;
  const bool mdi = kwi_GetAttrVal(10002) == 1;
  const int32_t leftInset = mdi ? Attr(10010) : 0;
  const int32_t topInset = mdi ? Attr(10004) : 0;
  const rect_struct client = *win_GetClientRect(parent);
  const int32_t bottom =
      SubChecked(SubChecked(SubChecked(client.bottom, 10), topInset), Attr(10005));
  const int32_t right =
      SubChecked(SubChecked(SubChecked(client.right, 10), leftInset), Attr(10011));
  rect_struct* r = kd::Rect(10, SubChecked(bottom, 100), right, bottom);
  if (g_mess.window && !MinimisedOrMaximised(g_mess.window)) {
    win_Move(g_mess.window, r);
    return;
  }
  g_mess.hasNewRect = true;
  g_mess.newRect = *r;
}

void kwiMessage::setfocus() {
  const LONG_PTR w = g_mess.window;
  if (!w || kd::Contains(win_GetState(w), 15)) return;
  const uint32_t code = K::RunTrapped([&] { win_SetFocus(w); });
  if (code != 0) {
    if (code >= kFirstTraceId) exception::clear(code);
    return;
  }
  kwi::processevents();
}

void kwiMessage::fastupdate(int32_t flag) {
  if (flag == 0) g_mess.debug = true;
  if (flag == 1) g_mess.debug = false;
}

int32_t kwiMessage::fastupdate() { return g_mess.debug ? 0 : 1; }

void kwiMessage::set_subclasshandler(const PROLOG_EHANDLER_STRUCT* handler) {
  g_mess.subclass = *handler;
  g_mess.hasSubclass = true;
}

const PROLOG_EHANDLER_STRUCT* kwiMessage::trygetsubclasshandler() {
  return g_mess.hasSubclass ? &g_mess.subclass : nullptr;
}

void kwiMessage::set_initial_msgwin_size(int32_t width, int32_t height, int32_t readOnly) {
  g_initial = {true, width, height, readOnly};
}

LONG_PTR kwiMessage::_mess_win_handler(LONG_PTR w, event_struct* e) {
  if (g_mess.hasSubclass) {
    volatile LONG_PTR result = 0;
    PROLOG_EHANDLER_STRUCT first = g_mess.subclass;
    if (K::Succeeds([&] { result = kwi_CallEventHandler(w, e, &first); })) return result;
  }
  switch (e->kind) {
    case e_mouseup:
      if (e->w[2] != 1) break;
      PopUpMenu(w, reinterpret_cast<pnt_struct*>(e->w[0]));
      return 1;
    case e_destroy:
      g_mess = MessDb{};
      return 0;
    case e_size:
      if (!g_mess.hasNewRect) break;
      {
        event_struct apply{e_menu, {kApplyRect, 0}};
        win_PostEvent(w, &apply);
      }
      return 0;
    case e_menu: return Command(w, e);
    case e_timer: return Tick(e);
    default: break;
  }
  K::Fail();
}

}  // namespace tav
