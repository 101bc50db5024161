// The document commands: see the header.  Texts built here live on the
// global stack until the handler's event ends.
#include "TaskWindow/doc_commands.h"

#include "KWI/kwi_orvdb/kwiorvdb.h"
#include "SYSTEM/myKWI/myKWI.h"
#include "SYSTEM/orv_list/remember_files.h"
#include "TaskWindow/taskWindow.h"
#include "commandtree/comtree.h"
#include "dlgs/Options.h"
#include "fileSystem/fileName.h"
#include "kalmoradb/kalmora_DB.h"
#include "kwi/kwicommondialogs.h"
#include "kwi/kwidomains.h"
#include "qel6kwi_win.h"
#include "string/string.h"
#include "unit.h"

namespace kalmora::doc_commands {

namespace K = Qel::RunTime::Kernel;
namespace kd = tav::kwidomains;
using namespace QEL_KWI;
using all::comtree;
using all::kalmora_DB;
using rizediveva6::Saved;
using tav::kwiCommonDialogs;

namespace {

constexpr uint32_t kNoBackups = rizediveva6::kBackupNone;

// The document's file name for a file definition (the store keeps it).
const wchar_t* Kept(const wchar_t* name) { return tav::HeapCopy(name); }

// Writes the backup copy of an opened document; a failure is a line in the
// message window and the open goes on.
void write_backup(rizediveva6::document* doc, const wchar_t* fileName) {
  const wchar_t* target = backup_name(fileName);
  const uint32_t code = K::RunTrapped([&] { doc->orv_quiet_save_as(false, target); });
  if (code)
    rizediveva6::myKWI::message_write(
        {L"\n BACKUP FAILED ", target, L" ", rizediveva6::HandledErrorText(code)});
}

}  // namespace

const saved_result* save_outcome(const wchar_t* fileName) {
  const saved_result* volatile outcome = nullptr;
  const uint32_t code = K::RunTrapped([&] {
    K::Succeeds([&] { outcome = fileName ? kalmora_DB::save_kalmora(fileName) : kalmora_DB::save_kalmora(); });
  });
  if (code) return rizediveva6::make_saved(Saved::not_saved_error, rizediveva6::HandledErrorText(code));
  return outcome;
}

bool shutdown_or_not() {
  int32_t answer = -1;
  if (!kwiCommonDialogs::ask(L"Close Kalmora6?", kd::Strings({L"Close", L"Cancel"}), &answer) || answer != 0)
    return false;
  kalmora_DB::uninit();
  return true;
}

bool complete_the_close(const saved_result* outcome) {
  if (!outcome) return false;
  switch (outcome->Kind()) {
    case Saved::saved:
      kalmora_DB::uninit();
      rizediveva6::remember_files::put_last_file(outcome->text);
      return true;
    case Saved::no_need_to_save:
    case Saved::not_saved_closed:
    case Saved::not_saved_forget:
      kalmora_DB::uninit();
      return true;
    case Saved::not_saved_cancelled:
      return shutdown_or_not();
    case Saved::not_saved_error:
      rizediveva6::myKWI::note(tav::string::concat(L"Not saved ", outcome->text));
      return false;
    case Saved::not_saved_unknown:
      rizediveva6::myKWI::note(L"Not saved ???");
      return false;
  }
  return false;
}

void try_remember(const saved_result* outcome) {
  if (outcome && outcome->Kind() == Saved::saved) rizediveva6::remember_files::put_last_file(outcome->text);
}

const wchar_t* backup_name(const wchar_t* fileName) {
  const wchar_t* nameWithExtension = nullptr;
  const wchar_t* folder = tav::fileName::getpath(fileName, &nameWithExtension);
  return tav::string::concat(folder, nameWithExtension, L".km6 Back");
}

// Save and Save as show the notes a close shows for outcomes 4 and 5; the
// document stays open either way.
static void note_failed_save(const saved_result* outcome) {
  if (!outcome) return;
  if (outcome->Kind() == Saved::not_saved_error || outcome->Kind() == Saved::not_saved_unknown)
    complete_the_close(outcome);
}

HandlerResult onfilenew() {
  taskWindow::close_kalmora_file();
  rizediveva6::document* doc = rizediveva6::kwiORVDB::new_file_def_kwi(rizediveva6::make_memory(L"kalmora", kNoBackups));
  kalmora_DB::init(doc);
  taskWindow::set_title();
  comtree::initialize();
  return HandledWith(0);
}

HandlerResult onfileopen() {
  if (!taskWindow::close_kalmora_file()) return HandledWith(0);
  QEL_KWI::slist_struct* selected = nullptr;
  const wchar_t* file = kwiCommonDialogs::getfilename(
      L"*.km6", kd::Strings({L"Kalmora6 file", L"*.km6", L"Kalmora6 backup", L"*.km6 Back"}), L"Select file",
      kd::Ints({}), L"", &selected);
  if (!file) return HandledWith(0);
  rizediveva6::document* doc =
      rizediveva6::kwiORVDB::new_file_def_kwi(rizediveva6::make_file_def(Kept(file), true, kNoBackups));
  if (!doc->is_good_state()) return HandledWith(0);
  write_backup(doc, file);
  kalmora_DB::init(doc);
  rizediveva6::remember_files::put_last_file(file);
  taskWindow::set_title();
  comtree::initialize();
  return HandledWith(0);
}

HandlerResult onfilesave() {
  note_failed_save(save_outcome(nullptr));
  return HandledWith(0);
}

HandlerResult onfilesaveas() {
  QEL_KWI::slist_struct* selected = nullptr;
  const wchar_t* file = kwiCommonDialogs::getfilename(L"*.km6", kd::Strings({L"Kalmora6 files", L".km6"}),
                                                      L"Enter new file name", kd::Ints({1}), L"", &selected);
  if (!file || !*file) return HandledWith(0);
  const saved_result* outcome = save_outcome(Kept(file));
  try_remember(outcome);
  note_failed_save(outcome);
  return HandledWith(0);
}

HandlerResult onfileexit(LONG_PTR thiswin) {
  if (!taskWindow::close_kalmora_file()) return HandledWith(1);
  win_Destroy(thiswin);
  return kDefaultHandling;
}

HandlerResult onfileforgetchangesandexit(LONG_PTR thiswin) {
  int32_t answer = -1;
  if (kwiCommonDialogs::ask(L"Forget changes - are you sure you want to exit?", kd::Strings({L"Forget", L"Cancel"}),
                            &answer) &&
      answer == 0) {
    comtree::retract_engine();
    win_Destroy(thiswin);
  }
  return HandledWith(0);
}

HandlerResult onoptions(LONG_PTR thiswin) {
  if (kalmora_DB::is_init()) all::options::new_()->show(thiswin);
  else rizediveva6::myKWI::note(L"Cannot look at options until a file is open");
  return HandledWith(0);
}

HandlerResult oncloserequest() {
  if (!taskWindow::close_kalmora_file()) return HandledWith(1);
  return kDefaultHandling;
}

}  // namespace kalmora::doc_commands
