// The exported search, bookmark, mark, hyper-field and text-utility
// functions on a real window carrying an editor record: the window check,
// read-only refusals, and the user event of a field deletion.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core.h"
#include "editgui.h"
#include "hyper.h"
#include "lineops.h"
#include "records.h"
#include "search.h"
#include "settings.h"

using namespace QEL_EDIT;
using namespace QEL_EDIT::detail;
using namespace kwitest;
using edittest::NoMenu;
namespace K = Qel::RunTime::Kernel;

namespace {

// Runs body(window) with an editor record of `text` on a child window of
// the task; `answer` is the handler's result for user events, which it logs.
void WithEditor(const wchar_t* text, bool hyper, LONG_PTR answer, std::vector<std::wstring>* events,
                const std::function<void(LONG_PTR, EditorRecord*)>& body) {
  RunInTask([&](HWND task) {
    Terms t;
    EditorRecord* ed = edittest::NewTestRecord(text, hyper);
    ASSERT_TRUE(ed);
    Closure handler([&](HWND, event_struct* e) -> LONG_PTR {
      if (e->kind == e_user) {
        auto* h = reinterpret_cast<hyper_event_struct*>(e->w[1]);
        events->push_back(std::to_wstring(e->w[0]) + L" " + std::to_wstring(h->kind) + L" " + h->data);
        return answer;
      }
      Fail();
    });
    rect_struct r{0, 0, 300, 200};
    LONG_PTR w = win_Create(wt_child, &r, L"", t.NoMenu(), reinterpret_cast<LONG_PTR>(task),
                            t.Flags({}), &handler, reinterpret_cast<LONG_PTR>(ed));
    ed->window = w;
    body(w, ed);
    DestroyWindow(reinterpret_cast<HWND>(w));
    DeleteRecord(ed);
  }, NoMenu());
}

std::wstring Pretty(std::wstring s) {
  for (auto& c : s) c = c == FieldStart ? L'[' : c == FieldSeparator ? L'|' : c == FieldEnd ? L']' : c;
  return s;
}

TEST(Exports, BookmarksMarksAndSearch) {
  std::vector<std::wstring> events;
  WithEditor(L"alpha\nbeta\ngamma", false, 0, &events, [&](LONG_PTR w, EditorRecord* ed) {
    EXPECT_EQ(K::RunTrapped([&] {
      edit_BookmarkSetTypeForLine(w, 1, 0x5);
      edit_BookmarkSetTypeForLine(w, 3, 0x4);
    }), 0u);
    EXPECT_EQ(edit_BookmarkGetTypeForLine(w, 1), 0x5);
    EXPECT_EQ(edit_BookmarkGetTypeForLine(w, 7), 0);
    std::vector<std::pair<int, int>> listed;
    uint8_t* mark = K::Memory::MarkGStack();
    for (bmlist_struct* l = edit_BookmarkGetList(w, 0x4); l->functor == ListCons; l = l->next)
      listed.emplace_back(l->value->line, l->value->type);
    K::Memory::ReleaseGStack(mark);
    EXPECT_EQ(listed, (std::vector<std::pair<int, int>>{{1, 5}, {3, 4}}));
    edit_BookmarkClearAll(w);
    EXPECT_EQ(edit_BookmarkGetTypeForLine(w, 1), 0);
    edit_SetCursorToLine(w, 2, 0);
    EXPECT_EQ(ed->cursorLine * 0x1000000 + ed->cursorColor, 2 * 0x1000000 + 0x00FF00);
    edit_SetCursorNone(w);
    EXPECT_EQ(ed->cursorLine, 0);
    searchState.options = SearchOptions{};
    int32_t found = -1;
    EXPECT_EQ(K::RunTrapped([&] { found = edit_SearchStr(w, L"GAMMA"); }), 0u);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(ed->selection.anchorLine * 100 + ed->selection.anchorCol, 301);
  });
  // Any other window: 6900.
  RunInTask([&](HWND task) {
    EXPECT_EQ(K::RunTrapped([&] { edit_BookmarkGetTypeForLine(reinterpret_cast<LONG_PTR>(task), 1); }),
              6900u);
  }, NoMenu());
}

TEST(Exports, HyperFieldsAndTheDeleteEvent) {
  for (LONG_PTR answer : {0, 1}) {
    std::vector<std::wstring> events;
    std::wstring after;
    WithEditor(L"xabcx", true, answer, &events, [&](LONG_PTR w, EditorRecord* ed) {
      ed->selection = {1, 2, 1, 5, 1};
      EXPECT_EQ(K::RunTrapped([&] { edit_CreateHyperField_1(w, L"d1"); }), 0u);
      MoveCaretTo(ed, 1, 3);
      EXPECT_EQ(K::RunTrapped([&] { edit_DeleteHyperField(w); }), 0u);
      uint8_t* mark = K::Memory::MarkGStack();
      after = TextGet(ed);
      K::Memory::ReleaseGStack(mark);
    });
    EXPECT_EQ(events, std::vector<std::wstring>{L"10002 1 d1"});
    EXPECT_EQ(Pretty(after), answer == 0 ? L"xabcx" : L"x[abc|d1]x") << answer;
  }
}

TEST(Exports, HyperActivationAndMarkupChecks) {
  std::vector<std::wstring> events;
  WithEditor(L"x\x0b" L"ab\x0e" L"d1\x0fy\nplain", true, 0, &events, [&](LONG_PTR w, EditorRecord* ed) {
    MoveCaretTo(ed, 1, 3);  // inside "ab"
    EXPECT_EQ(K::RunTrapped([&] { HyperActivate(w, ed); }), 0u);
    MoveCaretTo(ed, 1, 1);  // beside the field: no data
    EXPECT_EQ(K::RunTrapped([&] { HyperActivate(w, ed); }), 0u);
    MoveCaretTo(ed, 2, 2);  // a line without fields: no event
    EXPECT_EQ(K::RunTrapped([&] { HyperActivate(w, ed); }), 0u);
  });
  EXPECT_EQ(events, (std::vector<std::wstring>{L"10003 2 d1", L"10003 2 "}));
  const wchar_t* bad[] = {L"a\x0e" L"b", L"\x0b" L"a\x0b" L"b\x0e\x0f", L"\x0b" L"a\x0eb\x0f\x0f",
                          L"\x0b" L"a\nb\x0e\x0f", L"\x0b" L"open"};
  for (const wchar_t* t : bad) EXPECT_EQ(K::RunTrapped([&] { CheckMarkupOrRaise(t); }), 6901u);
  EXPECT_EQ(K::RunTrapped([&] { CheckMarkupOrRaise(L"\x0b" L"a\x0e" L"b\x0f\n\x0b\x0e\x0f"); }), 0u);
}

TEST(Exports, ReadOnlyRefusesChanges) {
  std::vector<std::wstring> events;
  WithEditor(L"a\tb  \nc", true, 0, &events, [&](LONG_PTR w, EditorRecord* ed) {
    ed->readOnly = 1;
    ed->selection = {1, 1, 1, 2, 1};
    EXPECT_EQ(K::RunTrapped([&] { edit_CreateHyperField_1(w, L"d"); }), 6910u);
    EXPECT_EQ(K::RunTrapped([&] { edit_DeleteHyperField(w); }), 6910u);
    EXPECT_EQ(K::RunTrapped([&] { edit_GetTextOpt(w, 1, 0); }), 6910u);
    EXPECT_EQ(K::RunTrapped([&] { edit_GetTextOpt(w, 0, 1); }), 6910u);
    std::wstring text;
    uint8_t* mark = K::Memory::MarkGStack();
    EXPECT_EQ(K::RunTrapped([&] { text = edit_GetTextOpt(w, 0, 0); }), 0u);
    K::Memory::ReleaseGStack(mark);
    EXPECT_EQ(text, L"a\tb  \nc");
    ed->readOnly = 0;
    settings.tabSize = 4;
    mark = K::Memory::MarkGStack();
    EXPECT_EQ(K::RunTrapped([&] { text = edit_GetTextOpt(w, 1, 1); }), 0u);
    K::Memory::ReleaseGStack(mark);
    EXPECT_EQ(text, L"a   b\nc");
    settings = Settings{};
  });
  EXPECT_TRUE(events.empty());
}

// The token at a line and column as text positions: a word whole, a blank
// or other character alone, nothing behind the last token; lines outside
// the text raise 6909.  Hyper markup is not counted in the columns.
TEST(Exports, BoundWord) {
  struct Case {
    uint32_t line, column;
    uint32_t error;      // 0: none
    bool found;
    uint32_t start, end;
  } cases[] = {
      {1, 6, 0, true, 5, 10},     // "Shape"
      {1, 5, 0, true, 5, 10},     // its first character
      {1, 4, 0, true, 4, 5},      // a blank alone
      {1, 11, 0, true, 11, 12},   // ':' alone
      {2, 2, 0, true, 21, 24},    // "pad" after a tab (line 2 starts at 20)
      {1, 19, 0, false, 0, 0},    // behind the last token
      {1, 0, 0, false, 0, 0},
      {1, 0x80000000u, 0, false, 0, 0},
      {0, 1, 6909, false, 0, 0},
      {4, 1, 6909, false, 0, 0},
  };
  std::vector<std::wstring> events;
  WithEditor(L"int Shape::area(x)\n\tpad\n::top", false, 0, &events, [&](LONG_PTR w, EditorRecord*) {
    for (const Case& c : cases) {
      uint32_t start = 0, end = 0;
      bool found = false;
      EXPECT_EQ(K::RunTrapped([&] { found = K::Succeeds([&] { edit_BoundWord(w, c.line, c.column, &start, &end); }); }),
                c.error)
          << c.line << ":" << c.column;
      EXPECT_EQ(found, c.found) << c.line << ":" << c.column;
      if (c.found) {
        EXPECT_EQ(start, c.start) << c.line << ":" << c.column;
        EXPECT_EQ(end, c.end) << c.line << ":" << c.column;
      }
    }
  });
  // "x" then a field "ab" holding "d1", then " yy": visible "xab yy".
  WithEditor(L"x\x0b" L"ab\x0e" L"d1\x0f yy", true, 0, &events, [&](LONG_PTR w, EditorRecord*) {
    uint32_t start = 0, end = 0;
    EXPECT_EQ(K::RunTrapped([&] { edit_BoundWord(w, 1, 5, &start, &end); }), 0u);
    EXPECT_EQ(start, 10u);  // raw positions: the markup lies before "yy"
    EXPECT_EQ(end, 12u);
  });
}

// The word at the caret, with the word ending just before a "::" in front
// of it when text stands before the "::".
TEST(Exports, GetWordWithClass) {
  struct Case {
    int32_t line, col;
    bool found;
    const wchar_t *classPart, *word;
  } cases[] = {
      {1, 13, true, L"Shape", L"area"},
      {1, 12, true, L"Shape", L"area"},  // on the word's first character
      {1, 6, true, L"", L"Shape"},
      {2, 1, true, L"", L":"},             // ':' is a token of its own
      {2, 4, true, L"", L"top"},           // "::" at the line's start
      {3, 5, true, L" ", L"b"},            // a blank before the "::" is its token
      {1, 19, false, nullptr, nullptr},
  };
  std::vector<std::wstring> events;
  WithEditor(L"int Shape::area(x)\n::top\na ::b", false, 0, &events, [&](LONG_PTR w, EditorRecord* ed) {
    for (const Case& c : cases) {
      MoveCaretTo(ed, c.line, c.col);
      std::wstring classPart, word;
      bool found = false;
      uint8_t* mark = K::Memory::MarkGStack();
      EXPECT_EQ(K::RunTrapped([&] {
                  found = K::Succeeds([&] {
                    u16 *cp = nullptr, *wd = nullptr;
                    edit_GetWordWithClass(w, &cp, &wd);
                    classPart = cp;
                    word = wd;
                  });
                }),
                0u);
      K::Memory::ReleaseGStack(mark);
      EXPECT_EQ(found, c.found) << c.line << ":" << c.col;
      if (c.found) {
        EXPECT_EQ(classPart, c.classPart) << c.line << ":" << c.col;
        EXPECT_EQ(word, c.word) << c.line << ":" << c.col;
      }
    }
  });
}

}  // namespace
