// Editor text store: loading texts of 1, 10 and 100 MB (lines of 116
// characters) and a million lines of 40; line lookup near a remembered line
// (typing deep in a long text) and at random lines.  Editor windows: the
// same loads into an 800x600 editor with its first paint, 100,000 appended
// lines with a cap of 5,000 on a hidden editor, 500 undo steps each painted;
// typing at line 900,000 of a million lines, each character painted, and a
// 10 MB paste into a plain and a wrapping editor, against a peer editor's
// figures measured on this machine.
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench_task.h"
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
const char* g_only = nullptr;  // one group of window cases: "windows" or "typing"
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

// Ours against the peer's figure, with the goal's factor.
void Versus(const char* name, double ms, double peer, double goal, const char* unit = "ms") {
  std::printf("  %-34s %8.2f %s  peer %7.1f  ratio %5.2f  goal %.1fx %s\n", name, ms, unit, peer, ms / peer,
              goal, ms / peer <= goal ? "met" : "MISSED");
}

// Words of a text line, some 116 characters, as the wrapped layout sees prose.
std::wstring ProseLines(size_t bytes) {
  const std::wstring line =
      L"the quick brown fox jumps over the lazy dog while seven wizards quietly box \u00e9lite jugs of mixed liquor again";
  std::wstring t;
  t.reserve(bytes / 2 + line.size() + 1);
  while (t.size() * 2 < bytes) {
    t += line;
    t += L'\n';
  }
  t.pop_back();
  return t;
}

LONG_PTR WrapEditor(const wchar_t* text) {
  rect_struct r{0, 0, 800, 600};
  PROLOG_EHANDLER_STRUCT none{nullptr, nullptr};
  return edit_CreateWrap(wt_toplevel, &r, L"bench.txt", &g_nomenu, g_task, &g_visible, nullptr, 0, 0, 1, text, 1,
                         &none);
}

// Typing deep in a long text, each character painted; a 10 MB paste into
// a plain and a wrapping editor, painted.
void TypingAndPasteCases() {
  std::printf("\ntyping and pasting (800x600, painted)\n");
  {
    std::wstring text = Lines(1000000, 40);
    LONG_PTR w = Editor(text.c_str(), true);
    win_Update(w);
    edit_GotoLinePos(w, 900000, 20);
    win_Update(w);
    const int n = 500;
    double t0 = bench::Now();
    for (int i = 0; i < n; ++i) {
      edit_Char(w, static_cast<uint16_t>(L'a' + i % 26));
      win_Update(w);
    }
    double t = (bench::Now() - t0) / n;
    Versus("typing at line 900,000 of 1,000,000", t * 1000, 1.9, 1.5, "ms/char");
    DestroyWindow(reinterpret_cast<HWND>(w));
  }
  // Line feeds as an X client gives them; CR LF as Windows programs (and
  // this editor's copy) put them.
  const std::wstring paste = ProseLines(10u << 20);
  std::wstring crlf;
  crlf.reserve(paste.size() + paste.size() / 50);
  for (wchar_t c : paste) {
    if (c == L'\n') crlf += L'\r';
    crlf += c;
  }
  struct Paste { bool wrap; const std::wstring* text; const char* ends; };
  for (const Paste& c : {Paste{false, &paste, "LF"}, Paste{false, &crlf, "CR LF"}, Paste{true, &paste, "LF"}}) {
    const bool wrap = c.wrap;
    LONG_PTR w = wrap ? WrapEditor(L"") : Editor(L"", true);
    win_Update(w);
    cb_PutString(c.text->c_str());
    uint8_t* mark = K::Memory::MarkGStack();
    double t0 = bench::Now();
    edit_Paste(w);
    win_Update(w);
    double t = bench::Now() - t0;
    K::Memory::ReleaseGStack(mark);
    // The GUI layer's clipboard read alone (Wine's GetClipboardData and a copy).
    mark = K::Memory::MarkGStack();
    t0 = bench::Now();
    cb_GetString();
    const double fetch = bench::Now() - t0;
    K::Memory::ReleaseGStack(mark);
    char name[64];
    std::snprintf(name, sizeof name, "paste 10 MB %s, %s (%d rows)", c.ends, wrap ? "wrapped" : "plain",
                  edit_GetNumberOfLines(w));
    Versus(name, t * 1000, wrap ? 549 : 107, wrap ? 2.0 : 1.5);
    std::printf("    a clipboard read alone (the same for every reader) %.1f ms\n", fetch * 1000);
    DestroyWindow(reinterpret_cast<HWND>(w));
  }
}

// The window cases, from inside the task's message loop.
void Run(LONG_PTR task) {
  g_task = task;
  if (!g_only || !std::strcmp(g_only, "windows")) WindowCases();
  if (!g_only || !std::strcmp(g_only, "typing")) TypingAndPasteCases();
}

}  // namespace

int main(int argc, char** argv) {
  // "typing" or "windows": only that group of window cases, no store cases.
  if (argc > 1) {
    g_only = argv[1];
    bench::RunInTask(&g_hidden, &g_nomenu, L"bench_edit", Run);
    return 0;
  }
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

  bench::RunInTask(&g_hidden, &g_nomenu, L"bench_edit", Run);
  return 0;
}
