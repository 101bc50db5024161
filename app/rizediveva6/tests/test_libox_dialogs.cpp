// The string table, text and note dialogs run modally on real windows
// (Xvfb), answered by helper threads that find their controls by id; the
// table's copy read back with xclip and its print through the CUPS PDF
// queue.
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "KWI/orvtoolkwi/o_text.h"
#include "KWI/orvtoolkwi/table_str.h"
#include "answer.h"
#include "checks.h"
#include "dialog_recorder.h"
#include "list_print_test.h"
#include "print_checks.h"
#include "wyn_test.h"

namespace rztest {
namespace {

using Dialogs = Rz;

// A click on control `id` of a dialog of the layer, as a real click's
// command carries it.
void ClickCtl(HWND d, int id) {
  PostMessageW(d, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(d, id)));
}

// Resizes a dialog's window so that its client area is w x h.
void SizeClient(HWND d, int w, int h) {
  RECT r{0, 0, w, h};
  AdjustWindowRectEx(&r, DWORD(GetWindowLongPtrW(d, GWL_STYLE)), FALSE, DWORD(GetWindowLongPtrW(d, GWL_EXSTYLE)));
  SetWindowPos(d, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
}

// A control's rectangle in its dialog's client coordinates.
RECT CtlRect(HWND d, int id) {
  RECT r{};
  GetWindowRect(GetDlgItem(d, id), &r);
  MapWindowPoints(nullptr, d, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

std::vector<int> Edges(RECT r) { return {int(r.left), int(r.top), int(r.right), int(r.bottom)}; }

std::set<std::wstring> PdfsOf(const std::wstring& title) {
  std::set<std::wstring> names;
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((L"Z:\\root\\PDF\\" + title + L"*.pdf").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do names.insert(fd.cFileName);
  while (FindNextFileW(h, &fd));
  FindClose(h);
  return names;
}

// A PDF of `title` that was not there before, waited for.
std::wstring NewPdf(const wchar_t* title, const std::set<std::wstring>& before) {
  for (int i = 0; i < 300; ++i, Sleep(100))
    for (const std::wstring& n : PdfsOf(title))
      if (!before.count(n)) {
        Sleep(500);  // written whole
        return L"Z:\\root\\PDF\\" + n;
      }
  return L"";
}


const List<const SList*>* Rows(const std::vector<std::vector<std::wstring>>& rows) {
  ListBuilder<const SList*> out(true);
  for (const auto& r : rows) {
    ListBuilder<const wchar_t*> cells(true);
    for (const auto& c : r) cells.Add(tav::HeapCopy(c.c_str()));
    out.Add(cells.Finish());
  }
  return out.Finish();
}


// The table: its list follows the dialog's size, "to clipboard" puts the
// rows, "Print" prints them as the job "ORV", a row of eleven cells shows
// the nine that fit; the close box ends the dialog.
TEST_F(Dialogs, StringTable) {
  ASSERT_TRUE(kwitest::HasPdfQueue()) << "the CUPS queue KwiPDF";
  const std::wstring dir = kwitest::TempDir(L"rizediveva6_libox_dialogs");
  // Cells short enough for the 30-pixel columns.
  std::vector<std::vector<std::wstring>> rows;
  for (int i = 1; i <= 12; ++i) rows.push_back({L"R" + std::to_wstring(10 + i), L"M\u00fcller", L"x"});
  rows.push_back({L"c1", L"c2", L"c3", L"c4", L"c5", L"c6", L"c7", L"c8", L"c9", L"c10", L"c11"});
  DialogRecorder notes;
  const std::set<std::wstring> before = PdfsOf(L"ORV");
  std::vector<int> listAfterResize, client;
  std::string copied;
  uint32_t shownLines = 0;
  table_str* t = nullptr;
  InTask([&](HWND task) {
    testbox::Script script({
        {L"table_str",
         [&](HWND d) {
           SizeClient(d, 520, 400);
           Sleep(200);
           RECT c;
           GetClientRect(d, &c);
           client = Edges(c);
           listAfterResize = Edges(CtlRect(d, table_str::kList));
           ClickCtl(d, table_str::kCopy);
           Sleep(500);
           copied = kwitest::ShellOutput("xclip -o -selection clipboard", dir + L"clip.txt");
           ClickCtl(d, table_str::kPrint);
         }},
        {L"Font",
         [](HWND d) {
           ChooseSans(d);
           kwitest::Press(d, IDOK);
         }},
        {L"table_str", [](HWND d) { testbox::CloseBox(d); }},
    });
    ASSERT_EQ(RunTrapped([&] {
      t = table_str::new_();
      t->show(reinterpret_cast<LONG_PTR>(task), Rows(rows));
      shownLines = t->list()->lbox_num_rows();
    }), 0u);
    script.Finish();
  });
  EXPECT_EQ(shownLines, 13u);
  ASSERT_EQ(client.size(), 4u);
  EXPECT_EQ(listAfterResize, (std::vector<int>{10, 30, client[2] - 10, client[3] - 10}));
  std::string expected;
  for (const auto& r : rows) {
    for (const auto& c : r) expected += Utf8(c) + "\t";
    expected += "\n";
  }
  EXPECT_TRUE(copied == expected) << copied;
  ASSERT_FALSE(notes.shown().empty());
  EXPECT_EQ(notes.shown()[0].text, L"You may now paste to (eg) Excel");
  const std::wstring pdf = NewPdf(L"ORV", before);
  ASSERT_FALSE(pdf.empty());
  const std::string text = kwitest::ShellOutput("pdftotext '" + kwitest::UnixName(pdf) + "' -", dir + L"job.txt");
  DeleteFileW(pdf.c_str());
  size_t from = 0;
  for (int i = 1; i <= 12; ++i) {
    const std::string cell = Utf8(rows[size_t(i - 1)][0]);
    const size_t found = text.find(cell, from);
    ASSERT_NE(found, std::string::npos) << i;
    from = found + cell.size();
  }
  // The long row: the cells on the page (the columns grow by 30, 60, ...
  // pixels, three times as wide on the printer), nothing past the ninth.
  for (const char* cell : {"c1", "c2", "c7"}) EXPECT_NE(text.find(cell), std::string::npos) << cell;
  EXPECT_EQ(text.find("c10"), std::string::npos);
}

// A second table in the process finds the list class registered; an empty
// table shows no lines.
TEST_F(Dialogs, SecondTableIsEmpty) {
  uint32_t lines = 99;
  InTask([&](HWND task) {
    for (int i = 0; i < 2; ++i) {
      testbox::Script script({{L"table_str", [](HWND d) { testbox::CloseBox(d); }}});
      ASSERT_EQ(RunTrapped([&] {
        table_str* t = table_str::new_();
        t->show(reinterpret_cast<LONG_PTR>(task), Nil<const SList*>());
        lines = t->list()->display_order().size();
      }), 0u) << i;
      script.Finish();
    }
  });
  EXPECT_EQ(lines, 0u);
}

// The text dialog keeps its text 10 pixels inside the client area at every
// size, under the given title.
TEST_F(Dialogs, TextKeepsItsMargin) {
  std::vector<std::vector<int>> seen, expected;
  std::wstring title, shown;
  InTask([&](HWND task) {
    testbox::Script script({{L"Notice", [&](HWND d) {
                               title = testbox::WindowText(d);
                               shown = testbox::WindowText(GetDlgItem(d, o_text::kText));
                               for (SIZE s : {SIZE{400, 300}, SIZE{250, 120}}) {
                                 SizeClient(d, s.cx, s.cy);
                                 Sleep(150);
                                 RECT c;
                                 GetClientRect(d, &c);
                                 seen.push_back(Edges(CtlRect(d, o_text::kText)));
                                 expected.push_back({10, 10, int(c.right) - 10, int(c.bottom) - 10});
                               }
                               testbox::CloseBox(d);
                             }}});
    ASSERT_EQ(RunTrapped([&] { o_text::new_()->show_text(reinterpret_cast<LONG_PTR>(task), L"Notice", L"Z\u00fcrich\nline two"); }), 0u);
    script.Finish();
  });
  EXPECT_EQ(title, L"Notice");
  EXPECT_EQ(shown, L"Z\u00fcrich\r\nline two");  // the layer writes line breaks as CR LF
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen, expected);
}

// The note returns the text as last edited, however the dialog closes, and
// its edit control fills the client area.
TEST_F(Dialogs, NoteReturnsTheEditedText) {
  struct Case {
    const char* what;
    const wchar_t* typed;  // null: closed at once
    std::wstring result;
  };
  const std::vector<Case> cases = {
      {"closed at once", nullptr, L"first\r\nnote"},
      {"typed, then the close box", L"Zu", L"first\r\nnoteZu"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::wstring result, title;
    std::vector<int> note, client;
    InTask([&](HWND task) {
      testbox::Script script({{L"Heading", [&](HWND d) {
                                 title = testbox::WindowText(d);
                                 SizeClient(d, 300, 200);
                                 Sleep(150);
                                 RECT r;
                                 GetClientRect(d, &r);
                                 client = Edges(r);
                                 note = Edges(CtlRect(d, o_note::kNote));
                                 const HWND edit = GetDlgItem(d, o_note::kNote);
                                 if (c.typed) {
                                   const LPARAM end = GetWindowTextLengthW(edit);
                                   SendMessageW(edit, EM_SETSEL, WPARAM(end), end);
                                   for (const wchar_t* ch = c.typed; *ch; ++ch) PostMessageW(edit, WM_CHAR, *ch, 1);
                                   Sleep(200);
                                 }
                                 testbox::CloseBox(d);
                               }}});
      ASSERT_EQ(RunTrapped([&] {
        result = o_note::new_()->show_note(reinterpret_cast<LONG_PTR>(task), L"Heading", L"first\r\nnote");
      }), 0u);
      script.Finish();
    });
    EXPECT_EQ(title, L"Heading");
    EXPECT_EQ(note, client);
    EXPECT_EQ(result, c.result);
  }
}

}  // namespace
}  // namespace rztest
