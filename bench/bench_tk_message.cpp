// The message window's two roads against Scintilla in the same run: 20,000
// lines through appendstr with a bound of 100 lines, and 20,000 lines through
// the message stream; the peer appends each line (SCI_APPENDTEXT) and then
// deletes the lines beyond 100.  Goal: within 1.2 times the peer's time.
#include <windows.h>

#include <cstdio>
#include <string>

#include "bench_scintilla.h"
#include "bench_task.h"
#include "bench_util.h"
#include "exception/exception.h"
#include "kwi/kwimessage/kwimessage.h"
#include "qel6edit.h"

namespace sci = bench::sci;
using namespace tav;

namespace {

constexpr int kLines = 20000;
constexpr int kBound = 100;
constexpr double kGoal = 1.2;

QEL_KWI::ilist_struct g_nil{QEL_KWI::ListNil, 0, nullptr};
QEL_KWI::menu_struct g_nomenu{3, 0};

std::wstring Line(int i) { return L"message line " + std::to_wstring(i) + L" of the benchmark\n"; }

// A one-string argument list for the stream's write.
const T::REllipsisArg* OneText(const wchar_t* s) {
  auto* a = static_cast<T::TEllipsisArgs<1>*>(GStackAlloc(sizeof(T::TEllipsisArgs<1>)));
  *a = T::TEllipsisArgs<1>{};
  a->SetValue(0, D(domains::string), s);
  return *a;
}

// Seconds for kLines lines through one road of a fresh message window.
template <class F>
double Road(F&& append, int32_t* lines) {
  LONG_PTR w = kwiMessage::create(kBound);
  QEL_KWI::kwi_ProcessEvents(1, 0);
  const double t0 = bench::Now();
  for (int i = 0; i < kLines; ++i) {
    uint8_t* mark = K::Memory::MarkGStack();
    append(Line(i).c_str());
    K::Memory::ReleaseGStack(mark);
  }
  UpdateWindow(reinterpret_cast<HWND>(w));
  const double t = bench::Now() - t0;
  *lines = QEL_EDIT::edit_GetNumberOfLines(w);
  kwiMessage::close();
  QEL_KWI::kwi_ProcessEvents(1, 0);
  return t;
}

double Peer(HWND parent, int32_t* lines) {
  sci::Editor p(parent, WS_CHILD | WS_VISIBLE, 780, 100);
  p(sci::kSetUndoCollection, 0);
  const double t0 = bench::Now();
  for (int i = 0; i < kLines; ++i) {
    const std::string text = sci::Utf8(Line(i));
    p(sci::kAppendText, text.size(), text.c_str());
    const intptr_t count = p(sci::kGetLineCount);
    if (count > kBound) p(sci::kDeleteRange, 0, p(sci::kPositionFromLine, count - kBound));
  }
  UpdateWindow(p.Window());
  const double t = bench::Now() - t0;
  *lines = static_cast<int32_t>(p(sci::kGetLineCount));
  return t;
}

void Print(const char* name, double ours, int32_t lines, double peer) {
  std::printf("  %-40s %8.1f ms (%d lines)", name, ours * 1000, lines);
  if (peer > 0)
    std::printf("  peer %8.1f ms  ratio %5.2f  goal %.1fx %s", peer * 1000, ours / peer, kGoal,
                ours / peer <= kGoal ? "met" : "MISSED");
  std::printf("\n");
}

void Run(LONG_PTR task) {
  HWND t = reinterpret_cast<HWND>(task);
  SetWindowPos(t, nullptr, 0, 0, 800, 600, SWP_NOMOVE | SWP_NOZORDER);
  int32_t peerLines = 0, appendLines = 0, streamLines = 0;
  const double peer = sci::Available() ? Peer(t, &peerLines) : -1;
  const double append = Road([](const wchar_t* s) { kwiMessage::appendstr(s); }, &appendLines);
  const double stream = Road([](const wchar_t* s) { kwiMessage::getoutputstream()->write(OneText(s)); },
                             &streamLines);
  std::printf("\nmessage window, %d lines%s\n", kLines, peer > 0 ? "; peer: Scintilla, bound 100" : "");
  if (peer > 0) std::printf("  peer keeps %d lines\n", peerLines);
  Print("appendstr, bound 100", append, appendLines, peer);
  Print("stream (no bound)", stream, streamLines, peer);
}

}  // namespace

int main() {
  InitializeUnit();
  exception::setexceptionstate(exceptionState::New());
  QEL_KWI::ilist_struct visible{QEL_KWI::ListCons, 9, &g_nil};
  bench::RunInTask(&visible, &g_nomenu, L"bench_tk_message", Run);
  return 0;
}
