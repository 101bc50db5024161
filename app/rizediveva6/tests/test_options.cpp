// The options file and its accessors, and the recently used files, each
// scenario run by a fresh copy of this program from a folder of its own.
#include <windows.h>

#include <cstdio>
#include <map>

#include "SYSTEM/myKWI/myKWI.h"
#include "SYSTEM/options/fact_file.h"
#include "SYSTEM/options/options_db.h"
#include "SYSTEM/orv_list/remember_files.h"
#include "fileSystem/fileStream.h"
#include "options_child.h"
#include "qel6kwi.h"
#include "qel6kwi_win.h"
#include "qel6run_db.h"
#include "rz_test.h"

namespace rizediveva6::domains {
extern Qel::RunTime::Terms::DBInternal::RFactDatabase f_opt;
}

namespace rztest {
namespace {

using O = rizediveva6::options_db;
using R = rizediveva6::remember_files;

std::string U8(const std::wstring& w) { return Utf8(w); }

// --- The child's side ---------------------------------------------------------------------

std::wstring Folder() {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring p = self;
  return p.substr(0, p.rfind(L'\\') + 1);
}

void Say(const std::string& line) {
  printf("@ %s\n", line.c_str());
  fflush(stdout);
}

const tav::StringList* Strings(std::initializer_list<const wchar_t*> items) {
  auto* cells = static_cast<tav::StringList*>(tav::GStackAlloc(24 * (items.size() + 1)));
  size_t i = 0;
  for (const wchar_t* s : items) {
    cells[i] = tav::StringList{1, s, cells + i + 1};
    ++i;
  }
  cells[i] = tav::StringList{2, nullptr, nullptr};
  return cells;
}
const IntList* Ints(std::initializer_list<int32_t> items) {
  auto* cells = static_cast<IntList*>(tav::GStackAlloc(24 * (items.size() + 1)));
  size_t i = 0;
  for (int32_t v : items) {
    cells[i] = IntList{1, v, cells + i + 1};
    ++i;
  }
  cells[i] = IntList{2, 0, nullptr};
  return cells;
}
std::string Text(const tav::StringList* l) {
  std::string s = "[";
  for (; !l->Empty(); l = l->tail) s += (s.size() > 1 ? "," : "") + U8(l->head);
  return s + "]";
}
std::string Text(const IntList* l) {
  std::string s = "[";
  for (; !l->Empty(); l = l->tail) s += (s.size() > 1 ? "," : "") + std::to_string(l->head);
  return s + "]";
}
uint32_t BinarySize(const uint8_t* b) {
  uint32_t n;
  memcpy(&n, b - 4, 4);
  return n;
}

// Every keyed value under `key`, one finding per kind that has one.
void SayKeyed(const wchar_t* key) {
  std::string k = U8(key);
  const wchar_t* s;
  int32_t i;
  uint64_t u;
  double r;
  Rct rc;
  const tav::StringList* sl;
  const IntList* il;
  bool b;
  if (O::various_s(key, &s)) Say(k + " s " + U8(s));
  if (O::various_i(key, &i)) Say(k + " i " + std::to_string(i));
  if (O::various_u64(key, &u)) Say(k + " u64 " + std::to_string(u));
  if (O::various_r(key, &r)) Say(k + " r " + std::to_string(r));
  if (O::various_rct(key, &rc))
    Say(k + " rect " + std::to_string(rc.left) + "," + std::to_string(rc.top) + "," +
        std::to_string(rc.right) + "," + std::to_string(rc.bottom));
  if (O::various_t(key, &u)) Say(k + " t " + std::to_string(u));
  if (O::various_slist(key, &sl)) Say(k + " sl " + Text(sl));
  if (O::various_ilist(key, &il)) Say(k + " il " + Text(il));
  if (O::various_boo(key, &b)) Say(k + " boo " + (b ? "true" : "false"));
}

void SayFixed() {
  Say("days " + std::to_string(O::days_previous_to_today_for_analysis()));
  Say("shortest " + std::to_string(O::shortest_duty_mins()));
  Say("boundary " + std::to_string(O::boundary()));
  Say("base " + U8(O::base_folder()));
  Say("publish " + U8(O::publish_folder()));
  // The face name follows 28 bytes of the logical-font record.
  const uint8_t* f = O::opt_font();
  Say("font " + std::to_string(BinarySize(f)) + " " +
      U8(reinterpret_cast<const wchar_t*>(f + 28)));
}

// Outside code page 1252: Polish letters, a CJK character and a pair.
const wchar_t* kWide = L"za\u017c\u00f3\u0142\u0107 \u0105\u0141 \u4e2d \U0001F600";

// A store with every fixed fact and every keyed kind (all of it in 1252).
void StoreAll() {
  O::days_previous_to_today_for_analysis(7);
  O::shortest_duty_mins(30);
  QEL_KWI::ilist_struct bold{QEL_KWI::ListCons, 1, nullptr};
  QEL_KWI::ilist_struct end{QEL_KWI::ListNil, 0, nullptr};
  bold.next = &end;
  O::opt_font(QEL_KWI::font_Create(2, &bold, 10));
  O::base_folder((Folder() + L"base").c_str());
  O::publish_folder((Folder() + L"pub").c_str());
  O::boundary(90);
  O::various_s(L"s1", L"caf\u00e9 \u00f3");
  O::various_i(L"i1", -3);
  O::various_u64(L"u1", 18446744073709551615ull);
  O::various_r(L"r1", 2.5);
  O::various_rct(L"rc", Rct{1, -2, 300, 400});
  O::various_t(L"t1", 133000000000000000ull);
  O::various_slist(L"sl", Strings({L"a\"b", L"c\\d", L"\u00e9"}));
  O::various_ilist(L"il", Ints({10, -20}));
  O::various_boo(L"b1", true);
}

void RecordNotes() {
  Dialogs d{};
  d.note = [](const wchar_t* text) { Say("NOTE " + U8(text)); };
  myKWI::set_dialogs(d);
}

const std::map<std::string, void (*)()> scenarios = {
    {"read", [] { O::read_opt(); }},
    {"fixed",
     [] {
       O::read_opt();
       SayFixed();
     }},
    {"keyed",
     [] {
       O::read_opt();
       for (const wchar_t* k : {L"s1", L"i1", L"u1", L"r1", L"rc", L"t1", L"sl", L"il", L"b1",
                                L"k", L"weeksacross", L"simple", L"Simple"})
         SayKeyed(k);
     }},
    {"store_all",
     [] {
       O::read_opt();
       StoreAll();
       // What the file streams write for the same store.
       tav::FactDB db{tav::D(rizediveva6::domains::f_opt), nullptr};
       tav::outputStream_file* s =
           tav::outputStream_file::create8((Folder() + L"streams.cns").c_str());
       s->save(&db);
       s->close();
       Say("acp " + std::to_string(GetACP()));
     }},
    {"store_wide",
     [] {
       O::read_opt();
       O::various_s(L"s1", kWide);
       O::publish_folder((Folder() + L"pub \u0105\u0141\u4e2d").c_str());
       O::various_slist(L"sl", Strings({L"\u0142", L"\u4e2d"}));
     }},
    {"add_key",
     [] {
       O::read_opt();
       O::various_i(L"added", 1);
     }},
    {"edges",
     [] {
       O::read_opt();
       O::various_i(L"weeksacross", 3);
       O::various_s(L"weeksacross", L"x");
       O::various_i(L"simple", 1);
       O::various_i(L"k", 1);
       O::various_ilist(L"k", Ints({10, 20}));
       O::various_r(L"k", 1.5);
       O::various_t(L"k", 5);
       O::various_s(L"k", L"v");
       O::various_u64(L"k", 6);
       O::remove(L"k");
       O::default_base_folder((Folder() + L"dflt").c_str());
       Say("base " + U8(O::base_folder()));
       O::various_i(L"weeksacross", 4);  // moves to the end of the file
     }},
    {"set_twice_after_dup",
     [] {
       O::read_opt();
       SayKeyed(L"dup");
       O::various_i(L"dup", 9);
     }},
    {"new_is_folder",
     [] {
       O::read_opt();
       O::boundary(61);
       O::various_i(L"k", 2);
       Say("boundary " + std::to_string(O::boundary()));
       SayKeyed(L"k");
     }},
    // opt.cns holds db_boundary(70) as the store writes it.
    {"unchanged_text",
     [] {
       O::read_opt();
       CreateDirectoryW((Folder() + L"opt.cns.new").c_str(), nullptr);
       Say("same as read");
       O::boundary(70);
       RemoveDirectoryW((Folder() + L"opt.cns.new").c_str());
       O::boundary(71);
       CreateDirectoryW((Folder() + L"opt.cns.new").c_str(), nullptr);
       Say("same as written");
       O::boundary(71);
       Say("changed");
       O::boundary(72);
     }},
    {"create_folder_error",
     [] {
       O::read_opt();
       uint32_t code = TrapAndForget([] { O::publish_folder(L"Q:\\no\\such\\parent\\x"); });
       Say(code ? "raised" : "returned");
       Say("publish " + U8(O::publish_folder()));
     }},
    {"setter_loop",
     [] {
       O::read_opt();
       for (uint32_t i = 0;; ++i) {
         O::boundary(i);
         O::various_s(L"pad", i % 2 ? L"short" : L"a much longer text to vary the file size");
       }
     }},
    {"font_same",
     [] {
       O::read_opt();
       const uint8_t* a = O::opt_font();
       const uint8_t* b = O::opt_font();
       Say(a == b ? "same" : "fresh");
     }},
    // Recently used files; A and B exist beside the program.
    {"rem_sequence",
     [] {
       std::wstring a = Folder() + L"A.km6", b = Folder() + L"B.km6";
       const wchar_t* last;
       Say(R::get_last_file(&last) == last_file_result::no_last_file ? "none [" + U8(last) + "]"
                                                                   : "found");
       R::put_last_file(a.c_str());
       R::put_last_file(b.c_str());
       R::put_last_file(a.c_str());
     }},
    {"rem_show",
     [] {
       const wchar_t* last;
       R::get_last_file(&last);
       Say("last " + U8(last));
       Say("all " + Text(R::get_all_files()));
       std::string except = "except";
       R::nd_all_files_except_last([&](const wchar_t* f) {
         except += " " + U8(f);
         Qel::RunTime::Kernel::Fail();
       });
       Say(except);
     }},
    {"rem_add_last",
     [] {
       const wchar_t* last;
       R::get_last_file(&last);
       R::add_file(last);
       R::add_file(last);  // already there: nothing written
     }},
    {"rem_put_all",
     [] {
       std::wstring a = Folder() + L"A.km6", b = Folder() + L"B.km6", c = Folder() + L"C.km6";
       R::put_last_file(a.c_str());
       R::put_all_files_except_last(
           Strings({b.c_str(), a.c_str(), L"Z:\\missing.km6", c.c_str(), b.c_str()}));
     }},
    {"rem_unsaved",
     [] {
       std::wstring a = Folder() + L"A.km6", b = Folder() + L"B.km6";
       R::put_last_file(a.c_str());
       R::put_last_file(b.c_str());
       const wchar_t* last;
       R::get_last_file(&last);
       Say("last " + U8(last));
       Say("all " + Text(R::get_all_files()));
     }},
    {"rem_case",
     [] {
       std::wstring a = Folder() + L"A.km6", lower = Folder() + L"a.km6";
       R::add_file(a.c_str());
       R::add_file(lower.c_str());  // a different entry, though the same file here
     }},
};

}  // namespace

// The child: runs the scenario named in the environment.
class OptionsChild : public Rz {};
TEST_F(OptionsChild, Run) {
  wchar_t name[64] = {};
  if (!GetEnvironmentVariableW(kScenarioVariable, name, 64)) GTEST_SKIP() << "parent run";
  auto it = scenarios.find(U8(name));
  ASSERT_NE(it, scenarios.end());
  RecordNotes();
  uint32_t code = TrapAndForget([&] { it->second(); });
  if (code) Say("raised " + std::to_string(code));
}

// --- The parent's side --------------------------------------------------------------------

class Options : public TempFolder {
 protected:
  void SetUp() override {
    TempFolder::SetUp();
    ASSERT_EQ(rizediveva6::InitializeUnit(), 0);
  }
  std::vector<std::string> Run(const wchar_t* scenario, const std::wstring& directory = L"") {
    ChildRun r = RunChild(folder_, scenario, directory);
    EXPECT_EQ(r.exitCode, 0u) << U8(scenario);
    return r.lines;
  }
  std::string Opt() { return Bytes(F(L"opt.cns")); }
  std::wstring Prefix() { return folder_ + L"\\"; }
};

using Lines = std::vector<std::string>;

// A text as the saved form quotes it: backslashes doubled.
std::wstring Escaped(std::wstring s) {
  for (size_t at = 0; (at = s.find(L'\\', at)) != std::wstring::npos; at += 2) s.insert(at, 1, L'\\');
  return s;
}

TEST_F(Options, NoStoredValueGivesTheDefaultsAndReadingWritesNothing) {
  const Lines defaults{"days 5", "shortest 5", "boundary 60", "base C:\\", "publish C:\\",
                       "font 96 Arial"};
  struct Case {
    const char* name;
    const char* bytes;  // null: no file
  } cases[] = {
      {"no file", nullptr},
      {"empty", ""},
      {"keyword only", "\r\nclauses\r\n"},
      {"no facts", "\r\nclauses\r\n%<--noFacts-->%"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DeleteFileW(F(L"opt.cns").c_str());
    if (c.bytes) Put(F(L"opt.cns"), c.bytes);
    EXPECT_EQ(Run(L"fixed"), defaults);
    EXPECT_EQ(Run(L"keyed"), Lines{});
    EXPECT_EQ(Opt(), c.bytes ? std::string(c.bytes) : "<missing>");
  }
  // The default font is made at each call, never kept.
  EXPECT_EQ(Run(L"font_same"), Lines{"fresh"});
}

TEST_F(Options, AStoreIsWrittenAsTheFileStreamsWriteItAndReadBackInOrder) {
  EXPECT_EQ(Run(L"store_all"), Lines{"acp 1252"});
  const std::string written = Opt();
  EXPECT_EQ(written, Bytes(F(L"streams.cns")));
  const std::string golden =
      "\r\nclauses\r\n"
      "db_days_previous_to_today_for_analysis(7).\r\n"
      "db_shortest_duty_mins(30).\r\n";
  EXPECT_EQ(written.substr(0, golden.size()), golden);
  for (const char* line :
       {"\r\ndb_base_folder(\"", "\r\ndb_publish_folder(\"", "\r\ndb_boundary(90).\r\n",
        "\r\nndb_various(s(\"s1\",\"caf\xe9 \xf3\")).\r\n", "\r\nndb_various(i(\"i1\",-3)).\r\n",
        "\r\nndb_various(u64(\"u1\",18446744073709551615)).\r\n",
        "\r\nndb_various(rect(\"rc\",rct(1,-2,300,400))).\r\n",
        "\r\nndb_various(il(\"il\",[10,-20])).\r\n", "\r\nndb_various(boo(\"b1\",true())).\r\n"})
    EXPECT_NE(written.find(line), std::string::npos) << line << "\n" << written;
  EXPECT_EQ(written.find("\n\n"), std::string::npos);
  EXPECT_EQ(written.substr(written.size() - 4), ").\r\n");

  EXPECT_EQ(Run(L"fixed"), (Lines{"days 7", "shortest 30", "boundary 90", "base " + U8(Prefix()) + "base",
                                  "publish " + U8(Prefix()) + "pub", "font 96 Courier New"}));
  EXPECT_EQ(Run(L"keyed"),
            (Lines{"s1 s caf\xc3\xa9 \xc3\xb3", "i1 i -3", "u1 u64 18446744073709551615",
                   "r1 r 2.500000", "rc rect 1,-2,300,400", "t1 t 133000000000000000",
                   "sl sl [a\"b,c\\d,\xc3\xa9]", "il il [10,-20]", "b1 boo true"}));
  // The store read back keeps the file's order: a new entry lands after all of it.
  Run(L"add_key");
  EXPECT_EQ(Opt(), written + "ndb_various(i(\"added\",1)).\r\n");
}

TEST_F(Options, CharactersOutsideTheCodePageSurviveARestart) {
  EXPECT_EQ(Run(L"store_wide"), Lines{});
  const std::string bytes = Opt();
  EXPECT_NE(bytes.find("za\\u017C\xf3\\u0142\\u0107 \\u0105\\u0141 \\u4E2D \\uD83D\\uDE00"),
            std::string::npos)
      << bytes;
  EXPECT_EQ(bytes.find('?'), std::string::npos) << bytes;
  Lines keyed = Run(L"keyed");
  EXPECT_EQ(keyed, (Lines{U8(L"s1 s ") + U8(kWide), "sl sl [" + U8(L"\u0142,\u4e2d") + "]"}));
  Lines fixed = Run(L"fixed");
  ASSERT_GE(fixed.size(), 5u);
  EXPECT_EQ(fixed[4], "publish " + U8(Prefix() + L"pub \u0105\u0141\u4e2d"));
  EXPECT_NE(GetFileAttributesW((Prefix() + L"pub \u0105\u0141\u4e2d").c_str()),
            INVALID_FILE_ATTRIBUTES);
}

// The lines of a file, without the keyword lines.
Lines FactLines(const std::string& bytes) {
  Lines out;
  size_t at = 0;
  while (at < bytes.size()) {
    size_t end = bytes.find("\r\n", at);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(at, end - at);
    if (!line.empty() && line != "clauses") out.push_back(line);
    at = end + 2;
  }
  return out;
}

TEST_F(Options, KeyedEntriesByKindAndExactKey) {
  Lines edges = Run(L"edges");
  EXPECT_EQ(edges, Lines{"base " + U8(Prefix()) + "dflt"});
  // Kinds under one key stay apart; remove keeps u64 and il; a set moves
  // its line to the end; the default base folder is never written.
  EXPECT_EQ(FactLines(Opt()),
            (Lines{"ndb_various(s(\"weeksacross\",\"x\")).", "ndb_various(i(\"simple\",1)).",
                   "ndb_various(il(\"k\",[10,20])).", "ndb_various(u64(\"k\",6)).",
                   "ndb_various(i(\"weeksacross\",4))."}));
  EXPECT_EQ(Run(L"keyed"), (Lines{"k u64 6", "k il [10,20]", "weeksacross s x",
                                  "weeksacross i 4", "simple i 1"}));
  EXPECT_EQ(Run(L"fixed")[3], "base C:\\");
}

TEST_F(Options, DuplicateKeyedLinesReadFirstAndCollapseOnTheNextSet) {
  Put(F(L"opt.cns"),
      "\r\nclauses\r\nndb_various(i(\"dup\",1)).\r\nndb_various(s(\"x\",\"y\")).\r\n"
      "ndb_various(i(\"dup\",2)).\r\n");
  EXPECT_EQ(Run(L"set_twice_after_dup"), Lines{"dup i 1"});
  EXPECT_EQ(FactLines(Opt()),
            (Lines{"ndb_various(s(\"x\",\"y\")).", "ndb_various(i(\"dup\",9))."}));
}

TEST_F(Options, AFailedSaveKeepsTheFileAndTheValueWithOneNote) {
  const std::string before = "\r\nclauses\r\ndb_boundary(50).\r\n";
  Put(F(L"opt.cns"), before);
  CreateDirectoryW(F(L"opt.cns.new").c_str(), nullptr);
  Lines lines = Run(L"new_is_folder");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].rfind("NOTE The settings cannot be saved to \"" + U8(F(L"opt.cns")) +
                               "\" (CreateFile: ",
                           0),
            0u)
      << lines[0];
  EXPECT_EQ(lines[1], "boundary 61");
  EXPECT_EQ(lines[2], "k i 2");
  EXPECT_EQ(Opt(), before);
  // Folder creation errors still reach the setter's caller; the value stays.
  EXPECT_EQ(Run(L"create_folder_error"), (Lines{"raised", "publish Q:\\no\\such\\parent\\x"}));
}

