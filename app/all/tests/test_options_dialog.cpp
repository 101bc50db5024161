// The options dialog and the export dialog on real windows, answered from a
// helper thread: every control's stored effect (the options file's text,
// the document, the command tree's toggles), the description stored only
// when changed, cancelled pickers and font dialog, "Close" and the close
// box; the export dialog closed three ways without a trace.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "SYSTEM/options/options_db.h"
#include "all_test.h"
#include "binary/binary.h"
#include "comtree_recorder.h"
#include "dlgs/ExportTessaro.h"
#include "dlgs/Options.h"
#include "kalmoradb/kalmora_DB.h"
#include "publish_test.h"
#include "toolkit_test.h"

using namespace alltest;
using all::options;

namespace {

using OptionsDialog = PublishTest;

bool Checked(HWND d, int id) { return IsDlgButtonChecked(d, id) == BST_CHECKED; }
// A click handled before the call returns (no modal box behind it).
void SendClick(HWND d, int id) {
  SendMessageW(d, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(d, id)));
}
void SendEditNotice(HWND d, int code) {
  SendMessageW(d, WM_COMMAND, MAKEWPARAM(options::kDescription, code),
               reinterpret_cast<LPARAM>(GetDlgItem(d, options::kDescription)));
}
// The folder picker answered with `folder` in its path field and OK.
void PickFolder(HWND d, const std::wstring& folder) {
  SetWindowTextW(GetDlgItem(d, 512), folder.c_str());
  SendMessageW(d, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(d, 512)), TRUE);
  tktest::Click(d, 1);
}
std::string OptionsText() { return ReadBytes(rizediveva6::OptionsFileName()); }
// A path as the options file writes it: backslashes doubled.
std::string Quoted(const std::wstring& path) {
  std::string q;
  for (char c : Utf8(path)) q += c == '\\' ? std::string("\\\\") : std::string(1, c);
  return q;
}
bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// --- the options as a fresh process reads them ---

constexpr const wchar_t* kPrintOptions = L"ALL_PUBLISH_PRINT_OPTIONS";

std::string FontHex(const uint8_t* font) {
  std::string hex;
  char b[3];
  for (uint32_t i = 0; i < tav::binary::getsize(font); ++i) snprintf(b, 3, "%02x", font[i]), hex += b;
  return hex;
}

// The fresh process's "@ " lines: simple, Tessaro folder, web-page folder, font.
std::vector<std::string> FreshOptions() {
  SetEnvironmentVariableW(kPrintOptions, L"1");
  testchild::Child c = testchild::Start(testchild::ThisProgram(),
                                        L"all_publish_tests.exe --gtest_filter=OptionsChild.Print --watchdog=60");
  SetEnvironmentVariableW(kPrintOptions, nullptr);
  testchild::Wait(c, 90000);
  std::vector<std::string> lines;
  size_t at = 0;
  while ((at = c.text.find("@ ", at)) != std::string::npos) {
    const size_t end = c.text.find_first_of("\r\n", at);
    lines.push_back(c.text.substr(at + 2, end - at - 2));
    at = end;
  }
  return lines;
}

using OptionsChild = Model;

TEST_F(OptionsChild, Print) {
  wchar_t v[4];
  if (!GetEnvironmentVariableW(kPrintOptions, v, 4)) GTEST_SKIP() << "parent run";
  namespace O = rizediveva6;
  EXPECT_EQ(RunTrapped([] {
              O::options_db::read_opt();
              int32_t simple = -1;
              const wchar_t* tessaro = L"(none)";
              O::options_db::various_i(L"simple", &simple);
              O::options_db::various_s(L"Tessaro folder", &tessaro);
              printf("@ simple %d\n@ tessaro %s\n@ publish %s\n@ font %s\n", simple, Utf8(tessaro).c_str(),
                     Utf8(O::options_db::publish_folder()).c_str(), FontHex(O::options_db::opt_font()).c_str());
              fflush(stdout);
            }),
            0u);
}

void ShowOptions(std::vector<testbox::Step> steps, std::vector<testbox::Seen>* seen = nullptr) {
  tktest::RunInTask([&](LONG_PTR task) {
    testbox::Script s(std::move(steps), 200);
    const uint32_t code = RunTrapped([&] { options::new_()->show(task); });
    EXPECT_EQ(code, 0u);
    s.Finish();
    if (seen) *seen = s.Boxes();
  });
}

