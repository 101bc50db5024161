// kwiTabDlg's tables and operations.  Table order is part of behaviour:
// tab sheets and remembered flags are appended, sheet controls inserted at
// the front (a sheet's controls come back newest first), a changed entry is
// removed and appended anew.  Tables are walked by index and every entry
// re-read after a call into the GUI layer, which may send events that
// change them.  No local with a destructor lives in a frame that a GUI or
// class error may cross.
#include "kwi/kwitabdlg/kwitabdlg.h"

#include "kwi/kwiDialog/kwiDialog.h"

#include <algorithm>
#include <string>

#include "exception/exception.h"
#include "kwi/kwi.h"
#include "qel6kwi.h"

namespace tav {

using namespace QEL_KWI;
namespace kd = kwidomains;

const ClassInfo kwiTabDlg::classInfo{L"com/corvane/kwi/kwiTabDlg/kwiTabDlg", TAV_CLASS_VERSION};

namespace {

using style = kwiTabDlg::style;

constexpr const wchar_t* kClassName = L"ZEVTAB";
constexpr int64_t kVisible = 10, kInvisible = 11, kDisabled = 12, kEnabled = 13;
constexpr uint64_t kText = 1, kIcon = 2, kBmp = 3;
constexpr uint64_t kDyn = 1, kRes = 2;
constexpr uint64_t kEnable = 1, kShow = 2;
constexpr LONG_PTR kHideOthers = 9999, kHideOthersTag = 999;
constexpr int32_t kFaceAttribute = 108, kShadowAttribute = 109;

struct TabWin {
  LONG_PTR tab, dialog;
  int32_t controlId;
  std::vector<uint8_t> font;  // size word and data bytes
  int32_t radio;
  style st;
  uint32_t width, height;
  rect_struct row, area;
};
struct TabSheet {
  LONG_PTR tab;
  int32_t sheetId;
  uint64_t kind;
  std::wstring text;
  int32_t resId;
  rect_struct r;
};
struct SheetControl {
  LONG_PTR tab;
  int32_t sheetId, controlId;
};
struct ControlFlags {
  LONG_PTR tab;
  int32_t sheetId, controlId;
  std::vector<int64_t> flags;
};
struct CurrentSheet {
  LONG_PTR tab;
  int32_t sheetId;
};

struct Tables {
  bool registered = false;
  std::vector<LONG_PTR> created;
  std::vector<TabWin> tabwin;
  std::vector<TabSheet> sheets;
  std::vector<SheetControl> controls;
  std::vector<ControlFlags> flags;
  std::vector<CurrentSheet> current;
  std::vector<LONG_PTR> focus;

