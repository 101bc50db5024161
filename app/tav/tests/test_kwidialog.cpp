// kwiDialog's field half on real dialogs: the description types and the
// store, reading controls into held values (edits, lists, scroll bars, the
// initial focus, the text form), validation with its error box and its
// mark, the OK button and length limits while typing, and the typed results.
#include <climits>

#include "exception/exception.h"
#include "kwi/kwi.h"
#include "kwidialog_test.h"

using namespace dlgtest;
using namespace QEL_KWI;
using tav::TraceEntry;

namespace {

using KwiDialog = Library;

// The newest trace entry, null when there is none.
const TraceEntry* Newest() {
  const std::vector<const TraceEntry*> all = Entries();
  return all.empty() ? nullptr : all[0];
}

// --- Types and store ---------------------------------------------------------------

TEST_F(KwiDialog, TermsHaveTheirTextFormsAndCompareStructurally) {
  RunInTask([&](LONG_PTR) {
    const Field* f = Df(11, EditStr(L"x", Props({Mandatory(), Length(3)})), StrPrompt(L"Name"));
    EXPECT_EQ(TextOf(tav::domains::field, f),
              L"df(11,editstr(\"x\",[mandatory(),length(3)]),str_prompt(\"Name\"))");
    EXPECT_EQ(ValueText(Make(KListButtonVal{k_listbutton, L"b", 1})), L"listbutton(\"b\",1)");
    EXPECT_EQ(TextOf(tav::domains::item, ListButton(Strings({L"a", L"b"}), 1)),
              L"listbutton([\"a\",\"b\"],1)");
    EXPECT_EQ(TextOf(tav::domains::item, EditReal(Props({Decimals(2), Default(1.5)}))),
              L"editreal(void(),[decimals(2),default(1.5)])");

    // Two fields of one id: look-ups give the first; removal takes the first equal one.
    const LONG_PTR w = 0x7A5C;
    st::RemoveWindow(w);
    st::AddField(w, Df(5, CheckBox(0)));
    st::AddField(w, Df(5, CheckBox(1)));
    EXPECT_EQ(TextOf(tav::domains::item, st::FirstField(w, 5)->item), L"checkbox(0)");
    EXPECT_TRUE(st::RemoveField(w, Df(5, CheckBox(0))));
    EXPECT_EQ(TextOf(tav::domains::item, st::FirstField(w, 5)->item), L"checkbox(1)");
    EXPECT_FALSE(st::RemoveField(w, Df(5, CheckBox(0))));
    st::RemoveWindow(w);
    EXPECT_EQ(st::FirstField(w, 5), nullptr);
  });
}

TEST_F(KwiDialog, StoredTermsOutliveTheCallersGlobalStack) {
  const LONG_PTR w = 0x7A5D;
  std::wstring text;
  RunInTask([&](LONG_PTR) {
    uint8_t* mark = tav::K::Memory::MarkGStack();
    st::AddVal(w, 3, Held(L"kept"));
    tav::K::Memory::ReleaseGStack(mark);
    (void)Held(L"overwritten");  // reuses the released stack
    tav::K::Memory::GarbageCollector();
    (void)tav::K::Memory::AllocHeap(64);
    text = HeldText(w, 3);
    st::RemoveWindow(w);
  });
  EXPECT_EQ(text, L"editstr(\"kept\")");
}

// --- Reading -------------------------------------------------------------------------

TEST_F(KwiDialog, ReadingAllFieldsStoresEditTextsRawAndSkipsOtherKinds) {
  std::wstring values;
  WithDialog([&](LONG_PTR d) {
    win_SetText(L(Ctl(d, kEdit)), L"12a");
    kwiDialog::read_current1(d, FieldsOf({Df(kEdit, EditInt(Props({}))), Df(kLabel, CheckBox(0)),
                                          Df(kEdit2, EditStr(L"", Props({})))}));
    values = TextOf(tav::domains::val_list, st::Vals(d));
  });
  EXPECT_EQ(values, L"[dv(11,editstr(\"12a\")),dv(12,editstr(\"\"))]");
}

TEST_F(KwiDialog, ScrollEventsStepClampAndMoveTheControl) {
  struct Step {
    int32_t code, position;
    bool succeeds;
    int32_t stored, control;
  };
  // Minimum 0, maximum 10, line 1, page 3, starting at 5.
  const Step steps[] = {
      {3, 0, true, 2, 2},      {3, 0, true, 0, 0},     {5, 10, true, 10, 10},
      {2, 0, true, 10, 10},    {6, 250, true, 250, 10}, {5, 250, true, 250, 250},
      {0, 77, true, 250, 250}, {7, 1, false, 250, 250}, {1, 0, true, 10, 10},
  };
  std::vector<std::wstring> got, want;
  WithDialog([&](LONG_PTR d) {
    HWND bar = Ctl(d, kScroll);
    SetScrollRange(bar, SB_CTL, 0, 1000, TRUE);
    st::AddField(d, Df(kScroll, ScrollBar(1, 3, 0, 10)));
    st::AddVal(d, kScroll, IntVal(k_scrollbar, 5));
    for (const Step& s : steps) {
      const bool ok = kwiDialog::read_and_set_scrollbar(d, kScroll, 1, 3, s.code, s.position);
      got.push_back(std::to_wstring(s.code) + L":" + std::to_wstring(ok) + L" " + HeldText(d, kScroll) +
                    L" " + std::to_wstring(GetScrollPos(bar, SB_CTL)));
      want.push_back(std::to_wstring(s.code) + L":" + std::to_wstring(s.succeeds) +
                     L" scrollbar(" + std::to_wstring(s.stored) + L") " + std::to_wstring(s.control));
    }
  });
  EXPECT_EQ(got, want);
}

TEST_F(KwiDialog, ScrollStepsWithMinimumAboveMaximumStoreTheMaximumAndOverflowRaises) {
  std::wstring afterStep;
  uint32_t negation = 0, addition = 0;
  std::wstring name, heldAfterOverflow;
  WithDialog([&](LONG_PTR d) {
    st::AddField(d, Df(kScroll, ScrollBar(1, 3, 10, 0)));
    st::AddVal(d, kScroll, IntVal(k_scrollbar, 5));
    kwiDialog::read_and_set_scrollbar(d, kScroll, 1, 3, 4, 0);
    afterStep = HeldText(d, kScroll);
    negation = RunTrapped([&] { kwiDialog::read_and_set_scrollbar(d, kScroll, INT_MIN, 3, 1, 0); });
    if (const TraceEntry* e = Newest()) name = Extra(e, L"ExtraInfo");
    st::RemoveWindow(d);
    st::AddField(d, Df(kScroll, ScrollBar(1, 3, 0, INT_MAX)));
    st::AddVal(d, kScroll, IntVal(k_scrollbar, INT_MAX));
    addition = RunTrapped([&] { kwiDialog::read_and_set_scrollbar(d, kScroll, 1, 3, 2, 0); });
  });
  EXPECT_EQ(afterStep, L"scrollbar(0)");
  EXPECT_NE(negation, 0u);
  EXPECT_NE(name.find(L"Integral overflow"), std::wstring::npos) << name;
  EXPECT_NE(addition, 0u);
}

TEST_F(KwiDialog, FillingListsSelectsTheIndexesInTheirOrder) {
  std::wstring multiTexts, multiSel, buttonTexts, notAList;
  LRESULT buttonCurrent = -2;
  uint32_t internal = 0;
  std::wstring internalName;
  WithDialog([&](LONG_PTR d) {
    const StringList* items = Strings({L"a", L"b", L"c"});
    multiTexts = TextOf(tav::domains::string_list,
                        kwiDialog::init_list_control(d, L(Ctl(d, kMulti)), items, Ints({2, 0}), 3));
    kwiDialog::read_list_control(d, kMulti, L"listbox");
    multiSel = HeldText(d, kMulti);
    buttonTexts = TextOf(tav::domains::string_list,
                         kwiDialog::init_list_control(d, L(Ctl(d, kButton)), items, Ints({2, 0}), 2));
    buttonCurrent = SendMessageW(Ctl(d, kButton), CB_GETCURSEL, 0, 0);
    notAList = kwiDialog::init_list_control(d, L(Ctl(d, kEdit)), items, Ints({}), 3) ? L"filled" : L"failed";
    internal = RunTrapped([&] { kwiDialog::get_lbox_items(L(Ctl(d, kEdit)), Ints({0})); });
    if (const TraceEntry* e = Newest()) internalName = e->exception->name;
  });
  EXPECT_EQ(multiTexts, L"[\"c\",\"a\"]");
  EXPECT_EQ(multiSel, L"listbox([\"a\",\"c\"],[0,2])");
  EXPECT_EQ(buttonTexts, L"[\"c\",\"a\"]");
  EXPECT_EQ(buttonCurrent, 0);
  EXPECT_EQ(notAList, L"failed");
  EXPECT_NE(internal, 0u);
  EXPECT_EQ(internalName, L"internal");
}

TEST_F(KwiDialog, ReadingListsKeepsOrReplacesTheHeldValue) {
  std::vector<std::wstring> got;
  WithDialog([&](LONG_PTR d) {
    for (int id : {kList, kButton, kCombo}) lbox_Add_1(L(Ctl(d, id)), -1, kd::Strings({L"x", L"y"}));
    // Nothing selected: a list box holds two empty lists, a list button keeps its value.
    kwiDialog::read_list_control(d, kList, L"listbox");
    st::AddVal(d, kButton, Make(KListButtonVal{k_listbutton, L"old", 9}));
    kwiDialog::read_list_control(d, kButton, L"listbutton");
    got.push_back(HeldText(d, kList));
    got.push_back(HeldText(d, kButton));
    // A list edit: selchanged takes the selected item, even with other edit text.
    const controlinfo selchanged{ci_selchanged, 0, 0}, modified{ci_modified, 0, 0};
    st::AddVal(d, kCombo, Text(k_listedit, L"before"));
    kwiDialog::read_listedit(d, kCombo, &selchanged);
    got.push_back(HeldText(d, kCombo));
    SendMessageW(Ctl(d, kCombo), CB_SETCURSEL, 1, 0);
    SetWindowTextW(Ctl(d, kCombo), L"typed");
    kwiDialog::read_listedit(d, kCombo, &selchanged);
    got.push_back(HeldText(d, kCombo));
    kwiDialog::read_listedit(d, kCombo, &modified);
    got.push_back(HeldText(d, kCombo));
  });
  EXPECT_EQ(got, (std::vector<std::wstring>{L"listbox([],[])", L"listbutton(\"old\",9)",
                                            L"listedit(\"before\")", L"listedit(\"y\")",
                                            L"listedit(\"typed\")"}));
}

TEST_F(KwiDialog, TheFirstFieldOfferedWithARankTakesTheFocus) {
  enum class Focus { none, edit, list };
  struct Outcome {
    Focus focus;
    std::pair<DWORD, DWORD> selection;
    bool markerLeft;
  };
  auto run = [](bool listFirst) {
    Outcome o{};
    WithDialog([&](LONG_PTR d) {
      HWND editBox = Ctl(d, kEdit);
      SetFocus(Ctl(d, kOk));
      st::AddFirstItemMarker(d, 0);
      // A whole-list value never takes the focus.
      kwiDialog::init_list_control(d, L(Ctl(d, kButton)), Strings({L"p"}), Ints({}), -1);
      auto list = [&] {
        kwiDialog::init_list_control(d, L(Ctl(d, kList)), Strings({L"a"}), Ints({0}), 3);
      };
      auto text = [&] {
        win_SetText(L(editBox), L"hello");
        kwiDialog::select_if_first(d, L(editBox), 0);
      };
      if (listFirst) list(), text(); else text(), list();
      o.focus = GetFocus() == editBox ? Focus::edit : GetFocus() == Ctl(d, kList) ? Focus::list : Focus::none;
      o.selection = Selection(editBox);
      int32_t m = 0;
      o.markerLeft = st::FirstItemMarker(d, &m);
    });
    return o;
  };
  const Outcome listFirst = run(true), editFirst = run(false);
  EXPECT_EQ(listFirst.focus, Focus::list);
  EXPECT_EQ(listFirst.selection.second - listFirst.selection.first, 0u);
  EXPECT_FALSE(listFirst.markerLeft);
  EXPECT_EQ(editFirst.focus, Focus::edit);
  EXPECT_EQ(editFirst.selection, (std::pair<DWORD, DWORD>{0, 5}));
  EXPECT_FALSE(editFirst.markerLeft);
}

TEST_F(KwiDialog, TextFormsOfEditValues) {
  struct Case {
    const Tagged* (*item)();
    const Tagged* (*value)();
    const wchar_t* text;  // null: fails
  };
  const Case cases[] = {
      {[] { return EditStr(L"", Props({})); }, [] { return Held(L"as is"); }, L"as is"},
      {[] { return EditInt(Props({})); }, [] { return Make(KOpt{k_editint, Void()}); }, L""},
      {[] { return EditInt(Props({})); }, [] { return Make(KOpt{k_editint, Make(OptInt{2, -42})}); }, L"-42"},
      {[] { return EditNum(k_editlong, Props({})); }, [] { return Make(KOpt{k_editlong, Make(OptInt{2, 7})}); }, L"7"},
      {[] { return EditReal(Props({Decimals(3), Decimals(1)})); },
       [] { return Make(KOpt{k_editreal, Make(OptReal{2, 2.5})}); }, L"2.500"},
      {[] { return EditReal(Props({Decimals(1)})); },
       [] { return Make(KOpt{k_editreal, Make(OptReal{2, 2.0})}); }, L" 2.0"},
      {[] { return EditReal(Props({})); }, [] { return Make(KOpt{k_editreal, Make(OptReal{2, 1.5})}); }, L"1.5"},
      {[] { return ListBox(Strings({}), Ints({})); },
       [] { return Make(KListBox{k_listbox, Strings({}), Ints({})}); }, nullptr},
  };
  std::vector<std::wstring> got, want;
  RunInTask([&](LONG_PTR) {
    for (const Case& c : cases) {
      const wchar_t* t = kwiDialog::get_text_rep(c.item(), c.value());
      got.push_back(t ? t : L"(fails)");
      want.push_back(c.text ? c.text : L"(fails)");
    }
  });
  EXPECT_EQ(got, want);
}

// --- Validation -----------------------------------------------------------------------

struct Validated {
  bool passed;
  std::vector<testbox::Seen> boxes;
};

// Runs the all-fields pass, the expected box answered; a box that should not
// come is closed and recorded as "(unexpected)".
Validated Validate(LONG_PTR d, bool expectBox) {
  if (!expectBox) {
    NoBox guard;
    const bool passed = kwiDialog::simple_validation(d);
    std::vector<testbox::Seen> seen;
    if (guard.Shown()) seen.push_back({L"Error", L"(unexpected)"});
    return {passed, seen};
  }
  Script s({{L"Error", [](HWND b) { Press(b, IDOK); }}});
  const bool passed = kwiDialog::simple_validation(d);
  Settle(s);
  return {passed, s.Boxes()};
}

TEST_F(KwiDialog, ValidationReportsTheFirstFailingPropertyOfAField) {
  struct Case {
    const char* name;
    const Tagged* (*item)();
    const Tagged* (*prompt)();
    const wchar_t* text;
    const wchar_t* message;  // null: passes
  };
  auto age = [] { return StrPrompt(L"Age"); };
  const Case cases[] = {
      {"mandatory", [] { return EditStr(L"", Props({Mandatory()})); }, age, L"", L"Age is mandatory"},
      {"mandatory with default", [] { return EditStr(L"", Props({Mandatory(), DefaultText(L"d")})); }, age, L"", nullptr},
      {"range then mandatory, empty", [] { return EditInt(Props({Range(1, 10), Mandatory()})); }, age, L"", L"Age is mandatory"},
      {"range then mandatory, abc", [] { return EditInt(Props({Range(1, 10), Mandatory()})); }, age, L"abc", L"Age must be an integer"},
      {"optional empty", [] { return EditInt(Props({Range(1, 10)})); }, age, L"", nullptr},
      {"out of range", [] { return EditInt(Props({Range(1, 10)})); }, age, L"15", L"Age must be between 1 and 10. Current value 15"},
      {"in range with blanks", [] { return EditInt(Props({Range(1, 10)})); }, age, L"7  ", nullptr},
      {"length", [] { return EditStr(L"", Props({Length(3)})); }, age, L"abcd", L"Age contains more than 3 characters"},
      {"negative length", [] { return EditStr(L"", Props({Length(-1)})); }, age, L"abcd", nullptr},
      {"no properties 12a", [] { return EditInt(Props({})); }, age, L"12a", L"Age must be an integer"},
      {"no properties 12", [] { return EditInt(Props({})); }, age, L"12", nullptr},
      {"beyond 32 bits", [] { return EditInt(Props({})); }, age, L"99999999999", L"Age must be an integer"},
      {"long", [] { return EditNum(k_editlong, Props({Maximum(5)})); }, age, L"x", L"Age must be a long"},
      {"maximum", [] { return EditInt(Props({Maximum(5)})); }, age, L"6", L"Age must be less or equal than 5"},
      {"negative minimum", [] { return EditInt(Props({Minimum(-3)})); }, age, L"-4", L"Age must be greater or equal than -3"},
      {"real minimum", [] { return EditReal(Props({Minimum(0.5)})); }, age, L"0.25", L"Age must be greater or equal than 0.5"},
      {"real syntax", [] { return EditReal(Props({})); }, age, L"1,5", L"Age must be an real"},
      {"own prompt", [] { return EditStr(L"", Props({Mandatory()})); }, [] { return OwnPrompt(L"Fill it in"); }, L"", L"Fill it in"},
      {"dialog prompt", [] { return EditStr(L"", Props({Mandatory()})); }, [] { return DlgPrompt(kLabel); }, L"", L"Label: is mandatory"},
      {"no prompt", [] { return EditInt(Props({})); }, NoPrompt, L"z", L"??? must be an integer"},
  };
  WithDialog([&](LONG_PTR d) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      st::RemoveWindow(d);
      st::AddField(d, Df(kEdit, c.item(), c.prompt()));
      st::AddVal(d, kEdit, Held(c.text));
      win_SetText(L(Ctl(d, kEdit)), c.text);
      const Validated v = Validate(d, c.message != nullptr);
      EXPECT_EQ(v.passed, c.message == nullptr);
      if (c.message) {
        ASSERT_EQ(v.boxes.size(), 1u);
        EXPECT_EQ(v.boxes[0].title, L"Error");
        EXPECT_EQ(v.boxes[0].text, c.message);
      } else {
        EXPECT_TRUE(v.boxes.empty());
      }
    }
  });
}

