// Message boxes, the colour and file dialogs, drive queries and help calls.
// Every box is owned by the layer's focus window for boxes.  File dialogs
// build their filter from pairs (description, pattern), pick the initial
// filter by matching the initial name, append the chosen filter's extension
// to names without one, and never copy an initial name past its buffer; a
// dialog that fails (rather than being cancelled) raises 6200.
#include <cwchar>

#include "gdi.h"

namespace QEL_KWI {
namespace detail {

static int Answer(int buttons, int id) {
  switch (id) {
    case IDOK: case IDYES: case IDABORT: return 1;
    case IDRETRY: return buttons == 4 ? 1 : 2;
    case IDNO: return 2;
    case IDCANCEL: return buttons == 1 || buttons == 4 ? 2 : 3;
    case IDIGNORE: return 3;
    default: return id;
  }
}

// The pattern matcher of the initial filter choice.
bool FilterMatches(const wchar_t* pattern, const wchar_t* name) {
  size_t p = 0, n = 0, plen = wcslen(pattern);
  bool star = false;
  while (p < plen) {
    if (!name[n]) return star && p + 1 == plen && pattern[p] == L'*';
    wchar_t pc = pattern[p], nc = name[n];
    if (pc == nc || (pc == L'?' && nc != L'.')) {
      ++p, ++n;
      star = false;
    } else if (pc == L'*' && nc != L'.') {
      ++n;
      star = true;
    } else if (pc == L'*' && nc == L'.') {
      ++p;
      star = false;
    } else {
      return false;
    }
  }
  return true;
}

// The filter of the dialog ("description NUL pattern NUL ... NUL") on the
// global stack and the 1-based index of the first pattern matching `initial`;
// null after a raise.
static wchar_t* BuildFilter(const slist_struct* filters, const wchar_t* initial, DWORD* index) {
  *index = 1;
  if (!filters || filters->functor != ListCons) {
    if (Validating()) {
      RaiseMayReturn(6003);
      return nullptr;
    }
  }
  size_t units = 1;
  int pairs = 0;
  for (auto* c = filters; c && c->functor == ListCons; c = c->next->next) {
    if (!c->next || c->next->functor != ListCons) {
      RaiseMayReturn(6200);
      return nullptr;
    }
    units += wcslen(c->value ? c->value : L"") + wcslen(c->next->value ? c->next->value : L"") + 2;
    ++pairs;
  }
  wchar_t* out = K::Memory::AllocGStackString(static_cast<uint32_t>(units) + 1);
  wchar_t* o = out;
  int i = 0;
  bool chosen = false;
  for (auto* c = filters; c && c->functor == ListCons && i < pairs; c = c->next->next, ++i) {
    const wchar_t* d = c->value ? c->value : L"";
    const wchar_t* p = c->next->value ? c->next->value : L"";
    wcscpy(o, d);
    o += wcslen(d) + 1;
    wcscpy(o, p);
    o += wcslen(p) + 1;
    if (!chosen && initial && *initial && FilterMatches(p, initial)) {
      *index = static_cast<DWORD>(i + 1);
      chosen = true;
    }
  }
  *o = 0;
  return out;
}

// The pattern of the 1-based filter `index`, or "".
static const wchar_t* FilterPattern(const slist_struct* filters, DWORD index) {
  DWORD i = 1;
  for (auto* c = filters; c && c->functor == ListCons && c->next && c->next->functor == ListCons;
       c = c->next->next, ++i)
    if (i == index) return c->next->value ? c->next->value : L"";
  return L"";
}

// `name` with the pattern's extension when its last component has none.
static wchar_t* WithExtension(const wchar_t* name, const wchar_t* pattern) {
  const wchar_t* last = name;
  for (const wchar_t* p = name; *p; ++p)
    if (*p == L'\\' || *p == L'/') last = p + 1;
  size_t extLen = 0;
  const wchar_t* dot = wcschr(pattern, L'.');
  if (!wcschr(last, L'.') && dot)
    while (dot[extLen] && dot[extLen] != L'*' && dot[extLen] != L';') ++extLen;
  size_t n = wcslen(name);
  wchar_t* out = K::Memory::AllocGStackString(static_cast<uint32_t>(n + extLen) + 1);
  wcscpy(out, name);
  wcsncpy(out + n, dot ? dot : L"", extLen);
  out[n + extLen] = 0;
  return out;
}

struct FileDialog {
  const wchar_t* initial;
  const slist_struct* filters;
  const wchar_t* title;
  DWORD flags;
  bool save;
  uint32_t bufferUnits;
  const wchar_t* initialDir;
};

// Runs the dialog; the buffer holds the result.  0 on OK, 1 on cancel,
// and 2 after a raise.
static int RunFileDialog(const FileDialog& f, OPENFILENAMEW* ofn, wchar_t** buffer) {
  DWORD index = 1;
  wchar_t* filter = BuildFilter(f.filters, f.initial, &index);
  if (!filter && Validating()) return 2;
  *buffer = K::Memory::AllocGStackString(f.bufferUnits + 1);
  (*buffer)[0] = 0;
  if (f.initial) {
    wcsncpy(*buffer, f.initial, f.bufferUnits - 1);
    (*buffer)[f.bufferUnits - 1] = 0;
  }
  *ofn = OPENFILENAMEW{};
  ofn->lStructSize = sizeof *ofn;
  ofn->hwndOwner = FocusWindowForBoxes();
  ofn->lpstrFilter = filter;
  ofn->nFilterIndex = index;
  ofn->lpstrFile = *buffer;
  ofn->nMaxFile = f.bufferUnits;
  ofn->lpstrTitle = f.title;
  ofn->lpstrInitialDir = f.initialDir;
  ofn->Flags = f.flags;
  BOOL ok = f.save ? QEL_BOUND_PROCEDURE(L"comdlg32.dll", GetSaveFileNameW)(ofn)
                   : QEL_BOUND_PROCEDURE(L"comdlg32.dll", GetOpenFileNameW)(ofn);
  if (ok) return 0;
  if (QEL_BOUND_PROCEDURE(L"comdlg32.dll", CommDlgExtendedError)() != 0) {
    RaiseMayReturn(6200);
    return 2;
  }
  return 1;
}

static wchar_t* CurrentDirectory() {
  DWORD n = GetCurrentDirectoryW(0, nullptr);
  wchar_t* d = K::Memory::AllocGStackString(n + 1);
  d[0] = 0;
  GetCurrentDirectoryW(n + 1, d);
  return d;
}

// The names of a multiple selection: "directory NUL name NUL ... NUL NUL"
// gives directory\name for each; a single name stands alone.
static slist_struct* SplitNames(const OPENFILENAMEW& ofn, const wchar_t* buffer, const wchar_t* pattern) {
  slist_struct* list = EmptyList<slist_struct>();
  size_t first = wcslen(buffer);
  if (ofn.nFileOffset <= first) return Push(list, static_cast<const u16*>(WithExtension(buffer, pattern)));
  const wchar_t* names[4096];
  int n = 0;
  for (const wchar_t* p = buffer + first + 1; *p && n < 4096; p += wcslen(p) + 1) names[n++] = p;
  for (int i = n - 1; i >= 0; --i) {
    size_t len = first + 1 + wcslen(names[i]);
    wchar_t* full = K::Memory::AllocGStackString(static_cast<uint32_t>(len) + 1);
    wcscpy(full, buffer);
    if (first && buffer[first - 1] != L'\\') wcscat(full, L"\\");
    wcscat(full, names[i]);
    list = Push(list, static_cast<const u16*>(WithExtension(full, pattern)));
  }
  return list;
}

// One write of bytes and line end at the file's end, under a lock on a
// byte far past any end (appends of several writers are not atomic under
// Wine: without the lock lines get lost), so that every line stays whole.
// Any thread may call it: the line is put together on the machine stack or
// the process heap.
bool AppendKwiLog(const void* bytes, size_t n) {
  if (n > 0x7FFFFFF0u - 2 || (n && !bytes)) return false;
  HANDLE f = CreateFileW(L"_kwi_.log", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  uint8_t small[512];
  auto* line = n + 2 <= sizeof small ? small : static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, n + 2));
  OVERLAPPED lock{};
  lock.OffsetHigh = 0x7FFFFFFF;
  bool ok = false;
  if (line && LockFileEx(f, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &lock)) {
    if (n) memcpy(line, bytes, n);
    line[n] = '\r';
    line[n + 1] = '\n';
    DWORD written = 0;
    LARGE_INTEGER zero{};
    ok = SetFilePointerEx(f, zero, nullptr, FILE_END) &&
         WriteFile(f, line, static_cast<DWORD>(n + 2), &written, nullptr) && written == n + 2;
    UnlockFileEx(f, 0, 1, 0, &lock);
  }
  if (line && line != small) HeapFree(GetProcessHeap(), 0, line);
  CloseHandle(f);
  return ok;
}

}  // namespace detail

