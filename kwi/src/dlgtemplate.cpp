// Dialog templates (classic DLGTEMPLATE form) parsed into window-definition
// lists and built from them.  Both directions are bounded by the template.
#include "kwi.h"

namespace QEL_KWI {
namespace detail {

namespace {

struct Reader {
  const uint8_t* base;
  size_t size;
  size_t pos = 0;
  bool ok = true;

  bool Need(size_t n) {
    if (!ok || n > size || pos > size - n) ok = false;
    return ok;
  }
  uint16_t U16() {
    if (!Need(2)) return 0;
    uint16_t v;
    memcpy(&v, base + pos, 2);
    pos += 2;
    return v;
  }
  uint32_t U32() {
    if (!Need(4)) return 0;
    uint32_t v;
    memcpy(&v, base + pos, 4);
    pos += 4;
    return v;
  }
  // A string ends at a 0x0000 unit; the copy lives on the global stack.
  const wchar_t* String() {
    size_t start = pos, n = 0;
    for (;;) {
      uint16_t u = U16();
      if (!ok) return L"";
      if (u == 0) break;
      ++n;
    }
    auto* s = reinterpret_cast<wchar_t*>(
        K::Memory::AllocGStack(static_cast<uint32_t>((n + 1) * sizeof(wchar_t))));
    memcpy(s, base + start, n * sizeof(wchar_t));
    s[n] = 0;
    return s;
  }
  // A name-or-ordinal field: 0xFFFF and an ordinal, or a string.
  bool Field(uint16_t* ordinal, const wchar_t** name) {
    if (!Need(2)) return false;
    uint16_t first;
    memcpy(&first, base + pos, 2);
    if (first == 0xFFFF) {
      pos += 2;
      *ordinal = U16();
      *name = nullptr;
      return true;
    }
    *ordinal = 0;
    *name = String();
    return false;
  }
  void Align() {
    size_t a = (pos + 3) & ~size_t{3};
    pos = a <= size ? a : size;
  }
};

template <class T>
T* GNew() {
  auto* p = reinterpret_cast<T*>(K::Memory::AllocGStack(sizeof(T)));
  memset(p, 0, sizeof(T));
  return p;
}

wdef* MakeWdef(int type, uint16_t x, uint16_t y, uint16_t cx, uint16_t cy, const wchar_t* title) {
  auto* r = GNew<rect_struct>();
  *r = {x, y, x + cx, y + cy};
  auto* w = GNew<wdef>();
  w->type = type;
  w->rect = r;
  w->title = title;
  w->dlgUnits = 2;
  return w;
}

size_t ReadableBytes(const void* p, size_t limit) {
  const auto* a = static_cast<const uint8_t*>(p);
  size_t total = 0;
  while (total < limit) {
    MEMORY_BASIC_INFORMATION m;
    if (!VirtualQuery(a + total, &m, sizeof m)) break;
    if (m.State != MEM_COMMIT || (m.Protect & (PAGE_NOACCESS | PAGE_GUARD))) break;
    total = static_cast<size_t>(static_cast<const uint8_t*>(m.BaseAddress) + m.RegionSize - a);
  }
  return total < limit ? total : limit;
}

}  // namespace

windef_list_struct* ParseTemplate(const uint8_t* t, size_t size) {
  Reader r{t, t ? size : 0};
  const DWORD style = r.U32();
  r.U32();  // extended style
  const uint16_t count = r.U16();
  const uint16_t x = r.U16(), y = r.U16(), cx = r.U16(), cy = r.U16();
  uint16_t ord;
  const wchar_t* name;
  r.Field(&ord, &name);  // menu
  r.Field(&ord, &name);  // class
  const wchar_t* title = r.String();
  const bool font = (style & DS_SETFONT) != 0;
  uint16_t points = 0;
  const wchar_t* face = L"";
  if (font) {
    points = r.U16();
    face = r.String();
  }
  r.Align();
  if (!r.ok) {
    RaiseMayReturn(6004);
    return EmptyList<windef_list_struct>();
  }
  // Items are read into an array first; the list is linked from the end.
  auto* items = reinterpret_cast<windef**>(
      K::Memory::AllocGStack(static_cast<uint32_t>((count + 1) * sizeof(windef*))));
  DWORD rawMask = WS_POPUP | WS_CHILD | WS_VISIBLE | WS_DISABLED | WS_BORDER | WS_DLGFRAME |
                  WS_VSCROLL | WS_HSCROLL | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX |
                  DS_MODALFRAME | (font ? DS_SETFONT : 0);
  wsflags_struct* flags = EmptyList();
  if (DWORD raw = style & ~rawMask) {
    flags = Push(flags, static_cast<int32_t>(raw));
    flags = Push(flags, 0);
  }
  flags = Push(flags, (style & WS_VISIBLE) ? 10 : 11);
  flags = Push(flags, (style & WS_DISABLED) ? 12 : 13);
  if (style & WS_SYSMENU) flags = Push(flags, 4);
  if ((style & WS_CAPTION) == WS_CAPTION) flags = Push(flags, 9);
  if (style & WS_MAXIMIZEBOX) flags = Push(flags, 5);
  if (style & WS_MINIMIZEBOX) flags = Push(flags, 6);
  if (style & WS_HSCROLL) flags = Push(flags, 7);
  if (style & WS_VSCROLL) flags = Push(flags, 8);
  if (style & WS_CHILD) flags = Push(flags, 69);
  windef* head = GNew<windef>();
  wdef* hw = MakeWdef((style & DS_MODALFRAME) ? wt_modal : wt_modeless, x, y, cx, cy, title);
  head->w[0] = reinterpret_cast<LONG_PTR>(hw);
  if (font) {
    head->alt = wd_dlgfont;
    head->w[1] = reinterpret_cast<LONG_PTR>(face);
    head->w[2] = points;
    head->w[3] = reinterpret_cast<LONG_PTR>(flags);
  } else {
    head->alt = wd_dlg;
    head->w[1] = reinterpret_cast<LONG_PTR>(flags);
  }
  items[0] = head;
  for (uint16_t i = 0; i < count; ++i) {
    r.Align();
    const DWORD is = r.U32(), iex = r.U32();
    const uint16_t ix = r.U16(), iy = r.U16(), icx = r.U16(), icy = r.U16(), id = r.U16();
    uint16_t classOrd = 0, titleOrd = 0;
    const wchar_t* className = nullptr;
    const wchar_t* itemTitle = nullptr;
    bool byOrdinal = r.Field(&classOrd, &className);
    bool titleIsOrdinal = r.Field(&titleOrd, &itemTitle);
    const uint16_t extra = r.U16();
    if (extra && r.Need(extra)) r.pos += extra;
    if (!r.ok) {
      RaiseMayReturn(6004);
      return EmptyList<windef_list_struct>();
    }
    auto* d = GNew<windef>();
    if (!byOrdinal) {
      d->alt = wd_customctl;
      d->w[0] = reinterpret_cast<LONG_PTR>(
          MakeWdef(wt_custom, ix, iy, icx, icy, titleIsOrdinal ? L"" : itemTitle));
      d->w[1] = reinterpret_cast<LONG_PTR>(className);
      d->w[2] = id;
      d->w[3] = reinterpret_cast<LONG_PTR>(StylesToFlags(0, is, iex));
    } else {
      int type = ControlTypeFromClass(ClassNameFromOrdinal(classOrd), is);
      if (type == wt_icon) {
        d->alt = wd_icon;
        d->w[0] = reinterpret_cast<LONG_PTR>(MakeWdef(wt_icon, ix, iy, icx, icy, L""));
        d->w[1] = id;
        d->w[2] = titleIsOrdinal ? titleOrd : 0;
        d->w[3] = reinterpret_cast<LONG_PTR>(StylesToFlags(classOrd, is, 0));
      } else {
        d->alt = wd_ctl;
        d->w[0] = reinterpret_cast<LONG_PTR>(
            MakeWdef(type, ix, iy, icx, icy, titleIsOrdinal ? L"" : itemTitle));
        d->w[1] = id;
        d->w[2] = reinterpret_cast<LONG_PTR>(StylesToFlags(classOrd, is, 0));
      }
    }
    items[i + 1] = d;
  }
  windef_list_struct* list = EmptyList<windef_list_struct>();
  for (int i = count; i >= 0; --i) list = Push(list, items[i]);
  return list;
}

namespace {

struct Writer {
  uint8_t* base;
  size_t cap;
  size_t pos = 0;
  bool ok = true;

