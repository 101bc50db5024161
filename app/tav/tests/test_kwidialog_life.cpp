// kwiDialog's lifecycle half on real dialogs: modal and modeless dialogs
// from the program's resources and from definition lists, a dialog inside
// its own top-level window, event routing, what each kind of value writes
// into its control and the store, clicks, the public operations and the
// typed accessors.  Modal dialogs are driven from inside their own loop:
// the user handler posts itself a user event at creation and runs the
// test's steps there; boxes are answered by a helper thread.
#include "exception/exception.h"
#include "kwi/kwi.h"
#include "kwidialog_test.h"

using namespace dlgtest;
using namespace QEL_KWI;
using tav::TraceEntry;
using testbox::Seen;

namespace {

using KwiDialogLife = Library;

constexpr int kLife = 701, kSmall = 702, kMissing = 4999;
constexpr int kInt = 101, kStr = 102, kThree = 103, kTwo = 104, kLoose = 105, kR1 = 106, kR2 = 107,
              kR3 = 108, kBox = 109, kDrop = 110, kCombo2 = 111, kStatic = 112, kBar = 113,
              kPush = 114, kCancel = 2;
constexpr LONG_PTR kStep = 0x5157;

template <class L>
std::wstring ListText(const L* l);
template <>
std::wstring ListText(const ValList* l) {
  return TextOf(tav::domains::val_list, l);
}

// The name and "parameter" of the exception a body raised.
std::pair<std::wstring, std::wstring> Raised(const std::function<void()>& body) {
  const uint32_t id = RunTrapped([&] { body(); });
  if (!id) return {L"<nothing>", L""};
  const TraceEntry* e = Entries().front();
  return {e->exception->name, Extra(e, L"parameter")};
}

tav::kwiDialog::Handler* NoHandler() { return tav::NoEventHandler(); }

// A user handler that records the kinds of events it sees, runs `step` on a
// user event it posts itself at creation, and answers OK and Cancel as told.
struct User {
  std::function<void(LONG_PTR)> step;
  bool keepOnOk = false;      // succeeds on OK: the dialog stays open
  bool answerCancel = false;  // succeeds on Cancel
  std::vector<uint32_t> kinds;
  int destroys = 0;
  Closure closure{[this](HWND d, event_struct* e) -> LONG_PTR {
    kinds.push_back(e->kind);
    if (e->kind == e_destroy) ++destroys;
    if (e->kind == e_create && step) PostMessageW(d, 0xC00F, kStep, 0);
    if (e->kind == e_user && e->w[0] == kStep && step) {
      step(L(d));
      return 0;
    }
    if (e->kind == e_control && e->w[0] == 1 && keepOnOk) return 0;
    if (e->kind == e_control && e->w[0] == 2 && answerCancel) return 0;
    Fail();
  }};
  tav::kwiDialog::Handler* operator&() { return &closure; }
  int Count(uint32_t kind) const { return static_cast<int>(std::count(kinds.begin(), kinds.end(), kind)); }
};

struct Modal {
  LONG_PTR window = -1;
  std::wstring values;
  int32_t code = -1;
  LONG_PTR dialog = 0;  // the dialog's handle, seen inside
  uint32_t left = 0, pending = 0;
};

// createModal of resource `id`; `step` runs once inside the open dialog.
Modal RunModal(uint32_t id, const wchar_t* title, const FieldList* fields, User& user) {
  Modal m;
  auto inner = user.step;
  user.step = [&](LONG_PTR d) {
    m.dialog = d;
    if (inner) inner(d);
  };
  const ValList* values = nullptr;
  m.window = kwiDialog::createModal(0, id, title, fields, &user, 7, &values, &m.code);
  m.values = ListText(values);
  m.left = st::CountEntries(m.dialog);
  m.pending = st::CountEntries(0);
  user.step = inner;
  return m;
}

void PressOk(LONG_PTR d) { PostMessageW(GetDlgItem(H(d), 1), BM_CLICK, 0, 0); }
void PressCancel(LONG_PTR d) { PostMessageW(GetDlgItem(H(d), 2), BM_CLICK, 0, 0); }

const FieldList* LifeFields() {
  return FieldsOf({Df(kInt, EditInt(Props({Range(1, 50)})), StrPrompt(L"Count")),
                   Df(kStr, EditStr(L"abc", Props({Upper()}))),
                   Df(kThree, CheckBox(1)),
                   Df(kR1, Make(KRadios{k_radiobuttongroup, Ints({kR1, kR2, kR3})})),
                   Df(kBox, ListBox(Strings({L"a", L"b", L"c"}), Ints({2}))),
                   Df(kDrop, ListButton(Strings({L"x", L"y"}), 1))});
}

// --- Lifecycle -----------------------------------------------------------------------

TEST_F(KwiDialogLife, OkGivesTypedValuesAndCancelNothingAndNoEntryIsLeft) {
  Modal ok, cancelled;
  std::wstring title, edit;
  RunInTask([&](LONG_PTR) {
    User u;
    u.step = [&](LONG_PTR d) {
      title = Text(H(d));
      edit = CtlText(H(d), kStr);
      SetWindowTextW(Ctl(d, kInt), L"12");
      PressOk(d);
    };
    ok = RunModal(kLife, L"Asked", LifeFields(), u);
    User c;
    c.step = [&](LONG_PTR d) { PressCancel(d); };
    cancelled = RunModal(kLife, L"", LifeFields(), c);
  });
  EXPECT_EQ(title, L"Asked");
  EXPECT_EQ(edit, L"abc");
  EXPECT_EQ(ok.window, 0);
  EXPECT_EQ(ok.code, 1);
  EXPECT_EQ(ok.values,
            L"[dv(109,alllist([\"a\",\"b\",\"c\"])),dv(110,alllist([\"x\",\"y\"])),"
            L"dv(103,checkbox(1)),dv(106,radiobuttongroup(106)),dv(101,editint(i(12))),"
            L"dv(102,editstr(\"ABC\")),dv(109,listbox([\"c\"],[2])),dv(110,listbutton(\"y\",1))]");
  EXPECT_EQ(cancelled.code, 2);
  EXPECT_EQ(cancelled.values, L"[]");
  for (const Modal* m : {&ok, &cancelled}) {
    EXPECT_NE(m->dialog, 0);
    EXPECT_EQ(m->left, 0u);
    EXPECT_EQ(m->pending, 0u);
  }
}

TEST_F(KwiDialogLife, TheUserHandlerDecidesOverOkAndCancelFirst) {
  Modal kept;
  bool openAfterOk = false;
  std::vector<Seen> boxes;
  RunInTask([&](LONG_PTR) {
    // Succeeding on OK keeps the dialog open; failing on Cancel lets the class close it.
    User u;
    u.keepOnOk = true;
    u.step = [&](LONG_PTR d) {
      SendMessageW(Ctl(d, 1), BM_CLICK, 0, 0);
      Pump(50);
      openAfterOk = IsWindow(H(d)) && !st::HasResult(d, 1);
      PressCancel(d);
    };
    kept = RunModal(kLife, L"", LifeFields(), u);
    // An invalid field keeps the dialog open after OK, with its box.
    Script s({{L"Error", [](HWND b) { testbox::Press(b, IDOK); }}});
    User v;
    v.step = [&](LONG_PTR d) {
      SetWindowTextW(Ctl(d, kInt), L"99");
      SendMessageW(Ctl(d, 1), BM_CLICK, 0, 0);
      Pump(300);
      PressCancel(d);
    };
    RunModal(kLife, L"", LifeFields(), v);
    Settle(s);
    boxes = s.Boxes();
  });
  EXPECT_TRUE(openAfterOk);
  EXPECT_EQ(kept.code, 2);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, L"Count must be between 1 and 50. Current value 99");
}

