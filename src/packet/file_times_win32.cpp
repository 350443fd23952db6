// File times on Windows: creation and last-write times read and set through the file handle,
// converted between local time and the file system's UTC.
#include <windows.h>

#include "base/winstr_win32.h"
#include "packet/packet_records.h"

namespace lq {

namespace {

bool ToLocal(const FILETIME& ft, LocalTime& out) {
  SYSTEMTIME utc, local;
  if (!FileTimeToSystemTime(&ft, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
    return false;
  }
  out = LocalTime{local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
  return true;
}

bool FromLocal(const LocalTime& t, FILETIME& ft) {
  if (!IsValidLocalTime(t)) return false;
  SYSTEMTIME local{};
  local.wYear = static_cast<WORD>(t.year);
  local.wMonth = static_cast<WORD>(t.month);
  local.wDay = static_cast<WORD>(t.day);
  local.wHour = static_cast<WORD>(t.hour);
  local.wMinute = static_cast<WORD>(t.minute);
  local.wSecond = static_cast<WORD>(t.second);
  SYSTEMTIME utc;
  return TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) && SystemTimeToFileTime(&utc, &ft);
}

}  // namespace

bool ReadFileTimes(const std::string& path, LocalTime& last_write, LocalTime& creation) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(WideFromUtf8(path).c_str(), GetFileExInfoStandard, &data)) {
    return false;
  }
  return ToLocal(data.ftLastWriteTime, last_write) && ToLocal(data.ftCreationTime, creation);
}

bool WriteFileTimes(const std::string& path, const LocalTime& last_write,
                    const LocalTime& creation) {
  FILETIME written, created;
  if (!FromLocal(last_write, written)) return false;
  const bool have_creation = FromLocal(creation, created);
  HANDLE h = CreateFileW(WideFromUtf8(path).c_str(), FILE_WRITE_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const BOOL ok = SetFileTime(h, have_creation ? &created : nullptr, nullptr, &written);
  CloseHandle(h);
  return ok != 0;
}

}  // namespace lq
