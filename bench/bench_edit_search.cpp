// Editor search below the window: a word near the end of a 10 MB text, plain
// (line by line, exact and ignoring case) and through the regular-expression
// layer over the joined text; a regular-expression Change All of 10,000
// matches in 20,000 lines (550 k characters); and the layer alone scanning and
// rebuilding the same text; a pattern that backtracks at every start of a
// million characters.  Scintilla (bench_scintilla.h) searches and changes the
// same texts in this process, and its figures are printed beside ours.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench_scintilla.h"
#include "bench_util.h"
#include "changeall.h"
#include "core.h"
#include "find.h"
#include "qel6kernel.h"
#include "search.h"

using namespace QEL_EDIT::detail;
namespace sci = bench::sci;

namespace {

struct Lines : LineSource, ChangeSink {
  std::vector<std::wstring> lines;
  int32_t LineCount() override { return static_cast<int32_t>(lines.size()); }
  const wchar_t* Line(int32_t n, int32_t* length) override {
    *length = static_cast<int32_t>(lines[n - 1].size());
    return lines[n - 1].c_str();
  }
  bool ChangedLine(int32_t n, const wchar_t* text, int32_t length) override {
    lines[n - 1].assign(text, length);
    return true;
  }
};

template <class F>
double Best(int runs, F&& f) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) {
    double t0 = bench::Now();
    f();
    best = std::min(best, bench::Now() - t0);
  }
  return best * 1000;
}

// A hidden peer window holding `text`, or null without the peer.
sci::Editor* PeerHolding(const std::wstring& text) {
  if (!sci::Available()) return nullptr;
  auto* p = new sci::Editor(nullptr, WS_OVERLAPPEDWINDOW, 800, 600);
  (*p)(sci::kSetUndoCollection, 0);
  (*p)(sci::kSetText, 0, sci::Utf8(text).c_str());
  return p;
}

// The peer searching its whole text for the word, best of five.
std::string PeerSearch(const sci::Editor& p, bool regex, bool caseSensitive) {
  const char* word = caseSensitive ? "Needleword" : "NEEDLEWORD";
  const intptr_t length = p(sci::kGetLength);
  intptr_t at = -1;
  const double ms = Best(5, [&] {
    p(sci::kSetTargetRange, 0, length);
    p(sci::kSetSearchFlags, (caseSensitive ? sci::kFindMatchCase : 0) | (regex ? sci::kFindRegExp : 0));
    at = p(sci::kSearchInTarget, std::strlen(word), word);
  });
  char out[64];
  std::snprintf(out, sizeof out, at < 0 ? "not found" : "%.1f ms", ms);
  return out;
}

// The peer's Change All of the same pattern with one of its engines, as a
// program on it makes one (search the target, replace it, search on after
// the replacement; one undo step), and that undo; best of five, in ms.
struct PeerChange {
  double change = -1, undo = -1;
  int count = 0;
};
PeerChange PeerChangeAll(const std::wstring& text, uintptr_t engine) {
  PeerChange r;
  if (!sci::Available()) return r;
  const std::string bytes = sci::Utf8(text);
  sci::Editor p(nullptr, WS_OVERLAPPEDWINDOW, 800, 600);
  const char* find = "(\\w+) = (\\w+)";
  const char* replacement = "\\2 := \\1";
  for (int run = 0; run < 5; ++run) {
    p(sci::kSetText, 0, bytes.c_str());
    p(sci::kEmptyUndoBuffer);
    int count = 0;
    const double t0 = bench::Now();
    p(sci::kBeginUndoAction);
    p(sci::kSetSearchFlags, engine | sci::kFindMatchCase);
    p(sci::kSetTargetRange, 0, p(sci::kGetLength));
    while (p(sci::kSearchInTarget, std::strlen(find), find) >= 0) {
      p(sci::kReplaceTargetRe, std::strlen(replacement), replacement);
      p(sci::kSetTargetRange, p(sci::kGetTargetEnd), p(sci::kGetLength));
      ++count;
    }
    p(sci::kEndUndoAction);
    const double t1 = bench::Now();
    p(sci::kUndo);
    const double t2 = bench::Now();
    if (run == 0 || (t1 - t0) * 1000 < r.change) r.change = (t1 - t0) * 1000;
    if (run == 0 || (t2 - t1) * 1000 < r.undo) r.undo = (t2 - t1) * 1000;
    r.count = count;
  }
  return r;
}

// "[peer: ...]" for a Change All line.
void PrintPeerChange(const PeerChange& own, const PeerChange& cxx, bool undo) {
  if (own.change < 0) return;
  std::printf("   [peer: %.1f ms", own.change);
  if (undo) std::printf(", undo %.1f ms", own.undo);
  std::printf(", %.1f ms with its C++11 engine; %d replacements]", cxx.change, own.count);
}

