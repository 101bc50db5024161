// The file frame and the resources copied from files, compared byte by byte
// with files built from the format.
#include "res_test.h"
#include "writer.h"

namespace restest {
namespace {

using namespace QelResource;

TEST_F(ResWriter, NewFileHoldsTheEmptyEntryOnly) {
  Bytes f = Finish();
  EXPECT_EQ(f.size(), 32u);
  EXPECT_EQ(f, EmptyEntry());
}

TEST_F(ResWriter, NameStringsGrowTheHeaderWithPadding) {
  Bytes bmp = Pattern(20, 1);
  std::wstring file = Source(L"a.bmp", bmp);
  gen_bitmap(file.c_str(), 7, L"ABC");
  gen_bitmap(file.c_str(), 7, L"ABCD");
  gen_bitmap(file.c_str(), 7, L"");
  Bytes data(bmp.begin() + 14, bmp.end());
  Bytes a = Entry({2, L""}, {0, L"ABC"}, 0x30, data, 8), b = Entry({2, L""}, {0, L"ABCD"}, 0x30, data, 8);
  EXPECT_EQ(Read32(a.data() + 4), 36u);
  EXPECT_EQ(Read32(b.data() + 4), 40u);
  EXPECT_EQ(Finish(), Expected({a, b, Entry({2, L""}, {7, L""}, 0x30, data, 8)}));
}

TEST_F(ResWriter, LongNameKeepsTheHeaderWhole) {
  std::wstring name(5000, L'N');
  std::wstring file = Source(L"b.bmp", Pattern(18, 3));
  gen_bitmap(file.c_str(), 1, name.c_str());
  Bytes f = Finish();
  ASSERT_EQ(f.size(), 32u + 28 + 10002 + 2 + 4);
  EXPECT_EQ(Read32(f.data() + 32 + 4), 28u + 10002 + 2);
}

TEST_F(ResWriter, TypeLibraryIsPaddedAndCounted) {
  Bytes lib = Pattern(10, 9);
  std::wstring file = Source(L"x.tlb", lib);
  gen_typelibinfo(file.c_str());
  gen_typelibinfo((dir + L"\\missing.tlb").c_str());
  Bytes e = Entry({0, L"TYPELIB"}, {1, L""}, 0x30, lib, 12);
  EXPECT_EQ(Read32(e.data() + 4), 44u);
  EXPECT_EQ(Finish(), Expected({e, Header(0, {0, L"TYPELIB"}, {1, L""}, 0x30)}));
}

TEST_F(ResWriter, BitmapLeavesOutTheFileHeader) {
  Bytes even = Pattern(1002, 5), odd = Pattern(1001, 6);
  gen_bitmap(Source(L"even.bmp", even).c_str(), 4, L"");
  gen_bitmap(Source(L"odd.bmp", odd).c_str(), 5, L"");
  Bytes f = Finish();
  Bytes expectOdd(odd.begin() + 14, odd.end());
  expectOdd.push_back(0);
  EXPECT_EQ(f, Expected({Entry({2, L""}, {4, L""}, 0x30, Bytes(even.begin() + 14, even.end()), 988),
                         Entry({2, L""}, {5, L""}, 0x30, expectOdd, 988)}));
}

TEST_F(ResWriter, UnreadableSourcesWriteNothing) {
  std::wstring missing = dir + L"\\none";
  gen_bitmap(missing.c_str(), 1, L"");
  gen_icon(missing.c_str(), 1, L"");
  gen_cursor(missing.c_str(), 1, L"");
  gen_bitmap(Source(L"short.bmp", Pattern(13, 0)).c_str(), 1, L"");
  Bytes cursor = CursorFile(1, 2);
  cursor.pop_back();
  gen_cursor(Source(L"short.cur", cursor).c_str(), 1, L"");
  gen_icon(Source(L"empty.ico", Bytes{0, 0, 1, 0, 0, 0}).c_str(), 1, L"");
  gen_icon(Source(L"tiny.ico", Bytes{0, 0, 1}).c_str(), 1, L"");
  // The directory claims more bytes, or a later offset, than the file holds.
  gen_icon(Source(L"size.ico", IconFile({{16, 16, 16, 4, Pattern(40, 1)}}, 0, 1)).c_str(), 1, L"");
  gen_icon(Source(L"offset.ico", IconFile({{16, 16, 16, 4, Pattern(40, 1)}}, 0x70000000u)).c_str(), 1, L"");
  gen_icon(Source(L"huge.ico", IconFile({{16, 16, 16, 4, Pattern(40, 1)}}, 0, 0xF0000000u)).c_str(), 1, L"");
  // Offset 0xFFFFFFF0 and size 0x20: their 32-bit sum wraps to 0x10.
  gen_icon(Source(L"wrap.ico", IconFile({{16, 16, 16, 4, Pattern(40, 1)}}, 0xFFFFFFDAu, 0xFFFFFFF8u)).c_str(), 1, L"");
  Bytes dirOnly = IconFile({{16, 16, 16, 4, Pattern(40, 1)}, {16, 16, 16, 4, Pattern(40, 2)}});
  dirOnly.resize(6 + 16);  // two entries announced, one present
  gen_icon(Source(L"dir.ico", dirOnly).c_str(), 1, L"");
  EXPECT_EQ(Finish(), EmptyEntry());
}

// The group directory of an icon file as the group entry holds it.
Bytes GroupData(const std::vector<IconImageSpec>& images, const std::vector<uint16_t>& bits, uint16_t first) {
  Bytes g;
  Put16(g, 0);
  Put16(g, 1);
  Put16(g, static_cast<uint32_t>(images.size()));
  for (size_t i = 0; i < images.size(); ++i) {
    g.push_back(images[i].width);
    g.push_back(images[i].height);
    g.push_back(images[i].colours);
    g.push_back(0);
    Put16(g, 1);
    Put16(g, bits[i]);
    Put32(g, static_cast<uint32_t>(images[i].data.size()));
    Put16(g, static_cast<uint16_t>(first + i));
  }
  return g;
}

TEST_F(ResWriter, IconImagesAreNumberedAcrossFilesAndGroupsComeLast) {
  std::vector<IconImageSpec> two = {{16, 16, 16, 4, Pattern(40, 1)}, {32, 32, 2, 1, Pattern(44, 2)}};
  std::vector<IconImageSpec> three = {
      {16, 16, 8, 3, Pattern(48, 3)}, {48, 48, 0, 32, Pattern(52, 4)}, {64, 64, 0, 0, Pattern(56, 5)}};
  gen_icon(Source(L"two.ico", IconFile(two)).c_str(), 10, L"");
  Bytes between = Pattern(18, 1);
  gen_bitmap(Source(L"between.bmp", between).c_str(), 3, L"");
  gen_icon(Source(L"three.ico", IconFile(three)).c_str(), 0, L"APP");
  Bytes g1 = Entry({14, L""}, {10, L""}, 0x1030, GroupData(two, {4, 1}, 1));
  EXPECT_EQ(Read32(g1.data()), 34u);
  EXPECT_EQ(g1.size(), 32u + 36);
  // Colour count 0 keeps the directory's bit count (32), or 8 when it names none.
  Bytes g2 = Entry({14, L""}, {0, L"APP"}, 0x1030, GroupData(three, {4, 32, 8}, 3));
  EXPECT_EQ(Finish(), Expected({Entry({3, L""}, {1, L""}, 0x1030, two[0].data),
                                Entry({3, L""}, {2, L""}, 0x1030, two[1].data),
                                Entry({2, L""}, {3, L""}, 0x30, Bytes(between.begin() + 14, between.end())),
                                Entry({3, L""}, {3, L""}, 0x1030, three[0].data),
                                Entry({3, L""}, {4, L""}, 0x1030, three[1].data),
                                Entry({3, L""}, {5, L""}, 0x1030, three[2].data), g1, g2}));
}

TEST_F(ResWriter, IconImageOfOddSizeIsPaddedUncounted) {
  std::vector<IconImageSpec> one = {{16, 16, 16, 4, Pattern(41, 1)}};
  gen_icon(Source(L"odd.ico", IconFile(one)).c_str(), 2, L"");
  Bytes image = Entry({3, L""}, {1, L""}, 0x1030, one[0].data);
  EXPECT_EQ(Read32(image.data()), 41u);
  EXPECT_EQ(Finish(), Expected({image, Entry({14, L""}, {2, L""}, 0x1030, GroupData(one, {4}, 1))}));
}

TEST_F(ResWriter, UnknownColourCountStopsAfterTheImagesBeforeIt) {
  std::vector<IconImageSpec> images = {{16, 16, 16, 4, Pattern(40, 1)}, {16, 16, 5, 4, Pattern(40, 2)},
                                       {16, 16, 16, 4, Pattern(40, 3)}};
  gen_icon(Source(L"bad.ico", IconFile(images)).c_str(), 2, L"");
  std::vector<IconImageSpec> next = {{16, 16, 2, 1, Pattern(40, 4)}};
  gen_icon(Source(L"next.ico", IconFile(next)).c_str(), 3, L"");
  EXPECT_EQ(Finish(), Expected({Entry({3, L""}, {1, L""}, 0x1030, images[0].data),
                                Entry({3, L""}, {2, L""}, 0x1030, next[0].data),
                                Entry({14, L""}, {3, L""}, 0x1030, GroupData(next, {1}, 2))}));
}

TEST_F(ResWriter, CursorWritesImageAndGroup) {
  Bytes cur = CursorFile(5, 9);
  gen_cursor(Source(L"a.cur", cur).c_str(), 30, L"");
  gen_cursor(Source(L"b.cur", cur).c_str(), 0, L"HAND");
  auto image = [&](uint16_t n) {
    Bytes d;
    Put16(d, 5);
    Put16(d, 9);
    d.insert(d.end(), cur.begin() + 22, cur.end());
    return Entry({1, L""}, {n, L""}, 0x1010, d);
  };
  auto group = [](Name name, uint16_t n) {
    Bytes d;
    for (uint32_t v : {0, 2, 1, 32, 64, 1, 1}) Put16(d, v);
    Put32(d, 308);
    Put16(d, n);
    return Entry({12, L""}, name, 0x1030, d);
  };
  EXPECT_EQ(Finish(), Expected({image(1), group({30, L""}, 1), image(2), group({0, L"HAND"}, 2)}));
}

TEST_F(ResWriter, BeginWhileWritingFinishesTheOpenFile) {
  std::vector<IconImageSpec> one = {{16, 16, 16, 4, Pattern(40, 1)}};
  gen_icon(Source(L"one.ico", IconFile(one)).c_str(), 2, L"");
  std::wstring second = dir + L"\\second.res";
  ASSERT_EQ(begin_resgen(second.c_str(), L""), 1);
  gen_icon(Source(L"one.ico", IconFile(one)).c_str(), 3, L"");
  EXPECT_EQ(ReadWholeFile(out), Expected({Entry({3, L""}, {1, L""}, 0x1030, one[0].data),
                                          Entry({14, L""}, {2, L""}, 0x1030, GroupData(one, {4}, 1))}));
  ASSERT_EQ(end_resgen(), 1);
  // The counters and the pending block started afresh.
  EXPECT_EQ(ReadWholeFile(second), Expected({Entry({3, L""}, {1, L""}, 0x1030, one[0].data),
                                             Entry({14, L""}, {3, L""}, 0x1030, GroupData(one, {4}, 1))}));
  ASSERT_EQ(begin_resgen(out.c_str(), L""), 1);
}

TEST_F(ResWriter, WithoutAnOpenFileNothingIsWrittenAndEndReportsIt) {
  ASSERT_EQ(end_resgen(), 1);
  Bytes before = ReadWholeFile(out);
  gen_bitmap(Source(L"a.bmp", Pattern(20, 1)).c_str(), 1, L"");
  gen_strings(t.Strs({L"x"}), t.Ints({1}));
  EXPECT_EQ(end_resgen(), 0);
  EXPECT_EQ(ReadWholeFile(out), before);
  EXPECT_EQ(begin_resgen((dir + L"\\no\\such\\folder.res").c_str(), L""), 0);
  EXPECT_EQ(end_resgen(), 0);
  ASSERT_EQ(begin_resgen(out.c_str(), L""), 1);
}

TEST_F(ResWriter, FailedWriteMakesEndReportFailure) {
  auto saved = detail::g_fileCalls.write;
  detail::g_fileCalls.write = [](HANDLE, LPCVOID, DWORD, LPDWORD done, LPOVERLAPPED) -> BOOL {
    *done = 0;
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
  };
  gen_bitmap(Source(L"a.bmp", Pattern(20, 1)).c_str(), 1, L"");
  detail::g_fileCalls.write = saved;
  gen_bitmap(Source(L"b.bmp", Pattern(20, 1)).c_str(), 2, L"");
  EXPECT_EQ(end_resgen(), 0);
  // The next file starts with a clean record.
  ASSERT_EQ(begin_resgen(out.c_str(), L""), 1);
  EXPECT_EQ(Finish(), EmptyEntry());
  ASSERT_EQ(begin_resgen(out.c_str(), L""), 1);
}

}  // namespace
}  // namespace restest
