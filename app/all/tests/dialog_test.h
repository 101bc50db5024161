// Helpers of the roster dialogs' tests: a document of the roster fixture
// open in process, bodies run in a task window's message loop, and the
// state of a real dialog read through Win32 (also from the answerer's
// thread).
#pragma once

#include <windows.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "answer.h"
#include "gui.h"
#include "roster_fixture.h"
#include "roster_test.h"

namespace alltest {

inline std::wstring TextOf(HWND w) { return testbox::WindowText(w); }
inline std::wstring CtlText(HWND d, int id) { return TextOf(GetDlgItem(d, id)); }
inline bool Checked(HWND d, int id) { return IsDlgButtonChecked(d, id) == BST_CHECKED; }
inline bool Enabled(HWND d, int id) { return IsWindowEnabled(GetDlgItem(d, id)) != FALSE; }
// The checked ones of `ids`.
inline std::set<int> CheckedOf(HWND d, std::initializer_list<int> ids) {
  std::set<int> out;
  for (int id : ids)
    if (Checked(d, id)) out.insert(id);
  return out;
}
// A click on a control as the user makes it (sent: also from another thread).
inline void Click(HWND d, int id) { SendMessageW(GetDlgItem(d, id), BM_CLICK, 0, 0); }

// One control as the window definition should make it: its class, the
// style bits that must be set among `mask`, its text (null: set by code)
// and its rectangle in dialog units.
struct CtlPin {
  int id;
  const wchar_t* cls;
  DWORD style;
  DWORD mask;
  const wchar_t* text;
  RECT dlgUnits;
};

// Checks the dialog's controls, in creation order, against the pins.
inline void ExpectControls(HWND d, const std::vector<CtlPin>& pins) {
  std::vector<int> order;
  for (HWND c = GetWindow(d, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) order.push_back(GetDlgCtrlID(c));
  std::vector<int> want;
  for (const CtlPin& p : pins) want.push_back(p.id);
  EXPECT_EQ(order, want);
  for (const CtlPin& p : pins) {
    SCOPED_TRACE(p.id);
    HWND c = GetDlgItem(d, p.id);
    ASSERT_TRUE(c);
    wchar_t cls[32] = {};
    GetClassNameW(c, cls, 32);
    EXPECT_EQ(lstrcmpiW(cls, p.cls), 0) << testing::PrintToString(std::wstring(cls));
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(c, GWL_STYLE));
    EXPECT_EQ(style & p.mask, p.style) << std::hex << style;
    EXPECT_TRUE(style & WS_VISIBLE);
    if (p.text) {
      EXPECT_EQ(TextOf(c), p.text);
    }
    // The dialog manager maps the origin and the size, as a template holds them.
    RECT origin{p.dlgUnits.left, p.dlgUnits.top, p.dlgUnits.left, p.dlgUnits.top};
    RECT size{0, 0, p.dlgUnits.right - p.dlgUnits.left, p.dlgUnits.bottom - p.dlgUnits.top};
    MapDialogRect(d, &origin);
    MapDialogRect(d, &size);
    const RECT want{origin.left, origin.top, origin.left + size.right, origin.top + size.bottom};
    RECT got;
    GetWindowRect(c, &got);
    MapWindowPoints(nullptr, d, reinterpret_cast<POINT*>(&got), 2);
    EXPECT_EQ(got.left, want.left);
    EXPECT_EQ(got.top, want.top);
    EXPECT_EQ(got.right, want.right);
    EXPECT_EQ(got.bottom, want.bottom);
  }
}

// The masks of the pins: the kind of a button or static, and the flags.
// Marking a radio button sets or clears its tab stop, so a radio button's
// tab stop is pinned in the window definition (RadioFlags) instead.
constexpr DWORD kCommon = WS_TABSTOP | WS_GROUP | WS_DISABLED;
constexpr DWORD kButtonMask = kCommon | 0xF;
constexpr DWORD kRadioMask = WS_GROUP | WS_DISABLED | 0xF;
constexpr DWORD kStaticMask = WS_TABSTOP | WS_DISABLED | 0x1F;

// The flag numbers of control `id` in a window-definition list.
inline std::vector<int> CtlFlags(const QEL_KWI::windef_list_struct* l, int id) {
  std::vector<int> out;
  for (; l->functor == QEL_KWI::ListCons; l = l->next)
    if (l->value->alt == QEL_KWI::wd_ctl && l->value->w[1] == id)
      for (auto* f = reinterpret_cast<const QEL_KWI::ilist_struct*>(l->value->w[2]); f->functor == QEL_KWI::ListCons;
           f = f->next)
        out.push_back(static_cast<int>(f->value));
  return out;
}

// A roster document of the fixture open in process; bodies run in a task
// window's loop with modal boxes answered from the answerer's thread.
class DialogRoster : public Roster {
 protected:
  void Open(const RosterSpec& spec) {
    doc_ = New();
    Run([&] { WriteSpec(spec); });
    doc_->set_as_modified(false);
    rec().Clear();
  }
  void InTask(const std::function<void(HWND)>& body) {
    kwitest::TaskOptions o;
    o.menu = 0;
    kwitest::RunInTask(body, o);
    EXPECT_TRUE(kwitest::Reported().empty());
    kwitest::Reported().clear();
  }
  rz::document* doc_ = nullptr;
};

}  // namespace alltest
