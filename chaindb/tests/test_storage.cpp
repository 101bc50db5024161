// The space allocator, references and name trees, driven through the
// storage primitives of an open database.
#include "cdb_test.h"
#include "chains.h"
#include "db.h"

using namespace cdbtest;
using namespace chainDB;
using namespace chainDB::detail;

namespace {

class Storage : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(LinkUnit(), 0);
    dir_ = Scratch(L"storage");
  }
  FILEDESCR* Create(const std::wstring& name, uint8_t place = kFile) {
    FILEDESCR** h = nullptr;
    path_ = dir_ + name;
    EXPECT_EQ(ErrorOf([&] { QEL_DB_Create(&h, path_.c_str(), &place); }), 0u);
    handle_ = h;
    return *h;
  }
  void CloseAndVerify() {
    QEL_DB_Close(handle_);
    EXPECT_EQ(Verified(path_), "");
  }
  uint32_t Head(FILEDESCR* d, uint32_t c) { return Get32(d->freeSpace.table + 4 * c); }
  std::wstring dir_, path_;
  FILEDESCR** handle_ = nullptr;
};

TEST_F(Storage, AllocatorSizeClasses) {
  FILEDESCR* d = Create(L"alloc.km6");
  ASSERT_EQ(ErrorOf([&] {
              BeginChange(d);
              // Version 303 rounds requests above 1024 bytes to 256.
              uint32_t before = d->bytesInUse;
              Pos a = Allocate(d, 1025);
              EXPECT_EQ(d->bytesInUse - before, 1280u);
              Release(d, a, 1025);
              EXPECT_EQ(Head(d, 1029), V(a));
              EXPECT_EQ(d->topClass, 1029u);
              // 70000 bytes go to class 1279; 66000 bytes take the block and give back the rest.
              Pos big = Allocate(d, 70000);
              Release(d, big, 70000);
              EXPECT_EQ(Head(d, 1279), V(big));
              Pos taken = Allocate(d, 66000);
              EXPECT_EQ(V(taken), V(big));
              uint32_t rest = Rounded(d, 70000) - Rounded(d, 66000);
              EXPECT_EQ(Head(d, (rest >> 8) + 1024), V(big) + Rounded(d, 66000));
              // A remainder of 7 bytes stays with the block.
              Pos small = Allocate(d, 100);
              Release(d, small, 100);
              Pos again = Allocate(d, 93);
              EXPECT_EQ(V(again), V(small));
              EXPECT_EQ(Head(d, 7), 0u);
              // Exact classes are served without a walk; LIFO.
              Pos x = Allocate(d, 40), y = Allocate(d, 40);
              Release(d, x, 40);
              Release(d, y, 40);
              EXPECT_EQ(V(Allocate(d, 40)), V(y));
              EXPECT_EQ(V(Allocate(d, 40)), V(x));
              EXPECT_EQ(Head(d, 40), 0u);
              Release(d, x, 40);
              Release(d, y, 40);
              Release(d, again, 93);
              Release(d, taken, 66000);
              EndChange(d);
            }),
            0u);
  CloseAndVerify();
}

TEST_F(Storage, Version302NeverRoundsAndStartsOneClassHigher) {
  FILEDESCR* d = Create(L"v302.km6");
  d->version = 302;
  ASSERT_EQ(ErrorOf([&] {
              BeginChange(d);
              uint32_t before = d->bytesInUse;
              Pos a = Allocate(d, 1100);
              EXPECT_EQ(d->bytesInUse - before, 1100u);
              Release(d, a, 1100);
              EXPECT_EQ(Head(d, (1100 >> 8) + 1024), V(a));
              // 1030 bytes start at class 1029 and do not see the 1100-byte
              // block in class 1028: they go to the end.
              Pos b = Allocate(d, 1030);
              EXPECT_NE(V(b), V(a));
              Release(d, b, 1030);
              EndChange(d);
            }),
            0u);
  CloseAndVerify();
  std::vector<uint8_t> bytes = ReadBytes(path_);
  EXPECT_EQ(bytes[24] | bytes[25] << 8, 302);
}

TEST_F(Storage, GarbageCollectionMergesTouchingBlocksToTheirUnion) {
  FILEDESCR* d = Create(L"gc.km6");
  ASSERT_EQ(ErrorOf([&] {
              BeginChange(d);
              Pos a = Allocate(d, 64), b = Allocate(d, 64), c = Allocate(d, 64), keep = Allocate(d, 64);
              Pos e = Allocate(d, 64);
              Release(d, a, 64);
              Release(d, c, 64);
              Release(d, e, 64);
              // Nothing touches: the lists stay as they are.
              std::vector<uint8_t> before(d->freeSpace.table, d->freeSpace.table + kFreeTableBytes);
              CollectGarbage(d);
              EXPECT_TRUE(std::equal(before.begin(), before.end(), d->freeSpace.table));
              Release(d, b, 64);
              CollectGarbage(d);
              EXPECT_EQ(Head(d, 64), V(e));
              EXPECT_EQ(Head(d, 192), V(a));
              Release(d, keep, 64);
              EndChange(d);
            }),
            0u);
  CloseAndVerify();
}

