// Transactions on a shared file.  Byte-range locks conflict between two
// handles of one process under one wineserver as between processes, so the
// sharing cases run with several handles in this process.
#include "cdb_test.h"
#include "db.h"
#include "faults.h"

using namespace cdbtest;
using namespace chainDB;

namespace {

const uint8_t kRead = 1, kWrite = 2, kDenyNone = 1, kReadWrite = 2;

class Shared : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(LinkUnit(), 0);
    path_ = Scratch(L"shared") + L"s.km6";
    FILEDESCR** h = nullptr;
    ASSERT_EQ(ErrorOf([&] {
                QEL_DB_Create(&h, path_.c_str(), &kFile);
                QEL_DB_ChainInsertz(Str(), h, L"c", reinterpret_cast<term>(L"first"));
                QEL_DB_Close(h);
              }),
              0u);
  }
  FILEDESCR** Share(int32_t delay = 1, int32_t count = 3) {
    FILEDESCR** h = nullptr;
    EXPECT_EQ(ErrorOf([&] {
                QEL_DB_OpenShare(&h, path_.c_str(), &kReadWrite, &kDenyNone);
                QEL_DB_SetRetry(h, delay, count);
              }),
              0u);
    return h;
  }
  uint32_t Begin(FILEDESCR** h, uint8_t mode) {
    return ErrorOf([&] { QEL_DB_BeginTransaction(h, &mode); });
  }
  uint32_t End(FILEDESCR** h) {
    return ErrorOf([&] { QEL_DB_EndTransaction(h); });
  }
  std::wstring path_;
};

TEST_F(Shared, OperationsNeedATransactionAndReadersExcludeWriters) {
  FILEDESCR** a = Share();
  FILEDESCR** b = Share();
  EXPECT_EQ(ErrorOf([&] { QEL_DB_ChainFirst(a, L"c"); }), 1327u);
  EXPECT_EQ(End(a), 1327u);
  ASSERT_EQ(Begin(a, kRead), 0u);
  EXPECT_EQ(ErrorOf([&] { QEL_DB_ChainInsertz(Str(), a, L"c", reinterpret_cast<term>(L"x")); }), 1331u);
  TRef r = 0;
  ASSERT_EQ(ErrorOf([&] { r = QEL_DB_ChainFirst(a, L"c"); }), 0u);
  EXPECT_EQ(TextOf(QEL_DB_RefTerm(Str(), a, r)), L"first");
  EXPECT_EQ(Begin(b, kRead), 0u);
  EXPECT_EQ(End(b), 0u);
  EXPECT_EQ(Begin(b, kWrite), 1332u);
  EXPECT_EQ(End(a), 0u);
  EXPECT_EQ(Begin(b, kWrite), 0u);
  EXPECT_EQ(Begin(a, kRead), 1332u);
  EXPECT_EQ(End(b), 0u);
  // Retry count 0: no lock is tried; a nested begin raises at once.
  QEL_DB_SetRetry(a, 1, 0);
  EXPECT_EQ(Begin(a, kRead), 1332u);
  QEL_DB_SetRetry(a, 5, 3);
  ASSERT_EQ(Begin(a, kRead), 0u);
  ULONGLONG t0 = GetTickCount64();
  EXPECT_EQ(Begin(a, kRead), 1330u);
  EXPECT_GE(GetTickCount64() - t0, 100u);  // three delays of 50 ms
  QEL_DB_SetRetry(a, 5, -4);
  EXPECT_EQ(Begin(a, kRead), 1330u);
  EXPECT_EQ(End(a), 0u);
  QEL_DB_Close(a);
  QEL_DB_Close(b);
  EXPECT_EQ(Verified(path_), "");
}

TEST_F(Shared, TwoHundredFiftyFiveReadersAndNoMore) {
  std::vector<FILEDESCR**> readers;
  for (int i = 0; i < 256; ++i) readers.push_back(Share(0, 1000));
  for (int i = 0; i < 255; ++i) ASSERT_EQ(Begin(readers[i], kRead), 0u) << i;
  EXPECT_EQ(Begin(readers[255], kRead), 1332u);
  ASSERT_EQ(End(readers[7]), 0u);
  EXPECT_EQ(Begin(readers[255], kRead), 0u);
  EXPECT_EQ((*readers[255])->readerSlot, (*readers[7])->readerSlot);
  for (auto* h : readers) QEL_DB_Close(h);
}

