// The pixel editor's data: new images, pixels, flood fill, inversion,
// colours, and files written and read back.
#include "reader_test.h"
#include "res_test.h"

namespace restest {
namespace {

using namespace QelResource;
constexpr int kBitmap = 29, kIcon = 1;

uint32_t SizeWord(const uint8_t* binary) { return Read32(binary - 4); }

struct Image {
  uint8_t* bits = nullptr;
  uint8_t* palette = nullptr;
};
Image New(int colours, int kind, int w, int h) {
  Image i;
  EXPECT_TRUE(Reads([&] { i.bits = edicon_NewImage(colours, kind, w, h, &i.palette); }));
  return i;
}
int Pixel(const Image& i, int kind, int x, int y, int w, int h, int* mask = nullptr) {
  int index = -1, m = -1;
  EXPECT_TRUE(Reads([&] { index = edicon_GetNumColor(i.bits, kind, x, y, w, h, &m); }));
  if (mask) *mask = m;
  return index;
}

TEST(Editing, NewImages) {
  Image icon = New(2, kIcon, 32, 32);
  ASSERT_EQ(SizeWord(icon.bits), 4u + 1024 + 128);
  EXPECT_EQ(Bytes(icon.bits, icon.bits + 1024), Bytes(1024, 0));
  EXPECT_EQ(Bytes(icon.bits + 1024, icon.bits + 1152), Bytes(128, 0xFF));
  EXPECT_EQ(Bytes(icon.palette, icon.palette + 8), (Bytes{0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0}));
  Image bmp = New(16, kBitmap, 5, 3);
  ASSERT_EQ(SizeWord(bmp.bits), 4u + 15);
  EXPECT_EQ(Bytes(bmp.bits, bmp.bits + 15), Bytes(15, 15));
  ASSERT_EQ(SizeWord(bmp.palette), 4u + 64);
  // Entries hold blue, green, red: entry 1 is dark red, entry 12 blue.
  EXPECT_EQ(Bytes(bmp.palette + 4, bmp.palette + 8), (Bytes{0, 0, 0x80, 0}));
  EXPECT_EQ(edicon_ByteColor(1, bmp.palette), 0x000080u);
  EXPECT_EQ(edicon_ByteColor(12, bmp.palette), 0xFF0000u);
}

TEST(Editing, PixelsAddressFromTheTopLeft) {
  Image i = New(16, kIcon, 4, 3);
  ASSERT_TRUE(Reads([&] { edicon_SetNumColor(i.bits, kIcon, 1, 1, 4, 3, 0, 9); }));
  EXPECT_EQ(i.bits[(3 - 1) * 4], 9);
  int mask;
  EXPECT_EQ(Pixel(i, kIcon, 1, 1, 4, 3, &mask), 9);
  EXPECT_EQ(mask, 0);
  // Mask bit of pixel index 8: bit 7 of mask byte 1.
  EXPECT_EQ(i.bits[12 + 1], 0x7F);
  ASSERT_TRUE(Reads([&] { edicon_SetNumColor(i.bits, kIcon, 4, 3, 4, 3, 1, 2); }));
  EXPECT_EQ(i.bits[3], 2);  // the bottom row comes first
  EXPECT_EQ(Pixel(i, kIcon, 4, 3, 4, 3, &mask), 2);
  EXPECT_EQ(mask, 1);
  Image b = New(2, kBitmap, 4, 3);
  EXPECT_EQ(Pixel(b, kBitmap, 2, 2, 4, 3, &mask), 1);
  EXPECT_EQ(mask, 0);
}

TEST(Editing, PositionsAndSizesOutsideTheImageFail) {
  Image i = New(16, kIcon, 4, 3);
  Bytes before(i.bits, i.bits + 14);
  struct Case {
    int x, y, w, h;
  } cases[] = {{0, 1, 4, 3}, {5, 1, 4, 3}, {1, 0, 4, 3}, {1, 4, 4, 3}, {1, 1, 40, 3}, {1, 1, 4, 30}, {1, 1, 0, 3},
               {-1, -1, -4, -3}};
  for (const Case& c : cases) {
    int mask;
    EXPECT_FALSE(Reads([&] { edicon_SetNumColor(i.bits, kIcon, c.x, c.y, c.w, c.h, 1, 7); }));
    EXPECT_FALSE(Reads([&] { edicon_GetNumColor(i.bits, kIcon, c.x, c.y, c.w, c.h, &mask); }));
    EXPECT_FALSE(Reads([&] { edicon_FloodFill(i.bits, kIcon, c.x, c.y, c.w, c.h, 7, 1); }));
  }
  EXPECT_FALSE(Reads([&] { edicon_BackCopy(i.bits, kIcon, 8, 8); }));
  EXPECT_FALSE(Reads([&] { edicon_TestCursor(0, i.bits, 0, 0, 4, 3); }));  // needs 32 x 32
  EXPECT_FALSE(Reads([&] { edicon_InverseImage(i.bits, 8, 8, 16); }));
  EXPECT_EQ(Bytes(i.bits, i.bits + 14), before);
  uint8_t* copy = nullptr;
  ASSERT_TRUE(Reads([&] { copy = edicon_BackCopy(i.bits, kIcon, 4, 3); }));
  EXPECT_EQ(Bytes(copy, copy + 14), before);
}

// A bitmap from rows given top row first, one digit per pixel.
Image Drawn(const std::vector<std::string>& rows) {
  int w = static_cast<int>(rows[0].size()), h = static_cast<int>(rows.size());
  Image i = New(16, kBitmap, w, h);
  for (int y = 1; y <= h; ++y)
    for (int x = 1; x <= w; ++x) i.bits[(h - y) * w + x - 1] = static_cast<uint8_t>(rows[y - 1][x - 1] - '0');
  return i;
}
std::vector<std::string> Rows(const Image& i, int w, int h) {
  std::vector<std::string> rows;
  for (int y = 1; y <= h; ++y) {
    std::string r;
    for (int x = 1; x <= w; ++x) r += static_cast<char>('0' + i.bits[(h - y) * w + x - 1]);
    rows.push_back(r);
  }
  return rows;
}

TEST(Editing, FloodFillTakesTheFourConnectedRegion) {
  struct Case {
    const char* what;
    std::vector<std::string> before;
    int x, y, index;
    std::vector<std::string> after;
  } cases[] = {
      {"own colour", {"110", "100", "001"}, 1, 1, 1, {"110", "100", "001"}},
      {"corner-touching region left alone", {"110", "100", "001"}, 1, 1, 5, {"550", "500", "001"}},
      {"around an island", {"0000", "0220", "0000"}, 1, 1, 3, {"3333", "3223", "3333"}},
      {"the island", {"0000", "0220", "0000"}, 2, 2, 7, {"0000", "0770", "0000"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    int w = static_cast<int>(c.before[0].size()), h = static_cast<int>(c.before.size());
    Image i = Drawn(c.before);
    ASSERT_TRUE(Reads([&] { edicon_FloodFill(i.bits, kBitmap, c.x, c.y, w, h, static_cast<uint8_t>(c.index), 0); }));
    EXPECT_EQ(Rows(i, w, h), c.after);
  }
  // On an icon the mask bit is part of the region and of the fill.
  Image icon = New(16, kIcon, 3, 1);
  ASSERT_TRUE(Reads([&] { edicon_SetNumColor(icon.bits, kIcon, 3, 1, 3, 1, 0, 0); }));
  ASSERT_TRUE(Reads([&] { edicon_FloodFill(icon.bits, kIcon, 1, 1, 3, 1, 4, 0); }));
  int mask;
  EXPECT_EQ(Pixel(icon, kIcon, 2, 1, 3, 1, &mask), 4);
  EXPECT_EQ(mask, 0);
  EXPECT_EQ(Pixel(icon, kIcon, 3, 1, 3, 1, &mask), 0);
}

TEST(Editing, Inversion) {
  Image two = Drawn({"01"});
  edicon_InverseImage(two.bits, 2, 1, 2);
  EXPECT_EQ(Rows(two, 2, 1), std::vector<std::string>{"10"});
  Image eight = New(16, kBitmap, 4, 1);
  const uint8_t v[4] = {0, 15, 3, 7};
  memcpy(eight.bits, v, 4);
  edicon_InverseImage(eight.bits, 4, 1, 8);
  EXPECT_EQ(Bytes(eight.bits, eight.bits + 4), (Bytes{15, 0, 20, 16}));
}

TEST(Editing, ColourLookUp) {
  Image i = New(16, kBitmap, 1, 1);
  uint8_t index = 0;
  ASSERT_TRUE(Reads([&] { index = edicon_ColorByte(i.palette, 0x00FF00); }));
  EXPECT_EQ(index, 10);
  ASSERT_TRUE(Reads([&] { index = edicon_ColorByte(i.palette, 0x07FF05); }));  // low bits differ
  EXPECT_EQ(index, 10);
  EXPECT_FALSE(Reads([&] { edicon_ColorByte(i.palette, 0x123456); }));
  EXPECT_FALSE(Reads([&] { edicon_ByteColor(16, i.palette); }));
}

TEST_F(ResWriter, BitmapFilesStoreRowsOfFourBytes) {
  Image i = Drawn({"101", "010"});
  for (int k = 0; k < 6; ++k) i.bits[k] &= 1;
  std::wstring file = dir + L"\\three.bmp";
  ASSERT_EQ(edicon_SetBitMapToFile(file.c_str(), i.bits, 2, i.palette, 3, 2), 1);
  Bytes f = ReadWholeFile(file);
  ASSERT_EQ(f.size(), 54u + 8 + 2 * 4);
  EXPECT_EQ(Read32(f.data() + 2), 70u);
  EXPECT_EQ(Read32(f.data() + 34), 8u);
  EXPECT_EQ(Bytes(f.begin() + 62, f.end()), (Bytes{0x40, 0, 0, 0, 0xA0, 0, 0, 0}));
  int colours = 0, w = 0, h = 0;
  uint8_t* palette = nullptr;
  uint8_t* back = nullptr;
  ASSERT_TRUE(Reads([&] { back = edicon_GetBitMapFromFile(file.c_str(), &colours, &palette, &w, &h); }));
  EXPECT_EQ(colours, 2);
  EXPECT_EQ(w, 3);
  EXPECT_EQ(h, 2);
  EXPECT_EQ(Bytes(back, back + 6), Bytes(i.bits, i.bits + 6));
  EXPECT_EQ(edicon_SetBitMapToFile((dir + L"\\no\\such.bmp").c_str(), i.bits, 2, i.palette, 3, 2), 0);
  // An image size beyond 16 bits is written whole.
  Image big = New(256, kBitmap, 300, 300);
  ASSERT_EQ(edicon_SetBitMapToFile(file.c_str(), big.bits, 256, big.palette, 300, 300), 1);
  EXPECT_EQ(Read32(ReadWholeFile(file).data() + 34), 90000u);
  EXPECT_EQ(edicon_SetBitMapToFile(file.c_str(), i.bits, 2, i.palette, 30, 2), 0);
}

TEST_F(ResWriter, IconAndCursorFilesRoundTripWithPaddedRows) {
  Image icon = New(16, kIcon, 16, 16);
  for (int k = 0; k < 256; ++k) icon.bits[k] = static_cast<uint8_t>(k % 16);
  for (int k = 0; k < 32; ++k) icon.bits[256 + k] = static_cast<uint8_t>(k * 37);
  std::wstring file = dir + L"\\a.ico";
  ASSERT_EQ(edicon_SetIconToFile(file.c_str(), icon.bits, 16, icon.palette, 16, 16), 1);
  Bytes f = ReadWholeFile(file);
  // Colour rows of 8 bytes, mask rows of 2 bytes padded to 4.
  ASSERT_EQ(f.size(), 22u + 40 + 64 + 16 * 8 + 16 * 4);
  EXPECT_EQ(Read32(f.data() + 14), 40u + 64 + 16 * 8 + 16 * 4);
  int colours, w, h, x, y;
  uint8_t* palette;
  uint8_t* back = nullptr;
  ASSERT_TRUE(Reads([&] { back = edicon_GetIconFromFile(file.c_str(), &colours, &palette, &w, &h); }));
  EXPECT_EQ(colours, 16);
  EXPECT_EQ(w, 16);
  EXPECT_EQ(Bytes(back, back + 288), Bytes(icon.bits, icon.bits + 288));
  EXPECT_EQ(Bytes(palette, palette + 64), Bytes(icon.palette, icon.palette + 64));

  Image cursor = New(2, kIcon, 32, 32);
  for (int k = 0; k < 1024; ++k) cursor.bits[k] = static_cast<uint8_t>((k / 3) & 1);
  std::wstring cur = dir + L"\\a.cur";
  ASSERT_EQ(edicon_SetCursorToFile(cur.c_str(), cursor.bits, 2, cursor.palette, 32, 32, 3, 4), 1);
  EXPECT_EQ(ReadWholeFile(cur).size(), 326u);
  ASSERT_TRUE(Reads([&] { back = edicon_GetCursorFromFile(cur.c_str(), &colours, &palette, &w, &h, &x, &y); }));
  EXPECT_EQ(x, 3);
  EXPECT_EQ(y, 4);
  EXPECT_EQ(Bytes(back, back + 1152), Bytes(cursor.bits, cursor.bits + 1152));
  // Wrong kinds of file fail.
  EXPECT_FALSE(Reads([&] { edicon_GetIconFromFile(cur.c_str(), &colours, &palette, &w, &h); }));
  EXPECT_FALSE(Reads([&] { edicon_GetCursorFromFile(file.c_str(), &colours, &palette, &w, &h, &x, &y); }));
  EXPECT_FALSE(Reads([&] { edicon_GetBitMapFromFile(file.c_str(), &colours, &palette, &w, &h); }));
  Bytes cut = f;
  cut.resize(f.size() - 1);
  std::wstring shortFile = Source(L"short.ico", cut);
  EXPECT_FALSE(Reads([&] { edicon_GetIconFromFile(shortFile.c_str(), &colours, &palette, &w, &h); }));
}

}  // namespace
}  // namespace restest
