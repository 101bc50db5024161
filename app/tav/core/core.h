// The class library's shared types: class identities, exception
// descriptors, the `value` and `namedvalue` domains and the helpers that
// build their terms, the basic domain records and the continuation type of
// nondeterministic predicates.
//
// How every class of the library meets the kernel:
//  - A determ predicate that fails returns false or null; it never calls
//    Fail().  Fail() is only called where code backtracks: a continuation
//    handed in may fail, and the runtime's failing functions are called
//    through Succeeds.
//  - A nondeterministic predicate takes a continuation (Each<T>) and runs it
//    under Succeeds once per solution: a continuation that fails asks for the
//    next solution, one that returns ends the predicate, which returns true;
//    when the solutions run out it returns false.
//  - A raise records a trace entry in the exception state and ends in the
//    kernel's Qel_ErrorExit with the trace identifier, which the caller's
//    RunTrapped receives.  Errors left to the kernel or the runtime (range
//    checks 302, 329, error 1) are run-time errors that the installed raiser
//    (runtime_exception) turns into traces.  Raising is [[noreturn]] and no
//    frame it crosses holds an object with a destructor.
//  - Raise sites name a static source position (TAV_AT) before raising, so
//    that the trace entry shows where it came from.
//  - Terms handed out live on the caller's global stack or the collected
//    heap; class and descriptor records are static and compared by their
//    strings.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <type_traits>
#include <utility>

#include "qel6run.h"
#include "qel6run_fmt.h"

namespace tav {

namespace K = Qel::RunTime::Kernel;
namespace T = Qel::RunTime::Terms;
using Qel::RunTime::RScopeClassDescriptor;
using Qel::RunTime::Kernel::TFullCursor;
using T::IDomainDefinition;
using T::term;

// --- Class identities and exception descriptors ----------------------------------

// What a class answers to its class-information predicate.
struct ClassInfo {
  const wchar_t* name;
  const wchar_t* version;
};
#define TAV_CLASS_VERSION L"Version 1.0"

// A constant exception descriptor: the declaring class, the exception name and
// its description.
struct ExceptionDescriptor {
  const ClassInfo* declaring;
  const wchar_t* name;
  const wchar_t* description;
};
// Equal when names, descriptions and declaring class names are equal.
bool SameDescriptor(const ExceptionDescriptor* a, const ExceptionDescriptor* b);

// Sets the calling thread's current source position to a static one at this
// place, for the trace entry of a raise that follows.
#define TAV_AT()                                                           \
  do {                                                                     \
    static const ::Qel::RunTime::Kernel::TFullCursor tav_here_ = QEL_HERE; \
    ::tav::K::Control::TPrologThreadData::SetCurrentPosition(&tav_here_);  \
  } while (0)

// --- Continuations of nondeterministic predicates ------------------------------------

// A borrowed callable void(V): the rest of the caller's goal for one solution.
template <class V>
class Each {
 public:
  template <class F, class = std::enable_if_t<!std::is_same_v<std::decay_t<F>, Each>>>
  Each(F&& f)
      : context_(const_cast<void*>(static_cast<const void*>(&f))),
        call_([](void* c, V v) { (*static_cast<std::remove_reference_t<F>*>(c))(v); }) {}
  void operator()(V v) const { call_(context_, v); }

 private:
  void* context_;
  void (*call_)(void*, V);
};

// Runs k(v) under a backtrack point: true when it returned, false when it
// failed.
template <class V>
bool TrySolution(const Each<V>& k, V v) {
  return K::Succeeds([&] { k(v); });
}

// --- Terms of the value domains ------------------------------------------------------

// value = none | boolean(boolean) | unsigned64(unsigned64) | integer64(integer64)
//       | unsigned(unsigned) | integer(integer) | real(real) | char(char)
//       | string(string) | binary(binary) | object(object)
//       | gmttimevalue(unsigned64) | pointer(pointer)
enum class ValueKind : uint64_t {
  none = 1, boolean, unsigned64, integer64, unsigned_, integer, real, char_, string, binary,
  object, gmttimevalue, pointer,
};
// Every alternative but none is a 16-byte block: the functor word, then the
// payload in the low bytes of the second word.
struct ValueTerm {
  uint64_t functor;
  uint64_t payload;

