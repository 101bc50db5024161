// The compound kinds: compound (9), single compound (11), predicate value
// (15), fact databases (12, 13) and lists (10), with their reference
// variants.  A term points at its block.  Lists walk their spine in loops;
// comparing, sizing, copying and writing recurse into arguments while the
// machine stack has room and go on with an explicit stack past that, so any
// depth is taken; the readers and the other recursive walks stop at the
// machine stack's floor.
#include "domains.h"
#include "dbhooks.h"
#include "levels.h"
#include "refcells.h"

#include <cwchar>

namespace Qel::RunTime::Terms {

using namespace detail;

// --- Compounds (9, 11, 15, 12, 13) and lists (10) ------------------------------------------

// Calls fn(domain, position) for each argument of a functor.
template <class F>
static void ForEachArg(const RFunctor& f, F&& fn) {
  uint32_t pos = 0;
  for (uint32_t i = 0; i < f.argCount; ++i) {
    pos += f.args[i].offset;
    fn(Dom(f.args[i].domain), pos);
  }
}

// Word: a functor word in front; Single: one functor, no word; List: the
// functor in the word's low byte; Facts: a functor word, and the functor
// table is a table of fact descriptors.
enum class Layout { Word, Single, List, Facts };

// --- Walks over nested terms -----------------------------------------------------------------
//
// Comparing, sizing, copying and writing recurse through the domain classes
// while the machine stack has room (NearStackEnd); from there these walks
// take the subterm, keeping its pending levels in an explicit stack (a few in
// the frame, then on the collected heap): a term nested as deep as memory
// allows needs no more machine stack.  Every kind without blocks is a leaf,
// handled by its own class.  The last argument of a block replaces its
// parent's level, so a list's spine needs one level whatever its length.

// What a walk sees of a domain: a leaf, or blocks of a layout, a reference
// cell in front when `ref`.
struct NodeKind {
  bool node;
  Layout layout;
  bool ref;
};

// The method tables of the kinds with blocks, entered with the class table
// into a small open-addressed hash: most arguments are leaves, told so by
// one probe that meets an empty slot.
struct NodeClass {
  uintptr_t table;
  NodeKind kind;
};
constexpr uint32_t kNodeSlots = 64;
static NodeClass g_nodeClasses[kNodeSlots];

static uint32_t NodeSlot(uintptr_t table) {
  return static_cast<uint32_t>((uint64_t{table} * 0x9E3779B97F4A7C15ull) >> 58);
}

static NodeKind NodeOf(const IDomainDefinition* d) {
  uintptr_t v = *reinterpret_cast<const uintptr_t*>(d);
  for (uint32_t i = NodeSlot(v);; i = (i + 1) % kNodeSlots) {
    const NodeClass& c = g_nodeClasses[i];
    if (c.table == v) return c.kind;
    if (!c.table) return {false, Layout::Word, false};
  }
}

static uint32_t NumberOf(Layout l, term t) {
  if (l == Layout::Single) return 1;
  uint64_t w;
  memcpy(&w, t, 8);
  return l == Layout::List ? static_cast<uint32_t>(w & 0xFF) : static_cast<uint32_t>(w);
}

// Functor n (from 1) of a domain's table; fact descriptors are longer entries.
static const RFunctor& EntryOf(const IDomainDefinition* d, Layout l, uint32_t n) {
  size_t stride = l == Layout::Facts ? sizeof(DBInternal::RFactDescriptor) : sizeof(RFunctor);
  auto* table = reinterpret_cast<const uint8_t*>(reinterpret_cast<const RCompoundDomain*>(d)->functors);
  return *reinterpret_cast<const RFunctor*>(table + stride * (n - 1));
}

// The functor of a block; an internal error for a number outside the table.
static const RFunctor& FunctorOf(const IDomainDefinition* d, Layout l, term t) {
  uint32_t n = NumberOf(l, t);
  if (n < 1 || n > reinterpret_cast<const RCompoundDomain*>(d)->functorCount)
    Errors::InternalError(L"Functor %u out of range in the domain '%s'", n, d->QualifiedName());
  return EntryOf(d, l, n);
}

// Whether a list's tails are blocks of the list domain itself rather than
// reference cells (a reference list's tails are cells of its own domain).
static bool PlainTail(const IDomainDefinition* list, const RFunctor& cons) {
  auto* own = reinterpret_cast<const RDomainRecord*>(list);
  return cons.args[1].domain == own && own->kind == BuildDomainClassTable()[kList];
}

// A block whose arguments are being visited: the next one is `i`, at
// offset `pos` after the previous one.
struct ArgLevel {
  const RFunctor* f;
  term a, b;       // the block (and the other side's, when comparing)
  uint8_t* copy;   // the copy's block, when copying
  uint32_t i, pos;
};

// The next argument of the top level: its domain and its terms; the level
// goes when this is its last argument.  False when the stack is empty.
static bool NextArg(LevelStack<ArgLevel>& stack, const IDomainDefinition*& d, term& a, term& b,
                    uint8_t*& slot, bool boxedOnly) {
  while (!stack.Empty()) {
    ArgLevel& top = stack.Top();
    const RFunctor& f = *top.f;
    while (top.i < f.argCount) {
      top.pos += f.args[top.i].offset;
      d = Dom(f.args[top.i].domain);
      ++top.i;
      if (boxedOnly && d->IsScalar()) continue;
      a = ArgTerm(d, top.a, top.pos);
      if (top.b) b = ArgTerm(d, top.b, top.pos);
      slot = top.copy ? top.copy + top.pos : nullptr;
      if (top.i == f.argCount) stack.Pop();
      return true;
    }
    stack.Pop();
  }
  return false;
}

[[gnu::cold, gnu::noinline]] static int CompareWalk(const IDomainDefinition* d, NodeKind k, term a, term b) {
  LevelStack<ArgLevel> stack;
  uint8_t* slot;
  for (;;) {
    if (!k.node) {
      if (int r = d->CompareTerms(a, b)) return r;
    } else {
      if (k.ref) {
        const RRefCell *x = Deref(a), *y = Deref(b);
        if (!IsBound(x) || !IsBound(y)) Raise(328);
        a = reinterpret_cast<term>(x->value);
        b = reinterpret_cast<term>(y->value);
      }
      uint32_t n = NumberOf(k.layout, a), m = NumberOf(k.layout, b);
      if (n != m) return n < m ? -1 : 1;
      const RFunctor& f = FunctorOf(d, k.layout, a);
      if (f.argCount) stack.Push() = {&f, a, b, nullptr, 0, 0};
    }
    if (!NextArg(stack, d, a, b, slot, false)) return 0;
    k = NodeOf(d);
  }
}

[[gnu::cold, gnu::noinline]] static uint32_t SizeWalk(const IDomainDefinition* d, NodeKind k, term t, bool aligned) {
  LevelStack<ArgLevel> stack;
  uint64_t n = 0;
  term unused;
  uint8_t* slot;
  for (;;) {
    if (!k.node) {
      n += aligned ? d->AlignedSizeOfTerm(t) : d->SizeOfTermAt(t);
    } else {
      bool bound = true;
      if (k.ref) {
        const RRefCell* c = Deref(t);
        n += 16;
        bound = IsBound(c);
        t = reinterpret_cast<term>(c->value);
      }
      if (bound) {
        const RFunctor& f = FunctorOf(d, k.layout, t);
        n += aligned ? Align8(f.blockSize) : f.blockSize;
        if (f.argCount) stack.Push() = {&f, t, nullptr, nullptr, 0, 0};
      }
    }
    if (n > 0x7FFFFFF0ull) CheckedSize(n);  // 206 now: shared subterms may count without end
    if (!NextArg(stack, d, t, unused, slot, true)) return CheckedSize(n);
    k = NodeOf(d);
  }
}

// The copy is laid out as the size walk counts it: each block, then its
// boxed arguments in order, each 8-aligned.
[[gnu::cold, gnu::noinline]] static term CopyWalk(const IDomainDefinition* d, NodeKind k, uint8_t* target, term t,
                     bool boundRequired, uint32_t* used) {
  LevelStack<ArgLevel> stack;
  uint32_t at = 0;
  term first = nullptr, unused;
  uint8_t* slot = nullptr;
  for (;;) {
    term copy = target + at;
    if (!k.node) {
      uint32_t n;
      copy = d->CopyTerm(target + at, t, boundRequired, &n);
      at += n;
    } else {
      bool bound = true;
      if (k.ref) {
        const RRefCell* c = Deref(t);
        auto* cell = reinterpret_cast<RRefCell*>(target + at);
        at += 16;
        bound = IsBound(c);
        if (!bound && boundRequired) Raise(328);
        if (bound) *cell = *c;
        else cell->tag = cell->value = 0;
        if (slot) memcpy(slot, &copy, 8);
        else first = copy;
        slot = reinterpret_cast<uint8_t*>(&cell->value);
        t = reinterpret_cast<term>(c->value);
        copy = target + at;
      }
      if (bound) {
        const RFunctor& f = FunctorOf(d, k.layout, t);
        memcpy(target + at, t, f.blockSize);
        at += Align8(f.blockSize);
        if (f.argCount) stack.Push() = {&f, t, nullptr, const_cast<uint8_t*>(copy), 0, 0};
      } else {
        copy = nullptr;
      }
    }
    if (copy) {
      if (slot) memcpy(slot, &copy, 8);
      else first = copy;
    }
    if (!NextArg(stack, d, t, unused, slot, true)) break;
    k = NodeOf(d);
  }
  *used = at;
  return first;
}

// A list being written: its cons cell whose head was written last.
struct WriteLevel {
  const IDomainDefinition* d;  // the list domain, or null for a compound
  const RFunctor* f;
  term t;
  uint32_t i, pos;
};

// The next cons or [] after a cons; null for an unbound reference tail.
static term NextCons(const IDomainDefinition* list, const RFunctor& cons, term t) {
  term next;
  memcpy(&next, t + cons.args[0].offset + cons.args[1].offset, 8);
  if (PlainTail(list, cons)) return next;
  const RRefCell* c = Deref(next);
  return IsBound(c) ? reinterpret_cast<term>(c->value) : nullptr;
}

[[gnu::cold, gnu::noinline]] static void WriteWalk(RStreamCursor* out, const IDomainDefinition* d, NodeKind k, term t, bool quoted) {
  LevelStack<WriteLevel> stack;
  for (;;) {
    // Enter the term t of domain d.
    if (!k.node) {
      if (quoted) d->WriteForConsultToStream(out, t);
      else d->WriteToStream(out, t);
    } else {
      bool bound = true;
      if (k.ref) {
        const RRefCell* c = Deref(t);
        bound = IsBound(c);
        t = reinterpret_cast<term>(c->value);
        if (!bound) out->Write(L'_');
      }
      if (bound && k.layout == Layout::List) {
        out->Write(L'[');
        if (NumberOf(Layout::List, t) == 1) {
          const RFunctor& cons = FunctorOf(d, Layout::List, t);
          stack.Push() = {d, &cons, t, 0, 0};
          const IDomainDefinition* head = Dom(cons.args[0].domain);
          d = head;
          t = ArgTerm(head, t, cons.args[0].offset);
          k = NodeOf(d);
          continue;
        }
        out->Write(L']');
      } else if (bound) {
        const RFunctor& f = FunctorOf(d, k.layout, t);
        out->Write(f.name);
        out->Write(L'(');
        stack.Push() = {nullptr, &f, t, 0, 0};
      }
    }
    // Leave: close what is complete, then enter the next argument or element.
    for (;;) {
      if (stack.Empty()) return;
      WriteLevel& top = stack.Top();
      const RFunctor& f = *top.f;
      if (top.d) {  // a list: the element after top.t
        term next = NextCons(top.d, f, top.t);
        if (next && NumberOf(Layout::List, next) == 1) {
          out->Write(L',');
          top.t = next;
          d = Dom(f.args[0].domain);
          t = ArgTerm(d, next, f.args[0].offset);
          break;
        }
        if (!next) {
          out->Write(L'|');
          out->Write(L'_');
        }
        out->Write(L']');
        stack.Pop();
        continue;
      }
      if (top.i == f.argCount) {
        out->Write(L')');
        stack.Pop();
        continue;
      }
      if (top.i) out->Write(L',');
      top.pos += f.args[top.i].offset;
      d = Dom(f.args[top.i].domain);
      t = ArgTerm(d, top.t, top.pos);
      ++top.i;
      break;
    }
    k = NodeOf(d);
  }
}

template <Layout L>
class TCompound : public TDomainDefinition {
 public:
  const RCompoundDomain& C() const { return *reinterpret_cast<const RCompoundDomain*>(this); }
  uint32_t Number(term t) const { return NumberOf(L, t); }
  const RFunctor& F(term t) const { return *TCompound::FunctorEntry(Number(t)); }
  const RFunctor& Entry(uint32_t n) const { return EntryOf(this, L, n); }

