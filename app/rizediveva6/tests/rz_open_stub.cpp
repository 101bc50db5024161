// The program a test associates with its own file extension: writes its
// command line and the show command it was started with to
// "rz_open_stub.txt" beside itself (through a temporary name, so that a
// reader never sees half of it).
#include <windows.h>

#include <cstdio>
#include <string>

int wmain() {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  GetStartupInfoW(&si);
  wchar_t self[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring dir(self, n);
  dir.erase(dir.find_last_of(L'\\') + 1);
  const std::wstring temp = dir + L"rz_open_stub.tmp", out = dir + L"rz_open_stub.txt";
  FILE* f = _wfopen(temp.c_str(), L"wb");
  if (!f) return 1;
  const int show = (si.dwFlags & STARTF_USESHOWWINDOW) ? si.wShowWindow : -1;
  fprintf(f, "%ls\n%d\n", GetCommandLineW(), show);
  fclose(f);
  return MoveFileExW(temp.c_str(), out.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
