// The exported families.  Each export turns its handle into a descriptor
// (1304 for a null or closed handle or an empty selector, 1327 outside a
// transaction) and calls the family-neutral operation.  Wide handles are
// fresh collected cells, never reused, so a handle kept after Close stays
// closed whatever is opened later.
#include "qel6chaindb.h"

#include <cstring>

#include "btree.h"
#include "chains.h"
#include "database.h"
#include "transaction.h"
#include "qel6kernel.h"

namespace chainDB::detail {

namespace Memory = Qel::RunTime::Kernel::Memory;
using Qel::RunTime::Kernel::Fail;
using Qel::RunTime::Kernel::TBackTrackBlock;
using Qel::RunTime::Kernel::TStackBlock;
using PTD = Qel::RunTime::Kernel::Control::TPrologThreadData;

namespace {

// --- The wide family: handle cells ---
struct Wide {
  using Handle = FILEDESCR**;
  static constexpr bool wide = true;
  static FILEDESCR* Peek(Handle h) { return h ? *h : nullptr; }
  static const void* Name(const wchar_t* s) { return s; }
  static void Clear(Handle h) { *h = nullptr; }
};

// --- The 8-bit family: the process-wide selector table ---
FILEDESCR** g_selectors;  // collected block
uint32_t g_selectorCount;

void GrowSelectors(uint32_t count) {
  if (count <= g_selectorCount) return;
  auto** grown = static_cast<FILEDESCR**>(Memory::AllocHeap(count * sizeof(FILEDESCR*)));
  memset(grown, 0, count * sizeof(FILEDESCR*));
  if (g_selectors) memcpy(grown, g_selectors, g_selectorCount * sizeof(FILEDESCR*));
  g_selectors = grown;
  g_selectorCount = count;
}

const char* Narrow(const wchar_t* s) {
  int n = WideCharToMultiByte(g_codePage8, 0, s, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0) RaiseLastOs();
  auto* out = reinterpret_cast<char*>(Memory::AllocGStack(static_cast<uint32_t>(n)));
  WideCharToMultiByte(g_codePage8, 0, s, -1, out, n, nullptr, nullptr);
  return out;
}

struct Eight {
  using Handle = const uint8_t*;
  static constexpr bool wide = false;
  static FILEDESCR* Peek(Handle h) { return h && *h < g_selectorCount ? g_selectors[*h] : nullptr; }
  static const void* Name(const wchar_t* s) { return Narrow(s); }
  static void Clear(Handle h) { g_selectors[*h] = nullptr; }
};

template <class F>
FILEDESCR* Open(typename F::Handle h) {
  FILEDESCR* d = F::Peek(h);
  if (!d) Raise(1304);
  if (!d->accessOpen) Raise(1327);
  return d;
}

template <class F>
FileName NameOf(const wchar_t* s) {
  return {F::Name(s), F::wide};
}

// Stores a new database under the handle.
void Hand(FILEDESCR*** out, FILEDESCR* d) {
  auto** cell = static_cast<FILEDESCR**>(Memory::AllocHeap(2 * sizeof(void*)));
  cell[0] = d;
  cell[1] = nullptr;
  *out = cell;
}

void CheckFreeSelector(const uint8_t* selector) {
  if (!selector) Raise(1304);
  GrowSelectors(uint32_t{*selector} + 1);
  if (g_selectors[*selector]) Raise(1302);
}

template <class F>
void Close(typename F::Handle h) {
  FILEDESCR* d = F::Peek(h);
  if (!d) return;
  CloseDb(d);
  F::Clear(h);
}

// Hands each name of a tree to `next` under a backtrack point.
template <class F>
void ListNames(typename F::Handle h, bool chains, TNameContinuation next, void* context) {
  FILEDESCR* d = Open<F>(h);
  const uint8_t* source = chains ? d->chainNames.table : d->btreeNames.table;
  uint32_t size = Get32(source + 4);
  uint8_t* tree = Memory::AllocGStack(size);
  memcpy(tree, source, size);
  uint32_t max = (size - kTreeHead) / 13 + 1;
  auto* nodes = reinterpret_cast<uint32_t*>(Memory::AllocGStack(4 * max));
  uint32_t count = TreeInOrder(tree, nodes, max);
  TBackTrackBlock* mark = PTD::GetBackTrack();
  TStackBlock block;
  volatile uint32_t i = 0;
  for (;;) {
    if (i >= count) Fail();
    uint32_t node = nodes[i];
    i = i + 1;
    if (i < count && PTD::StackBTrack(&block)) continue;
    const wchar_t* name;
    if (F::wide) {
      name = Memory::CopyStringToGStack(reinterpret_cast<const wchar_t*>(NodeName(tree, node)));
    } else {
      auto* text = reinterpret_cast<const char*>(NodeName(tree, node));
      int n = MultiByteToWideChar(g_codePage8, 0, text, -1, nullptr, 0);
      wchar_t* w = Memory::AllocGStackString(n > 0 ? n : 1);
      w[0] = 0;
      if (n > 0) MultiByteToWideChar(g_codePage8, 0, text, -1, w, n);
      name = w;
    }
    next(context, name);
    PTD::CutBackTrack(mark);
    return;
  }
}

// Hands each term of a chain to `next`; the next reference is taken before
// the term is handed out, so the continuation may delete it.
template <class F>
void ChainTerms(const IDomainDefinition* dom, typename F::Handle h, const wchar_t* chain,
                TTermContinuation next, void* context) {
  FILEDESCR* d = Open<F>(h);
  Ref first = ChainFirst(d, F::Name(chain));
  if (first == kNoRef) Fail();
  TBackTrackBlock* mark = PTD::GetBackTrack();
  TStackBlock block;
  volatile uint32_t cursor = V(first);
  volatile uint64_t budget = uint64_t{d->termCount} + 1;
  for (;;) {
    Ref r{cursor};
    if (r == kNoRef) Fail();
    if (F::Peek(h) != d) Raise(1304);
    if (!budget) Raise(1334);
    budget = budget - 1;
    cursor = V(ChainNext(d, r));
    if (cursor && PTD::StackBTrack(&block)) continue;
    term t = RefTerm(d, dom, r);
    next(context, t, static_cast<TRef>(V(r)));
    PTD::CutBackTrack(mark);
    return;
  }
}

template <class F>
TRef InsertFront(const IDomainDefinition* dom, typename F::Handle h, const wchar_t* chain, term t) {
  FILEDESCR* d = Open<F>(h);
  return static_cast<TRef>(V(ChainInsertFront(d, dom, F::Name(chain), t)));
}
template <class F>
TRef InsertEnd(const IDomainDefinition* dom, typename F::Handle h, const wchar_t* chain, term t) {
  FILEDESCR* d = Open<F>(h);
  return static_cast<TRef>(V(ChainInsertEnd(d, dom, F::Name(chain), t)));
}
template <class F>
TRef InsertAfter(const IDomainDefinition* dom, typename F::Handle h, const wchar_t* chain, TRef a, term t) {
  FILEDESCR* d = Open<F>(h);
  return static_cast<TRef>(V(ChainInsertAfter(d, dom, F::Name(chain), Ref{static_cast<uint32_t>(a)}, t)));
}
template <class F>
TRef OrFail(Ref r) {
  if (r == kNoRef) Fail();
  return static_cast<TRef>(V(r));
}
template <class F>
void Statistics(typename F::Handle h, uint32_t* terms, uint32_t* memory, uint32_t* inUse, uint32_t* freeSpace) {
  FILEDESCR* d = Open<F>(h);
  // Memory in use: the descriptor, the tables, the selector table as the
  // 32-bit layout sized it (20 + 8 per slot), the free-space table and the
  // block cache.
  uint64_t m = HeaderSize(d) + TableSize(d->chains.table) + Get32(d->chainNames.table) +
               TableSize(d->refs.table) + TableSize(d->btrees.table) + Get32(d->btreeNames.table) +
               20 + 8 * uint64_t{SelectorSlots(d)} + (IsFile(d) ? kFreeTableBytes : 0) +
               (d->blockCacheOn ? uint64_t{d->refBlock + 1} * kRefBlockBytes : 0);
  uint64_t total = 0, free = 0;
  // A drive that cannot tell its free space gives 0.
  if (IsFile(d) && Qel::RunTime::Kernel::RunTrapped([&] { FreeDiskSpace(d->drive, F::wide, &total, &free); }))
    free = 0;
  *terms = d->termCount;
  *memory = static_cast<uint32_t>(m > 0xFFFFFFFFu ? 0xFFFFFFFFu : m);
  *inUse = d->bytesInUse;
  *freeSpace = static_cast<uint32_t>(free > 0xFFFFFFFFu ? 0xFFFFFFFFu : free);
}
template <class F>
FILEDESCR* Held(typename F::Handle h) {
  FILEDESCR* d = F::Peek(h);
  if (!d) Raise(1304);
  return d;
}
template <class F>
void Begin(typename F::Handle h, const uint8_t* mode) {
  FILEDESCR* d = Held<F>(h);
  uint32_t code = Qel::RunTime::Kernel::RunTrapped([&] { BeginTransaction(d, *mode); });
  if (!code) return;
  // A first load that found no database closed the file: the handle empties.
  if (IsFile(d) && !d->fileHandle) F::Clear(h);
  Qel::RunTime::Kernel::Errors::Qel_ErrorExit(code);
}
template <class F>
void Updated(typename F::Handle h) {
  if (!Open<F>(h)->updated) Fail();
}
template <class F>
void ReUse(typename F::Handle h, bool reuse) {
  FILEDESCR* d = Open<F>(h);
  d->noRefReuse = !reuse;
}
template <class F>
void DeleteChain(typename F::Handle h, const wchar_t* chain) {
  if (!ChainDelete(Open<F>(h), F::Name(chain))) Fail();
}


// Keys handed out: the variant's text back to a runtime string.
template <class F>
const wchar_t* WideText(const void* text) {
  if (F::wide) return static_cast<const wchar_t*>(text);
  auto* s = static_cast<const char*>(text);
  int n = MultiByteToWideChar(g_codePage8, 0, s, -1, nullptr, 0);
  wchar_t* w = Memory::AllocGStackString(n > 0 ? n : 1);
  w[0] = 0;
  if (n > 0) MultiByteToWideChar(g_codePage8, 0, s, -1, w, n);
  return w;
}

template <class F>
struct Trees {
  using H = typename F::Handle;
  static void Create(H h, const wchar_t* name, int32_t* sel, int32_t keyLength, int32_t order, bool dup) {
    FILEDESCR* d = Open<F>(h);
    BtCreate(d, F::Name(name), sel, keyLength, order, dup);
  }
  static void OpenTree(H h, const wchar_t* name, int32_t* sel) {
    FILEDESCR* d = Open<F>(h);
    BtOpen(d, F::Name(name), sel);
  }
  static void Close(H h, int32_t sel) { BtClose(Open<F>(h), sel); }
  static void Copy(H h, int32_t sel, int32_t* out) { BtCopySelector(Open<F>(h), sel, out); }
  static void Delete(H h, const wchar_t* name) {
    FILEDESCR* d = Open<F>(h);
    BtDelete(d, F::Name(name));
  }
  static void Statistics(H h, int32_t sel, uint32_t* a, uint32_t* b, uint32_t* c, uint32_t* e, uint32_t* f,
                         uint32_t* g) {
    uint32_t out[6];
    BtStatistics(Open<F>(h), sel, out);
    *a = out[0], *b = out[1], *c = out[2], *e = out[3], *f = out[4], *g = out[5];
  }
  static void Insert(H h, int32_t sel, const wchar_t* key, TRef ref) {
    FILEDESCR* d = Open<F>(h);
    KeyInsert(d, sel, F::Name(key), ref);
  }
  static void Delete(H h, int32_t sel, const wchar_t* key, TRef ref) {
    FILEDESCR* d = Open<F>(h);
    KeyDelete(d, sel, F::Name(key), ref);
  }
  static void SearchIn(H h, int32_t sel, const wchar_t* key, TRef ref) {
    FILEDESCR* d = Open<F>(h);
    if (!KeySearch(d, sel, F::Name(key), &ref, true)) Fail();
  }
  static void SearchOut(H h, int32_t sel, const wchar_t* key, TRef* ref) {
    FILEDESCR* d = Open<F>(h);
    if (!KeySearch(d, sel, F::Name(key), ref, false)) Fail();
  }
  static void First(H h, int32_t sel, TRef* ref) { if (!KeyFirst(Open<F>(h), sel, ref)) Fail(); }
  static void Last(H h, int32_t sel, TRef* ref) { if (!KeyLast(Open<F>(h), sel, ref)) Fail(); }
  static void Next(H h, int32_t sel, TRef* ref) { if (!KeyNext(Open<F>(h), sel, ref)) Fail(); }
  static void Prev(H h, int32_t sel, TRef* ref) { if (!KeyPrev(Open<F>(h), sel, ref)) Fail(); }
  static void Current(H h, int32_t sel, const wchar_t** key, TRef* ref) {
    const void* k = nullptr;
    if (!KeyCurrent(Open<F>(h), sel, &k, ref)) Fail();
    *key = WideText<F>(k);
  }
  static void Updated(H h, int32_t sel) { if (!BtUpdated(Open<F>(h), sel)) Fail(); }
};

}  // namespace
}  // namespace chainDB::detail

