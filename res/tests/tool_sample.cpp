// A resource file of every kind for the independent tools, and the checks on
// the DLL they link from it.  tool_check.sh runs `Sample.Write`, turns the
// file into a DLL with the host's tools and runs `Sample.Loaded*` on it; the
// folder is RES_SAMPLE_DIR.  The checks read the resources through the
// system's own loaders, never through this library.
#include <gtest/gtest.h>

#include <cstdlib>

#include "fixtures.h"
#include "gui.h"

namespace restest {
namespace {

using namespace QelResource;

std::wstring Folder() { return EnvFolder("RES_SAMPLE_DIR"); }

constexpr int kMenu = 100, kAccel = 200, kDialog = 300, kIcon = 400, kCursor = 500, kBitmap = 600;

TEST(Sample, Write) {
  std::wstring dir = Folder();
  ASSERT_FALSE(dir.empty());
  Terms t;
  ASSERT_TRUE(WriteWholeFile(dir + L"\\a.ico", IconFile({{32, 32, 16, 4, IconImage(1)}, {32, 32, 16, 4, IconImage(2)}})));
  ASSERT_TRUE(WriteWholeFile(dir + L"\\a.cur", CursorFile(5, 9)));
  ASSERT_TRUE(WriteWholeFile(dir + L"\\a.bmp", BitmapFile()));
  ASSERT_TRUE(WriteWholeFile(dir + L"\\a.tlb", Pattern(37, 1)));
  ASSERT_EQ(begin_resgen((dir + L"\\sample.res").c_str(), L""), 1);
  gen_icon((dir + L"\\a.ico").c_str(), kIcon, L"");
  gen_strings(t.Strs({L"Seventeen", L"First", L"Second", L"\u00dcberstunden"}), t.Ints({17, 1, 2, 300}));
  menu_item* file = t.Txt(0, L"&File", true, 0, {t.Txt(101, L"&Open", true, 1), t.Item(3), t.Txt(102, L"E&xit", false, 0)});
  gen_menu(t.DynMenu({file, t.Txt(103, L"&Help", true, 2)}), kMenu, L"");
  gen_accel(kAccel, t.Ints({2, 0, 1 | 4}), t.Ints({'O', 127, 301}), t.Ints({101, 102, 104}));
  HEAD_VERSIONINFO head = {0x00010002, 0x00030004, 0x00050006, 0x00070008, 0, 0x40004, 1, 0};
  gen_versioninfo(&head, t.Blocks({{0x040904B0, {{L"CompanyName", L"Kalmora"}, {L"ProductName", L"Roster"},
                                                 {L"FileVersion", L"1.2.3.4"}}}}));
  windef* dlg = t.Def(wd_dlgfont, {reinterpret_cast<LONG_PTR>(t.Wdef(6, {0, 0, 200, 100}, L"Duties")),
                                   reinterpret_cast<LONG_PTR>(t.Text(L"MS Shell Dlg")), 8,
                                   reinterpret_cast<LONG_PTR>(t.Ints({9, 4}))});
  windef* icon = t.Def(wd_icon, {reinterpret_cast<LONG_PTR>(t.Wdef(19, {4, 4, 24, 24}, L"")), 20, kIcon,
                                 reinterpret_cast<LONG_PTR>(t.Ints({}))});
  gen_dialog(t.Defs({dlg, t.Ctl(t.Wdef(14, {30, 4, 120, 14}, L"Name:"), 10, {}),
                     t.Ctl(t.Wdef(13, {30, 20, 190, 32}, L"Ann"), 11, {26}),
                     t.Ctl(t.Wdef(10, {30, 40, 120, 52}, L"On call"), 12, {26}),
                     t.Ctl(t.Wdef(15, {30, 56, 120, 90}, L""), 13, {8}), icon,
                     t.Ctl(t.Wdef(8, {140, 80, 190, 94}, L"OK"), 1, {23, 26})}),
             kDialog, L"");
  gen_cursor((dir + L"\\a.cur").c_str(), kCursor, L"");
  gen_bitmap((dir + L"\\a.bmp").c_str(), kBitmap, L"");
  gen_typelibinfo((dir + L"\\a.tlb").c_str());
  ASSERT_EQ(end_resgen(), 1);
}

class Loaded : public ::testing::Test {
 protected:
  std::wstring dll = Folder() + L"\\sample.dll";
  HMODULE mod = nullptr;
  void SetUp() override {
    mod = LoadLibraryExW(dll.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(mod, nullptr) << GetLastError();
  }
  void TearDown() override {
    if (mod) FreeLibrary(mod);
  }
  std::wstring String(UINT id) {
    wchar_t buf[256] = {};
    int n = LoadStringW(mod, id, buf, 256);
    return std::wstring(buf, n);
  }
  std::wstring MenuText(HMENU m, int pos) {
    wchar_t buf[64] = {};
    GetMenuStringW(m, pos, buf, 64, MF_BYPOSITION);
    return buf;
  }
};

TEST_F(Loaded, Strings) {
  EXPECT_EQ(String(1), L"First");
  EXPECT_EQ(String(2), L"Second");
  EXPECT_EQ(String(17), L"Seventeen");
  EXPECT_EQ(String(300), L"\u00dcberstunden");
  EXPECT_EQ(String(3), L"");
}

TEST_F(Loaded, Menu) {
  HMENU m = LoadMenuW(mod, MAKEINTRESOURCEW(kMenu));
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(GetMenuItemCount(m), 2);
  EXPECT_EQ(MenuText(m, 0), L"&File");
  EXPECT_EQ(MenuText(m, 1), L"&Help");
  HMENU file = GetSubMenu(m, 0);
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(GetMenuItemCount(file), 3);
  EXPECT_EQ(GetMenuItemID(file, 0), 101u);
  EXPECT_TRUE(GetMenuState(file, 0, MF_BYPOSITION) & MF_CHECKED);
  EXPECT_TRUE(GetMenuState(file, 1, MF_BYPOSITION) & MF_SEPARATOR);
  EXPECT_EQ(GetMenuItemID(file, 2), 102u);
  EXPECT_TRUE(GetMenuState(file, 2, MF_BYPOSITION) & MF_GRAYED);
  EXPECT_EQ(GetMenuItemID(m, 1), 103u);
  EXPECT_TRUE(GetMenuState(m, 1, MF_BYPOSITION) & MF_HELP);
  DestroyMenu(m);
}

TEST_F(Loaded, Accelerators) {
  HACCEL a = LoadAcceleratorsW(mod, MAKEINTRESOURCEW(kAccel));
  ASSERT_NE(a, nullptr);
  ACCEL got[4] = {};
  ASSERT_EQ(CopyAcceleratorTableW(a, got, 4), 3);
  EXPECT_EQ(got[0].fVirt, FVIRTKEY | FCONTROL);
  EXPECT_EQ(got[0].key, 'O');
  EXPECT_EQ(got[0].cmd, 101);
  EXPECT_EQ(got[1].fVirt, FVIRTKEY);
  EXPECT_EQ(got[1].key, VK_DELETE);
  EXPECT_EQ(got[2].fVirt, FVIRTKEY | FSHIFT | FALT);
  EXPECT_EQ(got[2].key, VK_UP);
  EXPECT_EQ(got[2].cmd, 104);
  DestroyAcceleratorTable(a);
}

TEST_F(Loaded, VersionInformation) {
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeW(dll.c_str(), &handle);
  ASSERT_GT(size, 0u);
  std::vector<uint8_t> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(dll.c_str(), 0, size, info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT n = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &n));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010002u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00070008u);
  EXPECT_EQ(fixed->dwFileOS, 0x40004u);
  wchar_t* text = nullptr;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\StringFileInfo\\040904b0\\ProductName", reinterpret_cast<void**>(&text), &n));
  EXPECT_STREQ(text, L"Roster");
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\StringFileInfo\\040904b0\\FileVersion", reinterpret_cast<void**>(&text), &n));
  EXPECT_STREQ(text, L"1.2.3.4");
  DWORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &n));
  ASSERT_EQ(n, 4u);
  EXPECT_EQ(*translation, 0x04B00409u);
}