TEST_F(Options, AnUnchangedTextIsNotWrittenAgain) {
  // The folder in the way of "opt.cns.new" shows every write as a note.
  Put(F(L"opt.cns"), "\r\nclauses\r\ndb_boundary(70).\r\n");
  Lines lines = Run(L"unchanged_text");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "same as read");
  EXPECT_EQ(lines[1], "same as written");
  EXPECT_EQ(lines[2], "changed");
  EXPECT_EQ(lines[3].rfind("NOTE The settings cannot be saved", 0), 0u) << lines[3];
  EXPECT_EQ(Opt(), "\r\nclauses\r\ndb_boundary(71).\r\n");
}

TEST_F(Options, AKilledWriterLeavesAWholeFile) {
  for (int round = 0; round < 6; ++round) {
    SCOPED_TRACE(round);
    testchild::Child child = StartChild(folder_, L"setter_loop", L"");
    ASSERT_TRUE(child.Started());
    // Kill at a varying moment once the loop is writing.
    for (int i = 0; i < 400 && GetFileAttributesW(F(L"opt.cns").c_str()) == INVALID_FILE_ATTRIBUTES;
         ++i)
      Sleep(10);
    Sleep(50 + 37 * round);
    TerminateProcess(child.pi.hProcess, 9);
    testchild::Close(child);
    const std::string bytes = Opt();
    ASSERT_NE(bytes, "<missing>");
    Lines facts = FactLines(bytes);
    ASSERT_EQ(facts.size(), 2u) << bytes;
    EXPECT_EQ(facts[0].rfind("db_boundary(", 0), 0u);
    EXPECT_EQ(facts[1].rfind("ndb_various(s(\"pad\",", 0), 0u);
    // A fresh start reads it without a note.
    Lines fixed = Run(L"fixed");
    ASSERT_EQ(fixed.size(), 6u) << fixed[0];
  }
}

