// Terms of the shared record types on the global stack; every ranged field
// passes the runtime's range check before the term exists.
#include "kalmoradb/roster_types.h"

#include "unit.h"

namespace all {

using rizediveva6::CheckRange;
namespace rz = rizediveva6::domains;

void CheckSp(const sp& s) {
  CheckRange(rz::day_no, s.day);
  CheckRange(domains::period_no, s.period);
  CheckRange(domains::slot_dom, s.slot);
}

const DtTerm* MakeDt(const dt& d) {
  rizediveva6::time_convert::CheckDate(d);
  return OnStack(DtTerm{1, d.year, d.month, d.day});
}

const SpTerm* MakeSp(const sp& s) {
  CheckSp(s);
  return OnStack(SpTerm{1, s.day, s.period, s.slot});
}

const SdTerm* MakeSd(const sd& s) {
  CheckRange(rz::day_no, s.day);
  CheckRange(domains::slot_dom, s.slot);
  return OnStack(SdTerm{1, s.day, s.slot});
}

const WeekendSdTerm* MakeWeekendSd(uint32_t slot, uint32_t day) {
  CheckRange(domains::slot_dom, slot);
  CheckRange(rz::day_no, day);
  return OnStack(WeekendSdTerm{1, slot, day});
}

const TlsTerm* MakeTls(const tls& t) {
  CheckRange(domains::task_dom, t.task);
  CheckRange(domains::where_dom, t.where);
  CheckRange(domains::slot_dom, t.slot);
  return OnStack(TlsTerm{1, t.task, t.where, t.slot});
}

const WhatStatTerm* MakeWhatStat(stat_kind kind, uint32_t a, uint32_t b) {
  switch (kind) {
    case stat_kind::day: CheckRange(rz::day_no, a); break;
    case stat_kind::slot: CheckRange(domains::slot_dom, a); break;
    case stat_kind::day_slot:
      CheckRange(rz::day_no, a);
      CheckRange(domains::slot_dom, b);
      break;
    default: break;
  }
  return OnStack(WhatStatTerm{static_cast<uint64_t>(kind), a, b});
}

}  // namespace all
