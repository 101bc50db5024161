// Window operations, drawing, pictures, fonts, cursors and carets on real
// windows; pixels are read back from pictures and memory contexts, bitmap
// files are checked against Pillow run as a Unix program.
#include <gtest/gtest.h>

#include <cstdio>

#include "checks.h"
#include "gui.h"
#include "pixels.h"
#include "unix_program.h"

using namespace QEL_KWI;
using namespace kwitest;
namespace K = Qel::RunTime::Kernel;

namespace {

using testing_unix::UnixPath;

// Runs the Pillow helper (beside this source) and waits for the file that it
// writes last.
bool Pillow(const std::string& args, const std::wstring& last) {
  return testing_unix::RunUnixProgram("/usr/bin/python3 " KWI_TESTS_DIR "/pillow_helper.py " + args, last);
}

// Pillow's pixels of a file, turned.
Pixels PillowPixels(const std::wstring& file, int turns) {
  std::wstring raw = TempDir(L"kwi_draw_tests") + L"raw.bin";
  Pixels p;
  if (!Pillow("raw " + UnixPath(file) + " " + UnixPath(raw) + " " + std::to_string(turns), raw)) return p;
  std::vector<uint8_t> b = ReadBytes(raw);
  auto nl = std::find(b.begin(), b.end(), '\n');
  if (nl == b.end() || sscanf(std::string(b.begin(), nl).c_str(), "%d %d", &p.w, &p.h) != 2) return p;
  for (size_t i = static_cast<size_t>(nl - b.begin()) + 1; i + 3 <= b.size(); i += 3)
    p.rgb.push_back(b[i] << 16 | b[i + 1] << 8 | b[i + 2]);
  return p;
}

// A picture from the bytes of a DIB (no file header).
picture PictureOf(const std::vector<uint8_t>& dib) {
  auto* block = static_cast<uint8_t*>(K::Memory::AllocAtomicHeap(static_cast<uint32_t>(dib.size()) + 4));
  uint32_t size = static_cast<uint32_t>(dib.size()) + 4;
  memcpy(block, &size, 4);
  memcpy(block + 4, dib.data(), dib.size());
  return block;
}

std::vector<uint8_t> InfoHeader(int w, int h, int bits, uint32_t compression, uint32_t clrUsed,
                                uint32_t imageSize = 0) {
  BITMAPINFOHEADER bi{sizeof bi, w, h, 1, static_cast<WORD>(bits), compression, imageSize, 0, 0, clrUsed, 0};
  std::vector<uint8_t> v(sizeof bi);
  memcpy(v.data(), &bi, sizeof bi);
  return v;
}

// ---------------------------------------------------------------------------

TEST(Rectangles, Arithmetic) {
  rect_struct a{0, 0, 10, 10}, edge{10, 0, 20, 10}, apart{11, 11, 20, 20}, inner{2, 3, 4, 5};
  struct Case {
    const char* what;
    rect_struct* got;
    rect_struct want;
  } cases[] = {
      {"edge shared", rect_Intersect(&a, &edge), {10, 0, 10, 10}},
      {"disjoint", rect_Intersect(&a, &apart), {0, 0, 0, 0}},
      {"inside", rect_Intersect(&a, &inner), {2, 3, 4, 5}},
      {"union", rect_Union(&inner, &apart), {2, 3, 20, 20}},
      {"inflate", rect_Inflate(&inner, 2, -1), {0, 4, 6, 4}},
      {"offset", rect_Offset(&inner, -2, 7), {0, 10, 2, 12}},
  };
  for (auto& c : cases) {
    EXPECT_EQ(c.got->left, c.want.left) << c.what;
    EXPECT_EQ(c.got->top, c.want.top) << c.what;
    EXPECT_EQ(c.got->right, c.want.right) << c.what;
    EXPECT_EQ(c.got->bottom, c.want.bottom) << c.what;
  }
  pnt_struct corner{10, 10}, out{11, 5};
  EXPECT_TRUE(Succeeds([&] { rect_PntInside(&a, &corner); }));
  EXPECT_FALSE(Succeeds([&] { rect_PntInside(&a, &out); }));
  rect_struct flat{3, 4, 3, 9};
  EXPECT_TRUE(Succeeds([&] { rect_IsEmpty(&flat); }));
  EXPECT_FALSE(Succeeds([&] { rect_IsEmpty(&a); }));
}

TEST(Attributes, InsetSetBeforeInitSurvives) {
  kwi_SetAttrVal(10004, 7);
  kwi_SetAttrVal(408, 55);
  EXPECT_EQ(kwi_GetAttrVal(10004), 7);
  LONG_PTR inside = 0, module = 0, task = 0;
  RunInTask([&](HWND t) {
    inside = kwi_GetAttrVal(10004);
    module = kwi_GetAttrVal(10001);
    task = kwi_GetAttrVal(301);
  });
  kwi_SetAttrVal(10004, 0);
  EXPECT_EQ(inside, 7);
  EXPECT_EQ(kwi_GetAttrVal(408), 55);
  EXPECT_EQ(module, reinterpret_cast<LONG_PTR>(GetModuleHandleW(nullptr)));
  EXPECT_NE(task, 0);
  RaiseLog raises;
  EXPECT_EQ(kwi_GetAttrVal(99), 0);
  EXPECT_EQ(raises.Take(), std::vector<int>{6010});
}

struct TopLevel {
  Terms t;
  std::vector<std::string> log;
  Closure closure{[this](HWND, event_struct* e) -> LONG_PTR {
    if (e->kind == e_state) {
      auto* info = reinterpret_cast<const uintptr_t*>(e->w[0]);
      log.push_back("state " + std::to_string(info[0]));
      return 0;
    }
    Fail();
  }};
  HWND Create(std::initializer_list<int64_t> flags) {
    rect_struct r{40, 40, 340, 240};
    return reinterpret_cast<HWND>(win_Create(wt_toplevel, &r, L"top", t.NoMenu(),
                                             L(GetDesktopWindow()), t.Flags(flags), &closure, 0));
  }
};

TEST(WindowOps, StateMoveAndStateEvents) {
  TopLevel top;
  std::vector<int64_t> state;
  RECT before{}, after{}, frame{};
  std::vector<std::string> events;
  RunInTask([&](HWND) {
    HWND w = top.Create({2, 9, 6, 5, 4, 8, 7, 10});
    ASSERT_TRUE(w);
    EXPECT_EQ(win_GetType(L(w)), wt_toplevel);
    state = Values(win_GetState(L(w)));
    GetWindowRect(w, &before);
    frame = RECT{0, 0, 300, 200};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(w, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(w, GWL_EXSTYLE)));
    rect_struct* outer = win_GetOuterRect(L(w));
    win_Move(L(w), outer);  // a client rectangle: the window grows by its frame
    GetWindowRect(w, &after);
    Terms t;
    top.log.clear();
    win_SetState(L(w), t.Flags({10, 11}));
    events = top.log;
    EXPECT_FALSE(IsWindowVisible(w));
    DestroyWindow(w);
  });
  EXPECT_EQ(state, (std::vector<int64_t>{2, 9, 6, 5, 4, 8, 7, 16, 10, 13}));
  // The outer rectangle taken as a client rectangle grows by the frame.
  EXPECT_EQ(after.right - after.left, (before.right - before.left) + (frame.right - frame.left) - 300);
  EXPECT_EQ(after.bottom - after.top, (before.bottom - before.top) + (frame.bottom - frame.top) - 200);
  EXPECT_GT(frame.right - frame.left, 300);
  EXPECT_EQ(events, (std::vector<std::string>{"state 6", "state 5"}));
}

