// Internals shared by the image and fact-database sources.
#pragma once

#include "qel6run_db.h"
#include "runtime.h"

namespace Qel::RunTime::Terms::DBInternal::detail {

// The core's helpers (runtime.h): errors from the runtime's string table,
// aligned global-stack memory, argument terms of blocks, reference cells.
using Qel::RunTime::detail::ArgTerm;
using Qel::RunTime::detail::BaseOf;
using Qel::RunTime::detail::ValueInCell;
using Qel::RunTime::detail::Deref;
using Qel::RunTime::detail::Dom;
using Qel::RunTime::detail::GAlloc;
using Qel::RunTime::detail::Raise;

inline const RFactDatabase& FD(const IDomainDefinition* d) {
  return *reinterpret_cast<const RFactDatabase*>(d);
}

}  // namespace Qel::RunTime::Terms::DBInternal::detail