void SearchTenMegabytes() {
  Lines text;
  std::wstring line = L"    the quick brown fox jumps over the lazy dog; 0123456789 ok";
  size_t chars = 0;
  while (chars < 5 * 1024 * 1024) {  // 10 MB of UTF-16
    text.lines.push_back(line);
    chars += line.size() + 1;
  }
  text.lines[text.lines.size() - 3] += L" Needleword";
  std::wstring joined;
  for (auto& l : text.lines) joined += l + L"\n";
  joined.pop_back();

  sci::Editor* peer = PeerHolding(joined);
  for (bool caseSensitive : {true, false}) {
    const wchar_t* word = caseSensitive ? L"Needleword" : L"NEEDLEWORD";
    int32_t n = 10;
    std::wstring up(n, 0), low(n, 0);
    BuildCaseVariants(word, n, caseSensitive, up.data(), low.data());
    CaseVariants v{up.data(), low.data(), n};
    int32_t foundLine = 0;
    double plain = Best(5, [&] {
      for (int32_t i = 1; i <= text.LineCount(); ++i) {
        int32_t len = 0, col = 1;
        const wchar_t* l = text.Line(i, &len);
        if (MatchForward(l, len, v, false, &col)) {
          foundLine = i;
          break;
        }
      }
    });
    QEL_buffer_info* rec = nullptr;
    QEL_re_compile_pattern_case(word, &rec, !caseSensitive);
    int32_t s = 0, m = 0;
    double regex = Best(5, [&] {
      RegexFind(rec, joined.c_str(), static_cast<int32_t>(joined.size()), true, 0,
                static_cast<int32_t>(joined.size()), &s, &m);
    });
    QEL_re_free(rec);
    std::printf("word near the end of 10 MB, %s: plain %.1f ms (line %d), regular expression %.1f ms"
                " (offset %d)",
                caseSensitive ? "exact" : "ignoring case", plain, foundLine, regex, s);
    if (peer)
      std::printf("   [peer: plain %s, regular expression %s]", PeerSearch(*peer, false, caseSensitive).c_str(),
                  PeerSearch(*peer, true, caseSensitive).c_str());
    std::printf("\n");
  }
  delete peer;
}

void ChangeAllTenThousand() {
  Lines base;
  for (int i = 0; i < 20000; ++i) {
    wchar_t l[64];
    if (i % 2 == 0)
      swprintf(l, 64, L"  key%05d = value%05d;", i, i);
    else
      swprintf(l, 64, L"  // plain comment line %05d", i);
    base.lines.push_back(l);
  }
  size_t chars = 0;
  for (auto& l : base.lines) chars += l.size() + 1;
  ChangeAllSpec spec{};
  spec.find = L"(\\w+) = (\\w+)";
  spec.replacement = L"\\2 := \\1";
  spec.regex = spec.caseSensitive = spec.forward = true;
  spec.line = spec.column = 1;
  int32_t count = 0;
  double changeAll = Best(5, [&] {
    Lines work = base;
    QEL_buffer_info* rec = nullptr;
    count = ChangeAll(work, spec, &rec, work).count;
    QEL_re_free(rec);
  });
  // The layer alone: scan the joined text and rebuild it.
  std::wstring joined;
  for (auto& l : base.lines) joined += l + L"\n";
  int32_t alone = 0;
  double layer = Best(5, [&] {
    QEL_buffer_info* rec = nullptr;
    QEL_re_compile_pattern_case(spec.find, &rec, 0);
    std::wstring out;
    out.reserve(joined.size() + 100000);
    int32_t pos = 0, s = 0, n = 0, len = static_cast<int32_t>(joined.size());
    alone = 0;
    while (QEL_re_search_range_n(rec, joined.c_str(), len, &s, &n, pos, len - pos) > 0) {
      const wchar_t* r = nullptr;
      QEL_re_replace_n(joined.c_str(), len, spec.replacement, rec, &r);
      out.append(joined, pos, s - pos);
      out += r;
      pos = s + n;
      ++alone;
    }
    out.append(joined, pos, std::wstring::npos);
    QEL_re_free(rec);
  });
  std::printf("regular-expression Change All, %d replacements in %zu lines (%zu characters): %.1f ms", count,
              base.lines.size(), chars, changeAll);
  PrintPeerChange(PeerChangeAll(joined, sci::kFindRegExp | sci::kFindPosix),
                  PeerChangeAll(joined, sci::kFindRegExp | sci::kFindCxx11RegEx), false);
  std::printf("\n");
  std::printf("the layer alone scanning and rebuilding it (%d matches): %.1f ms   [peer's PCRE2: 3.6 ms]\n",
              alone, layer);
}

