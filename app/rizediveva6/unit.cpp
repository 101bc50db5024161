// The library's static records.  Records are never const: linking writes
// their first words.  A class joins the library by adding its descriptor to
// `unit`.
#include "unit.h"

#include "qel6decl.h"

namespace rizediveva6 {
namespace decl = Qel::RunTime::Decl;
using namespace Qel::RunTime::Terms;
using Qel::RunTime::RScopeClassDescriptor;

namespace classes {
extern RScopeClassDescriptor time_convert, mytime;
}

namespace domains {
RIntegralDomain year = decl::Unsigned({L"year", QEL_HERE, nullptr, &classes::mytime}, 1950, 2050);
RIntegralDomain month = decl::Unsigned({L"month", QEL_HERE, &year.head, &classes::mytime}, 1, 12);
RIntegralDomain day = decl::Unsigned({L"day", QEL_HERE, &month.head, &classes::mytime}, 1, 31);
RIntegralDomain hour = decl::Unsigned({L"hour", QEL_HERE, &day.head, &classes::mytime}, 0, 23);
RIntegralDomain minute =
    decl::Unsigned({L"minute", QEL_HERE, &hour.head, &classes::mytime}, 0, 59);
RIntegralDomain day_no =
    decl::Unsigned({L"day_no", QEL_HERE, &minute.head, &classes::mytime}, 1, 7);
RIntegralDomain start_day_dom =
    decl::Unsigned({L"start_day_dom", QEL_HERE, &day_no.head, &classes::mytime}, 0, 1);
}  // namespace domains

namespace classes {
RScopeClassDescriptor time_convert = decl::Class(L"time_convert", QEL_HERE);
RScopeClassDescriptor mytime = decl::Class(L"mytime", QEL_HERE, &domains::start_day_dom.head);
decl::UnitTable unit{&time_convert, &mytime};
}  // namespace classes

void CheckRange(RIntegralDomain& domain, int64_t v) {
  if (v >= domain.low && v <= domain.high) return;  // the common case, without a call
  const auto* d = reinterpret_cast<const TIntegralDomainDefinition*>(&domain);
  if (v >= 0 && v <= UINT32_MAX) return Check_UU_Range(d, static_cast<uint32_t>(v));
  // Negative or beyond 32 bits: no unsigned domain holds it; the check of
  // the value (or of -1 when it has no 32-bit form) raises.
  Check_UI_Range(d, v < 0 && v >= INT32_MIN ? static_cast<int32_t>(v) : -1);
}

int InitializeUnit() {
  static int result = [] {
    int r = tav::InitializeUnit();
    if (r) return r;
    return Qel::RunTime::RunUnitInitialization(
        nullptr, reinterpret_cast<void*>(&InitializeUnit), classes::unit.Table(), nullptr);
  }();
  return result;
}

}  // namespace rizediveva6
