// String tables, accelerators and version information, compared byte by
// byte with entries built from the format.
#include "res_test.h"

namespace restest {
namespace {

using namespace QelResource;

// A string table's 16 slots: counted strings, empty where no id falls.
Bytes Slots(const std::vector<std::pair<int, std::wstring>>& filled) {
  Bytes d;
  for (int slot = 0; slot < 16; ++slot) {
    std::wstring s;
    for (const auto& [k, v] : filled)
      if (k == slot) s = v;
    Put16(d, static_cast<uint32_t>(s.size()));
    for (wchar_t c : s) Put16(d, c);
  }
  return d;
}

TEST_F(ResWriter, StringsFillBlocksOfSixteenIds) {
  gen_strings(t.Strs({L"one", L"two", L"seventeen"}), t.Ints({1, 2, 17}));
  Bytes b1 = Entry({6, L""}, {1, L""}, 0x1030, Slots({{1, L"one"}, {2, L"two"}}));
  Bytes b2 = Entry({6, L""}, {2, L""}, 0x1030, Slots({{1, L"seventeen"}}));
  EXPECT_EQ(Read32(b1.data()), 2u * 16 + 6 + 6);  // 44: no padding
  EXPECT_EQ(Read32(b2.data()), 2u * 16 + 18);     // 50: 2 padding bytes, not counted
  EXPECT_EQ(b2.size(), 32u + 52);
  EXPECT_EQ(Finish(), Expected({b1, b2}));
}

TEST_F(ResWriter, StringsAreSortedByIdAndSpanTheWholeRange) {
  gen_strings(t.Strs({L"five", L"three", L"nine"}), t.Ints({5, 3, 9}));
  gen_strings(t.Strs({L"last", L"first"}), t.Ints({65535, 0}));
  EXPECT_EQ(Finish(), Expected({Entry({6, L""}, {1, L""}, 0x1030, Slots({{3, L"three"}, {5, L"five"}, {9, L"nine"}})),
                                Entry({6, L""}, {1, L""}, 0x1030, Slots({{0, L"first"}})),
                                Entry({6, L""}, {4096, L""}, 0x1030, Slots({{15, L"last"}}))}));
}

TEST_F(ResWriter, StringListsThatMakeNoTableWriteNothing) {
  std::wstring tooLong(65536, L'x');
  struct Case {
    const char* what;
    slist_struct* strings;
    ilist_struct* ids;
  } cases[] = {
      {"duplicate id", t.Strs({L"a", L"b", L"c"}), t.Ints({3, 7, 3})},
      {"fewer ids", t.Strs({L"a", L"b"}), t.Ints({1})},
      {"fewer strings", t.Strs({L"a"}), t.Ints({1, 2})},
      {"empty strings list", t.Strs({}), t.Ints({1})},
      {"empty lists", t.Strs({}), t.Ints({})},
      {"id above 16 bits", t.Strs({L"a", L"b"}), t.Ints({1, 65536})},
      {"negative id", t.Strs({L"a"}), t.Ints({-1})},
      {"string too long", t.Strs({L"a", tooLong}), t.Ints({1, 2})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    gen_strings(c.strings, c.ids);
  }
  EXPECT_EQ(Finish(), EmptyEntry());
}

TEST_F(ResWriter, StringOfTheLongestLengthIsWritten) {
  std::wstring longest(65535, L'y');
  gen_strings(t.Strs({longest}), t.Ints({16}));
  Bytes f = Finish();
  ASSERT_EQ(f.size(), 32u + 32 + 2 + 2 * 65535 + 30 + 2);
  EXPECT_EQ(Read16(f.data() + 64), 65535);
}

TEST_F(ResWriter, AcceleratorEntriesTranslateKeysAndMarkTheLast) {
  // modifier bits 1, 2, 4: shift, control, alt
  std::vector<intptr_t> keys = {127, 301, 302, 303, 304, 305, 306, 307, 308, 309, 310, 311,
                                312, 313, 314, 315, 316, 317, 65536 + 'A', 'B'};
  std::vector<intptr_t> mods(keys.size(), 0), commands;
  mods[0] = 1;
  mods[1] = 2;
  mods[2] = 4;
  mods[3] = 7;
  for (size_t i = 0; i < keys.size(); ++i) commands.push_back(static_cast<intptr_t>(0x10000 + 100 + i));
  gen_accel(0x10005, t.Ints(mods), t.Ints(keys), t.Ints(commands));
  const uint16_t written[] = {46, 38, 40, 39, 37, 33, 34, 36, 35, 36, 35, 311, 45, 37, 39, 8, 47, 12, 'A', 'B'};
  Bytes d;
  for (size_t i = 0; i < keys.size(); ++i) {
    uint16_t flags = 1;
    if (i == 0) flags |= 4;
    if (i == 1) flags |= 8;
    if (i == 2) flags |= 16;
    if (i == 3) flags |= 4 | 8 | 16;
    if (i + 1 == keys.size()) flags |= 0x80;
    Put16(d, flags);
    Put16(d, written[i]);
    Put16(d, static_cast<uint32_t>(100 + i));
    Put16(d, 0);
  }
  EXPECT_EQ(Finish(), Expected({Entry({9, L""}, {5, L""}, 0x30, d)}));
}

TEST_F(ResWriter, AcceleratorListsOfOtherLengthsWriteNothing) {
  gen_accel(1, t.Ints({}), t.Ints({}), t.Ints({}));
  gen_accel(1, t.Ints({0, 0}), t.Ints({65, 66}), t.Ints({1}));
  gen_accel(1, t.Ints({0}), t.Ints({65, 66}), t.Ints({1, 2}));
  gen_accel(1, t.Ints({0, 0}), t.Ints({65}), t.Ints({1, 2}));
  EXPECT_EQ(Finish(), EmptyEntry());
}

// A version block: head, fixed record and the given StringFileInfo and VarFileInfo bytes.
Bytes VersionHead(uint32_t total, const HEAD_VERSIONINFO& h) {
  Bytes d;
  Put16(d, total);
  Put16(d, 52);
  Put16(d, 0);
  PutStr(d, L"VS_VERSION_INFO");
  Pad4(d);
  for (uint32_t v : {0xFEEF04BDu, 0x10000u, h.fileVersionHigh, h.fileVersionLow, h.productVersionHigh,
                     h.productVersionLow, 0x3Fu, h.fileFlags, h.fileOS, h.fileType, h.fileSubtype, 0u, 0u})
    Put32(d, v);
  return d;
}
Bytes Block(uint32_t length, uint32_t valueLength, uint16_t type, const std::wstring& key) {
  Bytes d;
  Put16(d, length);
  Put16(d, valueLength);
  Put16(d, type);
  PutStr(d, key);
  Pad4(d);
  return d;
}
Bytes VarFileInfo(const std::vector<uint32_t>& translations) {
  uint32_t v = 64 + 4 * static_cast<uint32_t>(translations.size());
  Bytes d = Block(v, 0, 1, L"VarFileInfo");
  Append(d, Block(v - 32, v - 64, 0, L"Translation"));
  for (uint32_t lc : translations) {
    Put16(d, lc >> 16);
    Put16(d, lc & 0xFFFF);
  }
  return d;
}

const HEAD_VERSIONINFO kHead = {0x00010002, 0x00030004, 0x00050006, 0x00070008, 1, 0x40004, 1, 0};

TEST_F(ResWriter, VersionInfoWithOneEmptyBlock) {
  HEAD_VERSIONINFO head = kHead;
  gen_versioninfo(&head, t.Blocks({{0x040904B0, {}}}));
  Bytes d = VersionHead(220, kHead);
  Append(d, Block(60, 0, 1, L"StringFileInfo"));
  Append(d, Block(24, 0, 1, L"040904b0"));
  Append(d, VarFileInfo({0x040904B0}));
  ASSERT_EQ(d.size(), 220u);
  EXPECT_EQ(Finish(), Expected({Entry({16, L""}, {1, L""}, 0x30, d)}));
}

TEST_F(ResWriter, VersionInfoPairsArePaddedAndTheLastPaddingIsNotCounted) {
  HEAD_VERSIONINFO head = kHead;
  // Keys of odd and even length, values of odd and even length.
  gen_versioninfo(&head, t.Blocks({{0x04070000, {{L"Comments", L"abc"}, {L"FileVersion", L"1.2"}}},
                                   {0x0409FDE9, {{L"ProductName", L"Roster"}}}}));
  // "Comments"/"abc": 6 + 18 + 8 = 32.  "FileVersion"/"1.2": 6 + 24 (+2) + 8 = 40.
  // "ProductName"/"Roster": 6 + 24 (+2) + 14 = 46, padded to 48 but counted 46.
  auto pair = [](const std::wstring& k, const std::wstring& v) {
    Bytes p = Block(0, static_cast<uint32_t>(v.size() + 1), 1, k);
    PutStr(p, v);
    uint32_t length = static_cast<uint32_t>(p.size());
    p[0] = static_cast<uint8_t>(length);
    p[1] = static_cast<uint8_t>(length >> 8);
    Pad4(p);
    return p;
  };
  Bytes t1 = Block(24 + 32 + 40, 0, 1, L"04070000");
  Append(t1, pair(L"Comments", L"abc"));
  Append(t1, pair(L"FileVersion", L"1.2"));
  Bytes t2 = Block(24 + 46, 0, 1, L"0409fde9");
  Append(t2, pair(L"ProductName", L"Roster"));
  ASSERT_EQ(t1.size(), 96u);
  ASSERT_EQ(t2.size(), 72u);
  uint32_t s = 36 + 96 + 72, v = 72, total = 92 + s + v;
  Bytes d = VersionHead(total, kHead);
  Append(d, Block(s - 2, 0, 1, L"StringFileInfo"));
  Append(d, t1);
  Append(d, t2);
  Append(d, VarFileInfo({0x04070000, 0x0409FDE9}));
  ASSERT_EQ(d.size(), total);
  EXPECT_EQ(Finish(), Expected({Entry({16, L""}, {1, L""}, 0x30, d)}));
}

TEST_F(ResWriter, VersionInfoBeyondSixteenBitLengthsOrWithoutBlocksWritesNothing) {
  HEAD_VERSIONINFO head = kHead;
  std::wstring big(33000, L'v');
  gen_versioninfo(&head, t.Blocks({{0x04090000, {{L"Comments", big}}}}));
  gen_versioninfo(&head, t.Blocks({}));
  EXPECT_EQ(Finish(), EmptyEntry());
}

TEST_F(ResWriter, VersionInfoEndingInAnEmptyBlockCountsEarlierPadding) {
  HEAD_VERSIONINFO head = kHead;
  gen_versioninfo(&head, t.Blocks({{0x04090000, {{L"ProductName", L"Roster"}}}, {0x04070000, {}}}));
  Bytes f = Finish();
  // Version block after the 32-byte empty entry and the 32-byte header;
  // StringFileInfo at 92.  The first table's last pair is padded, but the
  // StringFileInfo ends with the second table's head, so nothing is left out.
  const uint8_t* vs = f.data() + 64;
  uint32_t s = 36 + (24 + 48) + 24;
  EXPECT_EQ(Read16(vs + 92), s);
  EXPECT_EQ(Read16(vs + 92 + 36), 24 + 46);
  EXPECT_EQ(Read16(vs), 92 + s + 72);
}

}  // namespace
}  // namespace restest
