// The class library's exceptions: nanoseconds per raise + catch + clear, per
// kernel error made a trace by the raiser, against a C++ throw/catch of an
// object with two std::wstring and SWI-Prolog's catch/3 (run as a host
// program through Wine); sequence_nd in a fail-driven loop against
// SWI-Prolog's between/3.
#include <cstdio>
#include <stdexcept>
#include <string>

#include "bench_util.h"
#include "exception/exception.h"
#include "programControl/programControl.h"

using namespace tav;
namespace Kn = Qel::RunTime::Kernel;
using Kn::Control::TPrologThreadData;

namespace {

const ClassInfo benchClass{L"tav/bench/benchClass", L"Version 1.0"};
const ExceptionDescriptor benchError{&benchClass, L"bencherror", L"A benchmark error"};

struct CppError {
  std::wstring name;
  std::wstring description;
};

__attribute__((noinline)) void ThrowCpp(int i) {
  if (i >= 0) throw CppError{L"bencherror", L"A benchmark error"};
}

template <class F>
double NsPer(int n, F&& body) {
  double start = bench::Now();
  for (int i = 0; i < n; ++i) body(i);
  return (bench::Now() - start) * 1e9 / n;
}

bool WriteText(const wchar_t* name, const std::string& text) {
  HANDLE h = CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD done;
  bool ok = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
  CloseHandle(h);
  return ok && done == text.size();
}

std::wstring UnixName(const std::wstring& name) {
  using Fn = char* (*)(const wchar_t*);
  auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  std::wstring out;
  if (char* u = fn ? fn(name.c_str()) : nullptr)
    for (const char* c = u; *c; ++c) out += static_cast<wchar_t>(static_cast<uint8_t>(*c));
  return out;
}

// SWI-Prolog's ns per catch/3 of a thrown compound and per between/3
// solution, or false when swipl is not there.
bool RunSwi(int n, double* catchNs, double* betweenNs) {
  if (GetFileAttributesW(L"Z:\\usr\\bin\\swipl") == INVALID_FILE_ATTRIBUTES) return false;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring base = std::wstring(temp) + L"tav_bench_swi";
  std::string program =
      "t(0) :- !.\n"
      "t(N) :- catch(throw(e(bencherror, 'A benchmark error')), e(_, _), true), M is N - 1, t(M).\n"
      "main :- N = " + std::to_string(n) + ",\n"
      "  statistics(cputime, A), t(N), statistics(cputime, B),\n"
      "  ( between(1, N, _), fail ; true ), statistics(cputime, C),\n"
      "  format('~f ~f~n', [(B - A) * 1.0e9 / N, (C - B) * 1.0e9 / N]).\n";
  std::string script =
      "swipl -q -g main -t halt \"$1\" > \"$1.time.tmp\"; mv \"$1.time.tmp\" \"$1.time\"\n";
  if (!WriteText((base + L".pl").c_str(), program) || !WriteText((base + L".sh").c_str(), script))
    return false;
  std::wstring command = L"Z:\\bin\\sh \"" + UnixName(base + L".sh") + L"\" \"" +
                         UnixName(base + L".pl") + L"\"";
  std::string text =
      bench::RunUnixProgram(L"Z:\\bin\\sh", command, (base + L".pl.time").c_str(), 300);
  DeleteFileW((base + L".pl").c_str());
  DeleteFileW((base + L".sh").c_str());
  return sscanf(text.c_str(), "%lf %lf", catchNs, betweenNs) == 2;
}

}  // namespace

int main() {
  if (InitializeUnit() != 0) return 1;
  Kn::RPrologExceptionPredicateStruct* previous;
  uint32_t previousNeed;
  TPrologThreadData::SetPrologExceptionPredicate(&runtime_exception::raiser, 4096, &previous,
                                                 &previousNeed);
  const int n = 200000;

  double raise = NsPer(n, [](int) {
    uint32_t id = Kn::RunTrapped([] {
      TAV_AT();
      exception::raise(&benchClass, &benchError, Values({{L"Index", value::integer(1)}}));
    });
    exception::clear(id);
  });
  double kernel = NsPer(n, [](int) {
    uint32_t id = Kn::RunTrapped([] { Kn::Errors::RunTimeError(1317); });
    exception::clear(id);
  });
  double cpp = NsPer(n, [](int i) {
    try {
      ThrowCpp(i);
    } catch (const CppError& e) {
      if (e.name.empty()) std::abort();
    }
  });
  const int m = 10000000;
  double sequence = 0;
  {
    volatile int64_t sum = 0;
    double start = bench::Now();
    programControl::sequence_nd(1, m, 1, [&](int32_t v) {
      sum = sum + v;
      Kn::Fail();
    });
    sequence = (bench::Now() - start) * 1e9 / m;
  }

  printf("tav exceptions (%d rounds)\n", n);
  printf("  raise + catch + clear          %8.0f ns\n", raise);
  printf("  kernel error made a trace      %8.0f ns\n", kernel);
  printf("  C++ throw/catch (2 wstrings)   %8.0f ns   raise/C++ = %.2f (goal <= 2)\n", cpp,
         raise / cpp);
  printf("  sequence_nd, fail-driven       %8.1f ns per solution\n", sequence);
  double swiCatch, swiBetween;
  if (RunSwi(n, &swiCatch, &swiBetween)) {
    printf("  SWI-Prolog catch/3             %8.0f ns\n", swiCatch);
    printf("  SWI-Prolog between/3           %8.1f ns per solution   rate vs SWI = %.2f (goal >= 1)\n",
           swiBetween, swiBetween / sequence);
  } else {
    printf("  SWI-Prolog: not available (install swi-prolog-nox)\n");
  }
  TPrologThreadData::SetPrologExceptionPredicate(previous, previousNeed, nullptr, nullptr);
  return 0;
}
