// The clipboard: text, HTML, registered binary formats, pictures and
// metafiles.  Every call opens the clipboard with the layer's hidden owner
// window and closes it on every path; a read runs its copy under a trap, so
// that an allocation that raises still finds the data unlocked and the
// clipboard closed before the error goes on.  A clipboard that cannot be
// opened raises 6450 (an HTML write then does nothing).  Data of other
// programs is read only within its global block (GlobalSize): texts without
// terminator stop at the block's end, size words and DIB headers are checked.
#include <cstdio>
#include <cstring>

#include "picture.h"

namespace QEL_KWI {
namespace detail {

constexpr UINT ClipboardMemory = GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_SHARE;  // 0x2042

// The owner window: a message-only window on a thread of its own that does
// nothing but pump messages, made on first use.  Other programs that empty
// the clipboard send its owner WM_DESTROYCLIPBOARD and wait for the answer;
// this thread answers at once, whatever the caller's thread is doing.  A
// window that stays also keeps the data this process put readable without a
// trip through the system (a fresh window per call costs more than the copy
// of a megabyte).  Null when the thread or its window cannot be made.
static DWORD WINAPI OwnerThread(void* ready) {
  HWND w = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  *static_cast<HWND*>(ready) = w;
  if (!w) return 0;
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) DispatchMessageW(&m);
  return 0;
}

static HWND SharedOwner() {
  static HWND owner = [] {
    static volatile HWND made = nullptr;
    DWORD id;
    HANDLE t = CreateThread(nullptr, 64 * 1024, OwnerThread, const_cast<HWND*>(&made),
                            STACK_SIZE_PARAM_IS_A_RESERVATION, &id);
    if (!t) return static_cast<HWND>(nullptr);
    // The thread has made its window (or failed) once it waits for messages
    // or has ended.
    for (int i = 0; i < 500 && !made && WaitForSingleObject(t, 10) == WAIT_TIMEOUT;) ++i;
    CloseHandle(t);
    return static_cast<HWND>(made);
  }();
  return owner;
}

// The locked data of a format and its size; null when absent.
struct ClipData {
  HANDLE handle;
  const uint8_t* data;
  size_t size;
};

// An open clipboard; Close() on every path.  Without the shared owner a
// hidden window is made for the call.  At most one format's data is locked
// at a time; Close unlocks it.
struct Clip {
  HWND owner = nullptr;
  bool own = false;
  bool open = false;
  HANDLE volatile locked = nullptr;  // read after a trap resumes
  bool Open() {
    owner = SharedOwner();
    if (!owner) {
      owner = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 0, 0, GetDesktopWindow(),
                              reinterpret_cast<HMENU>(10), g_app, nullptr);
      own = owner != nullptr;
    }
    open = OpenClipboard(owner) != 0;
    return open;
  }
  ClipData Lock(UINT format) {
    Unlock();
    ClipData d{GetClipboardData(format), nullptr, 0};
    if (d.handle) {
      d.data = static_cast<const uint8_t*>(GlobalLock(d.handle));
      if (d.data) locked = d.handle;
      d.size = d.data ? GlobalSize(d.handle) : 0;
    }
    return d;
  }
  void Unlock() {
    if (locked) GlobalUnlock(locked);
    locked = nullptr;
  }
  void Close() {
    Unlock();
    if (open) CloseClipboard();
    if (own) DestroyWindow(owner);
    open = own = false;
    owner = nullptr;
  }
};

// A clipboard block holding `n` bytes copied from `data` (zeros when null).
static HGLOBAL Block(const void* data, size_t n) {
  HGLOBAL g = GlobalAlloc(ClipboardMemory, n ? n : 1);
  if (!g) return nullptr;
  void* p = GlobalLock(g);
  if (!p) {
    GlobalFree(g);
    return nullptr;
  }
  if (data) memcpy(p, data, n);
  GlobalUnlock(g);
  return g;
}

