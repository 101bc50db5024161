// kwi: the class through which the program starts and uses the GUI layer.
// `init` installs the GUI error raiser before the layer starts, so every
// error code the layer reports becomes an exception of this class at the
// last saved source position; the wrappers fill in the program's module
// instance; the helpers' coordinate arithmetic raises "Integral overflow"
// instead of wrapping.  Windows, pictures, module handles and creation data
// are pointer-sized.  kwiDde and kwiOwnerDraw carry class information only.
#pragma once

#include "core/core.h"
#include "kwi/kwiDde.h"
#include "kwi/kwidomains.h"
#include "kwi/kwiownerdraw.h"
#include "qel6kwi.h"

namespace tav {

using QEL_KWI::PROLOG_EHANDLER_STRUCT;
using QEL_KWI::PROLOG_ERRHANDLER_STRUCT;
using QEL_KWI::rect_struct;
using QEL_KWI::pnt_struct;
using QEL_KWI::picture;

// bitmapid = resid(unsigned) | filename(string) | bmp(pointer)
struct BitmapIdTerm {
  uint64_t functor;  // 1 resid, 2 filename, 3 bmp
  uint64_t payload;
};

class kwi {
 public:
  static const ClassInfo classInfo;
  static const ExceptionDescriptor notyethandledkwierror;

  // --- GUI errors --------------------------------------------------------------------
  // The descriptor of a GUI error code (exact match), else notyethandledkwierror.
  static const ExceptionDescriptor* exceptionfromerrorcode(uint32_t code);
  static uint32_t TableSize();
  static const ExceptionDescriptor* TableEntry(uint32_t i, uint32_t* code);
  // The layer's exception callback: raises the code's descriptor with
  // "ExtraInfo" and "error code"; a negative code is the runtime's range error.
  [[noreturn]] static void _kwiexceptionraiser(int32_t code, const wchar_t* text);
  // The "Program Error" dialog showing the dump of trace `traceId`.
  static LONG_PTR _dumperrorhandler(LONG_PTR parent, LONG_PTR traceId);
  // The closure to install with kwi_SetErrorHandler.
  static PROLOG_ERRHANDLER_STRUCT* dumperrorhandler();

  // --- Start-up and events -----------------------------------------------------------
  static void init(QEL_KWI::wsflags_struct* flags, PROLOG_EHANDLER_STRUCT* handler,
                   QEL_KWI::menu_struct* menu, const wchar_t* applicationName,
                   const wchar_t* taskTitle);
  static int32_t processevents(int32_t allEvents);
  static int32_t processevents();

  // --- Wrappers ----------------------------------------------------------------------
  static LONG_PTR wingetattrval(LONG_PTR window, int32_t attribute);
  static void winsetattrval(LONG_PTR window, int32_t attribute, LONG_PTR value);
  static const wchar_t* getresstr(uint32_t id);
  static bool checkexistdialog(uint32_t id);
  static bool checkexiststring(uint32_t id);
  static void pictdraw(LONG_PTR window, picture p, pnt_struct* at, int32_t rasterOp);
  static void pictdraw(LONG_PTR window, picture p, rect_struct* dest, rect_struct* source,
                       int32_t rasterOp);
  static picture pictgetfromres(uint32_t id);
  // Null (fails) for a source of another kind.
  static picture pictload(const BitmapIdTerm* source, int32_t a, int32_t b, uint32_t c);
  static void cursorset(LONG_PTR window, int32_t cursor);
  static void caretset(LONG_PTR window, int32_t x, int32_t y);
  static uint8_t* fontcreatebyname(const wchar_t* fontName, int32_t size);
  static LONG_PTR wincreateresdialog(LONG_PTR parent, int32_t kind, uint32_t resourceId,
                                     PROLOG_EHANDLER_STRUCT* handler, LONG_PTR creationData);
  static QEL_KWI::windef_list_struct* wingetresdialog(uint32_t id);
  static QEL_KWI::menu_struct* menugetres(uint32_t id);
  static void drawtext(LONG_PTR window, int32_t x, int32_t y, const wchar_t* text);
  static QEL_KWI::metafile mfload(const wchar_t* fileName);
  static LONG_PTR createcustomcontrol(LONG_PTR parent, rect_struct* r, const wchar_t* title,
                                      QEL_KWI::wsflags_struct* flags, int32_t id,
                                      PROLOG_EHANDLER_STRUCT* handler);
  static const wchar_t* const customControlClass;
  static bool iscustomcontrolclassnameregistered();

  // --- Helpers -----------------------------------------------------------------------
  static void wincenter(LONG_PTR window);
  static void wincenter(LONG_PTR window, rect_struct* r);
  static rect_struct* rctcenter(rect_struct* r);
  static rect_struct* rctcenter(LONG_PTR window, rect_struct* r);
  static pnt_struct* winmappnt(LONG_PTR from, LONG_PTR to, pnt_struct* p);
  static rect_struct* mdiwingetrestoredrect(LONG_PTR window);
  static rect_struct* dialogwingetrestoredrect(LONG_PTR window);
  static void dialogwinsetrestoredrect(LONG_PTR window, rect_struct* r);
  static const wchar_t* winctlgettext(LONG_PTR dialog, int32_t id);
  static void winctlselecttext(LONG_PTR dialog, int32_t id);
  static bool winctlischecked(LONG_PTR dialog, int32_t id);
  static void winctlsetfocus(LONG_PTR dialog, int32_t id);
  static void winctlsetstate(LONG_PTR dialog, int32_t id, QEL_KWI::wsflags_struct* flags);
  // False when no identifier of the list is checked.
  static bool winctlradioget(LONG_PTR dialog, const QEL_KWI::ilist_struct* ids, int32_t* id);
  static void decomposergb(uint32_t colour, int32_t* red, int32_t* green, int32_t* blue);
  // Null when there is none.
  static LONG_PTR winctlgetnexttabstop(LONG_PTR dialog, LONG_PTR control);
  static LONG_PTR winctlgetprevtabstop(LONG_PTR dialog, LONG_PTR control);
  static bool trysetfocusonfirstcontrol(LONG_PTR dialog);
};

// A handler closure that handles nothing.
PROLOG_EHANDLER_STRUCT* NoEventHandler();

// Coordinate arithmetic that raises "Integral overflow" on 32-bit overflow.
int32_t AddChecked(int32_t a, int32_t b);
int32_t SubChecked(int32_t a, int32_t b);
int32_t MulChecked(int32_t a, int32_t b);

}  // namespace tav
