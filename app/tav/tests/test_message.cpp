// The message window on a real task window: placement, the string road with
// its timer and line bound, the stream road with its 511-unit pieces, the
// pop-up menu answered by a helper thread, forwarded commands, a pending
// rectangle and the first-look handler; the stream's refused properties.
#include <atomic>
#include <thread>

#include "kwi/kwimessage/kwimessage.h"
#include "kwi/kwimessage/outputstream_message.h"
#include "qel6edit.h"
#include "stream/stream_exception.h"
#include "toolkit_test.h"

using namespace tktest;
using namespace tav;
using namespace QEL_KWI;
namespace kd = tav::kwidomains;
namespace Tm = Qel::RunTime::Terms;

namespace {

using Message = Library;

const Tm::REllipsisArg* OneText(const wchar_t* s) {
  auto* a = static_cast<Tm::TEllipsisArgs<1>*>(GStackAlloc(sizeof(Tm::TEllipsisArgs<1>)));
  *a = Tm::TEllipsisArgs<1>{};
  a->SetValue(0, D(domains::string), s);
  return *a;
}

std::wstring EditorText(LONG_PTR w) { return Lf(QEL_EDIT::edit_GetText_0(w)); }

// A window's placement in the task window's client area as the layer takes
// it: the outer rectangle less the frame (the scroll bars stay inside).
RECT InTask(LONG_PTR w, LONG_PTR task) {
  HWND h = reinterpret_cast<HWND>(w);
  RECT r, frame{0, 0, 0, 0};
  GetWindowRect(h, &r);
  MapWindowPoints(nullptr, reinterpret_cast<HWND>(task), reinterpret_cast<POINT*>(&r), 2);
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(h, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(h, GWL_EXSTYLE)));
  return {r.left - frame.left, r.top - frame.top, r.right - frame.right, r.bottom - frame.bottom};
}

// The message window on an 800 by 600 client area, closed afterwards.
void WithMessageWindow(const std::function<void(LONG_PTR task, LONG_PTR w)>& body,
                       kwitest::Handler events = nullptr) {
  RunInTask(
      [&](LONG_PTR task) {
        SetClientSize(task, 800, 600);
        LONG_PTR w = kwiMessage::create(100);
        body(task, w);
        kwiMessage::close();
      },
      events);
}

TEST_F(Message, PlacedAlongTheBottomAboveTheStatusLine) {
  RECT created{}, again{}, placed{}, withMargin{};
  LONG_PTR second = 0, first = 0;
  std::wstring title;
  WithMessageWindow([&](LONG_PTR task, LONG_PTR w) {
    first = w;
    created = InTask(w, task);
    second = kwiMessage::create(5, L"Other");
    title = Text(reinterpret_cast<HWND>(w));
    kwiMessage::resize(task);
    again = InTask(w, task);
    kwi_SetAttrVal(10002, 1);
    kwi_SetAttrVal(10005, 21);
    kwiMessage::resize(task);
    placed = InTask(w, task);
    kwiMessage::close();
    Pump(50);
    withMargin = InTask(kwiMessage::create(100), task);
    kwi_SetAttrVal(10005, 0);
    kwi_SetAttrVal(10002, 0);
  });
  EXPECT_EQ(second, first);
  EXPECT_EQ(title, L"Messages");
  for (const RECT& r : {created, again}) {
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 490);
    EXPECT_EQ(r.right, 790);
    EXPECT_EQ(r.bottom, 590);
  }
  for (const RECT& r : {placed, withMargin}) {
    EXPECT_EQ(r.top, 469);
    EXPECT_EQ(r.bottom, 569);
  }
}

TEST_F(Message, TextWithoutALineBreakWaitsForTheTimer) {
  std::wstring atOnce = L"?", combined = L"?", afterTimer = L"?";
  DWORD waited = 0;
  int ticksAfterBreak = -1;
  WithMessageWindow([&](LONG_PTR, LONG_PTR w) {
    int ticks = 0;
    Closure watcher([&](HWND, event_struct* e) -> LONG_PTR {
      if (e->kind == e_timer) ++ticks;
      Fail();
    });
    kwiMessage::set_subclasshandler(&watcher);
    kwiMessage::appendstr(L"abc");
    atOnce = EditorText(w);
    kwiMessage::appendstr(L"def\n");
    combined = EditorText(w);
    ticks = 0;
    Pump(500);
    ticksAfterBreak = ticks;
    kwiMessage::appendstr(L"ghi");
    const DWORD start = GetTickCount();
    PumpUntil([&] { return EditorText(w) == L"abcdef\nghi"; }, 3000);
    waited = GetTickCount() - start;
    afterTimer = EditorText(w);
    kwiMessage::close();  // before the watcher goes
  });
  EXPECT_EQ(atOnce, L"");
  EXPECT_EQ(combined, L"abcdef\n");
  EXPECT_EQ(ticksAfterBreak, 0);
  EXPECT_EQ(afterTimer, L"abcdef\nghi");
  EXPECT_LT(waited, 1000u);
}

