// Child processes: the end event for each exit code, the synchronous run
// that keeps the GUI alive, the started program's window, stale
// identifiers, missing programs and names with blanks.  The child is
// kwi_proc_helper, built beside this program.
#include <gtest/gtest.h>

#include "widgets.h"

using namespace QEL_KWI;
using namespace kwitest;

namespace {

std::wstring Folder() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring s(path, n);
  return s.substr(0, s.find_last_of(L"\\/") + 1);
}

std::wstring Helper() { return Folder() + L"kwi_proc_helper.exe"; }

// A child window that logs its end events and timer ticks.
struct ProcessWindow {
  Terms t;
  std::vector<LONG_PTR> ended;
  int ticks = 0;
  Closure closure{[this](HWND, event_struct* e) -> LONG_PTR {
    if (e->kind == e_endapplication) ended.push_back(e->w[0]);
    else if (e->kind == e_timer) ++ticks;
    else Fail();
    return 0;
  }};
  HWND Create(HWND parent) {
    rect_struct r{0, 0, 50, 50};
    return reinterpret_cast<HWND>(
        win_Create(wt_child, &r, L"", t.NoMenu(), L(parent), t.Flags({}), &closure, 0));
  }
};

int Trackers(HWND parent) {
  int n = 0;
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    wchar_t name[32];
    if (GetClassNameW(c, name, 32) && wcscmp(name, L"ZevRunApp32") == 0) ++n;
  }
  return n;
}

TEST(Processes, EachExitCodeGivesOneEndEvent) {
  ProcessWindow p;
  std::vector<LONG_PTR> ids;
  std::vector<int> staleErrors;
  int trackersLeft = -1;
  RunInTask([&](HWND task) {
    HWND w = p.Create(task);
    for (const wchar_t* args : {L"50 0", L"50 3", L"50 259"}) {
      size_t before = p.ended.size();
      ids.push_back(kwi_CreateProcess(L(w), Helper().c_str(), args, 11));
      PumpUntil([&] { return p.ended.size() > before; }, 10000);
    }
    PumpUntil([] { return false; }, 300);  // no second event
    trackersLeft = Trackers(w);
    RecordingRaises r;
    staleErrors = r.Of([&] {
      for (LONG_PTR id : ids) {
        kwi_CloseProcess(id);
        kwi_GetProcessWindow(id);
      }
    });
    DestroyWindow(w);
  });
  ASSERT_EQ(ids.size(), 3u);
  EXPECT_NE(ids[0], -1);
  EXPECT_EQ(p.ended, ids);
  EXPECT_EQ(trackersLeft, 0);
  EXPECT_EQ(staleErrors, Codes({6172, 6173, 6172, 6173, 6172, 6173}));
}

TEST(Processes, RunProcessKeepsTheCallersTimersGoing) {
  ProcessWindow p;
  int code = -1, ticksDuring = 0;
  RunInTask([&](HWND task) {
    HWND w = p.Create(task);
    LONG_PTR timer = timer_Set(L(w), 20);
    code = kwi_RunProcess(Helper().c_str(), L"600 259");
    ticksDuring = p.ticks;
    timer_Kill(timer);
    DestroyWindow(w);
  });
  EXPECT_EQ(code, 259);
  EXPECT_GE(ticksDuring, 5);
}

TEST(Processes, TheStartedProgramsWindowIsFoundAndClosed) {
  ProcessWindow p;
  std::wstring title;
  DWORD elapsed = 0;
  std::vector<LONG_PTR> ended;
  LONG_PTR id = 0;
  RunInTask([&](HWND task) {
    HWND w = p.Create(task);
    id = kwi_CreateProcess(L(w), Helper().c_str(), L"20000 5 window", 16);
    HWND found = nullptr;
    {
      RecordingRaises r;
      PumpUntil([&] {
        found = reinterpret_cast<HWND>(kwi_GetProcessWindow(id));
        return found != nullptr;
      }, 10000);
    }
    wchar_t buf[64] = {};
    GetWindowTextW(found, buf, 64);
    title = buf;
    DWORD start = GetTickCount();
    kwi_CloseProcess(id);
    PumpUntil([&] { return !p.ended.empty(); }, 15000);
    elapsed = GetTickCount() - start;
    DestroyWindow(w);
  });
  EXPECT_EQ(title, L"Kwi helper");
  EXPECT_EQ(p.ended, std::vector<LONG_PTR>{id});
  EXPECT_LT(elapsed, 10000u);
}

