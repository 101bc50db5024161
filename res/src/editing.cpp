// The data side of the icon, cursor and bitmap editor.  An image is a binary
// on the global stack (a u32 size word counting itself, then the bytes):
// width x height palette indices, rows from the bottom up, and for icons and
// cursors a mask of width x height bits packed most significant bit first
// (rounded up to whole bytes), a set bit marking a transparent pixel.  In
// files every row of every plane is padded to 4 bytes.  Every pixel
// operation checks its position and the binary's size before it touches
// memory, and fails otherwise.
#include <cstring>
#include <initializer_list>

#include "qel6kernel.h"
#include "writer.h"
// after qel6kwi.h, which writer.h includes
#include "qel6kwi_win.h"

namespace QelResource {

using namespace detail;
namespace Kernel = Qel::RunTime::Kernel;
namespace Memory = Qel::RunTime::Kernel::Memory;
using Kernel::Fail;

namespace {

constexpr int kBitmapKind = 29;
constexpr int kMaxBitmapSide = 64;
constexpr LONG_PTR kTestCursorNumber = 9003;
// Words of the GUI layer's window record: the cursor the window holds, and
// its cursor number (12 or more: a cursor the window owns).
constexpr int kRecordCursor = 3, kRecordCursorNumber = 26;

uint8_t* NewBinary(uint64_t n) {
  if (n > UINT32_MAX - 8) Kernel::Errors::RunTimeError(201u);
  uint8_t* block = Memory::AllocGStack(static_cast<uint32_t>(n + 4));
  uint32_t size = static_cast<uint32_t>(n + 4);
  memcpy(block, &size, 4);
  memset(block + 4, 0, n);
  return block + 4;
}
uint64_t BinaryBytes(const uint8_t* b) {
  if (!b) return 0;
  uint32_t size;
  memcpy(&size, b - 4, 4);
  return size < 4 ? 0 : size - 4;
}

bool Inside(uint64_t at, uint64_t n, uint64_t size) { return at <= size && n <= size - at; }

uint64_t MaskBytes(uint64_t w, uint64_t h) { return (w * h + 7) / 8; }
uint64_t ImageBytes(int kind, uint64_t w, uint64_t h) { return w * h + (kind == kBitmapKind ? 0 : MaskBytes(w, h)); }

// An image of this kind and size fits its binary.
bool Holds(const uint8_t* image, int kind, int w, int h) {
  return image && w > 0 && h > 0 && w <= 0xFFFF && h <= 0xFFFF && ImageBytes(kind, w, h) <= BinaryBytes(image);
}
// The byte index of pixel (x, y), or -1 outside.
int64_t PixelIndex(int x, int y, int w, int h) {
  if (x < 1 || x > w || y < 1 || y > h) return -1;
  return int64_t{h - y} * w + x - 1;
}
bool MaskBit(const uint8_t* mask, int64_t i) { return mask[i / 8] >> (7 - i % 8) & 1; }
void SetMaskBit(uint8_t* mask, int64_t i, bool on) {
  uint8_t bit = static_cast<uint8_t>(0x80 >> (i % 8));
  mask[i / 8] = on ? mask[i / 8] | bit : mask[i / 8] & ~bit;
}

int BitsFor(int colours) { return colours <= 2 ? 1 : colours <= 16 ? 4 : 8; }
uint64_t RowBytes(uint64_t w, int bits) { return (w * bits + 31) / 32 * 4; }

// Plane conversions between the file's padded rows and the image.
void UnpackColours(const uint8_t* rows, int bits, int w, int h, uint8_t* image) {
  uint64_t stride = RowBytes(w, bits);
  for (int r = 0; r < h; ++r)
    for (int x = 0; x < w; ++x) {
      uint64_t bit = uint64_t{static_cast<unsigned>(x)} * bits;
      uint8_t byte = rows[r * stride + bit / 8];
      image[int64_t{r} * w + x] = static_cast<uint8_t>(byte >> (8 - bits - bit % 8) & ((1 << bits) - 1));
    }
}
void PackColours(const uint8_t* image, int bits, int w, int h, uint8_t* rows) {
  uint64_t stride = RowBytes(w, bits);
  for (int r = 0; r < h; ++r)
    for (int x = 0; x < w; ++x) {
      uint64_t bit = uint64_t{static_cast<unsigned>(x)} * bits;
      uint8_t v = static_cast<uint8_t>(image[int64_t{r} * w + x] & ((1 << bits) - 1));
      rows[r * stride + bit / 8] |= static_cast<uint8_t>(v << (8 - bits - bit % 8));
    }
}
void UnpackMask(const uint8_t* rows, int w, int h, uint8_t* mask) {
  uint64_t stride = RowBytes(w, 1);
  for (int r = 0; r < h; ++r)
    for (int x = 0; x < w; ++x) SetMaskBit(mask, int64_t{r} * w + x, rows[r * stride + x / 8] >> (7 - x % 8) & 1);
}
void PackMask(const uint8_t* mask, int w, int h, uint8_t* rows) {
  uint64_t stride = RowBytes(w, 1);
  for (int r = 0; r < h; ++r)
    for (int x = 0; x < w; ++x)
      if (MaskBit(mask, int64_t{r} * w + x)) rows[r * stride + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
}

// A whole source file in the read buffer; false when it cannot be read.
bool ReadFileBytes(const u16* name, Bytes& into) {
  into.Clear();
  Source src;
  if (!src.Open(name)) return false;
  bool ok = src.size <= (64u << 20) && src.AppendTo(into, 0, static_cast<size_t>(src.size));
  src.Close();
  return ok;
}

bool WriteFileBytes(const u16* name, const Bytes& b) {
  HANDLE h = CreateFileW(name ? name : L"", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD done = 0;
  bool ok = !b.failed && b.size <= 0xFFFFFFFF && WriteFile(h, b.data, static_cast<DWORD>(b.size), &done, nullptr) &&
            done == b.size;
  return CloseHandle(h) && ok;
}

void PutInfoHeader(Bytes& out, int w, int h, int bits, uint64_t imageBytes) {
  out.U32(40);
  out.U32(static_cast<uint32_t>(w));
  out.U32(static_cast<uint32_t>(h));
  out.U16(1);
  out.U16(static_cast<uint16_t>(bits));
  out.U32(0);
  out.U32(static_cast<uint32_t>(imageBytes));
  out.Zeros(16);
}

void PutPalette(Bytes& out, const uint8_t* palette, int entries) {
  uint64_t have = BinaryBytes(palette);
  for (int i = 0; i < entries; ++i)
    for (int k = 0; k < 4; ++k) out.U8(palette && uint64_t{4u * i + k} < have ? palette[4 * i + k] : 0);
}

// The planes of an icon or cursor image after its information header in `file`.
struct IconPlanes {
  int w, h, colours, bits;
  uint64_t palette;  // offset of the palette in the file
};

uint8_t* ReadIconImage(const Bytes& file, const IconPlanes& p, int paletteEntries, uint8_t** palette) {
  uint64_t colourAt = p.palette + 4ull * paletteEntries, colourBytes = RowBytes(p.w, p.bits) * p.h;
  uint64_t maskAt = colourAt + colourBytes;
  if (!Inside(maskAt, RowBytes(p.w, 1) * p.h, file.size)) return nullptr;
  uint8_t* pal = NewBinary(4ull * paletteEntries);
  memcpy(pal, file.data + p.palette, 4ull * paletteEntries);
  uint8_t* image = NewBinary(ImageBytes(0, p.w, p.h));
  UnpackColours(file.data + colourAt, p.bits, p.w, p.h, image);
  UnpackMask(file.data + maskAt, p.w, p.h, image + uint64_t{static_cast<unsigned>(p.w)} * p.h);
  *palette = pal;
  return image;
}

// The directory of a one-image icon or cursor file of `type`, and its image's planes.
bool IconDirectory(const Bytes& file, uint16_t type, IconPlanes* p, uint8_t entry[16]) {
  if (file.size < 22 || Get16(file.data + 2) != type || Get16(file.data + 4) != 1) return false;
  memcpy(entry, file.data + 6, 16);
  uint64_t at = Get32(entry + 12);
  if (!Inside(at, 40, file.size)) return false;
  const uint8_t* info = file.data + at;
  p->w = entry[0];
  p->h = entry[1];
  p->bits = Get16(info + 14);
  p->palette = at + Get32(info);
  return p->w && p->h && (p->bits == 1 || p->bits == 4 || p->bits == 8) && Get32(info) >= 40;
}

// An icon or cursor file of one image: directory, information header, palette, planes.
void PutIconFile(Bytes& out, uint16_t type, const uint8_t* image, int colours, int paletteEntries,
                 const uint8_t* palette, int w, int h, uint16_t word1, uint16_t word2) {
  int bits = BitsFor(colours);
  uint64_t colourBytes = RowBytes(w, bits) * h, maskBytes = RowBytes(w, 1) * h;
  uint64_t imageBytes = colourBytes + maskBytes;
  out.U16(0);
  out.U16(type);
  out.U16(1);
  out.U8(static_cast<uint8_t>(w));
  out.U8(static_cast<uint8_t>(h));
  out.U8(static_cast<uint8_t>(colours));
  out.U8(0);
  out.U16(word1);
  out.U16(word2);
  out.U32(static_cast<uint32_t>(imageBytes + 4ull * paletteEntries + 40));
  out.U32(22);
  PutInfoHeader(out, w, 2 * h, bits, imageBytes);
  PutPalette(out, palette, paletteEntries);
  uint8_t* rows = out.Grow(imageBytes);
  if (!rows) return;
  memset(rows, 0, imageBytes);
  PackColours(image, bits, w, h, rows);
  PackMask(image + uint64_t{static_cast<unsigned>(w)} * h, w, h, rows + colourBytes);
}

}  // namespace

uint8_t* edicon_GetBitMapFromFile(const u16* fileName, int* colours, uint8_t** palette, int* width, int* height) {
  Bytes& file = g_writer.read;
  if (!ReadFileBytes(fileName, file) || file.size < 54 || file.data[0] != 'B' || file.data[1] != 'M') Fail();
  const uint8_t* info = file.data + 14;
  int bits = Get16(info + 14);
  uint32_t infoSize = Get32(info), used = Get32(info + 32), pixels = Get32(file.data + 10);
  int w = static_cast<int32_t>(Get32(info + 4)), h = static_cast<int16_t>(Get16(info + 8));
  if (infoSize < 40 || (bits != 1 && bits != 4 && bits != 8) || w < 1 || h < 1 || w > kMaxBitmapSide ||
      h > kMaxBitmapSide)
    Fail();
  int n = 1 << bits;
  uint64_t entries = used && used < static_cast<uint32_t>(n) ? used : n;
  if (!Inside(14ull + infoSize, 4 * entries, file.size) || !Inside(pixels, RowBytes(w, bits) * h, file.size)) Fail();
  uint8_t* pal = NewBinary(4ull * n);
  memcpy(pal, file.data + 14 + infoSize, 4 * entries);
  uint8_t* image = NewBinary(uint64_t{static_cast<unsigned>(w)} * h);
  UnpackColours(file.data + pixels, bits, w, h, image);
  *colours = n;
  *palette = pal;
  *width = w;
  *height = h;
  return image;
}

int edicon_SetBitMapToFile(const u16* fileName, uint8_t* image, int colours, uint8_t* palette, int width, int height) {
  if ((colours != 2 && colours != 16 && colours != 256) || !Holds(image, kBitmapKind, width, height)) return 0;
  int bits = BitsFor(colours);
  uint64_t imageBytes = RowBytes(width, bits) * height;
  Bytes& out = g_writer.out;
  out.Clear();
  out.U8('B');
  out.U8('M');
  out.U32(static_cast<uint32_t>(imageBytes + 54 + 4ull * colours));
  out.U32(0);
  out.U32(static_cast<uint32_t>(54 + 4 * colours));
  PutInfoHeader(out, width, height, bits, imageBytes);
  PutPalette(out, palette, colours);
  if (uint8_t* rows = out.Grow(imageBytes)) {
    memset(rows, 0, imageBytes);
    PackColours(image, bits, width, height, rows);
  }
  bool ok = WriteFileBytes(fileName, out);
  out.Clear();
  return ok ? 1 : 0;
}

uint8_t* edicon_GetIconFromFile(const u16* fileName, int* colours, uint8_t** palette, int* width, int* height) {
  Bytes& file = g_writer.read;
  IconPlanes p;
  uint8_t entry[16];
  if (!ReadFileBytes(fileName, file) || !IconDirectory(file, 1, &p, entry)) Fail();
  int n = entry[2] ? entry[2] : 1 << p.bits;
  p.colours = n;
  uint8_t* image = ReadIconImage(file, p, n == 8 ? 16 : n, palette);
  if (!image) Fail();
  *colours = n;
  *width = p.w;
  *height = p.h;
  return image;
}

int edicon_SetIconToFile(const u16* fileName, uint8_t* image, int colours, uint8_t* palette, int width, int height) {
  if ((colours != 2 && colours != 8 && colours != 16) || width > 255 || height > 255 || !Holds(image, 0, width, height))
    return 0;
  Bytes& out = g_writer.out;
  out.Clear();
  PutIconFile(out, 1, image, colours, colours == 2 ? 2 : 16, palette, width, height, 1, 0);
  bool ok = WriteFileBytes(fileName, out);
  out.Clear();
  return ok ? 1 : 0;
}

uint8_t* edicon_GetCursorFromFile(const u16* fileName, int* colours, uint8_t** palette, int* width, int* height,
                                  int* hotX, int* hotY) {
  Bytes& file = g_writer.read;
  IconPlanes p;
  uint8_t entry[16];
  if (!ReadFileBytes(fileName, file) || !IconDirectory(file, 2, &p, entry) || p.bits != 1) Fail();
  p.colours = 2;
  uint8_t* image = ReadIconImage(file, p, 2, palette);
  if (!image) Fail();
  *colours = 2;
  *width = p.w;
  *height = p.h;
  *hotX = Get16(entry + 4);
  *hotY = Get16(entry + 6);
  return image;
}

int edicon_SetCursorToFile(const u16* fileName, uint8_t* image, int colours, uint8_t* palette, int width, int height,
                           int hotX, int hotY) {
  if (colours != 2 || width > 255 || height > 255 || !Holds(image, 0, width, height)) return 0;
  Bytes& out = g_writer.out;
  out.Clear();
  PutIconFile(out, 2, image, 2, 2, palette, width, height, static_cast<uint16_t>(hotX), static_cast<uint16_t>(hotY));
  bool ok = WriteFileBytes(fileName, out);
  out.Clear();
  return ok ? 1 : 0;
}

uint8_t* edicon_NewImage(int colours, int kind, int width, int height, uint8_t** palette) {
  static const uint32_t kSixteen[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                        0x008080, 0x808080, 0xC0C0C0, 0xFF0000, 0x00FF00, 0xFFFF00,
                                        0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
  if (colours < 1 || colours > 256 || width < 1 || height < 1 || width > 0xFFFF || height > 0xFFFF) Fail();
  uint8_t* pal = NewBinary(4ull * colours);
  for (int i = 0; i < colours; ++i) {
    // 2 colours: black and white; 16: the standard set; otherwise a grey ramp.
    uint32_t v = colours == 2 ? (i ? 0xFFFFFF : 0) : colours == 16 ? kSixteen[i] : 0x010101u * (i * 255 / (colours - 1 ? colours - 1 : 1));
    for (int k = 0; k < 4; ++k) pal[4 * i + k] = static_cast<uint8_t>(v >> 8 * k);
  }
  uint64_t pixels = uint64_t{static_cast<unsigned>(width)} * height;
  uint8_t* image = NewBinary(ImageBytes(kind, width, height));
  if (kind == kBitmapKind)
    memset(image, colours - 1, pixels);
  else
    memset(image + pixels, 0xFF, MaskBytes(width, height));
  *palette = pal;
  return image;
}

uint8_t* edicon_BackCopy(uint8_t* image, int kind, int width, int height) {
  if (!Holds(image, kind, width, height)) Fail();
  uint64_t n = ImageBytes(kind, width, height);
  uint8_t* copy = NewBinary(n);
  memcpy(copy, image, n);
  return copy;
}

uint8_t edicon_GetNumColor(uint8_t* image, int kind, int x, int y, int width, int height, int* maskBit) {
  int64_t i = PixelIndex(x, y, width, height);
  if (i < 0 || !Holds(image, kind, width, height)) Fail();
  uint64_t pixels = uint64_t{static_cast<unsigned>(width)} * height;
  if (maskBit) *maskBit = kind == kBitmapKind ? 0 : MaskBit(image + pixels, i);
  return image[i];
}

void edicon_SetNumColor(uint8_t* image, int kind, int x, int y, int width, int height, int maskBit, uint8_t index) {
  int64_t i = PixelIndex(x, y, width, height);
  if (i < 0 || !Holds(image, kind, width, height)) Fail();
  image[i] = index;
  if (kind != kBitmapKind) SetMaskBit(image + uint64_t{static_cast<unsigned>(width)} * height, i, maskBit != 0);
}

void edicon_FloodFill(uint8_t* image, int kind, int x, int y, int width, int height, uint8_t index, int maskBit) {
  int64_t start = PixelIndex(x, y, width, height);
  if (start < 0 || !Holds(image, kind, width, height)) Fail();
  uint8_t* mask = kind == kBitmapKind ? nullptr : image + uint64_t{static_cast<unsigned>(width)} * height;
  auto maskOf = [&](int64_t i) { return mask ? MaskBit(mask, i) : false; };
  uint8_t oldIndex = image[start];
  bool oldMask = maskOf(start), newMask = mask && maskBit;
  if (oldIndex == index && oldMask == newMask) return;
  // The 4-connected region of the start pixel's index and mask bit.
  auto* queue = reinterpret_cast<int64_t*>(Memory::AllocGStack(static_cast<uint32_t>(8ull * width * height)));
  int64_t head = 0, tail = 0;
  auto take = [&](int64_t i) {
    image[i] = index;
    if (mask) SetMaskBit(mask, i, newMask);
    queue[tail++] = i;
  };
  take(start);
  while (head < tail) {
    int64_t i = queue[head++];
    int64_t px = i % width, row = i / width;
    const int64_t next[4][2] = {{px - 1, row}, {px + 1, row}, {px, row - 1}, {px, row + 1}};
    for (const auto& n : next) {
      if (n[0] < 0 || n[0] >= width || n[1] < 0 || n[1] >= height) continue;
      int64_t j = n[1] * width + n[0];
      if (image[j] == oldIndex && maskOf(j) == oldMask) take(j);
    }
  }
}

void edicon_InverseImage(uint8_t* image, int width, int height, int colours) {
  if (!Holds(image, kBitmapKind, width, height)) Fail();
  uint64_t n = uint64_t{static_cast<unsigned>(width)} * height;
  for (uint64_t i = 0; i < n; ++i) {
    uint8_t v = image[i];
    image[i] = colours == 8 ? static_cast<uint8_t>(v == 0 ? 15 : v == 15 ? 0 : 23 - v)
                            : static_cast<uint8_t>(colours - 1 - v);
  }
}

uint8_t edicon_ColorByte(uint8_t* palette, uint32_t colour) {
  uint64_t entries = BinaryBytes(palette) / 4;
  auto value = [&](uint64_t i) {
    const uint8_t* e = palette + 4 * i;
    return uint32_t{e[0]} << 16 | uint32_t{e[1]} << 8 | e[2];
  };
  for (uint32_t m : {0xFFFFFFu, 0xF8F8F8u})
    for (uint64_t i = 0; i < entries && i < 256; ++i)
      if ((value(i) & m) == (colour & m)) return static_cast<uint8_t>(i);
  Fail();
}

uint32_t edicon_ByteColor(uint8_t index, uint8_t* palette) {
  if (4u * index + 4 > BinaryBytes(palette)) Fail();
  const uint8_t* e = palette + 4 * index;
  return uint32_t{e[0]} << 16 | uint32_t{e[1]} << 8 | e[2];
}

void edicon_TestCursor(LONG_PTR window, uint8_t* image, int hotX, int hotY, int width, int height) {
  if (width != 32 || height != 32 || !Holds(image, 0, 32, 32)) Fail();
  auto* andPlane = static_cast<uint8_t*>(Memory::AllocHeap(128));
  auto* xorPlane = static_cast<uint8_t*>(Memory::AllocHeap(128));
  memset(xorPlane, 0, 128);
  // Rows of the image run from the bottom; the planes start with the top row.
  for (int r = 0; r < 32; ++r)
    for (int x = 0; x < 32; ++x) {
      int from = r * 32 + x, to = (31 - r) * 32 + x;
      if (image[from] & 1) xorPlane[to / 8] |= static_cast<uint8_t>(0x80 >> (to % 8));
    }
  for (int r = 0; r < 32; ++r) memcpy(andPlane + (31 - r) * 4, image + 1024 + r * 4, 4);
  _win_data* record = XZEV_GetWinData(window);
  auto instance = reinterpret_cast<HINSTANCE>(kwi_GetAttrVal(10001));
  HCURSOR cursor = CreateCursor(instance, hotX, hotY, 32, 32, andPlane, xorPlane);
  if (!cursor) Fail();
  if (record->w[kRecordCursorNumber] >= 12 && record->w[kRecordCursor])
    DestroyCursor(reinterpret_cast<HCURSOR>(record->w[kRecordCursor]));
  record->w[kRecordCursorNumber] = kTestCursorNumber;
  record->w[kRecordCursor] = reinterpret_cast<LONG_PTR>(cursor);
  SetCursor(cursor);
}

}  // namespace QelResource
