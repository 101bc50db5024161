// The import of previous-version files written by the test's own writer:
// the writer checked against the database's verifier and the runtime's
// image, whole imports reopened by a fresh process, and a table of bad
// files that leave roster, file and selector as they were.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "SYSTEM/orv_list/orv_list.h"
#include "importKM5/importKM5File.h"
#include "importKM5/km5_records.h"
#include "kalmoradb/groups.h"
#include "kalmoradb/locations.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/tasks.h"
#include "kalmoradb/typical_db.h"
#include "km5_writer.h"
#include "qel6run_db.h"
#include "roster_test.h"

namespace alltest {
namespace {

using namespace km5test;
namespace K = Qel::RunTime::Kernel;

std::wstring Wide(const std::string& s) {
  std::wstring w(s.size() + 1, L'\0');
  w.resize(MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, w.data(), static_cast<int>(w.size())) - 1);
  return w;
}

// The roster's contents as one text: doctors with every field, practices,
// tasks, locations, duration, start, the typical weeks, and the document
// database's stored terms, bytes and chains.
std::wstring Snapshot(bool withDatabase = true) {
  std::wstring s;
  uint32_t code = RunTrapped([&] {
    staff_db::nd_person([&](const PersonTerm* p) {
      s += std::wstring(L"doctor ") + p->dat->name + L" [";
      for (const SList* g = rz::AsSList(p->dat->groups); !g->Empty(); g = g->tail) s += std::wstring(g->head) + L";";
      s += L"] " + std::to_wstring(p->dat->colour) + L" " + std::wstring(1, p->dat->letter) + L" " +
           std::to_wstring(p->dat->deleted->functor) + L"\n";
      K::Fail();
    });
    for (const SList* l = groups::list_groups(); !l->Empty(); l = l->tail) s += std::wstring(L"group ") + l->head + L"\n";
    for (const SList* l = tasks::list_tasks(); !l->Empty(); l = l->tail) s += std::wstring(L"task ") + l->head + L"\n";
    for (const SList* l = locations::list_locs(); !l->Empty(); l = l->tail) s += std::wstring(L"loc ") + l->head + L"\n";
    s += L"weeks " + std::to_wstring(kalmora_DB::get_weeks_duration()) + L"\n";
    const rz::dt start = rz::time_convert::tv_date(kalmora_DB::get_start_date());
    s += L"start " + std::to_wstring(start.year) + L"-" + std::to_wstring(start.month) + L"-" +
         std::to_wstring(start.day) + L"\n";
    typical_db::nd_tls([&](day_tls d) {
      s += L"tls " + std::to_wstring(d.day_kind) + L" " + std::to_wstring(d.duty.task) + L"," +
           std::to_wstring(d.duty.where) + L"," + std::to_wstring(d.duty.slot) + L"\n";
      K::Fail();
    });
  });
  // Last: reading the header may write its defaults.
  code = code ? code : RunTrapped([&] {
    if (!withDatabase) return;
    tav::chainDB* db = kalmora_DB::db();
    uint32_t terms = 0, memory = 0, inUse = 0, freeSpace = 0;
    db->db_statistics(&terms, &memory, &inUse, &freeSpace);
    s += L"database " + std::to_wstring(terms) + L" terms " + std::to_wstring(inUse) + L" bytes:";
    db->db_chains([&](const wchar_t* chain) {
      s += std::wstring(L" ") + chain;
      K::Fail();
    });
    s += L"\n";
  });
  return code ? L"error " + std::to_wstring(ErrorNumber(code)) : s;
}

// The roster that an import of `r` must give: what the stores hold after
// the same additions made directly.
std::wstring Expected(const Km5Roster& r, const std::wstring& defaults) {
  std::wstring s;
  std::vector<std::wstring> names, practices;
  for (const Km5Doctor& d : r.doctors) {
    const std::wstring name = Wide(d.name), practice = Wide(d.practice);
    if (!practice.empty() && std::find(practices.begin(), practices.end(), practice) == practices.end())
      practices.push_back(practice);
    if (std::find(names.begin(), names.end(), name) != names.end()) continue;
    names.push_back(name);
    s += L"doctor " + name + L" [" + (practice.empty() ? L"" : practice + L";") + L"] " + std::to_wstring(d.colour) +
         L" " + Wide(std::string(1, d.letter)) + L" " + (d.deleted ? L"1" : L"2") + L"\n";
  }
  for (const std::wstring& p : practices) s += L"group " + p + L"\n";
  for (const std::string& t : r.tasks) s += L"task " + Wide(t) + L"\n";
  for (const std::string& l : r.locations) s += L"loc " + Wide(l) + L"\n";
  s += defaults;
  return s;
}

class Import : public Roster {
 protected:
  std::wstring Write(const wchar_t* name, const ByteVec& bytes) {
    const std::wstring path = Path(name);
    WriteBytes(path, bytes);
    return path;
  }
  uint32_t Imp(const std::wstring& file) {
    return RunTrapped([&] { importKM5File::imp(file.c_str()); });
  }
};

TEST_F(Import, WriterFilesPassTheVerifier) {
  for (const Km5Roster& r : {SmallRoster(), BigRoster(), Km5Roster{}}) {
    Km5File f = FileOf(r);
    const ByteVec bytes = f.Build();
    const chaindb_verify::Report report = chaindb_verify::Verify(bytes);
    EXPECT_TRUE(report.ok()) << report.Text();
    EXPECT_FALSE(report.wide);
    EXPECT_EQ(bytes.size() % 4, bytes.size() % 4);
  }
  // An empty database has the library's empty layout: 6036 bytes.
  Km5File empty;
  EXPECT_EQ(empty.Build().size(), 6036u);
}

// The runtime's code-page image of the same terms.
TEST_F(Import, ImagesEqualTheRuntimes) {
  ASSERT_EQ(km5::InitializeUnit(), 0);
  Run([&] {
    const uint32_t cp = 1252;
    auto image = [&](const T::RCompoundDomain& d, const void* t) {
      T::TBinary b = T::ToBinaryCodePage(T::Domain(d), static_cast<term>(t), cp);
      uint32_t size;
      memcpy(&size, b - 4, 4);
      return ByteVec(b, b + size - 4);
    };
    const tav::ConstantTerm deleted{kDeleted};
    const km5::Person1Term person{km5::kRecord, 0x30000, L"M\u00FCller", L"Praxis \u00C4", 0x123456, L'\u00C4',
                                  &deleted};
    EXPECT_EQ(image(km5::person1, &person),
              ImagePerson1(0x30000, "M\xFCller", "Praxis \xC4", 0x123456, '\xC4', true));
    const km5::Dt1Term date{km5::kRecord, 2026, 2, 28};
    EXPECT_EQ(image(km5::dt1, &date), ImageDt1(2026, 2, 28));
    const km5::TlsTerm duty{km5::kRecord, 4, 9, 3};
    EXPECT_EQ(image(km5::task_loc_slot, &duty), ImageTls(4, 9, 3));
    const km5::TlsTerm dummy{km5::kDummy};
    EXPECT_EQ(image(km5::task_loc_slot, &dummy), ImageDummy());
  });
}

TEST_F(Import, SmallRosterImportsEveryRecord) {
  New();
  const Km5Roster r = SmallRoster();
  const std::wstring file = Write(L"small.km5", FileOf(r).Build());
  const ByteVec before = Bytes(file);
  ASSERT_EQ(Imp(file), 0u);
  EXPECT_EQ(Bytes(file), before);
  EXPECT_EQ(Snapshot(false), Expected(r, L"weeks 8\nstart 2026-3-2\n"
                                    L"tls 1003 1,1,1\ntls 1001 2,2,1\ntls 1002 1,2,1\ntls 1002 2,1,1\ntls 1002 2,2,1\n"));
  EXPECT_TRUE(rec().Texts(L"note").empty());
}

// Repeated task and location names share one number; the typical duties
// follow the names, numbers past the file's lists and slots stay.
TEST_F(Import, RepeatedNamesMapNumbersByName) {
  New();
  Km5Roster r = SmallRoster();
  r.tasks = {"Dienst", "Visite", "Dienst"};
  r.locations = {"Ost", "Ost", "West"};
  r.typical[0] = {{3, 3, 7}, {2, 2, 1}, {5, 9, 2}};
  r.typical[1] = {};
  r.typical[2] = {};
  ASSERT_EQ(Imp(Write(L"repeat.km5", FileOf(r).Build())), 0u);
  const std::wstring s = Snapshot();
  EXPECT_NE(s.find(L"task Dienst\ntask Visite\nloc Ost\nloc West\n"), std::wstring::npos) << Narrow(s);
  EXPECT_NE(s.find(L"tls 1003 1,2,7\ntls 1003 2,1,1\ntls 1003 5,9,2\n"), std::wstring::npos) << Narrow(s);
}

TEST_F(Import, MissingChainsLeaveTheHeader) {
  New();
  const std::wstring defaults = Snapshot();
  Km5Roster r;
  r.tasks = {"Dienst"};
  ASSERT_EQ(Imp(Write(L"bare.km5", FileOf(r).Build())), 0u);
  const std::wstring s = Snapshot();
  auto line = [](const std::wstring& text, const wchar_t* key) {
    const size_t at = text.find(key);
    return at == std::wstring::npos ? std::wstring() : text.substr(at, text.find(L'\n', at) - at);
  };
  EXPECT_EQ(line(s, L"weeks "), line(defaults, L"weeks "));
  EXPECT_EQ(line(s, L"start "), line(defaults, L"start "));
  EXPECT_EQ(line(s, L"task "), L"task Dienst");
}

// The roster must be new and empty; without one only the doctors store
// speaks.
TEST_F(Import, RefusesAFilledRosterAndNoRoster) {
  const std::wstring file = Write(L"small.km5", FileOf(SmallRoster()).Build());
  EXPECT_EQ(Imp(file), 0u);
  EXPECT_EQ(rec().Texts(L"note"), std::vector<std::wstring>{L"Staff_db not initialised"});
  New();
  for (auto fill : std::vector<std::function<void()>>{[] { staff_db::add_name(L"Eva"); },
                                                      [] { groups::add_group(L"Nord"); },
                                                      [] { tasks::add_task(L"Dienst"); },
                                                      [] { locations::add_loc(L"Ost"); }}) {
    Run([&] {
      staff_db::clear();
      groups::clear();
      tasks::clear();
      locations::clear();
      fill();
    });
    const std::wstring before = Snapshot();
    rec().Clear();
    EXPECT_EQ(Imp(file), 0u);
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(rec().Texts(L"note"), std::vector<std::wstring>{L"Import needs a new, empty roster"});
  }
}

// The file names itself in an error's trace.
bool NamesFile(uint32_t code, const std::wstring& file) {
  bool named = false;
  tav::exception::getdescriptor_nd(code, [&](const tav::TraceEntry* e) {
    const tav::ValueTerm* v = tav::exception::trygetextrainfo(e, L"File name");
    if (v && v->Kind() == tav::ValueKind::string && file == v->As<const wchar_t*>()) named = true;
  });
  return named;
}

struct BadCase {
  std::string name;
  std::function<ByteVec()> bytes;
  uint32_t error;  // the run-time error number; 0: the import's own exception
};

ByteVec Patched(const Km5Roster& r, std::function<void(ByteVec&, const std::vector<Boundary>&)> patch) {
  Km5File f = FileOf(r);
  ByteVec b = f.Build();
  patch(b, f.boundaries());
  return b;
}
uint32_t Word(const ByteVec& b, size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t{b[at + 3]} << 24; }
void SetWord(ByteVec& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
// The position of the first record of a chain (its records follow the tables).
size_t RecordOf(const std::vector<Boundary>& bounds, const std::string& chain) {
  for (size_t i = 1; i < bounds.size(); ++i)
    if (bounds[i].what == "record of " + chain) return bounds[i - 1].at;
  return 0;
}

std::vector<BadCase> BadCases() {
  std::vector<BadCase> cases;
  auto with = [](std::function<void(Km5Roster&)> change) {
    return [change] {
      Km5Roster r = SmallRoster();
      change(r);
      return FileOf(r).Build();
    };
  };
  // Ranges of the records' fields.
  cases.push_back({"task 11", with([](Km5Roster& r) { r.typical[2][1].task = 11; }), 302});
  cases.push_back({"task 0", with([](Km5Roster& r) { r.typical[0][0].task = 0; }), 302});
  cases.push_back({"location 11", with([](Km5Roster& r) { r.typical[1][0].where = 11; }), 302});
  cases.push_back({"slot 11", with([](Km5Roster& r) { r.typical[2][2].slot = 11; }), 302});
  cases.push_back({"slot 0", with([](Km5Roster& r) { r.typical[2][2].slot = 0; }), 302});
  cases.push_back({"year 1949", with([](Km5Roster& r) { r.year = 1949; }), 302});
  cases.push_back({"year 2051", with([](Km5Roster& r) { r.year = 2051; }), 302});
  cases.push_back({"month 13", with([](Km5Roster& r) { r.month = 13; }), 302});
  cases.push_back({"day 32", with([](Km5Roster& r) { r.day = 32; }), 302});
  cases.push_back({"weeks 105", with([](Km5Roster& r) { r.weeks = 105; }), 302});
  cases.push_back({"weeks -1", with([](Km5Roster& r) { r.weeks = -1; }), 302});
  // The import's own refusals.
  cases.push_back({"31 February", with([](Km5Roster& r) { r.month = 2, r.day = 31; }), 0});
  cases.push_back({"29 February 2027", with([](Km5Roster& r) { r.year = 2027, r.month = 2, r.day = 29; }), 0});
  cases.push_back({"blank task", with([](Km5Roster& r) { r.tasks[1] = " "; }), 0});
  cases.push_back({"empty location", with([](Km5Roster& r) { r.locations[0] = ""; }), 0});
  cases.push_back({"11 tasks", with([](Km5Roster& r) {
                     for (int i = 0; i < 9; ++i) r.tasks.push_back("T" + std::to_string(i));
                   }), 0});
  cases.push_back({"11 locations", with([](Km5Roster& r) {
                     for (int i = 0; i < 9; ++i) r.locations.push_back("L" + std::to_string(i));
                   }), 0});
  // The layout.
  // A wrong signature beside a good version word reads as a damaged header.
  cases.push_back({"signature", [] { return Patched(SmallRoster(), [](ByteVec& b, auto&) { b[8] = 'P'; }); }, 1317});
  cases.push_back({"signature and version", [] {
                     return Patched(SmallRoster(), [](ByteVec& b, auto&) { b[8] = 'P'; SetWord(b, 16, 0); });
                   }, 1326});
  cases.push_back({"version 301", [] { return Patched(SmallRoster(), [](ByteVec& b, auto&) { SetWord(b, 16, 301); }); },
                   1326});
  cases.push_back({"wide signature", [] { return Patched(SmallRoster(), [](ByteVec& b, auto&) { b[9] = 0; }); }, 1317});
  cases.push_back({"update mark", [] { return Patched(SmallRoster(), [](ByteVec& b, auto&) { b[56] = 1; }); }, 1317});
  cases.push_back({"chain table past the end", [] {
                     return Patched(SmallRoster(), [](ByteVec& b, auto&) { SetWord(b, 116, static_cast<uint32_t>(b.size())); });
                   }, 1111});
  cases.push_back({"reference past the end", [] {
                     return Patched(SmallRoster(), [](ByteVec& b, auto&) {
                       SetWord(b, Word(b, 192) + 24, static_cast<uint32_t>(b.size() + 100));
                     });
                   }, 1319});
  cases.push_back({"chain names a dead reference", [] {
                     return Patched(SmallRoster(), [](ByteVec& b, auto&) { SetWord(b, Word(b, 116) + 20, 900u << 16); });
                   }, 1319});
  cases.push_back({"image cut short", [] {
                     return Patched(SmallRoster(), [](ByteVec& b, const std::vector<Boundary>& bounds) {
                       const size_t at = RecordOf(bounds, "staff_chain");
                       SetWord(b, at, Word(b, at) - 6);
                     });
                   }, 304});
  cases.push_back({"date image cut short", [] {
                     return Patched(SmallRoster(), [](ByteVec& b, const std::vector<Boundary>& bounds) {
                       const size_t at = RecordOf(bounds, "start_date");
                       SetWord(b, at, 12 + 3);
                     });
                   }, 304});
  cases.push_back({"empty file", [] { return ByteVec(); }, 1111});
  // Cut at every structure boundary (and inside the header): a short header
  // cannot be read, a file shorter than its stored end is refused.
  Km5File small = FileOf(SmallRoster());
  const ByteVec whole = small.Build();
  std::vector<uint32_t> cuts{100};
  for (const Boundary& b : small.boundaries())
    if (b.at < whole.size()) cuts.push_back(b.at);
  for (uint32_t cut : cuts)
    cases.push_back({"cut at " + std::to_string(cut), [whole, cut] { return ByteVec(whole.begin(), whole.begin() + cut); },
                     cut < 312 ? 1111u : 1326u});
  return cases;
}

TEST_F(Import, BadFilesChangeNothing) {
  New();
  const std::wstring empty = Snapshot();
  const std::wstring good = Write(L"good.km5", FileOf(SmallRoster()).Build());
  for (const BadCase& c : BadCases()) {
    SCOPED_TRACE(c.name);
    const std::wstring file = Write(L"bad.km5", c.bytes());
    const ByteVec before = Bytes(file);
    const uint32_t code = Imp(file);
    ASSERT_NE(code, 0u);
    if (c.error) EXPECT_EQ(ErrorNumber(code), c.error);
    else EXPECT_NE(tav::exception::trygetdescriptor(code, &importKM5File::invalidfile), nullptr);
    EXPECT_TRUE(NamesFile(code, file));
    tav::exception::clear(code);
    EXPECT_EQ(Snapshot(), empty);
    EXPECT_EQ(Bytes(file), before);
  }
  // Selector 1 is free: a good file imports right after.
  ASSERT_EQ(Imp(good), 0u);
  EXPECT_NE(Snapshot(), empty);
}

// Files that cannot be opened, and a read-only file, which imports.
TEST_F(Import, FolderLockedAndReadOnlyFiles) {
  New();
  const std::wstring empty = Snapshot();
  const std::wstring folder = Path(L"folder.km5");
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  uint32_t code = Imp(folder);
  EXPECT_NE(code, 0u);
  RemoveDirectoryW(folder.c_str());

  const std::wstring file = Write(L"locked.km5", FileOf(SmallRoster()).Build());
  testchild::Child holder =
      testchild::Start(testchild::Beside(L"km5_lock_holder.exe"), L"km5_lock_holder.exe \"" + file + L"\"");
  ASSERT_TRUE(holder.Started());
  const ULONGLONG end = GetTickCount64() + 20000;
  while (holder.text.find('\n') == std::string::npos && GetTickCount64() < end) {
    testchild::Poll(holder);
    Sleep(5);
  }
  ASSERT_EQ(holder.text.substr(0, 6), "locked");
  code = Imp(file);
  testchild::Wait(holder, 20000, 1);
  EXPECT_NE(code, 0u);
  EXPECT_TRUE(NamesFile(code, file));
  EXPECT_EQ(Snapshot(), empty);

  ASSERT_TRUE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY));
  const ByteVec before = Bytes(file);
  EXPECT_EQ(Imp(file), 0u);
  EXPECT_EQ(Bytes(file), before);
  EXPECT_NE(Snapshot(), empty);
}

