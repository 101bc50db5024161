// time: UTC instants (gmtTime), signed durations (timeInterval), the native
// time layer (time_api), the local-calendar view of an instant (time), time
// zones, local time, weeks, formatting and parsing (timeFormatter) and the
// package's exceptions.
//
// Instants are 100-ns units since 1601-01-01 UTC; durations are signed
// 100-ns units.  Broken-down seconds are reals with milliseconds.  Every
// operation computes its whole result before it stores anything, so a raise
// leaves the object unchanged.  Objects live on the collected heap with
// their virtual functions in slot order.
#pragma once

#include <windows.h>

#include "core/core.h"
#include "string/string.h"

namespace tav {

class gmtTime;
class timeInterval;
class timeFormatter;

class time_exception {
 public:
  static const ClassInfo classInfo;
  static const ExceptionDescriptor partsoutofrange, wrongstringformat,
      cannotgettimezoneinformation;
  [[noreturn]] static void raise_partsoutofrange(const ClassInfo* ci, int32_t year, int32_t month,
                                                 int32_t day, int32_t hour, int32_t minute,
                                                 double second);
  [[noreturn]] static void raise_wrongstringformat(const ClassInfo* ci, const wchar_t* text,
                                                   const wchar_t* picture);
  [[noreturn]] static void raise_cannotgettimezoneinformation(const ClassInfo* ci, uint32_t code,
                                                              const wchar_t* zone);
};

// The native layer: thin wrappers that raise when the system call fails.
class time_api {
 public:
  static const ClassInfo classInfo;
  static const ExceptionDescriptor cannotgetdatetimeformat, cannotgetlocaleinfo;
  static SYSTEMTIME filetimetosystemtime(uint64_t instant);
  static uint64_t systemtimetofiletime(const SYSTEMTIME& record);
  static uint64_t filetimetolocalfiletime(uint64_t instant);
  static uint64_t localfiletimetofiletime(uint64_t instant);
  static const wchar_t* getdateformat(uint32_t locale, uint32_t flags, const SYSTEMTIME& record,
                                      const wchar_t* picture);
  static const wchar_t* gettimeformat(uint32_t locale, uint32_t flags, const SYSTEMTIME& record,
                                      const wchar_t* picture);
  static const wchar_t* getlocaleinfo(uint32_t locale, uint32_t type);
  static bool isleapyear(int32_t year);
};

class gmtTime {
 public:
  static const ClassInfo classInfo;
  static gmtTime* new_();
  static gmtTime* new_(uint64_t instant);
  static gmtTime* new_(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                       double second);
  static uint64_t getcurrentgmttimevalue();

  virtual uint64_t getgmttime() const;
  virtual void setgmttime(uint64_t instant);
  virtual bool sametime(const gmtTime* other) const;
  virtual bool before(const gmtTime* other) const;
  virtual bool beforeorsametime(const gmtTime* other) const;
  virtual void addinterval(const timeInterval* interval);
  virtual void subtractinterval(const timeInterval* interval);
  virtual timeInterval* getinterval(const gmtTime* other) const;
  virtual void getgmtdateandtime(int32_t* year, int32_t* month, int32_t* day, int32_t* hour,
                                 int32_t* minute, double* second) const;
  virtual void setgmtdateandtime(int32_t year, int32_t month, int32_t day, int32_t hour,
                                 int32_t minute, double second);

 protected:
  explicit gmtTime(uint64_t instant) : currentgmttime_(instant) {}
  uint64_t currentgmttime_;
};

class timeInterval {
 public:
  static const ClassInfo classInfo;
  static timeInterval* new_();
  static timeInterval* new_(int64_t duration);
  static timeInterval* new_(int32_t days, int32_t hours, int32_t minutes, double seconds);
  static timeInterval* new_(const gmtTime* start, const gmtTime* end);

