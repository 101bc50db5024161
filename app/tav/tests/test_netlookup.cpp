// The folder picker's network lookup against a stand-in "net" command (and
// once against the real one): servers and shares parsed from its output,
// an output that arrives late, Cancel, a temporary folder with a blank.
#include <string>
#include <vector>

#include "kwi/kwiDlgDir/kwiDlgDir.h"
#include "toolkit_test.h"

using namespace tktest;
using namespace tav;
using namespace QEL_KWI;

namespace {

using NetLookup = Library;

std::vector<std::wstring> Strings(const slist_struct* l) {
  std::vector<std::wstring> v;
  for (; l && l->functor == ListCons; l = l->next) v.push_back(l->value);
  return v;
}

std::wstring Env(const wchar_t* name) {
  wchar_t b[4096];
  const DWORD n = GetEnvironmentVariableW(name, b, 4096);
  return n && n < 4096 ? std::wstring(b, n) : std::wstring();
}

// The folder of the test program.
std::wstring ProgramFolder() {
  wchar_t b[MAX_PATH];
  GetModuleFileNameW(nullptr, b, MAX_PATH);
  std::wstring s = b;
  return s.substr(0, s.rfind(L'\\'));
}

// Files matching `pattern` in `folder`.
std::vector<std::wstring> Files(const std::wstring& folder, const wchar_t* pattern) {
  std::vector<std::wstring> found;
  WIN32_FIND_DATAW d;
  HANDLE h = FindFirstFileW((folder + L"\\" + pattern).c_str(), &d);
  if (h == INVALID_HANDLE_VALUE) return found;
  do found.push_back(d.cFileName);
  while (FindNextFileW(h, &d));
  FindClose(h);
  return found;
}

// A fresh temporary folder with a blank in its name as TEMP, the stand-in
// first on the PATH; both restored at the end.
class StubbedNet {
 public:
  explicit StubbedNet(const wchar_t* mode) : path_(Env(L"PATH")), temp_(Env(L"TEMP")) {
    folder_ = temp_ + L"\\kwi net lookup";
    CreateDirectoryW(folder_.c_str(), nullptr);
    for (const std::wstring& f : Files(folder_, L"*.*"))
      if (f != L"." && f != L"..") DeleteFileW((folder_ + L"\\" + f).c_str());
    SetEnvironmentVariableW(L"TEMP", folder_.c_str());
    SetEnvironmentVariableW(L"PATH", (ProgramFolder() + L"\\netstub;" + path_).c_str());
    SetEnvironmentVariableW(L"KWI_NET_STUB", mode);
  }
  ~StubbedNet() {
    SetEnvironmentVariableW(L"PATH", path_.c_str());
    SetEnvironmentVariableW(L"TEMP", temp_.c_str());
    SetEnvironmentVariableW(L"KWI_NET_STUB", nullptr);
  }
  const std::wstring& Folder() const { return folder_; }

 private:
  std::wstring path_, temp_, folder_;
};

TEST_F(NetLookup, ServersAndSharesAreParsedWithoutTheClosingLine) {
  std::vector<std::wstring> servers, shares, left, here;
  {
    StubbedNet net(L"servers");
    RunInTask([&](LONG_PTR task) {
      servers = Strings(kwiDlgDir::get_list_net_servers(task));
      shares = Strings(kwiDlgDir::get_list_net_resources(task, L"\\\\SERVER1"));
    });
    left = Files(net.Folder(), L"*.*");
    here = Files(L".", L"~DIR*");
  }
  EXPECT_EQ(servers, (std::vector<std::wstring>{L"\\\\SERVER1", L"\\\\SERVER2", L"\\\\AVERYLONGSERVERN"}));
  EXPECT_EQ(shares, (std::vector<std::wstring>{L"DOCS", L"PUBLIC", L"AVERYLONGSHA"}));
  // Nothing left behind, in the temporary folder (a blank in its name) or here.
  EXPECT_EQ(left, (std::vector<std::wstring>{L".", L".."}));
  EXPECT_TRUE(here.empty());
}

TEST_F(NetLookup, AnOutputWrittenInTwoStepsArrivesWhole) {
  std::vector<std::wstring> servers;
  StubbedNet net(L"slow");
  RunInTask([&](LONG_PTR task) { servers = Strings(kwiDlgDir::get_list_net_servers(task)); });
  EXPECT_EQ(servers.size(), 3u);
}

// The command's redirection creates the output file at once: Cancel before
// any output finds it empty and deletes both files.
TEST_F(NetLookup, CancelBeforeAnyOutputGivesNothing) {
  std::vector<std::wstring> servers{L"x"}, batches;
  std::vector<testbox::Seen> seen;
  {
    StubbedNet net(L"hang");
    RunInTask([&](LONG_PTR task) {
      Script s({{L"Wait! Retrieving network paths", [](HWND d) { Click(d, 2); }}}, 300);
      servers = Strings(kwiDlgDir::get_list_net_servers(task));
      s.Finish();
      seen = s.Boxes();
    });
    batches = Files(net.Folder(), L"~DIR*.bat");
    Sleep(6500);  // the command goes on; let it end before the folder is reused
  }
  EXPECT_TRUE(servers.empty());
  EXPECT_EQ(seen.size(), 1u);
  EXPECT_TRUE(batches.empty());
}

TEST_F(NetLookup, WithoutASeparatorOrWithTheRealCommandTheNetworkIsUnavailable) {
  std::vector<std::wstring> stubbed{L"x"}, real{L"x"};
  std::vector<testbox::Seen> seen;
  {
    StubbedNet net(L"nosep");
    RunInTask([&](LONG_PTR task) { stubbed = Strings(kwiDlgDir::get_list_net_servers(task)); });
  }
  RunInTask([&](LONG_PTR task) {
    const slist_struct* list = kwiDlgDir::get_list_net_servers(task);
    real = Strings(list);
    Script s({{nullptr, [](HWND d) { Press(d, IDOK); }}});
    kwiDlgDir::give_warning_on_empty(list);
    s.Finish();
    seen = s.Boxes();
  });
  EXPECT_TRUE(stubbed.empty());
  EXPECT_TRUE(real.empty());
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text, L"Network is unavailable");
}

TEST(NetViewOutput, EntriesAreCutAtTheColumnAndShortLinesEndAtTheirBreak) {
  struct Case {
    const wchar_t* text;
    size_t width;
    bool ok;
    std::vector<std::wstring> entries;
  };
  const Case cases[] = {
      {L"head\n----------------\n\\\\A   x\n\\\\B\nclosing", 18, true, {L"\\\\A   x", L"\\\\B"}},
      {L"head\n\u00C4\u00C4\u00C4\nONE  r\nTWO  r\nend", 3, true, {L"ONE", L"TWO"}},
      {L"no separator\n\\\\A\nend", 18, false, {}},
      {L"----------------", 18, true, {}},
      {L"----------------\nonly the closing line", 18, true, {}},
  };
  for (const Case& c : cases) {
    std::vector<std::wstring> got;
    EXPECT_EQ(kwiDlgDir::ParseNetView(c.text, c.width, &got), c.ok) << Narrow(c.text);
    EXPECT_EQ(got, c.entries) << Narrow(c.text);
  }
}

}  // namespace
