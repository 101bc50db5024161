// Pictures: a u32 size word (DIB bytes + 4) and a packed DIB in an atomic
// block of the collected heap; the handle is the block's address, the
// language binary the address 4 bytes on.  Every picture that enters from
// outside (files, binaries, resources) is checked before a byte of it is
// read: known header, planes 1, known depth, width > 0, height not 0, and
// colour table and bits inside the block, summed in 64 bits (run-length
// bits: 0 < biSizeImage <= the bytes after the table).  Open pictures
// are off-screen drawing windows whose memory contexts sit in four slots of
// the GUI state.
#include <climits>

#include "gdi.h"
#include "picture.h"

namespace QEL_KWI {
namespace detail {

static int32_t I32(const uint8_t* p) { return static_cast<int32_t>(ReadU32(p)); }

uint64_t DibRowBytes(int64_t width, int bits) { return ((static_cast<uint64_t>(width) * bits + 31) / 32) * 4; }

bool ReadDib(const uint8_t* dib, uint64_t size, DibInfo* d) {
  *d = DibInfo{};
  if (!dib || size < 12) return false;
  d->headerSize = ReadU32(dib);
  uint16_t planes;
  if (d->headerSize == sizeof(BITMAPCOREHEADER)) {
    d->core = true;
    d->width = ReadU16(dib + 4);
    d->height = ReadU16(dib + 6);
    planes = ReadU16(dib + 8);
    d->bits = ReadU16(dib + 10);
  } else if (d->headerSize == 40 || d->headerSize == 52 || d->headerSize == 56 ||
             d->headerSize == sizeof(BITMAPV4HEADER) || d->headerSize == sizeof(BITMAPV5HEADER)) {
    if (size < d->headerSize) return false;
    d->width = I32(dib + 4);
    d->height = I32(dib + 8);
    planes = ReadU16(dib + 12);
    d->bits = ReadU16(dib + 14);
    d->compression = ReadU32(dib + 16);
    d->clrUsed = ReadU32(dib + 32);
  } else {
    return false;
  }
  if (planes != 1 || d->width <= 0 || d->height == 0) return false;
  switch (d->bits) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return false;
  }
  switch (d->compression) {
    case BI_RGB: break;
    case BI_RLE8: if (d->bits != 8 || d->height < 0) return false; break;
    case BI_RLE4: if (d->bits != 4 || d->height < 0) return false; break;
    case BI_BITFIELDS: if (d->bits != 16 && d->bits != 32) return false; break;
    default: return false;
  }
  d->colours = d->clrUsed ? d->clrUsed : d->bits <= 8 ? (1u << d->bits) : 0;
  d->tableBytes = static_cast<uint64_t>(d->colours) * (d->core ? 3 : 4);
  d->masks = d->headerSize == 40 && d->compression == BI_BITFIELDS ? 12 : 0;
  d->bitsOffset = d->headerSize + d->masks + d->tableBytes;
  if (d->bitsOffset > size) return false;
  d->rowBytes = DibRowBytes(d->width, d->bits);
  uint64_t rows = static_cast<uint64_t>(d->height < 0 ? -static_cast<int64_t>(d->height) : d->height);
  if (__builtin_mul_overflow(d->rowBytes, rows, &d->imageBytes)) return false;
  if (d->compression == BI_RLE8 || d->compression == BI_RLE4) {
    // GDI reads biSizeImage bytes of run-length data: they must be there.
    d->dataBytes = ReadU32(dib + 20);
    return d->dataBytes > 0 && d->dataBytes <= size - d->bitsOffset;
  }
  d->dataBytes = d->imageBytes;
  return d->imageBytes <= size - d->bitsOffset;
}

uint8_t* PictureDib(picture p) { return p + 4; }
uint32_t PictureDibSize(picture p) { return BinaryLength(p); }

bool CheckPicture(picture p, DibInfo* d, int code) {
  if (p && ReadDib(PictureDib(p), PictureDibSize(p), d)) return true;
  RaiseMayReturn(code);
  return false;
}

picture NewPicture(uint64_t dibSize) {
  if (dibSize > 0xFFFFFFFFull - 8) {
    RaiseMayReturn(6002);
    return nullptr;
  }
  return static_cast<picture>(NewBinary(static_cast<uint32_t>(dibSize)));
}

// A new picture with an info header for width x height at `bits` (a table of
// 2^bits entries for depths up to 8), bits not filled.
picture NewPictureFor(int32_t width, int32_t height, int bits) {
  uint32_t colours = bits <= 8 ? 1u << bits : 0;
  uint64_t image = DibRowBytes(width, bits) * static_cast<uint64_t>(height < 0 ? -int64_t{height} : height);
  picture p = NewPicture(40 + uint64_t{colours} * 4 + image);
  if (!p) return nullptr;
  BITMAPINFOHEADER h{};
  h.biSize = 40;
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = static_cast<WORD>(bits);
  h.biCompression = BI_RGB;
  h.biSizeImage = static_cast<DWORD>(image);
  memcpy(PictureDib(p), &h, sizeof h);
  return p;
}

// The depth of a new picture: 1, 4, 8 or 24 bits (every depth above 8 gives 24).
static int HeaderDepth(int bits) {
  for (int d : {1, 4, 8})
    if (bits <= d) return d;
  return 24;
}

picture BitmapToPicture(HBITMAP bmp, HPALETTE palette) {
  BITMAP bm;
  if (!bmp || !GetObjectW(bmp, sizeof bm, &bm) || bm.bmWidth <= 0 || bm.bmHeight <= 0) return nullptr;
  picture p = NewPictureFor(bm.bmWidth, bm.bmHeight, HeaderDepth(bm.bmPlanes * bm.bmBitsPixel));
  if (!p) return nullptr;
  DibInfo d;
  ReadDib(PictureDib(p), PictureDibSize(p), &d);
  // A palette is realized on the screen; plain colours need only a memory
  // context, far cheaper to get than the screen's.
  HDC dc = palette ? GetDC(nullptr) : CreateCompatibleDC(nullptr);
  HPALETTE old = nullptr;
  if (palette) {
    old = SelectPalette(dc, palette, FALSE);
    RealizePalette(dc);
  }
  uint8_t* dib = PictureDib(p);
  int lines = GetDIBits(dc, bmp, 0, static_cast<UINT>(bm.bmHeight), dib + d.bitsOffset,
                        reinterpret_cast<BITMAPINFO*>(dib), DIB_RGB_COLORS);
  if (palette) {
    SelectPalette(dc, old, FALSE);
    DeleteObject(palette);
    ReleaseDC(nullptr, dc);
  } else {
    DeleteDC(dc);
  }
  return lines ? p : nullptr;
}

LOGPALETTE* SystemPaletteEntries(HDC dc) {
  auto* lp = reinterpret_cast<LOGPALETTE*>(
      K::Memory::AllocGStack(sizeof(LOGPALETTE) + 255 * sizeof(PALETTEENTRY)));
  lp->palVersion = 0x300;
  lp->palNumEntries = 256;
  memset(lp->palPalEntry, 0, 256 * sizeof(PALETTEENTRY));
  GetSystemPaletteEntries(dc, 0, 256, lp->palPalEntry);
  return lp;
}

// A palette from the picture's colour table (RGB order, flags 0), or null.
static HPALETTE PicturePalette(const uint8_t* dib, const DibInfo& d) {
  uint32_t n = d.colours > 256 ? 256 : d.colours;
  if (n == 0) return nullptr;
  auto* lp = reinterpret_cast<LOGPALETTE*>(
      K::Memory::AllocGStack(sizeof(LOGPALETTE) + 255 * sizeof(PALETTEENTRY)));
  lp->palVersion = 0x300;
  lp->palNumEntries = static_cast<WORD>(n);
  const uint8_t* t = dib + d.headerSize + d.masks;
  int step = d.core ? 3 : 4;
  for (uint32_t i = 0; i < n; ++i) lp->palPalEntry[i] = {t[i * step + 2], t[i * step + 1], t[i * step], 0};
  return CreatePalette(lp);
}

bool IsPictureWindow(HWND w) {
  if (!w || !StateReady()) return false;
  for (int i = 0; i < PictureSlots; ++i)
    if (g_state[sw_pictWin + i] == reinterpret_cast<LONG_PTR>(w)) return true;
  return false;
}

// Handler of the off-screen drawing windows: every event fails, so that the
// default processing applies.
static LONG_PTR OffscreenHandler(LONG_PTR, event_struct*) { K::Fail(); }

HWND CreateOffscreenWindow(int width, int height) {
  CreationRecord cr{};
  cr.function = reinterpret_cast<void*>(&OffscreenHandler);
  cr.type = wt_child;
  cr.noMenu = 1;
  cr.style = WS_POPUP | WS_DISABLED;
  return CreateWindowExW(0, L"ZevChild32", L"", WS_POPUP | WS_DISABLED, 0, 0, width, height, nullptr,
                         nullptr, g_app, &cr);
}

static int ScreenDepth() {
  HDC dc = GetDC(nullptr);
  int bits = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES);
  ReleaseDC(nullptr, dc);
  return bits;
}

