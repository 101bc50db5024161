// Style tables, key codes, dialog units and dialog templates, tested on the
// layer's internals (this program links the layer's objects).
#include <gtest/gtest.h>

#include "kwi.h"
#include "testlib.h"

using namespace QEL_KWI;
using namespace QEL_KWI::detail;
using namespace kwitest;

namespace {

struct ControlCase {
  const char* what;
  int type;
  std::initializer_list<int64_t> flags;
  DWORD set;     // bits that must be set
  DWORD clear;   // bits that must be clear
  DWORD kind;    // low 16 bits when kindMask is set
  DWORD kindMask;
  DWORD ex;
};

TEST(Styles, ControlFlags) {
  const ControlCase cases[] = {
      {"check box auto + checked", wt_checkbox, {22, 51}, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0,
       BS_AUTOCHECKBOX, 0xF, 0},
      {"owner draw wins over default", wt_pushbutton, {35, 23}, 0, 0, BS_OWNERDRAW, 0xF, 0},
      {"default then owner draw", wt_pushbutton, {23, 35}, 0, 0, BS_OWNERDRAW, 0xF, 0},
      {"raw bits after 0", wt_edit, {26, 0, 0x4000}, WS_TABSTOP | 0x4000 | WS_BORDER, 0, 0, 0, 0},
      {"static kind drops earlier noprefix", wt_text, {41, 32}, 0, SS_NOPREFIX, SS_CENTER, 0xFFFF, 0},
      {"noprefix after kind kept", wt_text, {32, 41}, SS_NOPREFIX, 0, SS_CENTER | SS_NOPREFIX, 0xFFFF, 0},
      {"static ignores group and tabstop", wt_text, {25, 26}, 0, WS_GROUP | WS_TABSTOP, 0, 0, 0},
      {"edit takes group and tabstop", wt_edit, {25, 26}, WS_GROUP | WS_TABSTOP, 0, 0, 0, 0},
      {"group box has no clip siblings", wt_groupbox, {}, BS_GROUPBOX, WS_CLIPSIBLINGS, 0, 0, 0},
      {"push button ignores extended", wt_pushbutton, {72}, 0, 0, 0, 0, 0},
      {"custom takes extended", wt_custom, {72, 1}, WS_BORDER, 0, 0, 0, WS_EX_CLIENTEDGE},
      {"edit without border", wt_edit, {38}, 0, WS_BORDER, 0, 0, 0},
      {"list box notify removed", wt_listbox, {52, 53}, WS_BORDER | LBS_SORT, LBS_NOTIFY, 0, 0, 0},
      {"list edit oem convert", wt_listedit, {48, 46}, CBS_DROPDOWN | CBS_OEMCONVERT | CBS_AUTOHSCROLL, 0, 0, 0, 0},
      {"list button has no oem convert", wt_listbutton, {48}, CBS_DROPDOWNLIST, CBS_OEMCONVERT, 0, 0, 0},
      {"radio left text after kind", wt_radiobutton, {34, 51}, BS_LEFTTEXT, 0, BS_AUTORADIOBUTTON, 0xF, 0},
      {"invisible and disabled", wt_listbox, {11, 12}, WS_DISABLED, WS_VISIBLE, 0, 0, 0},
      {"vertical scroll bar", wt_vscroll, {}, SBS_VERT, 0, 0, 0, 0},
      {"unknown type ignores flags", 5, {12, 11}, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, WS_DISABLED, 0, 0, 0},
  };
  Terms t;
  for (const auto& c : cases) {
    ControlStyle s = ControlFlagsToStyles(c.type, t.Flags(c.flags));
    EXPECT_EQ(s.style & c.set, c.set) << c.what;
    EXPECT_EQ(s.style & c.clear, 0u) << c.what;
    if (c.kindMask) {
      EXPECT_EQ(s.style & c.kindMask, c.kind) << c.what;
    }
    EXPECT_EQ(s.exStyle, c.ex) << c.what;
  }
  ControlStyle chk = ControlFlagsToStyles(wt_checkbox, t.Flags({22, 51}));
  EXPECT_TRUE(chk.checked);
  ControlStyle ro = ControlFlagsToStyles(wt_edit, t.Flags({27}));
  EXPECT_TRUE(ro.readOnly);
  EXPECT_TRUE(ro.style & ES_READONLY);
}

TEST(Styles, WindowFlags) {
  Terms t;
  struct {
    std::initializer_list<int64_t> flags;
    DWORD style, ex;
  } cases[] = {
      {{}, WS_VISIBLE, 0},
      {{11}, 0, 0},
      {{9, 4, 5, 6, 2}, WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MAXIMIZEBOX | WS_MINIMIZEBOX | WS_THICKFRAME, 0},
      {{14, 15, 16}, WS_VISIBLE, 0},
      {{12, 13, 18, 70}, WS_VISIBLE, 0},
      {{static_cast<int64_t>(static_cast<int32_t>(0x80000000u)), 19, 72, 76, 84},
       WS_VISIBLE | WS_POPUP, WS_EX_TOPMOST | WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE},
  };
  for (auto& c : cases) {
    DWORD s, x;
    WindowFlagsToStyles(t.Flags(c.flags), &s, &x);
    EXPECT_EQ(s, c.style);
    EXPECT_EQ(x, c.ex);
  }
  DWORD s, x;
  WindowFlagsToStyles(nullptr, &s, &x);
  EXPECT_EQ(s, static_cast<DWORD>(WS_VISIBLE));
}

TEST(Styles, ReadBack) {
  // Unknown class: the raw part without the seven masked bits, read last.
  EXPECT_EQ(Values(StylesToFlags(0, WS_CHILD | WS_VISIBLE | WS_BORDER | 0x40, 0)),
            (std::vector<int64_t>{10, 13, 1, 0, 0x40}));
  // An edit without border reads back 38 and builds again without border.
  wsflags_struct* f = StylesToFlags(0x81, WS_CHILD | WS_VISIBLE | ES_LEFT, 0);
  EXPECT_EQ(ControlFlagsToStyles(wt_edit, f).style & WS_BORDER, 0u);
  // Every list box style survives the round trip.
  DWORD lb = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | LBS_SORT | LBS_MULTICOLUMN | WS_HSCROLL |
             LBS_USETABSTOPS | LBS_NOINTEGRALHEIGHT | LBS_EXTENDEDSEL | WS_TABSTOP | WS_GROUP;
  EXPECT_EQ(ControlFlagsToStyles(wt_listbox, StylesToFlags(0x83, lb, 0)).style, lb);
  EXPECT_EQ(Values(StylesToFlags(0x80, WS_VISIBLE | BS_AUTO3STATE | BS_LEFTTEXT, WS_EX_STATICEDGE)),
            (std::vector<int64_t>{10, 13, 82, 68, 34}));
}

TEST(Styles, ControlTypeFromClass) {
  struct {
    const wchar_t* cls;
    DWORD style;
    int type;
  } cases[] = {
      {L"button", BS_PUSHBUTTON, 8},      {L"BUTTON", BS_DEFPUSHBUTTON, 8}, {L"Button", BS_OWNERDRAW, 8},
      {L"BUTTON", BS_AUTORADIOBUTTON, 9}, {L"BUTTON", BS_AUTO3STATE, 10},   {L"BUTTON", BS_GROUPBOX, 18},
      {L"ScrollBar", SBS_HORZ, 11},       {L"SCROLLBAR", SBS_VERT, 12},     {L"edit", 0, 13},
      {L"STATIC", SS_CENTER, 14},         {L"STATIC", SS_ICON, 19},         {L"LISTBOX", 0, 15},
      {L"COMBOBOX", CBS_DROPDOWNLIST, 16}, {L"COMBOBOX", CBS_DROPDOWN, 17}, {L"COMBOBOX", CBS_SIMPLE, 16},
      {L"RichEdit20W", 0, 0},
  };
  for (auto& c : cases) EXPECT_EQ(ControlTypeFromClass(c.cls, c.style), c.type) << c.cls;
}

TEST(Events, KeyCodes) {
  struct {
    WPARAM vk;
    bool control;
    int code;
  } cases[] = {{VK_F5, false, 65652}, {VK_F24, false, 65536 + 0x87}, {'A', false, 65},
               {VK_HOME, false, 307},  {VK_HOME, true, 309},  {VK_END, false, 308},
               {VK_END, true, 310},    {VK_LEFT, true, 313},  {VK_RIGHT, true, 314},
               {VK_UP, true, 301},     {VK_DELETE, false, 127}, {VK_BACK, false, 315},
               {VK_SHIFT, false, VK_SHIFT}};
  for (auto& c : cases) EXPECT_EQ(KeyCode(c.vk, c.control), c.code) << c.vk;
}

TEST(Units, DialogUnitsFollowSystemBase) {
  LONG base = GetDialogBaseUnits();
  int bx = LOWORD(base), by = HIWORD(base);
  RECT r{10, 10, 50, 24};
  DialogUnitsToPixels(&r);
  EXPECT_EQ(r.left, 10 * bx / 4);
  EXPECT_EQ(r.right, 50 * bx / 4);
  EXPECT_EQ(r.bottom, 24 * by / 8);
  rect_struct p{16, 32, 96, 64};
  XZEV_ConvertPixels2Dlg(&p);
  EXPECT_EQ(p.left, 64 / bx);
  EXPECT_EQ(p.bottom, 512 / by);
}

class Templates : public ::testing::Test {
 protected:
  void SetUp() override {
    registerExceptionHandler(RecordRaise);
    Raised().clear();
    mark_ = K::Memory::MarkGStack();
  }
  void TearDown() override {
    K::Memory::ReleaseGStack(mark_);
    registerExceptionHandler(nullptr);
  }
  static std::vector<uint8_t> Resource(unsigned id) {
    HMODULE m = GetModuleHandleW(nullptr);
    HRSRC r = FindResourceW(m, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5));
    auto* p = static_cast<const uint8_t*>(LockResource(LoadResource(m, r)));
    return std::vector<uint8_t>(p, p + SizeofResource(m, r));
  }
  uint8_t* mark_;
};

