// kwiEditor: option transfer to and from the editor control, and the "Token
// Coloring" dialog.  Pending changes are kept per scheme and token kind (at
// most one each) and only "&OK" writes them to the editor.  A colour equal to
// the default marker is shown as the window text (foreground) or window
// (background) colour of the GUI layer's attributes 123 and 121.
#include "kwi/kwieditor/kwieditor.h"

#include "kwi/kwi.h"

namespace tav {

using namespace QEL_KWI;
using QEL_EDIT::color_settings_struct;
using QEL_EDIT::color_type_struct;
namespace kd = kwidomains;

const ClassInfo kwiEditor::classInfo{L"com/corvane/kwi/kwiEditor", TAV_CLASS_VERSION};

namespace {

constexpr int32_t kForeAttribute = 123;
constexpr int32_t kBackAttribute = 121;
constexpr LONG_PTR kMeasureAnswer = 0xA0023;

// Class data: the shown scheme and kind (0-based), the pending changes.
int32_t g_currentColoring = 0;
int32_t g_currentType = 0;
struct Pending {
  bool set;
  color_settings_struct settings;
} g_co[kwiEditor::kSchemes][kwiEditor::kKinds];

color_type_struct Kind(int32_t index) { return {index + 1}; }

bool ValidCurrent() {
  return g_currentColoring >= 0 && g_currentColoring < kwiEditor::kSchemes && g_currentType >= 0 &&
         g_currentType < kwiEditor::kKinds;
}

color_settings_struct Current() {
  if (ValidCurrent() && g_co[g_currentColoring][g_currentType].set)
    return g_co[g_currentColoring][g_currentType].settings;
  const color_type_struct t = Kind(g_currentType);
  return *QEL_EDIT::edit_GetColorSettings(&t, g_currentColoring);
}

void Store(const color_settings_struct& s) {
  if (ValidCurrent()) g_co[g_currentColoring][g_currentType] = {true, s};
}

void ForgetPending() {
  for (auto& scheme : g_co)
    for (Pending& p : scheme) p.set = false;
}

uint32_t Shown(uint32_t colour, int32_t attribute) {
  return colour == kwiEditor::kDefaultColour ? static_cast<uint32_t>(kwi_GetAttrVal(attribute)) : colour;
}

LONG_PTR Control(LONG_PTR dialog, int32_t id) { return win_GetCtlHandle(dialog, id); }

void Redraw(LONG_PTR dialog, int32_t id) { win_Invalidate_0(Control(dialog, id)); }

void ShowColor(LONG_PTR dialog) {
  const color_settings_struct s = Current();
  win_Check(Control(dialog, kwiEditor::kDefaultFore), s.fore == kwiEditor::kDefaultColour);
  win_Check(Control(dialog, kwiEditor::kDefaultBack), s.back == kwiEditor::kDefaultColour);
  if (s.style <= 2) lbox_SetSel(Control(dialog, kwiEditor::kStyleList), static_cast<int>(s.style), 1);
  Redraw(dialog, kwiEditor::kForeSwatch);
  Redraw(dialog, kwiEditor::kBackSwatch);
  Redraw(dialog, kwiEditor::kPreview);
}

// The default box of a colour clicked: ticked makes the colour the marker,
// cleared makes it the default colour's present value.
void DefaultClicked(LONG_PTR dialog, bool foreground) {
  color_settings_struct s = Current();
  const bool ticked = win_IsChecked(Control(dialog, foreground ? kwiEditor::kDefaultFore
                                                               : kwiEditor::kDefaultBack)) != 0;
  uint32_t& colour = foreground ? s.fore : s.back;
  colour = ticked ? kwiEditor::kDefaultColour
                  : static_cast<uint32_t>(kwi_GetAttrVal(foreground ? kForeAttribute : kBackAttribute));
  Store(s);
  Redraw(dialog, foreground ? kwiEditor::kForeSwatch : kwiEditor::kBackSwatch);
  Redraw(dialog, kwiEditor::kPreview);
}

void SwatchClicked(LONG_PTR dialog, bool foreground) {
  color_settings_struct s = Current();
  uint32_t& colour = foreground ? s.fore : s.back;
  const uint32_t start = Shown(colour, foreground ? kForeAttribute : kBackAttribute);
  volatile LONG_PTR chosen = 0;
  if (!K::Succeeds([&] { chosen = dlg_ChooseColor(dialog, start); })) return;
  win_Check(Control(dialog, foreground ? kwiEditor::kDefaultFore : kwiEditor::kDefaultBack), 0);
  colour = static_cast<uint32_t>(chosen);
  Store(s);
  Redraw(dialog, foreground ? kwiEditor::kForeSwatch : kwiEditor::kBackSwatch);
  Redraw(dialog, kwiEditor::kPreview);
}

void DrawSwatch(LONG_PTR item, rect_struct* r, const ilist_struct* states, uint32_t colour) {
  win_Clear_1(item, r, 0xFFFFFF);
  win_Clear_1(item, rect_Inflate(r, -1, -1), colour);
  if (!kd::Contains(states, 5)) return;
  brush_struct hollow{1, 0};
  pen_struct pen{1, 2, 0};
  win_SetBrush(item, &hollow);
  win_SetPen(item, &pen);
  draw_Rect(item, r);
}

void DrawPreview(LONG_PTR item, rect_struct* r) {
  const color_settings_struct s = Current();
  const uint32_t fore = Shown(s.fore, kForeAttribute), back = Shown(s.back, kBackAttribute);
  win_Clear_1(item, r, back);
  win_SetBackColor(item, back);
  win_SetForeColor(item, fore);
  ilist_struct* styles = s.style == 1 ? kd::Ints({1}) : s.style == 2 ? kd::Ints({2}) : kd::Ints({});
  // The font goes into the item's drawing context only: set on the control
  // (WM_SETFONT) it would repaint the control, and this drawing, without end.
  const auto* logFont = reinterpret_cast<const LOGFONTW*>(font_Create(2, styles, 10));
  HFONT font = CreateFontIndirectW(logFont);
  int acquired = 0;
  HDC dc = win_GetNativeGraphicContext(item, &acquired);
  HGDIOBJ old = dc && font ? SelectObject(dc, font) : nullptr;
  draw_TextInRect(item, r, L"text", -1, kd::Ints({2, 12, 9}));
  if (old) SelectObject(dc, old);
  if (dc) win_ReleaseNativeGraphicContext(item, dc, acquired);
  if (font) DeleteObject(font);
}

LONG_PTR OwnerDraw(event_struct* e) {
  const LONG_PTR id = e->w[1];
  const LONG_PTR item = e->w[5];
  auto* r = reinterpret_cast<rect_struct*>(e->w[6]);
  const auto* states = reinterpret_cast<const ilist_struct*>(e->w[4]);
  const color_settings_struct s = Current();
  if (id == kwiEditor::kForeSwatch) DrawSwatch(item, r, states, Shown(s.fore, kForeAttribute));
  else if (id == kwiEditor::kBackSwatch) DrawSwatch(item, r, states, Shown(s.back, kBackAttribute));
  else if (id == kwiEditor::kPreview) DrawPreview(item, r);
  else K::Fail();
  return 0;
}

bool SelectionChanged(const event_struct* e) {
  return e->w[3] && reinterpret_cast<const controlinfo*>(e->w[3])->alt == ci_selchanged;
}

void Fill(LONG_PTR dialog) {
  LONG_PTR schemes = Control(dialog, kwiEditor::kSchemeList);
  lbox_Add_3(schemes, kd::Strings({L"Prolog Source", L"Resource Script", L"Module-Definition",
                                   L"User Defined", L"Other"}));
  if (g_currentColoring >= 0 && g_currentColoring < kwiEditor::kSchemes)
    lbox_SetSel(schemes, g_currentColoring, 1);
  LONG_PTR elements = Control(dialog, kwiEditor::kElements);
  lbox_Add_3(elements,
             kd::Strings({L"delimiters", L"atom", L"variable", L"string", L"bad", L"character",
                          L"hexNumber", L"decimalNumber", L"floatNumber", L"octalNumber",
                          L"majorReservedWord", L"preprocessorWord", L"minorReservedWord",
                          L"docReservedWord", L"comment", L"space", L"parenthesis",
                          L"squarebrackets", L"semicolon", L"hyper", L"seltext",
                          L"underscored variable"}));
  lbox_SetSel(elements, g_currentType, 1);
  lbox_Add_3(Control(dialog, kwiEditor::kStyleList), kd::Strings({L"normal", L"bold", L"italic"}));
}

LONG_PTR ControlEvent(LONG_PTR dialog, event_struct* e) {
  switch (e->w[0]) {
    case kwiEditor::kSchemeList:
      if (!SelectionChanged(e)) break;
      g_currentColoring = lbox_GetSelIndex(Control(dialog, kwiEditor::kSchemeList));
      ShowColor(dialog);
      return 0;
    case kwiEditor::kElements:
      if (!SelectionChanged(e)) break;
      g_currentType = lbox_GetSelIndex(Control(dialog, kwiEditor::kElements));
      ShowColor(dialog);
      return 0;
    case kwiEditor::kStyleList: {
      if (!SelectionChanged(e)) break;
      color_settings_struct s = Current();
      s.style = static_cast<uint32_t>(lbox_GetSelIndex(Control(dialog, kwiEditor::kStyleList)));
      Store(s);
      Redraw(dialog, kwiEditor::kPreview);
      return 0;
    }
    case kwiEditor::kDefaultFore: DefaultClicked(dialog, true); return 0;
    case kwiEditor::kDefaultBack: DefaultClicked(dialog, false); return 0;
    case kwiEditor::kForeSwatch: SwatchClicked(dialog, true); return 0;
    case kwiEditor::kBackSwatch: SwatchClicked(dialog, false); return 0;
    case kwiEditor::kOk:
      for (int32_t scheme = 0; scheme < kwiEditor::kSchemes; ++scheme)
        for (int32_t kind = 0; kind < kwiEditor::kKinds; ++kind)
          if (g_co[scheme][kind].set) {
            const color_type_struct t = Kind(kind);
            QEL_EDIT::edit_SetColorSettings(&t, scheme, &g_co[scheme][kind].settings);
          }
      win_Destroy(dialog);
      return 0;
    case kwiEditor::kCancel: win_Destroy(dialog); return 0;
    case kwiEditor::kHelp: {
      event_struct help{e_user, {3, 8}};
      win_SendEvent(win_GetParent(dialog), &help);
      return 0;
    }
    default: break;
  }
  K::Fail();
}

LONG_PTR DialogEvent(LONG_PTR dialog, event_struct* e) {
  switch (e->kind) {
    case e_create:
      g_currentColoring = static_cast<int32_t>(e->w[0]);
      Fill(dialog);
      ShowColor(dialog);
      return 0;
    case e_control: return ControlEvent(dialog, e);
    case e_ownermeasureitem: return kMeasureAnswer;
    case e_ownerdraw: return OwnerDraw(e);
    case e_destroy: ForgetPending(); return 0;
    default: K::Fail();
  }
}

PROLOG_EHANDLER_STRUCT g_dialogHandler{reinterpret_cast<void*>(&DialogEvent), nullptr};

}  // namespace

void kwiEditor::getoptions(EditorOptions* out) {
  out->tabSize = QEL_EDIT::edit_GetTabSize();
  QEL_EDIT::edit_IndentSize_1(&out->indentSize);
  QEL_EDIT::edit_GetSearchOptions(&out->wholeWords, &out->caseSensitive, &out->forward);
  constexpr uint32_t n = kSchemes * kKinds;
  auto* cells = static_cast<coloroption_list*>(GStackAlloc((n + 1) * sizeof(coloroption_list)));
  auto* options = static_cast<ColorOption*>(GStackAlloc(n * sizeof(ColorOption)));
  cells[n] = {ListNil, nullptr, nullptr};
  for (uint32_t i = 0; i < n; ++i) {
    const int32_t scheme = static_cast<int32_t>(i / kKinds);
    const color_type_struct t = Kind(static_cast<int32_t>(i % kKinds));
    options[i] = {scheme, t, *QEL_EDIT::edit_GetColorSettings(&t, scheme)};
    cells[i] = {ListCons, &options[i], &cells[i + 1]};
  }
  out->colors = cells;
}

void kwiEditor::setoptions(int32_t tabSize, int32_t indentSize, int32_t wholeWords,
                           int32_t caseSensitive, int32_t forward, const coloroption_list* colors) {
  QEL_EDIT::edit_SetTabSize_0(tabSize);
  QEL_EDIT::edit_IndentSize_0(indentSize);
  QEL_EDIT::edit_SetSearchOptions(wholeWords, caseSensitive, forward);
  for (; colors && colors->functor == ListCons; colors = colors->next)
    QEL_EDIT::edit_SetColorSettings(&colors->value->type, colors->value->scheme,
                                    &colors->value->settings);
}

void kwiEditor::settabsize(LONG_PTR window, int32_t size) {
  QEL_EDIT::edit_SetTabSize_0(size);
  win_Invalidate_0(window);
}

LONG_PTR kwiEditor::optionsdialog(LONG_PTR parent, int32_t scheme) {
  auto ctl = [](int32_t type, int32_t l, int32_t t, int32_t r, int32_t b, const wchar_t* text,
                int64_t id, ilist_struct* flags) { return kd::Ctl(type, kd::Rect(l, t, r, b), text, id, flags); };
  windef* items[] = {
      kd::DlgFont(wt_modal, kd::Rect(50, 40, 250, 180), L"Token Coloring", kd::kDialogUnits,
                  L"Arial", 8, kd::Ints({4, 9})),
      ctl(wt_pushbutton, 10, 125, 50, 137, L"&OK", kOk, kd::Ints({23, 25, 26})),
      ctl(wt_pushbutton, 80, 125, 120, 137, L"Cancel", kCancel, kd::Ints({25, 26})),
      ctl(wt_pushbutton, 150, 125, 190, 137, L"&Help", kHelp, kd::Ints({25, 26})),
      ctl(wt_text, 5, 5, 70, 13, L"Coloring &Scheme:", kSchemeLabel, kd::Ints({31})),
      ctl(wt_listbutton, 5, 15, 95, 78, L"", kSchemeList, kd::Ints({25, 26, 8})),
      ctl(wt_text, 100, 5, 148, 13, L"&Element:", kElementLabel, kd::Ints({31})),
      ctl(wt_listbox, 100, 15, 195, 120, L"", kElements, kd::Ints({25, 26, 8, 58})),
      ctl(wt_text, 5, 30, 50, 40, L"&Foreground:", kForeLabel, kd::Ints({31})),
      ctl(wt_pushbutton, 60, 30, 95, 40, L"", kForeSwatch, kd::Ints({25, 26, 35})),
      ctl(wt_checkbox, 5, 45, 79, 55, L"Defa&ult Foreground", kDefaultFore, kd::Ints({25, 26, 51})),
      ctl(wt_text, 5, 60, 50, 70, L"&Background:", kBackLabel, kd::Ints({31})),
      ctl(wt_pushbutton, 60, 60, 95, 70, L"", kBackSwatch, kd::Ints({25, 26, 35})),
      ctl(wt_checkbox, 5, 75, 81, 85, L"Default Back&ground", kDefaultBack, kd::Ints({25, 26, 51})),
      ctl(wt_text, 5, 90, 40, 100, L"Fo&nt style:", kStyleLabel, kd::Ints({31})),
      ctl(wt_listbutton, 45, 90, 95, 133, L"", kStyleList, kd::Ints({25, 26, 8})),
      ctl(wt_pushbutton, 5, 105, 95, 120, L"show", kPreview, kd::Ints({35, 12})),
  };
  return win_CreateDynDialog(parent, kd::Windefs(items, sizeof items / sizeof items[0]),
                             &g_dialogHandler, scheme);
}

}  // namespace tav
