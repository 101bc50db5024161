// The reference checker: reads every chain and tree of a roster document
// that holds task, location, slot or doctor numbers (tie end keys too),
// straight from the chain database (no store of the model), and writes
// each stored record by the names its numbers name:
// "T=<task>|L=<location>|S=<slot>|", a doctor by name.  A number that
// names nothing shows as "?<n>".  Comparing the lines of a document before
// and after an edit tells whether every stored number still names what it
// named.
#pragma once

#include <string>
#include <vector>

#include "chainDB/chainDb.h"

namespace alltest {

// The records in a stable order (sorted).  Runs under the caller's trap.
std::vector<std::wstring> NamedReferences(tav::chainDB* db);

// The lines without those that hold `part`.
std::vector<std::wstring> Without(const std::vector<std::wstring>& lines, const std::wstring& part);

}  // namespace alltest
