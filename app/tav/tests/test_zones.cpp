// Time zones, local time and weeks: three registry zones against zoneinfo
// vectors in both directions, the system zone under the program's TZ, zone
// records that are not what they should be, and week numbers under the
// locale's rules.
#include <cstdlib>

#include "binary/binary.h"
#include "registry/registry.h"
#include "tav_test.h"
#include "time/time.h"

using namespace tavtest;

namespace {

struct MinutePair {
  int64_t from, to;
};
#include "zone_vectors.inc"

constexpr int64_t kUnitsPerMinute = 600000000;
constexpr int64_t kMinutes1601To1970 = 194074560;  // 134774 days

uint64_t InstantOfMinutes(int64_t m) { return static_cast<uint64_t>((m + kMinutes1601To1970) * kUnitsPerMinute); }
int64_t MinutesOfRecord(const SYSTEMTIME& r) {
  FILETIME ft;
  SystemTimeToFileTime(&r, &ft);
  return static_cast<int64_t>((uint64_t{ft.dwHighDateTime} << 32 | ft.dwLowDateTime) / kUnitsPerMinute) -
         kMinutes1601To1970;
}
SYSTEMTIME RecordOfMinutes(int64_t m) {
  uint64_t u = InstantOfMinutes(m);
  FILETIME ft{static_cast<DWORD>(u), static_cast<DWORD>(u >> 32)};
  SYSTEMTIME r;
  FileTimeToSystemTime(&ft, &r);
  return r;
}

const wchar_t* const kZoneKey = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones";

class Zones : public Library {
 protected:
  timeFormatter* Formatter(const wchar_t* zone) {
    return timeFormatter::new_(timeFormatter::gettimezoneinformation(zone));
  }
  // The wall time of a UTC minute under `f`, in minutes.
  int64_t Wall(const timeFormatter* f, int64_t utc) {
    return MinutesOfRecord(f->getlocaletime(InstantOfMinutes(utc)));
  }
  int64_t Utc(const timeFormatter* f, int64_t wall) {
    SYSTEMTIME r = RecordOfMinutes(wall);
    return static_cast<int64_t>(f->localinstant(r.wYear, r.wMonth, r.wDay, r.wHour, r.wMinute, 0) /
                                kUnitsPerMinute) - kMinutes1601To1970;
  }
};

TEST_F(Zones, RegistryZonesMatchZoneinfoAtEveryTransition) {
  struct Case {
    const wchar_t* zone;
    const MinutePair* utc;
    size_t utcCount;
    const MinutePair* wall;
    size_t wallCount;
  };
  const Case cases[] = {
      {L"GMT Standard Time", kLondonUtc, std::size(kLondonUtc), kLondonWall, std::size(kLondonWall)},
      {L"AUS Eastern Standard Time", kSydneyUtc, std::size(kSydneyUtc), kSydneyWall, std::size(kSydneyWall)},
      {L"Eastern Standard Time", kNewYorkUtc, std::size(kNewYorkUtc), kNewYorkWall, std::size(kNewYorkWall)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.zone));
    const timeFormatter* f = Formatter(c.zone);
    int failures = 0;
    for (size_t i = 0; i < c.utcCount && failures < 5; ++i)
      if (Wall(f, c.utc[i].from) != c.utc[i].to) {
        ADD_FAILURE() << "UTC minute " << c.utc[i].from << " gave " << Wall(f, c.utc[i].from) << ", want " << c.utc[i].to;
        ++failures;
      }
    for (size_t i = 0; i < c.wallCount && failures < 5; ++i)
      if (Utc(f, c.wall[i].from) != c.wall[i].to) {
        ADD_FAILURE() << "wall minute " << c.wall[i].from << " gave " << Utc(f, c.wall[i].from) << ", want " << c.wall[i].to;
        ++failures;
      }
  }
}