TEST_F(OptionsDialog, EveryControlStoresItsEffectAtOnce) {
  Build(GateSpec());
  Browser browser;
  const std::wstring tessaro = Path(L"tessaro"), newWeb = Path(L"new web");
  CreateDirectoryW(tessaro.c_str(), nullptr);
  ComtreeCalls().clear();
  ComtreeToggle(L"toggle_show_stats_continuously") = 0;
  ComtreeToggle(L"toggle_show_title") = 0;
  struct Shown {
    std::wstring publishText, tessaroText, desc, tessaroStart, tessaroAfter, publishAfter;
    bool marksAtStart = true, simpleMarked = false, prettyMarked = true, stats1 = false, stats2 = true,
         title = false;
    std::string afterSimple, afterPretty;
    std::vector<std::wstring> exportTexts;
  } shown;
  std::vector<testbox::Seen> seen;
  ShowOptions(
      {{L"Options",
        [&](HWND d) {
          shown.publishText = tktest::CtlText(d, options::kPublishText);
          shown.tessaroText = tktest::CtlText(d, options::kTessaroText);
          shown.desc = tktest::CtlText(d, options::kDescription);
          shown.marksAtStart = false;
          for (int id : {options::kPretty, options::kSimple, options::kHolidays, options::kStatsContinuously,
                         options::kShowTitle})
            shown.marksAtStart = shown.marksAtStart || Checked(d, id);
          SendClick(d, options::kSimple);
          shown.afterSimple = OptionsText();
          shown.simpleMarked = Checked(d, options::kSimple) && !Checked(d, options::kPretty);
          SendClick(d, options::kPretty);
          shown.afterPretty = OptionsText();
          shown.prettyMarked = Checked(d, options::kPretty) && !Checked(d, options::kSimple);
          SendClick(d, options::kStatsContinuously);
          shown.stats1 = Checked(d, options::kStatsContinuously);
          SendClick(d, options::kStatsContinuously);
          shown.stats2 = Checked(d, options::kStatsContinuously);
          SendClick(d, options::kShowTitle);
          shown.title = Checked(d, options::kShowTitle);
          // Visiting the box stores nothing; a new text is stored.
          SendEditNotice(d, EN_SETFOCUS);
          SendEditNotice(d, EN_KILLFOCUS);
          SetWindowTextW(GetDlgItem(d, options::kDescription), L"Winter roster\r\nsecond line");
          SendEditNotice(d, EN_CHANGE);
          tktest::Click(d, options::kTessaroFolder);
        }},
       {L"Tessaro folder",
        [&](HWND d) {
          shown.tessaroStart = tktest::CtlText(d, 512);
          PickFolder(d, tessaro);
        }},
       {L"Options",
        [&](HWND d) {
          shown.tessaroAfter = tktest::CtlText(d, options::kTessaroText);
          tktest::Click(d, options::kPublishFolder);
        }},
       {L"Webpage folder", [&](HWND d) { PickFolder(d, newWeb); }},
       {L"Options",
        [&](HWND d) {
          shown.publishAfter = tktest::CtlText(d, options::kPublishText);
          tktest::Click(d, options::kExport);
        }},
       {L"Export Tessaro",
        [&](HWND d) {
          for (int id : {10019, 10020, 10021}) shown.exportTexts.push_back(tktest::CtlText(d, id));
          tktest::Click(d, 1);
        }},
       {L"Options",
        [&](HWND d) {
          SendClick(d, options::kPublish);
          tktest::Click(d, options::kClose);
        }}},
      &seen);
  ASSERT_EQ(seen.size(), 7u);

  EXPECT_EQ(shown.publishText, WebFolder());
  EXPECT_EQ(shown.tessaroText, L"");
  EXPECT_EQ(shown.desc, L"No Desc");
  EXPECT_FALSE(shown.marksAtStart);
  EXPECT_TRUE(Has(shown.afterSimple, "ndb_various(i(\"simple\",1)).")) << shown.afterSimple;
  EXPECT_TRUE(Has(shown.afterPretty, "ndb_various(i(\"simple\",0)).")) << shown.afterPretty;
  EXPECT_FALSE(Has(shown.afterPretty, "ndb_various(i(\"simple\",1))."));
  EXPECT_TRUE(shown.simpleMarked);
  EXPECT_TRUE(shown.prettyMarked);
  EXPECT_TRUE(shown.stats1);
  EXPECT_FALSE(shown.stats2);
  EXPECT_TRUE(shown.title);
  // The Tessaro picker starts in the web-page folder while none is stored.
  EXPECT_EQ(shown.tessaroStart, WebFolder());
  EXPECT_EQ(shown.tessaroAfter, tessaro);
  EXPECT_EQ(shown.publishAfter, newWeb);
  EXPECT_EQ(shown.exportTexts,
            (std::vector<std::wstring>{
                L"Not yet available",
                L"This function will export a kalmora6 roster and create files in Tessaro format",
                L"Tessaro can cope with more complex roster problems, with overlapping slots and varying duty "
                L"times, and hundreds of staff"}));

  const std::string file = OptionsText();
  EXPECT_TRUE(Has(file, "ndb_various(s(\"Tessaro folder\",\"" + Quoted(tessaro) + "\")).")) << file;
  EXPECT_TRUE(Has(file, "db_publish_folder(\"" + Quoted(newWeb) + "\").")) << file;
  std::string font;
  Run([&] { font = FontHex(rizediveva6::options_db::opt_font()); });
  EXPECT_EQ(FreshOptions(), (std::vector<std::string>{"simple 0", "tessaro " + Utf8(tessaro),
                                                     "publish " + Utf8(newWeb), "font " + font}));
  // The web-page folder was made, and "Publish" wrote the pages into it.
  EXPECT_EQ(ReadBytes(newWeb + L"\\kalmora6.html").substr(0, 16), "\r\n\r\n\r\n<HTML>\r\n<H");
  Run([&] { EXPECT_EQ(std::wstring(kalmora_DB::get_desc()), L"Winter roster\nsecond line"); });

  std::vector<std::wstring> calls;
  for (const ComtreeCall& c : ComtreeCalls()) calls.push_back(c.op + L" " + std::to_wstring(c.colour));
  EXPECT_EQ(calls, (std::vector<std::wstring>{L"refresh 0", L"refresh 0", L"toggle_show_stats_continuously 1",
                                              L"toggle_show_stats_continuously 0", L"toggle_show_title 1"}));
  ClearFolder(newWeb);
  RemoveDirectoryW(newWeb.c_str());
  RemoveDirectoryW(tessaro.c_str());
}