  void Clear() {
    registered = false;
    created.clear();
    tabwin.clear();
    sheets.clear();
    controls.clear();
    flags.clear();
    current.clear();
    focus.clear();
  }
};
Tables& Db() {
  static Tables t;
  return t;
}

// --- Errors ---------------------------------------------------------------------------

[[noreturn]] void RaiseInternal(const wchar_t* predicate, const wchar_t* text) {
  TAV_AT();
  T::TEllipsisArgs<1> a;
  a.SetTerm(0, D(domains::string), text);
  common_exception::raise_error(&kwiTabDlg::classInfo, predicate,
                                reinterpret_cast<const T::REllipsisArg*>(&a));
}

void CheckUnsigned(int64_t v) {
  if (v < INT32_MIN || v > INT32_MAX) RaiseIntegerOverflow();
  T::Check_UI_Range(reinterpret_cast<const T::TIntegralDomainDefinition*>(&domains::unsigned_),
                    static_cast<int32_t>(v));
}

// --- Lookups --------------------------------------------------------------------------

const TabWin* FindTabWin(LONG_PTR tab) {
  for (const TabWin& w : Db().tabwin)
    if (w.tab == tab) return &w;
  return nullptr;
}
const TabSheet* FindSheet(LONG_PTR tab, int32_t sheetId) {
  for (const TabSheet& s : Db().sheets)
    if (s.tab == tab && s.sheetId == sheetId) return &s;
  return nullptr;
}
bool CurrentOf(LONG_PTR tab, int32_t* sheetId) {
  for (const CurrentSheet& c : Db().current)
    if (c.tab == tab) {
      *sheetId = c.sheetId;
      return true;
    }
  return false;
}
bool HasFocus(LONG_PTR tab) {
  return std::find(Db().focus.begin(), Db().focus.end(), tab) != Db().focus.end();
}
ControlFlags* FindFlags(LONG_PTR tab, int32_t sheetId, int32_t controlId) {
  for (ControlFlags& f : Db().flags)
    if (f.tab == tab && f.sheetId == sheetId && f.controlId == controlId) return &f;
  return nullptr;
}
// Replaces the first matching entry by one appended with the new flags.
void ReplaceFlags(LONG_PTR tab, int32_t sheetId, int32_t controlId, std::vector<int64_t> flags) {
  auto& t = Db().flags;
  t.erase(std::remove_if(t.begin(), t.end(),
                         [&](const ControlFlags& f) {
                           return f.tab == tab && f.sheetId == sheetId && f.controlId == controlId;
                         }),
          t.end());
  t.push_back({tab, sheetId, controlId, std::move(flags)});
}
// The controls of (tab, sheet) in table order (newest first).
std::vector<int32_t> ControlsOf(LONG_PTR tab, int32_t sheetId) {
  std::vector<int32_t> ids;
  for (const SheetControl& c : Db().controls)
    if (c.tab == tab && c.sheetId == sheetId) ids.push_back(c.controlId);
  return ids;
}
template <class V, class P>
void EraseIf(std::vector<V>& v, P p) {
  v.erase(std::remove_if(v.begin(), v.end(), p), v.end());
}

ilist_struct* FlagTerm(const std::vector<int64_t>& flags) {
  return kd::Ints(flags.data(), static_cast<uint32_t>(flags.size()));
}
void SetState(LONG_PTR window, int64_t flag) { win_SetState(window, kd::Ints({flag})); }

// --- Handlers ---------------------------------------------------------------------------

PROLOG_EHANDLER_STRUCT* ClassHandler() {
  static PROLOG_EHANDLER_STRUCT h{reinterpret_cast<void*>(&kwiTabDlg::_tabdlg_eh), nullptr};
  return &h;
}
PROLOG_EHANDLER_STRUCT* DummyHandler() {
  static PROLOG_EHANDLER_STRUCT h{reinterpret_cast<void*>(&kwiTabDlg::_dummy_eh), nullptr};
  return &h;
}
PROLOG_EHANDLER_STRUCT* HeapHandler(const PROLOG_EHANDLER_STRUCT& h) {
  auto* p = static_cast<PROLOG_EHANDLER_STRUCT*>(GStackAlloc(sizeof(PROLOG_EHANDLER_STRUCT)));
  *p = h;
  return p;
}
PROLOG_EHANDLER_STRUCT DialogHandler(LONG_PTR dialog) { return *win_GetHandler(dialog); }

// Runs body with `_dummy_eh` as the dialog's handler; `h` is put back on
// every way out and an error passed on after that.
template <class Body>
void WithDummyHandler(LONG_PTR dialog, const PROLOG_EHANDLER_STRUCT& h, Body&& body) {
  win_SetHandler(dialog, DummyHandler());
  const uint32_t error = K::RunTrapped(body);
  win_SetHandler(dialog, HeapHandler(h));
  if (error) K::Errors::Qel_ErrorExit(error);
}

// --- Drawing ----------------------------------------------------------------------------

enum PenKind { kWhite, kBlack, kFace, kShadow, kDotted };

uint32_t FaceColour() { return static_cast<uint32_t>(kwi_GetAttrVal(kFaceAttribute)); }
uint32_t ShadowColour() { return static_cast<uint32_t>(kwi_GetAttrVal(kShadowAttribute)); }

void UsePen(LONG_PTR w, PenKind k) {
  pen_struct p{1, 0, 0};
  switch (k) {
    case kWhite: p.colour = 0xFFFFFF; break;
    case kBlack: break;
    case kFace: p.colour = FaceColour(); break;
    case kShadow: p.colour = ShadowColour(); break;
    case kDotted: p.style = 2; break;
  }
  win_SetPen(w, &p);
}
void UseBrush(LONG_PTR w, int32_t pattern, uint32_t colour) {
  brush_struct b{pattern, colour};
  win_SetBrush(w, &b);
}
void Line(LONG_PTR w, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  pnt_struct a{x1, y1}, b{x2, y2};
  draw_Line(w, &a, &b);
}

struct Seg {
  PenKind pen;
  int32_t x1, y1, x2, y2;
};
void DrawSegs(LONG_PTR w, const Seg* segs, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (i == 0 || segs[i].pen != segs[i - 1].pen) UsePen(w, segs[i].pen);
    Line(w, segs[i].x1, segs[i].y1, segs[i].x2, segs[i].y2);
  }
}

pnt_struct Displacement(style s) {
  switch (s) {
    case style::top: return {0, 2};
    case style::bottom: return {0, -2};
    case style::left: return {2, 0};
    case style::right: return {-2, 0};
  }
  return {0, 0};
}
bool IsCurrent(LONG_PTR tab, int32_t sheetId) {
  int32_t cur;
  return CurrentOf(tab, &cur) && cur == sheetId;
}
rect_struct Offset(rect_struct r, int32_t dx, int32_t dy) { return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }
rect_struct Inflate(rect_struct r, int32_t dx, int32_t dy) { return {r.left - dx, r.top - dy, r.right + dx, r.bottom + dy}; }

rect_struct DrawnRect(LONG_PTR tab, style s, int32_t sheetId, const rect_struct& stored) {
  if (IsCurrent(tab, sheetId)) return stored;
  const pnt_struct d = Displacement(s);
  return Offset(stored, d.x, d.y);
}

void DrawFrame(LONG_PTR tab) {
  const TabWin* w = FindTabWin(tab);
  if (!w) RaiseInternal(L"kwiTabDlg::draw_frame", L"draw_frame: no fact for window");
  const rect_struct a = w->area;
  const int32_t L = a.left, T = a.top, R = a.right, B = a.bottom;
  const Seg segs[] = {
      {kWhite, L, T, R, T},          {kWhite, L, T, L, B - 1},
      {kFace, L + 1, T + 1, R - 1, T + 1}, {kFace, L + 1, T + 1, L + 1, B - 2},
      {kBlack, R - 1, T + 1, R - 1, B},    {kBlack, L, B - 1, R, B - 1},
      {kShadow, R - 2, T + 2, R - 2, B - 1}, {kShadow, L + 1, B - 2, R - 1, B - 2},
  };
  DrawSegs(tab, segs, std::size(segs));
}

// The title rectangle after the radio mark, drawn when the control has radio marks.
rect_struct CheckDrawRadio(LONG_PTR tab, int32_t sheetId, rect_struct r) {
  const TabWin* w = FindTabWin(tab);
  if (!w || w->radio == 0) return r;
  rect_struct c{r.left, r.top + 2, r.left + 10, r.top + 12};
  UsePen(tab, kBlack);
  UseBrush(tab, 2, 0xFFFFFF);
  draw_Ellipse(tab, &c);
  if (IsCurrent(tab, sheetId)) {
    UseBrush(tab, 2, 0);
    rect_struct dot = Inflate(c, -2, -2);
    draw_Ellipse(tab, &dot);
  }
  return {r.left + 14, r.top, r.right, r.bottom};
}

void FocusRect(LONG_PTR tab, int32_t sheetId, const rect_struct& drawn, PenKind pen) {
  rect_struct f = Inflate(CheckDrawRadio(tab, sheetId, Inflate(drawn, -4, -4)), 1, 1);
  UsePen(tab, pen);
  UseBrush(tab, 1, 0);
  draw_Rect(tab, &f);
}

// A tab as drawn: the table entry's plain fields (its text is looked up when drawn).
struct TabRef {
  int32_t sheetId;
  uint64_t kind;
  int32_t resId;
  rect_struct r;
};
TabRef Ref(const TabSheet& s) { return {s.sheetId, s.kind, s.resId, s.r}; }

void DrawTitle(LONG_PTR tab, const TabRef& s, const rect_struct& drawn) {
  const bool current = IsCurrent(tab, s.sheetId);
  const int32_t sheetId = s.sheetId;
  const uint64_t kind = s.kind;
  const int32_t resId = s.resId;
  if (current && !HasFocus(tab)) FocusRect(tab, sheetId, drawn, kFace);
  if (kind == kText) {
    rect_struct r = CheckDrawRadio(tab, sheetId, Inflate(drawn, -4, -2));
    // The entry may move while drawing: the text is read again after the mark.
    const TabSheet* again = FindSheet(tab, sheetId);
    if (again) draw_TextInRect(tab, &r, again->text.c_str(), -1, kd::Ints({12, 5}));
  } else {
    rect_struct p = CheckDrawRadio(tab, sheetId, Inflate(drawn, -4, -4));
    CheckUnsigned(resId);
    if (kind == kIcon) {
      draw_Icon(tab, p.left, p.top, static_cast<uint32_t>(resId));
    } else {
      picture pic = kwi::pictgetfromres(static_cast<uint32_t>(resId));
      pnt_struct at{p.left, p.top};
      kwi::pictdraw(tab, pic, &at, 12);
      pict_Destroy(pic);
    }
  }
  if (current && HasFocus(tab)) FocusRect(tab, sheetId, drawn, kDotted);
}

// The side edges' ends: (outer, inner).
void AdjustEdge(LONG_PTR tab, int32_t sheetId, int32_t base, int32_t sign, int32_t* e1, int32_t* e2) {
  if (IsCurrent(tab, sheetId)) {
    *e1 = base + sign;
    *e2 = base + 2 * sign;
  } else {
    *e1 = *e2 = base - 2 * sign;
  }
}

void DrawTab(style st, LONG_PTR tab, const TabRef& s) {
  const rect_struct d = DrawnRect(tab, st, s.sheetId, s.r);
  const int32_t sheetId = s.sheetId;
  DrawTitle(tab, s, d);
  const int32_t L = d.left, T = d.top, Rr = d.right, B = d.bottom;
  int32_t E1 = 0, E2 = 0;
  switch (st) {
    case style::top: {
      AdjustEdge(tab, sheetId, B, 1, &E1, &E2);
      const Seg segs[] = {{kWhite, L, T + 1, L, E1},          {kWhite, L + 1, T, Rr - 1, T},
                          {kShadow, Rr - 2, T + 1, Rr - 2, E2}, {kBlack, Rr - 1, T + 2, Rr - 1, E1},
                          {kFace, L + 1, T + 1, L + 1, E1},    {kFace, L + 2, T + 1, Rr - 2, T + 1},
                          {kFace, L + 2, B, Rr - 2, B},        {kFace, L + 2, B + 1, Rr - 2, B + 1}};
      DrawSegs(tab, segs, std::size(segs));
      break;
    }
    case style::bottom: {
      AdjustEdge(tab, sheetId, T, -1, &E1, &E2);
      const Seg segs[] = {{kWhite, L, E1, L, B - 2},
                          {kShadow, Rr - 2, E1, Rr - 2, B - 2}, {kShadow, L + 1, B - 2, Rr - 1, B - 2},
                          {kBlack, Rr - 1, E1, Rr - 1, B - 1},  {kBlack, L + 1, B - 1, Rr - 1, B - 1},
                          {kFace, L + 1, E2, L + 1, B - 2},     {kFace, L + 2, T - 2, Rr - 2, T - 2},
                          {kFace, L + 2, T - 1, Rr - 2, T - 1}};
      DrawSegs(tab, segs, std::size(segs));
      break;
    }
    case style::left: {
      AdjustEdge(tab, sheetId, Rr, 1, &E1, &E2);
      const Seg segs[] = {{kWhite, L + 1, T, E1, T},         {kWhite, L, T + 1, L, B - 2},
                          {kShadow, L, B - 2, E2, B - 2},    {kBlack, L + 1, B - 1, E1, B - 1},
                          {kFace, L + 1, T + 1, E1, T + 1},  {kFace, L + 1, T + 2, L + 1, B - 2},
                          {kFace, Rr, T + 2, Rr, B - 2},     {kFace, Rr + 1, T + 2, Rr + 1, B - 2}};
      DrawSegs(tab, segs, std::size(segs));
      break;
    }
    case style::right: {
      AdjustEdge(tab, sheetId, L, -1, &E1, &E2);
      const Seg segs[] = {{kWhite, E1, T, Rr - 2, T},
                          {kShadow, Rr - 2, T + 1, Rr - 2, B - 1}, {kShadow, E1, B - 2, Rr - 2, B - 2},
                          {kBlack, E1, B - 1, Rr - 1, B - 1},      {kBlack, Rr - 1, T + 1, Rr - 1, B - 1},
                          {kFace, E2, T + 1, Rr - 2, T + 1},       {kFace, L - 2, T + 2, L - 2, B - 2},
                          {kFace, L - 1, T + 2, L - 1, B - 2}};
      DrawSegs(tab, segs, std::size(segs));
      break;
    }
  }
}

void DrawTabs(LONG_PTR tab) {
  const TabWin* w = FindTabWin(tab);
  if (!w) return;
  const style st = w->st;
  for (size_t i = 0; i < Db().sheets.size(); ++i) {
    if (Db().sheets[i].tab != tab) continue;
    DrawTab(st, tab, Ref(Db().sheets[i]));
  }
}

[[noreturn]] void RaiseSingleTab(int32_t sheetId) {
  wchar_t text[64];
  swprintf(text, 64, L"draw_single_tab. sheetId = %d", sheetId);
  RaiseInternal(L"kwiTabDlg::draw_single_tab", HeapCopy(text));
}

void DrawSingleTab(LONG_PTR tab, int32_t sheetId) {
  const TabSheet* s = FindSheet(tab, sheetId);
  const TabWin* w = FindTabWin(tab);
  if (!s || !w) RaiseSingleTab(sheetId);
  const style st = w->st;
  rect_struct r = s->r;
  win_Clear_1(tab, &r, FaceColour());
  s = FindSheet(tab, sheetId);
  if (!s) RaiseSingleTab(sheetId);
  DrawTab(st, tab, Ref(*s));
}

void ComputeFrame(LONG_PTR tab) {
  const TabWin* w = FindTabWin(tab);
  if (!w) return;
  const rect_struct client = *win_GetClientRect(tab);
  w = FindTabWin(tab);
  if (!w) return;
  const kwiTabDlg::Layout l = kwiTabDlg::tab_adjust(w->st, w->width, w->height, client);
  TabWin changed = *w;
  changed.row = l.row;
  changed.area = l.area;
  EraseIf(Db().tabwin, [&](const TabWin& t) { return t.tab == tab; });
  Db().tabwin.push_back(std::move(changed));
}

// --- Sheets -------------------------------------------------------------------------------

// Remembers the visibility and enable flags of a control's actual state.
void RememberState(LONG_PTR tab, int32_t sheetId, int32_t controlId, const ilist_struct* state) {
  std::vector<int64_t> kept;
  for (const ilist_struct* l = state; l && l->functor == ListCons; l = l->next)
    if (l->value >= kVisible && l->value <= kEnabled) kept.push_back(l->value);
  ReplaceFlags(tab, sheetId, controlId, std::move(kept));
}

void ShowSheet(LONG_PTR tab, int32_t sheetId, int32_t show) {
  const LONG_PTR dialog = win_GetParent(tab);
  const std::vector<int32_t>* ids = new std::vector<int32_t>(ControlsOf(tab, sheetId));
  // The id list is owned here and freed on every way out.
  const uint32_t error = K::RunTrapped([&] {
    for (int32_t id : *ids) {
      const LONG_PTR control = win_GetCtlHandle(dialog, id);
      if (show == 1) {
        const ControlFlags* f = FindFlags(tab, sheetId, id);
        if (!f) continue;
        // A definition that fixed both visibility and enabling leaves nothing to apply.
        if (!f->flags.empty()) win_SetState(control, FlagTerm(f->flags));
        if (win_GetType(control) != wt_groupbox) win_BringToTop(control);
      } else if (show == 0) {
        RememberState(tab, sheetId, id, win_GetState(control));
        SetState(control, kInvisible);
        if (win_GetType(control) != wt_edit) SetState(control, kDisabled);
      }
    }
  });
  delete ids;
  if (error) K::Errors::Qel_ErrorExit(error);
  win_Update(tab);
}

bool SetFocusToFirstCtrl(LONG_PTR tab, int32_t sheetId) {
  const LONG_PTR dialog = win_GetParent(tab);
  const std::vector<int32_t> ids = ControlsOf(tab, sheetId);
  for (size_t i = ids.size(); i-- > 0;) {
    const int32_t id = ids[i];
    const uint32_t error = K::RunTrapped([&] { win_SetFocus(win_GetCtlHandle(dialog, id)); });
    if (!error) return true;
    K::RunTrapped([&] { exception::clear(error); });
  }
  return false;
}

// Calls the dialog's handler with a sheet notification; true when it handled it.
bool Notify(LONG_PTR dialog, const PROLOG_EHANDLER_STRUCT& h, int32_t sheetId, LONG_PTR entering) {
  if (!h.function) return false;
  event_struct e{};
  e.kind = e_user;
  e.w[0] = sheetId;
  e.w[1] = entering;
  int failed = 0;
  XZEV_DirectCallHandler(dialog, &e, HeapHandler(h), &failed);
  return failed == 0;
}

void SelectSheet(const PROLOG_EHANDLER_STRUCT& h, LONG_PTR tab, int32_t sheetId) {
  const LONG_PTR dialog = win_GetParent(tab);
  int32_t old = 0;
  const bool hasOld = CurrentOf(tab, &old);
  if (hasOld && old == sheetId) return;
  if (hasOld && Notify(dialog, h, old, 0)) return;
  DrawFrame(tab);
  for (int32_t cur; CurrentOf(tab, &cur);) {
    auto& t = Db().current;
    t.erase(std::find_if(t.begin(), t.end(), [&](const CurrentSheet& c) { return c.tab == tab; }));
    DrawSingleTab(tab, cur);
    WithDummyHandler(dialog, h, [&] { ShowSheet(tab, cur, 0); });
  }
  Db().current.push_back({tab, sheetId});
  DrawSingleTab(tab, sheetId);
  WithDummyHandler(dialog, h, [&] {
    ShowSheet(tab, sheetId, 1);
    win_SetFocus(dialog);
    SetFocusToFirstCtrl(tab, sheetId);
  });
  Notify(dialog, h, sheetId, 1);
}

enum class Neighbour { none, found, lost };

// The neighbouring sheet of `tab`'s current one for a key: Up and Left the
// previous, Down and Right the next, no wrap.  `lost`: the current sheet is
// not among the tabs when asked for the previous one.
Neighbour ChangeSheet(LONG_PTR tab, LONG_PTR code, int32_t* next) {
  int32_t current = 0;
  if (!CurrentOf(tab, &current)) return Neighbour::none;
  std::vector<int32_t> ids;
  for (const TabSheet& s : Db().sheets)
    if (s.tab == tab) ids.push_back(s.sheetId);
  if (code == 301 || code == 304) {
    if (ids.empty() || ids.front() == current) return Neighbour::none;
    for (size_t i = 1; i < ids.size(); ++i)
      if (ids[i] == current) {
        *next = ids[i - 1];
        return Neighbour::found;
      }
    return Neighbour::lost;
  }
  if (code == 302 || code == 303) {
    auto it = std::find(ids.begin(), ids.end(), current);
    if (it == ids.end() || it + 1 == ids.end()) return Neighbour::none;
    *next = *(it + 1);
    return Neighbour::found;
  }
  return Neighbour::none;
}

// --- Creation -------------------------------------------------------------------------------

void TitleSize(LONG_PTR tab, const kwiTabDlg::title* t, int32_t* w, int32_t* h, int32_t textExtra) {
  switch (t->functor) {
    case kText:
      win_GetTextExtent(tab, reinterpret_cast<const wchar_t*>(t->payload), -1, w, h);
      *w += 10;
      *h += textExtra;
      return;
    case kBmp: {
      CheckUnsigned(t->payload);
      picture p = kwi::pictgetfromres(static_cast<uint32_t>(t->payload));
      int size = 0;
      pict_GetSize(p, w, h, &size);
      pict_Destroy(p);
      *w += 10;
      *h += 10;
      return;
    }
    default:
      *w = 42;
      *h = 42;
  }
}

bool Across(style s) { return s == style::top || s == style::bottom; }

// This tab's rectangle and the step to the next tab position.
rect_struct SheetRect(LONG_PTR tab, style s, const rect_struct& at, const kwiTabDlg::title* t,
                      int32_t* stepX, int32_t* stepY) {
  int32_t w = 0, h = 0;
  TitleSize(tab, t, &w, &h, 8);
  if (Across(s)) {
    *stepX = w;
    *stepY = 0;
    return {at.left, at.top, AddChecked(at.left, w), at.bottom};
  }
  *stepX = 0;
  *stepY = h;
  return {at.left, at.top, at.right, AddChecked(at.top, h)};
}

windef_list_struct* SheetDefinitions(const kwiTabDlg::sheet* s) {
  if (s->functor == kDyn) return reinterpret_cast<windef_list_struct*>(s->payload);
  CheckUnsigned(s->payload);
  return kwi::wingetresdialog(static_cast<uint32_t>(s->payload));
}

windef_list_struct* Cons(windef* d, windef_list_struct* next) {
  auto* c = static_cast<windef_list_struct*>(GStackAlloc(sizeof(windef_list_struct)));
  *c = {ListCons, d, next};
  return c;
}

// The controls of a definition list, moved by the offset, recorded for the sheet.
windef_list_struct* ScanWindefs(LONG_PTR tab, int32_t sheetId, int32_t dx, int32_t dy,
                                const windef_list_struct* list) {
  std::vector<windef*>* kept = new std::vector<windef*>();
  const uint32_t error = K::RunTrapped([&] {
    for (const windef_list_struct* l = list; l && l->functor == ListCons; l = l->next) {
      const windef* d = l->value;
      if (d->alt != wd_ctl && d->alt != wd_customctl) continue;
      const int flagsWord = d->alt == wd_ctl ? 2 : 3;
      const int idWord = d->alt == wd_ctl ? 1 : 2;
      const auto* def = reinterpret_cast<const wdef*>(d->w[0]);
      auto* moved = static_cast<wdef*>(GStackAlloc(sizeof(wdef)));
      *moved = *def;
      moved->rect = static_cast<rect_struct*>(GStackAlloc(sizeof(rect_struct)));
      *moved->rect = {AddChecked(def->rect->left, dx), AddChecked(def->rect->top, dy),
                      AddChecked(def->rect->right, dx), AddChecked(def->rect->bottom, dy)};
      std::vector<int64_t> created, remembered;
      kwiTabDlg::get_invisible_disable_and_visible_state(
          reinterpret_cast<const ilist_struct*>(d->w[flagsWord]), &created, &remembered);
      auto* copy = static_cast<windef*>(GStackAlloc(sizeof(windef)));
      *copy = *d;
      copy->w[0] = reinterpret_cast<LONG_PTR>(moved);
      copy->w[flagsWord] = reinterpret_cast<LONG_PTR>(FlagTerm(created));
      const int32_t id = static_cast<int32_t>(d->w[idWord]);
      Db().controls.insert(Db().controls.begin(), {tab, sheetId, id});
      Db().flags.push_back({tab, sheetId, id, std::move(remembered)});
      kept->push_back(copy);
    }
  });
  windef_list_struct* out = nullptr;
  if (!error) {
    out = static_cast<windef_list_struct*>(GStackAlloc(sizeof(windef_list_struct)));
    out->functor = ListNil;
    for (size_t i = kept->size(); i-- > 0;) out = Cons((*kept)[i], out);
  }
  delete kept;
  if (error) K::Errors::Qel_ErrorExit(error);
  return out;
}

// A sheet's field list goes to the data-entry dialog class; an empty one calls nothing.
static_assert(sizeof(kwiTabDlg::field_list) == sizeof(dlg::FieldList));
void SetDlgFields(LONG_PTR dialog, const kwiTabDlg::field_list* fields) {
  if (!fields || fields->functor != ListCons) return;
  kwiDialog::setFields(dialog, reinterpret_cast<const dlg::FieldList*>(fields));
}

void CreateSheets(LONG_PTR tab, int32_t dx, int32_t dy, const rect_struct& first, style s,
                  const kwiTabDlg::information_list* list) {
  rect_struct at = first;
  for (const auto* l = list; l && l->functor == ListCons; l = l->next) {
    const kwiTabDlg::information* info = l->value;
    const int32_t sheetId = static_cast<int32_t>(info->sheetId);
    int32_t stepX = 0, stepY = 0;
    const rect_struct r = SheetRect(tab, s, at, info->t, &stepX, &stepY);
    TabSheet entry{tab, sheetId, info->t->functor, L"", 0, r};
    if (info->t->functor == kText)
      entry.text = reinterpret_cast<const wchar_t*>(info->t->payload);
    else
      entry.resId = static_cast<int32_t>(info->t->payload);
    Db().sheets.push_back(std::move(entry));
    const windef_list_struct* defs = SheetDefinitions(info->s);
    windef_list_struct* controls = ScanWindefs(tab, sheetId, dx, dy, defs);
    const LONG_PTR parent = win_GetParent(tab);
    win_CreateDynControl(controls, parent);
    SetDlgFields(parent, info->fields);
    at = Offset(r, stepX, stepY);
  }
}

int32_t DivChecked(int32_t a, int32_t b) {
  if (b == 0 || (a == INT32_MIN && b == -1)) RaiseIntegerOverflow();
  return a / b;
}

// The sheets' offset in the dialog's units, from the tab control's place and the sheet area.
void SheetOffset(LONG_PTR tab, LONG_PTR dialog, const rect_struct& area, int32_t* dx, int32_t* dy) {
  const rect_struct outer = *win_GetOuterRect(tab);
  int bx = 0, by = 0;
  kwi_GetBaseUnits(&bx, &by);
  pnt_struct* ratio = nullptr;
  win_DialogRatio(dialog, &ratio);
  const int32_t px = ratio->x, py = ratio->y;
  *dx = DivChecked(MulChecked(AddChecked(DivChecked(MulChecked(outer.left, 4), bx),
                                         DivChecked(MulChecked(area.left, 4), bx)),
                              100),
                   px);
  *dy = DivChecked(MulChecked(AddChecked(DivChecked(MulChecked(outer.top, 8), by),
                                         DivChecked(MulChecked(area.top, 8), by)),
                              100),
                   py);
}

[[noreturn]] void RaiseCreate() { RaiseInternal(L"kwiTabDlg::create", L"create"); }

std::vector<uint8_t> FontBytes(const uint8_t* font) {
  if (!font) return {};
  uint32_t size = 0;
  memcpy(&size, font - 4, 4);
  return std::vector<uint8_t>(font - 4, font - 4 + std::max<uint32_t>(size, 4));
}

// enable(3,2) / show(4,1) elements from `l` on, as "[...]".
const wchar_t* ListText(const kwiTabDlg::enable_list* l) {
  std::wstring s = L"[";
  for (bool first = true; l && l->functor == ListCons; l = l->next, first = false) {
    if (!first) s += L",";
    s += l->value->functor == kEnable ? L"enable(" : L"show(";
    s += std::to_wstring(l->value->controlId) + L"," + std::to_wstring(l->value->value) + L")";
  }
  s += L"]";
  return HeapCopy((L"setState. Param = " + s).c_str());
}

// The flag to apply and the new remembered state; false when it cannot be applied.
bool ChangeFlag(LONG_PTR tab, int32_t sheetId, int32_t controlId, int64_t value, bool enable,
                int64_t* flag) {
  if (value != 0 && value != 1) return false;
  const ControlFlags* f = FindFlags(tab, sheetId, controlId);
  if (!f) return false;
  const int64_t on = enable ? kEnabled : kVisible, off = enable ? kDisabled : kInvisible;
  *flag = value == 1 ? on : off;
  const int64_t dropped = value == 1 ? off : on;
  std::vector<int64_t> next{*flag};
  for (int64_t v : f->flags)
    if (v != dropped) next.push_back(v);
  ReplaceFlags(tab, sheetId, controlId, std::move(next));
  return true;
}

// The tab control of `dialog` whose sheet holds `controlId`; false when none.
bool SheetOfControl(LONG_PTR dialog, int32_t controlId, LONG_PTR* tab, int32_t* sheetId) {
  for (size_t i = 0; i < Db().controls.size(); ++i) {
    const SheetControl c = Db().controls[i];
    if (c.controlId != controlId) continue;
    if (win_GetParent(c.tab) == dialog) {
      *tab = c.tab;
      *sheetId = c.sheetId;
      return true;
    }
  }
  return false;
}

void HideOtherSheets() {
  for (size_t i = 0; i < Db().current.size(); ++i) {
    const CurrentSheet cur = Db().current[i];
    const LONG_PTR dialog = win_GetParent(cur.tab);
    for (size_t j = 0; j < Db().controls.size(); ++j) {
      const SheetControl c = Db().controls[j];
      if (c.tab == cur.tab && c.sheetId != cur.sheetId)
        SetState(win_GetCtlHandle(dialog, c.controlId), kInvisible);
    }
  }
}

void InvalidateCurrentTab(LONG_PTR tab) {
  const TabWin* w = FindTabWin(tab);
  int32_t cur = 0;
  const TabSheet* s = nullptr;
  if (!w || !CurrentOf(tab, &cur) || !(s = FindSheet(tab, cur))) {
    EraseIf(Db().focus, [&](LONG_PTR t) { return t == tab; });
    K::Fail();
  }
  rect_struct r = DrawnRect(tab, w->st, cur, s->r);
  win_Invalidate_1(tab, &r);
}

}  // namespace