using namespace detail;

int dlg_MessageBox(const u16* title, const u16* text, int icon, int buttons, int defaultButton,
                   int modality) {
  static const UINT icons[] = {MB_ICONINFORMATION, MB_ICONQUESTION, MB_ICONSTOP, MB_ICONEXCLAMATION};
  static const UINT sets[] = {MB_OK, MB_OKCANCEL, MB_YESNO, MB_YESNOCANCEL, MB_RETRYCANCEL,
                              MB_ABORTRETRYIGNORE};
  static const UINT defaults[] = {MB_DEFBUTTON1, MB_DEFBUTTON2, MB_DEFBUTTON3};
  static const UINT modes[] = {MB_TASKMODAL, MB_SYSTEMMODAL};
  bool ok = icon >= 0 && icon <= 3 && buttons >= 0 && buttons <= 5 && defaultButton >= 0 &&
            defaultButton <= 2 && modality >= 0 && modality <= 1;
  if (!ok) RaiseMayReturn(6010);
  UINT flags = (icon >= 0 && icon <= 3 ? icons[icon] : 0) | (buttons >= 0 && buttons <= 5 ? sets[buttons] : MB_OK) |
               (defaultButton >= 0 && defaultButton <= 2 ? defaults[defaultButton] : 0) |
               (modality == 1 ? modes[1] : modes[0]);
  int id = MessageBoxW(FocusWindowForBoxes(), text ? text : L"", title ? title : L"", flags);
  return Answer(buttons, id);
}

