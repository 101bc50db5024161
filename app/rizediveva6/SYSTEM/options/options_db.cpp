// options_db: the fact databases f_opt and the unsaved default base folder,
// their accessors, and the options file's reading and saving.
//
// Invariants: f_opt's facts stand in declaration order (the order of the
// file's lines); facts 1 to 6 are determ, ndb_various keeps its entries in
// insertion order.  Only the first failed save of a run is shown.
#include "SYSTEM/options/options_db.h"

#include <cwchar>
#include <string>

#include "SYSTEM/options/fact_file.h"
#include "fileSystem/directory.h"
#include "qel6decl.h"
#include "qel6kwi.h"
#include "qel6kwi_win.h"
#include "unit.h"

namespace rizediveva6 {

namespace decl = Qel::RunTime::Decl;
using namespace Qel::RunTime::Terms;
using namespace Qel::RunTime::Terms::DBInternal;
using Qel::RunTime::RScopeClassDescriptor;

namespace classes {
extern RScopeClassDescriptor options_db;
}

// --- Terms --------------------------------------------------------------------------------

namespace {

struct RctTerm {
  uint64_t functor;
  int32_t left, top, right, bottom;
};
// The alternatives of various_dom: a key, then the value.
template <class V>
struct Keyed {
  uint64_t functor;
  const wchar_t* key;
  V value;
};
using KeyedS = Keyed<const wchar_t*>;
using KeyedI = Keyed<int32_t>;
using KeyedU64 = Keyed<uint64_t>;
using KeyedR = Keyed<double>;
using KeyedRect = Keyed<const RctTerm*>;
using KeyedSL = Keyed<const tav::StringList*>;
using KeyedIL = Keyed<const IntList*>;
using KeyedBoo = Keyed<const tav::BooleanTerm*>;

// A fact: its number, then its one argument.
template <class V>
struct Fact {
  uint64_t functor;
  V value;
};

enum Kind : uint64_t { kS = 1, kI, kU64, kR, kRect, kT, kSL, kIL, kBoo };
enum FactNo : uint32_t {
  kDays = 1, kShortest, kFont, kBase, kPublish, kBoundary, kVarious,
};

}  // namespace

namespace domains {
using tav::domains::integer;
using tav::domains::real;
using tav::domains::string;
using tav::domains::unsigned_;
using tav::domains::unsigned64;

decl::Arguments rctArgs{{QEL_ARG(RctTerm, left, integer), QEL_ARG(RctTerm, top, integer),
                         QEL_ARG(RctTerm, right, integer), QEL_ARG(RctTerm, bottom, integer)}};
RFunctor rctFunctors[] = {decl::Functor<RctTerm>(L"rct", rctArgs)};
RCompoundDomain rct = decl::Compound({L"rct", QEL_HERE, nullptr, &classes::options_db}, rctFunctors);

QEL_LIST(integer_list, integer, int32_t, {L"integer_list", QEL_HERE, &rct.head, &classes::options_db});
static_assert(sizeof(integer_list_cons) == sizeof(IntList));

#define KEYED_ARGS(S, DOMAIN) decl::Arguments{{QEL_ARG(S, key, string), QEL_ARG(S, value, DOMAIN)}}
decl::Arguments sArgs = KEYED_ARGS(KeyedS, string);
decl::Arguments iArgs = KEYED_ARGS(KeyedI, integer);
decl::Arguments u64Args = KEYED_ARGS(KeyedU64, unsigned64);
decl::Arguments rArgs = KEYED_ARGS(KeyedR, real);
decl::Arguments rectArgs = KEYED_ARGS(KeyedRect, rct);
decl::Arguments slArgs = KEYED_ARGS(KeyedSL, tav::domains::string_list);
decl::Arguments ilArgs = KEYED_ARGS(KeyedIL, integer_list);
decl::Arguments booArgs = KEYED_ARGS(KeyedBoo, tav::domains::boolean);
#undef KEYED_ARGS
RFunctor variousFunctors[] = {
    decl::Functor<KeyedS>(L"s", sArgs),        decl::Functor<KeyedI>(L"i", iArgs),
    decl::Functor<KeyedU64>(L"u64", u64Args),  decl::Functor<KeyedR>(L"r", rArgs),
    decl::Functor<KeyedRect>(L"rect", rectArgs), decl::Functor<KeyedU64>(L"t", u64Args),
    decl::Functor<KeyedSL>(L"sl", slArgs),     decl::Functor<KeyedIL>(L"il", ilArgs),
    decl::Functor<KeyedBoo>(L"boo", booArgs),
};
RCompoundDomain various_dom =
    decl::Compound({L"various_dom", QEL_HERE, &integer_list.head, &classes::options_db},
                   variousFunctors);

decl::Arguments u32FactArgs{{QEL_ARG(Fact<uint32_t>, value, unsigned_)}};
decl::Arguments binFactArgs{{QEL_ARG(Fact<const uint8_t*>, value, tav::domains::binary)}};
decl::Arguments strFactArgs{{QEL_ARG(Fact<const wchar_t*>, value, string)}};
decl::Arguments variousFactArgs{{QEL_ARG(Fact<const void*>, value, various_dom)}};
constexpr RFactDescriptor Determ(const wchar_t* name, const RArgument* args, uint32_t size) {
  return {name, args, 1, size, 0, 1, 0, 0};
}
RFactDescriptor optFacts[] = {
    Determ(L"db_days_previous_to_today_for_analysis", u32FactArgs.a, sizeof(Fact<uint32_t>)),
    Determ(L"db_shortest_duty_mins", u32FactArgs.a, sizeof(Fact<uint32_t>)),
    Determ(L"db_opt_font", binFactArgs.a, sizeof(Fact<const uint8_t*>)),
    Determ(L"db_base_folder", strFactArgs.a, sizeof(Fact<const wchar_t*>)),
    Determ(L"db_publish_folder", strFactArgs.a, sizeof(Fact<const wchar_t*>)),
    Determ(L"db_boundary", u32FactArgs.a, sizeof(Fact<uint32_t>)),
    {L"ndb_various", variousFactArgs.a, 1, sizeof(Fact<const void*>), 0, 0, 0, 0},
};
RFactHead optHeads[7];
RFactDatabase f_opt{
    decl::Head(kClassFacts, sizeof(RFactDatabase), {L"f_opt", QEL_HERE, &various_dom.head, &classes::options_db}),
    7, optFacts, 0, reinterpret_cast<uintptr_t>(optHeads)};

RFactDescriptor defaultFacts[] = {
    Determ(L"db_default_base_folder", strFactArgs.a, sizeof(Fact<const wchar_t*>))};
RFactHead defaultHeads[1];
RFactDatabase options_db_db1{
    decl::Head(kClassFacts, sizeof(RFactDatabase),
               {L"options_db$db1", QEL_HERE, &f_opt.head, &classes::options_db}),
    1, defaultFacts, 0, reinterpret_cast<uintptr_t>(defaultHeads)};
}  // namespace domains

namespace classes {
RScopeClassDescriptor options_db = decl::Class(L"options_db", QEL_HERE, &domains::options_db_db1.head);
}

const tav::ClassInfo options_db::classInfo{L"qel6pack/options/options_db", TAV_CLASS_VERSION};

// --- The store ----------------------------------------------------------------------------

namespace {

const TDB* OptDB() { return tav::D(domains::f_opt); }
const TDB* DefaultDB() { return tav::D(domains::options_db_db1); }

const tav::FactDB optDb{tav::D(domains::f_opt), nullptr};
FactFile optFile{&optDb, {}};
bool saveNoted = false;
bool readNoted = false;

// The class databases' chain heads (the records' heads words point at them).
RFactHead* Chain(uint32_t fact) { return domains::optHeads + (fact - 1); }

template <class V>
const Fact<V>* Stored(RFactHead* heads, uint32_t fact) {
  RStructFact* c = heads[fact - 1].first;
  return c ? reinterpret_cast<const Fact<V>*>(c->term) : nullptr;
}

template <class V>
void Replace(const TDB* db, uint32_t fact, V value) {
  RetractAllinFactClass(db, fact - 1);
  Fact<V> f{fact, value};
  TDBClassInternalDomainDefinition::AssertZClass(db, reinterpret_cast<const uint8_t*>(&f));
}

template <class V>
const Keyed<V>* Entry(const RStructFact* c) {
  return static_cast<const Keyed<V>*>(reinterpret_cast<const Fact<const void*>*>(c->term)->value);
}

// The first keyed entry of the kind under the key.
template <class V>
const Keyed<V>* Find(Kind kind, const wchar_t* key) {
  for (RStructFact* c = Chain(kVarious)->first; c; c = c->next) {
    const Keyed<V>* e = Entry<V>(c);
    if (e->functor == kind && wcscmp(e->key, key) == 0) return e;
  }
  return nullptr;
}

// Removes every keyed entry of the kind under the key, keeping the others' order.
void RemoveKeyed(Kind kind, const wchar_t* key) {
  RemoveWhere(Chain(kVarious), [&](const uint8_t* t) {
    const auto* e = static_cast<const Keyed<const void*>*>(
        reinterpret_cast<const Fact<const void*>*>(t)->value);
    return e->functor == kind && wcscmp(e->key, key) == 0;
  });
}

template <class V>
void SetKeyed(Kind kind, const wchar_t* key, V value) {
  RemoveKeyed(kind, key);
  Keyed<V> entry{kind, key, value};
  Fact<const void*> f{kVarious, &entry};
  TDBClassInternalDomainDefinition::AssertZClass(OptDB(), reinterpret_cast<const uint8_t*>(&f));
}

template <class V>
bool GetKeyed(Kind kind, const wchar_t* key, V* value) {
  const Keyed<V>* e = Find<V>(kind, key);
  if (!e) return false;
  *value = e->value;
  return true;
}

uint32_t U32Or(uint32_t fact, uint32_t fallback) {
  const Fact<uint32_t>* f = Stored<uint32_t>(domains::optHeads, fact);
  return f ? f->value : fallback;
}

}  // namespace

const wchar_t* OptionsFileName() {
  static const std::wstring name = std::wstring(ProgramFolder()) + L"opt.cns";
  return name.c_str();
}

constexpr const wchar_t* kKeptSettings =
    L" The settings read before the damage are kept; the others keep their defaults.";

void options_db::read_opt() {
  const wchar_t* name = OptionsFileName();
  uint32_t code = 0;
  switch (ReadFactFile(optFile, name, false, &code)) {
    case ReadOutcome::absent:
    case ReadOutcome::read:
      return;
    case ReadOutcome::unreadable:
      NoteOnce(&readNoted, tav::string::concat(L"The settings file \"", name, L"\" cannot be opened (",
                                      SystemMessage(code),
                                      L"). The settings keep their defaults."));
      return;
    case ReadOutcome::damaged:
      NoteOnce(&readNoted, tav::string::concat(L"The settings file \"", name,
                                               L"\" is damaged and was renamed to"
                                               L" \"opt.cns.damaged\".",
                                               kKeptSettings));
      return;
    case ReadOutcome::damagedInPlace:
      NoteOnce(&readNoted, tav::string::concat(L"The settings file \"", name,
                                               L"\" is damaged and could not be renamed (",
                                               SystemMessage(code), L").", kKeptSettings));
      return;
  }
}

void options_db::save_opt() {
  const wchar_t* name = OptionsFileName();
  WriteFailure f = SaveFactFile(optFile, name);
  if (!f.Failed() || saveNoted) return;
  NoteOnce(&saveNoted, tav::string::concat(L"The settings cannot be saved to \"", name, L"\" (",
                                  tav::string::concat(f.api, L": ", SystemMessage(f.code)),
                                  L"). Changed settings stay in force until the program ends."));
}

void options_db::create_folder(const wchar_t* folder) {
  if (!tav::directory::existdirectory(folder)) tav::directory::makedirectory(folder);
}

// --- Fixed options ------------------------------------------------------------------------

uint32_t options_db::days_previous_to_today_for_analysis() { return U32Or(kDays, 5); }
void options_db::days_previous_to_today_for_analysis(uint32_t days) {
  Replace(OptDB(), kDays, days);
  save_opt();
}
uint32_t options_db::shortest_duty_mins() { return U32Or(kShortest, 5); }
void options_db::shortest_duty_mins(uint32_t minutes) {
  Replace(OptDB(), kShortest, minutes);
  save_opt();
}
uint32_t options_db::boundary() { return U32Or(kBoundary, 60); }
void options_db::boundary(uint32_t value) {
  Replace(OptDB(), kBoundary, value);
  save_opt();
}

const uint8_t* options_db::opt_font() {
  // The GUI layer reads a 92-byte record: a stored binary of another size
  // (a damaged file) is not handed on.
  constexpr uint32_t kFontBinary = 96;
  if (const Fact<const uint8_t*>* f = Stored<const uint8_t*>(domains::optHeads, kFont)) {
    uint32_t size;
    memcpy(&size, f->value - 4, 4);
    if (size == kFontBinary) return f->value;
  }
  QEL_KWI::ilist_struct none{QEL_KWI::ListNil, 0, nullptr};
  return QEL_KWI::font_Create(4, &none, 8);
}
void options_db::opt_font(const uint8_t* font) {
  Replace(OptDB(), kFont, font);
  save_opt();
}

const wchar_t* options_db::default_base_folder() {
  const Fact<const wchar_t*>* f = Stored<const wchar_t*>(domains::defaultHeads, 1);
  return f ? f->value : L"C:\\";
}
void options_db::default_base_folder(const wchar_t* folder) {
  Replace(DefaultDB(), 1, folder);
  create_folder(folder);
}
const wchar_t* options_db::base_folder() {
  const Fact<const wchar_t*>* f = Stored<const wchar_t*>(domains::optHeads, kBase);
  return f ? f->value : default_base_folder();
}
void options_db::base_folder(const wchar_t* folder) {
  Replace(OptDB(), kBase, folder);
  create_folder(folder);
  save_opt();
}
const wchar_t* options_db::publish_folder() {
  const Fact<const wchar_t*>* f = Stored<const wchar_t*>(domains::optHeads, kPublish);
  return f ? f->value : L"C:\\";
}
void options_db::publish_folder(const wchar_t* folder) {
  Replace(OptDB(), kPublish, folder);
  create_folder(folder);
  save_opt();
}

// --- Keyed store --------------------------------------------------------------------------

#define KEYED_PAIR(NAME, KIND, TYPE)                                                      \
  bool options_db::NAME(const wchar_t* key, TYPE* value) { return GetKeyed(KIND, key, value); } \
  void options_db::NAME(const wchar_t* key, TYPE value) {                                 \
    SetKeyed(KIND, key, value);                                                           \
    save_opt();                                                                           \
  }
KEYED_PAIR(various_s, kS, const wchar_t*)
KEYED_PAIR(various_i, kI, int32_t)
KEYED_PAIR(various_u64, kU64, uint64_t)
KEYED_PAIR(various_r, kR, double)
KEYED_PAIR(various_t, kT, uint64_t)
KEYED_PAIR(various_slist, kSL, const tav::StringList*)
KEYED_PAIR(various_ilist, kIL, const IntList*)
#undef KEYED_PAIR

bool options_db::various_rct(const wchar_t* key, Rct* value) {
  const RctTerm* r;
  if (!GetKeyed(kRect, key, &r)) return false;
  *value = Rct{r->left, r->top, r->right, r->bottom};
  return true;
}
void options_db::various_rct(const wchar_t* key, Rct value) {
  RctTerm r{1, value.left, value.top, value.right, value.bottom};
  SetKeyed(kRect, key, static_cast<const RctTerm*>(&r));
  save_opt();
}
bool options_db::various_boo(const wchar_t* key, bool* value) {
  const tav::BooleanTerm* b;
  if (!GetKeyed(kBoo, key, &b)) return false;
  *value = b->functor == 2;
  return true;
}
void options_db::various_boo(const wchar_t* key, bool value) {
  tav::BooleanTerm b{value ? 2u : 1u};
  SetKeyed(kBoo, key, static_cast<const tav::BooleanTerm*>(&b));
  save_opt();
}

void options_db::remove(const wchar_t* key) {
  for (Kind kind : {kI, kR, kT, kS}) RemoveKeyed(kind, key);
  save_opt();
}

}  // namespace rizediveva6
