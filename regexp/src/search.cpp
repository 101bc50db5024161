// Searching with a compiled record.  Forward searches scan their starts in
// runs, one matcher call per run.  Backward searches want the last start
// with a match: they scan windows of starts that double in size going back
// from the start, and inside the first window with a match halve it down to
// its last start; that start is then matched alone, so the record's match
// data is always the match returned.  `matched` is set only by a search that
// finds something.
//
// Every call of the layer has one budget: a deadline checked before each
// matcher call, and every matcher call bounded in steps (starts in the run
// times the steps allowed per start).  The steps per start start small and
// grow fourfold while a start needs more, up to StartLimit; they shrink
// again run by run.  A call past its deadline, or a start past StartLimit,
// is "not found".
#include <windows.h>

#include <algorithm>
#include <cwchar>

#include "record.h"

using namespace qel_regexp;

namespace {

constexpr uint32_t StartLimit = 10'000'000;  // steps one start may take
constexpr uint32_t ProbeLimit = 256;         // steps per start a run begins with
constexpr uint64_t RunSteps = 1u << 24;      // steps one matcher call may take
constexpr ULONGLONG CallBudgetMs = 400;      // time one call of the layer may take

enum class Try { Found, None, Stop };  // Stop: a limit was hit or the search failed

struct Subject {
  QEL_buffer_info* r;
  PCRE2_SPTR text;
  PCRE2_SIZE length;
  ULONGLONG deadline;
  uint32_t perStart = ProbeLimit;

  // One matcher call over the starts [from, lastStart] with `limit` steps per start.
  int Match(PCRE2_SIZE from, PCRE2_SIZE lastStart, uint32_t limit) const {
    pcre2_match_context* mc = MatchContext(r);
    pcre2_set_offset_limit(mc, lastStart);
    pcre2_set_match_limit(mc, limit);
    int rc = pcre2_match(Code(r), text, length, from, 0, MatchData(r), mc);
    if (rc == PCRE2_ERROR_JIT_STACKLIMIT)  // the interpreter keeps its frames on the heap
      rc = pcre2_match(Code(r), text, length, from, PCRE2_NO_JIT, MatchData(r), mc);
    return rc;
  }

  // The first match whose start lies in [from, lastStart], run by run.
  Try Scan(PCRE2_SIZE from, PCRE2_SIZE lastStart) {
    for (;;) {
      if (GetTickCount64() >= deadline) return Try::Stop;
      const PCRE2_SIZE starts = std::max<uint64_t>(1, RunSteps / perStart);
      const PCRE2_SIZE last = lastStart - from < starts ? lastStart : from + starts - 1;
      const int rc = Match(from, last, perStart);
      if (rc >= 0) return Try::Found;
      if (rc == PCRE2_ERROR_MATCHLIMIT) {
        // Every start before the one that hit the limit had no match: they
        // are tried again, fewer at a time, with more steps each.
        if (perStart >= StartLimit) return Try::Stop;
        perStart = static_cast<uint32_t>(std::min<uint64_t>(StartLimit, uint64_t{perStart} * 4));
        continue;
      }
      if (rc != PCRE2_ERROR_NOMATCH) return Try::Stop;
      if (last == lastStart) return Try::None;
      from = last + 1;
      perStart = std::max(ProbeLimit, perStart / 2);
    }
  }

  // Patterns that hold \G or a verb depend on where the scan began: one
  // matcher call over all the starts, the steps per start shared out of one
  // run's steps.
  Try ScanWhole(PCRE2_SIZE from, PCRE2_SIZE lastStart) const {
    const uint64_t share = RunSteps / (lastStart - from + 1);
    const int rc = Match(from, lastStart, static_cast<uint32_t>(std::clamp<uint64_t>(share, 1, StartLimit)));
    if (rc >= 0) return Try::Found;
    return rc == PCRE2_ERROR_NOMATCH ? Try::None : Try::Stop;
  }

  PCRE2_SIZE StartOfLast() const { return pcre2_get_startchar(MatchData(r)); }
};

// The last start in [lo, hi] (lo <= hi) with a match: halves the window
// from above, moving lo past each start found.
Try LastStart(Subject& s, PCRE2_SIZE lo, PCRE2_SIZE hi, PCRE2_SIZE& found) {
  bool any = false;
  for (;;) {
    PCRE2_SIZE mid = lo + (hi - lo + 1) / 2;
    Try t = s.Scan(mid, hi);
    if (t == Try::Stop) return t;
    if (t == Try::Found) {
      any = true;
      found = s.StartOfLast();
      if (found == hi) return t;
      lo = found + 1;
    } else {
      if (mid == lo) return any ? Try::Found : Try::None;
      hi = mid - 1;
    }
  }
}

Try SearchBackward(Subject& s, PCRE2_SIZE start, PCRE2_SIZE lowest) {
  PCRE2_SIZE found = 0;
  if (s.r->flags & StartBound) {
    for (PCRE2_SIZE p = start + 1; p-- > lowest;) {
      Try t = s.Scan(p, p);
      if (t != Try::None) return t;
    }
    return Try::None;
  }
  PCRE2_SIZE top = start, window = 256;
  for (;;) {
    PCRE2_SIZE bottom = top - lowest + 1 > window ? top - window + 1 : lowest;
    Try t = LastStart(s, bottom, top, found);
    if (t == Try::Stop) return t;
    if (t == Try::Found) return s.Scan(found, found);
    if (bottom == lowest) return Try::None;
    top = bottom - 1;
    window *= 2;
  }
}

}  // namespace

extern "C" int QEL_re_search_range_n(QEL_buffer_info* r, const wchar_t* text, int length,
                                     int* matchStart, int* matchLength, int start, int range) {
  if (!r || !text || !matchStart || !matchLength || length < 0) return -1;
  r->matched = 0;
  if (!r->code || start < 0 || start > length) return -1;
  Subject s{r, Units(text), static_cast<PCRE2_SIZE>(length), GetTickCount64() + CallBudgetMs};
  int64_t end = static_cast<int64_t>(start) + range;
  Try t;
  if (range < 0)
    t = SearchBackward(s, start, end < 0 ? 0 : end);
  else if (r->flags & StartBound)
    t = s.ScanWhole(start, end > length ? length : end);
  else
    t = s.Scan(start, end > length ? length : end);
  if (t != Try::Found) return 0;
  PCRE2_SIZE* ov = pcre2_get_ovector_pointer(MatchData(r));
  r->matched = 1;
  *matchStart = static_cast<int>(ov[0]);
  *matchLength = static_cast<int>(ov[1] - ov[0]);
  return 1;
}

extern "C" int QEL_re_search_range_noCompile(QEL_buffer_info* r, const wchar_t* text,
                                             int* matchStart, int* matchLength, int start,
                                             int range) {
  if (!text) return -1;
  size_t n = wcslen(text);
  if (n > 0x7FFFFFFF) return -1;
  return QEL_re_search_range_n(r, text, static_cast<int>(n), matchStart, matchLength, start,
                               range);
}