  static constexpr NodeKind kSelf{true, L, false};
  uint32_t SizeOfTerm(term t) const override { return F(t).blockSize; }
  uint32_t SizeOfTermAt(term t) const override {
    if (NearStackEnd()) return SizeWalk(this, kSelf, t, false);
    const RFunctor& f = F(t);
    uint64_t n = f.blockSize;
    ForEachArg(f, [&](const IDomainDefinition* d, uint32_t pos) {
      if (!d->IsScalar()) n += d->SizeOfTermAt(ArgTerm(d, t, pos));
    });
    return CheckedSize(n);
  }
  uint32_t AlignedSizeOfTerm(term t) const override {
    if (NearStackEnd()) return SizeWalk(this, kSelf, t, true);
    const RFunctor& f = F(t);
    uint64_t n = Align8(f.blockSize);
    ForEachArg(f, [&](const IDomainDefinition* d, uint32_t pos) {
      if (!d->IsScalar()) n += d->AlignedSizeOfTerm(ArgTerm(d, t, pos));
    });
    return CheckedSize(n);
  }
  bool IsScalar() const override { return false; }
  bool IsBoxed() const override { return true; }
  uint32_t CompoundWord() const override { return C().four; }
  uint32_t FunctorCount() const override { return C().functorCount; }
  uint32_t FunctorOfTerm(term t) const override { return Number(t); }
  bool HasFunctorWord() const override { return L != Layout::Single; }
  bool IsList() const override { return L == Layout::List; }
  // 58: the functor table; 59: functor n (from 1), a fact's descriptor.
  virtual const void* FunctorTable() const { return C().functors; }
  virtual const RFunctor* FunctorEntry(uint32_t n) const {
    if (n < 1 || n > C().functorCount)
      Errors::InternalError(L"Functor %u out of range in the domain '%s'", n, QualifiedName());
    return &Entry(n);
  }