TEST_F(Options, ADamagedFileIsSetAsideWithANoteAndTheStartGoesOn) {
  const std::string good = "\r\nclauses\r\ndb_boundary(70).\r\n";
  std::string nul = good + "ndb_various(i(\"a\",1)).\r\n";
  nul[nul.size() - 8] = '\0';
  std::string binary;
  for (int i = 0; i < 256; ++i) binary.push_back(static_cast<char>(i * 7 + 3));
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"cut", good + "ndb_various(i(\"a\",1"},
      {"not the saved form", good + "this is not a fact\r\n"},
      {"unknown fact", good + "db_colour(3).\r\n"},
      {"unknown alternative", good + "ndb_various(q(\"a\",1)).\r\n"},
      {"second determ value", good + "db_boundary(71).\r\n"},
      {"wrong value type", good + "ndb_various(i(\"a\",\"text\")).\r\n"},
      {"string for a number", good + "db_shortest_duty_mins(\"7\").\r\n"},
      {"unknown escape", good + "ndb_various(s(\"a\",\"\\q\\u00zz\")).\r\n"},
      {"binary bytes", good + binary},
      {"NUL byte", nul},
      {"1 MB line", good + "ndb_various(s(\"a\",\"" + std::string(1 << 20, 'x')},
  };
  const std::string note = "NOTE The settings file \"" + U8(F(L"opt.cns")) +
                           "\" is damaged and was renamed to \"opt.cns.damaged\".";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Put(F(L"opt.cns"), c.bytes);
    DWORD start = GetTickCount();
    Lines lines = Run(L"fixed");
    EXPECT_LT(GetTickCount() - start, 20000u);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0].rfind(note, 0), 0u) << lines[0];
    EXPECT_EQ(lines[3], "boundary 70") << "the facts before the damage stay";
    EXPECT_EQ(Opt(), "<missing>");
    EXPECT_EQ(Bytes(F(L"opt.cns.damaged")), c.bytes);
  }
  // A damaged file that cannot be set aside stays, and the note says so.
  Put(F(L"opt.cns"), good + "db_colour(3).\r\n");
  HANDLE held = CreateFileW(F(L"opt.cns.damaged").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  Lines lines = Run(L"fixed");
  CloseHandle(held);
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0].rfind("NOTE The settings file \"" + U8(F(L"opt.cns")) +
                               "\" is damaged and could not be renamed (",
                           0),
            0u)
      << lines[0];
  EXPECT_EQ(lines[3], "boundary 70");
  EXPECT_EQ(Opt(), good + "db_colour(3).\r\n");
  // CR-only line ends and many entries read whole.
  std::string many = "\r\nclauses\r\n";
  for (int i = 0; i < 10000; ++i) many += "ndb_various(i(\"k" + std::to_string(i) + "\",1)).\r\n";
  for (const std::string& bytes : {std::string("\rclauses\rdb_boundary(70).\r"), many}) {
    Put(F(L"opt.cns"), bytes);
    lines = Run(L"fixed");
    ASSERT_EQ(lines.size(), 6u) << lines[0];
    EXPECT_EQ(Opt(), bytes);
  }
}

