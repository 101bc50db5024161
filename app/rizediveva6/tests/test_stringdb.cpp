// String lists on memory and file databases: positions, names, moves, the
// entries without name or id, answers after every kind of write, and the
// stored image of a str_br entry.
#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "SYSTEM/OrvTool/orvtool.h"
#include "SYSTEM/stringDB/stringdb.h"
#include "qel6run_db.h"
#include "doc_test.h"
#include "list_test.h"
#include "rz_test.h"

namespace rztest {
namespace {

using Qel::RunTime::Kernel::Fail;
using tav::chainDB;

using Names = std::vector<std::wstring>;

// One fixture per place: every test runs on a memory database and on a file
// database that is closed and opened again before the checks.
class StringLists : public Rz, public ::testing::WithParamInterface<place> {
 protected:
  void SetUp() override {
    Rz::SetUp();
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    name_ = GetParam() == place::in_memory
                ? L"rz-lists"
                : std::wstring(tmp) + L"rz-lists-" + std::to_wstring(GetCurrentProcessId()) + L".km6";
    if (GetParam() == place::in_file) DeleteFileW(name_.c_str());
    ASSERT_EQ(RunTrapped([&] { db_ = chainDB::db_create(name_.c_str(), GetParam()); }), 0u);
  }
  void TearDown() override {
    RunTrapped([&] {
      db_->db_close();
      chainDB::db_delete(name_.c_str(), GetParam());
    });
    Rz::TearDown();
  }
  // A file database is written out and read again by a new handle.
  void Reopen() {
    if (GetParam() != place::in_file) return;
    ASSERT_EQ(RunTrapped([&] {
                db_->db_close();
                db_ = chainDB::db_open(name_.c_str(), place::in_file);
              }),
              0u);
  }
  template <class F>
  void Run(F body) {
    uint32_t code = RunTrapped(body);
    ASSERT_EQ(code, 0u);
  }
  Names Brushes(const wchar_t* chain = L"tasks") {
    Names n;
    Run([&] { n = V(string_brush_db::list_names(db_, chain)); });
    return n;
  }
  std::wstring name_;
  chainDB* db_ = nullptr;
};

TEST_P(StringLists, AbsentChainIsAnEmptyList) {
  Run([&] {
    EXPECT_EQ(string_brush_db::count(db_, L"none"), 0);
    EXPECT_TRUE(string_brush_db::list_names(db_, L"none")->Empty());
    EXPECT_TRUE(string_brush_db::list_str_br(db_, L"none")->Empty());
    EXPECT_FALSE(string_brush_db::one_exists(db_, L"none"));
    EXPECT_FALSE(string_brush_db::exist_name(db_, L"none", L"A"));
    string_brush_db::clear_chain(db_, L"none");
    EXPECT_FALSE(string_brush_db::move_up(db_, L"none", L"A"));
    EXPECT_FALSE(simple_string_db::one_exists(db_, L"none"));
    EXPECT_EQ(string_db::count(db_, L"none"), 0);
  });
}

TEST_P(StringLists, BrushListPositionsAndNames) {
  Run([&] {
    string_brush_db::add_namez(db_, L"tasks", make_str_br(L"B", {1, 0x20}));
    string_brush_db::add_namea(db_, L"tasks", make_str_br(L"A", {1, 0x10}));
    string_brush_db::add_namez(db_, L"tasks", make_str_br(L"A", {2, 0x30}));
    string_brush_db::add_namez(db_, L"tasks", make_str_br(L"a", {3, 0x40}));
  });
  Reopen();
  EXPECT_EQ(Brushes(), (Names{L"A", L"B", L"A", L"a"}));
  Run([&] {
    EXPECT_EQ(string_brush_db::count(db_, L"tasks"), 4);
    EXPECT_TRUE(string_brush_db::one_exists(db_, L"tasks"));
    const str_br* e = nullptr;
    EXPECT_TRUE(string_brush_db::nth_name(db_, L"tasks", 3, &e));
    EXPECT_STREQ(e->name, L"A");
    EXPECT_EQ(e->brush_->style, 2);
    EXPECT_EQ(e->brush_->colour, 0x30);
    for (int32_t n : {0, -1, 5}) {
      EXPECT_FALSE(string_brush_db::nth_name(db_, L"tasks", n, &e)) << n;
      EXPECT_FALSE(string_brush_db::del_nth(db_, L"tasks", n)) << n;
      EXPECT_FALSE(string_brush_db::replace_nth(db_, L"tasks", n, make_str_br(L"Z", {0, 0}))) << n;
      EXPECT_FALSE(string_brush_db::replace_nth_str(db_, L"tasks", n, L"Z")) << n;
    }
    // Names compare exactly; operations by name take the first match.
    EXPECT_FALSE(string_brush_db::exist_name(db_, L"tasks", L"b"));
    EXPECT_TRUE(string_brush_db::del_name(db_, L"tasks", L"A"));
    EXPECT_TRUE(string_brush_db::exist_name(db_, L"tasks", L"A"));
    EXPECT_FALSE(string_brush_db::del_name(db_, L"tasks", L"Q"));
  });
  Reopen();
  EXPECT_EQ(Brushes(), (Names{L"B", L"A", L"a"}));
  Run([&] {
    // The remaining A is the one with brush (2, 0x30).
    const str_br* e = nullptr;
    ASSERT_TRUE(string_brush_db::nth_name(db_, L"tasks", 2, &e));
    EXPECT_EQ(e->brush_->style, 2);
    EXPECT_TRUE(string_brush_db::replace_nth_str(db_, L"tasks", 2, L"C"));
    EXPECT_TRUE(string_brush_db::replace_name_brush(db_, L"tasks", L"B", brush{9, 0x99}));
    EXPECT_FALSE(string_brush_db::replace_name_brush(db_, L"tasks", L"Q", brush{9, 0x99}));
    EXPECT_TRUE(string_brush_db::del_nth(db_, L"tasks", 3));
  });
  Reopen();
  Run([&] {
    std::vector<std::tuple<int32_t, std::wstring, int32_t, int32_t>> all;
    string_brush_db::nd_list_str_brs(db_, L"tasks", [&](PositionedStrBr p) {
      all.emplace_back(p.position, p.entry->name, p.entry->brush_->style, p.entry->brush_->colour);
      Fail();
    });
    // replace_nth_str kept the brush, replace_name_brush the name.
    EXPECT_EQ(all, (std::vector<std::tuple<int32_t, std::wstring, int32_t, int32_t>>{{1, L"B", 9, 0x99},
                                                                                    {2, L"C", 2, 0x30}}));
    const str_brs* l = string_brush_db::list_str_br(db_, L"tasks");
    ASSERT_FALSE(l->Empty());
    EXPECT_EQ(l->head->brush_->colour, 0x99);
    Names names;
    string_brush_db::nd_list_names(db_, L"tasks", [&](const wchar_t* n) {
      names.push_back(n);
      Fail();
    });
    EXPECT_EQ(names, (Names{L"B", L"C"}));
    string_brush_db::clear_chain(db_, L"tasks");
    EXPECT_EQ(string_brush_db::count(db_, L"tasks"), 0);
  });
}

TEST_P(StringLists, Moves) {
  struct Case { Names start; bool up; const wchar_t* name; bool ok; Names want; };
  const Case cases[] = {
      {{L"A", L"B", L"C"}, true, L"A", false, {L"A", L"B", L"C"}},  // first cannot go up
      {{L"A", L"B", L"C"}, true, L"B", true, {L"B", L"A", L"C"}},
      {{L"A", L"B", L"C"}, false, L"C", false, {L"A", L"B", L"C"}},  // last cannot go down
      {{L"A", L"B", L"C"}, true, L"Q", false, {L"A", L"B", L"C"}},
      {{L"A", L"B", L"A"}, true, L"A", true, {L"A", L"A", L"B"}},  // the second A moves
      {{L"A", L"B", L"A"}, false, L"A", true, {L"B", L"A", L"A"}},
  };
  for (const Case& c : cases) {
    Run([&] {
      string_brush_db::clear_chain(db_, L"tasks");
      int32_t i = 0;
      for (const std::wstring& n : c.start)
        string_brush_db::add_namez(db_, L"tasks", make_str_br(HeapCopy(n.c_str()), {++i, 0}));
      bool ok = c.up ? string_brush_db::move_up(db_, L"tasks", c.name)
                     : string_brush_db::move_down(db_, L"tasks", c.name);
      EXPECT_EQ(ok, c.ok) << Narrow(c.name);
    });
    Reopen();
    EXPECT_EQ(Brushes(), c.want) << Narrow(c.name) << (c.up ? " up" : " down");
  }
  // A moved entry keeps its brush.
  Run([&] {
    const str_br* e = nullptr;
    ASSERT_TRUE(string_brush_db::nth_name(db_, L"tasks", 1, &e));
    EXPECT_EQ(e->brush_->style, 2);  // B was added second
  });
}

TEST_P(StringLists, SimpleStrings) {
  Run([&] {
    simple_string_db::add_namelist(db_, L"locs", S({L"x", L"y"}));
    simple_string_db::add_namelist(db_, L"locs", Nil<const wchar_t*>());
    simple_string_db::add_namea(db_, L"locs", L"w");
    simple_string_db::add_namez(db_, L"locs", L"z");
  });
  Reopen();
  Run([&] {
    EXPECT_EQ(V(simple_string_db::list_names(db_, L"locs")), (Names{L"w", L"x", L"y", L"z"}));
    const wchar_t* s = nullptr;
    EXPECT_TRUE(simple_string_db::nth_name(db_, L"locs", 4, &s));
    EXPECT_STREQ(s, L"z");
    EXPECT_FALSE(simple_string_db::nth_name(db_, L"locs", 5, &s));
    EXPECT_TRUE(simple_string_db::replace_nth(db_, L"locs", 1, L"v"));
    EXPECT_TRUE(simple_string_db::replace_nth_str(db_, L"locs", 2, L"X"));
    EXPECT_FALSE(simple_string_db::replace_nth(db_, L"locs", 0, L"?"));
    EXPECT_TRUE(simple_string_db::move_down(db_, L"locs", L"v"));
    EXPECT_TRUE(simple_string_db::move_up(db_, L"locs", L"z"));
    EXPECT_TRUE(simple_string_db::del_name(db_, L"locs", L"y"));
    EXPECT_FALSE(simple_string_db::del_nth(db_, L"locs", 4));
    EXPECT_TRUE(simple_string_db::exist_name(db_, L"locs", L"X"));
    EXPECT_EQ(simple_string_db::count(db_, L"locs"), 3);
  });
  Reopen();
  Run([&] { EXPECT_EQ(V(simple_string_db::list_names(db_, L"locs")), (Names{L"X", L"v", L"z"})); });
  if (GetParam() != place::in_file) return;
  // What a fresh process reads from the closed file.
  Run([&] { db_->db_close(); });
  EXPECT_EQ(Checked(name_), "exit 0\nchain locs\n  X\n  v\n  z\n");
  Run([&] { db_ = chainDB::db_open(name_.c_str(), place::in_file); });
}

TEST_P(StringLists, StringListEntriesWithoutNameOrId) {
  Run([&] {
    string_db::add_namez(db_, L"lists", Nil<const wchar_t*>());
    string_db::add_namez(db_, L"lists", S({L"X", L"7"}));
    string_db::add_namez(db_, L"lists", S({L"Y"}));
    string_db::add_namez(db_, L"lists", S({L"X", L"8", L"extra"}));
  });
  Reopen();
  Run([&] {
    std::vector<std::pair<int32_t, std::wstring>> named, ids;
    string_db::nd_list_name(db_, L"lists", [&](NamedEntry e) {
      named.emplace_back(e.position, e.name);
      Fail();
    });
    string_db::nd_list_ids(db_, L"lists", [&](PositionedId e) {
      ids.emplace_back(e.position, e.id);
      Fail();
    });
    EXPECT_EQ(named, (std::vector<std::pair<int32_t, std::wstring>>{{2, L"X"}, {3, L"Y"}, {4, L"X"}}));
    EXPECT_EQ(ids, (std::vector<std::pair<int32_t, std::wstring>>{{2, L"7"}, {4, L"8"}}));
    EXPECT_EQ(V(string_db::list_namez_1(db_, L"lists")), (Names{L"X", L"Y", L"X"}));
    EXPECT_EQ(V(string_db::list_namez_ids(db_, L"lists")), (Names{L"7", L"8"}));
    EXPECT_EQ(counter::count(string_db::list_namez(db_, L"lists")), 3);
    EXPECT_EQ(string_db::count(db_, L"lists"), 4);
    const SList* e = nullptr;
    EXPECT_FALSE(string_db::nth_namez(db_, L"lists", 1, &e));
    EXPECT_TRUE(string_db::nth_namez(db_, L"lists", 4, &e));
    EXPECT_EQ(V(e), (Names{L"X", L"8", L"extra"}));
    EXPECT_FALSE(string_db::exist_name(db_, L"lists", L""));
    // Moves match whole entries: [X] alone is not [X, 7].
    EXPECT_FALSE(string_db::move_up(db_, L"lists", S({L"X"})));
    EXPECT_TRUE(string_db::move_up(db_, L"lists", S({L"X", L"7"})));
    EXPECT_TRUE(string_db::move_down(db_, L"lists", S({L"Y"})));
    EXPECT_TRUE(string_db::del_name(db_, L"lists", L"X"));
  });
  Reopen();
  Run([&] {
    std::vector<Names> all;
    for (const List<const SList*>* l = string_db::list_namez(db_, L"lists"); !l->Empty(); l = l->tail)
      all.push_back(V(l->head));
    EXPECT_EQ(all, (std::vector<Names>{{L"X", L"8", L"extra"}, {L"Y"}}));
    EXPECT_EQ(string_db::count(db_, L"lists"), 3);  // the empty entry stays
  });
}

// Lookups answer from what the list knows of its chain; after every kind of
// write (the list's own and the database's, on this handle or another) the
// answers must be those of a walk of the chain.
class ListAnswers : public StringLists {
 protected:
  void Fill(const Names& names) {
    Run([&] {
      string_brush_db::clear_chain(db_, L"tasks");
      for (const std::wstring& n : names) string_brush_db::add_namez(db_, L"tasks", make_str_br(HeapCopy(n.c_str()), {1, 2}));
    });
  }
  // Asks every question once, so that the answers are known before a write.
  void Ask() {
    Run([&] {
      const str_br* e;
      string_brush_db::count(db_, L"tasks");
      string_brush_db::nth_name(db_, L"tasks", 1, &e);
      string_brush_db::exist_name(db_, L"tasks", L"A");
    });
  }
  // The walk gives `want`, and count, nth_name and exist_name agree with it.
  void Expect(const Names& want, const std::string& step) {
    EXPECT_EQ(Brushes(), want) << step;
    Run([&] {
      EXPECT_EQ(string_brush_db::count(db_, L"tasks"), int32_t(want.size())) << step;
      EXPECT_EQ(string_brush_db::one_exists(db_, L"tasks"), !want.empty()) << step;
      for (size_t i = 0; i < want.size(); ++i) {
        const str_br* e = nullptr;
        ASSERT_TRUE(string_brush_db::nth_name(db_, L"tasks", int32_t(i + 1), &e)) << step;
        EXPECT_EQ(std::wstring(e->name), want[i]) << step << " at " << i + 1;
      }
      const str_br* e = nullptr;
      EXPECT_FALSE(string_brush_db::nth_name(db_, L"tasks", int32_t(want.size() + 1), &e)) << step;
      for (const wchar_t* n : {L"A", L"B", L"C", L"D", L"E"}) {
        const bool there = std::find(want.begin(), want.end(), n) != want.end();
        EXPECT_EQ(string_brush_db::exist_name(db_, L"tasks", n), there) << step << " " << Narrow(n);
      }
    });
  }

