// totals: counts of duties per statistic kind, for the roster (the base
// count) and for one doctor's or practice's assigned duties, and the counts
// each doctor should do by the loadings (compared counts), in one store that
// every totals object shares for the whole run.
//
// Invariants:
//  - At most one count per (whose, kind); a calculation of (whose, family)
//    replaces every count of that whose and family and no other.
//  - Each kind belongs to one family; counting only ever adds 1.
//  - Compared counts keep the order they were made in; only a compare
//    calculation makes them, every other recount but the assigned base
//    count drops them all.
//  - A reading never fails for lack of counts: 0, or a row of zeros.
#pragma once

#include "SYSTEM/orv_list/orv_list.h"
#include "kalmoradb/roster_types.h"

namespace all {

// Families of statistic kinds, in their declared order.
enum class do_what_stat : uint8_t {
  do_totals = 1, do_days, do_weekend, do_slots, do_day_slots, do_tasks, do_wheres, do_holidays,
};
// How a calculation takes its base.
enum class stat_type : uint8_t { pc_of_assigned = 1, pc_of_required, compare };

// p(doctor) or g(group): the subject of a row.  A group name is the
// caller's text; names compare exactly.
struct pg {
  chain_ref doctor = 0;
  const wchar_t* group = nullptr;  // null: a doctor
  pg(chain_ref d) : doctor(d) {}  // NOLINT: p(ref) reads as a reference
  static pg g(const wchar_t* name) {
    pg out(0);
    out.group = name;
    return out;
  }
  bool operator==(const pg& o) const;
};

// to_be_done: every duty of the roster; are_assigned(pg): the duties
// assigned to one doctor or practice.
struct whose {
  bool assigned;
  pg who;
  bool operator==(const whose& o) const { return assigned == o.assigned && (!assigned || who == o.who); }
};
inline const whose kToBeDone{false, pg(0)};
inline whose are_assigned(const pg& who) { return whose{true, who}; }

// what_stat as a plain value: total, day(a), weekend(a), slot(a),
// day_slot(a, b), task(a), where(a), holiday(a).
struct what_stat {
  stat_kind kind;
  uint32_t a = 0, b = 0;
  bool operator==(const what_stat& o) const = default;
};

// stat_dom(kind, first, second)
struct stat_row {
  what_stat kind;
  uint32_t first, second;
};

class totals {
 public:
  static const tav::ClassInfo classInfo;

  static totals* new_();
  // Recounts the duties of `who` for one family; a compare of a doctor or
  // practice also makes the compared counts (a rounded count outside the
  // unsigned range: 302, the counts made before it stay).
  virtual void calculate_total_to_be_done(const whose& who, stat_type how, do_what_stat family);
  // The count of (who, kind); 0 when there is none.
  virtual uint32_t get_tot_to_be_done(const whose& who, const what_stat& kind);
  // The rows of a family for one doctor or practice (on the global stack);
  // more than ten slot names: 302 at the eleventh.
  virtual const rizediveva6::List<stat_row>* get_data(do_what_stat family, const pg& who);
  // Without compared counts the base count and the assigned count of one
  // kind; with them the compared count and the assigned count, or zeros.
  virtual stat_row get_stat_dom(const pg& who, const what_stat& kind);
};

}  // namespace all