  virtual int64_t get() const;
  virtual bool less(const timeInterval* other) const;
  virtual bool lessorequal(const timeInterval* other) const;
  virtual bool equal(const timeInterval* other) const;
  virtual void add(const timeInterval* other);
  virtual void subtract(const timeInterval* other);
  virtual void multiply(double factor);
  virtual void setinterval(int32_t days, int32_t hours, int32_t minutes, int32_t seconds);
  virtual void setintervaldetailed(int32_t days, int32_t hours, int32_t minutes, double seconds);
  virtual void getinterval(int32_t* days, int32_t* hours, int32_t* minutes,
                           int32_t* seconds) const;
  virtual void getintervaldetailed(int32_t* days, int32_t* hours, int32_t* minutes,
                                   double* seconds) const;

 private:
  explicit timeInterval(int64_t d) : interval_(d) {}
  int64_t interval_;
};

// --- Zones -------------------------------------------------------------------------

// transitiondate = dayinmonth(Month, Day, Hour, Minute)
//                | weekdayinweekofmonth(Month, WeekOfMonth, DayOfWeek, Hour, Minute)
// (week 5 = the last such weekday; day of week 0 = Sunday).
struct TransitionDate {
  enum Kind : uint64_t { dayinmonth = 1, weekdayinweekofmonth = 2 };
  uint64_t functor;
  uint32_t month;
  uint32_t day;  // the day, or the week of the month
  uint32_t dayOfWeek;  // weekdayinweekofmonth only
  uint32_t hour;
  uint32_t minute;
};
// daylightsavingscheme = nodaylightsaving
//   | daylightsaving(StandardName, DaylightName, DaylightStart, StandardStart, DaylightBias)
struct DaylightSavingScheme {
  enum Kind : uint64_t { nodaylightsaving = 1, daylightsaving = 2 };
  uint64_t functor;
  const wchar_t* standardName;
  const wchar_t* daylightName;
  const TransitionDate* daylightStart;  // in standard wall time
  const TransitionDate* standardStart;  // in daylight wall time
  int32_t daylightBias;
};
// timezone(Name, Bias, Scheme): UTC = local standard time + Bias minutes.
struct TimeZone {
  uint64_t functor;
  const wchar_t* name;
  int32_t bias;
  const DaylightSavingScheme* scheme;
};
struct TimeZoneList {
  uint64_t functor;  // 1 a cell, 2 the empty list
  const TimeZone* head;
  const TimeZoneList* tail;
  bool Empty() const { return (functor & 0xFF) == 2; }
};

// The calendar view of an instant in the shared formatter's local time.
class time : public gmtTime {
 public:
  static const ClassInfo classInfo;
  static time* new_();
  static time* new_(const gmtTime* other);
  static time* new_(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                    double second);
  static time* newdate(int32_t year, int32_t month, int32_t day);
  static time* newtime(int32_t hour, int32_t minute, double second);

  static void normalize(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                        double second, int32_t* y, int32_t* mo, int32_t* d, int32_t* h,
                        int32_t* mi, double* s);
  static int32_t getdaysinmonth(int32_t year, int32_t month);
  static int32_t getdayofweek(int32_t year, int32_t month, int32_t day);
  static int32_t dayofyear(int32_t year, int32_t month, int32_t day);
  // The formatter all time objects share, made on first use.
  static timeFormatter* initformattimeobject();

  virtual void getdateandtime(int32_t* year, int32_t* month, int32_t* day, int32_t* hour,
                              int32_t* minute) const;
  virtual void setdateandtime(int32_t year, int32_t month, int32_t day, int32_t hour,
                              int32_t minute, double second);
  virtual void getdate(int32_t* year, int32_t* month, int32_t* day) const;
  virtual void setdate(int32_t year, int32_t month, int32_t day);
  virtual void gettime(int32_t* hour, int32_t* minute, int32_t* second) const;
  virtual void gettimedetailed(int32_t* hour, int32_t* minute, double* second) const;
  virtual void settime(int32_t hour, int32_t minute, int32_t second);
  virtual void settimedetailed(int32_t hour, int32_t minute, double second);
  virtual void getweek(int32_t* week, int32_t* dayOfWeek) const;
  virtual void setweek(int32_t week, int32_t dayOfWeek);
  virtual const wchar_t* tosimplestring() const;
  virtual void setfromsimplestring(const wchar_t* text);
  virtual const wchar_t* formatlongdate() const;
  virtual const wchar_t* formatshortdate() const;
  virtual const wchar_t* formattime() const;
  virtual const wchar_t* format(const wchar_t* picture) const;
  virtual void setfromstring(const wchar_t* text);
  virtual void setfromstring(const wchar_t* text, const wchar_t* picture);
  virtual bool isdaylighttime() const;
  virtual bool isleapyear() const;