TEST_F(Templates, ResourceRoundTripsToIdenticalBytes) {
  std::vector<uint8_t> bytes = Resource(100);
  windef_list_struct* list = ParseTemplate(bytes.data(), bytes.size());
  ASSERT_TRUE(Raised().empty());
  // Dialog (modal, with font) plus 11 controls.
  int n = 0;
  for (auto* c = list; c->functor == ListCons; c = c->next) ++n;
  EXPECT_EQ(n, 12);
  EXPECT_EQ(list->value->alt, wd_dlgfont);
  auto* head = reinterpret_cast<wdef*>(list->value->w[0]);
  EXPECT_EQ(head->type, wt_modal);
  EXPECT_STREQ(head->title, L"Round trip");
  EXPECT_STREQ(reinterpret_cast<const wchar_t*>(list->value->w[1]), L"MS Shell Dlg");
  EXPECT_EQ(list->value->w[2], 8);
  std::vector<uint8_t> block(TemplateBlock);
  size_t size = 0;
  ASSERT_EQ(BuildTemplate(block.data(), block.size(), &size, list, false), 0);
  ASSERT_EQ(size, (bytes.size() + 3) & ~size_t{3});
  EXPECT_EQ(0, memcmp(block.data(), bytes.data(), bytes.size()));
}

