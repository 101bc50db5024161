// The calendar-definition dialog on a real display over a fixture roster:
// its window definition, the values shown at opening, every control's
// action with the stored value and the modified mark after it, the start
// date's keys sent to the focused edit, the week start, closeit, and the
// stored values read back by a fresh process.
#include <string>
#include <vector>

#include "dialog_test.h"
#include "dlgs/Calendar_def.h"
#include "kalmoradb/kalmora_DB.h"

using namespace alltest;

namespace {

using C = celndar_Def;

const wchar_t* const kAllday =
    L"The day is not split, and 'allday' is the default slot name in this case. You cannot delete it";
const wchar_t* const kOneName = L"There must be more than one slot name to split the day. Please add another one.";
const wchar_t* const kSeveral = L"There several slots per day";

std::vector<std::wstring> ListItems(HWND d) {
  HWND l = GetDlgItem(d, C::kSlots);
  std::vector<std::wstring> out;
  const int n = static_cast<int>(SendMessageW(l, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) {
    wchar_t buf[128] = {};
    SendMessageW(l, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buf));
    out.push_back(buf);
  }
  return out;
}

class CalendarDialog : public DialogRoster {
 protected:
  // The dialog over the task window, and its window.
  HWND Shown(HWND task, C** dialog) {
    HWND found = nullptr;
    Run([&] {
      *dialog = C::new_();
      (*dialog)->show(reinterpret_cast<LONG_PTR>(task));
    });
    EnumThreadWindows(GetCurrentThreadId(), [](HWND w, LPARAM p) -> BOOL {
      if (GetDlgItem(w, C::kStartDate) && GetDlgItem(w, C::kSlots)) {
        *reinterpret_cast<HWND*>(p) = w;
        return FALSE;
      }
      return TRUE;
    }, reinterpret_cast<LPARAM>(&found));
    return found;
  }
  // Runs `act` and tells whether it marked the document.
  bool Marks(const std::function<void()>& act) {
    doc_->set_as_modified(false);
    act();
    return doc_->is_modified();
  }
  static std::vector<std::wstring> Slots() {
    std::vector<std::wstring> out;
    for (const SList* l = kalmora_DB::get_list_slots(); !l->Empty(); l = l->tail) out.push_back(l->head);
    return out;
  }
  static std::wstring Start() {
    return rizediveva6::mytime::tv_format(kalmora_DB::get_start_date(), L"dd MMM yyyy");
  }
  // The start-date edit with the keyboard focus.
  static HWND FocusStartDate(HWND d) {
    HWND edit = GetDlgItem(d, C::kStartDate);
    SetForegroundWindow(d);
    SetFocus(edit);
    return edit;
  }
  // A key pressed and released through the input queue.
  static void Key(WORD vk) {
    kwitest::SendKey(vk, false);
    kwitest::SendKey(vk, true);
  }
  void Select(HWND d, const wchar_t* name) {
    SendMessageW(GetDlgItem(d, C::kSlots), LB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name));
  }
};

