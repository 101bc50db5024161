// The domain classes.  A class has no data members: `this` is the domain
// record, whose first word is the class's method table once activated.  The
// kinds live in one source file per family; the helpers they share and the
// class table's parts are declared here.
#pragma once

#include "lexical.h"
#include "streams.h"

#include <cstdio>

namespace Qel::RunTime::Terms {

using detail::term;

class TDomainDefinition : public IDomainDefinition {
 public:
  const RDomainRecord& R() const { return *reinterpret_cast<const RDomainRecord*>(this); }

  const wchar_t* Name() const override;
  RScopeClassDescriptor* ScopeDescriptor() const override;
  uint32_t SizeOfTerm(term t) const override;
  uint32_t ValueSize() const override;
  uint32_t SizeOfTermAt(term t) const override;
  uint32_t ArgumentSize() const override;
  uint32_t TextLength(term t) const override;
  uint32_t BlockHeaderSize() const override;
  bool IsScalar() const override;
  uint32_t CompoundWord() const override;
  void FormatVG(RStreamCursor* out, term t, const wchar_t* directive) const override;
  bool Validate(term t) const override;
  wchar_t* LowLevelToString(term t, wchar_t* out) const override;
  term LowLevelFromString(const wchar_t** cursor) const override;
  term CopyTermToGStack(term t) const override final;
  term ReadFromStream(RStreamCursor* in) const override;
  void WriteForConsultToStream(RStreamCursor* out, term t) const override;
  void WriteToStream(RStreamCursor* out, term t) const override;
  wchar_t* ToStringFromAnotherWorld(const void* view, term t) const override;
  void DebuggerLoadRecord(const void* view) const override;
  uintptr_t ObjectFactsOffset() const override;
  void* ClassFactsHeads() const override;
  term CopyTerm(uint8_t* target, term t, bool boundRequired, uint32_t* used) const override;
  term CopyTermFromGStack(term t) const override;
  uint8_t* AllocateTerm(uint32_t bytes) const override;
  void IsEqualTerms(term a, term b) const override;
  int CompareTerms(term a, term b) const override;
  int32_t ConvertI2I(int32_t v) const override;
  int32_t ConvertU2I(uint32_t v) const override;
  int32_t ConvertR2I(double v) const override;
  uint32_t ConvertI2U(int32_t v) const override;
  uint32_t ConvertU2U(uint32_t v) const override;
  uint32_t ConvertR2U(double v) const override;
  double ConvertI2R(int32_t v) const override;
  double ConvertU2R(uint32_t v) const override;
  double ConvertR2R(double v) const override;
  void PostInitialize() const override;
  bool IsBoxed() const override;
  uint32_t FunctorCount() const override;
  uint32_t FunctorOfTerm(term t) const override;
  bool HasFunctorWord() const override;
  bool IsGround(term t) const override;
  term Term_2_RefTerm(term t) const override;
  bool IsList() const override;
  void BinarySize(term t, RHtoBinary* emitter) const override;
  void BinaryEmit(term t, RHtoBinary* emitter) const override;
  void BinaryPrepareRead(const uint8_t* image, RBinaryReader* reader) const override;
  term BinaryRead(const uint8_t* image, RBinaryReader* reader) const override;
  const wchar_t* QualifiedName() const override;
  bool IsTermBoxedForAnonymousTypePosition() const override;
  uint32_t AlignedSizeOfTerm(term t) const override;
  bool IsChar() const override;
  term BinaryReadCodePage(RBinaryReader* reader) const override;
  term BinaryReadFinish(term t) const override;
  void DebuggerWriteValue(const void* view, term t, uint32_t radix) const override;
  void EnumerateFacts(void* object, DBInternal::RFactVisitor* visitor) const override;
  uint32_t DatabaseKind() const override;
  uint32_t BinaryHeaderSize() const override;

  // Non-virtual helpers.
  term NewValueTerm(const void* value) const;
};


// --- Helpers of the domain classes ---------------------------------------------------------

using namespace detail;

inline void SkipWhite(const wchar_t*& p) {
  while (*p && IsWhite(*p)) ++p;
}
// 307: the symbol expected at p.
[[noreturn]] inline void Expected(const IDomainDefinition* d, wchar_t c, const wchar_t* p) {
  Raise(307, static_cast<int>(c), d->QualifiedName(), p);
}
[[noreturn]] inline void Invalid(const IDomainDefinition* d, const wchar_t* p) {
  Raise(303, d->QualifiedName(), p);
}
inline void WriteNumber(RStreamCursor* out, const char* format, unsigned long long v) {
  char text[32];
  snprintf(text, sizeof text, format, v);
  out->WriteAscii(text);
}

inline bool IsBound(const RRefCell* c) { return (c->tag & 0xFF) == 1; }

// A recursive walk that reaches the machine stack's floor: 301, the term is
// nested deeper than the walk can follow, and nothing has been changed.
inline void CheckWalkDepth(const IDomainDefinition* d, term t) {
  if (BelowReaderStackFloor())
    Raise(301, d->QualifiedName(), Errors::PrepareBinaryForErrorMessage(t, 20));
}

// A scalar kind: the value cell is the term's whole memory.
template <class Base>
class TScalarOf : public Base {
 public:
  uint32_t SizeOfTermAt(term) const override { return this->ValueSize(); }
  bool Validate(term t) const override { return Readable(t, this->ValueSize()); }
  term CopyTerm(uint8_t* target, term t, bool, uint32_t* used) const override {
    memcpy(target, t, this->ValueSize());
    *used = Align8(this->ValueSize());
    return target;
  }
  term CopyTermFromGStack(term t) const override {
    if (!InGStack(t)) return t;
    auto* h = static_cast<uint8_t*>(Memory::AllocAtomicHeap(Align8(this->ValueSize())));
    memcpy(h, t, this->ValueSize());
    return h;
  }
};
using TScalar = TScalarOf<TDomainDefinition>;

// --- The class table ------------------------------------------------------------------------

// The method table of class C (one instance per class, made on first use).
template <class C>
uintptr_t TableOf() {
  static C instance;
  return *reinterpret_cast<const uintptr_t*>(&instance);
}

// Each family of kinds enters its classes, the reference variants of its
// kinds included, into the table of kind codes (classtable.cpp calls them).
void FillCharAndBinaryClasses(uintptr_t* t);
void FillNumericAndPointerClasses(uintptr_t* t);
void FillTextClasses(uintptr_t* t);
void FillCompoundAndListClasses(uintptr_t* t);

}  // namespace Qel::RunTime::Terms
