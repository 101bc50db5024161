// Boxes and common dialogs answered by helper threads, help calls to a stub
// help window, the clipboard (also with data other programs could leave) and
// metafiles recorded, saved, loaded and played into pictures.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "checks.h"
#include "gui.h"

using namespace QEL_KWI;
using namespace kwitest;
namespace K = Qel::RunTime::Kernel;

namespace {

// A width x height picture with a red line from corner to corner.
picture RedDiagonal(int width, int height) {
  rect_struct r{0, 0, width, height};
  LONG_PTR pw = pict_Open(&r);
  pen_struct red{1, 0, 0x0000FF};
  win_SetPen(pw, &red);
  pnt_struct a{0, 0}, b{width, height};
  draw_Line(pw, &a, &b);
  return pict_Close(pw);
}

slist_struct* Strings(std::deque<slist_struct>& cells, std::vector<const wchar_t*> v) {
  return BuildList(cells, v);
}

// ---------------------------------------------------------------------------

TEST(Boxes, ButtonSetsAnswer) {
  struct Case {
    int buttons;
    int press;
    int want;
  } cases[] = {{4, IDRETRY, 1}, {4, IDCANCEL, 2}, {5, IDABORT, 1}, {5, IDRETRY, 2}, {5, IDIGNORE, 3},
               {3, IDCANCEL, 3}, {1, IDCANCEL, 2}, {2, IDNO, 2}};
  std::vector<int> got;
  RunInTask([&](HWND) {
    for (auto& c : cases) {
      Answer a(L"Kwi box", [&](HWND d) { Press(d, c.press); });
      got.push_back(dlg_MessageBox(L"Kwi box", L"Go on?", 1, c.buttons, 0, 0));
    }
    RaiseLog raises;
    {
      Answer a(L"Kwi box", [](HWND d) { Press(d, IDOK); });
      dlg_MessageBox(L"Kwi box", L"bad icon", 9, 0, 0, 0);
    }
    EXPECT_EQ(raises.Take(), std::vector<int>{6010});
  });
  for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], cases[i].want) << i;
}

TEST(Boxes, ColourDialogAndErrorBox) {
  LONG_PTR colour = 0;
  bool cancelled = false;
  RunInTask([&](HWND task) {
    {
      Answer a(L"Color", [](HWND d) { Press(d, IDOK); });
      colour = dlg_ChooseColor(L(task), 0x123456);
    }
    {
      Answer a(L"Color", [](HWND d) { Press(d, IDCANCEL); });
      cancelled = !Succeeds([&] { dlg_ChooseColor(L(task), 0x123456); });
    }
    Answer a(L"Program Error", [](HWND d) { Press(d, IDNO); });
    kwi_ErrorMsg();
  });
  EXPECT_EQ(colour, 0x123456);
  EXPECT_TRUE(cancelled);
}

// The file name box of the file dialogs.
void ChooseFile(HWND d, const wchar_t* name) {
  SetDlgItemTextW(d, 0x47C, name);
  Press(d, IDOK);
}

