// Dialog and menu templates from the GUI layer's window-definition and menu
// terms.  A template is assembled whole before anything is written: a
// refused definition (codes 6004 and 6001, a template beyond 65,536 bytes,
// a coordinate beyond 16 bits) writes nothing.
#include <iterator>

#include "writer.h"

namespace QelResource {

using namespace detail;

constexpr uint32_t WS_POPUP_ = 0x80000000, WS_CHILD_ = 0x40000000, WS_VISIBLE_ = 0x10000000,
                   WS_DISABLED_ = 0x08000000, WS_CLIPSIBLINGS_ = 0x04000000, WS_CLIPCHILDREN_ = 0x02000000,
                   WS_CAPTION_ = 0x00C00000, WS_BORDER_ = 0x00800000, WS_VSCROLL_ = 0x00200000,
                   WS_HSCROLL_ = 0x00100000, WS_SYSMENU_ = 0x00080000, WS_THICKFRAME_ = 0x00040000,
                   WS_GROUP_ = 0x00020000, WS_MINIMIZEBOX_ = 0x00020000, WS_TABSTOP_ = 0x00010000,
                   WS_MAXIMIZEBOX_ = 0x00010000, DS_MODALFRAME_ = 0x80, DS_SETFONT_ = 0x40;
constexpr size_t kMaxTemplate = 65536;

// Why a definition was refused (0: it was not).
enum Refusal : uint32_t { kAccepted = 0, kBadWindowType = 6001, kBadElement = 6004, kTooLarge = 6004 + 0x10000 };

static void SetLowWord(uint32_t& style, uint32_t v) { style = (style & 0xFFFF0000u) | v; }

// The style of a dialog from its window type and flags; 6001 for flag 69 on a modal dialog.
static uint32_t DialogStyle(int type, ilist_struct* flags, bool font, Refusal* refusal) {
  uint32_t style = WS_POPUP_ | WS_VISIBLE_ | (type == wt_modal ? DS_MODALFRAME_ : WS_BORDER_);
  bool raw = false;
  for (ilist_struct* l = flags; l && l->functor == ListCons; l = l->next) {
    uint32_t v = static_cast<uint32_t>(l->value);
    if (raw) {
      style |= v;
      continue;
    }
    switch (l->value) {
      case 0: raw = true; break;
      case 2: style |= WS_THICKFRAME_; break;
      case 4: style |= WS_SYSMENU_; break;
      case 5: style |= WS_MAXIMIZEBOX_; break;
      case 6: style |= WS_MINIMIZEBOX_; break;
      case 7: style |= WS_HSCROLL_; break;
      case 8: style |= WS_VSCROLL_; break;
      case 9: style |= WS_CAPTION_; break;
      case 10: style |= WS_VISIBLE_; break;
      case 11: style &= ~WS_VISIBLE_; break;
      case 12: style |= WS_DISABLED_; break;
      case 17: style |= WS_CLIPCHILDREN_; break;
      case 18: style |= WS_CLIPSIBLINGS_; break;
      case 69:
        if (type == wt_modal) *refusal = kBadWindowType;
        style = (style & ~WS_POPUP_) | WS_CHILD_;
        break;
      default: break;
    }
  }
  return font ? style | DS_SETFONT_ : style;
}

// A type's own flag: the bits it adds, or a new low word.
struct FlagRule {
  int flag;
  uint32_t bits;
  bool setsLowWord;
};

constexpr FlagRule kEditRules[] = {{7, WS_HSCROLL_, false}, {8, WS_VSCROLL_, false}, {27, 0x0800, false},
  {28, 0x0004, false}, {31, 0, false}, {32, 0x0001, false}, {33, 0x0002, false}, {42, 0x0008, false},
  {43, 0x0010, false}, {44, 0x0020, false}, {45, 0x0040, false}, {46, 0x0080, false}, {47, 0x0100, false},
  {48, 0x0400, false}, {49, 0x1000, false}};
constexpr FlagRule kTextRules[] = {{31, 0, true}, {32, 1, true}, {33, 2, true}, {39, 0x0B, true},
  {40, 0x0C, true}, {41, 0x80, false}, {62, 4, true}, {63, 5, true}, {64, 6, true}, {65, 7, true},
  {66, 8, true}, {67, 9, true}};
constexpr FlagRule kListRules[] = {{7, WS_HSCROLL_, false}, {8, WS_VSCROLL_, false}, {29, 0x0008, false},
  {30, 0x0200, false}, {35, 0x0010, false}, {53, 0x0002, false}, {54, 0x0004, false}, {55, 0x0020, false},
  {56, 0x0040, false}, {57, 0x0080, false}, {58, 0x0100, false}, {59, 0x0400, false}, {60, 0x0800, false},
  {61, 0x1000, false}};
constexpr FlagRule kComboRules[] = {{8, WS_VSCROLL_, false}, {35, 0x0010, false}, {46, 0x0040, false},
  {53, 0x0100, false}, {55, 0x0020, false}, {56, 0x0200, false}, {58, 0x0400, false}, {61, 0x0800, false},
  {48, 0x0080, false}};  // the last rule: list edit only
constexpr FlagRule kPushRules[] = {{23, 1, true}};
constexpr FlagRule kRadioRules[] = {{51, 9, true}};
constexpr FlagRule kCheckRules[] = {{50, 5, true}, {51, 3, true}, {68, 6, true}};
constexpr FlagRule kCustomRules[] = {{1, WS_BORDER_, false}, {7, WS_HSCROLL_, false}, {8, WS_VSCROLL_, false}};

struct ControlKind {
  uint16_t classNumber;  // 0: none (custom)
  uint32_t base;         // added to the start style
  bool baseSetsLowWord;
  const FlagRule* rules;
  size_t ruleCount;
};

template <size_t N>
constexpr ControlKind Kind(uint16_t cls, uint32_t base, bool low, const FlagRule (&rules)[N], size_t n = N) {
  return {cls, base, low, rules, n};
}
constexpr ControlKind Kind(uint16_t cls, uint32_t base, bool low) { return {cls, base, low, nullptr, 0}; }

// Window types 8 to 20.
static const ControlKind kControlKinds[] = {
    Kind(0x80, 0, false, kPushRules),                              // 8 push button
    Kind(0x80, 4, true, kRadioRules),                              // 9 radio button
    Kind(0x80, 2, true, kCheckRules),                              // 10 check box
    Kind(0x84, 0, false),                                          // 11 horizontal scroll bar
    Kind(0x84, 1, false),                                          // 12 vertical scroll bar
    Kind(0x81, WS_BORDER_, false, kEditRules),                     // 13 edit
    Kind(0x82, 0, false, kTextRules),                              // 14 static text
    Kind(0x83, WS_BORDER_ | 1, false, kListRules),                 // 15 list box
    Kind(0x85, 3, false, kComboRules, std::size(kComboRules) - 1), // 16 list button
    Kind(0x85, 2, false, kComboRules),                             // 17 list edit
    Kind(0x80, 7, false),                                          // 18 group box
    Kind(0x82, 3, false),                                          // 19 icon
    Kind(0, 0, false, kCustomRules),                               // 20 custom
};

struct ControlStyle {
  uint32_t style;
  uint32_t extended;
};

static ControlStyle ControlStyleOf(int type, const ControlKind& kind, ilist_struct* flags, bool custom) {
  ControlStyle s{type == wt_groupbox ? 0x50000000u : 0x54000000u, 0};
  if (kind.baseSetsLowWord)
    SetLowWord(s.style, kind.base);
  else
    s.style |= kind.base;
  bool raw = false, flag34 = false, flag35 = false;
  bool noTabs = type == wt_text || type == wt_groupbox;
  for (ilist_struct* l = flags; l && l->functor == ListCons; l = l->next) {
    intptr_t f = l->value;
    if (raw) {
      s.style |= static_cast<uint32_t>(f);
      continue;
    }
    if (f == 0) raw = true;
    else if (f == 11) s.style &= ~WS_VISIBLE_;
    else if (f == 12) s.style |= WS_DISABLED_;
    else if (f == 18) s.style |= WS_CLIPSIBLINGS_;
    else if (f == 25 && !noTabs) s.style |= WS_GROUP_;
    else if (f == 26 && !noTabs) s.style |= WS_TABSTOP_;
    else if (f == 70) s.style &= ~WS_CLIPSIBLINGS_;
    else if (f == 38 && (type == wt_edit || type == wt_listbox)) s.style &= ~WS_BORDER_;
    else if (f == 52 && type == wt_listbox) s.style &= ~1u;
    else if (f == 19 && custom) s.extended |= 0x08;
    else if (f == 20 && custom) s.extended |= 0x20;
    else if (f == 34) flag34 = true;
    else if (f == 35 && type >= wt_pushbutton && type <= wt_checkbox) flag35 = true;
    else
      for (size_t i = 0; i < kind.ruleCount; ++i)
        if (kind.rules[i].flag == f) {
          if (kind.rules[i].setsLowWord)
            SetLowWord(s.style, kind.rules[i].bits);
          else
            s.style |= kind.rules[i].bits;
          break;
        }
  }
  if (flag35) SetLowWord(s.style, 0x0B);
  if (flag34 && (type == wt_radiobutton || type == wt_checkbox)) s.style |= 0x20;
  return s;
}

// The rectangle in dialog units as x, y, cx, cy; false when one does not fit 16 bits.
static bool PutRect(Bytes& out, const wdef* w) {
  rect_struct r = w->rect ? *w->rect : rect_struct{0, 0, 0, 0};
  if (w->dlgUnits == 0) XZEV_ConvertPixels2Dlg(&r);
  const int64_t v[4] = {r.left, r.top, int64_t{r.right} - r.left, int64_t{r.bottom} - r.top};
  for (int64_t x : v) {
    if (x < INT16_MIN || x > INT16_MAX) return false;
    out.U16(static_cast<uint16_t>(x));
  }
  return true;
}

static Refusal PutControl(Bytes& out, const windef* d) {
  if (!d || (d->alt != wd_icon && d->alt != wd_ctl && d->alt != wd_customctl)) return kBadElement;
  const auto* w = reinterpret_cast<const wdef*>(d->w[0]);
  if (!w || w->type < wt_pushbutton || w->type > wt_custom) return kBadWindowType;
  bool custom = d->alt == wd_customctl;
  // icon(wdef, id, iconId, flags), ctl(wdef, id, flags), customctl(wdef, class, id, flags)
  LONG_PTR id = custom ? d->w[2] : d->w[1];
  auto* flags = reinterpret_cast<ilist_struct*>(d->alt == wd_ctl ? d->w[2] : d->w[3]);
  const ControlKind& kind = kControlKinds[w->type - wt_pushbutton];
  ControlStyle s = ControlStyleOf(w->type, kind, flags, custom);
  out.U32(s.style);
  out.U32(custom ? s.extended : 0);
  if (!PutRect(out, w)) return kBadWindowType;
  out.U16(static_cast<uint16_t>(id));
  if (custom) {
    out.String(reinterpret_cast<const u16*>(d->w[1]));
  } else {
    out.U16(0xFFFF);
    out.U16(kind.classNumber);
  }
  if (d->alt == wd_icon) {
    out.U16(0xFFFF);
    out.U16(static_cast<uint16_t>(d->w[2]));
  } else {
    out.String(w->title);
  }
  out.U16(0);  // creation data
  out.Pad4();
  return kAccepted;
}

// The template of a definition list in `out`, or why it was refused.
static Refusal BuildDialog(Bytes& out, windef_list_struct* list) {
  if (!list || list->functor != ListCons || !list->value) return kBadElement;
  const windef* head = list->value;
  if (head->alt != wd_dlg && head->alt != wd_dlgfont) return kBadElement;
  bool font = head->alt == wd_dlgfont;
  const auto* w = reinterpret_cast<const wdef*>(head->w[0]);
  if (!w) return kBadElement;
  Refusal refusal = kAccepted;
  uint32_t style = DialogStyle(w->type, reinterpret_cast<ilist_struct*>(font ? head->w[3] : head->w[1]), font,
                               &refusal);
  if (refusal) return refusal;
  out.U32(style);
  out.U32(0);
  size_t countAt = out.size;
  out.U16(0);
  if (!PutRect(out, w)) return kBadWindowType;
  out.U16(0);  // menu
  out.U16(0);  // class
  out.String(w->title);
  if (font) {
    out.U16(static_cast<uint16_t>(head->w[2]));
    out.String(reinterpret_cast<const u16*>(head->w[1]));
  }
  out.Pad4();
  uint32_t count = 0;
  for (windef_list_struct* l = list->next; l && l->functor == ListCons; l = l->next) {
    if (Refusal r = PutControl(out, l->value)) return r;
    if (out.size > kMaxTemplate) return kTooLarge;
    ++count;
  }
  if (out.size > kMaxTemplate || count > 0xFFFF) return kTooLarge;
  out.Patch16(countAt, static_cast<uint16_t>(count));
  return kAccepted;
}

void gen_dialog(windef_list_struct* definition, unsigned id, const u16* name) {
  if (!BeginCall()) return;
  Bytes& tmpl = g_writer.read;
  if (BuildDialog(tmpl, definition) != kAccepted || tmpl.failed) return;
  PutHeader(g_writer.out, static_cast<uint32_t>(tmpl.size), Ordinal(rt_dialog), IdOrName(id, name),
            kDiscardableMoveablePure);
  g_writer.out.Raw(tmpl.data, tmpl.size);
  CommitCall();
}

// Menu items that the template can hold: text items and separators.
static bool Writable(const menu_item* m) { return m && (m->functor == 1 || m->functor == 3); }

static menu_item_list_struct* SubItems(const menu_item* m) {
  return m->functor == 1 ? reinterpret_cast<menu_item_list_struct*>(m->w[5]) : nullptr;
}

static bool HasWritable(menu_item_list_struct* l) {
  for (; l && l->functor == ListCons; l = l->next)
    if (Writable(l->value)) return true;
  return false;
}

// The items of a list; the last written one carries the end bit.
static void PutMenuItems(Bytes& out, menu_item_list_struct* list, int depth) {
  menu_item_list_struct* last = nullptr;
  for (menu_item_list_struct* l = list; l && l->functor == ListCons; l = l->next)
    if (Writable(l->value)) last = l;
  for (menu_item_list_struct* l = list; l && l->functor == ListCons; l = l->next) {
    const menu_item* m = l->value;
    if (!Writable(m)) continue;
    uint16_t option = l == last ? 0x0080 : 0;
    if (m->functor == 3) {  // separator
      out.U16(option);
      out.U16(0);
      out.U16(0);
      continue;
    }
    // txt(id, text, accelerator, enabled, state, subitems)
    const u16* text = reinterpret_cast<const u16*>(m->w[1]);
    if (!m->w[3]) option |= 0x0003;
    if (m->w[4] & 1) option |= 0x0008;
    if (m->w[4] & 2) option |= 0x4000;
    if (text && text[0] == L'|') {
      option |= 0x0020;
      ++text;
    }
    menu_item_list_struct* sub = SubItems(m);
    if (HasWritable(sub)) {
      out.U16(option | 0x0010);
      out.String(text);
      PutMenuItems(out, sub, depth + 1);
    } else {
      out.U16(depth == 0 ? option | 0x0400 : option);
      out.U16(static_cast<uint16_t>(m->w[0]));
      out.String(text);
    }
  }
}

void gen_menu(menu_struct* menu, unsigned id, const u16* name) {
  if (!BeginCall() || !menu || menu->functor != 2) return;
  auto* items = reinterpret_cast<menu_item_list_struct*>(menu->value);
  if (!HasWritable(items)) return;
  Bytes& tmpl = g_writer.read;
  tmpl.U32(0);  // version and header size
  PutMenuItems(tmpl, items, 0);
  if (tmpl.failed || tmpl.size > UINT32_MAX) return;
  PutHeader(g_writer.out, static_cast<uint32_t>(tmpl.size), Ordinal(rt_menu), IdOrName(id, name),
            kDiscardableMoveablePure);
  g_writer.out.Raw(tmpl.data, tmpl.size);
  g_writer.out.Pad4();
  CommitCall();
}

}  // namespace QelResource