// `import`: events posted before it run before the dialog shows; a
// cancelled dialog imports nothing.
LRESULT CALLBACK NoteOnPost(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_APP) rizediveva6::myKWI::note(L"posted command");
  return DefWindowProcW(w, m, wp, lp);
}

TEST_F(Import, ImportRunsPostedEventsThenAsks) {
  New();
  WNDCLASSW wc{};
  wc.lpfnWndProc = NoteOnPost;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"km5_post_target";
  RegisterClassW(&wc);
  HWND target = CreateWindowW(L"km5_post_target", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(target, nullptr);
  const std::wstring empty = Snapshot();
  rec().Clear();
  PostMessageW(target, WM_APP, 0, 0);
  rec().Choose(std::nullopt);
  Run([] { importKM5File::import(); });
  ASSERT_EQ(rec().shown().size(), 2u);
  EXPECT_EQ(rec().shown()[0], (rztest::DialogRecorder::Shown{L"note", L"posted command"}));
  EXPECT_EQ(rec().shown()[1].text,
            L"Select old Kalmora5 file to import - creates a new KM6 file|*.km5|C:\\|Kalmora5 files|.km5");
  EXPECT_EQ(Snapshot(), empty);

  rec().Choose(Write(L"chosen.km5", FileOf(SmallRoster()).Build()));
  Run([] { importKM5File::import(); });
  EXPECT_NE(Snapshot(), empty);
  DestroyWindow(target);
}

// The fixture roster imported, saved and reopened by a fresh process
// equals the same roster written directly through the stores.
TEST_F(Import, BigRosterReopensAsItsSpec) {
  const Km5Roster r = BigRoster();
  New(L"imported.km6");
  ASSERT_EQ(Imp(Write(L"big.km5", FileOf(r).Build())), 0u);
  const std::wstring imported = Snapshot(false);
  // Doctors, practices, tasks, locations with every field; the repeated
  // name keeps the first record's details and gives add_name's note.
  std::wstring header = L"weeks 52\nstart 2026-1-5\n";  // the Monday
  const uint32_t kinds[3] = {kSaturday, kSunday, kWeekday};
  for (int k = 0; k < 3; ++k)
    for (const Km5Tls& t : r.typical[k])
      header += L"tls " + std::to_wstring(kinds[k]) + L" " + std::to_wstring(t.task) + L"," + std::to_wstring(t.where) +
                L"," + std::to_wstring(t.slot) + L"\n";
  EXPECT_EQ(imported, Expected(r, header));
  EXPECT_EQ(rec().Texts(L"note"), std::vector<std::wstring>{L"Person already exists"});
  Run([] { kalmora_DB::save_kalmora(); });

  // The same roster through the stores.
  kalmora_DB::uninit();
  New(L"direct.km6");
  Run([&] {
    for (const Km5Doctor& d : r.doctors) {
      if (!d.practice.empty()) groups::add_group(Wide(d.practice).c_str());
      const PersonTerm* p = nullptr;
      if (staff_db::get_person(Wide(d.name).c_str(), &p)) continue;
      staff_db::add_name(Wide(d.name).c_str());
      staff_db::get_person(Wide(d.name).c_str(), &p);
      const rz::SList* g = d.practice.empty() ? rz::Nil<const wchar_t*>()
                                              : rz::MakeList<const wchar_t*>({tav::HeapCopy(Wide(d.practice).c_str())});
      staff_db::replace_person(MakePerson(p->ref, tav::HeapCopy(Wide(d.name).c_str()), g, d.colour,
                                          Wide(std::string(1, d.letter))[0], d.deleted ? kDeleted : kExists));
    }
    for (const std::string& l : r.locations) locations::add_loc(Wide(l).c_str());
    for (const std::string& t : r.tasks) tasks::add_task(Wide(t).c_str());
    kalmora_DB::put_weeks_duration(52);
    kalmora_DB::put_start_date(rz::time_convert::date_tv(rz::dt{2026, 1, 7}));
    for (int k = 0; k < 3; ++k) {
      rz::ListBuilder<tls> b;
      for (const Km5Tls& t : r.typical[k]) b.Add(tls{t.task, t.where, static_cast<uint32_t>(t.slot)});
      typical_db::add_tls(kinds[k], b.Finish());
    }
    kalmora_DB::save_kalmora();
  });
  EXPECT_EQ(Snapshot(false), imported);
  kalmora_DB::uninit();
  for (const wchar_t* mode : {L"dump", L"lists", L"index"}) {
    SCOPED_TRACE(Narrow(mode));
    auto [importedCode, importedText] = RosterChild(std::wstring(mode) + L" \"" + Path(L"imported.km6") + L"\"");
    auto [directCode, directText] = RosterChild(std::wstring(mode) + L" \"" + Path(L"direct.km6") + L"\"");
    EXPECT_EQ(importedCode, 0u);
    EXPECT_EQ(importedText, directText);
    EXPECT_GT(importedText.size(), 20u);
    // The new roster has one slot: of each day's 30 typical duties (slots 1
    // to 3, all kept in the typical week) the 10 of slot 1 are derived, on
    // 52 x 7 days.
    if (std::wstring(mode) == L"index") EXPECT_EQ(importedText.substr(0, importedText.find(L'\n')), L"duties 3640");
  }
}

}  // namespace
}  // namespace alltest
