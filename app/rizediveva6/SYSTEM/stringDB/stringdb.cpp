// String lists: see the header.
#include "SYSTEM/stringDB/stringdb.h"

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "unit.h"

namespace rizediveva6 {

using namespace tav;
using tav::chainDB;
namespace Tm = Qel::RunTime::Terms;

const ClassInfo string_brush_db::classInfo{L"qel6pack/stringDB/string_brush_db", TAV_CLASS_VERSION};
const ClassInfo simple_string_db::classInfo{L"qel6pack/stringDB/simple_string_db",
                                            TAV_CLASS_VERSION};
const ClassInfo string_db::classInfo{L"qel6pack/stringDB/string_db", TAV_CLASS_VERSION};

const str_br* make_str_br(const wchar_t* name, brush b) {
  auto* br = static_cast<brush*>(GStackAlloc(sizeof(brush)));
  *br = b;
  auto* e = static_cast<str_br*>(GStackAlloc(sizeof(str_br)));
  e->name = name;
  e->brush_ = br;
  return e;
}

namespace {

// What is known of one list's chain, per (database, chain, domain): its
// references in order and, once a lookup by name needed them, each entry's
// name.  Each part is valid while chainDB::writes() equals its stamp; the
// list's own writes bring the valid parts up to date and restamp them.
struct ListCache {
  const chainDB* db;
  const IDomainDefinition* d;
  std::wstring chain;
  uint64_t refsStamp = 0, namesStamp = 0;  // 0: never valid
  std::vector<int32_t> refs;
  std::vector<std::wstring> names;
  std::vector<uint8_t> named;  // 0: the entry has no name
};

// Per thread; entries no write has left valid are dropped when it grows.
thread_local std::vector<ListCache> caches;

ListCache& CacheOf(const chainDB* db, const IDomainDefinition* d, const wchar_t* chain) {
  for (ListCache& c : caches)
    if (c.db == db && c.d == d && c.chain == chain) return c;
  if (caches.size() >= 16) {
    const uint64_t now = chainDB::writes();
    std::erase_if(caches, [&](const ListCache& c) { return c.refsStamp != now && c.namesStamp != now; });
  }
  ListCache& c = caches.emplace_back();
  c.db = db;
  c.d = d;
  c.chain = chain;
  return c;
}

using NameOfTerm = const wchar_t* (*)(term);

// One list's chain: scans numbered from 1, lookups, rewrites.
class Chain {
 public:
  struct Hit {
    int32_t ref;
    term t;
    int32_t position;
  };

  Chain(chainDB* db, const wchar_t* name, const IDomainDefinition* d, NameOfTerm nameOf)
      : db_(db), name_(name), d_(d), nameOf_(nameOf) {}