TEST(FileDialogs, NamesExtensionsCancelAndErrors) {
  std::wstring dir = TempDir(L"kwi_exchange_tests");
  for (const wchar_t* n : {L"a.txt", L"b.txt", L"c.txt"}) WriteBytes(dir + n, {'x'});
  std::wstring single, saved, opened;
  std::vector<std::wstring> names;
  int filterIndex = -1;
  bool cancelled = false;
  std::vector<int> raised;
  RunInTask([&](HWND) {
    std::deque<slist_struct> cells;
    slist_struct* filters = Strings(cells, {L"Text", L"*.txt", L"All", L"*.*"});
    SetCurrentDirectoryW(dir.c_str());
    {
      Answer a(L"Pick", [](HWND d) { ChooseFile(d, L"notes"); });
      opened = dlg_GetOpenFileName(L"", filters, L"Pick");
    }
    {
      Answer a(L"Keep", [](HWND d) { ChooseFile(d, L"kept"); });
      saved = dlg_GetSaveFileName(L"", filters, L"Keep");
    }
    {
      Answer a(L"Many", [](HWND d) { ChooseFile(d, L"\"a.txt\" \"b.txt\" \"c.txt\""); });
      Terms t;
      slist_struct* list = nullptr;
      u16* first = dlg_GetFileName(L"", filters, L"Many", t.Flags({2}), dir.c_str(), &list, &filterIndex);
      single = first;
      for (auto* c = list; c && c->functor == ListCons; c = c->next) names.push_back(c->value);
    }
    {
      Answer a(L"Never", [](HWND d) { Press(d, IDCANCEL); });
      Terms t;
      slist_struct* list = nullptr;
      int index = 0;
      cancelled = !Succeeds([&] { dlg_GetFileName(L"", filters, L"Never", t.Flags({}), L"", &list, &index); });
    }
    RaiseLog raises;
    std::deque<slist_struct> bad;
    slist_struct* odd = Strings(bad, {L"Text"});
    slist_struct* none = Strings(bad, {});
    EXPECT_STREQ(dlg_GetOpenFileName(L"", odd, L"x"), L"");
    EXPECT_STREQ(dlg_GetOpenFileName(L"", none, L"x"), L"");
    {
      // A name longer than the declared buffer makes the dialog fail.
      Answer a(L"Small", [](HWND d) { ChooseFile(d, L"a-long-name.txt"); });
      Terms t;
      slist_struct* list = nullptr;
      int index = 0;
      EXPECT_FALSE(Succeeds([&] { dlg_GetFileName(L"", filters, L"Small", t.Flags({3, 4}), L"", &list, &index); }));
    }
    raised = raises.Take();
  });
  EXPECT_EQ(opened, dir + L"notes.txt");
  EXPECT_EQ(saved, dir + L"kept");
  EXPECT_EQ(names, (std::vector<std::wstring>{dir + L"a.txt", dir + L"b.txt", dir + L"c.txt"}));
  EXPECT_EQ(single, dir + L"a.txt");
  EXPECT_EQ(filterIndex, 0);
  EXPECT_TRUE(cancelled);
  EXPECT_EQ(raised, (std::vector<int>{6200, 6003, 6200}));
}

// A stub help window: Wine's help call sends it WM_COPYDATA (0xA1DE505) with
// {u16 size, u16 command, i32 data, i32 reserved, u16 file offset, u16 data offset}.
struct HelpCall {
  int command;
  long data;
  std::string file;
  std::string text;  // the data as a text, for HELP_KEY
};
std::vector<HelpCall> g_help;

LRESULT CALLBACK HelpStub(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_COPYDATA) {
    auto* cds = reinterpret_cast<COPYDATASTRUCT*>(lp);
    if (cds->dwData == 0xA1DE505 && cds->cbData >= 16) {
      auto* b = static_cast<const uint8_t*>(cds->lpData);
      HelpCall c;
      uint16_t command, ofsFile, ofsData;
      int32_t data;
      memcpy(&command, b + 2, 2);
      memcpy(&data, b + 4, 4);
      memcpy(&ofsFile, b + 12, 2);
      memcpy(&ofsData, b + 14, 2);
      if (ofsData && ofsData < cds->cbData)
        c.text.assign(reinterpret_cast<const char*>(b + ofsData), strnlen(reinterpret_cast<const char*>(b + ofsData), cds->cbData - ofsData));
      c.command = command;
      c.data = data;
      if (ofsFile && ofsFile < cds->cbData)
        c.file.assign(reinterpret_cast<const char*>(b + ofsFile), strnlen(reinterpret_cast<const char*>(b + ofsFile), cds->cbData - ofsFile));
      g_help.push_back(c);
    }
    return 1;
  }
  return DefWindowProcW(w, m, wp, lp);
}

