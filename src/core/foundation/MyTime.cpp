#include "foundation/MyTime.h"

#include "foundation/QtText.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <cmath>

namespace cv {

namespace {
const QDate EpochDate(1899, 12, 30);
constexpr double MillisecondsPerDay = 86400000.0;
} // namespace

TDateTime NowDateTime() { return DateTimeFromQt(QDateTime::currentDateTime()); }

TDateTime DateTimeFromQt(const QDateTime& value) {
  const QDateTime local = value.toLocalTime();
  const double days = static_cast<double>(EpochDate.daysTo(local.date()));
  return days + local.time().msecsSinceStartOfDay() / MillisecondsPerDay;
}

QDateTime DateTimeToQt(TDateTime value) {
  const double days = std::floor(value);
  const auto msecs = static_cast<int>(std::llround((value - days) * MillisecondsPerDay));
  return QDateTime(EpochDate.addDays(static_cast<qint64>(days)), QTime(0, 0))
      .addMSecs(std::min(msecs, 86399999));
}

std::string LongDateText(TDateTime value) {
  return FromQString(QLocale::system().toString(DateTimeToQt(value).date(), QLocale::LongFormat));
}

std::string LongTimeText(TDateTime value) {
  QString format = QLocale::system().timeFormat(QLocale::LongFormat);
  // Reports carry no time zone; the separator is always ":".
  format.remove(QRegularExpression(QStringLiteral("\\s*t+\\s*")));
  QString text = QLocale::system().toString(DateTimeToQt(value).time(), format.trimmed());
  text.replace(QLatin1Char('.'), QLatin1Char(':'));
  return FromQString(text.trimmed());
}

int DayOfYear(TDateTime value) { return DateTimeToQt(value).date().dayOfYear(); }

int HundredsOfSecondsOfDay(TDateTime value) {
  return DateTimeToQt(value).time().msecsSinceStartOfDay() / 100000;
}

std::string ReportDateTimeText(const std::string& separator, TDateTime value) {
  return LongDateText(value) + " (" + std::to_string(DayOfYear(value)) + ")" + separator +
         LongTimeText(value) + " (" + std::to_string(HundredsOfSecondsOfDay(value)) + ")";
}

} // namespace cv
