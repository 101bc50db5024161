// The debugger's view of another process's terms, objects and fact chains.
//
// Invariants:
//   - a remote domain record is copied once (the tree of the view) and only
//     when its magic word is there, its size is at least its kind's record
//     size and no more than what is readable, and its method table, moved by
//     the module base offset, is one of this runtime's domain classes;
//   - a copy's inner pointers point at local copies or are null: nothing of
//     a copy points into the other process, but for the class-fact heads,
//     which stay a remote address (a number here);
//   - every walk of remote links is bounded: texts by the buffer, chains by
//     a cell count, nesting by a depth, so a cycle in a corrupt or changing
//     process ends;
//   - nothing raises: the runtime's leaf writers run under a trap.
#include "qel6run_debug.h"

#include "debugview.h"
#include "domains.h"
#include "qel6run_db.h"

#include <cstring>

namespace Qel::RunTime::Terms::Debugger {

using Address = RAnotherWorldAddress;
using DBInternal::RFactDatabase;
using DBInternal::RFactDescriptor;

struct RTreeNode {
  Address key;
  RTreeNode* left;
  RTreeNode* right;
  const IDomainDefinition* value;
};

namespace {

int64_t g_baseOffset = 0;

constexpr uint32_t kMaxFunctors = 1u << 16;
constexpr uint32_t kMaxArgs = 1024;
constexpr uint32_t kMaxChainCells = 1u << 20;
constexpr uint32_t kMaxInterfaces = 256;
constexpr uint32_t kMaxDepth = 256;
constexpr uint32_t kMaxRefHops = 64;
constexpr uint32_t kMaxBlock = 1u << 16;

// --- The bounded text buffer ------------------------------------------------------------------

struct TextBuffer {
  wchar_t* start;
  uint32_t capacity;
  uint32_t cursor = 0;
  bool overflowed = false;