TEST(Help, CallsReachTheHelpWindow) {
  g_help.clear();
  RunInTask([&](HWND) {
    WNDCLASSW c{};
    c.lpfnWndProc = HelpStub;
    c.hInstance = GetModuleHandleW(nullptr);
    c.lpszClassName = L"MS_WINHELP";
    RegisterClassW(&c);
    HWND stub = CreateWindowW(L"MS_WINHELP", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, c.hInstance, nullptr);
    kwi_ShowHelp(L"roster.hlp");
    kwi_ShowHelpContext(L"roster.hlp", 42);
    kwi_ShowHelpKeyWord(L"roster.hlp", L"Kalender");
    kwi_ShowHelpKeyWord(L"roster.hlp", std::wstring(300, L'W').c_str());  // cut at 256
    kwi_HelpClose();
    DestroyWindow(stub);
  });
  ASSERT_GE(g_help.size(), 5u);
  EXPECT_EQ(g_help[0].command, HELP_CONTENTS);
  EXPECT_EQ(g_help[0].file, "roster.hlp");
  EXPECT_EQ(g_help[1].command, HELP_CONTEXT);
  EXPECT_EQ(g_help[1].data, 42);
  // Wine hands the keyword on unconverted: only its first letter reads as ANSI.
  for (int i : {2, 3}) {
    EXPECT_EQ(g_help[i].command, HELP_KEY) << i;
    EXPECT_EQ(g_help[i].file, "roster.hlp") << i;
  }
  EXPECT_EQ(g_help[2].text.substr(0, 1), "K");
  EXPECT_EQ(g_help[3].text.substr(0, 1), "W");
  EXPECT_EQ(g_help[4].command, HELP_QUIT);
}

// ---------------------------------------------------------------------------
// Clipboard.

// Puts a raw block under `format`, as another program might.
void PutRaw(UINT format, const void* data, size_t n) {
  OpenClipboard(nullptr);
  EmptyClipboard();
  HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, n);
  memcpy(GlobalLock(g), data, n);
  GlobalUnlock(g);
  SetClipboardData(format, g);
  CloseClipboard();
}

std::string RawClipboard(UINT format) {
  std::string s;
  if (!OpenClipboard(nullptr)) return s;
  if (HANDLE h = GetClipboardData(format)) {
    auto* p = static_cast<const char*>(GlobalLock(h));
    s.assign(p, strnlen(p, GlobalSize(h)));
    GlobalUnlock(h);
  }
  CloseClipboard();
  return s;
}

size_t Offset(const std::string& header, const char* label) {
  size_t at = header.find(label);
  return at == std::string::npos ? 0 : strtoul(header.c_str() + at + strlen(label), nullptr, 10);
}