// Empties the clipboard and puts the blocks; the clipboard takes the blocks
// it accepted, the others are freed.  Raises 6002 or 6450 after closing; a
// clipboard that cannot be opened is no error when `quietWhenBusy`.
static void PutBlocks(const UINT* formats, HGLOBAL* blocks, int n, bool quietWhenBusy = false) {
  for (int i = 0; i < n; ++i)
    if (!blocks[i]) {
      for (int k = 0; k < n; ++k)
        if (blocks[k]) GlobalFree(blocks[k]);
      return RaiseMayReturn(6002);
    }
  Clip c;
  const bool opened = c.Open();
  bool ok = opened && EmptyClipboard();
  for (int i = 0; i < n; ++i) {
    if (ok && SetClipboardData(formats[i], blocks[i])) continue;
    ok = false;
    GlobalFree(blocks[i]);
  }
  c.Close();
  if (!ok && (opened || !quietWhenBusy)) RaiseMayReturn(6450);
}

// Runs read(clip) with the clipboard open.  The data is unlocked and the
// clipboard closed on every way out; an error raised inside (a full global
// stack, an exhausted heap) goes on after that.  A clipboard that cannot be
// opened raises 6450 and gives false.
template <class Read>
static bool ReadClipboard(Read&& read) {
  Clip c;
  if (!c.Open()) {
    c.Close();
    RaiseMayReturn(6450);
    return false;
  }
  uint32_t code = K::RunTrapped([&] { read(c); });
  c.Close();
  if (code) K::Errors::Qel_ErrorExit(code);
  return true;
}

static bool Available(UINT format) { return IsClipboardFormatAvailable(format) != 0; }

static UINT Registered(const wchar_t* name) { return RegisterClipboardFormatW(name ? name : L""); }

// The clipboard's text as a new string on the global stack: the Unicode
// text, else the ANSI text converted; null when there is neither or the
// clipboard could not be opened (6450).
static wchar_t* ClipboardText() {
  wchar_t* out = nullptr;
  ReadClipboard([&](Clip& c) {
    if (ClipData d = c.Lock(CF_UNICODETEXT); d.data) {
      auto* s = reinterpret_cast<const wchar_t*>(d.data);
      size_t n = wcsnlen(s, d.size / sizeof(wchar_t));
      if (n < 0x7FFFFFF0) {
        out = K::Memory::AllocGStackString(static_cast<uint32_t>(n) + 1);
        memcpy(out, s, n * sizeof(wchar_t));
        out[n] = 0;
      }
    } else if (ClipData a = c.Lock(CF_TEXT); a.data) {
      auto* s = reinterpret_cast<const char*>(a.data);
      int n = static_cast<int>(std::min<size_t>(strnlen(s, a.size), 0x3FFFFFF0));
      int w = n ? MultiByteToWideChar(CP_ACP, 0, s, n, nullptr, 0) : 0;
      out = K::Memory::AllocGStackString(static_cast<uint32_t>(w) + 1);
      if (w) MultiByteToWideChar(CP_ACP, 0, s, n, out, w);
      out[w] = 0;
    }
  });
  return out;
}

static size_t Find(const char* text, size_t n, const char* mark) {
  size_t m = strlen(mark);
  for (size_t i = 0; i + m <= n; ++i)
    if (memcmp(text + i, mark, m) == 0) return i;
  return SIZE_MAX;
}

// The "HTML Format" block: a header of four byte offsets, then the HTML in
// UTF-8.  Offsets are six digits, or as many as a larger number needs;
// StartHTML counts the header as it comes out.  Null when out of memory.
HGLOBAL HtmlClipboardBlock(const wchar_t* html) {
  uint8_t* mark = K::Memory::MarkGStack();
  int n = html && *html ? WideCharToMultiByte(CP_UTF8, 0, html, -1, nullptr, 0, nullptr, nullptr) : 1;
  if (n <= 0) n = 1;
  char* body = reinterpret_cast<char*>(K::Memory::AllocGStack(static_cast<uint32_t>(n)));
  body[0] = 0;
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, html, -1, body, n, nullptr, nullptr);
  const size_t length = static_cast<size_t>(n) - 1;
  const char startMark[] = "<!--StartFragment-->";
  size_t start = Find(body, length, startMark), end = Find(body, length, "<!--EndFragment-->");
  start = start == SIZE_MAX ? length : start + sizeof startMark - 1;
  if (end == SIZE_MAX) end = length;
  char header[200];
  size_t headerSize = 0;
  for (;;) {
    int h = snprintf(header, sizeof header,
                     "Version:1.0\rStartHTML:%06zu\rEndHTML:%06zu\rStartFragment:%06zu\rEndFragment:%06zu",
                     headerSize, headerSize + length, headerSize + start, headerSize + end);
    if (static_cast<size_t>(h) == headerSize) break;
    headerSize = static_cast<size_t>(h);
  }
  HGLOBAL g = Block(nullptr, headerSize + length + 1);
  if (g) {
    auto* p = static_cast<char*>(GlobalLock(g));
    memcpy(p, header, headerSize);
    memcpy(p + headerSize, body, length + 1);
    GlobalUnlock(g);
  }
  K::Memory::ReleaseGStack(mark);
  return g;
}

}  // namespace detail