TEST_F(KwiDialog, OnlyTheFirstInvalidEnabledFieldIsReportedAndSelected) {
  Validated v{};
  HWND focus = nullptr, second = nullptr;
  std::pair<DWORD, DWORD> sel{};
  bool disabledPasses = false;
  WithDialog([&](LONG_PTR d) {
    for (int id : {kEdit, kEdit2}) {
      st::AddField(d, Df(id, EditInt(Props({})), StrPrompt(id == kEdit ? L"First" : L"Second")));
      st::AddVal(d, id, Held(L"bad"));
      win_SetText(L(Ctl(d, id)), L"bad");
    }
    second = Ctl(d, kEdit2);
    SetFocus(second);
    v = Validate(d, true);
    focus = GetFocus();
    sel = Selection(Ctl(d, kEdit));
    // Both disabled: nothing is tested.
    EnableWindow(Ctl(d, kEdit), FALSE);
    EnableWindow(second, FALSE);
    disabledPasses = Validate(d, false).passed;
  });
  EXPECT_FALSE(v.passed);
  ASSERT_EQ(v.boxes.size(), 1u);
  EXPECT_EQ(v.boxes[0].text, L"First must be an integer");
  EXPECT_NE(focus, second);
  EXPECT_EQ(sel, (std::pair<DWORD, DWORD>{0, 3}));
  EXPECT_TRUE(disabledPasses);
}

