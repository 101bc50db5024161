// The search and go-to dialogs at work on an editor window: a helper thread
// finds each dialog by its title, fills and presses controls by id and
// answers the note boxes, whose texts it reads; the editor window's handler
// logs the user events (open 9100-9103, destroy 0, help 3, Change All 10006).
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "core.h"
#include "dialogrun.h"
#include "editgui.h"
#include "history.h"
#include "records.h"
#include "search.h"

using namespace QEL_EDIT;
using namespace QEL_EDIT::detail;
using namespace kwitest;
using edittest::NoMenu;
namespace K = Qel::RunTime::Kernel;

namespace {

// --- The helper thread's hands ---------------------------------------------------
HWND WaitWindow(const wchar_t* title, DWORD ms = 10000) {
  for (DWORD waited = 0; waited < ms; waited += 20) {
    HWND w = FindWindowW(nullptr, title);
    DWORD pid = 0;
    if (w) GetWindowThreadProcessId(w, &pid);
    if (w && pid == GetCurrentProcessId() && IsWindowVisible(w)) return w;
    Sleep(20);
  }
  return nullptr;
}

void WaitGone(HWND w) {
  for (int i = 0; i < 500 && IsWindow(w); ++i) Sleep(20);
}

std::wstring Text(HWND dlg, int id) {
  wchar_t buf[256] = {};
  GetDlgItemTextW(dlg, id, buf, 256);
  return buf;
}

void Click(HWND dlg, int id) {
  PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
}

// Enters a text into a combo box and presses a button.
void Enter(HWND dlg, const wchar_t* text, int button = 1) {
  SetDlgItemTextW(dlg, 4, text);
  Click(dlg, button);
}

// Answers the next note box with OK and returns its text.
std::wstring Note() {
  HWND box = WaitWindow(L"Note");
  if (!box) return L"(no note)";
  std::wstring text = Text(box, 0xFFFF);
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  WaitGone(box);
  return text;
}

struct Outcome {
  std::vector<std::wstring> events;  // "id data" of the user events
  std::vector<std::wstring> notes;
  std::wstring text;
  int32_t caretLine = 0, caretCol = 0;
  std::wstring selection;
};

// Runs `drive` on the main thread (it opens the dialogs) while `hands`
// answers them on a helper thread, with an editor window of `text`.
void WithDialogs(const wchar_t* text, Outcome* run, const std::function<void(LONG_PTR, EditorRecord*)>& drive,
                 const std::function<void()>& hands) {
  RunInTask([&](HWND task) {
    Terms t;
    EditorRecord* ed = edittest::NewTestRecord(text);
    ASSERT_TRUE(ed);
    Closure handler([&](HWND, event_struct* e) -> LONG_PTR {
      if (e->kind == e_user) {
        LONG_PTR data = (e->w[0] >= 9100 && e->w[0] <= 9103) || e->w[0] == 0 ? 0 : e->w[1];
        run->events.push_back(std::to_wstring(e->w[0]) + L" " + std::to_wstring(data));
        return 0;
      }
      Fail();
    });
    rect_struct r{0, 0, 300, 200};
    LONG_PTR w = win_Create(wt_child, &r, L"", t.NoMenu(), reinterpret_cast<LONG_PTR>(task),
                            t.Flags({}), &handler, reinterpret_cast<LONG_PTR>(ed));
    ed->window = w;
    std::thread helper(hands);
    drive(w, ed);
    helper.join();
    PumpUntil([] { return false; }, 100);
    run->text = edittest::RecordText(ed);
    run->caretLine = ed->CurrentLine();
    run->caretCol = ed->caretCol;
    const Selection& s = ed->selection;
    run->selection = s.active ? std::to_wstring(s.anchorLine) + L":" + std::to_wstring(s.anchorCol) +
                                    L"-" + std::to_wstring(s.caretCol)
                              : L"none";
    DestroyWindow(reinterpret_cast<HWND>(w));
    DeleteRecord(ed);
  }, NoMenu());
}

uint32_t Trapped(const std::function<void()>& f) { return K::RunTrapped([&] { f(); }); }

TEST(DialogRun, FindAndGoTo) {
  searchState.options = SearchOptions{};
  Outcome run;
  WithDialogs(L"alpha\nbeta\ngamma\ndelta", &run,
              [&](LONG_PTR w, EditorRecord*) {
                EXPECT_EQ(Trapped([&] { edit_SearchDlg(w); }), 0u);
                EXPECT_EQ(Trapped([&] { edit_GotoLineDlg(w); }), 0u);
                EXPECT_EQ(Trapped([&] { edit_GotoPosDlg(w); }), 0u);
              },
              [&] {
                HWND d = WaitWindow(L"Find Text");
                ASSERT_TRUE(d);
                Enter(d, L"");
                run.notes.push_back(Note());
                Enter(d, L"zzz");
                run.notes.push_back(Note());
                Enter(d, L"BETA");  // ignoring case by default
                WaitGone(d);
                d = WaitWindow(L"Go To Line Number");
                ASSERT_TRUE(d);
                EXPECT_EQ(Text(d, 5), L"&Enter New Line Number");  // from the list
                Enter(d, L"12a");
                run.notes.push_back(Note());
                Enter(d, L"99999999999");
                run.notes.push_back(Note());
                Enter(d, L"");
                run.notes.push_back(Note());
                Enter(d, L"3");
                WaitGone(d);
                d = WaitWindow(L"Go To Position");
                ASSERT_TRUE(d);
                EXPECT_EQ(Text(d, 5), L"&Position (resource)");  // the application's resource
                Click(d, 3);                                      // help
                Enter(d, L"x1");
                run.notes.push_back(Note());
                Enter(d, L"");
                run.notes.push_back(Note());
                Enter(d, L"8");  // "alpha" CR LF "be|ta"
                WaitGone(d);
              });
  EXPECT_EQ(run.notes, (std::vector<std::wstring>{
                           L"No search string specified", L"Search string not found: zzz",
                           L"Cannot go to specified Line number", L"Cannot go to specified Line number",
                           L"Line number is not specified", L"Cannot go to specified Position",
                           L"Position is not specified"}));
  EXPECT_EQ(run.events, (std::vector<std::wstring>{L"9100 0", L"0 0", L"9103 0", L"0 0", L"9102 0",
                                                   L"3 7", L"0 0"}));
  EXPECT_STREQ(histories.find.CurrentEntry(), L"BETA");
  EXPECT_STREQ(histories.goToLine.CurrentEntry(), L"3");
  EXPECT_EQ(histories.goToPosition.Count(), 1);
  EXPECT_EQ(run.caretLine, 2);
}

TEST(DialogRun, ReplaceChangeAllAndFindNext) {
  searchState.options = SearchOptions{};
  Outcome run;
  LONG_PTR replaceWindow = 0;
  WithDialogs(L"one cat\ntwo cats\ncat", &run,
              [&](LONG_PTR w, EditorRecord* ed) {
                EXPECT_EQ(Trapped([&] { edit_ReplaceDlg(w); }), 0u);
                replaceWindow = ReplaceDialogWindow();
                EXPECT_TRUE(replaceWindow);
                // Find while Replace is open only focuses Replace: nothing modal opens.
                EXPECT_EQ(Trapped([&] { edit_SearchDlg(w); }), 0u);
                PumpUntil([&] { return !IsWindow(reinterpret_cast<HWND>(replaceWindow)); }, 15000);
                EXPECT_EQ(ReplaceDialogWindow(), 0);
                // Find next repeats the last search text; nothing more: a note.
                EXPECT_EQ(Trapped([&] { edit_SearchAgain(w); }), 0u);
                ed->readOnly = 1;
                EXPECT_EQ(Trapped([&] { edit_ReplaceDlg(w); }), 6910u);
                ed->readOnly = 0;
              },
              [&] {
                HWND d = WaitWindow(L"Replace Text");
                ASSERT_TRUE(d);
                SetDlgItemTextW(d, 6, L"dog");
                Click(d, 9);  // whole words
                Enter(d, L"cat", 17);  // Change All
                WaitGone(d);
                run.notes.push_back(Note());  // find next: "dog" is not the search text
              });
  EXPECT_EQ(run.text, L"one dog\ntwo cats\ndog");
  EXPECT_EQ(run.events, (std::vector<std::wstring>{L"9101 0", L"0 0", L"10006 2"}));
  EXPECT_EQ(run.notes, (std::vector<std::wstring>{L"Search string not found: cat"}));
  EXPECT_STREQ(histories.replace.CurrentEntry(), L"dog");
  searchState.options = SearchOptions{};
}

// The search examples through real editors: options set and the search run
// through the exports, the selection read back as text positions.
TEST(EditorSearch, ExamplesThroughTheExports) {
  struct {
    const wchar_t* text;
    const wchar_t* find;
    int32_t wholeWords, caseSensitive, forward, regex;
    int32_t line, column;  // the caret before
    uint32_t from, to;     // 0, 0: not found
  } cases[] = {
      {L"cats _cat cat.", L"cat", 1, 1, 1, 0, 1, 1, 11, 14},
      {L"x aBc", L"ABC", 0, 0, 1, 0, 1, 1, 3, 6},
      {L"ab", L"ab", 0, 1, 0, 0, 1, 3, 1, 3},
      {L"bab", L"a*", 0, 1, 1, 1, 1, 1, 2, 3},
      {L"bab", L"x*", 0, 1, 1, 1, 1, 1, 0, 0},
      {L"ax\nbx", L"b.", 0, 1, 1, 1, 1, 1, 4, 6},
  };
  std::vector<std::pair<uint32_t, uint32_t>> got;
  RunInTask([&](HWND task) {
    Terms t;
    PROLOG_EHANDLER_STRUCT none{nullptr, nullptr};
    for (const auto& c : cases) {
      rect_struct r{10, 10, 400, 300};
      LONG_PTR w = 0;
      uint32_t from = 0, to = 0;
      uint32_t code = K::RunTrapped([&] {
        w = edit_Create(wt_child, &r, L"", t.NoMenu(), reinterpret_cast<LONG_PTR>(task), t.Flags({}),
                        nullptr, 0, 0, c.text, 1, &none);
        edit_SetSearchOptions4(c.wholeWords, c.caseSensitive, c.forward, c.regex);
        searchState.options.origin = 0;  // from the caret
        edit_GotoLinePos(w, c.line, c.column);
        edit_SearchStr(w, c.find);
        edit_GetSelection(w, &from, &to);
      });
      EXPECT_EQ(code, 0u) << c.find;
      got.emplace_back(from, to);
      DestroyWindow(reinterpret_cast<HWND>(w));
    }
  }, NoMenu());
  searchState.options = SearchOptions{};
  ASSERT_EQ(got.size(), std::size(cases));
  for (size_t i = 0; i < got.size(); ++i)
    EXPECT_EQ(got[i], std::make_pair(cases[i].from, cases[i].to)) << cases[i].find;
}

// Through a real editor: its menu commands open the dialogs, its user
// handler receives their events, and destroying it closes Replace Text.
TEST(DialogRun, EditorMenuCommandsAndDestroy) {
  std::vector<std::wstring> events;
  int32_t line = 0;
  LONG_PTR replace = 0;
  bool replaceGoneWithEditor = false;
  RunInTask([&](HWND task) {
    Terms t;
    Closure user([&](HWND, event_struct* e) -> LONG_PTR {
      if (e->kind == e_user) {
        events.push_back(std::to_wstring(e->w[0]));
        return 0;
      }
      Fail();
    });
    rect_struct r{10, 10, 400, 300};
    LONG_PTR w = 0;
    ASSERT_EQ(K::RunTrapped([&] {
      w = edit_Create(wt_child, &r, L"notes.txt", t.NoMenu(), reinterpret_cast<LONG_PTR>(task),
                      t.Flags({}), nullptr, 0, 0, L"one\ntwo\nthree", 1, &user);
    }), 0u);
    std::thread helper([] {
      HWND d = WaitWindow(L"Go To Line Number");
      if (d) Enter(d, L"2");
    });
    event_struct menu{};
    menu.kind = e_menu;
    menu.w[0] = cmd_goToLine;
    EXPECT_EQ(K::RunTrapped([&] { win_SendEvent(w, &menu); }), 0u);
    helper.join();
    int32_t column = 0;
    EXPECT_EQ(K::RunTrapped([&] { edit_GetPos_1(w, &line, &column); }), 0u);
    menu.w[0] = cmd_replace;
    EXPECT_EQ(K::RunTrapped([&] { win_SendEvent(w, &menu); }), 0u);
    replace = ReplaceDialogWindow();
    DestroyWindow(reinterpret_cast<HWND>(w));
    replaceGoneWithEditor = !IsWindow(reinterpret_cast<HWND>(replace)) && !ReplaceDialogWindow();
  }, NoMenu());
  EXPECT_EQ(line, 2);
  EXPECT_TRUE(replace);
  EXPECT_TRUE(replaceGoneWithEditor);
  EXPECT_EQ(events, (std::vector<std::wstring>{L"9103", L"0", L"9101", L"0"}));
}

}  // namespace