  explicit TextBuffer(uint32_t units) : capacity(units < 3 ? 3 : units) {
    start = Kernel::Memory::AllocHeapString(capacity);
  }
  uint32_t Left() const { return capacity - cursor; }
  void Put(wchar_t c) {
    if (cursor < capacity) start[cursor++] = c;
    else overflowed = true;
  }
  void Put(const wchar_t* s) {
    for (; *s && !overflowed; ++s) Put(*s);
  }
  wchar_t* Finish() {
    if (overflowed)
      for (uint32_t i = cursor - 3; i < cursor; ++i) start[i] = L'.';
    start[cursor] = 0;
    return start;
  }
};

// --- Remote reads -------------------------------------------------------------------------

bool ReadAll(IMemoryProvider* p, Address at, void* out, uint32_t n) {
  return p->Read(at, out, n) == n;
}
bool ReadWord(IMemoryProvider* p, Address at, uint64_t* out) { return ReadAll(p, at, out, 8); }

// A remote zero-terminated text of at most `max` units (heap copy); `cut`
// tells that the terminator was not reached.  Null when nothing is readable.
template <class Unit>
Unit* ReadText(IMemoryProvider* p, Address at, uint32_t max, bool* cut) {
  constexpr uint32_t kPieceUnits = 256;
  auto* text = static_cast<Unit*>(Kernel::Memory::AllocAtomicHeap((max + 1) * sizeof(Unit)));
  uint32_t n = 0;
  *cut = true;
  while (n < max) {
    uint32_t want = max - n < kPieceUnits ? max - n : kPieceUnits;
    uint32_t bytes = p->ReadableLength(at + n * sizeof(Unit), want * sizeof(Unit));
    bytes -= bytes % sizeof(Unit);
    if (!bytes) break;
    uint32_t got = p->Read(at + n * sizeof(Unit), text + n, bytes) / sizeof(Unit);
    for (uint32_t i = 0; i < got; ++i)
      if (text[n + i] == 0) {
        *cut = false;
        return text;
      }
    n += got;
    if (got < bytes / sizeof(Unit)) break;
  }
  if (n == 0) return nullptr;
  text[n] = 0;
  return text;
}
wchar_t* CopyName(IMemoryProvider* p, Address at) {
  bool cut;
  wchar_t* s = at ? ReadText<wchar_t>(p, at, 1023, &cut) : nullptr;
  return s && !cut ? s : nullptr;
}

uint32_t MinRecordSize(uint32_t kind) {
  switch (kind) {
    case kInteger: case kUnsigned: case kRefInteger: case kRefUnsigned: return sizeof(RIntegralDomain);
    case kInteger64: case kUnsigned64: return sizeof(RIntegral64Domain);
    case kReal: case kRefReal: return sizeof(RRealDomain);
    case kCompound: case kList: case kSingleCompound: case kPredicateValue:
    case kRefCompound: case kRefList: return sizeof(RCompoundDomain);
    case kClassFacts: case kObjectFacts: return sizeof(RFactDatabase);
    default: return sizeof(RDomainRecord);
  }
}

// The kind whose method table this is (0: none of ours).
uint32_t KindOfTable(uintptr_t table) {
  const uintptr_t* t = BuildDomainClassTable();
  for (uint32_t k = 1; k < kDomainKinds; ++k)
    if (t[k] == table) return k;
  return 0;
}

RDomainRecord* Mutable(const IDomainDefinition* d) {
  return const_cast<RDomainRecord*>(d->Record());
}

// An argument table of `n` entries at `at`, copied with names and domains.
RArgument* CopyArgs(RDebugMemory* view, Address at, uint32_t n) {
  if (n > kMaxArgs) return nullptr;
  if (!n) return nullptr;
  auto* args = static_cast<RArgument*>(Kernel::Memory::AllocHeap(n * sizeof(RArgument)));
  if (!ReadAll(view->provider, at, args, n * sizeof(RArgument))) return nullptr;
  for (uint32_t i = 0; i < n; ++i) {
    Address name = reinterpret_cast<uintptr_t>(args[i].name);
    Address domain = reinterpret_cast<uintptr_t>(args[i].domain);
    args[i].name = CopyName(view->provider, name);
    const IDomainDefinition* d = domain ? view->RegisteredDomainDefinition(domain) : nullptr;
    args[i].domain = d ? Mutable(d) : nullptr;
  }
  return args;
}

// A functor (or fact descriptor) table: `stride` bytes an entry, each
// starting as an RFunctor.
void* CopyFunctors(RDebugMemory* view, Address at, uint32_t n, uint32_t stride) {
  if (!n || n > kMaxFunctors || !at) return nullptr;
  auto* table = static_cast<uint8_t*>(Kernel::Memory::AllocHeap(n * stride));
  if (!ReadAll(view->provider, at, table, n * stride)) return nullptr;
  for (uint32_t i = 0; i < n; ++i) {
    auto* f = reinterpret_cast<RFunctor*>(table + i * stride);
    f->name = CopyName(view->provider, reinterpret_cast<uintptr_t>(f->name));
    if (!f->name) return nullptr;
    Address args = reinterpret_cast<uintptr_t>(f->args);
    f->args = CopyArgs(view, args, f->argCount);
    if (f->argCount && !f->args) return nullptr;
  }
  return table;
}

}  // namespace

// --- Records ------------------------------------------------------------------------------

namespace detail {

bool LoadRecord(const void* v, const IDomainDefinition* d) {
  auto* view = static_cast<RDebugMemory*>(const_cast<void*>(v));
  RDomainRecord* r = Mutable(d);
  uint32_t kind = KindOf(d);
  r->name = CopyName(view->provider, reinterpret_cast<uintptr_t>(r->name));
  r->position.fileName = nullptr;
  r->next = nullptr;
  r->scope = nullptr;
  switch (kind) {
    case kInteger: case kUnsigned: case kRefInteger: case kRefUnsigned: {
      uint32_t bits = reinterpret_cast<RIntegralDomain*>(r)->storageBits;
      return bits == 8 || bits == 16 || bits == 32;
    }
    case kCompound: case kList: case kSingleCompound: case kPredicateValue:
    case kRefCompound: case kRefList: {
      auto* c = reinterpret_cast<RCompoundDomain*>(r);
      Address at = reinterpret_cast<uintptr_t>(c->functors);
      c->functors = static_cast<const RFunctor*>(CopyFunctors(view, at, c->functorCount, sizeof(RFunctor)));
      if (!c->functors) return false;
      if (kind == kList || kind == kRefList) return c->functorCount >= 1 && c->functors[0].argCount == 2;
      return true;
    }
    case kClassFacts: case kObjectFacts: {
      auto* f = reinterpret_cast<RFactDatabase*>(r);
      Address at = reinterpret_cast<uintptr_t>(f->facts);
      f->facts = static_cast<const RFactDescriptor*>(
          CopyFunctors(view, at, f->factCount, sizeof(RFactDescriptor)));
      return f->facts || f->factCount == 0;
    }
    default:
      return true;
  }
}

}  // namespace detail

const IDomainDefinition* RDebugMemory::RegisteredDomainDefinition(Address record) {
  RTreeNode** slot = &records;
  while (*slot) {
    if ((*slot)->key == record) return (*slot)->value;
    slot = record < (*slot)->key ? &(*slot)->left : &(*slot)->right;
  }
  uint32_t magic = provider->ReadWord32(record + offsetof(RDomainRecord, magic));
  if (provider->GetState() != 0 || magic != kDomainMagic) return nullptr;
  uint16_t size = provider->ReadWord16(record + offsetof(RDomainRecord, size));
  uint64_t table;
  if (provider->GetState() != 0 || !ReadWord(provider, record, &table)) return nullptr;
  uint32_t kind = KindOfTable(static_cast<uintptr_t>(table + static_cast<uint64_t>(g_baseOffset)));
  if (!kind || size < MinRecordSize(kind) || provider->ReadableLength(record, size) < size) return nullptr;
  auto* copy = static_cast<uint8_t*>(Kernel::Memory::AllocHeap(size));
  if (!ReadAll(provider, record, copy, size)) return nullptr;
  uintptr_t local = BuildDomainClassTable()[kind];
  memcpy(copy, &local, 8);
  auto* node = static_cast<RTreeNode*>(Kernel::Memory::AllocHeap(sizeof(RTreeNode)));
  *node = {record, nullptr, nullptr, Domain(*reinterpret_cast<RDomainRecord*>(copy))};
  *slot = node;  // before the load: a record that names itself finds its copy
  volatile bool loaded = false;
  const IDomainDefinition* d = node->value;
  if (Kernel::RunTrapped([&] { loaded = Kernel::Succeeds([&] { d->DebuggerLoadRecord(this); }); }) || !loaded)
    node->value = nullptr;
  return node->value;
}

// --- Texts of remote values --------------------------------------------------------------------

namespace {

bool IsIntegral(uint32_t kind) {
  return kind == kInteger || kind == kUnsigned || kind == kInteger64 || kind == kUnsigned64;
}

struct Walker {
  RDebugMemory* view;
  TextBuffer& out;
  uint32_t radix;

