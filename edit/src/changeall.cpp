// Change All.  Edits of the current line are gathered as (original column,
// length, replacement) and applied to the line's original text when the pass
// leaves the line.  In the forward regular-expression pass the joined copy
// has a pad in front; before each search the `lookBehind` characters in
// front of the search start hold the changed text, so \b, ^ and look-behinds
// see what the sequential replacements would have left there.
#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "changeall.h"

namespace QEL_EDIT::detail {

namespace {

struct Edit {
  int32_t column;  // 1-based, original
  int32_t length;
  size_t replFrom, replLength;  // in LineEdits::repl
};

// The edits of one line and their application.
class LineEdits {
 public:
  int32_t line = 0;
  void Add(int32_t col, int32_t len, const wchar_t* r, size_t rlen) {
    edits_.push_back({col, len, repl_.size(), rlen});
    repl_.append(r, rlen);
    growth_ += static_cast<int32_t>(rlen) - len;
  }
  bool Empty() const { return edits_.empty(); }
  // Writes the line with its edits applied; false when the sink stops.
  bool Flush(LineSource& lines, ChangeSink& sink) {
    if (edits_.empty()) return true;
    std::sort(edits_.begin(), edits_.end(),
              [](const Edit& a, const Edit& b) { return a.column < b.column; });
    int32_t n = 0;
    const wchar_t* old = lines.Line(line, &n);
    out_.clear();
    int32_t at = 0;
    for (const Edit& e : edits_) {
      out_.append(old + at, e.column - 1 - at);
      out_.append(repl_, e.replFrom, e.replLength);
      at = e.column - 1 + e.length;
    }
    out_.append(old + at, n - at);
    edits_.clear();
    repl_.clear();
    growth_ = 0;
    return sink.ChangedLine(line, out_.data(), static_cast<int32_t>(out_.size()));
  }
  // Growth of the line by its edits so far (forward: all left of the next).
  int32_t Growth() const { return growth_; }

 private:
  std::vector<Edit> edits_;
  std::wstring repl_, out_;
  int32_t growth_ = 0;
};

// Bookkeeping shared by both passes.
struct Pass {
  LineSource& lines;
  ChangeSink& sink;
  const ChangeAllSpec& spec;
  LineEdits edits;
  ChangeAllResult result{ChangeAllStatus::Done, 0, 0, 0, 0};