static DWORD RasterOp(int mode) {
  static const DWORD ops[] = {BLACKNESS,  WHITENESS, DSTINVERT, MERGECOPY, MERGEPAINT,
                              NOTSRCCOPY, NOTSRCERASE, PATCOPY, PATINVERT, PATPAINT,
                              SRCAND,     SRCCOPY,   SRCERASE,  SRCINVERT, SRCPAINT};
  return mode >= 1 && mode <= 15 ? ops[mode - 1] : 0;
}

static void DrawPicture(LONG_PTR window, picture p, RECT dest, RECT src, int mode, int usePalette) {
  HWND w = Hwnd(window);
  if (!CheckValid(IsItemWindow(w) || Drawable(w), 6001)) return;
  DibInfo d;
  if (!CheckPicture(p, &d, 6101)) return;
  DrawScope s;
  uint8_t* mark = K::Memory::MarkGStack();
  if (OpenContext(w, dt_brush, &s)) {
    const uint8_t* dib = PictureDib(p);
    HPALETTE pal = usePalette ? PicturePalette(dib, d) : nullptr, oldPal = nullptr;
    if (pal) {
      oldPal = SelectPalette(s.dc, pal, FALSE);
      RealizePalette(s.dc);
    }
    // On the printing window the picture is also a bitmap of the printer,
    // held by a memory context for the duration of the copy.
    const bool printing = StateReady() && w == reinterpret_cast<HWND>(g_state[sw_printWin]);
    HDC mem = printing ? CreateCompatibleDC(s.dc) : nullptr;
    HBITMAP ddb = nullptr;
    HGDIOBJ before = nullptr;
    if (mem) {
      ddb = CreateDIBitmap(s.dc, reinterpret_cast<const BITMAPINFOHEADER*>(dib), CBM_INIT, dib + d.bitsOffset,
                           reinterpret_cast<const BITMAPINFO*>(dib), DIB_RGB_COLORS);
      if (ddb) before = SelectObject(mem, ddb);
    }
    if (!printing || mem) {
      SetStretchBltMode(s.dc, COLORONCOLOR);
      StretchDIBits(s.dc, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top, src.left,
                    src.top, src.right - src.left, src.bottom - src.top, dib + d.bitsOffset,
                    reinterpret_cast<const BITMAPINFO*>(dib), DIB_RGB_COLORS, RasterOp(mode));
    }
    if (before) SelectObject(mem, before);
    if (ddb) DeleteObject(ddb);
    if (mem) DeleteDC(mem);
    if (pal) {
      SelectPalette(s.dc, oldPal, FALSE);
      DeleteObject(pal);
    }
    EndDraw(&s);
    if (printing && !mem) {
      K::Memory::ReleaseGStack(mark);
      return RaiseMayReturn(6103);
    }
  }
  K::Memory::ReleaseGStack(mark);
}

