// Local date and time on the host: the C library's local time; the display form is numeric,
// which sorts and reads the same in every locale.
#include <ctime>

#include "base/datetime.h"

namespace lq {

LocalTime CurrentLocalTime() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::string ShortDateText(const LocalTime& time) { return NumericDateText(time); }
std::string TimeText(const LocalTime& time) { return NumericTimeText(time); }

}  // namespace lq
