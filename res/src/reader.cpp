// The reader's exported functions: the remembered file, look-ups through
// the parsers over a cached file source, and results built as terms on the
// caller's global stack.  Each call opens, reads and closes the file before
// it builds its result, so a failure or a raise never leaves a handle or a
// buffer behind; a resource that is not in the file makes the call fail.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "qel6kernel.h"
#include "reader_core.h"
#include "writer.h"

namespace QelResource {

using namespace detail;
using namespace reader;
namespace Kernel = Qel::RunTime::Kernel;
namespace Memory = Qel::RunTime::Kernel::Memory;
using Kernel::Fail;

namespace {

// A file read through a 64 KiB cache (plain process memory).
class FileSource final : public ByteSource {
 public:
  bool Open(const u16* name) {
    handle_ = CreateFileW(name, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER size;
    if (handle_ == INVALID_HANDLE_VALUE || !GetFileSizeEx(handle_, &size)) return Close(), false;
    size_ = static_cast<uint64_t>(size.QuadPart);
    cache_ = static_cast<uint8_t*>(malloc(kCache));
    return cache_ || (Close(), false);
  }
  void Close() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    free(cache_);
    cache_ = nullptr;
  }
  uint64_t Size() const override { return size_; }
  bool Read(uint64_t offset, void* dst, size_t n) const override {
    if (!Inside(offset, n, size_)) return false;
    if (n >= kFirstFill) return ReadDirect(offset, dst, n);
    if (offset < cached_ || offset + n > cached_ + cachedLength_) {
      // Fills start small (a look-up reads one resource) and grow while a walk goes on.
      uint64_t length = size_ - offset < fill_ ? size_ - offset : fill_;
      if (!ReadDirect(offset, cache_, static_cast<size_t>(length))) return false;
      cached_ = offset;
      cachedLength_ = length;
      fill_ = fill_ * 2 > kCache ? kCache : fill_ * 2;
    }
    memcpy(dst, cache_ + (offset - cached_), n);
    return true;
  }