// A pattern that backtracks at every start, over a million characters of
// 20-character words without a match: one call of the layer each way, ended by its
// budget.
void BacktrackingEverywhere() {
  std::wstring text;
  while (text.size() < (1u << 20)) text += std::wstring(20, L'a') + L' ';
  const int len = static_cast<int>(text.size());
  QEL_buffer_info* rec = nullptr;
  QEL_re_compile_pattern_case(L"(a|a)*b", &rec, 0);
  int s = 0, n = 0, forward = 0, backward = 0;
  double t0 = bench::Now();
  forward = QEL_re_search_range_n(rec, text.c_str(), len, &s, &n, 0, len);
  double t1 = bench::Now();
  backward = QEL_re_search_range_n(rec, text.c_str(), len, &s, &n, len, -len);
  double t2 = bench::Now();
  QEL_re_free(rec);
  std::printf("(a|a)*b over %d characters of 20-character words: forward %.0f ms (%s), backward %.0f ms (%s)\n",
              len, (t1 - t0) * 1000, forward > 0 ? "found" : "not found", (t2 - t1) * 1000,
              backward > 0 ? "found" : "not found");
}

EditorRecord* Editor(const std::wstring& text) {
  RecordParams p{};
  p.windowType = 2;
  EditorRecord* ed = NewRecord(p);
  ed->visibleRows = 40;
  ed->lineHeight = 16;
  ed->clientWidth = 100000;
  Qel::RunTime::Kernel::RunTrapped([&] { LoadPlainText(ed, text.c_str()); });
  return ed;
}

// The same through an editor: the store read line by line (plain) or joined
// on the heap (regular expressions), the match selected; Change All with its
// one undo entry, and that undo.
void InTheEditor() {
  namespace K = Qel::RunTime::Kernel;
  std::wstring big;
  const std::wstring line = L"    the quick brown fox jumps over the lazy dog; 0123456789 ok\n";
  while (big.size() < 5 * 1024 * 1024) big += line;
  big += L"Needleword\n";
  EditorRecord* ed = Editor(big);
  sci::Editor* peer = PeerHolding(big);
  for (bool regex : {false, true}) {
    for (bool caseSensitive : {true, false}) {
      searchState.options = SearchOptions{};
      searchState.options.regex = regex;
      searchState.options.caseSensitive = caseSensitive;
      int32_t found = 0;
      double ms = Best(5, [&] {
        uint8_t* mark = K::Memory::MarkGStack();
        K::RunTrapped([&] { found = SearchStr(ed, caseSensitive ? L"Needleword" : L"NEEDLEWORD"); });
        K::Memory::ReleaseGStack(mark);
      });
      std::printf("editor, word near the end of 10 MB, %s, %s: %.1f ms (found %d)",
                  regex ? "regular expression" : "plain", caseSensitive ? "exact" : "ignoring case", ms, found);
      if (peer) std::printf("   [peer: %s]", PeerSearch(*peer, regex, caseSensitive).c_str());
      std::printf("\n");
    }
  }
  DeleteRecord(ed);
  delete peer;

  std::wstring text;
  for (int i = 0; i < 20000; ++i) {
    wchar_t l[64];
    swprintf(l, 64, i % 2 ? L"  // plain comment line %05d\n" : L"  key%05d = value%05d;\n", i, i);
    text += l;
  }
  double change = 1e9, undo = 1e9;
  int32_t count = 0;
  for (int run = 0; run < 5; ++run) {
    EditorRecord* e = Editor(text);
    searchState.options = SearchOptions{};
    searchState.options.regex = searchState.options.caseSensitive = true;
    searchState.changeAll = true;
    double t0 = bench::Now();
    K::RunTrapped([&] { ReplaceDriver(e, L"(\\w+) = (\\w+)", L"\\2 := \\1", false); });
    double t1 = bench::Now();
    K::RunTrapped([&] { UndoStep(e); });
    double t2 = bench::Now();
    change = std::min(change, (t1 - t0) * 1000);
    undo = std::min(undo, (t2 - t1) * 1000);
    count = searchState.replacementCount;
    searchState.changeAll = false;
    DeleteRecord(e);
  }
  std::printf("editor, regular-expression Change All of %d matches in 20000 lines: %.1f ms, its undo %.1f ms", count,
              change, undo);
  PrintPeerChange(PeerChangeAll(text, sci::kFindRegExp | sci::kFindPosix),
                  PeerChangeAll(text, sci::kFindRegExp | sci::kFindCxx11RegEx), true);
  std::printf("\n");
}

}  // namespace

int main() {
  SearchTenMegabytes();
  ChangeAllTenThousand();
  BacktrackingEverywhere();
  InTheEditor();
  return 0;
}
