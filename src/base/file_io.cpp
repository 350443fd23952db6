// Whole-file helpers over the FileOps interface; the OS implementations are in file_io_posix.cpp
// and file_io_win32.cpp.
#include "base/file_io.h"

#include "base/bytes.h"

#include <filesystem>
#include <string>

namespace lq {

namespace {
// Writes in pieces so one huge request never reaches the OS and progress is possible.
constexpr size_t kWriteChunk = 1 << 20;
constexpr int kTemporaryNames = 100;
constexpr int kMaxLinkHops = 40;

// Paths are UTF-8 text; going through char8_t keeps Windows from applying its code page.
std::filesystem::path PathOf(const std::string& name) {
  return std::filesystem::path(std::u8string(name.begin(), name.end()));
}

std::string TextOf(const std::filesystem::path& path) {
  const std::u8string u8 = path.u8string();
  return std::string(u8.begin(), u8.end());
}
}  // namespace

std::string TemporaryFileName(const std::string& path, int n) {
  return path + ".~" + std::to_string(n) + ".tmp";
}

int RemoveLeftoverTemporaries(const std::string& path, std::chrono::seconds min_age) {
  namespace fs = std::filesystem;
  int removed = 0;
  const auto now = fs::file_time_type::clock::now();
  for (int n = 0; n < kTemporaryNames; ++n) {
    const fs::path temp = PathOf(TemporaryFileName(path, n));
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(temp, ec);
    if (ec || !fs::is_regular_file(status)) continue;
    const auto written = fs::last_write_time(temp, ec);
    if (ec || now - written < min_age) continue;
    if (fs::remove(temp, ec) && !ec) ++removed;
  }
  return removed;
}

std::string ResolveFileLinks(const std::string& path) {
  namespace fs = std::filesystem;
  fs::path current = PathOf(path);
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(current, ec)) || ec) break;
    const fs::path target = fs::read_symlink(current, ec);
    if (ec) break;
    current = target.is_absolute() ? target : current.parent_path() / target;
  }
  return current == PathOf(path) ? path : TextOf(current.lexically_normal());
}

int ReadFileStamp(const std::string& path, FileStamp& stamp) {
  namespace fs = std::filesystem;
  stamp = FileStamp();
  std::error_code ec;
  const fs::file_status status = fs::status(PathOf(path), ec);
  if (status.type() == fs::file_type::not_found) return fe::kOk;
  if (ec) return fe::kPathFileAccessError;
  if (!fs::is_regular_file(status)) return fe::kPathFileAccessError;
  const uintmax_t size = fs::file_size(PathOf(path), ec);
  if (ec) return fe::kPathFileAccessError;
  const auto modified = fs::last_write_time(PathOf(path), ec);
  if (ec) return fe::kPathFileAccessError;
  stamp.exists = true;
  stamp.size = size;
  stamp.modified =
      std::chrono::duration_cast<std::chrono::nanoseconds>(modified.time_since_epoch()).count();
  return fe::kOk;
}

int ReadWholeFile(FileOps& ops, const std::string& path, std::string& contents) {
  int err = ops.ReadAll(path, contents);
  if (err != fe::kOk) contents.clear();
  return err;
}

int FileOps::AppendAll(const std::string& path, std::string& contents) {
  std::string whole;
  const int err = ReadAll(path, whole);
  if (err == fe::kOk) contents.append(whole);
  // The file may be a plaintext: the bounce copy goes the way of every secret.
  Wipe(whole);
  return err;
}

int AppendWholeFile(FileOps& ops, const std::string& path, std::string& contents) {
  const size_t old = contents.size();
  const int err = ops.AppendAll(path, contents);
  if (err != fe::kOk) contents.resize(old);
  return err;
}

int ReplaceWholeFile(FileOps& ops, const std::string& path, std::string_view data) {
  if (path.empty()) return fe::kBadFileName;
  FileHandle handle = 0;
  std::string temp;
  int err = fe::kFileAlreadyExists;
  // A fresh name beside the target: the rename then stays on one disk.
  for (int attempt = 0; attempt < kTemporaryNames && err == fe::kFileAlreadyExists; ++attempt) {
    temp = TemporaryFileName(path, attempt);
    err = ops.CreateExclusive(temp, handle);
  }
  if (err != fe::kOk) return err;

  for (size_t done = 0; err == fe::kOk && done < data.size(); done += kWriteChunk) {
    err = ops.Write(handle, data.substr(done, kWriteChunk));
  }
  if (err == fe::kOk) err = ops.Flush(handle);
  int close_err = ops.Close(handle);
  if (err == fe::kOk) err = close_err;
  if (err == fe::kOk) err = ops.Rename(temp, path);
  if (err != fe::kOk) ops.Remove(temp);
  return err;
}

}  // namespace lq