  void Bytes(const void* p, size_t n) {
    if (!ok || n > cap || pos > cap - n) {
      ok = false;
      return;
    }
    memcpy(base + pos, p, n);
    pos += n;
  }
  void U16(uint16_t v) { Bytes(&v, 2); }
  void U32(uint32_t v) { Bytes(&v, 4); }
  void String(const wchar_t* s) {
    if (!s) s = L"";
    Bytes(s, (wcslen(s) + 1) * sizeof(wchar_t));
  }
  void Align() {
    while (ok && (pos & 3)) {
      if (pos >= cap) ok = false;
      else base[pos++] = 0;
    }
  }
};

void Geometry(Writer& w, const wdef* wd) {
  RECT rc{0, 0, 0, 0};
  if (wd->rect) rc = {wd->rect->left, wd->rect->top, wd->rect->right, wd->rect->bottom};
  if (!wd->dlgUnits) PixelsToDialogUnits(&rc);
  w.U16(static_cast<uint16_t>(rc.left));
  w.U16(static_cast<uint16_t>(rc.top));
  w.U16(static_cast<uint16_t>(rc.right - rc.left));
  w.U16(static_cast<uint16_t>(rc.bottom - rc.top));
}

}  // namespace

int BuildTemplate(uint8_t* block, size_t capacity, size_t* size, windef_list_struct* list,
                  bool checkClasses) {
  memset(block, 0, capacity);
  *size = 0;
  if (!list || list->functor != ListCons) return 6003;
  const windef* first = list->value;
  if (first->alt != wd_dlg && first->alt != wd_dlgfont) return 6004;
  const auto* wd = reinterpret_cast<const wdef*>(first->w[0]);
  const bool modal = wd->type == wt_modal;
  DWORD style = WS_POPUP | WS_VISIBLE | (modal ? DS_MODALFRAME : WS_BORDER);
  auto* flags = reinterpret_cast<wsflags_struct*>(first->alt == wd_dlg ? first->w[1] : first->w[3]);
  bool raw = false;
  for (auto* c = flags; c && c->functor == ListCons; c = c->next) {
    uint32_t f = static_cast<uint32_t>(c->value);
    if (raw) {
      style |= f;
      continue;
    }
    switch (f) {
      case 0: raw = true; break;
      case 2: style |= WS_THICKFRAME; break;
      case 4: style |= WS_SYSMENU; break;
      case 5: style |= WS_MAXIMIZEBOX; break;
      case 6: style |= WS_MINIMIZEBOX; break;
      case 7: style |= WS_HSCROLL; break;
      case 8: style |= WS_VSCROLL; break;
      case 9: style |= WS_CAPTION; break;
      case 10: style |= WS_VISIBLE; break;
      case 11: style &= ~WS_VISIBLE; break;
      case 12: style |= WS_DISABLED; break;
      case 17: style |= WS_CLIPCHILDREN; break;
      case 18: style |= WS_CLIPSIBLINGS; break;
      case 69:
        if (modal && Validating()) return 6001;
        style = (style & ~WS_POPUP) | WS_CHILD;
        break;
      default: break;
    }
  }
  if (first->alt == wd_dlgfont) style |= DS_SETFONT;
  Writer w{block, capacity};
  w.U32(style);
  w.U32(0);
  w.U16(0);  // item count, stored at the end
  Geometry(w, wd);
  w.U16(0);  // menu
  w.U16(0);  // class
  w.String(wd->title);
  if (first->alt == wd_dlgfont) {
    w.U16(static_cast<uint16_t>(first->w[2]));
    w.String(reinterpret_cast<const wchar_t*>(first->w[1]));
  }
  w.Align();
  uint32_t count = 0;
  for (auto* c = list->next; c && c->functor == ListCons; c = c->next) {
    const windef* d = c->value;
    if (d->alt != wd_ctl && d->alt != wd_icon && d->alt != wd_customctl) return 6004;
    const auto* iw = reinterpret_cast<const wdef*>(d->w[0]);
    LONG_PTR id = d->alt == wd_customctl ? d->w[2] : d->w[1];
    auto* iflags = reinterpret_cast<wsflags_struct*>(d->alt == wd_ctl ? d->w[2] : d->w[3]);
    int ordinal = 0;
    switch (iw->type) {
      case wt_pushbutton: case wt_radiobutton: case wt_checkbox: case wt_groupbox: ordinal = 0x80; break;
      case wt_hscroll: case wt_vscroll: ordinal = 0x84; break;
      case wt_edit: ordinal = 0x81; break;
      case wt_text: case wt_icon: ordinal = 0x82; break;
      case wt_listbox: ordinal = 0x83; break;
      case wt_listbutton: case wt_listedit: ordinal = 0x85; break;
      case wt_custom: break;
      default: return 6001;
    }
    const wchar_t* cls = d->alt == wd_customctl ? reinterpret_cast<const wchar_t*>(d->w[1]) : nullptr;
    if (iw->type == wt_custom) {
      if (!cls) return 6001;
      WNDCLASSEXW info{};
      info.cbSize = sizeof info;
      if (checkClasses && !GetClassInfoExW(g_app, cls, &info)) return 6309;
    }
    ControlStyle cs = ControlFlagsToStyles(iw->type, iflags);
    w.U32(cs.style);
    w.U32(d->alt == wd_customctl ? cs.exStyle : 0);
    Geometry(w, iw);
    w.U16(static_cast<uint16_t>(id));
    if (ordinal) {
      w.U16(0xFFFF);
      w.U16(static_cast<uint16_t>(ordinal));
    } else {
      w.String(cls);
    }
    if (d->alt == wd_icon) {
      w.U16(0xFFFF);
      w.U16(static_cast<uint16_t>(d->w[2]));
    } else {
      w.String(iw->title);
    }
    w.U16(0);
    w.Align();
    if (++count > 0xFFFF) return 6002;
  }
  if (!w.ok) {
    memset(block, 0, capacity);
    return 6002;
  }
  uint16_t n = static_cast<uint16_t>(count);
  memcpy(block + 8, &n, 2);
  *size = w.pos;
  return 0;
}

}  // namespace detail

using namespace detail;

windef_list_struct* XZEV_GetWindefFromTemplate(const char* t, size_t size) {
  return ParseTemplate(reinterpret_cast<const uint8_t*>(t), size);
}

windef_list_struct* XZEV_GetWindefFromTemplate(char* t) {
  // Without a length, the template may not reach past readable memory or
  // the largest template the builder writes.
  return ParseTemplate(reinterpret_cast<const uint8_t*>(t), t ? ReadableBytes(t, TemplateBlock) : 0);
}

}  // namespace QEL_KWI