TEST_F(KwiDialog, TheOneControlPassTestsOnlyThatControl) {
  bool noField = false, valid = false, invalid = true;
  std::vector<testbox::Seen> boxes;
  WithDialog([&](LONG_PTR d) {
    st::AddField(d, Df(kEdit, EditInt(Props({})), StrPrompt(L"One")));
    st::AddVal(d, kEdit, Held(L"x"));
    win_SetText(L(Ctl(d, kEdit)), L"x");
    st::AddField(d, Df(kEdit2, EditInt(Props({})), StrPrompt(L"Two")));
    st::AddVal(d, kEdit2, Held(L"5"));
    win_SetText(L(Ctl(d, kEdit2)), L"5");
    {
      NoBox guard;
      noField = kwiDialog::simple_validation(d, 99);
      valid = kwiDialog::simple_validation(d, kEdit2);
      if (guard.Shown()) boxes.push_back({L"Error", L"(unexpected)"});
    }
    Script s({{L"Error", [](HWND b) { Press(b, IDOK); }}});
    invalid = kwiDialog::simple_validation(d, kEdit);
    Settle(s);
    for (const auto& b : s.Boxes()) boxes.push_back(b);
  });
  EXPECT_TRUE(noField);
  EXPECT_TRUE(valid);
  EXPECT_FALSE(invalid);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, L"One must be an integer");
}

