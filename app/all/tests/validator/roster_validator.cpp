// The roster validator over the raw chains and trees of a document.
//
// Invariants:
//  - Every record is copied out of the database into plain containers
//    before it is judged; nothing collected is kept in them.
//  - A duty key names a duty only when the key tree of the duty index holds
//    it; a doctor reference names a doctor only when the doctor chain holds
//    a record under it that is not marked deleted.
#include "roster_validator.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <set>
#include <tuple>

#include "SYSTEM/mychaindb/bt.h"
#include "exception/exception.h"
#include "kalmoradb/roster_types.h"
#include "rulesPack/sc_rules.h"

namespace rostercheck {

namespace K = Qel::RunTime::Kernel;
using all::chain_ref;

namespace {

struct Key {
  uint32_t period = 0, slot = 0, day = 0, task = 0, where = 0;
  bool operator<(const Key& o) const {
    return std::tie(period, slot, day, task, where) < std::tie(o.period, o.slot, o.day, o.task, o.where);
  }
  bool operator==(const Key& o) const = default;
  // The same duty pattern (day, slot, task, location) in any week.
  bool SamePattern(const Key& o) const { return slot == o.slot && day == o.day && task == o.task && where == o.where; }
};

bool ParseKey(const std::wstring& text, Key* k) {
  unsigned p, s, d, t, w;
  wchar_t end;
  if (swscanf(text.c_str(), L"[%u,%u,%u,%u,%u%lc", &p, &s, &d, &t, &w, &end) != 6 || end != L']') return false;
  if (p <= 100 || s <= 10 || d <= 10) return false;
  *k = Key{p - 100, s - 10, d - 10, t, w};
  return true;
}

std::wstring KeyText(const Key& k) {
  wchar_t b[64];
  swprintf(b, 64, L"[%u,%u,%u,%u,%u]", k.period + 100, k.slot + 10, k.day + 10, k.task, k.where);
  return b;
}

struct Doctor {
  std::wstring name;
  std::vector<std::wstring> groups;
  bool deleted = false;
};

struct Tie {
  chain_ref ref;
  uint64_t who;  // 1 global, 2 group, 3 person
  std::wstring name;
  Key first, second;
  bool keysOk;
  uint64_t tieDo, repeat;  // must_do 1, must_not_do 2; repeat_week 1
};

// A can't-do rule that forbids something: in force and i_cant_do.
struct Rule {
  bool group;  // a group's rule, else a doctor's
  std::wstring name;
  uint64_t type;  // r_slot 1, r_day 2, r_period 3, r_where 4, r_what 5, r_dtbd 6
  uint32_t number;
  std::wstring key;
  bool Forbids(const Key& k) const {
    switch (type) {
      case 1: return number == k.slot;
      case 2: return number == k.day;
      case 3: return number == k.period;
      case 4: return number == k.where;
      case 5: return number == k.task;
      case 6: {
        Key at;
        return ParseKey(key, &at) && at == k;  // equal keys name equal duties
      }
    }
    return false;
  }
  std::wstring Text() const {
    static const wchar_t* const kinds[] = {L"?", L"slot", L"day", L"week", L"location", L"task", L"duty"};
    return std::wstring(group ? L"group " : L"person ") + name + L" " + kinds[type <= 6 ? type : 0] + L" " +
           (type == 6 ? key : std::to_wstring(number));
  }
};

struct Roster {
  std::map<chain_ref, Doctor> doctors;   // every record of the doctor chain
  std::set<Key> duties;                  // the duty index
  std::map<Key, uint32_t> category;      // duty -> 0 / 1
  std::vector<std::pair<std::wstring, chain_ref>> assignments, locks;  // raw keys
  std::vector<Tie> ties;
  std::vector<Rule> rules;  // in chain order, only those that forbid
  // Loadings: weekend category -> name -> fraction, doctors and groups.
  std::map<std::wstring, double> doctorShare[2], groupShare[2];
};

// The entries of a duty-key tree (no duplicate keys) in key order; none
// when the document has no such tree.
std::vector<std::pair<std::wstring, chain_ref>> TreeEntries(tav::chainDB* db, const wchar_t* name,
                                                            uint32_t keyLength) {
  std::vector<std::pair<std::wstring, chain_ref>> out;
  bool exists = false;
  db->db_btrees([&](const wchar_t* tree) {
    exists = exists || wcscmp(tree, name) == 0;
    K::Fail();
  });
  if (!exists) return out;  // a document that never held one
  rizediveva6::bt* t = rizediveva6::bt::new_(db, name, keyLength, 4, 0);
  int32_t first;
  if (t->kee_first(&first))
    t->nd_kee1([&](rizediveva6::KeyRef e) {
      out.emplace_back(e.key, e.ref);
      K::Fail();
    });
  return out;
}

void ReadDoctors(tav::chainDB* db, Roster* r) {
  db->chain_terms(tav::D(all::domains::person), L"people", [&](tav::RefTerm rt) {
    auto* p = reinterpret_cast<const all::PersonTerm*>(rt.t);
    Doctor d{p->dat->name, {}, p->dat->deleted->functor == all::kDeleted};
    for (const rizediveva6::SList* g = rizediveva6::AsSList(p->dat->groups); !g->Empty(); g = g->tail)
      d.groups.push_back(g->head);
    r->doctors[rt.ref] = d;
    K::Fail();
  });
}

void ReadDuties(tav::chainDB* db, Roster* r) {
  std::set<std::pair<uint32_t, uint32_t>> weekend;  // (slot, day)
  db->chain_terms(tav::D(all::domains::weekend_sd), L"weekend_Chain", [&](tav::RefTerm rt) {
    auto* e = reinterpret_cast<const all::WeekendSdTerm*>(rt.t);
    weekend.insert({e->slot, e->day});
    K::Fail();
  });
  for (const auto& [text, ref] : TreeEntries(db, L"phase1_bt", 20)) {
    Key k;
    if (!ParseKey(text, &k)) continue;
    r->duties.insert(k);
    r->category[k] = weekend.count({k.slot, k.day}) ? 1 : 0;
  }
}

bool ReadKey(const wchar_t* text, Key* k) { return text && ParseKey(text, k); }

void ReadTies(tav::chainDB* db, Roster* r) {
  db->chain_terms(tav::D(all::domains::tie_dom), L"tie_chain", [&](tav::RefTerm rt) {
    auto* t = reinterpret_cast<const all::TieDomTerm*>(rt.t);
    Tie tie{rt.ref, t->dat->who->functor, t->dat->who->functor == 1 ? L"" : t->dat->who->name, {}, {}, false,
            t->dat->tieDo->functor, t->dat->repeat->functor};
    tie.keysOk = ReadKey(t->dat->first, &tie.first) && ReadKey(t->dat->second, &tie.second);
    r->ties.push_back(tie);
    K::Fail();
  });
}

void ReadRules(tav::chainDB* db, Roster* r) {
  db->chain_terms(tav::D(all::domains::which_rule), L"rule_chain", [&](tav::RefTerm rt) {
    auto* w = reinterpret_cast<const all::WhichRuleTerm*>(rt.t);
    const all::RuleTerm* rule = w->rule;
    if (rule->inForce->functor == 2 && rule->canDo->functor == 1) {
      const uint64_t type = rule->type->functor;
      r->rules.push_back(Rule{w->functor == 1, w->name, type, type == 6 ? 0 : rule->type->number,
                              type == 6 && rule->type->key ? rule->type->key : L""});
    }
    K::Fail();
  });
}

void ReadLoadings(tav::chainDB* db, Roster* r) {
  db->chain_terms(tav::D(all::domains::loading), L"loading_chain", [&](tav::RefTerm rt) {
    auto* l = reinterpret_cast<const all::LoadingTerm*>(rt.t);
    if (l->kind->Kind() == all::stat_kind::weekend && l->kind->a <= 1)
      (l->functor == 1 ? r->doctorShare : r->groupShare)[l->kind->a][l->name] = l->fraction;
    K::Fail();
  });
}

Roster Read(tav::chainDB* db) {
  Roster r;
  ReadDoctors(db, &r);
  ReadDuties(db, &r);
  r.assignments = TreeEntries(db, L"assign_bt", 20);
  r.locks = TreeEntries(db, L"lock_bt", 20);
  ReadTies(db, &r);
  ReadRules(db, &r);
  ReadLoadings(db, &r);
  return r;
}

// --- judging ---------------------------------------------------------------------------------

class Judge_ {
 public:
  explicit Judge_(const Roster& r) : r_(r) {
    for (const auto& [text, ref] : r.assignments) {
      Key k;
      if (ParseKey(text, &k) && r.duties.count(k)) held_[k] = ref;
    }
  }