TEST_F(Options, AFileThatCannotBeOpenedStaysWithANote) {
  Put(F(L"opt.cns"), "\r\nclauses\r\ndb_boundary(70).\r\n");
  HANDLE lock = CreateFileW(F(L"opt.cns").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  Lines lines = Run(L"fixed");
  CloseHandle(lock);
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0].rfind("NOTE The settings file \"" + U8(F(L"opt.cns")) + "\" cannot be opened (", 0), 0u)
      << lines[0];
  EXPECT_EQ(lines[3], "boundary 60");
  EXPECT_EQ(Opt(), "\r\nclauses\r\ndb_boundary(70).\r\n");
}

TEST_F(Options, AStoredFontOfAnotherSizeGivesTheDefault) {
  Put(F(L"opt.cns"), "\r\nclauses\r\ndb_opt_font($[01,02,03]).\r\n");
  Lines lines = Run(L"fixed");
  ASSERT_EQ(lines.size(), 6u) << lines[0];
  EXPECT_EQ(lines[5], "font 96 Arial");
}

// --- Recently used files ------------------------------------------------------------------

class RecentFiles : public Options {
 protected:
  void SetUp() override {
    Options::SetUp();
    Put(F(L"A.km6"), "a");
    Put(F(L"B.km6"), "b");
  }
  std::string A() { return U8(F(L"A.km6")); }
  std::string B() { return U8(F(L"B.km6")); }
  std::string Rem() { return Bytes(F(L"prog.rem file")); }
};

