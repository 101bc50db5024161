// The domain classes: one method table per kind, reached through the first
// word of every activated domain record.  This file holds the defaults every
// kind inherits; the kinds live in numeric.cpp, texts.cpp, compounds.cpp,
// charbinary.cpp and refcells.h, and build on these, never the other way;
// classtable.cpp gathers them into the table of kind codes.
//
// Terms: a scalar term is a pointer to its value cell; a string, string8 or
// symbol term points at its text, a binary term past its u32 size word, a
// compound term at its block, a reference term at its cell.  Copies and the
// sizes that plan them are 8-aligned so that every pointer inside a copy is
// seen by the collector.
#include "domains.h"
#include "debugview.h"

#include "dbhooks.h"

#include <cwchar>

namespace Qel::RunTime::Terms {

using namespace detail;

// --- TDomainDefinition: defaults -------------------------------------------------

const wchar_t* TDomainDefinition::Name() const { return R().name; }
RScopeClassDescriptor* TDomainDefinition::ScopeDescriptor() const { return R().scope; }
uint32_t TDomainDefinition::SizeOfTerm(term t) const { return SizeOfTermAt(t); }
uint32_t TDomainDefinition::ValueSize() const { return 0; }
uint32_t TDomainDefinition::SizeOfTermAt(term) const { return 0; }
uint32_t TDomainDefinition::ArgumentSize() const { return 8; }
uint32_t TDomainDefinition::TextLength(term t) const { return CountText(this, t); }
uint32_t TDomainDefinition::BlockHeaderSize() const { return 0; }
bool TDomainDefinition::IsScalar() const { return true; }
uint32_t TDomainDefinition::CompoundWord() const { return 0; }
void TDomainDefinition::FormatVG(RStreamCursor*, term, const wchar_t*) const {
  Errors::InternalError(L"TDomainDefinition::FormatVG for domain: '%s'", QualifiedName());
}
bool TDomainDefinition::Validate(term) const { Internal(L"TDomainDefinition::Validate"); }
wchar_t* TDomainDefinition::LowLevelToString(term t, wchar_t* out) const {
  return WriteInto(this, t, out);
}
term TDomainDefinition::LowLevelFromString(const wchar_t**) const {
  Internal(L"TDomainDefinition::LowLevelFromString");
}
term TDomainDefinition::CopyTermToGStack(term t) const {
  uint8_t* target = GAlloc(AlignedSizeOfTerm(t));
  uint32_t used;
  return CopyTerm(target, t, false, &used);
}
term TDomainDefinition::ReadFromStream(RStreamCursor*) const {
  Internal(L"TDomainDefinition::ReadFromStream");
}
void TDomainDefinition::WriteForConsultToStream(RStreamCursor*, term) const {
  Internal(L"TDomainDefinition::WriteForConsultToStream");
}
void TDomainDefinition::WriteToStream(RStreamCursor* out, term t) const {
  WriteForConsultToStream(out, t);
}
// A copied record of another process: its value text, and its inner
// pointers made local (fails when the record cannot serve).
wchar_t* TDomainDefinition::ToStringFromAnotherWorld(const void* view, term t) const {
  return Debugger::detail::RemoteText(view, this, reinterpret_cast<uintptr_t>(t));
}
void TDomainDefinition::DebuggerLoadRecord(const void* view) const {
  if (!Debugger::detail::LoadRecord(view, this)) Fail();
}
uintptr_t TDomainDefinition::ObjectFactsOffset() const { return 0; }
void* TDomainDefinition::ClassFactsHeads() const { return nullptr; }
term TDomainDefinition::CopyTerm(uint8_t*, term, bool, uint32_t*) const {
  Internal(L"TDomainDefinition::CopyTerm");
}
term TDomainDefinition::CopyTermFromGStack(term) const { Internal(L"TDomainDefinition::CopyTerm"); }
uint8_t* TDomainDefinition::AllocateTerm(uint32_t bytes) const {
  return static_cast<uint8_t*>(Memory::AllocHeap(bytes));
}
void TDomainDefinition::IsEqualTerms(term a, term b) const {
  if (CompareTerms(a, b) != 0) Fail();
}
int TDomainDefinition::CompareTerms(term, term) const {
  Internal(L"TDomainDefinition::CompareTerms");
}
int32_t TDomainDefinition::ConvertI2I(int32_t) const { Internal(L"TDomainDefinition::ConvertI2I"); }
int32_t TDomainDefinition::ConvertU2I(uint32_t) const { Internal(L"TDomainDefinition::ConvertU2I"); }
int32_t TDomainDefinition::ConvertR2I(double) const { Internal(L"TDomainDefinition::ConvertR2I"); }
uint32_t TDomainDefinition::ConvertI2U(int32_t) const { Internal(L"TDomainDefinition::ConvertI2U"); }
uint32_t TDomainDefinition::ConvertU2U(uint32_t) const { Internal(L"TDomainDefinition::ConvertU2U"); }
uint32_t TDomainDefinition::ConvertR2U(double) const { Internal(L"TDomainDefinition::ConvertR2U"); }
double TDomainDefinition::ConvertI2R(int32_t) const { Internal(L"TDomainDefinition::ConvertI2R"); }
double TDomainDefinition::ConvertU2R(uint32_t) const { Internal(L"TDomainDefinition::ConvertU2R"); }
double TDomainDefinition::ConvertR2R(double) const { Internal(L"TDomainDefinition::ConvertR2R"); }
void TDomainDefinition::PostInitialize() const {}
bool TDomainDefinition::IsBoxed() const { return false; }
uint32_t TDomainDefinition::FunctorCount() const { return 0; }
uint32_t TDomainDefinition::FunctorOfTerm(term) const { return 0; }
bool TDomainDefinition::HasFunctorWord() const { return false; }
bool TDomainDefinition::IsGround(term) const { return true; }
term TDomainDefinition::Term_2_RefTerm(term) const {
  Internal(L"TDomainDefinition::Term_2_RefTerm");
}
bool TDomainDefinition::IsList() const { return false; }
// The image slots: the passes of the image writer and reader.
void TDomainDefinition::BinarySize(term t, RHtoBinary* e) const { ImageSize(this, t, e); }
void TDomainDefinition::BinaryEmit(term t, RHtoBinary* e) const { ImageEmit(this, t, e); }
void TDomainDefinition::BinaryPrepareRead(const uint8_t*, RBinaryReader* r) const {
  if (r) ImagePrepareRead(this, r);
}
term TDomainDefinition::BinaryRead(const uint8_t* image, RBinaryReader* r) const {
  return ImageRead(this, image, r);
}
const wchar_t* TDomainDefinition::QualifiedName() const {
  const wchar_t* name = R().name ? R().name : L"";
  const RScopeClassDescriptor* scope = R().scope;
  if (!scope) return Memory::CopyStringToGStack(name);
  const wchar_t* scopeName = scope->name;
  if (!scopeName || scopeName[0] == L'_') scopeName = L"";
  size_t n = wcslen(name), m = wcslen(scopeName);
  wchar_t* q = Memory::AllocHeapString(static_cast<uint32_t>(n + 2 + m));
  memcpy(q, scopeName, m * 2);
  q[m] = q[m + 1] = L':';
  memcpy(q + m + 2, name, n * 2);
  return q;
}
bool TDomainDefinition::IsTermBoxedForAnonymousTypePosition() const { return false; }
uint32_t TDomainDefinition::AlignedSizeOfTerm(term t) const { return Align8(SizeOfTermAt(t)); }
bool TDomainDefinition::IsChar() const { return false; }
term TDomainDefinition::BinaryReadCodePage(RBinaryReader* r) const {
  return ImageReadCodePage(this, r);
}
term TDomainDefinition::BinaryReadFinish(term t) const { return t; }
void TDomainDefinition::DebuggerWriteValue(const void*, term, uint32_t) const {}
void TDomainDefinition::EnumerateFacts(void*, DBInternal::RFactVisitor*) const {}
uint32_t TDomainDefinition::DatabaseKind() const { return 0; }
uint32_t TDomainDefinition::BinaryHeaderSize() const { return 0; }

term TDomainDefinition::NewValueTerm(const void* value) const {
  uint8_t* t = AllocateTerm(ValueSize());
  memcpy(t, value, ValueSize());
  return t;
}

}  // namespace Qel::RunTime::Terms