// A creation that raises before its creation event leaves nothing that the
// next dialog could take as its own.
TEST_F(KwiDialogLife, AFailedCreationLeavesNothingForTheNextDialog) {
  std::pair<std::wstring, std::wstring> missing;
  uint32_t pendingAfterFailure = 1;
  Modal good;
  std::wstring title, edit;
  RunInTask([&](LONG_PTR) {
    User stale;  // were it taken by the next dialog, it would close that dialog
    stale.step = [](LONG_PTR d) { PressCancel(d); };
    missing = Raised([&] {
      const ValList* v = nullptr;
      int32_t code = 0;
      kwiDialog::createModal(0, kMissing, L"Stale", FieldsOf({Df(kStr, EditStr(L"stale", Props({})))}),
                             &stale, 0, &v, &code);
    });
    pendingAfterFailure = st::CountEntries(0);
    User u;
    u.step = [&](LONG_PTR d) {
      title = Text(H(d));
      edit = CtlText(H(d), kStr);
      PressCancel(d);
    };
    good = RunModal(kLife, L"Good", LifeFields(), u);
    EXPECT_TRUE(stale.kinds.empty());
    EXPECT_GT(u.Count(e_create), 0);
  });
  EXPECT_EQ(missing.first, L"kwi_dlgnotfound");
  EXPECT_EQ(pendingAfterFailure, 0u);
  EXPECT_EQ(title, L"Good");
  EXPECT_EQ(edit, L"abc");
  EXPECT_EQ(good.code, 2);
  EXPECT_EQ(good.pending, 0u);
  EXPECT_EQ(good.left, 0u);
}