TEST(Processes, BadInputLeavesNothingBehind) {
  ProcessWindow p;
  std::vector<int> missing, badShow, bad, noWindow, parentGone;
  LONG_PTR missingId = 0, untracked = 0;
  int trackers = -1, run = 0;
  RunInTask([&](HWND task) {
    HWND w = p.Create(task);
    RecordingRaises r;
    missing = r.Of([&] { missingId = kwi_CreateProcess(L(w), L"C:\\no such dir\\none.exe", L"", 16); });
    trackers = Trackers(w);
    badShow = r.Of([&] { kwi_CreateProcess(L(w), Helper().c_str(), L"0 0", 12); });
    noWindow = r.Of([&] {
      untracked = kwi_CreateProcess(0, Helper().c_str(), L"0 0", 11);
      run = kwi_RunProcess(L"C:\\no such dir\\none.exe", L"");
    });
    bad = r.Of([&] {
      kwi_CloseProcess(0);
      kwi_CloseProcess(-1);
      kwi_CloseProcess(4711);
      kwi_GetProcessWindow(0);
      kwi_GetProcessWindow(L(w));
    });
    // The window that asked goes first: the identifier goes with it.
    HWND gone = p.Create(task);
    LONG_PTR id = kwi_CreateProcess(L(gone), Helper().c_str(), L"300 0", 11);
    DestroyWindow(gone);
    parentGone = r.Of([&] { kwi_CloseProcess(id); });
    DestroyWindow(w);
  });
  EXPECT_EQ(missing, Codes({6171}));
  EXPECT_EQ(missingId, -1);
  EXPECT_EQ(trackers, 0);
  EXPECT_EQ(badShow, Codes({6010}));
  EXPECT_EQ(noWindow, Codes({6171}));
  EXPECT_EQ(untracked, -1);
  EXPECT_EQ(run, -1);
  EXPECT_EQ(bad, Codes({6172, 6172, 6172, 6173, 6173}));
  EXPECT_EQ(parentGone, Codes({6172}));
  EXPECT_TRUE(p.ended.empty());
}

TEST(Processes, ProgramNamesWithBlanksAndQuotedArgumentsPassAsGiven) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring dir = std::wstring(temp) + L"kwi helper dir";
  const std::wstring program = dir + L"\\kwi helper.exe";
  const std::wstring out = dir + L"\\out file.txt";
  CreateDirectoryW(dir.c_str(), nullptr);
  ASSERT_TRUE(CopyFileW(Helper().c_str(), program.c_str(), FALSE));
  const std::wstring args = L"0 4 echo \"" + out + L"\" \"say \\\"hi\\\"\"";
  int code = -1;
  RunInTask([&](HWND) { code = kwi_RunProcess(program.c_str(), args.c_str()); });
  std::wstring echoed;
  HANDLE h = CreateFileW(out.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    wchar_t buf[1024];
    DWORD n = 0;
    ReadFile(h, buf, sizeof buf, &n, nullptr);
    echoed.assign(buf, n / sizeof(wchar_t));
    CloseHandle(h);
  }
  DeleteFileW(out.c_str());
  DeleteFileW(program.c_str());
  RemoveDirectoryW(dir.c_str());
  EXPECT_EQ(code, 4);
  EXPECT_EQ(echoed, L"\"" + program + L"\" " + args);
}

}  // namespace