  term CopyTerm(uint8_t* target, term t, bool boundRequired, uint32_t* used) const override {
    if (NearStackEnd()) return CopyWalk(this, kSelf, target, t, boundRequired, used);
    const RFunctor& f = F(t);
    memcpy(target, t, f.blockSize);
    uint32_t at = Align8(f.blockSize);
    ForEachArg(f, [&](const IDomainDefinition* d, uint32_t pos) {
      if (d->IsScalar()) return;
      uint32_t n;
      term copy = d->CopyTerm(target + at, ArgTerm(d, t, pos), boundRequired, &n);
      memcpy(target + pos, &copy, 8);
      at += n;
    });
    *used = at;
    return target;
  }
  term CopyTermFromGStack(term t) const override {
    if (!InGStack(t)) return t;
    CheckWalkDepth(this, t);
    const RFunctor& f = F(t);
    auto* h = static_cast<uint8_t*>(Memory::AllocHeap(Align8(f.blockSize)));
    memcpy(h, t, f.blockSize);
    ForEachArg(f, [&](const IDomainDefinition* d, uint32_t pos) {
      if (d->IsScalar()) return;
      term copy = d->CopyTermFromGStack(ArgTerm(d, t, pos));
      memcpy(h + pos, &copy, 8);
    });
    return h;
  }
  int CompareTerms(term a, term b) const override {
    if (NearStackEnd()) return CompareWalk(this, kSelf, a, b);
    uint32_t x = Number(a), y = Number(b);
    if (x != y) return x < y ? -1 : 1;
    int r = 0;
    const RFunctor& f = F(a);
    uint32_t pos = 0;
    for (uint32_t i = 0; i < f.argCount && r == 0; ++i) {
      pos += f.args[i].offset;
      const IDomainDefinition* d = Dom(f.args[i].domain);
      r = d->CompareTerms(ArgTerm(d, a, pos), ArgTerm(d, b, pos));
    }
    return r;
  }
  bool Validate(term t) const override {
    if (BelowReaderStackFloor()) return false;  // too deep to follow
    if (!Readable(t, L == Layout::Single ? 1 : 8)) return false;
    uint32_t n = Number(t);
    if (n < 1 || n > C().functorCount) return false;
    const RFunctor& f = Entry(n);
    if (!Readable(t, f.blockSize)) return false;
    bool ok = true;
    ForEachArg(f, [&](const IDomainDefinition* d, uint32_t pos) {
      if (ok) ok = d->Validate(ArgTerm(d, t, pos));
    });
    return ok;
  }
  bool IsGround(term t) const override {
    if (!R().reference) return true;
    CheckWalkDepth(this, t);
    bool ground = true;
    ForEachArg(F(t), [&](const IDomainDefinition* d, uint32_t pos) {
      if (ground && !d->IsScalar()) ground = d->IsGround(ArgTerm(d, t, pos));
    });
    return ground;
  }

