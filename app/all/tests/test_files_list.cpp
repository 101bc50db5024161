// The documents list on real windows: rows from the recent files (missing
// files, folders, damaged and foreign files, names with blanks and
// non-ASCII letters), scans of a folder tree made here (with a loop, a
// folder removed meanwhile, Stop clicked through the input queue, a second
// scan and a removal of the list during the scan), opening by double
// click, and the recycle bin in the run's own trash folder.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "SYSTEM/orv_list/remember_files.h"
#include "checks.h"
#include "comtree_recorder.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/tasks.h"
#include "km5_writer.h"
#include "liboxes/libox_51filesOnDisk.h"
#include "libox_test.h"

using namespace alltest;

namespace {

namespace K = Qel::RunTime::Kernel;
using all::libox_51filesOnDisk;
using rizediveva6::remember_files;

constexpr int32_t kBlue = 0xA60000, kGreen = 0x009300, kRed = 0x0000FF;

// The recent files as one list: the last file first.
std::vector<std::wstring> Recent() {
  std::vector<std::wstring> out;
  RunTrapped([&] {
    const wchar_t* last;
    if (remember_files::get_last_file(&last) == rizediveva6::last_file_result::last_file) out.push_back(last);
    for (const tav::StringList* l = remember_files::get_all_files(); !l->Empty(); l = l->tail) out.push_back(l->head);
  });
  return out;
}

uint64_t WriteTime(const std::wstring& f) {
  WIN32_FILE_ATTRIBUTE_DATA d{};
  GetFileAttributesExW(f.c_str(), GetFileExInfoStandard, &d);
  return uint64_t(d.ftLastWriteTime.dwHighDateTime) << 32 | d.ftLastWriteTime.dwLowDateTime;
}

class FilesList : public DialogRoster {
 protected:
  void SetUp() override {
    DialogRoster::SetUp();
    // No file the list would show: a last file that does not exist, no others.
    Run([&] {
      remember_files::put_last_file(tav::HeapCopy(Path(L"none.km6").c_str()));
      remember_files::put_all_files_except_last(tav::EmptyStringList());
    });
  }
  void TearDown() override {
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) {
      SetFileAttributesW(it->c_str(), FILE_ATTRIBUTE_NORMAL);
      if (!DeleteFileW(it->c_str())) RemoveDirectoryW(it->c_str());
    }
    DialogRoster::TearDown();
  }
  // A file or folder of the test, removed at the end.
  std::wstring Made(const std::wstring& relative) {
    made_.push_back(Path(relative.c_str()));
    return made_.back();
  }
  std::wstring Folder(const std::wstring& relative) {
    const std::wstring p = Made(relative);
    CreateDirectoryW(p.c_str(), nullptr);
    return p;
  }
  std::wstring Text(const std::wstring& relative, const std::string& bytes) {
    const std::wstring p = Made(relative);
    WriteBytes(p, std::vector<uint8_t>(bytes.begin(), bytes.end()));
    return p;
  }
  // A chain database with the description and start chains given (empty:
  // none).
  std::wstring Document(const std::wstring& relative, const wchar_t* desc, uint64_t start) {
    const std::wstring p = Made(relative);
    Run([&] {
      tav::chainDB* db = tav::chainDB::db_create(p.c_str(), tav::place::in_file);
      int32_t ref;
      if (desc) db->chain_insertz(tav::D(tav::domains::string), L"Desc", reinterpret_cast<const uint8_t*>(const_cast<wchar_t*>(desc)), &ref);
      if (start) db->chain_insertz(tav::D(tav::domains::unsigned64), L"start_date", reinterpret_cast<const uint8_t*>(&start), &ref);
      db->db_close();
    });
    return p;
  }
  // A roster of the fixture saved in a file; no document open afterwards.
  std::wstring Roster(const wchar_t* name) {
    made_.push_back(Path(name));
    made_.push_back(Path(name) + L".km6 Back");
    rz::document* d = New(name);
    RosterSpec s = TwoWeekSpec();
    s.desc = L"Rota two";
    Run([&] {
      WriteSpec(s);
      d->orv_save(rizediveva6::MakeList<const wchar_t*>({}));
    });
    all::kalmora_DB::uninit();
    Run([&] { d->orv_close(rizediveva6::MakeList<const wchar_t*>({}), false); });
    open_.pop_back();
    return Path(name);
  }
  void Remember(const std::vector<std::wstring>& files) {
    Run([&] {
      for (const std::wstring& f : files) remember_files::add_file(tav::HeapCopy(f.c_str()));
    });
  }
  // body(task, pane, list) in a task window whose menu events go to `menu`.
  void InList(const std::function<void(HWND, LONG_PTR, libox_51filesOnDisk*)>& body,
              std::function<LONG_PTR(HWND, QEL_KWI::event_struct*)> events = {}) {
    kwitest::TaskOptions o;
    o.menu = 0;
    o.events = [&](HWND w, QEL_KWI::event_struct* e) -> LONG_PTR {
      if (events) return events(w, e);
      K::Fail();
      return 0;
    };
    kwitest::RunInTask([&](HWND task) {
      SetForegroundWindow(task);
      const LONG_PTR pane = DataPane(task);
      libox_51filesOnDisk* l = nullptr;
      Run([&] { l = libox_51filesOnDisk::new_libox_51filesondisk(pane); });
      ASSERT_TRUE(l);
      body(task, pane, l);
      RunTrapped([&] { l->destroy_scroll2(); });
    }, o);
    EXPECT_TRUE(kwitest::Reported().empty());
    kwitest::Reported().clear();
  }
  std::vector<std::wstring> made_;
};

