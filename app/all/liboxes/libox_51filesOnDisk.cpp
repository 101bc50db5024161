// libox_51filesOnDisk: creation in the data pane; the rows from
// remember_files with each document read through a read-only open under a
// trap; the scan as an explicit depth-first walk (files of a folder, then
// its subfolders in listing order) that polls the "Stop" window at most
// once per 10 ms, passes over folders it cannot list, junctions, symbolic
// links and folders already visited; opening by double click; the recycle
// bin.
#include "liboxes/libox_51filesOnDisk.h"

#include <windows.h>

#include <cwchar>
#include <set>
#include <utility>
#include <vector>

#include "SYSTEM/options/options_db.h"
#include "SYSTEM/orv_list/remember_files.h"
#include "SYSTEM/timepack/mytime.h"
#include "KWI/kwi_orvdb/kwiorvdb.h"
#include "commandtree/comtree.h"
#include "fileSystem/file.h"
#include "fileSystem/fileName.h"
#include "importKM5/importKM5File.h"
#include "kalmoradb/kalmora_DB.h"
#include "kwi/kwi.h"
#include "kwi/kwiDlgDir/kwiDlgDir.h"
#include "liboxes/list_common.h"
#include "qel6kwi_win.h"

namespace all {

namespace K = Qel::RunTime::Kernel;
using rizediveva6::List;
using rizediveva6::ListBuilder;
using rizediveva6::line;
using rizediveva6::mytime;
using rizediveva6::remember_files;

const tav::ClassInfo libox_51filesOnDisk::classInfo{L"qel6pack/all/liboxes/libox_51filesOnDisk", TAV_CLASS_VERSION};
rizediveva6::stop* libox_51filesOnDisk::db_stop = nullptr;

namespace {

constexpr int32_t kBlue = 0xA60000, kGreen = 0x009300, kRed = 0x0000FF;
constexpr uint32_t kNewCommand = 10150;

// The text after the last "." of the file's name ("" without one).
const wchar_t* Extension(const wchar_t* file) {
  const wchar_t* name = file;
  for (const wchar_t* p = file; *p; ++p)
    if (*p == L'\\' || *p == L'/') name = p + 1;
  const wchar_t* dot = wcsrchr(name, L'.');
  return dot ? dot + 1 : L"";
}

// Compared as in upper case.
bool Is(const wchar_t* extension, const wchar_t* upper) {
  return CompareStringOrdinal(extension, -1, upper, -1, TRUE) == CSTR_EQUAL;
}

bool Wanted(uint32_t kind, const wchar_t* extension) {
  if (kind == libox_51filesOnDisk::kPreviousVersion) return Is(extension, L"KM5");
  return Is(extension, L"KM6") || Is(extension, L"KM6 BACK");
}

// The first term of a chain, false when the chain has none.
bool FirstTerm(tav::chainDB* db, const Qel::RunTime::Terms::IDomainDefinition* d, const wchar_t* chain,
               Qel::RunTime::Terms::term* out) {
  return db->chain_terms(d, chain, [&](tav::RefTerm rt) { *out = rt.t; });
}

// Description and start of a document, read without writing the file; an
// error of the open or the reads raises after the database is closed.
void ReadDocument(const wchar_t* file, const wchar_t** desc, const wchar_t** start) {
  tav::chainDB* db = tav::chainDB::db_openread(file, tav::place::in_file);
  const wchar_t* volatile d = L"no desc";
  const wchar_t* volatile s = L"1/1/2001?";
  const uint32_t error = K::RunTrapped([&] {
    Qel::RunTime::Terms::term t;
    if (FirstTerm(db, tav::D(tav::domains::string), L"Desc", &t)) d = tav::HeapCopy(reinterpret_cast<const wchar_t*>(t));
    if (FirstTerm(db, tav::D(tav::domains::unsigned64), L"start_date", &t)) {
      rizediveva6::tv when;
      memcpy(&when, t, sizeof when);
      s = tav::HeapCopy(mytime::tv_format(when, L"dd MMM yy"));
    }
  });
  db->db_close();
  if (error) K::Errors::Qel_ErrorExit(error);
  *desc = d;
  *start = s;
}

// The row of an existing file, numbered `number`; false when the file or
// its document cannot be read.
bool FileRow(const wchar_t* file, uint32_t number, line* out) {
  volatile bool made = false;
  K::RunTrapped([&] {
    const rizediveva6::tv changed = tav::file::getfileproperties(file).lastChange;
    const bool previous = Is(Extension(file), L"KM5");
    const wchar_t* desc = L"";
    const wchar_t* start = L"";
    if (!previous) ReadDocument(file, &desc, &start);
    *out = rizediveva6::LineNo(lists::HeapCells({lists::Decimal(number), file, mytime::tv_tadstr(changed),
                                                 mytime::tv_date_order(changed), desc, start}),
                               0, previous ? kGreen : kBlue);
    made = true;
  });
  return made;
}

// One scan's walk over a folder tree.  Its state lives outside the frames
// that an error may unwind.  The "Stop" window is asked, and shows the
// folder being walked, at most once per 10 ms of walking; the files found
// join the recent files in one write when the walk ends.
struct folder_walk {
  folder_walk(const bool* removedFlag, uint32_t scanKind, rizediveva6::stop* stopWindow)
      : removed(removedFlag), kind(scanKind), window(stopWindow) {}

