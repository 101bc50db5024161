// Binary images of terms.  The writer lays each term out again from its
// domain in the 32-bit layout; the reader rebuilds the 64-bit term from the
// image and the domain and trusts nothing in the image.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "dbhooks.h"
#include "dbinternal.h"
#include "../src/levels.h"

namespace Qel::RunTime::Terms {

using namespace Kernel;
using namespace DBInternal::detail;
using RunTime::detail::LevelStack;

namespace {

constexpr uint32_t kNoCodePage = kUtf16Image;

inline uint64_t Align4(uint64_t n) { return (n + 3) & ~uint64_t{3}; }
inline uint64_t Align8(uint64_t n) { return (n + 7) & ~uint64_t{7}; }

inline uint32_t Get32(const uint8_t* p) {
  uint32_t v;
  memcpy(&v, p, 4);
  return v;
}
inline void Put32(uint8_t* p, uint32_t v) { memcpy(p, &v, 4); }

inline bool IsPointerValue(uint32_t kind) {
  return kind == kPointer || kind == kObject || kind == kPointerLike || kind == kRefPointer ||
         kind == kRefObject;
}

inline bool IsRef(uint32_t kind) { return BaseOf(kind) != 0; }
inline bool IsCompoundKind(uint32_t k) {
  return k == kCompound || k == kList || k == kSingleCompound || k == kPredicateValue ||
         k == kClassFacts || k == kObjectFacts;
}
inline bool HasWord(uint32_t k) { return k != kSingleCompound && k != kPredicateValue; }

// Bytes of a scalar value in the image (32-bit layout).
uint32_t ImageValueSize(uint32_t kind, const IDomainDefinition* d) {
  if (IsPointerValue(kind)) return 4;
  return d->ValueSize();
}

// Where one argument of a functor lies in the memory block and in the image.
struct ArgPlace {
  const IDomainDefinition* d;
  uint32_t kind;
  uint32_t mem;      // offset in the memory block
  uint32_t img;      // offset in the image block
  bool scalar;
  bool packed;       // one byte (code-page flavour)
};

constexpr uint32_t kMaxArgs = 255;
constexpr uint32_t kSmallArgs = 12;

// Room for the places of f's arguments: the caller's small array, or the heap.
ArgPlace* Places(const RFunctor& f, ArgPlace* small) {
  if (f.argCount <= kSmallArgs) return small;
  return static_cast<ArgPlace*>(Memory::AllocAtomicHeap(sizeof(ArgPlace) * f.argCount));
}

// Lays out functor f of a compound domain of kind k for the flavour; the
// index of the last boxed argument, -1 when there is none.
int LayOut(const RFunctor& f, uint32_t k, bool codePage, ArgPlace* out, uint32_t* imageSize) {
  if (f.argCount > kMaxArgs)
    Errors::InternalError(L"A functor with %u arguments", static_cast<unsigned>(f.argCount));
  uint32_t start = HasWord(k) ? 4 : 0, at = start, mem = 0, widest = 0;
  int last = -1;
  for (uint32_t i = 0; i < f.argCount; ++i) {
    ArgPlace& a = out[i];
    a.d = reinterpret_cast<const IDomainDefinition*>(f.args[i].domain);
    a.kind = KindOf(a.d);
    mem += f.args[i].offset;
    a.mem = mem;
    a.scalar = a.d->IsScalar();
    if (!a.scalar) last = static_cast<int>(i);
    a.packed = false;
    uint32_t width = a.scalar ? ImageValueSize(a.kind, a.d) : 4;
    a.img = at;
    at += static_cast<uint32_t>(Align4(width));
    uint32_t w = !a.scalar || width > 3 ? 4 : a.kind == kChar ? 1 : width;
    widest = std::max(widest, w);
  }
  *imageSize = std::max<uint32_t>(at, 4);
  if (!codePage) return last;
  if (widest == 1) {
    for (uint32_t i = 0; i < f.argCount; ++i) {
      out[i].img = start + i;
      out[i].packed = true;
    }
    *imageSize = start + f.argCount;
  } else if (f.argCount && out[f.argCount - 1].kind == kChar) {
    *imageSize -= 1;
  }
  return last;
}

// The functor entry n (from 1) of a compound or fact domain.
const RFunctor& FunctorAt(const IDomainDefinition* d, uint32_t k, uint32_t n) {
  auto* c = reinterpret_cast<const RCompoundDomain*>(d);
  if (k == kClassFacts || k == kObjectFacts)
    return *reinterpret_cast<const RFunctor*>(reinterpret_cast<const uint8_t*>(c->functors) +
                                              sizeof(DBInternal::RFactDescriptor) * (n - 1));
  return c->functors[n - 1];
}
uint32_t FunctorCountOf(const IDomainDefinition* d) {
  return reinterpret_cast<const RCompoundDomain*>(d)->functorCount;
}
uint32_t MemNumber(uint32_t k, const uint8_t* t) {
  if (!HasWord(k)) return 1;
  uint64_t w;
  memcpy(&w, t, 8);
  return k == kList ? static_cast<uint32_t>(w & 0xFF) : static_cast<uint32_t>(w);
}
const uint8_t* LoadPtr(const uint8_t* p) {
  const uint8_t* v;
  memcpy(&v, p, 8);
  return v;
}

bool ProducesPointers(uint32_t k, bool codePage) {
  if (IsCompoundKind(k)) return true;
  uint32_t base = BaseOf(k);
  if (!base) return false;
  return codePage || !ValueInCell(base);
}

// --- Writer ---------------------------------------------------------------------------------

struct Emitter {
  uint32_t codePage;   // kNoCodePage: UTF-16 flavour
  uint64_t pos = 0;    // running size / write position
  uint32_t count = 0;  // pointer slots
  uint8_t* out = nullptr;     // null in the size pass
  uint8_t* table = nullptr;
  bool CP() const { return codePage != kNoCodePage; }
};

// A pointer slot at image offset `slot` to the block placed next (`header`
// bytes into it), and its table entry.
void EmitSlot(uint64_t slot, uint32_t header, Emitter& e) {
  if (!e.CP()) e.pos = Align4(e.pos);
  if (e.out) {
    Put32(e.out + slot, static_cast<uint32_t>(e.pos + header));
    Put32(e.table + 4 * e.count, static_cast<uint32_t>(slot));
  }
  ++e.count;
}

void EmitScalar(uint32_t k, const IDomainDefinition* d, const uint8_t* value, uint8_t* at,
                bool packed, const Emitter& e) {
  if (IsPointerValue(k)) return;  // written as 0
  if (k == kChar && e.CP()) {
    wchar_t c;
    memcpy(&c, value, 2);
    char b[2] = {0, 0};
    if (OSInterface::OSCharConvertUnicodeToANSI(c, b, e.codePage) != 1)
      Errors::SystemAPIError("Kernel::OSInterface::OSCharConvertUnicodeToANSI from RHtoBinary::EmitChar");
    *at = static_cast<uint8_t>(b[0]);
    return;
  }
  memcpy(at, value, packed ? 1 : d->ValueSize());
}

uint32_t CodePageLength(const wchar_t* s, uint32_t cp) {
  int n = WideCharToMultiByte(cp, 0, s, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0) Errors::SystemAPIError("WideCharToMultiByte from RHtoBinary::EmitString");
  return static_cast<uint32_t>(n);
}

// A compound whose boxed arguments are being emitted: its layout (`count`
// places from `places` in the place stack), the next argument to look at.
struct EmitLevel {
  const uint8_t* t;
  uint64_t start;
  uint32_t places, count;
  int last, i;
};

// Lays out and writes the block of compound (d, k, t) with its scalars; a
// level for its boxed arguments when it has any.
void EnterCompound(const IDomainDefinition* d, uint32_t k, const uint8_t* t, Emitter& e,
                   LevelStack<EmitLevel>& levels, LevelStack<ArgPlace>& places) {
  if (!e.CP()) e.pos = Align4(e.pos);
  uint32_t n = MemNumber(k, t);
  if (n < 1 || n > FunctorCountOf(d))
    Errors::InternalError(L"Functor %u out of range in the domain '%s'", n, d->QualifiedName());
  const RFunctor& f = FunctorAt(d, k, n);
  if (f.argCount > kMaxArgs)
    Errors::InternalError(L"A functor with %u arguments", static_cast<unsigned>(f.argCount));
  uint32_t first = places.PushN(f.argCount);
  ArgPlace* p = &places.At(first);
  uint32_t size;
  int last = LayOut(f, k, e.CP(), p, &size);
  uint64_t start = e.pos;
  bool emptyList = k == kList && f.argCount == 0 && e.CP();
  if (emptyList) size = 1;
  e.pos += size;
  if (e.out) {
    uint8_t* b = e.out + start;
    memset(b, 0, size);
    if (emptyList) b[0] = static_cast<uint8_t>(n);
    else if (HasWord(k)) Put32(b, n);
    for (uint32_t i = 0; i < f.argCount; ++i)
      if (p[i].scalar) EmitScalar(p[i].kind, p[i].d, t + p[i].mem, b + p[i].img, p[i].packed, e);
  }
  if (last < 0) places.Pop(f.argCount);
  else levels.Push() = {t, start, first, f.argCount, last, 0};
}

// The next boxed argument of the innermost pending compound, its slot
// emitted: false when none is left.  A level goes with its last boxed
// argument, so a spine of last arguments needs one level.
bool NextBoxed(LevelStack<EmitLevel>& levels, LevelStack<ArgPlace>& places, Emitter& e,
               const IDomainDefinition*& d, uint32_t& k, const uint8_t*& t) {
  while (!levels.Empty()) {
    EmitLevel& top = levels.Top();
    while (top.i <= top.last) {
      ArgPlace a = places.At(top.places + static_cast<uint32_t>(top.i++));
      if (a.scalar) continue;
      EmitSlot(top.start + a.img, a.kind == kBinary ? 4 : 0, e);
      d = a.d;
      k = a.kind;
      t = LoadPtr(top.t + a.mem);
      if (top.i > top.last) {
        places.Pop(top.count);
        levels.Pop();
      }
      return true;
    }
    places.Pop(top.count);
    levels.Pop();
  }
  return false;
}

// A block that holds no pointer of its own: texts, binaries, scalars.
void EmitLeaf(const IDomainDefinition* d, uint32_t k, const uint8_t* t, Emitter& e) {
  switch (k) {
    case kString:
    case kSymbol: {
      auto* s = reinterpret_cast<const wchar_t*>(t);
      if (e.CP()) {
        uint32_t n = CodePageLength(s, e.codePage);
        if (e.out && WideCharToMultiByte(e.codePage, 0, s, -1, reinterpret_cast<char*>(e.out + e.pos),
                                         static_cast<int>(n), nullptr, nullptr) != static_cast<int>(n))
          Errors::SystemAPIError("WideCharToMultiByte from RHtoBinary::EmitString");
        e.pos += n;
      } else {
        uint64_t n = 2 * wcslen(s) + 2;
        if (e.out) memcpy(e.out + e.pos, s, n);
        e.pos += n;
      }
      return;
    }
    case kString8: {
      uint64_t n = strlen(reinterpret_cast<const char*>(t)) + 1;
      if (e.out) memcpy(e.out + e.pos, t, n);
      e.pos += n;
      return;
    }
    case kBinary: {
      uint32_t n = Get32(t - 4);
      if (e.out) memcpy(e.out + e.pos, t - 4, n);
      e.pos += n;
      return;
    }
    case kAnyDomain:
    case kTermDomain:
    case 0: Errors::InternalError(L"TDomainDefinition::BinarySize");
    default: {  // scalars
      uint32_t n = (k == kChar && e.CP()) ? 1 : ImageValueSize(k, d);
      if (e.out) {
        memset(e.out + e.pos, 0, n);
        EmitScalar(k, d, t, e.out + e.pos, false, e);
      }
      e.pos += n;
    }
  }
}

// The block of (d, k, t) and every block it points to, depth first: each
// block, then the blocks of its boxed arguments in order.  Pending levels
// are kept in explicit stacks, so any depth needs no more machine stack.
void EmitBlock(const IDomainDefinition* d, uint32_t k, const uint8_t* t, Emitter& e) {
  LevelStack<EmitLevel> levels;
  LevelStack<ArgPlace> places;
  for (;;) {
    if (IsCompoundKind(k)) {
      EnterCompound(d, k, t, e, levels, places);
    } else if (uint32_t base = BaseOf(k)) {
      const RRefCell* c = Deref(t);
      if ((c->tag & 0xFF) != 1) Raise(328);
      if (!e.CP()) e.pos = Align4(e.pos);
      uint64_t start = e.pos;
      uint32_t size = base == kReal ? 12 : 8;
      e.pos += size;
      if (e.out) {
        memset(e.out + start, 0, size);
        Put32(e.out + start, 1);
      }
      if (ValueInCell(base)) {
        if (e.out && !IsPointerValue(base)) memcpy(e.out + start + 4, &c->value, size - 4);
      } else {
        // The bound value's block follows the cell.
        EmitSlot(start + 4, base == kBinary ? 4 : 0, e);
        k = base;
        t = reinterpret_cast<const uint8_t*>(c->value);
        continue;
      }
    } else {
      EmitLeaf(d, k, t, e);
    }
    if (!NextBoxed(levels, places, e, d, k, t)) return;
  }
}

// The passes run through the domain's slots (BinarySize, BinaryEmit), which
// come back to EmitBlock.
TBinary Write(const IDomainDefinition* d, const uint8_t* t, uint32_t codePage) {
  RHtoBinary e{0, codePage, 0, nullptr, nullptr, false};
  d->BinarySize(t, &e);
  bool table = e.hasPointerTable;
  uint64_t data = e.position, total = data + (table ? 4ull * (e.pointerCount + 1) : 0);
  if (total > 0x7FFFFFF0ull) Errors::InternalError(L"A binary image of %llu bytes", total);
  auto* block = static_cast<uint8_t*>(Memory::AllocAtomicHeap(static_cast<uint32_t>(total + 4)));
  // Alignment gaps are never written: every byte starts as zero, so one term
  // gives one image and no old heap bytes reach it.
  memset(block, 0, total + 4);
  Put32(block, static_cast<uint32_t>(total + 4));
  RHtoBinary w{0, codePage, 0, block + 4, block + 4 + data, table};
  d->BinaryEmit(t, &w);
  if (w.position != data || w.pointerCount != e.pointerCount)
    Errors::InternalError(L"The image of a term of the domain '%s' changed its size", d->QualifiedName());
  if (table) Put32(w.table + 4 * w.pointerCount, w.pointerCount);
  return block + 4;
}

Emitter FromState(const RHtoBinary& h) {
  Emitter e{h.codePage};
  e.pos = h.position;
  e.count = h.pointerCount;
  e.out = h.out;
  e.table = h.table;
  return e;
}

// --- Reader -----------------------------------------------------------------------------------

struct Reader {
  const IDomainDefinition* top;
  const uint8_t* img;   // the image's data
  uint32_t flat;        // bytes of block data
  uint32_t codePage;
  const uint8_t* table; // image's table (count entries)
  uint32_t count;
  // Canonical images list their slots in visiting order and place every
  // block behind all blocks read before it; others are checked against the
  // sorted table, each slot once, with the block bytes bounded by the data.
  bool canonical;
  bool abort;
  uint32_t visited;
  uint64_t frontier;
  uint32_t* sorted;
  uint8_t* used;
  uint64_t budget;
  // Building.
  uint8_t* mem;
  uint64_t memPos;
  uintptr_t stackFloor;

