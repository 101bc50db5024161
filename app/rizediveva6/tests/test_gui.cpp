// The message seam's defaults on a real task window (Xvfb): close_app
// destroys the task window and so ends the program's message loop.
#include "SYSTEM/myKWI/myKWI.h"
#include "rz_test.h"
#include "testlib.h"

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

}  // namespace
}  // namespace rztest
