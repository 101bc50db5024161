// Editor windows on the X display: creation and its errors, keys typed by
// SendInput into the focused editor and read back through the exports, the
// exported commands, undo limits, appending with a line cap, the editor-data
// check against foreign and destroyed windows, the user handler first.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui.h"
#include "qel6edit.h"
#include "qel6kernel.h"

using namespace QEL_EDIT;
using namespace kwitest;
namespace K = Qel::RunTime::Kernel;

namespace {

TaskOptions NoMenu() {
  TaskOptions o;
  o.menu = 0;
  return o;
}

struct Fixture {
  Terms t;
  HWND task = nullptr;
  LONG_PTR Make(const wchar_t* text, uint32_t pos, int32_t indent = 0, int32_t readOnly = 0,
                PROLOG_EHANDLER_STRUCT* user = nullptr) {
    rect_struct r{10, 10, 400, 300};
    PROLOG_EHANDLER_STRUCT none{nullptr, nullptr};
    LONG_PTR w = 0;
    uint32_t code = K::RunTrapped([&] {
      w = edit_Create(wt_child, &r, L"notes.txt", t.NoMenu(), reinterpret_cast<LONG_PTR>(task),
                      t.Flags({}), nullptr, readOnly, indent, text, pos, user ? user : &none);
    });
    EXPECT_EQ(code, 0u);
    return w;
  }
};

std::wstring Text(LONG_PTR w) {
  uint8_t* m = K::Memory::MarkGStack();
  std::wstring s = edit_GetText_0(w);
  K::Memory::ReleaseGStack(m);
  return s;
}

int ChildCount(HWND parent) {
  int n = 0;
  EnumChildWindows(parent, [](HWND, LPARAM p) { ++*reinterpret_cast<int*>(p); return TRUE; },
                   reinterpret_cast<LPARAM>(&n));
  return n;
}

// One key down or up, then the messages it caused are processed.
void Key(WORD vk, bool up = false) {
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &in, sizeof in);
  PumpUntil([] { return false; }, 40);
}
void Press(WORD vk) {
  Key(vk);
  Key(vk, true);
}
void Chord(WORD modifier, WORD vk) {
  Key(modifier);
  Press(vk);
  Key(modifier, true);
}

void Focus(HWND task, LONG_PTR w) {
  SetForegroundWindow(task);
  SetFocus(reinterpret_cast<HWND>(w));
  PumpUntil([] { return false; }, 50);
}

TEST(EditorWindow, CreationPlacesTheCaretAndRefusesBadPositions) {
  Fixture f;
  RunInTask([&](HWND task) {
    f.task = task;
    LONG_PTR w = f.Make(L"abc\ndef", 5);
    ASSERT_TRUE(w);
    int32_t line = 0, col = 0;
    edit_GetPos_1(w, &line, &col);
    EXPECT_EQ(line, 2);
    EXPECT_EQ(col, 1);
    EXPECT_EQ(edit_GetPos_0(w), 5u);
    EXPECT_EQ(edit_GetNumberOfLines(w), 2);
    EXPECT_EQ(Text(w), L"abc\ndef");
    int32_t u = -1, r = -1;
    edit_PossibleUnDoReDo(w, &u, &r);
    EXPECT_EQ(u + r, 0);
    EXPECT_EQ(edit_IsModified(w), 0);
    // Position 0 and length + 2: 6903 and no window left.
    const int before = ChildCount(task);
    rect_struct rc{0, 0, 100, 100};
    PROLOG_EHANDLER_STRUCT none{nullptr, nullptr};
    for (uint32_t bad : {0u, 9u}) {
      EXPECT_EQ(K::RunTrapped([&] {
                  edit_Create(wt_child, &rc, L"", f.t.NoMenu(), reinterpret_cast<LONG_PTR>(task), f.t.Flags({}),
                              nullptr, 0, 0, L"abc\ndef", bad, &none);
                }),
                6903u);
    }
    EXPECT_EQ(ChildCount(task), before);
    // Position 1 of an empty text is fine.
    LONG_PTR e = f.Make(L"", 1);
    EXPECT_EQ(Text(e), L"");
  }, NoMenu());
}

