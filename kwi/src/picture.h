// Internals of pictures: the checked reading of a packed DIB and the
// builders the picture, rotation, clipboard and printing code share.
#pragma once

#include "gdi.h"

namespace QEL_KWI::detail {

// A packed DIB as read by ReadDib; every offset and size was checked against
// the block it came from.
struct DibInfo {
  uint32_t headerSize;
  bool core;             // BITMAPCOREHEADER
  int32_t width, height;  // height < 0: top-down rows
  uint16_t bits;
  uint32_t compression;
  uint32_t clrUsed;
  uint32_t colours;       // entries of the colour table
  uint64_t tableBytes;
  uint32_t masks;         // bytes of BI_BITFIELDS masks after a 40-byte header
  uint64_t bitsOffset;    // header + masks + colour table
  uint64_t rowBytes;
  uint64_t imageBytes;    // rows x row bytes (expanded, for run-length data)
  uint64_t dataBytes;     // bytes of bits in the block (run-length data: biSizeImage)
};

uint64_t DibRowBytes(int64_t width, int bits);
// False when the DIB of `size` bytes is not one the layer reads.
bool ReadDib(const uint8_t* dib, uint64_t size, DibInfo* d);
uint8_t* PictureDib(picture p);
uint32_t PictureDibSize(picture p);
// Checks a picture; raises `code` and answers false when it is bad.
bool CheckPicture(picture p, DibInfo* d, int code);
// A zeroed picture of `dibSize` DIB bytes; 6002 when it cannot exist.
picture NewPicture(uint64_t dibSize);
picture NewPictureFor(int32_t width, int32_t height, int bits);
// The bitmap as a picture (the palette selected for the conversion and
// deleted), or null.
picture BitmapToPicture(HBITMAP bmp, HPALETTE palette);
// 256 entries of the system palette, version 0x300, on the global stack.
LOGPALETTE* SystemPaletteEntries(HDC dc);
HWND CreateOffscreenWindow(int width, int height);
// Run-length data expanded into `out` (rows x rowBytes, zero-filled); stops
// at the end-of-bitmap escape, at the end of the source and before a step
// that would pass the end of `out`.
void ExpandRle(const uint8_t* src, uint64_t srcSize, bool rle4, uint8_t* out, uint64_t rowBytes,
               uint64_t rows);

}  // namespace QEL_KWI::detail
