// kwi: start-up, wrappers over the GUI layer and the geometry and dialog
// helpers.  Wrappers add only the module instance or a fixed argument; no
// wrapper catches an error except trysetfocusonfirstcontrol.  The custom
// control class is registered at most once per process.
#include "kwi/kwi.h"

#include "application/Exe/mainExe.h"
#include "exception/exception.h"

namespace tav {

using namespace QEL_KWI;
namespace kd = kwidomains;

const ClassInfo kwi::classInfo{L"com/corvane/kwi/kwi", TAV_CLASS_VERSION};
const ClassInfo kwiDde::classInfo{L"com/corvane/kwi/kwiDde", TAV_CLASS_VERSION};
const ClassInfo kwiOwnerDraw::classInfo{L"com/corvane/kwi/kwiOwnerDraw", TAV_CLASS_VERSION};
const wchar_t* const kwi::customControlClass = L"ZEVCustomCtrl";

namespace {

bool g_customControlRegistered = false;

LONG_PTR HandleNothing(LONG_PTR, event_struct*) { K::Fail(); }
PROLOG_EHANDLER_STRUCT g_noEvents{reinterpret_cast<void*>(&HandleNothing), nullptr};

HINSTANCE Instance() { return mainExe::getcurrenthinstance(); }

}  // namespace

PROLOG_EHANDLER_STRUCT* NoEventHandler() { return &g_noEvents; }

int32_t AddChecked(int32_t a, int32_t b) {
  int32_t r;
  if (__builtin_add_overflow(a, b, &r)) RaiseIntegerOverflow();
  return r;
}
int32_t SubChecked(int32_t a, int32_t b) {
  int32_t r;
  if (__builtin_sub_overflow(a, b, &r)) RaiseIntegerOverflow();
  return r;
}
int32_t MulChecked(int32_t a, int32_t b) {
  int32_t r;
  if (__builtin_mul_overflow(a, b, &r)) RaiseIntegerOverflow();
  return r;
}

// --- Start-up and events ---

void kwi::init(wsflags_struct* flags, PROLOG_EHANDLER_STRUCT* handler, menu_struct* menu,
               const wchar_t* applicationName, const wchar_t* taskTitle) {
  registerExceptionHandler(&kwi::_kwiexceptionraiser);
  kwi_Init(flags, handler, menu, applicationName, taskTitle);
}

int32_t kwi::processevents(int32_t allEvents) { return kwi_ProcessEvents(allEvents, 0); }
int32_t kwi::processevents() { return kwi_ProcessEvents(1, 0); }

// --- Wrappers ---

LONG_PTR kwi::wingetattrval(LONG_PTR window, int32_t attribute) {
  if (attribute == 602) return window;
  return kwi_GetAttrVal(attribute);
}

void kwi::winsetattrval(LONG_PTR, int32_t attribute, LONG_PTR value) {
  kwi_SetAttrVal(attribute, value);
}

const wchar_t* kwi::getresstr(uint32_t id) { return kwi_GetResStr(Instance(), id); }
bool kwi::checkexistdialog(uint32_t id) { return kwi_CheckExistDialog(Instance(), id) != 0; }
bool kwi::checkexiststring(uint32_t id) { return kwi_CheckExistString(Instance(), id) != 0; }

void kwi::pictdraw(LONG_PTR window, picture p, pnt_struct* at, int32_t rasterOp) {
  pict_DrawEx_0(window, p, at, rasterOp, 1);
}
void kwi::pictdraw(LONG_PTR window, picture p, rect_struct* dest, rect_struct* source,
                   int32_t rasterOp) {
  pict_DrawEx_1(window, p, dest, source, rasterOp, 1);
}

picture kwi::pictgetfromres(uint32_t id) { return pict_GetFromRes(Instance(), id); }

picture kwi::pictload(const BitmapIdTerm* source, int32_t a, int32_t b, uint32_t c) {
  switch (source->functor) {
    case 1: return pict_GetFromRes(Instance(), static_cast<uint32_t>(source->payload), a, b, c);
    case 2: return pict_Load(reinterpret_cast<const wchar_t*>(source->payload), a, b, c);
    case 3: return reinterpret_cast<picture>(source->payload);
    default: return nullptr;
  }
}

void kwi::cursorset(LONG_PTR window, int32_t cursor) { cursor_Set(window, cursor, 1); }
void kwi::caretset(LONG_PTR window, int32_t x, int32_t y) { caret_Set(window, x, y, 3, 16); }

uint8_t* kwi::fontcreatebyname(const wchar_t* fontName, int32_t size) {
  windef_list_struct* def = kd::Windefs({kd::DlgFont(wt_modeless, kd::Rect(0, 0, 1, 1), L"",
                                                     kd::kDialogUnits, fontName, size,
                                                     kd::Ints({69, 11, 12}))});
  LONG_PTR dialog = win_CreateDynDialog(kwi_GetTaskWin(), def, NoEventHandler(), 0);
  uint8_t* font = win_GetFont(dialog);
  win_Destroy(dialog);
  return font;
}

LONG_PTR kwi::wincreateresdialog(LONG_PTR parent, int32_t kind, uint32_t resourceId,
                                 PROLOG_EHANDLER_STRUCT* handler, LONG_PTR creationData) {
  return win_CreateResDialog(Instance(), parent, kind, resourceId, handler, creationData);
}

windef_list_struct* kwi::wingetresdialog(uint32_t id) { return win_GetResDialog(Instance(), id); }
menu_struct* kwi::menugetres(uint32_t id) { return menu_GetRes(Instance(), id); }
void kwi::drawtext(LONG_PTR window, int32_t x, int32_t y, const wchar_t* text) {
  draw_Text(window, x, y, text, -1);
}

metafile kwi::mfload(const wchar_t* fileName) {
  rect_struct* r = nullptr;
  int units = 0;
  return mf_Load(fileName, &r, &units);
}

bool kwi::iscustomcontrolclassnameregistered() { return g_customControlRegistered; }

LONG_PTR kwi::createcustomcontrol(LONG_PTR parent, rect_struct* r, const wchar_t* title,
                                  wsflags_struct* flags, int32_t id,
                                  PROLOG_EHANDLER_STRUCT* handler) {
  if (!g_customControlRegistered) {
    class_Create(customControlClass, NoEventHandler());
    g_customControlRegistered = true;
  }
  windef_list_struct* def = kd::Windefs(
      {kd::CustomCtl(wt_custom, r, title, kd::kPixels, customControlClass, id, flags)});
  LONG_PTR control = win_CreateDynControl(def, parent);
  win_SetHandler(control, handler);
  return control;
}

// --- Helpers ---

void kwi::wincenter(LONG_PTR window) { wincenter(window, win_GetClientRect(window)); }
void kwi::wincenter(LONG_PTR window, rect_struct* r) { win_Move(window, rctcenter(r)); }

rect_struct* kwi::rctcenter(rect_struct* r) { return rctcenter(kwi_GetAttrVal(300), r); }

rect_struct* kwi::rctcenter(LONG_PTR window, rect_struct* r) {
  const rect_struct c = *win_GetClientRect(window);
  const int32_t cx = AddChecked(c.left, SubChecked(c.right, c.left) / 2);
  const int32_t cy = AddChecked(c.top, SubChecked(c.bottom, c.top) / 2);
  const int32_t w = SubChecked(r->right, r->left);
  const int32_t h = SubChecked(r->bottom, r->top);
  const int32_t left = SubChecked(cx, w / 2);
  const int32_t top = SubChecked(cy, h / 2);
  return kd::Rect(left, top, AddChecked(left, w), AddChecked(top, h));
}

pnt_struct* kwi::winmappnt(LONG_PTR from, LONG_PTR to, pnt_struct* p) {
  pntlist_struct* one = static_cast<pntlist_struct*>(GStackAlloc(2 * sizeof(pntlist_struct)));
  one[1] = {ListNil, nullptr, nullptr};
  one[0] = {ListCons, p, &one[1]};
  pntlist_struct* mapped = win_MapPoints(from, to, one);
  if (mapped && mapped->functor == ListCons && mapped->next && mapped->next->functor == ListNil)
    return mapped->value;
  return p;
}

namespace {

rect_struct* RestoredRect(LONG_PTR window) {
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  GetWindowPlacement(reinterpret_cast<HWND>(window), &wp);
  const RECT& n = wp.rcNormalPosition;
  return kd::Rect(n.left, n.top, n.right, n.bottom);
}

LONG_PTR TabStop(LONG_PTR dialog, LONG_PTR control, BOOL previous) {
  HWND d = reinterpret_cast<HWND>(dialog);
  HWND c = reinterpret_cast<HWND>(control);
  HWND next = GetNextDlgTabItem(d, c, previous);
  if (!next || next == c) return 0;
  return reinterpret_cast<LONG_PTR>(next);
}

}  // namespace

rect_struct* kwi::mdiwingetrestoredrect(LONG_PTR window) {
  return rect_GetClient(win_GetState(window), window == kwi_GetTaskWin(), RestoredRect(window));
}

rect_struct* kwi::dialogwingetrestoredrect(LONG_PTR window) { return RestoredRect(window); }

void kwi::dialogwinsetrestoredrect(LONG_PTR window, rect_struct* r) {
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  wp.showCmd = 5;
  wp.rcNormalPosition = {r->left, r->top, r->right, r->bottom};
  SetWindowPlacement(reinterpret_cast<HWND>(window), &wp);
}

const wchar_t* kwi::winctlgettext(LONG_PTR dialog, int32_t id) {
  return win_GetText(win_GetCtlHandle(dialog, id));
}

void kwi::winctlselecttext(LONG_PTR dialog, int32_t id) {
  LONG_PTR c = win_GetCtlHandle(dialog, id);
  win_SelectText(c, 0, static_cast<int>(wcslen(win_GetText(c))));
}

bool kwi::winctlischecked(LONG_PTR dialog, int32_t id) {
  return win_IsChecked(win_GetCtlHandle(dialog, id)) != 0;
}

void kwi::winctlsetfocus(LONG_PTR dialog, int32_t id) { win_SetFocus(win_GetCtlHandle(dialog, id)); }

void kwi::winctlsetstate(LONG_PTR dialog, int32_t id, wsflags_struct* flags) {
  win_SetState(win_GetCtlHandle(dialog, id), flags);
}

bool kwi::winctlradioget(LONG_PTR dialog, const ilist_struct* ids, int32_t* id) {
  for (; ids && ids->functor == ListCons; ids = ids->next)
    if (winctlischecked(dialog, static_cast<int32_t>(ids->value))) {
      *id = static_cast<int32_t>(ids->value);
      return true;
    }
  return false;
}

void kwi::decomposergb(uint32_t colour, int32_t* red, int32_t* green, int32_t* blue) {
  *red = colour & 0xFF;
  *green = (colour >> 8) & 0xFF;
  *blue = (colour >> 16) & 0xFF;
}

LONG_PTR kwi::winctlgetnexttabstop(LONG_PTR dialog, LONG_PTR control) {
  return TabStop(dialog, control, FALSE);
}
LONG_PTR kwi::winctlgetprevtabstop(LONG_PTR dialog, LONG_PTR control) {
  return TabStop(dialog, control, TRUE);
}

bool kwi::trysetfocusonfirstcontrol(LONG_PTR dialog) {
  HWND first = GetNextDlgTabItem(reinterpret_cast<HWND>(dialog), nullptr, FALSE);
  if (!first) return false;
  const volatile LONG_PTR target = reinterpret_cast<LONG_PTR>(first);
  const uint32_t code = K::RunTrapped([&] { win_SetFocus(target); });
  if (code == 0) return true;
  if (code >= kFirstTraceId) exception::clear(code);
  return false;
}

}  // namespace tav
