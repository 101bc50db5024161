// Setting an editor's scheme on a real window carrying a record: the range
// check, the rebuilt keywords, and no keywords for a wrapping editor.
#include <gtest/gtest.h>

#include "colourtest.h"
#include "dictionary.h"
#include "gui.h"
#include "lexer.h"
#include "qel6edit.h"
#include "records.h"

using namespace QEL_EDIT;
using namespace QEL_EDIT::detail;
using namespace kwitest;
using colourtest::RunsText;
namespace K = Qel::RunTime::Kernel;

namespace {

TEST(Coloring, SetColoringRebuildsTheKeywords) {
  TaskOptions o;
  o.menu = 0;
  RunInTask([&](HWND task) {
    Terms t;
    EditorRecord* ed = edittest::NewTestRecord(L"class x /*\ny */");
    ASSERT_TRUE(ed);
    EXPECT_EQ(ed->colorScheme, 4);
    Closure handler([&](HWND, event_struct*) -> LONG_PTR { Fail(); });
    rect_struct r{0, 0, 300, 200};
    LONG_PTR w = win_Create(wt_child, &r, L"", t.NoMenu(), reinterpret_cast<LONG_PTR>(task), t.Flags({}),
                            &handler, reinterpret_cast<LONG_PTR>(ed));
    ed->window = w;
    auto* runs = static_cast<ColourRun*>(ed->colorBuffer);
    uint32_t state = 0;
    ColourLine(ed, L"class Foo", runs, &state, true);
    EXPECT_EQ(RunsText(runs), "5:1 1:15 3:1");
    EXPECT_EQ(K::RunTrapped([&] { edit_SetColoring(w, 5); }), 6912u);
    EXPECT_EQ(K::RunTrapped([&] { edit_SetColoring(w, -1); }), 6912u);
    EXPECT_EQ(ed->colorScheme, 4);
    EXPECT_EQ(K::RunTrapped([&] { edit_SetColoring(w, 0); }), 0u);
    EXPECT_EQ(ed->colorScheme, 0);
    EXPECT_EQ(ed->store.GetLineState(ed->store.FindLine(1)), 1u | kCommentOpens);
    ColourLine(ed, L"class Foo", runs, &state, true);
    EXPECT_EQ(RunsText(runs), "5:10 1:15 3:2");
    // A wrapping editor keeps no dictionary.
    ed->wrappable = 1;
    EXPECT_EQ(K::RunTrapped([&] { edit_SetColoring(w, 1); }), 0u);
    EXPECT_EQ(ed->keywordTable, nullptr);
    ColourLine(ed, L"class Foo", runs, &state, true);
    EXPECT_EQ(RunsText(runs), "5:1 1:15 3:1");
    EXPECT_EQ(K::RunTrapped([&] { edit_SetColoring(reinterpret_cast<LONG_PTR>(task), 0); }), 6900u);
    DestroyWindow(reinterpret_cast<HWND>(w));
    DeleteRecord(ed);
  }, o);
}

}  // namespace