  const bool* removed;  // the list's: set once it is removed
  uint32_t kind;
  rizediveva6::stop* window;
  LARGE_INTEGER frequency{}, lastPoll{};
  bool polled = false;
  bool ended = false;
  uint32_t error = 0;  // of a call that raised; it ends the walk
  // A folder to walk and its file index as its parent's listing gave it
  // (the top folder's from its handle).
  struct folder {
    std::wstring path;
    uint64_t index;
  };
  std::wstring current, shown;  // the folder walked, the one the window shows
  std::vector<folder> pending;  // the next last
  std::vector<std::wstring> found;
  // File indexes of the folders walked.  Junctions and links are not
  // followed, so the walk stays on the top folder's volume.
  std::set<uint64_t> visited;
  std::vector<uint8_t> buffer = std::vector<uint8_t>(64 * 1024);

  // Runs a call that may raise; an error ends the walk and is kept.
  template <class F>
  bool Call(F&& f) {
    if (!error) error = K::RunTrapped(f);
    ended = ended || error != 0;
    return !error;
  }

  // Shows the current folder and asks the "Stop" window, at most once per
  // 10 ms; false once the walk ends.
  bool go_on() {
    if (ended) return false;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    if (polled && (now.QuadPart - lastPoll.QuadPart) * 100 < frequency.QuadPart) return true;
    polled = true;
    if (current != shown) {
      shown = current;
      Call([&] { window->set_text(tav::HeapCopy(shown.c_str())); });
    }
    volatile bool more = false;
    Call([&] { more = window->can_continue(); });
    ended = ended || !more || *removed;
    QueryPerformanceCounter(&lastPoll);
    return !ended;
  }

