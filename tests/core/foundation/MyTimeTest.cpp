#include "foundation/MyTime.h"

#include "TestSupport.h"
#include "foundation/Text.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <cstdlib>
#include <ctime>
#include <unistd.h>

namespace cv {
namespace {

class MyTimeTest : public ::testing::Test {
protected:
  void SetUp() override { FunStatContext = TFunStatContext(); }
  test::TRecordingUserInterface Ui;
  TFormatLocalePin Locale{QLocale(QLocale::English, QLocale::UnitedStates)};
};

TEST_F(MyTimeTest, EncodeDecodeAndTimeStamps) {
  const TDateTime value = EncodeDateTime(2004, 3, 5, 7, 8, 9);
  EXPECT_EQ(TimeStampText(value), "20040305070809");
  EXPECT_DOUBLE_EQ(EncodeDateTime(1899, 12, 30), 0.0);
  EXPECT_DOUBLE_EQ(EncodeDateTime(1900, 1, 1, 12), 2.5);
  const TDateTimeParts parts = DecodeDateTime(value);
  EXPECT_EQ(parts.Year, 2004);
  EXPECT_EQ(parts.Second, 9);
  EXPECT_EQ(parts.DayOfWeek, 5);
  // A value a hair before midnight rounds into the next day, never to 24:00.
  EXPECT_EQ(TimeStampText(EncodeDateTime(2004, 12, 31) + 1.0 - 1e-10), "20050101000000");
  EXPECT_EQ(TimeStampText(EncodeDateTime(812, 1, 2)), "08120102000000");
  EXPECT_EQ(NowTimeStampText().size(), 14u);
}

TEST_F(MyTimeTest, OwnFormatLetters) {
  const TDateTime value = EncodeDateTime(2004, 3, 5, 7, 8, 9, 45);
  struct Case {
    const char* format;
    const char* text;
  } cases[] = {
      {"hh:nn:ss", "07:08:09"},
      {"h:n:s.zzz", "7:8:9.045"},
      {"d/m/yy", "5/3/04"},
      {"dd.mm.yyyy", "05.03.2004"},
      {"ddd dddd mmm mmmm", "Fri Friday Mar March"},
      {"YYYY-MM-DD", "2004-03-05"},
      {"'hh' \"nn\" hh", "hh nn 07"},
      {"mm", "03"}, // "m" is always the month, also after an hour
      {"ddddd | dddddd", "3/5/04 | Friday, March 5, 2004"},
      {"tt", "7:08:09 AM"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FormatDateTimeText(c.format, value), c.text) << c.format;
}

TEST_F(MyTimeTest, LocaleTextsFollowThePinnedLocale) {
  const TDateTime value = EncodeDateTime(2004, 3, 5, 17, 8, 9);
  EXPECT_EQ(ShortDateText(value), "3/5/04");
  EXPECT_EQ(LongDateText(value), "Friday, March 5, 2004");
  EXPECT_EQ(LongTimeText(value), "5:08:09 PM");
  EXPECT_EQ(ShortDateTimeText(" | ", value), "3/5/04 | 5:08:09 PM");
  EXPECT_EQ(DayOfYear(value), 65);
  EXPECT_EQ(HundredsOfSecondsOfDay(value), (17 * 3600 + 8 * 60 + 9) / 100);
  EXPECT_EQ(ReportDateTimeText(" | ", value), "Friday, March 5, 2004 (65) | 5:08:09 PM (616)");

  TFormatLocalePin finnish(QLocale(QLocale::Finnish, QLocale::Finland));
  // Finnish writes its time with full stops; reports always use ":".
  EXPECT_EQ(LongTimeText(value), "17:08:09");
  EXPECT_EQ(ShortDateText(value), "5.3.2004");
}

TEST_F(MyTimeTest, LongTimeTextLeavesOutTheTimeZoneInEveryLocale) {
  const TDateTime value = EncodeDateTime(2004, 3, 5, 14, 7, 9);
  struct Case {
    const char* locale;
    const char* text;
  } cases[] = {
      {"es_ES", "14:07:09"},           // H:mm:ss (t)
      {"ca_ES", "14:07:09"},           // H:mm:ss (t)
      {"eu_ES", "14:07:09"},           // HH:mm:ss (t)
      {"fa_IR", "۱۴:۰۷:۰۹"},           // locale digits, H:mm:ss (t)
      {"bg_BG", "14:07:09 ч."},        // H:mm:ss 'ч'. t: the full stop is the word's
      {"en_US", "2:07:09 PM"},         // h:mm:ss AP t
      {"sq_AL", "2:07:09 E PASDITES"}, // h:mm:ss AP, t
      {"zh_CN", "14:07:09"},           // t HH:mm:ss
      {"zh_TW", "14:07:09"},           // Bh:mm:ss [t]: Qt cannot fill B in
      {"fi_FI", "14:07:09"},           // H.mm.ss t
      {"fr_CA", "14 h 07 min 09 s"},   // HH 'h' mm 'min' ss 's' t
  };
  for (const auto& c : cases) {
    TFormatLocalePin pin{QLocale(QString::fromLatin1(c.locale))};
    EXPECT_EQ(LongTimeText(value), c.text) << c.locale;
  }
}

TEST_F(MyTimeTest, DurationTexts) {
  struct Case {
    int decimals;
    double seconds;
    const char* text;
  } cases[] = {
      {0, 3725.9, "01:02:05"},
      {2, 3725.257, "01:02:05,26"},
      {3, 59.9996, "00:01:00,000"}, // the rounding carries into the seconds
      {1, 0.3, "00:00:00,3"},
      {0, -90061, "-1 day 01:01:01"},
      {0, 2 * 86400 + 5, "2 day 00:00:05"},
      {0, 86399.9999, "1 day 00:00:00"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(DurationText(c.decimals, " day ", ",", "hh:nn:ss", c.seconds), c.text) << c.seconds;
  EXPECT_EQ(DurationText(0, "d", ".", "hh:nn:ss", NAN), "");
}

TEST_F(MyTimeTest, ConvertTextToDate) {
  const int thisYear = QDate::currentDate().year();
  struct Case {
    const char* text;
    const char* format;
    TDateTime expected;
  } cases[] = {
      {"5/3/04", "d/m/yy", EncodeDateTime(2004, 3, 5)},
      {"5.3.1999", "d/m/yy", EncodeDateTime(1999, 3, 5)},
      {"5-3-49", "d/m/yy", EncodeDateTime(2049, 3, 5)},
      {"5-3-50", "d/m/yy", EncodeDateTime(1950, 3, 5)},
      {"05/MAR/04", "d/m/yy", EncodeDateTime(2004, 3, 5)},
      {"5 march 2004", "d/m/yy", 0.0}, // blanks do not separate
      {"5/March/2004", "d/m/yy", EncodeDateTime(2004, 3, 5)},
      {"dec.31.99", "m/d/yy", EncodeDateTime(1999, 12, 31)},
      {"2004-03-05", "yyyy/mm/dd", EncodeDateTime(2004, 3, 5)},
      {"5/3", "d/m/yy", EncodeDateTime(thisYear, 3, 5)},
      {"31/2/04", "d/m/yy", 0.0},
      {"5/3/04/1", "d/m/yy", 0.0},
      {"5/x/04", "d/m/yy", 0.0},
      {"", "d/m/yy", 0.0},
  };
  for (const auto& c : cases) {
    FunStatContext.Reset(fsPerfect);
    EXPECT_DOUBLE_EQ(ConvertTextToDate(c.text, c.format), c.expected) << c.text;
    EXPECT_EQ(FunStatContext.Failed(), c.expected == 0.0) << c.text;
  }
  ConvertTextToDate("31/2/04", "d/m/yy");
  EXPECT_EQ(FunStatContext.Description, "Unhandled exception: \"31/2/04\" is not a valid date");
  EXPECT_TRUE(LooksLikeDate("1.2"));
  EXPECT_TRUE(LooksLikeDate("1-2"));
  EXPECT_FALSE(LooksLikeDate("12 days"));
}

double FakeNow = 0.0;
double FakeClock() {
  return FakeNow;
}

TEST_F(MyTimeTest, StopwatchPausesAndRepeats) {
  TCrono crono(&FakeClock);
  EXPECT_TRUE(crono.Stopped);
  EXPECT_EQ(crono.Elapsed(), 0.0);
  FakeNow = 100.0;
  crono.Start();
  FakeNow = 103.0;
  EXPECT_DOUBLE_EQ(crono.Elapsed(), 3.0);
  crono.Stop();
  FakeNow = 110.0;
  EXPECT_DOUBLE_EQ(crono.Elapsed(), 3.0);
  crono.Continue();
  FakeNow = 111.0;
  EXPECT_DOUBLE_EQ(crono.Elapsed(), 4.0); // the pause did not count

  EXPECT_FALSE(crono.Passed(5.0));
  EXPECT_FALSE(crono.Stopped);
  FakeNow = 112.0;
  EXPECT_TRUE(crono.Passed(5.0));
  EXPECT_TRUE(crono.Stopped);

  crono.Start();
  EXPECT_FALSE(crono.IsPeriod(1.0));
  FakeNow = 113.5;
  EXPECT_TRUE(crono.IsPeriod(1.0));
  EXPECT_DOUBLE_EQ(crono.StartTime, 113.5);
  EXPECT_FALSE(crono.IsPeriod(1.0));

  EXPECT_FALSE(crono.IsPeriod(0.0));
  EXPECT_EQ(FunStatContext.Description, "Invalid period.");
  EXPECT_EQ(FunStatContext.Parameter1, "0");
  EXPECT_EQ(FunStatContext.FunctionName, "TCrono::IsPeriod");
  EXPECT_FALSE(crono.Passed(-1.0));
  EXPECT_EQ(FunStatContext.FunctionName, "TCrono::Passed");
}

TEST_F(MyTimeTest, RealClockIsMonotonic) {
  const double a = SecondsNow();
  const double b = SecondsNow();
  EXPECT_GE(b, a);
  TCrono crono;
  crono.Start();
  EXPECT_GE(crono.Elapsed(), 0.0);
}

// A day with a daylight-saving change keeps its wall-clock hours.
TEST_F(MyTimeTest, DaylightSavingDayKeepsWallClock) {
  if (::access("/usr/share/zoneinfo/Europe/Berlin", R_OK) != 0) GTEST_SKIP() << "no tzdata";
  const char* old = std::getenv("TZ");
  const std::string saved = old ? old : "";
  ::setenv("TZ", "Europe/Berlin", 1);
  ::tzset();
  const TDateTime value = EncodeDateTime(2021, 3, 28, 10, 30);
  const QDateTime qt = DateTimeToQt(value);
  EXPECT_EQ(qt.time().hour(), 10);
  EXPECT_DOUBLE_EQ(DateTimeFromQt(qt), value);
  if (old)
    ::setenv("TZ", saved.c_str(), 1);
  else
    ::unsetenv("TZ");
  ::tzset();
}

} // namespace
} // namespace cv
