// The unit sequence of a program, run in a child process: initialisation
// with the interface-version check, the goal under a trap, termination with
// the goal's exit code and the finalisers; fatal collector errors.
#include <gtest/gtest.h>
#include <windows.h>

#include "child.h"

namespace {

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

}  // namespace

TEST(UnitSequence, GoalResultBecomesTheExitCodeAndFinalisersRunOnce) {
  struct Case {
    const wchar_t* goal;
    unsigned long exitCode;
  };
  for (const Case& c : {Case{L"ok", 0}, Case{L"fail", 0}, Case{L"raise", 201}}) {
    ChildResult r = RunChild(L"kernel_child.exe", std::wstring(L"units ") + c.goal);
    SCOPED_TRACE(Narrow(c.goal));
    EXPECT_EQ(r.exitCode, c.exitCode);
    // Collected during the goal, the other at termination: each once.
    EXPECT_EQ(r.out, "goal ran\r\nfinalized 2\r\ncollected\r\ngoal result " +
                         std::to_string(c.exitCode) + "\r\nfinalized 1\r\n");
    if (c.exitCode == 201)
      EXPECT_NE(r.err.find(L"error r201: GStack exhausted. Request=9"), std::wstring::npos)
          << Narrow(r.err);
    else
      EXPECT_EQ(r.err, L"");
  }
}

TEST(UnitSequence, CoreStartsOnceAndEachStepIsLogged) {
  std::wstring folder = TempFolder(L"units-log");
  {
    KernelSettings settings(5, -1);
    ChildResult r = RunChild(L"kernel_child.exe", L"units ok", folder);
    EXPECT_EQ(r.exitCode, 0u);
  }
  std::string log = ReadFileBytes(folder + L"\\qel6kernelExceptions.log");
  EXPECT_EQ(Count(log, "coreInitialization() Release"), 1u) << log;
  EXPECT_EQ(Count(log, "Qel::RunTime::Kernel::KernelUnitInitialization( "), 2u) << log;
  const char* steps[] = {"DllMain(", "coreInitialization()", "RunGoal() ProcessId=",
                         "call GarbageCollector", "KernelUnitTermination",
                         "ExeTermination() ProcessId=", "executeFinalizers() start",
                         "FinalizeAll() started", "FinalizeAll() end", "executeFinalizers() stop"};
  size_t at = 0;
  for (const char* step : steps) {
    size_t next = log.find(step, at);
    EXPECT_NE(next, std::string::npos) << "missing or out of order: " << step << "\n" << log;
    if (next != std::string::npos) at = next;
  }
}

TEST(UnitSequence, UnitTableOfAnotherVersionEndsWithTwoAndStartsNothing) {
  for (const wchar_t* version : {L"80000008", L"00010009", L"7"}) {
    ChildResult r = RunChild(L"kernel_child.exe", std::wstring(L"units ok ") + version);
    SCOPED_TRACE(Narrow(version));
    EXPECT_EQ(r.exitCode, 2u);
    EXPECT_EQ(r.out, "");
    std::wstring expected = L"error r002: Version incompatibility. Module: '";
    size_t at = r.err.find(expected);
    ASSERT_NE(at, std::wstring::npos) << Narrow(r.err);
    size_t tail = r.err.find(L"kernel_child.exe' version ", at);
    EXPECT_NE(tail, std::wstring::npos) << Narrow(r.err);
    wchar_t found[64];
    swprintf(found, 64, L"version %08lX, qel6kernel: 00000008",
             wcstoul(version, nullptr, 16));
    EXPECT_NE(r.err.find(found), std::wstring::npos) << Narrow(r.err);
  }
  // Only the low 32 bits of the slot are the version word; the other
  // version bits may be anything.
  ChildResult r = RunChild(L"kernel_child.exe", L"units ok 1200010008");
  EXPECT_EQ(r.exitCode, 0u) << Narrow(r.err);
}

TEST(UnitSequence, CollectorAbortEndsTheProcessWithItsCode) {
  ChildResult abort = RunChild(L"kernel_child.exe", L"gcabort");
  EXPECT_EQ(abort.exitCode, 205u);
  EXPECT_EQ(abort.out, "");
  EXPECT_NE(abort.err.find(L"error r205: Error in Garbage Collector: 'Bad stack base in "
                           L"GC_register_my_thread'"),
            std::wstring::npos)
      << Narrow(abort.err);

  ChildResult oom = RunChild(L"kernel_child.exe", L"gcoom");
  EXPECT_EQ(oom.exitCode, 204u);
  EXPECT_EQ(oom.out, "");
  EXPECT_NE(oom.err.find(L"error r204: Fatal error in Garbage Collector"), std::wstring::npos)
      << Narrow(oom.err);
}