  // One entry of a folder's listing.
  void entry(const std::wstring& prefix, const FILE_ID_BOTH_DIR_INFO& e, std::vector<folder>* subfolders) {
    const std::wstring name(e.FileName, e.FileNameLength / sizeof(wchar_t));
    if (e.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (name != L"." && name != L".." && !(e.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        subfolders->push_back({prefix + name, uint64_t(e.FileId.QuadPart)});
    } else if (go_on() && Wanted(kind, Extension(name.c_str()))) {
      found.push_back(prefix + name);
    }
  }

  // The files of one folder, then its subfolders queued in listing order;
  // a folder that cannot be listed is passed over.
  static HANDLE Open(const std::wstring& path) {
    return CreateFileW(path.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  }

  void walk_one(const folder& f) {
    if (!visited.insert(f.index).second) return;
    HANDLE h = Open(f.path);
    if (h == INVALID_HANDLE_VALUE) return;
    std::vector<folder> subfolders;
    {
      const std::wstring prefix = f.path.empty() || f.path.back() == L'\\' ? f.path : f.path + L'\\';
      for (auto request = FileIdBothDirectoryRestartInfo;
           !ended && GetFileInformationByHandleEx(h, request, buffer.data(), DWORD(buffer.size()));
           request = FileIdBothDirectoryInfo) {
        for (size_t at = 0;;) {
          const auto& e = *reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer.data() + at);
          entry(prefix, e, &subfolders);
          if (!e.NextEntryOffset) break;
          at += e.NextEntryOffset;
        }
      }
    }
    CloseHandle(h);
    for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it) pending.push_back(std::move(*it));
  }

  void run(const wchar_t* top) {
    QueryPerformanceFrequency(&frequency);
    HANDLE h = Open(top);
    if (h == INVALID_HANDLE_VALUE) return;
    BY_HANDLE_FILE_INFORMATION info{};
    GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    pending.push_back({top, uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow});
    while (!pending.empty()) {
      const folder f = std::move(pending.back());
      pending.pop_back();
      current = f.path;
      if (!go_on()) break;
      walk_one(f);
    }
  }

  // The files found, as the recent files' other files after those held.
  void remember() {
    if (found.empty()) return;
    std::set<std::wstring> held;
    std::vector<std::wstring> files;
    Call([&] {
      for (const tav::StringList* l = remember_files::get_all_files(); !l->Empty(); l = l->tail) files.push_back(l->head);
    });
    for (const std::wstring& f : files) held.insert(f);
    for (const std::wstring& f : found)
      if (held.insert(f).second) files.push_back(f);
    Call([&] {
      ListBuilder<const wchar_t*> names(true);
      for (const std::wstring& f : files) names.Add(tav::HeapCopy(f.c_str()));
      remember_files::put_all_files_except_last(rizediveva6::AsStringList(names.Finish()));
    });
  }
};

}  // namespace

libox_51filesOnDisk* libox_51filesOnDisk::new_libox_51filesondisk(LONG_PTR window) {
  libox_51filesOnDisk* t = lists::NewObject<libox_51filesOnDisk>();
  t->init_libox(L"fod", rizediveva6::Screen(window));
  lists::SetLayout(t);
  QEL_KWI::win_SetHandler(window, t->event_handler());
  t->set_menu(lists::LoadMenu(kMenu));
  t->set_selected_props(rizediveva6::MakeList<rizediveva6::selected_prop>(
      {rizediveva6::selected_prop{rizediveva6::selected_prop::selection_allowed, 0, 2}}));
  t->set_callback_dbl({&libox_51filesOnDisk::_lbox_dbl, t});
  t->set_col_widths(false, rizediveva6::MakeList<uint32_t>({5, 15, 400, 240}));
  t->set_data_props(rizediveva6::MakeList<rizediveva6::data_prop>({rizediveva6::data_prop::selected_has_checkbox}));
  t->allow_order(rizediveva6::MakeList<uint32_t>({1, 2, 3, 4}));
  t->add_cols(rizediveva6::MakeList<const wchar_t*>(
      {L"", L"", L"File", L"File modified", L"Click date for time order", L"Descr.", L"Roster start"}));
  t->lbox_add_lines(t->make_lines_x());
  t->set_allow_multiselect(true);
  t->lbox_setfont(rizediveva6::libox::heap_font(rizediveva6::options_db::opt_font()), false);
  t->lbox_draw();
  return t;
}

const List<line>* libox_51filesOnDisk::make_lines_x() {
  ListBuilder<line> rows(true);
  xcount_ = 0;
  auto add = [&](const wchar_t* file) {
    line l;
    if (tav::file::existfile(file) && FileRow(file, xcount_ + 1, &l)) {
      ++xcount_;
      rows.Add(l);
    }
  };
  const wchar_t* last;
  if (remember_files::get_last_file(&last) == rizediveva6::last_file_result::last_file) add(tav::HeapCopy(last));
  remember_files::nd_all_files_except_last([&](const wchar_t* file) {
    add(file);
    K::Fail();
  });
  if (xcount_ == 0) rows.Add(rizediveva6::LineNo(lists::HeapCells({L"", L"No known KM6 files. Right click to scan"}), 0, kRed));
  return rows.Finish();
}

void libox_51filesOnDisk::update_libox() {
  if (removed_) return;
  lbox_clear();
  lbox_add_lines(make_lines_x());
  lbox_setfont(rizediveva6::libox::heap_font(rizediveva6::options_db::opt_font()), false);
  lbox_draw();
}

void libox_51filesOnDisk::destroy_scroll2() {
  if (removed_) return;
  removed_ = true;
  destroy_scroll();
}

bool libox_51filesOnDisk::popup_callback(uint32_t id) {
  switch (id) {
    case 10090:
    case 10091:
      if (scan(id == 10090 ? kCurrentVersion : kPreviousVersion)) update_libox();
      return true;
    case 10092:
      send_to_recycle();
      update_libox();
      return true;
    default: return false;
  }
}

bool libox_51filesOnDisk::scan(uint32_t kind) {
  if (db_stop) return false;
  const LONG_PTR task = QEL_KWI::win_GetParent(get_wyndow().window);
  const wchar_t* top;
  if (tav::kwiDlgDir::getDirectoryName(task, L"Select top folder", L"C:\\", &top) != 1) return false;
  return scan_folder(kind, tav::HeapCopy(top), task);
}

bool libox_51filesOnDisk::scan_folder(uint32_t kind, const wchar_t* folder, LONG_PTR parent) {
  if (db_stop) return false;
  db_stop = rizediveva6::stop::new_();
  rizediveva6::stop* window = db_stop;
  folder_walk walk(&removed_, kind, window);
  if (walk.Call([&] { window->show(parent); })) walk.run(folder);
  walk.remember();
  db_stop = nullptr;
  K::RunTrapped([&] { window->del_win(); });
  if (walk.error) K::Errors::Qel_ErrorExit(walk.error);
  return !removed_;
}

void libox_51filesOnDisk::send_to_recycle() {
  // The names first: the walk over the selection backtracks.
  ListBuilder<const wchar_t*> files(true);
  nd_selected([&](rizediveva6::selected_line s) {
    if (!s.cells->Empty() && !s.cells->tail->Empty()) files.Add(tav::HeapCopy(s.cells->tail->head));
    K::Fail();
  });
  for (const rizediveva6::SList* f = files.Finish(); !f->Empty(); f = f->tail)
    K::RunTrapped([&] { tav::file::movetorecyclebin(f->head); });
}

bool libox_51filesOnDisk::open_it(const wchar_t* file) {
  const LONG_PTR task = QEL_KWI::win_GetParent(get_wyndow().window);
  if (kalmora_DB::is_init()) return false;
  const wchar_t* extension = Extension(file);
  if (Is(extension, L"KM5")) {
    QEL_KWI::event_struct e{};
    e.kind = QEL_KWI::e_menu;
    e.w[0] = kNewCommand;
    QEL_KWI::win_PostEvent(task, &e);
    tav::kwi::processevents();
    importKM5File::imp(file);
    comtree::initialize();
    return true;
  }
  const bool backup = Is(extension, L"KM6 BACK");
  if (!backup && !Is(extension, L"KM6")) return false;
  rizediveva6::kwiORVDB* doc =
      rizediveva6::kwiORVDB::new_file_def_kwi(rizediveva6::make_file_def(tav::HeapCopy(file), false, rizediveva6::kBackupNone));
  if (!doc->is_good_state()) return false;
  if (backup) {
    kalmora_DB::init(doc);
    doc->eventually_force_save_as(file, L".km6");
  } else {
    const wchar_t* name;
    const wchar_t* path = tav::fileName::getpath(file, &name);
    doc->orv_quiet_save_as(false, tav::string::concat(path, name, L".km6 Back"));
    kalmora_DB::init(doc);
    remember_files::put_last_file(file);
  }
  comtree::initialize();
  return true;
}

void libox_51filesOnDisk::_lbox_dbl(void* self, uint32_t, uint32_t, const line& l) {
  const rizediveva6::SList* c = l.cells;
  if (c->Empty() || c->tail->Empty() || !static_cast<libox_51filesOnDisk*>(self)->open_it(tav::HeapCopy(c->tail->head)))
    K::Fail();
}

}  // namespace all
