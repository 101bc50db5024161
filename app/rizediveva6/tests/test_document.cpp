// The roster document object and its variant with save prompts, on real
// files: opening (every rule), saving, closing, the save-as table, the
// question, backups, failures of the file, and what a fresh process reads
// afterwards.
#include <string>
#include <vector>

#include "KWI/kwi_orvdb/kwiorvdb.h"
#include "SYSTEM/mychaindb/orvdb.h"
#include "doc_test.h"
#include "time/time.h"

namespace rztest {
namespace {

using Texts = std::vector<std::wstring>;
using Shown = DialogRecorder::Shown;

// A row of a save table: the document's kind, state and flag, and the result.
struct Row {
  const file_def* fd;
  uint32_t state;
  bool modified;
  const wchar_t* want;
};

const SList* Filter() { return MakeList<const wchar_t*>({L"Roster", L"*.km6"}); }

std::wstring Result(const saved_result* r) {
  static const wchar_t* const names[] = {L"?", L"saved", L"not_saved_cancelled", L"not_saved_forget",
                                         L"not_saved_error", L"not_saved_unknown", L"not_saved_closed",
                                         L"no_need_to_save"};
  std::wstring s = names[static_cast<int>(r->Kind())];
  if (r->Kind() == Saved::saved || r->Kind() == Saved::not_saved_error) s += L"(" + std::wstring(r->text) + L")";
  return s;
}
std::wstring Result(const closed_result* r) {
  switch (r->Kind()) {
    case Closed::closed: return L"closed(" + Result(r->Result()) + L")";
    case Closed::not_closed_error: return L"not_closed_error(" + std::wstring(r->Code()) + L")";
    default: return L"already_closed";
  }
}

class Document : public Documents {
 protected:
  // Closes what a test left open, so that its memory database goes.
  void TearDown() override {
    for (document* d : open_)
      RunTrapped([&] {
        if (d->get_state() != kStateClosed && d->get_state() != kStateNone) {
          d->set_as_modified(false);
          d->orv_close(Filter(), false);
        }
      });
    Documents::TearDown();
  }
  template <class D>
  D* Keep(D* d) {
    open_.push_back(d);
    return d;
  }
  orvDB* Open(const file_def* fd) {
    orvDB* d = nullptr;
    Run([&] { d = Keep(orvDB::new_file_def(fd)); });
    return d;
  }
  kwiORVDB* OpenKwi(const file_def* fd) {
    kwiORVDB* d = nullptr;
    Run([&] { d = Keep(kwiORVDB::new_file_def_kwi(fd)); });
    return d;
  }
  std::vector<document*> open_;
};

// --- opening ---

TEST_F(Document, OpenRules) {
  const std::wstring file = Path(L"a.km6"), missing = Path(L"new.km6");
  MakeDocument(file, {L"ann", L"bob"});
  const std::vector<uint8_t> original = Bytes(file);

  orvDB* v = Open(make_volatile(L"scratch"));
  EXPECT_EQ(v->get_state(), kStateMemory);
  EXPECT_EQ(std::wstring(v->get_folder()), L"C:\\");
  orvDB* m = Open(make_memory(L"mem", kBackupNone));
  EXPECT_EQ(m->get_state(), kStateMemory);

  orvDB* created = Open(make_file_def(missing.c_str(), false, kBackupNone));
  EXPECT_EQ(created->get_state(), kStateCreated);
  EXPECT_FALSE(Exists(missing));  // written by the first save only

  orvDB* opened = Open(make_file_def(file.c_str(), false, kBackupNone));
  EXPECT_EQ(opened->get_state(), kStateOpened);
  EXPECT_EQ(std::wstring(opened->get_folder()), dir_);
  EXPECT_EQ(Bytes(file + L"x"), original);  // the "x" copy

  orvDB* nothing = Open(make_no_file());
  EXPECT_EQ(nothing->get_state(), kStateNone);
  EXPECT_FALSE(nothing->is_good_state());
  EXPECT_EQ(ErrorNumber(RunTrapped([&] { nothing->orv_get_chaindb(); })), 329u);

  EXPECT_EQ(rec().shown(), (std::vector<Shown>{{L"message", L"\n CREATE " + missing},
                                               {L"message", L"\n OPEN " + file},
                                               {L"note", L"Failed to open database"}}));
  // The document is in memory: the file is closed and unchanged after a
  // close without save.
  AddName(opened->orv_get_chaindb(), L"cid");
  Run([&] { EXPECT_EQ(Result(opened->orv_close(Filter(), false)), L"closed(no_need_to_save)"); });
  EXPECT_EQ(Bytes(file), original);
  EXPECT_EQ(Checked(file), "exit 0\nchain names\n  ann\n  bob\ntree bt_names\n  ann\n  bob\n");
}

// Files the database refuses or cannot read: notes, states, and the file
// never changed.
TEST_F(Document, DamagedAndLockedFiles) {
  const std::wstring good = Path(L"good.km6");
  MakeDocument(good, {L"ann"});
  const std::vector<uint8_t> bytes = Bytes(good);
  std::vector<uint8_t> marked = bytes;
  marked[64] = 1;
  std::vector<uint8_t> truncated(bytes.begin(), bytes.begin() + bytes.size() / 2);
  const std::string text = "just some text, not a database at all\r\n";

  struct Case {
    const wchar_t* name;
    std::vector<uint8_t> content;
    uint32_t state;
    bool repaired;  // the repair open loaded it
  };
  const Case cases[] = {
      {L"marked.km6", marked, kStateOpened, true},
      {L"truncated.km6", truncated, kStateNone, false},
      {L"text.km6", std::vector<uint8_t>(text.begin(), text.end()), kStateNone, false},
      {L"empty.km6", {}, kStateNone, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.name));
    const std::wstring file = Path(c.name);
    WriteBytes(file, c.content);
    rec().Clear();
    orvDB* d = Open(make_file_def(file.c_str(), false, kBackupNone));
    EXPECT_EQ(d->get_state(), c.state);
    EXPECT_TRUE(d->boo_invalid);
    Texts notes = rec().Texts(L"note");
    ASSERT_FALSE(notes.empty());
    EXPECT_EQ(notes[0], file + L" is invalid\nIts bytes are kept in " + file + L".damaged");
    EXPECT_EQ(Bytes(file + L".damaged"), c.content);
    if (c.repaired) {
      EXPECT_EQ(rec().Texts(L"message"), Texts{L"\n OPEN INVALID" + file});
      EXPECT_EQ(notes.size(), 1u);
    } else {
      EXPECT_EQ(notes, (Texts{notes[0], L"Failed to open invalid database"}));
      EXPECT_EQ(Bytes(file), c.content);
    }
  }

