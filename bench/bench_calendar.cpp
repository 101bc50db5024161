// The calendar's duties layer on a 104-week, 60-doctor roster (3 slots,
// 4 tasks, 3 locations) in a 1600 x 1000 pane: full draw, repaint and a
// scroll by a week, views 5 x 20 and 2 x 4, plain and faded; against raw GDI
// painting the same cells from plain arrays (the same per-column fade pens,
// outlines and DrawTextW).  The options write of a full draw is timed apart.
#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "SYSTEM/options/options_db.h"
#include "bench_task.h"
#include "bench_util.h"
#include "mycal/draw_dtbd.h"
#include "roster_bench.h"
#include "roster_fixture.h"

namespace {

using namespace QEL_KWI;
namespace K = Qel::RunTime::Kernel;
using all::draw_dtbd;
using all::rule_added;
using all::showing_kind;
using rizediveva6::options_db;

constexpr int kW = 1600, kH = 1000;

struct Cell {
  RECT r;
  std::wstring text;
};

// What the layer drew last: header cells, slot cells and duty columns.
struct Scene {
  std::vector<Cell> header, slots, duties;
};

RECT Win(rect_struct r) { return {r.left, r.top, r.right, r.bottom}; }

Scene SceneOf(draw_dtbd* layer) {
  Scene s;
  for (const all::slot_rct& r : layer->cal.slot_rcts()) s.slots.push_back({Win(r.rect), r.text});
  layer->ndd_dtbd([&](const all::dtbd_rec* r) {
    s.duties.push_back({Win(r->rect), r->label});
    K::Fail();
  });
  return s;
}

struct Counts {
  long columns = 0, texts = 0;
};

// The faded fill of a rectangle: a pen per column, then the outline.
void Fade(HDC dc, RECT r, COLORREF from, Counts* n) {
  const int width = r.right - r.left;
  for (int k = 0; k <= width; ++k) {
    const double t = width ? double(k) / width : 0;
    auto ch = [&](int shift) { return int(((from >> shift) & 0xFF) + (255 - ((from >> shift) & 0xFF)) * t); };
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(ch(0), ch(8), ch(16)));
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, r.left + k, r.top, nullptr);
    LineTo(dc, r.left + k, r.bottom);
    SelectObject(dc, old);
    DeleteObject(pen);
    ++n->columns;
  }
  SelectObject(dc, GetStockObject(NULL_BRUSH));
  SelectObject(dc, GetStockObject(BLACK_PEN));
  Rectangle(dc, r.left, r.top, r.right, r.bottom);
}

// Raw GDI: the scene's cells drawn as the layer draws them.
Counts RawPaint(HWND w, const Scene& s, bool simple) {
  Counts n;
  HDC dc = GetDC(w);
  RECT all{0, 0, kW, kH};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  SetBkMode(dc, TRANSPARENT);
  HPEN grey = CreatePen(PS_SOLID, 1, RGB(128, 128, 128));
  SelectObject(dc, grey);
  SelectObject(dc, GetStockObject(BLACK_BRUSH));
  SetTextColor(dc, RGB(255, 255, 255));
  for (const Cell& c : s.slots) {
    Rectangle(dc, c.r.left, c.r.top, c.r.right, c.r.bottom);
    if (!c.text.empty()) {
      RECT r = c.r;
      DrawTextW(dc, c.text.c_str(), -1, &r, DT_CENTER);
      ++n.texts;
    }
  }
  SetTextColor(dc, 0);
  for (const Cell& c : s.duties) {
    if (simple) {
      SelectObject(dc, GetStockObject(WHITE_BRUSH));
      SelectObject(dc, GetStockObject(BLACK_PEN));
      Rectangle(dc, c.r.left, c.r.top, c.r.right, c.r.bottom);
    } else {
      Fade(dc, c.r, RGB(170, 170, 170), &n);
    }
    RECT r = c.r;
    DrawTextW(dc, c.text.c_str(), -1, &r, DT_CENTER | DT_WORDBREAK);
    ++n.texts;
  }
  DeleteObject(grey);
  ReleaseDC(w, dc);
  return n;
}

double Timed(const std::function<void()>& f) {
  const double t0 = bench::Now();
  f();
  return bench::Now() - t0;
}