  IMemoryProvider* P() const { return view->provider; }
  void Unreadable() { out.Put(L"???"); }

  // The ordinary quoted text of a local copy of a value.  A reference
  // domain writes a base value that is not kept in its cell through a local
  // bound cell.
  void Leaf(const IDomainDefinition* d, term local) {
    alignas(8) RRefCell cell{1, reinterpret_cast<uint64_t>(local)};
    uint32_t base = RunTime::detail::BaseOf(KindOf(d));
    if (base && !RunTime::detail::ValueInCell(base)) local = reinterpret_cast<term>(&cell);
    wchar_t* volatile text = nullptr;
    if (Kernel::RunTrapped([&] { text = ToString(d, local); }) || !text) return Unreadable();
    out.Put(text);
  }
  void Hex(uint64_t v) {
    wchar_t text[24];
    swprintf(text, 24, L"0x%llX", static_cast<unsigned long long>(v));
    out.Put(text);
  }

  // A value of kind `kind` (the record's or its base's) at `at`: a value
  // cell for scalar kinds, a block or text otherwise.
  void Value(const IDomainDefinition* d, uint32_t kind, Address at, uint32_t depth) {
    if (out.overflowed) return;
    if (!d || depth > kMaxDepth) return Unreadable();
    switch (kind) {
      case kChar: case kInteger: case kUnsigned: case kInteger64: case kUnsigned64:
      case kReal: case kPointer: case kObject: case kPointerLike:
        return Scalar(d, kind, at);
      case kString: case kSymbol: return Text<wchar_t>(d, at);
      case kString8: return Text<char>(d, at);
      case kBinary: return Binary(d, at);
      case kCompound: case kSingleCompound: case kPredicateValue: case kClassFacts: case kObjectFacts:
        return Compound(d, kind, at, depth);
      case kList: return List(d, at, depth);
      default:
        if (uint32_t base = RunTime::detail::BaseOf(kind)) return Reference(d, kind, base, at, depth);
        return Unreadable();
    }
  }

