// Compressed binaries: round trips, the stored and padded forms, the older
// form, and bad input.
#include <gtest/gtest.h>

#include "helpers.h"
#include "qel6run_lib.h"

using namespace runlib_test;
using namespace CorvaneBinary;

namespace {

std::vector<uint8_t> Text(size_t n) {
  static const char* words[] = {"roster ", "doctor ", "duty ", "weekend ", "holiday ",
                                "on call ", "practice ", "slot ", "\r\n", "Monday "};
  std::vector<uint8_t> out;
  uint32_t x = 99;
  while (out.size() < n) {
    x = x * 1664525u + 1013904223u;
    const char* w = words[(x >> 24) % 10];
    out.insert(out.end(), w, w + strlen(w));
  }
  out.resize(n);
  return out;
}

// Low-entropy bytes that still give many distinct strings: fills the
// 14-bit code space several times.
std::vector<uint8_t> ManyStrings(size_t n) {
  std::vector<uint8_t> out(n);
  uint32_t x = 5;
  for (size_t i = 0; i < n; ++i) {
    x = x * 1664525u + 1013904223u;
    out[i] = "abcdefgh"[(x >> 24) & 7];
  }
  return out;
}

std::vector<uint8_t> Repeat(std::vector<uint8_t> unit, size_t times) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i < times; ++i) out.insert(out.end(), unit.begin(), unit.end());
  return out;
}

// The codec's own marker bytes (run-length 169, mode switch 189, 256 = 189).
std::vector<uint8_t> Markers(size_t n, uint32_t x = 11) {
  std::vector<uint8_t> out(n);
  for (size_t i = 0; i < n; ++i) {
    x = x * 1664525u + 1013904223u;
    static const uint8_t pick[] = {169, 169, 189, 189, 189, 0, 255, 'a', 170, 188};
    out[i] = pick[(x >> 24) % 10];
  }
  return out;
}

}  // namespace

TEST(Codec, RoundTripsEveryKindOfInput) {
  struct Case {
    const char* name;
    std::vector<uint8_t> data;
  };
  std::vector<uint8_t> half = NoiseBytes(4, 5000);
  std::vector<uint8_t> mixed = Text(3000);
  mixed.insert(mixed.end(), half.begin(), half.end());
  const Case cases[] = {
      {"empty", {}},
      {"one byte", {0xA9}},
      {"23 bytes", NoiseBytes(1, 23)},
      {"24 bytes", NoiseBytes(2, 24)},
      {"24 equal bytes", std::vector<uint8_t>(24, 7)},
      {"short text", Text(40)},
      {"long text", Text(200000)},
      {"random", NoiseBytes(3, 20000)},
      {"1000 equal", std::vector<uint8_t>(1000, 'q')},
      {"long runs of 169", std::vector<uint8_t>(70000, 169)},
      {"pairs of 169", Repeat({169, 169, 1}, 500)},
      {"runs of 189", Repeat({189, 189, 189, 189, 5}, 300)},
      {"markers", Markers(60000)},
      {"table resets", ManyStrings(600000)},
      {"strings near 200 bytes", Repeat(NoiseBytes(9, 199), 300)},
      {"text then noise", mixed},
  };
  for (const Case& c : cases) {
    uint8_t* mark = Memory::MarkGStack();
    const uint8_t* packed = CompressBinary(Binary(c.data).get());
    if (c.data.size() >= 24) {
      EXPECT_EQ(packed[0], 'X') << c.name;
      EXPECT_GE(SizeWord(packed) - 4, 24u) << c.name;
    }
    const uint8_t* plain = nullptr;
    ASSERT_EQ(RunTrapped([&] { plain = ExpandBinary(packed); }), 0u) << c.name;
    EXPECT_EQ(Bytes(plain), c.data) << c.name;
    Memory::ReleaseGStack(mark);
  }
}