// Reads all of an open file; null when it is larger than a picture may be.
static uint8_t* ReadAll(HANDLE f, uint64_t* size) {
  LARGE_INTEGER n;
  if (!GetFileSizeEx(f, &n) || n.QuadPart > 0x7FFFFFF0) return nullptr;
  *size = static_cast<uint64_t>(n.QuadPart);
  auto* buf = static_cast<uint8_t*>(K::Memory::AllocAtomicHeap(static_cast<uint32_t>(*size) + 1));
  uint64_t done = 0;
  while (done < *size) {
    DWORD got = 0;
    DWORD want = static_cast<DWORD>(std::min<uint64_t>(*size - done, 1u << 24));
    if (!ReadFile(f, buf + done, want, &got, nullptr) || got == 0) break;
    done += got;
  }
  *size = done;
  return buf;
}

// The DIB inside a bitmap or icon file, or null.
static picture PictureFromFile(const uint8_t* file, uint64_t size) {
  if (size < 14) return nullptr;
  uint64_t start = 0, length = 0;
  int height = -1;
  if (file[0] == 'B' && file[1] == 'M') {
    start = 14;
    length = size - 14;
  } else if (size >= 22 && ReadU16(file) == 0 && ReadU16(file + 2) == 1 && ReadU16(file + 4) >= 1) {
    // The first image of the icon directory, where entry and image lie inside the file.
    uint64_t bytes = ReadU32(file + 6 + 8), offset = ReadU32(file + 6 + 12);
    if (offset < 22 || offset > size || bytes > size - offset) return nullptr;
    start = offset;
    length = bytes;
    height = file[7];
  } else {
    return nullptr;
  }
  picture p = NewPicture(length);
  if (!p) return nullptr;
  memcpy(PictureDib(p), file + start, static_cast<size_t>(length));
  if (height >= 0 && length >= 40 && ReadU32(PictureDib(p)) >= 40) PictureDib(p)[8] = static_cast<uint8_t>(height);
  DibInfo d;
  return ReadDib(PictureDib(p), length, &d) ? p : nullptr;
}