// Every half hour of 2010-2035: the offset is the one after the latest
// transition of the vectors (each transition's five points hold the
// transition itself third), and the wall time leads back to the instant.
TEST_F(Zones, EveryHalfHourBetweenTransitionsKeepsItsOffset) {
  struct Case {
    const wchar_t* zone;
    const MinutePair* utc;
    size_t count;
  };
  const Case cases[] = {
      {L"GMT Standard Time", kLondonUtc, std::size(kLondonUtc)},
      {L"AUS Eastern Standard Time", kSydneyUtc, std::size(kSydneyUtc)},
      {L"Eastern Standard Time", kNewYorkUtc, std::size(kNewYorkUtc)},
  };
  const int64_t from = 21038400, to = 34712640;  // 2010-01-01 and 2036-01-01
  for (const Case& c : cases) {
    const timeFormatter* f = Formatter(c.zone);
    size_t next = 0;
    int64_t offset = c.utc[1].to - c.utc[1].from;  // before the first transition
    int failures = 0;
    for (int64_t m = from; m < to && failures < 5; m += 30) {
      while (next < c.count / 5 && c.utc[next * 5 + 2].from <= m) {
        offset = c.utc[next * 5 + 2].to - c.utc[next * 5 + 2].from;
        ++next;
      }
      // Back from the wall time: this instant, or the first of a repeated hour.
      const int64_t wall = Wall(f, m), back = Utc(f, wall);
      if (wall != m + offset || back > m || Wall(f, back) != wall) {
        ADD_FAILURE() << Narrow(c.zone) << " UTC minute " << m;
        ++failures;
      }
    }
    EXPECT_EQ(next, c.count / 5);
  }
}

SYSTEMTIME Rec(WORD y, WORD mo, WORD d, WORD h, WORD mi) { return SYSTEMTIME{y, mo, 0, d, h, mi, 0, 0}; }
uint64_t InstantOf(const SYSTEMTIME& r) { return InstantOfMinutes(MinutesOfRecord(r)); }

TEST_F(Zones, TransitionDaysAndDaylightState) {
  struct Case {
    const wchar_t* zone;
    SYSTEMTIME utc, wall;
    bool daylight;
  };
  const Case cases[] = {
      {L"GMT Standard Time", Rec(2026, 10, 25, 1, 0), Rec(2026, 10, 25, 1, 0), false},
      {L"GMT Standard Time", Rec(2026, 10, 25, 0, 30), Rec(2026, 10, 25, 1, 30), true},
      {L"GMT Standard Time", Rec(2024, 3, 31, 1, 0), Rec(2024, 3, 31, 2, 0), true},  // ends on a Sunday
      {L"GMT Standard Time", Rec(2024, 3, 24, 1, 0), Rec(2024, 3, 24, 1, 0), false},
      {L"GMT Standard Time", Rec(2026, 7, 1, 12, 0), Rec(2026, 7, 1, 13, 0), true},
      {L"GMT Standard Time", Rec(2026, 1, 1, 12, 0), Rec(2026, 1, 1, 12, 0), false},
      {L"AUS Eastern Standard Time", Rec(2026, 10, 3, 16, 0), Rec(2026, 10, 4, 3, 0), true},
      {L"AUS Eastern Standard Time", Rec(2026, 4, 4, 16, 0), Rec(2026, 4, 5, 2, 0), false},
      {L"AUS Eastern Standard Time", Rec(2026, 1, 1, 0, 0), Rec(2026, 1, 1, 11, 0), true},
      {L"AUS Eastern Standard Time", Rec(2026, 7, 1, 0, 0), Rec(2026, 7, 1, 10, 0), false},
      {L"Eastern Standard Time", Rec(2026, 3, 8, 6, 30), Rec(2026, 3, 8, 1, 30), false},
      {L"Eastern Standard Time", Rec(2026, 3, 8, 7, 0), Rec(2026, 3, 8, 3, 0), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.zone) + " " + std::to_string(c.utc.wMonth) + "/" + std::to_string(c.utc.wDay));
    timeFormatter* f = Formatter(c.zone);
    gmtTime* t = gmtTime::new_(InstantOf(c.utc));
    EXPECT_EQ(MinutesOfRecord(f->getlocaletime(t->getgmttime())), MinutesOfRecord(c.wall));
    EXPECT_EQ(f->isdaylighttime(t), c.daylight);
  }
  // Wall times to UTC: New York's spring day, Sydney's, a skipped time
  // (standard) and a repeated one (daylight).
  struct Back {
    const wchar_t* zone;
    SYSTEMTIME wall, utc;
  };
  const Back backs[] = {
      {L"Eastern Standard Time", Rec(2026, 3, 8, 1, 30), Rec(2026, 3, 8, 6, 30)},
      {L"Eastern Standard Time", Rec(2026, 3, 8, 2, 30), Rec(2026, 3, 8, 7, 30)},
      {L"Eastern Standard Time", Rec(2026, 11, 1, 1, 30), Rec(2026, 11, 1, 5, 30)},
      {L"AUS Eastern Standard Time", Rec(2026, 10, 4, 2, 30), Rec(2026, 10, 3, 16, 30)},
      {L"AUS Eastern Standard Time", Rec(2026, 4, 5, 2, 30), Rec(2026, 4, 4, 15, 30)},
      {L"GMT Standard Time", Rec(2026, 10, 25, 1, 30), Rec(2026, 10, 25, 0, 30)},
  };
  for (const Back& b : backs) {
    timeFormatter* f = Formatter(b.zone);
    EXPECT_EQ(f->localinstant(b.wall.wYear, b.wall.wMonth, b.wall.wDay, b.wall.wHour, b.wall.wMinute, 0),
              InstantOf(b.utc))
        << Narrow(b.zone) << " " << b.wall.wMonth << "/" << b.wall.wDay << " " << b.wall.wHour;
  }
}

