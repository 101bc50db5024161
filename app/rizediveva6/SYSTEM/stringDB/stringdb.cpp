// String lists: see the header.
#include "SYSTEM/stringDB/stringdb.h"

#include <cwchar>

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

bool Same(const wchar_t* a, const wchar_t* b) { return a && b && wcscmp(a, b) == 0; }

// One list's chain: scans numbered from 1, lookups, rewrites.
class Chain {
 public:
  struct Hit {
    int32_t ref;
    term t;
  };

  Chain(chainDB* db, const wchar_t* name, const IDomainDefinition* d) : db_(db), name_(name), d_(d) {}

  // visit(position, term, ref) for each term in chain order until it returns
  // true; true when it did.
  template <class V>
  bool Walk(V visit) const {
    int32_t position = 0;
    return db_->chain_terms(d_, name_, [&](RefTerm rt) {
      if (!visit(++position, rt.t, rt.ref)) K::Fail();
    });
  }
  template <class P>
  bool First(P match, Hit* hit) const {
    return Walk([&](int32_t position, term t, int32_t ref) {
      if (!match(position, t)) return false;
      *hit = Hit{ref, t};
      return true;
    });
  }
  // Positions and counts walk the references only: no term is decoded.
  bool At(int32_t n, Hit* hit) const {
    int32_t ref;
    if (n < 1 || !db_->chain_first(name_, &ref)) return false;
    for (int32_t position = 1; position < n; ++position)
      if (!db_->chain_next(ref, &ref)) return false;
    *hit = Hit{ref, db_->ref_term(d_, ref)};
    return true;
  }
  int32_t Count() const {
    int32_t n = 0, ref;
    for (bool more = db_->chain_first(name_, &ref); more; more = db_->chain_next(ref, &ref)) ++n;
    return n;
  }
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
    if (atFront) db_->chain_inserta(d_, name_, t, &ref);
    else db_->chain_insertz(d_, name_, t, &ref);
  }
  void Delete(const Hit& hit) const { db_->term_delete(name_, hit.ref); }
  void Replace(const Hit& hit, term t) const { db_->term_replace(d_, hit.ref, t); }
  void Clear() const { db_->chain_delete(name_); }
  bool Any() const {
    int32_t ref;
    return db_->chain_first(name_, &ref);
  }

  // Swaps the first entry that `match` accepts with its neighbour (the one
  // before it for up, after it for down); false, changing nothing, when no
  // entry has such a neighbour.  The two terms trade places by replacement,
  // so every other entry keeps its place and its reference.
  template <class M>
  bool Move(M match, bool up) const {
    int32_t previous = 0, entry = 0, other = 0;
    term moving = nullptr;
    const bool found = Walk([&](int32_t position, term t, int32_t ref) {
      const int32_t before = previous;
      previous = ref;
      if (!match(t)) return false;
      if (up && position < 2) return false;
      if (!up && !db_->chain_next(ref, &other)) return false;
      if (up) other = before;
      entry = ref;
      moving = t;
      return true;
    });
    if (!found) return false;
    const term neighbour = db_->ref_term(d_, other);
    db_->term_replace(d_, other, moving);
    db_->term_replace(d_, entry, neighbour);
    return true;
  }

 private:
  chainDB* db_;
  const wchar_t* name_;
  const IDomainDefinition* d_;
};

// --- entries of the three kinds ---

Chain Brushes(chainDB* db, const wchar_t* chain) { return Chain(db, chain, D(domains::str_br)); }
const str_br* AsStrBr(term t) { return reinterpret_cast<const str_br*>(t); }
auto BrushNamed(const wchar_t* name) {
  return [name](int32_t, term t) { return Same(AsStrBr(t)->name, name); };
}

Chain Strings(chainDB* db, const wchar_t* chain) { return Chain(db, chain, D(tav::domains::string)); }
const wchar_t* AsString(term t) { return reinterpret_cast<const wchar_t*>(t); }
auto StringNamed(const wchar_t* name) {
  return [name](int32_t, term t) { return Same(AsString(t), name); };
}

