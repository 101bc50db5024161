// The number prompts answered from a helper thread, in a program of their
// own (the toolkit's task).
#include <windows.h>

#include <atomic>
#include <mutex>
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

// Answers each new "Loading" box with the next text (null: Cancel), clicking
// the button as a real click does, and records the text each box showed in
// its field.  A box past the texts is cancelled and recorded as "(extra)",
// so that a prompt asked once too often fails the test instead of hanging.
class Prompter {
 public:
  explicit Prompter(std::vector<const wchar_t*> texts) : texts_(std::move(texts)) {
    t_ = std::thread([this] {
      size_t next = 0;
      while (!stop_) {
        Sleep(10);
        // A handled box is marked on the window: a new box may reuse its handle.
        HWND d = testbox::FindBox(L"Loading");
        if (!d || GetPropW(d, L"answered")) continue;
        Sleep(50);
        SetPropW(d, L"answered", reinterpret_cast<HANDLE>(1));
        const wchar_t* text = next < texts_.size() ? texts_[next] : nullptr;
        {
          std::lock_guard<std::mutex> g(m_);
          shown_.push_back(next < texts_.size() ? tktest::CtlText(d, 10001) : L"(extra)");
        }
        ++next;
        if (text) SetDlgItemTextW(d, 10001, text);
        tktest::Click(d, text ? IDOK : IDCANCEL);
      }
    });
  }
  ~Prompter() {
    stop_ = true;
    t_.join();
  }
  std::vector<std::wstring> shown() {
    std::lock_guard<std::mutex> g(m_);
    return shown_;
  }

 private:
  std::vector<const wchar_t*> texts_;
  std::atomic<bool> stop_{false};
  std::mutex m_;
  std::vector<std::wstring> shown_;
  std::thread t_;
};

using NumberPrompts = Rz;

// Whole and real numbers: the default shown, blanks after the number
// accepted, a text that is not a number (or out of range) noted and asked
// again with the typed text, Cancel failing.
TEST_F(NumberPrompts, AnswersNotesAndCancel) {
  struct Case {
    const char* what;
    bool real;
    std::vector<const wchar_t*> answers;
    bool answered;
    double value;
    std::vector<std::wstring> shown;
    std::vector<std::wstring> notes;
  };
  const std::vector<Case> cases = {
      {"a number, blanks after it", false, {L"12 "}, true, 12, {L"10"}, {}},
      {"a letter after the number, then 7", false, {L"12 x", L"7"}, true, 7, {L"10", L"12 x"},
       {L"\"12 x\" is not a whole number"}},
      {"out of range, then empty, then -3", false, {L"99999999999", L"", L"-3"}, true, -3,
       {L"10", L"99999999999", L""},
       {L"\"99999999999\" is not a whole number", L"\"\" is not a whole number"}},
      {"cancel", false, {nullptr}, false, 0, {L"10"}, {}},
      {"cancel after a wrong answer", false, {L"x", nullptr}, false, 0, {L"10", L"x"},
       {L"\"x\" is not a whole number"}},
      {"a real", true, {L"2.75"}, true, 2.75, {L"1.5"}, {}},
      {"not a real, then 3", true, {L"1,5", L"3"}, true, 3, {L"1.5", L"1,5"}, {L"\"1,5\" is not a number"}},
      {"a real cancelled", true, {nullptr}, false, 0, {L"1.5"}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DialogRecorder notes;
    bool answered = false;
    double value = 0;
    std::vector<std::wstring> shown;
    uint32_t code = 0;
    tktest::RunInTask([&](LONG_PTR) {
      Prompter p(c.answers);
      code = RunTrapped([&] {
        if (c.real) {
          double v = 0;
          answered = getdata::get_real(L"Loading", L"Enter a number", 1.5, &v);
          value = v;
        } else {
          int32_t v = 0;
          answered = getdata::get_int(L"Loading", L"Enter parts value (whole number)", 10, &v);
          value = v;
        }
      });
      shown = p.shown();
    });
    ASSERT_EQ(code, 0u) << Narrow(HandledErrorText(code));
    EXPECT_EQ(answered, c.answered);
    if (c.answered) EXPECT_EQ(value, c.value);
    EXPECT_EQ(shown, c.shown);
    std::vector<std::wstring> texts;
    for (const auto& s : notes.shown()) texts.push_back(s.kind + L": " + s.text);
    std::vector<std::wstring> expected;
    for (const auto& n : c.notes) expected.push_back(L"note: " + n);
    EXPECT_EQ(texts, expected);
  }
}

}  // namespace
}  // namespace rztest