TEST_F(Storage, OverlappingFreeBlocksMergeToTheUnionNotTheSum) {
  FILEDESCR* d = Create(L"overlap.km6");
  uint32_t livePos = 0;
  ASSERT_EQ(ErrorOf([&] {
              BeginChange(d);
              Pos a = Allocate(d, 64), live = Allocate(d, 64);
              livePos = V(live);
              // Two list entries that cover the same 64 bytes (a damaged file).
              Release(d, a, 64);
              uint8_t head[8];
              Put32(head, 32);
              Put32(head + 4, 0);
              WriteAt(d, a + 32, head, 8);
              Put32(d->freeSpace.table + 4 * 32, V(a) + 32);
              CollectGarbage(d);
              // Adding lengths would give 96 bytes and cover the live block.
              EXPECT_EQ(Head(d, 64), V(a));
              EXPECT_EQ(Head(d, 96), 0u);
              EXPECT_EQ(Head(d, 32), 0u);
              EndChange(d);
            }),
            0u);
  EXPECT_NE(livePos, 0u);
  QEL_DB_Close(handle_);
}

TEST_F(Storage, DamagedFreeListEndsWithoutCrashOrLoop) {
  FILEDESCR* d = Create(L"badfree.km6");
  ASSERT_EQ(ErrorOf([&] {
              BeginChange(d);
              Pos a = Allocate(d, 2000);
              Release(d, a, 2000);
              uint32_t c = (Rounded(d, 2000) >> 8) + 1024;
              uint8_t head[8];
              // Wrong length for its class: the list ends, the block leaks.
              Put32(head, 12345);
              Put32(head + 4, V(a));
              WriteAt(d, a, head, 8);
              Pos b = Allocate(d, 2000);
              EXPECT_NE(V(b), V(a));
              EXPECT_EQ(Head(d, c), 0u);
              // A self-link ends the list after the block.
              Release(d, b, 2000);
              Put32(head, Rounded(d, 2000));
              Put32(head + 4, V(b));
              WriteAt(d, b, head, 8);
              EXPECT_EQ(V(Allocate(d, 2000)), V(b));
              EXPECT_EQ(Head(d, c), 0u);
              EndChange(d);
            }),
            0u);
  QEL_DB_Close(handle_);
}

TEST_F(Storage, FileThatWouldPassFourGigabytesIsRefusedBeforeAnyChange) {
  FILEDESCR* d = Create(L"huge.km6");
  uint32_t eof = V(d->endOfFile), inUse = d->bytesInUse;
  d->endOfFile = Pos{0xFFFFF000u};
  uint32_t code = ErrorOf([&] { Allocate(d, 8192); });
  EXPECT_EQ(code, 1336u);
  EXPECT_NE(LastError().find(L"223"), std::wstring::npos);
  EXPECT_EQ(V(d->endOfFile), 0xFFFFF000u);
  EXPECT_EQ(d->bytesInUse, inUse);
  d->endOfFile = Pos{eof};
  QEL_DB_Close(handle_);
}

TEST_F(Storage, ReferenceNumbersPageAfter1023) {
  for (uint8_t place : {kFile, kMem}) {
    FILEDESCR* d = Create(place == kFile ? L"refs.km6" : L"refs", place);
    std::vector<TRef> refs;
    ASSERT_EQ(ErrorOf([&] {
                for (int i = 0; i < 1100; ++i)
                  refs.push_back(QEL_DB_ChainInsertz(ItemDomain(), handle_, L"c", MakeItem(i, L"t")));
              }),
              0u);
    EXPECT_EQ(refs[0], 0x10000);
    EXPECT_EQ(refs[1022], 0x3FF0000);
    EXPECT_EQ(refs[1023], 1);
    EXPECT_EQ(refs[1024], 0x10001);
    EXPECT_EQ(d->refPaged, 1);
    ASSERT_EQ(ErrorOf([&] {
                for (int i : {0, 500, 1022, 1023, 1099}) {
                  auto* it = reinterpret_cast<const Item*>(QEL_DB_RefTerm(ItemDomain(), handle_, refs[i]));
                  EXPECT_EQ(it->n, i);
                }
              }),
              0u);
    if (place == kFile) {
      CloseAndVerify();
      // Reopened, the block cache serves the look-ups.
      ASSERT_EQ(ErrorOf([&] { QEL_DB_Open(&handle_, path_.c_str(), &kFile); }), 0u);
      EXPECT_EQ((*handle_)->blockCacheOn, 1);
      ASSERT_EQ(ErrorOf([&] {
                  auto* it = reinterpret_cast<const Item*>(QEL_DB_RefTerm(ItemDomain(), handle_, refs[1050]));
                  EXPECT_EQ(it->n, 1050);
                  QEL_DB_ChainInsertz(ItemDomain(), handle_, L"c", MakeItem(7, L"u"));
                }),
                0u);
      CloseAndVerify();
    } else {
      QEL_DB_Close(handle_);
      QEL_DB_Delete(path_.c_str(), &kMem);
    }
  }
}

