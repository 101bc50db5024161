// Databases as a whole: handles, parked memory databases, Load, Copy (the
// program's save) and its failures, statistics.
#include "cdb_test.h"
#include "db.h"
#include "faults.h"

using namespace cdbtest;
using namespace chainDB;

namespace {

class Database : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(LinkUnit(), 0);
    dir_ = Scratch(L"database");
  }
  std::wstring dir_;
};

TEST_F(Database, ClosedAndStaleHandlesRaise1304) {
  FILEDESCR** a = nullptr;
  FILEDESCR** b = nullptr;
  std::wstring p = dir_ + L"a.km6";
  ASSERT_EQ(ErrorOf([&] { QEL_DB_Create(&a, p.c_str(), &kFile); }), 0u);
  QEL_DB_Close(a);
  QEL_DB_Close(a);  // a second close does nothing
  // Another database opened afterwards never reaches the stale handle.
  ASSERT_EQ(ErrorOf([&] { QEL_DB_Create(&b, (dir_ + L"m").c_str(), &kMem); }), 0u);
  EXPECT_NE(a, b);
  TRef r;
  uint32_t s[4];
  std::function<void()> calls[] = {
      [&] { QEL_DB_ChainInsertz(Str(), a, L"c", reinterpret_cast<term>(L"x")); },
      [&] { QEL_DB_Flush(a); },
      [&] { QEL_DB_ChainFirst(a, L"c"); },
      [&] { QEL_DB_KeyFirst(a, 0, &r); },
      [&] { QEL_DB_Statistics(a, s, s + 1, s + 2, s + 3); },
      [&] { QEL_DB_Copy(a, (dir_ + L"c.km6").c_str(), &kFile); },
      [&] { QEL_DB_Flush(nullptr); },
  };
  for (auto& c : calls) EXPECT_EQ(ErrorOf(c), 1304u);
  uint8_t sel = 200;
  EXPECT_EQ(ErrorOf([&] { chainDB8::QEL_DB8_Flush(&sel); }), 1304u);
  QEL_DB_Close(b);
  QEL_DB_Delete((dir_ + L"m").c_str(), &kMem);
}

TEST_F(Database, ParkedMemoryDatabasesAndPlaces) {
  FILEDESCR** h = nullptr;
  std::wstring m = dir_ + L"mem";
  ASSERT_EQ(ErrorOf([&] {
              QEL_DB_Create(&h, m.c_str(), &kMem);
              QEL_DB_ChainInsertz(Str(), h, L"c", reinterpret_cast<term>(L"kept"));
              QEL_DB_Close(h);
              QEL_DB_Open(&h, m.c_str(), &kMem);
            }),
            0u);
  FILEDESCR** second = nullptr;
  EXPECT_EQ(ErrorOf([&] { QEL_DB_Open(&second, m.c_str(), &kMem); }), 1315u);
  TRef r = 0;
  ASSERT_EQ(ErrorOf([&] { r = QEL_DB_ChainFirst(h, L"c"); }), 0u);
  EXPECT_EQ(TextOf(QEL_DB_RefTerm(Str(), h, r)), L"kept");
  QEL_DB_Close(h);
  uint8_t bad = 3;
  EXPECT_EQ(ErrorOf([&] { QEL_DB_Create(&h, m.c_str(), &bad); }), 1315u);
  EXPECT_EQ(ErrorOf([&] { QEL_DB_Delete(L"never", &kMem); }), 1318u);
  EXPECT_EQ(ErrorOf([&] { QEL_DB_Delete((dir_ + L"never.km6").c_str(), &kFile); }), 0u);
  EXPECT_EQ(ErrorOf([&] { QEL_DB_Open(&h, (dir_ + L"missing.km6").c_str(), &kFile); }), 1336u);
  EXPECT_NE(LastError().find(L"2"), std::wstring::npos);
  EXPECT_EQ(ErrorOf([&] { QEL_DB_Create(&h, L"1:\\x.km6", &kFile); }), 1303u);
  QEL_DB_Delete(m.c_str(), &kMem);
}

