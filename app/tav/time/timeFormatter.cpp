// timeFormatter (zones, local time, weeks) and the time class, which
// forwards its calendar slots to one shared formatter.  Invariants: a
// formatter never changes after it is made (locale, zone and the locale data
// it read then); local time is computed from the zone's own rules, both
// directions in constant time; a write to an object happens once, after the
// new instant is known.
#include <cmath>

#include "exception/exception.h"
#include "binary/binary.h"
#include "registry/registry.h"
#include "time/calendar.h"
#include "time/time.h"

namespace tav {

const ClassInfo timeFormatter::classInfo{L"com/corvane/time/timeFormatter", TAV_CLASS_VERSION};
const ClassInfo time::classInfo{L"com/corvane/time/time", TAV_CLASS_VERSION};

namespace {

using cal::kUnitsPerMinute;
constexpr int64_t kUnitsPerDay = cal::kUnitsPerMinute * cal::kMinutesPerDay;

template <class C>
C* HeapTerm(const C& c) {
  auto* p = static_cast<C*>(K::Memory::AllocHeap(sizeof(C)));
  *p = c;
  return p;
}

[[noreturn]] void RaiseInternal(const wchar_t* predicate, const wchar_t* text) {
  T::TEllipsisArgs<1> a;
  a.SetTerm(0, D(domains::string), text);
  common_exception::raise_error(&timeFormatter::classInfo, predicate,
                                reinterpret_cast<const T::REllipsisArg*>(&a));
}

// A transition of a zone record, or null when its fields are out of range.
const TransitionDate* Transition(const SYSTEMTIME& r) {
  if (r.wMonth < 1 || r.wMonth > 12 || r.wHour > 23 || r.wMinute > 59) return nullptr;
  if (r.wYear == 0) {
    if (r.wDay < 1 || r.wDay > 5 || r.wDayOfWeek > 6) return nullptr;
    return HeapTerm(TransitionDate{TransitionDate::weekdayinweekofmonth, r.wMonth, r.wDay,
                                   r.wDayOfWeek, r.wHour, r.wMinute});
  }
  if (r.wDay < 1 || r.wDay > 31) return nullptr;
  return HeapTerm(
      TransitionDate{TransitionDate::dayinmonth, r.wMonth, r.wDay, 0, r.wHour, r.wMinute});
}

const TimeZone* MakeZone(const wchar_t* name, int32_t bias, const SYSTEMTIME& standardDate,
                         const SYSTEMTIME& daylightDate, int32_t daylightBias,
                         const wchar_t* standardName, const wchar_t* daylightName,
                         const wchar_t* predicate) {
  const DaylightSavingScheme* scheme;
  if (standardDate.wMonth == 0) {
    scheme = HeapTerm(DaylightSavingScheme{DaylightSavingScheme::nodaylightsaving, nullptr,
                                           nullptr, nullptr, nullptr, 0});
  } else {
    const TransitionDate* daylightStart = Transition(daylightDate);
    const TransitionDate* standardStart = Transition(standardDate);
    if (!daylightStart || !standardStart)
      RaiseInternal(predicate, string::concat(L"Invalid transition dates of time zone ", name));
    scheme = HeapTerm(DaylightSavingScheme{DaylightSavingScheme::daylightsaving,
                                           HeapCopy(standardName), HeapCopy(daylightName),
                                           daylightStart, standardStart, daylightBias});
  }
  return HeapTerm(TimeZone{1, HeapCopy(name), bias, scheme});
}

const wchar_t* ZoneKey() {
  OSVERSIONINFOW v{};
  v.dwOSVersionInfoSize = sizeof v;
  common_exception::checknonzeroresult(&timeFormatter::classInfo, GetVersionExW(&v),
                                       L"GetVersionEx");
  return v.dwPlatformId == 2 ? L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones"
                             : L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Time Zones";
}

SYSTEMTIME RecordAt(const uint8_t* p) {
  SYSTEMTIME r;
  WORD* f = &r.wYear;
  for (int i = 0; i < 8; ++i) f[i] = static_cast<WORD>(p[2 * i] | p[2 * i + 1] << 8);
  return r;
}
int32_t Int32At(const uint8_t* p) {
  return static_cast<int32_t>(uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 |
                              uint32_t{p[3]} << 24);
}

const TimeZone* ZoneFromRegistry(const wchar_t* name) {
  static const wchar_t* const predicate = L"timeFormatter::gettimezonefromregistry";
  const wchar_t* key = string::concat(ZoneKey(), L"\\", name);
  const ValueTerm* tzi = registry::getvalue(rootkey::localmachine, key, L"TZI");
  const ValueTerm* std_ = registry::getvalue(rootkey::localmachine, key, L"Std");
  const ValueTerm* dlt = registry::getvalue(rootkey::localmachine, key, L"Dlt");
  if (tzi->Kind() != ValueKind::binary || std_->Kind() != ValueKind::string ||
      dlt->Kind() != ValueKind::string)
    RaiseInternal(predicate, L"Unexpected type of registry key");
  const uint8_t* b = tzi->As<const uint8_t*>();
  if (binary::getsize(b) != 44)
    RaiseInternal(predicate, string::concat(L"Time zone information of ", name,
                                            L" is not 44 bytes long"));
  // Bias, StandardBias, DaylightBias, StandardDate, DaylightDate.
  return MakeZone(name, Int32At(b), RecordAt(b + 12), RecordAt(b + 28), Int32At(b + 8),
                  std_->As<const wchar_t*>(), dlt->As<const wchar_t*>(), predicate);
}

// Local units of a transition in `year`.
int64_t TransitionUnits(const TransitionDate* t, int64_t year) {
  int64_t day = t->day;
  if (t->functor == TransitionDate::weekdayinweekofmonth) {
    const int64_t first = cal::DaysFromCivil(year, t->month, 1);
    if (t->day == 5) {
      const int32_t last = cal::DaysInMonth(year, t->month);
      day = last - cal::FloorMod(cal::DayOfWeek(first + last - 1) - int64_t{t->dayOfWeek}, 7);
    } else {
      day = (t->day - 1) * 7 + cal::FloorMod(int64_t{t->dayOfWeek} - cal::DayOfWeek(first), 7) + 1;
    }
  }
  return (cal::DaysFromCivil(year, t->month, 1) + day - 1) * kUnitsPerDay +
         (int64_t{t->hour} * 60 + t->minute) * kUnitsPerMinute;
}

int64_t YearOf(int64_t units) {
  int64_t y;
  int32_t m, d;
  cal::CivilFromDays(cal::FloorDiv(units, kUnitsPerDay), &y, &m, &d);
  return y;
}

// Whether daylight time holds: `from` is the moment tested against the
// daylight start, `until` against the standard start (both local units).
bool InDaylight(const DaylightSavingScheme* s, int64_t year, int64_t from, int64_t until) {
  const int64_t start = TransitionUnits(s->daylightStart, year);
  const int64_t end = TransitionUnits(s->standardStart, year);
  if (start < end) return from >= start && until < end;
  if (start > end) return from >= start || until < end;
  return false;
}

// Daylight at local standard time S: the daylight start is standard wall
// time, the standard start daylight wall time.
bool DaylightAtStandard(const TimeZone* z, int64_t s) {
  const DaylightSavingScheme* d = z->scheme;
  if (d->functor != DaylightSavingScheme::daylightsaving) return false;
  return InDaylight(d, YearOf(s), s, s - d->daylightBias * kUnitsPerMinute);
}

// Daylight at wall time W: skipped times read as standard, repeated ones as
// daylight.
bool DaylightAtWall(const TimeZone* z, int64_t w) {
  const DaylightSavingScheme* d = z->scheme;
  if (d->functor != DaylightSavingScheme::daylightsaving) return false;
  return InDaylight(d, YearOf(w), w + d->daylightBias * kUnitsPerMinute, w);
}

int64_t StandardUnits(const TimeZone* z, uint64_t instant) {
  return static_cast<int64_t>(instant) - z->bias * kUnitsPerMinute;
}

}  // namespace

// --- construction and zones ---

timeFormatter::timeFormatter(uint32_t locale, const TimeZone* zone) : locale_(locale), zone_(zone) {
  auto info = [locale](uint32_t type) { return HeapCopy(time_api::getlocaleinfo(locale, type)); };
  for (uint32_t i = 0; i < 12; ++i) {
    data_.months[i] = info(LOCALE_SMONTHNAME1 + i);
    data_.abbrevMonths[i] = info(LOCALE_SABBREVMONTHNAME1 + i);
  }
  for (uint32_t i = 0; i < 7; ++i) {
    data_.days[i] = info(LOCALE_SDAYNAME1 + i);
    data_.abbrevDays[i] = info(LOCALE_SABBREVDAYNAME1 + i);
  }
  data_.am = info(LOCALE_S1159);
  data_.pm = info(LOCALE_S2359);
  data_.timePicture = info(LOCALE_STIMEFORMAT);
  data_.longDatePicture = info(LOCALE_SLONGDATE);
  data_.shortDatePicture = info(LOCALE_SSHORTDATE);
  data_.firstDay = static_cast<int32_t>(
      cal::FloorMod(_wtoi(time_api::getlocaleinfo(locale, LOCALE_IFIRSTDAYOFWEEK)), 7));
  data_.firstWeekRule = time_api::getlocaleinfo(locale, LOCALE_IFIRSTWEEKOFYEAR)[0];
}

static uint32_t UserLocale() {
  LCID lcid = GetUserDefaultLCID();
  if (lcid == 0)
    common_exception::raise_nativecallexception(&timeFormatter::classInfo, L"GetUserDefaultLCID",
                                                EmptyList());
  return lcid;
}

timeFormatter* timeFormatter::new_() { return new_(gettimezoneinformation(systemZone)); }

timeFormatter* timeFormatter::new_(const TimeZone* zone) {
  static const Qel::RunTime::Objects::RClassDescriptorInfo info{sizeof(timeFormatter), 0};
  return NewIn(Qel::RunTime::Objects::AllocateObject(&info, nullptr), zone);
}
timeFormatter* timeFormatter::NewIn(void* block, const TimeZone* zone) {
  uint32_t locale = UserLocale();
  return new (block) timeFormatter(locale, zone);
}

const TimeZone* timeFormatter::gettimezoneinformation(const wchar_t* name) {
  if (wcscmp(name, systemZone) != 0) return ZoneFromRegistry(name);
  TIME_ZONE_INFORMATION tzi;
  if (GetTimeZoneInformation(&tzi) == TIME_ZONE_ID_INVALID)
    time_exception::raise_cannotgettimezoneinformation(&classInfo, GetLastError(), name);
  return MakeZone(name, tzi.Bias, tzi.StandardDate, tzi.DaylightDate, tzi.DaylightBias,
                  tzi.StandardName, tzi.DaylightName, L"timeFormatter::converttimezoneinfo");
}

const TimeZoneList* timeFormatter::getavailabletimezones() {
  static const uint64_t nil = 2;
  const TimeZoneList* head = reinterpret_cast<const TimeZoneList*>(&nil);
  TimeZoneList* last = nullptr;
  for (const StringList* l = registry::getsubkeys(rootkey::localmachine, ZoneKey()); !l->Empty();
       l = l->tail) {
    auto* cell = static_cast<TimeZoneList*>(GStackAlloc(sizeof(TimeZoneList)));
    *cell = TimeZoneList{1, gettimezoneinformation(l->head), reinterpret_cast<const TimeZoneList*>(&nil)};
    (last ? last->tail : head) = cell;
    last = cell;
  }
  return head;
}

// --- local time ---

SYSTEMTIME timeFormatter::getlocaletime(uint64_t instant) const {
  int64_t s = StandardUnits(zone_, instant);
  int64_t l = DaylightAtStandard(zone_, s) ? s - zone_->scheme->daylightBias * kUnitsPerMinute : s;
  if (l < 0) return time_api::filetimetosystemtime(static_cast<uint64_t>(l));
  return cal::RecordOfMs(l / cal::kUnitsPerMs);
}

uint64_t timeFormatter::localinstant(int32_t year, int32_t month, int32_t day, int32_t hour,
                                     int32_t minute, double second) const {
  int64_t ms;
  if (cal::PartsToMs(year, month, day, hour, minute, second, &ms)) {
    const int64_t w = ms * cal::kUnitsPerMs;
    int64_t g = w + zone_->bias * kUnitsPerMinute;
    if (DaylightAtWall(zone_, w)) g += zone_->scheme->daylightBias * kUnitsPerMinute;
    if (g >= 0) return static_cast<uint64_t>(g);
  }
  time_exception::raise_partsoutofrange(&time::classInfo, year, month, day, hour, minute, second);
}

void timeFormatter::getdateandtime(const gmtTime* obj, int32_t* year, int32_t* month,
                                   int32_t* day, int32_t* hour, int32_t* minute) const {
  SYSTEMTIME r = getlocaletime(obj->getgmttime());
  *year = r.wYear, *month = r.wMonth, *day = r.wDay, *hour = r.wHour, *minute = r.wMinute;
}
void timeFormatter::setdateandtime(gmtTime* obj, int32_t year, int32_t month, int32_t day,
                                   int32_t hour, int32_t minute, double second) const {
  obj->setgmttime(localinstant(year, month, day, hour, minute, second));
}
void timeFormatter::getdate(const gmtTime* obj, int32_t* year, int32_t* month,
                            int32_t* day) const {
  SYSTEMTIME r = getlocaletime(obj->getgmttime());
  *year = r.wYear, *month = r.wMonth, *day = r.wDay;
}
void timeFormatter::setdate(gmtTime* obj, int32_t year, int32_t month, int32_t day) const {
  SYSTEMTIME r = getlocaletime(obj->getgmttime());
  obj->setgmttime(
      localinstant(year, month, day, r.wHour, r.wMinute, r.wSecond + r.wMilliseconds / 1000.0));
}
void timeFormatter::gettime(const gmtTime* obj, int32_t* hour, int32_t* minute,
                            int32_t* second) const {
  SYSTEMTIME r = getlocaletime(obj->getgmttime());
  *hour = r.wHour, *minute = r.wMinute, *second = r.wSecond;
}
void timeFormatter::gettimedetailed(const gmtTime* obj, int32_t* hour, int32_t* minute,
                                    double* second) const {
  SYSTEMTIME r = getlocaletime(obj->getgmttime());
  *hour = r.wHour, *minute = r.wMinute, *second = r.wSecond + r.wMilliseconds / 1000.0;
}
void timeFormatter::settime(gmtTime* obj, int32_t hour, int32_t minute, int32_t second) const {
  settimedetailed(obj, hour, minute, second);
}
void timeFormatter::settimedetailed(gmtTime* obj, int32_t hour, int32_t minute,
                                    double second) const {
  SYSTEMTIME r = getlocaletime(obj->getgmttime());
  obj->setgmttime(localinstant(r.wYear, r.wMonth, r.wDay, hour, minute, second));
}
bool timeFormatter::isdaylighttime(const gmtTime* obj) const {
  return DaylightAtStandard(zone_, StandardUnits(zone_, obj->getgmttime()));
}
bool timeFormatter::isleapyear(const gmtTime* obj) const {
  return cal::IsLeap(getlocaletime(obj->getgmttime()).wYear);
}

// --- weeks ---

int32_t timeFormatter::DaysBeforeFirstWeek(int32_t year) const {
  const int32_t j = cal::DayOfWeek(cal::DaysFromCivil(year, 1, 1));
  const int32_t firstDay = data_.firstDay;
  if (data_.firstWeekRule == L'1') return (firstDay + (7 - j) + 1) % 7;
  const int32_t y = ((j + 7) - ((firstDay + 1) % 7)) % 7;
  if (data_.firstWeekRule == L'2' && y > 3) return 7 - y;
  return -y;
}

void timeFormatter::getweek(const gmtTime* obj, int32_t* week, int32_t* dayOfWeek) const {
  SYSTEMTIME r = getlocaletime(obj->getgmttime());
  *dayOfWeek = (r.wDayOfWeek + 6 - data_.firstDay + 7) % 7 + 1;
  const int32_t dayOfYear = time::dayofyear(r.wYear, r.wMonth, r.wDay);
  *week = (dayOfYear + 6 - DaysBeforeFirstWeek(r.wYear)) / 7;
}

void timeFormatter::setweek(gmtTime* obj, int32_t week, int32_t dayOfWeek) const {
  SYSTEMTIME r = getlocaletime(obj->getgmttime());
  const int64_t dayOfYear =
      (int64_t{week} - 1) * 7 + DaysBeforeFirstWeek(r.wYear) + int64_t{dayOfWeek};
  if (dayOfYear < INT32_MIN || dayOfYear > INT32_MAX)
    time_exception::raise_partsoutofrange(&time::classInfo, r.wYear, 1, week, r.wHour,
                                          r.wMinute, r.wSecond);
  obj->setgmttime(localinstant(r.wYear, 1, static_cast<int32_t>(dayOfYear), r.wHour, r.wMinute,
                               r.wSecond + r.wMilliseconds / 1000.0));
}

// --- time ---

timeFormatter* time::initformattimeobject() {
  // Kept in uncollectable memory: the only reference is this static.
  static timeFormatter* shared = nullptr;
  if (!shared) {
    const TimeZone* zone = timeFormatter::gettimezoneinformation(timeFormatter::systemZone);
    shared = timeFormatter::NewIn(K::Memory::AllocUncollectableHeap(sizeof(timeFormatter)), zone);
  }
  return shared;
}

time* time::Make(uint64_t instant) {
  static const Qel::RunTime::Objects::RClassDescriptorInfo info{sizeof(time), 0};
  return new (Qel::RunTime::Objects::AllocateObject(&info, nullptr)) time(instant);
}
time* time::new_() { return Make(getcurrentgmttimevalue()); }
time* time::new_(const gmtTime* other) { return Make(other->getgmttime()); }
time* time::new_(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                 double second) {
  return Make(initformattimeobject()->localinstant(year, month, day, hour, minute, second));
}
time* time::newdate(int32_t year, int32_t month, int32_t day) {
  return new_(year, month, day, 0, 0, 0.0);
}
time* time::newtime(int32_t hour, int32_t minute, double second) {
  timeFormatter* f = initformattimeobject();
  SYSTEMTIME r = f->getlocaletime(getcurrentgmttimevalue());
  return new_(r.wYear, r.wMonth, r.wDay, hour, minute, second);
}

void time::normalize(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                     double second, int32_t* y, int32_t* mo, int32_t* d, int32_t* h, int32_t* mi,
                     double* s) {
  int64_t ms;
  if (!cal::PartsToMs(year, month, day, hour, minute, second, &ms))
    time_exception::raise_partsoutofrange(&classInfo, year, month, day, hour, minute, second);
  SYSTEMTIME r = cal::RecordOfMs(ms);
  *y = r.wYear, *mo = r.wMonth, *d = r.wDay, *h = r.wHour, *mi = r.wMinute;
  *s = r.wSecond + r.wMilliseconds / 1000.0;
}
int32_t time::getdaysinmonth(int32_t year, int32_t month) {
  const int64_t m0 = int64_t{month} - 1;
  return cal::DaysInMonth(year + cal::FloorDiv(m0, 12), static_cast<int32_t>(cal::FloorMod(m0, 12) + 1));
}
int32_t time::getdayofweek(int32_t year, int32_t month, int32_t day) {
  int64_t ms;
  if (!cal::PartsToMs(year, month, day, 0, 0, 0.0, &ms))
    time_exception::raise_partsoutofrange(&classInfo, year, month, day, 0, 0, 0.0);
  return cal::RecordOfMs(ms).wDayOfWeek;
}
int32_t time::dayofyear(int32_t year, int32_t month, int32_t day) {
  int64_t ms;
  if (!cal::PartsToMs(year, month, day, 0, 0, 0.0, &ms))
    time_exception::raise_partsoutofrange(&classInfo, year, month, day, 0, 0, 0.0);
  SYSTEMTIME r = cal::RecordOfMs(ms);
  return static_cast<int32_t>(cal::DaysFromCivil(r.wYear, r.wMonth, r.wDay) -
                              cal::DaysFromCivil(r.wYear, 1, 1) + 1);
}

#define TAV_FORWARD(...) initformattimeobject()->__VA_ARGS__
void time::getdateandtime(int32_t* y, int32_t* mo, int32_t* d, int32_t* h, int32_t* mi) const {
  TAV_FORWARD(getdateandtime(this, y, mo, d, h, mi));
}
void time::setdateandtime(int32_t y, int32_t mo, int32_t d, int32_t h, int32_t mi, double s) {
  TAV_FORWARD(setdateandtime(this, y, mo, d, h, mi, s));
}
void time::getdate(int32_t* y, int32_t* mo, int32_t* d) const { TAV_FORWARD(getdate(this, y, mo, d)); }
void time::setdate(int32_t y, int32_t mo, int32_t d) { TAV_FORWARD(setdate(this, y, mo, d)); }
void time::gettime(int32_t* h, int32_t* mi, int32_t* s) const { TAV_FORWARD(gettime(this, h, mi, s)); }
void time::gettimedetailed(int32_t* h, int32_t* mi, double* s) const {
  TAV_FORWARD(gettimedetailed(this, h, mi, s));
}
void time::settime(int32_t h, int32_t mi, int32_t s) { TAV_FORWARD(settime(this, h, mi, s)); }
void time::settimedetailed(int32_t h, int32_t mi, double s) {
  TAV_FORWARD(settimedetailed(this, h, mi, s));
}
void time::getweek(int32_t* w, int32_t* d) const { TAV_FORWARD(getweek(this, w, d)); }
void time::setweek(int32_t w, int32_t d) { TAV_FORWARD(setweek(this, w, d)); }
const wchar_t* time::tosimplestring() const { return TAV_FORWARD(tosimplestring(this)); }
void time::setfromsimplestring(const wchar_t* s) { TAV_FORWARD(setfromsimplestring(this, s)); }
const wchar_t* time::formatlongdate() const { return TAV_FORWARD(formatlongdate(this)); }
const wchar_t* time::formatshortdate() const { return TAV_FORWARD(formatshortdate(this)); }
const wchar_t* time::formattime() const { return TAV_FORWARD(formattime(this)); }
const wchar_t* time::format(const wchar_t* p) const { return TAV_FORWARD(format(this, p)); }
void time::setfromstring(const wchar_t* s) { TAV_FORWARD(setfromstring(this, s)); }
void time::setfromstring(const wchar_t* s, const wchar_t* p) {
  TAV_FORWARD(setfromstring(this, s, p));
}
bool time::isdaylighttime() const { return TAV_FORWARD(isdaylighttime(this)); }
bool time::isleapyear() const { return TAV_FORWARD(isleapyear(this)); }
#undef TAV_FORWARD

}  // namespace tav