TEST(EditorWindow, KeysTypedIntoTheFocusedEditor) {
  Fixture f;
  RunInTask([&](HWND task) {
    f.task = task;
    LONG_PTR w = f.Make(L"  x\nsecond line", 4, 1);
    Focus(task, w);
    Press(VK_RETURN);  // enter with indent
    int32_t line, col;
    edit_GetPos_1(w, &line, &col);
    EXPECT_EQ(Text(w), L"  x\n  \nsecond line");
    EXPECT_EQ(line, 2);
    EXPECT_EQ(col, 3);
    Press('H');
    Press('I');
    EXPECT_EQ(Text(w), L"  x\n  hi\nsecond line");
    Press(VK_INSERT);  // overwrite
    EXPECT_EQ(edit_GetInsert(w), 0);
    Press(VK_LEFT);
    Press('O');
    EXPECT_EQ(Text(w), L"  x\n  ho\nsecond line");
    Press(VK_INSERT);
    Press(VK_DOWN);
    Chord(VK_CONTROL, 'E');  // delete to the end of the line
    edit_GetPos_1(w, &line, &col);
    EXPECT_EQ(line, 3);
    EXPECT_EQ(Text(w), L"  x\n  ho\nseco");
    Press(VK_HOME);
    Key(VK_SHIFT);
    Press(VK_RIGHT);
    Press(VK_RIGHT);
    Key(VK_SHIFT, true);
    uint32_t from = 0, to = 0;
    edit_GetSelection(w, &from, &to);
    EXPECT_EQ(to - from, 2u);
    Press('Z');  // typing over the selection
    EXPECT_EQ(Text(w).substr(9), L"zco");
    Chord(VK_CONTROL, 'S');  // delete to the start
    Chord(VK_CONTROL, 'Y');  // delete the line
    EXPECT_EQ(Text(w), L"  x\n  ho");
    EXPECT_EQ(edit_IsModified(w), 1);
    // Everything undone gives the loaded text back, unmodified.
    for (int i = 0; i < 100 && K::RunTrapped([&] { edit_Undo(w); }) == 0;) ++i;
    EXPECT_EQ(Text(w), L"  x\nsecond line");
    EXPECT_EQ(edit_IsModified(w), 0);
  }, NoMenu());
}

TEST(EditorWindow, ExportedCommandsAndTheirErrors) {
  Fixture f;
  RunInTask([&](HWND task) {
    f.task = task;
    LONG_PTR w = f.Make(L"0123456789\nabc", 1);
    uint8_t* m = K::Memory::MarkGStack();
    EXPECT_STREQ(edit_GetText_1(w, 5, 2), L"123");
    EXPECT_STREQ(edit_GetText_1(w, 10, 15), L"9\nabc");
    EXPECT_EQ(K::RunTrapped([&] { edit_GetText_1(w, 0, 3); }), 6903u);
    EXPECT_EQ(K::RunTrapped([&] { edit_GetText_1(w, 1, 16); }), 6903u);
    K::Memory::ReleaseGStack(m);
    EXPECT_EQ(edit_SetSelection(w, 7, 7), 0);
    EXPECT_EQ(edit_SetSelection(w, 3, 13), 1);
    uint32_t from, to;
    edit_GetSelection(w, &from, &to);
    EXPECT_EQ(from, 3u);
    EXPECT_EQ(to, 13u);
    edit_Delete(w);
    EXPECT_EQ(Text(w), L"01bc");
    EXPECT_EQ(edit_PasteStr_0(w, 3, L"X\nY"), 1);
    EXPECT_EQ(Text(w), L"01X\nYbc");
    EXPECT_EQ(edit_CoordToPos(w, 2, 2), 6u);
    EXPECT_EQ(edit_CoordToPos(w, 3, 1), 0u);
    edit_Undo(w);
    edit_Undo(w);
    EXPECT_EQ(Text(w), L"0123456789\nabc");
    // Read-only: edits raise 6910, copy-free reading and undo do not.
    edit_SetReadOnly_0(w, 1);
    for (auto fn : {edit_Del, edit_Backspace, edit_Enter, edit_DeleteLine, edit_UpperCase, edit_Delete}) {
      EXPECT_EQ(K::RunTrapped([&] { fn(w); }), 6910u);
    }
    EXPECT_EQ(K::RunTrapped([&] { edit_Char(w, 'x'); }), 6910u);
    EXPECT_EQ(K::RunTrapped([&] { edit_PasteStr_0(w, 1, L"x"); }), 6910u);
    EXPECT_EQ(K::RunTrapped([&] { edit_Undo(w); }), 6904u);
    // Setting the same value keeps the history.
    edit_SetReadOnly_0(w, 0);
    edit_Char(w, 'q');
    edit_SetReadOnly_0(w, 0);
    int32_t u, r;
    edit_PossibleUnDoReDo(w, &u, &r);
    EXPECT_EQ(u, 1);
    // Tab and indent sizes that are not positive.
    EXPECT_EQ(K::RunTrapped([] { edit_SetTabSize_0(0); }), 6911u);
    EXPECT_EQ(K::RunTrapped([] { edit_IndentSize_0(-1); }), 6911u);
  }, NoMenu());
}

