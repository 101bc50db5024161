// The header: the descriptor written and read field by field at the
// documented offsets.  Pointer fields and the file handle are written as 4
// zero bytes; the 8-bit variant's fields from the version on sit 8 bytes
// lower.
#include <cstring>

#include "db.h"

namespace chainDB::detail {

namespace {

const wchar_t kSignature[] = L"prolog";

struct Field {
  uint8_t* out;
  bool wide;
  uint8_t* at(uint32_t wideOffset) const { return out + (wide || wideOffset < 24 ? wideOffset : wideOffset - 8); }
  void u8(uint32_t o, uint8_t v) const { *at(o) = v; }
  void u32(uint32_t o, uint32_t v) const { Put32(at(o), v); }
  void stamp(uint32_t o, const Stamp& s) const {
    for (int i = 0; i < 3; ++i) u32(o + 4 * i, s.w[i]);
  }
  // {table, dirty, stamp, position}: the table pointer is 4 zero bytes.
  void group(uint32_t o, const TableGroup& g) const {
    u8(o + 4, g.dirty);
    stamp(o + 8, g.stamp);
    u32(o + 20, V(g.position));
  }
};

struct Reader {
  const uint8_t* in;
  bool wide;
  const uint8_t* at(uint32_t wideOffset) const {
    return in + (wide || wideOffset < 24 ? wideOffset : wideOffset - 8);
  }
  uint8_t u8(uint32_t o) const { return *at(o); }
  uint32_t u32(uint32_t o) const { return Get32(at(o)); }
  Stamp stamp(uint32_t o) const { return Stamp{{u32(o), u32(o + 4), u32(o + 8)}}; }
  void group(uint32_t o, TableGroup* g) const {
    g->dirty = u8(o + 4);
    g->stamp = stamp(o + 8);
    g->position = Pos{u32(o + 20)};
  }
};

}  // namespace

void EncodeHeader(const FILEDESCR* d, uint8_t* out) {
  memset(out, 0, HeaderSize(d));
  Field f{out, d->wide};
  f.u8(0, d->place);
  if (d->wide)
    for (int i = 0; i < 7; ++i) {
      out[8 + 2 * i] = static_cast<uint8_t>(kSignature[i]);
      out[9 + 2 * i] = 0;
    }
  else
    memcpy(out + 8, "prolog", 7);
  f.u32(24, d->version);
  f.u32(28, d->openFlags);
  f.u8(32, d->accessMode);
  f.u8(33, d->denyMode);
  f.u32(36, d->retryCount);
  f.u32(40, d->retryDelay);
  f.u8(44, d->readTransaction);
  f.u8(52, d->readerSlot);
  f.u8(53, d->tablesLoaded);
  f.u8(54, d->accessOpen);
  f.u8(55, d->updated);
  f.u32(60, d->drive);
  f.u8(64, d->updateMark);
  f.stamp(68, d->headerStamp);
  f.group(80, d->chainNames);
  f.group(104, d->chains);
  // The later groups keep the order table, position, dirty, stamp.
  f.u32(132, V(d->btreeNames.position));
  f.u8(136, d->btreeNames.dirty);
  f.stamp(140, d->btreeNames.stamp);
  f.u32(156, V(d->btrees.position));
  f.u8(160, d->btrees.dirty);
  f.stamp(164, d->btrees.stamp);
  f.u32(176, d->freeBtreeHead);
  f.u32(192, d->freeSelectorHead);
  f.u32(200, V(d->refs.position));
  f.u8(204, d->refs.dirty);
  f.stamp(208, d->refs.stamp);
  f.u8(220, d->refPaged);
  f.u32(224, d->refBlock);
  f.u32(228, d->refSlot);
  f.u32(232, V(d->refBlockPosition));
  f.u32(236, V(d->freeRefHead));
  f.u32(240, V(d->cachedRef));
  for (int i = 0; i < 3; ++i) f.u32(244 + 4 * i, d->cachedHead[i]);
  f.u32(260, V(d->freeSpace.position));
  f.u8(264, d->freeSpace.dirty);
  f.stamp(268, d->freeSpace.stamp);
  f.u32(280, d->termCount);
  f.u32(284, d->bytesInUse);
  f.u32(288, d->freeChainHead);
  f.u32(292, d->topClass);
  f.u8(296, d->noRefReuse);
  f.u8(297, d->blockCacheOn);
  f.u32(308, V(d->endOfFile));
}

void DecodeHeader(FILEDESCR* d, const uint8_t* in) {
  Reader r{in, d->wide};
  bool signature = d->wide ? memcmp(in + 8, "p\0r\0o\0l\0o\0g\0\0\0", 14) == 0
                           : memcmp(in + 8, "prolog", 7) == 0;
  uint32_t version = r.u32(24);
  bool known = version == kVersion || version == kVersion302;
  if (!signature || !known) Raise(known ? 1317 : 1326);
  d->version = version;
  d->tablesLoaded = r.u8(53);
  d->updateMark = r.u8(64);
  d->headerStamp = r.stamp(68);
  r.group(80, &d->chainNames);
  r.group(104, &d->chains);
  d->btreeNames.position = Pos{r.u32(132)};
  d->btreeNames.dirty = r.u8(136);
  d->btreeNames.stamp = r.stamp(140);
  d->btrees.position = Pos{r.u32(156)};
  d->btrees.dirty = r.u8(160);
  d->btrees.stamp = r.stamp(164);
  d->freeBtreeHead = r.u32(176);
  d->refs.position = Pos{r.u32(200)};
  d->refs.dirty = r.u8(204);
  d->refs.stamp = r.stamp(208);
  d->refPaged = r.u8(220);
  d->refBlock = r.u32(224);
  d->refSlot = r.u32(228);
  d->refBlockPosition = Pos{r.u32(232)};
  d->freeRefHead = Ref{r.u32(236)};
  // The head cache is only a shortcut: start empty.
  d->cachedRef = kNoRef;
  d->freeSpace.position = Pos{r.u32(260)};
  d->freeSpace.dirty = r.u8(264);
  d->freeSpace.stamp = r.stamp(268);
  d->termCount = r.u32(280);
  d->bytesInUse = r.u32(284);
  d->freeChainHead = r.u32(288);
  d->topClass = r.u32(292);
  d->noRefReuse = r.u8(296);
  d->endOfFile = Pos{r.u32(308)};
}

}  // namespace chainDB::detail
