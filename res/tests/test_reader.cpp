// The reader over files the writer made and over crafted files: listings,
// look-ups and the forms handed back.
#include "reader_core.h"
#include "reader_test.h"
#include "res_test.h"

namespace restest {
namespace {

using namespace QelResource;
class Reader : public ResWriter {
 protected:
  // Finishes the writer's file and lists it.
  Listed FinishAndList() {
    EXPECT_EQ(end_resgen(), 1);
    return Types(out);
  }
};

TEST(ReaderNames, ExtensionDecidesTheKind) {
  using reader::FileKind;
  struct Case {
    const wchar_t* name;
    FileKind kind;
  } cases[] = {{L"a.res", FileKind::resource}, {L"C:\\x.y\\A.RES", FileKind::resource}, {L"a.exe", FileKind::program},
               {L"a.EXE", FileKind::program},  {L"a.dll", FileKind::program},           {L"a.DLL", FileKind::program},
               {L"a.Res", FileKind::none},     {L"a.resx", FileKind::none},             {L"a.rc", FileKind::none},
               {L"res", FileKind::none},       {L"x.res.txt", FileKind::none},          {L"a.dLL", FileKind::none}};
  for (const Case& c : cases) {
    std::wstring n = c.name;
    std::vector<uint16_t> chars(n.begin(), n.end());
    EXPECT_EQ(reader::KindOfName(chars.data(), chars.size()), c.kind) << std::string(n.begin(), n.end());
  }
}

TEST_F(Reader, WriterFileListsEachEntryAfterItsType) {
  gen_bitmap(Source(L"a.bmp", BitmapFile()).c_str(), 1, L"");
  gen_dialog(t.Defs({t.Dlg(t.Wdef(6, {0, 0, 10, 10}, L"One"), {})}), 1, L"");
  gen_dialog(t.Defs({t.Dlg(t.Wdef(6, {0, 0, 10, 10}, L"Two"), {})}), 2, L"");
  EXPECT_EQ(FinishAndList(), (Listed{{2, L""}, {101, L""}, {5, L""}, {101, L""}, {5, L""}, {102, L""}}));
  // A name of another case or extension lists nothing.
  std::wstring mixed = dir + L"\\mixed.Res";
  ASSERT_TRUE(CopyFileW(out.c_str(), mixed.c_str(), FALSE));
  EXPECT_TRUE(Types(mixed).empty());
  EXPECT_TRUE(Types(dir + L"\\missing.res").empty());
}

TEST_F(Reader, GroupNamesGoToTheFirstImages) {
  std::vector<IconImageSpec> two = {{32, 32, 16, 4, IconImage(1)}, {32, 32, 16, 4, IconImage(2)}};
  gen_icon(Source(L"a.ico", IconFile(two)).c_str(), 7, L"");
  gen_bitmap(Source(L"a.bmp", BitmapFile()).c_str(), 0, L"LOGO");
  gen_icon(Source(L"b.ico", IconFile(two)).c_str(), 0, L"APP");
  gen_cursor(Source(L"a.cur", CursorFile(5, 9)).c_str(), 9, L"");
  gen_typelibinfo(Source(L"a.tlb", Pattern(8, 1)).c_str());
  // Text names are numbered in file order, the group "APP" (written last) included.
  EXPECT_EQ(FinishAndList(), (Listed{{3, L""}, {101, L"7"}, {3, L""}, {102, L""}, {2, L""}, {101, L"LOGO"},
                                     {3, L""}, {103, L"APP"}, {3, L""}, {104, L""}, {1, L""}, {101, L"9"},
                                     {99, L""}, {101, L""}}));
}

TEST_F(Reader, StringsComeBackInDescendingIds) {
  gen_strings(t.Strs({L"sixteen", L"twenty-one", L"one"}), t.Ints({16, 21, 1}));
  FinishAndList();
  slist_struct* s = nullptr;
  ilist_struct* ids = nullptr;
  ASSERT_TRUE(Reads([&] { res_get_str(2, &s, &ids); }));
  ASSERT_EQ(ids->functor, ListCons);
  EXPECT_EQ(ids->value, 21);
  EXPECT_STREQ(s->value, L"twenty-one");
  EXPECT_EQ(ids->next->value, 16);
  EXPECT_STREQ(s->next->value, L"sixteen");
  EXPECT_EQ(ids->next->next->functor, ListNil);
  EXPECT_FALSE(Reads([&] { res_get_str(3, &s, &ids); }));
}

TEST_F(Reader, VersionInformationRoundTrip) {
  HEAD_VERSIONINFO head = {1, 2, 3, 4, 5, 6, 7, 8};
  gen_versioninfo(&head, t.Blocks({{0x040904B0, {{L"CompanyName", L"Kalmora"}, {L"Comments", L""}, {L"X", L"yz"}}}}));
  FinishAndList();
  HEAD_VERSIONINFO* h = nullptr;
  versioninfo_blocklist* blocks = nullptr;
  ASSERT_TRUE(Reads([&] { res_get_versioninfo(1, &h, &blocks); }));
  EXPECT_EQ(memcmp(h, &head, sizeof head), 0);
  ASSERT_EQ(blocks->functor, ListCons);
  EXPECT_EQ(blocks->value->language, 0x0409);
  EXPECT_EQ(blocks->value->codePage, 0x04B0);
  std::vector<std::pair<std::wstring, std::wstring>> pairs;
  for (versioninfo_pairlist* p = blocks->value->pairs; p->functor == ListCons; p = p->next)
    pairs.push_back({p->value->key, p->value->value});
  EXPECT_EQ(pairs, (std::vector<std::pair<std::wstring, std::wstring>>{
                       {L"CompanyName", L"Kalmora"}, {L"Comments", L""}, {L"X", L"yz"}}));
  EXPECT_EQ(blocks->next->functor, ListNil);
}

TEST_F(Reader, MenuRoundTripMarksTheHelpItem) {
  menu_item* file = t.Txt(0, L"&File", true, 0, {t.Txt(101, L"&Open", true, 1), t.Item(3), t.Txt(102, L"E&xit", false, 0)});
  gen_menu(t.DynMenu({file, t.Txt(103, L"&Help", true, 2)}), 4, L"");
  FinishAndList();
  menu_struct* m = nullptr;
  ASSERT_TRUE(Reads([&] { m = res_get_menu(4); }));
  ASSERT_EQ(m->functor, 2u);
  auto* items = reinterpret_cast<menu_item_list_struct*>(m->value);
  ASSERT_EQ(items->functor, ListCons);
  EXPECT_STREQ(reinterpret_cast<const wchar_t*>(items->value->w[1]), L"&File");
  menu_item_list_struct* help = items->next;
  ASSERT_EQ(help->functor, ListCons);
  EXPECT_EQ(help->value->w[0], 103);
  EXPECT_EQ(help->value->w[4] & 2, 2);
  auto* sub = reinterpret_cast<menu_item_list_struct*>(items->value->w[5]);
  ASSERT_EQ(sub->functor, ListCons);
  EXPECT_EQ(sub->value->w[0], 101);
  EXPECT_FALSE(Reads([&] { res_get_menu(5); }));
}

TEST_F(Reader, BrokenMenuTemplateGivesNoMenu) {
  // A template whose last item lacks the end bit runs past its data.
  Bytes d;
  Put32(d, 0);
  Put16(d, 0);
  Put16(d, 7);
  PutStr(d, L"Open");
  Bytes file = EmptyEntry();
  Append(file, Entry({4, L""}, {1, L""}, 0x1030, d));
  std::wstring crafted = Source(L"menu.res", file);
  Types(crafted);
  menu_struct* m = nullptr;
  ASSERT_TRUE(Reads([&] { m = res_get_menu(1); }));
  EXPECT_EQ(m->functor, 3u);
}

TEST_F(Reader, DialogRoundTrip) {
  gen_dialog(t.Defs({t.Dlg(t.Wdef(6, {0, 0, 100, 50}, L"Duties"), {9}),
                     t.Ctl(t.Wdef(8, {10, 30, 50, 44}, L"OK"), 1, {23}),
                     t.Ctl(t.Wdef(13, {10, 10, 90, 22}, L"text"), 11, {})}),
             3, L"");
  FinishAndList();
  windef_list_struct* l = nullptr;
  ASSERT_TRUE(Reads([&] { l = res_get_dialog(3); }));
  std::vector<std::pair<int, std::wstring>> got;
  for (; l && l->functor == ListCons; l = l->next) {
    auto* w = reinterpret_cast<const wdef*>(l->value->w[0]);
    got.push_back({w->type, w->title ? w->title : L""});
  }
  EXPECT_EQ(got, (std::vector<std::pair<int, std::wstring>>{{6, L"Duties"}, {8, L"OK"}, {13, L"text"}}));
}

TEST_F(Reader, IconCursorAndBitmapFileImages) {
  Bytes image = IconImage(3);
  gen_icon(Source(L"a.ico", IconFile({{32, 32, 16, 4, image}})).c_str(), 1, L"");
  Bytes cur = CursorFile(7, 11), bmp = BitmapFile();
  gen_cursor(Source(L"a.cur", cur).c_str(), 2, L"");
  gen_bitmap(Source(L"a.bmp", bmp).c_str(), 3, L"");
  FinishAndList();
  int size = 0;
  uint8_t* p = nullptr;
  ASSERT_TRUE(Reads([&] { p = res_get_icon(&size, 1); }));
  ASSERT_EQ(size, static_cast<int>(22 + image.size()));
  Bytes expected;
  for (uint32_t v : {0, 1, 1}) Put16(expected, v);
  for (uint8_t v : {32, 32, 16, 0}) expected.push_back(v);
  for (uint32_t v : {0, 0}) Put16(expected, v);
  Put32(expected, static_cast<uint32_t>(image.size()));
  Put32(expected, 22);
  Append(expected, image);
  EXPECT_EQ(Bytes(p, p + size), expected);

  ASSERT_TRUE(Reads([&] { p = res_get_cursor(&size, 1); }));
  ASSERT_EQ(size, 326);
  Bytes cursorFile = cur;
  cursorFile[8] = 0;  // colour count
  EXPECT_EQ(Bytes(p, p + size), cursorFile);  // the hot spot (7, 11) comes from the resource

  ASSERT_TRUE(Reads([&] { p = res_get_bitmap(&size, 3); }));
  EXPECT_EQ(Bytes(p, p + size), bmp);
  std::wstring written = dir + L"\\back.bmp";
  EXPECT_EQ(res_get_write_bitmap(written.c_str(), 3), 1);
  EXPECT_EQ(ReadWholeFile(written), bmp);
  EXPECT_EQ(res_get_write_bitmap(written.c_str(), 4), 0);
  EXPECT_FALSE(Reads([&] { p = res_get_bitmap(&size, 4); }));
  EXPECT_FALSE(Reads([&] { p = res_get_icon(&size, 2); }));
}

TEST_F(Reader, BitmapSizeBeyondSixteenBits) {
  Bytes bmp = BitmapFile();
  bmp.resize(70000 + 14, 0x5A);
  gen_bitmap(Source(L"big.bmp", bmp).c_str(), 1, L"");
  FinishAndList();
  int size = 0;
  uint8_t* p = nullptr;
  ASSERT_TRUE(Reads([&] { p = res_get_bitmap(&size, 1); }));
  EXPECT_EQ(size, 70014);
  EXPECT_EQ(Read32(p + 2), 70014u);
}

TEST_F(Reader, OldCoreBitmapIsAnError) {
  Bytes core;
  Put32(core, 12);
  Put16(core, 2);
  Put16(core, 2);
  Put16(core, 1);
  Put16(core, 1);
  core.insert(core.end(), 8, 0xAA);
  Bytes file = core;
  file.insert(file.begin(), 14, 0);
  gen_bitmap(Source(L"core.bmp", file).c_str(), 1, L"");
  FinishAndList();
  int size = -5;
  uint8_t* p = nullptr;
  ASSERT_TRUE(Reads([&] { p = res_get_bitmap(&size, 1); }));
  EXPECT_EQ(size, -5);
  EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(p)), L"Error");
  EXPECT_EQ(res_get_write_bitmap((dir + L"\\core.bmp").c_str(), 1), 0);
}

