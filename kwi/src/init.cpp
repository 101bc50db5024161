// GUI state, start-up, the message loop, the nested pump and accelerators.
#include "kwi.h"

#include <commdlg.h>

namespace QEL_KWI {
namespace detail {

HINSTANCE g_app;
HWND g_task;
bool g_mdi;
LONG_PTR g_state[sw_count];
LONG_PTR g_pending[sw_count] = {0, 0, 1, 1};
bool g_controlEvents = true;
HACCEL g_accel;
bool g_accelBuilt;
wchar_t* g_menuTitle;
HMENU g_windowMenu;
HPALETTE g_palette;
static int g_initCount;
static PRINTDLGW g_printSettings;

static BOOL CALLBACK FindFrame(HWND w, LPARAM lp) {
  wchar_t name[16];
  if (GetClassNameW(w, name, 16) && wcscmp(name, L"ZevFrame32") == 0) {
    *reinterpret_cast<HWND*>(lp) = w;
    return FALSE;
  }
  return TRUE;
}

HWND TaskWindow() {
  if (g_task) return g_task;
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindFrame, reinterpret_cast<LPARAM>(&found));
  return found;
}

LONG_PTR* State() { return g_state; }

// The program's icon 9012 at the large and the small size, loaded once per
// module: shared handles, never destroyed.  A class given no small icon
// would have the system make one from the resource at each registration.
struct ClassIcons {
  HINSTANCE module;
  HICON large, small;
};

static const ClassIcons& LayerIcons() {
  static ClassIcons icons{};
  if (icons.module == g_app && icons.module) return icons;
  icons.module = g_app;
  icons.large = LoadIconW(g_app, MAKEINTRESOURCEW(9012));
  icons.small = icons.large ? static_cast<HICON>(LoadImageW(g_app, MAKEINTRESOURCEW(9012), IMAGE_ICON,
                                                            GetSystemMetrics(SM_CXSMICON),
                                                            GetSystemMetrics(SM_CYSMICON), LR_SHARED))
                            : nullptr;
  return icons;
}

WNDCLASSEXW LayerClassInfo(const wchar_t* name, WNDPROC proc, bool global, LPCWSTR menuName) {
  const ClassIcons& icons = LayerIcons();
  WNDCLASSEXW c{};
  c.cbSize = sizeof c;
  c.style = CS_DBLCLKS | (global ? CS_GLOBALCLASS : 0);
  c.lpfnWndProc = proc;
  c.cbClsExtra = sizeof(LONG_PTR);
  c.cbWndExtra = sizeof(LONG_PTR);
  c.hInstance = g_app;
  c.hIcon = icons.large;
  c.hIconSm = icons.small;
  c.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  c.lpszMenuName = menuName;
  c.lpszClassName = name;
  return c;
}

void RegisterLayerClass(const wchar_t* name, WNDPROC proc, bool global, LPCWSTR menuName) {
  WNDCLASSEXW known{};
  known.cbSize = sizeof known;
  if (GetClassInfoExW(g_app, name, &known)) return;
  WNDCLASSEXW c = LayerClassInfo(name, proc, global, menuName);
  if (!RegisterClassExW(&c)) RaiseMayReturn(6220);
}

static void* AllocSentinel(size_t size) {
  void* p = K::Memory::AllocUncollectableHeap(static_cast<uint32_t>(size));
  memset(p, 0, size);
  return p;
}

static void StartState() {
  if (++g_initCount != 1) return;
  RegisterLayerClass(L"ZevChild32", CommonProc, false, nullptr);
  RegisterLayerClass(L"ZevMDI32", MdiDocProc, false, nullptr);
  RegisterLayerClass(L"ZevDynIcon32", IconProc, false, nullptr);
  RegisterLayerClass(L"ZevRunApp32", ProcessProc, false, nullptr);
  memset(g_state, 0, sizeof g_state);
  g_state[sw_init] = 1;
  g_state[sw_mdi] = g_mdi;
  for (int i = sw_erase; i <= sw_insetLeft; ++i) g_state[i] = g_pending[i];
  g_state[sw_errFn] = g_pending[sw_errFn];
  g_state[sw_errObj] = g_pending[sw_errObj];
  g_state[sw_classes] = reinterpret_cast<LONG_PTR>(AllocSentinel(sizeof(ClassRecord)));
  g_state[sw_subclasses] = reinterpret_cast<LONG_PTR>(AllocSentinel(sizeof(SubclassRecord)));
  g_state[sw_dialogs] = reinterpret_cast<LONG_PTR>(AllocSentinel(sizeof(DialogRecord)));
  g_state[sw_timers] = reinterpret_cast<LONG_PTR>(NewTimerTable());
  memset(&g_printSettings, 0, sizeof g_printSettings);
  g_state[sw_print] = reinterpret_cast<LONG_PTR>(&g_printSettings);
}

static void StopState() {
  if (g_initCount == 0 || --g_initCount != 0) return;
  // Settings live on in the pending words for a later start-up.
  for (int i = sw_erase; i <= sw_insetLeft; ++i) g_pending[i] = g_state[i];
  g_pending[sw_errFn] = g_state[sw_errFn];
  g_pending[sw_errObj] = g_state[sw_errObj];
  FreeLists();
  FreeTimerTable(reinterpret_cast<void*>(g_state[sw_timers]));
  memset(g_state, 0, sizeof g_state);
  if (g_palette) DeleteObject(g_palette);
  g_palette = nullptr;
  g_task = nullptr;
  g_activeInner = nullptr;
  g_controlEvents = true;
}

// The frame class keeps one procedure; the mode of the running session
// chooses the MDI frame or the common procedure.
LRESULT CALLBACK TaskProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  return g_state[sw_mdi] ? FrameProc(w, m, wp, lp) : CommonProc(w, m, wp, lp);
}

