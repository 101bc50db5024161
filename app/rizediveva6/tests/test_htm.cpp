// The page writer: every template's line, the page frame and the joined
// text, cells of every kind, escaping of text and attribute arguments, large
// pages and arguments, the saved file's bytes, the build-information page,
// and pages like the program's written for tidy's check (tidy_pages.sh).
#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "SYSTEM/my_html/htm.h"
#include "SYSTEM/timepack/mytime.h"
#include "fileSystem/directory.h"
#include "fileSystem/file.h"
#include "fileSystem/fileStream.h"
#include "registry_value.h"
#include "rz_test.h"

using namespace rztest;

namespace {

using Pages = Rz;

std::vector<std::wstring> Lines() {
  std::vector<std::wstring> v;
  htm::nd_line([&](const wchar_t* l) {
    v.push_back(l);
    K::Fail();
  });
  return v;
}
std::vector<std::wstring> LinesOf(const std::function<void()>& write) {
  htm::clear();
  write();
  return Lines();
}
std::string Bytes(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
const tav::StringList* List(std::initializer_list<const wchar_t*> items) {
  return MakeStringList(items);
}

cell_def Def(cell_def::Kind kind, const wchar_t* text = L"", const wchar_t* name = L"",
             const wchar_t* attribute = L"", bool flag = false) {
  cell_def d{};
  d.kind = kind;
  d.text = text, d.name = name, d.attribute = attribute, d.flag = flag;
  d.options = d.selected = EmptyStringList();
  return d;
}
cell_def Options(cell_def d, const tav::StringList* options, const tav::StringList* selected,
                 uint32_t size = 0) {
  d.options = options, d.selected = selected, d.size = size;
  return d;
}
cell_def Table(int32_t padding, int32_t spacing, int32_t border, int32_t width) {
  cell_def d = Def(cell_def::tablex);
  d.table[0] = padding, d.table[1] = spacing, d.table[2] = border, d.table[3] = width;
  return d;
}
cell Cell(cell_def d, alignm a = alignm::left, const wchar_t* id = L"id1") {
  return cell{1, d, a, id};
}
cell Label(const wchar_t* text, bool italic = false, alignm a = alignm::centre) {
  cell_def d = Def(cell_def::label);
  d.text = text;
  d.flag = italic;
  return Cell(d, a);
}

using Lns = std::vector<std::wstring>;

TEST_F(Pages, EveryTemplateLine) {
  struct Case {
    const char* name;
    std::function<void()> write;
    Lns lines;
  } cases[] = {
      {"table", [] { htm::write_table(2, 2, 0, 100); },
       {L"<table cellpadding=\"2\" cellspacing=\"2\" border=\"0\" width=\"100 %\">"}},
      {"table end, tbody, tr", [] {
         htm::write_table_end(); htm::write_tbody(); htm::write_tbody_end();
         htm::write_tr(); htm::write_tr_end(); htm::write_td_end();
       },
       {L"</table>", L"<tbody>", L"</tbody>", L"<tr>", L"</tr>", L"</td>"}},
      {"td", [] { htm::write_td(L"x"); }, {L"<td valign=\"top\">x"}},
      {"td right", [] { htm::write_td_right(L"x"); },
       {L"<td valign=\"top\" align=\"right\" width=\"22 %\">x"}},
      {"td centre", [] { htm::write_td_centre(L"x"); },
       {L"<td valign=\"top\" align=\"center\" width=\"5 %\">x"}},
      {"big td", [] { htm::write_big_td(L"x"); },
       {L"<td valign=\"top\" bgcolor=\"#33ff33\"><big><big><b><font face=\"Helvetica, Arial, "
        L"sans-serif\">x</font></b></big></big><br>"}},
      {"tds", [] { htm::write_tds(List({L"a", L"b"})); },
       {L"<td valign=\"top\">a", L"</td>", L"<td valign=\"top\">b", L"</td>"}},
      {"table body list", [] { htm::write_table_body_list(List({L"a"})); },
       {L"<tr>", L"<td valign=\"top\">a", L"</td>", L"</tr>"}},
      {"title", [] { htm::write_title(L"T"); },
       {L"<table cellpadding=\"2\" cellspacing=\"2\" border=\"0\" width=\"100 %\">", L"<tbody>",
        L"<tr>",
        L"<td valign=\"top\" bgcolor=\"#33ff33\"><big><big><b><font face=\"Helvetica, Arial, "
        L"sans-serif\">T</font></b></big></big><br>",
        L"</td>", L"</tr>", L"</tbody>", L"</table>"}},
      {"italic", [] { htm::write_italic_str(L"x"); },
       {L"<font face=\"Helvetica, Arial, sans-serif\"><i>x</i><br></font>"}},
      {"big", [] { htm::write_big_str(L"x"); },
       {L"<font face=\"Helvetica, Arial, sans-serif\"><b><big>x</big></b><br></font>"}},
      {"br hr ul", [] {
         htm::write_br(); htm::write_hr(); htm::write_ul(); htm::write_ul_end(); htm::write_li(L"x");
       },
       {L"<br>", L"<hr>", L"<ul>", L"</ul>", L"<LI>x</LI>"}},
      {"bulleted", [] { htm::write_bulleted_list(List({L"a", L"b"})); },
       {L"<UL>", L"<LI>a</LI>", L"<LI>b</LI>", L"</UL>"}},
      {"bulleted empty", [] { htm::write_bulleted_list(EmptyStringList()); }, {L"<UL>", L"</UL>"}},
      {"a", [] { htm::write_a(L"p.html", L"P"); }, {L"<a href=\"p.html\">P</a>"}},
      {"a target", [] { htm::write_a_target(L"p.html", L"P", L"f"); },
       {L"<a href=\"p.html\" TARGET=\"f\" >P</a>"}},
      {"form", [] { htm::write_form(L"n", L"act"); htm::write_form_end(); },
       {L"<FORM ACTION=\"act\" name=\"n\" method=\"GET\">", L"</FORM>"}},
      {"checkbox", [] { htm::write_form_input(1, L"n", L"v", true, L"x=1"); },
       {L"<INPUT TYPE=\"CHECKBOX\" Name=\"n\" VALUE=\"v\" x=1 CHECKED >"}},
      {"radio", [] { htm::write_form_input(2, L"n", L"v", false, L""); },
       {L"<INPUT TYPE=\"RADIO\" Name=\"n\" VALUE=\"v\"  >"}},
      {"text input", [] { htm::write_form_input(3, L"n", L"v", true, L""); },
       {L"<INPUT TYPE=\"TEXT\" Name=\"n\" VALUE=\"v\" SIZE=\"15\" >"}},
      {"other input", [] { htm::write_form_input(4, L"n", L"v", true, L""); }, {}},
      {"select", [] { htm::write_form_select(L"n", 3, List({L"x", L"y", L"Y"}), L"", List({L"y"})); },
       {L"<SELECT Name=\"n\"  SIZE=\"3\">", L"<OPTION>x</OPTION>", L"<OPTION SELECTED>y</OPTION>",
        L"<OPTION>Y</OPTION>", L"</SELECT>"}},
      {"textarea", [] { htm::write_form_text(L"t", L"n"); },
       {L"<TEXTAREA Name=\"n\" ROWS=\"10\" COLS=\"40\">", L"t", L"</TEXTAREA>"}},
      {"fieldset", [] { htm::write_form_fieldset(L"L"); htm::write_form_fieldset_end(); },
       {L"<FIELDSET>\n<LEGEND ALIGN=\"TOP\">,L,</LEGEND>\n", L"</FIELDSET>"}},
      {"submit", [] { htm::write_submit(L"Go"); },
       {L"<p>  <input type=\"submit\" value=\"Go\">  </p>"}},
      {"hidden", [] { htm::write_hidden(L"n", L"v"); },
       {L"<p>  <input type=\"hidden\" name=\"n\" value=\"v\">  </p>"}},
      {"button", [] { htm::write_button(L"B"); },
       {L"<BUTTON ><SPAN STYLE=\"text-decoration:underline\">B</SPAN></BUTTON>"}},
      {"scripted", [] { htm::write_scripted_button(L"n", L"go()"); },
       {L"<INPUT TYPE=\"BUTTON\" Name=\"n\" value=\"n\" onclick=\"go()\">"}},
      {"str and line", [] { htm::write_str(L"s"); htm::assert_line(L"l"); }, {L"s", L"l"}},
      {"frame", [] { htm::start_frame(L"T", L"<META x>"); htm::end_frame(); },
       {L"", L"", L"", L"<HTML>", L"<HEAD>", L"<TITLE>", L"T", L"</TITLE>", L"<META x>", L"</HEAD>",
        L"</HTML>"}},
      {"page", [] { htm::start_page(L"T", L""); htm::end_page(); },
       {L"", L"", L"", L"<HTML>", L"<HEAD>", L"<TITLE>", L"T", L"</TITLE>", L"", L"</HEAD>",
        L"<BODY>", L"</BODY>", L"</HTML>"}},
  };
  for (const Case& c : cases) EXPECT_EQ(LinesOf(c.write), c.lines) << c.name;
}

TEST_F(Pages, CellsOfEveryKind) {
  const cell_def listbox = Options(Def(cell_def::listbox, L"", L"lb"), List({L"a", L"b"}), List({L"b"}));
  const cell_def listbox5 =
      Options(Def(cell_def::listbox, L"", L"lb", L"multiple"), List({L"a", L"b"}), List({L"b"}));
  const cell_def check = Def(cell_def::checkbox, L"", L"c", L"", true);
  const cell_def input = Def(cell_def::input_cell, L"", L"in");
  const cell_def edit = Def(cell_def::edit_box, L"body");
  const cell_def hidden = Def(cell_def::hidden, L"", L"h");
  const cell_def table = Table(0, 1, 2, 3);
  const cell_def select =
      Options(Def(cell_def::select, L"", L"s", L"a"), List({L"a", L"b"}), EmptyStringList(), 2);
  const cell_def link = Def(cell_def::a, L"x.html", L"", L"X");
  const std::wstring right = L"<td valign=\"top\" align=\"right\" width=\"22 %\">";
  const std::wstring plain = L"<td valign=\"top\">";
  struct Case {
    const char* name;
    cell c;
    Lns lines;
  } cases[] = {
      {"label right", Label(L"x", false, alignm::right), {right, L"x", L"</td>"}},
      {"label italic left", Label(L"x", true, alignm::left),
       {plain, L"<font face=\"Helvetica, Arial, sans-serif\"><i>x</i><br></font>", L"</td>"}},
      {"listbox", Cell(listbox, alignm::right),
       {right, L"<SELECT Name=\"lb\"  SIZE=\"1\">", L"<OPTION>a</OPTION>",
        L"<OPTION SELECTED>b</OPTION>", L"</SELECT>", L"</td>"}},
      {"listbox with attribute", Cell(listbox5),
       {plain, L"<SELECT Name=\"lb\" multiple SIZE=\"5\">", L"<OPTION>a</OPTION>",
        L"<OPTION SELECTED>b</OPTION>", L"</SELECT>", L"</td>"}},
      {"checkbox", Cell(check),
       {plain, L"<INPUT TYPE=\"CHECKBOX\" Name=\"c\" VALUE=\"id1\"  CHECKED >", L"</td>"}},
      {"input", Cell(input), {plain, L"<INPUT TYPE=\"TEXT\" Name=\"in\" VALUE=\"id1\" SIZE=\"15\" >", L"</td>"}},
      {"edit box", Cell(edit),
       {plain, L"<TEXTAREA Name=\"id1\" ROWS=\"10\" COLS=\"40\">", L"body", L"</TEXTAREA>", L"</td>"}},
      {"hidden ignores alignment", Cell(hidden, alignm::right),
       {plain, L"<p>  <input type=\"hidden\" name=\"h\" value=\"id1\">  </p>", L"</td>"}},
      {"tablex ignores alignment", Cell(table, alignm::centre),
       {plain, L"<table cellpadding=\"0\" cellspacing=\"1\" border=\"2\" width=\"3 %\">", L"<tbody>"}},
      {"tablex end", Cell(Def(cell_def::tablex_end)), {L"</tbody>", L"</table>", L"</td>"}},
      {"select", Cell(select),
       {L"<SELECT Name=\"s\"  SIZE=\"2\">", L"<OPTION SELECTED>a</OPTION>", L"<OPTION>b</OPTION>",
        L"</SELECT>"}},
      {"hr", Cell(Def(cell_def::hr)), {L"<hr>"}},
      {"a", Cell(link), {L"<a href=\"x.html\">X</a>"}},
  };
  for (const Case& c : cases) EXPECT_EQ(LinesOf([&] { htm::do_row(&c.c, 1); }), c.lines) << c.name;
}

TEST_F(Pages, TextAndAttributeArgumentsAreEscaped) {
  struct Case {
    const wchar_t* in;
    const wchar_t* out;
  } cases[] = {
      {L"Smith & Jones", L"Smith &amp; Jones"},
      {L"<b", L"&lt;b"},
      {L"a\"b>c", L"a&quot;b&gt;c"},
      {L"~ plain 'x' 100%", L"~ plain 'x' 100%"},
      {L"\x7F\xE9\x4E2D", L"&#127;&#233;&#20013;"},
      {L"\xD83D\xDE00", L"&#128512;"},          // a surrogate pair is one character
      {L"a\xD800" L"b\xDC00", L"a&#65533;b&#65533;"},  // lone surrogates
      {L"", L""},
  };
  for (const Case& c : cases) EXPECT_STREQ(htm::escape(c.in), c.out) << Narrow(c.in);
  // Text, attributes and option texts are escaped; raw markup is not.
  EXPECT_EQ(LinesOf([] {
              htm::write_a(L"x.html?a=1&b=2", L"<i>");
              htm::write_str(L"R&D");
              htm::assert_line(L"<b>R&D</b>");
              htm::write_form_input(1, L"n\"", L"v", false, L"onclick=\"f()\"");
              htm::write_form_select(L"s", 1, List({L"a&b"}), L"", List({L"a&b"}));
            }),
            (Lns{L"<a href=\"x.html?a=1&amp;b=2\">&lt;i&gt;</a>", L"R&amp;D", L"<b>R&D</b>",
                 L"<INPUT TYPE=\"CHECKBOX\" Name=\"n&quot;\" VALUE=\"v\" onclick=\"f()\"  >",
                 L"<SELECT Name=\"s\"  SIZE=\"1\">", L"<OPTION SELECTED>a&amp;b</OPTION>",
                 L"</SELECT>"}));
  EXPECT_EQ(LinesOf([] { htm::start_page(L"A & B", L"<META charset=x>"); })[6], L"A &amp; B");
}

TEST_F(Pages, JoinedTextAndSavedFile) {
  htm::clear();
  EXPECT_STREQ(htm::all_lines(), L"");
  const std::wstring empty = L"rz_empty.txt", page = L"rz_page.txt";
  htm::save_it(empty.c_str());
  EXPECT_EQ(Bytes(empty), std::string("\xFF\xFE", 2));
  htm::assert_line(L"a");
  htm::assert_line(L"b");
  EXPECT_STREQ(htm::all_lines(), L"a\nb\n");
  htm::write_form_fieldset(L"\xE9");
  htm::save_it(page.c_str());
  std::string expected("\xFF\xFE", 2);
  for (wchar_t c : std::wstring(L"a\r\nb\r\n<FIELDSET>\r\n<LEGEND ALIGN=\"TOP\">,&#233;,</LEGEND>\r\n\r\n"))
    expected += std::string{static_cast<char>(c), '\0'};
  EXPECT_EQ(Bytes(page), expected);
  EXPECT_EQ(Lines().size(), 3u);  // the page stays
  // A file that cannot be created: the stream's error; the page stays.
  EXPECT_NE(RunTrapped([] { htm::save_it(L"rz_no_such_folder\\x.txt"); }), 0u);
  EXPECT_EQ(Lines().size(), 3u);
  DeleteFileW(empty.c_str());
  DeleteFileW(page.c_str());
}

TEST_F(Pages, LargeArgumentsAndPages) {
  // A one-megabyte argument of markup characters.
  std::wstring big(1 << 20, L'&');
  htm::clear();
  uint8_t* top = TPrologThreadData::GetGStackTop();
  htm::write_td(big.c_str());
  EXPECT_EQ(TPrologThreadData::GetGStackTop(), top);  // the escaped copy is gone again
  EXPECT_EQ(wcslen(htm::all_lines()), wcslen(L"<td valign=\"top\">") + 5 * big.size() + 1);
  // 100,000 lines, joined in one pass.
  htm::clear();
  for (int i = 0; i < 100000; ++i) htm::write_li(L"\xE9 & x");
  const wchar_t* text = htm::all_lines();
  const std::wstring line = L"<LI>&#233; &amp; x</LI>\n";
  ASSERT_EQ(wcslen(text), 100000 * line.size());
  EXPECT_EQ(std::wstring(text + 99999 * line.size()), line);
  EXPECT_EQ(TPrologThreadData::GetGStackTop(), top);
  htm::clear();
  EXPECT_EQ(Lines().size(), 0u);
}

TEST_F(Pages, APageAfterALongerOneHoldsOnlyItsOwnLinesAndTheWriteLeavesTheGlobalStack) {
  // The line array is kept across clear: the short page must not show any
  // line of the long one, in the buffer, the joined text or the file.
  htm::clear();
  for (int i = 0; i < 5000; ++i) htm::write_li(L"long & old");
  htm::clear();
  EXPECT_EQ(Lines().size(), 0u);
  EXPECT_STREQ(htm::all_lines(), L"");
  htm::assert_line(L"a");
  htm::write_str(L"\xE9");
  EXPECT_EQ(Lines(), (Lns{L"a", L"&#233;"}));
  EXPECT_STREQ(htm::all_lines(), L"a\n&#233;\n");
  const std::wstring file = L"rz_short_page.html";
  uint8_t* top = TPrologThreadData::GetGStackTop();
  htm::WritePage(tav::outputStream_file::create8(file.c_str()));
  EXPECT_EQ(TPrologThreadData::GetGStackTop(), top);
  EXPECT_EQ(Bytes(file), "a\r\n&#233;\r\n");
  EXPECT_EQ(Lines().size(), 2u);  // the page stays
  DeleteFileW(file.c_str());
}

TEST_F(Pages, AnEightBitPageIsItsTextInTheCodePageWithCrLfAsciiOrNot) {
  // The text in the ANSI code page, every line feed after a CR.
  const auto ansi = [](const std::wstring& text) {
    std::wstring crlf;
    for (wchar_t c : text) crlf += c == L'\n' ? std::wstring(L"\r\n") : std::wstring(1, c);
    std::string out(crlf.size() * 4, '\0');
    out.resize(WideCharToMultiByte(CP_ACP, 0, crlf.data(), static_cast<int>(crlf.size()), out.data(),
                                   static_cast<int>(out.size()), nullptr, nullptr));
    return out;
  };
  std::wstring big;
  for (int i = 0; i < 5000; ++i) big += L"<br>";
  const struct {
    Lns lines;
    std::wstring text;
  } cases[] = {
      {{L"a\nb", L"c\r", L""}, L"a\nb\nc\r\n\n"},    // line feeds and a CR inside lines
      {{L"<p>\xE9</p>", L"x"}, L"<p>\xE9</p>\nx\n"},  // raw markup above ASCII
      {{big, big}, big + L"\n" + big + L"\n"},         // past the stream's buffer
  };
  const std::wstring file = L"rz_ansi_page.html";
  for (const auto& c : cases) {
    htm::clear();
    for (const std::wstring& l : c.lines) htm::assert_line(l.c_str());
    uint8_t* top = TPrologThreadData::GetGStackTop();
    htm::WritePage(tav::outputStream_file::create8(file.c_str()));
    EXPECT_EQ(TPrologThreadData::GetGStackTop(), top);
    EXPECT_EQ(Bytes(file), ansi(c.text)) << c.lines[0].substr(0, 20).size();
  }
  DeleteFileW(file.c_str());
}

TEST_F(Pages, BuildPageTwiceLeavesOneFileWithTheSecondPage) {
  // Pages open in the shell's associated program: Wine's browser bridge,
  // pointed at a stub that logs the address it is given.
  const std::wstring log = WindowsPath(RZ_BROWSER_LOG);
  DeleteFileW(log.c_str());
  const SavedValue html = Set(HKEY_CLASSES_ROOT, L".html", nullptr, L"htmlfile");
  const SavedValue browsers = Set(HKEY_CURRENT_USER, L"Software\\Wine\\WineBrowser", L"Browsers",
                                  std::wstring(RZ_BROWSER_STUB, RZ_BROWSER_STUB + strlen(RZ_BROWSER_STUB)));
  const wchar_t* name = htm::www_file();
  const std::wstring temp = tav::directory::trygetlogicaldirectory(tav::directory::tempFolder);
  EXPECT_EQ(std::wstring(name), temp + L"\\ZAZAV.HTML");
  htm::write_www(L"First", 1, L"http://example.org/dl");
  htm::write_www(L"Second & last", 4711, L"http://example.org/dl?v=2&x=1");
  const std::string text = Bytes(name);
  EXPECT_EQ(text.substr(0, 22), "\r\n\r\n\r\n<HTML>\r\n<HEAD>\r\n");
  EXPECT_NE(text.find("Second &amp; last"), std::string::npos);
  EXPECT_EQ(text.find("First"), std::string::npos);
  EXPECT_NE(text.find("\r\nYou are currently running build \r\n4711\r\n"), std::string::npos);
  EXPECT_NE(text.find("<a href=\"http://example.org/dl?v=2&amp;x=1\" TARGET=\"\" >See latest "
                      "Version available for download</a>"),
            std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 18), "</BODY>\r\n</HTML>\r\n");
  EXPECT_EQ(Lines().back(), L"</HTML>");  // the page stays in the buffer

  // Both pages were handed to the browser under the file's name.
  std::string opened;
  for (int waited = 0; waited < 300; ++waited) {
    opened = Bytes(log);
    if (std::count(opened.begin(), opened.end(), '\n') >= 2) break;
    Sleep(100);
  }
  Restore(html);
  Restore(browsers);
  EXPECT_EQ(std::count(opened.begin(), opened.end(), '\n'), 2) << opened;
  size_t at = 0;
  for (int i = 0; i < 2; ++i, ++at) {
    at = opened.find("ZAZAV.HTML\n", at);
    EXPECT_NE(at, std::string::npos) << opened;
  }
  DeleteFileW(log.c_str());
}

// --- Pages like the program's, for tidy ---

void WritePage(const wchar_t* name) {
  CreateDirectoryW(L"rz_pages", nullptr);
  htm::WritePage(tav::outputStream_file::create8(string::concat(L"rz_pages\\", name)));
}

void DoctorPage(const wchar_t* doctor, const wchar_t* practice, const wchar_t* page) {
  htm::clear();
  htm::start_page(L"Roster", L"");
  htm::write_big_str(doctor);
  htm::write_table(1, 1, 1, 100);
  htm::assert_line(L"<tr>");
  for (const wchar_t* h : {L"Date", L"Slot", L"Mon", L"Tue", L"Wed", L"Thur", L"Fri", L"Sat", L"Sun"}) {
    cell c = Label(h);
    htm::do_row(&c, 1);
  }
  htm::assert_line(L"</tr>");
  const wchar_t* slots[] = {L"Morning", L"Evening", L"Night"};
  for (uint32_t week = 1; week <= 104; ++week) {
    htm::assert_line(L"<tr>");
    cell spacer = Label(L"                                                                                   .");
    htm::do_row(&spacer, 1);
    htm::assert_line(L"</tr>");
    for (const wchar_t* slot : slots) {
      htm::assert_line(L"<tr>");
      const uint32_t d = 1 + week % 28, m = 1 + week % 12;
      cell row[9] = {Label(mytime::dt_str(dt{2011, m, d})), Label(slot)};
      for (int k = 2; k < 9; ++k)
        row[k] = Label((week + k) % 3 ? L"" : string::concat(practice, L" / ", doctor));
      htm::do_row(row, 9);
      htm::assert_line(L"</tr>");
    }
  }
  htm::write_table_end();
  htm::end_page();
  WritePage(page);
}

TEST_F(Pages, PagesLikeTheProgramsForTidy) {
  htm::clear();
  htm::start_frame(L"kalmora6", L"");
  for (const wchar_t* l : {L"<frameset cols=\"20%,*\">", L"<frame src=\"km6practices.html\" name=\"ncentres\">",
                           L"<frameset rows=\"10%,*\">",
                           L"<frame src=\"km6staff.html\" frameborder=\"0\" name=\"nstaff\">",
                           L"<frame src=\"km6roster.html\" frameborder=\"0\" name=\"nroster\">",
                           L"</frameset>", L"</frameset>"})
    htm::assert_line(l);
  htm::end_frame();
  WritePage(L"frameset.html");

  htm::clear();
  htm::start_page(L"kalmora6", L"");
  htm::write_big_str(L"kalmora6 Practices");
  for (const wchar_t* g : {L"North", L"Smith & Jones", L"<b", L"Z\xFC" L"rich \"Ost\"", L"\x6771\x4EAC"}) {
    htm::write_a_target(string::concat(g, L".html"), g, L"nstaff");
    htm::write_br();
  }
  htm::write_big_str(L"");
  htm::write_a_target(L"https://www.kalmoratessaro.example/", L"kalmoraTessaro", L"nroster");
  htm::write_a_target(L"https://www.kalmoratessaro.example/", L"kalmora6 Help (www)", L"nroster");
  htm::end_page();
  WritePage(L"practices.html");

  DoctorPage(L"Anna Berg", L"North", L"doctor_plain.html");
  DoctorPage(L"Smith & Jones <b> \"Dr\" \x0130\x0142\x043A\x4E2D \xD83D\xDE00", L"A&B <i>",
             L"doctor_hostile.html");

  htm::write_www(L"kalmora6 & co", 12, L"https://www.kalmoratessaro.example/download?a=1&b=2");
  htm::WritePage(tav::outputStream_file::create8(L"rz_pages\\build.html"));

  // Every kind of form cell in a form.
  htm::clear();
  htm::start_page(L"Forms", L"");
  htm::write_form(L"f", L"go.cgi");
  htm::write_form_fieldset(L"Legend & more");
  htm::write_table(2, 2, 1, 100);
  htm::write_tbody();
  const cell_def listbox =
      Options(Def(cell_def::listbox, L"", L"lb"), List({L"a & b", L"<c>"}), List({L"<c>"}));
  const cell_def multi = Options(Def(cell_def::listbox, L"", L"lb", L"multiple"),
                                 List({L"a & b", L"<c>"}), List({L"<c>"}));
  const cell_def check = Def(cell_def::checkbox, L"", L"c", L"", true);
  const cell_def radio = Def(cell_def::radio, L"", L"r");
  const cell_def edit = Def(cell_def::edit_box, L"text & <more>");
  const cell_def input = Def(cell_def::input_cell, L"", L"i");
  const cell_def submit = Def(cell_def::submit, L"Send");
  const cell_def hidden = Def(cell_def::hidden, L"", L"h");
  const cell_def table = Table(1, 1, 0, 50);
  const cell_def select = Options(Def(cell_def::select, L"", L"s", L"y"), List({L"x", L"y"}), EmptyStringList(), 1);
  const cell_def button = Def(cell_def::button, L"Press");
  const cell_def script = Def(cell_def::scripted_button, L"", L"sb", L"alert('x')");
  const cell_def link = Def(cell_def::a, L"x.html", L"", L"X & Y");
  const cell_def item = Def(cell_def::list_item, L"item");
  const cell rows[][4] = {
      {Label(L"Name & title", false, alignm::right), Cell(input), Cell(check), Cell(radio, alignm::centre)},
      {Label(L"italic", true, alignm::left), Cell(listbox), Cell(multi), Cell(edit)},
  };
  for (const auto& row : rows) {
    htm::write_tr();
    htm::do_row(row, 4);
    htm::write_tr_end();
  }
  // A nested table in a cell: its rows, then the cell that closes it.
  const cell opening[] = {Cell(submit), Cell(hidden), Cell(table)};
  htm::write_tr();
  htm::do_row(opening, 3);
  htm::write_tr();
  const cell inner = Label(L"inner");
  htm::do_row(&inner, 1);
  htm::write_tr_end();
  const cell closing[] = {Cell(Def(cell_def::tablex_end))};
  htm::do_row(closing, 1);
  htm::write_tr_end();
  htm::write_tr();
  htm::write_td(L"");
  const cell inline_[] = {Cell(select), Cell(button), Cell(script), Cell(Def(cell_def::hr)), Cell(link)};
  htm::do_row(inline_, 5);
  htm::write_td_end();
  htm::write_tr_end();
  htm::write_tbody_end();
  htm::write_table_end();
  htm::write_ul();
  const cell items[] = {Cell(item)};
  htm::do_row(items, 1);
  htm::write_ul_end();
  htm::write_form_fieldset_end();
  htm::write_form_end();
  htm::end_page();
  WritePage(L"forms.html");
}

}  // namespace