 private:
  static constexpr size_t kCache = 65536, kFirstFill = 4096;
  bool ReadDirect(uint64_t offset, void* dst, size_t n) const {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(handle_, at, nullptr, FILE_BEGIN)) return false;
    for (auto* p = static_cast<uint8_t*>(dst); n;) {
      DWORD chunk = n > 0x40000000 ? 0x40000000 : static_cast<DWORD>(n), done = 0;
      if (!ReadFile(handle_, p, chunk, &done, nullptr) || !done) return false;
      p += done;
      n -= done;
    }
    return true;
  }
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  uint64_t size_ = 0;
  uint8_t* cache_ = nullptr;
  mutable uint64_t cached_ = 0, cachedLength_ = 0, fill_ = kFirstFill;
};

// A file's size and time of last write, read without opening it.
struct FileStamp {
  uint64_t size, written;
  bool operator==(const FileStamp&) const = default;
};
bool StampOf(const u16* name, FileStamp* stamp) {
  WIN32_FILE_ATTRIBUTE_DATA a;
  if (!GetFileAttributesExW(name, GetFileExInfoStandard, &a)) return false;
  *stamp = {uint64_t{a.nFileSizeHigh} << 32 | a.nFileSizeLow,
            uint64_t{a.ftLastWriteTime.dwHighDateTime} << 32 | a.ftLastWriteTime.dwLowDateTime};
  return true;
}

// The file of the last res_get_types.  While the file keeps the stamp it had
// then, look-ups use what the listing read: a copy of the file (up to 64 MiB)
// and, for a resource file, the index of its entries; otherwise they read
// the file again.  Both live in plain process memory.
struct ReaderState {
  u16* name = nullptr;  // the whole name
  FileKind kind = FileKind::none;
  PeLayout layout{};
  bool stamped = false;
  FileStamp stamp{};
  IndexEntry* index = nullptr;
  uint64_t indexed = 0;
  uint8_t* copy = nullptr;
};
constexpr uint64_t kMaxCopy = 64ull << 20;
ReaderState g_reader;
Listing g_listing;

void Remember(const u16* name) {
  size_t n = Length(name);
  free(g_reader.name);
  g_reader.name = static_cast<u16*>(malloc(2 * n + 2));
  if (g_reader.name) {
    if (n) memcpy(g_reader.name, name, 2 * n);
    g_reader.name[n] = 0;
  }
}

void DropCopy() {
  free(g_reader.index);
  free(g_reader.copy);
  g_reader.index = nullptr;
  g_reader.copy = nullptr;
  g_reader.indexed = 0;
  g_reader.stamped = false;
}

// The index and the copy of the file the listing read; kept only when the
// file's stamp is the same before and after.
void KeepCopy(const FileSource& src, const FileStamp& before) {
  if (g_reader.kind == FileKind::resource) {
    uint64_t n = IndexResourceFile(src, nullptr, 0);
    if (n && n <= SIZE_MAX / sizeof(IndexEntry) &&
        (g_reader.index = static_cast<IndexEntry*>(malloc(n * sizeof(IndexEntry)))))
      g_reader.indexed = IndexResourceFile(src, g_reader.index, n);
  }
  if (src.Size() <= kMaxCopy && (g_reader.copy = static_cast<uint8_t*>(malloc(src.Size() ? src.Size() : 1))) &&
      !src.Read(0, g_reader.copy, src.Size())) {
    free(g_reader.copy);
    g_reader.copy = nullptr;
  }
  FileStamp after;
  g_reader.stamped = StampOf(g_reader.name, &after) && after == before;
  g_reader.stamp = before;
  if (!g_reader.stamped) DropCopy();
}

bool FindInIndex(uint32_t type, uint32_t id, Located* at) {
  for (uint64_t i = 0; i < g_reader.indexed; ++i)
    if (g_reader.index[i].type == type && g_reader.index[i].id == id) {
      *at = g_reader.index[i].data;
      return true;
    }
  return false;
}

bool Find(const ByteSource& src, bool fresh, uint32_t type, uint32_t id, Located* at) {
  if (g_reader.kind == FileKind::program) return FindInProgramFile(src, g_reader.layout, type, id, at);
  if (fresh && g_reader.index) return FindInIndex(type, id, at);
  return FindInResourceFile(src, type, id, at);
}

bool Copy(const ByteSource& src, bool fresh, uint32_t type, uint32_t id, Bytes& data) {
  Located at;
  if (!Find(src, fresh, type, id, &at)) return false;
  uint8_t* p = data.Grow(at.size);
  return at.size == 0 || (p && src.Read(at.offset, p, at.size));
}

// The data of resource (type, id) of the remembered file in `data`; false when it is not there.
bool Lookup(uint32_t type, uint32_t id, Bytes& data) {
  data.Clear();
  if (g_reader.kind == FileKind::none || !g_reader.name) return false;
  FileStamp now;
  bool fresh = g_reader.stamped && StampOf(g_reader.name, &now) && now == g_reader.stamp;
  if (!fresh) DropCopy();
  if (fresh && g_reader.copy) return Copy(MemorySource(g_reader.copy, g_reader.stamp.size), true, type, id, data);
  FileSource src;
  if (!src.Open(g_reader.name)) return false;
  bool found = Copy(src, fresh, type, id, data);
  src.Close();
  return found;
}

// The data of a resource, or failure of the calling predicate.
Bytes& Data(uint32_t type, int id) {
  Bytes& data = g_writer.read;
  if (id < 0 || !Lookup(type, static_cast<uint32_t>(id), data)) Fail();
  return data;
}

uint8_t* GStack(size_t n) {
  if (n > UINT32_MAX - 8) Kernel::Errors::RunTimeError(201u);
  return Memory::AllocGStack(static_cast<uint32_t>(n));
}

u16* GStackString(const uint8_t* utf16le, size_t chars) {
  auto* s = reinterpret_cast<u16*>(GStack(2 * chars + 2));
  for (size_t i = 0; i < chars; ++i) s[i] = Le16(utf16le + 2 * i);
  s[chars] = 0;
  return s;
}

template <class Cell>
Cell* Nil() {
  auto* c = reinterpret_cast<Cell*>(GStack(sizeof(Cell)));
  *c = Cell{ListNil, {}, nullptr};
  return c;
}
template <class Cell, class Value>
Cell* Cons(Value v, Cell* next) {
  auto* c = reinterpret_cast<Cell*>(GStack(sizeof(Cell)));
  *c = Cell{ListCons, v, next};
  return c;
}

// The listed names' characters, read while the file is open: item i's name
// is names[start[i] ... start[i] + length[i]).
struct ListedNames {
  uint32_t start[kMaxListed];
  uint32_t length[kMaxListed];
};
ListedNames g_names;

void ReadNames(const ByteSource& src, Bytes& names) {
  names.Clear();
  for (uint32_t i = 0; i < g_listing.count; ++i) {
    const NameRef& n = g_listing.items[i].name;
    g_names.start[i] = static_cast<uint32_t>(names.size);
    g_names.length[i] = 0;
    if (n.kind == NameRef::decimal) {
      char text[16];
      int k = snprintf(text, sizeof text, "%i", static_cast<int>(n.number));
      for (int j = 0; j < k; ++j) names.U16(static_cast<uint8_t>(text[j]));
      g_names.length[i] = static_cast<uint32_t>(k);
    } else if (n.kind == NameRef::text) {
      uint8_t* p = names.Grow(2ull * n.length);
      if (p && src.Read(n.offset, p, 2ull * n.length)) g_names.length[i] = n.length;
      else names.size = g_names.start[i];
    }
  }
}

}  // namespace

