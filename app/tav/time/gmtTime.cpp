// gmtTime, timeInterval, time_api and time_exception.  Invariants: an
// object's single fact is written only after the whole new value has been
// computed; arithmetic on instants and durations is the runtime's checked
// 64-bit arithmetic (overflow raises "Integral overflow").
#include <cmath>

#include "exception/exception.h"
#include "memory/memory.h"
#include "programControl/programControl.h"
#include "qel6run_lib.h"
#include "time/calendar.h"
#include "time/time.h"

namespace tav {

const ClassInfo time_exception::classInfo{L"com/corvane/time/time_exception", TAV_CLASS_VERSION};
const ClassInfo time_api::classInfo{L"com/corvane/time/time_apiBind/time_api",
                                    TAV_CLASS_VERSION};
const ClassInfo gmtTime::classInfo{L"com/corvane/time/gmtTime", TAV_CLASS_VERSION};
const ClassInfo timeInterval::classInfo{L"com/corvane/time/timeInterval", TAV_CLASS_VERSION};

const ExceptionDescriptor time_exception::partsoutofrange{
    &time_exception::classInfo, L"partsoutofrange",
    L"The time, represented by the given time decomposition, does not belong to main boundaries "
    L"of GMT-based times"};
const ExceptionDescriptor time_exception::wrongstringformat{
    &time_exception::classInfo, L"wrongstringformat",
    L"Input string does not correspond to format string and therefore cannot be converted"};
const ExceptionDescriptor time_exception::cannotgettimezoneinformation{
    &time_exception::classInfo, L"cannotgettimezoneinformation",
    L"Cannot get local time zone information"};
const ExceptionDescriptor time_api::cannotgetdatetimeformat{
    &time_api::classInfo, L"cannotgetdatetimeformat",
    L"Cannot format date of time with the given format string"};
const ExceptionDescriptor time_api::cannotgetlocaleinfo{
    &time_api::classInfo, L"cannotgetlocaleinfo", L"Cannot get locale information"};

// --- time_exception ---

void time_exception::raise_partsoutofrange(const ClassInfo* ci, int32_t year, int32_t month,
                                           int32_t day, int32_t hour, int32_t minute,
                                           double second) {
  exception::raise_withpos(ci, programControl::getlastsavedsourceposition(), &partsoutofrange,
                           Values({{L"Year", value::integer(year)},
                                   {L"Month", value::integer(month)},
                                   {L"Day", value::integer(day)},
                                   {L"Hour", value::integer(hour)},
                                   {L"Minute", value::integer(minute)},
                                   {L"Second", value::real(second)}}));
}
void time_exception::raise_wrongstringformat(const ClassInfo* ci, const wchar_t* text,
                                             const wchar_t* picture) {
  exception::raise_withpos(ci, programControl::getlastsavedsourceposition(), &wrongstringformat,
                           Values({{L"Time as string", value::string(text)},
                                   {L"Format picture", value::string(picture)}}));
}
void time_exception::raise_cannotgettimezoneinformation(const ClassInfo* ci, uint32_t code,
                                                        const wchar_t* zone) {
  exception::raise_withpos(ci, programControl::getlastsavedsourceposition(),
                           &cannotgettimezoneinformation,
                           Values({{L"Code of last error", value::unsigned_(code)},
                                   {L"Time zone name", value::string(zone)}}));
}

// --- time_api ---

namespace {

const NamedValueList* RecordInfo(const SYSTEMTIME& r, const NamedValueList* rest) {
  return Prepend({{L"Year", value::unsigned_(r.wYear)},
                  {L"Month", value::unsigned_(r.wMonth)},
                  {L"Day of week", value::unsigned_(r.wDayOfWeek)},
                  {L"Day", value::unsigned_(r.wDay)},
                  {L"Hour", value::unsigned_(r.wHour)},
                  {L"Minute", value::unsigned_(r.wMinute)},
                  {L"Second", value::unsigned_(r.wSecond)},
                  {L"Seconds fraction", value::unsigned_(r.wMilliseconds)}},
                 rest);
}

[[noreturn]] void RaiseFormat(uint32_t locale, uint32_t flags, const SYSTEMTIME& r,
                              const wchar_t* picture) {
  uint32_t code = GetLastError();
  exception::raise_withpos(
      &time_api::classInfo, programControl::getlastsavedsourceposition(),
      &time_api::cannotgetdatetimeformat,
      Prepend({{L"Locale", value::unsigned_(locale)}, {L"Flags", value::unsigned_(flags)}},
              RecordInfo(r, Values({{L"Format picture", value::string(picture ? picture : L"")},
                                    {L"Code of last error", value::unsigned_(code)}}))));
}

using FormatFn = int(WINAPI*)(LCID, DWORD, const SYSTEMTIME*, LPCWSTR, LPWSTR, int);

const wchar_t* TwoCalls(FormatFn fn, uint32_t locale, uint32_t flags, const SYSTEMTIME& r,
                        const wchar_t* picture) {
  int n = fn(locale, flags, &r, picture, nullptr, 0);
  if (n <= 0) RaiseFormat(locale, flags, r, picture);
  wchar_t* buffer = memory::allocstringbuffer(static_cast<uint32_t>(n));
  if (fn(locale, flags, &r, picture, buffer, n) == 0) RaiseFormat(locale, flags, r, picture);
  return buffer;
}

}  // namespace

SYSTEMTIME time_api::filetimetosystemtime(uint64_t instant) {
  FILETIME ft{static_cast<DWORD>(instant), static_cast<DWORD>(instant >> 32)};
  SYSTEMTIME r;
  if (!FileTimeToSystemTime(&ft, &r))
    common_exception::raise_nativecallexception(&classInfo, L"FileTimeToSystemTime",
                                                Values({{L"file time", value::unsigned64(instant)}}));
  return r;
}

uint64_t time_api::systemtimetofiletime(const SYSTEMTIME& record) {
  FILETIME ft;
  if (!SystemTimeToFileTime(&record, &ft))
    common_exception::raise_nativecallexception(&classInfo, L"SystemTimeToFileTime",
                                                RecordInfo(record, EmptyList()));
  return uint64_t{ft.dwHighDateTime} << 32 | ft.dwLowDateTime;
}

uint64_t time_api::filetimetolocalfiletime(uint64_t instant) {
  FILETIME ft{static_cast<DWORD>(instant), static_cast<DWORD>(instant >> 32)}, local;
  if (!FileTimeToLocalFileTime(&ft, &local))
    common_exception::raise_nativecallexception(&classInfo, L"FileTimeToLocalFileTime",
                                                Values({{L"file time", value::unsigned64(instant)}}));
  return uint64_t{local.dwHighDateTime} << 32 | local.dwLowDateTime;
}

uint64_t time_api::localfiletimetofiletime(uint64_t instant) {
  FILETIME ft{static_cast<DWORD>(instant), static_cast<DWORD>(instant >> 32)}, utc;
  if (!LocalFileTimeToFileTime(&ft, &utc))
    common_exception::raise_nativecallexception(&classInfo, L"LocalFileTimeToFileTime",
                                                Values({{L"file time", value::unsigned64(instant)}}));
  return uint64_t{utc.dwHighDateTime} << 32 | utc.dwLowDateTime;
}

const wchar_t* time_api::getdateformat(uint32_t locale, uint32_t flags, const SYSTEMTIME& record,
                                       const wchar_t* picture) {
  return TwoCalls(GetDateFormatW, locale, flags, record, picture);
}
const wchar_t* time_api::gettimeformat(uint32_t locale, uint32_t flags, const SYSTEMTIME& record,
                                       const wchar_t* picture) {
  return TwoCalls(GetTimeFormatW, locale, flags, record, picture);
}

const wchar_t* time_api::getlocaleinfo(uint32_t locale, uint32_t type) {
  int n = GetLocaleInfoW(locale, type, nullptr, 0);
  wchar_t* buffer = n > 0 ? memory::allocstringbuffer(static_cast<uint32_t>(n)) : nullptr;
  if (!buffer || GetLocaleInfoW(locale, type, buffer, n) == 0) {
    uint32_t code = GetLastError();
    exception::raise_withpos(&classInfo, programControl::getlastsavedsourceposition(),
                             &cannotgetlocaleinfo,
                             Values({{L"Locale", value::unsigned_(locale)},
                                     {L"Type of information", value::unsigned_(type)},
                                     {L"Code of last error", value::unsigned_(code)}}));
  }
  return buffer;
}

bool time_api::isleapyear(int32_t year) { return cal::IsLeap(year); }

// --- gmtTime ---

namespace {
template <class C>
void* NewObject() {
  static const Qel::RunTime::Objects::RClassDescriptorInfo info{sizeof(C), 0};
  return Qel::RunTime::Objects::AllocateObject(&info, nullptr);
}
int64_t Signed(uint64_t u) { return static_cast<int64_t>(u); }
}  // namespace

gmtTime* gmtTime::new_() { return new_(getcurrentgmttimevalue()); }
gmtTime* gmtTime::new_(uint64_t instant) { return new (NewObject<gmtTime>()) gmtTime(instant); }
gmtTime* gmtTime::new_(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                       double second) {
  gmtTime* t = new_(uint64_t{0});
  t->setgmtdateandtime(year, month, day, hour, minute, second);
  return t;
}
uint64_t gmtTime::getcurrentgmttimevalue() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  return uint64_t{ft.dwHighDateTime} << 32 | ft.dwLowDateTime;
}

