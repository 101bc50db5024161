// Test main of every test program: parses --watchdog=SECONDS (default 120),
// starts a thread that ends the process with exit code 124 when the time is
// up, then runs GoogleTest.
#include <gtest/gtest.h>
#include <windows.h>
#include <cstdio>
#include <cstring>
#include <cstdlib>

static DWORD WINAPI watchdog(void* arg) {
  DWORD seconds = static_cast<DWORD>(reinterpret_cast<uintptr_t>(arg));
  Sleep(seconds * 1000);
  fprintf(stderr, "\nwatchdog: test program still running after %lu s, ending it\n",
          static_cast<unsigned long>(seconds));
  fflush(stderr);
  TerminateProcess(GetCurrentProcess(), 124);
  return 0;
}

int main(int argc, char** argv) {
  unsigned long seconds = 120;
  int out = 1;
  for (int i = 1; i < argc; ++i) {
    if (strncmp(argv[i], "--watchdog=", 11) == 0)
      seconds = strtoul(argv[i] + 11, nullptr, 10);
    else
      argv[out++] = argv[i];
  }
  argc = out;
  // Keep the "Program Error"-style boxes of the CRT and the system out of a test run.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  if (seconds)
    CloseHandle(CreateThread(nullptr, 0, watchdog,
                             reinterpret_cast<void*>(static_cast<uintptr_t>(seconds)), 0, nullptr));
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
