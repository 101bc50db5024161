// The program end to end: kalmoraTessaro.exe copied with its DLLs into a
// fresh folder and driven from outside, as a person would, through keys,
// clicks, its menu and its boxes.
//
// Invariants:
//  - Every wait is bounded; a program still running when a case ends is
//    ended, so no case leaves a process behind.
//  - No window titled "Program Error" may appear at any time: each wait
//    looks for one and fails the case when it sees it.
//  - The tree view is read through a buffer made in the program's process
//    (TVM_GETITEMW writes into the address space of the control's owner).
//  - Screenshots go to build/test-artifacts/program/ for people; nothing
//    compares them.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "TaskWindow/taskwindow_ids.h"
#include "child_process.h"

namespace {

constexpr wchar_t kProgram[] = L"kalmoraTessaro.exe";

std::wstring Folder(const std::wstring& path) { return path.substr(0, path.rfind(L'\\') + 1); }

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Bytes(const std::wstring& path) {
  std::string out;
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return out;
  char buffer[65536];
  DWORD n = 0;
  while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n) out.append(buffer, n);
  CloseHandle(h);
  return out;
}

std::wstring Text(HWND w) {
  wchar_t b[512] = {};
  GetWindowTextW(w, b, 512);
  return b;
}

// Runs a helper program of the build folder; its exit code and output.
std::pair<DWORD, std::string> RunBeside(const wchar_t* exe, const std::wstring& args) {
  testchild::Child c =
      testchild::Start(testchild::Beside(exe), std::wstring(exe) + L" " + args, true);
  testchild::Wait(c, 300000);
  return {c.error ? c.error : c.exitCode, c.text};
}

// A whole-screen picture as a BMP file.
void Screenshot(const std::wstring& name) {
  const std::wstring dir = Folder(testchild::ThisProgram()) + L"..\\test-artifacts";
  CreateDirectoryW(dir.c_str(), nullptr);
  CreateDirectoryW((dir + L"\\program").c_str(), nullptr);
  HDC screen = GetDC(nullptr);
  const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, screen, 0, 0, SRCCOPY);
  SelectObject(mem, old);
  const DWORD stride = (w * 3 + 3) & ~3u, size = stride * h;
  BITMAPFILEHEADER fh{0x4D42, DWORD(sizeof fh + sizeof bi.bmiHeader + size), 0, 0,
                      DWORD(sizeof fh + sizeof bi.bmiHeader)};
  if (FILE* f = _wfopen((dir + L"\\program\\" + name + L".bmp").c_str(), L"wb")) {
    fwrite(&fh, sizeof fh, 1, f);
    fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f);
    fwrite(bits, 1, size, f);
    fclose(f);
  }
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
}

void Key(WORD vk) {
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_KEYBOARD;
  in[0].ki.wVk = in[1].ki.wVk = vk;
  in[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, in, sizeof(INPUT));
}

void DoubleClick(POINT at) {
  SetCursorPos(at.x, at.y);
  INPUT in[4] = {};
  for (int i = 0; i < 4; ++i) {
    in[i].type = INPUT_MOUSE;
    in[i].mi.dwFlags = i % 2 ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_LEFTDOWN;
  }
  SendInput(4, in, sizeof(INPUT));
}

// One run of the program in its folder.
class Program {
 public:
  explicit Program(const std::wstring& exe) {
    child_ = testchild::Start(exe, std::wstring(kProgram), true);
  }
  ~Program() {
    if (child_.Started() && child_.out) {
      if (testchild::Poll(child_)) TerminateProcess(child_.pi.hProcess, 99);
      testchild::Close(child_);
    }
    if (buffer_) VirtualFreeEx(child_.pi.hProcess, buffer_, 0, MEM_RELEASE);
  }
  bool Started() const { return child_.Started(); }
  bool SawProgramError() const { return programError_; }
  const std::string& Output() const { return child_.text; }