TEST(WindowOps, TextScrollBarsAndChecks) {
  std::wstring text;
  std::vector<std::string> log;
  int hpos = -1, vpos = -1;
  std::vector<int> raised;
  RunInTask([&](HWND task) {
    TopLevel top;
    HWND w = top.Create({9, 7, 8, 10});
    win_SetText(L(w), L"a\nb");
    wchar_t raw[16];
    GetWindowTextW(w, raw, 16);
    EXPECT_STREQ(raw, L"a\r\nb");
    text = win_GetText(L(w));
    log = top.log;
    win_SetScrollRange(L(w), 0, 0, 100);
    win_SetScrollRange(L(w), 1, 0, 100);
    kwi_ArgValidation(0);
    win_SetScrollPos(L(w), 5, 40);  // bar 0 without validation
    kwi_ArgValidation(1);
    hpos = GetScrollPos(w, SB_HORZ);
    vpos = GetScrollPos(w, SB_VERT);
    RaiseLog raises;
    win_SetScrollPos(L(w), 7, 10);  // 6010, then bar 0 as well
    win_SelectText(L(w), 3, 1);
    win_GetCtlHandle(L(w), 4711);
    EXPECT_EQ(win_GetType(L(w) + 0x100000), 0);
    raised = raises.Take();
    EXPECT_EQ(GetScrollPos(w, SB_HORZ), 10);
    DestroyWindow(w);
  });
  EXPECT_EQ(text, L"a\nb");
  EXPECT_EQ(log, std::vector<std::string>{"state 2"});
  EXPECT_EQ(hpos, 40);
  EXPECT_EQ(vpos, 0);
  EXPECT_EQ(raised, (std::vector<int>{6010, 6314, 6316, 6000}));
}

// ---------------------------------------------------------------------------
// Drawing into pictures.

struct PictureCase {
  const char* what;
  std::function<void(LONG_PTR)> draw;
  std::function<void(const Pixels&)> check;
};

