// Printing: the configuration binary against hand-made 32-bit-form fixtures,
// and real jobs through a CUPS PDF queue (cups-pdf writes the PDF to PDF in
// the home folder, pdftotext and pdfinfo read it back).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "checks.h"
#include "gui.h"
#include "print_checks.h"

#include <commdlg.h>
#include <winspool.h>

using namespace QEL_KWI;
using namespace kwitest;
namespace K = Qel::RunTime::Kernel;

namespace {

// The binary's data as bytes.
std::vector<uint8_t> Bytes(const uint8_t* binary) {
  uint32_t size;
  memcpy(&size, binary - 4, 4);
  return std::vector<uint8_t>(binary, binary + size - 4);
}

// A binary (size word first) in test memory.
struct Bin {
  std::vector<uint8_t> block;
  explicit Bin(const std::vector<uint8_t>& data) : block(4) {
    uint32_t size = static_cast<uint32_t>(data.size() + 4);
    memcpy(block.data(), &size, 4);
    block.insert(block.end(), data.begin(), data.end());
  }
  uint8_t* data() { return block.data() + 4; }
};

template <class T>
void Put(std::vector<uint8_t>& v, size_t at, T value) {
  memcpy(v.data() + at, &value, sizeof value);
}

// A configuration as the 32-bit program writes it.
struct Fixture {
  std::vector<uint8_t> bytes;
  size_t modeAt, namesAt;
  Fixture() {
    bytes.assign(32, ' ');
    memcpy(bytes.data(), "KWI PRINT STRUCTURE WIN32", 25);
    std::vector<uint8_t> record(66, 0);
    Put<uint32_t>(record, 0, 66);
    Put<uint32_t>(record, 20, PD_HIDEPRINTTOFILE | PD_PAGENUMS);
    Put<uint16_t>(record, 24, 2);
    Put<uint16_t>(record, 26, 5);
    Put<uint16_t>(record, 28, 1);
    Put<uint16_t>(record, 30, 9);
    Put<uint16_t>(record, 32, 3);
    bytes.insert(bytes.end(), record.begin(), record.end());
    DEVMODEW dm{};
    wcscpy(dm.dmDeviceName, L"KwiNowhere");
    dm.dmSize = sizeof dm;
    dm.dmFields = DM_ORIENTATION;
    dm.dmOrientation = DMORIENT_LANDSCAPE;
    std::vector<uint8_t> mode(sizeof dm);
    memcpy(mode.data(), &dm, sizeof dm);
    std::vector<uint8_t> names(8);
    auto name = [&](const wchar_t* s) {
      uint16_t offset = static_cast<uint16_t>(names.size() / 2);
      for (const wchar_t* p = s;; ++p) {
        names.push_back(static_cast<uint8_t>(*p));
        names.push_back(static_cast<uint8_t>(*p >> 8));
        if (!*p) break;
      }
      return offset;
    };
    Put<uint16_t>(names, 0, name(L"winspool"));
    Put<uint16_t>(names, 2, name(L"KwiNowhere"));
    Put<uint16_t>(names, 4, name(L"FILE:"));
    uint32_t a = static_cast<uint32_t>(mode.size()), b = static_cast<uint32_t>(names.size());
    bytes.insert(bytes.end(), {uint8_t(a), uint8_t(a >> 8), uint8_t(a >> 16), uint8_t(a >> 24)});
    modeAt = bytes.size();
    bytes.insert(bytes.end(), mode.begin(), mode.end());
    bytes.insert(bytes.end(), {uint8_t(b), uint8_t(b >> 8), uint8_t(b >> 16), uint8_t(b >> 24)});
    namesAt = bytes.size();
    bytes.insert(bytes.end(), names.begin(), names.end());
  }
};

TEST(PrintConfig, FixtureRoundTripsAndBrokenFieldsAreRefused) {
  RunInTask([&](HWND) {
    Fixture f;
    Bin good(f.bytes);
    RaiseLog raises;
    print_SetConfig(good.data());
    EXPECT_EQ(Bytes(print_GetConfig()), f.bytes);
    struct Case {
      const char* what;
      std::function<void(std::vector<uint8_t>&)> spoil;
    } cases[] = {
        {"signature", [](std::vector<uint8_t>& v) { v[3] = 'X'; }},
        {"padding", [](std::vector<uint8_t>& v) { v[31] = 0; }},
        {"record size", [](std::vector<uint8_t>& v) { Put<uint32_t>(v, 32, 120); }},
        {"short", [](std::vector<uint8_t>& v) { v.resize(40); }},
        {"mode size past the end", [&](std::vector<uint8_t>& v) { Put<uint32_t>(v, f.modeAt - 4, 0x7FFFFFF0u); }},
        {"names size past the end", [&](std::vector<uint8_t>& v) { Put<uint32_t>(v, f.namesAt - 4, 0xFFFFFFFFu); }},
        {"dmDriverExtra past the block",
         [&](std::vector<uint8_t>& v) { Put<uint16_t>(v, f.modeAt + offsetof(DEVMODEW, dmDriverExtra), 500); }},
        {"device offset outside", [&](std::vector<uint8_t>& v) { Put<uint16_t>(v, f.namesAt + 2, 4000); }},
        {"unterminated name", [&](std::vector<uint8_t>& v) { v[v.size() - 2] = 'x'; }},
    };
    for (auto& c : cases) {
      std::vector<uint8_t> v = f.bytes;
      c.spoil(v);
      Bin bad(v);
      print_SetConfig(bad.data());
      EXPECT_EQ(raises.Take(), std::vector<int>{6186}) << c.what;
      EXPECT_EQ(Bytes(print_GetConfig()), f.bytes) << c.what;  // the old settings stay
    }
    // The fixture names a printer that does not exist.
    EXPECT_EQ(print_StartJob(L"nowhere"), 0);
    EXPECT_EQ(raises.Take(), std::vector<int>{6182});
  });
}

TEST(Printing, TwoPagesThroughCupsPdf) {
  ASSERT_TRUE(HasPdfQueue()) << "the CUPS queue KwiPDF";
  std::wstring title = L"KwiJob" + std::to_wstring(GetTickCount());
  std::vector<uint8_t> config;
  std::vector<int> raised;
  bool cancelled = false;
  RunInTask([&](HWND) {
    RaiseLog raises;
    LONG_PTR w = print_StartJob(title.c_str());
    ASSERT_NE(w, 0) << testing::PrintToString(raises.Take());
    EXPECT_EQ(win_GetType(w), wt_print);
    EXPECT_EQ(print_StartJob(L"second"), 0);
    for (const wchar_t* text : {L"Kwi page one", L"M\u00fcller page two"}) {
      EXPECT_EQ(print_StartPage(w), 1);
      win_SetFont(w, font_Create(4, nullptr, 24));
      draw_Text(w, 300, 400, text, -1);
      print_EndPage(w);
    }
    print_EndJob(w);
    config = Bytes(print_GetConfig());
    // Cancel from the progress dialog.
    w = print_StartJob(L"KwiCancelled");
    HWND progress = FindWindowW(L"#32770", L"KwiCancelled");
    std::thread t([&] { PostMessageW(progress, WM_COMMAND, MAKEWPARAM(2, BN_CLICKED), 0); });
    t.join();
    PumpUntil([&] { return !IsWindow(progress); }, 3000);
    cancelled = print_StartPage(w) == 0;
    print_EndJob(w);
    raised = raises.Take();
  });
  EXPECT_TRUE(cancelled);
  EXPECT_EQ(raised, std::vector<int>{6180});
  ASSERT_GE(config.size(), 98u);
  EXPECT_EQ(std::string(config.begin(), config.begin() + 32), "KWI PRINT STRUCTURE WIN32       ");
  uint32_t size;
  memcpy(&size, config.data() + 32, 4);
  EXPECT_EQ(size, 66u);
  for (int at : {4, 8, 12, 16}) EXPECT_EQ(config[32 + at], 0) << at;
  for (int at = 34; at < 66; ++at) EXPECT_EQ(config[32 + at], 0) << at;
  std::wstring pdf = WaitForPdf(title);
  ASSERT_FALSE(pdf.empty());
  std::wstring txt = TempDir(L"kwi_print_tests") + L"job.txt", info = TempDir(L"kwi_print_tests") + L"job.info";
  ASSERT_TRUE(Shell("pdfinfo '" + UnixName(pdf) + "' > '" + UnixName(info) + ".part'; mv '" + UnixName(info) +
                        ".part' '" + UnixName(info) + "'",
                    info));
  ASSERT_TRUE(Shell("pdftotext '" + UnixName(pdf) + "' '" + UnixName(txt) + ".part'; mv '" + UnixName(txt) +
                        ".part' '" + UnixName(txt) + "'",
                    txt));
  std::vector<uint8_t> t = ReadBytes(txt), i = ReadBytes(info);
  std::string text(t.begin(), t.end()), infoText(i.begin(), i.end());
  size_t one = text.find("Kwi page one"), two = text.find("M\xc3\xbcller page two");
  EXPECT_NE(one, std::string::npos) << text;
  EXPECT_NE(two, std::string::npos) << text;
  EXPECT_LT(one, two);
  size_t pages = infoText.find("Pages:");
  ASSERT_NE(pages, std::string::npos) << infoText;
  EXPECT_EQ(atoi(infoText.c_str() + pages + 6), 2) << infoText;
}

// The print dialogs are answered a little later than the others.
constexpr DWORD kPrintSettle = 100;

// The orientation stored in a configuration's device mode.
int Orientation(const std::vector<uint8_t>& config) {
  size_t mode = 32 + 66 + 4;
  if (config.size() < mode + offsetof(DEVMODEW, dmOrientation) + 2) return -1;
  int16_t o;
  memcpy(&o, config.data() + mode + offsetof(DEVMODEW, dmOrientation), 2);
  return o;
}

TEST(PrintDialogs, PrintSetupRangesCopiesAndCancel) {
  ASSERT_TRUE(HasPdfQueue()) << "the CUPS queue KwiPDF";
  struct Result {
    int kind = -1, copies = -1, first = -1, last = -1;
    bool ok = false;
  } pages, all, cancelled;
  int orientation = 0;
  RunInTask([&](HWND) {
    auto run = [](int highest, Result* r) {
      r->ok = Succeeds([&] { dlg_PrintSetup(highest, &r->kind, &r->copies, &r->first, &r->last); });
    };
    print_SetOrientation(1);
    {
      Answer a(L"Print", [](HWND d) {
        SendDlgItemMessageW(d, 0x422, BM_CLICK, 0, 0);  // pages
        SetDlgItemTextW(d, 0x480, L"2");
        SetDlgItemTextW(d, 0x481, L"5");
        SetDlgItemTextW(d, 0x482, L"3");  // copies
        Press(d, IDOK);
      }, kPrintSettle);
      run(9, &pages);
    }
    {
      Answer a(L"Print", [](HWND d) { Press(d, IDOK); }, kPrintSettle);
      run(0, &all);
    }
    {
      Answer a(L"Print", [](HWND d) { Press(d, IDCANCEL); }, kPrintSettle);
      run(4, &cancelled);
    }
    orientation = Orientation(Bytes(print_GetConfig()));
  });
  EXPECT_TRUE(pages.ok);
  EXPECT_EQ(pages.kind, 1);
  EXPECT_EQ(pages.first, 2);
  EXPECT_EQ(pages.last, 5);
  EXPECT_EQ(pages.copies, 3);
  EXPECT_TRUE(all.ok);
  EXPECT_EQ(all.kind, 0);
  EXPECT_EQ(all.first, 1);
  EXPECT_EQ(all.last, 1000);
  EXPECT_EQ(all.copies, 1);
  EXPECT_FALSE(cancelled.ok);
  EXPECT_EQ(orientation, DMORIENT_LANDSCAPE);  // kept through the renewed settings
}

// Wine titles the page-setup dialog "Setup Page".
TEST(PrintDialogs, PageSetupKeepsOrientation) {
  ASSERT_TRUE(HasPdfQueue()) << "the CUPS queue KwiPDF";
  pnt_struct portrait{}, landscape{};
  rect_struct margins{};
  int orientation = 0;
  bool cancelled = false;
  RunInTask([&](HWND) {
    pnt_struct* paper = nullptr;
    rect_struct* m = nullptr;
    print_SetOrientation(0);
    {
      Answer a(L"Setup Page", [](HWND d) { Press(d, IDOK); }, kPrintSettle);
      ASSERT_TRUE(Succeeds([&] { dlg_PageSetup(&paper, &m); }));
      portrait = *paper;
      margins = *m;
    }
    print_SetOrientation(1);
    {
      Answer a(L"Setup Page", [](HWND d) { Press(d, IDOK); }, kPrintSettle);
      ASSERT_TRUE(Succeeds([&] { dlg_PageSetup(&paper, &m); }));
      landscape = *paper;
    }
    orientation = Orientation(Bytes(print_GetConfig()));
    {
      Answer a(L"Setup Page", [](HWND d) { Press(d, IDCANCEL); }, kPrintSettle);
      cancelled = !Succeeds([&] { dlg_PageSetup(&paper, &m); });
    }
  });
  // The dialog's units (thousandths of an inch here): A4 or Letter, margins inside.
  EXPECT_GT(portrait.x, 8000);
  EXPECT_GT(margins.left, 0);
  EXPECT_GT(margins.top, 0);
  EXPECT_LT(margins.left + margins.right, portrait.x);
  EXPECT_LT(margins.top + margins.bottom, portrait.y);
  EXPECT_GT(portrait.y, portrait.x);
  EXPECT_EQ(landscape.x, portrait.y);
  EXPECT_EQ(landscape.y, portrait.x);
  EXPECT_EQ(orientation, DMORIENT_LANDSCAPE);
  EXPECT_TRUE(cancelled);
}

// A 20 x 10 picture: red left half, blue right half.
picture TwoColours() {
  rect_struct r{0, 0, 20, 10};
  LONG_PTR pw = pict_Open(&r);
  for (auto [left, colour] : {std::pair<int, uint32_t>{0, 0x0000FF}, {10, 0xFF0000}}) {
    pen_struct pen{1, 0, colour};
    brush_struct brush{2, colour};
    win_SetPen(pw, &pen);
    win_SetBrush(pw, &brush);
    rect_struct half{left, 0, left + 10, 10};
    draw_Rect(pw, &half);
  }
  return pict_Close(pw);
}

// Red, blue or something else, with room for the PDF's image compression.
const char* Hue(uint32_t rgb) {
  int r = rgb >> 16 & 0xFF, g = rgb >> 8 & 0xFF, b = rgb & 0xFF;
  if (r > 200 && g < 60 && b < 60) return "red";
  if (b > 200 && r < 60 && g < 60) return "blue";
  if (r > 200 && g > 200 && b > 200) return "white";
  return "other";
}

// Pictures stretched on the printing window: the whole picture, and its
// right half alone (source rectangles are top-down).  The page is read back
// as pixels from the PDF.
TEST(Printing, PicturesOnThePage) {
  ASSERT_TRUE(HasPdfQueue()) << "the CUPS queue KwiPDF";
  std::wstring title = L"KwiPicture" + std::to_wstring(GetTickCount());
  HDC printer = CreateDCW(nullptr, L"KwiPDF", nullptr, nullptr);
  ASSERT_TRUE(printer);
  const int dpi = GetDeviceCaps(printer, LOGPIXELSX), ox = GetDeviceCaps(printer, PHYSICALOFFSETX),
            oy = GetDeviceCaps(printer, PHYSICALOFFSETY);
  DeleteDC(printer);
  // In inches on the printable area: the whole picture at (1, 1)-(4, 2.5),
  // the right half at (1, 3)-(2.5, 4).
  auto dev = [&](double inches) { return static_cast<int>(inches * dpi); };
  std::vector<int> raised;
  RunInTask([&](HWND) {
    RaiseLog raises;
    print_SetOrientation(0);
    picture p = TwoColours();
    LONG_PTR w = print_StartJob(title.c_str());
    ASSERT_NE(w, 0);
    EXPECT_EQ(print_StartPage(w), 1);
    rect_struct whole{dev(1), dev(1), dev(4), dev(2.5)}, all{0, 0, 20, 10};
    pict_DrawEx_1(w, p, &whole, &all, 12, 0);
    rect_struct half{dev(1), dev(3), dev(2.5), dev(4)}, right{10, 0, 20, 10};
    pict_DrawEx_1(w, p, &half, &right, 12, 1);
    print_EndPage(w);
    print_EndJob(w);
    raised = raises.Take();
  });
  EXPECT_EQ(raised, std::vector<int>{});
  std::wstring pdf = WaitForPdf(title);
  ASSERT_FALSE(pdf.empty());
  const int res = 30;
  Ppm page(ShellOutput("pdftoppm -r " + std::to_string(res) + " -singlefile '" + UnixName(pdf) + "'",
                       TempDir(L"kwi_print_tests") + L"page.ppm"));
  ASSERT_GT(page.width, 0);
  auto at = [&](double x, double y) {
    return Hue(page.At(static_cast<int>((ox + x * dpi) * res / dpi), static_cast<int>((oy + y * dpi) * res / dpi)));
  };
  struct Spot {
    double x, y;
    const char* want;
  } spots[] = {{1.5, 1.75, "red"}, {3.5, 1.75, "blue"}, {1.75, 3.5, "blue"},
               {0.5, 1.75, "white"}, {4.5, 1.75, "white"}, {1.75, 2.75, "white"}, {3, 3.5, "white"}};
  for (auto& s : spots) EXPECT_STREQ(at(s.x, s.y), s.want) << s.x << " " << s.y;
}

}  // namespace