void res_get_types(const u16* fileName, ilist_struct** codes, slist_struct** names, int* result) {
  Remember(fileName);
  g_reader.kind = g_reader.name ? KindOfName(reinterpret_cast<const uint16_t*>(g_reader.name), Length(g_reader.name))
                                : FileKind::none;
  g_listing.count = 0;
  DropCopy();
  FileSource src;
  FileStamp before;
  Bytes& text = g_writer.read;
  if (g_reader.kind != FileKind::none && StampOf(g_reader.name, &before) && src.Open(g_reader.name)) {
    bool parsed = g_reader.kind == FileKind::resource || ReadPeLayout(src, &g_reader.layout);
    if (g_reader.kind == FileKind::resource)
      ListResourceFile(src, &g_listing);
    else if (parsed)
      ListProgramFile(src, g_reader.layout, &g_listing);
    ReadNames(src, text);
    if (parsed) KeepCopy(src, before);
    src.Close();
  }
  ilist_struct* c = Nil<ilist_struct>();
  slist_struct* s = Nil<slist_struct>();
  for (uint32_t i = g_listing.count; i-- > 0;) {
    c = Cons<ilist_struct>(static_cast<intptr_t>(g_listing.items[i].code), c);
    s = Cons<slist_struct>(static_cast<const u16*>(GStackString(text.data + g_names.start[i], g_names.length[i])), s);
  }
  *codes = c;
  *names = s;
  if (result) *result = 0;
}

menu_struct* res_get_menu(int id) {
  auto* result = reinterpret_cast<menu_struct*>(GStack(sizeof(menu_struct)));
  *result = {3, 0};  // nomenu
  Bytes& data = Data(rt_menu, id);
  int help;
  if (!CheckMenuTemplate(data.data, data.size, &help)) return result;
  // The template on the collected heap while the platform reads it.
  auto* block = static_cast<uint8_t*>(Memory::AllocHeap(static_cast<uint32_t>(data.size)));
  memcpy(block, data.data, data.size);
  HMENU menu = LoadMenuIndirectW(block);
  if (!menu) return result;
  menu_item_list_struct* volatile items = nullptr;
  uint32_t error = Kernel::RunTrapped([&] { items = xZEV_Create_MENU_list(menu, 0, nullptr); });
  DestroyMenu(menu);
  if (error) Kernel::Errors::RunTimeError(error);
  menu_item_list_struct* l = items;
  for (int i = 0; l && l->functor == ListCons && i < help; ++i) l = l->next;
  if (help >= 0 && l && l->functor == ListCons && l->value && l->value->functor == 1) l->value->w[4] = 2;
  *result = {2, reinterpret_cast<uintptr_t>(items)};
  return result;
}

windef_list_struct* res_get_dialog(int id) {
  Bytes& data = Data(rt_dialog, id);
  uint8_t* copy = GStack(data.size + 2);
  memcpy(copy, data.data, data.size);
  copy[data.size] = copy[data.size + 1] = 0;
  return XZEV_GetWindefFromTemplate(reinterpret_cast<const char*>(copy), data.size);
}