TEST_F(Loaded, Dialog) {
  HRSRC r = FindResourceW(mod, MAKEINTRESOURCEW(kDialog), MAKEINTRESOURCEW(5));
  ASSERT_NE(r, nullptr);
  auto* tmpl = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(mod, r)));
  ASSERT_NE(tmpl, nullptr);
  EXPECT_EQ(tmpl->cdit, 6);
  HWND d = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), tmpl, nullptr,
                                      [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
  ASSERT_NE(d, nullptr) << GetLastError();
  wchar_t buf[64] = {};
  GetWindowTextW(d, buf, 64);
  EXPECT_STREQ(buf, L"Duties");
  GetDlgItemTextW(d, 11, buf, 64);
  EXPECT_STREQ(buf, L"Ann");
  HWND ok = GetDlgItem(d, 1);
  ASSERT_NE(ok, nullptr);
  GetClassNameW(ok, buf, 64);
  EXPECT_EQ(_wcsicmp(buf, L"Button"), 0);
  EXPECT_EQ(GetWindowLongW(ok, GWL_STYLE) & 0xF, BS_DEFPUSHBUTTON);
  GetClassNameW(GetDlgItem(d, 13), buf, 64);
  EXPECT_EQ(_wcsicmp(buf, L"ListBox"), 0);
  EXPECT_EQ(GetWindowLongW(d, GWL_STYLE) & (WS_CAPTION | WS_SYSMENU), WS_CAPTION | WS_SYSMENU);
  DestroyWindow(d);
}