  // A file held by another program: not called invalid; state 100 with the
  // error's text; no repair, no copy.
  const std::wstring locked = Path(L"locked.km6");
  MakeDocument(locked, {L"ann"});
  HANDLE h = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  rec().Clear();
  orvDB* d = Open(make_file_def(locked.c_str(), false, kBackupNone));
  CloseHandle(h);
  EXPECT_EQ(d->get_state(), kStateNone);
  EXPECT_FALSE(d->boo_invalid);
  Texts notes = rec().Texts(L"note");
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].rfind(L"Failed to open database\n" + locked + L"\n", 0), 0u) << Narrow(notes[0]);
  EXPECT_GT(notes[0].size(), (L"Failed to open database\n" + locked + L"\n").size());
  EXPECT_FALSE(Exists(locked + L".damaged"));
  EXPECT_EQ(Checked(locked), "exit 0\nchain names\n  ann\ntree bt_names\n  ann\n");
}

TEST_F(Document, RepairOpenSavesAClearFile) {
  const std::wstring file = Path(L"m.km6");
  MakeDocument(file, {L"ann"});
  std::vector<uint8_t> marked = Bytes(file);
  marked[64] = 1;
  WriteBytes(file, marked);
  EXPECT_EQ(Child(file).first, 2u);  // a plain open refuses it
  orvDB* d = Open(make_file_def(file.c_str(), false, kBackupNone));
  ASSERT_EQ(d->get_state(), kStateOpened);
  AddName(d->orv_get_chaindb(), L"bob");
  d->set_as_modified(true);
  Run([&] { EXPECT_EQ(Result(d->orv_save(Filter())), L"saved(" + file + L")"); });
  EXPECT_EQ(Checked(file), "exit 0\nchain names\n  ann\n  bob\ntree bt_names\n  ann\n  bob\n");
  EXPECT_EQ(Bytes(file + L".damaged"), marked);

  // new_invalid: the same load without messages.
  WriteBytes(file, marked);
  Run([&] { EXPECT_EQ(Result(d->orv_close(Filter(), false)), L"closed(no_need_to_save)"); });
  rec().Clear();
  orvDB* again = nullptr;
  Run([&] { again = Keep(orvDB::new_invalid(make_file_def(file.c_str(), false, kBackupNone))); });
  EXPECT_EQ(again->get_state(), kStateOpened);
  EXPECT_TRUE(rec().shown().empty());
  orvDB* none = nullptr;
  Run([&] { none = Keep(orvDB::new_invalid(make_file_def(Path(L"absent.km6").c_str(), false, kBackupNone))); });
  EXPECT_EQ(none->get_state(), kStateNone);
}