void RunPictureCases(const std::vector<PictureCase>& cases) {
  RunInTask([&](HWND) {
    for (const auto& c : cases) {
      rect_struct r{0, 0, 40, 30};
      LONG_PTR p = pict_Open(&r);
      ASSERT_TRUE(p) << c.what;
      EXPECT_EQ(win_GetType(p), wt_picture);
      c.draw(p);
      picture pic = pict_Close(p);
      ASSERT_TRUE(pic) << c.what;
      SCOPED_TRACE(c.what);
      c.check(Decode(pic));
    }
  });
}

constexpr uint32_t White = 0xFFFFFF, Black = 0, Red = 0xFF0000, Cyan = 0x00FFFF;

TEST(Drawing, PixelsReadBack) {
  std::vector<PictureCase> cases = {
      {"fresh picture is white, 24 bits from the 32-bit screen", [](LONG_PTR) {},
       [](const Pixels& p) {
         HDC screen = GetDC(nullptr);
         EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 32);
         ReleaseDC(nullptr, screen);
         EXPECT_EQ(p.w, 40);
         EXPECT_EQ(p.h, 30);
         EXPECT_EQ(p.bits, 24);
         EXPECT_EQ(std::count(p.rgb.begin(), p.rgb.end(), White), 40 * 30);
       }},
      {"pen style 9 draws solid and reads back 0",
       [](LONG_PTR w) {
         pen_struct pen{1, 9, 0x0000FF};
         win_SetPen(w, &pen);
         EXPECT_EQ(win_GetPen(w)->style, 0);
         pnt_struct a{0, 5}, b{40, 5};
         draw_Line(w, &a, &b);
       },
       [](const Pixels& p) {
         for (int x = 0; x < 40; ++x) EXPECT_EQ(p.at(x, 5), Red) << x;
       }},
      {"horizontal and vertical hatches",
       [](LONG_PTR w) {
         pen_struct none{1, 5, 0};
         win_SetPen(w, &none);
         brush_struct h{3, 0}, v{4, 0};
         win_SetBrush(w, &h);
         rect_struct left{0, 0, 20, 30}, right{20, 0, 40, 30};
         draw_Rect(w, &left);
         win_SetBrush(w, &v);
         draw_Rect(w, &right);
         EXPECT_EQ(win_GetBrush(w)->style, 4);
       },
       [](const Pixels& p) {
         int fullRows = 0, fullCols = 0;
         for (int y = 0; y < 29; ++y) {
           bool all = true;
           for (int x = 0; x < 19; ++x) all = all && p.at(x, y) == Black;
           fullRows += all;
         }
         for (int x = 20; x < 39; ++x) {
           bool all = true;
           for (int y = 0; y < 29; ++y) all = all && p.at(x, y) == Black;
           fullCols += all;
         }
         EXPECT_GE(fullRows, 3);
         EXPECT_LE(fullRows, 4);
         EXPECT_GE(fullCols, 2);
         EXPECT_LE(fullCols, 3);
       }},
      {"XOR twice restores, once inverts",
       [](LONG_PTR w) {
         pen_struct red{1, 0, 0x0000FF};
         win_SetPen(w, &red);
         win_SetDrawMode(w, R2_XORPEN - 1);
         EXPECT_EQ(win_GetDrawMode(w), R2_XORPEN - 1);
         pnt_struct a{0, 3}, b{40, 3}, c{0, 9}, d{40, 9};
         draw_Line(w, &a, &b);
         draw_Line(w, &a, &b);
         draw_Line(w, &c, &d);
       },
       [](const Pixels& p) {
         EXPECT_EQ(p.at(10, 3), White);
         EXPECT_EQ(p.at(10, 9), Cyan);
       }},
      {"anisotropic mapping doubles",
       [](LONG_PTR w) {
         win_SetMapMode(w, 0);
         pnt_struct wo{0, 0}, we{100, 100}, vo{0, 0}, ve{200, 200};
         win_SetMapScale(w, &wo, &we, &vo, &ve);
         EXPECT_EQ(win_GetMapMode(w), 0);
         pnt_struct at{5, 6};
         draw_Pixel(w, &at, 0x0000FF);
       },
       [](const Pixels& p) {
         EXPECT_EQ(p.at(10, 12), Red);
         EXPECT_EQ(p.at(5, 6), White);
       }},
      {"clip keeps the outside",
       [](LONG_PTR w) {
         rect_struct clip{10, 10, 20, 20};
         win_SetClip(w, &clip);
         rect_struct* got = win_GetClip(w);
         EXPECT_EQ(got->right, 20);
         win_Clear_0(w, 0);
       },
       [](const Pixels& p) {
         EXPECT_EQ(p.at(15, 15), Black);
         EXPECT_EQ(p.at(9, 15), White);
         EXPECT_EQ(p.at(20, 15), White);
         EXPECT_EQ(p.at(15, 9), White);
       }},
      {"text baseline: H ends on row 19",
       [](LONG_PTR w) { draw_Text(w, 10, 20, L"HHH", 1); },
       [](const Pixels& p) {
         int lowest = -1, rightmost = -1;
         for (int y = 0; y < p.h; ++y)
           for (int x = 0; x < p.w; ++x)
             if (p.at(x, y) != White) lowest = y, rightmost = std::max(rightmost, x);
         EXPECT_EQ(lowest, 19);
         EXPECT_LT(rightmost, 25);  // one character of three
       }},
  };
  RunPictureCases(cases);
}

