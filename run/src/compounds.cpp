// The compound kinds: compound (9), single compound (11), predicate value
// (15), fact databases (12, 13) and lists (10), with their reference
// variants.  A term points at its block; lists walk their spine in loops and
// text nesting is bounded by the machine stack's floor.
#include "domains.h"
#include "dbhooks.h"
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

template <Layout L>
class TCompound : public TDomainDefinition {
 public:
  const RCompoundDomain& C() const { return *reinterpret_cast<const RCompoundDomain*>(this); }
  uint32_t Number(term t) const {
    if (L == Layout::Single) return 1;
    uint64_t w;
    memcpy(&w, t, 8);
    return L == Layout::List ? static_cast<uint32_t>(w & 0xFF) : static_cast<uint32_t>(w);
  }
  const RFunctor& F(term t) const { return *TCompound::FunctorEntry(Number(t)); }
  // Functor n (from 1) of the table; fact descriptors are longer entries.
  const RFunctor& Entry(uint32_t n) const {
    constexpr size_t stride = L == Layout::Facts ? sizeof(DBInternal::RFactDescriptor) : sizeof(RFunctor);
    return *reinterpret_cast<const RFunctor*>(reinterpret_cast<const uint8_t*>(C().functors) +
                                              stride * (n - 1));
  }

  uint32_t SizeOfTerm(term t) const override { return F(t).blockSize; }
  uint32_t SizeOfTermAt(term t) const override {
    const RFunctor& f = F(t);
    uint64_t n = f.blockSize;
    ForEachArg(f, [&](const IDomainDefinition* d, uint32_t pos) {
      if (!d->IsScalar()) n += d->SizeOfTermAt(ArgTerm(d, t, pos));
    });
    return CheckedSize(n);
  }
  uint32_t AlignedSizeOfTerm(term t) const override {
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
    bool ground = true;
    ForEachArg(F(t), [&](const IDomainDefinition* d, uint32_t pos) {
      if (ground && !d->IsScalar()) ground = d->IsGround(ArgTerm(d, t, pos));
    });
    return ground;
  }

  // --- Text forms ---
  void WriteTerm(RStreamCursor* out, term t, bool quoted) const {
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
    // A reference list's tails are cells of the reference list domain.
    bool plain = cons.args[1].domain == &R() && R().kind == BuildDomainClassTable()[kList];
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
}

}  // namespace Qel::RunTime::Terms
