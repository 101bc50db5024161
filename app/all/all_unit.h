// The roster model's unit: the domain records of its classes and the unit
// table that links them.  InitializeUnit links the maker's library (and
// with it the class library) first and this unit once per process.
#pragma once

namespace all {

int InitializeUnit();

}  // namespace all