TEST_F(Database, LoadAndCopyKeepReferencesAfterGarbageCollection) {
  std::wstring file = dir_ + L"doc.km6", copy = dir_ + L"saved.km6";
  FILEDESCR** h = nullptr;
  std::vector<TRef> refs;
  ASSERT_EQ(ErrorOf([&] {
              QEL_DB_Create(&h, file.c_str(), &kFile);
              for (int i = 0; i < 40; ++i)
                refs.push_back(QEL_DB_ChainInsertz(ItemDomain(), h, L"c", MakeItem(i, L"duty")));
              for (int i = 0; i < 40; i += 3) QEL_DB_TermDelete(h, L"c", refs[i]);
              QEL_DB_GarbageCollect(h);
              QEL_DB_Copy(h, copy.c_str(), &kFile);
              QEL_DB_Close(h);
              QEL_DB_Load(copy.c_str(), (dir_ + L"loaded").c_str());
              QEL_DB_Open(&h, (dir_ + L"loaded").c_str(), &kMem);
            }),
            0u);
  EXPECT_EQ(Verified(file), "");
  EXPECT_EQ(Verified(copy), "");
  for (int i = 1; i < 40; i += 3) {
    auto* it = reinterpret_cast<const Item*>(QEL_DB_RefTerm(ItemDomain(), h, refs[i]));
    EXPECT_EQ(it->n, i);
  }
  QEL_DB_Close(h);
  QEL_DB_Delete((dir_ + L"loaded").c_str(), &kMem);
}

// A Copy holds its new file's writes up to 64 MiB: a larger document is
// written past that as it goes, and so is its repairing copy, whose tree
// is built anew in the file.
TEST_F(Database, CopiesLargerThanTheHeldWritesAreWhole) {
  std::wstring saved = dir_ + L"big.km6", repaired = dir_ + L"repaired.km6", memory = dir_ + L"big";
  const int kTerms = 90;  // 800 KB each
  std::wstring text(400000, L'x');
  FILEDESCR** h = nullptr;
  ASSERT_EQ(ErrorOf([&] {
              QEL_DB_Create(&h, memory.c_str(), &kMem);
              int32_t s;
              QEL_DB_BtCreate6(h, L"index", &s, 10, 2, false);
              for (int i = 0; i < kTerms; ++i) {
                text[0] = static_cast<wchar_t>(L'A' + i % 26);
                TRef r = QEL_DB_ChainInsertz(Str(), h, L"c", reinterpret_cast<term>(text.c_str()));
                QEL_DB_KeyInsert(h, s, (L"k" + std::to_wstring(i)).c_str(), r);
              }
              QEL_DB_BtClose(h, s);
              QEL_DB_Copy(h, saved.c_str(), &kFile);
              QEL_DB_Close(h);
              QEL_DB_Delete(memory.c_str(), &kMem);
              QEL_DB_OpenInvalid(&h, saved.c_str(), &kFile);
              QEL_DB_Copy(h, repaired.c_str(), &kFile);
              QEL_DB_Close(h);
            }),
            0u);
  for (const std::wstring& file : {saved, repaired}) {
    EXPECT_EQ(Verified(file), "");
    uint32_t st[6], terms[4];
    std::wstring last;
    EXPECT_EQ(ErrorOf([&] {
                QEL_DB_Open(&h, file.c_str(), &kFile);
                QEL_DB_Statistics(h, terms, terms + 1, terms + 2, terms + 3);
                int32_t s;
                QEL_DB_BtOpen(h, L"index", &s);
                QEL_DB_BtStatistics(h, s, st, st + 1, st + 2, st + 3, st + 4, st + 5);
                TRef r = 0;
                QEL_DB_KeySearch_o(h, s, (L"k" + std::to_wstring(kTerms - 1)).c_str(), &r);
                last = TextOf(QEL_DB_RefTerm(Str(), h, r));
                QEL_DB_Close(h);
              }),
              0u);
    EXPECT_GT(ReadBytes(file).size(), size_t{64} << 20);
    EXPECT_EQ(terms[0], uint32_t{kTerms});
    EXPECT_EQ(st[0], uint32_t{kTerms});
    text[0] = static_cast<wchar_t>(L'A' + (kTerms - 1) % 26);
    EXPECT_TRUE(last == text);
  }
}