TEST_F(Document, FailedXCopyIsLoggedAndTheOpenStands) {
  const std::wstring file = Path(L"x.km6");
  MakeDocument(file, {L"ann"});
  // A folder in the way of the "x" copy.
  CreateDirectoryW((file + L"x").c_str(), nullptr);
  orvDB* d = Open(make_file_def(file.c_str(), false, kBackupNone));
  EXPECT_EQ(d->get_state(), kStateOpened);
  Texts messages = rec().Texts(L"message");
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1].rfind(L"\n COPY FAILED " + file + L"x ", 0), 0u) << Narrow(messages[1]);
  RemoveDirectoryW((file + L"x").c_str());
}

// --- saving ---

TEST_F(Document, SaveTable) {
  const std::wstring file = Path(L"s.km6"), created = Path(L"c.km6");
  MakeDocument(file, {L"ann"});
  orvDB* d = Open(make_file_def(file.c_str(), false, kBackupNone));
  orvDB* c = Open(make_file_def(created.c_str(), false, kBackupNone));
  const wchar_t* f = file.c_str();
  auto Rows = [&] {
    return std::vector<Row>{
        {make_volatile(L"v"), kStateOpened, true, L"not_saved_error(102)"},
        {make_memory(L"m", kBackupNone), kStateCreated, true, L"not_saved_error(87)"},
        {make_memory(L"m", kBackupNone), kStateOpened, true, L"not_saved_error(88)"},
        {make_memory(L"m", kBackupNone), kStateMemory, true, L"not_saved_error(prog err 1821)"},
        {make_file_def(f, false, kBackupNone), kStateCreated, false, L"no_need_to_save"},
        {make_file_def(f, true, kBackupNone), kStateOpened, false, L"no_need_to_save"},
        {make_file_def(f, true, kBackupNone), kStateMemory, true, L"not_saved_error(89)"},
        {make_file_def(f, true, kBackupNone), kStateMemory, false, L"not_saved_unknown"},
        {make_file_def(f, true, kBackupNone), kStateNone, true, L"not_saved_unknown"},
        {make_no_file(), kStateCreated, true, L"not_saved_error(90)"},
        {make_no_file(), kStateOpened, true, L"not_saved_error(91)"},
        {make_no_file(), kStateMemory, true, L"not_saved_error(92)"},
        {make_no_file(), kStateNone, true, L"not_saved_unknown"},
    };
  };
  const std::vector<uint8_t> before = Bytes(file);
  Run([&] {
    for (const Row& r : Rows()) {
      d->set_as_modified(r.modified);
      EXPECT_EQ(Result(d->save_my_db(r.state, r.fd, Filter())), r.want) << r.state << " " << Narrow(r.want);
      EXPECT_EQ(d->is_modified(), r.modified);  // nothing was saved
    }
  });
  EXPECT_EQ(Bytes(file), before);

  // Row 7: a created document is written even unmodified when its flag is
  // true; row 8: an opened modified one.
  Run([&] {
    c->set_as_modified(false);
    EXPECT_EQ(Result(c->save_my_db(kStateCreated, make_file_def(created.c_str(), true, kBackupNone), Filter())),
              L"saved(" + created + L")");
    AddName(d->orv_get_chaindb(), L"bob");
    d->set_as_modified(true);
    EXPECT_EQ(Result(d->orv_save(Filter())), L"saved(" + file + L")");
    EXPECT_FALSE(d->is_modified());
    EXPECT_EQ(Result(d->orv_save(Filter())), L"no_need_to_save");
  });
  EXPECT_EQ(Checked(created), "exit 0\n");
  EXPECT_EQ(Checked(file), "exit 0\nchain names\n  ann\n  bob\ntree bt_names\n  ann\n  bob\n");
  EXPECT_FALSE(Exists(file + L"~cdb"));
}

