// Key and name order: the system's string comparison (lstrcmpW, lstrcmpA),
// as the stored trees were built with it.
//
// Invariants:
//  - CompareW answers as lstrcmpW does, sign for sign.  Strings made only of
//    the plain characters (digits and a few marks, each with a primary
//    weight of its own and nothing at the lower levels) are compared by
//    those weights, in order, the shorter string first at a common prefix:
//    the system's rule for such strings.  The weights are read from the
//    system at first use and the rule checked on a fixed sample; when the
//    system answers otherwise, every comparison goes to lstrcmpW.
#pragma once

namespace chainDB::detail {

int CompareW(const wchar_t* a, const wchar_t* b);
int CompareA(const char* a, const char* b);
// Whether plain strings take the fast path on this system.
bool PlainOrderInUse();

}  // namespace chainDB::detail
