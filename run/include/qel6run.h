// qel6run: the language runtime library's public interface.
//
// A program describes its types and classes in static records (domain
// records, class descriptors, unit tables); qel6decl.h has the helpers that
// declare them in C++.  RunUnitInitialization links a unit's records: each
// domain record's kind code becomes the method table of its domain class, so
// every typed term operation is a virtual call on the record itself.
//
// A term is passed as a pointer to its value cell (scalar kinds) or to its
// block (strings, binaries, compounds, lists, reference cells).  Words of the
// records that hold addresses are 8 bytes; numbers keep their width.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qel6kernel.h"

#ifdef QEL6RUN_BUILD
// The export list decides what the DLL exports (see exports.txt).
#define QEL_RUN_API
#else
#define QEL_RUN_API __declspec(dllimport)
#endif

namespace Qel::RunTime {

using Kernel::TFullCursor;
struct RScopeClassDescriptor;

namespace Terms {

class IDomainDefinition;
class TIntegralDomainDefinition;

// The block interface of every stream that terms are read from or written
// to.  The runtime reads and writes UTF-16 straight in the lent blocks.
//   NextBlock: a reader gets the block that holds its position (the current
//   one while the position is before its end, else the next one, with the
//   position cell reset); length 0 is the end of the stream.  A writer
//   hands over a block once it has set the position cell to its end, and
//   gets the block to go on writing in.
//   PositionCell: the byte offset within the current block; the runtime
//   advances it as it reads or writes.
struct RBufferSource {
  virtual void NextBlock(uint8_t** base, uint32_t* length) = 0;
  virtual uint32_t* PositionCell() = 0;
};
class TRealDomainDefinition;
struct RStreamCursor;   // a cursor over an RBufferSource
struct RHtoBinary;      // binary-image emitter (qel6run_db.h)
struct RBinaryReader;   // binary-image reader (qel6run_db.h)
namespace DBInternal {
struct RFactVisitor;    // fact enumeration (qel6run_db.h)
}

// Kind codes of domain records.
enum EDomainKind : uint32_t {
  kChar = 1, kInteger = 2, kUnsigned = 3, kInteger64 = 4, kUnsigned64 = 5, kReal = 6,
  kString = 7, kBinary = 8, kCompound = 9, kList = 10, kSingleCompound = 11,
  kClassFacts = 12, kObjectFacts = 13, kPointer = 14, kPredicateValue = 15, kSymbol = 16,
  kObject = 17, kAnyDomain = 18, kTermDomain = 19, kRefChar = 20, kRefInteger = 21,
  kRefUnsigned = 22, kRefReal = 23, kRefString = 24, kRefBinary = 25, kRefCompound = 26,
  kRefList = 27, kRefPointer = 28, kRefSymbol = 29, kString8 = 30, kRefString8 = 31,
  kRefObject = 32, kPointerLike = 33,
};
constexpr uint32_t kDomainMagic = 0xFFEEDDDD;
constexpr uint32_t kDomainKinds = 34;

// The common head of every domain record.
struct RDomainRecord {
  uintptr_t kind;                 // kind code; the class's method table once active
  uint32_t magic;                 // kDomainMagic
  uint16_t size;                  // bytes of the whole record
  uint8_t reference;              // 1 for reference variants that carry it
  uint8_t flags;
  const wchar_t* name;
  TFullCursor position;           // declaration position
  RDomainRecord* next;            // next domain of the declaring scope
  RScopeClassDescriptor* scope;   // declaring scope, or null
};
static_assert(offsetof(RDomainRecord, name) == 16 && offsetof(RDomainRecord, position) == 24 &&
              offsetof(RDomainRecord, next) == 40 && sizeof(RDomainRecord) == 56);

// Kinds 2, 3, 21, 22: bounds by signedness, declared and storage bit width.
struct RIntegralDomain {
  RDomainRecord head;
  uint32_t low, high;             // s32 for signed kinds, u32 for unsigned
  uint32_t declaredBits;
  uint32_t storageBits;           // 8, 16 or 32: the value cell is storageBits / 8 bytes
  uint32_t zero;
};
static_assert(offsetof(RIntegralDomain, low) == 56 && sizeof(RIntegralDomain) == 80);

// Kinds 4, 5.
struct RIntegral64Domain {
  RDomainRecord head;
  uint64_t low, high;
  uint32_t declaredBits;
  uint32_t storageBits;
  uint32_t extra;
};
static_assert(offsetof(RIntegral64Domain, declaredBits) == 72);

// Kinds 6, 23.
struct RRealDomain {
  RDomainRecord head;
  double low, high;
  uint32_t digits;                // significant digits of the text form
  uint32_t digits2;
  uint32_t zero;
  uint32_t tag;
};
static_assert(offsetof(RRealDomain, digits) == 72);

// An argument of a functor: its name, its offset from the previous
// argument's position (the first: from the block start), its domain.
struct RArgument {
  const wchar_t* name;
  uint32_t offset;
  RDomainRecord* domain;
};
static_assert(sizeof(RArgument) == 24);

// A functor: its number is its 1-based position in the table.
struct RFunctor {
  const wchar_t* name;
  const RArgument* args;
  uint32_t argCount;
  uint32_t blockSize;             // bytes of a term's block
};
static_assert(sizeof(RFunctor) == 24);

// Kinds 9, 10, 11, 15, 26, 27 (and the fact terms of 12, 13).  A block of a
// kind with a functor word starts with a 64-bit functor number.
struct RCompoundDomain {
  RDomainRecord head;
  uint32_t functorCount;
  const RFunctor* functors;
  uint32_t four;
};
static_assert(offsetof(RCompoundDomain, functors) == 64);

// Kinds 12, 13 are laid out as DBInternal::RFactDatabase (qel6run_db.h):
// their functor table is a table of fact descriptors.

// A reference cell: tag 0 = not bound (unbound when the link is 0, else a
// link to another cell), 1 = bound with the value in the second word.
struct RRefCell {
  uint64_t tag;
  uint64_t value;
};
static_assert(sizeof(RRefCell) == 16);

// The typed operations of a domain, in method-table slot order.  An activated
// domain record is an IDomainDefinition: its first word is the table.
class IDomainDefinition {
 public:
  using term = const uint8_t*;
  virtual const wchar_t* Name() const = 0;                                  // 0
  virtual RScopeClassDescriptor* ScopeDescriptor() const = 0;               // 1
  virtual uint32_t SizeOfTerm(term t) const = 0;                            // 2
  virtual uint32_t ValueSize() const = 0;                                   // 3
  virtual uint32_t SizeOfTermAt(term t) const = 0;                          // 4
  virtual uint32_t ArgumentSize() const = 0;                                // 5
  virtual uint32_t TextLength(term t) const = 0;                            // 6
  virtual uint32_t BlockHeaderSize() const = 0;                             // 7
  virtual bool IsScalar() const = 0;                                        // 8
  virtual uint32_t CompoundWord() const = 0;                                // 9
  virtual void FormatVG(RStreamCursor* out, term t, const wchar_t* directive) const = 0;  // 10
  virtual bool Validate(term t) const = 0;                                  // 11
  // Writes the text form (TextLength units) at out; returns the end.
  virtual wchar_t* LowLevelToString(term t, wchar_t* out) const = 0;        // 12
  // Parses one term at *cursor and advances it.
  virtual term LowLevelFromString(const wchar_t** cursor) const = 0;        // 13
  virtual term CopyTermToGStack(term t) const = 0;                          // 14
  virtual term ReadFromStream(RStreamCursor* in) const = 0;                 // 15
  virtual void WriteForConsultToStream(RStreamCursor* out, term t) const = 0;  // 16
  virtual void WriteToStream(RStreamCursor* out, term t) const = 0;         // 17
  virtual wchar_t* ToStringFromAnotherWorld(const void* view, term t) const = 0;  // 18
  virtual void DebuggerLoadRecord(const void* view) const = 0;              // 19
  virtual uintptr_t ObjectFactsOffset() const = 0;                          // 20
  virtual void* ClassFactsHeads() const = 0;                                // 21
  // Copies the term's memory to target (AlignedSizeOfTerm bytes, 8-aligned);
  // returns the copy's term pointer and stores the bytes used.  With
  // boundRequired an unbound variable raises 328.
  virtual term CopyTerm(uint8_t* target, term t, bool boundRequired,
                        uint32_t* used) const = 0;  // 22
  // A term on the global stack copied to the heap; other terms as they are.
  virtual term CopyTermFromGStack(term t) const = 0;                        // 23
  virtual uint8_t* AllocateTerm(uint32_t bytes) const = 0;                  // 24
  virtual void IsEqualTerms(term a, term b) const = 0;                      // 25
  virtual int CompareTerms(term a, term b) const = 0;                       // 26
  virtual int32_t ConvertI2I(int32_t v) const = 0;                          // 27
  virtual int32_t ConvertU2I(uint32_t v) const = 0;                         // 28
  virtual int32_t ConvertR2I(double v) const = 0;                           // 29
  virtual uint32_t ConvertI2U(int32_t v) const = 0;                         // 30
  virtual uint32_t ConvertU2U(uint32_t v) const = 0;                        // 31
  virtual uint32_t ConvertR2U(double v) const = 0;                          // 32
  virtual double ConvertI2R(int32_t v) const = 0;                           // 33
  virtual double ConvertU2R(uint32_t v) const = 0;                          // 34
  virtual double ConvertR2R(double v) const = 0;                            // 35
  virtual void PostInitialize() const = 0;                                  // 36
  virtual bool IsBoxed() const = 0;                                         // 37
  virtual uint32_t FunctorCount() const = 0;                                // 38
  virtual uint32_t FunctorOfTerm(term t) const = 0;                         // 39
  virtual bool HasFunctorWord() const = 0;                                  // 40
  virtual bool IsGround(term t) const = 0;                                  // 41
  virtual term Term_2_RefTerm(term t) const = 0;                            // 42
  virtual bool IsList() const = 0;                                          // 43
  virtual void BinarySize(term t, RHtoBinary* emitter) const = 0;           // 44
  virtual void BinaryEmit(term t, RHtoBinary* emitter) const = 0;           // 45
  virtual void BinaryPrepareRead(const uint8_t* image, RBinaryReader* reader) const = 0;  // 46
  virtual term BinaryRead(const uint8_t* image, RBinaryReader* reader) const = 0;  // 47
  virtual const wchar_t* QualifiedName() const = 0;                         // 48
  virtual bool IsTermBoxedForAnonymousTypePosition() const = 0;             // 49
  virtual uint32_t AlignedSizeOfTerm(term t) const = 0;                     // 50
  virtual bool IsChar() const = 0;                                          // 51
  virtual term BinaryReadCodePage(RBinaryReader* reader) const = 0;         // 52
  virtual term BinaryReadFinish(term t) const = 0;                          // 53
  virtual void DebuggerWriteValue(const void* view, term t, uint32_t radix) const = 0;  // 54
  // Fact databases: each fact to the visitor (see qel6run_db.h).
  virtual void EnumerateFacts(void* object, DBInternal::RFactVisitor* visitor) const = 0;  // 55
  virtual uint32_t DatabaseKind() const = 0;                                // 56
  virtual uint32_t BinaryHeaderSize() const = 0;                            // 57

