// Context help: the topic address of tree paths with and without an open
// roster, the call through the seam, and Wine's real help control.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "application/Exe/mainExe.h"
#include "helpinfo.h"
#include "kalmoradb/groups.h"
#include "kalmoradb/locations.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/tasks.h"
#include "roster_test.h"
#include "unix_program.h"

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

// Every fixed item of the command tree, with and without a document, and
// the items of the variable sub-trees that are not roster data.
const char* const kTreeItems[] = {
    "C-tree", "C-tree/New rota", "C-tree/Open file", "C-tree/List files", "C-tree/Import KM5 file", "C-tree/Help",
    "C-tree/Close", "C-tree/Input Data", "C-tree/Input Data/Calendar definition",
    "C-tree/Input Data/Practices and groups", "C-tree/Input Data/Doctors", "C-tree/Input Data/Locations",
    "C-tree/Input Data/Tasks", "C-tree/Input Data/Duties to do - typical week",
    "C-tree/Input Data/Duties to do - typical week/Saturday", "C-tree/Input Data/Duties to do - typical week/Sunday",
    "C-tree/Input Data/Duties to do - typical week/Weekday", "C-tree/Input Data/Duties to do - modified",
    "C-tree/Input Data/Duties to do - modified/All duties",
    "C-tree/Input Data/Duties to do - modified/List modified duties",
    "C-tree/Input Data/Duties to do - modified/Tasks", "C-tree/Input Data/Duties to do - modified/Locations",
    "C-tree/Input Data/Define weekend duties", "C-tree/Input Data/List weekend duties",
    "C-tree/Input Data/Define holidays", "C-tree/Input Data/List holidays", "C-tree/Rules", "C-tree/Rules/Can't dos",
    "C-tree/Rules/Can't dos/Doctors", "C-tree/Rules/Can't dos/Practices and groups",
    "C-tree/Rules/Can't dos/List Can't Dos", "C-tree/Rules/Ties", "C-tree/Rules/Ties/Global ties",
    "C-tree/Rules/Ties/Doctor ties", "C-tree/Rules/Ties/Practice and group ties", "C-tree/Rules/Ties/List ties",
    "C-tree/Rules/Loadings", "C-tree/Rules/Loadings/Weekdays", "C-tree/Rules/Loadings/Weekends",
    "C-tree/Rules/Loadings/Totals (calculated)", "C-tree/Roster", "C-tree/Roster/Generator",
    "C-tree/Roster/Display & edit", "C-tree/Roster/Display & edit/All duties", "C-tree/Roster/Display & edit/Doctors",
    "C-tree/Roster/Display & edit/Practices and groups", "C-tree/Roster/Display & edit/Tasks",
    "C-tree/Roster/Display & edit/Locations", "C-tree/Roster/List of assignments",
    "C-tree/Roster/List of unassigned duties", "C-tree/Results Statistics", "C-tree/Results Statistics/Totals",
    "C-tree/Results Statistics/Days", "C-tree/Results Statistics/Weekends", "C-tree/Results Statistics/Slots",
    "C-tree/Results Statistics/Day-slots", "C-tree/Results Statistics/Tasks", "C-tree/Results Statistics/Locations",
    "C-tree/Results Statistics/Holidays"};

// The names chmls lists in the compiled help file beside the tests.
std::vector<std::string> HelpFileNames() {
  wchar_t dir[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, dir);
  const std::wstring chm = std::wstring(dir) + L"\\kalmora6.chm", out = std::wstring(dir) + L"\\kalmora6.chm.list";
  const std::string unixOut = testing_unix::UnixPath(out);
  if (!testing_unix::RunUnixProgram("/bin/sh -c \"chmls list '" + testing_unix::UnixPath(chm) + "' > '" + unixOut +
                                        ".part' 2>/dev/null; mv '" + unixOut + ".part' '" + unixOut + "'\"",
                                    out))
    return {};
  std::ifstream in(unixOut);
  std::vector<std::string> names;
  for (std::string line; std::getline(in, line);) {
    const size_t slash = line.find(" /");
    if (slash != std::string::npos) names.push_back(line.substr(slash + 2));
  }
  DeleteFileW(out.c_str());
  return names;
}

TEST_F(Help, TheHelpFileHoldsEveryItemsTopic) {
  const std::vector<std::string> names = HelpFileNames();
  ASSERT_FALSE(names.empty());
  for (const char* item : kTreeItems) {
    std::vector<std::wstring> captions;
    std::stringstream in(item);
    for (std::string c; std::getline(in, c, '/');) captions.push_back(std::wstring(c.begin(), c.end()));
    const std::wstring address = Address(captions, L"");
    const std::wstring topic = address.substr(std::wstring(L"kalmora6.chm::/").size());
    EXPECT_NE(std::find(names.begin(), names.end(), Narrow(topic)), names.end()) << item;
  }
  for (const char* page : {"Help.html", "Contact.html"})
    EXPECT_NE(std::find(names.begin(), names.end(), page), names.end()) << page;
}

// Wine's help control is there and exports the call (not made: the viewer
// needs a browser engine).
TEST_F(Help, TheSystemHelpControlLoads) {
  EXPECT_NE(helpinfo::load_htmlhelp(), nullptr);
  EXPECT_EQ(helpinfo::load_htmlhelp(), helpinfo::load_htmlhelp());
}

}  // namespace
}  // namespace alltest
