// CRC-32 and the compact hexadecimal form.
#include <gtest/gtest.h>

#include "helpers.h"
#include "internal.h"
#include "qel6run_lib.h"

using namespace runlib_test;
using namespace CorvaneBinary;

TEST(Crc32, StandardCheckValueAndIndependentVectors) {
  EXPECT_EQ(Crc32Binary_i(Binary(std::string("123456789")).get()), 0xCBF43926u);
  EXPECT_EQ(Crc32Binary_i(Binary(std::string()).get()), 0u);
  // Expected values computed once with Python's zlib.crc32 over NoiseBytes.
  struct Case {
    uint32_t seed;
    size_t length;
    uint32_t crc;
  };
  const Case cases[] = {
      {1, 1, 0xFD6D930Au},    {2, 7, 0xD29D8114u},    {3, 8, 0x0544C5CFu},
      {4, 9, 0xAD2462B2u},    {5, 64, 0x4955A801u},   {6, 1000, 0x3CD7D49Au},
      {7, 4099, 0x61FFDBF6u}, {8, 65536, 0x79A2EE81u},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Crc32Binary_i(Binary(NoiseBytes(c.seed, c.length)).get()), c.crc)
        << "seed " << c.seed;
}

TEST(Crc32, ContinuesFromAPreviousValue) {
  std::vector<uint8_t> all = NoiseBytes(6, 1000);
  for (size_t cut : {0, 1, 400, 999, 1000}) {
    Binary head(std::vector<uint8_t>(all.begin(), all.begin() + cut));
    Binary tail(std::vector<uint8_t>(all.begin() + cut, all.end()));
    EXPECT_EQ(Crc32Binary_ii(tail.get(), Crc32Binary_i(head.get())), 0x3CD7D49Au) << cut;
  }
}

// Bit by bit, the definition itself.
uint32_t BitwiseState(const uint8_t* p, size_t n, uint32_t state) {
  while (n--) {
    state ^= *p++;
    for (int k = 0; k < 8; ++k) state = (state >> 1) ^ (0xEDB88320u & (0u - (state & 1)));
  }
  return state;
}

TEST(Crc32, TablesAndFoldingAgreeOverLengthsAlignmentsAndStates) {
  using namespace CorvaneLib::detail;
  std::vector<uint8_t> noise = NoiseBytes(11, (1 << 20) + 64);
  std::vector<size_t> lengths;
  for (size_t n = 0; n <= 300; ++n) lengths.push_back(n);
  for (size_t n : {1023, 1024, 4096 + 48, 65536 + 13, 1 << 20}) lengths.push_back(n);
  const bool folding = HasCarrylessMultiply();
  for (uint32_t state : {0xFFFFFFFFu, 0u, 0x12345678u}) {
    for (size_t align = 0; align < 16; ++align) {
      for (size_t n : lengths) {
        const uint8_t* p = noise.data() + align;
        uint32_t tables = Crc32ByTables(p, n, state);
        if (n <= 4096 + 48) {
          ASSERT_EQ(tables, BitwiseState(p, n, state)) << "n " << n << " align " << align;
        }
        if (folding && n >= 64) {
          size_t whole = n & ~size_t{15};
          ASSERT_EQ(Crc32ByTables(p + whole, n - whole, Crc32ByFolding(p, whole, state)), tables)
              << "n " << n << " align " << align << " state " << state;
        }
        ASSERT_EQ(Crc32(p, n, ~state), ~tables);
      }
    }
  }
  if (!folding) GTEST_SKIP() << "no carry-less multiplication: the folding path is not compared";
}

TEST(Crc32, BinaryWithABrokenSizeWordRaises1081) {
  uint8_t block[8] = {3, 0, 0, 0};
  EXPECT_EQ(RunTrapped([&] { Crc32Binary_i(block + 4); }), 1081u);
  EXPECT_EQ(ErrorText(), L"error r1081: Invalid binary");
}

TEST(CompactHex, WritesTwoUpperCaseDigitsPerByte) {
  EXPECT_STREQ(toStringCompact(Binary(std::vector<uint8_t>{0x00, 0xAB, 0x0F, 0xFF, 0x5a}).get()),
               L"00AB0FFF5A");
  EXPECT_STREQ(toStringCompact(Binary(std::vector<uint8_t>{}).get()), L"");
}

TEST(CompactHex, ReadsPairsOfEitherCase) {
  const uint8_t* b = toBinaryCompact(L"00ab0FfF");
  EXPECT_EQ(SizeWord(b), 8u);
  EXPECT_EQ(Bytes(b), (std::vector<uint8_t>{0x00, 0xAB, 0x0F, 0xFF}));
  EXPECT_EQ(SizeWord(toBinaryCompact(L"")), 4u);
  std::vector<uint8_t> noise = NoiseBytes(3, 300);
  EXPECT_EQ(Bytes(toBinaryCompact(toStringCompact(Binary(noise).get()))), noise);
}

TEST(CompactHex, OddLengthOrNonDigitFails) {
  for (const wchar_t* text : {L"0", L"ABC", L"0G", L"1 ", L" 01", L"x0", L"0\x0661"}) {
    uint8_t* mark = Memory::MarkGStack();
    EXPECT_FALSE(Succeeds([&] { toBinaryCompact(text); })) << Narrow(text);
    EXPECT_EQ(Memory::MarkGStack(), mark);
  }
}
