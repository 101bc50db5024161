// The library's unit: the domain records of its classes and the unit table
// that links them.  InitializeUnit links the class library's unit first and
// this one once per process; the ranged scalar records are what the range
// checks (302) test values against.
#pragma once

#include "core/core.h"
#include "exception/exception.h"

namespace rizediveva6 {

namespace T = Qel::RunTime::Terms;

namespace domains {
// timepack: year 1950..2050, month 1..12, day 1..31, hour 0..23,
// minute 0..59, day_no 1..7, start_day_dom 0..1.
extern T::RIntegralDomain year, month, day, hour, minute, day_no, start_day_dom;
// mychaindb: a B+tree's key length and order, 1..2147483647.
extern T::RIntegralDomain bt_size;
// orvtoolkwi: the list box line, line(Ref, Cells, Colour, Second) | line_no(Cells, Colour, Second).
extern T::RCompoundDomain line;
}  // namespace domains

// Raises the runtime's range error 302 when v lies outside the unsigned domain.
void CheckRange(T::RIntegralDomain& domain, int64_t v);

// Raises the runtime's range error 302 (a value no unsigned domain holds).
[[noreturn]] void RaiseRangeError();

// Runs body under a trap; an error it raises is handled here (its trace is
// forgotten).  The error code, or 0 when body returned.
template <class F>
uint32_t TrapAndForget(F body) {
  const uint32_t code = Qel::RunTime::Kernel::RunTrapped(body);
  if (code >= 65536) tav::exception::clear(code);
  return code;
}

// The run-time error number an error code or trace carries (0 when it
// carries none) and the text to show for it; the trace stays.
uint32_t TraceErrorNumber(uint32_t traceId, const wchar_t** text);

// The text of an error handled by the caller (the run-time error's message,
// else the newest trace entry's description) and its number; the trace is
// forgotten.
const wchar_t* HandledErrorText(uint32_t traceId, uint32_t* number = nullptr);

// The library's own class descriptors (the class library's are not in it).
const tav::RScopeClassDescriptor* const* UnitTable();
int InitializeUnit();

}  // namespace rizediveva6