TEST_F(Shared, AnotherHandlesCommitIsReloadedAndResetsCursors) {
  FILEDESCR** a = Share();
  FILEDESCR** b = Share();
  int32_t sa = 0, sb = 0;
  ASSERT_EQ(Begin(a, kWrite), 0u);
  ASSERT_EQ(ErrorOf([&] {
              QEL_DB_BtCreate6(a, L"t", &sa, 8, 1, false);
              QEL_DB_KeyInsert(a, sa, L"m", 1);
            }),
            0u);
  ASSERT_EQ(End(a), 0u);
  ASSERT_EQ(Begin(b, kRead), 0u);
  TRef r = 0;
  ASSERT_EQ(ErrorOf([&] {
              QEL_DB_BtOpen(b, L"t", &sb);
              QEL_DB_KeyFirst(b, sb, &r);
            }),
            0u);
  EXPECT_EQ(r, 1);
  ASSERT_EQ(End(b), 0u);
  // A inserts until the root splits, closes its selector and commits.
  ASSERT_EQ(Begin(a, kWrite), 0u);
  ASSERT_EQ(ErrorOf([&] {
              for (auto [k, v] : std::vector<std::pair<const wchar_t*, int>>{{L"a", 2}, {L"z", 3}, {L"b", 4}})
                QEL_DB_KeyInsert(a, sa, k, v);
              QEL_DB_BtClose(a, sa);
            }),
            0u);
  ASSERT_EQ(End(a), 0u);
  ASSERT_EQ(Begin(b, kRead), 0u);
  EXPECT_TRUE(Succeeds([&] { QEL_DB_Updated(b); }));
  EXPECT_TRUE(Succeeds([&] { QEL_DB_BtUpdated(b, sb); }));
  // The cursor starts again and sees the new root.
  ASSERT_TRUE(Succeeds([&] { QEL_DB_KeyNext(b, sb, &r); }));
  EXPECT_EQ(r, 2);
  uint32_t st[6];
  QEL_DB_BtStatistics(b, sb, st, st + 1, st + 2, st + 3, st + 4, st + 5);
  EXPECT_EQ(st[0], 4u);
  EXPECT_EQ(st[2], 2u);
  ASSERT_EQ(End(b), 0u);
  ASSERT_EQ(Begin(b, kRead), 0u);
  EXPECT_FALSE(Succeeds([&] { QEL_DB_BtUpdated(b, sb); }));
  ASSERT_EQ(End(b), 0u);
  // A tree deleted by A leaves B's selector raising 1321.
  ASSERT_EQ(Begin(a, kWrite), 0u);
  ASSERT_EQ(ErrorOf([&] { QEL_DB_BtDelete(a, L"t"); }), 0u);
  ASSERT_EQ(End(a), 0u);
  ASSERT_EQ(Begin(b, kRead), 0u);
  EXPECT_EQ(ErrorOf([&] { QEL_DB_KeyFirst(b, sb, &r); }), 1321u);
  ASSERT_EQ(End(b), 0u);
  QEL_DB_Close(a);
  QEL_DB_Close(b);
  EXPECT_EQ(Verified(path_, false), "");
}

TEST_F(Shared, AWriteTransactionThatChangesNothingLeavesTheBytes) {
  FILEDESCR** a = Share();
  ASSERT_EQ(Begin(a, kRead), 0u);
  ASSERT_EQ(End(a), 0u);
  std::vector<uint8_t> before = ReadBytes(path_);
  ASSERT_EQ(Begin(a, kWrite), 0u);
  ASSERT_EQ(ErrorOf([&] { QEL_DB_ChainFirst(a, L"c"); }), 0u);
  ASSERT_EQ(End(a), 0u);
  EXPECT_EQ(ReadBytes(path_), before);
  QEL_DB_Close(a);
}

TEST_F(Shared, FailedBeginsAndEndsHoldNoLock) {
  FILEDESCR** a = Share();
  FILEDESCR** b = Share();
  FILEDESCR** c = Share(1, 1);
  // An injected flush failure at End: 1336, and every slot unlocked.
  ASSERT_EQ(Begin(a, kWrite), 0u);
  ASSERT_EQ(ErrorOf([&] { QEL_DB_ChainInsertz(Str(), a, L"c", reinterpret_cast<term>(L"y")); }), 0u);
  SetFaults(Fault::FailWrite, 1);  // the flush's first write
  EXPECT_EQ(End(a), 1336u);
  EXPECT_TRUE(Faults().fired);
  ClearFaults();
  // The file keeps its mark: a begin raises 1317, and holds nothing after.
  EXPECT_EQ(Begin(b, kRead), 1317u);
  EXPECT_EQ(Begin(c, kWrite), 1317u);
  EXPECT_EQ(Begin(b, kWrite), 1317u);
  // Handles whose first load found the mark close without writing: the
  // file stays marked.
  EXPECT_EQ(ErrorOf([&] { QEL_DB_Close(b); }), 0u);
  EXPECT_EQ(ErrorOf([&] { QEL_DB_Close(c); }), 0u);
  EXPECT_EQ(ReadBytes(path_)[64], 1);
  QEL_DB_Close(a);
  // A first load that finds no database empties the handle.
  std::vector<uint8_t> bytes = ReadBytes(path_);
  bytes[64] = 0;
  bytes[24] = 7;
  WriteBytes(path_, bytes);
  FILEDESCR** d = Share();
  EXPECT_EQ(Begin(d, kRead), 1326u);
  EXPECT_EQ(End(d), 1304u);
  EXPECT_EQ(Begin(d, kRead), 1304u);
}

}  // namespace