TEST_F(Loaded, Images) {
  auto icon = static_cast<HICON>(LoadImageW(mod, MAKEINTRESOURCEW(kIcon), IMAGE_ICON, 32, 32, 0));
  ASSERT_NE(icon, nullptr);
  ICONINFO ii = {};
  ASSERT_TRUE(GetIconInfo(icon, &ii));
  EXPECT_TRUE(ii.fIcon);
  BITMAP bm = {};
  GetObjectW(ii.hbmColor ? ii.hbmColor : ii.hbmMask, sizeof bm, &bm);
  EXPECT_EQ(bm.bmWidth, 32);
  DeleteObject(ii.hbmColor);
  DeleteObject(ii.hbmMask);
  DestroyIcon(icon);

  auto cursor = static_cast<HCURSOR>(LoadImageW(mod, MAKEINTRESOURCEW(kCursor), IMAGE_CURSOR, 0, 0, 0));
  ASSERT_NE(cursor, nullptr);
  ASSERT_TRUE(GetIconInfo(cursor, &ii));
  EXPECT_FALSE(ii.fIcon);
  EXPECT_EQ(ii.xHotspot, 5u);
  EXPECT_EQ(ii.yHotspot, 9u);
  DeleteObject(ii.hbmColor);
  DeleteObject(ii.hbmMask);
  DestroyCursor(cursor);

  auto bitmap = static_cast<HBITMAP>(LoadImageW(mod, MAKEINTRESOURCEW(kBitmap), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  ASSERT_NE(bitmap, nullptr);
  DIBSECTION ds = {};
  ASSERT_EQ(GetObjectW(bitmap, sizeof ds, &ds), static_cast<int>(sizeof ds));
  EXPECT_EQ(ds.dsBm.bmWidth, 8);
  EXPECT_EQ(ds.dsBm.bmHeight, 8);
  Bytes file = BitmapFile();
  const auto* bits = static_cast<const uint8_t*>(ds.dsBm.bmBits);
  ASSERT_NE(bits, nullptr);
  EXPECT_TRUE(std::equal(file.begin() + 54, file.end(), bits));
  DeleteObject(bitmap);
}

}  // namespace
}  // namespace restest

namespace restest {
namespace {

// A 32 x 32 cursor image tried on the task window: it becomes the window's
// cursor, and the cursor the window owned before is destroyed.
TEST(Cursor, TriedOnAWindow) {
  kwitest::TaskOptions options;
  options.menu = 0;
  kwitest::RunInTask(
      [](HWND task) {
        _win_data* record = XZEV_GetWinData(task);
        BYTE andPlane[128], xorPlane[128] = {};
        memset(andPlane, 0xFF, sizeof andPlane);
        HCURSOR owned = CreateCursor(GetModuleHandleW(nullptr), 0, 0, 32, 32, andPlane, xorPlane);
        ASSERT_NE(owned, nullptr);
        record->w[3] = reinterpret_cast<LONG_PTR>(owned);
        record->w[26] = 12;
        uint8_t* palette = nullptr;
        uint8_t* image = edicon_NewImage(2, 1, 32, 32, &palette);
        memset(image, 1, 1024);
        memset(image + 1024, 0, 128);
        edicon_TestCursor(reinterpret_cast<LONG_PTR>(task), image, 3, 4, 32, 32);
        auto now = reinterpret_cast<HCURSOR>(record->w[3]);
        EXPECT_EQ(record->w[26], 9003);
        ASSERT_NE(now, nullptr);
        EXPECT_NE(now, owned);
        EXPECT_EQ(GetCursor(), now);
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(now, &info));
        EXPECT_EQ(info.xHotspot, 3u);
        EXPECT_EQ(info.yHotspot, 4u);
        DeleteObject(info.hbmMask);
        DeleteObject(info.hbmColor);
        EXPECT_FALSE(GetIconInfo(owned, &info));  // destroyed
      },
      options);
}

}  // namespace
}  // namespace restest