TEST_F(Document, BackupNames) {
  const std::wstring a = Path(L"a.km6"), b = Path(L"b.km6"), n = Path(L"n.km6");
  orvDB* da = Open(make_file_def(a.c_str(), false, kBackupDayHour));
  orvDB* db = Open(make_file_def(b.c_str(), false, kBackupMonthDay));
  orvDB* dn = Open(make_file_def(n.c_str(), false, kBackupNone));
  auto Clock = [] {
    int32_t y, mo, d, h, mi;
    tav::time::new_()->getdateandtime(&y, &mo, &d, &h, &mi);
    return std::vector<int32_t>{mo, d, h};
  };
  std::vector<int32_t> before, after;
  Run([&] {
    before = Clock();
    for (orvDB* d : {da, db, dn}) {
      d->set_as_modified(true);
      d->orv_save(Filter());
    }
    after = Clock();
  });
  auto Names = [&](const std::vector<int32_t>& t) {
    return std::vector<std::wstring>{a + L"(" + std::to_wstring(t[1]) + L"_" + std::to_wstring(t[2]) + L")",
                                     b + L"_" + std::to_wstring(t[0]) + L"(" + std::to_wstring(t[1]) + L")"};
  };
  bool found = false;
  for (const auto& t : {before, after}) {
    std::vector<std::wstring> names = Names(t);
    if (Exists(names[0]) && Exists(names[1])) {
      found = true;
      EXPECT_EQ(Checked(names[0]), "exit 0\n");
    }
  }
  EXPECT_TRUE(found) << Narrow(Names(before)[0]);
  // 1003 writes none: only the document itself in its folder's n* names.
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((n + L"*").c_str(), &fd);
  int count = 0;
  if (h != INVALID_HANDLE_VALUE) {
    do ++count;
    while (FindNextFileW(h, &fd));
    FindClose(h);
  }
  EXPECT_EQ(count, 1);
  // A second save of an opened document writes no backup.
}

TEST_F(Document, QuietSaveAs) {
  const std::wstring file = Path(L"q.km6");
  MakeDocument(file, {L"ann"});
  orvDB* d = Open(make_file_def(file.c_str(), false, kBackupNone));
  AddName(d->orv_get_chaindb(), L"bob");
  d->set_as_modified(true);
  const std::wstring back = file + L".km6 Back", other = Path(L"other.km6");
  Run([&] {
    // A copy only: the name and the flag stay.
    EXPECT_EQ(Result(d->orv_quiet_save_as(false, back.c_str())), L"saved(" + back + L")");
    EXPECT_TRUE(d->is_modified());
    EXPECT_EQ(std::wstring(d->get_file_name()->Name()), file);
    // Adopted: the document is the new file, saved.
    EXPECT_EQ(Result(d->orv_quiet_save_as(true, other.c_str())), L"saved(" + other + L")");
    EXPECT_FALSE(d->is_modified());
    EXPECT_EQ(std::wstring(d->get_file_name()->Name()), other);
    EXPECT_EQ(d->get_state(), kStateOpened);
  });
  const std::string want = "exit 0\nchain names\n  ann\n  bob\ntree bt_names\n  ann\n  bob\n";
  EXPECT_EQ(Checked(back), want);
  EXPECT_EQ(Checked(other), want);
  EXPECT_EQ(Checked(file), "exit 0\nchain names\n  ann\ntree bt_names\n  ann\n");
  // The memory database the constructor made is the one deleted.
  Run([&] { EXPECT_EQ(Result(d->orv_close(Filter(), false)), L"closed(no_need_to_save)"); });
  EXPECT_EQ(ErrorNumber(RunTrapped([&] { chainDB::db_delete(file.c_str(), place::in_memory); })), 1318u);
}

