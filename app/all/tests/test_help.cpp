// Context help: the topic address of tree paths with and without an open
// roster, the call through the seam, and Wine's real help control.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "application/Exe/mainExe.h"
#include "helpinfo.h"
#include "kalmoradb/groups.h"
#include "kalmoradb/locations.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/tasks.h"
#include "roster_test.h"

namespace alltest {
namespace {

struct HelpCall {
  HWND owner;
  std::wstring address;
  UINT command;
  DWORD_PTR data;
};
std::vector<HelpCall> calls;

HWND WINAPI RecordHelp(HWND owner, LPCWSTR address, UINT command, DWORD_PTR data) {
  calls.push_back({owner, address, command, data});
  return nullptr;
}

const SList* PathOf(const std::vector<std::wstring>& captions) {
  rz::ListBuilder<const wchar_t*> b(true);
  for (const std::wstring& c : captions) b.Add(tav::HeapCopy(c.c_str()));
  return b.Finish();
}

class Help : public Roster {
 protected:
  void SetUp() override {
    Roster::SetUp();
    calls.clear();
    previous_ = helpinfo::set_htmlhelp(RecordHelp);
  }
  void TearDown() override {
    helpinfo::set_htmlhelp(previous_);
    Roster::TearDown();
  }
  std::wstring Address(const std::vector<std::wstring>& captions, const wchar_t* folder = L"C:\\P\\") {
    const wchar_t* a = nullptr;
    Run([&] { a = helpinfo::address(folder, PathOf(captions)); });
    return a ? a : L"";
  }
  html_help_fn previous_ = nullptr;
};

struct PathCase {
  std::vector<std::wstring> path;
  std::wstring open, closed;  // topic with a roster open, without one
};

TEST_F(Help, TopicsOfPaths) {
  std::vector<std::wstring> fifty{L"Kalmora"};
  std::wstring fiftyTopic = L"C-tree";
  for (int i = 1; i < 50; ++i) {
    fifty.push_back(L"Level " + std::to_wstring(i));
    fiftyTopic += L"/Level " + std::to_wstring(i);
  }
  const std::vector<PathCase> cases{
      {{}, L"Contact.html", L"Contact.html"},
      {{L"Kalmora"}, L"C-tree.html", L"C-tree.html"},
      {{L"Kalmora", L"Input Data", L"Calendar definition"}, L"C-tree/Input Data/Calendar definition.html",
       L"C-tree/Input Data/Calendar definition.html"},
      {{L"Kalmora", L"Help"}, L"Help.html", L"Help.html"},
      {{L"Kalmora", L"Help", L"Contents"}, L"Help.html", L"Help.html"},
      {{L"Kalmora", L"Input Data", L"Doctors", L"Dr M\u00FCller"}, L"C-tree/Input Data/Doctors.html",
       L"C-tree/Input Data/Doctors/Dr M\u00FCller.html"},
      {{L"Kalmora", L"Input Data", L"Practices", L"Nord"}, L"C-tree/Input Data/Practices.html",
       L"C-tree/Input Data/Practices/Nord.html"},
      {{L"Kalmora", L"Input Data", L"Tasks", L"Visite"}, L"C-tree/Input Data/Tasks.html",
       L"C-tree/Input Data/Tasks/Visite.html"},
      {{L"Kalmora", L"Input Data", L"Locations", L"Station \u00D6st"}, L"C-tree/Input Data/Locations.html",
       L"C-tree/Input Data/Locations/Station \u00D6st.html"},
      // Only the last caption is dropped, and only roster data.
      {{L"Kalmora", L"Visite", L"Tasks"}, L"C-tree/Visite/Tasks.html", L"C-tree/Visite/Tasks.html"},
      {{L"Dr M\u00FCller"}, L"Contact.html", L"C-tree.html"},
      {fifty, fiftyTopic + L".html", fiftyTopic + L".html"},
  };
  for (const PathCase& c : cases) EXPECT_EQ(Address(c.path), L"C:\\P\\kalmora6.chm::/" + c.closed);
  New();
  Run([] {
    staff_db::add_name(L"Dr M\u00FCller");
    groups::add_group(L"Nord");
    tasks::add_task(L"Visite");
    locations::add_loc(L"Station \u00D6st");
  });
  for (const PathCase& c : cases) EXPECT_EQ(Address(c.path), L"C:\\P\\kalmora6.chm::/" + c.open);
}

TEST_F(Help, FoldersAreTakenAsTheyAre) {
  for (const wchar_t* folder : {L"C:\\Program Files\\Kalmora Tessaro\\", L"D:\\\u00C4rzte \u00FC\u00DF\\bin\\",
                                L"\\\\server\\share\\k\\"})
    EXPECT_EQ(Address({L"Kalmora", L"Input Data"}, folder), std::wstring(folder) + L"kalmora6.chm::/C-tree/Input Data.html");
}

TEST_F(Help, CallsTheViewerWithTheProgramFolder) {
  const wchar_t* folder = nullptr;
  const wchar_t* name = nullptr;
  Run([&] { tav::mainExe::getfilename(&folder, &name); });
  HWND owner = reinterpret_cast<HWND>(static_cast<LONG_PTR>(0x1234));
  Run([&] { helpinfo::help(reinterpret_cast<LONG_PTR>(owner), PathOf({L"Kalmora", L"Help"})); });
  Run([&] { helpinfo::help(0, PathOf({})); });
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].owner, owner);
  EXPECT_EQ(calls[0].address, std::wstring(folder) + L"kalmora6.chm::/Help.html");
  EXPECT_EQ(calls[0].command, 0u);
  EXPECT_EQ(calls[0].data, 0u);
  EXPECT_EQ(calls[1].address, std::wstring(folder) + L"kalmora6.chm::/Contact.html");
}

// Wine's help control is there and exports the call (not made: the viewer
// needs a browser engine).
TEST_F(Help, TheSystemHelpControlLoads) {
  EXPECT_NE(helpinfo::load_htmlhelp(), nullptr);
  EXPECT_EQ(helpinfo::load_htmlhelp(), helpinfo::load_htmlhelp());
}

}  // namespace
}  // namespace alltest
