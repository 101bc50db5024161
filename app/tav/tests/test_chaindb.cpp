// The chain-database wrappers reach the real library: every method, the
// closed handle, the reference text and the 8-bit code page.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "5xQel/5xChainDB8/chainDB5x8.h"
#include "chainDB/chainDb.h"

using namespace tav;
using Qel::RunTime::Kernel::RunTrapped;

namespace {

class Wrapper : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(InitializeUnit(), 0); }
  void SetUp() override {
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    path_ = std::wstring(tmp) + L"tav-chaindb-" + std::to_wstring(GetCurrentProcessId()) + L".km6";
    DeleteFileW(path_.c_str());
  }
  void TearDown() override { DeleteFileW(path_.c_str()); }
  const IDomainDefinition* Str() { return T::Domain(domains::string); }
  term S(const wchar_t* s) { return reinterpret_cast<term>(s); }
  std::wstring path_;
};

TEST_F(Wrapper, EveryMethodReachesTheLibrary) {
  tav::chainDB* db = nullptr;
  std::vector<std::wstring> names, texts;
  ASSERT_EQ(RunTrapped([&] {
              db = tav::chainDB::db_create(path_.c_str(), place::in_file);
              int32_t a, b, c, sel, copy, r;
              db->chain_insertz(Str(), L"c", S(L"two"), &b);
              db->chain_inserta(Str(), L"c", S(L"one"), &a);
              db->chain_insertafter(Str(), L"c", b, S(L"three"), &c);
              EXPECT_TRUE(db->chain_first(L"c", &r));
              EXPECT_EQ(r, a);
              EXPECT_TRUE(db->chain_last(L"c", &r));
              EXPECT_EQ(r, c);
              EXPECT_TRUE(db->chain_next(a, &r));
              EXPECT_EQ(r, b);
              EXPECT_TRUE(db->chain_prev(b, &r));
              EXPECT_FALSE(db->chain_prev(a, &r));
              EXPECT_FALSE(db->chain_first(L"none", &r));
              db->term_replace(Str(), b, S(L"TWO"));
              EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(db->ref_term(Str(), b))), L"TWO");
              db->chain_terms(Str(), L"c", [&](RefTerm rt) {
                texts.push_back(reinterpret_cast<const wchar_t*>(rt.t));
                Qel::RunTime::Kernel::Fail();
              });
              db->bt_create(L"k", &sel, 8, 2, false);
              db->bt_create(L"d", &copy, 8, 2);
              db->bt_close(copy);
              db->key_insert(sel, L"x", a);
              db->key_insert(sel, L"y", b);
              EXPECT_TRUE(db->key_search(sel, L"y", &r));
              EXPECT_EQ(r, b);
              EXPECT_TRUE(db->key_search(sel, L"x", a));
              EXPECT_FALSE(db->key_search(sel, L"x", b));
              EXPECT_TRUE(db->key_first(sel, &r));
              EXPECT_TRUE(db->key_next(sel, &r));
              EXPECT_FALSE(db->key_next(sel, &r));
              EXPECT_TRUE(db->key_last(sel, &r));
              EXPECT_TRUE(db->key_prev(sel, &r));
              const wchar_t* key = nullptr;
              EXPECT_TRUE(db->key_current(sel, &key, &r));
              EXPECT_EQ(std::wstring(key), L"x");
              db->bt_copyselector(sel, &copy);
              db->bt_close(copy);
              uint32_t s[6];
              db->bt_statistics(sel, s, s + 1, s + 2, s + 3, s + 4, s + 5);
              EXPECT_EQ(s[0], 2u);
              db->key_delete(sel, L"x", a);
              db->bt_close(sel);
              db->bt_open(L"k", &sel);
              db->bt_close(sel);
              db->bt_delete(L"d");
              db->db_btrees([&](const wchar_t* n) {
                names.push_back(n);
                Qel::RunTime::Kernel::Fail();
              });
              db->db_chains([&](const wchar_t* n) {
                names.push_back(n);
                Qel::RunTime::Kernel::Fail();
              });
              EXPECT_FALSE(db->db_updated());
              db->db_reuserefs(0);
              db->term_delete(L"c", c);
              EXPECT_TRUE(db->chain_delete(L"c"));
              EXPECT_FALSE(db->chain_delete(L"c"));
              db->db_garbagecollect();
              uint32_t st[4];
              db->db_statistics(st, st + 1, st + 2, st + 3);
              EXPECT_EQ(st[0], 0u);
              db->db_flush();
              db->db_copy(L"tav-memory-copy", place::in_memory);
              db->db_close();
              tav::chainDB::db_delete(L"tav-memory-copy", place::in_memory);
            }),
            0u);
  EXPECT_EQ(texts, (std::vector<std::wstring>{L"one", L"TWO", L"three"}));
  EXPECT_EQ(names, (std::vector<std::wstring>{L"k", L"c"}));
  // After db_close every method raises 1304, and db_close again succeeds.
  int32_t r;
  EXPECT_EQ(RunTrapped([&] { db->db_flush(); }), 1304u);
  EXPECT_EQ(RunTrapped([&] { db->chain_first(L"c", &r); }), 1304u);
  EXPECT_EQ(RunTrapped([&] { db->key_first(0, &r); }), 1304u);
  EXPECT_EQ(RunTrapped([&] { db->db_close(); }), 0u);
  // The other constructors.
  ASSERT_EQ(RunTrapped([&] {
              tav::chainDB::db_openread(path_.c_str(), place::in_file)->db_close();
              tav::chainDB::db_openinvalid(path_.c_str(), place::in_file)->db_close();
              tav::chainDB* shared = tav::chainDB::db_open(path_.c_str(), accessmode::readwrite, denymode::denynone);
              shared->db_setretry(1, 3);
              shared->db_begintransaction(accessmode::read);
              shared->db_endtransaction();
              shared->db_close();
              tav::chainDB::db_load(path_.c_str(), L"tav-loaded");
              tav::chainDB::db_open(L"tav-loaded", place::in_memory)->db_close();
              tav::chainDB::db_delete(L"tav-loaded", place::in_memory);
            }),
            0u);
  EXPECT_EQ(RunTrapped([&] { tav::chainDB::db_open(L"missing", place::in_memory); }), 1315u);
}

