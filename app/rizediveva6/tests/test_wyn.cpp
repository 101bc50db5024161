// The drawing target on picture targets and a real window (Xvfb): the null
// and invalid targets, the compositions' pixels, the printer font, colour
// parts and counts.
#include "KWI/Wyn/wyn.h"

#include <string>

#include "wyn_test.h"

namespace rztest {
namespace {

constexpr uint32_t kWhite = 0xFFFFFF, kBlack = 0, kRed = 0xFF0000, kGreen = 0x00FF00;

class Wyn : public Rz {};

// Every operation that takes a target, called once on it; the results in
// call order.
std::vector<bool> AllOperations(wyndow t) {
  std::vector<pnt_struct> pts{{0, 0}, {5, 0}, {0, 5}};
  std::vector<pntlist_struct> cells;
  pen_struct pen;
  brush_struct brush;
  rect_struct r;
  int32_t w, h;
  const rect_struct box{1, 1, 20, 10};
  return {wyn::wdrawline(t, {0, 0}, {5, 5}),
          wyn::wdrawline(t, 0xFF, {0, 0}, {5, 5}),
          wyn::wdrawthickline(t, {0, 0}, {5, 5}),
          wyn::wdrawrect(t, box),
          wyn::wdrawroundrect(t, box, 3, 3),
          wyn::wdrawellipse(t, box),
          wyn::wdrawpolygon(t, PointList(pts, cells)),
          wyn::wdrawtextinrect(t, box, L"x", -1, nullptr),
          wyn::wdrawtext(t, 2, 12, L"x"),
          wyn::wsetbrush(t, {2, 0xFF}),
          wyn::wsetpen(t, {1, 0, 0xFF}),
          wyn::wsetbackmode(t, 1),
          wyn::wsetforecolor(t, 0xFF),
          wyn::wsetbackcolor(t, 0xFF),
          wyn::wdrawbutton(t, {2, 0xFF}, box),
          wyn::draw_striped_rect(t, 0xFF, 0xFF00, box),
          wyn::o_fade_rect(t, box, true, {0, 0, 0}, {255, 255, 255}),
          wyn::draw_tickinrect(t, box),
          wyn::wgetpen(t, &pen),
          wyn::wgetbrush(t, &brush),
          wyn::wgettextextent(t, L"x", -1, &w, &h),
          wyn::wgetclientrect(t, &r)};
}

TEST_F(Wyn, NullTargetDrawsNothingAndInvalidTargetFails) {
  const pen_struct savedPen = wyn::xpen;
  std::vector<bool> expected(22, true);
  expected[18] = expected[19] = expected[20] = false;  // the readers
  EXPECT_EQ(AllOperations(WNull()), expected);
  EXPECT_EQ(wyn::xpen.colour, savedPen.colour);  // no button saved anything
  rect_struct r{1, 2, 3, 4};
  ASSERT_TRUE(wyn::wgetclientrect(WNull(), &r));
  EXPECT_EQ((std::vector<int>{r.left, r.top, r.right, r.bottom}), (std::vector<int>{0, 0, 0, 0}));
  EXPECT_EQ(AllOperations({7, 0}), std::vector<bool>(22, false));
}

TEST_F(Wyn, ButtonRingsAndRestoredTools) {
  InTask([](HWND) {
    pen_struct pen{};
    brush_struct brush{};
    const Pixels px = DrawOnPicture(40, 30, [&](LONG_PTR p) {
      wyn::wsetpen(Screen(p), {1, 0, 0x0000FF});
      wyn::wsetbrush(Screen(p), {5, 0x00FF00});
      wyn::wdrawbutton(Screen(p), {2, 0x00FF00}, {5, 5, 35, 25});
      wyn::wgetpen(Screen(p), &pen);
      wyn::wgetbrush(Screen(p), &brush);
    });
    EXPECT_EQ(pen.colour, 0x0000FFu);
    EXPECT_EQ(brush.style, 5);
    struct Case {
      int x, y;
      uint32_t rgb;
    } cases[] = {{5, 5, kBlack},   {20, 5, kBlack},  {5, 15, kBlack},  {35, 15, kBlack},
                 {20, 25, kBlack}, {6, 6, kWhite},   {20, 6, kWhite},  {6, 15, kWhite},
                 {20, 24, 0x808080}, {34, 15, 0x808080}, {20, 15, kGreen}, {4, 4, kWhite},
                 {36, 15, kWhite}};
    for (const Case& c : cases) EXPECT_EQ(px.at(c.x, c.y), c.rgb) << c.x << "," << c.y;
  });
}

TEST_F(Wyn, FadeColumnsRunFromBlackToTheTargetColour) {
  InTask([](HWND) {
    const Pixels px = DrawOnPicture(300, 20, [](LONG_PTR p) {
      wyn::o_fade_rect(Screen(p), {10, 2, 265, 18}, true, {0, 0, 0}, {255, 255, 255});
    });
    for (int k = 0; k <= 255; ++k) {
      const uint32_t g = static_cast<uint32_t>(k);
      ASSERT_EQ(px.at(10 + k, 10), g << 16 | g << 8 | g) << "column " << k;
    }
    EXPECT_EQ(px.at(9, 10), kWhite);
    EXPECT_EQ(px.at(266, 10), kWhite);
  });
}

TEST_F(Wyn, FadeWithoutWidthAndPlainFill) {
  InTask([](HWND) {
    const Pixels warning = DrawOnPicture(140, 20, [](LONG_PTR p) {
      wyn::o_fade_rect(Screen(p), {10, 2, 10, 18}, true, {0, 0, 0}, {255, 255, 255});
    });
    EXPECT_EQ(warning.at(10, 10), kGreen);   // the frame
    EXPECT_EQ(warning.at(109, 10), kGreen);
    EXPECT_EQ(warning.at(111, 10), kWhite);
    int red = 0;
    for (int x = 11; x < 109; ++x) red += warning.at(x, 10) == kRed;
    EXPECT_GT(red, 0);  // hatched
    EXPECT_LT(red, 98);
    const Pixels plain = DrawOnPicture(40, 20, [](LONG_PTR p) {
      wyn::o_fade_rect(Screen(p), {5, 5, 30, 15}, false, {0x12, 0x34, 0x56}, {255, 255, 255});
    });
    EXPECT_EQ(plain.at(5, 10), kBlack);
    EXPECT_EQ(plain.at(15, 10), 0x123456u);
  });
}

TEST_F(Wyn, StripesEveryTwoStripeWidths) {
  InTask([](HWND) {
    // Height 20: S = 6, stripes from x = 1 + 12k along y = 1..7.
    const Pixels px = DrawOnPicture(80, 30, [](LONG_PTR p) {
      wyn::draw_striped_rect(Screen(p), 0xFFFFFF, 0x0000FF, {0, 0, 60, 20});
    });
    for (int k = 0; k < 4; ++k) {
      const int x = 1 + 12 * k;
      EXPECT_EQ(px.at(x + 2, 2), kRed) << k;
      EXPECT_EQ(px.at(x + 10, 2), kWhite) << k;
    }
    EXPECT_EQ(px.at(30, 15), kWhite);
    EXPECT_EQ(px.at(0, 15), kBlack);  // the caller's pen outlines the fill
  });
}

TEST_F(Wyn, StripesEndOnFlatOrOffscreenRectangles) {
  InTask([](HWND) {
    const Pixels flat = DrawOnPicture(80, 10, [](LONG_PTR p) {
      wyn::wsetpen(Screen(p), {1, 5, 0});
      wyn::draw_striped_rect(Screen(p), 0x00FF00, 0x0000FF, {0, 0, 60, 2});
    });
    EXPECT_EQ(flat.at(30, 0), kGreen);
    for (rect_struct r : {rect_struct{0, 0, 60, 1}, rect_struct{-50, 0, 0, 20}, rect_struct{-50, 0, -10, 20},
                          rect_struct{0, 20, 60, 0}})
      EXPECT_EQ(TrappedOnPicture(80, 30, [&](LONG_PTR p) {
                  wyn::draw_striped_rect(Screen(p), 0x00FF00, 0x0000FF, r);
                }),
                0u);
  });
}

TEST_F(Wyn, TickInAWideRectangleIsASquareCentredAcross) {
  InTask([](HWND) {
    const Pixels px = DrawOnPicture(100, 20, [](LONG_PTR p) { wyn::draw_tickinrect(Screen(p), {0, 0, 100, 20}); });
    // S = 20, X0 = 40: P1 (44, 14), P2 (48, 18), P3 (58, 4), P4 (48, 16).
    EXPECT_EQ(px.at(47, 16), kBlack);
    EXPECT_EQ(px.at(52, 12), kBlack);
    EXPECT_EQ(px.at(58, 4), kBlack);
    EXPECT_EQ(px.at(44, 14), kBlack);
    EXPECT_EQ(px.at(40, 5), kWhite);
    EXPECT_EQ(px.at(30, 10), kWhite);
    EXPECT_EQ(px.at(60, 10), kWhite);
  });
}

TEST_F(Wyn, ThickLineIsThreeLines) {
  InTask([](HWND) {
    const Pixels thick = DrawOnPicture(20, 5, [](LONG_PTR p) { wyn::wdrawthickline(Screen(p), {0, 0}, {10, 0}); });
    const Pixels three = DrawOnPicture(20, 5, [](LONG_PTR p) {
      for (auto [a, b] : {std::pair<pnt_struct, pnt_struct>{{0, 0}, {10, 0}}, {{1, 1}, {10, 0}}, {{0, 0}, {11, 1}}})
        draw_Line(p, &a, &b);
    });
    EXPECT_EQ(thick, three);
    EXPECT_EQ(thick.at(0, 0), kBlack);
    EXPECT_EQ(thick.at(1, 1), kBlack);
    EXPECT_EQ(thick.at(11, 1), kWhite);  // the last point is not drawn
    EXPECT_EQ(thick.at(10, 2), kWhite);
  });
}

TEST_F(Wyn, PrinterGetsThreeTimesTheFontSize) {
  InTask([](HWND) {
    std::vector<ilist_struct> bold{{ListCons, 1, nullptr}, {ListNil, 0, nullptr}};
    bold[0].next = &bold[1];
    uint8_t* font = font_Create(4, &bold[0], 10);
    rect_struct r{0, 0, 10, 10};
    for (auto [alt, size] : {std::pair{wyndow::prnt, 30}, {wyndow::screen, 10}}) {
      LONG_PTR p = pict_Open(&r);
      ASSERT_TRUE(wyn::wsetfont({alt, p}, font));
      ilist_struct* styles = nullptr;
      int got = 0;
      const std::wstring face = font_GetAttrs(win_GetFont(p), &styles, &got);
      EXPECT_EQ(got, size);
      EXPECT_EQ(kwitest::Values(styles), std::vector<int64_t>{1});
      EXPECT_EQ(face, std::wstring(font_GetAttrs(font, &styles, &got)));
      pict_Close(p);
    }
  });
}

TEST_F(Wyn, OverflowingCoordinatesRaise) {
  InTask([](HWND) {
    for (auto draw : std::vector<std::function<void(LONG_PTR)>>{
             [](LONG_PTR p) { wyn::wdrawthickline(Screen(p), {INT32_MAX, 0}, {0, 0}); },
             [](LONG_PTR p) { wyn::wdrawbutton(Screen(p), {2, 0}, {0, 0, INT32_MIN, 10}); },
             [](LONG_PTR p) { wyn::o_fade_rect(Screen(p), {INT32_MIN, 0, 10, 10}, true, {}, {}); },
             [](LONG_PTR p) { wyn::draw_tickinrect(Screen(p), {0, INT32_MIN, 10, 10}); }})
      EXPECT_EQ(ErrorNumber(TrappedOnPicture(10, 10, draw)), 1u);
    EXPECT_TRUE(IsRangeError(TrappedOnPicture(10, 10, [](LONG_PTR p) {
      wyn::wdrawtext(Screen(p), 0x80000000u, 0, L"x");
    })));
  });
}

// One routine on a picture target and on the task window: the same pixels
// outside the text.
void Routine(wyndow t) {
  std::vector<pnt_struct> pts{{150, 10}, {190, 30}, {160, 50}};
  std::vector<pntlist_struct> cells;
  wyn::wdrawbutton(t, {2, 0xC0C0C0}, {5, 5, 60, 25});
  wyn::draw_striped_rect(t, 0xFFFFFF, 0x0000FF, {5, 30, 80, 50});
  wyn::o_fade_rect(t, {5, 55, 100, 70}, true, {0, 0, 255}, {255, 0, 0});
  wyn::draw_tickinrect(t, {100, 5, 140, 25});
  wyn::wdrawthickline(t, {100, 30}, {140, 50});
  wyn::wsetbrush(t, {2, 0x00FF00});
  wyn::wdrawpolygon(t, PointList(pts, cells));
  wyn::wdrawrect(t, {200, 5, 230, 25});
  wyn::wdrawtext(t, 110, 90, L"Text");
}

TEST_F(Wyn, WindowAndPictureGetTheSamePixels) {
  InTask([](HWND task) {
    const LONG_PTR w = reinterpret_cast<LONG_PTR>(task);
    win_Clear_0(w, 0xFFFFFF);
    const rect_struct area{0, 0, 240, 80};  // the text lies below it
    Routine(Screen(w));
    const Pixels onWindow = WindowPixels(w, area);
    const Pixels onPicture = DrawOnPicture(240, 100, [](LONG_PTR p) { Routine(Screen(p)); });
    ASSERT_EQ(onWindow.w, 240);
    for (int y = 0; y < 80; ++y)
      for (int x = 0; x < 240; ++x) ASSERT_EQ(onWindow.at(x, y), onPicture.at(x, y)) << x << "," << y;
  });
}

TEST_F(Wyn, ColourPartsRandomColoursAndCounts) {
  struct Case {
    int32_t colour;
    uint32_t r, g, b;
  } cases[] = {{0x123456, 0x56, 0x34, 0x12}, {0x1FFFFFF, 255, 255, 511}, {0, 0, 0, 0}, {0xFF, 255, 0, 0}};
  for (const Case& c : cases) {
    const rgb parts = wyn::decompose(c.colour);
    EXPECT_EQ((std::vector<uint32_t>{parts.red, parts.green, parts.blue}), (std::vector<uint32_t>{c.r, c.g, c.b}));
  }
  EXPECT_TRUE(IsRangeError(RunTrapped([] { wyn::decompose(-1); })));
  for (int i = 0; i < 2000; ++i) {
    const rgb grey = wyn::decompose(wyn::random_grey_color());
    ASSERT_TRUE(grey.red == grey.green && grey.green == grey.blue && grey.red < 255);
    const rgb any = wyn::decompose(wyn::random_color());
    ASSERT_TRUE(any.red < 255 && any.green < 255 && any.blue < 255);
  }
  EXPECT_EQ(wyn::count(Nil<int32_t>()), 0u);
  EXPECT_EQ(wyn::count(MakeList<const wchar_t*>({L"a", L"b", L"c"})), 3u);
  EXPECT_EQ(wyn::xcount, 3u);
}

TEST_F(Wyn, RadioGroupChecksTheNthButton) {
  InTask([](HWND task) {
    const LONG_PTR w = reinterpret_cast<LONG_PTR>(task);
    std::vector<ilist_struct> none{{ListNil, 0, nullptr}};
    for (int id = 0; id < 4; ++id) {
      rect_struct r{10, 10 + 25 * id, 100, 30 + 25 * id};
      win_CreateControl(wt_radiobutton, &r, L"r", w, none.data(), 301 + id);
    }
    const auto checked = [&] {
      std::vector<int> on;
      for (int id = 301; id <= 304; ++id) on.push_back(IsDlgButtonChecked(task, id) == BST_CHECKED);
      return on;
    };
    CheckDlgButton(task, 304, BST_CHECKED);
    wyn::check_nth_radio(w, 302, MakeList<int32_t>({301, 302, 303}));
    EXPECT_EQ(checked(), (std::vector<int>{0, 1, 0, 1}));  // 304 is not in the group
    wyn::check_nth_radio(w, 303, MakeList<int32_t>({301, 302, 303}));
    EXPECT_EQ(checked(), (std::vector<int>{0, 0, 1, 1}));
    // A missing control: no change, no error.
    EXPECT_EQ(RunTrapped([&] { wyn::check_nth_radio(w, 301, MakeList<int32_t>({301, 999})); }), 0u);
    EXPECT_EQ(RunTrapped([&] { wyn::check_nth_radio(w, 999, MakeList<int32_t>({301, 302})); }), 0u);
    EXPECT_EQ(checked(), (std::vector<int>{0, 0, 1, 1}));
  });
}

// The folder of this test program, with a backslash at its end.
std::wstring OwnFolder() {
  wchar_t self[MAX_PATH];
  std::wstring dir(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
  return dir.erase(dir.find_last_of(L'\\') + 1);
}

std::string ReadAll(const std::wstring& path) {
  std::string text;
  if (FILE* f = _wfopen(path.c_str(), L"rb")) {
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
    fclose(f);
  }
  return text;
}

// The association lives in the prefix's classes root (Wine's shell does not
// read the user's classes) and is removed at the end.
TEST_F(Wyn, OpenAFileStartsTheAssociatedProgramShown) {
  const std::wstring dir = OwnFolder(), out = dir + L"rz_open_stub.txt", doc = dir + L"sample file.kwyntest";
  DeleteFileW(out.c_str());
  FILE* f = _wfopen(doc.c_str(), L"wb");
  ASSERT_TRUE(f);
  fclose(f);
  const std::wstring command = L"\"" + dir + L"rz_open_stub.exe\" \"%1\"";
  HKEY ext, open;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, L".kwyntest", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &ext, nullptr), ERROR_SUCCESS);
  RegSetValueExW(ext, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(L"kwyntestfile"), 26);
  RegCloseKey(ext);
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, L"kwyntestfile\\shell\\open\\command", 0,
                            nullptr, 0, KEY_ALL_ACCESS, nullptr, &open, nullptr), ERROR_SUCCESS);
  RegSetValueExW(open, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                 static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(open);
  wyn::open_a_file(doc.c_str());
  for (int i = 0; i < 200 && GetFileAttributesW(out.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(50);
  const std::string written = ReadAll(out);
  DeleteFileW(out.c_str());
  RegDeleteTreeW(HKEY_CLASSES_ROOT, L".kwyntest");
  RegDeleteTreeW(HKEY_CLASSES_ROOT, L"kwyntestfile");
  DeleteFileW(doc.c_str());
  EXPECT_NE(written.find("sample file.kwyntest\"\n"), std::string::npos) << written;
  EXPECT_NE(written.find("\n1\n"), std::string::npos) << written;  // SW_SHOWNORMAL
}

}  // namespace
}  // namespace rztest
