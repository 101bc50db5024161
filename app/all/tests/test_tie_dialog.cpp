// The tie-definition dialog on a real display over the small roster: its
// window definition, the controls marked at opening for a table of input
// records, clicks on the real controls with the marks, enabled states and
// description after each, and the answers of OK, the close box, Escape and
// "&Help".
#include <string>
#include <vector>

#include "dialog_test.h"
#include "dlgs/Tie_definition.h"
#include "kalmoradb/ties.h"

using namespace alltest;

namespace {

using D = tie_definition;

const DutySpec kStationA{L"Station", L"Haus A", L"Fr\u00FCh"}, kNotB{L"Notaufnahme", L"Haus B", L"late"};

struct TieState {
  std::wstring title;
  std::set<int> checked;
  bool same;       // "Must be done by the same doctor" enabled
  int scopes;      // enabled scope radios
  bool everyDay;   // "Applies to the pair every day" enabled
  std::wstring desc;
  bool operator==(const TieState&) const = default;
};
std::ostream& operator<<(std::ostream& o, const TieState& s) {
  o << Narrow(s.title) << " checked";
  for (int id : s.checked) o << " " << id;
  return o << " same " << s.same << " scopes " << s.scopes << " daily " << s.everyDay << " \"" << Narrow(s.desc)
           << "\"";
}

TieState StateOf(HWND d) {
  TieState s{TextOf(d),
             CheckedOf(d, {D::kSameDoctor, D::kDifferentDoctors, D::kPairOnly, D::kEveryWeek, D::kEveryDay, D::kDuties,
                           D::kDaySlot, D::kDay, D::kWeek}),
             Enabled(d, D::kSameDoctor), 0, Enabled(d, D::kEveryDay), CtlText(d, D::kDescription)};
  for (int id : {D::kDuties, D::kDaySlot, D::kDay, D::kWeek}) s.scopes += Enabled(d, id) ? 1 : 0;
  return s;
}

const wchar_t* const kStationText = L"Station Haus A Monday Fr\u00FCh";
const wchar_t* const kNotText = L"Notaufnahme Haus B Tuesday late";

std::wstring Desc(const std::wstring& who, const std::wstring& rep, const std::wstring& e1, const std::wstring& e2,
                  const std::wstring& doer) {
  return who + L" tie: " + rep + L", (1) " + e1 + L" AND (2) " + e2 + L", done by " + doer;
}

class TieDialog : public DialogRoster {
 protected:
  void SetUp() override {
    DialogRoster::SetUp();
    Open(SmallSpec());
    first_ = KeyOf(TieEndSpec{1, 1, kStationA});
    second_ = KeyOf(TieEndSpec{1, 2, kNotB});
  }
  // Shows the dialog on the record; `act` runs on the dialog from the
  // answerer's thread and must end it.  The answer and the record out.
  bool Show(tie_value v, const std::function<void(HWND)>& act, tie_value* out = nullptr) {
    bool answer = false;
    std::vector<testbox::Seen> seen;
    InTask([&](HWND task) {
      testbox::Script s({{nullptr, act}});
      Run([&] {
        v.name = v.name ? tav::HeapCopy(v.name) : nullptr;
        v.first = tav::HeapCopy(v.first);
        v.second = tav::HeapCopy(v.second);
        const TieDatTerm* result = nullptr;
        answer = D::new_()->show_tie_def(reinterpret_cast<LONG_PTR>(task), MakeTieDat(v), &result);
        ASSERT_NE(result, nullptr);
        if (out) {
          *out = TieValueOf(result);
          out->name = out->name ? _wcsdup(out->name) : nullptr;
          out->first = _wcsdup(out->first);
          out->second = _wcsdup(out->second);
        }
      });
      s.Finish();
      seen = s.Boxes();
    });
    EXPECT_EQ(seen.size(), 1u);
    return answer;
  }
  tie_value Defaults(which_kind who = which_kind::global_tie, const wchar_t* name = nullptr) {
    return tie_value{who, name, first_.c_str(), second_.c_str(), tie_kind::must_do, repeat_kind::repeat_week,
                     spec_kind::tlsd_spec};
  }
  std::wstring first_, second_;
};

TEST_F(TieDialog, TheWindowDefinitionMakesTheTabulatedControls) {
  std::vector<CtlPin> pins = {
      {D::kOk, L"Button", BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP, kButtonMask, L"&OK", {52, 276, 96, 288}},
      {D::kHelp, L"Button", BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP, kButtonMask, L"&Help", {108, 276, 152, 288}},
      {D::kSameDoctor, L"Button", BS_RADIOBUTTON, kRadioMask, L"Must be done by the same doctor",
       {24, 168, 180, 178}},
      {D::kDifferentDoctors, L"Button", BS_RADIOBUTTON, kRadioMask,
       L"Must be done by different doctors", {24, 182, 180, 192}},
      {D::kPairOnly, L"Button", BS_RADIOBUTTON, kRadioMask,
       L"Applies to the defined pair of duties only", {24, 24, 180, 34}},
      {D::kEveryWeek, L"Button", BS_RADIOBUTTON, kRadioMask, L"Applies to the pair every week",
       {24, 36, 180, 46}},
      {D::kEveryDay, L"Button", BS_RADIOBUTTON | WS_DISABLED, kRadioMask,
       L"Applies to the pair every day", {24, 48, 180, 58}},
      {D::kDuties, L"Button", BS_RADIOBUTTON, kRadioMask,
       L"Applies to the duties (slot, task and location)", {24, 92, 180, 102}},
      {D::kDaySlot, L"Button", BS_RADIOBUTTON, kRadioMask, L"Applies to the day-slot (any duty)",
       {24, 104, 180, 114}},
      {D::kDay, L"Button", BS_RADIOBUTTON, kRadioMask, L"Applies to the day (any slot, any duty)",
       {24, 116, 180, 126}},
      {D::kWeek, L"Button", BS_RADIOBUTTON, kRadioMask, L"Applies to the week (any duty in the week)",
       {24, 128, 180, 138}},
      {D::kDescription, L"Static", SS_LEFT, kStaticMask, nullptr, {16, 226, 192, 262}},
      {10004, L"Button", BS_GROUPBOX, kButtonMask, L"Repetition", {12, 12, 200, 66}},
      {10005, L"Button", BS_GROUPBOX, kButtonMask, L"Done by the same doctor?", {12, 150, 200, 204}},
      {10014, L"Button", BS_GROUPBOX, kButtonMask, L"Applies", {12, 80, 200, 144}},
      {10016, L"Button", BS_GROUPBOX, kButtonMask, L"Description", {12, 214, 200, 268}},
  };
  DWORD style = 0;
  RECT client{}, want{0, 0, 208, 293};
  const bool answer = Show(Defaults(), [&](HWND d) {
    ExpectControls(d, pins);
    style = static_cast<DWORD>(GetWindowLongPtrW(d, GWL_STYLE));
    GetClientRect(d, &client);
    MapDialogRect(d, &want);
    Click(d, D::kOk);
  });
  EXPECT_TRUE(answer);
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU), static_cast<DWORD>(WS_CAPTION | WS_SYSMENU));
  for (int id : {D::kSameDoctor, D::kDifferentDoctors, D::kPairOnly, D::kEveryWeek, D::kDuties, D::kDaySlot, D::kDay,
                 D::kWeek})
    EXPECT_EQ(CtlFlags(D::windef_list(), id), std::vector<int>{26}) << id;
  EXPECT_EQ(CtlFlags(D::windef_list(), D::kEveryDay), (std::vector<int>{26, 12}));
  EXPECT_EQ(client.right, want.right);
  EXPECT_EQ(client.bottom, want.bottom);
}

