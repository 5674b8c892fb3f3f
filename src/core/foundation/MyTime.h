#pragma once
// Date-time values and the date and time texts of reports and captions.
// A date-time is days since 1899-12-30 00:00 local time, as a double, the
// unit that stored sort keys and reports use.

#include <string>

class QDateTime;

namespace cv {

using TDateTime = double;

TDateTime NowDateTime();
TDateTime DateTimeFromQt(const QDateTime& value);
QDateTime DateTimeToQt(TDateTime value);

std::string LongDateText(TDateTime value);
// The locale's long time, ":" between its fields and no time zone.
std::string LongTimeText(TDateTime value);
int DayOfYear(TDateTime value);
// Whole 100-second units since midnight (0 to 863).
int HundredsOfSecondsOfDay(TDateTime value);
// Long date, " (", day of year, ")", separator, long time, " (", hundreds of seconds of the day, ")".
std::string ReportDateTimeText(const std::string& separator, TDateTime value);

} // namespace cv
