// The editor options: transfer to and from the editor control with its range
// errors, and the "Token Coloring" dialog driven by a helper thread: changes
// apply on OK only, each to its own scheme and kind; the default boxes and
// the colour chooser; the swatch's pixels.
#include "kwi/kwieditor/kwieditor.h"
#include "pixels.h"
#include "toolkit_test.h"

using namespace tktest;
using namespace tav;
using namespace QEL_KWI;
using QEL_EDIT::color_settings_struct;
using QEL_EDIT::color_type_struct;
namespace kd = tav::kwidomains;

namespace {

using EditorOptionsTest = Library;

color_settings_struct Settings(int32_t kind, int32_t scheme) {
  const color_type_struct t{kind + 1};
  return *QEL_EDIT::edit_GetColorSettings(&t, scheme);
}
void SetSettings(int32_t kind, int32_t scheme, color_settings_struct s) {
  const color_type_struct t{kind + 1};
  QEL_EDIT::edit_SetColorSettings(&t, scheme, &s);
}
bool Same(const color_settings_struct& a, const color_settings_struct& b) {
  return a.fore == b.fore && a.back == b.back && a.style == b.style;
}

// Every colour of the editor's table, scheme by scheme.
std::vector<color_settings_struct> AllColours() {
  std::vector<color_settings_struct> all;
  for (int32_t scheme = 0; scheme < kwiEditor::kSchemes; ++scheme)
    for (int32_t kind = 0; kind < kwiEditor::kKinds; ++kind) all.push_back(Settings(kind, scheme));
  return all;
}
bool SameTable(const std::vector<color_settings_struct>& a, const std::vector<color_settings_struct>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (!Same(a[i], b[i])) return false;
  return true;
}

// Selects item `index` of a list or combo box and tells the dialog.
void Select(HWND d, int id, int index) {
  HWND c = GetDlgItem(d, id);
  wchar_t cls[16] = {};
  GetClassNameW(c, cls, 16);
  const bool combo = lstrcmpiW(cls, L"ComboBox") == 0;
  SendMessageW(c, combo ? CB_SETCURSEL : LB_SETCURSEL, index, 0);
  PostMessageW(d, WM_COMMAND, MAKEWPARAM(id, combo ? CBN_SELCHANGE : LBN_SELCHANGE), reinterpret_cast<LPARAM>(c));
  Sleep(100);
}

// Clicks a check box: it changes its state and tells the dialog.
void ClickBox(HWND d, int id) {
  SendMessageW(GetDlgItem(d, id), BM_CLICK, 0, 0);
  Sleep(100);
}

// Opens the dialog with `scheme` shown and runs `steps` on it.
void RunDialog(int32_t scheme, std::vector<Step> steps) {
  RunInTask([&](LONG_PTR task) {
    Script s(std::move(steps));
    kwiEditor::optionsdialog(task, scheme);
    s.Finish();
  });
}

TEST_F(EditorOptionsTest, OptionsRoundTripAndRangeErrorsStopTheList) {
  EditorOptions before{};
  kwiEditor::getoptions(&before);
  uint32_t n = 0;
  for (coloroption_list* c = before.colors; c->functor == ListCons; c = c->next) ++n;
  EXPECT_EQ(n, 110u);
  EXPECT_EQ(before.colors->value->scheme, 0);
  EXPECT_EQ(before.colors->value->type.type, 1);

  struct Case {
    const char* name;
    int32_t tab, indent;
    int32_t badScheme, badKind;  // the list's second element
    uint32_t code;
  };
  const Case cases[] = {
      {"scheme 5", 4, 4, 5, 0, 6912},
      {"kind out of range", 4, 4, 0, 22, 6912},
      {"tab size 0", 0, 4, 0, 0, 6911},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetSettings(1, 1, {0x111111, 0x222222, 0});
    SetSettings(3, 1, {0x111111, 0x222222, 0});
    ColorOption options[3] = {{1, {1 + 1}, {0xAA, 0xBB, 1}},
                              {c.badScheme, {c.badKind + 1}, {0xCC, 0xDD, 2}},
                              {1, {3 + 1}, {0xEE, 0xFF, 2}}};
    coloroption_list cells[4] = {{1, &options[0], &cells[1]},
                                 {1, &options[1], &cells[2]},
                                 {1, &options[2], &cells[3]},
                                 {2, nullptr, nullptr}};
    // The editor raises its error code itself.
    EXPECT_EQ(RunTrapped([&] { kwiEditor::setoptions(c.tab, c.indent, 0, 1, 1, cells); }), c.code);
    // Nothing after the failing element is applied.
    EXPECT_TRUE(Same(Settings(3, 1), {0x111111, 0x222222, 0}));
    if (c.code == 6912) {
      EXPECT_TRUE(Same(Settings(1, 1), {0xAA, 0xBB, 1}));
    }
  }
  const uint32_t ok = RunTrapped([&] {
    kwiEditor::setoptions(before.tabSize, before.indentSize, before.wholeWords, before.caseSensitive,
                          before.forward, before.colors);
  });
  EXPECT_EQ(ok, 0u);
  EditorOptions after{};
  kwiEditor::getoptions(&after);
  EXPECT_EQ(after.tabSize, before.tabSize);
  EXPECT_EQ(after.forward, before.forward);
}

TEST_F(EditorOptionsTest, CancelAfterChangesKeepsTheEditorsColours) {
  const std::vector<color_settings_struct> before = AllColours();
  std::vector<testbox::Seen> seen;
  RunInTask([&](LONG_PTR task) {
    Script s({{L"Token Coloring", [](HWND d) {
                 Select(d, kwiEditor::kElements, 3);
                 Select(d, kwiEditor::kStyleList, 2);
                 ClickBox(d, kwiEditor::kDefaultFore);
                 Click(d, kwiEditor::kCancel);
               }},
              // The next opening starts without those changes: OK applies nothing.
              {L"Token Coloring", [](HWND d) { Click(d, kwiEditor::kOk); }}});
    kwiEditor::optionsdialog(task, 2);
    kwiEditor::optionsdialog(task, 2);
    s.Finish();
    seen = s.Boxes();
  });
  EXPECT_EQ(seen.size(), 2u);
  EXPECT_TRUE(SameTable(AllColours(), before));
}

TEST_F(EditorOptionsTest, OkAppliesEveryChangeToItsOwnSchemeAndKind) {
  SetSettings(2, 1, {0x10, 0x20, 0});
  SetSettings(5, 3, {0x30, 0x40, 0});
  std::vector<color_settings_struct> expected = AllColours();
  expected[1 * 22 + 2].style = 2;
  expected[3 * 22 + 5].style = 1;
  int shownScheme = -1;
  RunDialog(0, {{L"Token Coloring", [&](HWND d) {
                   Select(d, kwiEditor::kSchemeList, 1);
                   Select(d, kwiEditor::kElements, 2);
                   Select(d, kwiEditor::kStyleList, 2);
                   Select(d, kwiEditor::kSchemeList, 3);
                   Select(d, kwiEditor::kElements, 5);
                   Select(d, kwiEditor::kStyleList, 1);
                   shownScheme = static_cast<int>(
                       SendMessageW(GetDlgItem(d, kwiEditor::kSchemeList), CB_GETCURSEL, 0, 0));
                   Click(d, kwiEditor::kOk);
                 }}});
  EXPECT_EQ(shownScheme, 3);
  EXPECT_TRUE(Same(Settings(2, 1), {0x10, 0x20, 2}));
  EXPECT_TRUE(Same(Settings(5, 3), {0x30, 0x40, 1}));
  EXPECT_TRUE(SameTable(AllColours(), expected));
}

TEST_F(EditorOptionsTest, UntickingTheDefaultBackgroundStoresItsPresentValue) {
  SetSettings(0, 0, {0x123456, kwiEditor::kDefaultColour, 0});
  bool tickedBefore = false;
  RunDialog(0, {{L"Token Coloring", [&](HWND d) {
                   Select(d, kwiEditor::kElements, 0);
                   tickedBefore = IsDlgButtonChecked(d, kwiEditor::kDefaultBack) == BST_CHECKED;
                   ClickBox(d, kwiEditor::kDefaultBack);
                   Click(d, kwiEditor::kOk);
                 }}});
  EXPECT_TRUE(tickedBefore);
  const color_settings_struct s = Settings(0, 0);
  EXPECT_EQ(s.fore, 0x123456u);
  EXPECT_EQ(s.back, static_cast<uint32_t>(kwi_GetAttrVal(121)));
}

TEST_F(EditorOptionsTest, ACancelledColourChoiceChangesNothing) {
  SetSettings(4, 0, {kwiEditor::kDefaultColour, 0x00AA00, 0});
  bool stillTicked = false;
  RunDialog(0, {{L"Token Coloring", [&](HWND d) {
                   Select(d, kwiEditor::kElements, 4);
                   Click(d, kwiEditor::kForeSwatch);
                 }},
                {L"Color", [](HWND d) { Press(d, IDCANCEL); }},
                {L"Token Coloring", [&](HWND d) {
                   Sleep(100);
                   stillTicked = IsDlgButtonChecked(d, kwiEditor::kDefaultFore) == BST_CHECKED;
                   Click(d, kwiEditor::kOk);
                 }}});
  EXPECT_TRUE(stillTicked);
  EXPECT_TRUE(Same(Settings(4, 0), {kwiEditor::kDefaultColour, 0x00AA00, 0}));
}

// The swatch's pixel at (x, y) as 0xRRGGBB.
uint32_t PixelOf(HWND w, int x, int y) { return kwitest::ClientPixels(w).at(x, y); }

// The chooser starts from the current colour; its OK stores that colour
// explicitly and the swatch shows it.
TEST_F(EditorOptionsTest, TheSwatchShowsTheChosenColour) {
  const uint32_t colour = 0xC08020;  // red 0x20, green 0x80, blue 0xC0
  SetSettings(6, 0, {colour, 0xFFFFFF, 0});
  uint32_t inner = 0;
  RunDialog(0, {{L"Token Coloring", [&](HWND d) {
                   Select(d, kwiEditor::kElements, 6);
                   Click(d, kwiEditor::kForeSwatch);
                 }},
                {L"Color", [](HWND d) { Press(d, IDOK); }},
                {L"Token Coloring", [&](HWND d) {
                   HWND swatch = GetDlgItem(d, kwiEditor::kForeSwatch);
                   RedrawWindow(swatch, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
                   Sleep(300);
                   RECT r;
                   GetClientRect(swatch, &r);
                   inner = PixelOf(swatch, r.right / 2, r.bottom / 2);
                   Click(d, kwiEditor::kOk);
                 }}});
  EXPECT_EQ(inner, 0x2080C0u);
  EXPECT_EQ(Settings(6, 0).fore, colour);
}

}  // namespace