  // --- Text forms ---
  void WriteTerm(RStreamCursor* out, term t, bool quoted) const {
    if (NearStackEnd()) return WriteWalk(out, this, kSelf, t, quoted);
    const RFunctor& f = F(t);
    out->Write(f.name);
    out->Write(L'(');
    uint32_t i = 0;
    ForEachArg(f, [&](const IDomainDefinition* d, uint32_t pos) {
      if (i++) out->Write(L',');
      if (quoted) d->WriteForConsultToStream(out, ArgTerm(d, t, pos));
      else d->WriteToStream(out, ArgTerm(d, t, pos));
    });
    out->Write(L')');
  }
  void WriteForConsultToStream(RStreamCursor* out, term t) const override { WriteTerm(out, t, true); }
  void WriteToStream(RStreamCursor* out, term t) const override { WriteTerm(out, t, false); }

  // A new block of functor n (1-based), or the shared zero-arity value.
  uint8_t* NewBlock(uint32_t n) const {
    const RFunctor& f = Entry(n);
    if (f.argCount == 0 && L != Layout::Single)
      return const_cast<uint8_t*>(static_cast<const uint8_t*>(Memory::MEM_alloc_nullfunctor(4 * n)));
    uint8_t* block = AllocateTerm(Align8(f.blockSize));
    memset(block, 0, f.blockSize);
    if (L != Layout::Single) {
      uint64_t w = n;
      memcpy(block, &w, 8);
    }
    return block;
  }
  static void Store(uint8_t* block, uint32_t pos, const IDomainDefinition* d, term value) {
    if (d->IsScalar()) memcpy(block + pos, value, d->ValueSize());
    else memcpy(block + pos, &value, 8);
  }
  term LowLevelFromString(const wchar_t** cursor) const override {
    const wchar_t* p = *cursor;
    SkipWhite(p);
    if (BelowReaderStackFloor()) Invalid(this, p);  // nested too deep
    if (!*p || !OSInterface::IsValid1stFunctorName(*p)) Raise(310, QualifiedName(), p);
    uint32_t n = 0;
    for (uint32_t i = 0; i < C().functorCount && !n; ++i) {
      const wchar_t* name = Entry(i + 1).name;
      size_t k = wcslen(name);
      if (wcsncmp(p, name, k) == 0 && p[k] != L'_' && !(p[k] && OSInterface::IsCharAlphaNumerical(p[k])))
        n = i + 1;
    }
    if (!n) {
      const wchar_t* e = p;
      while (*e && (*e == L'_' || OSInterface::IsCharAlphaNumerical(*e))) ++e;
      wchar_t* name = Memory::AllocHeapString(CheckedSize(static_cast<uint64_t>(e - p)));
      memcpy(name, p, static_cast<size_t>(e - p) * 2);
      Raise(309, name, QualifiedName());
    }
    const RFunctor& f = Entry(n);
    p += wcslen(f.name);
    SkipWhite(p);
    uint8_t* block = NewBlock(n);
    if (f.argCount == 0) {
      if (*p == L'(') {
        ++p;
        SkipWhite(p);
        if (*p != L')') Expected(this, L')', p);
        ++p;
      }
      *cursor = p;
      return block;
    }
    if (*p != L'(') Expected(this, L'(', p);
    ++p;
    uint32_t i = 0;
    ForEachArg(f, [&](const IDomainDefinition* d, uint32_t pos) {
      Store(block, pos, d, d->LowLevelFromString(&p));
      SkipWhite(p);
      wchar_t want = ++i < f.argCount ? L',' : L')';
      if (*p != want) Expected(this, want, p);
      ++p;
    });
    *cursor = p;
    return block;
  }
  term ReadFromStream(RStreamCursor* in) const override {
    int c = ReadSignificant(*in);
    if (c < 0) Raise(319);
    wchar_t name[256];
    ReadFunctorName(*in, c, this, name);
    if (BelowReaderStackFloor()) Raise(322, QualifiedName(), name);  // nested too deep
    uint32_t n = 0;
    for (uint32_t i = 0; i < C().functorCount && !n; ++i)
      if (SameNameIgnoringCase(Entry(i + 1).name, name)) n = i + 1;
    if (!n) Raise(309, Memory::CopyStringToHeap(name), QualifiedName());
    const RFunctor& f = Entry(n);
    uint8_t* block = NewBlock(n);
    if (f.argCount == 0) {
      SkipEmptyArguments(*in, this);
      return block;
    }
    c = in->ReadNonWhite();
    if (c != L'(') ExpectedSymbol(this, L'(', c);
    uint32_t i = 0;
    ForEachArg(f, [&](const IDomainDefinition* d, uint32_t pos) {
      Store(block, pos, d, d->ReadFromStream(in));
      wchar_t want = ++i < f.argCount ? L',' : L')';
      int got = ReadSignificant(*in);
      if (got != want) ExpectedSymbol(this, want, got);
    });
    return block;
  }
};

// Lists walk their spine in a loop, so long lists need no deep recursion.
class TList : public TCompound<Layout::List> {
 public:
  // The cons cell's head and tail: their domains and positions.
  struct Cons {
    const IDomainDefinition* head;
    uint32_t headPos;
    uint32_t tailPos;
    bool plainTail;  // the tail is this list domain itself (not a reference)
    uint32_t consSize, nilSize;
  };
  Cons Shape() const {
    const RFunctor& cons = C().functors[0];
    bool plain = PlainTail(this, cons);
    Cons s{Dom(cons.args[0].domain), cons.args[0].offset,
           cons.args[0].offset + cons.args[1].offset, plain, cons.blockSize,
           C().functorCount > 1 ? C().functors[1].blockSize : 8};
    return s;
  }
  static term Tail(term t, uint32_t pos) {
    term p;
    memcpy(&p, t + pos, 8);
    return p;
  }
  const IDomainDefinition* TailDomain() const { return Dom(C().functors[0].args[1].domain); }

