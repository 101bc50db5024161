// A second program for the clipboard tests:
//   kwi_clip_helper get FORMAT FILE   writes the clipboard's block of FORMAT (a
//                                     number, or the name of a registered format)
//                                     to FILE, whole
//   kwi_clip_helper empty             empties the clipboard
//   kwi_clip_helper open              opens and closes the clipboard
//   kwi_clip_helper hold HELD FREE    opens the clipboard, sets the event HELD
//                                     and keeps it open until the event FREE
//                                     is set (10 s at most)
// Ends with 0 when done, 1 otherwise.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

static UINT Format(const wchar_t* name) {
  wchar_t* end;
  unsigned long n = wcstoul(name, &end, 10);
  return *end == 0 && end != name ? static_cast<UINT>(n) : RegisterClipboardFormatW(name);
}

static int Get(const wchar_t* format, const wchar_t* file) {
  if (!OpenClipboard(nullptr)) return 1;
  int result = 1;
  HANDLE h = GetClipboardData(Format(format));
  const void* p = h ? GlobalLock(h) : nullptr;
  if (p) {
    HANDLE f = CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0, size = static_cast<DWORD>(GlobalSize(h));
    if (f != INVALID_HANDLE_VALUE) {
      if (WriteFile(f, p, size, &written, nullptr) && written == size) result = 0;
      CloseHandle(f);
    }
    GlobalUnlock(h);
  }
  CloseClipboard();
  return result;
}

static int Hold(const wchar_t* held, const wchar_t* free) {
  HANDLE h = OpenEventW(EVENT_MODIFY_STATE, FALSE, held), f = OpenEventW(SYNCHRONIZE, FALSE, free);
  if (!h || !f || !OpenClipboard(nullptr)) return 1;
  SetEvent(h);
  WaitForSingleObject(f, 10000);
  CloseClipboard();
  return 0;
}

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argc == 4 && wcscmp(argv[1], L"get") == 0) return Get(argv[2], argv[3]);
  if (argc == 4 && wcscmp(argv[1], L"hold") == 0) return Hold(argv[2], argv[3]);
  if (argc == 2 && wcscmp(argv[1], L"open") == 0) return OpenClipboard(nullptr) && CloseClipboard() ? 0 : 1;
  if (argc == 2 && wcscmp(argv[1], L"empty") == 0) {
    if (!OpenClipboard(nullptr)) return 1;
    BOOL ok = EmptyClipboard();
    CloseClipboard();
    return ok ? 0 : 1;
  }
  return 1;
}
