// A child program for the process tests:
//   kwi_proc_helper MS CODE                 waits MS milliseconds, ends with CODE
//   kwi_proc_helper MS CODE window          shows a window titled "Kwi helper" until MS
//                                           pass (then CODE) or it is closed (then 7)
//   kwi_proc_helper MS CODE echo FILE ...   first writes its command line to FILE
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

static int g_code;

static LRESULT CALLBACK HelperProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  switch (m) {
    case WM_TIMER: DestroyWindow(w); return 0;
    case WM_CLOSE: g_code = 7; DestroyWindow(w); return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcW(w, m, wp, lp);
  }
}

static void Echo(const wchar_t* file) {
  HANDLE h = CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  const wchar_t* line = GetCommandLineW();
  DWORD written;
  WriteFile(h, line, static_cast<DWORD>(wcslen(line) * sizeof(wchar_t)), &written, nullptr);
  CloseHandle(h);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  DWORD ms = argc > 1 ? wcstoul(argv[1], nullptr, 10) : 0;
  g_code = argc > 2 ? static_cast<int>(wcstol(argv[2], nullptr, 10)) : 0;
  const wchar_t* mode = argc > 3 ? argv[3] : L"";
  if (wcscmp(mode, L"echo") == 0 && argc > 4) Echo(argv[4]);
  if (wcscmp(mode, L"window") != 0) {
    Sleep(ms);
    return g_code;
  }
  WNDCLASSW c{};
  c.lpfnWndProc = HelperProc;
  c.hInstance = instance;
  c.lpszClassName = L"KwiHelper";
  RegisterClassW(&c);
  HWND w = CreateWindowW(L"KwiHelper", L"Kwi helper", WS_OVERLAPPEDWINDOW, 50, 50, 200, 100,
                         nullptr, nullptr, instance, nullptr);
  ShowWindow(w, show);
  SetTimer(w, 1, ms, nullptr);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return g_code;
}
