// B+trees against a model (a sorted container ordered by lstrcmpW, then by
// signed reference), the edge cases of selectors and cursors, and copies
// between places.
#include <random>
#include <set>

#include "btree.h"
#include "cdb_test.h"
#include "collate.h"

using namespace cdbtest;
using namespace chainDB;

namespace {

struct Pair {
  std::wstring key;
  TRef ref;
};
struct Less {
  bool pairs;
  bool operator()(const Pair& a, const Pair& b) const {
    int c = lstrcmpW(a.key.c_str(), b.key.c_str());
    if (c || !pairs) return c < 0;
    return a.ref < b.ref;
  }
};

class Trees : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(LinkUnit(), 0);
    dir_ = Scratch(L"btree");
  }
  void Create(uint8_t place, const std::wstring& name) {
    path_ = dir_ + name;
    place_ = place;
    ASSERT_EQ(ErrorOf([&] { QEL_DB_Create(&h_, path_.c_str(), &place); }), 0u);
  }
  void Finish() {
    QEL_DB_Close(h_);
    if (place_ == kFile) EXPECT_EQ(Verified(path_, false), "");
    else QEL_DB_Delete(path_.c_str(), &kMem);
  }
  // Every entry by First/Next, and by Last/Prev.
  std::vector<Pair> Forward(int32_t sel) {
    std::vector<Pair> out;
    TRef r;
    if (!Succeeds([&] { QEL_DB_KeyFirst(h_, sel, &r); })) return out;
    do {
      const wchar_t* k = nullptr;
      QEL_DB_KeyCurrent(h_, sel, &k, &r);
      out.push_back({k, r});
    } while (Succeeds([&] { QEL_DB_KeyNext(h_, sel, &r); }));
    return out;
  }
  std::vector<TRef> Backward(int32_t sel) {
    std::vector<TRef> out;
    TRef r;
    if (!Succeeds([&] { QEL_DB_KeyLast(h_, sel, &r); })) return out;
    do out.insert(out.begin(), r);
    while (Succeeds([&] { QEL_DB_KeyPrev(h_, sel, &r); }));
    return out;
  }
  std::wstring dir_, path_;
  uint8_t place_ = kMem;
  FILEDESCR** h_ = nullptr;
};

struct Config {
  uint8_t place;
  int order, keyLength;
  bool dup;
  int ops;
};

class TreeModel : public Trees, public ::testing::WithParamInterface<Config> {};