TEST_F(OptionsDialog, CancelledDialogsAndAVisitedBoxChangeNothingAndTheCloseBoxCloses) {
  Build(GateSpec());
  Run([&] { kalmora_DB::set_as_not_mod(); });
  const std::string before = OptionsText();
  ComtreeCalls().clear();
  ShowOptions({{L"Options",
                [&](HWND d) {
                  SendEditNotice(d, EN_SETFOCUS);
                  SendEditNotice(d, EN_CHANGE);
                  SendEditNotice(d, EN_KILLFOCUS);
                  tktest::Click(d, options::kPublishFolder);
                }},
               {L"Webpage folder", [&](HWND d) { tktest::Click(d, 2); }},
               {L"Options", [&](HWND d) { tktest::Click(d, options::kTessaroFolder); }},
               {L"Tessaro folder", [&](HWND d) { testbox::CloseBox(d); }},
               {L"Options", [&](HWND d) { tktest::Click(d, options::kSetFont); }},
               {L"Font", [&](HWND d) { tktest::Click(d, IDCANCEL); }},
               {L"Options", [&](HWND d) { testbox::CloseBox(d); }}});
  EXPECT_EQ(OptionsText(), before);
  EXPECT_TRUE(ComtreeCalls().empty());
  Run([&] { EXPECT_FALSE(open_.back()->is_modified()); });
  EXPECT_FALSE(options::holidays_are_weekends());
}

TEST_F(OptionsDialog, TheExportDialogClosesEachWayAndWritesNothing) {
  Build(GateSpec());
  const std::string before = OptionsText();
  const std::vector<std::string> webBefore = FilesInFolder();
  struct Way {
    const char* name;
    std::function<void(HWND)> close;
  };
  const Way ways[] = {{"OK", [](HWND d) { tktest::Click(d, 1); }},
                      {"Cancel", [](HWND d) { tktest::Click(d, 2); }},
                      {"close box", [](HWND d) { testbox::CloseBox(d); }}};
  for (const Way& w : ways) {
    SCOPED_TRACE(w.name);
    bool closed = false;
    tktest::RunInTask([&](LONG_PTR task) {
      testbox::Script s({{L"Export Tessaro", w.close}}, 100);
      EXPECT_EQ(RunTrapped([&] { all::exportTessaro::new_()->show(task); }), 0u);
      s.Finish();
      closed = s.Boxes().size() == 1 && !testbox::FindBox(L"Export Tessaro");
    });
    EXPECT_TRUE(closed);
  }
  EXPECT_EQ(OptionsText(), before);
  EXPECT_EQ(FilesInFolder(), webBefore);
}

}  // namespace