  bool CP() const { return codePage != kNoCodePage; }
  bool Building() const { return mem != nullptr; }
};

[[noreturn]] void Bad(const Reader& r) {
  Raise(304, r.top->QualifiedName(),
        r.img ? Errors::PrepareBinaryForErrorMessage(r.img) : L"");
}

inline void Need(const Reader& r, uint64_t at, uint64_t n) {
  if (at > r.flat || n > r.flat - at) Bad(r);
}

uint8_t* Take(Reader& r, uint64_t n) {
  uint64_t at = r.memPos;
  r.memPos += Align8(n ? n : 8);
  return r.mem ? r.mem + at : nullptr;
}

// The bytes of the 8-bit text at `at`, its terminating zero included.
uint64_t TextBytes(const Reader& r, uint64_t at) {
  const void* z = memchr(r.img + at, 0, at < r.flat ? r.flat - at : 0);
  if (!z) Bad(r);
  return static_cast<const uint8_t*>(z) - (r.img + at) + 1;
}

// A block of `size` bytes at `at` is read.
bool Block(Reader& r, uint64_t at, uint64_t size) {
  if (r.canonical) {
    if (at < r.frontier) {
      r.abort = true;
      return false;
    }
    r.frontier = at + size;
  } else {
    if (size > r.budget) Bad(r);
    r.budget -= size;
  }
  return true;
}

// The slot at image offset `at` is followed.
bool Slot(Reader& r, uint32_t at) {
  if (r.canonical) {
    if (r.visited >= r.count || Get32(r.table + 4 * r.visited) != at) {
      r.abort = true;
      return false;
    }
    ++r.visited;
    return true;
  }
  uint32_t* p = std::lower_bound(r.sorted, r.sorted + r.count, at);
  if (p == r.sorted + r.count || *p != at) Bad(r);
  uint8_t& u = r.used[p - r.sorted];
  if (u) Bad(r);
  u = 1;
  ++r.visited;
  return true;
}

void CheckStack(const Reader& r) {
  if (reinterpret_cast<uintptr_t>(__builtin_frame_address(0)) < r.stackFloor) Bad(r);
}

const uint8_t* ReadBlock(Reader& r, const IDomainDefinition* d, uint32_t k, uint64_t at);

// Follows the slot at image offset `slot`; the term it points to.
const uint8_t* ReadPointed(Reader& r, const IDomainDefinition* d, uint32_t k, uint64_t slot) {
  if (!Slot(r, static_cast<uint32_t>(slot))) return nullptr;
  uint32_t target = Get32(r.img + slot);
  uint32_t header = k == kBinary ? 4 : 0;
  if (target < header) Bad(r);
  return ReadBlock(r, d, k, target - header);
}

void ReadScalar(Reader& r, uint32_t k, const IDomainDefinition* d, const uint8_t* src, uint8_t* dst,
                bool packed) {
  if (!dst) return;
  if (IsPointerValue(k)) return;  // stays 0
  if (k == kChar && r.CP()) {
    char b[2] = {static_cast<char>(*src), 0};
    wchar_t w[4] = {};
    if (MultiByteToWideChar(r.codePage, 0, b, 2, w, 4) != 2)
      Errors::SystemAPIError("MultiByteToWideChar");
    memcpy(dst, w, 2);
    return;
  }
  memcpy(dst, src, packed ? 1 : d->ValueSize());
}

const uint8_t* ReadCompound(Reader& r, const IDomainDefinition* d, uint32_t k, uint64_t at) {
  ArgPlace small[kSmallArgs];
  const uint8_t* first = nullptr;
  uint8_t* tailSlot = nullptr;  // memory word that receives the next block
  for (;;) {
    CheckStack(r);
    Control::PollUserBreak();
    uint32_t n;
    bool emptyList = false;
    if (!HasWord(k)) {
      n = 1;
    } else if (k == kList && r.CP()) {
      Need(r, at, 1);
      if (r.img[at] == 2) {
        n = 2;
        emptyList = true;
      } else {
        Need(r, at, 4);
        n = Get32(r.img + at);
      }
    } else {
      Need(r, at, 4);
      n = Get32(r.img + at);
    }
    if (n < 1 || n > FunctorCountOf(d)) Bad(r);
    const RFunctor& f = FunctorAt(d, k, n);
    if (emptyList && f.argCount) Bad(r);
    ArgPlace* places = Places(f, small);
    uint32_t size;
    int last = LayOut(f, k, r.CP(), places, &size);
    if (emptyList) size = 1;
    Need(r, at, size);
    if (!Block(r, at, size)) return nullptr;
    const uint8_t* src = r.img + at;
    uint8_t* block;
    if (f.argCount == 0 && HasWord(k) && n < 257) {
      block = const_cast<uint8_t*>(static_cast<const uint8_t*>(Memory::MEM_alloc_nullfunctor(4 * n)));
    } else {
      block = Take(r, f.blockSize);
      if (block) {
        memset(block, 0, Align8(f.blockSize ? f.blockSize : 8));
        if (HasWord(k)) {
          uint64_t w = n;
          memcpy(block, &w, 8);
        }
      }
    }
    if (r.Building()) {
      if (tailSlot) memcpy(tailSlot, &block, 8);
      else first = block;
    }
    uint8_t* memBlock = r.Building() ? block : nullptr;
    for (uint32_t i = 0; i < f.argCount; ++i)
      if (places[i].scalar)
        ReadScalar(r, places[i].kind, places[i].d, src + places[i].img,
                   memBlock ? memBlock + places[i].mem : nullptr, places[i].packed);
    bool more = false;
    for (int i = 0; i <= last; ++i) {
      const ArgPlace& a = places[i];
      if (a.scalar) continue;
      if (i == last && a.d == d && a.kind == k) {
        if (!Slot(r, static_cast<uint32_t>(at + a.img))) return nullptr;
        tailSlot = memBlock ? memBlock + a.mem : nullptr;
        at = Get32(src + a.img);
        more = true;
      } else {
        const uint8_t* arg = ReadPointed(r, a.d, a.kind, at + a.img);
        if (r.abort) return nullptr;
        if (memBlock) memcpy(memBlock + a.mem, &arg, 8);
      }
    }
    if (!more) return first;
  }
}

const uint8_t* ReadBlock(Reader& r, const IDomainDefinition* d, uint32_t k, uint64_t at) {
  CheckStack(r);
  if (IsCompoundKind(k)) return ReadCompound(r, d, k, at);
  if (uint32_t base = BaseOf(k)) {
    uint32_t size = base == kReal ? 12 : 8;
    Need(r, at, size);
    if (Get32(r.img + at) != 1) Bad(r);
    if (!Block(r, at, size)) return nullptr;
    auto* cell = reinterpret_cast<RRefCell*>(Take(r, 16));
    if (cell) *cell = RRefCell{1, 0};
    if (ValueInCell(base)) {
      if (cell && !IsPointerValue(base)) memcpy(&cell->value, r.img + at + 4, size - 4);
      return reinterpret_cast<const uint8_t*>(cell);
    }
    const uint8_t* v = ReadPointed(r, d, base == kRefCompound ? kCompound : base, at + 4);
    if (cell) cell->value = reinterpret_cast<uint64_t>(v);
    return reinterpret_cast<const uint8_t*>(cell);
  }
  switch (k) {
    case kString:
    case kSymbol: {
      if (r.CP()) {
        uint64_t bytes = TextBytes(r, at);
        if (!Block(r, at, bytes)) return nullptr;
        auto* s = reinterpret_cast<const char*>(r.img + at);
        int units = bytes == 1 ? 1 : MultiByteToWideChar(r.codePage, 0, s, -1, nullptr, 0);
        if (units <= 0) Errors::SystemAPIError("MultiByteToWideChar");
        auto* w = reinterpret_cast<wchar_t*>(Take(r, 2ull * units));
        if (!w) return nullptr;
        if (MultiByteToWideChar(r.codePage, 0, s, -1, w, units) != units)
          Errors::SystemAPIError("MultiByteToWideChar");
        return k == kSymbol ? reinterpret_cast<const uint8_t*>(Insert2SymbolTable(w))
                            : reinterpret_cast<const uint8_t*>(w);
      }
      Need(r, at, 2);
      uint64_t end = at;
      for (;; end += 2) {
        Need(r, end, 2);
        if (r.img[end] == 0 && r.img[end + 1] == 0) break;
      }
      uint64_t bytes = end + 2 - at;
      if (!Block(r, at, bytes)) return nullptr;
      auto* w = Take(r, bytes);
      if (!w) return nullptr;
      memcpy(w, r.img + at, bytes);
      return k == kSymbol
                 ? reinterpret_cast<const uint8_t*>(Insert2SymbolTable(reinterpret_cast<wchar_t*>(w)))
                 : w;
    }
    case kString8: {
      uint64_t bytes = TextBytes(r, at);
      if (!Block(r, at, bytes)) return nullptr;
      auto* s = Take(r, bytes);
      if (s) memcpy(s, r.img + at, bytes);
      return s;
    }
    case kBinary: {
      Need(r, at, 4);
      uint32_t n = Get32(r.img + at);
      if (n < 4) Bad(r);
      Need(r, at, n);
      if (!Block(r, at, n)) return nullptr;
      auto* b = Take(r, n);
      if (!b) return nullptr;
      memcpy(b, r.img + at, n);
      return b + 4;
    }
    case kAnyDomain:
    case kTermDomain:
    case 0: Errors::InternalError(L"TDomainDefinition::BinaryRead");
    default: {  // scalars: only at the top
      uint32_t n = (k == kChar && r.CP()) ? 1 : ImageValueSize(k, d);
      if (at != 0 || r.flat != n) Bad(r);
      if (!Block(r, at, n)) return nullptr;
      auto* v = Take(r, d->ValueSize());
      if (v) {
        memset(v, 0, Align8(d->ValueSize()));
        ReadScalar(r, k, d, r.img + at, v, false);
      }
      return v;
    }
  }
}

const uint8_t* Pass(Reader& r) {
  r.abort = false;
  r.visited = 0;
  r.frontier = 0;
  r.budget = r.flat;
  r.memPos = 0;
  if (r.used) memset(r.used, 0, r.count);
  return ReadBlock(r, r.top, KindOf(r.top), 0);
}

const uint8_t* Read(const IDomainDefinition* d, const uint8_t* binary, uint32_t codePage) {
  Reader r{};
  r.top = d;
  r.img = binary;
  r.codePage = codePage;
  r.stackFloor = RunTime::detail::ReaderStackFloor();
  uint32_t length = binary ? Get32(binary - 4) : 0;
  if (length <= 4) Bad(r);
  uint32_t total = length - 4;
  if (ProducesPointers(KindOf(d), r.CP())) {
    if (total < 4) Bad(r);
    r.count = Get32(binary + total - 4);
    if (r.count > (total - 4) / 4) Bad(r);
    r.flat = total - 4 - 4 * r.count;
    r.table = binary + r.flat;
  } else {
    r.flat = total;
  }
  // Measure (and check) first, then build into one heap block.
  r.canonical = true;
  Pass(r);
  if (r.abort || r.visited != r.count) {
    r.canonical = false;
    r.sorted = static_cast<uint32_t*>(Memory::AllocAtomicHeap(4 * r.count + 4));
    r.used = static_cast<uint8_t*>(Memory::AllocAtomicHeap(r.count + 1));
    memcpy(r.sorted, r.table, 4ull * r.count);
    std::sort(r.sorted, r.sorted + r.count);
    for (uint32_t i = 1; i < r.count; ++i)
      if (r.sorted[i] == r.sorted[i - 1]) Bad(r);
    Pass(r);
    if (r.visited != r.count) Bad(r);
  }
  r.mem = static_cast<uint8_t*>(Memory::AllocHeap(RunTime::detail::CheckedSize(std::max<uint64_t>(r.memPos, 8))));
  const uint8_t* t = Pass(r);
  if (r.sorted) {
    Memory::ReleaseHeap(r.sorted);
    Memory::ReleaseHeap(r.used);
  }
  return t;
}

}  // namespace

uint32_t KindOf(const IDomainDefinition* d) {
  // The kinds' method tables, sorted for a binary search.
  struct Entry {
    uintptr_t table;
    uint32_t kind;
  };
  struct Sorted {
    Entry e[kDomainKinds];
    uint32_t n = 0;
    Sorted() {
      const uintptr_t* t = BuildDomainClassTable();
      for (uint32_t k = 1; k < kDomainKinds; ++k) {
        bool seen = false;  // the two placeholders share a table: the first wins
        for (uint32_t i = 0; i < n; ++i) seen = seen || e[i].table == t[k];
        if (!seen && t[k]) e[n++] = {t[k], k};
      }
      std::sort(e, e + n, [](const Entry& a, const Entry& b) { return a.table < b.table; });
    }
  };
  static const Sorted sorted;
  uintptr_t word = d->Record()->kind;
  const Entry* p = std::lower_bound(sorted.e, sorted.e + sorted.n, word,
                                    [](const Entry& a, uintptr_t w) { return a.table < w; });
  return p != sorted.e + sorted.n && p->table == word ? p->kind : 0;
}

TBinary ToBinary(const IDomainDefinition* d, term t) { return Write(d, t, kNoCodePage); }
TBinary ToBinaryCodePage(const IDomainDefinition* d, term t, uint32_t codePage) {
  return Write(d, t, codePage);
}
term FromBinary(const IDomainDefinition* d, const uint8_t* binary) {
  uint32_t length = binary ? Get32(binary - 4) : 0;
  RBinaryReader r{kNoCodePage, d, false, length > 4 ? length - 4 : 0, 0, binary};
  d->BinaryPrepareRead(binary, &r);
  return d->BinaryReadFinish(d->BinaryRead(binary, &r));
}
term FromBinaryCodePage(const IDomainDefinition* d, const uint8_t* binary, uint32_t codePage) {
  uint32_t length = binary ? Get32(binary - 4) : 0;
  RBinaryReader r{codePage, d, false, length > 4 ? length - 4 : 0, 0, binary};
  return d->BinaryReadFinish(d->BinaryReadCodePage(&r));
}

}  // namespace Qel::RunTime::Terms

