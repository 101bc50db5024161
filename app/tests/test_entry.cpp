// The program's entry: its unit table and the lazy initialisers, the exit
// codes of the process entry, and the start-up glue as a test DLL's DllMain
// with its hook.
#include <windows.h>

#include <thread>

#include "all_unit.h"
#include "child_process.h"
#include "gtest/gtest.h"
#include "TaskWindow/taskWindow.h"
#include "kalmoraTessaro.h"
#include "qel6run.h"
#include "unit.h"

namespace {

namespace K = Qel::RunTime::Kernel;
using Qel::RunTime::RScopeClassDescriptor;

// The program's table is linked before any library's own initialiser runs,
// as the program's entry does.
class ProgramUnit : public testing::Environment {
 public:
  void SetUp() override {
    const qelstartup::UnitImage& image = kalmora::ProgramImage();
    ASSERT_EQ(Qel::RunTime::RunUnitInitialization(nullptr, reinterpret_cast<void*>(&QelStartUp), image.table,
                                                  image.symbols),
              0);
  }
};
testing::Environment* const programUnit = testing::AddGlobalTestEnvironment(new ProgramUnit);

size_t Modules() {
  size_t n = 0;
  for (auto* m = Qel::RunTime::FirstRegisteredModule(); m; m = m->next) ++n;
  return n;
}
std::vector<const RScopeClassDescriptor*> Entries(const RScopeClassDescriptor* const* t) {
  std::vector<const RScopeClassDescriptor*> out;
  for (const RScopeClassDescriptor* const* p = t + 1; reinterpret_cast<intptr_t>(*p) != -2; ++p) out.push_back(*p);
  return out;
}

TEST(Entry, OneTableOfEveryLibraryInOrderAndTheLazyInitialisersLinkNothingAgain) {
  const RScopeClassDescriptor* const* table = kalmora::ProgramImage().table;
  EXPECT_EQ(reinterpret_cast<uintptr_t>(table[0]), 8u);
  std::vector<const RScopeClassDescriptor*> want;
  for (auto* t : {tav::UnitTable(), rizediveva6::UnitTable(), all::UnitTable(), kalmora::taskWindow::UnitTable()})
    for (auto* d : Entries(t)) want.push_back(d);
  std::vector<const RScopeClassDescriptor*> got = Entries(table);
  ASSERT_EQ(got.size(), want.size() + 2);  // then kalmoraTessaro and conditional
  EXPECT_TRUE(std::equal(want.begin(), want.end(), got.begin()));
  EXPECT_STREQ(got[want.size()]->name, L"kalmoraTessaro");
  EXPECT_STREQ(got[want.size() + 1]->name, L"conditional");
  EXPECT_TRUE(tav::UnitLinked(table));

  const size_t before = Modules();
  EXPECT_EQ(tav::InitializeUnit(), 0);
  EXPECT_EQ(rizediveva6::InitializeUnit(), 0);
  EXPECT_EQ(all::InitializeUnit(), 0);
  EXPECT_EQ(Modules(), before);
  EXPECT_EQ(QelDllGetHandleModule(), nullptr) << "the program build stores no module handle";
}

TEST(Entry, TheProcessEndsWithTheGoalsResultOrTheRefusedStartsCode) {
  struct Case {
    const wchar_t* mode;
    DWORD exitCode;
  };
  const Case kCases[] = {
      {L"return", 0},     // the goal returns
      {L"fail", 0},       // the goal fails
      {L"raise", 4711},   // the goal ends with an error: its code
      {L"v7", 2},         // the kernel refuses a table of version 7
  };
  for (const Case& c : kCases) {
    testchild::Child child = testchild::Start(testchild::Beside(L"program_entry_child.exe"),
                                              std::wstring(L"program_entry_child.exe ") + c.mode, true);
    ASSERT_TRUE(child.Started());
    testchild::Wait(child, 60000);
    EXPECT_FALSE(child.hung) << testing::PrintToString(std::wstring(c.mode));
    EXPECT_EQ(child.exitCode, c.exitCode) << testing::PrintToString(std::wstring(c.mode)) << child.text;
  }
}

// The task window of another process, by its caption.
HWND WindowOf(DWORD pid, const wchar_t* caption) {
  struct Find {
    DWORD pid;
    const wchar_t* caption;
    HWND found;
  } f{pid, caption, nullptr};
  EnumWindows(
      [](HWND w, LPARAM p) -> BOOL {
        auto* f = reinterpret_cast<Find*>(p);
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        wchar_t text[64] = {};
        GetWindowTextW(w, text, 64);
        if (owner == f->pid && wcscmp(text, f->caption) == 0 && IsWindowVisible(w)) f->found = w;
        return f->found == nullptr;
      },
      reinterpret_cast<LPARAM>(&f));
  return f.found;
}

TEST(Entry, TheProgramsGoalShowsTheMaximisedTaskWindowAndAClosedWindowEndsWithZero) {
  testchild::Child child =
      testchild::Start(testchild::Beside(L"program_entry_child.exe"), L"program_entry_child.exe program", true);
  ASSERT_TRUE(child.Started());
  HWND task = nullptr;
  for (int i = 0; i < 300 && !task; ++i, Sleep(50)) task = WindowOf(child.pi.dwProcessId, L"Kalmora6");
  ASSERT_TRUE(task) << "no task window";
  EXPECT_TRUE(IsZoomed(task));
  EXPECT_TRUE(GetMenu(task));
  PostMessageW(task, WM_CLOSE, 0, 0);
  testchild::Wait(child, 60000);
  EXPECT_FALSE(child.hung);
  EXPECT_EQ(child.exitCode, 0u) << child.text;
}

// --- The glue as a library entry ---------------------------------------------------

struct HookCall {
  void* context;
  HINSTANCE module;
  DWORD reason;
  bool hadRecord;
};
std::vector<HookCall> g_hookCalls;
int g_hookResult = 7;

int HookFunction(HINSTANCE module, DWORD reason, void*) {
  g_hookCalls.push_back({nullptr, module, reason, K::Control::TPrologThreadData::GetPTDwithBody() != nullptr});
  return g_hookResult;
}
int HookMethod(void* context, HINSTANCE module, DWORD reason, void*) {
  g_hookCalls.push_back({context, module, reason, K::Control::TPrologThreadData::GetPTDwithBody() != nullptr});
  return g_hookResult;
}

template <class F>
F Proc(HMODULE m, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name)));
}