  uint32_t SizeOfTermAt(term t) const override {
    if (NearStackEnd()) return SizeWalk(this, kSelf, t, false);
    Cons s = Shape();
    uint64_t n = 0;
    for (;; t = Tail(t, s.tailPos)) {
      if (Number(t) != 1) return CheckedSize(n + s.nilSize);
      n += s.consSize;
      if (!s.head->IsScalar()) n += s.head->SizeOfTermAt(ArgTerm(s.head, t, s.headPos));
      if (!s.plainTail) return CheckedSize(n + TailDomain()->SizeOfTermAt(Tail(t, s.tailPos)));
    }
  }
  uint32_t AlignedSizeOfTerm(term t) const override {
    if (NearStackEnd()) return SizeWalk(this, kSelf, t, true);
    Cons s = Shape();
    uint64_t n = 0;
    for (;; t = Tail(t, s.tailPos)) {
      if (Number(t) != 1) return CheckedSize(n + Align8(s.nilSize));
      n += Align8(s.consSize);
      if (!s.head->IsScalar()) n += s.head->AlignedSizeOfTerm(ArgTerm(s.head, t, s.headPos));
      if (!s.plainTail)
        return CheckedSize(n + TailDomain()->AlignedSizeOfTerm(Tail(t, s.tailPos)));
    }
  }
  term CopyTerm(uint8_t* target, term t, bool boundRequired, uint32_t* used) const override {
    if (NearStackEnd()) return CopyWalk(this, kSelf, target, t, boundRequired, used);
    Cons s = Shape();
    uint32_t at = 0;
    uint8_t* tailSlot = nullptr;
    for (;; t = Tail(t, s.tailPos)) {
      uint8_t* block = target + at;
      if (tailSlot) memcpy(tailSlot, &block, 8);
      if (Number(t) != 1) {
        memcpy(block, t, s.nilSize);
        at += Align8(s.nilSize);
        break;
      }
      memcpy(block, t, s.consSize);
      at += Align8(s.consSize);
      if (!s.head->IsScalar()) {
        uint32_t n;
        term copy = s.head->CopyTerm(target + at, ArgTerm(s.head, t, s.headPos), boundRequired, &n);
        memcpy(block + s.headPos, &copy, 8);
        at += n;
      }
      tailSlot = block + s.tailPos;
      if (!s.plainTail) {
        uint32_t n;
        term copy = TailDomain()->CopyTerm(target + at, Tail(t, s.tailPos), boundRequired, &n);
        memcpy(tailSlot, &copy, 8);
        at += n;
        break;
      }
    }
    *used = at;
    return target;
  }
  term CopyTermFromGStack(term t) const override {
    CheckWalkDepth(this, t);
    Cons s = Shape();
    term first = nullptr;
    uint8_t* tailSlot = nullptr;
    for (;; t = Tail(t, s.tailPos)) {
      term copy = t;
      bool more = false;
      if (InGStack(t)) {
        bool cons = Number(t) == 1;
        uint32_t size = cons ? s.consSize : s.nilSize;
        auto* h = static_cast<uint8_t*>(Memory::AllocHeap(Align8(size)));
        memcpy(h, t, size);
        if (cons && !s.head->IsScalar()) {
          term head = s.head->CopyTermFromGStack(ArgTerm(s.head, t, s.headPos));
          memcpy(h + s.headPos, &head, 8);
        }
        copy = h;
        more = cons;
      }
      if (tailSlot) memcpy(tailSlot, &copy, 8); else first = copy;
      if (!more) break;
      tailSlot = const_cast<uint8_t*>(copy) + s.tailPos;
      if (!s.plainTail) {
        term rest = TailDomain()->CopyTermFromGStack(Tail(t, s.tailPos));
        memcpy(tailSlot, &rest, 8);
        break;
      }
    }
    return first;
  }
  int CompareTerms(term a, term b) const override {
    if (NearStackEnd()) return CompareWalk(this, kSelf, a, b);
    Cons s = Shape();
    for (;; a = Tail(a, s.tailPos), b = Tail(b, s.tailPos)) {
      uint32_t x = Number(a), y = Number(b);
      if (x != y) return x < y ? -1 : 1;
      if (x != 1) return 0;
      int r = s.head->CompareTerms(ArgTerm(s.head, a, s.headPos), ArgTerm(s.head, b, s.headPos));
      if (r) return r;
      if (!s.plainTail) return TailDomain()->CompareTerms(Tail(a, s.tailPos), Tail(b, s.tailPos));
    }
  }
  bool Validate(term t) const override {
    if (BelowReaderStackFloor()) return false;  // too deep to follow
    Cons s = Shape();
    for (;; t = Tail(t, s.tailPos)) {
      if (!Readable(t, 8)) return false;
      uint32_t n = Number(t);
      if (n < 1 || n > C().functorCount) return false;
      if (n != 1) return true;
      if (!Readable(t, s.consSize) || !s.head->Validate(ArgTerm(s.head, t, s.headPos)))
        return false;
      if (!s.plainTail) return TailDomain()->Validate(Tail(t, s.tailPos));
    }
  }
  bool IsGround(term t) const override {
    if (!R().reference) return true;
    CheckWalkDepth(this, t);
    Cons s = Shape();
    for (;; t = Tail(t, s.tailPos)) {
      if (Number(t) != 1) return true;
      if (!s.head->IsScalar() && !s.head->IsGround(ArgTerm(s.head, t, s.headPos))) return false;
      if (!s.plainTail) return TailDomain()->IsGround(Tail(t, s.tailPos));
    }
  }

