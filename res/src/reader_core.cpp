// The reader's parsers.  Every offset and count read from a source is
// checked against its container before it is followed: resource-file
// entries against the file, tree offsets against the resource section,
// data addresses against the file; a bad entry ends a walk.
#include "reader_core.h"

#include <cstring>

namespace QelResource::reader {

bool MemorySource::Read(uint64_t offset, void* dst, size_t n) const {
  if (!Inside(offset, n, size)) return false;
  if (n) memcpy(dst, data + offset, n);
  return true;
}

bool StringAt(const uint8_t* data, size_t size, size_t at, size_t* length) {
  for (size_t i = at; i + 2 <= size; i += 2)
    if (!Le16(data + i)) {
      *length = (i - at) / 2;
      return true;
    }
  return false;
}

FileKind KindOfName(const uint16_t* name, size_t length) {
  size_t from = length > 4 ? length - 4 : 0, dot = length;
  for (size_t i = from; i < length; ++i)
    if (name[i] == '.') dot = i;
  if (dot == length) return FileKind::none;
  size_t n = length - dot - 1;
  auto is = [&](const char* small, const char* capital) {
    if (n != strlen(small)) return false;
    bool s = true, c = true;
    for (size_t i = 0; i < n; ++i) {
      s = s && name[dot + 1 + i] == static_cast<uint8_t>(small[i]);
      c = c && name[dot + 1 + i] == static_cast<uint8_t>(capital[i]);
    }
    return s || c;
  };
  if (is("res", "RES")) return FileKind::resource;
  if (is("exe", "EXE") || is("dll", "DLL")) return FileKind::program;
  return FileKind::none;
}

static bool Read16(const ByteSource& s, uint64_t at, uint16_t* v) {
  uint8_t b[2];
  if (!s.Read(at, b, 2)) return false;
  *v = Le16(b);
  return true;
}
static bool Read32(const ByteSource& s, uint64_t at, uint32_t* v) {
  uint8_t b[4];
  if (!s.Read(at, b, 4)) return false;
  *v = Le32(b);
  return true;
}

bool ReadPeLayout(const ByteSource& src, PeLayout* layout) {
  uint32_t pe, signature, dirAddress;
  uint16_t sections, optionalSize, magic;
  if (!Read32(src, 0x3C, &pe) || !Read32(src, pe, &signature) || signature != 0x00004550) return false;
  uint64_t coff = uint64_t{pe} + 4, optional = coff + 20;
  if (!Read16(src, coff + 2, &sections) || !Read16(src, coff + 16, &optionalSize) || !Read16(src, optional, &magic))
    return false;
  uint64_t directories = magic == 0x10B ? 96 : magic == 0x20B ? 112 : 0;
  if (!directories || optionalSize < directories + 24) return false;
  if (!Read32(src, optional + directories + 16, &dirAddress) || !dirAddress) return false;
  uint64_t table = optional + optionalSize;
  for (uint32_t i = 0; i < sections && i < 100; ++i) {
    uint8_t h[40];
    if (!src.Read(table + 40u * i, h, sizeof h)) return false;
    if (memcmp(h + 1, "rsrc", 4) != 0) continue;
    uint32_t address = Le32(h + 12), rawSize = Le32(h + 16), raw = Le32(h + 20);
    uint64_t end = uint64_t{raw} + rawSize;
    if (dirAddress < address || end > src.Size()) return false;
    layout->delta = int64_t{address} - int64_t{raw};
    layout->root = uint64_t{raw} + (dirAddress - address);
    layout->sectionEnd = end;
    return layout->root + 16 <= end;
  }
  return false;
}

namespace {

// A directory of the resource tree.
struct Directory {
  uint64_t entries;  // file offset of the first entry
  uint32_t count;
};

// One 8-byte entry: its name field and its offset field.
struct TreeEntry {
  uint32_t name;
  uint32_t offset;
  bool Named() const { return name & 0x80000000u; }
  bool Subdirectory() const { return offset & 0x80000000u; }
  uint32_t Target() const { return offset & 0x7FFFFFFFu; }
};

class Tree {
 public:
  Tree(const ByteSource& src, const PeLayout& layout) : src_(src), layout_(layout) {}