using namespace detail;

void cb_StringAvailable() {
  if (!Available(CF_UNICODETEXT)) K::Fail();
}

void cb_MetaFileAvailable() {
  if (!Available(CF_METAFILEPICT) && !Available(CF_ENHMETAFILE)) K::Fail();
}

void cb_PictureAvailable() {
  if (!Available(CF_DIB)) K::Fail();
}

void cb_BinAvailable(const u16* formatName) {
  if (!Available(Registered(formatName))) K::Fail();
}

// The ANSI copy of a text: one conversion straight into the block when
// every character takes one byte in the ANSI code page, else measured first.
static HGLOBAL AnsiBlock(const wchar_t* text, size_t n) {
  static const bool singleByte = [] {
    CPINFO cp;
    return GetCPInfo(CP_ACP, &cp) && cp.MaxCharSize == 1;
  }();
  if (n >= 0x3FFFFFF0) return nullptr;
  int units = static_cast<int>(n) + 1;
  int bytes = singleByte ? units : WideCharToMultiByte(CP_ACP, 0, text, units, nullptr, 0, nullptr, nullptr);
  HGLOBAL a = bytes > 0 ? Block(nullptr, static_cast<size_t>(bytes)) : nullptr;
  if (!a) return nullptr;
  if (auto* p = static_cast<char*>(GlobalLock(a))) {
    WideCharToMultiByte(CP_ACP, 0, text, units, p, bytes, nullptr, nullptr);
    GlobalUnlock(a);
  }
  return a;
}

void cb_PutString(const u16* text) {
  if (!text) text = L"";
  size_t n = wcslen(text);
  HGLOBAL blocks[] = {AnsiBlock(text, n), Block(text, (n + 1) * sizeof(wchar_t))};
  UINT formats[] = {CF_TEXT, CF_UNICODETEXT};
  PutBlocks(formats, blocks, 2);
}

void cb_PutHtmlString(const u16* text, const u16* html) {
  if (!text) text = L"";
  HGLOBAL blocks[] = {Block(text, (wcslen(text) + 1) * sizeof(wchar_t)), HtmlClipboardBlock(html)};
  UINT formats[] = {CF_UNICODETEXT, Registered(L"HTML Format")};
  PutBlocks(formats, blocks, 2, true);
}

void cb_PutBin(const u16* formatName, uint8_t* binary) {
  uint32_t size = 0;
  if (binary) memcpy(&size, binary - 4, 4);
  if (size < 4) return RaiseMayReturn(6002);
  HGLOBAL blocks[] = {Block(binary - 4, size)};
  UINT formats[] = {Registered(formatName)};
  PutBlocks(formats, blocks, 1);
}

void cb_PutPicture(picture p) {
  DibInfo d;
  if (!CheckPicture(p, &d, 6101)) return;
  HGLOBAL blocks[] = {Block(PictureDib(p), PictureDibSize(p))};
  UINT formats[] = {CF_DIB};
  PutBlocks(formats, blocks, 1);
}

