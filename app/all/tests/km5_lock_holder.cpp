// Holds a file open without sharing until it is ended (at most a minute):
// the "file locked by another process" of the import's tests.  Writes
// "locked" once the file is held, "failed" when it cannot be opened.
#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 3;
  HANDLE h = CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  printf(h == INVALID_HANDLE_VALUE ? "failed\n" : "locked\n");
  fflush(stdout);
  if (h == INVALID_HANDLE_VALUE) return 1;
  Sleep(60000);
  CloseHandle(h);
  return 0;
}