static void Pump(MSG* msg) {
  if (g_state[sw_mdiClient] &&
      TranslateMDISysAccel(reinterpret_cast<HWND>(g_state[sw_mdiClient]), msg))
    return;
  if (g_accel && g_task && TranslateAcceleratorW(g_task, g_accel, msg)) return;
  TranslateMessage(msg);
  DispatchMessageW(msg);
}

}  // namespace detail

using namespace detail;

void kwi_BeforeMessage() {}
// A pending console Ctrl event is raised from the loop that took the message.
void kwi_AfterMessage() { K::Control::PollUserBreak(); }

int kwi_GetPressedKey() {
  int r = 0;
  if (GetAsyncKeyState(VK_SHIFT) & 0x8000) r |= 1;
  if (GetAsyncKeyState(VK_CONTROL) & 0x8000) r |= 2;
  if (GetAsyncKeyState(VK_MENU) & 0x8000) r |= 4;
  return r;
}

void kwi_Init(wsflags_struct* flags, PROLOG_EHANDLER_STRUCT* handler, menu_struct* menu,
              const u16* text, const u16* title) {
  g_app = static_cast<HINSTANCE>(K::GetHinstanceFromWinMain());
  const bool resMenu = menu && menu->functor == 1;
  RegisterLayerClass(L"ZevFrame32", TaskProc, false,
                     resMenu ? MAKEINTRESOURCEW(menu->value) : nullptr);
  if (g_mdi && (!menu || menu->functor == 3)) {
    RaiseMayReturn(6405);
    return;
  }
  StartState();
  g_menuTitle = static_cast<wchar_t*>(K::Memory::AllocHeap(250 * sizeof(wchar_t)));
  memset(g_menuTitle, 0, 250 * sizeof(wchar_t));
  wcscpy(g_menuTitle, L"&Window");
  g_accel = LoadAcceleratorsW(g_app, MAKEINTRESOURCEW(9001));
  g_accelBuilt = false;
  bool noMenu = false;
  int windowPos = -1;
  HMENU hmenu = LoadMenuFor(menu, &noMenu, &windowPos);
  g_windowMenu = nullptr;
  if (g_mdi && hmenu) {
    HMENU res = LoadMenuW(g_app, MAKEINTRESOURCEW(9011));
    if (!res) {
      g_windowMenu = CreatePopupMenu();
      AppendMenuW(g_windowMenu, MF_STRING, 9201, L"&Tile");
      AppendMenuW(g_windowMenu, MF_STRING, 9202, L"&Cascade");
      AppendMenuW(g_windowMenu, MF_STRING, 9203, L"&Arrange Icons");
    } else {
      MenuItemText(res, 0, g_menuTitle, 250);
      g_windowMenu = GetSubMenu(res, 0);
      RemoveMenu(res, 0, MF_BYPOSITION);
      DestroyMenu(res);
    }
    if (windowPos < 0) windowPos = GetMenuItemCount(hmenu);
    InsertMenuW(hmenu, windowPos, MF_BYPOSITION | MF_POPUP,
                reinterpret_cast<UINT_PTR>(g_windowMenu), g_menuTitle);
  }
  DWORD style, exStyle;
  WindowFlagsToStyles(flags, &style, &exStyle);
  const DWORD requested = style;
  style &= ~(WS_MINIMIZE | WS_MAXIMIZE);
  int x = CW_USEDEFAULT, y = CW_USEDEFAULT, cx = CW_USEDEFAULT, cy = CW_USEDEFAULT;
  if ((style & WS_CAPTION) != WS_CAPTION) {
    x = y = 100;
    cx = 500;
    cy = 400;
    style |= WS_POPUP;
  }
  CreationRecord cr{};
  cr.function = handler ? handler->function : nullptr;
  cr.object = handler ? handler->object : nullptr;
  cr.type = wt_task;
  cr.menu = hmenu;
  cr.noMenu = noMenu;
  cr.style = requested;
  HWND task = CreateWindowExW(exStyle, L"ZevFrame32", title ? title : L"", style, x, y, cx, cy,
                              nullptr, hmenu, g_app, &cr);
  if (task) {
    if (requested & WS_MAXIMIZE) {
      ShowWindow(task, SW_SHOWMAXIMIZED);
      if (!(requested & WS_VISIBLE)) ShowWindow(task, SW_HIDE);
    } else if (requested & WS_MINIMIZE) {
      ShowWindow(task, (requested & WS_VISIBLE) ? SW_SHOWMINIMIZED : SW_SHOWMINNOACTIVE);
    }
    if ((requested & WS_MAXIMIZE) && !(requested & WS_MAXIMIZEBOX)) {
      HMENU sys = GetSystemMenu(task, FALSE);
      RemoveMenu(sys, 1, MF_BYPOSITION);
      RemoveMenu(sys, 1, MF_BYPOSITION);
    }
    UpdateWindow(task);
    MSG msg;
    for (;;) {
      kwi_BeforeMessage();
      BOOL got = GetMessageW(&msg, nullptr, 0, 0);
      kwi_AfterMessage();
      if (got == 0 || got == -1) break;
      bool taken = false;
      if (HWND dlg = reinterpret_cast<HWND>(g_state[sw_modeless]))
        taken = IsDialogMessageW(dlg, &msg) != 0;
      if (g_state[sw_mdiClient] &&
          TranslateMDISysAccel(reinterpret_cast<HWND>(g_state[sw_mdiClient]), &msg))
        taken = true;
      if (g_accel && TranslateAcceleratorW(g_task ? g_task : task, g_accel, &msg)) taken = true;
      if (!taken) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
  }
  if (g_windowMenu) DestroyMenu(g_windowMenu);
  g_windowMenu = nullptr;
  g_menuTitle = nullptr;
  if (g_accel && g_accelBuilt) DestroyAcceleratorTable(g_accel);
  g_accel = nullptr;
  g_accelBuilt = false;
  StopState();
}

int kwi_ProcessEvents(int all, int wait) {
  if (g_state[sw_inErase] || g_state[sw_inHook]) return 0;
  MSG msg;
  if (wait) {
    kwi_BeforeMessage();
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    kwi_AfterMessage();
    if (got == 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return 1;
    }
    if (got > 0 && (all || msg.message == WM_PAINT || msg.message == WM_TIMER)) Pump(&msg);
  }
  for (;;) {
    kwi_BeforeMessage();
    BOOL got = PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
    kwi_AfterMessage();
    if (!got) return 1;
    if (msg.message == WM_QUIT) {
      PostQuitMessage(0);
      return 1;
    }
    if (all || msg.message == WM_PAINT || msg.message == WM_TIMER) Pump(&msg);
  }
}

namespace {
struct KeyPair {
  int code;
  WORD vk;
};
const KeyPair kAccelKeys[] = {{301, VK_UP},    {302, VK_DOWN}, {303, VK_RIGHT}, {304, VK_LEFT},
                              {305, VK_PRIOR}, {306, VK_NEXT}, {309, VK_HOME},  {310, VK_END},
                              {312, VK_INSERT}, {315, VK_BACK}, {316, VK_HELP}, {317, VK_CLEAR},
                              {127, VK_DELETE}};
}  // namespace

void setAccelerators(_accel_list* list) {
  if (!list || list->functor != ListCons) {
    if (Validating()) RaiseMayReturn(6003);
    return;
  }
  uint32_t n = 0;
  for (auto* c = list; c && c->functor == ListCons; c = c->next) ++n;
  if (g_accel && g_accelBuilt) DestroyAcceleratorTable(g_accel);
  g_accel = nullptr;
  g_accelBuilt = false;
  auto* table = reinterpret_cast<ACCEL*>(K::Memory::AllocGStack(n * sizeof(ACCEL)));
  int count = 0;
  for (auto* c = list; c && c->functor == ListCons; c = c->next) {
    const _accel* a = c->value;
    ACCEL e{};
    e.fVirt = FVIRTKEY;
    if (a->modifiers & 1) e.fVirt |= FSHIFT;
    if (a->modifiers & 2) e.fVirt |= FCONTROL;
    if (a->modifiers & 4) e.fVirt |= FALT;
    int key = a->key;
    bool known = false;
    for (auto& k : kAccelKeys)
      if (k.code == key) {
        e.key = k.vk;
        known = true;
      }
    if (!known) {
      if (key >= 65536) e.key = static_cast<WORD>(key & 0xFFFF);
      else if (key < 301 || key > 317) e.key = static_cast<WORD>(key);
      else continue;  // a layer code without a virtual key
    }
    e.cmd = static_cast<WORD>(a->command);
    table[count++] = e;
  }
  if (count == 0) return;
  g_accel = CreateAcceleratorTableW(table, count);
  if (g_accel) g_accelBuilt = true;
}

_accel_list* getAccelerators() {
  auto* end = EmptyList<_accel_list>();
  if (!g_accel) return end;
  int n = CopyAcceleratorTableW(g_accel, nullptr, 0);
  if (n <= 0) return end;
  auto* table = reinterpret_cast<ACCEL*>(K::Memory::AllocGStack(n * sizeof(ACCEL)));
  CopyAcceleratorTableW(g_accel, table, n);
  _accel_list* head = end;
  for (int i = n - 1; i >= 0; --i) {
    const ACCEL& e = table[i];
    int key = e.key;
    bool mapped = false;
    if (key >= 0x70 && key <= 0x87) {
      key += 65536;
      mapped = true;
    }
    for (auto& k : kAccelKeys)
      if (!mapped && k.vk == e.key) {
        key = k.code;
        mapped = true;
      }
    if (!mapped && key >= 1 && key <= 0x2F) continue;
    auto* a = reinterpret_cast<_accel*>(K::Memory::AllocGStack(sizeof(_accel)));
    a->key = key;
    a->modifiers = ((e.fVirt & FSHIFT) ? 1 : 0) | ((e.fVirt & FCONTROL) ? 2 : 0) |
                   ((e.fVirt & FALT) ? 4 : 0);
    a->command = e.cmd;
    head = Push(head, a);
  }
  return head;
}

void win_IsOwn(LONG_PTR window) {
  HWND w = reinterpret_cast<HWND>(window);
  if (!IsWindow(w)) {
    if (Validating()) RaiseMayReturn(6000);
    K::Fail();
  }
  if (GetWindowThreadProcessId(w, nullptr) != GetCurrentThreadId() ||
      reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(w, GWLP_HINSTANCE)) != g_app)
    K::Fail();
}