  // --- Text forms ---
  // The next cons or [] of a tail; null for an unbound reference tail.
  term NextOf(term t, const Cons& s) const {
    term next = Tail(t, s.tailPos);
    if (s.plainTail) return next;
    const RRefCell* c = Deref(next);
    return IsBound(c) ? reinterpret_cast<term>(c->value) : nullptr;
  }
  void WriteList(RStreamCursor* out, term t, bool quoted) const {
    if (NearStackEnd()) return WriteWalk(out, this, kSelf, t, quoted);
    Cons s = Shape();
    out->Write(L'[');
    for (bool first = true; t && Number(t) == 1; t = NextOf(t, s), first = false) {
      if (!first) out->Write(L',');
      term head = ArgTerm(s.head, t, s.headPos);
      if (quoted) s.head->WriteForConsultToStream(out, head);
      else s.head->WriteToStream(out, head);
    }
    if (!t) {
      out->Write(L'|');
      out->Write(L'_');
    }
    out->Write(L']');
  }
  void WriteForConsultToStream(RStreamCursor* out, term t) const override { WriteList(out, t, true); }
  void WriteToStream(RStreamCursor* out, term t) const override { WriteList(out, t, false); }

  // Builds the list from elements read by next(); a reference list's tails
  // are bound cells.
  template <class Next>
  term Build(Next&& next) const {
    Cons s = Shape();
    term first = nullptr;
    uint8_t* tailSlot = nullptr;
    auto link = [&](term block) {
      term value = s.plainTail || !tailSlot ? block : TailDomain()->Term_2_RefTerm(block);
      if (tailSlot) memcpy(tailSlot, &value, 8);
      else first = block;
    };
    while (term head = next()) {
      uint8_t* cons = AllocateTerm(Align8(s.consSize));
      memset(cons, 0, s.consSize);
      uint64_t one = 1;
      memcpy(cons, &one, 8);
      Store(cons, s.headPos, s.head, head);
      link(cons);
      tailSlot = cons + s.tailPos;
    }
    link(static_cast<term>(Memory::MEM_alloc_nullfunctor(8)));
    return first;
  }
  term LowLevelFromString(const wchar_t** cursor) const override {
    const wchar_t* p = *cursor;
    SkipWhite(p);
    if (BelowReaderStackFloor()) Invalid(this, p);  // nested too deep
    if (*p != L'[') Expected(this, L'[', p);
    ++p;
    SkipWhite(p);
    if (!*p) Expected(this, L']', p);
    bool done = *p == L']';
    if (done) ++p;
    const IDomainDefinition* element = Shape().head;
    term list = Build([&]() -> term {
      if (done) return nullptr;
      term head = element->LowLevelFromString(&p);
      SkipWhite(p);
      if (*p == L',') ++p;
      else if (*p == L']') ++p, done = true;
      else Expected(this, L']', p);
      return head;
    });
    *cursor = p;
    return list;
  }
  term ReadFromStream(RStreamCursor* in) const override {
    int c = ReadSignificant(*in);
    if (c != L'[') ExpectedSymbol(this, L'[', c);
    if (BelowReaderStackFloor()) Raise(322, QualifiedName(), L"[");  // nested too deep
    c = ReadSignificant(*in);
    if (c < 0) Raise(319);
    bool done = c == L']';
    if (!done) in->Unget();
    const IDomainDefinition* element = Shape().head;
    return Build([&]() -> term {
      if (done) return nullptr;
      term head = element->ReadFromStream(in);
      int sep = ReadSignificant(*in);
      if (sep == L']') done = true;
      else if (sep != L',') ExpectedSymbol(this, L']', sep);
      return head;
    });
  }
};

// Predicate values: a code pointer and the data object it runs with.
class TPredicateValue : public TCompound<Layout::Single> {
 public:
  uint32_t ValueSize() const override { return 16; }
  bool Validate(term t) const override {
    if (!Readable(t, 16)) return false;
    const void* code;
    const uint8_t* data;
    memcpy(&code, t, 8);
    memcpy(&data, t + 8, 8);
    if (OSInterface::OSIsBadCodePtr(code)) return false;
    if (!data) return true;
    const RFunctor& f = C().functors[0];
    if (f.argCount < 2) return Readable(data, 8);
    const IDomainDefinition* d = Dom(f.args[1].domain);
    return d->Validate(ArgTerm(d, t, f.args[0].offset + f.args[1].offset));
  }
};

// Fact databases (12: class facts, 1 in DatabaseKind; 13: object facts, 2).
// Their terms are fact terms: the functor word is the fact number.
template <uint32_t DbKind>
class TFacts : public TCompound<Layout::Facts> {
 public:
  using TDB = DBInternal::TDB;
  const DBInternal::RFactDatabase& FD() const {
    return *reinterpret_cast<const DBInternal::RFactDatabase*>(this);
  }
  uintptr_t ObjectFactsOffset() const override { return DbKind == 2 ? FD().heads : 0; }
  void* ClassFactsHeads() const override {
    return DbKind == 1 ? reinterpret_cast<void*>(FD().heads) : nullptr;
  }
  uint32_t DatabaseKind() const override { return DbKind; }
  // A class database's heads are set up when its class is linked.
  void PostInitialize() const override {
    if (DbKind != 1) return;
    if (!FD().heads && FD().factCount)
      Errors::InternalError(L"The database '%s' has no chain heads", QualifiedName());
    DBInternal::InitializeClassFacts(this);
  }
  void EnumerateFacts(void* object, DBInternal::RFactVisitor* visitor) const override {
    if (!visitor) return;
    DBInternal::RFactHead* heads = DbKind == 1 || object ? DBInternal::Heads(this, object) : nullptr;
    const wchar_t* database = QualifiedName();
    for (uint32_t i = 0; i < FD().factCount; ++i) {
      const DBInternal::RFactDescriptor* f = FD().facts + i;
      if (DbKind == 1) visitor->ClassFact(f, f->name, heads, database);
      else visitor->ObjectFact(f, f->name, heads, database);
    }
  }
  // 60-67 have no operation in a fact database.
  virtual void Slot60() const { Unused(60); }
  virtual void Slot61() const { Unused(61); }
  virtual void Slot62() const { Unused(62); }
  virtual void Slot63() const { Unused(63); }
  virtual void Slot64() const { Unused(64); }
  virtual void Slot65() const { Unused(65); }
  virtual void Slot66() const { Unused(66); }
  virtual void Slot67() const { Unused(67); }
  // 68, 69: a fact at the front / end of its chain (object: null for class facts).
  virtual void AssertA(void* object, term t) const {
    if (DbKind == 1) DBInternal::TDBClassInternalDomainDefinition::AssertAClass(this, t);
    else DBInternal::TDBObjectInternalDomainDefinition::AssertAObject(this, Holder(object), t);
  }
  virtual void AssertZ(void* object, term t) const {
    if (DbKind == 1) DBInternal::TDBClassInternalDomainDefinition::AssertZClass(this, t);
    else DBInternal::TDBObjectInternalDomainDefinition::AssertZObject(this, Holder(object), t);
  }