TEST(Clipboard, TextHtmlBinariesAndPictures) {
  const wchar_t* text = L"M\u00fcller \u65e5\u672c";
  const std::string utf8 = "M\xc3\xbcller \xe6\x97\xa5\xe6\x9c\xac";
  RunInTask([&](HWND) {
    RaiseLog raises;
    OpenClipboard(nullptr);
    EmptyClipboard();
    CloseClipboard();
    EXPECT_STREQ(cb_GetString(), L"");
    EXPECT_EQ(cb_GetSize(), 0);
    EXPECT_FALSE(Succeeds([] { cb_StringAvailable(); }));

    cb_PutString(text);
    EXPECT_TRUE(Succeeds([] { cb_StringAvailable(); }));
    EXPECT_STREQ(cb_GetString(), text);
    EXPECT_EQ(cb_GetSize(), static_cast<int>(wcslen(text) * 2 + 2));

    std::wstring html = std::wstring(L"<html><body><!--StartFragment-->") + text + L"<!--EndFragment--></body></html>";
    cb_PutHtmlString(L"plain", html.c_str());
    std::string block = RawClipboard(RegisterClipboardFormatW(L"HTML Format"));
    size_t startHtml = Offset(block, "StartHTML:"), start = Offset(block, "StartFragment:"),
           end = Offset(block, "EndFragment:");
    EXPECT_EQ(block.substr(start, end - start), utf8);
    EXPECT_EQ(block.compare(startHtml, 6, "<html>"), 0);
    EXPECT_EQ(Offset(block, "EndHTML:"), block.size());
    EXPECT_STREQ(cb_GetString(), L"plain");
    // Without markers both fragment offsets stand at the end; a body past six
    // digits widens the numbers and StartHTML counts the wider header.
    std::wstring big(1000000, L'x');
    cb_PutHtmlString(L"", big.c_str());
    block = RawClipboard(RegisterClipboardFormatW(L"HTML Format"));
    startHtml = Offset(block, "StartHTML:");
    EXPECT_EQ(block.compare(startHtml, 3, "xxx"), 0);
    EXPECT_EQ(Offset(block, "StartFragment:"), block.size());
    EXPECT_EQ(Offset(block, "EndFragment:"), block.size());

    uint8_t bin[4 + 5] = {9, 0, 0, 0, 'r', 'o', 's', 't', 'a'};
    cb_PutBin(L"KwiRoster", bin + 4);
    EXPECT_TRUE(Succeeds([] { cb_BinAvailable(L"KwiRoster"); }));
    EXPECT_FALSE(Succeeds([] { cb_BinAvailable(L"KwiOther"); }));
    uint8_t* back = cb_GetBin(L"KwiRoster");
    ASSERT_TRUE(back);
    EXPECT_EQ(memcmp(back - 4, bin, sizeof bin), 0);

    // Other programs' data: a size word beyond the block, a text without
    // terminator, a DIB that is not one.
    const uint8_t lying[8] = {0xE8, 3, 0, 0, 1, 2, 3, 4};
    PutRaw(RegisterClipboardFormatW(L"KwiRoster"), lying, sizeof lying);
    EXPECT_EQ(cb_GetBin(L"KwiRoster"), nullptr);
    const wchar_t open[4] = {L'a', L'b', L'c', L'd'};
    PutRaw(CF_UNICODETEXT, open, sizeof open);
    std::wstring got = cb_GetString();  // never read past the block
    EXPECT_LE(got.size(), 4u);
    EXPECT_EQ(got.substr(0, 3), L"abc");
    const uint8_t junk[20] = {40, 0, 0, 0, 0xFF, 0xFF, 0, 0};
    PutRaw(CF_DIB, junk, sizeof junk);
    EXPECT_EQ(cb_GetPicture(), nullptr);
    // Run-length data of 4,100 bytes whose header claims 1 MiB.
    BITMAPINFOHEADER rle{sizeof rle, 1024, 1024, 1, 8, BI_RLE8, 1u << 20, 0, 0, 256, 0};
    std::vector<uint8_t> dib(40 + 1024 + 4100, 1);
    memcpy(dib.data(), &rle, sizeof rle);
    PutRaw(CF_DIB, dib.data(), dib.size());
    EXPECT_EQ(cb_GetPicture(), nullptr);
    EXPECT_EQ(raises.Take(), (std::vector<int>{6454, 6455, 6455}));

    picture pic = RedDiagonal(7, 5);
    cb_PutPicture(pic);
    EXPECT_TRUE(Succeeds([] { cb_PictureAvailable(); }));
    picture again = cb_GetPicture();
    ASSERT_TRUE(again);
    uint32_t n1, n2;
    memcpy(&n1, pic, 4);
    memcpy(&n2, again, 4);
    EXPECT_EQ(n1, n2);
    EXPECT_EQ(memcmp(pic, again, n1), 0);
  });
}

// ---------------------------------------------------------------------------
// The clipboard against other programs on the same display: xclip (Wine
// hands Unicode text over as UTF8_STRING, "HTML Format" as text/html, the
// fragment only, and a DIB as image/bmp with a file header) and a second
// Windows program, kwi_clip_helper.

std::wstring Beside(const wchar_t* file) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring p = self;
  return p.substr(0, p.find_last_of(L'\\') + 1) + file;
}

// Runs kwi_clip_helper with `args` and waits for it without pumping this
// thread's messages: its exit code, or -1 when it is still running after
// `ms`.  Other programs must not wait for the thread that put the data (an
// owner window on this thread makes the first reader wait five seconds).
int WaitHelper(HANDLE process, DWORD ms) {
  if (!process) return -2;
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process, ms) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
  else TerminateProcess(process, 9);
  CloseHandle(process);
  return static_cast<int>(code);
}