TEST_F(Templates, ItemsParseToTheirAlternatives) {
  std::vector<uint8_t> bytes = Resource(100);
  windef_list_struct* list = ParseTemplate(bytes.data(), bytes.size());
  std::vector<windef*> items;
  for (auto* c = list->next; c->functor == ListCons; c = c->next) items.push_back(c->value);
  ASSERT_EQ(items.size(), 11u);
  auto type = [](windef* d) { return reinterpret_cast<wdef*>(d->w[0])->type; };
  EXPECT_EQ(items[0]->alt, wd_ctl);
  EXPECT_EQ(type(items[0]), wt_pushbutton);
  EXPECT_EQ(Values(reinterpret_cast<ilist_struct*>(items[0]->w[2])), (std::vector<int64_t>{26, 10, 13, 23}));
  EXPECT_EQ(type(items[5]), wt_listedit);
  EXPECT_EQ(items[8]->alt, wd_icon);
  EXPECT_EQ(items[8]->w[2], 105);
  EXPECT_EQ(items[9]->alt, wd_customctl);
  EXPECT_STREQ(reinterpret_cast<const wchar_t*>(items[9]->w[1]), L"KWITESTCUSTOM");  // the resource compiler upper-cases class names
  EXPECT_EQ(type(items[10]), wt_vscroll);
  // Without DS_MODALFRAME the dialog is modeless.
  std::vector<uint8_t> modeless = Resource(101);
  EXPECT_EQ(reinterpret_cast<wdef*>(ParseTemplate(modeless.data(), modeless.size())->value->w[0])->type,
            wt_modeless);
}

