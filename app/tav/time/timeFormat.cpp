// Formatting and parsing of local time.  Invariants: a picture is expanded
// in one pass, each picture character once (quoted text is copied, never
// expanded); the parser reads only within its input, accounts for the quote
// characters of literals so that formatted text parses back, and sets the
// object once, after every field has been read.
#include <cmath>
#include <cwctype>

#include "exception/exception.h"
#include "memory/memory.h"
#include "time/calendar.h"
#include "time/time.h"

namespace tav {

namespace {

// Appends to a buffer that may be null (counting only).
struct Out {
  wchar_t* at;
  uint64_t n = 0;
  void Put(wchar_t c) {
    if (at) at[n] = c;
    ++n;
  }
  void Put(const wchar_t* s) {
    while (*s) Put(*s++);
  }
  void Number(uint32_t v, int width) {
    wchar_t digits[12];
    int k = 0;
    do digits[k++] = static_cast<wchar_t>(L'0' + v % 10), v /= 10; while (v);
    for (int i = k; i < width; ++i) Put(L'0');
    while (k) Put(digits[--k]);
  }
};

uint32_t Run(const wchar_t* p, wchar_t c) {
  uint32_t n = 0;
  while (p[n] == c) ++n;
  return n;
}

}  // namespace

// The expansion of `picture` for record r (names and designators from the
// formatter's locale data): d dd ddd dddd, M MM MMM MMMM, y yy yyyy, h hh,
// H HH, m mm, s ss, t tt, the first run of q (tenths to thousandths), text
// in single quotes copied without them.
static void Expand(const wchar_t* const* months, const wchar_t* const* abbrevMonths,
                   const wchar_t* const* days, const wchar_t* const* abbrevDays,
                   const wchar_t* am, const wchar_t* pm, const wchar_t* picture,
                   const SYSTEMTIME& r, Out& out) {
  bool fraction = false;
  for (const wchar_t* p = picture; *p;) {
    const wchar_t c = *p;
    if (c == L'\'') {
      for (++p; *p && *p != L'\''; ++p) out.Put(*p);
      if (*p) ++p;
      continue;
    }
    uint32_t n = Run(p, c);
    const int w = n >= 2 ? 2 : 1;
    const int monday = (r.wDayOfWeek + 6) % 7;
    switch (c) {
      case L'd':
        if (n >= 4) out.Put(days[monday]);
        else if (n == 3) out.Put(abbrevDays[monday]);
        else out.Number(r.wDay, w);
        break;
      case L'M':
        if (n >= 4) out.Put(months[r.wMonth - 1]);
        else if (n == 3) out.Put(abbrevMonths[r.wMonth - 1]);
        else out.Number(r.wMonth, w);
        break;
      case L'y':
        if (n >= 3) out.Number(r.wYear, 4);
        else out.Number(r.wYear % 100, w);
        break;
      case L'h': out.Number(r.wHour % 12 == 0 ? 12 : r.wHour % 12, w); break;
      case L'H': out.Number(r.wHour, w); break;
      case L'm': out.Number(r.wMinute, w); break;
      case L's': out.Number(r.wSecond, w); break;
      case L't': {
        const wchar_t* marker = r.wHour < 12 ? am : pm;
        if (n >= 2) out.Put(marker);
        else if (*marker) out.Put(marker[0]);
        break;
      }
      case L'q': {
        if (fraction) {
          for (uint32_t i = 0; i < n; ++i) out.Put(L'q');
          break;
        }
        fraction = true;
        const uint32_t digits = n > 3 ? 3 : n;
        const uint32_t scale = digits == 1 ? 10 : digits == 2 ? 100 : 1000;
        uint32_t v = static_cast<uint32_t>(std::lround(r.wMilliseconds * scale / 1000.0));
        if (v == scale) v = scale - 1;  // never carried into the seconds
        out.Number(v, static_cast<int>(digits));
        for (uint32_t i = digits; i < n; ++i) out.Put(L'q');
        break;
      }
      default:
        for (uint32_t i = 0; i < n; ++i) out.Put(c);
    }
    p += n;
  }
}

const wchar_t* timeFormatter::format(const gmtTime* obj, const wchar_t* picture) const {
  SYSTEMTIME r = getlocaletime(obj->getgmttime());
  Out count{nullptr};
  Expand(data_.months, data_.abbrevMonths, data_.days, data_.abbrevDays, data_.am, data_.pm,
         picture, r, count);
  wchar_t* s = string::NewString(count.n);
  Out out{s};
  Expand(data_.months, data_.abbrevMonths, data_.days, data_.abbrevDays, data_.am, data_.pm,
         picture, r, out);
  return s;
}

static const wchar_t* const kSimplePicture = L"yyyyMMddHHmmss";

const wchar_t* timeFormatter::tosimplestring(const gmtTime* obj) const {
  return format(obj, kSimplePicture);
}

void timeFormatter::setfromsimplestring(gmtTime* obj, const wchar_t* text) const {
  static const int widths[6] = {4, 2, 2, 2, 2, 2};
  int32_t parts[6];
  const wchar_t* p = text;
  bool good = wcslen(text) == 14;
  for (int i = 0; good && i < 6; ++i) {
    parts[i] = 0;
    for (int k = 0; k < widths[i]; ++k, ++p) {
      if (*p < L'0' || *p > L'9') good = false;
      parts[i] = parts[i] * 10 + (*p - L'0');
    }
  }
  if (!good) time_exception::raise_wrongstringformat(&classInfo, text, L"yyyyMMddhhmmss");
  obj->setgmttime(localinstant(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5]));
}