  bool Record(int32_t line, int32_t col, int32_t len, const wchar_t* r, size_t rlen) {
    if (line != edits.line) {
      if (!edits.Flush(lines, sink)) return Stop();
      edits.line = line;
    }
    int32_t shift = edits.Growth();
    edits.Add(col, len, r, rlen);
    result.count++;
    result.lastLine = line;
    result.lastColumn = spec.forward ? col + shift + static_cast<int32_t>(rlen) : col;
    if (spec.forward && spec.endLine == line) result.columnShift += static_cast<int32_t>(rlen) - len;
    return true;
  }
  bool Stop() {
    result.status = ChangeAllStatus::Stopped;
    return false;
  }
  // What was replaced before a bad pattern or a lack of memory still
  // reaches the sink; after the sink stopped nothing more is written.
  ChangeAllResult Finish() {
    if (result.status != ChangeAllStatus::Stopped && !edits.Flush(lines, sink)) Stop();
    return result;
  }
};

void PlainPass(Pass& pass) {
  const ChangeAllSpec& spec = pass.spec;
  int32_t plen = static_cast<int32_t>(wcslen(spec.find));
  if (plen == 0) return;
  std::wstring upper(plen, 0), lower(plen, 0);
  BuildCaseVariants(spec.find, plen, spec.caseSensitive, upper.data(), lower.data());
  CaseVariants v{upper.data(), lower.data(), plen};
  size_t rlen = wcslen(spec.replacement);
  int32_t count = pass.lines.LineCount();
  int32_t last = spec.endLine ? spec.endLine : (spec.forward ? count : 1);
  int32_t step = spec.forward ? 1 : -1;
  for (int32_t line = spec.line; spec.forward ? line <= last : line >= last; line += step) {
    int32_t n = 0;
    const wchar_t* text = pass.lines.Line(line, &n);
    int32_t col = line == spec.line ? spec.column : (spec.forward ? 1 : n);
    for (;;) {
      int32_t at = spec.forward ? MatchForward(text, n, v, spec.wholeWords, &col)
                                : MatchBackward(text, n, v, spec.wholeWords, &col);
      if (!at) break;
      if (line == last && spec.endLine &&
          (spec.forward ? at > spec.endColumn - 1 : at < spec.endColumn))
        break;
      if (!pass.lines.MatchAllowed(line, at, plen)) {
        text = pass.lines.Line(line, &n);
        col = spec.forward ? at + 1 : at + plen - 2;
        continue;
      }
      if (!pass.Record(line, at, plen, spec.replacement, rlen)) return;
      text = pass.lines.Line(line, &n);  // the sink may have moved it
      if (!spec.forward) col = at - 1;
    }
  }
}

void RegexPass(Pass& pass, QEL_buffer_info** record) {
  const ChangeAllSpec& spec = pass.spec;
  int32_t plen = static_cast<int32_t>(wcslen(spec.find));
  std::wstring pattern(spec.find, plen);
  if (spec.wholeWords) {
    pattern.resize(plen + 9);
    WholeWordPattern(spec.find, plen, pattern.data());
    pattern.resize(plen + 8);
  }
  if (QEL_re_compile_pattern_case(pattern.c_str(), record, !spec.caseSensitive) != 1) {
    pass.result.status = ChangeAllStatus::BadPattern;
    return;
  }
  QEL_buffer_info* rec = *record;
  const int32_t behind = static_cast<int32_t>(rec->lookBehind);
  JoinedCopy j;
  if (!j.Build(pass.lines, spec.forward ? behind : 0)) {
    j.Free();
    pass.result.status = ChangeAllStatus::NoMemory;
    return;
  }
  const JoinedText& t = j.text;
  int32_t pos = t.OffsetOf(spec.line, spec.column);
  const int32_t end = spec.endLine ? t.OffsetOf(spec.endLine, spec.endColumn)
                                   : (spec.forward ? t.length : 0);
  int64_t delta = 0;  // changed minus original length of the text before pos
  std::wstring tail;
  for (;;) {
    int32_t s = 0, n = 0, line = 0, col = 0;
    const wchar_t* subject = t.text;
    int32_t subjectLength = t.length, base = 0;
    if (spec.forward) {
      if (pos > end) break;
      int32_t k = static_cast<int32_t>(std::min<int64_t>(behind, pos + delta));
      base = pos - k;
      subject = t.text + base;
      subjectLength = t.length - base;
      if (!RegexFind(rec, subject, subjectLength, true, k, end - pos, &s, &n)) break;
    } else {
      if (pos < 0 || pos < end) break;
      if (!RegexFind(rec, t.text, t.length, false, pos, end - pos, &s, &n)) break;
    }
    int32_t at = base + s;  // original offset of the match
    t.LineColumnOf(at, &line, &col);
    if (!pass.lines.MatchAllowed(line, col, n)) {
      pos = spec.forward ? at + 1 : at - 1;
      continue;
    }
    const wchar_t* r = nullptr;
    if (!QEL_re_replace_n(subject, subjectLength, spec.replacement, rec, &r)) {
      pass.result.status = ChangeAllStatus::NoMemory;
      break;
    }
    size_t rlen = wcslen(r);
    if (spec.forward) {
      // The changed text in front of the match's end, for the next search.
      int32_t k = static_cast<int32_t>(std::min<int64_t>(behind, at + delta));
      tail.assign(t.text + at - k, k);
      tail.append(r, rlen);
      int32_t m = static_cast<int32_t>(std::min<size_t>(behind, tail.size()));
      wmemcpy(const_cast<wchar_t*>(t.text) + at + n - m, tail.data() + tail.size() - m, m);
      delta += static_cast<int64_t>(rlen) - n;
    }
    if (!pass.Record(line, col, n, r, rlen)) break;
    pos = spec.forward ? at + n : at - 1;
  }
  j.Free();
}

}  // namespace

bool LineBlock::Append(int32_t line, const wchar_t* text, int32_t n) {
  size_t need = length + n + 3;
  if (need > capacity) {
    size_t grown = std::max(need, capacity * 2 + 64);
    auto* u = static_cast<wchar_t*>(realloc(units, grown * sizeof(wchar_t)));
    if (!u) return false;
    units = u;
    capacity = grown;
  }
  units[length++] = static_cast<wchar_t>(static_cast<uint32_t>(line) & 0xFFFF);
  units[length++] = static_cast<wchar_t>(static_cast<uint32_t>(line) >> 16);
  wmemcpy(units + length, text, n);
  length += n;
  units[length++] = 0;
  return true;
}

ChangeAllResult ChangeAll(LineSource& lines, const ChangeAllSpec& spec, QEL_buffer_info** record,
                          ChangeSink& sink) {
  Pass pass{lines, sink, spec, {}, {}};
  if (spec.regex)
    RegexPass(pass, record);
  else
    PlainPass(pass);
  return pass.Finish();
}

}  // namespace QEL_EDIT::detail