TEST_F(KwiDialogLife, UncreatableListsGiveTheErrorBoxOrTheirError) {
  std::vector<std::wstring> outcomes;
  std::vector<Seen> boxes;
  RunInTask([&](LONG_PTR task) {
    auto wdef = [](int type) {
      return reinterpret_cast<LONG_PTR>(Make(QEL_KWI::wdef{type, kd::Rect(0, 0, 100, 50), L"T", 2}));
    };
    auto def = [](uintptr_t alt, std::initializer_list<LONG_PTR> w) {
      auto* d = static_cast<windef*>(tav::GStackAlloc(sizeof(windef)));
      *d = windef{alt, {}};
      size_t i = 0;
      for (LONG_PTR x : w) d->w[i++] = x;
      return d;
    };
    const auto flags = reinterpret_cast<LONG_PTR>(kd::Ints({}));
    auto ok = [](HWND b) { testbox::Press(b, IDOK); };
    Script s({{L"Error", ok}, {L"Error", ok}, {L"Error", ok}});
    // A dialog of another type, a resource of another type, an empty list.
    for (windef_list_struct* list : {kd::Windefs({def(wd_dlg, {wdef(wt_toplevel), flags})}),
                                     kd::Windefs({def(wd_resdlg, {kLife, 5})}), kd::Windefs({})}) {
      const ValList* v = nullptr;
      int32_t code = -1;
      const LONG_PTR w = kwiDialog::create(task, list, FieldsOf({}), NoHandler(), 0, &v, &code);
      outcomes.push_back(std::to_wstring(w) + L" " + ListText(v) + L" " + std::to_wstring(code));
    }
    Settle(s);
    boxes = s.Boxes();
    // "As window" with a resdlg head and more elements.
    LONG_PTR inner = 0;
    const uint32_t id = RunTrapped([&] {
      kwiDialog::createAsWindow(task,
                                kd::Windefs({def(wd_resdlg, {kLife, 7}),
                                             kd::Ctl(wt_edit, kd::Rect(5, 5, 50, 15), L"", 5, kd::Ints({}))}),
                                L"W", FieldsOf({}), NoHandler(), 0, &inner);
    });
    const TraceEntry* e = tav::exception::trygetdescriptor(id, &tav::common_exception::internal);
    outcomes.push_back(e ? Extra(e, L"Predicate name") + L": " + Extra(e, L"Arguments") : L"<none>");
    outcomes.push_back(std::to_wstring(st::CountEntries(0)));
  });
  EXPECT_EQ(outcomes, (std::vector<std::wstring>{L"0 [] 0", L"0 [] 0", L"0 [] 0",
                                                 L"getWindowStyleFlags: unexpected dialog style", L"0"}));
  ASSERT_EQ(boxes.size(), 3u);
  for (const Seen& b : boxes) EXPECT_EQ(b.text, L"Error <dialog_Create>");
}

// --- Modeless dialogs and routing --------------------------------------------------