TEST_F(RecentFiles, TheLastFileAndTheOthersAcrossRestarts) {
  EXPECT_EQ(Run(L"rem_show"), (Lines{"last ", "all []", "except"}));
  EXPECT_EQ(Run(L"rem_sequence"), Lines{"none []"});
  EXPECT_EQ(Run(L"rem_show"), (Lines{"last " + A(), "all [" + B() + "]", "except " + B()}));
  // add_file of the last file: listed by get_all_files only.
  Run(L"rem_add_last");
  EXPECT_EQ(Run(L"rem_show"),
            (Lines{"last " + A(), "all [" + B() + "," + A() + "]", "except " + B()}));
  // A deleted file leaves the others at the next save, but stays the last file.
  DeleteFileW(F(L"A.km6").c_str());
  DeleteFileW(F(L"B.km6").c_str());
  Run(L"rem_add_last");  // nothing changes: nothing is written
  EXPECT_EQ(Run(L"rem_show"),
            (Lines{"last " + A(), "all [" + B() + "," + A() + "]", "except " + B()}));
}

TEST_F(RecentFiles, PutAllDropsTheLastAndMissingFiles) {
  Put(F(L"C.km6"), "c");
  Run(L"rem_put_all");
  EXPECT_EQ(Run(L"rem_show"), (Lines{"last " + A(), "all [" + B() + "," + U8(F(L"C.km6")) + "," + B() + "]",
                                     "except " + B() + " " + U8(F(L"C.km6")) + " " + B()}));
  Run(L"rem_case");
  Lines shown = Run(L"rem_show");
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_NE(shown[1].find(U8(F(L"a.km6"))), std::string::npos) << shown[1];
}

