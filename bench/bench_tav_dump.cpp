// The exception dump and the program object: entries per second dumping a
// state of 1,000 entries into a string stream against the same fields
// written with swprintf into a std::wstring; start-to-exit time of a child
// that runs an empty run predicate through mainExe::run against a bare
// MinGW-w64 console program, under the same wineserver.
#include <cstdio>
#include <string>

#include "bench_util.h"
#include "exception/exceptionDump.h"
#include "string/string_stream.h"

using namespace tav;
namespace Kn = Qel::RunTime::Kernel;

namespace {

const ClassInfo benchClass{L"tav/bench/benchClass", L"Version 1.0"};
const ExceptionDescriptor benchError{&benchClass, L"bencherror", L"A benchmark error"};

double StartToExit(const std::wstring& program, int rounds) {
  double best = 1e30;
  for (int i = 0; i < rounds; ++i) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = nul;
    PROCESS_INFORMATION pi{};
    std::wstring line = L"\"" + program + L"\"";
    double t0 = bench::Now();
    BOOL ok = CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                             nullptr, &si, &pi);
    CloseHandle(nul);
    if (!ok) return -1;
    WaitForSingleObject(pi.hProcess, INFINITE);
    best = std::min(best, bench::Now() - t0);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  }
  return best;
}

}  // namespace

int main() {
  if (InitializeUnit() != 0) return 1;
  Kn::RPrologExceptionPredicateStruct* previous;
  uint32_t previousNeed;
  Kn::Control::TPrologThreadData::SetPrologExceptionPredicate(&runtime_exception::raiser, 4096,
                                                              &previous, &previousNeed);
  const int entries = 1000;
  static const Kn::TFullCursor at{Kn::CursorPosition(12, 3), L"t.pro"};
  for (int i = 0; i < entries; ++i)
    Kn::RunTrapped([&] {
      Kn::Control::TPrologThreadData::SetCurrentPosition(&at);
      exception::raise(&benchClass, &benchError,
                       Values({{L"Index", value::integer(i)}, {L"Text", value::string(L"abc")}}));
    });

  const int rounds = 20;
  double best = 1e30;
  size_t length = 0;
  for (int r = 0; r < rounds; ++r) {
    uint8_t* mark = Kn::Memory::MarkGStack();
    double t0 = bench::Now();
    outputStream_string* out = outputStream_string::New();
    exceptionDump::dump(out);
    length = wcslen(out->getstring());
    best = std::min(best, bench::Now() - t0);
    Kn::Memory::ReleaseGStack(mark);
  }
  double cppBest = 1e30;
  for (int r = 0; r < rounds; ++r) {
    double t0 = bench::Now();
    std::wstring s;
    wchar_t line[512];
    s += L"\n========================================\n Dump: 2026/12/08 14:03:59";
    for (int i = 0; i < entries; ++i) {
      swprintf(line, 512,
               L"\n----------------------------------------\nException: %ls (%ls)\n\n    %ls\n"
               L"\nParameters:\n    Index = %d\n    Text = %ls\n\n%ls (ID=%u) %ls\nModule: %ls %ls\n"
               L"File: %ls(%u,%u)\n",
               L"bencherror", L"tav/bench/benchClass", L"A benchmark error", i, L"abc", L"raised",
               65536u + i, L"2026/12/08 14:03:59", L"tav/bench/benchClass", L"Version 1.0",
               L"t.pro", 12u, 3u);
      s += line;
    }
    cppBest = std::min(cppBest, bench::Now() - t0);
    length += s.size() * 0;
  }
  printf("tav exception dump and program object\n");
  printf("  dump of %d entries                   %10.0f entries/s\n", entries, entries / best);
  printf("  swprintf into std::wstring             %10.0f entries/s   dump/swprintf time = %.2f "
         "(goal <= 3)\n",
         entries / cppBest, best / cppBest);

  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring folder = self;
  folder = folder.substr(0, folder.rfind(L'\\') + 1);
  SetEnvironmentVariableW(L"TAV_CHILD", L"empty");
  double child = StartToExit(folder + L"tav_child.exe", 10);
  double bare = StartToExit(folder + L"tav_bare.exe", 10);
  SetEnvironmentVariableW(L"TAV_CHILD", L"load");
  double loaded = StartToExit(folder + L"tav_child.exe", 10);
  if (child > 0 && bare > 0)
    printf("  start to exit: mainExe::run child %.1f ms, bare program %.1f ms, ratio %.2f "
           "(goal <= 1.2)\n",
           child * 1e3, bare * 1e3, child / bare);
  if (loaded > 0)
    printf("  the same child ending as soon as its libraries are loaded: %.1f ms; mainExe::run "
           "and the units add %.1f ms\n",
           loaded * 1e3, (child - loaded) * 1e3);
  else
    printf("  start to exit: a child program is missing\n");
  Kn::Control::TPrologThreadData::SetPrologExceptionPredicate(previous, previousNeed, nullptr,
                                                              nullptr);
  return length ? 0 : 1;
}