TEST(Drawing, DefaultsAndGuards) {
  std::vector<int> raised;
  LONG_PTR fifth = 0, again = 0;
  RunInTask([&](HWND task) {
    drawtools_struct* d = win_GetDefaultDrawTools();
    EXPECT_EQ(d->drawMode, 12);
    EXPECT_EQ(d->brush->colour, 0xFFFFFFu);
    EXPECT_EQ(d->backMode, 1);
    TopLevel top;
    HWND w = top.Create({9, 10});
    rect_struct* clip = win_GetClip(L(w));
    EXPECT_EQ(clip->left, -32000);
    EXPECT_EQ(clip->bottom, 32000);
    RaiseLog raises;
    rect_struct r{0, 0, 10, 10}, empty{5, 5, 5, 9}, inverted{9, 9, 1, 1};
    EXPECT_EQ(pict_Open(&empty), 0);
    EXPECT_EQ(pict_Open(&inverted), 0);
    LONG_PTR open[4];
    for (auto& p : open) p = pict_Open(&r);
    fifth = pict_Open(&r);
    pict_Close(open[0]);
    again = pict_Open(&r);
    pict_Close(again);
    for (int i = 1; i < 4; ++i) pict_Close(open[i]);
    ilist_struct one{ListCons, 1, nullptr};
    ilist_struct end{ListNil, 0, nullptr};
    one.next = &end;
    draw_TextInRect(L(w), &r, L"x", -1, &one);
    pict_Close(L(w));
    raised = raises.Take();
    DestroyWindow(w);
  });
  EXPECT_EQ(fifth, 0);
  EXPECT_NE(again, 0);
  EXPECT_EQ(raised, (std::vector<int>{6002, 6002, 6104, 6010, 6102}));
}