  void Scalar(const IDomainDefinition* d, uint32_t kind, Address at) {
    alignas(8) uint8_t cell[16] = {};
    uint32_t n = d->ValueSize();
    if (n > sizeof cell || !ReadAll(P(), at, cell, n)) return Unreadable();
    if (radix == 16 && IsIntegral(kind)) {
      uint64_t v = 0;
      memcpy(&v, cell, n);
      return Hex(v);
    }
    Leaf(d, cell);
  }

  template <class Unit>
  void Text(const IDomainDefinition* d, Address at) {
    bool cut;
    Unit* text = ReadText<Unit>(P(), at, out.Left() + 2, &cut);
    if (!text) return Unreadable();
    Leaf(d, reinterpret_cast<term>(text));
    if (cut) out.overflowed = true;
  }

  void Binary(const IDomainDefinition* d, Address at) {
    uint8_t* data = P()->ReadBinary(at, static_cast<int32_t>(out.Left() / 2 + 2));
    if (!data) return Unreadable();
    bool cut = P()->GetState() != 0;
    Leaf(d, data);
    if (cut) out.overflowed = true;
  }

  // The term of an argument at `pos` of the remote block at `block`, read
  // from the local copy `local` of the block.
  static Address ArgAddress(const IDomainDefinition* a, Address block, const uint8_t* local, uint32_t pos) {
    if (a->IsScalar()) return block + pos;
    Address at;
    memcpy(&at, local + pos, 8);
    return at;
  }

  void Compound(const IDomainDefinition* d, uint32_t kind, Address at, uint32_t depth) {
    auto& c = *reinterpret_cast<const RCompoundDomain*>(d->Record());
    bool single = kind == kSingleCompound || kind == kPredicateValue;
    uint32_t stride = kind == kClassFacts || kind == kObjectFacts ? sizeof(RFactDescriptor) : sizeof(RFunctor);
    uint64_t number = 1;
    if (!single && !ReadWord(P(), at, &number)) return Unreadable();
    if (number < 1 || number > c.functorCount) return Unreadable();
    auto& f = *reinterpret_cast<const RFunctor*>(reinterpret_cast<const uint8_t*>(c.functors) +
                                                 stride * (number - 1));
    Args(f, at, depth);
  }

  // name(arguments) of the block at `at`.
  void Args(const RFunctor& f, Address at, uint32_t depth) {
    if (f.blockSize > kMaxBlock) return Unreadable();
    auto* local = static_cast<uint8_t*>(Kernel::Memory::AllocAtomicHeap(f.blockSize + 8));
    if (f.argCount && !ReadAll(P(), at, local, f.blockSize)) return Unreadable();
    out.Put(f.name);
    out.Put(L'(');
    uint32_t pos = 0;
    for (uint32_t i = 0; i < f.argCount && !out.overflowed; ++i) {
      pos += f.args[i].offset;
      if (i) out.Put(L',');
      const IDomainDefinition* a = f.args[i].domain ? Domain(*f.args[i].domain) : nullptr;
      if (!a || pos > f.blockSize) {
        Unreadable();
        continue;
      }
      Value(a, KindOf(a), ArgAddress(a, at, local, pos), depth + 1);
    }
    out.Put(L')');
  }

  void List(const IDomainDefinition* d, Address at, uint32_t depth) {
    auto& c = *reinterpret_cast<const RCompoundDomain*>(d->Record());
    const RFunctor& cons = c.functors[0];
    const IDomainDefinition* head = cons.args[0].domain ? Domain(*cons.args[0].domain) : nullptr;
    const IDomainDefinition* tail = cons.args[1].domain ? Domain(*cons.args[1].domain) : nullptr;
    bool plainTail = tail == d && KindOf(d) == kList;
    uint32_t headPos = cons.args[0].offset, tailPos = headPos + cons.args[1].offset;
    if (!head || !tail || tailPos + 8 > kMaxBlock || cons.blockSize > kMaxBlock) return Unreadable();
    auto* local = static_cast<uint8_t*>(Kernel::Memory::AllocAtomicHeap(cons.blockSize + 8));
    uint32_t headKind = KindOf(head);
    out.Put(L'[');
    uint32_t cells = 0;
    bool open = false;  // an unbound reference tail
    for (Address t = at; !out.overflowed; ++cells) {
      uint64_t word;
      if (cells > kMaxChainCells || !ReadWord(P(), t, &word)) return Unreadable();
      if ((word & 0xFF) != 1) break;
      if (!ReadAll(P(), t, local, cons.blockSize)) return Unreadable();
      if (cells) out.Put(L',');
      Value(head, headKind, ArgAddress(head, t, local, headPos), depth + 1);
      Address next;
      memcpy(&next, local + tailPos, 8);
      if (!plainTail) {
        Address cell;
        if (!Deref(next, &cell)) return Unreadable();
        uint64_t tag, value;
        if (!ReadWord(P(), cell, &tag) || !ReadWord(P(), cell + 8, &value)) return Unreadable();
        if ((tag & 0xFF) != 1) {
          open = true;
          break;
        }
        next = value;
      }
      t = next;
    }
    if (open) {
      out.Put(L'|');
      out.Put(L'_');
    }
    out.Put(L']');
  }

