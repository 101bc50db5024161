// The excess-duty enumeration over a new totals object.
#include "kalmoradb/sc_adjust.h"

#include "kalmoradb/staff_db.h"

namespace all {

const tav::ClassInfo sc_adjust::classInfo{L"qel6pack/all/kalmoradb/sc_adjust", TAV_CLASS_VERSION};
totals* sc_adjust::xtotals = nullptr;
std::vector<adjust_pair> sc_adjust::ndb_adjust;

bool sc_adjust::nd_adjust_duties(const what_stat& kind, tav::Each<adjust_pair> k) {
  ndb_adjust.clear();  // pairs left by an enumeration that was stopped early
  xtotals = totals::new_();
  xtotals->calculate_total_to_be_done(kToBeDone, stat_type::pc_of_required, do_what_stat::do_weekend);
  xtotals->calculate_total_to_be_done(kToBeDone, stat_type::pc_of_required, do_what_stat::do_totals);
  staff_db::nd_person([&](const PersonTerm* p) {
    xtotals->calculate_total_to_be_done(are_assigned(p->ref), stat_type::pc_of_required, do_what_stat::do_weekend);
    const stat_row row = xtotals->get_stat_dom(p->ref, kind);
    if (row.second > row.first) ndb_adjust.push_back(adjust_pair{p->ref, row.second - row.first});
    tav::K::Fail();
  });
  while (!ndb_adjust.empty()) {
    const adjust_pair next = ndb_adjust.front();
    ndb_adjust.erase(ndb_adjust.begin());
    if (tav::TrySolution(k, next)) return true;
  }
  return false;
}

}  // namespace all