// A pass left by a missing control's error removes its mark: the next OK
// is validated at once (it used to be refused silently once).
TEST_F(KwiDialog, APassLeftByAnErrorDoesNotRefuseTheNextOne) {
  uint32_t raised = 0;
  int64_t code = 0;
  bool next = false;
  WithDialog([&](LONG_PTR d) {
    st::AddField(d, Df(99, EditStr(L"", Props({})), NoPrompt()));
    st::AddVal(d, 99, Held(L""));
    raised = RunTrapped([&] { kwiDialog::simple_validation(d); });
    if (const TraceEntry* e = Newest())
      if (const tav::ValueTerm* v = tav::exception::trygetextrainfo(e, L"error code"))
        code = v->As<uint32_t>();
    st::RemoveWindow(d);
    st::AddField(d, Df(kEdit, EditStr(L"", Props({Mandatory()}))));
    st::AddVal(d, kEdit, Held(L"ok"));
    win_SetText(L(Ctl(d, kEdit)), L"ok");
    NoBox guard;
    next = kwiDialog::simple_validation(d) && guard.Shown() == 0;
  });
  EXPECT_NE(raised, 0u);
  EXPECT_EQ(code, 6316);
  EXPECT_TRUE(next);
}

// A pass requested while another shows its box fails without a box and
// takes the mark away, so the pass after both runs normally.
TEST_F(KwiDialog, APassInsideAnotherPassesBoxFailsQuietly) {
  constexpr LONG_PTR kNested = 0x5151;
  int nestedResult = -1;
  Validated outer{};
  bool after = false;
  WithDialog(
      [&](LONG_PTR d) {
        st::AddField(d, Df(kEdit, EditStr(L"", Props({Mandatory()})), StrPrompt(L"Name")));
        st::AddVal(d, kEdit, Held(L""));
        win_SetText(L(Ctl(d, kEdit)), L"");
        Script s({{L"Error", [&](HWND b) {
                     PostMessageW(H(d), 0xC00F, kNested, 0);
                     Sleep(300);
                     Press(b, IDOK);
                   }}});
        outer.passed = kwiDialog::simple_validation(d);
        Settle(s);
        outer.boxes = s.Boxes();
        win_SetText(L(Ctl(d, kEdit)), L"filled");
        NoBox guard;
        after = kwiDialog::simple_validation(d) && guard.Shown() == 0;
      },
      [&](HWND d, const event_struct* e) {
        if (e->kind == e_user && e->w[0] == kNested) nestedResult = kwiDialog::simple_validation(L(d));
      });
  EXPECT_EQ(nestedResult, 0);
  EXPECT_FALSE(outer.passed);
  EXPECT_EQ(outer.boxes.size(), 1u);
  EXPECT_TRUE(after);
}