TEST_F(RecentFiles, TheStoreLivesBesideTheProgramWhateverTheCurrentDirectory) {
  std::wstring elsewhere = F(L"elsewhere");
  CreateDirectoryW(elsewhere.c_str(), nullptr);
  Run(L"rem_sequence", elsewhere);
  EXPECT_NE(Rem(), "<missing>");
  EXPECT_EQ(Bytes(elsewhere + L"\\prog.rem file"), "<missing>");
  EXPECT_EQ(Run(L"rem_show", elsewhere)[0], "last " + A());
  // The file holds the saved form, as the options file does.
  EXPECT_EQ(FactLines(Rem()),
            (Lines{"db_lastfile(\"" + U8(Escaped(F(L"A.km6"))) + "\").",
                   "ndb_other_files(\"" + U8(Escaped(F(L"B.km6"))) + "\")."}));
}

TEST_F(RecentFiles, AFailedSaveKeepsTheListInMemoryWithOneNote) {
  CreateDirectoryW(F(L"prog.rem file.new").c_str(), nullptr);
  Lines lines = Run(L"rem_unsaved");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].rfind("NOTE The list of recently used files cannot be saved to \"" +
                               U8(F(L"prog.rem file")) + "\" (CreateFile: ",
                           0),
            0u)
      << lines[0];
  EXPECT_EQ(lines[1], "last " + B());
  EXPECT_EQ(lines[2], "all [" + A() + "]");
  EXPECT_EQ(Rem(), "<missing>");
}