// A document's chains with their numbers of terms, and its description,
// read without writing it.
std::wstring Contents(const std::wstring& file) {
  std::wstring out;
  const uint32_t code = RunTrapped([&] {
    tav::chainDB* db = tav::chainDB::db_openread(file.c_str(), tav::place::in_file);
    std::vector<std::wstring> chains;
    db->db_chains([&](const wchar_t* c) {
      chains.push_back(c);
      K::Fail();
    });
    std::sort(chains.begin(), chains.end());
    for (const std::wstring& c : chains) {
      uint32_t n = 0;
      int32_t ref;
      for (bool more = db->chain_first(c.c_str(), &ref); more; more = db->chain_next(ref, &ref)) ++n;
      out += c + L" " + std::to_wstring(n) + L"\n";
    }
    db->chain_terms(tav::D(tav::domains::string), L"Desc", [&](tav::RefTerm t) {
      out += L"desc " + std::wstring(reinterpret_cast<const wchar_t*>(t.t));
    });
    db->db_close();
  });
  return code ? L"error" : out;
}

// The file cells of the rows.
std::vector<std::wstring> Files(rizediveva6::libox* l) {
  std::vector<std::wstring> out;
  for (const Cells& r : RowsOf(l)) out.push_back(r.size() > 1 ? r[1] : L"");
  return out;
}

