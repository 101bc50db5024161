// The layer's log file "_kwi_.log": lines appended in the current directory.
#include <gtest/gtest.h>

#include <thread>

#include "checks.h"
#include "kwi.h"

using namespace QEL_KWI::detail;
using namespace kwitest;

namespace {

// Runs `body` with a fresh folder below the temporary folder as the current
// directory; the log file's bytes afterwards.
std::string LogAfter(const wchar_t* folder, const std::function<void()>& body) {
  std::wstring dir = TempDir(folder);
  DeleteFileW((dir + L"_kwi_.log").c_str());
  wchar_t saved[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, saved);
  SetCurrentDirectoryW(dir.c_str());
  body();
  SetCurrentDirectoryW(saved);
  std::vector<uint8_t> b = ReadBytes(dir + L"_kwi_.log");
  return std::string(b.begin(), b.end());
}

TEST(KwiLog, AppendsLinesToTheFileInTheCurrentDirectory) {
  std::string big(5000, 'b');  // longer than the routine's stack buffer
  std::string log = LogAfter(L"kwi_log_tests", [&] {
    EXPECT_TRUE(AppendKwiLog("first", 5));
    EXPECT_TRUE(AppendKwiLog("zweite \xc3\xbc\0x", 11));  // bytes as given, NUL too
    EXPECT_TRUE(AppendKwiLog(nullptr, 0));
    EXPECT_TRUE(AppendKwiLog(big.data(), big.size()));
  });
  EXPECT_EQ(log, "first\r\nzweite \xc3\xbc" + std::string(1, '\0') + "x\r\n\r\n" + big + "\r\n");
  // An existing file keeps what it holds.
  log = LogAfter(L"kwi_log_tests", [] {
    WriteBytes(L"_kwi_.log", {'o', 'l', 'd', '\n'});
    EXPECT_TRUE(AppendKwiLog("new", 3));
  });
  EXPECT_EQ(log, "old\nnew\r\n");
}

TEST(KwiLog, LinesOfSeveralThreadsStayWhole) {
  const int perThread = 300;
  std::string log = LogAfter(L"kwi_log_threads", [&] {
    auto writer = [&](char c) {
      std::string line(40, c);
      for (int i = 0; i < perThread; ++i) AppendKwiLog(line.data(), line.size());
    };
    std::thread a(writer, 'a'), b(writer, 'b');
    a.join();
    b.join();
  });
  ASSERT_EQ(log.size(), 2u * perThread * 42);
  for (size_t at = 0; at < log.size(); at += 42) {
    std::string line = log.substr(at, 42);
    ASSERT_TRUE(line == std::string(40, 'a') + "\r\n" || line == std::string(40, 'b') + "\r\n") << at;
  }
}

}  // namespace