TEST_P(TreeModel, RandomInsertsAndDeletesFollowTheModel) {
  Config c = GetParam();
  Create(c.place, L"model.km6");
  std::mt19937 rng(1234 + c.order * 7 + c.keyLength);
  const wchar_t alphabet[] = L"abAB\u00e9\u00c9z\u00ad-1";
  std::multiset<Pair, Less> model(Less{c.dup});
  std::vector<Pair> live;
  int32_t sel = -1;
  ASSERT_EQ(ErrorOf([&] { QEL_DB_BtCreate6(h_, L"index", &sel, c.keyLength, c.order, c.dup); }), 0u);
  int stored = c.keyLength == 15 ? 16 : c.keyLength;
  for (int i = 0; i < c.ops; ++i) {
    if (live.empty() || rng() % 3) {
      std::wstring key;
      int len = 1 + rng() % (std::min(stored, 6) + (rng() % 8 == 0 ? stored : 0));
      for (int k = 0; k < len; ++k) key += alphabet[rng() % 10];
      TRef ref = static_cast<TRef>(rng() % 2000) - 300;
      Pair p{key.substr(0, stored), ref};
      bool clash = !c.dup && model.count(p);
      uint32_t code = ErrorOf([&] { QEL_DB_KeyInsert(h_, sel, key.c_str(), ref); });
      ASSERT_EQ(code, clash ? 1333u : 0u) << i;
      if (!clash) {
        model.insert(p);
        live.push_back(p);
      }
    } else {
      size_t at = rng() % live.size();
      Pair p = live[at];
      live[at] = live.back();
      live.pop_back();
      ASSERT_EQ(ErrorOf([&] { QEL_DB_KeyDelete(h_, sel, p.key.c_str(), p.ref); }), 0u) << i;
      model.erase(model.find(p));
    }
  }
  auto check = [&] {
    std::vector<Pair> got = Forward(sel);
    ASSERT_EQ(got.size(), model.size());
    auto it = model.begin();
    for (size_t i = 0; i < got.size(); ++i, ++it) {
      ASSERT_EQ(lstrcmpW(got[i].key.c_str(), it->key.c_str()), 0) << i;
      ASSERT_EQ(got[i].ref, it->ref) << i;
    }
    std::vector<TRef> back = Backward(sel);
    ASSERT_EQ(back.size(), got.size());
    for (size_t i = 0; i < got.size(); ++i) ASSERT_EQ(back[i], got[i].ref);
    // Output searches find the first entry of a key, or fail.
    for (int i = 0; i < 50 && !live.empty(); ++i) {
      const Pair& p = live[rng() % live.size()];
      TRef r = 0;
      bool found = Succeeds([&] { QEL_DB_KeySearch_o(h_, sel, p.key.c_str(), &r); });
      if (c.dup) {
        // Duplicates: the first entry at or above (key, 0) when it has the key.
        auto first = model.lower_bound(Pair{p.key, 0});
        bool expect = first != model.end() && lstrcmpW(first->key.c_str(), p.key.c_str()) == 0;
        ASSERT_EQ(found, expect);
        if (expect) {
          EXPECT_EQ(r, first->ref);
        }
      } else {
        ASSERT_TRUE(found);
        EXPECT_EQ(r, p.ref);
      }
      EXPECT_TRUE(Succeeds([&] { QEL_DB_KeySearch_i(h_, sel, p.key.c_str(), p.ref); }));
    }
    uint32_t keys, nodes, depth, kl, order, size;
    QEL_DB_BtStatistics(h_, sel, &keys, &nodes, &depth, &kl, &order, &size);
    EXPECT_EQ(keys, model.size());
    EXPECT_EQ(kl, static_cast<uint32_t>(stored));
  };
  ASSERT_EQ(ErrorOf(check), 0u);
  if (c.place == kFile) {
    QEL_DB_Close(h_);
    EXPECT_EQ(Verified(path_, false), "");
    ASSERT_EQ(ErrorOf([&] {
                QEL_DB_Open(&h_, path_.c_str(), &kFile);
                QEL_DB_BtOpen(h_, L"index", &sel);
              }),
              0u);
    ASSERT_EQ(ErrorOf(check), 0u);
  }
  // Emptying the tree leaves root 0 and no nodes.
  ASSERT_EQ(ErrorOf([&] {
              for (auto& p : live) QEL_DB_KeyDelete(h_, sel, p.key.c_str(), p.ref);
            }),
            0u);
  uint32_t keys, nodes, depth, kl, order, size;
  QEL_DB_BtStatistics(h_, sel, &keys, &nodes, &depth, &kl, &order, &size);
  EXPECT_EQ(keys, 0u);
  EXPECT_EQ(nodes, 0u);
  EXPECT_EQ(depth, 0u);
  Finish();
}

INSTANTIATE_TEST_SUITE_P(Configs, TreeModel,
                         ::testing::Values(Config{kMem, 1, 8, true, 3000}, Config{kFile, 1, 8, false, 2000},
                                           Config{kMem, 2, 15, true, 4000}, Config{kFile, 3, 15, true, 4000},
                                           Config{kMem, 16, 1, true, 3000}, Config{kFile, 16, 24, false, 6000},
                                           Config{kMem, 255, 255, true, 1500}, Config{kFile, 2, 255, true, 1500}),
                         [](const auto& info) {
                           const Config& c = info.param;
                           return std::string(c.place == kMem ? "Memory" : "File") + "Order" +
                                  std::to_string(c.order) + "Key" + std::to_string(c.keyLength) +
                                  (c.dup ? "Dup" : "Unique");
                         });

TEST_F(Trees, CreateChecksItsArguments) {
  Create(kMem, L"args");
  int32_t s;
  struct Case {
    const wchar_t* name;
    int keyLength, order;
    uint32_t code;
  } cases[] = {{L"a", 0, 2, 1311}, {L"a", 256, 2, 1311}, {L"a", 10, 0, 1310}, {L"a", 10, 256, 1310},
               {L"a", 255, 255, 0}, {L"a", 10, 2, 1306}};
  for (auto& c : cases)
    EXPECT_EQ(ErrorOf([&] { QEL_DB_BtCreate6(h_, c.name, &s, c.keyLength, c.order, false); }), c.code);
  EXPECT_EQ(ErrorOf([&] { QEL_DB_BtOpen(h_, L"none", &s); }), 1321u);
  EXPECT_EQ(ErrorOf([&] { QEL_DB_BtClose(h_, 99); }), 1322u);
  EXPECT_EQ(ErrorOf([&] { QEL_DB_BtClose(h_, -1); }), 1322u);
  EXPECT_EQ(ErrorOf([&] { QEL_DB_KeyInsert(h_, 77, L"k", 1); }), 1322u);
  Finish();
}