TEST(Drawing, EraseEventRefusesOtherWindows) {
  std::vector<int> raised;
  RunInTask([&](HWND task) {
    RaiseLog raises;
    Terms t;
    HWND other = nullptr;
    Closure erasing([&](HWND w, event_struct* e) -> LONG_PTR {
      if (e->kind != e_erasebackground || !other) Fail();
      pnt_struct a{0, 0}, b{5, 5};
      draw_Line(L(other), &a, &b);
      return 0;
    });
    rect_struct r{0, 0, 50, 50};
    HWND w = reinterpret_cast<HWND>(win_Create(wt_child, &r, L"", t.NoMenu(), L(task), t.Flags({}), &erasing, 0));
    other = reinterpret_cast<HWND>(win_Create(wt_child, &r, L"", t.NoMenu(), L(task), t.Flags({}), &erasing, 0));
    HDC dc = GetDC(w);
    SendMessageW(w, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    ReleaseDC(w, dc);
    raised = raises.Take();
    DestroyWindow(w);
    DestroyWindow(other);
  });
  EXPECT_EQ(raised, std::vector<int>{6231});
}

TEST(Drawing, UpdateEventDrawsOnTheHeldContext) {
  uint32_t inside = 0;
  RunInTask([&](HWND task) {
    Terms t;
    HDC held = nullptr;
    Closure painting([&](HWND w, event_struct* e) -> LONG_PTR {
      if (e->kind != e_update) Fail();
      int acquired = 1;
      held = win_GetNativeGraphicContext(L(w), &acquired);
      EXPECT_EQ(acquired, 0);
      brush_struct b{2, 0x00FF00};
      win_SetBrush(L(w), &b);
      rect_struct r{0, 0, 60, 60};
      draw_Rect(L(w), &r);
      return 0;
    });
    rect_struct r{0, 0, 60, 60};
    HWND w = reinterpret_cast<HWND>(
        win_Create(wt_child, &r, L"", t.NoMenu(), L(task), t.Flags({10}), &painting, 0));
    UpdateWindow(w);
    InvalidateRect(w, nullptr, FALSE);
    UpdateWindow(w);
    EXPECT_TRUE(held);
    picture p = pict_GetFromWin(L(w), &r);
    ASSERT_TRUE(p);
    EXPECT_EQ(Decode(p).bits, 24);
    inside = Decode(p).at(30, 30);
    DestroyWindow(w);
  });
  EXPECT_EQ(inside, 0x00FF00u);
}

// A context held outside a paint draws with the window's tools (set before
// it was taken and while it is held) and, once let go, drawing takes a fresh one.
TEST(Drawing, AContextHeldOutsideAPaintHasTheWindowsToolsUntilItIsLetGo) {
  uint32_t before = 0, held = 0, after = 0;
  int acquired = 0;
  RunInTask([&](HWND task) {
    Terms t;
    Closure none([](HWND, event_struct*) -> LONG_PTR { Fail(); });
    rect_struct r{0, 0, 60, 60};
    HWND w = reinterpret_cast<HWND>(win_Create(wt_child, &r, L"", t.NoMenu(), L(task), t.Flags({}), &none, 0));
    UpdateWindow(w);
    brush_struct green{2, 0x00FF00}, red{2, 0x0000FF}, blue{2, 0xFF0000};
    win_SetBrush(L(w), &green);
    HDC dc = win_GetNativeGraphicContext(L(w), &acquired);
    rect_struct left{0, 0, 30, 60}, right{30, 0, 60, 60}, corner{0, 0, 30, 30};
    draw_Rect(L(w), &left);
    win_SetBrush(L(w), &red);
    draw_Rect(L(w), &right);
    win_ReleaseNativeGraphicContext(L(w), dc, 1);
    win_SetBrush(L(w), &blue);
    draw_Rect(L(w), &corner);
    picture p = pict_GetFromWin(L(w), &r);
    ASSERT_TRUE(p);
    before = Decode(p).at(15, 45);
    held = Decode(p).at(45, 30);
    after = Decode(p).at(15, 15);
    DestroyWindow(w);
  });
  EXPECT_EQ(acquired, 1);
  EXPECT_EQ(before, 0x00FF00u);
  EXPECT_EQ(held, 0xFF0000u);   // pixels read as 0xRRGGBB
  EXPECT_EQ(after, 0x0000FFu);
}

// ---------------------------------------------------------------------------
// Pictures and files.

TEST(Pictures, PillowFilesRoundTripAndRotate) {
  std::wstring dir = TempDir(L"kwi_draw_tests");
  ASSERT_TRUE(Pillow("make " + UnixPath(dir), dir + L"made.ok")) << "Pillow helper";
  RunInTask([&](HWND) {
    for (const wchar_t* name : {L"p1.bmp", L"p8.bmp", L"p24.bmp"}) {
      SCOPED_TRACE(Narrow(name));
      std::wstring in = dir + name, out = dir + L"saved_" + name;
      picture p = pict_Load(in.c_str());
      ASSERT_TRUE(p);
      pict_Save(p, out.c_str());
      EXPECT_EQ(ReadBytes(in), ReadBytes(out));
      int w, h, size;
      pict_GetSize(p, &w, &h, &size);
      EXPECT_EQ(w, 13);
      EXPECT_EQ(h, 7);
      EXPECT_EQ(static_cast<size_t>(size), ReadBytes(in).size() - 14);
      EXPECT_EQ(pict_FromBin(pict_ToBin(p)), p);
      for (int turns = 0; turns < 4; ++turns) {
        Pixels mine = Decode(pict_Rotate(p, turns)), ref = PillowPixels(in, turns);
        EXPECT_EQ(mine.w, ref.w) << turns;
        EXPECT_EQ(mine.rgb, ref.rgb) << turns;
      }
    }
  });
}

TEST(Pictures, SavedDrawingReadsTheSameInPillow) {
  std::wstring file = TempDir(L"kwi_draw_tests") + L"drawing.bmp";
  Pixels mine, rotated;
  picture pic = nullptr;
  RunInTask([&](HWND) {
    rect_struct r{0, 0, 31, 17};
    LONG_PTR w = pict_Open(&r);
    brush_struct b{2, 0x3080F0};
    win_SetBrush(w, &b);
    rect_struct box{3, 2, 20, 12};
    draw_Ellipse(w, &box);
    draw_Text(w, 2, 15, L"Kw", -1);
    pic = pict_Close(w);
    pict_Save(pic, file.c_str());
    mine = Decode(pic);
    rotated = Decode(pict_Rotate(pic, 3));
  });
  EXPECT_EQ(mine.rgb, PillowPixels(file, 0).rgb);
  EXPECT_EQ(rotated.bits, 24);
  EXPECT_EQ(rotated.rgb, PillowPixels(file, 3).rgb);
}

// 8 x 4 pictures run-length coded by hand (encoded and absolute runs, end of
// line, delta, end of bitmap), and the same pixels uncompressed: Pillow's
// run-length readers here mishandle deltas and 4-bit data, so Pillow turns
// the uncompressed twin.
struct RleFixture {
  std::vector<uint8_t> rle, plain;
};

RleFixture MakeRleFixture(bool rle4) {
  std::vector<uint8_t> data, rows;  // rows: stored order, bottom row first
  if (!rle4) {
    data = {3, 1, 0, 5, 2, 3, 4, 5, 6, 0, 0, 0, 8, 7, 0, 0, 0, 2, 2, 1, 2, 9, 0, 1};
    rows = {1, 1, 1, 2, 3, 4, 5, 6, 7, 7, 7, 7, 7, 7, 7, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9, 9, 0, 0, 0, 0};
  } else {
    data = {4, 0x12, 0, 4, 0x34, 0x56, 0, 0, 8, 0x7A, 0, 0, 3, 0xBC, 0, 1};
    rows = {0x12, 0x12, 0x34, 0x56, 0x7A, 0x7A, 0x7A, 0x7A, 0xBC, 0xB0, 0, 0, 0, 0, 0, 0};
  }
  int colours = rle4 ? 16 : 256;
  std::vector<uint8_t> table;
  for (int i = 0; i < colours; ++i) table.insert(table.end(), {uint8_t(i * 13), uint8_t(i * 7), uint8_t(255 - i), 0});
  RleFixture f;
  f.rle = InfoHeader(8, 4, rle4 ? 4 : 8, rle4 ? BI_RLE4 : BI_RLE8, colours, static_cast<uint32_t>(data.size()));
  f.rle.insert(f.rle.end(), table.begin(), table.end());
  f.rle.insert(f.rle.end(), data.begin(), data.end());
  f.plain = InfoHeader(8, 4, rle4 ? 4 : 8, BI_RGB, colours);
  f.plain.insert(f.plain.end(), table.begin(), table.end());
  f.plain.insert(f.plain.end(), rows.begin(), rows.end());
  return f;
}

std::vector<uint8_t> BmpFile(const std::vector<uint8_t>& dib, uint32_t bitsOffset) {
  std::vector<uint8_t> b = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0};
  uint32_t size = static_cast<uint32_t>(dib.size() + 14), off = 14 + bitsOffset;
  memcpy(b.data() + 2, &size, 4);
  b.insert(b.end(), {uint8_t(off), uint8_t(off >> 8), 0, 0});
  b.insert(b.end(), dib.begin(), dib.end());
  return b;
}

