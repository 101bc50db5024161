// The drawing target on a print job through the run's CUPS PDF queue: the
// printer font at three times its size, the text found by pdftotext, the
// fade's ends and the tick read from a raster of the page.
#include "KWI/Wyn/wyn.h"
#include "checks.h"
#include "print_checks.h"
#include "wyn_test.h"

namespace rztest {
namespace {

using kwitest::HasPdfQueue;
using kwitest::Ppm;
using kwitest::ShellOutput;
using kwitest::TempDir;
using kwitest::UnixName;
using kwitest::WaitForPdf;

class WynPrint : public Rz {};

const char* Hue(uint32_t rgb) {
  const int r = rgb >> 16 & 0xFF, g = rgb >> 8 & 0xFF, b = rgb & 0xFF;
  if (r > 200 && g < 60 && b < 60) return "red";
  if (b > 200 && r < 60 && g < 60) return "blue";
  if (r < 60 && g < 60 && b < 60) return "black";
  if (r > 200 && g > 200 && b > 200) return "white";
  return "other";
}

TEST_F(WynPrint, RoutineOnAPrintJob) {
  ASSERT_TRUE(HasPdfQueue()) << "the CUPS queue KwiPDF";
  const std::wstring title = L"WynJob" + std::to_wstring(GetTickCount());
  HDC printer = CreateDCW(nullptr, L"KwiPDF", nullptr, nullptr);
  ASSERT_TRUE(printer);
  const int dpi = GetDeviceCaps(printer, LOGPIXELSX), ox = GetDeviceCaps(printer, PHYSICALOFFSETX),
            oy = GetDeviceCaps(printer, PHYSICALOFFSETY);
  DeleteDC(printer);
  const auto dev = [&](double inches) { return static_cast<int>(inches * dpi); };
  int size = 0;
  std::vector<int64_t> styles;
  InTask([&](HWND) {
    const LONG_PTR w = print_StartJob(title.c_str());
    ASSERT_NE(w, 0);
    ASSERT_EQ(print_StartPage(w), 1);
    const wyndow t = Prnt(w);
    std::vector<ilist_struct> bold{{ListCons, 1, nullptr}, {ListNil, 0, nullptr}};
    bold[0].next = &bold[1];
    wyn::wsetfont(t, font_Create(4, &bold[0], 10));
    ilist_struct* got = nullptr;
    font_GetAttrs(win_GetFont(w), &got, &size);
    styles = kwitest::Values(got);
    wyn::wdrawtext(t, dev(1), dev(3), L"Wyn printed text");
    wyn::o_fade_rect(t, {dev(1), dev(1), dev(4), dev(1.5)}, true, {0, 0, 255}, {255, 0, 0});
    wyn::draw_tickinrect(t, {dev(5), dev(1), dev(6), dev(2)});
    print_EndPage(w);
    print_EndJob(w);
  });
  EXPECT_EQ(size, 30);
  EXPECT_EQ(styles, std::vector<int64_t>{1});
  const std::wstring pdf = WaitForPdf(title);
  ASSERT_FALSE(pdf.empty());
  const std::wstring dir = TempDir(L"rizediveva6_wyn_print");
  const std::string text = ShellOutput("pdftotext '" + UnixName(pdf) + "' -", dir + L"page.txt");
  EXPECT_NE(text.find("Wyn printed text"), std::string::npos) << text;
  const int res = 50;
  Ppm page(ShellOutput("pdftoppm -r " + std::to_string(res) + " -singlefile '" + UnixName(pdf) + "'",
                       dir + L"page.ppm"));
  ASSERT_GT(page.width, 0);
  const auto at = [&](double x, double y) {
    return Hue(page.At(static_cast<int>((ox + x * dpi) * res / dpi), static_cast<int>((oy + y * dpi) * res / dpi)));
  };
  struct Spot {
    double x, y;
    const char* want;
  } spots[] = {{1.06, 1.25, "blue"}, {3.94, 1.25, "red"}, {2.5, 1.25, "other"}, {5.6, 1.59, "black"},
               {5.2, 1.2, "white"}, {0.5, 1.25, "white"}};
  for (const Spot& s : spots) EXPECT_STREQ(at(s.x, s.y), s.want) << s.x << " " << s.y;
}

}  // namespace
}  // namespace rztest
