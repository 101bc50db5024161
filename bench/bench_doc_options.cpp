// The options file: a 50-entry store (the six fixed settings and 44 keyed
// entries of every kind) read by read_opt and saved after a changed value,
// against Python's configparser reading and writing the same 50 values with
// the same flush, fsync and replace (bench_doc_options.py).  Prints the time
// per read and per save of each and the ratios with their goal.  The file
// lies beside the program: the measuring runs from a copy of the program in a
// folder of its own, as an installed program does (Wine looks through a
// folder's names when it creates a file there, and the build folder is large).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "SYSTEM/options/options_db.h"
#include "bench_util.h"
#include "qel6run_db.h"
#include "qel6kwi.h"
#include "qel6kwi_win.h"
#include "unit.h"

namespace rizediveva6::domains {
extern Qel::RunTime::Terms::DBInternal::RFactDatabase f_opt;
}

using namespace rizediveva6;
namespace Kn = Qel::RunTime::Kernel;
using O = options_db;

namespace {

void Fill() {
  O::days_previous_to_today_for_analysis(7);
  O::shortest_duty_mins(30);
  QEL_KWI::ilist_struct none{QEL_KWI::ListNil, 0, nullptr};
  O::opt_font(QEL_KWI::font_Create(4, &none, 8));
  O::base_folder(L"C:\\");
  O::publish_folder(L"C:\\");
  O::boundary(0);
  tav::StringList end{2, nullptr, nullptr};
  tav::StringList abc[3] = {{1, L"a", &abc[1]}, {1, L"b", &abc[2]}, {1, L"c", &end}};
  IntList iend{2, 0, nullptr};
  IntList ints[2] = {{1, 10, &ints[1]}, {1, 20, &iend}};
  for (int i = 0; i < 44; ++i) {
    wchar_t key[16];
    swprintf(key, 16, L"key%d", i);
    switch (i % 9) {
      case 0: O::various_s(key, L"text"); break;
      case 1: O::various_i(key, -i); break;
      case 2: O::various_u64(key, (1ull << 63) + i); break;
      case 3: O::various_r(key, i / 3.0); break;
      case 4: O::various_rct(key, Rct{1, 2, 300, i}); break;
      case 5: O::various_t(key, 133000000000000000ull + i); break;
      case 6: O::various_slist(key, abc); break;
      case 7: O::various_ilist(key, ints); break;
      default: O::various_boo(key, true); break;
    }
  }
}

template <class F>
double Best(int n, F f) {
  double best = 1e30;
  for (int run = 0; run < 3; ++run) {
    const double start = bench::Now();
    for (int i = 0; i < n; ++i) {
      uint8_t* mark = Kn::Memory::MarkGStack();
      f(i);
      Kn::Memory::ReleaseGStack(mark);
    }
    best = std::min(best, (bench::Now() - start) / n);
  }
  return best;
}


// Runs a copy of this program from a folder of its own with `--here`; the
// DLLs come from this program's folder through PATH.
bool RunCopy(const std::wstring& folder, double* read, double* save) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring bin = self;
  bin = bin.substr(0, bin.rfind(L'\\'));
  CreateDirectoryW(folder.c_str(), nullptr);
  std::wstring copy = folder + L"\\bench_doc_options.exe";
  CopyFileW(self, copy.c_str(), FALSE);
  wchar_t path[32768];
  DWORD had = GetEnvironmentVariableW(L"PATH", path, 32768);
  SetEnvironmentVariableW(L"PATH", (bin + L";" + (had ? path : L"")).c_str());
  std::wstring result = folder + L"\\figures.txt";
  std::wstring line = L"bench_doc_options.exe --here";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  bool ok = CreateProcessW(copy.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           folder.c_str(), &si, &pi);
  SetEnvironmentVariableW(L"PATH", had ? path : nullptr);
  if (ok) {
    WaitForSingleObject(pi.hProcess, 600000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    FILE* f = _wfopen(result.c_str(), L"r");
    ok = f && fscanf(f, "%lf %lf", read, save) == 2;
    if (f) fclose(f);
  }
  DeleteFileW(result.c_str());
  DeleteFileW(copy.c_str());
  RemoveDirectoryW(folder.c_str());
  return ok;
}

// The measuring, in the copy: the figures go to "figures.txt" beside it.
int Measure() {
  if (InitializeUnit() != 0) return 1;
  const auto* db = tav::D(domains::f_opt);
  Fill();  // the program's folder gets "opt.cns"
  const double read = Best(300, [&](int) {
    Qel::RunTime::Terms::DBInternal::RetractAllinDBClass(db);
    O::read_opt();
  });
  const double save = Best(300, [](int i) { O::boundary(1000 + i); });
  DeleteFileW(OptionsFileName());
  FILE* f = fopen("figures.txt", "w");
  if (!f) return 1;
  fprintf(f, "%.9f %.9f\n", read, save);
  fclose(f);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && strcmp(argv[1], "--here") == 0) return Measure();
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  double read = 0, save = 0;
  if (!RunCopy(std::wstring(temp) + L"rz_bench_options_" + std::to_wstring(GetCurrentProcessId()),
               &read, &save)) {
    printf("options file: the measuring copy did not run\n");
    return 1;
  }
  printf("options file: 50 settings (six fixed, 44 keyed of every kind)\n");
  printf("  %-28s %8.1f us\n", "read_opt", read * 1e6);
  printf("  %-28s %8.1f us\n", "save after a change", save * 1e6);
  std::string py = bench::RunUnixProgram(
      nullptr,
      L"/usr/bin/python3 " _CRT_WIDE(RZ_BENCH_DIR) L"/bench_doc_options.py /tmp/rz_bench_opt.txt",
      L"Z:\\tmp\\rz_bench_opt.txt", 300);
  double pyRead = 0, pySave = 0;
  if (py.empty() || sscanf(py.c_str(), "%lf %lf", &pyRead, &pySave) != 2) {
    printf("  Python not available\n");
    return 0;
  }
  printf("  %-28s %8.1f us\n", "Python configparser read", pyRead * 1e6);
  printf("  %-28s %8.1f us\n", "Python write, fsync, replace", pySave * 1e6);
  const struct {
    const char* name;
    double ours, theirs;
  } ratios[] = {{"read", read, pyRead}, {"save", save, pySave}};
  for (const auto& r : ratios)
    printf("  ratio %s ours/Python %.2f (goal <= 1.0)%s\n", r.name, r.ours / r.theirs,
           r.ours / r.theirs <= 1.0 ? "" : "  below goal");
  return 0;
}