// --- Public operations ----------------------------------------------------------------

void kwiTabDlg::register_() {
  if (Db().registered) return;
  Db().Clear();
  class_Create(kClassName, ClassHandler());
  Db().registered = true;
}

void kwiTabDlg::unregister() {
  if (!Db().registered) return;
  class_Destroy(kClassName);
  Db().Clear();
}

void kwiTabDlg::create(LONG_PTR dialog, int32_t controlId, uint8_t* font, style s, LONG_PTR unread,
                       const information_list* sheets, int32_t initialSheet) {
  create(dialog, controlId, font, 0, s, unread, sheets, initialSheet);
}

void kwiTabDlg::create(LONG_PTR dialog, int32_t controlId, uint8_t* font, int32_t radio, style s,
                       LONG_PTR, const information_list* sheets, int32_t initialSheet) {
  if (!Db().registered) RaiseCreate();
  if (!sheets || sheets->functor != ListCons) RaiseCreate();
  const LONG_PTR tab = win_GetCtlHandle(dialog, controlId);
  if (std::find(Db().created.begin(), Db().created.end(), tab) == Db().created.end()) RaiseCreate();
  if (FindTabWin(tab)) RaiseCreate();
  win_SetFont(tab, font);
  int32_t width = 0, height = 0;
  tab_maxsize_sheettitle(tab, sheets, 0, 0, &width, &height);
  const rect_struct client = *win_GetClientRect(tab);
  CheckUnsigned(width);
  CheckUnsigned(height);
  const Layout l = tab_adjust(s, static_cast<uint32_t>(width), static_cast<uint32_t>(height), client);
  Db().tabwin.push_back({tab, dialog, controlId, FontBytes(font), radio, s,
                         static_cast<uint32_t>(width), static_cast<uint32_t>(height), l.row, l.area});
  rect_struct row = l.row;
  win_Invalidate_1(tab, &row);
  int32_t dx = 0, dy = 0;
  SheetOffset(tab, dialog, l.area, &dx, &dy);
  const PROLOG_EHANDLER_STRUCT h0 = DialogHandler(dialog);
  WithDummyHandler(dialog, h0, [&] { CreateSheets(tab, dx, dy, l.first, s, sheets); });
  SelectSheet(h0, tab, initialSheet);
  event_struct e{};
  e.kind = e_user;
  e.w[0] = kHideOthers;
  e.w[1] = kHideOthersTag;
  win_PostEvent(tab, &e);
}