  std::wstring Name(chain_ref ref) const {
    auto it = r_.doctors.find(ref);
    return it != r_.doctors.end() && !it->second.deleted ? it->second.name : L"?doctor " + std::to_wstring(ref);
  }

  void Assignments(std::vector<std::wstring>* out) const {
    std::map<std::tuple<chain_ref, uint32_t, uint32_t, uint32_t>, std::vector<std::wstring>> busy;
    for (const auto& [text, ref] : r_.assignments) {
      Key k;
      if (!ParseKey(text, &k) || !r_.duties.count(k)) out->push_back(L"no duty " + text + L" " + Name(ref));
      auto d = r_.doctors.find(ref);
      if (d == r_.doctors.end() || d->second.deleted) out->push_back(L"no doctor " + text + L" " + Name(ref));
      else if (ParseKey(text, &k)) busy[{ref, k.period, k.slot, k.day}].push_back(text);
    }
    for (const auto& [at, keys] : busy)
      if (keys.size() > 1) {
        std::wstring line = L"twice " + Name(std::get<0>(at));
        for (const std::wstring& k : keys) line += L" " + k;
        out->push_back(line);
      }
  }

  // The first rule that forbids the duty to the doctor: the doctor's own
  // (exact name), then those of the doctor's groups in the doctor's order.
  const Rule* Forbidding(const Key& k, chain_ref doctor) const {
    auto d = r_.doctors.find(doctor);
    if (d == r_.doctors.end()) return nullptr;
    for (const Rule& rule : r_.rules)
      if (!rule.group && rule.name == d->second.name && rule.Forbids(k)) return &rule;
    for (const std::wstring& g : d->second.groups)
      for (const Rule& rule : r_.rules)
        if (rule.group && rule.name == g && rule.Forbids(k)) return &rule;
    return nullptr;
  }