TEST_F(CalendarDialog, TheWindowDefinitionMakesTheTabulatedControls) {
  Open(TwoWeekSpec());
  const DWORD editStyle = WS_GROUP | WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT;
  const DWORD editMask = kCommon | ES_AUTOHSCROLL | ES_CENTER | ES_RIGHT | ES_MULTILINE;
  const DWORD group = BS_GROUPBOX;
  const DWORD push = BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP;
  std::vector<CtlPin> pins = {
      {C::kStartDate, L"Edit", editStyle, editMask, nullptr, {16, 43, 89, 55}},
      // A short list hides its scroll bar, which clears WS_VSCROLL: pinned below.
      {C::kSlots, L"ListBox", WS_GROUP | WS_TABSTOP | LBS_NOINTEGRALHEIGHT, kCommon | LBS_NOINTEGRALHEIGHT | LBS_SORT,
       nullptr, {76, 212, 176, 270}},
      {C::kExample, L"Button", push, kButtonMask, L"Example", {97, 199, 145, 211}},
      {C::kAdd, L"Button", push, kButtonMask, L"Add", {20, 211, 68, 223}},
      {C::kDelete, L"Button", push, kButtonMask, L"Delete", {20, 227, 68, 239}},
      {C::kUp, L"Button", push, kButtonMask, L"Up", {20, 242, 68, 254}},
      {C::kDown, L"Button", push, kButtonMask, L"Down", {20, 257, 68, 269}},
      {C::kDuration, L"Edit", editStyle, editMask, nullptr, {136, 43, 160, 55}},
      {C::kSunday, L"Button", BS_RADIOBUTTON | WS_DISABLED, kRadioMask, L"Sunday", {28, 123, 76, 133}},
      {C::kMonday, L"Button", BS_RADIOBUTTON, kRadioMask, L"Monday", {28, 137, 76, 147}},
      {10060, L"Static", SS_CENTER, kStaticMask, L"Use the arrow and page keys to change date", {14, 80, 95, 99}},
      {C::kEndDate, L"Static", SS_CENTER, kStaticMask, nullptr, {109, 74, 189, 84}},
      {C::kSlotDesc, L"Static", SS_LEFT, kStaticMask, nullptr, {23, 178, 171, 197}},
      {C::kWeekday, L"Static", SS_CENTER, kStaticMask, nullptr, {16, 57, 85, 67}},
      {10070, L"Static", SS_CENTER, kStaticMask, L"Calendar Definition", {12, 10, 192, 20}},
      {10051, L"Button", group, kButtonMask, L"Roster Start Date", {9, 32, 101, 76}},
      {10053, L"Button", group, kButtonMask, L"Roster End Date", {104, 63, 191, 92}},
      {10054, L"Button", group, kButtonMask, L"Roster duration in weeks", {103, 32, 191, 61}},
      {10055, L"Button", group, kButtonMask, L"Split the day if required", {8, 169, 190, 276}},
      {10067, L"Button", group, kButtonMask, L"Start of week", {8, 107, 192, 157}},
  };
  InTask([&](HWND task) {
    C* dialog = nullptr;
    HWND d = Shown(task, &dialog);
    ASSERT_TRUE(d);
    ExpectControls(d, pins);
    EXPECT_EQ(TextOf(d), L"Calendar Definition");
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(d, GWL_STYLE));
    EXPECT_NE(style & WS_CAPTION, static_cast<DWORD>(WS_CAPTION));
    EXPECT_EQ(style & WS_SYSMENU, 0u);
    EXPECT_EQ(CtlFlags(C::windef_list(), C::kSunday), (std::vector<int>{26, 12}));
    EXPECT_EQ(CtlFlags(C::windef_list(), C::kMonday), std::vector<int>{26});
    EXPECT_EQ(CtlFlags(C::windef_list(), C::kSlots), (std::vector<int>{25, 26, 8, 58}));
    RECT client, want{0, 0, 200, 283};
    GetClientRect(d, &client);
    MapDialogRect(d, &want);
    EXPECT_EQ(client.right, want.right);
    EXPECT_EQ(client.bottom, want.bottom);
    Run([&] { dialog->closeit(); });
    EXPECT_FALSE(IsWindow(d));
  });
}

TEST_F(CalendarDialog, OpensWithTheStoredValuesAndMarksNothing) {
  Open(TwoWeekSpec());
  InTask([&](HWND task) {
    C* dialog = nullptr;
    HWND d = Shown(task, &dialog);
    ASSERT_TRUE(d);
    EXPECT_EQ(CtlText(d, C::kStartDate), L"05 Oct 2026");
    EXPECT_EQ(CtlText(d, C::kWeekday), L"Monday");
    EXPECT_EQ(CtlText(d, C::kEndDate), L"Monday 19 Oct 2026");
    EXPECT_EQ(CtlText(d, C::kDuration), L"2");
    EXPECT_EQ(CheckedOf(d, {C::kSunday, C::kMonday}), std::set<int>{C::kMonday});
    EXPECT_EQ(ListItems(d), (std::vector<std::wstring>{L"day", L"night"}));
    EXPECT_EQ(CtlText(d, C::kSlotDesc), kSeveral);
    EXPECT_FALSE(doc_->is_modified());
    // closeit twice: the second finds the dialog gone and still succeeds.
    Run([&] { dialog->closeit(); });
    Run([&] { dialog->closeit(); });
    EXPECT_FALSE(IsWindow(d));
  });
}

