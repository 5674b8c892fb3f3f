#pragma once
// Date-time values, the stopwatch, and the date, time and duration texts.
// A date-time is days since 1899-12-30 00:00 local time, as a double, the
// unit that stored sort keys and reports use.
//
// Format texts use our own letters, case ignored: d dd (day), ddd dddd (day
// name), ddddd (short date), dddddd (long date), m mm (month), mmm mmmm
// (month name), yy yyyy (year), h hh (hour), n nn (minute), s ss (second),
// z zzz (millisecond), t tt (short and long time); "m" is always the month.
// Text in single or double quotes is copied; every other byte is copied.

#include <string>
#include <string_view>

class QDateTime;

namespace cv {

using TDateTime = double;

TDateTime NowDateTime();
TDateTime DateTimeFromQt(const QDateTime& value);
QDateTime DateTimeToQt(TDateTime value);
TDateTime EncodeDateTime(int year, int month, int day, int hour = 0, int minute = 0,
                         int second = 0, int millisecond = 0);

struct TDateTimeParts {
  int Year = 1899, Month = 12, Day = 30;
  int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
  int DayOfWeek = 6; // 1 Monday .. 7 Sunday
};
TDateTimeParts DecodeDateTime(TDateTime value);

std::string FormatDateTimeText(std::string_view format, const TDateTimeParts& parts);
std::string FormatDateTimeText(std::string_view format, TDateTime value);

// The locale's short and long date (see FormatLocale in Text.h).
std::string ShortDateText(TDateTime value);
std::string LongDateText(TDateTime value);
// The locale's long time, ":" between its fields and no time zone.
std::string LongTimeText(TDateTime value);
int DayOfYear(TDateTime value);
// Whole 100-second units since midnight (0 to 863).
int HundredsOfSecondsOfDay(TDateTime value);
// Short date, separator, long time.
std::string ShortDateTimeText(const std::string& separator, TDateTime value);
// Long date, " (", day of year, ")", separator, long time, " (", hundreds of seconds of the day, ")".
std::string ReportDateTimeText(const std::string& separator, TDateTime value);
// "20040305070809": four-digit year, then month, day, hour, minute, second.
std::string TimeStampText(TDateTime value);
std::string NowTimeStampText();

// "-", whole days + `daysSuffix` when there are any, the rest of the day in
// `timeFormat`, then `decimalSeparator` and `decimals` digits of the second.
std::string DurationText(int decimals, const std::string& daysSuffix,
                         const std::string& decimalSeparator, std::string_view timeFormat,
                         double seconds);

// True when the text holds "/", "." or "-".
bool LooksLikeDate(std::string_view text);
// Reads a date in `format` (such as "d/m/yy"): "." and "-" separate like
// "/", English month names stand for their numbers, two-digit years fall in
// 1950..2049, a missing year is this year. 0 and a failure when the text is
// not a date.
TDateTime ConvertTextToDate(std::string_view text, std::string_view format);

// Seconds on a monotonic clock.
double SecondsNow();
using TSecondsClock = double (*)();

// A stopwatch. A new one is stopped with both times 0.
class TCrono {
public:
  explicit TCrono(TSecondsClock clock = &SecondsNow) : Clock(clock) {}

  bool Stopped = true;
  double StartTime = 0.0;
  double StopTime = 0.0;

  void Start();
  void Stop();
  // Resumes a stopped watch; the pause does not count.
  void Continue();
  double Elapsed() const;
  // True, and the watch stops, when `period` seconds have passed since the start.
  bool Passed(double period);
  // True when `period` seconds have passed; then the watch starts again.
  bool IsPeriod(double period);

private:
  TSecondsClock Clock;
};

} // namespace cv