// --- OK button and limits ---------------------------------------------------------------

// The class's reaction to an edit control's modification, as the dialog's
// control handler runs it: a cut to the length limit, else the held value
// and the OK button.
Reaction EditReaction() {
  return [](HWND d, const event_struct* e) {
    if (e->kind != e_control) return;
    const auto* info = reinterpret_cast<const controlinfo*>(e->w[3]);
    if (info->alt != ci_modified || e->w[1] != wt_edit) return;
    const int32_t id = static_cast<int32_t>(e->w[0]);
    const Field* f = st::FirstField(L(d), id);
    if (!f) return;
    if (f->item->functor == k_editstr &&
        kwiDialog::lock_large_length(As<KEditStr>(f->item).props, win_GetText(e->w[2]), e->w[2]))
      return;
    kwiDialog::read_edit_field(L(d), id);
    kwiDialog::enable_ok_button(L(d));
  };
}

TEST_F(KwiDialog, OkFollowsTheMandatoryFieldsHeldTexts) {
  std::vector<std::wstring> states;
  WithDialog(
      [&](LONG_PTR d) {
        HWND ok = Ctl(d, kOk), edit = Ctl(d, kEdit);
        auto note = [&](const wchar_t* what) {
          states.push_back(std::wstring(what) + (IsWindowEnabled(ok) ? L" on" : L" off"));
        };
        st::AddField(d, Df(kEdit, EditStr(L"", Props({DefaultText(L"d"), Mandatory()}))));
        st::AddField(d, Df(kEdit2, EditStr(L"", Props({}))));
        st::AddField(d, Df(kCombo, ListEdit(Strings({}), L"")));
        st::AddVal(d, kEdit, Held(L""));
        st::AddVal(d, kEdit2, Held(L""));
        st::AddVal(d, kCombo, Text(k_listedit, L""));
        kwiDialog::enable_ok_button(d);
        note(L"empty");
        Type(edit, L"a");
        note(L"typed");
        Type(edit, L"\b");
        note(L"emptied");
        win_SetState(L(edit), kd::Ints({12}));
        kwiDialog::enable_ok_button(d);
        note(L"disabled");
        win_SetState(L(edit), kd::Ints({13}));
        kwiDialog::enable_ok_button(d);
        note(L"enabled");
        win_SetState(L(edit), kd::Ints({11}));
        kwiDialog::enable_ok_button(d);
        note(L"hidden");
      },
      EditReaction());
  EXPECT_EQ(states, (std::vector<std::wstring>{L"empty off", L"typed on", L"emptied off",
                                               L"disabled on", L"enabled off", L"hidden off"}));
}

