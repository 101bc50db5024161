// Formatting and parsing of local time, en-US (the default run) and en-GB
// (the London run): pictures expanded once per character and checked
// against the system's own formatting, the fraction token, the simple
// string, parsing tables with their failures, and formatted text parsing
// back to the same instant.
#include "tav_test.h"
#include "time/time.h"

using namespace tavtest;

namespace {

constexpr uint64_t kMs = 10000;

uint64_t Utc(WORD y, WORD mo, WORD d, WORD h = 0, WORD mi = 0, WORD s = 0, WORD ms = 0) {
  SYSTEMTIME r{y, mo, 0, d, h, mi, s, ms};
  FILETIME ft;
  SystemTimeToFileTime(&r, &ft);
  return uint64_t{ft.dwHighDateTime} << 32 | ft.dwLowDateTime;
}
std::wstring Windows(bool date, const wchar_t* picture, uint64_t u) {
  FILETIME ft{static_cast<DWORD>(u), static_cast<DWORD>(u >> 32)};
  SYSTEMTIME r;
  FileTimeToSystemTime(&ft, &r);
  wchar_t out[200];
  if (date) GetDateFormatW(GetUserDefaultLCID(), 0, &r, picture, out, 200);
  else GetTimeFormatW(GetUserDefaultLCID(), 0, &r, picture, out, 200);
  return out;
}

class Formats : public Library {
 protected:
  void SetUp() override {
    Library::SetUp();
    static const DaylightSavingScheme plain{DaylightSavingScheme::nodaylightsaving, nullptr, nullptr, nullptr, nullptr, 0};
    static const TimeZone utc{1, L"utc", 0, &plain};
    f_ = timeFormatter::new_(&utc);
  }
  std::wstring Format(uint64_t u, const wchar_t* picture) {
    return f_->format(gmtTime::new_(u), picture);
  }
  bool English() const { return GetUserDefaultLCID() == 0x409; }
  bool British() const { return GetUserDefaultLCID() == 0x809; }
  timeFormatter* f_;
};

TEST_F(Formats, PicturesExpandEachCharacterOnce) {
  if (!English() && !British()) GTEST_SKIP() << "locale " << GetUserDefaultLCID();
  const uint64_t leap = Utc(2004, 2, 29, 13, 5, 7, 45);
  struct Case {
    uint64_t at;
    const wchar_t* picture;
    const wchar_t* want;
    const wchar_t* british = nullptr;  // where en-GB differs
  };
  const Case cases[] = {
      {leap, L"yyyy-MM-dd HH:mm:ss.qqq", L"2004-02-29 13:05:07.045"},
      {Utc(2004, 2, 29, 15, 5), L"h:mm tt", L"3:05 PM", L"3:05 pm"},
      {Utc(2004, 2, 29, 0, 30), L"hh:mm t", L"12:30 A", L"12:30 a"},
      {Utc(2004, 3, 1), L"dddd, MMMM d, yyyy", L"Monday, March 1, 2004"},
      {Utc(2005, 7, 4), L"ddd d MMM yy, M/d/y", L"Mon 4 Jul 05, 7/4/5"},
      {Utc(2005, 7, 4, 9, 3, 2), L"H:m:s HH:mm:ss", L"9:3:2 09:03:02"},
      {Utc(2005, 7, 4, 9), L"'dd at' h 'o''clock' tt", L"dd at 9 oclock AM", L"dd at 9 oclock am"},
      {Utc(2005, 7, 4, 9), L"'unbalanced h", L"unbalanced h"},
      {Utc(2005, 7, 4, 9, 0, 0, 123), L"qq|q|qqq", L"12|q|qqq"},
      {Utc(2005, 7, 4, 9, 0, 0, 40), L"qq", L"04"},
      {Utc(2005, 7, 4, 9, 0, 0, 960), L"q", L"9"},  // 9.6 tenths: not carried
      {Utc(2005, 7, 4, 9, 0, 0, 996), L"qq", L"99"},
      {Utc(2005, 7, 4, 9, 0, 0, 7), L"qqqq", L"007q"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Format(c.at, c.picture), British() && c.british ? c.british : c.want) << Narrow(c.picture);
  // Wherever a picture holds only date or only time tokens, the system
  // formats it the same way.
  const wchar_t* dates[] = {L"dddd, MMMM d, yyyy", L"M/d/yy", L"ddd MMM yy", L"d MMM yyyy", L"dd/MM/yyyy", L"MMMM"};
  const wchar_t* times[] = {L"h:mm:ss tt", L"HH:mm", L"h:mm t", L"hh 'h' mm"};
  for (uint64_t u : {leap, Utc(2010, 12, 31, 23, 59, 59), Utc(1999, 1, 1, 0, 0, 1), Utc(2021, 9, 5, 12, 0)}) {
    for (const wchar_t* p : dates) EXPECT_EQ(Format(u, p), Windows(true, p, u)) << Narrow(p);
    for (const wchar_t* p : times) EXPECT_EQ(Format(u, p), Windows(false, p, u)) << Narrow(p);
  }
  // The locale's own pictures give the system's long and short dates.
  gmtTime* t = gmtTime::new_(leap);
  EXPECT_EQ(std::wstring(f_->format(t, time_api::getlocaleinfo(f_->locale(), LOCALE_SLONGDATE))),
            f_->formatlongdate(t));
  EXPECT_EQ(std::wstring(f_->format(t, time_api::getlocaleinfo(f_->locale(), LOCALE_SSHORTDATE))),
            f_->formatshortdate(t));
  EXPECT_EQ(std::wstring(f_->formattime(t)), Windows(false, nullptr, leap));
  if (British()) EXPECT_STREQ(f_->formatshortdate(t), L"29/02/2004");
  if (English()) EXPECT_STREQ(f_->formatshortdate(t), L"2/29/2004");
}

TEST_F(Formats, SimpleStringKeepsTheHourOfTheDay) {
  gmtTime* t = gmtTime::new_(Utc(2004, 2, 29, 15, 4, 5));
  EXPECT_STREQ(f_->tosimplestring(t), L"20040229150405");
  f_->setfromsimplestring(t, L"20040229030405");
  EXPECT_EQ(t->getgmttime(), Utc(2004, 2, 29, 3, 4, 5));
  EXPECT_STREQ(f_->tosimplestring(gmtTime::new_(Utc(2004, 2, 29, 0, 30))), L"20040229003000");
  f_->setfromsimplestring(t, L"20041301250000");  // rolled over
  EXPECT_EQ(t->getgmttime(), Utc(2005, 1, 2, 1));
  for (const wchar_t* bad : {L"2004022915040", L"200402291504055", L"2004022915040x", L"-0040229150405", L""}) {
    uint32_t id = RunTrapped([&] { f_->setfromsimplestring(t, bad); });
    const TraceEntry* e = exception::trygetdescriptor(id, &time_exception::wrongstringformat);
    ASSERT_NE(e, nullptr) << Narrow(bad);
    EXPECT_EQ(Extra(e, L"Time as string"), bad);
    EXPECT_EQ(t->getgmttime(), Utc(2005, 1, 2, 1));
  }
}

TEST_F(Formats, ParsingTable) {
  if (!English() && !British()) GTEST_SKIP();
  const uint64_t start = Utc(2001, 5, 6, 7, 8, 9, 100);
  struct Case {
    const wchar_t* text;
    const wchar_t* picture;
    uint64_t want;  // 0: wrongstringformat
  };
  const Case cases[] = {
      {L"7/4/05", L"M/d/yy", Utc(2005, 7, 4, 7, 8, 9, 100)},
      {L"12/31/05", L"M/d/yy", Utc(2005, 12, 31, 7, 8, 9, 100)},
      {L"3:15 PM", L"h:mm tt", Utc(2001, 5, 6, 15, 15, 9, 100)},
      {L"3:15 pm", L"h:mm tt", Utc(2001, 5, 6, 15, 15, 9, 100)},
      {L"12:00 AM", L"h:mm tt", Utc(2001, 5, 6, 0, 0, 9, 100)},
      {L"12:00 PM", L"h:mm tt", Utc(2001, 5, 6, 12, 0, 9, 100)},
      {L"13:00 PM", L"h:mm tt", 0},
      {L"3:15", L"h:mm", 0},
      {L"Monday, March 1, 2004", L"dddd, MMMM d, yyyy", Utc(2004, 3, 1, 7, 8, 9, 100)},
      {L"Mon, Mar 01 2004", L"ddd, MMM dd yyyy", Utc(2004, 3, 1, 7, 8, 9, 100)},
      {L"12:30:45", L"HH:mm", Utc(2001, 5, 6, 12, 30, 9, 100)},
      {L"12", L"HH:mm", 0},
      {L"1999-12-31 23:59:58.5", L"yyyy-MM-dd HH:mm:ss.q", Utc(1999, 12, 31, 23, 59, 58, 500)},
      {L"day 09 of 2002", L"'day' dd 'of' yyyy", Utc(2002, 5, 9, 7, 8, 9, 100)},
      {L"day 09", L"'day' dd 'of' yyyy", 0},
      {L"doy 09", L"'day' dd", 0},
      {L"", L"yyyy", 0},
      {L"20x4", L"yyyy", 0},
      {L"Marc", L"MMMM", 0},
      {L"Mar", L"MMMM", 0},
      {L"x", L"'x", 0},
      {L"12", L"'", 0},
      {L"x 2002", L"'x' yyyy '", 0},
      {L"07:60", L"HH:mm", Utc(2001, 5, 6, 8, 0, 9, 100)},  // normalised
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.text) + " / " + Narrow(c.picture));
    gmtTime* t = gmtTime::new_(start);
    uint32_t id = RunTrapped([&] { f_->setfromstring(t, c.text, c.picture); });
    if (c.want) {
      EXPECT_EQ(id, 0u);
      EXPECT_EQ(t->getgmttime(), c.want);
    } else {
      const TraceEntry* e = exception::trygetdescriptor(id, &time_exception::wrongstringformat);
      ASSERT_NE(e, nullptr);
      EXPECT_EQ(Names(e), (std::vector<std::wstring>{L"Time as string", L"Format picture"}));
      EXPECT_EQ(Extra(e, L"Format picture"), c.picture);
      EXPECT_EQ(t->getgmttime(), start);
    }
  }
  // Values outside the calendar are partsoutofrange, and change nothing.
  gmtTime* t = gmtTime::new_(start);
  uint32_t id = RunTrapped([&] { f_->setfromstring(t, L"9999-12-31 24", L"yyyy-MM-dd HH"); });
  EXPECT_NE(exception::trygetdescriptor(id, &time_exception::partsoutofrange), nullptr);
  EXPECT_EQ(t->getgmttime(), start);
}

