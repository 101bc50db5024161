// The document commands: the save outcomes a close acts on; the backup
// copy of an open; a save target held by another process; Save as; Forget
// changes and Exit; Options without a document.
#include "KWI/kwi_orvdb/kwiorvdb.h"
#include "kalmoradb/staff_db.h"
#include "program_test.h"

namespace programtest {
namespace {

using V = std::vector<std::wstring>;
namespace rz = rizediveva6;

class DocCommands : public ProgramTest {
 protected:
  static bool IsOpen() {
    bool open = false;
    Qel::RunTime::Kernel::RunTrapped([&] { open = all::kalmora_DB::is_init(); });
    return open;
  }
};

// A document whose save answers a scripted outcome.
class ScriptedDoc : public rz::kwiORVDB {
 public:
  rz::Saved outcome = rz::Saved::no_need_to_save;
  const wchar_t* name = nullptr;
  const rz::saved_result* orv_save(const rz::SList*) override {
    if (outcome == rz::Saved::saved) return rz::make_saved(outcome, name);
    return rz::make_saved(outcome, outcome == rz::Saved::not_saved_error ? L"(disk full)" : nullptr);
  }
};

TEST_F(DocCommands, EachSaveOutcomeClosesOrKeepsTheDocumentWithItsNote) {
  const std::wstring f = MakeRoster(L"f.km6", alltest::TwoWeekSpec());
  struct Row {
    rz::Saved outcome;
    V boxes;
    bool closes;
  };
  const Row kRows[] = {
      {rz::Saved::saved, {}, true},
      {rz::Saved::not_saved_forget, {}, true},
      {rz::Saved::not_saved_error, {L"Not saved (disk full)"}, false},
      {rz::Saved::not_saved_unknown, {L"Not saved ???"}, false},
      {rz::Saved::not_saved_closed, {}, true},
      {rz::Saved::no_need_to_save, {}, true},
  };
  for (const Row& r : kRows) {
    SCOPED_TRACE(static_cast<int>(r.outcome));
    std::vector<Seen> seen;
    bool windowLeft = false, openLeft = false;
    RunProgram([&](HWND task) {
      Run([&] {
        auto* doc = tav::NewObject<ScriptedDoc>();
        doc->part = rz::orvDB::new_file_def(rz::make_file_def(tav::HeapCopy(f.c_str()), true, rz::kBackupNone));
        doc->outcome = r.outcome;
        doc->name = tav::HeapCopy(f.c_str());
        all::kalmora_DB::init(doc);
      });
      seen = Answered({PressIn(nullptr, IDOK)}, [&] { Command(task, IDM_FILE_EXIT); });
      windowLeft = IsWindow(task);
      openLeft = IsOpen();
      Run([] { all::kalmora_DB::uninit(); });
    });
    V boxes;
    for (const Seen& s : seen) boxes.push_back(s.text);
    EXPECT_EQ(boxes, r.boxes);
    EXPECT_EQ(windowLeft, !r.closes);
    EXPECT_EQ(openLeft, !r.closes);
  }

  // No document at all: Exit ends at once.
  std::vector<Seen> seen;
  RunProgram([&](HWND task) {
    seen = Answered({PressIn(nullptr, IDOK)}, [&] { Command(task, IDM_FILE_EXIT); });
    EXPECT_FALSE(IsWindow(task));
  });
  EXPECT_TRUE(seen.empty());
}

TEST_F(DocCommands, OpenWritesABackupBesideTheFileAndAFailedBackupDoesNotStopTheOpen) {
  const std::wstring f = MakeRoster(L"b.km6", alltest::TwoWeekSpec());
  const std::wstring backup = Path(L"b.km6.km6 Back");
  RunProgram([&](HWND task) {
    OpenThrough(task, f);
    EXPECT_TRUE(IsOpen());
    EXPECT_TRUE(Exists(backup));
    EXPECT_EQ(Caption(task), L"Kalmora6 : [" + f + L"]");
    EXPECT_EQ(LastFile(), f);
  });
  // The backup holds the roster.
  auto doctors = [&](const std::wstring& file) {
    V names;
    Run([&] {
      rz::document* doc =
          rz::orvDB::new_file_def(rz::make_file_def(tav::HeapCopy(file.c_str()), false, rz::kBackupNone));
      all::kalmora_DB::init(doc);
      names = alltest::Names(all::staff_db::list_staff());
      all::kalmora_DB::uninit();
      doc->orv_close(rz::MakeList<const wchar_t*>({}), false);
    });
    return names;
  };
  EXPECT_EQ(doctors(backup), doctors(f));
  EXPECT_FALSE(doctors(f).empty());
  // The backup's name taken by a folder: the open goes on without a box.
  DeleteFileW(backup.c_str());
  ASSERT_TRUE(CreateDirectoryW(backup.c_str(), nullptr));
  std::vector<Seen> seen;
  RunProgram([&](HWND task) {
    Script s({ChooseFile(L"Select file", f), PressIn(nullptr, IDOK)}, 50, 3000);
    Command(task, IDM_FILE_OPEN);
    s.Finish();
    seen = s.Boxes();
    EXPECT_TRUE(IsOpen());
    EXPECT_EQ(Caption(task), L"Kalmora6 : [" + f + L"]");
    Run([] { all::kalmora_DB::uninit(); });
  });
  RemoveDirectoryW(backup.c_str());
  ASSERT_EQ(seen.size(), 1u) << "only the file dialog; the last: " << testing::PrintToString(seen.back().title)
                             << " " << testing::PrintToString(seen.back().text);
}

TEST_F(DocCommands, ASaveTargetHeldByAnotherProgramIsANoteAndExitLaterSaves) {
  const std::wstring f = MakeRoster(L"held.km6", alltest::TwoWeekSpec());
  RunProgram([&](HWND task) {
    OpenThrough(task, f);
    Change();
    const std::vector<uint8_t> before = Bytes(f);
    testchild::Child holder =
        testchild::Start(testchild::Beside(L"km5_lock_holder.exe"), L"km5_lock_holder.exe \"" + f + L"\"");
    ASSERT_TRUE(holder.Started());
    for (int i = 0; i < 200 && holder.text.find("locked") == std::string::npos; ++i) {
      testchild::Poll(holder);
      Sleep(20);
    }
    ASSERT_NE(holder.text.find("locked"), std::string::npos);

    // Save (F2): the note, and the document stays open and changed.
    std::vector<Seen> seen = Answered({PressIn(nullptr, kFirst), PressIn(nullptr, IDOK)},
                                      [&] { Command(task, IDM_FILE_SAVE); });
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].text, L"Save " + f + L" ?");
    EXPECT_EQ(seen[1].text.rfind(L"Not saved ", 0), 0u) << testing::PrintToString(seen[1].text);
    // Exit: the same note, and the program stays.
    seen = Answered({PressIn(nullptr, kFirst), PressIn(nullptr, IDOK)}, [&] { Command(task, IDM_FILE_EXIT); });
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].text.rfind(L"Not saved ", 0), 0u);
    EXPECT_TRUE(IsWindow(task));
    EXPECT_TRUE(IsOpen());
    EXPECT_EQ(Caption(task), L"Kalmora6 : [" + f + L"]");

