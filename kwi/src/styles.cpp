// Style flag lists to Win32 styles and back; control classes and types.
#include "kwi.h"

#include <cwchar>

namespace QEL_KWI::detail {

static const DWORD kWindowEx[14] = {
    WS_EX_ACCEPTFILES, WS_EX_CLIENTEDGE,     WS_EX_CONTEXTHELP, WS_EX_CONTROLPARENT,
    WS_EX_DLGMODALFRAME, 0,                  WS_EX_LEFTSCROLLBAR, WS_EX_MDICHILD,
    WS_EX_NOPARENTNOTIFY, WS_EX_RIGHT,       0,                 WS_EX_STATICEDGE,
    WS_EX_TOOLWINDOW,  WS_EX_WINDOWEDGE};

void WindowFlagsToStyles(const wsflags_struct* flags, DWORD* style, DWORD* exStyle) {
  DWORD s = WS_VISIBLE, x = 0;
  for (const wsflags_struct* c = flags; c && c->functor == ListCons; c = c->next) {
    uint32_t f = static_cast<uint32_t>(c->value);
    switch (f) {
      case 1: s |= WS_BORDER; break;
      case 2: s |= WS_THICKFRAME; break;
      case 3: s |= WS_DLGFRAME; break;
      case 4: s |= WS_SYSMENU; break;
      case 5: s |= WS_MAXIMIZEBOX; break;
      case 6: s |= WS_MINIMIZEBOX; break;
      case 7: s |= WS_HSCROLL; break;
      case 8: s |= WS_VSCROLL; break;
      case 9: s |= WS_CAPTION; break;
      case 11: s &= ~WS_VISIBLE; break;
      case 12: s |= WS_DISABLED; break;
      case 13: s &= ~WS_DISABLED; break;
      case 14: s |= WS_MAXIMIZE; break;
      case 15: s |= WS_MINIMIZE; break;
      case 16: s &= ~(WS_MAXIMIZE | WS_MINIMIZE); break;
      case 17: s |= WS_CLIPCHILDREN; break;
      case 18: s |= WS_CLIPSIBLINGS; break;
      case 19: x |= WS_EX_TOPMOST; break;
      case 20: x |= WS_EX_TRANSPARENT; break;
      case 70: s &= ~WS_CLIPSIBLINGS; break;
      case 0x80000000u: s |= WS_POPUP; break;
      default:
        if (f >= 71 && f <= 84) x |= kWindowEx[f - 71];
        break;
    }
  }
  *style = s;
  *exStyle = x;
}

static void SetKind(DWORD* s, DWORD kind) { *s = (*s & 0xFFFF0000u) | kind; }

ControlStyle ControlFlagsToStyles(int type, const wsflags_struct* flags) {
  ControlStyle r{WS_CHILD | WS_VISIBLE, 0, false, false};
  if (type < wt_pushbutton || type > wt_custom) {
    r.style |= WS_CLIPSIBLINGS;
    return r;
  }
  if (type != wt_groupbox) r.style |= WS_CLIPSIBLINGS;
  DWORD& s = r.style;
  switch (type) {
    case wt_radiobutton: s |= BS_RADIOBUTTON; break;
    case wt_checkbox: s |= BS_CHECKBOX; break;
    case wt_vscroll: s |= SBS_VERT; break;
    case wt_edit: s |= WS_BORDER; break;
    case wt_listbox: s |= WS_BORDER | LBS_NOTIFY; break;
    case wt_listbutton: s |= CBS_DROPDOWNLIST; break;
    case wt_listedit: s |= CBS_DROPDOWN; break;
    case wt_groupbox: s |= BS_GROUPBOX; break;
    case wt_icon: s |= SS_ICON; break;
    default: break;
  }
  const bool button = type >= wt_pushbutton && type <= wt_checkbox;
  const bool edit = type == wt_edit, list = type == wt_listbox, text = type == wt_text;
  const bool combo = type == wt_listbutton || type == wt_listedit;
  const bool custom = type == wt_custom;
  bool raw = false, ownerDraw = false, leftText = false;
  for (const wsflags_struct* c = flags; c && c->functor == ListCons; c = c->next) {
    uint32_t f = static_cast<uint32_t>(c->value);
    if (raw) {
      s |= f;
      continue;
    }
    if (f >= 85 || (f >= 71 && !custom)) continue;
    switch (f) {
      case 0: raw = true; break;
      case 1: if (custom) s |= WS_BORDER; break;
      case 7: if (edit || list || custom) s |= WS_HSCROLL; break;
      case 8: if (edit || list || combo || custom) s |= WS_VSCROLL; break;
      case 11: s &= ~WS_VISIBLE; break;
      case 12: s |= WS_DISABLED; break;
      case 18: s |= WS_CLIPSIBLINGS; break;
      case 19: if (custom) r.exStyle |= WS_EX_TOPMOST; break;
      case 20: if (custom) r.exStyle |= WS_EX_TRANSPARENT; break;
      case 22: if (type == wt_radiobutton || type == wt_checkbox) r.checked = true; break;
      case 23: if (type == wt_pushbutton) SetKind(&s, BS_DEFPUSHBUTTON); break;
      case 25: if (!text && type != wt_groupbox) s |= WS_GROUP; break;
      case 26: if (!text && type != wt_groupbox) s |= WS_TABSTOP; break;
      case 27: if (edit) { s |= ES_READONLY; r.readOnly = true; } break;
      case 28: if (edit) s |= ES_MULTILINE; break;
      case 29: if (list) s |= LBS_MULTIPLESEL; break;
      case 30: if (list) s |= LBS_MULTICOLUMN; break;
      case 31: case 32: case 33: {
        static const DWORD e[3] = {ES_LEFT, ES_CENTER, ES_RIGHT};
        static const DWORD t[3] = {SS_LEFT, SS_CENTER, SS_RIGHT};
        if (edit) s |= e[f - 31];
        else if (text) SetKind(&s, t[f - 31]);
        break;
      }
      case 34: if (type == wt_radiobutton || type == wt_checkbox) leftText = true; break;
      case 35:
        if (button) ownerDraw = true;
        else if (list) s |= LBS_OWNERDRAWFIXED;
        else if (combo) s |= CBS_OWNERDRAWFIXED;
        break;
      case 38: if (edit || list) s &= ~WS_BORDER; break;
      case 39: if (text) SetKind(&s, SS_SIMPLE); break;
      case 40: if (text) SetKind(&s, SS_LEFTNOWORDWRAP); break;
      case 41: if (text) s |= SS_NOPREFIX; break;
      case 42: case 43: case 44: case 45: case 46: case 47: case 48: case 49: {
        static const DWORD e[8] = {ES_UPPERCASE, ES_LOWERCASE, ES_PASSWORD, ES_AUTOVSCROLL,
                                   ES_AUTOHSCROLL, ES_NOHIDESEL, ES_OEMCONVERT, ES_WANTRETURN};
        if (edit) s |= e[f - 42];
        else if (combo && f == 46) s |= CBS_AUTOHSCROLL;
        else if (type == wt_listedit && f == 48) s |= CBS_OEMCONVERT;
        break;
      }
      case 50: if (type == wt_checkbox) SetKind(&s, BS_3STATE); break;
      case 51:
        if (type == wt_radiobutton) SetKind(&s, BS_AUTORADIOBUTTON);
        else if (type == wt_checkbox) SetKind(&s, BS_AUTOCHECKBOX);
        break;
      case 52: if (list) s &= ~LBS_NOTIFY; break;
      case 53: case 54: case 55: case 56: case 57: case 58: case 59: case 60: case 61: {
        static const DWORD l[9] = {LBS_SORT, LBS_NOREDRAW, LBS_OWNERDRAWVARIABLE,
                                   LBS_HASSTRINGS, LBS_USETABSTOPS, LBS_NOINTEGRALHEIGHT,
                                   LBS_WANTKEYBOARDINPUT, LBS_EXTENDEDSEL, LBS_DISABLENOSCROLL};
        static const DWORD cb[9] = {CBS_SORT, 0, CBS_OWNERDRAWVARIABLE, CBS_HASSTRINGS, 0,
                                    CBS_NOINTEGRALHEIGHT, 0, 0, CBS_DISABLENOSCROLL};
        if (list) s |= l[f - 53];
        else if (combo) s |= cb[f - 53];
        break;
      }
      case 62: case 63: case 64: case 65: case 66: case 67: {
        static const DWORD k[6] = {SS_BLACKRECT, SS_GRAYRECT, SS_WHITERECT,
                                   SS_BLACKFRAME, SS_GRAYFRAME, SS_WHITEFRAME};
        if (text) SetKind(&s, k[f - 62]);
        break;
      }
      case 68: if (type == wt_checkbox) SetKind(&s, BS_AUTO3STATE); break;
      case 70: s &= ~WS_CLIPSIBLINGS; break;
      default:
        if (f >= 71 && f <= 84) r.exStyle |= kWindowEx[f - 71];
        break;
    }
  }
  if (ownerDraw) SetKind(&s, BS_OWNERDRAW);
  if (leftText) s |= BS_LEFTTEXT;
  if (!custom) r.exStyle = 0;
  return r;
}

wsflags_struct* StylesToFlags(int ordinal, DWORD style, DWORD exStyle) {
  wsflags_struct* l = EmptyList();
  auto add = [&](LONG_PTR f) { l = Push(l, f); };
  switch (ordinal) {
    case 0x80: {
      if (style & BS_LEFTTEXT) add(34);
      switch (style & 0xF) {
        case BS_DEFPUSHBUTTON: add(23); break;
        case BS_AUTOCHECKBOX: case BS_AUTORADIOBUTTON: add(51); break;
        case BS_3STATE: add(50); break;
        case BS_AUTO3STATE: add(68); break;
        case BS_OWNERDRAW: add(35); break;
        default: break;
      }
      break;
    }
    case 0x81: {
      DWORD a = style & 3;
      add(a == ES_CENTER ? 32 : a == ES_RIGHT ? 33 : 31);
      static const struct { DWORD bit; int flag; } e[] = {
          {ES_MULTILINE, 28}, {ES_AUTOVSCROLL, 45}, {ES_AUTOHSCROLL, 46}, {WS_VSCROLL, 8},
          {WS_HSCROLL, 7},    {ES_PASSWORD, 44},    {ES_NOHIDESEL, 47},   {ES_OEMCONVERT, 48},
          {ES_WANTRETURN, 49}};
      for (auto& x : e)
        if (style & x.bit) add(x.flag);
      if (!(style & WS_BORDER)) add(38);
      if (style & ES_UPPERCASE) add(42);
      if (style & ES_LOWERCASE) add(43);
      if (style & ES_READONLY) add(27);
      break;
    }
    case 0x82: {
      if (style & SS_NOPREFIX) add(41);
      switch (style & SS_TYPEMASK) {
        case SS_LEFT: add(31); break;
        case SS_CENTER: add(32); break;
        case SS_RIGHT: add(33); break;
        case SS_BLACKRECT: add(62); break;
        case SS_GRAYRECT: add(63); break;
        case SS_WHITERECT: add(64); break;
        case SS_BLACKFRAME: add(65); break;
        case SS_GRAYFRAME: add(66); break;
        case SS_WHITEFRAME: add(67); break;
        case SS_SIMPLE: add(39); break;
        case SS_LEFTNOWORDWRAP: add(40); break;
        default: break;
      }
      break;
    }
    case 0x83: {
      if (style & LBS_MULTIPLESEL) add(29);
      if (style & LBS_EXTENDEDSEL) add(60);
      if (style & LBS_OWNERDRAWFIXED) add(35);
      if (style & LBS_OWNERDRAWVARIABLE) add(55);
      if (style & LBS_HASSTRINGS) add(56);
      if (!(style & WS_BORDER)) add(38);
      if (style & LBS_SORT) add(53);
      if (!(style & LBS_NOTIFY)) add(52);
      if (style & LBS_MULTICOLUMN) add(30);
      if (style & WS_HSCROLL) add(7);
      if (style & WS_VSCROLL) add(8);
      if (style & LBS_NOREDRAW) add(54);
      if (style & LBS_USETABSTOPS) add(57);
      if (style & LBS_WANTKEYBOARDINPUT) add(59);
      if (style & LBS_DISABLENOSCROLL) add(61);
      if (style & LBS_NOINTEGRALHEIGHT) add(58);
      break;
    }
    case 0x84: break;
    case 0x85: {
      if (style & CBS_OWNERDRAWFIXED) add(35);
      if (style & CBS_OWNERDRAWVARIABLE) add(55);
      if (style & CBS_HASSTRINGS) add(56);
      if (style & CBS_SORT) add(53);
      if (style & WS_VSCROLL) add(8);
      if (style & CBS_NOINTEGRALHEIGHT) add(58);
      if (style & CBS_AUTOHSCROLL) add(46);
      if (style & CBS_DISABLENOSCROLL) add(61);
      if ((style & 3) == CBS_DROPDOWN && (style & CBS_OEMCONVERT)) add(48);
      break;
    }
    default:
      // The raw part is read last: pushed first, it ends the list.
      add(static_cast<LONG_PTR>(static_cast<int32_t>(style & 0xA37CFFFFu)));
      add(0);
      if (style & WS_BORDER) add(1);
      break;
  }
  if (exStyle & WS_EX_TOPMOST) add(19);
  if (exStyle & WS_EX_TRANSPARENT) add(20);
  for (int i = 0; i < 14; ++i)
    if (kWindowEx[i] && (exStyle & kWindowEx[i])) add(71 + i);
  add((style & WS_DISABLED) ? 12 : 13);
  add((style & WS_VISIBLE) ? 10 : 11);
  if (style & WS_TABSTOP) add(26);
  if (style & WS_GROUP) add(25);
  return l;
}

int ControlTypeFromClass(const wchar_t* name, DWORD style) {
  if (_wcsicmp(name, L"BUTTON") == 0) {
    switch (style & 0xF) {
      case BS_GROUPBOX: return wt_groupbox;
      case BS_RADIOBUTTON: case BS_AUTORADIOBUTTON: return wt_radiobutton;
      case BS_CHECKBOX: case BS_AUTOCHECKBOX: case BS_3STATE: case BS_AUTO3STATE:
        return wt_checkbox;
      default: return wt_pushbutton;
    }
  }
  if (_wcsicmp(name, L"SCROLLBAR") == 0) return (style & SBS_VERT) ? wt_vscroll : wt_hscroll;
  if (_wcsicmp(name, L"EDIT") == 0) return wt_edit;
  if (_wcsicmp(name, L"STATIC") == 0)
    return (style & SS_TYPEMASK) == SS_ICON ? wt_icon : wt_text;
  if (_wcsicmp(name, L"LISTBOX") == 0) return wt_listbox;
  if (_wcsicmp(name, L"COMBOBOX") == 0)
    return (style & 3) == CBS_DROPDOWN ? wt_listedit : wt_listbutton;
  if (FindClass(name)) return wt_custom;
  return 0;
}

const wchar_t* ClassNameFromOrdinal(int ordinal) {
  static const wchar_t* const names[6] = {L"BUTTON", L"EDIT", L"STATIC",
                                          L"LISTBOX", L"SCROLLBAR", L"COMBOBOX"};
  return ordinal >= 0x80 && ordinal <= 0x85 ? names[ordinal - 0x80] : L"";
}

}  // namespace QEL_KWI::detail