TEST_F(Formats, TheLocalesPicturesAreTriedInTurn) {
  if (!English()) GTEST_SKIP();
  gmtTime* t = gmtTime::new_(Utc(2001, 5, 6, 7, 8, 9));
  f_->setfromstring(t, L"3:15:20 PM");
  EXPECT_EQ(t->getgmttime(), Utc(2001, 5, 6, 15, 15, 20));
  f_->setfromstring(t, L"Monday, March 1, 2004");
  EXPECT_EQ(t->getgmttime(), Utc(2004, 3, 1, 15, 15, 20));
  f_->setfromstring(t, L"7/4/2005");
  EXPECT_EQ(t->getgmttime(), Utc(2005, 7, 4, 15, 15, 20));
  uint32_t id = RunTrapped([&] { f_->setfromstring(t, L"soon"); });
  const TraceEntry* e = exception::trygetdescriptor(id, &time_exception::wrongstringformat);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(Extra(e, L"Format picture"), time_api::getlocaleinfo(f_->locale(), LOCALE_SSHORTDATE));
  EXPECT_EQ(t->getgmttime(), Utc(2005, 7, 4, 15, 15, 20));
}

TEST_F(Formats, FormattedTextParsesBack) {
  const wchar_t* pictures[] = {
      L"yyyy-MM-dd HH:mm:ss.qqq",
      L"dddd, MMMM d, yyyy 'at' h:mm:ss.qqq tt",
      L"d MMM yyyy H:m:s.qqq",
      L"'Week of' MMMM dd yyyy hh:mm:ss qqq t",
      L"yyyyMMddHHmmssqqq",
      L"'''x' yyyy/M/d HH'h'mm'm'ss's' qqq",
  };
  const uint64_t instants[] = {Utc(2004, 2, 29, 13, 5, 7, 45), Utc(1999, 12, 31, 23, 59, 59, 999),
                               Utc(2021, 9, 5, 0, 0, 0, 0), Utc(2010, 5, 17, 12, 30, 1, 1),
                               Utc(1601, 1, 1, 0, 0, 0, 1), Utc(9999, 12, 31, 11, 59, 59, 500)};
  for (const wchar_t* p : pictures)
    for (uint64_t u : instants) {
      const wchar_t* text = f_->format(gmtTime::new_(u), p);
      gmtTime* back = gmtTime::new_(Utc(2000, 6, 15, 6, 6, 6, 6));
      uint32_t id = RunTrapped([&] { f_->setfromstring(back, text, p); });
      EXPECT_EQ(id, 0u) << Narrow(text) << " / " << Narrow(p);
      EXPECT_EQ(back->getgmttime(), u) << Narrow(text) << " / " << Narrow(p);
    }
  (void)kMs;
}

}  // namespace