void kwiTabDlg::select(LONG_PTR dialog, int32_t controlId, int32_t sheetId) {
  const LONG_PTR tab = win_GetCtlHandle(dialog, controlId);
  SelectSheet(DialogHandler(dialog), tab, sheetId);
}

int32_t kwiTabDlg::select(LONG_PTR dialog, int32_t controlId) {
  const LONG_PTR tab = win_GetCtlHandle(dialog, controlId);
  int32_t cur = 0;
  if (!CurrentOf(tab, &cur)) RaiseInternal(L"kwiTabDlg::select", L"select");
  return cur;
}

int32_t kwiTabDlg::getsheetid(LONG_PTR dialog, int32_t controlId) {
  LONG_PTR tab = 0;
  int32_t sheetId = 0;
  if (!SheetOfControl(dialog, controlId, &tab, &sheetId))
    RaiseInternal(L"kwiTabDlg::getsheetid", L"getSheetId");
  return sheetId;
}

bool kwiTabDlg::getsheetcontrols(LONG_PTR dialog, int32_t sheetId, Each<int32_t> k) {
  for (size_t i = 0; i < Db().controls.size(); ++i) {
    const SheetControl c = Db().controls[i];
    if (c.sheetId == sheetId && win_GetParent(c.tab) == dialog && TrySolution(k, c.controlId))
      return true;
  }
  return false;
}