void res_get_str(int block, slist_struct** strings, ilist_struct** ids) {
  Bytes& data = Data(rt_string, block);
  slist_struct* s = Nil<slist_struct>();
  ilist_struct* n = Nil<ilist_struct>();
  size_t at = 0;
  for (int slot = 0; slot < 16 && at + 2 <= data.size; ++slot) {
    size_t length = Le16(data.data + at);
    at += 2;
    if (!Inside(at, 2 * length, data.size)) break;
    if (length) {
      s = Cons<slist_struct>(static_cast<const u16*>(GStackString(data.data + at, length)), s);
      n = Cons<ilist_struct>(static_cast<intptr_t>(int64_t{block} * 16 - 16 + slot), n);
    }
    at += 2 * length;
  }
  *strings = s;
  *ids = n;
}

namespace {

// A one-image icon or cursor file: the 22-byte head, then `image`.
uint8_t* IconFileImage(uint16_t kind, uint8_t width, uint8_t height, uint8_t colours, uint16_t planesOrX,
                       uint16_t bitsOrY, const uint8_t* image, size_t size, int* resultSize) {
  if (size > INT32_MAX - 22) Fail();
  uint8_t* p = GStack(22 + size);
  const uint16_t head[3] = {0, kind, 1};
  for (int i = 0; i < 3; ++i) p[2 * i] = static_cast<uint8_t>(head[i]), p[2 * i + 1] = static_cast<uint8_t>(head[i] >> 8);
  p[6] = width;
  p[7] = height;
  p[8] = colours;
  p[9] = 0;
  p[10] = static_cast<uint8_t>(planesOrX);
  p[11] = static_cast<uint8_t>(planesOrX >> 8);
  p[12] = static_cast<uint8_t>(bitsOrY);
  p[13] = static_cast<uint8_t>(bitsOrY >> 8);
  for (int i = 0; i < 4; ++i) p[14 + i] = static_cast<uint8_t>(size >> 8 * i), p[18 + i] = static_cast<uint8_t>(22 >> 8 * i);
  memcpy(p + 22, image, size);
  if (resultSize) *resultSize = static_cast<int>(22 + size);
  return p;
}

}  // namespace

uint8_t* res_get_icon(int* size, int id) {
  Bytes& data = Data(rt_icon, id);
  if (data.size < 16) Fail();
  const uint8_t* h = data.data;
  uint16_t bits = Le16(h + 14);
  uint8_t colours = bits >= 8 ? 0 : static_cast<uint8_t>(1u << bits);
  return IconFileImage(1, h[4], static_cast<uint8_t>(Le32(h + 8) / 2), colours, 0, 0, h, data.size, size);
}

uint8_t* res_get_cursor(int* size, int id) {
  Bytes& data = Data(rt_cursor, id);
  if (data.size < 4 + 16) Fail();
  const uint8_t* h = data.data + 4;
  return IconFileImage(2, h[4], static_cast<uint8_t>(Le32(h + 8) / 2), 0, Le16(data.data), Le16(data.data + 2), h,
                       data.size - 4, size);
}

namespace {

// The 14-byte file header of a bitmap resource; false for the old core
// format or data too short for its header.
bool BitmapFileHeader(const Bytes& data, uint8_t head[14], bool* oldCore) {
  *oldCore = data.size >= 4 && Le32(data.data) == 12;
  if (*oldCore || data.size < 40) return false;
  const uint8_t* h = data.data;
  uint32_t headerSize = Le32(h), bits = Le16(h + 14), compression = Le32(h + 16), used = Le32(h + 32);
  if (headerSize < 40 || headerSize > data.size || data.size > UINT32_MAX - 14) return false;
  uint64_t colours = used ? (used > 256 ? 256 : used) : bits == 1 ? 2 : bits == 4 ? 16 : bits == 8 ? 256 : 0;
  uint64_t masks = headerSize == 40 && compression == 3 ? 12 : 0;  // bit-field masks
  uint64_t pixels = 14 + headerSize + 4 * colours + masks;
  uint32_t fileSize = static_cast<uint32_t>(14 + data.size);
  const uint32_t words[3] = {fileSize, 0, static_cast<uint32_t>(pixels)};
  head[0] = 'B';
  head[1] = 'M';
  for (int w = 0; w < 3; ++w)
    for (int i = 0; i < 4; ++i) head[2 + 4 * w + i] = static_cast<uint8_t>(words[w] >> 8 * i);
  return true;
}

}  // namespace

