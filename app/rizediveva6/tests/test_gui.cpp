// The message seam's defaults on real windows (Xvfb): the toolkit's note
// and error boxes, the message window, and close_app ending the message
// loop.
#include <string>
#include <vector>

#include "KWI/kwi_orvdb/kwiorvdb.h"
#include "SYSTEM/myKWI/myKWI.h"
#include "doc_test.h"
#include "kwi/kwimessage/kwimessage.h"
#include "qel6edit.h"
#include "testlib.h"
#include "toolkit_test.h"

namespace rztest {
namespace {

using namespace kwitest;
constexpr WPARAM kCloseNow = 0x525A;

class Gui : public Rz {};

TEST_F(Gui, CloseAppEndsTheMessageLoop) {
  Terms t;
  bool called = false, destroyed = false, afterClose = false;
  Closure handler([&](HWND w, event_struct* e) -> LONG_PTR {
    if (e->kind == e_create) {
      PostMessageW(w, 0xC00F, kCloseNow, 0);
      return 0;
    }
    if (e->kind == e_user && e->w[0] == static_cast<LONG_PTR>(kCloseNow)) {
      called = true;
      myKWI::close_app();
      afterClose = !IsWindow(w);
      return 0;
    }
    if (e->kind == e_destroy) {
      destroyed = true;
      return 0;
    }
    Fail();
  });
  // Returns only when the loop has ended.
  kwi_Init(t.Flags({9, 4, 5, 6, 2}), &handler, t.NoMenu(), nullptr, L"close_app");
  EXPECT_TRUE(called);
  EXPECT_TRUE(destroyed);
  EXPECT_TRUE(afterClose);
}

// The message window's text, line breaks as "\n".
std::wstring MessageText(LONG_PTR w) {
  std::wstring text, raw = reinterpret_cast<const wchar_t*>(QEL_EDIT::edit_GetText_0(w));
  for (wchar_t c : raw)
    if (c != L'\r') text += c;
  return text;
}

TEST_F(Gui, BoxesAndMessageLines) {
  std::vector<testbox::Seen> boxes;
  std::wstring text;
  tktest::RunInTask([&](LONG_PTR) {
    testbox::Script s({{L"Note", [](HWND d) { testbox::Press(d, IDOK); }},
                       {L"Error", [](HWND d) { testbox::Press(d, IDOK); }}});
    myKWI::note(L"");
    myKWI::error(L"kee insert error 94");
    s.Finish();
    boxes = s.Boxes();
    const LONG_PTR w = tav::kwiMessage::create(100);
    myKWI::message_write({L"\n OPEN ", L"x"});
    text = MessageText(w);
  });
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].title, L"Note");
  EXPECT_EQ(boxes[0].text, L"");
  EXPECT_EQ(boxes[1].title, L"Error");
  EXPECT_EQ(boxes[1].text, L"kee insert error 94");
  EXPECT_EQ(text, L"\n OPEN x");
}

}  // namespace
}  // namespace rztest