static picture Converted(HBITMAP bmp) {
  picture p = BitmapToPicture(bmp, nullptr);
  if (bmp) DeleteObject(bmp);
  if (!p) RaiseMayReturn(6100);
  return p;
}

}  // namespace detail

using namespace detail;

LONG_PTR pict_Open(rect_struct* r) {
  int width = r->right - r->left, height = r->bottom - r->top;
  if (r->right <= r->left || r->bottom <= r->top || width <= 0 || height <= 0) {
    RaiseMayReturn(6002);
    return 0;
  }
  if (!StateReady()) {
    RaiseMayReturn(6009);
    return 0;
  }
  int slot = -1;
  for (int i = PictureSlots - 1; i >= 0; --i)
    if (!g_state[sw_pictWin + i]) slot = i;
  if (slot < 0) {
    RaiseMayReturn(6104);
    return 0;
  }
  HWND w = CreateOffscreenWindow(width, height);
  if (!w) {
    RaiseMayReturn(6002);
    return 0;
  }
  HDC wdc = GetDC(w);
  HDC mem = CreateCompatibleDC(wdc);
  if (!mem) {
    ReleaseDC(w, wdc);
    DestroyWindow(w);
    RaiseMayReturn(6103);
    return 0;
  }
  BITMAPINFOHEADER h{sizeof h, width, height, 1, static_cast<WORD>(ScreenDepth()), BI_RGB, 0, 0, 0, 0, 0};
  HBITMAP dib = CreateDIBitmap(wdc, &h, 0, nullptr, nullptr, DIB_RGB_COLORS);
  HGDIOBJ original = dib ? SelectObject(mem, dib) : nullptr;
  HBITMAP bmp = dib ? CreateCompatibleBitmap(mem, width, height) : nullptr;
  ReleaseDC(w, wdc);
  if (!bmp) {
    if (original) SelectObject(mem, original);
    if (dib) DeleteObject(dib);
    DeleteDC(mem);
    DestroyWindow(w);
    RaiseMayReturn(6002);
    return 0;
  }
  SelectObject(mem, bmp);
  DeleteObject(dib);
  g_state[sw_pictDC + slot] = reinterpret_cast<LONG_PTR>(mem);
  g_state[sw_pictWin + slot] = reinterpret_cast<LONG_PTR>(w);
  LONG_PTR* rec = XZEV_GetWinData(w)->w;
  rec[rw_pictBitmap] = reinterpret_cast<LONG_PTR>(bmp);
  rec[rw_pictOldBitmap] = reinterpret_cast<LONG_PTR>(original);
  SetBkMode(mem, rec[rw_bkMode] == 1 ? TRANSPARENT : OPAQUE);
  SetBkColor(mem, static_cast<COLORREF>(rec[rw_bkColor]));
  SetTextColor(mem, static_cast<COLORREF>(rec[rw_textColor]));
  SetROP2(mem, static_cast<int>(rec[rw_rop] + 1));
  brush_struct white{2, 0xFFFFFF};
  win_SetBrush(reinterpret_cast<LONG_PTR>(w), &white);
  // The background without an outline: a fresh picture is white all over.
  HGDIOBJ pen = SelectObject(mem, GetStockObject(NULL_PEN));
  Rectangle(mem, 0, 0, width + 1, height + 1);
  SelectObject(mem, pen);
  return reinterpret_cast<LONG_PTR>(w);
}

