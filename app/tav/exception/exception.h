// Exceptions: the exception state with its trace entries, the class
// predicates over the current state, and the general descriptors with their
// raise helpers (common_exception, exception_exception).
//
// A raise records a trace entry, newest first, and ends in the kernel's
// Qel_ErrorExit with the trace identifier (65536 up); the trap that catches it
// receives that identifier.  Entries are copied whole to the collected heap,
// extra information included, because the raise unwinds the global stack that
// held them.
#pragma once

#include "core/core.h"
#include "programControl/programControl.h"

namespace tav {

// kind = raised | continued: a one-word block.
struct KindTerm {
  uint64_t functor;  // 1 raised, 2 continued
};
enum class TraceKind : uint64_t { raised = 1, continued = 2 };

// descriptor(TraceId, ClassInfo, Exception, Kind, ExtraInfo, Cursor, DateTime,
//            Description): one trace entry.
struct TraceEntry {
  uint64_t functor;
  uint32_t traceId;
  const ClassInfo* classInfo;
  const ExceptionDescriptor* exception;
  const KindTerm* kind;
  const NamedValueList* extraInfo;
  const CursorTerm* cursor;
  const wchar_t* dateTime;
  const wchar_t* description;

  TraceKind Kind() const { return static_cast<TraceKind>(kind->functor); }
};

namespace domains {
extern T::RCompoundDomain kind, traceEntry;
}

// Identifiers below this are run-time error numbers that never went through
// the exception state.
constexpr uint32_t kFirstTraceId = 65536;

// The object that holds the trace entries; lives on the collected heap.
class exceptionState {
 public:
  static const ClassInfo classInfo;
  static exceptionState* New();
  static bool equals(const ExceptionDescriptor* a, const ExceptionDescriptor* b);

  [[noreturn]] virtual void raise(const ClassInfo* ci, const ExceptionDescriptor* e,
                                  const NamedValueList* extra);
  [[noreturn]] virtual void raise(const ClassInfo* ci, const ExceptionDescriptor* e);
  [[noreturn]] virtual void raise_withpos(const ClassInfo* ci, const CursorTerm* at,
                                          const ExceptionDescriptor* e,
                                          const NamedValueList* extra);
  [[noreturn]] virtual void raise_withpos(const ClassInfo* ci, const CursorTerm* at,
                                          const ExceptionDescriptor* e);
  [[noreturn]] virtual void continue_withpos(uint32_t traceId, const ClassInfo* ci,
                                             const CursorTerm* at, const ExceptionDescriptor* e,
                                             const NamedValueList* extra);
  [[noreturn]] virtual void continue_withpos(uint32_t traceId, const ClassInfo* ci,
                                             const CursorTerm* at, const ExceptionDescriptor* e);
  [[noreturn]] virtual void continue_(uint32_t traceId, const ClassInfo* ci,
                                      const ExceptionDescriptor* e, const NamedValueList* extra);
  [[noreturn]] virtual void continue_(uint32_t traceId, const ClassInfo* ci,
                                      const ExceptionDescriptor* e);
  virtual void clear(uint32_t traceId);
  virtual void clearall();
  // Determ: null when there is none.
  virtual const TraceEntry* trygetdescriptor(uint32_t traceId, const ExceptionDescriptor* e);
  // Nondeterm, newest first: every entry, or those of one trace.
  virtual bool getdescriptor_nd(Each<const TraceEntry*> k);
  virtual bool getdescriptor_nd(uint32_t traceId, Each<const TraceEntry*> k);
  virtual const ValueTerm* trygetextrainfo(const TraceEntry* entry, const wchar_t* name);
  virtual const TraceEntry* findexception(uint32_t traceId,
                                          std::initializer_list<const ExceptionDescriptor*> list);

 private:
  struct Cell {
    const TraceEntry* entry;
    Cell* next;
  };
  exceptionState() = default;
  [[noreturn]] void Record(uint32_t traceId, const ClassInfo* ci, const CursorTerm* at,
                           const ExceptionDescriptor* e, TraceKind kind,
                           const NamedValueList* extra);
  // The checks of continue and clear: notraceid, then nonlasttraceid.
  void CheckNewest(uint32_t traceId);

  uint32_t nextId_ = kFirstTraceId;
  Cell* entries_ = nullptr;  // newest first
};

// Class predicates over the current exception state.
class exception {
 public:
  static const ClassInfo classInfo;
  static const ClassInfo unknownclassinfo;

  static exceptionState* getexceptionstate();
  static void setexceptionstate(exceptionState* state);

