// qel6run: a debugger's view of the terms, objects and fact databases of
// another process that runs this runtime.
//
// The view copies each remote domain record it meets into the debugger's
// heap (once: a tree keyed by remote address), points the copy's method
// table at the debugger's own domain class and replaces the copy's inner
// pointers (names, functor tables, argument domains) by local copies, so
// that remote values are printed by walking them through the provider.
// Nothing here raises: an unreadable or corrupt remote part gives none (a
// null result), an empty string, a shorter list or the text "???".
#pragma once

#include "qel6run.h"

namespace Qel::RunTime::Terms::Debugger {

using Kernel::Debugger::IMemoryProvider;
using Kernel::Debugger::RAnotherWorldAddress;

// Language lists on the global stack: {1, element, next} cells ended by {2}.
struct TStringList {
  uint64_t functor;
  const wchar_t* element;
  TStringList* next;
};
struct TObjectList {
  uint64_t functor;
  RAnotherWorldAddress element;
  TObjectList* next;
};

struct RTreeNode;

// One view serves one debugger thread.  Made on the collected heap.
class RDebugMemory {
 public:
  QEL_RUN_API static RDebugMemory* Create(void* process);
  QEL_RUN_API void Destroy();

  // The local copy of the remote record, or null.
  QEL_RUN_API const IDomainDefinition* RegisteredDomainDefinition(RAnotherWorldAddress record);

  // Objects: the class name (empty when a read fails) and the references of
  // the interfaces the object supports.
  QEL_RUN_API const wchar_t* GetClassNameForObject(RAnotherWorldAddress object);
  QEL_RUN_API TObjectList* GetSubObjecstListForObject(RAnotherWorldAddress object);

  // Fact chains: `fact` counts from 1 in declaration order, positions from 0.
  QEL_RUN_API int32_t GetTotalClassFacts(RAnotherWorldAddress database, uint32_t fact);
  QEL_RUN_API int32_t GetTotalObjectFacts(RAnotherWorldAddress database, RAnotherWorldAddress object,
                                          uint32_t fact);
  QEL_RUN_API const wchar_t* GetClassFact(RAnotherWorldAddress database, uint32_t fact,
                                          uint32_t position);
  QEL_RUN_API const wchar_t* GetObjectFact(RAnotherWorldAddress database, RAnotherWorldAddress object,
                                           uint32_t fact, uint32_t position);
  QEL_RUN_API TStringList* GetClassFactRange(RAnotherWorldAddress database, uint32_t fact,
                                             uint32_t first, uint32_t count, uint32_t integralView);
  QEL_RUN_API TStringList* GetObjectFactRange(RAnotherWorldAddress database,
                                              RAnotherWorldAddress object, uint32_t fact,
                                              uint32_t first, uint32_t count,
                                              uint32_t integralView);
  QEL_RUN_API bool DeleteClassFact(RAnotherWorldAddress database, uint32_t fact);
  QEL_RUN_API bool DeleteObjectFact(RAnotherWorldAddress database, RAnotherWorldAddress object,
                                    uint32_t fact);
  QEL_RUN_API bool DeleteClassFactRange(RAnotherWorldAddress database, uint32_t fact,
                                        uint32_t first, uint32_t count);
  QEL_RUN_API bool DeleteObjectFactRange(RAnotherWorldAddress database,
                                         RAnotherWorldAddress object, uint32_t fact,
                                         uint32_t first, uint32_t count);

  IMemoryProvider* provider;
  RTreeNode* records;
};

// The runtime's load address in the debugger minus its load address in the
// inspected process: added to a remote method-table address it gives the
// debugger's own.
QEL_RUN_API void RegisterModuleBaseOffsetForDebug(int64_t offset);

// The text of the value whose cell is at `value` (for a domain passed by
// reference: the cell holds the term's address); null when the domain cannot
// be read.  `integralView` 16 writes integral values in hexadecimal.
QEL_RUN_API wchar_t* ToStringForDebug(RDebugMemory* view, RAnotherWorldAddress domain,
                                      RAnotherWorldAddress value, uint32_t integralView);

}  // namespace Qel::RunTime::Terms::Debugger
