// The calendar's duties layer on a 104-week, 60-doctor roster (3 slots,
// 4 tasks, 3 locations) in a 1600 x 1000 pane: full draw, repaint and a
// scroll by a week, views 5 x 20 and 2 x 4, plain and faded; against raw GDI
// painting the same cells from plain arrays (the header, the slot labels, the
// slot cells and the duty columns, with the same per-column fade pens,
// outlines and DrawTextW), each figure the best of five runs.  A draw writes
// the options file only for a changed view: the scroll's write of its first
// week is timed apart.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "SYSTEM/options/options_db.h"
#include "bench_task.h"
#include "bench_util.h"
#include "kalmoradb/kalmora_DB.h"
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
  COLORREF fade = 0;  // header and label cells: the colour their fade starts from
};

// What the layer drew last: header cells (the day names over the first
// row), slot labels (left of every row), slot cells and duty columns.
struct Scene {
  std::vector<Cell> header, labels, slots, duties;
};

RECT Win(rect_struct r) { return {r.left, r.top, r.right, r.bottom}; }

// The header cells over the days of the first row and a label cell left of
// every slot row, placed from the kept slot cells (day names from their labels).
void HeaderAndLabels(Scene* s) {
  if (s->slots.empty()) return;
  LONG top = s->slots[0].r.top, left = s->slots[0].r.left;
  std::vector<std::pair<LONG, LONG>> rows;  // top, bottom of each slot row
  for (const Cell& c : s->slots) {
    top = std::min(top, c.r.top);
    left = std::min(left, c.r.left);
    if (std::find_if(rows.begin(), rows.end(), [&](auto& r) { return r.first == c.r.top; }) == rows.end())
      rows.push_back({c.r.top, c.r.bottom});
  }
  for (const Cell& c : s->slots)
    if (c.r.top == top && !c.text.empty()) {
      const std::wstring day = c.text.substr(c.text.rfind(L' ') + 1);
      s->header.push_back({{c.r.left, 0, c.r.right, top}, day, day[0] == L'S' ? RGB(255, 255, 0) : RGB(192, 192, 192)});
    }
  const uint32_t slots = all::kalmora_DB::number_of_slots_per_day();
  std::sort(rows.begin(), rows.end());
  for (size_t i = 0; i < rows.size(); ++i) {
    const std::wstring text = L" (" + std::to_wstring(i / slots + 1) + L") " +
                              all::kalmora_DB::get_slot_name(static_cast<uint32_t>(i % slots + 1));
    s->labels.push_back({{0, rows[i].first, left + 1, rows[i].second + 1}, text, RGB(90, 90, 200)});
  }
}

Scene SceneOf(draw_dtbd* layer) {
  Scene s;
  for (const all::slot_rct& r : layer->cal.slot_rcts()) s.slots.push_back({Win(r.rect), r.text});
  HeaderAndLabels(&s);
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
  // Header and labels: faded (or plain white) with black outlines.
  SelectObject(dc, GetStockObject(BLACK_PEN));
  for (const std::vector<Cell>* cells : {&s.header, &s.labels}) {
    SetTextColor(dc, cells == &s.header ? RGB(0, 0, 0) : RGB(0, 0, 255));
    for (const Cell& c : *cells) {
      if (simple) {
        SelectObject(dc, GetStockObject(WHITE_BRUSH));
        Rectangle(dc, c.r.left, c.r.top, c.r.right, c.r.bottom);
      } else {
        Fade(dc, c.r, c.fade, &n);
      }
      RECT r = c.r;
      DrawTextW(dc, c.text.c_str(), -1, &r, DT_LEFT);
      ++n.texts;
    }
  }
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

// The best of kRounds runs of f, each after an untimed `before`: both sides
// are measured so, which keeps a collection or a busy machine out of one run.
constexpr int kRounds = 5;
double Best(const std::function<void()>& before, const std::function<void()>& f) {
  double best = 0;
  for (int i = 0; i < kRounds; ++i) {
    before();
    const double t = Timed(f);
    if (i == 0 || t < best) best = t;
  }
  return best;
}
double Best(const std::function<void()>& f) {
  return Best([] {}, f);
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
  const double fullDraw = Best(full);
  const double repaint = Best([&] {
    layer->drew_dtbd(all::Showing(showing_kind::show_no_extras), rule_added::rule_added_failed);
  });
  // The scroll stores the new first week in the options (a write of the
  // options file): that write is timed apart, before each scroll.
  event_struct forward{e_control, {981}}, back{e_control, {982}};
  layer->_dtbd_eh(pane, &forward);
  const uint64_t next = layer->cal.start_display();
  double options = 0;
  const double scroll = Best(
      [&] {
        layer->_dtbd_eh(pane, &back);
        full();
        const double t = Timed([&] { options_db::various_u64(L"weekstart", next); });
        if (options == 0 || t < options) options = t;
      },
      [&] {
        layer->_dtbd_eh(pane, &forward);
        layer->drew_dtbd(all::Showing(showing_kind::show_no_extras), rule_added::rule_added_failed);
      });
  layer->_dtbd_eh(pane, &back);
  full();
  const Scene scene = SceneOf(layer);
  HWND w = reinterpret_cast<HWND>(pane);
  RawPaint(w, scene, simple);
  Counts n;
  const double peer = Best([&] { n = RawPaint(w, scene, simple); });
  std::printf("view %dx%d simple %d: %zu header and %zu label cells, %zu slot cells, %zu duty columns, %ld fade "
              "columns, %ld texts\n",
              across, down, simple, scene.header.size(), scene.labels.size(), scene.slots.size(), scene.duties.size(),
              n.columns, n.texts);
  Row("full draw", fullDraw, peer, 1.25);
  Row("repaint", repaint, peer, 1.1);
  Row("scroll a week", scroll, peer, 1.25);
  std::printf("  %-14s %8.4f s (the scroll's write of the first week, timed apart)\n", "options write", options);
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
