// The B+tree object and the position index, on memory and file databases.
#include <string>
#include <vector>

#include "SYSTEM/mychaindb/bt.h"
#include "SYSTEM/mychaindb/sc_build_nth.h"
#include "doc_test.h"
#include "qel6run_lib.h"

namespace rztest {
namespace {

using Qel::RunTime::Kernel::Fail;
using Keys = std::vector<std::wstring>;

class Trees : public Documents, public ::testing::WithParamInterface<place> {
 protected:
  void SetUp() override {
    Documents::SetUp();
    name_ = GetParam() == place::in_memory ? L"rz-trees" : Path(L"trees.km6");
    Run([&] { db_ = chainDB::db_create(name_.c_str(), GetParam()); });
  }
  void TearDown() override {
    RunTrapped([&] {
      db_->db_close();
      if (GetParam() == place::in_memory) chainDB::db_delete(name_.c_str(), place::in_memory);
    });
    Documents::TearDown();
  }
  // A stored term per key, inserted into the tree under the key.
  int32_t Add(bt* t, const wchar_t* key) {
    int32_t ref;
    db_->chain_insertz(T::Domain(tav::domains::string), L"items", reinterpret_cast<term>(key), &ref);
    t->kee_insert(key, ref);
    return ref;
  }
  static Keys Walk(bt* t) {
    Keys keys;
    int32_t ref;
    if (t->kee_first(&ref))
      t->nd_kee1([&](KeyRef e) {
        keys.push_back(e.key);
        Fail();
      });
    return keys;
  }
  std::wstring name_;
  chainDB* db_ = nullptr;
};

TEST_P(Trees, OpenOrCreateKeepsEntries) {
  Run([&] {
    bt* t = bt::new_(db_, L"names", 12, 4, 0);
    Add(t, L"b");
    Add(t, L"a");
    t->beet_close();
    // The stored tree is opened; the object records the given parameters.
    bt* again = bt::new_(db_, L"names", 20, 6, 1);
    EXPECT_EQ(Walk(again), (Keys{L"a", L"b"}));
    EXPECT_EQ(again->keyLength, 20u);
    EXPECT_EQ(again->order, 6u);
    // Names compare exactly: "Names" is another tree.
    EXPECT_TRUE(Walk(bt::new_(db_, L"Names", 12, 4, 0)).empty());
    EXPECT_EQ(again->get_db(), nullptr);
  });
}

TEST_P(Trees, KeysAndCursor) {
  Run([&] {
    bt* t = bt::new_(db_, L"k", 4, 4, 1);
    const int32_t a1 = Add(t, L"a"), b = Add(t, L"b"), a2 = Add(t, L"a"), c = Add(t, L"cdefgh");
    t->kee_insert(L"a", a1);  // the same pair twice: listed once
    EXPECT_EQ(All(t->kee_all(L"a")), (std::vector<int32_t>{a1, a2}));
    EXPECT_TRUE(t->kee_all(L"z")->Empty());
    // Stored keys are cut to the key length: keys that agree in the first
    // four characters are equal.
    for (const wchar_t* k : {L"cdefgh", L"cdef", L"cdefXYZ"}) EXPECT_EQ(All(t->kee_all(k)), std::vector<int32_t>{c});
    EXPECT_TRUE(t->kee_all(L"cde")->Empty());

    int32_t ref;
    const wchar_t* key;
    EXPECT_TRUE(t->kee_search(L"b", &ref));
    EXPECT_EQ(ref, b);
    EXPECT_FALSE(t->kee_search(L"bb", &ref));
    EXPECT_TRUE(t->kee_last(&ref));
    EXPECT_EQ(ref, c);
    EXPECT_TRUE(t->kee_prev(&ref));
    EXPECT_TRUE(t->kee_current(&key, &ref));
    EXPECT_STREQ(key, L"b");
    EXPECT_FALSE(t->kee_delete(L"zz"));
    EXPECT_TRUE(t->kee_delete(L"b"));
    t->kee_delete(L"a", a2);
    EXPECT_EQ(Walk(t), (Keys{L"a", L"a", L"cdef"}));  // the pair inserted twice stays twice

    // A tree without duplicates refuses an equal key with the database's error.
    bt* u = bt::new_(db_, L"u", 8, 4, 0);
    Add(u, L"x");
    uint32_t code = RunTrapped([&] { Add(u, L"x"); });
    EXPECT_EQ(ErrorNumber(code), 1333u);
    bt* empty = bt::new_(db_, L"e", 8, 4, 0);
    EXPECT_TRUE(empty->kee_all(L"x")->Empty());
    EXPECT_FALSE(empty->kee_first(&ref));
  });
}

TEST_P(Trees, Walks) {
  Run([&] {
    bt* t = bt::new_(db_, L"w", 8, 4, 1);
    for (const wchar_t* k : {L"c", L"a", L"b"}) Add(t, k);
    EXPECT_EQ(Walk(t), (Keys{L"a", L"b", L"c"}));
    // Pairs: each entry with its successor, no_pair at the end.
    std::vector<std::pair<std::wstring, std::wstring>> pairs;
    int32_t ref;
    t->kee_first(&ref);
    t->nd_kee2([&](KeyPairs p) {
      pairs.emplace_back(p.current.key, p.next.present ? p.next.key : L"no_pair");
      Fail();
    });
    EXPECT_EQ(pairs, (std::vector<std::pair<std::wstring, std::wstring>>{{L"a", L"b"}, {L"b", L"c"}, {L"c", L"no_pair"}}));
    // Stopped: only the entry at the cursor.
    t->set_continue(false);
    EXPECT_EQ(Walk(t), Keys{L"a"});
    t->set_continue(true);
    // Stopped from inside the walk, after the entry being returned.
    Keys seen;
    t->kee_first(&ref);
    t->nd_kee1([&](KeyRef e) {
      seen.push_back(e.key);
      if (seen.size() == 2) t->set_continue(false);
      Fail();
    });
    EXPECT_EQ(seen, (Keys{L"a", L"b"}));
  });
}

TEST_P(Trees, ClearCloseDelete) {
  Run([&] {
    bt* t = bt::new_(db_, L"t", 8, 4, 0);
    Add(t, L"a");
    t->beet_clear();
    EXPECT_TRUE(Walk(t).empty());
    Add(t, L"b");  // same parameters: still no duplicates
    EXPECT_EQ(ErrorNumber(RunTrapped([&] { Add(t, L"b"); })), 1333u);
    t->beet_close();
    t->beet_close();  // closed: nothing
    t->beet_clear();  // closed: nothing
    EXPECT_TRUE(Walk(t).empty());  // key operations act only when open
    t->kee_insert(L"c", 1);
    t->kee_delete(L"c", 1);
    EXPECT_EQ(rec().Texts(L"error"), (std::vector<std::wstring>{L"kee insert error 94", L"kee delete error 93"}));
    t->beet_delete();
    bool exists = db_->db_btrees([&](const wchar_t* n) {
      if (std::wstring(n) != L"t") Fail();
    });
    EXPECT_FALSE(exists);
    rec().Clear();
    t->beet_delete();
    t->beet_close();
    EXPECT_EQ(rec().Texts(L"error"), (std::vector<std::wstring>{L"bt delete error 97", L"bt close error 98"}));
  });
}

TEST_P(Trees, RandomOrder) {
  Run([&] {
    bt* t = bt::new_(db_, L"r", 8, 4, 1);
    int32_t ref;
    EXPECT_FALSE(t->nd_random_key([&](KeyRef) { Fail(); }));
    Keys keys;
    for (int i = 0; i < 40; ++i) {
      keys.push_back(std::to_wstring(100 + i));
      Add(t, keys.back().c_str());
    }
    // The shuffle of the algorithm, from the generator's draws.
    auto Shuffle = [](const Keys& in) {
      Keys front, back;
      for (const std::wstring& k : in) {
        if (QelMath::Random_1(10) < 5) front.insert(front.begin(), k);
        else back.push_back(k);
      }
      front.insert(front.end(), back.begin(), back.end());
      return front;
    };
    QelMath::RandomInit(12345);
    Keys want = Shuffle(Shuffle(keys));
    QelMath::RandomInit(12345);
    Keys got;
    std::vector<int32_t> refs;
    t->nd_random_key([&](KeyRef e) {
      got.push_back(e.key);
      refs.push_back(e.ref);
      Fail();
    });
    EXPECT_EQ(got, want);
    Keys sorted = got;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, keys);  // a permutation
    EXPECT_NE(got, keys);
    EXPECT_TRUE(t->kee_search(got[0].c_str(), &ref));
    EXPECT_EQ(ref, refs[0]);
  });
}

TEST_P(Trees, BadParameters) {
  for (auto [keyLength, order] : {std::pair<uint32_t, uint32_t>{0, 4}, {8, 0}, {0x80000000u, 4}, {8, 0xFFFFFFFFu}})
    EXPECT_TRUE(IsRangeError(RunTrapped([&] { bt::new_(db_, L"bad", keyLength, order, 0); })))
        << keyLength << " " << order;
}

TEST_P(Trees, PositionIndex) {
  Run([&] {
    bt* source = bt::new_(db_, L"src", 8, 4, 0);
    bt* target = bt::new_(db_, L"nth", 8, 4, 0);
    sc_build_nth::build_using_index_base_10000(x_direction{false, 0}, target, source);
    EXPECT_TRUE(Walk(target).empty());
    std::vector<int32_t> refs;
    for (const wchar_t* k : {L"b", L"a", L"c"}) refs.push_back(Add(source, k));
    Add(target, L"stale");
    sc_build_nth::build_using_index_base_10000(x_direction{false, 0}, target, source);
    EXPECT_EQ(Walk(target), (Keys{L"10001", L"10002", L"10003"}));
    int32_t ref;
    EXPECT_TRUE(sc_build_nth::get_nth_ref(1, target, &ref));
    EXPECT_EQ(ref, refs[1]);  // "a" comes first in the source's key order
    EXPECT_EQ(sc_build_nth::ref_is_nth(refs[1], target), 1);
    EXPECT_EQ(sc_build_nth::ref_is_nth(refs[2], target), 3);
    EXPECT_FALSE(sc_build_nth::get_nth_ref(4, target, &ref));

    // Backwards from Top 20: keys Top - 1, Top - 2 ...: the reverse order.
    sc_build_nth::build_using_index_base_10000(x_direction{true, 20}, target, source);
    EXPECT_EQ(Walk(target), (Keys{L"17", L"18", L"19"}));
    EXPECT_TRUE(target->kee_search(L"19", &ref));
    EXPECT_EQ(ref, refs[1]);

    // From a chain's terms in chain order (with the term of "stale").
    sc_build_nth::build_using_chain_term(x_direction{false, 0}, target, [&](Each<int32_t> k) {
      db_->chain_terms(T::Domain(tav::domains::string), L"items", [&](RefTerm rt) { k(rt.ref); });
    });
    EXPECT_EQ(Walk(target), (Keys{L"10001", L"10002", L"10003", L"10004"}));
    EXPECT_TRUE(sc_build_nth::get_nth_ref(1, target, &ref));
    EXPECT_EQ(ref, refs[0]);

    EXPECT_TRUE(rec().Texts(L"error").empty());
    EXPECT_EQ(sc_build_nth::ref_is_nth(987654, target), 0);
    EXPECT_EQ(rec().Texts(L"error"), std::vector<std::wstring>{L"Error 4330 in sc_build_nth"});
  });
}

TEST_P(Trees, PositionKeysPastFiveDigits) {
  Run([&] {
    bt* target = bt::new_(db_, L"nth", 8, 4, 0);
    sc_build_nth::build_using_chain_term(x_direction{false, 0}, target, [&](Each<int32_t> k) {
      for (int32_t i = 1; i <= 90001; ++i)
        if (TrySolution(k, i)) return;
    });
    int32_t ref;
    EXPECT_TRUE(target->kee_first(&ref));
    EXPECT_EQ(ref, 90000);  // "100000" sorts before "10001"
    EXPECT_TRUE(sc_build_nth::get_nth_ref(90001, target, &ref));
    EXPECT_EQ(ref, 90001);
  });
}

INSTANTIATE_TEST_SUITE_P(Places, Trees, ::testing::Values(place::in_memory, place::in_file),
                         [](const auto& info) { return info.param == place::in_memory ? "memory" : "file"; });

class VolatileTrees : public Documents {};

TEST_F(VolatileTrees, OwnDatabaseGoesWithTheTree) {
  Run([&] {
    bt* t = bt::new_volatile(L"rz-names", 12, 4, 0);
    chainDB* db = t->get_db();
    ASSERT_NE(db, nullptr);
    int32_t ref;
    db->chain_insertz(T::Domain(tav::domains::string), L"x", reinterpret_cast<term>(L"n"), &ref);
    t->kee_insert(L"abcdefghijklmnop", ref);
    EXPECT_EQ(All(t->kee_all(L"abcdefghijklXYZ")), std::vector<int32_t>{ref});
    t->beet_delete();
    EXPECT_EQ(t->get_db(), nullptr);
  });
  // Its memory database is gone.
  EXPECT_EQ(ErrorNumber(RunTrapped([] { chainDB::db_delete(L"rz-names", place::in_memory); })), 1318u);
}

}  // namespace
}  // namespace rztest
