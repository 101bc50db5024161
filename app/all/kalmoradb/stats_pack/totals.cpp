// The shared store of counts and its calculations over the duty index and
// the assignments.
#include "kalmoradb/stats_pack/totals.h"

#include <cmath>
#include <cwchar>
#include <new>
#include <string>
#include <vector>

#include "qel6run_lib.h"

#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/load_db.h"
#include "kalmoradb/staff_db.h"
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

// A pg held by the store: the group name copied.
struct held_pg {
  chain_ref doctor;
  bool isGroup;
  std::wstring group;
  bool Is(const pg& p) const { return p.group ? isGroup && group == p.group : !isGroup && doctor == p.doctor; }
};
held_pg Hold(const pg& p) { return held_pg{p.doctor, p.group != nullptr, p.group ? p.group : L""}; }

// ndb_tot_to_be_done(whose, kind, family, count)
struct count_fact {
  bool assigned;
  held_pg who;
  what_stat kind;
  do_what_stat family;
  uint32_t count;
  bool Of(const whose& w) const { return assigned == w.assigned && (!assigned || who.Is(w.who)); }
};
// ndb_tot_compared(total, p(doctor), count), in the order made.
struct compared_fact {
  what_stat kind;
  chain_ref doctor;
  uint32_t count;
};
// Static storage: lives for the run, holds no collected pointers.
std::vector<count_fact> f_stat;
std::vector<compared_fact> f_compared;

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

void CountEntries(const List<KeyRef>* entries, do_what_stat family, tally* t) {
  for (const List<KeyRef>* e = entries; !e->Empty(); e = e->tail) {
    const DutyTerm* duty;
    if (sc_phase1::get_duty_by_key(e->head.key, &duty)) t->Add(KindOf(family, duty));
  }
}

// The only group of a doctor is the practice.
bool OnlyGroup(const PersonTerm* p, const wchar_t* group) {
  const rizediveva6::SList* groups = rizediveva6::AsSList(p->dat->groups);
  return !groups->Empty() && groups->tail->Empty() && wcscmp(groups->head, group) == 0;
}

// Counts the assigned duties, all, one doctor's or one practice's (those of
// the doctors whose only group it is), through the assignments' index; an
// assignment whose key finds no duty is skipped.
void CountAssigned(const whose& who, do_what_stat family, tally* t) {
  if (!who.assigned) return CountEntries(all_entries(sc_assign::tree()), family, t);
  if (!who.who.group) return CountEntries(sc_assign::entries_of(who.who.doctor), family, t);
  staff_db::nd_person([&](const PersonTerm* p) {
    if (OnlyGroup(p, who.who.group)) CountEntries(sc_assign::entries_of(p->ref), family, t);
    K::Fail();
  });
}

// Replaces the counts of (who, family) by the tally.
void Replace(const whose& who, do_what_stat family, const tally& t) {
  std::erase_if(f_stat, [&](const count_fact& f) { return f.Of(who) && f.family == family; });
  for (uint32_t i = 0; i < t.size; ++i)
    f_stat.push_back(count_fact{who.assigned, Hold(who.who), t.kind[i], family, t.count[i]});
}

void CountRequired(do_what_stat family) {
  tally t;
  sc_phase1::nd_duty_ref([&](dated_duty e) {
    t.Add(KindOf(family, e.duty));
    K::Fail();
  });
  Replace(kToBeDone, family, t);
}

void CountAssignedOf(const whose& who, do_what_stat family) {
  tally t;
  CountAssigned(who, family, &t);
  Replace(who, family, t);
}

// The first count of (who, kind); false when there is none.
bool FirstCount(const whose& who, const what_stat& kind, uint32_t* count) {
  for (const count_fact& f : f_stat)
    if (f.Of(who) && f.kind == kind) {
      *count = f.count;
      return true;
    }
  return false;
}

// A doctor's total loading, gathered before any compared count is made:
// the loadings derived from the weekend shares recount the weekend family
// on their way, which drops every compared count.
struct total_share {
  chain_ref doctor;
  double fraction;
};
std::vector<total_share> x_shares;  // static: a raise never skips its destructor

// Each doctor's total loading times the roster's total, rounded half up;
// only the totals family has a total.
void Compare(do_what_stat family) {
  uint32_t total;
  if (family != do_what_stat::do_totals || !FirstCount(kToBeDone, what_stat{stat_kind::total}, &total)) return;
  x_shares.clear();
  load_db::nd_load([&](const LoadingTerm* l) {
    const PersonTerm* p;
    if (l->functor == 1 && l->kind->Kind() == stat_kind::total && staff_db::get_person(l->name, &p))
      x_shares.push_back(total_share{p->ref, l->fraction});
    K::Fail();
  });
  for (const total_share& s : x_shares) {
    const uint32_t count = QelMath::PFP_RealULong(std::floor(s.fraction * double(total) + 0.5));
    f_compared.push_back(compared_fact{what_stat{stat_kind::total}, s.doctor, count});
  }
}

}  // namespace

totals* totals::new_() { return new (K::Memory::AllocHeap(sizeof(totals))) totals(); }

bool pg::operator==(const pg& o) const {
  if (!group || !o.group) return !group && !o.group && doctor == o.doctor;
  return wcscmp(group, o.group) == 0;
}

void totals::calculate_total_to_be_done(const whose& who, stat_type how, do_what_stat family) {
  if (how == stat_type::compare) {
    if (!who.assigned) return;
    calculate_total_to_be_done(kToBeDone, stat_type::pc_of_required, family);
    calculate_total_to_be_done(who, stat_type::pc_of_assigned, family);
    Compare(family);
    return;
  }
  if (!who.assigned && how == stat_type::pc_of_assigned) return CountAssignedOf(kToBeDone, family);
  f_compared.clear();
  if (who.assigned) return CountAssignedOf(who, family);
  CountRequired(family);
}

uint32_t totals::get_tot_to_be_done(const whose& who, const what_stat& kind) {
  uint32_t count = 0;
  FirstCount(who, kind, &count);
  return count;
}

stat_row totals::get_stat_dom(const pg& who, const what_stat& kind) {
  const uint32_t assigned = get_tot_to_be_done(are_assigned(who), kind);
  if (f_compared.empty()) return stat_row{kind, get_tot_to_be_done(kToBeDone, kind), assigned};
  for (const compared_fact& c : f_compared)
    if (c.kind == kind && !who.group && c.doctor == who.doctor) return stat_row{kind, c.count, assigned};
  return stat_row{kind, 0, 0};
}

const List<stat_row>* totals::get_data(do_what_stat family, const pg& who) {
  ListBuilder<stat_row> rows;
  auto row = [&](stat_kind kind, uint32_t a = 0, uint32_t b = 0) {
    rows.Add(get_stat_dom(who, what_stat{kind, a, b}));
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
