// Chains of terms through the exported wide family, in memory and in a
// file; every file test ends with the verifier.
#include "cdb_test.h"
#include "db.h"

using namespace cdbtest;
using namespace chainDB;

namespace {

class Chains : public ::testing::TestWithParam<uint8_t> {
 protected:
  void SetUp() override {
    ASSERT_EQ(LinkUnit(), 0);
    path_ = Scratch(L"chains") + L"c.km6";
    uint8_t place = GetParam();
    ASSERT_EQ(ErrorOf([&] { QEL_DB_Create(&h_, path_.c_str(), &place); }), 0u);
  }
  void TearDown() override {
    QEL_DB_Close(h_);
    if (GetParam() == kFile) {
      EXPECT_EQ(Verified(path_), "");
    } else {
      QEL_DB_Delete(path_.c_str(), &kMem);
    }
  }
  TRef Z(const wchar_t* chain, const wchar_t* text) {
    return QEL_DB_ChainInsertz(Str(), h_, chain, reinterpret_cast<term>(text));
  }
  // The chain's texts walking forward, and walking backward.
  std::vector<std::wstring> Forward(const wchar_t* chain) {
    std::vector<std::wstring> out;
    TRef r = 0;
    if (!Succeeds([&] { r = QEL_DB_ChainFirst(h_, chain); })) return out;
    do out.push_back(TextOf(QEL_DB_RefTerm(Str(), h_, r)));
    while (Succeeds([&] { r = QEL_DB_ChainNext(h_, r); }));
    return out;
  }
  std::vector<std::wstring> Backward(const wchar_t* chain) {
    std::vector<std::wstring> out;
    TRef r = 0;
    if (!Succeeds([&] { r = QEL_DB_ChainLast(h_, chain); })) return out;
    do out.insert(out.begin(), TextOf(QEL_DB_RefTerm(Str(), h_, r)));
    while (Succeeds([&] { r = QEL_DB_ChainPrev(h_, r); }));
    return out;
  }
  void Expect(const wchar_t* chain, std::vector<std::wstring> texts) {
    EXPECT_EQ(Forward(chain), texts);
    EXPECT_EQ(Backward(chain), texts);
  }
  std::wstring path_;
  FILEDESCR** h_ = nullptr;
};

TEST_P(Chains, InsertsKeepOrderAndLinks) {
  ASSERT_EQ(ErrorOf([&] {
              TRef b = Z(L"c", L"b");
              QEL_DB_ChainInserta(Str(), h_, L"c", reinterpret_cast<term>(L"a"));
              TRef d = Z(L"c", L"d");
              QEL_DB_ChainInsertAfter(Str(), h_, L"c", b, reinterpret_cast<term>(L"c"));
              QEL_DB_ChainInsertAfter(Str(), h_, L"c", d, reinterpret_cast<term>(L"e"));
              Z(L"other", L"x");
            }),
            0u);
  Expect(L"c", {L"a", L"b", L"c", L"d", L"e"});
  Expect(L"other", {L"x"});
  EXPECT_FALSE(Succeeds([&] { QEL_DB_ChainFirst(h_, L"none"); }));
}

TEST_P(Chains, ReplaceKeepsTheReferenceAndMovesOnlyWhenTheSizeChanges) {
  TRef r = 0;
  ASSERT_EQ(ErrorOf([&] {
              Z(L"c", L"before");
              r = Z(L"c", L"abc");
              Z(L"c", L"after");
            }),
            0u);
  FILEDESCR* d = *h_;
  uint32_t at = 0, same = 0, moved = 0;
  ASSERT_EQ(ErrorOf([&] {
              at = V(chainDB::detail::LookupRef(d, chainDB::detail::Ref{static_cast<uint32_t>(r)}, true));
              QEL_DB_TermReplace(Str(), h_, r, reinterpret_cast<term>(L"xyz"));
              same = V(chainDB::detail::LookupRef(d, chainDB::detail::Ref{static_cast<uint32_t>(r)}, true));
              QEL_DB_TermReplace(Str(), h_, r, reinterpret_cast<term>(L"a much longer text"));
              moved = V(chainDB::detail::LookupRef(d, chainDB::detail::Ref{static_cast<uint32_t>(r)}, true));
            }),
            0u);
  EXPECT_EQ(same, at);
  EXPECT_NE(moved, at);
  Expect(L"c", {L"before", L"a much longer text", L"after"});
}

TEST_P(Chains, DeletingTheOnlyTermRemovesTheChainAndItsEntryIsReused) {
  TRef r = 0;
  ASSERT_EQ(ErrorOf([&] {
              Z(L"keep", L"k");
              r = Z(L"gone", L"g");
              QEL_DB_TermDelete(h_, L"gone", r);
            }),
            0u);
  EXPECT_FALSE(Succeeds([&] { QEL_DB_ChainFirst(h_, L"gone"); }));
  EXPECT_EQ((*h_)->freeChainHead, 1u);
  ASSERT_EQ(ErrorOf([&] { Z(L"new", L"n"); }), 0u);
  EXPECT_EQ((*h_)->freeChainHead, 0u);
  Expect(L"new", {L"n"});
  EXPECT_FALSE(Succeeds([&] { QEL_DB_ChainDelete(h_, L"none"); }));
}

// Checks run before any change: a refused call leaves the database as it was.
TEST_P(Chains, RefusedChangesChangeNothing) {
  TRef a = 0, b = 0, x = 0;
  ASSERT_EQ(ErrorOf([&] {
              a = Z(L"c", L"a");
              b = Z(L"c", L"b");
              x = Z(L"other", L"x");
            }),
            0u);
  uint32_t terms = (*h_)->termCount;
  struct Case {
    const char* what;
    std::function<void()> call;
    uint32_t code;
  } cases[] = {
      {"delete from an unknown chain", [&] { QEL_DB_TermDelete(h_, L"none", a); }, 1320},
      {"delete another chain's last term", [&] { QEL_DB_TermDelete(h_, L"c", x); }, 1334},
      {"delete a dead reference", [&] { QEL_DB_TermDelete(h_, L"c", 0x3000000); }, 1319},
      {"insert after into an unknown chain", [&] {
         QEL_DB_ChainInsertAfter(Str(), h_, L"none", b, reinterpret_cast<term>(L"n"));
       }, 1320},
      {"insert after another chain's last term", [&] {
         QEL_DB_ChainInsertAfter(Str(), h_, L"c", x, reinterpret_cast<term>(L"n"));
       }, 1334},
      {"read a dead reference", [&] { QEL_DB_RefTerm(Str(), h_, 0x20001); }, 1319},
      {"next of reference 0", [&] { QEL_DB_ChainNext(h_, 0); }, 1319},
  };
  for (auto& c : cases) {
    EXPECT_EQ(ErrorOf(c.call), c.code) << c.what;
    EXPECT_EQ((*h_)->termCount, terms) << c.what;
    EXPECT_FALSE((*h_)->changing) << c.what;
  }
  Expect(L"c", {L"a", L"b"});
  Expect(L"other", {L"x"});
}

struct Walk {
  FILEDESCR** h;
  std::vector<std::wstring> seen;
};

TEST_P(Chains, EnumeratingWhileDeletingEachTermVisitsEveryTermOnce) {
  ASSERT_EQ(ErrorOf([&] {
              for (const wchar_t* t : {L"1", L"2", L"3", L"4"}) Z(L"c", t);
            }),
            0u);
  Walk w{h_, {}};
  bool ok = true;
  ASSERT_EQ(ErrorOf([&] {
              ok = Succeeds([&] {
                QEL_DB_ChainTerms(Str(), h_, L"c", [](void* ctx, term t, TRef r) {
                  auto* w = static_cast<Walk*>(ctx);
                  w->seen.push_back(TextOf(t));
                  QEL_DB_TermDelete(w->h, L"c", r);
                  Qel::RunTime::Kernel::Fail();
                }, &w);
              });
            }),
            0u);
  EXPECT_FALSE(ok);
  EXPECT_EQ(w.seen, (std::vector<std::wstring>{L"1", L"2", L"3", L"4"}));
  EXPECT_FALSE(Succeeds([&] { QEL_DB_ChainFirst(h_, L"c"); }));
  EXPECT_FALSE(Succeeds([&] { QEL_DB_ChainTerms(Str(), h_, L"none", [](void*, term, TRef) {}, nullptr); }));
}

TEST_P(Chains, ReadingNeverSetsTheUpdateMark) {
  ASSERT_EQ(ErrorOf([&] { Z(L"c", L"a"); Z(L"c", L"b"); QEL_DB_Flush(h_); }), 0u);
  Expect(L"c", {L"a", L"b"});
  Succeeds([&] { QEL_DB_ChainTerms(Str(), h_, L"c", [](void*, term, TRef) { Qel::RunTime::Kernel::Fail(); }, nullptr); });
  if (GetParam() == kFile) {
    EXPECT_EQ((*h_)->updateMark, 0);
  }
}

TEST_P(Chains, ChainDeleteRemovesEveryTerm) {
  ASSERT_EQ(ErrorOf([&] {
              for (int i = 0; i < 50; ++i) Z(L"c", L"term");
              Z(L"d", L"stay");
              QEL_DB_ChainDelete(h_, L"c");
            }),
            0u);
  EXPECT_EQ((*h_)->termCount, 1u);
  Expect(L"c", {});
  Expect(L"d", {L"stay"});
}

INSTANTIATE_TEST_SUITE_P(Places, Chains, ::testing::Values(kMem, kFile),
                         [](const auto& info) { return info.param == kMem ? "Memory" : "File"; });

}  // namespace
