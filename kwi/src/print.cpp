// Printing: one job at a time on the layer's print settings (a PRINTDLGW
// with movable DEVMODEW and DEVNAMES blocks), a printing window for the
// drawing operations, a modeless progress dialog with a cancel button, and
// the print configuration binary in its 32-bit form (the 66-byte dialog
// record written field by field, handles and pointers 0).  A configuration
// is checked whole before it replaces the settings: sizes summed in 64 bits,
// DEVNAMES offsets inside their block at names ending there, the DEVMODEW's
// own sizes inside its block; else 6186 and the old settings stay.
#include <cwchar>

#include "picture.h"

namespace QEL_KWI {
namespace detail {

constexpr char Signature[] = "KWI PRINT STRUCTURE WIN32";
constexpr size_t SignatureSize = 32, Record32Size = 66;

struct PrintJob {
  bool aborted;
  bool endPageFailed;
  int page;
};
static PrintJob g_job;

static PRINTDLGW* Settings() {
  auto* pd = reinterpret_cast<PRINTDLGW*>(StateReady() ? g_state[sw_print] : 0);
  if (pd && pd->lStructSize == 0) {
    DefaultPrinter();
    pd->Flags = PD_HIDEPRINTTOFILE;
    pd->nFromPage = pd->nToPage = 1;
  }
  return pd;
}

static HWND PrintWindow() { return reinterpret_cast<HWND>(g_state[sw_printWin]); }
static HDC PrinterDC() { return reinterpret_cast<HDC>(g_state[sw_printDC]); }
static HWND ProgressDialog() { return reinterpret_cast<HWND>(g_state[sw_printDialog]); }

static bool CheckPrintWindow(LONG_PTR window) {
  HWND w = Hwnd(window);
  if (!IsWindow(w)) {
    RaiseMayReturn(6000);
    return false;
  }
  if (!StateReady() || w != PrintWindow()) {
    RaiseMayReturn(6001);
    return false;
  }
  return true;
}

static void LoadText(unsigned id, wchar_t* buf, int n, const wchar_t* otherwise) {
  if (LoadStringW(g_app, id, buf, n) <= 0) wcsncpy(buf, otherwise, static_cast<size_t>(n) - 1);
  buf[n - 1] = 0;
}

static void EndOfCancel() {
  g_job.aborted = true;
  if (HWND d = ProgressDialog()) DestroyWindow(d);
  g_state[sw_printDialog] = 0;
  EnableWindow(TaskWindow(), TRUE);
}

static INT_PTR ProgressBody(HWND d, UINT m, WPARAM wp, LPARAM) {
  if (m == WM_INITDIALOG) {
    EnableMenuItem(GetSystemMenu(d, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
    wchar_t text[64];
    if (LoadStringW(g_app, 9000, text, 64) > 0) SetDlgItemTextW(d, 2, text);
    return TRUE;
  }
  if (m == WM_COMMAND && LOWORD(wp) == 2) {
    EndOfCancel();
    return TRUE;
  }
  return FALSE;
}

static INT_PTR CALLBACK ProgressProc(HWND d, UINT m, WPARAM wp, LPARAM lp) {
  volatile INT_PTR result = FALSE;
  K::RunAtCallbackBoundary([&] { result = ProgressBody(d, m, wp, lp); });
  return result;
}

static BOOL CALLBACK AbortProc(HDC, int) {
  K::RunAtCallbackBoundary([&] {
    MSG msg;
    while (!g_job.aborted && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      HWND d = ProgressDialog();
      if (d && IsDialogMessageW(d, &msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  });
  return !g_job.aborted;
}

// The progress dialog, from a window-definition list through the layer's
// template builder.
static HWND CreateProgressDialog(const wchar_t* title) {
  rect_struct dialogRect{0, 0, 160, 60}, textRect{10, 10, 150, 22}, buttonRect{55, 34, 105, 48};
  wdef dialog{wt_modeless, &dialogRect, title, 1}, text{wt_text, &textRect, L"[Start]", 1},
      button{wt_pushbutton, &buttonRect, L"Cancel", 1};
  ilist_struct caption[2] = {{ListCons, 9, nullptr}, {ListNil, 0, nullptr}};
  caption[0].next = &caption[1];
  ilist_struct none{ListNil, 0, nullptr};
  windef defs[3] = {{wd_dlg, {reinterpret_cast<LONG_PTR>(&dialog), reinterpret_cast<LONG_PTR>(caption)}},
                    {wd_ctl, {reinterpret_cast<LONG_PTR>(&text), 96, reinterpret_cast<LONG_PTR>(&none)}},
                    {wd_ctl, {reinterpret_cast<LONG_PTR>(&button), 2, reinterpret_cast<LONG_PTR>(&none)}}};
  windef_list_struct cells[4] = {{ListCons, &defs[0], &cells[1]}, {ListCons, &defs[1], &cells[2]},
                                 {ListCons, &defs[2], &cells[3]}, {ListNil, nullptr, nullptr}};
  uint8_t* mark = K::Memory::MarkGStack();
  uint8_t* block = K::Memory::AllocGStack(8192);
  size_t size = 0;
  HWND d = nullptr;
  if (BuildTemplate(block, 8192, &size, cells, false) == 0)
    d = CreateDialogIndirectParamW(g_app, reinterpret_cast<DLGTEMPLATE*>(block), TaskWindow(), ProgressProc, 0);
  K::Memory::ReleaseGStack(mark);
  return d;
}

static HGLOBAL CopyBlock(const uint8_t* data, uint32_t n) {
  HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, n ? n : 1);
  if (!g) return nullptr;
  memcpy(GlobalLock(g), data, n);
  GlobalUnlock(g);
  return g;
}

// A DEVNAMES block whose three names start inside it and end there.
static bool DevNamesFit(const uint8_t* b, uint32_t n) {
  if (n < sizeof(DEVNAMES)) return false;
  for (int i = 0; i < 3; ++i) {
    uint64_t at = uint64_t{ReadU16(b + 2 * i)} * 2;
    if (at < sizeof(DEVNAMES) || at >= n) return false;
    if (wcsnlen(reinterpret_cast<const wchar_t*>(b + at), (n - at) / 2) == (n - at) / 2) return false;
  }
  return true;
}

// A DEVMODEW whose own sizes lie inside its block.
static bool DevModeFits(const uint8_t* b, uint32_t n) {
  if (n == 0) return true;
  if (n < offsetof(DEVMODEW, dmFields) + 4) return false;
  uint64_t size = ReadU16(b + offsetof(DEVMODEW, dmSize)), extra = ReadU16(b + offsetof(DEVMODEW, dmDriverExtra));
  return size >= offsetof(DEVMODEW, dmFields) + 4 && size + extra <= n;
}

}  // namespace detail

using namespace detail;

LONG_PTR print_StartJob(const u16* title) {
  if (StateReady() && PrintWindow()) {
    RaiseMayReturn(6180);
    return 0;
  }
  PRINTDLGW* pd = Settings();
  HDC dc = nullptr;
  if (pd && pd->hDevNames) {
    auto* names = static_cast<DEVNAMES*>(GlobalLock(pd->hDevNames));
    auto* mode = pd->hDevMode ? static_cast<DEVMODEW*>(GlobalLock(pd->hDevMode)) : nullptr;
    uint32_t namesSize = static_cast<uint32_t>(GlobalSize(pd->hDevNames));
    if (names && DevNamesFit(reinterpret_cast<uint8_t*>(names), namesSize) &&
        (!mode || DevModeFits(reinterpret_cast<uint8_t*>(mode), static_cast<uint32_t>(GlobalSize(pd->hDevMode))))) {
      const wchar_t* base = reinterpret_cast<const wchar_t*>(names);
      dc = CreateDCW(base + names->wDriverOffset, base + names->wDeviceOffset, nullptr, mode);
    }
    if (mode) GlobalUnlock(pd->hDevMode);
    if (names) GlobalUnlock(pd->hDevNames);
  }
  if (!dc) {
    RaiseMayReturn(6182);
    return 0;
  }
  g_job = PrintJob{false, false, pd->nFromPage ? pd->nFromPage : 1};
  DOCINFOW doc{};
  doc.cbSize = sizeof doc;
  doc.lpszDocName = title ? title : L"";
  HWND dialog = nullptr;
  if (SetAbortProc(dc, AbortProc) <= 0 || StartDocW(dc, &doc) <= 0 || !(dialog = CreateProgressDialog(doc.lpszDocName))) {
    DeleteDC(dc);
    RaiseMayReturn(6184);
    return 0;
  }
  int width = GetDeviceCaps(dc, PHYSICALWIDTH) - GetDeviceCaps(dc, PHYSICALOFFSETX);
  int height = GetDeviceCaps(dc, PHYSICALHEIGHT) - GetDeviceCaps(dc, PHYSICALOFFSETY);
  if (pd->hDevMode) {
    auto* mode = static_cast<DEVMODEW*>(GlobalLock(pd->hDevMode));
    if (mode && (mode->dmFields & DM_ORIENTATION) && mode->dmOrientation == DMORIENT_LANDSCAPE) std::swap(width, height);
    GlobalUnlock(pd->hDevMode);
  }
  HWND w = CreateOffscreenWindow(width > 0 ? width : 1, height > 0 ? height : 1);
  g_state[sw_printDC] = reinterpret_cast<LONG_PTR>(dc);
  g_state[sw_printDialog] = reinterpret_cast<LONG_PTR>(dialog);
  g_state[sw_printWin] = reinterpret_cast<LONG_PTR>(w);
  EnableWindow(TaskWindow(), FALSE);
  return reinterpret_cast<LONG_PTR>(w);
}

int print_StartPage(LONG_PTR window) {
  if (!CheckPrintWindow(window)) return 0;
  if (g_job.aborted) return 0;
  wchar_t label[33], text[64];
  LoadText(9001, label, 33, L"Page");
  swprintf(text, 64, L"%ls: %d", label, g_job.page++);
  if (HWND d = ProgressDialog()) SetDlgItemTextW(d, 96, text);
  if (StartPage(PrinterDC()) <= 0) {
    RaiseMayReturn(6181);
    return 0;
  }
  return 1;
}

void print_EndPage(LONG_PTR window) {
  if (!CheckPrintWindow(window) || g_job.aborted) return;
  if (EndPage(PrinterDC()) <= 0 && !g_job.aborted && !g_job.endPageFailed) {
    g_job.endPageFailed = true;
    RaiseMayReturn(6183);
  }
}

void print_EndJob(LONG_PTR window) {
  if (!CheckPrintWindow(window)) return;
  HDC dc = PrinterDC();
  if (!g_job.endPageFailed) EndDoc(dc);
  else if (!g_job.aborted) AbortDoc(dc);
  EnableWindow(TaskWindow(), TRUE);
  if (HWND d = ProgressDialog()) DestroyWindow(d);
  HWND w = PrintWindow();
  g_state[sw_printWin] = g_state[sw_printDC] = g_state[sw_printDialog] = 0;
  DestroyWindow(w);
  DeleteDC(dc);
  ClearDrawingCache();
}

void print_AbortJob(LONG_PTR window) { print_EndJob(window); }

void print_SetOrientation(int landscape) {
  PRINTDLGW* pd = Settings();
  if (!pd || !pd->hDevMode) return;
  if (auto* mode = static_cast<DEVMODEW*>(GlobalLock(pd->hDevMode))) {
    mode->dmOrientation = landscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
    mode->dmFields |= DM_ORIENTATION;
    GlobalUnlock(pd->hDevMode);
  }
}

uint8_t* print_GetConfig() {
  PRINTDLGW* pd = Settings();
  PRINTDLGW empty{};
  if (!pd) pd = &empty;
  uint32_t a = pd->hDevMode ? static_cast<uint32_t>(GlobalSize(pd->hDevMode)) : 0;
  uint32_t b = pd->hDevNames ? static_cast<uint32_t>(GlobalSize(pd->hDevNames)) : 0;
  uint64_t total = SignatureSize + Record32Size + 4 + uint64_t{a} + 4 + b;
  if (total > 0x7FFFFFF0u) {
    RaiseMayReturn(6002);
    return nullptr;
  }
  uint8_t* out = K::Memory::AllocGStack(static_cast<uint32_t>(total) + 4);
  memset(out, 0, static_cast<size_t>(total) + 4);
  uint32_t sizeWord = static_cast<uint32_t>(total) + 4;
  memcpy(out, &sizeWord, 4);
  uint8_t* p = out + 4;
  memset(p, ' ', SignatureSize);
  memcpy(p, Signature, sizeof Signature - 1);
  uint8_t* r = p + SignatureSize;  // the 32-bit record: handles and pointers stay 0
  const uint32_t size32 = Record32Size, flags = pd->Flags;
  memcpy(r + 0, &size32, 4);
  memcpy(r + 20, &flags, 4);
  memcpy(r + 24, &pd->nFromPage, 2);
  memcpy(r + 26, &pd->nToPage, 2);
  memcpy(r + 28, &pd->nMinPage, 2);
  memcpy(r + 30, &pd->nMaxPage, 2);
  memcpy(r + 32, &pd->nCopies, 2);
  uint8_t* q = r + Record32Size;
  memcpy(q, &a, 4);
  if (a) {
    memcpy(q + 4, GlobalLock(pd->hDevMode), a);
    GlobalUnlock(pd->hDevMode);
  }
  q += 4 + a;
  memcpy(q, &b, 4);
  if (b) {
    memcpy(q + 4, GlobalLock(pd->hDevNames), b);
    GlobalUnlock(pd->hDevNames);
  }
  return out + 4;
}

void print_SetConfig(uint8_t* config) {
  uint32_t sizeWord = 0;
  if (config) memcpy(&sizeWord, config - 4, 4);
  const uint64_t n = sizeWord >= 4 ? sizeWord - 4 : 0;
  const uint8_t* p = config;
  bool ok = n >= SignatureSize && memcmp(p, Signature, sizeof Signature - 1) == 0;
  for (size_t i = sizeof Signature - 1; ok && i < SignatureSize; ++i) ok = p[i] == ' ';
  uint64_t at = SignatureSize + Record32Size;
  uint32_t a = 0, b = 0;
  ok = ok && at + 4 <= n && ReadU32(p + SignatureSize) == Record32Size;
  if (ok) a = ReadU32(p + at);
  ok = ok && at + 4 + uint64_t{a} + 4 <= n;
  if (ok) b = ReadU32(p + at + 4 + a);
  ok = ok && at + 4 + uint64_t{a} + 4 + b <= n;
  const uint8_t* mode = p + at + 4;
  const uint8_t* names = mode + a + 4;
  ok = ok && DevModeFits(mode, a) && (b == 0 ? a == 0 : DevNamesFit(names, b));
  if (!ok) return RaiseMayReturn(6186);
  PRINTDLGW* pd = Settings();
  if (!pd) return RaiseMayReturn(6186);
  HGLOBAL newMode = a ? CopyBlock(mode, a) : nullptr, newNames = b ? CopyBlock(names, b) : nullptr;
  if ((a && !newMode) || (b && !newNames)) {
    if (newMode) GlobalFree(newMode);
    if (newNames) GlobalFree(newNames);
    return RaiseMayReturn(6002);
  }
  if (pd->hDevMode) GlobalFree(pd->hDevMode);
  if (pd->hDevNames) GlobalFree(pd->hDevNames);
  const uint8_t* r = p + SignatureSize;
  pd->lStructSize = sizeof *pd;
  pd->Flags = ReadU32(r + 20);
  pd->nFromPage = ReadU16(r + 24);
  pd->nToPage = ReadU16(r + 26);
  pd->nMinPage = ReadU16(r + 28);
  pd->nMaxPage = ReadU16(r + 30);
  pd->nCopies = ReadU16(r + 32);
  pd->hDevMode = newMode;
  pd->hDevNames = newNames;
}

void dlg_PrintSetup(int highestPage, int* rangeKind, int* copies, int* firstPage, int* lastPage) {
  *rangeKind = 0;
  *copies = 1;
  *firstPage = *lastPage = 1;
  PRINTDLGW* pd = Settings();
  if (!pd) K::Fail();
  short orientation = 0;
  if (pd->hDevMode) {
    if (auto* m = static_cast<DEVMODEW*>(GlobalLock(pd->hDevMode))) orientation = m->dmOrientation;
    GlobalUnlock(pd->hDevMode);
  }
  if (pd->hDevMode) GlobalFree(pd->hDevMode);
  if (pd->hDevNames) GlobalFree(pd->hDevNames);
  pd->hDevMode = pd->hDevNames = nullptr;
  pd->lStructSize = 0;
  Settings();
  if (orientation) print_SetOrientation(orientation == DMORIENT_LANDSCAPE);
  const WORD maxPage = highestPage ? static_cast<WORD>(highestPage) : 1000;
  pd->hwndOwner = TaskWindow();
  pd->nMinPage = 1;
  pd->nMaxPage = maxPage;
  pd->nFromPage = 1;
  pd->nToPage = highestPage ? static_cast<WORD>(highestPage) : 1;
  pd->Flags &= ~static_cast<DWORD>(PD_RETURNDEFAULT);
  BOOL ok = QEL_BOUND_PROCEDURE(L"comdlg32.dll", PrintDlgW)(pd);
  pd->hwndOwner = nullptr;
  if (!ok) K::Fail();
  *copies = pd->nCopies;
  if (pd->Flags & PD_PAGENUMS) {
    *rangeKind = 1, *firstPage = pd->nFromPage, *lastPage = pd->nToPage;
  } else if (pd->Flags & PD_SELECTION) {
    *rangeKind = 2, *firstPage = pd->nFromPage, *lastPage = pd->nToPage;
  } else {
    *firstPage = 1, *lastPage = maxPage;
  }
}

void dlg_PageSetup(pnt_struct** paper, rect_struct** margins) {
  *paper = NewPoint(0, 0);
  *margins = NewRect(0, 0, 0, 0);
  PRINTDLGW* pd = Settings();
  if (!pd) K::Fail();
  PAGESETUPDLGW ps{};
  ps.lStructSize = sizeof ps;
  ps.hwndOwner = TaskWindow();
  ps.hDevMode = pd->hDevMode;
  ps.hDevNames = pd->hDevNames;
  if (!QEL_BOUND_PROCEDURE(L"comdlg32.dll", PageSetupDlgW)(&ps)) K::Fail();
  pd->hDevMode = ps.hDevMode;
  pd->hDevNames = ps.hDevNames;
  **paper = {ps.ptPaperSize.x, ps.ptPaperSize.y};
  **margins = {ps.rtMargin.left, ps.rtMargin.top, ps.rtMargin.right, ps.rtMargin.bottom};
}

}  // namespace QEL_KWI