  // The directory at a tree offset, its entries inside the section.
  bool DirectoryAt(uint32_t offset, Directory* d) const {
    uint64_t at = layout_.root + offset;
    uint16_t named, ids;
    if (!Within(at, 16) || !Read16(src_, at + 12, &named) || !Read16(src_, at + 14, &ids)) return false;
    d->entries = at + 16;
    d->count = uint32_t{named} + ids;
    return Within(d->entries, 8ull * d->count);
  }
  bool Entry(const Directory& d, uint32_t i, TreeEntry* e) const {
    return i < d.count && Read32(src_, d.entries + 8ull * i, &e->name) && Read32(src_, d.entries + 8ull * i + 4, &e->offset);
  }
  bool Subdirectory(const TreeEntry& e, Directory* d) const { return e.Subdirectory() && DirectoryAt(e.Target(), d); }
  // A named entry's name: its characters in the file.
  bool Name(const TreeEntry& e, NameRef* n) const {
    uint64_t at = layout_.root + (e.name & 0x7FFFFFFFu);
    uint16_t length;
    if (!Within(at, 2) || !Read16(src_, at, &length) || !Within(at + 2, 2ull * length)) return false;
    *n = {NameRef::text, at + 2, length, 0};
    return true;
  }
  // The data of a resource entry (name level): its first language's data entry.
  bool Data(const TreeEntry& e, Located* out) const {
    Directory languages;
    TreeEntry first;
    if (!Subdirectory(e, &languages) || !Entry(languages, 0, &first) || first.Subdirectory()) return false;
    uint64_t at = layout_.root + first.Target();
    uint32_t address, size;
    if (!Within(at, 16) || !Read32(src_, at, &address) || !Read32(src_, at + 4, &size)) return false;
    int64_t offset = int64_t{address} - layout_.delta;
    if (offset < 0 || !Inside(static_cast<uint64_t>(offset), size, src_.Size())) return false;
    *out = {static_cast<uint64_t>(offset), size};
    return true;
  }