TEST_F(RecentFiles, ADamagedStoreIsSetAsideAndTheListStartsEmpty) {
  const std::string other = "ndb_other_files(\"" + U8(Escaped(F(L"B.km6"))) + "\").\r\n";
  std::string manyLong = "\r\nclauses\r\n";
  for (int i = 0; i < 5000; ++i) manyLong += other;
  std::string longName = "\r\nclauses\r\nndb_other_files(\"" + std::string(32000, 'n') + "\").\r\n";
  struct Case {
    const char* name;
    std::string bytes;
    bool damaged;
  } cases[] = {
      {"wrong type", "\r\nclauses\r\nndb_other_files(1).\r\n", true},
      {"cut", "\r\nclauses\r\n" + other.substr(0, 20), true},
      {"5,000 entries", manyLong, false},
      {"a name of 32,000 characters", longName, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DeleteFileW(F(L"prog.rem file.damaged").c_str());
    Put(F(L"prog.rem file"), c.bytes);
    Lines lines = Run(L"rem_show");
    if (c.damaged) {
      ASSERT_EQ(lines.size(), 4u);
      EXPECT_NE(lines[0].find("is damaged and was renamed to \"prog.rem file.damaged\". The list starts empty."),
                std::string::npos)
          << lines[0];
      EXPECT_EQ(lines[2], "all []");
      EXPECT_EQ(Bytes(F(L"prog.rem file.damaged")), c.bytes);
    } else {
      ASSERT_EQ(lines.size(), 3u) << lines[0];
      EXPECT_EQ(lines[0], "last ");
    }
  }
}

}  // namespace rztest