TEST_F(KwiDialogLife, EscapeAndEnterInAModelessDialog) {
  struct Case {
    int resource;
    WPARAM key;
    const wchar_t* text;  // typed into the integer field first
    bool closes;
  };
  const Case cases[] = {
      {kLife, VK_ESCAPE, L"", true},    // Cancel pressed
      {kSmall, VK_ESCAPE, L"", false},  // no control 2: nothing
      {kLife, VK_RETURN, L"7", true},   // OK with valid values
      {kLife, VK_RETURN, L"99", false}, // OK with an invalid value: its box, still open
  };
  std::vector<std::wstring> got, want;
  RunInTask([&](LONG_PTR task) {
    for (const Case& c : cases) {
      User u;
      NoBox boxes;
      const LONG_PTR d = kwiDialog::createModeless(
          task, c.resource, L"", FieldsOf({Df(kInt, EditInt(Props({Range(1, 50)})))}), &u, 0);
      SetWindowTextW(Ctl(d, kInt), c.text);
      event_struct e{e_char, {static_cast<LONG_PTR>(c.key == VK_ESCAPE ? 27 : 13), 0}};
      win_SendEvent(d, &e);
      Pump(100);
      const bool open = IsWindow(H(d));
      got.push_back(std::to_wstring(c.resource) + L"/" + std::to_wstring(c.key) + L": " +
                    (open ? L"open" : L"closed") + L" entries " + std::to_wstring(st::CountEntries(d)) +
                    L" destroys " + std::to_wstring(u.destroys) + L" boxes " + std::to_wstring(boxes.Shown()));
      want.push_back(std::to_wstring(c.resource) + L"/" + std::to_wstring(c.key) + L": " +
                     (c.closes ? L"closed entries 0 destroys 1 boxes 0"
                               : std::wstring(L"open entries 5 destroys 0 boxes ") + (*c.text ? L"1" : L"0")));
      if (open) win_Destroy(d);
      EXPECT_EQ(st::CountEntries(d), 0u);
    }
  });
  EXPECT_EQ(got, want);
}

// Events that the class's own writes cause reach neither the field handling
// nor the user handler; later ones do.
TEST_F(KwiDialogLife, WritesAreShieldedAndDestructionReachesTheUserOnce) {
  int controlsDuringWrites = -1, controlsAfter = -1;
  std::wstring held;
  User u;
  RunInTask([&](LONG_PTR task) {
    const LONG_PTR d = kwiDialog::createModeless(task, kLife, L"Shielded", LifeFields(), &u, 0);
    Pump(100);
    const int before = u.Count(e_control);
    kwiDialog::setValues(d, ListOf<ValList>({reinterpret_cast<const Val*>(Make(Val{1, kStr, Held(L"typed")})),
                                             reinterpret_cast<const Val*>(Make(Val{1, kBox, Make(KListBox{k_listbox, Strings({}), Ints({0})})}))}));
    kwiDialog::setFields(d, FieldsOf({Df(kCombo2, ListEdit(Strings({L"p", L"q"}), L"q"))}));
    Pump(100);
    controlsDuringWrites = u.Count(e_control) - before;
    EXPECT_FALSE(st::IgnoresEvents(d));
    Type(Ctl(d, kStr), L"!");
    controlsAfter = u.Count(e_control) - before;
    held = HeldText(d, kStr) == L"editstr(\"" + CtlText(H(d), kStr) + L"\")" ? CtlText(H(d), kStr) : HeldText(d, kStr);
    win_Destroy(d);
  });
  // The user hears of its dialog's creation after the fields are written,
  // and of none of the writes' control events before it.
  const auto created = std::find(u.kinds.begin(), u.kinds.end(), uint32_t{e_create});
  EXPECT_EQ(std::count(u.kinds.begin(), created, uint32_t{e_control}), 0);
  EXPECT_EQ(controlsDuringWrites, 0);
  EXPECT_GT(controlsAfter, 0);
  // The held value follows the control once the write is over.
  EXPECT_EQ(held.size(), 6u);
  EXPECT_NE(held.find(L'!'), std::wstring::npos);
  EXPECT_EQ(u.destroys, 1);
  EXPECT_EQ(u.Count(e_create), 1);
}

// --- As a window -------------------------------------------------------------------