void Row(const char* what, double ours, double peer, double goal) {
  std::printf("  %-14s calendar %8.4f s   raw GDI %8.4f s   ratio %5.2f (goal %.2f)\n", what, ours, peer,
              peer > 0 ? ours / peer : 0.0, goal);
}

LONG_PTR PaneEvents(LONG_PTR, event_struct*) { K::Fail(); }

// One view: the layer's full draw, repaint and scroll by a week against
// raw GDI painting what the layer drew.
void MeasureView(LONG_PTR pane, int across, int down, int simple) {
  options_db::various_i(L"simple", simple);
  draw_dtbd* layer = draw_dtbd::new_dtbd(pane);
  const controlinfo a{ci_scroll, 5, across}, d{ci_scroll, 5, down};
  layer->cal.across_bar()->scroll_it(&a);
  layer->cal.down_bar()->scroll_it(&d);
  auto full = [&] {
    layer->cal.cal_full_draw();
    layer->full_draw();
    layer->drew_dtbd(all::Showing(showing_kind::show_no_extras), rule_added::rule_added_failed);
  };
  full();  // warm: fonts, names, the duty index
  const double fullDraw = Timed(full);
  const double repaint = Timed([&] {
    layer->drew_dtbd(all::Showing(showing_kind::show_no_extras), rule_added::rule_added_failed);
  });
  event_struct forward{e_control, {981}};
  const double scroll = Timed([&] {
    layer->_dtbd_eh(pane, &forward);
    layer->drew_dtbd(all::Showing(showing_kind::show_no_extras), rule_added::rule_added_failed);
  });
  event_struct back{e_control, {982}};
  layer->_dtbd_eh(pane, &back);
  full();
  const double options = Timed([&] {
    options_db::various_i(L"weeksacross", across);
    options_db::various_i(L"weeksdown", down);
    options_db::various_u64(L"weekstart", layer->cal.start_display());
  });
  const Scene scene = SceneOf(layer);
  HWND w = reinterpret_cast<HWND>(pane);
  RawPaint(w, scene, simple);
  Counts n;
  const double peer = Timed([&] { n = RawPaint(w, scene, simple); });
  std::printf("view %dx%d simple %d: %zu slot cells, %zu duty columns, %ld fade columns, %ld texts\n", across, down,
              simple, scene.slots.size(), scene.duties.size(), n.columns, n.texts);
  Row("full draw", fullDraw, peer, 1.25);
  Row("repaint", repaint, peer, 1.1);
  Row("scroll a week", scroll, peer, 1.25);
  std::printf("  %-14s %8.4f s (inside the full draw and the scroll)\n", "options write", options);
}

void Run(LONG_PTR task) {
  K::RunTrapped([&] {
    static PROLOG_EHANDLER_STRUCT none{reinterpret_cast<void*>(&PaneEvents), nullptr};
    ilist_struct end{ListNil, 0, nullptr};
    rect_struct r{0, 0, kW, kH};
    menu_struct nomenu{3, 0};
    const LONG_PTR pane = win_Create(wt_child, &r, L"", &nomenu, task, &end, &none, 0);
    for (auto [across, down] : {std::pair{5, 20}, std::pair{2, 4}})
      for (int simple : {0, 1}) MeasureView(pane, across, down, simple);
  });
}

}  // namespace

int main() {
  return rosterbench::Main([](const std::wstring& dir) {
    const std::wstring path = dir + L"bench_calendar.km6";
    rizediveva6::document* doc = rosterbench::NewDocument(path);
    alltest::RosterSpec spec = alltest::LargeSpec(104);
    spec.tasks.push_back(L"clinic");
    spec.locations.push_back(L"east");
    spec.typical.clear();
    alltest::AddFullTypicalWeek(L"emergency", L"north", L"south", &spec);
    alltest::WriteSpec(spec);
    ilist_struct flags[3] = {{ListCons, 9, nullptr}, {ListCons, 14, nullptr}, {ListNil, 0, nullptr}};
    flags[0].next = &flags[1];
    flags[1].next = &flags[2];
    menu_struct nomenu{3, 0};
    const bool ran = bench::RunInTask(flags, &nomenu, L"bench_calendar", Run);
    rosterbench::DropDocument(doc, path);
    if (!ran) ExitProcess(1);
  });
}