TEST_F(Message, TheLineBoundKeepsTheNewestLines) {
  int32_t lines = 0, afterSetLines = -1;
  std::wstring tail;
  WithMessageWindow([&](LONG_PTR, LONG_PTR w) {
    wchar_t line[32];
    for (int i = 0; i < 1000; ++i) {
      swprintf(line, 32, L"line %d\n", i);
      kwiMessage::appendstr(line);
    }
    lines = QEL_EDIT::edit_GetNumberOfLines(w);
    std::wstring text = EditorText(w);
    tail = text.substr(text.size() - 9);
    kwiMessage::clear();
    kwiMessage::appendstr(L"1\n2\n3");
    Pump(400);
    kwiMessage::setlines(3);
    afterSetLines = static_cast<int32_t>(EditorText(w).size());
  });
  EXPECT_GE(lines, 100);
  EXPECT_LE(lines, 102);
  EXPECT_EQ(tail, L"line 999\n");
  EXPECT_EQ(afterSetLines, 0);
}

// Records the length of every text the program hands to edit_AppendStr_0:
// the program's import slot of that function points here while it lives.
class AppendSpy {
 public:
  AppendSpy() {
    original_ = &QEL_EDIT::edit_AppendStr_0;
    slot_ = ImportSlot(reinterpret_cast<void*>(original_));
    if (slot_) Swap(reinterpret_cast<void*>(&Record));
    Lengths().clear();
  }
  ~AppendSpy() {
    if (slot_) Swap(reinterpret_cast<void*>(original_));
  }
  bool Installed() const { return slot_ != nullptr; }
  static std::vector<size_t>& Lengths() {
    static std::vector<size_t> lengths;
    return lengths;
  }

 private:
  using Fn = void (*)(LONG_PTR, const wchar_t*);
  static Fn& Original() {
    static Fn f;
    return f;
  }
  static void Record(LONG_PTR w, const wchar_t* text) {
    Lengths().push_back(wcslen(text));
    Original()(w, text);
  }
  // The import-address-table slot of the program that holds `target`.
  static void** ImportSlot(void* target) {
    auto* base = reinterpret_cast<uint8_t*>(GetModuleHandleW(nullptr));
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name; ++d)
      for (auto** slot = reinterpret_cast<void**>(base + d->FirstThunk); *slot; ++slot)
        if (*slot == target) return slot;
    return nullptr;
  }
  void Swap(void* to) {
    Original() = original_;
    DWORD old = 0;
    VirtualProtect(slot_, sizeof(void*), PAGE_READWRITE, &old);
    *slot_ = to;
    VirtualProtect(slot_, sizeof(void*), old, &old);
  }
  Fn original_ = nullptr;
  void** slot_ = nullptr;
};

TEST_F(Message, StreamTextShowsAtOnceIn511UnitPieces) {
  std::wstring standard, long600, pair, dropped = L"?";
  std::vector<size_t> pieces600, piecesPair, piecesDropped;
  bool spied = false;
  WithMessageWindow([&](LONG_PTR, LONG_PTR w) {
    stdIO::write(OneText(L"out"));
    stdIO::write_error(OneText(L"err"));
    standard = EditorText(w);
    kwiMessage::clear();
    AppendSpy spy;
    spied = spy.Installed();
    std::wstring text600(600, L'a');
    kwiMessage::write(OneText(text600.c_str()));
    long600 = EditorText(w);
    pieces600 = AppendSpy::Lengths();
    kwiMessage::clear();
    AppendSpy::Lengths().clear();
    // A surrogate pair in units 510 and 511: it arrives in one piece.
    std::wstring split = std::wstring(510, L'b') + L"\xD83D\xDE00" + L"c";
    kwiMessage::write(OneText(split.c_str()));
    pair = EditorText(w);
    piecesPair = AppendSpy::Lengths();
    kwiMessage::close();
    Pump(50);
    AppendSpy::Lengths().clear();
    kwiMessage::write(OneText(L"nobody reads this"));
    piecesDropped = AppendSpy::Lengths();
    dropped = EditorText(kwiMessage::create(100));
  });
  EXPECT_EQ(standard, L"outerr");
  ASSERT_TRUE(spied);
  EXPECT_EQ(long600, std::wstring(600, L'a'));
  EXPECT_EQ(pieces600, (std::vector<size_t>{511, 89}));
  EXPECT_EQ(pair, std::wstring(510, L'b') + L"\xD83D\xDE00" + L"c");
  EXPECT_EQ(piecesPair, (std::vector<size_t>{510, 3}));
  EXPECT_TRUE(piecesDropped.empty());
  EXPECT_EQ(dropped, L"");
}

