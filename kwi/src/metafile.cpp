// Metafiles: recordings through off-screen windows (four slots of the GUI
// state), records in movable global blocks, playing, and the placeable
// ".wmf" and ".emf" files.  File contents are checked before the platform
// reads them: a truncated or foreign file gives 6352 and no record.
#include <cwchar>

#include "picture.h"

namespace QEL_KWI {
namespace detail {

constexpr uint32_t PlaceableKey = 0x9AC6CDD7u;
constexpr size_t PlaceableSize = 22;

static mf_record* Lock(metafile m) { return m ? static_cast<mf_record*>(GlobalLock(m)) : nullptr; }

static metafile NewRecord(const mf_record& r) {
  HGLOBAL m = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof r);
  if (!m) return nullptr;
  memcpy(GlobalLock(m), &r, sizeof r);
  GlobalUnlock(m);
  return m;
}

static void DeleteHandles(const mf_record& r) {
  if (r.wmf) DeleteMetaFile(r.wmf);
  if (r.emf) DeleteEnhMetaFile(r.emf);
}

static metafile RecordOrRaise(const mf_record& r) {
  if (metafile m = NewRecord(r)) return m;
  DeleteHandles(r);
  RaiseMayReturn(6002);
  return nullptr;
}

static void FromEnhancedHeader(mf_record* r) {
  ENHMETAHEADER h{};
  if (!GetEnhMetaFileHeader(r->emf, sizeof h, &h)) return;
  r->rect = {h.rclBounds.left, h.rclBounds.top, h.rclBounds.right, h.rclBounds.bottom};
  r->units = static_cast<uint16_t>((h.szlDevice.cx + h.szlDevice.cy) / 2);
}

static int Slot(LONG_PTR window) {
  for (int i = 0; StateReady() && window && i < PictureSlots; ++i)
    if (g_state[sw_mfWin + i] == window) return i;
  return -1;
}

static uint16_t Checksum(const uint8_t* header) {
  uint16_t sum = 0;
  for (int i = 0; i < 10; ++i) sum ^= static_cast<uint16_t>(header[2 * i] | header[2 * i + 1] << 8);
  return sum;
}

// Metafile bits the platform may read: a METAHEADER whose sizes lie inside.
static bool MetafileBits(const uint8_t* bits, uint64_t n) {
  if (n < sizeof(METAHEADER)) return false;
  METAHEADER h;
  memcpy(&h, bits, sizeof h);
  return (h.mtType == 1 || h.mtType == 2) && h.mtHeaderSize == sizeof(METAHEADER) / 2 &&
         uint64_t{h.mtSize} * 2 >= sizeof(METAHEADER) && uint64_t{h.mtSize} * 2 <= n;
}

static bool EndsWith(const wchar_t* name, const wchar_t* ext) {
  size_t n = wcslen(name), e = wcslen(ext);
  return n >= e && _wcsicmp(name + n - e, ext) == 0;
}

}  // namespace detail

using namespace detail;

LONG_PTR mf_Open_1(int kind) {
  int slot = -1;
  for (int i = PictureSlots - 1; StateReady() && i >= 0; --i)
    if (!g_state[sw_mfWin + i]) slot = i;
  if (slot < 0) {
    RaiseMayReturn(6359);
    return 0;
  }
  HDC dc = kind == 0 ? CreateMetaFileW(nullptr) : CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
  HWND w = dc ? CreateOffscreenWindow(100, 100) : nullptr;
  if (!w) {
    if (dc && kind == 0) DeleteMetaFile(CloseMetaFile(dc));
    else if (dc) DeleteEnhMetaFile(CloseEnhMetaFile(dc));
    RaiseMayReturn(6357);
    return 0;
  }
  g_state[sw_mfDC + slot] = reinterpret_cast<LONG_PTR>(dc);
  g_state[sw_mfWin + slot] = reinterpret_cast<LONG_PTR>(w);
  const LONG_PTR* r = XZEV_GetWinData(w)->w;
  SetBkMode(dc, r[rw_bkMode] == 1 ? TRANSPARENT : OPAQUE);
  return reinterpret_cast<LONG_PTR>(w);
}

