// Exported search functions that need no editor window: the process-wide
// options and the search of a caller's string.  Results are runtime lists on
// the caller's global stack; the frames here hold nothing with a destructor,
// since allocating there may raise.
#include <cwchar>

#include "history.h"
#include "qel6edit.h"
#include "qel6kernel.h"
#include "search.h"

namespace QEL_EDIT {

using namespace detail;
namespace Mem = Qel::RunTime::Kernel::Memory;

namespace {

template <class Cell>
Cell* NewCell(uintptr_t functor) {
  auto* c = reinterpret_cast<Cell*>(Mem::AllocGStack(sizeof(Cell)));
  c->functor = functor;
  c->next = nullptr;
  return c;
}

// Appends to two lists built front to back: the match position and its line.
struct Results {
  QEL_KWI::ilist_struct* positions;
  QEL_KWI::ilist_struct** positionTail;
  QEL_KWI::slist_struct* lines;
  QEL_KWI::slist_struct** lineTail;

  // The line of the last match: matches on one line share its copy, so many
  // matches on a long line cost no more than the line.
  int32_t lineFrom = -1, lineTo = -1;
  const wchar_t* line = nullptr;

  void Add(const wchar_t* text, int32_t length, int32_t k) {
    if (k < lineFrom || k > lineTo) {
      int32_t from = k, to = k;
      while (from > 0 && text[from - 1] != L'\n') --from;
      while (to < length && text[to] != L'\n') ++to;
      wchar_t* copy = Mem::AllocGStackString(static_cast<uint32_t>(to - from));
      wmemcpy(copy, text + from, to - from);
      copy[to - from] = 0;
      lineFrom = from;
      lineTo = to;
      line = copy;
    }
    auto* p = NewCell<QEL_KWI::ilist_struct>(QEL_KWI::ListCons);
    p->value = k + 1;
    *positionTail = p;
    positionTail = &p->next;
    auto* l = NewCell<QEL_KWI::slist_struct>(QEL_KWI::ListCons);
    l->value = line;
    *lineTail = l;
    lineTail = &l->next;
  }
  void Close() {
    *positionTail = NewCell<QEL_KWI::ilist_struct>(QEL_KWI::ListNil);
    *lineTail = NewCell<QEL_KWI::slist_struct>(QEL_KWI::ListNil);
  }
};

void PlainMatches(const wchar_t* pattern, const wchar_t* text, int32_t length,
                  bool caseSensitive, bool wholeWords, Results& out) {
  int32_t n = static_cast<int32_t>(wcslen(pattern));
  auto* variants = reinterpret_cast<wchar_t*>(Mem::AllocGStack(sizeof(wchar_t) * 2 * (n + 1)));
  CaseVariants v{variants, variants + n + 1, n};
  BuildCaseVariants(pattern, n, caseSensitive, v.upper, v.lower);
  int32_t& col = searchState.column;
  col = 1;
  for (int32_t at; (at = MatchForward(text, length, v, wholeWords, &col)) != 0;)
    out.Add(text, length, at - 1);
}

// The record of these searches, apart from the editors' so that a string
// search never changes what a replace step fills its template from.
QEL_buffer_info* subStrRecord = nullptr;

void RegexMatches(const wchar_t* pattern, const wchar_t* text, int32_t length,
                  bool caseSensitive, bool wholeWords, Results& out) {
  if (wholeWords) {
    int32_t n = static_cast<int32_t>(wcslen(pattern));
    wchar_t* wrapped = Mem::AllocGStackString(static_cast<uint32_t>(n + 8));
    WholeWordPattern(pattern, n, wrapped);
    pattern = wrapped;
  }
  if (QEL_re_compile_pattern_case(pattern, &subStrRecord, !caseSensitive) != 1) return;
  // The length is passed, so each search costs what it scans, not the text.
  int32_t& position = searchState.column;
  for (position = 1; position <= length + 1;) {
    int32_t s = 0, n = 0;
    if (QEL_re_search_range_n(subStrRecord, text, length, &s, &n, position - 1,
                              length - position + 1) <= 0)
      break;
    if (n == 0) {
      position = s + 2;
      continue;
    }
    out.Add(text, length, s);
    position = s + n + 1;
  }
}

}  // namespace

void edit_SetSearchOptions(int32_t wholeWords, int32_t caseSensitive, int32_t forward) {
  SearchOptions& o = searchState.options;
  o.wholeWords = wholeWords != 0;
  o.caseSensitive = caseSensitive != 0;
  o.forward = forward != 0;
}

void edit_SetSearchOptions4(int32_t wholeWords, int32_t caseSensitive, int32_t forward,
                            int32_t regex) {
  edit_SetSearchOptions(wholeWords, caseSensitive, forward);
  searchState.options.regex = regex != 0;
}

void edit_GetSearchOptions(int32_t* wholeWords, int32_t* caseSensitive, int32_t* forward) {
  const SearchOptions& o = searchState.options;
  *wholeWords = o.wholeWords;
  *caseSensitive = o.caseSensitive;
  *forward = o.forward;
}

void edit_GetSearchOptions4(int32_t* wholeWords, int32_t* caseSensitive, int32_t* forward,
                            int32_t* regex) {
  edit_GetSearchOptions(wholeWords, caseSensitive, forward);
  *regex = searchState.options.regex;
}

QEL_KWI::ilist_struct* edit_SearchSubStrRE(const wchar_t* pattern, const wchar_t* text,
                                           QEL_KWI::slist_struct** lines, int32_t caseSensitive,
                                           int32_t wholeWords, int32_t regex) {
  histories.find.Add(pattern);
  Results out{};
  out.positionTail = &out.positions;
  out.lineTail = &out.lines;
  size_t length = wcslen(text);
  if (*pattern && length <= INT32_MAX - 2) {
    if (regex)
      RegexMatches(pattern, text, static_cast<int32_t>(length), caseSensitive, wholeWords, out);
    else
      PlainMatches(pattern, text, static_cast<int32_t>(length), caseSensitive, wholeWords, out);
  }
  out.Close();
  *lines = out.lines;
  return out.positions;
}

QEL_KWI::ilist_struct* edit_SearchSubStr(const wchar_t* pattern, const wchar_t* text,
                                         QEL_KWI::slist_struct** lines, int32_t caseSensitive,
                                         int32_t wholeWords) {
  return edit_SearchSubStrRE(pattern, text, lines, caseSensitive, wholeWords, 0);
}

}  // namespace QEL_EDIT