TEST(Pictures, RunLengthFixturesRotateLikePillow) {
  for (bool rle4 : {false, true}) {
    SCOPED_TRACE(rle4 ? "RLE4" : "RLE8");
    RleFixture f = MakeRleFixture(rle4);
    std::wstring twin = TempDir(L"kwi_draw_tests") + (rle4 ? L"plain4.bmp" : L"plain8.bmp");
    WriteBytes(twin, BmpFile(f.plain, 40 + (rle4 ? 64 : 1024)));
    picture p = PictureOf(f.rle);
    for (int turns = 0; turns < 4; ++turns)
      EXPECT_EQ(Decode(pict_Rotate(p, turns)).rgb, PillowPixels(twin, turns).rgb) << turns;
  }
}

TEST(Pictures, BadInputGives6101) {
  std::wstring dir = TempDir(L"kwi_draw_tests");
  auto file = [&](const char* name, std::vector<uint8_t> bytes) {
    std::wstring f = dir + std::wstring(name, name + strlen(name));
    WriteBytes(f, bytes);
    return f;
  };
  auto bmp = [](std::vector<uint8_t> dib) {
    std::vector<uint8_t> b = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0};
    b.insert(b.end(), dib.begin(), dib.end());
    return b;
  };
  std::vector<uint8_t> good = InfoHeader(2, 2, 24, BI_RGB, 0);
  good.resize(40 + 16);
  std::vector<uint8_t> truncated = good;
  truncated.resize(40 + 12);
  std::vector<uint8_t> huge = InfoHeader(100000, 100000, 24, BI_RGB, 0);
  huge.resize(200);
  std::vector<uint8_t> manyColours = InfoHeader(2, 2, 8, BI_RGB, 0x80000000u);
  manyColours.resize(100);
  std::vector<uint8_t> planes = good;
  planes[12] = 2;
  std::vector<uint8_t> icon0 = {0, 0, 1, 0, 0, 0};
  icon0.resize(40);
  std::vector<uint8_t> png = {0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0, 20, 0, 0, 0, 22, 0, 0, 0};
  png.insert(png.end(), {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0, 16});
  std::vector<std::wstring> bad = {
      file("empty.bmp", {}),
      file("short.bmp", {'B', 'M', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}),
      file("truncated.bmp", bmp(truncated)),
      file("huge.bmp", bmp(huge)),
      file("colours.bmp", bmp(manyColours)),
      file("planes.bmp", bmp(planes)),
      file("icon0.ico", icon0),
      file("png.ico", png),
      file("text.bmp", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!', '!', '!'}),
  };
  RaiseLog raises;
  for (auto& f : bad) {
    EXPECT_EQ(pict_Load(f.c_str()), nullptr) << Narrow(f);
    EXPECT_EQ(raises.Take(), std::vector<int>{6101}) << Narrow(f);
  }
  EXPECT_EQ(pict_Load((dir + L"missing.bmp").c_str()), nullptr);
  EXPECT_EQ(raises.Take(), std::vector<int>{6005});
  EXPECT_TRUE(pict_Load(file("good.bmp", bmp(good)).c_str()));
  // A binary whose size word claims more than its DIB holds, and endless
  // run-length data, stay inside their blocks.
  std::vector<uint8_t> endless = InfoHeader(4, 4, 8, BI_RLE8, 256, 10000);
  endless.resize(40 + 1024);
  for (int i = 0; i < 5000; ++i) endless.insert(endless.end(), {255, 7});
  picture rle = PictureOf(endless);
  Pixels turned = Decode(pict_Rotate(rle, 1));
  EXPECT_EQ(turned.w, 4);
  EXPECT_EQ(pict_FromBin(PictureOf(truncated) + 4), nullptr);
  EXPECT_EQ(raises.Take(), std::vector<int>{6101});
}