  const RDomainRecord* Record() const { return reinterpret_cast<const RDomainRecord*>(this); }
};

// The interface of an activated record.
inline const IDomainDefinition* Domain(const RDomainRecord& record) {
  return reinterpret_cast<const IDomainDefinition*>(&record);
}
template <class R>
inline const IDomainDefinition* Domain(const R& record) {
  return reinterpret_cast<const IDomainDefinition*>(&record);
}

// Activation: word 0 of the record becomes its kind's method table.
QEL_RUN_API void ActivateDomain(RDomainRecord* record);
// The method table of each kind (entry 0 empty); built on first use.
QEL_RUN_API const uintptr_t* BuildDomainClassTable();

// Term operations: thin entries over the domain's slots.
using term = const uint8_t*;
QEL_RUN_API uint32_t SizeOfTerm(const IDomainDefinition* d, term t);
QEL_RUN_API wchar_t* ToString(const IDomainDefinition* d, term t);
QEL_RUN_API term FromString(const IDomainDefinition* d, const wchar_t* text);
// Returns when equal, fails (backtracks) otherwise.
QEL_RUN_API void IsEqualTerms(const IDomainDefinition* d, term a, term b);
// 1 when b orders after a, -1 when before, 0 when equal.
QEL_RUN_API int CompareTerms(const IDomainDefinition* d, term a, term b);
QEL_RUN_API void CopyTermToGStack(const IDomainDefinition* d, term t, term* out);
QEL_RUN_API term CopyTermFromGStack(const IDomainDefinition* d, term t);
QEL_RUN_API void Check_II_Range(const TIntegralDomainDefinition* d, int32_t v);
QEL_RUN_API void Check_IU_Range(const TIntegralDomainDefinition* d, uint32_t v);
QEL_RUN_API void Check_UI_Range(const TIntegralDomainDefinition* d, int32_t v);
QEL_RUN_API void Check_UU_Range(const TIntegralDomainDefinition* d, uint32_t v);
QEL_RUN_API void CheckRealRange(const TRealDomainDefinition* d, double v);
QEL_RUN_API int32_t ConvertI2I(const IDomainDefinition* d, int32_t v);
QEL_RUN_API int32_t ConvertU2I(const IDomainDefinition* d, uint32_t v);
QEL_RUN_API int32_t ConvertR2I(const IDomainDefinition* d, double v);
QEL_RUN_API uint32_t ConvertI2U(const IDomainDefinition* d, int32_t v);
QEL_RUN_API uint32_t ConvertU2U(const IDomainDefinition* d, uint32_t v);
QEL_RUN_API uint32_t ConvertR2U(const IDomainDefinition* d, double v);
QEL_RUN_API double ConvertI2R(const IDomainDefinition* d, int32_t v);
QEL_RUN_API double ConvertU2R(const IDomainDefinition* d, uint32_t v);
QEL_RUN_API double ConvertR2R(const IDomainDefinition* d, double v);
// Raises 301 when the term's memory is not valid for the domain.
QEL_RUN_API void Validate(const IDomainDefinition* d, term t);
QEL_RUN_API bool IsTermBoxedForAnonymousTypePosition(const IDomainDefinition* d);
[[noreturn]] QEL_RUN_API void Error_FreeVariable();

// Register-convention entries for generated code (see unify.S); C++ code
// does not call them.
QEL_RUN_API void RUN_Unify();
QEL_RUN_API void Coerse_EAX();
QEL_RUN_API void Coerse_EBX();
QEL_RUN_API void Coerse_ECX();
QEL_RUN_API void Coerse_EDX();
QEL_RUN_API void Coerse_ESI();
QEL_RUN_API void Coerse_EDI();

// Text transfers over a buffer source.
namespace Streams {
// The next code unit; 319 at the end of the stream.
QEL_RUN_API wchar_t ParseChar(RBufferSource* source);
// Returns the last character read from the current block; 320 otherwise.
QEL_RUN_API void ungetChar(RBufferSource* source);
// The next n code units as they are (a new heap string, cut at the end).
QEL_RUN_API wchar_t* ParseString(RBufferSource* source, uint32_t n);
// The next n bytes as a new binary (shrunk at the end of the stream).
QEL_RUN_API uint8_t* ParseBytes(RBufferSource* source, uint32_t n);
// The next line with its escapes resolved; 319 at the end of the stream.
QEL_RUN_API wchar_t* ParseLine(RBufferSource* source);
// A term of the domain read from its text form (text non-zero).
QEL_RUN_API term ParseFromStream(const IDomainDefinition* d, RBufferSource* source, uint32_t text);
QEL_RUN_API term ParseToTerm(const IDomainDefinition* d, const wchar_t* text);
// Writes the term's quoted text form.
QEL_RUN_API void StreamFromTerm(const IDomainDefinition* d, RBufferSource* sink, term t);
}  // namespace Streams

}  // namespace Terms

// --- Class descriptors and run units -----------------------------------------

constexpr uintptr_t kDescriptorMagic = 0xCCEEDDCC;
constexpr uintptr_t kClassRecordMagic = 0xCCEEDDAA;

// The operations of a linked descriptor (word 0 after linking).
struct RDescriptorMethods {
  void (*initialize)(RScopeClassDescriptor* self);
  const wchar_t* (*name)(const RScopeClassDescriptor* self);
  const wchar_t* (*name2)(const RScopeClassDescriptor* self);
  const TFullCursor* (*position)(const RScopeClassDescriptor* self);
  void* (*thunkState)(const RScopeClassDescriptor* self);
  const Terms::RDomainRecord* (*objectDomain)(const RScopeClassDescriptor* self);
};

namespace Objects {
struct RThunkInit;
struct RThunkState;
}  // namespace Objects

// A class descriptor.  Kind 1: a class; kind 2: a class with objects, which
// has words 9-11.
struct RScopeClassDescriptor {
  uintptr_t kind;                       // 1 or 2; the method table once linked
  uintptr_t magic;                      // kDescriptorMagic or kClassRecordMagic
  const wchar_t* name;
  RScopeClassDescriptor* link;          // next descriptor of the same module
  RScopeClassDescriptor* canonical;     // first registered descriptor of this name
  TFullCursor position;
  Terms::RDomainRecord* domains;        // first domain of the class
  void (*initialize)();                 // class initialisation, or null
  Terms::RDomainRecord* objectDomain;   // kind 2: the object type
  const Objects::RThunkInit* thunkInit; // kind 2
  Objects::RThunkState* (*thunkState)();  // kind 2