 public:
  // For the write table's entries.
  using StringLists::db_;
  int32_t RefAt(int32_t n) {
    int32_t ref = 0;
    Run([&] {
      db_->chain_first(L"tasks", &ref);
      for (int32_t i = 1; i < n; ++i) db_->chain_next(ref, &ref);
    });
    return ref;
  }
  term E() { return reinterpret_cast<term>(make_str_br(L"E", {5, 5})); }
  const IDomainDefinition* Brush() { return D(rizediveva6::domains::str_br); }
};

TEST_P(ListAnswers, EveryWriteIsSeenByTheNextLookup) {
  struct Case {
    const char* step;
    std::function<void(ListAnswers&)> write;
    Names want;
  };
  using T = ListAnswers;
  const Case cases[] = {
      {"add_namea", [](T& t) { string_brush_db::add_namea(t.db_, L"tasks", make_str_br(L"E", {0, 0})); },
       {L"E", L"A", L"B", L"C", L"D"}},
      {"add_namez", [](T& t) { string_brush_db::add_namez(t.db_, L"tasks", make_str_br(L"E", {0, 0})); },
       {L"A", L"B", L"C", L"D", L"E"}},
      {"del_name", [](T& t) { string_brush_db::del_name(t.db_, L"tasks", L"B"); }, {L"A", L"C", L"D"}},
      {"del_nth", [](T& t) { string_brush_db::del_nth(t.db_, L"tasks", 4); }, {L"A", L"B", L"C"}},
      {"del_nth first", [](T& t) { string_brush_db::del_nth(t.db_, L"tasks", 1); }, {L"B", L"C", L"D"}},
      {"replace_nth", [](T& t) { string_brush_db::replace_nth(t.db_, L"tasks", 2, make_str_br(L"E", {0, 0})); },
       {L"A", L"E", L"C", L"D"}},
      {"replace_nth_str", [](T& t) { string_brush_db::replace_nth_str(t.db_, L"tasks", 3, L"E"); },
       {L"A", L"B", L"E", L"D"}},
      {"replace_name_brush", [](T& t) { string_brush_db::replace_name_brush(t.db_, L"tasks", L"C", {7, 7}); },
       {L"A", L"B", L"C", L"D"}},
      {"move_up", [](T& t) { string_brush_db::move_up(t.db_, L"tasks", L"C"); }, {L"A", L"C", L"B", L"D"}},
      {"move_down", [](T& t) { string_brush_db::move_down(t.db_, L"tasks", L"A"); }, {L"B", L"A", L"C", L"D"}},
      {"clear_chain", [](T& t) { string_brush_db::clear_chain(t.db_, L"tasks"); }, {}},
      {"chain_inserta", [](T& t) { int32_t r; t.db_->chain_inserta(t.Brush(), L"tasks", t.E(), &r); },
       {L"E", L"A", L"B", L"C", L"D"}},
      {"chain_insertafter", [](T& t) { int32_t r; t.db_->chain_insertafter(t.Brush(), L"tasks", t.RefAt(2), t.E(), &r); },
       {L"A", L"B", L"E", L"C", L"D"}},
      {"term_replace", [](T& t) { t.db_->term_replace(t.Brush(), t.RefAt(1), t.E()); }, {L"E", L"B", L"C", L"D"}},
      {"term_delete", [](T& t) { t.db_->term_delete(L"tasks", t.RefAt(4)); }, {L"A", L"B", L"C"}},
      {"chain_delete", [](T& t) { t.db_->chain_delete(L"tasks"); }, {}},
  };
  for (const Case& c : cases) {
    Fill({L"A", L"B", L"C", L"D"});
    Ask();
    Run([&] { c.write(*this); });
    Expect(c.want, c.step);
    Reopen();
    Expect(c.want, std::string(c.step) + " reopened");
  }
  // Several writes in a row, each answered before the next.
  Fill({L"A", L"B", L"C", L"D"});
  Ask();
  Run([&] {
    string_brush_db::move_down(db_, L"tasks", L"B");
    string_brush_db::del_name(db_, L"tasks", L"A");
    string_brush_db::add_namea(db_, L"tasks", make_str_br(L"E", {0, 0}));
    string_brush_db::replace_nth_str(db_, L"tasks", 4, L"A");
  });
  Expect({L"E", L"C", L"B", L"A"}, "in a row");
}

// The entries of a database closed and made again under the same name are
// that database's own, whatever was asked of the one before.
TEST_P(ListAnswers, ADatabaseMadeAgainShowsItsOwnEntries) {
  Fill({L"A", L"B", L"C"});
  Ask();
  Run([&] {
    db_->db_close();
    chainDB::db_delete(name_.c_str(), GetParam());
    db_ = chainDB::db_create(name_.c_str(), GetParam());
    string_brush_db::add_namez(db_, L"tasks", make_str_br(L"D", {0, 0}));
  });
  Expect({L"D"}, "made again");
  Reopen();
  Expect({L"D"}, "made again, reopened");
}

// Entries without a name take their place in positions and never match.
TEST_P(StringLists, StringListAnswersFollowWrites) {
  Run([&] {
    string_db::add_namez(db_, L"lists", S({L"X", L"1"}));
    string_db::add_namez(db_, L"lists", Nil<const wchar_t*>());
    string_db::add_namez(db_, L"lists", S({L"Y"}));
    EXPECT_TRUE(string_db::exist_name(db_, L"lists", L"Y"));
    EXPECT_TRUE(string_db::move_up(db_, L"lists", S({L"Y"})));
    EXPECT_TRUE(string_db::del_name(db_, L"lists", L"X"));
    EXPECT_FALSE(string_db::exist_name(db_, L"lists", L"X"));
    EXPECT_EQ(string_db::count(db_, L"lists"), 2);
    const SList* e = nullptr;
    EXPECT_TRUE(string_db::nth_namez(db_, L"lists", 1, &e));
    EXPECT_EQ(V(e), (Names{L"Y"}));
    EXPECT_FALSE(string_db::nth_namez(db_, L"lists", 2, &e));
    simple_string_db::add_namez(db_, L"locs", L"p");
    simple_string_db::add_namea(db_, L"locs", L"q");
    EXPECT_TRUE(simple_string_db::exist_name(db_, L"locs", L"p"));
    EXPECT_TRUE(simple_string_db::replace_nth(db_, L"locs", 2, L"r"));
    EXPECT_FALSE(simple_string_db::exist_name(db_, L"locs", L"p"));
    EXPECT_TRUE(simple_string_db::exist_name(db_, L"locs", L"r"));
  });
  Reopen();
  Run([&] {
    EXPECT_EQ(V(simple_string_db::list_names(db_, L"locs")), (Names{L"q", L"r"}));
    EXPECT_TRUE(string_db::exist_name(db_, L"lists", L"Y"));
  });
}

TEST_P(StringLists, TermsOfAnotherDomainGiveTheImageError) {
  Run([&] { simple_string_db::add_namez(db_, L"mixed", L"not a brush entry"); });
  Reopen();
  uint32_t code = RunTrapped([&] { string_brush_db::exist_name(db_, L"mixed", L"x"); });
  EXPECT_TRUE(exception::trygetdescriptor(code, runtime_exception::exceptionfromerrorcode(304)));
}

INSTANTIATE_TEST_SUITE_P(Places, StringLists, ::testing::Values(place::in_memory, place::in_file),
                         [](const auto& info) { return info.param == place::in_memory ? "memory" : "file"; });
INSTANTIATE_TEST_SUITE_P(Places, ListAnswers, ::testing::Values(place::in_memory, place::in_file),
                         [](const auto& info) { return info.param == place::in_memory ? "memory" : "file"; });

class StoredImage : public Rz {};

// str_br("Ab", brush(1, 0x00FF8040)) in the runtime's 32-bit image: the u32
// size word, the str_br block (two pointer slots), the string, the brush
// block, then the pointer table (slot offsets and their count).
TEST_F(StoredImage, StrBrEntryKeepsTheThirtyTwoBitLayout) {
  const uint8_t want[] = {
      40, 0, 0, 0,                    // size word: 36 bytes + 4
      8, 0, 0, 0, 16, 0, 0, 0,        // str_br: name at 8, brush at 16
      'A', 0, 'b', 0, 0, 0, 0, 0,     // "Ab", its zero, padding to 4
      1, 0, 0, 0, 0x40, 0x80, 0xFF, 0,  // brush(1, 0x00FF8040)
      0, 0, 0, 0, 4, 0, 0, 0,         // pointer slots at 0 and 4
      2, 0, 0, 0};                    // two of them
  std::vector<uint8_t> image;
  ASSERT_EQ(RunTrapped([&] {
              const uint8_t* b =
                  Qel::RunTime::Terms::ToBinary(D(rizediveva6::domains::str_br), reinterpret_cast<term>(make_str_br(L"Ab", {1, 0x00FF8040})));
              uint32_t size;
              memcpy(&size, b - 4, 4);
              image.assign(b - 4, b - 4 + size);
            }),
            0u);
  EXPECT_EQ(image, std::vector<uint8_t>(std::begin(want), std::end(want)));
}

}  // namespace
}  // namespace rztest