TEST_F(CalendarDialog, TheDurationStoresWholeNumbersClampedAndIgnoresOtherTexts) {
  Open(TwoWeekSpec());
  struct Row {
    const wchar_t* text;
    uint32_t weeks;  // stored after it
    bool marks;
  };
  const Row rows[] = {
      {L"5", 5, true},          {L"", 5, false},      {L"-", 5, false},      {L"1e3", 5, false},
      {L"\u0665", 5, false},    {L"2147483648", 5, false}, {L" 7", 5, false}, {L"0", 1, true},
      {L"-5", 1, true},         {L"500", 104, true},  {L"-2147483648", 1, true}, {L"104", 104, true},
  };
  InTask([&](HWND task) {
    C* dialog = nullptr;
    HWND d = Shown(task, &dialog);
    ASSERT_TRUE(d);
    for (const Row& r : rows) {
      SCOPED_TRACE(Narrow(r.text));
      EXPECT_EQ(Marks([&] { SetDlgItemTextW(d, C::kDuration, r.text); }), r.marks);
      EXPECT_EQ(kalmora_DB::get_weeks_duration(), r.weeks);
      EXPECT_EQ(CtlText(d, C::kDuration), r.text);  // never rewritten
    }
    // The end date follows: 104 weeks after Monday 5 October 2026.
    EXPECT_EQ(CtlText(d, C::kEndDate), L"Monday 02 Oct 2028");
    Run([&] { dialog->closeit(); });
  });
}

TEST_F(CalendarDialog, KeysInTheStartDateEditMoveTheStoredStartByCalendarWeeks) {
  Open(TwoWeekSpec());
  struct Row {
    WORD vk;
    const wchar_t* start;  // shown and stored after the key
    const wchar_t* end;
  };
  // Four weeks on crosses the October clock change: calendar days, not 24 hours.
  const Row rows[] = {
      {VK_PRIOR, L"02 Nov 2026", L"Monday 16 Nov 2026"}, {VK_UP, L"09 Nov 2026", L"Monday 23 Nov 2026"},
      {VK_DOWN, L"02 Nov 2026", L"Monday 16 Nov 2026"},  {VK_NEXT, L"05 Oct 2026", L"Monday 19 Oct 2026"},
      {VK_NEXT, L"07 Sep 2026", L"Monday 21 Sep 2026"},
  };
  InTask([&](HWND task) {
    C* dialog = nullptr;
    HWND d = Shown(task, &dialog);
    ASSERT_TRUE(d);
    HWND edit = FocusStartDate(d);
    for (const Row& r : rows) {
      SCOPED_TRACE(r.vk);
      doc_->set_as_modified(false);
      Key(r.vk);
      EXPECT_TRUE(kwitest::PumpUntil([&] { return CtlText(d, C::kStartDate) == r.start; }));
      EXPECT_EQ(Start(), r.start);
      EXPECT_EQ(CtlText(d, C::kEndDate), r.end);
      EXPECT_EQ(CtlText(d, C::kWeekday), L"Monday");
      EXPECT_TRUE(doc_->is_modified());
    }
    // Another key takes the edit's own path: the text changes, nothing stored.
    doc_->set_as_modified(false);
    SetFocus(edit);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    Key('X');
    EXPECT_TRUE(kwitest::PumpUntil([&] { return CtlText(d, C::kStartDate) == L"x"; }));
    EXPECT_EQ(Start(), L"07 Sep 2026");
    EXPECT_FALSE(doc_->is_modified());
    Run([&] { dialog->closeit(); });
  });
}