void kwiTabDlg::setstate(LONG_PTR dialog, const enable_list* items) {
  for (const enable_list* l = items; l && l->functor == ListCons; l = l->next) {
    const enable_item* item = l->value;
    const int32_t controlId = static_cast<int32_t>(item->controlId);
    const LONG_PTR control = win_GetCtlHandle(dialog, controlId);
    LONG_PTR tab = 0;
    int32_t sheetId = 0;
    if (!SheetOfControl(dialog, controlId, &tab, &sheetId))
      RaiseInternal(L"kwiTabDlg::getsheetid", L"getSheetId");
    int64_t flag = 0;
    if (!ChangeFlag(tab, sheetId, controlId, item->value, item->functor == kEnable, &flag))
      RaiseInternal(L"kwiTabDlg::setstate", ListText(l));
    // A hidden sheet's control only records the change; showing the sheet applies it.
    if (IsCurrent(tab, sheetId)) SetState(control, flag);
  }
}

LONG_PTR kwiTabDlg::_dummy_eh(LONG_PTR, event_struct*) { K::Fail(); }

LONG_PTR kwiTabDlg::_tabdlg_eh(LONG_PTR tab, event_struct* e) {
  switch (e->kind) {
    case e_user:
      if (e->w[0] != kHideOthers || e->w[1] != kHideOthersTag) K::Fail();
      HideOtherSheets();
      return 0;
    case e_create:
      Db().created.push_back(tab);
      return 0;
    case e_update:
      win_Clear_0(tab, FaceColour());
      DrawFrame(tab);
      DrawTabs(tab);
      return 0;
    case e_size:
      ComputeFrame(tab);
      win_Invalidate_0(tab);
      return 0;
    case e_mousedown: {
      auto* p = reinterpret_cast<pnt_struct*>(e->w[0]);
      for (size_t i = 0; i < Db().sheets.size(); ++i) {
        const TabSheet& s = Db().sheets[i];
        const rect_struct r = s.r;
        if (s.tab != tab || p->x < r.left || p->x > r.right || p->y < r.top || p->y > r.bottom)
          continue;
        const int32_t sheetId = s.sheetId;
        SelectSheet(DialogHandler(win_GetParent(tab)), tab, sheetId);
        return 0;
      }
      K::Fail();
    }
    case e_char: {
      int32_t next = 0;
      const Neighbour n = ChangeSheet(tab, e->w[0], &next);
      if (n == Neighbour::lost) RaiseInternal(L"kwiTabDlg::get_prev_sheet", L"get_prev_sheet");
      if (n == Neighbour::none) K::Fail();
      SelectSheet(DialogHandler(win_GetParent(tab)), tab, next);
      win_SetFocus(tab);
      return 0;
    }
    case e_getfocus:
      Db().focus.push_back(tab);
      InvalidateCurrentTab(tab);
      return 0;
    case e_losefocus: {
      auto& f = Db().focus;
      auto it = std::find(f.begin(), f.end(), tab);
      if (it == f.end()) K::Fail();
      f.erase(it);
      InvalidateCurrentTab(tab);
      return 0;
    }
    case e_destroy: {
      Tables& t = Db();
      EraseIf(t.created, [&](LONG_PTR w) { return w == tab; });
      EraseIf(t.tabwin, [&](const TabWin& w) { return w.tab == tab; });
      EraseIf(t.sheets, [&](const TabSheet& s) { return s.tab == tab; });
      EraseIf(t.controls, [&](const SheetControl& c) { return c.tab == tab; });
      EraseIf(t.flags, [&](const ControlFlags& c) { return c.tab == tab; });
      EraseIf(t.current, [&](const CurrentSheet& c) { return c.tab == tab; });
      EraseIf(t.focus, [&](LONG_PTR w) { return w == tab; });
      return 0;
    }
    case e_erasebackground:
      return 0;
    default:
      K::Fail();
  }
}