  // The process's visible top-level windows.
  std::vector<HWND> Windows() {
    std::vector<HWND> found;
    std::pair<DWORD, std::vector<HWND>*> mine(child_.pi.dwProcessId, &found);
    EnumWindows(
        [](HWND w, LPARAM p) {
          auto* self = reinterpret_cast<std::pair<DWORD, std::vector<HWND>*>*>(p);
          DWORD pid = 0;
          GetWindowThreadProcessId(w, &pid);
          if (pid == self->first && IsWindowVisible(w)) self->second->push_back(w);
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&mine));
    for (HWND w : found)
      if (Text(w) == L"Program Error") programError_ = true;
    return found;
  }
  HWND WindowTitled(const std::wstring& title) {
    for (HWND w : Windows())
      if (Text(w) == title) return w;
    return nullptr;
  }
  // Waits until `done` or the time is out; false on time-out or an ended process.
  bool Until(const std::function<bool()>& done, DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    while (GetTickCount64() < end) {
      Windows();
      if (done()) return true;
      if (!testchild::Poll(child_)) return done();
      Sleep(50);
    }
    return false;
  }
  HWND Main() {
    if (!main_ || !IsWindow(main_))
      for (HWND w : Windows())
        if (Text(w).rfind(L"Kalmora6", 0) == 0) main_ = w;
    return main_;
  }
  // A dialog box of the process other than the Stop and message windows.
  HWND Box() {
    for (HWND w : Windows()) {
      wchar_t cls[64];
      GetClassNameW(w, cls, 64);
      if (w != Main() && wcscmp(cls, L"#32770") == 0 && !Text(w).empty() && Text(w) != L"stop" &&
          Text(w) != L"Messages")
        return w;
    }
    return nullptr;
  }
  // The button `text` of a question box (they have no title); null without one.
  HWND QuestionButton(const std::wstring& text);
  // The program's end: its exit code, or 124 when it did not end in time.
  DWORD Ended(DWORD ms) {
    testchild::Wait(child_, ms);
    return child_.hung ? 124 : child_.exitCode;
  }

  void Focus() {
    SetForegroundWindow(Main());
    Sleep(100);
  }
  void Command(int id) { PostMessageW(Main(), WM_COMMAND, MAKEWPARAM(id, 0), 0); }

