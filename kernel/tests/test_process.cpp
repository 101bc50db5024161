// Behaviour that ends or shapes a whole process: no backtrack point, an
// error with no trap, faults in foreign code, the log file and the minidump
// (both switched on from the registry, read when the kernel loads).
#include <gtest/gtest.h>
#include <windows.h>

#include "child.h"

TEST(Process, FailWithNoBacktrackPointEndsWith255) {
  ChildResult r = RunChild(L"kernel_child.exe", L"fail");
  EXPECT_EQ(r.exitCode, 255u);
  EXPECT_NE(r.err.find(L"Fail or exit with no Backtrack point"), std::wstring::npos)
      << Narrow(r.err);
}

TEST(Process, ErrorWithNoTrapShowsTheMessageAndEndsWith255) {
  ChildResult r = RunChild(L"kernel_child.exe", L"error");
  EXPECT_EQ(r.exitCode, 255u);
  size_t message = r.err.find(
      L"Exception in module: kernel_child.exe\r\nroster.pro(105,64) : error r201: GStack exhausted. "
      L"Request=12");
  size_t tail = r.err.find(L"Fail or exit with no Backtrack point");
  EXPECT_NE(message, std::wstring::npos) << Narrow(r.err);
  EXPECT_NE(tail, std::wstring::npos);
  EXPECT_LT(message, tail);
}

TEST(Process, FaultInForeignCodeEndsTheProcessInsteadOfResuming) {
  ChildResult r = RunChild(L"kernel_child.exe", L"foreign");
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_EQ(r.out.find("trapped"), std::string::npos);
  EXPECT_NE(r.err.find(L"Exception C0000005: Access violation"), std::wstring::npos)
      << Narrow(r.err);
}

TEST(Process, FreshTrailGrowsOnItsFourthEntry) {
  ChildResult r = RunChild(L"kernel_child.exe", L"trail");
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_EQ(r.out, "32 32 32 32 4128 4128 4128\r\nfailed 0\r\n");
}

TEST(Process, UndoNeverWritesIntoTheReleasedPartOfTheGlobalStack) {
  // Cut, trap removal and a bare drop of a point, each followed by a release,
  // a collection and a failure into the outer point.
  ChildResult r = RunChild(L"kernel_child.exe", L"dying-cells");
  EXPECT_EQ(r.exitCode, 0u) << Narrow(r.err);
  EXPECT_EQ(r.out, "failed\r\nfailed\r\nfailed\r\n");
}

TEST(Process, FailingFinaliserEndsAtItsBoundary) {
  ChildResult r = RunChild(L"kernel_child.exe", L"failing-finalizer");
  EXPECT_EQ(r.exitCode, 0u) << Narrow(r.err);
  EXPECT_EQ(r.out, "finaliser fails\r\nsucceeded\r\nfinaliser fails\r\nreturned\r\n");
}

TEST(Process, LogLevelFromTheRegistry) {
  std::wstring folder = TempFolder(L"log");
  {
    KernelSettings settings(5, -1);
    ChildResult r = RunChild(L"kernel_child.exe", L"log", folder);
    EXPECT_EQ(r.exitCode, 0u);
  }
  std::string log = ReadFileBytes(folder + L"\\qel6kernelExceptions.log");
  EXPECT_EQ(log.find("printf-5"), std::string::npos) << log;
  EXPECT_NE(log.find("printf-4"), std::string::npos) << log;
  EXPECT_NE(log.find("log-5"), std::string::npos) << log;
  EXPECT_EQ(log.find("log-6"), std::string::npos) << log;
  EXPECT_NE(log.find("wide-1"), std::string::npos) << log;
  EXPECT_NE(log.find("call RunTimeError( 203 )"), std::string::npos) << log;
  EXPECT_NE(log.find("call ErrorExit( 203 )"), std::string::npos) << log;

  // Level 0: no log file at all.
  std::wstring quiet = TempFolder(L"quiet");
  RunChild(L"kernel_child.exe", L"log", quiet);
  EXPECT_EQ(GetFileAttributesW((quiet + L"\\qel6kernelExceptions.log").c_str()),
            INVALID_FILE_ATTRIBUTES);
}

TEST(Process, MiniDumpIsWrittenWhenTheRegistryAsksForOne) {
  std::wstring folder = TempFolder(L"dump");
  {
    KernelSettings settings(1, 0);
    ChildResult r = RunChild(L"kernel_child.exe", L"dump", folder);
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(r.out, "trapped 1\r\n");
  }
  std::string dump = ReadFileBytes(folder + L"\\qel6kernelMiniDump.dmp");
  ASSERT_GE(dump.size(), 4u);
  EXPECT_EQ(dump.substr(0, 4), "MDMP");
  std::string log = ReadFileBytes(folder + L"\\qel6kernelExceptions.log");
  EXPECT_NE(log.find("Exception: code = C0000005"), std::string::npos) << log;
  EXPECT_NE(log.find("Try to continue execution"), std::string::npos) << log;
}