TEST_F(Trees, CursorsSearchAndSelectors) {
  Create(kFile, L"cursor.km6");
  int32_t s, t;
  TRef r = 0;
  ASSERT_EQ(ErrorOf([&] { QEL_DB_BtCreate6(h_, L"t", &s, 15, 1, true); }), 0u);
  // Empty tree: First leaves the cursor after the end, Last before the start.
  EXPECT_FALSE(Succeeds([&] { QEL_DB_KeyFirst(h_, s, &r); }));
  EXPECT_FALSE(Succeeds([&] { QEL_DB_KeyLast(h_, s, &r); }));
  ASSERT_EQ(ErrorOf([&] {
              for (auto [k, v] : std::vector<std::pair<const wchar_t*, int>>{{L"b", 2}, {L"d", 4}, {L"f", 6}, {L"d", 3}})
                QEL_DB_KeyInsert(h_, s, k, v);
            }),
            0u);
  uint32_t st[6];
  QEL_DB_BtStatistics(h_, s, st, st + 1, st + 2, st + 3, st + 4, st + 5);
  EXPECT_EQ(st[3], 16u);  // key length 15 is taken as 16
  EXPECT_GE(st[2], 2u);   // order 1: the third insert split the root
  // A search between keys fails and leaves the cursor on the greater key.
  EXPECT_FALSE(Succeeds([&] { QEL_DB_KeySearch_o(h_, s, L"c", &r); }));
  const wchar_t* key = nullptr;
  ASSERT_TRUE(Succeeds([&] { QEL_DB_KeyCurrent(h_, s, &key, &r); }));
  EXPECT_EQ(std::wstring(key), L"d");
  EXPECT_EQ(r, 3);
  ASSERT_TRUE(Succeeds([&] { QEL_DB_KeyNext(h_, s, &r); }));
  EXPECT_EQ(r, 4);
  // The smallest reference of a duplicated key; input search needs the pair.
  ASSERT_TRUE(Succeeds([&] { QEL_DB_KeySearch_o(h_, s, L"d", &r); }));
  EXPECT_EQ(r, 3);
  EXPECT_FALSE(Succeeds([&] { QEL_DB_KeySearch_i(h_, s, L"d", 5); }));
  ASSERT_TRUE(Succeeds([&] { QEL_DB_KeySearch_i(h_, s, L"d", 3); }));
  // A copied selector goes on from the same entry, on its own.
  ASSERT_EQ(ErrorOf([&] { QEL_DB_BtCopySelector(h_, s, &t); }), 0u);
  ASSERT_TRUE(Succeeds([&] { QEL_DB_KeyNext(h_, t, &r); }));
  EXPECT_EQ(r, 4);
  ASSERT_TRUE(Succeeds([&] { QEL_DB_KeyNext(h_, t, &r); }));
  EXPECT_EQ(r, 6);
  ASSERT_TRUE(Succeeds([&] { QEL_DB_KeyCurrent(h_, s, &key, &r); }));
  EXPECT_EQ(r, 3);
  // After Next failed at the end, Prev gives the last entry.
  EXPECT_FALSE(Succeeds([&] { QEL_DB_KeyNext(h_, t, &r); }));
  ASSERT_TRUE(Succeeds([&] { QEL_DB_KeyPrev(h_, t, &r); }));
  EXPECT_EQ(r, 6);
  // An insert through one selector resets the cursors of both.
  ASSERT_EQ(ErrorOf([&] { QEL_DB_KeyInsert(h_, t, L"a", 1); }), 0u);
  ASSERT_TRUE(Succeeds([&] { QEL_DB_KeyNext(h_, s, &r); }));
  EXPECT_EQ(r, 1);
  EXPECT_EQ(ErrorOf([&] { QEL_DB_KeyDelete(h_, s, L"d", 9); }), 1324u);
  EXPECT_FALSE((*h_)->changing);
  // Deleting an open tree is refused; closed, its slot is reused, but slot 0 never.
  EXPECT_EQ(ErrorOf([&] { QEL_DB_BtDelete(h_, L"t"); }), 1323u);
  ASSERT_EQ(ErrorOf([&] {
              QEL_DB_BtClose(h_, s);
              QEL_DB_BtClose(h_, t);
              QEL_DB_BtClose(h_, t);
              int32_t u, v;
              QEL_DB_BtCreate6(h_, L"u", &u, 8, 2, false);
              QEL_DB_BtCreate6(h_, L"v", &v, 8, 2, false);
              QEL_DB_BtClose(h_, u);
              QEL_DB_BtDelete(h_, L"t");
              QEL_DB_BtDelete(h_, L"u");
              QEL_DB_BtDelete(h_, L"absent");
              QEL_DB_BtCreate6(h_, L"w", &u, 8, 2, false);
              QEL_DB_KeyInsert(h_, u, L"x", 1);
              QEL_DB_KeyInsert(h_, v, L"y", 2);
            }),
            0u);
  EXPECT_EQ((*h_)->freeBtreeHead, 0u);
  EXPECT_EQ(chainDB::detail::TableCount((*h_)->btrees.table), 3u);
  EXPECT_EQ(ErrorOf([&] { QEL_DB_KeyInsert(h_, 1, L"x", 1); }), 1333u);
  Finish();
}

