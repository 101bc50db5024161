// The folder picker on a real folder tree in the temporary folder, driven
// by a helper thread: full start folders, OK and Cancel answers, rows opened
// by Enter, Space and OK, the Subdirectory field, the hidden field.
#include <string>
#include <vector>

#include "kwi/kwiDlgDir/kwiDlgDir.h"
#include "toolkit_test.h"

using namespace tktest;
using namespace tav;
using namespace QEL_KWI;

namespace {

using DirPicker = Library;

// <temp>\kwi pick\Data\{beta, alpha}; the current directory <temp>\kwi pick.
class Folders {
 public:
  Folders() {
    wchar_t t[MAX_PATH];
    GetTempPathW(MAX_PATH, t);
    root_ = std::wstring(t) + L"kwi pick";
    for (const wchar_t* f : {L"", L"\\Data", L"\\Data\\beta", L"\\Data\\alpha"})
      CreateDirectoryW((root_ + f).c_str(), nullptr);
    GetCurrentDirectoryW(MAX_PATH, saved_);
    SetCurrentDirectoryW(root_.c_str());
  }
  ~Folders() { SetCurrentDirectoryW(saved_); }
  std::wstring Data() const { return root_ + L"\\Data"; }

 private:
  std::wstring root_;
  wchar_t saved_[MAX_PATH];
};

std::wstring Field(HWND d, int id) { return CtlText(d, id); }

// Moves the focus off the folder list, so that OK closes.
void FocusPath(HWND d) {
  SendMessageW(d, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(d, 512)), TRUE);
}

int Row(HWND d, const wchar_t* text) {
  return static_cast<int>(SendMessageW(GetDlgItem(d, 511), LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(text)));
}

// The texts of a list box's rows.
std::vector<std::wstring> Rows(HWND list) {
  std::vector<std::wstring> rows;
  const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    wchar_t b[MAX_PATH] = {};
    SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(b));
    rows.push_back(b);
  }
  return rows;
}

struct Answer {
  int32_t code = -1;
  std::wstring path;
};

Answer Pick(const wchar_t* title, int32_t subdirSwitch, const wchar_t* start,
            std::function<void(HWND)> act) {
  Answer a;
  RunInTask([&](LONG_PTR task) {
    Script s({{title, act}}, 300);
    const wchar_t* path = nullptr;
    a.code = kwiDlgDir::getDirectoryName(task, title, subdirSwitch, start, &path);
    a.path = path ? path : L"";
    s.Finish();
  });
  return a;
}

TEST_F(DirPicker, ARelativeStartIsPlacedInTheCurrentFolderAndCancelKeepsIt) {
  Folders f;
  std::wstring shown;
  Answer a = Pick(L"Pick one", 0, L"Data", [&](HWND d) {
    shown = Field(d, 512);
    Click(d, 2);
  });
  EXPECT_EQ(a.code, 0);
  EXPECT_EQ(a.path, f.Data());
  EXPECT_EQ(shown, f.Data());
}

TEST_F(DirPicker, OkOnADriveAnswersItsRoot) {
  Answer a = Pick(L"Pick drive", 0, L"C:", [&](HWND d) {
    FocusPath(d);
    Click(d, 1);
  });
  EXPECT_EQ(a.code, 1);
  EXPECT_EQ(a.path, L"C:\\");
}

TEST_F(DirPicker, EnterSpaceAndOkInTheListOpenRowsAndTheSubdirectoryFollows) {
  Folders f;
  std::vector<std::wstring> shown;
  std::vector<std::wstring> rows;
  Answer a = Pick(L"Pick more", 0, f.Data().c_str(), [&](HWND d) {
    HWND list = GetDlgItem(d, 511);
    rows = Rows(list);
    // Selecting a row only shows its path.
    SendMessageW(list, LB_SETCURSEL, Row(d, L"beta"), 0);
    SendMessageW(d, WM_COMMAND, MAKEWPARAM(511, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    Sleep(100);
    shown.push_back(Field(d, 512));
    // Enter opens it.
    PostMessageW(list, WM_CHAR, 13, 1);
    Sleep(300);
    shown.push_back(Field(d, 512));
    // Space opens the level above again, OK with the list focused too.
    SendMessageW(list, LB_SETCURSEL, Row(d, L"Data"), 0);
    PostMessageW(list, WM_CHAR, 32, 1);
    Sleep(300);
    shown.push_back(Field(d, 512));
    SendMessageW(list, LB_SETCURSEL, Row(d, L"alpha"), 0);
    SendMessageW(d, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(list), TRUE);
    Click(d, 1);
    Sleep(300);
    shown.push_back(Field(d, 512));
    SetWindowTextW(GetDlgItem(d, 518), L"new");
    Sleep(100);
    shown.push_back(Field(d, 512));
    SetWindowTextW(GetDlgItem(d, 518), L"\\new");
    Sleep(100);
    shown.push_back(Field(d, 512));
    FocusPath(d);
    Click(d, 1);
  });
  ASSERT_GE(rows.size(), 3u);
  EXPECT_EQ(rows[rows.size() - 3], L"Data");
  EXPECT_EQ(rows[rows.size() - 2], L"alpha");
  EXPECT_EQ(rows.back(), L"beta");
  const std::wstring d = f.Data();
  EXPECT_EQ(shown, (std::vector<std::wstring>{d + L"\\beta", d + L"\\beta", d, d + L"\\alpha",
                                              d + L"\\alpha\\new", d + L"\\alpha\\new"}));
  EXPECT_EQ(a.code, 1);
  EXPECT_EQ(a.path, d + L"\\alpha\\new");
}

TEST_F(DirPicker, SwitchOneHidesTheSubdirectoryField) {
  Folders f;
  bool label = true, field = true;
  Pick(L"Pick hidden", 1, f.Data().c_str(), [&](HWND d) {
    label = IsWindowVisible(GetDlgItem(d, 519)) != 0;
    field = IsWindowVisible(GetDlgItem(d, 518)) != 0;
    Click(d, 2);
  });
  EXPECT_FALSE(label);
  EXPECT_FALSE(field);
}

// The test command maps N: to a folder of the build tree typed "network".
TEST_F(DirPicker, AMappedNetworkDriveIsListedAndOpensItsFolders) {
  std::vector<std::wstring> rows;
  int found = -1;
  Pick(L"Pick network", 0, L"C:\\", [&](HWND d) {
    HWND combo = GetDlgItem(d, 514);
    found = static_cast<int>(SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                          reinterpret_cast<LPARAM>(L"N: ")));
    SendMessageW(combo, CB_SETCURSEL, found, 0);
    SendMessageW(d, WM_COMMAND, MAKEWPARAM(514, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
    Sleep(200);
    HWND list = GetDlgItem(d, 511);
    rows = Rows(list);
    Click(d, 2);
  });
  ASSERT_GE(found, 0);
  EXPECT_EQ(rows, (std::vector<std::wstring>{L"N:", L"alpha", L"beta"}));
}

}  // namespace