  // The cell a chain of unbound links ends at.
  bool Deref(Address cell, Address* end) {
    for (uint32_t hops = 0; hops < kMaxRefHops; ++hops) {
      uint64_t tag, value;
      if (!ReadWord(P(), cell, &tag) || !ReadWord(P(), cell + 8, &value)) return false;
      if ((tag & 0xFF) != 0 || !value) {
        *end = cell;
        return true;
      }
      cell = value;
    }
    return false;
  }

  void Reference(const IDomainDefinition* d, uint32_t kind, uint32_t base, Address at, uint32_t depth) {
    Address cell;
    if (!Deref(at, &cell)) return Unreadable();
    alignas(8) RRefCell local;
    if (!ReadAll(P(), cell, &local, sizeof local)) return Unreadable();
    if ((local.tag & 0xFF) != 1) return out.Put(L'_');
    if (RunTime::detail::ValueInCell(base)) {
      if (radix == 16 && IsIntegral(base)) return Hex(local.value);
      return Leaf(d, reinterpret_cast<term>(&local));
    }
    if (base == kList) return List(d, local.value, depth);
    Value(d, base, local.value, depth);
  }
};

wchar_t* WriteText(RDebugMemory* view, const IDomainDefinition* d, uint32_t kind, Address at, uint32_t radix) {
  TextBuffer out(view->provider->GetStringLimit());
  Walker{view, out, radix}.Value(d, kind, at, 0);
  return out.Finish();
}

}  // namespace

namespace detail {
wchar_t* RemoteText(const void* view, const IDomainDefinition* d, Address at) {
  return WriteText(static_cast<RDebugMemory*>(const_cast<void*>(view)), d, KindOf(d), at, 10);
}
}  // namespace detail

void RegisterModuleBaseOffsetForDebug(int64_t offset) { g_baseOffset = offset; }

wchar_t* ToStringForDebug(RDebugMemory* view, Address domain, Address value, uint32_t integralView) {
  const IDomainDefinition* d = view->RegisteredDomainDefinition(domain);
  if (!d) return nullptr;
  Address at = value;
  if (!d->IsScalar()) {
    uint64_t p;
    if (!ReadWord(view->provider, value, &p)) return nullptr;
    at = p;
  }
  return WriteText(view, d, KindOf(d), at, integralView);
}

// --- The view ------------------------------------------------------------------------------

RDebugMemory* RDebugMemory::Create(void* process) {
  IMemoryProvider* p = Kernel::Debugger::RMemoryAnotherProcess::Create(process);
  if (!p) return nullptr;
  BuildDomainClassTable();
  auto* view = static_cast<RDebugMemory*>(Kernel::Memory::AllocHeap(sizeof(RDebugMemory)));
  view->provider = p;
  view->records = nullptr;
  return view;
}

void RDebugMemory::Destroy() {
  if (provider) provider->Release();
  provider = nullptr;
  records = nullptr;
}

// --- Objects -------------------------------------------------------------------------------

namespace {

// The header cell of a remote object's method table, when the object, its
// table, the header and the class record (with its magic) are readable.
bool ObjectHeader(IMemoryProvider* p, Address object, Objects::RMethodTableHeader* h) {
  uint64_t table, header, magic;
  if (!ReadWord(p, object, &table) || !ReadWord(p, table - 8, &header)) return false;
  if (!ReadAll(p, header, h, sizeof *h)) return false;
  Address record = reinterpret_cast<uintptr_t>(h->classRecord);
  return ReadWord(p, record + offsetof(RScopeClassDescriptor, magic), &magic) && magic == kClassRecordMagic;
}

}  // namespace

const wchar_t* RDebugMemory::GetClassNameForObject(Address object) {
  Objects::RMethodTableHeader h;
  uint64_t name;
  if (!ObjectHeader(provider, object, &h) ||
      !ReadWord(provider, reinterpret_cast<uintptr_t>(h.classRecord) + offsetof(RScopeClassDescriptor, name), &name))
    return L"";
  const wchar_t* s = CopyName(provider, name);
  return s ? s : L"";
}

namespace {

template <class List, class Element>
List* Cons(Element e, List* next) {
  auto* cell = reinterpret_cast<List*>(RunTime::detail::GAlloc(sizeof(List)));
  cell->functor = 1;
  cell->element = e;
  cell->next = next;
  return cell;
}
template <class List>
List* Nil() {
  auto* cell = reinterpret_cast<List*>(RunTime::detail::GAlloc(8));
  cell->functor = 2;
  return cell;
}
// A list of the elements in order.
template <class List, class Element>
List* ListOf(const Element* items, uint32_t n) {
  List* list = Nil<List>();
  while (n) list = Cons<List>(items[--n], list);
  return list;
}

}  // namespace

TObjectList* RDebugMemory::GetSubObjecstListForObject(Address object) {
  Objects::RMethodTableHeader h;
  uint64_t count = 0;
  if (!ObjectHeader(provider, object, &h)) return Nil<TObjectList>();
  Address table = reinterpret_cast<uintptr_t>(h.interfaces);
  if (!table || !ReadWord(provider, table, &count)) return Nil<TObjectList>();
  if (count > kMaxInterfaces) count = kMaxInterfaces;
  Address items[kMaxInterfaces];
  uint32_t n = 0;
  for (uint32_t i = 0; i < count; ++i) {
    Objects::RInterfaceEntry e;
    if (!ReadAll(provider, table + 8 + i * sizeof e, &e, sizeof e)) break;
    items[n++] = object - h.offset + e.offset;
  }
  return ListOf<TObjectList>(items, n);
}

// --- Fact chains ---------------------------------------------------------------------------

namespace {

struct FactChain {
  RDebugMemory* view;
  const IDomainDefinition* database = nullptr;
  const RFactDescriptor* fact = nullptr;
  Address head = 0;  // the remote chain head {first, last}

