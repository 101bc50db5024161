// The import of a previous-version roster file.  The read phase fills a
// km5_contents of heap lists (no destructors: a raise may cross it); the
// write phase runs only on a complete, checked read.
//
// Invariants:
//  - Selector 1 is held only inside ReadFile and freed on every way out.
//  - Every error of the read phase reaches the caller with the file's name
//    in its trace.
//  - The previous version's record domains are this class's: person1,
//    dt1 and task_loc_slot, each with a `dummy` alternative that is skipped.
#include "importKM5/importKM5File.h"

#include <cwchar>

#include "KWI/orvtoolkwi/heap_array.h"
#include "all_unit.h"
#include "SYSTEM/myKWI/myKWI.h"
#include "SYSTEM/orv_list/orv_list.h"
#include "exception/exception.h"
#include "importKM5/km5_records.h"
#include "kalmoradb/groups.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/locations.h"
#include "kalmoradb/roster_types.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/tasks.h"
#include "kalmoradb/typical_db.h"
#include "kwi/kwi.h"
#include "qel6chaindb.h"
#include "qel6decl.h"
#include "unit.h"

namespace all {

namespace decl = Qel::RunTime::Decl;
using namespace Qel::RunTime::Terms;
using Qel::RunTime::RScopeClassDescriptor;
using rizediveva6::HeapArray;
using rizediveva6::ListBuilder;
namespace td = tav::domains;
namespace rz = rizediveva6::domains;

const tav::ClassInfo importKM5File::classInfo{L"qel6pack/all/importKM5/importKM5File", TAV_CLASS_VERSION};
const tav::ExceptionDescriptor importKM5File::invalidfile{&classInfo, L"invalidfile",
                                                          L"Invalid previous-version file"};

// --- The previous version's records -------------------------------------------------------

namespace km5 {

namespace classes {
extern RScopeClassDescriptor importKM5File;
}
#define AT(name, prev) {L## #name, QEL_HERE, prev, &classes::importKM5File}

decl::Arguments person1Args{{QEL_ARG(Person1Term, ref, domains::chain_ref), QEL_ARG(Person1Term, name, td::string),
                             QEL_ARG(Person1Term, practice, td::string), QEL_ARG(Person1Term, colour, td::integer),
                             QEL_ARG(Person1Term, letter, td::char_),
                             QEL_ARG(Person1Term, mark, domains::deleted_or_not)}};
RFunctor person1Functors[] = {decl::Functor<Person1Term>(L"person1", person1Args), decl::Constant(L"dummy")};
RCompoundDomain person1 = decl::Compound(AT(person1, nullptr), person1Functors);

decl::Arguments dt1Args{{QEL_ARG(Dt1Term, year, td::integer), QEL_ARG(Dt1Term, month, td::integer),
                         QEL_ARG(Dt1Term, day, td::integer)}};
RFunctor dt1Functors[] = {decl::Functor<Dt1Term>(L"dt1", dt1Args), decl::Constant(L"dummy")};
RCompoundDomain dt1 = decl::Compound(AT(dt1, &person1.head), dt1Functors);

decl::Arguments tlsArgs{{QEL_ARG(TlsTerm, task, td::unsigned_), QEL_ARG(TlsTerm, where, td::unsigned_),
                         QEL_ARG(TlsTerm, slot, td::integer)}};
RFunctor tlsFunctors[] = {decl::Functor<TlsTerm>(L"task_loc_slot", tlsArgs), decl::Constant(L"dummy")};
RCompoundDomain task_loc_slot = decl::Compound(AT(task_loc_slot, &dt1.head), tlsFunctors);
#undef AT

namespace classes {
RScopeClassDescriptor importKM5File = decl::Class(L"importKM5File", QEL_HERE, &task_loc_slot.head);
decl::UnitTable unit{&importKM5File};
}

int InitializeUnit() {
  static int result = [] {
    int r = all::InitializeUnit();
    if (r) return r;
    return Qel::RunTime::RunUnitInitialization(nullptr, reinterpret_cast<void*>(&InitializeUnit),
                                               classes::unit.Table(), nullptr);
  }();
  return result;
}

}  // namespace km5


namespace {

constexpr uint8_t kSelector = 1;
constexpr uint8_t kPlaceFile = 2;
constexpr uint32_t kMaxNames = 10;

struct doctor {
  const wchar_t* name;
  const wchar_t* practice;
  int32_t colour;
  wchar_t letter;
  uint64_t mark;
};

// What the read phase found; heap lists only.
struct km5_contents {
  HeapArray<doctor> doctors;
  HeapArray<const wchar_t*> locations, tasks;
  bool hasWeeks = false, hasStart = false;
  uint32_t weeks = 0;
  rizediveva6::dt start{};
  HeapArray<tls> typical[3];  // Saturday, Sunday, weekday
};

struct day_chain {
  const wchar_t* chain;
  uint32_t dayKind;
};
constexpr day_chain kDays[3] = {{L"saturday_chain", kSaturday}, {L"sunday_chain", kSunday},
                                {L"weekday_chain", kWeekday}};

// The chain and position of the record being read, for the error's trace.
struct read_place {
  const wchar_t* file;
  const wchar_t* chain = L"";
  uint32_t position = 0;
};

[[noreturn]] void RaiseInvalid(const read_place& at, const wchar_t* reason) {
  TAV_AT();
  tav::exception::raise(&importKM5File::classInfo, &importKM5File::invalidfile,
                        tav::Values({{L"File name", tav::value::string(at.file)},
                                     {L"Chain", tav::value::string(at.chain)},
                                     {L"Position", tav::value::unsigned_(at.position)},
                                     {L"Reason", tav::value::string(reason)}}));
}

bool IsBlank(const wchar_t* s) {
  for (; *s; ++s)
    if (!iswspace(*s)) return false;
  return true;
}

bool IsRealDate(const rizediveva6::dt& d) {
  static const uint32_t days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0;
  const uint32_t last = d.month == 2 && leap ? 29 : days[d.month - 1];
  return d.day <= last;
}

// Runs each(term) for the terms of the chain in chain order, with `at`
// naming the record, until it answers false; a missing chain gives none.
template <class F>
void EachTerm(const IDomainDefinition* d, const wchar_t* chain, read_place& at, F each) {
  at.chain = chain;
  at.position = 0;
  Qel::RunTime::Kernel::Succeeds([&] {
    chainDB8::QEL_DB8_ChainTerms(
        d, &kSelector, chain,
        [](void* ctx, chainDB8::term t, chainDB8::TRef) {
          if ((*static_cast<F*>(ctx))(t)) Qel::RunTime::Kernel::Fail();
        },
        &each);
  });
}

void ReadNames(const wchar_t* chain, read_place& at, HeapArray<const wchar_t*>& out) {
  EachTerm(Domain(td::string), chain, at, [&](chainDB8::term t) {
    ++at.position;
    auto* name = reinterpret_cast<const wchar_t*>(t);
    if (IsBlank(name)) RaiseInvalid(at, L"blank name");
    if (out.size() == kMaxNames) RaiseInvalid(at, L"more than 10 names");
    out.push_back(tav::HeapCopy(name));
    return true;
  });
}

void ReadDoctors(read_place& at, km5_contents& c) {
  EachTerm(Domain(km5::person1), L"staff_chain", at, [&](chainDB8::term t) {
    ++at.position;
    auto* p = reinterpret_cast<const km5::Person1Term*>(t);
    if (p->functor != km5::kRecord) return true;
    c.doctors.push_back(doctor{tav::HeapCopy(p->name), tav::HeapCopy(p->practice), p->colour, p->letter,
                               p->mark->functor == kDeleted ? kDeleted : kExists});
    return true;
  });
}

void ReadHeader(read_place& at, km5_contents& c) {
  at.chain = L"number_of_periods";
  at.position = 1;
  chainDB8::TRef first = 0;
  if (Qel::RunTime::Kernel::Succeeds([&] { first = chainDB8::QEL_DB8_ChainFirst(&kSelector, at.chain); })) {
    uint32_t weeks;
    memcpy(&weeks, chainDB8::QEL_DB8_RefTerm(Domain(td::unsigned_), &kSelector, first), 4);
    rizediveva6::CheckRange(domains::period_no, weeks);
    c.weeks = weeks;
    c.hasWeeks = true;
  }
  // The first dt1 record, copied out of the walk.
  km5::Dt1Term date{};
  EachTerm(Domain(km5::dt1), L"start_date", at, [&](chainDB8::term t) {
    ++at.position;
    auto* d = reinterpret_cast<const km5::Dt1Term*>(t);
    if (d->functor != km5::kRecord) return true;
    date = *d;
    return false;
  });
  if (date.functor != km5::kRecord) return;
  rizediveva6::CheckRange(rz::year, date.year);
  rizediveva6::CheckRange(rz::month, date.month);
  rizediveva6::CheckRange(rz::day, date.day);
  c.start = rizediveva6::dt{static_cast<uint32_t>(date.year), static_cast<uint32_t>(date.month),
                            static_cast<uint32_t>(date.day)};
  if (!IsRealDate(c.start)) RaiseInvalid(at, L"no such date");
  c.hasStart = true;
}

void ReadTypical(read_place& at, km5_contents& c) {
  for (uint32_t k = 0; k < 3; ++k)
    EachTerm(Domain(km5::task_loc_slot), kDays[k].chain, at, [&](chainDB8::term t) {
      ++at.position;
      auto* r = reinterpret_cast<const km5::TlsTerm*>(t);
      if (r->functor != km5::kRecord) return true;
      rizediveva6::CheckRange(domains::task_dom, r->task);
      rizediveva6::CheckRange(domains::where_dom, r->where);
      rizediveva6::CheckRange(domains::slot_dom, r->slot);
      c.typical[k].push_back(tls{r->task, r->where, static_cast<uint32_t>(r->slot)});
      return true;
    });
}

// The read phase under one trap; the file closed whatever happened.  The
// error code (0: read).
uint32_t ReadFile(const wchar_t* file, km5_contents& c, read_place& at) {
  volatile bool opened = false;
  const uint32_t code = Qel::RunTime::Kernel::RunTrapped([&] {
    chainDB8::QEL_DB8_OpenRead(&kSelector, file, &kPlaceFile);
    opened = true;
    ReadDoctors(at, c);
    ReadNames(L"location_chain", at, c.locations);
    ReadNames(L"task_chain", at, c.tasks);
    ReadHeader(at, c);
    ReadTypical(at, c);
  });
  if (opened) rizediveva6::TrapAndForget([] { chainDB8::QEL_DB8_Close(&kSelector); });
  return code;
}

// Passes a read error on with the file's name (and the record being read)
// added to its trace; the import's own exception already names them.
[[noreturn]] void PassOn(uint32_t code, const read_place& at) {
  auto place = [&](const tav::NamedValueList* rest) {
    return tav::Prepend({{L"File name", tav::value::string(at.file)},
                         {L"Chain", tav::value::string(at.chain)},
                         {L"Position", tav::value::unsigned_(at.position)}},
                        rest);
  };
  TAV_AT();
  if (code < tav::kFirstTraceId)
    tav::exception::raise(&importKM5File::classInfo, tav::runtime_exception::exceptionfromerrorcode(code),
                          place(tav::EmptyList()));
  if (tav::exception::trygetdescriptor(code, &importKM5File::invalidfile))
    Qel::RunTime::Kernel::Errors::Qel_ErrorExit(code);
  // The newest entry's exception and extra information go on, the file's
  // place in front.
  const tav::TraceEntry* newest = nullptr;
  tav::exception::getdescriptor_nd(code, [&](const tav::TraceEntry* e) { newest = e; });
  tav::exception::continue_(code, &importKM5File::classInfo, newest->exception, place(newest->extraInfo));
}

// A name's number in a list that holds it (1-based), 0 when absent.
uint32_t NumberOf(const HeapArray<const wchar_t*>& names, const wchar_t* name) {
  for (uint32_t i = 0; i < names.size(); ++i)
    if (wcscmp(names[i], name) == 0) return i + 1;
  return 0;
}

// Appends each name (a repeat once) and gives the map from the file's
// position (index 0 = position 1) to the roster's number.
HeapArray<uint32_t> AddNames(const HeapArray<const wchar_t*>& names, void (*add)(int32_t, const wchar_t*)) {
  HeapArray<const wchar_t*> added;
  HeapArray<uint32_t> map;
  for (const wchar_t* name : names) {
    uint32_t n = NumberOf(added, name);
    if (!n) {
      added.push_back(name);
      n = added.size();
      add(static_cast<int32_t>(n), name);
    }
    map.push_back(n);
  }
  return map;
}

uint32_t Mapped(const HeapArray<uint32_t>& map, uint32_t number) {
  return number >= 1 && number <= map.size() ? map[number - 1] : number;
}

uint32_t Length(const rizediveva6::SList* l) {
  uint32_t n = 0;
  for (; !l->Empty(); l = l->tail) ++n;
  return n;
}

void WriteDoctor(const doctor& d) {
  const bool hasPractice = !IsBlank(d.practice);
  if (hasPractice) groups::add_group(static_cast<int32_t>(Length(groups::list_groups()) + 1), d.practice);
  const PersonTerm* existing = nullptr;
  const bool repeated = staff_db::get_person(d.name, &existing);
  staff_db::add_name(d.name);
  if (repeated) return;
  const PersonTerm* added = nullptr;
  if (!staff_db::get_person(d.name, &added)) return;
  const rizediveva6::SList* practice =
      hasPractice ? rizediveva6::MakeList<const wchar_t*>({d.practice}) : rizediveva6::Nil<const wchar_t*>();
  staff_db::replace_person(MakePerson(added->ref, d.name, practice, d.colour, d.letter, d.mark));
}

void WriteRoster(const km5_contents& c) {
  for (const doctor& d : c.doctors) WriteDoctor(d);
  const HeapArray<uint32_t> whereMap = AddNames(c.locations, [](int32_t n, const wchar_t* s) { locations::add_loc(n, s); });
  const HeapArray<uint32_t> taskMap = AddNames(c.tasks, [](int32_t n, const wchar_t* s) { tasks::add_task(n, s); });
  if (c.hasWeeks) kalmora_DB::put_weeks_duration(c.weeks);
  if (c.hasStart) kalmora_DB::put_start_date(rizediveva6::time_convert::date_tv(c.start));
  for (uint32_t k = 0; k < 3; ++k) {
    if (c.typical[k].empty()) continue;
    ListBuilder<tls> duties;
    for (const tls& t : c.typical[k]) duties.Add(tls{Mapped(taskMap, t.task), Mapped(whereMap, t.where), t.slot});
    typical_db::add_tls(kDays[k].dayKind, duties.Finish());
  }
}

// False (after the note) unless a roster is open and holds no doctor,
// practice, task or location.
bool RosterIsEmpty() {
  if (!kalmora_DB::is_init()) {
    staff_db::state.is_initialised();
    return false;
  }
  const bool empty = !staff_db::nd_person([](const PersonTerm*) {}) && groups::list_groups()->Empty() &&
                     tasks::list_tasks()->Empty() && locations::list_locs()->Empty();
  if (!empty) rizediveva6::myKWI::note(L"Import needs a new, empty roster");
  return empty;
}

// The read phase with its errors passed on.
void Read(const wchar_t* fileName, km5_contents& contents) {
  if (km5::InitializeUnit()) Qel::RunTime::Kernel::Errors::InternalError(L"The import's unit cannot be linked");
  read_place at{tav::HeapCopy(fileName)};
  const uint32_t code = ReadFile(fileName, contents, at);
  if (code) PassOn(code, at);
}

}  // namespace

uint32_t km5::read_records(const wchar_t* fileName) {
  km5_contents c;
  Read(fileName, c);
  return c.doctors.size() + c.locations.size() + c.tasks.size() + c.typical[0].size() + c.typical[1].size() +
         c.typical[2].size() + (c.hasWeeks ? 1 : 0) + (c.hasStart ? 1 : 0);
}

void importKM5File::import() {
  tav::kwi::processevents();
  const wchar_t* filters[] = {L"Kalmora5 files", L".km5"};
  const rizediveva6::FileDialogRequest request{
      L"*.km5", tav::MakeStringList({filters[0], filters[1]}),
      L"Select old Kalmora5 file to import - creates a new KM6 file", nullptr, 0, L"C:\\"};
  const wchar_t* chosen = nullptr;
  const tav::StringList* selected = nullptr;
  if (!rizediveva6::myKWI::getfilename(request, &chosen, &selected)) return;
  imp(chosen);
}

void importKM5File::imp(const wchar_t* fileName) {
  if (!RosterIsEmpty()) return;
  km5_contents contents;
  Read(fileName, contents);
  WriteRoster(contents);
}

}  // namespace all
