// qel6run: binary images of terms and fact databases.
//
// Binary image (Qel::RunTime::Terms): a term of any domain becomes one
// binary (the u32 in front of the data counts the data plus itself) and back.
// The image keeps the 32-bit layout whatever the pointer size: 4-byte slots,
// blocks 4-aligned, a u32 functor word, a u32 pointer slot (an offset from
// the image start) for every boxed argument, and, when the term can hold
// such slots, a table of the slots' offsets and their count at the end.  The
// code-page flavour stores characters and strings as 8-bit text and packs
// small arguments.  Values of pointer and object domains have no meaning
// outside the process and are written as 0.  Readers check every length,
// offset, functor number and terminator: a bad image raises 304.
//
// Fact databases (Qel::RunTime::Terms::DBInternal): the facts of a class
// (kind 12) or of each object (kind 13) are chains of heap cells that
// compiled code walks directly; the layouts below are a binary contract.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qel6run.h"

#ifdef QEL6RUN_BUILD
// The export list decides what the DLL exports (see exports.txt).
#define QEL_RUN_DB_API
#else
#define QEL_RUN_DB_API __declspec(dllimport)
#endif

namespace Qel::RunTime::Terms {

// A binary: the address of its first data byte.
using TBinary = uint8_t*;

// The state of one image write.  ToBinary runs the domain's BinarySize slot
// (size pass: `out` null; adds to `position` and `pointerCount`, sets
// `hasPointerTable`), allocates the image, then runs its BinaryEmit slot
// with `out` and `table` set and `position` and `pointerCount` from 0.
struct RHtoBinary {
  uint32_t pointerCount;          // pointer slots written so far
  uint32_t codePage;              // 0xFFFFFFFF: the UTF-16 flavour
  uint64_t position;              // running size; the write position
  uint8_t* out;                   // the image data, null in the size pass
  uint8_t* table;                 // the pointer table (emit pass)
  bool hasPointerTable;
};
constexpr uint32_t kUtf16Image = 0xFFFFFFFFu;

// The state of one image read.  FromBinary runs the domain's
// BinaryPrepareRead slot (sets `hasPointerTable` for kinds whose images carry
// a pointer table), then BinaryRead and BinaryReadFinish; FromBinaryCodePage
// runs BinaryReadCodePage at `position` (it reads the whole image and moves
// `position` to `dataSize`), then BinaryReadFinish.  A null reader given to
// BinaryRead reads the UTF-16 flavour.
struct RBinaryReader {
  uint32_t codePage;              // kUtf16Image for the UTF-16 flavour
  const IDomainDefinition* domain;
  bool hasPointerTable;
  uint32_t dataSize;              // the length word - 4
  uint32_t position;
  const uint8_t* image;
};

// The UTF-16 flavour.
QEL_RUN_DB_API TBinary ToBinary(const IDomainDefinition* d, term t);
QEL_RUN_DB_API term FromBinary(const IDomainDefinition* d, const uint8_t* binary);
// The code-page flavour (characters and strings in `codePage`).
QEL_RUN_DB_API TBinary ToBinaryCodePage(const IDomainDefinition* d, term t, uint32_t codePage);
QEL_RUN_DB_API term FromBinaryCodePage(const IDomainDefinition* d, const uint8_t* binary,
                                       uint32_t codePage);

// The kind code of an activated domain record (0 when it is not active).
QEL_RUN_DB_API uint32_t KindOf(const IDomainDefinition* d);

namespace DBInternal {

// A fact: the functor entry of the fact's term, then its flags.
struct RFactDescriptor {
  const wchar_t* name;
  const RArgument* args;          // args[0].domain: the value domain of a bare fact
  uint32_t argCount;
  uint32_t blockSize;             // bytes of the fact's term
  uint8_t single;                 // exactly one value at all times
  uint8_t determ;                 // at most one fact
  uint8_t copyFlag;               // handed to the value domain's copy of a bare value
  uint8_t bare;                   // the value lives in the chain head itself
};
static_assert(sizeof(RFactDescriptor) == 32 && offsetof(RFactDescriptor, single) == 24);
static_assert(offsetof(RFactDescriptor, args) == offsetof(RFunctor, args) &&
              offsetof(RFactDescriptor, argCount) == offsetof(RFunctor, argCount) &&
              offsetof(RFactDescriptor, blockSize) == offsetof(RFunctor, blockSize));

// A fact database domain (kinds 12, 13): its functor table is the table of
// fact descriptors.  A fact term starts with a 64-bit fact number (from 1).
// Linking a class sets up the heads of its class databases.  Beyond the
// IDomainDefinition slots, the method table of a database holds:
//   59  const RFactDescriptor* (self, uint32_t n): the descriptor of fact n
//   68  void (self, void* object, term): AssertA; 69 the same for AssertZ
//       (object: null for class facts)
struct RFactDatabase {
  RDomainRecord head;
  uint32_t factCount;
  const RFactDescriptor* facts;
  uint32_t four;
  uintptr_t heads;                // kind 12: the heads array; kind 13: its offset in each object
};
static_assert(offsetof(RFactDatabase, facts) == 64 && offsetof(RFactDatabase, heads) == 80);

// A fact cell and a chain head.  A cursor over a chain holds the next cell;
// the kernel's CheckRetract moves it on when that cell is retracted.
struct RStructFact {
  const uint8_t* term;
  RStructFact* next;
};
struct RFactHead {
  RStructFact* first;             // for a bare fact: the value itself
  RStructFact* last;
};
static_assert(sizeof(RStructFact) == 16 && sizeof(RFactHead) == 16);

using TDB = IDomainDefinition;

// The visitor of a database's EnumerateFacts slot: called once per fact in
// declaration order with its descriptor, its name, the heads (class facts;
// for object facts the given object's, or null without one) and the
// database's qualified name.  Class databases call ClassFact, object
// databases ObjectFact.
struct RFactVisitor {
  virtual void ClassFact(const RFactDescriptor* fact, const wchar_t* name, RFactHead* heads,
                         const wchar_t* database) = 0;
  virtual void ObjectFact(const RFactDescriptor* fact, const wchar_t* name, RFactHead* heads,
                          const wchar_t* database) = 0;
};

// The heads of a database: class facts, or the given object's.
QEL_RUN_DB_API RFactHead* Heads(const TDB* definition, void* object);

// Empties the heads of a class database and gives each single fact that is
// not bare its one cell; run once when the class is set up.
QEL_RUN_DB_API void InitializeClassFacts(const TDB* definition);
// The same for the heads of one object.
QEL_RUN_DB_API void InitializeObjectFacts(const TDB* definition, void* object);

class TDBClassInternalDomainDefinition {
 public:
  QEL_RUN_DB_API static void AssertAClass(const TDB* definition, const uint8_t* term);
  QEL_RUN_DB_API static void AssertZClass(const TDB* definition, const uint8_t* term);
};
class TDBObjectInternalDomainDefinition {
 public:
  QEL_RUN_DB_API static void AssertAObject(const TDB* definition, void* object, const uint8_t* term);
  QEL_RUN_DB_API static void AssertZObject(const TDB* definition, void* object, const uint8_t* term);
};

// Removing facts; `index` counts from 0 in declaration order.
QEL_RUN_DB_API void RetractAllinFactClass(const TDB* definition, uint32_t index);
QEL_RUN_DB_API void RetractAllinFactObject(const TDB* definition, void* object, uint32_t index);
// 326 at the first single fact (the chains before it are emptied).
QEL_RUN_DB_API void RetractAllinDBClass(const TDB* definition);
QEL_RUN_DB_API void RetractAllinDBObject(const TDB* definition, void* object);
// Removes the one fact of a determ chain; fails when there is none.
QEL_RUN_DB_API void RetractDetermClass(const TDB* definition, uint32_t index);
QEL_RUN_DB_API void RetractDetermObject(const TDB* definition, void* object, uint32_t index);

// Nondeterministic removal.  Each solution unlinks one fact, leaves a
// backtrack point and calls `next(context, removedTerm)`, the rest of the
// caller's goal: when it fails, the next fact is removed and `next` called
// again; when it returns, the removal is committed and the call returns.
// With no (more) facts the call fails.  RetractVar walks every chain in
// declaration order and hands `next` a global-stack copy of the term.
using TContinuation = void (*)(void* context, const uint8_t* term);
QEL_RUN_DB_API void RetractCompoundClass(const TDB* definition, uint32_t index, TContinuation next,
                                         void* context);
QEL_RUN_DB_API void RetractCompoundObject(const TDB* definition, void* object, uint32_t index,
                                          TContinuation next, void* context);
QEL_RUN_DB_API void RetractVarClass(const TDB* definition, const uint8_t** termWord,
                                    TContinuation next, void* context);
QEL_RUN_DB_API void RetractVarObject(const TDB* definition, void* object, const uint8_t** termWord,
                                     TContinuation next, void* context);

// A nondeterministic walk over one chain with the kernel's cursor repair:
// each fact is handed to `next` with a backtrack point whose cursor holds the
// following cell, so facts retracted while the walk is suspended are
// skipped.  Fails when the chain is (or becomes) exhausted.
QEL_RUN_DB_API void WalkFacts(RFactHead* head, TContinuation next, void* context);

// The cell leaves its chain: repairs suspended cursors, then frees it.
QEL_RUN_DB_API void FinishRetract(RStructFact* cell, RStructFact** firstWord);
// Raises 329 for fact number `fact` (counted from 1).
[[noreturn]] QEL_RUN_DB_API void Error_SingleFactHasNoValue(const TDB* definition, uint32_t fact);

// Collecting solutions: *tail starts at the address of an empty chain head.
QEL_RUN_DB_API void FindAllAlloc(const IDomainDefinition* domain, const uint8_t* term,
                                 RStructFact*** tail);
// Turns the chain into a list of `listDomain` on the global stack.
QEL_RUN_DB_API void FindAllSlut(const IDomainDefinition* listDomain, RStructFact** chain,
                                const uint8_t** result);

}  // namespace DBInternal

namespace Streams {

// A fact database: its domain and the object that holds the facts (null for
// class facts).
struct FactDB {
  const IDomainDefinition* definition;
  void* object;
};

// Writes the database as text: a newline, "clauses", a newline, then one
// clause per line in chain order, or the no-facts marker when there is none.
QEL_RUN_DB_API void DataBaseInternal_save(const FactDB* db, RBufferSource* sink, uintptr_t unused);
// Reads clauses and adds each at the end of its chain; the "clauses" line
// and the periods are optional.  Errors 324 (keyword or marker out of
// place), 309, 310, 327, the text errors and the assertion errors; the facts
// read before an error stay.
QEL_RUN_DB_API void DataBaseInternal_consult(const FactDB* db, RBufferSource* source, uintptr_t unused);

}  // namespace Streams
}  // namespace Qel::RunTime::Terms
