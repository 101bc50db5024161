// Common dialogs on real windows, answered by a helper thread: the prompt,
// the question with 0 to 3 buttons, the list selection, message boxes, the
// file, font and colour choosers, and the owner rule.
#include "kwi/kwicommondialogs.h"
#include "toolkit_test.h"

using namespace tktest;
using namespace tav;
using namespace QEL_KWI;
namespace kd = tav::kwidomains;

namespace {

using Dialogs = Library;
using Act = std::function<void(HWND)>;

void CloseBox(HWND d) { testbox::CloseBox(d); }

TEST_F(Dialogs, GetStringAnswersOnOkOnly) {
  struct Case {
    const char* name;
    Act act;
    const wchar_t* expected;  // null: fails
  };
  const Case cases[] = {
      {"ok", [](HWND d) { SetDlgItemTextW(d, 10001, L"typed"); Click(d, 1); }, L"typed"},
      {"ok keeps the initial text", [](HWND d) { Click(d, 1); }, L"start"},
      {"cancel", [](HWND d) { SetDlgItemTextW(d, 10001, L"typed"); Click(d, 2); }, nullptr},
      {"close box", [](HWND d) { CloseBox(d); }, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const wchar_t* answer = L"(not run)";
    std::vector<testbox::Seen> seen;
    RunInTask([&](LONG_PTR) {
      Script s({{L"Enter", c.act}});
      answer = kwiCommonDialogs::getstring(L"Enter", L"Your name:", L"start");
      s.Finish();
      seen = s.Boxes();
    });
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, L"Your name:");
    if (c.expected) {
      ASSERT_TRUE(answer);
      EXPECT_STREQ(answer, c.expected);
    } else {
      EXPECT_EQ(answer, nullptr);
    }
  }
}

// Every button of 0 to 3 buttons and the close box; a close answers the last
// button's position, whatever an earlier dialog answered.
TEST_F(Dialogs, AskAnswersThePressedButtonsPosition) {
  const wchar_t* texts[] = {L"One", L"Two", L"Three"};
  RunInTask([&](LONG_PTR) {
    for (int n = 0; n <= 3; ++n) {
      std::vector<int> ids;
      if (n >= 1) ids.push_back(1);
      if (n == 3) ids.push_back(10001);
      if (n >= 2) ids.push_back(2);
      slist_struct* buttons = n == 0   ? kd::Strings({})
                              : n == 1 ? kd::Strings({texts[0]})
                              : n == 2 ? kd::Strings({texts[0], texts[1]})
                                       : kd::Strings({texts[0], texts[1], texts[2]});
      // Each button, then the close box.
      for (size_t p = 0; p <= ids.size(); ++p) {
        const bool close = p == ids.size();
        SCOPED_TRACE(testing::Message() << n << " buttons, " << (close ? "close box" : "button ") << p);
        const int32_t closeAnswer = n == 0 ? 0 : n - 1;
        if (close) {
          // An earlier dialog answers something else than the close will.
          const int earlier = closeAnswer == 1 ? 1 : 10001;
          Script first({{L"Q", [&](HWND d) { Click(d, earlier); }}});
          int32_t a = -1;
          ASSERT_TRUE(kwiCommonDialogs::ask(L"Q", L"Which?", kd::Strings({L"x", L"y", L"z"}), &a));
          EXPECT_EQ(a, earlier == 1 ? 0 : 1);
        }
        std::vector<std::wstring> shown;
        Script s({{L"Q", [&](HWND d) {
                     for (int id : {1, 10001, 2})
                       if (HWND b = GetDlgItem(d, id)) shown.push_back(Text(b));
                     if (close)
                       CloseBox(d);
                     else
                       Click(d, ids[p]);
                   }}});
        int32_t answer = -1;
        ASSERT_TRUE(kwiCommonDialogs::ask(L"Q", L"Which?", buttons, &answer));
        s.Finish();
        ASSERT_EQ(s.Boxes().size(), 1u);
        EXPECT_EQ(s.Boxes()[0].text, L"Which?");
        EXPECT_EQ(shown.size(), static_cast<size_t>(n));
        if (n >= 1) {
          EXPECT_EQ(shown.front(), L"One");
        }
        if (n >= 2) {
          EXPECT_EQ(shown.back(), texts[n - 1]);
        }
        EXPECT_EQ(answer, close ? closeAnswer : static_cast<int32_t>(p));
      }
    }
  });
}

TEST_F(Dialogs, AskWithFourButtonsFailsAndShowsNothing) {
  bool asked = true;
  size_t boxes = 1;
  RunInTask([&](LONG_PTR) {
    Script s({{nullptr, [](HWND d) { CloseBox(d); }}}, 50, 500);
    int32_t a = 0;
    asked = kwiCommonDialogs::ask(L"Q", L"Which?", kd::Strings({L"a", L"b", L"c", L"d"}), &a);
    s.Finish();
    boxes = s.Boxes().size();
  });
  EXPECT_FALSE(asked);
  EXPECT_EQ(boxes, 0u);
}

HWND Combo(HWND d) { return GetDlgItem(d, 10001); }

// Selects item `index` of the dialog's list and double-clicks it.
void DoubleClick(HWND d, int index) {
  SendMessageW(Combo(d), CB_SETCURSEL, index, 0);
  PostMessageW(d, WM_COMMAND, MAKEWPARAM(10001, CBN_DBLCLK), reinterpret_cast<LPARAM>(Combo(d)));
}

TEST_F(Dialogs, ListSelectTakesTheChosenItemSortedOrNot) {
  struct Case {
    const char* name;
    int32_t sorted;
    int32_t preselection;
    Act act;
    int32_t status, index;
    const wchar_t* text;
  };
  const Case cases[] = {
      {"double click, unsorted", 0, 2, [](HWND d) { DoubleClick(d, 0); }, 1, 0, L"pear"},
      {"double click, sorted", 1, 2, [](HWND d) { DoubleClick(d, 0); }, 1, 0, L"apple"},
      {"ok takes the preselection", 0, 2, [](HWND d) { Click(d, 1); }, 1, 2, L"fig"},
      {"cancel", 0, 1, [](HWND d) { Click(d, 2); }, 0, -1, L""},
      {"close box", 0, 1, [](HWND d) { CloseBox(d); }, 0, -1, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int32_t status = -2, index = -2;
    std::wstring text = L"(not run)";
    RunInTask([&](LONG_PTR task) {
      Script s({{L"Pick", c.act}});
      const wchar_t* t = nullptr;
      status = kwiCommonDialogs::listselect(task, L"Pick", kd::Strings({L"pear", L"apple", L"fig"}),
                                            c.preselection, &index, &t, c.sorted);
      text = t ? t : L"(null)";
    });
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(index, c.index);
    EXPECT_EQ(text, c.text);
  }
}

// With nothing selected (an empty list, or a preselection past the end) OK
// keeps the dialog open.
TEST_F(Dialogs, ListSelectOkWithoutSelectionKeepsItOpen) {
  for (bool emptyList : {true, false}) {
    SCOPED_TRACE(emptyList ? "empty list" : "preselection past the end");
    bool openAfterOk = false;
    int selected = 0;
    int32_t status = -2, index = -2;
    RunInTask([&](LONG_PTR) {
      Script s({{L"Pick", [&](HWND d) {
                   selected = static_cast<int>(SendMessageW(Combo(d), CB_GETCURSEL, 0, 0));
                   Click(d, 1);
                   Sleep(300);
                   openAfterOk = IsWindow(d) && IsWindowVisible(d);
                   Click(d, 2);
                 }}});
      const wchar_t* t = nullptr;
      status = kwiCommonDialogs::listselect(L"Pick", emptyList ? kd::Strings({}) : kd::Strings({L"a", L"b"}),
                                            emptyList ? 0 : 5, &index, &t);
    });
    EXPECT_EQ(selected, CB_ERR);
    EXPECT_TRUE(openAfterOk);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(index, -1);
  }
}

TEST_F(Dialogs, ListSelectLayoutFollowsTheSizeDownTo200Pixels) {
  RECT okBefore{}, okSmall{}, okLarge{}, listLarge{};
  int largeWidth = 0, largeHeight = 0;
  RunInTask([&](LONG_PTR) {
    auto placeOf = [](HWND d, int id) {
      RECT r;
      GetWindowRect(GetDlgItem(d, id), &r);
      MapWindowPoints(nullptr, d, reinterpret_cast<POINT*>(&r), 2);
      return r;
    };
    auto resizeClient = [](HWND d, int w, int h) {
      RECT r{0, 0, w, h};
      AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrW(d, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(GetWindowLongPtrW(d, GWL_EXSTYLE)));
      SendMessageW(d, WM_NULL, 0, 0);
      SetWindowPos(d, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
    };
    Script s({{L"Pick", [&](HWND d) {
                 okBefore = placeOf(d, 1);
                 resizeClient(d, 150, 150);
                 Sleep(200);
                 okSmall = placeOf(d, 1);
                 resizeClient(d, 400, 300);
                 Sleep(200);
                 RECT c;
                 GetClientRect(d, &c);
                 largeWidth = c.right;
                 largeHeight = c.bottom;
                 okLarge = placeOf(d, 1);
                 listLarge = placeOf(d, 10001);
                 Click(d, 2);
               }}});
    int32_t index = 0;
    const wchar_t* t = nullptr;
    kwiCommonDialogs::listselect(L"Pick", kd::Strings({L"a"}), 0, &index, &t);
  });
  EXPECT_EQ(okSmall.left, okBefore.left);
  EXPECT_EQ(okSmall.top, okBefore.top);
  EXPECT_EQ(okSmall.right, okBefore.right);
  ASSERT_EQ(largeWidth, 400);
  EXPECT_EQ(okLarge.left, 400 / 4 - 40);
  EXPECT_EQ(okLarge.top, largeHeight - 30);
  EXPECT_EQ(okLarge.right, 400 / 4 + 40);
  EXPECT_EQ(listLarge.left, 5);
  EXPECT_EQ(listLarge.right, 395);
}

TEST_F(Dialogs, MessageBoxesShowTheirTitles) {
  std::vector<testbox::Seen> seen;
  int32_t yes = 0;
  RunInTask([&](LONG_PTR) {
    Script s({{L"Question", [](HWND d) { Press(d, IDYES); }},
              {L"Note", [](HWND d) { Press(d, IDOK); }},
              {L"Error", [](HWND d) { Press(d, IDOK); }}});
    yes = kwiCommonDialogs::askbox(L"", L"Go on?", 3, 0);
    kwiCommonDialogs::note(L"Noted.");
    kwiCommonDialogs::error(L"Broken.");
    s.Finish();
    seen = s.Boxes();
  });
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].text, L"Go on?");
  EXPECT_EQ(seen[1].text, L"Noted.");
  EXPECT_EQ(seen[2].text, L"Broken.");
  EXPECT_NE(yes, 0);
}

TEST_F(Dialogs, ChoosersAnswerAChoiceAndFailOnCancel) {
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  std::wstring file, fileCancelled = L"(not run)";
  bool fontChosen = false, fontCancelled = false, colourChosen = false, colourCancelled = false;
  LONG_PTR colour = -1;
  RunInTask([&](LONG_PTR) {
    slist_struct* filters = kd::Strings({L"Text", L"*.txt"});
    {
      Script s({{L"Pick", [](HWND d) {
                   SetDlgItemTextW(d, 0x47C, L"chosen.txt");
                   Press(d, IDOK);
                 }}});
      slist_struct* names = nullptr;
      const wchar_t* f = kwiCommonDialogs::getfilename(L"", filters, L"Pick", kd::Ints({}), dir, &names);
      file = f ? f : L"(null)";
    }
    {
      Script s({{L"Pick", [](HWND d) { Press(d, IDCANCEL); }}});
      slist_struct* names = nullptr;
      const wchar_t* f = kwiCommonDialogs::getfilename(L"", filters, L"Pick", kd::Ints({}), dir, &names);
      fileCancelled = f ? f : L"(null)";
    }
    uint8_t* font = font_Create(4, kd::Ints({}), 10);
    {
      Script s({{L"Font", [](HWND d) { Press(d, IDOK); }}});
      fontChosen = kwiCommonDialogs::getfont(font) != nullptr;
    }
    {
      Script s({{L"Font", [](HWND d) { Press(d, IDCANCEL); }}});
      fontCancelled = kwiCommonDialogs::getfont(font) == nullptr;
    }
    {
      Script s({{L"Color", [](HWND d) { Press(d, IDOK); }}});
      colourChosen = kwiCommonDialogs::getcolor(0x123456, &colour);
    }
    {
      Script s({{L"Color", [](HWND d) { Press(d, IDCANCEL); }}});
      LONG_PTR ignored = 0;
      colourCancelled = !kwiCommonDialogs::getcolor(0x123456, &ignored);
    }
  });
  EXPECT_NE(file.find(L"chosen.txt"), std::wstring::npos) << Narrow(file);
  EXPECT_EQ(fileCancelled, L"(null)");
  EXPECT_TRUE(fontChosen);
  EXPECT_TRUE(fontCancelled);
  EXPECT_TRUE(colourChosen);
  EXPECT_EQ(colour, 0x123456);
  EXPECT_TRUE(colourCancelled);
}

// A dialog opened while a modal dialog has the focus belongs to that dialog;
// with nothing focused, to the task window.
TEST_F(Dialogs, OwnerIsTheFocusedDialogElseTheTaskWindow) {
  HWND outer = nullptr, ownerInside = nullptr, ownerUnfocused = nullptr;
  LONG_PTR task = 0, parentUnfocused = 0;
  RunInTask([&](LONG_PTR t) {
    task = t;
    Closure outerHandler([&](HWND d, event_struct* e) -> LONG_PTR {
      if (e->kind == e_create) {
        outer = d;
        PostMessageW(d, 0xC00F, 77, 0);
        return 0;
      }
      if (e->kind == e_user && e->w[0] == 77) {
        SetFocus(GetDlgItem(d, 1));
        Script s({{L"Inner", [&](HWND box) {
                     ownerInside = GetWindow(box, GW_OWNER);
                     Click(box, 1);
                   }}});
        int32_t a = 0;
        kwiCommonDialogs::ask(L"Inner", L"Inside?", kd::Strings({L"Yes"}), &a);
        s.Finish();
        win_Destroy(reinterpret_cast<LONG_PTR>(d));
        return 0;
      }
      Fail();
    });
    win_CreateDynDialog(
        t,
        kd::Windefs({kd::DlgFont(wt_modal, kd::Rect(10, 10, 150, 80), L"Outer", 2, L"Arial", 8, kd::Ints({4, 9})),
                     kd::Ctl(wt_pushbutton, kd::Rect(5, 5, 50, 17), L"Button", 1, kd::Ints({25, 26}))}),
        &outerHandler, 0);
    SetFocus(nullptr);
    parentUnfocused = kwiCommonDialogs::getparentwindow();
    Script s({{L"Alone", [&](HWND box) {
                 ownerUnfocused = GetWindow(box, GW_OWNER);
                 Click(box, 1);
               }}});
    int32_t a = 0;
    kwiCommonDialogs::ask(L"Alone", L"Outside?", kd::Strings({L"Yes"}), &a);
  });
  ASSERT_TRUE(outer);
  EXPECT_EQ(ownerInside, outer);
  EXPECT_EQ(parentUnfocused, task);
  EXPECT_EQ(ownerUnfocused, reinterpret_cast<HWND>(task));
}

}  // namespace