 private:
  using gmtTime::gmtTime;
  static time* Make(uint64_t instant);
};

class timeFormatter {
 public:
  static const ClassInfo classInfo;
  static constexpr const wchar_t* systemZone = L"System Default Time Zone";
  static timeFormatter* new_();
  static timeFormatter* new_(const TimeZone* zone);
  static const TimeZoneList* getavailabletimezones();
  static const TimeZone* gettimezoneinformation(const wchar_t* name);

  virtual void getdateandtime(const gmtTime* obj, int32_t* year, int32_t* month, int32_t* day,
                              int32_t* hour, int32_t* minute) const;
  virtual void setdateandtime(gmtTime* obj, int32_t year, int32_t month, int32_t day,
                              int32_t hour, int32_t minute, double second) const;
  virtual void getdate(const gmtTime* obj, int32_t* year, int32_t* month, int32_t* day) const;
  virtual void setdate(gmtTime* obj, int32_t year, int32_t month, int32_t day) const;
  virtual void gettime(const gmtTime* obj, int32_t* hour, int32_t* minute,
                       int32_t* second) const;
  virtual void gettimedetailed(const gmtTime* obj, int32_t* hour, int32_t* minute,
                               double* second) const;
  virtual void settime(gmtTime* obj, int32_t hour, int32_t minute, int32_t second) const;
  virtual void settimedetailed(gmtTime* obj, int32_t hour, int32_t minute, double second) const;
  virtual void getweek(const gmtTime* obj, int32_t* week, int32_t* dayOfWeek) const;
  virtual void setweek(gmtTime* obj, int32_t week, int32_t dayOfWeek) const;
  virtual const wchar_t* tosimplestring(const gmtTime* obj) const;
  virtual void setfromsimplestring(gmtTime* obj, const wchar_t* text) const;
  virtual const wchar_t* formatlongdate(const gmtTime* obj) const;
  virtual const wchar_t* formatshortdate(const gmtTime* obj) const;
  virtual const wchar_t* formattime(const gmtTime* obj) const;
  virtual const wchar_t* format(const gmtTime* obj, const wchar_t* picture) const;
  virtual void setfromstring(gmtTime* obj, const wchar_t* text) const;
  virtual void setfromstring(gmtTime* obj, const wchar_t* text, const wchar_t* picture) const;
  virtual bool isdaylighttime(const gmtTime* obj) const;
  virtual bool isleapyear(const gmtTime* obj) const;

  // The local record of an instant (day of week filled).
  SYSTEMTIME getlocaletime(uint64_t instant) const;
  // The instant of local parts (normalised first); raises partsoutofrange.
  uint64_t localinstant(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                        double second) const;
  uint32_t locale() const { return locale_; }
  const TimeZone* localtimezone() const { return zone_; }

 private:
  // What the formatter reads from its locale once, when made.
  struct LocaleData {
    const wchar_t* months[12];
    const wchar_t* abbrevMonths[12];
    const wchar_t* days[7];  // Monday first
    const wchar_t* abbrevDays[7];
    const wchar_t* am;
    const wchar_t* pm;
    const wchar_t* timePicture;
    const wchar_t* longDatePicture;
    const wchar_t* shortDatePicture;
    int32_t firstDay;  // 0 Monday .. 6 Sunday
    wchar_t firstWeekRule;  // '0', '1' or '2'
  };
  friend class time;
  timeFormatter(uint32_t locale, const TimeZone* zone);
  // A formatter of the user's locale in `block`.
  static timeFormatter* NewIn(void* block, const TimeZone* zone);
  int32_t DaysBeforeFirstWeek(int32_t year) const;
  bool Parse(gmtTime* obj, const wchar_t* text, const wchar_t* picture) const;

  uint32_t locale_;
  const TimeZone* zone_;
  LocaleData data_;
};

}  // namespace tav