TEST_F(Trees, CopyBetweenPlacesKeepsEveryEntry) {
  Create(kMem, L"copysrc");
  int32_t s;
  std::vector<std::pair<std::wstring, TRef>> entries;
  ASSERT_EQ(ErrorOf([&] {
              QEL_DB_BtCreate6(h_, L"wide", &s, 7, 3, true);
              for (int i = 0; i < 500; ++i) {
                std::wstring k = L"k" + std::to_wstring(i * 7919 % 1000) + L"\u00e9";
                QEL_DB_KeyInsert(h_, s, k.c_str(), i + 1);
              }
              QEL_DB_ChainInsertz(Str(), h_, L"c", reinterpret_cast<term>(L"term"));
              QEL_DB_Copy(h_, (dir_ + L"copy.km6").c_str(), &kFile);
            }),
            0u);
  std::vector<Pair> original = Forward(s);
  EXPECT_EQ(Verified(dir_ + L"copy.km6", false), "");
  FILEDESCR** f = nullptr;
  ASSERT_EQ(ErrorOf([&] {
              QEL_DB_Open(&f, (dir_ + L"copy.km6").c_str(), &kFile);
              QEL_DB_Copy(f, (dir_ + L"back").c_str(), &kMem);
              QEL_DB_Close(f);
              QEL_DB_Open(&f, (dir_ + L"back").c_str(), &kMem);
            }),
            0u);
  std::swap(f, h_);
  int32_t t;
  ASSERT_EQ(ErrorOf([&] { QEL_DB_BtOpen(h_, L"wide", &t); }), 0u);
  std::vector<Pair> back = Forward(t);
  ASSERT_EQ(back.size(), original.size());
  for (size_t i = 0; i < back.size(); ++i) {
    EXPECT_EQ(back[i].key, original[i].key);
    EXPECT_EQ(back[i].ref, original[i].ref);
  }
  QEL_DB_Close(h_);
  QEL_DB_Delete((dir_ + L"back").c_str(), &kMem);
  h_ = f;
  path_ = dir_ + L"copysrc";
  Finish();
}

// The key order answers as the system's comparison, sign for sign: keys of
// the plain characters (duty keys, dates, numbers) taken by the fast path,
// and mixed ones, letters, case and other marks left to the system.
TEST(KeyOrder, AnswersAsTheSystemComparison) {
  EXPECT_TRUE(detail::PlainOrderInUse());
  std::vector<std::wstring> keys = {L"", L"1", L"10", L"2", L"[101,11,13,1,1]", L"[101,11,13,1,10]",
                                    L"[101,11,13,1,2]", L"[101,11,13,1]", L"[101,11,13,1,1",
                                    L"[1,2]", L"[12]", L"1.5", L"1,5", L"15", L"a", L"A", L"B", L"b1",
                                    L"-1", L"1-", L"co-op", L"coop", L"x y", L"\u00e9", L"e", L"[]", L"]["};
  std::mt19937 rng(7);
  const std::wstring alphabet = L"0123456789[],.-aZ ";
  for (int i = 0; i < 3000; ++i) {
    std::wstring k;
    for (int n = 1 + int(rng() % 8); n > 0; --n) k += alphabet[rng() % alphabet.size()];
    keys.push_back(k);
  }
  int differing = 0;
  for (size_t i = 0; i < keys.size(); i += 7)
    for (size_t j = 0; j < keys.size(); j += 5) {
      const int system = lstrcmpW(keys[i].c_str(), keys[j].c_str());
      const int ours = detail::CompareW(keys[i].c_str(), keys[j].c_str());
      if (((system < 0) != (ours < 0) || (system > 0) != (ours > 0)) && ++differing <= 10)
        ADD_FAILURE() << "keys " << i << " and " << j << ": system " << system << ", ours " << ours;
    }
}

}  // namespace
