// The reader over the files that reader_check.sh made with windres, llvm-rc,
// ld, lld-link and icotool from fixtures/sample.rc (folder RES_FIXTURES).
// Image ids are the tools' own: the checks find them through the group
// names of the listing.
#include <cstdlib>
#include <map>

#include "reader_test.h"

namespace restest {
namespace {

using namespace QelResource;

std::wstring Folder() { return EnvFolder("RES_FIXTURES"); }

// A listing as (type, code, name) of each resource entry.
struct Resource {
  int64_t type, code;
  std::wstring name;
  bool operator<(const Resource& o) const { return std::tie(type, code, name) < std::tie(o.type, o.code, o.name); }
};
std::vector<Resource> Resources(const Listed& l) {
  std::vector<Resource> out;
  int64_t type = -1;
  for (const auto& [code, name] : l) {
    if (code < 100) type = code;
    else out.push_back({type, code, name});
  }
  return out;
}
// The id of the resource of `type` named `name`, or -1.
int IdOf(const std::vector<Resource>& rs, int64_t type, const std::wstring& name) {
  for (const Resource& r : rs)
    if (r.type == type && r.name == name) return static_cast<int>(r.code - 100);
  return -1;
}
bool Has(const std::vector<Resource>& rs, int64_t type, int64_t code) {
  for (const Resource& r : rs)
    if (r.type == type && r.code == code) return true;
  return false;
}

// The bytes of an icon or cursor file's first image.
Bytes FirstImage(const Bytes& file) {
  if (file.size() < 22) return {};
  uint32_t size = Read32(file.data() + 14), offset = Read32(file.data() + 18);
  return Bytes(file.begin() + offset, file.begin() + offset + size);
}

void CheckFile(const std::wstring& dir, const std::wstring& name) {
  SCOPED_TRACE(std::string(name.begin(), name.end()));
  Listed l = Types(dir + L"\\" + name);
  std::vector<Resource> rs = Resources(l);
  for (auto [type, code] : std::vector<std::pair<int, int>>{{6, 101}, {6, 102}, {6, 119}, {4, 200}, {5, 400},
                                                              {2, 700}, {16, 101}})
    EXPECT_TRUE(Has(rs, type, code)) << type << " " << code;
  EXPECT_NE(std::find(l.begin(), l.end(), std::pair<int64_t, std::wstring>{99, L""}), l.end());
  int logo = IdOf(rs, 2, L"LOGO"), icon = IdOf(rs, 3, L"400"), cursor = IdOf(rs, 1, L"500");
  ASSERT_GT(logo, 0);
  ASSERT_GT(icon, 0);
  ASSERT_GT(cursor, 0);

  slist_struct* s = nullptr;
  ilist_struct* ids = nullptr;
  ASSERT_TRUE(Reads([&] { res_get_str(1, &s, &ids); }));
  ASSERT_EQ(ids->functor, ListCons);
  EXPECT_EQ(ids->value, 2);
  EXPECT_STREQ(s->value, L"Second");
  EXPECT_STREQ(s->next->value, L"First");
  ASSERT_TRUE(Reads([&] { res_get_str(19, &s, &ids); }));
  EXPECT_EQ(ids->value, 300);
  EXPECT_STREQ(s->value, L"Overtime");

  menu_struct* m = nullptr;
  ASSERT_TRUE(Reads([&] { m = res_get_menu(100); }));
  ASSERT_EQ(m->functor, 2u);
  auto* items = reinterpret_cast<menu_item_list_struct*>(m->value);
  ASSERT_EQ(items->functor, ListCons);
  EXPECT_STREQ(reinterpret_cast<const wchar_t*>(items->value->w[1]), L"&File");
  ASSERT_EQ(items->next->functor, ListCons);
  EXPECT_EQ(items->next->value->w[0], 103);
  EXPECT_EQ(items->next->value->w[4] & 2, 2);

  windef_list_struct* d = nullptr;
  ASSERT_TRUE(Reads([&] { d = res_get_dialog(300); }));
  std::vector<std::wstring> titles;
  for (; d->functor == ListCons; d = d->next) titles.push_back(reinterpret_cast<const wdef*>(d->value->w[0])->title);
  EXPECT_EQ(titles, (std::vector<std::wstring>{L"Duties", L"Name:", L"", L"OK"}));

  HEAD_VERSIONINFO* head = nullptr;
  versioninfo_blocklist* blocks = nullptr;
  ASSERT_TRUE(Reads([&] { res_get_versioninfo(1, &head, &blocks); }));
  EXPECT_EQ(head->fileVersionHigh, 0x00010002u);
  EXPECT_EQ(head->fileVersionLow, 0x00030004u);
  EXPECT_EQ(head->productVersionLow, 0x00070008u);
  EXPECT_EQ(head->fileOS, 0x40004u);
  ASSERT_EQ(blocks->functor, ListCons);
  EXPECT_EQ(blocks->value->language, 0x0409);
  EXPECT_EQ(blocks->value->codePage, 0x04B0);
  std::map<std::wstring, std::wstring> values;
  for (versioninfo_pairlist* p = blocks->value->pairs; p->functor == ListCons; p = p->next)
    values[p->value->key] = p->value->value;
  EXPECT_EQ(values, (std::map<std::wstring, std::wstring>{{L"CompanyName", L"Kalmora"}, {L"ProductName", L"Roster"}}));

  Bytes bmp = ReadWholeFile(dir + L"\\a.bmp");
  int size = 0;
  uint8_t* p = nullptr;
  for (int id : {600, logo}) {
    ASSERT_TRUE(Reads([&] { p = res_get_bitmap(&size, id); }));
    EXPECT_EQ(Bytes(p, p + size), bmp);
  }
  std::wstring back = dir + L"\\back.bmp";
  EXPECT_EQ(res_get_write_bitmap(back.c_str(), 600), 1);
  EXPECT_EQ(ReadWholeFile(back), bmp);

  Bytes ico = ReadWholeFile(dir + L"\\a.ico");
  ASSERT_TRUE(Reads([&] { p = res_get_icon(&size, icon); }));
  Bytes image = FirstImage(ico);
  ASSERT_EQ(size, static_cast<int>(22 + image.size()));
  EXPECT_EQ(Bytes(p + 22, p + size), image);
  EXPECT_EQ(p[6], 16);   // width
  EXPECT_EQ(p[7], 16);   // height
  EXPECT_EQ(p[8], 16);   // colours

  Bytes cur = ReadWholeFile(dir + L"\\a.cur");
  ASSERT_TRUE(Reads([&] { p = res_get_cursor(&size, cursor); }));
  ASSERT_EQ(size, 326);
  EXPECT_EQ(Read16(p + 10), 3);
  EXPECT_EQ(Read16(p + 12), 4);
  EXPECT_EQ(Bytes(p + 22, p + size), FirstImage(cur));
}

// "type name" lines of a program file's listing, named types left out.
void WriteListing(const std::wstring& dir, const std::wstring& name) {
  std::string text;
  int64_t type = -1;
  for (const auto& [code, n] : Types(dir + L"\\" + name)) {
    if (code < 100) {
      type = code;
    } else if (type != 99) {
      text += std::to_string(type) + " " + (n.empty() || type == 1 || type == 3 ? std::to_string(code - 100)
                                                                                : std::string(n.begin(), n.end())) + "\n";
    }
  }
  WriteWholeFile(dir + L"\\" + name + L".listing", Bytes(text.begin(), text.end()));
}

TEST(ReaderFixtures, FilesOfOtherTools) {
  std::wstring dir = Folder();
  ASSERT_FALSE(dir.empty());
  for (const wchar_t* name : {L"windres.res", L"llvmrc.res", L"pe64.dll", L"pe32.dll"}) CheckFile(dir, name);
  for (const wchar_t* name : {L"pe64.dll", L"pe32.dll"}) WriteListing(dir, name);
}

TEST(ReaderFixtures, StringBlocksPastTheFirst64KiB) {
  std::wstring dir = Folder();
  Listed l = Types(dir + L"\\many.dll");
  EXPECT_EQ(l.size(), 1200u);
  slist_struct* s = nullptr;
  ilist_struct* ids = nullptr;
  ASSERT_TRUE(Reads([&] { res_get_str(2000, &s, &ids); }));
  ASSERT_EQ(ids->functor, ListCons);
  EXPECT_EQ(ids->value, 16 * 1999);
  EXPECT_STREQ(s->value, L"block 2000");
}

}  // namespace
}  // namespace restest