// A target held open without delete sharing: the save raises the OS error
// to the caller, the flag stays set, the file keeps its bytes.
TEST_F(Document, FailedSaveKeepsFlagAndFile) {
  const std::wstring file = Path(L"held.km6");
  MakeDocument(file, {L"ann"});
  const std::vector<uint8_t> before = Bytes(file);
  orvDB* d = Open(make_file_def(file.c_str(), false, kBackupNone));
  kwiORVDB* k = OpenKwi(make_file_def(Path(L"held2.km6").c_str(), false, kBackupNone));
  (void)k;
  AddName(d->orv_get_chaindb(), L"bob");
  d->set_as_modified(true);
  HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  const uint32_t code = RunTrapped([&] { d->orv_save(Filter()); });
  const uint32_t quiet = RunTrapped([&] { d->orv_quiet_save_as(true, file.c_str()); });
  CloseHandle(h);
  EXPECT_EQ(ErrorNumber(code), 1336u);
  EXPECT_EQ(ErrorNumber(quiet), 1336u);
  EXPECT_TRUE(d->is_modified());
  EXPECT_EQ(Bytes(file), before);
  EXPECT_FALSE(Exists(file + L"~cdb"));
  // Released, the next save writes it.
  Run([&] { EXPECT_EQ(Result(d->orv_save(Filter())), L"saved(" + file + L")"); });
  EXPECT_EQ(Checked(file), "exit 0\nchain names\n  ann\n  bob\ntree bt_names\n  ann\n  bob\n");
}

// --- closing ---

TEST_F(Document, CloseTable) {
  const std::wstring file = Path(L"k.km6"), created = Path(L"new.km6");
  MakeDocument(file, {L"ann"});
  struct Row {
    const char* what;
    const file_def* fd;
    uint32_t state;  // set after the open; 0 keeps the open's
    bool modified, saveFirst;
    std::wstring want;
  };
  auto Fd = [&] { return make_file_def(file.c_str(), false, kBackupNone); };
  const std::vector<Row> rows = {
      {"volatile", make_volatile(L"v1"), 0, false, true, L"closed(no_need_to_save)"},
      {"memory 102", make_memory(L"m1", kBackupNone), kStateCreated, false, true, L"not_closed_error(91)"},
      {"memory 103", make_memory(L"m2", kBackupNone), kStateOpened, false, true, L"not_closed_error(92)"},
      {"memory 104", make_memory(L"m3", kBackupNone), 0, false, true, L"not_closed_error(94)"},
      {"opened, save first, modified", Fd(), 0, true, true, L"closed(saved(" + file + L"))"},
      {"opened, save first, unmodified", Fd(), 0, false, true, L"not_closed_error(94)"},
      {"created, no save", make_file_def(created.c_str(), false, kBackupNone), 0, true, false,
       L"closed(no_need_to_save)"},
      {"file_def 104", Fd(), kStateMemory, true, true, L"not_closed_error(93)"},
      {"file_def 100", Fd(), kStateNone, true, true, L"not_closed_error(94)"},
  };
  for (const Row& r : rows) {
    orvDB* d = Open(r.fd);
    const uint32_t opened = d->get_state();
    if (r.state) d->sdb_state = r.state;
    d->set_as_modified(r.modified);
    Run([&] {
      EXPECT_EQ(Result(d->orv_close(Filter(), r.saveFirst)), r.want) << r.what;
      if (d->get_state() == kStateClosed) {
        EXPECT_EQ(Result(d->orv_close(Filter(), false)), L"already_closed");
        rec().Clear();
        EXPECT_EQ(Result(d->orv_save(Filter())), L"not_saved_closed");
        EXPECT_EQ(Result(d->orv_quiet_save_as(true, file.c_str())), L"not_saved_closed");
        EXPECT_EQ(rec().Texts(L"note"), Texts{L"Error 899 - already closed"});
      }
    });
    d->sdb_state = d->get_state() == kStateClosed ? kStateClosed : opened;  // for the tear-down
  }
  // no_file never opened anything: its table rows by state.
  orvDB* none = Open(make_no_file());
  for (auto [state, want] : {std::pair<uint32_t, const wchar_t*>{kStateCreated, L"not_closed_error(94)"},
                             {kStateOpened, L"not_closed_error(95)"},
                             {kStateMemory, L"not_closed_error(96)"}}) {
    none->sdb_state = state;
    Run([&] { EXPECT_EQ(Result(none->orv_close(Filter(), true)), want); });
  }
  none->sdb_state = kStateNone;
  EXPECT_FALSE(Exists(created));
  EXPECT_EQ(Checked(file), "exit 0\nchain names\n  ann\ntree bt_names\n  ann\n");
}

TEST_F(Document, ForceSaveAs) {
  const std::wstring file = Path(L"f.km6");
  MakeDocument(file, {L"ann"});
  orvDB* d = Open(make_file_def(file.c_str(), false, kBackupMonthDay));
  Run([&] {
    d->eventually_force_save_as(L"nothing here", L"roster");
    EXPECT_EQ(d->get_state(), kStateOpened);
    d->eventually_force_save_as(L"an old ROSTER", L"roster");
    EXPECT_EQ(d->get_state(), kStateMemory);
    const file_def* fd = d->get_file_name();
    EXPECT_EQ(fd->Kind(), FileKind::memory);
    EXPECT_EQ(std::wstring(fd->Name()), file);
    EXPECT_EQ(fd->Backup(), kBackupMonthDay);
    EXPECT_EQ(Result(d->orv_save(Filter())), L"not_saved_error(prog err 1821)");
  });
}