TEST_F(FilesList, RowsShowTheExistingRecentFilesAndReadNothingIntoThem) {
  const uint64_t start = 133000000000000000ull;  // 2022-06-18
  const std::wstring a = Document(L"a.km6", L"Ward rota", start);
  const std::wstring bare = Document(L"bare.km6", nullptr, 0);
  const std::wstring odd = Document(L"with blanks \u00e4\u00df \u65e5.KM6", L"\u00c4rzte", start);
  const std::wstring damaged = Text(L"damaged.km6", std::string(3000, '\x5a'));
  const std::wstring foreign = Text(L"notes.txt", "just text\n");
  const std::wstring old = Text(L"e.km5", "previous version");
  // Remembered while they were files: a save drops names of missing files.
  const std::wstring folder = Text(L"folder.km6", "");
  const std::wstring missing = Text(L"missing.km6", "");
  Run([&] { remember_files::put_last_file(tav::HeapCopy(a.c_str())); });
  Remember({missing, bare, folder, damaged, odd, foreign, old});
  DeleteFileW(missing.c_str());
  DeleteFileW(folder.c_str());
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::vector<std::vector<uint8_t>> bytes{Bytes(a), Bytes(bare), Bytes(odd), Bytes(damaged)};
  const std::vector<uint64_t> times{WriteTime(a), WriteTime(bare), WriteTime(odd), WriteTime(damaged)};

  InList([&](HWND, LONG_PTR, libox_51filesOnDisk* l) {
    EXPECT_EQ(TitlesOf(l), (Cells{L"", L"", L"File", L"File modified", L"Click date for time order", L"Descr.",
                                    L"Roster start"}));
    const Rows rows = RowsOf(l);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(Files(l), (std::vector<std::wstring>{a, bare, odd, old}));
    for (size_t i = 0; i < rows.size(); ++i) {
      ASSERT_EQ(rows[i].size(), 6u);
      EXPECT_EQ(rows[i][0], std::to_wstring(i + 1));
      EXPECT_FALSE(rows[i][2].empty());
      EXPECT_EQ(rows[i][3].find_first_not_of(L"0123456789"), std::wstring::npos) << Narrow(rows[i][3]);
    }
    EXPECT_EQ((Cells{rows[0][4], rows[0][5]}), (Cells{L"Ward rota", L"18 Jun 22"}));
    EXPECT_EQ((Cells{rows[1][4], rows[1][5]}), (Cells{L"no desc", L"1/1/2001?"}));
    EXPECT_EQ(rows[2][4], L"\u00c4rzte");
    EXPECT_EQ((Cells{rows[3][4], rows[3][5]}), (Cells{L"", L""}));
    EXPECT_EQ(ColoursOf(l), (Colours{{0, kBlue}, {0, kBlue}, {0, kBlue}, {0, kGreen}}));
    Run([&] { EXPECT_FALSE(l->popup_callback(10101)); });
  });
  EXPECT_EQ((std::vector<std::vector<uint8_t>>{Bytes(a), Bytes(bare), Bytes(odd), Bytes(damaged)}), bytes);
  EXPECT_EQ((std::vector<uint64_t>{WriteTime(a), WriteTime(bare), WriteTime(odd), WriteTime(damaged)}), times);
  // The listing keeps the names it did not show.
  const std::vector<std::wstring> recent = Recent();
  for (const std::wstring& kept : {missing, folder, damaged, foreign})
    EXPECT_NE(std::find(recent.begin(), recent.end(), kept), recent.end()) << Narrow(kept);
}

TEST_F(FilesList, WithoutAnExistingFileTheRedRowAloneOpensNothing) {
  Remember({Path(L"gone.km6"), Path(L"gone.km5")});
  InList([&](HWND, LONG_PTR, libox_51filesOnDisk* l) {
    EXPECT_EQ(RowsOf(l), (Rows{{L"", L"No known KM6 files. Right click to scan"}}));
    EXPECT_EQ(ColoursOf(l), (Colours{{0, kRed}}));
    Run([&] { EXPECT_FALSE(l->open_it(L"No known KM6 files. Right click to scan")); });
    EXPECT_FALSE(all::kalmora_DB::is_init());
  });
}

// The Unix path of a Windows one.
std::string Unix(const std::wstring& p) { return kwitest::UnixName(p); }

// Hooks the Stop window's description: `onFolder` runs on each text shown.
std::function<void(const std::wstring&)> g_onFolder;
LRESULT CALLBACK StopTextHook(int code, WPARAM w, LPARAM lp) {
  const auto* m = reinterpret_cast<const CWPSTRUCT*>(lp);
  if (code == HC_ACTION && m->message == WM_SETTEXT && g_onFolder) {
    HWND parent = GetParent(m->hwnd);
    if (parent && testbox::WindowText(parent) == L"stop") g_onFolder(reinterpret_cast<const wchar_t*>(m->lParam));
  }
  return CallNextHookEx(nullptr, code, w, lp);
}

struct StopHook {
  HHOOK h;
  explicit StopHook(std::function<void(const std::wstring&)> f) {
    g_onFolder = std::move(f);
    h = SetWindowsHookExW(WH_CALLWNDPROC, &StopTextHook, nullptr, GetCurrentThreadId());
  }
  ~StopHook() {
    UnhookWindowsHookEx(h);
    g_onFolder = nullptr;
  }
};

// The folder picker answered with `folder`.
void PickFolder(HWND d, const std::wstring& folder) {
  SetDlgItemTextW(d, 512, folder.c_str());
  SendMessageW(d, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(d, 512)), TRUE);
  Click(d, 1);
}

