#include "foundation/MyTime.h"

#include "foundation/Guard.h"
#include "foundation/QtText.h"
#include "foundation/Text.h"

#include <QDateTime>
#include <QLocale>
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <vector>

namespace cv {

namespace {

const QDate EpochDate(1899, 12, 30);
constexpr double MillisecondsPerDay = 86400000.0;

// Whole days and milliseconds of the day, with a rounded-up day carried.
void SplitDateTime(TDateTime value, qint64& days, int& msecs) {
  double whole = std::floor(value);
  auto ms = static_cast<int64_t>(std::llround((value - whole) * MillisecondsPerDay));
  if (ms >= 86400000) {
    ms -= 86400000;
    whole += 1.0;
  }
  days = static_cast<qint64>(whole);
  msecs = static_cast<int>(ms);
}

TDateTime FromDateAndMsecs(const QDate& date, int msecs) {
  return static_cast<double>(EpochDate.daysTo(date)) + msecs / MillisecondsPerDay;
}

std::string TwoDigits(int value) {
  return IntToZeroText(value, 2);
}

const std::array<const char*, 12> EnglishMonths = {"January",   "February", "March",    "April",
                                                   "May",       "June",     "July",     "August",
                                                   "September", "October",  "November", "December"};

} // namespace

TDateTime NowDateTime() {
  return DateTimeFromQt(QDateTime::currentDateTime());
}

TDateTime DateTimeFromQt(const QDateTime& value) {
  const QDateTime local = value.toLocalTime();
  return FromDateAndMsecs(local.date(), local.time().msecsSinceStartOfDay());
}

QDateTime DateTimeToQt(TDateTime value) {
  qint64 days = 0;
  int msecs = 0;
  SplitDateTime(value, days, msecs);
  // Built from the wall-clock time, not by adding milliseconds to midnight,
  // so a day with a daylight-saving change keeps its hours.
  return QDateTime(EpochDate.addDays(days), QTime::fromMSecsSinceStartOfDay(msecs));
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                         int millisecond) {
  const int msecs = ((hour * 60 + minute) * 60 + second) * 1000 + millisecond;
  return FromDateAndMsecs(QDate(year, month, day), msecs);
}

TDateTimeParts DecodeDateTime(TDateTime value) {
  qint64 days = 0;
  int msecs = 0;
  SplitDateTime(value, days, msecs);
  const QDate date = EpochDate.addDays(days);
  TDateTimeParts parts;
  parts.Year = date.year();
  parts.Month = date.month();
  parts.Day = date.day();
  parts.DayOfWeek = date.dayOfWeek();
  parts.Hour = msecs / 3600000;
  parts.Minute = msecs / 60000 % 60;
  parts.Second = msecs / 1000 % 60;
  parts.Millisecond = msecs % 1000;
  return parts;
}

namespace {

TDateTime PartsToDateTime(const TDateTimeParts& parts) {
  return EncodeDateTime(parts.Year, parts.Month, parts.Day, parts.Hour, parts.Minute, parts.Second,
                        parts.Millisecond);
}

} // namespace

std::string FormatDateTimeText(std::string_view format, const TDateTimeParts& parts) {
  const QLocale locale = FormatLocale();
  std::string result;
  size_t i = 0;
  while (i < format.size()) {
    const char c = format[i];
    if (c == '\'' || c == '"') {
      const size_t close = format.find(c, i + 1);
      const size_t end = close == std::string_view::npos ? format.size() : close;
      result.append(format.substr(i + 1, end - i - 1));
      i = end + 1;
      continue;
    }
    const char letter = LowerCaseChar(c);
    size_t run = 1;
    while (i + run < format.size() && LowerCaseChar(format[i + run]) == letter)
      ++run;
    switch (letter) {
    case 'd':
      if (run == 1)
        result += std::to_string(parts.Day);
      else if (run == 2)
        result += TwoDigits(parts.Day);
      else if (run <= 4)
        result += FromQString(
            locale.dayName(parts.DayOfWeek, run == 3 ? QLocale::ShortFormat : QLocale::LongFormat));
      else if (run == 5)
        result += ShortDateText(PartsToDateTime(parts));
      else
        result += LongDateText(PartsToDateTime(parts));
      break;
    case 'm':
      if (run == 1)
        result += std::to_string(parts.Month);
      else if (run == 2)
        result += TwoDigits(parts.Month);
      else
        result += FromQString(
            locale.monthName(parts.Month, run == 3 ? QLocale::ShortFormat : QLocale::LongFormat));
      break;
    case 'y':
      result += run <= 2 ? TwoDigits(parts.Year % 100) : IntToZeroText(parts.Year, 4);
      break;
    case 'h':
      result += run == 1 ? std::to_string(parts.Hour) : TwoDigits(parts.Hour);
      break;
    case 'n':
      result += run == 1 ? std::to_string(parts.Minute) : TwoDigits(parts.Minute);
      break;
    case 's':
      result += run == 1 ? std::to_string(parts.Second) : TwoDigits(parts.Second);
      break;
    case 'z':
      result += run <= 2 ? std::to_string(parts.Millisecond) : IntToZeroText(parts.Millisecond, 3);
      break;
    case 't': {
      if (run == 1) {
        QString timeFormat = locale.timeFormat(QLocale::ShortFormat);
        result += FromQString(locale.toString(
            QTime(parts.Hour, parts.Minute, parts.Second, parts.Millisecond), timeFormat));
      } else {
        result += LongTimeText(PartsToDateTime(parts));
      }
      break;
    }
    default:
      result.append(format.substr(i, run));
      break;
    }
    i += run;
  }
  return result;
}

std::string FormatDateTimeText(std::string_view format, TDateTime value) {
  return FormatDateTimeText(format, DecodeDateTime(value));
}

std::string ShortDateText(TDateTime value) {
  return FromQString(FormatLocale().toString(DateTimeToQt(value).date(), QLocale::ShortFormat));
}

std::string LongDateText(TDateTime value) {
  return FromQString(FormatLocale().toString(DateTimeToQt(value).date(), QLocale::LongFormat));
}

namespace {

// One piece of a Qt time format: a field Qt fills in, a field we leave out
// (the time zone, and letters Qt would print as they are), or literal text.
struct TTimeFormatToken {
  enum TKind { Field, Dropped, Literal, Quoted } Kind;
  QString Text;
};

std::vector<TTimeFormatToken> TokenizeTimeFormat(const QString& format) {
  std::vector<TTimeFormatToken> tokens;
  qsizetype i = 0;
  while (i < format.size()) {
    const QChar c = format[i];
    if (c == QLatin1Char('\'')) {
      if (i + 1 < format.size() && format[i + 1] == QLatin1Char('\'')) {
        tokens.push_back({TTimeFormatToken::Literal, QStringLiteral("'")});
        i += 2;
        continue;
      }
      // Quoted text up to the closing quote, "''" standing for one quote.
      QString text;
      for (++i; i < format.size(); ++i) {
        if (format[i] != QLatin1Char('\''))
          text += format[i];
        else if (i + 1 < format.size() && format[i + 1] == QLatin1Char('\''))
          text += format[i++];
        else
          break;
      }
      ++i;
      tokens.push_back({TTimeFormatToken::Quoted, text});
      continue;
    }
    const char letter = c.isLetter() && c.unicode() < 0x80 ? static_cast<char>(c.unicode()) : 0;
    qsizetype run = 1;
    if (letter == 'a' || letter == 'A') {
      if (i + 1 < format.size() && LowerCaseChar(static_cast<char>(format[i + 1].unicode())) == 'p')
        run = 2;
    } else if (letter != 0) {
      while (i + run < format.size() && format[i + run] == c)
        ++run;
    }
    const bool field =
        letter != 0 && std::string_view("hHmszaA").find(letter) != std::string_view::npos;
    tokens.push_back({letter == 0 ? TTimeFormatToken::Literal
                      : field     ? TTimeFormatToken::Field
                                  : TTimeFormatToken::Dropped,
                      format.mid(i, run)});
    i += run;
  }
  return tokens;
}

bool IsLiteralOf(const TTimeFormatToken& token, QStringView characters) {
  return token.Kind == TTimeFormatToken::Literal && token.Text.size() == 1 &&
         (token.Text[0].isSpace() || characters.contains(token.Text[0]));
}

// Leaves out each dropped field with the spaces, brackets and commas that
// only frame it ("H:mm:ss (t)", "h:mm:ss AP, t", "t HH:mm:ss"); quoted
// text stays.
void DropTimeFormatFields(std::vector<TTimeFormatToken>& tokens) {
  for (size_t k = 0; k < tokens.size();) {
    if (tokens[k].Kind != TTimeFormatToken::Dropped) {
      ++k;
      continue;
    }
    size_t first = k, last = k + 1;
    while (first > 0 && IsLiteralOf(tokens[first - 1], u"([{,;"))
      --first;
    while (last < tokens.size() && IsLiteralOf(tokens[last], u")]},;"))
      ++last;
    bool spaced = false;
    for (size_t j = first; j < last; ++j)
      spaced = spaced || tokens[j].Text[0].isSpace();
    tokens.erase(tokens.begin() + static_cast<std::ptrdiff_t>(first),
                 tokens.begin() + static_cast<std::ptrdiff_t>(last));
    if (spaced && first > 0 && first < tokens.size())
      tokens.insert(tokens.begin() + static_cast<std::ptrdiff_t>(first),
                    {TTimeFormatToken::Literal, QStringLiteral(" ")});
    k = first;
  }
}

bool IsClockField(const TTimeFormatToken& token) {
  return token.Kind == TTimeFormatToken::Field && QStringView(u"hHms").contains(token.Text[0]);
}

// The locale's long time format with ":" between the clock fields and no
// time zone, in Qt's format syntax.
QString ReportTimeFormat(const QString& localeFormat) {
  std::vector<TTimeFormatToken> tokens = TokenizeTimeFormat(localeFormat);
  DropTimeFormatFields(tokens);
  QString format, literal;
  // Literal text goes back in one quoted run, so no letter in it reads as
  // a field and no two runs meet as an escaped quote.
  auto flush = [&] {
    if (literal.isEmpty()) return;
    format += QLatin1Char('\'') + literal.replace(QLatin1Char('\''), QLatin1String("''")) +
              QLatin1Char('\'');
    literal.clear();
  };
  for (size_t k = 0; k < tokens.size(); ++k) {
    const TTimeFormatToken& token = tokens[k];
    if (token.Kind == TTimeFormatToken::Field) {
      flush();
      format += token.Text;
    } else if (token.Kind == TTimeFormatToken::Literal && token.Text == QLatin1String(".") &&
               k > 0 && k + 1 < tokens.size() && IsClockField(tokens[k - 1]) &&
               IsClockField(tokens[k + 1])) {
      literal += QLatin1Char(':');
    } else {
      literal += token.Text;
    }
  }
  flush();
  return format;
}

} // namespace

std::string LongTimeText(TDateTime value) {
  const QLocale locale = FormatLocale();
  const QString format = ReportTimeFormat(locale.timeFormat(QLocale::LongFormat));
  const TDateTimeParts parts = DecodeDateTime(value);
  const QTime time(parts.Hour, parts.Minute, parts.Second, parts.Millisecond);
  return FromQString(locale.toString(time, format).trimmed());
}

int DayOfYear(TDateTime value) {
  return DateTimeToQt(value).date().dayOfYear();
}

int HundredsOfSecondsOfDay(TDateTime value) {
  const TDateTimeParts parts = DecodeDateTime(value);
  return (parts.Hour * 3600 + parts.Minute * 60 + parts.Second) / 100;
}

std::string ShortDateTimeText(const std::string& separator, TDateTime value) {
  return ShortDateText(value) + separator + LongTimeText(value);
}

std::string ReportDateTimeText(const std::string& separator, TDateTime value) {
  return LongDateText(value) + " (" + std::to_string(DayOfYear(value)) + ")" + separator +
         LongTimeText(value) + " (" + std::to_string(HundredsOfSecondsOfDay(value)) + ")";
}

std::string TimeStampText(TDateTime value) {
  return FormatDateTimeText("yyyymmddhhnnss", value);
}

std::string NowTimeStampText() {
  return TimeStampText(NowDateTime());
}

std::string DurationText(int decimals, const std::string& daysSuffix,
                         const std::string& decimalSeparator, std::string_view timeFormat,
                         double seconds) {
  if (!std::isfinite(seconds)) return {};
  decimals = std::clamp(decimals, 0, 9);
  std::string result = seconds < 0 ? "-" : "";
  const double magnitude = std::fabs(seconds);
  double days = std::floor(magnitude / 86400.0);
  // The fraction is rounded to the decimals shown and carries into the
  // seconds (59.9996 s with 3 decimals is "00:01:00.000", never ".1000");
  // without decimals the seconds are cut, as a time of day is.
  const int kept = decimals > 0 ? decimals : 3;
  int64_t scale = 1;
  for (int i = 0; i < kept; ++i)
    scale *= 10;
  auto units = static_cast<int64_t>(std::llround((magnitude - days * 86400.0) * scale));
  if (units >= 86400 * scale) {
    units -= 86400 * scale;
    days += 1.0;
  }
  if (days != 0) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.0f", days);
    result += buffer + daysSuffix;
  }
  const int64_t wholeSeconds = units / scale;
  TDateTimeParts parts;
  parts.Hour = static_cast<int>(wholeSeconds / 3600);
  parts.Minute = static_cast<int>(wholeSeconds / 60 % 60);
  parts.Second = static_cast<int>(wholeSeconds % 60);
  parts.Millisecond = static_cast<int>(units % scale * 1000 / scale);
  result += FormatDateTimeText(timeFormat, parts);
  if (decimals > 0) {
    result += decimalSeparator + IntToZeroText(units % scale, decimals);
  }
  return result;
}

