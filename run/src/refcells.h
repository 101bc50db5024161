// The reference variants of the kinds (20-29, 31, 32): a term points at a
// 16-byte cell, bound (tag 1) with the base kind's value or pointer, or
// unbound.  Each family instantiates the variants of its own kinds.
#pragma once

#include "domains.h"

namespace Qel::RunTime::Terms {

template <class Base, bool ScalarBase>
class TRef : public Base {
 public:
  using Base::R;
  // The base kind's term inside a bound cell.
  static term Value(const RRefCell* c) {
    return ScalarBase ? reinterpret_cast<term>(&c->value) : reinterpret_cast<term>(c->value);
  }
  static const RRefCell* BoundCell(term t) {
    const RRefCell* c = Deref(t);
    if (!IsBound(c)) Raise(328);
    return c;
  }
  uint32_t SizeOfTerm(term t) const override { return SizeOfTermAt(t); }
  uint32_t SizeOfTermAt(term t) const override {
    const RRefCell* c = Deref(t);
    if (!IsBound(c) || ScalarBase) return 16;
    return 16 + Base::SizeOfTermAt(Value(c));
  }
  uint32_t AlignedSizeOfTerm(term t) const override {
    const RRefCell* c = Deref(t);
    if (!IsBound(c) || ScalarBase) return 16;
    return 16 + Base::AlignedSizeOfTerm(Value(c));
  }
  uint32_t ArgumentSize() const override { return 8; }
  bool IsScalar() const override { return false; }
  bool IsBoxed() const override { return true; }
  bool IsChar() const override { return false; }
  bool IsTermBoxedForAnonymousTypePosition() const override { return false; }
  bool Validate(term t) const override { return Readable(t, 16); }
  bool IsGround(term t) const override {
    const RRefCell* c = Deref(t);
    if (!IsBound(c)) return false;
    return ScalarBase || Base::IsGround(Value(c));
  }
  term CopyTerm(uint8_t* target, term t, bool boundRequired, uint32_t* used) const override {
    const RRefCell* c = Deref(t);
    auto* cell = reinterpret_cast<RRefCell*>(target);
    *used = 16;
    if (!IsBound(c)) {
      if (boundRequired) Raise(328);
      cell->tag = cell->value = 0;
      return target;
    }
    *cell = *c;
    if (!ScalarBase) {
      uint32_t n;
      term copy = Base::CopyTerm(target + 16, Value(c), boundRequired, &n);
      cell->value = reinterpret_cast<uint64_t>(copy);
      *used += n;
    }
    return target;
  }
  term CopyTermFromGStack(term t) const override {
    const RRefCell* c = BoundCell(t);
    if (!InGStack(c)) return reinterpret_cast<term>(c);
    auto* h = static_cast<RRefCell*>(Memory::AllocHeap(16));
    *h = *c;
    if (!ScalarBase) h->value = reinterpret_cast<uint64_t>(Base::CopyTermFromGStack(Value(c)));
    return reinterpret_cast<term>(h);
  }
  int CompareTerms(term a, term b) const override {
    return Base::CompareTerms(Value(BoundCell(a)), Value(BoundCell(b)));
  }
  void WriteForConsultToStream(RStreamCursor* out, term t) const override {
    const RRefCell* c = Deref(t);
    if (!IsBound(c)) return out->Write(L'_');
    Base::WriteForConsultToStream(out, Value(c));
  }
  void WriteToStream(RStreamCursor* out, term t) const override {
    const RRefCell* c = Deref(t);
    if (!IsBound(c)) return out->Write(L'_');
    Base::WriteToStream(out, Value(c));
  }
  term LowLevelFromString(const wchar_t** cursor) const override {
    return Term_2_RefTerm(Base::LowLevelFromString(cursor));
  }
  term ReadFromStream(RStreamCursor* in) const override {
    return Term_2_RefTerm(Base::ReadFromStream(in));
  }
  term Term_2_RefTerm(term t) const override {
    auto* cell = static_cast<RRefCell*>(Memory::AllocHeap(16));
    cell->tag = 1;
    cell->value = 0;
    if (ScalarBase) {
      if constexpr (requires(const Base& b) { b.Largest(); }) this->Largest();  // 318: width
      memcpy(&cell->value, t, Base::ValueSize());
    } else {
      cell->value = reinterpret_cast<uint64_t>(t);
    }
    return reinterpret_cast<term>(cell);
  }
};

}  // namespace Qel::RunTime::Terms