  // The command tree's control and its items' texts, depth first.
  HWND Tree() {
    HWND found = nullptr;
    EnumChildWindows(
        Main(),
        [](HWND w, LPARAM p) {
          wchar_t cls[64];
          GetClassNameW(w, cls, 64);
          if (wcscmp(cls, WC_TREEVIEWW) == 0 && IsWindowVisible(w)) {
            *reinterpret_cast<HWND*>(p) = w;
            return FALSE;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
  }
  std::wstring ItemText(HWND tree, HTREEITEM item) {
    Remote();
    TVITEMW it{};
    it.mask = TVIF_TEXT;
    it.hItem = item;
    it.pszText = reinterpret_cast<wchar_t*>(static_cast<char*>(buffer_) + sizeof(TVITEMW));
    it.cchTextMax = 256;
    WriteProcessMemory(child_.pi.hProcess, buffer_, &it, sizeof it, nullptr);
    if (!SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(buffer_))) return L"";
    wchar_t text[256] = {};
    ReadProcessMemory(child_.pi.hProcess, it.pszText, text, sizeof text - sizeof(wchar_t), nullptr);
    return text;
  }
  std::vector<std::pair<HTREEITEM, std::wstring>> Items() {
    std::vector<std::pair<HTREEITEM, std::wstring>> out;
    HWND tree = Tree();
    if (!tree) return out;
    std::function<void(HTREEITEM)> walk = [&](HTREEITEM item) {
      for (; item; item = TreeView_GetNextSibling(tree, item)) {
        out.push_back({item, ItemText(tree, item)});
        walk(TreeView_GetChild(tree, item));
      }
    };
    walk(TreeView_GetRoot(tree));
    return out;
  }
  // The first item named `text`, under a parent named `under` when given.
  HTREEITEM Find(const std::wstring& text, const std::wstring& under = L"") {
    HWND tree = Tree();
    for (const auto& [item, t] : Items()) {
      if (t != text) continue;
      if (under.empty()) return item;
      if (HTREEITEM up = TreeView_GetParent(tree, item); up && ItemText(tree, up) == under) return item;
    }
    return nullptr;
  }
  std::string Joined() {
    std::string out;
    for (const std::wstring& t : Texts()) out += std::string(t.begin(), t.end()) + "|";
    return out;
  }
  std::vector<std::wstring> Texts() {
    std::vector<std::wstring> out;
    for (const auto& [item, text] : Items()) out.push_back(text);
    return out;
  }
  // A double click at the text of the item named `text`; false without one.
  // Its parents are expanded first and the tree read again: the program may
  // make the items of a branch anew when it opens.
  bool DoubleClickItem(const std::wstring& text, const std::wstring& under = L"") {
    HWND tree = Tree();
    HTREEITEM item = Find(text, under);
    if (!item) return false;
    for (HTREEITEM up = TreeView_GetParent(tree, item); up; up = TreeView_GetParent(tree, up))
      SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(up));
    if (!(item = Find(text, under))) return false;
    SendMessageW(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
    Remote();
    RECT r{};
    *reinterpret_cast<HTREEITEM*>(&r) = item;
    WriteProcessMemory(child_.pi.hProcess, buffer_, &r, sizeof r, nullptr);
    if (!SendMessageW(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(buffer_))) return false;
    ReadProcessMemory(child_.pi.hProcess, buffer_, &r, sizeof r, nullptr);
    POINT at{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ClientToScreen(tree, &at);
    Focus();
    DoubleClick(at);
    return true;
  }

 private:
  void Remote() {
    if (!buffer_)
      buffer_ = VirtualAllocEx(child_.pi.hProcess, nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  }

  testchild::Child child_;
  HWND main_ = nullptr;
  void* buffer_ = nullptr;
  bool programError_ = false;
};

// A button of a box by its text ("&" ignored); null without one.
HWND ButtonOf(HWND box, const std::wstring& text) {
  std::pair<std::wstring, HWND> find{text, nullptr};
  EnumChildWindows(
      box,
      [](HWND w, LPARAM p) {
        auto* f = reinterpret_cast<std::pair<std::wstring, HWND>*>(p);
        std::wstring t = Text(w);
        std::wstring plain;
        for (wchar_t c : t)
          if (c != L'&') plain += c;
        if (plain == f->first) {
          f->second = w;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&find));
  return find.second;
}

HWND Program::QuestionButton(const std::wstring& text) {
  for (HWND w : Windows()) {
    wchar_t cls[64];
    GetClassNameW(w, cls, 64);
    if (w != Main() && wcscmp(cls, L"#32770") == 0)
      if (HWND button = ButtonOf(w, text)) return button;
  }
  return nullptr;
}

// The names in a folder, for a failure's message.
std::string Listing(const std::wstring& dir) {
  std::string out;
  WIN32_FIND_DATAW f;
  HANDLE h = FindFirstFileW((dir + L"*").c_str(), &f);
  if (h == INVALID_HANDLE_VALUE) return "(no folder)";
  do {
    for (const wchar_t* c = f.cFileName; *c; ++c) out += *c < 128 ? static_cast<char>(*c) : '?';
    out += "|";
  } while (FindNextFileW(h, &f));
  FindClose(h);
  return out;
}

class ProgramSmoke : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    dir_ = std::wstring(temp) + L"kalmora_smoke_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
           std::wstring(test.begin(), test.end()) + L"\\";
    RemoveAll();
    ASSERT_TRUE(CreateDirectoryW(dir_.c_str(), nullptr));
    const std::wstring bin = Folder(testchild::ThisProgram());
    ASSERT_TRUE(CopyFileW((bin + kProgram).c_str(), (dir_ + kProgram).c_str(), FALSE)) << "no program built";
    WIN32_FIND_DATAW f;
    HANDLE h = FindFirstFileW((bin + L"*.dll").c_str(), &f);
    for (BOOL more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileW(h, &f))
      CopyFileW((bin + f.cFileName).c_str(), (dir_ + f.cFileName).c_str(), FALSE);
    if (h != INVALID_HANDLE_VALUE) FindClose(h);
  }
  void TearDown() override { RemoveAll(); }

  void RemoveAll() {
    WIN32_FIND_DATAW f;
    HANDLE h = FindFirstFileW((dir_ + L"*").c_str(), &f);
    for (BOOL more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileW(h, &f))
      DeleteFileW((dir_ + f.cFileName).c_str());
    if (h != INVALID_HANDLE_VALUE) FindClose(h);
    RemoveDirectoryW(dir_.c_str());
  }

  // A roster of a fixture spec written by the fixture's builder.
  std::wstring Roster(const wchar_t* spec) {
    const std::wstring file = dir_ + L"roster.km6";
    auto [code, text] = RunBeside(L"all_roster_child.exe", std::wstring(L"build ") + spec + L" \"" + file + L"\"");
    EXPECT_EQ(code, 0u) << text;
    return file;
  }

  // Starts the program; its main window shown with the start items.
  void Start(Program& p) {
    ASSERT_TRUE(p.Started());
    ASSERT_TRUE(p.Until([&] { return p.Main() && p.Tree() && !p.Texts().empty(); }, 60000))
        << "no task window with its tree";
  }

  // F8 and the file's path typed into the Open dialog; the caption names it
  // and no other box comes.
  void Open(Program& p, const std::wstring& file) {
    p.Focus();
    Key(VK_F8);
    HWND dialog = nullptr;
    ASSERT_TRUE(p.Until([&] { return (dialog = p.WindowTitled(L"Select file")) != nullptr; }, 20000))
        << "no Open dialog";
    for (int i = 0; i < 20 && IsWindow(dialog) && IsWindowVisible(dialog); ++i) {
      SetDlgItemTextW(dialog, 0x47C, file.c_str());
      PostMessageW(dialog, WM_COMMAND, IDOK, 0);
      Sleep(300);
    }
    const std::wstring name = file.substr(file.rfind(L'\\') + 1);
    const bool opened = p.Until([&] { return Text(p.Main()).find(name) != std::wstring::npos; }, 60000);
    if (!opened) Screenshot(L"open_failed");
    ASSERT_TRUE(opened) << "caption " << ::testing::PrintToString(Text(p.Main()));
    EXPECT_EQ(p.Box(), nullptr) << "a box after the open: " << ::testing::PrintToString(Text(p.Box()));
  }

  // Double-clicks "Generator" and waits for the Stop window to come and go.
  void Generate(Program& p, bool toEnd = true) {
    ASSERT_TRUE(p.Until([&] { return p.DoubleClickItem(L"Generator"); }, 20000))
        << "no Generator item among " << p.Joined();
    // A short run can come and go between two looks: the fill rate checked
    // after the save shows that it ran.  A run stopped midway must be seen.
    const bool seen = p.Until([&] { return p.WindowTitled(L"stop") != nullptr; }, toEnd ? 5000 : 60000);
    if (!toEnd) {
      ASSERT_TRUE(seen) << "no Stop window";
      return;
    }
    ASSERT_TRUE(p.Until([&] { return p.WindowTitled(L"stop") == nullptr; }, 300000)) << "the run goes on";
  }

  // Presses the button `text` of the next box, within `ms`.
  void Answer(Program& p, const std::wstring& text, DWORD ms = 20000) {
    HWND button = nullptr;
    ASSERT_TRUE(p.Until([&] {
      HWND box = p.Box();
      return box && (button = ButtonOf(box, text)) != nullptr;
    }, ms)) << "no box with " << ::testing::PrintToString(text);
    SendMessageW(button, BM_CLICK, 0, 0);
  }

  // F2 with a save question answered "Save", then File Exit: exit code 0
  // and never a "Program Error" window.
  void SaveAndExit(Program& p) {
    p.Focus();
    Key(VK_F2);
    p.Until([&] {
      if (HWND save = p.QuestionButton(L"Save")) SendMessageW(save, BM_CLICK, 0, 0);
      return false;
    }, 3000);
    Screenshot(L"saved");
    p.Command(IDM_FILE_EXIT);
    // A question left after the save is answered "Save" too.
    p.Until([&] {
      if (HWND save = p.QuestionButton(L"Save")) SendMessageW(save, BM_CLICK, 0, 0);
      return false;  // until the process ends
    }, 20000);
    EXPECT_EQ(p.Ended(60000), 0u) << p.Output();
    EXPECT_FALSE(p.SawProgramError());
  }

  // A fresh process opens the file and exits with 0, asking nothing.
  void Reopened(const std::wstring& file) {
    Program p(Exe());
    ASSERT_NO_FATAL_FAILURE(Start(p));
    ASSERT_NO_FATAL_FAILURE(Open(p, file));
    p.Command(IDM_FILE_EXIT);
    EXPECT_EQ(p.Ended(60000), 0u) << p.Output();
    EXPECT_FALSE(p.SawProgramError());
  }

  // roster_check on the saved file: no violation; after a run some duties filled.
  void Checked(const std::wstring& file, bool filled) {
    auto [code, text] = RunBeside(L"roster_check.exe", L"\"" + file + L"\"");
    EXPECT_EQ(code, 0u) << text;
    const size_t at = text.rfind("violations ");
    ASSERT_NE(at, std::string::npos) << text;
    unsigned violations = 1;
    double fill = 0;
    ASSERT_EQ(sscanf(text.c_str() + at, "violations %u, fill rate %lf", &violations, &fill), 2) << text;
    EXPECT_EQ(violations, 0u) << text;
    if (filled) EXPECT_GT(fill, 0.0) << text;
  }

  std::wstring Exe() const { return dir_ + kProgram; }

  std::wstring dir_;
};

// Start items, open, backup, save, exit; the saved roster judged and opened by a fresh process without a question.
TEST_F(ProgramSmoke, OpenSaveExit) {
  const std::wstring file = Roster(L"small");
  {
    Program p(Exe());
    ASSERT_NO_FATAL_FAILURE(Start(p));
    const std::vector<std::wstring> start = p.Texts();
    for (const wchar_t* item : {L"New rota", L"Open file", L"List files", L"Import KM5 file", L"Help"})
      EXPECT_NE(std::find(start.begin(), start.end(), item), start.end()) << ::testing::PrintToString(item);
    Screenshot(L"start");
    ASSERT_NO_FATAL_FAILURE(Open(p, file));
    EXPECT_FALSE(Bytes(file + L".km6 Back").empty());
    Screenshot(L"opened");
    ASSERT_NO_FATAL_FAILURE(SaveAndExit(p));
  }
  ASSERT_NO_FATAL_FAILURE(Checked(file, false));
  ASSERT_NO_FATAL_FAILURE(Reopened(file));
}

// The same road with a run of the Generator and the "All duties" view: the
// saved roster has duties filled and no violation, the options and the
// recently used files are stored beside the program.
TEST_F(ProgramSmoke, OpenRunSaveExit) {
  const std::wstring file = Roster(L"small");
  {
    Program p(Exe());
    ASSERT_NO_FATAL_FAILURE(Start(p));
    ASSERT_NO_FATAL_FAILURE(Open(p, file));
    ASSERT_NO_FATAL_FAILURE(Generate(p));
    Screenshot(L"generated");
    ASSERT_TRUE(p.Until([&] { return p.DoubleClickItem(L"All duties", L"Display & edit"); }, 20000))
        << "no All duties item among " << p.Joined();
    p.Until([] { return false; }, 1500);
    Screenshot(L"all_duties");
    ASSERT_NO_FATAL_FAILURE(SaveAndExit(p));
  }
  EXPECT_TRUE(Exists(dir_ + L"opt.cns"));
  EXPECT_TRUE(Exists(dir_ + L"kalmoraTessaro.rem file")) << Listing(dir_);
  ASSERT_NO_FATAL_FAILURE(Checked(file, true));
  ASSERT_NO_FATAL_FAILURE(Reopened(file));
}

// The close box on an opened, unchanged roster ends the program with 0.
TEST_F(ProgramSmoke, CloseBox) {
  const std::wstring file = Roster(L"small");
  Program p(Exe());
  ASSERT_NO_FATAL_FAILURE(Start(p));
  ASSERT_NO_FATAL_FAILURE(Open(p, file));
  PostMessageW(p.Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(p.Ended(60000), 0u) << p.Output();
  EXPECT_FALSE(p.SawProgramError());
}

// "Forget changes and Exit" after a run leaves the file's bytes.
TEST_F(ProgramSmoke, ForgetAfterRunKeepsFile) {
  const std::wstring file = Roster(L"small");
  const std::string before = Bytes(file);
  Program p(Exe());
  ASSERT_NO_FATAL_FAILURE(Start(p));
  ASSERT_NO_FATAL_FAILURE(Open(p, file));
  ASSERT_NO_FATAL_FAILURE(Generate(p));
  p.Command(IDM_FILE_FORGET_EXIT);
  HWND forget = nullptr;
  ASSERT_TRUE(p.Until([&] { return (forget = p.QuestionButton(L"Forget")) != nullptr; }, 20000))
      << "no question \"Forget changes - are you sure you want to exit?\"";
  SendMessageW(forget, BM_CLICK, 0, 0);
  EXPECT_EQ(p.Ended(60000), 0u) << p.Output();
  EXPECT_FALSE(p.SawProgramError());
  EXPECT_EQ(Bytes(file), before);
}

// Exit while a long run assigns: the question answered "Save" stops the
// run and saves what it assigned.
TEST_F(ProgramSmoke, ExitDuringLongRunSaves) {
  const std::wstring file = Roster(L"large104");
  Program p(Exe());
  ASSERT_NO_FATAL_FAILURE(Start(p));
  ASSERT_NO_FATAL_FAILURE(Open(p, file));
  ASSERT_NO_FATAL_FAILURE(Generate(p, false));
  p.Until([] { return false; }, 3000);  // the run assigns meanwhile
  Screenshot(L"long_run");
  p.Command(IDM_FILE_EXIT);
  // A run that has assigned leaves the document changed: the question is
  // answered "Save" (a run stopped before its first assignment asks nothing).
  p.Until([&] {
    if (HWND save = p.QuestionButton(L"Save")) SendMessageW(save, BM_CLICK, 0, 0);
    return false;  // until the process ends
  }, 60000);
  EXPECT_EQ(p.Ended(120000), 0u) << p.Output();
  EXPECT_FALSE(p.SawProgramError());
  ASSERT_NO_FATAL_FAILURE(Checked(file, false));
}

}  // namespace