  // visit(position, term, ref) for each term in chain order until it returns
  // true; true when it did.
  template <class V>
  bool Walk(V visit) const {
    int32_t position = 0;
    return db_->chain_terms(d_, name_, [&](RefTerm rt) {
      if (!visit(++position, rt.t, rt.ref)) K::Fail();
    });
  }
  // The first entry that `match` accepts (a walk).
  template <class P>
  bool First(P match, Hit* hit) const {
    return Walk([&](int32_t position, term t, int32_t ref) {
      if (!match(position, t)) return false;
      *hit = Hit{ref, t, position};
      return true;
    });
  }
  // The first entry named `name` in positions from..to.
  bool Named(const wchar_t* name, int32_t from, int32_t to, Hit* hit) const {
    if (!name) return false;
    const ListCache& c = Names();
    const size_t length = wcslen(name);
    for (int32_t i = std::max(from, 1); i <= to && i <= int32_t(c.refs.size()); ++i) {
      const std::wstring& n = c.names[i - 1];
      if (c.named[i - 1] && n.size() == length && wmemcmp(n.data(), name, length) == 0) return At(i, hit);
    }
    return false;
  }
  bool Named(const wchar_t* name, Hit* hit) const { return Named(name, 1, INT32_MAX, hit); }
  bool At(int32_t n, Hit* hit) const {
    const ListCache& c = Refs();
    if (n < 1 || n > int32_t(c.refs.size())) return false;
    const int32_t ref = c.refs[n - 1];
    *hit = Hit{ref, db_->ref_term(d_, ref), n};
    return true;
  }
  int32_t Count() const { return int32_t(Refs().refs.size()); }
  // Heap copies of the terms that `keep` accepts, mapped by `map`, in order.
  template <class R, class Keep, class Map>
  const List<R>* Collect(Keep keep, Map map) const {
    ListBuilder<R> out(true);
    Walk([&](int32_t, term t, int32_t) {
      if (keep(t)) out.Add(map(Tm::CopyTermFromGStack(d_, t)));
      return false;
    });
    return out.Finish();
  }
  const List<term>* All() const {
    return Collect<term>([](term) { return true; }, [](term t) { return t; });
  }
  void Insert(term t, bool atFront) const {
    int32_t ref;
    Change([&] {
      if (atFront) db_->chain_inserta(d_, name_, t, &ref);
      else db_->chain_insertz(d_, name_, t, &ref);
    }, [&](ListCache& c) {
      const size_t at = atFront ? 0 : c.refs.size();
      c.refs.insert(c.refs.begin() + at, ref);
      return at;
    }, [&](ListCache& c, size_t at) { InsertName(c, at, t); });
  }
  void Delete(const Hit& hit) const {
    const size_t at = size_t(hit.position - 1);
    Change([&] { db_->term_delete(name_, hit.ref); },
           [&](ListCache& c) {
             c.refs.erase(c.refs.begin() + at);
             return at;
           },
           [&](ListCache& c, size_t) {
             c.names.erase(c.names.begin() + at);
             c.named.erase(c.named.begin() + at);
           });
  }
  void Replace(const Hit& hit, term t) const {
    const size_t at = size_t(hit.position - 1);
    Change([&] { db_->term_replace(d_, hit.ref, t); }, [&](ListCache&) { return at; },
           [&](ListCache& c, size_t) {
             c.names.erase(c.names.begin() + at);
             c.named.erase(c.named.begin() + at);
             InsertName(c, at, t);
           });
  }
  void Clear() const {
    Change([&] { db_->chain_delete(name_); },
           [](ListCache& c) {
             c.refs.clear();
             return size_t(0);
           },
           [](ListCache& c, size_t) {
             c.names.clear();
             c.named.clear();
           });
  }
  bool Any() const { return Count() > 0; }

  // Swaps the entry at `position` with its neighbour (the one before it for
  // up, after it for down); false, changing nothing, when it has none.  The
  // two terms trade places by replacement, so every other entry keeps its
  // place and its reference.
  bool Swap(int32_t position, bool up) const {
    Hit entry, other;
    if (!At(position, &entry) || !At(up ? position - 1 : position + 1, &other)) return false;
    Change([&] {
      db_->term_replace(d_, other.ref, entry.t);
      db_->term_replace(d_, entry.ref, other.t);
    }, [&](ListCache&) { return size_t(0); },
           [&](ListCache& c, size_t) {
             std::swap(c.names[entry.position - 1], c.names[other.position - 1]);
             std::swap(c.named[entry.position - 1], c.named[other.position - 1]);
           });
    return true;
  }
  // Moves the first entry named `name` that has a neighbour that way.
  bool MoveNamed(const wchar_t* name, bool up) const {
    Hit hit;
    return Named(name, up ? 2 : 1, up ? INT32_MAX : Count() - 1, &hit) && Swap(hit.position, up);
  }
  // Moves the first entry that `match` accepts and that has a neighbour that way.
  template <class M>
  bool MoveFirst(M match, bool up) const {
    const int32_t last = up ? INT32_MAX : Count() - 1;
    Hit hit;
    return First([&](int32_t position, term t) { return position >= (up ? 2 : 1) && position <= last && match(t); },
                 &hit) &&
           Swap(hit.position, up);
  }