// A hand-made template: strings whose units have a low byte of 0, a face
// name outside Latin-1, an item with creation data and a named class.
static std::vector<uint8_t> Handmade(const std::u16string& title, const std::u16string& face,
                                     uint16_t extra) {
  std::vector<uint8_t> t;
  auto u16 = [&](uint16_t v) { t.push_back(v & 0xFF); t.push_back(v >> 8); };
  auto u32 = [&](uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); };
  auto str = [&](const std::u16string& s) { for (char16_t c : s) u16(c); u16(0); };
  auto align = [&] { while (t.size() & 3) t.push_back(0); };
  u32(WS_POPUP | WS_CAPTION | DS_SETFONT | WS_THICKFRAME);
  u32(0);
  u16(2);
  u16(1); u16(2); u16(100); u16(50);
  u16(0); u16(0);
  str(title);
  u16(9);
  str(face);
  align();
  u32(WS_CHILD | WS_VISIBLE | SS_LEFT); u32(0);
  u16(5); u16(5); u16(40); u16(8); u16(7);
  u16(0xFFFF); u16(0x82);
  str(u"\u0100\u0200x");
  u16(extra);
  for (uint16_t i = 0; i < extra; ++i) t.push_back(0xEE);
  align();
  u32(WS_CHILD | WS_VISIBLE); u32(WS_EX_CLIENTEDGE);
  u16(5); u16(20); u16(40); u16(8); u16(8);
  str(u"Panel");
  str(u"");
  u16(0);
  align();
  return t;
}

TEST_F(Templates, StringsEndAtZeroUnitsAndFaceNamesKeepUtf16) {
  std::vector<uint8_t> t = Handmade(u"T\u0100\u0300itle", u"\u03A9mega Sans", 6);
  windef_list_struct* list = ParseTemplate(t.data(), t.size());
  ASSERT_TRUE(Raised().empty());
  EXPECT_STREQ(reinterpret_cast<wdef*>(list->value->w[0])->title, L"T\u0100\u0300itle");
  EXPECT_STREQ(reinterpret_cast<const wchar_t*>(list->value->w[1]), L"\u03A9mega Sans");
  // Header raw bits (thick frame) come back behind flag 0.
  std::vector<int64_t> head = Values(reinterpret_cast<ilist_struct*>(list->value->w[3]));
  ASSERT_GE(head.size(), 2u);
  EXPECT_EQ(head[head.size() - 2], 0);
  EXPECT_EQ(head.back(), WS_THICKFRAME);
  windef* text = list->next->value;
  EXPECT_EQ(text->alt, wd_ctl);
  EXPECT_STREQ(reinterpret_cast<wdef*>(text->w[0])->title, L"\u0100\u0200x");
  windef* panel = list->next->next->value;
  ASSERT_EQ(panel->alt, wd_customctl);
  EXPECT_STREQ(reinterpret_cast<const wchar_t*>(panel->w[1]), L"Panel");
  EXPECT_EQ(panel->w[2], 8);
  EXPECT_EQ(list->next->next->next->functor, ListNil);
}

