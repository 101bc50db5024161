// Word-wrapping editor windows (800x600, shown): a 10 MB paste (lines of
// 116 characters) into an empty editor with its paint; typing 200 characters at the start of a
// logical line of 1 MB and at line 5,000 of 10,000, each character painted.
// An edit lays out again only its own logical line, from the edited row on.
// Each case runs the same on Scintilla (bench_scintilla.h) in this
// process.  With any argument the editors (the peer's too) are made with
// wrapping off.
#include <cstdio>
#include <string>

#include "bench_scintilla.h"
#include "bench_task.h"
#include "bench_util.h"
#include "qel6edit.h"
#include "qel6kernel.h"

namespace {

using namespace QEL_KWI;
using namespace QEL_EDIT;
namespace K = Qel::RunTime::Kernel;
namespace sci = bench::sci;

LONG_PTR g_task = 0;
int32_t g_wrap = 1;  // any argument: the same editors with wrapping off
ilist_struct g_nil{ListNil, 0, nullptr};
ilist_struct g_visible{ListCons, 1, &g_nil};
ilist_struct g_hidden{ListCons, 11, &g_nil};
menu_struct g_nomenu{3, 0};

LONG_PTR Editor(const wchar_t* text) {
  rect_struct r{0, 0, 800, 600};
  PROLOG_EHANDLER_STRUCT none{nullptr, nullptr};
  return edit_CreateWrap(wt_toplevel, &r, L"bench.txt", &g_nomenu, g_task, &g_visible, nullptr, 0, 0, g_wrap, text, 1,
                         &none);
}

// The peer's window as Editor() makes ours, drawing with our editor's font.
sci::Font g_font{};
sci::Editor* PeerEditor(const std::string& text) {
  auto* p = new sci::Editor(reinterpret_cast<HWND>(g_task), WS_CHILD | WS_VISIBLE | WS_BORDER, 800, 600);
  if (g_font.face[0]) p->SetFont(g_font);
  if (g_wrap) (*p)(sci::kSetWrapMode, sci::kWrapWord);
  (*p)(sci::kSetUndoCollection, 0);
  (*p)(sci::kSetText, 0, text.c_str());
  (*p)(sci::kSetUndoCollection, 1);
  return p;
}

// The peer's figure beside ours.
void Peer(double ms, double peer) {
  if (peer > 0) std::printf("  %-44s %8.3f ms  ratio %.2f\n", "  peer", peer, ms / peer);
}

// `count` lines of words, about `width` characters each.
std::wstring Words(size_t count, size_t width) {
  std::wstring line;
  for (int i = 0; line.size() + 6 <= width; ++i) line += L"word" + std::to_wstring(i % 10) + L" ";
  std::wstring t;
  t.reserve(count * (line.size() + 1));
  for (size_t i = 0; i < count; ++i) t += line + L"\n";
  t.pop_back();
  return t;
}

// Milliseconds per character typed at `position`, each painted.
double Typing(LONG_PTR w, uint32_t position) {
  edit_GotoPos(w, position);
  win_Update(w);
  const double t0 = bench::Now();
  for (int i = 0; i < 200; ++i) {
    edit_Char(w, static_cast<uint16_t>(i % 7 == 6 ? L' ' : L'a' + i % 26));
    win_Update(w);
  }
  return (bench::Now() - t0) * 1000 / 200;
}

// The same on the peer (`position` counted from 1, as ours).
double Typing(const sci::Editor& p, uint32_t position) {
  p(sci::kGotoPos, position - 1);
  UpdateWindow(p.Window());
  const double t0 = bench::Now();
  for (int i = 0; i < 200; ++i) {
    p(WM_CHAR, i % 7 == 6 ? ' ' : 'a' + i % 26);
    UpdateWindow(p.Window());
  }
  return (bench::Now() - t0) * 1000 / 200;
}

void Cases() {
  const bool peer = sci::Available();
  {
    const std::wstring text = Words((10u << 20) / 117, 116);
    LONG_PTR w = Editor(L"");
    win_Update(w);
    uint8_t* mark = K::Memory::MarkGStack();
    const double t0 = bench::Now();
    edit_PasteStr_0(w, 1, text.c_str());
    win_Update(w);
    const double t = bench::Now() - t0;
    K::Memory::ReleaseGStack(mark);
    std::printf("  %-44s %8.1f ms (%d rows)\n", "paste 10 MB into an empty editor", t * 1000,
                edit_GetNumberOfLines(w));
    DestroyWindow(reinterpret_cast<HWND>(w));
    // The peer lays out the rows it paints, the rest in idle time: the
    // second figure is the time until every row is laid out (forced by
    // making the last line visible).
    if (peer) {
      const std::string bytes = sci::Utf8(text);
      sci::Editor* p = PeerEditor("");
      UpdateWindow(p->Window());
      const double t0 = bench::Now();
      (*p)(sci::kReplaceSel, 0, bytes.c_str());
      UpdateWindow(p->Window());
      const double painted = (bench::Now() - t0) * 1000;
      (*p)(sci::kEnsureVisible, (*p)(sci::kGetLineCount) - 1);
      const double all = (bench::Now() - t0) * 1000;
      std::printf("  %-44s %8.1f ms  ratio %.2f; every row laid out after %.1f ms (%d rows), ratio %.2f\n",
                  "  peer", painted, t * 1000 / painted, all, static_cast<int>(p->Rows()), t * 1000 / all);
      delete p;
    }
  }
  {
    std::wstring text = Words(1, 1u << 20);
    LONG_PTR w = Editor(text.c_str());
    const double ms = Typing(w, 3);
    std::printf("  %-44s %8.3f ms a character (%d rows)\n", "typing at the start of a 1 MB logical line", ms,
                edit_GetNumberOfLines(w));
    DestroyWindow(reinterpret_cast<HWND>(w));
    if (peer) {
      sci::Editor* p = PeerEditor(sci::Utf8(text));
      UpdateWindow(p->Window());
      Peer(ms, Typing(*p, 3));
      delete p;
    }
  }
  {
    std::wstring text = Words(10000, 116);
    LONG_PTR w = Editor(text.c_str());
    const uint32_t middle = static_cast<uint32_t>(text.size() / 2);
    const double ms = Typing(w, middle);
    std::printf("  %-44s %8.3f ms a character\n", "typing at line 5,000 of 10,000", ms);
    DestroyWindow(reinterpret_cast<HWND>(w));
    if (peer) {
      sci::Editor* p = PeerEditor(sci::Utf8(text));
      UpdateWindow(p->Window());
      Peer(ms, Typing(*p, middle));
      delete p;
    }
  }
}

}  // namespace

int main(int argc, char**) {
  if (argc > 1) g_wrap = 0;
  std::printf("word-wrapping editor windows (800x600, painted)\n");
  const bool ran = bench::RunInTask(&g_hidden, &g_nomenu, L"bench_edit_wrap", [](LONG_PTR task) {
    g_task = task;
    // Shown and as large as the editors, so that their paints draw: the
    // children of a hidden window get no paint at all.
    SetWindowPos(reinterpret_cast<HWND>(task), nullptr, 0, 0, 800, 600,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    // Our editor's font, for the peer too; the first window pays for fonts
    // and classes.
    uint8_t* mark = K::Memory::MarkGStack();
    LONG_PTR w = Editor(L"warm");
    win_Update(w);
    g_font = sci::FontOf(w);
    DestroyWindow(reinterpret_cast<HWND>(w));
    K::Memory::ReleaseGStack(mark);
    if (sci::Available()) delete PeerEditor("warm");
    Cases();
  });
  return ran ? 0 : 1;
}
