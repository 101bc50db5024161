// memory, bit and programControl: sequences on backtracking, positions,
// readability, string buffers and the bit table.
#include <windows.h>

#include "memory/memory.h"
#include "tav_test.h"

using namespace tavtest;
namespace Kn = Qel::RunTime::Kernel;

namespace {

using Control = Library;

// All solutions of a nondeterministic integer predicate (the continuation
// fails every time); `limit` cuts an unlimited one.
template <class V, class Call>
std::vector<V> All(Call call, size_t limit = 100) {
  std::vector<V> values;
  call([&](V v) {
    values.push_back(v);
    if (values.size() < limit) Kn::Fail();
  });
  return values;
}

TEST_F(Control, IntegerSequences) {
  using V = std::vector<int32_t>;
  auto multi = [](int32_t a, int32_t b) {
    return All<int32_t>([&](auto k) { programControl::sequence_multi(a, b, k); });
  };
  auto nd = [](int32_t a, int32_t b, int32_t s) {
    return All<int32_t>([&](auto k) { programControl::sequence_nd(a, b, s, k); });
  };
  EXPECT_EQ(multi(3, 1), (V{3, 2, 1}));
  EXPECT_EQ(multi(2, 2), (V{2}));
  EXPECT_EQ(multi(-1, 1), (V{-1, 0, 1}));
  EXPECT_EQ(nd(1, 10, 4), (V{1, 5, 9}));
  EXPECT_EQ(nd(5, 1, 1), V{});
  EXPECT_EQ(nd(10, 1, -4), (V{10, 6, 2}));
  // Bounds within a step of the 32-bit limits end after the last value.
  EXPECT_EQ(nd(INT32_MAX - 5, INT32_MAX, 4), (V{INT32_MAX - 5, INT32_MAX - 1}));
  EXPECT_EQ(nd(INT32_MIN + 2, INT32_MIN, -2), (V{INT32_MIN + 2, INT32_MIN}));
  EXPECT_EQ(multi(INT32_MAX - 1, INT32_MAX), (V{INT32_MAX - 1, INT32_MAX}));
  EXPECT_EQ(All<int32_t>([](auto k) { programControl::sequenceunlimited_multi(7, -3, k); }, 3),
            (V{7, 4, 1}));
  // A continuation that succeeds ends the sequence at once.
  int seen = 0;
  EXPECT_TRUE(programControl::sequence_nd(1, 5, 1, [&](int32_t) { ++seen; }));
  EXPECT_EQ(seen, 1);
  EXPECT_FALSE(programControl::sequence_nd(1, 5, 1, [&](int32_t) { Kn::Fail(); }));
}

TEST_F(Control, UnlimitedSequencesOverflowAndZeroSteps) {
  std::vector<int32_t> got;
  uint32_t id = RunTrapped([&] {
    programControl::sequenceunlimited_multi(INT32_MAX - 1, [&](int32_t v) {
      got.push_back(v);
      Kn::Fail();
    });
  });
  EXPECT_EQ(got, (std::vector<int32_t>{INT32_MAX - 1, INT32_MAX}));
  const TraceEntry* e = Entries().at(0);
  EXPECT_EQ(e->traceId, id);
  EXPECT_STREQ(e->exception->name, L"systemexception");
  EXPECT_NE(Extra(e, L"ExtraInfo").find(L"Integral overflow"), std::wstring::npos);

  // Step zero: stepzero before any solution.
  int solutions = 0;
  auto count = [&](auto) { ++solutions; };
  std::vector<uint32_t> ids = {
      RunTrapped([&] { programControl::sequence_nd(1, 5, 0, count); }),
      RunTrapped([&] { programControl::sequence_nd(1.0, 5.0, 0.0, count); }),
      RunTrapped([&] { programControl::sequenceunlimited_multi(1, 0, count); }),
      RunTrapped([&] { programControl::sequenceunlimited_multi(1.0, 0.0, count); })};
  EXPECT_EQ(solutions, 0);
  for (uint32_t i : ids) {
    const TraceEntry* s = exception::trygetdescriptor(i, &programControl_exception::stepzero);
    ASSERT_NE(s, nullptr);
    EXPECT_STREQ(s->description, L"sequence : step is zero");
    EXPECT_STREQ(s->classInfo->name, L"com/corvane/ProgramControl/programControl_exception");
    EXPECT_TRUE(s->extraInfo->Empty());
  }
}

TEST_F(Control, RealSequencesAndRepeat) {
  EXPECT_EQ(All<double>([](auto k) { programControl::sequence_nd(0.0, 1.0, 0.25, k); }),
            (std::vector<double>{0.0, 0.25, 0.5, 0.75, 1.0}));
  EXPECT_EQ(All<double>([](auto k) { programControl::sequence_nd(1.0, 0.0, -0.5, k); }),
            (std::vector<double>{1.0, 0.5, 0.0}));
  int rounds = 0;
  programControl::repeat([&](int) {
    if (++rounds < 1000) Kn::Fail();
  });
  EXPECT_EQ(rounds, 1000);
}

TEST_F(Control, PositionsUnpackAndDefault) {
  static const Kn::TFullCursor at{0x30000A, L"p.pro"};
  const CursorTerm* c = programControl::unpackcursor(&at);
  EXPECT_STREQ(c->fileName, L"p.pro");
  EXPECT_EQ(c->line, 10u);
  EXPECT_EQ(c->column, 3u);
  TPrologThreadData::SetCurrentPosition(nullptr);
  c = programControl::getlastsavedsourceposition();
  EXPECT_STREQ(c->fileName, L"");
  EXPECT_EQ(c->line + c->column, 0u);
  auto* freed = static_cast<Kn::TFullCursor*>(VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_READWRITE));
  VirtualFree(freed, 0, MEM_RELEASE);
  c = programControl::unpackcursor(freed);
  EXPECT_STREQ(c->fileName, L"");
  static const Kn::TFullCursor noName{0x30000A, reinterpret_cast<const wchar_t*>(8)};
  c = programControl::unpackcursor(&noName);
  EXPECT_STREQ(c->fileName, L"");
  EXPECT_EQ(c->line, 10u);

