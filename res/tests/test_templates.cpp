// Dialog and menu templates: styles, layout and refusals, byte by byte.
#include "res_test.h"

namespace restest {
namespace {

using namespace QelResource;

// The dialog entry's template data (after the empty entry and a 32-byte header).
Bytes DialogData(const Bytes& file) {
  if (file.size() < 64) return {};
  return Bytes(file.begin() + 64, file.begin() + 64 + Read32(file.data() + 32));
}
uint32_t StyleAt(const Bytes& d, size_t at) { return d.size() >= at + 4 ? Read32(d.data() + at) : 0; }

TEST_F(ResWriter, DialogStylesFollowTypeAndFlags) {
  struct Case {
    int type;
    std::vector<intptr_t> flags;
    uint32_t style;
  } cases[] = {
      {6, {}, 0x90000080},
      {1, {}, 0x90800000},
      {1, {9, 4}, 0x90C80000},
      {7, {2, 5, 6, 7, 8, 12, 17, 18}, 0x90800000 | 0x00040000 | 0x00010000 | 0x00020000 | 0x00100000 |
                                           0x00200000 | 0x08000000 | 0x02000000 | 0x04000000},
      {7, {11}, 0x80800000},
      {7, {11, 10}, 0x90800000},
      {7, {69}, 0x50800000},
      {7, {0, 69, 2}, 0x90800000 | 69 | 2},   // raw after 0
      {7, {3, 99, 1000}, 0x90800000},         // no effect
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.style);
    ASSERT_EQ(begin_resgen(out.c_str(), L""), 1);
    gen_dialog(t.Defs({t.Dlg(t.Wdef(c.type, {1, 2, 11, 22}, L"T"), c.flags)}), 1, L"");
    Bytes d = DialogData(Finish());
    EXPECT_EQ(StyleAt(d, 0), c.style);
  }
}

TEST_F(ResWriter, DialogTemplateLayout) {
  windef* font = t.Def(wd_dlgfont, {reinterpret_cast<LONG_PTR>(t.Wdef(6, {10, 20, 110, 70}, L"Abc")),
                                    reinterpret_cast<LONG_PTR>(t.Text(L"Tahoma")), 8,
                                    reinterpret_cast<LONG_PTR>(t.Ints({9}))});
  windef* icon = t.Def(wd_icon, {reinterpret_cast<LONG_PTR>(t.Wdef(19, {5, 6, 37, 38}, L"ignored")), 300, 42,
                                 reinterpret_cast<LONG_PTR>(t.Ints({}))});
  windef* custom = t.Def(wd_customctl, {reinterpret_cast<LONG_PTR>(t.Wdef(20, {0, 0, 50, 12}, L"C")),
                                        reinterpret_cast<LONG_PTR>(t.Text(L"MyClass")), 301,
                                        reinterpret_cast<LONG_PTR>(t.Ints({1, 19, 20}))});
  windef* button = t.Ctl(t.Wdef(8, {-4, -3, 40, 11}, L"OK"), 1, {23, 26});
  gen_dialog(t.Defs({font, icon, custom, button}), 0, L"MAIN");
  Bytes e;
  Put32(e, 0x90000080 | 0x00C00000 | 0x40);
  Put32(e, 0);
  Put16(e, 3);
  for (uint32_t v : {10, 20, 100, 50, 0, 0}) Put16(e, v);
  PutStr(e, L"Abc");
  Put16(e, 8);
  PutStr(e, L"Tahoma");
  Pad4(e);
  size_t iconAt = e.size();
  Put32(e, 0x54000003);
  Put32(e, 0);
  for (uint32_t v : {5, 6, 32, 32, 300, 0xFFFF, 0x82, 0xFFFF, 42, 0}) Put16(e, v);
  EXPECT_EQ(e.size() - iconAt, 28u);
  Put32(e, 0x54000000 | 0x00800000);
  Put32(e, 0x28);
  for (uint32_t v : {0, 0, 50, 12, 301}) Put16(e, v);
  PutStr(e, L"MyClass");
  PutStr(e, L"C");
  Put16(e, 0);
  Pad4(e);
  Put32(e, 0x54010001);
  Put32(e, 0);
  for (uint32_t v : {0xFFFC, 0xFFFD, 44, 14, 1, 0xFFFF, 0x80}) Put16(e, v);
  PutStr(e, L"OK");
  Put16(e, 0);
  Pad4(e);
  EXPECT_EQ(Finish(), Expected({Entry({5, L""}, {0, L"MAIN"}, 0x1030, e)}));
}

TEST_F(ResWriter, DialogTitleLengthDecidesThePadding) {
  gen_dialog(t.Defs({t.Dlg(t.Wdef(6, {0, 0, 10, 10}, L"Four"), {})}), 1, L"");
  gen_dialog(t.Defs({t.Dlg(t.Wdef(6, {0, 0, 10, 10}, L"Thr"), {})}), 2, L"");
  Bytes f = Finish();
  EXPECT_EQ(Read32(f.data() + 32), 32u);
  EXPECT_EQ(Read32(f.data() + 32 + 32 + 32), 32u);  // 30 bytes and 2 of padding
}

TEST_F(ResWriter, ControlStylesByTypeAndFlags) {
  struct Case {
    int type;
    std::vector<intptr_t> flags;
    uint32_t style;
    uint16_t cls;
  } cases[] = {
      {8, {23, 26}, 0x54010001, 0x80},
      {8, {0, 0x1000}, 0x54001000, 0x80},
      {8, {35, 23}, 0x5400000B, 0x80},
      {18, {26}, 0x50000007, 0x80},
      {18, {25, 11}, 0x40000007, 0x80},
      {9, {}, 0x54000004, 0x80},
      {9, {51, 34}, 0x54000029, 0x80},
      {10, {50}, 0x54000005, 0x80},
      {10, {68, 35, 34}, 0x5400002B, 0x80},
      {11, {12}, 0x5C000000, 0x84},
      {12, {70}, 0x50000001, 0x84},
      {13, {38, 7, 8, 27, 28, 32, 49}, 0x54300000 | 0x0800 | 0x0004 | 0x0001 | 0x1000, 0x81},
      {14, {26, 25, 33}, 0x54000002, 0x82},
      {14, {67, 41}, 0x54000089, 0x82},
      {14, {41, 67}, 0x54000009, 0x82},
      {15, {52, 53, 30, 35}, 0x54800000 | 0x0002 | 0x0200 | 0x0010, 0x83},
      {16, {8, 48}, 0x54200003, 0x85},
      {17, {8, 48}, 0x54200082, 0x85},
      {19, {}, 0x54000003, 0x82},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.type) + " " + std::to_string(c.style));
    ASSERT_EQ(begin_resgen(out.c_str(), L""), 1);
    gen_dialog(t.Defs({t.Dlg(t.Wdef(7, {0, 0, 10, 10}, L""), {}), t.Ctl(t.Wdef(c.type, {0, 0, 1, 1}, L""), 9, c.flags)}),
               1, L"");
    Bytes d = DialogData(Finish());
    ASSERT_GE(d.size(), 24u + 24);
    EXPECT_EQ(StyleAt(d, 24), c.style);
    EXPECT_EQ(Read16(d.data() + 24 + 20), c.cls);
  }
}