// Starts kwi_clip_helper with `args`: its process, or null.
HANDLE StartClipHelper(const std::wstring& args) {
  std::wstring line = L"\"" + Beside(L"kwi_clip_helper.exe") + L"\" " + args;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return nullptr;
  CloseHandle(pi.hThread);
  return pi.hProcess;
}

int ClipHelper(const std::wstring& args, DWORD ms = 3000) { return WaitHelper(StartClipHelper(args), ms); }

TEST(ClipboardPeers, XclipBothWays) {
  std::wstring dir = TempDir(L"kwi_exchange_tests");
  std::wstring out = dir + L"xclip.out", bmpFile = dir + L"clip.bmp", pidFile = dir + L"xclip.pid";
  const wchar_t* text = L"M\u00fcller \u65e5\u672c";
  const std::string utf8 = "M\xc3\xbcller \xe6\x97\xa5\xe6\x9c\xac";
  std::string plain, html, bmp;
  std::vector<uint8_t> saved;
  std::wstring fromX;
  RunInTask([&](HWND) {
    cb_PutString(text);
    plain = ShellOutput("xclip -o -selection clipboard", out);
    std::wstring page = std::wstring(L"<html><body>x<!--StartFragment-->") + text + L"<!--EndFragment-->y</body></html>";
    cb_PutHtmlString(L"plain", page.c_str());
    html = ShellOutput("xclip -o -selection clipboard -t text/html", out);
    picture pic = RedDiagonal(5, 3);
    pict_Save(pic, bmpFile.c_str());
    saved = ReadBytes(bmpFile);
    cb_PutPicture(pic);
    bmp = ShellOutput("xclip -o -selection clipboard -t image/bmp", out);
    // xclip owns the selection (in the foreground, killed by its pid) until
    // the layer reads the text.
    std::string u8 = "Gr\xc3\xbc\xc3\x9f""e \xe6\x97\xa5\xe6\x9c\xac";
    WriteBytes(dir + L"xclip.in", std::vector<uint8_t>(u8.begin(), u8.end()));
    ASSERT_TRUE(Shell("xclip -i -quiet -selection clipboard '" + UnixName(dir + L"xclip.in") +
                          "' >/dev/null 2>&1 & echo $! > '" + UnixName(pidFile) + "'",
                      pidFile));
    PumpUntil([&] {
      fromX = cb_GetString();
      return fromX == L"Gr\u00fc\u00df""e \u65e5\u672c";
    }, 10000);
    std::vector<uint8_t> pid = ReadBytes(pidFile);
    std::string number(pid.begin(), pid.end());
    number.resize(strspn(number.c_str(), "0123456789"));
    if (!number.empty()) Shell("kill " + number + " 2>/dev/null; echo > '" + UnixName(out) + "'", out);
  });
  EXPECT_EQ(plain, utf8);
  EXPECT_EQ(html, utf8);
  ASSERT_GT(saved.size(), 54u);
  EXPECT_EQ(std::vector<uint8_t>(bmp.begin(), bmp.end()), saved);
  EXPECT_EQ(fromX, L"Gr\u00fc\u00df""e \u65e5\u672c");
}