class ScannedTree : public FilesList {
 protected:
  void SetUp() override {
    FilesList::SetUp();
    root_ = Folder(L"tree");
    current_ = {Document(L"tree\\a.km6", L"A", 0), Document(L"tree\\B.KM6", L"B", 0)};
    Folder(L"tree\\one");
    current_.push_back(Document(L"tree\\one\\c.km6 Back", L"C", 0));
    Folder(L"tree\\one\\two");
    current_.push_back(Document(L"tree\\one\\two\\D.Km6 bAcK", L"D", 0));
    previous_ = {Text(L"tree\\one\\e.km5", "old"), Text(L"tree\\f.KM5", "old")};
    Text(L"tree\\one\\two\\damaged.km6", std::string(500, '\x11'));
    Text(L"tree\\readme.txt", "text");
    Text(L"tree\\km6", "no extension");
    // A loop: a link to the tree's root below it.
    made_.push_back(Path(L"tree\\one\\two\\up"));
    kwitest::ShellOutput("ln -s '" + Unix(root_) + "' '" + Unix(Path(L"tree\\one\\two\\up")) + "' && echo ok",
                         Path(L"ln.txt"));
    made_.push_back(Path(L"ln.txt"));
  }
  // Runs menu command `id` on the list with the picker answered by `act`.
  void Scan(libox_51filesOnDisk* l, uint32_t id, std::function<void(HWND)> act) {
    testbox::Script s({{L"Select top folder", std::move(act)}}, 100);
    Run([&] { EXPECT_TRUE(l->popup_callback(id)); });
    s.Finish();
    EXPECT_EQ(s.Boxes().size(), 1u);
  }
  std::wstring root_;
  std::vector<std::wstring> current_, previous_;
};

std::vector<std::wstring> Sorted(std::vector<std::wstring> v) {
  std::sort(v.begin(), v.end());
  return v;
}

TEST_F(ScannedTree, ScansFindEachDocumentOnceWithoutFollowingTheLoop) {
  InList([&](HWND, LONG_PTR, libox_51filesOnDisk* l) {
    for (int round = 0; round < 2; ++round) {
      Scan(l, 10090, [&](HWND d) { PickFolder(d, root_); });
      EXPECT_EQ(Sorted(Files(l)), Sorted(current_)) << round;
      for (const auto& c : ColoursOf(l)) EXPECT_EQ(c.second, kBlue);
      EXPECT_EQ(libox_51filesOnDisk::db_stop, nullptr);
      EXPECT_FALSE(testbox::FindBox(L"stop"));
    }
    // The damaged document was remembered, but gives no row.
    const std::vector<std::wstring> recent = Recent();
    EXPECT_EQ(std::count(recent.begin(), recent.end(), Path(L"tree\\one\\two\\damaged.km6")), 1);
    EXPECT_EQ(recent.size(), 6u);  // the fixture's missing last file and five found

    Scan(l, 10091, [&](HWND d) { PickFolder(d, root_); });
    const Rows rows = RowsOf(l);
    ASSERT_EQ(rows.size(), 6u);
    std::vector<std::wstring> green;
    for (size_t i = 0; i < rows.size(); ++i)
      if (ColoursOf(l)[i].second == kGreen) {
        green.push_back(rows[i][1]);
        EXPECT_EQ((Cells{rows[i][4], rows[i][5]}), (Cells{L"", L""}));
      }
    EXPECT_EQ(Sorted(green), Sorted(previous_));
  });
}

TEST_F(ScannedTree, CancelledPickerScansNothing) {
  InList([&](HWND, LONG_PTR, libox_51filesOnDisk* l) {
    Scan(l, 10090, [&](HWND d) { Click(d, 2); });
    EXPECT_EQ(RowsOf(l).size(), 1u);
    EXPECT_EQ(Recent().size(), 1u);
    EXPECT_EQ(libox_51filesOnDisk::db_stop, nullptr);
  });
}