TEST_F(KwiDialogLife, TheFrameFitsTheDialogAndClosesWithIt) {
  std::wstring rect, child;
  RECT frameClient{}, dialogClient{};
  POINT originBefore{}, originAfter{};
  uint32_t leftInner = 1, leftTop = 1;
  bool frameGone = false;
  RunInTask([&](LONG_PTR task) {
    auto* wd = Make(QEL_KWI::wdef{wt_modal, kd::Rect(100, 50, 400, 250), L"Inner", 0});
    auto* head = static_cast<windef*>(tav::GStackAlloc(sizeof(windef)));
    *head = windef{wd_dlg, {reinterpret_cast<LONG_PTR>(wd), reinterpret_cast<LONG_PTR>(kd::Ints({4, 9}))}};
    windef_list_struct* list = kd::Windefs(
        {head, kd::Ctl(wt_edit, kd::Rect(5, 5, 120, 17), L"", kEdit, kd::Ints({26})),
         kd::Ctl(wt_pushbutton, kd::Rect(5, 25, 60, 37), L"OK", 1, kd::Ints({26}))});
    const rect_struct* r = kwiDialog::gettoplevelrect(list);
    rect = std::to_wstring(r->left) + L"," + std::to_wstring(r->top) + L"," + std::to_wstring(r->right) +
           L"," + std::to_wstring(r->bottom);
    const QEL_KWI::wdef* c = reinterpret_cast<const QEL_KWI::wdef*>(kwiDialog::getChildDlgWinDefList(list)->value->w[0]);
    child = std::to_wstring(c->type) + L" " + std::to_wstring(c->rect->left) + L"," + std::to_wstring(c->rect->top) +
            L"," + std::to_wstring(c->rect->right) + L"," + std::to_wstring(c->rect->bottom);

    User u;
    LONG_PTR inner = 0;
    const LONG_PTR top = kwiDialog::createAsWindow(task, list, L"Frame", FieldsOf({Df(kEdit, EditStr(L"in", Props({})))}),
                                                   &u, 0, &inner);
    Pump(100);
    GetClientRect(H(top), &frameClient);
    GetClientRect(H(inner), &dialogClient);
    EXPECT_EQ(CtlText(H(inner), kEdit), L"in");
    EXPECT_EQ(win_GetData(top), inner);
    // Resizing again keeps the frame's client origin.
    ClientToScreen(H(top), &originBefore);
    kwiDialog::resizetoplevelwindow(top, inner, kd::Ints({4, 9}));
    ClientToScreen(H(top), &originAfter);
    // OK ends the dialog; its frame closes after it.
    SendMessageW(Ctl(inner, 1), BM_CLICK, 0, 0);
    PumpUntil([&] { return !IsWindow(H(top)); });
    frameGone = !IsWindow(H(top));
    leftInner = st::CountEntries(inner);
    leftTop = st::CountEntries(top);
    EXPECT_EQ(u.destroys, 1);
  });
  EXPECT_EQ(rect, L"100,50,110,60");
  EXPECT_EQ(child, L"7 0,0,300,200");
  EXPECT_EQ(frameClient.right, dialogClient.right - 1);
  EXPECT_EQ(frameClient.bottom, dialogClient.bottom - 1);
  EXPECT_EQ(originAfter.x, originBefore.x);
  EXPECT_EQ(originAfter.y, originBefore.y);
  EXPECT_TRUE(frameGone);
  EXPECT_EQ(leftInner, 0u);
  EXPECT_EQ(leftTop, 0u);
}

// A list with a top window: its fields are written, and its user handler
// gets the creation event, once its controls exist.
TEST_F(KwiDialogLife, ATopWindowListIsFilledOnceItsControlsExist) {
  std::wstring edit, values;
  int creates = -1, destroys = -1;
  int32_t code = -1;
  uint32_t after = 1, pending = 1;
  RunInTask([&](LONG_PTR task) {
    User u;
    auto* wd = Make(QEL_KWI::wdef{wt_toplevel, kd::Rect(50, 50, 350, 250), L"Top", 0});
    auto* head = static_cast<windef*>(tav::GStackAlloc(sizeof(windef)));
    *head = windef{wd_topwin,
                   {reinterpret_cast<LONG_PTR>(wd), reinterpret_cast<LONG_PTR>(kd::NoMenu()),
                    reinterpret_cast<LONG_PTR>(kd::Ints({4, 9}))}};
    const ValList* v = nullptr;
    const LONG_PTR w = kwiDialog::create(
        task, kd::Windefs({head, kd::Ctl(wt_edit, kd::Rect(5, 5, 120, 17), L"", kEdit, kd::Ints({}))}),
        FieldsOf({Df(kEdit, EditStr(L"top", Props({})))}), &u, 0, &v, &code);
    values = ListText(v);
    edit = CtlText(H(w), kEdit);
    creates = u.Count(e_create);
    pending = st::CountEntries(0);
    DestroyWindow(H(w));
    Pump(50);
    after = st::CountEntries(w);
    destroys = u.destroys;
  });
  EXPECT_EQ(edit, L"top");
  EXPECT_EQ(values, L"[]");
  EXPECT_EQ(code, 0);
  EXPECT_EQ(creates, 1);
  EXPECT_EQ(destroys, 1);
  EXPECT_EQ(pending, 0u);
  EXPECT_EQ(after, 0u);
}