void cb_PutMetafile(metafile m) {
  auto* r = m ? static_cast<mf_record*>(GlobalLock(m)) : nullptr;
  if (!r) return RaiseMayReturn(6002);
  HGLOBAL block = nullptr;
  UINT format;
  if (r->wmf) {
    METAFILEPICT mp{MM_ANISOTROPIC, r->rect.right - r->rect.left, r->rect.bottom - r->rect.top,
                    CopyMetaFileW(r->wmf, nullptr)};
    format = CF_METAFILEPICT;
    block = mp.hMF ? Block(&mp, sizeof mp) : nullptr;
    if (!block && mp.hMF) DeleteMetaFile(mp.hMF);
  } else {
    format = CF_ENHMETAFILE;
    block = reinterpret_cast<HGLOBAL>(CopyEnhMetaFileW(r->emf, nullptr));
  }
  GlobalUnlock(m);
  if (!block) return RaiseMayReturn(6002);
  Clip c;
  bool ok = c.Open() && EmptyClipboard() && SetClipboardData(format, block);
  c.Close();
  if (!ok) {
    if (format == CF_ENHMETAFILE) DeleteEnhMetaFile(reinterpret_cast<HENHMETAFILE>(block));
    RaiseMayReturn(6450);
  }
}

u16* cb_GetString() {
  wchar_t* s = ClipboardText();
  return s ? s : K::Memory::CopyStringToGStack(L"");
}

int cb_GetSize() {
  uint8_t* mark = K::Memory::MarkGStack();
  wchar_t* s = ClipboardText();
  int size = s ? static_cast<int>(wcslen(s) * 2 + 2) : 0;
  K::Memory::ReleaseGStack(mark);
  return size;
}

uint8_t* cb_GetBin(const u16* formatName) {
  UINT format = Registered(formatName);
  uint8_t* out = nullptr;
  const bool read = ReadClipboard([&](Clip& c) {
    ClipData d = c.Lock(format);
    uint32_t size = 0;
    if (d.data && d.size >= 4) memcpy(&size, d.data, 4);
    if (size >= 4 && size <= d.size) {
      out = K::Memory::AllocGStack(size);
      memcpy(out, d.data, size);
    }
  });
  if (!read) return nullptr;
  if (!out) RaiseMayReturn(6454);
  return out ? out + 4 : nullptr;
}

picture cb_GetPicture() {
  picture p = nullptr;
  const bool read = ReadClipboard([&](Clip& c) {
    ClipData d = c.Lock(CF_DIB);
    DibInfo info;
    if (d.data && ReadDib(d.data, d.size, &info)) {
      // The DIB's own extent: header, masks, table and bits (the block may be larger).
      uint64_t n = info.bitsOffset + info.dataBytes;
      p = NewPicture(n);
      if (p) memcpy(PictureDib(p), d.data, static_cast<size_t>(n));
    }
  });
  if (!read) return nullptr;
  if (!p) RaiseMayReturn(6455);
  return p;
}

metafile cb_GetMetafile() {
  mf_record r{};
  const bool read = ReadClipboard([&](Clip& c) {
    if (ClipData d = c.Lock(CF_METAFILEPICT); d.data) {
      if (d.size >= sizeof(METAFILEPICT)) {
        METAFILEPICT mp;
        memcpy(&mp, d.data, sizeof mp);
        r.rect = {0, 0, static_cast<int32_t>(mp.xExt), static_cast<int32_t>(mp.yExt)};
        r.wmf = CopyMetaFileW(mp.hMF, nullptr);
      }
    } else if (HANDLE e = GetClipboardData(CF_ENHMETAFILE)) {
      r.emf = CopyEnhMetaFileW(static_cast<HENHMETAFILE>(e), nullptr);
    }
  });
  if (!read) return nullptr;
  if (!r.wmf && !r.emf) {
    RaiseMayReturn(6456);
    return nullptr;
  }
  HGLOBAL m = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof r);
  if (m) {
    memcpy(GlobalLock(m), &r, sizeof r);
    GlobalUnlock(m);
    return m;
  }
  if (r.wmf) DeleteMetaFile(r.wmf);
  if (r.emf) DeleteEnhMetaFile(r.emf);
  RaiseMayReturn(6002);
  return nullptr;
}

}  // namespace QEL_KWI
