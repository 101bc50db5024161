// Documents written by the shared roster fixture in a child process and
// reopened by a fresh one: the small roster's header, holidays and weekend
// as written by hand here, the large rosters, and every writing operation
// of the header, holiday and weekend stores with the modified mark it
// leaves and its change read back after the save.
#include <string>

#include "all_test.h"
#include "doc_test.h"

using namespace alltest;

namespace {

const std::wstring kSmall =
    L"start 2026-10-5 00:00:01\n"
    L"duration 16\n"
    L"start_day 0\n"
    L"slots Fr\u00FCh late night\n"
    L"desc Kleiner Dienstplan \u00E4\u00F6\u00FC\n"
    L"holidays 2026-12-25 2026-12-26 2027-1-1\n"
    L"weekend 3,7 1,7 1,6\n";

// The text (kSmall) with the line that starts with `key` replaced.
std::wstring With(const std::wstring& key, const std::wstring& line, const std::wstring& text = kSmall) {
  std::wstring out;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find(L'\n', at);
    std::wstring l = text.substr(at, end - at);
    out += (l.rfind(key + L" ", 0) == 0 || l == key ? line : l) + L"\n";
    at = end + 1;
  }
  return out;
}

class FixtureDocuments : public rztest::Documents {
 protected:
  std::wstring Quoted(const wchar_t* name) { return L"\"" + Path(name) + L"\""; }
  void Build(const wchar_t* spec, const wchar_t* name) {
    auto [code, text] = RosterChild(std::wstring(L"build ") + spec + L" " + Quoted(name));
    ASSERT_EQ(code, 0u) << Narrow(text);
    ASSERT_EQ(text, L"saved\n");
  }
  std::wstring Dump(const wchar_t* name) {
    auto [code, text] = RosterChild(L"dump " + Quoted(name));
    EXPECT_EQ(code, 0u) << Narrow(text);
    return text;
  }
};

TEST_F(FixtureDocuments, TheSmallRosterReopensAsWritten) {
  Build(L"small", L"small.km6");
  EXPECT_EQ(Dump(L"small.km6"), kSmall);
}

TEST_F(FixtureDocuments, TheLargeRostersReopenAsWritten) {
  const std::wstring head =
      L"start 2027-1-4 00:00:01\n"
      L"duration %\n"
      L"start_day 0\n"
      L"slots day evening night\n"
      L"desc No Desc\n";
  const std::wstring weekend = L"weekend 3,7 3,6 2,7 2,6 1,7 1,6\n";
  auto expected = [&](const wchar_t* weeks, const wchar_t* holidays) {
    std::wstring h = head;
    h.replace(h.find(L'%'), 1, weeks);
    return h + L"holidays " + holidays + L"\n" + weekend;
  };
  Build(L"large52", L"l52.km6");
  EXPECT_EQ(Dump(L"l52.km6"), expected(L"52", L"2027-1-1 2027-5-1 2027-12-25 2027-12-26"));
  Build(L"large104", L"l104.km6");
  EXPECT_EQ(Dump(L"l104.km6"),
            expected(L"104", L"2027-1-1 2027-5-1 2027-12-25 2027-12-26 2028-1-1 2028-5-1 2028-12-25 2028-12-26"));
}

TEST_F(FixtureDocuments, EveryWritingOperationMarksAndSurvivesTheSave) {
  struct Row {
    const wchar_t* op;
    bool marks;
    std::wstring after;  // what a fresh process reads back
    const wchar_t* note = nullptr;
  };
  const Row rows[] = {
      {L"put_start_date", true, With(L"start", L"start 2026-10-12 00:00:01")},
      {L"put_weeks_duration", true, With(L"duration", L"duration 20")},
      // Slots renamed in place keep their weekend entries; night's goes.
      {L"put_list_slots", true, With(L"weekend", L"weekend 1,7 1,6", With(L"slots", L"slots am pm"))},
      {L"put_list_slots_11", false, kSmall, L"Error 73 in kalmora_db - more than 10 slots"},
      // Fr\u00FCh's weekend entries follow it to slot 2.
      {L"move_up", true, With(L"weekend", L"weekend 3,7 2,7 2,6", With(L"slots", L"slots late Fr\u00FCh night"))},
      {L"move_down", true, With(L"weekend", L"weekend 3,7 2,7 2,6", With(L"slots", L"slots late Fr\u00FCh night"))},
      {L"set_start_day", true, With(L"start_day", L"start_day 1")},
      {L"set_desc", true, With(L"desc", L"desc Neu")},
      {L"add_holiday", true, With(L"holidays", L"holidays 2026-12-25 2026-12-26 2027-1-1 2026-12-24")},
      {L"add_holiday_again", false, kSmall},
      {L"del_holiday", true, With(L"holidays", L"holidays 2026-12-25 2027-1-1")},
      {L"clear_hols", true, With(L"holidays", L"holidays")},
      {L"add_sd", true, With(L"weekend", L"weekend 10,1 3,7 1,7 1,6")},
      {L"add_sd_again", false, kSmall},
      {L"del_sd", true, With(L"weekend", L"weekend 3,7 1,6")},
      {L"clear_sd", true, With(L"weekend", L"weekend")},
      {L"set_default_weekend", true, With(L"weekend", L"weekend 3,7 3,1 2,7 2,1 1,7 1,1")},
  };
  int n = 0;
  for (const Row& r : rows) {
    SCOPED_TRACE(Narrow(r.op));
    const std::wstring name = L"op" + std::to_wstring(++n) + L".km6";
    Build(L"small", name.c_str());
    auto [code, text] = RosterChild(std::wstring(L"op ") + r.op + L" " + Quoted(name.c_str()));
    EXPECT_EQ(code, 0u);
    std::wstring want = r.marks ? L"mark 1\nsaved\n" : L"mark 0\nresult 7\n";  // 7: no_need_to_save
    if (r.note) want += std::wstring(L"note: ") + r.note + L"\n";
    EXPECT_EQ(text, want) << Narrow(text);
    EXPECT_EQ(Dump(name.c_str()), r.after);
  }
}

// A saved empty document reopens with the header's defaults.
TEST_F(FixtureDocuments, AnEmptyDocumentReopensWithTheDefaults) {
  auto [code, text] = RosterChild(L"build_empty " + Quoted(L"e.km6"));
  ASSERT_EQ(code, 0u) << Narrow(text);
  const std::wstring first = Dump(L"e.km6");
  EXPECT_EQ(first.substr(first.find(L"\nduration")),
            L"\nduration 10\nstart_day 0\nslots\ndesc No Desc\nholidays\nweekend\n");
  EXPECT_EQ(Dump(L"e.km6"), first);
}

}  // namespace