TEST_F(KwiDialogLife, AnOrdinaryParentGetsNoCloseRequest) {
  int closes = 0;
  RunInTask(
      [&](LONG_PTR task) {
        User u;
        const LONG_PTR d = kwiDialog::createModeless(task, kSmall, L"", FieldsOf({}), &u, 0);
        kwiDialog::destroyinternaltoplevel(d);
        Pump(100);
        win_Destroy(d);
        Pump(100);
      },
      [&](HWND, event_struct* e) -> LONG_PTR {
        if (e->kind == e_closerequest) ++closes;
        Fail();
      });
  EXPECT_EQ(closes, 0);
}

// --- Values written into controls -------------------------------------------------

TEST_F(KwiDialogLife, EachKindOfValueIsShownAndStoredByItsRule) {
  struct Case {
    const wchar_t* name;
    std::function<const Val*()> value;
    int id;               // the control whose text and value are checked
    const wchar_t* held;  // the held value afterwards
    const wchar_t* shown; // the control's text, or null
  };
  auto dv = [](int id, const Tagged* v) { return reinterpret_cast<const Val*>(Make(Val{1, id, v})); };
  const Case cases[] = {
      {L"editint as text", [&] { return dv(kInt, Make(KOpt{k_editint, Make(OptInt{2, 42})})); }, kInt,
       L"editstr(\"42\")", L"42"},
      {L"editint void", [&] { return dv(kInt, Make(KOpt{k_editint, Void()})); }, kInt, L"editstr(\"\")", L""},
      {L"statictext", [&] { return dv(kStatic, Text(k_statictext, L"Hi")); }, kStatic,
       L"statictext(\"Hi\")", L"Hi"},
      {L"pushbutton", [&] { return dv(kPush, Text(k_pushbutton, L"Go")); }, kPush, L"pushbutton(\"Go\")",
       L"Go"},
      {L"listbutton text from the list", [&] { return dv(kDrop, Make(KListButtonVal{k_listbutton, L"zz", 0})); },
       kDrop, L"listbutton(\"x\",0)", nullptr},
      {L"listbox deselects first",
       [&] { return dv(kBox, Make(KListBox{k_listbox, Strings({L"ignored"}), Ints({0})})); }, kBox,
       L"listbox([\"a\"],[0])", nullptr},
      {L"alllist stores nothing", [&] { return dv(kDrop, Make(KAllList{k_alllist, Strings({L"n"})})); },
       kDrop, L"listbutton(\"y\",1)", nullptr},
      {L"custom without a control", [&] { return dv(900, Make(KCustom{k_custom, L"c", 3})); }, 900,
       L"custom(\"c\",3)", nullptr},
      {L"datafield without a control", [&] { return dv(901, Text(k_datafield, L"d")); }, 901,
       L"datafield(\"d\")", nullptr},
      {L"radio group under its first id", [&] { return dv(kR1, IntVal(k_radiobuttongroup, kR3)); }, kR1,
       L"radiobuttongroup(108)", nullptr},
      {L"radio not first: edit rule, then the box",
       [&] { return dv(kR2, IntVal(k_radiobuttongroup, kR3)); }, kR2, L"(none)", nullptr},
      {L"statictext on an edit: edit rule fails, the box",
       [&] { return dv(kStr, Text(k_statictext, L"s")); }, kStr, L"editstr(\"abc\")", L"abc"},
  };
  std::vector<std::wstring> got, want;
  std::vector<Seen> boxes;
  RunInTask([&](LONG_PTR task) {
    Script s({{L"Error", [](HWND b) { testbox::Press(b, IDOK); }},
              {L"Error", [](HWND b) { testbox::Press(b, IDOK); }}});
    for (const Case& c : cases) {
      User u;
      const LONG_PTR d = kwiDialog::createModeless(task, kLife, L"", LifeFields(), &u, 0);
      kwiDialog::setValues(d, ListOf<ValList>({c.value()}));
      Pump(20);
      std::wstring line = std::wstring(c.name) + L": " + HeldText(d, c.id);
      if (c.shown) line += L" shows " + CtlText(H(d), c.id);
      got.push_back(line);
      std::wstring expected = std::wstring(c.name) + L": " + c.held;
      if (c.shown) expected += std::wstring(L" shows ") + c.shown;
      want.push_back(expected);
      if (c.id == kBox) {
        EXPECT_EQ(SendMessageW(Ctl(d, kBox), LB_GETCURSEL, 0, 0), 0);
      }
      win_Destroy(d);
    }
    Settle(s);
    boxes = s.Boxes();
  });
  EXPECT_EQ(got, want);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, L"Illegal Value! radiobuttongroup(108)");
  EXPECT_EQ(boxes[1].text, L"Illegal Value! statictext(\"s\")");
}