TEST_F(Zones, ZoneWithoutDaylightAndTheUtcEdge) {
  static const TransitionDate none{};
  (void)none;
  static const DaylightSavingScheme plain{DaylightSavingScheme::nodaylightsaving, nullptr, nullptr, nullptr, nullptr, 0};
  static const TimeZone east{1, L"east", -60, &plain};
  timeFormatter* f = timeFormatter::new_(&east);
  gmtTime* t = gmtTime::new_(InstantOf(Rec(2004, 1, 1, 0, 30)));
  EXPECT_EQ(MinutesOfRecord(f->getlocaletime(t->getgmttime())), MinutesOfRecord(Rec(2004, 1, 1, 1, 30)));
  f->setdateandtime(t, 2004, 1, 1, 1, 30, 0.0);
  EXPECT_EQ(t->getgmttime(), InstantOf(Rec(2004, 1, 1, 0, 30)));
  // Local 1601-01-01 00:30 east of Greenwich lies before the first instant.
  uint32_t id = RunTrapped([&] { f->setdateandtime(t, 1601, 1, 1, 0, 30, 0.0); });
  EXPECT_NE(exception::trygetdescriptor(id, &time_exception::partsoutofrange), nullptr);
  EXPECT_EQ(t->getgmttime(), InstantOf(Rec(2004, 1, 1, 0, 30)));
}

// A temporary zone in the registry's zone table, removed again.
class TemporaryZone : public Zones {
 protected:
  static constexpr const wchar_t* kName = L"kalmoraTessaro test zone";
  void TearDown() override {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(kZoneKey) + L"\\" + kName).c_str());
    Zones::TearDown();
  }
  void Write(const ValueTerm* tzi) {
    registry::setvalue(rootkey::localmachine, (std::wstring(kZoneKey) + L"\\" + kName).c_str(),
                       Values({{L"TZI", tzi}, {L"Std", value::string(L"Test Standard")},
                               {L"Dlt", value::string(L"Test Daylight")}}));
  }
  // 44 bytes: London's rules with one field changed.
  static std::vector<uint8_t> Tzi() {
    std::vector<uint8_t> b(44);
    b[8] = 0xC4, b[9] = b[10] = b[11] = 0xFF;  // DaylightBias -60
    const WORD standard[8] = {0, 10, 0, 5, 2, 0, 0, 0}, daylight[8] = {0, 3, 0, 5, 1, 0, 0, 0};
    memcpy(&b[12], standard, 16);
    memcpy(&b[28], daylight, 16);
    return b;
  }
};

TEST_F(TemporaryZone, RecordsOutOfShapeRaiseTheInternalErrorNamingTheZone) {
  std::vector<uint8_t> good = Tzi();
  Write(value::binary(binary::createfrompointer(good.data(), 44)));
  const TimeZone* z = timeFormatter::gettimezoneinformation(kName);
  EXPECT_EQ(z->scheme->functor, DaylightSavingScheme::daylightsaving);
  EXPECT_STREQ(z->scheme->daylightName, L"Test Daylight");
  EXPECT_EQ(z->scheme->standardStart->month, 10u);

  struct Case {
    const char* what;
    size_t offset;  // byte changed, or the size for a length case
    uint8_t value;
    bool length;
  };
  const Case cases[] = {
      {"43 bytes", 43, 0, true},     {"45 bytes", 45, 0, true},
      {"standard month 13", 14, 13, false}, {"daylight week 6", 34, 6, false},
      {"daylight weekday 7", 32, 7, false}, {"standard hour 24", 20, 24, false},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> b = good;
    if (c.length) b.resize(c.offset);
    else b[c.offset] = c.value;
    Write(value::binary(binary::createfrompointer(b.data(), static_cast<uint32_t>(b.size()))));
    uint32_t id = RunTrapped([&] { timeFormatter::gettimezoneinformation(kName); });
    const TraceEntry* e = exception::trygetdescriptor(id, &common_exception::internal);
    ASSERT_NE(e, nullptr) << c.what;
    bool named = false;
    for (const NamedValueList* l = e->extraInfo; !l->Empty(); l = l->tail)
      if (l->head->value->Kind() == ValueKind::string &&
          wcsstr(l->head->value->As<const wchar_t*>(), kName))
        named = true;
    EXPECT_TRUE(named) << c.what;
  }
}