  const RDescriptorMethods* Methods() const {
    return reinterpret_cast<const RDescriptorMethods*>(kind);
  }
};
static_assert(offsetof(RScopeClassDescriptor, position) == 40 &&
              offsetof(RScopeClassDescriptor, domains) == 56 &&
              offsetof(RScopeClassDescriptor, thunkState) == 88);
// Bytes of the header that linking writes.
constexpr uint32_t kDescriptorHeaderBytes = 72;

// Registers and links a unit (see qel6decl.h for its tables).  Returns 0, or
// the code of the error that ended it (its message shown).
QEL_RUN_API int RunUnitInitialization(void* module, void* second,
                                      const RScopeClassDescriptor* const* table,
                                      const wchar_t* const* symbols);
QEL_RUN_API void RunUnitTermination(void* module);

// An output stream: writes `bytes` bytes of UTF-16 text.
struct prologOutputStream {
  virtual void Write(const void* data, uint32_t bytes) = 0;
};
QEL_RUN_API void PrintSystemVersion(prologOutputStream* stream);

// The module registry, oldest first, for inspection.
struct RModuleRecord {
  RModuleRecord* next;
  RModuleRecord* prev;
  void* module;
  RScopeClassDescriptor* chain;         // newest descriptor; (void*)-1 when none
  bool removable;
};
QEL_RUN_API RModuleRecord* FirstRegisteredModule();

// The runtime's symbol table: the table's instance of `text`.
QEL_RUN_API const wchar_t* Insert2SymbolTable(const wchar_t* text);

// --- Objects --------------------------------------------------------------------

namespace Objects {

// An object reference: the address of a method-table pointer in an object.
using TObject = void*;
using RInterfaceDescriptor = RScopeClassDescriptor;

// The cell before each method table.
struct RInterfaceEntry {
  const RInterfaceDescriptor* interface;
  uintptr_t offset;                     // of that interface's table pointer in the object
  uintptr_t reserved;
};
struct RInterfaceTable {
  uintptr_t count;
  RInterfaceEntry entries[1];
};
struct RMethodTableHeader {
  const RScopeClassDescriptor* classRecord;  // its magic is kClassRecordMagic
  uintptr_t offset;                     // of this table pointer in the object
  const RInterfaceTable* interfaces;
};

struct RClassDescriptorInfo {
  uint32_t size;
  uint8_t needsFinalization;
};

// Interface adjustor thunks: 16-byte cells in executable memory.
struct RThunkCell {
  uint8_t* cell;
  uint32_t offset;
};
struct RThunkGroup {
  const uint8_t* baseMethod;            // the base's method (code, or a thunk cell)
  uint32_t cellCount;
  const RThunkCell* cells;
};
struct RThunkBase {
  const RScopeClassDescriptor* base;
  uint32_t groupCount;
  const RThunkGroup* groups;
};
struct RThunkInit {
  uint32_t startOffset;
  uint32_t baseCount;
  const RThunkBase* bases;
};
struct RThunkState {
  uint32_t value;                       // 0 new, 1 in progress, else the total offset
  uint8_t flag;
};

QEL_RUN_API void* AllocateObject(const RClassDescriptorInfo* info, Kernel::Memory::TFinalizer finalizer);
QEL_RUN_API TObject* TryConvertObject(const RInterfaceDescriptor* interface, const TObject* object);
QEL_RUN_API TObject* ConvertObject(const RInterfaceDescriptor* interface, const TObject* object);
QEL_RUN_API TObject* FirstBranchConvertObject(const RInterfaceDescriptor* interface,
                                              const TObject* object);
// Writes an adjustor thunk into a 16-byte cell: adds delta to the object
// argument (RCX) and jumps to target.
QEL_RUN_API void WriteThunk(uint8_t* cell, int32_t delta, const void* target);
// Decodes a cell: the delta it adds and its final target (one thunk level).
QEL_RUN_API void DecodeThunk(const uint8_t* cell, int32_t* delta, const void** target);

}  // namespace Objects
}  // namespace Qel::RunTime

#include "qel6decl.h"