uint64_t gmtTime::getgmttime() const { return currentgmttime_; }
void gmtTime::setgmttime(uint64_t instant) { currentgmttime_ = instant; }
bool gmtTime::sametime(const gmtTime* other) const { return getgmttime() == other->getgmttime(); }
bool gmtTime::before(const gmtTime* other) const { return getgmttime() < other->getgmttime(); }
bool gmtTime::beforeorsametime(const gmtTime* other) const {
  return getgmttime() <= other->getgmttime();
}
void gmtTime::addinterval(const timeInterval* interval) {
  int64_t a = Signed(getgmttime()), b = interval->get();
  setgmttime(static_cast<uint64_t>(*CorvaneCore::addI(&a, &b)));
}
void gmtTime::subtractinterval(const timeInterval* interval) {
  int64_t a = Signed(getgmttime()), b = interval->get();
  setgmttime(static_cast<uint64_t>(*CorvaneCore::subI(&a, &b)));
}
timeInterval* gmtTime::getinterval(const gmtTime* other) const {
  int64_t a = Signed(other->getgmttime()), b = Signed(getgmttime());
  return timeInterval::new_(*CorvaneCore::subI(&a, &b));
}
void gmtTime::getgmtdateandtime(int32_t* year, int32_t* month, int32_t* day, int32_t* hour,
                                int32_t* minute, double* second) const {
  SYSTEMTIME r = time_api::filetimetosystemtime(getgmttime());
  *year = r.wYear;
  *month = r.wMonth;
  *day = r.wDay;
  *hour = r.wHour;
  *minute = r.wMinute;
  *second = r.wSecond + r.wMilliseconds / 1000.0;
}
void gmtTime::setgmtdateandtime(int32_t year, int32_t month, int32_t day, int32_t hour,
                                int32_t minute, double second) {
  int64_t ms;
  if (!cal::PartsToMs(year, month, day, hour, minute, second, &ms))
    time_exception::raise_partsoutofrange(&classInfo, year, month, day, hour, minute, second);
  setgmttime(static_cast<uint64_t>(ms) * cal::kUnitsPerMs);
}

