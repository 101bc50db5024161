// The column header model without a window: boundaries from widths and
// their repair, spans, the right-edge rule, hit tests, reordering, edge
// moves, targets and the saved layout.
#include "KWI/orvtoolkwi/column.h"
#include "SYSTEM/options/options_db.h"
#include "dialog_recorder.h"
#include "list_test.h"
#include "options_child.h"
#include "rz_test.h"

#include <cstdio>
#include <string>
#include <vector>

namespace rztest {
namespace {

using Ints = std::vector<uint32_t>;

class Columns : public Trapping {
 protected:
  static const List<uint32_t>* U(const Ints& v) { return L(v); }
  static Ints Vec(const List<uint32_t>* l) { return All(l); }
  static Ints Bounds(column* c) { return Vec(c->get_boundaries(WNull())); }
  static Ints Screen(column* c) { return Vec(c->get_boundaries(rizediveva6::Screen(0))); }
  // A header with the band (21, 40) and columns a, b, c.
  static column* Abc(const wchar_t* name = L"rz-col-abc") {
    column* c = column::new_column(WNull(), name);
    c->set_title_tb(TitleTb(21, 40));
    c->add_cols(AsSList(MakeStringList({L"a", L"b", L"c"})));
    return c;
  }
  static std::vector<std::wstring> Order(column* c) {
    std::vector<std::wstring> names;
    c->nd_cols([&](col_at at) {
      names.push_back(at.info.name);
      Qel::RunTime::Kernel::Fail();
    });
    return names;
  }
  DialogRecorder dialogs_;
};

TEST_F(Columns, BoundariesFromWidthsAndTheirRepairAtDrawing) {
  struct Case {
    const char* what;
    Ints widths;
    Ints made;
    uint32_t columns;
    Ints drawn;
  };
  const std::vector<Case> cases{
      {"four widths, three columns", {40, 10, 120, 90}, {41, 51, 171, 261, 261}, 3, {41, 61, 171, 261}},
      {"no widths", {}, {1}, 2, {1, 101, 201}},
      {"nine widths", {0, 30, 60, 90, 120, 150, 180, 210, 240},
       {1, 31, 91, 181, 301, 451, 631, 841, 1081, 1081}, 8, {1, 31, 91, 181, 301, 451, 631, 841, 1081}},
      {"cascade of narrow columns", {0, 100, 5, 10, 200}, {1, 101, 106, 116, 316, 316}, 4, {1, 101, 121, 141, 316}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    Run([&] {
      EXPECT_EQ(Vec(column::make_xs(U(k.widths))), k.made);
      column* c = column::new_column(WNull(), L"rz-col-widths");
      for (uint32_t i = 0; i < k.columns; ++i) c->add_col(L"x");
      c->set_col_widths(true, U(k.widths));
      EXPECT_EQ(Screen(c), k.made);
      c->col_draw_titles(WNull());
      EXPECT_EQ(Screen(c), k.drawn);
    });
  }
  Run([&] {
    column* c = Abc();
    EXPECT_EQ(Screen(c), (Ints{0, 200}));
    c->col_draw_titles(WNull());
    EXPECT_EQ(Screen(c), (Ints{0, 200, 300, 400}));
  });
}

TEST_F(Columns, SpansBeyondTheBoundariesAndTargets) {
  Run([&] {
    column* c = Abc();
    c->set_col_widths(true, U({}));  // one boundary, [1]
    std::vector<rect_struct> rects;
    c->nd_cols([&](col_at at) {
      rects.push_back(at.info.titleRect);
      Qel::RunTime::Kernel::Fail();
    });
    ASSERT_EQ(rects.size(), 3u);
    for (const rect_struct& r : rects) EXPECT_TRUE(r.left == 1 && r.right == 101 && r.top == 21 && r.bottom == 40);
    c->set_col_widths(true, U({40, 10, 120}));
    col_info second;
    ASSERT_TRUE(c->nth_col(2, &second));
    EXPECT_EQ(second.titleRect.left, 51);
    EXPECT_EQ(second.titleRect.right, 171);
    EXPECT_FALSE(c->nth_col(4, &second));
    EXPECT_EQ(Vec(c->get_boundaries(Prnt(0))), (Ints{123, 153, 513, 513}));
    EXPECT_EQ(Bounds(c), (Ints{123, 153, 513, 513}));
    const title_tb p = c->get_good_title_tb(Prnt(0));
    EXPECT_TRUE(p.alt == title_tb::band && p.top == 63 && p.bottom == 120);
    EXPECT_EQ(c->get_good_title_tb(rizediveva6::Screen(0)).bottom, 40u);
    const title_tb none = c->get_good_title_tb(WNull());
    EXPECT_TRUE(none.alt == title_tb::band && none.top == 0 && none.bottom == 0);
    c->set_title_tb(TNull());
    EXPECT_EQ(c->get_good_title_tb(Prnt(0)).bottom, 0u);
  });
}

TEST_F(Columns, RightEdgeRuleAndItsRangeError) {
  Run([&] {
    column* c = Abc();
    c->set_col_widths(true, U({40, 20, 110, 90}));  // [41, 61, 171, 261, 261]
    c->set_right(false, 150);
    EXPECT_EQ(Screen(c), (Ints{41, 61, 150, 150, 150}));
    c->set_right(false, 500);
    EXPECT_EQ(Screen(c), (Ints{41, 61, 150, 150, 500}));
    const int64_t bar = QEL_KWI::kwi_GetAttrVal(204);
    c->set_right(true, 300);
    EXPECT_EQ(Screen(c).back(), uint32_t(300 - bar));
    c->set_left(5);
    EXPECT_EQ(Screen(c)[0], 5u);
    EXPECT_EQ(c->get_left(), 5u);
    EXPECT_EQ(c->get_far_right(), uint32_t(300 - bar));
  });
  column* c = nullptr;
  Run([&] { c = Abc(); });
  EXPECT_TRUE(IsRangeError(RunTrapped([&] { c->set_right(true, 0); })));
  EXPECT_TRUE(IsRangeError(RunTrapped([&] { c->set_right(false, -1); })));
  Run([&] { EXPECT_EQ(Screen(c), (Ints{0, 200})); });
}

TEST_F(Columns, HitTests) {
  Run([&] {
    column* c = Abc();
    c->set_col_widths(true, U({40, 20, 110, 90}));
    c->col_draw_titles(WNull());  // [41, 61, 171, 261]
    struct Probe {
      int32_t x;
      bool found;
      uint32_t position;
    };
    for (const Probe& p : std::vector<Probe>{{0, true, 0}, {40, true, 0}, {41, true, 1}, {60, true, 1},
                                             {61, true, 2}, {260, true, 3}, {261, false, 0}, {900, false, 0}}) {
      uint32_t position = 99;
      EXPECT_EQ(c->pnt_col(pnt_struct{p.x, 500}, &position), p.found) << p.x;
      if (p.found) {
        EXPECT_EQ(position, p.position) << p.x;
      }
    }
    col_at at;
    ASSERT_TRUE(c->pnt_col(true, pnt_struct{61, 21}, &at));  // a shared edge: the first column
    EXPECT_EQ(at.position, 1u);
    EXPECT_FALSE(c->pnt_col(true, pnt_struct{100, 41}, &at));
    ASSERT_TRUE(c->pnt_col(false, pnt_struct{100, 1021}, &at));
    EXPECT_EQ(at.position, 2u);
    EXPECT_FALSE(c->pnt_col(false, pnt_struct{100, 1022}, &at));

    // The 11 x 11 corner of the second title (61, 21, 171, 40).
    col_info info;
    for (const pnt_struct& in : {pnt_struct{161, 30}, pnt_struct{170, 39}, pnt_struct{165, 35}})
      EXPECT_TRUE(c->pnt_command(in, &info) && info.ref == 2) << in.x << "," << in.y;
    for (const pnt_struct& out : {pnt_struct{160, 35}, pnt_struct{165, 29}, pnt_struct{100, 35}})
      EXPECT_FALSE(c->pnt_command(out, &info)) << out.x << "," << out.y;

    uint32_t edge = 0;
    EXPECT_TRUE(c->mouse_on_col(pnt_struct{67, 30}, &edge));
    EXPECT_EQ(edge, 2u);
    EXPECT_TRUE(c->mouse_on_col(pnt_struct{55, 21}, &edge));
    EXPECT_EQ(edge, 2u);
    EXPECT_FALSE(c->mouse_on_col(pnt_struct{68, 30}, &edge));
    EXPECT_FALSE(c->mouse_on_col(pnt_struct{54, 30}, &edge));
    EXPECT_FALSE(c->mouse_on_col(pnt_struct{61, 41}, &edge));
    c->set_title_tb(TNull());
    EXPECT_FALSE(c->mouse_on_col(pnt_struct{61, 0}, &edge));
  });
}

TEST_F(Columns, ReorderRemoveTitlesAndColours) {
  Run([&] {
    column* c = Abc();
    c->col_draw_titles(WNull());  // [0, 200, 300, 400]
    const drag_obj_dom move{drag_obj_dom::move, {}, {}};
    c->reorder_cols(move, 1, pnt_struct{350, 30});  // a dropped on c
    EXPECT_EQ(Order(c), (std::vector<std::wstring>{L"b", L"a", L"c"}));
    c->reorder_cols(move, 1, pnt_struct{250, 30});  // on its own title
    c->reorder_cols(move, 1, pnt_struct{250, 90});  // on no title
    EXPECT_EQ(Order(c), (std::vector<std::wstring>{L"b", L"a", L"c"}));
    c->prevent_col_reorder(true);
    c->reorder_cols(move, 3, pnt_struct{10, 30});
    EXPECT_EQ(Order(c), (std::vector<std::wstring>{L"b", L"a", L"c"}));
    c->prevent_col_reorder(false);
    c->reorder_cols(move, 3, pnt_struct{10, 30});
    EXPECT_EQ(Order(c), (std::vector<std::wstring>{L"c", L"b", L"a"}));

    EXPECT_TRUE(c->remove_col(L"b"));
    EXPECT_FALSE(c->remove_col(L"zz"));
    EXPECT_EQ(Order(c), (std::vector<std::wstring>{L"c", L"a"}));
    EXPECT_EQ(c->add_col(L"d"), 4u);  // references are not reused

    EXPECT_EQ(std::wstring(c->get_title(1)), L"unknown");
    c->set_title(1, L"A1");
    c->set_title(1, L"A2");
    EXPECT_EQ(std::wstring(c->get_title(1)), L"A2");
    EXPECT_TRUE(c->set_title_color(L"a", 0xFF));
    EXPECT_FALSE(c->set_title_color(L"nope", 0xFF));
    col_info a;
    ASSERT_TRUE(c->nth_col(2, &a));
    EXPECT_EQ(a.ref, 1u);
    EXPECT_EQ(a.titleColour, 0xFF);
    c->remove_all_cols();
    EXPECT_EQ(Order(c), std::vector<std::wstring>{});
  });
  EXPECT_TRUE(dialogs_.shown().empty());
}

TEST_F(Columns, EdgeMoves) {
  Run([&] {
    column* c = Abc();
    c->set_col_widths(true, U({40, 100, 100, 100}));
    c->col_draw_titles(WNull());  // [41, 141, 241, 341]
    // The right edge of column 1 drawn left of its left edge + 20.
    c->reorder_cols(drag_obj_dom{drag_obj_dom::right, {}, {}}, 1, pnt_struct{45, 30});
    EXPECT_EQ(Screen(c), (Ints{41, 45, 145, 245}));
    c->col_draw_titles(WNull());
    EXPECT_EQ(Screen(c), (Ints{41, 61, 145, 245}));
    // The left edge of column 2 does nothing; of column 1 moves the list's left edge.
    c->reorder_cols(drag_obj_dom{drag_obj_dom::left, {}, {}}, 2, pnt_struct{100, 30});
    EXPECT_EQ(Screen(c), (Ints{41, 61, 145, 245}));
    c->reorder_cols(drag_obj_dom{drag_obj_dom::left, {}, {}}, 1, pnt_struct{50, 30});
    EXPECT_EQ(Screen(c), (Ints{50, 70, 145, 245}));
  });
  column* c = nullptr;
  Run([&] { c = Abc(); });
  EXPECT_TRUE(IsRangeError(RunTrapped(
      [&] { c->reorder_cols(drag_obj_dom{drag_obj_dom::right, {}, {}}, 1, pnt_struct{-5, 30}); })));
  Run([&] { EXPECT_EQ(Screen(c), (Ints{0, 200})); });
}

// The child of the saved-layout tests, run in a folder of its own (the
// options file lies beside the program): "save" writes a layout, "read"
// prints what a new list of that name finds, "widths" what set_col_widths
// gives with the given widths and then with the saved ones, "negative"
// saves a list with a negative value and prints what a new list finds and
// what set_col_widths(false, ..) takes, "again" closes with the saved layout
// and then with a moved edge and prints whether the file was written.
class ColumnChild : public Rz {};
TEST_F(ColumnChild, Run) {
  wchar_t scenario[16] = {};
  if (!GetEnvironmentVariableW(kScenarioVariable, scenario, 16)) GTEST_SKIP() << "parent run";
  ASSERT_EQ(RunTrapped([&] {
    options_db::read_opt();  // as the program does at its start
    const std::wstring what = scenario;
    const wchar_t* name = L"rz-col-fresh";
    auto say = [](column* c) {
      std::string line = "@";
      for (const List<uint32_t>* l = c->get_boundaries(rizediveva6::Screen(0)); !l->Empty(); l = l->tail)
        line += " " + std::to_string(l->head);
      printf("%s\n", line.c_str());
      fflush(stdout);
    };
    if (what == L"negative")
      options_db::various_ilist(name, reinterpret_cast<const IntList*>(MakeList<int32_t>({10, -5, 40})));
    column* c = column::new_column(WNull(), name);
    if (what == L"save") {
      c->add_cols(AsSList(MakeStringList({L"a", L"b", L"c"})));
      c->set_col_widths(true, MakeList<uint32_t>({40, 20, 110, 90}));
      c->col_draw_titles(WNull());
      c->save_col_widths();
    }
    if (what == L"again") {
      // With another list saved after it, an unchanged layout still leaves
      // the file as it is; a moved edge writes it.
      column* other = column::new_column(WNull(), L"rz-col-other");
      other->set_col_widths(true, MakeList<uint32_t>({30, 30}));
      other->save_col_widths();
      auto stamp = [] {
        WIN32_FILE_ATTRIBUTE_DATA d{};
        GetFileAttributesExW(OptionsFileName(), GetFileExInfoStandard, &d);
        return uint64_t(d.ftLastWriteTime.dwHighDateTime) << 32 | d.ftLastWriteTime.dwLowDateTime;
      };
      const uint64_t read = stamp();
      Sleep(50);
      c->save_col_widths();
      printf("@ %s\n", stamp() == read ? "kept" : "written");
      c->add_cols(AsSList(MakeStringList({L"a", L"b", L"c"})));
      c->set_col_widths(true, MakeList<uint32_t>({40, 20, 110, 50}));
      c->col_draw_titles(WNull());
      c->save_col_widths();
      printf("@ %s\n", stamp() == read ? "kept" : "written");
      fflush(stdout);
    }
    say(c);
    if (what == L"widths" || what == L"negative") {
      if (what == L"widths") {
        c->set_col_widths(true, MakeList<uint32_t>({10, 10}));
        say(c);
      }
      c->set_col_widths(false, MakeList<uint32_t>({10, 10}));
      say(c);
    }
  }), 0u);
}

class FreshProcess : public TempFolder {
 protected:
  void SetUp() override {
    TempFolder::SetUp();
    ASSERT_EQ(rizediveva6::InitializeUnit(), 0);
  }
};

TEST_F(FreshProcess, SavedLayout) {
  const ChildRun before = RunChild(folder_, L"read", L"", L"ColumnChild.Run");
  const ChildRun saved = RunChild(folder_, L"save", L"", L"ColumnChild.Run");
  const ChildRun after = RunChild(folder_, L"read", L"", L"ColumnChild.Run");
  const ChildRun widths = RunChild(folder_, L"widths", L"", L"ColumnChild.Run");
  EXPECT_EQ(before.lines, std::vector<std::string>{"0 200"});
  EXPECT_EQ(saved.lines, std::vector<std::string>{"41 61 171 261"});
  EXPECT_EQ(after.lines, std::vector<std::string>{"41 61 171 261"});
  EXPECT_EQ(widths.lines, (std::vector<std::string>{"41 61 171 261", "11 21 21", "41 61 171 261"}));
  // Closing with the saved layout leaves the file alone; a moved edge is
  // saved, and a fresh process finds it.
  const ChildRun again = RunChild(folder_, L"again", L"", L"ColumnChild.Run");
  EXPECT_EQ(again.lines, (std::vector<std::string>{"kept", "written", "41 61 171 221"}));
  EXPECT_EQ(RunChild(folder_, L"read", L"", L"ColumnChild.Run").lines, std::vector<std::string>{"41 61 171 221"});
  // A saved list with a negative value is ignored.
  const ChildRun negative = RunChild(folder_, L"negative", L"", L"ColumnChild.Run");
  EXPECT_EQ(negative.lines, (std::vector<std::string>{"0 200", "11 21 21"}));
}

}  // namespace
}  // namespace rztest
