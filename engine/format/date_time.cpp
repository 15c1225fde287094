#include "engine/format/date_time.h"

#include <cmath>
#include <cstdio>
#include "engine/ansi_string.h"

namespace kura {

namespace {

// A run of 1..max_digits decimal digits at the front of s; removes it. Bounded digit counts keep
// the values far from any overflow.
bool TakeNumber(std::string_view* s, int max_digits, int* value) {
  int digits = 0;
  int v = 0;
  while (!s->empty() && s->front() >= '0' && s->front() <= '9') {
    if (++digits > max_digits) return false;
    v = v * 10 + (s->front() - '0');
    s->remove_prefix(1);
  }
  if (digits == 0) return false;
  *value = v;
  return true;
}

bool TakeChar(std::string_view* s, char c) {
  if (s->empty() || s->front() != c) return false;
  s->remove_prefix(1);
  return true;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

int32_t DaysBeforeYear(int year) {
  int y = year - 1;
  return 365 * y + y / 4 - y / 100 + y / 400;
}

int32_t DaysBeforeMonth(int year, int month) {
  static const int kCumulative[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  return kCumulative[month - 1] + (month > 2 && IsLeapYear(year) ? 1 : 0);
}

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return kDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

bool TryEncodeDate(int year, int month, int day, int32_t* day_number) {
  if (year < 1 || year > 9999 || month < 1 || month > 12) return false;
  if (day < 1 || day > DaysInMonth(year, month)) return false;
  *day_number = DaysBeforeYear(year) + DaysBeforeMonth(year, month) + day;
  return true;
}

bool TryDecodeDate(int32_t day_number, TDateParts* parts) {
  if (day_number < 1 || day_number > kMaxDayNumber) return false;
  // Estimate the year, then correct it; the estimate is never off by more than one.
  int year = static_cast<int>(static_cast<int64_t>(day_number) * 400 / 146097) + 1;
  if (year > 9999) year = 9999;
  while (year > 1 && DaysBeforeYear(year) >= day_number) --year;
  while (year < 9999 && DaysBeforeYear(year + 1) < day_number) ++year;
  int day_of_year = day_number - DaysBeforeYear(year);
  int month = 1;
  while (month < 12 && DaysBeforeMonth(year, month + 1) < day_of_year) ++month;
  parts->year = year;
  parts->month = month;
  parts->day = day_of_year - DaysBeforeMonth(year, month);
  return true;
}

bool TryEncodeTime(int hour, int minute, int second, int millisecond, int32_t* milliseconds) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
      millisecond < 0 || millisecond > 999) {
    return false;
  }
  *milliseconds = ((hour * 60 + minute) * 60 + second) * 1000 + millisecond;
  return true;
}

TTimeParts DecodeTime(int32_t milliseconds) {
  TTimeParts t;
  t.millisecond = milliseconds % 1000;
  int32_t seconds = milliseconds / 1000;
  t.second = seconds % 60;
  t.minute = (seconds / 60) % 60;
  t.hour = seconds / 3600;
  return t;
}

double EncodeTimeStamp(int32_t day_number, int32_t milliseconds) {
  return static_cast<double>(day_number) * kMillisecondsPerDay + milliseconds;
}

bool TryDecodeTimeStamp(double timestamp, int32_t* day_number, int32_t* milliseconds) {
  if (!std::isfinite(timestamp)) return false;
  double whole = std::floor(timestamp);
  if (whole < kMillisecondsPerDay ||
      whole >= (static_cast<double>(kMaxDayNumber) + 1) * kMillisecondsPerDay) {
    return false;
  }
  int64_t ms = static_cast<int64_t>(whole);
  *day_number = static_cast<int32_t>(ms / kMillisecondsPerDay);
  *milliseconds = static_cast<int32_t>(ms % kMillisecondsPerDay);
  return true;
}

double DateTimeFromParts(int32_t day_number, int32_t milliseconds) {
  return static_cast<double>(day_number - kDayOf18991230) +
         static_cast<double>(milliseconds) / kMillisecondsPerDay;
}

bool TryDateTimeToParts(double date_time, int32_t* day_number, int32_t* milliseconds) {
  if (!std::isfinite(date_time)) return false;
  double total = std::round((date_time + kDayOf18991230) * kMillisecondsPerDay);
  return TryDecodeTimeStamp(total, day_number, milliseconds);
}

bool TryParseDateLiteral(std::string_view text, int32_t* day_number) {
  std::string_view s = TrimBlanks(text);
  int year = 0, month = 0, day = 0;
  if (!TakeNumber(&s, 4, &year) || !TakeChar(&s, '-') || !TakeNumber(&s, 2, &month) ||
      !TakeChar(&s, '-') || !TakeNumber(&s, 2, &day) || !s.empty()) {
    return false;
  }
  return TryEncodeDate(year, month, day, day_number);
}

bool TryParseTimeLiteral(std::string_view text, int32_t* milliseconds) {
  std::string_view s = TrimBlanks(text);
  // An AM/PM marker at the end, with or without a blank before it.
  int meridiem = 0;  // 1 AM, 2 PM
  if (s.size() >= 2) {
    std::string_view tail = s.substr(s.size() - 2);
    if (EqualsIgnoreCase(tail, "AM")) meridiem = 1;
    if (EqualsIgnoreCase(tail, "PM")) meridiem = 2;
    if (meridiem != 0) s = TrimBlanks(s.substr(0, s.size() - 2));
  }
  int hour = 0, minute = 0, second = 0, millisecond = 0;
  if (!TakeNumber(&s, 2, &hour) || !TakeChar(&s, ':') || !TakeNumber(&s, 2, &minute)) {
    return false;
  }
  if (TakeChar(&s, ':')) {
    if (!TakeNumber(&s, 2, &second)) return false;
    if (TakeChar(&s, '.') && !TakeNumber(&s, 3, &millisecond)) return false;
  }
  if (!s.empty()) return false;
  if (meridiem != 0) {
    if (hour > 12) return false;
    if (meridiem == 1 && hour == 12) hour = 0;
    if (meridiem == 2 && hour >= 1 && hour <= 11) hour += 12;
  }
  return TryEncodeTime(hour, minute, second, millisecond, milliseconds);
}

bool TryParseTimeStampLiteral(std::string_view text, double* timestamp) {
  std::string_view s = TrimBlanks(text);
  size_t blank = s.find(' ');
  int32_t day = 0, ms = 0;
  if (blank != std::string_view::npos) {
    if (!TryParseDateLiteral(s.substr(0, blank), &day) ||
        !TryParseTimeLiteral(s.substr(blank + 1), &ms)) {
      return false;
    }
  } else if (s.find(':') != std::string_view::npos) {
    if (!TryParseTimeLiteral(s, &ms)) return false;
    day = kDayOf18991230;
  } else if (!TryParseDateLiteral(s, &day)) {
    return false;
  }
  *timestamp = EncodeTimeStamp(day, ms);
  return true;
}

std::string FormatDate(int32_t day_number) {
  TDateParts d;
  if (!TryDecodeDate(day_number, &d)) return std::string();
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
  return text;
}

std::string FormatTime(int32_t milliseconds) {
  if (milliseconds < 0 || milliseconds >= kMillisecondsPerDay) return std::string();
  TTimeParts t = DecodeTime(milliseconds);
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", t.hour, t.minute, t.second,
                t.millisecond);
  return text;
}

std::string FormatTimeStamp(double timestamp) {
  int32_t day = 0, ms = 0;
  if (!TryDecodeTimeStamp(timestamp, &day, &ms)) return std::string();
  return FormatDate(day) + " " + FormatTime(ms);
}

}  // namespace kura