TEST(Codec, RoundTripsMarkerBytesAtEverySmallSize) {
  for (uint32_t seed = 0; seed < 20; ++seed)
    for (size_t n = 24; n < 300; ++n) {
      std::vector<uint8_t> data = Markers(n, seed);
      uint8_t* mark = Memory::MarkGStack();
      const uint8_t* packed = CompressBinary(Binary(data).get());
      const uint8_t* plain = nullptr;
      ASSERT_EQ(RunTrapped([&] { plain = ExpandBinary(packed); }), 0u) << seed << " " << n;
      ASSERT_EQ(Bytes(plain), data) << seed << " " << n;
      Memory::ReleaseGStack(mark);
    }
}

TEST(Codec, ShortInputIsACopyBothWays) {
  std::vector<uint8_t> data = NoiseBytes(5, 23);
  data[0] = 'X';  // looks like a header: still a copy
  const uint8_t* packed = CompressBinary(Binary(data).get());
  EXPECT_EQ(Bytes(packed), data);
  EXPECT_EQ(Bytes(ExpandBinary(packed)), data);
}

TEST(Codec, RepetitiveInputShrinksAndShortResultsArePadded) {
  // 1000 equal bytes code into fewer than 24 bytes, which would read back as
  // a stored copy: the result is padded to 24.
  const uint8_t* packed = CompressBinary(Binary(std::vector<uint8_t>(1000, 0)).get());
  EXPECT_EQ(SizeWord(packed), 4u + 24u);
  EXPECT_EQ(packed[1] & 1, 1);
  uint32_t length;
  memcpy(&length, packed + 2, 4);
  EXPECT_EQ(length, 1000u);
  EXPECT_EQ(Bytes(ExpandBinary(packed)), std::vector<uint8_t>(1000, 0));

  std::vector<uint8_t> text = Text(100000);
  EXPECT_LT(SizeWord(CompressBinary(Binary(text).get())), 100000u / 2);
}

TEST(Codec, IncompressibleInputIsStored) {
  std::vector<uint8_t> noise = NoiseBytes(7, 1000);
  const uint8_t* packed = CompressBinary(Binary(noise).get());
  ASSERT_EQ(SizeWord(packed), 4u + 6u + 1000u);
  EXPECT_EQ(packed[0], 'X');
  EXPECT_EQ(packed[1], 0);
  EXPECT_EQ(std::vector<uint8_t>(packed + 6, packed + 1006), noise);
  EXPECT_EQ(Bytes(ExpandBinary(packed)), noise);
}

TEST(Codec, ResultIsTheNewestBlockOfTheGlobalStack) {
  // The coder's tables are given back: the global stack ends at the result.
  // (Blocks are rounded up to the kernel's alignment, at most 8.)
  auto endsAtTop = [](const uint8_t* binary) {
    const uint8_t* end = binary - 4 + SizeWord(binary);
    const uint8_t* top = Memory::MarkGStack();
    return top >= end && top < end + 8;
  };
  uint8_t* mark = Memory::MarkGStack();
  const uint8_t* packed = CompressBinary(Binary(Text(5000)).get());
  EXPECT_EQ(packed - 4, mark);
  EXPECT_TRUE(endsAtTop(packed));
  const uint8_t* plain = ExpandBinary(packed);
  EXPECT_TRUE(endsAtTop(plain));
  Memory::ReleaseGStack(mark);
}