TEST_F(CalendarDialog, KeysStopAtTheYearsOfTheRoster) {
  struct Row {
    dt start;
    WORD vk;
    const wchar_t* shown;
  };
  // Four weeks on from December 2050 or back from January 1950 would leave
  // the years: nothing changes and no box shows.
  const Row rows[] = {{{2050, 12, 12}, VK_PRIOR, L"12 Dec 2050"}, {{1950, 1, 16}, VK_NEXT, L"16 Jan 1950"}};
  for (const Row& r : rows) {
    SCOPED_TRACE(Narrow(r.shown));
    RosterSpec spec = TwoWeekSpec();
    spec.start = r.start;
    Roster::TearDown();
    Roster::SetUp();
    Open(spec);
    InTask([&](HWND task) {
      C* dialog = nullptr;
      HWND d = Shown(task, &dialog);
      ASSERT_TRUE(d);
      FocusStartDate(d);
      Key(r.vk);
      kwitest::PumpUntil([] { return false; }, 300);
      EXPECT_EQ(CtlText(d, C::kStartDate), r.shown);
      EXPECT_EQ(Start(), r.shown);
      EXPECT_FALSE(doc_->is_modified());
      EXPECT_EQ(testbox::VisibleBoxes().size(), 1u);  // the dialog alone, no error box
      Run([&] { dialog->closeit(); });
    });
  }
}

TEST_F(CalendarDialog, SlotButtonsStoreTheListAndDescribeIt) {
  Open(TwoWeekSpec());
  using V = std::vector<std::wstring>;
  InTask([&](HWND task) {
    C* dialog = nullptr;
    HWND d = Shown(task, &dialog);
    ASSERT_TRUE(d);
    auto expectList = [&](const V& want, const wchar_t* desc) {
      EXPECT_EQ(Slots(), want);
      EXPECT_EQ(ListItems(d), want);
      EXPECT_EQ(CtlText(d, C::kSlotDesc), desc);
      EXPECT_EQ(SendMessageW(GetDlgItem(d, C::kSlots), LB_GETCURSEL, 0, 0), LB_ERR);
    };
    EXPECT_TRUE(Marks([&] { Click(d, C::kExample); }));
    expectList({L"morning", L"afternoon", L"night"}, kSeveral);
    EXPECT_TRUE(Marks([&] {
      Select(d, L"afternoon");
      Click(d, C::kUp);
    }));
    expectList({L"afternoon", L"morning", L"night"}, kSeveral);
    EXPECT_TRUE(Marks([&] {
      Select(d, L"morning");
      Click(d, C::kDown);
    }));
    expectList({L"afternoon", L"night", L"morning"}, kSeveral);
    // Without a selection: Delete does nothing, Up and Down only refresh.
    for (int id : {C::kDelete, C::kUp, C::kDown}) {
      EXPECT_FALSE(Marks([&] { Click(d, id); }));
      expectList({L"afternoon", L"night", L"morning"}, kSeveral);
    }
    EXPECT_TRUE(Marks([&] {
      Select(d, L"night");
      Click(d, C::kDelete);
    }));
    expectList({L"afternoon", L"morning"}, kSeveral);
    Select(d, L"afternoon");
    Click(d, C::kDelete);
    expectList({L"morning"}, kOneName);
    Select(d, L"morning");
    Click(d, C::kDelete);
    expectList({L"allday"}, kAllday);
    // Deleting "allday" stores an empty list, which reads "allday" again.
    Select(d, L"allday");
    Click(d, C::kDelete);
    expectList({L"allday"}, kAllday);

    // Add with the preset, with an empty name, with a repeated one; cancelled.
    auto add = [&](const std::function<void(HWND)>& answer) {
      testbox::Script s({{L"Slot name", answer}});
      Click(d, C::kAdd);
      s.Finish();
      return s.Boxes();
    };
    auto typed = [](const wchar_t* name) {
      return [name](HWND box) {
        SetDlgItemTextW(box, 10001, name);
        Click(box, 1);
      };
    };
    std::vector<testbox::Seen> seen = add([](HWND box) { Click(box, 1); });
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, L"Enter a new slot name (eg 'morning'). Note that slotnames are assumed to be contiguous");
    expectList({L"Night", L"allday"}, kSeveral);
    add(typed(L""));
    expectList({L"", L"Night", L"allday"}, kSeveral);
    add(typed(L"Night"));
    expectList({L"Night", L"", L"Night", L"allday"}, kSeveral);
    EXPECT_FALSE(Marks([&] { add([](HWND box) { Click(box, 2); }); }));
    expectList({L"Night", L"", L"Night", L"allday"}, kSeveral);
    // Ten names, then Add: the roster's refusal, the list as it was.
    Run([] {
      kalmora_DB::put_list_slots(rizediveva6::MakeList<const wchar_t*>(
          {L"s1", L"s2", L"s3", L"s4", L"s5", L"s6", L"s7", L"s8", L"s9", L"s10"}));
    });
    Click(d, C::kExample);  // refreshes the list box from the store
    Run([] {
      kalmora_DB::put_list_slots(rizediveva6::MakeList<const wchar_t*>(
          {L"s1", L"s2", L"s3", L"s4", L"s5", L"s6", L"s7", L"s8", L"s9", L"s10"}));
    });
    Click(d, C::kUp);
    rec().Clear();
    add([](HWND box) { Click(box, 1); });
    const V ten{L"s1", L"s2", L"s3", L"s4", L"s5", L"s6", L"s7", L"s8", L"s9", L"s10"};
    expectList(ten, kSeveral);
    EXPECT_EQ(rec().Texts(L"note"), V{L"Error 73 in kalmora_db - more than 10 slots"});
    Run([&] { dialog->closeit(); });
  });
}