// --- Layout and state rules -----------------------------------------------------------

kwiTabDlg::Layout kwiTabDlg::tab_adjust(style s, uint32_t width, uint32_t height,
                                        const rect_struct& c) {
  const int32_t W = static_cast<int32_t>(width), H = static_cast<int32_t>(height);
  switch (s) {
    case style::top:
      return {{c.left, c.top, c.right, AddChecked(c.top, H)},
              {c.left, AddChecked(c.top, H), c.right, c.bottom},
              {c.left, c.top, AddChecked(c.left, W), AddChecked(c.top, H)}};
    case style::bottom:
      return {{c.left, SubChecked(c.bottom, H), c.right, c.bottom},
              {c.left, c.top, c.right, SubChecked(c.bottom, H)},
              {c.left, SubChecked(c.bottom, H), AddChecked(c.left, W), c.bottom}};
    case style::left:
      return {{c.left, c.top, AddChecked(c.left, W), c.bottom},
              {AddChecked(c.left, W), c.top, c.right, c.bottom},
              {c.left, c.top, AddChecked(c.left, W), AddChecked(c.top, H)}};
    case style::right:
      return {{SubChecked(c.right, W), c.top, c.right, c.bottom},
              {c.left, c.top, SubChecked(c.right, W), c.bottom},
              {SubChecked(c.right, W), c.top, c.right, AddChecked(c.top, H)}};
  }
  RaiseInternal(L"kwiTabDlg::tab_adjust", L"tab_adjust");
}

