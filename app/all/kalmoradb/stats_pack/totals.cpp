// The shared store of counts and its calculations over the duty index and
// the assignments.
#include "kalmoradb/stats_pack/totals.h"

#include <new>
#include <vector>

#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/locations.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/sc_stat_weekend.h"
#include "kalmoradb/tasks.h"
#include "phase1/sc_phase1.h"
#include "unit.h"

namespace all {

using rizediveva6::KeyRef;
using rizediveva6::List;
using rizediveva6::ListBuilder;
namespace K = Qel::RunTime::Kernel;

const tav::ClassInfo totals::classInfo{L"qel6pack/all/kalmoradb/stats_pack/totals", TAV_CLASS_VERSION};

namespace {

// ndb_tot_to_be_done(whose, kind, family, count)
struct count_fact {
  whose who;
  what_stat kind;
  do_what_stat family;
  uint32_t count;
};
// Static storage: lives for the run, holds no collected pointers.
std::vector<count_fact> f_stat;

// The counts of one calculation, by kind (a family has at most 70 kinds).
struct tally {
  static constexpr uint32_t kMaxKinds = 128;
  what_stat kind[kMaxKinds];
  uint32_t count[kMaxKinds];
  uint32_t size = 0;
  void Add(const what_stat& k) {
    for (uint32_t i = 0; i < size; ++i)
      if (kind[i] == k) {
        ++count[i];
        return;
      }
    if (size == kMaxKinds) rizediveva6::RaiseRangeError();
    kind[size] = k;
    count[size++] = 1;
  }
};

// The kind of the family that a duty falls into.
what_stat KindOf(do_what_stat family, const DutyTerm* duty) {
  const sp at = SpOf(duty->dat->at);
  switch (family) {
    case do_what_stat::do_totals: return what_stat{stat_kind::total};
    case do_what_stat::do_days: return what_stat{stat_kind::day, at.day};
    case do_what_stat::do_weekend: return what_stat{stat_kind::weekend, sc_stat_weekend::sp_is_weekend(at)};
    case do_what_stat::do_slots: return what_stat{stat_kind::slot, at.slot};
    case do_what_stat::do_day_slots: return what_stat{stat_kind::day_slot, at.day, at.slot};
    case do_what_stat::do_tasks: return what_stat{stat_kind::task, duty->dat->task};
    case do_what_stat::do_wheres: return what_stat{stat_kind::where, duty->dat->where};
    case do_what_stat::do_holidays: return what_stat{stat_kind::holiday, sc_stat_weekend::sp_is_holiday(at)};
  }
  return what_stat{stat_kind::total};
}

// Counts the assigned duties, all or one doctor's; an assignment whose key
// finds no duty is skipped.
void CountAssigned(const whose& who, do_what_stat family, tally* t) {
  for (const List<KeyRef>* e = all_entries(sc_assign::tree()); !e->Empty(); e = e->tail) {
    if (who.assigned && e->head.ref != who.doctor) continue;
    const DutyTerm* duty;
    if (sc_phase1::get_duty_by_key(e->head.key, &duty)) t->Add(KindOf(family, duty));
  }
}

// Replaces the counts of (who, family) by the tally.
void Replace(const whose& who, do_what_stat family, const tally& t) {
  std::erase_if(f_stat, [&](const count_fact& f) { return f.who == who && f.family == family; });
  for (uint32_t i = 0; i < t.size; ++i) f_stat.push_back(count_fact{who, t.kind[i], family, t.count[i]});
}

}  // namespace

totals* totals::new_() { return new (K::Memory::AllocHeap(sizeof(totals))) totals(); }

void totals::calculate_total_to_be_done(const whose& who, stat_type how, do_what_stat family) {
  tally t;
  if (who.assigned || how == stat_type::pc_of_assigned) {
    CountAssigned(who, family, &t);
  } else {
    sc_phase1::nd_duty_ref([&](dated_duty e) {
      t.Add(KindOf(family, e.duty));
      K::Fail();
    });
  }
  Replace(who, family, t);
}

uint32_t totals::get_tot_to_be_done(const whose& who, const what_stat& kind) {
  for (const count_fact& f : f_stat)
    if (f.who == who && f.kind == kind) return f.count;
  return 0;
}

stat_row totals::get_stat_dom(chain_ref doctor, const what_stat& kind) {
  return stat_row{kind, get_tot_to_be_done(kToBeDone, kind), get_tot_to_be_done(are_assigned(doctor), kind)};
}

const List<stat_row>* totals::get_data(do_what_stat family, chain_ref doctor) {
  ListBuilder<stat_row> rows;
  auto row = [&](stat_kind kind, uint32_t a = 0, uint32_t b = 0) {
    rows.Add(get_stat_dom(doctor, what_stat{kind, a, b}));
  };
  auto numbered = [&](stat_kind kind, const rizediveva6::SList* names, bool checked) {
    uint32_t n = 0;
    for (const rizediveva6::SList* l = names; !l->Empty(); l = l->tail) {
      ++n;
      if (checked) rizediveva6::CheckRange(domains::slot_dom, n);
      row(kind, n);
    }
  };
  switch (family) {
    case do_what_stat::do_totals: row(stat_kind::total); break;
    case do_what_stat::do_days:
      for (uint32_t d = 1; d <= 7; ++d) row(stat_kind::day, d);
      break;
    case do_what_stat::do_weekend:
      row(stat_kind::weekend, 1);
      row(stat_kind::weekend, 0);
      break;
    case do_what_stat::do_slots: numbered(stat_kind::slot, kalmora_DB::get_list_slots(), true); break;
    case do_what_stat::do_day_slots:
      for (const List<const WhatStatTerm*>* l = kalmora_DB::list_day_slots(); !l->Empty(); l = l->tail)
        row(stat_kind::day_slot, l->head->a, l->head->b);
      break;
    case do_what_stat::do_tasks: numbered(stat_kind::task, tasks::list_tasks(), false); break;
    case do_what_stat::do_wheres: numbered(stat_kind::where, locations::list_locs(), false); break;
    case do_what_stat::do_holidays:
      row(stat_kind::holiday, 1);
      row(stat_kind::holiday, 0);
      break;
  }
  return rows.Finish();
}

}  // namespace all
