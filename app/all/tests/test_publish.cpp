// Publishing the roster as pages: the golden bytes of every page of a small
// roster, the day headers and dates under both week starts and the spacer
// rows by slot count, the file-name mapping of hostile names and the link
// walk over the pages they give, no roster open, and the errors of the
// folder (pages written before stay, no shell call).
#include <windows.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "SYSTEM/options/options_db.h"
#include "kalmoradb/staff_db.h"
#include "publish/publish_it.h"
#include "publish_test.h"
#include "roster_fixture.h"
#include "roster_test.h"

using namespace alltest;

namespace {

using Lines = std::vector<std::string>;

std::string Join(const Lines& lines) {
  std::string s;
  for (const std::string& l : lines) s += l + "\r\n";
  return s;
}
Lines Head(const std::string& title, bool body = true) {
  Lines l{"", "", "", "<HTML>", "<HEAD>", "<TITLE>", title, "</TITLE>", "", "</HEAD>"};
  if (body) l.push_back("<BODY>");
  return l;
}
std::string Big(const std::string& text) {
  return "<font face=\"Helvetica, Arial, sans-serif\"><b><big>" + text + "</big></b><br></font>";
}
std::string A(const std::string& href, const std::string& target, const std::string& text) {
  return "<a href=\"" + href + "\" TARGET=\"" + target + "\" >" + text + "</a>";
}
void Add(Lines* l, const Lines& more) { l->insert(l->end(), more.begin(), more.end()); }
void Cell(Lines* l, const std::string& text) {
  Add(l, {"<td valign=\"top\" align=\"center\" width=\"5 %\">", text, "</td>"});
}
void Row(Lines* l, const std::vector<std::string>& cells) {
  l->push_back("<tr>");
  for (const std::string& c : cells) Cell(l, c);
  l->push_back("</tr>");
}
const std::string kDots = ".........";
const std::string kSpacer = std::string(83, ' ') + ".";

// A doctor page: the cell of (week, slot, day) from `cell`.
struct DoctorPageSpec {
  std::string name;
  std::vector<std::string> days;   // the seven headers
  std::vector<std::string> dates;  // per week
  std::vector<std::string> slots;
  std::function<std::string(int week, int slot, int day)> cell;
};
Lines DoctorPage(const DoctorPageSpec& p) {
  Lines l = Head("Roster");
  Add(&l, {Big(p.name), "<table cellpadding=\"1\" cellspacing=\"1\" border=\"1\" width=\"100 %\">"});
  std::vector<std::string> header{"Date", "Slot"};
  header.insert(header.end(), p.days.begin(), p.days.end());
  Row(&l, header);
  for (size_t w = 0; w < p.dates.size(); ++w) {
    if (p.slots.size() != 1) Row(&l, {kSpacer});
    for (size_t s = 0; s < p.slots.size(); ++s) {
      std::vector<std::string> cells{p.dates[w], p.slots[s]};
      for (int d = 1; d <= 7; ++d) cells.push_back(p.cell(int(w) + 1, int(s) + 1, d));
      Row(&l, cells);
    }
  }
  Add(&l, {"</table>", "</BODY>", "</HTML>"});
  return l;
}
const std::vector<std::string> kMonday{"Mon", "Tue", "Wed", "Thur", "Fri", "Sat", "Sun"};
const std::vector<std::string> kSunday{"Sun", "Mon", "Tue", "Wed", "Thur", "Fri", "Sat"};

// The gate roster with a duty of Bob on day 3 of week 2 (early); Ann barred
// from the late slot and from Sundays, Cy from Ward only, North from week 1.
RosterSpec GoldenSpec() {
  RosterSpec s = GateSpec();
  const DutySpec clinic{L"Clinic", L"Main", L"early"};
  s.rules = {{all::who_kind::person_rule, L"Ann", all::rule_kind::r_slot, 2, {}},
             {all::who_kind::person_rule, L"Ann", all::rule_kind::r_day, 7, {}},
             {all::who_kind::person_rule, L"Cy", all::rule_kind::r_what, 1, {}},
             {all::who_kind::group_rule, L"North", all::rule_kind::r_period, 1, {}}};
  s.assignments = {{{2, 3, clinic}, L"Bob"}};
  return s;
}

using Publish = PublishTest;

TEST_F(Publish, EveryPageOfASmallRosterHasItsExactBytesAndTheShellOpensTheFrameset) {
  Build(GoldenSpec());
  Browser browser;
  ASSERT_EQ(PublishNow(), 0u);

  std::map<std::string, Lines> expected;
  expected["kalmora6.html"] = Head("kalmora6", false);
  Add(&expected["kalmora6.html"],
      {"<frameset cols=\"20%,*\">", "<frame src=\"km6practices.html\" name=\"ncentres\">",
       "<frameset rows=\"10%,*\">", "<frame src=\"km6staff.html\" frameborder=\"0\" name=\"nstaff\">",
       "<frame src=\"km6roster.html\" frameborder=\"0\" name=\"nroster\">", "</frameset>", "</frameset>",
       "</HTML>"});
  expected["km6staff.html"] = Head("kalmora6");
  Add(&expected["km6staff.html"], {Big("Choose a practice"), "</BODY>", "</HTML>"});
  expected["km6roster.html"] = Head("Roster");
  Add(&expected["km6roster.html"], {Big("Choose a doctor"), "</BODY>", "</HTML>"});
  expected["km6practices.html"] = Head("kalmora6");
  Add(&expected["km6practices.html"],
      {Big("kalmora6 Practices"), A("North.html", "nstaff", "North"), "<br>", A("South.html", "nstaff", "South"),
       "<br>", Big(""), A("https://www.kalmoratessaro.example/", "nroster", "kalmoraTessaro"),
       A("https://www.kalmoratessaro.example/", "nroster", "kalmora6 Help (www)"), "</BODY>", "</HTML>"});
  expected["North.html"] = Head("kalmora6");
  Add(&expected["North.html"],
      {Big("North"), A("Ann.html", "nroster", "Ann"), A("Cy.html", "nroster", "Cy"), "</BODY>", "</HTML>"});
  expected["South.html"] = Head("kalmora6");
  Add(&expected["South.html"],
      {Big("South"), A("Bob.html", "nroster", "Bob"), A("Cy.html", "nroster", "Cy"), "</BODY>", "</HTML>"});
  const std::vector<std::string> dates{"4/1/2027", "11/1/2027"}, slots{"early", "late"};
  // A cell whose every task is barred shows the rule check's message for the
  // first task: the doctor's own rules (newest first) before the practices'.
  expected["Ann.html"] = DoctorPage({"Ann", kMonday, dates, slots, [](int week, int slot, int day) {
                                       if (day == 7) return std::string("Ann can't do Sunday ");
                                       if (slot == 2) return std::string("Ann can't do late ");
                                       return week == 1 ? std::string("Ann can't do Week  1  [North]") : kDots;
                                     }});
  expected["Bob.html"] = DoctorPage({"Bob", kMonday, dates, slots, [](int week, int slot, int day) {
                                       return week == 2 && slot == 1 && day == 3 ? std::string("Clinic Main") : kDots;
                                     }});
  // Cy may still do Clinic but in week 1, when North may do nothing.
  expected["Cy.html"] = DoctorPage({"Cy", kMonday, dates, slots, [](int week, int, int) {
                                      return week == 1 ? std::string("Cy can't do Ward ") : kDots;
                                    }});

  std::vector<std::string> names;
  for (auto& [name, lines] : expected) {
    names.push_back(name);
    EXPECT_EQ(FileText(name), Join(lines)) << name;
  }
  EXPECT_EQ(FilesInFolder(), names);  // Dee, in no practice, has no page
  KeepPages(L"small");
  const std::string opened = browser.Opened(1);
  EXPECT_EQ(std::count(opened.begin(), opened.end(), '\n'), 1) << opened;
  EXPECT_NE(opened.find("kalmora6.html\n"), std::string::npos) << opened;
  EXPECT_TRUE(rec().Texts(L"note").empty() && rec().Texts(L"error").empty());
}

TEST_F(Publish, DayHeadersDatesAndSpacerRowsFollowTheRosterWeekAndSlots) {
  struct Case {
    const char* name;
    uint32_t startDay;
    std::vector<std::wstring> slots;
    std::vector<std::string> headers, dates, slotNames;
    int dutyDay;  // the column of Bob's duty (Wednesday 13 January 2027)
  };
  const Case cases[] = {
      {"monday two slots", 0, {L"early", L"late"}, kMonday, {"4/1/2027", "11/1/2027"}, {"early", "late"}, 3},
      {"sunday two slots", 1, {L"early", L"late"}, kSunday, {"3/1/2027", "10/1/2027"}, {"early", "late"}, 4},
      {"sunday one slot", 1, {L"early"}, kSunday, {"3/1/2027", "10/1/2027"}, {"early"}, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RosterSpec s = GateSpec();
    s.startDay = c.startDay;
    s.slots = c.slots;
    s.typical = {{all::kWeekday, {L"Clinic", L"Main", L"early"}}};
    // Wednesday of the second week from 2027-01-04.
    s.assignments = {{{2, static_cast<uint32_t>(c.dutyDay), {L"Clinic", L"Main", L"early"}}, L"Bob"}};
    Build(s);
    ASSERT_EQ(PublishNow(), 0u);
    const int duty = c.dutyDay;
    EXPECT_EQ(FileText("Bob.html"),
              Join(DoctorPage({"Bob", c.headers, c.dates, c.slotNames, [duty](int week, int slot, int day) {
                                 return week == 2 && slot == 1 && day == duty ? std::string("Clinic Main") : kDots;
                               }})));
    Close();
  }
}

TEST_F(Publish, PageNamesKeepSafeNamesAndMapTheRest) {
  const std::wstring thousand(1000, L'x');
  struct Case {
    std::wstring name, page;
  };
  const Case cases[] = {
      {L"Smith", L"Smith"},
      {L"O'Neil & Sons (2)", L"O'Neil & Sons (2)"},
      {L"Jos\u00e9 M\u00fcller", L"Jos\u00e9 M\u00fcller"},
      {L"", L"~"},
      {L"   ", L"~0020~0020~0020"},
      {L"trail.", L"trail~002E"},
      {L"trail. .", L"trail~002E~0020~002E"},
      {L"a.b", L"a.b"},
      {L"..", L"~002E~002E"},
      {L"/", L"~002F"},
      {L"\\", L"~005C"},
      {L"a:b", L"a~003Ab"},
      {L"x?", L"x~003F"},
      {L"*|<>\"", L"~002A~007C~003C~003E~0022"},
      {L"..\\..\\Start Menu\\x", L"..~005C..~005CStart Menu~005Cx"},
      {L"tab\there", L"tab~0009here"},
      {L"del\x7f", L"del~007F"},
      {L"CON", L"~CON"},
      {L"con.txt", L"~con.txt"},
      {L"Nul ", L"~Nul~0020"},  // blanks before the end or a dot do not hide a device
      {L"aux .x", L"~aux .x"},
      {L"COM1", L"~COM1"},
      {L"lpt9.html", L"~lpt9.html"},
      {L"COM0", L"COM0"},
      {L"CONSOLE", L"CONSOLE"},
      {L"a\xD800" L"b", L"a~D800b"},
      {L"\xDC00", L"~DC00"},
      {L"\xD83D\xDE00", L"\xD83D\xDE00"},  // a whole pair stays
      {std::wstring(120, L'y'), std::wstring(120, L'y')},
  };
  for (const Case& c : cases) {
    Run([&] { EXPECT_EQ(std::wstring(all::publish_it::page_name(c.name.c_str())), c.page) << Narrow(c.name); });
  }
  // Over 120 characters: 110 of them, "~" and the CRC-32 of the name's
  // UTF-16 units; a pair at the cut stays whole.
  Run([&] {
    const std::wstring page = all::publish_it::page_name(thousand.c_str());
    ASSERT_EQ(page.size(), 119u);
    EXPECT_EQ(page.substr(0, 111), std::wstring(110, L'x') + L"~");
    EXPECT_EQ(page.substr(111), Crc32Hex(thousand));
    EXPECT_NE(page, std::wstring(all::publish_it::page_name((thousand + L"y").c_str())));
    const std::wstring paired = std::wstring(109, L'p') + L"\xD83D\xDE00" + std::wstring(20, L'p');
    const std::wstring cut = all::publish_it::page_name(paired.c_str());
    EXPECT_EQ(cut, std::wstring(109, L'p') + L"~" + Crc32Hex(paired));
  });
  // Links: UTF-8, percent-encoded but for letters, digits and "-._~".
  struct Href {
    std::wstring page;
    std::wstring href;
  };
  const Href hrefs[] = {
      {L"Smith", L"Smith.html"},
      {L"O'Neil & Sons (2)", L"O%27Neil%20%26%20Sons%20%282%29.html"},
      {L"Jos\u00e9", L"Jos%C3%A9.html"},
      {L"~002F%", L"~002F%25.html"},
      {L"\xD83D\xDE00", L"%F0%9F%98%80.html"},
  };
  for (const Href& h : hrefs)
    Run([&] { EXPECT_EQ(std::wstring(all::publish_it::page_href(h.page.c_str())), h.href); });
}

TEST_F(Publish, HostileNamesStayInTheFolderWithDistinctFilesAndEveryLinkLeadsToItsPage) {
  const std::vector<std::wstring> hostile = {
      L"..\\..\\Start Menu\\x", std::wstring(1000, L'n'), L"/", L"\\", L"..", L":", L"*", L"?", L"|",
      L"CON", L"con.txt", L"LPT1", L"trail.", L"trail ", L"\x01" L"ctl", L"a\xD800" L"b", L"Smith", L"smith",
      L"<b>", L"&", L"\"q\"", L"%", L"kalmora6", L"KM6PRACTICES", L"km6staff", L"   ", L"Jos\u00e9"};
  RosterSpec s = GateSpec();
  s.groups = {L"Smith", L"<b>", L"CON", std::wstring(1000, L'n'), L"a:b"};
  s.doctors.clear();
  for (const std::wstring& n : hostile) s.doctors.push_back({n, {L"Smith", L"<b>"}});
  s.doctors.push_back({L"A:B", {L"a:b", L"CON"}});
  Build(s);
  const std::vector<std::string> parentBefore = EntriesOf(Path(L"").substr(0, Path(L"").size() - 1));
  ASSERT_EQ(PublishNow(), 0u);
  EXPECT_EQ(EntriesOf(Path(L"").substr(0, Path(L"").size() - 1)), parentBefore);

  const std::vector<std::string> files = FilesInFolder();
  KeepPages(L"hostile");
  std::set<std::wstring> folded;
  for (const std::string& f : files) EXPECT_TRUE(folded.insert(Upper(Wide(f))).second) << f;
  // 4 fixed pages, 5 practices, every doctor once.
  EXPECT_EQ(files.size(), 4 + s.groups.size() + s.doctors.size());

  std::set<std::wstring> names(hostile.begin(), hostile.end());
  names.insert(s.groups.begin(), s.groups.end());
  names.insert(L"A:B");
  // The page writer shows a lone surrogate as U+FFFD.
  names.erase(L"a\xD800" L"b");
  names.insert(L"a\xFFFD" L"b");
  const std::regex link("<a href=\"([^\"]*)\" TARGET=\"[a-z]*\" >([^<]*)</a>"), frame("src=\"([^\"]*)\"");
  size_t links = 0;
  for (const std::string& f : files) {
    const std::string text = FileText(f);
    EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](char c) { return c > 0 && c < 0x7F; })) << f;
    for (std::sregex_iterator m(text.begin(), text.end(), frame), end; m != end; ++m)
      EXPECT_TRUE(Exists((*m)[1])) << f << ": " << (*m)[1];
    for (std::sregex_iterator m(text.begin(), text.end(), link), end; m != end; ++m) {
      const std::string href = (*m)[1];
      if (href.rfind("https:", 0) == 0) continue;
      ++links;
      EXPECT_TRUE(Exists(PercentDecoded(href))) << f << ": " << href;
      EXPECT_EQ(names.count(Unescaped((*m)[2])), 1u) << f << ": " << (*m)[2];
    }
  }
  // Practices page: 5 links; practice pages: every doctor twice (Smith, <b>)
  // and A:B twice.
  EXPECT_EQ(links, 5 + 2 * hostile.size() + 2);
  EXPECT_TRUE(rec().Texts(L"note").empty() && rec().Texts(L"error").empty());
}