picture pict_Close(LONG_PTR window) {
  int slot = -1;
  for (int i = 0; StateReady() && i < PictureSlots; ++i)
    if (window && g_state[sw_pictWin + i] == window) slot = i;
  if (slot < 0) {
    RaiseMayReturn(6102);
    return nullptr;
  }
  HWND w = Hwnd(window);
  HDC mem = reinterpret_cast<HDC>(g_state[sw_pictDC + slot]);
  LONG_PTR* rec = XZEV_GetWinData(w)->w;
  HBITMAP bmp = reinterpret_cast<HBITMAP>(rec[rw_pictBitmap]);
  SelectObject(mem, reinterpret_cast<HGDIOBJ>(rec[rw_pictOldBitmap]));
  DeleteDC(mem);
  g_state[sw_pictDC + slot] = g_state[sw_pictWin + slot] = 0;
  rec[rw_pictBitmap] = rec[rw_pictOldBitmap] = 0;
  picture p = BitmapToPicture(bmp, nullptr);
  DeleteObject(bmp);
  DestroyWindow(w);
  ClearDrawingCache();
  if (!p) RaiseMayReturn(6100);
  return p;
}

void pict_Destroy(picture) {}

uint8_t* pict_ToBin(picture p) { return p ? p + 4 : nullptr; }

picture pict_FromBin(uint8_t* binary) {
  DibInfo d;
  picture p = binary ? binary - 4 : nullptr;
  return CheckPicture(p, &d, 6101) ? p : nullptr;
}

void pict_GetSize(picture p, int* width, int* height, int* size) {
  *width = *height = *size = 0;
  DibInfo d;
  if (!CheckPicture(p, &d, 6101)) return;
  *width = d.width;
  *height = d.height;
  *size = static_cast<int>(PictureDibSize(p));
}

picture pict_Load(const u16* fileName) {
  HANDLE f = CreateFileW(fileName ? fileName : L"", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) {
    RaiseMayReturn(6005);
    return nullptr;
  }
  uint64_t size = 0;
  uint8_t* file = ReadAll(f, &size);
  CloseHandle(f);
  picture p = file ? PictureFromFile(file, size) : nullptr;
  if (file) K::Memory::ReleaseHeap(file);
  if (!p) RaiseMayReturn(6101);
  return p;
}

picture pict_Load(const u16* fileName, int width, int height, unsigned flags) {
  return Converted(static_cast<HBITMAP>(
      LoadImageW(g_app, fileName, IMAGE_BITMAP, width, height, flags | LR_LOADFROMFILE)));
}

void pict_Save(picture p, const u16* fileName) {
  DibInfo d;
  if (!CheckPicture(p, &d, 6101)) return;
  HANDLE f = CreateFileW(fileName ? fileName : L"", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return RaiseMayReturn(6006);
  const uint32_t dibSize = PictureDibSize(p);
  uint8_t header[14] = {'B', 'M'};
  uint32_t fileSize = dibSize + 14, offset = static_cast<uint32_t>(d.bitsOffset) + 14;
  memcpy(header + 2, &fileSize, 4);
  memcpy(header + 10, &offset, 4);
  DWORD put = 0, put2 = 0;
  bool ok = WriteFile(f, header, 14, &put, nullptr) && put == 14 &&
            WriteFile(f, PictureDib(p), dibSize, &put2, nullptr) && put2 == dibSize;
  CloseHandle(f);
  if (!ok) RaiseMayReturn(6006);
}

picture pict_GetFromRes(HINSTANCE module, unsigned id) {
  HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(2));
  HGLOBAL g = res ? LoadResource(module, res) : nullptr;
  const void* data = g ? LockResource(g) : nullptr;
  if (!data) {
    RaiseMayReturn(6054);
    return nullptr;
  }
  DWORD size = SizeofResource(module, res);
  picture p = NewPicture(size);
  if (!p) return nullptr;
  memcpy(PictureDib(p), data, size);
  DibInfo d;
  return CheckPicture(p, &d, 6101) ? p : nullptr;
}

picture pict_GetFromRes(unsigned id) { return pict_GetFromRes(g_app, id); }