TEST_F(KwiDialog, TypingPastTheLengthKeepsTheLimitWithTheCaretAfterIt) {
  std::wstring text, held;
  std::pair<DWORD, DWORD> caret{};
  bool focused = false;
  WithDialog(
      [&](LONG_PTR d) {
        st::AddField(d, Df(kEdit, EditStr(L"", Props({Length(5)}))));
        st::AddVal(d, kEdit, Held(L""));
        Type(Ctl(d, kEdit), L"abcdefg");
        text = testbox::WindowText(Ctl(d, kEdit));
        caret = Selection(Ctl(d, kEdit));
        focused = GetFocus() == Ctl(d, kEdit);
        held = HeldText(d, kEdit);
      },
      EditReaction());
  EXPECT_EQ(text, L"abcde");
  EXPECT_EQ(caret, (std::pair<DWORD, DWORD>{5, 5}));
  EXPECT_TRUE(focused);
  EXPECT_EQ(held, L"editstr(\"abcde\")");
}

TEST_F(KwiDialog, LengthLimitsApplyInOrderAndCountLineFeedsForTheCaret) {
  struct Case {
    const PropList* (*props)();
    const wchar_t* text;
    bool cuts;
    const wchar_t* left;
    DWORD caret;
  };
  const Case cases[] = {
      {[] { return Props({Length(10), Length(3)}); }, L"abcde", true, L"abc", 3},
      {[] { return Props({Length(-1), Upper()}); }, L"abcde", false, L"abcde", 0},
      {[] { return Props({Length(3)}); }, L"a\nbcd", true, L"a\r\nb", 4},
  };
  std::vector<std::wstring> got, want;
  WithDialog([&](LONG_PTR d) {
    HWND edit = Ctl(d, kMultiLine);
    for (const Case& c : cases) {
      SetWindowTextW(edit, c.text);
      SendMessageW(edit, EM_SETSEL, 0, 0);
      const bool cut = kwiDialog::lock_large_length(c.props(), c.text, L(edit));
      got.push_back(std::to_wstring(cut) + L" " + testbox::WindowText(edit) + L" " +
                    std::to_wstring(Selection(edit).first));
      want.push_back(std::to_wstring(c.cuts) + L" " + c.left + L" " + std::to_wstring(c.caret));
    }
  });
  EXPECT_EQ(got, want);
}