  void Rules(std::vector<std::wstring>* out) const {
    for (const auto& [k, ref] : held_)
      if (const Rule* rule = Forbidding(k, ref)) out->push_back(L"rule " + Name(ref) + L" " + KeyText(k) + L": " + rule->Text());
  }

  bool Applies(const Tie& t, chain_ref doctor) const {
    auto d = r_.doctors.find(doctor);
    if (t.who == 1) return true;
    if (d == r_.doctors.end()) return false;
    if (t.who == 3) return d->second.name == t.name;
    const auto& g = d->second.groups;
    return std::find(g.begin(), g.end(), t.name) != g.end();
  }

  // Weekly ties: from every held duty of the first end's pattern to the
  // second end's pattern shifted by the same number of weeks.
  void Ties(std::vector<std::wstring>* out) const {
    for (const Tie& t : r_.ties) {
      if (t.repeat != 1 || !t.keysOk) continue;
      const int64_t shift = int64_t(t.second.period) - int64_t(t.first.period);
      for (const auto& [k, a] : held_) {
        if (!k.SamePattern(t.first) || int64_t(k.period) + shift < 1) continue;
        Key other = t.second;
        other.period = uint32_t(int64_t(k.period) + shift);
        auto o = held_.find(other);
        if (o == held_.end() || (o->first == k)) continue;
        const chain_ref b = o->second;
        const std::wstring pair = L" tie " + std::to_wstring(t.ref) + L": " + KeyText(k) + L" " + Name(a) + L", " +
                                  KeyText(other) + L" " + Name(b);
        if (t.tieDo == 1 && a != b && (Applies(t, a) || Applies(t, b))) out->push_back(L"must_do" + pair);
        if (t.tieDo == 2 && a == b && Applies(t, a)) out->push_back(L"must_not_do" + pair);
      }
    }
  }

