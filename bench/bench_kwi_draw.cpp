// Drawing through the GUI layer against raw GDI: lines, rectangles and texts
// per second inside an update event (the layer's held paint context against
// GDI calls on that same context) and outside one (the layer acquiring and
// preparing a context per call against GetDC + draw + ReleaseDC); and
// pict_Rotate of a 4000 x 3000 24-bit picture against Pillow's transpose.
#include <windows.h>

#include <cstdio>
#include <string>

#include "bench_task.h"
#include "bench_util.h"
#include "qel6kernel.h"
#include "qel6kwi.h"

using namespace QEL_KWI;
namespace K = Qel::RunTime::Kernel;

namespace {

constexpr int N = 20000;

enum Kind { Lines, Rects, Texts };
const char* const kNames[] = {"lines", "rectangles", "texts"};

void LayerDraw(LONG_PTR w, Kind k, int i) {
  pnt_struct a{i % 200, 5}, b{(i * 7) % 200, 150};
  rect_struct r{i % 100, 10, i % 100 + 60, 80};
  switch (k) {
    case Lines: draw_Line(w, &a, &b); break;
    case Rects: draw_Rect(w, &r); break;
    case Texts: draw_Text(w, i % 100, 40, L"Roster 2026", -1); break;
  }
}

void RawDraw(HDC dc, Kind k, int i) {
  switch (k) {
    case Lines:
      MoveToEx(dc, i % 200, 5, nullptr);
      LineTo(dc, (i * 7) % 200, 150);
      break;
    case Rects: Rectangle(dc, i % 100, 10, i % 100 + 60, 80); break;
    case Texts:
      SetTextAlign(dc, TA_BASELINE);
      TextOutW(dc, i % 100, 40, L"Roster 2026", 11);
      SetTextAlign(dc, 0);
      break;
  }
}

double g_paintLayer[3], g_paintRaw[3];
Kind g_paintKind;

LONG_PTR Painter(LONG_PTR window, event_struct* e) {
  if (e->kind != e_update) K::Fail();
  int acquired = 0;
  HDC dc = win_GetNativeGraphicContext(window, &acquired);
  double t = bench::Now();
  for (int i = 0; i < N; ++i) LayerDraw(window, g_paintKind, i);
  g_paintLayer[g_paintKind] = bench::Now() - t;
  t = bench::Now();
  for (int i = 0; i < N; ++i) RawDraw(dc, g_paintKind, i);
  g_paintRaw[g_paintKind] = bench::Now() - t;
  return 0;
}

void DrawingFigures(HWND task) {
  ilist_struct visible{ListCons, 10, nullptr}, nil{ListNil, 0, nullptr};
  visible.next = &nil;
  menu_struct nomenu{3, 0};
  rect_struct r{0, 0, 300, 200};
  PROLOG_EHANDLER_STRUCT painter{reinterpret_cast<void*>(&Painter), nullptr};
  LONG_PTR w = win_Create(wt_child, &r, L"", &nomenu, reinterpret_cast<LONG_PTR>(task), &visible, &painter, 0);
  HWND hw = reinterpret_cast<HWND>(w);
  printf("Drawing: %d calls each, seconds and calls per second\n", N);
  printf("  %-11s %-24s %10s %12s %10s %12s %7s\n", "primitive", "where", "layer s", "layer /s",
         "raw s", "raw /s", "ratio");
  for (Kind k : {Lines, Rects, Texts}) {
    g_paintKind = k;
    InvalidateRect(hw, nullptr, FALSE);
    UpdateWindow(hw);
    printf("  %-11s %-24s %10.4f %12.0f %10.4f %12.0f %7.2f\n", kNames[k], "update event (held)",
           g_paintLayer[k], N / g_paintLayer[k], g_paintRaw[k], N / g_paintRaw[k],
           g_paintLayer[k] / g_paintRaw[k]);
  }
  for (Kind k : {Lines, Rects, Texts}) {
    double t = bench::Now();
    for (int i = 0; i < N; ++i) LayerDraw(w, k, i);
    double layer = bench::Now() - t;
    t = bench::Now();
    for (int i = 0; i < N; ++i) {
      HDC dc = GetDC(hw);
      RawDraw(dc, k, i);
      ReleaseDC(hw, dc);
    }
    double raw = bench::Now() - t;
    printf("  %-11s %-24s %10.4f %12.0f %10.4f %12.0f %7.2f\n", kNames[k], "acquired per call",
           layer, N / layer, raw, N / raw, layer / raw);
  }
  printf("  goals: ratio <= 1.3 inside the update event, <= 1.5 with a context per call\n");
  DestroyWindow(hw);
}

void RotateFigures() {
  const int w = 4000, h = 3000;
  const uint32_t image = static_cast<uint32_t>(((w * 24 + 31) / 32) * 4) * h;
  auto* block = static_cast<uint8_t*>(K::Memory::AllocAtomicHeap(4 + 40 + image));
  uint32_t size = 4 + 40 + image;
  memcpy(block, &size, 4);
  BITMAPINFOHEADER bi{sizeof bi, w, h, 1, 24, BI_RGB, image, 0, 0, 0, 0};
  memcpy(block + 4, &bi, sizeof bi);
  for (uint32_t i = 0; i < image; ++i) block[44 + i] = static_cast<uint8_t>(i * 2654435761u >> 24);
  picture p = pict_FromBin(block + 4);
  double best = 1e9;
  for (int round = 0; round < 3; ++round) {
    uint8_t* mark = K::Memory::MarkGStack();
    double t = bench::Now();
    picture turned = pict_Rotate(p, 1);
    best = std::min(best, bench::Now() - t);
    K::Memory::ReleaseHeap(turned);
    K::Memory::ReleaseGStack(mark);
  }
  std::string out = bench::RunUnixProgram(
      nullptr, L"/usr/bin/python3 " _CRT_WIDE(KWI_BENCH_DIR) L"/pillow_transpose.py /tmp/kwi_bench_transpose.txt",
      L"Z:\\tmp\\kwi_bench_transpose.txt", 120);
  double pillow = out.empty() ? 0 : atof(out.c_str());
  printf("pict_Rotate of a 4000 x 3000 24-bit picture, a quarter turn (best of 3)\n");
  printf("  layer %.4f s", best);
  if (pillow > 0) printf(", Pillow transpose %.4f s, ratio %.2f (goal <= 2)\n", pillow, best / pillow);
  else printf(", Pillow not available\n");
}

// The figures, from inside the task's message loop.
void Run(LONG_PTR task) {
  DrawingFigures(reinterpret_cast<HWND>(task));
  RotateFigures();
}

}  // namespace

int main() {
  ilist_struct flags[3] = {{ListCons, 9, nullptr}, {ListCons, 10, nullptr}, {ListNil, 0, nullptr}};
  flags[0].next = &flags[1];
  flags[1].next = &flags[2];
  menu_struct nomenu{3, 0};
  return bench::RunInTask(flags, &nomenu, L"bench_kwi_draw", Run) ? 0 : 1;
}