    TerminateProcess(holder.pi.hProcess, 0);
    testchild::Wait(holder, 10000);
    EXPECT_EQ(Bytes(f), before);
    // Exit again: saved, the window ends.
    seen = Answered({PressIn(nullptr, kFirst)}, [&] { Command(task, IDM_FILE_EXIT); });
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_FALSE(IsWindow(task));
    EXPECT_NE(Bytes(f), before);
  });
}

TEST_F(DocCommands, SaveAsWritesTheCopyKeepsTheCaptionAndACancelDoesNothing) {
  const std::wstring f = MakeRoster(L"s.km6", alltest::TwoWeekSpec());
  const std::wstring copy = Path(L"copy.km6");
  RunProgram([&](HWND task) {
    OpenThrough(task, f);
    Change();
    std::vector<Seen> seen =
        Answered({PressIn(L"Enter new file name", IDCANCEL)}, [&] { Command(task, IDM_FILE_SAVEAS); });
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_FALSE(Exists(copy));
    seen = Answered({ChooseFile(L"Enter new file name", copy)}, [&] { Command(task, IDM_FILE_SAVEAS); });
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_TRUE(Exists(copy));
    EXPECT_EQ(Caption(task), L"Kalmora6 : [" + f + L"]");
    EXPECT_EQ(LastFile(), copy);
    Run([] { all::kalmora_DB::uninit(); });
  });
}

TEST_F(DocCommands, ForgetChangesAndExitLeavesTheFileAndCancelLeavesEverything) {
  const std::wstring f = MakeRoster(L"x.km6", alltest::TwoWeekSpec());
  const std::vector<uint8_t> before = Bytes(f);
  RunProgram([&](HWND task) {
    OpenThrough(task, f);
    Change();
    alltest::ComtreeCalls().clear();
    std::vector<Seen> seen = Answered({PressIn(nullptr, kLast)}, [&] { Command(task, IDM_FILE_FORGET_EXIT); });
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, L"Forget changes - are you sure you want to exit?");
    EXPECT_TRUE(IsWindow(task));
    EXPECT_TRUE(IsOpen());
    EXPECT_EQ(Calls(), V{});
    seen = Answered({PressIn(nullptr, kFirst)}, [&] { Command(task, IDM_FILE_FORGET_EXIT); });
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_FALSE(IsWindow(task));
    ASSERT_FALSE(Calls().empty());
    EXPECT_EQ(Calls().front(), L"retract_engine") << "a running engine is stopped first";
    for (const std::wstring& c : Calls()) EXPECT_NE(c, L"delete_cal 1") << "nothing is closed";
    Run([] { all::kalmora_DB::uninit(); });
  });
  EXPECT_EQ(Bytes(f), before);
}

TEST_F(DocCommands, OptionsWithoutADocumentIsANote) {
  RunProgram([&](HWND task) {
    std::vector<Seen> seen = Answered({PressIn(nullptr, IDOK)}, [&] { Command(task, IDM_OPTIONS); });
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].title, L"Note");
    EXPECT_EQ(seen[0].text, L"Cannot look at options until a file is open");
  });
}

}  // namespace
}  // namespace programtest