  IMemoryProvider* P() const { return view->provider; }

  // The chain of fact `number` of the database (of the object, for object
  // facts); false when the database or the fact cannot be read.
  bool Locate(Address db, Address object, bool objectFacts, uint32_t number) {
    database = view->RegisteredDomainDefinition(db);
    if (!database || KindOf(database) != (objectFacts ? kObjectFacts : kClassFacts)) return false;
    auto& r = *reinterpret_cast<const RFactDatabase*>(database->Record());
    if (number < 1 || number > r.factCount) return false;
    fact = r.facts + (number - 1);
    head = (objectFacts ? object : 0) + r.heads + (number - 1) * sizeof(DBInternal::RFactHead);
    return true;
  }

  // The cell at `position` (0 when the chain ends before it: state 2).
  Address Cell(uint32_t position) {
    uint64_t cell;
    if (!ReadWord(P(), head, &cell)) return 0;
    for (uint32_t i = 0; i < position && cell; ++i)
      if (i >= kMaxChainCells || !ReadWord(P(), cell + 8, &cell)) return 0;
    if (!cell) P()->SetState(2);
    return cell;
  }

  int32_t Count() {
    if (fact->single) return 1;
    uint64_t cell;
    if (!ReadWord(P(), head, &cell)) return 0;
    if (fact->bare) return cell ? 1 : 0;
    // A revisit ends the count (Brent: the cell met at each power of two is
    // kept and compared), as does the fixed bound.
    int32_t n = 0;
    uint64_t kept = 0, power = 1;
    while (cell && static_cast<uint32_t>(n) < kMaxChainCells && ReadWord(P(), cell + 8, &cell)) {
      ++n;
      if (cell == kept) break;
      if (static_cast<uint64_t>(n) == power) kept = cell, power *= 2;
    }
    return n;
  }

