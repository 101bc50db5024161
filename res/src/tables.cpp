// String tables, accelerator tables and version information built from
// lists.  Lists walked together must be of one length; every number that a
// field cannot hold (ids beyond 16 bits, strings beyond 65,535 characters,
// version lengths beyond 16 bits) refuses the whole call before anything is
// assembled.
#include <algorithm>

#include "writer.h"

namespace QelResource {

using namespace detail;

template <class List>
static uint64_t ListLength(const List* l) {
  uint64_t n = 0;
  for (; l && l->functor == ListCons; l = l->next) ++n;
  return n;
}

struct StringPair {
  uint32_t id;
  const u16* text;
};

// The (id, string) pairs sorted by id on the read buffer; null when the
// lists do not make a valid table.
static StringPair* SortedPairs(slist_struct* strings, ilist_struct* ids, uint64_t n) {
  auto* pairs = reinterpret_cast<StringPair*>(g_writer.read.Grow(n * sizeof(StringPair)));
  if (!pairs) return nullptr;
  for (uint64_t i = 0; i < n; ++i, strings = strings->next, ids = ids->next) {
    if (ids->value < 0 || ids->value > 0xFFFF || Length(strings->value) > 0xFFFF) return nullptr;
    pairs[i] = {static_cast<uint32_t>(ids->value), strings->value};
  }
  std::sort(pairs, pairs + n, [](const StringPair& a, const StringPair& b) { return a.id < b.id; });
  for (uint64_t i = 1; i < n; ++i)
    if (pairs[i].id == pairs[i - 1].id) return nullptr;
  return pairs;
}

static void PutCounted(Bytes& out, const u16* s) {
  size_t n = Length(s);
  out.U16(static_cast<uint16_t>(n));
  for (size_t i = 0; i < n; ++i) out.U16(s[i]);
}

void gen_strings(slist_struct* strings, ilist_struct* ids) {
  if (!BeginCall()) return;
  uint64_t n = ListLength(strings);
  if (n == 0 || n != ListLength(ids) || n > SIZE_MAX / sizeof(StringPair)) return;
  StringPair* pairs = SortedPairs(strings, ids, n);
  if (!pairs) return;
  Bytes& out = g_writer.out;
  // One entry per block of 16 ids: slot k holds id 16 * block + k.
  for (uint64_t i = 0; i < n;) {
    uint32_t block = pairs[i].id >> 4;
    size_t at = PutHeader(out, 0, Ordinal(rt_string), Ordinal(static_cast<uint16_t>(block + 1)),
                          kDiscardableMoveablePure);
    size_t start = out.size;
    for (uint32_t slot = 0; slot < 16; ++slot) {
      bool filled = i < n && pairs[i].id == block * 16 + slot;
      PutCounted(out, filled ? pairs[i].text : nullptr);
      if (filled) ++i;
    }
    uint64_t dataSize = out.size - start;
    if (dataSize > UINT32_MAX) return;
    out.Patch32(at, static_cast<uint32_t>(dataSize));
    out.Pad4();
  }
  CommitCall();
}

// The platform's key code for a key value of the GUI layer.
static uint16_t AcceleratorKey(intptr_t key) {
  if (key >= 65536) return static_cast<uint16_t>(key);
  switch (key) {
    case 127: return 46;   // delete
    case 301: return 38;   // up
    case 302: return 40;   // down
    case 303: return 39;   // right
    case 304: return 37;   // left
    case 305: return 33;   // page up
    case 306: return 34;   // page down
    case 307: return 36;   // home
    case 308: return 35;   // end
    case 309: return 36;   // home
    case 310: return 35;   // end
    case 312: return 45;   // insert
    case 313: return 37;   // left
    case 314: return 39;   // right
    case 315: return 8;    // backspace
    case 316: return 47;   // help
    case 317: return 12;   // clear
    default: return static_cast<uint16_t>(key);
  }
}

void gen_accel(int id, ilist_struct* modifiers, ilist_struct* keys, ilist_struct* commands) {
  if (!BeginCall()) return;
  uint64_t n = ListLength(keys);
  if (n == 0 || n != ListLength(modifiers) || n != ListLength(commands) || 8 * n > UINT32_MAX) return;
  Bytes& out = g_writer.out;
  PutHeader(out, static_cast<uint32_t>(8 * n), Ordinal(rt_accelerator), Ordinal(static_cast<uint16_t>(id)),
            kMoveablePure);
  for (uint64_t i = 0; i < n; ++i, modifiers = modifiers->next, keys = keys->next, commands = commands->next) {
    uint16_t flags = 1;  // virtual key
    if (modifiers->value & 1) flags |= 4;
    if (modifiers->value & 2) flags |= 8;
    if (modifiers->value & 4) flags |= 16;
    if (i + 1 == n) flags |= 0x80;
    out.U16(flags);
    out.U16(AcceleratorKey(keys->value));
    out.U16(static_cast<uint16_t>(commands->value));
    out.U16(0);
  }
  CommitCall();
}

// Version information: lengths of the nested blocks, in bytes.
struct VersionSizes {
  uint64_t stringFileInfo;  // S, padding of its last pair included
  uint64_t varFileInfo;     // V
  bool endsPadded;          // S ends with a pair's padding
};

static uint64_t PairLength(const versioninfo_pair* p) {
  uint64_t keyPart = 2 * Length(p ? p->key : nullptr) + 8;
  return keyPart + keyPart % 4 + 2 * Length(p ? p->value : nullptr) + 2;
}

// The bytes a string table takes: its length field, and whether padding follows.
static uint64_t TableLength(const versioninfo_block* b, bool* endsPadded) {
  uint64_t length = 24;
  *endsPadded = false;
  for (versioninfo_pairlist* l = b ? b->pairs : nullptr; l && l->functor == ListCons; l = l->next) {
    if (*endsPadded) length += 2;
    length += PairLength(l->value);
    *endsPadded = length % 4 != 0;
  }
  return length;
}

static VersionSizes MeasureVersion(versioninfo_blocklist* blocks) {
  VersionSizes s{36, 64, false};
  for (versioninfo_blocklist* l = blocks; l && l->functor == ListCons; l = l->next) {
    bool padded;
    uint64_t table = TableLength(l->value, &padded);
    s.varFileInfo += 4;
    s.stringFileInfo += table + (padded ? 2 : 0);
    s.endsPadded = padded;
  }
  return s;
}

static void PutBlockHead(Bytes& out, uint64_t length, uint64_t valueLength, uint16_t type, const u16* key) {
  out.U16(static_cast<uint16_t>(length));
  out.U16(static_cast<uint16_t>(valueLength));
  out.U16(type);
  out.String(key);
  out.Pad4();
}

static void PutStringTable(Bytes& out, const versioninfo_block* b) {
  bool padded;
  uint64_t length = TableLength(b, &padded);
  u16 key[9];
  static const char kHex[] = "0123456789abcdef";
  uint32_t code = uint32_t{b ? b->language : 0u} << 16 | (b ? b->codePage : 0u);
  for (int i = 0; i < 8; ++i) key[i] = kHex[code >> (28 - 4 * i) & 15];
  key[8] = 0;
  PutBlockHead(out, length, 0, 1, key);
  for (versioninfo_pairlist* l = b ? b->pairs : nullptr; l && l->functor == ListCons; l = l->next) {
    const versioninfo_pair* p = l->value;
    const u16* value = p ? p->value : nullptr;
    PutBlockHead(out, PairLength(p), Length(value) + 1, 1, p ? p->key : nullptr);
    out.String(value);
    out.Pad4();
  }
}

void gen_versioninfo(HEAD_VERSIONINFO* head, versioninfo_blocklist* blocks) {
  if (!BeginCall() || !head || ListLength(blocks) == 0) return;
  VersionSizes s = MeasureVersion(blocks);
  uint64_t total = 92 + s.stringFileInfo + s.varFileInfo;
  if (total > 0xFFFF) return;
  Bytes& out = g_writer.out;
  PutHeader(out, static_cast<uint32_t>(total), Ordinal(rt_version), Ordinal(1), kMoveablePure);
  size_t start = out.size;
  PutBlockHead(out, total, 52, 0, L"VS_VERSION_INFO");
  const uint32_t fixed[13] = {0xFEEF04BD, 0x10000, head->fileVersionHigh, head->fileVersionLow,
                              head->productVersionHigh, head->productVersionLow, 0x3F, head->fileFlags,
                              head->fileOS, head->fileType, head->fileSubtype, 0, 0};
  for (uint32_t v : fixed) out.U32(v);
  PutBlockHead(out, s.stringFileInfo - (s.endsPadded ? 2 : 0), 0, 1, L"StringFileInfo");
  for (versioninfo_blocklist* l = blocks; l && l->functor == ListCons; l = l->next) PutStringTable(out, l->value);
  PutBlockHead(out, s.varFileInfo, 0, 1, L"VarFileInfo");
  PutBlockHead(out, s.varFileInfo - 32, s.varFileInfo - 64, 0, L"Translation");
  for (versioninfo_blocklist* l = blocks; l && l->functor == ListCons; l = l->next) {
    out.U16(l->value ? l->value->language : 0);
    out.U16(l->value ? l->value->codePage : 0);
  }
  if (out.size - start != total) return;  // the measure and the bytes disagree: write nothing
  CommitCall();
}

}  // namespace QelResource