TEST(Entry, ATestDllRunsItsGoalOnAttachAndCallsItsHookForThreadsWithATemporaryRecord) {
  HMODULE dll = LoadLibraryW(testchild::Beside(L"program_entry_dll.dll").c_str());
  ASSERT_TRUE(dll) << GetLastError();
  auto goalRuns = Proc<int (*)()>(dll, "GoalRuns");
  auto dllMain = Proc<BOOL (*)(HINSTANCE, DWORD, void*)>(dll, "QelDllMain");
  auto setHook = Proc<void (*)(const qelstartup::QelDllHook*)>(dll, "QelSetDllHook");
  auto handle = Proc<HINSTANCE (*)()>(dll, "QelDllGetHandleModule");
  ASSERT_TRUE(goalRuns && dllMain && setHook && handle);
  EXPECT_EQ(goalRuns(), 1);
  EXPECT_EQ(handle(), dll);
  EXPECT_EQ(QelDllGetHandleModule(), nullptr);

  // Without a hook: 1, nothing called.
  g_hookCalls.clear();
  EXPECT_EQ(dllMain(dll, DLL_THREAD_ATTACH, nullptr), 1);
  EXPECT_EQ(dllMain(dll, 9, nullptr), TRUE);

  // A hook without context, then one with: called on thread attach and
  // detach of a thread the kernel never saw, which has a record only during
  // the call.
  int context = 0;
  const qelstartup::QelDllHook hooks[] = {{reinterpret_cast<void*>(&HookFunction), nullptr},
                                          {reinterpret_cast<void*>(&HookMethod), &context}};
  for (const qelstartup::QelDllHook& hook : hooks) {
    setHook(&hook);
    g_hookCalls.clear();
    bool recordAfter = true;
    std::thread([&] { recordAfter = false; }).join();
    std::thread([&] {
      EXPECT_EQ(dllMain(dll, DLL_THREAD_ATTACH, nullptr), 7);
      recordAfter = K::Control::TPrologThreadData::GetPTDwithBody() != nullptr;
    }).join();
    EXPECT_FALSE(recordAfter) << "the temporary record outlived the hook call";
    ASSERT_GE(g_hookCalls.size(), 5u);  // attach and detach of two threads, the direct call
    for (const HookCall& c : g_hookCalls) {
      EXPECT_EQ(c.context, hook.context);
      EXPECT_EQ(c.module, dll);
      EXPECT_TRUE(c.hadRecord);
    }
    EXPECT_EQ(g_hookCalls[0].reason, DLL_THREAD_ATTACH);
    EXPECT_EQ(g_hookCalls[1].reason, DLL_THREAD_DETACH);
  }
  // The test thread's own record stays.
  EXPECT_EQ(dllMain(dll, DLL_THREAD_DETACH, nullptr), 7);
  EXPECT_TRUE(K::Control::TPrologThreadData::GetPTDwithBody());
  const qelstartup::QelDllHook none{nullptr, nullptr};
  setHook(&none);
  FreeLibrary(dll);
}

TEST(Entry, ATestDllWithATableOfVersion7RefusesItsAttach) {
  HMODULE dll = LoadLibraryW(testchild::Beside(L"program_entry_dll_v7.dll").c_str());
  EXPECT_FALSE(dll);
  if (dll) FreeLibrary(dll);
}

}  // namespace
