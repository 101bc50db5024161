// The reader's parsers: resource files, the resource tree of program files
// (PE32 and PE32+), and the templates and tables inside resources.  They
// read only through ByteSource, every read bounded by the source's size in
// 64-bit arithmetic, and use nothing of Win32 or of the kernel, so that they
// also build on the host.  Results are plain records: names stay references
// into the source until the caller copies them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace QelResource::reader {

// Bytes to parse: a file, or memory.
struct ByteSource {
  virtual uint64_t Size() const = 0;
  // False unless all n bytes at offset were read.
  virtual bool Read(uint64_t offset, void* dst, size_t n) const = 0;

 protected:
  ~ByteSource() = default;
};

struct MemorySource final : ByteSource {
  const uint8_t* data;
  uint64_t size;
  MemorySource(const uint8_t* d, uint64_t n) : data(d), size(n) {}
  uint64_t Size() const override { return size; }
  bool Read(uint64_t offset, void* dst, size_t n) const override;
};

inline bool Inside(uint64_t offset, uint64_t n, uint64_t size) { return offset <= size && n <= size - offset; }

enum class FileKind { none, resource, program };
// The kind a file name's extension gives: "res"/"RES", "exe"/"EXE", "dll"/"DLL",
// after the last "." among the name's last four characters.
FileKind KindOfName(const uint16_t* name, size_t length);

// Where a program file keeps its resource section.
struct PeLayout {
  uint64_t root;        // file offset of the root directory
  uint64_t sectionEnd;  // file offset just past the section's raw data
  int64_t delta;        // address in memory less file offset
};
bool ReadPeLayout(const ByteSource& src, PeLayout* layout);

// A listed name: none, characters in the source, or a number written in decimal.
struct NameRef {
  enum Kind : uint8_t { none, text, decimal } kind = none;
  uint64_t offset = 0;  // text: the first character
  uint32_t length = 0;  // text: characters
  uint32_t number = 0;  // decimal
};

struct ListedItem {
  int32_t code;
  NameRef name;
};

constexpr uint32_t kMaxListed = 1200;
struct Listing {
  ListedItem items[kMaxListed];
  uint32_t count = 0;
};

void ListResourceFile(const ByteSource& src, Listing* out);
void ListProgramFile(const ByteSource& src, const PeLayout& layout, Listing* out);

// A resource's data in the source.
struct Located {
  uint64_t offset;
  uint32_t size;
};
bool FindInResourceFile(const ByteSource& src, uint32_t type, uint32_t id, Located* out);

// A resource file's entries as look-ups see them: type number (0 for a type
// named by a string), id (or the number of a string name), and data.
struct IndexEntry {
  uint32_t type;
  uint32_t id;
  Located data;
};
// Writes up to `capacity` entries to `out`; returns how many the file has.
uint64_t IndexResourceFile(const ByteSource& src, IndexEntry* out, uint64_t capacity);
bool FindInProgramFile(const ByteSource& src, const PeLayout& layout, uint32_t type, uint32_t id, Located* out);

// A menu template (standard form) that ends inside its size; `helpPosition`
// receives the position of the first top-level item marked right-aligned, or -1.
bool CheckMenuTemplate(const uint8_t* data, size_t size, int* helpPosition);

// The version resource's fixed values and first string table.
struct VersionPair {
  uint64_t keyOffset;  // within the data
  uint32_t keyLength;
  uint64_t valueOffset;
  uint32_t valueLength;
};
struct VersionInfo {
  uint32_t fixed[8];  // file version high, low, product version high, low, flags, OS, type, subtype
  uint16_t language, codePage;
  bool hasBlock;
};
// Calls `pair` for each pair in file order.
template <class Each>
bool ReadVersionInfo(const uint8_t* data, size_t size, VersionInfo* info, Each&& pair);

inline uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t Le32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Length in characters of a zero-terminated UTF-16 string at data[at...size);
// false when it is not ended inside.
bool StringAt(const uint8_t* data, size_t size, size_t at, size_t* length);

template <class Each>
bool ReadVersionInfo(const uint8_t* d, size_t size, VersionInfo* info, Each&& pair) {
  // head 6 + "VS_VERSION_INFO" with terminator and padding (34), fixed record 52
  if (size < 92) return false;
  const uint8_t* f = d + 40;
  if (Le32(f) != 0xFEEF04BD) return false;
  const int fields[8] = {8, 12, 16, 20, 28, 32, 36, 40};
  for (int i = 0; i < 8; ++i) info->fixed[i] = Le32(f + fields[i]);
  info->hasBlock = false;
  // StringFileInfo head (6 bytes and its key, 30) then one string table.
  size_t at = 92 + 36;
  if (!Inside(at, 24, size)) return true;
  size_t tableLength = Le16(d + at);
  size_t tableEnd = at + tableLength;
  if (tableLength < 24 || tableEnd > size) return true;
  uint32_t code = 0;
  for (int i = 0; i < 8; ++i) {
    uint16_t c = Le16(d + at + 6 + 2 * i);
    uint32_t digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10
                   : c >= 'A' && c <= 'F' ? c - 'A' + 10 : 16;
    if (digit > 15) return true;
    code = code << 4 | digit;
  }
  info->language = static_cast<uint16_t>(code >> 16);
  info->codePage = static_cast<uint16_t>(code);
  info->hasBlock = true;
  for (at += 24; at + 6 <= tableEnd;) {
    size_t length = Le16(d + at), valueChars = Le16(d + at + 2);
    if (length < 7 || at + length > tableEnd) break;
    size_t keyLength;
    if (!StringAt(d, at + length, at + 6, &keyLength)) break;
    size_t valueAt = at + 6 + 2 * keyLength + 2;
    valueAt += valueAt % 4;
    if (valueChars * 2 > length || valueAt + 2 * valueChars > at + length) break;
    size_t valueLength = 0;
    while (valueLength < valueChars && Le16(d + valueAt + 2 * valueLength)) ++valueLength;
    pair(VersionPair{at + 6, static_cast<uint32_t>(keyLength), valueAt, static_cast<uint32_t>(valueLength)});
    at += (length + 3) & ~size_t{3};
  }
  return true;
}

}  // namespace QelResource::reader
