// ObjectHandler: the GUI layer's handler closure that calls an object's
// event method.
//
// Invariants:
//  - The closure lives on the collected heap and holds the object, so the
//    object lives as long as the window that keeps the closure.
#pragma once

#include "qel6kernel.h"
#include "qel6kwi.h"

namespace rizediveva6 {

template <class C, LONG_PTR (C::*Method)(LONG_PTR, QEL_KWI::event_struct*)>
QEL_KWI::PROLOG_EHANDLER_STRUCT* ObjectHandler(C* object) {
  using QEL_KWI::PROLOG_EHANDLER_STRUCT;
  auto* h = static_cast<PROLOG_EHANDLER_STRUCT*>(Qel::RunTime::Kernel::Memory::AllocHeap(sizeof(PROLOG_EHANDLER_STRUCT)));
  *h = {reinterpret_cast<void*>(+[](void* o, LONG_PTR w, QEL_KWI::event_struct* e) -> LONG_PTR {
          return (static_cast<C*>(o)->*Method)(w, e);
        }),
        object};
  return h;
}

}  // namespace rizediveva6
