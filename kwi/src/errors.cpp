// GUI errors: the raise, the exception-handler function, validation and the
// report of errors that end a handler call.
#include "kwi.h"

namespace QEL_KWI {
namespace detail {

bool g_validation = true;
static ExceptionHandlerFunction g_exceptionHandler;
static bool g_reporting;

void RaiseMayReturn(int code) {
  if (g_exceptionHandler) {
    g_exceptionHandler(code, L"");
    return;
  }
  K::Errors::RunTimeError(static_cast<uint32_t>(code));
}

void ShowErrorBox() {
  const wchar_t* message = K::Control::TPrologThreadData::GetCurrentLastErrorMessage();
  if (!message) message = L"";
  size_t n = wcslen(message);
  wchar_t* text = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, (n + 32) * sizeof(wchar_t)));
  if (!text) return;
  wcscpy(text, message);
  wcscat(text, L"\r\nRegister On Clipboard?");
  MessageBeep(MB_ICONHAND);
  int answer = MessageBoxW(g_task, text, L"Program Error",
                           MB_ICONSTOP | MB_YESNO | MB_DEFBUTTON2 | MB_TASKMODAL);
  HeapFree(GetProcessHeap(), 0, text);
  if (answer != IDYES) return;
  if (OpenClipboard(nullptr)) {
    if (EmptyClipboard()) {
      HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_SHARE, (n + 1) * sizeof(wchar_t));
      if (g) {
        memcpy(GlobalLock(g), message, (n + 1) * sizeof(wchar_t));
        GlobalUnlock(g);
        if (!SetClipboardData(CF_UNICODETEXT, g)) GlobalFree(g);
      }
    }
    CloseClipboard();
  }
}

void ReportError(uint32_t code) {
  if (g_reporting) return;
  g_reporting = true;
  LONG_PTR* s = StateReady() ? g_state : g_pending;
  void* volatile fn = reinterpret_cast<void*>(s[sw_errFn]);
  void* volatile obj = reinterpret_cast<void*>(s[sw_errObj]);
  HWND task = TaskWindow();
  if (!fn || !task) {
    ShowErrorBox();
  } else {
    K::RunAtCallbackBoundary([&] {
      if (obj)
        reinterpret_cast<ErrorMethod>(fn)(obj, reinterpret_cast<LONG_PTR>(task), code);
      else
        reinterpret_cast<ErrorFunction>(fn)(reinterpret_cast<LONG_PTR>(task), code);
    });
  }
  g_reporting = false;
}

}  // namespace detail

using namespace detail;

void registerExceptionHandler(ExceptionHandlerFunction function) { g_exceptionHandler = function; }

void kwi_ArgValidation(int on) { g_validation = on != 0; }

void kwi_SetErrorHandler(PROLOG_ERRHANDLER_STRUCT* handler) {
  LONG_PTR* s = StateReady() ? g_state : g_pending;
  s[sw_errFn] = handler ? reinterpret_cast<LONG_PTR>(handler->function) : 0;
  s[sw_errObj] = handler ? reinterpret_cast<LONG_PTR>(handler->object) : 0;
}

}  // namespace QEL_KWI