TEST_F(Storage, ReleasedReferencesAreReusedUnlessSwitchedOff) {
  Create(L"reuse.km6");
  TRef a = 0, b = 0, c = 0, e = 0;
  ASSERT_EQ(ErrorOf([&] {
              a = QEL_DB_ChainInsertz(Str(), handle_, L"c", reinterpret_cast<term>(L"a"));
              QEL_DB_ChainInsertz(Str(), handle_, L"c", reinterpret_cast<term>(L"keep"));
              QEL_DB_TermDelete(handle_, L"c", a);
              b = QEL_DB_ChainInsertz(Str(), handle_, L"c", reinterpret_cast<term>(L"b"));
              QEL_DB_ReUseRef(handle_, false);
              QEL_DB_TermDelete(handle_, L"c", b);
              c = QEL_DB_ChainInsertz(Str(), handle_, L"c", reinterpret_cast<term>(L"c"));
              e = QEL_DB_ChainInsertz(Str(), handle_, L"c", reinterpret_cast<term>(L"e"));
            }),
            0u);
  EXPECT_EQ(b, a);
  EXPECT_NE(c, b);
  EXPECT_NE(e, b);
  EXPECT_EQ(ErrorOf([&] { QEL_DB_RefTerm(Str(), handle_, b); }), 1319u);
  CloseAndVerify();
}

TEST_F(Storage, ReferenceText) {
  struct Case {
    const wchar_t* text;
    bool ok;
    TRef ref;
    uint32_t error;
  } cases[] = {
      {L"~1a0003", true, 0x1A0003, 0}, {L"~1A0003", true, 0x1A0003, 0}, {L"~", true, 0, 0},
      {L"1A0003", false, 0, 0},        {L"~1A0003x", false, 0, 0},     {L"~3FFFFFF", false, 0, 0},
      {L"~3FFFFFE", true, 0x3FFFFFE, 0}, {L"~FFFFFFFF", false, 0, 1319},
  };
  for (auto& c : cases) {
    TRef got = -1;
    bool ok = false;
    uint32_t error = ErrorOf([&] { ok = Succeeds([&] { got = ConvertStr2Ref(c.text); }); });
    EXPECT_EQ(error, c.error) << Narrow(c.text);
    if (!c.error) {
      EXPECT_EQ(ok, c.ok);
      if (c.ok) {
        EXPECT_EQ(got, c.ref);
      }
    }
  }
  EXPECT_EQ(std::wstring(ConvertRef2Str(0x1A0003)), L"~1A0003");
  EXPECT_EQ(std::wstring(ConvertRef2Str(0)), L"~0");
  EXPECT_EQ(std::wstring(ConvertRef2Str(-1)), L"~FFFFFFFF");
}

std::vector<std::wstring> Listing(FILEDESCR** h) {
  static std::vector<std::wstring> got;
  got.clear();
  Succeeds([&] {
    QEL_DB_Chains(h, [](void*, const wchar_t* name) {
      got.push_back(name);
      Qel::RunTime::Kernel::Fail();
    }, nullptr);
  });
  return got;
}

TEST_F(Storage, ChainNamesAreOrderedByTheSystemComparison) {
  Create(L"names.km6");
  // Soft hyphen, accents, case: the order of lstrcmpW, not of code units.
  std::vector<std::wstring> names = {L"b", L"a", L"\u00e9cole", L"ecole", L"Ecole", L"co\u00adop", L"coop",
                                     L"zeta", L"\u00c5ngstr\u00f6m", L"Z"};
  ASSERT_EQ(ErrorOf([&] {
              for (auto& n : names) QEL_DB_ChainInsertz(Str(), handle_, n.c_str(), reinterpret_cast<term>(L"x"));
            }),
            0u);
  // Names equal under lstrcmpW (the soft hyphen has no weight) name one
  // chain, listed under its first spelling.
  std::vector<std::wstring> sorted = names;
  std::erase(sorted, L"coop");
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const std::wstring& x, const std::wstring& y) { return lstrcmpW(x.c_str(), y.c_str()) < 0; });
  EXPECT_EQ(Listing(handle_), sorted);
  // Deleting names rebuilds the tree; the rest stays listed in order.
  ASSERT_EQ(ErrorOf([&] {
              QEL_DB_ChainDelete(handle_, L"b");
              QEL_DB_ChainDelete(handle_, L"coop");
            }),
            0u);
  std::erase(sorted, L"b");
  std::erase(sorted, L"co\u00adop");
  EXPECT_EQ(Listing(handle_), sorted);
  CloseAndVerify();
  ASSERT_EQ(ErrorOf([&] { QEL_DB_Open(&handle_, path_.c_str(), &kFile); }), 0u);
  EXPECT_EQ(Listing(handle_), sorted);
  QEL_DB_Close(handle_);
}

}  // namespace