LONG_PTR mf_Open() { return mf_Open_1(1); }

metafile mf_Close(LONG_PTR window) {
  int slot = Slot(window);
  if (slot < 0) {
    if (Validating()) RaiseMayReturn(6354);
    return nullptr;
  }
  HDC dc = reinterpret_cast<HDC>(g_state[sw_mfDC + slot]);
  g_state[sw_mfDC + slot] = g_state[sw_mfWin + slot] = 0;
  mf_record r{};
  if (GetObjectType(dc) == OBJ_METADC) {
    r.wmf = CloseMetaFile(dc);
  } else {
    r.emf = CloseEnhMetaFile(dc);
    if (r.emf) FromEnhancedHeader(&r);
  }
  DestroyWindow(Hwnd(window));
  ClearDrawingCache();
  if (!r.wmf && !r.emf) {
    RaiseMayReturn(6357);
    return nullptr;
  }
  return RecordOrRaise(r);
}

void mf_Destroy(metafile m) {
  if (mf_record* r = Lock(m)) {
    DeleteHandles(*r);
    GlobalUnlock(m);
    GlobalFree(m);
  }
}

void mf_Play_1(LONG_PTR window, metafile m, rect_struct* rect) {
  HWND w = Hwnd(window);
  if (!CheckValid(IsItemWindow(w) || Drawable(w), 6001)) return;
  mf_record* r = Lock(m);
  if (!r) return RaiseMayReturn(6351);
  mf_record rec = *r;
  GlobalUnlock(m);
  DrawScope s;
  if (!OpenContext(w, dt_none, &s)) return;
  int saved = SaveDC(s.dc);
  const LONG width = rec.rect.right - rec.rect.left, height = rec.rect.bottom - rec.rect.top;
  BOOL ok;
  if (rec.emf) {
    RECT to{0, 0, width, height};
    ok = PlayEnhMetaFile(s.dc, rec.emf, &to);
  } else {
    LONG vw = rect ? rect->right - rect->left : 0, vh = rect ? rect->bottom - rect->top : 0;
    if (vw == 0 && vh == 0) vw = width, vh = height;
    SetMapMode(s.dc, MM_ANISOTROPIC);
    SetWindowOrgEx(s.dc, rec.rect.left, rec.rect.top, nullptr);
    SetWindowExtEx(s.dc, width, height, nullptr);
    SetViewportOrgEx(s.dc, rect ? rect->left : 0, rect ? rect->top : 0, nullptr);
    SetViewportExtEx(s.dc, vw, vh, nullptr);
    ok = PlayMetaFile(s.dc, rec.wmf);
  }
  RestoreDC(s.dc, saved);
  EndDraw(&s);
  if (!ok) RaiseMayReturn(6351);
}

void mf_Play_0(LONG_PTR window, metafile m) { mf_Play_1(window, m, nullptr); }