// The B+tree exports of one family.
#define CDB_TREE_EXPORTS(P, LIST, H, F)                                                                   \
  void P##BtCreate6(H h, const wchar_t* n, int32_t* s, int32_t k, int32_t o, bool d) {                   \
    Trees<F>::Create(h, n, s, k, o, d);                                                                  \
  }                                                                                                      \
  void P##BtCreate5(H h, const wchar_t* n, int32_t* s, int32_t k, int32_t o) {                           \
    Trees<F>::Create(h, n, s, k, o, true);                                                               \
  }                                                                                                      \
  void P##BtOpen(H h, const wchar_t* n, int32_t* s) { Trees<F>::OpenTree(h, n, s); }                     \
  void P##BtClose(H h, int32_t s) { Trees<F>::Close(h, s); }                                             \
  void P##BtCopySelector(H h, int32_t s, int32_t* c) { Trees<F>::Copy(h, s, c); }                        \
  void P##BtDelete(H h, const wchar_t* n) { Trees<F>::Delete(h, n); }                                    \
  void P##BtStatistics(H h, int32_t s, uint32_t* a, uint32_t* b, uint32_t* c, uint32_t* d, uint32_t* e,  \
                       uint32_t* f) {                                                                    \
    Trees<F>::Statistics(h, s, a, b, c, d, e, f);                                                        \
  }                                                                                                      \
  void P##KeyInsert(H h, int32_t s, const wchar_t* k, TRef r) { Trees<F>::Insert(h, s, k, r); }          \
  void P##KeyDelete(H h, int32_t s, const wchar_t* k, TRef r) { Trees<F>::Delete(h, s, k, r); }          \
  void P##KeySearch_i(H h, int32_t s, const wchar_t* k, TRef r) { Trees<F>::SearchIn(h, s, k, r); }      \
  void P##KeySearch_o(H h, int32_t s, const wchar_t* k, TRef* r) { Trees<F>::SearchOut(h, s, k, r); }    \
  void P##KeyFirst(H h, int32_t s, TRef* r) { Trees<F>::First(h, s, r); }                               \
  void P##KeyLast(H h, int32_t s, TRef* r) { Trees<F>::Last(h, s, r); }                                 \
  void P##KeyNext(H h, int32_t s, TRef* r) { Trees<F>::Next(h, s, r); }                                 \
  void P##KeyPrev(H h, int32_t s, TRef* r) { Trees<F>::Prev(h, s, r); }                                 \
  void P##KeyCurrent(H h, int32_t s, const wchar_t** k, TRef* r) { Trees<F>::Current(h, s, k, r); }      \
  void P##BtUpdated(H h, int32_t s) { Trees<F>::Updated(h, s); }                                         \
  void P##LIST(H h, TNameContinuation next, void* context) { ListNames<F>(h, false, next, context); }

