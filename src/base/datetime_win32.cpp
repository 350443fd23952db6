// Local date and time on Windows: GetLocalTime and the user's short date and time formats.
#include <windows.h>

#include "base/datetime.h"
#include "base/winstr_win32.h"

namespace lq {

namespace {
SYSTEMTIME ToSystemTime(const LocalTime& t) {
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(t.year);
  st.wMonth = static_cast<WORD>(t.month);
  st.wDay = static_cast<WORD>(t.day);
  st.wHour = static_cast<WORD>(t.hour);
  st.wMinute = static_cast<WORD>(t.minute);
  st.wSecond = static_cast<WORD>(t.second);
  return st;
}
}  // namespace

LocalTime CurrentLocalTime() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return LocalTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

std::string ShortDateText(const LocalTime& time) {
  if (!IsValidLocalTime(time)) return NumericDateText(time);
  SYSTEMTIME st = ToSystemTime(time);
  wchar_t buf[128];
  int n = GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, buf, 128);
  if (n <= 1) return NumericDateText(time);
  return Utf8FromWide(std::wstring(buf, n - 1));
}

std::string TimeText(const LocalTime& time) {
  if (!IsValidLocalTime(time)) return NumericTimeText(time);
  SYSTEMTIME st = ToSystemTime(time);
  wchar_t buf[128];
  // 24-hour form without the AM/PM marker keeps the text within eight characters.
  int n = GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_FORCE24HOURFORMAT | TIME_NOTIMEMARKER, &st,
                         nullptr, buf, 128);
  if (n <= 1) return NumericTimeText(time);
  return Utf8FromWide(std::wstring(buf, n - 1));
}

}  // namespace lq