TEST_F(Templates, TruncatedTemplatesAreRefused) {
  std::vector<uint8_t> t = Handmade(u"Title", u"Face", 0);
  for (size_t cut : {size_t{0}, size_t{10}, size_t{20}, t.size() / 2, t.size() - 6}) {
    Raised().clear();
    // The copy ends exactly at the cut, so a read past it would be caught by
    // the bounds, not by luck.
    std::vector<uint8_t> part(t.begin(), t.begin() + cut);
    windef_list_struct* list = ParseTemplate(part.data(), part.size());
    EXPECT_EQ(Raised(), std::vector<int>{6004}) << cut;
    EXPECT_EQ(list->functor, ListNil) << cut;
  }
  // Creation data running past the end.
  std::vector<uint8_t> bad = Handmade(u"Title", u"Face", 200);
  bad.resize(bad.size() - 190);
  Raised().clear();
  ParseTemplate(bad.data(), bad.size());
  EXPECT_EQ(Raised(), std::vector<int>{6004});
}

TEST_F(Templates, BuilderRules) {
  Terms t;
  LONG base = GetDialogBaseUnits();
  int bx = LOWORD(base), by = HIWORD(base);
  std::vector<uint8_t> block(TemplateBlock);
  size_t size = 0;
  // Pixel rectangles are converted to dialog units.
  windef_list_struct* list = t.List({t.Def(wd_dlg, {reinterpret_cast<LONG_PTR>(t.Wdef(wt_modeless, {16, 32, 96, 64}, L"D")),
                                                    reinterpret_cast<LONG_PTR>(t.Flags({}))})});
  ASSERT_EQ(BuildTemplate(block.data(), block.size(), &size, list, false), 0);
  auto* h = reinterpret_cast<const uint16_t*>(block.data());
  EXPECT_EQ(h[5], 4 * 16 / bx);
  EXPECT_EQ(h[6], 8 * 32 / by);
  EXPECT_EQ(h[7], 4 * 96 / bx - 4 * 16 / bx);
  EXPECT_EQ(h[8], 8 * 64 / by - 8 * 32 / by);
  DWORD style;
  memcpy(&style, block.data(), 4);
  EXPECT_EQ(style, static_cast<DWORD>(WS_POPUP | WS_VISIBLE | WS_BORDER));
  struct {
    const char* what;
    windef_list_struct* list;
    int code;
  } refused[] = {
      {"topwin after the first element",
       t.List({t.Def(wd_dlg, {reinterpret_cast<LONG_PTR>(t.Wdef(wt_modal, {0, 0, 10, 10}, L"")), 0}),
               t.Def(wd_topwin, {reinterpret_cast<LONG_PTR>(t.Wdef(1, {0, 0, 10, 10}, L"")), 0, 0})}),
       6004},
      {"first element not a dialog",
       t.List({t.Def(wd_ctl, {reinterpret_cast<LONG_PTR>(t.Wdef(8, {0, 0, 10, 10}, L"")), 1, 0})}), 6004},
      {"child modal dialog",
       t.List({t.Def(wd_dlg, {reinterpret_cast<LONG_PTR>(t.Wdef(wt_modal, {0, 0, 10, 10}, L"")),
                              reinterpret_cast<LONG_PTR>(t.Flags({69}))})}),
       6001},
      {"control of type 3",
       t.List({t.Def(wd_dlg, {reinterpret_cast<LONG_PTR>(t.Wdef(wt_modal, {0, 0, 10, 10}, L"")), 0}),
               t.Def(wd_ctl, {reinterpret_cast<LONG_PTR>(t.Wdef(3, {0, 0, 10, 10}, L"")), 1, 0})}),
       6001},
      {"unregistered custom class",
       t.List({t.Def(wd_dlg, {reinterpret_cast<LONG_PTR>(t.Wdef(wt_modal, {0, 0, 10, 10}, L"")), 0}),
               t.Def(wd_customctl, {reinterpret_cast<LONG_PTR>(t.Wdef(20, {0, 0, 10, 10}, L"")),
                                    reinterpret_cast<LONG_PTR>(L"NoSuchKwiClass"), 1, 0})}),
       6309},
  };
  for (auto& r : refused)
    EXPECT_EQ(BuildTemplate(block.data(), block.size(), &size, r.list, true), r.code) << r.what;
}

