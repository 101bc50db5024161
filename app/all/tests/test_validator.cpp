// The roster validator (roster_check.exe) on documents the child writes:
// one of each violation, locks against an earlier document, figures worked
// out by hand on a two-week roster, and files that are no roster.
#include <windows.h>

#include <algorithm>
#include <regex>

#include "roster_test.h"

namespace alltest {
namespace {

class Validator : public ChildDocuments {
 protected:
  // roster_check's exit code and lines.
  std::pair<DWORD, std::vector<std::wstring>> Check(const std::wstring& args) {
    auto [code, text] = RunBeside(L"roster_check.exe", args);
    return {code, LinesOf(text)};
  }
  // A document of a spec after one child operation.
  std::wstring Built(const wchar_t* spec, const wchar_t* name, const wchar_t* op) {
    Child(std::wstring(L"build ") + spec + L" " + Quoted(name));
    return op ? Child(std::wstring(L"op ") + op + L" " + Quoted(name)) : L"";
  }
};

// Tie references depend on the chain: shown as "tie #".
std::vector<std::wstring> WithoutTieRefs(std::vector<std::wstring> lines) {
  for (std::wstring& l : lines) l = std::regex_replace(l, std::wregex(L" tie -?[0-9]+:"), L" tie #:");
  return lines;
}

TEST_F(Validator, EachKindOfViolationGivesItsLine) {
  Built(L"small", L"v.km6", L"violations");
  auto [code, lines] = Check(Quoted(L"v.km6"));
  EXPECT_EQ(code, 1u);
  const std::vector<std::wstring> expected = {
      L"must_do tie #: [102,11,11,1,1] Dr. Sophie Bauer, [103,12,12,2,2] Dr. Chen \u9648",
      L"must_not_do tie #: [101,11,12,1,1] Dr. Chen \u9648, [101,13,13,3,3] Dr. Chen \u9648",
      L"no doctor [101,12,11,2,2] ?doctor 999999",
      L"no duty [101,11,11,9,9] Dr. Sophie Bauer",
      L"rule Dr. Chen \u9648 [101,13,13,3,3]: group Innere slot 3",
      L"rule Dr. Chen \u9648 [103,12,12,2,2]: person Dr. Chen \u9648 duty [103,12,12,2,2]",
      L"rule Dr. Sophie Bauer [102,11,11,1,1]: person Dr. Sophie Bauer week 2",
      L"twice Dr. Stefan Braun [101,13,11,1,2] [101,13,11,3,3]",
  };
  ASSERT_EQ(lines.size(), expected.size() + 1) << Narrow(Child(L"refs " + Quoted(L"v.km6")));
  EXPECT_EQ(WithoutTieRefs(std::vector<std::wstring>(lines.begin(), lines.end() - 1)), expected);
  EXPECT_EQ(lines.back().rfind(L"violations 8, fill rate ", 0), 0u) << Narrow(lines.back());
  // Against itself nothing is introduced.
  EXPECT_EQ(Check(Quoted(L"v.km6") + L" " + Quoted(L"v.km6")).first, 0u);
}

TEST_F(Validator, LocksOfTheEarlierDocumentMustStayOnTheirDoctors) {
  Built(L"small", L"before.km6", L"assign");
  ASSERT_TRUE(CopyFileW(Path(L"before.km6").c_str(), Path(L"after.km6").c_str(), FALSE));
  const std::vector<std::wstring> keys = LinesOf(Child(L"op move_locks " + Quoted(L"after.km6")));
  ASSERT_GE(keys.size(), 2u);
  const std::wstring gone = keys[0].substr(5), moved = keys[1].substr(6);

  auto [same, sameLines] = Check(Quoted(L"before.km6") + L" " + Quoted(L"before.km6"));
  EXPECT_EQ(same, 0u);
  for (const std::wstring& l : sameLines) EXPECT_EQ(l.find(L"lock"), std::wstring::npos) << Narrow(l);

  auto [code, lines] = Check(Quoted(L"after.km6") + L" " + Quoted(L"before.km6"));
  EXPECT_EQ(code, 1u);
  int goneLines = 0, movedLines = 0;
  for (const std::wstring& l : lines) {
    goneLines += l.rfind(L"lock gone " + gone + L" ", 0) == 0;
    movedLines += l.rfind(L"lock moved " + moved + L" ", 0) == 0;
  }
  EXPECT_EQ(goneLines, 1);
  EXPECT_EQ(movedLines, 1);
}

// 24 duties: 20 of category 0 (the holiday among them), 4 of category 1
// (the weekend day duties).  A: 5 + 0 assigned, B: 0 + 2, C: none.  Of the
// 17 left, the 12 of week 2 are forbidden to everyone: 5 placeable.
TEST_F(Validator, FiguresOfATwoWeekRosterByHand) {
  Built(L"two", L"t.km6", L"two_week_roster");
  auto [code, lines] = Check(L"--figures " + Quoted(L"t.km6"));
  EXPECT_EQ(code, 0u);
  const std::vector<std::wstring> expected = {
      L"doctor A weekend0 assigned 5 share 10.00 deviation 5.00",
      L"doctor A weekend1 assigned 0 share 0.80 deviation 0.80",
      L"doctor B weekend0 assigned 0 share 5.00 deviation 5.00",
      L"doctor B weekend1 assigned 2 share 1.60 deviation 0.40",
      L"doctor C weekend0 assigned 0 share 5.00 deviation 5.00",
      L"doctor C weekend1 assigned 0 share 1.60 deviation 1.60",
      L"practice P1 weekend0 assigned 5 share 10.00 deviation 5.00",
      L"practice P2 weekend0 assigned 0 share 10.00 deviation 10.00",
      L"practice P1 weekend1 assigned 0 share 1.20 deviation 1.20",
      L"practice P2 weekend1 assigned 0 share 2.80 deviation 2.80",
      L"weekend0 duties 20 fill rate 25.00 % doctors max 5.00 sum 15.00 practices max 10.00 sum 15.00",
      L"weekend1 duties 4 fill rate 50.00 % doctors max 1.60 sum 2.80 practices max 2.80 sum 4.00",
      L"practices max 10.00 sum 19.00",
      L"violations 0, fill rate 29.17 %, max deviation 5.00, sum deviation 17.80, placeable 5",
  };
  EXPECT_EQ(lines, expected);
}

// The chain database's code, exit code 2, and the file left as it was.
TEST_F(Validator, AFileThatIsNoRosterGetsTheDatabaseErrorAndExitCodeTwo) {
  const std::string line = "this is a text file, not a chain database\r\n";
  std::vector<uint8_t> text;
  for (int i = 0; i < 200; ++i) text.insert(text.end(), line.begin(), line.end());
  WriteBytes(Path(L"foreign.km6"), text);
  Built(L"two", L"t.km6", L"two_week_roster");
  const std::vector<uint8_t> real = Bytes(Path(L"t.km6"));
  WriteBytes(Path(L"half.km6"), std::vector<uint8_t>(real.begin(), real.begin() + real.size() / 2));
  const struct {
    const wchar_t* file;
    const wchar_t* line;
  } cases[] = {{L"foreign.km6", L"error 1326"}, {L"half.km6", L"error 1326"}, {L"missing.km6", L"error 1336"}};
  for (const auto& c : cases) {
    auto [code, lines] = Check(Quoted(c.file));
    EXPECT_EQ(code, 2u) << Narrow(c.file);
    EXPECT_EQ(lines, std::vector<std::wstring>{c.line}) << Narrow(c.file);
  }
  EXPECT_EQ(Bytes(Path(L"foreign.km6")), text);
  EXPECT_EQ(GetFileAttributesW(Path(L"foreign.km6.damaged").c_str()), INVALID_FILE_ATTRIBUTES);
  // Damage anywhere in a real document: judged or refused, never a crash.
  for (size_t from = 0; from < real.size(); from += real.size() / 16) {
    std::vector<uint8_t> bytes = real;
    for (size_t i = from; i < std::min(bytes.size(), from + 64); ++i) bytes[i] ^= 0x5A;
    WriteBytes(Path(L"flipped.km6"), bytes);
    const DWORD code = Check(Quoted(L"flipped.km6")).first;
    EXPECT_LE(code, 2u) << "damage at " << from;
  }
}

// Generated rosters are real documents: all 60 doctors stored (names that
// differ only in case or after 12 characters too), the ties stored, and a
// fresh process judges each the same way.
TEST_F(Validator, GeneratedRostersReopenWithTheSameFigures) {
  for (const wchar_t* spec : {L"gen7w52", L"gen11w104"}) {
    SCOPED_TRACE(Narrow(spec));
    const std::wstring file = std::wstring(spec) + L".km6";
    Built(spec, file.c_str(), nullptr);
    const std::vector<std::wstring> lists = LinesOf(Child(L"lists " + Quoted(file)));
    ASSERT_GE(lists.size(), 4u);
    const std::wstring& doctors = lists[3];
    EXPECT_EQ(std::count(doctors.begin(), doctors.end(), L'('), 60);
    for (const wchar_t* name : {L" Dr. M\u00FCller(", L" Dr. m\u00FCller(", L" Dr. Hoffmann-Schulz(", L" Dr. Hoffmann-Schmidt("})
      EXPECT_NE(doctors.find(name), std::wstring::npos) << Narrow(name);
    const std::vector<std::wstring> ties = LinesOf(Child(L"ties " + Quoted(file)));
    EXPECT_GE(std::count_if(ties.begin(), ties.end(), [](const std::wstring& l) { return l.rfind(L"tie ", 0) == 0; }), 15);
    auto [code, first] = Check(L"--figures " + Quoted(file));
    EXPECT_EQ(code, 0u);
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first.back().rfind(L"violations 0, fill rate 0.00 %, ", 0), 0u) << Narrow(first.back());
    EXPECT_EQ(Check(L"--figures " + Quoted(file)).second, first);
  }
}

}  // namespace
}  // namespace alltest