TEST_F(TemporaryZone, EveryRegistryZoneIsListedAndAStringRecordRaises) {
  HKEY key;
  DWORD count = 0;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kZoneKey, 0, KEY_READ, &key), 0);
  RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                   nullptr, nullptr, nullptr);
  RegCloseKey(key);
  size_t listed = 0;
  bool london = false;
  for (const TimeZoneList* l = timeFormatter::getavailabletimezones(); !l->Empty(); l = l->tail) {
    ++listed;
    if (wcscmp(l->head->name, L"GMT Standard Time") == 0) london = l->head->bias == 0;
  }
  EXPECT_EQ(listed, count);
  EXPECT_GT(listed, 100u);
  EXPECT_TRUE(london);

  Write(value::string(L"not a record"));
  uint32_t id = RunTrapped([&] { timeFormatter::getavailabletimezones(); });
  EXPECT_NE(exception::trygetdescriptor(id, &common_exception::internal), nullptr);
}

// Runs only where the program's TZ names one of these zones.
TEST_F(Zones, SystemZoneIsTheRegistryZoneOfTheProgramsTZ) {
  wchar_t tz[64] = L"";
  GetEnvironmentVariableW(L"TZ", tz, 64);
  const wchar_t* name = wcscmp(tz, L"Europe/London") == 0      ? L"GMT Standard Time"
                        : wcscmp(tz, L"Australia/Sydney") == 0 ? L"AUS Eastern Standard Time"
                                                               : nullptr;
  if (!name) GTEST_SKIP() << "TZ is " << Narrow(tz);
  const TimeZone* system = timeFormatter::gettimezoneinformation(timeFormatter::systemZone);
  const TimeZone* registry = timeFormatter::gettimezoneinformation(name);
  EXPECT_STREQ(system->name, timeFormatter::systemZone);
  EXPECT_EQ(system->bias, registry->bias);
  ASSERT_EQ(system->scheme->functor, DaylightSavingScheme::daylightsaving);
  EXPECT_STREQ(system->scheme->standardName, registry->scheme->standardName);
  for (auto pick : {&DaylightSavingScheme::daylightStart, &DaylightSavingScheme::standardStart}) {
    const TransitionDate* a = system->scheme->*pick;
    const TransitionDate* b = registry->scheme->*pick;
    EXPECT_EQ((std::vector<uint32_t>{uint32_t(a->functor), a->month, a->day, a->dayOfWeek, a->hour, a->minute}),
              (std::vector<uint32_t>{uint32_t(b->functor), b->month, b->day, b->dayOfWeek, b->hour, b->minute}));
  }
  // The shared formatter of time objects uses it.
  tav::time* t = tav::time::new_(gmtTime::new_(InstantOf(Rec(2026, 7, 1, 0, 0))));
  EXPECT_TRUE(t->isdaylighttime() == (name[0] == L'G'));
}

// --- weeks ---