uint8_t* res_get_bitmap(int* size, int id) {
  Bytes& data = Data(rt_bitmap, id);
  uint8_t head[14];
  bool oldCore;
  if (!BitmapFileHeader(data, head, &oldCore)) {
    if (!oldCore) Fail();
    uint8_t* error = GStack(20);
    memset(error, 0, 20);
    const char text[] = "Error";
    for (int i = 0; i < 5; ++i) error[2 * i] = static_cast<uint8_t>(text[i]);
    return error;
  }
  uint8_t* p = GStack(14 + data.size);
  memcpy(p, head, 14);
  memcpy(p + 14, data.data, data.size);
  if (size) *size = static_cast<int>(14 + data.size > INT32_MAX ? INT32_MAX : 14 + data.size);
  return p;
}

int res_get_write_bitmap(const u16* fileName, int id) {
  HANDLE out = CreateFileW(fileName ? fileName : L"", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
  if (out == INVALID_HANDLE_VALUE) return 0;
  Bytes& data = g_writer.read;
  uint8_t head[14];
  bool oldCore;
  bool ok = id >= 0 && Lookup(rt_bitmap, static_cast<uint32_t>(id), data) && BitmapFileHeader(data, head, &oldCore);
  DWORD done = 0;
  ok = ok && WriteFile(out, head, 14, &done, nullptr) && done == 14;
  for (size_t at = 0; ok && at < data.size; at += done) {
    DWORD chunk = data.size - at > 0x40000000 ? 0x40000000 : static_cast<DWORD>(data.size - at);
    ok = WriteFile(out, data.data + at, chunk, &done, nullptr) && done == chunk;
  }
  ok = CloseHandle(out) && ok;
  return ok ? 1 : 0;
}

void res_get_versioninfo(int id, HEAD_VERSIONINFO** head, versioninfo_blocklist** blocks) {
  Bytes& data = Data(rt_version, id);
  // The pairs' places first (on the global stack), then the terms.
  struct Place {
    VersionPair pair;
    Place* next;
  };
  Place* first = nullptr;
  Place** last = &first;
  VersionInfo info;
  bool ok = ReadVersionInfo(data.data, data.size, &info, [&](const VersionPair& p) {
    auto* place = reinterpret_cast<Place*>(GStack(sizeof(Place)));
    *place = {p, nullptr};
    *last = place;
    last = &place->next;
  });
  if (!ok) Fail();
  auto* h = reinterpret_cast<HEAD_VERSIONINFO*>(GStack(sizeof(HEAD_VERSIONINFO)));
  *h = {info.fixed[0], info.fixed[1], info.fixed[2], info.fixed[3], info.fixed[4], info.fixed[5], info.fixed[6],
        info.fixed[7]};
  versioninfo_blocklist* list = Nil<versioninfo_blocklist>();
  if (info.hasBlock) {
    // Pairs in file order: collect, then cons from the back.
    size_t count = 0;
    for (Place* p = first; p; p = p->next) ++count;
    auto** order = reinterpret_cast<Place**>(GStack(sizeof(Place*) * (count + 1)));
    size_t i = 0;
    for (Place* p = first; p; p = p->next) order[i++] = p;
    versioninfo_pairlist* pairs = Nil<versioninfo_pairlist>();
    while (i-- > 0) {
      const VersionPair& vp = order[i]->pair;
      auto* pair = reinterpret_cast<versioninfo_pair*>(GStack(sizeof(versioninfo_pair)));
      pair->key = GStackString(data.data + vp.keyOffset, vp.keyLength);
      pair->value = GStackString(data.data + vp.valueOffset, vp.valueLength);
      pairs = Cons<versioninfo_pairlist>(pair, pairs);
    }
    auto* block = reinterpret_cast<versioninfo_block*>(GStack(sizeof(versioninfo_block)));
    *block = {info.language, info.codePage, pairs};
    list = Cons<versioninfo_blocklist>(block, list);
  }
  *head = h;
  *blocks = list;
}

}  // namespace QelResource