TEST_F(Message, TheStreamRefusesPositionsConversionAndAnsi) {
  outputStream* s = kwiMessage::getoutputstream();
  EXPECT_EQ(s, kwiMessage::getoutputstream());
  EXPECT_FALSE(s->getcrlfconversion());
  EXPECT_EQ(RunTrapped([&] { s->setcrlfconversion(false); }), 0u);
  EXPECT_EQ(RunTrapped([&] { s->close(); }), 0u);
  struct Case {
    const char* name;
    std::function<void()> call;
    const ExceptionDescriptor* expected;
  };
  const Case cases[] = {
      {"getposition", [&] { s->getposition(); }, &stream_exception::notsupportedproperty},
      {"setposition", [&] { s->setposition(0); }, &stream_exception::notsupportedproperty},
      {"crlf on", [&] { s->setcrlfconversion(true); }, &stream_exception::nocrlfconversion},
      {"ansi", [&] { s->setmode(Mode::Ansi(1252)); }, &stream_exception::wrongmode},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    exception::clearall();
    EXPECT_GE(RunTrapped([&] { c.call(); }), kFirstTraceId);
    std::vector<const TraceEntry*> e = Entries();
    ASSERT_FALSE(e.empty());
    EXPECT_TRUE(exceptionState::equals(e.front()->exception, c.expected));
    EXPECT_STREQ(e.front()->classInfo->name, L"com/corvane/kwi/message/outputStream_message");
    if (c.expected == &stream_exception::wrongmode) {
      std::wstring all;
      for (const NamedValueList* l = e.front()->extraInfo; !l->Empty(); l = l->tail)
        all += Text(l->head->value) + L"|";
      EXPECT_NE(all.find(L"ansi"), std::wstring::npos) << Narrow(all);
      EXPECT_NE(all.find(L"outputStream_message::setmode"), std::wstring::npos) << Narrow(all);
    }
  }
  EXPECT_EQ(RunTrapped([&] { s->setmode(Mode::Unicode()); }), 0u);
}

// The states of items 1000..1004 of the first visible pop-up menu, then
// `key` pressed in it (Escape when 0).
struct MenuLook {
  std::vector<UINT> states;
  std::thread t;
  MenuLook(WORD key) {
    t = std::thread([this, key] {
      HWND menu = nullptr;
      for (int i = 0; i < 500 && !menu; ++i, Sleep(10)) {
        HWND m = FindWindowW(L"#32768", nullptr);
        if (m && IsWindowVisible(m)) menu = m;
      }
      if (!menu) return;
      Sleep(50);
      HMENU h = reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0));
      for (UINT id = 1000; id <= 1004; ++id) states.push_back(GetMenuState(h, id, MF_BYCOMMAND));
      PostMessageW(menu, WM_KEYDOWN, key ? key : VK_ESCAPE, 1);
      PostMessageW(menu, WM_KEYUP, key ? key : VK_ESCAPE, 0xC0000001);
    });
  }
  void Join() {
    if (t.joinable()) t.join();
  }
  ~MenuLook() { Join(); }
};

void RightClick(LONG_PTR w) {
  PostMessageW(reinterpret_cast<HWND>(w), WM_RBUTTONUP, 0, MAKELPARAM(20, 20));
}

bool Grey(UINT state) { return (state & (MF_GRAYED | MF_DISABLED)) != 0; }

