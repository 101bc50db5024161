// Editor text store: loading texts of 1, 10 and 100 MB (lines of 116
// characters) and a million lines of 40; line lookup near a remembered line
// (typing deep in a long text) and at random lines.  Editor windows: the
// same loads into an 800x600 editor with its first paint, 100,000 appended
// lines with a cap of 5,000 on a hidden editor, 500 undo steps each painted;
// typing at line 900,000 of a million lines, each character painted, and a
// 10 MB paste into a plain and a wrapping editor.  Each window case runs the
// same on Scintilla (bench_scintilla.h) in this process and prints both
// figures and their ratio against the goal.
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench_scintilla.h"
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
namespace sci = bench::sci;

LONG_PTR g_task = 0;
const char* g_only = nullptr;  // one group of window cases: "windows" or "typing"
ilist_struct g_nil{ListNil, 0, nullptr};
ilist_struct g_visible{ListCons, 1, &g_nil};   // visible
ilist_struct g_hidden{ListCons, 11, &g_nil};   // invisible
menu_struct g_nomenu{3, 0};

// Both sides' windows are children of the task window, 800x600, shown with a
// border or hidden.
LONG_PTR Editor(const wchar_t* text, bool visible) {
  rect_struct r{0, 0, 800, 600};
  PROLOG_EHANDLER_STRUCT none{nullptr, nullptr};
  return edit_Create(wt_toplevel, &r, L"bench.txt", &g_nomenu, g_task, visible ? &g_visible : &g_hidden,
                     nullptr, 0, 0, text, 1, &none);
}

// The font our editor draws with (WarmUp); the peer's windows draw with it
// too.
sci::Font g_font{};

// The peer's window, as Editor() makes ours.
sci::Editor* PeerEditor(bool visible) {
  auto* p = new sci::Editor(reinterpret_cast<HWND>(g_task), WS_CHILD | (visible ? WS_VISIBLE | WS_BORDER : 0), 800,
                            600);
  if (g_font.face[0]) p->SetFont(g_font);
  return p;
}

// Loads a text into a new peer window the way a program opens a file (no
// undo step for it); returns the window.
sci::Editor* PeerWithText(const std::string& text) {
  sci::Editor* p = PeerEditor(true);
  (*p)(sci::kSetUndoCollection, 0);
  (*p)(sci::kSetText, 0, text.c_str());
  (*p)(sci::kSetUndoCollection, 1);
  return p;
}