TEST(EditorWindow, SixHundredChangesAllow511Undos) {
  Fixture f;
  RunInTask([&](HWND task) {
    f.task = task;
    LONG_PTR w = f.Make(L"", 1);
    for (int i = 0; i < 600; ++i) edit_Char(w, static_cast<uint16_t>('a' + i % 26));
    int undone = 0;
    while (K::RunTrapped([&] { edit_Undo(w); }) == 0) ++undone;
    EXPECT_EQ(undone, 511);
    EXPECT_EQ(K::RunTrapped([&] { edit_Undo(w); }), 6904u);
    EXPECT_EQ(Text(w).size(), 89u);
    // 512 changes from a clean state: undo and redo do not call it clean.
    LONG_PTR c = f.Make(L"", 1);
    for (int i = 0; i < 512; ++i) edit_Char(c, 'z');
    edit_Undo(c);
    edit_Redo(c);
    EXPECT_EQ(edit_IsModified(c), 1);
  }, NoMenu());
}

TEST(EditorWindow, AppendWithALineCap) {
  Fixture f;
  RunInTask([&](HWND task) {
    f.task = task;
    LONG_PTR w = f.Make(L"start", 1);
    edit_AppendStr_1(w, L"\none\ntwo", 1);  // a cap of 1 keeps every line
    EXPECT_EQ(Text(w), L"start\none\ntwo");
    edit_Char(w, '!');
    EXPECT_EQ(edit_IsModified(w), 1);
    // A cap below the window's rows becomes the number of rows; lines beyond
    // it go before each append.
    for (int i = 0; i < 60; ++i) edit_AppendStr_1(w, (L"\nline " + std::to_wstring(i)).c_str(), 3);
    const int n = edit_GetNumberOfLines(w);
    EXPECT_GT(n, 4);
    EXPECT_LT(n, 60);
    std::wstring expected;
    for (int i = 60 - n; i < 60; ++i) expected += (i > 60 - n ? L"\nline " : L"line ") + std::to_wstring(i);
    EXPECT_EQ(Text(w), expected);
    // The trimmed text cannot be undone into lines that moved; modified stays.
    EXPECT_EQ(K::RunTrapped([&] { edit_Undo(w); }), 6904u);
    EXPECT_EQ(edit_IsModified(w), 1);
    EXPECT_EQ(edit_GetPos_0(w), static_cast<uint32_t>(Text(w).size()) + 1);
  }, NoMenu());
}

TEST(EditorWindow, EditorDataRefusesOtherWindows) {
  Fixture f;
  RunInTask([&](HWND task) {
    f.task = task;
    rect_struct r{0, 0, 50, 50};
    Closure none([](HWND, event_struct*) -> LONG_PTR { Fail(); });
    static int64_t notARecord[4] = {1, 2, 3, 4};
    LONG_PTR plain = win_Create(wt_child, &r, L"", f.t.NoMenu(), reinterpret_cast<LONG_PTR>(task),
                                f.t.Flags({}), &none, reinterpret_cast<LONG_PTR>(notARecord));
    EXPECT_EQ(K::RunTrapped([&] { edit_GetNumberOfLines(plain); }), 6900u);
    EXPECT_EQ(K::RunTrapped([&] { edit_GetNumberOfLines(reinterpret_cast<LONG_PTR>(task)); }), 6900u);
    LONG_PTR w = f.Make(L"x", 1);
    DestroyWindow(reinterpret_cast<HWND>(w));
    EXPECT_EQ(K::RunTrapped([&] { edit_GetNumberOfLines(w); }), 6900u);
    DestroyWindow(reinterpret_cast<HWND>(plain));  // before its closure goes
  }, NoMenu());
}

TEST(EditorWindow, UserHandlerTakingKeysHidesThemFromTheEditor) {
  Fixture f;
  RunInTask([&](HWND task) {
    f.task = task;
    int seen = 0;
    Closure takeKeys([&](HWND, event_struct* e) -> LONG_PTR {
      if (e->kind == e_char) {
        ++seen;
        return 0;
      }
      Fail();
    });
    LONG_PTR w = f.Make(L"abc", 1, 0, 0, &takeKeys);
    Focus(task, w);
    Press('K');
    EXPECT_GE(seen, 1);
    EXPECT_EQ(Text(w), L"abc");
    DestroyWindow(reinterpret_cast<HWND>(w));  // before its user handler goes
  }, NoMenu());
}

}  // namespace