TEST(ClipboardPeers, SecondProgramReadsAndEmpties) {
  std::wstring dir = TempDir(L"kwi_exchange_tests");
  std::wstring binFile = dir + L"bin.out", ansiFile = dir + L"ansi.out";
  const wchar_t* text = L"M\u00fcller \u65e5\u672c";
  uint8_t bin[4 + 6] = {10, 0, 0, 0, 'r', 0, 0xFF, 's', 't', 'a'};
  int gotBin = -1, gotAnsi = -1, emptied = -1;
  bool stillThere = true;
  std::string ansi(64, 0);
  ansi.resize(static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, text, -1, ansi.data(), 64, nullptr, nullptr)));
  RunInTask([&](HWND) {
    cb_PutBin(L"KwiRoster", bin + 4);
    gotBin = ClipHelper(L"get KwiRoster \"" + binFile + L"\"");
    cb_PutString(text);
    gotAnsi = ClipHelper(L"get 1 \"" + ansiFile + L"\"");
    emptied = ClipHelper(L"empty");
    stillThere = Succeeds([] { cb_StringAvailable(); });
  });
  EXPECT_EQ(gotBin, 0);
  std::vector<uint8_t> b = ReadBytes(binFile);
  ASSERT_GE(b.size(), sizeof bin);
  EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.begin() + sizeof bin), std::vector<uint8_t>(bin, bin + sizeof bin));
  EXPECT_EQ(gotAnsi, 0);
  std::vector<uint8_t> a = ReadBytes(ansiFile);
  EXPECT_EQ(std::string(a.begin(), a.end()).c_str(), ansi.substr(0, ansi.size() - 1));
  EXPECT_EQ(emptied, 0);
  EXPECT_FALSE(stillThere);
}

// A clipboard that another program holds open is busy, not empty: reads and
// writes raise 6450, an HTML write does nothing, and what was there stays.
TEST(ClipboardPeers, BusyClipboardIs6450) {
  HANDLE held = CreateEventW(nullptr, TRUE, FALSE, L"KwiClipHeld");
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, L"KwiClipFree");
  bool holding = false;
  std::vector<int> reads, html, write;
  std::wstring busyText = L"?", after;
  RunInTask([&](HWND) {
    cb_PutString(L"before");
    HANDLE helper = StartClipHelper(L"hold KwiClipHeld KwiClipFree");
    holding = WaitForSingleObject(held, 5000) == WAIT_OBJECT_0;
    {
      RaiseLog raises;
      busyText = cb_GetString();
      cb_GetSize();
      cb_GetBin(L"KwiRoster");
      cb_GetPicture();
      cb_GetMetafile();
      reads = raises.Take();
      cb_PutHtmlString(L"plain", L"<b>html</b>");
      html = raises.Take();
      cb_PutString(L"written");
      write = raises.Take();
    }
    SetEvent(release);
    WaitHelper(helper, 5000);
    after = cb_GetString();
  });
  CloseHandle(held);
  CloseHandle(release);
  ASSERT_TRUE(holding);
  EXPECT_EQ(reads, std::vector<int>(5, 6450));
  EXPECT_EQ(busyText, L"");
  EXPECT_EQ(html, std::vector<int>{});
  EXPECT_EQ(write, std::vector<int>{6450});
  EXPECT_EQ(after, L"before");
}

// A read whose copy raises (51 M characters do not fit the global stack:
// 201) leaves the clipboard closed and the data unlocked: the error comes
// through and another program gets the clipboard at once.
TEST(ClipboardPeers, ARaisingCopyLeavesTheClipboardFree) {
  uint32_t code = 0;
  UINT locks = 99;
  int opened = -1;
  RunInTask([&](HWND) {
    const size_t n = 51000000;
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, (n + 1) * sizeof(wchar_t));
    ASSERT_TRUE(g);
    auto* text = static_cast<wchar_t*>(GlobalLock(g));
    std::fill(text, text + n, L'x');
    text[n] = 0;
    GlobalUnlock(g);
    OpenClipboard(nullptr);
    EmptyClipboard();
    SetClipboardData(CF_UNICODETEXT, g);
    CloseClipboard();
    code = K::RunTrapped([] { cb_GetString(); });
    opened = ClipHelper(L"open");
    if (OpenClipboard(nullptr)) {
      if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) locks = GlobalFlags(h) & GMEM_LOCKCOUNT;
      EmptyClipboard();
      CloseClipboard();
    }
  });
  EXPECT_EQ(code, 201u);
  EXPECT_EQ(opened, 0);
  EXPECT_EQ(locks, 0u);
}

// ---------------------------------------------------------------------------
// Metafiles.

metafile Record(int kind) {
  LONG_PTR w = mf_Open_1(kind);
  brush_struct black{2, 0};
  win_SetBrush(w, &black);
  rect_struct box{10, 10, 30, 30};
  draw_Rect(w, &box);
  pnt_struct a{0, 50}, b{50, 50};
  draw_Line(w, &a, &b);
  return mf_Close(w);
}