  void Locks(const std::vector<std::pair<std::wstring, chain_ref>>& earlier, std::vector<std::wstring>* out) const {
    std::map<std::wstring, chain_ref> locks(r_.locks.begin(), r_.locks.end());
    std::map<std::wstring, chain_ref> held(r_.assignments.begin(), r_.assignments.end());
    for (const auto& [key, ref] : earlier) {
      auto l = locks.find(key);
      auto a = held.find(key);
      if (l == locks.end()) out->push_back(L"lock gone " + key + L" " + Name(ref));
      else if (l->second != ref || a == held.end() || a->second != ref)
        out->push_back(L"lock moved " + key + L" " + Name(ref) + L" -> " +
                       (a == held.end() ? std::wstring(L"nobody") : Name(a->second)));
    }
  }

  Figures Count() const {
    Figures f;
    std::map<chain_ref, uint32_t> perDoctor[2];
    std::set<std::tuple<chain_ref, uint32_t, uint32_t, uint32_t>> busy;
    for (const auto& [k, ref] : held_) {
      const uint32_t c = r_.category.at(k);
      ++f.assigned[c];
      ++perDoctor[c][ref];
      busy.insert({ref, k.period, k.slot, k.day});
    }
    for (const Key& k : r_.duties) ++f.duties[r_.category.at(k)];
    std::map<std::wstring, uint32_t> perPractice[2];
    for (const auto& [ref, d] : r_.doctors) {
      if (d.deleted) continue;
      for (uint32_t c = 0; c < 2; ++c) {
        const uint32_t n = perDoctor[c].count(ref) ? perDoctor[c].at(ref) : 0;
        f.doctors.push_back(Deviation{d.name, c, n, Fraction(r_.doctorShare[c], d.name) * f.duties[c]});
        if (d.groups.size() == 1) perPractice[c][d.groups[0]] += n;
      }
    }
    for (uint32_t c = 0; c < 2; ++c)
      for (const auto& [g, fraction] : r_.groupShare[c]) perPractice[c][g];  // a practice with a share counts too
    for (uint32_t c = 0; c < 2; ++c)
      for (const auto& [g, n] : perPractice[c])
        f.practices.push_back(Deviation{g, c, n, Fraction(r_.groupShare[c], g) * f.duties[c]});
    for (const Deviation& d : f.doctors) {
      f.doctorByCategory[d.category].Add(d.deviation());
      f.doctorAll.Add(d.deviation());
    }
    for (const Deviation& d : f.practices) {
      f.practiceByCategory[d.category].Add(d.deviation());
      f.practiceAll.Add(d.deviation());
    }
    for (const Key& k : r_.duties) {
      if (held_.count(k)) continue;
      for (const auto& [ref, d] : r_.doctors)
        if (!d.deleted && !busy.count({ref, k.period, k.slot, k.day}) && !Forbidding(k, ref)) {
          ++f.placeable;
          break;
        }
    }
    return f;
  }

 private:
  static double Fraction(const std::map<std::wstring, double>& shares, const std::wstring& name) {
    auto it = shares.find(name);
    return it == shares.end() ? 0.0 : it->second;
  }

