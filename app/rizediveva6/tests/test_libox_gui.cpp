// The list box on real windows and picture targets (Xvfb): its scroll bar,
// the header drawing, and the database left to the collector.
#include "KWI/orvtoolkwi/libox.h"
#include "dialog_recorder.h"
#include "wyn_test.h"

namespace rztest {
namespace {

using tav::chainDB;
using tav::place;

class ListWindows : public Rz {
 protected:
  DialogRecorder dialogs_;
};

TEST_F(ListWindows, ScrollBarOnlyOnAScreenWindow) {
  InTask([](HWND task) {
    const LONG_PTR w = reinterpret_cast<LONG_PTR>(task);
    libox* l = nullptr;
    ASSERT_EQ(RunTrapped([&] { l = libox::new_(L"rz-gui-list", Screen(w)); }), 0u);
    const HWND bar = reinterpret_cast<HWND>(l->get_vscroll());
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(GetParent(bar), task);
    EXPECT_EQ(GetDlgCtrlID(bar), 99);
    RECT client, r;
    GetClientRect(task, &client);
    GetWindowRect(bar, &r);
    MapWindowPoints(nullptr, task, reinterpret_cast<POINT*>(&r), 2);
    const LONG width = static_cast<LONG>(QEL_KWI::kwi_GetAttrVal(204));
    EXPECT_EQ(r.right, client.right);
    EXPECT_EQ(r.left, client.right - width);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.bottom, client.bottom);
    ASSERT_EQ(RunTrapped([&] {
      EXPECT_EQ(libox::new_(L"rz-gui-null", WNull())->get_vscroll(), 0);
      l->delete_db();
    }), 0u);
  });
}

TEST_F(ListWindows, HeaderDrawing) {
  InTask([](HWND) {
    constexpr uint32_t kMagenta = 0xFF00FF, kFace = 0xC0C0C0, kBlackPx = 0, kWhitePx = 0xFFFFFF;
    column* c = nullptr;
    auto draw = [&](bool hidden) {
      return DrawOnPicture(260, 50, [&](LONG_PTR p) {
        ASSERT_EQ(RunTrapped([&] {
          c = column::new_column(WNull(), L"rz-gui-header");
          c->set_title_tb(TitleTb(5, 30));
          c->add_cols(AsSList(MakeStringList({L"WWWW", L"MMMM"})));
          c->set_col_widths(true, MakeList<uint32_t>({10, 100, 100}));
          c->set_title_color(L"WWWW", int32_t(kMagenta));
          c->set_title(1, L"WWWW");
          c->show_title_or_not(hidden);
          c->col_draw_titles(Screen(p));
        }), 0u);
      });
    };
    const Pixels px = draw(false);
    for (const pnt_struct& ring : {pnt_struct{11, 5}, pnt_struct{60, 5}, pnt_struct{11, 20}, pnt_struct{111, 20},
                                   pnt_struct{60, 30}, pnt_struct{211, 20}})
      EXPECT_EQ(px.at(ring.x, ring.y), kBlackPx) << ring.x << "," << ring.y;
    for (const pnt_struct& face : {pnt_struct{14, 26}, pnt_struct{107, 26}, pnt_struct{114, 26}})
      EXPECT_EQ(px.at(face.x, face.y), kFace) << face.x << "," << face.y;
    EXPECT_EQ(px.at(60, 40), kWhitePx);  // below the band
    auto count = [](const Pixels& p, int from, int to, uint32_t colour) {
      int n = 0;
      for (int y = 5; y <= 30; ++y)
        for (int x = from; x <= to; ++x) n += p.at(x, y) == colour;
      return n;
    };
    EXPECT_GT(count(px, 12, 110, kMagenta), 0);   // the first title in its colour
    EXPECT_EQ(count(px, 112, 210, kMagenta), 0);  // the second in black
    EXPECT_GT(count(px, 114, 208, kBlackPx), 0);

    // Titles shown instead of names: the column without one is not drawn.
    const Pixels hidden = draw(true);
    EXPECT_EQ(hidden.at(11, 20), kBlackPx);
    EXPECT_EQ(count(hidden, 113, 210, kFace), 0);
    EXPECT_EQ(hidden.at(211, 20), kWhitePx);
  });
}

TEST_F(ListWindows, ListLeftToTheCollectorDeletesItsDatabase) {
  ASSERT_EQ(RunTrapped([] { libox::new_(L"rz-gui-left", WNull())->lbox_add_slist(MakeList<const wchar_t*>({L"a"})); }), 0u);
  EXPECT_EQ(RunTrapped([] { Qel::RunTime::Kernel::Memory::FinalizeAll(); }), 0u);
  EXPECT_EQ(ErrorNumber(RunTrapped([] { chainDB::db_delete(L"rz-gui-left", place::in_memory); })), 1318u);
}

}  // namespace
}  // namespace rztest