TEST_F(Document, ReferencesAsNumbers) {
  Run([&] {
    uint32_t n = 0;
    EXPECT_TRUE(orvDB::ref_int(0x1A2B, &n));
    EXPECT_EQ(n, 0x1A2Bu);
    int32_t ref = 0;
    EXPECT_TRUE(orvDB::ref_int(uint32_t{0x1A2B}, &ref));
    EXPECT_EQ(ref, 0x1A2B);
    EXPECT_TRUE(rec().shown().empty());
    // Numbers past the references' range.
    EXPECT_FALSE(orvDB::ref_int(uint32_t{0x4000000}, &ref));
    EXPECT_FALSE(orvDB::ref_int(uint32_t{0xFFFFFFFF}, &ref));
  });
  EXPECT_EQ(rec().Texts(L"note"), (Texts{L"Ref_nt fail", L"Ref_nt fail"}));
}

// --- the variant with save prompts ---

TEST_F(Document, SaveQuestion) {
  const std::wstring file = Path(L"ask.km6");
  MakeDocument(file, {L"ann"});
  kwiORVDB* d = OpenKwi(make_file_def(file.c_str(), false, kBackupDayHour));
  const std::vector<uint8_t> before = Bytes(file);
  const std::wstring question = L"Save " + file + L" ?|Save|Forget|Cancel";
  struct Case {
    std::optional<uint32_t> answer;
    const wchar_t* want;
  };
  AddName(d->orv_get_chaindb(), L"bob");
  for (const Case& c : {Case{1, L"not_saved_forget"}, Case{2, L"not_saved_cancelled"},
                        Case{std::nullopt, L"not_saved_cancelled"}}) {
    rec().Clear();
    d->set_as_modified(true);
    rec().Answer(c.answer);
    Run([&] { EXPECT_EQ(Result(d->orv_save(Filter())), c.want); });
    EXPECT_EQ(rec().shown(), (std::vector<Shown>{{L"ask", question}}));
    EXPECT_TRUE(d->is_modified());
    EXPECT_EQ(Bytes(file), before);
  }
  // "Save": written, flag cleared, no backup copies.
  rec().Clear();
  rec().Answer(0);
  Run([&] { EXPECT_EQ(Result(d->orv_save(Filter())), L"saved(" + file + L")"); });
  EXPECT_FALSE(d->is_modified());
  EXPECT_EQ(Checked(file), "exit 0\nchain names\n  ann\n  bob\ntree bt_names\n  ann\n  bob\n");
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((file + L"(*").c_str(), &fd);
  EXPECT_EQ(h, INVALID_HANDLE_VALUE);
  if (h != INVALID_HANDLE_VALUE) FindClose(h);
  // Not modified: no question.
  rec().Clear();
  Run([&] { EXPECT_EQ(Result(d->orv_save(Filter())), L"no_need_to_save"); });
  // Without asking: the plain save.
  d->set_dont_ask();
  d->set_as_modified(true);
  Run([&] { EXPECT_EQ(Result(d->orv_save(Filter())), L"saved(" + file + L")"); });
  EXPECT_TRUE(rec().shown().empty());
  // The inherited close never asks.
  kwiORVDB* e = OpenKwi(make_file_def(file.c_str(), false, kBackupNone));
  e->set_as_modified(true);
  rec().Clear();
  Run([&] { EXPECT_EQ(Result(e->orv_close(Filter(), true)), L"closed(saved(" + file + L"))"); });
  EXPECT_TRUE(rec().Texts(L"ask").empty());
}

