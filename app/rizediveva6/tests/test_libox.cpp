// The list box's line store, order, selection and colours on lists without
// a window, and the life of its private database.
#include "KWI/orvtoolkwi/libox.h"
#include "dialog_recorder.h"
#include "list_test.h"
#include "rz_test.h"

#include <string>
#include <vector>

namespace rztest {
namespace {

using tav::chainDB;
using tav::place;

using Row = std::vector<std::wstring>;
using Rows = std::vector<Row>;

class Lists : public Trapping {
 protected:
  static const SList* Cells(const Row& r) {
    ListBuilder<const wchar_t*> b;
    for (const std::wstring& s : r) b.Add(tav::HeapCopy(s.c_str()));
    return b.Finish();
  }
  static const List<const SList*>* Lines(const Rows& rows) {
    ListBuilder<const SList*> b;
    for (const Row& r : rows) b.Add(Cells(r));
    return b.Finish();
  }
  static Row Vec(const SList* l) {
    Row r;
    for (; !l->Empty(); l = l->tail) r.push_back(l->head);
    return r;
  }
  static Rows Shown(libox* l) {
    Rows rows;
    for (const List<const SList*>* r = l->lbox_getall(); !r->Empty(); r = r->tail) rows.push_back(Vec(r->head));
    return rows;
  }
  template <class T>
  static std::vector<T> Vec(const List<T>* l) {
    return rztest::All(l);
  }
  template <class T>
  static const List<T>* L(std::initializer_list<T> items) {
    return rztest::L(std::vector<T>(items));
  }
  // A fresh list on no window with these lines.
  libox* Filled(const Rows& rows, const wchar_t* name = L"rz-libox") {
    libox* l = libox::new_(name, WNull());
    made_.push_back(l);
    l->lbox_add(Lines(rows));
    return l;
  }
  void TearDown() override {
    for (libox* l : made_) RunTrapped([&] { l->delete_db(); });
    Rz::TearDown();
  }
  std::vector<libox*> made_;
  DialogRecorder dialogs_;
};

TEST_F(Lists, DisplayOrderBySortColumn) {
  struct Case {
    const char* what;
    Rows lines;
    std::vector<data_prop> props;
    uint32_t column;
    Rows shown;
  };
  const Rows dup{{L"abcdefghijklmnopX", L"1"}, {L"b", L"2"}, {L"abcdefghijklmnopA", L"3"}};
  const std::vector<Case> cases{
      {"adding order without an index", {{L"b", L"1"}, {L"a", L"2"}}, {}, 0, {{L"b", L"1"}, {L"a", L"2"}}},
      {"by the first column", {{L"b", L"1"}, {L"a", L"2"}}, {}, 1, {{L"a", L"2"}, {L"b", L"1"}}},
      {"by the second column", {{L"b", L"2"}, {L"a", L"3"}, {L"c", L"1"}}, {}, 2,
       {{L"c", L"1"}, {L"b", L"2"}, {L"a", L"3"}}},
      {"empty cells after text", {{L"", L"x"}, {L"q", L"y"}, {L"a", L"z"}}, {}, 1,
       {{L"a", L"z"}, {L"q", L"y"}, {L"", L"x"}}},
      {"an empty cell before the sort column", {{L"", L"a"}, {L"k", L"b"}}, {}, 2, {{L"k", L"b"}, {L"", L"a"}}},
      {"16 equal characters keep reference order", dup, {}, 1, {dup[0], dup[2], dup[1]}},
      {"too few cells sort with the empty cells", {{L"only"}, {L"b", L"2"}, {L"a", L""}, {L"c", L"1"}}, {}, 2,
       {{L"c", L"1"}, {L"b", L"2"}, {L"only"}, {L"a", L""}}},
      {"colour box: column 2 is the first cell", {{L"b", L"1"}, {L"a", L"2"}}, {data_prop::has_color_box}, 2,
       {{L"a", L"2"}, {L"b", L"1"}}},
      {"check box: column 2 is the first cell", {{L"b", L"1"}, {L"a", L"2"}},
       {data_prop::selected_has_checkbox}, 2, {{L"a", L"2"}, {L"b", L"1"}}},
      {"check box: column 3 is the second cell", {{L"b", L"1"}, {L"a", L"2"}},
       {data_prop::selected_has_checkbox}, 3, {{L"b", L"1"}, {L"a", L"2"}}},
      {"check box: its own column keeps adding order", {{L"b", L"1"}, {L"a", L"2"}},
       {data_prop::selected_has_checkbox}, 1, {{L"b", L"1"}, {L"a", L"2"}}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    Run([&] {
      libox* l = Filled(k.lines);
      ListBuilder<data_prop> props;
      for (data_prop p : k.props) props.Add(p);
      l->set_data_props(props.Finish());
      if (k.column) {
        l->allow_order(L<uint32_t>({k.column}));
        l->build_index(k.column);
      }
      EXPECT_EQ(Shown(l), k.shown);
      EXPECT_EQ(l->display_order().size(), k.lines.size());
      l->delete_db();
    });
  }
}

// The tree's own comparison decides; this pins what it gives.
TEST_F(Lists, KeysCompareAsTheTreeDoes) {
  Run([&] {
    libox* l = Filled({{L"zz"}, {L"Zoë"}, {L"Ärzte"}, {L"apple"}});
    l->allow_order(L<uint32_t>({1}));
    l->build_index(1);
    EXPECT_EQ(Shown(l), (Rows{{L"apple"}, {L"Ärzte"}, {L"Zoë"}, {L"zz"}}));
  });
}

TEST_F(Lists, IndexAsLastBuiltAndRebuildOnChange) {
  Run([&] {
    libox* l = Filled({{L"b"}, {L"a"}});
    l->build_index(2);  // not allowed: adding order, no index
    EXPECT_EQ(Shown(l), (Rows{{L"b"}, {L"a"}}));
    l->lbox_add(Lines({{L"0"}}));
    EXPECT_EQ(Shown(l).size(), 3u);  // without an index every add shows

    l->allow_order(L<uint32_t>({1}));
    l->build_index(1);
    EXPECT_EQ(Shown(l), (Rows{{L"0"}, {L"a"}, {L"b"}}));
    l->lbox_add(Lines({{L"00"}}));
    EXPECT_EQ(Shown(l), (Rows{{L"0"}, {L"a"}, {L"b"}}));  // the index as last built
    l->build_index();
    EXPECT_EQ(Shown(l), (Rows{{L"0"}, {L"00"}, {L"a"}, {L"b"}}));

    line first;
    ASSERT_TRUE(l->nth_line(1, &first));
    first.cells = Cells({L"zzz"});
    l->replace_line(first);
    l->build_index();
    EXPECT_EQ(Shown(l), (Rows{{L"00"}, {L"a"}, {L"b"}, {L"zzz"}}));

    l->lbox_clear();  // drops the index and the display order, keeps the column
    EXPECT_EQ(Shown(l), Rows{});
    line none;
    EXPECT_FALSE(l->nth_line(1, &none));
    l->lbox_add(Lines({{L"y"}, {L"x"}}));
    l->build_index();
    EXPECT_EQ(Shown(l), (Rows{{L"x"}, {L"y"}}));
  });
}

TEST_F(Lists, LinesAndCells) {
  Run([&] {
    libox* l = Filled({{L"a", L"1"}, {L"b", L"2"}});
    EXPECT_EQ(l->lbox_num_rows(), 10u);
    line second;
    ASSERT_TRUE(l->nth_line(2, &second));
    EXPECT_EQ(second.alt, uint32_t(line::stored));
    EXPECT_EQ(Vec(second.cells), (Row{L"b", L"2"}));
    line none;
    EXPECT_FALSE(l->nth_line(0, &none));
    EXPECT_FALSE(l->nth_line(3, &none));

    // A stored line added again stores nothing; add_lines refills.
    l->add_line(second);
    EXPECT_EQ(Shown(l).size(), 2u);
    l->lbox_add_lines(L<line>({LineNo(Cells({L"n"}), 0xFF, 7), second}));
    EXPECT_EQ(Shown(l), (Rows{{L"n"}}));
    line n;
    ASSERT_TRUE(l->nth_line(1, &n));
    EXPECT_EQ(n.colour, 0xFF);
    EXPECT_EQ(n.second, 7);
    l->lbox_add_slist(L<const wchar_t*>({L"s1", L"s2"}));
    EXPECT_EQ(Shown(l), (Rows{{L"n"}, {L"s1"}, {L"s2"}}));

    // A line without a reference is not replaced.
    l->replace_line(LineNo(Cells({L"q"})));
    EXPECT_EQ(Shown(l), (Rows{{L"n"}, {L"s1"}, {L"s2"}}));

    const wchar_t* text = nullptr;
    const SList* cells = Cells({L"c1", L"c2"});
    EXPECT_TRUE(l->col_str(1, cells, &text) && std::wstring(text) == L"c1");
    EXPECT_FALSE(l->col_str(3, cells, &text));
    l->set_data_props(L<data_prop>({data_prop::selected_has_checkbox}));
    EXPECT_FALSE(l->col_str(1, cells, &text));
    EXPECT_TRUE(l->col_str(2, cells, &text) && std::wstring(text) == L"c1");
    EXPECT_TRUE(l->col_str(3, cells, &text) && std::wstring(text) == L"c2");
    EXPECT_TRUE(l->row_col_str(2, 2, &text) && std::wstring(text) == L"s1");
    l->set_selected(2);
    EXPECT_EQ(Vec(l->modify_line_if_has_checkbox(2, n).cells), (Row{L"X", L"n"}));
    EXPECT_EQ(Vec(l->modify_line_if_has_checkbox(1, n).cells), (Row{L" ", L"n"}));

    EXPECT_EQ(std::wstring(libox::combine_slists(Lines({{L"a", L"b"}, {L"c"}}))), L"a\tb\t\nc\t\n");
    EXPECT_EQ(std::wstring(libox::combine_slists(Lines({}))), L"");
  });
  EXPECT_EQ(dialogs_.shown(), (std::vector<DialogRecorder::Shown>{{L"note", L"Error 866 in libox"}}));
}

// Lines read back follow every write of the store: many lines, one
// replaced, the chain refilled with other lines (references used again),
// cells given on the global stack and released after the add.
TEST_F(Lists, LinesReadBackFollowEveryWrite) {
  Run([&] {
    auto row = [](const wchar_t* tag, int i) { return Row{tag + std::to_wstring(i), std::to_wstring(i * 7)}; };
    Rows rows;
    for (int i = 1; i <= 300; ++i) rows.push_back(row(L"a", i));
    libox* l = Filled({});
    for (const Row& r : rows) {
      uint8_t* mark = Qel::RunTime::Kernel::Memory::MarkGStack();
      ListBuilder<const wchar_t*> cells;
      for (const std::wstring& c : r) {
        wchar_t* on = Qel::RunTime::Kernel::Memory::AllocGStackString(uint32_t(c.size()) + 1);
        wcscpy(on, c.c_str());
        cells.Add(on);
      }
      l->lbox_add(L<const SList*>({cells.Finish()}));
      Qel::RunTime::Kernel::Memory::ReleaseGStack(mark);
    }
    EXPECT_EQ(Shown(l), rows);

    line ln;
    ASSERT_TRUE(l->nth_line(150, &ln));
    ln.cells = Cells({L"changed"});
    ln.colour = 0x123456;
    l->replace_line(ln);
    rows[149] = {L"changed"};
    EXPECT_EQ(Shown(l), rows);
    ASSERT_TRUE(l->nth_line(150, &ln));
    EXPECT_EQ(ln.colour, 0x123456);

    Rows refill;
    ListBuilder<line> lines;
    for (int i = 1; i <= 120; ++i) {
      refill.push_back(row(L"b", i));
      lines.Add(LineNo(Cells(refill.back()), i));
    }
    l->lbox_add_lines(lines.Finish());
    EXPECT_EQ(Shown(l), refill);
    ASSERT_TRUE(l->nth_line(120, &ln));
    EXPECT_EQ(ln.colour, 120);
  });
}

TEST_F(Lists, WidenColumnsGivesEveryColumnTheDefaultWidth) {
  Run([&] {
    libox* l = Filled({});
    l->add_cols(L<const wchar_t*>({L"a", L"b"}));
    l->widen_cols();
    std::vector<uint32_t> b = Vec(l->get_boundaries(rizediveva6::Screen(0)));
    ASSERT_EQ(b.size(), 49u);
    EXPECT_EQ(b[0], 51u);
    EXPECT_EQ(b[47], 2401u);
    l->col_draw_titles(WNull());
    EXPECT_EQ(Vec(l->get_boundaries(rizediveva6::Screen(0))), (std::vector<uint32_t>{51, 101, 151}));
  });
}

TEST_F(Lists, SelectionAndDisabledRows) {
  Run([&] {
    libox* l = Filled({{L"a"}, {L"b"}, {L"c"}, {L"d"}});
    l->set_selected(1);
    selection s = l->lbox_getsel();
    EXPECT_EQ(Vec(s.positions), (std::vector<uint32_t>{0}));
    EXPECT_EQ(Vec(s.cells->head), (Row{L"a"}));

    l->lbox_setsel(4, false);
    EXPECT_TRUE(l->selected_rows().empty());
    l->set_selecteds(L<uint32_t>({4000000000u, 3}));  // a row far past the end is kept, not allocated for
    EXPECT_TRUE(l->is_selected(4000000000u));
    EXPECT_FALSE(l->is_selected(4000000001u));
    EXPECT_EQ(Vec(l->lbox_getsel().positions), (std::vector<uint32_t>{2}));
    l->lbox_setsels(L<bool>({false, true, true}));
    EXPECT_EQ(Vec(l->lbox_getsel().positions), (std::vector<uint32_t>{1, 2}));
    l->set_selecteds(L<uint32_t>({4, 1}));
    EXPECT_EQ(l->selected_rows()[0], 4u);  // entry order
    EXPECT_EQ(Vec(l->lbox_getsel().positions), (std::vector<uint32_t>{0, 3}));  // display order

    EXPECT_TRUE(l->lbox_setsel2(L"c", true));
    EXPECT_EQ(Vec(l->lbox_getsel().positions), (std::vector<uint32_t>{2}));
    EXPECT_FALSE(l->lbox_setsel2(L"C", true));
    EXPECT_EQ(Vec(l->lbox_getsel().positions), (std::vector<uint32_t>{2}));

    std::vector<uint32_t> walked;
    l->set_selecteds(L<uint32_t>({2, 3}));
    l->nd_selected([&](selected_line sl) {
      EXPECT_EQ(sl.zero, 0u);
      walked.push_back(sl.position);
      Qel::RunTime::Kernel::Fail();
    });
    EXPECT_EQ(walked, (std::vector<uint32_t>{1, 2}));

    l->lbox_enable(L<int32_t>({1, 0, 1, 2}));
    EXPECT_FALSE(l->is_disabled(1));
    EXPECT_TRUE(l->is_disabled(2));
    EXPECT_TRUE(l->is_disabled(4));
    l->lbox_enable(L<int32_t>({}));
    EXPECT_FALSE(l->is_disabled(2));
  });
}

TEST_F(Lists, SelectionAllowedByColumn) {
  Run([&] {
    libox* l = Filled({});
    l->add_cols(L<const wchar_t*>({L"a", L"b", L"c", L"d"}));
    l->set_col_widths(true, L<uint32_t>({10, 100, 100, 100, 100}));  // edges 11, 111, 211, 311, 411
    const pnt_struct inCol[] = {{5, 50}, {50, 50}, {150, 50}, {250, 50}, {350, 50}, {450, 50}};  // 0..4, none
    const selected_prop allowed23{selected_prop::selection_allowed, 2, 3};
    const selected_prop allowed11{selected_prop::selection_allowed, 1, 1};
    const selected_prop bold{selected_prop::selected_is_bold, 0, 0};
    struct Case {
      const char* what;
      std::vector<selected_prop> props;
      std::vector<bool> allowed;  // per point
    };
    for (const Case& k : std::vector<Case>{
             {"no property", {}, {false, false, false, false, false, false}},
             {"columns 2 to 3", {bold, allowed23}, {false, false, true, true, false, false}},
             {"only the first range counts", {allowed23, allowed11}, {false, false, true, true, false, false}},
         }) {
      SCOPED_TRACE(k.what);
      l->set_selected_props(rztest::L(k.props));
      for (size_t i = 0; i < k.allowed.size(); ++i) EXPECT_EQ(l->allow_select_by_column(inCol[i]), k.allowed[i]) << i;
    }
  });
}

TEST_F(Lists, Colours) {
  Run([&] {
    libox* l = Filled({{L"a"}, {L"b"}});
    EXPECT_TRUE(l->lbox_setcolorline(2, 0x123456));
    EXPECT_FALSE(l->lbox_setcolorline(3, 1));
    EXPECT_EQ(Vec(l->lbox_getall_colors()), (std::vector<int32_t>{0, 0x123456}));
    l->lbox_setall_colors(L<int32_t>({5, 6, 7}));
    EXPECT_EQ(Vec(l->lbox_getall_colors()), (std::vector<int32_t>{5, 6}));
    l->set_selected(2);
    EXPECT_EQ(Vec(l->lbox_getsel_color()), (std::vector<int32_t>{6}));
    EXPECT_EQ(Shown(l), (Rows{{L"a"}, {L"b"}}));
  });
}

struct Called {
  uint32_t column = 0, row = 0, alt = 0;
  int count = 0;
};
TEST_F(Lists, DoubleClickCallbackForPostEvent) {
  Run([&] {
    libox* l = Filled({{L"a"}});
    l->use_dbl_callback_for_postevent();  // none set: nothing
    Called called;
    l->set_callback_dbl(lbox_callback{[](void* o, uint32_t c, uint32_t r, const line& ln) {
                                        auto* k = static_cast<Called*>(o);
                                        *k = {c, r, ln.alt, k->count + 1};
                                      },
                                      &called});
    l->use_dbl_callback_for_postevent();
    EXPECT_EQ(called.count, 1);
    EXPECT_EQ(called.column, 9001u);
    EXPECT_EQ(called.row, 9001u);
    EXPECT_EQ(called.alt, uint32_t(line::line_no));
  });
}

TEST_F(Lists, DatabaseLifetime) {
  libox* l = nullptr;
  Run([&] {
    l = Filled({{L"a"}}, L"rz-life");
    libox* twin = Filled({{L"b"}}, L"rz-life");  // two lists of one name
    EXPECT_EQ(Shown(twin), (Rows{{L"b"}}));
    twin->lbox_clear();
    EXPECT_EQ(Shown(l), (Rows{{L"a"}}));
    line a;
    ASSERT_TRUE(l->nth_line(1, &a));
    EXPECT_EQ(Vec(a.cells), (Row{L"a"}));
    twin->delete_db();
    EXPECT_EQ(Shown(l), (Rows{{L"a"}}));
    EXPECT_EQ(l->get_vscroll(), 0);
    EXPECT_EQ(libox::new_(L"rz-life-print", Prnt(0))->get_vscroll(), 0);
    EXPECT_EQ(std::wstring(libox::classInfo.name), L"qel6pack/OrvTool/libox_class");
    l->delete_db();
    l->delete_db();  // once only
  });
  EXPECT_EQ(ErrorNumber(RunTrapped([&] { l->lbox_getall(); })), 329u);
  EXPECT_EQ(ErrorNumber(RunTrapped([&] { chainDB::db_delete(L"rz-life", place::in_memory); })), 1318u);
}

}  // namespace
}  // namespace rztest
