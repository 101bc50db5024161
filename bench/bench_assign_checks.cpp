// The assignment gate's checks, assign_person(test_ass_only), on random
// candidates (duty, doctor) of a generated 52-week, 60-doctor roster with
// 30 % of its duties offered through the gate, against a plain C++ model of
// the same checks (already assigned, busy, weekly ties, can't-do rules)
// over standard containers and ordinal keys, in the same run.  Prints checks
// per second for each side, the ratio (goal 0.5x or better) and how many
// answers the two sides disagree on.
#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "bench_util.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/ties.h"
#include "phase1/sc_phase1.h"
#include "roster_bench.h"
#include "roster_generator.h"
#include "rulesPack/sc_rules.h"

using namespace all;
namespace K = Qel::RunTime::Kernel;
namespace rz = rizediveva6;

namespace {

struct Key {
  uint32_t period, slot, day, task, where;
  auto operator<=>(const Key&) const = default;
  bool SamePattern(const Key& o) const { return slot == o.slot && day == o.day && task == o.task && where == o.where; }
};

bool ParseKey(const wchar_t* text, Key* k) {
  unsigned p, s, d, t, w;
  if (swscanf(text, L"[%u,%u,%u,%u,%u]", &p, &s, &d, &t, &w) != 5 || p <= 100 || s <= 10 || d <= 10) return false;
  *k = Key{p - 100, s - 10, d - 10, t, w};
  return true;
}

struct Doctor {
  std::wstring name;
  std::vector<std::wstring> groups;
};
struct Tie {
  uint64_t who;
  std::wstring name;
  Key first, second;
  uint64_t tieDo;
};
struct Rule {
  bool group;
  std::wstring name;
  rule_kind kind;
  uint32_t number;
  Key duty;  // r_dtbd
};

// The plain model: everything copied out of the document once.
struct Model {
  std::map<chain_ref, Doctor> doctors;
  std::map<Key, chain_ref> held;
  std::set<std::tuple<chain_ref, uint32_t, uint32_t, uint32_t>> busy;
  std::vector<Tie> ties;  // weekly only
  std::vector<Rule> rules;  // in force and can't-do only, chain order