void dlg_Note(const u16* title, const u16* text) {
  MessageBoxW(FocusWindowForBoxes(), text ? text : L"", title ? title : L"",
              MB_TASKMODAL | MB_ICONINFORMATION | MB_OK);
}

void dlg_Error(const u16* title, const u16* text) {
  MessageBoxW(FocusWindowForBoxes(), text ? text : L"", title ? title : L"",
              MB_TASKMODAL | MB_ICONSTOP | MB_OK);
}

void kwi_ErrorMsg() { ShowErrorBox(); }

LONG_PTR dlg_ChooseColor(LONG_PTR parent, LONG_PTR colour) {
  HWND p = Hwnd(parent);
  if (!CheckWindow(p)) return colour;
  COLORREF custom[16];
  custom[0] = static_cast<COLORREF>(colour);
  for (int i = 1; i < 16; ++i) custom[i] = 0xFFFFFF;
  CHOOSECOLORW cc{};
  cc.lStructSize = sizeof cc;
  cc.hwndOwner = p;
  cc.rgbResult = static_cast<COLORREF>(colour);
  cc.lpCustColors = custom;
  cc.Flags = CC_RGBINIT;
  if (!QEL_BOUND_PROCEDURE(L"comdlg32.dll", ChooseColorW)(&cc)) K::Fail();
  return static_cast<LONG_PTR>(cc.rgbResult);
}

int drive_GetType(int drive) {
  wchar_t root[] = {static_cast<wchar_t>(L'A' + drive), L':', L'\\', 0};
  switch (GetDriveTypeW(root)) {
    case DRIVE_UNKNOWN: return 0;
    case DRIVE_NO_ROOT_DIR: return 1;
    case DRIVE_REMOTE: return 4;
    default: return 2;
  }
}

int drive_GetName(int drive, u16** name) {
  wchar_t local[] = {static_cast<wchar_t>(L'A' + drive), L':', 0};
  wchar_t* buf = K::Memory::AllocGStackString(256);
  buf[0] = 0;
  DWORD n = 255;
  DWORD status = QEL_BOUND_PROCEDURE(L"mpr.dll", WNetGetConnectionW)(local, buf, &n);
  buf[255] = 0;
  *name = buf;
  return static_cast<int>(status);
}