// Ours against the peer's figure (below 0: no peer), with the goal's factor.
void Versus(const char* name, double ours, double peer, double goal, const char* unit = "ms") {
  if (peer < 0) {
    std::printf("  %-44s %8.2f %s\n", name, ours, unit);
    return;
  }
  std::printf("  %-44s %8.2f %s  peer %8.2f  ratio %5.2f  goal %.1fx %s\n", name, ours, unit, peer, ours / peer,
              goal, ours / peer <= goal ? "met" : "MISSED");
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
  const bool peer = sci::Available();
  std::printf("\neditor windows (800x600, first paint included%s)\n", peer ? "; peer: Scintilla" : "");
  for (const Load& l : loads) {
    std::wstring text = Lines(l.lines, l.width);
    uint8_t* mark = K::Memory::MarkGStack();
    double t0 = bench::Now();
    LONG_PTR w = Editor(text.c_str(), true);
    win_Update(w);
    const double t = bench::Now() - t0;
    const int32_t lines = edit_GetNumberOfLines(w);
    DestroyWindow(reinterpret_cast<HWND>(w));
    K::Memory::ReleaseGStack(mark);
    double theirs = -1;
    if (peer) {
      const std::string bytes = sci::Utf8(text);
      text = std::wstring();
      t0 = bench::Now();
      sci::Editor* p = PeerWithText(bytes);
      UpdateWindow(p->Window());
      theirs = (bench::Now() - t0) * 1000;
      if ((*p)(sci::kGetLineCount) != lines) std::printf("  peer holds %d lines\n", int((*p)(sci::kGetLineCount)));
      delete p;
    }
    char name[64];
    std::snprintf(name, sizeof name, "%s (%d lines)", l.name, lines);
    Versus(name, t * 1000, theirs, 1.5);
  }
  {
    LONG_PTR w = Editor(L"", false);
    double t0 = bench::Now();
    for (int i = 0; i < 100000; ++i) {
      uint8_t* mark = K::Memory::MarkGStack();
      edit_AppendStr_1(w, L"\nappended line of a log window, some forty characters", 5000);
      K::Memory::ReleaseGStack(mark);
    }
    const double t = bench::Now() - t0;
    const int32_t kept = edit_GetNumberOfLines(w);
    DestroyWindow(reinterpret_cast<HWND>(w));
    // The peer: the head trimmed to the cap before each append, as ours
    // does, and the caret taken to the end (SCI_GOTOPOS, as a log pane
    // follows its end); no undo.
    double theirs = -1;
    if (peer) {
      sci::Editor* p = PeerEditor(false);
      (*p)(sci::kSetUndoCollection, 0);
      const char* line = "\nappended line of a log window, some forty characters";
      const uintptr_t length = std::strlen(line);
      t0 = bench::Now();
      for (int i = 0; i < 100000; ++i) {
        const intptr_t lines = (*p)(sci::kGetLineCount);
        if (lines > 5000) (*p)(sci::kDeleteRange, 0, (*p)(sci::kPositionFromLine, lines - 5000));
        (*p)(sci::kAppendText, length, line);
        (*p)(sci::kGotoPos, (*p)(sci::kGetLength));
      }
      theirs = bench::Now() - t0;
      if ((*p)(sci::kGetLineCount) != kept) std::printf("  peer keeps %d lines\n", int((*p)(sci::kGetLineCount)));
      delete p;
    }
    char name[64];
    std::snprintf(name, sizeof name, "100,000 appends, cap 5,000 (%d kept)", kept);
    Versus(name, t, theirs, 1.0, "s");
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
    const double t = bench::Now() - t0;
    DestroyWindow(reinterpret_cast<HWND>(w));
    // The peer: each typed character an undo step of its own (it would
    // merge adjacent typing into one).
    double theirs = -1;
    if (peer) {
      sci::Editor* p = PeerWithText(sci::Utf8(text));
      const intptr_t length = (*p)(sci::kGetLength);
      UpdateWindow(p->Window());
      for (int i = 0; i < 500; ++i) {
        (*p)(sci::kBeginUndoAction);
        (*p)(WM_CHAR, 'a' + i % 26);
        (*p)(sci::kEndUndoAction);
      }
      UpdateWindow(p->Window());
      bool steps = false;
      t0 = bench::Now();
      for (int i = 0; i < 500; ++i) {
        if (i == 499) steps = (*p)(sci::kCanUndo) != 0;
        (*p)(sci::kUndo);
        UpdateWindow(p->Window());
      }
      theirs = bench::Now() - t0;
      if (!steps || (*p)(sci::kGetLength) != length) std::printf("  peer: not 500 undo steps\n");
      delete p;
    }
    Versus("500 undo steps, each painted", t, theirs, 1.5, "s");
  }
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
  const bool peer = sci::Available();
  std::printf("\ntyping and pasting (800x600, painted%s)\n", peer ? "; peer: Scintilla" : "");
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
    const double t = (bench::Now() - t0) / n;
    DestroyWindow(reinterpret_cast<HWND>(w));
    double theirs = -1;
    if (peer) {
      sci::Editor* p = PeerWithText(sci::Utf8(text));
      UpdateWindow(p->Window());
      (*p)(sci::kGotoPos, (*p)(sci::kPositionFromLine, 900000 - 1) + 20 - 1);
      UpdateWindow(p->Window());
      t0 = bench::Now();
      for (int i = 0; i < n; ++i) {
        (*p)(WM_CHAR, 'a' + i % 26);
        UpdateWindow(p->Window());
      }
      theirs = (bench::Now() - t0) / n * 1000;
      delete p;
    }
    Versus("typing at line 900,000 of 1,000,000", t * 1000, theirs, 1.5, "ms/char");
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
    const double t = bench::Now() - t0;
    K::Memory::ReleaseGStack(mark);
    // The GUI layer's clipboard read alone (Wine's GetClipboardData and a copy).
    mark = K::Memory::MarkGStack();
    t0 = bench::Now();
    cb_GetString();
    const double fetch = bench::Now() - t0;
    K::Memory::ReleaseGStack(mark);
    const int32_t rows = edit_GetNumberOfLines(w);
    DestroyWindow(reinterpret_cast<HWND>(w));
    // The peer pastes the same clipboard text (its line ends made CR LF,
    // its default).  Wrapping, it lays out only the rows it paints and the
    // rest later, in idle time: the second figure is the time until it has
    // laid out every row (forced by making the last line visible).
    double theirs = -1, allRows = 0;
    intptr_t peerRows = 0;
    if (peer) {
      sci::Editor* p = PeerEditor(true);
      if (wrap) (*p)(sci::kSetWrapMode, sci::kWrapWord);
      UpdateWindow(p->Window());
      t0 = bench::Now();
      (*p)(sci::kPaste);
      UpdateWindow(p->Window());
      theirs = (bench::Now() - t0) * 1000;
      if (wrap) {
        (*p)(sci::kEnsureVisible, (*p)(sci::kGetLineCount) - 1);
        allRows = (bench::Now() - t0) * 1000;
      }
      peerRows = p->Rows();
      delete p;
    }
    char name[64];
    std::snprintf(name, sizeof name, "paste 10 MB %s, %s (%d rows)", c.ends, wrap ? "wrapped" : "plain", rows);
    Versus(name, t * 1000, theirs, wrap ? 2.0 : 1.5);
    std::printf("    a clipboard read alone (the same for every reader) %.1f ms", fetch * 1000);
    if (peer) std::printf("; peer rows %d", static_cast<int>(peerRows));
    if (peer && wrap) std::printf(", all laid out after %.1f ms (ratio %.2f)", allRows, t * 1000 / allRows);
    std::printf("\n");
  }
}