bool LooksLikeDate(std::string_view text) {
  return text.find_first_of("/.-") != std::string_view::npos;
}

TDateTime ConvertTextToDate(std::string_view text, std::string_view format) {
  TGuard guard("ConvertTextToDate");
  return guard.Run(0.0, [&] {
    auto invalid = [&] {
      return std::invalid_argument("\"" + std::string(text) + "\" is not a valid date");
    };
    std::string work(text);
    if (HasLetter(work)) {
      for (int month = 1; month <= 12; ++month) {
        const std::string name = EnglishMonths[month - 1];
        size_t at = FindTextNoCase(work, name);
        size_t length = name.size();
        if (at == std::string::npos) {
          at = FindTextNoCase(work, name.substr(0, 3));
          length = 3;
        }
        if (at != std::string::npos) work.replace(at, length, std::to_string(month));
      }
    }
    std::string fields(format);
    for (std::string* s : {&work, &fields})
      for (char& c : *s)
        if (c == '.' || c == '-') c = '/';

    auto split = [](const std::string& s) {
      std::vector<std::string> parts;
      size_t start = 0;
      while (true) {
        const size_t slash = s.find('/', start);
        std::string part =
            s.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        while (!part.empty() && part.front() == ' ')
          part.erase(part.begin());
        while (!part.empty() && part.back() == ' ')
          part.pop_back();
        parts.push_back(part);
        if (slash == std::string::npos) break;
        start = slash + 1;
      }
      return parts;
    };
    std::vector<std::string> kinds = split(fields);
    const std::vector<std::string> numbers = split(work);
    for (std::string& kind : kinds) {
      if (kind.empty()) throw invalid();
      kind = std::string(1, LowerCaseChar(kind.front()));
    }
    int year = QDate::currentDate().year(), month = 0, day = 0;
    if (numbers.size() + 1 == kinds.size()) {
      // Day and month alone: this year.
      const auto y = std::find(kinds.begin(), kinds.end(), "y");
      if (y == kinds.end()) throw invalid();
      kinds.erase(y);
    }
    if (numbers.size() != kinds.size()) throw invalid();
    for (size_t i = 0; i < kinds.size(); ++i) {
      const std::string& digits = numbers[i];
      if (digits.empty() || digits.size() > 4) throw invalid();
      int value = 0;
      for (const char c : digits) {
        if (!IsAsciiDigit(static_cast<unsigned char>(c))) throw invalid();
        value = value * 10 + (c - '0');
      }
      if (kinds[i] == "d")
        day = value;
      else if (kinds[i] == "m")
        month = value;
      else if (kinds[i] == "y") {
        year = digits.size() <= 2 ? (value < 50 ? 2000 + value : 1900 + value) : value;
      } else
        throw invalid();
    }
    const QDate date(year, month, day);
    if (!date.isValid() || year < 1) throw invalid();
    return static_cast<double>(EpochDate.daysTo(date));
  });
}

double SecondsNow() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void TCrono::Start() {
  StartTime = StopTime = Clock();
  Stopped = false;
}

void TCrono::Stop() {
  if (Stopped) return;
  const double now = Clock();
  StopTime = now < StartTime ? StartTime : now;
  Stopped = true;
}

void TCrono::Continue() {
  if (!Stopped) return;
  StartTime += Clock() - StopTime;
  Stopped = false;
}

double TCrono::Elapsed() const {
  return (Stopped ? StopTime : std::max(Clock(), StartTime)) - StartTime;
}

bool TCrono::Passed(double period) {
  TGuard guard("TCrono::Passed");
  return guard.Run(false, [&] {
    if (!(period > 0)) guard.Raise("Invalid period.", RealToGeneralText(period));
    if (Clock() - StartTime < period) return false;
    Stop();
    return true;
  });
}

bool TCrono::IsPeriod(double period) {
  TGuard guard("TCrono::IsPeriod");
  return guard.Run(false, [&] {
    if (!(period > 0)) guard.Raise("Invalid period.", RealToGeneralText(period));
    if (Clock() - StartTime < period) return false;
    Start();
    return true;
  });
}

} // namespace cv
