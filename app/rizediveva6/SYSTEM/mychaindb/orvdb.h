// orvDB: one open roster document.  The document lives in a memory chain
// database while it is open: opening copies the file's database into memory
// and closes the file; saving copies memory back with the chain database's
// Copy (a temporary file renamed over the document when whole); closing
// deletes the memory database.  Save and close requests answer with result
// terms.
//
// Invariants:
//  - State: 100 nothing open, 101 closed (final), 102 created (no file
//    yet), 103 opened from a file, 104 memory or volatile document.
//  - The file database is closed on every way out of an open.
//  - The modified flag is cleared only after the copy to the file returned;
//    a save that raises leaves flag and file as they were.  A copy that does
//    not adopt the new name leaves the flag.
//  - A repair open first keeps the damaged file's bytes in Name + ".damaged".
//  - Facts hold heap data only: file_def is copied to the heap when stored.
//  - Texts to the user go through myKWI.
#pragma once

#include "SYSTEM/orv_list/orv_list.h"
#include "chainDB/chainDb.h"

namespace rizediveva6 {

// backup: 1001 one backup per day and hour, 1002 per month and day, 1003 none.
constexpr uint32_t kBackupDayHour = 1001, kBackupMonthDay = 1002, kBackupNone = 1003;

// file_def = file_def(Name, NewFileFlag, Backup) | memory(Name, Backup)
//          | volatile(Name) | no_file
enum class FileKind : uint64_t { file_def = 1, memory, volatile_, no_file };
struct file_def {
  uint64_t functor;
  FileKind Kind() const { return static_cast<FileKind>(functor); }
  const wchar_t* Name() const;       // null for no_file
  uint32_t Backup() const;           // 0 for volatile and no_file
  bool NewFileFlag() const;          // false but for file_def
};
struct FileDefFile {
  uint64_t functor;
  const wchar_t* name;
  const tav::BooleanTerm* newFileFlag;
  uint32_t backup;
};
struct FileDefMemory {
  uint64_t functor;
  const wchar_t* name;
  uint32_t backup;
};
struct FileDefVolatile {
  uint64_t functor;
  const wchar_t* name;
};
// Terms on the global stack.
const file_def* make_file_def(const wchar_t* name, bool newFileFlag, uint32_t backup);
const file_def* make_memory(const wchar_t* name, uint32_t backup);
const file_def* make_volatile(const wchar_t* name);
const file_def* make_no_file();

// saved_result = saved(Name) | not_saved_cancelled | not_saved_forget
//   | not_saved_error(Code) | not_saved_unknown | not_saved_closed | no_need_to_save
enum class Saved : uint64_t {
  saved = 1, not_saved_cancelled, not_saved_forget, not_saved_error, not_saved_unknown,
  not_saved_closed, no_need_to_save
};
struct saved_result {
  uint64_t functor;
  const wchar_t* text;  // saved and not_saved_error only
  Saved Kind() const { return static_cast<Saved>(functor); }
};
const saved_result* make_saved(Saved kind, const wchar_t* text = nullptr);

// closed_result = closed(saved_result) | not_closed_error(Code) | already_closed
enum class Closed : uint64_t { closed = 1, not_closed_error, already_closed };
struct closed_result {
  uint64_t functor;
  const void* arg;  // the saved_result of closed, the code of not_closed_error
  Closed Kind() const { return static_cast<Closed>(functor); }
  const saved_result* Result() const { return static_cast<const saved_result*>(arg); }
  const wchar_t* Code() const { return static_cast<const wchar_t*>(arg); }
};

namespace domains {
extern Qel::RunTime::Terms::RIntegralDomain backup;
extern Qel::RunTime::Terms::RCompoundDomain file_def, saved_result, closed_result;
}

constexpr uint32_t kStateNone = 100, kStateClosed = 101, kStateCreated = 102, kStateOpened = 103,
                   kStateMemory = 104;

// The one document interface that the roster model receives.
class document {
 public:
  virtual const saved_result* orv_save(const SList* filter) = 0;
  virtual const saved_result* orv_quiet_save_as(bool adoptName, const wchar_t* newName) = 0;
  virtual const wchar_t* get_folder() = 0;
  virtual tav::chainDB* orv_get_chaindb() = 0;
  virtual const closed_result* orv_close(const SList* filter, bool saveFirst) = 0;
  virtual const file_def* get_file_name() = 0;
  virtual void set_as_modified(bool modified) = 0;
  virtual bool is_modified() = 0;
  virtual bool is_good_state() = 0;
  virtual void eventually_force_save_as(const wchar_t* text, const wchar_t* pattern) = 0;
  virtual const saved_result* save_my_db(uint32_t state, const file_def* fd, const SList* filter) = 0;
  virtual uint32_t get_state() = 0;
  virtual void set_dont_ask() = 0;
};

class orvDB : public document {
 public:
  static const tav::ClassInfo classInfo;

  static orvDB* new_file_def(const file_def* fd);
  static orvDB* new_invalid(const file_def* fd);
  // Reference to its unsigned number and back; the note "Ref_nt fail" and
  // false when a conversion fails.
  static bool ref_int(int32_t ref, uint32_t* number);
  static bool ref_int(uint32_t number, int32_t* ref);

  const saved_result* orv_save(const SList* filter) override;
  const saved_result* orv_quiet_save_as(bool adoptName, const wchar_t* newName) override;
  const wchar_t* get_folder() override;
  tav::chainDB* orv_get_chaindb() override;
  const closed_result* orv_close(const SList* filter, bool saveFirst) override;
  const file_def* get_file_name() override;
  void set_as_modified(bool modified) override;
  bool is_modified() override;
  bool is_good_state() override;
  void eventually_force_save_as(const wchar_t* text, const wchar_t* pattern) override;
  const saved_result* save_my_db(uint32_t state, const file_def* fd, const SList* filter) override;
  uint32_t get_state() override;
  void set_dont_ask() override;

  // Copies the memory database to the file Name, then clears the flag.
  void CopyToFile(const wchar_t* name);
  // Keeps a heap copy of fd as the document's file_def.
  void Store(const file_def* fd);

  tav::chainDB* xdb = nullptr;
  const wchar_t* memoryName = nullptr;  // the memory database the constructor made
  const file_def* sdb_file_def = nullptr;
  uint32_t sdb_state = kStateNone;
  bool sdb_modified = false;
  bool boo_invalid = false;

 private:
  void OpenFile(const wchar_t* name);
  void Repair(const wchar_t* name, bool quiet);
  void Close();
  void SaveBackup(const wchar_t* name, uint32_t backup);
};

}  // namespace rizediveva6