// The locale's week settings, overridden for one test through the system
// (which keeps its own copy of the user's settings) and restored after it,
// values that were absent from the registry removed again.
class Weeks : public Zones {
 protected:
  void Override(const wchar_t* firstDay, const wchar_t* rule) {
    Save(L"iFirstDayOfWeek", LOCALE_IFIRSTDAYOFWEEK, firstDay);
    Save(L"iFirstWeekOfYear", LOCALE_IFIRSTWEEKOFYEAR, rule);
  }
  void TearDown() override {
    for (const Saved& s : saved_) {
      SetLocaleInfoW(LOCALE_USER_DEFAULT, s.type, s.value.c_str());
      if (!s.present)
        RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\International", s.name.c_str());
    }
    Zones::TearDown();
  }
  void Save(const wchar_t* name, LCTYPE type, const wchar_t* v) {
    Saved s{name, type, L"", false};
    wchar_t old[16] = L"";
    DWORD size = sizeof old;
    s.present = RegGetValueW(HKEY_CURRENT_USER, L"Control Panel\\International", name, RRF_RT_REG_SZ,
                             nullptr, old, &size) == 0;
    GetLocaleInfoW(LOCALE_USER_DEFAULT, type, old, 16);
    s.value = old;
    if (saved_.size() < 2) saved_.push_back(s);
    ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, type, v));
  }
  struct Saved {
    std::wstring name;
    LCTYPE type;
    std::wstring value;
    bool present;
  };
  static const TimeZone* Utc() {
    static const DaylightSavingScheme plain{DaylightSavingScheme::nodaylightsaving, nullptr, nullptr, nullptr, nullptr, 0};
    static const TimeZone utc{1, L"utc", 0, &plain};
    return &utc;
  }
  std::vector<Saved> saved_;
};

// Monday first, rule "2" (en-GB): ISO weeks where the ISO year is the
// calendar year.  Offsets of each ISO week 1's Monday from 1 January,
// 2000-2036, from Python's isocalendar.
TEST_F(Weeks, BritishWeeksAreIsoWeeksWithinTheYear) {
  if (GetUserDefaultLCID() != 0x809) GTEST_SKIP() << "not en-GB";
  static const int kWeekOneOffset[] = {2, 0, -1, -2, -3, 2, 1, 0, -1, -3, 3, 2, 1, -1, -2, -3, 3, 1, 0,
                                       -1, -2, 3, 2, 1, 0, -2, -3, 3, 2, 0, -1, -2, -3, 2, 1, 0, -1};
  timeFormatter* f = timeFormatter::new_(Utc());
  gmtTime* t = gmtTime::new_(uint64_t{0});
  for (int y = 2000; y <= 2035; ++y) {
    const int days = time_api::isleapyear(y) ? 366 : 365;
    const int off = kWeekOneOffset[y - 2000], nextOff = kWeekOneOffset[y - 1999] + days;
    for (int k = 0; k < days; ++k) {
      f->setdateandtime(t, y, 1, k + 1, 12, 0, 0.0);
      int32_t week, day;
      f->getweek(t, &week, &day);
      const int want = k < off ? 0 : k >= nextOff ? 53 : (k - off) / 7 + 1;
      ASSERT_EQ(week, want) << y << " day " << k + 1;
      ASSERT_EQ(day, (tav::time::getdayofweek(y, 1, k + 1) + 6) % 7 + 1);
      gmtTime* u = gmtTime::new_(uint64_t{0});
      f->setdateandtime(u, y, 6, 15, 12, 0, 0.0);
      f->setweek(u, week, day);
      ASSERT_EQ(u->getgmttime(), t->getgmttime()) << y << " day " << k + 1;
    }
  }
}

TEST_F(Weeks, RulesOfTheFirstWeekFromTheUsersSettings) {
  struct Case {
    const wchar_t* rule;
    int day;  // of January 2005
    int week, dayOfWeek;
  };
  const Case cases[] = {
      {L"0", 1, 1, 6}, {L"0", 3, 2, 1}, {L"1", 1, 0, 6}, {L"1", 2, 0, 7}, {L"1", 3, 1, 1},
      {L"2", 1, 0, 6}, {L"2", 3, 1, 1},
  };
  for (const Case& c : cases) {
    Override(L"0", c.rule);
    timeFormatter* f = timeFormatter::new_(Utc());
    gmtTime* t = gmtTime::new_(uint64_t{0});
    f->setdateandtime(t, 2005, 1, c.day, 8, 30, 1.25);
    int32_t week, day;
    f->getweek(t, &week, &day);
    EXPECT_EQ(week, c.week) << Narrow(c.rule) << " " << c.day;
    EXPECT_EQ(day, c.dayOfWeek) << Narrow(c.rule) << " " << c.day;
    gmtTime* u = gmtTime::new_(t->getgmttime() + uint64_t{86400} * 10000000 * 40);
    f->setweek(u, week, day);
    EXPECT_EQ(u->getgmttime(), t->getgmttime());
  }
}

}  // namespace
