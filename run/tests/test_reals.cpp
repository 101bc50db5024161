// Real numbers read from text: the nearest double for every decimal text,
// checked on hard cases here and against Python's float on random texts and
// on the writer's own output (run/tests/real_cases.py, run through Wine's
// support for Unix programs).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "example_unit.h"
#include "run_test.h"
#include "unix_program.h"

using namespace example;
using namespace runtest;
using namespace Qel::RunTime::Kernel;
using Qel::RunTime::Terms::term;

namespace {

class Reals : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(LinkExampleUnit(), 0); }
  void SetUp() override { mark_ = Memory::MarkGStack(); }
  void TearDown() override { Memory::ReleaseGStack(mark_); }
  uint8_t* mark_ = nullptr;
};

uint64_t Bits(double v) {
  uint64_t b;
  memcpy(&b, &v, 8);
  return b;
}

// The bits FromString gives a text in the real domain, or the error code in
// the low word of ~0 << 32.
uint64_t Read(const std::wstring& text) {
  volatile uint64_t bits = 0;
  uint32_t code = ErrorOf([&] {
    term t = FromString(D(real), text.c_str());
    double v;
    memcpy(&v, t, 8);
    bits = Bits(v);
  });
  return code ? (~uint64_t{0} << 32 | code) : bits;
}

using testing_unix::UnixPath;

std::wstring TempFile(const wchar_t* name) {
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  return std::wstring(dir) + L"run_reals_" + std::to_wstring(GetCurrentProcessId()) + L"_" + name;
}

// Runs the case script with `args` and waits for the file it writes (it
// appears whole); false when it does not come.
bool RunScript(const std::string& args, const std::wstring& out) {
  return testing_unix::RunUnixProgram("/usr/bin/python3 " RUN_TESTS_DIR "/real_cases.py " + args, out, 60);
}

struct Case {
  std::string text;
  uint64_t bits;
};

std::vector<Case> ReadCases(const std::wstring& file) {
  std::vector<Case> cases;
  FILE* f = _wfopen(file.c_str(), L"rb");
  if (!f) return cases;
  std::string line;
  for (int c; (c = fgetc(f)) != EOF;) {
    if (c != '\n') {
      line += static_cast<char>(c);
      continue;
    }
    size_t space = line.rfind(' ');
    if (space != std::string::npos)
      cases.push_back({line.substr(0, space), std::stoull(line.substr(space + 1), nullptr, 16)});
    line.clear();
  }
  fclose(f);
  return cases;
}

// Every case read as its expected bits, or as the overflow error 316 where
// Python's float is infinite; the first few misses are reported.
void ExpectAllNearest(const std::vector<Case>& cases) {
  int misses = 0;
  for (const Case& c : cases) {
    uint64_t got = Read(std::wstring(c.text.begin(), c.text.end()));
    bool infinite = (c.bits & 0x7FFFFFFFFFFFFFFFull) == 0x7FF0000000000000ull;
    if (got == (infinite ? ~uint64_t{0} << 32 | 316 : c.bits)) continue;
    if (++misses <= 10)
      ADD_FAILURE() << c.text << ": got " << std::hex << got << ", nearest " << c.bits;
  }
  EXPECT_EQ(misses, 0) << "of " << cases.size();
}

}  // namespace

TEST_F(Reals, NearestDoubleOfHardTexts) {
  const struct {
    const wchar_t* text;
    double nearest;
  } cases[] = {
      {L"-7.35038216628503e+86", -7.35038216628503e+86},
      {L"9007199254740993", 9007199254740992.0},  // halfway: to even
      {L"9007199254740995", 9007199254740996.0},
      {L"9007199254740993.0000000000000000000000000001", 9007199254740994.0},
      {L"1e23", 1e23},
      {L"8.98846567431158e307", 8.98846567431158e307},
      {L"1.7976931348623157e308", 1.7976931348623157e308},
      {L"2.2250738585072011e-308", 2.2250738585072011e-308},
      {L"2.2250738585072012e-308", 2.2250738585072012e-308},
      {L"4.9406564584124654e-324", 4.9406564584124654e-324},
      {L"2.4703282292062328e-324", 4.9406564584124654e-324},  // above half the least: up
      {L"2.4703282292062327e-324", 0.0},
      {L"1e-400", 0.0},
      {L"-0", -0.0},
      {L"0.000000000000000000000000000000000000000000001e45", 1.0},
      {L"123456789012345678901234567890", 123456789012345678901234567890.0},
      {L"0.1", 0.1},
      {L"3.141592653589793238462643383279502884197", 3.141592653589793238462643383279502884197},
  };
  for (const auto& c : cases) EXPECT_EQ(Read(c.text), Bits(c.nearest)) << Narrow(c.text);
  // Beyond the largest double: the overflow error, as before.
  for (const wchar_t* text : {L"1.7976931348623159e308", L"1e309", L"-1e99999999999"})
    EXPECT_EQ(Read(text), ~uint64_t{0} << 32 | 316) << Narrow(text);
}

TEST_F(Reals, NearestDoubleOfRandomTextsAsPython) {
  std::wstring out = TempFile(L"random.txt");
  ASSERT_TRUE(RunScript("gen " + UnixPath(out) + " 100000 20261211", out)) << "python3 did not answer";
  std::vector<Case> cases = ReadCases(out);
  DeleteFileW(out.c_str());
  ASSERT_EQ(cases.size(), 100000u);
  ExpectAllNearest(cases);
}

TEST_F(Reals, WrittenRealsReadBackAsPythonReadsThem) {
  // The writer's texts (16 significant digits) of random doubles, subnormals included.
  std::mt19937_64 rng(11);
  std::wstring in = TempFile(L"written.txt"), out = TempFile(L"written_bits.txt");
  FILE* f = _wfopen(in.c_str(), L"wb");
  ASSERT_TRUE(f);
  for (int i = 0; i < 20000; ++i) {
    uint64_t b = rng() & (i % 4 ? 0x7FFFFFFFFFFFFFFFull : 0x000FFFFFFFFFFFFFull);
    double v;
    memcpy(&v, &b, 8);
    if (v != v || v - v != 0) continue;  // NaN, infinities
    std::wstring text = ToString(D(real), reinterpret_cast<term>(&v));
    fprintf(f, "%s\n", Narrow(text).c_str());
  }
  fclose(f);
  ASSERT_TRUE(RunScript("eval " + UnixPath(in) + " " + UnixPath(out), out)) << "python3 did not answer";
  std::vector<Case> cases = ReadCases(out);
  DeleteFileW(in.c_str());
  DeleteFileW(out.c_str());
  ASSERT_GT(cases.size(), 19000u);
  ExpectAllNearest(cases);
}