TEST_F(Templates, BuilderStopsAtTheBlock) {
  Terms t;
  std::wstring longTitle(2000, L'x');
  std::vector<windef*> items{t.Def(wd_dlg, {reinterpret_cast<LONG_PTR>(t.Wdef(wt_modal, {0, 0, 10, 10}, L"", 1)), 0})};
  for (int i = 0; i < 20; ++i)
    items.push_back(t.Def(wd_ctl, {reinterpret_cast<LONG_PTR>(t.Wdef(wt_text, {0, 0, 10, 10}, longTitle.c_str(), 1)),
                                   i, 0}));
  windef_list_struct* list = t.List(items);
  // 20 items of about 4 KB do not fit 64 KB; a guard page behind a smaller
  // block shows that nothing is written past it.
  SYSTEM_INFO si;
  GetSystemInfo(&si);
  size_t capacity = 16 * si.dwPageSize;
  auto* mem = static_cast<uint8_t*>(VirtualAlloc(nullptr, capacity + si.dwPageSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
  DWORD old;
  VirtualProtect(mem + capacity, si.dwPageSize, PAGE_NOACCESS, &old);
  size_t size = 1;
  EXPECT_EQ(BuildTemplate(mem, capacity, &size, list, false), 6002);
  EXPECT_EQ(size, 0u);
  std::vector<uint8_t> block(TemplateBlock);
  EXPECT_EQ(BuildTemplate(block.data(), block.size(), &size, list, false), 6002);
  VirtualFree(mem, 0, MEM_RELEASE);
}

TEST_F(Templates, UnboundedEntryStopsAtUnreadableMemory) {
  // A template whose title runs into an inaccessible page.
  SYSTEM_INFO si;
  GetSystemInfo(&si);
  auto* mem = static_cast<uint8_t*>(VirtualAlloc(nullptr, 2 * si.dwPageSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
  DWORD old;
  VirtualProtect(mem + si.dwPageSize, si.dwPageSize, PAGE_NOACCESS, &old);
  uint8_t* t = mem + si.dwPageSize - 40;
  memset(t, 0, 40);
  for (int i = 22; i < 40; i += 2) t[i] = 'A';
  windef_list_struct* list = XZEV_GetWindefFromTemplate(reinterpret_cast<char*>(t));
  EXPECT_EQ(Raised(), std::vector<int>{6004});
  EXPECT_EQ(list->functor, ListNil);
  VirtualFree(mem, 0, MEM_RELEASE);
}

}  // namespace

namespace {

TEST(Text, LineFeedsWidenAndNarrow) {
  uint8_t* mark = K::Memory::MarkGStack();
  struct {
    const wchar_t* narrow;
    const wchar_t* wide;
  } cases[] = {{L"", L""}, {L"a\nb", L"a\r\nb"}, {L"\n\n", L"\r\n\r\n"}, {L"x", L"x"}};
  for (auto& c : cases) {
    EXPECT_STREQ(WidenLineFeeds(c.narrow), c.wide);
    std::wstring w = c.wide;
    EXPECT_STREQ(NarrowLineFeeds(w.data()), c.narrow);
  }
  std::wstring lone = L"a\rb\r";
  EXPECT_STREQ(NarrowLineFeeds(lone.data()), L"a\rb\r");  // a lone CR stays
  K::Memory::ReleaseGStack(mark);
}

TEST(Binaries, SizeWordCountsItself) {
  void* b = NewBinary(5);
  uint32_t size;
  memcpy(&size, b, 4);
  EXPECT_EQ(size, 9u);
  EXPECT_EQ(BinaryLength(b), 5u);
  EXPECT_EQ(BinaryData(b), static_cast<uint8_t*>(b) + 4);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(BinaryData(b)[i], 0);
}

// Drawing contexts and the owner of boxes need real windows of the layer.
TEST(Windows, DrawingContextsAndTheOwnerOfBoxes) {
  registerExceptionHandler(RecordRaise);
  Raised().clear();
  Terms t;
  bool childRelease = false, paintRelease = true, cachedRelease = true, screenRelease = false;
  HDC childDC = nullptr, paintDC = nullptr, cachedDC = nullptr, recordDC = nullptr;
  HDC buttonDC = reinterpret_cast<HDC>(1);
  std::vector<int> buttonRaised;
  HWND ownerNone = nullptr, ownerChildEdit = nullptr, ownerDialogEdit = nullptr, task = nullptr,
       dialog = nullptr, ownerTop = nullptr, top = nullptr;
  Closure child([&](HWND w, event_struct* e) -> LONG_PTR {
    if (e->kind == e_update) {
      paintDC = DrawingContext(w, &paintRelease);
      cachedDC = DrawingContext(w, &cachedRelease);
      recordDC = reinterpret_cast<HDC>(XZEV_GetWinData(w)->w[rw_paintDC]);
      return 0;
    }
    Fail();
  });
  Closure none([](HWND, event_struct*) -> LONG_PTR { Fail(); });
  Closure handler([&](HWND w, event_struct* e) -> LONG_PTR {
    if (e->kind == e_create) {
      PostMessageW(w, 0xC00F, 1, 0);
      return 0;
    }
    if (e->kind != e_user) Fail();
    task = w;
    rect_struct r{10, 10, 200, 150};
    HWND c = reinterpret_cast<HWND>(win_Create(wt_child, &r, L"", t.NoMenu(), reinterpret_cast<LONG_PTR>(w),
                                               t.Flags({}), &child, 0));
    HDC dc = DrawingContext(c, &childRelease);
    childDC = dc;
    if (childRelease) ReleaseDC(c, dc);
    InvalidateRect(c, nullptr, TRUE);
    UpdateWindow(c);
    HDC screen = DrawingContext(GetDesktopWindow(), &screenRelease);
    if (screenRelease) ReleaseDC(nullptr, screen);
    rect_struct br{0, 0, 40, 20};
    HWND button = reinterpret_cast<HWND>(win_CreateControl(wt_pushbutton, &br, L"b", reinterpret_cast<LONG_PTR>(c),
                                                           t.Flags({}), 3));
    Raised().clear();
    bool rel = false;
    buttonDC = DrawingContext(button, &rel);
    buttonRaised = Raised();
    SetFocus(nullptr);
    ownerNone = FocusWindowForBoxes();
    HWND edit = reinterpret_cast<HWND>(win_CreateControl(wt_edit, &br, L"", reinterpret_cast<LONG_PTR>(c),
                                                         t.Flags({}), 4));
    SetFocus(edit);
    ownerChildEdit = FocusWindowForBoxes();
    dialog = reinterpret_cast<HWND>(win_CreateResDialog(reinterpret_cast<LONG_PTR>(w), wt_modeless, 101, &none, 0));
    SetFocus(GetDlgItem(dialog, 3));
    ownerDialogEdit = FocusWindowForBoxes();
    DestroyWindow(dialog);
    top = reinterpret_cast<HWND>(win_Create(wt_toplevel, &r, L"top", t.NoMenu(), 0, t.Flags({9}), &none, 0));
    HWND topEdit = reinterpret_cast<HWND>(win_CreateControl(wt_edit, &br, L"", reinterpret_cast<LONG_PTR>(top),
                                                            t.Flags({}), 5));
    SetFocus(topEdit);
    ownerTop = FocusWindowForBoxes();
    DestroyWindow(top);
    DestroyWindow(w);
    return 0;
  });
  kwi_Init(t.Flags({9}), &handler, t.NoMenu(), nullptr, L"contexts");
  registerExceptionHandler(nullptr);
  EXPECT_TRUE(childDC);
  EXPECT_TRUE(childRelease);
  EXPECT_TRUE(paintDC);
  EXPECT_EQ(paintDC, recordDC);
  EXPECT_FALSE(paintRelease);
  EXPECT_EQ(cachedDC, paintDC);
  EXPECT_FALSE(cachedRelease);
  EXPECT_TRUE(screenRelease);
  EXPECT_EQ(buttonDC, nullptr);
  EXPECT_EQ(buttonRaised, std::vector<int>{6001});
  EXPECT_EQ(ownerNone, task);
  EXPECT_EQ(ownerChildEdit, task);
  EXPECT_EQ(ownerDialogEdit, dialog);
  EXPECT_EQ(ownerTop, top);
}

}  // namespace