TEST_F(KwiDialogLife, ClicksToggleCheckBoxesAndAdoptLooseOnes) {
  std::vector<int> three, two;
  std::wstring loose, edit;
  RunInTask([&](LONG_PTR task) {
    User u;
    const LONG_PTR d = kwiDialog::createModeless(
        task, kLife, L"",
        FieldsOf({Df(kThree, CheckBox(0)), Df(kTwo, CheckBox(0)), Df(kInt, EditInt(Props({Default(7)}))),
                  Df(kStr, EditStr(L"", Props({})))}),
        &u, 0);
    for (int i = 0; i < 3; ++i) {
      SendMessageW(Ctl(d, kThree), BM_CLICK, 0, 0);
      three.push_back(kwiDialog::getcheck(d, kThree) * 10 +
                      static_cast<int>(SendMessageW(Ctl(d, kThree), BM_GETCHECK, 0, 0)));
      SendMessageW(Ctl(d, kTwo), BM_CLICK, 0, 0);
      two.push_back(kwiDialog::getcheck(d, kTwo) * 10 +
                    static_cast<int>(SendMessageW(Ctl(d, kTwo), BM_GETCHECK, 0, 0)));
    }
    SendMessageW(Ctl(d, kLoose), BM_CLICK, 0, 0);
    loose = TextOf(tav::domains::item, st::FirstField(d, kLoose)->item) + L" " + HeldText(d, kLoose);
    // Leaving an empty integer field with a default shows the default.
    SetFocus(Ctl(d, kInt));
    SetWindowTextW(Ctl(d, kInt), L"");
    SetFocus(Ctl(d, kStr));
    Pump(50);
    edit = CtlText(H(d), kInt);
    win_Destroy(d);
  });
  EXPECT_EQ(three, (std::vector<int>{11, 22, 0}));
  EXPECT_EQ(two, (std::vector<int>{11, 0, 11}));
  EXPECT_EQ(loose, L"checkbox(0) checkbox(1)");
  EXPECT_EQ(edit, L"7");
}

// --- Public operations and accessors ----------------------------------------------

