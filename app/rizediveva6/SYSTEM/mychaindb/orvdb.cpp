// orvDB: see the header.
#include "SYSTEM/mychaindb/orvdb.h"

#include <cwchar>

#include "SYSTEM/myKWI/myKWI.h"
#include "exception/exception.h"
#include "fileSystem/file.h"
#include "fileSystem/fileName.h"
#include "stream/stream.h"
#include "time/time.h"
#include "unit.h"

namespace rizediveva6 {

using namespace tav;
using tav::chainDB;
namespace Tm = Qel::RunTime::Terms;

const ClassInfo orvDB::classInfo{L"qel6pack/chainDB/orvDB", TAV_CLASS_VERSION};

// --- terms ---

const wchar_t* file_def::Name() const {
  switch (Kind()) {
    case FileKind::file_def: return reinterpret_cast<const FileDefFile*>(this)->name;
    case FileKind::memory: return reinterpret_cast<const FileDefMemory*>(this)->name;
    case FileKind::volatile_: return reinterpret_cast<const FileDefVolatile*>(this)->name;
    default: return nullptr;
  }
}
uint32_t file_def::Backup() const {
  if (Kind() == FileKind::file_def) return reinterpret_cast<const FileDefFile*>(this)->backup;
  if (Kind() == FileKind::memory) return reinterpret_cast<const FileDefMemory*>(this)->backup;
  return 0;
}
bool file_def::NewFileFlag() const {
  return Kind() == FileKind::file_def && reinterpret_cast<const FileDefFile*>(this)->newFileFlag->functor == 2;
}

namespace {

template <class S>
S* New() {
  return static_cast<S*>(GStackAlloc(sizeof(S)));
}
const BooleanTerm* Boolean(bool b) {
  auto* t = New<BooleanTerm>();
  t->functor = b ? 2 : 1;
  return t;
}

}  // namespace

const file_def* make_file_def(const wchar_t* name, bool newFileFlag, uint32_t backup) {
  CheckRange(domains::backup, backup);
  auto* t = New<FileDefFile>();
  *t = FileDefFile{1, name, Boolean(newFileFlag), backup};
  return reinterpret_cast<const file_def*>(t);
}
const file_def* make_memory(const wchar_t* name, uint32_t backup) {
  CheckRange(domains::backup, backup);
  auto* t = New<FileDefMemory>();
  *t = FileDefMemory{2, name, backup};
  return reinterpret_cast<const file_def*>(t);
}
const file_def* make_volatile(const wchar_t* name) {
  auto* t = New<FileDefVolatile>();
  *t = FileDefVolatile{3, name};
  return reinterpret_cast<const file_def*>(t);
}
const file_def* make_no_file() {
  auto* t = New<file_def>();
  t->functor = 4;
  return t;
}
const saved_result* make_saved(Saved kind, const wchar_t* text) {
  auto* t = New<saved_result>();
  *t = saved_result{static_cast<uint64_t>(kind), text};
  return t;
}

namespace {

const saved_result* Error(const wchar_t* code) { return make_saved(Saved::not_saved_error, code); }
const closed_result* Closing(Closed kind, const void* arg = nullptr) {
  auto* t = New<closed_result>();
  *t = closed_result{static_cast<uint64_t>(kind), arg};
  return t;
}
const closed_result* NotClosed(const wchar_t* code) { return Closing(Closed::not_closed_error, code); }

}  // namespace

// The run-time error number a trace carries (0 when it carries none) and the
// text to show for it: the run-time error's message, else the newest
// entry's description.
uint32_t TraceErrorNumber(uint32_t traceId, const wchar_t** text) {
  uint32_t number = 0;
  *text = L"";
  if (traceId < 65536) return traceId;
  exception::getdescriptor_nd(traceId, [&](const TraceEntry* e) {
    if (!**text) *text = e->description;
    const ValueTerm* code = exception::trygetextrainfo(e, L"error code");
    if (!code || code->Kind() != ValueKind::unsigned_) K::Fail();
    number = code->As<uint32_t>();
    const ValueTerm* message = exception::trygetextrainfo(e, L"ExtraInfo");
    if (message && message->Kind() == ValueKind::string && *message->As<const wchar_t*>())
      *text = message->As<const wchar_t*>();
  });
  return number;
}

const wchar_t* HandledErrorText(uint32_t traceId, uint32_t* number) {
  const wchar_t* text;
  const uint32_t n = TraceErrorNumber(traceId, &text);
  if (number) *number = n;
  if (traceId >= 65536) exception::clear(traceId);
  return text;
}

namespace {

// The database's refusals of a file's content (update mark, damaged
// structure, short file): a repair open may help.  Anything else (the file
// locked or unreadable) is not the content's fault.
bool RefusesContent(uint32_t number) { return number == 1317 || number == 1326 || number == 1111; }

// Opens the file database `from` (plainly, or in spite of its mark), copies
// it into the memory database `name` and closes it on every way out; the
// memory database opened.  `opened` (with the name) goes to the message
// window once the file is open; null for none.  0 or the trace of the error,
// which the caller owns.
uint32_t Load(const wchar_t* from, const wchar_t* name, bool invalidOk, const wchar_t* opened,
              chainDB** memory) {
  chainDB* volatile file = nullptr;
  uint32_t code = K::RunTrapped([&] {
    file = invalidOk ? chainDB::db_openinvalid(from, place::in_file) : chainDB::db_open(from, place::in_file);
  });
  if (code) return code;
  volatile bool copied = false;
  code = K::RunTrapped([&] {
    if (opened) myKWI::message_write({opened, name});
    file->db_copy(name, place::in_memory);
    copied = true;
  });
  const uint32_t closing = K::RunTrapped([&] { file->db_close(); });
  if (code && closing >= 65536) exception::clear(closing);
  if (!code) code = closing;
  if (!code) code = K::RunTrapped([&] { *memory = chainDB::db_open(name, place::in_memory); });
  // Only a memory database this load made goes: a failed copy leaves none
  // (and a memory database of that name may belong to another document).
  if (code && copied) TrapAndForget([&] { chainDB::db_delete(name, place::in_memory); });
  return code;
}

}  // namespace

// --- construction ---

void orvDB::Store(const file_def* fd) {
  sdb_file_def = reinterpret_cast<const file_def*>(
      Tm::CopyTermFromGStack(D(domains::file_def), reinterpret_cast<term>(fd)));
}

orvDB* orvDB::new_file_def(const file_def* fd) {
  orvDB* o = NewObject<orvDB>();
  o->sdb_state = kStateNone;
  o->sdb_file_def = make_no_file();
  o->Store(o->sdb_file_def);
  const wchar_t* name = fd->Name();
  switch (fd->Kind()) {
    case FileKind::volatile_:
    case FileKind::memory:
      o->xdb = chainDB::db_create(name, place::in_memory);
      o->memoryName = HeapCopy(name);
      o->sdb_state = kStateMemory;
      o->Store(fd);
      return o;
    case FileKind::file_def:
      if (file::existfile(name)) {
        o->OpenFile(name);
        if (o->sdb_state == kStateOpened) o->Store(fd);
        return o;
      }
      o->xdb = chainDB::db_create(name, place::in_memory);
      o->memoryName = HeapCopy(name);
      o->sdb_state = kStateCreated;
      myKWI::message_write({L"\n CREATE ", name});
      o->Store(fd);
      return o;
    default:
      myKWI::note(L"Failed to open database");
      return o;
  }
}

// Rules 2 to 4 of the open: plain open; a refused content gets the repair
// open; any other error ends in state 100 with its text.
void orvDB::OpenFile(const wchar_t* name) {
  chainDB* memory = nullptr;
  const uint32_t code = Load(name, name, false, L"\n OPEN ", &memory);
  if (!code) {
    xdb = memory;
    memoryName = HeapCopy(name);
    sdb_state = kStateOpened;
    // The "x" copy beside the document; a failure is only logged.
    const uint32_t copying = K::RunTrapped([&] {
      if (file::existfile(name)) file::copy(name, string::concat(name, L"x"));
    });
    if (copying) myKWI::message_write({L"\n COPY FAILED ", name, L"x ", HandledErrorText(copying)});
    return;
  }
  uint32_t number;
  const wchar_t* text = HandledErrorText(code, &number);
  if (!RefusesContent(number)) {
    myKWI::note(string::concat(L"Failed to open database\n", name, L"\n", text));
    return;
  }
  boo_invalid = true;
  Repair(name, false);
}

// The repair open (rule 3): the damaged bytes are kept in Name.damaged,
// and the repair works on a copy of its own, so the document file stays as
// it is until a save.
void orvDB::Repair(const wchar_t* name, bool quiet) {
  const wchar_t* kept = string::concat(name, L".damaged");
  const wchar_t* work = string::concat(name, L".repairing");
  const uint32_t copying = TrapAndForget([&] {
    file::copy(name, kept);
    file::copy(name, work);
  });
  if (!quiet) {
    Tm::TEllipsisArgs<1> a;
    a.SetTerm(0, D(tav::domains::string), name);
    myKWI::note(copying ? string::format(L"% is invalid", a)
                        : string::concat(string::format(L"% is invalid", a), L"\nIts bytes are kept in ", kept));
  }
  chainDB* memory = nullptr;
  const uint32_t loading = copying ? copying : Load(work, name, true, quiet ? nullptr : L"\n OPEN INVALID", &memory);
  if (!copying && loading >= 65536) exception::clear(loading);
  TrapAndForget([&] {
    if (file::existfile(work)) file::delete_(work);
  });
  if (!loading) {
    xdb = memory;
    memoryName = HeapCopy(name);
    sdb_state = kStateOpened;
    return;
  }
  if (!quiet) myKWI::note(L"Failed to open invalid database");
}

orvDB* orvDB::new_invalid(const file_def* fd) {
  orvDB* o = NewObject<orvDB>();
  o->sdb_state = kStateNone;
  o->Store(make_no_file());
  if (fd->Kind() != FileKind::file_def || !file::existfile(fd->Name())) return o;
  o->Repair(fd->Name(), true);
  if (o->sdb_state == kStateOpened) o->Store(fd);
  return o;
}

// --- references as numbers ---

bool orvDB::ref_int(int32_t ref, uint32_t* number) {
  const wchar_t* text = chainDB::str_ref(ref);
  uint64_t v = 0;
  bool ok = text[0] == L'~' && text[1];
  for (const wchar_t* p = text + 1; ok && *p; ++p) {
    const wchar_t c = *p;
    const int digit = c >= L'0' && c <= L'9' ? c - L'0' : c >= L'A' && c <= L'F' ? c - L'A' + 10
                                                      : c >= L'a' && c <= L'f' ? c - L'a' + 10 : -1;
    ok = digit >= 0 && (v = v * 16 + digit) <= UINT32_MAX;
  }
  if (!ok) {
    myKWI::note(L"Ref_nt fail");
    return false;
  }
  *number = static_cast<uint32_t>(v);
  return true;
}

bool orvDB::ref_int(uint32_t number, int32_t* ref) {
  wchar_t text[16];
  swprintf(text, 16, L"~%x", number);
  // Past the references' range the database fails or raises 1319: both are
  // a failed conversion here.
  bool converted = false;
  TrapAndForget([&] { converted = chainDB::str_ref(text, ref); });
  if (converted) return true;
  myKWI::note(L"Ref_nt fail");
  return false;
}

// --- saving ---

void orvDB::CopyToFile(const wchar_t* name) {
  xdb->db_copy(name, place::in_file);
  sdb_modified = false;
}

void orvDB::SaveBackup(const wchar_t* name, uint32_t backup) {
  if (backup != kBackupDayHour && backup != kBackupMonthDay) return;
  int32_t year, month, day, hour, minute;
  tav::time::new_()->getdateandtime(&year, &month, &day, &hour, &minute);
  wchar_t suffix[32];
  if (backup == kBackupDayHour) swprintf(suffix, 32, L"(%d_%d)", day, hour);
  else swprintf(suffix, 32, L"_%d(%d)", month, day);
  xdb->db_copy(string::concat(name, suffix), place::in_file);
}

const saved_result* orvDB::orv_save(const SList* filter) {
  if (sdb_state == kStateClosed) {
    myKWI::note(L"Error 899 - already closed");
    return make_saved(Saved::not_saved_closed);
  }
  xdb->db_flush();
  return save_my_db(sdb_state, sdb_file_def, filter);
}

const saved_result* orvDB::save_my_db(uint32_t state, const file_def* fd, const SList*) {
  const wchar_t* name = fd->Name();
  switch (fd->Kind()) {
    case FileKind::volatile_: return Error(L"102");
    case FileKind::memory:
      if (state == kStateCreated) return Error(L"87");
      if (state == kStateOpened) return Error(L"88");
      if (state == kStateMemory) return Error(L"prog err 1821");
      break;
    case FileKind::file_def:
      if (state == kStateCreated && !fd->NewFileFlag() && !sdb_modified) return make_saved(Saved::no_need_to_save);
      if (state == kStateOpened && !sdb_modified) return make_saved(Saved::no_need_to_save);
      if (state == kStateCreated) {
        CopyToFile(name);
        SaveBackup(name, fd->Backup());
        return make_saved(Saved::saved, name);
      }
      if (state == kStateOpened) {
        CopyToFile(name);
        return make_saved(Saved::saved, name);
      }
      if (state == kStateMemory && sdb_modified) return Error(L"89");
      break;
    case FileKind::no_file:
      if (state == kStateCreated) return Error(L"90");
      if (state == kStateOpened) return Error(L"91");
      if (state == kStateMemory) return Error(L"92");
      break;
  }
  return make_saved(Saved::not_saved_unknown);
}

const saved_result* orvDB::orv_quiet_save_as(bool adoptName, const wchar_t* newName) {
  if (sdb_state == kStateClosed) return make_saved(Saved::not_saved_closed);
  if (sdb_state != kStateCreated && sdb_state != kStateOpened && sdb_state != kStateMemory)
    return make_saved(Saved::not_saved_unknown);
  xdb->db_flush();
  if (!adoptName) {
    xdb->db_copy(newName, place::in_file);  // a copy only: the document stays modified
    return make_saved(Saved::saved, newName);
  }
  CopyToFile(newName);
  const file_def* fd = sdb_file_def;
  if (fd->Kind() == FileKind::file_def) Store(make_file_def(newName, fd->NewFileFlag(), fd->Backup()));
  else if (fd->Kind() == FileKind::memory) Store(make_memory(newName, fd->Backup()));
  return make_saved(Saved::saved, newName);
}

// --- closing ---

void orvDB::Close() {
  xdb->db_close();
  sdb_state = kStateClosed;
  chainDB::db_delete(memoryName, place::in_memory);
}

const closed_result* orvDB::orv_close(const SList* filter, bool saveFirst) {
  const uint32_t state = sdb_state;
  if (state == kStateClosed) return Closing(Closed::already_closed);
  const file_def* fd = sdb_file_def;
  const bool createdOrOpened = state == kStateCreated || state == kStateOpened;
  switch (fd->Kind()) {
    case FileKind::volatile_:
      Close();
      return Closing(Closed::closed, make_saved(Saved::no_need_to_save));
    case FileKind::memory:
      if (state == kStateCreated) return NotClosed(L"91");
      if (state == kStateOpened) return NotClosed(L"92");
      break;
    case FileKind::file_def:
      if (createdOrOpened && saveFirst) {
        const saved_result* r = orvDB::save_my_db(state, fd, filter);
        if (r->Kind() != Saved::saved) break;
        Close();
        return Closing(Closed::closed, r);
      }
      if (createdOrOpened) {
        Close();
        return Closing(Closed::closed, make_saved(Saved::no_need_to_save));
      }
      if (state == kStateMemory) return NotClosed(L"93");
      break;
    case FileKind::no_file:
      if (state == kStateCreated) return NotClosed(L"94");
      if (state == kStateOpened) return NotClosed(L"95");
      if (state == kStateMemory) return NotClosed(L"96");
      break;
  }
  return NotClosed(L"94");
}

// --- the rest ---

const wchar_t* orvDB::get_folder() {
  if (sdb_file_def->Kind() == FileKind::file_def) return fileName::getpath(sdb_file_def->Name());
  return L"C:\\";
}
chainDB* orvDB::orv_get_chaindb() {
  // Nothing open: the runtime's error for a single fact without a value.
  if (!xdb) K::Errors::RunTimeError(329, L"xdb", L"orvDB");
  return xdb;
}
const file_def* orvDB::get_file_name() { return sdb_file_def; }
void orvDB::set_as_modified(bool modified) { sdb_modified = modified; }
bool orvDB::is_modified() { return sdb_modified; }
bool orvDB::is_good_state() { return sdb_state != kStateNone; }
uint32_t orvDB::get_state() { return sdb_state; }
void orvDB::set_dont_ask() {}

void orvDB::eventually_force_save_as(const wchar_t* text, const wchar_t* pattern) {
  uint32_t at;
  if (!string::search(text, pattern, casesensitivity::caseinsensitive, &at)) return;
  sdb_state = kStateMemory;
  const file_def* fd = sdb_file_def;
  if (fd->Kind() == FileKind::file_def) Store(make_memory(fd->Name(), fd->Backup()));
}

}  // namespace rizediveva6
