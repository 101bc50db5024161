// Resources copied from files: type libraries, bitmaps, icons and cursors.
// Every (offset, size) taken from a source file is checked against the
// file's size in 64 bits before anything is read; a file that cannot be
// opened or does not hold what it claims writes nothing (a type library: an
// empty entry).  Image entries take their ordinals from the writer's counters.
#include <cstring>

#include "writer.h"

namespace QelResource {

using namespace detail;

static const u16 kTypelib[] = L"TYPELIB";
constexpr uint32_t kBitmapFileHeader = 14;
constexpr uint64_t kMaxData = UINT32_MAX - 3;  // DataSize with its padding stays a u32

static uint32_t PadOf(uint64_t n) { return static_cast<uint32_t>((4 - n % 4) % 4); }

// One entry holding `size` bytes from `offset` of the file, padding counted.
static bool PutCopiedEntry(Source& src, uint64_t offset, uint64_t size, ResName type, ResName name) {
  Bytes& out = g_writer.out;
  if (size > kMaxData || !src.Holds(offset, size)) return false;
  PutHeader(out, static_cast<uint32_t>(size + PadOf(size)), type, name, kMoveablePure);
  if (!src.AppendTo(out, offset, size)) return false;
  out.Pad4();
  return true;
}

void gen_typelibinfo(const u16* fileName) {
  if (!BeginCall()) return;
  ResName type{kTypelib, 0};
  Source src;
  bool copied = src.Open(fileName) && PutCopiedEntry(src, 0, src.size, type, Ordinal(1));
  src.Close();
  if (!copied) {
    g_writer.out.Clear();
    PutHeader(g_writer.out, 0, type, Ordinal(1), kMoveablePure);
  }
  CommitCall();
}

void gen_bitmap(const u16* fileName, unsigned id, const u16* name) {
  if (!BeginCall()) return;
  Source src;
  if (!src.Open(fileName)) return;
  bool copied = src.size >= kBitmapFileHeader &&
                PutCopiedEntry(src, kBitmapFileHeader, src.size - kBitmapFileHeader, Ordinal(rt_bitmap),
                               IdOrName(id, name));
  src.Close();
  if (copied) CommitCall();
}

// An icon file's directory entry.
struct IconEntry {
  uint8_t width, height, colours, reserved;
  uint16_t planes, bitCount;
  uint32_t size, offset;
};

static IconEntry ReadIconEntry(const uint8_t* p) {
  return {p[0], p[1], p[2], p[3], Get16(p + 4), Get16(p + 6), Get32(p + 8), Get32(p + 12)};
}

// The group's bit count for an image: from its colour count; a colour count
// of 0 keeps the directory's own bit count when it names one.  0 for a
// colour count the group cannot express.
static uint16_t GroupBitCount(const IconEntry& e) {
  switch (e.colours) {
    case 0: return e.bitCount ? e.bitCount : 8;
    case 2: return 1;
    case 8:
    case 16: return 4;
    default: return 0;
  }
}

void gen_icon(const u16* fileName, unsigned id, const u16* name) {
  if (!BeginCall()) return;
  Source src;
  if (!src.Open(fileName)) return;
  Bytes& dir = g_writer.read;
  uint8_t head[6];
  bool ok = src.ReadAt(0, head, sizeof head);
  uint16_t count = ok ? Get16(head + 4) : 0;
  uint8_t* entries = ok && count ? dir.Grow(16u * count) : nullptr;
  ok = entries && src.ReadAt(6, entries, 16u * count);
  for (uint16_t i = 0; ok && i < count; ++i) {
    IconEntry e = ReadIconEntry(entries + 16 * i);
    ok = src.Holds(e.offset, e.size) && e.size <= kMaxData;
  }
  if (!ok) {
    src.Close();
    return;
  }
  // The images, each committed as it is written; the group after them.
  Bytes group;
  uint32_t groupSize = 6 + 14u * count;
  PutHeader(group, groupSize, Ordinal(rt_groupicon), IdOrName(id, name), kDiscardableMoveablePure);
  group.Raw(head, sizeof head);
  bool complete = true;
  for (uint16_t i = 0; i < count; ++i) {
    IconEntry e = ReadIconEntry(entries + 16 * i);
    uint16_t bits = GroupBitCount(e);
    if (!bits) {
      complete = false;
      break;
    }
    Bytes& out = g_writer.out;
    out.Clear();
    uint16_t ordinal = g_writer.nextIcon;
    PutHeader(out, e.size, Ordinal(rt_icon), Ordinal(ordinal), kDiscardableMoveablePure);
    if (!src.AppendTo(out, e.offset, e.size)) {
      complete = false;
      break;
    }
    out.Pad4();
    g_writer.nextIcon = static_cast<uint16_t>(ordinal + 1);
    CommitCall();
    group.U8(e.width);
    group.U8(e.height);
    group.U8(e.colours);
    group.U8(e.reserved);
    group.U16(1);
    group.U16(bits);
    group.U32(e.size);
    group.U16(ordinal);
  }
  src.Close();
  group.Pad4();
  if (complete && !group.failed) AddPendingGroup(group.data, group.size);
  group.Release();
}

constexpr uint64_t kCursorHotSpot = 10;
constexpr uint64_t kCursorImage = 22;
constexpr uint32_t kCursorImageBytes = 304;  // 32 x 32, two colours

void gen_cursor(const u16* fileName, unsigned id, const u16* name) {
  if (!BeginCall()) return;
  Source src;
  if (!src.Open(fileName)) return;
  Bytes& out = g_writer.out;
  uint16_t ordinal = g_writer.nextCursor;
  uint8_t hotSpot[4];
  bool ok = src.ReadAt(kCursorHotSpot, hotSpot, sizeof hotSpot) && src.Holds(kCursorImage, kCursorImageBytes);
  if (ok) {
    PutHeader(out, 4 + kCursorImageBytes, Ordinal(rt_cursor), Ordinal(ordinal), kDiscardableMoveable);
    out.Raw(hotSpot, sizeof hotSpot);
    ok = src.AppendTo(out, kCursorImage, kCursorImageBytes);
  }
  src.Close();
  if (!ok) return;
  PutHeader(out, 20, Ordinal(rt_groupcursor), IdOrName(id, name), kDiscardableMoveablePure);
  out.U16(0);
  out.U16(2);
  out.U16(1);
  out.U16(32);
  out.U16(64);
  out.U16(1);
  out.U16(1);
  out.U32(4 + kCursorImageBytes);
  out.U16(ordinal);
  out.Pad4();
  g_writer.nextCursor = static_cast<uint16_t>(ordinal + 1);
  CommitCall();
}

}  // namespace QelResource