  ValueKind Kind() const { return static_cast<ValueKind>(functor); }
  template <class V>
  V As() const {
    V v;
    memcpy(&v, &payload, sizeof v);
    return v;
  }
};
// boolean = false | true: a one-word block.
struct BooleanTerm {
  uint64_t functor;  // 1 false, 2 true
};
// An alternative of a domain of constants only (accesspermit, overwrite,
// volumetype, fileattributeatom, the constants of codepage): a one-word
// block holding its functor number.
struct ConstantTerm {
  uint64_t functor;
};
// A constant term on the global stack.
const ConstantTerm* Constant(uint64_t functor);
// namedvalue(Name, Value)
struct NamedValue {
  uint64_t functor;
  const wchar_t* name;
  const ValueTerm* value;
};
// A namedvalue_list cell; the empty list is a one-word block holding 2.
struct NamedValueList {
  uint64_t functor;  // 1 a cell, 2 the empty list
  const NamedValue* head;
  const NamedValueList* tail;

  bool Empty() const { return (functor & 0xFF) == 2; }
};
const NamedValueList* EmptyList();

// Value terms on the caller's global stack.
namespace value {
const ValueTerm* none();
const ValueTerm* boolean(bool b);
const ValueTerm* unsigned64(uint64_t v);
const ValueTerm* integer64(int64_t v);
const ValueTerm* unsigned_(uint32_t v);
const ValueTerm* integer(int32_t v);
const ValueTerm* real(double v);
const ValueTerm* char_(wchar_t c);
const ValueTerm* string(const wchar_t* s);
const ValueTerm* binary(const uint8_t* b);
const ValueTerm* object(void* o);
const ValueTerm* gmttimevalue(uint64_t v);
const ValueTerm* pointer(void* p);
}  // namespace value

// A named-value list on the global stack, in the given order.
using Named = std::pair<const wchar_t*, const ValueTerm*>;
const NamedValueList* Values(std::initializer_list<Named> items);
// `front` followed by the cells of `rest` (shared).
const NamedValueList* Prepend(std::initializer_list<Named> front, const NamedValueList* rest);

// --- Domain records of the library ---------------------------------------------------

// Basic domains (class core) and the value domains.
namespace domains {
extern T::RIntegralDomain integer, unsigned_, unsigned8, unsigned16, unsigned32;
extern T::RIntegral64Domain integer64, unsigned64;
extern T::RRealDomain real;
extern T::RDomainRecord char_, string, binary, pointer, object;
extern T::RCompoundDomain boolean, value, namedvalue, namedvalue_list;
}  // namespace domains

template <class R>
inline const IDomainDefinition* D(R& record) {
  return T::Domain(record.head);
}
inline const IDomainDefinition* D(T::RDomainRecord& record) { return T::Domain(record); }

// The class descriptors of the library in one unit table; RunUnitInitialization
// links them (InitializeUnit does, once per process, unless a program's own
// table linked them already).
const RScopeClassDescriptor* const* UnitTable();
int InitializeUnit();
// True when every descriptor of the unit table has been linked (a linked
// descriptor's word 0 is its method table, no longer a kind code).
bool UnitLinked(const RScopeClassDescriptor* const* table);

// --- Small helpers shared by the classes ---------------------------------------------

// A copy of `s` on the collected heap as a pointer-free block.
wchar_t* HeapCopy(const wchar_t* s);
// Global-stack memory aligned to 8 bytes.
void* GStackAlloc(uint32_t bytes);
// Error 1 with the processor's integer-overflow code ("Integral overflow").
[[noreturn]] void RaiseIntegerOverflow();

// The `core` class: lookups over named-value lists.
class core {
 public:
  static const ClassInfo classInfo;
  // The value of the first pair whose name equals `key`; null when none.
  static const ValueTerm* trymaplookup(const NamedValueList* map, const wchar_t* key);
  static const ValueTerm* maplookup(const NamedValueList* map, const wchar_t* key,
                                    const ValueTerm* fallback);
  // Every value whose name equals `key`, in list order.
  static bool lookup_nd(const NamedValueList* map, const wchar_t* key, Each<const ValueTerm*> k);
  static int32_t getcharvalue(wchar_t c) { return c; }
};

}  // namespace tav