// A tree whose walk outlasts the window's interval: "slow" holds two
// documents and "big", a folder of 20,000 other files, with `below` under
// it; the walk shows "big" at a question while it lists it.
class SlowTree : public FilesList {
 protected:
  void SetUp() override {
    FilesList::SetUp();
    root_ = Folder(L"slow");
    top_ = {Document(L"slow\\a.km6", L"A", 0), Document(L"slow\\B.KM6", L"B", 0)};
    big_ = Path(L"slow\\big");
    const std::string made = kwitest::ShellOutput(
        "mkdir -p '" + Unix(big_) + "/below' && cd '" + Unix(big_) +
            "' && seq 1 20000 | sed 's/^/f/' | xargs touch && echo made",
        Path(L"made.txt"), 120);
    made_.push_back(Path(L"made.txt"));
    ASSERT_EQ(made, "made\n");
  }
  void TearDown() override {
    kwitest::ShellOutput("rm -rf '" + Unix(big_) + "' && echo gone", Path(L"removed.txt"), 120);
    made_.push_back(Path(L"removed.txt"));
    FilesList::TearDown();
  }
  // Runs the documents scan from the root with `onText` hooked to the Stop
  // window's texts; the pickers shown (a second one is cancelled).
  size_t Scan(libox_51filesOnDisk* l, std::function<void(const std::wstring&)> onText) {
    StopHook hook(std::move(onText));
    testbox::Script s({{L"Select top folder", [&](HWND d) { PickFolder(d, root_); }},
                       {L"Select top folder", [&](HWND d) { Click(d, 2); }}},
                      100, 3000);
    Run([&] { EXPECT_TRUE(l->popup_callback(10090)); });
    s.Finish();
    EXPECT_EQ(libox_51filesOnDisk::db_stop, nullptr);
    EXPECT_FALSE(testbox::FindBox(L"stop"));
    return s.Boxes().size();
  }
  std::wstring root_, big_;
  std::vector<std::wstring> top_;
};

// Stop clicked through the input queue as the window shows a folder: the
// same question sees it, the documents found before stay, the window goes.
TEST_F(SlowTree, StopClickedDuringTheWalkKeepsWhatWasFound) {
  Document(L"slow\\big\\below\\c.km6", L"C", 0);
  struct Case {
    const char* what;
    bool atRoot;  // stopped as the root is shown, else as "big" is
    size_t rows;  // documents found
  };
  for (const Case c : {Case{"before any file", true, 0}, Case{"after the first folder", false, 2}}) {
    SCOPED_TRACE(c.what);
    Run([&] { remember_files::put_all_files_except_last(tav::EmptyStringList()); });
    InList([&](HWND, LONG_PTR, libox_51filesOnDisk* l) {
      std::vector<std::wstring> shown;
      const size_t pickers = Scan(l, [&](const std::wstring& folder) {
        shown.push_back(folder);
        if ((folder == root_) != c.atRoot || shown.size() > 2) return;
        HWND stop = testbox::FindBox(L"stop");
        ASSERT_TRUE(stop);
        RECT r;
        GetWindowRect(GetDlgItem(stop, rizediveva6::stop::kStopButton), &r);
        SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        INPUT in[2] = {};
        in[0].type = in[1].type = INPUT_MOUSE;
        in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        SendInput(2, in, sizeof(INPUT));
        Sleep(20);
      });
      EXPECT_EQ(pickers, 1u);
      ASSERT_FALSE(shown.empty());
      EXPECT_EQ(shown.back(), c.atRoot ? root_ : big_);
      if (c.rows == 0) {
        EXPECT_EQ(ColoursOf(l), (Colours{{0, kRed}}));
      } else {
        EXPECT_EQ(Sorted(Files(l)), Sorted(top_));
      }
    });
  }
}