namespace chainDB {

using namespace detail;
using W = detail::Wide;

void QEL_DB_Create(FILEDESCR*** handle, const wchar_t* name, const uint8_t* place) {
  Hand(handle, CreateDb(NameOf<W>(name), *place));
}
void QEL_DB_Open(FILEDESCR*** handle, const wchar_t* name, const uint8_t* place) {
  Hand(handle, OpenDb(NameOf<W>(name), *place, OpenKind::Open));
}
void QEL_DB_OpenRead(FILEDESCR*** handle, const wchar_t* name, const uint8_t* place) {
  Hand(handle, OpenDb(NameOf<W>(name), *place, OpenKind::Read));
}
void QEL_DB_OpenInvalid(FILEDESCR*** handle, const wchar_t* name, const uint8_t* place) {
  Hand(handle, OpenDb(NameOf<W>(name), *place, OpenKind::Invalid));
}
void QEL_DB_OpenShare(FILEDESCR*** handle, const wchar_t* name, const uint8_t* accessMode,
                      const uint8_t* denyMode) {
  Hand(handle, OpenShareDb(NameOf<W>(name), *accessMode, *denyMode));
}
void QEL_DB_Load(const wchar_t* fileName, const wchar_t* memoryName) {
  LoadDb(NameOf<W>(fileName), NameOf<W>(memoryName));
}
void QEL_DB_Close(FILEDESCR** handle) { Close<W>(handle); }
void QEL_DB_Delete(const wchar_t* name, const uint8_t* place) { DeleteDb(NameOf<W>(name), *place); }
void QEL_DB_Flush(FILEDESCR** handle) { FlushDb(Open<W>(handle)); }
void QEL_DB_Copy(FILEDESCR** handle, const wchar_t* name, const uint8_t* place) {
  CopyDb(Open<W>(handle), NameOf<W>(name), *place);
}
void QEL_DB_GarbageCollect(FILEDESCR** handle) { GarbageCollectDb(Open<W>(handle)); }
void QEL_DB_Chains(FILEDESCR** handle, TNameContinuation next, void* context) {
  ListNames<W>(handle, true, next, context);
}
void QEL_DB_Updated(FILEDESCR** handle) { Updated<W>(handle); }
void QEL_DB_BeginTransaction(FILEDESCR** handle, const uint8_t* mode) { Begin<W>(handle, mode); }
void QEL_DB_EndTransaction(FILEDESCR** handle) { EndTransaction(Held<W>(handle)); }
void QEL_DB_SetRetry(FILEDESCR** handle, int32_t delay, int32_t count) { SetRetry(Held<W>(handle), delay, count); }
void QEL_DB_Statistics(FILEDESCR** handle, uint32_t* terms, uint32_t* memory, uint32_t* inUse, uint32_t* freeSpace) {
  Statistics<W>(handle, terms, memory, inUse, freeSpace);
}
TRef QEL_DB_ChainInserta(const IDomainDefinition* domain, FILEDESCR** handle, const wchar_t* chain, term t) {
  return InsertFront<W>(domain, handle, chain, t);
}
TRef QEL_DB_ChainInsertz(const IDomainDefinition* domain, FILEDESCR** handle, const wchar_t* chain, term t) {
  return InsertEnd<W>(domain, handle, chain, t);
}
TRef QEL_DB_ChainInsertAfter(const IDomainDefinition* domain, FILEDESCR** handle, const wchar_t* chain,
                             TRef after, term t) {
  return InsertAfter<W>(domain, handle, chain, after, t);
}
term QEL_DB_RefTerm(const IDomainDefinition* domain, FILEDESCR** handle, TRef ref) {
  return RefTerm(Open<W>(handle), domain, Ref{static_cast<uint32_t>(ref)});
}
void QEL_DB_TermReplace(const IDomainDefinition* domain, FILEDESCR** handle, TRef ref, term t) {
  TermReplace(Open<W>(handle), domain, Ref{static_cast<uint32_t>(ref)}, t);
}
void QEL_DB_TermDelete(FILEDESCR** handle, const wchar_t* chain, TRef ref) {
  TermDelete(Open<W>(handle), chain, Ref{static_cast<uint32_t>(ref)});
}
void QEL_DB_ChainDelete(FILEDESCR** handle, const wchar_t* chain) { DeleteChain<W>(handle, chain); }
void QEL_DB_ChainTerms(const IDomainDefinition* domain, FILEDESCR** handle, const wchar_t* chain,
                       TTermContinuation next, void* context) {
  ChainTerms<W>(domain, handle, chain, next, context);
}
TRef QEL_DB_ChainFirst(FILEDESCR** handle, const wchar_t* chain) {
  return OrFail<W>(ChainFirst(Open<W>(handle), chain));
}
TRef QEL_DB_ChainLast(FILEDESCR** handle, const wchar_t* chain) {
  return OrFail<W>(ChainLast(Open<W>(handle), chain));
}
TRef QEL_DB_ChainNext(FILEDESCR** handle, TRef ref) {
  return OrFail<W>(ChainNext(Open<W>(handle), Ref{static_cast<uint32_t>(ref)}));
}
TRef QEL_DB_ChainPrev(FILEDESCR** handle, TRef ref) {
  return OrFail<W>(ChainPrev(Open<W>(handle), Ref{static_cast<uint32_t>(ref)}));
}
void QEL_DB_ReUseRef(FILEDESCR** handle, bool reuse) { ReUse<W>(handle, reuse); }
CDB_TREE_EXPORTS(QEL_DB_, BTrees, FILEDESCR**, W)

const wchar_t* ConvertRef2Str(TRef ref) {
  wchar_t* s = Memory::AllocGStackString(30);
  wchar_t digits[12];
  uint32_t v = static_cast<uint32_t>(ref), n = 0;
  do {
    digits[n++] = L"0123456789ABCDEF"[v & 15];
    v >>= 4;
  } while (v);
  s[0] = L'~';
  for (uint32_t i = 0; i < n; ++i) s[1 + i] = digits[n - 1 - i];
  s[1 + n] = 0;
  return s;
}

TRef ConvertStr2Ref(const wchar_t* text) {
  if (!text || text[0] != L'~') Fail();
  uint32_t v = 0;
  const wchar_t* p = text + 1;
  for (;; ++p) {
    uint32_t digit;
    if (*p >= L'0' && *p <= L'9') digit = *p - L'0';
    else if (*p >= L'a' && *p <= L'f') digit = *p - L'a' + 10;
    else if (*p >= L'A' && *p <= L'F') digit = *p - L'A' + 10;
    else break;
    if ((2147483647u - digit) / 16 < v) Raise(1319);
    v = v * 16 + digit;
  }
  if (*p != 0 || v >= 67108863u) Fail();
  return static_cast<TRef>(v);
}

}  // namespace chainDB

