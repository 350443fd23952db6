// Local date and time as the operating system gives it, and its short display texts in the
// user's format. The OS-specific parts live in datetime_posix.cpp and datetime_win32.cpp.
#pragma once

#include <string>

namespace lq {

struct LocalTime {
  int year = 0, month = 0, day = 0;  // month 1-12, day 1-31
  int hour = 0, minute = 0, second = 0;
};

// The current local time (milliseconds and day of week are dropped).
LocalTime CurrentLocalTime();

// The user's short date text (e.g. "02.01.2005" or "2005-01-02") and time text ("09:05:07").
// Values outside the calendar fall back to a plain numeric form, never an empty text.
std::string ShortDateText(const LocalTime& time);
std::string TimeText(const LocalTime& time);

// The numeric fallback: "YYYY-MM-DD" and "HH:MM:SS" of the raw values.
std::string NumericDateText(const LocalTime& time);
std::string NumericTimeText(const LocalTime& time);

// True when the values name a real calendar date and a time of day.
bool IsValidLocalTime(const LocalTime& time);

}  // namespace lq
