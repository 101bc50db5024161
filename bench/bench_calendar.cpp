// The calendar's duties layer on a 104-week, 60-doctor roster (3 slots,
// 4 tasks, 3 locations) in a 1600 x 1000 pane: full draw, repaint and a
// scroll by a week, views 5 x 20 and 2 x 4, plain and faded; against raw GDI
// painting the same cells from plain arrays (the header, the slot labels, the
// slot cells and the duty columns, with the same per-column fade pens,
// outlines and DrawTextW), each figure the best of five runs.  A draw writes
// the options file only for a changed view: the scroll's write of its first
// week is timed apart.  Then the assignment layer on a generated 52-week roster: the engine's
// normal fill with the calendar showing 2 x 4 and 5 x 20 weeks against the
// fill alone; the layer's full draw, repaint and one day's repaint against
// raw GDI adding the boxes, lock frames and names; a drag round trip (a
// move and a swap) by posted mouse messages against a raw Win32 drag on
// the same window driven by the same posted messages (vector hit tests,
// BitBlt outline, the same gate calls, raw repaint of both days).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "SYSTEM/options/options_db.h"
#include "bench_task.h"
#include "bench_util.h"
#include "comtree_recorder.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/lock_ass.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/sc_engine.h"
#include "kalmoradb/staff_db.h"
#include "mycal/draw_assign.h"
#include "mycal/draw_dtbd.h"
#include "mycal/layer_terms.h"
#include "phase1/sc_phase1.h"
#include "qel6run_lib.h"
#include "roster_bench.h"
#include "roster_fixture.h"
#include "roster_generator.h"

