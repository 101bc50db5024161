// mytime: see the header.
#include "SYSTEM/timepack/mytime.h"

#include "exception/exception.h"
#include "time/calendar.h"
#include "unit.h"

namespace rizediveva6 {

using namespace tav;
namespace Tm = Qel::RunTime::Terms;

const ClassInfo mytime::classInfo{L"qel6pack/timepack/mytime", TAV_CLASS_VERSION};

namespace {

uint32_t xstart_day = 0;

const wchar_t* const kDayNames[7] = {L"Monday", L"Tuesday",  L"Wednesday", L"Thursday",
                                     L"Friday", L"Saturday", L"Sunday"};
const wchar_t* const kMonthTokens[12] = {L"-JAN-", L"-FEB-", L"-MAR-", L"-APR-",
                                         L"-MAY-", L"-JUN-", L"-JUL-", L"-AUG-",
                                         L"-SEP-", L"-OCT-", L"-NOV-", L"-DEC-"};
constexpr uint32_t kTokenLength = 5;

const wchar_t* Format(tv t, const wchar_t* picture) {
  return tav::time::initformattimeobject()->format(gmtTime::new_(t), picture);
}

// The numbers in plain decimal (a minus sign, no leading zeros) joined by
// the separator: what string::format makes of "%/%/%", written directly.
template <size_t N>
const wchar_t* Numbers(wchar_t separator, const int32_t (&values)[N]) {
  wchar_t buffer[N * 12], *o = buffer;
  for (size_t i = 0; i < N; ++i) {
    if (i) *o++ = separator;
    uint32_t v = values[i] < 0 ? 0u - static_cast<uint32_t>(values[i]) : values[i];
    if (values[i] < 0) *o++ = L'-';
    wchar_t digits[10];
    int n = 0;
    do digits[n++] = static_cast<wchar_t>(L'0' + v % 10), v /= 10;
    while (v);
    while (n) *o++ = digits[--n];
  }
  wchar_t* text = string::NewString(o - buffer);
  memcpy(text, buffer, (o - buffer) * sizeof(wchar_t));
  return text;
}

uint32_t ReadUnsigned(Tm::RIntegralDomain& domain, const wchar_t* text) {
  uint32_t v;
  memcpy(&v, Tm::FromString(D(domain), text), sizeof v);
  return v;
}

// Days since 1601-01-01 of a checked date.
int64_t DayCount(const dt& d) {
  time_convert::CheckDate(d);
  return cal::DaysFromCivil(d.year, d.month, d.day);
}

}  // namespace

void mytime::set_start_day(uint32_t startDay) {
  CheckRange(domains::start_day_dom, startDay);
  xstart_day = startDay;
}
uint32_t mytime::get_start_day() { return xstart_day; }

// --- template texts ---

const wchar_t* mytime::tv_format(tv t, const wchar_t* picture) { return Format(t, picture); }
const wchar_t* mytime::tv_dayname_str(tv t) { return Format(t, L"dddd HH:mm"); }
const wchar_t* mytime::tv_dtstr(tv t) { return Format(t, L"dd MMM"); }
const wchar_t* mytime::tv_tadstr(tv t) { return Format(t, L"HH:mm dd/MM/yy"); }
const wchar_t* mytime::tv_hmsstr(tv t) {
  return tav::time::initformattimeobject()->formattime(gmtTime::new_(t));
}
const wchar_t* mytime::time_dayname_str(const tav::time* t) { return t->format(L"dddd HH:mm"); }
const wchar_t* mytime::time_dtstr(const tav::time* t) { return t->format(L"ddMMM"); }
const wchar_t* mytime::dt_dayname(const dt& d) { return Format(time_convert::date_tv(d), L"dddd"); }
const wchar_t* mytime::dt_str1(const dt& d) { return Format(time_convert::date_tv(d), L"ddMMM"); }
const wchar_t* mytime::dt_str2(const dt& d) { return Format(time_convert::date_tv(d), L"MM dd"); }

// --- number texts ---

const wchar_t* mytime::dt_str(const dt& d) {
  time_convert::CheckDate(d);
  return Numbers(L'/', {static_cast<int32_t>(d.day), static_cast<int32_t>(d.month),
                             static_cast<int32_t>(d.year)});
}

const wchar_t* mytime::mins_str(int32_t minutes) {
  const int64_t n = minutes;
  return Numbers(L':', {static_cast<int32_t>(n % 1440 / 60), static_cast<int32_t>(n % 60)});
}

const wchar_t* mytime::tv_date_order(tv t) {
  constexpr uint64_t kUnitsPerHour = 60 * cal::kUnitsPerMinute;
  uint64_t hours = t / kUnitsPerHour;
  int digits = 8;
  for (uint64_t h = hours / 100000000; h; h /= 10) ++digits;
  wchar_t* s = string::NewString(digits);
  for (int i = digits - 1; i >= 0; --i, hours /= 10) s[i] = static_cast<wchar_t>(L'0' + hours % 10);
  return s;
}

// --- reading a date ---

bool mytime::str_date(const wchar_t* text, dt* d) {
  const wchar_t* upper = string::touppercase(text);
  for (uint32_t m = 0; m < 12; ++m) {
    uint32_t at;
    if (!string::search(upper, kMonthTokens[m], casesensitivity::casesensitive, &at)) continue;
    const uint32_t day = ReadUnsigned(domains::day, string::substring(text, 0, at));
    const uint32_t y = ReadUnsigned(tav::domains::unsigned_, text + at + kTokenLength);
    uint32_t year;
    if (y >= 1960 && y <= 2050) year = y;
    else if (y >= 60 && y <= 99) year = 1900 + y;
    else if (y <= 50) year = 2000 + y;
    else return false;
    *d = dt{year, m + 1, day};
    return true;
  }
  return false;
}

// --- dates ---

dt mytime::now_dt() {
  int32_t y, mo, d, h, mi;
  double s;
  gmtTime::new_()->getgmtdateandtime(&y, &mo, &d, &h, &mi, &s);
  const dt today{static_cast<uint32_t>(y), static_cast<uint32_t>(mo), static_cast<uint32_t>(d)};
  time_convert::CheckDate(today);
  return today;
}

void mytime::days_diff(const dt& first, const dt& second, int32_t* days, int32_t* absDays) {
  const int64_t n = DayCount(second) - DayCount(first);
  *days = static_cast<int32_t>(n);
  *absDays = static_cast<int32_t>(n < 0 ? -n : n);
}

void mytime::add_n_days(int32_t n, gmtTime* t) {
  t->setgmttime(time_convert::AddDays(t->getgmttime(), n));
}

bool mytime::dt_member(const dt& d, const dt* list, size_t count) {
  for (size_t i = 0; i < count; ++i)
    if (list[i] == d) return true;
  return false;
}

bool mytime::dt_in_range(const dt* list, size_t count, const dt& d, const dt_range& range) {
  (void)list;
  if (count != 0) return false;
  const gmtTime* x = gmtTime::new_(time_convert::date_tv(d));
  const gmtTime* from = gmtTime::new_(time_convert::date_tv(range.first));
  const gmtTime* to = gmtTime::new_(time_convert::date_tv(range.last));
  return time_convert::first_is_between_absolute(x, from, to);
}

bool mytime::nd_dt(gmtTime* current, const gmtTime* limit, Each<dt> k) {
  for (;;) {
    if (time_convert::first_is_before_second(limit, current, nullptr)) return false;
    if (TrySolution(k, time_convert::tv_date(current->getgmttime()))) return true;
    add_n_days(1, current);
  }
}

// --- day names and numbers ---

bool mytime::dayno_dayname(uint32_t dayNo, const wchar_t** name) {
  if (dayNo < 1 || dayNo > 7 || xstart_day > 1) return false;
  *name = kDayNames[(dayNo - 1 + 6 * xstart_day) % 7];
  return true;
}

const StringList* mytime::daynames() {
  const wchar_t* names[7];
  for (uint32_t n = 1; n <= 7; ++n) dayno_dayname(n, &names[n - 1]);
  return MakeStringList({names[0], names[1], names[2], names[3], names[4], names[5], names[6]});
}

bool mytime::nd_day_no(Each<uint32_t> k) {
  for (uint32_t n = 1; n <= 7; ++n)
    if (TrySolution(k, n)) return true;
  return false;
}

}  // namespace rizediveva6