metafile mf_Load(const u16* fileName, rect_struct** rect, int* units) {
  *rect = NewRect(0, 0, 0, 0);
  *units = 0;
  if (!fileName || !*fileName) {
    RaiseMayReturn(6007);
    return nullptr;
  }
  const bool enhanced = EndsWith(fileName, L".emf");
  if (!enhanced && !EndsWith(fileName, L".wmf")) {
    RaiseMayReturn(6356);
    return nullptr;
  }
  HANDLE f = CreateFileW(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) {
    RaiseMayReturn(6005);
    return nullptr;
  }
  LARGE_INTEGER size{};
  GetFileSizeEx(f, &size);
  mf_record r{};
  bool ok = false;
  if (size.QuadPart > 0 && size.QuadPart < 0x40000000) {
    uint32_t n = static_cast<uint32_t>(size.QuadPart);
    auto* buf = static_cast<uint8_t*>(K::Memory::AllocAtomicHeap(n));
    DWORD got = 0;
    if (ReadFile(f, buf, n, &got, nullptr) && got == n) {
      if (enhanced) {
        ENHMETAHEADER h;
        if (n >= sizeof h) memcpy(&h, buf, sizeof h);
        if (n >= sizeof h && h.iType == EMR_HEADER && h.dSignature == ENHMETA_SIGNATURE && h.nBytes <= n &&
            h.nBytes >= sizeof h && (r.emf = SetEnhMetaFileBits(h.nBytes, buf))) {
          FromEnhancedHeader(&r);
          ok = true;
        }
      } else {
        uint32_t key = 0;
        if (n >= 4) memcpy(&key, buf, 4);
        const uint8_t* bits = buf;
        uint64_t bitsSize = n;
        r.rect = {0, 0, 100, 100};
        if (key == PlaceableKey && n >= PlaceableSize) {
          auto word = [&](int i) { return static_cast<int16_t>(buf[6 + 2 * i] | buf[7 + 2 * i] << 8); };
          r.rect = {word(0), word(1), word(2), word(3)};
          r.units = static_cast<uint16_t>(buf[14] | buf[15] << 8);
          bits += PlaceableSize;
          bitsSize -= PlaceableSize;
        }
        if (MetafileBits(bits, bitsSize) && (r.wmf = SetMetaFileBitsEx(static_cast<UINT>(bitsSize), bits)))
          ok = true;
      }
    }
    K::Memory::ReleaseHeap(buf);
  }
  CloseHandle(f);
  if (!ok) {
    RaiseMayReturn(6352);
    return nullptr;
  }
  **rect = r.rect;
  *units = r.units;
  return RecordOrRaise(r);
}

void mf_Save(metafile m, rect_struct* rect, const u16* fileName) {
  mf_record* p = Lock(m);
  if (!p) return RaiseMayReturn(6002);
  mf_record r = *p;
  GlobalUnlock(m);
  if (!fileName || !*fileName) return RaiseMayReturn(6007);
  if (r.emf) {
    HENHMETAFILE copy = CopyEnhMetaFileW(r.emf, fileName);
    if (!copy) return RaiseMayReturn(6006);
    DeleteEnhMetaFile(copy);
    return;
  }
  UINT n = GetMetaFileBitsEx(r.wmf, 0, nullptr);
  if (!n) return RaiseMayReturn(6002);
  uint8_t* mark = K::Memory::MarkGStack();
  uint8_t* bits = K::Memory::AllocGStack(static_cast<uint32_t>(n + PlaceableSize));
  memset(bits, 0, PlaceableSize);
  memcpy(bits, &PlaceableKey, 4);
  const int16_t box[4] = {static_cast<int16_t>(rect->left), static_cast<int16_t>(rect->top),
                          static_cast<int16_t>(rect->right), static_cast<int16_t>(rect->bottom)};
  memcpy(bits + 6, box, 8);
  uint16_t inch = 0;
  if (TaskWindow()) {
    HDC dc = GetDC(nullptr);
    inch = static_cast<uint16_t>(GetDeviceCaps(dc, LOGPIXELSX));
    ReleaseDC(nullptr, dc);
  }
  memcpy(bits + 14, &inch, 2);
  uint16_t sum = Checksum(bits);
  memcpy(bits + 20, &sum, 2);
  GetMetaFileBitsEx(r.wmf, n, bits + PlaceableSize);
  HANDLE f = CreateFileW(fileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD put = 0;
  bool ok = f != INVALID_HANDLE_VALUE && WriteFile(f, bits, n + PlaceableSize, &put, nullptr) &&
            put == n + PlaceableSize;
  if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
  K::Memory::ReleaseGStack(mark);
  if (!ok) RaiseMayReturn(6006);
}

}  // namespace QEL_KWI