void kwiTabDlg::tab_maxsize_sheettitle(LONG_PTR tab, const information_list* sheets,
                                       int32_t startWidth, int32_t startHeight, int32_t* width,
                                       int32_t* height) {
  int32_t W = startWidth, H = startHeight;
  for (const information_list* l = sheets; l && l->functor == ListCons; l = l->next) {
    int32_t w = 0, h = 0;
    TitleSize(tab, l->value->t, &w, &h, 8);
    W = std::max(W, w);
    H = std::max(H, h);
  }
  *width = W;
  *height = H;
}

void kwiTabDlg::get_invisible_disable_and_visible_state(const ilist_struct* flags,
                                                        std::vector<int64_t>* created,
                                                        std::vector<int64_t>* remembered) {
  *remembered = {kVisible, kEnabled};
  created->clear();
  auto drop = [&](int64_t v) {
    remembered->erase(std::remove(remembered->begin(), remembered->end(), v), remembered->end());
  };
  for (const ilist_struct* l = flags; l && l->functor == ListCons; l = l->next) {
    const int64_t f = l->value;
    if (f == kInvisible || f == kVisible) drop(kVisible);
    if (f == kEnabled || f == kDisabled) drop(kEnabled);
    // A disabled flag neither disables the control nor stays remembered.
    if (f != kDisabled) created->push_back(f);
  }
}

