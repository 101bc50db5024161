// kwiORVDB: see the header.
#include "KWI/kwi_orvdb/kwiorvdb.h"

#include "SYSTEM/myKWI/myKWI.h"
#include "stream/stream.h"

namespace rizediveva6 {

using namespace tav;
using tav::chainDB;

const ClassInfo kwiORVDB::classInfo{L"qel6pack/kwi_orvdb/kwiORVDB", TAV_CLASS_VERSION};

namespace {

kwiORVDB* Make(orvDB* part) {
  kwiORVDB* o = NewObject<kwiORVDB>();
  o->boo_ask = true;
  o->part = part;
  return o;
}
const saved_result* Error(const wchar_t* code) { return make_saved(Saved::not_saved_error, code); }

constexpr uint32_t kAnswerSave = 0, kAnswerForget = 1;
const int32_t kSaveDialogFlags[] = {1};

}  // namespace

kwiORVDB* kwiORVDB::new_file_def_kwi(const file_def* fd) { return Make(orvDB::new_file_def(fd)); }
kwiORVDB* kwiORVDB::new_invalid_kwi(const file_def* fd) { return Make(orvDB::new_invalid(fd)); }

void kwiORVDB::set_dont_ask() { boo_ask = false; }

const saved_result* kwiORVDB::orv_save(const SList* filter) {
  if (part->get_state() == kStateClosed) {
    myKWI::note(L"Error 899 - already closed");
    return make_saved(Saved::not_saved_closed);
  }
  part->orv_get_chaindb()->db_flush();
  return save_my_db(part->get_state(), part->get_file_name(), filter);
}

const saved_result* kwiORVDB::orv_save_as(const SList* filter) {
  // A closed document has no database to flush: the table's last row.
  if (part->get_state() == kStateClosed) return Error(L"77");
  part->orv_get_chaindb()->db_flush();
  return SaveAs(part->get_state(), part->get_file_name(), filter);
}

const saved_result* kwiORVDB::save_my_db(uint32_t state, const file_def* fd, const SList* filter) {
  if (state == kStateOpened && fd->Kind() == FileKind::file_def && boo_ask && part->is_modified()) {
    const wchar_t* name = fd->Name();
    uint32_t answer;
    if (!myKWI::ask(string::concat(L"Save ", name, L" ?"), AsStringList(MakeList<const wchar_t*>({L"Save", L"Forget", L"Cancel"})),
                    &answer))
      return make_saved(Saved::not_saved_cancelled);
    if (answer == kAnswerSave) {
      part->CopyToFile(name);
      return make_saved(Saved::saved, name);
    }
    return make_saved(answer == kAnswerForget ? Saved::not_saved_forget : Saved::not_saved_cancelled);
  }
  if (state == kStateMemory && fd->Kind() == FileKind::memory) return SaveAs(state, fd, filter);
  return part->save_my_db(state, fd, filter);
}

const saved_result* kwiORVDB::SaveAs(uint32_t state, const file_def* fd, const SList* filter) {
  const bool modified = part->is_modified();
  switch (fd->Kind()) {
    case FileKind::volatile_: return make_saved(Saved::not_saved_unknown);
    case FileKind::memory:
      if (state == kStateCreated) return Error(L"71");
      if (state == kStateOpened) return Error(L"72");
      if (state == kStateMemory) return SaveAsDialog(filter);
      break;
    case FileKind::file_def:
      if (state == kStateCreated && !fd->NewFileFlag() && !modified) return make_saved(Saved::no_need_to_save);
      if (state == kStateOpened && !modified) return make_saved(Saved::no_need_to_save);
      if (state == kStateCreated || state == kStateOpened) return SaveAsDialog(filter);
      if (state == kStateMemory && modified) return Error(L"73");
      break;
    case FileKind::no_file:
      if (state == kStateCreated) return Error(L"74");
      if (state == kStateOpened) return Error(L"75");
      if (state == kStateMemory) return Error(L"76");
      break;
  }
  return Error(L"77");
}

const saved_result* kwiORVDB::SaveAsDialog(const SList* filter) {
  const FileDialogRequest request{L"", AsStringList(filter), L"Save file as", kSaveDialogFlags, 1, L"C:\\"};
  const wchar_t* chosen = nullptr;
  const StringList* selected = nullptr;
  if (!myKWI::getfilename(request, &chosen, &selected) || !*chosen) return make_saved(Saved::not_saved_cancelled);
  return part->orv_quiet_save_as(true, chosen);
}

// --- the orvDB part's operations ---

const saved_result* kwiORVDB::orv_quiet_save_as(bool adoptName, const wchar_t* newName) {
  return part->orv_quiet_save_as(adoptName, newName);
}
const wchar_t* kwiORVDB::get_folder() { return part->get_folder(); }
chainDB* kwiORVDB::orv_get_chaindb() { return part->orv_get_chaindb(); }
const closed_result* kwiORVDB::orv_close(const SList* filter, bool saveFirst) {
  return part->orv_close(filter, saveFirst);
}
const file_def* kwiORVDB::get_file_name() { return part->get_file_name(); }
void kwiORVDB::set_as_modified(bool modified) { part->set_as_modified(modified); }
bool kwiORVDB::is_modified() { return part->is_modified(); }
bool kwiORVDB::is_good_state() { return part->is_good_state(); }
void kwiORVDB::eventually_force_save_as(const wchar_t* text, const wchar_t* pattern) {
  part->eventually_force_save_as(text, pattern);
}
uint32_t kwiORVDB::get_state() { return part->get_state(); }

}  // namespace rizediveva6