 private:
  [[noreturn]] void Unused(uint32_t slot) const {
    Errors::InternalError(L"Slot %u of the database '%s'", slot, QualifiedName());
  }
  void* Holder(void* object) const {
    if (!object) Errors::InternalError(L"No object for the database '%s'", QualifiedName());
    return object;
  }
};

void FillCompoundAndListClasses(uintptr_t* t) {
  t[kCompound] = TableOf<TCompound<Layout::Word>>();
  t[kList] = TableOf<TList>();
  t[kSingleCompound] = TableOf<TCompound<Layout::Single>>();
  t[kClassFacts] = TableOf<TFacts<1>>();
  t[kObjectFacts] = TableOf<TFacts<2>>();
  t[kPredicateValue] = TableOf<TPredicateValue>();
  t[kRefCompound] = TableOf<TRef<TCompound<Layout::Word>, false>>();
  t[kRefList] = TableOf<TRef<TList, false>>();
  const NodeClass nodes[] = {{t[kCompound], {true, Layout::Word, false}},
                             {t[kList], {true, Layout::List, false}},
                             {t[kSingleCompound], {true, Layout::Single, false}},
                             {t[kPredicateValue], {true, Layout::Single, false}},
                             {t[kClassFacts], {true, Layout::Facts, false}},
                             {t[kObjectFacts], {true, Layout::Facts, false}},
                             {t[kRefCompound], {true, Layout::Word, true}},
                             {t[kRefList], {true, Layout::List, true}}};
  for (const NodeClass& c : nodes) {
    uint32_t i = NodeSlot(c.table);
    while (g_nodeClasses[i].table) i = (i + 1) % kNodeSlots;
    g_nodeClasses[i] = c;
  }
}

}  // namespace Qel::RunTime::Terms