uint32_t PixelAt(picture p, int x, int y) {
  BITMAPINFOHEADER h;
  memcpy(&h, p + 4, sizeof h);
  const uint8_t* bits = p + 4 + h.biSize;
  size_t stride = ((h.biWidth * h.biBitCount + 31) / 32) * 4;
  const uint8_t* px = bits + stride * (h.biHeight - 1 - y) + x * (h.biBitCount / 8);
  return px[2] << 16 | px[1] << 8 | px[0];
}

TEST(Metafiles, RecordSaveLoadPlay) {
  std::wstring dir = TempDir(L"kwi_exchange_tests");
  std::wstring wmf = dir + L"box.wmf", bare = dir + L"bare.WMF";
  rect_struct loaded{}, loadedBare{};
  int units = -1, unitsBare = -1, dpi = 0;
  uint32_t wmfInside = 1, wmfOutside = 0, emfInside = 1, emfMoved = 1;
  rect_struct emfRect{};
  std::vector<int> raised;
  RunInTask([&](HWND) {
    HDC screen = GetDC(nullptr);
    dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    metafile m = Record(0);
    ASSERT_TRUE(m);
    rect_struct box{0, 0, 100, 100};
    mf_Save(m, &box, wmf.c_str());
    rect_struct* rr = nullptr;
    metafile back = mf_Load(wmf.c_str(), &rr, &units);
    ASSERT_TRUE(back);
    loaded = *rr;
    // The bits alone, without the placeable header.
    std::vector<uint8_t> bytes = ReadBytes(wmf);
    WriteBytes(bare, std::vector<uint8_t>(bytes.begin() + 22, bytes.end()));
    metafile plain = mf_Load(bare.c_str(), &rr, &unitsBare);
    ASSERT_TRUE(plain);
    loadedBare = *rr;
    // Playing into pictures.
    rect_struct r{0, 0, 60, 60};
    LONG_PTR pw = pict_Open(&r);
    mf_Play_0(pw, m);
    picture p = pict_Close(pw);
    wmfInside = PixelAt(p, 20, 20);
    wmfOutside = PixelAt(p, 40, 40);
    metafile e = Record(1);
    pw = pict_Open(&r);
    mf_Play_0(pw, e);
    p = pict_Close(pw);
    auto* er = static_cast<mf_record*>(GlobalLock(e));
    emfRect = er->rect;
    GlobalUnlock(e);
    emfInside = PixelAt(p, 15, 5);  // the box moved up to the top
    emfMoved = PixelAt(p, 15, 25);
    // Through the clipboard.
    cb_PutMetafile(m);
    EXPECT_TRUE(Succeeds([] { cb_MetaFileAvailable(); }));
    metafile fromClip = cb_GetMetafile();
    EXPECT_TRUE(fromClip);
    RaiseLog raises;
    LONG_PTR open[4];
    for (auto& w : open) w = mf_Open();
    EXPECT_EQ(mf_Open(), 0);
    mf_Destroy(mf_Close(open[0]));
    open[0] = mf_Open();
    EXPECT_NE(open[0], 0);
    for (auto w : open) mf_Destroy(mf_Close(w));
    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + 40);
    WriteBytes(dir + L"cut.wmf", cut);
    WriteBytes(dir + L"foreign.emf", std::vector<uint8_t>(200, 7));
    int u = 0;
    for (std::wstring bad : {std::wstring(), dir + L"box.txt", dir + L"cut.wmf", dir + L"foreign.emf",
                             dir + L"missing.wmf"})
      EXPECT_EQ(mf_Load(bad.c_str(), &rr, &u), nullptr) << Narrow(bad);
    const uint8_t shortPict[4] = {8, 0, 0, 0};
    PutRaw(CF_METAFILEPICT, shortPict, sizeof shortPict);
    EXPECT_EQ(cb_GetMetafile(), nullptr);
    mf_Save(m, &box, (dir + L"no\\such\\dir\\x.wmf").c_str());
    raised = raises.Take();
    for (metafile x : {m, back, plain, e, fromClip}) mf_Destroy(x);
  });
  std::vector<uint8_t> bytes = ReadBytes(wmf);
  ASSERT_GE(bytes.size(), 22u);
  uint32_t key;
  memcpy(&key, bytes.data(), 4);
  EXPECT_EQ(key, 0x9AC6CDD7u);
  uint16_t sum = 0, stored;
  for (int i = 0; i < 10; ++i) sum ^= static_cast<uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
  memcpy(&stored, bytes.data() + 20, 2);
  EXPECT_EQ(sum, stored);
  EXPECT_EQ(loaded.right, 100);
  EXPECT_EQ(loaded.bottom, 100);
  EXPECT_EQ(units, dpi);
  EXPECT_EQ(loadedBare.left, 0);
  EXPECT_EQ(loadedBare.right, 100);
  EXPECT_EQ(loadedBare.bottom, 100);
  EXPECT_EQ(unitsBare, 0);
  EXPECT_EQ(wmfInside, 0u);
  EXPECT_EQ(wmfOutside, 0xFFFFFFu);
  EXPECT_EQ(emfInside, 0u);
  EXPECT_EQ(emfMoved, 0xFFFFFFu) << emfRect.left << " " << emfRect.top << " " << emfRect.right << " "
                                 << emfRect.bottom;
  EXPECT_EQ(raised, (std::vector<int>{6359, 6007, 6356, 6352, 6352, 6005, 6456, 6006}));
}