TEST(Codec, OlderFormIsExpanded) {
  // Stored, 16-bit length.
  std::vector<uint8_t> stored = {0, 0x80, 26, 0};
  std::vector<uint8_t> body = NoiseBytes(8, 26);
  stored.insert(stored.end(), body.begin(), body.end());
  EXPECT_EQ(Bytes(ExpandBinary(Binary(stored).get())), body);

  // Run-length only, padded to 24 bytes; the last byte counts the padding.
  std::vector<uint8_t> runs = {0, 0x01, 44, 1, 169, 255, 'a', 169, 42, 'b', 'c'};
  runs.resize(24, 0);
  runs[23] = 13;
  std::vector<uint8_t> expected(256, 'a');
  expected.insert(expected.end(), 43, 'b');
  expected.push_back('c');
  EXPECT_EQ(Bytes(ExpandBinary(Binary(runs).get())), expected);

  // LZW: the same code stream behind the older header.
  std::vector<uint8_t> text = Text(3000);
  std::vector<uint8_t> packed = Bytes(CompressBinary(Binary(text).get()));
  uint8_t widest = static_cast<uint8_t>((packed[1] - 1) / 2);
  std::vector<uint8_t> older = {0, static_cast<uint8_t>(0x82 | widest << 4),
                                static_cast<uint8_t>(3000 & 0xFF), static_cast<uint8_t>(3000 >> 8)};
  older.insert(older.end(), packed.begin() + 6, packed.end());
  EXPECT_EQ(Bytes(ExpandBinary(Binary(older).get())), text);
}

TEST(Codec, BadInputRaisesItsErrorAndReturnsNothing) {
  std::vector<uint8_t> good = Bytes(CompressBinary(Binary(Text(4000)).get()));
  auto with = [&](size_t at, uint8_t value) {
    std::vector<uint8_t> v = good;
    v[at] = value;
    return v;
  };
  auto length = [&](uint32_t n) {
    std::vector<uint8_t> v = good;
    memcpy(v.data() + 2, &n, 4);
    return v;
  };
  std::vector<uint8_t> storedWrongLength = {'X', 0, 30, 0, 0, 0};
  storedWrongLength.resize(30, 1);
  std::vector<uint8_t> truncated(good.begin(), good.begin() + good.size() / 2);
  std::vector<uint8_t> olderBadPadding = {0, 0x01, 10, 0};
  olderBadPadding.resize(24, 0);
  olderBadPadding[23] = 23;
  struct Case {
    const char* name;
    std::vector<uint8_t> data;
    uint32_t code;
  };
  const Case cases[] = {
      {"unknown format letter", with(0, 'Y'), 1081},
      {"method with bit 7", with(1, 0x81), 1083},
      {"even method", with(1, 2), 1083},
      {"width above 14", with(1, 13), 1083},
      {"stored with a wrong length", storedWrongLength, 1082},
      {"length far beyond the stream", length(0xFFFFFFF0u), 1082},
      {"length a little short", length(3999), 1083},
      {"length a little long", length(4001), 1083},
      {"truncated stream", truncated, 1083},
      {"older form with too much padding", olderBadPadding, 1082},
      {"older form with an unknown method", {0, 0x85, 1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10,
                                             11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21},
       1083},
  };
  for (const Case& c : cases) {
    Binary b(c.data);
    uint8_t* mark = Memory::MarkGStack();
    EXPECT_EQ(RunTrapped([&] { ExpandBinary(b.get()); }), c.code) << c.name;
    EXPECT_EQ(Memory::MarkGStack(), mark) << c.name;
  }
  uint8_t block[8] = {2, 0, 0, 0};
  EXPECT_EQ(RunTrapped([&] { ExpandBinary(block + 4); }), 1081u);
}

TEST(Codec, CorruptStreamsNeverCrash) {
  std::vector<uint8_t> good = Bytes(CompressBinary(Binary(Text(6000)).get()));
  uint32_t x = 3;
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> bad = good;
    for (int k = 0; k < 1 + round % 4; ++k) {
      x = x * 1664525u + 1013904223u;
      size_t at = 6 + (x >> 8) % (bad.size() - 6);
      bad[at] ^= static_cast<uint8_t>(1u << ((x >> 4) & 7));
    }
    Binary b(bad);
    uint8_t* mark = Memory::MarkGStack();
    uint32_t code = RunTrapped([&] { ExpandBinary(b.get()); });
    EXPECT_TRUE(code == 0 || code == 1083) << "round " << round << " code " << code;
    Memory::ReleaseGStack(mark);
  }
}
