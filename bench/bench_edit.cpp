// Editor text store: loading texts of 1, 10 and 100 MB (lines of 116
// characters) and a million lines of 40; line lookup near a remembered line
// (typing deep in a long text) and at random lines.  Editor windows: the
// same loads into an 800x600 editor with its first paint, 100,000 appended
// lines with a cap of 5,000 on a hidden editor, 500 undo steps each painted.
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "bench_util.h"
#include "qel6edit.h"
#include "qel6kernel.h"
#include "store.h"

using namespace QEL_EDIT::detail;

namespace {

// Stores `lines` lines of `width` characters; returns the seconds taken.
double Load(TextStore& s, int32_t lines, size_t width) {
  std::wstring text(width, L'x');
  double t0 = bench::Now();
  ChunkRef r = s.textHead;
  s.WriteLine(r, text.c_str());
  for (int32_t i = 1; i < lines; ++i) {
    r = s.InsertLineAfter(r);
    if (r.IsFailed() || !s.WriteLine(r, text.c_str())) {
      std::printf("store full at line %d\n", i);
      break;
    }
  }
  return bench::Now() - t0;
}

}  // namespace

namespace {

using namespace QEL_KWI;
using namespace QEL_EDIT;
namespace K = Qel::RunTime::Kernel;

LONG_PTR g_task = 0;
ilist_struct g_nil{ListNil, 0, nullptr};
ilist_struct g_visible{ListCons, 1, &g_nil};   // visible
ilist_struct g_hidden{ListCons, 11, &g_nil};   // invisible
menu_struct g_nomenu{3, 0};

LONG_PTR Editor(const wchar_t* text, bool visible) {
  rect_struct r{0, 0, 800, 600};
  PROLOG_EHANDLER_STRUCT none{nullptr, nullptr};
  return edit_Create(wt_toplevel, &r, L"bench.txt", &g_nomenu, g_task, visible ? &g_visible : &g_hidden,
                     nullptr, 0, 0, text, 1, &none);
}

std::wstring Lines(size_t count, size_t width) {
  std::wstring line(width, L'x');
  line += L'\n';
  std::wstring t;
  t.reserve(count * (width + 1));
  for (size_t i = 0; i < count; ++i) t += line;
  t.pop_back();
  return t;
}

void WindowCases() {
  struct Load { const char* name; size_t lines; size_t width; };
  const Load loads[] = {{"load 1 MB", (1u << 20) / 117, 116},
                        {"load 10 MB", (10u << 20) / 117, 116},
                        {"load 100 MB", (100u << 20) / 117, 116},
                        {"load 1,000,000 lines of 40", 1000000, 40}};
  std::printf("\neditor windows (800x600, first paint included)\n");
  for (const Load& l : loads) {
    std::wstring text = Lines(l.lines, l.width);
    uint8_t* mark = K::Memory::MarkGStack();
    double t0 = bench::Now();
    LONG_PTR w = Editor(text.c_str(), true);
    win_Update(w);
    double t = bench::Now() - t0;
    std::printf("  %-34s %8.1f ms (%d lines)\n", l.name, t * 1000, edit_GetNumberOfLines(w));
    DestroyWindow(reinterpret_cast<HWND>(w));
    K::Memory::ReleaseGStack(mark);
  }
  {
    LONG_PTR w = Editor(L"", false);
    double t0 = bench::Now();
    for (int i = 0; i < 100000; ++i) {
      uint8_t* mark = K::Memory::MarkGStack();
      edit_AppendStr_1(w, L"\nappended line of a log window, some forty characters", 5000);
      K::Memory::ReleaseGStack(mark);
    }
    double t = bench::Now() - t0;

    std::printf("  %-34s %8.2f s (%d lines kept)\n", "100,000 appends, cap 5,000 (hidden)", t,
                edit_GetNumberOfLines(w));
    DestroyWindow(reinterpret_cast<HWND>(w));
  }
  {
    std::wstring text = Lines(2000, 60);
    LONG_PTR w = Editor(text.c_str(), true);
    win_Update(w);
    for (int i = 0; i < 500; ++i) edit_Char(w, static_cast<uint16_t>(L'a' + i % 26));
    win_Update(w);
    double t0 = bench::Now();
    for (int i = 0; i < 500; ++i) {
      edit_Undo(w);
      win_Update(w);
    }
    double t = bench::Now() - t0;
    std::printf("  %-34s %8.2f s\n", "500 undo steps, each painted", t);
    DestroyWindow(reinterpret_cast<HWND>(w));
  }
}

LONG_PTR TaskHandler(LONG_PTR window, event_struct* e) {
  HWND w = reinterpret_cast<HWND>(window);
  if (e->kind == e_create) {
    g_task = window;
    PostMessageW(w, 0xC00F, 0x4B57, 0);
    return 0;
  }
  if (e->kind == e_user && e->w[0] == 0x4B57) {
    WindowCases();
    DestroyWindow(w);
    return 0;
  }
  K::Fail();
}

}  // namespace

int main() {
  auto* s = new TextStore;
  struct Size { const char* name; int32_t lines; size_t width; };
  const Size sizes[] = {{"1 MB", 1024 * 1024 / 2 / 118 + 1, 116},
                        {"10 MB", 10 * 1024 * 1024 / 2 / 118 + 1, 116},
                        {"100 MB", 100 * 1024 * 1024 / 2 / 118 + 1, 116},
                        {"1,000,000 lines of 40", 1000000, 40}};
  for (const Size& z : sizes) {
    s->Init(false);
    double t = Load(*s, z.lines, z.width);
    std::printf("store load %-24s %9d lines %8.1f ms\n", z.name, s->lineCount, t * 1000);
    s->FreeAll();
  }

  s->Init(false);
  Load(*s, 1000000, 40);
  // Typing at line 900,000: the same line and its neighbours again and again.
  const int rounds = 100000;
  double t0 = bench::Now();
  for (int i = 0; i < rounds; ++i) s->FindLine(900000 + (i % 3) - 1);
  double nearby = (bench::Now() - t0) / rounds;
  // A line inserted and one freed there, then looked up again.
  t0 = bench::Now();
  for (int i = 0; i < 1000; ++i) {
    ChunkRef r = s->InsertLineAfter(s->FindLine(900000));
    s->WriteLine(r, L"typed");
    s->FreeLine(s->FindLine(900001));
  }
  double edit = (bench::Now() - t0) / 1000;
  std::mt19937 rng(1);
  t0 = bench::Now();
  const int randoms = 200;
  for (int i = 0; i < randoms; ++i) s->FindLine(1 + static_cast<int32_t>(rng() % 1000000));
  double random = (bench::Now() - t0) / randoms;
  t0 = bench::Now();
  uint32_t p = s->PositionOf(900000, 1);
  double pos = bench::Now() - t0;
  std::printf("findLine near line 900,000:       %8.3f us\n", nearby * 1e6);
  std::printf("insert + free a line at 900,000:  %8.3f us\n", edit * 1e6);
  std::printf("findLine at random lines:         %8.3f ms\n", random * 1000);
  std::printf("positionOf line 900,000:          %8.3f ms (position %u)\n", pos * 1000, p);
  s->FreeAll();
  delete s;

  PROLOG_EHANDLER_STRUCT h{reinterpret_cast<void*>(&TaskHandler), nullptr};
  kwi_Init(&g_hidden, &h, &g_nomenu, nullptr, L"bench_edit");
  return 0;
}
