// The message seam's defaults on real windows (Xvfb): the toolkit's note
// and error boxes, the message window, the save question and the file
// dialog of the document object, and close_app ending the message loop.
#include <string>
#include <vector>

#include "KWI/kwi_orvdb/kwiorvdb.h"
#include "SYSTEM/myKWI/myKWI.h"
#include "doc_test.h"
#include "kwi/kwimessage/kwimessage.h"
#include "qel6edit.h"
#include "testlib.h"
#include "toolkit_test.h"

namespace rztest {
namespace {

using namespace kwitest;
constexpr WPARAM kCloseNow = 0x525A;

class Gui : public Rz {};

TEST_F(Gui, CloseAppEndsTheMessageLoop) {
  Terms t;
  bool called = false, destroyed = false, afterClose = false;
  Closure handler([&](HWND w, event_struct* e) -> LONG_PTR {
    if (e->kind == e_create) {
      PostMessageW(w, 0xC00F, kCloseNow, 0);
      return 0;
    }
    if (e->kind == e_user && e->w[0] == static_cast<LONG_PTR>(kCloseNow)) {
      called = true;
      myKWI::close_app();
      afterClose = !IsWindow(w);
      return 0;
    }
    if (e->kind == e_destroy) {
      destroyed = true;
      return 0;
    }
    Fail();
  });
  // Returns only when the loop has ended.
  kwi_Init(t.Flags({9, 4, 5, 6, 2}), &handler, t.NoMenu(), nullptr, L"close_app");
  EXPECT_TRUE(called);
  EXPECT_TRUE(destroyed);
  EXPECT_TRUE(afterClose);
}

// The message window's text, line breaks as "\n".
std::wstring MessageText(LONG_PTR w) {
  std::wstring text, raw = reinterpret_cast<const wchar_t*>(QEL_EDIT::edit_GetText_0(w));
  for (wchar_t c : raw)
    if (c != L'\r') text += c;
  return text;
}

TEST_F(Gui, BoxesAndMessageLines) {
  std::vector<testbox::Seen> boxes;
  std::wstring text;
  tktest::RunInTask([&](LONG_PTR) {
    testbox::Script s({{L"Note", [](HWND d) { testbox::Press(d, IDOK); }},
                       {L"Error", [](HWND d) { testbox::Press(d, IDOK); }}});
    myKWI::note(L"");
    myKWI::error(L"kee insert error 94");
    s.Finish();
    boxes = s.Boxes();
    const LONG_PTR w = tav::kwiMessage::create(100);
    myKWI::message_write({L"\n OPEN ", L"x"});
    text = MessageText(w);
  });
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].title, L"Note");
  EXPECT_EQ(boxes[0].text, L"");
  EXPECT_EQ(boxes[1].title, L"Error");
  EXPECT_EQ(boxes[1].text, L"kee insert error 94");
  EXPECT_EQ(text, L"\n OPEN x");
}

class GuiDocument : public Documents {};

// The save question answered by each button and by the close box, then the
// "Save file as" dialog with a typed name and cancelled.
TEST_F(GuiDocument, SaveQuestionAndFileDialog) {
  delete recorder_;  // the toolkit's own dialogs
  recorder_ = nullptr;
  const std::wstring file = Path(L"gui.km6"), typed = Path(L"typed.km6");
  MakeDocument(file, {L"ann"});
  struct Case {
    std::function<void(HWND)> act;
    const wchar_t* want;
  };
  // The layer's buttons report with their own window.
  const auto Click = [](int id) { return [id](HWND d) { tktest::Click(d, id); }; };
  const Case cases[] = {{Click(10001), L"forget"},
                        {Click(2), L"cancelled"},
                        {[](HWND d) { testbox::CloseBox(d); }, L"cancelled"},
                        {Click(1), L"saved"}};
  std::vector<std::wstring> results, questions;
  std::wstring cancelled, chosen, name;
  tktest::RunInTask([&](LONG_PTR) {
    kwiORVDB* d = kwiORVDB::new_file_def_kwi(make_file_def(file.c_str(), false, kBackupNone));
    AddName(d->orv_get_chaindb(), L"bob");
    for (const Case& c : cases) {
      d->set_as_modified(true);
      testbox::Script s({{nullptr, c.act}});
      const saved_result* r = d->orv_save(MakeList<const wchar_t*>({L"Roster", L"*.km6"}));
      s.Finish();
      for (const testbox::Seen& seen : s.Boxes()) questions.push_back(seen.text);
      results.push_back(r->Kind() == Saved::saved ? L"saved" : r->Kind() == Saved::not_saved_forget ? L"forget"
                                                                                                     : L"cancelled");
    }
    d->set_as_modified(true);
    {
      testbox::Script s({{L"Save file as", [](HWND b) { testbox::Press(b, IDCANCEL); }}});
      cancelled = d->orv_save_as(MakeList<const wchar_t*>({L"Roster", L"*.km6"}))->Kind() == Saved::not_saved_cancelled
                      ? L"cancelled" : L"?";
    }
    {
      testbox::Script s({{L"Save file as", [&](HWND b) {
                            SetDlgItemTextW(b, 0x47C, typed.c_str());
                            testbox::Press(b, IDOK);
                          }}});
      const saved_result* r = d->orv_save_as(MakeList<const wchar_t*>({L"Roster", L"*.km6"}));
      chosen = r->Kind() == Saved::saved ? r->text : L"?";
    }
    name = d->get_file_name()->Name();
    d->orv_close(MakeList<const wchar_t*>({L"Roster", L"*.km6"}), false);
  });
  EXPECT_EQ(results, (std::vector<std::wstring>{L"forget", L"cancelled", L"cancelled", L"saved"}));
  EXPECT_EQ(questions, std::vector<std::wstring>(4, L"Save " + file + L" ?"));
  EXPECT_EQ(cancelled, L"cancelled");
  EXPECT_EQ(chosen, typed);
  EXPECT_EQ(name, typed);
  EXPECT_EQ(Checked(typed), "exit 0\nchain names\n  ann\n  bob\ntree bt_names\n  ann\n  bob\n");
}

}  // namespace
}  // namespace rztest