// The number of attribute `name` in the first element `tag` of an SVG text;
// NaN when absent.
double SvgNumber(const std::string& svg, const char* tag, const char* name) {
  size_t at = svg.find(std::string("<") + tag + " ");
  if (at == std::string::npos) return NAN;
  size_t end = svg.find('>', at);
  size_t a = svg.find(std::string(" ") + name + "=\"", at);
  if (a == std::string::npos || a > end) return NAN;
  return strtod(svg.c_str() + a + strlen(name) + 3, nullptr);
}

// wmf2svg fits the drawing's own extent into the picture: the rectangle
// (10, 10, 30, 30) and the line (0, 50)-(50, 50) are checked against each
// other.
TEST(Metafiles, SavedFileReadsInWmf2svg) {
  std::wstring dir = TempDir(L"kwi_exchange_tests");
  std::wstring wmf = dir + L"peer.wmf", svgFile = dir + L"peer.svg";
  std::string svg;
  RunInTask([&](HWND) {
    metafile m = Record(0);
    ASSERT_TRUE(m);
    rect_struct box{0, 0, 100, 100};
    mf_Save(m, &box, wmf.c_str());
    mf_Destroy(m);
    svg = ShellOutput("wmf2svg '" + UnixName(wmf) + "'", svgFile);
  });
  ASSERT_NE(svg.find("<svg"), std::string::npos) << svg;
  double x = SvgNumber(svg, "rect", "x"), y = SvgNumber(svg, "rect", "y");
  double w = SvgNumber(svg, "rect", "width"), h = SvgNumber(svg, "rect", "height");
  double x1 = SvgNumber(svg, "line", "x1"), x2 = SvgNumber(svg, "line", "x2");
  double y1 = SvgNumber(svg, "line", "y1"), y2 = SvgNumber(svg, "line", "y2");
  ASSERT_GT(x2 - x1, 0) << svg;
  EXPECT_NEAR((x - x1) / (x2 - x1), 10.0 / 50, 0.02) << svg;
  EXPECT_NEAR(w / (x2 - x1), 20.0 / 50, 0.02) << svg;
  EXPECT_DOUBLE_EQ(y1, y2) << svg;
  ASSERT_GT(y1 - y, 0) << svg;
  EXPECT_NEAR(h / (y1 - y), 20.0 / 40, 0.02) << svg;
  EXPECT_NE(svg.find("fill:black"), std::string::npos) << svg;
}

}  // namespace
