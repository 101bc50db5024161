// Fact databases: chains of heap cells per fact, asserted at either end,
// retracted one by one (also while walks over the chain are suspended, the
// kernel moving their cursors on), collected into lists.
#include <cstring>

#include "dbhooks.h"
#include "dbinternal.h"

namespace Qel::RunTime::Terms::DBInternal {

using namespace Kernel;
using namespace detail;
using Qel::RunTime::detail::Align8;

namespace {

using PTD = Control::TPrologThreadData;

const RFactDescriptor& Descriptor(const TDB* d, uint32_t index) {
  if (index >= FD(d).factCount)
    Errors::InternalError(L"Fact %u out of range in the database '%s'", index + 1, d->QualifiedName());
  return FD(d).facts[index];
}

uint32_t FactNumber(const TDB* d, const uint8_t* t) {
  uint64_t n;
  memcpy(&n, t, 8);
  if (n < 1 || n > FD(d).factCount)
    Errors::InternalError(L"Fact %u out of range in the database '%s'", static_cast<unsigned>(n),
                          d->QualifiedName());
  return static_cast<uint32_t>(n);
}

// Where a heap block of a database comes from, for the memory profile: the
// database kind and a key naming the fact (its descriptor's address).
struct Origin {
  uint32_t kind;
  uint32_t key;
};
Origin OriginOf(const TDB* d, const RFactDescriptor& f) {
  return {d->DatabaseKind(), Qel::RunTime::detail::FactProfileKey(f)};
}

// Heap memory inside the profile context of its fact.  Nothing that may
// raise runs while the context is open.
void* AllocIn(Origin o, uint32_t size) {
  uint32_t depth = Memory::Statistics::memProf_ContextOpen(o.kind, o.key);
  void* p = Memory::AllocHeap(size);
  Memory::Statistics::memProf_ContextClose(depth);
  return p;
}

// A heap copy of a term of any domain.
const uint8_t* CopyToHeap(const IDomainDefinition* d, const uint8_t* t, Origin o) {
  auto* target = static_cast<uint8_t*>(AllocIn(o, d->AlignedSizeOfTerm(t)));
  uint32_t used;
  return d->CopyTerm(target, t, true, &used);
}

// A deep copy of a fact term, on the heap (in its fact's profile context) or
// on the global stack.
const uint8_t* CopyFact(const TDB* d, const uint8_t* t, bool heap) {
  uint32_t n = FactNumber(d, t);
  if (heap) return CopyToHeap(d, t, OriginOf(d, FD(d).facts[n - 1]));
  uint32_t used;
  return d->CopyTerm(GAlloc(d->AlignedSizeOfTerm(t)), t, true, &used);
}

// The text of a fact term, cut to `max` units (for messages).
const wchar_t* FactText(const TDB* d, const uint8_t* t, uint32_t max) {
  const RFactDescriptor& f = Descriptor(d, FactNumber(d, t) - 1);
  wchar_t* out = Memory::AllocHeapString(max);
  uint32_t n = 0;
  auto put = [&](const wchar_t* s) {
    while (*s && n < max) out[n++] = *s++;
  };
  put(f.name ? f.name : L"");
  put(L"(");
  uint32_t pos = 0;
  for (uint32_t i = 0; i < f.argCount && n < max; ++i) {
    pos += f.args[i].offset;
    const IDomainDefinition* a = Dom(f.args[i].domain);
    if (i) put(L",");
    put(ToString(a, ArgTerm(a, t, pos)));
  }
  put(L")");
  out[n] = 0;
  return out;
}

RStructFact* NewCell(const uint8_t* t, Origin o) {
  auto* c = static_cast<RStructFact*>(AllocIn(o, sizeof(RStructFact)));
  c->term = t;
  c->next = nullptr;
  return c;
}

void Assert(const TDB* d, RFactHead* heads, const uint8_t* t, bool atFront) {
  uint32_t n = FactNumber(d, t);
  const RFactDescriptor& f = FD(d).facts[n - 1];
  RFactHead* h = heads + (n - 1);
  if (f.bare) {
    const IDomainDefinition* a = Dom(f.args[0].domain);
    uint32_t pos = f.args[0].offset;
    if (a->IsScalar()) {
      uint8_t value[16] = {};
      uint32_t used;
      a->CopyTerm(value, t + pos, f.copyFlag != 0, &used);
      memcpy(&h->first, value, 8);
    } else if (a->FunctorCount() != 0) {
      // The head serves as the value's one-word block: only functors
      // without arguments can live there.
      const uint8_t* v = ArgTerm(a, t, pos);
      uint64_t word;
      memcpy(&word, v, 8);
      const RFunctor* fs = reinterpret_cast<const RCompoundDomain*>(a)->functors;
      uint32_t number = a->FunctorOfTerm(v);
      if (number < 1 || number > a->FunctorCount() || fs[number - 1].argCount != 0)
        Errors::InternalError(L"The bare fact '%s' holds a functor with arguments", f.name);
      memcpy(&h->first, &word, 8);
    } else {
      h->first = reinterpret_cast<RStructFact*>(const_cast<uint8_t*>(CopyToHeap(a, ArgTerm(a, t, pos), OriginOf(d, f))));
    }
    return;
  }
  if (f.single) {
    const uint8_t* copy = CopyFact(d, t, true);
    if (!h->first) h->first = h->last = NewCell(nullptr, OriginOf(d, f));
    h->first->term = copy;
    return;
  }
  if (f.determ && h->first) Raise(311, FactText(d, t, 20), d->QualifiedName());
  RStructFact* c = NewCell(CopyFact(d, t, true), OriginOf(d, f));
  if (atFront) {
    c->next = h->first;
    h->first = c;
    if (!h->last) h->last = c;
  } else {
    if (h->last) h->last->next = c;
    else h->first = c;
    h->last = c;
  }
}

// Unlinks the first cell of a chain (the chain is not empty).
RStructFact* UnlinkFirst(RFactHead* h) {
  RStructFact* c = h->first;
  h->first = c->next;
  if (!h->first) h->last = nullptr;
  return c;
}

void RetractAllInFact(const TDB* d, RFactHead* heads, uint32_t index) {
  const RFactDescriptor& f = Descriptor(d, index);
  if (f.single) Raise(326, f.name, d->QualifiedName());
  RFactHead* h = heads + index;
  while (h->first) FinishRetract(UnlinkFirst(h), &h->first);
}

void RetractAllInDB(const TDB* d, RFactHead* heads) {
  for (uint32_t i = 0; i < FD(d).factCount; ++i) RetractAllInFact(d, heads, i);
}

void RetractDeterm(const TDB* d, RFactHead* heads, uint32_t index, const wchar_t* who) {
  const RFactDescriptor& f = Descriptor(d, index);
  if (!f.determ) Errors::InternalError(L"%s", who);
  RFactHead* h = heads + index;
  if (!h->first) Fail();
  FinishRetract(UnlinkFirst(h), &h->first);
}

void RetractCompound(RFactHead* h, TContinuation next, void* context) {
  TBackTrackBlock* mark = PTD::GetBackTrack();
  TStackBlock block;
  for (;;) {
    if (!h->first) Fail();
    RStructFact* c = UnlinkFirst(h);
    if (PTD::StackBTrack(&block)) continue;  // backtracked into: the next fact
    const uint8_t* t = c->term;
    FinishRetract(c, &h->first);
    next(context, t);
    PTD::CutBackTrack(mark);
    return;
  }
}

void RetractVar(const TDB* d, RFactHead* heads, const uint8_t** termWord, TContinuation next,
                void* context) {
  TBackTrackBlock* mark = PTD::GetBackTrack();
  TStackBlock block;
  volatile uint32_t index = 0;
  uint32_t count = FD(d).factCount;
  for (;;) {
    while (index < count && (FD(d).facts[index].bare || !heads[index].first)) index = index + 1;
    if (index == count) Fail();
    RFactHead* h = heads + index;
    if (FD(d).facts[index].single)
      Errors::InternalError(L"RetractVar: single fact must has clause");
    RStructFact* c = UnlinkFirst(h);
    if (PTD::StackBTrack(&block)) continue;
    const uint8_t* t = c->term;
    FinishRetract(c, &h->first);
    *termWord = CopyFact(d, t, false);
    next(context, *termWord);
    PTD::CutBackTrack(mark);
    return;
  }
}

}  // namespace

RFactHead* Heads(const TDB* d, void* object) {
  if (d->DatabaseKind() == 1) return reinterpret_cast<RFactHead*>(FD(d).heads);
  return reinterpret_cast<RFactHead*>(static_cast<uint8_t*>(object) + FD(d).heads);
}

static void InitializeHeads(const TDB* d, RFactHead* heads) {
  for (uint32_t i = 0; i < FD(d).factCount; ++i) {
    const RFactDescriptor& f = FD(d).facts[i];
    heads[i].first = heads[i].last = nullptr;
    if (f.single && !f.bare) heads[i].first = heads[i].last = NewCell(nullptr, OriginOf(d, f));
  }
}
void InitializeClassFacts(const TDB* d) { InitializeHeads(d, Heads(d, nullptr)); }
void InitializeObjectFacts(const TDB* d, void* object) { InitializeHeads(d, Heads(d, object)); }

void TDBClassInternalDomainDefinition::AssertAClass(const TDB* d, const uint8_t* t) {
  Assert(d, Heads(d, nullptr), t, true);
}
void TDBClassInternalDomainDefinition::AssertZClass(const TDB* d, const uint8_t* t) {
  Assert(d, Heads(d, nullptr), t, false);
}
void TDBObjectInternalDomainDefinition::AssertAObject(const TDB* d, void* object, const uint8_t* t) {
  Assert(d, Heads(d, object), t, true);
}
void TDBObjectInternalDomainDefinition::AssertZObject(const TDB* d, void* object, const uint8_t* t) {
  Assert(d, Heads(d, object), t, false);
}

void RetractAllinFactClass(const TDB* d, uint32_t index) {
  RetractAllInFact(d, Heads(d, nullptr), index);
}
void RetractAllinFactObject(const TDB* d, void* object, uint32_t index) {
  RetractAllInFact(d, Heads(d, object), index);
}
void RetractAllinDBClass(const TDB* d) { RetractAllInDB(d, Heads(d, nullptr)); }
void RetractAllinDBObject(const TDB* d, void* object) { RetractAllInDB(d, Heads(d, object)); }

void RetractDetermClass(const TDB* d, uint32_t index) {
  RetractDeterm(d, Heads(d, nullptr), index, L"TDBClassInternalDomainDefinition::RetractDetermClass");
}
void RetractDetermObject(const TDB* d, void* object, uint32_t index) {
  RetractDeterm(d, Heads(d, object), index,
                L"TDBObjectInternalDomainDefinition::RetractDetermObject");
}

void RetractCompoundClass(const TDB* d, uint32_t index, TContinuation next, void* context) {
  Descriptor(d, index);
  RetractCompound(Heads(d, nullptr) + index, next, context);
}
void RetractCompoundObject(const TDB* d, void* object, uint32_t index, TContinuation next,
                           void* context) {
  Descriptor(d, index);
  RetractCompound(Heads(d, object) + index, next, context);
}
void RetractVarClass(const TDB* d, const uint8_t** termWord, TContinuation next, void* context) {
  RetractVar(d, Heads(d, nullptr), termWord, next, context);
}
void RetractVarObject(const TDB* d, void* object, const uint8_t** termWord, TContinuation next,
                      void* context) {
  RetractVar(d, Heads(d, object), termWord, next, context);
}

void WalkFacts(RFactHead* head, TContinuation next, void* context) {
  TBackTrackBlock* mark = PTD::GetBackTrack();
  TStackBlock block;
  RStructFact* volatile cursor = head->first;
  for (;;) {
    RStructFact* c = cursor;
    if (!c) Fail();
    cursor = c->next;
    if (cursor && PTD::StackBTrack3(&block, const_cast<RStructFact**>(&cursor))) continue;
    next(context, c->term);
    PTD::CutBackTrack(mark);
    return;
  }
}

void FinishRetract(RStructFact* cell, RStructFact** firstWord) {
  PTD::CheckRetract(cell, firstWord);
  Memory::ReleaseHeap(cell);
}

void Error_SingleFactHasNoValue(const TDB* d, uint32_t fact) {
  Raise(329, Descriptor(d, fact - 1).name, d->QualifiedName());
}

void FindAllAlloc(const IDomainDefinition* d, const uint8_t* t, RStructFact*** tail) {
  Control::PollUserBreak();  // once per solution
  // The cell and the term's copy share one heap block.
  uint32_t size = d->AlignedSizeOfTerm(t);
  auto* c = static_cast<RStructFact*>(Memory::AllocHeap(sizeof(RStructFact) + size));
  uint32_t used;
  c->term = d->CopyTerm(reinterpret_cast<uint8_t*>(c + 1), t, true, &used);
  c->next = nullptr;
  **tail = c;
  *tail = &c->next;
}

void FindAllSlut(const IDomainDefinition* list, RStructFact** chain, const uint8_t** result) {
  const RFunctor& cons = reinterpret_cast<const RCompoundDomain*>(list)->functors[0];
  const IDomainDefinition* element = Dom(cons.args[0].domain);
  uint32_t headPos = cons.args[0].offset, tailPos = headPos + cons.args[1].offset;
  bool inline_ = element->IsScalar();
  uint32_t valueSize = element->ValueSize();
  const void* nil = Memory::MEM_alloc_nullfunctor(4 * 2);
  const uint8_t* first = static_cast<const uint8_t*>(nil);
  uint8_t* tailSlot = nullptr;
  for (RStructFact* c = *chain; c;) {
    uint8_t* node = GAlloc(cons.blockSize);
    memset(node, 0, Align8(cons.blockSize));
    uint64_t one = 1;
    memcpy(node, &one, 8);
    // The heap copy is the element itself; a scalar is copied into the node.
    if (inline_) memcpy(node + headPos, c->term, valueSize);
    else memcpy(node + headPos, &c->term, 8);
    if (tailSlot) memcpy(tailSlot, &node, 8);
    else first = node;
    tailSlot = node + tailPos;
    // A boxed element still lives in its cell's block; the collector takes
    // the cells once the list is gone.
    c = c->next;
  }
  if (tailSlot) memcpy(tailSlot, &nil, 8);
  *chain = nullptr;
  *result = first;
}

}  // namespace Qel::RunTime::Terms::DBInternal