namespace {

using namespace QEL_KWI;
namespace K = Qel::RunTime::Kernel;
using all::draw_dtbd;
using all::rule_added;
using all::showing_kind;
using rizediveva6::options_db;

constexpr int kW = 1600, kH = 1000;

// The documents: the duties' roster, open until the assignments' turn.
rizediveva6::document* g_doc = nullptr;
std::wstring g_dir, g_path;

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

// The window's context with the calendar's font selected, the font the
// layers write in (made once from the options' font record).
HDC CalendarDC(HWND w) {
  static HFONT font = [] {
    LOGFONTW lf;
    memcpy(&lf, options_db::opt_font(), sizeof lf);
    return CreateFontIndirectW(&lf);
  }();
  HDC dc = GetDC(w);
  SelectObject(dc, font);
  return dc;
}

// Raw GDI: the scene's cells drawn as the layer draws them.
Counts RawPaint(HWND w, const Scene& s, bool simple) {
  Counts n;
  HDC dc = CalendarDC(w);
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

// The assignment layer that takes the pane's events (null: none).
all::draw_assign* g_assign = nullptr;
LONG_PTR PaneEvents(LONG_PTR w, event_struct* e) {
  if (!g_assign || !g_assign->_assign_eh(w, e)) K::Fail();
  return 0;
}

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


// --- The assignment layer -----------------------------------------------------------------

struct Box {
  RECT r;
  COLORREF colour;
  bool locked;
  std::wstring name;
  uint32_t period, day;
};

// The scene of the assignment layer: the duties' scene and the boxes.
struct AssignScene {
  Scene base;
  std::vector<Box> boxes;
  std::vector<std::pair<uint32_t, uint32_t>> dutyDays;  // per base duty: period, day
  // Per day, (period - 1) * 7 + day - 1: its duty columns and boxes, so a
  // day's raw repaint looks at that day only, as the layer does.
  std::vector<std::vector<size_t>> dayDuties, dayBoxes;
};

size_t DayIndex(std::pair<uint32_t, uint32_t> day) { return (day.first - 1) * 7 + day.second - 1; }

AssignScene AssignSceneOf(all::draw_assign* layer) {
  AssignScene s{SceneOf(&layer->dtbd), {}, {}, {}, {}};
  layer->dtbd.ndd_dtbd([&](const all::dtbd_rec* r) {
    s.dutyDays.push_back({r->duty.at.period, r->duty.at.day});
    K::Fail();
  });
  for (const all::assigned_rec& a : layer->assignments()) {
    const all::PersonTerm* p = all::staff_db::get_personref(a.doctor);
    s.boxes.push_back({Win(a.cell), static_cast<COLORREF>(p->dat->colour), all::lock_ass::is_locked_key(a.key), a.name,
                       a.duty.at.period, a.duty.at.day});
  }
  s.dayDuties.resize(104 * 7);
  s.dayBoxes.resize(104 * 7);
  for (size_t i = 0; i < s.dutyDays.size(); ++i) s.dayDuties[DayIndex(s.dutyDays[i])].push_back(i);
  for (size_t i = 0; i < s.boxes.size(); ++i) s.dayBoxes[DayIndex({s.boxes[i].period, s.boxes[i].day})].push_back(i);
  return s;
}

// Raw GDI: one box as the layer draws it (rounded, a frame when locked, the
// name centred and wrapped).
void RawBox(HDC dc, const Box& b) {
  HBRUSH brush = CreateSolidBrush(b.colour);
  HPEN pen = CreatePen(PS_SOLID, 1, b.colour);
  HGDIOBJ oldBrush = SelectObject(dc, brush), oldPen = SelectObject(dc, pen);
  RoundRect(dc, b.r.left, b.r.top, b.r.right, b.r.bottom, 30, 30);
  if (b.locked) Rectangle(dc, b.r.left, b.r.top, b.r.right, b.r.bottom);
  RECT t = b.r;
  DrawTextW(dc, b.name.c_str(), -1, &t, DT_CENTER | DT_WORDBREAK);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(brush);
  DeleteObject(pen);
}

// Raw GDI: every box.
void RawBoxes(HDC dc, const AssignScene& s) {
  SetTextColor(dc, 0);
  SetBkMode(dc, TRANSPARENT);
  for (const Box& b : s.boxes) RawBox(dc, b);
}

// Raw GDI: one day's duty columns (white, outlined, labelled) and boxes.
void RawDay(HWND w, const AssignScene& s, std::pair<uint32_t, uint32_t> day) {
  HDC dc = CalendarDC(w);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, 0);
  SelectObject(dc, GetStockObject(WHITE_BRUSH));
  SelectObject(dc, GetStockObject(BLACK_PEN));
  for (size_t i : s.dayDuties[DayIndex(day)]) {
    const Cell& c = s.base.duties[i];
    Rectangle(dc, c.r.left, c.r.top, c.r.right, c.r.bottom);
    RECT r = c.r;
    DrawTextW(dc, c.text.c_str(), -1, &r, DT_CENTER | DT_WORDBREAK);
  }
  for (size_t i : s.dayBoxes[DayIndex(day)]) RawBox(dc, s.boxes[i]);
  ReleaseDC(w, dc);
}

// Every message waiting (paints included) dispatched.
void Drain() {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
}

rizediveva6::document* FreshRoster(const std::wstring& path) {
  static alltest::RosterSpec spec;  // outside the frames an error unwinds
  spec = alltest::GeneratedSpec(3, 52);
  rizediveva6::document* d = rosterbench::NewDocument(path);
  alltest::WriteSpec(spec);
  QelMath::RandomInit(3);
  return d;
}

void SetView(all::calendarWIN& cal, int across, int down) {
  const controlinfo a{ci_scroll, 5, across}, d{ci_scroll, 5, down};
  cal.across_bar()->scroll_it(&a);
  cal.down_bar()->scroll_it(&d);
  cal.cal_full_draw();
}

// The posted messages of one drag: press at a, the moves, release at b.
void PostDrag(HWND w, POINT a, const std::vector<POINT>& moves, POINT b) {
  PostMessageW(w, WM_MOUSEMOVE, 0, MAKELPARAM(a.x, a.y));
  PostMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(a.x, a.y));
  for (POINT p : moves) PostMessageW(w, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(p.x, p.y));
  PostMessageW(w, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(b.x, b.y));
  PostMessageW(w, WM_LBUTTONUP, 0, MAKELPARAM(b.x, b.y));
}