TEST_F(Wrapper, ReferenceText) {
  EXPECT_EQ(std::wstring(tav::chainDB::str_ref(0)), L"~0");
  EXPECT_EQ(std::wstring(tav::chainDB::str_ref(31)), L"~1F");
  EXPECT_FALSE(tav::chainDB::str_ref(L"~1f", 31));
  EXPECT_TRUE(tav::chainDB::str_ref(L"~1F", 31));
  struct Case {
    const wchar_t* text;
    bool ok;
    int32_t ref;
    uint32_t error;
  } cases[] = {{L"~1f", true, 31, 0}, {L"1F", false, 0, 0}, {L"~4000000", false, 0, 0},
               {L"~12G", false, 0, 0}, {L"~123456789", false, 0, 1319}, {L"~", true, 0, 0}};
  for (auto& c : cases) {
    int32_t r = -1;
    bool ok = false;
    EXPECT_EQ(RunTrapped([&] { ok = chainDB5x8::str_ref(c.text, &r); }), c.error);
    if (!c.error) {
      EXPECT_EQ(ok, c.ok);
      if (c.ok) {
        EXPECT_EQ(r, c.ref);
      }
    }
  }
}

TEST_F(Wrapper, CodePageReadsBackThroughItsNumber) {
  chainDB5x8::setcodepage({codepage::oem, 0});
  EXPECT_EQ(chainDB5x8::getcodepage().kind, codepage::oem);
  chainDB5x8::setcodepage({codepage::number, 1});
  EXPECT_EQ(chainDB5x8::getcodepage().kind, codepage::oem);
  chainDB5x8::setcodepage({codepage::number, 0});
  EXPECT_EQ(chainDB5x8::getcodepage().kind, codepage::ansi);
  chainDB5x8::setcodepage({codepage::number, 1252});
  EXPECT_EQ(chainDB5x8::getcodepage().n, 1252u);
  // An 8-bit database reached by its selector value.
  uint8_t sel = 1;
  int32_t bt = 0, r = 0;
  ASSERT_EQ(RunTrapped([&] {
              uint8_t memory = 1;
              ::chainDB8::QEL_DB8_Create(&sel, L"tav-8bit", &memory);
              ::chainDB8::QEL_DB8_BtCreate6(&sel, L"k", &bt, 8, 2, false);
              ::chainDB8::QEL_DB8_KeyInsert(&sel, bt, L"caf\u00e9", 7);
            }),
            0u);
  EXPECT_TRUE(chainDB5x8::key_search(db_selector::a, bt, L"caf\u00e9", &r));
  EXPECT_EQ(r, 7);
  EXPECT_FALSE(chainDB5x8::key_search(db_selector::a, bt, L"caf\u00e9", 8));
  ::chainDB8::QEL_DB8_Close(&sel);
  uint8_t memory = 1;
  ::chainDB8::QEL_DB8_Delete(L"tav-8bit", &memory);
}

}  // namespace