TEST_F(KwiDialog, ADialogWithoutOkOrWithAMissingFieldControlRecomputesQuietly) {
  int32_t decision = -1;
  bool stillEnabled = false;
  HWND focusAfter = nullptr, focusBefore = nullptr;
  WithDialog([&](LONG_PTR d) {
    DestroyWindow(Ctl(d, kOk));
    st::AddField(d, Df(98, EditStr(L"", Props({Mandatory()}))));
    st::AddVal(d, 98, Held(L""));
    st::AddField(d, Df(kEdit, EditInt(Props({Mandatory()}))));
    st::AddVal(d, kEdit, Held(L""));
    kwiDialog::enable_ok_button(d);
    st::OkDecision(d, &decision);
    // Focus is not given to a disabled control.
    SetFocus(Ctl(d, kEdit2));
    focusBefore = GetFocus();
    EnableWindow(Ctl(d, kEdit), FALSE);
    kwiDialog::safe_setfocus(L(Ctl(d, kEdit)));
    focusAfter = GetFocus();
    stillEnabled = !IsWindowEnabled(Ctl(d, kEdit));
  });
  EXPECT_EQ(decision, 0);
  EXPECT_EQ(focusAfter, focusBefore);
  EXPECT_TRUE(stillEnabled);
}

// --- Formatting -------------------------------------------------------------------------