TEST_F(ResWriter, ControlOfTypeCustomWithoutClassName) {
  gen_dialog(t.Defs({t.Dlg(t.Wdef(7, {0, 0, 10, 10}, L""), {}), t.Ctl(t.Wdef(20, {0, 0, 1, 1}, L""), 9, {1})}), 1,
             L"");
  Bytes d = DialogData(Finish());
  ASSERT_EQ(d.size(), 24u + 28);
  EXPECT_EQ(StyleAt(d, 24), 0x54800000u);
  EXPECT_EQ(Read16(d.data() + 24 + 18), 0xFFFF);
  EXPECT_EQ(Read16(d.data() + 24 + 20), 0);
}

TEST_F(ResWriter, PixelRectanglesAreConvertedOnACopy) {
  rect_struct expected = {40, 30, 240, 130};
  XZEV_ConvertPixels2Dlg(&expected);
  wdef* w = t.Wdef(7, {40, 30, 240, 130}, L"", 0);
  gen_dialog(t.Defs({t.Dlg(w, {})}), 1, L"");
  Bytes d = DialogData(Finish());
  EXPECT_EQ(w->rect->left, 40);
  EXPECT_EQ(w->rect->right, 240);
  ASSERT_GE(d.size(), 18u);
  EXPECT_EQ(static_cast<int16_t>(Read16(d.data() + 10)), expected.left);
  EXPECT_EQ(static_cast<int16_t>(Read16(d.data() + 12)), expected.top);
  EXPECT_EQ(static_cast<int16_t>(Read16(d.data() + 14)), expected.right - expected.left);
  EXPECT_EQ(static_cast<int16_t>(Read16(d.data() + 16)), expected.bottom - expected.top);
}