 private:
  bool Within(uint64_t at, uint64_t n) const { return at >= layout_.root && Inside(at, n, layout_.sectionEnd); }
  const ByteSource& src_;
  const PeLayout& layout_;
};

// Type numbers that the listing names; every other type is listed as 99.
bool Listed(uint32_t type) { return (type >= 1 && type <= 6) || type == 9 || type == 10 || type == 15 || type == 16; }
bool IsGroup(uint32_t type) { return type == 12 || type == 14; }
uint32_t ImageType(uint32_t group) { return group == 12 ? 1 : 3; }

bool Add(Listing* out, int32_t code, NameRef name = {}) {
  if (out->count >= kMaxListed) return false;
  out->items[out->count++] = {code, name};
  return true;
}

// Names the resource entry of `imageType` with code 100 + `image`; false when there is none.
bool NameFirstImage(Listing* out, uint32_t imageType, uint16_t image, const NameRef& name) {
  bool inType = false;
  for (uint32_t i = 0; i < out->count; ++i) {
    ListedItem& it = out->items[i];
    if (it.code < 100) {
      inType = static_cast<uint32_t>(it.code) == imageType;
    } else if (inType && it.code == 100 + image) {
      it.name = name;
      return true;
    }
  }
  return false;
}

// A resource-file entry: where its parts are, and its type and name.
struct ResEntry {
  uint64_t start, data, next;
  uint32_t dataSize;
  bool typeIsText, nameIsText;
  uint16_t type, id;
  NameRef name;
};

// A type or name field at `at` inside the header that ends at `end`.
bool ReadField(const ByteSource& src, uint64_t* at, uint64_t end, bool* isText, uint16_t* ordinal, NameRef* text) {
  uint16_t first;
  if (*at + 2 > end || !Read16(src, *at, &first)) return false;
  if (first == 0xFFFF) {
    if (*at + 4 > end || !Read16(src, *at + 2, ordinal)) return false;
    *isText = false;
    *at += 4;
    return true;
  }
  uint64_t p = *at;
  for (uint16_t c = first; c; p += 2)
    if (p + 4 > end || !Read16(src, p + 2, &c)) return false;
  *isText = true;
  *text = {NameRef::text, *at, static_cast<uint32_t>((p - *at) / 2), 0};
  *at = p + 2;
  return true;
}

// The entry at `at`; false when it is not whole inside the file.
bool ReadEntry(const ByteSource& src, uint64_t at, ResEntry* e) {
  uint32_t dataSize, headerSize;
  if (!Read32(src, at, &dataSize) || !Read32(src, at + 4, &headerSize) || headerSize < 32) return false;
  uint64_t end = at + headerSize;
  if (!Inside(at, uint64_t{headerSize} + dataSize, src.Size())) return false;
  uint64_t p = at + 8;
  NameRef typeText;
  if (!ReadField(src, &p, end, &e->typeIsText, &e->type, &typeText) ||
      !ReadField(src, &p, end, &e->nameIsText, &e->id, &e->name))
    return false;
  if (e->typeIsText) e->type = 0;
  e->start = at;
  e->data = end;
  e->dataSize = dataSize;
  e->next = (end + dataSize + 3) & ~uint64_t{3};
  return true;
}

bool StartsWithEmptyEntry(const ByteSource& src) {
  uint32_t dataSize, headerSize;
  return Read32(src, 0, &dataSize) && Read32(src, 4, &headerSize) && dataSize == 0 && headerSize == 32;
}

// Walks the entries after the empty one; `each`(entry, number of a text name or 0) returns false to stop.
template <class Each>
void WalkResourceFile(const ByteSource& src, Each&& each) {
  if (!StartsWithEmptyEntry(src)) return;
  uint32_t numbered = 0;
  ResEntry e;
  for (uint64_t at = 32; at < src.Size() && ReadEntry(src, at, &e); at = e.next)
    if (!each(e, e.nameIsText ? ++numbered : 0)) return;
}

}  // namespace

void ListResourceFile(const ByteSource& src, Listing* out) {
  out->count = 0;
  WalkResourceFile(src, [&](const ResEntry& e, uint32_t number) {
    uint32_t type = e.typeIsText ? 0 : e.type;
    if (IsGroup(type)) {
      uint16_t image;
      if (e.dataSize < 20 || !Read16(src, e.data + 18, &image)) return true;
      NameRef name = e.nameIsText ? e.name : NameRef{NameRef::decimal, 0, 0, e.id};
      return NameFirstImage(out, ImageType(type), image, name);
    }
    if (!Add(out, Listed(type) ? static_cast<int32_t>(type) : 99)) return false;
    return e.nameIsText ? Add(out, static_cast<int32_t>(100 + number), e.name) : Add(out, 100 + e.id);
  });
}

bool FindInResourceFile(const ByteSource& src, uint32_t type, uint32_t id, Located* out) {
  bool found = false;
  WalkResourceFile(src, [&](const ResEntry& e, uint32_t number) {
    if (e.typeIsText || e.type != type || (e.nameIsText ? number : e.id) != id) return true;
    *out = {e.data, e.dataSize};
    found = true;
    return false;
  });
  return found;
}

uint64_t IndexResourceFile(const ByteSource& src, IndexEntry* out, uint64_t capacity) {
  uint64_t n = 0;
  WalkResourceFile(src, [&](const ResEntry& e, uint32_t number) {
    if (n < capacity) out[n] = {e.typeIsText ? 0u : e.type, e.nameIsText ? number : e.id, {e.data, e.dataSize}};
    ++n;
    return true;
  });
  return n;
}

namespace {

// Walks the program file's resources type by type; named resources of the
// walked types take running numbers.  `type`(entry) decides whether a type's
// resources are walked; `resource`(typeEntry, entry, number) returns false to stop.
template <class TypeFn, class ResourceFn>
void WalkProgramFile(const Tree& tree, TypeFn&& typeFn, ResourceFn&& resource) {
  Directory root, names;
  if (!tree.DirectoryAt(0, &root)) return;
  uint32_t numbered = 0;
  TreeEntry t, r;
  for (uint32_t i = 0; tree.Entry(root, i, &t); ++i) {
    if (!typeFn(t)) continue;
    if (!tree.Subdirectory(t, &names)) continue;
    for (uint32_t j = 0; tree.Entry(names, j, &r); ++j)
      if (!resource(t, r, r.Named() ? ++numbered : 0)) return;
  }
}

bool WalkedType(const TreeEntry& t) {
  return !t.Named() && (Listed(t.name & 0xFFFF) || IsGroup(t.name & 0xFFFF));
}

}  // namespace

void ListProgramFile(const ByteSource& src, const PeLayout& layout, Listing* out) {
  out->count = 0;
  Tree tree(src, layout);
  bool full = false;
  WalkProgramFile(
      tree,
      [&](const TreeEntry& t) {
        if (full) return false;
        uint32_t type = t.Named() ? 0 : t.name & 0xFFFF;
        if (!WalkedType(t)) {
          full = !Add(out, 99);
          return false;
        }
        if (!IsGroup(type)) full = !Add(out, static_cast<int32_t>(type));
        return !full;
      },
      [&](const TreeEntry& t, const TreeEntry& r, uint32_t number) {
        uint32_t type = t.name & 0xFFFF;
        if (IsGroup(type)) {
          Located data;
          uint16_t image;
          NameRef name{NameRef::decimal, 0, 0, r.name & 0xFFFF};
          if (tree.Data(r, &data) && data.size >= 20 && Read16(src, data.offset + 18, &image) &&
              (!r.Named() || tree.Name(r, &name)))
            NameFirstImage(out, ImageType(type), image, name);
          return true;
        }
        NameRef name;
        if (!r.Named())
          Add(out, static_cast<int32_t>(100 + (r.name & 0xFFFF)));
        else if (tree.Name(r, &name))
          Add(out, static_cast<int32_t>(100 + number), name);
        full = out->count >= kMaxListed;
        return !full;
      });
}

bool FindInProgramFile(const ByteSource& src, const PeLayout& layout, uint32_t type, uint32_t id, Located* out) {
  Tree tree(src, layout);
  bool found = false;
  WalkProgramFile(
      tree, [&](const TreeEntry& t) { return WalkedType(t) || (!t.Named() && t.name == type); },
      [&](const TreeEntry& t, const TreeEntry& r, uint32_t number) {
        if (t.name != type || (r.Named() ? number : r.name) != id) return true;
        found = tree.Data(r, out);
        return false;
      });
  return found;
}

namespace {

// The items of one level from `at`; false when the template does not hold them.
bool CheckMenuItems(const uint8_t* d, size_t size, size_t* at, int depth, int* helpPosition) {
  if (depth > 64) return false;
  for (int position = 0;; ++position) {
    if (*at + 2 > size) return false;
    uint16_t option = Le16(d + *at);
    *at += 2;
    if (!(option & 0x0010)) *at += 2;  // a command's id
    size_t length;
    if (*at > size || !StringAt(d, size, *at, &length)) return false;
    *at += 2 * length + 2;
    if (depth == 0 && (option & 0x4000) && *helpPosition < 0) *helpPosition = position;
    if ((option & 0x0010) && !CheckMenuItems(d, size, at, depth + 1, helpPosition)) return false;
    if (option & 0x0080) return true;
  }
}

}  // namespace

bool CheckMenuTemplate(const uint8_t* data, size_t size, int* helpPosition) {
  *helpPosition = -1;
  if (size < 4 || Le16(data) != 0 || Le16(data + 2) != 0) return false;
  size_t at = 4;
  return CheckMenuItems(data, size, &at, 0, helpPosition);
}

}  // namespace QelResource::reader