// An RLE8 picture of 5,164 bytes (header, table, 4,100 bytes of single-pixel
// runs without an end) whose block ends at an inaccessible page and whose
// header claims 1 MiB of run-length data: refused before GDI reads a byte
// past the block.
TEST(Pictures, RunLengthSizeBeyondTheBlockIs6101) {
  std::vector<uint8_t> dib = InfoHeader(1024, 1024, 8, BI_RLE8, 256, 1u << 20);
  dib.resize(40 + 1024);
  for (int i = 0; i < 2050; ++i) dib.insert(dib.end(), {1, 7});
  ASSERT_EQ(dib.size(), 5164u);
  const size_t page = 4096, block = 4 + dib.size();
  auto* pages = static_cast<uint8_t*>(VirtualAlloc(nullptr, 3 * page, MEM_RESERVE, PAGE_NOACCESS));
  ASSERT_TRUE(pages && VirtualAlloc(pages, 2 * page, MEM_COMMIT, PAGE_READWRITE));
  uint8_t* at = pages + 2 * page - block;  // the block's last byte is the page's last
  uint32_t sizeWord = static_cast<uint32_t>(block);
  memcpy(at, &sizeWord, 4);
  memcpy(at + 4, dib.data(), dib.size());
  RaiseLog raises;
  EXPECT_EQ(pict_FromBin(at + 4), nullptr);
  EXPECT_EQ(pict_ToBmpHandle(at), nullptr);
  EXPECT_EQ(raises.Take(), (std::vector<int>{6101, 6101}));
  // Sizes up to the bytes there are taken, and drawn.
  for (uint32_t size : {4100u, 4099u}) {
    memcpy(at + 4 + 20, &size, 4);
    HBITMAP b = pict_ToBmpHandle(pict_FromBin(at + 4));
    EXPECT_TRUE(b) << size;
    DeleteObject(b);
  }
  EXPECT_EQ(raises.Take(), std::vector<int>{});
  VirtualFree(pages, 0, MEM_RELEASE);
}

TEST(Pictures, IconFileGivesItsFirstImage) {
  std::vector<uint8_t> ico = {0, 0, 1, 0, 1, 0, 2, 2, 0, 0, 1, 0, 32, 0};
  std::vector<uint8_t> image = InfoHeader(2, 4, 32, BI_RGB, 0);
  for (uint32_t px : {0x0000FFu, 0x00FF00u, 0xFF0000u, 0xFFFFFFu}) image.insert(image.end(), {uint8_t(px), uint8_t(px >> 8), uint8_t(px >> 16), 0});
  image.insert(image.end(), 8, 0);  // AND mask
  uint32_t bytes = static_cast<uint32_t>(image.size()), offset = 22;
  ico.insert(ico.end(), {uint8_t(bytes), uint8_t(bytes >> 8), 0, 0, uint8_t(offset), 0, 0, 0});
  ico.insert(ico.end(), image.begin(), image.end());
  std::wstring f = TempDir(L"kwi_draw_tests") + L"one.ico";
  WriteBytes(f, ico);
  picture p = pict_Load(f.c_str());
  ASSERT_TRUE(p);
  Pixels px = Decode(p);
  EXPECT_EQ(px.h, 2);
  EXPECT_EQ(px.at(0, 1), 0x0000FFu);  // the bottom row comes first in the file
  EXPECT_EQ(px.at(1, 0), 0xFFFFFFu);
}

// ---------------------------------------------------------------------------
// Fonts.

