// File times on the host: the last-write time through the file system library; the host's
// file systems keep no settable creation time, so the last write stands in for it.
#include <chrono>
#include <ctime>
#include <filesystem>

#include "packet/packet_records.h"

namespace lq {

namespace {

// Paths are UTF-8 everywhere in the program.
std::filesystem::path FsPath(const std::string& path) {
  return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

bool ToLocal(std::time_t t, LocalTime& out) {
  std::tm tm{};
  if (localtime_r(&t, &tm) == nullptr) return false;
  out = LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
  return true;
}

}  // namespace

bool ReadFileTimes(const std::string& path, LocalTime& last_write, LocalTime& creation) {
  std::error_code ec;
  const auto ft = std::filesystem::last_write_time(FsPath(path), ec);
  if (ec) return false;
  const auto sys = std::chrono::file_clock::to_sys(ft);
  if (!ToLocal(std::chrono::system_clock::to_time_t(sys), last_write)) return false;
  // The portable file API has no creation time; the last write is the closest we know.
  creation = last_write;
  return true;
}

bool WriteFileTimes(const std::string& path, const LocalTime& last_write,
                    const LocalTime& creation) {
  (void)creation;
  if (!IsValidLocalTime(last_write)) return false;
  std::tm tm{};
  tm.tm_year = last_write.year - 1900;
  tm.tm_mon = last_write.month - 1;
  tm.tm_mday = last_write.day;
  tm.tm_hour = last_write.hour;
  tm.tm_min = last_write.minute;
  tm.tm_sec = last_write.second;
  tm.tm_isdst = -1;
  const std::time_t t = std::mktime(&tm);
  if (t == static_cast<std::time_t>(-1)) return false;
  const auto ft = std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(t));
  std::error_code ec;
  std::filesystem::last_write_time(FsPath(path), ft, ec);
  return !ec;
}

}  // namespace lq