TEST_F(TieDialog, OpensWithTheRecordsSettingsMarkedAndAnswersTheRecordOnOk) {
  struct Row {
    const char* what;
    tie_value in;
    TieState want;
  };
  const std::wstring dated1 = L"5/10/2026 " + std::wstring(kStationText),
                     dated2 = L"6/10/2026 " + std::wstring(kNotText);
  const Row rows[] = {
      {"the caller's defaults, global", Defaults(),
       {L"Global Tie", {D::kSameDoctor, D::kEveryWeek, D::kDuties}, true, 4, false,
        Desc(L"Global", L"Repeating weekly", kStationText, kNotText, L"same doctor")}},
      {"a practice's pair only by the day",
       {which_kind::group_tie, L"Innere", first_.c_str(), second_.c_str(), tie_kind::must_not_do,
        repeat_kind::no_repeat, spec_kind::just_day},
       {L"Tie for Innere", {D::kDifferentDoctors, D::kPairOnly, D::kDay}, true, 0, false,
        Desc(L"Group Innere", L"This pair only", dated1, dated2, L"different doctor")}},
      {"a doctor's daily day-slot",
       {which_kind::person_tie, L"\u00C4rztin Bj\u00F6rk", first_.c_str(), second_.c_str(), tie_kind::must_do,
        repeat_kind::repeat_day, spec_kind::just_slot_day},
       {L"Tie for \u00C4rztin Bj\u00F6rk", {D::kSameDoctor, D::kEveryDay, D::kDaySlot}, true, 4, false,
        Desc(L"Doctor \u00C4rztin Bj\u00F6rk", L"Repeating daily", L"Monday Fr\u00FCh", L"Tuesday late",
             L"same doctor")}},
      {"a weekly tie over the week",
       {which_kind::global_tie, nullptr, first_.c_str(), second_.c_str(), tie_kind::must_not_do,
        repeat_kind::repeat_week, spec_kind::just_week},
       {L"Global Tie", {D::kDifferentDoctors, D::kEveryWeek, D::kWeek}, true, 4, false,
        Desc(L"Global", L"Repeating weekly", L"1", L"1", L"different doctor")}},
      {"keys that name no duty",
       {which_kind::global_tie, nullptr, L"[1,2]", second_.c_str(), tie_kind::must_do, repeat_kind::repeat_week,
        spec_kind::tlsd_spec},
       {L"Global Tie", {D::kSameDoctor, D::kEveryWeek, D::kDuties}, true, 4, false, Desc(L"?", L"?", L"?", L"?", L"?")}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    TieState seen;
    tie_value out{};
    EXPECT_TRUE(Show(
        r.in,
        [&](HWND d) {
          seen = StateOf(d);
          Click(d, D::kOk);
        },
        &out));
    EXPECT_EQ(seen, r.want);
    EXPECT_EQ(out.who, r.in.who);
    EXPECT_EQ(out.name ? std::wstring(out.name) : L"", r.in.name ? std::wstring(r.in.name) : L"");
    EXPECT_EQ(std::wstring(out.first), r.in.first);
    EXPECT_EQ(std::wstring(out.second), r.in.second);
    EXPECT_EQ(out.tieDo, r.in.tieDo);
    EXPECT_EQ(out.repeat, r.in.repeat);
    EXPECT_EQ(out.spec, r.in.spec);
  }
  EXPECT_FALSE(doc_->is_modified());
}

TEST_F(TieDialog, ClicksChangeTheRecordMarksEnabledStatesAndDescription) {
  const std::wstring dated1 = L"5/10/2026 " + std::wstring(kStationText),
                     dated2 = L"6/10/2026 " + std::wstring(kNotText);
  struct Step {
    int click;
    TieState want;
  };
  const std::vector<Step> steps = {
      {D::kWeek, {L"Global Tie", {D::kDifferentDoctors, D::kEveryWeek, D::kWeek}, false, 4, false,
                  Desc(L"Global", L"Repeating weekly", L"1", L"1", L"different doctor")}},
      // The duties scope enables the same-doctor radio but keeps the doer.
      {D::kDuties, {L"Global Tie", {D::kDifferentDoctors, D::kEveryWeek, D::kDuties}, true, 4, false,
                    Desc(L"Global", L"Repeating weekly", kStationText, kNotText, L"different doctor")}},
      {D::kSameDoctor, {L"Global Tie", {D::kSameDoctor, D::kEveryWeek, D::kDuties}, true, 4, false,
                        Desc(L"Global", L"Repeating weekly", kStationText, kNotText, L"same doctor")}},
      {D::kPairOnly, {L"Global Tie", {D::kSameDoctor, D::kPairOnly, D::kDuties}, true, 0, false,
                      Desc(L"Global", L"This pair only", dated1, dated2, L"same doctor")}},
      {D::kHelp, {L"Global Tie", {D::kSameDoctor, D::kPairOnly, D::kDuties}, true, 0, false,
                  Desc(L"Global", L"This pair only", dated1, dated2, L"same doctor")}},
      {D::kEveryWeek, {L"Global Tie", {D::kSameDoctor, D::kEveryWeek, D::kDuties}, true, 4, false,
                       Desc(L"Global", L"Repeating weekly", kStationText, kNotText, L"same doctor")}},
      {D::kDaySlot, {L"Global Tie", {D::kDifferentDoctors, D::kEveryWeek, D::kDaySlot}, false, 4, false,
                     Desc(L"Global", L"Repeating weekly", L"Monday Fr\u00FCh", L"Tuesday late", L"different doctor")}},
      {D::kDifferentDoctors, {L"Global Tie", {D::kDifferentDoctors, D::kEveryWeek, D::kDaySlot}, false, 4, false,
                              Desc(L"Global", L"Repeating weekly", L"Monday Fr\u00FCh", L"Tuesday late",
                                   L"different doctor")}},
      {D::kDay, {L"Global Tie", {D::kDifferentDoctors, D::kEveryWeek, D::kDay}, false, 4, false,
                 Desc(L"Global", L"Repeating weekly", L"Monday", L"Tuesday", L"different doctor")}},
  };
  std::vector<TieState> seen;
  tie_value out{};
  EXPECT_TRUE(Show(
      Defaults(),
      [&](HWND d) {
        for (const Step& s : steps) {
          Click(d, s.click);
          seen.push_back(StateOf(d));
        }
        Click(d, D::kOk);
      },
      &out));
  ASSERT_EQ(seen.size(), steps.size());
  for (size_t i = 0; i < steps.size(); ++i) EXPECT_EQ(seen[i], steps[i].want) << "after click " << steps[i].click;
  EXPECT_EQ(out.who, which_kind::global_tie);
  EXPECT_EQ(std::wstring(out.first), first_);
  EXPECT_EQ(std::wstring(out.second), second_);
  EXPECT_EQ(out.tieDo, tie_kind::must_not_do);
  EXPECT_EQ(out.repeat, repeat_kind::repeat_week);
  EXPECT_EQ(out.spec, spec_kind::just_day);
}

TEST_F(TieDialog, TheCloseBoxAndEscapeNeverAnswerTrue) {
  // The close box after a change: false, the record as edited.
  tie_value out{};
  EXPECT_FALSE(Show(
      Defaults(),
      [&](HWND d) {
        Click(d, D::kWeek);
        testbox::CloseBox(d);
      },
      &out));
  EXPECT_EQ(out.spec, spec_kind::just_week);
  // Escape in the dialog: it either stays open (then the close box ends
  // it) or answers false.
  bool openAfterEscape = false;
  EXPECT_FALSE(Show(Defaults(), [&](HWND d) {
    HWND ok = GetDlgItem(d, D::kOk);
    PostMessageW(ok, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageW(ok, WM_KEYUP, VK_ESCAPE, 0);
    Sleep(300);
    openAfterEscape = IsWindow(d) && IsWindowVisible(d);
    if (openAfterEscape) testbox::CloseBox(d);
  }));
}

}  // namespace
