// The roster model's unit: the domain records of its classes and the unit
// table that links them.  InitializeUnit links the maker's library (and
// with it the class library) first and this unit once per process,
// unless a program's own table linked it already.
#pragma once

#include "core/core.h"

namespace all {

// The model's own class descriptors (the libraries below have theirs).
const tav::RScopeClassDescriptor* const* UnitTable();
int InitializeUnit();

}  // namespace all
