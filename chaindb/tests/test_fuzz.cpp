// Damaged files: mutants of a corpus of real databases (bit flips, boundary
// words, truncation, extension, swapped blocks).  Every mutant is opened,
// read whole, changed, collected, flushed, copied and reopened; each step
// ends in success, a fail or one of the storage error codes, never in a
// crash.  CDB_FUZZ_COUNT sets the number of mutants, CDB_FUZZ_SEED the seed;
// failing mutants are kept in the scratch folder.
#include <random>

#include "cdb_test.h"
#include "workload.h"

using namespace cdbtest;
using namespace chainDB;

namespace {

bool Allowed(uint32_t code) {
  switch (code) {
    case 0: case 304: case 1111: case 1112: case 1317: case 1319: case 1320: case 1321: case 1322:
    case 1324: case 1326: case 1333: case 1334: case 1336:
      return true;
    default:
      return false;
  }
}

// The corpus: an empty file, the workload's file, paged references, trees of
// several orders, an 8-bit file.
std::vector<std::vector<uint8_t>> Corpus(const std::wstring& dir) {
  std::vector<std::vector<uint8_t>> files;
  FILEDESCR** h = nullptr;
  std::wstring p = dir + L"corpus.km6";
  auto keep = [&] { files.push_back(ReadBytes(p)); };
  EXPECT_EQ(ErrorOf([&] { QEL_DB_Create(&h, p.c_str(), &kFile); QEL_DB_Close(h); }), 0u);
  keep();
  EXPECT_EQ(ErrorOf([&] { RunWorkload(p, kFile, [](int, const Model&) {}); }), 0u);
  keep();
  EXPECT_EQ(ErrorOf([&] {
              QEL_DB_Create(&h, p.c_str(), &kFile);
              for (int i = 0; i < 1100; ++i) QEL_DB_ChainInsertz(ItemDomain(), h, i % 3 ? L"a" : L"b", MakeItem(i, L"x"));
              QEL_DB_Close(h);
            }),
            0u);
  keep();
  EXPECT_EQ(ErrorOf([&] {
              QEL_DB_Create(&h, p.c_str(), &kFile);
              for (int order : {1, 3, 16}) {
                int32_t s;
                std::wstring name = L"t" + std::to_wstring(order);
                QEL_DB_BtCreate6(h, name.c_str(), &s, 12, order, order != 3);
                for (int i = 0; i < 60; ++i) {
                  TRef r = QEL_DB_ChainInsertz(Str(), h, name.c_str(), reinterpret_cast<term>(L"v"));
                  std::wstring k = L"k" + std::to_wstring(i * 37 % 100);
                  QEL_DB_KeyInsert(h, s, k.c_str(), r);
                }
              }
              QEL_DB_Close(h);
            }),
            0u);
  keep();
  uint8_t sel = 9;
  EXPECT_EQ(ErrorOf([&] {
              chainDB8::QEL_DB8_SetCodePage(1252);
              chainDB8::QEL_DB8_Create(&sel, p.c_str(), &kFile);
              for (int i = 0; i < 20; ++i)
                chainDB8::QEL_DB8_ChainInsertz(Str(), &sel, L"\u00e9", reinterpret_cast<term>(L"caf\u00e9"));
              int32_t s;
              chainDB8::QEL_DB8_BtCreate6(&sel, L"k", &s, 8, 2, true);
              chainDB8::QEL_DB8_KeyInsert(&sel, s, L"x", 0x10000);
              chainDB8::QEL_DB8_Close(&sel);
            }),
            0u);
  keep();
  return files;
}

void Put(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4 && at + i < b.size(); ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

std::vector<uint8_t> Mutate(std::vector<uint8_t> b, std::mt19937& rng) {
  if (b.empty()) return b;
  uint32_t eof = b.size() > 312 ? b[308] | b[309] << 8 | b[310] << 16 | uint32_t{b[311]} << 24 : 0;
  int changes = 1 + rng() % 3;
  for (int c = 0; c < changes; ++c) {
    size_t at = rng() % b.size();
    // Damage the header and the tables more often than term bytes.
    if (rng() % 2) at = rng() % std::min<size_t>(b.size(), 1200);
    switch (rng() % 6) {
      case 0: b[at] ^= static_cast<uint8_t>(1u << (rng() % 8)); break;
      case 1: {
        const uint32_t words[] = {0, 1, 0x7FFFFFFF, 0xFFFFFFFF, eof, eof + 4, eof - 4, eof + 4096, 12, 576};
        Put(b, at & ~size_t{3}, words[rng() % 10]);
        break;
      }
      case 2: b.resize(rng() % b.size()); break;
      case 3: b.resize(b.size() + rng() % 5000, static_cast<uint8_t>(rng())); break;
      case 4: {
        size_t a = rng() % b.size(), z = rng() % b.size(), n = std::min<size_t>({16, b.size() - a, b.size() - z});
        for (size_t i = 0; i < n; ++i) std::swap(b[a + i], b[z + i]);
        break;
      }
      default: b[at] = static_cast<uint8_t>(rng()); break;
    }
    if (b.empty()) break;
  }
  return b;
}

struct Names {
  std::vector<std::wstring> list;
};

std::vector<std::wstring> List(FILEDESCR** h, bool chains) {
  Names n;
  auto add = [](void* c, const wchar_t* name) {
    auto* names = static_cast<Names*>(c);
    if (names->list.size() < 1000) names->list.push_back(name);
    Qel::RunTime::Kernel::Fail();
  };
  Succeeds([&] {
    if (chains) QEL_DB_Chains(h, add, &n);
    else QEL_DB_BTrees(h, add, &n);
  });
  return n.list;
}

// Reads everything the database holds, both ways, through every interface.
void ReadWhole(FILEDESCR** h, std::vector<uint32_t>& codes) {
  for (auto& c : List(h, true)) {
    codes.push_back(ErrorOf([&] {
      TRef r = 0;
      int steps = 0;
      if (Succeeds([&] { r = QEL_DB_ChainFirst(h, c.c_str()); }))
        do QEL_DB_RefTerm(ItemDomain(), h, r);
        while (++steps < 5000 && Succeeds([&] { r = QEL_DB_ChainNext(h, r); }));
      steps = 0;
      if (Succeeds([&] { r = QEL_DB_ChainLast(h, c.c_str()); }))
        while (++steps < 5000 && Succeeds([&] { r = QEL_DB_ChainPrev(h, r); })) {
        }
      Succeeds([&] { QEL_DB_ChainTerms(Str(), h, c.c_str(), [](void*, term, TRef) { Qel::RunTime::Kernel::Fail(); }, nullptr); });
    }));
  }
  for (auto& t : List(h, false)) {
    codes.push_back(ErrorOf([&] {
      int32_t s;
      QEL_DB_BtOpen(h, t.c_str(), &s);
      TRef r;
      int steps = 0;
      if (Succeeds([&] { QEL_DB_KeyFirst(h, s, &r); }))
        while (++steps < 5000 && Succeeds([&] { QEL_DB_KeyNext(h, s, &r); })) {
        }
      steps = 0;
      if (Succeeds([&] { QEL_DB_KeyLast(h, s, &r); }))
        while (++steps < 5000 && Succeeds([&] { QEL_DB_KeyPrev(h, s, &r); })) {
        }
      Succeeds([&] { QEL_DB_KeySearch_o(h, s, L"k5", &r); });
      const wchar_t* k;
      Succeeds([&] { QEL_DB_KeyCurrent(h, s, &k, &r); });
      QEL_DB_KeyInsert(h, s, L"fuzz", 0x10000);
      QEL_DB_KeyDelete(h, s, L"fuzz", 0x10000);
      uint32_t st[6];
      QEL_DB_BtStatistics(h, s, st, st + 1, st + 2, st + 3, st + 4, st + 5);
      QEL_DB_BtClose(h, s);
    }));
  }
}

TEST(Fuzz, DamagedFilesNeverCrash) {
  ASSERT_EQ(LinkUnit(), 0);
  std::wstring dir = Scratch(L"fuzz");
  auto corpus = Corpus(dir);
  ASSERT_EQ(corpus.size(), 5u);
  char env[32];
  uint32_t count = GetEnvironmentVariableA("CDB_FUZZ_COUNT", env, sizeof env) ? atoi(env) : 20000;
  uint32_t seed = GetEnvironmentVariableA("CDB_FUZZ_SEED", env, sizeof env) ? atoi(env) : GetTickCount();
  printf("fuzz seed %u, %u mutants\n", seed, count);
  std::mt19937 rng(seed);
  std::wstring path = dir + L"mutant.km6";
  int opened = 0, kept = 0;
  for (uint32_t m = 0; m < count; ++m) {
    size_t which = rng() % corpus.size();
    std::vector<uint8_t> bytes = Mutate(corpus[which], rng);
    WriteBytes(path, bytes);
    uint8_t* mark = Qel::RunTime::Kernel::Memory::MarkGStack();
    std::vector<uint32_t> codes;
    FILEDESCR** h = nullptr;
    codes.push_back(ErrorOf([&] { QEL_DB_Open(&h, path.c_str(), &kFile); QEL_DB_Close(h); }));
    uint32_t invalid = ErrorOf([&] { QEL_DB_OpenInvalid(&h, path.c_str(), &kFile); });
    codes.push_back(invalid);
    if (invalid == 0) {
      ++opened;
      ReadWhole(h, codes);
      codes.push_back(ErrorOf([&] {
        QEL_DB_ChainInsertz(Str(), h, L"fuzz", reinterpret_cast<term>(L"new"));
        QEL_DB_GarbageCollect(h);
        QEL_DB_Flush(h);
      }));
      codes.push_back(ErrorOf([&] { QEL_DB_Copy(h, (dir + L"copy").c_str(), &kMem); }));
      ErrorOf([&] { QEL_DB_Delete((dir + L"copy").c_str(), &kMem); });
      codes.push_back(ErrorOf([&] { QEL_DB_Close(h); }));
      if (*h) Abandon(h);
      codes.push_back(ErrorOf([&] { QEL_DB_OpenRead(&h, path.c_str(), &kFile); QEL_DB_Close(h); }));
    }
    Qel::RunTime::Kernel::Memory::ReleaseGStack(mark);
    for (uint32_t c : codes) {
      if (Allowed(c)) continue;
      ADD_FAILURE() << "mutant " << m << " of file " << which << ": code " << c << " (seed " << seed << ")";
      if (kept++ < 20) WriteBytes(dir + L"failed-" + std::to_wstring(m) + L".km6", bytes);
      break;
    }
  }
  printf("fuzz: %d of %u mutants opened\n", opened, count);
}

}  // namespace