namespace chainDB8 {

using namespace chainDB::detail;
using E = chainDB::detail::Eight;

namespace {
template <class Make>
void Store(const uint8_t* selector, Make&& make) {
  CheckFreeSelector(selector);
  FILEDESCR* d = make();
  g_selectors[*selector] = d;
}
}  // namespace

void QEL_DB8_Create(const uint8_t* selector, const wchar_t* name, const uint8_t* place) {
  Store(selector, [&] { return CreateDb(NameOf<E>(name), *place); });
}
void QEL_DB8_Open(const uint8_t* selector, const wchar_t* name, const uint8_t* place) {
  Store(selector, [&] { return OpenDb(NameOf<E>(name), *place, OpenKind::Open); });
}
void QEL_DB8_OpenRead(const uint8_t* selector, const wchar_t* name, const uint8_t* place) {
  Store(selector, [&] { return OpenDb(NameOf<E>(name), *place, OpenKind::Read); });
}
void QEL_DB8_OpenInvalid(const uint8_t* selector, const wchar_t* name, const uint8_t* place) {
  Store(selector, [&] { return OpenDb(NameOf<E>(name), *place, OpenKind::Invalid); });
}
void QEL_DB8_OpenShare(const uint8_t* selector, const wchar_t* name, const uint8_t* accessMode,
                       const uint8_t* denyMode) {
  Store(selector, [&] { return OpenShareDb(NameOf<E>(name), *accessMode, *denyMode); });
}
void QEL_DB8_Load(const wchar_t* fileName, const wchar_t* memoryName) {
  // The file is opened under the selector one beyond the table's end.
  GrowSelectors(g_selectorCount + 1);
  LoadDb(NameOf<E>(fileName), NameOf<E>(memoryName));
}
void QEL_DB8_Close(const uint8_t* selector) { Close<E>(selector); }
void QEL_DB8_Delete(const wchar_t* name, const uint8_t* place) { DeleteDb(NameOf<E>(name), *place); }
void QEL_DB8_Flush(const uint8_t* selector) { FlushDb(Open<E>(selector)); }
void QEL_DB8_Copy(const uint8_t* selector, const wchar_t* name, const uint8_t* place) {
  CopyDb(Open<E>(selector), NameOf<E>(name), *place);
}
void QEL_DB8_GarbageCollect(const uint8_t* selector) { GarbageCollectDb(Open<E>(selector)); }
void QEL_DB8_Chains(const uint8_t* selector, TNameContinuation next, void* context) {
  ListNames<E>(selector, true, next, context);
}
void QEL_DB8_Updated(const uint8_t* selector) { Updated<E>(selector); }
void QEL_DB8_BeginTransaction(const uint8_t* selector, const uint8_t* mode) { Begin<E>(selector, mode); }
void QEL_DB8_EndTransaction(const uint8_t* selector) { EndTransaction(Held<E>(selector)); }
void QEL_DB8_SetRetry(const uint8_t* selector, int32_t delay, int32_t count) {
  SetRetry(Held<E>(selector), delay, count);
}
void QEL_DB8_Statistics(const uint8_t* selector, uint32_t* terms, uint32_t* memory, uint32_t* inUse,
                        uint32_t* freeSpace) {
  Statistics<E>(selector, terms, memory, inUse, freeSpace);
}
TRef QEL_DB8_ChainInserta(const IDomainDefinition* domain, const uint8_t* selector, const wchar_t* chain,
                          term t) {
  return InsertFront<E>(domain, selector, chain, t);
}
TRef QEL_DB8_ChainInsertz(const IDomainDefinition* domain, const uint8_t* selector, const wchar_t* chain,
                          term t) {
  return InsertEnd<E>(domain, selector, chain, t);
}
TRef QEL_DB8_ChainInsertAfter(const IDomainDefinition* domain, const uint8_t* selector,
                              const wchar_t* chain, TRef after, term t) {
  return InsertAfter<E>(domain, selector, chain, after, t);
}
term QEL_DB8_RefTerm(const IDomainDefinition* domain, const uint8_t* selector, TRef ref) {
  return RefTerm(Open<E>(selector), domain, Ref{static_cast<uint32_t>(ref)});
}
void QEL_DB8_TermReplace(const IDomainDefinition* domain, const uint8_t* selector, TRef ref, term t) {
  TermReplace(Open<E>(selector), domain, Ref{static_cast<uint32_t>(ref)}, t);
}
void QEL_DB8_TermDelete(const uint8_t* selector, const wchar_t* chain, TRef ref) {
  FILEDESCR* d = Open<E>(selector);
  TermDelete(d, Narrow(chain), Ref{static_cast<uint32_t>(ref)});
}
void QEL_DB8_ChainDelete(const uint8_t* selector, const wchar_t* chain) { DeleteChain<E>(selector, chain); }
void QEL_DB8_ChainTerms(const IDomainDefinition* domain, const uint8_t* selector, const wchar_t* chain,
                        TTermContinuation next, void* context) {
  ChainTerms<E>(domain, selector, chain, next, context);
}
TRef QEL_DB8_ChainFirst(const uint8_t* selector, const wchar_t* chain) {
  FILEDESCR* d = Open<E>(selector);
  return OrFail<E>(ChainFirst(d, Narrow(chain)));
}
TRef QEL_DB8_ChainLast(const uint8_t* selector, const wchar_t* chain) {
  FILEDESCR* d = Open<E>(selector);
  return OrFail<E>(ChainLast(d, Narrow(chain)));
}
TRef QEL_DB8_ChainNext(const uint8_t* selector, TRef ref) {
  return OrFail<E>(ChainNext(Open<E>(selector), Ref{static_cast<uint32_t>(ref)}));
}
TRef QEL_DB8_ChainPrev(const uint8_t* selector, TRef ref) {
  return OrFail<E>(ChainPrev(Open<E>(selector), Ref{static_cast<uint32_t>(ref)}));
}
void QEL_DB8_ReUseRef(const uint8_t* selector, bool reuse) { ReUse<E>(selector, reuse); }
CDB_TREE_EXPORTS(QEL_DB8_, Btrees, const uint8_t*, E)
void QEL_DB8_SetCodePage(uint32_t codePage) { g_codePage8 = codePage; }
uint32_t QEL_DB8_GetCodePage() { return g_codePage8; }

}  // namespace chainDB8