// One window of each side made, painted and destroyed before the timed
// cases, so that no first case pays for loading fonts and classes; takes
// our editor's font.
void WarmUp() {
  uint8_t* mark = K::Memory::MarkGStack();
  LONG_PTR w = Editor(L"warm", true);
  win_Update(w);
  g_font = sci::FontOf(w);
  DestroyWindow(reinterpret_cast<HWND>(w));
  K::Memory::ReleaseGStack(mark);
  std::printf("editor font (the peer draws with it too): %ls, %d pixels, weight %d\n", g_font.face,
              g_font.height, g_font.weight);
  if (!sci::Available()) return;
  sci::Editor* p = PeerEditor(true);
  (*p)(sci::kSetText, 0, "warm");
  UpdateWindow(p->Window());
  delete p;
}

// The window cases, from inside the task's message loop.
void Run(LONG_PTR task) {
  g_task = task;
  // Shown and as large as the editors, so that their paints draw: the
  // children of a hidden window get no paint at all.
  SetWindowPos(reinterpret_cast<HWND>(task), nullptr, 0, 0, 800, 600, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  WarmUp();
  if (!g_only || !std::strcmp(g_only, "windows")) WindowCases();
  if (!g_only || !std::strcmp(g_only, "typing")) TypingAndPasteCases();
}

}  // namespace

int main(int argc, char** argv) {
  // "typing" or "windows": only that group of window cases, no store cases.
  if (argc > 1) {
    g_only = argv[1];
    return bench::RunInTask(&g_hidden, &g_nomenu, L"bench_edit", Run) ? 0 : 1;
  }
  auto* s = new TextStore();  // zeroed: an empty store
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

  return bench::RunInTask(&g_hidden, &g_nomenu, L"bench_edit", Run) ? 0 : 1;
}
