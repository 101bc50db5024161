// Picture rotation in quarter turns and run-length expansion.  A 256-colour
// source keeps its colour table (8-bit result); every other depth, 16- and
// 32-bit sources included, gives a 24-bit result.  Sources are read only
// inside their checked block: colour indexes beyond the table read black,
// run-length data stops at the end of the source and of the buffer.
#include "picture.h"

namespace QEL_KWI {
namespace detail {

void ExpandRle(const uint8_t* src, uint64_t srcSize, bool rle4, uint8_t* out, uint64_t rowBytes,
               uint64_t rows) {
  const uint64_t perRow = rle4 ? rowBytes * 2 : rowBytes;  // pixels a row holds
  uint64_t x = 0, y = 0, i = 0;
  auto put = [&](uint8_t v) -> bool {
    if (y >= rows || x >= perRow) return false;
    uint8_t* row = out + y * rowBytes;
    if (!rle4) row[x] = v;
    else row[x / 2] |= static_cast<uint8_t>((x & 1) ? (v & 0x0F) : (v << 4));
    ++x;
    return true;
  };
  while (i + 2 <= srcSize) {
    uint8_t count = src[i], value = src[i + 1];
    i += 2;
    if (count > 0) {
      for (unsigned k = 0; k < count; ++k) {
        uint8_t v = rle4 ? ((k & 1) ? (value & 0x0F) : (value >> 4)) : value;
        if (!put(v)) return;
      }
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++y;
      if (y >= rows) return;
    } else if (value == 1) {  // end of bitmap
      return;
    } else if (value == 2) {  // delta
      if (i + 2 > srcSize) return;
      x += src[i];
      y += src[i + 1];
      i += 2;
      if (y >= rows) return;
    } else {  // absolute run, padded to 16 bits
      uint64_t bytes = rle4 ? (value + 1) / 2 : value;
      if (i + bytes > srcSize) return;
      for (unsigned k = 0; k < value; ++k) {
        uint8_t v = rle4 ? ((k & 1) ? (src[i + k / 2] & 0x0F) : (src[i + k / 2] >> 4)) : src[i + k];
        if (!put(v)) return;
      }
      i += (bytes + 1) & ~uint64_t{1};
    }
  }
}

namespace {

struct Channel {
  uint32_t mask;
  int shift, width;
  uint8_t Of(uint32_t px) const {
    if (!mask) return 0;
    uint32_t v = (px & mask) >> shift;
    if (width >= 8) return static_cast<uint8_t>(v >> (width - 8));
    uint32_t max = (1u << width) - 1;
    return static_cast<uint8_t>((v * 255 + max / 2) / max);
  }
};

Channel ChannelOf(uint32_t mask) {
  if (!mask) return {0, 0, 0};
  return {mask, __builtin_ctz(mask), __builtin_popcount(mask)};
}

// The source as rows of pixels of `px` bytes (1: colour index, 3: blue,
// green, red), counted from the top.
struct Plane {
  const uint8_t* base;
  uint64_t stride;
  int height;
  bool topDown;
  const uint8_t* Row(int y) const {
    return base + stride * static_cast<uint64_t>(topDown ? y : height - 1 - y);
  }
};

// Converts the rows of a source that is not 24-bit (or an indexed source
// read as colours) into top-down 24-bit rows.
void Decode(const uint8_t* dib, const DibInfo& d, const Plane& src, uint8_t* out, uint64_t outStride) {
  const uint8_t* table = dib + d.headerSize + d.masks;
  const int step = d.core ? 3 : 4;
  Channel r{}, g{}, b{};
  if (d.bits == 16 || d.bits == 32) {
    uint32_t rm = 0x7C00, gm = 0x3E0, bm = 0x1F;
    if (d.bits == 32) rm = 0xFF0000, gm = 0xFF00, bm = 0xFF;
    if (d.compression == BI_BITFIELDS) {
      memcpy(&rm, dib + 40, 4);
      memcpy(&gm, dib + 44, 4);
      memcpy(&bm, dib + 48, 4);
    }
    r = ChannelOf(rm), g = ChannelOf(gm), b = ChannelOf(bm);
  }
  for (int y = 0; y < src.height; ++y) {
    const uint8_t* s = src.Row(y);
    uint8_t* o = out + outStride * static_cast<uint64_t>(y);
    for (int x = 0; x < d.width; ++x, o += 3) {
      if (d.bits <= 8) {
        unsigned index = d.bits == 8 ? s[x]
                         : d.bits == 4 ? ((s[x / 2] >> ((x & 1) ? 0 : 4)) & 0x0F)
                                       : ((s[x / 8] >> (7 - (x & 7))) & 1);
        if (index < d.colours) memcpy(o, table + index * step, 3);
        else o[0] = o[1] = o[2] = 0;
        continue;
      }
      uint32_t px = 0;
      if (d.bits == 16) px = static_cast<uint32_t>(s[x * 2] | (s[x * 2 + 1] << 8));
      else memcpy(&px, s + x * 4, 4);
      o[0] = b.Of(px), o[1] = g.Of(px), o[2] = r.Of(px);
    }
  }
}

// Copies pixels of PX bytes from the source plane into the bottom-up rows
// of the result, in tiles so that both sides stay in the cache.
template <int PX>
void Turn(const Plane& src, int w, int h, int turns, uint8_t* out, uint64_t outStride, int outW, int outH) {
  constexpr int Tile = 32;
  for (int ty = 0; ty < outH; ty += Tile)
    for (int tx = 0; tx < outW; tx += Tile)
      for (int oy = ty; oy < std::min(outH, ty + Tile); ++oy) {
        uint8_t* o = out + outStride * static_cast<uint64_t>(outH - 1 - oy);
        for (int ox = tx; ox < std::min(outW, tx + Tile); ++ox) {
          int sx, sy;
          switch (turns) {
            case 1: sx = w - 1 - oy, sy = ox; break;
            case 2: sx = w - 1 - ox, sy = h - 1 - oy; break;
            case 3: sx = oy, sy = h - 1 - ox; break;
            default: sx = ox, sy = oy; break;
          }
          memcpy(o + ox * PX, src.Row(sy) + sx * PX, PX);
        }
      }
}

}  // namespace
}  // namespace detail

using namespace detail;

picture pict_Rotate(picture p, int quarterTurns) {
  if (quarterTurns < 0 || quarterTurns > 3) {
    if (Validating()) {
      RaiseMayReturn(6010);
      return nullptr;
    }
    quarterTurns = 0;
  }
  DibInfo d;
  if (!CheckPicture(p, &d, 6101)) return nullptr;
  const uint8_t* dib = PictureDib(p);
  const int w = d.width, h = d.height < 0 ? -d.height : d.height;
  const bool indexed = d.bits == 8 && d.colours == 256;
  const bool odd = quarterTurns & 1;
  const int outW = odd ? h : w, outH = odd ? w : h;
  picture out = NewPictureFor(outW, outH, indexed ? 8 : 24);
  if (!out) return nullptr;
  uint8_t* odib = PictureDib(out);
  uint8_t* obits = odib + 40 + (indexed ? 1024 : 0);
  const uint64_t ostride = DibRowBytes(outW, indexed ? 8 : 24);
  if (indexed) {
    const uint8_t* table = dib + d.headerSize + d.masks;
    for (int i = 0; i < 256; ++i) memcpy(odib + 40 + i * 4, table + i * (d.core ? 3 : 4), 3);
  }

  Plane src{dib + d.bitsOffset, d.rowBytes, h, d.height < 0};
  uint8_t* expanded = nullptr;
  if (d.compression == BI_RLE8 || d.compression == BI_RLE4) {
    if (d.imageBytes > 0xFFFFFFF0u) return RaiseMayReturn(6002), nullptr;
    expanded = static_cast<uint8_t*>(K::Memory::AllocAtomicHeap(static_cast<uint32_t>(d.imageBytes) + 1));
    memset(expanded, 0, d.imageBytes);
    ExpandRle(dib + d.bitsOffset, d.dataBytes, d.compression == BI_RLE4, expanded, d.rowBytes,
              static_cast<uint64_t>(h));
    src.base = expanded;
  }
  uint8_t* decoded = nullptr;
  if (!indexed && !(d.bits == 24)) {
    uint64_t stride = static_cast<uint64_t>(w) * 3, size = stride * static_cast<uint64_t>(h);
    if (size > 0xFFFFFFF0u) return RaiseMayReturn(6002), nullptr;
    decoded = static_cast<uint8_t*>(K::Memory::AllocAtomicHeap(static_cast<uint32_t>(size) + 1));
    Decode(dib, d, src, decoded, stride);
    src = Plane{decoded, stride, h, true};
  }
  if (indexed) Turn<1>(src, w, h, quarterTurns, obits, ostride, outW, outH);
  else Turn<3>(src, w, h, quarterTurns, obits, ostride, outW, outH);
  if (expanded) K::Memory::ReleaseHeap(expanded);
  if (decoded) K::Memory::ReleaseHeap(decoded);
  return out;
}

}  // namespace QEL_KWI