TEST_F(ResWriter, RefusedDialogsWriteNothing) {
  wdef* dlg = t.Wdef(7, {0, 0, 10, 10}, L"");
  wdef* okCtl = t.Wdef(8, {0, 0, 10, 10}, L"");
  std::vector<windef*> many = {t.Dlg(dlg, {})};
  std::wstring longTitle(200, L't');
  for (int i = 0; i < 400; ++i) many.push_back(t.Ctl(t.Wdef(8, {0, 0, 1, 1}, longTitle), i, {}));
  struct Case {
    const char* what;
    windef_list_struct* list;
  } cases[] = {
      {"empty list", t.Defs({})},
      {"first not a dialog", t.Defs({t.Ctl(okCtl, 1, {})})},
      {"resdlg first", t.Defs({t.Def(wd_resdlg, {1, 6})})},
      {"dialog among the controls", t.Defs({t.Dlg(dlg, {}), t.Ctl(okCtl, 1, {}), t.Dlg(dlg, {})})},
      {"topwin among the controls", t.Defs({t.Dlg(dlg, {}), t.Def(wd_topwin, {reinterpret_cast<LONG_PTR>(okCtl)})})},
      {"control type 7", t.Defs({t.Dlg(dlg, {}), t.Ctl(t.Wdef(7, {0, 0, 1, 1}, L""), 1, {})})},
      {"control type 21", t.Defs({t.Dlg(dlg, {}), t.Ctl(t.Wdef(21, {0, 0, 1, 1}, L""), 1, {})})},
      {"flag 69 on a modal dialog", t.Defs({t.Dlg(t.Wdef(6, {0, 0, 10, 10}, L""), {69})})},
      {"coordinate beyond 16 bits", t.Defs({t.Dlg(t.Wdef(7, {0, 0, 40000, 10}, L""), {})})},
      {"control coordinate beyond 16 bits",
       t.Defs({t.Dlg(dlg, {}), t.Ctl(t.Wdef(8, {-40000, 0, 1, 1}, L""), 1, {})})},
      {"template beyond 65,536 bytes", t.Defs(many)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    gen_dialog(c.list, 1, L"");
  }
  gen_dialog(nullptr, 1, L"");
  EXPECT_EQ(Finish(), EmptyEntry());
}

// A menu template's items.
void PopUp(Bytes& d, uint16_t option, const wchar_t* text) {
  Put16(d, option);
  PutStr(d, text);
}
void Command(Bytes& d, uint16_t option, uint16_t id, const wchar_t* text) {
  Put16(d, option);
  Put16(d, id);
  PutStr(d, text);
}
// The pop-up "File" holding "Open" (enabled) and "Exit" (disabled).
menu_item* FileMenu(Terms& t) {
  return t.Txt(0, L"File", true, 0, {t.Txt(101, L"Open", true, 0), t.Txt(102, L"Exit", false, 0)});
}
void PutFileMenu(Bytes& d, uint16_t option) {
  PopUp(d, option, L"File");
  Command(d, 0x0000, 101, L"Open");
  Command(d, 0x0083, 102, L"Exit");
}

TEST_F(ResWriter, MenuOptionWords) {
  menu_item* file = FileMenu(t);
  menu_item* view = t.Txt(0, L"View", true, 0,
                          {t.Txt(201, L"Grid", true, 1), t.Item(3), t.Item(2), t.Txt(202, L"|Tools", true, 0),
                           t.Item(4)});
  menu_item* help = t.Txt(301, L"Help", true, 2);
  gen_menu(t.DynMenu({file, view, help}), 7, L"");
  Bytes d;
  Put32(d, 0);
  PutFileMenu(d, 0x0010);
  PopUp(d, 0x0010, L"View");
  Command(d, 0x0008, 201, L"Grid");
  Command(d, 0, 0, L"");                   // separator; the owner-drawn item is skipped
  Command(d, 0x00A0, 202, L"Tools");       // last written item: the menu break after it is skipped
  Command(d, 0x4480, 301, L"Help");
  EXPECT_EQ(Finish(), Expected({Entry({4, L""}, {7, L""}, 0x1030, d)}));
}

TEST_F(ResWriter, LonePopUpEndsTheMenu) {
  gen_menu(t.DynMenu({FileMenu(t)}), 1, L"");
  Bytes d;
  Put32(d, 0);
  PutFileMenu(d, 0x0090);
  EXPECT_EQ(Finish(), Expected({Entry({4, L""}, {1, L""}, 0x1030, d)}));
}

TEST_F(ResWriter, LastTopLevelCommandAndPopUpOfSkippedItems) {
  menu_item* only = t.Txt(0, L"Odd", true, 0, {t.Item(2), t.Item(4)});
  gen_menu(t.DynMenu({only, t.Txt(5, L"Help", true, 0)}), 0, L"M");
  Bytes d;
  Put32(d, 0);
  Command(d, 0x0400, 0, L"Odd");  // a pop-up without writable items is a command
  Command(d, 0x0480, 5, L"Help");
  EXPECT_EQ(Finish(), Expected({Entry({4, L""}, {0, L"M"}, 0x1030, d)}));
}

TEST_F(ResWriter, MenusWithoutItemsOrNotDynamicWriteNothing) {
  menu_struct res = {1, 5}, none = {3, 0};
  gen_menu(&res, 1, L"");
  gen_menu(&none, 1, L"");
  gen_menu(t.DynMenu({}), 1, L"");
  gen_menu(t.DynMenu({t.Item(2), t.Item(4)}), 1, L"");
  EXPECT_EQ(Finish(), EmptyEntry());
}

TEST_F(ResWriter, LargeMenuKeepsItsTrueSize) {
  std::vector<menu_item*> items;
  std::wstring text(100, L'm');
  for (int i = 0; i < 400; ++i) items.push_back(t.Txt(i, text, true, 0));
  gen_menu(t.DynMenu({t.Txt(0, L"Big", true, 0, items)}), 1, L"");
  Bytes f = Finish();
  uint32_t expected = 4 + 2 + 8 + 400 * (2 + 2 + 202);
  ASSERT_GT(expected, 65535u);
  EXPECT_EQ(Read32(f.data() + 32), expected);
  EXPECT_EQ(f.size(), 32u + 32 + expected + 2);
}

}  // namespace
}  // namespace restest