 private:
  // The cache with valid references, rebuilt from the chain when stale.
  ListCache& Refs() const {
    ListCache& c = CacheOf(db_, d_, name_);
    const uint64_t now = chainDB::writes();
    if (c.refsStamp == now) return c;
    c.refsStamp = c.namesStamp = 0;
    c.refs.clear();
    int32_t ref;
    for (bool more = db_->chain_first(name_, &ref); more; more = db_->chain_next(ref, &ref)) c.refs.push_back(ref);
    c.refsStamp = now;
    return c;
  }
  // The cache with valid references and names, rebuilt by a walk when stale;
  // a term of another domain raises before anything is stamped.
  ListCache& Names() const {
    ListCache& c = CacheOf(db_, d_, name_);
    const uint64_t now = chainDB::writes();
    if (c.namesStamp == now) return c;
    c.refsStamp = c.namesStamp = 0;
    c.refs.clear();
    c.names.clear();
    c.named.clear();
    Walk([&](int32_t, term t, int32_t ref) {
      c.refs.push_back(ref);
      InsertName(c, c.names.size(), t);
      return false;
    });
    c.refsStamp = c.namesStamp = now;
    return c;
  }
  void InsertName(ListCache& c, size_t at, term t) const {
    const wchar_t* n = nameOf_(t);
    c.names.insert(c.names.begin() + at, n ? std::wstring(n) : std::wstring());
    c.named.insert(c.named.begin() + at, n != nullptr);
  }
  // Runs `write`, then brings the parts of the cache that were valid before
  // it up to date: `refs` changes the references and gives the place of the
  // change, `names` the names.  A write that raises leaves the cache stale.
  template <class W, class R, class N>
  void Change(W write, R refs, N names) const {
    ListCache& c = CacheOf(db_, d_, name_);
    const uint64_t before = chainDB::writes();
    const bool refsValid = c.refsStamp == before, namesValid = c.namesStamp == before;
    write();
    const uint64_t now = chainDB::writes();
    if (!refsValid) return;
    const size_t at = refs(c);
    c.refsStamp = now;
    if (!namesValid) return;
    names(c, at);
    c.namesStamp = now;
  }