TEST_F(Document, SaveAsTable) {
  const std::wstring file = Path(L"sa.km6"), chosen = Path(L"chosen.km6");
  MakeDocument(file, {L"ann"});
  kwiORVDB* d = OpenKwi(make_file_def(file.c_str(), false, kBackupNone));
  const std::wstring dialog = L"Save file as||C:\\|Roster|*.km6|flag1";
  const wchar_t* f = file.c_str();
  const std::vector<Row> rows = {
      {make_volatile(L"v"), kStateOpened, true, L"not_saved_unknown"},
      {make_memory(L"m", kBackupNone), kStateCreated, true, L"not_saved_error(71)"},
      {make_memory(L"m", kBackupNone), kStateOpened, true, L"not_saved_error(72)"},
      {make_file_def(f, false, kBackupNone), kStateCreated, false, L"no_need_to_save"},
      {make_file_def(f, true, kBackupNone), kStateOpened, false, L"no_need_to_save"},
      {make_file_def(f, true, kBackupNone), kStateMemory, true, L"not_saved_error(73)"},
      {make_no_file(), kStateCreated, true, L"not_saved_error(74)"},
      {make_no_file(), kStateOpened, true, L"not_saved_error(75)"},
      {make_no_file(), kStateMemory, true, L"not_saved_error(76)"},
      {make_file_def(f, true, kBackupNone), kStateNone, true, L"not_saved_error(77)"},
  };
  for (const Row& r : rows) {
    d->part->sdb_state = r.state;
    Run([&] {
      d->set_as_modified(r.modified);
      d->part->Store(r.fd);
      EXPECT_EQ(Result(d->orv_save_as(Filter())), r.want) << r.state << " " << Narrow(r.want);
    });
  }
  EXPECT_TRUE(rec().Texts(L"getfilename").empty());

  // The dialog: cancelled, an empty name, then a chosen one.
  d->part->sdb_state = kStateOpened;
  Run([&] { d->part->Store(make_file_def(f, false, kBackupNone)); });
  d->set_as_modified(true);
  rec().Choose(std::nullopt);
  rec().Choose(L"");
  rec().Choose(chosen);
  Run([&] {
    EXPECT_EQ(Result(d->orv_save_as(Filter())), L"not_saved_cancelled");
    EXPECT_EQ(Result(d->orv_save_as(Filter())), L"not_saved_cancelled");
    EXPECT_TRUE(d->is_modified());
    EXPECT_EQ(Result(d->orv_save_as(Filter())), L"saved(" + chosen + L")");
  });
  EXPECT_EQ(rec().Texts(L"getfilename"), (Texts{dialog, dialog, dialog}));
  EXPECT_FALSE(d->is_modified());
  EXPECT_EQ(std::wstring(d->get_file_name()->Name()), chosen);
  EXPECT_EQ(Checked(chosen), "exit 0\nchain names\n  ann\ntree bt_names\n  ann\n");
}

TEST_F(Document, NewMemoryDocumentAlwaysAsksForAName) {
  kwiORVDB* d = OpenKwi(make_memory(L"untitled", kBackupNone));
  const std::wstring first = Path(L"first.km6"), second = Path(L"second.km6");
  AddName(d->orv_get_chaindb(), L"ann");
  rec().Choose(first);
  rec().Choose(second);
  Run([&] {
    EXPECT_EQ(Result(d->orv_save(Filter())), L"saved(" + first + L")");
    EXPECT_EQ(d->get_state(), kStateMemory);
    EXPECT_EQ(std::wstring(d->get_file_name()->Name()), first);
    EXPECT_EQ(Result(d->orv_save(Filter())), L"saved(" + second + L")");
  });
  EXPECT_EQ(rec().Texts(L"getfilename").size(), 2u);
  EXPECT_EQ(Checked(second), "exit 0\nchain names\n  ann\ntree bt_names\n  ann\n");
  // A memory document is not closed by orv_close.
  Run([&] { EXPECT_EQ(Result(d->orv_close(Filter(), false)), L"not_closed_error(94)"); });
  d->part->sdb_file_def = nullptr;
  Run([&] {
    d->part->Store(make_volatile(L"untitled"));
    EXPECT_EQ(Result(d->orv_close(Filter(), false)), L"closed(no_need_to_save)");
  });
}

TEST_F(Document, SaveAsOfAClosedDocument) {
  const std::wstring file = Path(L"c.km6");
  MakeDocument(file, {L"ann"});
  kwiORVDB* d = OpenKwi(make_file_def(file.c_str(), false, kBackupNone));
  Run([&] {
    EXPECT_EQ(Result(d->orv_close(Filter(), false)), L"closed(no_need_to_save)");
    EXPECT_EQ(Result(d->orv_save_as(Filter())), L"not_saved_error(77)");
    EXPECT_EQ(Result(d->orv_quiet_save_as(false, file.c_str())), L"not_saved_closed");
  });
}


}  // namespace
}  // namespace rztest