u16* dlg_GetOpenFileName(const u16* initialName, slist_struct* filters, const u16* title) {
  OPENFILENAMEW ofn;
  wchar_t* buffer;
  FileDialog f{initialName, filters, title, OFN_HIDEREADONLY, false, 255, CurrentDirectory()};
  if (RunFileDialog(f, &ofn, &buffer) != 0) return K::Memory::CopyStringToGStack(L"");
  return WithExtension(buffer, FilterPattern(filters, ofn.nFilterIndex));
}

u16* dlg_GetSaveFileName(const u16* initialName, slist_struct* filters, const u16* title) {
  OPENFILENAMEW ofn;
  wchar_t* buffer;
  FileDialog f{initialName, filters, title, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, true, 255, CurrentDirectory()};
  if (RunFileDialog(f, &ofn, &buffer) != 0) return K::Memory::CopyStringToGStack(L"");
  return buffer;
}

slist_struct* dlg_GetOpenFileNameList(const u16* initialName, slist_struct* filters, const u16* title,
                                      int bufferSize) {
  OPENFILENAMEW ofn;
  wchar_t* buffer;
  uint32_t units = bufferSize > 2 ? static_cast<uint32_t>(bufferSize) : 2;
  FileDialog f{initialName, filters, title,
               OFN_HIDEREADONLY | OFN_ALLOWMULTISELECT | OFN_LONGNAMES | OFN_EXPLORER, false, units,
               CurrentDirectory()};
  if (RunFileDialog(f, &ofn, &buffer) != 0) return EmptyList<slist_struct>();
  return SplitNames(ofn, buffer, FilterPattern(filters, ofn.nFilterIndex));
}

u16* dlg_GetFileName(const u16* initialName, slist_struct* filters, const u16* title, ilist_struct* flags,
                     const u16* startDirectory, slist_struct** names, int* filterIndex) {
  *names = EmptyList<slist_struct>();
  *filterIndex = 0;
  DWORD how = OFN_SHAREAWARE | OFN_NOCHANGEDIR | OFN_HIDEREADONLY | OFN_EXPLORER | OFN_LONGNAMES;
  bool save = false;
  uint32_t units = 300000;
  for (auto* c = flags; c && c->functor == ListCons; c = c->next) {
    if (c->value == 1) {
      save = true;
      how = (how & ~static_cast<DWORD>(OFN_SHAREAWARE)) | OFN_OVERWRITEPROMPT;
    } else if (c->value == 2) {
      how |= OFN_ALLOWMULTISELECT;
    } else if (c->value == 3 && c->next && c->next->functor == ListCons) {
      c = c->next;
      if (c->value > 2 && c->value < 0x3FFFFFF0) units = static_cast<uint32_t>(c->value);
    }
  }
  wchar_t* saved = CurrentDirectory();
  const bool moved = startDirectory && *startDirectory && SetCurrentDirectoryW(startDirectory);
  FileDialog f{initialName, filters, title, how, save, units, moved ? startDirectory : nullptr};
  OPENFILENAMEW ofn;
  wchar_t* buffer;
  int outcome = RunFileDialog(f, &ofn, &buffer);
  if (moved) SetCurrentDirectoryW(saved);
  if (outcome != 0) K::Fail();
  *filterIndex = ofn.nFilterIndex > 0 ? static_cast<int>(ofn.nFilterIndex) - 1 : 0;
  *names = SplitNames(ofn, buffer, FilterPattern(filters, ofn.nFilterIndex));
  return const_cast<u16*>((*names)->value);
}

void kwi_ShowHelp(const u16* file) { WinHelpW(TaskWindow(), file, HELP_CONTENTS, 0); }

void kwi_ShowHelpContext(const u16* file, int context) {
  WinHelpW(TaskWindow(), file, HELP_CONTEXT, static_cast<ULONG_PTR>(context));
}

void kwi_ShowHelpKeyWord(const u16* file, const u16* keyword) {
  wchar_t copy[257] = {};
  if (keyword) wcsncpy(copy, keyword, 256);
  WinHelpW(TaskWindow(), file, HELP_KEY, reinterpret_cast<ULONG_PTR>(copy));
}

void kwi_HelpClose() { WinHelpW(TaskWindow(), nullptr, HELP_QUIT, 0); }

}  // namespace QEL_KWI
