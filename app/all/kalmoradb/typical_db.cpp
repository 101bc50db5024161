// The typical week over its three day-kind chains.
#include "kalmoradb/typical_db.h"

#include <cwchar>

#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/locations.h"
#include "kalmoradb/tasks.h"
#include "phase1/sc_phase1.h"
#include "unit.h"

namespace all {

using rizediveva6::List;
using rizediveva6::ListBuilder;
using rizediveva6::SList;

const tav::ClassInfo typical_db::classInfo{L"qel6pack/all/kalmoradb/typical_db", TAV_CLASS_VERSION};
store_state typical_db::state{L"typical_db", L"typical_db not initialised"};

namespace {

struct DayChain {
  uint32_t day_kind;
  const wchar_t* chain;
};
// In the order every run over the day kinds takes.
constexpr DayChain kDays[] = {
    {kSaturday, L"saturday_chain"}, {kSunday, L"sunday_chain"}, {kWeekday, L"weekday_chain"}};

const IDomainDefinition* Tls() { return tav::D(domains::tls); }

bool Contains(const tls_list* l, const tls& t) {
  for (; !l->Empty(); l = l->tail)
    if (l->head == t) return true;
  return false;
}

}  // namespace

bool typical_db::idc_lbox_chain(uint32_t dayKind, const wchar_t** chain) {
  for (const DayChain& d : kDays)
    if (d.day_kind == dayKind) {
      *chain = d.chain;
      return true;
    }
  return false;
}

bool typical_db::nd_idc_lbox_chain(tav::Each<std::pair<uint32_t, const wchar_t*>> k) {
  for (const DayChain& d : kDays)
    if (tav::TrySolution(k, std::pair<uint32_t, const wchar_t*>{d.day_kind, d.chain})) return true;
  return false;
}

uint32_t typical_db::dayname_chain(const wchar_t* dayName, const wchar_t** chain) {
  const uint32_t kind = wcscmp(dayName, L"Sunday") == 0     ? kSunday
                        : wcscmp(dayName, L"Saturday") == 0 ? kSaturday
                                                            : kWeekday;
  idc_lbox_chain(kind, chain);
  return kind;
}

void typical_db::add_tls(uint32_t dayKind, const tls_list* duties) {
  kalmora_DB::set_as_mod();
  sc_phase1::must_regenerate(L"typical db");
  const wchar_t* chain;
  if (!idc_lbox_chain(dayKind, &chain)) return;
  // Every term is built (and range-checked) before the old list goes.
  ListBuilder<tls> unique;
  ListBuilder<const TlsTerm*> terms;
  for (const tls_list* l = duties; !l->Empty(); l = l->tail) {
    if (Contains(unique.Finish(), l->head)) continue;  // a repeated duty is stored once
    unique.Add(l->head);
    terms.Add(MakeTls(l->head));
  }
  tav::chainDB* db = state.db();
  rizediveva6::TrapAndForget([&] { db->chain_delete(chain); });
  for (const List<const TlsTerm*>* t = terms.Finish(); !t->Empty(); t = t->tail) {
    int32_t ref;
    db->chain_insertz(Tls(), chain, reinterpret_cast<T::term>(t->head), &ref);
  }
}

bool typical_db::is_in_db(uint32_t dayKind, const tls& duty) {
  const wchar_t* chain;
  if (!idc_lbox_chain(dayKind, &chain)) return false;
  return state.db()->chain_terms(Tls(), chain, [&](tav::RefTerm rt) {
    if (!(TlsOf(reinterpret_cast<const TlsTerm*>(rt.t)) == duty)) tav::K::Fail();
  });
}

bool typical_db::nd_tls(tav::Each<day_tls> k) {
  tav::chainDB* db = state.db();
  for (const DayChain& d : kDays)
    if (db->chain_terms(Tls(), d.chain, [&](tav::RefTerm rt) {
          k(day_tls{d.day_kind, TlsOf(reinterpret_cast<const TlsTerm*>(rt.t))});
        }))
      return true;
  return false;
}

bool typical_db::one_exists() {
  return nd_tls([](day_tls) {});
}

uint32_t typical_db::how_may_in_slot(uint32_t dayKind, uint32_t slot) {
  volatile uint32_t count = 0;
  nd_tls([&](day_tls d) {
    if (d.day_kind == dayKind && d.duty.slot == slot) count = count + 1;
    tav::K::Fail();
  });
  return count;
}

const tls_list* typical_db::full_list() {
  const SList* taskNames = tasks::list_tasks();
  const SList* whereNames = locations::list_locs();
  const SList* slotNames = kalmora_DB::get_list_slots();
  if (taskNames->Empty() || whereNames->Empty() || slotNames->Empty()) return rizediveva6::Nil<tls>();
  // Each name's number looked up once.
  auto numbers = [](const SList* names, uint32_t (*lookup)(const wchar_t*)) {
    ListBuilder<uint32_t> out;
    for (; !names->Empty(); names = names->tail) out.Add(lookup(names->head));
    return out.Finish();
  };
  const List<uint32_t>* whereNumbers = numbers(whereNames, &locations::get_where_dom);
  const List<uint32_t>* slotNumbers = numbers(slotNames, &kalmora_DB::get_slot_dom);
  const List<uint32_t>* taskNumbers = numbers(taskNames, &tasks::get_task_dom);
  ListBuilder<tls> out;
  for (const List<uint32_t>* w = whereNumbers; !w->Empty(); w = w->tail)
    for (const List<uint32_t>* s = slotNumbers; !s->Empty(); s = s->tail)
      for (const List<uint32_t>* t = taskNumbers; !t->Empty(); t = t->tail) out.Add(tls{t->head, w->head, s->head});
  return out.Finish();
}

const SList* typical_db::full_slist() {
  is_initialised();
  // Each number's name looked up once: a roster of 10 of each has 1,000 rows.
  struct named {
    uint32_t number;
    const wchar_t* name;
  };
  auto memo = [](ListBuilder<named>& seen, uint32_t number, const wchar_t* (*lookup)(uint32_t)) {
    for (const List<named>* l = seen.Finish(); !l->Empty(); l = l->tail)
      if (l->head.number == number) return l->head.name;
    const wchar_t* name = lookup(number);
    seen.Add(named{number, name});
    return name;
  };
  ListBuilder<named> taskNames, whereNames, slotNames;
  ListBuilder<const wchar_t*> out;
  for (const tls_list* l = full_list(); !l->Empty(); l = l->tail) {
    const tls& d = l->head;
    const SList* row = rizediveva6::MakeList<const wchar_t*>({memo(taskNames, d.task, &tasks::get_task_name),
                                                              memo(whereNames, d.where, &locations::get_where_name),
                                                              memo(slotNames, d.slot, &kalmora_DB::get_slot_name)});
    out.Add(T::ToString(tav::D(tav::domains::string_list), reinterpret_cast<T::term>(rizediveva6::AsStringList(row))));
  }
  return out.Finish();
}

bool typical_db::nd_full_list(tav::Each<const wchar_t*> k) {
  return rizediveva6::orv_list::nd_member(full_slist(), k);
}

tls typical_db::slist_tls(const SList* row) {
  const wchar_t* names[3];
  int n = 0;
  for (const SList* l = row; !l->Empty(); l = l->tail, ++n)
    if (n < 3) names[n] = l->head;
  if (n != 3) return tls{1, 1, 1};
  return tls{tasks::get_task_dom(names[0]), locations::get_where_dom(names[1]),
             kalmora_DB::get_slot_dom(names[2])};
}

const SList* typical_db::tls_slist(const tls& duty) {
  return rizediveva6::MakeList<const wchar_t*>({tasks::get_task_name(duty.task),
                                                locations::get_where_name(duty.where),
                                                kalmora_DB::get_slot_name(duty.slot)});
}

}  // namespace all