namespace rztest {
namespace {

// The kill -9 rounds (doc_kill_rounds.sh): a document saved after every
// change, each save reported, until the shell ends the process.
TEST(DocChild, Endless) {
  char path[512];
  if (!GetEnvironmentVariableA("RZ_DOC_ENDLESS", path, sizeof path)) GTEST_SKIP();
  ASSERT_EQ(rizediveva6::InitializeUnit(), 0);
  Qel::RunTime::Kernel::Control::TPrologThreadData::SetPrologExceptionPredicate(&runtime_exception::raiser, 4096,
                                                                                 nullptr, nullptr);
  exception::setexceptionstate(exceptionState::New());
  DialogRecorder quiet;
  const std::wstring file(path, path + strlen(path));
  DeleteFileW(file.c_str());
  printf("start\n");
  fflush(stdout);
  const uint32_t code = RunTrapped([&] {
    orvDB* d = orvDB::new_file_def(make_file_def(file.c_str(), false, kBackupNone));
    chainDB* db = d->orv_get_chaindb();
    for (int k = 0; k < 100000; ++k) {
      uint8_t* mark = Qel::RunTime::Kernel::Memory::MarkGStack();
      const std::wstring name = L"n" + std::to_wstring(k);
      int32_t ref;
      db->chain_insertz(T::Domain(tav::domains::string), L"names", reinterpret_cast<term>(name.c_str()), &ref);
      d->set_as_modified(true);
      if (d->orv_save(Filter())->Kind() != Saved::saved) return;
      printf("saved %d\n", k + 1);
      fflush(stdout);
      Qel::RunTime::Kernel::Memory::ReleaseGStack(mark);
    }
  });
  printf("done %u\n", code);
}


}  // namespace
}  // namespace rztest

namespace rztest {
namespace {

// The same file opened twice: two documents, each with its own memory
// database; closing one leaves the other whole.
TEST_F(Document, SameFileOpenedTwice) {
  const std::wstring file = Path(L"twice.km6");
  MakeDocument(file, {L"ann"});
  orvDB* first = Open(make_file_def(file.c_str(), false, kBackupNone));
  orvDB* second = Open(make_file_def(file.c_str(), false, kBackupNone));
  ASSERT_EQ(first->get_state(), kStateOpened);
  ASSERT_EQ(second->get_state(), kStateOpened);
  AddName(first->orv_get_chaindb(), L"bob");
  AddName(second->orv_get_chaindb(), L"cid");
  Run([&] { EXPECT_EQ(Result(second->orv_close(Filter(), false)), L"closed(no_need_to_save)"); });
  first->set_as_modified(true);
  Run([&] { EXPECT_EQ(Result(first->orv_save(Filter())), L"saved(" + file + L")"); });
  EXPECT_EQ(Checked(file), "exit 0\nchain names\n  ann\n  bob\ntree bt_names\n  ann\n  bob\n");
  Run([&] { EXPECT_EQ(Result(first->orv_close(Filter(), false)), L"closed(no_need_to_save)"); });
}


// A closed memory database of the file's name is kept by the chain database:
// the load fails (1308) and that database stays as it was.
TEST_F(Document, FailedLoadLeavesAnotherMemoryDatabase) {
  const std::wstring file = Path(L"parked.km6");
  MakeDocument(file, {L"ann"});
  Run([&] {
    chainDB* other = chainDB::db_create(file.c_str(), place::in_memory);
    AddName(other, L"other");
    other->db_close();
  });
  orvDB* d = Open(make_file_def(file.c_str(), false, kBackupNone));
  EXPECT_EQ(d->get_state(), kStateNone);
  Texts notes = rec().Texts(L"note");
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].rfind(L"Failed to open database\n" + file + L"\n", 0), 0u) << Narrow(notes[0]);
  Run([&] {
    chainDB* other = chainDB::db_open(file.c_str(), place::in_memory);
    std::vector<std::wstring> names;
    other->chain_terms(T::Domain(tav::domains::string), L"names", [&](RefTerm rt) {
      names.push_back(reinterpret_cast<const wchar_t*>(rt.t));
      Qel::RunTime::Kernel::Fail();
    });
    EXPECT_EQ(names, std::vector<std::wstring>{L"other"});
    other->db_close();
    chainDB::db_delete(file.c_str(), place::in_memory);
  });
}

}  // namespace
}  // namespace rztest
