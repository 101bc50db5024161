// The file layout: the empty files built byte by byte from the documented
// table, header checks at open, and damaged tables refused with 1326/1111.
#include "cdb_test.h"
#include "workload.h"

using namespace cdbtest;
using namespace chainDB;

namespace {

struct Expected {
  std::vector<uint8_t> b;
  bool wide;
  void u8(uint32_t wideOffset, uint8_t v) { b[Off(wideOffset)] = v; }
  void u32(uint32_t wideOffset, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[Off(wideOffset) + i] = static_cast<uint8_t>(v >> (8 * i));
  }
  void at32(uint32_t p, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[p + i] = static_cast<uint8_t>(v >> (8 * i));
  }
  uint32_t Off(uint32_t o) const { return wide || o < 24 ? o : o - 8; }
};

// The empty database as the layout table describes it.
std::vector<uint8_t> EmptyFile(bool wide, uint32_t drive) {
  uint32_t shift = wide ? 0 : 8, size = 6044 - shift;
  Expected e{std::vector<uint8_t>(size, 0), wide};
  e.u8(0, 3);
  const char* sig = "prolog";
  for (int i = 0; i < 6; ++i) e.b[8 + (wide ? 2 * i : i)] = static_cast<uint8_t>(sig[i]);
  e.u32(24, 303);
  e.u32(28, 18);
  e.u8(33, 3);
  e.u8(53, 1);
  e.u8(54, 1);
  e.u32(60, drive);
  e.u32(68, 2);                       // headerStamp
  e.u32(88, 2);  e.u32(100, 576 - shift);   // chain-name tree
  e.u32(112, 2); e.u32(124, 592 - shift);   // chain table
  e.u32(132, 908 - shift); e.u32(140, 2);   // B+tree-name tree
  e.u32(156, 888 - shift); e.u32(164, 2);   // B+tree table
  e.u32(192, 0xFFFFFFFFu);
  e.u32(200, 612 - shift); e.u32(208, 2);   // reference table
  e.u32(260, 924 - shift); e.u32(268, 2);   // free-space table
  e.u32(284, size);                   // bytes in use: every block
  e.u32(308, size);                   // endOfFile
  uint32_t t = 576 - shift;
  for (uint32_t v : {16u, 16u, 64u, 0u}) e.at32(t, v), t += 4;
  for (uint32_t v : {20u, 0u, 0u, 2u, 8u}) e.at32(t, v), t += 4;
  for (uint32_t v : {276u, 64u, 1u, 64u, 4u}) e.at32(t, v), t += 4;
  t += 256;
  for (uint32_t v : {20u, 0u, 0u, 2u, 16u}) e.at32(t, v), t += 4;
  for (uint32_t v : {16u, 16u, 64u, 0u}) e.at32(t, v), t += 4;
  EXPECT_EQ(t, 924 - shift);
  return e.b;
}

class Layout : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(LinkUnit(), 0); }
};

TEST_F(Layout, EmptyFilesAreExactlyTheDocumentedBytes) {
  std::wstring dir = Scratch(L"layout");
  uint32_t drive = static_cast<uint32_t>(towupper(dir[0]) - L'A' + 1);
  std::wstring wide = dir + L"empty.km6", narrow = dir + L"empty.km5";
  FILEDESCR** h = nullptr;
  ASSERT_EQ(ErrorOf([&] { QEL_DB_Create(&h, wide.c_str(), &kFile); }), 0u);
  QEL_DB_Close(h);
  EXPECT_EQ(ReadBytes(wide), EmptyFile(true, drive));
  uint8_t sel = 3;
  ASSERT_EQ(ErrorOf([&] { chainDB8::QEL_DB8_Create(&sel, narrow.c_str(), &kFile); }), 0u);
  chainDB8::QEL_DB8_Close(&sel);
  EXPECT_EQ(ReadBytes(narrow), EmptyFile(false, drive));
  EXPECT_EQ(Verified(wide), "");
  EXPECT_EQ(Verified(narrow), "");
}