// During the walk: a queued folder removed and a second scan posted, then
// also the list's removal, as the command tree would run them.
TEST_F(SlowTree, CommandsDuringAScanNeitherScanAgainNorDrawIntoTheRemovedList) {
  constexpr LONG_PTR kSecondScan = 0x5101, kRemoveList = 0x5102;
  for (const bool removeList : {false, true}) {
    SCOPED_TRACE(removeList ? "list removed" : "list kept");
    Run([&] { remember_files::put_all_files_except_last(tav::EmptyStringList()); });
    const std::wstring gone = Path(L"slow\\gone");
    CreateDirectoryW(gone.c_str(), nullptr);
    Text(L"slow\\gone\\g.km6", "");
    made_.pop_back();
    libox_51filesOnDisk* list = nullptr;
    LONG_PTR listPane = 0;
    size_t pickers = 0;
    InList(
        [&](HWND task, LONG_PTR pane, libox_51filesOnDisk* l) {
          list = l;
          listPane = pane;
          bool posted = false;
          pickers = Scan(l, [&](const std::wstring& folder) {
            if (folder == root_ || posted) return;
            posted = true;
            DeleteFileW((gone + L"\\g.km6").c_str());
            RemoveDirectoryW(gone.c_str());
            PostMessageW(task, 0xC00F, kSecondScan, 0);
            if (removeList) PostMessageW(task, 0xC00F, kRemoveList, 0);
          });
          EXPECT_TRUE(posted);
          // Kept, the list is refreshed with what exists; removed, the walk
          // ended at that question and nothing was drawn (no error box).
          if (removeList) {
            std::vector<std::wstring> recent = Recent();
            recent.erase(recent.begin());  // the fixture's missing last file
            EXPECT_EQ(Sorted(recent), Sorted(top_));
          } else {
            EXPECT_EQ(Sorted(Files(l)), Sorted(top_));
          }
        },
        [&](HWND, QEL_KWI::event_struct* e) -> LONG_PTR {
          if (e->kind != QEL_KWI::e_user) K::Fail();
          if (e->w[0] == kSecondScan) {
            EXPECT_TRUE(list->popup_callback(10090));
          }
          if (e->w[0] == kRemoveList) {  // as the command tree removes a list
            QEL_KWI::win_SetHandler(listPane, tav::NoEventHandler());
            list->destroy_scroll2();
          }
          return 0;
        });
    EXPECT_EQ(pickers, 1u);
    EXPECT_FALSE(Exists(gone));
  }
}

// The task window's "New": a new document for the import.
class OpeningFiles : public FilesList {
 protected:
  LONG_PTR OnNew(HWND, QEL_KWI::event_struct* e) {
    if (e->kind != QEL_KWI::e_menu || e->w[0] != 10150) K::Fail();
    made_.push_back(Path(L"new.km6"));
    New(L"new.km6");
    return 0;
  }
  // A double click on the row of `file`.
  void DoubleClick(HWND task, libox_51filesOnDisk* l, const std::wstring& file) {
    const std::vector<std::wstring> files = Files(l);
    const auto at = std::find(files.begin(), files.end(), file);
    ASSERT_NE(at, files.end());
    POINT p{};
    Run([&] { p = CellPoint(l, uint32_t(at - files.begin()) + 1, 3); });
    ClientToScreen(reinterpret_cast<HWND>(l->get_wyndow().window), &p);
    SetCursorPos(p.x, p.y);
    Pump(60);
    INPUT in[4] = {};
    for (INPUT& i : in) i.type = INPUT_MOUSE;
    in[0].mi.dwFlags = in[2].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[1].mi.dwFlags = in[3].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(4, in, sizeof(INPUT));
    Pump(400);
    (void)task;
  }
  // Closes the document the list opened (the model keeps no handle on it).
  void CloseOpened() {
    Run([] { all::kalmora_DB::db()->db_close(); });
    all::kalmora_DB::uninit();
  }
  size_t Initialised() {
    return std::count_if(ComtreeCalls().begin(), ComtreeCalls().end(),
                         [](const ComtreeCall& c) { return c.op == L"initialize"; });
  }
};

TEST_F(OpeningFiles, ADocumentOpensWithItsBackupAndBecomesTheLastFile) {
  const std::wstring a = Roster(L"a.km6");
  Remember({a});
  const std::wstring before = Contents(a);
  ComtreeCalls().clear();
  InList([&](HWND task, LONG_PTR, libox_51filesOnDisk* l) {
    ASSERT_EQ(RowsOf(l).size(), 1u);
    EXPECT_EQ(RowsOf(l)[0][4], L"Rota two");
    DoubleClick(task, l, a);
    EXPECT_TRUE(all::kalmora_DB::is_init());
    // With a document open a second opening does nothing.
    Run([&] { EXPECT_FALSE(l->open_it(a.c_str())); });
  });
  EXPECT_EQ(Initialised(), 1u);
  Run([&] { EXPECT_EQ(std::wstring(all::kalmora_DB::get_desc()), L"Rota two"); });
  EXPECT_EQ(Recent().front(), a);
  CloseOpened();
  EXPECT_NE(before.find(L"desc Rota two"), std::wstring::npos) << Narrow(before);
  EXPECT_EQ(Contents(a + L".km6 Back"), before);
}