TEST_F(KwiDialog, HeldTextsBecomeTypedResults) {
  struct Case {
    const Tagged* (*item)();
    const wchar_t* held;
    const wchar_t* result;
  };
  const Case cases[] = {
      {[] { return EditInt(Props({})); }, L"12", L"editint(i(12))"},
      {[] { return EditInt(Props({})); }, L"", L"editint(void())"},
      {[] { return EditInt(Props({Mandatory(), Default(7)})); }, L"", L"editint(i(7))"},
      {[] { return EditInt(Props({})); }, L"12a", L"editstr(\"12a\")"},
      {[] { return EditInt(Props({})); }, L"12  ", L"editint(i(12))"},
      {[] { return EditInt(Props({})); }, L"  ", L"editstr(\"  \")"},
      {[] { return EditNum(k_editlong, Props({})); }, L"-3", L"editlong(l(-3))"},
      {[] { return EditReal(Props({})); }, L"1.5", L"editreal(r(1.5))"},
      {[] { return EditReal(Props({Default(2.5)})); }, L"", L"editreal(r(2.5))"},
      {[] { return EditStr(L"", Props({Upper()})); }, L"abc", L"editstr(\"ABC\")"},
      {[] { return EditStr(L"", Props({Upper(), Lower()})); }, L"aBc", L"editstr(\"abc\")"},
      {[] { return EditStr(L"", Props({Lower(), Upper()})); }, L"aBc", L"editstr(\"ABC\")"},
      {[] { return EditStr(L"", Props({DefaultText(L"dd"), Upper()})); }, L"", L"editstr(\"DD\")"},
      {[] { return CheckBox(0); }, L"kept", L"editstr(\"kept\")"},
  };
  std::vector<std::wstring> got, want;
  RunInTask([&](LONG_PTR) {
    for (const Case& c : cases) {
      got.push_back(ValueText(kwiDialog::format_item1(c.item(), Held(c.held))));
      want.push_back(c.result);
    }
  });
  EXPECT_EQ(got, want);
}

TEST_F(KwiDialog, ResultsPutTheListsItemsFirstAndCancelGivesNothing) {
  std::wstring ok, cancelled;
  uint32_t notAList = 0;
  WithDialog([&](LONG_PTR d) {
    st::AddField(d, Df(kEdit, EditInt(Props({}))));
    st::AddField(d, Df(kList, ListBox(Strings({L"a", L"b"}), Ints({1}))));
    st::AddField(d, Df(kButton, ListButton(Strings({L"p"}), 0)));
    st::AddVal(d, kList, Make(KListBox{k_listbox, Strings({L"b"}), Ints({1})}));
    st::AddVal(d, kEdit, Held(L"5"));
    st::AddVal(d, 77, IntVal(k_checkbox, 1));
    ok = TextOf(tav::domains::val_list, kwiDialog::get_modal_results1(1, d));
    cancelled = TextOf(tav::domains::val_list, kwiDialog::get_modal_results1(2, d));
    notAList = RunTrapped([&] { kwiDialog::format_str(reinterpret_cast<const PropList*>(Make(Tagged{7})), L"x"); });
  });
  EXPECT_EQ(ok,
            L"[dv(30,alllist([\"a\",\"b\"])),dv(32,alllist([\"p\"])),dv(30,listbox([\"b\"],[1])),"
            L"dv(11,editint(i(5))),dv(77,checkbox(1))]");
  EXPECT_EQ(cancelled, L"[]");
  EXPECT_NE(notAList, 0u);
}

// A dialog made from the program's dialog resource reads the same way.
TEST_F(KwiDialog, AResourceDialogIsReadAndValidated) {
  std::wstring values;
  Validated v{};
  RunInTask([&](LONG_PTR task) {
    LONG_PTR d = tav::kwi::wincreateresdialog(task, wt_modeless, 700, tav::NoEventHandler(), 0);
    st::RemoveWindow(d);
    win_SetText(win_GetCtlHandle(d, 101), L"42");
    kwiDialog::read_current1(d, FieldsOf({Df(101, EditNum(k_editlong, Props({Range(0, 9)})), DlgPrompt(100))}));
    values = TextOf(tav::domains::val_list, st::Vals(d));
    st::AddField(d, Df(101, EditNum(k_editlong, Props({Range(0, 9)})), DlgPrompt(100)));
    v = Validate(d, true);
    st::RemoveWindow(d);
    win_Destroy(d);
  });
  EXPECT_EQ(values, L"[dv(101,editstr(\"42\"))]");
  EXPECT_FALSE(v.passed);
  ASSERT_EQ(v.boxes.size(), 1u);
  EXPECT_EQ(v.boxes[0].text, L"Count must be between 0 and 9. Current value 42");
}

}  // namespace
