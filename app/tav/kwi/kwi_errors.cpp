// GUI errors: one descriptor per error code of the GUI layer, the raiser
// that the layer calls for each of them, and the "Program Error" dialog that
// shows the dump of an exception that left an event handler.  The raiser
// never returns to the layer: it ends in the kernel's error exit with the
// new trace.  The dialog takes the dump first and then forgets every trace
// of the thread.
#include <cwchar>

#include "exception/exceptionDump.h"
#include "kwi/kwi.h"
#include "string/string_stream.h"

namespace tav {

using namespace QEL_KWI;
namespace kd = kwidomains;

const ExceptionDescriptor kwi::notyethandledkwierror{
    &kwi::classInfo, L"notyethandledkwierror", L"Not yet handled KWI run-time error is occurred"};

namespace {

struct Row {
  uint32_t code;
  ExceptionDescriptor descriptor;
};
const Row kTable[] = {
    {6000, {&kwi::classInfo, L"kwi_winbadhandle", L"Bad window handle"}},
    {6001, {&kwi::classInfo, L"kwi_winbadtype", L"Invalid window type"}},
    {6002, {&kwi::classInfo, L"kwi_data_alloc", L"Error allocating data"}},
    {6003, {&kwi::classInfo, L"kwi_listempty", L"The list must not be empty"}},
    {6004, {&kwi::classInfo, L"kwi_listmember", L"An illegal element in the list"}},
    {6005, {&kwi::classInfo, L"kwi_unablefileopen", L"Unable to open the file"}},
    {6006, {&kwi::classInfo, L"kwi_unablefilecreate", L"Unable to create the disk file"}},
    {6007, {&kwi::classInfo, L"kwi_filenameempty", L"An empty filename string"}},
    {6008, {&kwi::classInfo, L"kwi_unsupportedplatform", L"This predicate is not supported under the chosen platform."}},
    {6009, {&kwi::classInfo, L"kwi_kwinotinit", L"KWI is not initialized"}},
    {6010, {&kwi::classInfo, L"kwi_illegalvalue", L"Illegal (unknown) parameter value is specified"}},
    {6011, {&kwi::classInfo, L"kwi_notsupport", L"Feature is not supported yet"}},
    {6050, {&kwi::classInfo, L"kwi_dlgnotfound", L"Cannot find the specified dialog resource"}},
    {6051, {&kwi::classInfo, L"kwi_cursornotfound", L"Cannot find or load the specified cursor resource"}},
    {6052, {&kwi::classInfo, L"kwi_iconnotfound", L"Cannot find or load the specified icon resource"}},
    {6053, {&kwi::classInfo, L"kwi_menunotfound", L"Cannot find or load the specified menu resource"}},
    {6054, {&kwi::classInfo, L"kwi_bmpnotfound", L"Cannot find or load the specified bitmap resource"}},
    {6055, {&kwi::classInfo, L"kwi_strignotfound", L"Cannot find or load the specified string resource"}},
    {6100, {&kwi::classInfo, L"kwi_unablepicturecreate", L"Unable to create a valid picture"}},
    {6101, {&kwi::classInfo, L"kwi_unableloadpicure", L"Unable to load a picture from the specified file"}},
    {6102, {&kwi::classInfo, L"kwi_ivalidwindowtype", L"Invalid window type for pict_close"}},
    {6103, {&kwi::classInfo, L"kwi_unableopenpicture", L"KWI cannot open a picture."}},
    {6104, {&kwi::classInfo, L"kwi_manypictures", L"Too many opened pictures"}},
    {6120, {&kwi::classInfo, L"kwi_unablekilltimer", L"Unable to kill the specified timer"}},
    {6121, {&kwi::classInfo, L"kwi_tomanytimers", L"Too many timers"}},
    {6150, {&kwi::classInfo, L"kwi_badfont", L"Bad Font value in win_SetFont(_, Font)"}},
    {6151, {&kwi::classInfo, L"kwi_unablegetfont", L"Cannot retrieve parameters of the font attached to the specified window"}},
    {6170, {&kwi::classInfo, L"kwi_predicatenotexist", L"The specified predicate does not exist in the specified DLL"}},
    {6171, {&kwi::classInfo, L"kwi_unablerunapp", L"Unable to run the specified external application"}},
    {6172, {&kwi::classInfo, L"kwi_wrongappid", L"Wrong application identifier value"}},
    {6173, {&kwi::classInfo, L"kwi_cannotgetwindow", L"Cannot get window"}},
    {6180, {&kwi::classInfo, L"kwi_prnopen", L"Attempt to start a new print job while printing is already in progress"}},
    {6181, {&kwi::classInfo, L"kwi_prnstart", L"System error while preparing the printer driver to print a new page"}},
    {6182, {&kwi::classInfo, L"kwi_prnmem", L"System error while starting print job"}},
    {6183, {&kwi::classInfo, L"kwi_prnend", L"System error while printing the current page"}},
    {6184, {&kwi::classInfo, L"kwi_prnbegin", L"Cannot initialize a print job"}},
    {6185, {&kwi::classInfo, L"kwi_prnform", L"Forms mismatch (only under OS/2 underlying GUI)"}},
    {6186, {&kwi::classInfo, L"kwi_prndata", L"Wrong printer configuration data"}},
    {6200, {&kwi::classInfo, L"kwi_notevennumber", L"The list must contain even number of elements"}},
    {6210, {&kwi::classInfo, L"kwi_stringtoolong", L"Too long string (must be <= 64K for 16-bit platforms)."}},
    {6220, {&kwi::classInfo, L"kwi_unableregisterclass", L"Unable to register a window class"}},
    {6230, {&kwi::classInfo, L"kwi_checkdestroy", L"win_Destroy is forbidden while e_Destroy event handling"}},
    {6231, {&kwi::classInfo, L"kwi_checkdraw", L"Drawing is forbidden while e_EraseBackGround handling"}},
    {6260, {&kwi::classInfo, L"kwi_cantaddlolbox", L"Unable to add a new string(s) to a list control."}},
    {6290, {&kwi::classInfo, L"kwi_unablerunhelp", L"Unable to run MS Windows Help application under WIN-OS/2 environment"}},
    {6302, {&kwi::classInfo, L"kwi_winctlbadpropery", L"Bad rectangular or invalid control style flag for the control being created"}},
    {6304, {&kwi::classInfo, L"kwi_wincrtresdlg", L"Unable to create the dialog from the specified dialog resource"}},
    {6305, {&kwi::classInfo, L"kwi_wincrtdyndlg", L"Unable to create a dialog dynamically from a definition contained in a WINDEF_LIST structure"}},
    {6306, {&kwi::classInfo, L"kwi_wincreate", L"Unable to create the specified window."}},
    {6307, {&kwi::classInfo, L"kwi_wincreatedyn", L"Unable to create a window dynamically from a definition contained in a WINDEF_LIST structure"}},
    {6309, {&kwi::classInfo, L"kwi_winclass", L"Attempt to create a custom control with unregistered window class"}},
    {6310, {&kwi::classInfo, L"kwi_winctlid", L"Unable to obtain an identifier of the selected control"}},
    {6311, {&kwi::classInfo, L"kwi_unablesendevent", L"Unable to send the event"}},
    {6312, {&kwi::classInfo, L"kwi_unablependevent", L"Unable to post the event"}},
    {6313, {&kwi::classInfo, L"kwi_unablesetfocus", L"Unable to set input focus to the window"}},
    {6314, {&kwi::classInfo, L"kwi_wininvalidpos", L"The string begin position is bigger then the end position"}},
    {6315, {&kwi::classInfo, L"kwi_unablemove", L"Unable to adjust the window to the specified client rectangle"}},
    {6316, {&kwi::classInfo, L"kwi_win_ctlhndl", L"Unable to obtain a window handle of the selected control"}},
    {6317, {&kwi::classInfo, L"kwi_win_active", L"There is no active window in the system"}},
    {6351, {&kwi::classInfo, L"kwi_metaimpossibleplay", L"Impossible to play the specified metafile on the specified device"}},
    {6352, {&kwi::classInfo, L"kwi_metaimpossibleload", L"Impossible to allocate memory required  to load the specified metafile"}},
    {6354, {&kwi::classInfo, L"kwi_metaclose", L"mf_Close() cannot be applied to a window was not created by mf_Open"}},
    {6356, {&kwi::classInfo, L"kwi_metabadformat", L"Unknown metafile format"}},
    {6357, {&kwi::classInfo, L"kwi_metacreatedc", L"Windowing system cannot create a w_MetaFile window (metafile device context)"}},
    {6359, {&kwi::classInfo, L"kwi_metatomany", L"Too many metafiles"}},
    {6401, {&kwi::classInfo, L"kwi_menucreate", L"Unable to retrieve a menu from a window or resource file."}},
    {6402, {&kwi::classInfo, L"kwi_menuset", L"The menu handling action is impossible as the window has no menu."}},
    {6403, {&kwi::classInfo, L"kwi_menufind", L"Unable to find the target menu item."}},
    {6404, {&kwi::classInfo, L"kwi_menuowndrsubmenu", L"Ownerdraw menu item cannot have submenu."}},
    {6405, {&kwi::classInfo, L"kwi_menumdi", L"MDI cannot be used if task window has no menu."}},
    {6422, {&kwi::classInfo, L"kwi_helpinvalidconst", L"Inaccessible Help Application under the current platform"}},
    {6450, {&kwi::classInfo, L"kwi_clipunableaccess", L"Unable to access the clipboard"}},
    {6454, {&kwi::classInfo, L"kwi_clipgetbin", L"Data in the clipboard does not coincide with the specified binary format"}},
    {6455, {&kwi::classInfo, L"kwi_clipgetpict", L"Data in the clipboard does not coincide with the bitmap format"}},
    {6456, {&kwi::classInfo, L"kwi_clipgetmf", L"Data in the clipboard does not coincide with the metafile format"}},
    {6600, {&kwi::classInfo, L"kwi_ddesyncadvicetimeout", L"A request for a synchronous advise message has timed out"}},
    {6601, {&kwi::classInfo, L"kwi_ddeserverisbusy", L"The DDE server is too busy"}},
    {6602, {&kwi::classInfo, L"kwi_ddesyncdatatimeout", L"A request for a synchronous data message has timed out."}},
    {6603, {&kwi::classInfo, L"kwi_ddenotinitialized", L"A DDE predicate was called without first calling the dde_Init()."}},
    {6604, {&kwi::classInfo, L"kwi_ddeclientperformsservertrans", L"An application initialized as client has attempted to perform server transactions"}},
    {6605, {&kwi::classInfo, L"kwi_ddesyncexectimeout", L"A request for a synchronous execute message has timed out. "}},
    {6606, {&kwi::classInfo, L"kwi_ddeinvalidparam", L"A parameter failed to be validated by the DDE predicate"}},
    {6607, {&kwi::classInfo, L"kwi_ddememconsume", L"A DDE application consumed too large amounts of memory"}},
    {6608, {&kwi::classInfo, L"kwi_ddememallocfailed", L"A memory allocation failed"}},
    {6609, {&kwi::classInfo, L"kwi_ddetransactionfailed", L"A transaction failed."}},
    {6610, {&kwi::classInfo, L"kwi_ddeclientconservationfailed", L"A client's attempt to establish a conversation has failed."}},
    {6611, {&kwi::classInfo, L"kwi_ddesyncpoketimeout", L"A request for a synchronous poke message has timed out"}},
    {6612, {&kwi::classInfo, L"kwi_ddepostfailed", L"An internal DDE attempt to post event has failed"}},
    {6613, {&kwi::classInfo, L"kwi_ddeunableinittransaction", L"Unable to initiate another transaction, or to execute ddeEnableEvents()"}},
    {6614, {&kwi::classInfo, L"kwi_ddeunablecompletetransaction", L"Unable to complete transaction"}},
    {6615, {&kwi::classInfo, L"kwi_ddeinternalerror", L"An internal error has occurred in the DDE"}},
    {6616, {&kwi::classInfo, L"kwi_dde_advice_end_timeout", L"A request to end an advise transaction has timed out"}},
    {6617, {&kwi::classInfo, L"kwi_ddeinvalidid", L"An invalid transaction identifier was passed to a DDE predicate"}},
    {6630, {&kwi::classInfo, L"kwi_ddesyserror", L"An internal DDE error. The maximal number of string handles that can be created by a DDE application is exceeded."}},
    {6631, {&kwi::classInfo, L"kwi_ddeinitfail", L"dde_Init fails to register the application as using DDE services"}},
};

constexpr int kDumpControl = 10;
constexpr int kCloseButton = 2;
constexpr int kCopyButton = 1;

// The handler of the "Program Error" dialog; its closure's object holds the
// trace id.
LONG_PTR DumpDialogEvent(void* traceId, LONG_PTR dialog, event_struct* e) {
  if (e->kind == e_create) {
    outputStream_string* text = outputStream_string::New();
    exceptionDump::dump(text, static_cast<uint32_t>(*static_cast<LONG_PTR*>(traceId)));
    exception::clearall();
    win_SetText(win_GetCtlHandle(dialog, kDumpControl), text->getstring());
    return 0;
  }
  if (e->kind == e_control && e->w[0] == kCloseButton) {
    win_Destroy(dialog);
    return 0;
  }
  if (e->kind == e_control && e->w[0] == kCopyButton) {
    cb_PutString(win_GetText(win_GetCtlHandle(dialog, kDumpControl)));
    win_Destroy(dialog);
    return 0;
  }
  K::Fail();
}

void DumpErrorHandler(LONG_PTR parent, LONG_PTR traceId) { kwi::_dumperrorhandler(parent, traceId); }
PROLOG_ERRHANDLER_STRUCT g_dumpErrorHandler{reinterpret_cast<void*>(&DumpErrorHandler), nullptr};

// The decimal text of a trace id on the global stack.
const wchar_t* Decimal(LONG_PTR v) {
  auto* s = static_cast<wchar_t*>(GStackAlloc(32 * sizeof(wchar_t)));
  swprintf(s, 32, L"%lld", static_cast<long long>(v));
  return s;
}

}  // namespace

uint32_t kwi::TableSize() { return sizeof kTable / sizeof kTable[0]; }

const ExceptionDescriptor* kwi::TableEntry(uint32_t i, uint32_t* code) {
  *code = kTable[i].code;
  return &kTable[i].descriptor;
}

const ExceptionDescriptor* kwi::exceptionfromerrorcode(uint32_t code) {
  for (const Row& row : kTable)
    if (row.code == code) return &row.descriptor;
  return &notyethandledkwierror;
}

void kwi::_kwiexceptionraiser(int32_t code, const wchar_t* text) {
  const CursorTerm* at = programControl::getlastsavedsourceposition();
  T::Check_UI_Range(reinterpret_cast<const T::TIntegralDomainDefinition*>(&domains::unsigned_), code);
  const uint32_t number = static_cast<uint32_t>(code);
  exception::raise_withpos(&classInfo, at, exceptionfromerrorcode(number),
                           Values({{L"ExtraInfo", value::string(HeapCopy(text ? text : L""))},
                                   {L"error code", value::unsigned_(number)}}));
}

LONG_PTR kwi::_dumperrorhandler(LONG_PTR parent, LONG_PTR traceId) {
  windef_list_struct* def = kd::Windefs({
      kd::DlgFont(wt_modal, kd::Rect(50, 40, 357, 280), L"Program Error", kd::kDialogUnits,
                  L"MS Sans Serif", 8, kd::Ints({4, 9})),
      kd::Ctl(wt_pushbutton, kd::Rect(170, 224, 238, 236), L"Close", kCloseButton, kd::Ints({25, 26, 23})),
      kd::Ctl(wt_edit, kd::Rect(4, 4, 304, 220), Decimal(traceId), kDumpControl,
              kd::Ints({31, 25, 26, 46, 28, 7, 8, 27, 45})),
      kd::Ctl(wt_pushbutton, kd::Rect(50, 224, 118, 236), L"&Copy to clipboard", kCopyButton,
              kd::Ints({25, 26})),
  });
  auto* id = static_cast<LONG_PTR*>(GStackAlloc(sizeof(LONG_PTR)));
  *id = traceId;
  auto* handler = static_cast<PROLOG_EHANDLER_STRUCT*>(GStackAlloc(sizeof(PROLOG_EHANDLER_STRUCT)));
  *handler = {reinterpret_cast<void*>(&DumpDialogEvent), id};
  return win_CreateDynDialog(parent, def, handler, traceId);
}

PROLOG_ERRHANDLER_STRUCT* kwi::dumperrorhandler() { return &g_dumpErrorHandler; }

}  // namespace tav