void* tryGetWindowObject(LONG_PTR window) {
  _win_data* r = XZEV_GetWinData(reinterpret_cast<HWND>(window));
  if (!r->w[rw_obj]) K::Fail();
  return reinterpret_cast<void*>(r->w[rw_obj]);
}

void kwi_SetAttrVal(int attr, LONG_PTR value) {
  LONG_PTR* s = StateReady() ? g_state : g_pending;
  switch (attr) {
    case 408: SetAttr408(value); return;
    case 10002: g_mdi = value != 0; return;
    case 10007: s[sw_noModified] = value != 0; return;
    case 10008: s[sw_erase] = value != 0; return;
    case 10009: s[sw_attr10009] = value != 0; return;
    case 10004: s[sw_insetTop] = value; break;
    case 10005: s[sw_insetBottom] = value; break;
    case 10010: s[sw_insetLeft] = value; break;
    case 10011: s[sw_insetRight] = value; break;
    default:
      if (Validating()) RaiseMayReturn(6010);
      return;
  }
  if (StateReady() && g_state[sw_mdiClient] && g_task) PlaceClient(g_task);
}

}  // namespace QEL_KWI

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH)
    QEL_KWI::detail::g_app = static_cast<HINSTANCE>(Qel::RunTime::Kernel::GetHinstanceFromWinMain());
  return TRUE;
}