POINT CentreOf(RECT r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

// A raw drag on the window, driven by the same posted messages as the
// layer's (the window's procedure replaced meanwhile): at the press a hit
// test and the capture; per move a hit test over the vectors, the outline
// put back and drawn anew with BitBlt, the drop verdict's gate calls; at
// the release the move through the gate and both days repainted.
struct RawDragState {
  const AssignScene* s;
  size_t from, toDuty;
  std::wstring fromKey, toKey;
  all::chain_ref doctor;
  all::duty_dat target;
  std::function<void()> drop;
  WNDPROC next;
  HDC dc, mem;
  HBITMAP saved;
  HGDIOBJ old;
  POINT last;
  bool dragging;
} g_raw;

void RawMove(POINT p) {
  RawDragState& d = g_raw;
  const AssignScene& s = *d.s;
  const RECT box = s.boxes[d.from].r;
  const int bw = box.right - box.left, bh = box.bottom - box.top;
  size_t hit = s.boxes.size();
  for (size_t i = 0; i < s.boxes.size() && hit == s.boxes.size(); ++i)
    if (PtInRect(&s.boxes[i].r, p)) hit = i;
  size_t duty = s.base.duties.size();
  for (size_t i = 0; hit == s.boxes.size() && i < s.base.duties.size() && duty == s.base.duties.size(); ++i)
    if (PtInRect(&s.base.duties[i].r, p)) duty = i;
  if (d.last.x >= 0) BitBlt(d.dc, d.last.x, d.last.y, bw + 1, bh + 1, d.mem, 0, 0, SRCCOPY);
  d.last = {p.x - bw / 2, p.y - bh / 2};
  BitBlt(d.mem, 0, 0, bw + 1, bh + 1, d.dc, d.last.x, d.last.y, SRCCOPY);
  Rectangle(d.dc, d.last.x, d.last.y, d.last.x + bw, d.last.y + bh);
  const all::duty_term t(d.target);
  const all::PgTerm who{static_cast<uint64_t>(all::pg_kind::p), {d.doctor}};
  uint8_t* mark = K::Memory::MarkGStack();
  all::sc_assign::person_is_busy_dtbd_key(d.doctor, d.toKey.c_str(), rizediveva6::MakeList<const wchar_t*>({d.fromKey.c_str()}));
  all::sc_rules::rule_allows_it(&t.dat, &who);
  K::Memory::ReleaseGStack(mark);
}

void RawPress(HWND w, POINT p) {
  RawDragState& d = g_raw;
  const RECT box = d.s->boxes[d.from].r;
  size_t hit = d.s->boxes.size();
  for (size_t i = 0; i < d.s->boxes.size() && hit == d.s->boxes.size(); ++i)
    if (PtInRect(&d.s->boxes[i].r, p)) hit = i;
  if (hit == d.s->boxes.size()) return;
  SetCapture(w);
  d.dc = GetDC(w);
  d.mem = CreateCompatibleDC(d.dc);
  d.saved = CreateCompatibleBitmap(d.dc, box.right - box.left + 1, box.bottom - box.top + 1);
  d.old = SelectObject(d.mem, d.saved);
  d.last = {-1, -1};
  d.dragging = true;
  SelectObject(d.dc, GetStockObject(NULL_BRUSH));
  SelectObject(d.dc, GetStockObject(BLACK_PEN));
}

void RawRelease(HWND w) {
  RawDragState& d = g_raw;
  const RECT box = d.s->boxes[d.from].r;
  if (d.last.x >= 0) BitBlt(d.dc, d.last.x, d.last.y, box.right - box.left + 1, box.bottom - box.top + 1, d.mem, 0, 0, SRCCOPY);
  SelectObject(d.mem, d.old);
  DeleteObject(d.saved);
  DeleteDC(d.mem);
  ReleaseDC(w, d.dc);
  ReleaseCapture();
  d.dragging = false;
  uint8_t* mark = K::Memory::MarkGStack();
  d.drop();
  K::Memory::ReleaseGStack(mark);
  RawDay(w, *d.s, {d.s->boxes[d.from].period, d.s->boxes[d.from].day});
  RawDay(w, *d.s, d.s->dutyDays[d.toDuty]);
}

LRESULT CALLBACK RawDragProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  const POINT p{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
  switch (m) {
    case WM_LBUTTONDOWN: RawPress(w, p); return 0;
    case WM_MOUSEMOVE:
      if (g_raw.dragging) RawMove(p);
      return 0;
    case WM_LBUTTONUP:
      if (g_raw.dragging) RawRelease(w);
      return 0;
    default: return CallWindowProcW(g_raw.next, w, m, wp, lp);
  }
}

// The raw drag of the posted messages of one drag, a to b over the moves.
void RawDrag(HWND w, const AssignScene& s, size_t from, POINT a, const std::vector<POINT>& moves, POINT b,
             size_t toDuty, const std::wstring& fromKey, const std::wstring& toKey, all::chain_ref doctor,
             const all::duty_dat& target, const std::function<void()>& drop) {
  g_raw = {&s, from, toDuty, fromKey, toKey, doctor, target, drop, nullptr, nullptr, nullptr, nullptr, nullptr, {-1, -1}, false};
  g_raw.next = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RawDragProc)));
  PostDrag(w, a, moves, b);
  Drain();
  SetWindowLongPtrW(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_raw.next));
}