  bool Applies(const Tie& t, const Doctor& d) const {
    if (t.who == 1) return true;
    if (t.who == 3) return t.name == d.name;
    return std::find(d.groups.begin(), d.groups.end(), t.name) != d.groups.end();
  }
  bool Forbids(const Rule& r, const Key& k) const {
    switch (r.kind) {
      case rule_kind::r_slot: return r.number == k.slot;
      case rule_kind::r_day: return r.number == k.day;
      case rule_kind::r_period: return r.number == k.period;
      case rule_kind::r_where: return r.number == k.where;
      case rule_kind::r_what: return r.number == k.task;
      case rule_kind::r_dtbd: return r.duty == k;
    }
    return false;
  }
  // True: the gate would let the doctor take the duty.
  bool Allows(const Key& k, chain_ref doctor) const {
    if (held.count(k) || busy.count({doctor, k.period, k.slot, k.day})) return false;
    const Doctor& d = doctors.at(doctor);
    for (const Tie& t : ties) {
      if (!Applies(t, d)) continue;
      const int64_t shift = int64_t(t.second.period) - int64_t(t.first.period);
      auto blocks = [&](Key other, int64_t period) {
        if (period < 1) return false;
        other.period = uint32_t(period);
        auto o = held.find(other);
        if (o == held.end()) return false;
        return t.tieDo == 1 ? o->second != doctor : o->second == doctor;
      };
      if (k.SamePattern(t.first) && blocks(t.second, int64_t(k.period) + shift)) return false;
      if (k.SamePattern(t.second) && blocks(t.first, int64_t(k.period) - shift)) return false;
    }
    for (const Rule& r : rules)
      if (!r.group && r.name == d.name && Forbids(r, k)) return false;
    for (const std::wstring& g : d.groups)
      for (const Rule& r : rules)
        if (r.group && r.name == g && Forbids(r, k)) return false;
    return true;
  }
};

void ReadModel(Model* m) {
  staff_db::nd_person([&](const PersonTerm* p) {
    Doctor d{p->dat->name, {}};
    for (const rz::SList* g = rz::AsSList(p->dat->groups); !g->Empty(); g = g->tail) d.groups.push_back(g->head);
    m->doctors[p->ref] = d;
    K::Fail();
  });
  sc_assign::nd_assignments([&](rz::KeyRef e) {
    Key k;
    if (ParseKey(e.key, &k)) {
      m->held[k] = e.ref;
      m->busy.insert({e.ref, k.period, k.slot, k.day});
    }
    K::Fail();
  });
  for (const rz::List<const TieDomTerm*>* l = ties::all_ties(); !l->Empty(); l = l->tail) {
    const tie_value v = TieValueOf(l->head->dat);
    Tie t{static_cast<uint64_t>(v.who), v.name ? v.name : L"", {}, {}, static_cast<uint64_t>(v.tieDo)};
    if (v.repeat == repeat_kind::repeat_week && ParseKey(v.first, &t.first) && ParseKey(v.second, &t.second))
      m->ties.push_back(t);
  }
  sc_rules::nd_which_rule([&](stored_rule s) {
    const RuleTerm* r = s.rule->rule;
    if (r->inForce->functor == 2 && r->canDo->functor == static_cast<uint64_t>(can_do_kind::i_cant_do)) {
      Rule rule{s.rule->Kind() == who_kind::group_rule, s.rule->name, r->type->Kind(), 0, {}};
      if (rule.kind == rule_kind::r_dtbd) {
        const DutyTerm* duty;
        if (!sc_phase1::get_duty_by_key(r->type->key, &duty)) K::Fail();  // names no duty: forbids nothing
        ParseKey(r->type->key, &rule.duty);
      } else {
        rule.number = r->type->number;
      }
      m->rules.push_back(rule);
    }
    K::Fail();
  });
}

struct Candidate {
  std::wstring text;
  Key key;
  chain_ref doctor;
};

void Measure(const std::wstring& dir) {
  const std::wstring path = dir + L"bench-assign.km6";
  rz::document* doc = rosterbench::NewDocument(path);
  alltest::RosterSpec spec;
  alltest::GeneratedRun run;
  alltest::GeneratedSpecNamed(L"gen7w52p30", &spec, &run);
  alltest::WriteSpec(spec);
  const uint32_t taken = alltest::PreAssign(run);

  static Model model;
  ReadModel(&model);
  static std::vector<std::wstring> keys;
  sc_phase1::nd_duty_ref([&](dated_duty e) {
    keys.push_back(sc_phase1::get_dtbd_key(DutyDatOf(e.duty->dat)).text);
    K::Fail();
  });
  std::vector<chain_ref> doctors;
  for (const auto& [ref, d] : model.doctors) doctors.push_back(ref);
  static std::vector<Candidate> candidates;
  std::mt19937 rng(42);
  for (int i = 0; i < 20000; ++i) {
    Candidate c{keys[rng() % keys.size()], {}, doctors[rng() % doctors.size()]};
    ParseKey(c.text.c_str(), &c.key);
    candidates.push_back(c);
  }

  static std::vector<bool> gate(candidates.size()), plain(candidates.size());
  double best[2] = {1e30, 1e30};
  for (int r = 0; r < 3; ++r) {
    uint8_t* mark = K::Memory::MarkGStack();
    double start = bench::Now();
    for (size_t i = 0; i < candidates.size(); ++i)
      gate[i] = sc_assign::assign_person(test_ass::test_ass_only, candidates[i].text.c_str(), candidates[i].doctor)
                    ->Kind() == reason_kind::can_do_it;
    best[0] = std::min(best[0], bench::Now() - start);
    K::Memory::ReleaseGStack(mark);
    start = bench::Now();
    for (size_t i = 0; i < candidates.size(); ++i) plain[i] = model.Allows(candidates[i].key, candidates[i].doctor);
    best[1] = std::min(best[1], bench::Now() - start);
  }
  size_t allowed = 0, differ = 0;
  for (size_t i = 0; i < candidates.size(); ++i) {
    allowed += gate[i];
    differ += gate[i] != plain[i];
  }
  const double ours = candidates.size() / best[0], theirs = candidates.size() / std::max(best[1], 1e-9);
  printf("52 weeks, %zu duties, %u taken, %zu doctors, %zu weekly ties, %zu forbidding rules\n", keys.size(), taken,
         doctors.size(), model.ties.size(), model.rules.size());
  printf("  %zu candidates, %zu allowed by the gate, %zu answers differ\n", candidates.size(), allowed, differ);
  const double ratio = ours / theirs;
  printf("  gate %12.0f checks/s   plain model %12.0f checks/s   %6.3fx (goal >= 0.5)%s\n", ours, theirs, ratio,
         ratio >= 0.5 ? "" : "  below goal");
  rosterbench::DropDocument(doc, path);
}

}  // namespace

int main() { return rosterbench::Main(Measure); }