TEST_F(OpeningFiles, ABackupOpensAsADocumentToBeSavedUnderANewName) {
  const std::wstring a = Roster(L"b.km6");
  const std::wstring backup = Made(L"b copy.km6 Back");
  CopyFileW(a.c_str(), backup.c_str(), FALSE);
  Remember({backup});
  const std::wstring last = Recent().front();
  ComtreeCalls().clear();
  InList([&](HWND task, LONG_PTR, libox_51filesOnDisk* l) { DoubleClick(task, l, backup); });
  EXPECT_TRUE(all::kalmora_DB::is_init());
  EXPECT_EQ(Initialised(), 1u);
  EXPECT_EQ(Recent().front(), last);
  // The first save asks for a name and leaves the backup as it was.
  const std::vector<uint8_t> kept = Bytes(backup);
  const std::wstring saved = Made(L"saved.km6");
  rec().Choose(saved);
  Run([&] { all::kalmora_DB::save_kalmora(); });
  EXPECT_EQ(rec().Texts(L"getfilename").size(), 1u);
  EXPECT_TRUE(Exists(saved));
  EXPECT_EQ(Bytes(backup), kept);
  CloseOpened();
}

TEST_F(OpeningFiles, APreviousVersionFileStartsNewAndIsImported) {
  const std::wstring old = Made(L"old.km5");
  const km5test::ByteVec image = km5test::FileOf(km5test::SmallRoster()).Build();
  WriteBytes(old, image);
  Remember({old});
  ComtreeCalls().clear();
  InList([&](HWND task, LONG_PTR, libox_51filesOnDisk* l) { DoubleClick(task, l, old); },
         [&](HWND w, QEL_KWI::event_struct* e) { return OnNew(w, e); });
  EXPECT_TRUE(all::kalmora_DB::is_init());
  EXPECT_EQ(Initialised(), 1u);
  std::vector<std::wstring> tasks;
  Run([&] { tasks = Names(all::tasks::list_tasks()); });
  EXPECT_EQ(tasks, (std::vector<std::wstring>{L"Dienst", L"Visite"}));
  EXPECT_EQ(Bytes(old), image);
  all::kalmora_DB::uninit();
}

// Two checked files go to the trash folder of the run (XDG_DATA_HOME).
TEST_F(FilesList, CheckedFilesGoToTheRecycleBin) {
  wchar_t home[MAX_PATH] = {};
  if (!GetEnvironmentVariableW(L"XDG_DATA_HOME", home, MAX_PATH)) GTEST_SKIP() << "XDG_DATA_HOME not set";
  made_.push_back(Path(L"mkdir.txt"));
  kwitest::ShellOutput("mkdir -p \\\"$XDG_DATA_HOME\\\" && echo ok", Path(L"mkdir.txt"));
  const std::wstring x = Document(L"x.km6", L"X", 0), y = Document(L"y.km6", L"Y", 0), z = Document(L"z.km6", L"Z", 0);
  Remember({x, y, z});
  InList([&](HWND, LONG_PTR, libox_51filesOnDisk* l) {
    ASSERT_EQ(Files(l), (std::vector<std::wstring>{x, y, z}));
    Run([&] {
      l->set_selecteds(rizediveva6::MakeList<uint32_t>({1, 3}));
      EXPECT_TRUE(l->popup_callback(10092));
    });
    EXPECT_EQ(Files(l), (std::vector<std::wstring>{y}));
  });
  EXPECT_FALSE(Exists(x));
  EXPECT_FALSE(Exists(z));
  const std::string trash = kwitest::ShellOutput("ls \\\"$XDG_DATA_HOME/Trash/files\\\"", Path(L"trash.txt"));
  made_.push_back(Path(L"trash.txt"));
  EXPECT_NE(trash.find("x.km6"), std::string::npos) << trash;
  EXPECT_NE(trash.find("z.km6"), std::string::npos) << trash;
  const std::vector<std::wstring> recent = Recent();
  EXPECT_NE(std::find(recent.begin(), recent.end(), x), recent.end());
  EXPECT_NE(std::find(recent.begin(), recent.end(), z), recent.end());
}

}  // namespace