TEST_F(Message, ThePopUpMenuCopiesClearsAndChangesTheFont) {
  std::vector<UINT> unselected, selected;
  std::wstring cleared = L"?", copied;
  std::vector<testbox::Seen> fontBoxes;
  WithMessageWindow([&](LONG_PTR, LONG_PTR w) {
    kwiMessage::appendstr(L"some words\n");
    {
      MenuLook look(0);
      RightClick(w);
      Pump(1500);
      look.Join();
      unselected = look.states;
    }
    QEL_EDIT::edit_SetSelection(w, 1, 5);
    {
      MenuLook look('C');
      RightClick(w);
      Pump(1500);
      look.Join();
      selected = look.states;
    }
    Pump(200);
    copied = ClipboardText();
    {
      Script s({{L"Font", [](HWND d) { Press(d, IDOK); }}});
      MenuLook look('F');
      RightClick(w);
      PumpUntil([&] { return !s.Boxes().empty() && !testbox::FindBox(L"Font"); }, 6000);
      s.Finish();
      fontBoxes = s.Boxes();
    }
    {
      MenuLook look('L');
      RightClick(w);
      PumpUntil([&] { return EditorText(w).empty(); }, 3000);
    }
    cleared = EditorText(w);
  });
  ASSERT_EQ(unselected.size(), 5u);
  EXPECT_TRUE(Grey(unselected[0]));
  for (size_t i = 1; i < 5; ++i) EXPECT_FALSE(Grey(unselected[i])) << i;
  ASSERT_EQ(selected.size(), 5u);
  EXPECT_FALSE(Grey(selected[0]));
  EXPECT_EQ(copied, L"some");
  EXPECT_EQ(fontBoxes.size(), 1u);
  EXPECT_EQ(cleared, L"");
}

TEST_F(Message, CommandsGoToTheParentExceptTheEditorsOwn) {
  std::vector<LONG_PTR> taskCommands;
  bool handled1234 = false, handled9077 = true;
  LONG_PTR result = 0;
  WithMessageWindow(
      [&](LONG_PTR, LONG_PTR w) {
        event_struct e1234{e_menu, {1234, 0}};
        handled1234 = Succeeds([&] { result = kwiMessage::_mess_win_handler(w, &e1234); });
        event_struct e9077{e_menu, {9077, 0}};
        handled9077 = Succeeds([&] { kwiMessage::_mess_win_handler(w, &e9077); });
      },
      [&](HWND, event_struct* e) -> LONG_PTR {
        if (e->kind == e_menu) {
          taskCommands.push_back(e->w[0]);
          return 0;
        }
        Fail();
      });
  EXPECT_TRUE(handled1234);
  EXPECT_EQ(result, 1);
  EXPECT_FALSE(handled9077);
  EXPECT_EQ(taskCommands, std::vector<LONG_PTR>{1234});
}

TEST_F(Message, AResizeWhileMinimisedIsAppliedOnRestore) {
  RECT restored{};
  bool movedWhileMinimised = true;
  WithMessageWindow([&](LONG_PTR task, LONG_PTR w) {
    HWND h = reinterpret_cast<HWND>(w);
    ShowWindow(h, SW_MINIMIZE);
    Pump(100);
    RECT before;
    GetWindowRect(h, &before);
    SetClientSize(task, 700, 500);
    kwiMessage::resize(task);
    RECT after;
    GetWindowRect(h, &after);
    movedWhileMinimised = !EqualRect(&before, &after);
    ShowWindow(h, SW_RESTORE);
    PumpUntil([&] { return InTask(w, task).right == 690; }, 3000);
    restored = InTask(w, task);
  });
  EXPECT_FALSE(movedWhileMinimised);
  EXPECT_EQ(restored.left, 10);
  EXPECT_EQ(restored.top, 390);
  EXPECT_EQ(restored.right, 690);
  EXPECT_EQ(restored.bottom, 490);
}

TEST_F(Message, AFirstLookHandlerSetBeforeCreateIsDropped) {
  bool keptBefore = true, keptAfter = false;
  LONG_PTR answer = 0;
  RunInTask([&](LONG_PTR) {
    Closure early([](HWND, event_struct*) -> LONG_PTR { return 7; });
    kwiMessage::close();
    kwiMessage::set_subclasshandler(&early);
    LONG_PTR w = kwiMessage::create(100);
    keptBefore = kwiMessage::trygetsubclasshandler() != nullptr;
    Closure late([](HWND, event_struct* e) -> LONG_PTR {
      if (e->kind == e_user) return 9;
      Fail();
    });
    kwiMessage::set_subclasshandler(&late);
    keptAfter = kwiMessage::trygetsubclasshandler() != nullptr;
    event_struct user{e_user, {1, 2}};
    answer = kwiMessage::_mess_win_handler(w, &user);
    kwiMessage::close();
  });
  EXPECT_FALSE(keptBefore);
  EXPECT_TRUE(keptAfter);
  EXPECT_EQ(answer, 9);
}

}  // namespace
