// Word-wrapping editor windows (800x600, shown): a 10 MB paste (lines of
// 116 characters) into an empty editor with its paint; typing 200 characters at the start of a
// logical line of 1 MB and at line 5,000 of 10,000, each character painted.
// An edit lays out again only its own logical line, from the edited row on.
// With any argument the editors are made with wrapping off.
#include <cstdio>
#include <string>

#include "bench_task.h"
#include "bench_util.h"
#include "qel6edit.h"
#include "qel6kernel.h"

namespace {

using namespace QEL_KWI;
using namespace QEL_EDIT;
namespace K = Qel::RunTime::Kernel;

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

void Cases() {
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
  }
  {
    std::wstring text = Words(1, 1u << 20);
    LONG_PTR w = Editor(text.c_str());
    std::printf("  %-44s %8.3f ms a character (%d rows)\n", "typing at the start of a 1 MB logical line",
                Typing(w, 3), edit_GetNumberOfLines(w));
    DestroyWindow(reinterpret_cast<HWND>(w));
  }
  {
    std::wstring text = Words(10000, 116);
    LONG_PTR w = Editor(text.c_str());
    std::printf("  %-44s %8.3f ms a character\n", "typing at line 5,000 of 10,000",
                Typing(w, static_cast<uint32_t>(text.size() / 2)));
    DestroyWindow(reinterpret_cast<HWND>(w));
  }
}

}  // namespace

int main(int argc, char**) {
  if (argc > 1) g_wrap = 0;
  std::printf("word-wrapping editor windows (800x600, painted)\n");
  bench::RunInTask(&g_hidden, &g_nomenu, L"bench_edit_wrap", [](LONG_PTR task) {
    g_task = task;
    Cases();
  });
  return 0;
}
