// Dates, times and timestamps as the table files store them, and their literal texts.
//
//   date       Int32 day number, 0001-01-01 is day 1 (1899-12-30 is day 693594)
//   time       Int32 milliseconds since midnight, 0..86399999
//   timestamp  double milliseconds: day number x 86400000 + milliseconds of the day
//
// An ordinary date-time (`TDateTime`) is a double of days since 1899-12-30 with the time of day
// as fraction; the data header's `LastUpdated` stores it minus 693594.0.
//
// Literal texts (defaults, minimums, maximums) do not depend on the regional settings: a date is
// "year-month-day", a time "h:mm[:ss[.ms]]" with an optional AM/PM. All functions are pure.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kura {

constexpr int32_t kDayOf18991230 = 693594;
constexpr int32_t kMillisecondsPerDay = 86400000;
constexpr int32_t kMaxDayNumber = 3652059;  // 9999-12-31

struct TDateParts {
  int year = 1;
  int month = 1;
  int day = 1;
};

struct TTimeParts {
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// False for a date outside 0001-01-01..9999-12-31 or a day that the month does not have.
bool TryEncodeDate(int year, int month, int day, int32_t* day_number);
// The calendar date of a day number; false outside 1..kMaxDayNumber.
bool TryDecodeDate(int32_t day_number, TDateParts* parts);

// False for components outside their ranges.
bool TryEncodeTime(int hour, int minute, int second, int millisecond, int32_t* milliseconds);
// Splits milliseconds of the day (callers pass 0..86399999).
TTimeParts DecodeTime(int32_t milliseconds);

// Timestamp value of a day and milliseconds of that day.
double EncodeTimeStamp(int32_t day_number, int32_t milliseconds);
// Splits a timestamp into its day and the milliseconds of that day; false for a value that does
// not denote a day in 1..kMaxDayNumber (not a number, infinite, negative, too large).
bool TryDecodeTimeStamp(double timestamp, int32_t* day_number, int32_t* milliseconds);

// Ordinary date-time (days since 1899-12-30) from a day and milliseconds, and back (the time is
// rounded to the nearest millisecond).
double DateTimeFromParts(int32_t day_number, int32_t milliseconds);
bool TryDateTimeToParts(double date_time, int32_t* day_number, int32_t* milliseconds);

// Literal parsing. Surrounding blanks are ignored.
//   date:       three decimal integers joined by "-" (2024-01-31)
//   time:       hours ":" minutes [":" seconds ["." milliseconds]] [AM|PM in any case]; with AM or
//               PM the hour is 0..12, 12 AM is hour 0 and PM adds 12 to the hours 1..11
//   timestamp:  a date and a time separated by the first blank; a text with ":" but no blank is a
//               time on 1899-12-30; a text without ":" is a date at midnight
bool TryParseDateLiteral(std::string_view text, int32_t* day_number);
bool TryParseTimeLiteral(std::string_view text, int32_t* milliseconds);
bool TryParseTimeStampLiteral(std::string_view text, double* timestamp);

// Display texts: "YYYY-MM-DD", "HH:MM:SS.mmm" and "YYYY-MM-DD HH:MM:SS.mmm". A value that does
// not decode gives an empty text.
std::string FormatDate(int32_t day_number);
std::string FormatTime(int32_t milliseconds);
std::string FormatTimeStamp(double timestamp);

}  // namespace kura