picture pict_GetFromRes(HINSTANCE module, unsigned id, int width, int height, unsigned flags) {
  return Converted(static_cast<HBITMAP>(
      LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_BITMAP, width, height, flags)));
}

picture pict_GetFromRes(unsigned id, int width, int height, unsigned flags) {
  return pict_GetFromRes(g_app, id, width, height, flags);
}

// A bitmap of the given size at the screen depth for a memory context.  Above
// 8 bits a DIB section: its pixels stay in this process, where a device
// bitmap of a display context costs a round trip to the display per bitmap
// (several hundred microseconds under X).
static HBITMAP ScreenDepthDib(HDC screen, int width, int height, int depth) {
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, static_cast<WORD>(depth), BI_RGB, 0, 0, 0, 0, 0};
  if (depth <= 8) return CreateDIBitmap(screen, &info.bmiHeader, 0, nullptr, nullptr, DIB_RGB_COLORS);
  void* bits = nullptr;
  return CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
}

picture pict_GetFromWin(LONG_PTR window, rect_struct* r) {
  HWND w = Hwnd(window);
  if (!CheckValid(Drawable(w) && !IsPictureWindow(w), 6001)) return nullptr;
  int width = r->right - r->left, height = r->bottom - r->top;
  bool release = false;
  HDC src = DrawingContext(w, &release);
  if (!src) return nullptr;
  HDC mem = CreateCompatibleDC(src);
  if (!mem) {
    if (release) ReleaseDC(w, src);
    RaiseMayReturn(6103);
    return nullptr;
  }
  // A window's context has the screen's depth: no second context is needed.
  const int depth = GetDeviceCaps(src, BITSPIXEL) * GetDeviceCaps(src, PLANES);
  HBITMAP dib = width > 0 && height > 0 ? ScreenDepthDib(src, width, height, depth) : nullptr;
  HGDIOBJ original = dib ? SelectObject(mem, dib) : nullptr;
  HBITMAP bmp = dib ? CreateCompatibleBitmap(mem, width, height) : nullptr;
  picture p = nullptr;
  if (bmp) {
    SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, width, height, src, r->left, r->top, SRCCOPY);
    SelectObject(mem, original);
    HPALETTE pal = nullptr;
    if (depth == 8) {
      uint8_t* mark = K::Memory::MarkGStack();
      pal = CreatePalette(SystemPaletteEntries(src));
      K::Memory::ReleaseGStack(mark);
    }
    p = BitmapToPicture(bmp, pal);
    DeleteObject(bmp);
  } else if (original) {
    SelectObject(mem, original);
  }
  if (dib) DeleteObject(dib);
  DeleteDC(mem);
  if (release) ReleaseDC(w, src);
  if (!dib || !bmp) RaiseMayReturn(6002);
  else if (!p) RaiseMayReturn(6100);
  return p;
}

HBITMAP pict_ToBmpHandle(picture p) {
  DibInfo d;
  if (!CheckPicture(p, &d, 6101)) return nullptr;
  const uint8_t* dib = PictureDib(p);
  HDC dc = GetDC(nullptr);
  HBITMAP b = CreateDIBitmap(dc, reinterpret_cast<const BITMAPINFOHEADER*>(dib), CBM_INIT,
                             dib + d.bitsOffset, reinterpret_cast<const BITMAPINFO*>(dib), DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  return b;
}

void pict_DrawEx_0(LONG_PTR window, picture p, pnt_struct* at, int mode, int usePalette) {
  DibInfo d;
  if (!CheckPicture(p, &d, 6101)) return;
  int h = d.height < 0 ? -d.height : d.height;
  DrawPicture(window, p, RECT{at->x, at->y, at->x + d.width, at->y + h}, RECT{0, 0, d.width, h}, mode,
              usePalette);
}

void pict_DrawEx_1(LONG_PTR window, picture p, rect_struct* dest, rect_struct* src, int mode,
                   int usePalette) {
  DibInfo d;
  if (!CheckPicture(p, &d, 6101)) return;
  int h = d.height < 0 ? -d.height : d.height;
  DrawPicture(window, p, RECT{dest->left, dest->top, dest->right, dest->bottom},
              RECT{src->left, h - src->bottom, src->right, h - src->top}, mode, usePalette);
}

}  // namespace QEL_KWI