// --- timeInterval ---

timeInterval* timeInterval::new_() { return new_(int64_t{0}); }
timeInterval* timeInterval::new_(int64_t d) {
  return new (NewObject<timeInterval>()) timeInterval(d);
}
timeInterval* timeInterval::new_(int32_t days, int32_t hours, int32_t minutes, double seconds) {
  timeInterval* t = new_();
  t->setintervaldetailed(days, hours, minutes, seconds);
  return t;
}
timeInterval* timeInterval::new_(const gmtTime* start, const gmtTime* end) {
  int64_t a = Signed(end->getgmttime()), b = Signed(start->getgmttime());
  return new_(*CorvaneCore::subI(&a, &b));
}

int64_t timeInterval::get() const { return interval_; }
bool timeInterval::less(const timeInterval* other) const {
  int64_t a = other->get(), b = get();
  return *CorvaneCore::subI(&a, &b) > 0;
}
bool timeInterval::lessorequal(const timeInterval* other) const {
  int64_t a = other->get(), b = get();
  return *CorvaneCore::subI(&a, &b) >= 0;
}
bool timeInterval::equal(const timeInterval* other) const { return get() == other->get(); }
void timeInterval::add(const timeInterval* other) {
  int64_t a = get(), b = other->get();
  interval_ = *CorvaneCore::addI(&a, &b);
}
void timeInterval::subtract(const timeInterval* other) {
  int64_t a = get(), b = other->get();
  interval_ = *CorvaneCore::subI(&a, &b);
}
void timeInterval::multiply(double factor) {
  int64_t a = get();
  interval_ = *CorvaneTime::int64xReal(&a, factor);
}
void timeInterval::setinterval(int32_t days, int32_t hours, int32_t minutes, int32_t seconds) {
  setintervaldetailed(days, hours, minutes, seconds);
}
void timeInterval::setintervaldetailed(int32_t days, int32_t hours, int32_t minutes,
                                       double seconds) {
  // Adds a 32-bit part: a non-negative one directly, a negative one by
  // subtracting its magnitude.
  auto plus = [](int64_t a, int32_t part) {
    int64_t b = part >= 0 ? int64_t{part} : -int64_t{part};
    return part >= 0 ? *CorvaneCore::addI(&a, &b) : *CorvaneCore::subI(&a, &b);
  };
  int64_t d = days;
  int64_t v = plus(*CorvaneTime::int64xReal(&d, 24), hours);
  v = plus(*CorvaneTime::int64xReal(&v, 60), minutes);
  v = *CorvaneTime::int64xReal(&v, 600000000.0);
  int64_t unitsPerSecond = 10000000;
  int64_t s = *CorvaneTime::int64xReal(&unitsPerSecond, seconds);
  interval_ = *CorvaneCore::addI(&v, &s);
}
void timeInterval::getinterval(int32_t* days, int32_t* hours, int32_t* minutes,
                               int32_t* seconds) const {
  double s;
  getintervaldetailed(days, hours, minutes, &s);
  *seconds = static_cast<int32_t>(std::trunc(s));
}
void timeInterval::getintervaldetailed(int32_t* days, int32_t* hours, int32_t* minutes,
                                       double* seconds) const {
  int64_t v = get();
  int64_t *q1, *q2, *q3, *q4;
  int32_t r1, s, mi, h;
  CorvaneTime::int64div32(&v, 10000000, &q1, &r1);
  CorvaneTime::int64div32(q1, 60, &q2, &s);
  CorvaneTime::int64div32(q2, 60, &q3, &mi);
  CorvaneTime::int64div32(q3, 24, &q4, &h);
  if (*q4 > INT32_MAX || *q4 < INT32_MIN) RaiseIntegerOverflow();
  *days = static_cast<int32_t>(*q4);
  *hours = h;
  *minutes = mi;
  *seconds = s + r1 / 10000000.0;
}

}  // namespace tav