const wchar_t* timeFormatter::formatlongdate(const gmtTime* obj) const {
  return time_api::getdateformat(locale_, DATE_LONGDATE, getlocaletime(obj->getgmttime()),
                                 nullptr);
}
const wchar_t* timeFormatter::formatshortdate(const gmtTime* obj) const {
  return time_api::getdateformat(locale_, DATE_SHORTDATE, getlocaletime(obj->getgmttime()),
                                 nullptr);
}
const wchar_t* timeFormatter::formattime(const gmtTime* obj) const {
  return time_api::gettimeformat(locale_, LOCALE_NOUSEROVERRIDE,
                                 getlocaletime(obj->getgmttime()), nullptr);
}

// --- parsing ---

namespace {

enum class Kind { year, month, day, hour, minute, second, millisec, timemarker, comment };

// A template entry: the kind, the token (or literal) and its picture position.
struct Entry {
  Kind kind;
  const wchar_t* token;
  uint32_t length;  // of the token, or of the literal
  uint32_t position;
  uint32_t quotes;  // quote characters of a literal (2)
};

constexpr uint32_t kMaxEntries = 64;

struct Template {
  Entry entries[kMaxEntries];
  uint32_t count = 0;
};

// The input while it is read: bounds are checked on every access.
struct Input {
  const wchar_t* text;
  int64_t length;
  bool Digit(int64_t at) const { return at >= 0 && at < length && iswdigit(text[at]) && text[at] < 128; }
  bool Digits(int64_t at, uint32_t n, int32_t* value) const {
    int32_t v = 0;
    for (uint32_t i = 0; i < n; ++i) {
      if (!Digit(at + i)) return false;
      v = v * 10 + (text[at + i] - L'0');
    }
    *value = v;
    return true;
  }
  // `s` at `at`, ignoring case; the empty string never matches.
  bool Matches(int64_t at, const wchar_t* s, uint32_t n) const {
    if (n == 0 || at < 0 || at + n > length) return false;
    return _wcsnicmp(text + at, s, n) == 0;
  }
};

const wchar_t* Find(const wchar_t* hay, const wchar_t* needle) { return wcsstr(hay, needle); }

}  // namespace

