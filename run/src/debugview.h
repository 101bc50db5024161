// The debugger view's per-kind work behind the domain classes' slots 18
// (text of a remote value) and 19 (a copied record's inner pointers).
#pragma once

#include "qel6run_debug.h"

namespace Qel::RunTime::Terms::Debugger::detail {

// The text of the remote value at `at` (a value cell for scalar kinds, the
// term's address otherwise), bounded by the provider's text limit.
wchar_t* RemoteText(const void* view, const IDomainDefinition* d, RAnotherWorldAddress at);
// Replaces the inner pointers of the copied record by local copies; false
// when the record cannot serve (then it gives none).
bool LoadRecord(const void* view, const IDomainDefinition* d);

}  // namespace Qel::RunTime::Terms::Debugger::detail
