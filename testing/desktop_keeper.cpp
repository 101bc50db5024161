// Holds the Wine desktop for a whole test run.  Wine ends its desktop process
// a moment after the last window of the desktop goes; the next test to open
// a window starts it again, and the new desktop process inherits that test's
// output pipe, so ctest waits for it long after the test has ended.  The test
// command starts this program first, with its output on /dev/null, waits for
// the file named by its argument (made once the window exists), and the
// run's wineserver ends it.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  if (!CreateWindowExW(0, L"STATIC", L"desktop keeper", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr))
    return 1;
  if (argc > 1) {
    HANDLE f = CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
  }
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) DispatchMessageW(&m);
  return 0;
}
