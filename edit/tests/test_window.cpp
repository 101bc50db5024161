// Editor windows on the X display: creation and its errors, keys typed by
// SendInput into the focused editor and read back through the exports, the
// exported commands, undo limits, appending with a line cap, the editor-data
// check against foreign and destroyed windows, the user handler first.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "editgui.h"

using namespace QEL_EDIT;
using namespace kwitest;
using edittest::ClientPixels;
using edittest::NoMenu;
using edittest::Rgb;
using edittest::Text;
namespace K = Qel::RunTime::Kernel;

namespace {

struct Fixture {
  Terms t;
  HWND task = nullptr;
  LONG_PTR Make(const wchar_t* text, uint32_t pos, int32_t indent = 0, int32_t readOnly = 0,
                PROLOG_EHANDLER_STRUCT* user = nullptr) {
    return edittest::NewEditor(t, task, text, pos, indent, readOnly, user);
  }
};

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

// The caret stays made while its editor has the focus and moves with the
// typing; another editor taking the focus makes its own, and the first
// makes its caret anew when the focus comes back.
TEST(EditorWindow, CaretFollowsTheFocus) {
  Fixture f;
  RunInTask([&](HWND task) {
    f.task = task;
    LONG_PTR a = f.Make(L"abc", 1), b = f.Make(L"xyz", 1);
    Focus(task, a);
    Press(VK_END);
    POINT atEnd{}, other{}, back{}, typed{};
    GetCaretPos(&atEnd);
    Focus(task, b);
    GetCaretPos(&other);
    EXPECT_LT(other.x, atEnd.x);  // b's caret at its start
    Focus(task, a);
    GetCaretPos(&back);
    EXPECT_EQ(back.x * 10000 + back.y, atEnd.x * 10000 + atEnd.y);
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    ASSERT_TRUE(GetGUIThreadInfo(GetCurrentThreadId(), &gui));
    EXPECT_EQ(gui.hwndCaret, reinterpret_cast<HWND>(a));
    Press('D');
    GetCaretPos(&typed);
    EXPECT_GT(typed.x, atEnd.x);
    EXPECT_EQ(Text(a), L"abcd");
    EXPECT_EQ(Text(b), L"xyz");
  }, NoMenu());
}

// A hyper editor: malformed markup is refused at creation (no window) and by
// both pastes; keys typed on a field's first character go in front of the
// field, keys inside its text change nothing, and undo gives the text back.
TEST(EditorWindow, HyperEditorKeysAroundAField) {
  Fixture f;
  RunInTask([&](HWND task) {
    rect_struct r{10, 10, 400, 300};
    PROLOG_EHANDLER_STRUCT none{nullptr, nullptr};
    auto make = [&](const wchar_t* text, LONG_PTR* w) {
      return K::RunTrapped([&] {
        *w = edit_CreateHyper(wt_child, &r, L"", f.t.NoMenu(), reinterpret_cast<LONG_PTR>(task), f.t.Flags({}),
                              nullptr, 0, 0, 1, text, 1, &none);
      });
    };
    const int before = ChildCount(task);
    LONG_PTR w = 0;
    EXPECT_EQ(make(L"a\x0E" L"b", &w), 6901u);
    EXPECT_EQ(ChildCount(task), before);
    const std::wstring field = L"\x0B" L"cd\x0E" L"data\x0F", loaded = L"ab " + field + L" ef";
    ASSERT_EQ(make(loaded.c_str(), &w), 0u);
    EXPECT_EQ(Text(w), loaded);
    Focus(task, w);
    edit_GotoLinePos(w, 1, 4);
    Press('Z');
    EXPECT_EQ(Text(w), L"ab z" + field + L" ef");
    int32_t line, col;
    edit_GetPos_1(w, &line, &col);
    EXPECT_EQ(col, 5);
    Press(VK_RIGHT);  // into the field's text
    for (WORD vk : {WORD('Q'), WORD(VK_DELETE), WORD(VK_BACK), WORD(VK_RETURN)}) Press(vk);
    Chord(VK_CONTROL, 'E');
    EXPECT_EQ(Text(w), L"ab z" + field + L" ef");
    Press(VK_RIGHT);  // behind the field
    Press(VK_BACK);   // a longer field is not cut
    Press(VK_RETURN);
    EXPECT_EQ(Text(w), L"ab z" + field + L"\n ef");
    EXPECT_EQ(K::RunTrapped([&] { edit_PasteStr_0(w, 1, L"x\x0F"); }), 6901u);
    EXPECT_EQ(K::RunTrapped([&] { edit_PasteStr_1(w, L"\x0B" L"open"); }), 6901u);
    EXPECT_EQ(Text(w), L"ab z" + field + L"\n ef");
    // From the clipboard a field comes whole, malformed markup not at all.
    edit_GotoLinePos(w, 1, 1);
    ASSERT_EQ(K::RunTrapped([&] { cb_PutString(L"x\x0E" L"y"); }), 0u);
    edit_Paste(w);
    EXPECT_EQ(Text(w), L"ab z" + field + L"\n ef");
    ASSERT_EQ(K::RunTrapped([&] { cb_PutString((L"<" + field + L">").c_str()); }), 0u);
    edit_Paste(w);
    EXPECT_EQ(Text(w), L"<" + field + L">ab z" + field + L"\n ef");
    for (int i = 0; i < 100 && K::RunTrapped([&] { edit_Undo(w); }) == 0;) ++i;
    EXPECT_EQ(Text(w), loaded);
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

namespace {

TEST(EditorWindow, SubclassedWindowBecomesAnEditor) {
  Fixture f;
  RunInTask([&](HWND task) {
    f.task = task;
    rect_struct r{0, 0, 300, 200};
    Closure none([](HWND, event_struct*) -> LONG_PTR { Fail(); });
    LONG_PTR w = win_Create(wt_child, &r, L"", f.t.NoMenu(), reinterpret_cast<LONG_PTR>(task), f.t.Flags({}),
                            &none, 0);
    PROLOG_EHANDLER_STRUCT user{nullptr, nullptr};
    ASSERT_EQ(K::RunTrapped([&] { edit_CreateSubClass(w, L"x.txt", nullptr, 0, 0, 0, L"one\ntwo", 5, &user); }), 0u);
    EXPECT_EQ(Text(w), L"one\ntwo");
    EXPECT_EQ(edit_GetPos_0(w), 5u);
    edit_Char(w, '!');
    EXPECT_EQ(Text(w), L"one\n!two");
    // A window type the editor cannot take, and a position beyond the text.
    LONG_PTR button = win_CreateControl(wt_pushbutton, &r, L"b", reinterpret_cast<LONG_PTR>(task), f.t.Flags({}), 7);
    EXPECT_EQ(K::RunTrapped([&] { edit_CreateSubClass(button, L"", nullptr, 0, 0, 0, L"", 1, &user); }), 6001u);
    LONG_PTR other = win_Create(wt_child, &r, L"", f.t.NoMenu(), reinterpret_cast<LONG_PTR>(task), f.t.Flags({}),
                                &none, 0);
    EXPECT_EQ(K::RunTrapped([&] { edit_CreateSubClass(other, L"", nullptr, 0, 0, 0, L"ab", 4, &user); }), 6903u);
    DestroyWindow(reinterpret_cast<HWND>(w));
    DestroyWindow(reinterpret_cast<HWND>(other));
  }, NoMenu());
}

// The pixel of a client point after painting, as 0xRRGGBB.
uint32_t Pixel(HWND w, int x, int y) { return ClientPixels(w).At(x, y); }

// A shown editor in a shown task window, and its row height.
LONG_PTR Shown(Fixture& f, HWND task, const wchar_t* text, int* row) {
  f.task = task;
  return edittest::ShownEditor(f.t, task, text, row);
}

TEST(EditorWindow, SelectionIsFilledToTheRightEdgeOfMiddleLines) {
  Fixture f;
  RunInTask([&](HWND task) {
    int row;
    LONG_PTR w = Shown(f, task, L"abc\ndefgh\nij\nlast", &row);
    HWND h = reinterpret_cast<HWND>(w);
    ASSERT_EQ(edit_SetSelection(w, 2, 12), 1);  // (1,2) .. (3,2)
    win_Update(w);
    RECT rc;
    GetClientRect(h, &rc);
    const uint32_t highlight = Rgb(kwi_GetAttrVal(113)), background = Rgb(kwi_GetAttrVal(121));
    EXPECT_EQ(Pixel(h, rc.right - 3, row + row / 2), highlight);       // middle line, right edge
    EXPECT_EQ(Pixel(h, rc.right - 3, row / 2), highlight);             // first line runs on
    EXPECT_EQ(Pixel(h, rc.right - 3, 2 * row + row / 2), background);  // last selected line ends inside
    EXPECT_EQ(Pixel(h, rc.right - 3, 3 * row + row / 2), background);
    EXPECT_EQ(Pixel(h, 1, row / 2), background);                       // before the selection
  }, NoMenu());
}

TEST(EditorWindow, CopyAndPasteThroughTheClipboard) {
  Fixture f;
  RunInTask([&](HWND task) {
    f.task = task;
    LONG_PTR w = f.Make(L"hello wörld\nsecond", 1);
    ASSERT_EQ(edit_SetSelection(w, 7, 12), 1);
    edit_Copy(w);
    uint8_t* m = K::Memory::MarkGStack();
    EXPECT_STREQ(cb_GetString(), L"wörld");
    K::Memory::ReleaseGStack(m);
    edit_GotoPos(w, 19);  // end of the text
    edit_Paste(w);
    EXPECT_EQ(Text(w), L"hello wörld\nsecondwörld");
    uint32_t from, to;
    edit_GetSelection(w, &from, &to);
    EXPECT_EQ(from + to, 0u);  // the selection is dropped
    ASSERT_EQ(edit_SetSelection(w, 1, 7), 1);
    edit_Cut(w);
    EXPECT_EQ(Text(w), L"wörld\nsecondwörld");
    edit_Undo(w);
    EXPECT_EQ(Text(w), L"hello wörld\nsecondwörld");
    // Read-only: copy works, cut does not.
    edit_SetReadOnly_0(w, 1);
    ASSERT_EQ(edit_SetSelection(w, 1, 3), 1);
    EXPECT_EQ(K::RunTrapped([&] { edit_Copy(w); }), 0u);
    EXPECT_EQ(K::RunTrapped([&] { edit_Cut(w); }), 6910u);
  }, NoMenu());
}

}  // namespace

namespace {

TEST(EditorWindow, StatusLineTakesTheTopStrip) {
  Fixture f;
  RunInTask([&](HWND task) {
    int row;
    LONG_PTR w = Shown(f, task, L"first\nsecond", &row);
    HWND h = reinterpret_cast<HWND>(w);
    EXPECT_EQ(ChildCount(h), 1);  // the status window, not drawn into for type 2
    ASSERT_EQ(edit_SetSelection(w, 1, 7), 1);
    edit_StatusLineShow(w, 1);
    win_Update(w);
    HWND status = GetWindow(h, GW_CHILD);
    UpdateWindow(status);
    RECT rc;
    GetClientRect(h, &rc);
    EXPECT_EQ(Pixel(h, rc.right - 3, 20 + row / 2), Rgb(kwi_GetAttrVal(113)));
    EXPECT_EQ(Pixel(status, 300, 3), Rgb(kwi_GetAttrVal(108)));
    edit_StatusLineShow(w, 0);
    win_Update(w);
    EXPECT_EQ(Pixel(h, rc.right - 3, row / 2), Rgb(kwi_GetAttrVal(113)));
  }, NoMenu());
}

}  // namespace

namespace {

void MouseAt(HWND w, int x, int y, DWORD flags) {
  POINT pt{x, y};
  ClientToScreen(w, &pt);
  SetCursorPos(pt.x, pt.y);
  PumpUntil([] { return false; }, 20);
  if (flags) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    SendInput(1, &in, sizeof in);
  }
  PumpUntil([] { return false; }, 40);
}

// The left button pressed and released at a client point.
void Click(HWND w, int x, int y) {
  MouseAt(w, x, y, MOUSEEVENTF_LEFTDOWN);
  MouseAt(w, x, y, MOUSEEVENTF_LEFTUP);
}

// The left button pressed at (x0, y0), moved to (x1, y1) and released there.
void Drag(HWND w, int x0, int y0, int x1, int y1) {
  MouseAt(w, x0, y0, MOUSEEVENTF_LEFTDOWN);
  MouseAt(w, x1, y1, MOUSEEVENTF_MOVE);
  MouseAt(w, x1, y1, MOUSEEVENTF_LEFTUP);
}

// Whether a pixel of colour 0xRRGGBB lies in the client rectangle
// [x0, x1) x [y0, y1).
bool HasColour(HWND w, int x0, int y0, int x1, int y1, uint32_t rgb) {
  return ClientPixels(w).Has(x0, y0, x1, y1, rgb);
}

TEST(EditorWindow, BookmarkStripShowsMarksAndTheCursorLineArrow) {
  Fixture f;
  RunInTask([&](HWND task) {
    int row;
    LONG_PTR w = Shown(f, task, L"one\ntwo\nthree", &row);
    HWND h = reinterpret_cast<HWND>(w);
    const uint32_t mark = Rgb(0xFF0000), arrow = Rgb(0x00FF00);
    edit_BookmarkSetTypeForLine(w, 2, 1);
    edit_SetCursorToLine(w, 3, 0x00FF00);
    win_Update(w);
    EXPECT_FALSE(HasColour(h, 0, 0, 16, 3 * row, mark));  // strip hidden: no marks
    pnt_struct p{5, row / 2};
    int32_t col, line;
    EXPECT_EQ(edit_GetPointPos(w, &p, &col, &line), 1u);
    edit_BookmarkShow(w);
    win_Update(w);
    EXPECT_TRUE(HasColour(h, 0, row, 16, 2 * row, mark));  // the bookmarked line only
    EXPECT_FALSE(HasColour(h, 0, 0, 16, row, mark));
    EXPECT_FALSE(HasColour(h, 0, 2 * row, 16, 3 * row, mark));
    EXPECT_TRUE(HasColour(h, 0, 2 * row, 16, 3 * row, arrow));
    EXPECT_FALSE(HasColour(h, 0, 0, 16, 2 * row, arrow));
    // The text now starts behind the strip.
    EXPECT_EQ(edit_GetPointPos(w, &p, &col, &line), 1u);
    pnt_struct q{16, row / 2};
    EXPECT_EQ(edit_GetPointPos(w, &q, &col, &line), 1u);
    edit_SetCursorNone(w);
    edit_UpdateLeftMargin(w);
    EXPECT_FALSE(HasColour(h, 0, 2 * row, 16, 3 * row, arrow));
    edit_BookmarkHide(w);
    win_Update(w);
    EXPECT_FALSE(HasColour(h, 0, 0, 16, 3 * row, mark));
  }, NoMenu());
}

TEST(EditorWindow, DraggedSelectionMovesAndControlCopies) {
  Fixture f;
  RunInTask([&](HWND task) {
    int row;
    LONG_PTR w = Shown(f, task, L"hello world\nsecond line", &row);
    HWND h = reinterpret_cast<HWND>(w);
    Focus(task, w);
    pnt_struct end{200, row + row / 2};
    int32_t col, line;
    ASSERT_EQ(edit_GetPointPos(w, &end, &col, &line), 24u);  // end of line 2
    ASSERT_EQ(edit_SetSelection(w, 1, 6), 1);                 // "hello"
    win_Update(w);
    pnt_struct in{0, row / 2};
    for (in.x = 1; in.x < 100; ++in.x)
      if (edit_GetPointPos(w, &in, &col, &line) == 3u) break;
    Drag(h, in.x, in.y, end.x, end.y);
    EXPECT_EQ(Text(w), L" world\nsecond linehello");
    edit_Undo(w);
    EXPECT_EQ(Text(w), L"hello world\nsecond line");
    // Control held at the release copies.  Control goes in by SendInput
    // after the last pointer input, the release is posted (as for shift
    // above).
    ASSERT_EQ(edit_SetSelection(w, 1, 6), 1);
    win_Update(w);
    // Pressed elsewhere than the first drag, which would make a double click.
    for (; in.x < 100; ++in.x)
      if (edit_GetPointPos(w, &in, &col, &line) == 4u) break;
    MouseAt(h, in.x, in.y, MOUSEEVENTF_LEFTDOWN);
    MouseAt(h, end.x, end.y, MOUSEEVENTF_MOVE);
    Key(VK_CONTROL);
    PostMessageW(h, WM_LBUTTONUP, MK_CONTROL, MAKELPARAM(end.x, end.y));
    PumpUntil([] { return false; }, 60);
    Key(VK_CONTROL, true);
    MouseAt(h, end.x, end.y, MOUSEEVENTF_LEFTUP);  // the button's own state; the action is over
    EXPECT_EQ(Text(w), L"hello world\nsecond linehello");
    edit_Undo(w);
    EXPECT_EQ(Text(w), L"hello world\nsecond line");
  }, NoMenu());
}

TEST(EditorWindow, ButtonHeldBelowTheWindowScrollsToTheLastLine) {
  Fixture f;
  RunInTask([&](HWND task) {
    std::wstring text;
    for (int i = 1; i <= 60; ++i) text += L"line " + std::to_wstring(i) + (i < 60 ? L"\n" : L"");
    int row;
    LONG_PTR w = Shown(f, task, text.c_str(), &row);
    HWND h = reinterpret_cast<HWND>(w);
    Focus(task, w);
    RECT rc;
    GetClientRect(h, &rc);
    pnt_struct press{20, row / 2};
    int32_t col, line;
    const uint32_t pressed = edit_GetPointPos(w, &press, &col, &line);
    MouseAt(h, press.x, press.y, MOUSEEVENTF_LEFTDOWN);
    MouseAt(h, 20, rc.bottom + 20, MOUSEEVENTF_MOVE);
    // One move event scrolls one line; the timer goes on while the button
    // is held.
    PumpUntil([] { return false; }, 60 * 40 + 1500);
    MouseAt(h, 20, rc.bottom + 20, MOUSEEVENTF_LEFTUP);
    uint32_t from, to;
    edit_GetSelection(w, &from, &to);
    EXPECT_EQ(from, pressed);
    EXPECT_GT(to, static_cast<uint32_t>(text.size() - 7));  // on the last line
    // The drag cursor is the library's own resource.
    EXPECT_NE(LoadCursorW(GetModuleHandleW(L"qel6edit.dll"), MAKEINTRESOURCEW(101)), nullptr);
  }, NoMenu());
}

TEST(EditorWindow, MouseClickDragAndShiftClick) {
  Fixture f;
  RunInTask([&](HWND task) {
    int row;
    LONG_PTR w = Shown(f, task, L"hello world\nsecond line\nthird", &row);
    HWND h = reinterpret_cast<HWND>(w);
    Focus(task, w);
    pnt_struct p1{40, row / 2}, p2{30, row + row / 2}, p3{20, 2 * row + row / 2};
    int32_t col, line;
    const uint32_t pos1 = edit_GetPointPos(w, &p1, &col, &line);
    const uint32_t pos2 = edit_GetPointPos(w, &p2, &col, &line);
    EXPECT_EQ(line, 2);
    const uint32_t pos3 = edit_GetPointPos(w, &p3, &col, &line);
    EXPECT_GT(pos1, 1u);
    // A click puts the caret at the point and selects nothing.
    Click(h, p1.x, p1.y);
    EXPECT_EQ(edit_GetPos_0(w), pos1);
    uint32_t from, to;
    edit_GetSelection(w, &from, &to);
    EXPECT_EQ(from + to, 0u);
    // A drag selects from the press to the release (pressed elsewhere than
    // the click, which would make a double click).
    pnt_struct p0{60, row / 2};
    const uint32_t pos0 = edit_GetPointPos(w, &p0, &col, &line);
    Drag(h, p0.x, p0.y, p2.x, p2.y);
    edit_GetSelection(w, &from, &to);
    EXPECT_EQ(from, pos0);
    EXPECT_EQ(to, pos2);
    // A shifted click extends it.  Shift goes in by SendInput; the click is
    // posted, since Wine takes the modifier state of a pointer event from
    // the X server, which injected keys do not reach.
    Key(VK_SHIFT);
    PostMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(p3.x, p3.y));
    PostMessageW(h, WM_LBUTTONUP, MK_SHIFT, MAKELPARAM(p3.x, p3.y));
    PumpUntil([] { return false; }, 60);
    Key(VK_SHIFT, true);
    edit_GetSelection(w, &from, &to);
    EXPECT_EQ(from, pos0);
    EXPECT_EQ(to, pos3);
    EXPECT_EQ(edit_GetPos_0(w), pos3);
    // A double click selects the word under the point.
    pnt_struct word{12, 2 * row + row / 2};  // in "third"
    Click(h, word.x, word.y);
    Click(h, word.x, word.y);
    edit_GetSelection(w, &from, &to);
    EXPECT_EQ(from, 25u);  // "third" whole
    EXPECT_EQ(to, 30u);
    // Points above the text; the first non-blank of a line.
    pnt_struct above{5, -3};
    EXPECT_EQ(K::RunTrapped([&] { edit_GetPointPos(w, &above, &col, &line); }), 6903u);
    edit_PasteStr_1(w, L"x\n  \tindented");
    EXPECT_EQ(edit_GetLineOffset(w, 2), 6u);
    EXPECT_EQ(edit_GetLineOffset(w, 99), 6u);
  }, NoMenu());
}

}  // namespace

namespace {

// Presses one key in the first visible pop-up menu from another thread;
// Escape closes whatever is still open after that.
std::thread AnswerPopup(WORD key, std::atomic<bool>* done) {
  return std::thread([key, done] {
    HWND menu = nullptr;
    for (int i = 0; i < 300 && !menu && !*done; ++i) {
      HWND m = FindWindowW(L"#32768", nullptr);
      if (m && IsWindowVisible(m)) menu = m;
      else Sleep(10);
    }
    INPUT in[2]{};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = key;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, in, sizeof in[0]);
    for (int i = 0; i < 100 && !*done; ++i) Sleep(20);
    while (!*done) {
      if (HWND m = FindWindowW(L"#32768", nullptr)) PostMessageW(m, WM_KEYDOWN, VK_ESCAPE, 0);
      Sleep(50);
    }
  });
}

TEST(EditorWindow, RightButtonMenuDeletesTheSelection) {
  Fixture f;
  RunInTask([&](HWND task) {
    int row;
    LONG_PTR w = Shown(f, task, L"keep this, drop that", &row);
    HWND h = reinterpret_cast<HWND>(w);
    Focus(task, w);
    ASSERT_EQ(edit_SetSelection(w, 11, 21), 1);
    std::atomic<bool> done{false};
    std::thread answer = AnswerPopup('E', &done);  // D&elete
    PostMessageW(h, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(20, row / 2));
    PostMessageW(h, WM_RBUTTONUP, 0, MAKELPARAM(20, row / 2));
    PumpUntil([&] { return Text(w) != L"keep this, drop that"; }, 3000);
    done = true;
    answer.join();
    PumpUntil([] { return false; }, 50);
    EXPECT_EQ(Text(w), L"keep this,");
  }, NoMenu());
}

TEST(EditorWindow, CaretPointAndRowHeights) {
  Fixture f;
  RunInTask([&](HWND task) {
    int row;
    LONG_PTR w = Shown(f, task, L"abc\ndef", &row);
    EXPECT_EQ(edit_GetLineHeight(w), row);
    edit_GotoPos(w, 7);  // line 2, column 3
    uint8_t* m = K::Memory::MarkGStack();
    pnt_struct* p = edit_GetCaretPoint(w);
    int wide = 0, high = 0;
    win_GetTextExtent(w, L"de", 2, &wide, &high);
    EXPECT_EQ(p->x, 4 + wide);
    EXPECT_EQ(p->y, 2 * row);
    K::Memory::ReleaseGStack(m);
    RECT rc;
    GetClientRect(reinterpret_cast<HWND>(w), &rc);
    const int last = edit_GetLastLineHeight(w);
    EXPECT_GE(last, 0);
    EXPECT_LT(last, row);
    EXPECT_EQ((rc.bottom - last) % row, 0);
  }, NoMenu());
}

// A wrapping editor: long lines take several rows; a resize lays the text
// out again and keeps the text, the modified flag and the caret's position;
// edit_SetWrap turns wrapping off and on; a plain editor refuses it.
TEST(EditorWindow, WrappingEditorKeepsItsStateWhenResized) {
  Fixture f;
  RunInTask([&](HWND task) {
    f.task = task;
    std::wstring text;
    for (int i = 0; i < 40; ++i) text += L"word" + std::to_wstring(i) + L" ";
    text += L"\nshort";
    rect_struct r{10, 10, 400, 300};
    PROLOG_EHANDLER_STRUCT none{nullptr, nullptr};
    LONG_PTR w = 0;
    ASSERT_EQ(K::RunTrapped([&] {
      w = edit_CreateWrap(wt_child, &r, L"notes.txt", f.t.NoMenu(), reinterpret_cast<LONG_PTR>(task),
                          f.t.Flags({}), nullptr, 0, 0, 1, text.c_str(), 1, &none);
    }), 0u);
    const int32_t wideRows = edit_GetNumberOfLines(w);
    EXPECT_GT(wideRows, 2);
    EXPECT_EQ(Text(w), text);
    ASSERT_EQ(K::RunTrapped([&] { edit_GotoPos(w, 120); }), 0u);
    edit_Char(w, L'Q');  // the caret now stands at 121
    ASSERT_EQ(edit_IsModified(w), 1);
    const std::wstring typed = Text(w);

    rect_struct narrow{10, 10, 200, 300};
    win_Move(w, &narrow);
    PumpUntil([] { return false; }, 50);
    EXPECT_GT(edit_GetNumberOfLines(w), wideRows);
    EXPECT_EQ(Text(w), typed);
    EXPECT_EQ(edit_IsModified(w), 1);
    EXPECT_EQ(edit_GetPos_0(w), 121u);

    // A client area with no room for a row changes nothing.
    const int32_t narrowRows = edit_GetNumberOfLines(w);
    rect_struct flat{10, 10, 120, 10};
    win_Move(w, &flat);
    PumpUntil([] { return false; }, 50);
    EXPECT_EQ(edit_GetNumberOfLines(w), narrowRows);
    EXPECT_EQ(edit_GetPos_0(w), 121u);
    win_Move(w, &narrow);
    PumpUntil([] { return false; }, 50);

    edit_SetWrap(w, 0);
    EXPECT_EQ(edit_GetNumberOfLines(w), 2);
    EXPECT_EQ(edit_GetPos_0(w), 121u);
    edit_SetWrap(w, 1);
    EXPECT_GT(edit_GetNumberOfLines(w), wideRows);
    EXPECT_EQ(Text(w), typed);
    EXPECT_EQ(edit_IsModified(w), 1);

    LONG_PTR plain = f.Make(L"abc", 1);
    bool ok = true;
    ASSERT_EQ(K::RunTrapped([&] { ok = K::Succeeds([&] { edit_SetWrap(plain, 1); }); }), 0u);
    EXPECT_FALSE(ok);
  }, NoMenu());
}

}  // namespace

namespace {

// A shown wrapping editor of `text`, 390 pixels wide.
LONG_PTR ShownWrapped(Fixture& f, HWND task, const wchar_t* text, int* row) {
  f.task = task;
  ShowWindow(task, SW_SHOW);
  rect_struct r{10, 10, 400, 300};
  PROLOG_EHANDLER_STRUCT none{nullptr, nullptr};
  LONG_PTR w = 0;
  EXPECT_EQ(K::RunTrapped([&] {
    w = edit_CreateWrap(wt_child, &r, L"notes.txt", f.t.NoMenu(), reinterpret_cast<LONG_PTR>(task),
                        f.t.Flags({}), nullptr, 0, 0, 1, text, 1, &none);
  }), 0u);
  ShowWindow(reinterpret_cast<HWND>(w), SW_SHOW);
  int leading, ascent, descent;
  win_GetFontMetrics(w, &leading, &ascent, &descent);
  *row = ascent + descent + 1;
  return w;
}

std::wstring Words(int n) {
  std::wstring t;
  for (int i = 0; i < n; ++i) t += L"word" + std::to_wstring(i) + L" ";
  return t;
}

// Movement keys in a wrapping editor go by display rows: home and end to
// the row's edges (the end of a soft row is the next row's start), up and
// down between rows, left and right across a soft break, shifted end
// selecting to the row's end, page down and control+end.
TEST(EditorWindow, MovementKeysGoByRowsWhenWrapping) {
  Fixture f;
  RunInTask([&](HWND task) {
    int row;
    const std::wstring text = Words(400) + L"\nshort";
    LONG_PTR w = ShownWrapped(f, task, text.c_str(), &row);
    Focus(task, w);
    const int32_t rows = edit_GetNumberOfLines(w);
    ASSERT_GT(rows, 6);
    auto start = [&](int32_t r) { return edit_CoordToPos(w, r, 1); };
    auto at = [&](int32_t* line, int32_t* col) {
      edit_GetPos_1(w, line, col);
      return edit_GetPos_0(w);
    };
    int32_t line, col;
    ASSERT_EQ(edit_GotoPos(w, start(2) + 2), 1);
    Press(VK_END);
    EXPECT_EQ(at(&line, &col), start(3));  // the soft break
    EXPECT_EQ(line, 2);
    EXPECT_EQ(col, static_cast<int32_t>(start(3) - start(2)) + 1);
    Press(VK_RIGHT);  // over the break: same place, next row
    EXPECT_EQ(at(&line, &col), start(3));
    EXPECT_EQ(line, 3);
    Press(VK_LEFT);  // back to the end of the row before
    EXPECT_EQ(at(&line, &col), start(3));
    EXPECT_EQ(line, 2);
    Press(VK_HOME);
    EXPECT_EQ(at(&line, &col), start(2));
    Press(VK_DOWN);
    EXPECT_EQ(at(&line, &col), start(3));
    Press(VK_UP);
    Press(VK_UP);
    EXPECT_EQ(at(&line, &col), start(1));
    Press(VK_UP);  // nothing above the first row
    EXPECT_EQ(at(&line, &col), 1u);
    Press(VK_DOWN);
    Key(VK_SHIFT);
    Press(VK_END);
    Key(VK_SHIFT, true);
    uint32_t from, to;
    edit_GetSelection(w, &from, &to);
    EXPECT_EQ(from, start(2));
    EXPECT_EQ(to, start(3));
    Press(VK_NEXT);
    at(&line, &col);
    EXPECT_GT(line, 2);
    Chord(VK_CONTROL, VK_END);
    EXPECT_EQ(at(&line, &col), static_cast<uint32_t>(text.size()) + 1);
    EXPECT_EQ(line, rows);
    Chord(VK_CONTROL, VK_HOME);
    EXPECT_EQ(at(&line, &col), 1u);
  }, NoMenu());
}

// Appending to a wrapping editor breaks the appended lines into rows that
// fit the window; earlier undo entries stay.
TEST(EditorWindow, AppendingToAWrappingEditorBreaksItsRows) {
  Fixture f;
  RunInTask([&](HWND task) {
    int row;
    LONG_PTR w = ShownWrapped(f, task, L"start", &row);
    edit_Char(w, '!');
    const std::wstring words = Words(80);
    edit_AppendStr_0(w, (L"\n" + words).c_str());
    EXPECT_EQ(Text(w), L"!start\n" + words);
    const int32_t rows = edit_GetNumberOfLines(w);
    EXPECT_GT(rows, 4);
    RECT rc;
    GetClientRect(reinterpret_cast<HWND>(w), &rc);
    uint8_t* m = K::Memory::MarkGStack();
    for (int32_t r = 2; r < rows; ++r) {
      std::wstring piece = edit_GetText_1(w, edit_CoordToPos(w, r, 1), edit_CoordToPos(w, r + 1, 1));
      while (!piece.empty() && piece.back() == L' ') piece.pop_back();
      int wide = 0, high = 0;
      win_GetTextExtent(w, piece.c_str(), static_cast<int>(piece.size()), &wide, &high);
      EXPECT_LT(wide, rc.right) << r;
    }
    K::Memory::ReleaseGStack(m);
    edit_Undo(w);
    EXPECT_EQ(Text(w), L"start\n" + words);
  }, NoMenu());
}

// A button held right of a plain editor scrolls a page right every tick
// while the line goes on, the selection following the right edge; held
// left of it, back to the start of the line.
TEST(EditorWindow, ButtonHeldBesideTheWindowScrollsSideways) {
  Fixture f;
  RunInTask([&](HWND task) {
    int row;
    const std::wstring line = Words(80);
    LONG_PTR w = Shown(f, task, (line + L"\nsecond").c_str(), &row);
    HWND h = reinterpret_cast<HWND>(w);
    Focus(task, w);
    RECT rc;
    GetClientRect(h, &rc);
    pnt_struct press{40, row / 2}, edge{rc.right - 2, row / 2};
    int32_t col, ln;
    const uint32_t pressed = edit_GetPointPos(w, &press, &col, &ln);
    const uint32_t visibleEnd = edit_GetPointPos(w, &edge, &col, &ln);
    MouseAt(h, press.x, press.y, MOUSEEVENTF_LEFTDOWN);
    MouseAt(h, rc.right + 20, row / 2, MOUSEEVENTF_MOVE);
    PumpUntil([] { return false; }, 400);
    uint32_t from, to;
    edit_GetSelection(w, &from, &to);
    EXPECT_EQ(from, pressed);
    EXPECT_GT(to, visibleEnd + 8);
    MouseAt(h, -5, row / 2, MOUSEEVENTF_MOVE);
    PumpUntil([] { return false; }, 1500);
    MouseAt(h, -5, row / 2, MOUSEEVENTF_LEFTUP);
    edit_GetSelection(w, &from, &to);
    EXPECT_EQ(from, 1u);
    EXPECT_EQ(to, pressed);
  }, NoMenu());
}

// Dragging a word of a wrapping editor onto a later row moves it there:
// the drop's text position less the word's length once the word is out;
// undo and redo.
TEST(EditorWindow, DragInAWrappingEditorMovesByTextPosition) {
  Fixture f;
  RunInTask([&](HWND task) {
    int row;
    const std::wstring text = Words(40) + L"\nend";
    LONG_PTR w = ShownWrapped(f, task, text.c_str(), &row);
    HWND h = reinterpret_cast<HWND>(w);
    Focus(task, w);
    ASSERT_GT(edit_GetNumberOfLines(w), 3);
    ASSERT_EQ(edit_SetSelection(w, 1, 6), 1);  // "word0"
    win_Update(w);
    int32_t col, line;
    pnt_struct in{0, row / 2};
    for (in.x = 1; in.x < 100; ++in.x)
      if (edit_GetPointPos(w, &in, &col, &line) == 3u) break;
    pnt_struct drop{20, 2 * row + row / 2};
    const uint32_t dropPos = edit_GetPointPos(w, &drop, &col, &line);
    ASSERT_EQ(line, 3);
    Drag(h, in.x, in.y, drop.x, drop.y);
    std::wstring moved = text.substr(5);
    moved.insert(dropPos - 1 - 5, L"word0");
    EXPECT_EQ(Text(w), moved);
    edit_Undo(w);
    EXPECT_EQ(Text(w), text);
    edit_Redo(w);
    EXPECT_EQ(Text(w), moved);
  }, NoMenu());
}

}  // namespace
