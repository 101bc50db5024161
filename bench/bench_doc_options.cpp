// The options file: a 50-entry store (the six fixed settings and 44 keyed
// entries of every kind) read by read_opt and saved after a changed value,
// against Python's configparser reading the same 50 values into typed values
// and writing them with the same flush, fsync and replace
// (bench_doc_options.py).  Beside ours stands the least Win32 work of each:
// open, one ReadFile, close; and a new file written, flushed and moved over
// the old one with MoveFileExW; what ours costs above it is ours, the rest is
// the system's.  Our measuring and Python's alternate three times (the machine
// may be loaded); each figure is the best.  Prints the time per read and per
// save and the ratios with their goal.  The file lies beside the program: the
// measuring runs from a copy of the program in a folder of its own, as an
// installed program does (Wine looks through a folder's names when it
// creates a file there, and the build folder is large).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

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

// Seconds per call of f over n calls, each call under a global-stack mark.
template <class F>
double PerCall(int n, F f) {
  const double start = bench::Now();
  for (int i = 0; i < n; ++i) {
    uint8_t* mark = Kn::Memory::MarkGStack();
    f(i);
    Kn::Memory::ReleaseGStack(mark);
  }
  return (bench::Now() - start) / n;
}

// The best of three runs of n calls of each, the two taking turns.
template <class F, class G>
void BestOfPair(int n, F f, G g, double* fBest, double* gBest) {
  *fBest = *gBest = 1e30;
  for (int run = 0; run < 3; ++run) {
    *fBest = std::min(*fBest, PerCall(n, f));
    *gBest = std::min(*gBest, PerCall(n, g));
  }
}

// The figures of one measuring, in seconds per operation.
struct Figures {
  double read, save, floorRead, floorSave;
};

// Runs a copy of this program from a folder of its own with `--here`; the
// DLLs come from this program's folder through PATH.
bool RunCopy(const std::wstring& folder, Figures* out) {
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
    ok = f && fscanf(f, "%lf %lf %lf %lf", &out->read, &out->save, &out->floorRead,
                     &out->floorSave) == 4;
    if (f) fclose(f);
  }
  DeleteFileW(result.c_str());
  DeleteFileW(copy.c_str());
  RemoveDirectoryW(folder.c_str());
  return ok;
}

// The least a read needs: open, one ReadFile of the whole file, close.
// Returns the file's first bytes (at most 64 KiB), valid until the next call.
std::string_view FloorRead(const wchar_t* name) {
  static char buffer[65536];
  HANDLE h = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD n = 0;
  ReadFile(h, buffer, sizeof buffer, &n, nullptr);
  CloseHandle(h);
  return {buffer, n};
}

// The least a safe save needs: the bytes to a new file, flushed, moved over
// the old one.
void FloorSave(const wchar_t* name, const std::wstring& temp, const std::string& bytes) {
  HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD n = 0;
  WriteFile(h, bytes.data(), DWORD(bytes.size()), &n, nullptr);
  FlushFileBuffers(h);
  CloseHandle(h);
  MoveFileExW(temp.c_str(), name, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

// The measuring, in the copy: the figures go to "figures.txt" beside it.
int Measure() {
  if (InitializeUnit() != 0) return 1;
  const auto* db = tav::D(domains::f_opt);
  Fill();  // the program's folder gets "opt.cns"
  const wchar_t* name = OptionsFileName();
  double read, floorRead, save, floorSave;
  BestOfPair(
      300,
      [&](int) {
        Qel::RunTime::Terms::DBInternal::RetractAllinDBClass(db);
        O::read_opt();
      },
      [&](int) { FloorRead(name); }, &read, &floorRead);
  const std::string bytes(FloorRead(name));
  const std::wstring temp = std::wstring(name) + L".new";
  BestOfPair(
      300, [](int i) { O::boundary(1000 + i); }, [&](int) { FloorSave(name, temp, bytes); }, &save,
      &floorSave);
  DeleteFileW(name);
  FILE* f = fopen("figures.txt", "w");
  if (!f) return 1;
  fprintf(f, "%.9f %.9f %.9f %.9f\n", read, save, floorRead, floorSave);
  fclose(f);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && strcmp(argv[1], "--here") == 0) return Measure();
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder =
      std::wstring(temp) + L"rz_bench_options_" + std::to_wstring(GetCurrentProcessId());
  Figures ours{1e30, 1e30, 1e30, 1e30};
  double pyRead = 1e30, pySave = 1e30;
  bool python = true;
  for (int round = 0; round < 3; ++round) {
    Figures f;
    if (!RunCopy(folder, &f)) {
      printf("options file: the measuring copy did not run\n");
      return 1;
    }
    ours = {std::min(ours.read, f.read), std::min(ours.save, f.save),
            std::min(ours.floorRead, f.floorRead), std::min(ours.floorSave, f.floorSave)};
    if (!python) continue;
    std::string py = bench::RunUnixProgram(
        nullptr,
        L"/usr/bin/python3 " _CRT_WIDE(RZ_BENCH_DIR) L"/bench_doc_options.py /tmp/rz_bench_opt.txt",
        L"Z:\\tmp\\rz_bench_opt.txt", 300);
    double r = 0, s = 0;
    python = !py.empty() && sscanf(py.c_str(), "%lf %lf", &r, &s) == 2;
    pyRead = std::min(pyRead, r);
    pySave = std::min(pySave, s);
  }
  printf("options file: 50 settings (six fixed, 44 keyed of every kind)\n");
  printf("  %-36s %8.1f us\n", "read_opt", ours.read * 1e6);
  printf("  %-36s %8.1f us\n", "Win32 least read (open, read, close)", ours.floorRead * 1e6);
  printf("  %-36s %8.1f us\n", "save after a change", ours.save * 1e6);
  printf("  %-36s %8.1f us\n", "Win32 least save (write, flush, move)", ours.floorSave * 1e6);
  if (!python) {
    printf("  Python not available\n");
    return 0;
  }
  printf("  %-36s %8.1f us\n", "Python configparser read, typed", pyRead * 1e6);
  printf("  %-36s %8.1f us\n", "Python write, fsync, replace", pySave * 1e6);
  const struct {
    const char* name;
    double ours, floor, theirs;
  } ratios[] = {{"read", ours.read, ours.floorRead, pyRead}, {"save", ours.save, ours.floorSave, pySave}};
  for (const auto& r : ratios)
    printf("  ratio %s ours/Python %.2f (goal <= 1.0)%s; Win32 least/Python %.2f\n", r.name,
           r.ours / r.theirs, r.ours / r.theirs <= 1.0 ? "" : "  below goal", r.floor / r.theirs);
  return 0;
}