// A save that fails half-way leaves the old document whole and no
// temporary file behind.
TEST_F(Database, FailedCopyLeavesTheTargetUntouched) {
  std::wstring target = dir_ + L"target.km6";
  FILEDESCR** h = nullptr;
  ASSERT_EQ(ErrorOf([&] {
              QEL_DB_Create(&h, target.c_str(), &kFile);
              QEL_DB_ChainInsertz(Str(), h, L"c", reinterpret_cast<term>(L"old"));
              QEL_DB_Close(h);
              QEL_DB_Create(&h, (dir_ + L"mem").c_str(), &kMem);
              for (int i = 0; i < 30; ++i) QEL_DB_ChainInsertz(Str(), h, L"c", reinterpret_cast<term>(L"new"));
            }),
            0u);
  std::vector<uint8_t> old = ReadBytes(target);
  for (Fault kind : {Fault::FailWrite, Fault::FailFlush, Fault::FailRename}) {
    for (uint64_t n = 1; n < 200; ++n) {
      SetFaults(kind, n);
      uint32_t code = ErrorOf([&] { QEL_DB_Copy(h, target.c_str(), &kFile); });
      bool fired = Faults().fired;
      ClearFaults();
      if (!fired) {
        EXPECT_EQ(code, 0u);
        break;
      }
      EXPECT_EQ(code, 1336u);
      EXPECT_EQ(ReadBytes(target), old) << "fault " << static_cast<int>(kind) << " at " << n;
      EXPECT_EQ(GetFileAttributesW((target + L"~cdb").c_str()), INVALID_FILE_ATTRIBUTES);
    }
    // The copy that succeeded is the new document.
    EXPECT_EQ(Verified(target), "");
    old = ReadBytes(target);
  }
  QEL_DB_Close(h);
  QEL_DB_Delete((dir_ + L"mem").c_str(), &kMem);
}

TEST_F(Database, StatisticsAndDamagedDatabases) {
  FILEDESCR** h = nullptr;
  std::wstring p = dir_ + L"s.km6";
  uint32_t s[4] = {};
  ASSERT_EQ(ErrorOf([&] {
              QEL_DB_Create(&h, p.c_str(), &kFile);
              QEL_DB_ChainInsertz(Str(), h, L"c", reinterpret_cast<term>(L"x"));
              QEL_DB_Statistics(h, s, s + 1, s + 2, s + 3);
            }),
            0u);
  EXPECT_EQ(s[0], 1u);
  EXPECT_GT(s[1], 0u);
  EXPECT_EQ(s[2], (*h)->bytesInUse);
  EXPECT_GT(s[3], 0u);
  // A change cut in half by an error: Flush refuses, Close writes nothing.
  SetFaults(Fault::FailWrite, 2);
  EXPECT_EQ(ErrorOf([&] { QEL_DB_ChainInsertz(Str(), h, L"c", reinterpret_cast<term>(L"y")); }), 1336u);
  ClearFaults();
  EXPECT_EQ(ErrorOf([&] { QEL_DB_Flush(h); }), 1317u);
  EXPECT_EQ(ErrorOf([&] { QEL_DB_Copy(h, (dir_ + L"c.km6").c_str(), &kFile); }), 1317u);
  QEL_DB_Close(h);
  EXPECT_EQ(ErrorOf([&] { QEL_DB_Open(&h, p.c_str(), &kFile); }), 1317u);
  ASSERT_EQ(ErrorOf([&] { QEL_DB_OpenInvalid(&h, p.c_str(), &kFile); }), 0u);
  Abandon(h);
}

}  // namespace