TEST(Fonts, CreateAttributesAndBadBinaries) {
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  uint8_t* f = font_Create(2, nullptr, 10);
  uint32_t size;
  memcpy(&size, f - 4, 4);
  LOGFONTW lf;
  memcpy(&lf, f, sizeof lf);
  EXPECT_EQ(size, 96u);
  EXPECT_STREQ(lf.lfFaceName, L"Courier New");
  EXPECT_EQ(lf.lfWeight, 400);
  EXPECT_EQ(lf.lfHeight, -MulDiv(10, dpi, 72));
  if (dpi == 96) {
    EXPECT_EQ(lf.lfHeight, -13);
  }
  Terms t;
  ilist_struct* styles = nullptr;
  int points = 0;
  u16* face = font_GetAttrs(font_Create(4, t.Flags({4, 1, 3}), 10), &styles, &points);
  EXPECT_STREQ(face, L"Arial");
  EXPECT_EQ(Values(styles), (std::vector<int64_t>{1, 4}));
  EXPECT_EQ(points, 10);  // -13 reads back as 10, not 9
  uint8_t* plain = font_SetAttrs(font_Create(3, t.Flags({1, 2}), 12), t.Flags({}), 0);
  memcpy(&lf, plain, sizeof lf);
  EXPECT_EQ(lf.lfWeight, 400);
  EXPECT_EQ(lf.lfItalic, 0);
  EXPECT_EQ(lf.lfHeight, -MulDiv(12, dpi, 72));
  RaiseLog raises;
  uint8_t shortBin[4 + 50] = {54};
  font_GetAttrs(shortBin + 4, &styles, &points);
  uint8_t unterminated[96] = {96};
  for (int i = 4 + 28; i < 96; i += 2) unterminated[i] = 'A';
  font_SetAttrs(unterminated + 4, nullptr, 10);
  EXPECT_EQ(raises.Take(), (std::vector<int>{6150, 6150}));
}

TEST(Fonts, ControlsWindowsAndExtents) {
  RunInTask([&](HWND task) {
    Terms t;
    rect_struct r{0, 0, 200, 30};
    HWND edit = reinterpret_cast<HWND>(win_CreateControl(wt_edit, &r, L"x", L(task), t.Flags({}), 7));
    uint8_t* font = font_Create(3, t.Flags({2}), 14);
    win_SetFont(L(edit), font);
    LOGFONTW got{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(edit, WM_GETFONT, 0, 0)), sizeof got, &got);
    EXPECT_EQ(memcmp(&got, font, sizeof got), 0);
    EXPECT_EQ(memcmp(win_GetFont(L(edit)), font, sizeof got), 0);

    TopLevel top;
    HWND w = top.Create({9, 10});
    int w1, h1, w2, h2, w3, h3;
    win_GetTextExtent(L(w), L"Mmmm", -1, &w1, &h1);
    win_GetTextExtent(L(w), L"Mmmm", 2, &w2, &h2);
    win_GetTextExtent(L(w), L"Mm", 40, &w3, &h3);  // stops at the end of the string
    EXPECT_GT(w1, w2);
    EXPECT_EQ(w2, w3);
    win_SetFont(L(w), font_Create(4, nullptr, 30));
    int big, bigH;
    win_GetTextExtent(L(w), L"Mmmm", -1, &big, &bigH);
    EXPECT_GT(big, w1);
    EXPECT_GT(bigH, h1);
    int leading, ascent, descent;
    win_GetFontMetrics(L(w), &leading, &ascent, &descent);
    EXPECT_GT(ascent, descent);
    EXPECT_EQ(ascent + descent, bigH);
    LOGFONTW back;
    memcpy(&back, win_GetFont(L(w)), sizeof back);
    EXPECT_STREQ(back.lfFaceName, L"Arial");
    DestroyWindow(w);
    DestroyWindow(edit);
  });
}

// ---------------------------------------------------------------------------
// Cursors and carets.

TEST(Cursors, WaitCursorCaretAndHide) {
  int id = 0;
  POINT caret{};
  bool hiddenAfterHide = false, shownAfterMove = false;
  RunInTask([&](HWND task) {
    TopLevel top;
    HWND w = top.Create({9, 10});
    SetForegroundWindow(w);
    SetFocus(w);
    cursor_Set(L(w), 11, 1);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));
    id = cursor_Get(L(w));
    caret_Set(L(w), 10, 30, 2, 16);
    GetCaretPos(&caret);
    caret_Off(L(w));
    CURSORINFO ci{sizeof ci, 0, nullptr, {}};
    cursor_Hide();
    cursor_Hide();
    GetCursorInfo(&ci);
    hiddenAfterHide = !(ci.flags & CURSOR_SHOWING);
    RECT wr;
    GetWindowRect(w, &wr);
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = (wr.left + 50) * 65535 / GetSystemMetrics(SM_CXSCREEN);
    in.mi.dy = (wr.top + 60) * 65535 / GetSystemMetrics(SM_CYSCREEN);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &in, sizeof in);
    PumpUntil([&] {
      CURSORINFO c{sizeof c, 0, nullptr, {}};
      GetCursorInfo(&c);
      return (c.flags & CURSOR_SHOWING) != 0;
    }, 3000);
    ci = CURSORINFO{sizeof ci, 0, nullptr, {}};
    GetCursorInfo(&ci);
    shownAfterMove = (ci.flags & CURSOR_SHOWING) != 0;
    DestroyWindow(w);
  });
  EXPECT_EQ(id, 11);
  EXPECT_EQ(caret.x, 10);
  EXPECT_EQ(caret.y, 14);
  EXPECT_TRUE(hiddenAfterHide);
  EXPECT_TRUE(shownAfterMove);
}

}  // namespace
