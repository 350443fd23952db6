// The portable half of local date and time: validity and the numeric texts.
#include "base/datetime.h"

#include <cstdio>

namespace lq {

namespace {
bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
}  // namespace

bool IsValidLocalTime(const LocalTime& t) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (t.year < 1601 || t.year > 9999 || t.month < 1 || t.month > 12 || t.day < 1) return false;
  int days = kDays[t.month - 1] + (t.month == 2 && IsLeap(t.year) ? 1 : 0);
  return t.day <= days && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 &&
         t.second >= 0 && t.second <= 59;
}

std::string NumericDateText(const LocalTime& t) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", t.year, t.month, t.day);
  return buf;
}

std::string NumericTimeText(const LocalTime& t) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  return buf;
}

}  // namespace lq