Chain Lists(chainDB* db, const wchar_t* chain) { return Chain(db, chain, D(tav::domains::string_list)); }
const SList* AsList(term t) { return reinterpret_cast<const SList*>(t); }
// The entry's name (first string) or id (second string); null when it has none.
const wchar_t* NameOf(const SList* e) { return e->Empty() ? nullptr : e->head; }
const wchar_t* IdOf(const SList* e) { return e->Empty() || e->tail->Empty() ? nullptr : e->tail->head; }
auto ListNamed(const wchar_t* name) {
  return [name](int32_t, term t) { return Same(NameOf(AsList(t)), name); };
}
bool SameEntry(const SList* a, const SList* b) {
  for (; !a->Empty() && !b->Empty(); a = a->tail, b = b->tail)
    if (wcscmp(a->head, b->head) != 0) return false;
  return a->Empty() && b->Empty();
}

template <class P>
bool DeleteFirst(const Chain& c, P match) {
  Chain::Hit hit;
  if (!c.First(match, &hit)) return false;
  c.Delete(hit);
  return true;
}
bool DeleteAt(const Chain& c, int32_t n) {
  Chain::Hit hit;
  if (!c.At(n, &hit)) return false;
  c.Delete(hit);
  return true;
}
template <class P>
bool Exists(const Chain& c, P match) {
  Chain::Hit hit;
  return c.First(match, &hit);
}
term Term(const void* p) { return reinterpret_cast<term>(p); }

}  // namespace

// --- string_brush_db ---

void string_brush_db::clear_chain(DB db, const wchar_t* chain) { Brushes(db, chain).Clear(); }
bool string_brush_db::one_exists(DB db, const wchar_t* chain) { return Brushes(db, chain).Any(); }
bool string_brush_db::exist_name(DB db, const wchar_t* chain, const wchar_t* name) {
  return Exists(Brushes(db, chain), BrushNamed(name));
}
void string_brush_db::add_namea(DB db, const wchar_t* chain, const str_br* entry) {
  Brushes(db, chain).Insert(Term(entry), true);
}
void string_brush_db::add_namez(DB db, const wchar_t* chain, const str_br* entry) {
  Brushes(db, chain).Insert(Term(entry), false);
}
bool string_brush_db::del_name(DB db, const wchar_t* chain, const wchar_t* name) {
  return DeleteFirst(Brushes(db, chain), BrushNamed(name));
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
  if (!c.First(BrushNamed(name), &hit)) return false;
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
  return Brushes(db, chain).Move([&](term t) { return BrushNamed(name)(0, t); }, true);
}
bool string_brush_db::move_down(DB db, const wchar_t* chain, const wchar_t* name) {
  return Brushes(db, chain).Move([&](term t) { return BrushNamed(name)(0, t); }, false);
}

// --- simple_string_db ---

void simple_string_db::clear_chain(DB db, const wchar_t* chain) { Strings(db, chain).Clear(); }
bool simple_string_db::one_exists(DB db, const wchar_t* chain) { return Strings(db, chain).Any(); }
bool simple_string_db::exist_name(DB db, const wchar_t* chain, const wchar_t* name) {
  return Exists(Strings(db, chain), StringNamed(name));
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
  return DeleteFirst(Strings(db, chain), StringNamed(name));
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
  return Strings(db, chain).Move([&](term t) { return Same(AsString(t), name); }, true);
}
bool simple_string_db::move_down(DB db, const wchar_t* chain, const wchar_t* name) {
  return Strings(db, chain).Move([&](term t) { return Same(AsString(t), name); }, false);
}

// --- string_db ---

void string_db::clear_chain(DB db, const wchar_t* chain) { Lists(db, chain).Clear(); }
bool string_db::one_exists(DB db, const wchar_t* chain) { return Lists(db, chain).Any(); }
int32_t string_db::count(DB db, const wchar_t* chain) { return Lists(db, chain).Count(); }
void string_db::add_namez(DB db, const wchar_t* chain, const SList* entry) {
  Lists(db, chain).Insert(Term(entry), false);
}
bool string_db::exist_name(DB db, const wchar_t* chain, const wchar_t* name) {
  return Exists(Lists(db, chain), ListNamed(name));
}
bool string_db::del_name(DB db, const wchar_t* chain, const wchar_t* name) {
  return DeleteFirst(Lists(db, chain), ListNamed(name));
}
bool string_db::move_up(DB db, const wchar_t* chain, const SList* entry) {
  return Lists(db, chain).Move([&](term t) { return SameEntry(AsList(t), entry); }, true);
}
bool string_db::move_down(DB db, const wchar_t* chain, const SList* entry) {
  return Lists(db, chain).Move([&](term t) { return SameEntry(AsList(t), entry); }, false);
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