TEST_F(Layout, EightBitFileKeepsCodePageImagesAndNames) {
  std::wstring path = Scratch(L"cp") + L"old.km5";
  uint8_t sel = 7;
  chainDB8::QEL_DB8_SetCodePage(1252);
  ASSERT_EQ(ErrorOf([&] {
              chainDB8::QEL_DB8_Create(&sel, path.c_str(), &kFile);
              chainDB8::QEL_DB8_ChainInsertz(Str(), &sel, L"\u00e9t\u00e9", reinterpret_cast<term>(L"caf\u00e9"));
              chainDB8::QEL_DB8_Close(&sel);
            }),
            0u);
  std::vector<uint8_t> bytes = ReadBytes(path);
  // The image and the chain name are 8-bit text in code page 1252.
  const std::string image = "caf\xe9", name = "\xe9t\xe9";
  std::string s(bytes.begin(), bytes.end());
  EXPECT_NE(s.find(image + '\0'), std::string::npos);
  EXPECT_NE(s.find(name + '\0'), std::string::npos);
  EXPECT_EQ(Verified(path), "");
  std::wstring back;
  ASSERT_EQ(ErrorOf([&] {
              chainDB8::QEL_DB8_OpenRead(&sel, path.c_str(), &kFile);
              TRef r = chainDB8::QEL_DB8_ChainFirst(&sel, L"\u00e9t\u00e9");
              back = TextOf(chainDB8::QEL_DB8_RefTerm(Str(), &sel, r));
              chainDB8::QEL_DB8_Close(&sel);
            }),
            0u);
  EXPECT_EQ(back, L"caf\u00e9");
}

