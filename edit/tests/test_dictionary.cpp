// Keyword dictionaries: the bucket hash, exact and inexact lookup, the
// first insert winning, and the limits (payload, word length, blocks).
#include <gtest/gtest.h>

#include <string>

#include "dictionary.h"

using namespace QEL_EDIT::detail;

namespace {

class Dict : public ::testing::Test {
 protected:
  void TearDown() override { DictFree(d_); }
  Dictionary* d_ = nullptr;
};

int32_t Len(const wchar_t* w) { return static_cast<int32_t>(wcslen(w)); }

TEST(DictHash, UpperCasedBytesWithRotatingShifts) {
  // "ab" -> 'A' 0 'B' 0: 0x41 << 3 + 0 << 2 + 0x42 << 1 + 0 << 0 = 652, 652 mod 251 = 150.
  EXPECT_EQ(DictHash(L"ab", 2), 150u);
  EXPECT_EQ(DictHash(L"AB", 2), 150u);
  // The shift starts again at 3 on the fifth byte.
  // "abc" -> 0x41<<3 + 0x42<<1 + 0x43<<3 = 520 + 132 + 536 = 1188 mod 251 = 184.
  EXPECT_EQ(DictHash(L"abc", 3), 184u);
  // A non-ASCII letter is upper-cased too, and its high byte counts.
  EXPECT_EQ(DictHash(L"\x00e9", 1), DictHash(L"\x00c9", 1));
  // U+0101 upper-cases to U+0100: 0x00 << 3 + 0x01 << 2.
  EXPECT_EQ(DictHash(L"\x0101", 1), 4u);
}

TEST_F(Dict, ExactAndInexactEntries) {
  d_ = DictCreate(2);
  ASSERT_NE(d_, nullptr);
  const uint16_t ten = 10, eleven = 11;
  EXPECT_EQ(DictInsert(d_, L"Class", 5, &ten, true), 1);
  EXPECT_EQ(DictInsert(d_, L"begin", 5, &eleven, false), 1);
  uint16_t out = 0;
  EXPECT_EQ(DictLookup(d_, L"Class", 5, &out), 1);
  EXPECT_EQ(out, 10);
  EXPECT_EQ(DictLookup(d_, L"class", 5, nullptr), 0);
  EXPECT_EQ(DictLookup(d_, L"CLASS", 5, nullptr), 0);
  for (const wchar_t* w : {L"begin", L"BEGIN", L"BeGiN"}) {
    out = 0;
    EXPECT_EQ(DictLookup(d_, w, 5, &out), 1);
    EXPECT_EQ(out, 11);
  }
  // Prefixes and longer words do not match; the length decides, not the terminator.
  EXPECT_EQ(DictLookup(d_, L"begi", 4, nullptr), 0);
  EXPECT_EQ(DictLookup(d_, L"beginning", 9, nullptr), 0);
  EXPECT_EQ(DictLookup(d_, L"beginning", 5, nullptr), 1);
}

TEST_F(Dict, FirstInsertWins) {
  d_ = DictCreate(2);
  const uint16_t a = 1, b = 2;
  EXPECT_EQ(DictInsert(d_, L"word", 4, &a, false), 1);
  EXPECT_EQ(DictInsert(d_, L"WORD", 4, &b, false), 0);
  EXPECT_EQ(DictInsert(d_, L"Word", 4, &b, true), 0);  // already matched by the inexact entry
  uint16_t out = 0;
  DictLookup(d_, L"word", 4, &out);
  EXPECT_EQ(out, 1);
}

TEST_F(Dict, ManyWordsShareBuckets) {
  d_ = DictCreate(4);
  for (uint32_t i = 0; i < 600; ++i) {
    const std::wstring w = L"w" + std::to_wstring(i);
    ASSERT_EQ(DictInsert(d_, w.c_str(), Len(w.c_str()), &i, i % 2), 1) << i;
  }
  for (uint32_t i = 0; i < 600; ++i) {
    const std::wstring w = L"w" + std::to_wstring(i);
    uint32_t out = 0;
    ASSERT_EQ(DictLookup(d_, w.c_str(), Len(w.c_str()), &out), 1) << i;
    EXPECT_EQ(out, i);
  }
  EXPECT_EQ(DictLookup(d_, L"w600", 4, nullptr), 0);
}

TEST_F(Dict, Limits) {
  EXPECT_EQ(DictCreate(257), nullptr);
  d_ = DictCreate(256);
  ASSERT_NE(d_, nullptr);
  uint8_t payload[256] = {7};
  const std::wstring tooLong(256, L'x');
  EXPECT_EQ(DictInsert(d_, tooLong.c_str(), 256, payload, true), 0);
  EXPECT_EQ(DictLookup(d_, tooLong.c_str(), 256, nullptr), 0);
  // Entries of 4 + 256 + 2 x 256 bytes: five to a block, seven blocks.
  std::wstring w(255, L'a');
  int inserted = 0;
  for (int i = 0; i < 40; ++i) {
    w[0] = static_cast<wchar_t>(L'A' + i);
    inserted += DictInsert(d_, w.c_str(), 255, payload, true);
  }
  EXPECT_EQ(inserted, 35);
  // Refused words change nothing: the earlier ones are all still there.
  EXPECT_EQ(DictInsert(d_, L"x", 1, payload, true), 0);
  EXPECT_EQ(DictLookup(d_, L"x", 1, nullptr), 0);
  for (int i = 0; i < 35; ++i) {
    w[0] = static_cast<wchar_t>(L'A' + i);
    EXPECT_EQ(DictLookup(d_, w.c_str(), 255, nullptr), 1) << i;
  }
}

TEST(Keywords, BuiltInLists) {
  int32_t n = 0;
  const KeywordEntry* l0 = SchemeKeywords(0, &n);
  EXPECT_EQ(n, 50);
  EXPECT_EQ(std::wstring(l0[0].word), L"#error");
  EXPECT_EQ(l0[28].code, 13);  // "@short"
  SchemeKeywords(1, &n);
  EXPECT_EQ(n, 32);
  SchemeKeywords(2, &n);
  EXPECT_EQ(n, 6);
  SchemeKeywords(4, &n);
  EXPECT_EQ(n, 0);
}

}  // namespace