bool kwiTabDlg::rememberedstate(LONG_PTR tab, int32_t sheetId, int32_t controlId,
                                std::vector<int64_t>* flags) {
  const ControlFlags* f = FindFlags(tab, sheetId, controlId);
  if (!f) return false;
  *flags = f->flags;
  return true;
}

bool kwiTabDlg::tabrect(LONG_PTR tab, int32_t sheetId, rect_struct* r) {
  const TabSheet* s = FindSheet(tab, sheetId);
  if (!s) return false;
  *r = s->r;
  return true;
}

bool kwiTabDlg::hasentries(LONG_PTR tab) {
  const Tables& t = Db();
  auto is = [&](LONG_PTR w) { return w == tab; };
  return std::any_of(t.created.begin(), t.created.end(), is) || FindTabWin(tab) ||
         std::any_of(t.sheets.begin(), t.sheets.end(), [&](const TabSheet& s) { return s.tab == tab; }) ||
         std::any_of(t.controls.begin(), t.controls.end(), [&](const SheetControl& c) { return c.tab == tab; }) ||
         std::any_of(t.flags.begin(), t.flags.end(), [&](const ControlFlags& c) { return c.tab == tab; }) ||
         std::any_of(t.current.begin(), t.current.end(), [&](const CurrentSheet& c) { return c.tab == tab; }) ||
         std::any_of(t.focus.begin(), t.focus.end(), is);
}

}  // namespace tav