bool timeFormatter::Parse(gmtTime* obj, const wchar_t* text, const wchar_t* picture) const {
  const uint64_t pictureLength = wcslen(picture);
  if (pictureLength > memory::maxSize / 2) return false;
  wchar_t local[128];
  wchar_t* blank = pictureLength < 128
                       ? local
                       : static_cast<wchar_t*>(GStackAlloc(static_cast<uint32_t>(pictureLength + 1) * 2));
  memcpy(blank, picture, (pictureLength + 1) * 2);
  Template t;
  // Quoted literals, blanked so that no token is found inside them.
  for (wchar_t* q = wcschr(blank, L'\''); q; q = wcschr(q, L'\'')) {
    wchar_t* close = wcschr(q + 1, L'\'');
    if (!close) return false;  // an unbalanced quote
    const uint32_t length = static_cast<uint32_t>(close - q - 1);
    if (t.count == kMaxEntries) return false;
    t.entries[t.count++] =
        Entry{Kind::comment, picture + (q - blank) + 1, length, static_cast<uint32_t>(q - blank), 2};
    wchar_t* end = close + 1;
    for (wchar_t* b = q; b < end; ++b) *b = L' ';
    q = end;
  }
  struct Tokens {
    Kind kind;
    const wchar_t* list[5];
  };
  static const Tokens kinds[] = {
      {Kind::year, {L"yyyy", L"yy", L"y"}},
      {Kind::month, {L"MMMM", L"MMM", L"MM", L"M"}},
      {Kind::day, {L"dddd", L"ddd"}},
      {Kind::day, {L"dd", L"d"}},
      {Kind::hour, {L"HH", L"H", L"hh", L"h"}},
      {Kind::minute, {L"mm", L"m"}},
      {Kind::second, {L"ss", L"s"}},
      {Kind::millisec, {L"qqq", L"qq", L"q"}},
      {Kind::timemarker, {L"tt", L"t"}},
  };
  for (const Tokens& k : kinds) {
    for (const wchar_t* token : k.list) {
      if (!token) break;
      const wchar_t* at = Find(blank, token);
      if (!at) continue;
      const uint32_t n = static_cast<uint32_t>(wcslen(token));
      if (t.count == kMaxEntries) return false;
      t.entries[t.count++] = Entry{k.kind, token, n, static_cast<uint32_t>(at - blank), 0};
      if (n >= 3 && k.kind == Kind::day)
        for (uint32_t i = 0; i < n; ++i) blank[(at - blank) + i] = L' ';
      break;
    }
  }
  // Ordered by position (insertion sort; positions are distinct).
  for (uint32_t i = 1; i < t.count; ++i)
    for (uint32_t j = i; j > 0 && t.entries[j].position < t.entries[j - 1].position; --j)
      std::swap(t.entries[j], t.entries[j - 1]);

  SYSTEMTIME r = getlocaletime(obj->getgmttime());
  int32_t year = r.wYear, month = r.wMonth, day = r.wDay, hour = r.wHour, minute = r.wMinute,
          second = r.wSecond;
  double fraction = r.wMilliseconds / 1000.0;
  enum { none, am, pm } marker = none;
  const Entry* hourEntry = nullptr;
  const Input in{text, static_cast<int64_t>(wcslen(text))};
  int64_t offset = 0;

  // A number of `token`: two-letter tokens and "yyyy" read exactly that many
  // digits, one-letter tokens one or two.
  auto number = [&](const Entry& e, int64_t at, int32_t* v) {
    if (e.length >= 2) return in.Digits(at, e.length, v);
    if (in.Digit(at) && in.Digit(at + 1)) {
      ++offset;
      return in.Digits(at, 2, v);
    }
    return in.Digits(at, 1, v);
  };
  // The first of `names` at `at`; `nameLength` gets its length.
  auto name = [&](const wchar_t* const* names, int count, int64_t at, uint32_t* nameLength) {
    for (int i = 0; i < count; ++i) {
      const uint32_t n = static_cast<uint32_t>(wcslen(names[i]));
      if (in.Matches(at, names[i], n)) {
        *nameLength = n;
        return i;
      }
    }
    return -1;
  };

  for (uint32_t i = 0; i < t.count; ++i) {
    const Entry& e = t.entries[i];
    const int64_t at = e.position + offset;
    uint32_t n = 0;
    switch (e.kind) {
      case Kind::year:
        if (!number(e, at, &year)) return false;
        if (e.length < 4) year += 2000;
        break;
      case Kind::month:
        if (e.length >= 3) {
          const int m = name(e.length == 4 ? data_.months : data_.abbrevMonths, 12, at, &n);
          if (m < 0) return false;
          month = m + 1;
          offset += int64_t{n} - e.length;
        } else if (!number(e, at, &month)) {
          return false;
        }
        break;
      case Kind::day:
        if (e.length >= 3) {
          if (name(e.length == 4 ? data_.days : data_.abbrevDays, 7, at, &n) < 0) return false;
          offset += int64_t{n} - e.length;
        } else if (!number(e, at, &day)) {
          return false;
        }
        break;
      case Kind::hour:
        hourEntry = &e;
        if (!number(e, at, &hour)) return false;
        break;
      case Kind::minute:
        if (!number(e, at, &minute)) return false;
        break;
      case Kind::second:
        if (!number(e, at, &second)) return false;
        break;
      case Kind::millisec: {
        int32_t v;
        if (!in.Digits(at, e.length, &v)) return false;
        fraction = v / (e.length == 1 ? 10.0 : e.length == 2 ? 100.0 : 1000.0);
        break;
      }
      case Kind::timemarker: {
        // "tt" reads the whole designator, "t" its first character.
        const uint32_t pmLength = e.length == 2 ? static_cast<uint32_t>(wcslen(data_.pm)) : 1;
        const uint32_t amLength = e.length == 2 ? static_cast<uint32_t>(wcslen(data_.am)) : 1;
        if (data_.pm[0] && in.Matches(at, data_.pm, pmLength)) {
          marker = pm;
          n = pmLength;
        } else if (data_.am[0] && in.Matches(at, data_.am, amLength)) {
          marker = am;
          n = amLength;
        } else {
          return false;
        }
        offset += int64_t{n} - e.length;
        break;
      }
      case Kind::comment:
        if (at < 0 || at + e.length > in.length || wcsncmp(text + at, e.token, e.length) != 0)
          return false;
        offset -= e.quotes;
        break;
    }
  }
  if (hourEntry && hourEntry->token[0] == L'h') {
    if (hour > 12 || marker == none) return false;
    if (marker == pm) hour = hour == 12 ? 12 : hour + 12;
    else hour = hour == 12 ? 0 : hour;
  }
  obj->setgmttime(localinstant(year, month, day, hour, minute, second + fraction));
  return true;
}

void timeFormatter::setfromstring(gmtTime* obj, const wchar_t* text,
                                  const wchar_t* picture) const {
  if (!Parse(obj, text, picture))
    time_exception::raise_wrongstringformat(&classInfo, text, picture);
}

void timeFormatter::setfromstring(gmtTime* obj, const wchar_t* text) const {
  if (Parse(obj, text, data_.timePicture) || Parse(obj, text, data_.longDatePicture)) return;
  setfromstring(obj, text, data_.shortDatePicture);
}

}  // namespace tav
