// The drawing package against the GUI layer and raw GDI, inside an update
// event of a child window: 20,000 texts and lines through wyn against the
// layer's own calls on the held context; a 1,000-column fade against a raw
// CreatePen/LineTo loop; one drag_rct move of a 200 x 40 box against raw
// BitBlt save, restore and Rectangle.  Each timed loop ends with a pixel
// read, so that work the display still queues is counted on both sides; the
// moves take the best of five runs on both sides.
#include <windows.h>

#include <cstdio>

#include "KWI/Wyn/wyn.h"
#include "KWI/drag/drag_rct.h"
#include "bench_task.h"
#include "bench_util.h"
#include "unit.h"

using namespace QEL_KWI;
using namespace rizediveva6;
namespace K = Qel::RunTime::Kernel;

namespace {

constexpr int N = 20000;
constexpr int kFades = 50;
constexpr int kMoves = 2000;

struct Figures {
  double copyPicture, drawPicture, layerFade, wynText, layerText, wynLine, layerLine, wynFade, rawFade, dragMove, rawMove;
} g;

void TextsAndLines(LONG_PTR w) {
  const wyndow t = Screen(w);
  double s = bench::Now();
  for (int i = 0; i < N; ++i) wyn::wdrawtext(t, static_cast<uint32_t>(i % 100), 40, L"Roster 2026");
  g.wynText = bench::Now() - s;
  s = bench::Now();
  for (int i = 0; i < N; ++i) draw_Text(w, i % 100, 40, L"Roster 2026", -1);
  g.layerText = bench::Now() - s;
  s = bench::Now();
  for (int i = 0; i < N; ++i) wyn::wdrawline(t, {i % 200, 5}, {(i * 7) % 200, 150});
  g.wynLine = bench::Now() - s;
  s = bench::Now();
  for (int i = 0; i < N; ++i) {
    pnt_struct a{i % 200, 5}, b{(i * 7) % 200, 150};
    draw_Line(w, &a, &b);
  }
  g.layerLine = bench::Now() - s;
}

void Fades(LONG_PTR w, HDC dc) {
  double s = bench::Now();
  for (int f = 0; f < kFades; ++f) wyn::o_fade_rect(Screen(w), {0, 0, 1000, 150}, true, {0, 0, 255}, {255, 0, 0});
  GetPixel(dc, 0, 0);  // the display has done the work
  g.wynFade = (bench::Now() - s) / kFades;
  s = bench::Now();
  for (int f = 0; f < kFades; ++f) {
    HGDIOBJ pen = CreatePen(PS_SOLID, 1, 0);
    HGDIOBJ old = SelectObject(dc, pen);
    for (int k = 0; k <= 1000; ++k) {
      MoveToEx(dc, k, 0, nullptr);
      LineTo(dc, k, 150);
      const int v = (k + 1) * 255 / 1000;
      HGDIOBJ next = CreatePen(PS_SOLID, 1, RGB(v, 0, 255 - v));
      SelectObject(dc, next);
      DeleteObject(pen);
      pen = next;
    }
    SelectObject(dc, old);
    DeleteObject(pen);
  }
  GetPixel(dc, 0, 0);
  g.rawFade = (bench::Now() - s) / kFades;
  // The layer's own pen and line calls, the same number.
  s = bench::Now();
  for (int f = 0; f < kFades; ++f)
    for (int k = 0; k <= 1000; ++k) {
      pnt_struct a{k, 0}, b{k, 150};
      draw_Line(w, &a, &b);
      const int v = (k + 1) * 255 / 1000;
      pen_struct pen{1, 0, static_cast<uint32_t>(v | (255 - v) << 16)};
      win_SetPen(w, &pen);
    }
  GetPixel(dc, 0, 0);
  g.layerFade = (bench::Now() - s) / kFades;
}

// The best of kRounds runs of kMoves moves, in seconds per move: one run of
// some milliseconds is easily cut by another process on a busy machine, so
// both sides take their best run.
constexpr int kRounds = 5;
template <class F>
double BestMove(HDC dc, F move) {
  uint8_t* mark = K::Memory::MarkGStack();
  double best = 0;
  for (int round = 0; round < kRounds; ++round) {
    const double s = bench::Now();
    for (int i = 0; i < kMoves; ++i) {
      move(i);
      K::Memory::ReleaseGStack(mark);
    }
    GetPixel(dc, 0, 0);
    const double t = (bench::Now() - s) / kMoves;
    if (round == 0 || t < best) best = t;
  }
  return best;
}

void Moves(LONG_PTR w, HDC dc) {
  const rect_struct box{100, 100, 300, 140};
  drag_obj_dom kind;
  drag_rct* d = drag_rct::new_drag_rct(w, box, {150, 120}, {direct::any_direc, {}}, allow_stetch::whole_rct_only);
  g.dragMove = BestMove(dc, [&](int i) { d->drag_it({150 + i % 40, 120 + i % 30}, &kind); });
  // The layer's picture calls alone: a copy of the union and its draw back.
  rect_struct u{100, 100, 339, 169};
  pnt_struct corner{100, 100};
  picture piece = pict_GetFromWin(w, &u);
  g.copyPicture = BestMove(dc, [&](int) { pict_GetFromWin(w, &u); });
  g.drawPicture = BestMove(dc, [&](int) { pict_DrawEx_0(w, piece, &corner, 12, 1); });
  // Raw: restore the saved piece, save the union, draw the rectangle.
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP saved = CreateCompatibleBitmap(dc, 300, 200);
  HGDIOBJ old = SelectObject(mem, saved);
  BitBlt(mem, 0, 0, 200, 40, dc, 100, 100, SRCCOPY);
  int sx = 100, sy = 100, sw = 200, sh = 40;
  g.rawMove = BestMove(dc, [&](int i) {
    const int x = 100 + i % 40, y = 100 + i % 30;
    BitBlt(dc, sx, sy, sw, sh, mem, 0, 0, SRCCOPY);
    sx = 100;
    sy = 100;
    sw = x + 200 - 100;
    sh = y + 40 - 100;
    BitBlt(mem, 0, 0, sw, sh, dc, sx, sy, SRCCOPY);
    Rectangle(dc, x, y, x + 200, y + 40);
  });
  SelectObject(mem, old);
  DeleteObject(saved);
  DeleteDC(mem);
}

LONG_PTR Painter(LONG_PTR window, event_struct* e) {
  if (e->kind != e_update) K::Fail();
  int acquired = 0;
  HDC dc = win_GetNativeGraphicContext(window, &acquired);
  TextsAndLines(window);
  Fades(window, dc);
  Moves(window, dc);
  return 0;
}

void Run(LONG_PTR task) {
  ilist_struct visible{ListCons, 10, nullptr}, nil{ListNil, 0, nullptr};
  visible.next = &nil;
  menu_struct nomenu{3, 0};
  rect_struct r{0, 0, 1100, 300};
  PROLOG_EHANDLER_STRUCT painter{reinterpret_cast<void*>(&Painter), nullptr};
  const LONG_PTR w = win_Create(wt_child, &r, L"", &nomenu, task, &visible, &painter, 0);
  HWND hw = reinterpret_cast<HWND>(w);
  InvalidateRect(hw, nullptr, FALSE);
  UpdateWindow(hw);
  printf("wyn inside an update event: seconds, and wyn / peer\n");
  printf("  %-34s %10s %10s %7s %s\n", "what", "wyn s", "peer s", "ratio", "goal");
  printf("  %-34s %10.4f %10.4f %7.2f %s\n", "20,000 texts (peer: draw_Text)", g.wynText, g.layerText,
         g.wynText / g.layerText, "<= 1.05");
  printf("  %-34s %10.4f %10.4f %7.2f %s\n", "20,000 lines (peer: draw_Line)", g.wynLine, g.layerLine,
         g.wynLine / g.layerLine, "<= 1.05");
  printf("  %-34s %10.6f %10.6f %7.2f %s\n", "fade 1,000 columns (peer: GDI)", g.wynFade, g.rawFade,
         g.wynFade / g.rawFade, "<= 1.2");
  printf("  %-34s %10.6f %10.6f %7.2f %s\n", "  the layer's pen and line calls", g.layerFade, g.rawFade,
         g.layerFade / g.rawFade, "(bound)");
  printf("  %-34s %10.6f %10.6f %7.2f %s\n", "drag move 200 x 40 (peer: BitBlt)", g.dragMove, g.rawMove,
         g.dragMove / g.rawMove, "<= 1.5");
  printf("  %-34s %10.6f %10.6f %7.2f %s\n", "  pict_GetFromWin 239 x 69 alone", g.copyPicture, g.rawMove,
         g.copyPicture / g.rawMove, "");
  printf("  %-34s %10.6f %10.6f %7.2f %s\n", "  pict_DrawEx_0 239 x 69 alone", g.drawPicture, g.rawMove,
         g.drawPicture / g.rawMove, "");
  DestroyWindow(hw);
}

}  // namespace

int main() {
  if (rizediveva6::InitializeUnit() != 0) return 1;
  ilist_struct flags[3] = {{ListCons, 9, nullptr}, {ListCons, 10, nullptr}, {ListNil, 0, nullptr}};
  flags[0].next = &flags[1];
  flags[1].next = &flags[2];
  menu_struct nomenu{3, 0};
  return bench::RunInTask(flags, &nomenu, L"bench_wyn", Run) ? 0 : 1;
}
