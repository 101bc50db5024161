// The number prompts answered from a helper thread, in a program of their
// own (the toolkit's task).
#include <windows.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "KWI/orvtoolkwi/getdata.h"
#include "answer.h"
#include "dialog_recorder.h"
#include "rz_test.h"
#include "toolkit_test.h"

namespace rztest {
namespace {

// The whole-number prompt: the default shown, blanks after the number
// accepted, a text that is not a number noted and asked again, Cancel.
// Answers each new "Loading" box with the next text (null: Cancel) from a
// thread of its own, recording the text each box showed; a box is acted on
// once.
class Prompter {
 public:
  Prompter(std::vector<const wchar_t*> texts, std::vector<std::wstring>* shown) : texts_(std::move(texts)) {
    t_ = std::thread([this, shown] {
      size_t next = 0;
      for (int i = 0; i < 1500 && next < texts_.size(); ++i, Sleep(10)) {
        // A handled box is marked on the window: a new box may reuse its handle.
        HWND d = testbox::FindBox(L"Loading");
        if (!d || GetPropW(d, L"answered")) continue;
        Sleep(50);
        SetPropW(d, L"answered", reinterpret_cast<HANDLE>(1));
        shown->push_back(testbox::WindowText(GetDlgItem(d, 10001)));
        const wchar_t* text = texts_[next++];
        if (text) SetWindowTextW(GetDlgItem(d, 10001), text);
        testbox::Press(d, text ? IDOK : IDCANCEL);
      }
      // Given up: cancel what is left, so that the test fails instead of hanging.
      if (next < texts_.size())
        for (HWND d : testbox::VisibleBoxes()) testbox::Press(d, IDCANCEL);
    });
  }
  ~Prompter() { t_.join(); }

 private:
  std::vector<const wchar_t*> texts_;
  std::thread t_;
};

// The whole-number prompt: the default shown, blanks after the number
// accepted, a text that is not a number noted and asked again, Cancel.
TEST(NumberPrompts, GetInt) {
  DialogRecorder notes;
  std::vector<std::wstring> shown;
  int32_t first = 0, second = 0, third = 0;
  bool answered = false, cancelled = false;
  tktest::RunInTask([&](LONG_PTR) {
    {
      Prompter p({L"12 x", L"7"}, &shown);
      ASSERT_EQ(RunTrapped([&] { answered = getdata::get_int(L"Loading", L"Enter parts value (whole number)", 10, &first); }), 0u);
    }
    {
      Prompter p({L"12 "}, &shown);
      ASSERT_EQ(RunTrapped([&] { getdata::get_int(L"Loading", L"parts", 10, &second); }), 0u);
    }
    {
      Prompter p({nullptr}, &shown);
      ASSERT_EQ(RunTrapped([&] { cancelled = !getdata::get_int(L"Loading", L"parts", 10, &third); }), 0u);
    }
  });
  EXPECT_TRUE(answered);
  EXPECT_EQ(first, 7);
  EXPECT_EQ(second, 12);
  EXPECT_TRUE(cancelled);
  EXPECT_EQ(shown, (std::vector<std::wstring>{L"10", L"12 x", L"10", L"10"}));
  ASSERT_EQ(notes.shown().size(), 1u);
  EXPECT_EQ(notes.shown()[0].text, L"\"12 x\" is not a whole number");
}

}  // namespace
}  // namespace rztest
