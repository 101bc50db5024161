// The search and go-to dialogs built from their definition lists on a real
// window: every control with its id, class, text and tab order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialogs.h"
#include "editgui.h"

using namespace QEL_EDIT::detail;
using namespace kwitest;
using edittest::NoMenu;

namespace {

struct Seen {
  std::wstring title;
  std::vector<int> order;
  std::vector<std::wstring> classes, texts;
  std::vector<LONG_PTR> styles;
};

std::wstring Text(HWND w) {
  wchar_t buf[128] = {};
  GetWindowTextW(w, buf, 128);
  return buf;
}

Seen Inspect(HWND d) {
  Seen s;
  s.title = Text(d);
  for (HWND c = GetWindow(d, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    wchar_t cls[64] = {};
    GetClassNameW(c, cls, 64);
    s.order.push_back(GetDlgCtrlID(c));
    s.classes.push_back(cls);
    s.texts.push_back(Text(c));
    s.styles.push_back(GetWindowLongPtrW(c, GWL_STYLE));
  }
  return s;
}

const wchar_t* ClassOf(int type) {
  switch (type) {
    case QEL_KWI::wt_text: return L"Static";
    case QEL_KWI::wt_listedit: return L"ComboBox";
    default: return L"Button";
  }
}

TEST(Dialogs, ListsBuildTheDocumentedControls) {
  const int ids[] = {dlg_find, dlg_replace, dlg_goToPosition, dlg_goToLine};
  Seen seen[4];
  RunInTask([&](HWND task) {
    for (int k = 0; k < 4; ++k) {
      const DialogSpec* spec = FindDialogSpec(ids[k]);
      if (!spec) continue;
      Closure handler([&](HWND w, event_struct* e) -> LONG_PTR {
        if (e->kind == e_create) {
          seen[k] = Inspect(w);
          if (spec->type == wt_modal) {  // the second message wakes the ended dialog's loop
            PostMessageW(w, WM_CLOSE, 0, 0);
            PostMessageW(w, WM_NULL, 0, 0);
          }
          return 0;
        }
        Fail();
      });
      windef_list_struct* list = BuildDialogList(*spec);
      auto d = reinterpret_cast<HWND>(win_CreateDynDialog(reinterpret_cast<LONG_PTR>(task),
                                                          list, &handler, 0));
      if (spec->type == wt_modeless) DestroyWindow(d);
      EXPECT_FALSE(IsWindow(d));
    }
  }, NoMenu());
  for (int k = 0; k < 4; ++k) {
    int id = ids[k];
    const DialogSpec* spec = FindDialogSpec(id);
    ASSERT_TRUE(spec) << id;
    EXPECT_EQ(seen[k].title, spec->title);
    ASSERT_EQ(seen[k].order.size(), static_cast<size_t>(spec->count)) << id;
    for (int i = 0; i < spec->count; ++i) {
      const ControlSpec& c = spec->controls[i];
      EXPECT_EQ(seen[k].order[i], c.id) << id << " control " << i;
      EXPECT_EQ(seen[k].classes[i], ClassOf(c.type)) << id << " control " << c.id;
      if (c.type != QEL_KWI::wt_listedit) {
        EXPECT_EQ(seen[k].texts[i], ControlText(*spec, c)) << id << " control " << c.id;
      } else {
        EXPECT_EQ(seen[k].styles[i] & 3, CBS_DROPDOWN) << id;
      }
      if (c.id == ctl_ok) {
        EXPECT_EQ(seen[k].styles[i] & 0xF, BS_DEFPUSHBUTTON) << id;
      }
      // Radio buttons: a group starts where the flags say so.
      if (c.type == QEL_KWI::wt_radiobutton) {
        EXPECT_EQ((seen[k].styles[i] & WS_GROUP) != 0, c.flags[0] == 25) << id << " control " << c.id;
      }
    }
  }
  EXPECT_EQ(FindDialogSpec(9104), nullptr);
}

}  // namespace