 public:
  // See Instance() in the header.
  std::string Instance() const {
    std::string out;
    char line[128];
    std::vector<chain_ref> doctors;
    for (const auto& [ref, d] : r_.doctors)
      if (!d.deleted) {
        doctors.push_back(ref);
        snprintf(line, sizeof line, "doctor %d %.9g %.9g\n", int(ref), Fraction(r_.doctorShare[0], d.name),
                 Fraction(r_.doctorShare[1], d.name));
        out += line;
      }
    std::map<Key, uint32_t> index;
    for (const Key& k : r_.duties) {
      const uint32_t i = uint32_t(index.size());
      index[k] = i;
      snprintf(line, sizeof line, "duty %u %u %u %u %u ", i, r_.category.at(k), k.period, k.slot, k.day);
      out += line;
      std::string allowed;
      for (chain_ref d : doctors)
        if (!Forbidding(k, d)) allowed += (allowed.empty() ? "" : ",") + std::to_string(d);
      out += (allowed.empty() ? "-" : allowed) + "\n";
    }
    for (const auto& [k, ref] : held_) out += "held " + std::to_string(index.at(k)) + " " + std::to_string(ref) + "\n";
    for (const Tie& t : r_.ties) {
      if (t.repeat != 1 || !t.keysOk || t.tieDo < 1 || t.tieDo > 2) continue;
      std::string applies;
      if (t.who == 1) applies = "*";
      for (chain_ref d : doctors)
        if (t.who != 1 && Applies(t, d)) applies += (applies.empty() ? "" : ",") + std::to_string(d);
      if (applies.empty()) continue;
      const int64_t shift = int64_t(t.second.period) - int64_t(t.first.period);
      for (const Key& k : r_.duties) {
        if (!k.SamePattern(t.first) || int64_t(k.period) + shift < 1) continue;
        Key other = t.second;
        other.period = uint32_t(int64_t(k.period) + shift);
        auto o = index.find(other);
        if (o == index.end() || other == k) continue;
        snprintf(line, sizeof line, "tie %u %u %u ", unsigned(t.tieDo), index.at(k), o->second);
        out += line + applies + "\n";
      }
    }
    return out;
  }

 private:
  const Roster& r_;
  std::map<Key, chain_ref> held_;  // assignments whose key names a duty
};

}  // namespace

double Deviation::deviation() const { return std::fabs(double(assigned) - share); }

void DeviationSum::Add(double d) {
  sum += d;
  max = std::max(max, d);
}

double Figures::FillRate(uint32_t category) const {
  const uint32_t all = category < 2 ? duties[category] : duties[0] + duties[1];
  const uint32_t done = category < 2 ? assigned[category] : assigned[0] + assigned[1];
  return all ? 100.0 * done / all : 0.0;
}

Report Judge(tav::chainDB* db, const Report* earlier) {
  const Roster now = Read(db);
  Judge_ judge(now);
  Report out;
  judge.Assignments(&out.violations);
  judge.Ties(&out.violations);
  judge.Rules(&out.violations);
  if (earlier) judge.Locks(earlier->locks, &out.violations);
  out.locks = now.locks;
  std::sort(out.violations.begin(), out.violations.end());
  out.figures = judge.Count();
  return out;
}

std::string Instance(tav::chainDB* db) {
  const Roster r = Read(db);
  return Judge_(r).Instance();
}

std::vector<std::wstring> Introduced(const Report& now, const Report* before) {
  if (!before) return now.violations;
  std::vector<std::wstring> out;
  std::set_difference(now.violations.begin(), now.violations.end(), before->violations.begin(),
                      before->violations.end(), std::back_inserter(out));
  return out;
}

std::wstring Summary(const Report& r) {
  wchar_t b[200];
  swprintf(b, 200, L"violations %zu, fill rate %.2f %%, max deviation %.2f, sum deviation %.2f, placeable %u",
           r.violations.size(), r.figures.FillRate(2), r.figures.doctorAll.max, r.figures.doctorAll.sum,
           r.figures.placeable);
  return b;
}

uint32_t ErrorNumber(uint32_t code) {
  uint32_t number = code;
  if (code >= 65536)
    tav::exception::getdescriptor_nd(code, [&](const tav::TraceEntry* e) {
      const tav::ValueTerm* v = tav::exception::trygetextrainfo(e, L"error code");
      if (v && v->Kind() == tav::ValueKind::unsigned_) number = v->As<uint32_t>();
    });
  return number;
}

}  // namespace rostercheck