struct DutyAt {
  std::wstring key;
  all::duty_dat duty;
  RECT r;
};

// The layer's drags by posted messages against raw drags, a move onto a
// free duty of another day and a swap; each undone through the gate.
void MeasureDrags(all::draw_assign* layer, const AssignScene& scene) {
  HWND w = reinterpret_cast<HWND>(layer->dtbd.cal.window());
  std::vector<DutyAt> duties;
  layer->dtbd.ndd_dtbd([&](const all::dtbd_rec* r) {
    duties.push_back({r->key, r->duty, Win(r->rect)});
    K::Fail();
  });
  std::vector<size_t> unlocked;
  for (size_t i = 0; i < scene.boxes.size(); ++i)
    if (!scene.boxes[i].locked) unlocked.push_back(i);
  if (unlocked.size() < 2 || duties.size() < 20) {
    std::printf("  drag round trip: not measured (%zu unlocked boxes, %zu duties)\n", unlocked.size(), duties.size());
    return;
  }
  // The first unlocked box whose doctor may take a free duty of another day.
  size_t free = duties.size(), fromBox = unlocked[0];
  for (size_t b = 0; b < unlocked.size() && free == duties.size(); ++b) {
    const all::assigned_rec& a = layer->assignments()[static_cast<uint32_t>(unlocked[b])];
    for (size_t i = 0; i < duties.size() && free == duties.size(); ++i) {
      all::chain_ref holder;
      const bool otherDay = duties[i].duty.at.day != a.duty.at.day || duties[i].duty.at.period != a.duty.at.period;
      if (otherDay && !all::sc_assign::is_assigned(duties[i].key.c_str(), &holder) &&
          all::sc_assign::assign_person(all::test_ass::test_ass_only, duties[i].key.c_str(), a.doctor)->Kind() ==
              all::reason_kind::can_do_it)
        free = i, fromBox = unlocked[b];
    }
  }
  if (free == duties.size()) {
    std::printf("  drag round trip: not measured (no free duty another doctor may take)\n");
    return;
  }
  const all::assigned_rec from = layer->assignments()[static_cast<uint32_t>(fromBox)];
  all::assigned_rec with = from;
  for (size_t i : unlocked)
    if (layer->assignments()[static_cast<uint32_t>(i)].doctor != from.doctor) {
      with = layer->assignments()[static_cast<uint32_t>(i)];
      break;
    }
  if (free == duties.size()) return;
  std::vector<POINT> moves;
  for (size_t i = 0; moves.size() < 20; i += duties.size() / 20) moves.push_back(CentreOf(duties[i].r));
  const std::wstring fromKey = from.key, toKey = duties[free].key, withKey = with.key;
  size_t withDuty = 0;
  for (size_t i = 0; i < duties.size(); ++i)
    if (duties[i].key == withKey) withDuty = i;
  const POINT a = CentreOf(Win(from.cell)), b = CentreOf(duties[free].r), c = CentreOf(Win(with.cell));
  auto put = [&](const std::wstring& key, all::chain_ref doctor) {
    all::sc_assign::p_remove_assignment(0, key.c_str());
    all::sc_assign::assign_person(all::test_ass::make_ass_only, key.c_str(), doctor);
  };
  auto undo = [&] {
    all::sc_assign::p_remove_assignment(0, toKey.c_str());
    put(fromKey, from.doctor);
    put(withKey, with.doctor);
    layer->delete_pic2();
    layer->drew_all_assign(rizediveva6::Nil<const wchar_t*>());
    Drain();
  };
  // Each side's best of kRounds round trips, every one undone.
  all::chain_ref holder = 0;
  double move = 0, rawMove = 0, swap = 0, rawSwap = 0;
  bool moved = true, swapped = true;
  auto best = [](double* b, double t) {
    if (*b == 0 || t < *b) *b = t;
  };
  for (int round = 0; round < kRounds; ++round) {
    best(&move, Timed([&] {
      PostDrag(w, a, moves, b);
      Drain();
    }));
    moved = moved && all::sc_assign::is_assigned(toKey.c_str(), &holder) && holder == from.doctor;
    undo();
    best(&rawMove, Timed([&] {
      RawDrag(w, scene, fromBox, a, moves, b, free, fromKey, toKey, from.doctor, duties[free].duty, [&] {
        all::sc_assign::p_remove_assignment(5, fromKey.c_str());
        all::sc_assign::assign_person(all::test_ass::test_and_make, toKey.c_str(), from.doctor);
      });
    }));
    undo();
    best(&swap, Timed([&] {
      PostDrag(w, a, moves, c);
      Drain();
    }));
    swapped = swapped && all::sc_assign::is_assigned(withKey.c_str(), &holder) && holder == from.doctor;
    undo();
    best(&rawSwap, Timed([&] {
      RawDrag(w, scene, fromBox, a, moves, c, withDuty, fromKey, withKey, from.doctor, with.duty, [&] {
        all::sc_assign::p_remove_assignment(5, withKey.c_str());
        all::sc_assign::p_remove_assignment(5, fromKey.c_str());
        all::sc_assign::assign_person(all::test_ass::test_and_make, fromKey.c_str(), with.doctor);
        all::sc_assign::assign_person(all::test_ass::test_and_make, withKey.c_str(), from.doctor);
      });
    }));
    undo();
  }
  const double moveOnly = Timed([&] {
    PostMessageW(w, WM_MOUSEMOVE, 0, MAKELPARAM(a.x, a.y));
    for (POINT p : moves) PostMessageW(w, WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
    Drain();
  });
  rizediveva6::drag_rct* feedback = rizediveva6::drag_rct::new_drag_rct(
      reinterpret_cast<LONG_PTR>(w), from.cell, {a.x, a.y}, {rizediveva6::direct::any_direc, {rizediveva6::grainy::smooth, 0}},
      rizediveva6::allow_stetch::whole_rct_only);
  const double outline = Timed([&] {
    rizediveva6::drag_obj_dom kind;
    for (POINT p : moves) feedback->drag_it({p.x, p.y}, &kind);
  });
  layer->delete_pic2();
  layer->drew_all_assign(rizediveva6::Nil<const wchar_t*>());
  std::printf("  (inside: 20 hover moves %.4f s, 20 outline moves %.4f s)\n", moveOnly, outline);
  std::printf("  drag round trip, 20 moves (%s, %s):\n", moved ? "moved" : "NOT MOVED",
              swapped ? "swapped" : "NOT SWAPPED");
  Row("move", move, rawMove, 1.25);
  Row("swap", swap, rawSwap, 1.25);
}

// The fill with the calendar showing a view (0 x 0: no calendar); seconds.
double Fill(LONG_PTR pane, const std::wstring& dir, int across, int down, uint32_t* days, uint32_t* requests) {
  const std::wstring path = dir + L"bench_calendar_fill.km6";
  rizediveva6::document* d = FreshRoster(path);
  double seconds = 0;
  if (!across) {
    all::sc_engine* e = all::sc_engine::new_engine();
    seconds = Timed([&] { e->fill_empties(false); });
  } else {
    all::draw_assign* layer = all::draw_assign::new_assign(pane);
    SetView(layer->dtbd.cal, across, down);
    layer->drew_all_assign(rizediveva6::Nil<const wchar_t*>());
    g_assign = layer;
    alltest::AssignLayer().days = [layer](const rizediveva6::SList* keys) { layer->drew_days_assigns(keys); };
    alltest::ComtreeCalls().clear();
    event_struct run{e_menu, {all::draw_assign::kRunEngine}};
    seconds = Timed([&] {
      layer->_assign_eh(pane, &run);
      UpdateWindow(reinterpret_cast<HWND>(pane));
    });
    *days = layer->days_painted();
    *requests = 0;
    for (const alltest::ComtreeCall& c : alltest::ComtreeCalls()) *requests += c.op == L"drew_few_assigns";
    alltest::AssignLayer() = {};
    g_assign = nullptr;
  }
  rosterbench::DropDocument(d, path);
  return seconds;
}

void MeasureAssignments(LONG_PTR pane, const std::wstring& dir) {
  options_db::various_i(L"simple", 1);
  HWND w = reinterpret_cast<HWND>(pane);
  uint32_t days = 0, requests = 0;
  const double alone = Fill(pane, dir, 0, 0, &days, &requests);
  std::printf("assignment layer, generated 52-week roster (seed 3), normal fill alone %.3f s\n", alone);
  for (auto [across, down] : {std::pair{2, 4}, std::pair{5, 20}}) {
    const double with = Fill(pane, dir, across, down, &days, &requests);
    std::printf("  fill, calendar %dx%d: %.3f s, ratio %5.2f (goal 1.25); %u day repaint requests, %u days painted\n",
                across, down, with, with / alone, requests, days);
  }
  // The layer on the filled roster.
  const std::wstring path = dir + L"bench_calendar_assign.km6";
  rizediveva6::document* d = FreshRoster(path);
  all::sc_engine::new_windowless()->fill_empties(false);
  for (auto [across, down] : {std::pair{2, 4}, std::pair{5, 20}}) {
    all::draw_assign* layer = all::draw_assign::new_assign(pane);
    SetView(layer->dtbd.cal, across, down);
    auto full = [&] {
      layer->dtbd.cal.cal_full_draw();
      layer->delete_pic2();
      layer->drew_all_assign(rizediveva6::Nil<const wchar_t*>());
    };
    full();
    const double fullDraw = Best(full);
    const double repaint = Best([&] { layer->drew_all_assign(rizediveva6::Nil<const wchar_t*>()); });
    const AssignScene scene = AssignSceneOf(layer);
    auto raw = [&] {
      RawPaint(w, scene.base, true);
      HDC dc = CalendarDC(w);
      RawBoxes(dc, scene);
      ReleaseDC(w, dc);
    };
    raw();
    const double peer = Best(raw);
    // One day at a time: the days of the first boxes.
    const size_t n = std::min<size_t>(scene.boxes.size(), 40);
    std::vector<std::wstring> keys;
    for (size_t i = 0; i < n; ++i) keys.push_back(layer->assignments()[static_cast<uint32_t>(i)].key);
    const double day = Best([&] {
      for (const std::wstring& k : keys) layer->drew_days_assigns(rizediveva6::MakeList<const wchar_t*>({k.c_str()}));
    }) / double(n ? n : 1);
    const double rawDay = Best([&] {
      for (size_t i = 0; i < n; ++i) RawDay(w, scene, {scene.boxes[i].period, scene.boxes[i].day});
    }) / double(n ? n : 1);
    std::printf("  view %dx%d: %zu duty columns, %zu boxes\n", across, down, scene.base.duties.size(),
                scene.boxes.size());
    Row("full draw", fullDraw, peer, 1.25);
    Row("repaint", repaint, peer, 1.1);
    Row("a day", day, rawDay, 1.1);
    if (across == 2) {
      g_assign = layer;
      MeasureDrags(layer, scene);
      g_assign = nullptr;
    }
  }
  rosterbench::DropDocument(d, path);
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
    rosterbench::DropDocument(g_doc, g_path);
    g_doc = nullptr;
    MeasureAssignments(pane, g_dir);
  });
}

}  // namespace

int main() {
  return rosterbench::Main([](const std::wstring& dir) {
    g_dir = dir;
    g_path = dir + L"bench_calendar.km6";
    g_doc = rosterbench::NewDocument(g_path);
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
    if (g_doc) rosterbench::DropDocument(g_doc, g_path);
    if (!ran) ExitProcess(1);
  });
}
