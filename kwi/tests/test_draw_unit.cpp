// The DIB reader's checks, run-length expansion at its limits and the
// system palette of 8-bit screens, on the layer's internals.
#include <gtest/gtest.h>

#include "picture.h"

using namespace QEL_KWI;
using namespace QEL_KWI::detail;

namespace {

std::vector<uint8_t> Header(uint32_t size, int32_t w, int32_t h, uint16_t planes, uint16_t bits,
                            uint32_t compression, uint32_t clrUsed) {
  std::vector<uint8_t> v(size < 40 ? 40 : size);
  auto put = [&](size_t at, const void* p, size_t n) { memcpy(v.data() + at, p, n); };
  put(0, &size, 4);
  if (size == 12) {
    uint16_t w16 = static_cast<uint16_t>(w), h16 = static_cast<uint16_t>(h);
    put(4, &w16, 2), put(6, &h16, 2), put(8, &planes, 2), put(10, &bits, 2);
    v.resize(12);
    return v;
  }
  put(4, &w, 4), put(8, &h, 4), put(12, &planes, 2), put(14, &bits, 2);
  put(16, &compression, 4), put(32, &clrUsed, 4);
  return v;
}

// A 2 x 2 RLE8 header whose biSizeImage is `sizeImage`.
std::vector<uint8_t> Rle8(uint32_t sizeImage) {
  std::vector<uint8_t> v = Header(40, 2, 2, 1, 8, BI_RLE8, 1);
  memcpy(v.data() + 20, &sizeImage, 4);
  return v;
}

TEST(Dib, HeaderChecks) {
  struct Case {
    const char* what;
    std::vector<uint8_t> header;
    size_t extra;  // bytes after the header
    bool ok;
    uint64_t bitsOffset;
  } cases[] = {
      {"24-bit 3 x 2", Header(40, 3, 2, 1, 24, BI_RGB, 0), 24, true, 40},
      {"one byte short", Header(40, 3, 2, 1, 24, BI_RGB, 0), 23, false, 0},
      {"top-down", Header(40, 3, -2, 1, 24, BI_RGB, 0), 24, true, 40},
      {"8-bit table", Header(40, 4, 1, 1, 8, BI_RGB, 0), 1024 + 4, true, 1064},
      {"8-bit, 16 colours used", Header(40, 4, 1, 1, 8, BI_RGB, 16), 64 + 4, true, 104},
      {"bit fields masks", Header(40, 2, 2, 1, 32, BI_BITFIELDS, 0), 12 + 16, true, 52},
      {"core header", Header(12, 8, 1, 1, 1, BI_RGB, 0), 6 + 4, true, 18},
      {"V5 header", Header(124, 1, 1, 1, 32, BI_RGB, 0), 4, true, 124},
      {"colours 2^31", Header(40, 2, 2, 1, 8, BI_RGB, 0x80000000u), 100, false, 0},
      {"width 0", Header(40, 0, 2, 1, 24, BI_RGB, 0), 64, false, 0},
      {"height 0", Header(40, 2, 0, 1, 24, BI_RGB, 0), 64, false, 0},
      {"planes 2", Header(40, 2, 2, 2, 24, BI_RGB, 0), 64, false, 0},
      {"depth 7", Header(40, 2, 2, 1, 7, BI_RGB, 0), 64, false, 0},
      {"unknown header size", Header(44, 2, 2, 1, 24, BI_RGB, 0), 64, false, 0},
      {"JPEG inside", Header(40, 2, 2, 1, 24, BI_JPEG, 0), 64, false, 0},
      {"RLE8 at 4 bits", Header(40, 2, 2, 1, 4, BI_RLE8, 0), 200, false, 0},
      {"RLE8 data all there", Rle8(10), 4 + 10, true, 44},
      {"RLE8 data one byte short", Rle8(10), 4 + 9, false, 0},
      {"RLE8 without a data size", Rle8(0), 4 + 10, false, 0},
      {"RLE8 data size 4 GiB - 1", Rle8(0xFFFFFFFFu), 4 + 10, false, 0},
      {"huge", Header(40, 0x7FFFFFFF, 0x7FFFFFFF, 1, 32, BI_RGB, 0), 64, false, 0},
  };
  for (auto& c : cases) {
    std::vector<uint8_t> dib = c.header;
    dib.resize(dib.size() + c.extra);
    DibInfo d;
    EXPECT_EQ(ReadDib(dib.data(), dib.size(), &d), c.ok) << c.what;
    if (c.ok) {
      EXPECT_EQ(d.bitsOffset, c.bitsOffset) << c.what;
    }
  }
  DibInfo d;
  EXPECT_FALSE(ReadDib(nullptr, 0, &d));
  uint8_t tiny[8] = {40};
  EXPECT_FALSE(ReadDib(tiny, sizeof tiny, &d));
}

TEST(Dib, RunLengthStopsAtTheEnds) {
  uint8_t out[8];
  // Runs past the row, the buffer and the source: nothing is written outside.
  const uint8_t endless[] = {255, 7, 255, 7, 0, 0, 255, 7};
  memset(out, 0xEE, sizeof out);
  ExpandRle(endless, sizeof endless, false, out, 4, 1);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 4), std::vector<uint8_t>(4, 7));
  EXPECT_EQ(out[4], 0xEE);
  // An absolute run longer than the source is not read.
  const uint8_t cut[] = {0, 6, 1, 2};
  memset(out, 0, sizeof out);
  ExpandRle(cut, sizeof cut, false, out, 8, 1);
  EXPECT_EQ(out[0], 0);
  // A delta beyond the last row ends the expansion.
  const uint8_t delta[] = {0, 2, 0, 9, 3, 5};
  memset(out, 0, sizeof out);
  ExpandRle(delta, sizeof delta, false, out, 4, 2);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 8), std::vector<uint8_t>(8, 0));
}

TEST(Dib, SystemPaletteHas256Entries) {
  HDC dc = GetDC(nullptr);
  uint8_t* mark = Qel::RunTime::Kernel::Memory::MarkGStack();
  LOGPALETTE* lp = SystemPaletteEntries(dc);
  EXPECT_EQ(lp->palVersion, 0x300);
  EXPECT_EQ(lp->palNumEntries, 256);
  HPALETTE pal = CreatePalette(lp);
  EXPECT_TRUE(pal);
  EXPECT_EQ(GetPaletteEntries(pal, 0, 0, nullptr), 256u);
  DeleteObject(pal);
  Qel::RunTime::Kernel::Memory::ReleaseGStack(mark);
  ReleaseDC(nullptr, dc);
}

}  // namespace