namespace Qel::RunTime::detail {

using Terms::KindOf;

void ImageSize(const IDomainDefinition* d, const uint8_t* t, RHtoBinary* h) {
  Terms::Emitter e = Terms::FromState(*h);
  e.out = nullptr;
  Terms::EmitBlock(d, KindOf(d), t, e);
  h->position = e.pos;
  h->pointerCount = e.count;
  if (Terms::ProducesPointers(KindOf(d), e.CP())) h->hasPointerTable = true;
}

void ImageEmit(const IDomainDefinition* d, const uint8_t* t, RHtoBinary* h) {
  Terms::Emitter e = Terms::FromState(*h);
  Terms::EmitBlock(d, KindOf(d), t, e);
  h->position = e.pos;
  h->pointerCount = e.count;
}

void ImagePrepareRead(const IDomainDefinition* d, RBinaryReader* r) {
  r->hasPointerTable = Terms::ProducesPointers(KindOf(d), r->codePage != Terms::kNoCodePage);
}

const uint8_t* ImageRead(const IDomainDefinition* d, const uint8_t* image, RBinaryReader* r) {
  return Terms::Read(d, image, r ? r->codePage : Terms::kNoCodePage);
}

const uint8_t* ImageReadCodePage(const IDomainDefinition* d, RBinaryReader* r) {
  const uint8_t* t = Terms::Read(d, r->image, r->codePage);
  r->position = r->dataSize;
  return t;
}

}  // namespace Qel::RunTime::detail