  chainDB* db_;
  const wchar_t* name_;
  const IDomainDefinition* d_;
  NameOfTerm nameOf_;
};

// --- entries of the three kinds ---

const str_br* AsStrBr(term t) { return reinterpret_cast<const str_br*>(t); }
const wchar_t* BrushName(term t) { return AsStrBr(t)->name; }
Chain Brushes(chainDB* db, const wchar_t* chain) { return Chain(db, chain, D(domains::str_br), BrushName); }

const wchar_t* AsString(term t) { return reinterpret_cast<const wchar_t*>(t); }
Chain Strings(chainDB* db, const wchar_t* chain) { return Chain(db, chain, D(tav::domains::string), AsString); }

const SList* AsList(term t) { return reinterpret_cast<const SList*>(t); }
// The entry's name (first string) or id (second string); null when it has none.
const wchar_t* NameOf(const SList* e) { return e->Empty() ? nullptr : e->head; }
const wchar_t* IdOf(const SList* e) { return e->Empty() || e->tail->Empty() ? nullptr : e->tail->head; }
const wchar_t* ListName(term t) { return NameOf(AsList(t)); }
Chain Lists(chainDB* db, const wchar_t* chain) { return Chain(db, chain, D(tav::domains::string_list), ListName); }
bool SameEntry(const SList* a, const SList* b) {
  for (; !a->Empty() && !b->Empty(); a = a->tail, b = b->tail)
    if (wcscmp(a->head, b->head) != 0) return false;
  return a->Empty() && b->Empty();
}

bool DeleteNamed(const Chain& c, const wchar_t* name) {
  Chain::Hit hit;
  if (!c.Named(name, &hit)) return false;
  c.Delete(hit);
  return true;
}
bool DeleteAt(const Chain& c, int32_t n) {
  Chain::Hit hit;
  if (!c.At(n, &hit)) return false;
  c.Delete(hit);
  return true;
}
bool ExistsNamed(const Chain& c, const wchar_t* name) {
  Chain::Hit hit;
  return c.Named(name, &hit);
}
term Term(const void* p) { return reinterpret_cast<term>(p); }

}  // namespace

// --- string_brush_db ---

void string_brush_db::clear_chain(DB db, const wchar_t* chain) { Brushes(db, chain).Clear(); }
bool string_brush_db::one_exists(DB db, const wchar_t* chain) { return Brushes(db, chain).Any(); }
bool string_brush_db::exist_name(DB db, const wchar_t* chain, const wchar_t* name) {
  return ExistsNamed(Brushes(db, chain), name);
}
void string_brush_db::add_namea(DB db, const wchar_t* chain, const str_br* entry) {
  Brushes(db, chain).Insert(Term(entry), true);
}
void string_brush_db::add_namez(DB db, const wchar_t* chain, const str_br* entry) {
  Brushes(db, chain).Insert(Term(entry), false);
}
bool string_brush_db::del_name(DB db, const wchar_t* chain, const wchar_t* name) {
  return DeleteNamed(Brushes(db, chain), name);
}
bool string_brush_db::del_nth(DB db, const wchar_t* chain, int32_t n) {
  return DeleteAt(Brushes(db, chain), n);
}
bool string_brush_db::nth_name(DB db, const wchar_t* chain, int32_t n, const str_br** entry) {
  Chain::Hit hit;
  if (!Brushes(db, chain).At(n, &hit)) return false;
  *entry = AsStrBr(hit.t);
  return true;
}
int32_t string_brush_db::count(DB db, const wchar_t* chain) { return Brushes(db, chain).Count(); }
const SList* string_brush_db::list_names(DB db, const wchar_t* chain) {
  return Brushes(db, chain).Collect<const wchar_t*>([](term) { return true; },
                                                    [](term t) { return AsStrBr(t)->name; });
}
const str_brs* string_brush_db::list_str_br(DB db, const wchar_t* chain) {
  return Brushes(db, chain).Collect<const str_br*>([](term) { return true; }, AsStrBr);
}
bool string_brush_db::nd_list_str_brs(DB db, const wchar_t* chain, Each<PositionedStrBr> k) {
  return Brushes(db, chain).Walk([&](int32_t position, term t, int32_t) {
    return TrySolution(k, PositionedStrBr{position, AsStrBr(t)});
  });
}
bool string_brush_db::nd_list_names(DB db, const wchar_t* chain, Each<const wchar_t*> k) {
  return Brushes(db, chain).Walk(
      [&](int32_t, term t, int32_t) { return TrySolution(k, AsStrBr(t)->name); });
}
bool string_brush_db::replace_nth(DB db, const wchar_t* chain, int32_t n, const str_br* entry) {
  Chain c = Brushes(db, chain);
  Chain::Hit hit;
  if (!c.At(n, &hit)) return false;
  c.Replace(hit, Term(entry));
  return true;
}
bool string_brush_db::replace_name_brush(DB db, const wchar_t* chain, const wchar_t* name, brush b) {
  Chain c = Brushes(db, chain);
  Chain::Hit hit;
  if (!c.Named(name, &hit)) return false;
  c.Replace(hit, Term(make_str_br(AsStrBr(hit.t)->name, b)));
  return true;
}
bool string_brush_db::replace_nth_str(DB db, const wchar_t* chain, int32_t n, const wchar_t* newName) {
  Chain c = Brushes(db, chain);
  Chain::Hit hit;
  if (!c.At(n, &hit)) return false;
  c.Replace(hit, Term(make_str_br(newName, *AsStrBr(hit.t)->brush_)));
  return true;
}
bool string_brush_db::move_up(DB db, const wchar_t* chain, const wchar_t* name) {
  return Brushes(db, chain).MoveNamed(name, true);
}
bool string_brush_db::move_down(DB db, const wchar_t* chain, const wchar_t* name) {
  return Brushes(db, chain).MoveNamed(name, false);
}

// --- simple_string_db ---

void simple_string_db::clear_chain(DB db, const wchar_t* chain) { Strings(db, chain).Clear(); }
bool simple_string_db::one_exists(DB db, const wchar_t* chain) { return Strings(db, chain).Any(); }
bool simple_string_db::exist_name(DB db, const wchar_t* chain, const wchar_t* name) {
  return ExistsNamed(Strings(db, chain), name);
}
void simple_string_db::add_namea(DB db, const wchar_t* chain, const wchar_t* name) {
  Strings(db, chain).Insert(Term(name), true);
}
void simple_string_db::add_namez(DB db, const wchar_t* chain, const wchar_t* name) {
  Strings(db, chain).Insert(Term(name), false);
}
void simple_string_db::add_namelist(DB db, const wchar_t* chain, const SList* names) {
  Chain c = Strings(db, chain);
  for (; !names->Empty(); names = names->tail) c.Insert(Term(names->head), false);
}
bool simple_string_db::del_name(DB db, const wchar_t* chain, const wchar_t* name) {
  return DeleteNamed(Strings(db, chain), name);
}
bool simple_string_db::del_nth(DB db, const wchar_t* chain, int32_t n) {
  return DeleteAt(Strings(db, chain), n);
}
bool simple_string_db::nth_name(DB db, const wchar_t* chain, int32_t n, const wchar_t** name) {
  Chain::Hit hit;
  if (!Strings(db, chain).At(n, &hit)) return false;
  *name = AsString(hit.t);
  return true;
}
int32_t simple_string_db::count(DB db, const wchar_t* chain) { return Strings(db, chain).Count(); }
const SList* simple_string_db::list_names(DB db, const wchar_t* chain) {
  return Strings(db, chain).Collect<const wchar_t*>([](term) { return true; }, AsString);
}
bool simple_string_db::nd_list_names(DB db, const wchar_t* chain, Each<const wchar_t*> k) {
  return Strings(db, chain).Walk([&](int32_t, term t, int32_t) { return TrySolution(k, AsString(t)); });
}
bool simple_string_db::replace_nth(DB db, const wchar_t* chain, int32_t n, const wchar_t* name) {
  Chain c = Strings(db, chain);
  Chain::Hit hit;
  if (!c.At(n, &hit)) return false;
  c.Replace(hit, Term(name));
  return true;
}
bool simple_string_db::move_up(DB db, const wchar_t* chain, const wchar_t* name) {
  return Strings(db, chain).MoveNamed(name, true);
}
bool simple_string_db::move_down(DB db, const wchar_t* chain, const wchar_t* name) {
  return Strings(db, chain).MoveNamed(name, false);
}

// --- string_db ---

void string_db::clear_chain(DB db, const wchar_t* chain) { Lists(db, chain).Clear(); }
bool string_db::one_exists(DB db, const wchar_t* chain) { return Lists(db, chain).Any(); }
int32_t string_db::count(DB db, const wchar_t* chain) { return Lists(db, chain).Count(); }
void string_db::add_namez(DB db, const wchar_t* chain, const SList* entry) {
  Lists(db, chain).Insert(Term(entry), false);
}
bool string_db::exist_name(DB db, const wchar_t* chain, const wchar_t* name) {
  return ExistsNamed(Lists(db, chain), name);
}
bool string_db::del_name(DB db, const wchar_t* chain, const wchar_t* name) {
  return DeleteNamed(Lists(db, chain), name);
}
bool string_db::move_up(DB db, const wchar_t* chain, const SList* entry) {
  return Lists(db, chain).MoveFirst([&](term t) { return SameEntry(AsList(t), entry); }, true);
}
bool string_db::move_down(DB db, const wchar_t* chain, const SList* entry) {
  return Lists(db, chain).MoveFirst([&](term t) { return SameEntry(AsList(t), entry); }, false);
}
bool string_db::nd_list_name(DB db, const wchar_t* chain, Each<NamedEntry> k) {
  return Lists(db, chain).Walk([&](int32_t position, term t, int32_t) {
    const wchar_t* name = NameOf(AsList(t));
    return name && TrySolution(k, NamedEntry{position, AsList(t), name});
  });
}
const List<const SList*>* string_db::list_namez(DB db, const wchar_t* chain) {
  return Lists(db, chain).Collect<const SList*>([](term t) { return NameOf(AsList(t)) != nullptr; },
                                                AsList);
}
const SList* string_db::list_namez_1(DB db, const wchar_t* chain) {
  return Lists(db, chain).Collect<const wchar_t*>(
      [](term t) { return NameOf(AsList(t)) != nullptr; }, [](term t) { return NameOf(AsList(t)); });
}
bool string_db::nd_list_ids(DB db, const wchar_t* chain, Each<PositionedId> k) {
  return Lists(db, chain).Walk([&](int32_t position, term t, int32_t) {
    const wchar_t* id = IdOf(AsList(t));
    return id && TrySolution(k, PositionedId{position, id});
  });
}
const SList* string_db::list_namez_ids(DB db, const wchar_t* chain) {
  return Lists(db, chain).Collect<const wchar_t*>(
      [](term t) { return IdOf(AsList(t)) != nullptr; }, [](term t) { return IdOf(AsList(t)); });
}
bool string_db::nth_namez(DB db, const wchar_t* chain, int32_t n, const SList** entry) {
  Chain::Hit hit;
  if (!Lists(db, chain).At(n, &hit) || !NameOf(AsList(hit.t))) return false;
  *entry = AsList(hit.t);
  return true;
}

}  // namespace rizediveva6