  [[noreturn]] static void raise(const ClassInfo* ci, const ExceptionDescriptor* e,
                                 const NamedValueList* extra);
  [[noreturn]] static void raise(const ClassInfo* ci, const ExceptionDescriptor* e);
  [[noreturn]] static void raise_withpos(const ClassInfo* ci, const CursorTerm* at,
                                         const ExceptionDescriptor* e, const NamedValueList* extra);
  [[noreturn]] static void raise_withpos(const ClassInfo* ci, const CursorTerm* at,
                                         const ExceptionDescriptor* e);
  [[noreturn]] static void continue_withpos(uint32_t traceId, const ClassInfo* ci,
                                            const CursorTerm* at, const ExceptionDescriptor* e,
                                            const NamedValueList* extra);
  [[noreturn]] static void continue_withpos(uint32_t traceId, const ClassInfo* ci,
                                            const CursorTerm* at, const ExceptionDescriptor* e);
  [[noreturn]] static void continue_(uint32_t traceId, const ClassInfo* ci,
                                     const ExceptionDescriptor* e, const NamedValueList* extra);
  [[noreturn]] static void continue_(uint32_t traceId, const ClassInfo* ci,
                                     const ExceptionDescriptor* e);
  static void clear(uint32_t traceId);
  static void clearall();
  static const TraceEntry* trygetdescriptor(uint32_t traceId, const ExceptionDescriptor* e);
  static bool getdescriptor_nd(Each<const TraceEntry*> k);
  static bool getdescriptor_nd(uint32_t traceId, Each<const TraceEntry*> k);
  static const ValueTerm* trygetextrainfo(const TraceEntry* entry, const wchar_t* name);
  static const TraceEntry* findexception(uint32_t traceId,
                                         std::initializer_list<const ExceptionDescriptor*> list);
};

class common_exception {
 public:
  static const ClassInfo classInfo;
  static const ExceptionDescriptor internal, couldnotcreate, removelistener, exceptioninlistener,
      nativecallexception, unknown, unsupportedpredicate;

  // "Predicate name", then "Arguments": the arguments as plain text.
  [[noreturn]] static void raise_error(const ClassInfo* ci, const wchar_t* predicate,
                                       const T::REllipsisArg* args);
  [[noreturn]] static void raise_errorf(const ClassInfo* ci, const wchar_t* predicate,
                                        const wchar_t* format, const T::REllipsisArg* args);
  [[noreturn]] static void raise_couldnotcreate(const ClassInfo* ci, const wchar_t* predicate,
                                                const NamedValueList* extra);
  [[noreturn]] static void raise_removelistener(const ClassInfo* ci, const wchar_t* listener);
  [[noreturn]] static void continue_exceptioninlistener(uint32_t traceId, const ClassInfo* ci,
                                                        const wchar_t* listener);
  // "API function name", "Error code" (the thread's last error), "Error
  // description", then `extra`.
  [[noreturn]] static void raise_nativecallexception(const ClassInfo* ci, const wchar_t* api,
                                                     const NamedValueList* extra);
  [[noreturn]] static void raise_nativecallexceptionposition(const ClassInfo* ci,
                                                             const CursorTerm* at,
                                                             const wchar_t* api,
                                                             const NamedValueList* extra);
  static void checknonzeroresult(const ClassInfo* ci, uintptr_t result, const wchar_t* api);
  [[noreturn]] static void continue_unknown(uint32_t traceId, const ClassInfo* ci,
                                            const wchar_t* predicate, const T::REllipsisArg* args);
  [[noreturn]] static void raise_unsupportedpredicate(const ClassInfo* ci,
                                                      const wchar_t* predicate);
  // The thread's last Windows error and its system text (new heap string).
  static void getlasterror(uint32_t* code, const wchar_t** description);
  // The named values of a native-call exception for a given error code.
  static const NamedValueList* NativeErrorInfo(const wchar_t* api, uint32_t code,
                                               const NamedValueList* extra);
};

class exception_exception {
 public:
  static const ClassInfo classInfo;
  static const ExceptionDescriptor externalerror, notraceid, nonlasttraceid;
  [[noreturn]] static void raise_externalerror(const ClassInfo* ci, uint32_t errorCode,
                                               const NamedValueList* extra);
  [[noreturn]] static void raise_notraceid(const ClassInfo* ci, uint32_t traceId);
  [[noreturn]] static void raise_nonlasttraceid(const ClassInfo* ci, uint32_t traceId);
};

// Run-time error numbers as exceptions.
class runtime_exception {
 public:
  static const ClassInfo classInfo;
  static const ExceptionDescriptor notyethandlederror;
  // The descriptor of an error number, or the fallback.
  static const ExceptionDescriptor* exceptionfromerrorcode(uint32_t errorNumber);
  // The kernel's exception predicate: raises the number's descriptor with
  // "ExtraInfo" = the message and "error code" = the number.
  [[noreturn]] static void runtimeexceptionraiser(uint32_t errorNumber, const TFullCursor* position,
                                                  const wchar_t* message);
  // The closure to install with SetPrologExceptionPredicate.
  static const K::RPrologExceptionPredicateStruct raiser;
  // The number of table entries (the fallback excluded).
  static uint32_t TableSize();
  static const ExceptionDescriptor* TableEntry(uint32_t i, uint32_t* code);
};

}  // namespace tav
