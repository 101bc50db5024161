// The kwi class: GUI error descriptors and the raiser, a real failing layer
// call, the "Program Error" dialog, and the wrappers and helpers that add
// something to the layer's calls.
#include <algorithm>
#include <climits>

#include "exception/exceptionDump.h"
#include "kwi/kwi.h"
#include "string/string_stream.h"
#include "toolkit_test.h"

using namespace tktest;
using namespace tav;
using namespace QEL_KWI;
namespace kd = tav::kwidomains;

namespace {

using Toolkit = Library;

const TraceEntry* Newest() {
  std::vector<const TraceEntry*> all = Entries();
  return all.empty() ? nullptr : all.front();
}

TEST_F(Toolkit, ErrorCodesBecomeKwiExceptionsWithTheirCodeAndText) {
  struct Case {
    int32_t code;
    const wchar_t* name;
    const wchar_t* description;
  };
  const Case cases[] = {
      {6000, L"kwi_winbadhandle", L"Bad window handle"},
      {6009, L"kwi_kwinotinit", L"KWI is not initialized"},
      {6316, L"kwi_win_ctlhndl", L"Unable to obtain a window handle of the selected control"},
      {6631, L"kwi_ddeinitfail", L"dde_Init fails to register the application as using DDE services"},
      {6012, L"notyethandledkwierror", L"Not yet handled KWI run-time error is occurred"},
      {6999, L"notyethandledkwierror", L"Not yet handled KWI run-time error is occurred"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    exception::clearall();
    const uint32_t id = RunTrapped([&] { kwi::_kwiexceptionraiser(c.code, L"more text"); });
    ASSERT_GE(id, kFirstTraceId);
    const TraceEntry* e = Newest();
    ASSERT_TRUE(e);
    EXPECT_EQ(e->traceId, id);
    EXPECT_STREQ(e->classInfo->name, L"com/corvane/kwi/kwi");
    EXPECT_STREQ(e->exception->name, c.name);
    EXPECT_STREQ(e->exception->description, c.description);
    EXPECT_EQ(Names(e), (std::vector<std::wstring>{L"ExtraInfo", L"error code"}));
    EXPECT_EQ(Extra(e, L"ExtraInfo"), L"more text");
    EXPECT_EQ(Unsigned(exception::trygetextrainfo(e, L"error code")), static_cast<uint32_t>(c.code));
  }
}

TEST_F(Toolkit, TheTableHoldsEachCodeOnceWithinTheLayersRanges) {
  std::vector<uint32_t> codes;
  for (uint32_t i = 0; i < kwi::TableSize(); ++i) {
    uint32_t code = 0;
    const ExceptionDescriptor* d = kwi::TableEntry(i, &code);
    EXPECT_EQ(kwi::exceptionfromerrorcode(code), d) << code;
    EXPECT_TRUE(code >= 6000 && code <= 6631) << code;
    codes.push_back(code);
  }
  std::sort(codes.begin(), codes.end());
  EXPECT_EQ(std::adjacent_find(codes.begin(), codes.end()), codes.end());
  EXPECT_EQ(codes.size(), 95u);
}

TEST_F(Toolkit, ANegativeCodeIsTheRuntimesRangeError) {
  const uint32_t id = RunTrapped([] { kwi::_kwiexceptionraiser(-5, L"x"); });
  const TraceEntry* e = Newest();
  ASSERT_TRUE(e);
  EXPECT_EQ(e->traceId, id);
  EXPECT_STREQ(e->exception->name, L"norangenumber");
}

TEST_F(Toolkit, AFailingLayerCallRaisesAtThePositionSavedBeforeIt) {
  uint32_t id = 0;
  int line = 0;
  RunInTask([&](LONG_PTR task) {
    id = RunTrapped([&] {
      line = __LINE__; TAV_AT();  // NOLINT: the position is this line
      win_GetCtlHandle(task, 4242);
    });
  });
  ASSERT_GE(id, kFirstTraceId);
  const TraceEntry* e = Newest();
  ASSERT_TRUE(e);
  EXPECT_STREQ(e->exception->name, L"kwi_win_ctlhndl");
  EXPECT_EQ(Unsigned(exception::trygetextrainfo(e, L"error code")), 6316u);
  EXPECT_EQ(static_cast<int>(e->cursor->line), line);
  EXPECT_NE(std::wstring(e->cursor->fileName).find(L"test_kwi.cpp"), std::wstring::npos);
}

// A handler that raises while its window paints ends in "Program Error",
// whose text is that trace's dump; the copy button puts it on the clipboard.
TEST_F(Toolkit, AnErrorInAPaintHandlerShowsItsDumpAndCopiesIt) {
  std::wstring expected, shown, clip;
  bool tracesLeft = true, closed = false;
  std::vector<testbox::Seen> boxes;
  RunInTask([&](LONG_PTR task) {
    static std::wstring* dumpBefore;
    dumpBefore = &expected;
    // Takes the dump the dialog will show, then shows the dialog.
    static PROLOG_ERRHANDLER_STRUCT handler{
        reinterpret_cast<void*>(+[](LONG_PTR parent, LONG_PTR traceId) {
          outputStream_string* out = outputStream_string::New();
          exceptionDump::dump(out, static_cast<uint32_t>(traceId));
          *dumpBefore = Masked(out->getstring());
          kwi::_dumperrorhandler(parent, traceId);
        }),
        nullptr};
    kwi_SetErrorHandler(&handler);
    Closure painter([](HWND, event_struct* e) -> LONG_PTR {
      if (e->kind == e_update) {
        TAV_AT();
        exception::raise(&kwi::classInfo, &kwi::notyethandledkwierror);
      }
      Fail();
    });
    Script script({{L"Program Error", [&](HWND d) {
                      shown = Masked(Lf(CtlText(d, 10)));
                      Click(d, 1);
                    }}});
    LONG_PTR child = win_Create(wt_child, kd::Rect(0, 0, 100, 100), L"", kd::NoMenu(), task,
                                kd::Ints({}), &painter, 0);
    win_Invalidate_0(child);
    PumpUntil([&] { return !script.Boxes().empty() && !testbox::FindBox(L"Program Error"); }, 8000);
    script.Finish();
    boxes = script.Boxes();
    tracesLeft = !Entries().empty();
    closed = !testbox::FindBox(L"Program Error");
    clip = Masked(ClipboardText());
    kwi_SetErrorHandler(RecordingErrorHandler());
    win_Destroy(child);
  });
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(expected.find(L"notyethandledkwierror"), std::wstring::npos) << Narrow(expected);
  EXPECT_EQ(shown, expected);
  EXPECT_EQ(clip, expected);
  EXPECT_FALSE(tracesLeft);
  EXPECT_TRUE(closed);
}

TEST_F(Toolkit, CentringMayStartBeforeTheClientAreaAndRaisesOnOverflow) {
  rect_struct centred{};
  uint32_t overflow = 0;
  std::wstring overflowName;
  RunInTask([&](LONG_PTR task) {
    LONG_PTR child = win_Create(wt_child, kd::Rect(0, 0, 200, 100), L"", kd::NoMenu(), task,
                                kd::Ints({}), NoEventHandler(), 0);
    centred = *kwi::rctcenter(child, kd::Rect(0, 0, 400, 300));
    overflow = RunTrapped([&] { kwi::rctcenter(child, kd::Rect(INT_MIN, 0, INT_MAX, 10)); });
    if (const TraceEntry* e = Newest()) overflowName = e->exception->name;
    win_Destroy(child);
  });
  EXPECT_EQ(centred.left, -100);
  EXPECT_EQ(centred.top, -100);
  EXPECT_EQ(centred.right, 300);
  EXPECT_EQ(centred.bottom, 200);
  EXPECT_NE(overflow, 0u);
  EXPECT_EQ(overflowName, L"systemexception");
}

TEST_F(Toolkit, TheCustomControlClassIsRegisteredOnce) {
  int created = 0;
  uint32_t code = 1;
  std::wstring className;
  RunInTask([&](LONG_PTR task) {
    code = RunTrapped([&] {
      for (int id : {501, 502}) {
        LONG_PTR c = kwi::createcustomcontrol(task, kd::Rect(0, 0, 20, 20), L"c", kd::Ints({}), id,
                                              NoEventHandler());
        created += IsWindow(reinterpret_cast<HWND>(c)) ? 1 : 0;
        wchar_t cls[32] = {};
        GetClassNameW(reinterpret_cast<HWND>(c), cls, 32);
        className = cls;
      }
    });
  });
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(created, 2);
  EXPECT_EQ(className, L"ZEVCustomCtrl");
  EXPECT_TRUE(kwi::iscustomcontrolclassnameregistered());
}

TEST_F(Toolkit, RadioGetFindsTheFirstCheckedAndFailsForNone) {
  bool empty = true, none = true, found = false;
  int32_t id = 0;
  RunInTask([&](LONG_PTR task) {
    Closure handler([](HWND, event_struct*) -> LONG_PTR { Fail(); });
    LONG_PTR d = win_CreateDynDialog(
        task,
        kd::Windefs({kd::DlgFont(wt_modeless, kd::Rect(0, 0, 100, 60), L"Radios", 2, L"Arial", 8, kd::Ints({})),
                     kd::Ctl(wt_checkbox, kd::Rect(5, 5, 60, 15), L"a", 11, kd::Ints({})),
                     kd::Ctl(wt_checkbox, kd::Rect(5, 20, 60, 30), L"b", 12, kd::Ints({})),
                     kd::Ctl(wt_checkbox, kd::Rect(5, 35, 60, 45), L"c", 13, kd::Ints({}))}),
        &handler, 0);
    int32_t ignored = 0;
    empty = kwi::winctlradioget(d, kd::Ints({}), &ignored);
    none = kwi::winctlradioget(d, kd::Ints({11, 12, 13}), &ignored);
    win_Check(win_GetCtlHandle(d, 13), 1);
    win_Check(win_GetCtlHandle(d, 12), 1);
    found = kwi::winctlradioget(d, kd::Ints({11, 13, 12}), &id);
    win_Destroy(d);
  });
  EXPECT_FALSE(empty);
  EXPECT_FALSE(none);
  EXPECT_TRUE(found);
  EXPECT_EQ(id, 13);
}

TEST_F(Toolkit, FontsByNameGrowWithTheirSize) {
  int w8 = 0, h8 = 0, w16 = 0, h16 = 0;
  RunInTask([&](LONG_PTR task) {
    LONG_PTR child = win_Create(wt_child, kd::Rect(0, 0, 100, 100), L"", kd::NoMenu(), task,
                                kd::Ints({}), NoEventHandler(), 0);
    win_SetFont(child, kwi::fontcreatebyname(L"Arial", 8));
    win_GetTextExtent(child, L"Measured text", -1, &w8, &h8);
    win_SetFont(child, kwi::fontcreatebyname(L"Arial", 16));
    win_GetTextExtent(child, L"Measured text", -1, &w16, &h16);
    win_Destroy(child);
  });
  EXPECT_GT(w8, 0);
  EXPECT_GT(w16, w8 * 3 / 2);
  EXPECT_GT(h16, h8 * 3 / 2);
}

TEST_F(Toolkit, WrappersAddTheirFixedParts) {
  EXPECT_EQ(kwi::wingetattrval(0, 602), 0);
  EXPECT_EQ(kwi::wingetattrval(0x123456789LL, 602), 0x123456789LL);
  int32_t r = 0, g = 0, b = 0;
  kwi::decomposergb(0x00336699, &r, &g, &b);
  EXPECT_EQ(r, 0x99);
  EXPECT_EQ(g, 0x66);
  EXPECT_EQ(b, 0x33);
  BitmapIdTerm other{7, 0};
  EXPECT_EQ(kwi::pictload(&other, 0, 0, 0), nullptr);
  BitmapIdTerm same{3, 0x1234};
  EXPECT_EQ(kwi::pictload(&same, 0, 0, 0), reinterpret_cast<picture>(0x1234));
  // A missing bitmap resource is the layer's 6100 (or 6054), raised as a kwi exception.
  uint32_t code = 0;
  RunInTask([&](LONG_PTR) {
    BitmapIdTerm missing{1, 31999};
    RunTrapped([&] { kwi::pictload(&missing, 0, 0, 0); });
    if (const TraceEntry* e = Newest()) code = Unsigned(exception::trygetextrainfo(e, L"error code"));
  });
  EXPECT_TRUE(code == 6100 || code == 6054) << code;
}

TEST_F(Toolkit, RestoredRectangleRoundTrips) {
  RECT placed{};
  rect_struct read{};
  RunInTask([&](LONG_PTR task) {
    kwi::dialogwinsetrestoredrect(task, kd::Rect(30, 40, 530, 440));
    read = *kwi::dialogwingetrestoredrect(task);
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    GetWindowPlacement(reinterpret_cast<HWND>(task), &wp);
    placed = wp.rcNormalPosition;
  });
  EXPECT_EQ(placed.left, 30);
  EXPECT_EQ(placed.bottom, 440);
  EXPECT_EQ(read.left, 30);
  EXPECT_EQ(read.top, 40);
  EXPECT_EQ(read.right, 530);
  EXPECT_EQ(read.bottom, 440);
}

}  // namespace