namespace restest {
namespace {

// Icons and cursors of icotool read by the editor, and the editor's own
// files for icotool (checked by reader_check.sh afterwards).
TEST(ReaderFixtures, EditorFilesAndIcotool) {
  std::wstring dir = Folder();
  struct Case {
    const wchar_t* file;
    int colours, side;
  } cases[] = {{L"one4.ico", 16, 16}, {L"one1.ico", 2, 16}, {L"one32.ico", 16, 32}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file, c.file + wcslen(c.file)));
    int colours = 0, w = 0, h = 0;
    uint8_t* palette = nullptr;
    uint8_t* image = nullptr;
    ASSERT_TRUE(Reads([&] { image = edicon_GetIconFromFile((dir + L"\\" + c.file).c_str(), &colours, &palette, &w, &h); }));
    EXPECT_EQ(colours, c.colours);
    EXPECT_EQ(w, c.side);
    // The picture: a diagonal from the top-left corner in another colour than the rest.
    int mask = -1;
    uint8_t corner = edicon_GetNumColor(image, 1, 1, 1, w, h, &mask);
    EXPECT_EQ(mask, 0);
    EXPECT_EQ(edicon_GetNumColor(image, 1, c.side, c.side, w, h, &mask), corner);
    EXPECT_NE(edicon_GetNumColor(image, 1, 2, 1, w, h, &mask), corner);
    EXPECT_EQ(edicon_GetNumColor(image, 1, c.side, 1, w, h, &mask), edicon_GetNumColor(image, 1, 1, c.side, w, h, &mask));
    // Written back by the editor for icotool.
    std::wstring out = dir + L"\\edited-" + c.file;
    EXPECT_EQ(edicon_SetIconToFile(out.c_str(), image, colours, palette, w, h), 1);
  }
  int colours, w, h, x, y;
  uint8_t* palette = nullptr;
  uint8_t* cursor = nullptr;
  ASSERT_TRUE(Reads([&] { cursor = edicon_GetCursorFromFile((dir + L"\\a.cur").c_str(), &colours, &palette, &w, &h, &x, &y); }));
  EXPECT_EQ(x, 3);
  EXPECT_EQ(y, 4);
  EXPECT_EQ(edicon_SetCursorToFile((dir + L"\\edited-a.cur").c_str(), cursor, 2, palette, w, h, x, y), 1);
}

}  // namespace
}  // namespace restest