TEST_F(Publish, NoRosterOpenOnlySaysSo) {
  ASSERT_EQ(PublishNow(), 0u);
  EXPECT_TRUE(FilesInFolder().empty());
  EXPECT_EQ(rec().shown(), (std::vector<rztest::DialogRecorder::Shown>{{L"note", L"No roster open"}}));
}

TEST_F(Publish, AFolderErrorPassesOnKeepsThePagesBeforeAndOpensNothing) {
  Build(GoldenSpec());
  Browser browser;
  // A folder in the way of Bob's page: the run ends there.
  ASSERT_TRUE(CreateDirectoryW((WebFolder() + L"\\Bob.html").c_str(), nullptr));
  EXPECT_NE(PublishNow(), 0u);
  const std::vector<std::string> written = FilesInFolder();
  for (const char* f : {"kalmora6.html", "km6practices.html", "North.html", "South.html", "Ann.html", "Cy.html"})
    EXPECT_TRUE(std::count(written.begin(), written.end(), f)) << f;
  EXPECT_EQ(GetFileAttributesW((WebFolder() + L"\\Bob.html").c_str()) & FILE_ATTRIBUTE_DIRECTORY,
            static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  RemoveDirectoryW((WebFolder() + L"\\Bob.html").c_str());

  // A folder that has gone since it was chosen.
  const std::wstring gone = WebFolder() + L"\\gone";
  Run([&] { rizediveva6::options_db::publish_folder(gone.c_str()); });
  ASSERT_TRUE(RemoveDirectoryW(gone.c_str()));
  EXPECT_NE(PublishNow(), 0u);
  EXPECT_EQ(GetFileAttributesW(gone.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(browser.Opened(0, 1500), "");
}

}  // namespace