TEST_F(KwiDialogLife, MissingControlsAndValuesRaise) {
  std::vector<std::pair<std::wstring, std::wstring>> got;
  std::wstring title, state;
  RunInTask([&](LONG_PTR task) {
    User u;
    const LONG_PTR d = kwiDialog::createModeless(task, kLife, L"", LifeFields(), &u, 0);
    auto enables = [](std::initializer_list<Enable> e) {
      std::vector<const Enable*> p;
      for (const Enable& x : e) p.push_back(reinterpret_cast<const Enable*>(Make(x)));
      const EnableList* l = reinterpret_cast<const EnableList*>(Make(Tagged{2}));
      for (size_t i = p.size(); i-- > 0;) l = reinterpret_cast<const EnableList*>(Make(EnableList{1, p[i], l}));
      return l;
    };
    got.push_back(Raised([&] { kwiDialog::setState(d, enables({{1, kStr, 0}, {1, 4711, 1}})); }));
    got.push_back(Raised([&] { kwiDialog::setControlTitle(d, 4711, L"x"); }));
    got.push_back(Raised([&] { kwiDialog::setstr(d, 4711, L"x"); }));
    got.push_back(Raised([&] { kwiDialog::setValues(d, ListOf<ValList>({reinterpret_cast<const Val*>(Make(Val{1, 4711, Held(L"x")}))})); }));
    got.push_back(Raised([&] { kwiDialog::getValue(d, 4712); }));
    got.push_back(Raised([&] { kwiDialog::getValue(d, kLoose); }));
    state = IsWindowEnabled(Ctl(d, kStr)) ? L"enabled" : L"disabled";
    kwiDialog::setState(d, enables({{1, kStr, 1}, {2, kPush, 2}}));
    state += IsWindowEnabled(Ctl(d, kStr)) && !IsWindowVisible(Ctl(d, kPush)) ? L" enabled hidden" : L" wrong";
    kwiDialog::setcheck(d, kThree, 2);
    kwiDialog::setControlTitle(d, kThree, L"Renamed");
    kwiDialog::setControlTitle(d, kBox, L"nothing");
    title = Text(Ctl(d, kThree)) + L" " + HeldText(d, kThree);
    EXPECT_FALSE(st::IgnoresEvents(d));
    win_Destroy(d);
  });
  using P = std::pair<std::wstring, std::wstring>;
  EXPECT_EQ(got, (std::vector<P>{P{L"kwi_win_ctlhndl", L"<none>"}, P{L"kwi_win_ctlhndl", L"<none>"},
                                 P{L"kwi_win_ctlhndl", L"<none>"}, P{L"kwi_win_ctlhndl", L"<none>"},
                                 P{L"unregisteredidentifier", L"4712"},
                                 P{L"unregisteredidentifier", L"105"}}));
  EXPECT_EQ(state, L"disabled enabled hidden");
  EXPECT_EQ(title, L"Renamed checkbox(2)");
}

TEST_F(KwiDialogLife, TypedAccessorsReadTheirKindOnly) {
  std::vector<std::wstring> got;
  RunInTask([&](LONG_PTR task) {
    auto dv = [](int id, const Tagged* v) { return reinterpret_cast<const Val*>(Make(Val{1, id, v})); };
    const ValList* list = ListOf<ValList>({dv(3, Text(k_statictext, L"static")), dv(3, Held(L"edit")),
                                           dv(5, Held(L"5")), dv(6, IntVal(k_checkbox, 1))});
    auto text = [](const Tagged* t) { return TextOf(tav::domains::dint, t); };
    got.push_back(kwiDialog::vlgetstr(3, list));
    got.push_back(Raised([&] { kwiDialog::vlgetint(5, list); }).second);
    got.push_back(Raised([&] { kwiDialog::vlgetcheck(6, ListOf<ValList, const Val*>({})); }).first);
    got.push_back(std::to_wstring(kwiDialog::vlgetcheck(6, list)));

    User u;
    const LONG_PTR d = kwiDialog::createModeless(
        task, kLife, L"", FieldsOf({Df(kInt, EditInt(Props({}))), Df(kStr, EditInt(Props({Default(4)}))),
                                    Df(kStatic, Make(KText{k_statictext, L"lbl"})),
                                    Df(kBox, ListBox(Strings({L"a", L"b"}), Ints({1})))}),
        &u, 0);
    for (const wchar_t* t : {L"12", L"", L"12a"}) {
      SetWindowTextW(Ctl(d, kInt), t);
      kwiDialog::read_current_values(d);
      const uint32_t id = RunTrapped([&] { got.push_back(text(kwiDialog::getint(d, kInt))); });
      if (id) got.push_back(Entries().front()->exception->name);
    }
    got.push_back(text(kwiDialog::getint(d, kStr)));
    got.push_back(Raised([&] { kwiDialog::getstr(d, kStatic); }).first);
    got.push_back(std::to_wstring(kwiDialog::getcheck(d, kStatic)));
    kwiDialog::setlistbox(d, kBox, Ints({}));
    got.push_back(HeldText(d, kBox) + L" items " +
                  std::to_wstring(SendMessageW(Ctl(d, kBox), LB_GETCOUNT, 0, 0)));
    kwiDialog::setstr(d, kStatic, L"new");
    got.push_back(HeldText(d, kStatic));
    win_Destroy(d);
  });
  EXPECT_EQ(got, (std::vector<std::wstring>{L"static", L"5", L"unregisteredidentifier", L"1", L"i(12)",
                                            L"void()", L"unregisteredidentifier", L"i(4)",
                                            L"unregisteredidentifier", L"0", L"listbox([],[]) items 2",
                                            L"statictext(\"new\")"}));
}

}  // namespace