  wchar_t* Text(uint32_t position, uint32_t radix) {
    TextBuffer out(P()->GetStringLimit());
    Walker w{view, out, radix};
    if (fact->bare) {
      if (position) return P()->SetState(2), nullptr;
      const IDomainDefinition* a = fact->args && fact->args[0].domain ? Domain(*fact->args[0].domain) : nullptr;
      if (!a) return nullptr;
      Address at = head;
      if (!a->IsScalar() && !a->FunctorCount()) {
        uint64_t p;
        if (!ReadWord(P(), head, &p) || !p) return nullptr;
        at = p;
      }
      out.Put(fact->name);
      out.Put(L'(');
      w.Value(a, KindOf(a), at, 1);
      out.Put(L')');
      return out.Finish();
    }
    Address cell = Cell(position);
    uint64_t t;
    if (!cell || !ReadWord(P(), cell, &t)) return nullptr;
    if (!t) {
      out.Put(fact->name);
      out.Put(L"()");
    } else {
      w.Args(*reinterpret_cast<const RFunctor*>(fact), t, 0);
    }
    return out.Finish();
  }

  TStringList* Range(uint32_t first, uint32_t count, uint32_t radix) {
    TStringList* list = nullptr;
    TStringList** tail = &list;
    for (uint32_t i = 0; i < count; ++i) {
      const wchar_t* text = Text(first + i, radix);
      if (!text) break;
      *tail = Cons<TStringList>(text, static_cast<TStringList*>(nullptr));
      tail = &(*tail)->next;
    }
    *tail = Nil<TStringList>();
    return list;
  }

  bool Clear() {
    uint64_t zero[2] = {0, 0};
    return P()->Write(head, zero, 16) == 16;
  }

  // Unlinks `count` cells from `first` on (fewer when the chain ends).
  bool Unlink(uint32_t first, uint32_t count) {
    if (fact->bare || !count) return false;
    Address before = first ? Cell(first - 1) : 0;
    if (first && !before) return false;
    uint64_t next;
    if (!ReadWord(P(), first ? before + 8 : head, &next)) return false;
    if (!next) return P()->SetState(2), false;
    for (uint32_t i = 0; i < count && next; ++i)
      if (!ReadWord(P(), next + 8, &next)) return false;
    if (P()->Write(first ? before + 8 : head, &next, 8) != 8) return false;
    if (!next && P()->Write(head + 8, &before, 8) != 8) return false;
    return true;
  }
};

}  // namespace

int32_t RDebugMemory::GetTotalClassFacts(Address db, uint32_t fact) {
  FactChain c{this};
  return c.Locate(db, 0, false, fact) ? c.Count() : 0;
}
int32_t RDebugMemory::GetTotalObjectFacts(Address db, Address object, uint32_t fact) {
  FactChain c{this};
  return c.Locate(db, object, true, fact) ? c.Count() : 0;
}
const wchar_t* RDebugMemory::GetClassFact(Address db, uint32_t fact, uint32_t position) {
  FactChain c{this};
  return c.Locate(db, 0, false, fact) ? c.Text(position, 10) : nullptr;
}
const wchar_t* RDebugMemory::GetObjectFact(Address db, Address object, uint32_t fact, uint32_t position) {
  FactChain c{this};
  return c.Locate(db, object, true, fact) ? c.Text(position, 10) : nullptr;
}
TStringList* RDebugMemory::GetClassFactRange(Address db, uint32_t fact, uint32_t first, uint32_t count,
                                             uint32_t integralView) {
  FactChain c{this};
  return c.Locate(db, 0, false, fact) ? c.Range(first, count, integralView) : Nil<TStringList>();
}
TStringList* RDebugMemory::GetObjectFactRange(Address db, Address object, uint32_t fact, uint32_t first,
                                              uint32_t count, uint32_t integralView) {
  FactChain c{this};
  return c.Locate(db, object, true, fact) ? c.Range(first, count, integralView) : Nil<TStringList>();
}
bool RDebugMemory::DeleteClassFact(Address db, uint32_t fact) {
  FactChain c{this};
  return c.Locate(db, 0, false, fact) && c.Clear();
}
bool RDebugMemory::DeleteObjectFact(Address db, Address object, uint32_t fact) {
  FactChain c{this};
  return c.Locate(db, object, true, fact) && c.Clear();
}
bool RDebugMemory::DeleteClassFactRange(Address db, uint32_t fact, uint32_t first, uint32_t count) {
  FactChain c{this};
  return c.Locate(db, 0, false, fact) && c.Unlink(first, count);
}
bool RDebugMemory::DeleteObjectFactRange(Address db, Address object, uint32_t fact, uint32_t first,
                                         uint32_t count) {
  FactChain c{this};
  return c.Locate(db, object, true, fact) && c.Unlink(first, count);
}

}  // namespace Qel::RunTime::Terms::Debugger
