// remember_files: the class fact database f1 (db_lastfile, then
// ndb_other_files) and its file.
//
// Invariants: `loaded` is set once the file was read whole, or set aside as
// damaged; until then each operation looks for the file again.
#include "SYSTEM/orv_list/remember_files.h"

#include <cwchar>
#include <string>

#include "SYSTEM/options/fact_file.h"
#include "application/Exe/mainExe.h"
#include "fileSystem/file.h"
#include "fileSystem/fileName.h"
#include "qel6decl.h"
#include "unit.h"

namespace rizediveva6 {

namespace decl = Qel::RunTime::Decl;
using namespace Qel::RunTime::Terms;
using namespace Qel::RunTime::Terms::DBInternal;
using Qel::RunTime::RScopeClassDescriptor;

namespace classes {
extern RScopeClassDescriptor remember_files;
}

namespace {
struct NameFact {
  uint64_t functor;
  const wchar_t* name;
};
enum FactNo : uint32_t { kLast = 1, kOthers };
}  // namespace

namespace domains {
decl::Arguments nameFactArgs{{QEL_ARG(NameFact, name, tav::domains::string)}};
RFactDescriptor f1Facts[] = {
    {L"db_lastfile", nameFactArgs.a, 1, sizeof(NameFact), 0, 1, 0, 0},
    {L"ndb_other_files", nameFactArgs.a, 1, sizeof(NameFact), 0, 0, 0, 0},
};
RFactHead f1Heads[2];
RFactDatabase f1{decl::Head(kClassFacts, sizeof(RFactDatabase),
                            {L"f1", QEL_HERE, nullptr, &classes::remember_files}),
                 2, f1Facts, 0, reinterpret_cast<uintptr_t>(f1Heads)};
}  // namespace domains

namespace classes {
RScopeClassDescriptor remember_files = decl::Class(L"remember_files", QEL_HERE, &domains::f1.head);
}

const tav::ClassInfo remember_files::classInfo{L"qel6pack/orv_list/remember_files",
                                                TAV_CLASS_VERSION};

namespace {

const TDB* F1() { return tav::D(domains::f1); }
RFactHead* Chain(uint32_t fact) { return domains::f1Heads + (fact - 1); }
const wchar_t* NameOf(const uint8_t* t) { return reinterpret_cast<const NameFact*>(t)->name; }

const tav::FactDB f1Db{tav::D(domains::f1), nullptr};
FactFile remFile{&f1Db, {}};
bool loaded = false;
bool readNoted = false;
bool saveNoted = false;

const wchar_t* LastFile() {
  RStructFact* c = Chain(kLast)->first;
  return c ? NameOf(c->term) : nullptr;
}
bool AmongOthers(const wchar_t* name) {
  for (RStructFact* c = Chain(kOthers)->first; c; c = c->next)
    if (wcscmp(NameOf(c->term), name) == 0) return true;
  return false;
}
void AddOther(const wchar_t* name, bool atFront) {
  NameFact f{kOthers, name};
  auto* t = reinterpret_cast<const uint8_t*>(&f);
  if (atFront) TDBClassInternalDomainDefinition::AssertAClass(F1(), t);
  else TDBClassInternalDomainDefinition::AssertZClass(F1(), t);
}
void RemoveOther(const wchar_t* name) {
  RemoveWhere(Chain(kOthers), [&](const uint8_t* t) { return wcscmp(NameOf(t), name) == 0; });
}

void init() {
  if (loaded) return;
  const wchar_t* name = RecentFilesName();
  if (!tav::file::existfile(name)) return;
  uint32_t code = 0;
  const ReadOutcome outcome = ReadFactFile(remFile, name, true, &code);
  switch (outcome) {
    case ReadOutcome::absent:
      return;
    case ReadOutcome::read:
      loaded = true;
      return;
    case ReadOutcome::unreadable:
      NoteOnce(&readNoted, tav::string::concat(L"The list of recently used files \"", name,
                                               L"\" cannot be opened (", SystemMessage(code),
                                               L")."));
      return;
    case ReadOutcome::damaged:
    case ReadOutcome::damagedInPlace:
      RetractAllinDBClass(F1());
      loaded = true;
      NoteOnce(&readNoted,
               outcome == ReadOutcome::damaged
                   ? tav::string::concat(L"The list of recently used files \"", name,
                                         L"\" is damaged and was renamed to \"",
                                         tav::fileName::getname(name),
                                         L".rem file.damaged\". The list starts empty.")
                   : tav::string::concat(L"The list of recently used files \"", name,
                                         L"\" is damaged and could not be renamed (",
                                         SystemMessage(code), L"). The list starts empty."));
      return;
  }
}

void check_files_exist() {
  RemoveWhere(Chain(kOthers), [](const uint8_t* t) { return !tav::file::existfile(NameOf(t)); });
}

void save_it() {
  check_files_exist();
  const wchar_t* name = RecentFilesName();
  WriteFailure f = SaveFactFile(remFile, name);
  if (!f.Failed()) return;
  NoteOnce(&saveNoted,
           tav::string::concat(L"The list of recently used files cannot be saved to \"", name,
                               L"\" (", tav::string::concat(f.api, L": ", SystemMessage(f.code)),
                               L")."));
}

}  // namespace

const wchar_t* RecentFilesName() {
  static const std::wstring name = [] {
    const wchar_t* path;
    const wchar_t* program;
    tav::mainExe::getfilename(&path, &program);
    return std::wstring(path) + tav::fileName::getname(program) + L".rem file";
  }();
  return name.c_str();
}

last_file_result remember_files::get_last_file(const wchar_t** fileName) {
  init();
  const wchar_t* last = LastFile();
  *fileName = last ? last : L"";
  return last ? last_file_result::last_file : last_file_result::no_last_file;
}

void remember_files::put_last_file(const wchar_t* fileName) {
  init();
  if (const wchar_t* last = LastFile(); last && !AmongOthers(last)) AddOther(last, true);
  RetractAllinFactClass(F1(), kLast - 1);
  NameFact f{kLast, fileName};
  TDBClassInternalDomainDefinition::AssertZClass(F1(), reinterpret_cast<const uint8_t*>(&f));
  RemoveOther(fileName);
  save_it();
}

void remember_files::add_file(const wchar_t* fileName) {
  init();
  if (AmongOthers(fileName)) return;
  AddOther(fileName, false);
  save_it();
}

bool remember_files::nd_all_files_except_last(tav::Each<const wchar_t*> k) {
  init();
  // A snapshot: the continuation may change the list.
  uint32_t n = 0;
  for (RStructFact* c = Chain(kOthers)->first; c; c = c->next) ++n;
  auto** names = static_cast<const wchar_t**>(tav::GStackAlloc(8 * (n + 1)));
  n = 0;
  for (RStructFact* c = Chain(kOthers)->first; c; c = c->next) names[n++] = NameOf(c->term);
  const wchar_t* last = LastFile();
  for (uint32_t i = 0; i < n; ++i)
    if ((!last || wcscmp(names[i], last) != 0) && tav::TrySolution(k, names[i])) return true;
  return false;
}

const tav::StringList* remember_files::get_all_files() {
  init();
  uint32_t n = 0;
  for (RStructFact* c = Chain(kOthers)->first; c; c = c->next) ++n;
  auto* cells = static_cast<tav::StringList*>(tav::GStackAlloc(sizeof(tav::StringList) * (n + 1)));
  tav::StringList* cell = cells;
  for (RStructFact* c = Chain(kOthers)->first; c; c = c->next, ++cell)
    *cell = tav::StringList{1, NameOf(c->term), cell + 1};
  *cell = tav::StringList{2, nullptr, nullptr};
  return cells;
}

void remember_files::put_all_files_except_last(const tav::StringList* files) {
  init();
  RetractAllinFactClass(F1(), kOthers - 1);
  const wchar_t* last = LastFile();
  for (const tav::StringList* l = files; !l->Empty(); l = l->tail)
    if (!last || wcscmp(l->head, last) != 0) AddOther(l->head, false);
  check_files_exist();
  save_it();
}

}  // namespace rizediveva6