// A damaged header or table is refused, the file closed (it can be deleted).
TEST_F(Layout, DamagedHeadersAndTablesAreRefused) {
  std::wstring dir = Scratch(L"damaged");
  std::wstring good = dir + L"good.km6";
  FILEDESCR** h = nullptr;
  ASSERT_EQ(ErrorOf([&] {
              QEL_DB_Create(&h, good.c_str(), &kFile);
              QEL_DB_ChainInsertz(Str(), h, L"a", reinterpret_cast<term>(L"x"));
              QEL_DB_Close(h);
            }),
            0u);
  std::vector<uint8_t> base = ReadBytes(good);
  auto put = [](std::vector<uint8_t>& b, uint32_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  uint32_t chainTable = base[124] | base[125] << 8;
  struct Case {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> damage;
    uint32_t code;
  } cases[] = {
      {"short header", [](auto& b) { b.resize(100); }, 1111},
      {"signature", [](auto& b) { b[8] = 'q'; }, 1317},  // the version word still reads 303
      {"signature and version", [&](auto& b) { b[8] = 'q'; put(b, 24, 7); }, 1326},
      {"version", [&](auto& b) { put(b, 24, 304); }, 1326},
      {"update mark", [](auto& b) { b[64] = 1; }, 1317},
      {"table size word past the end", [&](auto& b) { put(b, chainTable, 0x7FFFFFF0); }, 1111},
      {"table head disagrees", [&](auto& b) { put(b, chainTable + 4, 1000); }, 1326},
      {"table position in the header", [&](auto& b) { put(b, 124, 8); }, 1326},
      {"tree root outside", [&](auto& b) { put(b, (b[100] | b[101] << 8) + 12, 9999); }, 1326},
      {"refBlock beyond the table", [&](auto& b) { put(b, 224, 5); }, 1326},
      {"free-space table outside", [&](auto& b) { put(b, 260, 0x10000000); }, 1111},
      {"topClass", [&](auto& b) { put(b, 292, 5000); }, 1326},
  };
  for (auto& c : cases) {
    std::vector<uint8_t> bytes = base;
    c.damage(bytes);
    std::wstring path = dir + L"bad.km6";
    WriteBytes(path, bytes);
    EXPECT_EQ(ErrorOf([&] { QEL_DB_Open(&h, path.c_str(), &kFile); }), c.code) << c.what;
    EXPECT_TRUE(DeleteFileW(path.c_str())) << c.what << ": file left open";
  }
}

TEST_F(Layout, MarkedFileIsRefusedByOpenAndOpenReadAndTakenByOpenInvalid) {
  std::wstring path = Scratch(L"marked") + L"m.km6";
  FILEDESCR** h = nullptr;
  ASSERT_EQ(ErrorOf([&] { QEL_DB_Create(&h, path.c_str(), &kFile); }), 0u);
  // A change marks the file on disk at once; the process "dies" here.
  ASSERT_EQ(ErrorOf([&] { QEL_DB_ChainInsertz(Str(), h, L"a", reinterpret_cast<term>(L"x")); }), 0u);
  Abandon(h);
  std::vector<uint8_t> marked = ReadBytes(path);
  ASSERT_EQ(marked.size(), 6044u + 16);
  EXPECT_EQ(marked[64], 1);
  std::wstring copy = path + L".copy";
  WriteBytes(copy, marked);
  EXPECT_EQ(ErrorOf([&] { QEL_DB_Open(&h, copy.c_str(), &kFile); }), 1317u);
  EXPECT_EQ(ErrorOf([&] { QEL_DB_OpenRead(&h, copy.c_str(), &kFile); }), 1317u);
  ASSERT_EQ(ErrorOf([&] { QEL_DB_OpenInvalid(&h, copy.c_str(), &kFile); }), 0u);
  // Neither Flush nor Close takes the mark away, also after a change made
  // through the invalid open; a Copy is the way to a clean file.
  std::wstring repaired = path + L".repaired";
  std::map<std::wstring, std::vector<std::wstring>> read, got;
  ASSERT_EQ(ErrorOf([&] {
              QEL_DB_Flush(h);
              QEL_DB_ChainInsertz(Str(), h, L"a", reinterpret_cast<term>(L"y"));
              QEL_DB_Flush(h);
              read = ReadAll(h);
              QEL_DB_Copy(h, repaired.c_str(), &kFile);
              QEL_DB_Close(h);
            }),
            0u);
  EXPECT_EQ(ReadBytes(copy)[64], 1);
  EXPECT_EQ(ErrorOf([&] { QEL_DB_Open(&h, copy.c_str(), &kFile); }), 1317u);
  EXPECT_EQ(Verified(repaired), "");
  EXPECT_EQ(ErrorOf([&] {
              QEL_DB_Open(&h, repaired.c_str(), &kFile);
              got = ReadAll(h);
              QEL_DB_Close(h);
            }),
            0u);
  EXPECT_EQ(got, read);
  EXPECT_EQ(got[L"a"].back(), L"y");
  // A clean file opened invalid and left unchanged stays clean.
  ASSERT_EQ(ErrorOf([&] {
              QEL_DB_OpenInvalid(&h, repaired.c_str(), &kFile);
              QEL_DB_Close(h);
              QEL_DB_Open(&h, repaired.c_str(), &kFile);
              QEL_DB_Close(h);
            }),
            0u);
}

TEST_F(Layout, ZeroEndOfFileIsTakenFromTheFileSize) {
  std::wstring path = Scratch(L"eof") + L"z.km6";
  FILEDESCR** h = nullptr;
  ASSERT_EQ(ErrorOf([&] { QEL_DB_Create(&h, path.c_str(), &kFile); QEL_DB_Close(h); }), 0u);
  std::vector<uint8_t> b = ReadBytes(path);
  for (int i = 0; i < 4; ++i) b[308 + i] = 0;
  WriteBytes(path, b);
  TRef r = 0;
  ASSERT_EQ(ErrorOf([&] {
              QEL_DB_Open(&h, path.c_str(), &kFile);
              r = QEL_DB_ChainInsertz(Str(), h, L"a", reinterpret_cast<term>(L"x"));
              QEL_DB_Close(h);
            }),
            0u);
  EXPECT_EQ(r, 0x10000);
  EXPECT_EQ(Verified(path), "");
}

TEST_F(Layout, ReadOnlyFileRaisesOsErrorAtTheUpdateMark) {
  std::wstring path = Scratch(L"ro") + L"r.km6";
  FILEDESCR** h = nullptr;
  ASSERT_EQ(ErrorOf([&] { QEL_DB_Create(&h, path.c_str(), &kFile); QEL_DB_Close(h); }), 0u);
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
  ASSERT_EQ(ErrorOf([&] { QEL_DB_Open(&h, path.c_str(), &kFile); }), 0u);
  EXPECT_EQ(ErrorOf([&] { QEL_DB_ChainInsertz(Str(), h, L"a", reinterpret_cast<term>(L"x")); }), 1336u);
  QEL_DB_Close(h);
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(Verified(path), "");
}

}  // namespace