TEST_F(Reader, CraftedEntriesEndTheListing) {
  Bytes good = Entry({2, L""}, {1, L""}, 0x30, Pattern(40, 1));
  struct Case {
    const char* what;
    Bytes second;
  } cases[] = {
      {"header size under 32", [] { Bytes e = Header(0, {2, L""}, {2, L""}, 0x30); e[4] = 0; return e; }()},
      {"data past the end", [] { Bytes e = Header(4000, {2, L""}, {2, L""}, 0x30); e.resize(e.size() + 8); return e; }()},
      {"unended name", [] { Bytes e = Header(0, {2, L""}, {0, L"AB"}, 0x30); for (size_t i = 12; i < e.size(); i += 2) e[i] = 'x'; return e; }()},
      {"truncated header", Bytes{8, 0, 0, 0, 32, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes file = EmptyEntry();
    Append(file, good);
    Append(file, c.second);
    std::wstring crafted = Source(L"crafted.res", file);
    EXPECT_EQ(Types(crafted), (Listed{{2, L""}, {101, L""}}));
    int size;
    EXPECT_FALSE(Reads([&] { res_get_bitmap(&size, 2); }));
  }
  Bytes noEmpty = good;
  EXPECT_TRUE(Types(Source(L"noempty.res", noEmpty)).empty());
}

TEST_F(Reader, LookUpsReadTheFileAsItIsNow) {
  gen_strings(t.Strs({L"old"}), t.Ints({1}));
  FinishAndList();
  ASSERT_EQ(begin_resgen(out.c_str(), L""), 1);
  gen_strings(t.Strs({L"new and longer"}), t.Ints({1}));
  ASSERT_EQ(end_resgen(), 1);
  slist_struct* s = nullptr;
  ilist_struct* ids = nullptr;
  ASSERT_TRUE(Reads([&] { res_get_str(1, &s, &ids); }));
  EXPECT_STREQ(s->value, L"new and longer");
  ASSERT_TRUE(DeleteFileW(out.c_str()));
  EXPECT_FALSE(Reads([&] { res_get_str(1, &s, &ids); }));
  ASSERT_EQ(begin_resgen(out.c_str(), L""), 1);
}

TEST_F(Reader, LongFileNamesAreKeptWhole) {
  std::wstring deep = L"\\\\?\\" + dir;
  for (int i = 0; i < 3; ++i) {
    deep += L"\\" + std::wstring(100, static_cast<wchar_t>(L'a' + i));
    ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  }
  std::wstring name = deep + L"\\file.res";
  ASSERT_GT(name.size(), 300u);
  ASSERT_EQ(end_resgen(), 1);
  ASSERT_EQ(begin_resgen(name.c_str(), L""), 1);
  gen_strings(t.Strs({L"deep"}), t.Ints({1}));
  ASSERT_EQ(end_resgen(), 1);
  EXPECT_EQ(Types(name), (Listed{{6, L""}, {101, L""}}));
  slist_struct* s = nullptr;
  ilist_struct* ids = nullptr;
  ASSERT_TRUE(Reads([&] { res_get_str(1, &s, &ids); }));
  EXPECT_STREQ(s->value, L"deep");
  DeleteFileW(name.c_str());
  for (int i = 0; i < 3; ++i) {
    RemoveDirectoryW(deep.c_str());
    deep.resize(deep.size() - 101);
  }
  ASSERT_EQ(begin_resgen(out.c_str(), L""), 1);
}

TEST_F(Reader, ListingStopsAtTwelveHundredItems) {
  std::vector<std::wstring> strings;
  std::vector<intptr_t> ids;
  for (int i = 0; i < 16 * 700; i += 16) {
    strings.push_back(L"s");
    ids.push_back(i);
  }
  gen_strings(t.Strs(strings), t.Ints(ids));
  Listed l = FinishAndList();
  ASSERT_EQ(l.size(), 1200u);
  EXPECT_EQ(l[1198].first, 6);
  EXPECT_EQ(l[1199].first, 100 + 600);
}

}  // namespace
}  // namespace restest
