// Editor colouring: lexing source lines with keywords (ns per character and
// per run), a 1 MB line cut at the run limit, keyword lookups, and paint
// runs of a coloured line with a selection.  The lexer writes into one
// preallocated run buffer and allocates nothing per token.
#include <cstdio>
#include <string>
#include <vector>

#include "bench_util.h"
#include "colors.h"
#include "dictionary.h"
#include "lexer.h"
#include "paintruns.h"
#include "qel6kernel.h"

using namespace QEL_EDIT::detail;

namespace {

Dictionary* SchemeDictionary(int32_t scheme) {
  Dictionary* d = DictCreate(2);
  int32_t n = 0;
  const KeywordEntry* list = SchemeKeywords(scheme, &n);
  for (int32_t i = 0; i < n; ++i)
    DictInsert(d, list[i].word, static_cast<int32_t>(wcslen(list[i].word)), &list[i].code, list[i].exact);
  return d;
}

}  // namespace

int main() {
  InitColourTables();
  Dictionary* dict = SchemeDictionary(0);
  std::vector<ColourRun> runs(kRunCapacity + 8);
  const wchar_t* lines[] = {
      L"    clauses",
      L"        run(Name, _Count) :- stdio::write(\"Hello, \", Name, 0x1F, 3.5e+2), !. % greet",
      L"    predicates procedure (string Text) determ; /* open",
      L"       still inside */ X = [1, 2, 3], Y = 'a', Z = @\"c:\\dir\\file\"",
  };
  // About 10 MB of text, line after line as the painter colours them.
  const int rounds = 25000;
  size_t chars = 0, runCount = 0;
  uint32_t state = 0;
  double t0 = bench::Now();
  for (int r = 0; r < rounds; ++r)
    for (const wchar_t* l : lines) {
      LexColour(l, 0, dict, runs.data(), &state);
      chars += wcslen(l);
      for (int i = 0; runs[i].length; ++i) ++runCount;
    }
  double t = bench::Now() - t0;
  std::printf("colour %zu chars (%.1f MB) in %zu runs: %.1f ms, %.2f ns/char, %.1f ns/run\n", chars,
              chars * 2 / 1048576.0, runCount, t * 1000, t * 1e9 / chars, t * 1e9 / runCount);

  // A 1 MB line stops at the run limit.
  std::wstring huge;
  for (int i = 0; i < 262144; ++i) huge += L"ab; ";
  t0 = bench::Now();
  state = 0;
  LexColour(huge.c_str(), 0, dict, runs.data(), &state);
  t = bench::Now() - t0;
  int n = 0;
  while (runs[n].length) ++n;
  std::printf("colour a 1 MB line: %d runs in %.2f ms\n", n, t * 1000);

  // Keyword lookups, hits and misses.
  const wchar_t* words[] = {L"clauses", L"predicates", L"stdio", L"Name", L"#include", L"x"};
  const int lookups = 1000000;
  int found = 0;
  t0 = bench::Now();
  for (int i = 0; i < lookups; ++i) {
    const wchar_t* w = words[i % 6];
    found += DictLookup(dict, w, static_cast<int32_t>(wcslen(w)), nullptr);
  }
  t = bench::Now() - t0;
  std::printf("keyword lookup: %.1f ns (%d hits)\n", t * 1e9 / lookups, found);

  // Paint runs of the longest line with a selection.
  const wchar_t* line = lines[1];
  const int32_t len = static_cast<int32_t>(wcslen(line));
  const int paints = 200000;
  t0 = bench::Now();
  for (int i = 0; i < paints; ++i) {
    state = 0;
    LexColour(line, 0, dict, runs.data(), &state);
    PaintRuns(runs.data(), 0, len + 1, 10, 30);
  }
  t = bench::Now() - t0;
  std::printf("colour and paint runs of a %d-character line with a selection: %.2f us\n", len, t * 1e6 / paints);
  DictFree(dict);
  return 0;
}
