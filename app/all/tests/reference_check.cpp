// The reference checker over the raw chains and trees.
#include "reference_check.h"

#include <algorithm>
#include <cwchar>

#include "SYSTEM/mychaindb/bt.h"
#include "exception/exception.h"
#include "SYSTEM/stringDB/stringdb.h"
#include "kalmoradb/roster_types.h"

namespace alltest {

using namespace all;
namespace K = Qel::RunTime::Kernel;

namespace {

using Names = std::vector<std::wstring>;

Names Strings(tav::chainDB* db, const wchar_t* chain) {
  Names out;
  db->chain_terms(tav::D(tav::domains::string), chain, [&](tav::RefTerm rt) {
    out.push_back(reinterpret_cast<const wchar_t*>(rt.t));
    K::Fail();
  });
  return out;
}

Names Brushes(tav::chainDB* db, const wchar_t* chain) {
  Names out;
  db->chain_terms(tav::D(rizediveva6::domains::str_br), chain, [&](tav::RefTerm rt) {
    out.push_back(reinterpret_cast<const rizediveva6::str_br*>(rt.t)->name);
    K::Fail();
  });
  return out;
}

std::wstring NameOf(const Names& names, uint32_t n) {
  return n >= 1 && n <= names.size() ? names[n - 1] : L"?" + std::to_wstring(n);
}

struct Lists {
  Names tasks, wheres, slots;
  std::wstring Duty(uint32_t task, uint32_t where, uint32_t slot) const {
    return L"T=" + NameOf(tasks, task) + L"|L=" + NameOf(wheres, where) + L"|S=" + NameOf(slots, slot) + L"|";
  }
};

std::wstring Doctor(tav::chainDB* db, int32_t ref) {
  // A reference that is no doctor shows as such.
  volatile bool ok = false;
  std::wstring name;
  const uint32_t code = K::RunTrapped([&] {
    auto* p = reinterpret_cast<const PersonTerm*>(db->ref_term(tav::D(domains::person), ref));
    name = p->dat->name;
    ok = p->ref == ref;
  });
  if (code >= 65536) tav::exception::clear(code);
  return ok ? name : L"?doctor " + std::to_wstring(ref);
}

// A duty key by the names its numbers name.
std::wstring End(const Lists& lists, const std::wstring& key) {
  unsigned period, slot, day, task, where;
  if (swscanf(key.c_str(), L"[%u,%u,%u,%u,%u]", &period, &slot, &day, &task, &where) != 5) return L"bad key " + key;
  return L"p" + std::to_wstring(period - 100) + L" d" + std::to_wstring(day - 10) + L" " +
         lists.Duty(task, where, slot - 10);
}

void Tree(tav::chainDB* db, const Lists& lists, const wchar_t* tree, Names* out) {
  rizediveva6::bt* t = rizediveva6::bt::new_(db, tree, 20, 4, 0);
  std::vector<std::pair<std::wstring, int32_t>> entries;
  int32_t first;
  if (t->kee_first(&first))
    t->nd_kee1([&](rizediveva6::KeyRef e) {
      entries.emplace_back(e.key, e.ref);
      K::Fail();
    });
  for (const auto& [key, ref] : entries) {
    out->push_back(std::wstring(tree) + L" " + End(lists, key) + L" " + Doctor(db, ref));
  }
}

}  // namespace

std::vector<std::wstring> NamedReferences(tav::chainDB* db) {
  Lists lists{Brushes(db, L"tasks"), Strings(db, L"locs"), Strings(db, L"slots")};
  if (lists.slots.empty()) lists.slots.push_back(L"allday");
  Names out;
  for (const wchar_t* chain : {L"saturday_chain", L"sunday_chain", L"weekday_chain"}) {
    db->chain_terms(tav::D(domains::tls), chain, [&](tav::RefTerm rt) {
      auto* t = reinterpret_cast<const TlsTerm*>(rt.t);
      out.push_back(std::wstring(chain) + L" " + lists.Duty(t->task, t->where, t->slot));
      K::Fail();
    });
  }
  db->chain_terms(tav::D(domains::dt_duty), L"mod_chain", [&](tav::RefTerm rt) {
    auto* e = reinterpret_cast<const DtDutyTerm*>(rt.t);
    out.push_back(L"change " + std::to_wstring(e->date->year) + L"-" + std::to_wstring(e->date->month) + L"-" +
                  std::to_wstring(e->date->day) + L" d" + std::to_wstring(e->day) + L" " +
                  lists.Duty(e->duty->task, e->duty->where, e->duty->slot));
    K::Fail();
  });
  db->chain_terms(tav::D(domains::weekend_sd), L"weekend_Chain", [&](tav::RefTerm rt) {
    auto* e = reinterpret_cast<const WeekendSdTerm*>(rt.t);
    out.push_back(L"weekend S=" + NameOf(lists.slots, e->slot) + L"| d" + std::to_wstring(e->day));
    K::Fail();
  });
  db->chain_terms(tav::D(domains::tie_dom), L"tie_chain", [&](tav::RefTerm rt) {
    auto* t = reinterpret_cast<const TieDomTerm*>(rt.t);
    out.push_back(L"tie " + End(lists, t->dat->first) + L" ~ " + End(lists, t->dat->second));
    K::Fail();
  });
  Tree(db, lists, L"assign_bt", &out);
  Tree(db, lists, L"lock_bt", &out);
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<std::wstring> Without(const std::vector<std::wstring>& lines, const std::wstring& part) {
  std::vector<std::wstring> out;
  for (const std::wstring& l : lines)
    if (l.find(part) == std::wstring::npos) out.push_back(l);
  return out;
}

}  // namespace alltest
