// The ties over "tie_chain": adding with its two refusals, deleting, repair,
// other ends of weekly ties, the must-do walk and descriptions.
#include "kalmoradb/ties.h"

#include <cwchar>
#include <vector>

#include "SYSTEM/myKWI/myKWI.h"
#include "SYSTEM/timepack/mytime.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/locations.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/tasks.h"
#include "phase1/sc_phase1.h"
#include "unit.h"

namespace all {

using rizediveva6::List;
using rizediveva6::ListBuilder;
using rizediveva6::myKWI;
using rizediveva6::SList;

const tav::ClassInfo ties::classInfo{L"qel6pack/all/kalmoradb/ties", TAV_CLASS_VERSION};
namespace {
void DropMemo();
}  // namespace
store_state ties::state{L"ties", L"ties not initialised", DropMemo};
bool ties::xdb_active = true;
const SList* ties::xwalk = rizediveva6::Nil<const wchar_t*>();

namespace {

constexpr const wchar_t* kChain = L"tie_chain";
constexpr uint32_t kLastPeriod = 104;

const IDomainDefinition* TieDat() { return tav::D(domains::tie_dat); }
const IDomainDefinition* TieDom() { return tav::D(domains::tie_dom); }

template <class S>
S* HeapBlock() {
  return static_cast<S*>(tav::K::Memory::AllocHeap(sizeof(S)));
}

const tav::ConstantTerm* HeapConstant(uint64_t functor) {
  auto* c = HeapBlock<tav::ConstantTerm>();
  c->functor = functor;
  return c;
}

bool Named(const WhichTieTerm* w) { return w->functor != static_cast<uint64_t>(which_kind::global_tie); }

// A stored tie copied whole to the heap: it outlives the chain walk.
const TieDomTerm* HeapTie(const TieDomTerm* t) {
  const TieDatTerm* d = t->dat;
  auto* who = HeapBlock<WhichTieTerm>();
  who->functor = d->who->functor;
  who->name = Named(d->who) ? tav::HeapCopy(d->who->name) : nullptr;
  auto* from = HeapBlock<RpntTerm>();
  auto* to = HeapBlock<RpntTerm>();
  *from = *d->drawn->from;
  *to = *d->drawn->to;
  auto* drawn = HeapBlock<Rpnt2Term>();
  *drawn = Rpnt2Term{d->drawn->functor, from, to};
  auto* dat = HeapBlock<TieDatTerm>();
  *dat = TieDatTerm{d->functor, who, tav::HeapCopy(d->first), tav::HeapCopy(d->second), drawn,
                    HeapConstant(d->tieDo->functor), HeapConstant(d->repeat->functor), HeapConstant(d->spec->functor)};
  auto* tie = HeapBlock<TieDomTerm>();
  *tie = TieDomTerm{t->functor, t->ref, dat};
  return tie;
}

// The stored ties held in memory: read in one walk of the chain at the
// first read after a change, dropped before every write of the chain (this
// class, renumbering and anyone else through stored_changed) and at init
// and uninit.  The weekly ties with their ends' duties follow the duty
// index as well.
const List<stored_tie>* x_stored = nullptr;  // null: not read
const List<const TieDomTerm*>* x_all = nullptr;
std::vector<weekly_tie> x_weekly;
bool x_weekly_plain = false;
bool x_weekly_built = false;
uint64_t x_weekly_generation = 0;

void DropMemo() {
  x_stored = nullptr;
  x_all = nullptr;
  x_weekly.clear();
  x_weekly_built = false;
}

// Every stored tie in chain order, whatever the switch says.
const List<stored_tie>* AllStored() {
  if (x_stored) return x_stored;
  ListBuilder<stored_tie> out(true);
  ListBuilder<const TieDomTerm*> all(true);
  ties::state.db()->chain_terms(TieDom(), kChain, [&](tav::RefTerm rt) {
    const TieDomTerm* tie = HeapTie(reinterpret_cast<const TieDomTerm*>(rt.t));
    out.Add(stored_tie{tie, rt.ref});
    all.Add(tie);
    tav::K::Fail();
  });
  x_all = all.Finish();
  return x_stored = out.Finish();
}

bool Matches(const TieDatTerm* s, const TieDatTerm* t) {
  if (!SameWho(s->who, t->who)) return false;
  return (wcscmp(s->first, t->first) == 0 && wcscmp(s->second, t->second) == 0) ||
         (wcscmp(s->first, t->second) == 0 && wcscmp(s->second, t->first) == 0);
}

bool SameSlotPeriod(const TieDatTerm* t) {
  const DutyTerm *a, *b;
  return DutyOfKey(t->first, &a) && DutyOfKey(t->second, &b) && SpOf(a->dat->at) == SpOf(b->dat->at);
}

// The key of the duty with its period replaced by q.
const wchar_t* Moved(const DutyTerm* duty, uint32_t q) {
  duty_dat d = DutyDatOf(duty->dat);
  d.at.period = q;
  return tav::HeapCopy(sc_phase1::get_dtbd_key(d).text);
}

// Period p shifted by w, when it stays in 1..104.
bool Shifted(uint32_t p, int64_t w, uint32_t* q) {
  const int64_t s = static_cast<int64_t>(p) + w;
  if (s <= 0 || s > kLastPeriod) return false;
  *q = static_cast<uint32_t>(s);
  return true;
}

bool Contains(const SList* l, const wchar_t* key) {
  for (; !l->Empty(); l = l->tail)
    if (wcscmp(l->head, key) == 0) return true;
  return false;
}

// Texts joined with single blanks, on the global stack.
const wchar_t* Joined(std::initializer_list<const wchar_t*> parts) {
  size_t n = 1;
  for (const wchar_t* p : parts) n += wcslen(p) + 1;
  auto* out = static_cast<wchar_t*>(tav::GStackAlloc(n * sizeof(wchar_t)));
  out[0] = 0;
  for (const wchar_t* p : parts) {
    if (out[0]) wcscat(out, L" ");
    wcscat(out, p);
  }
  return out;
}

const wchar_t* Decimal(uint32_t n) {
  auto* out = static_cast<wchar_t*>(tav::GStackAlloc(16 * sizeof(wchar_t)));
  swprintf(out, 16, L"%u", n);
  return out;
}

// The text of one end; false when the key names no duty.
bool EndText(const wchar_t* key, repeat_kind repeat, spec_kind spec, const wchar_t** text) {
  const DutyTerm* duty;
  if (!DutyOfKey(key, &duty)) return false;
  const duty_dat d = DutyDatOf(duty->dat);
  const wchar_t* dayName;
  if (!rizediveva6::mytime::dayno_dayname(d.at.day, &dayName)) return false;
  const wchar_t* slotName = kalmora_DB::get_slot_name(d.at.slot);
  if (repeat == repeat_kind::no_repeat) {
    const wchar_t* date = rizediveva6::mytime::dt_str(kalmora_DB::sp_dt(d.at));
    *text = Joined({date, tasks::get_task_name(d.task), locations::get_where_name(d.where), dayName, slotName});
  } else if (spec == spec_kind::just_day) {
    *text = dayName;
  } else if (spec == spec_kind::just_week) {
    *text = Decimal(d.at.period);
  } else if (spec == spec_kind::just_slot_day) {
    *text = Joined({dayName, slotName});
  } else {
    *text = Joined({tasks::get_task_name(d.task), locations::get_where_name(d.where), dayName, slotName});
  }
  return true;
}

const wchar_t* RepeatText(repeat_kind r) {
  return r == repeat_kind::repeat_week ? L"Repeating weekly" : r == repeat_kind::repeat_day ? L"Repeating daily"
                                                                                            : L"This pair only";
}

const wchar_t* WhoText(const WhichTieTerm* w) {
  switch (static_cast<which_kind>(w->functor)) {
    case which_kind::group_tie: return Joined({L"Group", w->name});
    case which_kind::person_tie: return Joined({L"Doctor", w->name});
    default: return L"Global";
  }
}

// Deletes each tie nd_tie yields whose end (first or second) names no duty.
void RepairEnd(bool first) {
  ties::nd_tie([&](stored_tie s) {
    const DutyTerm* duty;
    if (!DutyOfKey(first ? s.tie->dat->first : s.tie->dat->second, &duty)) {
      kalmora_DB::set_as_mod();
      DropMemo();
      ties::state.db()->term_delete(kChain, s.ref);
    }
    tav::K::Fail();
  });
}

}  // namespace

bool SameWho(const WhichTieTerm* a, const WhichTieTerm* b) {
  if (a->functor != b->functor) return false;
  return !Named(a) || wcscmp(a->name, b->name) == 0;
}

bool DutyOfKey(const wchar_t* key, const DutyTerm** duty) {
  if (!sc_phase1::get_duty_by_key(key, duty)) return false;
  return wcscmp(sc_phase1::get_dtbd_key(DutyDatOf((*duty)->dat)).text, key) == 0;
}

const TieDatTerm* MakeTieDat(const tie_value& v) {
  const RpntTerm* zero = OnStack(RpntTerm{1, 0.0, 0.0});
  auto* who = static_cast<WhichTieTerm*>(tav::GStackAlloc(sizeof(WhichTieTerm)));
  *who = WhichTieTerm{static_cast<uint64_t>(v.who), v.who == which_kind::global_tie ? nullptr : v.name};
  return OnStack(TieDatTerm{1, who, v.first, v.second, OnStack(Rpnt2Term{1, zero, zero}),
                            tav::Constant(static_cast<uint64_t>(v.tieDo)),
                            tav::Constant(static_cast<uint64_t>(v.repeat)),
                            tav::Constant(static_cast<uint64_t>(v.spec))});
}

tie_value TieValueOf(const TieDatTerm* t) {
  return tie_value{static_cast<which_kind>(t->who->functor), Named(t->who) ? t->who->name : nullptr, t->first,
                   t->second, static_cast<tie_kind>(t->tieDo->functor),
                   static_cast<repeat_kind>(t->repeat->functor), static_cast<spec_kind>(t->spec->functor)};
}

bool ties::nd_tie(tav::Each<stored_tie> k) {
  if (!xdb_active) return false;
  for (const List<stored_tie>* l = AllStored(); !l->Empty(); l = l->tail)
    if (tav::TrySolution(k, l->head)) return true;
  return false;
}

const List<const TieDomTerm*>* ties::all_ties() {
  if (!xdb_active) return rizediveva6::Nil<const TieDomTerm*>();
  AllStored();
  return x_all;
}

void ties::stored_changed() { DropMemo(); }

bool ties::weekly_ties(const weekly_tie** out, uint32_t* count) {
  if (x_weekly_built && x_weekly_generation != sc_phase1::generation()) x_weekly_built = false;
  if (!x_weekly_built) {
    x_weekly.clear();
    x_weekly_plain = true;
    for (const List<stored_tie>* l = AllStored(); !l->Empty(); l = l->tail) {
      const TieDatTerm* t = l->head.tie->dat;
      if (t->repeat->functor != static_cast<uint64_t>(repeat_kind::repeat_week)) continue;
      const DutyTerm *first, *second;
      if (!DutyOfKey(t->first, &first) || !DutyOfKey(t->second, &second)) continue;
      weekly_tie w{l->head.tie, DutyDatOf(first->dat), DutyDatOf(second->dat)};
      duty_dat parsed;
      if (!sc_phase1::parse_key(t->first, &parsed) || !sc_phase1::parse_key(t->second, &parsed)) x_weekly_plain = false;
      x_weekly.push_back(w);
    }
    x_weekly_generation = sc_phase1::generation();
    x_weekly_built = true;
  }
  static const weekly_tie* none = nullptr;
  *out = xdb_active && !x_weekly.empty() ? x_weekly.data() : none;
  *count = xdb_active ? static_cast<uint32_t>(x_weekly.size()) : 0;
  return x_weekly_plain;
}

bool ties::nd_tie_for_drawing(tav::Each<const TieDomTerm*> k) {
  for (const List<stored_tie>* l = AllStored(); !l->Empty(); l = l->tail)
    if (tav::TrySolution(k, l->head.tie)) return true;
  return false;
}

void ties::toggle_activate() {
  state.is_initialised();
  xdb_active = !xdb_active;
}

bool ties::ties_active() { return xdb_active; }

void ties::add_tie2(const TieDatTerm* t) {
  state.is_initialised();
  if (SameSlotPeriod(t)) {
    myKWI::note(L"There is no need to tie duties in the same day and slot");
    return;
  }
  for (const List<stored_tie>* l = AllStored(); !l->Empty(); l = l->tail)
    if (Matches(l->head.tie->dat, t)) {
      myKWI::note(L"This tie is already defined");
      return;
    }
  kalmora_DB::set_as_mod();
  int32_t ref;
  DropMemo();
  state.db()->chain_insertz(TieDat(), kChain, reinterpret_cast<T::term>(t), &ref);
  const TieDomTerm* stored = OnStack(TieDomTerm{1, ref, t});
  state.db()->term_replace(TieDom(), ref, reinterpret_cast<T::term>(stored));
  sc_assign::fix_after_add_tie(stored);
}

void ties::del_tie(chain_ref ref) {
  kalmora_DB::set_as_mod();
  DropMemo();
  state.db()->term_delete(kChain, ref);
}

void ties::del_all() {
  kalmora_DB::set_as_mod();
  DropMemo();
  state.db()->chain_delete(kChain);
}

void ties::del_all(const WhichTieTerm* who) {
  kalmora_DB::set_as_mod();
  nd_tie([&](stored_tie s) {
    if (SameWho(s.tie->dat->who, who)) {
      DropMemo();
      state.db()->term_delete(kChain, s.ref);
    }
    tav::K::Fail();
  });
}

void ties::repair() {
  RepairEnd(true);
  RepairEnd(false);
}

bool ties::nd_tie_other_end_key(const wchar_t* key, const TieDomTerm* tie, uint32_t period,
                                tav::Each<const wchar_t*> k) {
  const TieDatTerm* t = tie->dat;
  if (t->repeat->functor != static_cast<uint64_t>(repeat_kind::repeat_week)) return false;
  const DutyTerm *first, *second;
  if (!DutyOfKey(t->first, &first) || !DutyOfKey(t->second, &second)) return false;
  const int64_t w = static_cast<int64_t>(second->dat->at->period) - first->dat->at->period;
  uint32_t q;
  if (wcscmp(Moved(first, period), key) == 0 && Shifted(period, w, &q) && tav::TrySolution(k, Moved(second, q)))
    return true;
  return wcscmp(Moved(second, period), key) == 0 && Shifted(period, -w, &q) && tav::TrySolution(k, Moved(first, q));
}

const SList* ties::must_do_walk(const wchar_t* key) {
  ListBuilder<const wchar_t*> start(true);
  start.Add(tav::HeapCopy(key));
  xwalk = start.Finish();
  for (int pass = 0; pass < 10; ++pass) {
    for (const SList* m = xwalk; !m->Empty(); m = m->tail) {
      const DutyTerm* duty;
      if (!DutyOfKey(m->head, &duty)) continue;
      const uint32_t period = duty->dat->at->period;
      nd_tie([&](stored_tie s) {
        if (s.tie->dat->tieDo->functor != static_cast<uint64_t>(tie_kind::must_do)) tav::K::Fail();
        nd_tie_other_end_key(m->head, s.tie, period, [&](const wchar_t* other) {
          if (!Contains(xwalk, other)) {
            auto* cell = static_cast<List<const wchar_t*>*>(tav::K::Memory::AllocHeap(sizeof(List<const wchar_t*>)));
            *cell = List<const wchar_t*>{1, other, xwalk};
            xwalk = cell;
          }
          tav::K::Fail();
        });
        tav::K::Fail();
      });
    }
  }
  return xwalk;
}

const SList* ties::tie_desc(const TieDatTerm* t) {
  const tie_value v = TieValueOf(t);
  const wchar_t *first, *second;
  if (!EndText(v.first, v.repeat, v.spec, &first) || !EndText(v.second, v.repeat, v.spec, &second))
    return rizediveva6::MakeList<const wchar_t*>({L"?", L"?", L"?", L"?", L"?", L"?", L"?"});
  return rizediveva6::MakeList<const wchar_t*>(
      {RepeatText(v.repeat), first, second, v.tieDo == tie_kind::must_do ? L"same doctor" : L"different doctor",
       WhoText(t->who)});
}

tlsd ties::dtbd_tlsd(const duty_dat& d) { return tlsd{tls{d.task, d.where, d.at.slot}, d.at.day}; }

duty_dat ties::tlsd_dtbd(const tlsd& t, uint32_t period) {
  return duty_dat{sp{t.day, period, t.duty.slot}, t.duty.where, t.duty.task, false};
}

}  // namespace all