TEST_F(CalendarDialog, MondayMovesASundayStartBackToItsMonday) {
  RosterSpec spec = TwoWeekSpec();
  spec.startDay = 1;  // Sunday weeks: the start is Sunday 4 October 2026
  Open(spec);
  InTask([&](HWND task) {
    C* dialog = nullptr;
    HWND d = Shown(task, &dialog);
    ASSERT_TRUE(d);
    EXPECT_EQ(CheckedOf(d, {C::kSunday, C::kMonday}), std::set<int>{C::kSunday});
    EXPECT_EQ(CtlText(d, C::kStartDate), L"04 Oct 2026");
    EXPECT_EQ(CtlText(d, C::kWeekday), L"Sunday");
    EXPECT_FALSE(Enabled(d, C::kSunday));
    EXPECT_TRUE(Marks([&] { Click(d, C::kMonday); }));
    EXPECT_EQ(CheckedOf(d, {C::kSunday, C::kMonday}), std::set<int>{C::kMonday});
    EXPECT_EQ(kalmora_DB::get_start_day(), 0u);
    EXPECT_EQ(Start(), L"28 Sep 2026");
    EXPECT_EQ(CtlText(d, C::kStartDate), L"28 Sep 2026");
    EXPECT_EQ(CtlText(d, C::kWeekday), L"Monday");
    EXPECT_EQ(CtlText(d, C::kEndDate), L"Monday 12 Oct 2026");
    Run([&] { dialog->closeit(); });
  });
}

TEST_F(CalendarDialog, AFreshProcessReadsWhatTheControlsStored) {
  Open(TwoWeekSpec());
  InTask([&](HWND task) {
    C* dialog = nullptr;
    HWND d = Shown(task, &dialog);
    ASSERT_TRUE(d);
    SetDlgItemTextW(d, C::kDuration, L"30");
    Click(d, C::kExample);
    Select(d, L"night");
    Click(d, C::kUp);
    FocusStartDate(d);
    Key(VK_PRIOR);
    EXPECT_TRUE(kwitest::PumpUntil([&] { return CtlText(d, C::kStartDate) == L"02 Nov 2026"; }));
    Run([&] { dialog->closeit(); });
  });
  Run([] { kalmora_DB::save_kalmora(); });
  auto [code, text] = RosterChild(L"dump \"" + Path(L"r.km6") + L"\"");
  ASSERT_EQ(code, 0u) << Narrow(text);
  const std::vector<std::wstring> lines = LinesOf(text);
  auto has = [&](const std::wstring& l) { return std::find(lines.begin(), lines.end(), l) != lines.end(); };
  // The date; the stored time of day is the week start's.
  EXPECT_EQ(text.find(L"start 2026-11-2 "), 0u) << Narrow(text);
  EXPECT_TRUE(has(L"duration 30")) << Narrow(text);
  EXPECT_TRUE(has(L"start_day 0")) << Narrow(text);
  EXPECT_TRUE(has(L"slots morning night afternoon")) << Narrow(text);
}

}  // namespace