  // A thread of its own, that never recorded a position.
  static uint32_t line;
  static std::wstring file;
  line = 99;
  file = L"?";
  static const Kn::Multithreading::RPrologRunnablePredicateStruct body{
      reinterpret_cast<const void*>(+[] {
        const CursorTerm* c = programControl::getlastsavedsourceposition();
        line = c->line;
        file = c->fileName;
      }),
      nullptr};
  HANDLE thread = Kn::Multithreading::CreatePrologThread(&body, 1 << 20, 0, 0);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  EXPECT_EQ(line, 0u);
  EXPECT_EQ(file, L"");
}

TEST_F(Control, ReadableAndWritable) {
  static const char constant[] = "x";
  char local[8] = {};
  auto* freed = static_cast<char*>(VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_READWRITE));
  VirtualFree(freed, 0, MEM_RELEASE);
  const void* kernelSpace = reinterpret_cast<const void*>(0xFFFF800000001000ull);
  EXPECT_TRUE(memory::isreadable(local, 8));
  EXPECT_TRUE(memory::iswritable(local, 8));
  EXPECT_TRUE(memory::isreadable(constant));
  EXPECT_FALSE(memory::iswritable(constant));
  for (const void* bad : {static_cast<const void*>(nullptr), static_cast<const void*>(freed),
                          kernelSpace}) {
    EXPECT_FALSE(memory::isreadable(bad));
    EXPECT_FALSE(memory::iswritable(bad, 4));
  }
  char buffer[6];
  EXPECT_EQ(memory::append(memory::append(buffer, "abc", 3), "de", 3),
            reinterpret_cast<uint8_t*>(buffer) + 6);
  EXPECT_STREQ(buffer, "abcde");
}

TEST_F(Control, StringBuffersAreZeroedAndSizeChecked) {
  wchar_t* b = memory::allocstringbuffer(1000);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(b[i], 0) << i;
  EXPECT_EQ(RunTrapped([] { memory::allocstringbuffer(memory::maxSize / 2); }), 0u);
  // 2 x Count beyond sizeterm, and beyond 32 bits: 302, never a tiny block.
  for (uint32_t count : {memory::maxSize / 2 + 1, 0x80000001u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(count);
    uint32_t id = RunTrapped([&] { memory::allocstringbuffer(count); });
    const TraceEntry* e = exception::trygetdescriptor(id, runtime_exception::exceptionfromerrorcode(302));
    EXPECT_NE(e, nullptr);
  }
}

TEST_F(Control, BitTable) {
  struct Case {
    uint32_t got, expected;
  };
  const Case cases[] = {
      {bit::bitor_(1, 2, 4), 7},
      {bit::bitor_(1, 2, 4, 8, 16), 31},
      {bit::bitorlist({}), 0},
      {bit::bitorlist({0x100, 1, 0x100}), 0x101},
      {bit::getlow4of8(0xAB), 0xB},
      {bit::gethigh4of8(0xAB), 0xA},
      {bit::setlow4of8(0xAB, 0x3), 0xA3},
      {bit::sethigh4of8(161, 5), 81},
      {bit::swap4of8(0xAB), 0xBA},
      {bit::getlow8of16(0x1234), 0x34},
      {bit::gethigh8of16(0x1234), 0x12},
      {bit::setlow8of16(0x1234, 0x56), 0x1256},
      {bit::sethigh8of16(0x1234, 0x56), 0x5634},
      {bit::swap8of16(4660), 13330},
      {bit::getlow16of32(0x12345678), 0x5678},
      {bit::gethigh16of32(0x12345678), 0x1234},
      {bit::setlow16of32(0x12345678, 0xABCD), 0x1234ABCD},
      {bit::sethigh16of32(0x12345678, 0xABCD), 0xABCD5678},
      {bit::swap16of32(0x12345678), 0x56781234},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
    EXPECT_EQ(cases[i].got, cases[i].expected) << i;
  uint32_t bits[32];
  uint32_t n = bit::bitsplit(13, bits);
  EXPECT_EQ(std::vector<uint32_t>(bits, bits + n), (std::vector<uint32_t>{1, 4, 8}));
  EXPECT_EQ(bit::bitsplit(0, bits), 0u);
  EXPECT_EQ(bit::bitsplit(0x80000000u, bits), 1u);
  // A byte argument out of its domain: the result's range check.
  EXPECT_NE(RunTrapped([] { bit::sethigh8of16(0x1234, 0x1FF); }), 0u);
}

}  // namespace
