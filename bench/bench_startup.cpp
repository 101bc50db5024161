// The program's start-up against a one-window program (bench_startup_bare)
// in the same run: from the process's start to its window visible, to the
// window painted (no update region left) and to input idle (for the program
// also its command tree built).  Nine rounds, the two programs alternating;
// medians.  Goal: the program painted within 1.5 times the bare one.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_util.h"

namespace {

struct Times {
  double visible = -1, painted = -1, idle = -1;
};

std::wstring Beside(const wchar_t* name) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path = self;
  return path.substr(0, path.rfind(L'\\') + 1) + name;
}

struct Find {
  DWORD pid;
  HWND found;
};

HWND VisibleWindow(DWORD pid) {
  Find f{pid, nullptr};
  EnumWindows(
      [](HWND w, LPARAM p) {
        auto* f = reinterpret_cast<Find*>(p);
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner != f->pid || !IsWindowVisible(w) || GetWindow(w, GW_OWNER)) return TRUE;
        f->found = w;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&f));
  return f.found;
}

// A tree view with items among the window's children.
bool TreeBuilt(HWND w) {
  HWND tree = nullptr;
  EnumChildWindows(
      w,
      [](HWND c, LPARAM p) {
        wchar_t cls[64];
        GetClassNameW(c, cls, 64);
        if (wcscmp(cls, WC_TREEVIEWW) != 0) return TRUE;
        *reinterpret_cast<HWND*>(p) = c;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&tree));
  return tree && SendMessageW(tree, TVM_GETCOUNT, 0, 0) > 0;
}

Times Measure(const wchar_t* exe, bool program) {
  Times t;
  std::wstring line = exe;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  const double start = bench::Now();
  if (!CreateProcessW(Beside(exe).c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    std::fprintf(stderr, "bench_startup: cannot start %ls (%lu)\n", exe, GetLastError());
    return t;
  }
  HWND w = nullptr;
  while (bench::Now() - start < 60 && WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
    if (!w && (w = VisibleWindow(pi.dwProcessId))) t.visible = bench::Now() - start;
    if (w && t.painted < 0 && !GetUpdateRect(w, nullptr, FALSE)) t.painted = bench::Now() - start;
    if (w && t.idle < 0 && WaitForInputIdle(pi.hProcess, 0) == 0 && (!program || TreeBuilt(w)))
      t.idle = bench::Now() - start;
    if (t.painted >= 0 && t.idle >= 0) break;
    Sleep(1);
  }
  if (w) PostMessageW(w, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return t;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? -1 : v[v.size() / 2];
}

struct Column {
  std::vector<double> visible, painted, idle;
  void Add(const Times& t) {
    visible.push_back(t.visible);
    painted.push_back(t.painted);
    idle.push_back(t.idle);
  }
  void Print(const char* name) const {
    std::printf("%-22s visible %7.1f ms  painted %7.1f ms  input idle %7.1f ms\n", name, Median(visible) * 1e3,
                Median(painted) * 1e3, Median(idle) * 1e3);
  }
};

}  // namespace

int main() {
  constexpr int kRounds = 9;
  Column program, bare;
  for (int round = 0; round < kRounds; ++round) {
    bare.Add(Measure(L"bench_startup_bare.exe", false));
    program.Add(Measure(L"kalmoraTessaro.exe", true));
  }
  std::printf("start-up, medians of %d alternating rounds\n", kRounds);
  program.Print("kalmoraTessaro");
  bare.Print("bench_startup_bare");
  const double ratio = Median(program.painted) / Median(bare.painted);
  std::printf("painted: %.2fx the bare program (goal within 1.5x: %s)\n", ratio, ratio <= 1.5 ? "met" : "missed");
  return 0;
}
